#include "patchinfo/PatchInformation.h"

#include <windows.h>

#include "System/Path.h"
#include "System/WinException.h"
#include "patchinfo/FieldTokenizer.h"
#include "patchinfo/PatchDescription.h"
#include "patching/EngineRunner.h"
#include "shell/MessagePump.h"
#include "text/MessageText.h"

namespace {

// Keyword comparison ignores case the way the system's code page does.
bool KeywordIs(const QLC_String& field, const char* keyword) {
    return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, field.c_str(), -1, keyword, -1) ==
           CSTR_EQUAL;
}

}  // namespace

void ParseInformationLine(const QLC_String& text) {
    PatchDescription& description = *g_patchDescription;
    FieldTokenizer fields(text, ",");
    QLC_String keyword = fields.NextField();
    if (KeywordIs(keyword, "history")) {
        description.isMultiVersion = true;
        QLC_String from = fields.NextField();
        QLC_String second = fields.NextField();
        QLC_String extension = TrimWhiteSpace(fields.NextField());
        description.historyFromVersions.Append(from);
        description.historySecondValues.Append(second);
        description.historyExtensions.Append(extension);
    } else if (KeywordIs(keyword, "versions")) {
        description.versionFileName = fields.NextField();
        description.fromVersion = fields.NextField();
        description.toVersion = TrimWhiteSpace(fields.NextField());
        description.hasVersionsLine = true;
    } else if (KeywordIs(keyword, "checksum")) {
        QLC_String file = fields.NextField();
        QLC_String sum = fields.NextField();
        QLC_String length = fields.NextField();
        QLC_String version = TrimWhiteSpace(fields.NextField());
        description.checksumFiles.Append(file);
        description.checksumValues.Append(sum);
        description.checksumLengths.Append(length);
        description.checksumVersions.Append(version);
    } else if (KeywordIs(keyword, "registry")) {
        description.registryKeys.Append(TrimWhiteSpace(fields.NextField()));
    }
}

const char* OnListingMessage(unsigned messageId, void* data) {
    if (!PumpMessages()) {
        throw Win::ExitException();
    }
    switch (messageId) {
        case 4:
            MessageBoxA(nullptr, LoadMessage(MSG_INTERNAL_UPDATE_ERROR).c_str(),
                        LoadMessage(MSG_WARNING).c_str(), MB_OK);
            return nullptr;
        case 11:
            ParseInformationLine(QLC_String(static_cast<const char*>(data)));
            return "";
        case 19:
            return "Y";
        case 2:
        case 13:
        case 14:
        case 15:
        case 17:
        case 18:
        case 20:
            return nullptr;
        default:
            return "";
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
