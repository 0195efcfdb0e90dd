// Builds patches from generated trees and applies them: the result must be the new tree exactly.
#include <gtest/gtest.h>

#include <cstdio>

#include "engine_test_support.h"

using namespace tpe_test;
using tpe::EngineMode;
using tpe::EngineResult;

namespace {

// Beside the fuzz seeds' kinds of change (tests/fuzz/corpus/round_trip): deltas of text and
// binary files, folders emptied several levels deep, an empty folder kept and an empty file added.
TreeSpec OldTree() {
    return {{"game.exe", "old program" + BinaryOf(3000, 1)},
            {"readme.txt", TextOf(3)},
            {"data/level1.dat", BinaryOf(50000, 2)},
            {"data/old/removed.bin", BinaryOf(100, 4)},
            {"obsolete/deep/er/file.txt", "bye"},
            {"kept-empty-folder/", ""}};
}

TreeSpec NewTree() {
    std::string level1 = BinaryOf(50000, 2);
    level1.replace(1000, 200, BinaryOf(200, 9));
    return {{"game.exe", "new program" + BinaryOf(3100, 1)},
            {"readme.txt", TextOf(3) + "one more line\n"},
            {"data/level1.dat", level1},
            {"added/nested/deeper/new.bin", BinaryOf(7000, 11)},
            {"added/empty.txt", ""},
            {"kept-empty-folder/", ""}};
}

// The analysis changes nothing; the apply makes the new tree, and a second one finds it done.
TEST(RoundTrip, ApplyTurnsTheOldTreeIntoTheNewOneOnce) {
    ScratchDir dir;
    WriteTree(dir / "old", OldTree());
    WriteTree(dir / "new", NewTree());
    BuildPatchFile({{"1.0", dir / "old"}}, {"1.1", dir / "new"}, dir / "patch.bin");
    CopyTree(dir / "old", dir / "inst");
    EXPECT_EQ(RunPass(EngineMode::Analyse, dir / "patch.bin", dir / "inst"), EngineResult::Ok);
    EXPECT_EQ(TreeDiff(ReadTree(dir / "inst"), OldTree()), "");
    for (int pass = 0; pass < 2; ++pass) {
        Recorder apply;
        EXPECT_EQ(RunPass(EngineMode::Apply, dir / "patch.bin", dir / "inst", apply),
                  EngineResult::Ok);
        EXPECT_EQ(TreeDiff(ReadTree(dir / "inst"), NewTree()), "") << "pass " << pass;
        EXPECT_EQ(apply.Has(kEngineNotice, "Applying patch"), pass == 0);
    }
}

TEST(MultiVersion, EachOfThreeOldBuildsBecomesTheNewBuild) {
    ScratchDir dir;
    std::vector<TreeSpec> olds = {
        {{"game.exe", "v1" + BinaryOf(2000, 1)}, {"a.dat", BinaryOf(9000, 5)}, {"v1only", "x"}},
        {{"game.exe", "v2" + BinaryOf(2000, 2)}, {"a.dat", BinaryOf(9000, 5)}, {"b/c.txt", "2"}},
        {{"game.exe", "v3" + BinaryOf(2000, 3)}, {"a.dat", BinaryOf(9001, 6)}, {"b/c.txt", "3"}}};
    TreeSpec current = {
        {"game.exe", "v4" + BinaryOf(2000, 4)}, {"a.dat", BinaryOf(9002, 6)}, {"b/c.txt", "4"}};
    std::vector<tpe::BuildTree> builds;
    for (size_t i = 0; i < olds.size(); ++i) {
        std::string folder = dir / ("old" + std::to_string(i + 1));
        WriteTree(folder, olds[i]);
        builds.push_back({"1." + std::to_string(i + 1), folder});
    }
    WriteTree(dir / "new", current);
    BuildPatchFile(builds, {"2.0", dir / "new"}, dir / "patch.bin");

    Recorder listing;
    ASSERT_EQ(RunPass(EngineMode::List, dir / "patch.bin", "", listing), EngineResult::Ok);
    for (size_t i = 0; i < olds.size(); ++i) {
        const std::string n = std::to_string(i + 1);
        // The history line names the extension the file names below carry.
        EXPECT_TRUE(listing.Has(kEngineInformation, "history,1." + n + "," + n + ",v1_" + n));
        std::string inst = dir / ("inst" + n);
        WriteTree(inst, olds[i]);
        Recorder recorder;
        EXPECT_EQ(RunPass(EngineMode::Apply, dir / "patch.bin", inst, recorder), EngineResult::Ok);
        EXPECT_EQ(TreeDiff(ReadTree(inst), current), "") << "from old build " << i + 1;
        // Names carry the history extension of the build the installation was found to be.
        std::string extension = ".v1_" + n;
        for (const Message& m : recorder.messages) {
            if (m.id == kEngineFileBegins) {
                EXPECT_EQ(m.text.substr(m.text.size() - extension.size()), extension) << m.text;
            }
        }
    }
}

// One file over 200 MB arrives with the patch: the apply streams it with bounded memory and
// reports progress as it writes. (A delta against an old file of that size costs the builder
// minutes; the codec's own tests cover large deltas.)
TEST(LargeFile, OverTwoHundredMegabytesRoundTrips) {
    ScratchDir dir;
    const size_t mebibytes = 210;
    const std::string chunk = BinaryOf(1 << 20, 7);
    WriteTree(dir / "old", {{"game.exe", "1"}});
    WriteTree(dir / "new", {{"game.exe", "2"}});
    FILE* out = std::fopen((dir / "new/big.pak").c_str(), "wb");
    ASSERT_NE(out, nullptr);
    for (size_t i = 0; i < mebibytes; ++i) {
        std::string piece = chunk;
        piece[0] = char(i);
        std::fwrite(piece.data(), 1, piece.size(), out);
    }
    std::fputs("tail", out);
    std::fclose(out);
    BuildPatchFile({{"1", dir / "old"}}, {"2", dir / "new"}, dir / "patch.bin", "game.exe", 1);
    WriteTree(dir / "inst", {{"game.exe", "1"}});

    Recorder recorder;
    ASSERT_EQ(RunPass(EngineMode::Apply, dir / "patch.bin", dir / "inst", recorder),
              EngineResult::Ok);
    EXPECT_EQ(FileDigest(dir / "inst/big.pak"), FileDigest(dir / "new/big.pak"));
    size_t progress = 0;
    for (const Message& m : recorder.messages) {
        progress += m.id == kEngineFileFraction;
    }
    EXPECT_GE(progress, mebibytes / 2) << "progress while the file is written";
}

}  // namespace
