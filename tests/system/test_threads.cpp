// Mutexes, signals, the mutex registry and the thread manager's exception filter.
#include "RecordingServices.h"
#include "System/Thread.h"
#include "System/ThreadSynchronization.h"
#include "Utility/Pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <thread>
#include <tuple>

namespace {

// The text the recorded report of this format shows.
template <typename... Values>
std::string Printed(const char* format, Values... values) {
    char text[256];
    std::snprintf(text, sizeof(text), format, values...);
    return text;
}

// Locks the mutex on another thread (whose id goes to `thread`): what its time-out says, marked
// "fatal: " when fatal, or "" when the lock was taken.
std::string TimeOutLockingElsewhere(QLC_TimedMutex& mutex, unsigned& thread) {
    std::string outcome;
    std::thread([&] {
        thread = GetCurrentThreadId();
        try {
            mutex.Lock();
            mutex.Unlock();
        } catch (const QLC_MutexTimeoutException& e) {
            outcome = (e.IsFatal() ? "fatal: " : "") + std::string(e.Message());
        }
    }).join();
    return outcome;
}

template <typename Mutex>
void CheckRecursionAcrossThreads() {
    Mutex mutex;
    mutex.Lock();
    mutex.Lock();
    mutex.Lock();
    EXPECT_EQ(mutex.GetLockCount(), 3);
    std::atomic<bool> taken{false};
    std::thread other([&] {
        mutex.Lock();
        taken = true;
        EXPECT_TRUE(mutex.IsOwnedByCurrentThread());
        mutex.Unlock();
    });
    mutex.Unlock();
    mutex.Unlock();
    Sleep(150);
    EXPECT_FALSE(taken);
    EXPECT_TRUE(mutex.IsOwnedByCurrentThread());
    mutex.Unlock();
    other.join();
    EXPECT_TRUE(taken);
    EXPECT_EQ(mutex.GetOwner(), 0u);
}

}  // namespace

TEST(Mutex, BothKindsAreRecursivePerThread) {
    CheckRecursionAcrossThreads<QLC_CriticalSectionMutex>();
    CheckRecursionAcrossThreads<QLC_TimedMutex>();
}

TEST(Mutex, UnlockByAThreadThatDoesNotOwnItChangesNothing) {
    QLC_TimedMutex mutex;
    mutex.Lock();
    std::thread([&] { mutex.Unlock(); }).join();
    EXPECT_EQ(mutex.GetLockCount(), 1);
    EXPECT_TRUE(mutex.IsOwnedByCurrentThread());
    mutex.Unlock();
}

TEST(Mutex, DestroyedWhileLockedReportsALeakAndReleasesIt) {
    RecordingServices services;
    auto mutex = std::make_unique<QLC_CriticalSectionMutex>();
    mutex->Lock();
    mutex->Lock();
    const std::string text = Printed("leak mutex %p locks 2", static_cast<void*>(mutex.get()));
    mutex.reset();
    const RecordedCall report = services.Only("Report");
    EXPECT_EQ(std::tie(report.channel, report.text), std::make_tuple(-1, text));
}

TEST(TimedMutex, WaitTimesOutWithTracesOfEveryMutexWhenToldToStop) {
    RecordingServices services;
    services.keep_waiting_count = 2;
    services.time = 77;
    QLC_TimedMutex mutex(40);
    mutex.Lock();
    const unsigned owner = GetCurrentThreadId();
    unsigned waiter = 0;
    EXPECT_EQ(TimeOutLockingElsewhere(mutex, waiter), "fatal: timeout waiting for mutex");
    mutex.Unlock();
    // Asked three times: twice to keep waiting, then to stop.
    EXPECT_EQ(services.Of("ShouldKeepWaiting").size(), 3u);
    const auto traces = services.Of("Trace");
    ASSERT_GE(traces.size(), 2u);
    EXPECT_EQ(traces[0].text, Printed("ERROR: thread %x timeout locking mutex %p (owned by %x)",
                                      waiter, static_cast<void*>(&mutex), owner));
    EXPECT_TRUE(services.Has("Trace", Printed("ERROR: owner %x mutex %p locks 1 time 77", owner,
                                              static_cast<void*>(&mutex))));
}

TEST(TimedMutex, DefaultServicesGiveUpAfterTheFirstTimeOut) {
    QLC_DefaultSystemServices defaults;
    QLC_ISystemServices* saved = g_system_services;
    g_system_services = &defaults;
    QLC_TimedMutex mutex(30);
    mutex.Lock();
    unsigned waiter = 0;
    const std::string outcome = TimeOutLockingElsewhere(mutex, waiter);
    mutex.Unlock();
    g_system_services = saved;
    EXPECT_EQ(outcome, "fatal: timeout waiting for mutex");
}

TEST(Signal, NamedEventIsMadeUniqueToTheProcessAndResetsItself) {
    QLC_Signal signal("Go");
    const std::string name = "Go-" + std::to_string(GetCurrentProcessId());
    HANDLE opened = OpenEventA(EVENT_MODIFY_STATE, FALSE, name.c_str());
    ASSERT_NE(opened, nullptr);
    EXPECT_EQ(OpenEventA(SYNCHRONIZE, FALSE, "Go"), nullptr);
    EXPECT_FALSE(signal.Wait(10));
    SetEvent(opened);
    CloseHandle(opened);
    EXPECT_TRUE(signal.Wait(10));
    EXPECT_TRUE(signal.WasSignalled());
    EXPECT_FALSE(signal.Wait(10));
}

