#include "Lib_cpp/image/Bitmap.h"

#include "Lib_cpp/core/Diag.h"
#include "platform/base/Clock.h"
#include "platform/gfx/Picture.h"
#include "platform/unit/Unit.h"

#include "tests/common/TempUnit.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <gif_lib.h>
#include <png.h>

namespace fs = std::filesystem;
using platform::Picture;
using Bytes = std::vector<BYTE>;

namespace {

// The test picture: four quadrants, wider than high so that a turn shows.
constexpr int kW = 40, kH = 20;
const std::uint32_t kColours[4] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu};
const COLORREF kRefs[4] = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), RGB(255, 255, 255)};

int Quadrant(int x, int y, int w, int h)
{
    return (x >= w / 2 ? 1 : 0) + (y >= h / 2 ? 2 : 0);
}

Picture Quadrants(int w = kW, int h = kH)
{
    Picture p;
    p.Allocate(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            p.At(x, y) = kColours[Quadrant(x, y, w, h)];
    return p;
}

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

// A 24-bit bottom-up BMP.
Bytes MakeBmp(const Picture& p)
{
    const std::uint32_t stride = (static_cast<std::uint32_t>(p.width) * 3 + 3) & ~3u;
    Bytes b{'B', 'M'};
    Put32(b, 54 + stride * static_cast<std::uint32_t>(p.height));
    Put32(b, 0);
    Put32(b, 54);
    Put32(b, 40);
    Put32(b, static_cast<std::uint32_t>(p.width));
    Put32(b, static_cast<std::uint32_t>(p.height));
    Put16(b, 1);
    Put16(b, 24);
    for (int i = 0; i < 6; ++i)
        Put32(b, 0);
    for (int y = p.height - 1; y >= 0; --y) {
        for (int x = 0; x < p.width; ++x) {
            const std::uint32_t c = p.At(x, y);
            b.push_back(static_cast<BYTE>(c));
            b.push_back(static_cast<BYTE>(c >> 8));
            b.push_back(static_cast<BYTE>(c >> 16));
        }
        b.resize(b.size() + (stride - static_cast<std::uint32_t>(p.width) * 3), 0);
    }
    return b;
}

Bytes MakePng(const Picture& p)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(p.width);
    image.height = static_cast<png_uint_32>(p.height);
    image.format = PNG_FORMAT_BGRA; // 0xAARRGGBB words in memory order on little-endian
    png_alloc_size_t size = 0;
    png_image_write_to_memory(&image, nullptr, &size, 0, p.pixels.data(), 0, nullptr);
    Bytes out(size);
    png_image_write_to_memory(&image, out.data(), &size, 0, p.pixels.data(), 0, nullptr);
    out.resize(size);
    return out;
}

int GifWrite(GifFileType* gif, const GifByteType* data, int length)
{
    auto* out = static_cast<Bytes*>(gif->UserData);
    out->insert(out->end(), data, data + length);
    return length;
}

// The quadrant picture only (a four-colour palette).
Bytes MakeGif(int w, int h)
{
    Bytes out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, GifWrite, &error);
    GifColorType colours[4];
    for (int i = 0; i < 4; ++i)
        colours[i] = GifColorType{static_cast<GifByteType>(kColours[i] >> 16),
                                  static_cast<GifByteType>(kColours[i] >> 8), static_cast<GifByteType>(kColours[i])};
    ColorMapObject* map = GifMakeMapObject(4, colours);
    EGifPutScreenDesc(gif, w, h, 2, 0, map);
    EGifPutImageDesc(gif, 0, 0, w, h, false, nullptr);
    std::vector<GifPixelType> line(static_cast<size_t>(w));
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x)
            line[static_cast<size_t>(x)] = static_cast<GifPixelType>(Quadrant(x, y, w, h));
        EGifPutLine(gif, line.data(), w);
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return out;
}

Bytes MakeJpeg(const Picture& p)
{
    Bytes out;
    platform::EncodeJpeg(p, 95, out);
    return out;
}

