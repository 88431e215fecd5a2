// The row kernels of the colour-key and alpha blits and of picture draws
// give the same pixels as the general per-pixel path. Every case is drawn
// twice onto the same starting destination, with the kernels off and on,
// and the two destinations are compared byte for byte.
#include "platform/gfx/Gdi.h"
#include "platform/gfx/GdiInternal.h"
#include "platform/gfx/Imaging.h"
#include "platform/gfx/Picture.h"
#include "platform/gfx/PixelRowsInternal.h"
#include "tests/platform/MemDc.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

using gditest::Format;
using gditest::MemDc;

constexpr int kDstW = 64, kDstH = 48, kSrcW = 40, kSrcH = 30;
constexpr WORD kKey565 = 0xF81F;     // RGB(0xF8, 0, 0xF8) packed
constexpr WORD kNearKey565 = 0xF01F; // one step of red below it

struct Noise {
    std::uint32_t state;
    std::uint32_t Next()
    {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    }
};

platform::Surface& SurfaceOf(HDC dc)
{
    return *platform::LookupDc(dc)->surface;
}

// The visible pixel bytes, row after row (the padding left out).
std::vector<BYTE> PixelsOf(HDC dc)
{
    const platform::Surface& s = SurfaceOf(dc);
    std::vector<BYTE> out;
    for (int y = 0; y < s.height; ++y)
        out.insert(out.end(), s.Row(y), s.Row(y) + s.width * s.BytesPerPixel());
    return out;
}

// Noise in every byte, then for keyed sources the key: scattered, in a run
// that fills whole 8-pixel groups, and near misses beside it.
void Scramble(HDC dc, std::uint32_t seed, bool withKey)
{
    platform::Surface& s = SurfaceOf(dc);
    Noise noise{seed};
    for (int y = 0; y < s.height; ++y) {
        BYTE* row = s.Row(y);
        for (int i = 0; i < s.width * s.BytesPerPixel(); ++i)
            row[i] = static_cast<BYTE>(noise.Next());
        if (!withKey)
            continue;
        for (int x = 0; x < s.width; ++x) {
            const bool key = (x >= 16 && x < 24) || noise.Next() % 3 == 0;
            if (s.bitsPerPixel == 16 && !s.rgb555)
                reinterpret_cast<WORD*>(row)[x] = key ? kKey565
                    : x % 5 == 0                      ? kNearKey565
                                                      : reinterpret_cast<WORD*>(row)[x];
            else if (key)
                platform::WritePixel(s, x, y, RGB(0xF8, 0, 0xF8));
        }
    }
}

// Where and how a blit lands.
struct Placement {
    const char* name;
    int x, y, w, h, sx, sy;
};

constexpr Placement kPlacements[] = {
    {"inside, odd width", 5, 6, 17, 9, 3, 2},
    {"one column", 0, 0, 1, 30, 0, 0},
    {"eight-pixel groups", 8, 8, 32, 16, 0, 0},
    {"past the left edge", -5, 4, 20, 10, 0, 0},
    {"past the top edge", 4, -7, 20, 10, 1, 0},
    {"past the right edge", 55, 4, 20, 10, 0, 3},
    {"past the bottom edge", 4, 43, 20, 10, 2, 2},
    {"source before its surface", 10, 10, 21, 11, -6, -3},
    {"source past its surface", 10, 10, 21, 11, 30, 25},
    {"everything, both ways", -3, -3, 70, 54, -1, -1},
};

// What the destination DC has set besides its bitmap.
enum class Setting { Plain, ClipRegion, ViewportOrigin };

void Apply(HDC dc, Setting setting)
{
    if (setting == Setting::ClipRegion) {
        HRGN a = CreateRectRgn(0, 0, 23, 20);
        HRGN b = CreateRectRgn(30, 9, 61, 45);
        HRGN both = CreateRectRgn(0, 0, 0, 0);
        CombineRgn(both, a, b, RGN_OR);
        SelectClipRgn(dc, both);
        DeleteObject(a);
        DeleteObject(b);
        DeleteObject(both);
    } else if (setting == Setting::ViewportOrigin) {
        SetViewportOrgEx(dc, 3, -2, nullptr);
    }
}

const char* Name(Setting s)
{
    return s == Setting::Plain ? "plain" : s == Setting::ClipRegion ? "clip region" : "viewport origin";
}

