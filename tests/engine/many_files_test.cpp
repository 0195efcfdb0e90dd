// A patch of 100 000 files in nested folders: built, applied, and the result compared.
#include <gtest/gtest.h>

#include "engine_test_support.h"

using namespace tpe_test;
using tpe::EngineMode;
using tpe::EngineResult;

namespace {

TEST(ManyFiles, HundredThousandFilesInOnePatch) {
    ScratchDir dir;
    constexpr int kFiles = 100000;
    for (const std::string build : {"old", "new"}) {
        // 100 files a folder, the folders spread over ten parents.
        TreeSpec tree = {{"game.exe", build}};
        for (int i = 0; i < kFiles; ++i) {
            tree["d" + std::to_string(i / 100 % 10) + "/f" + std::to_string(i / 100) + "/" +
                 std::to_string(i % 100) + ".txt"] = build + " " + std::to_string(i);
        }
        WriteTree(dir / build, tree);
    }
    BuildPatchFile({{"1.0", dir / "old"}}, {"1.1", dir / "new"}, dir / "patch.bin");
    ASSERT_EQ(RunPass(EngineMode::Apply, dir / "patch.bin", dir / "old"), EngineResult::Ok);
    EXPECT_EQ(TreeDiff(ReadTree(dir / "old"), ReadTree(dir / "new")), "");
}

}  // namespace
