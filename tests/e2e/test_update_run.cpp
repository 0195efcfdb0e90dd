// The whole update run on real installations with real patches attached to the utility: the log
// pane's lines, the buttons, the exit status and the installation afterwards.

#include <windows.h>

#include <gtest/gtest.h>

#include "GameFixture.h"
#include "RegisteredLanguage.h"
#include "UpdatePrograms.h"
#include "UpdateSession.h"

using e2e::Installation;
using e2e::Join;
using e2e::Lines;
using e2e::OpeningLines;
using e2e::Programs;
using e2e::UpdateSession;

namespace {

const char* const kNoUpdate = "No update will be performed.";

Lines PatchedLines(const std::string& from, const std::string& to = "1.2.3") {
    return {"Beginning patch process. This may take several minutes...",
            "",
            "There are 3 files to be patched in this update.",
            "",
            "Patching data\\levels.dat from " + from + " to " + to + ", file #1 of 3.",
            "data\\levels.dat patched successfully.",
            "",
            "Patching readme.txt from " + from + " to " + to + ", file #2 of 3.",
            "readme.txt patched successfully.",
            "",
            "Patching ts2.exe from " + from + " to " + to + ", file #3 of 3.",
            "ts2.exe patched successfully.",
            "",
            "Finishing update.",
            "",
            "Update completed successfully!",
            "",
            "\"Tessaly\" version " + to + " is ready to run on your system."};
}

}  // namespace

TEST_F(Installation, ASuccessfulUpdateReportsEveryFileAndLeavesTheNewBuild) {
    Install("1.1.5");
    UpdateSession run(Programs::Single(), folder.Path());
    ASSERT_TRUE(run.AnswerChangeList(IDNO));
    ASSERT_TRUE(run.WaitFinished());
    EXPECT_EQ(run.PaneLines(), Join(OpeningLines(folder.Path(), "1.1.5"), PatchedLines("1.1.5")));
    EXPECT_EQ(run.BarPosition(0), 100);
    EXPECT_EQ(run.BarPosition(1), 100);
    EXPECT_FALSE(run.ButtonVisible(15));
    EXPECT_FALSE(run.ButtonVisible(17));
    EXPECT_EQ(run.CloseWithOk(), 0);
    EXPECT_EQ(Installed(), e2e::GameBuild("1.2.3"));
}

