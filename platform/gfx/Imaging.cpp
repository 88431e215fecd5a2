// Pixel operations on pictures, the Imaging objects and the DIB loaders.
#include "platform/gfx/Imaging.h"

#include "platform/base/Error.h"
#include "platform/gfx/GdiInternal.h"
#include "platform/gfx/PixelRowsInternal.h"

#include <atomic>
#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>

namespace platform {

// ---------------------------------------------------------------- pixels

namespace {

unsigned Channel(std::uint32_t p, int shift)
{
    return (p >> shift) & 0xFF;
}

// Where output pixel i of a bilinear growth from inLen to outLen lies: the
// source pixel k and the weight f (of 65536) of pixel k + 1.
void BilinearAt(int i, int inLen, int outLen, int& k, unsigned& f)
{
    std::int64_t pos = ((2 * static_cast<std::int64_t>(i) + 1) * inLen * 65536) / (2 * outLen) - 32768;
    if (pos < 0)
        pos = 0;
    k = static_cast<int>(pos >> 16);
    f = static_cast<unsigned>(pos & 0xFFFF);
    if (k >= inLen - 1) {
        k = inLen - 1;
        f = 0;
    }
}

// The bilinear mix of two pixels, weight f (of 65536) on b.
std::uint32_t Mix(std::uint32_t a, std::uint32_t b, unsigned f)
{
    std::uint32_t result = 0;
    for (int c = 0; c < 4; ++c)
        result |= ((Channel(a, c * 8) * (65536 - f) + Channel(b, c * 8) * f + 32768) >> 16) << (c * 8);
    return result;
}

// Resamples one line of `inLen` pixels to `outLen` that grows (bilinear
// between the two nearest source centres, 16.16 fixed point) or is not
// smooth (nearest).
void ResampleLine(const std::uint32_t* in, int inLen, std::uint32_t* out, int outLen, bool smooth)
{
    for (int i = 0; i < outLen; ++i) {
        if (!smooth) {
            out[i] = in[static_cast<std::int64_t>(2 * i + 1) * inLen / (2 * outLen)];
            continue;
        }
        int k;
        unsigned f;
        BilinearAt(i, inLen, outLen, k, f);
        out[i] = Mix(in[k], in[std::min(k + 1, inLen - 1)], f);
    }
}

// The source pixels (or rows) [from, to) that output pixel i of an area
// average covers.
AreaSpan Span(int i, int inLen, int outLen)
{
    const int from = static_cast<int>(static_cast<std::int64_t>(i) * inLen / outLen);
    const int to = static_cast<int>(static_cast<std::int64_t>(i + 1) * inLen / outLen);
    return AreaSpan{from, std::max(to - from, 1)};
}

// A scale is a horizontal pass over each source row, then a vertical pass
// over the resampled rows. This gives the vertical pass source row k
// resampled to the output width, making it when first asked for: rows are
// asked for in order, and the bilinear mix needs two at once, so the last
// two are kept. Nothing picture-sized is allocated besides the result.
class ResampledRows {
public:
    ResampledRows(const Picture& source, int width, bool smooth) : source_(source), width_(width), smooth_(smooth)
    {
        if (source.width == width)
            return;
        rows_.resize(static_cast<size_t>(width) * 2);
        if (smooth && width < source.width) {
            spans_.resize(static_cast<size_t>(width));
            for (int i = 0; i < width; ++i)
                spans_[static_cast<size_t>(i)] = Span(i, source.width, width);
        }
    }

    const std::uint32_t* Get(int k)
    {
        if (source_.width == width_)
            return source_.Row(k);
        for (int slot = 0; slot < 2; ++slot)
            if (index_[slot] == k)
                return Slot(slot);
        // The older row goes: its index is the smaller one.
        const int slot = index_[0] < index_[1] ? 0 : 1;
        if (!spans_.empty())
            AverageSpansRow(Slot(slot), source_.Row(k), spans_.data(), width_);
        else
            ResampleLine(source_.Row(k), source_.width, Slot(slot), width_, smooth_);
        index_[slot] = k;
        return Slot(slot);
    }

private:
    std::uint32_t* Slot(int slot) { return rows_.data() + static_cast<size_t>(slot) * width_; }

