#pragma once
// One run of an update program on an installation folder, driven as a player would: the start
// dialog confirmed, the log pane read, the buttons looked at, the window closed.

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "UiDriver.h"

namespace e2e {

using Lines = std::vector<std::string>;

class UpdateSession {
public:
    // Starts `program` in `folder` (where it finds the installation) and confirms the start
    // dialog titled `title`. Throws when the dialog does not come.
    UpdateSession(const std::string& program, const std::string& folder,
                  const std::string& arguments = "",
                  std::vector<std::pair<std::string, std::string>> environment = {},
                  const std::string& title = "Tessaly Update Utility");

    // Waits until the run has ended (OK shown); false after the time-out.
    bool WaitFinished();
    // Answers the change-list offer with IDYES or IDNO; false when it does not come.
    bool AnswerChangeList(int answer, const std::string& caption = "View updates");
    Lines PaneLines() const;
    // Waits until the pane holds `line`; false after the time-out.
    bool WaitForLine(const std::string& line);
    bool ButtonVisible(int id) const;
    // The position of the file bar (0) or the overall bar (1).
    int BarPosition(int bar) const;
    void Press(int id);
    // Presses OK and returns the exit status (-1 when the program did not end).
    long CloseWithOk();
    ui::App& App() { return *m_app; }
    HWND Window() const { return m_window; }

private:
    std::unique_ptr<ui::App> m_app;
    HWND m_window = nullptr;
    HWND m_pane = nullptr;
};

const char* const kBeginning = "Beginning patch process. This may take several minutes...";

// The lines every run on `folder` begins with, up to the detection line and the empty line
// after it (English).
Lines OpeningLines(const std::string& folder, const std::string& installed);

Lines Join(Lines a, const Lines& b);
// The last `count` lines, or all when there are fewer.
Lines Tail(const Lines& lines, size_t count);
bool Holds(const Lines& lines, const std::string& line);

}  // namespace e2e
