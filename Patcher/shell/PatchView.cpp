#include "shell/PatchView.h"

#include "System/WinException.h"
#include "patchinfo/PatchDescription.h"
#include "shell/MessagePump.h"
#include "text/MessageText.h"

bool ReportLine(const QLC_String& message, PatchDescription& description) {
    if (description.view) {
        description.view->AddLine(message);
    }
    return PumpMessages();
}

void ShowStatus(PatchDescription& description, int messageId) {
    if (description.view) {
        description.view->SetStatus(LoadMessage(messageId).c_str());
    }
}

void ShowFileProgress(PatchDescription& description, int percent) {
    if (description.view) {
        description.view->SetFileProgress(percent);
    }
}

void ShowOverallProgress(PatchDescription& description, int percent) {
    if (description.view) {
        description.view->SetOverallProgress(percent);
    }
}

void ShowFinishedButtons(PatchDescription& description) {
    if (description.view) {
        description.view->ShowFinished();
    }
}

void WriteLine(PatchDescription& description, const QLC_String& text) {
    if (!ReportLine(text, description)) {
        throw Win::ExitException();
    }
}

void WriteMessage(PatchDescription& description, int messageId) {
    WriteLine(description, LoadMessage(messageId));
}
