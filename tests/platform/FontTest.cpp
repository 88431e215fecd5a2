#include "platform/gfx/Font.h"

#include "platform/base/Error.h"
#include "platform/base/Text.h"
#include "platform/io/File.h"
#include "platform/unit/Unit.h"

#include "tests/common/TempUnit.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>

namespace fs = std::filesystem;

namespace {

constexpr WCHAR kUnitFont[] = u"\\NAND\\Wren\\Corvan_AVN.ttf";
constexpr char16_t kHangul[] = u"음악 라디오 설정";
constexpr const char* kNanum = "/usr/share/fonts/truetype/nanum/";

HFONT MakeFont(LONG height, std::u16string_view face = u"", LONG weight = FW_NORMAL, BYTE quality = DEFAULT_QUALITY)
{
    LOGFONTW lf{};
    lf.lfHeight = height;
    lf.lfWeight = weight;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfQuality = quality;
    face.copy(lf.lfFaceName, LF_FACESIZE - 1);
    return CreateFontIndirectW(&lf);
}

// A white 32-bit top-down memory DC with the font selected, black text,
// transparent background.
struct Canvas {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ oldBitmap = nullptr;
    BYTE* bits = nullptr;
    int width;
    int height;
    int bpp;

    Canvas(int w, int h, int bitsPerPixel = 32) : width(w), height(h), bpp(bitsPerPixel)
    {
        dc = CreateCompatibleDC(nullptr);
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = w;
        info.bmiHeader.biHeight = -h;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = static_cast<WORD>(bpp);
        info.bmiHeader.biCompression = bpp == 16 ? BI_BITFIELDS : BI_RGB;
        if (bpp == 16) {
            const DWORD masks[3] = {0xF800, 0x07E0, 0x001F};
            std::memcpy(info.bmiColors, masks, sizeof masks);
        }
        void* p = nullptr;
        bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &p, nullptr, 0);
        bits = static_cast<BYTE*>(p);
        oldBitmap = SelectObject(dc, bitmap);
        Clear();
        SetTextColor(dc, RGB(0, 0, 0));
        SetBkMode(dc, TRANSPARENT);
    }
    ~Canvas()
    {
        SelectObject(dc, oldBitmap);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    int Stride() const { return ((width * bpp / 8) + 3) & ~3; }
    void Clear()
    {
        if (bits)
            std::memset(bits, 0xFF, static_cast<std::size_t>(Stride()) * height);
    }
    COLORREF Pixel(int x, int y) const
    {
        const BYTE* p = bits + static_cast<std::ptrdiff_t>(y) * Stride() + x * (bpp / 8);
        if (bpp == 16)
            return platform::FromRgb565(static_cast<WORD>(p[0] | (p[1] << 8)));
        return RGB(p[2], p[1], p[0]);
    }
    bool Inked(int x, int y) const { return Pixel(x, y) != RGB(255, 255, 255); }
    bool Dark(int x, int y) const { return GetGValue(Pixel(x, y)) < 128; }
    // Bounding box of everything not white (dark only: at least half
    // covered); empty when nothing is drawn.
    RECT Ink(bool darkOnly = false) const
    {
        RECT r{width, height, 0, 0};
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if (darkOnly ? Dark(x, y) : Inked(x, y))
                    r = RECT{std::min<LONG>(r.left, x), std::min<LONG>(r.top, y), std::max<LONG>(r.right, x + 1),
                             std::max<LONG>(r.bottom, y + 1)};
        return r;
    }
    std::vector<COLORREF> Pixels() const
    {
        std::vector<COLORREF> out;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                out.push_back(Pixel(x, y));
        return out;
    }
};

class FontTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_unit.IsOpen());
        ASSERT_TRUE(platform::InstallUnitFonts());
        ASSERT_EQ(AddFontResourceW(kUnitFont), 1);
    }
    void TearDown() override
    {
        for (HFONT font : m_fonts)
            DeleteObject(font);
        RemoveFontResourceW(kUnitFont);
        for (const std::u16string& path : m_added)
            RemoveFontResourceW(path.c_str());
    }
    HFONT Font(LONG height, std::u16string_view face = u"", LONG weight = FW_NORMAL, BYTE quality = DEFAULT_QUALITY)
    {
        HFONT font = MakeFont(height, face, weight, quality);
        EXPECT_NE(font, nullptr);
        m_fonts.push_back(font);
        return font;
    }
    // Copies a system font into the unit's \NAND\Wren and adds it.
    void AddSystemFont(const std::string& file)
    {
        fs::copy_file(kNanum + file, m_root + "/NAND/Wren/" + file);
        m_added.push_back(u"\\NAND\\Wren\\" + platform::FromUtf8(file));
        ASSERT_EQ(AddFontResourceW(m_added.back().c_str()), 1);
    }
    // The text drawn black on white at (4, 4).
    std::vector<COLORREF> Render(HFONT font, std::u16string_view text)
    {
        Canvas c(240, 40);
        SelectObject(c.dc, font);
        ExtTextOutW(c.dc, 4, 4, 0, nullptr, text.data(), static_cast<UINT>(text.size()), nullptr);
        return c.Pixels();
    }
    // Sum of the darkness of every pixel.
    static long Darkness(const std::vector<COLORREF>& pixels)
    {
        long sum = 0;
        for (COLORREF p : pixels)
            sum += 255 - GetGValue(p);
        return sum;
    }
    int Width(HFONT font, std::u16string_view text)
    {
        Canvas c(8, 8);
        SelectObject(c.dc, font);
        SIZE size{};
        EXPECT_TRUE(GetTextExtentPoint32W(c.dc, text.data(), static_cast<int>(text.size()), &size));
        return size.cx;
    }

    TempUnit m_unit{"wren-font"};
    const std::string& m_root = m_unit.Root();
    std::vector<HFONT> m_fonts;
    std::vector<std::u16string> m_added;
};

