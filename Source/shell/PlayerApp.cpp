#include "Source/shell/PlayerApp.h"

#include "Source/shell/MainWnd.h"

#include <new>

CPlayerApp::CPlayerApp() : CPlayerApp(u"PLAYER", RECT{0, 0, 800, 480}) {}

CPlayerApp::CPlayerApp(LPCWSTR className, const RECT& mainRect) : IxApp(className), m_rcMain(mainRect) {}

HWND CPlayerApp::InitInstance()
{
    auto* window = new (std::nothrow) CMainWnd;
    if (!window) {
        IxRecordError(IXERR_NOMEMORY);
        return nullptr;
    }
    if (!window->Create(0, m_lpszClassName, m_lpszClassName, WS_VISIBLE, m_rcMain.left, m_rcMain.top,
                        m_rcMain.right - m_rcMain.left, m_rcMain.bottom - m_rcMain.top, nullptr, m_hInstance)) {
        delete window;
        return nullptr;
    }
    return window->GetHandle();
}
