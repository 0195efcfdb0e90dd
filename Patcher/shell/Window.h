#pragma once
// A small window framework: the class's window procedure finds the object behind a window and
// turns messages into virtual operations. Each returns true when it handled the message; the
// base versions answer false, so the default window procedure runs.

#include <windows.h>

namespace Win {

class Window {
public:
    Window() = default;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    virtual ~Window() = default;

    virtual bool OnCreate(const CREATESTRUCTA* create, bool& ok) = 0;
    virtual bool OnDestroy() = 0;
    virtual bool OnSetFocus(HWND) { return false; }
    virtual bool OnSize(int, int, int) { return false; }
    virtual bool OnPaint() { return false; }
    virtual bool OnCommand(int, bool) { return false; }
    virtual bool OnControlCommand(HWND, int, int) { return false; }
    virtual bool OnInitMenuPopup(HMENU, int) { return false; }
    virtual bool OnInitSystemMenuPopup(HMENU, int) { return false; }
    virtual bool OnMenuSelect(int, int, HMENU) { return false; }
    virtual bool OnMouseMove(int, int, int) { return false; }
    virtual bool OnLButtonDown(int, int, int) { return false; }
    virtual bool OnLButtonUp(int, int, int) { return false; }
    virtual bool OnCaptureChanged(HWND) { return false; }
    virtual bool OnKeyDown(int, int) { return false; }
    virtual bool OnUserMessage(unsigned, WPARAM, LPARAM, LRESULT&) { return false; }

    HWND Handle() const { return m_handle; }
    void Attach(HWND handle) { m_handle = handle; }

private:
    HWND m_handle = nullptr;
};

// The window procedure of every class built on Window. The object comes with WM_NCCREATE as the
// creation parameter and is kept in the window's user data.
LRESULT CALLBACK WindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace Win
