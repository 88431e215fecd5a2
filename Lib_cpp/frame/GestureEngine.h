// The pointer gesture engine of the kernel frame: it takes the main window's
// pointer messages from the frame, accepts or drops presses, dispatches them
// and follows the gesture the pressed element chose (press tracking, drag
// and drop, long press, swipe, scrolling with fling) until the release. It
// keeps the pointer state, the gesture constants, the velocity sampler and,
// in its scroll engine, the scroll records. A part of the kernel frame, which
// it works on; the frame keeps hit testing over its layers and the hook's
// share of the input.
#pragma once

#include "Lib_cpp/frame/FrameCodes.h"
#include "Lib_cpp/frame/ScrollEngine.h"
#include "Lib_cpp/frame/VelocitySampler.h"
#include "platform/base/Types.h"

class IxElement;
class IxKernelFrame;

class IxGestureEngine {
public:
    explicit IxGestureEngine(IxKernelFrame& frame) : m_frame(frame) {}
    IxGestureEngine(const IxGestureEngine&) = delete;
    IxGestureEngine& operator=(const IxGestureEngine&) = delete;

    // Pointer messages (window coordinates).
    void DoMouseMove(WPARAM keys, int x, int y, BOOL* startedDrag);
    void DoLButtonDblClk(WPARAM keys, int x, int y);
    void DoLButtonDown(WPARAM keys, int x, int y);
    void DoLButtonUp(WPARAM keys, int x, int y);
    void OnCaptureLost();

    // Ends the running gesture: the drag layer goes, the capture is given
    // back and the pointer timers stop.
    void EndPointerGesture();
    // Forgets the gesture without ending it (a frame that is being created).
    void ClearGesture();
    // The drag lost its drag layer: the dragged element hears that the drop
    // was cancelled and the gesture is over. False when no drag runs.
    BOOL CancelDrag();
    // The element is being deleted: the engine lets go of it.
    void ForgetElement(IxElement* element);
    // The engine's timers (delayed release, long press, flings); every other
    // id is killed.
    void OnTimer(UINT_PTR id);
    // Services 30 to 33: the scroll records.
    LRESULT ScrollService(int code, void* record, LPARAM value);

    int GetGestureMode() const { return m_nGestureMode; }
    IxElement* GetGestureElement() const { return m_pGestureElement; }
    // A drag runs whose source is its own drop target.
    BOOL IsDragOnSource() const;
    BOOL IsDragSource(const IxElement* element) const;
    IxGestureConstants& GestureConstants() { return m_gc; }
    const IxScrollRecord* ScrollRecordOf(const IxElement* element) const { return m_scrolls.RecordOf(element); }
    // The engine's bits of the frame state (IXFS_CAPTURE, IXFS_DELAYEDRELEASE,
    // IXFS_SUSPENDED, IXFS_DRAGLAYER).
    DWORD GetState() const { return m_dwState; }
    // Last pointer position in frame coordinates.
    POINT GetPointerPos() const { return m_ptPointer; }
    // Whether the pointer moved since the last press.
    BOOL HasMoved() const { return m_bMoved; }

private:
    void DispatchPress(int code, POINT point);
    void GestureInput(int code, POINT point);
    void StartSampling(POINT point);
    void SwipeClass(POINT point, BOOL useThreshold, int* dirX, int* dirY) const;
    void ScrollMove(POINT point);
    void DragMove(POINT point);
    void DragRelease(POINT point);
    void Tap(IxElement* element, POINT point);
    void ReleasePointerCapture();

    IxKernelFrame& m_frame;
    DWORD m_dwState = 0;
    IxElement* m_pGestureElement = nullptr; // the element of the running pointer gesture
    int m_nGestureMode = 0;
    IxElement* m_pDropTarget = nullptr; // of an item drag (gesture mode 3)
    POINT m_ptPointer{0, 0};            // frame coordinates
    BOOL m_bMoved = FALSE;
    POINT m_ptWindow{0, 0}; // last pointer point, window coordinates
    POINT m_ptPress{0, 0};  // of the last accepted press (swipe classes)
    DWORD m_dwPressTime = 0;
    POINT m_ptDispatch{0, 0};         // where the gesture's press was dispatched
    IxElement* m_pHover = nullptr;    // element under the dragged view
    int m_nMoveThreshold = 0;         // of the current press
    BOOL m_bReleasingCapture = FALSE; // the engine itself gives the capture back
    IxGestureConstants m_gc;
    IxVelocitySampler m_sampler;
    IxScrollEngine m_scrolls{m_frame, m_gc};
};
