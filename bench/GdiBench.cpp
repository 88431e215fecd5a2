// Drawing costs: a full-screen paint into an offscreen RGB565 bitmap and its
// copy to the screen, as a frame paints.
#include "platform/gfx/Gdi.h"

#include <benchmark/benchmark.h>

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

} // namespace
