#include "Lib_cpp/image/Image.h"

#include "Lib_cpp/core/Diag.h"
#include "Lib_cpp/image/Bitmap.h"
#include "platform/base/Clock.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <numbers>
#include <utility>

namespace {

bool Intersect(const RECT& a, const RECT& b, RECT& out)
{
    out = RECT{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
               std::min(a.bottom, b.bottom)};
    return out.left < out.right && out.top < out.bottom;
}

// Where a frame of fw x fh (at x = offset in its picture) lands: `to` in
// the DC and `from` in the picture. With a clip only the visible part of
// dst is drawn; at the frame's own size that is the same part of the frame,
// otherwise the frame is cut in proportion to what the clip takes off dst.
// False when nothing is visible.
bool FramePart(const RECT& dst, const RECT* clip, int fw, int fh, int offset, RECT& to, RECT& from)
{
    const int dw = dst.right - dst.left, dh = dst.bottom - dst.top;
    if (dw <= 0 || dh <= 0 || fw <= 0 || fh <= 0)
        return false;
    to = dst;
    from = RECT{offset, 0, offset + fw, fh};
    if (!clip)
        return true;
    if (!Intersect(dst, *clip, to))
        return false;
    if (fw == dw && fh == dh) {
        from = RECT{offset + to.left - dst.left, to.top - dst.top, offset + to.right - dst.left, to.bottom - dst.top};
    } else {
        from.left += IxMulDiv(to.left - dst.left, fw, dw);
        from.top += IxMulDiv(to.top - dst.top, fh, dh);
        from.right -= IxMulDiv(dst.right - to.right, fw, dw);
        from.bottom -= IxMulDiv(dst.bottom - to.bottom, fh, dh);
    }
    return from.left < from.right && from.top < from.bottom;
}

// Turns a multiple of 90 degrees into a quarter 0 ... 3; -1 for anything else.
int QuarterOf(int degrees)
{
    switch (degrees) {
    case 0:
    case 360:
    case -360:
        return 0;
    case 90:
    case -270:
        return 1;
    case 180:
    case -180:
        return 2;
    case 270:
    case -90:
        return 3;
    default:
        return -1;
    }
}

SIZE BitmapSizeOf(HBITMAP bitmap)
{
    BITMAP bm{};
    if (!bitmap || !GetObject(bitmap, sizeof bm, &bm))
        return SIZE{0, 0};
    return SIZE{bm.bmWidth, std::abs(bm.bmHeight)};
}

SIZE ImageSizeOf(IImage* image)
{
    SIZE size{0, 0};
    if (!image || !IxGetImageSize(image, &size))
        return SIZE{0, 0};
    return size;
}

bool IsScaledMode(int mode)
{
    return mode == IXLM_SCALED || mode == IXLM_SCALED_LATER;
}

bool IsDemandMode(int mode)
{
    return mode == IXLM_DEMAND || mode == IXLM_DEMAND_KEEPONE;
}

bool KeepsOneFrame(int mode)
{
    return mode == IXLM_FIRST_KEEPONE || mode == IXLM_DEMAND_KEEPONE;
}

template <class T, class... A> T* NewImage(A&&... args)
{
    T* image = new (std::nothrow) T(std::forward<A>(args)...);
    if (!image)
        IxRecordNoMemory();
    return image;
}

IxImageRef* WrapInRef(IxImage* inner, const int* table)
{
    if (!inner)
        return nullptr;
    IxImageRef* ref = NewImage<IxImageRef>(inner, table);
    if (!ref)
        inner->Release();
    return ref;
}

} // namespace

// ---------------------------------------------------------------------------
// IxImage

LONG IxImage::Release()
{
    if (m_nRefs <= 0)
        return 0;
    const LONG left = --m_nRefs;
    if (left == 0)
        Destroy();
    return left;
}

// ---------------------------------------------------------------------------
// IxColorImage

