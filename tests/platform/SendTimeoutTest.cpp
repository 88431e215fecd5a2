// A send with a time-out to a window of another thread: a receiver that
// does not take it costs the sender only the time-out and never sees it
// later; a receiver that took it finishes with its own copy of the data.
#include "platform/base/Clock.h"
#include "platform/base/Error.h"
#include "platform/ui/Window.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

// A window on a thread of its own, which starts taking messages only when
// told to, and which may be held inside its handling of WM_COPYDATA.
class Receiver {
public:
    explicit Receiver(bool holdInHandler) : m_holdInHandler(holdInHandler)
    {
        m_thread = std::thread([this] { Run(); });
        std::unique_lock<std::mutex> lock(m_lock);
        m_changed.wait(lock, [this] { return m_window != nullptr; });
    }
    ~Receiver()
    {
        Release();
        StartPumping();
        PostMessageW(m_window, WM_CLOSE, 0, 0);
        m_thread.join();
    }

    HWND Window() const { return m_window; }
    void StartPumping() { Set(m_pumping); }
    void Release() { Set(m_released); }
    // Waits until the handler holds a WM_COPYDATA.
    void WaitUntilHeld()
    {
        std::unique_lock<std::mutex> lock(m_lock);
        m_changed.wait(lock, [this] { return m_held; });
    }
    // Waits until the thread has handled everything sent or posted so far.
    std::vector<std::string> Received()
    {
        SendMessageW(m_window, WM_NULL, 0, 0);
        std::lock_guard<std::mutex> lock(m_lock);
        return m_received;
    }

private:
    void Set(bool& flag)
    {
        std::lock_guard<std::mutex> lock(m_lock);
        flag = true;
        m_changed.notify_all();
    }

    static LRESULT Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        auto* self = reinterpret_cast<Receiver*>(GetWindowLongW(hwnd, GWL_USERDATA));
        if (message == WM_COPYDATA && self) {
            std::unique_lock<std::mutex> lock(self->m_lock);
            if (self->m_holdInHandler) {
                self->m_held = true;
                self->m_changed.notify_all();
                self->m_changed.wait(lock, [self] { return self->m_released; });
            }
            const auto* copy = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
            self->m_received.emplace_back(static_cast<const char*>(copy->lpData), copy->cbData);
            return 77;
        }
        if (message == WM_CLOSE) {
            DestroyWindow(hwnd);
            PostQuitMessage(0);
            return 0;
        }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }

    void Run()
    {
        WNDCLASSW wc{};
        wc.lpfnWndProc = &Receiver::Proc;
        wc.lpszClassName = u"SendTimeoutReceiver";
        RegisterClassW(&wc);
        HWND window
            = CreateWindowExW(0, u"SendTimeoutReceiver", u"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        SetWindowLongW(window, GWL_USERDATA, reinterpret_cast<LONG_PTR>(this));
        {
            std::unique_lock<std::mutex> lock(m_lock);
            m_window = window;
            m_changed.notify_all();
            m_changed.wait(lock, [this] { return m_pumping; });
        }
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0)
            DispatchMessageW(&msg);
    }

    const bool m_holdInHandler;
    std::mutex m_lock;
    std::condition_variable m_changed;
    HWND m_window = nullptr;
    bool m_pumping = false;
    bool m_released = false;
    bool m_held = false;
    std::vector<std::string> m_received;
    std::thread m_thread;
};

// Sends "text" as WM_COPYDATA with a time-out of 200 ms while another thread
// moves the manual clock on (once ready() has returned) until the send
// returns.
BOOL SendText(
    HWND window, std::string text, DWORD_PTR* result, platform::ManualClock& clock,
    const std::function<void()>& ready = [] {})
{
    std::atomic<bool> returned{false};
    std::thread ticker([&] {
        ready();
        while (!returned) {
            clock.Advance(10);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    COPYDATASTRUCT copy{5, static_cast<DWORD>(text.size()), text.data()};
    BOOL sent
        = SendMessageTimeoutW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy), SMTO_ABORTIFHUNG, 200, result);
    DWORD error = GetLastError();
    // The sender's buffer is gone once it has returned.
    std::memset(text.data(), '#', text.size());
    returned = true;
    ticker.join();
    SetLastError(error);
    return sent;
}

TEST(SendTimeout, AnsweredInTimeGivesTheResult)
{
    platform::ManualClock clock;
    Receiver receiver(false);
    receiver.StartPumping();
    DWORD_PTR result = 0;
    EXPECT_TRUE(SendText(receiver.Window(), "route", &result, clock));
    EXPECT_EQ(result, 77u);
    EXPECT_EQ(receiver.Received(), std::vector<std::string>{"route"});
}

TEST(SendTimeout, AMessageNotTakenInTimeIsWithdrawn)
{
    platform::ManualClock clock;
    Receiver receiver(false); // not taking messages yet
    DWORD_PTR result = 1234;
    EXPECT_FALSE(SendText(receiver.Window(), "late", &result, clock));
    EXPECT_EQ(GetLastError(), ERROR_TIMEOUT);
    EXPECT_EQ(result, 1234u);
    receiver.StartPumping();
    EXPECT_TRUE(receiver.Received().empty());
}

TEST(SendTimeout, AMessageBeingHandledFinishesWithItsOwnCopy)
{
    platform::ManualClock clock;
    Receiver receiver(true);
    receiver.StartPumping();
    EXPECT_FALSE(SendText(receiver.Window(), "position 37, 127", nullptr, clock, [&] { receiver.WaitUntilHeld(); }));
    EXPECT_EQ(GetLastError(), ERROR_TIMEOUT);
    receiver.Release();
    EXPECT_EQ(receiver.Received(), std::vector<std::string>{"position 37, 127"});
}

TEST(SendTimeout, AWindowThatIsGoneIsAnError)
{
    HWND gone = nullptr;
    {
        Receiver receiver(false);
        gone = receiver.Window();
    }
    EXPECT_FALSE(SendMessageTimeoutW(gone, WM_NULL, 0, 0, SMTO_NORMAL, 100, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
}

} // namespace
