// The progress ticker: a thread that moves the progress bar along over the
// time a blocking update step is expected to take. Every tick it reports
// (duration, elapsed); a restart reports (duration, 0) and counts again; the
// close reports (duration, duration) and ends the thread.
#pragma once

#include "platform/base/Types.h"

#include <atomic>
#include <functional>

class CProgressTicker {
public:
    using UpdateProgress = std::function<void(DWORD duration, DWORD elapsed)>;

    static constexpr DWORD kDefaultDurationMs = 70000;
    static constexpr DWORD kDefaultTickMs = 500;
    static constexpr DWORD kFirstDelayMs = 500;
    static constexpr DWORD kCloseWaitMs = 1000;

    explicit CProgressTicker(UpdateProgress update);
    // Closes the thread and waits for it.
    ~CProgressTicker();
    CProgressTicker(const CProgressTicker&) = delete;
    CProgressTicker& operator=(const CProgressTicker&) = delete;

    // Stores the duration and tick; restarts a running thread from 0, else
    // starts it.
    BOOL Start(DWORD durationMs = kDefaultDurationMs, DWORD tickMs = kDefaultTickMs);
    // The bar goes to 0 and stays there until the next Start or Close.
    void Stop();
    // The bar goes to 100 % and the thread ends; waits up to a second for it.
    void Close();
    bool IsRunning() const { return m_running.load(); }

private:
    static DWORD ThreadMain(LPVOID self);
    void Run();

    UpdateProgress m_update;
    std::atomic<bool> m_stop{true};
    std::atomic<bool> m_running{false};
    HANDLE m_hThread = nullptr;
    HANDLE m_hClose = nullptr;
    HANDLE m_hRestart = nullptr;
    DWORD m_threadId = 0;
    std::atomic<DWORD> m_duration{kDefaultDurationMs};
    std::atomic<DWORD> m_tick{kDefaultTickMs};
};
