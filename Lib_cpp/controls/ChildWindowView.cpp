#include "Lib_cpp/controls/ChildWindowView.h"

#include "Lib_cpp/core/App.h"
#include "Lib_cpp/core/Diag.h"
#include "Lib_cpp/core/Draw.h"
#include "Lib_cpp/kernel/Kernel.h"
#include "platform/gfx/Gdi.h"
#include "platform/ui/Window.h"

#include <algorithm>
#include <new>

namespace {

constexpr int kClassNameLength = 260;

// A pointer message's point (signed 16-bit halves) moved by (dx, dy).
LPARAM MovePoint(LPARAM lParam, int dx, int dy)
{
    int x = GET_X_LPARAM(lParam) + dx;
    int y = GET_Y_LPARAM(lParam) + dy;
    return MAKELPARAM(static_cast<WORD>(static_cast<SHORT>(x)), static_cast<WORD>(static_cast<SHORT>(y)));
}

} // namespace

HWND IxMainWindow()
{
    IxApp* app = IxGetApp();
    return app ? app->GetMainWindow() : nullptr;
}

// ---------------------------------------------------------------------------
// IxChildWindow

IX_BEGIN_MESSAGE_MAP(IxChildWindow, IxWindow)
IX_ON_MESSAGE(WM_PAINT, IxSig_WL, OnPaintMessage)
IX_ON_MESSAGE(WM_MOUSEMOVE, IxSig_WL, OnMouseMove)
IX_ON_MESSAGE(WM_LBUTTONDOWN, IxSig_WL, OnLButtonDown)
IX_ON_MESSAGE(WM_LBUTTONUP, IxSig_WL, OnLButtonUp)
IX_ON_MESSAGE(WM_KEYDOWN, IxSig_WL, OnKeyDown)
IX_ON_MESSAGE(WM_KEYUP, IxSig_WL, OnKeyUp)
IX_ON_MESSAGE(WM_DEVICECHANGE, IxSig_WL, OnDeviceChange)
IX_ON_MESSAGE(WM_ACTIVATE, IxSig_WL, OnActivate)
IX_END_MESSAGE_MAP()

LRESULT IxChildWindow::OnPaintMessage(WPARAM, LPARAM)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(m_hWnd, &ps);
    HWND main = IxMainWindow();
    auto* object = main ? reinterpret_cast<IxWindow*>(GetWindowLongW(main, 0)) : nullptr;
    if (dc && object && m_pView) {
        // The main window paints in its own coordinates: the paint
        // rectangle moves there, and the DC's origin maps them back onto
        // this window. Mode 1 paints only the layers that own such windows.
        POINT origin = m_pView->WindowOrigin();
        RECT rc{ps.rcPaint.left + origin.x, ps.rcPaint.top + origin.y, ps.rcPaint.right + origin.x,
                ps.rcPaint.bottom + origin.y};
        SetViewportOrgEx(dc, -origin.x, -origin.y, nullptr);
        object->Paint(1, dc, &rc);
    }
    EndPaint(m_hWnd, &ps);
    return 0;
}

LRESULT IxChildWindow::SendPointer(UINT message, WPARAM wParam, LPARAM lParam)
{
    HWND main = IxMainWindow();
    if (!main || !m_pView)
        return 0;
    POINT origin = m_pView->WindowOrigin();
    return SendMessageW(main, message, wParam, MovePoint(lParam, origin.x, origin.y));
}

LRESULT IxChildWindow::PostToMain(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (HWND main = IxMainWindow())
        PostMessageW(main, message, wParam, lParam);
    return 0;
}

LRESULT IxChildWindow::OnMouseMove(WPARAM wParam, LPARAM lParam)
{
    return SendPointer(WM_MOUSEMOVE, wParam, lParam);
}

LRESULT IxChildWindow::OnLButtonDown(WPARAM wParam, LPARAM lParam)
{
    return SendPointer(WM_LBUTTONDOWN, wParam, lParam);
}

LRESULT IxChildWindow::OnLButtonUp(WPARAM wParam, LPARAM lParam)
{
    return SendPointer(WM_LBUTTONUP, wParam, lParam);
}

LRESULT IxChildWindow::OnKeyDown(WPARAM wParam, LPARAM lParam)
{
    return PostToMain(WM_KEYDOWN, wParam, lParam);
}

LRESULT IxChildWindow::OnKeyUp(WPARAM wParam, LPARAM lParam)
{
    return PostToMain(WM_KEYUP, wParam, lParam);
}

LRESULT IxChildWindow::OnDeviceChange(WPARAM wParam, LPARAM lParam)
{
    return PostToMain(WM_DEVICECHANGE, wParam, lParam);
}

LRESULT IxChildWindow::OnActivate(WPARAM wParam, LPARAM)
{
    if (LOWORD(wParam) != WA_CLICKACTIVE)
        return 0;
    IxKernel* kernel = IxGetKernel();
    return kernel ? kernel->Service(IXSVC_RESTACK, nullptr, 0) : 0;
}

// ---------------------------------------------------------------------------
// IxChildWindowView

IxChildWindowView::~IxChildWindowView()
{
    DestroyOwnWindow();
}

POINT IxChildWindowView::WindowOrigin() const
{
    POINT origin{0, 0};
    LocalToScreen(&origin);
    return origin;
}

HWND IxChildWindowView::GetChildWindow() const
{
    return m_pWindow ? m_pWindow->GetHandle() : nullptr;
}

