#include "Lib_cpp/image/Bitmap.h"

#include "Lib_cpp/core/Diag.h"
#include "Lib_cpp/core/Utility.h"
#include "platform/base/Error.h"
#include "platform/base/Text.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr LONG kPelsPerMeter = 11811; // 300 dpi, as the unit's pictures carry
constexpr int kCacheStep = 16;

// The picture-cache lock. A static object, so that it is usable (and stays
// usable) even around IxImageCacheInit/IxImageCacheShutdown, which only
// prepare and retire it.
CRITICAL_SECTION g_csPictures;

class PictureLock {
public:
    PictureLock() { EnterCriticalSection(&g_csPictures); }
    ~PictureLock() { LeaveCriticalSection(&g_csPictures); }
    PictureLock(const PictureLock&) = delete;
    PictureLock& operator=(const PictureLock&) = delete;
};

bool g_bComByFramework = false;
IImagingFactory* g_pFactory = nullptr;

void RecordComError()
{
    IxSetLastError(IxLastError{IXERR_COM, 0});
}

// A path-keyed table of reference-counted pictures: one slot per entry
// ({count, handle}, handle null = free) and the paths at the same indices.
template <class H> class PictureTable {
public:
    struct Slot {
        LONG refs;
        H handle;
    };

    // Index of the first used entry with the path (case-insensitive); -1.
    int FindPath(LPCWSTR path) const
    {
        for (int i = 0; i < m_slots.Count(); ++i) {
            if (m_slots[i].handle && lstrcmpiW(m_paths.TextAt(i), path) == 0)
                return i;
        }
        return -1;
    }
    int FindHandle(H handle) const
    {
        for (int i = 0; handle && i < m_slots.Count(); ++i) {
            if (m_slots[i].handle == handle)
                return i;
        }
        return -1;
    }
    LONG& Refs(int i) { return m_slots[i].refs; }
    H Handle(int i) const { return m_slots[i].handle; }

    // Stores {1, path, handle} in the first free entry or a new one. 0 when
    // the table cannot grow (nothing stored).
    BOOL Insert(LPCWSTR path, H handle)
    {
        IxString text(path);
        if (text.IsEmpty())
            return FALSE;
        int i = FindHandle(H{});
        if (i < 0) {
            i = m_slots.Count();
            if (!m_slots.Reserve(i + 1) || !m_paths.SetAt(i, text) || !m_slots.AppendSlot()) {
                m_paths.SetAt(i, IxString());
                return FALSE;
            }
        } else if (!m_paths.SetAt(i, text)) {
            return FALSE;
        }
        m_slots[i] = Slot{1, handle};
        return TRUE;
    }
    void Free(int i)
    {
        m_slots[i] = Slot{0, H{}};
        m_paths.SetAt(i, IxString());
    }
    int Count() const { return m_slots.Count(); }
    void Clear()
    {
        m_slots.Free();
        m_paths.Destroy();
    }

private:
    IxArray<Slot> m_slots{kCacheStep};
    IxStringArray m_paths{kCacheStep};
};

PictureTable<HBITMAP> g_bitmaps;
PictureTable<IImage*> g_images;

BITMAPINFO MakeDibInfo(int width, int height, int bits)
{
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = static_cast<WORD>(bits);
    bi.bmiHeader.biCompression = BI_RGB;
    bi.bmiHeader.biXPelsPerMeter = kPelsPerMeter;
    bi.bmiHeader.biYPelsPerMeter = kPelsPerMeter;
    if (bits == 16) {
        // 16-bit pictures are RGB565 like the display; a plain BI_RGB
        // section of 16 bits would be read as 5-5-5.
        bi.bmiHeader.biCompression = BI_BITFIELDS;
        const DWORD masks[3] = {0xF800, 0x07E0, 0x001F};
        std::memcpy(bi.bmiColors, masks, sizeof masks);
    }
    return bi;
}

HBITMAP CreateSection(int width, int height, int bits, void** pixels)
{
    BITMAPINFO bi = MakeDibInfo(width, height, bits);
    HDC screen = GetDC(nullptr);
    HBITMAP section = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, pixels, nullptr, 0);
    ReleaseDC(nullptr, screen);
    return section;
}

