#include "GameFixture.h"

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "UiDriver.h"
#include "cli.h"

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

std::string GameProgram(const std::string& version, const std::string& body) {
    std::string image(128, '\0');
    image[0] = 'M';
    image[1] = 'Z';
    const char marker[] = "Windows only.\r\n";
    image.replace(78, sizeof marker - 1, marker);
    image.replace(94, version.size() < 30 ? version.size() : 30, version);
    return image + body;
}

Tree GameBuild(const std::string& version) {
    std::string program;
    for (int i = 0; i < 4000; ++i) {
        program += "code block " + std::to_string(i * 7 % 1000) + " of the game;";
    }
    Tree tree;
    tree["ts2.exe"] = GameProgram(version, program + version);
    tree["data/levels.dat"] = std::string(20000, 'L') + "levels of " + version;
    tree["data/music.ogg"] = std::string(5000, 'M');  // the same in every build
    tree["readme.txt"] = "Tessaly " + version + "\r\n";
    return tree;
}

void RunPatchBuilder(const std::vector<std::string>& arguments) {
    std::ostringstream out;
    std::ostringstream err;
    if (tpatch::RunTpatch(arguments, out, err) != 0) {
        throw std::runtime_error("tpatch failed: " + err.str() + out.str());
    }
}

std::string UtilityProgram() {
    return ui::HostToWindowsPath(TESSALY_UPDATE_EXE);
}

std::string CrashPointUtilityProgram() {
    return ui::HostToWindowsPath(TESSALY_UPDATE_CRASH_POINTS_EXE);
}

void MakeUpdateProgram(const std::string& oldFolder, const std::string& newFolder,
                       const std::string& updateProgram, const std::vector<std::string>& extra,
                       const std::string& utility) {
    std::string patch = updateProgram + ".patch";
    std::vector<std::string> build = {
        "build",   "--old",   oldFolder, "--new", newFolder, "--version-file",
        "ts2.exe", "--level", "3",       "-o",    patch};
    build.insert(build.end(), extra.begin(), extra.end());
    RunPatchBuilder(build);
    RunPatchBuilder({"attach", "--patcher", utility, patch, "-o", updateProgram});
    DeleteFileA(patch.c_str());
}

std::vector<std::string> EngineCopies() {
    char temp[MAX_PATH + 1] = {};
    GetTempPathA(MAX_PATH, temp);
    std::vector<std::string> paths;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((std::string(temp) + "pdl*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            paths.push_back(std::string(temp) + found.cFileName);
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    return paths;
}

int CountEngineCopies() {
    return static_cast<int>(EngineCopies().size());
}

}  // namespace e2e
