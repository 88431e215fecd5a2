#include "Source/gate/GateDecoder.h"

#include "Lib_cpp/core/Diag.h"

#include <png.h>

#include <bit>
#include <csetjmp>
#include <cstring>

namespace gate {
namespace {

// Little-endian fields of a file of size bytes; reads outside it answer false.
struct Bytes {
    const std::uint8_t* data;
    std::size_t size;

    bool Has(std::size_t at, std::size_t count) const { return at <= size && count <= size - at; }
    bool U16(std::size_t at, std::uint32_t& v) const
    {
        if (!Has(at, 2))
            return false;
        v = static_cast<std::uint32_t>(data[at] | (data[at + 1] << 8));
        return true;
    }
    bool U32(std::size_t at, std::uint32_t& v) const
    {
        if (!Has(at, 4))
            return false;
        v = static_cast<std::uint32_t>(data[at]) | (static_cast<std::uint32_t>(data[at + 1]) << 8)
            | (static_cast<std::uint32_t>(data[at + 2]) << 16) | (static_cast<std::uint32_t>(data[at + 3]) << 24);
        return true;
    }
};

bool SideFits(std::int64_t side)
{
    return side > 0 && side <= kGateMaxImageSide;
}

bool Refuse(const char16_t* why)
{
    IxTrace(u"[3dGate] Error : %s \r\n", why);
    return false;
}

// ---- BMP ------------------------------------------------------------------

enum class BmpCompression : std::uint32_t { Rgb = 0, Rle8 = 1, Rle4 = 2, BitFields = 3 };

// One channel of a bit-field pixel scaled to 8 bits: the mask's lowest set
// bit gives the shift, the bits from there to its highest set bit the width.
std::uint8_t Channel(std::uint32_t pixel, std::uint32_t mask)
{
    if (mask == 0)
        return 0;
    const int shift = std::countr_zero(mask);
    const int width = 32 - std::countl_zero(mask) - shift;
    std::uint32_t value = (pixel & mask) >> shift;
    if (width > 8)
        value >>= width - 8;
    else
        value <<= 8 - width;
    return static_cast<std::uint8_t>(value);
}

struct BmpInfo {
    std::uint32_t offBits = 0;
    std::uint32_t headerSize = 0;
    int width = 0;
    int height = 0;
    bool topDown = false;
    std::uint32_t bits = 0;
    BmpCompression compression = BmpCompression::Rgb;
    std::uint32_t masks[4] = {};
    std::vector<std::uint8_t> palette; // R, G, B, A per entry
};

bool ReadBmpInfo(const Bytes& file, BmpInfo& info)
{
    std::uint32_t w = 0, h = 0, bits = 0, compression = 0, colorsUsed = 0;
    if (!file.Has(0, 2) || file.data[0] != 'B' || file.data[1] != 'M')
        return Refuse(u"Not a BMP file");
    if (!file.U32(10, info.offBits) || !file.U32(14, info.headerSize))
        return Refuse(u"Truncated BMP header");
    // The information header is read by its own size; sizes below the
    // 40-byte header carry no compression or colour count.
    if (info.headerSize < 40 || !file.Has(14, info.headerSize))
        return Refuse(u"Bad BMP information header");
    file.U32(18, w);
    file.U32(22, h);
    file.U16(28, bits);
    file.U32(30, compression);
    file.U32(46, colorsUsed);
    const std::int64_t width = static_cast<std::int32_t>(w);
    const std::int64_t height = static_cast<std::int32_t>(h);
    const std::int64_t absWidth = width < 0 ? -width : width;
    const std::int64_t absHeight = height < 0 ? -height : height;
    if (!SideFits(absWidth) || !SideFits(absHeight))
        return Refuse(u"BMP size out of range");
    info.width = static_cast<int>(absWidth);
    info.height = static_cast<int>(absHeight);
    info.topDown = height < 0;
    info.bits = bits;
    info.compression = static_cast<BmpCompression>(compression);
    std::size_t tableAt = 14 + static_cast<std::size_t>(info.headerSize);
    if (info.compression == BmpCompression::BitFields) {
        if (info.headerSize >= 52) {
            file.U32(54, info.masks[0]);
            file.U32(58, info.masks[1]);
            file.U32(62, info.masks[2]);
            if (info.headerSize >= 56)
                file.U32(66, info.masks[3]);
        } else {
            // The 40-byte header keeps its three masks after it.
            if (!file.U32(54, info.masks[0]) || !file.U32(58, info.masks[1]) || !file.U32(62, info.masks[2]))
                return Refuse(u"Truncated BMP bit fields");
            tableAt += 12;
        }
    }
    if (bits == 1 || bits == 4 || bits == 8) {
        const std::uint32_t most = 1u << bits;
        const std::uint32_t colors = colorsUsed ? colorsUsed : most;
        if (colors > most || !file.Has(tableAt, static_cast<std::size_t>(colors) * 4))
            return Refuse(u"Bad BMP palette");
        info.palette.resize(static_cast<std::size_t>(colors) * 4);
        for (std::uint32_t i = 0; i < colors; ++i) {
            const std::uint8_t* in = file.data + tableAt + static_cast<std::size_t>(i) * 4;
            std::uint8_t* out = info.palette.data() + static_cast<std::size_t>(i) * 4;
            out[0] = in[2];
            out[1] = in[1];
            out[2] = in[0];
            out[3] = in[3];
        }
    }
    if (info.offBits >= file.size)
        return Refuse(u"BMP pixels outside the file");
    return true;
}

// Palette entry index as R, G, B, A; an index past the palette is
// transparent black.
void PutIndex(const BmpInfo& info, std::uint32_t index, std::uint8_t* out)
{
    if (static_cast<std::size_t>(index) * 4 + 4 <= info.palette.size())
        std::memcpy(out, info.palette.data() + static_cast<std::size_t>(index) * 4, 4);
    else
        std::memset(out, 0, 4);
}

bool DecodeBmpRows(const Bytes& file, const BmpInfo& info, GateImageData& out)
{
    const bool fields = info.compression == BmpCompression::BitFields;
    const bool indexed = !info.palette.empty();
    if (fields && info.bits != 16 && info.bits != 32)
        return Refuse(u"BMP bit fields need 16 or 32 bits");
    if (!indexed && info.bits != 16 && info.bits != 24 && info.bits != 32) {
        IxTrace(u"[3d Gate] Error: Unknown BitCount \r\n");
        return false;
    }
    const std::size_t stride = (static_cast<std::size_t>(info.bits) * info.width + 31) / 32 * 4;
    if (!file.Has(info.offBits, stride * info.height))
        return Refuse(u"Truncated BMP pixels");
    // Bit fields give 4 bytes per pixel whatever the file's depth; the
    // buffer says so, so that the atlas takes it as the 32-bit image it is.
    const int outBpp = indexed || fields ? 32 : static_cast<int>(info.bits);
    const std::size_t outStride = static_cast<std::size_t>(info.width) * (outBpp / 8);
    out.pixels.assign(outStride * info.height, 0);
    for (int row = 0; row < info.height; ++row) {
        const std::uint8_t* in = file.data + info.offBits + stride * row;
        // Rows run bottom up in the file unless the height was negative.
        const int outRow = info.topDown ? info.height - 1 - row : row;
        std::uint8_t* o = out.pixels.data() + outStride * outRow;
        for (int x = 0; x < info.width; ++x) {
            if (indexed) {
                const std::uint32_t perByte = 8 / info.bits;
                const std::uint32_t byte = in[x / perByte];
                const std::uint32_t shift = 8 - info.bits * (x % perByte + 1);
                PutIndex(info, (byte >> shift) & ((1u << info.bits) - 1), o + x * 4);
            } else if (fields) {
                const std::uint32_t pixel = info.bits == 16
                    ? static_cast<std::uint32_t>(in[x * 2] | (in[x * 2 + 1] << 8))
                    : static_cast<std::uint32_t>(in[x * 4]) | (static_cast<std::uint32_t>(in[x * 4 + 1]) << 8)
                        | (static_cast<std::uint32_t>(in[x * 4 + 2]) << 16)
                        | (static_cast<std::uint32_t>(in[x * 4 + 3]) << 24);
                std::uint8_t* p = o + x * 4;
                p[0] = Channel(pixel, info.masks[0]);
                p[1] = Channel(pixel, info.masks[1]);
                p[2] = Channel(pixel, info.masks[2]);
                // Without an alpha mask the pixel is opaque.
                p[3] = info.masks[3] ? Channel(pixel, info.masks[3]) : 0xFF;
            } else if (info.bits == 16) {
                // 5-5-5 to 5-6-5: red and green move up one bit.
                const std::uint16_t v = static_cast<std::uint16_t>(in[x * 2] | (in[x * 2 + 1] << 8));
                const std::uint16_t w = static_cast<std::uint16_t>(((v & 0x7FE0) << 1) | (v & 0x1F));
                o[x * 2] = static_cast<std::uint8_t>(w);
                o[x * 2 + 1] = static_cast<std::uint8_t>(w >> 8);
            } else if (info.bits == 24) {
                o[x * 3] = in[x * 3 + 2];
                o[x * 3 + 1] = in[x * 3 + 1];
                o[x * 3 + 2] = in[x * 3];
            } else {
                o[x * 4] = in[x * 4 + 2];
                o[x * 4 + 1] = in[x * 4 + 1];
                o[x * 4 + 2] = in[x * 4];
                o[x * 4 + 3] = in[x * 4 + 3];
            }
        }
    }
    out.bpp = outBpp;
    return true;
}

// 8-bit run-length pixels. Runs, copies and moves that reach past a row or
// past the image are clipped: only pixels inside the image are written.
bool DecodeBmpRle8(const Bytes& file, const BmpInfo& info, GateImageData& out)
{
    if (info.bits != 8 || info.palette.empty())
        return Refuse(u"BMP run-length needs 8-bit palette pixels");
    const std::size_t w = static_cast<std::size_t>(info.width);
    const std::size_t h = static_cast<std::size_t>(info.height);
    std::vector<std::uint8_t> indices(w * h, 0);
    std::size_t x = 0, y = 0, at = info.offBits;
    const auto put = [&](std::uint8_t index) {
        if (x < w && y < h)
            indices[y * w + x] = index;
        ++x;
    };
    while (at + 2 <= file.size && y < h) {
        const std::uint8_t count = file.data[at];
        const std::uint8_t value = file.data[at + 1];
        at += 2;
        if (count > 0) {
            for (int i = 0; i < count && x < w; ++i)
                put(value);
            continue;
        }
        if (value == 0) { // end of line
            x = 0;
            ++y;
        } else if (value == 1) { // end of bitmap
            break;
        } else if (value == 2) { // move
            if (at + 2 > file.size)
                break;
            x += file.data[at];
            y += file.data[at + 1];
            at += 2;
        } else { // value pixels as they stand, padded to a 16-bit boundary
            const std::size_t n = value;
            if (!file.Has(at, n))
                break;
            for (std::size_t i = 0; i < n; ++i)
                put(file.data[at + i]);
            at += n + (n & 1);
        }
    }
    out.pixels.assign(w * h * 4, 0);
    for (std::size_t row = 0; row < h; ++row) {
        const std::size_t outRow = info.topDown ? h - 1 - row : row;
        for (std::size_t col = 0; col < w; ++col)
            PutIndex(info, indices[row * w + col], out.pixels.data() + (outRow * w + col) * 4);
    }
    out.bpp = 32;
    return true;
}

// ---- PNG ------------------------------------------------------------------

struct PngSource {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t at;
};

void PngRead(png_structp png, png_bytep out, png_size_t length)
{
    auto* source = static_cast<PngSource*>(png_get_io_ptr(png));
    if (length > source->size - source->at)
        png_error(png, "truncated");
    std::memcpy(out, source->data + source->at, length);
    source->at += length;
}

void PngFail(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

void PngWarn(png_structp, png_const_charp) {}

enum class PngResult { Ok, Failed, WrongColorType };

// The libpng part, kept apart so that nothing it holds lives across the
// error jump but what the caller owns.
PngResult ReadPng(png_structp png, png_infop info, PngSource* source, GateImageData& out, std::vector<png_bytep>& rows)
{
    if (setjmp(png_jmpbuf(png)))
        return PngResult::Failed;
    png_set_read_fn(png, source, PngRead);
    png_set_user_limits(png, kGateMaxImageSide, kGateMaxImageSide);
    png_set_sig_bytes(png, 8);
    png_read_info(png, info);
    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    const int colorType = png_get_color_type(png, info);
    if (colorType != PNG_COLOR_TYPE_RGB && colorType != PNG_COLOR_TYPE_RGB_ALPHA)
        return PngResult::WrongColorType;
    if (!SideFits(width) || !SideFits(height))
        return PngResult::Failed;
    png_set_strip_16(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const int bpp = colorType == PNG_COLOR_TYPE_RGB ? 24 : 32;
    const std::size_t rowBytes = png_get_rowbytes(png, info);
    if (rowBytes != static_cast<std::size_t>(width) * (bpp / 8))
        return PngResult::Failed;
    out.pixels.assign(rowBytes * height, 0);
    rows.resize(height);
    // Image row i goes to buffer row height - 1 - i: the bottom row first.
    for (png_uint_32 i = 0; i < height; ++i)
        rows[i] = out.pixels.data() + rowBytes * (height - 1 - i);
    png_read_image(png, rows.data());
    out.bpp = bpp;
    out.width = static_cast<int>(width);
    out.height = static_cast<int>(height);
    return PngResult::Ok;
}

} // namespace

GateImageFormat GateFormatOf(const std::string& path, bool* hasDot)
{
    const std::size_t dot = path.rfind('.');
    if (hasDot)
        *hasDot = dot != std::string::npos;
    if (dot == std::string::npos)
        return GateImageFormat::Unknown;
    const std::string ext = path.substr(dot);
    if (ext == ".tga" || ext == ".TGA")
        return GateImageFormat::Tga;
    if (ext == ".bmp" || ext == ".BMP")
        return GateImageFormat::Bmp;
    if (ext == ".png" || ext == ".PNG")
        return GateImageFormat::Png;
    return GateImageFormat::Unknown;
}

bool GateDecodeTga(const std::uint8_t* data, std::size_t size, GateImageData& out)
{
    // Uncompressed true colour, no identifier, no colour map, origin 0.
    static const std::uint8_t kHeader[12] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    const Bytes file{data, size};
    if (!file.Has(0, 18) || std::memcmp(data, kHeader, sizeof kHeader) != 0)
        return Refuse(u"Not an uncompressed true-colour TGA file");
    std::uint32_t width = 0, height = 0;
    file.U16(12, width);
    file.U16(14, height);
    const int bpp = data[16];
    if (!SideFits(width) || !SideFits(height) || (bpp != 24 && bpp != 32))
        return Refuse(u"TGA size or depth out of range");
    const std::size_t bytes = static_cast<std::size_t>(width) * height * (bpp / 8);
    if (!file.Has(18, bytes))
        return Refuse(u"Truncated TGA pixels");
    out.pixels.assign(data + 18, data + 18 + bytes);
    for (std::size_t i = 0; i + 2 < bytes; i += bpp / 8)
        std::swap(out.pixels[i], out.pixels[i + 2]);
    out.bpp = bpp;
    out.width = static_cast<int>(width);
    out.height = static_cast<int>(height);
    return true;
}

bool GateDecodeBmp(const std::uint8_t* data, std::size_t size, GateImageData& out)
{
    const Bytes file{data, size};
    BmpInfo info;
    if (!ReadBmpInfo(file, info))
        return false;
    bool done = false;
    switch (info.compression) {
    case BmpCompression::Rgb:
    case BmpCompression::BitFields:
        done = DecodeBmpRows(file, info, out);
        break;
    case BmpCompression::Rle8:
        done = DecodeBmpRle8(file, info, out);
        break;
    default:
        return Refuse(u"Unsupported BMP compression");
    }
    if (!done) {
        out.pixels.clear();
        return false;
    }
    out.width = info.width;
    out.height = info.height;
    return true;
}

bool GateDecodePng(const std::uint8_t* data, std::size_t size, GateImageData& out)
{
    if (size < 8 || png_sig_cmp(data, 0, 8) != 0)
        return Refuse(u"Not a PNG file");
    // The version is the one of the libpng built against, never a fixed text.
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, PngFail, PngWarn);
    if (!png)
        return Refuse(u"PNG read structure");
    png_infop info = png_create_info_struct(png);
    png_infop endInfo = png_create_info_struct(png);
    if (!info || !endInfo) {
        png_destroy_read_struct(&png, &info, &endInfo);
        return Refuse(u"PNG info structure");
    }
    PngSource source{data, size, 8};
    std::vector<png_bytep> rows;
    const PngResult result = ReadPng(png, info, &source, out, rows);
    png_destroy_read_struct(&png, &info, &endInfo);
    if (result != PngResult::Ok) {
        out.pixels.clear();
        return Refuse(result == PngResult::WrongColorType ? u"PNG is neither RGB nor RGB with alpha"
                                                          : u"Damaged PNG file");
    }
    return true;
}

bool GateDecode(GateImageFormat format, const std::uint8_t* data, std::size_t size, GateImageData& out)
{
    switch (format) {
    case GateImageFormat::Tga:
        return GateDecodeTga(data, size, out);
    case GateImageFormat::Bmp:
        return GateDecodeBmp(data, size, out);
    case GateImageFormat::Png:
        return GateDecodePng(data, size, out);
    default:
        return false;
    }
}

} // namespace gate
