// The carets: one per thread, shown on the screen as inverted rectangles.
#include "platform/ui/Window.h"

#include "platform/base/Error.h"
#include "platform/gfx/Screen.h"
#include "platform/os/Thread.h"
#include "platform/ui/WindowInternal.h"

#include <algorithm>

namespace platform::wm {
namespace {

// The calling thread's caret, if it has one and hwnd (when given) owns it;
// else null with the last error set. Caller holds Sys().lock.
Caret* ThreadCaretLocked(DWORD thread, HWND hwnd)
{
    for (Caret& c : Sys().carets)
        if (c.thread == thread && (!hwnd || c.hwnd == hwnd))
            return &c;
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
}

// One more HideCaret (1), or one fewer (-1; none below 0), on the calling
// thread's caret when hwnd (or null) owns it.
bool CountHide(HWND hwnd, int change)
{
    {
        std::lock_guard<std::recursive_mutex> lock(Sys().lock);
        Caret* c = ThreadCaretLocked(GetCurrentThreadId(), hwnd);
        if (!c)
            return false;
        c->hidden = std::max(c->hidden + change, 0);
    }
    ShowCaretsOnScreen();
    return true;
}

} // namespace

void ShowCaretsOnScreen()
{
    WindowSystem& sys = Sys();
    std::lock_guard<std::mutex> order(sys.caretScreenLock);
    std::vector<RECT> rects;
    {
        std::lock_guard<std::recursive_mutex> lock(sys.lock);
        if (sys.carets.empty() && !sys.caretsShown)
            return;
        for (const Caret& c : sys.carets) {
            const Window* w = Find(c.hwnd);
            if (!w || c.hidden > 0)
                continue;
            // Worked out wide, then held to just around the screen, which is
            // all that can show.
            const POINT origin = ClientOrigin(w);
            auto along
                = [](long long v, int side) { return static_cast<LONG>(std::clamp<long long>(v, -1, side + 1)); };
            const long long left = static_cast<long long>(origin.x) + c.position.x;
            const long long top = static_cast<long long>(origin.y) + c.position.y;
            const RECT caret{along(left, kScreenWidth), along(top, kScreenHeight), along(left + c.width, kScreenWidth),
                             along(top + c.height, kScreenHeight)};
            for (const RECT& a : ScreenAreaLocked(w))
                if (RECT part = Intersect(caret, a); !IsEmpty(part))
                    rects.push_back(part);
        }
        sys.caretsShown = !rects.empty();
    }
    Screen::Get().SetInverted(std::move(rects));
}

void DropThreadCaret(DWORD thread)
{
    {
        std::lock_guard<std::recursive_mutex> lock(Sys().lock);
        auto& carets = Sys().carets;
        auto it = std::find_if(carets.begin(), carets.end(), [&](const Caret& c) { return c.thread == thread; });
        if (it == carets.end())
            return;
        carets.erase(it);
    }
    ShowCaretsOnScreen();
}

} // namespace platform::wm

using namespace platform;
using namespace platform::wm;

BOOL CreateCaret(HWND hwnd, HBITMAP bitmap, int width, int height)
{
    if (bitmap || width < 0 || height < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // The thread's queue drops the caret when the thread ends.
    const std::shared_ptr<MessageQueue> self = CurrentQueue();
    {
        std::lock_guard<std::recursive_mutex> lock(Sys().lock);
        const Window* w = FindOrFail(hwnd);
        if (!w)
            return FALSE;
        if (w->queue != self) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        auto& carets = Sys().carets;
        carets.erase(
            std::remove_if(carets.begin(), carets.end(), [&](const Caret& c) { return c.thread == self->threadId; }),
            carets.end());
        // A side of 0 is one pixel, the width of a window border.
        carets.push_back(Caret{self->threadId, hwnd, width ? width : 1, height ? height : 1, POINT{0, 0}, 1});
    }
    ShowCaretsOnScreen();
    return TRUE;
}

BOOL DestroyCaret()
{
    const DWORD thread = GetCurrentThreadId();
    {
        std::lock_guard<std::recursive_mutex> lock(Sys().lock);
        if (!ThreadCaretLocked(thread, nullptr))
            return FALSE;
    }
    DropThreadCaret(thread);
    return TRUE;
}

BOOL SetCaretPos(int x, int y)
{
    {
        std::lock_guard<std::recursive_mutex> lock(Sys().lock);
        Caret* c = ThreadCaretLocked(GetCurrentThreadId(), nullptr);
        if (!c)
            return FALSE;
        c->position = POINT{x, y};
    }
    ShowCaretsOnScreen();
    return TRUE;
}

BOOL GetCaretPos(POINT* point)
{
    if (!point) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard<std::recursive_mutex> lock(Sys().lock);
    const Caret* c = ThreadCaretLocked(GetCurrentThreadId(), nullptr);
    if (!c)
        return FALSE;
    *point = c->position;
    return TRUE;
}

BOOL ShowCaret(HWND hwnd)
{
    return CountHide(hwnd, -1) ? TRUE : FALSE;
}

BOOL HideCaret(HWND hwnd)
{
    return CountHide(hwnd, 1) ? TRUE : FALSE;
}
