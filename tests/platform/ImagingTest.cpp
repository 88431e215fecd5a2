#include "platform/gfx/Imaging.h"

#include "platform/base/Error.h"
#include "platform/gfx/GdiInternal.h"
#include "platform/unit/Unit.h"

#include "tests/common/TempUnit.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <gif_lib.h>
#include <jpeglib.h>
#include <png.h>
#include <sys/resource.h>

namespace fs = std::filesystem;
using platform::Picture;
using platform::PictureStatus;
using Bytes = std::vector<BYTE>;

namespace {

// The test picture: four quadrants of palette colours, wider than high so
// that a swapped axis shows.
constexpr int kW = 48, kH = 32;
const std::uint32_t kColours[4] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu};

int Quadrant(int x, int y, int w = kW, int h = kH)
{
    return (x >= w / 2 ? 1 : 0) + (y >= h / 2 ? 2 : 0);
}

Picture Quadrants(int w = kW, int h = kH, int colours = 4)
{
    Picture p;
    p.Allocate(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            p.At(x, y) = colours == 2 ? (Quadrant(x, y, w, h) % 2 ? 0xFFFFFFFFu : 0xFF000000u)
                                      : kColours[Quadrant(x, y, w, h)];
    return p;
}

void Put16(Bytes& b, unsigned v)
{
    b.push_back(v & 0xFF);
    b.push_back((v >> 8) & 0xFF);
}
void Put32(Bytes& b, std::uint32_t v)
{
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

// A BMP written by hand. bits: 1, 4, 8 (palette), 16 (555, or 565 with masks), 24, 32.
Bytes MakeBmp(const Picture& p, int bits, bool topDown = false, bool masks565 = false)
{
    std::vector<std::uint32_t> palette;
    if (bits <= 8)
        for (std::uint32_t c : p.pixels)
            if (std::find(palette.begin(), palette.end(), c) == palette.end())
                palette.push_back(c);
    const int stride = ((p.width * bits + 31) / 32) * 4;
    const std::uint32_t extra = masks565 ? 12 : static_cast<std::uint32_t>(palette.size() * 4);
    const std::uint32_t offset = 14 + 40 + extra;
    Bytes b{'B', 'M'};
    Put32(b, offset + stride * p.height);
    Put32(b, 0);
    Put32(b, offset);
    Put32(b, 40);
    Put32(b, p.width);
    Put32(b, topDown ? -p.height : p.height);
    Put16(b, 1);
    Put16(b, bits);
    Put32(b, masks565 ? 3 : 0);
    Put32(b, stride * p.height);
    Put32(b, 2835);
    Put32(b, 2835);
    Put32(b, static_cast<std::uint32_t>(palette.size()));
    Put32(b, 0);
    if (masks565) {
        Put32(b, 0xF800);
        Put32(b, 0x07E0);
        Put32(b, 0x001F);
    }
    for (std::uint32_t c : palette)
        Put32(b, c & 0xFFFFFF);
    for (int row = 0; row < p.height; ++row) {
        const int y = topDown ? row : p.height - 1 - row;
        Bytes line(stride, 0);
        for (int x = 0; x < p.width; ++x) {
            const std::uint32_t c = p.At(x, y);
            const unsigned r = (c >> 16) & 0xFF, g = (c >> 8) & 0xFF, bl = c & 0xFF;
            if (bits <= 8) {
                const unsigned index
                    = static_cast<unsigned>(std::find(palette.begin(), palette.end(), c) - palette.begin());
                line[x * bits / 8] |= static_cast<BYTE>(index << (8 - bits - (x * bits) % 8));
            } else if (bits == 16) {
                const unsigned v = masks565 ? ((r >> 3) << 11) | ((g >> 2) << 5) | (bl >> 3)
                                            : ((r >> 3) << 10) | ((g >> 3) << 5) | (bl >> 3);
                line[x * 2] = v & 0xFF;
                line[x * 2 + 1] = v >> 8;
            } else {
                const int n = bits / 8;
                line[x * n] = bl;
                line[x * n + 1] = g;
                line[x * n + 2] = r;
            }
        }
        b.insert(b.end(), line.begin(), line.end());
    }
    return b;
}

// An RGBA PNG: the picture's words are B,G,R,A bytes in memory.
Bytes MakePng(const Picture& p)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = p.width;
    image.height = p.height;
    image.format = PNG_FORMAT_BGRA;
    png_alloc_size_t size = 0;
    png_image_write_to_memory(&image, nullptr, &size, 0, p.pixels.data(), 0, nullptr);
    Bytes out(size);
    if (!png_image_write_to_memory(&image, out.data(), &size, 0, p.pixels.data(), 0, nullptr))
        return {};
    out.resize(size);
    return out;
}

// An interlaced (Adam7) RGBA PNG: its pixels arrive in seven passes.
Bytes MakeInterlacedPng(const Picture& p)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    Bytes out;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(
        png, &out,
        [](png_structp w, png_bytep data, png_size_t n) {
            auto* bytes = static_cast<Bytes*>(png_get_io_ptr(w));
            bytes->insert(bytes->end(), data, data + n);
        },
        nullptr);
    png_set_IHDR(png, info, static_cast<png_uint_32>(p.width), static_cast<png_uint_32>(p.height), 8,
                 PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_ADAM7, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_set_bgr(png);
    std::vector<png_bytep> rows;
    Picture copy = p;
    for (int y = 0; y < p.height; ++y)
        rows.push_back(reinterpret_cast<png_bytep>(copy.Row(y)));
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

// PNG of another layout: the picture reduced to grey or RGB before writing.
Bytes MakePngAs(const Picture& p, png_uint_32 format)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = p.width;
    image.height = p.height;
    image.format = format;
    const int channels = PNG_IMAGE_PIXEL_CHANNELS(format);
    Bytes raw;
    for (std::uint32_t c : p.pixels) {
        const BYTE r = c >> 16, g = c >> 8, b = c;
        if (channels == 1)
            raw.push_back(static_cast<BYTE>((r + g + b) / 3));
        else {
            raw.push_back(r);
            raw.push_back(g);
            raw.push_back(b);
        }
    }
    png_alloc_size_t size = 0;
    png_image_write_to_memory(&image, nullptr, &size, 0, raw.data(), 0, nullptr);
    Bytes out(size);
    if (!png_image_write_to_memory(&image, out.data(), &size, 0, raw.data(), 0, nullptr))
        return {};
    out.resize(size);
    return out;
}

int GifWrite(GifFileType* gif, const GifByteType* data, int length)
{
    auto* out = static_cast<Bytes*>(gif->UserData);
    out->insert(out->end(), data, data + length);
    return length;
}

// A GIF of the quadrant picture; `transparent` >= 0 marks that palette index.
Bytes MakeGif(const Picture& p, bool interlace, int transparent = -1)
{
    Bytes out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, GifWrite, &error);
    GifColorType colours[4];
    for (int i = 0; i < 4; ++i)
        colours[i] = GifColorType{static_cast<GifByteType>(kColours[i] >> 16),
                                  static_cast<GifByteType>(kColours[i] >> 8), static_cast<GifByteType>(kColours[i])};
    ColorMapObject* map = GifMakeMapObject(4, colours);
    EGifSetGifVersion(gif, true);
    EGifPutScreenDesc(gif, p.width, p.height, 2, 0, map);
    if (transparent >= 0) {
        GifByteType control[4] = {1, 0, 0, static_cast<GifByteType>(transparent)};
        EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, control);
    }
    EGifPutImageDesc(gif, 0, 0, p.width, p.height, interlace, nullptr);
    std::vector<int> rows;
    if (interlace) {
        for (int start : {0, 4, 2, 1})
            for (int y = start; y < p.height; y += start == 0 || start == 4 ? 8 : start == 2 ? 4 : 2)
                rows.push_back(y);
    } else {
        for (int y = 0; y < p.height; ++y)
            rows.push_back(y);
    }
    for (int y : rows) {
        std::vector<GifPixelType> line(p.width);
        for (int x = 0; x < p.width; ++x)
            line[x] = static_cast<GifPixelType>(Quadrant(x, y, p.width, p.height));
        EGifPutLine(gif, line.data(), p.width);
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

bool Near(std::uint32_t a, std::uint32_t b, int tolerance)
{
    for (int shift = 0; shift < 32; shift += 8)
        if (std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)) > tolerance)
            return false;
    return true;
}

