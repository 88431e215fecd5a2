#include "Lib_cpp/core/Draw.h"

#include "Lib_cpp/core/Diag.h"
#include "platform/gfx/Font.h"
#include "platform/gfx/Screen.h"
#include "platform/ui/Window.h"

#include <gtest/gtest.h>

namespace {

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr std::uint16_t kRed565 = 0xF800;
constexpr std::uint16_t kGreen565 = 0x07E0;
constexpr std::uint16_t kBlue565 = 0x001F;

IX_STATIC_STRING(kFaceA, u"NanumGothic");
IX_STATIC_STRING(kFaceB, u"Other Face");

IxFontEntry Entry(DWORD style, int size, IxStringData* face, COLORREF colour)
{
    return IxFontEntry{style, size, face, colour, nullptr};
}

// A 16-bit memory surface to draw into and read back.
struct Canvas {
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ old;
    Canvas(int w, int h)
        : dc(CreateCompatibleDC(nullptr)), bitmap(CreateCompatibleBitmap(dc, w, h)), old(SelectObject(dc, bitmap))
    {
    }
    ~Canvas()
    {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
};

void Fill(HDC dc, RECT r, COLORREF colour)
{
    IxGdiHolder brush(CreateSolidBrush(colour));
    FillRect(dc, &r, static_cast<HBRUSH>(brush.Get()));
}

LRESULT PlainProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

HWND MakeWindow(int x, int y, int w, int h)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = PlainProc;
    wc.lpszClassName = u"DrawTestWindow";
    RegisterClassW(&wc);
    return CreateWindowExW(0, u"DrawTestWindow", u"", WS_POPUP | WS_VISIBLE, x, y, w, h, nullptr, nullptr, nullptr,
                           nullptr);
}

LOGFONTW Describe(HFONT font)
{
    LOGFONTW lf{};
    GetObjectW(font, sizeof lf, &lf);
    return lf;
}

} // namespace

TEST(FontTable, EqualEntriesShareOneFontButNotAcrossTheStoredBit)
{
    IxFontTable table;
    EXPECT_EQ(table.Add(Entry(0, 12, &kFaceA, kRed)), 0);
    EXPECT_EQ(table.Add(Entry(0, 12, &kFaceA, kBlue)), 1); // differs only in colour
    // AddUnique finds no equal row (the stored ones carry bit 28) and keeps
    // the style as given.
    EXPECT_EQ(table.AddUnique(Entry(0, 12, &kFaceA, kGreen)), 2);
    EXPECT_EQ(table.At(2)->dwStyle, 0u);
    EXPECT_EQ(table.At(0)->dwStyle, static_cast<DWORD>(IXFS_STORED));

    Canvas canvas(4, 4);
    HFONT f0 = table.Realise(0, canvas.dc);
    HFONT f1 = table.Realise(1, canvas.dc);
    HFONT f2 = table.Realise(2, canvas.dc);
    ASSERT_NE(f0, nullptr);
    EXPECT_EQ(f1, f0);
    EXPECT_EQ(table.At(0)->pFont, table.At(1)->pFont);
    EXPECT_EQ(table.At(0)->pFont->nRefs, 2);
    ASSERT_NE(f2, nullptr);
    EXPECT_NE(f2, f0);
    EXPECT_EQ(table.Realise(0, canvas.dc), f0); // realised rows keep their font

    table.ReleaseAll();
    for (int i = 0; i < table.Count(); ++i)
        EXPECT_EQ(table.At(i)->pFont, nullptr);
    EXPECT_EQ(GetObjectType(f0), 0u); // deleted with its last user
    EXPECT_EQ(GetObjectType(f2), 0u);
    EXPECT_EQ(table.Realise(7, canvas.dc), nullptr);
}

