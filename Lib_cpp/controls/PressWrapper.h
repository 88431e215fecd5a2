// The press wrapper: an element wrapper that adds timed gestures to any
// pressable content: a hold delay (long press), repeat ticks while held
// (early ones before the hold delay runs out, regular ones after it) and a
// window after each release in which a new press counts as a second press.
// Each stage is reported to the owner as its own notice (AEV_HOLDSTART ..
// AEV_LONGEND) with the wrapper's id and, as value, whether the pointer is
// over the content. An optional overlay element is shown pressed and
// shifted while the content is held.
#pragma once

#include "Lib_cpp/controls/ElementWrapper.h"

class IxPressWrapper : public IxElementWrapper {
public:
    // No overlay, no early repeat, no double-press window.
    IxPressWrapper(IxElement* content, int holdDelay, int repeatInterval);
    // Intervals in ms, 0 = none. The overlay (owned, may be null) keeps its
    // rectangle in the wrapper's coordinates and moves by (shiftX, shiftY)
    // while pressed.
    IxPressWrapper(IxElement* content, int holdDelay, int earlyRepeatInterval, int repeatInterval,
                   int doublePressWindow, IxElement* overlay, int shiftX, int shiftY);
    ~IxPressWrapper() override;

    // Timers of the gesture; hide, show, mark and enable reach the overlay
    // too; detach cancels the gesture first.
    LRESULT OnEvent(int code, LPARAM param) override;
    int Layout(LPARAM arg) override;
    // The content, then the overlay.
    void Draw(IxPaintRecord* record) override;
    // The content's press notices drive the gesture.
    int OnChildNotify(int kind, LPARAM data, IxElement* sender, IxElement* origin) override;
    void SetState(int state, LPARAM param) override;
    // IXP_CANCELGESTURE cancels the gesture; other ids go to the content.
    int SetProperty(int id, LPARAM value) override;

    IxElement* GetOverlay() const { return m_pOverlay; }
    BOOL IsArmed() const { return m_bArmed; }
    BOOL IsTracking() const { return m_bTracking; }
    int GetDoublePressWindow() const { return m_nDoublePressWindow; }

protected:
    // The content's subtree, then the overlay's.
    IxElement* SearchOwned(int kind, int id, IxArray<IxElement*>* out, IxElement* from, IxElement* stop) override;
    // Whether any interval makes the wrapper follow presses.
    bool HasGesture() const { return m_nHoldDelay || m_nEarlyRepeat || m_nRepeat; }
    // One press notice (AEV_PRESSED .. AEV_RELEASEDIDLE) of the content.
    void OnPressNotice(int code);
    // Broadcasts AEV_ABORT when armed and disarms; every timer stops; a
    // detach also ends the tracking.
    void Cancel(BOOL detach);
    // Posts the gesture notice with the inside flag as value.
    void Report(int code);
    BOOL TimerRuns(const void* field) const;
    void StartTimer(const void* field, int interval);
    void StopTimer(const void* field);
    // Shows the overlay pressed and shifted, or released and back in place.
    void PressOverlay(bool down);

    IxElement* m_pOverlay = nullptr;
    int m_nShiftX = 0;
    int m_nShiftY = 0;
    int m_nHoldDelay = 0;
    int m_nEarlyRepeat = 0;
    int m_nRepeat = 0;
    int m_nDoublePressWindow = 0; // also the id of the window after a long press
    BOOL m_bInside = FALSE;       // also the id of the window after a short press
    BOOL m_bTracking = FALSE;
    BOOL m_bArmed = FALSE;
    bool m_bOverlayDown = false;
};
