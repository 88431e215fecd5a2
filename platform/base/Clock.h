// The unit's time: the 32-bit millisecond tick, sleeping, local time, and the
// clock behind them. Message waits, timers and timed waits on kernel objects
// all read this clock, so a test that installs a ManualClock drives every
// timer-driven behaviour instantly and deterministically.
#pragma once

#include "platform/base/Types.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

struct SYSTEMTIME {
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek;
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
};

// Milliseconds of the current clock, truncated to 32 bits: it wraps after
// about 49.7 days, as on the unit.
DWORD GetTickCount();
void Sleep(DWORD ms);
void GetLocalTime(SYSTEMTIME* st);
void GetSystemTime(SYSTEMTIME* st);

namespace platform {

// Milliseconds of the current clock, not truncated. Deadlines are kept in
// this unit so that they survive the 32-bit wrap of GetTickCount.
std::uint64_t NowMs();

// A clock that only moves when told to. While one exists it replaces the
// real clock for the whole process (tests create one per test case).
class ManualClock {
public:
    explicit ManualClock(std::uint64_t startMs = 1000);
    ~ManualClock();
    ManualClock(const ManualClock&) = delete;
    ManualClock& operator=(const ManualClock&) = delete;

    void Advance(std::uint64_t ms);
    void Set(std::uint64_t ms);
    std::uint64_t Now() const;
    // While set, a Sleep moves this clock on by its own length and returns
    // at once, instead of waiting for another thread to move the clock: code
    // that waits only by sleeping runs through its waits instantly, and the
    // clock then tells how long they would have taken.
    void SetSleepAdvances(bool advances);
};

bool ManualClockActive();

// Waits on cv until pred holds or the clock reaches deadlineMs
// (UINT64_MAX = no limit). Returns pred's final value. Under a manual clock
// a timed wait re-checks in short real-time slices, because the clock can be
// moved by another thread without notifying cv.
template <class Lock, class Pred>
bool WaitUntilMs(std::condition_variable_any& cv, Lock& lock, std::uint64_t deadlineMs, Pred pred)
{
    while (!pred()) {
        if (deadlineMs == UINT64_MAX) {
            cv.wait(lock);
            continue;
        }
        std::uint64_t now = NowMs();
        if (now >= deadlineMs)
            return pred();
        if (ManualClockActive())
            cv.wait_for(lock, std::chrono::milliseconds(1));
        else
            cv.wait_for(lock, std::chrono::milliseconds(deadlineMs - now));
    }
    return true;
}

// Deadline for a time-out in milliseconds given as the platform's DWORD
// (INFINITE = no limit).
inline std::uint64_t DeadlineAfter(DWORD timeoutMs)
{
    return timeoutMs == INFINITE ? UINT64_MAX : NowMs() + timeoutMs;
}

} // namespace platform