BOOL BitmapSize(HBITMAP bitmap, int& width, int& height)
{
    BITMAP bm{};
    if (!bitmap || !GetObject(bitmap, sizeof bm, &bm))
        return FALSE;
    width = bm.bmWidth;
    height = bm.bmHeight < 0 ? -bm.bmHeight : bm.bmHeight;
    return TRUE;
}

// Copies rows of rowBytes bytes between buffers of different strides.
void CopyRows(BYTE* dst, int dstStride, const BYTE* src, int srcStride, int rowBytes, int rows)
{
    for (int y = 0; y < rows; ++y)
        std::memcpy(dst + static_cast<std::ptrdiff_t>(y) * dstStride, src + static_cast<std::ptrdiff_t>(y) * srcStride,
                    static_cast<size_t>(rowBytes));
}

int DibStride(int width, int bits)
{
    return ((width * bits + 31) / 32) * 4;
}

template <class I> I* QueryAs(IUnknown* object, REFIID iid)
{
    void* out = nullptr;
    if (!object || FAILED(object->QueryInterface(iid, &out)))
        return nullptr;
    return static_cast<I*>(out);
}

// A bitmap of the image at its own size, handed to the basic operations.
IImage* Transform(IImage* image, bool (*apply)(IBasicBitmapOps*, IBitmapImage**, const void*), const void* arg)
{
    IImagingFactory* factory = IxGetImagingFactory();
    if (!image || !factory)
        return nullptr;
    IBitmapImage* bitmap = nullptr;
    IImage* result = nullptr;
    if (SUCCEEDED(
            factory->CreateBitmapFromImage(image, 0, 0, PixelFormatDontCare, InterpolationHintBilinear, &bitmap))) {
        if (auto* ops = QueryAs<IBasicBitmapOps>(bitmap, IID_IBasicBitmapOps)) {
            IBitmapImage* changed = nullptr;
            if (apply(ops, &changed, arg) && changed) {
                result = QueryAs<IImage>(changed, IID_IImage);
            }
            if (changed)
                changed->Release();
            ops->Release();
        }
        bitmap->Release();
    }
    if (!result)
        RecordComError();
    return result;
}

} // namespace

// ---------------------------------------------------------------------------
// Start and end

void IxImageCacheInit()
{
    IxInitLock(&g_csPictures);
}

void IxImageCacheShutdown()
{
    PictureLock lock;
    for (int i = 0; i < g_bitmaps.Count(); ++i) {
        if (g_bitmaps.Handle(i))
            DeleteObject(g_bitmaps.Handle(i));
    }
    g_bitmaps.Clear();
    for (int i = 0; i < g_images.Count(); ++i) {
        if (g_images.Handle(i))
            g_images.Handle(i)->Release();
    }
    g_images.Clear();
    if (g_pFactory) {
        g_pFactory->Release();
        g_pFactory = nullptr;
    }
    if (g_bComByFramework) {
        CoUninitialize();
        g_bComByFramework = false;
    }
}

// ---------------------------------------------------------------------------
// Bitmaps

HBITMAP IxLoadDib(LPCWSTR path)
{
    if (!path || !*path)
        return nullptr;
    HBITMAP bitmap = SHLoadDIBitmap(path);
    if (!bitmap)
        IxRecordError(IXERR_LOADBITMAP);
    return bitmap;
}

HBITMAP IxBitmapCache::Acquire(LPCWSTR path)
{
    if (!path || !*path)
        return nullptr;
    PictureLock lock;
    int i = g_bitmaps.FindPath(path);
    if (i >= 0) {
        ++g_bitmaps.Refs(i);
        return g_bitmaps.Handle(i);
    }
    HBITMAP bitmap = IxLoadDib(path);
    if (!bitmap)
        return nullptr;
    if (!g_bitmaps.Insert(path, bitmap)) {
        DeleteObject(bitmap);
        return nullptr;
    }
    return bitmap;
}

void IxBitmapCache::Release(HBITMAP bitmap)
{
    if (!bitmap)
        return;
    {
        PictureLock lock;
        int i = g_bitmaps.FindHandle(bitmap);
        if (i >= 0) {
            if (--g_bitmaps.Refs(i) <= 0) {
                g_bitmaps.Free(i);
                DeleteObject(bitmap);
            }
            return;
        }
    }
    DeleteObject(bitmap);
}

