// The four picture decoders and the JPEG encoder.
#include "platform/gfx/Picture.h"

#include "platform/base/Error.h"
#include "platform/io/File.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <new>

#include <gif_lib.h>
#include <jerror.h>
#include <jpeglib.h>
#include <png.h>

namespace platform {

// The decoders have libjpeg and libpng write B, G, R, A bytes straight into
// the picture's 0xAARRGGBB words.
static_assert(std::endian::native == std::endian::little);

namespace {

bool SizeAllowed(std::int64_t w, std::int64_t h)
{
    return w > 0 && h > 0 && w <= kMaxPictureSide && h <= kMaxPictureSide && w * h <= kMaxPicturePixels;
}

// Whether a full decode to w x h pixels stays within the decode's memory.
bool FitsMemory(std::uint64_t w, std::uint64_t h, const DecodeOptions& options)
{
    return w * h * sizeof(std::uint32_t) <= options.maxBytes;
}

std::uint32_t Argb(unsigned a, unsigned r, unsigned g, unsigned b)
{
    return (a << 24) | (r << 16) | (g << 8) | b;
}

std::uint32_t Le32(const BYTE* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

constexpr std::uint32_t kBitfields = 3; // BMP compression: colour masks given

std::uint16_t Le16(const BYTE* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

// ---------------------------------------------------------------- BMP

// One colour channel of a BI_BITFIELDS (or 555) pixel.
struct Channel {
    std::uint32_t mask = 0;
    int shift = 0;
    std::uint64_t max = 0;

    bool Set(std::uint32_t m)
    {
        mask = m;
        if (m == 0)
            return false;
        shift = __builtin_ctz(m);
        max = (static_cast<std::uint64_t>(m) >> shift);
        return true;
    }
    unsigned Get(std::uint32_t px) const { return static_cast<unsigned>(((px & mask) >> shift) * 255 / max); }
};

// What a BMP's headers say of its pixels, checked against the file.
struct BmpLayout {
    int width = 0;
    int height = 0;
    int bits = 0;
    bool topDown = false;
    std::uint32_t compression = 0;
    std::uint64_t pixelOffset = 0;
    std::uint64_t stride = 0;
    Channel red, green, blue, alpha;
    std::vector<std::uint32_t> palette;

    const BYTE* Row(const BYTE* data, int y) const
    {
        return data + pixelOffset + stride * static_cast<std::uint64_t>(topDown ? y : height - 1 - y);
    }
};

PictureStatus ParseBmp(const BYTE* data, size_t size, BmpLayout& bmp)
{
    if (size < 14 + 12 || data[0] != 'B' || data[1] != 'M')
        return PictureStatus::Corrupt;
    const std::uint64_t pixelOffset = Le32(data + 10);
    const std::uint32_t headerSize = Le32(data + 14);
    if (headerSize < 12 || 14ull + headerSize > size)
        return PictureStatus::Corrupt;
    const BYTE* h = data + 14;
    std::int64_t width, height;
    int bits;
    std::uint32_t compression = 0, colours = 0;
    bool core = headerSize == 12;
    if (core) {
        width = Le16(h + 4);
        height = static_cast<std::int16_t>(Le16(h + 6));
        bits = Le16(h + 10);
    } else {
        if (headerSize < 40)
            return PictureStatus::Corrupt;
        width = static_cast<std::int32_t>(Le32(h + 4));
        height = static_cast<std::int32_t>(Le32(h + 8));
        bits = Le16(h + 14);
        compression = Le32(h + 16);
        colours = Le32(h + 32);
    }
    const bool topDown = height < 0;
    if (topDown)
        height = -height;
    if (width <= 0 || height <= 0)
        return PictureStatus::Corrupt;
    if (!SizeAllowed(width, height))
        return PictureStatus::TooLarge;

    // Masks: in the header from version 4 on, else right after a 40-byte header.
    size_t paletteAt = 14 + headerSize;
    if (compression == kBitfields) {
        if (bits != 16 && bits != 32)
            return PictureStatus::Corrupt;
        const BYTE* masks = h + 40;
        if (headerSize < 52) {
            if (paletteAt + 12 > size)
                return PictureStatus::Corrupt;
            masks = data + paletteAt;
            paletteAt += 12;
        }
        if (!bmp.red.Set(Le32(masks)) || !bmp.green.Set(Le32(masks + 4)) || !bmp.blue.Set(Le32(masks + 8)))
            return PictureStatus::Corrupt;
        if (headerSize >= 56)
            bmp.alpha.Set(Le32(masks + 12));
    } else if (compression != 0) {
        return PictureStatus::Unsupported; // RLE and embedded JPEG/PNG
    } else if (bits == 16) {
        bmp.red.Set(0x7C00);
        bmp.green.Set(0x03E0);
        bmp.blue.Set(0x001F);
    } else if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) {
        return PictureStatus::Corrupt;
    }

    if (bits <= 8) {
        const std::uint32_t most = 1u << bits;
        std::uint32_t count = colours == 0 ? most : colours;
        if (count > most)
            return PictureStatus::Corrupt;
        const size_t entry = core ? 3 : 4;
        if (paletteAt + count * entry > size)
            return PictureStatus::Corrupt;
        for (std::uint32_t i = 0; i < count; ++i) {
            const BYTE* q = data + paletteAt + i * entry;
            bmp.palette.push_back(Argb(0xFF, q[2], q[1], q[0]));
        }
    }

    bmp.width = static_cast<int>(width);
    bmp.height = static_cast<int>(height);
    bmp.bits = bits;
    bmp.topDown = topDown;
    bmp.compression = compression;
    bmp.pixelOffset = pixelOffset;
    bmp.stride = ((static_cast<std::uint64_t>(width) * bits + 31) / 32) * 4;
    const std::uint64_t lastRow = (static_cast<std::uint64_t>(width) * bits + 7) / 8;
    if (pixelOffset < paletteAt || pixelOffset + bmp.stride * (height - 1) + lastRow > size)
        return PictureStatus::Corrupt;
    return PictureStatus::Ok;
}

// One row into 0xAARRGGBB words; false on a palette index past the palette.
bool BmpRowToArgb(const BmpLayout& bmp, const BYTE* row, std::uint32_t* out)
{
    const int width = bmp.width;
    switch (bmp.bits) {
    case 1:
    case 4:
    case 8: {
        const int bits = bmp.bits;
        const int perByte = 8 / bits;
        const unsigned mask = (1u << bits) - 1;
        for (int x = 0; x < width; ++x) {
            const int shift = 8 - bits * (x % perByte + 1);
            const unsigned index = (row[x / perByte] >> shift) & mask;
            if (index >= bmp.palette.size())
                return false;
            out[x] = bmp.palette[index];
        }
        return true;
    }
    case 16:
        for (int x = 0; x < width; ++x) {
            const std::uint32_t px = Le16(row + x * 2);
            out[x]
                = Argb(bmp.alpha.mask ? bmp.alpha.Get(px) : 0xFF, bmp.red.Get(px), bmp.green.Get(px), bmp.blue.Get(px));
        }
        return true;
    case 32:
        for (int x = 0; x < width; ++x) {
            const std::uint32_t px = Le32(row + x * 4);
            if (bmp.compression == 0)
                out[x] = 0xFF000000u | (px & 0xFFFFFF);
            else
                out[x] = Argb(bmp.alpha.mask ? bmp.alpha.Get(px) : 0xFF, bmp.red.Get(px), bmp.green.Get(px),
                              bmp.blue.Get(px));
        }
        return true;
    default: // 24
        for (int x = 0; x < width; ++x)
            out[x] = Argb(0xFF, row[x * 3 + 2], row[x * 3 + 1], row[x * 3]);
        return true;
    }
}

} // namespace

PictureStatus DecodeBmp(const BYTE* data, size_t size, const DecodeOptions& options, PictureInfo& info,
                        Picture& picture)
{
    info = {};
    picture = {};
    BmpLayout bmp;
    const PictureStatus status = ParseBmp(data, size, bmp);
    if (status != PictureStatus::Ok)
        return status;
    info.format = PictureFormat::Bmp;
    info.width = bmp.width;
    info.height = bmp.height;
    info.hasAlpha = bmp.alpha.mask != 0;
    if (options.headerOnly)
        return PictureStatus::Ok;
    if (!FitsMemory(bmp.width, bmp.height, options))
        return PictureStatus::TooLarge;
    if (!picture.AllocateUnset(info.width, info.height))
        return PictureStatus::NoMemory;
    picture.hasAlpha = info.hasAlpha;
    for (int y = 0; y < bmp.height; ++y) {
        if (!BmpRowToArgb(bmp, bmp.Row(data, y), &picture.At(0, y))) {
            picture = {};
            return PictureStatus::Corrupt;
        }
    }
    return PictureStatus::Ok;
}

PictureStatus DecodeBmpToBgr24(const BYTE* data, size_t size, const std::function<BYTE*(int, int)>& target)
{
    BmpLayout bmp;
    const PictureStatus status = ParseBmp(data, size, bmp);
    if (status != PictureStatus::Ok)
        return status;
    if (!FitsMemory(bmp.width, bmp.height, DecodeOptions{}))
        return PictureStatus::TooLarge;
    BYTE* first = target(bmp.width, bmp.height);
    if (!first)
        return PictureStatus::NoMemory;
    const size_t stride = (static_cast<size_t>(bmp.width) * 3 + 3) & ~size_t{3};
    const size_t rowBytes = static_cast<size_t>(bmp.width) * 3;
    std::vector<std::uint32_t> argb;
    for (int y = 0; y < bmp.height; ++y) {
        const BYTE* row = bmp.Row(data, y);
        BYTE* out = first + stride * static_cast<size_t>(y);
        if (bmp.bits == 24) { // the file's rows are already B, G, R
            std::memcpy(out, row, rowBytes);
            continue;
        }
        argb.resize(static_cast<size_t>(bmp.width));
        if (!BmpRowToArgb(bmp, row, argb.data()))
            return PictureStatus::Corrupt;
        for (int x = 0; x < bmp.width; ++x) {
            out[x * 3] = static_cast<BYTE>(argb[x]);
            out[x * 3 + 1] = static_cast<BYTE>(argb[x] >> 8);
            out[x * 3 + 2] = static_cast<BYTE>(argb[x] >> 16);
        }
    }
    return PictureStatus::Ok;
}

// ---------------------------------------------------------------- JPEG

namespace {

struct JpegError {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    bool damaged = false;
};

void JpegFail(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<JpegError*>(cinfo->err)->jump, 1);
}

void JpegMessage(j_common_ptr cinfo, int level)
{
    // Warnings that pixels were lost (data cut short or unreadable) make the
    // decode fail: libjpeg would fill the rest of the picture with grey and
    // carry on. Others (extra bytes before a marker, an unknown JFIF
    // version) only note what the file holds and are dropped.
    if (level >= 0)
        return;
    switch (cinfo->err->msg_code) {
    case JWRN_JPEG_EOF:
    case JWRN_HIT_MARKER:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_MUST_RESYNC:
    case JWRN_NOT_SEQUENTIAL:
    case JWRN_BOGUS_PROGRESSION:
        reinterpret_cast<JpegError*>(cinfo->err)->damaged = true;
        break;
    default:
        break;
    }
}

// The fewest compressed bytes that can hold the picture: every scan codes
// each block of its components with at least one bit, and the first scan
// covers at least one component.
std::uint64_t JpegLeastBytes(const jpeg_decompress_struct& cinfo)
{
    std::uint64_t least = UINT64_MAX;
    for (int i = 0; i < cinfo.num_components; ++i) {
        const jpeg_component_info& c = cinfo.comp_info[i];
        least = std::min<std::uint64_t>(least, static_cast<std::uint64_t>(c.width_in_blocks) * c.height_in_blocks);
    }
    return cinfo.num_components > 0 ? least / 8 : 0;
}

} // namespace

PictureStatus DecodeJpeg(const BYTE* data, size_t size, const DecodeOptions& options, PictureInfo& info,
                         Picture& picture)
{
    info = {};
    picture = {};
    if (size < 4 || size > 0xFFFFFFFFu)
        return PictureStatus::Corrupt;
    jpeg_decompress_struct cinfo;
    JpegError error;
    cinfo.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = JpegFail;
    error.manager.emit_message = JpegMessage;
    // Everything that must survive the longjmp lives outside this frame's
    // registers: the status, and the picture (a reference).
    volatile PictureStatus status = PictureStatus::Corrupt;
    std::vector<BYTE> line;
    if (setjmp(error.jump)) {
        jpeg_destroy_decompress(&cinfo);
        picture = {};
        return status;
    }
    jpeg_create_decompress(&cinfo);
    cinfo.mem->max_memory_to_use = static_cast<long>(std::min<std::size_t>(options.maxBytes, LONG_MAX));
    jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
    jpeg_read_header(&cinfo, TRUE);
    if (error.damaged)
        longjmp(error.jump, 1);
    info.format = PictureFormat::Jpeg;
    info.width = static_cast<int>(cinfo.image_width);
    info.height = static_cast<int>(cinfo.image_height);
    if (!SizeAllowed(cinfo.image_width, cinfo.image_height)) {
        status = PictureStatus::TooLarge;
        longjmp(error.jump, 1);
    }
    if (options.headerOnly) {
        jpeg_destroy_decompress(&cinfo);
        return PictureStatus::Ok;
    }
    const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    // Other colour spaces come out as B, G, R, 0xFF bytes: the picture's
    // words, written by libjpeg straight into its rows.
    cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRA;
    // The smallest of 1/8, 2/8 ... 8/8 that still covers the size asked for:
    // the inverse DCT scales at no cost, where a software scale afterwards
    // would first need the whole picture.
    cinfo.scale_denom = 8;
    cinfo.scale_num = 8;
    if (options.minWidth > 0 && options.minHeight > 0) {
        for (unsigned num = 1; num < 8; ++num) {
            if ((cinfo.image_width * std::uint64_t{num} + 7) / 8 >= static_cast<unsigned>(options.minWidth)
                && (cinfo.image_height * std::uint64_t{num} + 7) / 8 >= static_cast<unsigned>(options.minHeight)) {
                cinfo.scale_num = num;
                break;
            }
        }
    }
    jpeg_calc_output_dimensions(&cinfo);
    if (!FitsMemory(cinfo.output_width, cinfo.output_height, options)) {
        status = PictureStatus::TooLarge;
        longjmp(error.jump, 1);
    }
    if (cinfo.src->bytes_in_buffer < JpegLeastBytes(cinfo))
        longjmp(error.jump, 1);
    jpeg_start_decompress(&cinfo);
    if (!picture.AllocateUnset(static_cast<int>(cinfo.output_width), static_cast<int>(cinfo.output_height))) {
        status = PictureStatus::NoMemory;
        longjmp(error.jump, 1);
    }
    if (cmyk)
        line.resize(static_cast<size_t>(cinfo.output_width) * cinfo.output_components);
    while (cinfo.output_scanline < cinfo.output_height) {
        const int y = static_cast<int>(cinfo.output_scanline);
        if (!cmyk) {
            // As many rows as libjpeg makes at once, into their places.
            JSAMPROW rows[4];
            const int count = std::min<int>(4, picture.height - y);
            for (int i = 0; i < count; ++i)
                rows[i] = reinterpret_cast<JSAMPROW>(picture.Row(y + i));
            if (jpeg_read_scanlines(&cinfo, rows, static_cast<JDIMENSION>(count)) == 0 || error.damaged)
                longjmp(error.jump, 1);
            continue;
        }
        JSAMPROW row = line.data();
        if (jpeg_read_scanlines(&cinfo, &row, 1) != 1 || error.damaged)
            longjmp(error.jump, 1);
        std::uint32_t* out = picture.Row(y);
        for (unsigned x = 0; x < cinfo.output_width; ++x) {
            // Adobe writes CMYK inverted; the product is already RGB.
            const BYTE* p = row + x * 4;
            const unsigned k = p[3];
            out[x] = Argb(0xFF, p[0] * k / 255, p[1] * k / 255, p[2] * k / 255);
        }
    }
    jpeg_finish_decompress(&cinfo);
    if (error.damaged)
        longjmp(error.jump, 1);
    jpeg_destroy_decompress(&cinfo);
    return PictureStatus::Ok;
}

bool EncodeJpeg(const Picture& picture, int quality, std::vector<BYTE>& out)
{
    out.clear();
    if (picture.width <= 0 || picture.height <= 0)
        return false;
    jpeg_compress_struct cinfo;
    JpegError error;
    cinfo.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = JpegFail;
    error.manager.emit_message = JpegMessage;
    unsigned char* buffer = nullptr;
    unsigned long length = 0;
    std::vector<BYTE> line(static_cast<size_t>(picture.width) * 3);
    if (setjmp(error.jump)) {
        jpeg_destroy_compress(&cinfo);
        std::free(buffer);
        return false;
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, &buffer, &length);
    cinfo.image_width = static_cast<JDIMENSION>(picture.width);
    cinfo.image_height = static_cast<JDIMENSION>(picture.height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality < 1 ? 1 : quality > 100 ? 100 : quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            const std::uint32_t p = picture.At(x, y);
            line[x * 3] = static_cast<BYTE>(p >> 16);
            line[x * 3 + 1] = static_cast<BYTE>(p >> 8);
            line[x * 3 + 2] = static_cast<BYTE>(p);
        }
        JSAMPROW row = line.data();
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    out.assign(buffer, buffer + length);
    std::free(buffer);
    return true;
}

// ---------------------------------------------------------------- PNG

namespace {

struct PngSource {
    const BYTE* data;
    size_t size;
    size_t at;
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

std::uint32_t Be32(const BYTE* p)
{
    return (static_cast<std::uint32_t>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
}

// Walks the chunks after the signature up to IEND (or the end of the file)
// before libpng sees them: a chunk longer than what is left of the file is
// refused here, since libpng would allocate (and clear) whatever length an
// ancillary chunk claims. Adds up the IDAT lengths.
bool PngChunksFit(const BYTE* data, size_t size, std::uint64_t& idatBytes)
{
    idatBytes = 0;
    size_t at = 8;
    while (size - at >= 8) {
        const std::uint32_t length = Be32(data + at);
        if (length > 0x7FFFFFFFu || length + std::uint64_t{12} > size - at)
            return false;
        if (std::memcmp(data + at + 4, "IDAT", 4) == 0)
            idatBytes += length;
        if (std::memcmp(data + at + 4, "IEND", 4) == 0)
            break;
        at += length + size_t{12};
    }
    return true;
}

// Deflate codes at most 258 bytes in one length/distance pair of at least
// two bits: no stream inflates beyond about 1032 times its size.
constexpr std::uint64_t kMaxInflateRatio = 1032;

// Chunks whose content the decoder never uses; libpng skips them without
// reading them into memory.
const png_byte kPngIgnoredChunks[] = {'i', 'C', 'C', 'P', 0, 'i', 'T', 'X', 't', 0, 's', 'P', 'L', 'T', 0,
                                      't', 'E', 'X', 't', 0, 'z', 'T', 'X', 't', 0, 'e', 'X', 'I', 'f', 0};

} // namespace

PictureStatus DecodePng(const BYTE* data, size_t size, const DecodeOptions& options, PictureInfo& info,
                        Picture& picture)
{
    info = {};
    picture = {};
    if (size < 8 || png_sig_cmp(data, 0, 8) != 0)
        return PictureStatus::Corrupt;
    std::uint64_t idatBytes = 0;
    if (!PngChunksFit(data, size, idatBytes))
        return PictureStatus::Corrupt;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, PngFail, PngWarn);
    if (!png)
        return PictureStatus::NoMemory;
    png_infop pngInfo = png_create_info_struct(png);
    if (!pngInfo) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return PictureStatus::NoMemory;
    }
    PngSource source{data, size, 0};
    volatile PictureStatus status = PictureStatus::Corrupt;
    std::vector<png_bytep> rowPointers;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &pngInfo, nullptr);
        picture = {};
        return status;
    }
    png_set_read_fn(png, &source, PngRead);
    png_set_user_limits(png, kMaxPictureSide, kMaxPictureSide);
    png_set_chunk_malloc_max(png, 16u * 1024 * 1024);
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, kPngIgnoredChunks, sizeof kPngIgnoredChunks / 5);
    png_read_info(png, pngInfo);
    const png_uint_32 width = png_get_image_width(png, pngInfo);
    const png_uint_32 height = png_get_image_height(png, pngInfo);
    const int colourType = png_get_color_type(png, pngInfo);
    info.format = PictureFormat::Png;
    info.width = static_cast<int>(width);
    info.height = static_cast<int>(height);
    info.hasAlpha = (colourType & PNG_COLOR_MASK_ALPHA) || png_get_valid(png, pngInfo, PNG_INFO_tRNS);
    if (!SizeAllowed(width, height)) {
        status = PictureStatus::TooLarge;
        png_longjmp(png, 1);
    }
    if (options.headerOnly) {
        png_destroy_read_struct(&png, &pngInfo, nullptr);
        return PictureStatus::Ok;
    }
    if (!FitsMemory(width, height, options)) {
        status = PictureStatus::TooLarge;
        png_longjmp(png, 1);
    }
    // Each row is its filter byte and its packed pixels; the compressed
    // data must be able to hold them.
    const std::uint64_t rawBytes = (static_cast<std::uint64_t>(png_get_rowbytes(png, pngInfo)) + 1) * height;
    if (idatBytes * kMaxInflateRatio < rawBytes)
        png_longjmp(png, 1);
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_bgr(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, pngInfo);
    if (png_get_rowbytes(png, pngInfo) != static_cast<size_t>(width) * 4)
        png_longjmp(png, 1);
    if (!picture.AllocateUnset(info.width, info.height)) {
        status = PictureStatus::NoMemory;
        png_longjmp(png, 1);
    }
    try {
        rowPointers.resize(height);
    } catch (const std::bad_alloc&) {
        status = PictureStatus::NoMemory;
        png_longjmp(png, 1);
    }
    // libpng writes B, G, R, A bytes: the picture's words.
    for (png_uint_32 y = 0; y < height; ++y)
        rowPointers[y] = reinterpret_cast<png_bytep>(picture.Row(static_cast<int>(y)));
    png_read_image(png, rowPointers.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &pngInfo, nullptr);
    picture.hasAlpha = info.hasAlpha;
    return PictureStatus::Ok;
}

