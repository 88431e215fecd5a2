// A composed frame — fills, a colour-keyed blit, a constant-alpha blend and
// Korean text — painted offscreen through the framework's drawing context
// onto the unit's screen, saved as a PNG and compared with the reference in
// tests/data. Run with WREN_UPDATE_REFERENCE=1 to write a new reference
// (then look at it before committing it).
#include "Lib_cpp/core/Draw.h"
#include "platform/gfx/Font.h"
#include "platform/gfx/Gdi.h"
#include "platform/gfx/Screen.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

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

void PaintFrame()
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
    const std::u16string menu = u"Wren 2.1 · 블루투스 전화";
    ExtTextOutW(mem, 40, 410, 0, nullptr, menu.c_str(), static_cast<UINT>(menu.size()), nullptr);
    dc.SelectFontAndColor(saved);

    dc.EndOffscreen();
    ReleaseDC(nullptr, screen);
    DeleteObject(navy);
    DeleteObject(sand);
    DeleteObject(sprite);
}

TEST(Screenshot, ComposedFrameMatchesTheReference)
{
    PaintFrame();
    fs::path out = fs::temp_directory_path() / ("wren-composed-" + std::to_string(getpid()) + ".png");
    ASSERT_TRUE(platform::Screen::Get().SavePng(out.string()));

    fs::path reference = fs::path(WREN_TEST_DATA) / "composed_frame.png";
    if (std::getenv("WREN_UPDATE_REFERENCE")) {
        fs::copy_file(out, reference, fs::copy_options::overwrite_existing);
        GTEST_SKIP() << "reference written to " << reference;
    }

    int w = 0, h = 0, rw = 0, rh = 0;
    std::vector<std::uint32_t> got, want;
    ASSERT_TRUE(platform::ReadPng(out.string(), w, h, got));
    ASSERT_TRUE(platform::ReadPng(reference.string(), rw, rh, want)) << reference;
    fs::remove(out);
    ASSERT_EQ(w, rw);
    ASSERT_EQ(h, rh);

    // Text rasterisation may differ by a shade at glyph edges; the frame
    // must otherwise be the same.
    std::size_t off = 0;
    for (std::size_t i = 0; i < got.size(); ++i) {
        auto channel = [](std::uint32_t c, int shift) { return static_cast<int>((c >> shift) & 0xFF); };
        for (int shift : {0, 8, 16}) {
            if (std::abs(channel(got[i], shift) - channel(want[i], shift)) > 24) {
                ++off;
                break;
            }
        }
    }
    EXPECT_LE(off, got.size() / 1000) << off << " pixels differ from the reference";
}

} // namespace
