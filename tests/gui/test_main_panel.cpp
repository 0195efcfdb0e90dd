// The main window's controls in-process: where Layout puts them, how lines are added and
// scrolled, and the button states.

#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>
#include <richedit.h>

#include <string>

#include "UiDriver.h"
#include "shell/MainPanel.h"

namespace {

class PanelTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { LoadLibraryA("Riched20.dll"); }

    void SetUp() override {
        WNDCLASSEXA windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "PanelTestParent";
        RegisterClassExA(&windowClass);
        parent = CreateWindowExA(0, "PanelTestParent", "panel", WS_OVERLAPPEDWINDOW, 0, 0, 600, 416,
                                 nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(parent, nullptr);
        panel = new MainPanel(parent);
    }
    void TearDown() override {
        delete panel;
        DestroyWindow(parent);
    }

    HWND Bar(int index) {
        HWND found = nullptr;
        for (int i = 0; i <= index; ++i) {
            found = FindWindowExA(parent, found, "msctls_progress32", nullptr);
        }
        return found;
    }
    // A control's place relative to the parent's client area.
    RECT PlaceOf(HWND control) {
        RECT rect = ui::WindowRect(control);
        MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
        return rect;
    }
    RECT Place(int id) { return PlaceOf(GetDlgItem(parent, id)); }

    HWND parent = nullptr;
    MainPanel* panel = nullptr;
};

// The parent stays hidden (showing a window under a virtual display costs seconds), so a
// control's own visible flag is what counts.
bool Shown(HWND control) {
    return (GetWindowLongA(control, GWL_STYLE) & WS_VISIBLE) != 0;
}

void ExpectRect(const RECT& rect, int left, int top, int width, int height) {
    EXPECT_EQ(rect.left, left);
    EXPECT_EQ(rect.top, top);
    EXPECT_EQ(rect.right - rect.left, width);
    EXPECT_EQ(rect.bottom - rect.top, height);
}

}  // namespace

TEST_F(PanelTest, LayoutPlacesPaneBarsAndButtonsForTheClientArea) {
    panel->Layout(584, 377);
    ExpectRect(Place(ID_LOG_PANE), 0, 0, 584, 317);
    ExpectRect(PlaceOf(Bar(0)), 0, 317, 584, 15);
    ExpectRect(PlaceOf(Bar(1)), 0, 332, 584, 15);
    ExpectRect(Place(ID_OK_BUTTON), 242, 347, 100, 30);
    ExpectRect(Place(ID_CANCEL_BUTTON), 242, 347, 100, 30);
    ExpectRect(Place(ID_REPORT_BUTTON), 483, 347, 100, 30);
}

TEST_F(PanelTest, ButtonsStartWithCancelAndFollowTheUpdatesEnd) {
    HWND ok = GetDlgItem(parent, ID_OK_BUTTON);
    HWND cancel = GetDlgItem(parent, ID_CANCEL_BUTTON);
    HWND report = GetDlgItem(parent, ID_REPORT_BUTTON);
    EXPECT_TRUE(Shown(cancel));
    EXPECT_FALSE(Shown(ok));
    EXPECT_FALSE(Shown(report));
    panel->ShowFinished();
    panel->ShowFinished();
    EXPECT_TRUE(Shown(ok));
    EXPECT_FALSE(Shown(cancel));
    panel->ShowErrorReportButton();
    EXPECT_TRUE(Shown(report));
    panel->HideErrorReportButton();
    EXPECT_FALSE(Shown(report));
}

TEST_F(PanelTest, LinesStayInOrderWhenTheUserMovedTheCaret) {
    panel->Layout(584, 377);
    HWND pane = GetDlgItem(parent, ID_LOG_PANE);
    panel->AddLine("first");
    panel->AddLine("second");
    SendMessageA(pane, EM_SETSEL, 0, 0);  // a click at the top
    panel->AddLine("third");
    EXPECT_EQ(ui::Lines(pane), (std::vector<std::string>{"first", "second", "third"}));
}

TEST_F(PanelTest, TheNewestLineStaysInViewWhenThePaneIsFull) {
    panel->Layout(584, 120);
    HWND pane = GetDlgItem(parent, ID_LOG_PANE);
    for (int i = 0; i < 60; ++i) {
        panel->AddLine(QLC_String::Format("line %d", i));
    }
    int first = static_cast<int>(SendMessageA(pane, EM_GETFIRSTVISIBLELINE, 0, 0));
    EXPECT_GT(first, 40);
    EXPECT_LE(first, 59);
}

TEST_F(PanelTest, ProgressBarsShowPercentages) {
    panel->SetFileProgress(40);
    panel->SetOverallProgress(75);
    EXPECT_EQ(SendMessageA(Bar(0), PBM_GETPOS, 0, 0), 40);
    EXPECT_EQ(SendMessageA(Bar(1), PBM_GETPOS, 0, 0), 75);
}
