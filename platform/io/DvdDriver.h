// The control codes of the DVD deck driver "DVD1:" and the records of the
// deck micom's firmware download.
#pragma once

#include "platform/base/Types.h"

enum class DvdIoctl : DWORD {
    // Input: one byte, a DvdMicomUpgradeControl.
    MicomUpgradeControl = 0xC3000008,
    // Input: kDvdMicomBlockRecordBytes, the block index then its bytes.
    MicomUpgradeData = 0xC300000C,
};

enum class DvdMicomUpgradeControl : BYTE {
    Start = 4,
    End = 6,
};

// The deck micom's firmware image: 96 blocks of 64 bytes.
inline constexpr DWORD kDvdMicomBlockBytes = 64;
inline constexpr DWORD kDvdMicomBlocks = 96;
inline constexpr DWORD kDvdMicomImageBytes = kDvdMicomBlockBytes * kDvdMicomBlocks;
inline constexpr DWORD kDvdMicomBlockRecordBytes = 1 + kDvdMicomBlockBytes;
