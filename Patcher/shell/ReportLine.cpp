#include "patchinfo/PatchDescription.h"
#include "shell/MessagePump.h"
#include "shell/PatchView.h"

bool ReportLine(const QLC_String& message, PatchDescription& description) {
    if (description.view) {
        description.view->AddLine(message);
    }
    return PumpMessages();
}
