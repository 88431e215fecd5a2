#include "platform/gfx/Color.h"

#include <gtest/gtest.h>

namespace {

TEST(Color, Rgb565PacksEveryLayoutAlikeAndWidensByBitReplication)
{
    struct Case {
        BYTE r, g, b;
        WORD packed;
        std::uint32_t widened; // 0xRRGGBB
    };
    const Case cases[] = {
        {0, 0, 0, 0x0000, 0x000000},          {255, 255, 255, 0xFFFF, 0xFFFFFF}, {255, 0, 0, 0xF800, 0xFF0000},
        {0, 255, 0, 0x07E0, 0x00FF00},        {0, 0, 255, 0x001F, 0x0000FF},     {0x12, 0x34, 0x56, 0x11AA, 0x103452},
        {0x87, 0x87, 0x87, 0x8430, 0x848684},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(platform::Rgb565(c.r, c.g, c.b), c.packed);
        EXPECT_EQ(platform::ToRgb565(RGB(c.r, c.g, c.b)), c.packed);
        EXPECT_EQ(platform::ArgbTo565(0x7F000000u | (std::uint32_t{c.r} << 16) | (c.g << 8) | c.b), c.packed);
        EXPECT_EQ(platform::Rgb565ToRgb888(c.packed), c.widened);
        EXPECT_EQ(platform::Rgb565ToArgb(c.packed), 0xFF000000u | c.widened);
        const COLORREF back = platform::FromRgb565(c.packed);
        EXPECT_EQ((std::uint32_t{GetRValue(back)} << 16) | (GetGValue(back) << 8) | GetBValue(back), c.widened);
    }
    EXPECT_EQ(platform::kRgb565RedMask | platform::kRgb565GreenMask | platform::kRgb565BlueMask, 0xFFFFu);
}

} // namespace
