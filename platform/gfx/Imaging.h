// The Imaging objects (in place of the unit's imaging library) and the
// bitmap loading calls, over the decoders of platform/gfx/Picture.h.
//
// CreateImageFromFile keeps the file's bytes and decodes on first use; the
// image information comes from the header alone, and a thumbnail or a
// bitmap of a smaller size decodes a JPEG scaled down by its DCT. Bitmaps
// (IBitmapImage) keep their pixels as 32-bit ARGB and hand them out through
// LockBits in 16bppRGB565, 24bppRGB, 32bppRGB or 32bppARGB. Every object
// here answers IImage, IBitmapImage and IBasicBitmapOps; a file image turns
// into a bitmap of its decoded pixels when asked for one of the latter two.
//
// Source rectangles of IImage::Draw are in hundredths of a millimetre, as
// GetPhysicalDimension reports (96 pixels per inch), and address the
// picture top-down: no vertical mirroring.
#pragma once

#include "platform/base/Com.h"
#include "platform/base/Types.h"
#include "platform/gfx/Gdi.h"
#include "platform/gfx/Picture.h"

using PixelFormatID = INT;
inline constexpr PixelFormatID PixelFormatDontCare = 0;
inline constexpr PixelFormatID PixelFormat16bppRGB565 = 0x00021005;
inline constexpr PixelFormatID PixelFormat24bppRGB = 0x00021808;
inline constexpr PixelFormatID PixelFormat32bppRGB = 0x00022009;
inline constexpr PixelFormatID PixelFormat32bppARGB = 0x0026200A;

enum InterpolationHint {
    InterpolationHintDefault = 0,
    InterpolationHintNearestNeighbor = 1,
    InterpolationHintBilinear = 2,
    InterpolationHintAveraging = 3,
    InterpolationHintBicubic = 4,
};

enum BufferDisposalFlag {
    BufferDisposalFlagNone = 0,
    BufferDisposalFlagGlobalFree = 1,
    BufferDisposalFlagCoTaskMemFree = 2,
    BufferDisposalFlagUnmapView = 3,
};

// ImageInfo::Flags.
inline constexpr UINT ImageFlagsHasAlpha = 0x0002;
inline constexpr UINT ImageFlagsHasTranslucent = 0x0004;
inline constexpr UINT ImageFlagsColorSpaceRGB = 0x0010;
inline constexpr UINT ImageFlagsColorSpaceYCBCR = 0x0080;
inline constexpr UINT ImageFlagsReadOnly = 0x00010000;

// LockBits flags.
inline constexpr UINT ImageLockModeRead = 0x1;
inline constexpr UINT ImageLockModeWrite = 0x2;

struct ImageInfo {
    GUID RawDataFormat; // ImageFormatBMP, ...JPEG, ...PNG, ...GIF or ...MemoryBMP
    PixelFormatID PixelFormat;
    UINT Width;
    UINT Height;
    UINT TileWidth;
    UINT TileHeight;
    double Xdpi;
    double Ydpi;
    UINT Flags;
};

struct BitmapData {
    UINT Width;
    UINT Height;
    INT Stride;
    PixelFormatID PixelFormat;
    void* Scan0;
    UINT_PTR Reserved;
};

struct IImage;
struct IBitmapImage;

struct IImage : IUnknown {
    // Size in hundredths of a millimetre.
    virtual HRESULT GetPhysicalDimension(SIZE* size) = 0;
    virtual HRESULT GetImageInfo(ImageInfo* info) = 0;
    // Draws the source part (all when null) stretched onto dst of the DC,
    // blending by alpha where the picture has it.
    virtual HRESULT Draw(HDC dc, const RECT* dst, const RECT* src) = 0;
    // A new image of width x height (the picture scaled; 0 x 0 = 120 x 120
    // box kept to the aspect ratio).
    virtual HRESULT GetThumbnail(UINT width, UINT height, IImage** out) = 0;
};

struct IBitmapImage : IUnknown {
    virtual HRESULT GetSize(SIZE* size) = 0;
    virtual HRESULT GetPixelFormatID(PixelFormatID* format) = 0;
    // Rect null = the whole bitmap. One lock at a time; pixels written into
    // a write lock go back into the bitmap at UnlockBits.
    virtual HRESULT LockBits(const RECT* rect, UINT flags, PixelFormatID format, BitmapData* data) = 0;
    virtual HRESULT UnlockBits(const BitmapData* data) = 0;
};

struct IBasicBitmapOps : IUnknown {
    virtual HRESULT Clone(const RECT* rect, IBitmapImage** out, BOOL needCopy) = 0;
    // Clockwise by a multiple of 90 degrees; other angles E_INVALIDARG.
    virtual HRESULT Rotate(float angle, InterpolationHint hint, IBitmapImage** out) = 0;
    virtual HRESULT Flip(BOOL flipX, BOOL flipY, IBitmapImage** out) = 0;
    virtual HRESULT Resize(UINT width, UINT height, PixelFormatID format, InterpolationHint hint, IBitmapImage** out)
        = 0;
};

