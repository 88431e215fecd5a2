#include "Lib_cpp/controls/AutoHideWindowView.h"

#include "Lib_cpp/controls/ElementApi.h"
#include "Lib_cpp/kernel/Kernel.h"
#include "platform/ui/Window.h"

IxAutoHideWindowView::IxAutoHideWindowView(int hideTime, BOOL hideOnOutsidePress)
    : m_nHideTime(hideTime > 0 ? hideTime : 0), m_bHideOnOutsidePress(hideOnOutsidePress)
{
}

void IxAutoHideWindowView::ReleaseOwnCapture()
{
    // Only the capture this view took: the frame's own press tracking keeps
    // its capture.
    HWND own = GetChildWindow();
    if (own && GetCapture() == own)
        ReleaseCapture();
}

LRESULT IxAutoHideWindowView::OnEvent(int code, LPARAM param)
{
    switch (code) {
    case IXEV_ATTACHED:
        m_dwFlags &= ~IXF_MARKED;
        if (m_bHideOnOutsidePress)
            m_dwFlags &= ~IXF_HITCLIENT;
        if (m_nHideTime)
            SetElementTimer(this, IxTimerId(&m_nHideTime), m_nHideTime);
        break;
    case IXEV_PAUSED:
        if (HWND own = GetChildWindow())
            SetCapture(own);
        break;
    case IXEV_HIDDEN: {
        ReleaseOwnCapture();
        KillElementTimer(this, IxTimerId(&m_nHideTime));
        IxElementWatch self(this);
        if (IxKernel* kernel = IxGetKernel())
            kernel->Service(IXSVC_POP, nullptr, m_nId);
        // The layer's removal detaches the view, which destroys the window.
        // A view that was no layer is still here: its window hides with it.
        if (self.Alive())
            return IxChildWindowView::OnEvent(code, param);
        return 0;
    }
    case IXEV_DETACHED:
        KillElementTimer(this, 0);
        ReleaseOwnCapture();
        break;
    case IXEV_TIMER:
        if (static_cast<UINT_PTR>(param) == IxTimerId(&m_nHideTime))
            Show(FALSE, TRUE);
        return 1;
    default:
        break;
    }
    return IxChildWindowView::OnEvent(code, param);
}

IxElement* IxAutoHideWindowView::FindTarget(int inputCode, POINT point)
{
    IxElement* target = IxChildWindowView::FindTarget(inputCode, point);
    if (!target && m_bHideOnOutsidePress)
        return this;
    return target;
}

int IxAutoHideWindowView::OnInput(int code, LPARAM data)
{
    if (code == IXIN_DOWN && m_bHideOnOutsidePress) {
        Show(FALSE, TRUE);
        return 0;
    }
    return IxChildWindowView::OnInput(code, data);
}

void IxAutoHideWindowView::RestartHideTimer()
{
    if (m_nHideTime)
        SetElementTimer(this, IxTimerId(&m_nHideTime), m_nHideTime);
}

// ---------------------------------------------------------------------------
// IxListeningAutoHideView

LRESULT IxListeningAutoHideView::OnEvent(int code, LPARAM param)
{
    if (IxKernel* kernel = IxGetKernel()) {
        if (code == IXEV_ATTACHED)
            kernel->AddListener(m_filter, this);
        else if (code == IXEV_DETACHED)
            kernel->RemoveListener(m_filter, this);
    }
    return IxAutoHideWindowView::OnEvent(code, param);
}

int IxListeningAutoHideView::ActionIsInvoked(int code, int kind, LPARAM param)
{
    if (code != IXA_AUTOHIDEREQUEST)
        return 0;
    if (kind != IXAH_REQUESTFIRST && kind != IXAH_REQUESTSECOND)
        return 1;
    IxElementWatch self(this);
    OnRequest(param, kind);
    if (self.Alive())
        RestartHideTimer();
    return 1;
}
