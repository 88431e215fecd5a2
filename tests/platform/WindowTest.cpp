#include "platform/ui/Window.h"

#include "platform/base/Clock.h"
#include "platform/base/Error.h"
#include "platform/base/Handle.h"
#include "platform/base/Text.h"
#include "platform/os/Sync.h"
#include "platform/os/Thread.h"
#include "tests/platform/PaintedWindows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

static bool operator==(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

static void PrintTo(const RECT& r, std::ostream* os)
{
    *os << "{" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << "}";
}

namespace {

constexpr DWORD ERROR_INVALID_INDEX = 1413;
constexpr UINT U0 = WM_USER;
constexpr UINT U1 = WM_USER + 1;
constexpr UINT U2 = WM_USER + 2;
constexpr UINT U3 = WM_USER + 3;

struct Call {
    HWND hwnd;
    UINT message;
};

// What a test window's procedure saw, and how it answers. The probe arrives
// as the creation parameter and is kept in GWL_USERDATA.
struct Probe {
    std::vector<Call> calls;
    // A result answers the message; nothing passes it on to DefWindowProcW.
    std::function<std::optional<LRESULT>(HWND, UINT, WPARAM, LPARAM)> handle;

    int Count(UINT message) const
    {
        int n = 0;
        for (const Call& c : calls)
            n += c.message == message;
        return n;
    }
};

LRESULT ProbeProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CREATE) {
        auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongW(hwnd, GWL_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    if (auto* probe = reinterpret_cast<Probe*>(GetWindowLongW(hwnd, GWL_USERDATA))) {
        probe->calls.push_back({hwnd, message});
        if (probe->handle)
            if (std::optional<LRESULT> result = probe->handle(hwnd, message, wParam, lParam))
                return *result;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// Retrieves and dispatches whatever is ready on this thread, in order. The
// bound turns a message that keeps coming back into a failure, not a hang.
std::vector<MSG> Pump()
{
    std::vector<MSG> seen;
    MSG msg;
    while (seen.size() < 50 && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        seen.push_back(msg);
        DispatchMessageW(&msg);
    }
    return seen;
}

std::vector<UINT> Ids(const std::vector<MSG>& messages)
{
    std::vector<UINT> ids;
    for (const MSG& m : messages)
        ids.push_back(m.message);
    return ids;
}

std::u16string Upper(std::u16string text)
{
    for (WCHAR& c : text)
        if (c >= u'a' && c <= u'z')
            c = static_cast<WCHAR>(c - 32);
    return text;
}

// The window system is process-wide: every test registers classes named
// after itself, and leaves no window, class or queued message behind.
class Window : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_class = u"WindowTest." + platform::FromUtf8(::testing::UnitTest::GetInstance()->current_test_info()->name());
        ASSERT_NE(Register(m_class, 8), 0);
    }

    void TearDown() override
    {
        // The probes, locals of the test body, are gone by now.
        for (HWND hwnd : m_windows)
            if (IsWindow(hwnd))
                SetWindowLongW(hwnd, GWL_USERDATA, 0);
        for (auto it = m_windows.rbegin(); it != m_windows.rend(); ++it)
            if (IsWindow(*it))
                DestroyWindow(*it);
        for (const std::u16string& name : m_classes)
            EXPECT_TRUE(UnregisterClassW(name.c_str(), nullptr));
        Pump();
    }

    ATOM Register(const std::u16string& name, int wndExtra)
    {
        WNDCLASSW wc{};
        wc.lpfnWndProc = ProbeProc;
        wc.cbWndExtra = wndExtra;
        wc.lpszClassName = name.c_str();
        ATOM atom = RegisterClassW(&wc);
        if (atom)
            m_classes.push_back(name);
        return atom;
    }

    HWND Create(Probe* probe, DWORD style = WS_VISIBLE, HWND parent = nullptr, LPCWSTR title = u"",
                const std::u16string& cls = {})
    {
        HWND hwnd = CreateWindowExW(0, (cls.empty() ? m_class : cls).c_str(), title, style, 0, 0, 100, 50, parent,
                                    nullptr, nullptr, probe);
        if (hwnd)
            m_windows.push_back(hwnd);
        return hwnd;
    }

    std::u16string m_class;
    std::vector<std::u16string> m_classes;
    std::vector<HWND> m_windows;
};

// ---- the queue ----

TEST_F(Window, PostedMessagesComeBeforeQuitPaintAndTimers)
{
    enum Step { Post0, Post1, Quit, Invalidate, TimerDue };
    struct Case {
        const char* name;
        std::vector<Step> steps;
        std::vector<UINT> expected;
    };
    const Case cases[] = {
        {"paint and timer pending before the posts",
         {Invalidate, TimerDue, Post0, Post1},
         {U0, U1, WM_PAINT, WM_TIMER}},
        {"timer due before the paint request", {TimerDue, Invalidate}, {WM_PAINT, WM_TIMER}},
        {"quit requested before the posts", {Quit, Post0, Invalidate, Post1}, {U0, U1, WM_QUIT, WM_PAINT}},
        {"quit before a due timer", {TimerDue, Quit}, {WM_QUIT, WM_TIMER}},
    };
    platform::ManualClock clock;
    HWND hwnd = Create(nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Pump();
        for (Step step : c.steps) {
            switch (step) {
            case Post0:
            case Post1:
                PostMessageW(hwnd, step == Post0 ? U0 : U1, 0, 0);
                break;
            case Quit:
                PostQuitMessage(0);
                break;
            case Invalidate:
                InvalidateRect(hwnd, nullptr, FALSE);
                break;
            case TimerDue:
                SetTimer(hwnd, 1, 10, nullptr);
                clock.Advance(10);
                break;
            }
        }
        EXPECT_EQ(Ids(Pump()), c.expected);
        KillTimer(hwnd, 1);
    }
}

TEST_F(Window, PeekTakesTheFirstMatchingMessageAndLeavesTheRest)
{
    // Posted in this order: (window, message).
    const std::vector<std::pair<int, UINT>> posted{{0, U0}, {1, U1}, {0, U2}, {1, U3}};
    struct Case {
        const char* name;
        int window; // -1: any
        UINT low, high;
        UINT flags;
        std::optional<std::pair<int, UINT>> taken;
        std::vector<std::pair<int, UINT>> left;
    };
    const Case cases[] = {
        {"no filter", -1, 0, 0, PM_REMOVE, {{0, U0}}, {{1, U1}, {0, U2}, {1, U3}}},
        {"no filter, not removed", -1, 0, 0, PM_NOREMOVE, {{0, U0}}, posted},
        {"range", -1, U2, U3, PM_REMOVE, {{0, U2}}, {{0, U0}, {1, U1}, {1, U3}}},
        {"range, not removed", -1, U1, U3, PM_NOREMOVE, {{1, U1}}, posted},
        {"window", 1, 0, 0, PM_REMOVE, {{1, U1}}, {{0, U0}, {0, U2}, {1, U3}}},
        {"window and range", 1, U2, WM_APP, PM_REMOVE, {{1, U3}}, {{0, U0}, {1, U1}, {0, U2}}},
        {"nothing matches", 0, U3, U3, PM_REMOVE, std::nullopt, posted},
    };
    const HWND windows[] = {Create(nullptr, 0), Create(nullptr, 0)};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (auto [w, message] : posted)
            ASSERT_TRUE(PostMessageW(windows[w], message, 0, 0));
        MSG msg{};
        BOOL found = PeekMessageW(&msg, c.window < 0 ? nullptr : windows[c.window], c.low, c.high, c.flags);
        ASSERT_EQ(found != FALSE, c.taken.has_value());
        if (c.taken) {
            EXPECT_EQ(msg.hwnd, windows[c.taken->first]);
            EXPECT_EQ(msg.message, c.taken->second);
        }
        std::vector<std::pair<int, UINT>> left;
        for (const MSG& m : Pump())
            left.emplace_back(m.hwnd == windows[0] ? 0 : 1, m.message);
        EXPECT_EQ(left, c.left);
    }
}

TEST_F(Window, QuitIgnoresFiltersWhilePaintAndTimersFollowThem)
{
    platform::ManualClock clock;
    HWND a = Create(nullptr, 0);
    HWND b = Create(nullptr);
    SetTimer(b, 1, 10, nullptr);
    clock.Advance(10);
    MSG msg{};
    // b needs painting and its timer is due, but neither is in the range.
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_USER, WM_APP, PM_REMOVE));
    EXPECT_FALSE(PeekMessageW(&msg, a, 0, 0, PM_REMOVE));

    PostMessageW(a, U0, 0, 0);
    PostQuitMessage(3);
    ASSERT_TRUE(PeekMessageW(&msg, b, WM_APP, WM_APP, PM_NOREMOVE));
    EXPECT_EQ(msg.message, WM_QUIT);
    EXPECT_EQ(msg.hwnd, nullptr);
    EXPECT_EQ(msg.wParam, 3u);
    ASSERT_TRUE(GetMessageW(&msg, a, U0, U0)); // the posted message still comes first
    EXPECT_EQ(msg.message, U0);
    EXPECT_FALSE(GetMessageW(&msg, b, WM_APP, WM_APP));
    EXPECT_EQ(msg.message, WM_QUIT);
    EXPECT_EQ(msg.wParam, 3u);
    EXPECT_EQ(Ids(Pump()), (std::vector<UINT>{WM_PAINT, WM_TIMER}));
}