IxColorImage::IxColorImage(COLORREF color, int width, int height) : m_crColor(color), m_nWidth(width), m_nHeight(height)
{
}

BOOL IxColorImage::Draw(IxDC* dc, const RECT& dst, const RECT* clip)
{
    RECT area = dst;
    if (clip && !Intersect(dst, *clip, area))
        return TRUE;
    HBRUSH brush = CreateSolidBrush(m_crColor);
    if (brush) {
        FillRect(dc->GetDC(), &area, brush);
        DeleteObject(brush);
    }
    return TRUE;
}

INT_PTR IxColorImage::Query(int what, INT_PTR argument)
{
    if (what == IXIQ_SIZE) {
        if (auto* size = reinterpret_cast<SIZE*>(argument))
            *size = SIZE{m_nWidth, m_nHeight};
        return 0;
    }
    return what == IXIQ_CURFRAME ? -1 : 0;
}

// ---------------------------------------------------------------------------
// IxImageProxy and IxImageRef

IxImageProxy::IxImageProxy(IxImage* inner) : m_pInner(inner) {}

IxImageProxy::~IxImageProxy()
{
    if (m_pInner)
        m_pInner->Release();
}

BOOL IxImageProxy::Draw(IxDC* dc, const RECT& dst, const RECT* clip)
{
    return m_pInner ? m_pInner->Draw(dc, dst, clip) : FALSE;
}

INT_PTR IxImageProxy::Query(int what, INT_PTR argument)
{
    if (!m_pInner)
        return what == IXIQ_CURFRAME ? -1 : 0;
    return m_pInner->Query(what, argument);
}

BOOL IxImageProxy::Control(int command, INT_PTR argument)
{
    return m_pInner ? m_pInner->Control(command, argument) : FALSE;
}

IxImageRef::IxImageRef(IxImage* inner, const int* table) : IxImageProxy(inner)
{
    if (table) {
        std::memcpy(m_table, table, sizeof m_table);
        return;
    }
    const INT_PTR count = inner ? inner->Query(IXIQ_FRAMECOUNT, 0) : 0;
    for (int i = 0; i < IXI_STATE_COUNT; ++i)
        m_table[i] = i < count ? i : -1;
}

int IxImageRef::GetStateFrame(int state) const
{
    return state >= IXI_STATE_FIRST && state <= IXI_STATE_LAST ? m_table[state - IXI_STATE_FIRST] : -1;
}

INT_PTR IxImageRef::MapState(INT_PTR argument) const
{
    if (argument >= IXI_STATE_FIRST && argument <= IXI_STATE_LAST)
        return m_table[argument - IXI_STATE_FIRST];
    return argument;
}

INT_PTR IxImageRef::Query(int what, INT_PTR argument)
{
    return IxImageProxy::Query(what, what == IXIQ_HASFRAME ? MapState(argument) : argument);
}

BOOL IxImageRef::Control(int command, INT_PTR argument)
{
    return IxImageProxy::Control(command, command == IXIC_SETFRAME ? MapState(argument) : argument);
}

IxImageRef* IxImageRef::CreateLoaded(const int* table, BOOL imaging, LPCWSTR path, int count, int loadMode)
{
    IxImage* inner = imaging ? static_cast<IxImage*>(NewImage<IxDecodedImage>(path, count, loadMode))
                             : NewImage<IxBitmapImage>(path, count, loadMode);
    return WrapInRef(inner, table);
}

IxImageRef* IxImageRef::CreateFrames(const int* table, LPCWSTR path, int count, int loadMode)
{
    return WrapInRef(NewImage<IxBitmapImage>(path, count, loadMode), table);
}

IxImageRef* IxImageRef::CreateFromList(const int* table, const IxStringArray& paths, int loadMode)
{
    return WrapInRef(NewImage<IxBitmapImage>(paths, loadMode), table);
}

