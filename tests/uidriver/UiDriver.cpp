#include "UiDriver.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace ui {

namespace {

const UINT kSendTimeoutMs = 5000;

// The driver's environment with the given names set: a sorted, double-zero-ended block.
std::string EnvironmentBlock(const std::vector<std::pair<std::string, std::string>>& changes) {
    std::vector<std::string> entries;
    char* current = GetEnvironmentStringsA();
    for (const char* p = current; p && *p; p += std::strlen(p) + 1) {
        const bool replaced = std::any_of(changes.begin(), changes.end(), [p](const auto& change) {
            return _strnicmp(p, (change.first + "=").c_str(), change.first.size() + 1) == 0;
        });
        if (!replaced) {
            entries.push_back(p);
        }
    }
    FreeEnvironmentStringsA(current);
    for (const auto& change : changes) {
        entries.push_back(change.first + "=" + change.second);
    }
    std::sort(entries.begin(), entries.end(), [](const std::string& a, const std::string& b) {
        return _stricmp(a.c_str(), b.c_str()) < 0;
    });
    std::string block;
    for (const auto& entry : entries) {
        block += entry;
        block += '\0';
    }
    block += '\0';
    return block;
}

struct EnumState {
    DWORD processId;
    bool visibleOnly;
    std::vector<HWND>* found;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM parameter) {
    auto* state = reinterpret_cast<EnumState*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == state->processId && (!state->visibleOnly || IsWindowVisible(window))) {
        state->found->push_back(window);
    }
    return TRUE;
}

std::string ClassName(HWND window) {
    char name[256] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

BOOL CALLBACK CollectChild(HWND window, LPARAM parameter) {
    reinterpret_cast<std::vector<HWND>*>(parameter)->push_back(window);
    return TRUE;
}

}  // namespace

std::unique_ptr<App> App::Launch(const LaunchOptions& options) {
    std::string commandLine = "\"" + options.program + "\"";
    if (!options.arguments.empty()) {
        commandLine += " " + options.arguments;
    }
    std::vector<char> writable(commandLine.begin(), commandLine.end());
    writable.push_back('\0');
    std::string environment;
    if (!options.environment.empty()) {
        environment = EnvironmentBlock(options.environment);
    }
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(
            options.program.c_str(), writable.data(), nullptr, nullptr, FALSE, 0,
            environment.empty() ? nullptr : environment.data(),
            options.workingDirectory.empty() ? nullptr : options.workingDirectory.c_str(), &startup,
            &process)) {
        throw std::runtime_error("cannot start " + options.program + " (error " +
                                 std::to_string(GetLastError()) + ")");
    }
    CloseHandle(process.hThread);
    std::unique_ptr<App> app(new App);
    app->m_process = process.hProcess;
    app->m_processId = process.dwProcessId;
    return app;
}

App::~App() {
    Kill();
    CloseHandle(m_process);
}

void App::Kill() {
    if (!WaitForExit(0)) {
        TerminateProcess(m_process, 255);
        WaitForSingleObject(m_process, 5000);
    }
}

std::vector<HWND> App::TopLevelWindows(bool visibleOnly) const {
    std::vector<HWND> found;
    EnumState state{m_processId, visibleOnly, &found};
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&state));
    return found;
}

HWND App::WaitForWindow(const WindowQuery& query, int timeoutMs) const {
    HWND match = nullptr;
    WaitUntil(
        [&] {
            for (HWND window : TopLevelWindows(query.visibleOnly)) {
                if ((query.title.empty() || Text(window) == query.title) &&
                    (query.className.empty() || ClassName(window) == query.className)) {
                    match = window;
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
    return match;
}

std::optional<MessageBoxInfo> App::WaitForMessageBox(const std::string& caption,
                                                     int timeoutMs) const {
    HWND box = WaitForWindow({caption, "#32770", true}, timeoutMs);
    if (!box) {
        return std::nullopt;
    }
    MessageBoxInfo info;
    info.handle = box;
    info.caption = Text(box);
    // The message is the longest static text (the other static holds the icon).
    std::vector<HWND> children;
    EnumChildWindows(box, CollectChild, reinterpret_cast<LPARAM>(&children));
    for (HWND child : children) {
        std::string text = Text(child);
        if (_stricmp(ClassName(child).c_str(), "Static") == 0 && text.size() > info.text.size()) {
            info.text = text;
        }
    }
    return info;
}

std::optional<DWORD> App::WaitForExit(int timeoutMs) const {
    if (WaitForSingleObject(m_process, static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0) {
        return std::nullopt;
    }
    DWORD code = 0;
    GetExitCodeProcess(m_process, &code);
    return code;
}

HWND FindControl(HWND parent, int id) {
    return GetDlgItem(parent, id);
}

std::string Text(HWND window) {
    // The program may append between the two messages: read again until the length holds, or
    // the text would be cut at the old length.
    for (int attempt = 0;; ++attempt) {
        DWORD_PTR length = 0;
        if (!SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                                 &length)) {
            return std::string();
        }
        std::vector<char> buffer(length + 2, '\0');
        DWORD_PTR copied = 0;
        SendMessageTimeoutA(window, WM_GETTEXT, buffer.size(),
                            reinterpret_cast<LPARAM>(buffer.data()), SMTO_ABORTIFHUNG,
                            kSendTimeoutMs, &copied);
        DWORD_PTR after = 0;
        SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                            &after);
        if (after == length || attempt == 20) {
            return std::string(buffer.data());
        }
    }
}

std::vector<std::string> Lines(HWND window) {
    std::vector<std::string> lines;
    std::string text = Text(window);
    std::string line;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(line);
            line.clear();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
        } else {
            line += c;
        }
    }
    if (!line.empty()) {
        lines.push_back(line);
    }
    return lines;
}

bool IsVisible(HWND window) {
    return IsWindowVisible(window) != FALSE;
}

RECT WindowRect(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
}

void Click(HWND button) {
    int id = GetDlgCtrlID(button);
    PostMessageA(GetParent(button), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
}

void ClickId(HWND dialog, int id) {
    HWND button = GetDlgItem(dialog, id);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

void Close(HWND window) {
    PostMessageA(window, WM_CLOSE, 0, 0);
}

std::string HostToWindowsPath(const std::string& hostPath) {
    if (hostPath.empty() || hostPath[0] != '/') {
        return hostPath;
    }
    std::string path = "Z:" + hostPath;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

}  // namespace ui