    const Picture& source_;
    int width_;
    bool smooth_;
    std::vector<AreaSpan> spans_;
    std::vector<std::uint32_t> rows_;
    int index_[2] = {-1, -1};
};

// The vertical pass, row by row: each output row is the area average
// (shrinking) or the bilinear mix (growing, or nearest when not smooth) of
// whole resampled rows.
void ResampleRows(ResampledRows& rows, int width, int inRows, Picture& out, bool smooth)
{
    const int outRows = out.height;
    std::vector<std::uint32_t> sums;
    if (smooth && outRows < inRows)
        sums.resize((static_cast<size_t>(width) + 3) / 4 * 16);
    for (int i = 0; i < outRows; ++i) {
        std::uint32_t* dst = out.Row(i);
        if (!smooth) {
            const int k = static_cast<int>((static_cast<std::int64_t>(2 * i + 1) * inRows) / (2 * outRows));
            std::copy_n(rows.Get(k), width, dst);
        } else if (outRows <= inRows) {
            const AreaSpan span = Span(i, inRows, outRows);
            if (span.count == 1) {
                std::copy_n(rows.Get(span.from), width, dst);
                continue;
            }
            if (span.count == 2) {
                const std::uint32_t* first = rows.Get(span.from);
                MeanOfRows(dst, first, rows.Get(span.from + 1), width);
                continue;
            }
            for (int k = 0; k < span.count; ++k)
                SumRow(sums.data(), rows.Get(span.from + k), width, k == 0);
            AverageSumsRow(dst, sums.data(), width, span.count);
        } else {
            int k;
            unsigned f;
            BilinearAt(i, inRows, outRows, k, f);
            const std::uint32_t* a = rows.Get(k);
            const std::uint32_t* b = rows.Get(std::min(k + 1, inRows - 1));
            for (int x = 0; x < width; ++x)
                dst[x] = Mix(a[x], b[x], f);
        }
    }
}

// out = source, with nothing to do when they are the same picture.
bool CopyPicture(const Picture& source, Picture& out)
{
    if (&out == &source)
        return true;
    try {
        out = source;
    } catch (const std::bad_alloc&) {
        out = {};
        return false;
    }
    return true;
}

} // namespace

bool ScalePicture(const Picture& source, int width, int height, Picture& out, bool smooth)
{
    if (source.width <= 0 || source.height <= 0) {
        out = {};
        return false;
    }
    if (width == source.width && height == source.height)
        return CopyPicture(source, out);
    Picture result;
    try {
        if (!result.AllocateUnset(width, height)) {
            out = {};
            return false;
        }
        result.hasAlpha = source.hasAlpha;
        ResampledRows rows(source, width, smooth);
        ResampleRows(rows, width, source.height, result, smooth);
    } catch (const std::bad_alloc&) {
        out = {};
        return false;
    }
    out = std::move(result);
    return true;
}

bool FlipPicture(const Picture& source, bool horizontal, bool vertical, Picture& out)
{
    if (!horizontal && !vertical)
        return CopyPicture(source, out);
    Picture result;
    if (!result.AllocateUnset(source.width, source.height)) {
        out = {};
        return false;
    }
    result.hasAlpha = source.hasAlpha;
    for (int y = 0; y < source.height; ++y)
        for (int x = 0; x < source.width; ++x)
            result.At(x, y) = source.At(horizontal ? source.width - 1 - x : x, vertical ? source.height - 1 - y : y);
    out = std::move(result);
    return true;
}

bool RotatePicture(const Picture& source, int degrees, Picture& out)
{
    degrees %= 360;
    if (degrees < 0)
        degrees += 360;
    if (degrees % 90 != 0) {
        out = {};
        return false;
    }
    if (degrees == 0)
        return CopyPicture(source, out);
    const bool swap = degrees == 90 || degrees == 270;
    Picture result;
    if (!result.AllocateUnset(swap ? source.height : source.width, swap ? source.width : source.height)) {
        out = {};
        return false;
    }
    result.hasAlpha = source.hasAlpha;
    const int w = source.width, h = source.height;
    for (int y = 0; y < result.height; ++y) {
        for (int x = 0; x < result.width; ++x) {
            std::uint32_t p;
            switch (degrees) {
            case 90:
                p = source.At(y, h - 1 - x);
                break;
            case 180:
                p = source.At(w - 1 - x, h - 1 - y);
                break;
            case 270:
                p = source.At(w - 1 - y, x);
                break;
            default:
                p = source.At(x, y);
                break;
            }
            result.At(x, y) = p;
        }
    }
    out = std::move(result);
    return true;
}

void FitInto(int width, int height, int boxWidth, int boxHeight, int& outWidth, int& outHeight)
{
    outWidth = width;
    outHeight = height;
    if (width <= 0 || height <= 0 || boxWidth <= 0 || boxHeight <= 0 || (width <= boxWidth && height <= boxHeight))
        return;
    const std::int64_t w = width, h = height;
    if (w * boxHeight > h * boxWidth) {
        outWidth = boxWidth;
        outHeight = static_cast<int>((h * boxWidth + w / 2) / w);
    } else {
        outHeight = boxHeight;
        outWidth = static_cast<int>((w * boxHeight + h / 2) / h);
    }
    outWidth = std::max(outWidth, 1);
    outHeight = std::max(outHeight, 1);
}

DWORD ErrorFromPictureStatus(PictureStatus status)
{
    switch (status) {
    case PictureStatus::Ok:
        return ERROR_SUCCESS;
    case PictureStatus::NotFound:
        return ERROR_FILE_NOT_FOUND;
    case PictureStatus::Unsupported:
        return ERROR_BAD_FORMAT;
    case PictureStatus::NoMemory:
    case PictureStatus::TooLarge:
        return ERROR_NOT_ENOUGH_MEMORY;
    default:
        return ERROR_INVALID_DATA;
    }
}

// ---------------------------------------------------------------- objects

namespace {

bool KnownFormat(PixelFormatID f)
{
    return f == PixelFormat16bppRGB565 || f == PixelFormat24bppRGB || f == PixelFormat32bppRGB
        || f == PixelFormat32bppARGB;
}

// Keeps the pixels to what the format can hold, so that reading them back
// through LockBits gives what was stored.
void Quantise(Picture& p, PixelFormatID format)
{
    if (format == PixelFormat32bppARGB)
        return;
    for (std::uint32_t& px : p.pixels)
        px = format == PixelFormat16bppRGB565 ? Rgb565ToArgb(ArgbTo565(px)) : (px | 0xFF000000u);
    p.hasAlpha = false;
}

// The RGB565 form of a picture's pixels, row after row (alpha dropped);
// empty when memory runs out.
void To565(const Picture& p, std::vector<WORD>& out)
{
    try {
        out.resize(p.pixels.size());
    } catch (const std::bad_alloc&) {
        out.clear();
        return;
    }
    ArgbRowTo565(out.data(), p.pixels.data(), static_cast<int>(p.pixels.size()));
}

int BytesPerPixel(PixelFormatID format)
{
    return format == PixelFormat16bppRGB565 ? 2 : format == PixelFormat24bppRGB ? 3 : 4;
}

int Physical(int pixels)
{
    return static_cast<int>((static_cast<std::int64_t>(pixels) * 2540 + 48) / 96);
}

class PictureObject final : public IImage, public IBitmapImage, public IBasicBitmapOps {
public:
    // A file image: bytes whose header was read into info.
    PictureObject(std::vector<BYTE> bytes, const PictureInfo& info)
        : encoded_(std::move(bytes)), info_(info), format_(info.hasAlpha ? PixelFormat32bppARGB : PixelFormat24bppRGB),
          fromFile_(true)
    {
    }
    // A bitmap.
    PictureObject(Picture picture, PixelFormatID format) : format_(format), fromFile_(false)
    {
        Quantise(picture, format);
        info_.width = picture.width;
        info_.height = picture.height;
        info_.hasAlpha = picture.hasAlpha;
        picture_ = std::move(picture);
        decoded_ = true;
    }

    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IImage)
            *out = static_cast<IImage*>(this);
        else if (iid == IID_IBitmapImage)
            *out = static_cast<IBitmapImage*>(this);
        else if (iid == IID_IBasicBitmapOps)
            *out = static_cast<IBasicBitmapOps*>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return ++references_; }
    ULONG Release() override
    {
        const ULONG left = --references_;
        if (left == 0)
            delete this;
        return left;
    }

