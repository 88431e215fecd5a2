// Drawing costs: a full-screen paint into an offscreen RGB565 bitmap and its
// copy to the screen, as a frame paints; single keyed and blended icons; a
// realistic screen of icons and labels against its floor.
#include "platform/gfx/Font.h"
#include "platform/gfx/Gdi.h"
#include "platform/gfx/Imaging.h"
#include "platform/gfx/Picture.h"

#include <benchmark/benchmark.h>

#include <chrono>

namespace {

struct Offscreen {
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 800, 480);
    HGDIOBJ oldBitmap = SelectObject(mem, bitmap);
    HDC iconDc = CreateCompatibleDC(screen);
    HBITMAP icon = CreateCompatibleBitmap(screen, 120, 120);
    HGDIOBJ oldIcon = SelectObject(iconDc, icon);
    HBRUSH background = CreateSolidBrush(RGB(20, 30, 60));
    HBRUSH panel = CreateSolidBrush(RGB(200, 200, 200));

    Offscreen()
    {
        RECT r{0, 0, 120, 120};
        FillRect(iconDc, &r, panel);
    }
    ~Offscreen()
    {
        SelectObject(iconDc, oldIcon);
        SelectObject(mem, oldBitmap);
        DeleteObject(icon);
        DeleteObject(bitmap);
        DeleteObject(background);
        DeleteObject(panel);
        DeleteDC(iconDc);
        DeleteDC(mem);
        ReleaseDC(nullptr, screen);
    }
};

