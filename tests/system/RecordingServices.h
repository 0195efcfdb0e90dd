// A services object for tests: records every diagnostic with its location, function and channel,
// and answers the host decisions as the test sets them. Installed for the lifetime of the object.
#pragma once

#include "System/SystemServices.h"

#include <string>
#include <vector>

struct RecordedCall {
    std::string kind;  // "Trace", "Report", "Warning", "ReportLeak", "FatalError", ...
    int channel = 0;
    std::string file;
    int line = 0;
    std::string function;
    std::string text;
};

class RecordingServices : public QLC_DefaultSystemServices {
public:
    RecordingServices();
    ~RecordingServices() override;

    // Answers.
    int report_level = 0;
    int message_box_answer = IDIGNORE;
    // ShouldKeepWaiting answers true this many times, then false.
    int keep_waiting_count = 0;
    uint32_t time = 0;

    std::vector<RecordedCall> calls;
    std::vector<std::string> created_files;
    std::vector<QLC_Pool*> unregistered_pools;
    int debug_breaks = 0;
    int find_calls = 0;

    // Calls of one kind, and whether one of them carries exactly this text.
    std::vector<RecordedCall> Of(const std::string& kind) const;
    // The one call of this kind; the test fails when there is not exactly one.
    RecordedCall Only(const std::string& kind) const;
    bool Has(const std::string& kind, const std::string& text) const;

    void NotifyError(int code) override;
    void Warning(const char* file, int line, const char* function, const char* text) override;
    void ReportLeak(const char* file, int line, const char* function, const char* format,
                    ...) override;
    void Trace(const char* file, int line, const char* function, const char* format, ...) override;
    void Report(int channel, const char* file, int line, const char* function, const char* format,
                ...) override;
    void FatalError(int code, const char* file, int line, const char* text, void* extra) override;
    void DescribeException(char* text, size_t capacity, EXCEPTION_POINTERS* pointers) override;
    int GetReportLevel() override { return report_level; }
    void OnCreateFile(const char* path) override;
    void UnregisterPool(QLC_Pool* pool) override { unregistered_pools.push_back(pool); }
    uint32_t GetTime() override { return time; }
    bool ShouldKeepWaiting() override;
    int MessageBox(const char* text, const char* caption, unsigned flags) override;
    void DebugBreak() override { ++debug_breaks; }
    HANDLE FindFirstFile(const char* pattern, WIN32_FIND_DATAA* data) override;
    bool FindNextFile(HANDLE find, WIN32_FIND_DATAA* data) override;

private:
    void Record(const char* kind, int channel, const char* file, int line, const char* function,
                const std::string& text);
    QLC_ISystemServices* m_previous;
};
