// Update runs that fail or are stopped: the lines, the buttons, the exit status and an
// installation left exactly as it was.

#include <windows.h>

#include <gtest/gtest.h>

#include "GameFixture.h"
#include "HeldOpenFile.h"
#include "UpdatePrograms.h"
#include "UpdateSession.h"

using e2e::Installation;
using e2e::Join;
using e2e::Lines;
using e2e::OpeningLines;
using e2e::Programs;
using e2e::UpdateSession;

namespace {

const char* const kBeginning = "Beginning patch process. This may take several minutes...";
const char* const kCancelled =
    "Update process did not complete. No changes were made to your Tessaly installation.";
const char* const kFailed = "Update did not complete successfully.";

Lines Tail(const Lines& lines, size_t count) {
    return lines.size() < count ? lines : Lines(lines.end() - count, lines.end());
}

}  // namespace

TEST_F(Installation, CancelDuringTheAnalysisChangesNothing) {
    WriteTree(e2e::ManyFilesBuild("1.1.5"));
    e2e::Tree before = Installed();
    UpdateSession run(Programs::ManyFiles(), folder.Path());
    ASSERT_TRUE(run.WaitForLine(kBeginning));
    run.Press(15);
    ASSERT_TRUE(run.WaitFinished());
    EXPECT_EQ(run.PaneLines(), Join(OpeningLines(folder.Path(), "1.1.5"),
                                    Lines{kBeginning, kCancelled, "", kFailed}));
    EXPECT_FALSE(run.ButtonVisible(17));
    EXPECT_EQ(run.CloseWithOk(), 0);
    EXPECT_EQ(Installed(), before);
}

TEST_F(Installation, CancelWhileApplyingRollsEverythingBack) {
    WriteTree(e2e::ManyFilesBuild("1.1.5"));
    e2e::Tree before = Installed();
    UpdateSession run(Programs::ManyFiles(), folder.Path());
    ASSERT_TRUE(run.WaitForLine("There are 153 files to be patched in this update."));
    run.Press(15);
    ASSERT_TRUE(run.WaitFinished());
    Lines lines = run.PaneLines();
    EXPECT_EQ(Tail(lines, 3), (Lines{kCancelled, "", kFailed}));
    EXPECT_EQ(std::count(lines.begin(), lines.end(), kCancelled), 1);
    EXPECT_FALSE(run.ButtonVisible(17));
    EXPECT_EQ(run.CloseWithOk(), 0);
    EXPECT_EQ(Installed(), before);
}

TEST_F(Installation, TheFirstCloseCancelsAndTheSecondClosesTheWindow) {
    WriteTree(e2e::ManyFilesBuild("1.1.5"));
    e2e::Tree before = Installed();
    {
        UpdateSession run(Programs::ManyFiles(), folder.Path());
        ASSERT_TRUE(run.WaitForLine(kBeginning));
        ui::Close(run.Window());
        ASSERT_TRUE(run.WaitFinished());
        EXPECT_EQ(Tail(run.PaneLines(), 3), (Lines{kCancelled, "", kFailed}));
        EXPECT_TRUE(IsWindow(run.Window()));
        ui::Close(run.Window());
        EXPECT_EQ(run.App().WaitForExit(20000), std::optional<DWORD>(0));
    }
    {
        UpdateSession run(Programs::ManyFiles(), folder.Path());
        ASSERT_TRUE(run.WaitForLine(kBeginning));
        ui::Close(run.Window());
        ui::Close(run.Window());
        EXPECT_EQ(run.App().WaitForExit(20000), std::optional<DWORD>(0));
    }
    EXPECT_EQ(Installed(), before);
}

TEST_F(Installation, AnEngineFailureWhileApplyingShowsItsTextAndChangesNothing) {
    Install("1.1.5");
    e2e::Tree before = Installed();
    // A data file held open: not a program, so the run does not try it first, and the engine
    // cannot move it aside.
    HeldOpenFile held(Path("data\\levels.dat"), FILE_SHARE_READ);  // as a running game
    ASSERT_TRUE(held.Held());
    UpdateSession run(Programs::Single(), folder.Path());
    auto box = run.App().WaitForMessageBox("Warning", 30000);
    ASSERT_TRUE(box.has_value());
    EXPECT_NE(box->text.find("levels.dat"), std::string::npos) << box->text;
    ui::ClickId(box->handle, IDOK);
    ASSERT_TRUE(run.WaitFinished());
    Lines lines = run.PaneLines();
    EXPECT_EQ(
        std::count(lines.begin(), lines.end(), "There are 3 files to be patched in this update."),
        1);
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& l) {
                                return l.find("is not available") != std::string::npos;
                            }),
              0);
    EXPECT_EQ(Tail(lines, 2), (Lines{"", kFailed}));
    EXPECT_FALSE(run.ButtonVisible(17));
    EXPECT_EQ(run.CloseWithOk(), 0);
    held.Release();
    EXPECT_EQ(Installed(), before);
}

