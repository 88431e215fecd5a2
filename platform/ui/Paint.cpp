// Paint requests: the update rectangle of a window, the WM_PAINT it asks
// for while visible, and BeginPaint / EndPaint.
#include "platform/ui/Window.h"

#include "platform/gfx/GdiInternal.h"
#include "platform/ui/WindowInternal.h"

#include <algorithm>

namespace platform::wm {
namespace {

void AddPaint(const std::shared_ptr<MessageQueue>& q, HWND hwnd)
{
    std::lock_guard<std::mutex> lock(q->lock);
    if (std::find(q->paint.begin(), q->paint.end(), hwnd) == q->paint.end())
        q->paint.push_back(hwnd);
    q->Touch();
}

} // namespace

void RemovePaint(const std::shared_ptr<MessageQueue>& q, HWND hwnd)
{
    std::lock_guard<std::mutex> lock(q->lock);
    q->paint.erase(std::remove(q->paint.begin(), q->paint.end(), hwnd), q->paint.end());
}

// Marks the whole client area (or rect) for painting and queues WM_PAINT
// when the window is visible.
bool Invalidate(HWND hwnd, const RECT* rect)
{
    std::shared_ptr<MessageQueue> q;
    {
        std::lock_guard<std::recursive_mutex> lock(Sys().lock);
        Window* w = FindOrFail(hwnd);
        if (!w)
            return false;
        RECT client = ClientOf(w);
        RECT r = rect ? Intersect(*rect, client) : client;
        if (IsEmpty(r))
            return true;
        w->update = w->hasUpdate ? Union(w->update, r) : r;
        w->hasUpdate = true;
        if (VisibleLocked(w))
            q = w->queue;
    }
    if (q)
        AddPaint(q, hwnd);
    return true;
}

void ClearUpdate(HWND hwnd)
{
    std::shared_ptr<MessageQueue> q;
    {
        std::lock_guard<std::recursive_mutex> lock(Sys().lock);
        Window* w = Find(hwnd);
        if (!w)
            return;
        w->hasUpdate = false;
        w->update = RECT{};
        q = w->queue;
    }
    RemovePaint(q, hwnd);
}

} // namespace platform::wm

using namespace platform;
using namespace platform::wm;

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL)
{
    return Invalidate(hwnd, rect) ? TRUE : FALSE;
}

BOOL ValidateRect(HWND hwnd, const RECT* rect)
{
    bool clear;
    {
        std::lock_guard<std::recursive_mutex> lock(Sys().lock);
        Window* w = FindOrFail(hwnd);
        if (!w)
            return FALSE;
        // The update area is kept as one rectangle: it is validated when the
        // given rectangle covers it.
        clear = !rect
            || (rect->left <= w->update.left && rect->top <= w->update.top && rect->right >= w->update.right
                && rect->bottom >= w->update.bottom);
    }
    if (clear)
        ClearUpdate(hwnd);
    return TRUE;
}

BOOL GetUpdateRect(HWND hwnd, RECT* rect, BOOL)
{
    std::lock_guard<std::recursive_mutex> lock(Sys().lock);
    Window* w = FindOrFail(hwnd);
    if (!w)
        return FALSE;
    if (rect)
        *rect = w->hasUpdate ? w->update : RECT{};
    return w->hasUpdate ? TRUE : FALSE;
}

HDC BeginPaint(HWND hwnd, PAINTSTRUCT* paint)
{
    if (!paint)
        return nullptr;
    *paint = PAINTSTRUCT{};
    {
        std::lock_guard<std::recursive_mutex> lock(Sys().lock);
        Window* w = FindOrFail(hwnd);
        if (!w)
            return nullptr;
        paint->rcPaint = w->hasUpdate ? w->update : RECT{};
        ++w->paintsBegun;
    }
    ClearUpdate(hwnd);
    // The window's DC, drawing only inside the paint rectangle.
    paint->hdc = platform::GetDCClipped(hwnd, paint->rcPaint);
    return paint->hdc;
}

BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* paint)
{
    if (paint && paint->hdc)
        ReleaseDC(hwnd, paint->hdc);
    return TRUE;
}
