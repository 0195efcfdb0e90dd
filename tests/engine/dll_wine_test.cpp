// PatchEngine.dll as the update utility uses it: loaded with LoadLibraryA, its export taken by
// ordinal 1, run on a real folder. Runs under wine.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "GameFixture.h"
#include "HeldOpenFile.h"
#include "PatchEngineApi.h"
#include "patch_builder.h"
#include "payload_writer.h"

namespace {

using e2e::ReadFile;
using e2e::ReadTree;
using e2e::Tree;
using e2e::TreeDiff;
using e2e::WriteTree;

std::string ExeFolder() {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string text = path;
    return text.substr(0, text.find_last_of('\\'));
}

const Tree kOld = {
    {"ts2.exe", "old program"}, {"data/a.pak", std::string(70000, 'a')}, {"gone.txt", "bye"}};
const Tree kNew = {{"ts2.exe", "new program"},
                   {"data/a.pak", std::string(70000, 'b')},
                   {"data/more/c.txt", "added"}};

// Builds the patch and appends it to a copy of this program; `readOnly` names a file of the new
// build that is read-only.
std::string MakeUpdateProgram(const std::string& dir, const char* readOnly = nullptr) {
    WriteTree(dir + "\\old", kOld);
    WriteTree(dir + "\\new", kNew);
    if (readOnly != nullptr) {
        SetFileAttributesA((dir + "\\new\\" + readOnly).c_str(), FILE_ATTRIBUTE_READONLY);
    }
    tpe::BuildRequest request;
    request.olds = {{"1.0", dir + "\\old"}};
    request.current = {"1.1", dir + "\\new"};
    request.versionFile = "ts2.exe";
    request.level = 3;
    tpe::BuildSummary summary;
    std::string error;
    EXPECT_TRUE(
        tpe::BuildPatch(tpe::NativeFileSystem(), request, dir + "\\patch.bin", &summary, &error))
        << error;
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    e2e::WriteFile(dir + "\\Update.exe", ReadFile(self) + ReadFile(dir + "\\patch.bin"));
    return dir + "\\Update.exe";
}

std::vector<std::pair<unsigned, std::string>> g_messages;
// The message whose answer stops the run (a null answer).
size_t g_stopAt = SIZE_MAX;

const char* Record(unsigned id, void* parameter) {
    std::string text;
    if (id == 2 || id == 4 || id == 7 || id == 9 || id == 11 || id == 14 || id == 19) {
        text = parameter ? static_cast<const char*>(parameter) : "";
    }
    g_messages.push_back({id, text});
    if (g_messages.size() - 1 == g_stopAt) {
        return nullptr;
    }
    if (id == 6) {
        return "COMBINE";
    }
    return id == 19 ? "Y" : "";
}

class EngineDll : public ::testing::Test {
protected:
    void SetUp() override {
        library = LoadLibraryA((ExeFolder() + "\\PatchEngine.dll").c_str());
        ASSERT_NE(library, nullptr);
        apply = reinterpret_cast<PatchEngineApplyFunction>(
            reinterpret_cast<void*>(GetProcAddress(library, MAKEINTRESOURCEA(1))));
        ASSERT_NE(apply, nullptr);
        g_messages.clear();
        g_stopAt = SIZE_MAX;
    }
    void TearDown() override {
        if (library) {
            FreeLibrary(library);
        }
    }
    int Run(const std::string& program, const std::string& arguments) {
        std::string line = "/z \"" + program + "\" " + arguments;
        return apply(line.c_str(), Record, 1);
    }
    // The arguments naming installation folder `inst` of the scratch folder.
    std::string In(const std::string& inst) const {
        return "\"" + dir + "\\" + inst + "\" -nopathsearch -i ";
    }
    HMODULE library = nullptr;
    PatchEngineApplyFunction apply = nullptr;
    e2e::ScratchFolder scratch;
    const std::string dir = scratch.Path();
};

TEST_F(EngineDll, CancelRestoresTheFolderAndFailuresAreNonZero) {
    std::string program = MakeUpdateProgram(dir);
    for (const char* inst : {"\\inst", "\\inst2"}) {
        WriteTree(dir + inst, kOld);
        SetFileAttributesA((dir + inst + "\\ts2.exe").c_str(), FILE_ATTRIBUTE_READONLY);
    }
    // Stop at the last message of the apply, when every file has been swapped in.
    EXPECT_EQ(Run(program, In("inst") + "-u"), 0);
    g_stopAt = g_messages.size() - 1;
    g_messages.clear();
    EXPECT_NE(Run(program, In("inst2") + "-u"), 0);
    EXPECT_EQ(TreeDiff(ReadTree(dir + "\\inst2"), kOld), "");

    g_stopAt = SIZE_MAX;
    EXPECT_NE(Run(program, In("missing") + "-j"), 0);
    EXPECT_NE(Run(dir + "\\old\\ts2.exe", "\"" + dir + "\\inst2\" -i -l"), 0);
    EXPECT_NE(apply("/z -q", Record, 1), 0);
}

// The texts of the error messages (4) of the last run.
std::string ErrorTexts() {
    std::string texts;
    for (const auto& m : g_messages) {
        if (m.first == 4) {
            texts += m.second + "\n";
        }
    }
    return texts;
}

TEST_F(EngineDll, FileOpenWithoutSharingIsNamedAndNothingChanges) {
    std::string program = MakeUpdateProgram(dir);
    WriteTree(dir + "\\inst", kOld);
    HeldOpenFile game(dir + "\\inst\\ts2.exe", 0);
    ASSERT_TRUE(game.Held());
    // The check cannot read it, and neither can the apply: both stop and say which file.
    EXPECT_NE(Run(program, In("inst") + "-j"), 0);
    EXPECT_NE(ErrorTexts().find("ts2.exe cannot be read"), std::string::npos) << ErrorTexts();
    g_messages.clear();
    EXPECT_NE(Run(program, In("inst") + "-u -b:Update_1.0_Backup"), 0);
    EXPECT_NE(ErrorTexts().find("ts2.exe cannot be read"), std::string::npos) << ErrorTexts();
    game.Release();
    EXPECT_EQ(TreeDiff(ReadTree(dir + "\\inst"), kOld), "");
}

// Windows keeps the write bit of a file's mode as the read-only attribute: a file shipped
// read-only arrives read-only, and a cancelled apply leaves no staged file behind although the
// staged copy carried the attribute.
TEST_F(EngineDll, ReadOnlyFilesOfTheNewBuildArriveReadOnly) {
    std::string program = MakeUpdateProgram(dir, "data\\a.pak");
    for (const char* inst : {"\\inst", "\\cancelled"}) {
        WriteTree(dir + inst, kOld);
    }
    ASSERT_EQ(Run(program, In("inst") + "-u"), 0);
    EXPECT_EQ(TreeDiff(ReadTree(dir + "\\inst"), kNew), "");
    EXPECT_NE(GetFileAttributesA((dir + "\\inst\\data\\a.pak").c_str()) & FILE_ATTRIBUTE_READONLY,
              0u);
    EXPECT_EQ(GetFileAttributesA((dir + "\\inst\\ts2.exe").c_str()) & FILE_ATTRIBUTE_READONLY, 0u);

    // Stopped at the end of the last file, with every file staged.
    for (size_t i = 0; i < g_messages.size(); ++i) {
        g_stopAt = g_messages[i].first == 8 ? i : g_stopAt;
    }
    g_messages.clear();
    EXPECT_NE(Run(program, In("cancelled") + "-u"), 0);
    EXPECT_EQ(TreeDiff(ReadTree(dir + "\\cancelled"), kOld), "");
}

// A patch made on a POSIX system with its links kept cannot be applied here: refused before
// anything changes.
TEST_F(EngineDll, APatchWithLinksIsRefusedBeforeAnythingChanges) {
    tpe::PatchModel model;
    model.infoLines = {"Versions,ts2.exe,1.0,1.1"};
    model.sources = {{"1.0", ""}};
    tpe::FileEntry link;
    link.path = "data/current.pak";
    link.kind = tpe::EntryKind::Link;
    link.linkTarget = "a.pak";
    link.target = tpe::LinkContents(link.linkTarget);
    link.states.resize(1);
    model.files = {link};
    {
        tpe::PayloadWriter writer(tpe::NativeFileSystem(), dir + "\\links.bin");
        std::string error;
        uint64_t size = 0;
        ASSERT_TRUE(writer.Open(&error) && writer.Finish(model, &size, &error)) << error;
    }
    WriteTree(dir + "\\inst", kOld);
    EXPECT_EQ(Run(dir + "\\links.bin", In("inst") + "-u"), 3);
    bool named = false;
    for (const auto& m : g_messages) {
        named = named || (m.first == 14 && m.second.find("symbolic links (data\\current.pak is "
                                                         "one)") != std::string::npos);
    }
    EXPECT_TRUE(named);
    EXPECT_EQ(TreeDiff(ReadTree(dir + "\\inst"), kOld), "");
    g_messages.clear();
    EXPECT_EQ(Run(dir + "\\links.bin", "\"" + dir + "\\inst\" -l"), 0) << "listing still works";
}

}  // namespace
