#pragma once
// Drives a Windows program from the outside, as a person would: start it, find its windows and
// controls, read their texts, press buttons, answer message boxes, wait for it to end. Used by
// the GUI and end-to-end tests and by the demo, all running under wine.

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace ui {

struct LaunchOptions {
    std::string program;
    std::string arguments;         // after the quoted program path
    std::string workingDirectory;  // empty: the driver's own
    // Added to (or replacing in) the driver's environment, e.g. {"LANG", "de_CH.UTF-8"}.
    std::vector<std::pair<std::string, std::string>> environment;
};

struct WindowQuery {
    std::string title;      // exact; empty matches any
    std::string className;  // exact; empty matches any
    bool visibleOnly = true;
};

struct MessageBoxInfo {
    HWND handle = nullptr;
    std::string caption;
    std::string text;
};

class App {
public:
    // Throws std::runtime_error when the program cannot be started.
    static std::unique_ptr<App> Launch(const LaunchOptions& options);
    App(const App&) = delete;
    App& operator=(const App&) = delete;
    // Ends the program if it still runs.
    ~App();

    // A top-level window of the program that matches, or null after the time-out.
    HWND WaitForWindow(const WindowQuery& query, int timeoutMs) const;

    // A message box (dialog class "#32770" with this caption; any caption when empty) with its
    // text, or nothing after the time-out.
    std::optional<MessageBoxInfo> WaitForMessageBox(const std::string& caption,
                                                    int timeoutMs) const;

    // The exit code, or nothing while it still runs after the time-out.
    std::optional<DWORD> WaitForExit(int timeoutMs) const;
    void Kill();

private:
    App() = default;
    std::vector<HWND> TopLevelWindows(bool visibleOnly) const;
    HANDLE m_process = nullptr;
    DWORD m_processId = 0;
};

HWND FindControl(HWND parent, int id);
std::string Text(HWND window);
// A control's text split into lines (rich-edit panes end lines with CR, CR LF or LF).
std::vector<std::string> Lines(HWND window);
bool IsVisible(HWND window);
RECT WindowRect(HWND window);

// Presses a button: its parent gets the same WM_COMMAND a mouse click would send.
void Click(HWND button);
// Presses the button with this id of a dialog or message box (IDOK, IDYES, ...).
void ClickId(HWND dialog, int id);
// Asks the window to close, as its close box does.
void Close(HWND window);

// Polls `condition` every 50 ms until it holds or the time-out passes.
template <typename Condition>
bool WaitUntil(Condition condition, int timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        if (condition()) {
            return true;
        }
        if (static_cast<int>(GetTickCount() - start) >= timeoutMs) {
            return false;
        }
        Sleep(50);
    }
}

// A path of the host (wine's Unix side, e.g. a build output) as Windows programs see it: an
// absolute Unix path lies on drive Z:. Other paths come back unchanged.
std::string HostToWindowsPath(const std::string& hostPath);

}  // namespace ui