TEST(MutexRegistry, GrowsPastItsLimitAndTheNextRemovalFailsTheAssertion) {
    RecordingServices services;
    services.message_box_answer = IDIGNORE;
    QLC_MutexRegistry& registry = QLC_GetMutexRegistry();
    ASSERT_EQ(registry.Capacity(), 100u);
    const size_t before = registry.Count();
    ASSERT_GE(before, 1u);  // the thread manager's own mutex
    std::vector<std::unique_ptr<QLC_CriticalSectionMutex>> mutexes;
    while (registry.Count() < 100) {
        mutexes.push_back(std::make_unique<QLC_CriticalSectionMutex>());
    }
    mutexes.push_back(std::make_unique<QLC_CriticalSectionMutex>());
    EXPECT_EQ(registry.Capacity(), 200u);
    EXPECT_TRUE(services.Of("Report").empty());
    QLC_BaseMutex* second = mutexes[1].get();
    mutexes.erase(mutexes.begin());
    EXPECT_EQ(registry.Count(), 100u);
    EXPECT_EQ(services.Only("Report").text, "ASSERT: m_mutexes.MaxSize()<=QLD_MAX_MUTEXES");
    std::vector<QLC_BaseMutex*> all;
    registry.Collect(all, false);
    ASSERT_EQ(all.size(), 100u);
    EXPECT_EQ(all[before], second);
}

TEST(MutexRegistry, MutexesBelongToTheMainThreadOnceItIsDeclared) {
    RecordingServices services;
    services.message_box_answer = IDIGNORE;
    QLC_MainThread main_thread;
    { QLC_CriticalSectionMutex here; }
    EXPECT_TRUE(services.Of("Report").empty());
    std::thread([] { QLC_CriticalSectionMutex elsewhere; }).join();
    EXPECT_TRUE(services.Has(
        "Report",
        "ASSERT: !QLC_MainThread::GetSingletonPtr() || g_thread_manager.IsMainThreadCurrent()"));
}

TEST(ThreadManager, InstalledTheFilterDuringStartUp) {
    ASSERT_EQ(QLC_ThreadManager::GetSingletonPtr(), &g_thread_manager);
    LPTOP_LEVEL_EXCEPTION_FILTER current = SetUnhandledExceptionFilter(nullptr);
    SetUnhandledExceptionFilter(current);
    EXPECT_EQ(current, &QLC_ThreadManager::UnhandledExceptionFilter);
}

class ExceptionFilter : public ::testing::Test {
protected:
    LONG Raise(DWORD code) {
        EXCEPTION_RECORD record = {};
        record.ExceptionCode = code;
        CONTEXT context = {};
        EXCEPTION_POINTERS pointers = {&record, &context};
        return QLC_ThreadManager::UnhandledExceptionFilter(&pointers);
    }
    RecordingServices services;
};

TEST_F(ExceptionFilter, KeepGoingReportsOnTheDefaultChannelAndContinuesTheSearch) {
    services.keep_waiting_count = 1;
    services.report_level = 4;
    EXPECT_EQ(Raise(0xC0000005), EXCEPTION_CONTINUE_SEARCH);
    EXPECT_EQ(services.Only("NotifyError").channel, 1);
    const RecordedCall report = services.Only("Report");
    EXPECT_EQ(std::tie(report.channel, report.text),
              std::make_tuple(-1, "unknown thread " + std::to_string(GetCurrentThreadId()) +
                                      " caught unhandled exception - described"));
}

TEST_F(ExceptionFilter, OtherwiseAFatalReportEndsTheProcess) {
    EXPECT_EQ(Raise(0xE06D7363), EXCEPTION_EXECUTE_HANDLER);
    const RecordedCall fatal = services.Only("FatalError");
    EXPECT_EQ(fatal.channel, 1);
    EXPECT_EQ(fatal.text, "unknown thread " + std::to_string(GetCurrentThreadId()) +
                              " caught unhandled exception - described - unknown C++ exception");
}

TEST_F(ExceptionFilter, AKnownThreadIsNamedWithItsRecordText) {
    QLC_Thread worker(GetCurrentThreadId(), "worker");
    worker.GetRecord()->text = "while loading Tessaly.wad";
    g_thread_manager.AddThread(&worker);
    Raise(0xE06D7363);
    g_thread_manager.RemoveThread(&worker);
    EXPECT_EQ(g_thread_manager.CurrentThread(), nullptr);
    EXPECT_EQ(services.Only("FatalError").text,
              "thread worker caught unhandled exception - described - while loading Tessaly.wad");
}

TEST(ThreadManager, TableNodesComeFromTheSharedPoolOnlyWhenTheyFit) {
    QLC_DefaultSystemServices services;
    QLC_Pool* pool = services.GetNodePool();
    QLC_Thread thread(1234, "loader");
    g_thread_manager.AddThread(&thread);
    EXPECT_EQ(g_thread_manager.FindThread(1234), &thread);
    // An 8-byte entry holds a node of two 32-bit pointers, not of two 64-bit ones.
    EXPECT_EQ(pool->UsedTotal(), sizeof(void*) == 4 ? 1 : 0);
    g_thread_manager.RemoveThread(&thread);
    EXPECT_EQ(g_thread_manager.FindThread(1234), nullptr);
    EXPECT_EQ(pool->UsedTotal(), 0);
}
