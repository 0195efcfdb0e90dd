// Fixed-size entry pools: one pre-allocated block with a free list, growing by chaining a pool one
// level deeper when the block runs full. Statistics and leaks are reported through the services
// object when a pool is destroyed.
#pragma once

#include <cstddef>
#include <cstdint>

class QLC_CriticalSectionMutex;

struct QLC_PoolParams {
    int entry_size;
    int entries;
    const char* name;
    // Entries of the next level: 0 never grows, -1 doubles.
    int growth;
    bool thread_safe;
    // 0 for a pool made by a user; chained pools are 1, 2, ...
    int level;
};

class QLC_Pool {
public:
    // Level blocks stop doubling at this size.
    static constexpr int64_t kMaxBlockBytes = 10000000;

    // Throws QLC_FatalException (the first time in the process) or std::bad_alloc when even a
    // block below 1000000 bytes cannot be had.
    explicit QLC_Pool(const QLC_PoolParams& params);
    QLC_Pool(const QLC_Pool&) = delete;
    QLC_Pool& operator=(const QLC_Pool&) = delete;
    ~QLC_Pool();

    // An entry, or null when the pool is full and may not grow.
    void* Allocate();
    // Returns an entry to the level that holds it; anything else (null, foreign pointers, an
    // entry already free) is ignored.
    void Free(void* entry);
    // Entries in use in this level and every deeper one.
    int UsedTotal() const;
    // Whether the entry lies in a block of this level or a deeper one.
    bool Contains(const void* entry) const;

    const char* GetName() const { return m_name; }
    int GetEntrySize() const { return m_entry_size; }
    int GetEntries() const { return m_entries; }
    int GetUsed() const { return m_used; }
    int GetLevel() const { return m_level; }
    int GetGrowth() const { return m_growth; }
    int GetPeak() const { return m_peak; }
    int GetAllocationCount() const { return m_allocations; }
    QLC_Pool* GetNextLevel() const { return m_next; }

private:
    void AllocateBlock();
    void LinkEntries();
    void* TakeFree();
    bool InBlock(const void* entry) const;
    void Count();
    void CreateNextLevel();

    char* m_name;
    QLC_CriticalSectionMutex* m_lock;
    bool m_thread_safe;
    int m_growth;
    int m_entry_size;
    int m_entries;
    QLC_Pool* m_next;
    int m_level;
    int m_used;
    // First free entry; each free entry starts with a pointer-sized link to the next.
    void* m_free_head;
    uint8_t* m_block;
    // One bit per entry, set while the entry is free.
    uint32_t* m_free_map;
    int m_allocations;
    int m_peak;
};

// The shared "NodeVoidPtr" pool if the default services have created it, else null.
QLC_Pool* QLC_ExistingNodePool();
