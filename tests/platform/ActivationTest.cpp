// Click activation, windows that take no activation, what a window
// uncovers when it hides, goes or moves, and the small window queries the
// child-window controls use.
#include "platform/gfx/Gdi.h"
#include "platform/ui/Window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

constexpr LPCWSTR kClass = u"ActivationTest";

class Activation : public ::testing::Test {
protected:
    void SetUp() override
    {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.lpszClassName = kClass;
        ASSERT_NE(RegisterClassW(&wc), 0);
        Drain();
    }
    void TearDown() override
    {
        platform::DeliverPointer(platform::kPointerUp, 0, 0);
        for (auto it = m_windows.rbegin(); it != m_windows.rend(); ++it)
            DestroyWindow(*it);
        Drain();
        UnregisterClassW(kClass, nullptr);
    }
    HWND Make(RECT rc, DWORD exStyle = 0)
    {
        HWND hwnd = CreateWindowExW(exStyle, kClass, u"", WS_POPUP | WS_VISIBLE, rc.left, rc.top, rc.right - rc.left,
                                    rc.bottom - rc.top, nullptr, nullptr, nullptr, nullptr);
        EXPECT_NE(hwnd, nullptr);
        m_windows.push_back(hwnd);
        return hwnd;
    }
    // Posted messages other than paint; paint requests are served.
    static std::vector<MSG> Drain()
    {
        std::vector<MSG> out;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_PAINT)
                DispatchMessageW(&msg);
            else
                out.push_back(msg);
        }
        return out;
    }
    static RECT Update(HWND hwnd)
    {
        RECT rc{};
        GetUpdateRect(hwnd, &rc, FALSE);
        return rc;
    }
    std::vector<HWND> m_windows;
};

TEST_F(Activation, PressActivatesTheWindowUnlessItTakesNoActivation)
{
    HWND back = Make(RECT{0, 0, 800, 480});
    HWND popup = Make(RECT{100, 100, 300, 200}, WS_EX_TOPMOST | WS_EX_NOACTIVATE);
    SetForegroundWindow(back);
    Drain();

    // A window that takes no activation gets the press alone.
    platform::DeliverPointer(platform::kPointerDown, 150, 150);
    platform::DeliverPointer(platform::kPointerUp, 150, 150);
    std::vector<MSG> got = Drain();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].hwnd, popup);
    EXPECT_EQ(got[0].message, WM_LBUTTONDOWN);
    EXPECT_EQ(GetForegroundWindow(), back);
    // Neither does it become the foreground window by SetWindowPos, nor
    // take the keys.
    SetWindowPos(popup, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    EXPECT_EQ(GetForegroundWindow(), back);

    // Another window is activated by the press, told so before it, and the
    // old one is told it lost the activation; it comes in front.
    HWND other = Make(RECT{400, 0, 800, 480});
    SetWindowPos(back, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_EQ(WindowFromPoint(POINT{500, 300}), back);
    Drain();
    platform::DeliverPointer(platform::kPointerDown, 500, 300);
    EXPECT_EQ(GetForegroundWindow(), back); // it was already in front and the foreground
    platform::DeliverPointer(platform::kPointerUp, 500, 300);
    Drain();
    SetWindowPos(other, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    platform::DeliverPointer(platform::kPointerDown, 50, 300);
    got = Drain();
    ASSERT_EQ(got.size(), 1u); // back is still the foreground window: no activation
    EXPECT_EQ(got[0].message, WM_LBUTTONDOWN);
    platform::DeliverPointer(platform::kPointerUp, 50, 300);
    Drain();
    platform::DeliverPointer(platform::kPointerDown, 500, 300);
    got = Drain();
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].hwnd, back);
    EXPECT_EQ(got[0].message, WM_ACTIVATE);
    EXPECT_EQ(LOWORD(got[0].wParam), WA_INACTIVE);
    EXPECT_EQ(got[1].hwnd, other);
    EXPECT_EQ(got[1].message, WM_ACTIVATE);
    EXPECT_EQ(LOWORD(got[1].wParam), WA_CLICKACTIVE);
    EXPECT_EQ(reinterpret_cast<HWND>(got[1].lParam), back);
    EXPECT_EQ(got[2].hwnd, other);
    EXPECT_EQ(got[2].message, WM_LBUTTONDOWN);
    EXPECT_EQ(GetForegroundWindow(), other);
    EXPECT_EQ(WindowFromPoint(POINT{150, 150}), popup); // the topmost band stays in front
}

TEST_F(Activation, WhatAWindowUncoversIsPaintedAgain)
{
    struct Case {
        const char* name;
        void (*act)(HWND);
        RECT expected; // update of the window beneath
    };
    const Case cases[] = {
        {"hidden", [](HWND h) { ShowWindow(h, SW_HIDE); }, RECT{100, 100, 300, 200}},
        {"destroyed", [](HWND h) { DestroyWindow(h); }, RECT{100, 100, 300, 200}},
        {"moved", [](HWND h) { MoveWindow(h, 400, 100, 200, 100, TRUE); }, RECT{100, 100, 300, 200}},
        {"hidden by SetWindowPos",
         [](HWND h) { SetWindowPos(h, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_HIDEWINDOW); },
         RECT{100, 100, 300, 200}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HWND back = Make(RECT{0, 0, 800, 480});
        HWND front = Make(RECT{100, 100, 300, 200}, WS_EX_TOPMOST);
        Drain();
        RECT none;
        ASSERT_FALSE(GetUpdateRect(back, &none, FALSE));
        c.act(front);
        RECT rc = Update(back);
        EXPECT_EQ(rc.left, c.expected.left);
        EXPECT_EQ(rc.top, c.expected.top);
        EXPECT_EQ(rc.right, c.expected.right);
        EXPECT_EQ(rc.bottom, c.expected.bottom);
        DestroyWindow(front);
        DestroyWindow(back);
        Drain();
        m_windows.clear();
    }
}

TEST_F(Activation, ClassNameAndTheWindowOfADc)
{
    HWND hwnd = Make(RECT{0, 0, 100, 100});
    WCHAR name[64];
    EXPECT_EQ(GetClassNameW(hwnd, name, 64), 14);
    EXPECT_EQ(std::u16string(name), kClass);
    EXPECT_EQ(GetClassNameW(hwnd, name, 4), 3); // cut, and ended
    EXPECT_EQ(std::u16string(name), u"Act");
    EXPECT_EQ(GetClassNameW(nullptr, name, 64), 0);

    HDC dc = GetDC(hwnd);
    EXPECT_EQ(WindowFromDC(dc), hwnd);
    HDC memory = CreateCompatibleDC(dc);
    EXPECT_EQ(WindowFromDC(memory), nullptr);
    DeleteDC(memory);
    ReleaseDC(hwnd, dc);
    EXPECT_EQ(WindowFromDC(dc), nullptr); // released
}

} // namespace
