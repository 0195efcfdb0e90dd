// The host-services object: every diagnostic of the foundation library (traces, warnings, leak
// lists, assertion and fatal reports) and a few host decisions (message boxes, time, wait policy,
// file-search primitives, process exit) go through it.
#pragma once

// The interface names some operations after Win32 calls; windows.h is included first so that its
// A-suffix macros rename them the same way in every translation unit.
#include <windows.h>

#include <cstdint>

class QLC_Pool;

#if defined(__GNUC__)
#define QLD_PRINTF(fmt_index, first_arg) __attribute__((format(gnu_printf, fmt_index, first_arg)))
#else
#define QLD_PRINTF(fmt_index, first_arg)
#endif

class QLC_ISystemServices {
public:
    virtual ~QLC_ISystemServices() = default;

    // Gates the detailed assertion and pool reports.
    virtual bool IsLoggingEnabled() = 0;
    // Told about an unhandled exception before it is reported.
    virtual void NotifyError(int code) = 0;
    // Free-form output for the host's own log.
    virtual void Print(const char* format, ...) QLD_PRINTF(2, 3) = 0;
    virtual void Warning(const char* file, int line, const char* function, const char* text) = 0;
    virtual void ReportLeak(const char* file, int line, const char* function, const char* format,
                            ...) QLD_PRINTF(5, 6) = 0;
    // Free-form output meant for a debugger.
    virtual void DebugPrint(const char* format, ...) QLD_PRINTF(2, 3) = 0;
    virtual void Trace(const char* file, int line, const char* function, const char* format, ...)
        QLD_PRINTF(5, 6) = 0;
    // Free-form output meant for the user's console, if any.
    virtual void ConsolePrint(const char* format, ...) QLD_PRINTF(2, 3) = 0;
    // channel -1 is the default channel; function may name a category instead.
    virtual void Report(int channel, const char* file, int line, const char* function,
                        const char* format, ...) QLD_PRINTF(6, 7) = 0;
    // extra: the exception pointers of an unhandled exception, or null.
    virtual void FatalError(int code, const char* file, int line, const char* text,
                            void* extra) = 0;
    // Writes a one-line description of the exception into text (at most capacity bytes).
    virtual void DescribeException(char* text, size_t capacity, EXCEPTION_POINTERS* pointers) = 0;
    // A positive level suppresses the assertion box.
    virtual int GetReportLevel() = 0;
    // Called before a disk file is created.
    virtual void OnCreateFile(const char* path) = 0;
    virtual void UnregisterPool(QLC_Pool* pool) = 0;
    virtual QLC_Pool* GetNodePool() = 0;
    virtual void ReleaseNodePool() = 0;
    // Whether the host runs without a user to answer boxes.
    virtual bool IsUnattended() = 0;
    virtual uint32_t GetTime() = 0;
    // Whether a mutex wait that timed out goes on waiting.
    virtual bool ShouldKeepWaiting() = 0;
    virtual int MessageBox(const char* text, const char* caption, unsigned flags) = 0;
    virtual void DebugBreak() = 0;
    virtual void Exit(int code) = 0;
    virtual void QuickExit(int code) = 0;
    virtual void FindClose(HANDLE find) = 0;
    virtual HANDLE FindFirstFile(const char* pattern, WIN32_FIND_DATAA* data) = 0;
    virtual bool FindNextFile(HANDLE find, WIN32_FIND_DATAA* data) = 0;
    // Told when a thread of the host starts and ends.
    virtual void OnThreadStarted(const char* name) = 0;
    virtual void OnThreadEnded(const char* name) = 0;
    virtual bool UseStringPools() = 0;
    virtual QLC_Pool* FindStringPool(size_t block_bytes) = 0;
};

// Null until the entry point installs a services object.
extern QLC_ISystemServices* g_system_services;

// Installs services as g_system_services and takes ownership: a previous object is deleted, and
// the installed one is deleted (and the pointer cleared) at process exit.
void QLC_InstallSystemServices(QLC_ISystemServices* services);

// The library's own services: reports go nowhere, queries give neutral answers, file searches
// and process exit are the system's.
class QLC_DefaultSystemServices : public QLC_ISystemServices {
public:
    QLC_DefaultSystemServices() = default;
    ~QLC_DefaultSystemServices() override;

    bool IsLoggingEnabled() override { return true; }
    void NotifyError(int) override {}
    void Print(const char*, ...) override {}
    void Warning(const char*, int, const char*, const char*) override {}
    void ReportLeak(const char*, int, const char*, const char*, ...) override {}
    void DebugPrint(const char*, ...) override {}
    void Trace(const char*, int, const char*, const char*, ...) override {}
    void ConsolePrint(const char*, ...) override {}
    void Report(int, const char*, int, const char*, const char*, ...) override {}
    void FatalError(int, const char*, int, const char*, void*) override {}
    void DescribeException(char*, size_t, EXCEPTION_POINTERS*) override {}
    int GetReportLevel() override { return 0; }
    void OnCreateFile(const char* path) override;
    void UnregisterPool(QLC_Pool*) override {}
    QLC_Pool* GetNodePool() override;
    void ReleaseNodePool() override;
    bool IsUnattended() override { return false; }
    uint32_t GetTime() override { return 0; }
    bool ShouldKeepWaiting() override { return false; }
    int MessageBox(const char*, const char*, unsigned) override { return 0; }
    void DebugBreak() override {}
    void Exit(int code) override;
    void QuickExit(int code) override;
    void FindClose(HANDLE find) override;
    HANDLE FindFirstFile(const char* pattern, WIN32_FIND_DATAA* data) override;
    bool FindNextFile(HANDLE find, WIN32_FIND_DATAA* data) override;
    void OnThreadStarted(const char*) override {}
    void OnThreadEnded(const char*) override {}
    bool UseStringPools() override { return false; }
    QLC_Pool* FindStringPool(size_t) override { return nullptr; }

private:
    QLC_Pool* m_node_pool = nullptr;
};
