// The DMB module driver "DMB1:": its control code for the firmware download,
// and the module's loader frames, which the driver carries over SPI as a
// byte stream (each write one command frame, each read one response).
//
// A frame is little-endian 32-bit words: the command word, then as many
// payload words as it counts. The command word holds the frame's type
// (bits 31-28), a 4-bit sequence number (27-24), the command id (23-16) and
// the number of payload words (15-0).
#pragma once

#include "platform/base/Types.h"

enum class DmbIoctl : DWORD {
    // No input or output: readies the module for a firmware download.
    UpgradeReady = 0xC5000018,
};

enum class DmbFrameType : BYTE {
    Command = 1,  // host to module
    Response = 2, // module to host: the command was taken
    Error = 3,    // module to host: the command was refused
};

enum class DmbCommand : BYTE {
    Reboot = 112,     // into the loader; answered with one word, 0xFxxxxxxx once the loader runs
    BootCheck = 144,  // one word: the image size in bytes
    ImageData = 145,  // three data words and their checksum word
    ImageWrite = 147, // write the checked image into the module's flash
    ImageCheck = 149, // check the image received
};

// Payload of an image data frame: three data words and a checksum word (0
// minus the sum of the three, modulo 2^32).
inline constexpr DWORD kDmbDataWords = 3;
inline constexpr DWORD kDmbDataBytes = 4 * kDmbDataWords;
inline constexpr DWORD kDmbDataFrameBytes = 4 + 4 * (kDmbDataWords + 1);

struct DmbFrameWord {
    BYTE type = 0;
    BYTE sequence = 0; // 0-15
    BYTE id = 0;
    WORD count = 0;

    static DmbFrameWord FromWord(DWORD word)
    {
        return {static_cast<BYTE>(word >> 28), static_cast<BYTE>((word >> 24) & 0x0F),
                static_cast<BYTE>((word >> 16) & 0xFF), static_cast<WORD>(word & 0xFFFF)};
    }
    DWORD ToWord() const
    {
        return static_cast<DWORD>(type & 0x0F) << 28 | static_cast<DWORD>(sequence & 0x0F) << 24
            | static_cast<DWORD>(id) << 16 | count;
    }
};

inline DWORD DmbDataChecksum(const DWORD* words)
{
    return 0u - (words[0] + words[1] + words[2]);
}
