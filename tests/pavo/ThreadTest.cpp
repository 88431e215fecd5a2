#include "Lib_cpp/core/Thread.h"
#include "Lib_cpp/core/Diag.h"
#include "Lib_cpp/core/ItemTree.h"
#include "platform/base/Clock.h"
#include "platform/base/Debug.h"
#include "platform/base/Text.h"
#include "platform/ui/Window.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

// Manual-reset event owned by a test.
struct Event {
    HANDLE handle = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ~Event() { CloseHandle(handle); }
    void Set() const { SetEvent(handle); }
    void Reset() const { ResetEvent(handle); }
    bool WaitFor() const { return WaitForSingleObject(handle, INFINITE) == WAIT_OBJECT_0; }
    bool IsSet() const { return WaitForSingleObject(handle, 0) == WAIT_OBJECT_0; }
};

// What a worker saw. Lives outside the worker, so that it can be read after
// the worker is gone.
struct Record {
    std::atomic<int> executed{0};
    Event entered; // set at the start of every Execute
    Event proceed; // when hold is set, Execute waits for it
    std::atomic<bool> hold{false};
    std::atomic<bool> stopAfter{false}; // Execute asks for the stop itself
    std::atomic<bool> returned{false};  // the last Execute has returned
};

class ProbeWorker : public IxThread {
public:
    explicit ProbeWorker(Record& record) : m_record(record) {}
    // Execute uses this class's members: the thread ends before they go.
    ~ProbeWorker() override { EndThread(); }

    int Execute() override
    {
        m_record.returned = false;
        ++m_record.executed;
        m_record.entered.Set();
        if (m_record.hold)
            m_record.proceed.WaitFor();
        if (m_record.stopAfter)
            RequestStop();
        m_record.returned = true;
        return 0;
    }

private:
    Record& m_record;
};

void AwaitState(const IxThread& thread, LONG state)
{
    while (thread.GetState() != state)
        std::this_thread::yield();
}

TEST(IxThread, StartWhileExecutingRunsExecuteAgainWithoutWaiting)
{
    Record record;
    record.hold = true;
    ProbeWorker worker(record);
    ASSERT_TRUE(worker.Start());
    record.entered.WaitFor();
    record.entered.Reset();

    EXPECT_TRUE(worker.Start()); // while the first Execute runs
    EXPECT_EQ(worker.GetState(), IXTHREAD_START_REQUESTED);
    record.hold = false;
    record.proceed.Set();
    record.entered.WaitFor();
    AwaitState(worker, IXTHREAD_WAITING);
    EXPECT_EQ(record.executed, 2);

    // An idle worker is woken by the next Start.
    record.entered.Reset();
    EXPECT_TRUE(worker.Start());
    record.entered.WaitFor();
    AwaitState(worker, IXTHREAD_WAITING);
    EXPECT_EQ(record.executed, 3);
    EXPECT_TRUE(worker.Stop(INFINITE));
    EXPECT_EQ(record.executed, 3);
}

TEST(IxThread, StopsWithinTimeOutAndStartsAgain)
{
    Record record;
    ProbeWorker worker(record);
    ASSERT_TRUE(worker.Start(THREAD_PRIORITY_BELOW_NORMAL));
    EXPECT_EQ(GetThreadPriority(worker.GetThreadHandle()), THREAD_PRIORITY_BELOW_NORMAL);
    AwaitState(worker, IXTHREAD_WAITING);
    EXPECT_TRUE(worker.IsRunning());

    platform::DebugCapture log;
    EXPECT_TRUE(worker.Stop(10000));
    EXPECT_FALSE(worker.IsRunning());
    EXPECT_EQ(worker.GetThreadHandle(), nullptr);
    EXPECT_EQ(worker.GetState(), IXTHREAD_IDLE);
    EXPECT_EQ(record.executed, 1);
    EXPECT_FALSE(log.Contains("warning"));

    ASSERT_TRUE(worker.Start());
    AwaitState(worker, IXTHREAD_WAITING);
    EXPECT_EQ(record.executed, 2);
    EXPECT_TRUE(worker.Stop(10000));
}

TEST(IxThread, StopOnEndedThreadOnlyClosesHandles)
{
    Record record;
    record.stopAfter = true;
    ProbeWorker worker(record);
    ASSERT_TRUE(worker.Start());
    ASSERT_EQ(WaitForSingleObject(worker.GetThreadHandle(), INFINITE), WAIT_OBJECT_0);
    EXPECT_FALSE(worker.IsRunning());
    EXPECT_NE(worker.GetThreadHandle(), nullptr);

    platform::DebugCapture log;
    EXPECT_TRUE(worker.Stop(0));
    EXPECT_EQ(worker.GetThreadHandle(), nullptr);
    EXPECT_EQ(log.Text(), "");
    EXPECT_TRUE(worker.Stop(0)); // nothing left to do
    EXPECT_EQ(record.executed, 1);
}

