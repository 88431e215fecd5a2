// Threads of the unit.
//
// A thread runs its start routine on a detached host thread. Its handle is a
// kernel object that becomes signalled when the routine returns; the running
// thread keeps the object alive, so closing every handle while it runs is
// safe. Threads are never killed or suspended once started: code that must
// end a thread asks it to stop and waits.
//
// Priorities are the unit's numbers, 0 (highest) to 7 (lowest). They are
// stored and reported; the host scheduler is not told.
#pragma once

#include "platform/base/Handle.h"
#include "platform/base/Types.h"

#include <cstddef>
#include <memory>

inline constexpr DWORD CREATE_SUSPENDED = 4;
inline constexpr DWORD STILL_ACTIVE = 259;

inline constexpr int THREAD_PRIORITY_TIME_CRITICAL = 0;
inline constexpr int THREAD_PRIORITY_HIGHEST = 1;
inline constexpr int THREAD_PRIORITY_ABOVE_NORMAL = 2;
inline constexpr int THREAD_PRIORITY_NORMAL = 3;
inline constexpr int THREAD_PRIORITY_BELOW_NORMAL = 4;
inline constexpr int THREAD_PRIORITY_LOWEST = 5;
inline constexpr int THREAD_PRIORITY_ABOVE_IDLE = 6;
inline constexpr int THREAD_PRIORITY_IDLE = 7;
// GetThreadPriority's answer for a bad handle.
inline constexpr int THREAD_PRIORITY_ERROR_RETURN = 0x7FFFFFFF;

using LPTHREAD_START_ROUTINE = DWORD (*)(LPVOID);

// Creates a thread that runs start(parameter) and returns its handle, or null
// with the last error set. With CREATE_SUSPENDED it starts only when
// ResumeThread brings its suspend count to 0. The thread's id is stored in
// *threadId when given. Security and stack size are ignored.
HANDLE CreateThread(LPVOID security, DWORD stackSize, LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD flags,
                    DWORD* threadId);
// Lowers the suspend count; returns the previous count, or 0xFFFFFFFF on
// failure.
DWORD ResumeThread(HANDLE thread);

// The calling thread's id: unique for the life of the process, never 0,
// given to any thread (the main one too) on first use.
DWORD GetCurrentThreadId();
// A pseudo handle that names the calling thread in the thread functions and
// waits. It needs no closing.
HANDLE GetCurrentThread();

// STILL_ACTIVE while the thread has not ended, then its routine's result.
BOOL GetExitCodeThread(HANDLE thread, DWORD* exitCode);
BOOL SetThreadPriority(HANDLE thread, int priority);
int GetThreadPriority(HANDLE thread);

namespace platform {

// The kernel object of the calling thread (made on first use for threads
// not created by CreateThread).
std::shared_ptr<KernelObject> CurrentThreadObject();

// Threads made by CreateThread that have started and not yet ended.
std::size_t LiveThreadCount();

} // namespace platform
