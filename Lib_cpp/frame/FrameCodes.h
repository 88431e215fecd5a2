// The vocabulary of the kernel frame: its state word, the gesture modes of
// its pointer engine and the flags of its hardware keys.
#pragma once

#include "platform/base/Types.h"

// Frame state word.
enum : DWORD {
    IXFS_CLOSED = 0x1,
    IXFS_STOPPED = 0x2,
    IXFS_POPUP = 0x4,
    IXFS_NODEFAULTDRAW = 0x8,
    IXFS_HOOKPAINTS = 0x10,
    IXFS_SCREEN = 0x20,
    IXFS_SINGLELAYER = 0x40,
    IXFS_OVERLAY = 0x80,
    IXFS_CAPTURE = 0x10000,        // the pointer is captured for a gesture
    IXFS_DELAYEDRELEASE = 0x20000, // a release waits for the frame's timer 1
    IXFS_SUSPENDED = 0x100000,     // pointer input ignored until the next press
    IXFS_DRAGLAYER = 0x200000,     // a drag with the drag layer runs
    IXFS_DIRECTPAINT = 0x1000000,
    IXFS_DIRECTPAINTREQUEST = 0x2000000,
    IXFS_PAINTLOCK = 0x4000000, // every paint only validates the window
};

// Hardware-key flags of NotifyExtKey.
enum : DWORD {
    IXKEY_BUSYTEST = 0x1, // a press that waited longer than the busy limit is dropped
    IXKEY_HELD = 0x4,     // held-key tracking
};

// Recall codes the frame posts to itself ("I_Recall_" with the frame's id);
// another element's id brings the code to that element as IXEV_RECALL.
enum : int {
    IXRECALL_STARTED = 1, // the frame has started: the hook's OnFrameStarted
    IXRECALL_DRAIN = 2,   // actions are queued: an empty busy bracket drains them
    IXRECALL_DIRTY = 3,   // invalidate what was made dirty during paint
    IXRECALL_REPAINTNOTICE = 4,
};
