// Window classes, creating and destroying windows, their visibility,
// geometry, words and titles, and the search for a top-level window.
#include "platform/ui/Window.h"

#include "platform/base/Clock.h"
#include "platform/base/Error.h"
#include "platform/base/Text.h"
#include "platform/ui/WindowInternal.h"

#include <algorithm>

namespace platform::wm {
namespace {

constexpr DWORD ERROR_INVALID_INDEX = 1413;

// The window and the descendants that show with it: the ones with
// WS_VISIBLE set, down to the first that is hidden.
void CollectShownTree(const Window* w, std::vector<HWND>* out)
{
    out->push_back(w->handle);
    for (HWND child : w->children)
        if (const Window* c = Find(child); c && (c->style & WS_VISIBLE))
            CollectShownTree(c, out);
}

// Paints again what a window uncovered (screen coordinates) when it went
// away, hid or moved.
void Expose(const RECT& area)
{
    std::vector<std::pair<HWND, RECT>> repaint;
    {
        std::lock_guard<std::recursive_mutex> lock(Sys().lock);
        repaint = ExposedLocked(area);
    }
    for (const auto& [h, r] : repaint)
        Invalidate(h, &r);
}

} // namespace
} // namespace platform::wm

using namespace platform;
using namespace platform::wm;

HINSTANCE GetModuleHandleW(LPCWSTR)
{
    return reinterpret_cast<HINSTANCE>(static_cast<std::uintptr_t>(0x10000));
}