// Installed from a disc, the programs are often read-only. Nobody holds them: the update goes on
// (scripts/as-player runs this as an ordinary user, for whom the read-only flag is real).
TEST_F(Installation, AReadOnlyProgramThatNobodyHoldsIsUpdated) {
    Install("1.1.5");
    ASSERT_TRUE(SetFileAttributesA(Path("ts2.exe").c_str(), FILE_ATTRIBUTE_READONLY));
    UpdateSession run(Programs::Single(), folder.Path());
    ASSERT_TRUE(run.AnswerChangeList(IDNO));
    ASSERT_TRUE(run.WaitFinished());
    EXPECT_EQ(run.PaneLines(), Join(OpeningLines(folder.Path(), "1.1.5"), PatchedLines("1.1.5")));
    EXPECT_EQ(run.CloseWithOk(), 0);
    SetFileAttributesA(Path("ts2.exe").c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(Installed(), e2e::GameBuild("1.2.3"));
}

// Installations the update must not touch: the lines say why, and the report is offered only
// where the installation looks damaged.
TEST_F(Installation, AnInstallationItCannotUpdateIsLeftAsItWas) {
    const std::string levels = "\\data\\levels.dat\" ";
    const struct Case {
        const char* installed;
        const char* levelsContents;  // null: as in the build; empty: removed
        Lines tail;                  // after the opening lines
        bool reportOffered;
    } cases[] = {
        {"1.2.3",
         nullptr,
         {"\"Tessaly\" is already up to date with version 1.2.3.", "", kNoUpdate, ""},
         false},
        {"1.3.0",
         nullptr,
         {"\"Tessaly\" is already more recent than version 1.2.3.", "", kNoUpdate},
         false},
        {"1.0.9",
         nullptr,
         {"Your installed version of Tessaly does not match the version this update is "
          "designed to patch from.",
          "", kNoUpdate},
         false},
        {"1.1.5",
         "",
         {"File \"" + folder.Path() + levels + "was not found, it is required for this patch.", "",
          kNoUpdate},
         true},
        {"1.1.5",
         "changed by the player",
         {"File \"" + folder.Path() + levels + "is not the expected version for this patch.", "",
          kNoUpdate},
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tail[0]);
        InstallAfresh(c.installed);
        if (c.levelsContents && *c.levelsContents) {
            e2e::WriteFile(Path("data\\levels.dat"), c.levelsContents);
        } else if (c.levelsContents) {
            DeleteFileA(Path("data\\levels.dat").c_str());
        }
        const e2e::Tree before = Installed();
        UpdateSession run(Programs::Single(), folder.Path());
        ASSERT_TRUE(run.WaitFinished());
        EXPECT_EQ(run.PaneLines(), Join(OpeningLines(folder.Path(), c.installed), c.tail));
        EXPECT_EQ(run.ButtonVisible(17), c.reportOffered);
        EXPECT_EQ(run.CloseWithOk(), 0);
        EXPECT_EQ(Installed(), before);
    }
}

TEST_F(Installation, APatchWithNothingToChangeSucceedsWithoutApplying) {
    Install("1.1.5");
    UpdateSession run(Programs::NoFiles(), folder.Path());
    ASSERT_TRUE(run.WaitFinished());
    EXPECT_EQ(run.PaneLines(),
              Join(OpeningLines(folder.Path(), "1.1.5"),
                   Lines{"Beginning patch process. This may take several minutes...", "",
                         "Update completed successfully, no files needed to be patched."}));
    EXPECT_EQ(run.BarPosition(0), 100);
    EXPECT_EQ(run.BarPosition(1), 100);
    EXPECT_FALSE(run.ButtonVisible(17));
    EXPECT_EQ(run.CloseWithOk(), 0);
    EXPECT_EQ(Installed(), e2e::GameBuild("1.1.5"));
}

namespace {

// Makes the shell open .txt files with the recorder for the lifetime of the object.
class TextFilesOpenWithRecorder {
public:
    TextFilesOpenWithRecorder() {
        char old[MAX_PATH] = {};
        LONG size = sizeof old;
        m_hadOld = RegQueryValueA(HKEY_CLASSES_ROOT, ".txt", old, &size) == ERROR_SUCCESS;
        m_old = old;
        std::string command = "\"" + ui::HostToWindowsPath(TESSALY_OPEN_RECORDER_EXE) + "\" \"%1\"";
        RegSetValueA(HKEY_CLASSES_ROOT, "TessalyTest.Recorder\\shell\\open\\command", REG_SZ,
                     command.c_str(), static_cast<DWORD>(command.size()));
        RegSetValueA(HKEY_CLASSES_ROOT, ".txt", REG_SZ, "TessalyTest.Recorder", 20);
    }
    ~TextFilesOpenWithRecorder() {
        if (m_hadOld) {
            RegSetValueA(HKEY_CLASSES_ROOT, ".txt", REG_SZ, m_old.c_str(),
                         static_cast<DWORD>(m_old.size()));
        }
        RegDeleteKeyA(HKEY_CLASSES_ROOT, "TessalyTest.Recorder\\shell\\open\\command");
        RegDeleteKeyA(HKEY_CLASSES_ROOT, "TessalyTest.Recorder\\shell\\open");
        RegDeleteKeyA(HKEY_CLASSES_ROOT, "TessalyTest.Recorder\\shell");
        RegDeleteKeyA(HKEY_CLASSES_ROOT, "TessalyTest.Recorder");
    }

private:
    bool m_hadOld = false;
    std::string m_old;
};

// The last quoted argument of a command line.
std::string LastArgument(const std::string& commandLine) {
    size_t open = commandLine.rfind('"', commandLine.size() >= 2 ? commandLine.size() - 2 : 0);
    return open == std::string::npos ? commandLine : commandLine.substr(open);
}

// What the recorder was given, once it has written it.
std::string WaitForRecord(const std::string& path) {
    ui::WaitUntil([&] { return !e2e::ReadFile(path).empty(); }, 20000);
    return e2e::ReadFile(path);
}

}  // namespace

// The change-list offer answered with yes: the shell must be handed `file` of the installation
// (with its separators made native) and the run must end at the new build, `file` kept.
class ChangeList : public Installation {
protected:
    Lines UpdateAndOpen(const std::string& file, const std::string& contents,
                        const std::string& title, const std::string& caption) {
        Install("1.1.5");
        e2e::WriteFile(Path(file), contents);
        e2e::ScratchFolder records;
        TextFilesOpenWithRecorder association;
        UpdateSession run(Programs::Single(), folder.Path(), "",
                          {{"TESSALY_OPEN_RECORD", records / "opened.txt"}}, title);
        if (!run.AnswerChangeList(IDYES, caption) || !run.WaitFinished()) {
            ADD_FAILURE() << "no change-list offer or no end of the run";
            return {};
        }
        const Lines lines = run.PaneLines();
        EXPECT_EQ(LastArgument(WaitForRecord(records / "opened.txt")), "\"" + Path(file) + "\"");
        EXPECT_EQ(run.CloseWithOk(), 0);
        e2e::Tree expected = e2e::GameBuild("1.2.3");
        expected[file] = contents;
        EXPECT_EQ(Installed(), expected);
        return lines;
    }
};

TEST_F(ChangeList, YesToTheChangeListOffer) {
    UpdateAndOpen("version.txt", "Changes in 1.2.3", "Tessaly Update Utility", "View updates");
}

// Runs only with German as the user's language, in a CTest run of its own.
TEST_F(ChangeList, German_TheChangeListIsTheGermanOne) {
    ASSERT_TRUE(InRegisteredLanguage());
    const Lines lines = UpdateAndOpen("version_de.txt", "\xC4nderungen in 1.2.3",
                                      "Tessaly Aktualisierungsprogramm", "\xC4nderungen anzeigen");
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(Lines(lines.end() - 3, lines.end()),
              (Lines{"Aktualisierung erfolgreich abgeschlossen!", "",
                     "\"Tessaly\" Version 1.2.3 kann jetzt auf Ihrem System gestartet werden."}));
}

TEST_F(Installation, AMultiVersionPatchUpdatesEachOfItsVersions) {
    for (const std::string from : {"1.1.5", "1.1.6"}) {
        SCOPED_TRACE(from);
        InstallAfresh(from);
        UpdateSession run(Programs::Multi(), folder.Path());
        ASSERT_TRUE(run.AnswerChangeList(IDNO));
        ASSERT_TRUE(run.WaitFinished());
        Lines expected = Join(OpeningLines(folder.Path(), from), PatchedLines(from));
        expected[3] = "This program will update from versions 1.1.5 or 1.1.6 to version 1.2.3.";
        EXPECT_EQ(run.PaneLines(), expected);
        EXPECT_EQ(run.CloseWithOk(), 0);
        EXPECT_EQ(Installed(), e2e::GameBuild("1.2.3"));
    }
}

TEST_F(Installation, BackupKeepsTheReplacedOriginals) {
    Install("1.1.5");
    UpdateSession run(Programs::Single(), folder.Path(), "Backup");
    ASSERT_TRUE(run.AnswerChangeList(IDNO));
    ASSERT_TRUE(run.WaitFinished());
    EXPECT_EQ(run.PaneLines(), Join(OpeningLines(folder.Path(), "1.1.5"), PatchedLines("1.1.5")));
    EXPECT_EQ(run.CloseWithOk(), 0);
    e2e::Tree expected = e2e::GameBuild("1.2.3");
    e2e::Tree old = e2e::GameBuild("1.1.5");
    for (const char* replaced : {"ts2.exe", "readme.txt", "data/levels.dat"}) {
        expected[std::string("Update_1.1.5_Backup/") + replaced] = old[replaced];
    }
    EXPECT_EQ(Installed(), expected);
}
