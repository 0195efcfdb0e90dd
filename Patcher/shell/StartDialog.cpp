#include "shell/StartDialog.h"

#include <commdlg.h>

#include <cstring>

#include "System/Folders.h"
#include "System/Path.h"
#include "install/InstallFolder.h"
#include "patchinfo/PatchDescription.h"
#include "text/MessageText.h"

void StartDialog::OnInitDialog() {
    PatchDescription& description = *g_patchDescription;
    SetWindowTextA(Handle(), LoadMessage(MSG_TITLE).c_str());
    if (!description.hasVersionsLine) {
        SetDlgItemTextA(Handle(), ID_INTRO_TEXT, LoadMessage(MSG_NO_TARGET_VERSION).c_str());
        ShowWindow(GetDlgItem(Handle(), IDOK), SW_HIDE);
    } else {
        FindInstallFolder(description);
        int mode = description.installFolder.IsEmpty() ? 2 : 0;
        SetDlgItemTextA(Handle(), ID_INTRO_TEXT, description.IntroText(mode).c_str());
    }
    if (description.installFolder.IsEmpty()) {
        ShowWindow(GetDlgItem(Handle(), IDOK), SW_HIDE);
    }
}

bool StartDialog::OnCommand(int id, int) {
    switch (id) {
        case IDOK:
            OnAccept();
            return true;
        case IDCANCEL:
            OnCancel();
            return true;
        case ID_SPECIFY_FOLDER:
            SpecifyFolder();
            return false;
        default:
            return false;
    }
}

void StartDialog::SpecifyFolder() {
    PatchDescription& description = *g_patchDescription;
    // The filter's one entry and the preset file name are both the identifying file's name.
    char filter[MAX_PATH] = {};
    char file[MAX_PATH] = {};
    std::strncpy(filter, description.versionFileName.c_str(), MAX_PATH - 2);
    std::strncpy(file, description.versionFileName.c_str(), MAX_PATH - 1);
    QLC_String title = QLC_String::Format(LoadMessage(MSG_SELECT_FILE).c_str(),
                                          description.versionFileName.c_str());
    OPENFILENAMEA box{};
    box.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    box.hwndOwner = Handle();
    box.lpstrFilter = filter;
    box.lpstrFile = file;
    box.nMaxFile = MAX_PATH;
    box.lpstrTitle = title.c_str();
    box.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;

    // The box may change the working directory; the search for the game relies on it.
    QLC_String workingDirectory = GetCurrentDirectoryPath();
    BOOL chosen = GetOpenFileNameA(&box);
    SetCurrentDirectoryA(workingDirectory.c_str());
    if (!chosen) {
        return;
    }
    description.installFolder = GetDirectory(file);
    SetDlgItemTextA(Handle(), ID_INTRO_TEXT, description.IntroText(0).c_str());
    ShowWindow(GetDlgItem(Handle(), IDOK), SW_SHOW);
}
