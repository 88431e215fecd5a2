#include "Lib_cpp/controls/IdleViews.h"

#include "Lib_cpp/controls/ElementApi.h"
#include "Lib_cpp/kernel/Kernel.h"

#include <cstdlib>

namespace {

// The pointer notice's point in the view's coordinates, and whether it lies
// on the view.
bool NoticeInside(const IxElement* view, LPARAM param, int* kind)
{
    const auto* notice = reinterpret_cast<const IxPointerNotice*>(param);
    if (!notice)
        return false;
    *kind = notice->nKind;
    POINT point = notice->pt;
    view->ScreenToLocal(&point);
    return point.x >= 0 && point.y >= 0 && point.x < view->Width() && point.y < view->Height();
}

void BecomePointerNoticeView(IxElement* view, BOOL on)
{
    IxKernel* kernel = IxGetKernel();
    if (!kernel)
        return;
    if (on)
        kernel->SetPointerNoticeView(view);
    else if (kernel->GetPointerNoticeView() == view)
        kernel->SetPointerNoticeView(nullptr);
}

} // namespace

// ---------------------------------------------------------------------------
// IxIdleTimerView

BOOL IxIdleTimerView::IsPanelShown()
{
    IxElement* panel = FindChildDeep(kIxIdlePanelId);
    return panel && !panel->HasFlag(IXF_HIDDEN);
}

int IxIdleTimerView::ShowPanel(BOOL show)
{
    SetChildVisible(this, kIxIdlePanelId, show, TRUE);
    return 1;
}

void IxIdleTimerView::KillIdleTimer()
{
    KillElementTimer(this, TimerId());
}

void IxIdleTimerView::RestartIdleTimer()
{
    const int time = std::abs(m_nPeriod);
    if (time > 1 && !m_lHolder)
        SetElementTimer(this, TimerId(), time);
}

void IxIdleTimerView::HoldTimer(LPARAM holder)
{
    if (holder) {
        m_lHolder = holder;
        KillIdleTimer();
    } else if (!m_bTouched) {
        m_lHolder = 0;
        RestartIdleTimer();
    }
}

void IxIdleTimerView::RestartTimer()
{
    IxElementWatch self(this);
    if (!IsPanelShown())
        ShowPanel(TRUE);
    if (self.Alive() && !m_bTouched)
        RestartIdleTimer();
}

void IxIdleTimerView::TogglePanel()
{
    IxElementWatch self(this);
    if (!IsPanelShown()) {
        if (ShowPanel(TRUE) && self.Alive())
            RestartIdleTimer();
    } else if (ShowPanel(FALSE) && self.Alive()) {
        KillIdleTimer();
    }
}

void IxIdleTimerView::OnTouch(int kind, POINT)
{
    if (kind == IXIN_DOWN) {
        m_bTouched = TRUE;
        KillIdleTimer();
    } else if (kind == IXIN_UP) {
        m_bTouched = FALSE;
        RestartIdleTimer();
    }
}

LRESULT IxIdleTimerView::OnEvent(int code, LPARAM param)
{
    switch (code) {
    case IXEV_ATTACHED: {
        m_dwFlags |= IXF_HITCLIENT;
        m_bTouched = FALSE;
        m_bPressed = FALSE;
        BecomePointerNoticeView(this, TRUE);
        IxElementWatch self(this);
        OnIdleAttached();
        if (!self.Alive())
            return 0;
        break;
    }
    case IXEV_PAUSED:
        if (IsPanelShown())
            RestartIdleTimer();
        break;
    case IXEV_POINTERNOTICE: {
        int kind = -1;
        if (NoticeInside(this, param, &kind) && IsPanelShown())
            OnTouch(kind, POINT{0, 0});
        return 1;
    }
    case IXEV_DETACHED:
        KillElementTimer(this, 0);
        BecomePointerNoticeView(this, FALSE);
        break;
    case IXEV_TIMER:
        if (static_cast<UINT_PTR>(param) == TimerId()) {
            IxElementWatch self(this);
            if (ShowPanel(FALSE) && self.Alive())
                KillIdleTimer();
            return 1;
        }
        break;
    default:
        break;
    }
    return IxView::OnEvent(code, param);
}

