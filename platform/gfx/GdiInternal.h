// The drawing model under the GDI calls, shared by the platform pieces that
// draw (text, pictures): surfaces, the GDI object table and DC state.
//
// Coordinates: logical (what the caller passes) + viewport origin = device
// (relative to the DC: a window's top-left, a bitmap's top-left);
// device + DcState::deviceOrigin = surface coordinates (pixels of the
// target surface). Clip rectangles are kept in device coordinates, already
// limited to the DC's drawable area.
//
// All of this is used from the thread that draws; the object table itself is
// thread-safe.
#pragma once

#include "platform/base/PageBuffer.h"
#include "platform/base/Rect.h"
#include "platform/base/Types.h"
#include "platform/gfx/Gdi.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace platform {

// Pixels of a bitmap or of the screen. 16 bpp = RGB565 (one WORD), 24 bpp =
// B,G,R bytes, 32 bpp = B,G,R,X bytes. Rows are 4-byte aligned.
struct Surface {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 16;
    int stride = 0;
    bool topDown = true;
    bool rgb555 = false; // 16 bpp only: 5-5-5 (BI_RGB DIB sections) instead of 565
    BYTE* bits = nullptr;
    PageBuffer storage; // the pixels when the surface owns them

    // Visual row y, 0 = top.
    BYTE* Row(int y) { return bits + static_cast<std::ptrdiff_t>(topDown ? y : height - 1 - y) * stride; }
    const BYTE* Row(int y) const { return bits + static_cast<std::ptrdiff_t>(topDown ? y : height - 1 - y) * stride; }
    int BytesPerPixel() const { return bitsPerPixel / 8; }

    // A zeroed surface that owns its pixels; null when the size or depth is
    // not supported (depth 16, 24 or 32; sides 1..16384) or memory runs out.
    static std::shared_ptr<Surface> Create(int width, int height, int bitsPerPixel, bool topDown);
};

// The screen's framebuffer as a surface (800x480, 16 bpp, top-down).
std::shared_ptr<Surface> ScreenSurface();

// One pixel; the position must be inside the surface.
COLORREF ReadPixel(const Surface& s, int x, int y);
void WritePixel(Surface& s, int x, int y, COLORREF c);
// Mixes c over the pixel at (x, y) with alpha 0 (pixel unchanged) .. 255
// (c). Positions outside the surface are ignored.
void PutPixelBlend(Surface& s, int x, int y, COLORREF c, int alpha0to255);
// Fills the rectangle (surface coordinates, clipped to the surface).
void FillSurfaceRect(Surface& s, RECT r, COLORREF c);

// The RGB565 row kernels of the colour-key and alpha blits and of picture
// draws (PixelRowsInternal.h) are on by default; tests turn them off to
// compare their pixels with the general per-pixel path's.
void EnableRowKernels(bool on);
bool RowKernelsEnabled();

// GDI objects. Kinds are the OBJ_* values of Gdi.h.
class GdiObject {
public:
    GdiObject() = default;
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;
    virtual ~GdiObject() = default;
    virtual int Kind() const = 0;
    // GetObjectW: writes up to size bytes of the object's description and
    // returns the count written (with out null: the size it needs); 0 when
    // the object has no description.
    virtual int Describe(int /*size*/, void* /*out*/) const { return 0; }
};

// Enters an object in the table; null when the table is full or object null.
HGDIOBJ RegisterGdiObject(std::shared_ptr<GdiObject> object);
// The object behind a live handle, or null (also for a handle of another
// kind or a stale one).
std::shared_ptr<GdiObject> LookupGdiObject(HGDIOBJ handle);
template <class T> std::shared_ptr<T> LookupGdiObject(HGDIOBJ handle)
{
    return std::dynamic_pointer_cast<T>(LookupGdiObject(handle));
}

class BitmapObject : public GdiObject {
public:
    explicit BitmapObject(std::shared_ptr<Surface> s, bool dib = false) : surface(std::move(s)), isDib(dib) {}
    int Kind() const override { return OBJ_BITMAP; }
    int Describe(int size, void* out) const override;
    std::shared_ptr<Surface> surface;
    bool isDib;
};

class BrushObject : public GdiObject {
public:
    BrushObject(COLORREF c, bool null) : color(c), isNull(null) {}
    int Kind() const override { return OBJ_BRUSH; }
    COLORREF color;
    bool isNull;
};

class PenObject : public GdiObject {
public:
    PenObject(int s, int w, COLORREF c) : style(s), width(w), color(c) {}
    int Kind() const override { return OBJ_PEN; }
    int style;
    int width;
    COLORREF color;
};

// A region: disjoint rectangles, none empty.
class RegionObject : public GdiObject {
public:
    int Kind() const override { return OBJ_REGION; }
    std::vector<RECT> rects;
};

// Defined by the text piece (platform/gfx/FontInternal.h); Kind() is OBJ_FONT.
class FontObject;

// A device context.
class DcState : public GdiObject {
public:
    int Kind() const override { return isMemory ? OBJ_MEMDC : OBJ_DC; }

    bool isMemory = false;
    HWND hwnd = nullptr;              // window DC: its window (null for the whole screen)
    std::shared_ptr<Surface> surface; // where the pixels go
    POINT deviceOrigin{0, 0};         // device (0, 0) on the surface
    std::vector<RECT> area;           // drawable area, device coordinates (window, paint rectangle)
    bool hasClipRegion = false;
    std::vector<RECT> clipRegion; // the selected clip region, device coordinates
    std::vector<RECT> clip;       // what drawing may touch: area, and the clip region when there is one
    POINT viewportOrigin{0, 0};

    HGDIOBJ bitmap = nullptr; // selected objects (handles stay valid while selected)
    HGDIOBJ brush = nullptr;
    HGDIOBJ pen = nullptr;
    HGDIOBJ font = nullptr;
    COLORREF textColor = RGB(0, 0, 0);
    COLORREF bkColor = RGB(255, 255, 255);
    int bkMode = OPAQUE;
    UINT textAlign = TA_LEFT | TA_TOP;
    POINT penPosition{0, 0}; // logical

    RECT drawn{0, 0, 0, 0}; // window DC: what was drawn since GetDC, surface coordinates
};

// The DC behind a handle, or null.
std::shared_ptr<DcState> LookupDc(HDC dc);

// A window DC whose drawable area is also limited to rect (client
// coordinates): what BeginPaint hands out.
HDC GetDCClipped(HWND hwnd, const RECT& rect);

// Records that a surface rectangle was drawn (a window DC presents it at
// ReleaseDC).
void MarkDrawn(DcState& dc, const RECT& surfaceRect);

// Calls f(const RECT& surfaceRect) for every part of deviceRect that the
// clip lets through, in surface coordinates, and marks those parts drawn.
template <class F> void ForEachClipRect(DcState& dc, RECT deviceRect, F f)
{
    for (const RECT& c : dc.clip) {
        RECT r = Intersect(deviceRect, c);
        if (IsEmpty(r))
            continue;
        r = Offset(r, dc.deviceOrigin.x, dc.deviceOrigin.y);
        r = Intersect(r, RECT{0, 0, dc.surface->width, dc.surface->height});
        if (IsEmpty(r))
            continue;
        MarkDrawn(dc, r);
        f(static_cast<const RECT&>(r));
    }
}

// Logical to device coordinates.
inline POINT ToDevice(const DcState& dc, int x, int y)
{
    return POINT{x + dc.viewportOrigin.x, y + dc.viewportOrigin.y};
}

} // namespace platform