TEST_F(FontTest, MissingGlyphsAreCountedAndDrawnAsBoxes)
{
    struct Case {
        std::u16string text;
        int missing;
    } cases[] = {
        {kHangul, 0},
        {u"Wren 123", 0},
        {u"A\U0010FFFD", 1}, // a surrogate pair, one character
        {u"A\xD800"
         u"B",
         1}, // an unpaired surrogate
    };
    HFONT font = Font(-20);
    for (const Case& c : cases) {
        SCOPED_TRACE(platform::ToUtf8(c.text));
        EXPECT_EQ(platform::CountMissingGlyphs(font, c.text.c_str()), c.missing);
        Canvas canvas(300, 40);
        SelectObject(canvas.dc, font);
        ASSERT_TRUE(
            ExtTextOutW(canvas.dc, 0, 0, 0, nullptr, c.text.c_str(), static_cast<UINT>(c.text.size()), nullptr));
        // The last character (glyph or box) leaves ink after the first's advance.
        int dx[16] = {};
        ASSERT_TRUE(
            GetTextExtentExPointW(canvas.dc, c.text.c_str(), static_cast<int>(c.text.size()), 0, nullptr, dx, nullptr));
        const int lastStart = dx[c.text.size() - 1 - (c.text.back() >= 0xDC00 && c.text.back() < 0xE000 ? 2 : 1)];
        const RECT ink = canvas.Ink();
        EXPECT_GT(ink.right, lastStart + 1);
    }
    EXPECT_EQ(platform::CountMissingGlyphs(nullptr, u"x"), -1);
}

TEST_F(FontTest, HeightsGiveTheirPixelSizes)
{
    Canvas c(8, 8);
    TEXTMETRICW tm{};
    SelectObject(c.dc, Font(-20));
    ASSERT_TRUE(GetTextMetricsW(c.dc, &tm));
    EXPECT_EQ(tm.tmHeight - tm.tmInternalLeading, 20);
    EXPECT_EQ(tm.tmAscent + tm.tmDescent, tm.tmHeight);
    EXPECT_EQ(tm.tmCharSet, HANGUL_CHARSET);
    // A positive height is the cell height.
    SelectObject(c.dc, Font(30));
    ASSERT_TRUE(GetTextMetricsW(c.dc, &tm));
    EXPECT_NEAR(tm.tmHeight, 30, 1);
}

