// The z-order: restacking windows among their siblings and in the bands of
// the top-level windows, the foreground window, and what a change of order
// brings forward to be painted again.
#include "platform/ui/Window.h"

#include "platform/base/Error.h"
#include "platform/ui/WindowInternal.h"

#include <algorithm>

namespace platform::wm {
namespace {

// The parts of w and of its shown descendants inside area (given in the
// coordinates of w's rectangle), in each one's client coordinates.
void CollectRepaint(const Window* w, const RECT& area, std::vector<std::pair<HWND, RECT>>* out)
{
    RECT local = Intersect(Offset(area, -w->rect.left, -w->rect.top), ClientOf(w));
    if (IsEmpty(local))
        return;
    out->emplace_back(w->handle, local);
    for (HWND child : w->children)
        if (const Window* c = Find(child); c && (c->style & WS_VISIBLE) && !c->destroying)
            CollectRepaint(c, local, out);
}

// After w moved from one place to another in a z-order (before and after,
// front first, w's siblings), what must be painted again: where a window
// that came in front of w overlaps it, that window; where one that was in
// front is now behind, w. Only what shows counts. Caller holds Sys().lock.
std::vector<std::pair<HWND, RECT>> ZOrderRepaints(const Window* w, const std::vector<HWND>& before,
                                                  const std::vector<HWND>& after)
{
    std::vector<std::pair<HWND, RECT>> out;
    if (!VisibleLocked(w))
        return out;
    auto inFront = [&](const std::vector<HWND>& order, HWND other) {
        for (HWND h : order) {
            if (h == w->handle)
                return false;
            if (h == other)
                return true;
        }
        return false;
    };
    for (HWND h : after) {
        const Window* other = Find(h);
        if (h == w->handle || !other || !(other->style & WS_VISIBLE) || other->destroying)
            continue;
        const bool wasInFront = inFront(before, h);
        const bool isInFront = inFront(after, h);
        if (wasInFront == isInFront)
            continue;
        RECT overlap = Intersect(w->rect, other->rect);
        if (IsEmpty(overlap))
            continue;
        CollectRepaint(isInFront ? other : w, overlap, &out);
    }
    return out;
}

} // namespace

// Puts w at the front of its band of the top-level windows (the topmost
// ones, or the others), or at the very back. Caller holds Sys().lock.
void InsertTopLevelLocked(Window* w, bool front)
{
    std::vector<HWND>& order = Sys().topLevel;
    order.erase(std::remove(order.begin(), order.end(), w->handle), order.end());
    auto pos = order.begin();
    if (!(w->exStyle & WS_EX_TOPMOST))
        while (pos != order.end() && Find(*pos) && (Find(*pos)->exStyle & WS_EX_TOPMOST))
            ++pos;
    if (!front)
        pos = order.end();
    order.insert(pos, w->handle);
}

RECT ScreenRectLocked(const Window* w)
{
    const POINT origin = ClientOrigin(w);
    return RECT{origin.x, origin.y, origin.x + (w->rect.right - w->rect.left),
                origin.y + (w->rect.bottom - w->rect.top)};
}

std::vector<std::pair<HWND, RECT>> ExposedLocked(const RECT& screen)
{
    std::vector<std::pair<HWND, RECT>> out;
    for (HWND h : Sys().topLevel)
        if (const Window* t = Find(h); t && VisibleLocked(t))
            CollectRepaint(t, screen, &out);
    return out;
}

} // namespace platform::wm

using namespace platform;
using namespace platform::wm;

BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags)
{
    const bool restack = !(flags & SWP_NOZORDER);
    const bool special = insertAfter == HWND_TOP || insertAfter == HWND_BOTTOM || insertAfter == HWND_TOPMOST
        || insertAfter == HWND_NOTOPMOST;
    RECT target;
    bool reshape;
    {
        std::lock_guard<std::recursive_mutex> lock(Sys().lock);
        Window* w = FindOrFail(hwnd);
        if (!w)
            return FALSE;
        if (restack && !special) {
            // The window to go behind must be a sibling.
            const Window* after = FindOrFail(insertAfter);
            if (!after)
                return FALSE;
            const bool child = (w->style & WS_CHILD) && w->parent;
            const bool sibling = child
                ? (after->style & WS_CHILD) && after->parent == w->parent
                : std::find(Sys().topLevel.begin(), Sys().topLevel.end(), insertAfter) != Sys().topLevel.end();
            if (!sibling) {
                SetLastError(ERROR_INVALID_PARAMETER);
                return FALSE;
            }
        }
        const RECT& now = w->rect;
        const LONG left = (flags & SWP_NOMOVE) ? now.left : x;
        const LONG top = (flags & SWP_NOMOVE) ? now.top : y;
        const LONG width = (flags & SWP_NOSIZE) ? now.right - now.left : std::max(cx, 0);
        const LONG height = (flags & SWP_NOSIZE) ? now.bottom - now.top : std::max(cy, 0);
        target = RECT{left, top, left + width, top + height};
        reshape = target.left != w->rect.left || target.top != w->rect.top || target.right != w->rect.right
            || target.bottom != w->rect.bottom;
    }

    if (reshape)
        MoveWindow(hwnd, target.left, target.top, target.right - target.left, target.bottom - target.top, TRUE);

    if (restack) {
        std::vector<std::pair<HWND, RECT>> repaint;
        {
            std::lock_guard<std::recursive_mutex> lock(Sys().lock);
            Window* w = Find(hwnd);
            if (w && insertAfter != hwnd) {
                Window* parent = (w->style & WS_CHILD) && w->parent ? Find(w->parent) : nullptr;
                std::vector<HWND>& order = parent ? parent->children : Sys().topLevel;
                const std::vector<HWND> before = order;
                auto isTopmost = [](HWND h) {
                    const Window* o = Find(h);
                    return o && (o->exStyle & WS_EX_TOPMOST);
                };
                if (parent) {
                    // Among siblings there is no topmost band.
                    if (insertAfter != HWND_NOTOPMOST) {
                        order.erase(std::remove(order.begin(), order.end(), hwnd), order.end());
                        auto pos = order.begin();
                        if (insertAfter == HWND_BOTTOM) {
                            pos = order.end();
                        } else if (!special) {
                            pos = std::find(order.begin(), order.end(), insertAfter);
                            pos = pos == order.end() ? order.begin() : pos + 1;
                        }
                        order.insert(pos, hwnd);
                    }
                } else if (insertAfter == HWND_TOPMOST) {
                    w->exStyle |= WS_EX_TOPMOST;
                    InsertTopLevelLocked(w, true);
                } else if (insertAfter == HWND_NOTOPMOST) {
                    // A window that is not topmost stays where it is.
                    if (w->exStyle & WS_EX_TOPMOST) {
                        w->exStyle &= ~WS_EX_TOPMOST;
                        InsertTopLevelLocked(w, true);
                    }
                } else if (insertAfter == HWND_TOP) {
                    InsertTopLevelLocked(w, true);
                } else if (insertAfter == HWND_BOTTOM) {
                    w->exStyle &= ~WS_EX_TOPMOST;
                    InsertTopLevelLocked(w, false);
                } else if (Find(insertAfter)) {
                    // Behind a topmost window a window that is not topmost
                    // goes no further forward than the front of its band;
                    // behind one that is not topmost, a window is not
                    // topmost either.
                    if (!isTopmost(insertAfter))
                        w->exStyle &= ~WS_EX_TOPMOST;
                    order.erase(std::remove(order.begin(), order.end(), hwnd), order.end());
                    auto pos = std::find(order.begin(), order.end(), insertAfter);
                    pos = pos == order.end() ? pos : pos + 1;
                    if (!(w->exStyle & WS_EX_TOPMOST))
                        while (pos != order.end() && isTopmost(*pos))
                            ++pos;
                    order.insert(pos, hwnd);
                }
                repaint = ZOrderRepaints(w, before, order);
            }
        }
        for (const auto& [h, r] : repaint)
            Invalidate(h, &r);
    }

    if (flags & SWP_SHOWWINDOW)
        ShowWindow(hwnd, SW_SHOWNA);
    else if (flags & SWP_HIDEWINDOW)
        ShowWindow(hwnd, SW_HIDE);

    if (!(flags & SWP_NOACTIVATE)) {
        std::lock_guard<std::recursive_mutex> lock(Sys().lock);
        const Window* w = Find(hwnd);
        if (w && !(w->style & WS_CHILD) && !(w->exStyle & WS_EX_NOACTIVATE) && VisibleLocked(w))
            Sys().foreground = hwnd;
    }
    ShowCaretsOnScreen();
    return TRUE;
}

BOOL SetForegroundWindow(HWND hwnd)
{
    hwnd = reinterpret_cast<HWND>(reinterpret_cast<std::uintptr_t>(hwnd) & ~kFlagBits);
    if (IsRemote(hwnd)) {
        std::string reply;
        return Remote({"foreground", RemoteId(hwnd)}, &reply) && reply == "1";
    }
    std::vector<std::pair<HWND, RECT>> repaint;
    {
        std::lock_guard<std::recursive_mutex> lock(Sys().lock);
        Window* w = FindOrFail(hwnd);
        if (!w)
            return FALSE;
        while (w->style & WS_CHILD) {
            hwnd = w->parent;
            w = Find(hwnd);
            if (!w)
                return FALSE;
        }
        const std::vector<HWND> before = Sys().topLevel;
        InsertTopLevelLocked(w, true);
        repaint = ZOrderRepaints(w, before, Sys().topLevel);
        Sys().foreground = hwnd;
    }
    for (const auto& [h, r] : repaint)
        Invalidate(h, &r);
    ShowCaretsOnScreen();
    return TRUE;
}

HWND GetForegroundWindow()
{
    std::lock_guard<std::recursive_mutex> lock(Sys().lock);
    return Find(Sys().foreground) ? Sys().foreground : nullptr;
}
