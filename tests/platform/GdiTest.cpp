#include "platform/gfx/Gdi.h"

#include "platform/gfx/GdiInternal.h"
#include "platform/gfx/Screen.h"
#include "platform/ui/Window.h"
#include "tests/platform/MemDc.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

namespace {

using gditest::Format;
using gditest::MemDc;
using gditest::Name;

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kYellow = RGB(255, 255, 0);
constexpr COLORREF kCyan = RGB(0, 255, 255);
constexpr COLORREF kMagenta = RGB(255, 0, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);

TEST(Gdi, BlitsConvertBetweenFormatsKeepingRowsUpright)
{
    struct Case {
        Format src, dst;
    } cases[] = {
        {Format::Rgb565, Format::Bgr24BottomUp},       {Format::Bgr24BottomUp, Format::Rgb565},
        {Format::Bgrx32BottomUp, Format::Rgb565},      {Format::Bgr24TopDown, Format::Bgrx32BottomUp},
        {Format::Rgb555, Format::Compatible},          {Format::Compatible, Format::Rgb555},
        {Format::Bgr24BottomUp, Format::Bgr24TopDown},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(Name(c.src)) + " -> " + Name(c.dst));
        MemDc src(c.src, 6, 4), dst(c.dst, 6, 4);
        src.Fill(RECT{0, 0, 6, 2}, kYellow);
        src.Fill(RECT{0, 2, 3, 4}, kCyan);
        src.Fill(RECT{3, 2, 6, 4}, kMagenta);
        ASSERT_TRUE(BitBlt(dst.dc, 0, 0, 6, 4, src.dc, 0, 0, SRCCOPY));
        EXPECT_EQ(GetPixel(dst.dc, 5, 0), kYellow);
        EXPECT_EQ(GetPixel(dst.dc, 0, 3), kCyan);
        EXPECT_EQ(GetPixel(dst.dc, 5, 3), kMagenta);
    }
}

TEST(Gdi, BottomUpDibKeepsTheBottomRowFirstInMemory)
{
    MemDc dib(Format::Bgr24BottomUp, 4, 3);
    dib.Fill(RECT{0, 2, 4, 3}, kRed); // the bottom row
    const auto* bytes = static_cast<const BYTE*>(dib.bits);
    EXPECT_EQ(bytes[0], 0);   // blue
    EXPECT_EQ(bytes[2], 255); // red
    BITMAP bm{};
    ASSERT_EQ(GetObjectW(dib.bitmap, sizeof bm, &bm), static_cast<int>(sizeof bm));
    EXPECT_EQ(bm.bmWidth, 4);
    EXPECT_EQ(bm.bmHeight, 3);
    EXPECT_EQ(bm.bmBitsPixel, 24);
    EXPECT_EQ(bm.bmWidthBytes, 12);
}

TEST(Gdi, RasterOperationsOnSameAndMixedFormats)
{
    constexpr COLORREF S = kMagenta, D = kYellow;
    struct Case {
        DWORD rop;
        COLORREF expected;
    } cases[] = {
        {SRCCOPY, S},       {NOTSRCCOPY, kGreen}, {SRCINVERT, kCyan},  {SRCAND, kRed},    {SRCPAINT, kWhite},
        {DSTINVERT, kBlue}, {BLACKNESS, kBlack},  {WHITENESS, kWhite}, {PATCOPY, kGreen}, {PATINVERT, kRed},
    };
    for (Format srcFormat : {Format::Compatible, Format::Bgr24BottomUp})
        for (Format dstFormat : {Format::Compatible, Format::Bgrx32BottomUp})
            for (const Case& c : cases) {
                SCOPED_TRACE(std::string(Name(srcFormat)) + " -> " + Name(dstFormat) + " rop " + std::to_string(c.rop));
                MemDc src(srcFormat, 4, 4), dst(dstFormat, 4, 4);
                src.Fill(RECT{0, 0, 4, 4}, S);
                dst.Fill(RECT{0, 0, 4, 4}, D);
                HBRUSH pattern = CreateSolidBrush(kGreen);
                HGDIOBJ oldBrush = SelectObject(dst.dc, pattern);
                ASSERT_TRUE(BitBlt(dst.dc, 1, 1, 2, 2, src.dc, 0, 0, c.rop));
                EXPECT_EQ(GetPixel(dst.dc, 1, 1), c.expected);
                EXPECT_EQ(GetPixel(dst.dc, 2, 2), c.expected);
                EXPECT_EQ(GetPixel(dst.dc, 3, 3), D); // outside the blit
                SelectObject(dst.dc, oldBrush);
                DeleteObject(pattern);
            }
}

