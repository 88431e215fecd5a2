#include "platform/ui/Window.h"

#include "platform/base/Clock.h"
#include "platform/base/Debug.h"
#include "platform/base/Error.h"
#include "platform/base/Text.h"
#include "platform/gfx/GdiInternal.h"
#include "platform/gfx/Screen.h"
#include "platform/os/Thread.h"
#include "platform/unit/Unit.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace platform {
namespace {

constexpr DWORD ERROR_INVALID_INDEX = 1413;
constexpr DWORD ERROR_INVALID_THREAD_ID = 1444;
constexpr std::uintptr_t kRemoteBit = std::uintptr_t{1} << 56;
constexpr std::uintptr_t kFlagBits = 0xF; // low bits of a handle carry request flags
constexpr UINT kFirstRegisteredMessage = 0xC000;

struct MessageQueue;

struct Timer {
    HWND hwnd;
    UINT_PTR id;
    UINT interval;
    TIMERPROC proc;
    std::uint64_t due;
};

// A message sent from another thread, waiting to be handled by the queue's
// thread; the sender waits on its own queue until it is done.
struct SentMessage {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    LRESULT result = 0;
    bool done = false;
    std::shared_ptr<MessageQueue> sender;
};

struct MessageQueue {
    DWORD threadId = 0;
    std::mutex lock;
    std::condition_variable_any changed;
    std::uint64_t changes = 0; // bumped on every arrival, so waiters re-check
    std::deque<MSG> posted;
    std::deque<std::shared_ptr<SentMessage>> sent;
    bool quit = false;
    int quitCode = 0;
    std::vector<HWND> paint; // visible windows with an update rectangle
    std::vector<Timer> timers;
    UINT_PTR nextThreadTimer = 1;
    bool alive = true;

