#include "platform/base/Clock.h"

#include <atomic>
#include <ctime>
#include <thread>

namespace platform {
namespace {

std::atomic<bool> g_manual{false};
std::atomic<std::uint64_t> g_manualNow{0};
std::atomic<bool> g_sleepAdvances{false};

std::uint64_t RealNowMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::uint64_t>(ts.tv_sec) * 1000u + static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
}

void FillSystemTime(const std::tm& tm, long ms, SYSTEMTIME* st)
{
    st->wYear = static_cast<WORD>(tm.tm_year + 1900);
    st->wMonth = static_cast<WORD>(tm.tm_mon + 1);
    st->wDayOfWeek = static_cast<WORD>(tm.tm_wday);
    st->wDay = static_cast<WORD>(tm.tm_mday);
    st->wHour = static_cast<WORD>(tm.tm_hour);
    st->wMinute = static_cast<WORD>(tm.tm_min);
    st->wSecond = static_cast<WORD>(tm.tm_sec);
    st->wMilliseconds = static_cast<WORD>(ms);
}

template <class Convert> void CurrentTime(SYSTEMTIME* st, Convert convert)
{
    if (!st)
        return;
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    std::tm tm{};
    convert(&ts.tv_sec, &tm);
    FillSystemTime(tm, ts.tv_nsec / 1000000, st);
}

} // namespace

std::uint64_t NowMs()
{
    return g_manual.load(std::memory_order_acquire) ? g_manualNow.load(std::memory_order_acquire) : RealNowMs();
}

bool ManualClockActive()
{
    return g_manual.load(std::memory_order_acquire);
}

ManualClock::ManualClock(std::uint64_t startMs)
{
    g_manualNow.store(startMs, std::memory_order_release);
    g_manual.store(true, std::memory_order_release);
}

ManualClock::~ManualClock()
{
    g_sleepAdvances.store(false, std::memory_order_release);
    g_manual.store(false, std::memory_order_release);
}

void ManualClock::SetSleepAdvances(bool advances)
{
    g_sleepAdvances.store(advances, std::memory_order_release);
}

bool SleepAdvancesClock(DWORD ms)
{
    if (!g_manual.load(std::memory_order_acquire) || !g_sleepAdvances.load(std::memory_order_acquire))
        return false;
    g_manualNow.fetch_add(ms, std::memory_order_acq_rel);
    return true;
}

void ManualClock::Advance(std::uint64_t ms)
{
    g_manualNow.fetch_add(ms, std::memory_order_acq_rel);
}

void ManualClock::Set(std::uint64_t ms)
{
    g_manualNow.store(ms, std::memory_order_release);
}

std::uint64_t ManualClock::Now() const
{
    return g_manualNow.load(std::memory_order_acquire);
}

} // namespace platform

DWORD GetTickCount()
{
    return static_cast<DWORD>(platform::NowMs());
}

void Sleep(DWORD ms)
{
    if (!platform::ManualClockActive()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        return;
    }
    if (platform::SleepAdvancesClock(ms))
        return;
    // Under a manual clock a sleeping thread wakes when another thread has
    // moved the clock past its deadline.
    std::uint64_t deadline = platform::NowMs() + ms;
    while (platform::ManualClockActive() && platform::NowMs() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void GetLocalTime(SYSTEMTIME* st)
{
    platform::CurrentTime(st, [](const time_t* t, std::tm* tm) { localtime_r(t, tm); });
}

void GetSystemTime(SYSTEMTIME* st)
{
    platform::CurrentTime(st, [](const time_t* t, std::tm* tm) { gmtime_r(t, tm); });
}
