// No payload can reach outside the installation: unsafe names make the whole payload invalid,
// and links inside the installation are never followed.
#include <gtest/gtest.h>
#include <unistd.h>

#include "engine_test_support.h"
#include "path_safety.h"

using namespace tpe_test;
using tpe::EngineMode;
using tpe::EngineResult;

namespace {

// Escapes, absolute and drive paths, streams, device names, and characters Windows refuses.
// clang-format off
const char* const kUnsafe[] = {
    "", "..", "../outside", "a/../../b", "a/..", "./a", "/etc/passwd", "//server/share/x",
    "\\\\server\\share", "\\windows", "C:/Windows/x", "c:relative", "a/b:stream",
    "file.txt::$DATA", "a\\b", "a//b", "a/", "CON", "con.txt", "a/NUL", "Aux.dat", "PRN", "LPT1",
    "com9.log", "CONIN$", "trailing.", "trailing ", "a./b", "ctl\x01name", "tab\tname", "q?",
    "star*", "pipe|x", "lt<", "quote\"x"};
// clang-format on

TEST(PathSafety, EveryKindOfEscapeIsRefusedAndOrdinaryNamesPass) {
    for (const char* path : kUnsafe) {
        EXPECT_NE(tpe::PathProblem(path), "") << "'" << path << "'";
    }
    EXPECT_NE(tpe::PathProblem(std::string(260, 'a')), "");
    for (const char* path : {"game.exe", "data/level 1/map.dat", "COM10", "LPT0", "console.txt",
                             "a.b.c", ".hidden", "x/..y/z", "Update_1.1.5_Backup/a"}) {
        EXPECT_EQ(tpe::PathProblem(path), "") << path;
    }
    EXPECT_EQ(tpe::PathProblem(std::string(259, 'a')), "");
}

// Windows takes these pairs for one file: a payload holding both could only write one of them.
TEST(PathSafety, NamesFoldedAsWindowsFoldsThemCollide) {
    const std::pair<const char*, const char*> same[] = {
        {"Data/\xC3\x84.txt", "data/\xC3\xA4.txt"},  // Ä ä in UTF-8
        {"\xC4.txt", "\xE4.txt"},                    // Ä ä in Windows-1252
        {"\xC5\x92uvre", "\xC5\x93UVRE"},            // Œ œ
        {"\xCE\xA3\xCE\xB1", "\xCF\x83\xCE\x91"},    // Σα σΑ
        {"\xD0\x96.pak", "\xD0\xB6.PAK"},            // Ж ж
        {"\xC5\xBD", "\xC5\xBE"},                    // Ž ž
    };
    for (const auto& [a, b] : same) {
        EXPECT_EQ(tpe::PathKey(a), tpe::PathKey(b)) << a << " " << b;
    }
    const std::pair<const char*, const char*> different[] = {{"a.txt", "b.txt"},
                                                             {"\xC3\xA4.txt", "a.txt"},
                                                             {"\xC3\x9F", "SS"},
                                                             {"\xC3\xA4", "\xC3\xA5"}};
    for (const auto& [a, b] : different) {
        EXPECT_NE(tpe::PathKey(a), tpe::PathKey(b)) << a << " " << b;
    }
}

// A payload written without the builder's checks, holding one bad entry.
std::string PayloadWith(const std::vector<std::string>& files,
                        const std::vector<std::string>& folders = {}) {
    tpe::PatchModel model = HandMadeModel();
    for (const std::string& folder : folders) {
        model.folders.push_back({tpe::FolderAction::Create, folder});
    }
    for (const std::string& path : files) {
        tpe::FileEntry file;
        file.path = path;
        file.states.resize(1);
        file.states[0].old = {true, 3, tpe::Sha256Of("old", 3)};
        model.files.push_back(file);  // a deletion: needs no data block
    }
    return PayloadOf(model);
}

TEST(PathSafety, OneUnsafeEntryMakesTheWholePayloadInvalid) {
    ScratchDir dir;
    WriteTree(dir / "inst", {{"game.exe", "old"}});
    for (const char* path : kUnsafe) {
        for (bool asFolder : {false, true}) {
            WriteFile(dir / "patch.bin", asFolder ? PayloadWith({"game.exe"}, {path})
                                                  : PayloadWith({"game.exe", path}));
            Recorder recorder;
            EXPECT_EQ(RunPass(EngineMode::Apply, dir / "patch.bin", dir / "inst", recorder),
                      EngineResult::PayloadDamaged)
                << "'" << path << "'";
            EXPECT_EQ(recorder.Ids(), std::vector<unsigned>{kEnginePatchFileInvalid});
        }
    }
    EXPECT_EQ(ReadFile(dir / "inst/game.exe"), "old");
}

TEST(PathSafety, NamesThatCollideOrNestUnderAFileAreInvalid) {
    ScratchDir dir;
    for (const auto& files : std::vector<std::vector<std::string>>{
             {"a.txt", "A.TXT"}, {"data", "data/x"}, {"dir/file", "DIR/FILE/below"}}) {
        WriteFile(dir / "patch.bin", PayloadWith(files));
        EXPECT_EQ(RunPass(EngineMode::List, dir / "patch.bin", ""), EngineResult::PayloadDamaged)
            << files[0] << " / " << files[1];
    }
}

TEST(PathSafety, LinksInsideTheInstallationAreNeverFollowed) {
    ScratchDir dir;
    WriteTree(dir / "old", {{"game.exe", "1"}, {"data/a.bin", "old a"}, {"b.bin", "old b"}});
    WriteTree(dir / "new", {{"game.exe", "2"}, {"data/a.bin", "new a"}, {"b.bin", "new b"}});
    BuildPatchFile({{"1", dir / "old"}}, {"2", dir / "new"}, dir / "patch.bin");
    WriteTree(dir / "outside", {{"a.bin", "old a"}, {"b.bin", "old b"}});

    // A linked folder on the way to a file, and a linked file.
    WriteTree(dir / "inst1", {{"game.exe", "1"}, {"b.bin", "old b"}});
    ASSERT_EQ(symlink((dir / "outside").c_str(), (dir / "inst1/data").c_str()), 0);
    WriteTree(dir / "inst2", {{"game.exe", "1"}, {"data/a.bin", "old a"}});
    ASSERT_EQ(symlink((dir / "outside/b.bin").c_str(), (dir / "inst2/b.bin").c_str()), 0);

    for (const char* inst : {"inst1", "inst2"}) {
        for (EngineMode mode : {EngineMode::Analyse, EngineMode::Apply}) {
            Recorder recorder;
            EXPECT_EQ(RunPass(mode, dir / "patch.bin", dir / inst, recorder),
                      EngineResult::ContentsMismatch)
                << inst;
            EXPECT_TRUE(recorder.Has(kEngineError, "reached through a link")) << inst;
        }
        EXPECT_EQ(ReadFile(dir / (std::string(inst) + "/game.exe")), "1");
    }
    EXPECT_EQ(ReadFile(dir / "outside/a.bin"), "old a");
    EXPECT_EQ(ReadFile(dir / "outside/b.bin"), "old b");
}

}  // namespace
