// Update runs that fail or are stopped: the lines, the buttons, the exit status and an
// installation left exactly as it was.

#include <windows.h>

#include <algorithm>
#include <string>

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
    e2e::WriteTree(folder.Path(), e2e::ManyFilesBuild("1.1.5"));
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
    e2e::WriteTree(folder.Path(), e2e::ManyFilesBuild("1.1.5"));
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
    e2e::WriteTree(folder.Path(), e2e::ManyFilesBuild("1.1.5"));
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
    EXPECT_TRUE(std::none_of(lines.begin(), lines.end(), [](const std::string& l) {
        return l.find("is not available") != std::string::npos;
    }));
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

TEST_F(Installation, AFilePastWindowsPathLimitIsNamedWithTheReason) {
    std::string deep = folder.Path() + "\\" + std::string(100, 'd');
    e2e::Tree build = e2e::GameBuild("1.1.5");
    build[Programs::kLongName] = "small, of 1.1.5";
    e2e::WriteTree(deep, build);
    std::string name = Programs::kLongName;
    std::replace(name.begin(), name.end(), '/', '\\');
    ASSERT_GT(deep.size() + 1 + name.size(), size_t{MAX_PATH - 1});
    UpdateSession run(Programs::LongName(), deep);
    ASSERT_TRUE(run.WaitFinished());
    EXPECT_EQ(run.PaneLines(),
              Join(OpeningLines(deep, "1.1.5"),
                   Lines{kBeginning, "",
                         "No update done: " + name +
                             " cannot be reached, its path in the installation is longer than "
                             "Windows allows (259 characters)",
                         "Update error, terminating with no changes made to your installation.", "",
                         kFailed}));
    EXPECT_FALSE(run.ButtonVisible(17));  // an engine failure, not one the run found
    EXPECT_EQ(run.CloseWithOk(), 0);
    EXPECT_EQ(e2e::ReadTree(deep), build);
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

namespace {

// The volume that with_small_drive.sh maps, named by the environment variable `variable`; the
// test fails, saying why, when the script did not run.
std::string SmallVolume(const char* variable) {
    char name[64] = {};
    DWORD length = GetEnvironmentVariableA(variable, name, sizeof name);
    return length > 0 && length < sizeof name ? name : "";
}

// Installs 1.1.5 on the nearly full volume `volume` (a drive "T:" or a share \\server\small),
// leaves less room than the update needs and runs it from drive C:: the shortage must be told
// with that volume's name and figures, and nothing may change. The test itself reaches the
// volume through `drive`.
void ExpectShortageReportedFor(const std::string& volume, const std::string& drive) {
    std::string folder = volume + "\\tessaly";
    std::string written = drive + "\\tessaly";
    e2e::RemoveTree(written);
    e2e::WriteTree(written, e2e::GameBuild("1.1.5"));
    e2e::Tree build = e2e::GameBuild("1.2.3");
    uint64_t needed =
        build["ts2.exe"].size() + build["readme.txt"].size() + build["data/levels.dat"].size();
    // Leave less room than the new files need.
    std::string root = drive + "\\";
    ULARGE_INTEGER available{};
    ASSERT_TRUE(GetDiskFreeSpaceExA(root.c_str(), &available, nullptr, nullptr));
    ASSERT_GT(available.QuadPart, needed / 2);
    e2e::WriteFile(root + "filler.bin",
                   std::string(static_cast<size_t>(available.QuadPart - needed / 2), 'f'));
    ASSERT_TRUE(GetDiskFreeSpaceExA(root.c_str(), &available, nullptr, nullptr));
    e2e::Tree before = e2e::ReadTree(written);
    ASSERT_TRUE(Programs::Register(folder));
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
                   count(available.QuadPart) + " bytes available on drive " + volume + ", " +
                       count(needed) + " bytes required for patch.",
                   "", "No files in your Tessaly version 1.1.5 installation were modified.", "",
                   kFailed});
    expected[5] = "Checking for a \"Tessaly\" installation in " + folder + ".";
    EXPECT_EQ(run.PaneLines(), expected);
    EXPECT_TRUE(run.ButtonVisible(17));
    EXPECT_EQ(run.CloseWithOk(), 0);
    EXPECT_EQ(e2e::ReadTree(written), before);
    Programs::Unregister();
    e2e::RemoveTree(written);
    DeleteFileA((root + "filler.bin").c_str());
}

}  // namespace

// These run only on the nearly full RAM disk that with_small_drive.sh maps (a CTest run of its
// own). The utility is started on drive C: and finds the installation through the registry, so
// the free space shown must be the installation's volume's, not the working directory's.
TEST(SmallDrive, InsufficientStorageIsReportedWithTheInstallationDrivesFigures) {
    std::string drive = SmallVolume("TESSALY_SMALL_DRIVE");
    ASSERT_FALSE(drive.empty()) << "run through with_small_drive.sh, which needs the right to "
                                   "mount a tmpfs";
    ExpectShortageReportedFor(drive, drive);
}

TEST(SmallDrive, OnANetworkShareTheShareIsAskedAndNamed) {
    std::string share = SmallVolume("TESSALY_SMALL_SHARE");
    std::string drive = SmallVolume("TESSALY_SMALL_DRIVE");
    ASSERT_FALSE(share.empty() || drive.empty())
        << "run through with_small_drive.sh, which needs the right to mount a tmpfs";
    ExpectShortageReportedFor(share, drive);
}