ATOM RegisterClassW(const WNDCLASSW* wc)
{
    if (!wc || !wc->lpszClassName || !*wc->lpszClassName || wc->cbWndExtra < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::lock_guard<std::recursive_mutex> lock(Sys().lock);
    std::u16string folded = FoldText(wc->lpszClassName);
    for (auto& c : Sys().classes) {
        if (FoldText(c->name.c_str()) == folded) {
            SetLastError(ERROR_CLASS_ALREADY_EXISTS);
            return 0;
        }
    }
    auto cls = std::make_shared<WindowClass>();
    cls->name = wc->lpszClassName;
    cls->proc = wc->lpfnWndProc;
    cls->style = wc->style;
    cls->wndExtra = wc->cbWndExtra;
    cls->instance = wc->hInstance;
    Sys().classes.push_back(cls);
    return static_cast<ATOM>(0xC000 + Sys().classes.size());
}

BOOL UnregisterClassW(LPCWSTR className, HINSTANCE)
{
    std::lock_guard<std::recursive_mutex> lock(Sys().lock);
    std::u16string folded = FoldText(className);
    for (auto it = Sys().classes.begin(); it != Sys().classes.end(); ++it) {
        if (FoldText((*it)->name.c_str()) == folded) {
            Sys().classes.erase(it);
            return TRUE;
        }
    }
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
}

HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR title, DWORD style, int x, int y, int width, int height,
                     HWND parent, HMENU menu, HINSTANCE instance, LPVOID param)
{
    HWND hwnd;
    {
        std::lock_guard<std::recursive_mutex> lock(Sys().lock);
        std::shared_ptr<WindowClass> cls;
        std::u16string folded = FoldText(className);
        for (auto& c : Sys().classes)
            if (FoldText(c->name.c_str()) == folded)
                cls = c;
        if (!cls) {
            SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
            return nullptr;
        }
        Window* parentWindow = nullptr;
        if (parent) {
            parentWindow = Find(parent);
            if (!parentWindow) {
                SetLastError(ERROR_INVALID_WINDOW_HANDLE);
                return nullptr;
            }
        }
        std::uint32_t slot;
        if (!Sys().freeSlots.empty()) {
            slot = Sys().freeSlots.back();
            Sys().freeSlots.pop_back();
        } else {
            slot = static_cast<std::uint32_t>(Sys().slots.size());
            Sys().slots.emplace_back();
        }
        auto w = std::make_unique<Window>();
        hwnd = MakeHandle(slot, Sys().slots[slot].generation);
        if (x == CW_USEDEFAULT)
            x = y = 0;
        if (width == CW_USEDEFAULT) {
            width = 800;
            height = 480;
        }
        w->handle = hwnd;
        w->cls = cls;
        w->proc = cls->proc;
        w->style = style;
        w->exStyle = exStyle;
        w->title = title ? title : u"";
        w->rect = RECT{x, y, x + std::max(width, 0), y + std::max(height, 0)};
        w->words.assign(static_cast<std::size_t>(cls->wndExtra / 4), 0); // word n takes bytes 4n to 4n+3
        w->queue = CurrentQueue();
        if ((style & WS_CHILD) && parentWindow) {
            w->parent = parent;
            w->id = reinterpret_cast<LONG_PTR>(menu);
            parentWindow->children.insert(parentWindow->children.begin(), hwnd);
        } else {
            w->parent = parent; // the owner of a top-level window
            // New top-level windows go in front of the others of their band.
            auto pos = Sys().topLevel.begin();
            if (!(exStyle & WS_EX_TOPMOST))
                while (pos != Sys().topLevel.end() && Find(*pos) && (Find(*pos)->exStyle & WS_EX_TOPMOST))
                    ++pos;
            Sys().topLevel.insert(pos, hwnd);
        }
        Sys().slots[slot].window = std::move(w);
    }
    CREATESTRUCTW cs{param, instance,  menu,   parent, height, width, y, x, static_cast<LONG>(style),
                     title, className, exStyle};
    if (CallProc(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        // Creation refused: the window is removed without WM_DESTROY, since
        // it never finished being created.
        RemoveWindow(hwnd);
        return nullptr;
    }
    if (IsWindowVisible(hwnd))
        Invalidate(hwnd, nullptr);
    ShowCaretsOnScreen();
    return hwnd;
}

BOOL DestroyWindow(HWND hwnd)
{
    std::vector<HWND> children;
    bool shown;
    RECT area;
    {
        std::lock_guard<std::recursive_mutex> lock(Sys().lock);
        Window* w = FindOrFail(hwnd);
        if (!w || w->destroying)
            return FALSE;
        shown = VisibleLocked(w);
        area = ScreenRectLocked(w);
        w->destroying = true;
        children = w->children;
    }
    CallProc(hwnd, WM_DESTROY, 0, 0);
    for (HWND child : children)
        DestroyWindow(child);
    CallProc(hwnd, WM_NCDESTROY, 0, 0);
    RemoveWindow(hwnd);
    if (shown)
        Expose(area);
    return TRUE;
}

BOOL IsWindow(HWND hwnd)
{
    if (IsRemote(hwnd)) {
        std::string reply;
        return Remote({"iswindow", RemoteId(hwnd)}, &reply) && reply == "1";
    }
    std::lock_guard<std::recursive_mutex> lock(Sys().lock);
    Window* w = Find(hwnd);
    return w != nullptr;
}

BOOL IsWindowVisible(HWND hwnd)
{
    std::lock_guard<std::recursive_mutex> lock(Sys().lock);
    Window* w = Find(hwnd);
    return w && VisibleLocked(w);
}

BOOL ShowWindow(HWND hwnd, int command)
{
    bool wasVisible;
    bool show = command != SW_HIDE;
    bool wasShown;
    RECT area;
    {
        std::lock_guard<std::recursive_mutex> lock(Sys().lock);
        Window* w = FindOrFail(hwnd);
        if (!w)
            return FALSE;
        wasVisible = (w->style & WS_VISIBLE) != 0;
        wasShown = VisibleLocked(w);
        area = ScreenRectLocked(w);
        if (show)
            w->style |= WS_VISIBLE;
        else
            w->style &= ~WS_VISIBLE;
    }
    if (show != wasVisible)
        CallProc(hwnd, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
    if (show) {
        // Its visible children were not on screen either: they need painting
        // with it.
        std::vector<HWND> shown;
        if (!wasVisible) {
            std::lock_guard<std::recursive_mutex> lock(Sys().lock);
            if (const Window* w = Find(hwnd))
                CollectShownTree(w, &shown);
        }
        for (HWND h : shown)
            Invalidate(h, nullptr);
    } else {
        if (auto q = QueueOf(hwnd))
            RemovePaint(q, hwnd);
        if (wasShown)
            Expose(area);
    }
    ShowCaretsOnScreen();
    return wasVisible ? TRUE : FALSE;
}

BOOL UpdateWindow(HWND hwnd)
{
    bool needsPaint;
    {
        std::lock_guard<std::recursive_mutex> lock(Sys().lock);
        Window* w = FindOrFail(hwnd);
        if (!w)
            return FALSE;
        needsPaint = w->hasUpdate && VisibleLocked(w);
    }
    if (needsPaint) {
        MSG msg{hwnd, WM_PAINT, 0, 0, GetTickCount(), {0, 0}};
        DispatchMessageW(&msg);
    }
    return TRUE;
}

BOOL GetClientRect(HWND hwnd, RECT* rect)
{
    std::lock_guard<std::recursive_mutex> lock(Sys().lock);
    Window* w = FindOrFail(hwnd);
    if (!w || !rect)
        return FALSE;
    *rect = ClientOf(w);
    return TRUE;
}

BOOL GetWindowRect(HWND hwnd, RECT* rect)
{
    std::lock_guard<std::recursive_mutex> lock(Sys().lock);
    Window* w = FindOrFail(hwnd);
    if (!w || !rect)
        return FALSE;
    RECT r = w->rect;
    for (Window* p = (w->style & WS_CHILD) ? Find(w->parent) : nullptr; p;
         p = (p->style & WS_CHILD) ? Find(p->parent) : nullptr) {
        r.left += p->rect.left;
        r.right += p->rect.left;
        r.top += p->rect.top;
        r.bottom += p->rect.top;
    }
    *rect = r;
    return TRUE;
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint)
{
    bool resized, moved;
    bool wasShown;
    RECT oldArea;
    {
        std::lock_guard<std::recursive_mutex> lock(Sys().lock);
        Window* w = FindOrFail(hwnd);
        if (!w)
            return FALSE;
        RECT r{x, y, x + std::max(width, 0), y + std::max(height, 0)};
        resized = (r.right - r.left) != (w->rect.right - w->rect.left)
            || (r.bottom - r.top) != (w->rect.bottom - w->rect.top);
        moved = r.left != w->rect.left || r.top != w->rect.top;
        wasShown = VisibleLocked(w) && (moved || resized);
        oldArea = ScreenRectLocked(w);
        w->rect = r;
    }
    if (wasShown)
        Expose(oldArea);
    if (moved)
        CallProc(hwnd, WM_MOVE, 0, MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)));
    if (resized)
        CallProc(hwnd, WM_SIZE, 0, MAKELPARAM(static_cast<WORD>(width), static_cast<WORD>(height)));
    if (repaint)
        Invalidate(hwnd, nullptr);
    ShowCaretsOnScreen();
    return TRUE;
}

