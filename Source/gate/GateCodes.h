// The codes of the 3D menu: the view ids it opens and knows, the actions it
// queues and hears, its modes and the ids of the elements Press takes.
// Named here once; the shell's own tables will carry the same numbers.
#pragma once

namespace gate {

// View ids (screens; a view id queued as an action opens that screen).
enum class GateViewId : int {
    Menu = 3101,          // the 3D main menu itself
    NaviFirst = 3001,     // navigation views 3001-3019 (the navigation program's map)
    NaviLast = 3019,      //
    VolumeOverlay = 3040, // the volume pop-up layer, removed when the menu comes up
    AvOffMark = 3054,     // the view history's mark for "AV off"
    MediaFirst = 5101,    // 5101-5104 media menu, movie, music, photo
    Movie = 5102,
    Music = 5103,
    Photo = 5104,
    RadioFirst = 5201, // 5201-5212 radio views
    Fm = 5202,
    FmLast = 5204,
    Am = 5205,
    AmLast = 5207,
    RadioLast = 5212,
    Dmb = 5218,
    Dab = 5219,
    Aux = 5301, // 5301-5310
    AuxLast = 5310,
    Ipod = 5321, // 5321-5330
    IpodLast = 5330,
    Dvd = 5341, // 5341-5350
    DvdLast = 5350,
    Bluetooth = 5361, // 5361-5370
    BluetoothLast = 5370,
    SetDisplay = 10041,
    SetAudio = 10044,
    SetSystem = 10045,
    SetDvd = 10046,
    SetButtonLight = 10047,
    Camera = 10057, // 10057-10060 camera views
    CameraLast = 10060,
    DualZone = 10410,
};

// Actions the menu queues or hears (besides the framework's back command
// IXA_BACK and device events IXA_DEVICEEVENT).
enum class GateAction : int {
    DisplayOff = 430,           // the display switched off
    VolumeUpKey = 481,          // a volume key (the key's press kind)
    VolumeDownKey = 483,        //
    AvOnOff = 3053,             // AV switched on or off
    Navigation = 3062,          // the navigation program is asked for
    BluetoothCallPopup = 10012, // a call came in: the menu goes back
    TiltWithDisc = 10069,       // the screen cannot tilt with a disc in: Popup02
    VolumePopupClose = 10070,   // the volume popup's time is up
    NaviWarningClosed = 10091,  // the navigation program's warning was closed
};

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