// Draws with the kernels off and on from the same start and compares.
void ExpectSamePixels(Format dstFormat, Format srcFormat, bool keyedSource, Setting setting,
                      const std::function<void(HDC dst, HDC src)>& draw, const std::string& what)
{
    std::vector<BYTE> result[2];
    for (int on = 0; on < 2; ++on) {
        MemDc dst(dstFormat, kDstW, kDstH), src(srcFormat, kSrcW, kSrcH);
        Scramble(dst.dc, 7, false);
        Scramble(src.dc, 11, keyedSource);
        Apply(dst.dc, setting);
        platform::EnableRowKernels(on == 1);
        draw(dst.dc, src.dc);
        platform::EnableRowKernels(true);
        result[on] = PixelsOf(dst.dc);
    }
    ASSERT_EQ(result[0].size(), result[1].size()) << what;
    size_t first = 0;
    while (first < result[0].size() && result[0][first] == result[1][first])
        ++first;
    EXPECT_EQ(first, result[0].size()) << what << ": first differing byte at " << first;
}

const Format kSources[] = {Format::Rgb565,        Format::Compatible,   Format::Rgb555,
                           Format::Bgr24BottomUp, Format::Bgr24TopDown, Format::Bgrx32BottomUp};
const Format kDestinations[] = {Format::Compatible, Format::Rgb565, Format::Rgb555, Format::Bgrx32BottomUp};

std::string Describe(Format d, Format s, Setting setting, const Placement& p)
{
    return std::string(gditest::Name(s)) + " onto " + gditest::Name(d) + ", " + Name(setting) + ", " + p.name;
}

TEST(BlitKernels, ColourKeyMatchesTheGeneralPath)
{
    // Keys that pack to the source's key pixel exactly, from above the 565
    // rounding boundary, just below it, and keys no pixel carries.
    const COLORREF keys[]
        = {RGB(0xF8, 0, 0xF8), RGB(0xFF, 0x03, 0xFF), RGB(0xF7, 0, 0xF8), RGB(0, 0, 0), RGB(255, 255, 255)};
    for (Format d : kDestinations)
        for (Format s : kSources)
            for (Setting setting : {Setting::Plain, Setting::ClipRegion, Setting::ViewportOrigin})
                for (const Placement& p : kPlacements)
                    for (COLORREF key : keys)
                        ExpectSamePixels(
                            d, s, true, setting,
                            [&](HDC dst, HDC src) {
                                EXPECT_TRUE(TransparentImage(dst, p.x, p.y, p.w, p.h, src, p.sx, p.sy, p.w, p.h, key));
                            },
                            Describe(d, s, setting, p) + ", key " + std::to_string(key));
}

TEST(BlitKernels, ColourKeyFromABitmapHandleMatchesTheGeneralPath)
{
    for (const Placement& p : kPlacements)
        ExpectSamePixels(
            Format::Compatible, Format::Compatible, true, Setting::Plain,
            [&](HDC dst, HDC src) {
                HGDIOBJ bitmap = GetCurrentObject(src, OBJ_BITMAP);
                EXPECT_TRUE(
                    TransparentImage(dst, p.x, p.y, p.w, p.h, bitmap, p.sx, p.sy, p.w, p.h, RGB(0xF8, 0, 0xF8)));
            },
            p.name);
}

TEST(BlitKernels, ConstantAlphaMatchesTheGeneralPath)
{
    for (Format d : kDestinations)
        for (Format s : kSources)
            for (Setting setting : {Setting::Plain, Setting::ClipRegion, Setting::ViewportOrigin})
                for (const Placement& p : kPlacements)
                    for (int alpha : {0, 1, 127, 128, 200, 254, 255})
                        ExpectSamePixels(
                            d, s, false, setting,
                            [&](HDC dst, HDC src) {
                                const BLENDFUNCTION blend{AC_SRC_OVER, 0, static_cast<BYTE>(alpha), 0};
                                EXPECT_TRUE(AlphaBlend(dst, p.x, p.y, p.w, p.h, src, p.sx, p.sy, p.w, p.h, blend));
                            },
                            Describe(d, s, setting, p) + ", alpha " + std::to_string(alpha));
}

