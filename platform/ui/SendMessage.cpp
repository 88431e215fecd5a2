// Messages sent to a window: called at once on the window's own thread,
// else handed to its thread while the sender waits.
#include "platform/ui/Window.h"

#include "platform/base/Error.h"
#include "platform/ui/WindowInternal.h"

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
        s->done = true;
        s->sender->Touch();
    }
}

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
