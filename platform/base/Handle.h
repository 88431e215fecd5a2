// Kernel objects and the process-wide handle table.
//
// Every kernel object (event, thread, and later files, devices and change
// notifications) derives from platform::KernelObject and is reached through a
// HANDLE. A handle value is a table index with a generation, never an address:
// once CloseHandle has run, the old value no longer names anything, and calls
// that get it fail with ERROR_INVALID_HANDLE. Objects are reference-counted:
// the table holds one reference per open handle, and a wait in progress holds
// its own, so an object lives while anyone still uses it.
//
// Signal states of all objects are guarded by one process-wide lock. The
// waits (WaitForSingleObject, WaitForMultipleObjects) read IsSignaled and
// call Consume with that lock held; an object whose state changes makes the
// change inside UpdateSignalState, which lets the waiters re-check.
#pragma once

#include "platform/base/Error.h"
#include "platform/base/Types.h"

#include <cstddef>
#include <functional>
#include <memory>

namespace platform {

class KernelObject {
public:
    KernelObject() = default;
    KernelObject(const KernelObject&) = delete;
    KernelObject& operator=(const KernelObject&) = delete;
    virtual ~KernelObject() = default;

    // Whether a wait on the object is satisfied now. Called with the signal
    // lock held; must not block or call back into the wait functions.
    virtual bool IsSignaled() { return false; }
    // Called, with the signal lock held, when a wait has been satisfied by
    // this object: an auto-reset event clears itself here.
    virtual void Consume() {}
    // Called by CloseHandle once the handle has left the table, outside the
    // table lock: an object ends the operations other threads still run on
    // it through that handle (a read blocked on a port ends when the port's
    // handle is closed).
    virtual void OnHandleClosed() {}
};

// Enters the object in the handle table and returns its new handle, or null
// (last error ERROR_NOT_ENOUGH_MEMORY) when the table is full or the object
// is null. Each call makes a separate handle to the same object.
HANDLE RegisterObject(std::shared_ptr<KernelObject> object);

// The object behind an open handle; null with last error
// ERROR_INVALID_HANDLE for null, closed or unknown handles. The current
// thread's pseudo handle (GetCurrentThread) gives the calling thread.
std::shared_ptr<KernelObject> LookupObject(HANDLE handle);

// The same, for objects of one kind: a handle to another kind of object is
// an invalid handle for the caller.
template <class T> std::shared_ptr<T> LookupObjectAs(HANDLE handle);

// Runs change() under the signal lock, then wakes the waiters so that they
// see the new state. change() must not call the wait functions.
void UpdateSignalState(const std::function<void()>& change);

// Number of open handles in the table (diagnostics and leak tests).
std::size_t OpenHandleCount();

} // namespace platform

// Drops the handle's reference to its object. Closing the current thread's
// pseudo handle does nothing and succeeds.
BOOL CloseHandle(HANDLE handle);

template <class T> std::shared_ptr<T> platform::LookupObjectAs(HANDLE handle)
{
    std::shared_ptr<KernelObject> object = LookupObject(handle);
    if (!object)
        return nullptr;
    std::shared_ptr<T> typed = std::dynamic_pointer_cast<T>(object);
    if (!typed)
        SetLastError(ERROR_INVALID_HANDLE);
    return typed;
}
