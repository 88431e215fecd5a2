#include "platform/ui/Window.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Seen {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// Messages sent to the test windows (WM_CAPTURECHANGED) land here.
std::vector<Seen> g_sent;

LRESULT RecordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CAPTURECHANGED)
        g_sent.push_back({hwnd, message, wParam, lParam});
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

constexpr LPCWSTR kClass = u"InputTest";

// Windows on the test thread; every posted message is taken off the queue
// and checked, so delivery is seen exactly as a message loop would see it.
class Input : public ::testing::Test {
protected:
    void SetUp() override
    {
        WNDCLASSW wc{};
        wc.lpfnWndProc = RecordingProc;
        wc.lpszClassName = kClass;
        ASSERT_NE(RegisterClassW(&wc), 0);
        Drain();
        g_sent.clear();
    }

    void TearDown() override
    {
        platform::DeliverPointer(platform::kPointerUp, 0, 0); // ends a press a failed test left
        ReleaseCapture();
        for (auto it = m_windows.rbegin(); it != m_windows.rend(); ++it)
            DestroyWindow(*it);
        Drain();
        UnregisterClassW(kClass, nullptr);
    }

    HWND Make(int x, int y, int w, int h, HWND parent = nullptr, DWORD style = WS_VISIBLE)
    {
        HWND hwnd = CreateWindowExW(0, kClass, u"", style | (parent ? WS_CHILD : 0), x, y, w, h, parent, nullptr,
                                    nullptr, nullptr);
        EXPECT_NE(hwnd, nullptr);
        if (!parent)
            m_windows.push_back(hwnd);
        return hwnd;
    }

    // The posted messages waiting on this thread; paint requests are served.
    static std::vector<MSG> Drain()
    {
        std::vector<MSG> out;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_PAINT)
                DispatchMessageW(&msg); // validates; otherwise it comes back at once
            else
                out.push_back(msg);
        }
        return out;
    }

    static void ExpectMessage(const MSG& m, HWND hwnd, UINT message, WPARAM wParam, int x, int y)
    {
        EXPECT_EQ(m.hwnd, hwnd);
        EXPECT_EQ(m.message, message);
        EXPECT_EQ(m.wParam, wParam);
        EXPECT_EQ(GET_X_LPARAM(m.lParam), x);
        EXPECT_EQ(GET_Y_LPARAM(m.lParam), y);
    }

    std::vector<HWND> m_windows;
};

TEST_F(Input, PressKeepsThePointerWhenItLeavesTheWindow)
{
    HWND top = Make(100, 50, 300, 200);
    HWND child = Make(20, 30, 100, 60, top);

    EXPECT_TRUE(platform::DeliverPointer(platform::kPointerDown, 130, 90));
    EXPECT_TRUE(platform::DeliverPointer(platform::kPointerMove, 50, 20)); // left of and above the top window
    EXPECT_TRUE(platform::DeliverPointer(platform::kPointerUp, 600, 400));
    std::vector<MSG> got = Drain();
    ASSERT_EQ(got.size(), 4u);
    // The press activated the top window first.
    EXPECT_EQ(got[0].hwnd, top);
    EXPECT_EQ(got[0].message, WM_ACTIVATE);
    ExpectMessage(got[1], child, WM_LBUTTONDOWN, MK_LBUTTON, 10, 10);
    ExpectMessage(got[2], child, WM_MOUSEMOVE, MK_LBUTTON, -70, -60);
    ExpectMessage(got[3], child, WM_LBUTTONUP, 0, 480, 320);

    // Untouched, the screen reports no movement; a press on no window goes
    // nowhere.
    EXPECT_FALSE(platform::DeliverPointer(platform::kPointerMove, 130, 90));
    EXPECT_FALSE(platform::DeliverPointer(platform::kPointerDown, 10, 10));
    EXPECT_FALSE(platform::DeliverPointer(platform::kPointerUp, 10, 10));
    EXPECT_TRUE(Drain().empty());
}