void BM_OffscreenPaintAndCopyToScreen(benchmark::State& state)
{
    Offscreen o;
    const RECT all{0, 0, 800, 480};
    const RECT bar{0, 400, 800, 480};
    for (auto _ : state) {
        FillRect(o.mem, &all, o.background);
        FillRect(o.mem, &bar, o.panel);
        for (int i = 0; i < 6; ++i)
            BitBlt(o.mem, 10 + i * 130, 100, 120, 120, o.iconDc, 0, 0, SRCCOPY);
        HDC screen = GetDC(nullptr);
        BitBlt(screen, 0, 0, 800, 480, o.mem, 0, 0, SRCCOPY);
        ReleaseDC(nullptr, screen);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_OffscreenPaintAndCopyToScreen)->Unit(benchmark::kMicrosecond);

void BM_CopyToScreen(benchmark::State& state)
{
    Offscreen o;
    for (auto _ : state) {
        BitBlt(o.screen, 0, 0, 800, 480, o.mem, 0, 0, SRCCOPY);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_CopyToScreen)->Unit(benchmark::kMicrosecond);

void BM_AlphaBlendIcon(benchmark::State& state)
{
    Offscreen o;
    for (auto _ : state) {
        AlphaBlend(o.mem, 100, 100, 120, 120, o.iconDc, 0, 0, 120, 120, BLENDFUNCTION{AC_SRC_OVER, 0, 128, 0});
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_AlphaBlendIcon)->Unit(benchmark::kMicrosecond);

void BM_ColourKeyIcon(benchmark::State& state)
{
    Offscreen o;
    for (auto _ : state) {
        TransparentImage(o.mem, 100, 100, 120, 120, o.iconDc, 0, 0, 120, 120, RGB(0xF8, 0, 0xF8));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ColourKeyIcon)->Unit(benchmark::kMicrosecond);

// A realistic screen: an 800x480 background picture, 30 icons, 20 Korean
// labels, presented to the screen. Each iteration draws the scene twice:
// once with the icons drawn the way under test and once with the same icons
// copied as plain pixel rows (SRCCOPY, a memmove per row), the floor any
// keyed or blended draw can reach; the two are timed alternately so that
// both see the same caches and machine load. The reported time is the scene
// under test; "floor_us" is the reference and "x_floor" the ratio.
//   range(0): icon side (64 or 96)
//   range(1): 0 colour key (TransparentImage), 1 constant alpha (AlphaBlend),
//             2 per-pixel alpha (a 32-bit ARGB picture's Draw)
enum IconMode { kColourKey, kConstantAlpha, kPixelAlpha };

struct Scene {
    explicit Scene(int side) : side(side)
    {
        // The background: a gradient, as a decoded photo would be.
        for (int y = 0; y < 480; y += 8) {
            HBRUSH b = CreateSolidBrush(RGB(static_cast<BYTE>(y / 2), 40, static_cast<BYTE>(255 - y / 2)));
            RECT band{0, y, 800, y + 8};
            FillRect(backgroundDc, &band, b);
            DeleteObject(b);
        }
        // The icon: a disc on the key colour (magenta), plus an ARGB twin
        // whose outside is transparent and whose rim is half transparent.
        platform::Picture picture;
        picture.Allocate(side, side);
        picture.hasAlpha = true;
        const int c = side / 2;
        for (int y = 0; y < side; ++y) {
            for (int x = 0; x < side; ++x) {
                const int d2 = (x - c) * (x - c) + (y - c) * (y - c);
                const COLORREF inside = RGB(static_cast<BYTE>(x * 4), static_cast<BYTE>(y * 4), 200);
                const bool in = d2 < (c - 2) * (c - 2), rim = !in && d2 < c * c;
                SetPixel(iconDc, x, y, in || rim ? inside : RGB(0xFF, 0, 0xFF));
                const std::uint32_t a = in ? 0xFFu : rim ? 0x80u : 0u;
                picture.At(x, y) = (a << 24) | (GetRValue(inside) << 16) | (GetGValue(inside) << 8) | GetBValue(inside);
            }
        }
        IBitmapImage* bitmapImage = platform::CreateBitmapImage(std::move(picture), PixelFormat32bppARGB);
        bitmapImage->QueryInterface(IID_IImage, reinterpret_cast<void**>(&argbIcon));
        bitmapImage->Release();
        LOGFONTW lf{};
        lf.lfHeight = -20;
        lf.lfWeight = FW_NORMAL;
        lf.lfCharSet = DEFAULT_CHARSET;
        lf.lfQuality = ANTIALIASED_QUALITY;
        font = CreateFontIndirectW(&lf);
        oldFont = SelectObject(mem, font);
        SetBkMode(mem, TRANSPARENT);
        SetTextColor(mem, RGB(255, 255, 255));
    }
    ~Scene()
    {
        argbIcon->Release();
        SelectObject(mem, oldFont);
        DeleteObject(font);
        SelectObject(iconDc, oldIcon);
        SelectObject(backgroundDc, oldBackground);
        SelectObject(mem, oldBitmap);
        DeleteObject(icon);
        DeleteObject(background);
        DeleteObject(bitmap);
        DeleteDC(iconDc);
        DeleteDC(backgroundDc);
        DeleteDC(mem);
        ReleaseDC(nullptr, screen);
    }

    void Draw(int mode, bool floor)
    {
        BitBlt(mem, 0, 0, 800, 480, backgroundDc, 0, 0, SRCCOPY);
        for (int i = 0; i < 30; ++i) {
            const int x = 8 + (i % 10) * 79, y = 8 + (i / 10) * (side + 8);
            if (floor) {
                BitBlt(mem, x, y, side, side, iconDc, 0, 0, SRCCOPY);
            } else if (mode == kColourKey) {
                TransparentImage(mem, x, y, side, side, iconDc, 0, 0, side, side, RGB(0xFF, 0, 0xFF));
            } else if (mode == kConstantAlpha) {
                AlphaBlend(mem, x, y, side, side, iconDc, 0, 0, side, side, BLENDFUNCTION{AC_SRC_OVER, 0, 160, 0});
            } else {
                const RECT to{x, y, x + side, y + side};
                argbIcon->Draw(mem, &to, nullptr);
            }
        }
        for (int i = 0; i < 20; ++i)
            ExtTextOutW(mem, 10 + (i % 4) * 200, 340 + (i / 4) * 26, 0, nullptr, kLabel, 8, nullptr);
        HDC out = GetDC(nullptr);
        BitBlt(out, 0, 0, 800, 480, mem, 0, 0, SRCCOPY);
        ReleaseDC(nullptr, out);
        benchmark::ClobberMemory();
    }

    static constexpr WCHAR kLabel[] = u"음악 라디오 설정"; // 8 characters
    int side;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 800, 480);
    HGDIOBJ oldBitmap = SelectObject(mem, bitmap);
    HDC backgroundDc = CreateCompatibleDC(screen);
    HBITMAP background = CreateCompatibleBitmap(screen, 800, 480);
    HGDIOBJ oldBackground = SelectObject(backgroundDc, background);
    HDC iconDc = CreateCompatibleDC(screen);
    HBITMAP icon = CreateCompatibleBitmap(screen, side, side);
    HGDIOBJ oldIcon = SelectObject(iconDc, icon);
    IImage* argbIcon = nullptr;
    HFONT font = nullptr;
    HGDIOBJ oldFont = nullptr;
};

void BM_RealisticScreen(benchmark::State& state)
{
    Scene scene(static_cast<int>(state.range(0)));
    const int mode = static_cast<int>(state.range(1));
    using Clock = std::chrono::steady_clock;
    double floorSeconds = 0, sceneSeconds = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        scene.Draw(mode, true);
        const auto t1 = Clock::now();
        scene.Draw(mode, false);
        const auto t2 = Clock::now();
        floorSeconds += std::chrono::duration<double>(t1 - t0).count();
        const double seconds = std::chrono::duration<double>(t2 - t1).count();
        sceneSeconds += seconds;
        state.SetIterationTime(seconds);
    }
    state.counters["floor_us"] = floorSeconds * 1e6 / static_cast<double>(state.iterations());
    state.counters["x_floor"] = floorSeconds > 0 ? sceneSeconds / floorSeconds : 0;
}
BENCHMARK(BM_RealisticScreen)
    ->ArgNames({"side", "mode"})
    ->ArgsProduct({{64, 96}, {kColourKey, kConstantAlpha, kPixelAlpha}})
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

} // namespace
