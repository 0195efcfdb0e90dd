#include "RecordingServices.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <iterator>

#include <gtest/gtest.h>

namespace {

std::string FormatArgs(const char* format, va_list args) {
    char text[4096];
    std::vsnprintf(text, sizeof(text), format, args);
    return text;
}

}  // namespace

RecordingServices::RecordingServices() : m_previous(g_system_services) {
    g_system_services = this;
}

RecordingServices::~RecordingServices() {
    g_system_services = m_previous;
}

std::vector<RecordedCall> RecordingServices::Of(const std::string& kind) const {
    std::vector<RecordedCall> found;
    std::copy_if(calls.begin(), calls.end(), std::back_inserter(found),
                 [&](const RecordedCall& call) { return call.kind == kind; });
    return found;
}

RecordedCall RecordingServices::Only(const std::string& kind) const {
    const std::vector<RecordedCall> found = Of(kind);
    EXPECT_EQ(found.size(), 1u) << "calls of kind " << kind;
    return found.size() == 1 ? found[0] : RecordedCall{};
}

bool RecordingServices::Has(const std::string& kind, const std::string& text) const {
    return std::any_of(calls.begin(), calls.end(), [&](const RecordedCall& call) {
        return call.kind == kind && call.text == text;
    });
}

void RecordingServices::Record(const char* kind, int channel, const char* file, int line,
                               const char* function, const std::string& text) {
    calls.push_back({kind, channel, file != nullptr ? file : "", line,
                     function != nullptr ? function : "", text});
}

void RecordingServices::NotifyError(int code) {
    Record("NotifyError", code, nullptr, 0, nullptr, "");
}

void RecordingServices::Warning(const char* file, int line, const char* function,
                                const char* text) {
    Record("Warning", 0, file, line, function, text);
}

void RecordingServices::ReportLeak(const char* file, int line, const char* function,
                                   const char* format, ...) {
    va_list args;
    va_start(args, format);
    Record("ReportLeak", 0, file, line, function, FormatArgs(format, args));
    va_end(args);
}

void RecordingServices::Trace(const char* file, int line, const char* function, const char* format,
                              ...) {
    va_list args;
    va_start(args, format);
    Record("Trace", 0, file, line, function, FormatArgs(format, args));
    va_end(args);
}

void RecordingServices::Report(int channel, const char* file, int line, const char* function,
                               const char* format, ...) {
    va_list args;
    va_start(args, format);
    Record("Report", channel, file, line, function, FormatArgs(format, args));
    va_end(args);
}

void RecordingServices::FatalError(int code, const char* file, int line, const char* text, void*) {
    Record("FatalError", code, file, line, nullptr, text);
}

void RecordingServices::DescribeException(char* text, size_t capacity, EXCEPTION_POINTERS*) {
    std::snprintf(text, capacity, "described");
}

void RecordingServices::OnCreateFile(const char* path) {
    created_files.push_back(path);
    QLC_DefaultSystemServices::OnCreateFile(path);
}

bool RecordingServices::ShouldKeepWaiting() {
    Record("ShouldKeepWaiting", 0, nullptr, 0, nullptr, "");
    if (keep_waiting_count > 0) {
        --keep_waiting_count;
        return true;
    }
    return false;
}

int RecordingServices::MessageBox(const char* text, const char*, unsigned flags) {
    Record("MessageBox", static_cast<int>(flags), nullptr, 0, nullptr, text);
    return message_box_answer;
}

HANDLE RecordingServices::FindFirstFile(const char* pattern, WIN32_FIND_DATAA* data) {
    ++find_calls;
    return QLC_DefaultSystemServices::FindFirstFile(pattern, data);
}

bool RecordingServices::FindNextFile(HANDLE find, WIN32_FIND_DATAA* data) {
    ++find_calls;
    return QLC_DefaultSystemServices::FindNextFile(find, data);
}
