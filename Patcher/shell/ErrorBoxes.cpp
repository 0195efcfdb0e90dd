#include "shell/ErrorBoxes.h"

HWND g_mainWindow = nullptr;

void ShowPatcherError(const char* text) {
    MessageBoxA(g_mainWindow, text, "Patcher Error", MB_ICONERROR);
}

void ShowInternalError(const char* text) {
    MessageBoxA(nullptr, text, "Internal error", MB_ICONERROR);
}
