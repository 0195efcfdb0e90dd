// uidrive: the UI driver as a command, for scripts such as the demo. It starts a program and
// runs steps against it in order; any step that fails ends it with status 2.
//
//   uidrive [--cwd DIR] PROGRAM [ARGUMENTS] -- STEP...
//
// Steps (times in seconds, default 30):
//   window TITLE            make the visible top-level window with this title current
//   window-class CLASS      make the visible top-level window of this class current
//   text ID                 print the text of control ID of the current window
//   lines ID                print the lines of control ID (for example the log pane, 16)
//   click ID                press button ID of the current window
//   answer-until ID CAPTION BUTTON [T]
//                           until control ID is visible, answer every message box CAPTION
//                           that comes with button BUTTON (printing its text)
//   close                   send the current window a close request
//   echo TEXT               print TEXT (marks a place in the output for scripts)
//   touch FILE              create FILE (tells a script that a moment has come)
//   wait-file FILE [T]      wait until FILE exists (the script has done its part)
//   exit [T]                wait for the program to end; uidrive exits with its status

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "UiDriver.h"

namespace {

int Seconds(const std::vector<std::string>& args, size_t index) {
    return index < args.size() ? std::atoi(args[index].c_str()) : 30;
}

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "uidrive: %s\n", what.c_str());
    std::exit(2);
}

}  // namespace

int main(int argc, char** argv) {
    ui::LaunchOptions options;
    int i = 1;
    for (; i < argc && argv[i][0] == '-' && argv[i][1] == '-'; i += 2) {
        if (std::strcmp(argv[i], "--cwd") != 0) {
            Fail(std::string("unknown option ") + argv[i]);
        }
        if (i + 1 >= argc) {
            Fail("missing value after --cwd");
        }
        options.workingDirectory = ui::HostToWindowsPath(argv[i + 1]);
    }
    if (i >= argc) {
        Fail("usage: uidrive [--cwd DIR] PROGRAM [ARGUMENTS] -- STEP...");
    }
    options.program = ui::HostToWindowsPath(argv[i++]);
    for (; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        options.arguments += (options.arguments.empty() ? "" : " ") + std::string(argv[i]);
    }
    std::vector<std::string> steps(argv + (i < argc ? i + 1 : i), argv + argc);

    auto app = ui::App::Launch(options);
    HWND current = nullptr;
    auto control = [&](const std::string& id) {
        if (!current) {
            Fail("no current window for control " + id);
        }
        HWND found = ui::FindControl(current, std::atoi(id.c_str()));
        if (!found) {
            Fail("no control " + id);
        }
        return found;
    };
    for (size_t s = 0; s < steps.size(); ++s) {
        const std::string& step = steps[s];
        std::vector<std::string> args;
        auto take = [&](size_t count) {
            for (size_t k = 0; k < count && s + 1 < steps.size(); ++k) {
                args.push_back(steps[++s]);
            }
        };
        auto takeOptionalSeconds = [&] {
            if (s + 1 < steps.size() && std::atoi(steps[s + 1].c_str()) > 0) {
                take(1);
            }
        };
        if (step == "window" || step == "window-class") {
            take(1);
            const bool byTitle = step == "window";
            current = app->WaitForWindow(
                {byTitle ? args.at(0) : "", byTitle ? "" : args.at(0), true}, 30000);
            if (!current) {
                Fail(std::string(byTitle ? "no window titled" : "no window of class") + " \"" +
                     args.at(0) + "\"");
            }
        } else if (step == "text") {
            take(1);
            std::printf("%s\n", ui::Text(control(args.at(0))).c_str());
        } else if (step == "lines") {
            take(1);
            for (const auto& line : ui::Lines(control(args.at(0)))) {
                std::printf("%s\n", line.c_str());
            }
        } else if (step == "click") {
            take(1);
            ui::ClickId(current, std::atoi(args.at(0).c_str()));
        } else if (step == "answer-until") {
            take(3);
            takeOptionalSeconds();
            HWND target = control(args.at(0));
            HWND lastBox = nullptr;  // a box answered a moment ago may not be gone yet
            auto answered = [&] {
                auto box = app->WaitForMessageBox(args.at(1), 0);
                if (box && box->handle != lastBox) {
                    lastBox = box->handle;
                    std::printf("[%s] %s\n", box->caption.c_str(), box->text.c_str());
                    std::fflush(stdout);
                    ui::ClickId(box->handle, std::atoi(args.at(2).c_str()));
                }
                return ui::IsVisible(target);
            };
            if (!ui::WaitUntil(answered, Seconds(args, 3) * 1000)) {
                Fail("control " + args.at(0) + " never became visible");
            }
        } else if (step == "close") {
            ui::Close(current);
        } else if (step == "echo") {
            take(1);
            std::printf("%s\n", args.at(0).c_str());
        } else if (step == "touch") {
            take(1);
            HANDLE file = CreateFileA(ui::HostToWindowsPath(args.at(0)).c_str(), GENERIC_WRITE, 0,
                                      nullptr, CREATE_ALWAYS, 0, nullptr);
            if (file == INVALID_HANDLE_VALUE) {
                Fail("cannot create " + args.at(0));
            }
            CloseHandle(file);
        } else if (step == "wait-file") {
            take(1);
            takeOptionalSeconds();
            std::string path = ui::HostToWindowsPath(args.at(0));
            if (!ui::WaitUntil(
                    [&] { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; },
                    Seconds(args, 1) * 1000)) {
                Fail("timed out waiting for " + args.at(0));
            }
        } else if (step == "exit") {
            takeOptionalSeconds();
            auto code = app->WaitForExit(Seconds(args, 0) * 1000);
            if (!code) {
                Fail("the program did not end");
            }
            std::printf("exit status %lu\n", static_cast<unsigned long>(*code));
            std::fflush(stdout);
            return static_cast<int>(*code);
        } else {
            Fail("unknown step " + step);
        }
        std::fflush(stdout);
    }
    return 0;
}