TEST(Gdi, StretchBltScalesAndMirrorsNearestNeighbour)
{
    MemDc src(Format::Compatible, 2, 2), dst(Format::Bgr24BottomUp, 4, 4);
    src.Fill(RECT{0, 0, 1, 1}, kRed);
    src.Fill(RECT{1, 0, 2, 1}, kGreen);
    src.Fill(RECT{0, 1, 1, 2}, kBlue);
    src.Fill(RECT{1, 1, 2, 2}, kWhite);

    ASSERT_TRUE(StretchBlt(dst.dc, 0, 0, 4, 4, src.dc, 0, 0, 2, 2, SRCCOPY));
    EXPECT_EQ(GetPixel(dst.dc, 1, 1), kRed);
    EXPECT_EQ(GetPixel(dst.dc, 2, 1), kGreen);
    EXPECT_EQ(GetPixel(dst.dc, 1, 2), kBlue);
    EXPECT_EQ(GetPixel(dst.dc, 3, 3), kWhite);

    // A negative width mirrors left and right.
    ASSERT_TRUE(StretchBlt(dst.dc, 4, 0, -4, 4, src.dc, 0, 0, 2, 2, SRCCOPY));
    EXPECT_EQ(GetPixel(dst.dc, 0, 0), kGreen);
    EXPECT_EQ(GetPixel(dst.dc, 3, 0), kRed);

    // Shrinking picks one source pixel per destination pixel.
    MemDc small(Format::Compatible, 1, 1);
    ASSERT_TRUE(StretchBlt(small.dc, 0, 0, 1, 1, dst.dc, 0, 0, 4, 4, SRCCOPY));
    EXPECT_EQ(GetPixel(small.dc, 0, 0), kBlue); // source (2, 2) of the mirrored picture
}

TEST(Gdi, AlphaBlendWithConstantAlpha)
{
    struct Case {
        BYTE alpha;
        BYTE level;
    } cases[] = {{0, 0}, {128, 128}, {255, 255}};
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.alpha));
        MemDc src(Format::Compatible, 2, 2), dst(Format::Bgrx32BottomUp, 4, 4);
        src.Fill(RECT{0, 0, 2, 2}, kWhite);
        dst.Fill(RECT{0, 0, 4, 4}, kBlack);
        // Stretched from 2x2 to 4x4.
        ASSERT_TRUE(AlphaBlend(dst.dc, 0, 0, 4, 4, src.dc, 0, 0, 2, 2, BLENDFUNCTION{AC_SRC_OVER, 0, c.alpha, 0}));
        EXPECT_EQ(GetPixel(dst.dc, 0, 0), RGB(c.level, c.level, c.level));
        EXPECT_EQ(GetPixel(dst.dc, 3, 3), RGB(c.level, c.level, c.level));
    }
}