// Every RGB565 source value over a spread of destination values, at every
// constant alpha: the kernel's exact division and widening hold for all.
TEST(BlitKernels, ConstantAlphaMatchesForEveryPixelValueAndAlpha)
{
    constexpr int kSide = 256;
    MemDc src(Format::Rgb565, kSide, kSide);
    platform::Surface& s = SurfaceOf(src.dc);
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x)
            reinterpret_cast<WORD*>(s.Row(y))[x] = static_cast<WORD>(y * kSide + x);
    for (int alpha = 1; alpha < 256; ++alpha) {
        std::vector<BYTE> result[2];
        for (int on = 0; on < 2; ++on) {
            MemDc dst(Format::Rgb565, kSide, kSide);
            platform::Surface& d = SurfaceOf(dst.dc);
            for (int y = 0; y < kSide; ++y)
                for (int x = 0; x < kSide; ++x)
                    reinterpret_cast<WORD*>(d.Row(y))[x] = static_cast<WORD>((y * kSide + x) * 40503u);
            platform::EnableRowKernels(on == 1);
            AlphaBlend(dst.dc, 0, 0, kSide, kSide, src.dc, 0, 0, kSide, kSide,
                       BLENDFUNCTION{AC_SRC_OVER, 0, static_cast<BYTE>(alpha), 0});
            platform::EnableRowKernels(true);
            result[on] = PixelsOf(dst.dc);
        }
        ASSERT_TRUE(result[0] == result[1]) << "alpha " << alpha;
    }
}

// A blit within one surface reads pixels it has already written; the
// kernels leave it to the general loop, which keeps that order.
TEST(BlitKernels, OverlappingBlitsMatchTheGeneralPath)
{
    const POINT shifts[] = {{1, 0}, {-1, 0}, {3, 1}, {0, -2}, {9, 0}, {-7, -1}};
    for (POINT shift : shifts) {
        const std::string what = std::to_string(shift.x) + "," + std::to_string(shift.y);
        ExpectSamePixels(
            Format::Compatible, Format::Compatible, false, Setting::Plain,
            [&](HDC dst, HDC) {
                Scramble(dst, 5, true);
                EXPECT_TRUE(
                    TransparentImage(dst, 10 + shift.x, 10 + shift.y, 33, 20, dst, 10, 10, 33, 20, RGB(0xF8, 0, 0xF8)));
                EXPECT_TRUE(AlphaBlend(dst, 10 + shift.x, 10 + shift.y, 33, 20, dst, 10, 10, 33, 20,
                                       BLENDFUNCTION{AC_SRC_OVER, 0, 99, 0}));
            },
            what);
    }
}

// A 32-bit ARGB (or opaque) picture of w x h whose alphas include 0, 1,
// 127, 128, 254 and 255 and noise, in runs and scattered.
IImage* MakePicture(int w, int h, bool alpha, std::uint32_t seed)
{
    platform::Picture picture;
    picture.Allocate(w, h);
    picture.hasAlpha = alpha;
    Noise noise{seed};
    const std::uint32_t alphas[] = {0, 1, 127, 128, 254, 255};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint32_t a = 255;
            if (alpha)
                a = x < 8 ? 0 : x < 16 ? 255 : noise.Next() % 2 ? alphas[noise.Next() % 6] : noise.Next() & 0xFF;
            picture.At(x, y) = (a << 24) | (noise.Next() & 0xFFFFFF);
        }
    IBitmapImage* bitmap
        = platform::CreateBitmapImage(std::move(picture), alpha ? PixelFormat32bppARGB : PixelFormat24bppRGB);
    IImage* image = nullptr;
    bitmap->QueryInterface(IID_IImage, reinterpret_cast<void**>(&image));
    bitmap->Release();
    return image;
}

TEST(BlitKernels, PictureDrawsMatchTheGeneralPath)
{
    // Own size (the kept pixels) and scaled (the kept scaled copy), at the
    // edges; each drawn twice so that the second draw uses what the first kept.
    const RECT targets[] = {{5, 6, 42, 29}, {-9, -4, 28, 19}, {40, 30, 77, 53}, {3, 2, 56, 33}, {0, 0, 7, 40}};
    for (bool alpha : {true, false})
        for (Format d : kDestinations)
            for (Setting setting : {Setting::Plain, Setting::ClipRegion, Setting::ViewportOrigin})
                for (const RECT& to : targets)
                    ExpectSamePixels(
                        d, Format::Compatible, false, setting,
                        [&](HDC dst, HDC) {
                            IImage* image = MakePicture(37, 23, alpha, 3);
                            EXPECT_EQ(image->Draw(dst, &to, nullptr), S_OK);
                            Scramble(dst, 9, false);
                            EXPECT_EQ(image->Draw(dst, &to, nullptr), S_OK);
                            image->Release();
                        },
                        std::string(alpha ? "alpha" : "opaque") + " onto " + gditest::Name(d) + ", " + Name(setting)
                            + ", at " + std::to_string(to.left) + "," + std::to_string(to.top));
}

