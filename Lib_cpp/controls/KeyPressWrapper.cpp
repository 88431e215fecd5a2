#include "Lib_cpp/controls/KeyPressWrapper.h"

#include "Lib_cpp/controls/ElementApi.h"
#include "Lib_cpp/kernel/Kernel.h"

namespace {

// Flags under which no key acts: marked, disabled, input refused.
constexpr DWORD kNoKeys = IXF_MARKED | IXF_DISABLED | IXF_NOINPUT;

} // namespace

IxKeyPressWrapper::IxKeyPressWrapper(int firstCode, int secondCode, int holdDelay, int repeatInterval,
                                     int doublePressWindow)
    : IxPressWrapper(nullptr, holdDelay, 0, repeatInterval, doublePressWindow, nullptr, 1, 1), m_nFirstCode(firstCode),
      m_nSecondCode(secondCode)
{
}

void IxKeyPressWrapper::Subscribe()
{
    IxKernel* kernel = IxGetKernel();
    if (m_bSubscribed || !kernel)
        return;
    m_bSubscribed = TRUE;
    for (int code : {m_nFirstCode, m_nSecondCode, m_nThirdCode})
        if (code)
            kernel->Subscribe(code, this);
}

void IxKeyPressWrapper::Unsubscribe()
{
    IxKernel* kernel = IxGetKernel();
    if (!m_bSubscribed || !kernel)
        return;
    m_bSubscribed = FALSE;
    for (int code : {m_nFirstCode, m_nSecondCode, m_nThirdCode})
        if (code)
            kernel->Unsubscribe(code, this);
}

void IxKeyPressWrapper::NotifySelf(int code)
{
    IxNoticeRecord record{IxActionWord(0, code), 0};
    IxPressWrapper::OnChildNotify(IXCN_NOTICE, reinterpret_cast<LPARAM>(&record), nullptr, this);
}

void IxKeyPressWrapper::Step(bool forward)
{
    IxElementWatch self(this);
    UINT_PTR timer = IxTimerId(&m_nThirdCode);
    IxKernel* kernel = IxGetKernel();
    if (kernel && kernel->IsTimerSet(this, timer))
        KillElementTimer(this, timer);
    else
        PostElementNotify(this, m_nId, AEV_STEPBEGIN, 0);
    if (self.Alive())
        PostElementNotify(this, m_nId, forward ? AEV_STEPFORWARD : AEV_STEPBACK, 0);
    if (self.Alive())
        SetElementTimer(this, timer, m_nDoublePressWindow);
}

void IxKeyPressWrapper::Stop()
{
    UINT_PTR timer = IxTimerId(&m_nThirdCode);
    IxKernel* kernel = IxGetKernel();
    if (!kernel || !kernel->IsTimerSet(this, timer))
        return;
    KillElementTimer(this, timer);
    PostElementNotify(this, m_nId, AEV_STEPSTOP, 0);
}

void IxKeyPressWrapper::CancelKeys()
{
    if (Stepping()) {
        UINT_PTR timer = IxTimerId(&m_nThirdCode);
        IxKernel* kernel = IxGetKernel();
        if (kernel && kernel->IsTimerSet(this, timer)) {
            KillElementTimer(this, timer);
            IxBroadcast(static_cast<WORD>(m_nId), static_cast<WORD>(AEV_ABORT), 0);
        }
        return;
    }
    BOOL wasTracking = m_bTracking;
    Cancel(FALSE);
    if (!wasTracking)
        return;
    // The release is taken even while disabled: the flags that stop the
    // gesture are lifted for this one notice.
    DWORD held = m_dwFlags & kNoKeys;
    m_dwFlags &= ~kNoKeys;
    IxElementWatch self(this);
    NotifySelf(AEV_RELEASEDINSIDE);
    if (self.Alive())
        m_dwFlags |= held;
}

LRESULT IxKeyPressWrapper::OnEvent(int code, LPARAM param)
{
    switch (code) {
    case IXEV_ATTACHED:
        if (!HasFlag(IXF_DISABLED | IXF_NOINPUT))
            Subscribe();
        break;
    case IXEV_DETACHED: {
        Unsubscribe();
        IxElementWatch self(this);
        CancelKeys();
        if (!self.Alive())
            return 0;
        // The press wrapper's own cancel has run; the element's detach
        // handling follows.
        return IxElementWrapper::OnEvent(code, param);
    }
    case IXEV_ENABLED:
        // Only an attached element listens: one enabled while detached
        // subscribes when it is attached.
        if (HasFlag(IXF_ACTIVE) && !HasFlag(IXF_NOINPUT))
            Subscribe();
        break;
    case IXEV_DISABLED:
        Unsubscribe();
        break;
    case IXEV_TIMER:
        if (static_cast<UINT_PTR>(param) == IxTimerId(&m_nThirdCode)) {
            IxKernel* kernel = IxGetKernel();
            if (kernel && kernel->IsTimerSet(this, IxTimerId(&m_nThirdCode))) {
                KillElementTimer(this, IxTimerId(&m_nThirdCode));
                PostElementNotify(this, m_nId, AEV_STEPTIMEOUT, 0);
            }
            return 1;
        }
        break;
    default:
        break;
    }
    return IxPressWrapper::OnEvent(code, param);
}

int IxKeyPressWrapper::ActionIsInvoked(int code, int kind, LPARAM)
{
    if (HasFlag(kNoKeys))
        return 0;
    // With one id its release stands for a press of the (empty) second id.
    if (m_nSecondCode == 0 && code == m_nFirstCode && kind == AEV_RELEASE) {
        code = 0;
        kind = AEV_PRESS;
    }
    if (kind != AEV_PRESS)
        return 0;
    if (code == m_nFirstCode) {
        if (Stepping())
            Step(true);
        else
            NotifySelf(AEV_PRESSED);
        return 1;
    }
    if (code == m_nSecondCode) {
        if (Stepping())
            Step(false);
        else
            NotifySelf(AEV_RELEASEDINSIDE);
        return 1;
    }
    if (Stepping() && code == m_nThirdCode) {
        Stop();
        return 1;
    }
    return 0;
}

int IxKeyPressWrapper::SetProperty(int id, LPARAM value)
{
    if (id == IXP_CANCELGESTURE) {
        CancelKeys();
        return 1;
    }
    return IxPressWrapper::SetProperty(id, value);
}