TEST(Gdi, ColourKeyBlitLeavesKeyedPixels)
{
    constexpr COLORREF kKey = RGB(0xF8, 0x00, 0xF8);
    for (Format srcFormat : {Format::Compatible, Format::Bgr24BottomUp}) {
        SCOPED_TRACE(Name(srcFormat));
        MemDc src(srcFormat, 4, 1), dst(Format::Compatible, 4, 1);
        src.Fill(RECT{0, 0, 4, 1}, kKey);
        src.Fill(RECT{1, 0, 2, 1}, kRed);
        dst.Fill(RECT{0, 0, 4, 1}, kGreen);
        // The source given as a DC, then as a bitmap.
        ASSERT_TRUE(TransparentImage(dst.dc, 0, 0, 2, 1, src.dc, 0, 0, 2, 1, kKey));
        ASSERT_TRUE(TransparentImage(dst.dc, 2, 0, 2, 1, src.bitmap, 0, 0, 2, 1, kKey));
        EXPECT_EQ(GetPixel(dst.dc, 0, 0), kGreen);
        EXPECT_EQ(GetPixel(dst.dc, 1, 0), kRed);
        EXPECT_EQ(GetPixel(dst.dc, 2, 0), kGreen);
        EXPECT_EQ(GetPixel(dst.dc, 3, 0), kRed);
    }
}

TEST(Gdi, ClipRegionIsInDeviceCoordinatesAndTheOriginMovesDrawing)
{
    MemDc m(Format::Compatible, 20, 20);
    HRGN rgn = CreateRectRgn(5, 5, 10, 10);
    ASSERT_EQ(SelectClipRgn(m.dc, rgn), SIMPLEREGION);
    DeleteObject(rgn); // the DC keeps its own copy
    SetViewportOrgEx(m.dc, 3, 3, nullptr);
    m.Fill(RECT{0, 0, 4, 4}, kRed);               // device 3..7, clipped to 5..7
    EXPECT_EQ(GetPixel(m.dc, 2, 2), kRed);        // device (5, 5)
    EXPECT_EQ(GetPixel(m.dc, 3, 3), kRed);        // device (6, 6)
    EXPECT_EQ(GetPixel(m.dc, 4, 4), kBlack);      // device (7, 7): past the fill
    EXPECT_EQ(GetPixel(m.dc, 7, 7), CLR_INVALID); // device (10, 10): outside the clip
    RECT box{};
    EXPECT_EQ(GetClipBox(m.dc, &box), SIMPLEREGION);
    EXPECT_EQ(box.left, 2);
    EXPECT_EQ(box.bottom, 7);

    // Removing the clip opens the whole bitmap again.
    EXPECT_EQ(SelectClipRgn(m.dc, nullptr), SIMPLEREGION);
    SetViewportOrgEx(m.dc, 0, 0, nullptr);
    EXPECT_EQ(GetPixel(m.dc, 7, 7), kBlack);
    EXPECT_EQ(GetPixel(m.dc, 6, 6), kRed);
    m.Fill(RECT{0, 0, 20, 20}, kBlue);
    EXPECT_EQ(GetPixel(m.dc, 19, 19), kBlue);
}

