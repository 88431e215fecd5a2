#include "platform/os/Sync.h"
#include "platform/base/Clock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

// Blocks until n threads are blocked in waits (the threads under test have
// registered their wait).
void AwaitBlockedWaiters(std::size_t n)
{
    while (platform::BlockedWaiterCount() != n)
        std::this_thread::yield();
}

// Threads that each wait once on a handle without limit and record the result.
class Waiters {
public:
    Waiters(HANDLE handle, int count)
    {
        for (int i = 0; i < count; ++i) {
            m_threads.emplace_back([this, handle] {
                DWORD result = WaitForSingleObject(handle, INFINITE);
                if (result == WAIT_OBJECT_0)
                    ++m_released;
            });
        }
        AwaitBlockedWaiters(static_cast<std::size_t>(count));
    }
    ~Waiters() { Join(); }
    void Join()
    {
        for (auto& thread : m_threads) {
            if (thread.joinable())
                thread.join();
        }
    }
    int Released() const { return m_released; }

private:
    std::vector<std::thread> m_threads;
    std::atomic<int> m_released{0};
};

bool IsSignaled(HANDLE event)
{
    return WaitForSingleObject(event, 0) == WAIT_OBJECT_0;
}

TEST(Event, ManualResetStaysSignaledUntilReset)
{
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    EXPECT_FALSE(IsSignaled(event));
    {
        Waiters waiters(event, 3);
        ASSERT_TRUE(SetEvent(event));
        waiters.Join();
        EXPECT_EQ(waiters.Released(), 3);
    }
    EXPECT_TRUE(IsSignaled(event));
    EXPECT_TRUE(IsSignaled(event));
    ASSERT_TRUE(ResetEvent(event));
    EXPECT_FALSE(IsSignaled(event));
    CloseHandle(event);
}

TEST(Event, AutoResetReleasesOneWaiterPerSet)
{
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    Waiters waiters(event, 3);
    for (int left = 2; left >= 0; --left) {
        ASSERT_TRUE(SetEvent(event));
        // The set was taken by one waiter at once; the event is clear again.
        EXPECT_EQ(platform::BlockedWaiterCount(), static_cast<std::size_t>(left));
        EXPECT_FALSE(IsSignaled(event));
    }
    waiters.Join();
    EXPECT_EQ(waiters.Released(), 3);

    // Without waiters the set is kept for the next wait only.
    SetEvent(event);
    EXPECT_TRUE(IsSignaled(event));
    EXPECT_FALSE(IsSignaled(event));
    CloseHandle(event);
}

TEST(Event, PulseReleasesPresentWaitersAndLeavesEventClear)
{
    struct Case {
        BOOL manualReset;
        std::size_t stillBlocked; // of 2 waiters after one pulse
    };
    for (Case c : {Case{TRUE, 0}, Case{FALSE, 1}}) {
        SCOPED_TRACE(c.manualReset);
        HANDLE event = CreateEventW(nullptr, c.manualReset, FALSE, nullptr);
        ASSERT_TRUE(PulseEvent(event)); // nobody waiting: nothing is kept
        EXPECT_FALSE(IsSignaled(event));
        Waiters waiters(event, 2);
        ASSERT_TRUE(EventModify(event, EVENT_PULSE));
        EXPECT_EQ(platform::BlockedWaiterCount(), c.stillBlocked);
        EXPECT_FALSE(IsSignaled(event));
        if (c.stillBlocked)
            EventModify(event, EVENT_SET);
        waiters.Join();
        EXPECT_EQ(waiters.Released(), 2);
        CloseHandle(event);
    }
}

TEST(Event, EventModifyRejectsUnknownFunction)
{
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    EXPECT_FALSE(EventModify(event, 7));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(EventModify(event, EVENT_SET));
    EXPECT_TRUE(IsSignaled(event));
    EXPECT_TRUE(EventModify(event, EVENT_RESET));
    EXPECT_FALSE(IsSignaled(event));
    CloseHandle(event);
}

TEST(NamedEvent, SameNameOpensSameEventAndKeepsItsState)
{
    HANDLE first = CreateEventW(nullptr, TRUE, FALSE, u"APP_EVENT_TEST");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);

    // Kind and initial state of the second call are ignored.
    HANDLE second = CreateEventW(nullptr, FALSE, TRUE, u"APP_EVENT_TEST");
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_NE(first, second);
    EXPECT_FALSE(IsSignaled(first));

    SetEvent(second);
    EXPECT_TRUE(IsSignaled(first));
    EXPECT_TRUE(IsSignaled(first)); // still manual-reset
    ResetEvent(first);
    EXPECT_FALSE(IsSignaled(second));

    HANDLE opened = OpenEventW(EVENT_ALL_ACCESS, FALSE, u"APP_EVENT_TEST");
    ASSERT_NE(opened, nullptr);
    SetEvent(opened);
    EXPECT_TRUE(IsSignaled(second));

    // Names are exact: another name is another event.
    HANDLE other = CreateEventW(nullptr, TRUE, FALSE, u"app_event_test");
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    EXPECT_FALSE(IsSignaled(other));
    CloseHandle(other);

    CloseHandle(first);
    CloseHandle(second);
    CloseHandle(opened);
}

