// A child-window view that hides itself: after a time from its attach, and,
// when asked, on a press anywhere on it that hits none of its children.
// Hiding removes its layer from the kernel's layer stack.
#pragma once

#include "Lib_cpp/controls/ChildWindowView.h"

class IxAutoHideWindowView : public IxChildWindowView {
public:
    // hideTime in ms (0 = none).
    IxAutoHideWindowView(int hideTime, BOOL hideOnOutsidePress);

    // 1 starts the hide timer; 4 takes the pointer to the own window; 12
    // removes the view's layer; 17 stops the timers; 36 (the hide timer)
    // hides the view.
    LRESULT OnEvent(int code, LPARAM param) override;
    // With hide-on-outside-press the view itself is the target where no
    // child is hit.
    IxElement* FindTarget(int inputCode, POINT point) override;
    // With hide-on-outside-press a press (input 0) on the view hides it.
    int OnInput(int code, LPARAM data) override;

    int GetHideTime() const { return m_nHideTime; }

protected:
    // Sets the hide timer again to the full hide time (none without one).
    void RestartHideTimer();

private:
    void ReleaseOwnCapture();

    int m_nHideTime; // also the id of its timer
    BOOL m_bHideOnOutsidePress;
};

// The action an auto-hide view listens to and the kinds that re-arm it;
// their meaning is the application's.
enum : int {
    IXA_AUTOHIDEREQUEST = 8000,
    IXAH_REQUESTFIRST = 102,
    IXAH_REQUESTSECOND = 104,
};

// An auto-hide view that listens to IXA_AUTOHIDEREQUEST while attached: the
// kinds IXAH_REQUESTFIRST and IXAH_REQUESTSECOND go to OnRequest and re-arm
// the hide timer; other kinds are taken and do nothing.
class IxListeningAutoHideView : public IxAutoHideWindowView {
public:
    IxListeningAutoHideView(int hideTime, BOOL hideOnOutsidePress) : IxAutoHideWindowView(hideTime, hideOnOutsidePress)
    {
    }

    LRESULT OnEvent(int code, LPARAM param) override;
    int ActionIsInvoked(int code, int kind, LPARAM param) override;

protected:
    virtual void OnRequest(LPARAM, int) {}

private:
    const DWORD m_filter[2] = {static_cast<DWORD>(IXA_AUTOHIDEREQUEST), 0};
};
