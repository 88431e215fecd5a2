#include "Source/models/ExtAppModel.h"

#include "Lib_cpp/core/ActionCodes.h"
#include "Source/models/ModelCodes.h"
#include "platform/base/Clock.h"
#include "platform/base/Debug.h"

ExtAppModel::ExtAppModel(int modelId, IxExtAppBridge* bridge) : IxModel(modelId), m_pBridge(bridge) {}

ExtAppModel::~ExtAppModel()
{
    delete m_pBridge;
}

int ExtAppModel::Launch()
{
    if (m_nState != EXTAPP_IDLE)
        return 0;
    m_nState = EXTAPP_LAUNCHING;
    if (m_pBridge)
        m_pBridge->AppLaunch();
    return 1;
}

LRESULT ExtAppModel::Stop(int flag)
{
    const LRESULT answer = m_pBridge ? m_pBridge->AppStop(flag) : 0;
    m_nState = EXTAPP_IDLE;
    m_nLayout = 0;
    return answer;
}

int ExtAppModel::GetLayout() const
{
    return m_pBridge ? m_pBridge->AppGetLayout() : 0;
}

void ExtAppModel::HoldView(BOOL on, int value)
{
    if (m_pBridge)
        m_pBridge->AppHold(on, value);
}

void ExtAppModel::SyncView()
{
    if (m_pBridge)
        m_pBridge->AppSync();
}

void ExtAppModel::SetLayout(int layout)
{
    m_nLayout = layout;
    if ((m_nState == EXTAPP_SHOWING || m_nState == EXTAPP_SHOWN) && m_pBridge)
        m_pBridge->AppSetLayout(layout);
}

LRESULT ExtAppModel::Show(int flag)
{
    if (m_nState == EXTAPP_SHOWING || m_nState == EXTAPP_SHOWN)
        return m_pBridge ? m_pBridge->AppShowAgain(flag) : 0;
    if (m_pBridge)
        m_pBridge->AppShow(flag, m_nLayout);
    m_nState = EXTAPP_SHOWING;
    return 1;
}

int ExtAppModel::Hide()
{
    if (m_nState == EXTAPP_SHOWING) {
        if (m_pBridge)
            m_pBridge->AppCancelShow();
    } else if (m_nState == EXTAPP_SHOWN) {
        if (m_pBridge)
            m_pBridge->AppHide();
    } else {
        return 0;
    }
    m_nState = EXTAPP_HIDDEN;
    return 1;
}

int ExtAppModel::Notify(int value)
{
    if (m_pBridge)
        m_pBridge->AppNotify(value);
    return 1;
}

void ExtAppModel::VideoIsReady()
{
    if (m_nState == EXTAPP_READY || m_nState == EXTAPP_SHOWING) {
        m_nState = EXTAPP_SHOWN;
        m_dwStatus |= MSB_VIDEOREADY;
        Notify(NAVIN_SHOWN, 0);
    } else if (m_nState == EXTAPP_SHOWN) {
        Notify(NAVIN_SHOWN, 0);
    }
}

int ExtAppModel::ActionIsInvoked(int code, int kind, LPARAM param)
{
    if (code == IXA_BROADCASTMESSAGE) {
        if (m_pBridge)
            m_pBridge->AppEvent(kind, param);
        return 1;
    }
    if (code != MLA_EXTAPPREPORT)
        return 0;
    // Only the model's own link reports to it.
    if (!m_pBridge || param != reinterpret_cast<LPARAM>(m_pBridge))
        return 0;
    OnReport(kind);
    return 1;
}

void ExtAppModel::OnReport(int report)
{
    const BOOL videoShowing = (m_dwStatus & MSB_VIDEOON) && !(m_dwStatus & (MSB_VIDEOHIDDEN | MSB_VIDEOOFFWAIT));
    switch (static_cast<LumoNotice>(report)) {
    case LumoNotice::WarningClosed:
        Notify(NAVIN_INITIAL, 0);
        break;
    case LumoNotice::WindowKnown:
        Notify(NAVIN_PREPARED, 0);
        break;
    case LumoNotice::Started:
        if (m_nState != EXTAPP_IDLE && m_nState != EXTAPP_LAUNCHING)
            break;
        NKDbgPrintfW(u"[ExtAppModel] mmnReady : prepare to ready, state=[%d], at [%ld]\r\n", m_nState,
                     static_cast<long>(GetTickCount()));
        Notify(NAVIN_LAUNCHED, 0);
        m_nState = EXTAPP_READY;
        break;
    case LumoNotice::LayoutChanged:
        VideoIsReady();
        break;
    case LumoNotice::VisibleSet:
        if (videoShowing)
            break;
        m_dwStatus |= MSB_VIDEOON;
        Notify(NAVIN_VIDEOON, 0);
        break;
    case LumoNotice::Hidden:
        if (!videoShowing)
            break;
        m_dwStatus &= ~static_cast<DWORD>(MSB_VIDEOON);
        Notify(NAVIN_VIDEOOFF, 0);
        break;
    default:
        break;
    }
}