// ---------------------------------------------------------------- GIF

namespace {

int GifRead(GifFileType* gif, GifByteType* out, int length)
{
    auto* source = static_cast<PngSource*>(gif->UserData);
    size_t n = length < 0 ? 0 : static_cast<size_t>(length);
    if (n > source->size - source->at)
        n = source->size - source->at;
    if (n == 0)
        return 0; // an empty file may come as a null pointer
    std::memcpy(out, source->data + source->at, n);
    source->at += n;
    return static_cast<int>(n);
}

struct GifCloser {
    GifFileType* gif;
    ~GifCloser()
    {
        int error = 0;
        if (gif)
            DGifCloseFile(gif, &error);
    }
};

} // namespace

PictureStatus DecodeGif(const BYTE* data, size_t size, const DecodeOptions& options, PictureInfo& info,
                        Picture& picture)
{
    info = {};
    picture = {};
    PngSource source{data, size, 0};
    int error = 0;
    GifCloser file{DGifOpen(&source, GifRead, &error)};
    GifFileType* gif = file.gif;
    if (!gif)
        return PictureStatus::Corrupt;
    int transparent = -1;
    // Walk to the first image; a graphics control block before it may name a
    // transparent index.
    for (;;) {
        GifRecordType type;
        if (DGifGetRecordType(gif, &type) == GIF_ERROR || type == TERMINATE_RECORD_TYPE)
            return PictureStatus::Corrupt;
        if (type == IMAGE_DESC_RECORD_TYPE)
            break;
        if (type != EXTENSION_RECORD_TYPE)
            continue;
        int code = 0;
        GifByteType* block = nullptr;
        if (DGifGetExtension(gif, &code, &block) == GIF_ERROR)
            return PictureStatus::Corrupt;
        if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 4 && (block[1] & 1))
            transparent = block[4];
        while (block) {
            if (DGifGetExtensionNext(gif, &block) == GIF_ERROR)
                return PictureStatus::Corrupt;
        }
    }
    if (DGifGetImageDesc(gif) == GIF_ERROR)
        return PictureStatus::Corrupt;
    const GifImageDesc& frame = gif->Image;
    int width = gif->SWidth, height = gif->SHeight;
    if (width <= 0 || height <= 0) {
        width = frame.Width;
        height = frame.Height;
    }
    info.format = PictureFormat::Gif;
    info.width = width;
    info.height = height;
    if (!SizeAllowed(width, height) || !SizeAllowed(frame.Width, frame.Height))
        return width <= 0 || height <= 0 || frame.Width <= 0 || frame.Height <= 0 ? PictureStatus::Corrupt
                                                                                  : PictureStatus::TooLarge;
    const bool covers = frame.Left == 0 && frame.Top == 0 && frame.Width >= width && frame.Height >= height;
    info.hasAlpha = transparent >= 0 || !covers;
    if (options.headerOnly)
        return PictureStatus::Ok;
    if (!FitsMemory(width, height, options))
        return PictureStatus::TooLarge;
    const ColorMapObject* map = frame.ColorMap ? frame.ColorMap : gif->SColorMap;
    if (!map || map->ColorCount <= 0)
        return PictureStatus::Corrupt;
    // Each LZW code (of at least 3 bits) adds at most 4096 pixels.
    const std::uint64_t left = size - std::min(size, source.at);
    if (static_cast<std::uint64_t>(frame.Width) * frame.Height * 3 > left * 8 * 4096)
        return PictureStatus::Corrupt;
    if (!picture.Allocate(width, height, 0))
        return PictureStatus::NoMemory;
    picture.hasAlpha = info.hasAlpha;
    std::vector<GifPixelType> line(static_cast<size_t>(frame.Width));
    auto putRow = [&](int row) {
        const int y = frame.Top + row;
        for (int i = 0; i < frame.Width; ++i) {
            const int index = line[i];
            if (index >= map->ColorCount)
                return false;
            const int x = frame.Left + i;
            if (index == transparent || x >= width || y >= height)
                continue;
            const GifColorType& c = map->Colors[index];
            picture.At(x, y) = Argb(0xFF, c.Red, c.Green, c.Blue);
        }
        return true;
    };
    static const int kStart[] = {0, 4, 2, 1};
    static const int kStep[] = {8, 8, 4, 2};
    const int passes = frame.Interlace ? 4 : 1;
    for (int pass = 0; pass < passes; ++pass) {
        const int start = frame.Interlace ? kStart[pass] : 0, step = frame.Interlace ? kStep[pass] : 1;
        for (int row = start; row < frame.Height; row += step) {
            if (DGifGetLine(gif, line.data(), frame.Width) == GIF_ERROR || !putRow(row)) {
                picture = {};
                return PictureStatus::Corrupt;
            }
        }
    }
    return PictureStatus::Ok;
}

