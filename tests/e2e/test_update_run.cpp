// The whole update run on real installations with real patches attached to the utility: the log
// pane's lines, the buttons, the exit status and the installation afterwards.

#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>

#include "GameFixture.h"
#include "RegisteredLanguage.h"
#include "UpdatePrograms.h"
#include "UpdateSession.h"

using namespace e2e;

namespace {

const char* const kNoUpdate = "No update will be performed.";

Lines PatchedLines(const std::string& from) {
    Lines lines = {kBeginning, "", "There are 3 files to be patched in this update.", ""};
    int number = 0;
    for (const std::string file : {"data\\levels.dat", "readme.txt", "ts2.exe"}) {
        lines.push_back("Patching " + file + " from " + from + " to 1.2.3, file #" +
                        std::to_string(++number) + " of 3.");
        lines.push_back(file + " patched successfully.");
        lines.push_back("");
    }
    return Join(lines, {"Finishing update.", "", "Update completed successfully!", "",
                        "\"Tessaly\" version 1.2.3 is ready to run on your system."});
}

// Makes the shell open .txt files with the recorder for the lifetime of the object.
class TextFilesOpenWithRecorder {
public:
    TextFilesOpenWithRecorder() {
        char old[MAX_PATH] = {};
        LONG size = sizeof old;
        if (RegQueryValueA(HKEY_CLASSES_ROOT, ".txt", old, &size) == ERROR_SUCCESS) {
            m_old = old;
        }
        std::string command = "\"" + ui::HostToWindowsPath(TESSALY_OPEN_RECORDER_EXE) + "\" \"%1\"";
        RegSetValueA(HKEY_CLASSES_ROOT, "TessalyTest.Recorder\\shell\\open\\command", REG_SZ,
                     command.c_str(), static_cast<DWORD>(command.size()));
        RegSetValueA(HKEY_CLASSES_ROOT, ".txt", REG_SZ, "TessalyTest.Recorder", 20);
    }
    ~TextFilesOpenWithRecorder() {
        if (m_old) {
            RegSetValueA(HKEY_CLASSES_ROOT, ".txt", REG_SZ, m_old->c_str(),
                         static_cast<DWORD>(m_old->size()));
        }
        RegDeleteTreeA(HKEY_CLASSES_ROOT, "TessalyTest.Recorder");
    }

private:
    std::optional<std::string> m_old;
};

}  // namespace

// Updates that succeed: every file reported, both bars full, neither Cancel nor Error Report
// shown, exit status 0 and the new build installed.
TEST_F(Installation, ASuccessfulUpdateReportsEveryFileAndLeavesTheNewBuild) {
    const Tree newBuild = GameBuild("1.2.3");
    Tree backedUp = newBuild;
    for (const char* replaced : {"ts2.exe", "readme.txt", "data/levels.dat"}) {
        backedUp[std::string("Update_1.1.5_Backup/") + replaced] = GameBuild("1.1.5")[replaced];
    }
    const struct Case {
        const char* what;
        const std::string& program;
        const char* from;
        const char* arguments;
        bool readOnlyProgram;
        const Tree& after;
    } cases[] = {
        {"one version", Programs::Single(), "1.1.5", "", false, newBuild},
        // Installed from a disc, the programs are often read-only. Nobody holds them: the update
        // goes on (scripts/as-player runs this as an ordinary user, for whom the flag is real).
        {"read-only program", Programs::Single(), "1.1.5", "", true, newBuild},
        {"Backup keeps the replaced originals", Programs::Single(), "1.1.5", "Backup", false,
         backedUp},
        {"multi-version patch", Programs::Multi(), "1.1.5", "", false, newBuild},
        {"multi-version patch", Programs::Multi(), "1.1.6", "", false, newBuild},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.what) + " from " + c.from);
        InstallAfresh(c.from);
        if (c.readOnlyProgram) {
            ASSERT_TRUE(SetFileAttributesA(Path("ts2.exe").c_str(), FILE_ATTRIBUTE_READONLY));
        }
        UpdateSession run(c.program, folder.Path(), c.arguments);
        ASSERT_TRUE(run.AnswerChangeList(IDNO));
        ASSERT_TRUE(run.WaitFinished());
        Lines expected = Join(OpeningLines(folder.Path(), c.from), PatchedLines(c.from));
        if (&c.program == &Programs::Multi()) {
            expected[3] = "This program will update from versions 1.1.5 or 1.1.6 to version 1.2.3.";
        }
        EXPECT_EQ(run.PaneLines(), expected);
        EXPECT_EQ(run.BarPosition(0), 100);
        EXPECT_EQ(run.BarPosition(1), 100);
        EXPECT_FALSE(run.ButtonVisible(15));
        EXPECT_FALSE(run.ButtonVisible(17));
        EXPECT_EQ(run.CloseWithOk(), 0);
        EXPECT_EQ(Installed(), c.after);
    }
}

