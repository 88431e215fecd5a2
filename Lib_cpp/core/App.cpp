#include "Lib_cpp/core/App.h"

#include "Lib_cpp/core/Window.h"
#include "platform/base/Error.h"
#include "platform/ui/Window.h"

namespace {

IxApp* g_pApp = nullptr;

// Options compiled into this build, logged at start in this order.
constexpr LPCWSTR kOptions[] = {
    u"<IOEM_TCC89>\r\n",       u"<IOEM_TCC_MULTIDISPLAY>\r\n", u"<IOEM_TCC_MULTIAUDIO>\r\n",
    u"<ICFG_SERVICE>\r\n",     u"<ICFG_SOFTKEY>\r\n",          u"<ICFG_BUSY>\r\n",
    u"<ICFG_SUDDENDEATH>\r\n",
};

} // namespace

IxApp::IxApp(LPCWSTR className) : m_lpszClassName(className)
{
    g_pApp = this;
}

IxApp::~IxApp()
{
    if (g_pApp == this)
        g_pApp = nullptr;
}

IxApp* IxGetApp()
{
    return g_pApp;
}

int IxApp::OnError(const IxLastError&)
{
    return -1;
}

int IxApp::Run(HINSTANCE instance, LPWSTR commandLine, int showCommand)
{
    m_lpszCmdLine = commandLine;
    m_nCmdShow = showCommand;

    // One instance per unit: bring the running one forward (with its owned
    // windows: the lowest bit of the handle) and leave.
    if (HWND running = FindWindowW(m_lpszClassName, nullptr)) {
        SetForegroundWindow(reinterpret_cast<HWND>(reinterpret_cast<std::uintptr_t>(running) | 1));
        return 0;
    }

    m_hInstance = instance;
    WNDCLASSW wc{};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = IxWndProc;
    wc.cbWndExtra = 4; // word 0 holds the window object
    wc.hInstance = instance;
    wc.lpszClassName = m_lpszClassName;
    if (!RegisterClassW(&wc)) {
        IxRecordError(IXERR_REGISTERCLASS);
        IxLastError record;
        IxGetLastError(&record);
        return OnError(record);
    }

    InitInstance();
    if (!IsWindow(GetMainWindow())) {
        SetMainWindow(nullptr);
        IxLastError record;
        IxGetLastError(&record);
        return OnError(record);
    }
    ShowWindow(GetMainWindow(), showCommand);
    UpdateWindow(GetMainWindow());

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0)) {
        m_dwLastMsgTime = msg.time;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

int IxAppMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int showCommand)
{
    IxPrintBanner();
    for (LPCWSTR option : kOptions)
        NKDbgPrintfW(option);
    IxStartTickBase();
    IxApp* app = IxGetApp();
    return app ? app->Run(instance, commandLine, showCommand) : -1;
}
