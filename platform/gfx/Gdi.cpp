// Device contexts, the GDI object table, regions, attributes, fills and
// lines. Blits are in GdiBlit.cpp.
#include "platform/gfx/Gdi.h"

#include "platform/base/Error.h"
#include "platform/gfx/GdiInternal.h"
#include "platform/gfx/Screen.h"
#include "platform/ui/Window.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace platform {

namespace {

// Handle values: generation in bits 20 and up, slot in the low 20 bits.
constexpr std::uintptr_t kSlotBits = 20;
constexpr std::uintptr_t kSlotMask = (std::uintptr_t{1} << kSlotBits) - 1;

struct ObjectSlot {
    std::uint32_t generation = 1;
    std::shared_ptr<GdiObject> object;
    int selectCount = 0;        // DCs that have it selected
    bool deletePending = false; // DeleteObject while selected: freed at the last deselection
    bool stock = false;
};

struct ObjectTable {
    std::mutex lock;
    std::vector<ObjectSlot> slots = std::vector<ObjectSlot>(1); // slot 0 is never used
    std::vector<std::uint32_t> freeSlots;
};

ObjectTable& Table()
{
    static ObjectTable* table = new ObjectTable; // outlives static destructors of other files
    return *table;
}

ObjectSlot* SlotOf(ObjectTable& t, HGDIOBJ handle)
{
    const auto v = reinterpret_cast<std::uintptr_t>(handle);
    const std::uintptr_t slot = v & kSlotMask;
    if (slot == 0 || slot >= t.slots.size())
        return nullptr;
    ObjectSlot& s = t.slots[slot];
    if (!s.object || s.generation != static_cast<std::uint32_t>(v >> kSlotBits))
        return nullptr;
    return &s;
}

void FreeSlotLocked(ObjectTable& t, ObjectSlot& s)
{
    s.object.reset();
    s.selectCount = 0;
    s.deletePending = false;
    ++s.generation;
    t.freeSlots.push_back(static_cast<std::uint32_t>(&s - t.slots.data()));
}

// Selection counts keep a selected object's handle alive past DeleteObject.
void AddSelection(HGDIOBJ handle)
{
    ObjectTable& t = Table();
    std::lock_guard<std::mutex> lock(t.lock);
    if (ObjectSlot* s = SlotOf(t, handle))
        ++s->selectCount;
}

void DropSelection(HGDIOBJ handle)
{
    ObjectTable& t = Table();
    std::lock_guard<std::mutex> lock(t.lock);
    ObjectSlot* s = SlotOf(t, handle);
    if (s && s->selectCount > 0 && --s->selectCount == 0 && s->deletePending)
        FreeSlotLocked(t, *s);
}

HGDIOBJ RegisterStock(std::shared_ptr<GdiObject> object)
{
    HGDIOBJ h = RegisterGdiObject(std::move(object));
    ObjectTable& t = Table();
    std::lock_guard<std::mutex> lock(t.lock);
    if (ObjectSlot* s = SlotOf(t, h))
        s->stock = true;
    return h;
}

struct StockObjects {
    HGDIOBJ brushes[6];
    HGDIOBJ pens[3];
    HGDIOBJ defaultBitmap;
};

const StockObjects& Stock()
{
    static const StockObjects stock = [] {
        StockObjects s{};
        const COLORREF greys[5]
            = {RGB(255, 255, 255), RGB(192, 192, 192), RGB(128, 128, 128), RGB(64, 64, 64), RGB(0, 0, 0)};
        for (int i = 0; i < 5; ++i)
            s.brushes[i] = RegisterStock(std::make_shared<BrushObject>(greys[i], false));
        s.brushes[5] = RegisterStock(std::make_shared<BrushObject>(0, true));
        s.pens[0] = RegisterStock(std::make_shared<PenObject>(PS_SOLID, 1, RGB(255, 255, 255)));
        s.pens[1] = RegisterStock(std::make_shared<PenObject>(PS_SOLID, 1, RGB(0, 0, 0)));
        s.pens[2] = RegisterStock(std::make_shared<PenObject>(PS_NULL, 1, 0));
        // What a new memory DC holds: one pixel, as the unit's default bitmap.
        s.defaultBitmap = RegisterStock(std::make_shared<BitmapObject>(Surface::Create(1, 1, 16, true)));
        return s;
    }();
    return stock;
}

DisplayEscapeHandler& EscapeHandler()
{
    static DisplayEscapeHandler handler;
    return handler;
}
std::mutex g_escapeLock;

void RecomputeClip(DcState& dc)
{
    dc.clip.clear();
    if (!dc.hasClipRegion) {
        dc.clip = dc.area;
        return;
    }
    for (const RECT& a : dc.area)
        for (const RECT& c : dc.clipRegion) {
            RECT r = Intersect(a, c);
            if (!IsEmpty(r))
                dc.clip.push_back(r);
        }
}

std::shared_ptr<DcState> NewDc()
{
    auto dc = std::make_shared<DcState>();
    dc->brush = Stock().brushes[WHITE_BRUSH];
    dc->pen = Stock().pens[BLACK_PEN - WHITE_PEN];
    AddSelection(dc->brush);
    AddSelection(dc->pen);
    return dc;
}

HDC MakeWindowDc(HWND hwnd, const RECT* limit)
{
    auto dc = NewDc();
    dc->surface = ScreenSurface();
    dc->hwnd = hwnd;
    std::vector<RECT> visible{RECT{0, 0, kScreenWidth, kScreenHeight}};
    if (hwnd) {
        RECT wr;
        // Where the window shows: inside its parents, not under the
        // top-level windows in front of it.
        if (!GetWindowRect(hwnd, &wr) || !WindowScreenArea(hwnd, &visible))
            return nullptr;
        dc->deviceOrigin = POINT{wr.left, wr.top};
    }
    for (const RECT& v : visible) {
        RECT area = Offset(v, -dc->deviceOrigin.x, -dc->deviceOrigin.y);
        if (limit)
            area = Intersect(area, *limit);
        if (!IsEmpty(area))
            dc->area.push_back(area);
    }
    RecomputeClip(*dc);
    HDC h = static_cast<HDC>(RegisterGdiObject(dc));
    if (!h)
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return h;
}

// Removes a DC: its selected objects are let go.
BOOL DestroyDc(HDC handle, bool presentDrawn)
{
    std::shared_ptr<DcState> dc = LookupDc(handle);
    if (!dc) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    {
        ObjectTable& t = Table();
        std::lock_guard<std::mutex> lock(t.lock);
        if (ObjectSlot* s = SlotOf(t, handle))
            FreeSlotLocked(t, *s);
    }
    for (HGDIOBJ h : {dc->bitmap, dc->brush, dc->pen, dc->font})
        if (h)
            DropSelection(h);
    if (presentDrawn && !dc->isMemory && !IsEmpty(dc->drawn))
        Screen::Get().Present(dc->drawn);
    return TRUE;
}

std::shared_ptr<DcState> DcOrFail(HDC handle)
{
    std::shared_ptr<DcState> dc = LookupDc(handle);
    if (!dc)
        SetLastError(ERROR_INVALID_HANDLE);
    return dc;
}

void FillDevice(DcState& dc, const RECT& deviceRect, COLORREF c)
{
    ForEachClipRect(dc, deviceRect, [&](const RECT& r) { FillSurfaceRect(*dc.surface, r, c); });
}

// Xors the rectangle's pixels with c (in the surface's own format).
void XorSurfaceRect(Surface& s, const RECT& r, COLORREF c)
{
    for (int y = r.top; y < r.bottom; ++y) {
        BYTE* row = s.Row(y);
        if (s.bitsPerPixel == 16) {
            WORD v = ToRgb565(c);
            if (s.rgb555)
                v = static_cast<WORD>(((GetRValue(c) >> 3) << 10) | ((GetGValue(c) >> 3) << 5) | (GetBValue(c) >> 3));
            auto* p = reinterpret_cast<WORD*>(row);
            for (int x = r.left; x < r.right; ++x)
                p[x] ^= v;
        } else {
            const int bpp = s.BytesPerPixel();
            for (int x = r.left; x < r.right; ++x) {
                BYTE* p = row + x * bpp;
                p[0] ^= GetBValue(c);
                p[1] ^= GetGValue(c);
                p[2] ^= GetRValue(c);
            }
        }
    }
}

RECT Normalized(int l, int t, int r, int b)
{
    return RECT{std::min(l, r), std::min(t, b), std::max(l, r), std::max(t, b)};
}

int RegionType(const std::vector<RECT>& rects)
{
    return rects.empty() ? NULLREGION : rects.size() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

RECT BoundingBox(const std::vector<RECT>& rects)
{
    if (rects.empty())
        return RECT{0, 0, 0, 0};
    RECT b = rects[0];
    for (const RECT& r : rects)
        b = Union(b, r);
    return b;
}

std::vector<RECT> SubtractAll(std::vector<RECT> from, const std::vector<RECT>& what)
{
    for (const RECT& w : what) {
        std::vector<RECT> next;
        for (const RECT& f : from)
            Subtract(f, w, next);
        from.swap(next);
    }
    return from;
}

void PlotPen(DcState& dc, int x, int y, int width, COLORREF c)
{
    const int half = (width - 1) / 2;
    FillDevice(dc, RECT{x - half, y - half, x - half + width, y - half + width}, c);
}

// Bresenham from (x0, y0) to (x1, y1), the end point left out. Device
// coordinates.
void DrawLine(DcState& dc, int x0, int y0, int x1, int y1)
{
    auto pen = LookupGdiObject<PenObject>(dc.pen);
    if (!pen || pen->style == PS_NULL)
        return;
    const int width = std::max(1, pen->width);
    const int dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
    const int dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    while (x0 != x1 || y0 != y1) {
        PlotPen(dc, x0, y0, width, pen->color);
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
}

} // namespace

std::shared_ptr<Surface> Surface::Create(int width, int height, int bitsPerPixel, bool topDown)
{
    if (width < 1 || height < 1 || width > 16384 || height > 16384
        || (bitsPerPixel != 16 && bitsPerPixel != 24 && bitsPerPixel != 32))
        return nullptr;
    auto s = std::make_shared<Surface>();
    s->width = width;
    s->height = height;
    s->bitsPerPixel = bitsPerPixel;
    s->stride = (width * (bitsPerPixel / 8) + 3) & ~3;
    s->topDown = topDown;
    s->storage = PageBuffer(static_cast<std::size_t>(s->stride) * height);
    if (s->storage.empty())
        return nullptr;
    s->bits = s->storage.data();
    return s;
}

std::shared_ptr<Surface> ScreenSurface()
{
    static const std::shared_ptr<Surface> screen = [] {
        auto s = std::make_shared<Surface>();
        s->width = kScreenWidth;
        s->height = kScreenHeight;
        s->bitsPerPixel = 16;
        s->stride = kScreenWidth * 2;
        s->topDown = true;
        s->bits = reinterpret_cast<BYTE*>(Screen::Get().Pixels());
        return s;
    }();
    return screen;
}

COLORREF ReadPixel(const Surface& s, int x, int y)
{
    const BYTE* row = s.Row(y);
    switch (s.bitsPerPixel) {
    case 16: {
        const WORD p = reinterpret_cast<const WORD*>(row)[x];
        if (s.rgb555) {
            const unsigned r = (p >> 10) & 0x1F, g = (p >> 5) & 0x1F, b = p & 0x1F;
            return RGB(static_cast<BYTE>((r << 3) | (r >> 2)), static_cast<BYTE>((g << 3) | (g >> 2)),
                       static_cast<BYTE>((b << 3) | (b >> 2)));
        }
        return FromRgb565(p);
    }
    default: {
        const BYTE* p = row + x * s.BytesPerPixel();
        return RGB(p[2], p[1], p[0]);
    }
    }
}

void WritePixel(Surface& s, int x, int y, COLORREF c)
{
    BYTE* row = s.Row(y);
    switch (s.bitsPerPixel) {
    case 16:
        reinterpret_cast<WORD*>(row)[x] = s.rgb555
            ? static_cast<WORD>(((GetRValue(c) >> 3) << 10) | ((GetGValue(c) >> 3) << 5) | (GetBValue(c) >> 3))
            : ToRgb565(c);
        break;
    case 24: {
        BYTE* p = row + x * 3;
        p[0] = GetBValue(c);
        p[1] = GetGValue(c);
        p[2] = GetRValue(c);
        break;
    }
    default: {
        BYTE* p = row + x * 4;
        p[0] = GetBValue(c);
        p[1] = GetGValue(c);
        p[2] = GetRValue(c);
        p[3] = 0;
        break;
    }
    }
}

void PutPixelBlend(Surface& s, int x, int y, COLORREF c, int alpha)
{
    if (x < 0 || y < 0 || x >= s.width || y >= s.height || alpha <= 0)
        return;
    if (alpha >= 255) {
        WritePixel(s, x, y, c);
        return;
    }
    const COLORREF d = ReadPixel(s, x, y);
    auto mix = [alpha](int a, int b) { return static_cast<BYTE>((a * alpha + b * (255 - alpha) + 127) / 255); };
    WritePixel(s, x, y,
               RGB(mix(GetRValue(c), GetRValue(d)), mix(GetGValue(c), GetGValue(d)), mix(GetBValue(c), GetBValue(d))));
}

void FillSurfaceRect(Surface& s, RECT r, COLORREF c)
{
    r = Intersect(r, RECT{0, 0, s.width, s.height});
    if (IsEmpty(r))
        return;
    // The first row pixel by pixel (wide stores for 16 bpp), the others
    // copied from it.
    const int bpp = s.BytesPerPixel();
    const std::size_t bytes = static_cast<std::size_t>(r.right - r.left) * bpp;
    BYTE* first = s.Row(r.top) + r.left * bpp;
    int x = r.left;
    if (s.bitsPerPixel == 16) {
        WritePixel(s, x, r.top, c);
        const WORD v = reinterpret_cast<WORD*>(s.Row(r.top))[x];
        const std::uint64_t wide = v * 0x0001000100010001ull;
        BYTE* p = first;
        for (; x + 4 <= r.right; x += 4, p += 8)
            std::memcpy(p, &wide, 8);
    }
    for (; x < r.right; ++x)
        WritePixel(s, x, r.top, c);
    for (int y = r.top + 1; y < r.bottom; ++y)
        std::memcpy(s.Row(y) + r.left * bpp, first, bytes);
}

HGDIOBJ RegisterGdiObject(std::shared_ptr<GdiObject> object)
{
    if (!object)
        return nullptr;
    ObjectTable& t = Table();
    std::lock_guard<std::mutex> lock(t.lock);
    std::uint32_t slot;
    if (!t.freeSlots.empty()) {
        slot = t.freeSlots.back();
        t.freeSlots.pop_back();
    } else {
        if (t.slots.size() > kSlotMask)
            return nullptr;
        slot = static_cast<std::uint32_t>(t.slots.size());
        t.slots.emplace_back();
    }
    ObjectSlot& s = t.slots[slot];
    s.object = std::move(object);
    s.stock = false;
    return reinterpret_cast<HGDIOBJ>((static_cast<std::uintptr_t>(s.generation) << kSlotBits) | slot);
}

std::shared_ptr<GdiObject> LookupGdiObject(HGDIOBJ handle)
{
    ObjectTable& t = Table();
    std::lock_guard<std::mutex> lock(t.lock);
    ObjectSlot* s = SlotOf(t, handle);
    return s ? s->object : nullptr;
}

std::shared_ptr<DcState> LookupDc(HDC dc)
{
    return LookupGdiObject<DcState>(dc);
}

HDC GetDCClipped(HWND hwnd, const RECT& rect)
{
    return MakeWindowDc(hwnd, &rect);
}

void MarkDrawn(DcState& dc, const RECT& r)
{
    if (dc.isMemory)
        return;
    if (IsEmpty(dc.drawn))
        dc.drawn = r;
    else
        dc.drawn = RECT{std::min(dc.drawn.left, r.left), std::min(dc.drawn.top, r.top),
                        std::max(dc.drawn.right, r.right), std::max(dc.drawn.bottom, r.bottom)};
}

int BitmapObject::Describe(int size, void* out) const
{
    BITMAP bm{};
    bm.bmType = 0;
    bm.bmWidth = surface->width;
    bm.bmHeight = surface->height;
    bm.bmWidthBytes = surface->stride;
    bm.bmPlanes = 1;
    bm.bmBitsPixel = static_cast<WORD>(surface->bitsPerPixel);
    bm.bmBits = surface->bits;
    if (!out)
        return isDib ? static_cast<int>(sizeof(DIBSECTION)) : static_cast<int>(sizeof(BITMAP));
    if (isDib && size >= static_cast<int>(sizeof(DIBSECTION))) {
        DIBSECTION ds{};
        ds.dsBm = bm;
        ds.dsBmih.biSize = sizeof(BITMAPINFOHEADER);
        ds.dsBmih.biWidth = surface->width;
        ds.dsBmih.biHeight = surface->topDown ? -surface->height : surface->height;
        ds.dsBmih.biPlanes = 1;
        ds.dsBmih.biBitCount = static_cast<WORD>(surface->bitsPerPixel);
        ds.dsBmih.biCompression = surface->bitsPerPixel == 16 && !surface->rgb555 ? BI_BITFIELDS : BI_RGB;
        ds.dsBmih.biSizeImage = static_cast<DWORD>(surface->stride * surface->height);
        if (ds.dsBmih.biCompression == BI_BITFIELDS) {
            ds.dsBitfields[0] = kRgb565RedMask;
            ds.dsBitfields[1] = kRgb565GreenMask;
            ds.dsBitfields[2] = kRgb565BlueMask;
        }
        std::memcpy(out, &ds, sizeof ds);
        return sizeof ds;
    }
    if (size < static_cast<int>(sizeof(BITMAP)))
        return 0;
    std::memcpy(out, &bm, sizeof bm);
    return sizeof bm;
}

void SetDisplayEscapeHandler(DisplayEscapeHandler handler)
{
    std::lock_guard<std::mutex> lock(g_escapeLock);
    EscapeHandler() = std::move(handler);
}

} // namespace platform

using namespace platform;

HDC GetDC(HWND hwnd)
{
    return MakeWindowDc(hwnd, nullptr);
}

int ReleaseDC(HWND, HDC dc)
{
    auto state = LookupDc(dc);
    if (!state || state->isMemory)
        return 0;
    return DestroyDc(dc, true) ? 1 : 0;
}

HWND WindowFromDC(HDC dc)
{
    auto state = LookupDc(dc);
    return state && !state->isMemory ? state->hwnd : nullptr;
}

HDC CreateCompatibleDC(HDC)
{
    auto dc = NewDc();
    dc->isMemory = true;
    dc->bitmap = Stock().defaultBitmap;
    AddSelection(dc->bitmap);
    dc->surface = LookupGdiObject<BitmapObject>(dc->bitmap)->surface;
    dc->area = {RECT{0, 0, dc->surface->width, dc->surface->height}};
    RecomputeClip(*dc);
    HDC h = static_cast<HDC>(RegisterGdiObject(dc));
    if (!h)
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return h;
}

BOOL DeleteDC(HDC dc)
{
    auto state = LookupDc(dc);
    if (!state || !state->isMemory) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return DestroyDc(dc, false);
}

int GetDeviceCaps(HDC dc, int index)
{
    auto state = DcOrFail(dc);
    if (!state)
        return 0;
    switch (index) {
    case TECHNOLOGY:
        return DT_RASDISPLAY;
    case HORZRES:
        return state->isMemory ? state->surface->width : kScreenWidth;
    case VERTRES:
        return state->isMemory ? state->surface->height : kScreenHeight;
    case BITSPIXEL:
        return 16;
    case PLANES:
        return 1;
    case NUMCOLORS:
        return -1; // more than 256 colours
    case RASTERCAPS:
        return RC_BITBLT | RC_BITMAP64 | RC_DI_BITMAP | RC_DIBTODEV | RC_STRETCHBLT | RC_STRETCHDIB;
    case LOGPIXELSX:
    case LOGPIXELSY:
        return 96;
    default:
        return 0;
    }
}

int ExtEscape(HDC dc, int code, int inSize, LPCSTR in, int outSize, LPSTR out)
{
    if (!DcOrFail(dc))
        return -1;
    DisplayEscapeHandler handler;
    {
        std::lock_guard<std::mutex> lock(g_escapeLock);
        handler = EscapeHandler();
    }
    if (!handler)
        return 0;
    return handler(code, in, in ? std::max(inSize, 0) : 0, out, out ? std::max(outSize, 0) : 0);
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object)
{
    auto state = DcOrFail(dc);
    auto obj = LookupGdiObject(object);
    if (!state || !obj) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    HGDIOBJ* slot = nullptr;
    switch (obj->Kind()) {
    case OBJ_REGION:
        return reinterpret_cast<HGDIOBJ>(static_cast<std::intptr_t>(SelectClipRgn(dc, static_cast<HRGN>(object))));
    case OBJ_BITMAP: {
        if (!state->isMemory)
            return nullptr;
        slot = &state->bitmap;
        state->surface = std::static_pointer_cast<BitmapObject>(obj)->surface;
        state->area = {RECT{0, 0, state->surface->width, state->surface->height}};
        RecomputeClip(*state);
        break;
    }
    case OBJ_BRUSH:
        slot = &state->brush;
        break;
    case OBJ_PEN:
        slot = &state->pen;
        break;
    case OBJ_FONT:
        slot = &state->font;
        break;
    default:
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    HGDIOBJ previous = *slot;
    if (previous == object)
        return previous;
    AddSelection(object);
    *slot = object;
    // The previous object's handle stays valid at least until the caller is
    // done with it unless it was deleted while selected.
    if (previous)
        DropSelection(previous);
    return previous;
}

BOOL DeleteObject(HGDIOBJ object)
{
    ObjectTable& t = Table();
    std::shared_ptr<GdiObject> doomed; // destroyed outside the lock
    std::lock_guard<std::mutex> lock(t.lock);
    ObjectSlot* s = SlotOf(t, object);
    if (!s || s->object->Kind() == OBJ_DC || s->object->Kind() == OBJ_MEMDC) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (s->stock)
        return TRUE;
    if (s->selectCount > 0) {
        s->deletePending = true;
        return TRUE;
    }
    doomed = s->object;
    FreeSlotLocked(t, *s);
    return TRUE;
}

HGDIOBJ GetStockObject(int index)
{
    const StockObjects& s = Stock();
    if (index >= WHITE_BRUSH && index <= NULL_BRUSH)
        return s.brushes[index];
    if (index >= WHITE_PEN && index <= NULL_PEN)
        return s.pens[index - WHITE_PEN];
    return nullptr;
}

HGDIOBJ GetCurrentObject(HDC dc, UINT type)
{
    auto state = DcOrFail(dc);
    if (!state)
        return nullptr;
    switch (type) {
    case OBJ_PEN:
        return state->pen;
    case OBJ_BRUSH:
        return state->brush;
    case OBJ_FONT:
        return state->font;
    case OBJ_BITMAP:
        return state->bitmap;
    default:
        return nullptr;
    }
}

DWORD GetObjectType(HGDIOBJ object)
{
    auto obj = LookupGdiObject(object);
    return obj ? static_cast<DWORD>(obj->Kind()) : 0;
}

int GetObjectW(HGDIOBJ object, int size, LPVOID out)
{
    auto obj = LookupGdiObject(object);
    if (!obj) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return obj->Describe(size, out);
}

HBITMAP CreateCompatibleBitmap(HDC, int width, int height)
{
    auto s = Surface::Create(width, height, 16, true);
    if (!s) {
        SetLastError(width < 1 || height < 1 ? ERROR_INVALID_PARAMETER : ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return static_cast<HBITMAP>(RegisterGdiObject(std::make_shared<BitmapObject>(std::move(s))));
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section, DWORD)
{
    if (bits)
        *bits = nullptr;
    if (!info || usage != DIB_RGB_COLORS || section) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const BITMAPINFOHEADER& h = info->bmiHeader;
    const int bpp = h.biBitCount;
    bool rgb555 = false;
    if (h.biCompression == BI_BITFIELDS) {
        DWORD masks[3];
        std::memcpy(masks, info->bmiColors, sizeof masks);
        const bool is565 = masks[0] == kRgb565RedMask && masks[1] == kRgb565GreenMask && masks[2] == kRgb565BlueMask;
        const bool is555 = masks[0] == 0x7C00 && masks[1] == 0x03E0 && masks[2] == 0x001F;
        const bool isBgr32 = masks[0] == 0xFF0000 && masks[1] == 0xFF00 && masks[2] == 0xFF;
        if (!((bpp == 16 && (is565 || is555)) || (bpp == 32 && isBgr32))) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        rgb555 = bpp == 16 && is555;
    } else if (h.biCompression == BI_RGB) {
        rgb555 = bpp == 16;
    } else {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (h.biHeight == INT32_MIN || h.biWidth < 1) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto s = Surface::Create(h.biWidth, std::abs(h.biHeight), bpp, h.biHeight < 0);
    if (!s) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    s->rgb555 = rgb555;
    void* pixels = s->bits;
    HBITMAP handle = static_cast<HBITMAP>(RegisterGdiObject(std::make_shared<BitmapObject>(std::move(s), true)));
    if (handle && bits)
        *bits = pixels;
    return handle;
}

HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits)
{
    auto s = planes == 1 ? Surface::Create(width, height, static_cast<int>(bitsPerPixel), true) : nullptr;
    if (!s) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (bits) {
        // The caller's rows are 2-byte aligned.
        const int rowBytes = (width * s->BytesPerPixel() + 1) & ~1;
        const auto* src = static_cast<const BYTE*>(bits);
        for (int y = 0; y < height; ++y)
            std::memcpy(s->Row(y), src + static_cast<std::ptrdiff_t>(y) * rowBytes, width * s->BytesPerPixel());
    }
    return static_cast<HBITMAP>(RegisterGdiObject(std::make_shared<BitmapObject>(std::move(s))));
}

HRGN CreateRectRgn(int left, int top, int right, int bottom)
{
    auto rgn = std::make_shared<RegionObject>();
    RECT r = Normalized(left, top, right, bottom);
    if (!IsEmpty(r))
        rgn->rects.push_back(r);
    return static_cast<HRGN>(RegisterGdiObject(std::move(rgn)));
}

HRGN CreateRectRgnIndirect(const RECT* rect)
{
    if (!rect) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return CreateRectRgn(rect->left, rect->top, rect->right, rect->bottom);
}

int CombineRgn(HRGN dest, HRGN a, HRGN b, int mode)
{
    auto d = LookupGdiObject<RegionObject>(dest);
    auto ra = LookupGdiObject<RegionObject>(a);
    auto rb = mode == RGN_COPY ? nullptr : LookupGdiObject<RegionObject>(b);
    if (!d || !ra || (mode != RGN_COPY && !rb)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return ERROR;
    }
    std::vector<RECT> result;
    switch (mode) {
    case RGN_COPY:
        result = ra->rects;
        break;
    case RGN_AND:
        for (const RECT& x : ra->rects)
            for (const RECT& y : rb->rects) {
                RECT i = Intersect(x, y);
                if (!IsEmpty(i))
                    result.push_back(i);
            }
        break;
    case RGN_OR:
        result = ra->rects;
        for (const RECT& r : SubtractAll(rb->rects, ra->rects))
            result.push_back(r);
        break;
    case RGN_DIFF:
        result = SubtractAll(ra->rects, rb->rects);
        break;
    case RGN_XOR:
        result = SubtractAll(ra->rects, rb->rects);
        for (const RECT& r : SubtractAll(rb->rects, ra->rects))
            result.push_back(r);
        break;
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return ERROR;
    }
    d->rects = std::move(result);
    return RegionType(d->rects);
}

int GetRgnBox(HRGN rgn, RECT* rect)
{
    auto r = LookupGdiObject<RegionObject>(rgn);
    if (!r || !rect)
        return ERROR;
    *rect = BoundingBox(r->rects);
    return RegionType(r->rects);
}

int SelectClipRgn(HDC dc, HRGN rgn)
{
    auto state = DcOrFail(dc);
    if (!state)
        return ERROR;
    if (!rgn) {
        state->hasClipRegion = false;
        state->clipRegion.clear();
    } else {
        auto r = LookupGdiObject<RegionObject>(rgn);
        if (!r) {
            SetLastError(ERROR_INVALID_HANDLE);
            return ERROR;
        }
        state->hasClipRegion = true;
        state->clipRegion = r->rects;
    }
    RecomputeClip(*state);
    return RegionType(state->clip);
}

int GetClipBox(HDC dc, RECT* rect)
{
    auto state = DcOrFail(dc);
    if (!state || !rect)
        return ERROR;
    *rect = Offset(BoundingBox(state->clip), -state->viewportOrigin.x, -state->viewportOrigin.y);
    return RegionType(state->clip);
}

int IntersectClipRect(HDC dc, int left, int top, int right, int bottom)
{
    auto state = DcOrFail(dc);
    if (!state)
        return ERROR;
    const POINT o = state->viewportOrigin;
    const RECT r = Offset(Normalized(left, top, right, bottom), o.x, o.y);
    std::vector<RECT> region;
    for (const RECT& c : state->hasClipRegion ? state->clipRegion : state->area) {
        RECT i = Intersect(c, r);
        if (!IsEmpty(i))
            region.push_back(i);
    }
    state->hasClipRegion = true;
    state->clipRegion = std::move(region);
    RecomputeClip(*state);
    return RegionType(state->clip);
}

BOOL SetViewportOrgEx(HDC dc, int x, int y, POINT* old)
{
    auto state = DcOrFail(dc);
    if (!state)
        return FALSE;
    if (old)
        *old = state->viewportOrigin;
    state->viewportOrigin = POINT{x, y};
    return TRUE;
}

BOOL GetViewportOrgEx(HDC dc, POINT* origin)
{
    auto state = DcOrFail(dc);
    if (!state || !origin)
        return FALSE;
    *origin = state->viewportOrigin;
    return TRUE;
}

BOOL OffsetViewportOrgEx(HDC dc, int dx, int dy, POINT* old)
{
    auto state = DcOrFail(dc);
    if (!state)
        return FALSE;
    if (old)
        *old = state->viewportOrigin;
    state->viewportOrigin.x += dx;
    state->viewportOrigin.y += dy;
    return TRUE;
}

#define DC_ATTRIBUTE(Setter, Getter, Type, field, failure)                                                             \
    Type Setter(HDC dc, Type value)                                                                                    \
    {                                                                                                                  \
        auto state = DcOrFail(dc);                                                                                     \
        if (!state)                                                                                                    \
            return failure;                                                                                            \
        Type old = state->field;                                                                                       \
        state->field = value;                                                                                          \
        return old;                                                                                                    \
    }                                                                                                                  \
    Type Getter(HDC dc)                                                                                                \
    {                                                                                                                  \
        auto state = DcOrFail(dc);                                                                                     \
        return state ? state->field : failure;                                                                         \
    }

DC_ATTRIBUTE(SetTextColor, GetTextColor, COLORREF, textColor, CLR_INVALID)
DC_ATTRIBUTE(SetBkColor, GetBkColor, COLORREF, bkColor, CLR_INVALID)
DC_ATTRIBUTE(SetTextAlign, GetTextAlign, UINT, textAlign, 0xFFFFFFFFu)
#undef DC_ATTRIBUTE

int SetBkMode(HDC dc, int mode)
{
    auto state = DcOrFail(dc);
    if (!state || (mode != TRANSPARENT && mode != OPAQUE))
        return 0;
    const int old = state->bkMode;
    state->bkMode = mode;
    return old;
}

int GetBkMode(HDC dc)
{
    auto state = DcOrFail(dc);
    return state ? state->bkMode : 0;
}

HBRUSH CreateSolidBrush(COLORREF color)
{
    return static_cast<HBRUSH>(RegisterGdiObject(std::make_shared<BrushObject>(color & 0xFFFFFF, false)));
}

HPEN CreatePen(int style, int width, COLORREF color)
{
    if (style != PS_SOLID && style != PS_NULL && style != PS_DASH) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    // Dashed pens draw solid here.
    return static_cast<HPEN>(RegisterGdiObject(
        std::make_shared<PenObject>(style == PS_NULL ? PS_NULL : PS_SOLID, std::max(1, width), color & 0xFFFFFF)));
}

int FillRect(HDC dc, const RECT* rect, HBRUSH brush)
{
    auto state = DcOrFail(dc);
    auto b = LookupGdiObject<BrushObject>(brush);
    if (!state || !rect || !b)
        return 0;
    if (!b->isNull) {
        const POINT o = state->viewportOrigin;
        FillDevice(*state, Offset(*rect, o.x, o.y), b->color);
    }
    return 1;
}

BOOL Rectangle(HDC dc, int left, int top, int right, int bottom)
{
    auto state = DcOrFail(dc);
    if (!state)
        return FALSE;
    const POINT o = state->viewportOrigin;
    const RECT r = Offset(Normalized(left, top, right, bottom), o.x, o.y);
    auto pen = LookupGdiObject<PenObject>(state->pen);
    auto brush = LookupGdiObject<BrushObject>(state->brush);
    const int pw = pen && pen->style != PS_NULL ? std::max(1, pen->width) : 0;
    if (brush && !brush->isNull) {
        // Without a pen the fill stops one pixel short of the right and bottom edges.
        const RECT inner = pw ? RECT{r.left + pw, r.top + pw, r.right - pw, r.bottom - pw}
                              : RECT{r.left, r.top, r.right - 1, r.bottom - 1};
        if (!IsEmpty(inner))
            FillDevice(*state, inner, brush->color);
    }
    if (pw) {
        const COLORREF c = pen->color;
        FillDevice(*state, RECT{r.left, r.top, r.right, std::min(r.bottom, r.top + pw)}, c);
        FillDevice(*state, RECT{r.left, std::max(r.top, r.bottom - pw), r.right, r.bottom}, c);
        FillDevice(*state, RECT{r.left, r.top + pw, std::min(r.right, r.left + pw), r.bottom - pw}, c);
        FillDevice(*state, RECT{std::max(r.left, r.right - pw), r.top + pw, r.right, r.bottom - pw}, c);
    }
    return TRUE;
}

BOOL PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop)
{
    auto state = DcOrFail(dc);
    if (!state)
        return FALSE;
    const POINT o = state->viewportOrigin;
    const RECT r = Offset(Normalized(x, y, x + width, y + height), o.x, o.y);
    auto brush = LookupGdiObject<BrushObject>(state->brush);
    const bool hasPattern = brush && !brush->isNull;
    switch (rop) {
    case PATCOPY:
        if (hasPattern)
            FillDevice(*state, r, brush->color);
        return TRUE;
    case BLACKNESS:
    case WHITENESS:
        FillDevice(*state, r, rop == BLACKNESS ? RGB(0, 0, 0) : RGB(255, 255, 255));
        return TRUE;
    case PATINVERT:
    case DSTINVERT: {
        if (rop == PATINVERT && !hasPattern)
            return TRUE;
        const COLORREF mask = rop == DSTINVERT ? RGB(255, 255, 255) : brush->color;
        ForEachClipRect(*state, r, [&](const RECT& s) { XorSurfaceRect(*state->surface, s, mask); });
        return TRUE;
    }
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
}

BOOL MoveToEx(HDC dc, int x, int y, POINT* old)
{
    auto state = DcOrFail(dc);
    if (!state)
        return FALSE;
    if (old)
        *old = state->penPosition;
    state->penPosition = POINT{x, y};
    return TRUE;
}

BOOL LineTo(HDC dc, int x, int y)
{
    auto state = DcOrFail(dc);
    if (!state)
        return FALSE;
    const POINT a = ToDevice(*state, state->penPosition.x, state->penPosition.y);
    const POINT b = ToDevice(*state, x, y);
    DrawLine(*state, a.x, a.y, b.x, b.y);
    state->penPosition = POINT{x, y};
    return TRUE;
}

BOOL Polyline(HDC dc, const POINT* points, int count)
{
    auto state = DcOrFail(dc);
    if (!state || !points || count < 2)
        return FALSE;
    for (int i = 1; i < count; ++i) {
        const POINT a = ToDevice(*state, points[i - 1].x, points[i - 1].y);
        const POINT b = ToDevice(*state, points[i].x, points[i].y);
        DrawLine(*state, a.x, a.y, b.x, b.y);
    }
    return TRUE;
}

COLORREF SetPixel(HDC dc, int x, int y, COLORREF color)
{
    auto state = DcOrFail(dc);
    if (!state)
        return CLR_INVALID;
    const POINT p = ToDevice(*state, x, y);
    COLORREF written = CLR_INVALID;
    ForEachClipRect(*state, RECT{p.x, p.y, p.x + 1, p.y + 1}, [&](const RECT& r) {
        WritePixel(*state->surface, r.left, r.top, color);
        written = ReadPixel(*state->surface, r.left, r.top);
    });
    return written;
}

COLORREF GetPixel(HDC dc, int x, int y)
{
    auto state = DcOrFail(dc);
    if (!state)
        return CLR_INVALID;
    const POINT p = ToDevice(*state, x, y);
    for (const RECT& c : state->clip)
        if (RectContains(c, p)) {
            const int sx = p.x + state->deviceOrigin.x, sy = p.y + state->deviceOrigin.y;
            if (sx >= 0 && sy >= 0 && sx < state->surface->width && sy < state->surface->height)
                return ReadPixel(*state->surface, sx, sy);
        }
    return CLR_INVALID;
}

int ScrollWindowEx(HWND hwnd, int dx, int dy, const RECT* scroll, const RECT* clip, HRGN updateRegion, RECT* update,
                   UINT flags)
{
    if (flags & ~SW_INVALIDATE) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return ERROR;
    }
    std::shared_ptr<RegionObject> region;
    if (updateRegion) {
        region = LookupGdiObject<RegionObject>(updateRegion);
        if (!region) {
            SetLastError(ERROR_INVALID_HANDLE);
            return ERROR;
        }
    }
    RECT client;
    POINT origin{0, 0};
    std::vector<RECT> shown;
    if (!GetClientRect(hwnd, &client) || !ClientToScreen(hwnd, &origin) || !WindowScreenArea(hwnd, &shown))
        return ERROR;
    for (RECT& r : shown)
        r = Offset(r, -origin.x, -origin.y);
    // Anything moved further than the client area is wide leaves it.
    dx = std::clamp(dx, -static_cast<int>(client.right), static_cast<int>(client.right));
    dy = std::clamp(dy, -static_cast<int>(client.bottom), static_cast<int>(client.bottom));

    // All in client coordinates: what moves, where it may land, and where it
    // lands. Only pixels of the window that show are its own, so only they
    // move, and only onto parts that show.
    const RECT source
        = scroll ? Intersect(Normalized(scroll->left, scroll->top, scroll->right, scroll->bottom), client) : client;
    const RECT limit = clip ? Intersect(Normalized(clip->left, clip->top, clip->right, clip->bottom), client) : client;
    std::vector<RECT> moved;
    for (const RECT& from : shown) {
        const RECT to = Intersect(Offset(Intersect(from, source), dx, dy), limit);
        for (const RECT& onto : shown)
            if (RECT r = Intersect(to, onto); !IsEmpty(r))
                moved.push_back(r);
    }
    std::vector<RECT> invalid;
    for (const RECT& r : SubtractAll({Intersect(source, limit)}, moved))
        for (const RECT& onto : shown)
            if (RECT i = Intersect(r, onto); !IsEmpty(i))
                invalid.push_back(i);

    if (!moved.empty()) {
        // The pieces may overlap each other's sources: copy the sources out
        // first.
        const RECT box = Offset(BoundingBox(moved), origin.x - dx, origin.y - dy);
        const int boxWidth = box.right - box.left;
        std::vector<WORD> copy(static_cast<std::size_t>(boxWidth) * (box.bottom - box.top));
        Screen& screen = Screen::Get();
        auto lock = screen.Lock();
        WORD* pixels = screen.Pixels();
        for (LONG y = box.top; y < box.bottom; ++y)
            std::memcpy(&copy[static_cast<std::size_t>(y - box.top) * boxWidth],
                        pixels + static_cast<std::size_t>(y) * kScreenWidth + box.left,
                        static_cast<std::size_t>(boxWidth) * sizeof(WORD));
        for (const RECT& m : moved) {
            const RECT to = Offset(m, origin.x, origin.y);
            for (LONG y = to.top; y < to.bottom; ++y)
                std::memcpy(pixels + static_cast<std::size_t>(y) * kScreenWidth + to.left,
                            &copy[static_cast<std::size_t>(y - dy - box.top) * boxWidth + (to.left - dx - box.left)],
                            static_cast<std::size_t>(to.right - to.left) * sizeof(WORD));
        }
        screen.Present(Offset(BoundingBox(moved), origin.x, origin.y));
    }

    const RECT bounds = BoundingBox(invalid);
    if (update)
        *update = bounds;
    if (region)
        region->rects = invalid;
    if ((flags & SW_INVALIDATE) && !invalid.empty())
        InvalidateRect(hwnd, &bounds, FALSE);
    return RegionType(invalid);
}
