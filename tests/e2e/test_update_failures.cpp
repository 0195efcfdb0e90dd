// Update runs that fail or are stopped: the lines, the buttons, the exit status and an
// installation left exactly as it was.

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "GameFixture.h"
#include "HeldOpenFile.h"
#include "UpdatePrograms.h"
#include "UpdateSession.h"
#include "patching/FreeSpace.h"

using namespace e2e;

namespace {

const char* const kCancelled =
    "Update process did not complete. No changes were made to your Tessaly installation.";
const char* const kFailed = "Update did not complete successfully.";

}  // namespace

// Cancel in the analysis or while applying: one line says so, no report is offered and the
// installation is as it was. Closed twice at once, the program ends and changes nothing (the
// first close alone cancels: WindowFramework.TheFirstCloseWhileTheUpdateRunsIsACancel).
TEST_F(Installation, CancelOrTwoClosesStopTheRunAndChangeNothing) {
    e2e::WriteTree(folder.Path(), ManyFilesBuild("1.1.5"));
    const Tree before = Installed();
    const struct Case {
        const char* waitFor;
        Lines tail;
    } cases[] = {
        {kBeginning, {kBeginning, kCancelled, "", kFailed}},  // the analysis stops at once
        {"There are 153 files to be patched in this update.", {kCancelled, "", kFailed}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.waitFor);
        UpdateSession run(Programs::ManyFiles(), folder.Path());
        ASSERT_TRUE(run.WaitForLine(c.waitFor));
        run.Press(15);
        ASSERT_TRUE(run.WaitFinished());
        const Lines lines = run.PaneLines();
        EXPECT_EQ(Tail(lines, c.tail.size()), c.tail);
        EXPECT_EQ(std::count(lines.begin(), lines.end(), kCancelled), 1);
        EXPECT_FALSE(run.ButtonVisible(17));
        EXPECT_EQ(run.CloseWithOk(), 0);
        EXPECT_EQ(Installed(), before);
    }
    UpdateSession run(Programs::ManyFiles(), folder.Path());
    ASSERT_TRUE(run.WaitForLine(kBeginning));
    ui::Close(run.Window());
    ui::Close(run.Window());
    EXPECT_EQ(run.App().WaitForExit(20000), std::optional<DWORD>(0));
    EXPECT_EQ(Installed(), before);
}

TEST_F(Installation, AnEngineFailureWhileApplyingShowsItsTextAndChangesNothing) {
    Install("1.1.5");
    const Tree before = Installed();
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
    EXPECT_EQ(Tail(lines, 2), (Lines{"", kFailed}));
    EXPECT_FALSE(run.ButtonVisible(17));
    EXPECT_EQ(run.CloseWithOk(), 0);
    held.Release();
    EXPECT_EQ(Installed(), before);
}

TEST_F(Installation, AProgramHeldOpenStopsTheRunBeforeAnythingChanges) {
    Install("1.1.5");
    Tree before = Installed();
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
    Tree build = GameBuild("1.1.5");
    build[Programs::kLongName] = "small, of 1.1.5";
    WriteTree(deep, build);
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
    EXPECT_EQ(ReadTree(deep), build);
}

TEST_F(Installation, AForeignFileStopsTheRunAfterTheAnalysis) {
    Install("1.1.5");
    e2e::WriteFile(Path("readme.txt"), "the player's own notes");
    Tree before = Installed();
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
    Tree expected = GameBuild("1.2.3");
    expected["readme.txt"] = "the player's own notes";
    EXPECT_EQ(Installed(), expected);
}

// Runs only on the nearly full RAM disk that with_small_drive.sh maps (a CTest run of its own),
// with the installation on its drive and on its network share. 1.1.5 is installed with less
// room left than the update needs, and the utility is started on drive C: and finds the
// installation through the registry: the shortage must be told with the installation volume's
// name and figures, not the working directory's, and nothing may change.
TEST(SmallDrive, InsufficientStorageIsReportedWithTheInstallationVolumesFigures) {
    const char* drive = std::getenv("TESSALY_SMALL_DRIVE");
    const char* share = std::getenv("TESSALY_SMALL_SHARE");
    ASSERT_TRUE(drive && share)
        << "run through with_small_drive.sh, which needs the right to mount a tmpfs";
    // The test itself reaches the volume through the drive.
    const std::string root = drive + std::string("\\");
    const std::string written = root + "tessaly";
    Tree build = GameBuild("1.2.3");
    const uint64_t needed =
        build["ts2.exe"].size() + build["readme.txt"].size() + build["data/levels.dat"].size();
    for (const std::string volume : {drive, share}) {
        SCOPED_TRACE(volume);
        const std::string folder = volume + "\\tessaly";
        RemoveTree(written);
        WriteTree(written, GameBuild("1.1.5"));
        ULARGE_INTEGER available{};
        ASSERT_TRUE(GetDiskFreeSpaceExA(root.c_str(), &available, nullptr, nullptr));
        ASSERT_GT(available.QuadPart, needed / 2);
        e2e::WriteFile(root + "filler.bin",
                       std::string(static_cast<size_t>(available.QuadPart - needed / 2), 'f'));
        ASSERT_TRUE(GetDiskFreeSpaceExA(root.c_str(), &available, nullptr, nullptr));
        const Tree before = ReadTree(written);
        ASSERT_TRUE(Programs::Register(folder));
        ScratchFolder elsewhere;

        UpdateSession run(Programs::Registered(), elsewhere.Path());
        ASSERT_TRUE(run.WaitFinished());
        EXPECT_EQ(
            run.PaneLines(),
            Join(OpeningLines(folder, "1.1.5"),
                 Lines{kBeginning, "", "",
                       std::string(FormatByteCount(available.QuadPart).c_str()) +
                           " bytes available on drive " + volume + ", " +
                           FormatByteCount(needed).c_str() + " bytes required for patch.",
                       "", "No files in your Tessaly version 1.1.5 installation were modified.", "",
                       kFailed}));
        EXPECT_TRUE(run.ButtonVisible(17));
        EXPECT_EQ(run.CloseWithOk(), 0);
        EXPECT_EQ(ReadTree(written), before);
        Programs::Unregister();
        RemoveTree(written);
        DeleteFileA((root + "filler.bin").c_str());
    }
}
