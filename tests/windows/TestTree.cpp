#include "TestTree.h"

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace e2e {

ScratchFolder::ScratchFolder() {
    char temp[MAX_PATH + 1] = {};
    GetTempPathA(MAX_PATH, temp);
    static int counter = 0;
    for (;;) {
        m_path = std::string(temp) + "tessaly-test-" + std::to_string(GetCurrentProcessId()) + "-" +
                 std::to_string(++counter);
        if (CreateDirectoryA(m_path.c_str(), nullptr)) {
            break;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) {
            throw std::runtime_error("cannot create a scratch folder in " + std::string(temp));
        }
    }
}

ScratchFolder::~ScratchFolder() {
    RemoveTree(m_path);
}

void WriteFile(const std::string& path, const std::string& contents) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path);
    }
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream contents;
    contents << in.rdbuf();
    return contents.str();
}

bool FileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void WriteTree(const std::string& folder, const Tree& tree) {
    for (const auto& [relative, contents] : tree) {
        WriteFile(folder + "\\" + relative, contents);
    }
}

Tree ReadTree(const std::string& folder) {
    Tree tree;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            tree[fs::relative(entry.path(), folder).generic_string()] =
                ReadFile(entry.path().string());
        }
    }
    return tree;
}

void RemoveTree(const std::string& folder) {
    // A program killed a moment ago may still hold a file for a little while: try again for up
    // to five seconds before the caller finds what is left.
    for (int attempt = 0; attempt < 50; ++attempt) {
        std::error_code ignored;
        // Read-only files (the engine keeps them so) would stop the removal.
        for (const auto& entry : fs::recursive_directory_iterator(folder, ignored)) {
            SetFileAttributesA(entry.path().string().c_str(), FILE_ATTRIBUTE_NORMAL);
        }
        fs::remove_all(folder, ignored);
        if (!fs::exists(folder, ignored)) {
            return;
        }
        Sleep(100);
    }
}

std::string TreeDiff(const Tree& actual, const Tree& expected) {
    std::string diff;
    for (const auto& [path, contents] : actual) {
        auto other = expected.find(path);
        if (other == expected.end() || other->second != contents) {
            diff += (other == expected.end() ? "unexpected " : "differs ") + path + "\n";
        }
    }
    for (const auto& entry : expected) {
        if (actual.count(entry.first) == 0) {
            diff += "missing " + entry.first + "\n";
        }
    }
    return diff;
}

}  // namespace e2e
