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
    for (const char* build : {"old", "new"}) {
        std::string root = dir / build;
        tpe::NativeFileSystem().MakeFolder(root);
        WriteFile(root + "/game.exe", build);
        for (int folder = 0; folder < kFiles / 100; ++folder) {
            std::string path = root + "/d" + std::to_string(folder % 10);
            tpe::NativeFileSystem().MakeFolder(path);
            path += "/f" + std::to_string(folder);
            tpe::NativeFileSystem().MakeFolder(path);
            for (int i = 0; i < 100; ++i) {
                WriteFile(path + "/" + std::to_string(i) + ".txt",
                          std::string(build) + " " + std::to_string(folder * 100 + i));
            }
        }
    }
    tpe::BuildRequest request = RequestFor(dir / "old", dir / "new");
    tpe::BuildSummary summary;
    std::string error;
    ASSERT_TRUE(
        tpe::BuildPatch(tpe::NativeFileSystem(), request, dir / "patch.bin", &summary, &error))
        << error;
    EXPECT_EQ(summary.modified, uint32_t(kFiles) + 1);
    Recorder recorder;
    ASSERT_EQ(RunPass(EngineMode::Apply, dir / "patch.bin", dir / "old", recorder),
              EngineResult::Ok);
    EXPECT_EQ(TreeDiff(ReadTree(dir / "old"), ReadTree(dir / "new")), "");
}

}  // namespace
