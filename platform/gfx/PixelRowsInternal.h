// Row kernels of the blits into RGB565 surfaces: colour key, constant alpha
// and per-pixel alpha. Each gives, pixel for pixel, what the general
// per-pixel path gives (ReadPixel / WritePixel / PutPixelBlend): channels
// widened to 8 bits by bit replication, mixed as
// (s * a + d * (255 - a) + 127) / 255, and packed by dropping low bits.
// They work eight pixels at a time; source and destination rows must not
// overlap.
#pragma once

#include "platform/base/Types.h"

#include <cstdint>

namespace platform {

// d[i] = s[i] wherever s[i] != key.
void KeyRow565(WORD* d, const WORD* s, int n, WORD key);

// Mixes the RGB565 source over the destination with alpha 0..255.
void BlendRow565(WORD* d, const WORD* s, int n, int alpha);

// Mixes 0xAARRGGBB pixels over the destination, each with its own alpha.
void BlendRowArgb(WORD* d, const std::uint32_t* s, int n);

// d[i] = the RGB565 form of the 0xAARRGGBB s[i] (alpha dropped).
void ArgbRowTo565(WORD* d, const std::uint32_t* s, int n);

} // namespace platform