HBITMAP IxBitmapCache::LoadScaled(LPCWSTR path, int width, int height)
{
    HBITMAP loaded = IxLoadDib(path);
    if (!loaded)
        return nullptr;
    int w = 0, h = 0;
    BitmapSize(loaded, w, h);
    HBITMAP section = nullptr;
    if (width >= 1 && height >= 1 && !(w == width && h == height))
        section = CreateSection(width, height, 24, nullptr);
    if (!section) {
        PictureLock lock;
        if (!g_bitmaps.Insert(path, loaded)) {
            DeleteObject(loaded);
            return nullptr;
        }
        return loaded;
    }
    HDC screen = GetDC(nullptr);
    HDC dst = CreateCompatibleDC(screen);
    HDC src = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
    HGDIOBJ oldDst = SelectObject(dst, section);
    HGDIOBJ oldSrc = SelectObject(src, loaded);
    StretchBlt(dst, 0, 0, width, height, src, 0, 0, w, h, SRCCOPY);
    SelectObject(src, oldSrc);
    SelectObject(dst, oldDst);
    DeleteDC(src);
    DeleteDC(dst);
    DeleteObject(loaded);
    return section;
}

int IxBitmapCache::GetRefCount(HBITMAP bitmap)
{
    PictureLock lock;
    int i = g_bitmaps.FindHandle(bitmap);
    return i >= 0 ? g_bitmaps.Refs(i) : 0;
}

// ---------------------------------------------------------------------------
// Imaging images

BOOL IxCoInitializeOnce()
{
    PictureLock lock;
    if (g_bComByFramework)
        return TRUE;
    if (FAILED(CoInitializeEx(nullptr, 0))) {
        RecordComError();
        return FALSE;
    }
    g_bComByFramework = true;
    return TRUE;
}

IImagingFactory* IxGetImagingFactory()
{
    PictureLock lock;
    if (g_pFactory)
        return g_pFactory;
    if (!IxCoInitializeOnce())
        return nullptr;
    void* factory = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IImagingFactory, &factory))
        || !factory) {
        RecordComError();
        return nullptr;
    }
    g_pFactory = static_cast<IImagingFactory*>(factory);
    return g_pFactory;
}

IImage* IxImagingCache::Acquire(LPCWSTR path)
{
    if (!path || !*path)
        return nullptr;
    PictureLock lock;
    int i = g_images.FindPath(path);
    if (i >= 0) {
        ++g_images.Refs(i);
        return g_images.Handle(i);
    }
    IImagingFactory* factory = IxGetImagingFactory();
    IImage* image = nullptr;
    if (!factory || FAILED(factory->CreateImageFromFile(path, &image)) || !image) {
        RecordComError();
        return nullptr;
    }
    if (!g_images.Insert(path, image)) {
        image->Release();
        return nullptr;
    }
    return image;
}

void IxImagingCache::Release(IImage* image)
{
    if (!image)
        return;
    {
        PictureLock lock;
        int i = g_images.FindHandle(image);
        if (i >= 0) {
            if (--g_images.Refs(i) <= 0) {
                g_images.Free(i);
                image->Release();
            }
            return;
        }
    }
    image->Release();
}

int IxImagingCache::GetRefCount(IImage* image)
{
    PictureLock lock;
    int i = g_images.FindHandle(image);
    return i >= 0 ? g_images.Refs(i) : 0;
}

BOOL IxGetImageSize(IImage* image, SIZE* size)
{
    ImageInfo info{};
    if (!image || !size || FAILED(image->GetImageInfo(&info)))
        return FALSE;
    size->cx = static_cast<LONG>(info.Width);
    size->cy = static_cast<LONG>(info.Height);
    return TRUE;
}