    // IImage
    HRESULT GetPhysicalDimension(SIZE* size) override
    {
        if (!size)
            return E_POINTER;
        *size = SIZE{Physical(info_.width), Physical(info_.height)};
        return S_OK;
    }
    HRESULT GetImageInfo(ImageInfo* out) override
    {
        if (!out)
            return E_POINTER;
        ImageInfo i{};
        switch (fromFile_ ? info_.format : PictureFormat::Unknown) {
        case PictureFormat::Bmp:
            i.RawDataFormat = ImageFormatBMP;
            break;
        case PictureFormat::Jpeg:
            i.RawDataFormat = ImageFormatJPEG;
            break;
        case PictureFormat::Png:
            i.RawDataFormat = ImageFormatPNG;
            break;
        case PictureFormat::Gif:
            i.RawDataFormat = ImageFormatGIF;
            break;
        default:
            i.RawDataFormat = ImageFormatMemoryBMP;
            break;
        }
        i.PixelFormat = format_;
        i.Width = static_cast<UINT>(info_.width);
        i.Height = static_cast<UINT>(info_.height);
        i.TileWidth = i.Width;
        i.TileHeight = 1;
        i.Xdpi = i.Ydpi = 96.0;
        i.Flags = ImageFlagsColorSpaceRGB | (fromFile_ ? ImageFlagsReadOnly : 0)
            | (format_ == PixelFormat32bppARGB && info_.hasAlpha ? ImageFlagsHasAlpha | ImageFlagsHasTranslucent : 0);
        *out = i;
        return S_OK;
    }
    HRESULT Draw(HDC dc, const RECT* dst, const RECT* src) override;
    HRESULT GetThumbnail(UINT width, UINT height, IImage** out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        int w = static_cast<int>(width), h = static_cast<int>(height);
        if (width == 0 && height == 0)
            FitInto(info_.width, info_.height, 120, 120, w, h);
        if (w <= 0 || h <= 0 || w > kMaxPictureSide || h > kMaxPictureSide)
            return E_INVALIDARG;
        Picture picture;
        HRESULT hr = ScaledPixels(w, h, true, picture);
        if (FAILED(hr))
            return hr;
        *out = static_cast<IImage*>(new (std::nothrow) PictureObject(std::move(picture), format_));
        return *out ? S_OK : E_OUTOFMEMORY;
    }