    void Touch()
    {
        ++changes;
        changed.notify_all();
    }
};

struct WindowClass {
    std::u16string name;
    WNDPROC proc;
    UINT style;
    int wndExtra;
    HINSTANCE instance;
};

struct Window {
    HWND handle = nullptr;
    std::shared_ptr<WindowClass> cls;
    WNDPROC proc = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    std::u16string title;
    HWND parent = nullptr;
    std::vector<HWND> children; // front first
    RECT rect{};                // in the parent's client coordinates (screen for top-level)
    std::vector<LONG_PTR> words;
    LONG_PTR userData = 0;
    LONG_PTR id = 0;
    std::shared_ptr<MessageQueue> queue;
    bool hasUpdate = false;
    RECT update{};
    bool destroying = false;
    unsigned paintsBegun = 0;
};

// A thread's caret. hidden counts the HideCaret calls not yet matched by a
// ShowCaret; it shows at 0.
struct Caret {
    DWORD thread = 0;
    HWND hwnd = nullptr;
    int width = 1;
    int height = 1;
    POINT position{0, 0}; // client coordinates of hwnd
    int hidden = 1;
};

struct Slot {
    std::uint32_t generation = 1;
    std::unique_ptr<Window> window;
};

// The window manager's state, made on first use so that windows and
// registered messages can be used from static initialisers of other files.
// Lock order: a queue's lock may be held while taking the window lock, never
// the reverse; window procedures run with neither held.
struct WindowSystem {
    std::recursive_mutex lock;
    std::vector<Slot> slots = std::vector<Slot>(1); // slot 0 is never used
    std::vector<std::uint32_t> freeSlots;
    std::vector<std::shared_ptr<WindowClass>> classes;
    std::vector<HWND> topLevel; // z-order, front first
    HWND foreground = nullptr;
    std::map<std::u16string, UINT> registeredIds;
    std::vector<std::u16string> registeredNames;
    std::mutex queuesLock;
    std::map<DWORD, std::weak_ptr<MessageQueue>> queues;
    std::vector<Caret> carets; // at most one per thread
    bool caretsShown = false;  // the screen was last handed caret rectangles
    // Held from working out the carets' screen rectangles until the screen
    // has them, so that they arrive in the order they were worked out.
    // Taken before the window lock, never while holding it.
    std::mutex caretScreenLock;
};

WindowSystem& Sys()
{
    // Never destroyed: threads may still post while the process exits.
    static WindowSystem* system = new WindowSystem;
    return *system;
}

std::u16string Fold(LPCWSTR text)
{
    std::u16string out;
    for (; text && *text; ++text)
        out += FoldCase(*text);
    return out;
}

// Handles: ((generation << 24) | slot) << 4; the low four bits stay free.
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

void ShowCaretsOnScreen();
void DropThreadCaret(DWORD thread);

struct QueueHolder {
    std::shared_ptr<MessageQueue> queue;
    ~QueueHolder()
    {
        if (!queue)
            return;
        std::deque<std::shared_ptr<SentMessage>> pending;
        {
            std::lock_guard<std::mutex> lock(queue->lock);
            queue->alive = false;
            pending.swap(queue->sent);
        }
        // Senders waiting on this thread get 0.
        for (auto& s : pending) {
            std::lock_guard<std::mutex> lock(s->sender->lock);
            s->done = true;
            s->sender->Touch();
        }
        {
            std::lock_guard<std::mutex> lock(Sys().queuesLock);
            Sys().queues.erase(queue->threadId);
        }
        DropThreadCaret(queue->threadId);
    }
};

thread_local QueueHolder t_queue;
thread_local DWORD t_lastMessageTime = 0;

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

// The window and the descendants that show with it: the ones with
// WS_VISIBLE set, down to the first that is hidden.
void CollectShownTree(const Window* w, std::vector<HWND>* out)
{
    out->push_back(w->handle);
    for (HWND child : w->children)
        if (const Window* c = Find(child); c && (c->style & WS_VISIBLE))
            CollectShownTree(c, out);
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

bool IsEmpty(const RECT& r)
{
    return r.right <= r.left || r.bottom <= r.top;
}

RECT Intersect(const RECT& a, const RECT& b)
{
    return RECT{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                std::min(a.bottom, b.bottom)};
}

RECT Union(const RECT& a, const RECT& b)
{
    return RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                std::max(a.bottom, b.bottom)};
}

// Where the window shows, in screen coordinates: see WindowScreenArea.
// Caller holds Sys().lock.
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

void AddPaint(const std::shared_ptr<MessageQueue>& q, HWND hwnd)
{
    std::lock_guard<std::mutex> lock(q->lock);
    if (std::find(q->paint.begin(), q->paint.end(), hwnd) == q->paint.end())
        q->paint.push_back(hwnd);
    q->Touch();
}

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

// Takes the window out of the tables and frees its slot, so that its handle
// is stale from now on; its paint request and timers are dropped. Messages
// already posted to it stay queued: dispatching them finds a stale handle
// and does nothing.
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

// Hands the screen the rectangles of the carets that show: each clipped to
// the parts of its window that show. Called after anything that may change
// them, never while holding Sys().lock.
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

// Runs the messages other threads sent to this thread's windows.
void HandleSentMessages(MessageQueue& q)
{
    for (;;) {
        std::shared_ptr<SentMessage> s;
        {
            std::lock_guard<std::mutex> lock(q.lock);
            if (q.sent.empty())
                return;
            s = q.sent.front();
            q.sent.pop_front();
        }
        LRESULT result = CallProc(s->hwnd, s->message, s->wParam, s->lParam);
        std::lock_guard<std::mutex> lock(s->sender->lock);
        s->result = result;
        s->done = true;
        s->sender->Touch();
    }
}

bool MatchesWindow(HWND filter, HWND hwnd)
{
    if (!filter)
        return true;
    if (filter == reinterpret_cast<HWND>(static_cast<std::intptr_t>(-1)))
        return hwnd == nullptr;
    return hwnd == filter;
}

bool InRange(UINT message, UINT low, UINT high)
{
    return (low == 0 && high == 0) || (message >= low && message <= high);
}

bool Retrieve(MSG* out, HWND filter, UINT low, UINT high, bool remove, bool wait)
{
    std::shared_ptr<MessageQueue> q = CurrentQueue();
    for (;;) {
        HandleSentMessages(*q);
        std::unique_lock<std::mutex> lock(q->lock);
        if (!q->sent.empty())
            continue;
        std::uint64_t now = NowMs();
        for (auto it = q->posted.begin(); it != q->posted.end(); ++it) {
            if (MatchesWindow(filter, it->hwnd) && InRange(it->message, low, high)) {
                *out = *it;
                if (remove)
                    q->posted.erase(it);
                t_lastMessageTime = out->time;
                return true;
            }
        }
        if (q->quit) {
            *out = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(q->quitCode), 0, static_cast<DWORD>(now), {0, 0}};
            if (remove)
                q->quit = false;
            t_lastMessageTime = out->time;
            return true;
        }
        if (InRange(WM_PAINT, low, high)) {
            std::lock_guard<std::recursive_mutex> wm(Sys().lock);
            for (auto it = q->paint.begin(); it != q->paint.end();) {
                Window* w = Find(*it);
                if (!w || !w->hasUpdate || !VisibleLocked(w)) {
                    it = q->paint.erase(it);
                    continue;
                }
                if (MatchesWindow(filter, *it)) {
                    *out = MSG{*it, WM_PAINT, 0, 0, static_cast<DWORD>(now), {0, 0}};
                    t_lastMessageTime = out->time;
                    return true;
                }
                ++it;
            }
        }
        std::uint64_t nextDue = UINT64_MAX;
        if (InRange(WM_TIMER, low, high)) {
            Timer* best = nullptr;
            for (Timer& t : q->timers) {
                if (!MatchesWindow(filter, t.hwnd))
                    continue;
                if (t.due <= now && (!best || t.due < best->due))
                    best = &t;
                nextDue = std::min(nextDue, t.due);
            }
            if (best) {
                *out
                    = MSG{best->hwnd, WM_TIMER, best->id, reinterpret_cast<LPARAM>(best->proc), static_cast<DWORD>(now),
                          {0, 0}};
                if (remove)
                    best->due = now + best->interval;
                t_lastMessageTime = out->time;
                return true;
            }
        }
        if (!wait)
            return false;
        std::uint64_t seen = q->changes;
        WaitUntilMs(q->changed, lock, nextDue, [&] { return q->changes != seen; });
    }
}

