#include "patching/InterruptedUpdate.h"

#include "System/File.h"
#include "System/Path.h"
#include "patchinfo/PatchDescription.h"
#include "patching/CallbackSupport.h"
#include "patching/EngineCallbacks.h"
#include "patching/EngineRunner.h"
#include "shell/PatchView.h"
#include "text/MessageText.h"

namespace {

uint32_t g_outcome = 0;

// The recovery is not cancelled half way: it only ever leaves the installation whole.
const char* OnRecoveryMessage(unsigned messageId, void* parameter) {
    BeginCallback();
    switch (messageId) {
        case kEngineError:
        case kEngineInformation:
            LogEngineText(EngineText(parameter));
            return "";
        case kEngineRecovered:
            g_outcome = parameter ? *static_cast<const uint32_t*>(parameter) : 0;
            return "";
        default:
            return "";
    }
}

QLC_String JournalPath(const QLC_String& folder) {
    return JoinPathNative(folder, kEngineJournalName);
}

void WriteStop(PatchDescription& description, const QLC_String& line) {
    ShowStatus(description, MSG_STATUS_FAILED);
    WriteLine(description, line);
}

}  // namespace

bool InterruptedUpdatePending(const QLC_String& folder) {
    return !folder.IsEmpty() && QLC_FileExists(JournalPath(folder));
}

bool FinishInterruptedUpdate(PatchDescription& description) {
    g_outcome = 0;
    QLC_String arguments =
        QLC_String::Format("\"%s\" -nopathsearch -i -r", description.installFolder.c_str());
    const int result = RunPatchEngine(arguments.c_str(), OnRecoveryMessage, 1);
    // A folder that is not there holds nothing to recover; the installation check says the rest.
    if (result == 0 || result == kEngineFolderMissing) {
        if (g_outcome == kRecoveryCompleted || g_outcome == kRecoveryRolledBack) {
            WriteMessage(description, g_outcome == kRecoveryCompleted
                                          ? MSG_INTERRUPTED_UPDATE_COMPLETED
                                          : MSG_INTERRUPTED_UPDATE_ROLLED_BACK);
            WriteLine(description, "");
        }
        return true;
    }
    if (result == kEngineJournalUnusable) {
        WriteStop(description, QLC_String::Format(LoadMessage(MSG_JOURNAL_UNUSABLE).c_str(),
                                                  JournalPath(description.installFolder).c_str()));
    } else if (result == kEngineFolderIsLink) {
        WriteStop(description,
                  QLC_String::Format(LoadMessage(MSG_FOLDER_IS_LINK).c_str(),
                                     ToBackslashes(description.installFolder).c_str()));
    } else {
        WriteStop(description, LoadMessage(MSG_INTERRUPTED_UPDATE_NOT_FINISHED));
    }
    return false;
}
