// The model center's storage device manager, adapted to this unit: it
// answers the presence of the devices from the state words the main window
// keeps (ACC, the park brake, the cameras, the first SD card), binds the
// alias "Navi" (10) to the SD card that holds the navigation program and
// "SD2" (11) to the other one, tells the platform about SD card changes
// through the named events "SD_LEFT_EVNET" (device 10) and "SD_RIGHT_EVNET"
// (device 11), lets only the USB disk be announced from the folder watch,
// and asks the connection status driver to power the USB disk again when
// its mount gave up. User-interface thread only.
#pragma once

#include "Lib_cpp/fs/DeviceManager.h"
#include "platform/base/Types.h"

// Where the navigation program lies on each card.
inline constexpr const WCHAR* kNaviProgramOnFirstCard = u"\\Storage Card\\Quickroute_Lumo\\Bin\\Lumo_DMU.exe";
inline constexpr const WCHAR* kNaviProgramOnSecondCard = u"\\Storage Card2\\Quickroute_Lumo\\Bin\\Lumo_DMU.exe";
inline constexpr const WCHAR* kSdLeftEventName = u"SD_LEFT_EVNET";
inline constexpr const WCHAR* kSdRightEventName = u"SD_RIGHT_EVNET";

class StorageWatcher : public IxDeviceManager {
public:
    // The manager without global notices, then the two auto-reset events.
    StorageWatcher();
    ~StorageWatcher() override;

    int PreferredTarget(int alias) override;
    void OnVolumeNotice(int device, BOOL arrived) override;
    void OnPresent(int device) override;
    void OnAbsent(int device) override;
    void OnMountGaveUp(int device) override;
    BOOL ProbeStorage(int index) override;
    BOOL ProbeCamera(int index) override;
    BOOL ProbeOther(int number) override;
    BOOL ProbeCameraReady(int index, int count) override;
    BOOL ProbeOtherReady(int number, int count) override;

private:
    void SignalCard(int device);

    HANDLE m_hLeftEvent = nullptr;
    HANDLE m_hRightEvent = nullptr;
};
