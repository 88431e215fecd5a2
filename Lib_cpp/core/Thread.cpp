#include "Lib_cpp/core/Thread.h"

#include "Lib_cpp/core/Diag.h"
#include "platform/base/Clock.h"
#include "platform/base/Error.h"
#include "platform/ui/Window.h"

namespace {

constexpr LPCWSTR kSourceName = u"..\\Lib_cpp\\PavoCore";

// Records {IXERR_THREAD, system error} and logs the failure with the object.
void ThreadFailure(int line, LPCWSTR what, const void* object)
{
    IxRecordError(IXERR_THREAD);
    IxTrace(u"ERROR: %s line %d: ", kSourceName, line);
    IxTrace(u"[THREAD] %s, object=[%s:0x%lx]\r\n", what, u"", object);
}

void WaitingFailure(int line, LPCWSTR what, LPCWSTR name, const void* object)
{
    IxRecordError(IXERR_THREAD);
    IxTrace(u"ERROR: %s line %d: ", kSourceName, line);
    IxTrace(u"[THREAD] %s, name=[%s], object=[%s:0x%lx]\r\n", what, name ? name : u"", u"", object);
}

void StillRunningWarning(DWORD timeoutMs, const void* object)
{
    IxTrace(u"!!! warning [THREAD] thread did not end within %lu ms and is left running, object=[%s:0x%lx]\r\n",
            timeoutMs, u"", object);
}

BOOL ThreadActive(HANDLE thread)
{
    DWORD code = 0;
    return thread && GetExitCodeThread(thread, &code) && code == STILL_ACTIVE;
}

// Asks a thread to end (run flag cleared, wake event set) and waits up to
// timeoutMs for it, raising it first to the caller's priority when asked, so
// that a low-priority thread cannot hold up the wait. A thread never waits
// for itself: asked from its own code, it only learns that it should end.
// True when the thread has ended.
bool EndAndWait(HANDLE thread, DWORD threadId, HANDLE wake, std::atomic<LONG>& run, DWORD timeoutMs, bool raisePriority)
{
    run = 0;
    SetEvent(wake);
    if (GetCurrentThreadId() == threadId)
        return false;
    if (raisePriority) {
        int callerPriority = GetThreadPriority(GetCurrentThread());
        if (callerPriority < GetThreadPriority(thread))
            SetThreadPriority(thread, callerPriority);
    }
    return WaitForSingleObject(thread, timeoutMs) == WAIT_OBJECT_0;
}

// Makes the thread suspended, applies a priority of 0 or more (and stores
// it), then lets it run. Null when the thread cannot be made.
template <class Priority>
HANDLE LaunchThread(LPTHREAD_START_ROUTINE entry, void* object, DWORD* threadId, int priority, Priority& storedPriority)
{
    HANDLE thread = CreateThread(nullptr, 0, entry, object, CREATE_SUSPENDED, threadId);
    if (!thread)
        return nullptr;
    if (priority >= 0) {
        storedPriority = priority;
        SetThreadPriority(thread, priority);
    }
    ResumeThread(thread);
    return thread;
}

// The stop of both thread kinds: asks a running thread to end and waits up
// to timeoutMs. False when it is still running (a warning, unless asked from
// the thread itself, whose loop simply ends when its work returns).
bool StopThread(HANDLE thread, DWORD threadId, HANDLE wake, std::atomic<LONG>& run, DWORD timeoutMs, bool raisePriority,
                const void* object)
{
    if (!ThreadActive(thread) || EndAndWait(thread, threadId, wake, run, timeoutMs, raisePriority))
        return true;
    if (GetCurrentThreadId() != threadId)
        StillRunningWarning(timeoutMs, object);
    return false;
}

// Asks a running thread to end and waits for it without limit.
void EndAndJoin(HANDLE thread, DWORD threadId, HANDLE wake, std::atomic<LONG>& run)
{
    if (ThreadActive(thread))
        EndAndWait(thread, threadId, wake, run, INFINITE, false);
}

void CloseAndClear(HANDLE& handle)
{
    if (handle) {
        CloseHandle(handle);
        handle = nullptr;
    }
}

} // namespace

void IxInitLock(CRITICAL_SECTION* lock)
{
    InitializeCriticalSection(lock);
}

// ---------------------------------------------------------------------------

IxThread::~IxThread()
{
    EndThread();
}