TEST_F(FontTest, ExtentsAndAdvancesMatchWhatIsDrawn)
{
    const std::u16string text = u"Wren 음악";
    const int n = static_cast<int>(text.size());
    for (int bpp : {16, 24, 32}) {
        SCOPED_TRACE(bpp);
        Canvas whole(300, 40, bpp);
        SelectObject(whole.dc, Font(-20));
        std::vector<int> dx(n);
        SIZE size{};
        int fit = -1;
        ASSERT_TRUE(GetTextExtentExPointW(whole.dc, text.c_str(), n, 0, nullptr, dx.data(), &size));
        EXPECT_EQ(dx.back(), size.cx);
        ASSERT_TRUE(GetTextExtentExPointW(whole.dc, text.c_str(), n, dx[2], &fit, nullptr, nullptr));
        EXPECT_EQ(fit, 3);

        ASSERT_TRUE(ExtTextOutW(whole.dc, 10, 5, 0, nullptr, text.c_str(), n, nullptr));
        const RECT ink = whole.Ink();
        EXPECT_GE(ink.left, 10 - 1);
        EXPECT_LE(ink.right, 10 + size.cx + 1);
        EXPECT_GE(ink.right, 10 + size.cx - 3);

        // Character by character at the cumulative advances: the same pixels.
        Canvas pieces(300, 40, bpp);
        SelectObject(pieces.dc, Font(-20));
        for (int i = 0; i < n; ++i)
            ExtTextOutW(pieces.dc, 10 + (i ? dx[i - 1] : 0), 5, 0, nullptr, &text[i], 1, nullptr);
        EXPECT_EQ(whole.Pixels(), pieces.Pixels());

        // Given advances place each character where they say.
        whole.Clear();
        pieces.Clear();
        const std::vector<int> spread(n, 30);
        ASSERT_TRUE(ExtTextOutW(whole.dc, 10, 5, 0, nullptr, text.c_str(), n, spread.data()));
        for (int i = 0; i < n; ++i)
            ExtTextOutW(pieces.dc, 10 + 30 * i, 5, 0, nullptr, &text[i], 1, nullptr);
        EXPECT_EQ(whole.Pixels(), pieces.Pixels());
    }
}

TEST_F(FontTest, BoldIsWider)
{
    for (bool boldFile : {false, true}) {
        SCOPED_TRACE(boldFile);
        if (boldFile)
            AddSystemFont("NanumGothicBold.ttf");
        HFONT regular = Font(-20, u"NanumGothic");
        HFONT bold = Font(-20, u"NanumGothic", FW_BOLD);
        // Emboldening widens the advances; the bold face keeps them and
        // draws wider strokes.
        if (boldFile)
            EXPECT_EQ(Width(bold, u"Wren Radio"), Width(regular, u"Wren Radio"));
        else
            EXPECT_GT(Width(bold, u"Wren Radio"), Width(regular, u"Wren Radio"));
        EXPECT_GT(Darkness(Render(bold, kHangul)), Darkness(Render(regular, kHangul)) * 11 / 10);
    }
}

TEST_F(FontTest, AlignmentPlacesTheText)
{
    const std::u16string text = u"HIH"; // no descenders, flat bottom on the baseline
    struct Case {
        UINT align;
        int x;
        int y;
    } cases[] = {{TA_LEFT | TA_TOP, 20, 10}, {TA_RIGHT | TA_BASELINE, 150, 40}, {TA_CENTER | TA_BOTTOM, 100, 45}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.align);
        Canvas canvas(200, 60);
        SelectObject(canvas.dc, Font(-20));
        TEXTMETRICW tm{};
        SIZE size{};
        GetTextMetricsW(canvas.dc, &tm);
        GetTextExtentPoint32W(canvas.dc, text.c_str(), 3, &size);
        SetTextAlign(canvas.dc, c.align);
        ASSERT_TRUE(ExtTextOutW(canvas.dc, c.x, c.y, 0, nullptr, text.c_str(), 3, nullptr));
        const int left = (c.align & TA_CENTER) == TA_CENTER ? c.x - size.cx / 2
            : (c.align & TA_RIGHT)                          ? c.x - size.cx
                                                            : c.x;
        const int baseline = (c.align & TA_BASELINE) == TA_BASELINE ? c.y
            : (c.align & TA_BOTTOM)                                 ? c.y - tm.tmDescent
                                                                    : c.y + tm.tmAscent;
        const RECT ink = canvas.Ink(true);
        EXPECT_NEAR(ink.left, left + 1, 2);
        EXPECT_NEAR(ink.right, left + size.cx, 3);
        EXPECT_NEAR(ink.bottom, baseline, 1); // this font's H dips a little below it
        EXPECT_GT(ink.top, baseline - tm.tmAscent);
    }
}

TEST_F(FontTest, OpaqueBackgroundAndQuality)
{
    struct Case {
        BYTE quality;
        bool greys; // antialiased edges
    } cases[] = {{DEFAULT_QUALITY, true}, {ANTIALIASED_QUALITY, true}, {NONANTIALIASED_QUALITY, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.quality);
        Canvas canvas(200, 40);
        SelectObject(canvas.dc, Font(-20, u"", FW_NORMAL, c.quality));
        SetBkMode(canvas.dc, OPAQUE);
        SetBkColor(canvas.dc, RGB(255, 0, 0));
        SetTextColor(canvas.dc, RGB(0, 0, 255));
        SIZE size{};
        GetTextExtentPoint32W(canvas.dc, kHangul, 8, &size);
        ASSERT_TRUE(ExtTextOutW(canvas.dc, 5, 5, 0, nullptr, kHangul, 8, nullptr));
        EXPECT_EQ(canvas.Pixel(5, 5), RGB(255, 0, 0));
        EXPECT_EQ(canvas.Pixel(5 + size.cx - 1, 5 + size.cy - 1), RGB(255, 0, 0));
        EXPECT_EQ(canvas.Pixel(5 + size.cx, 5), RGB(255, 255, 255));
        std::set<COLORREF> colours;
        for (COLORREF p : canvas.Pixels())
            colours.insert(p);
        EXPECT_TRUE(colours.count(RGB(0, 0, 255)));
        EXPECT_EQ(colours.size() > 3, c.greys);
    }
}

