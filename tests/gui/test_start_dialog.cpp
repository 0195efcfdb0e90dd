// The introduction texts and the start dialog, in-process: the dialog runs modally on the test's
// thread while a second thread reads and presses it as a user would.

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>

#include "GameFixture.h"
#include "RegisteredLanguage.h"
#include "UiDriver.h"
#include "patchinfo/PatchDescription.h"
#include "resources/ResourceIds.h"
#include "shell/StartDialog.h"

namespace {

const int kTimeoutMs = 20000;

bool German() {
    return PRIMARYLANGID(GetUserDefaultLangID()) == LANG_GERMAN;
}

std::string Intro(PatchDescription& description, int mode) {
    return description.IntroText(mode).c_str();
}

void AddHistory(PatchDescription& description, std::initializer_list<const char*> versions) {
    description.isMultiVersion = true;
    for (const char* version : versions) {
        description.historyFromVersions.Append(version);
    }
}

// The dialog titled `title` once it shows (visible, if asked), or null after the time-out.
HWND WaitForDialog(const char* title, bool visible) {
    HWND found = nullptr;
    ui::WaitUntil(
        [&] {
            return (found = FindWindowA("#32770", title)) && (!visible || IsWindowVisible(found));
        },
        kTimeoutMs);
    return found;
}

// Runs the start dialog; `user` acts on it from another thread. Returns the dialog's result.
INT_PTR RunDialog(const std::function<void(HWND)>& user) {
    StartDialog dialog;
    std::thread person([&] {
        HWND window = WaitForDialog("Tessaly Update Utility", true);
        if (window) {
            user(window);
        }
    });
    INT_PTR result =
        DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_START), nullptr,
                        Win::DialogProcedure, reinterpret_cast<LPARAM>(&dialog));
    person.join();
    return result;
}

bool OkShown(HWND dialog) {
    return ui::IsVisible(GetDlgItem(dialog, IDOK));
}

}  // namespace

TEST(IntroText, SingleVersionWithAndWithoutAFolder) {
    ASSERT_TRUE(InRegisteredLanguage());
    PatchDescription description;
    description.fromVersion = "1.1.5";
    description.toVersion = "1.2.3";
    // The English text is checked on the utility's own start dialog.
    if (German()) {
        EXPECT_EQ(Intro(description, 2),
                  "Dieses Programm versucht, Ihre Tessaly-Installation von Version 1.1.5 auf "
                  "Version 1.2.3 zu aktualisieren.\n\nWenden Sie sich bei Problemen mit der "
                  "Aktualisierung an den technischen Support: support@corvane.example.");
    }
    description.installFolder = "C:\\Games\\Tessaly";
    // With a folder every mode gives the same text.
    EXPECT_EQ(Intro(description, 0), Intro(description, 1));
    EXPECT_NE(Intro(description, 0).find("\nC:\\Games\\Tessaly\n"), std::string::npos);
    // The folder found as the current directory is kept with "/"; the player sees backslashes.
    description.installFolder = "Z:/tmp/Tessaly";
    EXPECT_NE(Intro(description, 0).find("\nZ:\\tmp\\Tessaly\n"), std::string::npos);
}

TEST(IntroText, ListsOfFromVersions) {
    ASSERT_TRUE(InRegisteredLanguage());
    struct Case {
        std::initializer_list<const char*> versions;
        const char* english;
        const char* german;
    } cases[] = {
        {{},
         "This program will update from versions  to version 2.0.",
         "Dieses Programm aktualisiert von Versionen  auf Version 2.0."},
        {{"1.0"},
         "This program will update from version 1.0 to version 2.0.",
         "Dieses Programm aktualisiert von Version 1.0 auf Version 2.0."},
        {{"1.0", "1.1"},
         "This program will update from versions 1.0 or 1.1 to version 2.0.",
         "Dieses Programm aktualisiert von Versionen 1.0 oder 1.1 auf Version 2.0."},
        {{"1.0", "1.1", "1.2"},
         "This program will update from versions 1.0, 1.1, or 1.2 to version 2.0.",
         "Dieses Programm aktualisiert von Versionen 1.0, 1.1 oder 1.2 auf Version 2.0."},
    };
    for (const Case& c : cases) {
        PatchDescription description;
        description.toVersion = "2.0";
        AddHistory(description, c.versions);
        EXPECT_EQ(Intro(description, 1), German() ? c.german : c.english);
    }
}

