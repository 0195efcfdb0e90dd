#include "shell/Window.h"

#include "patchinfo/PatchDescription.h"
#include "shell/MessagePump.h"

namespace Win {

namespace {

int SignedLow(LPARAM value) {
    return static_cast<short>(LOWORD(value));
}
int SignedHigh(LPARAM value) {
    return static_cast<short>(HIWORD(value));
}

// The first close request while the update runs is a cancel; the next one, or any close once
// the process has ended, closes the window.
bool CloseClosesWindow() {
    PatchDescription* description = g_patchDescription;
    if (!description || description->processFinished || description->cancelRequested) {
        return true;
    }
    description->cancelRequested = true;
    return false;
}

LRESULT Dispatch(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        auto* window = static_cast<Window*>(create->lpCreateParams);
        if (window) {
            window->Attach(hwnd);
        }
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window));
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
    auto* window = reinterpret_cast<Window*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (!window) {
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
    switch (message) {
        case WM_CREATE: {
            bool ok = false;
            if (window->OnCreate(reinterpret_cast<CREATESTRUCTA*>(lParam), ok)) {
                return ok ? 0 : -1;
            }
            break;
        }
        case WM_DESTROY:
            window->OnDestroy();
            return 0;
        case WM_SIZE:
            if (window->OnSize(LOWORD(lParam), HIWORD(lParam), static_cast<int>(wParam))) {
                return 0;
            }
            break;
        case WM_SETFOCUS:
            if (window->OnSetFocus(reinterpret_cast<HWND>(wParam))) {
                return 0;
            }
            break;
        case WM_PAINT:
            if (window->OnPaint()) {
                return 0;
            }
            break;
        case WM_CLOSE:
            if (!CloseClosesWindow()) {
                return 0;
            }
            break;
        case WM_KEYDOWN:
            if (window->OnKeyDown(static_cast<int>(wParam), static_cast<int>(lParam))) {
                return 0;
            }
            break;
        case WM_COMMAND: {
            bool handled = lParam == 0 ? window->OnCommand(LOWORD(wParam), HIWORD(wParam) == 1)
                                       : window->OnControlCommand(reinterpret_cast<HWND>(lParam),
                                                                  LOWORD(wParam), HIWORD(wParam));
            if (handled) {
                return 0;
            }
            break;
        }
        case WM_INITMENUPOPUP: {
            auto menu = reinterpret_cast<HMENU>(wParam);
            bool handled = HIWORD(lParam) != 0 ? window->OnInitSystemMenuPopup(menu, LOWORD(lParam))
                                               : window->OnInitMenuPopup(menu, LOWORD(lParam));
            if (handled) {
                return 0;
            }
            break;
        }
        case WM_MENUSELECT:
            if (window->OnMenuSelect(LOWORD(wParam), HIWORD(wParam),
                                     reinterpret_cast<HMENU>(lParam))) {
                return 0;
            }
            break;
        case WM_MOUSEMOVE:
            if (window->OnMouseMove(SignedLow(lParam), SignedHigh(lParam),
                                    static_cast<int>(wParam))) {
                return 0;
            }
            break;
        case WM_LBUTTONDOWN:
            if (window->OnLButtonDown(SignedLow(lParam), SignedHigh(lParam),
                                      static_cast<int>(wParam))) {
                return 0;
            }
            break;
        case WM_LBUTTONUP:
            if (window->OnLButtonUp(SignedLow(lParam), SignedHigh(lParam),
                                    static_cast<int>(wParam))) {
                return 0;
            }
            break;
        case WM_CAPTURECHANGED:
            if (window->OnCaptureChanged(reinterpret_cast<HWND>(lParam))) {
                return 0;
            }
            break;
        default:
            if (message >= WM_USER) {
                LRESULT result = 0;
                if (window->OnUserMessage(message, wParam, lParam, result)) {
                    return result;
                }
            }
            break;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace

LRESULT CALLBACK WindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        return Dispatch(hwnd, message, wParam, lParam);
    } catch (...) {
        DeferException();
        return 0;
    }
}

}  // namespace Win
