// The applying pass: the engine patches the installation. The callback reports every file,
// moves the overall bar from 20 to 100 and stops the engine after a cancel or an error.

#include <windows.h>

#include "patchinfo/FieldTokenizer.h"
#include "patchinfo/PatchDescription.h"
#include "patching/CallbackSupport.h"
#include "patching/EngineCallbacks.h"
#include "shell/PatchView.h"
#include "text/MessageText.h"

namespace {

void ShowWarningBox(const char* text) {
    MessageBoxA(nullptr, text, LoadMessage(MSG_WARNING).c_str(), MB_OK);
}

const char* OnFraction(PatchDescription& description, void* parameter) {
    bool cancelled = description.cancelRequested;
    if (cancelled) {
        ReportCancelled(description);
    }
    ShowFileProgress(description, FractionPercent(parameter));
    return cancelled ? nullptr : "";
}

const char* OnFileDone(PatchDescription& description) {
    ShowFileProgress(description, 100);
    const char* answer = "";
    if (description.cancelRequested) {
        ReportCancelled(description);
        answer = nullptr;
    } else {
        if (description.fileInProgress) {
            WriteLine(description, QLC_String::Format(LoadMessage(MSG_FILE_PATCHED).c_str(),
                                                      description.currentFile.c_str()));
        }
        if (description.currentFile == description.lastPatchFile) {
            WriteLine(description, "");
            WriteMessage(description, MSG_FINISHING_UPDATE);
        }
    }
    ++description.appliedFiles;
    // The run starts this pass only with at least one file to patch.
    int32_t files = description.patchFileCount > 0 ? description.patchFileCount : 1;
    ShowOverallProgress(description, description.appliedFiles * 80 / files + 20);
    return answer;
}

void OnNotice(PatchDescription& description, const char* text) {
    if (Holds(text, "New Version")) {
        WriteLine(description, QLC_String::Format(LoadMessage(MSG_FILE_ALREADY_CURRENT).c_str(),
                                                  description.currentFile.c_str(),
                                                  description.toVersion.c_str()));
        description.fileInProgress = false;
    } else if (Holds(text, "Applying")) {
        ++description.applyingNumber;
        WriteLine(description, "");
        WriteLine(description,
                  QLC_String::Format(LoadMessage(MSG_PATCHING_FILE).c_str(),
                                     description.currentFile.c_str(),
                                     description.fromVersion.c_str(), description.toVersion.c_str(),
                                     description.applyingNumber, description.patchFileCount));
        description.fileInProgress = true;
    }
}

}  // namespace

const char* OnApplyMessage(unsigned messageId, void* parameter) {
    PatchDescription& description = BeginCallback();
    switch (messageId) {
        case kEngineWarning:
            LogEngineText(EngineText(parameter));
            if (Holds(EngineText(parameter), "file of the same name")) {
                ReportInconsistentFile(description);
            }
            description.fileInProgress = false;
            return "";
        case kEngineError:
            LogEngineText(EngineText(parameter));
            ShowWarningBox(EngineText(parameter));
            description.fileInProgress = false;
            return nullptr;
        case kEngineFileFraction:
            return OnFraction(description, parameter);
        case kEngineFileCount:
            return kEngineAnswerCombine;
        case kEngineFileBegins:
            ShowFileProgress(description, 0);
            description.currentFile = WithoutHistoryExtension(description, EngineText(parameter));
            return "";
        case kEngineFileDone:
            return OnFileDone(description);
        case kEngineNotice:
            LogEngineText(EngineText(parameter));
            OnNotice(description, EngineText(parameter));
            return "";
        case kEngineInformation:
            LogEngineText(EngineText(parameter));
            return "";
        case kEnginePatchInvalid:
        case kEnginePatchFileInvalid:
            ShowWarningBox(LoadMessage(MSG_PATCH_INFO_INVALID).c_str());
            return nullptr;
        case kEngineQuestion:
            return kEngineAnswerYes;
        default:
            return IsEngineStopMessage(messageId) ? nullptr : "";
    }
}

void LogEngineText(const char* text) {
    QLC_String kept = TrimWhiteSpace(text ? text : "");
    if (!kept.IsEmpty()) {
        g_patchDescription->processLogLines.Append(kept);
    }
}
