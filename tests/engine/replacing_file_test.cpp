// Replacing a file by writing aside and renaming over it: a failure or a kill at any operation
// leaves the target's old contents or its new ones, never neither.
#include <gtest/gtest.h>

#include <functional>

#include "engine_test_support.h"
#include "replacing_file.h"

using namespace tpe_test;

namespace {

constexpr char kOld[] = "the old contents";
constexpr char kNew[] = "the new contents, longer than the old";

// Writes kNew over the target through `fs`; true when the writer reports success.
bool Replace(tpe::FileSystem& fs, const std::string& target) {
    tpe::ReplacingFile out(fs, target);
    std::string error;
    return out.Open(&error) && out.Write(kNew, sizeof kNew - 1) && out.Commit(&error);
}

// Replaces kOld by kNew in `dir` with the file system failing (or, with `kill`, dying with a
// torn write) at each operation in turn, until a run meets no fault. `check` sees every run.
void AtEveryOperation(const ScratchDir& dir, bool kill,
                      const std::function<void(long at, bool replaced, bool faulted)>& check) {
    for (long at = 0;; ++at) {
        WriteFile(dir / "out.bin", kOld);
        FaultyFileSystem fs;
        (kill ? fs.freezeAt : fs.failAt) = at;
        fs.tornWrite = kill;
        const bool replaced = Replace(fs, dir / "out.bin");
        check(at, replaced, fs.failed);
        if (!fs.failed) {
            return;
        }
    }
}

TEST(ReplacingFile, AFailedOperationKeepsTheOldFileAndLeavesNothingBeside) {
    ScratchDir dir;
    AtEveryOperation(dir, false, [&](long at, bool replaced, bool faulted) {
        // Success is reported exactly when the new contents are in place.
        EXPECT_EQ(ReadFile(dir / "out.bin"), replaced ? kNew : kOld) << "failure at " << at;
        EXPECT_EQ(ReadTree(dir.Path()).size(), 1u) << "failure at " << at;
        EXPECT_TRUE(faulted || replaced);
    });
}

TEST(ReplacingFile, AKillAtAnyOperationLeavesTheOldOrTheNewFile) {
    ScratchDir dir;
    AtEveryOperation(dir, true, [&](long at, bool, bool) {
        const std::string left = ReadFile(dir / "out.bin");
        EXPECT_TRUE(left == kOld || left == kNew) << "killed at " << at;
        // The next run clears what the killed one left beside the target.
        ASSERT_TRUE(Replace(tpe::NativeFileSystem(), dir / "out.bin"));
        EXPECT_EQ(ReadTree(dir.Path()).size(), 1u) << "killed at " << at;
    });
}

}  // namespace
