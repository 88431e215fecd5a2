// An external program's link as the program's model sees it: the
// operations the model passes on (launch, stop, the layout, holds, show and
// hide), the events that reach the model for the link (the program's
// notifications, forwarded by the kernel as IXA_BROADCASTMESSAGE), and the
// reports the link gives back (LumoNotice, the report codes of the link).
//
// The model owns its link and deletes it with itself. User-interface thread
// only.
#pragma once

#include "platform/base/Types.h"

// What a link reports to its model (the kind of the model's action
// MLA_EXTAPPREPORT, whose value is the reporting link).
enum class LumoNotice : int {
    WarningClosed = 10, // the program's warning was closed (while its window is known)
    WindowKnown = 12,   // the program's window was found after its init notice
    Started = 13,       // the program started and its window is known: it is ready
    LayoutChanged = 34, // the picture's layout or place on top changed: the picture shows
    VisibleSet = 35,    // the picture was shown or hidden on request: the video is on
    Hidden = 36,        // the program hid its picture itself: the video is off
};

class IxExtAppBridge {
public:
    virtual ~IxExtAppBridge() = default;

    // Starts the program's side of the link; 1 when it may run.
    virtual BOOL AppLaunch() = 0;
    // Stops the link; a non-zero flag asks the program to close. The link's
    // answer.
    virtual LRESULT AppStop(int flag) = 0;
    // The layout the link keeps (-1 none, 0 full, 1 picture-in-picture).
    virtual int AppGetLayout() const = 0;
    // on: later show, hide and layout requests wait until the hold ends
    // (off), when the newest of them runs. value: what the caller passes
    // with the hold (the links built so far need none).
    virtual void AppHold(BOOL on, int value) = 0;
    // Sends the current layout and the show or hide state again.
    virtual void AppSync() = 0;
    virtual LRESULT AppSetLayout(int layout) = 0;
    // Shows the picture in the layout (flag: the caller's view).
    virtual LRESULT AppShow(int flag, int layout) = 0;
    // A show while the picture is shown or its show is under way.
    virtual LRESULT AppShowAgain(int flag) = 0;
    // A value the model passes on to the link.
    virtual LRESULT AppNotify(int value) = 0;
    virtual LRESULT AppHide() = 0;
    // Withdraws a show that the program has not confirmed yet.
    virtual LRESULT AppCancelShow() = 0;
    // An event for the link (a forwarded message: kind and its record).
    virtual BOOL AppEvent(int kind, LPARAM parameter) = 0;
};
