// The resource loader's order: the groups in queue order, a waited-for
// group moved ahead, no loader run twice, and a wait that ends.
#include "Source/gate/GateLoaderThread.h"
#include "platform/base/Clock.h"
#include "platform/os/Sync.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

using namespace gate;

namespace {

const int kLoaders[GateLoaderThread::kGroupCount] = {20, 28, 28, 30, 30, 8, 1};

// Records each loader run as {group, index}; a loader can be held until the
// test lets it go.
class RecordingPlan : public IxGateLoadPlan {
public:
    void Prepare() override { m_prepared = true; }
    void Register(GateLoaderThread& loader) override
    {
        for (int group = 1; group <= GateLoaderThread::kGroupCount; ++group)
            for (int i = 0; i < kLoaders[group - 1]; ++i)
                loader.AddLoader(group, [this, group, i] { Run(group, i); });
    }
    void Finished() override
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_finished = true;
    }

    // The loader {group, index} waits in its run until Release.
    void HoldAt(int group, int index)
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_hold = {group, index};
    }
    void WaitUntilHeld()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_cv.wait(lock, [this] { return m_held; });
    }
    void Release()
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_hold = {0, 0};
        m_cv.notify_all();
    }
    std::vector<std::pair<int, int>> Runs()
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        return m_runs;
    }
    bool Done()
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        return m_finished && m_prepared;
    }

private:
    void Run(int group, int index)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_runs.emplace_back(group, index);
        if (m_hold == std::pair<int, int>{group, index}) {
            m_held = true;
            m_cv.notify_all();
            m_cv.wait(lock, [&] { return m_hold != std::pair<int, int>{group, index}; });
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::vector<std::pair<int, int>> m_runs;
    std::pair<int, int> m_hold{0, 0};
    bool m_held = false;
    bool m_finished = false;
    bool m_prepared = false;
};

void Append(std::vector<std::pair<int, int>>& runs, int group, int from, int to)
{
    for (int i = from; i < to; ++i)
        runs.emplace_back(group, i);
}

std::vector<std::pair<int, int>> InOrder(std::initializer_list<int> groups)
{
    std::vector<std::pair<int, int>> runs;
    for (int group : groups)
        Append(runs, group, 0, kLoaders[group - 1]);
    return runs;
}

} // namespace

TEST(GateLoader, LoadsEveryGroupOnceInQueueOrder)
{
    RecordingPlan plan;
    GateLoaderThread loader(plan);
    ASSERT_TRUE(loader.Start(7));
    for (int group = 1; group <= GateLoaderThread::kGroupCount; ++group)
        ASSERT_TRUE(loader.WaitUntilResFinished(group, INFINITE)) << group;
    ASSERT_TRUE(loader.Stop(INFINITE));
    EXPECT_EQ(InOrder({2, 1, 3, 4, 5, 6, 7}), plan.Runs());
    EXPECT_TRUE(plan.Done());
    for (int group = 1; group <= GateLoaderThread::kGroupCount; ++group)
        EXPECT_TRUE(loader.IsGroupLoaded(group)) << group;
}

TEST(GateLoader, AWaitedGroupIsLoadedNextAndTheInterruptedOneFinishesLater)
{
    RecordingPlan plan;
    plan.HoldAt(1, 5);
    GateLoaderThread loader(plan);
    ASSERT_TRUE(loader.Start(7));
    plan.WaitUntilHeld();
    EXPECT_FALSE(loader.IsGroupLoaded(5)); // asks for group 5 next
    plan.Release();
    ASSERT_TRUE(loader.WaitUntilResFinished(5, INFINITE));
    ASSERT_TRUE(loader.Stop(INFINITE));
    EXPECT_EQ((std::vector<int>{5, 2, 1, 3, 4, 6, 7}), loader.QueueOrder());

    std::vector<std::pair<int, int>> want = InOrder({2});
    Append(want, 1, 0, 6); // 1's loader 5 ran once, not again after group 5
    Append(want, 5, 0, kLoaders[4]);
    Append(want, 1, 6, kLoaders[0]);
    for (int group : {3, 4, 6, 7})
        Append(want, group, 0, kLoaders[group - 1]);
    EXPECT_EQ(want, plan.Runs());
}

TEST(GateLoader, AskingForALoadedGroupChangesNothing)
{
    RecordingPlan plan;
    plan.HoldAt(1, 0);
    GateLoaderThread loader(plan);
    ASSERT_TRUE(loader.Start(7));
    plan.WaitUntilHeld();
    EXPECT_TRUE(loader.IsGroupLoaded(2));
    EXPECT_TRUE(loader.WaitUntilResFinished(2, 0));
    EXPECT_FALSE(loader.IsGroupLoaded(0));
    EXPECT_FALSE(loader.IsGroupLoaded(8));
    EXPECT_FALSE(loader.WaitUntilResFinished(8, INFINITE));
    plan.Release();
    ASSERT_TRUE(loader.Stop(INFINITE));
    EXPECT_EQ(InOrder({2, 1, 3, 4, 5, 6, 7}), plan.Runs());
}

TEST(GateLoader, TheWaitForAGroupTimesOut)
{
    platform::ManualClock clock;
    RecordingPlan plan;
    plan.HoldAt(2, 3);
    GateLoaderThread loader(plan);
    ASSERT_TRUE(loader.Start(7));
    plan.WaitUntilHeld();
    // The clock moves once the wait has begun.
    std::thread mover([&clock] {
        while (platform::BlockedWaiterCount() == 0)
            std::this_thread::yield();
        clock.Advance(GateLoaderThread::kWaitTimeoutMs);
    });
    EXPECT_FALSE(loader.WaitUntilResFinished(2));
    mover.join();
    plan.Release();
    EXPECT_TRUE(loader.WaitUntilResFinished(2));
    ASSERT_TRUE(loader.Stop(INFINITE));
}
