// The OS image's header CRC, computed bit by bit as a reference: reflected
// polynomial 0xD8018001, start 0, words 4 and 5 left out, word 6 as 0 when
// asked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace updatertest {

inline std::uint32_t OsCrc(const std::vector<std::uint8_t>& image, std::size_t words, bool zeroWord6)
{
    std::uint32_t crc = 0;
    for (std::size_t w = 0; w < words; ++w) {
        if (w == 4 || w == 5)
            continue;
        for (int b = 0; b < 4; ++b) {
            const std::size_t at = 4 * w + b;
            crc ^= (zeroWord6 && w == 6) || at >= image.size() ? 0 : image[at];
            for (int bit = 0; bit < 8; ++bit)
                crc = (crc & 1) ? (crc >> 1) ^ 0xD8018001u : crc >> 1;
        }
    }
    return crc;
}

} // namespace updatertest
