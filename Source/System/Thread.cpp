#define QLD_SOURCE_FILE "Source\\System\\Thread"

#include "System/Thread.h"

#include "System/SystemServices.h"
#include "Utility/Pool.h"

#include <new>
#include <string>

namespace {

QLC_ThreadManager* g_thread_manager_singleton = nullptr;
QLC_MainThread* g_main_thread = nullptr;

// The code of an exception raised by a throw statement.
constexpr DWORD kThrowCode = 0xE06D7363;
// Where the fatal report of an unhandled exception says it comes from.
constexpr int kFilterReportLine = 1275;

size_t BucketOf(DWORD id) {
    return id % QLC_ThreadManager::kBuckets;
}

}  // namespace

// Built during static initialisation, after the mutex registry its mutex registers in.
QLC_ThreadManager g_thread_manager;

QLC_MainThread::QLC_MainThread(const char* name) : QLC_Thread(GetCurrentThreadId(), name) {
    g_main_thread = this;
}

QLC_MainThread::~QLC_MainThread() {
    if (g_main_thread == this) {
        g_main_thread = nullptr;
    }
}

QLC_MainThread* QLC_MainThread::GetSingletonPtr() {
    return g_main_thread;
}

QLC_ThreadManager::QLC_ThreadManager() : m_buckets() {
    g_thread_manager_singleton = this;
    m_previous_filter = SetUnhandledExceptionFilter(&QLC_ThreadManager::UnhandledExceptionFilter);
    m_tls = TlsAlloc();
    m_has_tls = m_tls != TLS_OUT_OF_INDEXES;
}

QLC_ThreadManager::~QLC_ThreadManager() {
    SetUnhandledExceptionFilter(m_previous_filter);
    if (m_has_tls) {
        TlsFree(m_tls);
    }
    for (Node*& bucket : m_buckets) {
        while (bucket != nullptr) {
            Node* next = bucket->next;
            FreeNode(bucket);
            bucket = next;
        }
    }
    g_thread_manager_singleton = nullptr;
}

QLC_ThreadManager* QLC_ThreadManager::GetSingletonPtr() {
    return g_thread_manager_singleton;
}

QLC_ThreadManager::Node* QLC_ThreadManager::NewNode() {
    // The shared pool's entries fit a node of two 32-bit pointers; wider nodes use the heap.
    QLC_Pool* pool = QLC_ExistingNodePool();
    if (pool != nullptr && pool->GetEntrySize() >= static_cast<int>(sizeof(Node))) {
        if (void* entry = pool->Allocate()) {
            return new (entry) Node();
        }
    }
    return new Node();
}

void QLC_ThreadManager::FreeNode(Node* node) {
    QLC_Pool* pool = QLC_ExistingNodePool();
    if (pool != nullptr && pool->Contains(node)) {
        pool->Free(node);
    } else {
        delete node;
    }
}

void QLC_ThreadManager::AddThread(QLC_Thread* thread) {
    m_mutex.Lock();
    Node* node = NewNode();
    node->thread = thread;
    Node*& bucket = m_buckets[BucketOf(thread->GetId())];
    node->next = bucket;
    bucket = node;
    m_mutex.Unlock();
    if (m_has_tls && thread->GetId() == GetCurrentThreadId()) {
        TlsSetValue(m_tls, thread);
    }
}

void QLC_ThreadManager::RemoveThread(QLC_Thread* thread) {
    m_mutex.Lock();
    for (Node** link = &m_buckets[BucketOf(thread->GetId())]; *link != nullptr;
         link = &(*link)->next) {
        if ((*link)->thread == thread) {
            Node* node = *link;
            *link = node->next;
            FreeNode(node);
            break;
        }
    }
    m_mutex.Unlock();
    if (m_has_tls && TlsGetValue(m_tls) == thread) {
        TlsSetValue(m_tls, nullptr);
    }
}

QLC_Thread* QLC_ThreadManager::FindThread(DWORD id) const {
    for (Node* node = m_buckets[BucketOf(id)]; node != nullptr; node = node->next) {
        if (node->thread->GetId() == id) {
            return node->thread;
        }
    }
    return nullptr;
}

QLC_Thread* QLC_ThreadManager::CurrentThread() const {
    if (m_has_tls) {
        return static_cast<QLC_Thread*>(TlsGetValue(m_tls));
    }
    return FindThread(GetCurrentThreadId());
}

bool QLC_ThreadManager::IsMainThreadCurrent() const {
    const QLC_MainThread* main = QLC_MainThread::GetSingletonPtr();
    return main != nullptr && main->GetId() == GetCurrentThreadId();
}

LONG WINAPI QLC_ThreadManager::UnhandledExceptionFilter(EXCEPTION_POINTERS* pointers) {
    QLC_ThreadManager* manager = GetSingletonPtr();
    QLC_Thread* thread = manager != nullptr ? manager->CurrentThread() : nullptr;

    std::string text;
    if (thread != nullptr) {
        text = "thread " + std::string(thread->GetName().c_str()) + " caught unhandled exception";
    } else {
        text = "unknown thread " + std::to_string(GetCurrentThreadId()) +
               " caught unhandled exception";
    }
    QLC_ISystemServices* services = g_system_services;
    char description[1024] = {};
    if (services != nullptr) {
        services->DescribeException(description, sizeof(description), pointers);
        description[sizeof(description) - 1] = '\0';
    }
    text += " - ";
    text += description;
    const bool thrown = pointers != nullptr && pointers->ExceptionRecord != nullptr &&
                        pointers->ExceptionRecord->ExceptionCode == kThrowCode;
    if (thrown) {
        text += " - ";
        text += thread != nullptr ? thread->GetRecord()->text.c_str() : "unknown C++ exception";
    }

    if (services != nullptr && services->ShouldKeepWaiting()) {
        services->NotifyError(1);
        services->Report(-1, "ERROR", services->GetReportLevel(), "EXCEPTION", "%s", text.c_str());
        return EXCEPTION_CONTINUE_SEARCH;
    }
    if (services != nullptr) {
        services->FatalError(1, QLD_SOURCE_FILE, kFilterReportLine, text.c_str(), pointers);
    }
    return EXCEPTION_EXECUTE_HANDLER;
}
