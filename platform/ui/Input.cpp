// Pointer and keyboard input: hit testing, capture, coordinate mapping and
// the delivery of touch and key events as posted messages.
#include "platform/ui/Window.h"

#include "platform/base/Error.h"
#include "platform/ui/WindowInternal.h"

#include <algorithm>

namespace platform {
namespace {

using namespace platform::wm;

InputState& Input()
{
    return Sys().input;
}

// The deepest visible, enabled descendant of w containing the point (in w's
// client coordinates), else w. Caller holds Sys().lock.
HWND DeepestChild(const Window* w, POINT p)
{
    for (HWND child : w->children) {
        const Window* c = Find(child);
        if (!c || !(c->style & WS_VISIBLE) || (c->style & WS_DISABLED) || c->destroying || !RectContains(c->rect, p))
            continue;
        return DeepestChild(c, POINT{p.x - c->rect.left, p.y - c->rect.top});
    }
    return w->handle;
}

HWND WindowFromPointLocked(POINT p)
{
    for (HWND hwnd : Sys().topLevel) {
        const Window* w = Find(hwnd);
        if (w && VisibleLocked(w) && RectContains(w->rect, p))
            return DeepestChild(w, POINT{p.x - w->rect.left, p.y - w->rect.top});
    }
    return nullptr;
}

// Where keys and the close request go: the foreground window, else the
// front-most visible top-level window. Caller holds Sys().lock.
HWND KeyTargetLocked()
{
    if (Find(Sys().foreground))
        return Sys().foreground;
    for (HWND hwnd : Sys().topLevel)
        if (const Window* w = Find(hwnd); w && VisibleLocked(w) && !(w->exStyle & WS_EX_NOACTIVATE))
            return hwnd;
    return nullptr;
}

// The top-level window that a press on hwnd activates, or null when it
// activates none (a window that takes no activation, or the foreground
// window already). Caller holds Sys().lock.
HWND ClickActivatedLocked(HWND hwnd)
{
    const Window* w = Find(hwnd);
    while (w && (w->style & WS_CHILD) && w->parent)
        w = Find(w->parent);
    if (!w || (w->exStyle & WS_EX_NOACTIVATE) || (w->style & WS_DISABLED) || w->handle == Sys().foreground)
        return nullptr;
    return w->handle;
}

HWND CaptureLocked()
{
    return Find(Input().capture) ? Input().capture : nullptr;
}

// A coordinate as one signed 16-bit half of a message parameter.
WORD Half(LONG v)
{
    return static_cast<WORD>(static_cast<SHORT>(std::clamp<LONG>(v, -32768, 32767)));
}

// Adds (direction 1) or takes away (-1) the window's client origin.
bool MoveByClientOrigin(HWND hwnd, POINT* point, int direction)
{
    std::lock_guard<std::recursive_mutex> lock(Sys().lock);
    const Window* w = FindOrFail(hwnd);
    if (!w || !point)
        return false;
    const POINT origin = ClientOrigin(w);
    point->x += direction * origin.x;
    point->y += direction * origin.y;
    return true;
}

bool IsPrintable(WCHAR ch)
{
    return ch >= 0x20 && ch != 0x7F && !(ch >= 0x80 && ch < 0xA0);
}

} // namespace

bool DeliverPointer(int kind, int x, int y)
{
    UINT message;
    WPARAM keys = MK_LBUTTON;
    HWND target;
    LPARAM position;
    std::shared_ptr<MessageQueue> q;
    HWND activated = nullptr;
    HWND deactivated = nullptr;
    {
        std::lock_guard<std::recursive_mutex> lock(Sys().lock);
        InputState& in = Input();
        const POINT point{x, y};
        if (kind == kPointerDown) {
            message = WM_LBUTTONDOWN;
            target = CaptureLocked() ? CaptureLocked() : WindowFromPointLocked(point);
            if (!CaptureLocked() && target) {
                activated = ClickActivatedLocked(target);
                deactivated = activated && Find(Sys().foreground) ? Sys().foreground : nullptr;
            }
            in.pressed = true;
            in.pressWindow = target;
        } else if (kind == kPointerMove || kind == kPointerUp) {
            // A touch screen reports nothing while untouched.
            if (!in.pressed)
                return false;
            message = kind == kPointerMove ? WM_MOUSEMOVE : WM_LBUTTONUP;
            target = CaptureLocked();
            if (!target)
                target = Find(in.pressWindow) ? in.pressWindow : WindowFromPointLocked(point);
            if (kind == kPointerUp) {
                keys = 0;
                in.pressed = false;
                in.pressWindow = nullptr;
            }
        } else {
            return false;
        }
        const Window* w = Find(target);
        if (!w || (kind == kPointerDown && (w->style & WS_DISABLED) && target != CaptureLocked()))
            return false;
        const POINT origin = ClientOrigin(w);
        position = MAKELPARAM(Half(x - origin.x), Half(y - origin.y));
        q = w->queue;
    }
    if (activated) {
        SetForegroundWindow(activated);
        if (auto old = deactivated ? QueueOf(deactivated) : nullptr)
            PostTo(old, deactivated, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(activated));
        if (auto now = QueueOf(activated))
            PostTo(now, activated, WM_ACTIVATE, WA_CLICKACTIVE, reinterpret_cast<LPARAM>(deactivated));
    }
    PostTo(q, target, message, keys, position);
    return true;
}

bool DeliverKey(UINT vk, bool down, WCHAR ch)
{
    constexpr LPARAM kRepeatOnce = 1;
    constexpr LPARAM kWasDown = LPARAM{1} << 30;
    constexpr LPARAM kReleased = LPARAM{1} << 31;
    HWND target;
    LPARAM bits = kRepeatOnce;
    std::shared_ptr<MessageQueue> q;
    {
        std::lock_guard<std::recursive_mutex> lock(Sys().lock);
        std::vector<UINT>& keysDown = Input().keysDown;
        if (vk) {
            auto it = std::find(keysDown.begin(), keysDown.end(), vk);
            const bool wasDown = it != keysDown.end();
            if (down) {
                // A key held down repeats with the previous-state bit set.
                bits |= wasDown ? kWasDown : 0;
                if (!wasDown)
                    keysDown.push_back(vk);
            } else {
                bits |= kWasDown | kReleased;
                if (wasDown)
                    keysDown.erase(it);
            }
        }
        target = KeyTargetLocked();
        if (!target)
            return false;
        q = Find(target)->queue;
    }
    if (vk)
        PostTo(q, target, down ? WM_KEYDOWN : WM_KEYUP, vk, bits);
    if (down && IsPrintable(ch))
        PostTo(q, target, WM_CHAR, ch, bits);
    return true;
}

bool DeliverClose()
{
    HWND target;
    std::shared_ptr<MessageQueue> q;
    {
        std::lock_guard<std::recursive_mutex> lock(Sys().lock);
        target = KeyTargetLocked();
        if (!target)
            return false;
        q = Find(target)->queue;
    }
    PostTo(q, target, WM_CLOSE, 0, 0);
    return true;
}

} // namespace platform

