// The self-drawn slider or scroll bar: a track, a thumb and two step
// buttons, each an image. Pressing a button steps the value at once and then
// every repeat period, faster once the press is older than the acceleration
// delay; pressing the track steps toward the point, at most the largest
// track step at a time; dragging the thumb sets the value. Every change is
// reported as notice 4096 (the value says what moved it).
#pragma once

#include "Lib_cpp/controls/Element.h"
#include "platform/base/Types.h"

class IxImage;

class IxSliderBar : public IxElement {
public:
    // The pressed part (and the notice values of the steps).
    enum Part : int {
        PART_NONE = 0,
        PART_THUMB = 1,
        PART_TRACK = 2,
        PART_INCREASE = 3,
        PART_DECREASE = 4,
    };
    // Notice values of a step.
    enum : int {
        STEP_BYTRACK = 2,
        STEP_DOWN = 4,
        STEP_UP = 5,
    };

    // vertical: non-zero for a bar along y. Range and value start at -1.
    IxSliderBar(BOOL vertical, int largestTrackStep, int repeatMs, int accelerationDelayMs, int fastStep);
    ~IxSliderBar() override;

    LRESULT OnEvent(int code, LPARAM param) override;
    IxElement* FindTarget(int, POINT) override { return this; }
    int OnInput(int code, LPARAM data) override;
    int Layout(LPARAM arg) override;
    void Draw(IxPaintRecord* record) override;
    int Query(int code, LPARAM* out) override;
    int SetProperty(int id, LPARAM value) override;
    int OnCreate(const IxElementParams*) override { return 1; }

    int GetRange() const { return m_nRange; }
    int GetValue() const { return m_nValue; }
    int GetPressedPart() const { return m_nPressed; }
    // The part's rectangle in element coordinates.
    RECT GetPartRect(Part part) const;

private:
    // Index of the images and rectangles.
    enum : int { TRACK, THUMB, INCREASE, DECREASE, PARTS };

    static int IndexOf(int part); // -1 for PART_NONE
    static int PartOf(int index);
    // Element and axis frames: the axis frame's x runs across the bar, its
    // y along it; for a horizontal bar the two are exchanged.
    RECT ToElement(const RECT& rc) const;
    POINT ToAxis(POINT point) const;
    int Along() const;
    int Across() const;
    SIZE AxisSize(IxImage* image) const;

    int TravelStart() const;
    int TravelEnd() const;
    int ThumbLength() const { return m_rcPart[THUMB].bottom - m_rcPart[THUMB].top; }
    int ValueToPixel(int value) const;
    int PixelToValue(int pixel) const;
    // Moves the thumb to the value's place, repainting where it was and is.
    void PlaceThumb();
    void MoveThumbTo(int along);
    void RepaintPart(int index);
    BOOL SetPartFrame(int index, int frame);
    UINT_PTR TimerOf(int index) const { return reinterpret_cast<UINT_PTR>(&m_rcPart[index]); }
    void OnStepTimer(int index);
    void Step(int delta, LPARAM noticeValue);
    void SetRangeAndValue(int range, int value);

    IxImage* m_pImage[PARTS]{};
    RECT m_rcPart[PARTS]{};
    BOOL m_bVertical;
    int m_nRepeatMs;
    int m_nLargestTrackStep;
    int m_nAccelerationMs; // -1: never
    int m_nFastStep;
    int m_nRange = -1;
    int m_nValue = -1;
    int m_nPressed = PART_NONE;
    POINT m_ptLast{0, 0}; // axis frame
    BOOL m_bFast = FALSE;
    DWORD m_dwPressTick = 0;
};
