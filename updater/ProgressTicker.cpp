#include "updater/ProgressTicker.h"

#include "platform/os/Sync.h"
#include "platform/os/Thread.h"

CProgressTicker::CProgressTicker(UpdateProgress update) : m_update(std::move(update)) {}

CProgressTicker::~CProgressTicker()
{
    if (m_running.load()) {
        m_tick = INFINITE;
        m_stop = true;
        SetEvent(m_hClose);
    }
    if (m_hThread) {
        WaitForSingleObject(m_hThread, INFINITE);
        CloseHandle(m_hThread);
    }
    if (m_hClose)
        CloseHandle(m_hClose);
    if (m_hRestart)
        CloseHandle(m_hRestart);
}

BOOL CProgressTicker::Start(DWORD durationMs, DWORD tickMs)
{
    m_duration = durationMs;
    m_tick = tickMs;
    if (m_running.load()) {
        SetEvent(m_hRestart);
        return TRUE;
    }
    if (m_hThread) {
        // A thread that was closed and is ending.
        WaitForSingleObject(m_hThread, INFINITE);
        CloseHandle(m_hThread);
        m_hThread = nullptr;
    }
    if (!m_hClose)
        m_hClose = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!m_hRestart)
        m_hRestart = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!m_hClose || !m_hRestart)
        return FALSE;
    ResetEvent(m_hClose);
    ResetEvent(m_hRestart);
    m_running = true;
    m_hThread = CreateThread(nullptr, 0, ThreadMain, this, 0, &m_threadId);
    if (!m_hThread)
        m_running = false;
    return m_hThread != nullptr;
}

void CProgressTicker::Stop()
{
    m_tick = INFINITE;
    if (m_running.load())
        SetEvent(m_hRestart);
}

void CProgressTicker::Close()
{
    if (!m_running.load())
        return;
    m_tick = INFINITE;
    m_stop = true;
    SetEvent(m_hClose);
    WaitForSingleObject(m_hThread, kCloseWaitMs);
}

DWORD CProgressTicker::ThreadMain(LPVOID self)
{
    static_cast<CProgressTicker*>(self)->Run();
    return 0;
}

void CProgressTicker::Run()
{
    m_stop = false;
    const HANDLE events[2] = {m_hClose, m_hRestart};
    // The first wait also ends early on a close.
    bool closed = WaitForSingleObject(m_hClose, kFirstDelayMs) == WAIT_OBJECT_0;
    DWORD elapsed = 0;
    while (!closed) {
        const DWORD result = WaitForMultipleObjects(2, events, FALSE, m_tick.load());
        if (result == WAIT_TIMEOUT) {
            m_update(m_duration.load(), elapsed);
            elapsed += m_tick.load();
        } else if (result == WAIT_OBJECT_0 + 1) {
            m_update(m_duration.load(), 0);
            elapsed = 0;
        } else {
            closed = true;
        }
    }
    m_update(m_duration.load(), m_duration.load());
    m_stop = true;
    m_threadId = 0;
    m_running = false;
}
