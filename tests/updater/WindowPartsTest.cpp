#include "updater/BaseWindow.h"
#include "updater/BusyAnimation.h"
#include "updater/MainWindow.h"
#include "updater/ProgressBar.h"
#include "updater/ProgressTicker.h"
#include "updater/Resources.h"

#include "platform/gfx/Gdi.h"
#include "platform/gfx/Screen.h"
#include "tests/common/Screenshot.h"
#include "tests/updater/UpdaterScreenFixture.h"

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <utility>
#include <vector>

using namespace updatertest;

namespace {

// Records which operation each message reached.
class RecordingWindow : public CBaseWindow {
public:
    std::vector<std::string> calls;

    void OnPaint(HDC) override { calls.push_back("paint"); }
    LRESULT OnEraseBkgnd(HDC) override
    {
        calls.push_back("erase");
        return 5;
    }
    void OnKeyDown(WPARAM key, LPARAM) override { calls.push_back("keydown " + std::to_string(key)); }
    void OnLButtonDown(UINT keys, int x, int y) override
    {
        calls.push_back("down " + std::to_string(keys) + " " + std::to_string(x) + "," + std::to_string(y));
    }
    void OnCreate() override { calls.push_back("create"); }
    void OnCommand(WORD id, WORD code) override
    {
        calls.push_back("command " + std::to_string(id) + " " + std::to_string(code));
    }
    void OnShow() override { calls.push_back("show"); }
    void OnHide() override { calls.push_back("hide"); }
    LRESULT OnUserMessage(UINT message, WPARAM, LPARAM) override
    {
        calls.push_back("user " + std::to_string(message));
        return 77;
    }
    void OnTimer(UINT_PTR id) override { calls.push_back("timer " + std::to_string(id)); }
    void OnImeComposition(WPARAM, LPARAM) override { calls.push_back("ime"); }
};

class WindowPartsTest : public UpdaterScreenTest {};

TEST_F(WindowPartsTest, MessagesReachTheirOperations)
{
    RecordingWindow window;
    ASSERT_TRUE(window.RegisterClass(GetModuleHandleW(nullptr), u"Recording", RGB(0, 0, 0)));
    ASSERT_TRUE(window.Create(u"r", WS_POPUP, 0, 0, 100, 100, nullptr));
    ASSERT_NE(nullptr, window.GetHwnd());
    EXPECT_EQ(std::vector<std::string>{"create"}, window.calls);

    WINDOWPOS both{window.GetHwnd(), nullptr, 0, 0, 0, 0, SWP_SHOWWINDOW | SWP_HIDEWINDOW};
    WINDOWPOS shown{window.GetHwnd(), nullptr, 0, 0, 0, 0, SWP_SHOWWINDOW};
    struct Case {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        const char* call; // null: none
        LRESULT result;
    };
    const Case cases[] = {
        {WM_ERASEBKGND, 0, 0, "erase", 5},
        {WM_KEYDOWN, 0x25, 0, "keydown 37", 1},
        {WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(static_cast<WORD>(-3), 40), "down 1 -3,40", 1},
        {WM_COMMAND, MAKEWPARAM(1001, 2), 0, "command 1001 2", 1},
        {WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&both), "hide", 1},
        {WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&shown), "show", 1},
        {WM_TIMER, 9, 0, "timer 9", 1},
        {WM_USER + 5, 0, 0, "user 1029", 77},
        {WM_IME_STARTCOMPOSITION, 0, 0, nullptr, 0},
        {WM_IME_COMPOSITION, 0, 0, "ime", 1},
        {WM_CLOSE, 0, 0, nullptr, 1}, // the base does nothing: the window stays
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        window.calls.clear();
        EXPECT_EQ(c.result, SendMessageW(window.GetHwnd(), c.message, c.wParam, c.lParam));
        EXPECT_EQ(c.call ? std::vector<std::string>{c.call} : std::vector<std::string>{}, window.calls);
    }
    EXPECT_TRUE(IsWindow(window.GetHwnd()));
}