TEST_F(Installation, AProgramHeldOpenStopsTheRunBeforeAnythingChanges) {
    Install("1.1.5");
    e2e::Tree before = Installed();
    HeldOpenFile held(Path("ts2.exe"), FILE_SHARE_READ);
    ASSERT_TRUE(held.Held());
    UpdateSession run(Programs::Single(), folder.Path());
    ASSERT_TRUE(run.WaitFinished());
    EXPECT_EQ(run.PaneLines(),
              Join(OpeningLines(folder.Path(), "1.1.5"),
                   Lines{kBeginning, "", folder.Path() + "\\ts2.exe is not available.",
                         "File may be already open, close it and re-run patch.", "", kFailed}));
    EXPECT_TRUE(run.ButtonVisible(17));
    EXPECT_EQ(run.CloseWithOk(), 0);
    held.Release();
    EXPECT_EQ(Installed(), before);
}

TEST_F(Installation, AForeignFileStopsTheRunAfterTheAnalysis) {
    Install("1.1.5");
    e2e::WriteFile(Path("readme.txt"), "the player's own notes");
    e2e::Tree before = Installed();
    UpdateSession run(Programs::Single(), folder.Path());
    ASSERT_TRUE(run.WaitFinished());
    EXPECT_EQ(
        run.PaneLines(),
        Join(OpeningLines(folder.Path(), "1.1.5"),
             Lines{kBeginning, "", "readme.txt is unexpectedly not consistent with version 1.1.5.",
                   "",
                   "Installation does not match expected contents, terminating update with no "
                   "changes applied.",
                   "", kFailed}));
    EXPECT_TRUE(run.ButtonVisible(17));
    EXPECT_EQ(run.CloseWithOk(), 0);
    EXPECT_EQ(Installed(), before);
}

TEST_F(Installation, SkipVersionCheckPatchesAroundAForeignFileButCannotVouchForIt) {
    Install("1.1.5");
    e2e::WriteFile(Path("readme.txt"), "the player's own notes");
    UpdateSession run(Programs::Single(), folder.Path(), "SkipVersionCheck");
    ASSERT_TRUE(run.WaitFinished());
    Lines lines = run.PaneLines();
    EXPECT_EQ(Tail(lines, 3),
              (Lines{"", "",
                     "Unable to determine if patch completed successfully, since some files were "
                     "not of the expected version."}));
    EXPECT_EQ(std::count(lines.begin(), lines.end(),
                         "readme.txt is unexpectedly not consistent with version 1.1.5."),
              2);
    EXPECT_FALSE(run.ButtonVisible(17));
    EXPECT_EQ(run.CloseWithOk(), 0);
    e2e::Tree expected = e2e::GameBuild("1.2.3");
    expected["readme.txt"] = "the player's own notes";
    EXPECT_EQ(Installed(), expected);
}

// Runs only on the nearly full RAM disk that with_small_drive.sh maps (a CTest run of its own).
// The utility is started on drive C: and finds the installation through the registry, so the
// free space shown must be the installation's drive's, not the working directory's.
TEST(SmallDrive, InsufficientStorageIsReportedWithTheInstallationDrivesFigures) {
    char drive[8] = {};
    if (!GetEnvironmentVariableA("TESSALY_SMALL_DRIVE", drive, sizeof drive)) {
        GTEST_SKIP() << "no small drive mapped";
    }
    std::string folder = std::string(drive) + "\\tessaly";
    e2e::RemoveTree(folder);
    e2e::WriteTree(folder, e2e::GameBuild("1.1.5"));
    e2e::Tree build = e2e::GameBuild("1.2.3");
    uint64_t needed =
        build["ts2.exe"].size() + build["readme.txt"].size() + build["data/levels.dat"].size();
    // Leave less room than the new files need.
    std::string root = std::string(drive) + "\\";
    ULARGE_INTEGER available{};
    ASSERT_TRUE(GetDiskFreeSpaceExA(root.c_str(), &available, nullptr, nullptr));
    ASSERT_GT(available.QuadPart, needed / 2);
    e2e::WriteFile(root + "filler.bin",
                   std::string(static_cast<size_t>(available.QuadPart - needed / 2), 'f'));
    ASSERT_TRUE(GetDiskFreeSpaceExA(root.c_str(), &available, nullptr, nullptr));
    e2e::Tree before = e2e::ReadTree(folder);
    ASSERT_EQ(RegSetKeyValueA(HKEY_LOCAL_MACHINE, Programs::kRegistryKey, "Install Path", REG_SZ,
                              folder.c_str(), static_cast<DWORD>(folder.size() + 1)),
              ERROR_SUCCESS);
    e2e::ScratchFolder elsewhere;

    UpdateSession run(Programs::Registered(), elsewhere.Path());
    ASSERT_TRUE(run.WaitFinished());
    auto count = [](uint64_t n) {
        std::string digits = std::to_string(n);
        for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3) {
            digits.insert(static_cast<size_t>(i), ",");
        }
        return digits;
    };
    Lines expected =
        Join(OpeningLines(folder, "1.1.5"),
             Lines{kBeginning, "", "",
                   count(available.QuadPart) + " bytes available on drive T:, " + count(needed) +
                       " bytes required for patch.",
                   "", "No files in your Tessaly version 1.1.5 installation were modified.", "",
                   kFailed});
    expected[5] = "Checking for a \"Tessaly\" installation in " + folder + ".";
    EXPECT_EQ(run.PaneLines(), expected);
    EXPECT_TRUE(run.ButtonVisible(17));
    EXPECT_EQ(run.CloseWithOk(), 0);
    EXPECT_EQ(e2e::ReadTree(folder), before);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, Programs::kRegistryKey);
    e2e::RemoveTree(folder);
    DeleteFileA((root + "filler.bin").c_str());
}
