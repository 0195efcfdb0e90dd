#include "System/Folders.h"

#include "System/Path.h"

#include <windows.h>

namespace {

// Shell folder ids.
constexpr int kPersonal = 5;
constexpr int kLocalAppData = 28;
constexpr int kCommonAppData = 35;
constexpr int kProgramFiles = 38;
constexpr int kProgramFilesCommon = 43;
constexpr int kFlagCreate = 0x8000;

QLC_ApplicationFolders g_folders;

using GetFolderPathFunction = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPSTR);

QLC_String ApplicationFolderIn(int folder_id) {
    const QLC_String found = GetSpecialFolder(folder_id);
    if (found.IsEmpty()) {
        return ToForwardSlashes(JoinPathNative(GetCurrentDirectoryPath(), "Profile"));
    }
    return ToForwardSlashes(AddTrailingSlash(found) + g_folders.application_name);
}

}  // namespace

bool CreateDirectories(const QLC_String& path) {
    if (path.IsEmpty()) {
        return false;
    }
    const QLC_String full = AddTrailingSlash(path);
    bool created = true;
    for (size_t i = 1; i < full.Length(); ++i) {
        if (full[i] == '/') {
            created = CreateDirectoryA(full.Left(i).c_str(), nullptr) != FALSE;
        }
    }
    return created;
}

bool CreateDirectoryForFile(const QLC_String& file_path) {
    return CreateDirectories(GetDirectory(file_path));
}

QLC_String GetCurrentDirectoryPath() {
    char buffer[MAX_PATH];
    const DWORD length = GetCurrentDirectoryA(MAX_PATH, buffer);
    // A longer path does not fit: the buffer was not filled.
    if (length == 0 || length >= MAX_PATH) {
        return QLC_String();
    }
    return ToForwardSlashes(QLC_String(buffer, length));
}

QLC_String GetSpecialFolder(int folder_id) {
    HMODULE library = LoadLibraryA("shfolder.dll");
    if (library == nullptr) {
        return QLC_String();
    }
    QLC_String result;
    auto get_folder_path = reinterpret_cast<GetFolderPathFunction>(
        reinterpret_cast<void*>(GetProcAddress(library, "SHGetFolderPathA")));
    if (get_folder_path != nullptr) {
        char buffer[MAX_PATH + 1] = {};
        if (get_folder_path(nullptr, folder_id | kFlagCreate, nullptr, 0, buffer) >= 0) {
            buffer[MAX_PATH] = '\0';
            result = buffer;
        }
    }
    FreeLibrary(library);
    return result;
}

bool SetApplicationFolder(const QLC_String& name) {
    if (g_folders.base_directory.IsEmpty()) {
        g_folders.base_directory = GetCurrentDirectoryPath();
    }
    g_folders.application_name = name;
    g_folders.documents = ApplicationFolderIn(kPersonal);
    g_folders.common_application_data = ApplicationFolderIn(kCommonAppData);
    g_folders.local_application_data = ApplicationFolderIn(kLocalAppData);
    g_folders.program_files = ToForwardSlashes(GetSpecialFolder(kProgramFiles));
    g_folders.common_files = ToForwardSlashes(GetSpecialFolder(kProgramFilesCommon));
    return true;
}

const QLC_ApplicationFolders& GetApplicationFolders() {
    return g_folders;
}
