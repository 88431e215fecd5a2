#include "Source/models/StorageWatcher.h"

#include "Lib_cpp/core/Utility.h"
#include "Source/models/ModelCodes.h"
#include "Source/models/UnitLink.h"
#include "platform/io/ConnectionDriver.h"
#include "platform/os/Sync.h"

StorageWatcher::StorageWatcher() : IxDeviceManager(FALSE)
{
    m_hLeftEvent = CreateEventW(nullptr, FALSE, FALSE, kSdLeftEventName);
    m_hRightEvent = CreateEventW(nullptr, FALSE, FALSE, kSdRightEventName);
}

StorageWatcher::~StorageWatcher()
{
    if (m_hRightEvent)
        CloseHandle(m_hRightEvent);
    if (m_hLeftEvent)
        CloseHandle(m_hLeftEvent);
}

int StorageWatcher::PreferredTarget(int alias)
{
    if (alias != DEVNO_SD0 && alias != DEVNO_SD1)
        return 0;
    // The first card is looked at first for both aliases.
    if (IxFileExists(kNaviProgramOnFirstCard))
        return alias == DEVNO_SD0 ? DEVNO_SD0 : DEVNO_SD1;
    if (IxFileExists(kNaviProgramOnSecondCard))
        return alias == DEVNO_SD0 ? DEVNO_SD1 : DEVNO_SD0;
    return 0;
}

void StorageWatcher::OnVolumeNotice(int device, BOOL arrived)
{
    // The cards' notices come from the board's messages to the main window.
    if (device == DEVNO_USB)
        IxDeviceManager::OnVolumeNotice(device, arrived);
}

void StorageWatcher::SignalCard(int device)
{
    if (device == DEVNO_SD0 && m_hLeftEvent)
        EventModify(m_hLeftEvent, EVENT_SET);
    else if (device == DEVNO_SD1 && m_hRightEvent)
        EventModify(m_hRightEvent, EVENT_SET);
}

void StorageWatcher::OnPresent(int device)
{
    SignalCard(device);
}

void StorageWatcher::OnAbsent(int device)
{
    SignalCard(device);
}

void StorageWatcher::OnMountGaveUp(int device)
{
    if (device == DEVNO_USB)
        GetUnitLink().m_hConnection.Ioctl(static_cast<DWORD>(ConnectionIoctl::GiveUp), nullptr, 0, nullptr, 0, nullptr);
}

BOOL StorageWatcher::ProbeStorage(int index)
{
    return index == 0 ? GetUnitLink().m_nFirstSdCard != 0 : FALSE;
}

BOOL StorageWatcher::ProbeCamera(int index)
{
    const CUnitLink& link = GetUnitLink();
    if (index == 0)
        return link.m_nRearCamera != 0;
    if (index == 1)
        return link.m_nCamera71 != 0;
    return FALSE;
}

BOOL StorageWatcher::ProbeOther(int number)
{
    const CUnitLink& link = GetUnitLink();
    switch (number) {
    case DEVNO_ACC:
        return link.m_nAccOn != 0;
    case DEVNO_101:
        return link.m_nDevice101 != 0;
    case DEVNO_PARK:
        return link.m_nParkBrake != 0;
    default:
        return FALSE;
    }
}

BOOL StorageWatcher::ProbeCameraReady(int index, int)
{
    return ProbeCamera(index);
}

BOOL StorageWatcher::ProbeOtherReady(int number, int)
{
    return ProbeOther(number);
}
