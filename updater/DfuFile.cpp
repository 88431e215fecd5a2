#include "updater/DfuFile.h"

#include <array>

namespace dfu {

namespace {

struct Crc32Table {
    std::array<DWORD, 256> entries{};
    Crc32Table()
    {
        for (DWORD i = 0; i < 256; ++i) {
            DWORD crc = i;
            for (int bit = 0; bit < 8; ++bit)
                crc = crc & 1 ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
            entries[i] = crc;
        }
    }
};

WORD Word(const BYTE* p)
{
    return static_cast<WORD>(p[0] | p[1] << 8);
}

} // namespace

DWORD Crc32(DWORD crc, const BYTE* data, std::size_t size)
{
    static const Crc32Table table;
    for (std::size_t i = 0; i < size; ++i)
        crc = table.entries[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return crc;
}

Suffix ReadSuffix(const BYTE* file, std::size_t size)
{
    const BYTE* p = file + size - kSuffixSize;
    Suffix suffix;
    suffix.bcdDevice = Word(p);
    suffix.idProduct = Word(p + 2);
    suffix.idVendor = Word(p + 4);
    suffix.bcdDFU = Word(p + 6);
    suffix.ucDfuSignature = static_cast<DWORD>(p[8] | p[9] << 8 | p[10] << 16);
    suffix.bLength = p[11];
    suffix.dwCRC = static_cast<DWORD>(p[12] | p[13] << 8 | p[14] << 16) | static_cast<DWORD>(p[15]) << 24;
    return suffix;
}

} // namespace dfu