TEST(Gdi, CombineRgn)
{
    HRGN a = CreateRectRgn(0, 0, 10, 10);
    HRGN b = CreateRectRgn(5, 5, 15, 15);
    HRGN r = CreateRectRgn(0, 0, 0, 0);
    struct Case {
        int mode;
        int type;
        RECT box;
    } cases[] = {
        {RGN_AND, SIMPLEREGION, {5, 5, 10, 10}},
        {RGN_OR, COMPLEXREGION, {0, 0, 15, 15}},
        {RGN_DIFF, COMPLEXREGION, {0, 0, 10, 10}},
        {RGN_COPY, SIMPLEREGION, {0, 0, 10, 10}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        EXPECT_EQ(CombineRgn(r, a, b, c.mode), c.type);
        RECT box{};
        GetRgnBox(r, &box);
        EXPECT_EQ(box.left, c.box.left);
        EXPECT_EQ(box.top, c.box.top);
        EXPECT_EQ(box.right, c.box.right);
        EXPECT_EQ(box.bottom, c.box.bottom);
    }
    // The difference clips out the overlap.
    MemDc m(Format::Compatible, 20, 20);
    CombineRgn(r, a, b, RGN_DIFF);
    SelectClipRgn(m.dc, r);
    m.Fill(RECT{0, 0, 20, 20}, kRed);
    EXPECT_EQ(GetPixel(m.dc, 4, 9), kRed);
    EXPECT_EQ(GetPixel(m.dc, 9, 4), kRed);
    EXPECT_EQ(GetPixel(m.dc, 7, 7), CLR_INVALID);
    for (HRGN h : {a, b, r})
        DeleteObject(h);
}

TEST(Gdi, BlitsPartlyOutsideBothSurfacesAreClipped)
{
    struct Case {
        int x, y, sx, sy;
    } cases[] = {{-3, -3, 0, 0}, {7, 7, 0, 0}, {0, 0, -4, -4}, {0, 0, 6, 6}, {-5, 4, 7, -2}, {-100, 0, 0, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.x << "," << c.y << " from " << c.sx << "," << c.sy);
        MemDc src(Format::Bgr24BottomUp, 10, 10), dst(Format::Compatible, 10, 10);
        src.Fill(RECT{0, 0, 10, 10}, kRed);
        dst.Fill(RECT{0, 0, 10, 10}, kBlue);
        EXPECT_TRUE(BitBlt(dst.dc, c.x, c.y, 10, 10, src.dc, c.sx, c.sy, SRCCOPY));
        MemDc scratch(Format::Rgb555, 10, 10);
        EXPECT_TRUE(StretchBlt(scratch.dc, c.x, c.y, 20, -20, src.dc, c.sx, c.sy, 10, 10, SRCCOPY));
        EXPECT_TRUE(
            AlphaBlend(dst.dc, c.x, c.y, 10, 10, src.dc, c.sx, c.sy, 10, 10, BLENDFUNCTION{AC_SRC_OVER, 0, 100, 0}));
        EXPECT_TRUE(TransparentImage(dst.dc, c.x, c.y, 10, 10, src.dc, c.sx, c.sy, 10, 10, kBlue));
        // Where the source has no pixels, the destination keeps its own.
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 10; ++x) {
                SCOPED_TRACE(::testing::Message() << x << "," << y);
                const int sx = x - c.x + c.sx, sy = y - c.y + c.sy;
                const bool covered = sx >= 0 && sy >= 0 && sx < 10 && sy < 10;
                const COLORREF expected = covered ? kRed : kBlue;
                ASSERT_EQ(GetPixel(dst.dc, x, y), expected);
            }
    }
}

TEST(Gdi, RectangleLinesAndPixels)
{
    MemDc m(Format::Compatible, 12, 12);
    HPEN pen = CreatePen(PS_SOLID, 1, kRed);
    HBRUSH brush = CreateSolidBrush(kGreen);
    HGDIOBJ oldPen = SelectObject(m.dc, pen);
    HGDIOBJ oldBrush = SelectObject(m.dc, brush);
    ASSERT_TRUE(Rectangle(m.dc, 1, 1, 6, 6));
    EXPECT_EQ(GetPixel(m.dc, 1, 1), kRed);
    EXPECT_EQ(GetPixel(m.dc, 5, 5), kRed);
    EXPECT_EQ(GetPixel(m.dc, 3, 3), kGreen);
    EXPECT_EQ(GetPixel(m.dc, 6, 6), kBlack);

    // A diagonal without its end point.
    MoveToEx(m.dc, 0, 11, nullptr);
    ASSERT_TRUE(LineTo(m.dc, 4, 7));
    EXPECT_EQ(GetPixel(m.dc, 0, 11), kRed);
    EXPECT_EQ(GetPixel(m.dc, 3, 8), kRed);
    EXPECT_EQ(GetPixel(m.dc, 4, 7), kBlack);
    const POINT poly[] = {{8, 0}, {8, 4}, {11, 4}};
    ASSERT_TRUE(Polyline(m.dc, poly, 3));
    EXPECT_EQ(GetPixel(m.dc, 8, 2), kRed);
    EXPECT_EQ(GetPixel(m.dc, 10, 4), kRed);

    EXPECT_EQ(SetPixel(m.dc, 11, 0, kBlue), kBlue);
    EXPECT_EQ(SetPixel(m.dc, 12, 0, kBlue), CLR_INVALID);
    EXPECT_EQ(GetPixel(m.dc, 11, 0), kBlue);

    SelectObject(m.dc, oldPen);
    SelectObject(m.dc, oldBrush);
    DeleteObject(pen);
    DeleteObject(brush);
}

