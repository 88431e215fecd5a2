#include "Lib_cpp/frame/FrameWnd.h"

#include "Lib_cpp/core/App.h"
#include "Lib_cpp/core/Diag.h"
#include "Lib_cpp/frame/KernelFrame.h"
#include "platform/base/Clock.h"

#include <new>

// ---------------------------------------------------------------------------
// IxFrameWnd

IX_BEGIN_MESSAGE_MAP(IxFrameWnd, IxWindow)
IX_ON_MESSAGE(WM_PAINT, IxSig_WL, OnPaintMessage)
IX_ON_MESSAGE(WM_TIMER, IxSig_Timer, OnTimer)
IX_ON_MESSAGE(g_uIxNotifyAction, IxSig_WL, OnNotifyAction)
IX_ON_MESSAGE(g_uIxRecall, IxSig_WL, OnRecall)
IX_ON_MESSAGE(g_uIxFromExternal, IxSig_WL, OnFromExternal)
IX_ON_MESSAGE(WM_CREATE, IxSig_Create, DoCreate)
IX_ON_MESSAGE(WM_DESTROY, IxSig_Fixed, DoDestroy)
IX_ON_MESSAGE(WM_MOUSEMOVE, IxSig_Mouse, OnMouseMove)
IX_ON_MESSAGE(WM_LBUTTONDBLCLK, IxSig_Mouse, OnLButtonDblClk)
IX_ON_MESSAGE(WM_LBUTTONDOWN, IxSig_Mouse, OnLButtonDown)
IX_ON_MESSAGE(WM_LBUTTONUP, IxSig_Mouse, OnLButtonUp)
IX_ON_MESSAGE(WM_KEYDOWN, IxSig_Key, OnKeyDown)
IX_ON_MESSAGE(WM_KEYUP, IxSig_Key, OnKeyUp)
IX_ON_MESSAGE(WM_IME_KEYDOWN, IxSig_Key, OnImeKeyDown)
IX_ON_MESSAGE(WM_CHAR, IxSig_Key, OnChar)
IX_ON_MESSAGE(WM_SETFOCUS, IxSig_Focus, OnSetFocus)
IX_ON_MESSAGE(WM_KILLFOCUS, IxSig_Focus, OnKillFocus)
IX_ON_MESSAGE(WM_CAPTURECHANGED, IxSig_Fixed, OnCaptureChanged)
IX_ON_MESSAGE(WM_COMMAND, IxSig_WL, OnCommand)
IX_ON_MESSAGE(WM_COPYDATA, IxSig_WL, OnCopyData)
IX_ON_MESSAGE(WM_NOTIFY, IxSig_Notify, OnNotify)
IX_ON_MESSAGE(WM_SIZE, IxSig_Size, OnSize)
IX_ON_MESSAGE(WM_DEVICECHANGE, IxSig_WL, OnDeviceChange)
IX_END_MESSAGE_MAP()

IxFrameWnd::IxFrameWnd() = default;

IxFrameWnd::~IxFrameWnd()
{
    delete m_pKernelFrame;
}

void IxFrameWnd::Paint(int mode, HDC dc, const RECT* rect)
{
    // A non-zero mode (the window of a child-window view) paints only the
    // top layers.
    if (m_pKernelFrame)
        m_pKernelFrame->OnPaint(dc, rect, mode != 0, FALSE);
}

BOOL IxFrameWnd::InvokeSoftKey(WCHAR ch, IxTextInput* first, IxTextInput*)
{
    if (ch < 32)
        return FALSE;
    m_szSoftKey[0] = ch;
    m_szSoftKey[1] = 0;
    if (first)
        *first = IxTextInput{IxTextInput::Plain, m_szSoftKey, 1, 0};
    return TRUE;
}

IxKernelFrame* IxFrameWnd::NewKernelFrame(HINSTANCE instance)
{
    return new (std::nothrow) IxKernelFrame(instance, this, g_uIxNotifyAction, g_uIxRecall, g_uIxFromExternal);
}

