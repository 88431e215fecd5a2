// The framework's thread classes and object bases.
//
// IxThread is a restartable worker: its loop calls Execute, again at once
// while Execute answers non-zero, and otherwise sleeps until the next Start.
// IxWaitThread sleeps on a named event and calls Do each time it is
// signalled. IxSelfThread runs Run once and deletes itself. IxWorkerThread is
// the base of the device bridges: a worker that reports to its owner through
// an IxNotifyTarget.
//
// No thread is ever killed. Stopping one clears its run flag, wakes it and
// waits for it: a worker ends after its current Execute, a waiting thread
// after its current Do, a self thread when its Run sees IsStopRequested().
// A Stop with a time-out that runs out leaves the thread running (logging a
// warning) and keeps its handles; a later Stop or the destructor waits again.
//
// The destructors of the thread classes wait without limit for their thread,
// so a thread never outlives the object that holds it. A derived class whose
// Execute or Do uses its own members must end the thread in its own
// destructor (EndThread), because those members are gone by the time the
// base destructor runs. Threads never delete their own object (except
// IxSelfThread, which does so after Run) and never Stop themselves with a
// wait: a Stop called on the thread itself only clears the run flag.
#pragma once

#include "Lib_cpp/core/Containers.h"
#include "Lib_cpp/core/Notify.h"
#include "Lib_cpp/core/Object.h"
#include "Lib_cpp/core/String.h"
#include "platform/base/Types.h"
#include "platform/os/Sync.h"
#include "platform/os/Thread.h"

#include <atomic>

// Prepares a critical section; every object shared between threads owns one
// and prepares it in its constructor.
void IxInitLock(CRITICAL_SECTION* lock);

// States of an IxThread.
enum : LONG {
    IXTHREAD_IDLE = 0,
    IXTHREAD_EXECUTING = 1,
    IXTHREAD_START_REQUESTED = 3, // Start while executing: Execute runs again
    IXTHREAD_WAITING = 4,         // waiting for the next Start
};

class IxThread : public IxObject {
public:
    IxThread() = default;
    ~IxThread() override;

    // First call (or after the thread has ended): makes the run event and the
    // thread, which starts executing at once. Later calls only wake the
    // running thread: its next Execute runs without waiting. A priority of 0
    // or more is stored and applied. 1 on success, 0 on failure (last error
    // kind IXERR_THREAD).
    BOOL Start(int priority = -1);
    // Asks the thread to end after its current Execute and waits up to
    // timeoutMs (INFINITE = no limit), raising it to the caller's priority
    // meanwhile. When it ended (or had already ended), closes the handles and
    // answers 1. When it did not end in time, logs a warning, leaves it
    // running with its handles and answers 0.
    BOOL Stop(DWORD timeoutMs);
    // Clears the run flag only: the loop ends after the current Execute.
    void RequestStop() { m_bRun = 0; }
    void SetPriority(int priority);
    int GetPriority() const { return m_nPriority; }
    BOOL IsRunning() const;
    LONG GetState() const { return m_nState; }
    HANDLE GetThreadHandle() const { return m_hThread; }

    // The work of one round; non-zero asks for another round at once, 0
    // waits for the next Start.
    virtual int Execute() { return 0; }
    // How long the loop may wait for the next Start after a round that
    // asked for none; when it runs out, the loop goes round again.
    virtual DWORD IdleWaitMs() { return INFINITE; }
    // The thread's loop.
    virtual DWORD Run();

protected:
    // Requests the stop, waits without limit for the thread and closes the
    // handles. Derived destructors call it before their members go away.
    void EndThread();
    BOOL IsStopRequested() const { return m_bRun == 0; }

    HANDLE m_hThread = nullptr;
    HANDLE m_hRunEvent = nullptr; // manual-reset; set by Start and Stop
    std::atomic<int> m_nPriority{-1};
    std::atomic<LONG> m_nState{IXTHREAD_IDLE};
    std::atomic<LONG> m_bRun{0};

private:
    static DWORD ThreadEntry(LPVOID parameter);
    void CloseHandles();

    DWORD m_dwThreadId = 0;
};

class IxWaitThread : public IxObject {
public:
    IxWaitThread() = default;
    ~IxWaitThread() override;

