// The RGB565 row kernels. The arithmetic is written once, as templates over
// the lane type: GCC vector extensions (eight 16-bit lanes, one SSE2 or NEON
// register) for the bulk of a row and plain unsigned integers for its tail,
// so both give the same bits.
#include "platform/gfx/PixelRowsInternal.h"

#include <cstring>

namespace platform {

namespace {

using U16x8 = std::uint16_t __attribute__((vector_size(16)));
using U32x8 = std::uint32_t __attribute__((vector_size(32)));
constexpr int kLanes = 8;

U16x8 Load(const WORD* p)
{
    U16x8 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

void Store(WORD* p, U16x8 v)
{
    std::memcpy(p, &v, sizeof v);
}

// 8-bit channels of RGB565 pixels, widened by repeating the top bits.
template <class V> void Unpack(V p, V& r, V& g, V& b)
{
    const V r5 = (p >> 11) & 0x1F, g6 = (p >> 5) & 0x3F, b5 = p & 0x1F;
    r = (r5 << 3) | (r5 >> 2);
    g = (g6 << 2) | (g6 >> 4);
    b = (b5 << 3) | (b5 >> 2);
}

template <class V> V Pack(V r, V g, V b)
{
    return ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
}

// (s * a + d * (255 - a) + 127) / 255. The sum is at most 65152, and for
// every x up to there x / 255 == (x + 1 + (x >> 8)) >> 8, all within 16 bits.
// It is formed as d * 256 - d + (s - d) * a: one multiply, and wrapping
// unsigned arithmetic gives the same sum, which fits.
template <class V> V Mix(V s, V d, V a)
{
    const V x = (d << 8) - d + (s - d) * a + 127;
    return (x + 1 + (x >> 8)) >> 8;
}

template <class V> V Blend565(V s, V d, V a)
{
    V sr, sg, sb, dr, dg, db;
    Unpack(s, sr, sg, sb);
    Unpack(d, dr, dg, db);
    return Pack(Mix(sr, dr, a), Mix(sg, dg, a), Mix(sb, db, a));
}

// Eight ARGB pixels as 16-bit lanes of alpha, red, green and blue.
void Split(const std::uint32_t* s, U16x8& a, U16x8& r, U16x8& g, U16x8& b)
{
    U32x8 p;
    std::memcpy(&p, s, sizeof p);
    a = __builtin_convertvector(p >> 24, U16x8);
    r = __builtin_convertvector((p >> 16) & 0xFF, U16x8);
    g = __builtin_convertvector((p >> 8) & 0xFF, U16x8);
    b = __builtin_convertvector(p & 0xFF, U16x8);
}

bool All(U16x8 mask)
{
    std::uint64_t halves[2];
    std::memcpy(halves, &mask, sizeof halves);
    return (halves[0] & halves[1]) == ~std::uint64_t{0};
}

bool None(U16x8 mask)
{
    std::uint64_t halves[2];
    std::memcpy(halves, &mask, sizeof halves);
    return (halves[0] | halves[1]) == 0;
}

// (x + n / 2) / n for every x up to 255 * n + n / 2, as (x + n / 2) * m >> 23
// with m = 2^23 / n + 1: exact while x * n < 2^23 (n <= 181), and the
// product stays within 32 bits.
constexpr int kReciprocalShift = 23;
constexpr int kMaxReciprocalCount = 181;

std::uint32_t Reciprocal(int n)
{
    return (1u << kReciprocalShift) / static_cast<unsigned>(n) + 1;
}

using U32x4 = std::uint32_t __attribute__((vector_size(16)));
constexpr int kPixels = 4; // pixels in one U32x4

// (a + b + 1) / 2 in every byte: the two bytes' common bits plus half their
// differing ones, rounded up. Works on a word or on lanes of words.
template <class V> V RoundedMean(V a, V b)
{
    return (a | b) - (((a ^ b) & 0xFEFEFEFEu) >> 1);
}

// Channel c of a word.
template <class V> V ChannelOf(V p, int c)
{
    return (p >> (8 * c)) & 0xFFu;
}

// The sum of the four channels over `count` pixels, each channel in a
// 16-bit field of a 64-bit word (blue, red, green, alpha from the bottom);
// count <= 256 keeps every field below 65536 with the rounding added.
std::uint64_t Fields(std::uint32_t p)
{
    return (p & 0x00FF00FFu) | (static_cast<std::uint64_t>(p & 0xFF00FF00u) << 24);
}

} // namespace

void KeyRow565(WORD* d, const WORD* s, int n, WORD key)
{
    int i = 0;
    for (; i + kLanes <= n; i += kLanes) {
        const U16x8 p = Load(s + i);
        const U16x8 keep = reinterpret_cast<U16x8>(p == key);
        if (None(keep))
            Store(d + i, p);
        else if (!All(keep))
            Store(d + i, (Load(d + i) & keep) | (p & ~keep));
    }
    for (; i < n; ++i)
        if (s[i] != key)
            d[i] = s[i];
}

void BlendRow565(WORD* d, const WORD* s, int n, int alpha)
{
    int i = 0;
    const U16x8 a = U16x8{} + static_cast<std::uint16_t>(alpha);
    for (; i + kLanes <= n; i += kLanes)
        Store(d + i, Blend565(Load(s + i), Load(d + i), a));
    for (; i < n; ++i)
        d[i] = static_cast<WORD>(Blend565<unsigned>(s[i], d[i], static_cast<unsigned>(alpha)));
}

void BlendRowArgb(WORD* d, const std::uint32_t* s, int n)
{
    int i = 0;
    for (; i + kLanes <= n; i += kLanes) {
        U16x8 a, r, g, b;
        Split(s + i, a, r, g, b);
        const U16x8 opaque = reinterpret_cast<U16x8>(a == 255);
        if (All(opaque)) {
            Store(d + i, Pack(r, g, b));
            continue;
        }
        if (None(reinterpret_cast<U16x8>(a != 0)))
            continue;
        U16x8 dr, dg, db;
        Unpack(Load(d + i), dr, dg, db);
        Store(d + i, Pack(Mix(r, dr, a), Mix(g, dg, a), Mix(b, db, a)));
    }
    for (; i < n; ++i) {
        const std::uint32_t p = s[i];
        const unsigned a = p >> 24;
        if (a == 0)
            continue;
        unsigned dr, dg, db;
        Unpack<unsigned>(d[i], dr, dg, db);
        d[i] = static_cast<WORD>(Pack<unsigned>(Mix<unsigned>((p >> 16) & 0xFF, dr, a),
                                                Mix<unsigned>((p >> 8) & 0xFF, dg, a), Mix<unsigned>(p & 0xFF, db, a)));
    }
}

void ArgbRowTo565(WORD* d, const std::uint32_t* s, int n)
{
    int i = 0;
    for (; i + kLanes <= n; i += kLanes) {
        U16x8 a, r, g, b;
        Split(s + i, a, r, g, b);
        Store(d + i, Pack(r, g, b));
    }
    for (; i < n; ++i)
        d[i] = static_cast<WORD>(Pack<unsigned>((s[i] >> 16) & 0xFF, (s[i] >> 8) & 0xFF, s[i] & 0xFF));
}

void AverageSpansRow(std::uint32_t* d, const std::uint32_t* s, const AreaSpan* spans, int n)
{
    for (int i = 0; i < n; ++i) {
        const std::uint32_t* p = s + spans[i].from;
        const int count = spans[i].count;
        if (count == 1) {
            d[i] = p[0];
        } else if (count == 2) {
            d[i] = RoundedMean(p[0], p[1]);
        } else if (count <= kMaxReciprocalCount) {
            std::uint64_t sum = Fields(p[0]);
            for (int k = 1; k < count; ++k)
                sum += Fields(p[k]);
            sum += static_cast<std::uint64_t>(count / 2) * 0x0001000100010001u;
            const std::uint64_t m = Reciprocal(count);
            const auto field = [&](int shift) { return (((sum >> shift) & 0xFFFF) * m) >> kReciprocalShift; };
            d[i] = static_cast<std::uint32_t>(field(0) | (field(16) << 16) | (field(32) << 8) | (field(48) << 24));
        } else {
            std::uint32_t result = 0;
            for (int c = 0; c < 4; ++c) {
                std::uint32_t sum = static_cast<std::uint32_t>(count / 2);
                for (int k = 0; k < count; ++k)
                    sum += ChannelOf(p[k], c);
                result |= (sum / static_cast<std::uint32_t>(count)) << (8 * c);
            }
            d[i] = result;
        }
    }
}

void MeanOfRows(std::uint32_t* d, const std::uint32_t* a, const std::uint32_t* b, int n)
{
    int i = 0;
    for (; i + kPixels <= n; i += kPixels) {
        U32x4 va, vb;
        std::memcpy(&va, a + i, sizeof va);
        std::memcpy(&vb, b + i, sizeof vb);
        const U32x4 mean = RoundedMean(va, vb);
        std::memcpy(d + i, &mean, sizeof mean);
    }
    for (; i < n; ++i)
        d[i] = RoundedMean(a[i], b[i]);
}

// The sums are kept by groups of four pixels: the four blue sums, then the
// green, red and alpha ones, so that each is one vector lane.
void SumRow(std::uint32_t* sums, const std::uint32_t* s, int n, bool first)
{
    int i = 0;
    for (; i + kPixels <= n; i += kPixels) {
        U32x4 p;
        std::memcpy(&p, s + i, sizeof p);
        std::uint32_t* group = sums + static_cast<size_t>(i) * 4;
        for (int c = 0; c < 4; ++c) {
            U32x4 v = ChannelOf(p, c);
            if (!first) {
                U32x4 old;
                std::memcpy(&old, group + c * kPixels, sizeof old);
                v += old;
            }
            std::memcpy(group + c * kPixels, &v, sizeof v);
        }
    }
    for (; i < n; ++i) {
        std::uint32_t* group = sums + static_cast<size_t>(i - i % kPixels) * 4 + i % kPixels;
        for (int c = 0; c < 4; ++c)
            group[c * kPixels] = (first ? 0 : group[c * kPixels]) + ChannelOf(s[i], c);
    }
}

void AverageSumsRow(std::uint32_t* d, const std::uint32_t* sums, int n, int count)
{
    const std::uint32_t half = static_cast<std::uint32_t>(count / 2), m = Reciprocal(count);
    const bool multiply = count <= kMaxReciprocalCount;
    auto average = [&](auto sum) { return multiply ? ((sum + half) * m) >> kReciprocalShift : (sum + half) / count; };
    int i = 0;
    for (; i + kPixels <= n; i += kPixels) {
        const std::uint32_t* group = sums + static_cast<size_t>(i) * 4;
        U32x4 result{};
        for (int c = 0; c < 4; ++c) {
            U32x4 sum;
            std::memcpy(&sum, group + c * kPixels, sizeof sum);
            result |= average(sum) << (8 * c);
        }
        std::memcpy(d + i, &result, sizeof result);
    }
    for (; i < n; ++i) {
        const std::uint32_t* group = sums + static_cast<size_t>(i - i % kPixels) * 4 + i % kPixels;
        std::uint32_t result = 0;
        for (int c = 0; c < 4; ++c)
            result |= average(group[c * kPixels]) << (8 * c);
        d[i] = result;
    }
}

} // namespace platform
