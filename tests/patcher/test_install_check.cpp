// The file checksum, version detection, the installation check's verdicts and lines, the search
// for the installation and the introduction texts, on real files in a scratch folder.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "GameFixture.h"
#include "RecordingView.h"
#include "install/InstallCheck.h"
#include "install/InstallFolder.h"
#include "install/VersionDetection.h"
#include "patchinfo/FileChecksum.h"
#include "patchinfo/PatchDescription.h"

namespace {

using Strings = std::vector<std::string>;

uint32_t SumOf(const std::string& contents, int32_t length) {
    e2e::ScratchFolder folder;
    e2e::WriteFile(folder / "f", contents);
    return FileChecksum((folder / "f").c_str(), length);
}

// An installation of version `version` with a checksum line per file for it, plus a line for
// another version.
class Installation : public ::testing::Test {
protected:
    void SetUp() override {
        description.SetView(&view);
        description.installFolder = folder.Path().c_str();
        description.versionFileName = "ts2.exe";
        description.fromVersion = "1.1.5";
        description.toVersion = "1.2.3";
    }
    void Install(const std::string& version, bool stamped = true) {
        std::string program = stamped ? e2e::GameProgram(version, "code") : "MZ plain program";
        e2e::WriteFile(folder / "ts2.exe", program);
        e2e::WriteFile(folder / "data\\levels.dat", "levels " + version);
        AddChecksum("ts2.exe", program, version);
        AddChecksum("data\\levels.dat", "levels " + version, version);
    }
    void AddChecksum(const std::string& file, const std::string& contents,
                     const std::string& version) {
        description.checksumFiles.Append(file.c_str());
        description.checksumValues.Append(
            QLC_String::Format("%u", SumOf(contents, static_cast<int32_t>(65536))));
        description.checksumLengths.Append("65536");
        description.checksumVersions.Append(version.c_str());
    }
    void ClearChecksums() {
        for (StringList* list : {&description.checksumFiles, &description.checksumValues,
                                 &description.checksumLengths, &description.checksumVersions}) {
            list->Clear();
        }
    }
    std::string Path(const std::string& file) { return folder / file; }

    e2e::ScratchFolder folder;
    PatchDescription description;
    RecordingView view;
};

}  // namespace

TEST(FileChecksum, WorkedValues) {
    EXPECT_EQ(SumOf("abc", 0), 5538u);
    EXPECT_EQ(SumOf("abc", -1), 5538u);
    EXPECT_EQ(SumOf("", 0), 0u);
    EXPECT_EQ(SumOf("\xFF\xFF\xFF", 3), 14535u);
}

TEST(FileChecksum, PaddingIsComputedNotReadByteByByte) {
    // Zero padding gives the same value as real zero bytes...
    EXPECT_EQ(SumOf("abc", 1003), SumOf(std::string("abc") + std::string(1000, '\0'), 0));
    // ...and a damaged or hostile length of two billion costs no time.
    DWORD start = GetTickCount();
    SumOf("abc", 2000000000);
    EXPECT_LT(GetTickCount() - start, 2000u);
}

TEST(DecimalFields, ReadModuloTwoToThe32) {
    EXPECT_EQ(DecimalFieldValue("4294967295"), 0xFFFFFFFFu);
    EXPECT_EQ(DecimalFieldValue("-1"), 0xFFFFFFFFu);
    EXPECT_EQ(DecimalFieldValue(" \t+65536x"), 65536u);
    EXPECT_EQ(DecimalFieldValue("4294967296"), 0u);
    EXPECT_EQ(DecimalFieldValue(""), 0u);
}

TEST_F(Installation, TheStampIsReadWithTheMarkerInAnyCase) {
    std::string program = e2e::GameProgram("1.2.0.2");
    program.replace(78, 15, "WINDOWS ONLY.\r\n");
    e2e::WriteFile(Path("ts2.exe"), program);
    QLC_String version;
    EXPECT_TRUE(ReadVersionStamp(Path("ts2.exe").c_str(), version));
    EXPECT_STREQ(version.c_str(), "1.2.0.2");
    e2e::WriteFile(Path("short.exe"), program.substr(0, 90));
    EXPECT_FALSE(ReadVersionStamp(Path("short.exe").c_str(), version));
}

TEST_F(Installation, TheStampWinsOverTheChecksumLines) {
    Install("1.1.5");
    ClearChecksums();
    // A checksum line that the file matches, but for another version.
    AddChecksum("ts2.exe", e2e::GameProgram("1.1.5", "code"), "0.9.0");
    ASSERT_TRUE(DetectInstalledVersion(description));
    EXPECT_STREQ(description.installedVersion.c_str(), "1.1.5");
}