    // Stores the interval. When no thread runs: opens the named event (a
    // manual-reset event, made non-signalled when it does not exist yet) and
    // starts the thread that waits on it. 1 on success, 0 on failure (last
    // error kind IXERR_THREAD).
    BOOL Start(LPCWSTR eventName, DWORD intervalMs = 0, int priority = -1);
    // Wakes the thread, which ends after its current Do, and waits up to
    // timeoutMs. As IxThread::Stop: 1 and handles closed when it ended, 0 and
    // a warning when it is still running.
    BOOL Stop(DWORD timeoutMs);
    BOOL IsRunning() const;

    // Called on the thread when the event was signalled, again after the
    // interval while it answers non-zero.
    virtual int Do() { return 0; }

protected:
    void EndThread();
    BOOL IsStopRequested() const { return m_bRun == 0; }

    HANDLE m_hThread = nullptr;
    HANDLE m_hEvent = nullptr;     // the named event
    HANDLE m_hStopEvent = nullptr; // private: wakes the thread for a stop
    int m_nPriority = -1;
    std::atomic<DWORD> m_dwInterval{0};
    std::atomic<LONG> m_bRun{1};

private:
    static DWORD ThreadEntry(LPVOID parameter);
    void Loop();
    void CloseHandles();

    DWORD m_dwThreadId = 0;
};

// A one-shot thread that owns itself: after Run returns, the thread closes
// its handle and deletes the object. Create it with new; once Start has
// succeeded, only the thread deletes it.
class IxSelfThread : public IxObject {
public:
    IxSelfThread() = default;

    // 1 on success; 0 on failure (last error kind IXERR_THREAD; the object
    // then stays the caller's) or when it was started before.
    BOOL Start(int priority = -1);
    // Asks Run to end (IsStopRequested becomes true) and waits up to
    // timeoutMs for the thread. 1 when it ended: the object is then deleted.
    // 0 when it did not end in time (a warning is logged; it deletes itself
    // whenever Run returns) or when called from its own Run.
    BOOL Kill(DWORD timeoutMs = INFINITE);
    BOOL IsStopRequested() const { return m_bRun == 0; }

    // The thread's work; it should return soon once IsStopRequested().
    virtual DWORD Run() { return 0; }

protected:
    std::atomic<HANDLE> m_hThread{nullptr};
    std::atomic<LONG> m_bRun{1};

private:
    static DWORD ThreadEntry(LPVOID parameter);

    DWORD m_dwThreadId = 0;
};

// Codes of a worker's reports to its owner.
enum : WORD {
    IXWORKER_REPORT_PLAYING = 16,
    IXWORKER_REPORT_STOPPED = 18,
    IXWORKER_REPORT_PAUSED = 20,
};

class IxWorkerThread : public IxThread {
public:
    // Takes a reference to the owner's target (which may be null).
    explicit IxWorkerThread(IxNotifyTarget* target);
    // Ends the thread, then drops the target reference.
    ~IxWorkerThread() override;

    // Opens the device's connection; the bridges give it a body.
    virtual int Connect(LPARAM first, LPARAM second);

    // Post the report with this worker as the value; 1 with or without a
    // target (nothing is posted without one).
    BOOL ReportPlaying() { return Report(IXWORKER_REPORT_PLAYING); }
    BOOL ReportPaused() { return Report(IXWORKER_REPORT_PAUSED); }
    BOOL ReportStopped() { return Report(IXWORKER_REPORT_STOPPED); }

    IxNotifyTarget* GetNotifyTarget() const { return m_pNotify; }

protected:
    BOOL Report(WORD code);

    IxNotifyTarget* m_pNotify;
    DWORD m_dwError = 0; // result code of the last failed operation
    int m_nIndex = -1;
};

// Waits on its thread for a top-level window with a given title to appear,
// looking again every interval, and tells the owner through OnWaitResult:
// 1 while the window is not there yet, 0 once it is, -1 when there is
// nothing to wait for (an interval of 0; the title is dropped).
class IxWindowWaiter : public IxWorkerThread {
public:
    IxWindowWaiter(IxNotifyTarget* target, LPCWSTR title, DWORD intervalMs);
    ~IxWindowWaiter() override;

    int Execute() override;
    const IxString& GetTitle() const { return m_strTitle; }

protected:
    // Called on the waiter's thread.
    virtual void OnWaitResult(int result);

    IxString m_strTitle;
    DWORD m_dwInterval;
};