TEST(Gdi, DeletedBitmapStaysUsableUntilDeselected)
{
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bmp = CreateCompatibleBitmap(dc, 8, 8);
    HGDIOBJ old = SelectObject(dc, bmp);
    ASSERT_NE(old, nullptr);
    ASSERT_TRUE(DeleteObject(bmp));
    BITMAP bm{};
    EXPECT_EQ(GetObjectW(bmp, sizeof bm, &bm), static_cast<int>(sizeof bm));
    HBRUSH red = CreateSolidBrush(kRed);
    RECT all{0, 0, 8, 8};
    FillRect(dc, &all, red);
    EXPECT_EQ(GetPixel(dc, 7, 7), kRed);
    EXPECT_EQ(SelectObject(dc, old), bmp);
    EXPECT_EQ(GetObjectW(bmp, sizeof bm, &bm), 0); // gone once deselected
    EXPECT_EQ(GetObjectType(bmp), 0u);
    DeleteObject(red);
    EXPECT_TRUE(DeleteDC(dc));
    EXPECT_FALSE(DeleteDC(dc));
    EXPECT_TRUE(DeleteObject(GetStockObject(BLACK_BRUSH))); // stock objects stay
    EXPECT_EQ(GetObjectType(GetStockObject(BLACK_BRUSH)), static_cast<DWORD>(OBJ_BRUSH));
}

LRESULT PlainProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

struct RecordingBackend : platform::ScreenBackend {
    std::vector<RECT>* presented;
    explicit RecordingBackend(std::vector<RECT>* p) : presented(p) {}
    void Present(const std::uint16_t*, int, int, const RECT& dirty) override { presented->push_back(dirty); }
    bool PollInput(platform::InputEvent&) override { return false; }
};

HWND MakeWindow(HWND parent, int x, int y, int w, int h)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = PlainProc;
    wc.lpszClassName = u"GdiTestWindow";
    RegisterClassW(&wc);
    return CreateWindowExW(0, u"GdiTestWindow", u"", (parent ? WS_CHILD : WS_POPUP) | WS_VISIBLE, x, y, w, h, parent,
                           nullptr, nullptr, nullptr);
}

TEST(Gdi, WindowDcDrawsOnTheScreenInsideTheWindow)
{
    platform::Screen& screen = platform::Screen::Get();
    screen.Fill(0);
    std::vector<RECT> presented;
    screen.SetBackend(std::make_unique<RecordingBackend>(&presented));
    HWND top = MakeWindow(nullptr, 100, 50, 200, 100);
    HWND child = MakeWindow(top, 150, 80, 100, 100); // reaches past its parent's bottom right
    ASSERT_NE(child, nullptr);

    HDC dc = GetDC(child);
    ASSERT_NE(dc, nullptr);
    RECT big{-20, -20, 300, 300};
    HBRUSH red = CreateSolidBrush(kRed);
    FillRect(dc, &big, red);
    EXPECT_EQ(screen.Pixel(250, 130), 0xF800); // the child's top-left on the screen
    EXPECT_EQ(screen.Pixel(299, 149), 0xF800); // the parent's bottom-right pixel
    EXPECT_EQ(screen.Pixel(300, 149), 0);
    EXPECT_EQ(screen.Pixel(250, 150), 0);
    EXPECT_EQ(screen.Pixel(249, 130), 0);
    presented.clear();
    EXPECT_EQ(ReleaseDC(child, dc), 1);
    ASSERT_EQ(presented.size(), 1u);
    EXPECT_EQ(presented[0].left, 250);
    EXPECT_EQ(presented[0].top, 130);
    EXPECT_EQ(presented[0].right, 300);
    EXPECT_EQ(presented[0].bottom, 150);

    // BeginPaint's DC draws only inside the paint rectangle.
    screen.Fill(0);
    ValidateRect(top, nullptr);
    RECT update{10, 10, 20, 30};
    InvalidateRect(top, &update, FALSE);
    PAINTSTRUCT ps;
    HDC paintDc = BeginPaint(top, &ps);
    ASSERT_NE(paintDc, nullptr);
    FillRect(paintDc, &big, red);
    EndPaint(top, &ps);
    EXPECT_EQ(screen.Pixel(110, 60), 0xF800);
    EXPECT_EQ(screen.Pixel(119, 79), 0xF800);
    EXPECT_EQ(screen.Pixel(120, 60), 0);
    EXPECT_EQ(screen.Pixel(109, 60), 0);
    EXPECT_EQ(screen.Pixel(110, 80), 0);

    // The whole screen.
    HDC screenDc = GetDC(nullptr);
    EXPECT_EQ(GetDeviceCaps(screenDc, HORZRES), 800);
    EXPECT_EQ(GetDeviceCaps(screenDc, VERTRES), 480);
    FillRect(screenDc, &big, red);
    EXPECT_EQ(screen.Pixel(0, 0), 0xF800);
    ReleaseDC(nullptr, screenDc);

    DeleteObject(red);
    DestroyWindow(top);
    screen.SetBackend(nullptr);
}