    // IBitmapImage
    HRESULT GetSize(SIZE* size) override
    {
        if (!size)
            return E_POINTER;
        *size = SIZE{info_.width, info_.height};
        return S_OK;
    }
    HRESULT GetPixelFormatID(PixelFormatID* format) override
    {
        if (!format)
            return E_POINTER;
        *format = format_;
        return S_OK;
    }
    HRESULT LockBits(const RECT* rect, UINT flags, PixelFormatID format, BitmapData* data) override;
    HRESULT UnlockBits(const BitmapData* data) override;

    // IBasicBitmapOps
    HRESULT Clone(const RECT* rect, IBitmapImage** out, BOOL) override
    {
        return Derive(out, [&](const Picture& p, Picture& result) {
            const RECT r = rect ? *rect : RECT{0, 0, p.width, p.height};
            if (r.left < 0 || r.top < 0 || r.right > p.width || r.bottom > p.height || IsEmpty(r)
                || !result.AllocateUnset(r.right - r.left, r.bottom - r.top))
                return false;
            result.hasAlpha = p.hasAlpha;
            for (int y = 0; y < result.height; ++y)
                for (int x = 0; x < result.width; ++x)
                    result.At(x, y) = p.At(r.left + x, r.top + y);
            return true;
        });
    }
    HRESULT Rotate(float angle, InterpolationHint, IBitmapImage** out) override
    {
        const float turns = angle / 90.0f;
        if (!std::isfinite(angle) || std::fabs(turns - std::round(turns)) > 1e-4f || std::fabs(angle) > 3600.0f) {
            if (out)
                *out = nullptr;
            return E_INVALIDARG;
        }
        const int degrees = static_cast<int>(std::lround(turns)) * 90;
        return Derive(out, [&](const Picture& p, Picture& result) { return RotatePicture(p, degrees, result); });
    }
    HRESULT Flip(BOOL flipX, BOOL flipY, IBitmapImage** out) override
    {
        return Derive(out, [&](const Picture& p, Picture& result) { return FlipPicture(p, flipX, flipY, result); });
    }
    HRESULT Resize(UINT width, UINT height, PixelFormatID format, InterpolationHint hint, IBitmapImage** out) override
    {
        if (format != PixelFormatDontCare && !KnownFormat(format)) {
            if (out)
                *out = nullptr;
            return E_INVALIDARG;
        }
        return Derive(
            out,
            [&](const Picture& p, Picture& result) {
                return ScalePicture(p, static_cast<int>(width), static_cast<int>(height), result,
                                    hint != InterpolationHintNearestNeighbor);
            },
            format);
    }

    // The decoded pixels, at least minWidth x minHeight where a scaled
    // decode is possible. A full decode is kept for later calls.
    HRESULT Pixels(Picture* out, int minWidth = 0, int minHeight = 0)
    {
        PictureStatus status = Decode(out, minWidth, minHeight);
        if (status == PictureStatus::Ok)
            return S_OK;
        return status == PictureStatus::NoMemory || status == PictureStatus::TooLarge ? E_OUTOFMEMORY : E_FAIL;
    }
    // The pixels scaled to exactly width x height: from the kept decode when
    // there is one (not copied first), else from a decode of at least that
    // size.
    HRESULT ScaledPixels(int width, int height, bool smooth, Picture& out)
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (decoded_)
                return ScalePicture(picture_, width, height, out, smooth) ? S_OK : E_OUTOFMEMORY;
        }
        HRESULT hr = Pixels(&out, width, height);
        if (FAILED(hr))
            return hr;
        return ScalePicture(out, width, height, out, smooth) ? S_OK : E_OUTOFMEMORY;
    }
    // With out null the full decode is only made and kept.
    PictureStatus Decode(Picture* out, int minWidth, int minHeight)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (decoded_) {
            if (!out)
                return PictureStatus::Ok;
            try {
                *out = picture_;
            } catch (const std::bad_alloc&) {
                return PictureStatus::NoMemory;
            }
            return PictureStatus::Ok;
        }
        DecodeOptions options;
        options.minWidth = minWidth;
        options.minHeight = minHeight;
        PictureInfo info;
        const bool scaled
            = out && minWidth > 0 && minHeight > 0 && (minWidth < info_.width || minHeight < info_.height);
        Picture decoded;
        PictureStatus status = DecodePicture(encoded_.data(), encoded_.size(), options, info, decoded);
        if (status != PictureStatus::Ok)
            return status;
        if (scaled) {
            *out = std::move(decoded);
            return status;
        }
        picture_ = std::move(decoded);
        decoded_ = true;
        if (out) {
            try {
                *out = picture_;
            } catch (const std::bad_alloc&) {
                return PictureStatus::NoMemory;
            }
        }
        return status;
    }
    PixelFormatID Format() const { return format_; }
    const PictureInfo& Info() const { return info_; }

