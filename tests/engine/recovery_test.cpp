// An apply whose process dies leaves its journal; the next run on the folder, of any pass,
// finishes it when it had committed and undoes it otherwise, then removes every trace of it.
// A death is simulated by a file system that stops working at a chosen operation.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "engine_test_support.h"
#include "journal.h"

using namespace tpe_test;
using tpe::EngineMode;
using tpe::EngineResult;

namespace {

class Recovery : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        BuildMixedChangePatch(dir.Path());
        old = ReadTree(dir / "old");
        FaultyFileSystem counting;
        EXPECT_EQ(Apply(MixedChangeInstall(dir.Path(), "reference"), counting), EngineResult::Ok);
        current = ReadTree(dir / "reference");
        operations = counting.operations;
    }
    EngineResult Apply(const std::string& inst, tpe::FileSystem& fs = tpe::NativeFileSystem()) {
        Recorder recorder;
        recorder.answer = [](size_t, unsigned id) { return id == kEngineQuestion ? "Y" : ""; };
        return RunPass(EngineMode::Apply, dir / "patch.bin", inst, recorder, fs, GetParam());
    }
    // The installation as a killed apply leaves it: the file system dies at `operation`.
    std::string Killed(long operation, bool torn = false) {
        std::string inst = MixedChangeInstall(dir.Path(), "killed" + std::to_string(operation));
        FaultyFileSystem dying;
        dying.freezeAt = operation;
        dying.tornWrite = torn;
        Apply(inst, dying);
        return inst;
    }
    // The journal `inst` holds; false when there is none or it cannot be read.
    static bool JournalOf(const std::string& inst, tpe::JournalContents* journal) {
        std::string why;
        return tpe::ReadJournal(tpe::NativeFileSystem(), inst + "/" + kEngineJournalName, journal,
                                &why) == tpe::JournalStatus::Ok;
    }
    bool Committed(const std::string& inst) {
        tpe::JournalContents journal;
        return JournalOf(inst, &journal) && journal.committed;
    }
    // The first operation after which the journal holds a commit.
    long CommitOperation() {
        for (long at = 0; at < operations; ++at) {
            std::string inst = Killed(at);
            bool committed = Committed(inst);
            RemoveTree(inst);
            if (committed) {
                return at;
            }
        }
        ADD_FAILURE() << "no commit seen";
        return operations;
    }
    static bool ReadOnly(const std::string& path) { return (ModeOf(path) & 0222) == 0; }

    ScratchDir dir;
    TreeSpec old, current;
    long operations = 0;
};

TEST_P(Recovery, EveryDeathEndsWhollyOldBeforeTheCommitAndWhollyNewAfterIt) {
    int toOld = 0, toNew = 0;
    for (long at = 0; at < operations; ++at) {
        for (bool torn : {false, true}) {
            std::string inst = Killed(at, torn);
            const bool committed = Committed(inst);
            Recorder next;
            ASSERT_EQ(RunPass(EngineMode::Analyse, dir / "patch.bin", inst, next), EngineResult::Ok)
                << "death at operation " << at << ": " << ::testing::PrintToString(next.messages);
            ++(committed ? toNew : toOld);
            EXPECT_EQ(TreeDiff(ReadTree(inst), committed ? current : old), "")
                << "death at operation " << at;
            EXPECT_EQ(next.Has(kEngineInformation, "was completed"), committed) << at;
            EXPECT_TRUE(ReadOnly(inst + "/ro.dat")) << "death at operation " << at;
            RemoveTree(inst);
        }
    }
    EXPECT_GT(toOld, 10);
    EXPECT_GT(toNew, 10);
}

// A failure after the commit makes the apply roll back; a death during that rollback ends old
// once the abort is in the journal, and wholly old or new when the death came before it.
TEST_P(Recovery, ADeathWhileRollingBackEndsOldOnceTheAbortIsRecorded) {
    const long commit = CommitOperation();
    int deaths = 0, aborted = 0;
    for (long failAt = commit + 1; failAt < commit + 4; ++failAt) {
        for (long dieAt = failAt + 1; dieAt < failAt + 12; ++dieAt) {
            std::string inst = MixedChangeInstall(dir.Path(), "rolling-back");
            FaultyFileSystem dying;
            dying.failAt = failAt;
            dying.freezeAt = dieAt;
            if (Apply(inst, dying) != EngineResult::RollbackIncomplete) {
                continue;  // the rollback was over before the death
            }
            ++deaths;
            tpe::JournalContents journal;
            ASSERT_TRUE(JournalOf(inst, &journal));
            aborted += journal.aborted;
            EXPECT_EQ(RunPass(EngineMode::Analyse, dir / "patch.bin", inst), EngineResult::Ok);
            const TreeSpec after = ReadTree(inst);
            if (journal.aborted || TreeDiff(after, current) != "") {
                EXPECT_EQ(TreeDiff(after, old), "")
                    << "failure at " << failAt << ", death at " << dieAt;
            }
        }
    }
    EXPECT_GT(deaths, 10);
    EXPECT_GT(aborted, 5);
}

