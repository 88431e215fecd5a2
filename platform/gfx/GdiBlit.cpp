// Blits between surfaces of any of the formats: BitBlt, StretchBlt,
// AlphaBlend and the colour-key blits. Pixels of different formats meet as
// 8-bit RGB; a copy between surfaces of one format moves rows as they are.
// Unscaled colour-key and alpha blits from RGB565 into RGB565 run through
// the row kernels of PixelRowsInternal.h, which give the same pixels as the
// general per-pixel loop.
#include "platform/base/Error.h"
#include "platform/gfx/Gdi.h"
#include "platform/gfx/GdiInternal.h"
#include "platform/gfx/PixelRowsInternal.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace platform {

namespace {

// What a blit reads: a surface, the offset from the caller's logical source
// coordinates to surface coordinates, and the part it may read.
struct Source {
    std::shared_ptr<Surface> surface;
    POINT offset{0, 0};
    RECT bounds{0, 0, 0, 0};
};

RECT BoundsOf(const DcState& dc)
{
    RECT b{0, 0, 0, 0};
    for (const RECT& a : dc.area) {
        if (IsEmpty(b))
            b = a;
        else
            b = RECT{std::min(b.left, a.left), std::min(b.top, a.top), std::max(b.right, a.right),
                     std::max(b.bottom, a.bottom)};
    }
    b = Offset(b, dc.deviceOrigin.x, dc.deviceOrigin.y);
    return Intersect(b, RECT{0, 0, dc.surface->width, dc.surface->height});
}

bool SourceFromDc(HDC handle, Source& out)
{
    auto dc = LookupDc(handle);
    if (!dc)
        return false;
    out.surface = dc->surface;
    out.offset = POINT{dc->viewportOrigin.x + dc->deviceOrigin.x, dc->viewportOrigin.y + dc->deviceOrigin.y};
    out.bounds = BoundsOf(*dc);
    return true;
}

bool SourceFromAny(HANDLE handle, Source& out)
{
    if (SourceFromDc(static_cast<HDC>(handle), out))
        return true;
    auto bitmap = LookupGdiObject<BitmapObject>(handle);
    if (!bitmap)
        return false;
    out.surface = bitmap->surface;
    out.offset = POINT{0, 0};
    out.bounds = RECT{0, 0, bitmap->surface->width, bitmap->surface->height};
    return true;
}

bool SameFormat(const Surface& a, const Surface& b)
{
    return a.bitsPerPixel == b.bitsPerPixel && a.rgb555 == b.rgb555;
}

bool NeedsSource(DWORD rop)
{
    return rop == SRCCOPY || rop == NOTSRCCOPY || rop == SRCINVERT || rop == SRCAND || rop == SRCPAINT;
}

bool NeedsDest(DWORD rop)
{
    return rop == SRCINVERT || rop == SRCAND || rop == SRCPAINT;
}

// Bitwise operations commute with the widening of 5- and 6-bit channels
// by bit replication, so they may run on any pixel format's raw bits.
template <class T> inline T Combine(DWORD rop, T s, T d)
{
    switch (rop) {
    case NOTSRCCOPY:
        return static_cast<T>(~s);
    case SRCINVERT:
        return static_cast<T>(s ^ d);
    case SRCAND:
        return static_cast<T>(s & d);
    case SRCPAINT:
        return static_cast<T>(s | d);
    default:
        return s;
    }
}

void ReadRow(const Surface& s, int x, int y, int n, COLORREF* out)
{
    for (int i = 0; i < n; ++i)
        out[i] = ReadPixel(s, x + i, y);
}

void WriteRow(Surface& s, int x, int y, int n, const COLORREF* in)
{
    for (int i = 0; i < n; ++i)
        WritePixel(s, x + i, y, in[i]);
}

// Copies the surface rectangle dr of dst from src at (sx, sy); both
// rectangles are inside their surfaces.
void BlitRect(Surface& dst, const RECT& dr, const Surface& src, int sx, int sy, DWORD rop)
{
    const int w = dr.right - dr.left, h = dr.bottom - dr.top;
    // Moving down inside one surface: walk the rows from the bottom.
    const bool upward = &dst == &src && sy < dr.top;
    std::vector<COLORREF> srow, drow;
    for (int i = 0; i < h; ++i) {
        const int row = upward ? h - 1 - i : i;
        const BYTE* s = src.Row(sy + row);
        BYTE* d = dst.Row(dr.top + row);
        if (SameFormat(dst, src)) {
            const int bpp = dst.BytesPerPixel();
            BYTE* dp = d + dr.left * bpp;
            const BYTE* sp = s + sx * bpp;
            if (rop == SRCCOPY) {
                std::memmove(dp, sp, static_cast<std::size_t>(w) * bpp);
            } else if (&dst == &src) {
                std::vector<BYTE> copy(sp, sp + static_cast<std::ptrdiff_t>(w) * bpp);
                for (int k = 0; k < w * bpp; ++k)
                    dp[k] = Combine<BYTE>(rop, copy[k], dp[k]);
            } else {
                for (int k = 0; k < w * bpp; ++k)
                    dp[k] = Combine<BYTE>(rop, sp[k], dp[k]);
            }
            if (rop == NOTSRCCOPY && dst.bitsPerPixel == 32)
                for (int k = 0; k < w; ++k)
                    dp[k * 4 + 3] = 0;
            continue;
        }
        srow.resize(w);
        ReadRow(src, sx, sy + row, w, srow.data());
        if (NeedsDest(rop)) {
            drow.resize(w);
            ReadRow(dst, dr.left, dr.top + row, w, drow.data());
        }
        for (int k = 0; k < w; ++k)
            srow[k] = Combine<COLORREF>(rop, srow[k], NeedsDest(rop) ? drow[k] : 0) & 0xFFFFFF;
        WriteRow(dst, dr.left, dr.top + row, w, srow.data());
    }
}

// Walks the destination pixels of a (possibly scaled, possibly mirrored)
// blit that the clip and both surfaces let through, nearest neighbour:
// f(dstX, dstY, srcX, srcY) in surface coordinates.
template <class F>
bool ForEachScaled(HDC dstHandle, int x, int y, int w, int h, const Source& src, int sx, int sy, int sw, int sh, F f)
{
    auto dc = LookupDc(dstHandle);
    if (!dc || !src.surface) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    if (w == 0 || h == 0 || sw == 0 || sh == 0)
        return true;
    const bool mirrorX = (w < 0) != (sw < 0), mirrorY = (h < 0) != (sh < 0);
    const POINT o = dc->viewportOrigin;
    const int dl = std::min(x, x + w) + o.x, dt = std::min(y, y + h) + o.y;
    const int aw = std::abs(w), ah = std::abs(h), asw = std::abs(sw), ash = std::abs(sh);
    const int sl = std::min(sx, sx + sw) + src.offset.x, st = std::min(sy, sy + sh) + src.offset.y;
    // Source column for each destination column.
    auto mapX = [&](int i) {
        const int j = static_cast<int>((2LL * i + 1) * asw / (2LL * aw));
        return sl + (mirrorX ? asw - 1 - j : j);
    };
    auto mapY = [&](int i) {
        const int j = static_cast<int>((2LL * i + 1) * ash / (2LL * ah));
        return st + (mirrorY ? ash - 1 - j : j);
    };
    std::vector<int> columns;
    ForEachClipRect(*dc, RECT{dl, dt, dl + aw, dt + ah}, [&](const RECT& r) {
        const int firstI = r.left - dc->deviceOrigin.x - dl;
        columns.resize(r.right - r.left);
        for (int k = 0; k < r.right - r.left; ++k)
            columns[k] = mapX(firstI + k);
        for (int ty = r.top; ty < r.bottom; ++ty) {
            const int syy = mapY(ty - dc->deviceOrigin.y - dt);
            if (syy < src.bounds.top || syy >= src.bounds.bottom)
                continue;
            for (int k = 0; k < r.right - r.left; ++k) {
                const int sxx = columns[k];
                if (sxx >= src.bounds.left && sxx < src.bounds.right)
                    f(*dc->surface, r.left + k, ty, sxx, syy);
            }
        }
    });
    return true;
}

bool Is565(const Surface& s)
{
    return s.bitsPerPixel == 16 && !s.rgb555;
}

// Whether the pixel memory of two surfaces may overlap.
bool Overlap(const Surface& a, const Surface& b)
{
    const BYTE* aEnd = a.bits + static_cast<std::ptrdiff_t>(a.stride) * a.height;
    const BYTE* bEnd = b.bits + static_cast<std::ptrdiff_t>(b.stride) * b.height;
    return a.bits < bEnd && b.bits < aEnd;
}

// Whether a blit of w x h from sw x sh may go through the row kernels: the
// same size, not mirrored, both surfaces RGB565 and apart in memory (an
// overlapping blit reads what it has just written, pixel by pixel, in the
// general loop's order).
bool RowsApply(HDC dstHandle, int w, int h, const Source& src, int sw, int sh)
{
    if (!RowKernelsEnabled() || w != sw || h != sh || w <= 0 || h <= 0 || !src.surface || !Is565(*src.surface))
        return false;
    auto dc = LookupDc(dstHandle);
    return dc && dc->surface && Is565(*dc->surface) && !Overlap(*dc->surface, *src.surface);
}

// Walks the rows of an unscaled, unmirrored blit that the clip and both
// surfaces let through - the pixels ForEachScaled visits for it, and the
// same parts marked drawn: row(dstRow, srcRow, n) with RGB565 pointers to
// the first pixel of each run.
template <class F> bool ForEachRow(HDC dstHandle, int x, int y, int w, int h, const Source& src, int sx, int sy, F row)
{
    auto dc = LookupDc(dstHandle);
    const POINT o = dc->viewportOrigin;
    const int dl = x + o.x, dt = y + o.y;
    // From destination surface coordinates to source surface coordinates.
    const int ox = sx + src.offset.x - dl - dc->deviceOrigin.x, oy = sy + src.offset.y - dt - dc->deviceOrigin.y;
    Surface& d = *dc->surface;
    const Surface& s = *src.surface;
    ForEachClipRect(*dc, RECT{dl, dt, dl + w, dt + h}, [&](const RECT& r) {
        const RECT run = Intersect(r, Offset(src.bounds, -ox, -oy));
        if (IsEmpty(run))
            return;
        for (int ty = run.top; ty < run.bottom; ++ty)
            row(reinterpret_cast<WORD*>(d.Row(ty)) + run.left,
                reinterpret_cast<const WORD*>(s.Row(ty + oy)) + run.left + ox, run.right - run.left);
    });
    return true;
}

std::atomic<bool> g_rowKernels{true};

} // namespace

