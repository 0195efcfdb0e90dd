#pragma once
// The run's output through the description's view: status words, bars and buttons. A
// description without a view (as in the tests of the run's parts) takes them silently.

#include "Utility/String.h"

class PatchDescription;

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
