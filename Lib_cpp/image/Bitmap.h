// Bitmap loading: the two process-wide picture caches, the Imaging helpers
// that decode, scale, fit, flip, rotate and draw, the creation of DIB
// sections, and the start-up image preloader.
//
// IxBitmapCache holds GDI bitmaps loaded whole from BMP files; IxImagingCache
// holds Imaging images (JPEG, PNG, GIF, ...). Both are keyed by path,
// compared case-insensitively, and reference-counted: a picture that several
// screens show is loaded once and freed when the last holder releases it.
// One lock (the picture-cache lock) guards both tables; loading a file inside
// Acquire runs with it held.
//
// Failures answer null and leave the caches unchanged. The last-error record
// gets IXERR_LOADBITMAP (102) with the system error for a bitmap file that
// cannot be loaded, IXERR_COM (106) with 0 for a COM or Imaging failure and
// IXERR_NOMEMORY (2) with the system error for a section that cannot be made.
#pragma once

#include "Lib_cpp/core/Containers.h"
#include "Lib_cpp/core/String.h"
#include "Lib_cpp/core/Thread.h"
#include "platform/base/Types.h"
#include "platform/gfx/Gdi.h"
#include "platform/gfx/Imaging.h"
#include "platform/os/Sync.h"

// Prepares the picture-cache lock (start-up, before any image). Harmless
// when called again.
void IxImageCacheInit();
// Deletes every cached bitmap, releases every cached image and the imaging
// factory, and undoes the COM start-up the framework did.
void IxImageCacheShutdown();

// SHLoadDIBitmap of the path; null for an empty path, and on failure null
// with last error {IXERR_LOADBITMAP, system error}.
HBITMAP IxLoadDib(LPCWSTR path);

class IxBitmapCache {
public:
    // The cached bitmap of the path with one more reference, loading it on
    // first use. Null when it cannot be loaded.
    static HBITMAP Acquire(LPCWSTR path);
    // Drops one reference; the last one deletes the bitmap. A bitmap the
    // cache does not know is deleted at once.
    static void Release(HBITMAP bitmap);
    // Loads the file anew (no lookup). At its own size, or when a size below
    // 1 is asked for, the bitmap becomes a new cache entry; otherwise a
    // 24-bit section of width x height with the picture stretched in is
    // returned, not cached (its Release deletes it).
    static HBITMAP LoadScaled(LPCWSTR path, int width, int height);
    // References the cache holds on the bitmap; 0 when it is not cached.
    static int GetRefCount(HBITMAP bitmap);
};

class IxImagingCache {
public:
    // The cached image of the path with one more reference, decoded through
    // the imaging factory on first use. Null for an empty path or a failure.
    static IImage* Acquire(LPCWSTR path);
    // Drops one reference; the last one releases the image. An image the
    // cache does not know is released at once.
    static void Release(IImage* image);
    static int GetRefCount(IImage* image);
};

// CoInitializeEx once per process; non-zero when COM is usable (failure
// records IXERR_COM).
BOOL IxCoInitializeOnce();
// The process's imaging factory (not referenced for the caller), made on
// first use; null with IXERR_COM when it cannot be made.
IImagingFactory* IxGetImagingFactory();

// Width and height in pixels from the image information.
BOOL IxGetImageSize(IImage* image, SIZE* size);
// Draws the image stretched onto dst; src (pixels, may be null) selects a
// part of the picture. A source covering (nearly) the whole picture draws
// the whole picture.
BOOL IxDrawImage(IImage* image, HDC dc, const RECT* dst, const RECT* src);

// An RGB565 top-down section of width x height holding the file's picture
// (a side below 1 takes the picture's own size).
HBITMAP IxDecodeToDib(LPCWSTR path, int width, int height);
// The file's picture scaled to width x height, as a new image.
IImage* IxDecodeScaled(LPCWSTR path, int width, int height);
// The file's picture fitted into the box |width| x |height| keeping its
// aspect ratio, never enlarged; natural (may be null) gets the picture's
// own size. With a negative width, a picture no larger than half the box is
// returned as the file's image itself.
IImage* IxDecodeFitted(LPCWSTR path, int width, int height, SIZE* natural);
// New images: the picture mirrored, or turned clockwise by a multiple of 90
// degrees. Null with IXERR_COM on failure.
IImage* IxFlipImage(IImage* image, BOOL flipX, BOOL flipY);
IImage* IxRotateImage(IImage* image, int degrees);

// Makes a DIB section bound to a new memory DC.
// - height < 0 asks for a bottom-up section of |height| rows (top-down
//   otherwise); *height comes back positive.
// - With a source bitmap: a bit count below 1 takes the source's, and a
//   positive width fits width x height to the source's aspect ratio; the
//   source is then copied (or stretched) into the section.
// 16-bit sections are RGB565. *memDC gets the DC with the section selected
// and *oldBitmap what it held before (when memDC is null the DC is deleted
// again). Non-zero when the section was made.
BOOL IxCreateDib(HBITMAP source, int* bits, int* width, int* height, HBITMAP* section, void** pixels, HDC* memDC,
                 HGDIOBJ* oldBitmap);

// The kernel frame's background loader: warms the caches with queued paths
// while the unit starts. Preloaded pictures keep their reference for the
// life of the program.
class IxImagePreloader : public IxThread {
public:
    IxImagePreloader();
    ~IxImagePreloader() override;

    // Replaces the bitmap queue by a copy of the paths; a non-zero priority
    // then starts the thread when a queue holds paths. 0 when memory runs out
    // or the thread cannot start.
    BOOL SetBitmapQueue(const IxStringArray& paths, int priority);
    // The same for the imaging queue.
    BOOL SetImagingQueue(const IxStringArray& paths, int priority);
    // Starts the thread only when a queue holds paths; else 1.
    BOOL StartIfPending(int priority);
    BOOL HasPending();

    // Loads the next queued path (bitmaps first): 1 when a path was taken, 0
    // when both queues are exhausted.
    int Execute() override;

    // The path taken last from each queue.
    IxString GetLastBitmapPath();
    IxString GetLastImagingPath();

private:
    struct Queue {
        IxStringArray paths{50};
        int next = 0;
        IxString last;
    };

    BOOL SetQueue(Queue& queue, const IxStringArray& paths, int priority);
    // The next non-empty path of the queue; an exhausted queue is emptied.
    BOOL Take(Queue& queue, IxString& path);

    CRITICAL_SECTION m_cs;
    Queue m_bitmaps;
    Queue m_images;
};
