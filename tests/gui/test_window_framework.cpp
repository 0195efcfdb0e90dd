// The window framework and the message pump, in-process: dispatch to the object, and the pump's
// behaviour around WM_QUIT and exceptions. The close rule and the messages the utility's own
// window handles (size, destroy) are driven on that window by the GUI and end-to-end runs.

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
    bool OnDestroy() override { return true; }
    bool OnSize(int, int, int) override {
        if (throwOnSize) {
            throw std::runtime_error("from a handler");
        }
        return true;
    }
    bool OnUserMessage(unsigned message, WPARAM, LPARAM, LRESULT& result) override {
        result = static_cast<LRESULT>(message) + 1;
        return true;
    }

    bool createSucceeds = true;
    bool throwOnSize = false;
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

TEST(WindowFramework, AUserMessageReachesTheObjectAndItsResultComesBack) {
    RecordingWindow object;
    HWND window = Create(object);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(object.Handle(), window);
    EXPECT_EQ(SendMessageA(window, WM_USER + 5, 0, 0), WM_USER + 6);
    DestroyWindow(window);
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
