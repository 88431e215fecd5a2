// The vocabulary of the kernel frame: its state word, the flags of its
// hardware keys, its recall codes and the constants of its pointer engine.
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

// The constants of the pointer gesture engine.
struct IxGestureConstants {
    int nStartThreshold = 0;       // px a press must move before its gesture hears moves
    DWORD dwTapLimit = 0x7fffffff; // ms; a longer press is released, not tapped
    int nDelayedRelease = 0;       // ms; 0 = releases are never delayed
    int nLongPressDelay = 500;     // ms; 0 = a long-press candidate is a drag candidate
    int nSampleWindow = 100;       // ms of velocity sampling; 0 = no swipes or flings
    int nSampleThresholdX = 20;    // px; also the speed numerator of the swipe classes
    int nSampleThresholdY = 20;
    int nFlingPeriod = 20; // ms per fling step
    int nFlingSpeedX = 25; // default px per fling step
    int nFlingSpeedY = 25;
    int nDecayNumerator = 6; // each step of the slowing phase: speed * 6 / 7
    int nDecayDivisor = 7;
    int nSpare[3] = {30, 50, 100};
};
