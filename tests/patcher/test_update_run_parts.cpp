// The parts of the update run that need no engine and no window: byte counts and the drive
// letter of the disk-space message, the engine callbacks' arithmetic and answers, the engine
// text log and the support report on a real folder.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "GameFixture.h"
#include "HeldOpenFile.h"
#include "ListItems.h"
#include "RecordingView.h"
#include "patchinfo/PatchDescription.h"
#include "patching/EngineCallbacks.h"
#include "patching/FilesInUse.h"
#include "patching/FreeSpace.h"
#include "patching/PatchProcess.h"
#include "report/ErrorReport.h"

namespace {

using Strings = std::vector<std::string>;

class Callbacks : public ::testing::Test {
protected:
    void SetUp() override {
        description.SetView(&view);
        description.installFolder = folder.Path().c_str();
        description.fromVersion = "1.1.5";
        description.toVersion = "1.2.3";
    }
    const char* Analyse(unsigned id, const void* parameter = nullptr) {
        return OnAnalysisMessage(id, const_cast<void*>(parameter));
    }
    const char* Apply(unsigned id, const void* parameter = nullptr) {
        return OnApplyMessage(id, const_cast<void*>(parameter));
    }
    std::string Answer(const char* answer) { return answer ? answer : "(null)"; }

    e2e::ScratchFolder folder;
    PatchDescription description;
    RecordingView view;
};

}  // namespace

TEST(ByteCounts, GroupsOfThreeFromTheRightWithCommas) {
    EXPECT_STREQ(FormatByteCount(999).c_str(), "999");
    EXPECT_STREQ(FormatByteCount(1000).c_str(), "1,000");
    EXPECT_STREQ(FormatByteCount(5368709120ull).c_str(), "5,368,709,120");
    EXPECT_STREQ(FormatByteCount(18446744073709551615ull).c_str(), "18,446,744,073,709,551,615");
}

TEST(Volume, TheDriveFromTheFolderOrTheCurrentDirectoryAndTheShareOfANetworkPath) {
    EXPECT_STREQ(InstallVolumeName("c:/Games/Tessaly", "D:\\work").c_str(), "C:");
    EXPECT_STREQ(InstallVolumeName("Games", "e:\\").c_str(), "E:");
    EXPECT_STREQ(InstallVolumeName("\\\\server\\games\\Tessaly", "d:\\work").c_str(),
                 "\\\\server\\games");
    EXPECT_STREQ(InstallVolumeName("//server/games", "d:\\work").c_str(), "\\\\server\\games");
    // No share part: nothing better to name than the current drive.
    EXPECT_STREQ(InstallVolumeName("\\\\server", "d:\\work").c_str(), "D:");
}

TEST(ApplyPass, TheBackupFolderIsQuotedLikeTheInstallationFolder) {
    PatchDescription description;
    description.installFolder = "C:\\Games\\Tessaly";
    description.fromVersion = "1.1.5 beta";
    EXPECT_STREQ(ApplyPassArguments(description).c_str(),
                 "\"C:\\Games\\Tessaly\" -nopathsearch -i -u ");
    description.keepBackup = true;
    EXPECT_STREQ(ApplyPassArguments(description).c_str(),
                 "\"C:\\Games\\Tessaly\" -nopathsearch -i -u -b:\"Update_1.1.5 beta_Backup\"");
}