TEST(FontTable, AddUniqueFindsEqualRowsOfTheSameColourOnly)
{
    static IX_STATIC_STRING(empty, u"");
    IxFontTable table;
    EXPECT_EQ(table.AddUnique(Entry(IXFS_BOLD, 10, &kFaceA, kRed)), 0);
    EXPECT_EQ(table.AddUnique(Entry(IXFS_BOLD, 10, &kFaceA, kRed)), 0);
    EXPECT_EQ(table.AddUnique(Entry(IXFS_BOLD, 10, &kFaceA, kBlue)), 1); // another colour, another row
    EXPECT_EQ(table.At(0)->crText, kRed);
    EXPECT_EQ(table.At(1)->crText, kBlue);
    EXPECT_EQ(table.AddUnique(Entry(IXFS_BOLD, 11, &kFaceA, kRed)), 2);
    EXPECT_EQ(table.AddUnique(Entry(IXFS_BOLD, 10, &kFaceB, kRed)), 3);
    EXPECT_EQ(table.AddUnique(Entry(IXFS_BOLD | IXFS_ITALIC, 10, &kFaceA, kRed)), 4);
    // A null face reads as the empty name.
    EXPECT_EQ(table.AddUnique(Entry(0, 10, nullptr, kRed)), 5);
    EXPECT_EQ(table.AddUnique(Entry(0, 10, &empty, kRed)), 5);
    EXPECT_EQ(table.AppendSlot(), 6);
    EXPECT_EQ(table.At(6)->dwStyle, 0u);
    EXPECT_EQ(table.At(6)->pFace, nullptr);
    EXPECT_EQ(table.Count(), 7);
}

TEST(FontTable, SetEntryReportsAndReleasesOnlyRealChanges)
{
    struct Case {
        const char* name;
        IxFontEntry entry;
        BOOL result;
    };
    const Case cases[] = {
        {"colour only", Entry(IXFS_STORED | IXFS_BOLD, 12, &kFaceA, kBlue), FALSE},
        {"size", Entry(IXFS_STORED | IXFS_BOLD, 14, &kFaceA, kRed), TRUE},
        {"face", Entry(IXFS_STORED | IXFS_BOLD, 12, &kFaceB, kRed), TRUE},
        {"style", Entry(IXFS_STORED, 12, &kFaceA, kRed), TRUE},
        // The stored bit is part of the style: an entry without it differs.
        {"without stored bit", Entry(IXFS_BOLD, 12, &kFaceA, kRed), TRUE},
    };
    Canvas canvas(4, 4);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        IxFontTable table;
        ASSERT_EQ(table.Add(Entry(IXFS_BOLD, 12, &kFaceA, kRed)), 0);
        HFONT font = table.Realise(0, canvas.dc);
        ASSERT_NE(font, nullptr);

        EXPECT_EQ(table.SetEntry(0, c.entry), c.result);
        const IxFontEntry* row = table.At(0);
        EXPECT_EQ(row->dwStyle, c.entry.dwStyle | IXFS_STORED);
        EXPECT_EQ(row->nSize, c.entry.nSize);
        EXPECT_EQ(row->pFace, c.entry.pFace);
        EXPECT_EQ(row->crText, c.entry.crText);
        if (c.result) {
            EXPECT_EQ(row->pFont, nullptr);
            EXPECT_EQ(GetObjectType(font), 0u);
        } else {
            ASSERT_NE(row->pFont, nullptr);
            EXPECT_EQ(row->pFont->hFont, font);
        }
    }
    IxFontTable table;
    EXPECT_FALSE(table.SetEntry(0, Entry(0, 12, &kFaceA, kRed))); // no such row
}

TEST(FontTable, StoredFaceOutlivesTheCallersString)
{
    IxFontTable table;
    {
        IxString face(u"Dynamic Face");
        IxFontEntry entry = Entry(0, 9, face.Data(), kRed);
        ASSERT_EQ(table.Add(entry), 0);
        ASSERT_EQ(table.AddUnique(entry), 1);
        IxString other(u"Second");
        entry.pFace = other.Data();
        table.SetEntry(1, entry);
    }
    EXPECT_EQ(std::u16string(table.At(0)->FaceText()), u"Dynamic Face");
    EXPECT_EQ(std::u16string(table.At(1)->FaceText()), u"Second");
}

