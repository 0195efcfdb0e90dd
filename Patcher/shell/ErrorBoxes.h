#pragma once
// The error boxes of the application shell.

#include <windows.h>

// The main window once it exists: owner of the "Patcher Error" boxes.
extern HWND g_mainWindow;

// MessageBoxA(g_mainWindow, text, "Patcher Error", MB_ICONERROR).
void ShowPatcherError(const char* text);

// MessageBoxA(null, text, "Internal error", MB_ICONERROR): start-up failures.
void ShowInternalError(const char* text);