TEST_F(Installation, WithoutAStampTheFirstMatchingChecksumLineWins) {
    e2e::WriteFile(Path("ts2.exe"), "MZ plain program");
    AddChecksum("ts2.exe", "something else", "1.0.0");
    AddChecksum("ts2.exe", "MZ plain program", "1.1.0");
    AddChecksum("ts2.exe", "MZ plain program", "1.1.1");
    ASSERT_TRUE(DetectInstalledVersion(description));
    EXPECT_STREQ(description.installedVersion.c_str(), "1.1.0");
}

TEST_F(Installation, NoStampAndNoMatchingLineMeansUnknown) {
    e2e::WriteFile(Path("ts2.exe"), "MZ plain program");
    AddChecksum("ts2.exe", "something else", "1.0.0");
    EXPECT_FALSE(DetectInstalledVersion(description));
    EXPECT_EQ(CheckInstallation(description), InstallCheckResult::StopFailed);
    EXPECT_EQ(view.statuses, Strings{"Failed"});
    EXPECT_EQ(view.lines,
              (Strings{"Checking for a \"Tessaly\" installation in " + folder.Path() + ".", "",
                       "Unable to determine installed version. ", "",
                       "The version you have installed may be newer than the version this patch "
                       "was designed to upgrade, or it may be modified or corrupt. ",
                       "",
                       "Check www.corvane.example for a more recent patch that matches your "
                       "installed version, which is identified on the initial splash screen, or "
                       "re-install from your Tessaly CD and patch from there. ",
                       "", "Update did not complete successfully."}));
}

TEST_F(Installation, VerificationMatchesVersionsIgnoringCaseButTheFromVersionExactly) {
    e2e::WriteFile(Path("ts2.exe"), e2e::GameProgram("1.1.5-beta", "code"));
    // A line written in capitals still selects the file to verify; this one does not match.
    AddChecksum("ts2.exe", "other contents", "1.1.5-BETA");
    EXPECT_EQ(CheckInstallation(description), InstallCheckResult::StopFailed);

    // With the line right, the check goes on, and "1.1.5-beta" is not the from-version
    // "1.1.5-BETA": another version.
    ClearChecksums();
    description.fromVersion = "1.1.5-BETA";
    view.statuses.clear();
    EXPECT_EQ(CheckInstallation(description), InstallCheckResult::StopNoChange);
    EXPECT_EQ(view.statuses, Strings{"Failed"});
}