IxImageRef* IxImageRef::CreateListed(const int* table, BOOL imaging, const IxStringArray& paths, int loadMode)
{
    IxImage* inner = imaging ? static_cast<IxImage*>(NewImage<IxDecodedImage>(paths, loadMode, 0))
                             : NewImage<IxBitmapImage>(paths, loadMode);
    return WrapInRef(inner, table);
}

// ---------------------------------------------------------------------------
// IxFrameImage

INT_PTR IxFrameImage::Query(int what, INT_PTR argument)
{
    switch (what) {
    case IXIQ_HASFRAME: {
        const INT_PTR frame = argument == IXI_CURRENT ? m_nCurrent : argument;
        return frame >= 0 && frame < m_nFrameCount ? 1 : 0;
    }
    case IXIQ_FRAMECOUNT:
        return m_nFrameCount;
    case IXIQ_CURFRAME:
        return m_nCurrent;
    case IXIQ_SIZE:
        if (auto* size = reinterpret_cast<SIZE*>(argument))
            *size = SIZE{m_nFrameWidth, m_nFrameHeight};
        return 0;
    default:
        return 0;
    }
}

BOOL IxFrameImage::SelectFrame(int frame)
{
    if (frame < -1 || frame >= m_nFrameCount || frame == m_nCurrent)
        return FALSE;
    m_nCurrent = frame;
    UpdateSize();
    return TRUE;
}

BOOL IxFrameImage::Control(int command, INT_PTR argument)
{
    switch (command) {
    case IXIC_UNLOAD:
        Unload();
        return TRUE;
    case IXIC_SETFRAME:
        if (argument < -1 || argument >= m_nFrameCount)
            return FALSE;
        return SelectFrame(static_cast<int>(argument));
    case IXIC_NEXTFRAME:
        if (m_nFrameCount < 2)
            return FALSE;
        return SelectFrame((m_nCurrent + 1) % m_nFrameCount);
    case IXIC_ROTATE:
        return Rotate(static_cast<int>(argument));
    case IXIC_FIRSTFRAME:
        return SelectFrame(0);
    case IXIC_ALPHA:
        m_nDrawMode = IXDM_ALPHA;
        m_nDrawParam = static_cast<int>(argument & 0xFF);
        return TRUE;
    case IXIC_NODRAW:
        m_nDrawMode = IXDM_NONE;
        m_nDrawParam = static_cast<int>(argument);
        return TRUE;
    case IXIC_COLORKEY:
        m_nDrawMode = IXDM_COLORKEY;
        m_nDrawParam = static_cast<int>(argument);
        return TRUE;
    case IXIC_COPY:
        m_nDrawMode = IXDM_COPY;
        return TRUE;
    default:
        return FALSE;
    }
}

// ---------------------------------------------------------------------------
// IxPictureFrames

template <> void IxPictureFrames<HBITMAP>::ReleasePicture(HBITMAP picture)
{
    if (picture)
        IxBitmapCache::Release(picture);
}

template <> void IxPictureFrames<IImage*>::ReleasePicture(IImage* picture)
{
    if (picture)
        IxImagingCache::Release(picture);
}

template <class P>
IxPictureFrames<P>::IxPictureFrames(LPCWSTR path, int count, int loadMode) : m_nLoadMode(loadMode), m_path(path)
{
    m_nFrameCount = count > 1 ? count : 1;
    m_nCurrent = 0;
}

template <class P>
IxPictureFrames<P>::IxPictureFrames(const IxStringArray& paths, int tableSize, int loadMode) : m_nLoadMode(loadMode)
{
    m_nFrameCount = 0;
    for (int i = 0; i < paths.Count(); ++i)
        m_paths.Add(paths.At(i));
    if (tableSize < 1)
        return;
    m_pFrames = static_cast<P*>(std::calloc(static_cast<size_t>(tableSize), sizeof(P)));
    if (!m_pFrames) {
        IxRecordError(IXERR_NOMEMORY);
        return;
    }
    m_nTableSize = tableSize;
    m_nFrameCount = tableSize;
    m_nCurrent = 0;
}

