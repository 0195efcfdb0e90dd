#include "shell/MainPanel.h"

#include <commctrl.h>
#include <richedit.h>

#include "System/WinException.h"
#include "text/MessageText.h"

namespace {

const int kBarHeight = 15;
const int kButtonHeight = 30;
const int kButtonWidth = 100;
// The pane shares the main window's background colour.
const COLORREF kPaneBackground = 0xD8E9EC;

void InitCommonControls() {
    INITCOMMONCONTROLSEX init;
    init.dwSize = sizeof init;
    init.dwICC = ICC_BAR_CLASSES;
    if (!InitCommonControlsEx(&init)) {
        throw Win::Exception("Cannot initialize common controls");
    }
}

HWND CreateChild(HWND parent, const char* className, const char* text, DWORD style, int id,
                 int width, int height, const char* failure) {
    InitCommonControls();
    HWND control = CreateWindowExA(0, className, text, style, 0, 0, width, height, parent,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                   GetModuleHandleA(nullptr), nullptr);
    if (!control) {
        throw Win::Exception(failure);
    }
    return control;
}

void SetCaret(HWND pane, int position) {
    CHARRANGE range{position, position};
    SendMessageA(pane, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
}

}  // namespace

MainPanel::MainPanel(HWND mainWindow) {
    const DWORD childStyle = WS_CHILD | WS_VISIBLE;
    const char* barFailure = "Internal error: Couldn't create progress bar";
    const char* buttonFailure = "Internal error: Couldn't create pushbutton";
    m_fileBar = {CreateChild(mainWindow, PROGRESS_CLASSA, nullptr, childStyle, 0, 100, kBarHeight,
                             barFailure),
                 kBarHeight, 0};
    m_overallBar = {CreateChild(mainWindow, PROGRESS_CLASSA, nullptr, childStyle, 0, 100,
                                kBarHeight, barFailure),
                    kBarHeight, 0};
    QLC_String ok = LoadMessage(MSG_OK);
    m_okButton = {CreateChild(mainWindow, "Button", ok.c_str(), childStyle, ID_OK_BUTTON,
                              kButtonHeight, kButtonWidth, buttonFailure),
                  kButtonHeight, kButtonWidth};
    ShowWindow(m_okButton.handle, SW_HIDE);
    QLC_String cancel = LoadMessage(MSG_CANCEL);
    m_cancelButton = {CreateChild(mainWindow, "Button", cancel.c_str(), childStyle,
                                  ID_CANCEL_BUTTON, kButtonHeight, kButtonWidth, buttonFailure),
                      kButtonHeight, kButtonWidth};
    QLC_String report = LoadMessage(MSG_ERROR_REPORT);
    m_reportButton = {CreateChild(mainWindow, "Button", report.c_str(), childStyle,
                                  ID_REPORT_BUTTON, kButtonHeight, kButtonWidth, buttonFailure),
                      kButtonHeight, kButtonWidth};
    ShowWindow(m_reportButton.handle, SW_HIDE);
    m_logPane = CreateChild(
        mainWindow, "RichEdit20A", nullptr,
        childStyle | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY | ES_WANTRETURN,
        ID_LOG_PANE, kButtonHeight, kButtonWidth, "Internal error: Couldn't create RichEdit");
    SendMessageA(m_logPane, EM_SETBKGNDCOLOR, 0, kPaneBackground);
}

void MainPanel::Layout(int width, int height) {
    m_paneHeight = height - 2 * kBarHeight - kButtonHeight;
    MoveWindow(m_logPane, 0, 0, width, m_paneHeight, TRUE);
    MoveWindow(m_fileBar.handle, 0, m_paneHeight, width, m_fileBar.height, TRUE);
    MoveWindow(m_overallBar.handle, 0, height - kButtonHeight - kBarHeight, width,
               m_overallBar.height, TRUE);
    int buttonTop = height - kButtonHeight;
    MoveWindow(m_okButton.handle, (width - kButtonWidth) / 2, buttonTop, kButtonWidth,
               kButtonHeight, TRUE);
    MoveWindow(m_cancelButton.handle, (width - kButtonWidth) / 2, buttonTop, kButtonWidth,
               kButtonHeight, TRUE);
    MoveWindow(m_reportButton.handle, width - kButtonWidth - 1, buttonTop, kButtonWidth,
               kButtonHeight, TRUE);
}

void MainPanel::SetStatus(const char*) {}

void MainPanel::AddLine(QLC_String text) {
    // The caret goes back to the end first: the user may have clicked elsewhere in the pane.
    SetCaret(m_logPane, m_textEnd);
    text.Append('\n');
    SETTEXTEX set{ST_SELECTION, CP_ACP};
    SendMessageA(m_logPane, EM_SETTEXTEX, reinterpret_cast<WPARAM>(&set),
                 reinterpret_cast<LPARAM>(text.c_str()));
    m_textEnd += static_cast<int>(text.Length());
    SetCaret(m_logPane, m_textEnd);

    int first = static_cast<int>(SendMessageA(m_logPane, EM_GETFIRSTVISIBLELINE, 0, 0));
    TEXTMETRICA metrics{};
    HDC dc = GetDC(m_logPane);
    GetTextMetricsA(dc, &metrics);
    ReleaseDC(m_logPane, dc);
    int lineHeight = metrics.tmHeight > 0 ? metrics.tmHeight : 1;
    int visible = m_paneHeight / lineHeight;
    int last = static_cast<int>(SendMessageA(m_logPane, EM_EXLINEFROMCHAR, 0, -1));
    if (last - first > visible) {
        SendMessageA(m_logPane, EM_LINESCROLL, 0, last - first - visible);
    }
    SendMessageA(m_logPane, EM_SCROLLCARET, 0, 0);
}

void MainPanel::SetFileProgress(int percent) {
    SendMessageA(m_fileBar.handle, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
}

void MainPanel::SetOverallProgress(int percent) {
    SendMessageA(m_overallBar.handle, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
}

void MainPanel::ShowFinished() {
    ShowWindow(m_cancelButton.handle, SW_HIDE);
    ShowWindow(m_okButton.handle, SW_SHOW);
}

void MainPanel::ShowErrorReportButton() {
    ShowWindow(m_reportButton.handle, SW_SHOW);
}

void MainPanel::HideErrorReportButton() {
    ShowWindow(m_reportButton.handle, SW_HIDE);
}
