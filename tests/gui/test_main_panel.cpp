// The main window's controls in-process: where Layout puts them, how lines are added and
// scrolled, and the button states.

#include <windows.h>

#include <gtest/gtest.h>
#include <richedit.h>

#include <array>
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
    // The parent stays hidden (showing a window under a virtual display costs seconds), so a
    // control's own visible flag is what counts.
    bool Shown(int id) {
        return (GetWindowLongA(GetDlgItem(parent, id), GWL_STYLE) & WS_VISIBLE) != 0;
    }

    HWND parent = nullptr;
    MainPanel* panel = nullptr;
};

using Box = std::array<LONG, 4>;  // left, top, width, height

Box BoxOf(const RECT& rect) {
    return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

}  // namespace

TEST_F(PanelTest, LayoutPlacesPaneBarsAndButtonsForTheClientArea) {
    panel->Layout(584, 377);
    EXPECT_EQ(BoxOf(Place(ID_LOG_PANE)), (Box{0, 0, 584, 317}));
    EXPECT_EQ(BoxOf(PlaceOf(Bar(0))), (Box{0, 317, 584, 15}));
    EXPECT_EQ(BoxOf(PlaceOf(Bar(1))), (Box{0, 332, 584, 15}));
    EXPECT_EQ(BoxOf(Place(ID_OK_BUTTON)), (Box{242, 347, 100, 30}));
    EXPECT_EQ(BoxOf(Place(ID_CANCEL_BUTTON)), (Box{242, 347, 100, 30}));
    EXPECT_EQ(BoxOf(Place(ID_REPORT_BUTTON)), (Box{483, 347, 100, 30}));
}

// The report button's showing and hiding is seen in the end-to-end report runs.
TEST_F(PanelTest, ButtonsStartWithCancelAndFollowTheUpdatesEnd) {
    EXPECT_TRUE(Shown(ID_CANCEL_BUTTON));
    EXPECT_FALSE(Shown(ID_OK_BUTTON));
    EXPECT_FALSE(Shown(ID_REPORT_BUTTON));
    panel->ShowFinished();
    panel->ShowFinished();  // twice: the buttons must not toggle back
    EXPECT_TRUE(Shown(ID_OK_BUTTON));
    EXPECT_FALSE(Shown(ID_CANCEL_BUTTON));
}

TEST_F(PanelTest, LinesStayInOrderWhenTheUserMovedTheCaretAndTheNewestStaysInView) {
    panel->Layout(584, 120);
    HWND pane = GetDlgItem(parent, ID_LOG_PANE);
    panel->AddLine("first");
    panel->AddLine("second");
    SendMessageA(pane, EM_SETSEL, 0, 0);  // a click at the top
    panel->AddLine("third");
    EXPECT_EQ(ui::Lines(pane), (std::vector<std::string>{"first", "second", "third"}));
    for (int i = 3; i < 60; ++i) {
        panel->AddLine(QLC_String::Format("line %d", i));
    }
    int first = static_cast<int>(SendMessageA(pane, EM_GETFIRSTVISIBLELINE, 0, 0));
    EXPECT_GT(first, 40);
    EXPECT_LE(first, 59);
}
