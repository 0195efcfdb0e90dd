// The builder at scale: files diffed segment by segment when they exceed the memory budget, the
// same patch for any thread count, and no partial patch left when the build fails.
#include <gtest/gtest.h>

#include <algorithm>

#include "engine_test_support.h"

using namespace tpe_test;
using tpe::EngineMode;
using tpe::EngineResult;

namespace {

// `data` cut into pieces that swap places, one byte changed in each.
std::string Shuffled(const std::string& data, size_t piece) {
    std::vector<std::string> pieces;
    for (size_t at = 0; at < data.size(); at += piece) pieces.push_back(data.substr(at, piece));
    std::reverse(pieces.begin(), pieces.end());
    std::string out;
    for (std::string& p : pieces) {
        p[p.size() / 2] ^= 1;
        out += p;
    }
    return out;
}

TreeSpec OldTree() {
    return {{"game.exe", "1.0" + BinaryOf(5000, 1)},
            {"data/big.pak", BinaryOf(3 << 20, 2)},
            {"data/gone.bin", BinaryOf(1000, 3)},
            {"data/emptied.bin", BinaryOf(400000, 6)}};
}

TreeSpec NewTree() {
    return {{"game.exe", "1.1" + BinaryOf(5000, 1)},
            {"data/big.pak", Shuffled(BinaryOf(3 << 20, 2), 300000) + BinaryOf(1000, 4)},
            {"data/added.bin", BinaryOf(2 << 20, 5)},
            {"data/emptied.bin", ""}};
}

bool Build(const std::string& old, const std::string& current, const std::string& patch,
           uint64_t budget, unsigned threads, tpe::FileSystem& fs, std::string* error) {
    tpe::BuildRequest request = RequestFor(old, current);
    request.memoryBudget = budget;
    request.threads = threads;
    return TryBuild(request, patch, error, fs);
}

std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    tpe::NativeFileSystem().List(folder, &names);
    std::sort(names.begin(), names.end());
    return names;
}

// Within the budget or diffed in windows over it: the patch applies and is the same for any
// thread count.
TEST(LargeBuild, FilesOverTheBudgetAreDiffedInWindowsTheSameForAnyThreadCount) {
    ScratchDir dir;
    TreeSpec old = OldTree(), current = NewTree();
    for (int i = 0; i < 30; ++i) {
        old["many/file" + std::to_string(i)] = BinaryOf(20000 + 1000 * i, 10 + i);
        current["many/file" + std::to_string(i)] = BinaryOf(20000 + 1100 * i, 10 + i);
    }
    WriteTree(dir / "old", old);
    WriteTree(dir / "new", current);
    for (uint64_t budget : {uint64_t{1} << 30, uint64_t{1} << 20}) {
        SCOPED_TRACE(budget);
        std::string error, first;
        for (unsigned threads : {1u, 2u, 3u}) {
            ASSERT_TRUE(Build(dir / "old", dir / "new", dir / "patch.bin", budget, threads,
                              tpe::NativeFileSystem(), &error))
                << error;
            first = first.empty() ? ReadFile(dir / "patch.bin") : first;
            EXPECT_TRUE(ReadFile(dir / "patch.bin") == first) << threads << " threads";
        }
        RemoveTree(dir / "inst");
        CopyTree(dir / "old", dir / "inst");
        EXPECT_EQ(RunPass(EngineMode::Apply, dir / "patch.bin", dir / "inst"), EngineResult::Ok);
        EXPECT_EQ(TreeDiff(ReadTree(dir / "inst"), current), "");
    }
}

TEST(LargeBuild, AFailedBuildLeavesNoPatchAndNoScratchFiles) {
    ScratchDir dir;
    // Small enough to fail every write in turn, over the budget of 64 KiB below.
    WriteTree(dir / "old", {{"game.exe", "1.0"}, {"big.pak", BinaryOf(300000, 2)}});
    WriteTree(dir / "new", {{"game.exe", "1.1"},
                            {"big.pak", Shuffled(BinaryOf(300000, 2), 50000)},
                            {"added.bin", BinaryOf(100000, 5)}});
    tpe::NativeFileSystem().MakeFolder(dir / "out");
    const std::string previous = "an earlier patch";
    bool sawSuccess = false;
    for (long failAt = 0; !sawSuccess; ++failAt) {
        WriteFile(dir / "out/patch.bin", previous);
        FaultyFileSystem fs;
        fs.failAt = failAt;
        std::string error;
        bool built = Build(dir / "old", dir / "new", dir / "out/patch.bin", uint64_t{1} << 16, 2,
                           fs, &error);
        sawSuccess = built && !fs.failed;
        if (built) {
            continue;  // without a fault, or past one it could ignore (a scratch file kept)
        }
        EXPECT_FALSE(error.empty());
        std::vector<std::string> left = Names(dir / "out");
        EXPECT_TRUE(left == std::vector<std::string>{"patch.bin"} || left.empty())
            << "fault " << failAt << ": " << ::testing::PrintToString(left);
        if (!left.empty()) {
            EXPECT_EQ(ReadFile(dir / "out/patch.bin"), previous) << "fault " << failAt;
        }
        ASSERT_LT(failAt, 1000);
    }
    EXPECT_EQ(Names(dir / "out"), std::vector<std::string>{"patch.bin"});
}

}  // namespace
