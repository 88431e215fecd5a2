// What the kernel delivers to. Listeners and subscribers receive actions;
// timer targets receive the timer event with the timer's id. Elements are
// receivers, and so are the framework's non-visual parts that live on the
// user-interface thread (the device manager, the file system's job
// subscribers).
#pragma once

#include "Lib_cpp/kernel/EventCodes.h"
#include "platform/base/Types.h"

class IxReceiver {
public:
    // Non-zero when the action was taken (a subscriber that takes it ends
    // the delivery).
    virtual int ActionIsInvoked(int code, int kind, LPARAM param) = 0;
    // Events; the kernel sends the timer event with the timer's id.
    virtual LRESULT OnEvent(int code, LPARAM param) = 0;

protected:
    ~IxReceiver() = default;
};

// What the kernel asks of the frame that owns it.
class IxElement;
class IxKernelHost {
public:
    // The kernel services (IxKernel::Service).
    virtual LRESULT Service(int code, void* record, LPARAM value) = 0;
    // Posts an action to the frame window's queue.
    virtual void PostAction(int id, int kind, LPARAM value) = 0;
    // Drops what the frame holds of an element that is being deleted.
    virtual void ForgetElement(IxElement* element) = 0;
    // Carries out the deferred work that a delivered action requested.
    virtual void FlushDeferredWork() = 0;

protected:
    ~IxKernelHost() = default;
};
