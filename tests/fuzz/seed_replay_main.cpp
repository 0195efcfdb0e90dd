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

namespace {

namespace fs = std::filesystem;

// The files named, with each folder's regular files in name order.
std::vector<fs::path> SeedFiles(int argc, char** argv) {
    std::vector<fs::path> files;
    for (int i = 1; i < argc; ++i) {
        std::error_code error;
        if (!fs::is_directory(argv[i], error)) {
            files.emplace_back(argv[i]);
            continue;
        }
        std::vector<fs::path> inFolder;
        for (const auto& entry : fs::directory_iterator(argv[i], error)) {
            if (entry.is_regular_file()) {
                inFolder.push_back(entry.path());
            }
        }
        std::sort(inFolder.begin(), inFolder.end());
        files.insert(files.end(), inFolder.begin(), inFolder.end());
    }
    return files;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<fs::path> files = SeedFiles(argc, argv);
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
