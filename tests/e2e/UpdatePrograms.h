#pragma once
// The update programs the end-to-end tests share (each built once, when first needed) and the
// fixture that gives every case its own game installation.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "GameFixture.h"

namespace e2e {

// A build of the game with 150 more data files that change from version to version: its update
// takes long enough to be interrupted.
inline Tree ManyFilesBuild(const std::string& version) {
    Tree tree = GameBuild(version);
    for (int i = 0; i < 150; ++i) {
        tree["extra/part" + std::to_string(100 + i) + ".dat"] =
            std::string(4000, char('a' + i % 26)) + version;
    }
    return tree;
}

class Programs {
public:
    // 1.1.5 to 1.2.3.
    static const std::string& Single() {
        static const std::string program = Make("Update.exe");
        return program;
    }
    // 1.1.5 or 1.1.6 to 1.2.3.
    static const std::string& Multi() {
        static const std::string program = Make("UpdateMulti.exe", {"--old", Build("1.1.6")});
        return program;
    }
    // 1.1.5 to a "1.2.3" that only adds an empty folder: no file to patch.
    static const std::string& NoFiles() {
        static const std::string program = [] {
            std::string newBuild = Folder() / "1.1.5-saves";
            WriteTree(newBuild, GameBuild("1.1.5"));
            CreateDirectoryA((newBuild + "\\saves").c_str(), nullptr);
            return Make("UpdateNoFiles.exe", {}, "1.1.5=" + Build("1.1.5"), "1.2.3=" + newBuild);
        }();
        return program;
    }

    // 1.1.5 to 1.2.3 with one more small data file whose name is long (kLongName): in a deep
    // installation folder its path passes Windows' limit.
    static constexpr const char* kLongName =
        "data/a-data-file-whose-name-is-long-enough-that-a-deep-installation-folder-takes-it-"
        "past-the-length-windows-allows-for-a-path-in-its-ansi-calls.dat";
    static const std::string& LongName() {
        static const std::string program = [] {
            for (const char* version : {"1.1.5", "1.2.3"}) {
                Tree build = GameBuild(version);
                build[kLongName] = std::string("small, of ") + version;
                WriteTree(Folder() / (std::string("long-") + version), build);
            }
            return Make("UpdateLongName.exe", {}, Folder() / "long-1.1.5", Folder() / "long-1.2.3");
        }();
        return program;
    }

    // 1.1.5 to 1.2.3, finding the installation in the working folder or, failing that, through
    // kRegistryKey.
    static const std::string& Registered() {
        static const std::string program =
            Make("UpdateRegistered.exe", {"--registry", kRegistryKey});
        return program;
    }
    static constexpr const char* kRegistryKey = "Software\\Corvane\\TessalyTest";
    // Makes kRegistryKey name `folder` as the installation, or removes it.
    static bool Register(const std::string& folder) {
        return RegSetKeyValueA(HKEY_LOCAL_MACHINE, kRegistryKey, "Install Path", REG_SZ,
                               folder.c_str(),
                               static_cast<DWORD>(folder.size() + 1)) == ERROR_SUCCESS;
    }
    static void Unregister() { RegDeleteKeyA(HKEY_LOCAL_MACHINE, kRegistryKey); }
    // The same, with an engine that kills the program at a chosen file operation.
    static const std::string& RegisteredCrashPoints() {
        static const std::string program =
            Make("UpdateCrashPoints.exe", {"--registry", kRegistryKey}, Build("1.1.5"),
                 Build("1.2.3"), CrashPointUtilityProgram());
        return program;
    }
    // 1.1.5 to 1.2.3 of the build with many files, found as Registered() finds it.
    static const std::string& ManyFiles() {
        static const std::string program =
            Make("UpdateManyRegistered.exe", {"--registry", kRegistryKey}, Build("1.1.5", true),
                 Build("1.2.3", true));
        return program;
    }

private:
    static const ScratchFolder& Folder() {
        static ScratchFolder folder;
        return folder;
    }
    static std::string Build(const std::string& version, bool manyFiles = false) {
        std::string path = Folder() / ((manyFiles ? "many-" : "") + version);
        if (!FileExists(path)) {
            WriteTree(path, manyFiles ? ManyFilesBuild(version) : GameBuild(version));
        }
        return path;
    }
    // Builds a patch from `oldBuild` to `newBuild` (`extra` goes to the builder as it is) and
    // attaches it to a copy of `utility`.
    static std::string Make(const std::string& name, const std::vector<std::string>& extra = {},
                            const std::string& oldBuild = Build("1.1.5"),
                            const std::string& newBuild = Build("1.2.3"),
                            const std::string& utility = UtilityProgram()) {
        const std::string program = Folder() / name;
        const std::string patch = program + ".patch";
        std::vector<std::string> build = {
            "build",   "--old",   oldBuild, "--new", newBuild, "--version-file",
            "ts2.exe", "--level", "3",      "-o",    patch};
        build.insert(build.end(), extra.begin(), extra.end());
        RunPatchBuilder(build);
        RunPatchBuilder({"attach", "--patcher", utility, patch, "-o", program});
        DeleteFileA(patch.c_str());
        return program;
    }
};

// A game installation in a scratch folder.
class Installation : public ::testing::Test {
protected:
    void Install(const std::string& version) { WriteTree(folder.Path(), GameBuild(version)); }
    // For cases that install several times: the folder is emptied first.
    void InstallAfresh(const std::string& version) {
        RemoveTree(folder.Path());
        Install(version);
    }
    Tree Installed() { return ReadTree(folder.Path()); }
    std::string Path(const std::string& file) { return folder / file; }

    ScratchFolder folder;
};

}  // namespace e2e
