#include "Lib_cpp/controls/PressWrapper.h"

#include "Lib_cpp/controls/ElementApi.h"
#include "Lib_cpp/kernel/Kernel.h"

namespace {

// Flags under which the wrapper follows no press: marked, disabled, input
// refused.
constexpr DWORD kNoGesture = IXF_MARKED | IXF_DISABLED | IXF_NOINPUT;

// The notices of one step, sent after the wrapper's state has changed (a
// receiver of a direct notice may delete the wrapper).
class Notices {
public:
    void Add(int code) { m_codes[m_count++] = code; }
    void Send(IxElement* wrapper, int id, LPARAM value) const
    {
        IxElementWatch alive(wrapper);
        for (int i = 0; i < m_count && alive.Alive(); ++i)
            PostElementNotify(wrapper, id, m_codes[i], value);
    }

private:
    int m_codes[2] = {0, 0};
    int m_count = 0;
};

} // namespace

IxPressWrapper::IxPressWrapper(IxElement* content, int holdDelay, int repeatInterval)
    : IxPressWrapper(content, holdDelay, 0, repeatInterval, 0, nullptr, 0, 0)
{
}

IxPressWrapper::IxPressWrapper(IxElement* content, int holdDelay, int earlyRepeatInterval, int repeatInterval,
                               int doublePressWindow, IxElement* overlay, int shiftX, int shiftY)
    : IxElementWrapper(content), m_pOverlay(overlay), m_nShiftX(shiftX), m_nShiftY(shiftY),
      m_nHoldDelay(holdDelay > 0 ? holdDelay : 0), m_nEarlyRepeat(earlyRepeatInterval > 0 ? earlyRepeatInterval : 0),
      m_nRepeat(repeatInterval > 0 ? repeatInterval : 0),
      m_nDoublePressWindow(doublePressWindow > 0 ? doublePressWindow : 0)
{
    if (m_pOverlay)
        m_pOverlay->SetParent(this);
}

IxPressWrapper::~IxPressWrapper()
{
    delete m_pOverlay;
}

BOOL IxPressWrapper::TimerRuns(const void* field) const
{
    IxKernel* kernel = IxGetKernel();
    return kernel && kernel->IsTimerSet(const_cast<IxPressWrapper*>(this), IxTimerId(field));
}

void IxPressWrapper::StartTimer(const void* field, int interval)
{
    if (interval > 0)
        SetElementTimer(this, IxTimerId(field), interval);
}

void IxPressWrapper::StopTimer(const void* field)
{
    KillElementTimer(this, IxTimerId(field));
}

void IxPressWrapper::PressOverlay(bool down)
{
    if (!m_pOverlay || m_bOverlayDown == down)
        return;
    m_bOverlayDown = down;
    RECT rc;
    m_pOverlay->GetRect(&rc);
    int dx = down ? m_nShiftX : -m_nShiftX;
    int dy = down ? m_nShiftY : -m_nShiftY;
    m_pOverlay->SetPressed(down, FALSE);
    m_pOverlay->SetRect(rc.left + dx, rc.top + dy, 0, rc.right + dx, rc.bottom + dy, 0, FALSE);
    Redraw();
}

void IxPressWrapper::Report(int code)
{
    PostElementNotify(this, m_nId, code, m_bInside);
}

