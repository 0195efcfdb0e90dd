// The utility's window and start-up, driven from outside as a player would.

#include <gtest/gtest.h>

#include "GameFixture.h"
#include "UiDriver.h"
#include "UpdatePrograms.h"

namespace {

const int kTimeoutMs = 20000;
const char* const kEnglishTitle = "Tessaly Update Utility";

std::unique_ptr<ui::App> StartUtility(const std::string& program) {
    ui::LaunchOptions options;
    options.program = program;
    return ui::App::Launch(options);
}

HWND WaitForStartDialog(const ui::App& app, const std::string& title = kEnglishTitle) {
    return app.WaitForWindow({title, "#32770", true}, kTimeoutMs);
}

HWND HiddenMainWindow(const ui::App& app) {
    return app.WaitForWindow({"", "PatcherClass", false}, kTimeoutMs);
}

}  // namespace

TEST(StartUp, WithoutAPatchTheEnginesWarningShowsAndTheRunEndsWithStatusOne) {
    e2e::OwnTemporaryFolder temp;
    auto app = StartUtility(e2e::UtilityProgram());
    auto box = app->WaitForMessageBox("Warning", kTimeoutMs);
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(box->text, "Internal Update error, patch is possibly corrupt.");
    ui::ClickId(box->handle, IDOK);
    EXPECT_EQ(app->WaitForExit(kTimeoutMs), std::optional<DWORD>(1));
    EXPECT_EQ(e2e::CountEngineCopies(), 0);
}

TEST(StartUp, WithAPatchTheDialogTellsWhatWillBeUpdated) {
    auto app = StartUtility(e2e::Programs::Single());
    HWND dialog = WaitForStartDialog(*app);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(ui::Text(ui::FindControl(dialog, 1002)),
              "This program will try to update your Tessaly installation from version 1.1.5 to "
              "version 1.2.3.\n\nIf you have any difficulty updating, contact Technical Support "
              "at support@corvane.example.");
    EXPECT_FALSE(ui::IsVisible(ui::FindControl(dialog, IDOK)));
    EXPECT_TRUE(ui::IsVisible(ui::FindControl(dialog, IDCANCEL)));
    EXPECT_TRUE(ui::IsVisible(ui::FindControl(dialog, 1001)));
    HWND window = HiddenMainWindow(*app);
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(ui::IsVisible(window));
    ui::ClickId(dialog, IDCANCEL);
    EXPECT_EQ(app->WaitForExit(kTimeoutMs), std::optional<DWORD>(0));
}

TEST(StartUp, TheDialogsCloseBoxEndsTheRunLikeCancel) {
    auto app = StartUtility(e2e::Programs::Single());
    HWND dialog = WaitForStartDialog(*app);
    ASSERT_NE(dialog, nullptr);
    ui::Close(dialog);
    EXPECT_EQ(app->WaitForExit(kTimeoutMs), std::optional<DWORD>(0));
}

TEST(MainWindow, IsCentredAt600By416AndTitledFromTheMessageTable) {
    auto app = StartUtility(e2e::Programs::Single());
    HWND dialog = WaitForStartDialog(*app);
    ASSERT_NE(dialog, nullptr);
    HWND window = HiddenMainWindow(*app);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(ui::Text(window), kEnglishTitle);
    RECT rect = ui::WindowRect(window);
    EXPECT_EQ(rect.right - rect.left, 600);
    EXPECT_EQ(rect.bottom - rect.top, 416);
    EXPECT_EQ(rect.left, (GetSystemMetrics(SM_CXSCREEN) - 600) / 2);
    EXPECT_EQ(rect.top, (GetSystemMetrics(SM_CYSCREEN) - 416) / 2);
    EXPECT_EQ(GetWindowLongA(window, GWL_STYLE) & WS_OVERLAPPEDWINDOW, WS_OVERLAPPEDWINDOW);

    // Accepting shows the window; without an installation the run changes nothing and says so.
    ui::ClickId(dialog, IDOK);
    ASSERT_TRUE(ui::WaitUntil([&] { return ui::IsVisible(window); }, kTimeoutMs));
    HWND pane = ui::FindControl(window, 16);
    HWND ok = ui::FindControl(window, 14);
    EXPECT_TRUE(ui::WaitUntil([&] { return ui::IsVisible(ok); }, kTimeoutMs));
    ASSERT_FALSE(ui::Lines(pane).empty());
    EXPECT_EQ(ui::Lines(pane).back(), "Update did not complete successfully.");
    EXPECT_FALSE(ui::IsVisible(ui::FindControl(window, 15)));

    // A new size lays the controls out again; minimising does not.
    auto paneSize = [&] {
        RECT rect = ui::WindowRect(pane);
        return std::make_pair(rect.right - rect.left, rect.bottom - rect.top);
    };
    PostMessageA(window, WM_SIZE, SIZE_MINIMIZED, MAKELPARAM(0, 0));
    PostMessageA(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(320, 220));
    EXPECT_TRUE(
        ui::WaitUntil([&] { return paneSize() == std::make_pair(320L, 160L); }, kTimeoutMs));
    PostMessageA(window, WM_SIZE, SIZE_MINIMIZED, MAKELPARAM(10, 10));
    Sleep(300);
    EXPECT_EQ(paneSize(), std::make_pair(320L, 160L));

    // The process has ended, so one close request closes the window and ends the run.
    ui::Close(window);
    EXPECT_EQ(app->WaitForExit(kTimeoutMs), std::optional<DWORD>(0));
}

TEST(StartUp, AMissingIconShowsInternalErrorAndEndsWithStatusOne) {
    auto app = StartUtility(ui::HostToWindowsPath(TESSALY_UPDATE_NO_ICON_EXE));
    auto box = app->WaitForMessageBox("Internal error", kTimeoutMs);
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(box->text, "Icon load image failed");
    ui::ClickId(box->handle, IDOK);
    EXPECT_EQ(app->WaitForExit(kTimeoutMs), std::optional<DWORD>(1));
}