TEST_F(Input, CaptureTakesThePointerAndHearsWhenItLosesIt)
{
    HWND a = Make(0, 0, 200, 200);
    HWND b = Make(400, 100, 100, 100);

    EXPECT_EQ(SetCapture(b), nullptr);
    EXPECT_EQ(GetCapture(), b);
    platform::DeliverPointer(platform::kPointerDown, 50, 60); // over a
    platform::DeliverPointer(platform::kPointerMove, 700, 470);
    platform::DeliverPointer(platform::kPointerUp, 390, 95);
    std::vector<MSG> got = Drain();
    ASSERT_EQ(got.size(), 3u);
    ExpectMessage(got[0], b, WM_LBUTTONDOWN, MK_LBUTTON, -350, -40);
    ExpectMessage(got[1], b, WM_MOUSEMOVE, MK_LBUTTON, 300, 370);
    ExpectMessage(got[2], b, WM_LBUTTONUP, 0, -10, -5);

    EXPECT_EQ(SetCapture(a), b);
    EXPECT_TRUE(ReleaseCapture());
    EXPECT_EQ(GetCapture(), nullptr);
    ASSERT_EQ(g_sent.size(), 2u);
    EXPECT_EQ(g_sent[0].hwnd, b);
    EXPECT_EQ(g_sent[0].lParam, reinterpret_cast<LPARAM>(a));
    EXPECT_EQ(g_sent[1].hwnd, a);
    EXPECT_EQ(g_sent[1].lParam, 0);

    // A destroyed capturing window holds nothing.
    SetCapture(b);
    DestroyWindow(b);
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(Input, HitTestingFollowsZOrderVisibilityAndState)
{
    HWND back = Make(0, 0, 400, 300);
    HWND front = Make(200, 100, 400, 300); // made later: in front
    HWND hidden = Make(0, 0, 800, 480, nullptr, 0);
    HWND child = Make(10, 10, 50, 50, front);
    HWND grandchild = Make(5, 5, 10, 10, child);
    HWND disabled = Make(100, 100, 50, 50, front, WS_VISIBLE | WS_DISABLED);
    HWND hiddenChild = Make(200, 200, 50, 50, front, 0);
    ASSERT_NE(hidden, nullptr);
    ASSERT_NE(hiddenChild, nullptr);

    struct Case {
        POINT point;
        HWND expected;
    };
    const Case cases[] = {
        {{100, 100}, back},  {{500, 150}, front},   {{212, 112}, child}, {{216, 116}, grandchild}, {{310, 210}, front},
        {{410, 310}, front}, {{700, 450}, nullptr}, {{599, 399}, front}, {{600, 400}, nullptr},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WindowFromPoint(c.point), c.expected) << c.point.x << "," << c.point.y;

    ASSERT_TRUE(SetForegroundWindow(back));
    EXPECT_EQ(WindowFromPoint(POINT{250, 150}), back);
    EXPECT_EQ(WindowFromPoint(POINT{215, 115}), back);

    // The immediate child at a client point, whatever its state.
    EXPECT_EQ(ChildWindowFromPoint(front, POINT{105, 105}), disabled);
    EXPECT_EQ(ChildWindowFromPoint(front, POINT{205, 205}), hiddenChild);
    EXPECT_EQ(ChildWindowFromPoint(front, POINT{16, 16}), child);
    EXPECT_EQ(ChildWindowFromPoint(front, POINT{300, 5}), front);
    EXPECT_EQ(ChildWindowFromPoint(front, POINT{-1, 5}), nullptr);

    POINT p{216, 116};
    ASSERT_TRUE(ScreenToClient(grandchild, &p));
    EXPECT_EQ(p.x, 1);
    EXPECT_EQ(p.y, 1);
    ASSERT_TRUE(ClientToScreen(grandchild, &p));
    EXPECT_EQ(p.x, 216);
    EXPECT_EQ(p.y, 116);
}

TEST_F(Input, KeysGoToTheForegroundWindowWithTheirCharacters)
{
    HWND main = Make(0, 0, 800, 480);
    HWND other = Make(0, 0, 800, 480);
    ASSERT_TRUE(SetForegroundWindow(main));

    struct Step {
        UINT vk;
        bool down;
        WCHAR ch;
    };
    const Step steps[] = {
        {'A', true, u'a'},        {'A', true, u'a'},     {'A', false, 0}, // held, then released
        {VK_RETURN, true, u'\r'}, {VK_RETURN, false, 0},                  // a control character is no WM_CHAR
        {0, true, u'한'},                                                 // typed text alone
    };
    for (const Step& s : steps)
        EXPECT_TRUE(platform::DeliverKey(s.vk, s.down, s.ch));

    struct Expected {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    const Expected expected[] = {
        {WM_KEYDOWN, 'A', 0x00000001},     {WM_CHAR, u'a', 0x00000001},  {WM_KEYDOWN, 'A', 0x40000001},
        {WM_CHAR, u'a', 0x40000001},       {WM_KEYUP, 'A', 0xC0000001},  {WM_KEYDOWN, VK_RETURN, 0x00000001},
        {WM_KEYUP, VK_RETURN, 0xC0000001}, {WM_CHAR, u'한', 0x00000001},
    };
    std::vector<MSG> got = Drain();
    ASSERT_EQ(got.size(), std::size(expected));
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].hwnd, main) << i;
        EXPECT_EQ(got[i].message, expected[i].message) << i;
        EXPECT_EQ(got[i].wParam, expected[i].wParam) << i;
        EXPECT_EQ(got[i].lParam, expected[i].lParam) << i;
    }

    // Without a foreground window, the front-most visible one takes keys and
    // the close request.
    DestroyWindow(main);
    EXPECT_TRUE(platform::DeliverKey(VK_ESCAPE, true, 0));
    EXPECT_TRUE(platform::DeliverClose());
    got = Drain();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].hwnd, other);
    EXPECT_EQ(got[0].message, WM_KEYDOWN);
    EXPECT_EQ(got[1].hwnd, other);
    EXPECT_EQ(got[1].message, WM_CLOSE);
}

} // namespace