// Compares the centre of each quadrant (edges blur in JPEG and in scaling).
void ExpectQuadrants(const Picture& p, const Picture& expected, int tolerance)
{
    for (int q = 0; q < 4; ++q) {
        const int x = (q % 2 ? 3 : 1) * p.width / 4, y = (q / 2 ? 3 : 1) * p.height / 4;
        const int ex = (q % 2 ? 3 : 1) * expected.width / 4, ey = (q / 2 ? 3 : 1) * expected.height / 4;
        EXPECT_TRUE(Near(p.At(x, y), expected.At(ex, ey), tolerance))
            << "quadrant " << q << ": " << std::hex << p.At(x, y) << " vs " << expected.At(ex, ey);
    }
}

struct FormatCase {
    const char* name;
    std::function<Bytes()> make;
    int colours;   // 2 for the black-and-white picture
    int tolerance; // per channel
};

const std::vector<FormatCase>& Formats()
{
    static const std::vector<FormatCase> cases = {
        {"bmp1", [] { return MakeBmp(Quadrants(kW, kH, 2), 1); }, 2, 0},
        {"bmp4", [] { return MakeBmp(Quadrants(), 4); }, 4, 0},
        {"bmp8", [] { return MakeBmp(Quadrants(), 8, true); }, 4, 0},
        {"bmp16_555", [] { return MakeBmp(Quadrants(), 16); }, 4, 0},
        {"bmp16_565", [] { return MakeBmp(Quadrants(), 16, false, true); }, 4, 0},
        {"bmp24", [] { return MakeBmp(Quadrants(), 24); }, 4, 0},
        {"bmp24_topdown", [] { return MakeBmp(Quadrants(), 24, true); }, 4, 0},
        {"bmp32", [] { return MakeBmp(Quadrants(), 32); }, 4, 0},
        {"png_rgba", [] { return MakePng(Quadrants()); }, 4, 0},
        {"png_rgb", [] { return MakePngAs(Quadrants(), PNG_FORMAT_RGB); }, 4, 0},
        {"png_grey", [] { return MakePngAs(Quadrants(kW, kH, 2), PNG_FORMAT_GRAY); }, 2, 0},
        {"png_interlaced", [] { return MakeInterlacedPng(Quadrants()); }, 4, 0},
        {"gif", [] { return MakeGif(Quadrants(), false); }, 4, 0},
        {"gif_interlaced", [] { return MakeGif(Quadrants(), true); }, 4, 0},
        {"jpeg", [] { return MakeJpeg(Quadrants()); }, 4, 12},
    };
    return cases;
}

void PrintTo(const FormatCase& c, std::ostream* out)
{
    *out << c.name;
}

class FormatTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatTest, DecodesKnownPixels)
{
    const FormatCase& c = GetParam();
    const Bytes file = c.make();
    ASSERT_FALSE(file.empty());
    platform::PictureInfo info;
    Picture p;
    ASSERT_EQ(PictureStatus::Ok, platform::DecodePicture(file.data(), file.size(), {}, info, p));
    ASSERT_EQ(kW, p.width);
    ASSERT_EQ(kH, p.height);
    const Picture expected = Quadrants(kW, kH, c.colours);
    if (c.tolerance == 0) {
        EXPECT_EQ(expected.pixels, p.pixels);
    } else {
        ExpectQuadrants(p, expected, c.tolerance);
    }
    // The header alone gives the same size.
    platform::DecodeOptions header;
    header.headerOnly = true;
    Picture none;
    ASSERT_EQ(PictureStatus::Ok, platform::DecodePicture(file.data(), file.size(), header, info, none));
    EXPECT_EQ(kW, info.width);
    EXPECT_EQ(kH, info.height);
    EXPECT_TRUE(none.pixels.empty());
}

TEST_P(FormatTest, ThumbnailAndRgb565BitmapThroughTheFactory)
{
    const FormatCase& c = GetParam();
    const Bytes file = c.make();
    IImagingFactory* factory = platform::CreateImagingFactory();
    IImage* image = nullptr;
    ASSERT_EQ(
        S_OK,
        factory->CreateImageFromBuffer(file.data(), static_cast<UINT>(file.size()), BufferDisposalFlagNone, &image));
    ImageInfo info{};
    ASSERT_EQ(S_OK, image->GetImageInfo(&info));
    EXPECT_EQ(UINT(kW), info.Width);
    EXPECT_EQ(UINT(kH), info.Height);
    const Picture expected = Quadrants(kW, kH, c.colours);

    IImage* thumb = nullptr;
    ASSERT_EQ(S_OK, image->GetThumbnail(24, 16, &thumb));
    Picture small;
    ASSERT_EQ(PictureStatus::Ok, platform::PictureOfImage(thumb, small));
    EXPECT_EQ(24, small.width);
    EXPECT_EQ(16, small.height);
    ExpectQuadrants(small, expected, c.tolerance + 2);
    thumb->Release();

    IBitmapImage* bitmap = nullptr;
    ASSERT_EQ(S_OK,
              factory->CreateBitmapFromImage(image, 96, 64, PixelFormat16bppRGB565, InterpolationHintDefault, &bitmap));
    BitmapData data{};
    ASSERT_EQ(S_OK, bitmap->LockBits(nullptr, ImageLockModeRead, PixelFormat16bppRGB565, &data));
    EXPECT_EQ(96u, data.Width);
    EXPECT_EQ(64u, data.Height);
    EXPECT_EQ(192, data.Stride);
    const WORD* rows = static_cast<const WORD*>(data.Scan0);
    EXPECT_TRUE(Near(platform::Rgb565ToArgb(rows[10 * 96 + 10]), expected.At(5, 5), c.tolerance + 8));
    EXPECT_TRUE(Near(platform::Rgb565ToArgb(rows[50 * 96 + 90]), expected.At(45, 25), c.tolerance + 8));
    EXPECT_EQ(S_OK, bitmap->UnlockBits(&data));
    bitmap->Release();
    image->Release();
    factory->Release();
}