TEST(IxThread, StartAfterTheThreadEndedStartsANewOne)
{
    Record record;
    record.stopAfter = true;
    ProbeWorker worker(record);
    ASSERT_TRUE(worker.Start());
    HANDLE first = worker.GetThreadHandle();
    ASSERT_EQ(WaitForSingleObject(first, INFINITE), WAIT_OBJECT_0);

    ASSERT_TRUE(worker.Start());
    ASSERT_EQ(WaitForSingleObject(worker.GetThreadHandle(), INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(record.executed, 2);
}

// A worker with no members of its own, so that the base destructor is the one
// that ends its thread.
class BareWorker : public IxThread {
public:
    static Record* s_record;

    int Execute() override
    {
        ++s_record->executed;
        s_record->entered.Set();
        s_record->proceed.WaitFor();
        s_record->returned = true;
        return 0;
    }
};
Record* BareWorker::s_record = nullptr;

TEST(IxThread, StopThatTimesOutWarnsAndDestructorStillWaits)
{
    Record record;
    BareWorker::s_record = &record;
    auto* worker = new BareWorker;
    ASSERT_TRUE(worker->Start());
    record.entered.WaitFor();

    platform::DebugCapture log;
    EXPECT_FALSE(worker->Stop(20));
    EXPECT_TRUE(log.Text().starts_with("!!! warning [THREAD]"));
    EXPECT_TRUE(worker->IsRunning());
    EXPECT_NE(worker->GetThreadHandle(), nullptr);

    std::thread releaser([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        record.proceed.Set();
    });
    delete worker;
    EXPECT_TRUE(record.returned);
    EXPECT_EQ(record.executed, 1); // the stop request held: no further round
    releaser.join();
}

// ---------------------------------------------------------------------------

class ProbeWaiter : public IxWaitThread {
public:
    ProbeWaiter(int repeats) : m_repeats(repeats) {}
    ~ProbeWaiter() override { EndThread(); }

    int Do() override
    {
        ++calls;
        bool again = ++m_round < m_repeats;
        if (!again) {
            m_round = 0;
            done.Set();
        }
        return again ? 1 : 0;
    }

    std::atomic<int> calls{0};
    Event done;

private:
    int m_repeats;
    int m_round = 0;
};

TEST(IxWaitThread, RunsDoOncePerSignalWhileDoAnswersZero)
{
    struct Case {
        int repeats; // Do answers non-zero repeats - 1 times in a row
        DWORD interval;
    };
    for (Case c : {Case{1, 0}, Case{3, 0}, Case{3, 1}}) {
        SCOPED_TRACE(c.repeats * 10 + c.interval);
        ProbeWaiter waiter(c.repeats);
        ASSERT_TRUE(waiter.Start(u"APP_EVENT_WAIT_TEST", c.interval));
        HANDLE event = CreateEventW(nullptr, TRUE, FALSE, u"APP_EVENT_WAIT_TEST");
        EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
        for (int signal = 1; signal <= 3; ++signal) {
            waiter.done.Reset();
            SetEvent(event);
            waiter.done.WaitFor();
        }
        EXPECT_TRUE(waiter.Stop(INFINITE));
        EXPECT_EQ(waiter.calls, 3 * c.repeats);
        EXPECT_FALSE(waiter.IsRunning());
        CloseHandle(event);
    }
}

TEST(IxWaitThread, StopWakesTheWaitingThreadAndStartsAgain)
{
    ProbeWaiter waiter(1);
    ASSERT_TRUE(waiter.Start(u"APP_EVENT_WAIT_STOP"));
    EXPECT_TRUE(waiter.Stop(INFINITE));
    EXPECT_EQ(waiter.calls, 0);

    ASSERT_TRUE(waiter.Start(u"APP_EVENT_WAIT_STOP"));
    HANDLE event = OpenEventW(EVENT_ALL_ACCESS, FALSE, u"APP_EVENT_WAIT_STOP");
    ASSERT_NE(event, nullptr);
    SetEvent(event);
    waiter.done.WaitFor();
    EXPECT_EQ(waiter.calls, 1);
    CloseHandle(event);
    // The destructor stops it.
}

// ---------------------------------------------------------------------------

struct SelfRecord {
    std::atomic<bool> ran{false};
    std::atomic<bool> deleted{false};
    Event started;
};

class ProbeSelfThread : public IxSelfThread {
public:
    ProbeSelfThread(SelfRecord& record, bool loop) : m_record(record), m_loop(loop) {}
    ~ProbeSelfThread() override { m_record.deleted = true; }

    DWORD Run() override
    {
        m_record.ran = true;
        m_record.started.Set();
        while (m_loop && !IsStopRequested())
            Sleep(1);
        return 0;
    }

private:
    SelfRecord& m_record;
    bool m_loop;
};

TEST(IxSelfThread, RunsOnceAndDeletesItself)
{
    std::size_t live = platform::LiveThreadCount();
    SelfRecord record;
    auto* thread = new ProbeSelfThread(record, false);
    ASSERT_TRUE(thread->Start(THREAD_PRIORITY_IDLE));
    while (platform::LiveThreadCount() != live)
        std::this_thread::yield();
    EXPECT_TRUE(record.ran);
    EXPECT_TRUE(record.deleted);
}

TEST(IxSelfThread, KillStopsRunAndWaitsForTheEnd)
{
    SelfRecord record;
    auto* thread = new ProbeSelfThread(record, true);
    ASSERT_TRUE(thread->Start());
    record.started.WaitFor();
    EXPECT_TRUE(thread->Kill());
    EXPECT_TRUE(record.deleted);

    // Killed before it ever started: nothing to wait for, still the caller's.
    SelfRecord idle;
    auto* unstarted = new ProbeSelfThread(idle, true);
    EXPECT_TRUE(unstarted->Kill());
    EXPECT_TRUE(unstarted->IsStopRequested());
    delete unstarted;
    EXPECT_FALSE(idle.ran);
}

// ---------------------------------------------------------------------------

TEST(IxWorkerThread, HoldsAReferenceToItsTargetAndReportsWithOrWithoutOne)
{
    auto* target = new IxNotifyTarget(82);
    {
        IxWorkerThread worker(target);
        EXPECT_EQ(target->GetRefCount(), 2);
        EXPECT_EQ(worker.GetNotifyTarget(), target);
        EXPECT_TRUE(worker.ReportPlaying());
        EXPECT_TRUE(worker.ReportPaused());
        EXPECT_TRUE(worker.ReportStopped());
        ASSERT_TRUE(worker.Start());
        EXPECT_EQ(worker.Connect(0, 0), 0);
    }
    EXPECT_EQ(target->GetRefCount(), 1);
    target->Release();

    IxWorkerThread lone(nullptr);
    EXPECT_TRUE(lone.ReportPlaying());
    EXPECT_TRUE(lone.ReportPaused());
    EXPECT_TRUE(lone.ReportStopped());
}

// ---------------------------------------------------------------------------

struct Counted : IxObject {
    explicit Counted(int& deaths) : m_deaths(deaths) {}
    ~Counted() override { ++m_deaths; }
    int& m_deaths;
};

TEST(IxObjectNode, OwnsAndDeletesItsChildren)
{
    int deaths = 0;
    auto* first = new Counted(deaths);
    auto* second = new Counted(deaths);
    {
        IxObjectNode node;
        EXPECT_FALSE(node.AddChild(nullptr));
        ASSERT_TRUE(node.AddChild(first));
        ASSERT_TRUE(node.AddChild(second));
        ASSERT_TRUE(node.AddChild(new Counted(deaths)));
        EXPECT_EQ(node.GetChildCount(), 3);
        EXPECT_EQ(node.FirstChild(), first);
        EXPECT_EQ(node.ChildAt(1), second);
        EXPECT_EQ(node.ChildAt(3), nullptr);
        EXPECT_EQ(node.IndexOfChild(second), 1);

        EXPECT_TRUE(node.RemoveChild(first));
        EXPECT_EQ(deaths, 1);
        EXPECT_FALSE(node.RemoveChild(first));
        EXPECT_EQ(node.IndexOfChild(second), 0);
    }
    EXPECT_EQ(deaths, 3);
}

TEST(IxItemNode, AddChildNameRaisesTheExpectedCount)
{
    IxItemNode node(7, u"iPodRoot", 0);
    EXPECT_EQ(node.GetKind(), 7);
    EXPECT_TRUE(node.GetName().Equals(u"iPodRoot"));
    EXPECT_TRUE(node.IsCountUnknown());
    EXPECT_EQ(node.GetExpectedCount(), -1);
    EXPECT_FALSE(node.IsComplete());

    ASSERT_TRUE(node.AddChildName(u"Songs"));
    EXPECT_EQ(node.GetExpectedCount(), 1);
    EXPECT_EQ(node.GetLoadedCount(), 1);
    EXPECT_FALSE(node.IsCountUnknown());
    EXPECT_TRUE(node.IsComplete());

    // A larger announced count stays until the names catch up.
    node.SetExpectedCount(3);
    ASSERT_TRUE(node.AddChildName(u"Albums"));
    EXPECT_EQ(node.GetExpectedCount(), 3);
    EXPECT_FALSE(node.IsComplete());
    ASSERT_TRUE(node.AddChildName(u"Genres"));
    EXPECT_TRUE(node.IsComplete());
    EXPECT_EQ(node.GetItemCount(), 3);
    EXPECT_EQ(lstrcmpW(node.GetItems().TextAt(1), u"Albums"), 0);
}

TEST(IxItemNode, ChildrenAreItemNodes)
{
    IxItemNode root(7, u"iPodRoot", 0);
    auto* songs = new IxItemNode(5, u"Songs", 0);
    ASSERT_TRUE(root.AddChild(new IxItemNode(1, u"Playlists", 0)));
    ASSERT_TRUE(root.AddChild(songs));
    EXPECT_EQ(root.FirstChild()->GetKind(), 1);
    EXPECT_EQ(root.ChildAt(1), songs);
    EXPECT_EQ(root.ChildAt(2), nullptr);
    EXPECT_EQ(root.IndexOfChild(songs), 1);
}

TEST(IxItemCursor, ResetsToNoPosition)
{
    IxItemCursor cursor;
    cursor.m_strTitle.Assign(u"Title");
    cursor.m_nLength = 200;
    cursor.m_nPosition = 10;
    cursor.m_nCount = 12;
    cursor.m_nIndex = 3;
    cursor.Reset();
    EXPECT_TRUE(cursor.m_strTitle.IsEmpty());
    EXPECT_EQ(cursor.m_strTitle.Data(), nullptr);
    EXPECT_EQ(cursor.m_nLength, 0);
    EXPECT_EQ(cursor.m_nPosition, -1);
    EXPECT_EQ(cursor.m_nCount, -1);
    EXPECT_EQ(cursor.m_nIndex, -1);
}

// Records every result and lets the test wait for the next one.
class RecordingWaiter : public IxWindowWaiter {
public:
    RecordingWaiter(LPCWSTR title, DWORD interval) : IxWindowWaiter(nullptr, title, interval)
    {
        m_hResult = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    }
    ~RecordingWaiter() override
    {
        EndThread();
        CloseHandle(m_hResult);
    }
    void OnWaitResult(int result) override
    {
        results.push_back(result);
        last = result;
        SetEvent(m_hResult);
    }
    bool WaitResult() { return WaitForSingleObject(m_hResult, 10000) == WAIT_OBJECT_0; }
    std::vector<int> results; // written by the thread, read once it has stopped
    std::atomic<int> last{2};
    HANDLE m_hResult;
};

TEST(IxWindowWaiter, ReportsUntilTheWindowAppears)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.lpszClassName = u"WaiterTestClass";
    RegisterClassW(&wc);

    RecordingWaiter waiter(u"Lumo", 1);
    ASSERT_TRUE(waiter.Start());
    ASSERT_TRUE(waiter.WaitResult()); // 1: not there yet
    HWND hwnd = CreateWindowExW(0, u"WaiterTestClass", u"Lumo", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    // Results keep coming until the waiter has seen the window.
    while (waiter.last != 0 && waiter.WaitResult()) {}
    ASSERT_TRUE(waiter.Stop(10000));
    ASSERT_GE(waiter.results.size(), 2u);
    EXPECT_EQ(waiter.results.front(), 1);
    EXPECT_EQ(waiter.results.back(), 0);
    DestroyWindow(hwnd);
    UnregisterClassW(u"WaiterTestClass", nullptr);
}

TEST(IxWindowWaiter, NoIntervalMeansNothingToWaitFor)
{
    RecordingWaiter waiter(u"Lumo", 0);
    ASSERT_TRUE(waiter.Start());
    ASSERT_TRUE(waiter.WaitResult());
    ASSERT_TRUE(waiter.Stop(10000));
    EXPECT_EQ(waiter.results, std::vector<int>{-1});
    EXPECT_TRUE(waiter.GetTitle().IsEmpty());
}

} // namespace
