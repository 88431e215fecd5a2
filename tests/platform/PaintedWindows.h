// A fixture for tests that read windows back from the screen: windows that
// paint themselves one solid colour, on a screen cleared to black. Every
// window and the class are gone after the test.
#pragma once

#include "platform/gfx/Gdi.h"
#include "platform/gfx/Screen.h"
#include "platform/ui/Window.h"

#include <gtest/gtest.h>

#include <vector>

class PaintedWindows : public ::testing::Test {
public:
    static constexpr LPCWSTR kClass = u"PaintedWindows";

protected:
    void SetUp() override
    {
        WNDCLASSW wc{};
        wc.lpfnWndProc = Proc;
        wc.lpszClassName = kClass;
        ASSERT_NE(RegisterClassW(&wc), 0);
        platform::Screen::Get().Fill(0);
    }

    void TearDown() override
    {
        for (auto it = m_windows.rbegin(); it != m_windows.rend(); ++it)
            if (IsWindow(*it))
                DestroyWindow(*it);
        EXPECT_TRUE(UnregisterClassW(kClass, nullptr));
        Pump();
        EXPECT_TRUE(platform::Screen::Get().Inverted().empty());
        platform::Screen::Get().Fill(0);
    }

    // A visible window at r (in its parent's client coordinates) painting
    // itself in colour, an RGB565 value.
    HWND Make(WORD colour, RECT r, DWORD exStyle = 0, HWND parent = nullptr)
    {
        HWND hwnd = CreateWindowExW(exStyle, kClass, u"", (parent ? WS_CHILD : WS_POPUP) | WS_VISIBLE, r.left, r.top,
                                    r.right - r.left, r.bottom - r.top, parent, nullptr, nullptr, nullptr);
        if (hwnd) {
            SetWindowLongW(hwnd, GWL_USERDATA, colour);
            m_windows.push_back(hwnd);
        }
        return hwnd;
    }

    // Handles whatever is ready on this thread (the paints).
    static void Pump()
    {
        MSG msg;
        for (int i = 0; i < 100 && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++i)
            DispatchMessageW(&msg);
    }

    static WORD At(int x, int y) { return platform::Screen::Get().Pixel(x, y); }

    std::vector<HWND> m_windows;

private:
    static LRESULT Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message != WM_PAINT)
            return DefWindowProcW(hwnd, message, wParam, lParam);
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        const WORD c = static_cast<WORD>(GetWindowLongW(hwnd, GWL_USERDATA));
        HBRUSH brush = CreateSolidBrush(RGB(((c >> 11) & 0x1F) << 3, ((c >> 5) & 0x3F) << 2, (c & 0x1F) << 3));
        RECT all{0, 0, 800, 480};
        FillRect(dc, &all, brush);
        DeleteObject(brush);
        EndPaint(hwnd, &ps);
        return 0;
    }
};