TEST_F(FontTest, FaceNamesResolveToAddedFamiliesElseFallBack)
{
    AddSystemFont("NanumMyeongjo.ttf");
    const auto gothic = Render(Font(-20, u"NanumGothic"), kHangul);
    const auto myeongjo = Render(Font(-20, u"NanumMyeongjo"), kHangul);
    EXPECT_NE(gothic, myeongjo);
    EXPECT_EQ(Render(Font(-20, u"나눔명조"), kHangul), myeongjo);
    EXPECT_EQ(Render(Font(-20, u"nanummyeongjo"), kHangul), myeongjo);
    EXPECT_EQ(Render(Font(-20, u"No Such Face"), kHangul), gothic);
    EXPECT_EQ(Render(Font(-20, u""), kHangul), gothic);

    // Without the unit's font the system's NanumGothic still draws.
    RemoveFontResourceW(kUnitFont);
    fs::remove(m_root + "/NAND/Wren/Corvan_AVN.ttf");
    HFONT font = Font(-20, u"No Such Face");
    EXPECT_EQ(platform::CountMissingGlyphs(font, kHangul), 0);
    EXPECT_EQ(Render(font, kHangul), gothic);
}

TEST_F(FontTest, AddingABadFileFails)
{
    std::ofstream(m_root + "/NAND/Wren/Corrupt.ttf") << "this is not a font file";
    {
        std::ifstream in(std::string(kNanum) + "NanumGothic.ttf", std::ios::binary);
        std::string head(2000, '\0');
        in.read(head.data(), static_cast<std::streamsize>(head.size()));
        std::ofstream(m_root + "/NAND/Wren/Truncated.ttf", std::ios::binary) << head;
    }
    struct Case {
        const WCHAR* path;
        DWORD error;
    } cases[] = {
        {u"\\NAND\\Wren\\Missing.ttf", ERROR_FILE_NOT_FOUND},
        {u"\\NAND\\Wren\\Corrupt.ttf", 13},
        {u"\\NAND\\Wren\\Truncated.ttf", 13},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(platform::ToUtf8(c.path));
        SetLastError(0);
        EXPECT_EQ(AddFontResourceW(c.path), 0);
        EXPECT_EQ(GetLastError(), c.error);
        EXPECT_FALSE(RemoveFontResourceW(c.path));
    }
}

} // namespace

TEST_F(FontTest, FamiliesOfTheAddedFilesAreEnumerated)
{
    struct Found {
        std::vector<std::u16string> names;
        int stopAfter = 0;
    };
    auto proc = [](const LOGFONTW* font, const TEXTMETRICW*, DWORD type, LPARAM param) -> int {
        auto* found = reinterpret_cast<Found*>(param);
        EXPECT_EQ(type, TRUETYPE_FONTTYPE);
        found->names.emplace_back(font->lfFaceName);
        return static_cast<int>(found->names.size()) == found->stopAfter ? 0 : 1;
    };
    Found all;
    EXPECT_EQ(EnumFontFamiliesW(nullptr, nullptr, proc, reinterpret_cast<LPARAM>(&all)), 1);
    EXPECT_NE(std::find(all.names.begin(), all.names.end(), u"NanumGothic"), all.names.end());
    Found one;
    EnumFontFamiliesW(nullptr, u"nanumgothic", proc, reinterpret_cast<LPARAM>(&one));
    EXPECT_EQ(one.names, std::vector<std::u16string>{u"NanumGothic"});
    Found none;
    EnumFontFamiliesW(nullptr, u"No Such Family", proc, reinterpret_cast<LPARAM>(&none));
    EXPECT_TRUE(none.names.empty());
    Found first;
    first.stopAfter = 1;
    EXPECT_EQ(EnumFontFamiliesW(nullptr, nullptr, proc, reinterpret_cast<LPARAM>(&first)), 0);
    EXPECT_EQ(first.names.size(), 1u);
}
