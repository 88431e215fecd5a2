// Child-window views: frame views that, while attached, own a real
// top-most pop-up window of their own size and position, so that they stand
// above what the main window cannot cover (video planes, the navigation
// program's window). The framework still lays out, paints and routes input
// for the view's children as for any view: the window only carries the
// picture, and hands the input and paint messages it receives back to the
// main window.
#pragma once

#include "Lib_cpp/controls/FrameView.h"
#include "Lib_cpp/core/Window.h"

class IxChildWindowView;

// The window of a child-window view. Its paint asks the main window's
// object to paint the view's area into it; pointer messages go to the main
// window at once (moved into its coordinates), key and device-change
// messages are posted to it; a click activation restacks the layers'
// windows.
class IxChildWindow : public IxWindow {
    IX_DECLARE_MESSAGE_MAP()
public:
    explicit IxChildWindow(IxChildWindowView* view) : m_pView(view) {}
    IxChildWindowView* GetView() const { return m_pView; }
    // The view is gone: the window's messages go nowhere from now on.
    void ForgetView() { m_pView = nullptr; }

protected:
    LRESULT OnPaintMessage(WPARAM, LPARAM);
    LRESULT OnMouseMove(WPARAM wParam, LPARAM lParam);
    LRESULT OnLButtonDown(WPARAM wParam, LPARAM lParam);
    LRESULT OnLButtonUp(WPARAM wParam, LPARAM lParam);
    LRESULT OnKeyDown(WPARAM wParam, LPARAM lParam);
    LRESULT OnKeyUp(WPARAM wParam, LPARAM lParam);
    LRESULT OnDeviceChange(WPARAM wParam, LPARAM lParam);
    LRESULT OnActivate(WPARAM wParam, LPARAM lParam);

private:
    LRESULT SendPointer(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT PostToMain(UINT message, WPARAM wParam, LPARAM lParam);

    IxChildWindowView* m_pView;
};

class IxChildWindowView : public IxFrameView {
public:
    IxChildWindowView() = default;
    // Destroys a window still owned (the view deleted while attached).
    ~IxChildWindowView() override;

    // 1 (attached) creates the window, 12 (hidden) hides it, 17 (detached)
    // destroys it, 30 (shown) shows it and has the kernel restack the
    // layers' windows; then the view's handling.
    LRESULT OnEvent(int code, LPARAM param) override;
    // Only points inside the view (edges included) reach its children.
    IxElement* FindTarget(int inputCode, POINT point) override;
    // The window follows the view.
    void Move(int left, int top, int nearZ, int right, int bottom, int farZ, BOOL redraw) override;
    // Repaints go to the own window instead of the parent; marks go on up.
    void Invalidate(int mode, RECT* rect, IxElement* origin) override;
    // Draws only into a drawing context of the own window.
    void Paint(IxPaintRecord* record) override;
    // IXQ_WINDOW: the window handle (0 without a window).
    int Query(int code, LPARAM* out) override;
    HWND GetChildWindow() const override;

    // UpdateWindow on the own window.
    void UpdateWindow();
    // Shows the window at the bottom of the z-order, without moving it.
    void ShowAtBottom();

    IxChildWindow* GetWindowObject() const { return m_pWindow; }
    // The view's top-left corner in the main window's client coordinates.
    POINT WindowOrigin() const;

protected:
    void CreateOwnWindow();
    void DestroyOwnWindow();

    IxChildWindow* m_pWindow = nullptr;
};

// The main window: the application's main window (whose window word 0 is
// its object); null before it exists.
HWND IxMainWindow();
