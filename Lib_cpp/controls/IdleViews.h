// Views with an idle timer: they notice every press and release on the
// screen (the kernel's pointer-notice view) and act when nobody touched them
// for their period.
//
// - IxIdleTimerView: hides its panel (child 3309) after the period; a tap
//   toggles the panel; a touch held inside keeps it up.
// - IxIdleFrameView: a frame view that queues its command after the period.
//   It subscribes to the actions of two lists: a swallowed action is
//   consumed; a passed action first queues the command and then goes on,
//   queued again behind it.
#pragma once

#include "Lib_cpp/controls/FrameView.h"
#include "Lib_cpp/core/Containers.h"
#include "Lib_cpp/kernel/Kernel.h"
#include "platform/base/Types.h"

// The panel of an idle timer view.
inline constexpr int kIxIdlePanelId = 3309;

class IxIdleTimerView : public IxView {
public:
    // period in ms: its magnitude is the idle time (1 or less: none).
    explicit IxIdleTimerView(int period) : m_nPeriod(period) {}

    LRESULT OnEvent(int code, LPARAM param) override;
    // A tap toggles the panel (a press with click on press at once); a move
    // makes the press no tap.
    int OnInput(int code, LPARAM data) override;

    BOOL IsPanelShown();
    // Sets the idle timer unless the view is held.
    void RestartIdleTimer();
    // A non-zero holder holds the view (the timer stops); 0 lets it go
    // unless a touch is down.
    void HoldTimer(LPARAM holder);
    // Shows the panel when hidden and, unless a touch is down, restarts the
    // timer.
    void RestartTimer();
    void TogglePanel();
    // Shows or hides the panel. Non-zero when done.
    virtual int ShowPanel(BOOL show);

    BOOL IsTouched() const { return m_bTouched; }
    LPARAM GetHolder() const { return m_lHolder; }
    UINT_PTR TimerId() const { return IxTimerId(&m_nPeriod); }

protected:
    // Called when the view is attached.
    virtual void OnIdleAttached() {}

private:
    void KillIdleTimer();
    void OnTouch(int kind, POINT point);

    BOOL m_bTouched = FALSE;
    LPARAM m_lHolder = 0;
    int m_nPeriod;
    BOOL m_bPressed = FALSE;
};

class IxIdleFrameView : public IxFrameView {
public:
    // period in ms (its magnitude is the idle time; negative: a tap does not
    // end the view); command: the action id queued at the end.
    IxIdleFrameView(int period, int command) : m_nPeriod(period), m_nCommand(command) {}

    LRESULT OnEvent(int code, LPARAM param) override;
    // A swallowed action is consumed. A passed action queues the command and
    // is queued again; when that copy comes back it goes on to the others.
    int ActionIsInvoked(int code, int kind, LPARAM param) override;
    int OnInput(int code, LPARAM data) override;

    // Queues {command, AEV_DEFAULT} with the view's id.
    void PostTimeoutCommand();
    // Sets the idle timer unless the view is held.
    void RestartIdleTimer();

    // The lists are read when the view is attached.
    IxArray<int>& PassList() { return m_pass; }
    IxArray<int>& SwallowList() { return m_swallow; }
    UINT_PTR TimerId() const { return IxTimerId(&m_nPeriod); }

protected:
    LPARAM m_lAttachWord = 0; // cleared on attach
    LPARAM m_lHolder = 0;     // non-zero: the idle timer is not started

private:
    struct Passing {
        int nCode;
        int nKind;
        LPARAM lValue;
    };
    void KillIdleTimer();
    void SubscribeAll(BOOL on);

    int m_nPeriod;
    int m_nCommand;
    BOOL m_bPressed = FALSE;
    IxArray<int> m_pass{8};
    IxArray<int> m_swallow{8};
    IxArray<Passing> m_passing{8}; // actions queued again, due back once each
};
