// An update killed half way, in the player's own flow: the installation is registered, the
// update program runs from a downloads folder, dies inside the engine at a file operation (or is
// killed from outside at a random moment), and is simply run again. Every such run must end with
// the installation exactly at the new build, nothing of the update left in it, and a last line
// that says what really happened.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "GameFixture.h"
#include "UiDriver.h"
#include "UpdatePrograms.h"
#include "UpdateSession.h"

using namespace e2e;

namespace {

const char* const kCompleted =
    "An interrupted update was completed: every file it changes is now at its new version.";
const char* const kRolledBack =
    "An interrupted update was rolled back: every file it changes is as it was before.";
const char* const kUpToDate = "\"Tessaly\" is already up to date with version 1.2.3.";
const char* const kReady = "\"Tessaly\" version 1.2.3 is ready to run on your system.";

class InterruptedUpdate : public ::testing::Test {
protected:
    void SetUp() override {
        WriteTree(folder.Path(), GameBuild("1.1.5"));
        ASSERT_TRUE(Programs::Register(folder.Path()));
    }
    void TearDown() override {
        Programs::Unregister();
        // A killed program cannot delete its temporary copy of the engine: remove those here, so
        // that tests counting the copies see only their own.
        for (const std::string& path : EngineCopies()) {
            if (std::find(copiesBefore.begin(), copiesBefore.end(), path) == copiesBefore.end()) {
                DeleteFileA(path.c_str());
            }
        }
    }
    const std::vector<std::string> copiesBefore = EngineCopies();

    // The changing file operations of one whole update by the crash-point program.
    long CountOperations() {
        const std::string counts = downloads / "counts.txt";
        {
            UpdateSession run(Programs::RegisteredCrashPoints(), downloads.Path(), "",
                              {{"TPATCH_COUNT_TO", counts}});
            EXPECT_TRUE(run.AnswerChangeList(IDNO));
            EXPECT_TRUE(run.WaitFinished());
            EXPECT_EQ(run.CloseWithOk(), 0);
        }
        Reinstall(GameBuild("1.1.5"));
        return std::atol(e2e::ReadFile(counts).c_str());
    }

    // The update program run again, from another folder, after the death described by `what`.
    void RunAgainAndExpectTheNewBuild(const std::string& what, bool manyFiles = false) {
        auto build = manyFiles ? ManyFilesBuild : GameBuild;
        UpdateSession run(manyFiles ? Programs::ManyFiles() : Programs::Registered(),
                          elsewhere.Path());
        // A rolled-back update is applied anew and offers the change list; a completed one is
        // up to date.
        run.AnswerChangeList(IDNO);
        ASSERT_TRUE(run.WaitFinished()) << what;
        const Lines lines = run.PaneLines();
        const bool wasCompleted = Holds(lines, kCompleted);
        const bool wasRolledBack = Holds(lines, kRolledBack);
        EXPECT_FALSE(wasCompleted && wasRolledBack) << what;
        const Lines expectedEnd =
            wasCompleted ? Lines{kUpToDate, "", "No update will be performed.", ""} : Lines{kReady};
        EXPECT_EQ(Tail(lines, expectedEnd.size()), expectedEnd) << what;
        EXPECT_FALSE(run.ButtonVisible(17)) << what;
        EXPECT_EQ(run.CloseWithOk(), 0) << what;
        EXPECT_EQ(ReadTree(folder.Path()), build("1.2.3")) << what;
        completed += wasCompleted;
        rolledBack += wasRolledBack;
        // The outcome of each kill point, for the record.
        std::printf("%s: %s\n", what.c_str(),
                    wasCompleted    ? "the next run completed it"
                    : wasRolledBack ? "the next run rolled it back and updated"
                                    : "nothing to recover; the next run updated");
        Reinstall(build("1.1.5"));
    }

    // The installation at `build` and nothing else, for the next kill point.
    void Reinstall(const Tree& build) {
        RemoveTree(folder.Path());
        WriteTree(folder.Path(), build);
        ASSERT_EQ(ReadTree(folder.Path()), build) << "the installation could not be reset";
    }

