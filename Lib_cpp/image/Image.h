// Image objects: every picture an element shows is a reference-counted
// IxImage driven through four operations - Draw, Query, Control and
// Destroy - so that an element never knows how its picture is stored.
//
// - IxColorImage: a solid colour of a given size.
// - IxImageProxy / IxImageRef: hold another image; IxImageRef maps the six
//   element states (IXI_STATE_FIRST ... IXI_STATE_LAST) to frames through
//   its state frame table. Elements hold IxImageRefs.
// - IxBitmapImage: BMP pictures from IxBitmapCache; one file, one file
//   holding several frames side by side (a strip), or one file per frame.
// - IxDecodedImage: Imaging pictures from IxImagingCache, scaled or fitted
//   decodes, quarter-turn frame sets and right-angle rotation.
// - IxRotatedImage: an RGB565 picture turned in software by step / count of
//   a full turn.
//
// Images are made, drawn and changed on the user-interface thread only; the
// picture caches they draw from have their own lock.
#pragma once

#include "Lib_cpp/core/Containers.h"
#include "Lib_cpp/core/Draw.h"
#include "Lib_cpp/core/String.h"
#include "platform/base/Types.h"
#include "platform/gfx/Gdi.h"
#include "platform/gfx/Imaging.h"

// Query codes.
enum : int {
    IXIQ_HASFRAME = 1, // is frame `argument` available (IXI_CURRENT = the current frame)
    IXIQ_FRAMECOUNT = 3,
    IXIQ_CURFRAME = 4, // -1 when none
    IXIQ_SIZE = 5,     // writes {width, height} to the SIZE that `argument` points to; answers 0
};

// Control commands of the frame images.
enum : int {
    IXIC_UNLOAD = 1,     // release every picture -> 1
    IXIC_SETFRAME = 2,   // frame = argument (-1 ... count - 1) -> 1 when changed
    IXIC_NEXTFRAME = 3,  // (current + 1) mod count -> 0 when count < 2
    IXIC_ROTATE = 7,     // turn by a multiple of 90 degrees (decoded and rotated images)
    IXIC_FIRSTFRAME = 8, // frame 0 -> 0 when already there
    IXIC_ALPHA = 9,      // draw with the constant alpha in the argument's low byte
    IXIC_NODRAW = 10,    // draw nothing (parameter kept)
    IXIC_COLORKEY = 11,  // leave pixels of the colour in the argument unpainted
    IXIC_COPY = 12,      // plain copy
};

// Draw modes of the frame images.
enum : int {
    IXDM_COPY = 0,
    IXDM_ALPHA = 1,
    IXDM_NONE = 2,
    IXDM_COLORKEY = 3,
};

// Load modes of bitmap and decoded images.
enum : int {
    IXLM_NOW = 0,            // load at construction (list images: every frame)
    IXLM_FIRST = 1,          // list images load frame 0 now, the others on demand
    IXLM_FIRST_KEEPONE = 2,  // as 1, loading a list frame unloads the others
    IXLM_DEMAND = 3,         // nothing at construction; frames load on demand
    IXLM_DEMAND_KEEPONE = 4, // as 3, keeping one frame as in 2
    IXLM_NEVER = 5,          // frames never load on demand
    IXLM_SCALED = 6,         // scaled to the stored size
    IXLM_SCALED_LATER = 7,   // as 6, decoded images decode on first use
    IXLM_FITTED = 8,         // decoded images: fitted into the given box at construction
};

// Frame argument meaning "the current frame" (IXIQ_HASFRAME).
inline constexpr int IXI_CURRENT = -10;
// The six element states as frame arguments of IxImageRef.
enum : int {
    IXSTATE_NORMAL = -20,
    IXSTATE_PRESSED = -19,
    IXSTATE_DISABLED = -18,
    IXSTATE_SELECTED = -17,
    IXSTATE_SELECTEDPRESSED = -16,
    IXSTATE_CURRENT = -15,
};
inline constexpr int IXI_STATE_FIRST = IXSTATE_NORMAL;
inline constexpr int IXI_STATE_LAST = IXSTATE_CURRENT;
inline constexpr int IXI_STATE_COUNT = IXI_STATE_LAST - IXI_STATE_FIRST + 1;

class IxImage {
public:
    IxImage() = default;
    IxImage(const IxImage&) = delete;
    IxImage& operator=(const IxImage&) = delete;

    // A new image starts with one reference.
    LONG AddRef() { return ++m_nRefs; }
    // Drops one reference; the last one destroys the image. Releasing an
    // image whose count is already 0 does nothing (answers 0).
    LONG Release();
    LONG GetRefCount() const { return m_nRefs; }