BOOL IxThread::Start(int priority)
{
    if (m_hThread) {
        if (ThreadActive(m_hThread)) {
            if (priority >= 0)
                SetPriority(priority);
            m_nState = IXTHREAD_START_REQUESTED;
            SetEvent(m_hRunEvent);
            return TRUE;
        }
        // The thread ended after a stop request: start a new one.
        CloseHandles();
    }

    m_hRunEvent = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    if (!m_hRunEvent) {
        ThreadFailure(1967, u"failed to create Event for Executing", this);
        return FALSE;
    }
    m_bRun = 1;
    m_nState = IXTHREAD_IDLE;
    m_hThread = LaunchThread(ThreadEntry, this, &m_dwThreadId, priority, m_nPriority);
    if (!m_hThread) {
        ThreadFailure(1979, u"failed to create Thread", this);
        CloseAndClear(m_hRunEvent);
        return FALSE;
    }
    return TRUE;
}

BOOL IxThread::Stop(DWORD timeoutMs)
{
    if (!StopThread(m_hThread, m_dwThreadId, m_hRunEvent, m_bRun, timeoutMs, true, this))
        return FALSE;
    CloseHandles();
    return TRUE;
}

void IxThread::EndThread()
{
    EndAndJoin(m_hThread, m_dwThreadId, m_hRunEvent, m_bRun);
    CloseHandles();
}

void IxThread::CloseHandles()
{
    CloseAndClear(m_hThread);
    CloseAndClear(m_hRunEvent);
    m_nState = IXTHREAD_IDLE;
}

void IxThread::SetPriority(int priority)
{
    m_nPriority = priority;
    if (m_hThread)
        SetThreadPriority(m_hThread, priority);
}

BOOL IxThread::IsRunning() const
{
    return ThreadActive(m_hThread);
}

DWORD IxThread::ThreadEntry(LPVOID parameter)
{
    auto* thread = static_cast<IxThread*>(parameter);
    thread->m_nState = IXTHREAD_EXECUTING;
    DWORD result = thread->Run();
    thread->m_nState = IXTHREAD_IDLE;
    return result;
}

DWORD IxThread::Run()
{
    while (m_bRun) {
        m_nState = IXTHREAD_EXECUTING;
        ResetEvent(m_hRunEvent);
        if (Execute())
            continue;
        // A Start during Execute has set the state and the event: go round
        // again. Otherwise sleep until Start or Stop sets the event (or the
        // idle wait runs out).
        if (m_bRun && m_nState != IXTHREAD_START_REQUESTED) {
            const DWORD wait = IdleWaitMs();
            m_nState = IXTHREAD_WAITING;
            WaitForSingleObject(m_hRunEvent, wait);
            m_nState = IXTHREAD_IDLE;
        }
    }
    return 0;
}

// ---------------------------------------------------------------------------

IxWaitThread::~IxWaitThread()
{
    EndThread();
}

BOOL IxWaitThread::Start(LPCWSTR eventName, DWORD intervalMs, int priority)
{
    m_dwInterval = intervalMs;
    if (m_hThread) {
        if (ThreadActive(m_hThread))
            return TRUE;
        CloseHandles(); // ended after a stop request: start a new one
    }

    m_hEvent = CreateEventW(nullptr, TRUE, FALSE, eventName);
    if (m_hEvent)
        m_hStopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!m_hStopEvent) {
        WaitingFailure(2156, u"failed to create Event for Waiting", eventName, this);
        CloseHandles();
        return FALSE;
    }
    m_bRun = 1;
    m_hThread = LaunchThread(ThreadEntry, this, &m_dwThreadId, priority, m_nPriority);
    if (!m_hThread) {
        WaitingFailure(2167, u"failed to create Thread for Waiting", eventName, this);
        CloseHandles();
        return FALSE;
    }
    return TRUE;
}

BOOL IxWaitThread::Stop(DWORD timeoutMs)
{
    if (!StopThread(m_hThread, m_dwThreadId, m_hStopEvent, m_bRun, timeoutMs, false, this))
        return FALSE;
    CloseHandles();
    return TRUE;
}

void IxWaitThread::EndThread()
{
    EndAndJoin(m_hThread, m_dwThreadId, m_hStopEvent, m_bRun);
    CloseHandles();
}

