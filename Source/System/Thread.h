// The thread manager: a table of the library's thread objects and the process's unhandled-
// exception filter, which reports a crash through the services object.
#pragma once

#include "System/ThreadSynchronization.h"
#include "Utility/String.h"

#include <windows.h>

// What the exception filter adds to the report of an exception thrown by a throw statement.
struct QLC_ThreadRecord {
    QLC_String text;
};

// A thread known to the manager by its id and name.
class QLC_Thread {
public:
    QLC_Thread(DWORD id, const char* name) : m_id(id), m_name(name) {}
    virtual ~QLC_Thread() = default;
    DWORD GetId() const { return m_id; }
    const QLC_String& GetName() const { return m_name; }
    QLC_ThreadRecord* GetRecord() { return &m_record; }

private:
    DWORD m_id;
    QLC_String m_name;
    QLC_ThreadRecord m_record;
};

// The thread that runs the entry point, when a program declares one.
class QLC_MainThread : public QLC_Thread {
public:
    explicit QLC_MainThread(const char* name = "main");
    ~QLC_MainThread() override;
    static QLC_MainThread* GetSingletonPtr();
};

class QLC_ThreadManager {
public:
    static constexpr size_t kBuckets = 23;

    // Installs the unhandled-exception filter and takes a thread-local slot.
    QLC_ThreadManager();
    QLC_ThreadManager(const QLC_ThreadManager&) = delete;
    QLC_ThreadManager& operator=(const QLC_ThreadManager&) = delete;
    ~QLC_ThreadManager();

    static QLC_ThreadManager* GetSingletonPtr();

    // Lists a thread (and, when it is the calling thread, puts it in the thread-local slot).
    void AddThread(QLC_Thread* thread);
    void RemoveThread(QLC_Thread* thread);
    QLC_Thread* FindThread(DWORD id) const;
    // The calling thread's object, or null.
    QLC_Thread* CurrentThread() const;
    bool IsMainThreadCurrent() const;

    // Reports an exception nobody caught; answers EXCEPTION_CONTINUE_SEARCH when the services
    // say to keep going, else EXCEPTION_EXECUTE_HANDLER, which ends the process.
    static LONG WINAPI UnhandledExceptionFilter(EXCEPTION_POINTERS* pointers);

private:
    // Table node: 8 bytes in the 32-bit build.
    struct Node {
        QLC_Thread* thread;
        Node* next;
    };

    Node* NewNode();
    void FreeNode(Node* node);

    Node* m_buckets[kBuckets];
    QLC_TimedMutex m_mutex;
    LPTOP_LEVEL_EXCEPTION_FILTER m_previous_filter;
    bool m_has_tls;
    DWORD m_tls;
};

extern QLC_ThreadManager g_thread_manager;