bool Near(COLORREF a, COLORREF b, int tolerance = 40)
{
    return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance && std::abs(GetGValue(a) - GetGValue(b)) <= tolerance
        && std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

// Reads pixels of a bitmap through a memory DC.
class BitmapReader {
public:
    explicit BitmapReader(HBITMAP bitmap) : m_dc(CreateCompatibleDC(nullptr)), m_old(SelectObject(m_dc, bitmap)) {}
    ~BitmapReader()
    {
        SelectObject(m_dc, m_old);
        DeleteDC(m_dc);
    }
    COLORREF At(int x, int y) const { return GetPixel(m_dc, x, y); }

private:
    HDC m_dc;
    HGDIOBJ m_old;
};

SIZE SizeOf(HBITMAP bitmap)
{
    BITMAP bm{};
    GetObject(bitmap, sizeof bm, &bm);
    return SIZE{bm.bmWidth, std::abs(bm.bmHeight)};
}

// Colour at the centre of quadrant q of a w x h picture read by `at`.
template <class F> void ExpectQuadrants(int w, int h, F at, const int (&order)[4] = {0, 1, 2, 3})
{
    for (int q = 0; q < 4; ++q) {
        const int x = (q % 2 ? 3 : 1) * w / 4, y = (q / 2 ? 3 : 1) * h / 4;
        const COLORREF c = at(x, y);
        EXPECT_TRUE(Near(c, kRefs[order[q]])) << "quadrant " << q << ": " << std::hex << c;
    }
}

// Draws an image into a 24-bit section of its size and checks the quadrants.
void ExpectImageQuadrants(IImage* image, const int (&order)[4] = {0, 1, 2, 3})
{
    SIZE size{};
    ASSERT_TRUE(IxGetImageSize(image, &size));
    int bits = 24, w = size.cx, h = size.cy;
    HBITMAP section = nullptr;
    HDC dc = nullptr;
    HGDIOBJ old = nullptr;
    ASSERT_TRUE(IxCreateDib(nullptr, &bits, &w, &h, &section, nullptr, &dc, &old));
    RECT all{0, 0, w, h};
    ASSERT_TRUE(IxDrawImage(image, dc, &all, nullptr));
    ExpectQuadrants(
        w, h, [&](int x, int y) { return GetPixel(dc, x, y); }, order);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(section);
}

DWORD LastKind()
{
    IxLastError e{};
    IxGetLastError(&e);
    return e.kind;
}

class BitmapTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(m_unit.Host("NAND/Wren/Images"));
        IxImageCacheInit();
    }
    void TearDown() override { IxImageCacheShutdown(); }
    // Writes a file under \NAND\Wren\Images and answers its unit path.
    std::u16string Write(const std::string& name, const Bytes& bytes)
    {
        std::ofstream(m_unit.Host("NAND/Wren/Images/" + name), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return u"\\NAND\\Wren\\Images\\" + std::u16string(name.begin(), name.end());
    }

    TempUnit m_unit{"pavo-bitmap"};
};

TEST_F(BitmapTest, PathsDifferingInCaseShareOneBitmapFreedAtTheLastRelease)
{
    Write("a.bmp", MakeBmp(Quadrants()));
    HBITMAP first = IxBitmapCache::Acquire(u"\\NAND\\Wren\\Images\\a.bmp");
    HBITMAP second = IxBitmapCache::Acquire(u"\\NAND\\WREN\\IMAGES\\A.BMP");
    ASSERT_NE(nullptr, first);
    EXPECT_EQ(first, second);
    EXPECT_EQ(2, IxBitmapCache::GetRefCount(first));

    IxBitmapCache::Release(first);
    EXPECT_EQ(1, IxBitmapCache::GetRefCount(first));
    EXPECT_EQ(static_cast<DWORD>(OBJ_BITMAP), GetObjectType(first));
    IxBitmapCache::Release(second);
    EXPECT_EQ(0, IxBitmapCache::GetRefCount(first));
    EXPECT_EQ(0u, GetObjectType(first));

    // A bitmap the cache never held is deleted at once.
    HBITMAP loose = IxLoadDib(u"\\NAND\\Wren\\Images\\a.bmp");
    ASSERT_NE(nullptr, loose);
    IxBitmapCache::Release(loose);
    EXPECT_EQ(0u, GetObjectType(loose));
}

TEST_F(BitmapTest, PathsDifferingInCaseShareOneImageReleasedAtTheLastRelease)
{
    Write("b.png", MakePng(Quadrants()));
    IImage* first = IxImagingCache::Acquire(u"\\NAND\\Wren\\Images\\b.png");
    IImage* second = IxImagingCache::Acquire(u"\\nand\\wren\\images\\B.PNG");
    ASSERT_NE(nullptr, first);
    EXPECT_EQ(first, second);
    EXPECT_EQ(2, IxImagingCache::GetRefCount(first));

    first->AddRef(); // our own reference shows when the cache lets go
    IxImagingCache::Release(first);
    IxImagingCache::Release(second);
    EXPECT_EQ(0, IxImagingCache::GetRefCount(first));
    EXPECT_EQ(0u, first->Release());
    EXPECT_EQ(nullptr, IxImagingCache::Acquire(u""));
}