// Installations the update must not touch: the lines say why, and the report is offered only
// where the installation looks damaged. (The install check's own tests go through every verdict.)
TEST_F(Installation, AnInstallationItCannotUpdateIsLeftAsItWas) {
    const struct Case {
        const char* installed;
        bool damaged;  // data\levels.dat removed
        Lines tail;    // after the opening lines
    } cases[] = {
        {"1.2.3",
         false,
         {"\"Tessaly\" is already up to date with version 1.2.3.", "", kNoUpdate, ""}},
        {"1.1.5",
         true,
         {"File \"" + Path("data\\levels.dat") + "\" was not found, it is required for this patch.",
          "", kNoUpdate}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tail[0]);
        InstallAfresh(c.installed);
        if (c.damaged) {
            DeleteFileA(Path("data\\levels.dat").c_str());
        }
        const Tree before = Installed();
        UpdateSession run(Programs::Single(), folder.Path());
        ASSERT_TRUE(run.WaitFinished());
        EXPECT_EQ(run.PaneLines(), Join(OpeningLines(folder.Path(), c.installed), c.tail));
        EXPECT_EQ(run.ButtonVisible(17), c.damaged);
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
                   Lines{kBeginning, "",
                         "Update completed successfully, no files needed to be patched."}));
    EXPECT_EQ(run.BarPosition(0), 100);
    EXPECT_EQ(run.BarPosition(1), 100);
    EXPECT_EQ(run.CloseWithOk(), 0);
    EXPECT_EQ(Installed(), GameBuild("1.1.5"));
}

// The change-list offer answered with yes: the shell must be handed `file` of the installation
// (with its separators made native) and the run must end at the new build, `file` kept.
class ChangeList : public Installation {
protected:
    Lines UpdateAndOpen(const std::string& file, const std::string& contents,
                        const std::string& title, const std::string& caption) {
        Install("1.1.5");
        e2e::WriteFile(Path(file), contents);
        ScratchFolder records;
        TextFilesOpenWithRecorder association;
        UpdateSession run(Programs::Single(), folder.Path(), "",
                          {{"TESSALY_OPEN_RECORD", records / "opened.txt"}}, title);
        EXPECT_TRUE(run.AnswerChangeList(IDYES, caption) && run.WaitFinished());
        const Lines lines = run.PaneLines();
        // The recorder writes the command line it was given: the file is its last argument.
        ui::WaitUntil([&] { return !e2e::ReadFile(records / "opened.txt").empty(); }, 20000);
        EXPECT_THAT(e2e::ReadFile(records / "opened.txt"),
                    ::testing::EndsWith(" \"" + Path(file) + "\""));
        EXPECT_EQ(run.CloseWithOk(), 0);
        Tree expected = GameBuild("1.2.3");
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
    EXPECT_EQ(Tail(lines, 3),
              (Lines{"Aktualisierung erfolgreich abgeschlossen!", "",
                     "\"Tessaly\" Version 1.2.3 kann jetzt auf Ihrem System gestartet werden."}));
}
