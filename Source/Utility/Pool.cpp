#define QLD_SOURCE_FILE "Source\\Utility\\Pool"

#include "Utility/Pool.h"

#include "System/Exception.h"
#include "System/SystemServices.h"
#include "System/ThreadSynchronization.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>

namespace {

// Entry sizes are multiples of this: 4 in the 32-bit build; in the 64-bit build the free-list
// link is a pointer, so entries are at least that big and stay aligned for it.
constexpr int kEntryAlign = sizeof(void*) > 4 ? static_cast<int>(sizeof(void*)) : 4;
constexpr int64_t kSmallRequest = 1000000;
constexpr char kFailedFormat[] =
    "Pool %s Level %d Failed to allocate %d bytes (%d entries %d size)";

// Pool constructors running now (a deeper level built inside another constructor is not traced).
std::atomic<int> g_constructing{0};
// Only the first small allocation failure of the process gets the library's own report.
std::atomic<bool> g_small_failure_reported{false};

class ScopedLock {
public:
    explicit ScopedLock(QLC_CriticalSectionMutex* lock) : m_lock(lock) {
        if (m_lock != nullptr) {
            m_lock->Lock();
        }
    }
    ~ScopedLock() {
        if (m_lock != nullptr) {
            m_lock->Unlock();
        }
    }
    ScopedLock(const ScopedLock&) = delete;
    ScopedLock& operator=(const ScopedLock&) = delete;

private:
    QLC_CriticalSectionMutex* m_lock;
};

char* CopyName(const char* name) {
    const char* text = name != nullptr ? name : "";
    const size_t length = std::strlen(text);
    char* copy = new char[length + 1];
    std::memcpy(copy, text, length + 1);
    return copy;
}

bool LoggingEnabled() {
    return g_system_services != nullptr && g_system_services->IsLoggingEnabled();
}

void* ReadLink(const void* entry) {
    void* next = nullptr;
    std::memcpy(&next, entry, sizeof(next));
    return next;
}

void WriteLink(void* entry, void* next) {
    std::memcpy(entry, &next, sizeof(next));
}

}  // namespace

QLC_Pool::QLC_Pool(const QLC_PoolParams& params)
    : m_name(nullptr),
      m_lock(nullptr),
      m_thread_safe(params.thread_safe),
      m_growth(params.growth),
      m_entry_size(0),
      m_entries(std::max(params.entries, 0)),
      m_next(nullptr),
      m_level(params.level),
      m_used(0),
      m_free_head(nullptr),
      m_block(nullptr),
      m_free_map(nullptr),
      m_allocations(0),
      m_peak(0) {
    struct Nesting {
        Nesting() { ++g_constructing; }
        ~Nesting() { --g_constructing; }
    } nesting;

    const int requested = std::max(params.entry_size, 1);
    m_entry_size = (requested + kEntryAlign - 1) / kEntryAlign * kEntryAlign;
    m_name = CopyName(params.name);
    try {
        if (m_thread_safe) {
            m_lock = new QLC_CriticalSectionMutex();
        }
        AllocateBlock();
    } catch (...) {
        delete m_lock;
        delete[] m_name;
        throw;
    }
    LinkEntries();

    if (LoggingEnabled()) {
        if (m_level == 0) {
            g_system_services->Trace(QLD_SOURCE_FILE, __LINE__, "QLC_Pool::QLC_Pool",
                                     "Pool %s (entries %d size %d)", m_name, m_entries,
                                     m_entry_size);
        } else if (g_constructing == 1) {
            g_system_services->Trace(QLD_SOURCE_FILE, __LINE__, "QLC_Pool::QLC_Pool",
                                     "Pool %s Level %d (entries %d size %d)", m_name, m_level,
                                     m_entries, m_entry_size);
        }
    }
}

void QLC_Pool::AllocateBlock() {
    for (;;) {
        const int64_t bytes = static_cast<int64_t>(m_entries) * m_entry_size;
        try {
            if (static_cast<uint64_t>(bytes) > SIZE_MAX) {
                throw std::bad_alloc();
            }
            m_block = new uint8_t[static_cast<size_t>(bytes)];
            break;
        } catch (const std::bad_alloc&) {
            if (LoggingEnabled()) {
                g_system_services->Trace(QLD_SOURCE_FILE, __LINE__, "QLC_Pool::QLC_Pool",
                                         kFailedFormat, m_name, m_level, static_cast<int>(bytes),
                                         m_entries, m_entry_size);
            }
            if (bytes >= kSmallRequest) {
                m_entries /= 2;
                continue;
            }
            if (!g_small_failure_reported.exchange(true)) {
                QLC_ThrowFatal(kFailedFormat, m_name, m_level, static_cast<int>(bytes), m_entries,
                               m_entry_size);
            }
            throw;
        }
    }
    const size_t words = std::max<size_t>(2, (static_cast<size_t>(m_entries) + 31) / 32);
    try {
        m_free_map = new uint32_t[words]();
    } catch (...) {
        delete[] m_block;
        throw;
    }
}

