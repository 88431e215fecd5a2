// The menu's TGA, BMP and PNG decoders over small files written here: pixel
// layouts, depth conversions, palettes, run-length pixels, row order, and
// the files they must refuse.
#include "Source/gate/GateDecoder.h"
#include "Source/gate/GateTexture.h"
#include "tests/common/TempUnit.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace gate;
using Bytes = std::vector<std::uint8_t>;

namespace {

void Put16(Bytes& b, std::size_t at, std::uint32_t v)
{
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
void Put32(Bytes& b, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Appends by element: GCC 12 at -O3 reports a false overflow for a range
// insert into a vector just sized.
void Append(Bytes& to, const Bytes& from)
{
    for (std::uint8_t byte : from)
        to.push_back(byte);
}

Bytes Tga(int width, int height, int bpp, const Bytes& pixels)
{
    Bytes b(18, 0);
    b[2] = 2;
    Put16(b, 12, static_cast<std::uint32_t>(width));
    Put16(b, 14, static_cast<std::uint32_t>(height));
    b[16] = static_cast<std::uint8_t>(bpp);
    Append(b, pixels);
    return b;
}

struct BmpLayout {
    int width = 1;
    int height = 1;
    int bits = 24;
    std::uint32_t compression = 0;
    std::uint32_t headerSize = 40;
    Bytes palette;                    // B, G, R, A per entry
    std::vector<std::uint32_t> masks; // after a 40-byte header, or inside a larger one
    std::uint32_t colorsUsed = 0;
    Bytes pixels; // as stored
};

Bytes Bmp(const BmpLayout& s)
{
    Bytes b(14 + s.headerSize, 0);
    b[0] = 'B';
    b[1] = 'M';
    Put32(b, 14, s.headerSize);
    Put32(b, 18, static_cast<std::uint32_t>(s.width));
    Put32(b, 22, static_cast<std::uint32_t>(s.height));
    Put16(b, 26, 1);
    Put16(b, 28, static_cast<std::uint32_t>(s.bits));
    Put32(b, 30, s.compression);
    Put32(b, 46, s.colorsUsed);
    if (s.headerSize >= 56)
        for (std::size_t i = 0; i < s.masks.size() && i < 4; ++i)
            Put32(b, 54 + 4 * i, s.masks[i]);
    else
        for (std::uint32_t m : s.masks) {
            b.resize(b.size() + 4);
            Put32(b, b.size() - 4, m);
        }
    Append(b, s.palette);
    Put32(b, 10, static_cast<std::uint32_t>(b.size()));
    Append(b, s.pixels);
    Put32(b, 2, static_cast<std::uint32_t>(b.size()));
    return b;
}

// An 8-bit PNG of the colour type, rows top down, pixels as given.
Bytes Png(int width, int height, int colorType, const Bytes& pixels, int bitDepth = 8)
{
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep data, png_size_t n) {
            auto* o = static_cast<Bytes*>(png_get_io_ptr(p));
            o->insert(o->end(), data, data + n);
        },
        nullptr);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), bitDepth, colorType,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const std::size_t row = pixels.size() / static_cast<std::size_t>(height);
    for (int y = 0; y < height; ++y)
        png_write_row(png, pixels.data() + row * static_cast<std::size_t>(y));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

struct Case {
    const char* name;
    GateImageFormat format;
    Bytes file;
    bool ok;
    int bpp = 0;
    int width = 0;
    int height = 0;
    Bytes pixels = {}; // bottom row first
};

std::vector<Case> Cases()
{
    std::vector<Case> c;
    // TGA: B, G, R(, A) become R, G, B(, A); rows stay in file order.
    c.push_back(
        {"tga 24", GateImageFormat::Tga, Tga(2, 1, 24, {1, 2, 3, 4, 5, 6}), true, 24, 2, 1, {3, 2, 1, 6, 5, 4}});
    c.push_back({"tga 32",
                 GateImageFormat::Tga,
                 Tga(1, 2, 32, {1, 2, 3, 4, 5, 6, 7, 8}),
                 true,
                 32,
                 1,
                 2,
                 {3, 2, 1, 4, 7, 6, 5, 8}});
    {
        Bytes rle = Tga(1, 1, 24, {1, 2, 3});
        rle[2] = 10;
        c.push_back({"tga run-length refused", GateImageFormat::Tga, rle, false});
    }
    c.push_back({"tga 16 bits refused", GateImageFormat::Tga, Tga(1, 1, 16, {1, 2}), false});
    c.push_back({"tga zero width refused", GateImageFormat::Tga, Tga(0, 1, 24, {}), false});
    c.push_back({"tga truncated refused", GateImageFormat::Tga, Tga(2, 2, 24, Bytes(11, 0)), false});
    c.push_back({"tga oversized refused", GateImageFormat::Tga, Tga(1025, 1, 24, Bytes(1025 * 3, 0)), false});

    // BMP 24 bits, 3 wide: rows padded to 12 bytes; bottom row first.
    {
        BmpLayout s;
        s.width = 3;
        s.height = 2;
        s.pixels = {1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0, 11, 12, 13, 14, 15, 16, 17, 18, 19, 0, 0, 0};
        c.push_back({"bmp 24 stride",
                     GateImageFormat::Bmp,
                     Bmp(s),
                     true,
                     24,
                     3,
                     2,
                     {3, 2, 1, 6, 5, 4, 9, 8, 7, 13, 12, 11, 16, 15, 14, 19, 18, 17}});
        s.height = -2; // top down: the file's first row is the top one
        c.push_back({"bmp 24 top down",
                     GateImageFormat::Bmp,
                     Bmp(s),
                     true,
                     24,
                     3,
                     2,
                     {13, 12, 11, 16, 15, 14, 19, 18, 17, 3, 2, 1, 6, 5, 4, 9, 8, 7}});
    }
    {
        BmpLayout s; // 5-5-5 red 31, green 31, blue 31 -> 5-6-5 with green's low bit 0
        s.bits = 16;
        s.width = 2;
        s.pixels = {0xFF, 0x7F, 0x1F, 0x7C};
        c.push_back({"bmp 555 to 565", GateImageFormat::Bmp, Bmp(s), true, 16, 2, 1, {0xDF, 0xFF, 0x1F, 0xF8}});
    }
    {
        BmpLayout s;
        s.bits = 32;
        s.pixels = {1, 2, 3, 4};
        c.push_back({"bmp 32", GateImageFormat::Bmp, Bmp(s), true, 32, 1, 1, {3, 2, 1, 4}});
    }
    {
        BmpLayout s; // 5-6-5 bit fields after a 40-byte header: 4 bytes a pixel, opaque
        s.bits = 16;
        s.compression = 3;
        s.masks = {0xF800, 0x07E0, 0x001F};
        s.pixels = {0x1F, 0xF8, 0, 0}; // red 31, green 0, blue 31
        c.push_back({"bmp bit fields 565", GateImageFormat::Bmp, Bmp(s), true, 32, 1, 1, {0xF8, 0, 0xF8, 0xFF}});
    }
    {
        BmpLayout s; // 10-bit channels and a 2-bit alpha inside a 108-byte header
        s.bits = 32;
        s.compression = 3;
        s.headerSize = 108;
        s.masks = {0x3FF00000, 0x000FFC00, 0x000003FF, 0xC0000000};
        const std::uint32_t v = (3u << 30) | (0x3FFu << 20) | (0x200u << 10) | 0x001u;
        s.pixels = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v >> 16),
                    static_cast<std::uint8_t>(v >> 24)};
        c.push_back({"bmp bit fields 10-10-10-2", GateImageFormat::Bmp, Bmp(s), true, 32, 1, 1, {0xFF, 0x80, 0, 0xC0}});
    }
    {
        BmpLayout s; // 1 bit, 9 wide: two palette entries, rows of 4 bytes
        s.bits = 1;
        s.width = 9;
        s.palette = {10, 20, 30, 40, 50, 60, 70, 80};
        s.pixels = {0xA0, 0x80, 0, 0};
        Bytes want;
        for (int x : {1, 0, 1, 0, 0, 0, 0, 0, 1})
            for (int v : {x ? 70 : 30, x ? 60 : 20, x ? 50 : 10, x ? 80 : 40})
                want.push_back(static_cast<std::uint8_t>(v));
        c.push_back({"bmp 1 bit palette", GateImageFormat::Bmp, Bmp(s), true, 32, 9, 1, want});
    }
    {
        BmpLayout s; // 4 bits with a palette of 2 colours: index 5 is past it
        s.bits = 4;
        s.width = 2;
        s.colorsUsed = 2;
        s.palette = {1, 2, 3, 4, 5, 6, 7, 8};
        s.pixels = {0x15, 0, 0, 0};
        c.push_back(
            {"bmp 4 bit short palette", GateImageFormat::Bmp, Bmp(s), true, 32, 2, 1, {7, 6, 5, 8, 0, 0, 0, 0}});
        s.colorsUsed = 17;
        c.push_back({"bmp palette count over the depth refused", GateImageFormat::Bmp, Bmp(s), false});
    }
    {
        BmpLayout s; // 8-bit run-length: a run, a move, an absolute copy, clipped runs
        s.bits = 8;
        s.width = 4;
        s.height = 3;
        s.compression = 1;
        s.colorsUsed = 4;
        s.palette = {0, 0, 0, 0, 0, 0, 1, 1, 0, 0, 2, 2, 0, 0, 3, 3};
        s.pixels = {
            9,   1,             // row 0: a run of 9, clipped to 4
            0,   0,             // end of line
            0,   2, 1, 0,       // move right 1
            0,   3, 2, 3, 2, 0, // 3 absolute pixels, padded: x 1..3
            0,   0,             // end of line
            200, 3,             // row 2: 200, clipped
            0,   2, 0, 5,       // a move below the image
            5,   1,             // nothing is written there
            0,   1,             // end of bitmap
        };
        Bytes want;
        for (int i : {1, 1, 1, 1, 0, 2, 3, 2, 3, 3, 3, 3})
            for (int v : {i, 0, 0, i})
                want.push_back(static_cast<std::uint8_t>(v));
        c.push_back({"bmp rle8 clipped", GateImageFormat::Bmp, Bmp(s), true, 32, 4, 3, want});
    }
    {
        BmpLayout s;
        s.pixels = {1, 2};
        c.push_back({"bmp truncated pixels refused", GateImageFormat::Bmp, Bmp(s), false});
        s.pixels = {1, 2, 3, 0};
        Bytes core = Bmp(s);
        Put32(core, 14, 12);
        c.push_back({"bmp core header refused", GateImageFormat::Bmp, core, false});
    }
    {
        BmpLayout s;
        s.width = 1025;
        s.pixels = Bytes(1025 * 3 + 1, 0);
        c.push_back({"bmp oversized refused", GateImageFormat::Bmp, Bmp(s), false});
        s.width = 1;
        s.height = -1025;
        s.pixels = Bytes(1025 * 4, 0);
        c.push_back({"bmp oversized top down refused", GateImageFormat::Bmp, Bmp(s), false});
    }
    {
        BmpLayout s;
        s.compression = 2;
        s.bits = 4;
        s.palette = Bytes(64, 0);
        s.pixels = {0, 1};
        c.push_back({"bmp run-length 4 refused", GateImageFormat::Bmp, Bmp(s), false});
        BmpLayout t;
        t.bits = 7;
        t.pixels = Bytes(4, 0);
        c.push_back({"bmp unknown bit count refused", GateImageFormat::Bmp, Bmp(t), false});
    }
    {
        BmpLayout s;
        s.pixels = {1, 2, 3, 0};
        Bytes b = Bmp(s);
        Put32(b, 14, 0x7FFFFFF0); // an information header longer than the file
        c.push_back({"bmp header size past the file refused", GateImageFormat::Bmp, b, false});
    }

    // PNG: rows top down in the file, bottom first in the buffer.
    c.push_back({"png rgb",
                 GateImageFormat::Png,
                 Png(1, 2, PNG_COLOR_TYPE_RGB, {1, 2, 3, 4, 5, 6}),
                 true,
                 24,
                 1,
                 2,
                 {4, 5, 6, 1, 2, 3}});
    c.push_back({"png rgba",
                 GateImageFormat::Png,
                 Png(2, 1, PNG_COLOR_TYPE_RGBA, {1, 2, 3, 4, 5, 6, 7, 8}),
                 true,
                 32,
                 2,
                 1,
                 {1, 2, 3, 4, 5, 6, 7, 8}});
    c.push_back({"png 16-bit rgb narrowed",
                 GateImageFormat::Png,
                 Png(1, 1, PNG_COLOR_TYPE_RGB, {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC}, 16),
                 true,
                 24,
                 1,
                 1,
                 {0x12, 0x56, 0x9A}});
    c.push_back({"png grey refused", GateImageFormat::Png, Png(1, 1, PNG_COLOR_TYPE_GRAY, {7}), false});
    {
        Bytes p = Png(4, 4, PNG_COLOR_TYPE_RGB, Bytes(48, 9));
        p.resize(p.size() - 20);
        c.push_back({"png truncated refused", GateImageFormat::Png, p, false});
    }
    c.push_back(
        {"png oversized refused", GateImageFormat::Png, Png(1025, 1, PNG_COLOR_TYPE_RGB, Bytes(1025 * 3, 0)), false});
    return c;
}

} // namespace

