// Memory DCs over bitmaps of every pixel format the blits meet, for the
// drawing tests.
#pragma once

#include "platform/gfx/Gdi.h"

#include <cstring>

namespace gditest {

enum class Format { Rgb565, Rgb555, Bgr24BottomUp, Bgr24TopDown, Bgrx32BottomUp, Compatible };

inline const char* Name(Format f)
{
    switch (f) {
    case Format::Rgb565:
        return "565";
    case Format::Rgb555:
        return "555";
    case Format::Bgr24BottomUp:
        return "24 bottom-up";
    case Format::Bgr24TopDown:
        return "24 top-down";
    case Format::Bgrx32BottomUp:
        return "32 bottom-up";
    default:
        return "compatible";
    }
}

// A memory DC with a fresh bitmap of the format selected; frees both.
struct MemDc {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ old = nullptr;
    void* bits = nullptr;

    MemDc(Format f, int w, int h)
    {
        dc = CreateCompatibleDC(nullptr);
        if (f == Format::Compatible) {
            bitmap = CreateCompatibleBitmap(dc, w, h);
        } else {
            BITMAPINFO bi{};
            bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
            bi.bmiHeader.biWidth = w;
            bi.bmiHeader.biPlanes = 1;
            const bool bottomUp = f == Format::Bgr24BottomUp || f == Format::Bgrx32BottomUp;
            bi.bmiHeader.biHeight = bottomUp ? h : -h;
            bi.bmiHeader.biBitCount = f == Format::Rgb565 || f == Format::Rgb555 ? 16
                : f == Format::Bgrx32BottomUp                                    ? 32
                                                                                 : 24;
            bi.bmiHeader.biCompression = f == Format::Rgb565 ? BI_BITFIELDS : BI_RGB;
            const DWORD masks[3] = {0xF800, 0x07E0, 0x001F};
            std::memcpy(bi.bmiColors, masks, sizeof masks);
            bitmap = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
        }
        old = SelectObject(dc, bitmap);
    }
    ~MemDc()
    {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    void Fill(const RECT& r, COLORREF c)
    {
        HBRUSH b = CreateSolidBrush(c);
        FillRect(dc, &r, b);
        DeleteObject(b);
    }
};

} // namespace gditest