using namespace platform;
using namespace platform::wm;

SHORT GetKeyState(int vk)
{
    std::lock_guard<std::recursive_mutex> lock(Sys().lock);
    const std::vector<UINT>& keysDown = Sys().input.keysDown;
    const bool down = std::find(keysDown.begin(), keysDown.end(), static_cast<UINT>(vk)) != keysDown.end();
    return down ? static_cast<SHORT>(0x8000) : SHORT{0};
}

HWND WindowFromPoint(POINT point)
{
    std::lock_guard<std::recursive_mutex> lock(Sys().lock);
    return WindowFromPointLocked(point);
}

HWND ChildWindowFromPoint(HWND parent, POINT point)
{
    std::lock_guard<std::recursive_mutex> lock(Sys().lock);
    const Window* w = FindOrFail(parent);
    if (!w || !RectContains(ClientOf(w), point))
        return nullptr;
    for (HWND child : w->children)
        if (const Window* c = Find(child); c && RectContains(c->rect, point))
            return child;
    return parent;
}

HWND SetCapture(HWND hwnd)
{
    HWND previous;
    {
        std::lock_guard<std::recursive_mutex> lock(Sys().lock);
        if (hwnd && !FindOrFail(hwnd))
            return nullptr;
        previous = CaptureLocked();
        Input().capture = hwnd;
    }
    if (previous && previous != hwnd)
        SendMessageW(previous, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(hwnd));
    return previous;
}

BOOL ReleaseCapture()
{
    SetCapture(nullptr);
    return TRUE;
}

HWND GetCapture()
{
    std::lock_guard<std::recursive_mutex> lock(Sys().lock);
    return CaptureLocked();
}

BOOL ScreenToClient(HWND hwnd, POINT* point)
{
    return MoveByClientOrigin(hwnd, point, -1) ? TRUE : FALSE;
}

BOOL ClientToScreen(HWND hwnd, POINT* point)
{
    return MoveByClientOrigin(hwnd, point, 1) ? TRUE : FALSE;
}