TEST(NamedEvent, LivesWhileAnyHandleIsOpen)
{
    EXPECT_EQ(OpenEventW(EVENT_ALL_ACCESS, FALSE, u"APP_EVENT_LIFE"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);

    HANDLE first = CreateEventW(nullptr, TRUE, TRUE, u"APP_EVENT_LIFE");
    HANDLE second = OpenEventW(EVENT_ALL_ACCESS, FALSE, u"APP_EVENT_LIFE");
    ASSERT_NE(second, nullptr);
    CloseHandle(first);
    EXPECT_TRUE(IsSignaled(second));
    CloseHandle(second);

    EXPECT_EQ(OpenEventW(EVENT_ALL_ACCESS, FALSE, u"APP_EVENT_LIFE"), nullptr);
    HANDLE fresh = CreateEventW(nullptr, TRUE, FALSE, u"APP_EVENT_LIFE");
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    EXPECT_FALSE(IsSignaled(fresh));
    CloseHandle(fresh);
}

TEST(NamedEvent, WaitGoesOnWhenItsHandleIsClosed)
{
    HANDLE waited = CreateEventW(nullptr, FALSE, FALSE, u"APP_EVENT_CLOSE");
    HANDLE other = OpenEventW(EVENT_ALL_ACCESS, FALSE, u"APP_EVENT_CLOSE");
    Waiters waiters(waited, 1);
    CloseHandle(waited);
    SetEvent(other);
    waiters.Join();
    EXPECT_EQ(waiters.Released(), 1);
    CloseHandle(other);
}

TEST(Wait, TimeOutFollowsTheManualClock)
{
    platform::ManualClock clock;
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);

    // One millisecond before the deadline the wait is still there to be
    // released by the event.
    std::atomic<DWORD> result{WAIT_FAILED};
    std::thread waiter([&] { result = WaitForSingleObject(event, 100); });
    AwaitBlockedWaiters(1);
    clock.Advance(99);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    SetEvent(event);
    waiter.join();
    EXPECT_EQ(result, WAIT_OBJECT_0);

    // Moving the clock to the deadline ends the wait.
    std::thread timed([&] { result = WaitForSingleObject(event, 100); });
    AwaitBlockedWaiters(1);
    clock.Advance(100);
    timed.join();
    EXPECT_EQ(result, WAIT_TIMEOUT);
    EXPECT_EQ(platform::BlockedWaiterCount(), 0u);
    CloseHandle(event);
}

TEST(Wait, TimesOutOnTheRealClock)
{
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    EXPECT_EQ(WaitForSingleObject(event, 10), WAIT_TIMEOUT);
    HANDLE both[] = {event, event};
    EXPECT_EQ(WaitForMultipleObjects(2, both, FALSE, 10), WAIT_TIMEOUT);
    CloseHandle(event);
}

TEST(Wait, AnyAnswersLowestSignaledIndex)
{
    HANDLE events[3];
    for (HANDLE& event : events)
        event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    EXPECT_EQ(WaitForMultipleObjects(3, events, FALSE, 0), WAIT_TIMEOUT);
    SetEvent(events[2]);
    SetEvent(events[1]);
    EXPECT_EQ(WaitForMultipleObjects(3, events, FALSE, 0), WAIT_OBJECT_0 + 1);
    // Only the event that satisfied the wait was consumed.
    EXPECT_EQ(WaitForMultipleObjects(3, events, FALSE, INFINITE), WAIT_OBJECT_0 + 2);

    std::atomic<DWORD> result{WAIT_FAILED};
    std::thread waiter([&] { result = WaitForMultipleObjects(3, events, FALSE, INFINITE); });
    AwaitBlockedWaiters(1);
    SetEvent(events[2]);
    waiter.join();
    EXPECT_EQ(result, WAIT_OBJECT_0 + 2);
    for (HANDLE event : events)
        CloseHandle(event);
}