// Cut files and flipped bytes never crash or read outside the data; cuts
// that lose pixel data fail (a BMP may lack the padding of its last row).
TEST_P(FormatTest, TruncatedAndDamagedFilesFailCleanly)
{
    const Bytes file = GetParam().make();
    platform::PictureInfo info;
    Picture p;
    const size_t n = file.size();
    for (size_t cut :
         {size_t(0), size_t(1), size_t(2), size_t(5), size_t(13), size_t(20), size_t(30), n / 3, n / 2, n - 8, n - 3}) {
        // Exactly sized copies, so that a read past the end is caught.
        Bytes part(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(cut));
        EXPECT_NE(PictureStatus::Ok, platform::DecodePicture(part.data(), part.size(), {}, info, p))
            << "cut at " << cut << " of " << n;
        EXPECT_TRUE(p.pixels.empty());
    }
    std::srand(7);
    for (int round = 0; round < 300; ++round) {
        Bytes damaged = file;
        const size_t at = round < 100 ? static_cast<size_t>(round) % n : static_cast<size_t>(std::rand()) % n;
        damaged[at] ^= static_cast<BYTE>(1 + std::rand() % 255);
        const PictureStatus s = platform::DecodePicture(damaged.data(), damaged.size(), {}, info, p);
        if (s == PictureStatus::Ok) {
            EXPECT_EQ(static_cast<size_t>(p.width) * p.height, p.pixels.size());
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Pictures, FormatTest, ::testing::ValuesIn(Formats()),
                         [](const ::testing::TestParamInfo<FormatCase>& i) { return std::string(i.param.name); });

std::uint32_t Crc32(const BYTE* data, size_t size)
{
    std::uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

void PutBe32(BYTE* p, std::uint32_t v)
{
    p[0] = v >> 24;
    p[1] = v >> 16;
    p[2] = v >> 8;
    p[3] = v;
}

TEST(PictureHeaders, LyingHeadersFail)
{
    struct Case {
        const char* name;
        std::function<Bytes()> make;
        PictureStatus expected;
    };
    const Case cases[] = {
        {"bmp huge width",
         [] {
             Bytes b = MakeBmp(Quadrants(), 24);
             b[18] = 0;
             b[19] = 0;
             b[20] = 0x10;
             return b;
         },
         PictureStatus::TooLarge},
        {"bmp height past the data",
         [] {
             Bytes b = MakeBmp(Quadrants(), 24);
             b[22] = 0;
             b[23] = 0x10;
             return b;
         },
         PictureStatus::Corrupt},
        {"bmp offset past the end",
         [] {
             Bytes b = MakeBmp(Quadrants(), 24);
             b[11] = 0x7F;
             return b;
         },
         PictureStatus::Corrupt},
        {"bmp index beyond the palette",
         [] {
             Bytes b = MakeBmp(Quadrants(), 8);
             b[14 + 32] = 2; // two colours declared, indices up to 3 used
             return b;
         },
         PictureStatus::Corrupt},
        {"bmp palette larger than the depth",
         [] {
             Bytes b = MakeBmp(Quadrants(), 4);
             b[14 + 32] = 0;
             b[14 + 33] = 1;
             return b;
         },
         PictureStatus::Corrupt},
        {"bmp zero width",
         [] {
             Bytes b = MakeBmp(Quadrants(), 24);
             std::memset(&b[18], 0, 4);
             return b;
         },
         PictureStatus::Corrupt},
        {"png huge width",
         [] {
             Bytes b = MakePngAs(Quadrants(), PNG_FORMAT_RGB);
             PutBe32(&b[16], 20000);
             PutBe32(&b[29], Crc32(&b[12], 17));
             return b;
         },
         PictureStatus::Corrupt},
        {"png taller than its data",
         [] {
             Bytes b = MakePngAs(Quadrants(), PNG_FORMAT_RGB);
             PutBe32(&b[20], 4000);
             PutBe32(&b[29], Crc32(&b[12], 17));
             return b;
         },
         PictureStatus::Corrupt},
        {"gif huge screen",
         [] {
             Bytes b = MakeGif(Quadrants(), false);
             b[6] = b[7] = b[8] = b[9] = 0xFF;
             return b;
         },
         PictureStatus::TooLarge},
        {"gif index beyond the palette",
         [] {
             // A 2-colour global palette for pixels that use indices up to 3.
             Bytes b = MakeGif(Quadrants(), false);
             b[10] = static_cast<BYTE>((b[10] & ~7) | 0); // palette size field: 2 entries
             b.erase(b.begin() + 13 + 6, b.begin() + 13 + 12);
             return b;
         },
         PictureStatus::Corrupt},
        {"jpeg huge frame",
         [] {
             Bytes b = MakeJpeg(Quadrants());
             for (size_t i = 0; i + 8 < b.size(); ++i)
                 if (b[i] == 0xFF && b[i + 1] == 0xC0) {
                     b[i + 5] = b[i + 7] = 0x7F;
                     b[i + 6] = b[i + 8] = 0xFF;
                     break;
                 }
             return b;
         },
         PictureStatus::TooLarge},
        {"not a picture", [] { return Bytes{'h', 'e', 'l', 'l', 'o', 0, 0, 0, 0, 0}; }, PictureStatus::Unsupported},
    };
    for (const Case& c : cases) {
        const Bytes b = c.make();
        platform::PictureInfo info;
        Picture p;
        EXPECT_EQ(c.expected, platform::DecodePicture(b.data(), b.size(), {}, info, p)) << c.name;
        EXPECT_TRUE(p.pixels.empty()) << c.name;
    }
}

// Peak resident memory of this process so far (each test case runs in a
// process of its own under ctest).
long PeakResidentBytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss * 1024L;
}

// The signature and IHDR of an 8-bit RGB PNG of the given size.
Bytes PngHeader(std::uint32_t width, std::uint32_t height)
{
    Bytes b = MakePngAs(Quadrants(), PNG_FORMAT_RGB);
    b.resize(33);
    PutBe32(&b[16], width);
    PutBe32(&b[20], height);
    PutBe32(&b[29], Crc32(&b[12], 17));
    return b;
}

// Appends a chunk whose length field says `claimed`; the data and check sum
// are those of `data`.
void AddPngChunk(Bytes& b, const char* type, const Bytes& data, std::uint32_t claimed)
{
    const size_t at = b.size();
    b.resize(at + 8);
    PutBe32(&b[at], claimed);
    std::memcpy(&b[at + 4], type, 4);
    b.insert(b.end(), data.begin(), data.end());
    b.resize(b.size() + 4);
    PutBe32(&b[b.size() - 4], Crc32(&b[at + 4], 4 + data.size()));
}

Bytes TinyPng(std::uint32_t width, std::uint32_t height)
{
    Bytes b = PngHeader(width, height);
    AddPngChunk(b, "IDAT", {0x78, 0x9C, 0x63, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01}, 9);
    AddPngChunk(b, "IEND", {}, 0);
    return b;
}

// A one-colour GIF whose screen and frame claim width x height over a
// single LZW sub-block.
Bytes TinyGif(int width, int height)
{
    const BYTE w0 = static_cast<BYTE>(width), w1 = static_cast<BYTE>(width >> 8);
    const BYTE h0 = static_cast<BYTE>(height), h1 = static_cast<BYTE>(height >> 8);
    return Bytes{'G',  'I', 'F', '8', '9', 'a', w0, w1, h0, h1, 0x80, 0, 0, 0,    0,    0, 0xFF, 0xFF,
                 0xFF, ',', 0,   0,   0,   0,   w0, w1, h0, h1, 0,    2, 2, 0x4C, 0x01, 0, ';'};
}

// A progressive JPEG of a small picture whose frame header then claims
// width x height.
Bytes TinyProgressiveJpeg(int width, int height)
{
    jpeg_compress_struct cinfo;
    jpeg_error_mgr error;
    cinfo.err = jpeg_std_error(&error);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long length = 0;
    jpeg_mem_dest(&cinfo, &buffer, &length);
    cinfo.image_width = 8;
    cinfo.image_height = 8;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<JSAMPLE> line(8 * 3, 0x80);
    for (int y = 0; y < 8; ++y) {
        JSAMPROW row = line.data();
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    Bytes b(buffer, buffer + length);
    std::free(buffer);
    for (size_t i = 0; i + 8 < b.size(); ++i) {
        if (b[i] == 0xFF && b[i + 1] == 0xC2) {
            b[i + 5] = static_cast<BYTE>(height >> 8);
            b[i + 6] = static_cast<BYTE>(height);
            b[i + 7] = static_cast<BYTE>(width >> 8);
            b[i + 8] = static_cast<BYTE>(width);
            break;
        }
    }
    return b;
}

// Files of a few dozen bytes that claim pictures of up to 16384 x 4096
// fail before the decoder allocates for the pixels: either the picture
// would not fit the decode's memory, or the data cannot hold the pixels.
TEST(PictureHeaders, TinyFilesClaimingHugePicturesFailBeforeAllocating)
{
    struct Case {
        const char* name;
        Bytes file;
        int minWidth, minHeight;
        PictureStatus expected;
    };
    const Case cases[] = {
        {"gif 16384 x 4096", TinyGif(16384, 4096), 0, 0, PictureStatus::TooLarge},
        {"gif 2048 x 2048", TinyGif(2048, 2048), 0, 0, PictureStatus::Corrupt},
        {"png 16384 x 4096", TinyPng(16384, 4096), 0, 0, PictureStatus::TooLarge},
        {"png 2048 x 2048", TinyPng(2048, 2048), 0, 0, PictureStatus::Corrupt},
        {"jpeg 16384 x 4096", TinyProgressiveJpeg(16384, 4096), 0, 0, PictureStatus::TooLarge},
        {"jpeg 16384 x 4096 for the screen", TinyProgressiveJpeg(16384, 4096), 800, 480, PictureStatus::Corrupt},
        {"jpeg 2048 x 2048", TinyProgressiveJpeg(2048, 2048), 0, 0, PictureStatus::Corrupt},
    };
    const long before = PeakResidentBytes();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_LT(c.file.size(), 1024u);
        platform::DecodeOptions options;
        options.minWidth = c.minWidth;
        options.minHeight = c.minHeight;
        platform::PictureInfo info;
        Picture p;
        EXPECT_EQ(c.expected, platform::DecodePicture(c.file.data(), c.file.size(), options, info, p));
        EXPECT_TRUE(p.pixels.empty());
        options.headerOnly = true;
        EXPECT_EQ(PictureStatus::Ok, platform::DecodePicture(c.file.data(), c.file.size(), options, info, p));
    }
    EXPECT_LT(PeakResidentBytes() - before, 8L * 1024 * 1024);
}

// A 197-byte PNG whose zTXt chunk claims 2 GB: refused, header-only or
// not, before anything is allocated for the chunk.
TEST(PictureHeaders, ChunkLongerThanTheFileIsRefused)
{
    Bytes file = PngHeader(1, 1);
    AddPngChunk(file, "zTXt", Bytes(152, 'x'), 0x7FFFFFF0u);
    EXPECT_EQ(file.size(), 197u);
    const long before = PeakResidentBytes();
    for (bool headerOnly : {true, false}) {
        platform::DecodeOptions options;
        options.headerOnly = headerOnly;
        platform::PictureInfo info;
        Picture p;
        EXPECT_EQ(PictureStatus::Corrupt, platform::DecodePicture(file.data(), file.size(), options, info, p));
    }
    EXPECT_LT(PeakResidentBytes() - before, 8L * 1024 * 1024);
}

// A photo cut short, or cut and closed with an end marker as a repair tool
// would, fails: libjpeg only warns and fills the rest with grey.
TEST(PictureHeaders, CutJpegFails)
{
    Picture noisy;
    noisy.Allocate(256, 256);
    std::srand(3);
    for (std::uint32_t& px : noisy.pixels)
        px = 0xFF000000u | static_cast<std::uint32_t>(std::rand() & 0xFFFFFF);
    const Bytes file = MakeJpeg(noisy);
    platform::PictureInfo info;
    Picture p;
    ASSERT_EQ(PictureStatus::Ok, platform::DecodePicture(file.data(), file.size(), {}, info, p));
    Bytes half(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(file.size() / 2));
    Bytes closed = half;
    closed.insert(closed.end(), {0xFF, 0xD9});
    for (const Bytes& cut : {half, closed}) {
        EXPECT_EQ(PictureStatus::Corrupt, platform::DecodePicture(cut.data(), cut.size(), {}, info, p));
        EXPECT_TRUE(p.pixels.empty());
    }
}

// The smallest of 1/8 ... 8/8 whose size covers the one asked for.
TEST(PictureOps, ScaledJpegDecodeUsesTheDct)
{
    const Picture big = Quadrants(256, 128);
    const Bytes file = MakeJpeg(big);
    const struct {
        int minWidth, minHeight, width, height;
    } cases[] = {
        {60, 30, 64, 32},     // 2/8; 1/8 would not cover it
        {150, 70, 160, 80},   // 5/8
        {200, 10, 224, 112},  // 7/8, for the width
        {10, 100, 224, 112},  // 7/8, for the height
        {1, 1, 32, 16},       // 1/8
        {250, 120, 256, 128}, // whole
        {300, 200, 256, 128}, // never enlarged
    };
    for (const auto& c : cases) {
        platform::DecodeOptions options;
        options.minWidth = c.minWidth;
        options.minHeight = c.minHeight;
        platform::PictureInfo info;
        Picture p;
        ASSERT_EQ(PictureStatus::Ok, platform::DecodeJpeg(file.data(), file.size(), options, info, p));
        EXPECT_EQ(256, info.width);
        EXPECT_EQ(c.width, p.width) << c.minWidth << " x " << c.minHeight;
        EXPECT_EQ(c.height, p.height) << c.minWidth << " x " << c.minHeight;
        ExpectQuadrants(p, big, 12);
    }
}

// ScalePicture's shrink written out plainly: each output pixel is the
// rounded mean of the source pixels it covers, first across, then down.
Picture PlainAreaAverage(const Picture& s, int w, int h)
{
    auto mean = [](auto at, int from, int to) {
        const int n = std::max(to - from, 1);
        std::uint32_t result = 0;
        for (int c = 0; c < 32; c += 8) {
            unsigned sum = 0;
            for (int k = from; k < from + n; ++k)
                sum += (at(k) >> c) & 0xFF;
            result |= ((sum + n / 2) / n) << c;
        }
        return result;
    };
    Picture across, out;
    across.Allocate(w, s.height);
    out.Allocate(w, h);
    for (int y = 0; y < s.height; ++y)
        for (int x = 0; x < w; ++x)
            across.At(x, y) = mean([&](int k) { return s.At(k, y); }, x * s.width / w, (x + 1) * s.width / w);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            out.At(x, y) = mean([&](int k) { return across.At(x, k); }, y * s.height / h, (y + 1) * s.height / h);
    return out;
}

// Every span length the row kernels treat apart (1, 2, a few, beyond the
// exact multiply at 181), rows not a multiple of their vector width, and
// the full range of every channel.
TEST(PictureOps, ShrinkIsTheRoundedMeanOfTheCoveredPixels)
{
    const int sizes[][4] = {
        {1280, 720, 800, 450}, {101, 37, 33, 12}, {7, 9, 5, 9},   {9, 7, 9, 2},     {400, 3, 2, 1},
        {366, 366, 2, 2},      {5000, 2, 1, 1},   {2, 900, 1, 4}, {64, 64, 21, 11},
    };
    std::uint32_t seed = 12345;
    for (const auto& s : sizes) {
        Picture source;
        source.Allocate(s[0], s[1]);
        for (std::uint32_t& p : source.pixels) {
            seed = seed * 1664525u + 1013904223u;
            p = (seed & 1) ? seed : (seed | 0xFFFFFFu); // some channels at 255
        }
        source.hasAlpha = true;
        Picture scaled;
        ASSERT_TRUE(platform::ScalePicture(source, s[2], s[3], scaled));
        const Picture expected = PlainAreaAverage(source, s[2], s[3]);
        EXPECT_EQ(expected.pixels, scaled.pixels) << s[0] << " x " << s[1] << " to " << s[2] << " x " << s[3];
        EXPECT_TRUE(scaled.hasAlpha);
        // In place gives the same.
        ASSERT_TRUE(platform::ScalePicture(source, s[2], s[3], source));
        EXPECT_EQ(expected.pixels, source.pixels);
    }
}

// Rotation and flip of a 200 x 100 picture through the bitmap operations.
TEST(PictureOps, RotateAndFlipMoveTheCorners)
{
    Picture p;
    p.Allocate(200, 100, 0xFF000000u);
    const std::uint32_t tl = 0xFFFF0000u, tr = 0xFF00FF00u, bl = 0xFF0000FFu, br = 0xFFFFFFFFu;
    p.At(0, 0) = tl;
    p.At(199, 0) = tr;
    p.At(0, 99) = bl;
    p.At(199, 99) = br;
    IBitmapImage* bitmap = platform::CreateBitmapImage(p, PixelFormat24bppRGB);
    IBasicBitmapOps* ops = nullptr;
    ASSERT_EQ(S_OK, bitmap->QueryInterface(IID_IBasicBitmapOps, reinterpret_cast<void**>(&ops)));

    struct Case {
        float angle;
        bool flip, flipX, flipY;
        int w, h;
        std::uint32_t corners[4]; // top-left, top-right, bottom-left, bottom-right
    };
    const Case cases[] = {
        {90, false, false, false, 100, 200, {bl, tl, br, tr}},  {-270, false, false, false, 100, 200, {bl, tl, br, tr}},
        {180, false, false, false, 200, 100, {br, bl, tr, tl}}, {270, false, false, false, 100, 200, {tr, br, tl, bl}},
        {0, true, true, false, 200, 100, {tr, tl, br, bl}},     {0, true, false, true, 200, 100, {bl, br, tl, tr}},
        {0, true, true, true, 200, 100, {br, bl, tr, tl}},
    };
    for (const Case& c : cases) {
        IBitmapImage* out = nullptr;
        ASSERT_EQ(S_OK,
                  c.flip ? ops->Flip(c.flipX, c.flipY, &out) : ops->Rotate(c.angle, InterpolationHintDefault, &out));
        SIZE size{};
        out->GetSize(&size);
        EXPECT_EQ(c.w, size.cx);
        EXPECT_EQ(c.h, size.cy);
        IImage* image = nullptr;
        ASSERT_EQ(S_OK, out->QueryInterface(IID_IImage, reinterpret_cast<void**>(&image)));
        Picture r;
        ASSERT_EQ(PictureStatus::Ok, platform::PictureOfImage(image, r));
        EXPECT_EQ(c.corners[0], r.At(0, 0)) << c.angle;
        EXPECT_EQ(c.corners[1], r.At(c.w - 1, 0)) << c.angle;
        EXPECT_EQ(c.corners[2], r.At(0, c.h - 1)) << c.angle;
        EXPECT_EQ(c.corners[3], r.At(c.w - 1, c.h - 1)) << c.angle;
        image->Release();
        out->Release();
    }
    IBitmapImage* out = nullptr;
    EXPECT_EQ(E_INVALIDARG, ops->Rotate(45, InterpolationHintDefault, &out));
    EXPECT_EQ(nullptr, out);
    ops->Release();
    bitmap->Release();
}

TEST(PictureOps, LockBitsWritesBackInTheLockedFormat)
{
    IImagingFactory* factory = platform::CreateImagingFactory();
    IBitmapImage* bitmap = nullptr;
    ASSERT_EQ(S_OK, factory->CreateNewBitmap(5, 3, PixelFormat16bppRGB565, &bitmap));
    BitmapData data{};
    const RECT part{1, 1, 4, 3};
    ASSERT_EQ(S_OK, bitmap->LockBits(&part, ImageLockModeWrite, PixelFormat24bppRGB, &data));
    EXPECT_EQ(E_FAIL, bitmap->LockBits(nullptr, ImageLockModeRead, PixelFormat24bppRGB, &data));
    EXPECT_EQ(12, data.Stride); // 3 pixels x 3 bytes, rows padded to 4
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) {
            BYTE* q = static_cast<BYTE*>(data.Scan0) + y * data.Stride + x * 3;
            q[0] = 0x00; // blue
            q[1] = 0x00;
            q[2] = 0xFF; // red
        }
    ASSERT_EQ(S_OK, bitmap->UnlockBits(&data));
    ASSERT_EQ(S_OK, bitmap->LockBits(nullptr, ImageLockModeRead, PixelFormat16bppRGB565, &data));
    const WORD* px = static_cast<const WORD*>(data.Scan0);
    const int perRow = data.Stride / 2;
    EXPECT_EQ(0x0000, px[0]);
    EXPECT_EQ(0xF800, px[perRow + 1]);
    EXPECT_EQ(0xF800, px[2 * perRow + 3]);
    EXPECT_EQ(0x0000, px[2 * perRow + 4]);
    bitmap->UnlockBits(&data);
    const RECT outside{0, 0, 6, 3};
    EXPECT_EQ(E_INVALIDARG, bitmap->LockBits(&outside, ImageLockModeRead, PixelFormat16bppRGB565, &data));
    bitmap->Release();
    factory->Release();
}

// Loading from files of the unit.
class ImagingFiles : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directory(unit.Host("NAND")); }
    void Write(const std::string& name, const Bytes& b)
    {
        std::ofstream(unit.Host("NAND/" + name), std::ios::binary)
            .write(reinterpret_cast<const char*>(b.data()), b.size());
    }
    TempUnit unit{"wren-imaging"};
    const std::string& root = unit.Root();
};