LRESULT IxFrameWnd::DoCreate(CREATESTRUCTW*, INT_PTR)
{
    RECT client{};
    GetClientRect(m_hWnd, &client);
    IxApp* app = IxGetApp();
    if (app && !app->GetMainWindow())
        app->SetMainWindow(m_hWnd);
    IxImageCacheInit();
    DWORD start = GetTickCount();

    m_pKernelFrame = NewKernelFrame(app ? app->GetInstance() : nullptr);
    if (!m_pKernelFrame) {
        IxRecordError(IXERR_NOMEMORY);
        return -1;
    }
    if (!m_pKernelFrame->Create(0, 0, client.right, client.bottom)) {
        delete m_pKernelFrame;
        m_pKernelFrame = nullptr;
        return -1;
    }
    NKDbgPrintfW(u"TIME(%s) = %ld[ms]\n", u"DoCreate", GetTickCount() - start);
    IxTraceTime(u"WM_CREATE");
    return 0;
}

void IxFrameWnd::DoDestroy(INT_PTR second, INT_PTR first)
{
    delete m_pKernelFrame;
    m_pKernelFrame = nullptr;
    IxImageCacheShutdown();
    OnDestroy(second, first);
}

LRESULT IxFrameWnd::OnPaintMessage(WPARAM, LPARAM)
{
    if (!m_pKernelFrame)
        return 0;
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(m_hWnd, &ps);
    m_pKernelFrame->OnPaint(dc, &ps.rcPaint, FALSE, FALSE);
    EndPaint(m_hWnd, &ps);
    return 0;
}

void IxFrameWnd::OnTimer(WPARAM id, INT_PTR)
{
    if (m_pKernelFrame)
        m_pKernelFrame->OnTimer(id);
}

LRESULT IxFrameWnd::OnNotifyAction(WPARAM wParam, LPARAM lParam)
{
    if (!m_pKernelFrame)
        return 0;
    if (LOWORD(wParam) != IXA_WINDOWNOTICE) {
        m_pKernelFrame->DispatchPosted(wParam, lParam);
        return 0;
    }
    switch (HIWORD(wParam)) {
    case IXNOTICE_SOFTKEY_FINISH: {
        IxTextInput record{IxTextInput::None, nullptr, 0, 0};
        if (InvokeSoftKey(0, &record, nullptr) && lParam && record.kind != IxTextInput::None)
            m_pKernelFrame->OnTextInput(&record);
        break;
    }
    case IXNOTICE_SOFTKEY: {
        WCHAR ch = static_cast<WCHAR>(lParam);
        IxTextInput first{IxTextInput::None, nullptr, 0, 0};
        IxTextInput second{IxTextInput::None, nullptr, 0, 0};
        if (InvokeSoftKey(ch, &first, &second)) {
            // The first record may end the window (a key that closes the
            // keyboard); the second is only handed over while the frame lives.
            if (first.kind != IxTextInput::None)
                m_pKernelFrame->OnTextInput(&first);
            if (m_pKernelFrame && second.kind != IxTextInput::None)
                m_pKernelFrame->OnTextInput(&second);
        } else if (ch == 8) {
            m_pKernelFrame->OnKeyDown(8);
        }
        break;
    }
    case IXNOTICE_EXTERNAL:
        OnExternalNotice(wParam, lParam);
        break;
    default:
        break;
    }
    return 0;
}

LRESULT IxFrameWnd::OnRecall(WPARAM wParam, LPARAM lParam)
{
    if (m_pKernelFrame)
        m_pKernelFrame->OnRecall(wParam, lParam);
    return 0;
}

LRESULT IxFrameWnd::OnFromExternal(WPARAM wParam, LPARAM lParam)
{
    // Other programs send the value in wParam and the action word in lParam.
    if (m_pKernelFrame)
        m_pKernelFrame->DispatchPosted(static_cast<WPARAM>(lParam), static_cast<LPARAM>(wParam));
    return 0;
}

void IxFrameWnd::OnMouseMove(WPARAM keys, int x, int y)
{
    if (m_pKernelFrame) {
        BOOL startedDrag = FALSE;
        m_pKernelFrame->DoMouseMove(keys, x, y, &startedDrag);
    }
}

void IxFrameWnd::OnLButtonDblClk(WPARAM keys, int x, int y)
{
    if (m_pKernelFrame)
        m_pKernelFrame->DoLButtonDblClk(keys, x, y);
}

