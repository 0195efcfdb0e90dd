#include "shell/StartDialog.h"

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
        default:
            // Specify Folder arrives with the installation search.
            return false;
    }
}