private:
    ~PictureObject() = default;

    // A new bitmap made from this one's pixels by op.
    template <class Op> HRESULT Derive(IBitmapImage** out, Op op, PixelFormatID format = PixelFormatDontCare)
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        Picture source, result;
        HRESULT hr = Pixels(&source);
        if (FAILED(hr))
            return hr;
        if (!op(source, result))
            return E_INVALIDARG;
        *out = new (std::nothrow) PictureObject(std::move(result), format ? format : format_);
        return *out ? S_OK : E_OUTOFMEMORY;
    }

    std::atomic<ULONG> references_{1};
    std::mutex mutex_;
    std::vector<BYTE> encoded_;
    PictureInfo info_;
    PixelFormatID format_;
    bool fromFile_;
    bool decoded_ = false;
    Picture picture_;
    // The RGB565 form of an opaque picture_, made on its first draw into an
    // RGB565 surface: screens repaint the same pictures every frame, and a
    // row copy is far cheaper than converting every pixel again.
    std::vector<WORD> picture565_;
    // The pixels of the last draw that needed a cut or a scale, ready to
    // copy out again: screens repaint the same pictures at the same size.
    struct Shown {
        Picture picture;
        std::vector<WORD> rgb565; // the opaque picture's RGB565 form
    };
    std::shared_ptr<const Shown> drawn_;
    RECT drawnPart_{};
    SIZE drawnSize_{};
    // Counts the writes through UnlockBits: a draw that decoded before one
    // does not keep its (old) pixels.
    unsigned pixelsGeneration_ = 0;
    // The one lock LockBits hands out.
    bool locked_ = false;
    RECT lockRect_{};
    UINT lockFlags_ = 0;
    PixelFormatID lockFormat_ = 0;
    std::vector<BYTE> lockBuffer_;
};

HRESULT PictureObject::LockBits(const RECT* rect, UINT flags, PixelFormatID format, BitmapData* data)
{
    if (!data)
        return E_POINTER;
    if (format == PixelFormatDontCare)
        format = format_;
    if (!KnownFormat(format) || (flags & (ImageLockModeRead | ImageLockModeWrite)) == 0)
        return E_INVALIDARG;
    HRESULT hr = Pixels(nullptr);
    if (FAILED(hr))
        return hr;
    std::lock_guard<std::mutex> lock(mutex_);
    const RECT r = rect ? *rect : RECT{0, 0, picture_.width, picture_.height};
    if (r.left < 0 || r.top < 0 || r.right > picture_.width || r.bottom > picture_.height || IsEmpty(r))
        return E_INVALIDARG;
    if (locked_)
        return E_FAIL;
    const int w = r.right - r.left, h = r.bottom - r.top, bpp = BytesPerPixel(format);
    const int stride = (w * bpp + 3) & ~3;
    try {
        lockBuffer_.assign(static_cast<size_t>(stride) * h, 0);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    for (int y = 0; y < h; ++y) {
        BYTE* row = lockBuffer_.data() + static_cast<size_t>(stride) * y;
        for (int x = 0; x < w; ++x) {
            const std::uint32_t p = picture_.At(r.left + x, r.top + y);
            BYTE* q = row + x * bpp;
            if (bpp == 2) {
                const WORD c = ArgbTo565(p);
                std::memcpy(q, &c, 2);
            } else {
                q[0] = static_cast<BYTE>(p);
                q[1] = static_cast<BYTE>(p >> 8);
                q[2] = static_cast<BYTE>(p >> 16);
                if (bpp == 4)
                    q[3] = format == PixelFormat32bppARGB ? static_cast<BYTE>(p >> 24) : 0xFF;
            }
        }
    }
    locked_ = true;
    lockRect_ = r;
    lockFlags_ = flags;
    lockFormat_ = format;
    *data = BitmapData{static_cast<UINT>(w), static_cast<UINT>(h), stride, format, lockBuffer_.data(), 0};
    return S_OK;
}

HRESULT PictureObject::UnlockBits(const BitmapData* data)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!data || !locked_ || data->Scan0 != lockBuffer_.data())
        return E_INVALIDARG;
    if (lockFlags_ & ImageLockModeWrite) {
        const int w = lockRect_.right - lockRect_.left, h = lockRect_.bottom - lockRect_.top;
        const int bpp = BytesPerPixel(lockFormat_), stride = (w * bpp + 3) & ~3;
        for (int y = 0; y < h; ++y) {
            const BYTE* row = lockBuffer_.data() + static_cast<size_t>(stride) * y;
            for (int x = 0; x < w; ++x) {
                const BYTE* q = row + x * bpp;
                std::uint32_t p;
                if (bpp == 2) {
                    WORD c;
                    std::memcpy(&c, q, 2);
                    p = Rgb565ToArgb(c);
                } else {
                    const unsigned a = lockFormat_ == PixelFormat32bppARGB ? q[3] : 0xFF;
                    p = (a << 24) | (q[2] << 16) | (q[1] << 8) | q[0];
                }
                picture_.At(lockRect_.left + x, lockRect_.top + y) = p;
            }
        }
        Quantise(picture_, format_);
        if (format_ == PixelFormat32bppARGB)
            picture_.hasAlpha = info_.hasAlpha = true;
        drawn_.reset();
        picture565_.clear();
        ++pixelsGeneration_;
    }
    locked_ = false;
    lockBuffer_.clear();
    lockBuffer_.shrink_to_fit();
    return S_OK;
}

