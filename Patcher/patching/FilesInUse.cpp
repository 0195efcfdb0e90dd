#include "patching/FilesInUse.h"

#include <windows.h>

#include "System/File.h"
#include "System/Path.h"
#include "patchinfo/PatchDescription.h"
#include "shell/PatchView.h"
#include "text/MessageText.h"

namespace {

// Asks for the file alone, with the least access that sharing rules apply to: only another
// process that holds it refuses that. Asking for writing instead would also call a read-only
// file in use.
bool IsHeldByAnotherProcess(const QLC_String& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        return false;
    }
    DWORD error = GetLastError();
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

}  // namespace

bool ProgramsAreFree(PatchDescription& description) {
    for (int i = 0; i < description.patchedFiles.Count(); ++i) {
        QLC_String path = ToBackslashes(QLC_String::Format(
            "%s\\%s", description.installFolder.c_str(), description.patchedFiles[i].c_str()));
        if (!GetExtension(path).EqualsNoCase("exe") || !QLC_FileExists(path) ||
            !IsHeldByAnotherProcess(path)) {
            continue;
        }
        ShowStatus(description, MSG_STATUS_FAILED);
        WriteLine(description, "");
        WriteLine(description,
                  QLC_String::Format(LoadMessage(MSG_FILE_NOT_AVAILABLE).c_str(), path.c_str()));
        WriteMessage(description, MSG_FILE_MAY_BE_OPEN);
        return false;
    }
    return true;
}