void IxPressWrapper::OnPressNotice(int code)
{
    Notices notices;
    switch (code) {
    case AEV_PRESSED:
        if (m_bTracking)
            return;
        m_bArmed = TRUE;
        m_bInside = TRUE;
        PressOverlay(true);
        if (TimerRuns(&m_nDoublePressWindow)) {
            StopTimer(&m_nDoublePressWindow);
            notices.Add(AEV_DOUBLEAFTERLONG);
            StartTimer(&m_nRepeat, m_nRepeat);
        } else if (TimerRuns(&m_bInside)) {
            StopTimer(&m_bInside);
            notices.Add(AEV_DOUBLEAFTERSHORT);
            StartTimer(&m_nHoldDelay, m_nHoldDelay);
            StartTimer(&m_nEarlyRepeat, m_nEarlyRepeat);
        } else if (m_nHoldDelay) {
            notices.Add(AEV_HOLDSTART);
            StartTimer(&m_nHoldDelay, m_nHoldDelay);
            StartTimer(&m_nEarlyRepeat, m_nEarlyRepeat);
        } else if (m_nRepeat) {
            notices.Add(AEV_LONGPRESS);
            StartTimer(&m_nRepeat, m_nRepeat);
        }
        m_bTracking = TRUE;
        break;
    case AEV_LEFT:
        if (m_bTracking) {
            m_bInside = FALSE;
            PressOverlay(false);
        }
        return;
    case AEV_REENTERED:
        if (m_bTracking) {
            m_bInside = TRUE;
            PressOverlay(true);
        }
        return;
    case AEV_RELEASEDINSIDE:
    case AEV_RELEASEDIDLE:
        if (!m_bTracking || !m_bArmed) {
            KillElementTimer(this, 0);
            m_bArmed = FALSE;
            m_bTracking = FALSE;
            if (code == AEV_RELEASEDINSIDE)
                PressOverlay(false);
            return;
        }
        m_bTracking = FALSE;
        m_bInside = code == AEV_RELEASEDINSIDE;
        if (m_bInside)
            PressOverlay(false);
        if (TimerRuns(&m_nHoldDelay)) {
            StopTimer(&m_nHoldDelay);
            StopTimer(&m_nEarlyRepeat);
            notices.Add(AEV_SHORTPRESS);
            if (m_nDoublePressWindow) {
                StartTimer(&m_bInside, m_nDoublePressWindow);
            } else {
                notices.Add(AEV_SHORTEND);
                m_bArmed = FALSE;
            }
        } else if (TimerRuns(&m_nRepeat)) {
            StopTimer(&m_nRepeat);
            notices.Add(AEV_LONGRELEASE);
            if (m_nDoublePressWindow) {
                StartTimer(&m_nDoublePressWindow, m_nDoublePressWindow);
            } else {
                notices.Add(AEV_LONGEND);
                m_bArmed = FALSE;
            }
        } else if (!TimerRuns(&m_bInside) && !TimerRuns(&m_nDoublePressWindow)) {
            notices.Add(AEV_LONGRELEASE);
            notices.Add(AEV_LONGEND);
            m_bArmed = FALSE;
        }
        break;
    default:
        return;
    }
    notices.Send(this, m_nId, m_bInside);
}

void IxPressWrapper::Cancel(BOOL detach)
{
    bool wasArmed = m_bArmed;
    m_bArmed = FALSE;
    KillElementTimer(this, 0);
    if (detach)
        m_bTracking = FALSE;
    if (wasArmed)
        IxBroadcast(static_cast<WORD>(m_nId), static_cast<WORD>(AEV_ABORT), 0);
}

