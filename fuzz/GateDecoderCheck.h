// What every decoder of the 3D menu must hold, whatever the bytes: an image
// it answers is whole (its pixels exactly its size, its sides at most a
// texture page) and a refused file leaves no pixels.
#pragma once

#include "Source/gate/GateDecoder.h"
#include "fuzz/FuzzTarget.h"

#include <vector>

namespace wrenfuzz {

inline int CheckGateDecoder(bool (*decode)(const std::uint8_t*, std::size_t, gate::GateImageData&),
                            const std::uint8_t* data, std::size_t size)
{
    // An exactly sized copy: a read past the end is caught.
    const std::vector<std::uint8_t> file(data, data + size);
    gate::GateImageData image;
    if (!decode(file.data(), file.size(), image)) {
        FUZZ_CHECK(image.pixels.empty());
        return 0;
    }
    FUZZ_CHECK(image.width > 0 && image.width <= gate::kGateMaxImageSide);
    FUZZ_CHECK(image.height > 0 && image.height <= gate::kGateMaxImageSide);
    FUZZ_CHECK(image.bpp == 16 || image.bpp == 24 || image.bpp == 32);
    FUZZ_CHECK(image.pixels.size() == static_cast<std::size_t>(image.width) * image.height * (image.bpp / 8));
    return 0;
}

} // namespace wrenfuzz
