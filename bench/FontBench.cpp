// A paint's text: create a font, draw a 20-character Korean line into a
// memory DC, release the font - what the framework does on every paint.
#include "platform/gfx/Font.h"
#include "platform/unit/Unit.h"

#include <benchmark/benchmark.h>

#include <filesystem>

namespace {

constexpr WCHAR kLine[] = u"음악 라디오 설정 블루투스 전화 내비"; // 20 characters

struct Target {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, 800, 480);
    HGDIOBJ old = SelectObject(dc, bitmap);
    ~Target()
    {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
};

LOGFONTW Request(LONG height)
{
    LOGFONTW lf{};
    lf.lfHeight = height;
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfQuality = ANTIALIASED_QUALITY;
    return lf;
}

void BM_FontCreateDrawRelease(benchmark::State& state)
{
    Target target;
    SetBkMode(target.dc, TRANSPARENT);
    SetTextColor(target.dc, RGB(255, 255, 255));
    const LOGFONTW lf = Request(-static_cast<LONG>(state.range(0)));
    for (auto _ : state) {
        HFONT font = CreateFontIndirectW(&lf);
        HGDIOBJ old = SelectObject(target.dc, font);
        ExtTextOutW(target.dc, 10, 100, 0, nullptr, kLine, 20, nullptr);
        SelectObject(target.dc, old);
        DeleteObject(font);
    }
}
BENCHMARK(BM_FontCreateDrawRelease)->Arg(20)->Arg(32);

void BM_TextExtent(benchmark::State& state)
{
    Target target;
    const LOGFONTW lf = Request(-20);
    HFONT font = CreateFontIndirectW(&lf);
    HGDIOBJ old = SelectObject(target.dc, font);
    int dx[20];
    SIZE size;
    for (auto _ : state)
        benchmark::DoNotOptimize(GetTextExtentExPointW(target.dc, kLine, 20, 0, nullptr, dx, &size));
    SelectObject(target.dc, old);
    DeleteObject(font);
}
BENCHMARK(BM_TextExtent);

} // namespace
