// Screenshots compared exactly with their references in
// tests/data/<suite>/<name>.png: a composed frame (fills, a colour-keyed
// blit, a constant-alpha blend and Korean text) painted offscreen through the
// framework's drawing context onto the unit's screen, and an element tree
// painted by the kernel frame. WREN_UPDATE_SCREENSHOTS=1 rewrites the
// references (look at them before committing them).
#include "tests/common/Screenshot.h"
#include "Lib_cpp/core/Draw.h"
#include "platform/gfx/Font.h"
#include "platform/gfx/Gdi.h"
#include "platform/gfx/Screen.h"
#include "tests/common/FrameScreenshot.h"
#include "tests/common/TempFolder.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr COLORREF kKey = RGB(255, 0, 255);

// A 64x64 bitmap: a yellow disc on the colour key.
HBITMAP MakeSprite(HDC screen)
{
    HBITMAP sprite = CreateCompatibleBitmap(screen, 64, 64);
    HDC dc = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(dc, sprite);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            SetPixel(dc, x, y, (x - 32) * (x - 32) + (y - 32) * (y - 32) < 28 * 28 ? RGB(255, 220, 0) : kKey);
    SelectObject(dc, old);
    DeleteDC(dc);
    return sprite;
}

// The menu line is the one part that varies: the tests that prove a changed
// text is caught paint another.
constexpr char16_t kMenu[] = u"Wren 2.1 · 블루투스 전화";

void PaintFrame(const std::u16string& menu = kMenu)
{
    IxFontTable fonts;
    static IX_STATIC_STRING(kFace, u"NanumGothic");
    IxFontEntry title{IXFS_ANTIALIAS, -28, &kFace, RGB(255, 255, 255), nullptr};
    IxFontEntry small{IXFS_BOLD | IXFS_ANTIALIAS, -18, &kFace, RGB(20, 20, 60), nullptr};
    fonts.Add(title);
    fonts.Add(small);

    HDC screen = GetDC(nullptr);
    HBITMAP sprite = MakeSprite(screen);
    IxDC dc(&fonts, 0);
    dc.BeginOffscreen(screen, RECT{0, 0, 800, 480}, TRUE);
    HDC mem = dc.GetDC();

    RECT all{0, 0, 800, 480};
    HBRUSH navy = CreateSolidBrush(RGB(16, 32, 96));
    FillRect(mem, &all, navy);
    RECT band{0, 380, 800, 480};
    HBRUSH sand = CreateSolidBrush(RGB(230, 210, 160));
    FillRect(mem, &band, sand);

    for (int i = 0; i < 4; ++i)
        TransparentImage(mem, 40 + i * 90, 120, 64, 64, sprite, 0, 0, 64, 64, kKey);
    IxAlphaBlend(mem, sprite, 440, 120, 128, 128, 0, 0, 64, 64, 128);

    SetBkMode(mem, TRANSPARENT);
    IxSavedFont saved = dc.SelectFont(0);
    const std::u16string line = u"음악 라디오 설정";
    ExtTextOutW(mem, 40, 40, 0, nullptr, line.c_str(), static_cast<UINT>(line.size()), nullptr);
    dc.SelectFont(1);
    ExtTextOutW(mem, 40, 410, 0, nullptr, menu.c_str(), static_cast<UINT>(menu.size()), nullptr);
    dc.SelectFontAndColor(saved);

    dc.EndOffscreen();
    ReleaseDC(nullptr, screen);
    DeleteObject(navy);
    DeleteObject(sand);
    DeleteObject(sprite);
}

TEST(Screenshot, ComposedFrame)
{
    PaintFrame();
    EXPECT_TRUE(screenshot::ScreenMatchesReference());
}

// What a tolerant comparison let through: a changed version number, a
// dropped syllable. Compared with the reference above, output kept aside.
TEST(Screenshot, ComposedFrameWithAnotherTextDiffers)
{
    TempFolder out("wren-shot");
    screenshot::Shot shot = screenshot::Shot::ForCurrentTest("ComposedFrame");
    shot.outputRoot = out.Path();
    shot.update = false;
    for (const std::u16string menu : {u"Wren 2.2 · 블루투스 전화", u"Wren 2.1 · 블루투 전화"}) {
        PaintFrame(menu);
        EXPECT_FALSE(screenshot::Matches(screenshot::CaptureScreen(), shot));
    }
    PaintFrame();
    EXPECT_TRUE(screenshot::Matches(screenshot::CaptureScreen(), shot));
}

using namespace frametest;
using FrameScreenshot = FrameScreenshotTest;

// A screen of coloured boxes, then a popup over it, painted by the kernel
// frame. A screen layer stands in for the frame's own background: what it
// leaves uncovered stays black.
TEST_F(FrameScreenshot, PopupOverAScreen)
{
    auto* sheet = new Sheet(10, RECT{0, 0, 800, 480});
    sheet->Add(11, RECT{100, 100, 300, 200}, kRed);
    sheet->Add(12, RECT{400, 100, 600, 200}, kGreen);
    sheet->Add(13, RECT{0, 430, 800, 480}, RGB(40, 40, 40));
    EXPECT_TRUE(screenshot::MatchesReference(Render(sheet), "ScreenAlone"));

    auto* popup = new Sheet(20, RECT{200, 50, 500, 150});
    popup->Add(21, RECT{0, 0, 300, 100}, kYellow);
    popup->Add(22, RECT{10, 10, 290, 90}, RGB(250, 250, 240));
    EXPECT_TRUE(screenshot::MatchesReference(Render(popup, IXLAYER_POPUP)));
}

} // namespace
