// The busy animation: a thread that shows nine pictures in turn at one place
// of the window, every 300 ms, while the window thread is blocked in an
// update step. It only draws.
#pragma once

#include "platform/base/Types.h"

#include <atomic>

class CBusyAnimation {
public:
    static constexpr int kFrames = 9;
    static constexpr int kX = 352;
    static constexpr int kY = 109;
    static constexpr int kWidth = 114;
    static constexpr int kHeight = 109;
    static constexpr DWORD kFirstDelayMs = 250;
    static constexpr DWORD kFrameMs = 300;

    CBusyAnimation();
    // Stops the thread and waits for it.
    ~CBusyAnimation();
    CBusyAnimation(const CBusyAnimation&) = delete;
    CBusyAnimation& operator=(const CBusyAnimation&) = delete;

    // Starts the thread over the window; false when it runs already or
    // cannot start.
    BOOL Start(HWND window, LPVOID data);
    // Asks the thread to end after the frame it shows.
    void Stop();
    bool IsRunning() const { return m_running.load(); }
    // Frames shown since the start (tests watch the thread through it).
    int FramesShown() const { return m_framesShown.load(); }

private:
    static DWORD ThreadMain(LPVOID self);
    void Run();

    std::atomic<bool> m_stop{true};
    std::atomic<bool> m_running{false};
    std::atomic<int> m_framesShown{0};
    HWND m_hWnd = nullptr;
    HANDLE m_hThread = nullptr;
    HANDLE m_hWake = nullptr; // set by Stop, so that the thread ends at once
    DWORD m_threadId = 0;
    LPVOID m_data = nullptr;
};
