#include "Source/gate/GateLoaderThread.h"

#include "Lib_cpp/core/Diag.h"
#include "Source/gate/GateEgl.h"
#include "platform/base/Clock.h"
#include "platform/os/Sync.h"

namespace gate {

GateLoaderThread::GateLoaderThread(IxGateLoadPlan& plan) : m_plan(plan)
{
    for (int i = 0; i < kGroupCount; ++i)
        m_groups[i].number = i + 1;
    m_queueCursor = m_queue.end();
    m_hLoaded = CreateEventW(nullptr, FALSE, FALSE, u"gate_Res_Loader");
}

GateLoaderThread::~GateLoaderThread()
{
    EndThread();
    if (m_hLoaded)
        CloseHandle(m_hLoaded);
}

void GateLoaderThread::AddLoader(int group, std::function<void()> load)
{
    if (group < 1 || group > kGroupCount)
        return;
    m_groups[group - 1].loaders.push_back(std::move(load));
}

BOOL GateLoaderThread::IsGroupLoaded(int group)
{
    if (group < 1 || group > kGroupCount) {
        IxTrace(u"[3dGate] Error : Check WaitUntilResFinished() \n");
        return FALSE;
    }
    if (m_bGroupLoaded[group - 1])
        return TRUE;
    m_waitRequest = group;
    return FALSE;
}

BOOL GateLoaderThread::WaitUntilResFinished(int group, DWORD timeoutMs)
{
    if (group < 1 || group > kGroupCount) {
        IxTrace(u"[3dGate] Error : Check WaitUntilResFinished() \n");
        return FALSE;
    }
    const std::uint64_t deadline = platform::DeadlineAfter(timeoutMs);
    while (!m_bGroupLoaded[group - 1]) {
        const std::uint64_t now = platform::NowMs();
        if (deadline != UINT64_MAX && now >= deadline) {
            IxTrace(u"[3dGate] Error : (Mode:%d) Resource Loading Timed Out \n", group);
            return FALSE;
        }
        const DWORD wait = deadline == UINT64_MAX ? INFINITE : static_cast<DWORD>(deadline - now);
        if (WaitForSingleObject(m_hLoaded, wait) == WAIT_OBJECT_0 && !m_bGroupLoaded[group - 1])
            IxTrace(u"[3dGate] Warning!! (Mode:%d) Check Resource Loading \n", group);
    }
    IxTrace(u"[3dGate] (Mode:%d) Resource Loading Success \n", group);
    return TRUE;
}

BOOL GateLoaderThread::CheckResourcePriority()
{
    std::lock_guard<std::mutex> guard(m_lock);
    const int request = m_waitRequest.exchange(0);
    if (request == 0)
        return FALSE;
    if (request < 0 || request > kGroupCount) {
        IxTrace(u"[3dGate] Error : Check CheckResourcePriority() \n");
        return FALSE;
    }
    // A complete group is never loaded again.
    if (m_bGroupLoaded[request - 1])
        return FALSE;
    for (auto it = m_queue.begin(); it != m_queue.end(); ++it) {
        if (*it == request) {
            m_queue.splice(m_queue.begin(), m_queue, it);
            m_queueCursor = m_queue.begin();
            return TRUE;
        }
    }
    return FALSE;
}

std::vector<int> GateLoaderThread::QueueOrder() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return {m_queue.begin(), m_queue.end()};
}

void GateLoaderThread::CompleteGroup(Group& group)
{
    m_bGroupLoaded[group.number - 1] = true;
    EventModify(m_hLoaded, EVENT_SET);
}

void GateLoaderThread::RunQueue()
{
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_queueCursor = m_queue.begin();
    }
    const DWORD start = GetTickCount();
    for (;;) {
        Group* group = nullptr;
        {
            std::lock_guard<std::mutex> guard(m_lock);
            if (m_queueCursor == m_queue.end())
                break;
            group = &m_groups[*m_queueCursor - 1];
        }
        if (group->cursor < group->loaders.size()) {
            group->loaders[group->cursor]();
            // The loader has run: a priority move below never runs it again.
            if (++group->cursor == group->loaders.size())
                CompleteGroup(*group);
            if (CheckResourcePriority())
                continue;
            if (group->cursor < group->loaders.size())
                continue;
        } else if (!m_bGroupLoaded[group->number - 1]) {
            CompleteGroup(*group); // a group without loaders
        }
        std::lock_guard<std::mutex> guard(m_lock);
        ++m_queueCursor;
    }
    IxTrace(u"[3dGate] Image Loading is Finished (time:%d) :: %d\n", GetTickCount() - start, GetTickCount());
}

int GateLoaderThread::Execute()
{
    if (m_ran)
        return 0;
    m_ran = true;
    // The uploads need a context current on this thread; without one the
    // images are still read and the groups still complete, untextured.
    GateEgl::MakeLoaderCurrent();
    m_plan.Prepare();
    m_plan.Register(*this);
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_queue.clear();
        for (int group : {2, 1, 3, 4, 5, 6, 7})
            m_queue.push_back(group);
    }
    RunQueue();
    GateEgl::ReleaseLoader();
    m_plan.Finished();
    // The run is done: the thread ends after this round.
    RequestStop();
    return 0;
}

} // namespace gate
