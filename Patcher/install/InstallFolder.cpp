#include "install/InstallFolder.h"

#include <windows.h>

#include "Registry.h"
#include "System/File.h"
#include "System/Folders.h"
#include "System/Path.h"
#include "patchinfo/PatchDescription.h"
#include "patching/InterruptedUpdate.h"

namespace {

// The name of an existing file or folder as stored, or false.
bool StoredName(const QLC_String& path, QLC_String& name) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(path.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return false;
    }
    FindClose(search);
    name = found.cFileName;
    return true;
}

}  // namespace

bool TrueCasePath(const QLC_String& path, QLC_String& result) {
    if (!StoredName(path, result)) {
        return false;
    }
    QLC_String rest = path;
    for (;;) {
        int separator = rest.FindLastOf("/\\");
        if (separator < 0) {
            return true;
        }
        rest = rest.Left(static_cast<size_t>(separator));
        QLC_String name;
        if (rest.Length() == 2 || !StoredName(rest, name)) {
            result = JoinPathNative(rest, result);
            return true;
        }
        result = JoinPathNative(name, result);
    }
}

namespace {

// The game is there, or an update of it was interrupted there (which may have moved the
// identifying file aside for the moment).
bool HoldsInstallation(const QLC_String& folder, const QLC_String& versionFileName) {
    return QLC_FileExists(JoinPathNative(folder, versionFileName)) ||
           InterruptedUpdatePending(folder);
}

}  // namespace

void FindInstallFolder(PatchDescription& description) {
    if (description.installFolder.IsEmpty() &&
        (QLC_FileExists(description.versionFileName) || InterruptedUpdatePending("."))) {
        description.installFolder = GetCurrentDirectoryPath();
    }
    if (!description.installFolder.IsEmpty()) {
        return;
    }
    QLC_Registry machine(HKEY_LOCAL_MACHINE);
    for (int i = 0; i < description.registryKeys.Count(); ++i) {
        QLC_String path;
        ReadString(machine, description.registryKeys[i].c_str(), "Install Path", path);
        if (path.IsEmpty()) {
            continue;
        }
        QLC_String folder;
        TrueCasePath(RemoveTrailingSlash(path), folder);
        if (HoldsInstallation(folder, description.versionFileName)) {
            description.installFolder = folder;
        }
    }
}
