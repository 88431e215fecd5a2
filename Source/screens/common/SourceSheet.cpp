#include "Source/screens/common/SourceSheet.h"

#include "Lib_cpp/kernel/Kernel.h"
#include "Source/models/ModelCenterBase.h"
#include "Source/models/ModelCodes.h"

namespace {

// The device messages close the screen after the given time; the others
// stay until closed.
int DeviceMessageTime(int code, int time)
{
    return code == MSG_DEVICEFAILED || code == MSG_MODELERROR ? -time : 0;
}

} // namespace

int CSourceSheet::MessagePanel(int code)
{
    CModelSheet::MessagePanel(code);
    return DeviceMessageTime(code, m_nMessageTime);
}

void COSDSourceView::EnterSource()
{
    // The on-screen display's enter step (a shared screen part, not built
    // yet) is called here; the view takes no source of its own.
}

void COSDSourceView::LeaveSource()
{
    if (IxModelCenter* center = IxModelCenter::GetInstance(); center && m_pModel)
        center->ReleaseSource(m_pModel, MRF_AUDIO, ZONE_MAIN);
}

void COSDSourceView::OnShow()
{
    if (m_pModel)
        m_pModel->FirstShow(0);
}

int COSDSourceView::MessagePanel(int code)
{
    CModelSheet::MessagePanel(code);
    return DeviceMessageTime(code, 0);
}

void CPIPSourceView::EnterSource()
{
    IxBroadcast(IXA_PIPVIEWENTERED, AEV_DEFAULT, m_nId);
    if (IxModelCenter* center = IxModelCenter::GetInstance(); center && m_pModel)
        center->RequestSource(m_pModel, SourceFlags(), m_nZone);
}

void CZoneSourcePanel::EnterSource()
{
    // The dual-zone screen's enter step (a shared screen part, not built
    // yet) is called here; it hands the zone's source over.
}

void CZoneSourcePanel::LeaveSource()
{
    // The dual-zone screen's leave step (a shared screen part, not built
    // yet) is called here; it gives the zone's source back.
}
