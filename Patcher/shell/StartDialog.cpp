#include "shell/StartDialog.h"

#include <commdlg.h>

#include <cstring>

#include "System/Folders.h"
#include "System/Path.h"
#include "install/InstallFolder.h"
#include "patchinfo/PatchDescription.h"
#include "patching/InterruptedUpdate.h"
#include "text/MessageText.h"

namespace {

// What the dialog says of a known installation. One an update was interrupted in gets no
// verdict yet: OK first completes that update.
QLC_String FolderText(PatchDescription& description) {
    if (!InterruptedUpdatePending(description.installFolder)) {
        return description.IntroText(0);
    }
    return QLC_String::Format(
        LoadMessage(MSG_INTERRUPTED_UPDATE_FOUND).c_str(), LoadMessage(MSG_PRODUCT_NAME).c_str(),
        ToBackslashes(description.installFolder).c_str(), description.toVersion.c_str());
}

}  // namespace

void StartDialog::OnInitDialog() {
    PatchDescription& description = *g_patchDescription;
    SetWindowTextA(Handle(), LoadMessage(MSG_TITLE).c_str());
    if (!description.hasVersionsLine) {
        SetDlgItemTextA(Handle(), ID_INTRO_TEXT, LoadMessage(MSG_NO_TARGET_VERSION).c_str());
        ShowWindow(GetDlgItem(Handle(), IDOK), SW_HIDE);
    } else {
        FindInstallFolder(description);
        QLC_String text = description.installFolder.IsEmpty() ? description.IntroText(2)
                                                              : FolderText(description);
        SetDlgItemTextA(Handle(), ID_INTRO_TEXT, text.c_str());
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
    SetDlgItemTextA(Handle(), ID_INTRO_TEXT, FolderText(description).c_str());
    ShowWindow(GetDlgItem(Handle(), IDOK), SW_SHOW);
}
