// Kernel services: the numbered requests that elements send up to the root
// (IxElement::Control) and that code holding only the kernel sends through
// IxKernel::Service; the window requests they carry and the layer
// priorities of the layer services.
#pragma once

// Window requests, carried out at the end of the outermost busy bracket.
enum : int {
    IXWR_NONE = 0,
    IXWR_CLOSE = 1,
    IXWR_SHOW = 2,
    IXWR_HIDE = 3,
};

// Kernel service codes (IxKernel::Service, IxElement::Control). Codes
// outside this list answer 0.
enum : int {
    IXSVC_NOP = 1,
    IXSVC_CHILDWINDOWSHOWN = 2, // record: the view
    IXSVC_RESTACK = 3,
    IXSVC_BROADCAST = 4,  // record: IxActionRecord
    IXSVC_KEYEDEVENT = 5, // value: for event 8 of the element of keyed record 0
    IXSVC_OPENDC = 6,     // value: width | height << 16; answer: IxDC*
    IXSVC_OPENDC2 = 7,
    IXSVC_CURSORPOS = 10, // record: POINT
    IXSVC_ENDDCKEEP = 11, // record: IxDC*; answer: HBITMAP
    IXSVC_ENDDC = 12,     // record: IxDC*
    IXSVC_FLAGFRAME = 13,
    IXSVC_DRAGONSOURCE = 14,
    IXSVC_ISDRAGSOURCE = 15, // record: the element
    IXSVC_REPAINTNOTICE = 19,
    IXSVC_SETCURRENTCHILD = 20, // a: the asking element; answered by its view
    IXSVC_NOTICE1 = 23,         // value
    IXSVC_NOTICE2 = 24,
    IXSVC_NOTICE3 = 25,
    IXSVC_FOCUS = 26,         // record: element or null
    IXSVC_NODEFAULTDRAW = 27, // value
    IXSVC_GETFONT = 28,       // record: IxFontEntry, value: index
    IXSVC_SETFONT = 29,       // record: IxFontEntry, value: index
    IXSVC_BEGINGESTURE = 30,  // record: scroll record
    IXSVC_SCROLLLIMITS = 31,
    IXSVC_ENDGESTURE = 32,    // record: the element
    IXSVC_SCROLLRUNNING = 33, // record: the element
    IXSVC_DRAGLAYER = 34,     // record: IxLayerRecord
    IXSVC_DRAGVIEW = 35,
    IXSVC_PAINTLOCK = 36, // value
    IXSVC_MODAL = 37,     // record: IxLayerRecord, value: priority
    IXSVC_ENDMODAL = 38,  // value: result
    IXSVC_MOVED = 39,
    IXSVC_PUSH = 40,        // record: IxLayerRecord, value: priority
    IXSVC_PUSHSCREEN = 41,  // record: IxLayerRecord
    IXSVC_PUSHOVERLAY = 42, // record: IxLayerRecord
    IXSVC_PUSHTOP = 43,     // record: IxLayerRecord, value: level
    IXSVC_POP = 44,         // value: view id (0 = top)
    IXSVC_REMOVEOWNED = 45, // record: owner element
    IXSVC_ISSHOWN = 46,     // value: view id; answer: the view
    IXSVC_DRAIN = 47,
    IXSVC_ATTACH = 48,     // record: the view
    IXSVC_DETACH = 49,     // value: view id
    IXSVC_REPAINTNOW = 52, // value: drain first
    IXSVC_POPUP = 53,      // record: IxLayerRecord
    IXSVC_CLOSEPOPUP = 54,
    IXSVC_LISTIMAGE = 57, // b: an image index; answered by the nearest data list: its image (not a new reference)
};

// Layer priorities.
enum : int {
    IXLAYER_SCREEN = 0,
    IXLAYER_POPUP = 0x7fffff97,
    IXLAYER_DRAG = 0x7fffff98,
    IXLAYER_OVERLAY = 0x7fffff99,
    IXLAYER_OVERLAY2 = 0x7fffff9a,
    IXLAYER_KEEP = 0x7fffff9b, // at or above: not reported to the hook, kept by PopAllLayers
    IXLAYER_TOP = 0x7fffffa5,  // top layer of level n: IXLAYER_TOP - n
    IXLAYER_MODAL = static_cast<int>(0x8000006f),
};