void PostTo(const std::shared_ptr<MessageQueue>& q, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    std::lock_guard<std::mutex> lock(q->lock);
    q->posted.push_back(MSG{hwnd, message, wParam, lParam, GetTickCount(), {0, 0}});
    q->Touch();
}

// Sends to a window of another thread and waits, handling messages sent to
// this thread meanwhile so that two threads sending to each other do not
// lock up.
LRESULT SendAcross(const std::shared_ptr<MessageQueue>& target, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    std::shared_ptr<MessageQueue> self = CurrentQueue();
    auto s = std::make_shared<SentMessage>();
    s->hwnd = hwnd;
    s->message = message;
    s->wParam = wParam;
    s->lParam = lParam;
    s->sender = self;
    {
        std::lock_guard<std::mutex> lock(target->lock);
        if (!target->alive)
            return 0;
        target->sent.push_back(s);
        target->Touch();
    }
    for (;;) {
        HandleSentMessages(*self);
        std::unique_lock<std::mutex> lock(self->lock);
        if (s->done)
            return s->result;
        if (!self->sent.empty())
            continue;
        std::uint64_t seen = self->changes;
        self->changed.wait(lock, [&] { return self->changes != seen; });
    }
}

// Remote windows: requests to the process that owns the unit.
HWND MakeRemote(std::uintptr_t value)
{
    return value ? reinterpret_cast<HWND>(value | kRemoteBit) : nullptr;
}

