#define QLD_SOURCE_FILE "Source\\System\\Assert"

#include "System/Assert.h"

#include "System/SystemServices.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Box lines stay within this many characters, terminator included.
constexpr size_t kLineWidth = 60;
// What a shortened source-file text may take on its line.
constexpr size_t kFileBudget = 52;
// A shortened program path keeps this many of its last characters, "..." in front included.
constexpr size_t kProgramKeep = 49;
constexpr char kHelpLine[] = "(Press Retry to debug the application - JIT must be enabled)";
constexpr unsigned kBoxFlags = MB_ABORTRETRYIGNORE | MB_ICONHAND | MB_TASKMODAL | MB_SETFOREGROUND;

std::string ShortenProgram(const std::string& path) {
    // "Program: " with its terminator, the path and the line break.
    if (10 + path.size() + 1 <= kLineWidth) {
        return path;
    }
    return "..." + path.substr(path.size() - (kProgramKeep - 3));
}

std::string ShortenFile(const std::string& file) {
    // "File: " with its terminator, the line break and the text.
    if (7 + 1 + file.size() <= kLineWidth) {
        return file;
    }
    const size_t separator = file.find_last_of("\\/");
    const size_t tail = separator == std::string::npos ? file.size() : file.size() - separator;
    const size_t head = file.size() - tail;
    if (head > 35 && tail < 17) {
        return file.substr(0, kFileBudget - 3 - tail) + "..." + file.substr(file.size() - tail);
    }
    if (head < 35) {
        // Half the name part is kept at the end; a very long name leaves nothing at the front.
        const size_t keep = std::min(tail / 2, kFileBudget - 3);
        return file.substr(0, kFileBudget - 3 - keep) + "..." + file.substr(file.size() - keep);
    }
    return file.substr(0, 32) + "..." + file.substr(head, 7) + "..." + file.substr(file.size() - 7);
}

void EndLikeAbort() {
    std::raise(SIGABRT);
    std::_Exit(3);
}

}  // namespace

void QLC_FormatAssertionText(char* text, const char* program, const char* file, int line,
                             const char* expression) {
    std::string box = "Assertion failed!\n\n";
    box += "Program: " + ShortenProgram(program) + "\n";
    box += "File: " + ShortenFile(file) + "\n";
    box += "Line: " + std::to_string(line) + "\n\n";
    box += "Expression: ";
    // The trailer below takes 65 characters; with the terminator the box fills at most 540.
    const size_t expression_length = std::strlen(expression);
    if (box.size() + expression_length + 66 > QLD_ASSERT_TEXT_SIZE) {
        box.append(expression, QLD_ASSERT_TEXT_SIZE - (box.size() + 69));
        box += "...";
    } else {
        box += expression;
    }
    box += "\n\n";
    box += "\n";
    box += "\n\n";
    box += kHelpLine;
    const size_t length = std::min(box.size(), QLD_ASSERT_TEXT_SIZE - 1);
    std::memcpy(text, box.data(), length);
    text[length] = '\0';
}

bool QLC_ReportAssertion(const char* expression, const char* file, int line) {
    QLC_ISystemServices* services = g_system_services;
    // Without services nobody can answer the box: the default answer ends the process.
    if (services == nullptr) {
        EndLikeAbort();
        return false;
    }
    if (services->IsLoggingEnabled()) {
        services->Report(-1, file, line, "ERROR-ASSERTION FAILURE", "ASSERT: %s", expression);
    }
    if (services->GetReportLevel() > 0) {
        return false;
    }

    char program[MAX_PATH + 1];
    const DWORD program_length = GetModuleFileNameA(nullptr, program, MAX_PATH);
    if (program_length == 0) {
        std::strcpy(program, "<program name unknown>");
    } else {
        program[program_length] = '\0';
    }
    char box[QLD_ASSERT_TEXT_SIZE];
    QLC_FormatAssertionText(box, program, file, line, expression);

    switch (services->MessageBox(box, "QL Assert", kBoxFlags)) {
        case IDABORT: {
            char fatal[1024];
            std::snprintf(fatal, sizeof(fatal), "assertion failure '%s' (%s line %d)", expression,
                          file, line);
            services->FatalError(2, file, line, fatal, nullptr);
            EndLikeAbort();
            return false;
        }
        case IDRETRY:
            services->DebugBreak();
            return false;
        case IDIGNORE:
            return true;
        default:
            EndLikeAbort();
            return false;
    }
}