TEST(Gdi, DeviceCapsAndDisplayEscape)
{
    HDC dc = CreateCompatibleDC(nullptr);
    struct Case {
        int index, value;
    } cases[] = {{LOGPIXELSX, 96}, {LOGPIXELSY, 96}, {BITSPIXEL, 16}, {PLANES, 1}, {HORZRES, 1}, {NUMCOLORS, -1}};
    for (const Case& c : cases)
        EXPECT_EQ(GetDeviceCaps(dc, c.index), c.value) << c.index;
    EXPECT_NE(GetDeviceCaps(dc, RASTERCAPS) & RC_STRETCHBLT, 0);

    char out[4] = {};
    EXPECT_EQ(ExtEscape(dc, 0x1234, 0, nullptr, sizeof out, out), 0);
    platform::SetDisplayEscapeHandler([](int code, const void* in, int inSize, void* o, int outSize) {
        if (code != 0x1234 || inSize != 2 || outSize < 2)
            return -1;
        std::memcpy(o, in, 2);
        return 1;
    });
    EXPECT_EQ(ExtEscape(dc, 0x1234, 2, "ab", sizeof out, out), 1);
    EXPECT_EQ(out[1], 'b');
    platform::SetDisplayEscapeHandler(nullptr);
    EXPECT_EQ(ExtEscape(dc, 0x1234, 2, "ab", sizeof out, out), 0);
    DeleteDC(dc);
}

TEST(Gdi, InvalidArgumentsFailCleanly)
{
    EXPECT_EQ(CreateCompatibleBitmap(nullptr, 0, 10), nullptr);
    BITMAPINFO bi{};
    bi.bmiHeader.biWidth = 4;
    bi.bmiHeader.biHeight = 4;
    bi.bmiHeader.biBitCount = 8;
    EXPECT_EQ(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, nullptr, nullptr, 0), nullptr);
    EXPECT_FALSE(BitBlt(nullptr, 0, 0, 1, 1, nullptr, 0, 0, SRCCOPY));
    EXPECT_EQ(GetPixel(nullptr, 0, 0), CLR_INVALID);
    EXPECT_EQ(SelectObject(nullptr, GetStockObject(BLACK_PEN)), nullptr);
    HDC dc = CreateCompatibleDC(nullptr);
    EXPECT_FALSE(DeleteObject(dc)); // a DC is not an object to delete
    EXPECT_EQ(SetBkMode(dc, TRANSPARENT), OPAQUE);
    EXPECT_EQ(SetTextAlign(dc, TA_BASELINE), TA_LEFT | TA_TOP);
    EXPECT_EQ(GetTextAlign(dc), TA_BASELINE);
    DeleteDC(dc);
}

} // namespace