TEST_F(ImagingFiles, ShLoadDibitmapGivesTheBmpPixels)
{
    Write("q.bmp", MakeBmp(Quadrants(), 8));
    Write("q.png", MakePngAs(Quadrants(), PNG_FORMAT_RGB));
    HBITMAP dib = SHLoadDIBitmap(u"\\NAND\\q.bmp");
    ASSERT_NE(nullptr, dib);
    DIBSECTION ds{};
    ASSERT_NE(0, GetObject(dib, sizeof ds, &ds));
    EXPECT_EQ(kW, ds.dsBm.bmWidth);
    EXPECT_EQ(kH, ds.dsBm.bmHeight);
    EXPECT_EQ(24, ds.dsBm.bmBitsPixel);
    auto surface = platform::LookupGdiObject<platform::BitmapObject>(dib)->surface;
    EXPECT_EQ(RGB(255, 0, 0), platform::ReadPixel(*surface, 1, 1));
    EXPECT_EQ(RGB(255, 255, 255), platform::ReadPixel(*surface, kW - 1, kH - 1));
    DeleteObject(dib);

    SetLastError(0);
    EXPECT_EQ(nullptr, SHLoadDIBitmap(u"\\NAND\\missing.bmp"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetLastError());
    EXPECT_EQ(nullptr, SHLoadDIBitmap(u"\\NAND\\q.png"));
    EXPECT_EQ(ERROR_BAD_FORMAT, GetLastError());
}

// The 24-bit DIB holds the decoded pixels for every BMP kind, also with a
// width whose rows are padded and with rows stored top down.
TEST_F(ImagingFiles, ShLoadDibitmapHoldsEveryPixelOfEachBmpKind)
{
    struct Case {
        const char* what;
        Bytes file;
    };
    const Picture odd = Quadrants(kW + 3, kH + 1);
    const Case cases[] = {
        {"1 bit", MakeBmp(Quadrants(kW + 3, kH + 1, 2), 1)},
        {"4 bits", MakeBmp(odd, 4)},
        {"8 bits, top down", MakeBmp(odd, 8, true)},
        {"16 bits 565", MakeBmp(odd, 16, false, true)},
        {"24 bits", MakeBmp(odd, 24)},
        {"24 bits, top down", MakeBmp(odd, 24, true)},
        {"32 bits", MakeBmp(odd, 32)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Write("k.bmp", c.file);
        platform::PictureInfo info;
        Picture expected;
        ASSERT_EQ(PictureStatus::Ok,
                  platform::DecodeBmp(c.file.data(), c.file.size(), platform::DecodeOptions{}, info, expected));
        HBITMAP dib = SHLoadDIBitmap(u"\\NAND\\k.bmp");
        ASSERT_NE(nullptr, dib);
        auto surface = platform::LookupGdiObject<platform::BitmapObject>(dib)->surface;
        ASSERT_EQ(expected.width, surface->width);
        ASSERT_EQ(expected.height, surface->height);
        int wrong = 0;
        for (int y = 0; y < expected.height; ++y)
            for (int x = 0; x < expected.width; ++x) {
                const std::uint32_t p = expected.At(x, y);
                wrong += platform::ReadPixel(*surface, x, y) != RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
            }
        EXPECT_EQ(0, wrong);
        DeleteObject(dib);
    }
}

TEST_F(ImagingFiles, DibOfAFileIsFittedAndTurned)
{
    Write("q.jpg", MakeJpeg(Quadrants(400, 200)));
    // Turned clockwise the 400 x 200 picture is 200 x 400; fitted into 100 x 100 it is 50 x 100.
    HBITMAP dib = platform::LoadPictureAsDib565(u"\\NAND\\q.jpg", 100, 100, true, 90);
    ASSERT_NE(nullptr, dib);
    auto surface = platform::LookupGdiObject<platform::BitmapObject>(dib)->surface;
    EXPECT_EQ(50, surface->width);
    EXPECT_EQ(100, surface->height);
    EXPECT_EQ(16, surface->bitsPerPixel);
    // The bottom-left (blue) quadrant now sits at the top left.
    EXPECT_TRUE(Near(platform::FromRgb565(*reinterpret_cast<WORD*>(surface->Row(5) + 2 * 5)) | 0xFF000000u, 0xFFFF0000u,
                     16)); // COLORREF 0x00BBGGRR: blue reads as 0xFF0000
    DeleteObject(dib);
    EXPECT_EQ(nullptr, platform::LoadPictureAsDib565(u"\\NAND\\none.jpg", 10, 10));
}

TEST_F(ImagingFiles, DrawPlacesTheSourceRectangleUnmirrored)
{
    Write("q.png", MakePngAs(Quadrants(), PNG_FORMAT_RGB));
    IImagingFactory* factory = nullptr;
    ASSERT_EQ(S_OK,
              CoCreateInstance(CLSID_ImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IImagingFactory,
                               reinterpret_cast<void**>(&factory)));
    IImage* image = nullptr;
    ASSERT_EQ(S_OK, factory->CreateImageFromFile(u"\\NAND\\q.png", &image));
    IImage* missing = nullptr;
    EXPECT_TRUE(FAILED(factory->CreateImageFromFile(u"\\NAND\\none.png", &missing)));
    EXPECT_EQ(nullptr, missing);

    void* bits = nullptr;
    Picture black;
    black.Allocate(100, 60);
    HBITMAP target = platform::PictureToDib565(black, &bits);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, target);
    auto surface = platform::LookupGdiObject<platform::BitmapObject>(target)->surface;

    // Whole picture at (10, 10), its own size.
    const RECT whole{10, 10, 10 + kW, 10 + kH};
    ASSERT_EQ(S_OK, image->Draw(dc, &whole, nullptr));
    EXPECT_EQ(RGB(255, 0, 0), platform::ReadPixel(*surface, 10, 10));
    EXPECT_EQ(RGB(255, 255, 255), platform::ReadPixel(*surface, 10 + kW - 1, 10 + kH - 1));
    EXPECT_EQ(RGB(0, 0, 0), platform::ReadPixel(*surface, 9, 10));

    // The bottom-right quadrant (in hundredths of a mm) stretched to 20 x 20 at (70, 30).
    SIZE phys{};
    image->GetPhysicalDimension(&phys);
    const RECT src{phys.cx / 2, phys.cy / 2, phys.cx, phys.cy};
    const RECT dst{70, 30, 90, 50};
    ASSERT_EQ(S_OK, image->Draw(dc, &dst, &src));
    EXPECT_EQ(RGB(255, 255, 255), platform::ReadPixel(*surface, 70, 30));
    EXPECT_EQ(RGB(255, 255, 255), platform::ReadPixel(*surface, 89, 49));
    EXPECT_EQ(RGB(0, 0, 0), platform::ReadPixel(*surface, 90, 49));

    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(target);
    image->Release();
    factory->Release();
}

TEST_F(ImagingFiles, EncodedCaptureDecodesBack)
{
    std::vector<BYTE> frame(64 * 32 * 4);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 64; ++x) {
            BYTE* q = &frame[(y * 64 + x) * 4];
            q[0] = x < 32 ? 0xFF : 0; // blue on the left, red on the right
            q[2] = x < 32 ? 0 : 0xFF;
        }
    ASSERT_TRUE(platform::EncodeJpegFile(u"\\NAND\\cap.jpg", frame.data(), 64, 32, 64 * 4, 32, 90));
    std::vector<BYTE> bytes;
    ASSERT_EQ(PictureStatus::Ok, platform::ReadPictureFile(u"\\NAND\\cap.jpg", bytes));
    platform::PictureInfo info;
    Picture p;
    ASSERT_EQ(PictureStatus::Ok, platform::DecodePicture(bytes.data(), bytes.size(), {}, info, p));
    EXPECT_EQ(platform::PictureFormat::Jpeg, info.format);
    EXPECT_TRUE(Near(p.At(8, 16), 0xFF0000FFu, 12));
    EXPECT_TRUE(Near(p.At(56, 16), 0xFFFF0000u, 12));
}

} // namespace