void QLC_Pool::LinkEntries() {
    m_free_head = m_entries > 0 ? m_block : nullptr;
    for (int i = 0; i < m_entries; ++i) {
        uint8_t* entry = m_block + static_cast<size_t>(i) * m_entry_size;
        WriteLink(entry, i + 1 < m_entries ? entry + m_entry_size : nullptr);
        m_free_map[i / 32] |= 1u << (i % 32);
    }
    m_used = 0;
}

QLC_Pool::~QLC_Pool() {
    QLC_ISystemServices* services = g_system_services;
    if (services != nullptr) {
        if (m_level == 0) {
            services->UnregisterPool(this);
        }
        if (services->IsLoggingEnabled()) {
            if (m_level > 0) {
                services->Trace(QLD_SOURCE_FILE, __LINE__, "QLC_Pool::~QLC_Pool",
                                "SubPool %s (entries %d/%d)", m_name, m_used, m_entries);
            } else {
                services->Report(
                    m_next != nullptr ? 1 : 10, QLD_SOURCE_FILE, __LINE__, "QLC_Pool::~QLC_Pool",
                    "Pool %s (entries %d/%d max %d usage %dkb total %d)", m_name, m_used, m_entries,
                    m_peak, static_cast<int>(static_cast<int64_t>(m_entries) * m_entry_size / 1024),
                    m_allocations);
            }
        }
        if (m_level == 0 && UsedTotal() > 0) {
            services->ReportLeak(QLD_SOURCE_FILE, __LINE__, "QLC_Pool::~QLC_Pool",
                                 "leak in pool %s entries %d", m_name, UsedTotal());
        }
    }
    delete[] m_name;
    delete[] m_block;
    delete m_next;
    delete m_lock;
    delete[] m_free_map;
}

int QLC_Pool::UsedTotal() const {
    return m_used + (m_next != nullptr ? m_next->UsedTotal() : 0);
}

bool QLC_Pool::InBlock(const void* entry) const {
    const uint8_t* p = static_cast<const uint8_t*>(entry);
    return m_block != nullptr && p >= m_block &&
           p < m_block + static_cast<size_t>(m_entries) * m_entry_size;
}

bool QLC_Pool::Contains(const void* entry) const {
    return InBlock(entry) || (m_next != nullptr && m_next->Contains(entry));
}

void* QLC_Pool::TakeFree() {
    uint8_t* entry = static_cast<uint8_t*>(m_free_head);
    const size_t index = static_cast<size_t>(entry - m_block) / m_entry_size;
    m_free_map[index / 32] &= ~(1u << (index % 32));
    ++m_used;
    m_free_head = ReadLink(entry);
    return entry;
}

void QLC_Pool::Count() {
    if (m_level == 0) {
        ++m_allocations;
        m_peak = std::max(m_peak, UsedTotal());
    }
}

void QLC_Pool::CreateNextLevel() {
    QLC_PoolParams next = {m_entry_size, 0, m_name, m_growth, false, m_level + 1};
    if (m_growth < 0) {
        const int64_t doubled = static_cast<int64_t>(m_entries) * 2;
        next.entries =
            doubled * m_entry_size > kMaxBlockBytes ? m_entries : static_cast<int>(doubled);
        next.growth = -1;
    } else {
        const int64_t doubled = static_cast<int64_t>(m_growth) * 2;
        next.entries = m_growth;
        next.growth =
            doubled * m_entry_size <= kMaxBlockBytes ? static_cast<int>(doubled) : m_growth;
    }
    // A level always has room for one entry, so a chain cannot run away with empty levels.
    next.entries = std::max(next.entries, 1);
    m_next = new QLC_Pool(next);
}

void* QLC_Pool::Allocate() {
    ScopedLock lock(m_level == 0 ? m_lock : nullptr);
    if (m_used < m_entries) {
        void* entry = TakeFree();
        Count();
        return entry;
    }
    if (m_next == nullptr) {
        if (m_growth == 0) {
            return nullptr;
        }
        CreateNextLevel();
    }
    void* entry = m_next->Allocate();
    if (entry != nullptr) {
        Count();
    }
    return entry;
}

void QLC_Pool::Free(void* entry) {
    if (entry == nullptr) {
        return;
    }
    ScopedLock lock(m_level == 0 ? m_lock : nullptr);
    if (!InBlock(entry)) {
        if (m_next != nullptr) {
            m_next->Free(entry);
        }
        return;
    }
    const size_t offset = static_cast<size_t>(static_cast<uint8_t*>(entry) - m_block);
    const size_t index = offset / m_entry_size;
    const uint32_t bit = 1u << (index % 32);
    // A pointer into the middle of an entry, or an entry freed twice, would corrupt the list.
    if (offset % m_entry_size != 0 || (m_free_map[index / 32] & bit) != 0) {
        return;
    }
    m_free_map[index / 32] |= bit;
    WriteLink(entry, m_free_head);
    m_free_head = entry;
    --m_used;
}