void IxWaitThread::CloseHandles()
{
    CloseAndClear(m_hThread);
    CloseAndClear(m_hEvent);
    CloseAndClear(m_hStopEvent);
}

BOOL IxWaitThread::IsRunning() const
{
    return ThreadActive(m_hThread);
}

DWORD IxWaitThread::ThreadEntry(LPVOID parameter)
{
    static_cast<IxWaitThread*>(parameter)->Loop();
    return 0;
}

void IxWaitThread::Loop()
{
    // The private stop event wakes the thread without touching the named
    // event, which other programs of the unit share.
    HANDLE handles[2] = {m_hEvent, m_hStopEvent};
    while (m_bRun) {
        DWORD result = WaitForMultipleObjects(2, handles, FALSE, INFINITE);
        if (result == WAIT_OBJECT_0 + 1)
            continue;
        if (result != WAIT_OBJECT_0)
            break;
        ResetEvent(m_hEvent);
        while (m_bRun && Do()) {
            DWORD interval = m_dwInterval;
            if (interval)
                WaitForSingleObject(m_hStopEvent, interval); // a stop cuts the pause short
        }
    }
}

// ---------------------------------------------------------------------------

BOOL IxSelfThread::Start(int priority)
{
    if (m_hThread.load())
        return FALSE;
    HANDLE thread = CreateThread(nullptr, 0, ThreadEntry, this, CREATE_SUSPENDED, &m_dwThreadId);
    if (!thread) {
        ThreadFailure(2288, u"failed to create Thread for Self", this);
        return FALSE;
    }
    m_hThread = thread;
    if (priority >= 0)
        SetThreadPriority(thread, priority);
    // From here on the thread may end and delete the object at any moment.
    ResumeThread(thread);
    return TRUE;
}

BOOL IxSelfThread::Kill(DWORD timeoutMs)
{
    // Once the flag is clear the thread may delete the object at any moment:
    // everything needed is read before.
    HANDLE thread = m_hThread.load();
    bool ownThread = thread && GetCurrentThreadId() == m_dwThreadId;
    m_bRun = 0;
    if (ownThread)
        return FALSE;
    if (!thread)
        return TRUE; // not started
    // The thread closes its handle only after deleting the object, so both a
    // wait that sees the thread end and one that finds the handle closed
    // mean the object is gone.
    if (WaitForSingleObject(thread, timeoutMs) == WAIT_TIMEOUT) {
        StillRunningWarning(timeoutMs, this);
        return FALSE;
    }
    return TRUE;
}

DWORD IxSelfThread::ThreadEntry(LPVOID parameter)
{
    auto* self = static_cast<IxSelfThread*>(parameter);
    DWORD result = self->Run();
    HANDLE thread = self->m_hThread.load();
    delete self;
    CloseHandle(thread);
    return result;
}

// ---------------------------------------------------------------------------

IxWorkerThread::IxWorkerThread(IxNotifyTarget* target) : m_pNotify(target)
{
    if (m_pNotify)
        m_pNotify->AddRef();
}

IxWorkerThread::~IxWorkerThread()
{
    // The thread may still report: end it before the target goes.
    EndThread();
    if (m_pNotify)
        m_pNotify->Release();
}

int IxWorkerThread::Connect(LPARAM, LPARAM)
{
    return 0;
}

BOOL IxWorkerThread::Report(WORD code)
{
    if (m_pNotify)
        m_pNotify->Post(code, reinterpret_cast<LPARAM>(this));
    return TRUE;
}

// ---------------------------------------------------------------------------
// IxWindowWaiter

IxWindowWaiter::IxWindowWaiter(IxNotifyTarget* target, LPCWSTR title, DWORD intervalMs)
    : IxWorkerThread(target), m_strTitle(title), m_dwInterval(intervalMs)
{
}

IxWindowWaiter::~IxWindowWaiter()
{
    // Execute reads the title and calls OnWaitResult: end the thread while
    // they are still here.
    EndThread();
}

int IxWindowWaiter::Execute()
{
    if (m_dwInterval == 0) {
        OnWaitResult(-1);
        m_strTitle.Release();
        return 0;
    }
    if (!FindWindowW(nullptr, m_strTitle.Text())) {
        OnWaitResult(1);
        Sleep(m_dwInterval);
        return 1;
    }
    OnWaitResult(0);
    return 0;
}

void IxWindowWaiter::OnWaitResult(int) {}