// ---------------------------------------------------------------- common

bool Picture::Allocate(int w, int h, std::uint32_t fill)
{
    if (!AllocateUnset(w, h))
        return false;
    std::fill(pixels.begin(), pixels.end(), fill);
    return true;
}

bool Picture::AllocateUnset(int w, int h)
{
    width = height = 0;
    if (!SizeAllowed(w, h)) {
        pixels = {};
        return false;
    }
    const size_t count = static_cast<size_t>(w) * h;
    // A picture that grows drops its old pixels first rather than moving them.
    if (count > pixels.capacity())
        pixels = {};
    try {
        pixels.resize(count);
    } catch (const std::bad_alloc&) {
        pixels = {};
        return false;
    }
    width = w;
    height = h;
    return true;
}

PictureFormat SniffPictureFormat(const BYTE* data, size_t size)
{
    if (size >= 2 && data[0] == 'B' && data[1] == 'M')
        return PictureFormat::Bmp;
    if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF)
        return PictureFormat::Jpeg;
    if (size >= 8 && png_sig_cmp(data, 0, 8) == 0)
        return PictureFormat::Png;
    if (size >= 6 && (std::memcmp(data, "GIF87a", 6) == 0 || std::memcmp(data, "GIF89a", 6) == 0))
        return PictureFormat::Gif;
    return PictureFormat::Unknown;
}

