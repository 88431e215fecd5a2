// The scroll engine of the kernel frame: the scroll records of the
// scrollable elements (services 30 and 31), pixel and stepped scrolling by
// the pointer, and flings, each run by a frame timer whose id is the flung
// element. A part of the gesture engine; it works through the frame's public
// side only (its kernel, and the frame as the owner of the fling timers).
#pragma once

#include "Lib_cpp/core/Containers.h"
#include "Lib_cpp/frame/FrameCodes.h"
#include "platform/base/Types.h"

class IxElement;
class IxKernelFrame;
class IxVelocitySampler;
struct IxGestureRecord;

// The scroll record of a scrollable element (service 30). Offsets are the
// content's position relative to the visible area: 0 at the start, down to
// viewport - content at the end. Index 0 is x, 1 is y.
struct IxScrollRecord {
    int nMode;           // 0 free pixel scrolling, else the step of stepped scrolling
    IxElement* pElement; // also the id of its fling timer
    int viewport[2];
    int offset[2];
    int content[2];
    int maxOffset[2];
    int limit[2]; // fling distance limit; below 1 unlimited
    int velocity[2];
    int firstStep[2]; // the fling's first step; the drag anchor of stepped scrolling
    int speed[2];     // px per fling step while the fling runs
    int total[2];     // the fling's distance
    int travelled[2];
    int reserved[2];
    int decayStart[2]; // the travelled distance from which the fling slows down
    int decaySteps[2]; // fling steps taken
    int baseSpeed[2];  // the speed a fling starts from (before the velocity's boost)
};

class IxScrollEngine {
public:
    IxScrollEngine(IxKernelFrame& frame, const IxGestureConstants& constants) : m_frame(frame), m_gc(constants) {}
    IxScrollEngine(const IxScrollEngine&) = delete;
    IxScrollEngine& operator=(const IxScrollEngine&) = delete;

    // Index of the element's record, -1 when it has none.
    int Find(const IxElement* element) const;
    // The element's record, or null (valid until the next input).
    const IxScrollRecord* RecordOf(const IxElement* element) const;
    // Drops the element's record and stops its fling.
    void Remove(IxElement* element);
    BOOL IsFlingRunning(IxElement* element);
    // Stops the element's fling timer; the record stays.
    void StopFling(IxElement* element);

    // Service 30: registers or updates the element's record with the
    // scrolling mode; a velocity in the record starts a fling.
    void Register(const IxGestureRecord* record, int mode);
    // Service 31: new distance limits of a registered element.
    void SetLimits(const IxGestureRecord* record);

    // A press: every element whose fling runs hears it; true when one of them
    // consumed it.
    BOOL PressDuringFling(POINT point);
    // Stepped scrolling counts its steps from the press point.
    void AnchorSteps(IxElement* element, POINT point);
    // Scrolls the element by the pointer's move from last to point; false
    // when the element stopped the scrolling.
    BOOL ScrollBy(IxElement* element, POINT point, POINT last);
    // Starts the element's fling, with the velocity of the samples or (no
    // samples) the one in its record; without a fling the element hears
    // that the scrolling ended.
    void Fling(IxElement* element, const IxVelocitySampler* samples);
    // A fling timer: one step of the element's fling; a timer whose record
    // is gone is killed.
    void OnTimer(UINT_PTR id);

private:
    void FlingStep(IxElement* element);

    IxKernelFrame& m_frame;
    const IxGestureConstants& m_gc;
    IxArray<IxScrollRecord> m_scrolls{8};
};
