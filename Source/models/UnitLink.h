// What the models read of the main window: the driver handles it opens at
// creation and shares ("NEC1:" the micom, "ASP1:" the audio processor,
// "CST1:" the connection status), and the state words it keeps from the
// micom's and the board's messages (ACC, the park brake, the cameras, the
// first SD card). One per process; the main window fills it, the model
// center and the storage watcher read it. User-interface thread only.
#pragma once

#include "Lib_cpp/core/DeviceHandle.h"
#include "platform/base/Types.h"

class CUnitLink {
public:
    CUnitLink() = default;
    CUnitLink(const CUnitLink&) = delete;
    CUnitLink& operator=(const CUnitLink&) = delete;

    // Opens the three shared drivers (each that is not open yet); closes them.
    void OpenDevices();
    void CloseDevices();
    // Every state word back to 0.
    void ResetStates();

    IxDeviceHandle m_hMicom;      // "NEC1:"
    IxDeviceHandle m_hAudio;      // "ASP1:"
    IxDeviceHandle m_hConnection; // "CST1:"

    // Non-zero while the thing is there or on.
    int m_nAccOn = 0;       // device 100
    int m_nDevice101 = 0;   // device 101
    int m_nParkBrake = 0;   // device 102: the park brake applied
    int m_nRearCamera = 0;  // device 70
    int m_nCamera71 = 0;    // device 71
    int m_nFirstSdCard = 0; // device 10
};

// The process's link.
CUnitLink& GetUnitLink();
