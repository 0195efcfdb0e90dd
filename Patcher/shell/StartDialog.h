#pragma once
// The start dialog: tells what will be updated and where, lets the user point at the
// installation, and decides whether the update runs (result 1) or not (0).

#include "shell/Dialog.h"

enum StartDialogControl { ID_SPECIFY_FOLDER = 1001, ID_INTRO_TEXT = 1002 };

class StartDialog : public Win::Dialog {
public:
    void OnInitDialog() override;
    bool OnCommand(int id, int notifyCode) override;
    void OnAccept() override { EndDialog(Handle(), 1); }
    void OnCancel() override { EndDialog(Handle(), 0); }
};
