// The utility's entry point: builds the main window (whose creation lists the patch), asks the
// user with the start dialog, runs the update in place and keeps the window alive until closed.

#include <windows.h>

#include "System/FileException.h"
#include "System/SystemServices.h"
#include "System/WinException.h"
#include "patching/PatchProcess.h"
#include "resources/ResourceIds.h"
#include "shell/ErrorBoxes.h"
#include "shell/MessagePump.h"
#include "shell/PatcherWindow.h"
#include "shell/StartDialog.h"
#include "text/MessageText.h"

namespace {

const int kWindowWidth = 600;
const int kWindowHeight = 416;
// Shared with the log pane's background.
const COLORREF kWindowBackground = 0xD8E9EC;

HICON LoadIconSized(HINSTANCE instance, int widthMetric, int heightMetric) {
    return static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_TESSALY), IMAGE_ICON,
                                         GetSystemMetrics(widthMetric),
                                         GetSystemMetrics(heightMetric), LR_DEFAULTCOLOR));
}

// Owns the icons so that every way out of WinMain releases them, small one first.
struct Icons {
    HICON large = nullptr;
    HICON small = nullptr;
    ~Icons() {
        if (small) {
            DestroyIcon(small);
        }
        if (large) {
            DestroyIcon(large);
        }
    }
};

int Run(HINSTANCE instance, const char* arguments, int showCommand, HMODULE richEdit) {
    Icons icons;
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_VREDRAW | CS_HREDRAW;
    windowClass.lpfnWndProc = Win::WindowProcedure;
    windowClass.hInstance = instance;
    icons.large = LoadIconSized(instance, SM_CXICON, SM_CYICON);
    icons.small = LoadIconSized(instance, SM_CXSMICON, SM_CYSMICON);
    if (!icons.large || !icons.small) {
        throw "Icon load image failed";
    }
    windowClass.hIcon = icons.large;
    windowClass.hIconSm = icons.small;
    windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
    windowClass.hbrBackground = CreateSolidBrush(kWindowBackground);
    windowClass.lpszClassName = kPatcherClassName;
    if (!RegisterClassExA(&windowClass)) {
        throw "RegisterClass failed";
    }

    int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    PatcherWindow window(arguments);
    StartDialog dialog;
    QLC_String title = LoadMessage(MSG_TITLE);
    HWND mainWindow =
        CreateWindowExA(0, kPatcherClassName, title.c_str(), WS_OVERLAPPEDWINDOW,
                        (screenWidth - kWindowWidth) / 2, (screenHeight - kWindowHeight) / 2,
                        kWindowWidth, kWindowHeight, nullptr, nullptr, instance, &window);
    if (!mainWindow) {
        throw "Window Creation Failed";
    }

    auto dialogInstance =
        reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(mainWindow, GWLP_HINSTANCE));
    INT_PTR answer = DialogBoxParamA(dialogInstance, MAKEINTRESOURCEA(IDD_START), mainWindow,
                                     Win::DialogProcedure, reinterpret_cast<LPARAM>(&dialog));
    try {
        if (answer == -1 || answer == 0) {
            DestroyWindow(mainWindow);
        } else {
            ShowWindow(mainWindow, showCommand);
            UpdateWindow(mainWindow);
            RunPatchProcess(*g_patchDescription);
        }
        while (PumpMessages()) {
            // Idle until a message arrives; the pump itself never waits.
            WaitMessage();
        }
    } catch (const Win::ExitException&) {
        // The user quit while the engine ran: end like a normal quit.
    }
    FreeLibrary(richEdit);
    return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR arguments, int showCommand) {
    QLC_InstallSystemServices(new QLC_DefaultSystemServices);
    HMODULE richEdit = LoadLibraryA("Riched20.dll");
    try {
        return Run(instance, arguments ? arguments : "", showCommand, richEdit);
    } catch (const char* text) {
        ShowInternalError(text);
    } catch (const QLC_FileException& error) {
        MessageBoxA(nullptr, error.Message(), "File Error", MB_ICONERROR);
    }
    return 1;
}