TEST(GateDecoder, DecodesAndRefusesAsTheFileSays)
{
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.name);
        GateImageData image;
        const bool ok = GateDecode(c.format, c.file.data(), c.file.size(), image);
        ASSERT_EQ(c.ok, ok);
        if (!ok)
            continue;
        EXPECT_EQ(c.bpp, image.bpp);
        EXPECT_EQ(c.width, image.width);
        EXPECT_EQ(c.height, image.height);
        EXPECT_EQ(c.pixels, image.pixels);
    }
}

TEST(GateDecoder, EveryShorterFileIsRefusedOrReadWhole)
{
    // Each prefix of a good file: refused, or (for run-length pixels, which
    // may end early) read at the full size; never a read past the end.
    for (const Case& c : Cases()) {
        if (!c.ok)
            continue;
        SCOPED_TRACE(c.name);
        for (std::size_t n = 0; n < c.file.size(); ++n) {
            Bytes prefix(c.file.begin(), c.file.begin() + static_cast<std::ptrdiff_t>(n));
            GateImageData image;
            if (GateDecode(c.format, prefix.data(), prefix.size(), image)) {
                EXPECT_EQ(image.pixels.size(), static_cast<std::size_t>(image.width) * image.height * image.bpp / 8);
            }
        }
    }
}

