// Video planes under the windows: they show where the windows drew the
// colour key, and nowhere else.
#include "platform/gfx/Screen.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr std::uint16_t kRed = 0xF800;
constexpr std::uint16_t kGreen = 0x07E0;
constexpr std::uint16_t kBlue = 0x001F;
constexpr std::uint16_t kGrey = 0x8410;

class VideoPlane : public ::testing::Test {
protected:
    void SetUp() override { platform::Screen::Get().Fill(kGrey); }
    void TearDown() override
    {
        platform::Screen::Get().RemoveVideoPlane(0);
        platform::Screen::Get().RemoveVideoPlane(1);
        platform::Screen::Get().SetInverted({});
    }
    static void Plane(int number, RECT area, std::uint16_t color)
    {
        std::vector<std::uint16_t> pixels(static_cast<std::size_t>((area.right - area.left) * (area.bottom - area.top)),
                                          color);
        ASSERT_TRUE(platform::Screen::Get().SetVideoPlane(number, area, pixels.data(), area.right - area.left));
    }
    static void Draw(int x, int y, std::uint16_t c) { platform::Screen::Get().Pixels()[y * 800 + x] = c; }
    static std::uint16_t Shown(int x, int y)
    {
        std::uint16_t p = 0;
        platform::Screen::Get().CopyShown(RECT{x, y, x + 1, y + 1}, &p, 1);
        EXPECT_EQ(p, platform::Screen::Get().Pixel(x, y));
        return p;
    }
};

TEST_F(VideoPlane, ShowsThroughTheColourKeyOnly)
{
    Plane(0, RECT{0, 0, 400, 240}, kRed);
    Plane(1, RECT{200, 0, 600, 240}, kGreen);
    struct Case {
        int x, y;
        std::uint16_t drawn, shown;
    };
    const Case cases[] = {
        {10, 10, platform::kColorKey565, kRed},    // plane 0 alone
        {300, 10, platform::kColorKey565, kGreen}, // the higher plane above the lower one
        {500, 10, platform::kColorKey565, kGreen},
        {700, 10, platform::kColorKey565, platform::kColorKey565}, // no plane: the key itself
        {10, 300, platform::kColorKey565, platform::kColorKey565},
        {10, 20, kBlue, kBlue}, // any other colour covers the planes
        {300, 20, kGrey, kGrey},
    };
    for (const Case& c : cases) {
        Draw(c.x, c.y, c.drawn);
        EXPECT_EQ(Shown(c.x, c.y), c.shown) << c.x << "," << c.y;
    }
    // Carets invert what shows, plane included.
    platform::Screen::Get().SetInverted({RECT{10, 10, 11, 11}});
    EXPECT_EQ(Shown(10, 10), static_cast<std::uint16_t>(~kRed));
    platform::Screen::Get().SetInverted({});

    // Replaced and removed.
    Plane(1, RECT{0, 0, 100, 100}, kBlue);
    EXPECT_EQ(Shown(10, 10), kBlue);
    EXPECT_EQ(Shown(300, 10), kRed); // plane 0 again where the new plane 1 is not
    EXPECT_EQ(Shown(500, 10), platform::kColorKey565);
    platform::Screen::Get().RemoveVideoPlane(1);
    EXPECT_EQ(Shown(10, 10), kRed);
}

TEST_F(VideoPlane, RefusesEmptyAreasAndShortRows)
{
    std::vector<std::uint16_t> pixels(100, kRed);
    auto& screen = platform::Screen::Get();
    EXPECT_FALSE(screen.SetVideoPlane(0, RECT{10, 10, 10, 20}, pixels.data(), 10));
    EXPECT_FALSE(screen.SetVideoPlane(0, RECT{0, 0, 10, 10}, nullptr, 10));
    EXPECT_FALSE(screen.SetVideoPlane(0, RECT{0, 0, 10, 10}, pixels.data(), 9));
    // A plane beyond the screen shows where it lies on it.
    ASSERT_TRUE(screen.SetVideoPlane(0, RECT{795, 475, 805, 485}, pixels.data(), 10));
    Draw(799, 479, platform::kColorKey565);
    EXPECT_EQ(Shown(799, 479), kRed);
}

} // namespace