template <class P> IxPictureFrames<P>::~IxPictureFrames()
{
    UnloadAll();
    std::free(m_pFrames);
}

template <class P> P IxPictureFrames<P>::PictureOf(int index) const
{
    if (index < 0 || index >= m_nFrameCount)
        return nullptr;
    if (IsList())
        return m_pFrames && index < m_nTableSize ? m_pFrames[index] : nullptr;
    return m_whole;
}

template <class P> void IxPictureFrames<P>::StoreFrame(int index, P picture)
{
    if (!m_pFrames || index < 0 || index >= m_nTableSize) {
        ReleasePicture(picture);
        return;
    }
    ReleasePicture(m_pFrames[index]);
    m_pFrames[index] = picture;
}

template <class P> void IxPictureFrames<P>::UnloadAll()
{
    ReleasePicture(m_whole);
    m_whole = nullptr;
    for (int i = 0; i < m_nTableSize; ++i) {
        ReleasePicture(m_pFrames[i]);
        m_pFrames[i] = nullptr;
    }
}

template <class P> P IxPictureFrames<P>::EnsureCurrent(const RECT& dst)
{
    if (m_nCurrent < 0)
        return nullptr;
    P picture = PictureOf(m_nCurrent);
    if (!picture) {
        LoadFrame(m_nCurrent, &dst);
        picture = PictureOf(m_nCurrent);
    }
    return picture;
}

template class IxPictureFrames<HBITMAP>;
template class IxPictureFrames<IImage*>;

// ---------------------------------------------------------------------------
// IxBitmapImage

IxBitmapImage::IxBitmapImage(LPCWSTR path, int loadMode) : IxBitmapImage(path, 1, loadMode) {}

IxBitmapImage::IxBitmapImage(LPCWSTR path, int count, int loadMode) : IxPictureFrames(path, count, loadMode)
{
    if (!IsDemandMode(loadMode))
        m_whole = LoadPath(m_path.Text());
    UpdateSize();
}

IxBitmapImage::IxBitmapImage(const IxStringArray& paths, int loadMode) : IxPictureFrames(paths, paths.Count(), loadMode)
{
    if (m_pFrames && !IsDemandMode(loadMode)) {
        const int loadNow = loadMode == IXLM_NOW ? m_nTableSize : 1;
        for (int i = 0; i < loadNow; ++i)
            StoreFrame(i, LoadPath(m_paths.TextAt(i)));
    }
    UpdateSize();
}

HBITMAP IxBitmapImage::LoadPath(LPCWSTR path) const
{
    if (!path || !*path)
        return nullptr;
    if (IsScaledMode(m_nLoadMode)) {
        const int width = m_nFrameWidth > 0 ? m_nFrameWidth * (IsStrip() ? m_nFrameCount : 1) : 0;
        return IxBitmapCache::LoadScaled(path, width, m_nFrameHeight > 0 ? m_nFrameHeight : 0);
    }
    return IxBitmapCache::Acquire(path);
}

void IxBitmapImage::UpdateSize()
{
    if ((IsScaledMode(m_nLoadMode) || IsStrip()) && m_nFrameWidth > 0 && m_nFrameHeight > 0)
        return;
    const SIZE size = BitmapSizeOf(IsList() ? PictureOf(m_nCurrent) : m_whole);
    m_nFrameWidth = IsStrip() ? size.cx / m_nFrameCount : size.cx;
    m_nFrameHeight = size.cy;
}

