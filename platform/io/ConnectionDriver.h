// The control codes of the connection status driver "CST1:" (cards, iPod,
// park signal, tilt and disc slot) and the messages it posts.
#pragma once

#include "platform/base/Types.h"

enum class ConnectionIoctl : DWORD {
    // Input: the window that receives the driver's messages, pointer-sized.
    // Output: six 32-bit status words (ConnectionWord).
    Register = 0xC2000004,
    // Output: the tilt status record, kTiltStatusSize bytes; the word at
    // kTiltDiscWordOffset is non-zero when a disc is in the slot.
    TiltStatus = 0xC2000008,
    // Input: 1 byte or a 32-bit word: 1 hides the external video.
    VideoControl = 0xC2000014,
    // Input: 1 byte: the AM noise filter (0 for the noisy bands, 1 else).
    TunerFilter = 0xC2000020,
    // No buffers: the unit gave up mounting the USB disk; power-cycles it.
    GiveUp = 0xC2000024,
};

inline constexpr DWORD kConnectionWords = 6;

// Index of each status word.
enum class ConnectionWord : DWORD {
    Sd0 = 0,
    Sd1 = 1,
    Usb = 2,
    Disc = 3,
    Ipod = 4,
    Park = 5, // non-zero: the park brake is off
};

inline constexpr DWORD kTiltStatusSize = 24;
inline constexpr DWORD kTiltDiscWordOffset = 8;

// The registered message the board posts when a connection changes: wParam
// a BoardNotice, lParam its value.
inline constexpr const WCHAR* kBoardMessageName = u"AP_MSG_CHNAGE_STATE_2_APP";

enum class BoardNotice : DWORD {
    Sd0 = 0,
    Sd1 = 1,
    Disc = 2, // BoardDiscValue
    Usb = 3,
    Ipod = 4,
    Park = 6, // non-zero: the park brake is off
    AuxSignal = 7,
    IpodVideoSignal = 8,
    FrontCameraSignal = 9,
    RearCameraSignal = 10,
    MicPath = 12,
    MicPath2 = 13,
    VoiceCancel = 14,
};

enum class BoardDiscValue : DWORD {
    Removed = 0,
    Inserted = 1,
    Reload = 2,
    Operation = 3,
    OperationEnd = 4,
    Opening = 5,
    Opened = 6,
};