HRESULT PictureObject::Draw(HDC dc, const RECT* dst, const RECT* src)
{
    if (!dst)
        return E_POINTER;
    std::shared_ptr<DcState> state = LookupDc(dc);
    if (!state || !state->surface)
        return E_INVALIDARG;
    const int dw = dst->right - dst->left, dh = dst->bottom - dst->top;
    if (dw <= 0 || dh <= 0 || dw > kMaxPictureSide || dh > kMaxPictureSide)
        return dw == 0 || dh == 0 ? S_OK : E_INVALIDARG;

    // The source part in pixels (the rectangle comes in hundredths of a mm).
    RECT part{0, 0, info_.width, info_.height};
    if (src) {
        const SIZE phys{Physical(info_.width), Physical(info_.height)};
        auto toPixels = [](LONG v, int pixels, LONG physical) {
            return static_cast<LONG>((static_cast<std::int64_t>(v) * pixels + physical / 2) / physical);
        };
        part = RECT{toPixels(src->left, info_.width, phys.cx), toPixels(src->top, info_.height, phys.cy),
                    toPixels(src->right, info_.width, phys.cx), toPixels(src->bottom, info_.height, phys.cy)};
        part = Intersect(part, RECT{0, 0, info_.width, info_.height});
        if (IsEmpty(part))
            return E_INVALIDARG;
    }
    const int pw = part.right - part.left, ph = part.bottom - part.top;
    const bool whole = pw == info_.width && ph == info_.height;

    const bool to565 = state->surface->bitsPerPixel == 16 && !state->surface->rgb555;
    const bool rows = to565 && RowKernelsEnabled();
    // Copies picture (dw x dh) to the destination, within the DC's clip;
    // rgb565 is its RGB565 form when there is one.
    auto blit = [&](const Picture& picture, const std::vector<WORD>& rgb565) {
        DcState& d = *state;
        Surface& surface = *d.surface;
        const RECT device = Offset(*dst, d.viewportOrigin.x, d.viewportOrigin.y);
        const bool fast565 = to565 && !picture.hasAlpha;
        const bool copy565 = fast565 && rows && !rgb565.empty();
        ForEachClipRect(d, device, [&](const RECT& r) {
            // r is in surface coordinates; the picture's (0, 0) is at device.left/top.
            const int ox = device.left + d.deviceOrigin.x, oy = device.top + d.deviceOrigin.y;
            const int n = r.right - r.left;
            for (int y = r.top; y < r.bottom; ++y) {
                const size_t first = static_cast<size_t>(y - oy) * picture.width + (r.left - ox);
                const std::uint32_t* in = &picture.pixels[first];
                WORD* out = reinterpret_cast<WORD*>(surface.Row(y)) + r.left;
                if (copy565) {
                    std::memcpy(out, &rgb565[first], static_cast<size_t>(n) * sizeof(WORD));
                    continue;
                }
                if (fast565) {
                    ArgbRowTo565(out, in, n);
                    continue;
                }
                if (rows) {
                    BlendRowArgb(out, in, n);
                    continue;
                }
                for (int x = r.left; x < r.right; ++x) {
                    const std::uint32_t p = in[x - r.left];
                    const COLORREF c = RGB(static_cast<BYTE>(p >> 16), static_cast<BYTE>(p >> 8), static_cast<BYTE>(p));
                    const unsigned a = p >> 24;
                    if (!picture.hasAlpha || a == 255)
                        WritePixel(surface, x, y, c);
                    else if (a != 0)
                        PutPixelBlend(surface, x, y, c, static_cast<int>(a));
                }
            }
        });
    };

    // The whole picture at its own size: straight from the kept decode.
    if (whole && dw == info_.width && dh == info_.height) {
        HRESULT hr = Pixels(nullptr);
        if (FAILED(hr))
            return hr;
        std::lock_guard<std::mutex> lock(mutex_);
        if (picture_.width == dw && picture_.height == dh) {
            if (rows && !picture_.hasAlpha && picture565_.empty())
                To565(picture_, picture565_);
            blit(picture_, picture565_);
            return S_OK;
        }
    }

    std::shared_ptr<const Shown> ready;
    unsigned generation = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        generation = pixelsGeneration_;
        if (drawn_ && drawnPart_.left == part.left && drawnPart_.top == part.top && drawnPart_.right == part.right
            && drawnPart_.bottom == part.bottom && drawnSize_.cx == dw && drawnSize_.cy == dh)
            ready = drawn_;
    }
    if (!ready) {
        // The whole picture scales from the kept decode or from a decode
        // scaled down to the destination; a part is cut from the full decode.
        Picture picture;
        if (!src) {
            HRESULT hr = ScaledPixels(dw, dh, true, picture);
            if (FAILED(hr))
                return hr;
        } else {
            HRESULT hr = Pixels(&picture);
            if (FAILED(hr))
                return hr;
            if (!whole) {
                Picture cut;
                if (!cut.AllocateUnset(pw, ph))
                    return E_OUTOFMEMORY;
                cut.hasAlpha = picture.hasAlpha;
                for (int y = 0; y < ph; ++y)
                    std::copy_n(picture.Row(part.top + y) + part.left, pw, cut.Row(y));
                picture = std::move(cut);
            }
            if (!ScalePicture(picture, dw, dh, picture))
                return E_OUTOFMEMORY;
        }
        try {
            auto shown = std::make_shared<Shown>();
            if (!picture.hasAlpha)
                To565(picture, shown->rgb565);
            shown->picture = std::move(picture);
            ready = std::move(shown);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        if (generation == pixelsGeneration_) {
            drawn_ = ready;
            drawnPart_ = part;
            drawnSize_ = SIZE{dw, dh};
        }
    }
    blit(ready->picture, ready->rgb565);
    return S_OK;
}