void IxBitmapImage::LoadFrame(int index, const RECT*)
{
    if (m_nLoadMode != IXLM_NEVER) {
        if (IsList()) {
            if (m_pFrames && index >= 0 && index < m_paths.Count() && index < m_nTableSize && !m_pFrames[index]) {
                if (KeepsOneFrame(m_nLoadMode))
                    UnloadAll();
                StoreFrame(index, LoadPath(m_paths.TextAt(index)));
            }
        } else if (!m_whole) {
            m_whole = LoadPath(m_path.Text());
        }
    }
    UpdateSize();
}

BOOL IxBitmapImage::Draw(IxDC* dc, const RECT& dst, const RECT* clip)
{
    HBITMAP picture = EnsureCurrent(dst);
    if (!picture)
        return FALSE;
    const int offset = IsStrip() ? m_nCurrent * m_nFrameWidth : 0;
    RECT to, from;
    if (!FramePart(dst, clip, m_nFrameWidth, m_nFrameHeight, offset, to, from))
        return m_nFrameWidth > 0 && m_nFrameHeight > 0;
    HDC hdc = dc->GetDC();
    const int w = to.right - to.left, h = to.bottom - to.top;
    const int sw = from.right - from.left, sh = from.bottom - from.top;
    switch (m_nDrawMode) {
    case IXDM_COPY:
        if (w == sw && h == sh)
            IxBitBlt(hdc, picture, to.left, to.top, w, h, from.left, from.top, SRCCOPY);
        else
            IxStretchBlt(hdc, picture, to.left, to.top, w, h, from.left, from.top, sw, sh, SRCCOPY);
        break;
    case IXDM_ALPHA:
        IxAlphaBlend(hdc, picture, to.left, to.top, w, h, from.left, from.top, sw, sh,
                     static_cast<BYTE>(m_nDrawParam & 0xFF));
        break;
    case IXDM_COLORKEY:
        TransparentImage(hdc, to.left, to.top, w, h, static_cast<HANDLE>(static_cast<void*>(picture)), from.left,
                         from.top, sw, sh, static_cast<COLORREF>(m_nDrawParam));
        break;
    default: // IXDM_NONE
        break;
    }
    return TRUE;
}

// ---------------------------------------------------------------------------
// IxDecodedImage

IxDecodedImage::IxDecodedImage(LPCWSTR path, int loadMode) : IxDecodedImage(path, 1, loadMode) {}

IxDecodedImage::IxDecodedImage(LPCWSTR path, int count, int loadMode) : IxPictureFrames(path, count, loadMode)
{
    if (!IsDemandMode(loadMode) && loadMode != IXLM_SCALED_LATER)
        m_whole = LoadWhole();
    UpdateSize();
}

IxDecodedImage::IxDecodedImage(const IxStringArray& paths, int loadMode, int extraMode)
    : IxPictureFrames(paths, extraMode == kQuarterFrames ? 4 * paths.Count() - 4 : paths.Count(), loadMode),
      m_nExtraMode(extraMode)
{
    if (m_pFrames && !IsDemandMode(loadMode)) {
        const int loadNow = loadMode == IXLM_NOW ? std::min(m_paths.Count(), m_nTableSize) : 1;
        for (int i = 0; i < loadNow; ++i)
            StoreFrame(i, IxImagingCache::Acquire(m_paths.TextAt(i)));
    }
    UpdateSize();
}

IxDecodedImage::IxDecodedImage(LPCWSTR path, int width, int height, int loadMode, SIZE* natural)
    : IxPictureFrames(path, 1, loadMode), m_nBoxWidth(width), m_nBoxHeight(height)
{
    m_nFrameWidth = std::abs(width);
    m_nFrameHeight = std::abs(height);
    if (loadMode == IXLM_SCALED) {
        m_whole = IxDecodeScaled(m_path.Text(), m_nFrameWidth, m_nFrameHeight);
    } else if (loadMode == IXLM_FITTED) {
        m_whole = IxDecodeFitted(m_path.Text(), width, height, natural);
        const SIZE size = ImageSizeOf(m_whole);
        m_nFrameWidth = size.cx;
        m_nFrameHeight = size.cy;
    } else {
        m_nLoadMode = IXLM_SCALED_LATER;
    }
}

