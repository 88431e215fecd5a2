#include "Source/models/UnitLink.h"

void CUnitLink::OpenDevices()
{
    m_hMicom.Open(u"NEC1:");
    m_hAudio.Open(u"ASP1:");
    m_hConnection.Open(u"CST1:");
}

void CUnitLink::CloseDevices()
{
    m_hMicom.CloseHandleSafe();
    m_hAudio.CloseHandleSafe();
    m_hConnection.CloseHandleSafe();
}

void CUnitLink::ResetStates()
{
    m_nAccOn = m_nDevice101 = m_nParkBrake = m_nRearCamera = m_nCamera71 = m_nFirstSdCard = 0;
}

CUnitLink& GetUnitLink()
{
    // Never destroyed: handles are closed by the main window, not at exit.
    static CUnitLink* link = new CUnitLink;
    return *link;
}
