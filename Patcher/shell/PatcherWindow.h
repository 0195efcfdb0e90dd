#pragma once
// The utility's main window. It owns the controls, the command table and the one
// PatchDescription for the whole run.

#include "Utility/String.h"
#include "patchinfo/PatchDescription.h"
#include "shell/CommandTable.h"
#include "shell/Window.h"

class MainPanel;

class PatcherWindow : public Win::Window {
public:
    explicit PatcherWindow(const char* commandLine);
    ~PatcherWindow() override;

    bool OnCreate(const CREATESTRUCTA* create, bool& ok) override;
    bool OnDestroy() override;
    bool OnSetFocus(HWND previousFocus) override;
    bool OnSize(int width, int height, int sizeType) override;
    bool OnCommand(int commandId, bool fromAccelerator) override;
    bool OnControlCommand(HWND control, int controlId, int notifyCode) override;
    bool OnInitMenuPopup(HMENU menu, int position) override;
    bool OnMenuSelect(int item, int flags, HMENU menu) override;

private:
    WindowContext* context = nullptr;
    CommandTable* commands = nullptr;
    MainPanel* panel = nullptr;
    PatchDescription description;
    QLC_String commandLine;
};

// The window class every main window is made from.
extern const char* const kPatcherClassName;
