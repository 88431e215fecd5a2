// Pictures in memory: the decoders for BMP, JPEG, PNG and GIF files, the
// pixel operations on decoded pictures (scale, flip, rotate, RGB565) and the
// JPEG encoder. Nothing here touches GDI; platform/gfx/Imaging.h builds the
// Imaging objects and DIB sections on top of it.
//
// Every decoder works on a byte range it is given and never reads past it.
// A truncated file, a header that lies (dimensions, offsets, palette sizes)
// or a picture above the size limit fails with a PictureStatus; the codec
// libraries' fatal errors come back through longjmp, never exit.
#pragma once

#include "platform/base/Types.h"
#include "platform/gfx/Color.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform {

enum class PictureStatus {
    Ok,
    NotFound,    // the file cannot be opened or read
    Unsupported, // not a format we know, or a variant we do not decode
    Corrupt,     // truncated, inconsistent or lying data
    TooLarge,    // above kMaxPictureSide, kMaxPicturePixels or the decode's memory
    NoMemory,
};

enum class PictureFormat {
    Unknown,
    Bmp,
    Jpeg,
    Png,
    Gif,
};

inline constexpr int kMaxPictureSide = 16384;
inline constexpr std::int64_t kMaxPicturePixels = 64LL * 1024 * 1024;

// Allocates pixel words without setting them: resize() leaves them as they
// are, so that a decoder writing every pixel touches each page once.
template <class T> struct UnsetAllocator : std::allocator<T> {
    UnsetAllocator() = default;
    template <class U> UnsetAllocator(const UnsetAllocator<U>&) noexcept {}
    template <class U> void construct(U* p) noexcept { ::new (static_cast<void*>(p)) U; }
    template <class U, class... A> void construct(U* p, A&&... args)
    {
        ::new (static_cast<void*>(p)) U(static_cast<A&&>(args)...);
    }
};

using PixelWords = std::vector<std::uint32_t, UnsetAllocator<std::uint32_t>>;

// A decoded picture: rows top to bottom, one 0xAARRGGBB word per pixel.
struct Picture {
    int width = 0;
    int height = 0;
    bool hasAlpha = false; // some pixel may be less than opaque
    PixelWords pixels;

    std::uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
    std::uint32_t& At(int x, int y) { return pixels[static_cast<size_t>(y) * width + x]; }
    std::uint32_t* Row(int y) { return pixels.data() + static_cast<size_t>(y) * width; }
    const std::uint32_t* Row(int y) const { return pixels.data() + static_cast<size_t>(y) * width; }
    // Allocates width x height pixels set to `fill`; false (and an empty
    // picture) when the size is outside the limits or memory runs out.
    bool Allocate(int w, int h, std::uint32_t fill = 0xFF000000u);
    // The same for a caller that writes every pixel itself: the pixels are
    // left unset, and storage the picture already has is reused.
    bool AllocateUnset(int w, int h);
};

// What a file holds, read from its header alone.
struct PictureInfo {
    PictureFormat format = PictureFormat::Unknown;
    int width = 0;
    int height = 0;
    bool hasAlpha = false;
};

// Memory one decode may take by default: its picture, and what the codec
// library keeps while it works. The whole program aims at 64 MB resident.
inline constexpr std::size_t kMaxDecodeBytes = 32u * 1024 * 1024;

struct DecodeOptions {
    bool headerOnly = false; // fill PictureInfo only; the picture stays empty
    // Smallest size the caller needs. A JPEG decodes at the smallest of 1/8,
    // 2/8 ... 7/8 of its size that still covers it (its inverse DCT scales);
    // other formats decode whole.
    int minWidth = 0;
    int minHeight = 0;
    // A full decode whose picture (or the codec's own buffers) would take
    // more fails with TooLarge before anything is allocated. A file whose
    // data is too short to hold the pixels it claims fails with Corrupt,
    // also before allocating.
    std::size_t maxBytes = kMaxDecodeBytes;
};

PictureFormat SniffPictureFormat(const BYTE* data, size_t size);

// Decodes any of the four formats (by content, not by name).
PictureStatus DecodePicture(const BYTE* data, size_t size, const DecodeOptions& options, PictureInfo& info,
                            Picture& picture);
PictureStatus DecodeBmp(const BYTE* data, size_t size, const DecodeOptions& options, PictureInfo& info,
                        Picture& picture);
// A BMP straight into 24-bit B, G, R rows, top row first, each row
// (width * 3 + 3) & ~3 bytes on from the last: a 24-bit DIB section's
// layout. `target(width, height)` gives the first row, or null to refuse
// (NoMemory). An uncompressed 24-bit file's rows are copied as they are.
PictureStatus DecodeBmpToBgr24(const BYTE* data, size_t size, const std::function<BYTE*(int, int)>& target);
PictureStatus DecodeJpeg(const BYTE* data, size_t size, const DecodeOptions& options, PictureInfo& info,
                         Picture& picture);
PictureStatus DecodePng(const BYTE* data, size_t size, const DecodeOptions& options, PictureInfo& info,
                        Picture& picture);
PictureStatus DecodeGif(const BYTE* data, size_t size, const DecodeOptions& options, PictureInfo& info,
                        Picture& picture);

// Reads a whole file of the unit (at most 256 MiB) into `bytes`.
PictureStatus ReadPictureFile(LPCWSTR unitPath, std::vector<BYTE>& bytes);

// Pixel operations. Each answers false only when memory runs out or a size
// is invalid, leaving `out` empty.
// Resize to w x h: an area average where a side shrinks, bilinear where it
// grows (nearest when `smooth` is false).
bool ScalePicture(const Picture& source, int width, int height, Picture& out, bool smooth = true);
bool FlipPicture(const Picture& source, bool horizontal, bool vertical, Picture& out);
// Clockwise by 90, 180 or 270 degrees (negative multiples of 90 turn the
// other way); any other angle fails.
bool RotatePicture(const Picture& source, int degrees, Picture& out);
// Size that fits w x h into the box keeping the aspect ratio; a picture that
// already fits keeps its own size. Each side at least 1.
void FitInto(int width, int height, int boxWidth, int boxHeight, int& outWidth, int& outHeight);

// Writes `picture` as a baseline JPEG (quality 1..100).
bool EncodeJpeg(const Picture& picture, int quality, std::vector<BYTE>& out);
// Writes a frame of B,G,R (24 bits) or B,G,R,X (32 bits) rows as a JPEG file
// of the unit; `stride` is the distance between rows in bytes (negative for
// bottom-up rows when `pixels` points at the top row). The last error is
// set on failure.
bool EncodeJpegFile(LPCWSTR unitPath, const BYTE* pixels, int width, int height, int stride, int bitsPerPixel,
                    int quality);

} // namespace platform
