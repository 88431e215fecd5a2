// The key-bound press wrapper: hard keys drive the timed gestures of the
// press wrapper. The element (usually hidden, without content) subscribes to
// one, two or three action ids of the kernel while it is attached and
// enabled. In gesture mode the press of the first id stands for a finger
// pressing the wrapper and its release (one id) or the press of the second
// id (two ids) for the finger lifting, so the owner gets the same short,
// long and repeat notices as for a touch. With a third id the wrapper steps
// instead: forward on the first id, back on the second, stop on the third,
// reported as AEV_STEPBEGIN .. AEV_STEPTIMEOUT.
#pragma once

#include "Lib_cpp/controls/PressWrapper.h"

class IxKeyPressWrapper : public IxPressWrapper {
public:
    // secondCode 0: one id, whose release lifts. No content, no early
    // repeat, no overlay; the double-press window is also the stepping
    // mode's period.
    IxKeyPressWrapper(int firstCode, int secondCode, int holdDelay, int repeatInterval, int doublePressWindow);
    // A third id (0 = gesture mode) turns on the stepping mode.
    void SetThirdCode(int code) { m_nThirdCode = code; }

    // Subscribes at attach and enable, unsubscribes at detach and disable;
    // the step timer ends a series.
    LRESULT OnEvent(int code, LPARAM param) override;
    // Presses (and in one-id mode the release) of the bound ids; 1 when
    // taken.
    int ActionIsInvoked(int code, int kind, LPARAM param) override;
    // IXP_CANCELGESTURE cancels (1); other ids go to the press wrapper.
    int SetProperty(int id, LPARAM value) override;

    BOOL IsSubscribed() const { return m_bSubscribed; }

private:
    bool Stepping() const { return m_nThirdCode != 0; }
    void Subscribe();
    void Unsubscribe();
    // Gives itself the content's press notice (AEV_PRESSED or
    // AEV_RELEASEDINSIDE).
    void NotifySelf(int code);
    void Step(bool forward);
    void Stop();
    void CancelKeys();

    int m_nFirstCode;
    int m_nSecondCode;
    int m_nThirdCode = 0; // also the id of the step timer
    BOOL m_bSubscribed = FALSE;
};
