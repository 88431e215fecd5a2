// Timers: periodic, per window or per thread; their WM_TIMER is made at
// retrieval (MessageQueue.cpp) when one is due.
#include "platform/ui/Window.h"

#include "platform/base/Clock.h"
#include "platform/base/Error.h"
#include "platform/ui/WindowInternal.h"

#include <algorithm>

namespace platform::wm {

// The procedure of the live timer a WM_TIMER names (the window's timer, or
// a thread timer of the calling thread), or null.
TIMERPROC LiveTimerProc(HWND hwnd, UINT_PTR id, LPARAM proc)
{
    std::shared_ptr<MessageQueue> q = hwnd ? QueueOf(hwnd) : CurrentQueue();
    if (!q)
        return nullptr;
    std::lock_guard<std::mutex> lock(q->lock);
    for (const Timer& t : q->timers)
        if (t.hwnd == hwnd && t.id == id && t.proc && reinterpret_cast<LPARAM>(t.proc) == proc)
            return t.proc;
    return nullptr;
}

} // namespace platform::wm

using namespace platform;
using namespace platform::wm;

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, TIMERPROC proc)
{
    std::shared_ptr<MessageQueue> q;
    if (hwnd) {
        q = QueueOf(hwnd);
        if (!q) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
    } else {
        q = CurrentQueue();
    }
    UINT interval = std::max<UINT>(elapseMs, 1);
    std::lock_guard<std::mutex> lock(q->lock);
    auto it = std::find_if(q->timers.begin(), q->timers.end(),
                           [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
    if (!hwnd && it == q->timers.end()) {
        // A thread timer without a known id gets a fresh one.
        id = q->nextThreadTimer++;
    }
    std::uint64_t due = NowMs() + interval;
    if (it != q->timers.end()) {
        it->interval = interval;
        it->proc = proc;
        it->due = due;
    } else {
        q->timers.push_back(Timer{hwnd, id, interval, proc, due});
    }
    q->Touch();
    return hwnd ? (id ? id : 1) : id;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id)
{
    std::shared_ptr<MessageQueue> q = hwnd ? QueueOf(hwnd) : CurrentQueue();
    if (!q) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    std::lock_guard<std::mutex> lock(q->lock);
    auto it = std::find_if(q->timers.begin(), q->timers.end(),
                           [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
    if (it == q->timers.end())
        return FALSE;
    q->timers.erase(it);
    return TRUE;
}
