// The vocabulary of actions: an action word carries an id in its low half
// and a kind in its high half. The kinds are shared by every sender; the ids
// below are the ones the framework reserves for itself (the application's
// own ids lie elsewhere).
#pragma once

#include "platform/base/Types.h"

// Action kinds (the high half of an action word).
enum : int {
    AEV_DEFAULT = 4096,      // the plain action: a command, a device present or mounted, progress
    AEV_PRESS = AEV_DEFAULT, // a key pressed
    AEV_CLICK = AEV_DEFAULT, // an element was clicked
    AEV_RELEASE = 4097,      // a key released
    AEV_FAILED = 4098,
    AEV_ABORT = 4099, // stopped before the end; a press wrapper's gesture cancelled
    AEV_BEGIN = 4100,
    AEV_PROGRESS = 4101, // between begin and complete: a drag moved
    AEV_COMPLETE = 4102,
    AEV_OWNEVENT = 4103,         // an element's own event or input code, reported by a current item
    AEV_SELECTIONCHANGED = 4104, // a view's selected child changed
    AEV_CURRENTCHANGED = 4105,   // a view's current child changed
    AEV_LISTSCROLL = 4106,       // a list's scroll position (top or first line low, last or line count high)
    // The timed gestures of a press wrapper; the value is whether the
    // pointer is over the content.
    AEV_HOLDSTART = 4108,        // a new press (a hold delay is set)
    AEV_DOUBLEAFTERSHORT = 4109, // a press within the window after a short press
    AEV_EARLYREPEAT = 4110,      // a repeat tick before the hold delay ran out
    AEV_SHORTPRESS = 4111,       // released before the hold delay
    AEV_SHORTEND = 4112,         // the short-press sequence ended
    AEV_LONGPRESS = 4113,        // the hold delay ran out (or a press with only a repeat)
    AEV_DOUBLEAFTERLONG = 4114,  // a press within the window after a long press
    AEV_HOLDREPEAT = 4115,       // a repeat tick while held
    AEV_LONGRELEASE = 4116,      // released after the hold delay
    AEV_LONGEND = 4117,          // the long-press sequence ended
    // The stepping mode of a key-bound press wrapper (value 0).
    AEV_STEPBEGIN = 4120,   // a series of steps begins
    AEV_STEPBACK = 4121,    // one step back
    AEV_STEPFORWARD = 4122, // one step forward
    AEV_STEPSTOP = 4123,    // the series was stopped
    AEV_STEPTIMEOUT = 4124, // the series ended by time-out
    AEV_ITEMNOTICE = 4126,  // an item container's item reported a click or press (value: data index)

    AEV_REPEAT = 4127, // a repeated press
    AEV_ATTACH = 4128,
    AEV_DETACH = 4129,
    AEV_PRESSED = 4130,        // pressed (press tracking starts)
    AEV_LEFT = 4131,           // the pointer left the pressed element
    AEV_REENTERED = 4132,      // the pointer came back onto it
    AEV_RELEASEDINSIDE = 4133, // released on the element (the click follows)
    AEV_RELEASEDIDLE = 4134,   // released while not pressed
    AEV_ARGS = 4135,           // the value is an argument record of a forwarded message
};

// Action ids the framework reserves.
enum : int {
    IXA_WINDOWNOTICE = 1,     // a notice to the frame window; the kind is an IXNOTICE_* code
    IXA_NOSENDER = 4,         // a child window's command or notice without a sender
    IXA_FILECHANGETIMER = 10, // the frame's file-change delay timer
    IXA_ASKCLOSE = 11,        // the frame asks its hook (kind AEV_DEFAULT) whether it may close
    IXA_ASKSHOW = 12,
    IXA_ASKHIDE = 13,
    IXA_INVALIDATEALL = 14, // the frame tells its hook that the whole frame is redrawn
    IXA_TEXTCOMMAND = 15,   // a command of the soft keyboard (value: the command)
    IXA_FONTCHANGED = 16,   // value: the font table index
    IXA_FONTCOLORCHANGED = 17,
    IXA_FIRSTSYSTEM = 21, // ids 21 to 50 still reach a stopped frame
    IXA_LASTSYSTEM = 50,
    IXA_DEVICEEVENT = 30,       // queued by the device manager: kind = event, value = reported number
    IXA_PLATFORMNOTICE = 31,    // a platform device arrival (AEV_ATTACH) or removal (AEV_DETACH)
    IXA_DEVICENOTICE = 32,      // value = device number; AEV_DEFAULT ready, AEV_FAILED, AEV_ATTACH, AEV_DETACH
    IXA_ALIASNOTICE = 33,       // value = alias number; same kinds
    IXA_FORCENOTICE = 34,       // value = device number; AEV_DEFAULT force mounted, AEV_ATTACH force present
    IXA_FILENOTICE = 35,        // the folder watcher has notices
    IXA_FILECHANGE = 51,        // the file-change refresh is due
    IXA_FILEJOB = 53,           // the notify target of the copy jobs
    IXA_PICTUREREADY = 56,      // value: a weak reference to the element whose picture is ready
    IXA_COPYDATA = 69,          // a WM_COPYDATA arrived (value: the sender and the data)
    IXA_BROADCASTMESSAGE = 74,  // a forwarded broadcast message (kind AEV_ARGS)
    IXA_BACK = 201,             // the back command (value: the screen id)
    IXA_CLOSEVIEW = 202,        // a screen closes itself without going back (value: the screen id)
    IXA_VIEWENTERED = 310,      // broadcast: a full screen came up (value: its id)
    IXA_PIPVIEWENTERED = 311,   // broadcast: a picture-in-picture screen came up
    IXA_VIEWLEFT = 312,         // broadcast: a screen went
    IXA_INDICATOREVENT = 501,   // a sheet's indicator event (value: the caller's)
    IXA_MODELBROADCAST = 13401, // the models' broadcast form (value: the model id)
};

// Notices to the frame window: action IXA_WINDOWNOTICE, the code in the
// kind.
enum : int {
    IXNOTICE_SERVICE1 = 1,       // kernel service 23 (value: the service's)
    IXNOTICE_SERVICE2 = 2,       // kernel service 24
    IXNOTICE_SOFTKEY_FINISH = 3, // the focus left an element (also kernel service 25): the soft keyboard finishes
    IXNOTICE_SOFTKEY = 4,        // a character of the soft keyboard (value: the character)
    IXNOTICE_EXTERNAL = 7,       // the repaint notice for external watchers
};
