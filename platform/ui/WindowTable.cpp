// The window table: handles and their slots, the per-thread message
// queues, visibility and screen geometry of windows, and the removal of a
// window from the tables.
#include "platform/ui/WindowInternal.h"

#include "platform/base/Error.h"
#include "platform/gfx/Screen.h"
#include "platform/os/Thread.h"

#include <algorithm>

namespace platform::wm {
namespace {

// The thread's queue, dropped when the thread ends.
struct QueueHolder {
    std::shared_ptr<MessageQueue> queue;
    ~QueueHolder()
    {
        if (!queue)
            return;
        AbandonSentMessages(*queue);
        {
            std::lock_guard<std::mutex> lock(Sys().queuesLock);
            Sys().queues.erase(queue->threadId);
        }
        DropThreadCaret(queue->threadId);
    }
};

thread_local QueueHolder t_queue;

} // namespace

WindowSystem& Sys()
{
    static WindowSystem* system = new WindowSystem;
    return *system;
}

HWND MakeHandle(std::uint32_t slot, std::uint32_t generation)
{
    std::uintptr_t v = ((static_cast<std::uintptr_t>(generation) << 24) | slot) << 4;
    return reinterpret_cast<HWND>(v);
}

std::uintptr_t HandleValue(HWND hwnd)
{
    return reinterpret_cast<std::uintptr_t>(hwnd) & ~kFlagBits;
}

bool IsRemote(HWND hwnd)
{
    return (reinterpret_cast<std::uintptr_t>(hwnd) & kRemoteBit) != 0;
}

// Caller holds Sys().lock.
Window* Find(HWND hwnd)
{
    if (!hwnd || IsRemote(hwnd))
        return nullptr;
    std::uintptr_t v = HandleValue(hwnd) >> 4;
    std::uint32_t slot = static_cast<std::uint32_t>(v & 0xFFFFFF);
    std::uint32_t generation = static_cast<std::uint32_t>(v >> 24);
    if (slot == 0 || slot >= Sys().slots.size() || Sys().slots[slot].generation != generation)
        return nullptr;
    return Sys().slots[slot].window.get();
}

Window* FindOrFail(HWND hwnd)
{
    Window* w = Find(hwnd);
    if (!w)
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return w;
}

std::shared_ptr<MessageQueue> CurrentQueue()
{
    if (!t_queue.queue) {
        auto q = std::make_shared<MessageQueue>();
        q->threadId = GetCurrentThreadId();
        {
            std::lock_guard<std::mutex> lock(Sys().queuesLock);
            Sys().queues[q->threadId] = q;
        }
        t_queue.queue = q;
    }
    return t_queue.queue;
}

bool IsCurrentQueue(const std::shared_ptr<MessageQueue>& q)
{
    return q == t_queue.queue;
}

std::shared_ptr<MessageQueue> QueueOf(HWND hwnd)
{
    std::lock_guard<std::recursive_mutex> lock(Sys().lock);
    Window* w = Find(hwnd);
    return w ? w->queue : nullptr;
}

// A child is visible when it and all its parents are; an owned top-level
// window does not depend on its owner.
bool VisibleLocked(const Window* w)
{
    while (w) {
        if (!(w->style & WS_VISIBLE) || w->destroying)
            return false;
        w = (w->style & WS_CHILD) && w->parent ? Find(w->parent) : nullptr;
    }
    return true;
}

RECT ClientOf(const Window* w)
{
    return RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
}

// Screen position of the window's client origin. Caller holds Sys().lock.
POINT ClientOrigin(const Window* w)
{
    POINT origin{0, 0};
    for (; w; w = (w->style & WS_CHILD) ? Find(w->parent) : nullptr) {
        origin.x += w->rect.left;
        origin.y += w->rect.top;
    }
    return origin;
}

std::vector<RECT> ScreenAreaLocked(const Window* w)
{
    if (!VisibleLocked(w))
        return {};
    // The window's rectangle inside each parent's client area, carried up to
    // screen coordinates.
    RECT r = w->rect;
    const Window* top = w;
    while ((top->style & WS_CHILD) && top->parent) {
        const Window* p = Find(top->parent);
        if (!p)
            break;
        r = Offset(Intersect(r, ClientOf(p)), p->rect.left, p->rect.top);
        top = p;
    }
    r = Intersect(r, RECT{0, 0, kScreenWidth, kScreenHeight});
    if (IsEmpty(r))
        return {};
    std::vector<RECT> area{r};
    for (HWND h : Sys().topLevel) {
        if (h == top->handle)
            break;
        const Window* front = Find(h);
        if (!front || !VisibleLocked(front))
            continue;
        std::vector<RECT> rest;
        for (const RECT& a : area)
            Subtract(a, front->rect, rest);
        area.swap(rest);
    }
    return area;
}

LRESULT CallProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    WNDPROC proc;
    {
        std::lock_guard<std::recursive_mutex> lock(Sys().lock);
        Window* w = Find(hwnd);
        if (!w)
            return 0;
        proc = w->proc;
    }
    return proc ? proc(hwnd, message, wParam, lParam) : DefWindowProcW(hwnd, message, wParam, lParam);
}

void RemoveWindow(HWND hwnd)
{
    std::shared_ptr<MessageQueue> q;
    {
        std::lock_guard<std::recursive_mutex> lock(Sys().lock);
        Window* w = Find(hwnd);
        if (!w)
            return;
        if (Window* p = (w->style & WS_CHILD) && w->parent ? Find(w->parent) : nullptr)
            p->children.erase(std::remove(p->children.begin(), p->children.end(), hwnd), p->children.end());
        Sys().topLevel.erase(std::remove(Sys().topLevel.begin(), Sys().topLevel.end(), hwnd), Sys().topLevel.end());
        if (Sys().foreground == hwnd)
            Sys().foreground = nullptr;
        auto& carets = Sys().carets;
        carets.erase(std::remove_if(carets.begin(), carets.end(), [&](const Caret& c) { return c.hwnd == hwnd; }),
                     carets.end());
        q = w->queue;
        std::uint32_t slot = static_cast<std::uint32_t>((HandleValue(hwnd) >> 4) & 0xFFFFFF);
        Sys().slots[slot].window.reset();
        ++Sys().slots[slot].generation;
        Sys().freeSlots.push_back(slot);
    }
    {
        std::lock_guard<std::mutex> lock(q->lock);
        q->paint.erase(std::remove(q->paint.begin(), q->paint.end(), hwnd), q->paint.end());
        q->timers.erase(
            std::remove_if(q->timers.begin(), q->timers.end(), [&](const Timer& t) { return t.hwnd == hwnd; }),
            q->timers.end());
    }
    ShowCaretsOnScreen();
}

} // namespace platform::wm

namespace platform {

using namespace platform::wm;

bool WindowScreenArea(HWND hwnd, std::vector<RECT>* area)
{
    std::lock_guard<std::recursive_mutex> lock(Sys().lock);
    const Window* w = FindOrFail(hwnd);
    if (!w || !area)
        return false;
    *area = ScreenAreaLocked(w);
    return true;
}

} // namespace platform