IImage* IxDecodedImage::LoadWhole()
{
    LPCWSTR path = m_path.Text();
    if (!*path)
        return nullptr;
    if (IsScaledMode(m_nLoadMode) && m_nFrameWidth > 0 && m_nFrameHeight > 0)
        return IxDecodeScaled(path, m_nFrameWidth * (IsStrip() ? m_nFrameCount : 1), m_nFrameHeight);
    if (m_nLoadMode == IXLM_FITTED)
        return IxDecodeFitted(path, m_nBoxWidth, m_nBoxHeight, nullptr);
    return IxImagingCache::Acquire(path);
}

void IxDecodedImage::UpdateSize()
{
    if ((IsScaledMode(m_nLoadMode) || IsStrip()) && m_nFrameWidth > 0 && m_nFrameHeight > 0)
        return;
    // A list frame chosen before it is read keeps the size the list had, so
    // that its element still draws it (the draw reads it).
    if (IsList() && !PictureOf(m_nCurrent) && m_nFrameWidth > 0 && m_nFrameHeight > 0)
        return;
    const SIZE size = ImageSizeOf(IsList() ? PictureOf(m_nCurrent) : m_whole);
    m_nFrameWidth = IsStrip() ? size.cx / m_nFrameCount : size.cx;
    m_nFrameHeight = size.cy;
}

void IxDecodedImage::LoadFrame(int index, const RECT*)
{
    if (m_nLoadMode != IXLM_NEVER) {
        if (m_nExtraMode == kQuarterFrames) {
            LoadQuarterFrame(index);
        } else if (IsList()) {
            if (m_pFrames && index >= 0 && index < m_paths.Count() && index < m_nTableSize && !m_pFrames[index]) {
                if (KeepsOneFrame(m_nLoadMode))
                    UnloadAll();
                StoreFrame(index, IxImagingCache::Acquire(m_paths.TextAt(index)));
            }
        } else if (!m_whole) {
            m_whole = LoadWhole();
        }
    }
    UpdateSize();
}

// Frames 0 ... q come from the files; the other three quarters of the turn
// are those frames mirrored.
void IxDecodedImage::LoadQuarterFrame(int index)
{
    const int q = m_paths.Count() - 1;
    if (!m_pFrames || q < 1 || index < 0 || index >= m_nTableSize || m_pFrames[index])
        return;
    auto dropOthers = [&] {
        if (m_nLoadMode == IXLM_DEMAND_KEEPONE) {
            UnloadAll();
        } else if (m_nLoadMode == IXLM_FIRST_KEEPONE) {
            for (int i = q + 1; i < m_nTableSize; ++i)
                StoreFrame(i, nullptr);
        }
    };
    if (index <= q) {
        IImage* picture = IxImagingCache::Acquire(m_paths.TextAt(index));
        dropOthers();
        StoreFrame(index, picture);
        return;
    }
    int r = index % q;
    if (r == 0)
        r = q;
    int base;
    BOOL flipX, flipY;
    if (index <= 2 * q) {
        base = q - r, flipX = FALSE, flipY = TRUE;
    } else if (index <= 3 * q) {
        base = r, flipX = TRUE, flipY = TRUE;
    } else {
        base = q - r, flipX = TRUE, flipY = FALSE;
    }
    if (!m_pFrames[base])
        LoadQuarterFrame(base);
    if (!m_pFrames[base])
        return;
    IImage* mirrored = IxFlipImage(m_pFrames[base], flipX, flipY);
    if (!mirrored)
        return;
    dropOthers();
    StoreFrame(index, mirrored);
}

