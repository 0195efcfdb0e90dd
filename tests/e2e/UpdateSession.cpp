#include "UpdateSession.h"

#include <algorithm>
#include <stdexcept>

namespace e2e {

const int kTimeoutMs = 30000;

UpdateSession::UpdateSession(const std::string& program, const std::string& folder,
                             const std::string& arguments,
                             std::vector<std::pair<std::string, std::string>> environment,
                             const std::string& title) {
    m_app = ui::App::Launch({program, arguments, folder, std::move(environment)});
    HWND dialog = m_app->WaitForWindow({title, "#32770", true}, kTimeoutMs);
    if (!dialog) {
        throw std::runtime_error("no start dialog");
    }
    m_window = m_app->WaitForWindow({"", "PatcherClass", false}, kTimeoutMs);
    m_pane = ui::FindControl(m_window, 16);
    ui::ClickId(dialog, IDOK);
}

bool UpdateSession::WaitFinished() {
    return ui::WaitUntil([&] { return ButtonVisible(14); }, kTimeoutMs);
}

bool UpdateSession::AnswerChangeList(int answer, const std::string& caption) {
    auto box = m_app->WaitForMessageBox(caption, kTimeoutMs);
    if (box) {
        ui::ClickId(box->handle, answer);
    }
    return box.has_value();
}

Lines UpdateSession::PaneLines() const {
    return ui::Lines(m_pane);
}

bool UpdateSession::WaitForLine(const std::string& line) {
    return ui::WaitUntil([&] { return Holds(PaneLines(), line); }, kTimeoutMs);
}

bool UpdateSession::ButtonVisible(int id) const {
    return ui::IsVisible(ui::FindControl(m_window, id));
}

int UpdateSession::BarPosition(int bar) const {
    HWND found = nullptr;
    for (int i = 0; i <= bar; ++i) {
        found = FindWindowExA(m_window, found, "msctls_progress32", nullptr);
    }
    DWORD_PTR position = 0;
    SendMessageTimeoutA(found, 0x408 /* PBM_GETPOS */, 0, 0, SMTO_ABORTIFHUNG, 5000, &position);
    return static_cast<int>(position);
}

void UpdateSession::Press(int id) {
    ui::Click(ui::FindControl(m_window, id));
}

long UpdateSession::CloseWithOk() {
    Press(14);
    auto status = m_app->WaitForExit(kTimeoutMs);
    return status ? static_cast<long>(*status) : -1;
}

Lines OpeningLines(const std::string& folder, const std::string& installed) {
    return {"Tessaly Update Utility version 1.1",
            "Copyright \xA9 2003 Corvane Interactive, Inc. All rights reserved.",
            "",
            "This utility will try to update Tessaly from version 1.1.5 to 1.2.3.",
            "",
            "Checking for a \"Tessaly\" installation in " + folder + ".",
            "",
            "\"Tessaly\" version " + installed + " detected.",
            ""};
}

Lines Join(Lines a, const Lines& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Lines Tail(const Lines& lines, size_t count) {
    return lines.size() < count ? lines
                                : Lines(lines.end() - static_cast<long>(count), lines.end());
}

bool Holds(const Lines& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

}  // namespace e2e
