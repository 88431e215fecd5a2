// A frame window (IxFrameWnd) with its kernel frame over the whole screen,
// and a few drawn elements to fill it: the common ground of the tests that
// paint through the kernel frame and read the screen back.
#pragma once

#include "Lib_cpp/controls/Element.h"
#include "Lib_cpp/core/App.h"
#include "Lib_cpp/core/Draw.h"
#include "Lib_cpp/core/Window.h"
#include "Lib_cpp/frame/KernelFrame.h"
#include "platform/gfx/Gdi.h"
#include "platform/gfx/Screen.h"
#include "platform/ui/Window.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>

namespace frametest {

// An element that fills its rectangle with one colour.
class ColorBox : public IxElement {
public:
    ColorBox(int id, RECT rc, COLORREF color) : color(color)
    {
        m_nId = id;
        SetRectNow(rc);
    }
    void Draw(IxPaintRecord* record) override
    {
        ++draws;
        if (HBRUSH brush = CreateSolidBrush(color)) {
            RECT all{0, 0, Width(), Height()};
            FillRect(record->dc->GetDC(), &all, brush);
            DeleteObject(brush);
        }
        if (onDraw)
            onDraw();
    }
    COLORREF color;
    int draws = 0;
    std::function<void()> onDraw;
};

class Sheet : public IxView {
public:
    Sheet(int id, RECT rc)
    {
        m_nId = id;
        SetRectNow(rc);
        SetFlags(0, IXF_PENDING);
    }
    ColorBox* Add(int id, RECT rc, COLORREF color)
    {
        auto* box = new ColorBox(id, rc, color);
        AddChild(box);
        return box;
    }
};

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kYellow = RGB(255, 255, 0);

inline std::uint16_t Px(COLORREF c)
{
    return platform::Rgb565(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

// Registers the framework's window class under the name and creates a
// visible full-screen frame window of it; null when creation fails.
template <class W = IxFrameWnd> W* OpenFrameWindow(LPCWSTR className)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = IxWndProc;
    wc.cbWndExtra = 4;
    wc.lpszClassName = className;
    RegisterClassW(&wc);
    auto* window = new W;
    if (!window->Create(0, className, u"", WS_VISIBLE, 0, 0, 800, 480, nullptr, nullptr)) {
        delete window;
        return nullptr;
    }
    return window;
}

// Destroys the window, drops what is left in the queue and unregisters the
// class. The window object of an application's main window goes with the
// window; any other belongs to the caller.
inline void CloseFrameWindow(HWND hwnd, LPCWSTR className)
{
    if (IsWindow(hwnd))
        DestroyWindow(hwnd);
    // Bounded: a window left behind with an invalid area (a popup on a
    // window of its own) keeps making WM_PAINT, which is never removed.
    MSG msg;
    for (int i = 0; i < 100000 && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {}
    UnregisterClassW(className, nullptr);
}

class FrameWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window = OpenFrameWindow(u"FrameWindowTestClass");
        ASSERT_NE(window, nullptr);
        hwnd = window->GetHandle();
        frame = window->GetKernelFrame();
        ASSERT_NE(frame, nullptr);
        frame->SetBackgroundColor(kBlue);
        Repaint();
    }
    void TearDown() override
    {
        HWND handle = hwnd;
        if (IsWindow(handle))
            DestroyWindow(handle);
        // Not an application's main window: the test owns the object.
        delete window;
        CloseFrameWindow(handle, u"FrameWindowTestClass");
    }
    void Pump()
    {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
    }
    void Repaint()
    {
        InvalidateRect(hwnd, nullptr, FALSE);
        Pump();
    }
    // The touch screen: a pointer message at window coordinates, handled
    // with everything it posts.
    void Post(UINT message, int x, int y)
    {
        PostMessageW(hwnd, message, message == WM_LBUTTONUP ? 0 : MK_LBUTTON,
                     MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)));
        Pump();
    }
    void Down(int x, int y) { Post(WM_LBUTTONDOWN, x, y); }
    void Move(int x, int y) { Post(WM_MOUSEMOVE, x, y); }
    void Up(int x, int y) { Post(WM_LBUTTONUP, x, y); }
    static std::uint16_t At(int x, int y) { return platform::Screen::Get().Pixel(x, y); }

    IxFrameWnd* window = nullptr;
    HWND hwnd = nullptr;
    IxKernelFrame* frame = nullptr;
};

} // namespace frametest
