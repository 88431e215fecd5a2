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

    // Opens the three shared drivers (each that is not open yet); closes
    // every driver of the link.
    void OpenDevices();
    void CloseDevices();
    // Every state word back to 0.
    void ResetStates();

    IxDeviceHandle m_hMicom;      // "NEC1:"
    IxDeviceHandle m_hAudio;      // "ASP1:"
    IxDeviceHandle m_hConnection; // "CST1:"
    IxDeviceHandle m_hRemote;     // "RMT1:", opened and closed by the main window
    IxDeviceHandle m_hDmb;        // "DMB1:", opened by the main window, never closed

    // Non-zero while the thing is there or on.
    int m_nAccOn = 0;       // device 100
    int m_nDevice101 = 0;   // device 101
    int m_nParkBrake = 0;   // device 102: the park brake applied
    int m_nRearCamera = 0;  // device 70
    int m_nCamera71 = 0;    // device 71
    int m_nFirstSdCard = 0; // device 10

    // The main window's words from the micom and the board.
    int m_nNecPowerOff = 0;   // the micom reported power off
    int m_nParkSignalOff = 0; // "\NAND\PARKSIGNAL_OFF.FLG" was there at start: the park signal is not used
    int m_nParked = 0;        // the park signal says parked (kept even when the signal is not used)
    int m_nDiscState = 0;     // the disc operation step the board reported last (3 ... 6)
    // The voice recognition program: running, its screen up, ready.
    int m_nVoiceActive = 0;
    int m_nVoiceShown = 0;
    int m_nVoiceReady = 0;

    // What the screen switcher (ViewCenter) keeps and the main window reads.
    int m_nInitComplete = 0;  // the intro ended and the first screen runs: keys are taken
    int m_nPowerOffState = 0; // power off is in progress
    int m_nKeyBlock = 0;      // the blocking view is up: keys only report it
    int m_nCameraView = 0;    // a camera view is shown
    int m_nNaviState = 0;     // 1 while the navigation program is being started or runs
};

// The process's link.
CUnitLink& GetUnitLink();