LRESULT IxPressWrapper::OnEvent(int code, LPARAM param)
{
    switch (code) {
    case IXEV_TIMER: {
        UINT_PTR id = static_cast<UINT_PTR>(param);
        if (id != IxTimerId(&m_nHoldDelay) && id != IxTimerId(&m_nEarlyRepeat) && id != IxTimerId(&m_nRepeat)
            && id != IxTimerId(&m_bInside) && id != IxTimerId(&m_nDoublePressWindow))
            return IxElementWrapper::OnEvent(code, param);
        if (!m_bArmed) {
            KillElementTimer(this, 0);
            return 1;
        }
        Notices notices;
        if (id == IxTimerId(&m_nHoldDelay)) {
            StopTimer(&m_nHoldDelay);
            StopTimer(&m_nEarlyRepeat);
            notices.Add(AEV_LONGPRESS);
            StartTimer(&m_nRepeat, m_nRepeat);
        } else if (id == IxTimerId(&m_nEarlyRepeat)) {
            notices.Add(AEV_EARLYREPEAT);
        } else if (id == IxTimerId(&m_nRepeat)) {
            notices.Add(AEV_HOLDREPEAT);
        } else {
            StopTimer(reinterpret_cast<const void*>(id));
            notices.Add(id == IxTimerId(&m_bInside) ? AEV_SHORTEND : AEV_LONGEND);
            m_bArmed = FALSE;
            m_bTracking = FALSE;
        }
        notices.Send(this, m_nId, m_bInside);
        return 1;
    }
    case IXEV_DETACHED:
        Cancel(TRUE);
        break;
    case IXEV_HIDDEN:
    case IXEV_SHOWN:
        if (m_pOverlay)
            m_pOverlay->Show(code == IXEV_SHOWN, FALSE);
        break;
    case IXEV_UNMARKED:
    case IXEV_MARKED:
        if (m_pOverlay)
            m_pOverlay->SetUnmarked(code == IXEV_UNMARKED, param);
        break;
    case IXEV_ENABLED:
    case IXEV_DISABLED:
        // Enabling again brings the overlay back too, or it would keep its
        // disabled look for good.
        if (m_pOverlay)
            m_pOverlay->Enable(code == IXEV_ENABLED, param);
        break;
    default:
        break;
    }
    return IxElementWrapper::OnEvent(code, param);
}

int IxPressWrapper::Layout(LPARAM arg)
{
    IxElementWrapper::Layout(arg);
    if (m_pOverlay && m_pOverlay->HasFlag(IXF_PENDING))
        m_pOverlay->ValidateNow(arg);
    return 1;
}

void IxPressWrapper::Draw(IxPaintRecord* record)
{
    IxElementWrapper::Draw(record);
    IxPaintOwned(m_pOverlay, record);
}

int IxPressWrapper::OnChildNotify(int kind, LPARAM data, IxElement* sender, IxElement* origin)
{
    // A notice without a sender is one the wrapper gives itself (a
    // key-bound wrapper has no content).
    bool fromContent = sender == m_pContent || !sender;
    if (!HasGesture() || kind != IXCN_NOTICE || !data || !fromContent)
        return IxElementWrapper::OnChildNotify(kind, data, sender, origin);
    if (HasFlag(kNoGesture))
        return 0;
    const auto* record = reinterpret_cast<const IxNoticeRecord*>(data);
    int code = IxActionKind(record->dwWord);
    if (code == AEV_CLICK) {
        // The kernel hands a release that did not move as a tap, on which a
        // pressable element only clicks: a click while the press is followed
        // and the content no longer pressed ends the press inside. (A click
        // on press comes while the content is still pressed.)
        if (m_bTracking && !(m_pContent && m_pContent->HasFlag(IXF_PRESSED)))
            OnPressNotice(AEV_RELEASEDINSIDE);
        return 1;
    }
    IxElementWatch self(this);
    Repost(record);
    if (self.Alive())
        OnPressNotice(code);
    return 1;
}

void IxPressWrapper::SetState(int state, LPARAM param)
{
    IxElementWatch self(this);
    IxElementWrapper::SetState(state, param);
    if (self.Alive() && m_pOverlay)
        m_pOverlay->SetState(state, param);
}

IxElement* IxPressWrapper::SearchOwned(int kind, int id, IxArray<IxElement*>* out, IxElement* from, IxElement* stop)
{
    if (IxElement* found = IxElementWrapper::SearchOwned(kind, id, out, from, stop); found && !out)
        return found;
    if (!m_pOverlay || m_pOverlay == from)
        return nullptr;
    return m_pOverlay->FindElement(kind, id, out, nullptr, stop);
}

int IxPressWrapper::SetProperty(int id, LPARAM value)
{
    if (id == IXP_CANCELGESTURE) {
        Cancel(FALSE);
        return 1;
    }
    return IxElementWrapper::SetProperty(id, value);
}