    ScratchFolder folder, downloads, elsewhere;
    int completed = 0, rolledBack = 0;
};

// Kill points: every operation of the swap and the clean-up at the end (the last 14), and ten
// spread over the staging before them. A wine start costs seconds, so not every operation.
std::vector<long> KillPoints(long operations) {
    std::vector<long> points;
    const long tail = std::min(operations, 14L);
    for (int i = 0; i < 10; ++i) {
        points.push_back((operations - tail) * i / 10);
    }
    for (long at = operations - tail; at < operations; ++at) {
        points.push_back(at);
    }
    points.erase(std::unique(points.begin(), points.end()), points.end());
    return points;
}

TEST_F(InterruptedUpdate, EngineKilledAtFileOperationsThenRunAgain) {
    const long operations = CountOperations();
    const std::vector<long> points = KillPoints(operations);
    ASSERT_GE(points.size(), 20u) << "too few kill points in " << operations << " operations";
    size_t killed = 0;
    for (long at : points) {
        const std::string what = "killed before file operation " + std::to_string(at) + " of " +
                                 std::to_string(operations);
        {
            UpdateSession run(Programs::RegisteredCrashPoints(), downloads.Path(), "",
                              {{"TPATCH_KILL_AT_OPERATION", std::to_string(at)}});
            if (!run.App().WaitForExit(30000).has_value()) {
                // This run did fewer operations than the one counted: it ran to its end.
                std::printf("%s: not reached, the update ran to its end\n%s\n", what.c_str(),
                            ::testing::PrintToString(run.PaneLines()).c_str());
                run.AnswerChangeList(IDNO);
                EXPECT_TRUE(run.WaitFinished()) << what;
                EXPECT_EQ(run.CloseWithOk(), 0) << what;
                EXPECT_EQ(ReadTree(folder.Path()), GameBuild("1.2.3")) << what;
                Reinstall(GameBuild("1.1.5"));
                continue;
            }
        }
        ++killed;
        RunAgainAndExpectTheNewBuild(what);
    }
    EXPECT_GE(killed, 20u);
    // Both sides of the commit were reached.
    EXPECT_GT(completed, 3);
    EXPECT_GT(rolledBack, 3);
}

// The build with many files takes seconds to update: the kills land anywhere in its apply.
TEST_F(InterruptedUpdate, UpdateProgramKilledAtRandomMomentsThenRunAgain) {
    Reinstall(ManyFilesBuild("1.1.5"));
    std::srand(static_cast<unsigned>(GetTickCount()));
    for (int i = 0; i < 6; ++i) {
        const int delay = std::rand() % 3000;
        const std::string what =
            "killed " + std::to_string(delay) + " ms after the patch process began";
        {
            UpdateSession run(Programs::ManyFiles(), downloads.Path());
            ASSERT_TRUE(run.WaitForLine(kBeginning));
            Sleep(static_cast<DWORD>(delay));
            run.App().Kill();
            run.App().WaitForExit(30000);
        }
        RunAgainAndExpectTheNewBuild(what, true);
    }
}

// An interrupted update found at the start. The start dialog and the listing before it change
// nothing: the dialog says that OK completes the interrupted update instead of judging the
// half-swapped installation. A damaged journal then stops the run by name, offers the report and
// keeps everything for support.
TEST_F(InterruptedUpdate, TheStartDialogAnnouncesTheCompletionAndADamagedJournalIsKept) {
    const long operations = CountOperations();
    {  // killed in the middle of the swap
        UpdateSession run(Programs::RegisteredCrashPoints(), downloads.Path(), "",
                          {{"TPATCH_KILL_AT_OPERATION", std::to_string(operations - 8)}});
        ASSERT_TRUE(run.App().WaitForExit(30000).has_value());
    }
    const std::string journalPath = folder / ".~tpjournal";
    ASSERT_TRUE(FileExists(journalPath));
    const Tree killed = ReadTree(folder.Path());
    auto app = ui::App::Launch({Programs::Registered(), "", elsewhere.Path(), {}});
    HWND dialog = app->WaitForWindow({"Tessaly Update Utility", "#32770", true}, 30000);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(ui::Text(ui::FindControl(dialog, 1002)),
              "An earlier update of your Tessaly installation in the folder\n" + folder.Path() +
                  "\nwas interrupted. When you click OK, it is completed first; then the "
                  "update to version 1.2.3 goes on as usual.");
    EXPECT_TRUE(ui::IsVisible(ui::FindControl(dialog, IDOK)));
    ui::ClickId(dialog, IDCANCEL);
    EXPECT_EQ(app->WaitForExit(30000), std::optional<DWORD>(0));
    EXPECT_EQ(ReadTree(folder.Path()), killed);

    std::string journal = e2e::ReadFile(journalPath);
    journal[20] = static_cast<char>(journal[20] ^ 0x40);
    e2e::WriteFile(journalPath, journal);
    const Tree damaged = ReadTree(folder.Path());
    UpdateSession run(Programs::Registered(), elsewhere.Path());
    ASSERT_TRUE(run.WaitFinished());
    const Lines lines = run.PaneLines();
    EXPECT_TRUE(Holds(lines, "The file \"" + journalPath +
                                 "\", left by an interrupted update, cannot be used. No files "
                                 "were changed. Do not delete it: click Error Report and send "
                                 "the report to support."))
        << ::testing::PrintToString(lines);
    EXPECT_EQ(Tail(lines, 2), (Lines{"", "Update did not complete successfully."}));
    EXPECT_FALSE(Holds(lines, "Internal Update error, patch is possibly corrupt."));
    EXPECT_TRUE(run.ButtonVisible(17));
    EXPECT_EQ(run.CloseWithOk(), 0);
    EXPECT_EQ(ReadTree(folder.Path()), damaged);
}

}  // namespace