TEST(GateDecoder, FormatFromTheLastDot)
{
    const struct {
        const char* path;
        GateImageFormat format;
        bool dot;
    } cases[] = {
        {"a.tga", GateImageFormat::Tga, true},          {"a.TGA", GateImageFormat::Tga, true},
        {"x.y\\a.bmp", GateImageFormat::Bmp, true},     {"a.PNG", GateImageFormat::Png, true},
        {"a.Png", GateImageFormat::Unknown, true},      {"a.png.jpg", GateImageFormat::Unknown, true},
        {"Images\\a", GateImageFormat::Unknown, false},
    };
    for (const auto& c : cases) {
        bool dot = false;
        EXPECT_EQ(c.format, GateFormatOf(c.path, &dot)) << c.path;
        EXPECT_EQ(c.dot, dot) << c.path;
    }
}

TEST(GateDecoder, ReadsFilesThroughTheUnitPaths)
{
    TempUnit unit;
    std::filesystem::create_directories(unit.Host("NAND/Wren/Images"));
    const Bytes file = Tga(1, 1, 24, {1, 2, 3});
    std::ofstream(unit.Host("NAND/Wren/Images/x.tga"), std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    Bytes read;
    EXPECT_TRUE(GateReadFile("\\NAND\\Wren\\images\\X.TGA", read));
    EXPECT_EQ(file, read);
    EXPECT_FALSE(GateReadFile("\\NAND\\Wren\\Images\\missing.tga", read));
    EXPECT_TRUE(read.empty());
}