BOOL IxDrawImage(IImage* image, HDC dc, const RECT* dst, const RECT* src)
{
    if (!image)
        return FALSE;
    if (!src)
        return SUCCEEDED(image->Draw(dc, dst, nullptr));
    ImageInfo info{};
    SIZE physical{};
    if (FAILED(image->GetImageInfo(&info)) || FAILED(image->GetPhysicalDimension(&physical)) || info.Width == 0
        || info.Height == 0)
        return FALSE;
    const int w = static_cast<int>(info.Width), h = static_cast<int>(info.Height);
    RECT part{IxMulDiv(src->left, physical.cx, w), IxMulDiv(src->top, physical.cy, h),
              IxMulDiv(src->right, physical.cx, w), IxMulDiv(src->bottom, physical.cy, h)};
    if (std::abs((part.right - part.left) - physical.cx) < 50 && std::abs((part.bottom - part.top) - physical.cy) < 50)
        return SUCCEEDED(image->Draw(dc, dst, nullptr));
    // The platform's images address their source top-down, so the part is
    // drawn as it is, with no vertical mirroring.
    return SUCCEEDED(image->Draw(dc, dst, &part));
}

HBITMAP IxDecodeToDib(LPCWSTR path, int width, int height)
{
    if (!path || !*path)
        return nullptr;
    IImagingFactory* factory = IxGetImagingFactory();
    if (!factory)
        return nullptr;
    IImage* image = nullptr;
    if (FAILED(factory->CreateImageFromFile(path, &image)) || !image) {
        RecordComError();
        return nullptr;
    }
    if (width < 1 || height < 1) {
        ImageInfo info{};
        if (FAILED(image->GetImageInfo(&info))) {
            image->Release();
            RecordComError();
            return nullptr;
        }
        if (width < 1)
            width = static_cast<int>(info.Width);
        if (height < 1)
            height = static_cast<int>(info.Height);
    }
    if (width < 1 || height < 1) {
        image->Release();
        return nullptr;
    }
    void* pixels = nullptr;
    HBITMAP section = CreateSection(width, -height, 16, &pixels);
    if (!section) {
        image->Release();
        IxRecordError(IXERR_NOMEMORY);
        return nullptr;
    }
    IBitmapImage* bitmap = nullptr;
    BitmapData data{};
    RECT all{0, 0, width, height};
    if (FAILED(factory->CreateBitmapFromImage(image, static_cast<UINT>(width), static_cast<UINT>(height),
                                              PixelFormat16bppRGB565, InterpolationHintDefault, &bitmap))
        || FAILED(bitmap->LockBits(&all, ImageLockModeRead, PixelFormat16bppRGB565, &data))) {
        if (bitmap)
            bitmap->Release();
        image->Release();
        DeleteObject(section);
        RecordComError();
        return nullptr;
    }
    CopyRows(static_cast<BYTE*>(pixels), DibStride(width, 16), static_cast<const BYTE*>(data.Scan0), data.Stride,
             width * 2, height);
    bitmap->UnlockBits(&data);
    bitmap->Release();
    image->Release();
    return section;
}

IImage* IxDecodeScaled(LPCWSTR path, int width, int height)
{
    if (!path || !*path)
        return nullptr;
    IImagingFactory* factory = IxGetImagingFactory();
    if (!factory)
        return nullptr;
    IImage* image = nullptr;
    IImage* thumbnail = nullptr;
    if (FAILED(factory->CreateImageFromFile(path, &image)) || !image || width < 1 || height < 1
        || FAILED(image->GetThumbnail(static_cast<UINT>(width), static_cast<UINT>(height), &thumbnail))) {
        thumbnail = nullptr;
        RecordComError();
    }
    if (image)
        image->Release();
    return thumbnail;
}

namespace {

// The bitmap file loaded through GDI and turned into an Imaging image,
// fitted into the box: for files the Imaging decoders cannot open.
IImage* FitFromDib(IImagingFactory* factory, LPCWSTR path, int width, int height, SIZE* natural)
{
    HBITMAP loaded = IxLoadDib(path);
    if (!loaded)
        return nullptr;
    int w = 0, h = 0;
    BitmapSize(loaded, w, h);
    if (natural)
        *natural = SIZE{w, h};
    int bits = 24;
    int fw = width, fh = height;
    if (fw < 1 || fh < 1) {
        fw = w;
        fh = h;
    }
    HBITMAP section = nullptr;
    void* pixels = nullptr;
    HDC dc = nullptr;
    HGDIOBJ old = nullptr;
    BOOL made = IxCreateDib(loaded, &bits, &fw, &fh, &section, &pixels, &dc, &old);
    DeleteObject(loaded);
    if (!made)
        return nullptr;
    SelectObject(dc, old);
    DeleteDC(dc);

    IImage* result = nullptr;
    IBitmapImage* bitmap = nullptr;
    BitmapData data{};
    if (SUCCEEDED(factory->CreateNewBitmap(static_cast<UINT>(fw), static_cast<UINT>(fh), PixelFormat24bppRGB, &bitmap))
        && SUCCEEDED(bitmap->LockBits(nullptr, ImageLockModeWrite, PixelFormat24bppRGB, &data))) {
        CopyRows(static_cast<BYTE*>(data.Scan0), data.Stride, static_cast<const BYTE*>(pixels), DibStride(fw, 24),
                 fw * 3, fh);
        bitmap->UnlockBits(&data);
        result = QueryAs<IImage>(bitmap, IID_IImage);
    }
    if (bitmap)
        bitmap->Release();
    if (!result)
        RecordComError();
    DeleteObject(section);
    return result;
}

} // namespace