// Pixels written through LockBits replace what the draws kept.
TEST(BlitKernels, PictureDrawsFollowWritesThroughLockBits)
{
    for (bool alpha : {true, false})
        ExpectSamePixels(
            Format::Compatible, Format::Compatible, false, Setting::Plain,
            [&](HDC dst, HDC) {
                IImage* image = MakePicture(37, 23, alpha, 3);
                const RECT own{2, 3, 39, 26}, scaled{1, 1, 60, 40};
                image->Draw(dst, &own, nullptr);
                image->Draw(dst, &scaled, nullptr);
                IBitmapImage* bitmap = nullptr;
                ASSERT_EQ(image->QueryInterface(IID_IBitmapImage, reinterpret_cast<void**>(&bitmap)), S_OK);
                BitmapData data{};
                const RECT part{4, 4, 20, 12};
                ASSERT_EQ(bitmap->LockBits(&part, ImageLockModeWrite, PixelFormat32bppARGB, &data), S_OK);
                for (UINT y = 0; y < data.Height; ++y)
                    for (UINT x = 0; x < data.Width; ++x) {
                        const std::uint32_t p = 0x80123456u + x * 0x10203u + y * 0x30201u;
                        std::memcpy(static_cast<BYTE*>(data.Scan0) + y * data.Stride + x * 4, &p, 4);
                    }
                ASSERT_EQ(bitmap->UnlockBits(&data), S_OK);
                bitmap->Release();
                Scramble(dst, 9, false);
                image->Draw(dst, &own, nullptr);
                image->Draw(dst, &scaled, nullptr);
                image->Release();
            },
            alpha ? "alpha" : "opaque");
}

// Per-pixel alpha at every alpha over every RGB565 destination value, for
// noise source colours: the kernel against PutPixelBlend and WritePixel.
TEST(BlitKernels, PixelAlphaMatchesPutPixelBlendForEveryAlpha)
{
    constexpr int kSide = 256;
    auto expected = platform::Surface::Create(kSide, kSide, 16, true);
    auto actual = platform::Surface::Create(kSide, kSide, 16, true);
    ASSERT_TRUE(expected && actual);
    std::vector<std::uint32_t> source(kSide);
    Noise noise{23};
    for (std::uint32_t alpha = 0; alpha < 256; ++alpha) {
        for (int y = 0; y < kSide; ++y) {
            for (int x = 0; x < kSide; ++x) {
                const WORD d = static_cast<WORD>(y * kSide + x);
                reinterpret_cast<WORD*>(expected->Row(y))[x] = d;
                reinterpret_cast<WORD*>(actual->Row(y))[x] = d;
                source[x] = (alpha << 24) | (noise.Next() & 0xFFFFFF);
                const COLORREF c = RGB(static_cast<BYTE>(source[x] >> 16), static_cast<BYTE>(source[x] >> 8),
                                       static_cast<BYTE>(source[x]));
                if (alpha == 255)
                    platform::WritePixel(*expected, x, y, c);
                else
                    platform::PutPixelBlend(*expected, x, y, c, static_cast<int>(alpha));
            }
            platform::BlendRowArgb(reinterpret_cast<WORD*>(actual->Row(y)), source.data(), kSide);
        }
        ASSERT_EQ(0, std::memcmp(expected->bits, actual->bits, static_cast<size_t>(expected->stride) * kSide))
            << "alpha " << alpha;
    }
}

// The conversion of whole rows of ARGB to RGB565 is the one of Color.h.
TEST(BlitKernels, ArgbRowsConvertAsColorDoes)
{
    std::vector<std::uint32_t> argb(1000);
    Noise noise{17};
    for (auto& p : argb)
        p = noise.Next() * 0x101u;
    std::vector<WORD> rows(argb.size());
    platform::ArgbRowTo565(rows.data(), argb.data(), static_cast<int>(argb.size()));
    for (size_t i = 0; i < argb.size(); ++i)
        ASSERT_EQ(rows[i], platform::ArgbTo565(argb[i])) << i;
}

} // namespace