PictureObject* Ours(IImage* image)
{
    return image ? dynamic_cast<PictureObject*>(image) : nullptr;
}

HRESULT NewFileImage(std::vector<BYTE> bytes, IImage** out)
{
    PictureInfo info;
    Picture none;
    DecodeOptions header;
    header.headerOnly = true;
    const PictureStatus status = DecodePicture(bytes.data(), bytes.size(), header, info, none);
    if (status != PictureStatus::Ok)
        return status == PictureStatus::NoMemory || status == PictureStatus::TooLarge ? E_OUTOFMEMORY : E_FAIL;
    *out = static_cast<IImage*>(new (std::nothrow) PictureObject(std::move(bytes), info));
    return *out ? S_OK : E_OUTOFMEMORY;
}

class ImagingFactory final : public IImagingFactory {
public:
    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (!(iid == IID_IUnknown || iid == IID_IImagingFactory))
            return E_NOINTERFACE;
        *out = static_cast<IImagingFactory*>(this);
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return ++references_; }
    ULONG Release() override
    {
        const ULONG left = --references_;
        if (left == 0)
            delete this;
        return left;
    }

    HRESULT CreateImageFromFile(LPCWSTR path, IImage** out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        std::vector<BYTE> bytes;
        const PictureStatus status = ReadPictureFile(path, bytes);
        if (status != PictureStatus::Ok)
            return status == PictureStatus::NotFound ? E_FAIL : E_OUTOFMEMORY;
        return NewFileImage(std::move(bytes), out);
    }
    HRESULT CreateImageFromBuffer(const void* buffer, UINT size, BufferDisposalFlag, IImage** out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (!buffer || size == 0)
            return E_INVALIDARG;
        std::vector<BYTE> bytes;
        try {
            bytes.assign(static_cast<const BYTE*>(buffer), static_cast<const BYTE*>(buffer) + size);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
        return NewFileImage(std::move(bytes), out);
    }
    HRESULT CreateNewBitmap(UINT width, UINT height, PixelFormatID format, IBitmapImage** out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (!KnownFormat(format) || width == 0 || height == 0 || width > kMaxPictureSide || height > kMaxPictureSide)
            return E_INVALIDARG;
        Picture picture;
        if (!picture.Allocate(static_cast<int>(width), static_cast<int>(height),
                              format == PixelFormat32bppARGB ? 0u : 0xFF000000u))
            return E_OUTOFMEMORY;
        picture.hasAlpha = format == PixelFormat32bppARGB;
        *out = new (std::nothrow) PictureObject(std::move(picture), format);
        return *out ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT CreateBitmapFromImage(IImage* image, UINT width, UINT height, PixelFormatID format, InterpolationHint hint,
                                  IBitmapImage** out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        PictureObject* source = Ours(image);
        if (!source || (format != PixelFormatDontCare && !KnownFormat(format)) || width > kMaxPictureSide
            || height > kMaxPictureSide)
            return E_INVALIDARG;
        const int w = width ? static_cast<int>(width) : source->Info().width;
        const int h = height ? static_cast<int>(height) : source->Info().height;
        Picture picture;
        HRESULT hr = source->ScaledPixels(w, h, hint != InterpolationHintNearestNeighbor, picture);
        if (FAILED(hr))
            return hr;
        *out = new (std::nothrow) PictureObject(std::move(picture), format ? format : source->Format());
        return *out ? S_OK : E_OUTOFMEMORY;
    }

private:
    ~ImagingFactory() = default;
    std::atomic<ULONG> references_{1};
};

} // namespace

IImagingFactory* CreateImagingFactory()
{
    return new (std::nothrow) ImagingFactory();
}

IBitmapImage* CreateBitmapImage(Picture picture, PixelFormatID format)
{
    if (!KnownFormat(format) || picture.width <= 0 || picture.height <= 0)
        return nullptr;
    return new (std::nothrow) PictureObject(std::move(picture), format);
}

PictureStatus PictureOfImage(IImage* image, Picture& out, int minWidth, int minHeight)
{
    PictureObject* source = Ours(image);
    if (!source) {
        out = {};
        return PictureStatus::Unsupported;
    }
    return source->Decode(&out, minWidth, minHeight);
}

// ---------------------------------------------------------------- DIBs