std::string RemoteId(HWND hwnd)
{
    return std::to_string(HandleValue(hwnd) & ~kRemoteBit);
}

bool Remote(const std::vector<std::string>& words, std::string* reply)
{
    return UnitOwnedElsewhere() && UnitRequest(words, reply);
}

std::string OptionalWord(LPCWSTR text)
{
    return text ? "=" + ToUtf8(text) : std::string();
}

std::u16string OptionalText(const std::string& word, bool* present)
{
    *present = !word.empty();
    return *present ? FromUtf8(word.substr(1)) : std::u16string();
}

HWND LocalHandle(const std::string& word)
{
    return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(std::stoull(word)));
}

} // namespace

std::u16string RegisteredMessageName(UINT id)
{
    std::lock_guard<std::recursive_mutex> lock(Sys().lock);
    if (id < kFirstRegisteredMessage || id - kFirstRegisteredMessage >= Sys().registeredNames.size())
        return {};
    return Sys().registeredNames[id - kFirstRegisteredMessage];
}

bool IsRemoteWindow(HWND hwnd)
{
    return IsRemote(hwnd);
}

std::size_t PostedMessageCount()
{
    auto q = CurrentQueue();
    std::lock_guard<std::mutex> lock(q->lock);
    return q->posted.size();
}

bool WindowScreenArea(HWND hwnd, std::vector<RECT>* area)
{
    std::lock_guard<std::recursive_mutex> lock(Sys().lock);
    const Window* w = FindOrFail(hwnd);
    if (!w || !area)
        return false;
    *area = ScreenAreaLocked(w);
    return true;
}

void RegisterWindowControlCommands()
{
    SetControlHandler("find", [](const std::vector<std::string>& args) -> std::string {
        if (args.size() < 3)
            return "0";
        bool hasClass, hasTitle;
        std::u16string cls = OptionalText(args[1], &hasClass);
        std::u16string title = OptionalText(args[2], &hasTitle);
        HWND hwnd = FindWindowW(hasClass ? cls.c_str() : nullptr, hasTitle ? title.c_str() : nullptr);
        return std::to_string(reinterpret_cast<std::uintptr_t>(hwnd));
    });
    SetControlHandler("iswindow", [](const std::vector<std::string>& args) -> std::string {
        if (args.size() < 2)
            return "0";
        return IsWindow(LocalHandle(args[1])) ? "1" : "0";
    });
    SetControlHandler("post", [](const std::vector<std::string>& args) -> std::string {
        if (args.size() < 5)
            return "0";
        // A registered message travels by name: its id differs between processes.
        UINT message = args[2].rfind("name:", 0) == 0 ? RegisterWindowMessageW(FromUtf8(args[2].substr(5)).c_str())
                                                      : static_cast<UINT>(std::stoul(args[2]));
        BOOL ok = PostMessageW(LocalHandle(args[1]), message, static_cast<WPARAM>(std::stoull(args[3])),
                               static_cast<LPARAM>(std::stoll(args[4])));
        return ok ? "1" : "0";
    });
    SetControlHandler("foreground", [](const std::vector<std::string>& args) -> std::string {
        if (args.size() < 2)
            return "0";
        HWND hwnd = LocalHandle(args[1]);
        WCHAR title[128] = {};
        GetWindowTextW(hwnd, title, 128);
        BOOL ok = SetForegroundWindow(hwnd);
        if (ok)
            NKDbgPrintfW(u"[UNIT] window \"%s\" brought to the front by another program\n", title);
        return ok ? "1" : "0";
    });
}

} // namespace platform