// A white window under the bar, so that what the bar paints shows.
class WhiteWindow : public CBaseWindow {
public:
    void OnPaint(HDC dc) override
    {
        RECT all{0, 0, 800, 480};
        FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    }
};

TEST_F(WindowPartsTest, ProgressBarStretchesItsPictureToThePercentage)
{
    WhiteWindow window;
    ASSERT_TRUE(window.RegisterClass(GetModuleHandleW(nullptr), u"White", RGB(255, 255, 255)));
    ASSERT_TRUE(window.Create(u"w", WS_POPUP | WS_VISIBLE, 0, 0, 800, 480, nullptr));
    Pump();
    platform::Screen& screen = platform::Screen::Get();
    const std::uint16_t white = platform::Rgb565(255, 255, 255);
    const int y = 339 + 10;
    CProgressBar bar;
    bar.SetPercent(50); // not bound yet
    EXPECT_EQ(white, screen.Pixel(200, y));
    bar.Init(window.GetHwnd(), IDB_PROGRESS_BAR, 164, 339, 472, 20);

    bar.SetPercent(40); // 472 * 0.4 = 188.8: 188 columns
    EXPECT_NE(white, screen.Pixel(164, y));
    EXPECT_NE(white, screen.Pixel(164 + 187, y));
    EXPECT_EQ(white, screen.Pixel(164 + 188, y));
    EXPECT_EQ(white, screen.Pixel(164, 339 + 20));

    bar.SetPercent(101);
    EXPECT_EQ(white, screen.Pixel(164 + 188, y));
    bar.SetPercent(100);
    EXPECT_NE(white, screen.Pixel(164 + 471, y));
    EXPECT_EQ(white, screen.Pixel(164 + 472, y));
    bar.SetPercent(0);
    for (int x : {164, 400, 635})
        EXPECT_EQ(0, screen.Pixel(x, y)) << x;

    CProgressBar empty;
    empty.Init(window.GetHwnd(), IDB_PROGRESS_BAR, 10, 10, 0, 20);
    empty.SetPercent(100);
    EXPECT_EQ(white, screen.Pixel(10, 15));
}

class Recorder {
public:
    void Add(DWORD duration, DWORD elapsed)
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_calls.emplace_back(duration, elapsed);
    }
    std::vector<std::pair<DWORD, DWORD>> Calls() const
    {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_calls;
    }
    std::size_t Count() const { return Calls().size(); }

private:
    mutable std::mutex m_lock;
    std::vector<std::pair<DWORD, DWORD>> m_calls;
};

TEST_F(WindowPartsTest, TickerCountsRestartsStopsAndCloses)
{
    Recorder recorder;
    CProgressTicker ticker([&](DWORD d, DWORD e) { recorder.Add(d, e); });
    ASSERT_TRUE(ticker.Start(10000, 1000));
    ASSERT_TRUE(AdvanceUntil([&] { return recorder.Count() >= 3; }));
    using Calls = std::vector<std::pair<DWORD, DWORD>>;
    EXPECT_EQ((Calls{{10000, 0}, {10000, 1000}, {10000, 2000}}), recorder.Calls());

    // A Start while it runs begins again from 0 with the new duration.
    ASSERT_TRUE(ticker.Start(5000, 500));
    ASSERT_TRUE(AdvanceUntil([&] { return recorder.Count() >= 6; }));
    const Calls all = recorder.Calls();
    EXPECT_EQ((Calls{{5000, 0}, {5000, 0}, {5000, 500}}), Calls(all.begin() + 3, all.end()));

    // After Stop the bar stays at 0 however long it waits.
    ticker.Stop();
    ASSERT_TRUE(AdvanceUntil([&] { return recorder.Count() >= 7; }));
    EXPECT_EQ((std::pair<DWORD, DWORD>{5000, 0}), recorder.Calls().back());
    m_clock.Advance(1000000);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(7u, recorder.Count());
    EXPECT_TRUE(ticker.IsRunning());

    // Close fills the bar and ends the thread.
    ticker.Close();
    ASSERT_TRUE(WaitUntil([&] { return !ticker.IsRunning(); }));
    EXPECT_EQ((std::pair<DWORD, DWORD>{5000, 5000}), recorder.Calls().back());
    EXPECT_EQ(8u, recorder.Count());

    // It can run again.
    ASSERT_TRUE(ticker.Start(2000, 1000));
    ASSERT_TRUE(AdvanceUntil([&] { return recorder.Count() >= 9; }));
    EXPECT_EQ((std::pair<DWORD, DWORD>{2000, 0}), recorder.Calls().back());
}