TEST(Wait, AllNeedsEverySignalAtOnceAndConsumesOnlyThen)
{
    HANDLE autoEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE manualEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE both[] = {autoEvent, manualEvent};

    SetEvent(autoEvent);
    EXPECT_EQ(WaitForMultipleObjects(2, both, TRUE, 0), WAIT_TIMEOUT);
    EXPECT_TRUE(IsSignaled(autoEvent)); // not consumed by the failed wait-all

    std::atomic<DWORD> result{WAIT_FAILED};
    std::thread waiter([&] { result = WaitForMultipleObjects(2, both, TRUE, INFINITE); });
    AwaitBlockedWaiters(1);
    SetEvent(autoEvent);
    EXPECT_EQ(platform::BlockedWaiterCount(), 1u);
    SetEvent(manualEvent);
    waiter.join();
    EXPECT_EQ(result, WAIT_OBJECT_0);
    EXPECT_FALSE(IsSignaled(autoEvent));
    EXPECT_TRUE(IsSignaled(manualEvent));
    CloseHandle(autoEvent);
    CloseHandle(manualEvent);
}

TEST(Wait, RejectsBadArguments)
{
    HANDLE event = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    HANDLE twice[] = {event, event};
    HANDLE many[MAXIMUM_WAIT_OBJECTS + 1];
    for (HANDLE& h : many)
        h = event;
    struct Case {
        DWORD count;
        const HANDLE* handles;
        BOOL waitAll;
        DWORD error;
    };
    const Case cases[] = {
        {0, twice, FALSE, ERROR_INVALID_PARAMETER},
        {MAXIMUM_WAIT_OBJECTS + 1, many, FALSE, ERROR_INVALID_PARAMETER},
        {2, nullptr, FALSE, ERROR_INVALID_PARAMETER},
        {2, twice, TRUE, ERROR_INVALID_PARAMETER},
    };
    for (const Case& c : cases) {
        SetLastError(0);
        EXPECT_EQ(WaitForMultipleObjects(c.count, c.handles, c.waitAll, 0), WAIT_FAILED);
        EXPECT_EQ(GetLastError(), c.error);
    }
    // The same object twice is fine in a wait for any.
    EXPECT_EQ(WaitForMultipleObjects(2, twice, FALSE, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForMultipleObjects(MAXIMUM_WAIT_OBJECTS, many, FALSE, 0), WAIT_OBJECT_0);
    CloseHandle(event);
}

TEST(Handle, ClosedHandleIsRecognised)
{
    std::size_t open = platform::OpenHandleCount();
    HANDLE event = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    EXPECT_EQ(platform::OpenHandleCount(), open + 1);
    ASSERT_TRUE(CloseHandle(event));
    EXPECT_EQ(platform::OpenHandleCount(), open);

    // Handles made and closed after it, reusing its slot, never repeat the
    // closed value.
    for (int i = 0; i < 200; ++i) {
        HANDLE later = CreateEventW(nullptr, TRUE, TRUE, nullptr);
        EXPECT_NE(later, event);
        CloseHandle(later);
    }

    HANDLE other = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    HANDLE stale[] = {other, event};
    const HANDLE bad[] = {event, nullptr, INVALID_HANDLE_VALUE, reinterpret_cast<HANDLE>(0x12345678)};
    for (HANDLE h : bad) {
        SetLastError(0);
        EXPECT_EQ(WaitForSingleObject(h, 0), WAIT_FAILED);
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
        SetLastError(0);
        EXPECT_FALSE(SetEvent(h));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
        SetLastError(0);
        EXPECT_FALSE(CloseHandle(h));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    }
    EXPECT_EQ(WaitForMultipleObjects(2, stale, FALSE, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);

    CloseHandle(other);
}

TEST(CriticalSection, IsRecursiveAndExcludesOtherThreads)
{
    CRITICAL_SECTION section;
    InitializeCriticalSection(&section);
    EnterCriticalSection(&section);
    EXPECT_TRUE(TryEnterCriticalSection(&section));

    auto otherThreadEnters = [&] {
        BOOL entered = FALSE;
        std::thread other([&] {
            entered = TryEnterCriticalSection(&section);
            if (entered)
                LeaveCriticalSection(&section);
        });
        other.join();
        return entered;
    };
    EXPECT_FALSE(otherThreadEnters());
    LeaveCriticalSection(&section);
    EXPECT_FALSE(otherThreadEnters()); // still held once
    LeaveCriticalSection(&section);
    EXPECT_TRUE(otherThreadEnters());
    DeleteCriticalSection(&section);
}

TEST(Interlocked, OperationsReturnNewOrPreviousValue)
{
    volatile LONG value = 5;
    EXPECT_EQ(InterlockedIncrement(&value), 6);
    EXPECT_EQ(InterlockedDecrement(&value), 5);
    EXPECT_EQ(InterlockedExchange(&value, 9), 5);
    EXPECT_EQ(value, 9);
    EXPECT_EQ(InterlockedCompareExchange(&value, 1, 4), 9); // no match: unchanged
    EXPECT_EQ(value, 9);
    EXPECT_EQ(InterlockedCompareExchange(&value, 1, 9), 9);
    EXPECT_EQ(value, 1);

    volatile LONG counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 10000; ++i)
                InterlockedIncrement(&counter);
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(counter, 40000);
}

} // namespace