TEST_F(BitmapTest, LoadScaledCachesTheOwnSizeAndStretchesOtherSizes)
{
    const std::u16string path = Write("c.bmp", MakeBmp(Quadrants()));
    HBITMAP same = IxBitmapCache::LoadScaled(path.c_str(), kW, kH);
    ASSERT_NE(nullptr, same);
    EXPECT_EQ(1, IxBitmapCache::GetRefCount(same));

    HBITMAP scaled = IxBitmapCache::LoadScaled(path.c_str(), 80, 30);
    ASSERT_NE(nullptr, scaled);
    EXPECT_EQ(0, IxBitmapCache::GetRefCount(scaled));
    BITMAP bm{};
    GetObject(scaled, sizeof bm, &bm);
    EXPECT_EQ(24, bm.bmBitsPixel);
    EXPECT_EQ(80, bm.bmWidth);
    EXPECT_EQ(30, std::abs(bm.bmHeight));
    {
        BitmapReader reader(scaled);
        ExpectQuadrants(80, 30, [&](int x, int y) { return reader.At(x, y); });
    }
    IxBitmapCache::Release(scaled);
    EXPECT_EQ(0u, GetObjectType(scaled));
    IxBitmapCache::Release(same);
}

struct FormatCase {
    const char* name;
    std::function<Bytes()> make;
};

class BitmapFormatTest : public BitmapTest, public ::testing::WithParamInterface<FormatCase> {};

TEST_P(BitmapFormatTest, DecodesScalesAndFitsToKnownPixels)
{
    const std::u16string path = Write(std::string("q.") + GetParam().name, GetParam().make());

    // Whole, at the picture's own size, into RGB565.
    HBITMAP dib = IxDecodeToDib(path.c_str(), 0, 0);
    ASSERT_NE(nullptr, dib);
    EXPECT_EQ(kW, SizeOf(dib).cx);
    EXPECT_EQ(kH, SizeOf(dib).cy);
    DIBSECTION ds{};
    GetObject(dib, sizeof ds, &ds);
    EXPECT_EQ(16, ds.dsBm.bmBitsPixel);
    {
        BitmapReader reader(dib);
        ExpectQuadrants(kW, kH, [&](int x, int y) { return reader.At(x, y); });
    }
    DeleteObject(dib);

    // Scaled.
    dib = IxDecodeToDib(path.c_str(), 20, 10);
    ASSERT_NE(nullptr, dib);
    EXPECT_EQ(20, SizeOf(dib).cx);
    {
        BitmapReader reader(dib);
        ExpectQuadrants(20, 10, [&](int x, int y) { return reader.At(x, y); });
    }
    DeleteObject(dib);

    IImage* thumb = IxDecodeScaled(path.c_str(), 80, 60);
    ASSERT_NE(nullptr, thumb);
    ExpectImageQuadrants(thumb);
    thumb->Release();

    // Fitted into a square box: the aspect ratio is kept.
    SIZE natural{};
    IImage* fitted = IxDecodeFitted(path.c_str(), 10, 10, &natural);
    ASSERT_NE(nullptr, fitted);
    EXPECT_EQ(kW, natural.cx);
    EXPECT_EQ(kH, natural.cy);
    SIZE size{};
    ASSERT_TRUE(IxGetImageSize(fitted, &size));
    EXPECT_EQ(10, size.cx);
    EXPECT_EQ(5, size.cy);
    ExpectImageQuadrants(fitted);
    fitted->Release();
}

INSTANTIATE_TEST_SUITE_P(Formats, BitmapFormatTest,
                         ::testing::Values(FormatCase{"bmp", [] { return MakeBmp(Quadrants()); }},
                                           FormatCase{"png", [] { return MakePng(Quadrants()); }},
                                           FormatCase{"jpg", [] { return MakeJpeg(Quadrants()); }},
                                           FormatCase{"gif", [] { return MakeGif(kW, kH); }}),
                         [](const ::testing::TestParamInfo<FormatCase>& info) { return std::string(info.param.name); });

