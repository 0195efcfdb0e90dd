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

// The update programs of the suite, each built once, when first needed.
class Programs {
public:
    // 1.1.5 to 1.2.3.
    static const std::string& Single() {
        static const std::string program = Make("Update.exe", {});
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
            return MakeFrom("1.1.5=" + Build("1.1.5"), "1.2.3=" + newBuild, "UpdateNoFiles.exe");
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
            return MakeFrom(Folder() / "long-1.1.5", Folder() / "long-1.2.3", "UpdateLongName.exe");
        }();
        return program;
    }

    // 1.1.5 to 1.2.3, finding the installation through kRegistryKey.
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
            MakeFrom(Build("1.1.5"), Build("1.2.3"), "UpdateCrashPoints.exe",
                     {"--registry", kRegistryKey}, CrashPointUtilityProgram());
        return program;
    }

    // 1.1.5 to 1.2.3 of the build with many files, finding it through kRegistryKey.
    static const std::string& ManyFilesRegistered() {
        static const std::string program =
            MakeFrom(ManyBuild("1.1.5"), ManyBuild("1.2.3"), "UpdateManyRegistered.exe",
                     {"--registry", kRegistryKey});
        return program;
    }

    // 1.1.5 to 1.2.3 of the build with many files.
    static const std::string& ManyFiles() {
        static const std::string program =
            MakeFrom(ManyBuild("1.1.5"), ManyBuild("1.2.3"), "UpdateMany.exe");
        return program;
    }

private:
    static const ScratchFolder& Folder() {
        static ScratchFolder folder;
        return folder;
    }
    static std::string ManyBuild(const std::string& version) {
        std::string path = Folder() / ("many-" + version);
        if (!FileExists(path)) {
            WriteTree(path, ManyFilesBuild(version));
        }
        return path;
    }
    static std::string Build(const std::string& version) {
        std::string path = Folder() / version;
        if (!FileExists(path)) {
            WriteTree(path, GameBuild(version));
        }
        return path;
    }
    static std::string MakeFrom(const std::string& oldBuild, const std::string& newBuild,
                                const std::string& name, const std::vector<std::string>& extra = {},
                                const std::string& utility = UtilityProgram()) {
        std::string path = Folder() / name;
        MakeUpdateProgram(oldBuild, newBuild, path, extra, utility);
        return path;
    }
    static std::string Make(const std::string& name, const std::vector<std::string>& extra) {
        return MakeFrom(Build("1.1.5"), Build("1.2.3"), name, extra);
    }
};

// A game installation in a scratch folder.
class Installation : public ::testing::Test {
protected:
    void WriteTree(const Tree& tree) { e2e::WriteTree(folder.Path(), tree); }
    void Install(const std::string& version) { e2e::WriteTree(folder.Path(), GameBuild(version)); }
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
