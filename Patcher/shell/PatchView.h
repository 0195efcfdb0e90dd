#pragma once
// The window's progress interface: how the patch code shows lines, bars and buttons. The
// functions below speak to the description's view; a description without one (as in the tests of
// the run's parts) takes everything silently.

#include "Utility/String.h"

class PatchDescription;

class PatchView {
public:
    virtual ~PatchView() = default;
    // A short status word; this window has no place for it.
    virtual void SetStatus(const char* word) = 0;
    virtual void Reserved1() {}
    virtual void AddLine(QLC_String text) = 0;
    virtual void Reserved2(int) {}
    virtual void Reserved3(int) {}
    virtual void SetFileProgress(int percent) = 0;
    virtual void SetOverallProgress(int percent) = 0;
    virtual void ShowFinished() = 0;
    virtual void ShowErrorReportButton() = 0;
    virtual void HideErrorReportButton() = 0;
};

// Adds the line to the description's view, then lets the window handle its messages. False
// means the program is quitting and the caller should stop.
bool ReportLine(const QLC_String& message, PatchDescription& description);

// The status word of message `messageId`.
void ShowStatus(PatchDescription& description, int messageId);
void ShowFileProgress(PatchDescription& description, int percent);
void ShowOverallProgress(PatchDescription& description, int percent);
void ShowFinishedButtons(PatchDescription& description);

// One line of the log pane (ReportLine); throws Win::ExitException when the program is quitting,
// so that no further work is done for a window that is gone.
void WriteLine(PatchDescription& description, const QLC_String& text);
// The line of message `messageId` as it stands.
void WriteMessage(PatchDescription& description, int messageId);
