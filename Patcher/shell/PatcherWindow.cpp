#include "shell/PatcherWindow.h"

#include "System/Exception.h"
#include "System/WinException.h"
#include "patchinfo/Settings.h"
#include "report/ErrorReport.h"
#include "shell/ErrorBoxes.h"
#include "shell/MainPanel.h"

const char* const kPatcherClassName = "PatcherClass";

PatcherWindow::PatcherWindow(const char* text) : commandLine(text) {}

PatcherWindow::~PatcherWindow() {
    commandLine = QLC_String();
    // The description goes with the object; the controls it points at go first.
    description.SetView(nullptr);
    delete panel;
    delete commands;
    delete context;
}

bool PatcherWindow::OnCreate(const CREATESTRUCTA*, bool& ok) {
    try {
        context = new WindowContext{Handle(), &description};
        commands = new CommandTable(g_applicationCommands, g_applicationCommandCount, context);
        panel = new MainPanel(Handle());
        description.SetView(panel);
        ReadSettings(QLC_String(commandLine));
        ok = true;
        g_mainWindow = Handle();
    } catch (const Win::Exception& error) {
        ShowPatcherError(error.Message().c_str());
    } catch (...) {
        MessageBoxA(g_mainWindow, "Internal Error:\nFailure to initialize.", "Patcher Error",
                    MB_ICONERROR);
    }
    return true;
}

bool PatcherWindow::OnDestroy() {
    PostQuitMessage(0);
    return true;
}

bool PatcherWindow::OnSetFocus(HWND) {
    return true;
}

bool PatcherWindow::OnSize(int width, int height, int sizeType) {
    if (sizeType != SIZE_MINIMIZED && panel) {
        panel->Layout(width, height);
    }
    return true;
}

bool PatcherWindow::OnCommand(int commandId, bool) {
    try {
        if (commands) {
            commands->Dispatch(commandId);
        }
    } catch (const Win::ExitException&) {
        DestroyWindow(Handle());
    } catch (const Win::Exception& error) {
        ShowPatcherError(error.Message().c_str());
    }
    return true;
}

bool PatcherWindow::OnControlCommand(HWND, int controlId, int) {
    switch (controlId) {
        case ID_OK_BUTTON:
            DestroyWindow(Handle());
            return false;
        case ID_CANCEL_BUTTON:
            description.cancelRequested = true;
            return false;
        case ID_REPORT_BUTTON:
            RunErrorReport(*g_patchDescription);
            return false;
        case IDOK:
            return true;
        default:
            return false;
    }
}

bool PatcherWindow::OnInitMenuPopup(HMENU, int) {
    return true;
}

bool PatcherWindow::OnMenuSelect(int, int flags, HMENU) {
    if (flags == 0xFFFF) {
        return true;
    }
    if (flags & (MF_SYSMENU | MF_SEPARATOR)) {
        return false;
    }
    return !(flags & MF_POPUP);
}
