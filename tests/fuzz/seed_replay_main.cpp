// Replays seeds without libFuzzer: the ordinary native build links each fuzz target with this
// main, and CTest feeds it the target's committed seeds, so that every input a fuzzer once found
// worth keeping is checked again in each test run.
// Usage: <target> (FOLDER | FILE) ...
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    std::vector<fs::path> files;  // the files named, with each folder's regular files by name
    for (int i = 1; i < argc; ++i) {
        std::error_code error;
        if (!fs::is_directory(argv[i], error)) {
            files.emplace_back(argv[i]);
            continue;
        }
        const size_t first = files.size();
        for (const auto& entry : fs::directory_iterator(argv[i], error)) {
            if (entry.is_regular_file()) {
                files.push_back(entry.path());
            }
        }
        std::sort(files.begin() + long(first), files.end());
    }
    if (files.empty()) {
        std::fprintf(stderr, "usage: %s (FOLDER | FILE) ...: no seed files given\n", argv[0]);
        return 2;
    }
    for (const fs::path& file : files) {
        std::ifstream in(file, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "cannot read the seed %s\n", file.string().c_str());
            return 1;
        }
        const std::vector<uint8_t> data{std::istreambuf_iterator<char>(in),
                                        std::istreambuf_iterator<char>()};
        std::printf("seed %s (%zu bytes)\n", file.string().c_str(), data.size());
        std::fflush(stdout);
        LLVMFuzzerTestOneInput(data.data(), data.size());
    }
    std::printf("%zu seeds replayed\n", files.size());
    return 0;
}
