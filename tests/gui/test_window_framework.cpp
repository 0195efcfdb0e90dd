// The window framework and the message pump, in-process: the close rule, dispatch to the
// object, and the pump's behaviour around WM_QUIT and exceptions.

#include <gtest/gtest.h>

#include <stdexcept>

#include "patchinfo/PatchDescription.h"
#include "shell/MessagePump.h"
#include "shell/Window.h"

namespace {

class RecordingWindow : public Win::Window {
public:
    bool OnCreate(const CREATESTRUCTA*, bool& ok) override {
        ok = createSucceeds;
        return true;
    }
    bool OnDestroy() override {
        destroyed = true;
        return true;
    }
    bool OnSize(int width, int height, int) override {
        if (throwOnSize) {
            throw std::runtime_error("from a handler");
        }
        lastWidth = width;
        lastHeight = height;
        return true;
    }
    bool OnUserMessage(unsigned message, WPARAM, LPARAM, LRESULT& result) override {
        result = static_cast<LRESULT>(message) + 1;
        return true;
    }

    bool createSucceeds = true;
    bool throwOnSize = false;
    bool destroyed = false;
    int lastWidth = -1;
    int lastHeight = -1;
};

const char* RegisterTestClass() {
    static const char* name = [] {
        WNDCLASSEXA windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = Win::WindowProcedure;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "FrameworkTestClass";
        RegisterClassExA(&windowClass);
        return "FrameworkTestClass";
    }();
    return name;
}

HWND Create(RecordingWindow& object) {
    return CreateWindowExA(0, RegisterTestClass(), "test", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                           nullptr, nullptr, GetModuleHandleA(nullptr), &object);
}

}  // namespace

TEST(WindowFramework, MessagesReachTheObjectBehindTheWindow) {
    RecordingWindow object;
    HWND window = Create(object);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(object.Handle(), window);
    SendMessageA(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(321, 123));
    EXPECT_EQ(object.lastWidth, 321);
    EXPECT_EQ(object.lastHeight, 123);
    EXPECT_EQ(SendMessageA(window, WM_USER + 5, 0, 0), WM_USER + 6);
    DestroyWindow(window);
    EXPECT_TRUE(object.destroyed);
}

TEST(WindowFramework, AFailedCreateFailsTheWindowCreation) {
    RecordingWindow object;
    object.createSucceeds = false;
    EXPECT_EQ(Create(object), nullptr);
}

TEST(WindowFramework, TheFirstCloseWhileTheUpdateRunsIsACancel) {
    PatchDescription description;
    RecordingWindow object;
    HWND window = Create(object);
    ASSERT_NE(window, nullptr);
    SendMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(description.cancelRequested);
    EXPECT_TRUE(IsWindow(window));
    SendMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(window));
}

TEST(WindowFramework, OnceTheProcessHasFinishedACloseClosesAtOnce) {
    PatchDescription description;
    description.processFinished = true;
    RecordingWindow object;
    HWND window = Create(object);
    ASSERT_NE(window, nullptr);
    SendMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(description.cancelRequested);
}

// Runs last in this program: once the quit has been seen, the pump is done for good.
TEST(MessagePumpZ, AnExceptionFromAHandlerLeavesThroughThePump) {
    RecordingWindow object;
    HWND window = Create(object);
    ASSERT_NE(window, nullptr);
    object.throwOnSize = true;
    PostMessageA(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(1, 1));
    EXPECT_THROW(PumpMessages(), std::runtime_error);
    object.throwOnSize = false;
    EXPECT_TRUE(PumpMessages());
    DestroyWindow(window);
}

TEST(MessagePumpZ, AnswersFalseForEverAfterTheQuitMessage) {
    EXPECT_TRUE(PumpMessages());
    PostQuitMessage(0);
    EXPECT_FALSE(PumpMessages());
    EXPECT_TRUE(QuitSeen());
    // Later calls leave the queue alone.
    PostThreadMessageA(GetCurrentThreadId(), WM_USER + 1, 0, 0);
    EXPECT_FALSE(PumpMessages());
    MSG msg;
    EXPECT_TRUE(PeekMessageA(&msg, nullptr, WM_USER + 1, WM_USER + 1, PM_NOREMOVE));
}
