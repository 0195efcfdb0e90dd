// Recursive mutexes that know their owner and lock count, listed in one process-wide registry;
// an auto-reset event; and the exception a mutex wait that timed out throws.
#pragma once

#include "System/Exception.h"

#include <windows.h>

#include <cstdint>
#include <vector>

// The registry's starting capacity; it is not meant to grow past it.
#define QLD_MAX_MUTEXES 100

class QLC_BaseMutex {
public:
    QLC_BaseMutex();
    QLC_BaseMutex(const QLC_BaseMutex&) = delete;
    QLC_BaseMutex& operator=(const QLC_BaseMutex&) = delete;
    virtual ~QLC_BaseMutex();

    virtual void Lock() = 0;
    virtual void Unlock() = 0;
    // Owner and count back to 0.
    virtual void Reset();

    bool IsOwnedByCurrentThread() const;
    DWORD GetOwner() const { return m_owner; }
    int GetLockCount() const { return m_count; }
    uint32_t GetLockTime() const { return m_lock_time; }

protected:
    // The first step of destroying a concrete mutex: reports a mutex still owned and releases
    // the calling thread's locks.
    void OnDestroyed();

    volatile DWORD m_owner;
    int m_count;
    uint32_t m_lock_time;
};

class QLC_CriticalSectionMutex : public QLC_BaseMutex {
public:
    QLC_CriticalSectionMutex();
    ~QLC_CriticalSectionMutex() override;
    void Lock() override;
    void Unlock() override;
    void Reset() override;

private:
    CRITICAL_SECTION m_section;
};

// An auto-reset event, created non-signalled; a name is made unique to the process.
class QLC_Signal {
public:
    // Throws QLC_FatalException when the event cannot be created.
    explicit QLC_Signal(const char* name = nullptr);
    QLC_Signal(const QLC_Signal&) = delete;
    QLC_Signal& operator=(const QLC_Signal&) = delete;
    ~QLC_Signal();

    // True when signalled within the time (and at once without an event); false on a time-out.
    bool Wait(DWORD milliseconds);
    void Set();
    bool WasSignalled() const { return m_signalled; }
    void ClearSignalled() { m_signalled = false; }

private:
    HANDLE m_event = nullptr;
    bool m_signalled = false;
};

// A mutex whose waiters give up after a time unless the services say to keep waiting.
class QLC_TimedMutex : public QLC_BaseMutex {
public:
    static constexpr DWORD kWaitMilliseconds = 30000;

    explicit QLC_TimedMutex(DWORD wait_milliseconds = kWaitMilliseconds);
    ~QLC_TimedMutex() override;
    // Throws QLC_MutexTimeoutException when a wait times out and the services do not say to
    // keep waiting.
    void Lock() override;
    void Unlock() override;
    void Reset() override;

private:
    volatile LONG m_lock_word = 0;
    QLC_Signal m_signal;
    DWORD m_wait_milliseconds;
};

class QLC_MutexTimeoutException : public QLC_FatalException {
public:
    // Traces the time-out and every registered mutex with its owner.
    explicit QLC_MutexTimeoutException(const QLC_BaseMutex* mutex);
};

// A growable array of mutex pointers that keeps the order of its items.
class QLC_MutexArray {
public:
    explicit QLC_MutexArray(size_t capacity) : m_max_size(capacity) { m_items.reserve(capacity); }
    void Add(QLC_BaseMutex* mutex);
    bool Remove(QLC_BaseMutex* mutex);
    size_t Size() const { return m_items.size(); }
    size_t MaxSize() const { return m_max_size; }
    QLC_BaseMutex* operator[](size_t index) const { return m_items[index]; }

private:
    std::vector<QLC_BaseMutex*> m_items;
    size_t m_max_size;
};

// Every mutex of the process. Changed only on the main thread, so it takes no lock itself.
class QLC_MutexRegistry {
public:
    QLC_MutexRegistry() : m_mutexes(QLD_MAX_MUTEXES) {}
    void Register(QLC_BaseMutex* mutex);
    void Unregister(QLC_BaseMutex* mutex);
    // Every registered mutex, or only those the calling thread owns.
    void Collect(std::vector<QLC_BaseMutex*>& out, bool owned_by_current_thread) const;
    size_t Count() const { return m_mutexes.Size(); }
    size_t Capacity() const { return m_mutexes.MaxSize(); }

private:
    QLC_MutexArray m_mutexes;
};

// The one registry, built before the first mutex (and so before the thread manager).
QLC_MutexRegistry& QLC_GetMutexRegistry();
