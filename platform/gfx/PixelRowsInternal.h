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

// Row kernels of the area-average shrink of ScalePicture. Every channel of
// an output pixel is (sum of that channel over the source pixels it covers
// + count / 2) / count, exactly; the division is a multiply where the
// count allows it.

// The source pixels [from, from + count) that one output pixel covers.
struct AreaSpan {
    int from;
    int count;
};

// d[i] = the average of s over spans[i], for n output pixels.
void AverageSpansRow(std::uint32_t* d, const std::uint32_t* s, const AreaSpan* spans, int n);

// d[i] = the average of a[i] and b[i], for n pixels.
void MeanOfRows(std::uint32_t* d, const std::uint32_t* a, const std::uint32_t* b, int n);

// Per channel sums of rows of n pixels (four sums per pixel, at least
// 4 * n words): the first row sets them, later rows add to them.
void SumRow(std::uint32_t* sums, const std::uint32_t* s, int n, bool first);

// d[i] = the average of `count` rows from their sums.
void AverageSumsRow(std::uint32_t* d, const std::uint32_t* sums, int n, int count);

} // namespace platform
