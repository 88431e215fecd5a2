#include "platform/os/Thread.h"

#include "platform/base/Error.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace platform {
namespace {

class ThreadObject final : public KernelObject {
public:
    bool IsSignaled() override { return m_ended.load(std::memory_order_relaxed); }

    DWORD m_id = 0;
    LPTHREAD_START_ROUTINE m_start = nullptr;
    LPVOID m_parameter = nullptr;
    std::atomic<int> m_priority{THREAD_PRIORITY_NORMAL};
    std::atomic<pid_t> m_hostId{0}; // the host's id of the running thread
    // Written together under the signal lock when the routine returns.
    std::atomic<bool> m_ended{false};
    std::atomic<DWORD> m_exitCode{STILL_ACTIVE};

    std::mutex m_startLock; // guards the two below
    DWORD m_suspendCount = 0;
    bool m_started = false;
};

const HANDLE kCurrentThread = reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-2));

std::atomic<DWORD> g_nextId{1};
std::atomic<std::size_t> g_liveThreads{0};

thread_local DWORD t_id = 0;
thread_local std::shared_ptr<ThreadObject> t_self;

DWORD NewThreadId()
{
    return g_nextId.fetch_add(1, std::memory_order_relaxed);
}

// A thread below normal priority runs at a higher nice value (5 a step), so
// that on a busy or single core the user-interface thread comes first. A
// thread is only ever lowered: taking a nice value back needs a privilege
// the program does not have, so a priority raised again keeps the lower
// nice value.
void ApplyPriority(const ThreadObject& thread)
{
    const pid_t host = thread.m_hostId.load();
    if (host == 0)
        return;
    const int steps = thread.m_priority.load() - THREAD_PRIORITY_NORMAL;
    if (steps <= 0)
        return;
    // Above the program's own (its first thread's) nice value.
    const int base = getpriority(PRIO_PROCESS, static_cast<id_t>(getpid()));
    setpriority(PRIO_PROCESS, static_cast<id_t>(host), std::min(base + steps * 5, 19));
}

void RunThread(const std::shared_ptr<ThreadObject>& thread)
{
    t_id = thread->m_id;
    t_self = thread;
    thread->m_hostId.store(gettid());
    ApplyPriority(*thread);
    DWORD code = thread->m_start(thread->m_parameter);
    // From here on the thread touches nothing shared: its object stays alive
    // through the references this thread holds.
    UpdateSignalState([&] {
        thread->m_exitCode.store(code);
        thread->m_ended.store(true);
        g_liveThreads.fetch_sub(1);
    });
}

// Starts the host thread. The lambda's reference keeps the object alive until
// the routine has returned, whatever happens to the handles.
bool Launch(const std::shared_ptr<ThreadObject>& thread)
{
    g_liveThreads.fetch_add(1);
    try {
        std::thread([thread] { RunThread(thread); }).detach();
        return true;
    } catch (...) {
        g_liveThreads.fetch_sub(1);
        return false;
    }
}

} // namespace

std::shared_ptr<KernelObject> CurrentThreadObject()
{
    if (!t_self) {
        auto self = std::make_shared<ThreadObject>();
        self->m_id = GetCurrentThreadId();
        self->m_started = true;
        t_self = std::move(self);
    }
    return t_self;
}

std::size_t LiveThreadCount()
{
    return g_liveThreads.load();
}

} // namespace platform

HANDLE CreateThread(LPVOID, DWORD, LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD flags, DWORD* threadId)
{
    using namespace platform;
    if (!start) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto thread = std::make_shared<ThreadObject>();
    thread->m_id = NewThreadId();
    thread->m_start = start;
    thread->m_parameter = parameter;
    thread->m_suspendCount = (flags & CREATE_SUSPENDED) ? 1 : 0;
    HANDLE handle = RegisterObject(thread);
    if (!handle)
        return nullptr;
    if (thread->m_suspendCount == 0) {
        thread->m_started = true;
        if (!Launch(thread)) {
            CloseHandle(handle);
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
    }
    if (threadId)
        *threadId = thread->m_id;
    return handle;
}

DWORD ResumeThread(HANDLE handle)
{
    using namespace platform;
    std::shared_ptr<ThreadObject> thread = LookupObjectAs<ThreadObject>(handle);
    if (!thread)
        return 0xFFFFFFFFu;
    std::lock_guard<std::mutex> guard(thread->m_startLock);
    DWORD previous = thread->m_suspendCount;
    if (previous == 0)
        return 0;
    if (--thread->m_suspendCount == 0 && !thread->m_started) {
        if (!Launch(thread)) {
            thread->m_suspendCount = previous;
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return 0xFFFFFFFFu;
        }
        thread->m_started = true;
    }
    return previous;
}

DWORD GetCurrentThreadId()
{
    if (platform::t_id == 0)
        platform::t_id = platform::NewThreadId();
    return platform::t_id;
}

HANDLE GetCurrentThread()
{
    return platform::kCurrentThread;
}

BOOL GetExitCodeThread(HANDLE handle, DWORD* exitCode)
{
    auto thread = platform::LookupObjectAs<platform::ThreadObject>(handle);
    if (!thread)
        return FALSE;
    if (!exitCode) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *exitCode = thread->m_exitCode.load();
    return TRUE;
}

BOOL SetThreadPriority(HANDLE handle, int priority)
{
    auto thread = platform::LookupObjectAs<platform::ThreadObject>(handle);
    if (!thread)
        return FALSE;
    if (priority < THREAD_PRIORITY_TIME_CRITICAL || priority > THREAD_PRIORITY_IDLE) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    thread->m_priority.store(priority);
    platform::ApplyPriority(*thread);
    return TRUE;
}

int GetThreadPriority(HANDLE handle)
{
    auto thread = platform::LookupObjectAs<platform::ThreadObject>(handle);
    if (!thread)
        return THREAD_PRIORITY_ERROR_RETURN;
    return thread->m_priority.load();
}
