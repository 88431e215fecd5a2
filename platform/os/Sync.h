// Synchronisation: events (manual, auto-reset and named), waits with
// time-outs, recursive critical sections and the interlocked operations.
//
// Named events are shared by every program of the unit that runs in this
// process: the same name opens the same event while any handle to it is
// open. Waits follow the platform clock (platform/base/Clock.h): under a
// ManualClock a timed wait ends only when the clock is moved past its
// deadline.
#pragma once

#include "platform/base/Handle.h"
#include "platform/base/Types.h"

#include <cstddef>
#include <mutex>

inline constexpr DWORD WAIT_OBJECT_0 = 0;
inline constexpr DWORD WAIT_TIMEOUT = 258;
inline constexpr DWORD WAIT_FAILED = 0xFFFFFFFFu;
inline constexpr DWORD MAXIMUM_WAIT_OBJECTS = 64;

// Functions of EventModify.
inline constexpr DWORD EVENT_PULSE = 1;
inline constexpr DWORD EVENT_RESET = 2;
inline constexpr DWORD EVENT_SET = 3;

// Access rights of OpenEventW; every handle may do everything here.
inline constexpr DWORD EVENT_MODIFY_STATE = 0x0002;
inline constexpr DWORD SYNCHRONIZE = 0x00100000;
inline constexpr DWORD EVENT_ALL_ACCESS = 0x001F0003;

// Creates an event, or opens the existing event of that name: then the last
// error is ERROR_ALREADY_EXISTS and the existing event keeps its state and
// kind (manualReset and initialState are ignored). The security argument is
// ignored.
HANDLE CreateEventW(LPVOID security, BOOL manualReset, BOOL initialState, LPCWSTR name);
// Opens the event of that name; null (ERROR_FILE_NOT_FOUND) when there is
// none. Access and inheritance are ignored.
HANDLE OpenEventW(DWORD access, BOOL inherit, LPCWSTR name);

// EVENT_SET signals the event; a manual-reset event then releases every
// waiter and stays signalled, an auto-reset event releases exactly one
// waiter (or stays signalled until one comes). EVENT_RESET clears it.
// EVENT_PULSE releases the waiters present at that moment (all of them, or
// one for an auto-reset event) and leaves the event clear.
BOOL EventModify(HANDLE event, DWORD function);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);
BOOL PulseEvent(HANDLE event);

// WAIT_OBJECT_0 when the object was signalled, WAIT_TIMEOUT after timeoutMs
// (INFINITE = no limit), WAIT_FAILED with the last error set for a bad
// handle.
DWORD WaitForSingleObject(HANDLE handle, DWORD timeoutMs);
// With waitAll false: WAIT_OBJECT_0 + i for the lowest signalled handle i.
// With waitAll true: WAIT_OBJECT_0 once all are signalled at the same time;
// only then are auto-reset events among them consumed. 1 to
// MAXIMUM_WAIT_OBJECTS handles; in a wait for all, a handle may not name the
// same object twice (ERROR_INVALID_PARAMETER).
DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD timeoutMs);

namespace platform {
// Number of threads blocked in a wait right now (diagnostics and tests).
std::size_t BlockedWaiterCount();
} // namespace platform

// A recursive lock: the owning thread may enter it again; it is free after
// as many leaves as enters.
struct CRITICAL_SECTION {
    std::recursive_mutex mutex;
};
using LPCRITICAL_SECTION = CRITICAL_SECTION*;

void InitializeCriticalSection(LPCRITICAL_SECTION section);
void DeleteCriticalSection(LPCRITICAL_SECTION section);
void EnterCriticalSection(LPCRITICAL_SECTION section);
void LeaveCriticalSection(LPCRITICAL_SECTION section);
BOOL TryEnterCriticalSection(LPCRITICAL_SECTION section);

// Atomic operations on shared 32-bit words. Increment and Decrement return
// the new value, Exchange and CompareExchange the previous one.
LONG InterlockedIncrement(volatile LONG* target);
LONG InterlockedDecrement(volatile LONG* target);
LONG InterlockedExchange(volatile LONG* target, LONG value);
LONG InterlockedCompareExchange(volatile LONG* target, LONG exchange, LONG comparand);
