// Slider views: a value from 0 to a range shown as a thumb between a
// minimum and a maximum pixel (x).
//
// - IxSliderView: the value and pixel arithmetic, the slider properties
//   (also the form in which the framework's scrolled texts and lists drive
//   a slider used as their scroll bar) and a press that moves the thumb.
// - IxImageSliderView: drawn from images (thumb, bar before and after the
//   thumb, two range fills, two range markers) with a draggable thumb and
//   two draggable range handles.
#pragma once

#include "Lib_cpp/controls/View.h"
#include "platform/base/Types.h"

class IxImage;

class IxSliderView : public IxView {
public:
    IxSliderView() = default;

    // Attached: hit-testable.
    LRESULT OnEvent(int code, LPARAM param) override;
    IxElement* FindTarget(int, POINT) override { return this; }
    // A press moves the thumb to x and reports the value there.
    int OnInput(int code, LPARAM data) override;
    int Query(int code, LPARAM* out) override;
    // IXP_SLIDERRANGEVALUE, IXP_SLIDERVALUE (not while dragging),
    // IXP_SLIDERNORANGE (the range; no thumb).
    int SetProperty(int id, LPARAM value) override;

    // The thumb's travel in view pixels.
    void SetTrack(int minimum, int maximum);
    // Negative: no thumb.
    void SetValue(int value);
    void SetRange(int range) { m_nRange = range; }

    // minimum - 1 when the range is below 1.
    int ValueToPixel(int value) const;
    // Limited to 0 .. range.
    int PixelToValue(int pixel) const;

    int GetRange() const { return m_nRange; }
    int GetPixel() const { return m_nPixel; }
    int GetMinimum() const { return m_nMin; }
    int GetMaximum() const { return m_nMax; }
    BOOL IsDragging() const { return m_bDrag; }

protected:
    // Moves the thumb to a pixel (the current pixel is still the old one).
    virtual void MoveThumb(int) {}
    // Notice 4096 with the value.
    virtual void ReportValue(int value);
    // Repaints the full-height band between two pixels.
    void InvalidateBand(int a, int b);

    int m_nMin = 0;
    int m_nMax = 0;
    BOOL m_bDrag = FALSE;
    int m_nRange = 0;
    int m_nPixel = -1;
};

class IxImageSliderView : public IxSliderView {
public:
    // What a press grabbed.
    enum Grab : int {
        GRAB_NONE = 0,
        GRAB_THUMB = 1,
        GRAB_LOWER = 2,
        GRAB_UPPER = 3,
    };

    IxImageSliderView() = default;
    ~IxImageSliderView() override;

    int OnInput(int code, LPARAM data) override;
    int Layout(LPARAM arg) override;
    void Draw(IxPaintRecord* record) override;

    // Each image's reference passes to the view.
    void SetThumbImage(IxImage* image, int baseline);
    void SetBarImages(IxImage* before, IxImage* after, IxImage* firstFill, IxImage* secondFill, int baseline);
    void SetMarkerImages(IxImage* lower, IxImage* upper, int baseline, int width, int height, int lowerOffset,
                         int upperOffset);
    // -1: no handle.
    void SetHandles(int lower, int upper);
    void SetMinimalDistance(int distance) { m_nMinDistance = distance; }

    int GetLowerHandle() const { return m_nLower; }
    int GetUpperHandle() const { return m_nUpper; }
    int GetDragMode() const { return m_nDragMode; }

protected:
    void MoveThumb(int pixel) override;
    // Moves a handle from one pixel to another (marker GRAB_LOWER or
    // GRAB_UPPER).
    virtual void MoveHandle(int from, int to, int marker);
    // Drag reports: begun, moved, ended. The thumb's post 4100, 4101 and
    // 4102 with the value; the handles' nothing.
    virtual void DragBegun(int mode, int value);
    virtual void Dragged(int mode, int value);
    virtual void DragEnded(int mode, int value);

private:
    BOOL HandlesInOrder() const { return m_nLower >= 0 && m_nUpper >= 0 && m_nLower <= m_nUpper; }
    RECT BarRect(IxImage* image, int from, int to) const;
    RECT MarkerRect(int handle, int offset) const;
    RECT ThumbRect() const;
    // A press in x on the piece [left, right).
    static bool Within(int x, int left, int width) { return x >= left && x < left + width; }
    // The drag's move to x; reports Dragged when something moved.
    void DragTo(int x);

    IxImage* m_pThumb = nullptr;
    int m_nThumbBaseline = 0;
    int m_nThumbWidth = 0;
    int m_nThumbHeight = 0;
    IxImage* m_pLowerMarker = nullptr;
    IxImage* m_pUpperMarker = nullptr;
    int m_nMarkerBaseline = 0;
    int m_nMarkerWidth = 0;
    int m_nMarkerHeight = 0;
    int m_nLowerOffset = 0;
    int m_nUpperOffset = 0;
    IxImage* m_pBefore = nullptr;
    IxImage* m_pAfter = nullptr;
    IxImage* m_pFill[2]{};
    int m_nMinDistance = 1;
    int m_nBarBaseline = 0;
    int m_nLower = -1;
    int m_nUpper = -1;
    int m_nDragMode = GRAB_NONE;
    int m_nGrab = 0;
};