IImage* IxDecodeFitted(LPCWSTR path, int width, int height, SIZE* natural)
{
    if (!path || !*path)
        return nullptr;
    IImagingFactory* factory = IxGetImagingFactory();
    if (!factory)
        return nullptr;
    // The box is fitted by its magnitude; the sign of the width only says
    // whether small pictures are returned as they are.
    const int boxWidth = std::abs(width), boxHeight = std::abs(height);
    IImage* image = nullptr;
    ImageInfo info{};
    if (FAILED(factory->CreateImageFromFile(path, &image)) || !image || FAILED(image->GetImageInfo(&info))) {
        if (image)
            image->Release();
        return FitFromDib(factory, path, boxWidth, boxHeight, natural);
    }
    const int w = static_cast<int>(info.Width), h = static_cast<int>(info.Height);
    if (natural)
        *natural = SIZE{w, h};
    if (width < 0 && w <= boxWidth / 2 && h <= boxHeight / 2)
        return image;
    int fw = boxWidth, fh = boxHeight;
    IxFitAspect(w, h, fw, fh);
    if (fw < 1 || fh < 1)
        return image;
    IBitmapImage* bitmap = nullptr;
    IImage* scaled = nullptr;
    if (SUCCEEDED(factory->CreateBitmapFromImage(image, static_cast<UINT>(fw), static_cast<UINT>(fh), info.PixelFormat,
                                                 InterpolationHintDefault, &bitmap)))
        scaled = QueryAs<IImage>(bitmap, IID_IImage);
    if (bitmap)
        bitmap->Release();
    if (!scaled) {
        RecordComError();
        return image;
    }
    image->Release();
    return scaled;
}

IImage* IxFlipImage(IImage* image, BOOL flipX, BOOL flipY)
{
    const BOOL flags[2] = {flipX, flipY};
    return Transform(
        image,
        [](IBasicBitmapOps* ops, IBitmapImage** out, const void* arg) {
            auto* f = static_cast<const BOOL*>(arg);
            return SUCCEEDED(ops->Flip(f[0], f[1], out));
        },
        flags);
}

IImage* IxRotateImage(IImage* image, int degrees)
{
    const float angle = static_cast<float>(degrees);
    return Transform(
        image,
        [](IBasicBitmapOps* ops, IBitmapImage** out, const void* arg) {
            return SUCCEEDED(ops->Rotate(*static_cast<const float*>(arg), InterpolationHintDefault, out));
        },
        &angle);
}

// ---------------------------------------------------------------------------
// DIB sections

