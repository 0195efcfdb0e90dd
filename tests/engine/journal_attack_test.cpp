// A journal found in the installation is written by whoever can write there, and the update
// usually runs with more rights: links planted where the journal's names lead, files swapped
// for others, damaged records. Each is refused with the journal kept and nothing touched,
// inside the installation or outside it.
#include <gtest/gtest.h>
#include <unistd.h>

#include "engine_test_support.h"
#include "journal.h"
#include "little_endian.h"

using namespace tpe_test;
using tpe::EngineMode;
using tpe::EngineResult;

namespace {

class JournalAttack : public ::testing::Test {
protected:
    void SetUp() override {
        BuildMixedChangePatch(dir.Path());
        WriteTree(dir / "outside", {{"victim.txt", "keep me"}});
    }

    // An installation whose apply died halfway through the swap: the plan is committed, some
    // originals are aside and some new files are still staged.
    std::string MidSwap(const std::string& backup = std::string()) {
        for (long at = 0; at < 400; ++at) {
            const std::string inst = MixedChangeInstall(dir.Path(), "inst");
            FaultyFileSystem dying;
            dying.freezeAt = at;
            Recorder recorder;
            recorder.answer = [](size_t, unsigned id) { return id == kEngineQuestion ? "Y" : ""; };
            RunPass(EngineMode::Apply, dir / "patch.bin", inst, recorder, dying, backup);
            std::string why;
            if (tpe::ReadJournal(tpe::NativeFileSystem(), Journal(), &journal, &why) !=
                    tpe::JournalStatus::Ok ||
                !journal.committed) {
                continue;
            }
            bool moved = false, staged = false;
            for (const tpe::PlannedChange& change : journal.plan) {
                moved = moved || (change.replace && ModeOf(Staged(change.relative)) < 0);
                staged = staged || (change.replace && ModeOf(Staged(change.relative)) >= 0);
            }
            if (moved && staged) {
                return inst;
            }
        }
        ADD_FAILURE() << "no death halfway through the swap";
        return dir / "inst";
    }
    std::string Journal() { return dir / ("inst/" + std::string(kEngineJournalName)); }
    std::string Aside() { return dir / ("inst/.~tpo" + journal.token); }
    std::string Staged(const std::string& relative) {
        return dir / ("inst/" + relative + ".~tpn" + journal.token);
    }
    // A recovery that must refuse: the journal stays, the installation and the outside folder
    // are as they were.
    void ExpectRefused(const std::string& what) {
        const TreeSpec inside = ReadTree(dir / "inst");
        const TreeSpec outside = ReadTree(dir / "outside");
        const std::string journalBytes = ReadFile(Journal());
        Recorder next;
        EXPECT_EQ(RunPass(EngineMode::Recover, dir / "patch.bin", dir / "inst", next),
                  EngineResult::JournalUnusable)
            << what << ": " << ::testing::PrintToString(next.messages);
        ASSERT_EQ(next.Ids(), std::vector<unsigned>{kEngineError}) << what;
        EXPECT_NE(next.messages[0].text.find(kEngineJournalName), std::string::npos);
        EXPECT_NE(next.messages[0].text.find("keep the file for support"), std::string::npos);
        EXPECT_EQ(TreeDiff(ReadTree(dir / "inst"), inside), "") << what;
        EXPECT_EQ(TreeDiff(ReadTree(dir / "outside"), outside), "") << what;
        EXPECT_EQ(ReadFile(Journal()), journalBytes) << what;
    }
    // The offset of the record that holds byte `index` of the journal's records, counting the
    // records from 0 after the magic.
    size_t RecordOffset(const std::string& bytes, int index) {
        size_t at = 8;
        for (int i = 0; i < index; ++i) {
            uint32_t length = tpe::GetLe32(reinterpret_cast<const uint8_t*>(bytes.data() + at));
            at += 8 + length + 4;
        }
        return at;
    }

    ScratchDir dir;
    tpe::JournalContents journal;
};

// Rolling forward through a folder moved outside and replaced by a link would delete or write
// the files there.
TEST_F(JournalAttack, FoldersLinkedOutside) {
    const std::string backup = "Update_1.0_Backup";
    for (bool aside : {true, false}) {
        MidSwap(aside ? std::string() : backup);
        const std::string folder = aside ? Aside() : dir / ("inst/" + backup);
        const std::string moved = dir / (aside ? "outside/aside" : "outside/backup");
        ASSERT_EQ(rename(folder.c_str(), moved.c_str()), 0);
        ASSERT_EQ(symlink(moved.c_str(), folder.c_str()), 0);
        ExpectRefused(aside ? "aside folder linked outside" : "backup folder linked outside");
    }
}

TEST_F(JournalAttack, StagedFileLinkedOutside) {
    MidSwap();
    for (const tpe::PlannedChange& change : journal.plan) {
        if (change.replace && ModeOf(Staged(change.relative)) >= 0) {
            ASSERT_EQ(unlink(Staged(change.relative).c_str()), 0);
            ASSERT_EQ(
                symlink((dir / "outside/victim.txt").c_str(), Staged(change.relative).c_str()), 0);
            break;
        }
    }
    ExpectRefused("staged file linked outside");
}

TEST_F(JournalAttack, AsideOriginalSwappedForAnotherFile) {
    MidSwap();
    std::vector<std::string> names;
    tpe::NativeFileSystem().List(Aside(), &names);
    ASSERT_FALSE(names.empty());
    WriteFile(Aside() + "/" + names[0], "not the original");
    ExpectRefused("aside file swapped");
}

TEST_F(JournalAttack, DamagedRecords) {
    MidSwap();
    const std::string intact = ReadFile(Journal());
    // A length grown past the end of the file would pass for a record cut short by a kill.
    const struct {
        const char* what;
        size_t at;
        char mask;
    } cases[] = {{"damaged length", RecordOffset(intact, 2) + 1, 0x10},
                 {"damaged checksum", RecordOffset(intact, 3) - 1, 0x01},
                 {"damaged checksum of the last record", intact.size() - 1, 0x01}};
    for (const auto& c : cases) {
        std::string bytes = intact;
        bytes[c.at] ^= c.mask;
        WriteFile(Journal(), bytes);
        ExpectRefused(c.what);
    }
}

TEST_F(JournalAttack, InstallationFolderThatIsALink) {
    CopyTree(dir / "old", dir / "real");
    ASSERT_EQ(symlink((dir / "real").c_str(), (dir / "linked").c_str()), 0);
    for (EngineMode mode : {EngineMode::Analyse, EngineMode::Apply, EngineMode::Recover}) {
        Recorder next;
        EXPECT_EQ(RunPass(mode, dir / "patch.bin", dir / "linked", next),
                  EngineResult::FolderIsLink);
        ASSERT_EQ(next.Ids(), std::vector<unsigned>{kEngineError});
        EXPECT_NE(next.messages[0].text.find("is a link or junction"), std::string::npos);
    }
    EXPECT_EQ(TreeDiff(ReadTree(dir / "real"), ReadTree(dir / "old")), "");
}

}  // namespace
