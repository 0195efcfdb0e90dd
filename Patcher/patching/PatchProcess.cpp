#include "patching/PatchProcess.h"

#include "patchinfo/PatchDescription.h"
#include "shell/PatchView.h"
#include "text/MessageText.h"

// Until the engine is wired in, a run changes nothing and says so.
void RunPatchProcess(PatchDescription& description) {
    ReportLine(LoadMessage(MSG_UPDATE_FAILED), description);
    if (description.view) {
        description.view->SetStatus(LoadMessage(MSG_STATUS_FAILED).c_str());
        description.view->ShowFinished();
    }
    description.processFinished = true;
}
