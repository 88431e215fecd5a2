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
    m_hRemote.CloseHandleSafe();
    m_hDmb.CloseHandleSafe();
}

void CUnitLink::ResetStates()
{
    m_nAccOn = m_nDevice101 = m_nParkBrake = m_nRearCamera = m_nCamera71 = m_nFirstSdCard = 0;
    m_nNecPowerOff = m_nParkSignalOff = m_nParked = m_nDiscState = 0;
    m_nVoiceActive = m_nVoiceShown = m_nVoiceReady = 0;
    m_nInitComplete = m_nPowerOffState = m_nKeyBlock = m_nCameraView = m_nNaviState = 0;
}

CUnitLink& GetUnitLink()
{
    // Never destroyed: handles are closed by the main window, not at exit.
    static CUnitLink* link = new CUnitLink;
    return *link;
}