// The verdicts that stop the update, with the status word and the last lines (the end-to-end
// tests check the whole run).
TEST_F(Installation, EachVerdictThatStopsTheUpdate) {
    const struct Case {
        const char* installed;
        const char* toVersion;
        const char* damage;  // "missing" or "modified" (the key files); empty: none
        InstallCheckResult result;
        const char* status;
        std::string reason;
    } cases[] = {
        {"1.1.5", "1.2.3", "missing", InstallCheckResult::StopFailed, "Failed",
         "File \"" + Path("data\\levels.dat") + "\" was not found, it is required for this patch."},
        {"1.1.5", "1.2.3", "modified", InstallCheckResult::StopFailed, "Failed",
         "File \"" + Path("ts2.exe") + "\" is not the expected version for this patch."},
        {"1.3.0", "1.2.3", "", InstallCheckResult::StopNoChange, "Done",
         "\"Tessaly\" is already more recent than version 1.2.3."},
        // Versions compare as text, so 1.10 sorts before 1.9.
        {"1.10.0", "1.9.0", "", InstallCheckResult::StopNoChange, "Failed",
         "Your installed version of Tessaly does not match the version this update is designed "
         "to patch from."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        e2e::RemoveTree(folder.Path());
        ClearChecksums();
        description.toVersion = c.toVersion;
        description.processFinished = false;
        Install(c.installed);
        if (std::string(c.damage) == "missing") {
            DeleteFileA(Path("data\\levels.dat").c_str());
        } else if (std::string(c.damage) == "modified") {
            e2e::WriteFile(Path("ts2.exe"), e2e::GameProgram("1.1.5", "patched by a modder"));
        }
        RecordingView check;
        description.SetView(&check);
        EXPECT_EQ(CheckInstallation(description), c.result);
        EXPECT_EQ(check.statuses, Strings{c.status});
        ASSERT_GE(check.lines.size(), 3u);
        EXPECT_EQ(Strings(check.lines.end() - 3, check.lines.end()),
                  (Strings{c.reason, "", "No update will be performed."}));
        if (c.result == InstallCheckResult::StopFailed) {
            EXPECT_TRUE(description.processFinished);
        }
    }
}

TEST_F(Installation, AlreadyUpToDateLeavesNothingToPatch) {
    Install("1.2.3");
    description.patchFileCount = 5;
    EXPECT_EQ(CheckInstallation(description), InstallCheckResult::StopNoChange);
    EXPECT_EQ(view.statuses, Strings{"Done"});
    EXPECT_EQ(description.patchFileCount, 0);
    EXPECT_FALSE(description.processFinished);
}

TEST_F(Installation, SkipVersionCheckPassesAnotherVersionButStillVerifiesItsFiles) {
    Install("1.0.0");
    description.skipVersionCheck = true;
    EXPECT_EQ(CheckInstallation(description), InstallCheckResult::Pass);
    e2e::WriteFile(Path("data\\levels.dat"), "changed");
    EXPECT_EQ(CheckInstallation(description), InstallCheckResult::StopFailed);
    EXPECT_EQ(view.statuses.back(), "Failed");
    EXPECT_TRUE(description.processFinished);  // a refused file ends the process
}

// The search for the installation: the current directory, then the registry.
class InstallSearch : public Installation {
protected:
    void SetUp() override {
        Installation::SetUp();
        description.installFolder = "";
        char current[MAX_PATH] = {};
        GetCurrentDirectoryA(MAX_PATH, current);
        previous = current;
    }
    void TearDown() override {
        SetCurrentDirectoryA(previous.c_str());
        for (const char* key : {kFirstKey, kSecondKey}) {
            RegDeleteKeyA(HKEY_LOCAL_MACHINE, key);
        }
    }
    void Register(const char* key, const std::string& folderPath) {
        ASSERT_EQ(RegSetKeyValueA(HKEY_LOCAL_MACHINE, key, "Install Path", REG_SZ,
                                  folderPath.c_str(), static_cast<DWORD>(folderPath.size() + 1)),
                  ERROR_SUCCESS);
        description.registryKeys.Append(key);
    }
    static constexpr const char* kFirstKey = "Software\\Corvane\\SearchTestA";
    static constexpr const char* kSecondKey = "Software\\Corvane\\SearchTestB";
    std::string previous;
};

TEST_F(InstallSearch, OfTwoRegisteredInstallationsTheSecondWins) {
    e2e::WriteFile(folder / "First\\Game\\ts2.exe", "MZ");
    e2e::WriteFile(folder / "Second\\Game\\ts2.exe", "MZ");
    Register(kFirstKey, folder / "first\\game\\");
    Register(kSecondKey, folder / "SECOND\\GAME");
    FindInstallFolder(description);
    EXPECT_EQ(std::string(description.installFolder.c_str()), folder / "Second\\Game");
}

TEST_F(InstallSearch, TheCurrentDirectoryWinsOverTheRegistry) {
    e2e::WriteFile(folder / "Here\\ts2.exe", "MZ");
    e2e::WriteFile(folder / "There\\ts2.exe", "MZ");
    Register(kFirstKey, folder / "There");
    SetCurrentDirectoryA((folder / "Here").c_str());
    FindInstallFolder(description);
    std::string expected = folder / "Here";
    std::replace(expected.begin(), expected.end(), '\\', '/');
    EXPECT_EQ(std::string(description.installFolder.c_str()), expected);
}

TEST_F(InstallSearch, NothingFoundLeavesTheFolderEmpty) {
    Register(kFirstKey, folder / "Nowhere");
    FindInstallFolder(description);
    EXPECT_TRUE(description.installFolder.IsEmpty());
}

TEST_F(InstallSearch, TrueCasePathSpellsComponentsAsStored) {
    e2e::WriteFile(folder / "MixedCase\\SubFolder\\Ts2.Exe", "MZ");
    QLC_String result;
    ASSERT_TRUE(TrueCasePath((folder / "mixedcase\\SUBFOLDER\\ts2.exe").c_str(), result));
    // Components above the scratch folder are spelled as stored too; compare the tail.
    std::string text = result.c_str();
    EXPECT_EQ(text.substr(text.size() - 27), "MixedCase\\SubFolder\\Ts2.Exe");
    EXPECT_EQ(_stricmp(text.c_str(), (folder / "MixedCase\\SubFolder\\Ts2.Exe").c_str()), 0);
    EXPECT_FALSE(TrueCasePath((folder / "missing").c_str(), result));
}
