// Messages sent to a window: called at once on the window's own thread,
// else handed to its thread while the sender waits.
#include "platform/ui/Window.h"

#include "platform/base/Clock.h"
#include "platform/base/Error.h"
#include "platform/ui/WindowInternal.h"

#include <algorithm>

namespace platform::wm {

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
        s->handled = true;
        s->done = true;
        s->sender->Touch();
    }
}

// Sends to a window of another thread and waits for the answer, handling
// the messages sent to this thread meanwhile so that two threads sending to
// each other do not lock up.
LRESULT SendAcross(const std::shared_ptr<MessageQueue>& target, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                   std::uint64_t deadlineMs, SendOutcome* outcome)
{
    std::shared_ptr<MessageQueue> self = CurrentQueue();
    auto s = std::make_shared<SentMessage>();
    s->hwnd = hwnd;
    s->message = message;
    s->wParam = wParam;
    s->lParam = lParam;
    s->sender = self;
    if (message == WM_COPYDATA && lParam) {
        const auto* from = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        s->copy.dwData = from->dwData;
        if (from->lpData && from->cbData > 0) {
            const auto* bytes = static_cast<const std::uint8_t*>(from->lpData);
            s->copyBytes.assign(bytes, bytes + from->cbData);
            s->copy.cbData = from->cbData;
            s->copy.lpData = s->copyBytes.data();
        }
        s->lParam = reinterpret_cast<LPARAM>(&s->copy);
    }
    SendOutcome ignored;
    if (!outcome)
        outcome = &ignored;
    {
        std::lock_guard<std::mutex> lock(target->lock);
        if (!target->alive) {
            *outcome = SendOutcome::Dropped;
            return 0;
        }
        target->sent.push_back(s);
        target->Touch();
    }
    for (;;) {
        HandleSentMessages(*self);
        std::unique_lock<std::mutex> lock(self->lock);
        if (s->done) {
            *outcome = s->handled ? SendOutcome::Answered : SendOutcome::Dropped;
            return s->result;
        }
        if (!self->sent.empty())
            continue;
        if (NowMs() >= deadlineMs)
            break;
        std::uint64_t seen = self->changes;
        WaitUntilMs(self->changed, lock, deadlineMs, [&] { return self->changes != seen; });
    }
    std::lock_guard<std::mutex> lock(target->lock);
    auto waiting = std::find(target->sent.begin(), target->sent.end(), s);
    if (waiting != target->sent.end())
        target->sent.erase(waiting);
    *outcome = SendOutcome::TimedOut;
    return 0;
}

void AbandonSentMessages(MessageQueue& q)
{
    std::deque<std::shared_ptr<SentMessage>> pending;
    {
        std::lock_guard<std::mutex> lock(q.lock);
        q.alive = false;
        pending.swap(q.sent);
    }
    for (auto& s : pending) {
        std::lock_guard<std::mutex> lock(s->sender->lock);
        s->done = true;
        s->sender->Touch();
    }
}

} // namespace platform::wm

using namespace platform::wm;

LRESULT SendMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    std::shared_ptr<MessageQueue> q = QueueOf(hwnd);
    if (!q) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (IsCurrentQueue(q))
        return CallProc(hwnd, message, wParam, lParam);
    return SendAcross(q, hwnd, message, wParam, lParam);
}

BOOL SendMessageTimeoutW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT, UINT timeoutMs, DWORD_PTR* result)
{
    std::shared_ptr<MessageQueue> q = QueueOf(hwnd);
    if (!q) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    LRESULT answer = 0;
    if (IsCurrentQueue(q)) {
        answer = CallProc(hwnd, message, wParam, lParam);
    } else {
        SendOutcome outcome = SendOutcome::Answered;
        answer = SendAcross(q, hwnd, message, wParam, lParam, platform::DeadlineAfter(timeoutMs), &outcome);
        if (outcome != SendOutcome::Answered) {
            SetLastError(outcome == SendOutcome::TimedOut ? ERROR_TIMEOUT : ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
    }
    if (result)
        *result = static_cast<DWORD_PTR>(answer);
    return TRUE;
}