int IxIdleTimerView::OnInput(int code, LPARAM)
{
    switch (code) {
    case IXIN_DOWN:
        if (HasFlag(IXF_CLICKONPRESS)) {
            TogglePanel();
            return 0;
        }
        m_bPressed = TRUE;
        return IXGM_TRACK;
    case IXIN_MOVE:
        m_bPressed = FALSE; // a press that moved is no tap
        return 1;
    case IXIN_UP:
    case IXIN_TAP: // the release of a press that did not move
        if (m_bPressed) {
            m_bPressed = FALSE;
            TogglePanel();
        }
        return 0;
    default:
        return 0;
    }
}

// ---------------------------------------------------------------------------
// IxIdleFrameView

void IxIdleFrameView::KillIdleTimer()
{
    KillElementTimer(this, TimerId());
}

void IxIdleFrameView::RestartIdleTimer()
{
    const int time = std::abs(m_nPeriod);
    if (time > 1 && !m_lHolder)
        SetElementTimer(this, TimerId(), time);
}

void IxIdleFrameView::PostTimeoutCommand()
{
    PushGlobalAction(m_nCommand & 0xFFFF, AEV_DEFAULT, m_nId);
}

void IxIdleFrameView::SubscribeAll(BOOL on)
{
    IxKernel* kernel = IxGetKernel();
    if (!kernel)
        return;
    for (const IxArray<int>* list : {&m_pass, &m_swallow}) {
        for (int i = 0; i < list->Count(); ++i) {
            if (on)
                kernel->Subscribe((*list)[i], this);
            else
                kernel->Unsubscribe((*list)[i], this);
        }
    }
}

LRESULT IxIdleFrameView::OnEvent(int code, LPARAM param)
{
    switch (code) {
    case IXEV_ATTACHED:
        m_dwFlags |= IXF_HITCLIENT;
        m_lAttachWord = 0;
        m_bPressed = FALSE;
        m_passing.RemoveAll();
        BecomePointerNoticeView(this, TRUE);
        SubscribeAll(TRUE);
        break;
    case IXEV_PAUSED:
        RestartIdleTimer();
        break;
    case IXEV_POINTERNOTICE: {
        int kind = -1;
        if (NoticeInside(this, param, &kind)) {
            if (kind == IXIN_DOWN)
                KillIdleTimer();
            else if (kind == IXIN_UP)
                RestartIdleTimer();
        }
        return 1;
    }
    case IXEV_TIMER:
        if (static_cast<UINT_PTR>(param) == TimerId()) {
            KillIdleTimer();
            PostTimeoutCommand();
            return 1;
        }
        break;
    case IXEV_DETACHED:
        SubscribeAll(FALSE);
        KillElementTimer(this, 0);
        BecomePointerNoticeView(this, FALSE);
        m_passing.RemoveAll();
        break;
    default:
        break;
    }
    return IxFrameView::OnEvent(code, param);
}

int IxIdleFrameView::ActionIsInvoked(int code, int kind, LPARAM param)
{
    if (m_swallow.IndexOfValue(code) >= 0)
        return 1;
    if (m_pass.IndexOfValue(code) < 0)
        return 0;
    // The copy queued below comes back to this view while it is still
    // subscribed: it passes once, on to the others.
    for (int i = 0; i < m_passing.Count(); ++i) {
        const Passing& p = m_passing[i];
        if (p.nCode == code && p.nKind == kind && p.lValue == param) {
            m_passing.RemoveAt(i);
            return 0;
        }
    }
    PostTimeoutCommand();
    if (PushGlobalAction(code & 0xFFFF, kind, param))
        m_passing.Add(Passing{code, kind, param});
    return 1;
}

int IxIdleFrameView::OnInput(int code, LPARAM)
{
    switch (code) {
    case IXIN_DOWN:
        if (HasFlag(IXF_CLICKONPRESS)) {
            KillIdleTimer();
            PostTimeoutCommand();
            return 0;
        }
        m_bPressed = TRUE;
        return IXGM_TRACK;
    case IXIN_MOVE:
        m_bPressed = FALSE;
        return 1;
    case IXIN_UP:
    case IXIN_TAP: // the release of a press that did not move
        if (m_bPressed && m_nPeriod >= 0) {
            m_bPressed = FALSE;
            KillIdleTimer();
            PostTimeoutCommand();
        }
        m_bPressed = FALSE;
        return 0;
    default:
        return 0;
    }
}
