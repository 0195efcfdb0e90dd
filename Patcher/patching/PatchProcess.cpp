// The update run: the installation check, the analysis pass, the checks of space and of files in
// use, the applying pass and the verdict, all reported line by line in the log pane.

#include "patching/PatchProcess.h"

#include <windows.h>

#include "System/Folders.h"
#include "install/InstallCheck.h"
#include "patchinfo/PatchDescription.h"
#include "patching/ChangeList.h"
#include "patching/EngineCallbacks.h"
#include "patching/EngineRunner.h"
#include "patching/FilesInUse.h"
#include "patching/FreeSpace.h"
#include "patching/InterruptedUpdate.h"
#include "shell/PatchView.h"
#include "text/MessageText.h"

namespace {

// The run's own failures; every other non-zero result is the engine's.
const int kRunFailed = -1;

void WriteOpening(PatchDescription& description) {
    WriteLine(description, QLC_String::Format("%s %s %s", LoadMessage(MSG_TITLE).c_str(),
                                              LoadMessage(MSG_VERSION_WORD).c_str(),
                                              description.utilityVersion.c_str()));
    WriteMessage(description, MSG_LEGAL_NOTICE);
    WriteLine(description, "");
    if (description.isMultiVersion) {
        WriteLine(description, description.IntroText(1));
    } else {
        WriteLine(description, QLC_String::Format(LoadMessage(MSG_UPDATE_INTRO).c_str(),
                                                  LoadMessage(MSG_PRODUCT_NAME).c_str(),
                                                  description.fromVersion.c_str(),
                                                  description.toVersion.c_str()));
    }
    WriteLine(description, "");
}

void WriteShortage(PatchDescription& description, const QLC_String& volume, uint64_t freeBytes) {
    ShowStatus(description, MSG_STATUS_FAILED);
    WriteLine(description, "");
    WriteLine(description, DiskSpaceText(freeBytes, volume, description.bytesRequired));
    WriteLine(description, "");
    WriteLine(description, QLC_String::Format(LoadMessage(MSG_NO_FILES_MODIFIED).c_str(),
                                              LoadMessage(MSG_PRODUCT_NAME).c_str(),
                                              description.installedVersion.c_str()));
}

int ApplyPass(PatchDescription& description) {
    return RunPatchEngine(ApplyPassArguments(description).c_str(), OnApplyMessage, 1);
}

// From the free-space measurement to the end of the applying pass; the run's result.
int AnalyseAndApply(PatchDescription& description) {
    QLC_String volume = InstallVolumeName(description.installFolder, GetCurrentDirectoryPath());
    uint64_t freeBytes = FreeBytesForInstallation(description.installFolder);
    WriteMessage(description, MSG_BEGINNING_PATCH);

    QLC_String arguments =
        QLC_String::Format("\"%s\" -nopathsearch -i -j", description.installFolder.c_str());
    int result = RunPatchEngine(arguments.c_str(), OnAnalysisMessage, 1);
    if (!description.skipVersionCheck && description.inconsistentFileSeen) {
        result = kRunFailed;
        WriteLine(description, "");
        WriteMessage(description, MSG_CONTENTS_MISMATCH);
    }
    if (description.bytesRequired != 0) {
        WriteShortage(description, volume, freeBytes);
        return kRunFailed;
    }
    if (result != 0) {
        return result;
    }
    if (!ProgramsAreFree(description)) {
        return kRunFailed;
    }

    description.patchFileCount = description.patchedFiles.Count();
    if (description.patchFileCount == 0) {
        return 0;
    }
    WriteLine(description, "");
    if (description.patchFileCount == 1) {
        WriteMessage(description, MSG_ONE_FILE_TO_PATCH);
    } else {
        WriteLine(description, QLC_String::Format(LoadMessage(MSG_FILES_TO_PATCH).c_str(),
                                                  description.patchFileCount));
    }
    description.lastPatchFile = description.patchedFiles[description.patchFileCount - 1];
    return ApplyPass(description);
}

void WriteSuccess(PatchDescription& description) {
    WriteMessage(description, MSG_UPDATE_SUCCEEDED);
    WriteLine(description, "");
    QLC_String ready = QLC_String::Format("\"%%s\" %s", LoadMessage(MSG_VERSION_READY).c_str());
    WriteLine(description, QLC_String::Format(ready.c_str(), LoadMessage(MSG_PRODUCT_NAME).c_str(),
                                              description.toVersion.c_str()));
    ShowStatus(description, MSG_STATUS_DONE);
    OfferChangeList(description);
}

void WriteVerdict(PatchDescription& description, int result) {
    WriteLine(description, "");
    if (result != 0 || description.cancelRequested) {
        WriteMessage(description, MSG_UPDATE_FAILED);
        ShowStatus(description, MSG_STATUS_FAILED);
        return;
    }
    ShowFileProgress(description, 100);
    ShowOverallProgress(description, 100);
    if (description.patchFileCount == 0) {
        WriteMessage(description, MSG_NOTHING_TO_PATCH);
        ShowStatus(description, MSG_STATUS_DONE);
    } else if (description.inconsistentFileSeen) {
        ShowStatus(description, MSG_STATUS_DONE);
        WriteLine(description, "");
        WriteMessage(description, MSG_RESULT_UNCERTAIN);
    } else {
        WriteSuccess(description);
    }
}

// From the installation check to the verdict; the run's result.
int CheckAndUpdate(PatchDescription& description) {
    switch (CheckInstallation(description)) {
        case InstallCheckResult::StopFailed:
            return kRunFailed;
        case InstallCheckResult::StopNoChange:
            return 0;
        case InstallCheckResult::Pass:
            break;
    }
    int result = AnalyseAndApply(description);
    WriteVerdict(description, result);
    return result;
}

}  // namespace

QLC_String ApplyPassArguments(const PatchDescription& description) {
    QLC_String backup;
    if (description.keepBackup) {
        // Quoted like the folder: a version may hold a blank.
        backup = QLC_String::Format("-b:\"%s%s%s\"", "Update_", description.fromVersion.c_str(),
                                    "_Backup");
    }
    return QLC_String::Format("\"%s\" -nopathsearch -i -u %s", description.installFolder.c_str(),
                              backup.c_str());
}

void RunPatchProcess(PatchDescription& description) {
    ShowStatus(description, MSG_STATUS_PATCHING);
    WriteOpening(description);
    int result = kRunFailed;
    // An update a killed run left half done is ended first: until then the installation is
    // neither version, and any verdict on it would be wrong.
    if (FinishInterruptedUpdate(description)) {
        result = CheckAndUpdate(description);
    } else {
        WriteVerdict(description, result);
    }
    ShowFinishedButtons(description);
    if ((result == kRunFailed || description.showErrorReport) && description.view) {
        description.view->ShowErrorReportButton();
    }
    description.processFinished = true;
}