BOOL IxCreateDib(HBITMAP source, int* bits, int* width, int* height, HBITMAP* section, void** pixels, HDC* memDC,
                 HGDIOBJ* oldBitmap)
{
    if (section)
        *section = nullptr;
    if (!bits || !width || !height)
        return FALSE;
    const bool bottomUp = *height < 0;
    int w = *width, h = bottomUp ? -*height : *height;
    int sw = 0, sh = 0;
    if (source) {
        BITMAP bm{};
        if (!GetObject(source, sizeof bm, &bm))
            return FALSE;
        sw = bm.bmWidth;
        sh = bm.bmHeight < 0 ? -bm.bmHeight : bm.bmHeight;
        if (*bits < 1)
            *bits = bm.bmBitsPixel;
        if (w > 0)
            IxFitAspect(sw, sh, w, h);
    }
    w = std::abs(w);
    *width = w;
    *height = h;
    if (w < 1 || h < 1 || *bits < 1)
        return FALSE;

    void* data = nullptr;
    HBITMAP dib = CreateSection(w, bottomUp ? h : -h, *bits, &data);
    if (!dib) {
        IxRecordError(IXERR_NOMEMORY);
        return FALSE;
    }
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(dc, dib);
    if (source) {
        HDC src = CreateCompatibleDC(screen);
        HGDIOBJ oldSrc = SelectObject(src, source);
        if (sw == w && sh == h)
            BitBlt(dc, 0, 0, w, h, src, 0, 0, SRCCOPY);
        else
            StretchBlt(dc, 0, 0, w, h, src, 0, 0, sw, sh, SRCCOPY);
        SelectObject(src, oldSrc);
        DeleteDC(src);
    }
    ReleaseDC(nullptr, screen);
    if (memDC) {
        *memDC = dc;
        if (oldBitmap)
            *oldBitmap = old;
    } else {
        SelectObject(dc, old);
        DeleteDC(dc);
    }
    if (section)
        *section = dib;
    if (pixels)
        *pixels = data;
    return TRUE;
}

// ---------------------------------------------------------------------------
// Preloader

IxImagePreloader::IxImagePreloader()
{
    IxInitLock(&m_cs);
}

IxImagePreloader::~IxImagePreloader()
{
    EndThread();
    DeleteCriticalSection(&m_cs);
}

BOOL IxImagePreloader::SetQueue(Queue& queue, const IxStringArray& paths, int priority)
{
    BOOL copied = TRUE;
    EnterCriticalSection(&m_cs);
    queue.paths.Destroy();
    queue.next = 0;
    for (int i = 0; copied && i < paths.Count(); ++i)
        copied = queue.paths.Add(paths.At(i));
    if (!copied)
        queue.paths.Destroy();
    LeaveCriticalSection(&m_cs);
    if (!copied)
        return FALSE;
    if (priority != 0 && HasPending())
        return Start(priority);
    return TRUE;
}

BOOL IxImagePreloader::SetBitmapQueue(const IxStringArray& paths, int priority)
{
    return SetQueue(m_bitmaps, paths, priority);
}

BOOL IxImagePreloader::SetImagingQueue(const IxStringArray& paths, int priority)
{
    return SetQueue(m_images, paths, priority);
}

BOOL IxImagePreloader::HasPending()
{
    EnterCriticalSection(&m_cs);
    BOOL pending = m_bitmaps.paths.Count() > 0 || m_images.paths.Count() > 0;
    LeaveCriticalSection(&m_cs);
    return pending;
}

BOOL IxImagePreloader::StartIfPending(int priority)
{
    return HasPending() ? Start(priority) : TRUE;
}

BOOL IxImagePreloader::Take(Queue& queue, IxString& path)
{
    EnterCriticalSection(&m_cs);
    BOOL taken = FALSE;
    // The index moves under the lock, past empty entries, so that a path is
    // taken once even while the queue is being replaced.
    while (queue.next < queue.paths.Count()) {
        IxString next = queue.paths.At(queue.next++);
        if (!next.IsEmpty()) {
            queue.last = next;
            path = next;
            taken = TRUE;
            break;
        }
    }
    if (!taken) {
        queue.paths.Destroy();
        queue.next = 0;
    }
    LeaveCriticalSection(&m_cs);
    return taken;
}

int IxImagePreloader::Execute()
{
    IxString path;
    // The references taken here are kept: preloaded pictures stay cached.
    if (Take(m_bitmaps, path)) {
        IxBitmapCache::Acquire(path.Text());
        return 1;
    }
    if (Take(m_images, path)) {
        IxImagingCache::Acquire(path.Text());
        return 1;
    }
    return 0;
}

IxString IxImagePreloader::GetLastBitmapPath()
{
    EnterCriticalSection(&m_cs);
    IxString last = m_bitmaps.last;
    LeaveCriticalSection(&m_cs);
    return last;
}

IxString IxImagePreloader::GetLastImagingPath()
{
    EnterCriticalSection(&m_cs);
    IxString last = m_images.last;
    LeaveCriticalSection(&m_cs);
    return last;
}
