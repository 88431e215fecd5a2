// Events: the codes of IxReceiver::OnEvent, sent by the kernel, the frame
// and the elements themselves.
#pragma once

enum : int {
    IXEV_ATTACHED = 1,         // from state change IXSS_ATTACH
    IXEV_CHILDRENATTACHED = 2, // views, after their children
    IXEV_RESUMED = 3,
    IXEV_PAUSED = 4,
    IXEV_SELECTIONOFFERED = 5, // an edit offers its selection to itself
    IXEV_POLL = 6,             // a list's poll timer asks its items; non-zero: still busy
    IXEV_KEYEDEVENT = 8,       // kernel service 5, to the element of keyed record 0 (param: the service's value)
    IXEV_FOCUSIN = 10,
    IXEV_FOCUSOUT = 11,
    IXEV_HIDDEN = 12,
    IXEV_POINTERNOTICE = 15, // param: IxPointerNotice*
    IXEV_PICTUREREADY = 16,  // a picture requested by the element is ready
    IXEV_DETACHED = 17,
    IXEV_CHILDNOTICE = 20, // param: IxChildNoticeEvent*
    IXEV_CHILDDATA4 = 21,  // 21..24: kinds 4..7, param: IxChildDataEvent*
    IXEV_RECALL = 25,      // param: the recall code
    IXEV_VALUE = 27,
    IXEV_UNMARKED = 28,
    IXEV_SIZECHANGED = 29,
    IXEV_SHOWN = 30,
    IXEV_CURRENTCHANGED = 31,   // a view's current child changed (param -1); 0 lets the notice go out
    IXEV_SELECTIONCHANGED = 32, // a view's selection changed (param -1); 0 lets the notice go out
    IXEV_RESELECTED = 33,       // the selected child was clicked again
    IXEV_MARKED = 35,
    IXEV_TIMER = 36, // param: the timer's id
    IXEV_ENABLED = 38,
    IXEV_DISABLED = 39,
    IXEV_INPUTALLOWED = 40,
    IXEV_INPUTREFUSED = 41,
    IXEV_SELECTED = 42,
    IXEV_UNSELECTED = 43,
    IXEV_CURRENT = 44,
    IXEV_NOTCURRENT = 45,
    IXEV_PRESSED = 46,
    IXEV_RELEASED = 47,
    IXEV_CLICKED = 49,     // reported with AEV_OWNEVENT: a press on the element
    IXEV_REPRESSED = 50,   // reported with AEV_OWNEVENT: a repeated press
    IXEV_LAYERCLOSED = -1, // param: an object handed back
    IXEV_HANDBACK = -2,    // param: an object handed back for deletion
    IXEV_GESTUREENDED = -3,
    IXEV_LONGPRESS = -4,
    IXEV_DRAGSTATE = -5,  // param 1 started, 0 not
    IXEV_BUILT = -6,      // a view created on activation has built its children
    IXEV_UNBUILDING = -7, // ... is about to delete them
};
