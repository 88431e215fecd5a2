// The 3D menu's resource loader: one thread that decodes the menu's images
// and uploads them while the unit shows its intro, in seven groups queued
// by what the user sees first (2, 1, 3, 4, 5, 6, 7). The user-interface
// thread asks IsGroupLoaded before it shows a group; a group that is not in
// yet becomes the loader's next one, and WaitUntilResFinished waits for it
// (with a time-out). The uploads go through a context of the loader's own
// that shares the menu's textures (GateEgl, GateGL).
#pragma once

#include "Lib_cpp/core/Thread.h"

#include <atomic>
#include <functional>
#include <list>
#include <mutex>
#include <vector>

namespace gate {

class GateLoaderThread;

// What the loader loads: Prepare runs on the loader before the groups (the
// background and the images always shown), Register adds the group loaders,
// Finished runs after the last group.
class IxGateLoadPlan {
public:
    virtual ~IxGateLoadPlan() = default;
    virtual void Prepare() = 0;
    virtual void Register(GateLoaderThread& loader) = 0;
    virtual void Finished() = 0;
};

class GateLoaderThread : public IxThread {
public:
    static constexpr int kGroupCount = 7;
    // How long WaitUntilResFinished waits for a group by default: far more
    // than the slowest group takes, so only a loader that stopped reaches it.
    static constexpr DWORD kWaitTimeoutMs = 10000;

    explicit GateLoaderThread(IxGateLoadPlan& plan);
    ~GateLoaderThread() override;

    // Appends a loader to a group (1-7); called by the plan's Register.
    void AddLoader(int group, std::function<void()> load);

    // User-interface thread: 1 when the group (1-7) is in; otherwise asks
    // for it to be loaded next and answers 0.
    BOOL IsGroupLoaded(int group);
    // User-interface thread: waits for the group's completion, at most
    // timeoutMs; 1 when it is in, 0 after logging on a time-out.
    BOOL WaitUntilResFinished(int group, DWORD timeoutMs = kWaitTimeoutMs);
    // Loader thread: moves the requested group (one not yet complete) to
    // the head of the queue and makes it the next; 1 when it did.
    BOOL CheckResourcePriority();

    // The group order of the queue now (for the user-interface thread's
    // diagnostics and tests).
    std::vector<int> QueueOrder() const;

    int Execute() override;

private:
    struct Group {
        int number = 0;
        std::vector<std::function<void()>> loaders;
        std::size_t cursor = 0; // the next loader
    };
    void RunQueue();
    void CompleteGroup(Group& group);

    IxGateLoadPlan& m_plan;
    Group m_groups[kGroupCount];
    std::list<int> m_queue; // group numbers
    std::list<int>::iterator m_queueCursor;
    mutable std::mutex m_lock; // the wait request and the queue
    std::atomic<int> m_waitRequest{0};
    std::atomic<bool> m_bGroupLoaded[kGroupCount] = {};
    HANDLE m_hLoaded = nullptr; // auto-reset "gate_Res_Loader"
    bool m_ran = false;
};

} // namespace gate