BOOL IxDecodedImage::Rotate(int degrees)
{
    if (IsList() || IsStrip())
        return FALSE;
    const int quarter = QuarterOf(degrees);
    if (quarter <= 0)
        return quarter == 0;
    if (!m_whole)
        m_whole = LoadWhole();
    if (!m_whole)
        return FALSE;
    IImage* turned = IxRotateImage(m_whole, quarter * 90);
    if (!turned)
        return FALSE;
    ReleasePicture(m_whole);
    m_whole = turned;
    const SIZE size = ImageSizeOf(m_whole);
    m_nFrameWidth = size.cx;
    m_nFrameHeight = size.cy;
    return TRUE;
}

BOOL IxDecodedImage::Draw(IxDC* dc, const RECT& dst, const RECT* clip)
{
    IImage* picture = EnsureCurrent(dst);
    if (!picture)
        return FALSE;
    const int offset = IsStrip() ? m_nCurrent * m_nFrameWidth : 0;
    RECT to, from;
    if (!FramePart(dst, clip, m_nFrameWidth, m_nFrameHeight, offset, to, from))
        return m_nFrameWidth > 0 && m_nFrameHeight > 0;
    // Scaled pictures may come out at a size other than the stored one: the
    // source rectangle is taken in the picture's own pixels.
    const SIZE size = ImageSizeOf(picture);
    const int fullWidth = m_nFrameWidth * (IsStrip() ? m_nFrameCount : 1);
    if (size.cx > 0 && size.cy > 0 && (size.cx != fullWidth || size.cy != m_nFrameHeight)) {
        from = RECT{IxMulDiv(from.left, size.cx, fullWidth), IxMulDiv(from.top, size.cy, m_nFrameHeight),
                    IxMulDiv(from.right, size.cx, fullWidth), IxMulDiv(from.bottom, size.cy, m_nFrameHeight)};
    }
    IxDrawImage(picture, dc->GetDC(), &to, &from);
    return TRUE;
}

// ---------------------------------------------------------------------------
// IxDibHolder

BOOL IxDibHolder::Create(int width, int height, int bits)
{
    Release();
    void* pixels = nullptr;
    int w = width, h = height, b = bits;
    if (!IxCreateDib(nullptr, &b, &w, &h, &hBitmap, &pixels, &hDC, &hOldBitmap)) {
        Release();
        return FALSE;
    }
    pBits = static_cast<BYTE*>(pixels);
    nWidth = w;
    nHeight = h;
    nStride = ((w * b + 31) / 32) * 4;
    return TRUE;
}

void IxDibHolder::Release()
{
    if (hDC) {
        if (hOldBitmap)
            SelectObject(hDC, hOldBitmap);
        DeleteDC(hDC);
    }
    if (hBitmap)
        DeleteObject(hBitmap);
    hDC = nullptr;
    hBitmap = nullptr;
    hOldBitmap = nullptr;
    pBits = nullptr;
    nWidth = nHeight = nStride = 0;
}

// ---------------------------------------------------------------------------
// IxRotatedImage

void IxRotatePixels(const IxDibHolder& src, IxDibHolder& dst, float theta)
{
    if (!src.pBits || !dst.pBits || src.nWidth < 1 || src.nHeight < 1)
        return;
    const float c = std::cos(-theta), s = std::sin(-theta);
    const float cdx = static_cast<float>(dst.nWidth / 2), cdy = static_cast<float>(dst.nHeight / 2);
    const float csx = static_cast<float>(src.nWidth / 2), csy = static_cast<float>(src.nHeight / 2);
    // Source position of destination pixel (0, 0); a row steps by (c, -s),
    // the row start by (s, c).
    float rowX = csx + c * (0 - cdx) + s * (0 - cdy);
    float rowY = csy - s * (0 - cdx) + c * (0 - cdy);
    for (int j = 0; j < dst.nHeight; ++j) {
        auto* out = reinterpret_cast<WORD*>(dst.pBits + static_cast<std::ptrdiff_t>(j) * dst.nStride);
        float x = rowX, y = rowY;
        for (int i = 0; i < dst.nWidth; ++i) {
            const int sx = std::abs(static_cast<int>(x)) % src.nWidth;
            const int sy = std::abs(static_cast<int>(y)) % src.nHeight;
            out[i] = reinterpret_cast<const WORD*>(src.pBits + static_cast<std::ptrdiff_t>(sy) * src.nStride)[sx];
            x += c;
            y -= s;
        }
        rowX += s;
        rowY += c;
    }
}