    // Draws into dst, limited to clip when one is given. 1 when drawn, 0 when
    // there is nothing to draw.
    virtual BOOL Draw(IxDC* dc, const RECT& dst, const RECT* clip) = 0;
    virtual INT_PTR Query(int what, INT_PTR argument) = 0;
    // 1 when the command was taken.
    virtual BOOL Control(int command, INT_PTR argument) = 0;
    // Frees the image; called once, by the release of the last reference.
    virtual void Destroy() { delete this; }

protected:
    virtual ~IxImage() = default;

private:
    LONG m_nRefs = 1;
};

// A solid colour of width x height.
class IxColorImage : public IxImage {
public:
    IxColorImage(COLORREF color, int width, int height);

    BOOL Draw(IxDC* dc, const RECT& dst, const RECT* clip) override;
    INT_PTR Query(int what, INT_PTR argument) override;
    BOOL Control(int, INT_PTR) override { return FALSE; }

private:
    COLORREF m_crColor;
    int m_nWidth;
    int m_nHeight;
};

// Holds another image (its reference is owned; may be null) and forwards to it.
class IxImageProxy : public IxImage {
public:
    explicit IxImageProxy(IxImage* inner);

    BOOL Draw(IxDC* dc, const RECT& dst, const RECT* clip) override;
    INT_PTR Query(int what, INT_PTR argument) override;
    BOOL Control(int command, INT_PTR argument) override;

    IxImage* GetInner() const { return m_pInner; }

protected:
    ~IxImageProxy() override;

    IxImage* m_pInner;
};

// What elements hold: a proxy whose state frame table turns the six element
// states into frames of the inner image.
class IxImageRef : public IxImageProxy {
public:
    // table: six frame indices, or null for 0, 1, 2, ... over the inner
    // image's frames (at most six) and -1 for the rest.
    IxImageRef(IxImage* inner, const int* table);

    INT_PTR Query(int what, INT_PTR argument) override;
    BOOL Control(int command, INT_PTR argument) override;

    int GetStateFrame(int state) const;

    // One file: a bitmap strip of `count` frames, or a decoded image when
    // imaging is set.
    static IxImageRef* CreateLoaded(const int* table, BOOL imaging, LPCWSTR path, int count, int loadMode);
    static IxImageRef* CreateFrames(const int* table, LPCWSTR path, int count, int loadMode);
    // One file per frame.
    static IxImageRef* CreateFromList(const int* table, const IxStringArray& paths, int loadMode);
    static IxImageRef* CreateListed(const int* table, BOOL imaging, const IxStringArray& paths, int loadMode);

private:
    // The frame a state argument stands for; other arguments unchanged.
    INT_PTR MapState(INT_PTR argument) const;

    int m_table[IXI_STATE_COUNT];
};

// Base of the images with frames: the draw mode, the frame size, the frame
// count and the current frame, and the commands they share.
class IxFrameImage : public IxImage {
public:
    INT_PTR Query(int what, INT_PTR argument) override;
    BOOL Control(int command, INT_PTR argument) override;

    // Reads the frame size again (see the classes).
    virtual void UpdateSize() = 0;
    // Makes sure the picture of frame index is loaded.
    virtual void LoadFrame(int index, const RECT* dst) = 0;
    // Releases every picture.
    virtual void Unload() = 0;

    int GetDrawMode() const { return m_nDrawMode; }
    int GetDrawParam() const { return m_nDrawParam; }
    int GetFrameWidth() const { return m_nFrameWidth; }
    int GetFrameHeight() const { return m_nFrameHeight; }
    int GetFrameCount() const { return m_nFrameCount; }
    int GetCurrentFrame() const { return m_nCurrent; }

protected:
    IxFrameImage() = default;

    // Command IXIC_ROTATE; not taken unless a class says otherwise.
    virtual BOOL Rotate(int) { return FALSE; }
    // Sets the current frame; 1 when it changed.
    BOOL SelectFrame(int frame);

    int m_nDrawMode = IXDM_COPY;
    int m_nDrawParam = 0;
    int m_nFrameWidth = -1;
    int m_nFrameHeight = -1;
    int m_nFrameCount = 1;
    int m_nCurrent = -1;
};

