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
using U8x4 = std::uint8_t __attribute__((vector_size(4)));
using U8x8 = std::uint8_t __attribute__((vector_size(8)));

// The four channels of a pixel as 32-bit lanes, and back.
U32x4 Widen(std::uint32_t p)
{
    U8x4 bytes;
    std::memcpy(&bytes, &p, sizeof bytes);
    return __builtin_convertvector(bytes, U32x4);
}

std::uint32_t Narrow(U32x4 v)
{
    const U8x4 bytes = __builtin_convertvector(v, U8x4);
    std::uint32_t p;
    std::memcpy(&p, &bytes, sizeof p);
    return p;
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
            d[i] = *p;
            continue;
        }
        U32x4 sum = Widen(p[0]);
        for (int k = 1; k < count; ++k)
            sum += Widen(p[k]);
        sum += static_cast<std::uint32_t>(count / 2);
        if (count <= kMaxReciprocalCount)
            d[i] = Narrow((sum * Reciprocal(count)) >> kReciprocalShift);
        else
            d[i] = Narrow(sum / static_cast<std::uint32_t>(count));
    }
}

void SumRow(std::uint32_t* sums, const std::uint32_t* s, int n, bool first)
{
    const BYTE* bytes = reinterpret_cast<const BYTE*>(s);
    const int lanes = n * 4;
    int i = 0;
    for (; i + kLanes <= lanes; i += kLanes) {
        U8x8 b;
        std::memcpy(&b, bytes + i, sizeof b);
        U32x8 v = __builtin_convertvector(b, U32x8);
        if (!first) {
            U32x8 old;
            std::memcpy(&old, sums + i, sizeof old);
            v += old;
        }
        std::memcpy(sums + i, &v, sizeof v);
    }
    for (; i < lanes; ++i)
        sums[i] = first ? bytes[i] : sums[i] + bytes[i];
}

void AverageSumsRow(std::uint32_t* d, const std::uint32_t* sums, int n, int count)
{
    BYTE* bytes = reinterpret_cast<BYTE*>(d);
    const int lanes = n * 4;
    const std::uint32_t half = static_cast<std::uint32_t>(count / 2), m = Reciprocal(count);
    const bool multiply = count <= kMaxReciprocalCount;
    int i = 0;
    for (; multiply && i + kLanes <= lanes; i += kLanes) {
        U32x8 v;
        std::memcpy(&v, sums + i, sizeof v);
        const U8x8 b = __builtin_convertvector(((v + half) * m) >> kReciprocalShift, U8x8);
        std::memcpy(bytes + i, &b, sizeof b);
    }
    for (; i < lanes; ++i)
        bytes[i] = static_cast<BYTE>(multiply ? ((sums[i] + half) * m) >> kReciprocalShift
                                              : (sums[i] + half) / static_cast<std::uint32_t>(count));
}

} // namespace platform
