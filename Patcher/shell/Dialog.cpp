#include "shell/Dialog.h"

#include "System/WinException.h"

namespace Win {

INT_PTR CALLBACK DialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        if (message == WM_INITDIALOG) {
            auto* object = reinterpret_cast<Dialog*>(lParam);
            SetWindowLongPtrA(dialog, GWLP_USERDATA, lParam);
            if (object) {
                object->Attach(dialog);
                object->OnInitDialog();
            }
            return TRUE;
        }
        if (message == WM_COMMAND) {
            auto* object = reinterpret_cast<Dialog*>(GetWindowLongPtrA(dialog, GWLP_USERDATA));
            return object && object->OnCommand(LOWORD(wParam), HIWORD(wParam)) ? TRUE : FALSE;
        }
    } catch (const Win::Exception& error) {
        // The exception's text is the caption; the dialog stays open as it was.
        MessageBoxA(dialog, "Unexpected error", error.Message().c_str(), MB_ICONERROR);
    }
    return FALSE;
}

}  // namespace Win