struct IImagingFactory : IUnknown {
    virtual HRESULT CreateImageFromFile(LPCWSTR path, IImage** out) = 0;
    // The bytes are copied; the disposal flag is accepted and ignored.
    virtual HRESULT CreateImageFromBuffer(const void* buffer, UINT size, BufferDisposalFlag disposal, IImage** out) = 0;
    // A black bitmap.
    virtual HRESULT CreateNewBitmap(UINT width, UINT height, PixelFormatID format, IBitmapImage** out) = 0;
    // The image scaled to width x height (0 = its own) in the format (0 = its own).
    virtual HRESULT CreateBitmapFromImage(IImage* image, UINT width, UINT height, PixelFormatID format,
                                          InterpolationHint hint, IBitmapImage** out)
        = 0;
};

inline constexpr CLSID CLSID_ImagingFactory
    = {0x57A1F001, 0x7B3C, 0x4D21, {0x9E, 0x10, 0x41, 0x57, 0x52, 0x45, 0x4E, 0x01}};
inline constexpr IID IID_IImagingFactory
    = {0x57A1F002, 0x7B3C, 0x4D21, {0x9E, 0x10, 0x41, 0x57, 0x52, 0x45, 0x4E, 0x02}};
inline constexpr IID IID_IImage = {0x57A1F003, 0x7B3C, 0x4D21, {0x9E, 0x10, 0x41, 0x57, 0x52, 0x45, 0x4E, 0x03}};
inline constexpr IID IID_IBitmapImage = {0x57A1F004, 0x7B3C, 0x4D21, {0x9E, 0x10, 0x41, 0x57, 0x52, 0x45, 0x4E, 0x04}};
inline constexpr IID IID_IBasicBitmapOps
    = {0x57A1F005, 0x7B3C, 0x4D21, {0x9E, 0x10, 0x41, 0x57, 0x52, 0x45, 0x4E, 0x05}};
inline constexpr GUID ImageFormatMemoryBMP
    = {0x57A1F010, 0x7B3C, 0x4D21, {0x9E, 0x10, 0x41, 0x57, 0x52, 0x45, 0x4E, 0x10}};
inline constexpr GUID ImageFormatBMP = {0x57A1F011, 0x7B3C, 0x4D21, {0x9E, 0x10, 0x41, 0x57, 0x52, 0x45, 0x4E, 0x11}};
inline constexpr GUID ImageFormatJPEG = {0x57A1F012, 0x7B3C, 0x4D21, {0x9E, 0x10, 0x41, 0x57, 0x52, 0x45, 0x4E, 0x12}};
inline constexpr GUID ImageFormatPNG = {0x57A1F013, 0x7B3C, 0x4D21, {0x9E, 0x10, 0x41, 0x57, 0x52, 0x45, 0x4E, 0x13}};
inline constexpr GUID ImageFormatGIF = {0x57A1F014, 0x7B3C, 0x4D21, {0x9E, 0x10, 0x41, 0x57, 0x52, 0x45, 0x4E, 0x14}};

// Loads a BMP file of the unit as a DIB section (24 bits, or 16-bit RGB565
// for a 565 file), top-down. Null and the last error on failure:
// ERROR_FILE_NOT_FOUND / ERROR_PATH_NOT_FOUND, ERROR_BAD_FORMAT for a file
// that is not a BMP we read, ERROR_INVALID_DATA for a corrupt one,
// ERROR_NOT_ENOUGH_MEMORY.
HBITMAP SHLoadDIBitmap(LPCWSTR path);

namespace platform {

// The unit's error for a decoder status.
DWORD ErrorFromPictureStatus(PictureStatus status);

// A new factory (reference count 1).
IImagingFactory* CreateImagingFactory();

// A bitmap object over a picture (reference count 1); format is what
// GetPixelFormatID reports (the pixels are kept to what it can hold).
IBitmapImage* CreateBitmapImage(Picture picture, PixelFormatID format);

// The decoded pixels of any of the objects above, scaled to at least
// minWidth x minHeight where the format decodes scaled (0 = full size).
PictureStatus PictureOfImage(IImage* image, Picture& out, int minWidth = 0, int minHeight = 0);

// A top-down 16 bpp RGB565 DIB section (BI_BITFIELDS) holding the picture;
// *bits (when given) receives its pixels. Null when it cannot be made.
HBITMAP PictureToDib565(const Picture& picture, void** bits = nullptr);

// Decodes a file of the unit into an RGB565 DIB section of width x height
// (a side below 1 takes the picture's own), after flipping and then turning
// it clockwise by `degrees` (0, 90, 180, 270). With `fit` the picture keeps
// its aspect ratio and is never enlarged: the section gets the fitted size.
// Null and the last error on failure.
HBITMAP LoadPictureAsDib565(LPCWSTR path, int width, int height, bool fit = false, int degrees = 0, bool flipX = false,
                            bool flipY = false);

} // namespace platform
