// The messages the main window takes from the drivers and the external
// programs, and their codes: the registered message names, the fixed
// message ids, the voice program's notices and commands, the navigation
// program's copy-data codes and the kernel events the main window forwards
// them as. The drivers' own codes (micom notices and keys, board notices,
// remote keys) are in the platform's driver headers.
#pragma once

#include "platform/base/Types.h"
#include "platform/io/ProgramLinks.h"

// Registered message names, in the order the main window registers them
// (the two of the external programs are in platform/io/ProgramLinks.h).
inline constexpr const WCHAR* kFromMainName = u"FROM MAIN";
inline constexpr const WCHAR* kTdmbResetChannelName = u"TCC_TDMB_RESET_CHANNEL_MSG";
inline constexpr const WCHAR* kTdmbAudioChangeName = u"TCC_TDMB_AUDIOCHANGE_MSG";
inline constexpr const WCHAR* kTdmbReconfigName = u"TCC_TDMB_RECONFIG_MSG";
inline constexpr const WCHAR* kMainToDualName = u"MAIN2DUAL";

// Fixed message ids forwarded to the kernel as argument events.
enum : UINT {
    WM_SHELL_CAMERAREPORT = 0x0497, // to the camera guide view, as the navigation program's report
    WM_SHELL_FORWARD958 = 0x03BE,
    WM_SHELL_FORWARD959 = 0x03BF,
    WM_SHELL_FORWARD960 = 0x03C0,
};

// The targets of those forwarded messages (the first argument of event 72).
enum : int {
    ARGTARGET_958 = 958,
    ARGTARGET_959 = 959,
    ARGTARGET_960 = 960,
};

// Kernel events of forwarded messages (kind AEV_ARGS, value a pointer to
// three arguments).
enum : int {
    IXA_MICOMARGS = 71,  // {0, micom notice, value}
    IXA_TARGETARGS = 72, // {target view, a, b}
};

// "FROM MAIN": wParam 1 switches the display backlight (lParam non-zero on).
enum : WPARAM {
    FROMMAIN_BACKLIGHT = 1,
};

// Spoken codes the main window takes beside the voice controller's
// notices (platform/io/ProgramLinks.h) and the group commands below.
enum : int {
    VOICE_NOTIFY_20100 = 20100,
    VOICE_NOTIFY_20201 = 20201,
    VOICE_CMD_21700 = 21700,
    VOICE_CMD_21800 = 21800,
    VOICE_CMD_21900 = 21900,
};

// Voice commands: source group * 100 + command; command 01 names the
// group's screen.
enum : int {
    VOICE_GROUP_DMB = 203,
    VOICE_GROUP_MUSIC = 204,
    VOICE_GROUP_MOVIE = 205,
    VOICE_GROUP_206 = 206,
    VOICE_GROUP_BLUETOOTH = 207,
    VOICE_GROUP_PHOTO = 209,
    VOICE_GROUP_DVD = 210,
    VOICE_GROUP_IPOD = 212,
    VOICE_GROUP_FM = 215,
    VOICE_GROUP_AM = 216,
    VOICE_CMD_VIEW = 1,
};

inline constexpr const WCHAR* kParkSignalOffFlag = u"\\NAND\\PARKSIGNAL_OFF.FLG";
inline constexpr const WCHAR* kShellStartEvent = u"SHELL_START_EVENT";
inline constexpr const WCHAR* kShellPowerOffEvent = u"SYSTEM_SHELL_POWER_OFF";
inline constexpr const WCHAR* kFirstSdEvent = u"DEVICE_FIRST_SD";
inline constexpr const WCHAR* kDetachSd0Event = u"APP_EVENT_DETACH_SD0";

// The soft keyboard's text buffers, in characters with the terminator.
inline constexpr int kSoftKeyChars = 260;
