#include "platform/os/Thread.h"
#include "platform/os/Sync.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace {

struct Probe {
    std::atomic<bool> ran{false};
    std::atomic<DWORD> id{0};
    std::atomic<int> priority{-1};
    std::atomic<int> nice{-100}; // the host's nice value of the thread
    HANDLE release = nullptr;    // the routine waits for it when set
    DWORD result = 42;
};

DWORD ProbeRoutine(LPVOID parameter)
{
    auto* probe = static_cast<Probe*>(parameter);
    probe->id = GetCurrentThreadId();
    probe->priority = GetThreadPriority(GetCurrentThread());
    probe->nice = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
    probe->ran = true;
    if (probe->release)
        WaitForSingleObject(probe->release, INFINITE);
    return probe->result;
}

void AwaitLiveThreads(std::size_t n)
{
    while (platform::LiveThreadCount() != n)
        std::this_thread::yield();
}

TEST(Thread, SuspendedThreadStartsOnResume)
{
    Probe probe;
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, ProbeRoutine, &probe, CREATE_SUSPENDED, &id);
    ASSERT_NE(thread, nullptr);
    EXPECT_NE(id, 0u);

    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, STILL_ACTIVE);
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_TIMEOUT);
    EXPECT_TRUE(SetThreadPriority(thread, THREAD_PRIORITY_IDLE));
    EXPECT_FALSE(probe.ran);

    EXPECT_EQ(ResumeThread(thread), 1u);
    EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    EXPECT_TRUE(probe.ran);
    EXPECT_EQ(probe.id, id);
    EXPECT_EQ(probe.priority, THREAD_PRIORITY_IDLE);
    ASSERT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, 42u);
    EXPECT_EQ(ResumeThread(thread), 0u);
    CloseHandle(thread);
}

TEST(Thread, ThreadsBelowNormalRunAtAHigherNiceValue)
{
    const int base = getpriority(PRIO_PROCESS, 0);
    const struct {
        int priority;
        int nice; // above the process's
    } rows[] = {
        {THREAD_PRIORITY_HIGHEST, 0}, {THREAD_PRIORITY_NORMAL, 0}, {THREAD_PRIORITY_BELOW_NORMAL, 5},
        {THREAD_PRIORITY_LOWEST, 10}, {THREAD_PRIORITY_IDLE, 19},
    };
    for (const auto& row : rows) {
        Probe probe;
        HANDLE thread = CreateThread(nullptr, 0, ProbeRoutine, &probe, CREATE_SUSPENDED, nullptr);
        ASSERT_NE(thread, nullptr);
        EXPECT_TRUE(SetThreadPriority(thread, row.priority));
        ResumeThread(thread);
        EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
        EXPECT_EQ(probe.nice, std::min(base + row.nice, 19)) << row.priority;
        CloseHandle(thread);
    }
}

TEST(Thread, StillActiveUntilTheRoutineReturns)
{
    Probe probe;
    probe.release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    probe.result = 7;
    HANDLE thread = CreateThread(nullptr, 0, ProbeRoutine, &probe, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    while (!probe.ran)
        std::this_thread::yield();

    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, STILL_ACTIVE);
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_TIMEOUT);
    EXPECT_EQ(ResumeThread(thread), 0u);

    SetEvent(probe.release);
    EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0); // stays signalled
    ASSERT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, 7u);
    CloseHandle(thread);
    CloseHandle(probe.release);
}

TEST(Thread, WaitForAllThreadsToEnd)
{
    Probe probes[2];
    HANDLE threads[2];
    for (int i = 0; i < 2; ++i)
        threads[i] = CreateThread(nullptr, 0, ProbeRoutine, &probes[i], 0, nullptr);
    EXPECT_EQ(WaitForMultipleObjects(2, threads, TRUE, INFINITE), WAIT_OBJECT_0);
    EXPECT_TRUE(probes[0].ran && probes[1].ran);
    EXPECT_NE(probes[0].id, probes[1].id);
    for (HANDLE thread : threads)
        CloseHandle(thread);
}

TEST(Thread, EndsCleanlyWhenEveryHandleIsClosed)
{
    std::size_t live = platform::LiveThreadCount();
    Probe probe;
    probe.release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = CreateThread(nullptr, 0, ProbeRoutine, &probe, 0, nullptr);
    ASSERT_TRUE(CloseHandle(thread));
    EXPECT_EQ(GetExitCodeThread(thread, nullptr), FALSE);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(platform::LiveThreadCount(), live + 1);
    SetEvent(probe.release);
    AwaitLiveThreads(live);
    CloseHandle(probe.release);

    // A suspended thread whose handle is closed never runs.
    Probe idle;
    HANDLE suspended = CreateThread(nullptr, 0, ProbeRoutine, &idle, CREATE_SUSPENDED, nullptr);
    ASSERT_TRUE(CloseHandle(suspended));
    EXPECT_EQ(ResumeThread(suspended), 0xFFFFFFFFu);
    EXPECT_FALSE(idle.ran);
}

TEST(Thread, IdsAreStableAndDistinct)
{
    DWORD main = GetCurrentThreadId();
    EXPECT_NE(main, 0u);
    EXPECT_EQ(GetCurrentThreadId(), main);
    DWORD other = 0;
    std::thread([&] { other = GetCurrentThreadId(); }).join();
    EXPECT_NE(other, 0u);
    EXPECT_NE(other, main);
}

TEST(Thread, PrioritiesAreStoredAndReported)
{
    HANDLE self = GetCurrentThread();
    EXPECT_EQ(GetThreadPriority(self), THREAD_PRIORITY_NORMAL);
    for (int priority : {THREAD_PRIORITY_TIME_CRITICAL, THREAD_PRIORITY_IDLE, THREAD_PRIORITY_NORMAL}) {
        EXPECT_TRUE(SetThreadPriority(self, priority));
        EXPECT_EQ(GetThreadPriority(self), priority);
    }
    for (int priority : {-1, 8}) {
        SetLastError(0);
        EXPECT_FALSE(SetThreadPriority(self, priority));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    }
    EXPECT_EQ(GetThreadPriority(self), THREAD_PRIORITY_NORMAL);
    EXPECT_TRUE(CloseHandle(self)); // the pseudo handle needs no closing

    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    EXPECT_EQ(GetThreadPriority(event), THREAD_PRIORITY_ERROR_RETURN); // not a thread
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(ResumeThread(event), 0xFFFFFFFFu);
    CloseHandle(event);
}

TEST(Thread, RejectsMissingRoutine)
{
    EXPECT_EQ(CreateThread(nullptr, 0, nullptr, nullptr, 0, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

} // namespace
