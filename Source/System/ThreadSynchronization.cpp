#define QLD_SOURCE_FILE "Source\\System\\ThreadSynchronization"

#include "System/ThreadSynchronization.h"

#include "System/Assert.h"
#include "System/Thread.h"

#include <algorithm>

QLC_MutexRegistry& QLC_GetMutexRegistry() {
    static QLC_MutexRegistry registry;
    return registry;
}

void QLC_MutexArray::Add(QLC_BaseMutex* mutex) {
    if (m_items.size() == m_max_size) {
        m_max_size = std::max(m_max_size * 2, m_items.size() + 1);
        m_items.reserve(m_max_size);
    }
    m_items.push_back(mutex);
}

bool QLC_MutexArray::Remove(QLC_BaseMutex* mutex) {
    const auto found = std::find(m_items.begin(), m_items.end(), mutex);
    if (found == m_items.end()) {
        return false;
    }
    m_items.erase(found);
    return true;
}

void QLC_MutexRegistry::Register(QLC_BaseMutex* mutex) {
    QLD_ASSERT(!QLC_MainThread::GetSingletonPtr() || g_thread_manager.IsMainThreadCurrent());
    m_mutexes.Add(mutex);
}

void QLC_MutexRegistry::Unregister(QLC_BaseMutex* mutex) {
    QLD_ASSERT(!QLC_MainThread::GetSingletonPtr() || g_thread_manager.IsMainThreadCurrent());
    // clang-format off
    QLD_ASSERT(m_mutexes.MaxSize()<=QLD_MAX_MUTEXES);
    // clang-format on
    m_mutexes.Remove(mutex);
}

void QLC_MutexRegistry::Collect(std::vector<QLC_BaseMutex*>& out,
                                bool owned_by_current_thread) const {
    for (size_t i = 0; i < m_mutexes.Size(); ++i) {
        if (!owned_by_current_thread || m_mutexes[i]->IsOwnedByCurrentThread()) {
            out.push_back(m_mutexes[i]);
        }
    }
}

QLC_BaseMutex::QLC_BaseMutex() : m_owner(0), m_count(0), m_lock_time(0) {
    QLC_GetMutexRegistry().Register(this);
}

QLC_BaseMutex::~QLC_BaseMutex() {
    QLC_GetMutexRegistry().Unregister(this);
}

void QLC_BaseMutex::Reset() {
    m_owner = 0;
    m_count = 0;
}

bool QLC_BaseMutex::IsOwnedByCurrentThread() const {
    const DWORD owner = m_owner;
    return owner != 0 && owner == GetCurrentThreadId();
}

void QLC_BaseMutex::OnDestroyed() {
    if (m_owner != 0 && g_system_services != nullptr) {
        g_system_services->Report(-1, QLD_SOURCE_FILE, __LINE__, "QLC_BaseMutex::OnDestroyed",
                                  "leak mutex %p locks %d", static_cast<void*>(this), m_count);
    }
    while (IsOwnedByCurrentThread()) {
        Unlock();
    }
}

QLC_CriticalSectionMutex::QLC_CriticalSectionMutex() {
    InitializeCriticalSection(&m_section);
}

QLC_CriticalSectionMutex::~QLC_CriticalSectionMutex() {
    OnDestroyed();
    DeleteCriticalSection(&m_section);
}

void QLC_CriticalSectionMutex::Lock() {
    if (IsOwnedByCurrentThread()) {
        ++m_count;
        return;
    }
    EnterCriticalSection(&m_section);
    m_count = 1;
    m_owner = GetCurrentThreadId();
}

void QLC_CriticalSectionMutex::Unlock() {
    // Only the owner can let go; anything else would corrupt the count.
    if (!IsOwnedByCurrentThread()) {
        return;
    }
    if (m_count-- == 1) {
        m_owner = 0;
        LeaveCriticalSection(&m_section);
    }
}