TEST_F(BitmapTest, DecodeFittedNeverEnlargesAndFitsByTheBoxMagnitude)
{
    const std::u16string big = Write("big.png", MakePng(Quadrants(1600, 1200)));
    const std::u16string small = Write("small.png", MakePng(Quadrants(150, 100)));
    struct Case {
        const std::u16string* path;
        int width, height;
        int expectW, expectH;
        bool fileImage; // the file's own image, no scaled copy
    } cases[] = {
        {&big, 400, 300, 400, 300, false},
        {&small, 400, 300, 150, 100, false},
        {&small, -400, -300, 150, 100, true},
        {&big, -400, -300, 400, 300, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " expect " << c.expectW);
        IImage* image = IxDecodeFitted(c.path->c_str(), c.width, c.height, nullptr);
        ASSERT_NE(nullptr, image);
        ImageInfo info{};
        ASSERT_EQ(S_OK, image->GetImageInfo(&info));
        EXPECT_EQ(static_cast<UINT>(c.expectW), info.Width);
        EXPECT_EQ(static_cast<UINT>(c.expectH), info.Height);
        EXPECT_EQ(c.fileImage, info.RawDataFormat == ImageFormatPNG);
        image->Release();
    }
}

TEST_F(BitmapTest, RotatesAndFlips)
{
    const std::u16string path = Write("r.png", MakePng(Quadrants()));
    IImage* image = IxImagingCache::Acquire(path.c_str());
    ASSERT_NE(nullptr, image);
    // Quadrants 0 1 / 2 3; each case lists what lands in each place.
    struct Case {
        int degrees; // -1: flip
        BOOL flipX, flipY;
        int w, h;
        int order[4];
    } cases[] = {
        {90, 0, 0, kH, kW, {2, 0, 3, 1}}, {180, 0, 0, kW, kH, {3, 2, 1, 0}}, {270, 0, 0, kH, kW, {1, 3, 0, 2}},
        {-1, 1, 0, kW, kH, {1, 0, 3, 2}}, {-1, 0, 1, kW, kH, {2, 3, 0, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "degrees " << c.degrees << " flip " << c.flipX << c.flipY);
        IImage* turned = c.degrees >= 0 ? IxRotateImage(image, c.degrees) : IxFlipImage(image, c.flipX, c.flipY);
        ASSERT_NE(nullptr, turned);
        SIZE size{};
        ASSERT_TRUE(IxGetImageSize(turned, &size));
        EXPECT_EQ(c.w, size.cx);
        EXPECT_EQ(c.h, size.cy);
        ExpectImageQuadrants(turned, c.order);
        turned->Release();
    }
    EXPECT_EQ(nullptr, IxRotateImage(image, 45));
    EXPECT_EQ(static_cast<DWORD>(IXERR_COM), LastKind());
    IxImagingCache::Release(image);
}

TEST_F(BitmapTest, DrawImageWithASourceRectangle)
{
    const std::u16string path = Write("d.png", MakePng(Quadrants()));
    IImage* image = IxImagingCache::Acquire(path.c_str());
    ASSERT_NE(nullptr, image);
    int bits = 24, w = kW, h = kH;
    HBITMAP section = nullptr;
    HDC dc = nullptr;
    HGDIOBJ old = nullptr;
    ASSERT_TRUE(IxCreateDib(nullptr, &bits, &w, &h, &section, nullptr, &dc, &old));
    RECT all{0, 0, kW, kH};
    // The whole picture as source draws the whole picture.
    ASSERT_TRUE(IxDrawImage(image, dc, &all, &all));
    ExpectQuadrants(kW, kH, [&](int x, int y) { return GetPixel(dc, x, y); });
    // The left half stretched over everything: red above, blue below.
    RECT left{0, 0, kW / 2, kH};
    ASSERT_TRUE(IxDrawImage(image, dc, &all, &left));
    ExpectQuadrants(kW, kH, [&](int x, int y) { return GetPixel(dc, x, y); }, {0, 0, 2, 2});
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(section);
    IxImagingCache::Release(image);
}

TEST_F(BitmapTest, CreateDibFitsAndCopiesTheSource)
{
    const std::u16string path = Write("e.bmp", MakeBmp(Quadrants()));
    HBITMAP source = IxLoadDib(path.c_str());
    ASSERT_NE(nullptr, source);
    int bits = 0, w = 20, h = -20; // bottom-up, fitted into 20 x 20
    HBITMAP section = nullptr;
    void* pixels = nullptr;
    HDC dc = nullptr;
    HGDIOBJ old = nullptr;
    ASSERT_TRUE(IxCreateDib(source, &bits, &w, &h, &section, &pixels, &dc, &old));
    EXPECT_EQ(24, bits);
    EXPECT_EQ(20, w);
    EXPECT_EQ(10, h);
    EXPECT_NE(nullptr, pixels);
    DIBSECTION ds{};
    GetObject(section, sizeof ds, &ds);
    EXPECT_GT(ds.dsBmih.biHeight, 0); // bottom-up
    ExpectQuadrants(20, 10, [&](int x, int y) { return GetPixel(dc, x, y); });
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(section);
    DeleteObject(source);
}

TEST_F(BitmapTest, MissingAndCorruptFilesFail)
{
    Bytes corrupt = MakeBmp(Quadrants());
    corrupt.resize(60);
    const std::u16string bad = Write("bad.bmp", corrupt);
    Bytes png = MakePng(Quadrants());
    png.resize(png.size() / 2);
    const std::u16string badPng = Write("bad.png", png);

    for (const std::u16string& path : {std::u16string(u"\\NAND\\Wren\\Images\\none.bmp"), bad}) {
        IxSetLastError(IxLastError{0, 0});
        EXPECT_EQ(nullptr, IxBitmapCache::Acquire(path.c_str()));
        EXPECT_EQ(static_cast<DWORD>(IXERR_LOADBITMAP), LastKind());
        EXPECT_EQ(nullptr, IxBitmapCache::LoadScaled(path.c_str(), 10, 10));
    }
    EXPECT_EQ(nullptr, IxImagingCache::Acquire(u"\\NAND\\Wren\\Images\\none.png"));
    EXPECT_EQ(static_cast<DWORD>(IXERR_COM), LastKind());
    EXPECT_EQ(nullptr, IxDecodeToDib(badPng.c_str(), 0, 0));
    EXPECT_EQ(nullptr, IxDecodeFitted(u"\\NAND\\Wren\\Images\\none.png", 10, 10, nullptr));
}

TEST_F(BitmapTest, PreloaderSkipsEmptyAndMissingPathsAndReportsTheEnd)
{
    const std::u16string a = Write("p1.bmp", MakeBmp(Quadrants()));
    const std::u16string b = Write("p2.bmp", MakeBmp(Quadrants()));
    const std::u16string c = Write("p3.png", MakePng(Quadrants()));
    IxStringArray bitmaps;
    bitmaps.AddText(u"");
    bitmaps.AddText(a.c_str());
    bitmaps.AddText(u"");
    bitmaps.AddText(u"\\NAND\\Wren\\Images\\missing.bmp");
    bitmaps.AddText(b.c_str());
    IxStringArray images;
    images.AddText(c.c_str());

    IxImagePreloader preloader;
    ASSERT_TRUE(preloader.SetBitmapQueue(bitmaps, 0)); // no priority: not started
    ASSERT_TRUE(preloader.SetImagingQueue(images, 0));
    EXPECT_FALSE(preloader.IsRunning());
    EXPECT_EQ(1, preloader.Execute()); // a
    EXPECT_EQ(1, preloader.Execute()); // missing: skipped
    EXPECT_EQ(1, preloader.Execute()); // b
    EXPECT_TRUE(preloader.GetLastBitmapPath().Equals(b.c_str()));
    EXPECT_EQ(1, preloader.Execute()); // the bitmap queue ends; c
    EXPECT_EQ(0, preloader.Execute());
    EXPECT_FALSE(preloader.HasPending());

    // The preloaded pictures stay cached.
    HBITMAP held = IxBitmapCache::Acquire(a.c_str());
    EXPECT_EQ(2, IxBitmapCache::GetRefCount(held));
    IxBitmapCache::Release(held);
    IImage* image = IxImagingCache::Acquire(c.c_str());
    EXPECT_EQ(2, IxImagingCache::GetRefCount(image));
    IxImagingCache::Release(image);

    // On its thread: started by the queue, back to waiting once done.
    IxStringArray more;
    const std::u16string d = Write("p4.bmp", MakeBmp(Quadrants()));
    more.AddText(d.c_str());
    EXPECT_TRUE(preloader.StartIfPending(7)); // nothing pending: success, no start
    EXPECT_FALSE(preloader.IsRunning());
    ASSERT_TRUE(preloader.SetBitmapQueue(more, 7));
    for (int i = 0; i < 20000 && (preloader.HasPending() || preloader.GetState() != IXTHREAD_WAITING); ++i)
        Sleep(1);
    HBITMAP loaded = IxBitmapCache::Acquire(d.c_str());
    EXPECT_EQ(2, IxBitmapCache::GetRefCount(loaded));
    IxBitmapCache::Release(loaded);
    EXPECT_TRUE(preloader.Stop(INFINITE));
}

} // namespace
