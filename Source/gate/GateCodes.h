// The codes of the 3D menu: the view ids it opens and knows, the actions it
// queues and hears, its modes and the ids of the elements Press takes.
// The view ids and the actions it shares with the shell are the shell's
// (Source/shell/ShellIds.h).
#pragma once

#include "Source/shell/ShellIds.h"

namespace gate {

// What a device event with this value means to the menu: the unit leaves
// it (kind AEV_DEFAULT of action IXA_DEVICEEVENT).
inline constexpr int kGateLeaveDeviceEvent = 70;
// The first SD card (device number) and its state "ready": the navigation
// program can start from it.
inline constexpr int kGateNaviCardDevice = 10;
inline constexpr int kGateNaviCardReady = 3;

// The menu's modes: the main button that is active.
enum class GateMode : int { None = 0, Navigation = 1, Broadcasting = 2, Multimedia = 3, Devices = 4, Settings = 5 };

// The ids Press takes: 1-5 the main buttons (the modes), 6-9 the title
// buttons, 10-27 the sub-buttons.
enum class GateButtonId : int {
    None = 0,
    Navigation = 1,
    Broadcasting = 2,
    Multimedia = 3,
    Devices = 4,
    Settings = 5,
    AvOnOff = 6,
    DisplayOff = 7,
    Dual = 8,
    Close = 9,
    Fm = 10,
    Am = 11,
    Dmb = 12,
    Dab = 13,
    Video = 14,
    Audio = 15,
    Photo = 16,
    Dvd = 17,
    Camera = 18,
    Ipod = 19,
    Aux = 20,
    Bluetooth = 21,
    Add = 22,
    ButtonLight = 23,
    Display = 24,
    AudioSettings = 25,
    System = 26,
    DvdSettings = 27,
};

// The resource groups of the loader: 1-5 the main buttons, 6 the volume
// popup, 7 the popups.
inline constexpr int kGateVolumeGroup = 6;
inline constexpr int kGatePopupGroup = 7;

} // namespace gate