TEST(IntroText, ListModesNameTheProductAndTheFolder) {
    ASSERT_TRUE(InRegisteredLanguage());
    PatchDescription description;
    description.toVersion = "1.2.3";
    AddHistory(description, {"1.1.5", "1.1.6"});
    description.installFolder = "D:";
    if (!German()) {
        EXPECT_EQ(Intro(description, 2),
                  "This program will update Tessaly from versions 1.1.5 or 1.1.6 to version "
                  "1.2.3.");
        EXPECT_EQ(Intro(description, 0),
                  "This program will try to update your Tessaly installation found in\nD:\nfrom "
                  "versions 1.1.5 or 1.1.6 to version 1.2.3.\n\nIf you have any difficulty "
                  "updating, contact Technical Support at support@corvane.example.");
    }
}

class StartDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        char current[MAX_PATH] = {};
        GetCurrentDirectoryA(MAX_PATH, current);
        previous = current;
        description.versionFileName = "ts2.exe";
        description.fromVersion = "1.1.5";
        description.toVersion = "1.2.3";
    }
    void TearDown() override { SetCurrentDirectoryA(previous.c_str()); }

    e2e::ScratchFolder folder;
    PatchDescription description;
    std::string previous;
};

TEST_F(StartDialogTest, WithoutAVersionsLineItSaysSoAndOffersNoOk) {
    std::string text;
    bool ok = true;
    INT_PTR result = RunDialog([&](HWND dialog) {
        text = ui::Text(GetDlgItem(dialog, 1002));
        ok = OkShown(dialog);
        ui::ClickId(dialog, IDCANCEL);
    });
    EXPECT_EQ(result, 0);
    if (!German()) {
        EXPECT_EQ(text, "Update utility could not determine version number to patch to.");
    }
    EXPECT_FALSE(ok);
}

TEST_F(StartDialogTest, SpecifyFolderTakesTheChosenFilesFolder) {
    description.hasVersionsLine = true;
    e2e::WriteFile(folder / "Games\\Tessaly\\ts2.exe", "MZ");
    // The dialog before the choice is the utility's own start dialog's (test_shell_gui).
    std::string after;
    bool okAfter = false;
    INT_PTR result = RunDialog([&](HWND dialog) {
        ui::ClickId(dialog, 1001);
        // The common file box, found by its title: type the file's full path and confirm.
        HWND box = WaitForDialog("Navigate to and select ts2.exe", false);
        if (!box) {
            ui::ClickId(dialog, IDCANCEL);
            return;
        }
        std::string path = folder / "Games\\Tessaly\\ts2.exe";
        HWND name = GetDlgItem(box, 1148);  // the file name box
        if (!name) {
            name = GetDlgItem(box, 1152);  // the same in the older style of box
        }
        SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
        ui::ClickId(box, IDOK);
        okAfter = ui::WaitUntil([&] { return OkShown(dialog); }, kTimeoutMs);
        after = ui::Text(GetDlgItem(dialog, 1002));
        ui::ClickId(dialog, IDCANCEL);
    });
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(okAfter);
    EXPECT_EQ(std::string(description.installFolder.c_str()), folder / "Games\\Tessaly");
    EXPECT_EQ(after, Intro(description, 0));
    // The working folder is the one the utility started in.
    char current[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, current);
    EXPECT_EQ(std::string(current), previous);
}