void EnableRowKernels(bool on)
{
    g_rowKernels = on;
}

bool RowKernelsEnabled()
{
    return g_rowKernels;
}

} // namespace platform

using namespace platform;

BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int sx, int sy, DWORD rop)
{
    if (!NeedsSource(rop))
        return PatBlt(dst, x, y, width, height, rop);
    auto d = LookupDc(dst);
    Source s;
    if (!d || !SourceFromDc(src, s)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (width <= 0 || height <= 0)
        return TRUE;
    const RECT device = Offset(RECT{x, y, x + width, y + height}, d->viewportOrigin.x, d->viewportOrigin.y);
    // From destination device coordinates to source surface coordinates.
    const int ox = sx + s.offset.x - device.left, oy = sy + s.offset.y - device.top;
    const RECT limited = Intersect(device, Offset(s.bounds, -ox, -oy));
    if (IsEmpty(limited))
        return TRUE;
    ForEachClipRect(*d, limited, [&](const RECT& r) {
        const int dox = d->deviceOrigin.x, doy = d->deviceOrigin.y;
        BlitRect(*d->surface, r, *s.surface, r.left - dox + ox, r.top - doy + oy, rop);
    });
    return TRUE;
}

BOOL StretchBlt(HDC dst, int x, int y, int width, int height, HDC src, int sx, int sy, int sw, int sh, DWORD rop)
{
    if (width == sw && height == sh && width > 0 && height > 0)
        return BitBlt(dst, x, y, width, height, src, sx, sy, rop);
    if (!NeedsSource(rop))
        return PatBlt(dst, x, y, width, height, rop);
    Source s;
    if (!SourceFromDc(src, s)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return ForEachScaled(dst, x, y, width, height, s, sx, sy, sw, sh,
                         [&](Surface& d, int dx, int dy, int srcX, int srcY) {
                             const COLORREF sp = ReadPixel(*s.surface, srcX, srcY);
                             const COLORREF dp = NeedsDest(rop) ? ReadPixel(d, dx, dy) : 0;
                             WritePixel(d, dx, dy, Combine<COLORREF>(rop, sp, dp) & 0xFFFFFF);
                         })
        ? TRUE
        : FALSE;
}

BOOL AlphaBlend(HDC dst, int x, int y, int width, int height, HDC src, int sx, int sy, int sw, int sh,
                BLENDFUNCTION blend)
{
    Source s;
    if (blend.BlendOp != AC_SRC_OVER || !SourceFromDc(src, s) || width < 0 || height < 0 || sw < 0 || sh < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const int alpha = blend.SourceConstantAlpha;
    if (alpha == 0)
        return LookupDc(dst) ? TRUE : FALSE;
    if (RowsApply(dst, width, height, s, sw, sh))
        return ForEachRow(dst, x, y, width, height, s, sx, sy,
                          [&](WORD* d, const WORD* p, int n) { BlendRow565(d, p, n, alpha); });
    return ForEachScaled(dst, x, y, width, height, s, sx, sy, sw, sh,
                         [&](Surface& d, int dx, int dy, int srcX, int srcY) {
                             PutPixelBlend(d, dx, dy, ReadPixel(*s.surface, srcX, srcY), alpha);
                         })
        ? TRUE
        : FALSE;
}

BOOL TransparentImage(HDC dst, int x, int y, int width, int height, HANDLE src, int sx, int sy, int sw, int sh,
                      COLORREF key)
{
    Source s;
    if (!SourceFromAny(src, s)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    // The key is compared in the source's own format.
    const Surface& ss = *s.surface;
    const bool raw16 = ss.bitsPerPixel == 16 && !ss.rgb555;
    const WORD key16 = ToRgb565(key);
    key &= 0xFFFFFF;
    if (RowsApply(dst, width, height, s, sw, sh))
        return ForEachRow(dst, x, y, width, height, s, sx, sy,
                          [&](WORD* d, const WORD* p, int n) { KeyRow565(d, p, n, key16); });
    const bool direct = RowKernelsEnabled();
    return ForEachScaled(dst, x, y, width, height, s, sx, sy, sw, sh,
                         [&](Surface& d, int dx, int dy, int srcX, int srcY) {
                             if (raw16) {
                                 const WORD p = reinterpret_cast<const WORD*>(ss.Row(srcY))[srcX];
                                 if (p == key16)
                                     return;
                                 // RGB565 to RGB565 is the pixel itself.
                                 if (direct && Is565(d))
                                     reinterpret_cast<WORD*>(d.Row(dy))[dx] = p;
                                 else
                                     WritePixel(d, dx, dy, FromRgb565(p));
                                 return;
                             }
                             const COLORREF p = ReadPixel(ss, srcX, srcY);
                             if (p != key)
                                 WritePixel(d, dx, dy, p);
                         })
        ? TRUE
        : FALSE;
}

BOOL TransparentBlt(HDC dst, int x, int y, int width, int height, HDC src, int sx, int sy, int sw, int sh, UINT key)
{
    return TransparentImage(dst, x, y, width, height, src, sx, sy, sw, sh, key);
}
