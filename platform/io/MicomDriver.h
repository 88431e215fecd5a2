// The control codes of the micom driver "NEC1:", and the messages the
// driver posts to the window registered with it.
#pragma once

#include "platform/base/Types.h"

enum class MicomIoctl : DWORD {
    // Input: the window that receives the micom's messages, pointer-sized
    // (0 unregisters). Output: the driver's version, 32-bit.
    RegisterWindow = 0xC1000008,
    // No buffers. Sets the micom's clock from the unit's.
    SetRtc = 0xC1000014,
    // Input: nothing, or a 32-bit value. Restarts the micom (and the unit).
    Reset = 0xC100001C,
    // Output: the status word, 32-bit (MicomStatusBit).
    GetStatus = 0xC1000070,
    // Puts the micom's loader into its download mode.
    UpgradeStart = 0xC10000C8,
    // Input: one S-record line, its characters without line end or
    // terminator. Output: 2 bytes, the loader's answer.
    Upgrade = 0xC10000CC,
    // Ends the download; the loader takes the new firmware.
    UpgradeEnd = 0xC10000D0,
    // Input: one byte, 1 display backlight on, 0 off.
    Backlight = 0xC10000DC,
    // Input: one byte, 1 amplifier muted, 0 not.
    AmpMute = 0xC10000F4,
    // Input: one byte, the unit setting the micom keeps.
    Setting = 0xC1000100,
    // Input: two bytes, the unit's state (tilt position, power state).
    SetState = 0xC1000108,
    // No buffers. The unit is alive (resets the micom's watchdog).
    Alive = 0xC100010C,
    // Input: one byte, 1 when the intro plays its sound, else 0.
    Intro = 0xC1000118,
    // No buffers. Initialises the micom's settings.
    Init = 0xC1000124,
    // Input: the status block (kMicomBlock0Size bytes) to keep.
    WriteBlock0 = 0xC100012C,
    // Input: the text block (kMicomTextBlockSize bytes) to keep.
    WriteTextBlock = 0xC1000130,
    // Output: the status block kept, kMicomBlock0Size bytes.
    ReadBlock0 = 0xC1000134,
    // Output: the text block kept (older drivers), kMicomTextBlockSize bytes.
    ReadTextBlockOld = 0xC1000138,
    // Output: the status block as the micom checked it at start.
    ReadBlock0Checked = 0xC100013C,
    // Output: the text block kept, kMicomTextBlockSize bytes.
    ReadTextBlock = 0xC1000140,
};

// The status block: 136 bytes of settings, then the byte sum of those 136
// bytes as a little-endian 32-bit word.
inline constexpr DWORD kMicomBlock0Size = 140;
inline constexpr DWORD kMicomBlock0SumOffset = 136;
inline constexpr DWORD kMicomTextBlockSize = 240;

// Bits of the status word.
enum class MicomStatusBit : DWORD {
    Acc = 0x02,
    TailLamp = 0x04,
    RearCamera = 0x08,
    Starting = 0x20,
    AutoLight = 0x80,
};

// The registered message the micom posts: wParam a MicomNotice, lParam its
// value.
inline constexpr const WCHAR* kMicomMessageName = u"AP_MSG_NEC_2_SHELL";

enum class MicomNotice : DWORD {
    PowerOff = 100,
    AccOffWaitOn = 104,  // ACC went off: the unit prepares to sleep
    AccOffWaitOff = 105, // ACC came back
    Key = 107,           // value: key code << 16 | MicomKeyState
    AccOffOff = 108,     // the micom cuts the power
    DiranaCommandEnd = 109,
    DiranaInitStatus = 110,
    Speed = 111,
    TailStatus = 115,     // value 1 on, 0 off
    BackGearStatus = 116, // value 1 reverse gear in, 0 out
    StartingStatus = 118,
    TelMuteStatus = 119,
    RadioStMono = 121,
    TiltMoveEnd = 122, // the tilt stopped moving
    HandleSetOk = 123, // a steering key was learned
};

// The low 16 bits of a key notice.
enum class MicomKeyState : DWORD {
    Up = 0x30,
    Down = 0x31,
    EncoderUp = 0x32,
    EncoderDown = 0x33,
};

// Key codes of the bezel (hard) keys and the steering-wheel keys.
enum class MicomKey : DWORD {
    Mute = 16,
    VolumeDown = 17,
    VolumeUp = 18,
    AvNavi = 22,
    Voice = 23,
    Tilt = 26,
    RightEncoder = 29,
    SteeringSeekUp = 119,
    SteeringSeekDown = 120,
    SteeringPhoneOn = 121,
    SteeringMute = 122,
    SteeringVolumeUp = 123,
    SteeringVolumeDown = 124,
    SteeringPower = 125,
    SteeringVoice = 126,
    SteeringMode = 127,
    SteeringPhoneOff = 128,
};
