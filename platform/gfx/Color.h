// Colours: COLORREF (0x00BBGGRR), and the display's 16-bit RGB565 pixels
// with their conversions to and from 8-bit channels. Packing drops the low
// bits of each channel; unpacking widens by repeating the top bits, so that
// 0x0000 and 0xFFFF give black and white exactly.
#pragma once

#include "platform/base/Types.h"

#include <cstdint>

inline constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b)
{
    return static_cast<COLORREF>(r) | (static_cast<COLORREF>(g) << 8) | (static_cast<COLORREF>(b) << 16);
}
inline constexpr BYTE GetRValue(COLORREF c)
{
    return static_cast<BYTE>(c & 0xFF);
}
inline constexpr BYTE GetGValue(COLORREF c)
{
    return static_cast<BYTE>((c >> 8) & 0xFF);
}
inline constexpr BYTE GetBValue(COLORREF c)
{
    return static_cast<BYTE>((c >> 16) & 0xFF);
}

namespace platform {

// The channel masks of an RGB565 pixel (as a BI_BITFIELDS bitmap lists them).
inline constexpr DWORD kRgb565RedMask = 0xF800;
inline constexpr DWORD kRgb565GreenMask = 0x07E0;
inline constexpr DWORD kRgb565BlueMask = 0x001F;

// 8-bit channels to RGB565.
inline constexpr std::uint16_t Rgb565(std::uint8_t r, std::uint8_t g, std::uint8_t b)
{
    return static_cast<std::uint16_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
}

// RGB565 to 0xRRGGBB.
inline constexpr std::uint32_t Rgb565ToRgb888(std::uint16_t c)
{
    const std::uint32_t r5 = (c >> 11) & 0x1F;
    const std::uint32_t g6 = (c >> 5) & 0x3F;
    const std::uint32_t b5 = c & 0x1F;
    const std::uint32_t r = (r5 << 3) | (r5 >> 2);
    const std::uint32_t g = (g6 << 2) | (g6 >> 4);
    const std::uint32_t b = (b5 << 3) | (b5 >> 2);
    return (r << 16) | (g << 8) | b;
}

// COLORREF <-> RGB565.
inline constexpr WORD ToRgb565(COLORREF c)
{
    return Rgb565(GetRValue(c), GetGValue(c), GetBValue(c));
}
inline constexpr COLORREF FromRgb565(WORD p)
{
    const std::uint32_t rgb = Rgb565ToRgb888(p);
    return RGB(static_cast<BYTE>(rgb >> 16), static_cast<BYTE>(rgb >> 8), static_cast<BYTE>(rgb));
}

// 0xAARRGGBB <-> RGB565 (alpha dropped; unpacked pixels are opaque).
inline constexpr WORD ArgbTo565(std::uint32_t argb)
{
    return Rgb565(static_cast<std::uint8_t>(argb >> 16), static_cast<std::uint8_t>(argb >> 8),
                  static_cast<std::uint8_t>(argb));
}
inline constexpr std::uint32_t Rgb565ToArgb(WORD c)
{
    return 0xFF000000u | Rgb565ToRgb888(c);
}

} // namespace platform