using namespace platform;

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
    std::u16string folded = Fold(wc->lpszClassName);
    for (auto& c : Sys().classes) {
        if (Fold(c->name.c_str()) == folded) {
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
    std::u16string folded = Fold(className);
    for (auto it = Sys().classes.begin(); it != Sys().classes.end(); ++it) {
        if (Fold((*it)->name.c_str()) == folded) {
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
        std::u16string folded = Fold(className);
        for (auto& c : Sys().classes)
            if (Fold(c->name.c_str()) == folded)
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
    {
        std::lock_guard<std::recursive_mutex> lock(Sys().lock);
        Window* w = FindOrFail(hwnd);
        if (!w || w->destroying)
            return FALSE;
        w->destroying = true;
        children = w->children;
    }
    CallProc(hwnd, WM_DESTROY, 0, 0);
    for (HWND child : children)
        DestroyWindow(child);
    CallProc(hwnd, WM_NCDESTROY, 0, 0);
    RemoveWindow(hwnd);
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
    {
        std::lock_guard<std::recursive_mutex> lock(Sys().lock);
        Window* w = FindOrFail(hwnd);
        if (!w)
            return FALSE;
        wasVisible = (w->style & WS_VISIBLE) != 0;
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
    } else if (auto q = QueueOf(hwnd)) {
        RemovePaint(q, hwnd);
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
    {
        std::lock_guard<std::recursive_mutex> lock(Sys().lock);
        Window* w = FindOrFail(hwnd);
        if (!w)
            return FALSE;
        RECT r{x, y, x + std::max(width, 0), y + std::max(height, 0)};
        resized = (r.right - r.left) != (w->rect.right - w->rect.left)
            || (r.bottom - r.top) != (w->rect.bottom - w->rect.top);
        moved = r.left != w->rect.left || r.top != w->rect.top;
        w->rect = r;
    }
    if (moved)
        CallProc(hwnd, WM_MOVE, 0, MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)));
    if (resized)
        CallProc(hwnd, WM_SIZE, 0, MAKELPARAM(static_cast<WORD>(width), static_cast<WORD>(height)));
    if (repaint)
        Invalidate(hwnd, nullptr);
    ShowCaretsOnScreen();
    return TRUE;
}

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
        if (w && !(w->style & WS_CHILD) && VisibleLocked(w))
            Sys().foreground = hwnd;
    }
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
        std::u16string cls = Fold(className);
        std::u16string ttl = Fold(title);
        for (HWND hwnd : Sys().topLevel) {
            Window* w = Find(hwnd);
            if (!w || w->destroying)
                continue;
            if (className && Fold(w->cls->name.c_str()) != cls)
                continue;
            if (title && Fold(w->title.c_str()) != ttl)
                continue;
            return hwnd;
        }
    }
    std::string reply;
    if (Remote({"find", OptionalWord(className), OptionalWord(title)}, &reply) && !reply.empty() && reply != "0")
        return MakeRemote(static_cast<std::uintptr_t>(std::stoull(reply)));
    return nullptr;
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

BOOL GetMessageW(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax)
{
    if (!msg)
        return FALSE;
    Retrieve(msg, hwnd, filterMin, filterMax, true, true);
    return msg->message == WM_QUIT ? FALSE : TRUE;
}

BOOL PeekMessageW(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags)
{
    if (!msg)
        return FALSE;
    return Retrieve(msg, hwnd, filterMin, filterMax, (removeFlags & PM_REMOVE) != 0, false) ? TRUE : FALSE;
}

BOOL TranslateMessage(const MSG* msg)
{
    // Key messages arrive with their characters already posted by the input
    // side, so there is nothing to translate.
    return msg && (msg->message == WM_KEYDOWN || msg->message == WM_KEYUP);
}