void IxChildWindowView::CreateOwnWindow()
{
    HWND main = IxMainWindow();
    if (m_pWindow || !main)
        return;
    auto* window = new (std::nothrow) IxChildWindow(this);
    if (!window) {
        IxRecordError(IXERR_NOMEMORY);
        return;
    }
    POINT at = WindowOrigin();
    ClientToScreen(main, &at);
    WCHAR className[kClassNameLength] = {};
    GetClassNameW(main, className, kClassNameLength);
    DWORD style = WS_POPUP | (HasFlag(IXF_HIDDEN) ? 0 : WS_VISIBLE);
    IxApp* app = IxGetApp();
    // The window exists once Create returns: from here on its messages
    // find the view through m_pWindow.
    m_pWindow = window;
    if (!window->Create(WS_EX_NOACTIVATE | WS_EX_TOPMOST, className, nullptr, style, at.x, at.y, Width(), Height(),
                        main, app ? app->GetInstance() : nullptr)) {
        m_pWindow = nullptr;
        delete window;
    }
}

void IxChildWindowView::DestroyOwnWindow()
{
    IxChildWindow* window = m_pWindow;
    if (!window)
        return;
    m_pWindow = nullptr;
    // The view may go from inside a handler of its own window (a press that
    // hides it): the object outlives that handler.
    window->ForgetView();
    window->Destroy();
    window->DeleteWhenIdle();
}

LRESULT IxChildWindowView::OnEvent(int code, LPARAM param)
{
    switch (code) {
    case IXEV_ATTACHED:
        CreateOwnWindow();
        break;
    case IXEV_HIDDEN:
        if (HWND hwnd = GetChildWindow())
            SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                         SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_HIDEWINDOW | SWP_NOOWNERZORDER);
        break;
    case IXEV_DETACHED:
        DestroyOwnWindow();
        break;
    case IXEV_SHOWN:
        if (HWND hwnd = GetChildWindow()) {
            // Shown again even when the kernel's restack leaves it out (a
            // view that is not a top layer).
            ShowWindow(hwnd, SW_SHOWNA);
            if (IxKernel* kernel = IxGetKernel())
                kernel->Service(IXSVC_CHILDWINDOWSHOWN, this, 0);
        }
        break;
    default:
        break;
    }
    return IxView::OnEvent(code, param);
}

IxElement* IxChildWindowView::FindTarget(int inputCode, POINT point)
{
    if (point.x < 0 || point.y < 0 || point.x > Width() || point.y > Height())
        return nullptr;
    return IxFrameView::FindTarget(inputCode, point);
}

void IxChildWindowView::Move(int left, int top, int nearZ, int right, int bottom, int farZ, BOOL redraw)
{
    IxFrameView::Move(left, top, nearZ, right, bottom, farZ, redraw);
    HWND hwnd = GetChildWindow();
    HWND main = IxMainWindow();
    if (!hwnd || !main)
        return;
    POINT at = WindowOrigin();
    ClientToScreen(main, &at);
    SetWindowPos(hwnd, nullptr, at.x, at.y, Width(), Height(), SWP_NOZORDER | SWP_NOACTIVATE);
}

void IxChildWindowView::Invalidate(int mode, RECT* rect, IxElement*)
{
    if (IsHiddenOrLaidOut()) {
        if (mode == IXINV_REPAINT)
            return;
        rect = nullptr;
    }
    HWND hwnd = GetChildWindow();
    if (mode == IXINV_REPAINT) {
        if (hwnd)
            InvalidateRect(hwnd, rect, FALSE);
        return;
    }
    RECT whole{0, 0, Width(), Height()};
    if (mode == IXINV_UPDATE) {
        if (!HasFlag(IXF_PENDING))
            m_dwFlags |= IXF_UPDATEPENDING;
    } else {
        // A new layout repaints the whole view.
        if (rect)
            *rect = RECT{std::min(rect->left, whole.left), std::min(rect->top, whole.top),
                         std::max(rect->right, whole.right), std::max(rect->bottom, whole.bottom)};
        else if (!IsHiddenOrLaidOut())
            rect = &whole;
        if (!HasFlag(IXF_LAYOUTPENDING))
            m_dwFlags |= IXF_LAYOUTPENDING;
    }
    if (m_pParent)
        m_pParent->Invalidate(mode, nullptr, this);
    if (rect && hwnd)
        InvalidateRect(hwnd, rect, FALSE);
}

void IxChildWindowView::Paint(IxPaintRecord* record)
{
    HWND hwnd = GetChildWindow();
    if (!record || !record->dc || !hwnd)
        return;
    IxDC* dc = record->dc;
    HDC target = dc->IsOffscreen() ? dc->GetTargetDC() : dc->GetDC();
    if (WindowFromDC(target) != hwnd)
        return;
    IxFrameView::Paint(record);
}

int IxChildWindowView::Query(int code, LPARAM* out)
{
    if (code != IXQ_WINDOW)
        return IxFrameView::Query(code, out);
    HWND hwnd = GetChildWindow();
    if (out)
        *out = reinterpret_cast<LPARAM>(hwnd);
    return static_cast<int>(hwnd != nullptr);
}

void IxChildWindowView::UpdateWindow()
{
    if (HWND hwnd = GetChildWindow())
        ::UpdateWindow(hwnd);
}

void IxChildWindowView::ShowAtBottom()
{
    if (HWND hwnd = GetChildWindow())
        SetWindowPos(hwnd, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_SHOWWINDOW);
}
