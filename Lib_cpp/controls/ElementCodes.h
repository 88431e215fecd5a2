// The vocabulary of elements: the flag word, input codes, state changes,
// properties, state image frames and the creation record's content kinds.
// Events are the kernel's (kernel/EventCodes.h), notices are action kinds
// (core/ActionCodes.h).
#pragma once

#include "Lib_cpp/core/ActionCodes.h"
#include "Lib_cpp/kernel/EventCodes.h"
#include "platform/base/Types.h"

// Flag word of an element.
enum : DWORD {
    IXF_REPEAT = 0x1, // takes the repeated press (input 2)
    IXF_SELECTED = 0x10,
    IXF_CURRENT = 0x20, // current item: reports its own events as notice 4103
    IXF_PRESSED = 0x40,
    IXF_MARKED = 0x100,
    IXF_HIDDEN = 0x200,
    IXF_DISABLED = 0x400,
    IXF_NOINPUT = 0x800,
    IXF_HCENTER = 0x1000,
    IXF_HEND = 0x2000,
    IXF_VCENTER = 0x4000,
    IXF_VEND = 0x8000,
    IXF_CLICKONPRESS = 0x10000,
    IXF_INVALIDATEALL = 0x20000, // a click redraws the whole frame; on the frame: update pending
    IXF_STRETCH = 0x40000,
    IXF_NOTARGET = 0x80000,
    IXF_READONLY = IXF_NOTARGET, // text fields: no editing
    IXF_CHARWRAP = IXF_STRETCH,  // multi-line text: wrap at any character
    IXF_DIRECTNOTIFY = 0x100000,
    IXF_HITCLIENT = 0x200000,
    IXF_FOCUSONCLICK = 0x400000,
    IXF_CARETSHOWN = 0x800000, // text fields: the kernel shows their caret
    IXF_RUNNING = 0x1000000,
    IXF_OWNSLAYER = 0x2000000,
    IXF_GESTURE = 0x4000000,
    IXF_DETACHCHECK = 0x8000000,
    IXF_ACTIVE = 0x10000000,
    IXF_CREATEONACTIVATE = 0x20000000,
    IXF_LAYOUTPENDING = 0x40000000,
    IXF_UPDATEPENDING = 0x80000000,
    IXF_PENDING = IXF_LAYOUTPENDING | IXF_UPDATEPENDING,
};

// Content kinds of the creation record.
enum : int {
    IXCONTENT_IMAGE = 4,
    IXCONTENT_IMAGEARRAY = 5, // IxArray<IxImage*>* (multi-images)
    IXCONTENT_SHARESTRING = 6,
    IXCONTENT_STRINGDATA = 7,
    IXCONTENT_TEXT = 10,
    IXCONTENT_BITMAPFILE = 12,
    IXCONTENT_BITMAPLIST = 13,
    IXCONTENT_DECODEDFILE = 14,
    IXCONTENT_DECODEDLIST = 15,
};

// Input codes (OnInput), as the kernel's input handling and the containers
// send them.
enum : int {
    IXIN_DOWN = 0,        // answer: the gesture (IXGM_*): 0 no tracking, 2 press tracking
    IXIN_REPEAT = 2,      // a double press
    IXIN_PRESSDURING = 4, // to the gesture engine: a press while a gesture runs
    IXIN_DOUBLEPRESS = 6, // to the gesture engine: a double press while a gesture runs
    IXIN_HOVER = 8,       // a move without the button
    IXIN_MOVE = 9,        // data: POINT* in element coordinates
    IXIN_UP = 11,
    IXIN_TAKESREPEAT = 16,  // query: does the element take IXIN_REPEAT
    IXIN_POINTERCODES = 17, // the codes below are the pointer's own; taps, drags and scrolls follow
    IXIN_TAP = 18,
    IXIN_DRAGSTART = 19, // query: 3 drags with the drag layer
    IXIN_DRAGOVER = 20,
    IXIN_DROPQUERY = 21,
    IXIN_DRAGLEAVE = 22,
    IXIN_HOVERQUERY = 23,
    IXIN_DROP = 24,
    IXIN_DROPACCEPTED = 25,
    IXIN_DROPREFUSED = 26,
    IXIN_DROPCANCELLED = 27,
    IXIN_CANDIDATEUP = 28, // a drag candidate was released
    IXIN_SCROLLBY = 29,
    IXIN_SCROLLENDED = 30,
    IXIN_FLINGVELOCITY = 31,
    IXIN_FLINGSTEP = 32,
    IXIN_FLINGENDED = 33,
    IXIN_GESTUREGOESON = 34, // data: POINT* in element coordinates; a press while the element flings
    IXIN_NOHIT = 35,
};

// State changes (SetState).
enum : int {
    IXSS_BUILD = 1,
    IXSS_ATTACH = 2,
    IXSS_RESUME = 3,
    IXSS_PAUSE = 4,
    IXSS_DETACH = 5,
};

// Element properties (SetProperty).
enum : int {
    IXP_BACKGROUND = 1,  // a view's background image
    IXP_IMAGENORMAL = 2, // the image of each of the six states
    IXP_IMAGEDISABLED = 3,
    IXP_IMAGECURRENT = 4,
    IXP_IMAGEPRESSED = 5,
    IXP_IMAGESELECTED = 6,
    IXP_IMAGESELECTEDPRESSED = 7,
    IXP_TOFRONT = 15, // a view's child (value) drawn last
    IXP_TOBACK = 16,  // ... first
    IXP_TEXTNOW = 21, // the text (a held IxString), redrawn now
    IXP_TEXTLATER = 22,
    IXP_TEXTCHARSNOW = 23, // the text from a character array (IxArray<WCHAR>*)
    IXP_TEXTCHARSLATER = 24,
    IXP_TEXTRECORDNOW = 28, // a text record {text, value, marker}
    IXP_TEXTRECORDLATER = 29,
    IXP_CANCELGESTURE = 58, // a press wrapper drops the press it follows
};