LRESULT DispatchMessageW(const MSG* msg)
{
    if (!msg)
        return 0;
    // The lParam of a WM_TIMER is called only when it is the procedure of a
    // live timer: a posted WM_TIMER (even one from another process, through
    // the control socket) is an ordinary message.
    if (msg->message == WM_TIMER && msg->lParam) {
        if (TIMERPROC proc = LiveTimerProc(msg->hwnd, msg->wParam, msg->lParam)) {
            proc(msg->hwnd, WM_TIMER, msg->wParam, GetTickCount());
            return 0;
        }
    }
    if (!msg->hwnd)
        return 0;
    if (msg->message != WM_PAINT)
        return CallProc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
    unsigned begun;
    {
        std::lock_guard<std::recursive_mutex> lock(Sys().lock);
        Window* w = Find(msg->hwnd);
        if (!w)
            return 0;
        begun = w->paintsBegun;
    }
    LRESULT result = CallProc(msg->hwnd, WM_PAINT, msg->wParam, msg->lParam);
    // A window procedure that answers WM_PAINT without painting would be
    // asked again at once, for ever: its update is dropped instead.
    bool unpainted;
    {
        std::lock_guard<std::recursive_mutex> lock(Sys().lock);
        Window* w = Find(msg->hwnd);
        unpainted = w && w->paintsBegun == begun && w->hasUpdate;
    }
    if (unpainted)
        ClearUpdate(msg->hwnd);
    return result;
}

BOOL PostMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!hwnd) {
        PostTo(CurrentQueue(), nullptr, message, wParam, lParam);
        return TRUE;
    }
    if (hwnd == HWND_BROADCAST) {
        std::vector<std::pair<HWND, std::shared_ptr<MessageQueue>>> targets;
        {
            std::lock_guard<std::recursive_mutex> lock(Sys().lock);
            for (HWND h : Sys().topLevel)
                if (Window* w = Find(h))
                    targets.emplace_back(h, w->queue);
        }
        for (auto& [h, q] : targets)
            PostTo(q, h, message, wParam, lParam);
        return TRUE;
    }
    if (IsRemote(hwnd)) {
        std::u16string name = RegisteredMessageName(message);
        std::string word = name.empty() ? std::to_string(message) : "name:" + ToUtf8(name);
        std::string reply;
        return Remote({"post", RemoteId(hwnd), word, std::to_string(wParam), std::to_string(lParam)}, &reply)
            && reply == "1";
    }
    std::shared_ptr<MessageQueue> q = QueueOf(hwnd);
    if (!q) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    PostTo(q, hwnd, message, wParam, lParam);
    return TRUE;
}

LRESULT SendMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    std::shared_ptr<MessageQueue> q = QueueOf(hwnd);
    if (!q) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (q == t_queue.queue)
        return CallProc(hwnd, message, wParam, lParam);
    return SendAcross(q, hwnd, message, wParam, lParam);
}

BOOL PostThreadMessageW(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam)
{
    std::shared_ptr<MessageQueue> q;
    {
        std::lock_guard<std::mutex> lock(Sys().queuesLock);
        auto it = Sys().queues.find(threadId);
        if (it != Sys().queues.end())
            q = it->second.lock();
    }
    if (!q) {
        SetLastError(ERROR_INVALID_THREAD_ID);
        return FALSE;
    }
    PostTo(q, nullptr, message, wParam, lParam);
    return TRUE;
}

void PostQuitMessage(int exitCode)
{
    auto q = CurrentQueue();
    std::lock_guard<std::mutex> lock(q->lock);
    q->quit = true;
    q->quitCode = exitCode;
    q->Touch();
}

LONG GetMessageTime()
{
    return static_cast<LONG>(t_lastMessageTime);
}