// Pictures of one kind (HBITMAP or IImage*) held by frame: one whole-file
// picture, or a table with one per frame (list images).
template <class P> class IxPictureFrames : public IxFrameImage {
protected:
    IxPictureFrames(LPCWSTR path, int count, int loadMode);
    IxPictureFrames(const IxStringArray& paths, int tableSize, int loadMode);
    ~IxPictureFrames() override;

    BOOL IsList() const { return m_pFrames != nullptr || m_paths.Count() > 0; }
    BOOL IsStrip() const { return !IsList() && m_nFrameCount > 1; }
    // The picture of frame index (null when not loaded or out of range).
    P PictureOf(int index) const;
    // Stores a picture of a list frame, releasing what was there.
    void StoreFrame(int index, P picture);
    void UnloadAll();
    // Releases a picture of this kind to its cache.
    static void ReleasePicture(P picture);
    // The picture of the current frame, loading it when missing.
    P EnsureCurrent(const RECT& dst);

    int m_nLoadMode;
    IxString m_path;
    IxStringArray m_paths{8};
    P m_whole = nullptr;
    P* m_pFrames = nullptr;
    int m_nTableSize = 0;
};

class IxBitmapImage : public IxPictureFrames<HBITMAP> {
public:
    IxBitmapImage(LPCWSTR path, int loadMode);
    // One file holding `count` frames side by side.
    IxBitmapImage(LPCWSTR path, int count, int loadMode);
    // One file per path.
    IxBitmapImage(const IxStringArray& paths, int loadMode);

    BOOL Draw(IxDC* dc, const RECT& dst, const RECT* clip) override;
    void UpdateSize() override;
    void LoadFrame(int index, const RECT* dst) override;
    void Unload() override { UnloadAll(); }

private:
    HBITMAP LoadPath(LPCWSTR path) const;
};

class IxDecodedImage : public IxPictureFrames<IImage*> {
public:
    // Extra mode of a list: quarter frames.
    static constexpr int kQuarterFrames = -1;

    IxDecodedImage(LPCWSTR path, int loadMode);
    IxDecodedImage(LPCWSTR path, int count, int loadMode);
    // One file per path. With kQuarterFrames the paths hold the first quarter
    // of a turn, both ends included, and the image has 4 x (paths - 1)
    // frames: the other three quarters are the first mirrored.
    IxDecodedImage(const IxStringArray& paths, int loadMode, int extraMode);
    // Scaled (IXLM_SCALED now, others later as IXLM_SCALED_LATER) to
    // |width| x |height|, or fitted into the box (IXLM_FITTED; natural, when
    // given, gets the picture's own size).
    IxDecodedImage(LPCWSTR path, int width, int height, int loadMode, SIZE* natural);

    BOOL Draw(IxDC* dc, const RECT& dst, const RECT* clip) override;
    void UpdateSize() override;
    void LoadFrame(int index, const RECT* dst) override;
    void Unload() override { UnloadAll(); }

    int GetExtraMode() const { return m_nExtraMode; }

protected:
    BOOL Rotate(int degrees) override;

private:
    IImage* LoadWhole();
    void LoadQuarterFrame(int index);

    int m_nExtraMode = 0;
    int m_nBoxWidth = 0; // the box as given (IXLM_FITTED keeps its sign)
    int m_nBoxHeight = 0;
};

// A DIB section bound to its own memory DC.
struct IxDibHolder {
    HDC hDC = nullptr;
    HBITMAP hBitmap = nullptr;
    HGDIOBJ hOldBitmap = nullptr;
    BYTE* pBits = nullptr;
    int nWidth = 0;
    int nHeight = 0;
    int nStride = 0;

    IxDibHolder() = default;
    ~IxDibHolder() { Release(); }
    IxDibHolder(const IxDibHolder&) = delete;
    IxDibHolder& operator=(const IxDibHolder&) = delete;

    // A blank top-down section of width x height and the bit count.
    BOOL Create(int width, int height, int bits);
    // Selects the old bitmap back, deletes the section and the DC.
    void Release();
    BOOL IsEmpty() const { return hBitmap == nullptr; }
};

// An RGB565 picture turned in software: the current frame is the rotation
// step, frame count the number of steps in a full turn.
class IxRotatedImage : public IxFrameImage {
public:
    IxRotatedImage(int width, int height, int steps, LPCWSTR path);

    BOOL Draw(IxDC* dc, const RECT& dst, const RECT* clip) override;
    void UpdateSize() override;
    void LoadFrame(int step, const RECT* dst) override;
    void Unload() override {}

    const IxDibHolder& GetSource() const { return m_source; }
    const IxDibHolder& GetResult() const { return m_result; }

protected:
    BOOL Rotate(int degrees) override;

private:
    IxDibHolder m_source;
    IxDibHolder m_result;
    int m_nBits = 16;
    int m_nHeldStep = -1;
};

// Turns the 16-bit source by theta radians about its centre into dst (both
// top-down, any sizes). Destination pixels whose source lies outside wrap
// around the source.
void IxRotatePixels(const IxDibHolder& src, IxDibHolder& dst, float theta);