IxRotatedImage::IxRotatedImage(int width, int height, int steps, LPCWSTR path)
{
    m_nFrameCount = steps > 1 ? steps : 1;
    m_nCurrent = 0;
    const DWORD start = GetTickCount();
    if (HBITMAP decoded = IxDecodeToDib(path, width, height)) {
        const SIZE size = BitmapSizeOf(decoded);
        if (m_source.Create(size.cx, size.cy, m_nBits))
            IxBitBlt(m_source.hDC, decoded, 0, 0, size.cx, size.cy, 0, 0, SRCCOPY);
        DeleteObject(decoded);
    }
    IxTrace(u"TIME(%s) = %ld[ms]\n", u"\"Rotate Image creating\"", static_cast<long>(GetTickCount() - start));
    UpdateSize();
}

void IxRotatedImage::UpdateSize()
{
    const IxDibHolder& shown = m_nCurrent > 0 && !m_result.IsEmpty() ? m_result : m_source;
    m_nFrameWidth = shown.nWidth;
    m_nFrameHeight = shown.nHeight;
}

void IxRotatedImage::LoadFrame(int step, const RECT*)
{
    if (step > 0 && step < m_nFrameCount && (step != m_nHeldStep || m_result.IsEmpty()) && !m_source.IsEmpty()) {
        const float theta
            = static_cast<float>(step) * 2.0f * std::numbers::pi_v<float> / static_cast<float>(m_nFrameCount);
        int w = m_source.nWidth, h = m_source.nHeight;
        if (m_nFrameCount == 4 && step % 2 == 1)
            std::swap(w, h);
        m_nHeldStep = -1;
        if (m_result.Create(w, h, m_nBits)) {
            IxRotatePixels(m_source, m_result, theta);
            m_nHeldStep = step;
        }
    }
    UpdateSize();
}

BOOL IxRotatedImage::Rotate(int degrees)
{
    const int quarter = QuarterOf(degrees);
    if (quarter < 0)
        return FALSE;
    if (m_nFrameCount != 4) {
        // A held result was turned by a step of the old count.
        m_nFrameCount = 4;
        m_nHeldStep = -1;
        if (m_nCurrent >= m_nFrameCount)
            m_nCurrent = 0;
    }
    if (quarter == 0)
        return TRUE;
    m_nCurrent = quarter;
    LoadFrame(quarter, nullptr);
    return TRUE;
}

BOOL IxRotatedImage::Draw(IxDC* dc, const RECT& dst, const RECT* clip)
{
    if (m_nCurrent < 0)
        return FALSE;
    LoadFrame(m_nCurrent, &dst);
    const IxDibHolder& shown = m_nCurrent == 0 ? m_source : m_result;
    if (shown.IsEmpty() || (m_nCurrent > 0 && m_nHeldStep != m_nCurrent))
        return FALSE;
    RECT to, from;
    if (!FramePart(dst, clip, shown.nWidth, shown.nHeight, 0, to, from))
        return TRUE;
    const int w = to.right - to.left, h = to.bottom - to.top;
    const int sw = from.right - from.left, sh = from.bottom - from.top;
    if (w == sw && h == sh)
        BitBlt(dc->GetDC(), to.left, to.top, w, h, shown.hDC, from.left, from.top, SRCCOPY);
    else
        StretchBlt(dc->GetDC(), to.left, to.top, w, h, shown.hDC, from.left, from.top, sw, sh, SRCCOPY);
    return TRUE;
}