HWND GetParent(HWND hwnd)
{
    std::lock_guard<std::recursive_mutex> lock(Sys().lock);
    Window* w = FindOrFail(hwnd);
    return w ? w->parent : nullptr;
}

LONG_PTR GetWindowLongW(HWND hwnd, int index)
{
    std::lock_guard<std::recursive_mutex> lock(Sys().lock);
    Window* w = FindOrFail(hwnd);
    if (!w)
        return 0;
    switch (index) {
    case GWL_WNDPROC:
        return reinterpret_cast<LONG_PTR>(w->proc);
    case GWL_ID:
        return w->id;
    case GWL_STYLE:
        return static_cast<LONG_PTR>(w->style);
    case GWL_EXSTYLE:
        return static_cast<LONG_PTR>(w->exStyle);
    case GWL_USERDATA:
        return w->userData;
    default:
        if (index >= 0 && index % 4 == 0 && static_cast<std::size_t>(index / 4) < w->words.size())
            return w->words[static_cast<std::size_t>(index / 4)];
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
}

LONG_PTR SetWindowLongW(HWND hwnd, int index, LONG_PTR value)
{
    std::lock_guard<std::recursive_mutex> lock(Sys().lock);
    Window* w = FindOrFail(hwnd);
    if (!w)
        return 0;
    LONG_PTR old = 0;
    switch (index) {
    case GWL_WNDPROC:
        old = reinterpret_cast<LONG_PTR>(w->proc);
        w->proc = reinterpret_cast<WNDPROC>(value);
        break;
    case GWL_ID:
        old = w->id;
        w->id = value;
        break;
    case GWL_STYLE:
        old = static_cast<LONG_PTR>(w->style);
        w->style = static_cast<DWORD>(value);
        break;
    case GWL_EXSTYLE:
        old = static_cast<LONG_PTR>(w->exStyle);
        w->exStyle = static_cast<DWORD>(value);
        break;
    case GWL_USERDATA:
        old = w->userData;
        w->userData = value;
        break;
    default:
        if (index >= 0 && index % 4 == 0 && static_cast<std::size_t>(index / 4) < w->words.size()) {
            old = w->words[static_cast<std::size_t>(index / 4)];
            w->words[static_cast<std::size_t>(index / 4)] = value;
        } else {
            SetLastError(ERROR_INVALID_INDEX);
        }
    }
    return old;
}

int GetWindowTextW(HWND hwnd, LPWSTR buffer, int capacity)
{
    std::lock_guard<std::recursive_mutex> lock(Sys().lock);
    Window* w = FindOrFail(hwnd);
    if (!w || !buffer || capacity <= 0)
        return 0;
    std::size_t n = std::min(w->title.size(), static_cast<std::size_t>(capacity - 1));
    w->title.copy(buffer, n);
    buffer[n] = 0;
    return static_cast<int>(n);
}

int GetClassNameW(HWND hwnd, LPWSTR buffer, int capacity)
{
    std::lock_guard<std::recursive_mutex> lock(Sys().lock);
    Window* w = FindOrFail(hwnd);
    if (!w || !buffer || capacity <= 0)
        return 0;
    std::size_t n = std::min(w->cls->name.size(), static_cast<std::size_t>(capacity - 1));
    w->cls->name.copy(buffer, n);
    buffer[n] = 0;
    return static_cast<int>(n);
}

BOOL SetWindowTextW(HWND hwnd, LPCWSTR text)
{
    std::lock_guard<std::recursive_mutex> lock(Sys().lock);
    Window* w = FindOrFail(hwnd);
    if (!w)
        return FALSE;
    w->title = text ? text : u"";
    return TRUE;
}

DWORD GetWindowThreadProcessId(HWND hwnd, DWORD* processId)
{
    std::lock_guard<std::recursive_mutex> lock(Sys().lock);
    Window* w = FindOrFail(hwnd);
    if (processId)
        *processId = w ? 1 : 0;
    return w ? w->queue->threadId : 0;
}

LRESULT DefWindowProcW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(hwnd, &ps);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_SETTEXT:
        return SetWindowTextW(hwnd, reinterpret_cast<LPCWSTR>(lParam));
    case WM_GETTEXT:
        return GetWindowTextW(hwnd, reinterpret_cast<LPWSTR>(lParam), static_cast<int>(wParam));
    default:
        return 0;
    }
}

LRESULT CallWindowProcW(WNDPROC proc, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return proc ? proc(hwnd, message, wParam, lParam) : 0;
}

HWND FindWindowW(LPCWSTR className, LPCWSTR title)
{
    {
        std::lock_guard<std::recursive_mutex> lock(Sys().lock);
        std::u16string cls = FoldText(className);
        std::u16string ttl = FoldText(title);
        for (HWND hwnd : Sys().topLevel) {
            Window* w = Find(hwnd);
            if (!w || w->destroying)
                continue;
            if (className && FoldText(w->cls->name.c_str()) != cls)
                continue;
            if (title && FoldText(w->title.c_str()) != ttl)
                continue;
            return hwnd;
        }
    }
    std::string reply;
    if (Remote({"find", OptionalWord(className), OptionalWord(title)}, &reply) && !reply.empty() && reply != "0")
        return MakeRemote(static_cast<std::uintptr_t>(std::stoull(reply)));
    return nullptr;
}