TEST_P(Recovery, ATornCommitRecordRollsBack) {
    std::string inst = Killed(CommitOperation() + 1);
    const std::string journal = inst + "/" + kEngineJournalName;
    ASSERT_TRUE(Committed(inst));
    struct stat st;
    ASSERT_EQ(stat(journal.c_str(), &st), 0);
    ASSERT_EQ(truncate(journal.c_str(), st.st_size - 3), 0);
    Recorder next;
    EXPECT_EQ(RunPass(EngineMode::Analyse, dir / "patch.bin", inst, next), EngineResult::Ok);
    EXPECT_EQ(TreeDiff(ReadTree(inst), old), "");
    EXPECT_TRUE(next.Has(kEngineInformation, "was rolled back"));
}

// A listing runs before the player agreed to anything: it leaves the folder alone. The analysis
// and the recovery alone finish the apply, and say so by value.
TEST_P(Recovery, OnlyPassesAfterConsentRecover) {
    std::string inst = Killed(CommitOperation() + 2);
    const TreeSpec killed = ReadTree(inst);
    EXPECT_EQ(RunPass(EngineMode::List, dir / "patch.bin", inst), EngineResult::Ok);
    EXPECT_EQ(TreeDiff(ReadTree(inst), killed), "");
    for (EngineMode mode : {EngineMode::Recover, EngineMode::Analyse}) {
        Recorder next;
        EXPECT_EQ(RunPass(mode, dir / "patch.bin", inst, next), EngineResult::Ok);
        EXPECT_EQ(TreeDiff(ReadTree(inst), current), "");
        if (mode == EngineMode::Recover) {
            ASSERT_EQ(next.Ids(), (std::vector<unsigned>{kEngineInformation, kEngineRecovered}));
            EXPECT_NE(next.messages[0].text.find("was completed"), std::string::npos);
            EXPECT_EQ(next.messages[1].text, std::to_string(kRecoveryCompleted));
        } else {
            EXPECT_FALSE(next.Has(kEngineInformation, "was completed"));
        }
    }
    RemoveTree(inst);
}

TEST_P(Recovery, AFailedRecoveryKeepsTheJournalForTheNextRun) {
    std::string inst = Killed(CommitOperation() + 2);
    FaultyFileSystem failing;
    failing.failAt = 0;
    Recorder first;
    EXPECT_EQ(RunPass(EngineMode::Analyse, dir / "patch.bin", inst, first, failing),
              EngineResult::RollbackIncomplete);
    EXPECT_TRUE(first.Has(kEngineError, "Cannot recover the interrupted update"));
    EXPECT_EQ(first.messages.size(), 1u) << "nothing else was done";
    EXPECT_TRUE(Committed(inst));
    EXPECT_EQ(RunPass(EngineMode::Analyse, dir / "patch.bin", inst), EngineResult::Ok);
    EXPECT_EQ(TreeDiff(ReadTree(inst), current), "");
}

INSTANTIATE_TEST_SUITE_P(WithAndWithoutBackups, Recovery,
                         ::testing::Values(std::string(), std::string("Update_1.0_Backup")));

// Journals not written by the engine: whatever they name, nothing outside the installation is
// touched.
TEST(HostileJournal, PathsLeadingOutsideAreRefused) {
    ScratchDir dir;
    WriteTree(dir / "inst", {{"a.txt", "a"}});
    WriteTree(dir / "outside", {{"victim.txt", "keep me"}});
    symlink((dir / "outside").c_str(), (dir / "inst/link").c_str());
    for (const std::string path : {"../outside/victim.txt", "link/victim.txt", "/etc/passwd"}) {
        RemoveTree(dir / "inst/.~tpjournal");
        {
            tpe::JournalWriter writer(tpe::NativeFileSystem(), dir / "inst/.~tpjournal", "0123abcd",
                                      "");
            ASSERT_TRUE(writer.Prepared({false, path}));
            ASSERT_TRUE(writer.Prepared({true, path}));
        }
        WriteFile(dir / ("outside/victim.txt.~tpn0123abcd"), "staged?");
        EXPECT_EQ(RunPass(EngineMode::Analyse, dir / "no-patch.bin", dir / "inst"),
                  EngineResult::JournalUnusable)
            << path;
        EXPECT_EQ(ReadFile(dir / "outside/victim.txt"), "keep me");
        EXPECT_EQ(ReadFile(dir / "outside/victim.txt.~tpn0123abcd"), "staged?") << path;
    }
}

TEST(HostileJournal, AJournalCutInItsHeaderIsJustRemoved) {
    ScratchDir dir;
    WriteTree(dir / "inst", {{"a.txt", "a"}});
    WriteFile(dir / "inst/.~tpjournal", "TSLYJ");
    EXPECT_EQ(RunPass(EngineMode::Analyse, dir / "no-patch.bin", dir / "inst"),
              EngineResult::PayloadMissing);
    EXPECT_EQ(TreeDiff(ReadTree(dir / "inst"), TreeSpec{{"a.txt", "a"}}), "");
}

}  // namespace
