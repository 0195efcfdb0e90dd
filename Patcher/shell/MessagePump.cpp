#include "shell/MessagePump.h"

#include <windows.h>

#include <exception>

namespace {
bool g_quitSeen = false;
std::exception_ptr g_deferred;

void RethrowDeferred() {
    if (g_deferred) {
        std::exception_ptr pending = g_deferred;
        g_deferred = nullptr;
        std::rethrow_exception(pending);
    }
}
}  // namespace

void DeferException() {
    if (!g_deferred) {
        g_deferred = std::current_exception();
    }
}

bool QuitSeen() {
    return g_quitSeen;
}

bool PumpMessages() {
    if (g_quitSeen) {
        return false;
    }
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        // A handler dispatched below may itself have pumped and taken the quit message.
        if (g_quitSeen) {
            return false;
        }
        if (msg.message == WM_QUIT) {
            g_quitSeen = true;
            return false;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
        RethrowDeferred();
    }
    // A handler dispatched above (the Error Report, say) may have pumped and taken the quit
    // message itself: the queue is then empty for good and the caller must not wait on it.
    return !g_quitSeen;
}
