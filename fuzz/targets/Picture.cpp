// The picture decoders: each format, header-only and full, scaled to a
// size the first bytes choose, then scaled, flipped and turned.
#include "platform/gfx/Picture.h"
#include "fuzz/FuzzTarget.h"

#include <vector>

using namespace platform;

WREN_FUZZ_TARGET(Picture)
{
    if (size < 3)
        return 0;
    const std::uint8_t mode = data[0], width = data[1], height = data[2];
    // An exactly sized copy: a read past the end is caught.
    const std::vector<BYTE> file(data + 3, data + size);
    DecodeOptions options;
    options.headerOnly = (mode & 1) != 0;
    if (mode & 2) {
        options.minWidth = 1 + width;
        options.minHeight = 1 + height;
    }
    options.maxBytes = 8u * 1024 * 1024; // keeps an execution fast
    PictureInfo info;
    Picture picture;
    using Decoder = PictureStatus (*)(const BYTE*, size_t, const DecodeOptions&, PictureInfo&, Picture&);
    const Decoder decoders[] = {DecodePicture, DecodeBmp, DecodeJpeg, DecodePng, DecodeGif};
    const PictureStatus status = decoders[(mode >> 2) % 5](file.data(), file.size(), options, info, picture);
    // The BMP straight into 24-bit rows, in a buffer of exactly the size asked for.
    std::vector<BYTE> rows;
    const PictureStatus direct = DecodeBmpToBgr24(file.data(), file.size(), [&rows](int w, int h) -> BYTE* {
        FUZZ_CHECK(w > 0 && h > 0);
        rows.resize(((static_cast<size_t>(w) * 3 + 3) & ~size_t{3}) * static_cast<size_t>(h));
        return rows.data();
    });
    FUZZ_CHECK(direct != PictureStatus::Ok || !rows.empty());
    if (status != PictureStatus::Ok) {
        FUZZ_CHECK(picture.pixels.empty());
        return 0;
    }
    if (options.headerOnly) {
        FUZZ_CHECK(picture.pixels.empty());
        return 0;
    }
    FUZZ_CHECK(picture.width > 0 && picture.height > 0);
    FUZZ_CHECK(picture.pixels.size() == static_cast<size_t>(picture.width) * picture.height);
    FUZZ_CHECK(picture.pixels.size() * 4 <= options.maxBytes);
    Picture out;
    if (ScalePicture(picture, 1 + width % 64, 1 + height % 64, out, (mode & 0x20) != 0))
        FUZZ_CHECK(out.width == 1 + width % 64 && out.height == 1 + height % 64);
    if (FlipPicture(out, (mode & 0x40) != 0, (mode & 0x80) != 0, picture)
        && RotatePicture(picture, 90 * (width % 4), out))
        FUZZ_CHECK(out.pixels.size() == static_cast<size_t>(out.width) * out.height);
    return 0;
}
