#include "Lib_cpp/image/Image.h"

#include "Lib_cpp/image/Bitmap.h"
#include "platform/unit/Unit.h"

#include "tests/common/TempUnit.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using Bytes = std::vector<BYTE>;
using Painter = std::function<COLORREF(int x, int y)>;

namespace {

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kMagenta = RGB(255, 0, 255);
constexpr COLORREF kGray = RGB(128, 128, 128);

void Put16(Bytes& b, unsigned v)
{
    b.push_back(static_cast<BYTE>(v & 0xFF));
    b.push_back(static_cast<BYTE>((v >> 8) & 0xFF));
}
void Put32(Bytes& b, std::uint32_t v)
{
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

// A 24-bit bottom-up BMP of w x h painted by `paint`.
Bytes MakeBmp(int w, int h, const Painter& paint)
{
    const std::uint32_t stride = (static_cast<std::uint32_t>(w) * 3 + 3) & ~3u;
    Bytes b{'B', 'M'};
    Put32(b, 54 + stride * static_cast<std::uint32_t>(h));
    Put32(b, 0);
    Put32(b, 54);
    Put32(b, 40);
    Put32(b, static_cast<std::uint32_t>(w));
    Put32(b, static_cast<std::uint32_t>(h));
    Put16(b, 1);
    Put16(b, 24);
    for (int i = 0; i < 6; ++i)
        Put32(b, 0);
    for (int y = h - 1; y >= 0; --y) {
        for (int x = 0; x < w; ++x) {
            const COLORREF c = paint(x, y);
            b.push_back(GetBValue(c));
            b.push_back(GetGValue(c));
            b.push_back(GetRValue(c));
        }
        b.resize(b.size() + (stride - static_cast<std::uint32_t>(w) * 3), 0);
    }
    return b;
}

bool Near(COLORREF a, COLORREF b, int tolerance = 8)
{
    return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance && std::abs(GetGValue(a) - GetGValue(b)) <= tolerance
        && std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

// A 24-bit section filled with grey, drawn into through an IxDC.
class Target {
public:
    Target(int w, int h) : m_dc(nullptr, 0)
    {
        int bits = 24, width = w, height = h;
        IxCreateDib(nullptr, &bits, &width, &height, &m_section, nullptr, &m_mem, &m_old);
        RECT all{0, 0, w, h};
        HBRUSH grey = CreateSolidBrush(kGray);
        FillRect(m_mem, &all, grey);
        DeleteObject(grey);
        m_dc.BeginOffscreen(m_mem, all, FALSE);
    }
    ~Target()
    {
        m_dc.EndOffscreen();
        SelectObject(m_mem, m_old);
        DeleteDC(m_mem);
        DeleteObject(m_section);
    }
    IxDC* dc() { return &m_dc; }
    COLORREF At(int x, int y) const { return GetPixel(m_mem, x, y); }

private:
    IxDC m_dc;
    HBITMAP m_section = nullptr;
    HDC m_mem = nullptr;
    HGDIOBJ m_old = nullptr;
};

class ImageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(m_unit.Host("NAND/Wren/Images"));
        IxImageCacheInit();
    }
    void TearDown() override { IxImageCacheShutdown(); }
    std::u16string Write(const std::string& name, int w, int h, const Painter& paint)
    {
        const Bytes bytes = MakeBmp(w, h, paint);
        std::ofstream(m_unit.Host("NAND/Wren/Images/" + name), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return u"\\NAND\\Wren\\Images\\" + std::u16string(name.begin(), name.end());
    }

    TempUnit m_unit{"pavo-image"};
};

const COLORREF kStripColours[5] = {kRed, kGreen, kBlue, kWhite, kMagenta};

TEST_F(ImageTest, StatesSelectFramesThroughTheTable)
{
    // Five 20 x 10 frames side by side, one colour each.
    const auto path = Write("strip.bmp", 100, 10, [](int x, int) { return kStripColours[x / 20]; });
    const int table[6] = {3, 0, -1, 4, 1, 2};
    struct Case {
        const int* table;
        int state;
        int frame; // -1: nothing drawn
    };
    const Case cases[] = {
        {table, -20, 3},   {table, -19, 0},   {table, -18, -1},   {table, -15, 2},
        {nullptr, -20, 0}, {nullptr, -16, 4}, {nullptr, -15, -1}, // default table: 0 ... 4, then -1
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "table " << (c.table ? "given" : "default") << ", state " << c.state);
        IxImageRef* ref = IxImageRef::CreateFrames(c.table, path.c_str(), 5, IXLM_NOW);
        ASSERT_NE(nullptr, ref);
        SIZE size{};
        EXPECT_EQ(0, ref->Query(IXIQ_SIZE, reinterpret_cast<INT_PTR>(&size)));
        EXPECT_EQ(20, size.cx);
        EXPECT_EQ(10, size.cy);
        EXPECT_EQ(c.frame >= 0 ? 1 : 0, ref->Query(IXIQ_HASFRAME, c.state));
        ref->Control(IXIC_SETFRAME, c.state);
        EXPECT_EQ(c.frame, ref->Query(IXIQ_CURFRAME, 0));

        Target target(20, 10);
        const RECT dst{0, 0, 20, 10};
        EXPECT_EQ(c.frame >= 0 ? 1 : 0, ref->Draw(target.dc(), dst, nullptr));
        EXPECT_EQ(c.frame >= 0 ? kStripColours[c.frame] : kGray, target.At(10, 5));
        ref->Release();
    }
}

TEST_F(ImageTest, AMissingFrameDrawsNothingAndAnswersZero)
{
    const auto present = Write("present.bmp", 10, 10, [](int, int) { return kRed; });
    IxStringArray paths;
    paths.AddText(present.c_str());
    paths.AddText(u"\\NAND\\Wren\\Images\\absent.bmp");
    IxBitmapImage* list = new IxBitmapImage(paths, IXLM_FIRST);
    IxBitmapImage* lost = new IxBitmapImage(u"\\NAND\\Wren\\Images\\absent.bmp", IXLM_NOW);
    IxImageRef* none = new IxImageRef(nullptr, nullptr);

    struct Case {
        const char* name;
        IxImage* image;
        int frame; // selected before drawing; -2 leaves it alone
    } const cases[] = {
        {"list frame whose file is missing", list, 1},
        {"no current frame", list, -1},
        {"single file missing", lost, -2},
        {"reference without an image", none, -2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.frame != -2)
            c.image->Control(IXIC_SETFRAME, c.frame);
        Target target(10, 10);
        const RECT dst{0, 0, 10, 10};
        EXPECT_EQ(0, c.image->Draw(target.dc(), dst, &dst));
        EXPECT_EQ(kGray, target.At(5, 5));
    }
    EXPECT_EQ(-1, none->Query(IXIQ_CURFRAME, 0));
    // The present frame still draws.
    list->Control(IXIC_SETFRAME, 0);
    Target target(10, 10);
    EXPECT_EQ(1, list->Draw(target.dc(), RECT{0, 0, 10, 10}, nullptr));
    EXPECT_EQ(kRed, target.At(5, 5));
    list->Release();
    lost->Release();
    none->Release();
}

// A list read on demand keeps its size when a frame not read yet is chosen,
// so whatever lays out or draws by the size still shows that frame.
TEST_F(ImageTest, AListFrameChosenBeforeItIsReadKeepsTheSizeAndDraws)
{
    IxStringArray paths;
    paths.AddText(Write("first.bmp", 10, 10, [](int, int) { return kRed; }).c_str());
    paths.AddText(Write("second.bmp", 10, 10, [](int, int) { return kBlue; }).c_str());
    IxDecodedImage* list = new IxDecodedImage(paths, IXLM_FIRST, 0);
    list->Control(IXIC_SETFRAME, 1);
    SIZE size{0, 0};
    list->Query(IXIQ_SIZE, reinterpret_cast<INT_PTR>(&size));
    EXPECT_EQ(10, size.cx);
    EXPECT_EQ(10, size.cy);
    Target target(10, 10);
    EXPECT_EQ(1, list->Draw(target.dc(), RECT{0, 0, 10, 10}, nullptr));
    EXPECT_EQ(kBlue, target.At(5, 5));
    list->Release();
}

TEST_F(ImageTest, FrameCommands)
{
    const auto strip = Write("five.bmp", 50, 5, [](int x, int) { return kStripColours[x / 10]; });
    const auto single = Write("one.bmp", 10, 5, [](int, int) { return kRed; });
    IxBitmapImage* five = new IxBitmapImage(strip.c_str(), 5, IXLM_NOW);
    IxBitmapImage* one = new IxBitmapImage(single.c_str(), IXLM_NOW);
    struct Step {
        IxImage* image;
        int command;
        INT_PTR argument;
        BOOL result;
        int frame; // current afterwards
    } const steps[] = {
        {five, IXIC_SETFRAME, 4, 1, 4},   {five, IXIC_SETFRAME, 4, 0, 4}, // unchanged
        {five, IXIC_NEXTFRAME, 0, 1, 0},                                  // wraps
        {five, IXIC_FIRSTFRAME, 0, 0, 0},                                 // already there
        {five, IXIC_SETFRAME, 5, 0, 0},                                   // out of range
        {five, IXIC_SETFRAME, -2, 0, 0},  {five, 4, 0, 0, 0},             // not taken
        {one, IXIC_NEXTFRAME, 0, 0, 0},   {one, IXIC_ROTATE, 90, 0, 0},   // bitmaps do not turn
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(testing::Message() << "command " << s.command << " " << s.argument);
        EXPECT_EQ(s.result, s.image->Control(s.command, s.argument));
        EXPECT_EQ(s.frame, s.image->Query(IXIQ_CURFRAME, 0));
    }
    // Unload releases the picture; the next draw loads it again.
    EXPECT_EQ(1, five->Control(IXIC_UNLOAD, 0));
    five->Control(IXIC_SETFRAME, 3);
    Target target(10, 5);
    EXPECT_EQ(1, five->Draw(target.dc(), RECT{0, 0, 10, 5}, nullptr));
    EXPECT_EQ(kStripColours[3], target.At(5, 2));
    five->Release();
    one->Release();
}

// Frame 1 of a two-frame strip of 100 x 50 frames: red left of x = 50, green
// from there, and a magenta square at 10 ... 19. Frame 0 is blue.
COLORREF ModeFramePixel(int x, int y)
{
    if (x < 100)
        return kBlue;
    x -= 100;
    if (x >= 10 && x < 20 && y >= 10 && y < 20)
        return kMagenta;
    return x < 50 ? kRed : kGreen;
}

COLORREF Blend(COLORREF src, COLORREF dst, int alpha)
{
    auto mix = [&](int s, int d) { return static_cast<BYTE>((s * alpha + d * (255 - alpha)) / 255); };
    return RGB(mix(GetRValue(src), GetRValue(dst)), mix(GetGValue(src), GetGValue(dst)),
               mix(GetBValue(src), GetBValue(dst)));
}

TEST_F(ImageTest, DrawModesLandTheRightPixelsUnderAClip)
{
    const auto path = Write("modes.bmp", 200, 50, ModeFramePixel);
    struct Mode {
        const char* name;
        int command;
        INT_PTR argument;
        std::function<COLORREF(COLORREF)> expect; // from the source colour
    } const modes[] = {
        {"copy", IXIC_COPY, 0, [](COLORREF c) { return c; }},
        {"constant alpha", IXIC_ALPHA, 0x140, [](COLORREF c) { return Blend(c, kGray, 0x40); }},
        {"colour key", IXIC_COLORKEY, static_cast<INT_PTR>(kMagenta),
         [](COLORREF c) { return c == kMagenta ? kGray : c; }},
        {"none", IXIC_NODRAW, 0, [](COLORREF) { return kGray; }},
    };
    // Frame-local points: inside the clip (red, magenta, green) and outside.
    const POINT visible[] = {{5, 5}, {15, 15}, {52, 30}};
    const POINT hidden[] = {{60, 5}, {99, 49}};
    for (int scale : {1, 2}) {
        for (const Mode& m : modes) {
            SCOPED_TRACE(testing::Message() << m.name << ", scale " << scale);
            IxBitmapImage* image = new IxBitmapImage(path.c_str(), 2, IXLM_NOW);
            image->Control(IXIC_SETFRAME, 1);
            ASSERT_EQ(1, image->Control(m.command, m.argument));
            Target target(20 + 100 * scale + 20, 10 + 50 * scale + 10);
            const RECT dst{20, 10, 20 + 100 * scale, 10 + 50 * scale};
            const RECT clip{0, 0, 20 + 55 * scale, 200}; // the left 55 frame pixels
            EXPECT_EQ(1, image->Draw(target.dc(), dst, &clip));
            auto at = [&](POINT p) { return target.At(dst.left + p.x * scale, dst.top + p.y * scale); };
            for (POINT p : visible) {
                const COLORREF want = m.expect(ModeFramePixel(100 + p.x, p.y));
                EXPECT_TRUE(Near(want, at(p), 3)) << p.x << "," << p.y << ": " << std::hex << at(p);
            }
            for (POINT p : hidden)
                EXPECT_EQ(kGray, at(p)) << p.x << "," << p.y;
            EXPECT_EQ(kGray, target.At(10, 5)); // outside dst
            image->Release();
        }
    }
}

TEST_F(ImageTest, QuarterFramesMirrorTheFirstQuarter)
{
    // Seven 8 x 8 frames, each telling its file and its pixel position.
    auto pixel = [](int file, int x, int y) { return RGB(x * 30, y * 30, file * 30); };
    IxStringArray paths;
    for (int k = 0; k < 7; ++k) {
        const auto path
            = Write(std::string("q") + std::to_string(k) + ".bmp", 8, 8, [&](int x, int y) { return pixel(k, x, y); });
        paths.AddText(path.c_str());
    }
    IxDecodedImage* image = new IxDecodedImage(paths, IXLM_FIRST, IxDecodedImage::kQuarterFrames);
    EXPECT_EQ(24, image->Query(IXIQ_FRAMECOUNT, 0));
    struct Case {
        int frame, file;
        bool flipX, flipY;
    } const cases[] = {
        {3, 3, false, false}, {6, 6, false, false}, {12, 0, false, true}, {7, 5, false, true},
        {18, 6, true, true},  {13, 1, true, true},  {19, 5, true, false}, {23, 1, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "frame " << c.frame);
        ASSERT_EQ(1, image->Control(IXIC_SETFRAME, c.frame));
        Target target(8, 8);
        ASSERT_EQ(1, image->Draw(target.dc(), RECT{0, 0, 8, 8}, nullptr));
        for (POINT p : {POINT{1, 2}, POINT{6, 1}, POINT{2, 7}}) {
            const COLORREF want = pixel(c.file, c.flipX ? 7 - p.x : p.x, c.flipY ? 7 - p.y : p.y);
            EXPECT_TRUE(Near(want, target.At(p.x, p.y)))
                << p.x << "," << p.y << ": " << std::hex << target.At(p.x, p.y);
        }
    }
    image->Release();
}

TEST_F(ImageTest, RotationByAQuarterTurnsA200By100PictureOnItsSide)
{
    // Quadrants: red top-left, green top-right, blue bottom-left, white bottom-right.
    const auto path = Write("turn.bmp", 200, 100, [](int x, int y) {
        const COLORREF q[4] = {kRed, kGreen, kBlue, kWhite};
        return q[(x >= 100 ? 1 : 0) + (y >= 50 ? 2 : 0)];
    });
    IxRotatedImage* image = new IxRotatedImage(200, 100, 8, path.c_str());
    ASSERT_FALSE(image->GetSource().IsEmpty());
    EXPECT_EQ(0, image->Control(IXIC_ROTATE, 45));
    EXPECT_EQ(1, image->Control(IXIC_ROTATE, 90));
    EXPECT_EQ(4, image->Query(IXIQ_FRAMECOUNT, 0));
    EXPECT_EQ(1, image->Query(IXIQ_CURFRAME, 0));
    SIZE size{};
    image->Query(IXIQ_SIZE, reinterpret_cast<INT_PTR>(&size));
    EXPECT_EQ(100, size.cx);
    EXPECT_EQ(200, size.cy);

    // The right edge of the picture becomes its top.
    Target target(100, 200);
    ASSERT_EQ(1, image->Draw(target.dc(), RECT{0, 0, 100, 200}, nullptr));
    struct Probe {
        int x, y;
        COLORREF colour;
    } const probes[]
        = {{25, 50, kGreen}, {75, 50, kWhite}, {25, 150, kRed}, {75, 150, kBlue}, {10, 190, kRed}, {90, 110, kBlue}};
    for (const Probe& p : probes)
        EXPECT_TRUE(Near(p.colour, target.At(p.x, p.y)))
            << p.x << "," << p.y << ": " << std::hex << target.At(p.x, p.y);

    // Half a turn keeps the shape; back to 0 shows the source.
    EXPECT_EQ(1, image->Control(IXIC_ROTATE, -180));
    image->Query(IXIQ_SIZE, reinterpret_cast<INT_PTR>(&size));
    EXPECT_EQ(200, size.cx);
    EXPECT_EQ(100, size.cy);
    image->Release();
}

// Counts destructions instead of freeing (it lives on the stack).
class CountingImage : public IxColorImage {
public:
    CountingImage() : IxColorImage(kRed, 4, 4) {}
    ~CountingImage() override = default;
    void Destroy() override { ++destroyed; }
    int destroyed = 0;
};

TEST_F(ImageTest, TheLastReleaseFreesAnImageOnce)
{
    CountingImage image;
    image.AddRef();
    IxImageRef* ref = new IxImageRef(&image, nullptr); // takes one of the two references
    EXPECT_EQ(2, image.GetRefCount());
    EXPECT_EQ(0, ref->Release()); // frees the reference and drops its hold
    EXPECT_EQ(1, image.GetRefCount());
    EXPECT_EQ(0, image.destroyed);
    EXPECT_EQ(0, image.Release());
    EXPECT_EQ(1, image.destroyed);
    EXPECT_EQ(0, image.Release()); // an extra release changes nothing
    EXPECT_EQ(1, image.destroyed);
}

} // namespace