TEST(FontTable, RealisedFontFollowsTheEntry)
{
    Canvas canvas(4, 4);
    const int dpi = GetDeviceCaps(canvas.dc, LOGPIXELSY);
    struct Case {
        DWORD style;
        int size;
        LONG height, weight;
        BYTE italic, quality, pitch;
    };
    const Case cases[] = {
        {0, -20, -20, 400, 0, 0, 0},
        {0, 0, 0, 400, 0, 0, 0},
        {0, 10, -IxMulDiv(10, dpi, 72), 400, 0, 0, 0},
        {IXFS_BOLD | IXFS_ITALIC, 1, -IxMulDiv(1, dpi, 72), 700, 1, 0, 0},
        {IXFS_ANTIALIAS, -12, -12, 400, 0, 4, 0},
        {IXFS_ANTIALIAS | IXFS_CLEARTYPE, -12, -12, 400, 0, 5, 0},
        {IXFS_FIXED, -12, -12, 400, 0, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        IxFontTable table;
        table.Add(Entry(c.style, c.size, &kFaceA, kRed));
        const LOGFONTW lf = Describe(table.Realise(0, canvas.dc));
        EXPECT_EQ(lf.lfHeight, c.height);
        EXPECT_EQ(lf.lfWeight, c.weight);
        EXPECT_EQ(lf.lfItalic, c.italic);
        EXPECT_EQ(lf.lfQuality, c.quality);
        EXPECT_EQ(lf.lfPitchAndFamily, c.pitch);
        EXPECT_EQ(lf.lfCharSet, DEFAULT_CHARSET);
        EXPECT_EQ(std::u16string(lf.lfFaceName), u"NanumGothic");
    }
}

TEST(DrawContext, SizeMinus20GivesA20PixelFont)
{
    IxFontTable table;
    table.Add(Entry(0, -20, &kFaceA, kGreen));
    Canvas target(50, 50);
    IxDC dc(&table, 0);
    dc.BeginOffscreen(target.dc, RECT{0, 0, 50, 50}, TRUE);
    TEXTMETRICW tm{};
    ASSERT_TRUE(GetTextMetricsW(dc.GetDC(), &tm));
    EXPECT_EQ(tm.tmHeight - tm.tmInternalLeading, 20);
    EXPECT_EQ(GetTextColor(dc.GetDC()), kGreen);
    dc.EndOffscreen();
}

TEST(DrawContext, FontsLiveOnlyDuringThePaint)
{
    IxFontTable table;
    table.Add(Entry(0, -16, &kFaceA, kRed));
    table.Add(Entry(IXFS_BOLD, -16, &kFaceA, kBlue));
    Canvas target(50, 50);
    LOGFONTW lf{};
    lf.lfHeight = -10;
    IxGdiHolder own(CreateFontIndirectW(&lf));
    IxSelectHolder before(target.dc, own.Get());
    SetTextColor(target.dc, kGreen);

    for (BOOL offscreen : {FALSE, TRUE}) {
        IxDC dc(&table, 0x1234);
        EXPECT_EQ(dc.GetFlags(), 0x1234u);
        dc.BeginOffscreen(target.dc, RECT{0, 0, 50, 50}, offscreen);
        EXPECT_EQ(dc.IsOffscreen(), offscreen);
        ASSERT_NE(table.At(0)->pFont, nullptr);
        EXPECT_EQ(GetCurrentObject(dc.GetDC(), OBJ_FONT), table.At(0)->pFont->hFont);

        IxSavedFont previous = dc.SelectFont(1);
        EXPECT_EQ(previous.hFont, table.At(0)->pFont->hFont);
        EXPECT_EQ(previous.crText, kRed);
        EXPECT_EQ(GetTextColor(dc.GetDC()), kBlue);
        dc.SelectFontAndColor(previous);
        EXPECT_EQ(GetCurrentObject(dc.GetDC(), OBJ_FONT), previous.hFont);
        EXPECT_EQ(GetTextColor(dc.GetDC()), kRed);
        EXPECT_EQ(dc.SelectFont(9).hFont, nullptr); // no such row: nothing changes
        EXPECT_EQ(GetTextColor(dc.GetDC()), kRed);

        EXPECT_EQ(dc.EndOffscreen(), target.dc);
        EXPECT_EQ(table.At(0)->pFont, nullptr);
        EXPECT_EQ(table.At(1)->pFont, nullptr);
        EXPECT_EQ(GetCurrentObject(target.dc, OBJ_FONT), own.Get());
        EXPECT_EQ(GetTextColor(target.dc), kGreen);
    }
}

TEST(DrawContext, PopClipOfTheLastRegionLeavesNoClip)
{
    Canvas target(40, 40);
    IxDC dc(nullptr, 0);
    dc.BeginOffscreen(target.dc, RECT{0, 0, 40, 40}, FALSE);
    ASSERT_TRUE(dc.PushClip(RECT{10, 10, 20, 20}));
    ASSERT_TRUE(dc.PushClip(RECT{0, 0, 5, 5}));
    dc.PopClip();
    RECT box{};
    EXPECT_EQ(GetClipBox(target.dc, &box), SIMPLEREGION);
    EXPECT_FALSE(RectsDiffer(box, RECT{10, 10, 20, 20}));
    Fill(target.dc, RECT{0, 0, 40, 40}, kRed);

    dc.PopClip();
    EXPECT_EQ(dc.ClipDepth(), 0);
    EXPECT_EQ(GetPixel(target.dc, 10, 10), kRed);
    EXPECT_EQ(GetPixel(target.dc, 9, 10), RGB(0, 0, 0));
    Fill(target.dc, RECT{0, 0, 40, 40}, kBlue);
    EXPECT_EQ(GetPixel(target.dc, 0, 0), kBlue);
    EXPECT_EQ(GetPixel(target.dc, 39, 39), kBlue);
    dc.PopClip(); // an empty stack stays empty
    EXPECT_EQ(dc.ClipDepth(), 0);
    dc.EndOffscreen();
}

TEST(DrawContext, OffscreenPaintWithoutBitmapPaintsDirectly)
{
    platform::Screen& screen = platform::Screen::Get();
    screen.Fill(0);
    HDC screenDc = GetDC(nullptr);
    IxDC dc(nullptr, 0);
    // Far wider than any bitmap the display can make.
    dc.BeginOffscreen(screenDc, RECT{0, 0, 100000, 100}, TRUE);
    EXPECT_FALSE(dc.IsOffscreen());
    EXPECT_EQ(dc.GetDC(), screenDc);
    EXPECT_EQ(dc.GetOriginX(), 0);
    ASSERT_TRUE(dc.PushClip(RECT{5, 5, 8, 8}));
    Fill(dc.GetDC(), RECT{0, 0, 20, 20}, kRed);
    EXPECT_EQ(screen.Pixel(5, 5), kRed565);
    EXPECT_EQ(screen.Pixel(7, 7), kRed565);
    EXPECT_EQ(screen.Pixel(8, 8), 0);
    HBITMAP kept = reinterpret_cast<HBITMAP>(1);
    EXPECT_EQ(dc.EndOffscreenKeep(&kept), screenDc);
    EXPECT_EQ(kept, nullptr);
    ReleaseDC(nullptr, screenDc);
}

TEST(DrawContext, OffscreenPaintWithClipAndOriginLandsAtTheRightPixels)
{
    platform::Screen& screen = platform::Screen::Get();
    screen.Fill(0);
    HWND window = MakeWindow(100, 50, 300, 200);
    ASSERT_NE(window, nullptr);
    HDC windowDc = GetDC(window);
    ASSERT_NE(windowDc, nullptr);

    IxDC dc(nullptr, 0);
    const RECT area{40, 30, 240, 130}; // window coordinates
    dc.BeginOffscreen(windowDc, area, TRUE);
    ASSERT_TRUE(dc.IsOffscreen());
    EXPECT_EQ(dc.GetOriginX(), -40);
    EXPECT_EQ(dc.GetOriginY(), -30);
    Fill(dc.GetDC(), area, kBlue);
    dc.PushClip(RECT{60, 40, 100, 80});
    Fill(dc.GetDC(), RECT{0, 0, 300, 200}, kRed);
    dc.PopClip();
    {
        // An element at (150, 60) draws in its own coordinates.
        RECT clip{150, 60, 160, 70};
        IxOriginShift shift(dc, &clip, 150, 60);
        EXPECT_FALSE(RectsDiffer(clip, RECT{0, 0, 10, 10}));
        dc.PushClip(RECT{0, 0, 5, 5});
        Fill(dc.GetDC(), RECT{0, 0, 10, 10}, kGreen);
        dc.PopClip();
    }
    EXPECT_EQ(dc.GetOriginX(), -40);
    EXPECT_EQ(screen.Pixel(140, 80), 0); // nothing reaches the screen before the end
    EXPECT_EQ(dc.EndOffscreen(), windowDc);

    struct Probe {
        int x, y; // window coordinates
        std::uint16_t expected;
    };
    const Probe probes[] = {
        {40, 30, kBlue565},   {239, 129, kBlue565}, {39, 30, 0},         {240, 30, 0},       {40, 130, 0},
        {60, 40, kRed565},    {99, 79, kRed565},    {100, 79, kBlue565}, {59, 40, kBlue565}, {150, 60, kGreen565},
        {154, 64, kGreen565}, {155, 60, kBlue565},  {150, 65, kBlue565},
    };
    for (const Probe& p : probes) {
        SCOPED_TRACE(testing::Message() << p.x << "," << p.y);
        EXPECT_EQ(screen.Pixel(100 + p.x, 50 + p.y), p.expected);
    }
    ReleaseDC(window, windowDc);
    DestroyWindow(window);
}

TEST(DrawContext, KeptBitmapHoldsThePaint)
{
    Canvas target(50, 50);
    IxDC dc(nullptr, 0);
    dc.BeginOffscreen(target.dc, RECT{10, 10, 30, 20}, TRUE);
    Fill(dc.GetDC(), RECT{10, 10, 30, 20}, kRed);
    Fill(dc.GetDC(), RECT{29, 19, 30, 20}, kGreen);
    HBITMAP kept = nullptr;
    EXPECT_EQ(dc.EndOffscreenKeep(&kept), target.dc);
    ASSERT_NE(kept, nullptr);
    IxGdiHolder holder(kept);
    BITMAP info{};
    ASSERT_TRUE(GetObjectW(kept, sizeof info, &info));
    EXPECT_EQ(info.bmWidth, 20);
    EXPECT_EQ(info.bmHeight, 10);
    EXPECT_EQ(GetPixel(target.dc, 10, 10), RGB(0, 0, 0)); // not copied

    EXPECT_TRUE(IxBitBlt(target.dc, kept, 0, 0, 20, 10, 0, 0, SRCCOPY));
    EXPECT_EQ(GetPixel(target.dc, 0, 0), kRed);
    EXPECT_EQ(GetPixel(target.dc, 19, 9), kGreen);
    EXPECT_TRUE(IxStretchBlt(target.dc, kept, 0, 20, 40, 20, 0, 0, 20, 10, SRCCOPY));
    EXPECT_EQ(GetPixel(target.dc, 0, 20), kRed);
    EXPECT_EQ(GetPixel(target.dc, 39, 39), kGreen);
    EXPECT_EQ(GetPixel(target.dc, 38, 38), kGreen);
    EXPECT_EQ(GetPixel(target.dc, 37, 37), kRed);
    Fill(target.dc, RECT{0, 0, 50, 50}, RGB(0, 0, 0));
    EXPECT_TRUE(IxAlphaBlend(target.dc, kept, 0, 0, 20, 10, 0, 0, 20, 10, 128));
    const COLORREF blended = GetPixel(target.dc, 0, 0);
    EXPECT_NEAR(GetRValue(blended), 128, 8);
    EXPECT_EQ(GetGValue(blended), 0);
}

TEST(DrawContext, AttachSelectsFontZeroAndReleaseGivesItBack)
{
    platform::Screen::Get().Fill(0);
    HWND window = MakeWindow(0, 0, 100, 100);
    ASSERT_NE(window, nullptr);
    IxFontTable table;
    table.Add(Entry(0, -14, &kFaceA, kBlue));
    IxDC dc(&table, 0);
    EXPECT_FALSE(dc.Attach(static_cast<HWND>(nullptr)));
    ASSERT_TRUE(dc.Attach(window));
    ASSERT_NE(dc.GetDC(), nullptr);
    ASSERT_NE(table.At(0)->pFont, nullptr);
    EXPECT_EQ(GetCurrentObject(dc.GetDC(), OBJ_FONT), table.At(0)->pFont->hFont);
    EXPECT_EQ(GetTextColor(dc.GetDC()), kBlue);
    dc.Release();
    EXPECT_EQ(dc.GetDC(), nullptr);
    EXPECT_EQ(table.At(0)->pFont, nullptr);
    DestroyWindow(window);
}

TEST(GdiHolders, DeleteAndRestore)
{
    Canvas canvas(4, 4);
    HBRUSH brush = CreateSolidBrush(kRed);
    {
        IxGdiHolder holder(brush);
        HGDIOBJ before = GetCurrentObject(canvas.dc, OBJ_BRUSH);
        {
            IxSelectHolder select(canvas.dc, brush);
            EXPECT_EQ(select.Previous(), before);
            EXPECT_EQ(GetCurrentObject(canvas.dc, OBJ_BRUSH), brush);
            IxStockSelectHolder stock(canvas.dc, BLACK_BRUSH);
            EXPECT_EQ(stock.Previous(), brush);
            EXPECT_EQ(GetCurrentObject(canvas.dc, OBJ_BRUSH), GetStockObject(BLACK_BRUSH));
        }
        EXPECT_EQ(GetCurrentObject(canvas.dc, OBJ_BRUSH), before);
        EXPECT_EQ(GetObjectType(brush), static_cast<DWORD>(OBJ_BRUSH));
    }
    EXPECT_EQ(GetObjectType(brush), 0u);
    IxGdiHolder empty; // nothing to delete
    EXPECT_EQ(empty.Get(), nullptr);
}

TEST(RectTests, EdgesAndOverlap)
{
    const RECT r{10, 20, 30, 40};
    struct Case {
        RECT other;
        BOOL intersects;
    };
    const Case cases[] = {
        {{0, 0, 10, 20}, FALSE},                             // touches the top-left corner only
        {{30, 20, 40, 40}, FALSE},                           // starts at the right edge
        {{10, 40, 30, 50}, FALSE},                           // starts at the bottom edge
        {{29, 39, 31, 41}, TRUE},                            // covers the last pixel
        {{0, 0, 11, 21}, TRUE},    {{15, 25, 16, 26}, TRUE}, // inside
        {{0, 0, 100, 100}, TRUE},                            // around
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.other.left << "," << c.other.top);
        EXPECT_EQ(RectsIntersect(r, c.other), c.intersects);
        EXPECT_EQ(RectsIntersect(c.other, r), c.intersects);
        EXPECT_TRUE(RectsDiffer(r, c.other));
    }
    EXPECT_FALSE(RectsDiffer(r, RECT{10, 20, 30, 40}));
    EXPECT_TRUE(RectsDiffer(r, RECT{10, 20, 30, 41}));

    EXPECT_TRUE(PtInRectInclusive(r, POINT{30, 40}));
    EXPECT_TRUE(PtInRectInclusive(r, POINT{10, 20}));
    EXPECT_FALSE(PtInRectInclusive(r, POINT{31, 40}));
    EXPECT_FALSE(PtInRectInclusive(r, POINT{30, 41}));
    EXPECT_FALSE(PtInRectInclusive(r, POINT{9, 20}));
}
