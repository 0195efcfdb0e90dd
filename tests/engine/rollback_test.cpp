// An apply is all or nothing: a null answer at any message, or a failure of any file operation,
// leaves the installation exactly as it was.
#include <gtest/gtest.h>

#include "engine_test_support.h"

using namespace tpe_test;
using tpe::EngineMode;
using tpe::EngineResult;

namespace {

class Rollback : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override { BuildMixedChangePatch(dir.Path()); }
    std::string Backup() const { return GetParam(); }
    ScratchDir dir;
};

TEST_P(Rollback, NullAnswerAtEveryMessageLeavesTheTreeUntouched) {
    Recorder full;
    full.answer = [](size_t, unsigned id) { return id == kEngineQuestion ? "Y" : ""; };
    std::string reference = MixedChangeInstall(dir.Path(), "reference");
    ASSERT_EQ(RunPass(EngineMode::Apply, dir / "patch.bin", reference, full,
                      tpe::NativeFileSystem(), Backup()),
              EngineResult::Ok);
    const TreeSpec old = ReadTree(dir / "old");
    ASSERT_GT(full.messages.size(), 10u);
    for (size_t stop = 0; stop < full.messages.size(); ++stop) {
        std::string inst = MixedChangeInstall(dir.Path(), "inst");
        Recorder recorder;
        recorder.answer = [stop](size_t index, unsigned id) -> const char* {
            return index == stop ? nullptr : id == kEngineQuestion ? "Y" : "";
        };
        EXPECT_NE(RunPass(EngineMode::Apply, dir / "patch.bin", inst, recorder,
                          tpe::NativeFileSystem(), Backup()),
                  EngineResult::Ok)
            << "null answer to message " << full.messages[stop];
        EXPECT_EQ(TreeDiff(ReadTree(inst), old), "") << "stopped at " << full.messages[stop];
        EXPECT_EQ(ModeOf(inst + "/ro.dat") & 0222, 0) << "read-only flag restored";
        RemoveTree(inst);
    }
}

TEST_P(Rollback, FailureOfAnyFileOperationLeavesTheTreeUntouched) {
    const TreeSpec old = ReadTree(dir / "old");
    TreeSpec current = ReadTree(dir / "new");
    if (!Backup().empty()) {
        // The originals the apply replaced or removed, under their relative paths.
        for (const char* path :
             {"game.exe", "ro.dat", "sub/gone.txt", "sub/deeper/gone2.txt", "data/a.bin"}) {
            current[Backup() + "/" + path] = old.at(path);
        }
    }
    int failures = 0;
    for (long failAt = 0;; ++failAt) {
        std::string inst = MixedChangeInstall(dir.Path(), "inst");
        FaultyFileSystem fs;
        fs.failAt = failAt;
        Recorder recorder;
        recorder.answer = [](size_t, unsigned id) { return id == kEngineQuestion ? "Y" : ""; };
        EngineResult result =
            RunPass(EngineMode::Apply, dir / "patch.bin", inst, recorder, fs, Backup());
        if (!fs.failed) {
            // Past the last operation: the apply ran through.
            EXPECT_EQ(result, EngineResult::Ok);
            EXPECT_EQ(TreeDiff(ReadTree(inst), current), "");
            break;
        }
        // A clean-up the fault interrupted (a discarded original, the journal) is finished by
        // the next run on the folder, here an analysis.
        Recorder next;
        EXPECT_EQ(RunPass(EngineMode::Analyse, dir / "patch.bin", inst, next), EngineResult::Ok)
            << "fault at operation " << failAt << ": " << ::testing::PrintToString(next.messages);
        TreeSpec after = ReadTree(inst);
        if (result == EngineResult::Ok) {
            // Only what follows the swap may fail without undoing it: the new tree is complete;
            // a folder to remove (with a notice) may be left over.
            const bool keptFolder = recorder.Has(kEngineInformation, "Kept folder");
            for (auto it = after.begin(); it != after.end();) {
                bool leftover =
                    keptFolder && it->first.rfind("sub/", 0) == 0 && it->first.back() == '/';
                it = leftover ? after.erase(it) : std::next(it);
            }
            EXPECT_EQ(TreeDiff(after, current), "") << "fault at operation " << failAt;
        } else {
            ++failures;
            EXPECT_EQ(TreeDiff(after, old), "") << "fault at operation " << failAt;
        }
        RemoveTree(inst);
    }
    EXPECT_GT(failures, 10);
}

INSTANTIATE_TEST_SUITE_P(WithAndWithoutBackups, Rollback,
                         ::testing::Values(std::string(), std::string("Update_1.0_Backup")));

}  // namespace
