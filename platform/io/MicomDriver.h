// The control codes of the micom driver "NEC1:".
#pragma once

#include "platform/base/Types.h"

enum class MicomIoctl : DWORD {
    // Input: the window that receives the micom's messages, pointer-sized
    // (0 unregisters). Output: the driver's version, 32-bit.
    RegisterWindow = 0xC1000008,
    // Input: nothing, or a 32-bit value. Restarts the micom (and the unit).
    Reset = 0xC100001C,
    // Puts the micom's loader into its download mode.
    UpgradeStart = 0xC10000C8,
    // Input: one S-record line, its characters without line end or
    // terminator. Output: 2 bytes, the loader's answer.
    Upgrade = 0xC10000CC,
    // Ends the download; the loader takes the new firmware.
    UpgradeEnd = 0xC10000D0,
};
