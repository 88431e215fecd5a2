// A DFU file: the firmware image followed by the 16-byte suffix of USB DFU
// 1.1 (bcdDevice, idProduct, idVendor, bcdDFU, the signature "UFD", the
// suffix length and a CRC-32, little-endian). The CRC is the IEEE 802.3
// CRC-32, reflected, initial all ones and without the final complement, of
// every byte of the file but its last four.
#pragma once

#include "platform/base/Types.h"

#include <cstddef>

namespace dfu {

inline constexpr std::size_t kSuffixSize = 16;
inline constexpr DWORD kSignature = 0x444655; // 'U', 'F', 'D' read little-endian
inline constexpr WORD kDfuVersion = 0x0100;

struct Suffix {
    WORD bcdDevice = 0;
    WORD idProduct = 0;
    WORD idVendor = 0;
    WORD bcdDFU = 0;
    DWORD ucDfuSignature = 0; // 24 bits
    BYTE bLength = 0;
    DWORD dwCRC = 0;
};

// CRC-32 as the suffix keeps it, continued from crc (start with all ones).
DWORD Crc32(DWORD crc, const BYTE* data, std::size_t size);

// The suffix of a file of size bytes (at least kSuffixSize).
Suffix ReadSuffix(const BYTE* file, std::size_t size);

} // namespace dfu