// Held with read sharing only, as a running game holds it: the end-to-end runs.
TEST_F(Callbacks, AProgramHeldWithEverySharingIsStillNamedWithBackslashes) {
    for (const char* name : {"ts2.exe", "tools\\Editor.EXE"}) {
        e2e::WriteFile(folder / name, "contents");
        description.patchedFiles.Append(name);
    }
    HeldOpenFile held(folder / "tools\\Editor.EXE",
                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    ASSERT_TRUE(held.Held());
    EXPECT_FALSE(ProgramsAreFree(description));
    EXPECT_EQ(view.lines, (Strings{"", folder / "tools\\Editor.EXE is not available.",
                                   "File may be already open, close it and re-run patch."}));
    // Only programs are tried: a data file held open is left for the engine to meet.
    held.Release();
    e2e::WriteFile(folder / "data.pak", "contents");
    description.patchedFiles.Append("data.pak");
    HeldOpenFile data(folder / "data.pak", 0);
    ASSERT_TRUE(data.Held());
    EXPECT_TRUE(ProgramsAreFree(description));
}

TEST_F(Callbacks, AnalysisMovesTheFileBarByFractionAndByMebibyteTicks) {
    uint16_t half = 16384, whole = 32768, none = 0;
    Analyse(5, &half);
    Analyse(5, &whole);
    Analyse(5, &none);
    EXPECT_EQ(view.fileBar, (std::vector<int>{50, 100, 0}));

    e2e::WriteFile(folder / "big.dat", std::string(3670016, 'x'));  // 3.5 MiB: 3 ticks
    e2e::WriteFile(folder / "small.dat", "abc");
    view.fileBar.clear();
    Analyse(7, "big.dat");
    for (int i = 0; i < 4; ++i) Analyse(21);
    Analyse(7, "small.dat");
    Analyse(21);
    Analyse(7, "missing.dat");  // counts as one mebibyte
    Analyse(21);
    Analyse(21);
    EXPECT_EQ(view.fileBar, (std::vector<int>{0, 33, 66, 100, 133, 0, 100, 0, 100, 200}));
    // A file done before any count leaves the overall bar alone.
    EXPECT_EQ(Answer(Analyse(8)), "");
    EXPECT_TRUE(view.overallBar.empty());
}

TEST_F(Callbacks, AnalysisSpreadsTwentyPercentOverTheAnnouncedFiles) {
    int32_t count = 10;
    Analyse(6, &count);
    for (int i = 0; i < 10; ++i) {
        Analyse(7, "f.dat");
        Analyse(8);
    }
    EXPECT_EQ(view.overallBar, (std::vector<int>{2, 4, 6, 8, 10, 12, 14, 16, 18, 20}));
}

// An empty extension never shortens a name without a dot.
TEST_F(Callbacks, HistoryExtensionsAreCutFromTheListAndFromTheAppliedName) {
    for (const char* extension : {"h1", "new", "new", ""}) {
        description.historyExtensions.Append(extension);
    }
    for (const char* name :
         {"data\\levels.dat.new", "readme.txt", "data\\levels.dat.NEW", "file.", "noextension"}) {
        Analyse(7, name);
    }
    EXPECT_EQ(
        Items(description.patchedFiles),
        (Strings{"data\\levels.dat", "readme.txt", "data\\levels.dat.NEW", "file", "noextension"}));
    EXPECT_STREQ(description.currentFile.c_str(), "noextension");

    Apply(7, "data\\levels.dat.h1");
    EXPECT_STREQ(description.currentFile.c_str(), "data\\levels.dat");
    EXPECT_EQ(description.patchedFiles.Count(), 5);
}

TEST_F(Callbacks, InsufficientStorageRecordsTheBytesAndLetsTheEngineGoOn) {
    EXPECT_EQ(Answer(Analyse(4, "Insufficient Storage, 123456 bytes needed")), "");
    EXPECT_EQ(description.bytesRequired, 123456u);
    EXPECT_EQ(view.lines, Strings{""});
    // A count past 64 bits is held at the largest, never wrapped or cut to 32 bits.
    Analyse(4, "Insufficient Storage, 99999999999999999999999 bytes needed");
    EXPECT_EQ(description.bytesRequired, UINT64_MAX);
}

TEST_F(Callbacks, AMissingFileIsReportedAsCorruptAndStopsTheAnalysis) {
    Analyse(7, "data\\levels.dat");
    EXPECT_EQ(Answer(Analyse(4,
                             "No update done since file contents do not match: "
                             "data\\levels.dat is missing")),
              "(null)");
    EXPECT_EQ(
        view.lines,
        (Strings{"", "data\\levels.dat appears to be corrupt or not part of version 1.1.5.", "",
                 "Update error, terminating with no changes made to your installation."}));
    EXPECT_EQ(description.bytesRequired, 0u);
}

TEST_F(Callbacks, FixedAnswersOfBothPasses) {
    // A warning other than the foreign file's (seen in the end-to-end runs) shows nothing.
    EXPECT_EQ(Answer(Analyse(2, "some other warning")), "");
    EXPECT_FALSE(description.inconsistentFileSeen);
    int32_t count = 3;
    EXPECT_EQ(Answer(Apply(6, &count)), "COMBINE");
    EXPECT_EQ(Answer(Analyse(19)), "Y");
    EXPECT_EQ(Answer(Apply(19)), "Y");
    EXPECT_EQ(Answer(Analyse(1000)), "");
    EXPECT_EQ(Answer(Analyse(13)), "(null)");
    for (unsigned id : {15u, 17u, 18u, 20u}) {
        EXPECT_EQ(Answer(Analyse(id)), "(null)") << id;
        EXPECT_EQ(Answer(Apply(id)), "(null)") << id;
    }
    EXPECT_EQ(Answer(Apply(21)), "");
    EXPECT_EQ(Answer(Analyse(14)), "(null)");
    EXPECT_EQ(view.lines, Strings{"Invalid patch file."});
}

TEST_F(Callbacks, ApplyingReportsEachFileAndSpreadsEightyPercent) {
    description.patchFileCount = 4;
    description.lastPatchFile = "d.dat";
    for (const char* name : {"a.dat", "b.dat", "c.dat", "d.dat"}) {
        Apply(7, name);
        Apply(9, (std::string("Applying patch to ") + name).c_str());
        Apply(8);
    }
    // The lines and the engine texts kept are checked by the end-to-end runs.
    EXPECT_EQ(view.overallBar, (std::vector<int>{40, 60, 80, 100}));
}

// A foreign file while applying is seen in the end-to-end runs.
TEST_F(Callbacks, AFileAlreadyCurrentIsNotCalledPatched) {
    description.patchFileCount = 1;
    Apply(7, "a.dat");
    Apply(9, "a.dat: New Version already in place");
    Apply(8);
    EXPECT_EQ(view.lines, Strings{"a.dat is already current or more recent than version 1.2.3."});
}

TEST_F(Callbacks, ACancelStopsTheAnalysisAtOnceAndTheApplyAtTheNextProgress) {
    description.cancelRequested = true;
    EXPECT_EQ(Answer(Analyse(7, "a.dat")), "(null)");
    EXPECT_EQ(description.patchedFiles.Count(), 0);
    description.patchFileCount = 1;
    EXPECT_EQ(Answer(Apply(7, "a.dat")), "");
    EXPECT_EQ(Answer(Apply(9, "Applying patch to a.dat")), "");
    uint16_t half = 16384;
    EXPECT_EQ(Answer(Apply(5, &half)), "(null)");
    EXPECT_EQ(Answer(Apply(8)), "(null)");
    const std::string cancelled =
        "Update process did not complete. No changes were made to your Tessaly installation.";
    EXPECT_EQ(view.lines,
              (Strings{cancelled, "", "Patching a.dat from 1.1.5 to 1.2.3, file #1 of 1.",
                       cancelled, cancelled}));
    // OK comes with the run's verdict, after these lines, never with the cancel itself.
    EXPECT_EQ(view.finished, 0);
}

TEST(EngineTextLog, KeepsTrimmedTextsAndDropsEmptyOnes) {
    PatchDescription description;
    LogEngineText("  \tUpdate complete: 3 files written, 0 removed\r\n");
    LogEngineText(" \r\n ");
    LogEngineText("");
    ASSERT_EQ(description.processLogLines.Count(), 1);
    EXPECT_STREQ(description.processLogLines[0].c_str(),
                 "Update complete: 3 files written, 0 removed");
}

namespace {

// An installation with a log folder, a folder merely ending in "logs", an empty file and
// names in mixed case. The report's checksum lines; its button and engine texts are checked by
// the end-to-end report runs.
class Report : public ::testing::Test {
protected:
    void SetUp() override {
        description.SetView(&view);
        e2e::WriteFile(root / "b.txt", "abc");
        e2e::WriteFile(root / "A.txt", "abd");
        e2e::WriteFile(root / "c.txt", "");
        e2e::WriteFile(root / "Data\\readme.txt", "abc");
        e2e::WriteFile(root / "Logs\\run.log", "log");
        e2e::WriteFile(root / "data\\backlogs\\old.log", "log");
        description.installFolder = root.Path().c_str();
        description.installedVersion = "1.0";
    }
    void AddChecksum(const char* file, const char* sum, const char* length, const char* version) {
        description.checksumFiles.Append(file);
        description.checksumValues.Append(sum);
        description.checksumLengths.Append(length);
        description.checksumVersions.Append(version);
    }
    Strings Checksums() {
        const auto& lines = view.lines;
        auto begin =
            std::find(lines.begin(), lines.end(), "----------CHECKSUM LOG BEGIN----------");
        auto end = std::find(begin, lines.end(), "----------CHECKSUM LOG END----------");
        return begin == lines.end() ? Strings{} : Strings(begin + 1, end);
    }

    e2e::ScratchFolder root;
    PatchDescription description;
    RecordingView view;
};

}  // namespace

TEST_F(Report, AChecksumLineOfTheInstalledVersionAddsThePartialChecksum) {
    AddChecksum("data/README.txt", "5538", "3", "1.0");  // matches ignoring case
    AddChecksum("A.txt", "5538", "2", "1.0");            // the file differs in its third byte
    AddChecksum("b.txt", "1", "3", "0.9");               // another version
    AddChecksum("c.txt", "", "3", "1.0");                // no expected value
    RunErrorReport(description);
    EXPECT_EQ(Checksums(),
              (Strings{"File=\"A.txt\" Len=3 Check=5539 PChk=777(5538)",
                       "File=\"b.txt\" Len=3 Check=5538", "File=\"c.txt\" Len=0 Check=0",
                       "File=\"Data/readme.txt\" Len=3 Check=5538 PChk=5538(5538)"}));
}

TEST_F(Report, WithNoVersionDetectedEveryLineIsShort) {
    description.installedVersion = "";
    AddChecksum("b.txt", "5538", "3", "1.0");
    RunErrorReport(description);
    EXPECT_EQ(Checksums()[1], "File=\"b.txt\" Len=3 Check=5538");
}

TEST_F(Report, AFileOfMoreThanFourGibibytesIsMeasuredAndSummedWhole) {
    // 4 GiB of zeros that cost no disk, then "abc": zeros add nothing to the sum, so every byte
    // read gives 5538; a size kept in 32 bits would give 3 bytes of zeros.
    HANDLE big = CreateFileA((root / "big.bin").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(big, INVALID_HANDLE_VALUE);
    LARGE_INTEGER end;
    end.QuadPart = 4LL << 30;
    DWORD written = 0;
    ASSERT_TRUE(SetFilePointerEx(big, end, nullptr, FILE_BEGIN));
    ASSERT_TRUE(WriteFile(big, "abc", 3, &written, nullptr));
    CloseHandle(big);
    RunErrorReport(description);
    EXPECT_EQ(Checksums()[2], "File=\"big.bin\" Len=4294967299 Check=5538");
}

TEST_F(Report, AnInstallationBelowALogsFolderStillHasItsFilesSummed) {
    e2e::WriteFile(root / "Logs\\Tessaly\\ts2.exe", "abc");
    e2e::WriteFile(root / "Logs\\Tessaly\\logs\\x.log", "abc");
    description.installFolder = (root / "Logs\\Tessaly").c_str();
    RunErrorReport(description);
    EXPECT_EQ(Checksums(), Strings{"File=\"ts2.exe\" Len=3 Check=5538"});
}
