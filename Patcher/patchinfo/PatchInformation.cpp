#include "patchinfo/PatchInformation.h"

#include <windows.h>

#include "System/Path.h"
#include "System/WinException.h"
#include "patching/EngineRunner.h"
#include "shell/MessagePump.h"
#include "text/MessageText.h"

const char* OnListingMessage(unsigned messageId, void* data) {
    if (!PumpMessages()) {
        throw Win::ExitException();
    }
    switch (messageId) {
        case kEngineError:
            MessageBoxA(nullptr, LoadMessage(MSG_INTERNAL_UPDATE_ERROR).c_str(),
                        LoadMessage(MSG_WARNING).c_str(), MB_OK);
            return nullptr;
        case kEngineInformation:
            ParseInformationLine(QLC_String(static_cast<const char*>(data)));
            return "";
        case kEngineQuestion:
            return kEngineAnswerYes;
        case kEngineWarning:
        case kEnginePatchInvalid:
        case kEnginePatchFileInvalid:
            return nullptr;
        default:
            return IsEngineStopMessage(messageId) ? nullptr : "";
    }
}

bool ListPatchInformation() {
    char directory[MAX_PATH + 1] = {};
    DWORD length = GetCurrentDirectoryA(MAX_PATH, directory);
    if (length == 0 || length >= MAX_PATH) {
        directory[0] = '\0';
    }
    QLC_String folder = ToForwardSlashes(directory);
    QLC_String arguments = QLC_String::Format("\"%s\" -i -l", folder.c_str());
    return RunPatchEngine(arguments.c_str(), OnListingMessage, 1) != 0;
}
