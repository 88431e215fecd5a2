// The messages between the unit and the two programs it starts that are not
// its own: the navigation program (window "Lumo") and the voice controller
// (window "VoiceController"). Both live on the card that holds the
// navigation data; the unit sends them WM_COPYDATA commands, and they post
// registered messages to the unit's main window "PLAYER".
#pragma once

#include "platform/base/Types.h"

// The programs' paths below the root of the card that holds them.
inline constexpr const WCHAR* kNaviProgramPath = u"\\Quickroute_Lumo\\Bin\\Lumo_DMU.exe";
inline constexpr const WCHAR* kVoiceProgramPath = u"\\Quickroute_Lumo\\Bin_Voice\\VoiceControllerU.exe";

inline constexpr const WCHAR* kNaviWindowTitle = u"Lumo";
inline constexpr const WCHAR* kVoiceWindowTitle = u"VoiceController";

// Commands to the navigation program: WM_COPYDATA whose dwData is the
// command (WM_USER + n).
enum class NaviCommand : DWORD {
    Close = 1035,        // 4 bytes: 2 (the unit stops) or 0 (factory reset)
    LayoutPip = 1036,    // no data: picture-in-picture
    LayoutFull = 1038,   // no data: full screen (also the picture-in-picture restoration)
    KeyA = 1041,         // no data: the unit's navigation keys 10135 and 10136
    KeyB = 1042,         //
    WarningValue = 1069, // 4 bytes: the guidance volume word
    KeyState = 1088,     // the kind of a key press
    UpdateScreen = 1325, // no data: show the map
};

// Notifications of the navigation program: the registered message below,
// wParam the notification, lParam its value.
inline constexpr const WCHAR* kNaviNoticeMessageName = u"QMR_MSG_BROADCAST";

enum class NaviNotice : DWORD {
    GuidanceOn = 1001,
    GuidanceOff = 1002,
    Destroy = 1005,      // the program begins to end
    MainMenuCall = 1008, // the program's menu button: the unit's menu
    GuidanceVolume = 1009,
    Resize = 1010, // lParam: -1 or 2 full, 0 picture-in-picture, 1 the second small layout
    Start = 1013,
    Init = 1014, // the window "Lumo" exists
    WarningClosed = 1015,
    HoldOn = 1020,
    HoldOff = 1021,
    Activate = 1023, // lParam 1: activated
    Hide = 1024,
    Topmost = 1025,    // the map is on top
    DestroyEnd = 1027, // the program has ended its work
};

// The navigation program's map position report: WM_COPYDATA with 8-bit text
// fields separated by ", " (the seventh and eighth are the position), sent to
// the main window with wParam its own window; the unit answers with the
// acknowledgement (no data) to the window "Lumo".
inline constexpr ULONG_PTR kNaviPositionReport = 1181;
inline constexpr ULONG_PTR kNaviPositionAck = 1094;

// Commands to the voice controller: WM_COPYDATA whose dwData is the command.
enum class VoiceCommand : DWORD {
    RecognitionStart = 1036, // no data
    RecognitionStop = 1037,  // no data
    ExternalMode = 1054,     // 4 bytes: the mode value of the screen shown
    MicMute = 1060,          // 4 bytes: 1 or 0, the microphone state the controller last reported
};

// The mode values of ExternalMode: what the unit shows.
enum class VoiceMode : int {
    None = 0,
    Menu = 20100, // the 3D menu
    Navi = 20201, // the navigation map
    Tv = 20301,   // DMB and DAB
    Audio = 20401,
    Video = 20501,
    Bluetooth = 20701,
    Photo = 20901,
    Dvd = 21001,
    Ipod = 21201,
    Fm = 21501,
    Am = 21601,
};

// Notices and spoken commands of the voice controller: the registered
// message below, wParam the code, lParam its value. Spoken commands are
// five-digit codes: source group x 100 + command.
inline constexpr const WCHAR* kVoiceMessageName = u"TEMBRA_VOICE_MSG_BROADCAST";

enum class VoiceNotice : DWORD {
    Show = 15000, // its screen is shown
    Hide = 15001, // its screen is hidden
    Ready = 15005,
    Request = 15006,  // the unit posts it on with the value
    Active = 15007,   // listening: the microphone goes on
    Inactive = 15008, // done listening
    MicMute = 15010,  // lParam non-zero: the microphone's sound off
    Result = 15011,   // the unit posts it on with the value
    Test = 15022,
};