TEST_F(WindowPartsTest, BusyAnimationCyclesItsFramesUntilStopped)
{
    WhiteWindow window;
    ASSERT_TRUE(window.RegisterClass(GetModuleHandleW(nullptr), u"White", RGB(255, 255, 255)));
    ASSERT_TRUE(window.Create(u"w", WS_POPUP | WS_VISIBLE, 0, 0, 800, 480, nullptr));
    Pump();
    const std::uint16_t white = platform::Rgb565(255, 255, 255);
    platform::Screen& screen = platform::Screen::Get();

    CBusyAnimation none;
    ASSERT_TRUE(none.Start(nullptr, nullptr));
    ASSERT_TRUE(WaitUntil([&] { return !none.IsRunning(); }));
    EXPECT_EQ(0, none.FramesShown());

    CBusyAnimation busy;
    ASSERT_TRUE(busy.Start(window.GetHwnd(), nullptr));
    EXPECT_FALSE(busy.Start(window.GetHwnd(), nullptr));
    ASSERT_TRUE(AdvanceUntil([&] { return busy.FramesShown() >= 1; }));
    EXPECT_NE(white, screen.Pixel(CBusyAnimation::kX, CBusyAnimation::kY));
    EXPECT_NE(white, screen.Pixel(CBusyAnimation::kX + 113, CBusyAnimation::kY + 108));
    EXPECT_EQ(white, screen.Pixel(CBusyAnimation::kX + 114, CBusyAnimation::kY));
    // Nine frames and round again: the tenth is the first once more.
    std::vector<std::uint16_t> first(114 * 109), tenth(114 * 109), second(114 * 109);
    const RECT area{CBusyAnimation::kX, CBusyAnimation::kY, CBusyAnimation::kX + 114, CBusyAnimation::kY + 109};
    screen.CopyShown(area, first.data(), 114);
    ASSERT_TRUE(AdvanceUntil([&] { return busy.FramesShown() >= 2; }));
    screen.CopyShown(area, second.data(), 114);
    ASSERT_TRUE(AdvanceUntil([&] { return busy.FramesShown() >= 10; }));
    screen.CopyShown(area, tenth.data(), 114);
    EXPECT_NE(first, second);
    EXPECT_EQ(first, tenth);

    busy.Stop();
    ASSERT_TRUE(WaitUntil([&] { return !busy.IsRunning(); }));

    // A stop that comes before the thread first runs still ends it.
    for (int i = 0; i < 200; ++i) {
        ASSERT_TRUE(busy.Start(window.GetHwnd(), nullptr));
        busy.Stop();
        ASSERT_TRUE(WaitUntil([&] { return !busy.IsRunning(); })) << i;
    }
}

using UpdaterWindowScreenshot = UpdaterScreenTest;

TEST_F(UpdaterWindowScreenshot, StatusBusyAnimationAndBarAt40Percent)
{
    CMainWIndow window;
    ASSERT_TRUE(window.Create(GetModuleHandleW(nullptr)));
    Pump();
    window.ShowStatus(u"Software Update", u"Installing the application...", u"Do not turn off the power.");
    ASSERT_TRUE(AdvanceUntil([&] { return window.BusyAnimation().FramesShown() >= 1; }));
    window.UpdateProgress(1000, 400);
    EXPECT_TRUE(screenshot::ScreenMatchesReference());
    window.BusyAnimation().Stop();
}

} // namespace