void IxFrameWnd::OnLButtonDown(WPARAM keys, int x, int y)
{
    if (!m_pKernelFrame)
        return;
    m_pKernelFrame->DoLButtonDown(keys, x, y);
    // Presses that piled up while this one was handled are stale.
    MSG stale;
    while (PeekMessageW(&stale, nullptr, WM_LBUTTONDOWN, WM_LBUTTONDOWN, PM_REMOVE)) {}
}

void IxFrameWnd::OnLButtonUp(WPARAM keys, int x, int y)
{
    if (m_pKernelFrame)
        m_pKernelFrame->DoLButtonUp(keys, x, y);
}

void IxFrameWnd::OnKeyDown(WPARAM key, UINT, UINT)
{
    if (m_pKernelFrame)
        m_pKernelFrame->OnKeyDown(static_cast<UINT>(key));
}

void IxFrameWnd::OnKeyUp(WPARAM key, UINT, UINT)
{
    if (m_pKernelFrame)
        m_pKernelFrame->OnKeyUp(static_cast<UINT>(key));
}

void IxFrameWnd::OnImeKeyDown(WPARAM key, UINT, UINT)
{
    if (m_pKernelFrame)
        m_pKernelFrame->OnKeyRelease(static_cast<UINT>(key));
}

void IxFrameWnd::OnChar(WPARAM ch, UINT, UINT)
{
    if (m_pKernelFrame && ch > 31)
        m_pKernelFrame->OnChar(static_cast<WCHAR>(ch));
}

void IxFrameWnd::OnSetFocus(WPARAM, INT_PTR)
{
    if (m_pKernelFrame)
        m_pKernelFrame->ShowCaret(TRUE);
}

void IxFrameWnd::OnKillFocus(WPARAM, INT_PTR)
{
    if (m_pKernelFrame)
        m_pKernelFrame->ShowCaret(FALSE);
}

void IxFrameWnd::OnCaptureChanged(INT_PTR, INT_PTR)
{
    if (m_pKernelFrame)
        m_pKernelFrame->OnCaptureLost();
}

LRESULT IxFrameWnd::OnCommand(WPARAM wParam, LPARAM lParam)
{
    if (m_pKernelFrame)
        m_pKernelFrame->OnCommand(reinterpret_cast<HWND>(lParam), lParam ? HIWORD(wParam) : LOWORD(wParam));
    return 0;
}

LRESULT IxFrameWnd::OnCopyData(WPARAM wParam, LPARAM lParam)
{
    if (!m_pKernelFrame)
        return 0;
    m_pKernelFrame->OnCopyData(wParam, lParam);
    return 1;
}

LRESULT IxFrameWnd::OnNotify(NMHDR* header, INT_PTR)
{
    return m_pKernelFrame ? m_pKernelFrame->OnNotify(header) : 0;
}

void IxFrameWnd::OnSize(WPARAM, int, int) {}

LRESULT IxFrameWnd::OnDeviceChange(WPARAM event, LPARAM data)
{
    if (!m_pKernelFrame)
        return 0;
    const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(data);
    if ((event != DBT_DEVICEARRIVAL && event != DBT_DEVICEREMOVECOMPLETE) || !header)
        return 1;
    DWORD type = header->dbch_devicetype;
    if (type != DBT_DEVTYP_VOLUME && type != DBT_DEVTYP_PORT)
        return 1;
    bool arrival = event == DBT_DEVICEARRIVAL;
    NKDbgPrintfW(type == DBT_DEVTYP_VOLUME ? u"[DEVICE] [%s], type=[DBT_DEVTYP_VOLUME]\r\n"
                                           : u"[DEVICE] [%s], type=[DBT_DEVTYP_PORT]\r\n",
                 arrival ? u"AEV_ATTACH" : u"AEV_DETACH");
    PostMessageW(m_hWnd, g_uIxNotifyAction, MAKEWPARAM(IXA_PLATFORMNOTICE, arrival ? AEV_ATTACH : AEV_DETACH),
                 static_cast<LPARAM>(type));
    return 1;
}
