// The frame's modal loop: a message loop run inside a handler until a
// service ends it (or WM_QUIT arrives, which is posted again). One at a time.
#pragma once

#include "platform/base/Types.h"

class IxKernelFrame;

class IxModalLoop {
public:
    // Runs the window's messages with the frame's busy bracket lifted (it is
    // restored afterwards); the result given to End, -1 for WM_QUIT or when a
    // loop already runs.
    int Run(IxKernelFrame& frame);
    // Marks the running loop as ended with the result; false when none runs.
    // The caller then removes the modal layer and wakes the loop.
    bool End(int result);
    // Wakes the loop's thread so that it sees the end.
    void Wake() const;
    bool IsRunning() const { return m_bRunning; }

private:
    int m_nSavedBusy = static_cast<int>(0x80000001); // no modal loop
    DWORD m_dwThread = 0;
    bool m_bRunning = false;
    int m_nResult = -1;
};