void QLC_CriticalSectionMutex::Reset() {
    QLC_BaseMutex::Reset();
    DeleteCriticalSection(&m_section);
    InitializeCriticalSection(&m_section);
}

QLC_Signal::QLC_Signal(const char* name) {
    QLC_String event_name;
    if (name != nullptr) {
        event_name = QLC_String::Format("%s-%d", name, static_cast<int>(GetCurrentProcessId()));
    }
    m_event = CreateEventA(nullptr, FALSE, FALSE, name != nullptr ? event_name.c_str() : nullptr);
    if (m_event == nullptr) {
        throw QLC_FatalException("Error creating event for QLC_Signal");
    }
}

QLC_Signal::~QLC_Signal() {
    if (m_event != nullptr) {
        CloseHandle(m_event);
    }
}

bool QLC_Signal::Wait(DWORD milliseconds) {
    if (m_event == nullptr) {
        return true;
    }
    if (WaitForSingleObject(m_event, milliseconds) == WAIT_TIMEOUT) {
        return false;
    }
    m_signalled = true;
    return true;
}

void QLC_Signal::Set() {
    SetEvent(m_event);
}

QLC_TimedMutex::QLC_TimedMutex(DWORD wait_milliseconds) : m_wait_milliseconds(wait_milliseconds) {}

QLC_TimedMutex::~QLC_TimedMutex() {
    OnDestroyed();
}

void QLC_TimedMutex::Lock() {
    if (IsOwnedByCurrentThread()) {
        ++m_count;
        return;
    }
    while (m_lock_word != 0 || InterlockedExchange(&m_lock_word, 1) != 0) {
        if (!m_signal.Wait(m_wait_milliseconds)) {
            const bool keep_waiting =
                g_system_services != nullptr && g_system_services->ShouldKeepWaiting();
            if (!keep_waiting) {
                throw QLC_MutexTimeoutException(this);
            }
        }
    }
    ++m_count;
    m_owner = GetCurrentThreadId();
    m_lock_time = g_system_services != nullptr ? g_system_services->GetTime() : 0;
}

void QLC_TimedMutex::Unlock() {
    if (!IsOwnedByCurrentThread()) {
        return;
    }
    if (m_count-- == 1) {
        m_owner = 0;
        InterlockedExchange(&m_lock_word, 0);
        m_signal.ClearSignalled();
        m_signal.Set();
    }
}

void QLC_TimedMutex::Reset() {
    QLC_BaseMutex::Reset();
    InterlockedExchange(&m_lock_word, 0);
}

QLC_MutexTimeoutException::QLC_MutexTimeoutException(const QLC_BaseMutex* mutex)
    : QLC_FatalException("timeout waiting for mutex") {
    QLC_ISystemServices* services = g_system_services;
    if (services == nullptr) {
        return;
    }
    const char* function = "QLC_MutexTimeoutException::QLC_MutexTimeoutException";
    services->Trace(QLD_SOURCE_FILE, __LINE__, function,
                    "ERROR: thread %x timeout locking mutex %p (owned by %x)",
                    static_cast<unsigned>(GetCurrentThreadId()), static_cast<const void*>(mutex),
                    static_cast<unsigned>(mutex->GetOwner()));
    std::vector<QLC_BaseMutex*> mutexes;
    QLC_GetMutexRegistry().Collect(mutexes, false);
    for (const QLC_BaseMutex* listed : mutexes) {
        if (listed->GetLockTime() != 0) {
            services->Trace(
                QLD_SOURCE_FILE, __LINE__, function, "ERROR: owner %x mutex %p locks %d time %d",
                static_cast<unsigned>(listed->GetOwner()), static_cast<const void*>(listed),
                listed->GetLockCount(), static_cast<int>(listed->GetLockTime()));
        } else {
            services->Trace(QLD_SOURCE_FILE, __LINE__, function,
                            "ERROR: owner %x mutex %p locks %d",
                            static_cast<unsigned>(listed->GetOwner()),
                            static_cast<const void*>(listed), listed->GetLockCount());
        }
    }
}
