// Posting and retrieving messages: the posted queue, WM_QUIT, the WM_PAINT
// and WM_TIMER made at retrieval, dispatch, and registered messages.
#include "platform/ui/Window.h"

#include "platform/base/Clock.h"
#include "platform/base/Error.h"
#include "platform/base/Text.h"
#include "platform/ui/WindowInternal.h"

#include <algorithm>

namespace platform::wm {
namespace {

constexpr DWORD ERROR_INVALID_THREAD_ID = 1444;

thread_local DWORD t_lastMessageTime = 0;

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

} // namespace

void PostTo(const std::shared_ptr<MessageQueue>& q, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    std::lock_guard<std::mutex> lock(q->lock);
    q->posted.push_back(MSG{hwnd, message, wParam, lParam, GetTickCount(), {0, 0}});
    q->Touch();
}

} // namespace platform::wm

namespace platform {

using namespace platform::wm;

std::u16string RegisteredMessageName(UINT id)
{
    std::lock_guard<std::recursive_mutex> lock(Sys().lock);
    if (id < kFirstRegisteredMessage || id - kFirstRegisteredMessage >= Sys().registeredNames.size())
        return {};
    return Sys().registeredNames[id - kFirstRegisteredMessage];
}

std::size_t PostedMessageCount()
{
    auto q = CurrentQueue();
    std::lock_guard<std::mutex> lock(q->lock);
    return q->posted.size();
}

} // namespace platform

using namespace platform;
using namespace platform::wm;

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
    std::u16string folded = FoldText(name);
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