// Properties of the text fields and the multi-line view.
enum : int {
    IXP_SCROLLBARH = 19,      // multi-line view: the horizontal scroll bar (an IxSliderBar*, owned from then on)
    IXP_SCROLLBARV = 20,      // ... the vertical one
    IXP_TEXTINSERT = 27,      // IxTextInsertRecord*
    IXP_SELECTION = 32,       // start in the low 16 bits, end in the high 16 (signed)
    IXP_SELECTIONRECORD = 33, // IxTextRange*
};

// Queries (Query).
enum : int {
    IXQ_WINDOW = 2,   // the platform window of a child-window view
    IXQ_STRINGS = 11, // out: an IxStringArray* that gets shared copies of the element's strings
};

// Properties of the drawn elements, the labels, the slider bar and the state
// buttons. Of a pair, the first repaints at once, the second only marks the
// element for update.
enum : int {
    IXP_FONT = 2, // labels and buttons: the (normal) font, an index of the font table
    IXP_FONTDISABLED = 3,
    IXP_FONTCURRENT = 4,
    IXP_FONTPRESSED = 5,
    IXP_FONTSELECTED = 6,
    IXP_FONTSELECTEDPRESSED = 7,
    IXP_FRAME = 9,     // image elements: the frame (or state, index, toggle) shown
    IXP_IMAGENOW = 10, // image elements: the image; buttons: the overlay
    IXP_IMAGELATER = 11,
    IXP_BUTTONBACKGROUND = 34, // also IXP_BACKGROUND
    IXP_TEXTRECT = 35,         // RECT*, {x, y, width, height} before the first layout
    IXP_ICON = 36,
    IXP_ICONRECT = 37,
    IXP_ICONFRAME = 38,
    IXP_ICON2 = 39,
    IXP_ICON2RECT = 40,
    IXP_ICON2FRAME = 41,
    IXP_SLIDERRANGEVALUE = 42, // range in the low 16 bits, value in the high 16 (signed)
    IXP_SLIDERVALUE = 43,
    IXP_SLIDERNORANGE = 44, // range 0 and the value
    IXP_SLIDERTRACK = 45,   // also IXP_BACKGROUND
    IXP_SLIDERTHUMB = 46,
    IXP_SLIDERINCREASE = 47,
    IXP_SLIDERDECREASE = 48,
};

// Frame arguments of the frame properties: the next and the previous frame.
enum : int {
    IXFRAME_NEXTBACKGROUND = -1, // background, icons and plain frame setters
    IXFRAME_NEXT = -2,
    IXFRAME_PREVIOUS = -3,
};

// Query codes (Query).
enum : int {
    IXQ_FRAMECOUNT = 5,  // image elements
    IXQ_CURFRAME = 6,    // image elements: the frame; multi-images: the index; toggles: selected
    IXQ_SHARETEXT = 9,   // out: IxString*
    IXQ_APPENDTEXT = 10, // out: IxArray<WCHAR>*
    IXQ_SLIDERVALUE = 15,
    IXQ_SELECTEDTEXT = 12, // text fields, out: IxString* (released when nothing is selected)
    IXQ_SELECTION = 13,    // text fields, out: IxTextRange*; 1 when there is a selection
    IXQ_SELECTION2 = 14,
};

// Search kinds of FindElement.
enum : int {
    IXFIND_ID = 1,
};

// Kinds of OnChildNotify.
enum : int {
    IXCN_NOTICE = 1, // data: IxNoticeRecord*
    IXCN_DATA4 = 4,  // 4..7: any data
    IXCN_DATA7 = 7,
};

// Modes of Invalidate.
enum : int {
    IXINV_REPAINT = 0,
    IXINV_UPDATE = 1, // mark update pending
    IXINV_LAYOUT = 2, // mark layout pending
};

// Gestures: the answer of IXIN_DOWN says how the kernel follows the pointer.
enum : int {
    IXGM_NONE = 0,
    IXGM_TRACK = 2,     // drag without drop support (press tracking)
    IXGM_DRAG = 3,      // dragging with the drag layer
    IXGM_CANDIDATE = 4, // drag candidate
    IXGM_LONGPRESS = 5, // long-press candidate
    IXGM_SWIPE = 6,     // swipe candidate
    IXGM_SCROLL = 7,    // scrolling
};

// Keyboard navigation codes (NotifyParent, OnKey).
enum : int {
    IXNAV_TAB = 1,
    IXNAV_RIGHT = 2,
    IXNAV_LEFT = 3,
    IXNAV_UP = 4,
    IXNAV_DOWN = 5,
    IXNAV_HOME = 6,
    IXNAV_END = 7,
    IXNAV_PAGEUP = 8,
    IXNAV_PAGEDOWN = 9,
    IXNAV_ENTER = 14,
    IXNAV_ESCAPE = 15,
    IXNAV_SPACE = 16,
    IXNAV_DELETE = 17,
    IXNAV_BACKSPACE = 18,
    IXNAV_ENTERRELEASED = 20,
    IXNAV_ESCAPERELEASED = 21,
};