PictureStatus DecodePicture(const BYTE* data, size_t size, const DecodeOptions& options, PictureInfo& info,
                            Picture& picture)
{
    switch (SniffPictureFormat(data, size)) {
    case PictureFormat::Bmp:
        return DecodeBmp(data, size, options, info, picture);
    case PictureFormat::Jpeg:
        return DecodeJpeg(data, size, options, info, picture);
    case PictureFormat::Png:
        return DecodePng(data, size, options, info, picture);
    case PictureFormat::Gif:
        return DecodeGif(data, size, options, info, picture);
    default:
        info = {};
        picture = {};
        return PictureStatus::Unsupported;
    }
}

PictureStatus ReadPictureFile(LPCWSTR unitPath, std::vector<BYTE>& bytes)
{
    bytes.clear();
    if (!unitPath)
        return PictureStatus::NotFound;
    const std::string host = HostPath(unitPath, true);
    if (host.empty())
        return PictureStatus::NotFound;
    std::ifstream in(host, std::ios::binary | std::ios::ate);
    if (!in)
        return PictureStatus::NotFound;
    const std::streamoff length = in.tellg();
    if (length < 0)
        return PictureStatus::NotFound;
    if (length > 256LL * 1024 * 1024)
        return PictureStatus::TooLarge;
    try {
        bytes.resize(static_cast<size_t>(length));
    } catch (const std::bad_alloc&) {
        return PictureStatus::NoMemory;
    }
    in.seekg(0);
    if (!in.read(reinterpret_cast<char*>(bytes.data()), length)) {
        bytes.clear();
        return PictureStatus::NotFound;
    }
    return PictureStatus::Ok;
}

bool EncodeJpegFile(LPCWSTR unitPath, const BYTE* pixels, int width, int height, int stride, int bitsPerPixel,
                    int quality)
{
    if (!unitPath || !pixels || (bitsPerPixel != 24 && bitsPerPixel != 32)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    Picture picture;
    if (!picture.AllocateUnset(width, height)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    const int step = bitsPerPixel / 8;
    for (int y = 0; y < height; ++y) {
        const BYTE* row = pixels + static_cast<std::ptrdiff_t>(stride) * y;
        for (int x = 0; x < width; ++x)
            picture.At(x, y) = Argb(0xFF, row[x * step + 2], row[x * step + 1], row[x * step]);
    }
    std::vector<BYTE> encoded;
    if (!EncodeJpeg(picture, quality, encoded)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    DWORD error = 0;
    const std::string host = HostPath(unitPath, false, &error);
    if (host.empty()) {
        SetLastError(error);
        return false;
    }
    std::ofstream out(host, std::ios::binary | std::ios::trunc);
    if (!out
        || !out.write(reinterpret_cast<const char*>(encoded.data()), static_cast<std::streamsize>(encoded.size()))) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    return true;
}

} // namespace platform
