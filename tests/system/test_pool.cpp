// Pools: entry spacing, chained growth, statistics and leak reports, reuse of freed entries.
#include "RecordingServices.h"
#include "Utility/Pool.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

namespace {

std::unique_ptr<QLC_Pool> MakePool(int size, int entries, const char* name, int growth,
                                   bool thread_safe = false) {
    return std::make_unique<QLC_Pool>(QLC_PoolParams{size, entries, name, growth, thread_safe, 0});
}

std::vector<void*> AllocateMany(QLC_Pool& pool, int count) {
    std::vector<void*> entries;
    for (int i = 0; i < count; ++i) {
        entries.push_back(pool.Allocate());
    }
    return entries;
}

void FreeAll(QLC_Pool& pool, const std::vector<void*>& entries) {
    for (void* entry : entries) {
        pool.Free(entry);
    }
}

}  // namespace

TEST(Pool, WithoutGrowthHandsOutItsEntriesThenNull) {
    auto pool = MakePool(16, 2, "Two", 0);
    void* a = pool->Allocate();
    void* b = pool->Allocate();
    EXPECT_EQ((std::set<void*>{a, b, nullptr}).size(), 3u);
    EXPECT_EQ(pool->Allocate(), nullptr);
    EXPECT_EQ(pool->GetNextLevel(), nullptr);
    pool->Free(a);
    EXPECT_EQ(pool->Allocate(), a);
    FreeAll(*pool, {a, b});
}

TEST(Pool, EntrySizeIsRoundedUpAndEntriesAreSpacedByIt) {
    auto pool = MakePool(5, 4, "Five", 0);
    EXPECT_EQ(pool->GetEntrySize(), 8);
    void* a = pool->Allocate();
    void* b = pool->Allocate();
    EXPECT_EQ(static_cast<char*>(b) - static_cast<char*>(a), 8);
    // Entries hold a pointer-sized free-list link, so they are never smaller than a pointer.
    EXPECT_GE(MakePool(1, 1, "One", 0)->GetEntrySize(), static_cast<int>(sizeof(void*)));
    EXPECT_EQ(MakePool(12, 1, "Twelve", 0)->GetEntrySize(), sizeof(void*) == 4 ? 12 : 16);
    FreeAll(*pool, {a, b});
}

// Each new level's entries and growth: doubling, or a fixed step that doubles for the level after,
// both held once a level would pass ten million bytes.
TEST(Pool, NewLevelsTakeTheirSizeFromTheGrowth) {
    using Levels = std::vector<std::pair<int, int>>;
    const struct {
        int size, entries, growth, allocations;
        Levels levels;
    } cases[] = {
        {8, 4, -1, 5, {{8, -1}}},
        {8, 2, 3, 6, {{3, 6}, {6, 12}}},
        {100000, 60, -1, 61, {{60, -1}}},
        {100000, 1, 60, 2, {{60, 60}}},
    };
    for (const auto& c : cases) {
        auto pool = MakePool(c.size, c.entries, "Level", c.growth);
        const std::vector<void*> entries = AllocateMany(*pool, c.allocations);
        Levels levels;
        for (QLC_Pool* level = pool->GetNextLevel(); level != nullptr;
             level = level->GetNextLevel()) {
            levels.emplace_back(level->GetEntries(), level->GetGrowth());
        }
        EXPECT_EQ(levels, c.levels) << c.size << " bytes, growth " << c.growth;
        FreeAll(*pool, entries);
    }
}

TEST(Pool, DestroyedWithEntriesInUseReportsTheLeak) {
    RecordingServices services;
    auto pool = MakePool(8, 4, "Leaky", 0);
    pool->Allocate();
    pool.reset();
    EXPECT_EQ(services.Only("ReportLeak").text, "leak in pool Leaky entries 1");
    const RecordedCall report = services.Only("Report");
    EXPECT_EQ(std::tie(report.channel, report.text),
              std::make_tuple(10, "Pool Leaky (entries 1/4 max 1 usage 0kb total 1)"));
}

// The closing report counts the whole chain; a pool emptied in time reports no leak.
TEST(Pool, EntryFreedInTheSecondLevelIsReusedThereAndTheEmptyChainClosesCleanly) {
    RecordingServices services;
    auto pool = MakePool(8, 4, "Reuse", -1);
    const std::vector<void*> entries = AllocateMany(*pool, 6);
    QLC_Pool* second = pool->GetNextLevel();
    ASSERT_TRUE(second->Contains(entries[4]));
    pool->Free(entries[4]);
    EXPECT_EQ(std::make_pair(second->GetUsed(), pool->GetUsed()), std::make_pair(1, 4));
    EXPECT_EQ(pool->Allocate(), entries[4]);
    FreeAll(*pool, entries);
    EXPECT_EQ(pool->UsedTotal(), 0);
    const std::vector<QLC_Pool*> unregistered = {pool.get()};
    pool.reset();
    const RecordedCall report = services.Only("Report");
    EXPECT_EQ(std::tie(report.channel, report.text),
              std::make_tuple(1, "Pool Reuse (entries 0/4 max 6 usage 0kb total 7)"));
    EXPECT_TRUE(services.Of("ReportLeak").empty());
    EXPECT_EQ(services.unregistered_pools, unregistered);
}

TEST(Pool, DoubleFreesAndForeignPointersAreIgnored) {
    auto pool = MakePool(16, 4, "Careful", 0);
    void* a = pool->Allocate();
    void* b = pool->Allocate();
    pool->Free(a);
    pool->Free(a);
    int local = 0;
    pool->Free(&local);
    pool->Free(static_cast<char*>(b) + 4);
    pool->Free(nullptr);
    EXPECT_EQ(pool->GetUsed(), 1);
    void* c = pool->Allocate();
    void* d = pool->Allocate();
    void* e = pool->Allocate();
    EXPECT_EQ(pool->Allocate(), nullptr);
    EXPECT_EQ((std::set<void*>{b, c, d, e}).size(), 4u);
    FreeAll(*pool, {b, c, d, e});
}

TEST(Pool, ThreadSafePoolServesTwoThreads) {
    auto pool = MakePool(8, 64, "Shared", -1, true);
    auto work = [&] {
        for (int round = 0; round < 2000; ++round) {
            void* held[10];
            for (void*& entry : held) {
                entry = pool->Allocate();
                ASSERT_NE(entry, nullptr);
                *static_cast<int*>(entry) = round;
            }
            for (void* entry : held) {
                EXPECT_EQ(*static_cast<int*>(entry), round);
                pool->Free(entry);
            }
        }
    };
    std::thread other(work);
    work();
    other.join();
    EXPECT_EQ(pool->UsedTotal(), 0);
}

TEST(NodePool, DefaultServicesMakeTheSharedPoolOnFirstUse) {
    QLC_DefaultSystemServices services;
    EXPECT_EQ(QLC_ExistingNodePool(), nullptr);
    QLC_Pool* pool = services.GetNodePool();
    ASSERT_NE(pool, nullptr);
    EXPECT_EQ(services.GetNodePool(), pool);
    EXPECT_EQ(QLC_ExistingNodePool(), pool);
    services.ReleaseNodePool();
    EXPECT_EQ(QLC_ExistingNodePool(), nullptr);
}
