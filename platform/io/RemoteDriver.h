// The control codes of the remote-control driver "RMT1:" and the message it
// posts for every key of the remote control.
#pragma once

#include "platform/base/Types.h"

enum class RemoteIoctl : DWORD {
    // Input: the window that receives the remote's keys, pointer-sized.
    Register = 0xC7000000,
    // No buffers: forgets the key being held.
    Clean = 0xC7000004,
};

// The registered message: wParam a RemoteKeyState, lParam the key code.
inline constexpr const WCHAR* kRemoteMessageName = u"AP_MSG_RF_REMOCON_2_APP";

enum class RemoteKeyState : DWORD {
    Down = 0,
    Repeat = 1,
    Up = 2,
};

// Key codes of the remote control.
enum class RemoteKey : DWORD {
    Display = 1,
    Pbc = 5,
    MenuPlayPause = 9,
    Angle = 25,
    Random = 33,
    Return = 37,
    UpDown = 41,
    JogDown = 49,
    Power = 57,
    Zoom = 65,
    Key69 = 69,
    VolumeDown = 73,
    Key89 = 89,
    AbRepeat = 97,
    Key105 = 105,
    JogRight = 113,
    Key121 = 121,
    Search = 129,
    VolumeUp = 137,
    JogLeft = 145,
    LeftUp = 153,
    Menu = 161,
    RightUp = 169,
    Navi = 185,
    JogCenter = 193,
    Stop = 197,
    Audio = 201,
    JogUp = 209,
    Mode = 217,
    Title = 225,
    Subtitle = 233,
    Mute = 249,
};
