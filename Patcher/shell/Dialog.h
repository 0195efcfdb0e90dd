#pragma once
// Modal dialogs: the dialog procedure finds the object (handed over with WM_INITDIALOG) and
// turns commands into virtual operations.

#include <windows.h>

namespace Win {

class Dialog {
public:
    Dialog() = default;
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;
    virtual ~Dialog() = default;

    virtual void OnInitDialog() {}
    // True when the command was handled.
    virtual bool OnCommand(int, int) { return false; }
    virtual void OnAccept() = 0;
    virtual void OnCancel() = 0;

    HWND Handle() const { return m_handle; }
    void Attach(HWND handle) { m_handle = handle; }

private:
    HWND m_handle = nullptr;
};

// Given to DialogBoxParamA with the Dialog object as the initialisation parameter.
INT_PTR CALLBACK DialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace Win