HBITMAP PictureToDib565(const Picture& picture, void** bits)
{
    if (bits)
        *bits = nullptr;
    if (picture.width <= 0 || picture.height <= 0)
        return nullptr;
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = picture.width;
    bi.bmiHeader.biHeight = -picture.height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 16;
    bi.bmiHeader.biCompression = BI_BITFIELDS;
    bi.bmiHeader.biXPelsPerMeter = bi.bmiHeader.biYPelsPerMeter = 11811;
    const DWORD masks[3] = {kRgb565RedMask, kRgb565GreenMask, kRgb565BlueMask};
    std::memcpy(bi.bmiColors, masks, sizeof masks);
    void* pixels = nullptr;
    HBITMAP dib = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &pixels, nullptr, 0);
    if (!dib || !pixels)
        return nullptr;
    const size_t stride = (static_cast<size_t>(picture.width) * 2 + 3) & ~size_t{3};
    for (int y = 0; y < picture.height; ++y) {
        WORD* row = reinterpret_cast<WORD*>(static_cast<BYTE*>(pixels) + stride * y);
        ArgbRowTo565(row, &picture.pixels[static_cast<size_t>(y) * picture.width], picture.width);
    }
    if (bits)
        *bits = pixels;
    return dib;
}

HBITMAP LoadPictureAsDib565(LPCWSTR path, int width, int height, bool fit, int degrees, bool flipX, bool flipY)
{
    auto fail = [](DWORD error) -> HBITMAP {
        SetLastError(error);
        return nullptr;
    };
    degrees %= 360;
    if (degrees < 0)
        degrees += 360;
    if (degrees % 90 != 0)
        return fail(ERROR_INVALID_PARAMETER);
    std::vector<BYTE> bytes;
    PictureStatus status = ReadPictureFile(path, bytes);
    if (status != PictureStatus::Ok)
        return fail(ErrorFromPictureStatus(status));
    PictureInfo info;
    Picture picture;
    DecodeOptions options;
    options.headerOnly = true;
    status = DecodePicture(bytes.data(), bytes.size(), options, info, picture);
    if (status != PictureStatus::Ok)
        return fail(ErrorFromPictureStatus(status));
    // Sizes after the turn; the decode works before it.
    const bool swap = degrees == 90 || degrees == 270;
    const int turnedW = swap ? info.height : info.width, turnedH = swap ? info.width : info.height;
    int w = width < 1 ? turnedW : width, h = height < 1 ? turnedH : height;
    if (fit)
        FitInto(turnedW, turnedH, w, h, w, h);
    if (w > kMaxPictureSide || h > kMaxPictureSide)
        return fail(ERROR_INVALID_PARAMETER);
    const int decodeW = swap ? h : w, decodeH = swap ? w : h;
    options.headerOnly = false;
    options.minWidth = decodeW;
    options.minHeight = decodeH;
    status = DecodePicture(bytes.data(), bytes.size(), options, info, picture);
    if (status != PictureStatus::Ok)
        return fail(ErrorFromPictureStatus(status));
    bytes.clear();
    if (!ScalePicture(picture, decodeW, decodeH, picture)
        || ((flipX || flipY) && !FlipPicture(picture, flipX, flipY, picture))
        || !RotatePicture(picture, degrees, picture))
        return fail(ERROR_NOT_ENOUGH_MEMORY);
    HBITMAP dib = PictureToDib565(picture);
    return dib ? dib : fail(ERROR_NOT_ENOUGH_MEMORY);
}

} // namespace platform

using namespace platform;

HBITMAP SHLoadDIBitmap(LPCWSTR path)
{
    std::vector<BYTE> bytes;
    PictureStatus status = ReadPictureFile(path, bytes);
    if (status == PictureStatus::Ok && SniffPictureFormat(bytes.data(), bytes.size()) != PictureFormat::Bmp)
        status = PictureStatus::Unsupported;
    HBITMAP dib = nullptr;
    if (status == PictureStatus::Ok) {
        status = DecodeBmpToBgr24(bytes.data(), bytes.size(), [&dib](int width, int height) -> BYTE* {
            BITMAPINFO bi{};
            bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
            bi.bmiHeader.biWidth = width;
            bi.bmiHeader.biHeight = -height;
            bi.bmiHeader.biPlanes = 1;
            bi.bmiHeader.biBitCount = 24;
            bi.bmiHeader.biCompression = BI_RGB;
            void* pixels = nullptr;
            dib = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &pixels, nullptr, 0);
            return dib ? static_cast<BYTE*>(pixels) : nullptr;
        });
    }
    if (status != PictureStatus::Ok) {
        if (dib)
            DeleteObject(dib);
        SetLastError(ErrorFromPictureStatus(status));
        return nullptr;
    }
    return dib;
}

namespace {
std::atomic<int> g_comInits{0};
}

HRESULT CoInitializeEx(void*, DWORD)
{
    return ++g_comInits == 1 ? S_OK : S_FALSE;
}

void CoUninitialize()
{
    if (g_comInits > 0)
        --g_comInits;
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD, REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (outer)
        return E_INVALIDARG;
    if (!(clsid == CLSID_ImagingFactory))
        return REGDB_E_CLASSNOTREG;
    IImagingFactory* factory = CreateImagingFactory();
    if (!factory)
        return E_OUTOFMEMORY;
    HRESULT hr = factory->QueryInterface(iid, out);
    factory->Release();
    return hr;
}