TEST_F(Window, MessagesCarryTheirPostingTime)
{
    platform::ManualClock clock(5000);
    HWND hwnd = Create(nullptr, 0);
    PostMessageW(hwnd, U0, 0, 0);
    clock.Advance(30);
    PostThreadMessageW(GetCurrentThreadId(), U1, 0, 0);
    SetTimer(hwnd, 1, 20, nullptr);
    clock.Advance(50);

    MSG msg{};
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.time, 5000u);
    EXPECT_EQ(GetMessageTime(), 5000);
    ASSERT_TRUE(GetMessageW(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, U0);
    EXPECT_EQ(msg.time, 5000u);
    ASSERT_TRUE(GetMessageW(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, U1);
    EXPECT_EQ(msg.time, 5030u);
    EXPECT_EQ(GetMessageTime(), 5030);
    // A timer message is made when it is retrieved.
    ASSERT_TRUE(GetMessageW(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, WM_TIMER);
    EXPECT_EQ(msg.time, 5080u);
    EXPECT_EQ(GetMessageTime(), 5080);
}

TEST(WindowMessage, RegisteredIdsFollowTheNameInAnyCase)
{
    UINT alpha = RegisterWindowMessageW(u"WindowTest.Registered.Alpha");
    UINT beta = RegisterWindowMessageW(u"WindowTest.Registered.Beta");
    EXPECT_GE(alpha, 0xC000u);
    EXPECT_GE(beta, 0xC000u);
    EXPECT_LE(alpha, 0xFFFFu);
    EXPECT_NE(alpha, beta);
    EXPECT_EQ(RegisterWindowMessageW(u"WINDOWTEST.registered.alpha"), alpha);
    EXPECT_EQ(platform::RegisteredMessageName(alpha), u"WindowTest.Registered.Alpha");
    EXPECT_EQ(platform::RegisteredMessageName(WM_USER), u"");

    SetLastError(0);
    EXPECT_EQ(RegisterWindowMessageW(u""), 0u);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

// ---- sending and nested loops ----

TEST_F(Window, SendOnTheSameThreadIsReentrant)
{
    std::vector<std::string> log;
    Probe probe;
    probe.handle = [&](HWND hwnd, UINT message, WPARAM wParam, LPARAM) -> std::optional<LRESULT> {
        if (message == U0) {
            log.push_back("outer begins");
            LRESULT nested = SendMessageW(hwnd, U1, wParam + 1, 0);
            log.push_back("outer continues with " + std::to_string(nested));
            return nested * 10;
        }
        if (message == U1) {
            log.push_back("nested");
            return static_cast<LRESULT>(wParam);
        }
        return std::nullopt;
    };
    HWND hwnd = Create(&probe, 0);
    EXPECT_EQ(SendMessageW(hwnd, U0, 4, 0), 50);
    EXPECT_EQ(log, (std::vector<std::string>{"outer begins", "nested", "outer continues with 5"}));
    EXPECT_EQ(platform::PostedMessageCount(), 0u);
}

struct CrossThreadSend {
    std::u16string cls;
    HWND target = nullptr; // a window of the test thread
    Probe probe;           // for the worker's own window
    DWORD workerId = 0;
    DWORD handledOn = 0;
    LRESULT result = 0;
};

DWORD SendFromWorker(LPVOID parameter)
{
    auto* t = static_cast<CrossThreadSend*>(parameter);
    t->workerId = GetCurrentThreadId();
    t->probe.handle = [t](HWND, UINT message, WPARAM wParam, LPARAM) -> std::optional<LRESULT> {
        if (message != U1)
            return std::nullopt;
        t->handledOn = GetCurrentThreadId();
        return static_cast<LRESULT>(wParam + 1);
    };
    HWND own = CreateWindowExW(0, t->cls.c_str(), u"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, &t->probe);
    t->result = SendMessageW(t->target, U0, 20, reinterpret_cast<LPARAM>(own));
    DestroyWindow(own);
    return 0;
}

TEST_F(Window, SendFromAnotherThreadIsHandledWhileThisThreadPumps)
{
    DWORD handledOn = 0;
    Probe probe;
    probe.handle = [&](HWND, UINT message, WPARAM wParam, LPARAM lParam) -> std::optional<LRESULT> {
        if (message != U0)
            return std::nullopt;
        handledOn = GetCurrentThreadId();
        // Sending back to the waiting sender's window must not lock up: the
        // sender handles it while it waits.
        LRESULT back = SendMessageW(reinterpret_cast<HWND>(lParam), U1, wParam, 0);
        PostQuitMessage(0);
        return back * 2;
    };
    CrossThreadSend t;
    t.cls = m_class;
    t.target = Create(&probe, 0);

    HANDLE worker = CreateThread(nullptr, 0, SendFromWorker, &t, 0, nullptr);
    ASSERT_NE(worker, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0))
        DispatchMessageW(&msg);
    ASSERT_EQ(WaitForSingleObject(worker, INFINITE), WAIT_OBJECT_0);
    CloseHandle(worker);

    EXPECT_EQ(handledOn, GetCurrentThreadId());
    EXPECT_EQ(t.handledOn, t.workerId);
    EXPECT_EQ(t.result, 42);
}

TEST_F(Window, InnerLoopEndsOnQuitAndPassesItOutward)
{
    std::vector<UINT> handled;
    WPARAM innerExit = 0;
    Probe probe;
    probe.handle = [&](HWND hwnd, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (message < WM_USER)
            return std::nullopt;
        handled.push_back(message);
        if (message == U0) {
            MSG msg;
            while (GetMessageW(&msg, nullptr, 0, 0))
                DispatchMessageW(&msg);
            innerExit = msg.wParam;
            PostQuitMessage(static_cast<int>(msg.wParam));
            PostMessageW(hwnd, U3, 0, 0); // still comes before the quit
        }
        if (message == U1)
            PostQuitMessage(7);
        return 0;
    };
    HWND hwnd = Create(&probe, 0);
    PostMessageW(hwnd, U0, 0, 0);
    PostMessageW(hwnd, U1, 0, 0);
    PostMessageW(hwnd, U2, 0, 0);

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0))
        DispatchMessageW(&msg);
    EXPECT_EQ(msg.message, WM_QUIT);
    EXPECT_EQ(msg.wParam, 7u);
    EXPECT_EQ(innerExit, 7u);
    EXPECT_EQ(handled, (std::vector<UINT>{U0, U1, U2, U3}));
}

// ---- timers ----

TEST_F(Window, TimerIsDueOneIntervalAfterSettingAndAfterEachDelivery)
{
    platform::ManualClock clock;
    Probe probe;
    HWND hwnd = Create(&probe, 0);
    ASSERT_EQ(SetTimer(hwnd, 7, 100, nullptr), 7u);
    clock.Advance(99);
    EXPECT_TRUE(Pump().empty());
    clock.Advance(1);
    std::vector<MSG> got = Pump();
    ASSERT_EQ(Ids(got), std::vector<UINT>{WM_TIMER});
    EXPECT_EQ(got[0].hwnd, hwnd);
    EXPECT_EQ(got[0].wParam, 7u);
    EXPECT_EQ(probe.Count(WM_TIMER), 1);

    clock.Advance(300); // late by several intervals: one message all the same
    EXPECT_EQ(Ids(Pump()), std::vector<UINT>{WM_TIMER});
    clock.Advance(99);
    EXPECT_TRUE(Pump().empty());
    clock.Advance(1);
    EXPECT_EQ(Ids(Pump()), std::vector<UINT>{WM_TIMER});
}

TEST_F(Window, ReplacingATimerRestartsItAndKillingStopsIt)
{
    platform::ManualClock clock;
    HWND a = Create(nullptr, 0);
    HWND b = Create(nullptr, 0);
    SetTimer(a, 1, 100, nullptr);
    SetTimer(b, 1, 100, nullptr); // same id on another window: a separate timer
    clock.Advance(60);
    SetTimer(a, 1, 100, nullptr);
    clock.Advance(40);
    std::vector<MSG> got = Pump();
    ASSERT_EQ(Ids(got), std::vector<UINT>{WM_TIMER});
    EXPECT_EQ(got[0].hwnd, b);
    clock.Advance(60);
    got = Pump();
    ASSERT_EQ(Ids(got), std::vector<UINT>{WM_TIMER});
    EXPECT_EQ(got[0].hwnd, a);

    // Killed while due: it never arrives.
    clock.Advance(100);
    EXPECT_TRUE(KillTimer(a, 1));
    EXPECT_TRUE(KillTimer(b, 1));
    EXPECT_TRUE(Pump().empty());
    clock.Advance(1000);
    EXPECT_TRUE(Pump().empty());
    EXPECT_FALSE(KillTimer(a, 1));
}

std::vector<std::pair<HWND, UINT_PTR>> g_timerCalls;

void RecordTimer(HWND hwnd, UINT message, UINT_PTR id, DWORD time)
{
    EXPECT_EQ(message, WM_TIMER);
    EXPECT_EQ(time, GetTickCount());
    g_timerCalls.emplace_back(hwnd, id);
}

TEST_F(Window, TimerProcsAreCalledByDispatch)
{
    platform::ManualClock clock;
    g_timerCalls.clear();
    Probe probe;
    HWND hwnd = Create(&probe, 0);
    UINT_PTR thread = SetTimer(nullptr, 0, 50, RecordTimer);
    ASSERT_NE(thread, 0u);
    EXPECT_EQ(SetTimer(nullptr, thread, 50, RecordTimer), thread); // replaces it
    ASSERT_EQ(SetTimer(hwnd, 3, 50, RecordTimer), 3u);
    clock.Advance(50);

    std::vector<MSG> got = Pump();
    ASSERT_EQ(Ids(got), (std::vector<UINT>{WM_TIMER, WM_TIMER}));
    EXPECT_EQ(g_timerCalls.size(), 2u);
    EXPECT_NE(std::find(g_timerCalls.begin(), g_timerCalls.end(), std::make_pair(HWND{}, thread)), g_timerCalls.end());
    EXPECT_NE(std::find(g_timerCalls.begin(), g_timerCalls.end(), std::make_pair(hwnd, UINT_PTR{3})),
              g_timerCalls.end());
    EXPECT_EQ(probe.Count(WM_TIMER), 0); // the proc answers instead of the window

    // A WM_TIMER posted by anyone is an ordinary message: its lParam is not
    // called unless it is the proc of a live timer.
    g_timerCalls.clear();
    PostMessageW(hwnd, WM_TIMER, 9, 0x1234);
    EXPECT_TRUE(KillTimer(nullptr, thread));
    EXPECT_TRUE(KillTimer(hwnd, 3));
    clock.Advance(50);
    EXPECT_EQ(Ids(Pump()), std::vector<UINT>{WM_TIMER});
    EXPECT_TRUE(g_timerCalls.empty());
    EXPECT_EQ(probe.Count(WM_TIMER), 1);
}

// ---- painting ----

TEST_F(Window, InvalidationsMergeIntoOnePaint)
{
    std::vector<RECT> painted;
    Probe probe;
    probe.handle = [&](HWND hwnd, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (message != WM_PAINT)
            return std::nullopt;
        PAINTSTRUCT ps;
        BeginPaint(hwnd, &ps);
        painted.push_back(ps.rcPaint);
        EndPaint(hwnd, &ps);
        return 0;
    };
    HWND hwnd = Create(&probe);
    EXPECT_EQ(Ids(Pump()), std::vector<UINT>{WM_PAINT});
    const RECT a{10, 10, 20, 20}, b{30, 5, 40, 15};
    InvalidateRect(hwnd, &a, FALSE);
    InvalidateRect(hwnd, &b, FALSE);
    EXPECT_EQ(Ids(Pump()), std::vector<UINT>{WM_PAINT});
    EXPECT_EQ(painted, (std::vector<RECT>{{0, 0, 100, 50}, {10, 5, 40, 20}}));
    RECT update;
    EXPECT_FALSE(GetUpdateRect(hwnd, &update, FALSE));
}

TEST_F(Window, OnlyVisibleWindowsArePainted)
{
    Probe probe;
    HWND hidden = Create(&probe, 0);
    HWND parent = Create(&probe, 0);
    HWND child = Create(&probe, WS_CHILD | WS_VISIBLE, parent);
    HWND owner = Create(&probe, 0);
    HWND owned = Create(&probe, WS_POPUP | WS_VISIBLE, owner); // owned, not a child
    InvalidateRect(hidden, nullptr, FALSE);
    InvalidateRect(child, nullptr, FALSE);

    EXPECT_FALSE(IsWindowVisible(child));
    EXPECT_TRUE(IsWindowVisible(owned));
    std::vector<MSG> got = Pump();
    ASSERT_EQ(Ids(got), std::vector<UINT>{WM_PAINT});
    EXPECT_EQ(got[0].hwnd, owned);
    RECT update;
    EXPECT_TRUE(GetUpdateRect(hidden, &update, FALSE)); // kept for when it shows

    // Showing a window paints it and the visible children it uncovers.
    ShowWindow(hidden, SW_SHOW);
    ShowWindow(parent, SW_SHOW);
    got = Pump();
    ASSERT_EQ(Ids(got), (std::vector<UINT>{WM_PAINT, WM_PAINT, WM_PAINT}));
    EXPECT_EQ(got[0].hwnd, hidden);
    EXPECT_EQ(got[1].hwnd, parent);
    EXPECT_EQ(got[2].hwnd, child);

    // Hidden again before it was painted: no paint of it (only of what it
    // uncovered).
    InvalidateRect(hidden, nullptr, FALSE);
    ShowWindow(hidden, SW_HIDE);
    for (const MSG& msg : Pump())
        EXPECT_NE(msg.hwnd, hidden);
}

TEST_F(Window, PaintThatIsNotHandledIsDropped)
{
    Probe probe;
    probe.handle = [](HWND, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
        return message == WM_PAINT ? std::optional<LRESULT>(0) : std::nullopt;
    };
    HWND hwnd = Create(&probe);
    EXPECT_EQ(Ids(Pump()), std::vector<UINT>{WM_PAINT});
    RECT update;
    EXPECT_FALSE(GetUpdateRect(hwnd, &update, FALSE));
    InvalidateRect(hwnd, nullptr, FALSE);
    EXPECT_EQ(Ids(Pump()), std::vector<UINT>{WM_PAINT});
    EXPECT_EQ(probe.Count(WM_PAINT), 2);
}

// ---- creation and destruction ----

TEST_F(Window, CreationPassesTheCreateStruct)
{
    struct Seen {
        LPVOID param;
        std::u16string cls, title;
        HWND parent;
        HMENU menu;
        int x, y, cx, cy;
        LONG style;
    } seen{};
    Probe probe;
    probe.handle = [&](HWND, UINT message, WPARAM, LPARAM lParam) -> std::optional<LRESULT> {
        if (message == WM_CREATE) {
            auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
            seen = {cs->lpCreateParams,
                    cs->lpszClass,
                    cs->lpszName,
                    cs->hwndParent,
                    cs->hMenu,
                    cs->x,
                    cs->y,
                    cs->cx,
                    cs->cy,
                    cs->style};
        }
        return std::nullopt;
    };
    HWND parent = Create(nullptr, 0);
    HMENU id = reinterpret_cast<HMENU>(static_cast<std::uintptr_t>(12));
    HWND hwnd = CreateWindowExW(0, m_class.c_str(), u"Knob", WS_CHILD, 5, 6, 70, 80, parent, id, nullptr, &probe);
    ASSERT_NE(hwnd, nullptr);
    m_windows.push_back(hwnd);
    EXPECT_EQ(seen.param, &probe);
    EXPECT_EQ(seen.cls, m_class);
    EXPECT_EQ(seen.title, u"Knob");
    EXPECT_EQ(seen.parent, parent);
    EXPECT_EQ(seen.menu, id);
    EXPECT_EQ((std::vector<int>{seen.x, seen.y, seen.cx, seen.cy}), (std::vector<int>{5, 6, 70, 80}));
    EXPECT_EQ(static_cast<DWORD>(seen.style), WS_CHILD);
    EXPECT_EQ(GetWindowLongW(hwnd, GWL_ID), 12);
    EXPECT_EQ(GetParent(hwnd), parent);
}

TEST_F(Window, RefusedCreationLeavesNothingBehind)
{
    platform::ManualClock clock;
    Probe probe;
    probe.handle = [](HWND hwnd, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (message != WM_CREATE)
            return std::nullopt;
        SetTimer(hwnd, 1, 10, nullptr);
        PostMessageW(hwnd, U0, 0, 0);
        return -1;
    };
    EXPECT_EQ(Create(&probe, WS_VISIBLE, nullptr, u"Refused"), nullptr);
    ASSERT_EQ(probe.calls.size(), 1u);
    EXPECT_EQ(probe.calls[0].message, WM_CREATE);
    HWND refused = probe.calls[0].hwnd;
    EXPECT_FALSE(IsWindow(refused));
    EXPECT_EQ(FindWindowW(m_class.c_str(), nullptr), nullptr);

    // The message it posted to itself is dropped harmlessly; its timer is gone.
    clock.Advance(10);
    EXPECT_EQ(Ids(Pump()), std::vector<UINT>{U0});
    EXPECT_EQ(probe.calls.size(), 1u);
}

TEST_F(Window, DestroyGoesFromParentToChildrenAndLeavesStaleHandles)
{
    Probe probe;
    HWND parent = Create(&probe);
    HWND child = Create(&probe, WS_CHILD | WS_VISIBLE, parent);
    HWND grandchild = Create(&probe, WS_CHILD | WS_VISIBLE, child);
    PostMessageW(child, U0, 0, 0);
    probe.calls.clear();

    ASSERT_TRUE(DestroyWindow(parent));
    std::vector<std::pair<HWND, UINT>> order;
    for (const Call& c : probe.calls)
        order.emplace_back(c.hwnd, c.message);
    EXPECT_EQ(order,
              (std::vector<std::pair<HWND, UINT>>{{parent, WM_DESTROY},
                                                  {child, WM_DESTROY},
                                                  {grandchild, WM_DESTROY},
                                                  {grandchild, WM_NCDESTROY},
                                                  {child, WM_NCDESTROY},
                                                  {parent, WM_NCDESTROY}}));

    for (HWND stale : {parent, child, grandchild}) {
        EXPECT_FALSE(IsWindow(stale));
        SetLastError(0);
        EXPECT_FALSE(PostMessageW(stale, U1, 0, 0));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
        EXPECT_EQ(SendMessageW(stale, U1, 0, 0), 0);
        EXPECT_FALSE(DestroyWindow(stale));
    }
    // The message posted before the end is dropped when dispatched.
    probe.calls.clear();
    EXPECT_EQ(Ids(Pump()), std::vector<UINT>{U0});
    EXPECT_TRUE(probe.calls.empty());

    // A new window may take a freed slot, never an old handle.
    HWND fresh = Create(nullptr, 0);
    EXPECT_NE(fresh, parent);
    EXPECT_NE(fresh, child);
    EXPECT_NE(fresh, grandchild);
    EXPECT_FALSE(IsWindow(child));
}

TEST_F(Window, WindowWordsArePointerSizedAtStepsOfFour)
{
    struct Case {
        int cbWndExtra;
        int index;
        bool valid;
    };
    const Case cases[] = {
        {8, 0, true}, {8, 4, true}, {8, 8, false}, {8, 2, false}, {8, -8, false}, {6, 4, false}, {0, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("cbWndExtra " + std::to_string(c.cbWndExtra) + ", index " + std::to_string(c.index));
        std::u16string cls = m_class + u"." + platform::FromUtf8(std::to_string(c.cbWndExtra));
        if (c.cbWndExtra != 8 && std::find(m_classes.begin(), m_classes.end(), cls) == m_classes.end()) {
            ASSERT_NE(Register(cls, c.cbWndExtra), 0);
        }
        HWND hwnd = Create(nullptr, 0, nullptr, u"", c.cbWndExtra == 8 ? m_class : cls);
        const LONG_PTR value = reinterpret_cast<LONG_PTR>(&c); // needs all the bits of a pointer
        SetLastError(0);
        EXPECT_EQ(SetWindowLongW(hwnd, c.index, value), 0);
        EXPECT_EQ(GetWindowLongW(hwnd, c.index), c.valid ? value : 0);
        EXPECT_EQ(GetLastError(), c.valid ? 0u : ERROR_INVALID_INDEX);
        if (c.valid) {
            EXPECT_EQ(SetWindowLongW(hwnd, c.index, 1), value);
        }
        DestroyWindow(hwnd);
    }
}

TEST_F(Window, FindWindowSearchesTopLevelWindowsFrontToBack)
{
    const std::u16string other = m_class + u".Other";
    ASSERT_NE(Register(other, 0), 0);
    HWND alpha = Create(nullptr, 0, nullptr, u"WindowTest Alpha");
    HWND beta = Create(nullptr, 0, nullptr, u"WindowTest Beta");
    HWND otherAlpha = Create(nullptr, 0, nullptr, u"WindowTest Alpha", other);
    Create(nullptr, WS_CHILD, beta, u"WindowTest Child");

    struct Case {
        std::u16string cls;
        const char16_t* title;
        HWND expected;
    };
    const Case cases[] = {
        {Upper(m_class), nullptr, beta},       {u"", u"windowtest alpha", otherAlpha},
        {m_class, u"WINDOWTEST ALPHA", alpha}, {other, u"WindowTest Beta", nullptr},
        {u"", u"WindowTest Child", nullptr},   {m_class + u".Missing", nullptr, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(platform::ToUtf8(c.cls) + " / " + (c.title ? platform::ToUtf8(c.title) : "any"));
        EXPECT_EQ(FindWindowW(c.cls.empty() ? nullptr : c.cls.c_str(), c.title), c.expected);
    }

    ASSERT_TRUE(SetForegroundWindow(alpha));
    EXPECT_EQ(FindWindowW(m_class.c_str(), nullptr), alpha);
    DestroyWindow(alpha);
    EXPECT_EQ(FindWindowW(m_class.c_str(), nullptr), beta);
}

} // namespace

// ---- z-order, position and scrolling, read back from the screen ----

namespace {

constexpr WORD kRed = 0xF800;
constexpr WORD kGreen = 0x07E0;
constexpr WORD kBlue = 0x001F;

bool Topmost(HWND hwnd)
{
    return (GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
}

using WindowOrder = PaintedWindows;

TEST_F(WindowOrder, TopmostWindowsStayInFrontWhateverOrderThingsPaintIn)
{
    // a starts topmost; b, made later, would otherwise be in front of it.
    HWND a = Make(kRed, RECT{0, 0, 100, 100}, WS_EX_TOPMOST);
    HWND b = Make(kGreen, RECT{50, 50, 150, 150});
    ASSERT_NE(b, nullptr);
    constexpr UINT kKeep = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;
    struct Step {
        const char* name;
        HWND hwnd;
        HWND insertAfter;
        WORD overlap; // what shows where the two overlap
        bool aTopmost, bTopmost;
    };
    const Step steps[] = {
        {"as created", nullptr, nullptr, kRed, true, false},
        {"b to the top of its band stays behind topmost a", b, HWND_TOP, kRed, true, false},
        {"b made topmost comes in front", b, HWND_TOPMOST, kGreen, true, true},
        {"a to the top of the topmost band", a, HWND_TOP, kRed, true, true},
        {"a no longer topmost falls behind b", a, HWND_NOTOPMOST, kGreen, false, true},
        {"b behind a window that is not topmost stops being topmost", b, a, kRed, false, false},
        {"a to the bottom", a, HWND_BOTTOM, kGreen, false, false},
        {"b made not topmost again stays where it is", b, HWND_NOTOPMOST, kGreen, false, false},
        {"a made topmost", a, HWND_TOPMOST, kRed, true, false},
        {"b behind topmost a goes only to the front of its band", b, a, kRed, true, false},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.name);
        if (s.hwnd) {
            ASSERT_TRUE(SetWindowPos(s.hwnd, s.insertAfter, 0, 0, 0, 0, kKeep));
        }
        Pump();
        EXPECT_EQ(At(75, 75), s.overlap);
        EXPECT_EQ(At(25, 25), kRed);
        EXPECT_EQ(At(125, 125), kGreen);
        EXPECT_EQ(Topmost(a), s.aTopmost);
        EXPECT_EQ(Topmost(b), s.bTopmost);
        EXPECT_EQ(WindowFromPoint(POINT{75, 75}), s.overlap == kRed ? a : b);
        // The one behind painting last does not reach over the one in front.
        InvalidateRect(a, nullptr, FALSE);
        InvalidateRect(b, nullptr, FALSE);
        UpdateWindow(s.overlap == kRed ? a : b);
        UpdateWindow(s.overlap == kRed ? b : a);
        EXPECT_EQ(At(75, 75), s.overlap);
    }
}

TEST_F(WindowOrder, SetWindowPosMovesSizesShowsAndActivates)
{
    HWND w = Make(kBlue, RECT{10, 20, 60, 60});
    struct Case {
        const char* name;
        int x, y, cx, cy;
        UINT flags;
        RECT rect;
    };
    const Case cases[] = {
        {"move and size", 100, 110, 30, 40, 0, RECT{100, 110, 130, 150}},
        {"move only", 5, 6, 999, 999, SWP_NOSIZE, RECT{5, 6, 35, 46}},
        {"size only", 999, 999, 70, 20, SWP_NOMOVE, RECT{5, 6, 75, 26}},
        {"neither", 1, 1, 1, 1, SWP_NOMOVE | SWP_NOSIZE, RECT{5, 6, 75, 26}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(SetWindowPos(w, nullptr, c.x, c.y, c.cx, c.cy, c.flags | SWP_NOZORDER | SWP_NOACTIVATE));
        RECT r;
        GetWindowRect(w, &r);
        EXPECT_EQ(r, c.rect);
    }
    Pump();
    EXPECT_EQ(At(5, 6), kBlue); // repainted where it went
    EXPECT_EQ(GetForegroundWindow(), nullptr);

    constexpr UINT kKeep = SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER;
    ASSERT_TRUE(SetWindowPos(w, nullptr, 0, 0, 0, 0, kKeep | SWP_HIDEWINDOW));
    EXPECT_FALSE(IsWindowVisible(w));
    EXPECT_EQ(GetForegroundWindow(), nullptr); // a hidden window is not activated
    ASSERT_TRUE(SetWindowPos(w, nullptr, 0, 0, 0, 0, kKeep | SWP_SHOWWINDOW | SWP_NOACTIVATE));
    EXPECT_TRUE(IsWindowVisible(w));
    EXPECT_EQ(GetForegroundWindow(), nullptr);
    ASSERT_TRUE(SetWindowPos(w, nullptr, 0, 0, 0, 0, kKeep));
    EXPECT_EQ(GetForegroundWindow(), w);

    // Errors: a stale window, and going behind a window that is no sibling.
    HWND other = Make(kRed, RECT{0, 0, 10, 10});
    HWND child = Make(kGreen, RECT{0, 0, 5, 5}, 0, other);
    SetLastError(0);
    EXPECT_FALSE(SetWindowPos(w, child, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    DestroyWindow(other);
    EXPECT_FALSE(SetWindowPos(other, HWND_TOP, 0, 0, 0, 0, kKeep));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
    EXPECT_FALSE(SetWindowPos(w, other, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
}

TEST_F(WindowOrder, ChildrenChangePlaceAmongTheirSiblings)
{
    HWND parent = Make(kBlue, RECT{100, 100, 300, 200});
    HWND first = Make(kRed, RECT{0, 0, 60, 60}, 0, parent);
    HWND second = Make(kGreen, RECT{30, 30, 90, 90}, 0, parent); // newer: in front
    HWND third = Make(kBlue, RECT{150, 0, 160, 10}, 0, parent);
    Pump();
    const POINT overlap{145, 145};
    struct Step {
        const char* name;
        HWND hwnd;
        HWND insertAfter;
        HWND front; // the one that shows where first and second overlap
    };
    const Step steps[] = {
        {"as created", nullptr, nullptr, second},
        {"second to the bottom", second, HWND_BOTTOM, first},
        {"second to the top", second, HWND_TOP, second},
        {"second behind first", second, first, first},
        {"topmost counts as top", second, HWND_TOPMOST, second},
        {"not topmost changes nothing", second, HWND_NOTOPMOST, second},
        {"first behind third, where it was", first, third, second},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.name);
        if (s.hwnd) {
            ASSERT_TRUE(SetWindowPos(s.hwnd, s.insertAfter, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE));
        }
        Pump();
        EXPECT_EQ(WindowFromPoint(overlap), s.front);
        EXPECT_EQ(At(overlap.x, overlap.y), s.front == first ? kRed : kGreen);
        EXPECT_FALSE(Topmost(second));
    }
    EXPECT_EQ(GetForegroundWindow(), nullptr); // children are not activated
}

using WindowScroll = PaintedWindows;

std::vector<WORD> Shown()
{
    std::vector<WORD> pixels(800 * 480);
    platform::Screen::Get().CopyShown(RECT{0, 0, 800, 480}, pixels.data(), 800);
    return pixels;
}

// Fills the window with 10x10 blocks of different colours.
void PaintBlocks(HWND hwnd)
{
    HDC dc = GetDC(hwnd);
    RECT client;
    GetClientRect(hwnd, &client);
    for (int y = 0; y < client.bottom; y += 10)
        for (int x = 0; x < client.right; x += 10) {
            HBRUSH brush = CreateSolidBrush(RGB(static_cast<BYTE>(x * 2), static_cast<BYTE>(y * 4), 128));
            RECT block{x, y, x + 10, y + 10};
            FillRect(dc, &block, brush);
            DeleteObject(brush);
        }
    ReleaseDC(hwnd, dc);
}

TEST_F(WindowScroll, MovesThePixelsThatShowAndReportsWhatItUncovers)
{
    constexpr POINT kAt{100, 100}; // the window's 100x50 client area on the screen
    HWND w = Make(kBlue, RECT{kAt.x, kAt.y, kAt.x + 100, kAt.y + 50});
    const RECT top{0, 0, 50, 25};
    const RECT left{0, 0, 50, 50};
    struct Case {
        const char* name;
        int dx, dy;
        const RECT* scroll;
        const RECT* clip;
        bool coverTop; // a window in front hides the client rows 0..9
        RECT moved;    // where pixels landed (client coordinates)
        RECT update;
        int type;
    };
    const Case cases[] = {
        {"up a line", 0, -10, nullptr, nullptr, false, {0, 0, 100, 40}, {0, 40, 100, 50}, SIMPLEREGION},
        {"part to the right, over the rest",
         20,
         0,
         &left,
         nullptr,
         false,
         {20, 0, 70, 50},
         {0, 0, 20, 50},
         SIMPLEREGION},
        {"down inside the clip", 0, 10, nullptr, &top, false, {0, 10, 50, 25}, {0, 0, 50, 10}, SIMPLEREGION},
        {"diagonally", 10, 10, nullptr, nullptr, false, {10, 10, 100, 50}, {0, 0, 100, 50}, COMPLEXREGION},
        {"from under a window in front",
         0,
         10,
         nullptr,
         nullptr,
         true,
         {0, 20, 100, 50},
         {0, 10, 100, 20},
         SIMPLEREGION},
        {"far out of the client area",
         0,
         1 << 30,
         nullptr,
         nullptr,
         false,
         {0, 0, 0, 0},
         {0, 0, 100, 50},
         SIMPLEREGION},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HWND cover = c.coverTop ? Make(kRed, RECT{0, 0, 800, kAt.y + 10}, WS_EX_TOPMOST) : nullptr;
        Pump();
        PaintBlocks(w);
        ValidateRect(w, nullptr);
        const std::vector<WORD> before = Shown();

        RECT update{-1, -1, -1, -1};
        HRGN region = CreateRectRgn(0, 0, 0, 0);
        const UINT flags = c.coverTop ? 0 : SW_INVALIDATE;
        EXPECT_EQ(ScrollWindowEx(w, c.dx, c.dy, c.scroll, c.clip, region, &update, flags), c.type);
        EXPECT_EQ(update, c.update);
        RECT box;
        EXPECT_EQ(GetRgnBox(region, &box), c.type);
        EXPECT_EQ(box, c.update);
        DeleteObject(region);
        RECT pending{};
        EXPECT_EQ(GetUpdateRect(w, &pending, FALSE) != FALSE, flags == SW_INVALIDATE);
        if (flags == SW_INVALIDATE) {
            EXPECT_EQ(pending, c.update);
        }

        // Every pixel of the screen: moved where the pixels landed, else as it was.
        const std::vector<WORD> after = Shown();
        int wrong = 0;
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 800; ++x) {
                const int cx = x - kAt.x, cy = y - kAt.y;
                const bool landed
                    = cx >= c.moved.left && cx < c.moved.right && cy >= c.moved.top && cy < c.moved.bottom;
                wrong += after[y * 800 + x] != (landed ? before[(y - c.dy) * 800 + (x - c.dx)] : before[y * 800 + x]);
            }
        EXPECT_EQ(wrong, 0);
        if (cover)
            DestroyWindow(cover);
        ValidateRect(w, nullptr);
    }

    SetLastError(0);
    EXPECT_EQ(ScrollWindowEx(w, 0, 1, nullptr, nullptr, nullptr, nullptr, SW_INVALIDATE | 0x0001), ERROR);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    DestroyWindow(w);
    EXPECT_EQ(ScrollWindowEx(w, 0, 1, nullptr, nullptr, nullptr, nullptr, 0), ERROR);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
}

} // namespace
