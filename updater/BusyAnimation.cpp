#include "updater/BusyAnimation.h"

#include "platform/gfx/Gdi.h"
#include "platform/os/Sync.h"
#include "platform/os/Thread.h"
#include "platform/ui/Window.h"
#include "updater/Resources.h"

CBusyAnimation::CBusyAnimation() : m_hWake(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

CBusyAnimation::~CBusyAnimation()
{
    Stop();
    if (m_hThread) {
        WaitForSingleObject(m_hThread, INFINITE);
        CloseHandle(m_hThread);
    }
    CloseHandle(m_hWake);
}

BOOL CBusyAnimation::Start(HWND window, LPVOID data)
{
    if (m_running.load())
        return FALSE;
    if (m_hThread) {
        WaitForSingleObject(m_hThread, INFINITE);
        CloseHandle(m_hThread);
        m_hThread = nullptr;
    }
    m_hWnd = window;
    m_data = data;
    m_framesShown = 0;
    // Cleared here, not by the thread: a Stop that comes before the thread
    // first runs must not be undone.
    m_stop = false;
    ResetEvent(m_hWake);
    m_running = true;
    m_hThread = CreateThread(nullptr, 0, ThreadMain, this, 0, &m_threadId);
    if (!m_hThread)
        m_running = false;
    return m_hThread != nullptr;
}

void CBusyAnimation::Stop()
{
    m_stop = true;
    SetEvent(m_hWake);
}

DWORD CBusyAnimation::ThreadMain(LPVOID self)
{
    static_cast<CBusyAnimation*>(self)->Run();
    return 0;
}

void CBusyAnimation::Run()
{
    if (!m_hWnd) {
        m_running = false;
        return;
    }
    WaitForSingleObject(m_hWake, kFirstDelayMs);
    HDC frames[kFrames] = {};
    HBITMAP bitmaps[kFrames] = {};
    HGDIOBJ old[kFrames] = {};
    for (int i = 0; i < kFrames; ++i) {
        frames[i] = CreateCompatibleDC(nullptr);
        bitmaps[i] = LoadBitmapW(nullptr, IDB_BUSY_FIRST + i);
        if (bitmaps[i])
            old[i] = SelectObject(frames[i], bitmaps[i]);
    }
    int current = 0;
    while (!m_stop.load()) {
        if (HDC dc = GetDC(m_hWnd)) {
            if (bitmaps[current])
                BitBlt(dc, kX, kY, kWidth, kHeight, frames[current], 0, 0, SRCCOPY);
            ReleaseDC(m_hWnd, dc);
        }
        ++m_framesShown;
        current = (current + 1) % kFrames;
        WaitForSingleObject(m_hWake, kFrameMs);
    }
    for (int i = 0; i < kFrames; ++i) {
        if (bitmaps[i]) {
            SelectObject(frames[i], old[i]);
            DeleteObject(bitmaps[i]);
        }
        DeleteDC(frames[i]);
    }
    m_threadId = 0;
    m_running = false;
}