UINT RegisterWindowMessageW(LPCWSTR name)
{
    if (!name || !*name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::lock_guard<std::recursive_mutex> lock(Sys().lock);
    std::u16string folded = Fold(name);
    auto it = Sys().registeredIds.find(folded);
    if (it != Sys().registeredIds.end())
        return it->second;
    UINT id = kFirstRegisteredMessage + static_cast<UINT>(Sys().registeredNames.size());
    if (id > 0xFFFF) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    Sys().registeredIds.emplace(folded, id);
    Sys().registeredNames.emplace_back(name);
    return id;
}

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
    {
        std::lock_guard<std::recursive_mutex> lock(Sys().lock);
        Caret* c = ThreadCaretLocked(GetCurrentThreadId(), hwnd);
        if (!c)
            return FALSE;
        if (c->hidden > 0)
            --c->hidden;
    }
    ShowCaretsOnScreen();
    return TRUE;
}

BOOL HideCaret(HWND hwnd)
{
    {
        std::lock_guard<std::recursive_mutex> lock(Sys().lock);
        Caret* c = ThreadCaretLocked(GetCurrentThreadId(), hwnd);
        if (!c)
            return FALSE;
        ++c->hidden;
    }
    ShowCaretsOnScreen();
    return TRUE;
}

// ---------------------------------------------------------------------------
// Pointer and keyboard input: hit testing, capture, coordinate mapping and
// the delivery of touch and key events as posted messages.

namespace platform {
namespace {

// Process-wide input state, guarded by Sys().lock.
struct InputState {
    HWND capture = nullptr;
    bool pressed = false;       // between a pointer press and its release
    HWND pressWindow = nullptr; // the window the press went to
    std::vector<UINT> keysDown; // for the previous-state bit of key messages
};

InputState& Input()
{
    static InputState* state = new InputState;
    return *state;
}

bool Contains(const RECT& r, POINT p)
{
    return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

// The deepest visible, enabled descendant of w containing the point (in w's
// client coordinates), else w. Caller holds Sys().lock.
HWND DeepestChild(const Window* w, POINT p)
{
    for (HWND child : w->children) {
        const Window* c = Find(child);
        if (!c || !(c->style & WS_VISIBLE) || (c->style & WS_DISABLED) || c->destroying || !Contains(c->rect, p))
            continue;
        return DeepestChild(c, POINT{p.x - c->rect.left, p.y - c->rect.top});
    }
    return w->handle;
}

HWND WindowFromPointLocked(POINT p)
{
    for (HWND hwnd : Sys().topLevel) {
        const Window* w = Find(hwnd);
        if (w && VisibleLocked(w) && Contains(w->rect, p))
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
        if (const Window* w = Find(hwnd); w && VisibleLocked(w))
            return hwnd;
    return nullptr;
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
    {
        std::lock_guard<std::recursive_mutex> lock(Sys().lock);
        InputState& in = Input();
        const POINT point{x, y};
        if (kind == kPointerDown) {
            message = WM_LBUTTONDOWN;
            target = CaptureLocked() ? CaptureLocked() : WindowFromPointLocked(point);
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

HWND WindowFromPoint(POINT point)
{
    std::lock_guard<std::recursive_mutex> lock(Sys().lock);
    return WindowFromPointLocked(point);
}

HWND ChildWindowFromPoint(HWND parent, POINT point)
{
    std::lock_guard<std::recursive_mutex> lock(Sys().lock);
    const Window* w = FindOrFail(parent);
    if (!w || !Contains(ClientOf(w), point))
        return nullptr;
    for (HWND child : w->children)
        if (const Window* c = Find(child); c && Contains(c->rect, point))
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
    std::lock_guard<std::recursive_mutex> lock(Sys().lock);
    const Window* w = FindOrFail(hwnd);
    if (!w || !point)
        return FALSE;
    const POINT origin = ClientOrigin(w);
    point->x -= origin.x;
    point->y -= origin.y;
    return TRUE;
}

BOOL ClientToScreen(HWND hwnd, POINT* point)
{
    std::lock_guard<std::recursive_mutex> lock(Sys().lock);
    const Window* w = FindOrFail(hwnd);
    if (!w || !point)
        return FALSE;
    const POINT origin = ClientOrigin(w);
    point->x += origin.x;
    point->y += origin.y;
    return TRUE;
}
