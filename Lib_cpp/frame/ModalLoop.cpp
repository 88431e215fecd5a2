#include "Lib_cpp/frame/ModalLoop.h"

#include "Lib_cpp/core/App.h"
#include "Lib_cpp/frame/KernelFrame.h"
#include "platform/os/Thread.h"
#include "platform/ui/Window.h"

int IxModalLoop::Run(IxKernelFrame& frame)
{
    if (m_bRunning)
        return -1;
    m_nSavedBusy = frame.GetBusyDepth();
    m_dwThread = GetCurrentThreadId();
    m_bRunning = true;
    m_nResult = -1;
    if (HWND hwnd = frame.GetWindowHandle())
        SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    if (frame.GetBusyDepth() > 0)
        frame.EndBusy();
    BOOL quit = FALSE;
    MSG msg;
    IxApp* app = IxGetApp();
    while (m_bRunning) {
        if (!GetMessageW(&msg, nullptr, 0, 0)) {
            quit = TRUE;
            break;
        }
        if (app)
            app->SetLastMessageTime(msg.time);
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    if (m_nSavedBusy > 0)
        frame.BeginBusy();
    m_nSavedBusy = static_cast<int>(0x80000001);
    m_bRunning = false;
    if (quit) {
        m_nResult = -1;
        PostQuitMessage(0);
    }
    return m_nResult;
}

bool IxModalLoop::End(int result)
{
    if (!m_bRunning)
        return false;
    m_bRunning = false;
    m_nResult = result;
    return true;
}

void IxModalLoop::Wake() const
{
    PostThreadMessageW(m_dwThread, 0, 0, 0);
}
