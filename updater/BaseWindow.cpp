#include "updater/BaseWindow.h"

#include "platform/base/Error.h"

CBaseWindow::~CBaseWindow()
{
    if (m_hWnd && IsWindow(m_hWnd)) {
        // The window outlives no object: it would reach a dead one.
        SetWindowLongW(m_hWnd, GWL_USERDATA, 0);
        DestroyWindow(m_hWnd);
    }
    if (m_hbrBackground)
        DeleteObject(m_hbrBackground);
}

BOOL CBaseWindow::RegisterClass(HINSTANCE instance, LPCWSTR className, COLORREF background)
{
    if (m_hbrBackground)
        DeleteObject(m_hbrBackground);
    m_hbrBackground = CreateSolidBrush(background);
    m_hInstance = instance;
    m_className = className ? className : u"";
    WNDCLASSW wc{};
    wc.style = 11; // vertical and horizontal redraw, double clicks
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hbrBackground = m_hbrBackground;
    wc.lpszClassName = m_className.c_str();
    return RegisterClassW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

BOOL CBaseWindow::Create(LPCWSTR title, DWORD style, int x, int y, int width, int height, HWND parent)
{
    return CreateEx(0, title, style, x, y, width, height, parent);
}

BOOL CBaseWindow::CreateEx(DWORD exStyle, LPCWSTR title, DWORD style, int x, int y, int width, int height, HWND parent)
{
    HWND hwnd = CreateWindowExW(exStyle, m_className.c_str(), title, style, x, y, width, height, parent, nullptr,
                                m_hInstance, this);
    if (hwnd)
        m_hWnd = hwnd;
    return hwnd != nullptr;
}

void CBaseWindow::Invalidate()
{
    InvalidateRect(m_hWnd, nullptr, TRUE);
}

LRESULT CBaseWindow::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongW(hwnd, GWL_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<CBaseWindow*>(GetWindowLongW(hwnd, GWL_USERDATA));
    if (!self)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    if (!self->m_hWnd)
        self->m_hWnd = hwnd;
    return self->OnMessage(message, wParam, lParam);
}

LRESULT CBaseWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    const int x = GET_X_LPARAM(lParam);
    const int y = GET_Y_LPARAM(lParam);
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(m_hWnd, &paint);
        OnPaint(dc);
        EndPaint(m_hWnd, &paint);
        break;
    }
    case WM_ERASEBKGND:
        return OnEraseBkgnd(reinterpret_cast<HDC>(wParam));
    case WM_KEYDOWN:
        OnKeyDown(wParam, lParam);
        break;
    case WM_KEYUP:
        OnKeyUp(wParam, lParam);
        break;
    case WM_LBUTTONDOWN:
        OnLButtonDown(static_cast<UINT>(wParam), x, y);
        break;
    case WM_LBUTTONUP:
        OnLButtonUp(static_cast<UINT>(wParam), x, y);
        break;
    case WM_MOUSEMOVE:
        OnMouseMove(static_cast<UINT>(wParam), x, y);
        break;
    case WM_LBUTTONDBLCLK:
        OnLButtonDblClk(static_cast<UINT>(wParam), x, y);
        break;
    case WM_CREATE:
        OnCreate();
        break;
    case WM_CLOSE:
        OnClose();
        break;
    case WM_DESTROY:
        OnDestroy();
        break;
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        break;
    case WM_WINDOWPOSCHANGED: {
        const auto* position = reinterpret_cast<const WINDOWPOS*>(lParam);
        if (position && (position->flags & SWP_HIDEWINDOW))
            OnHide();
        else if (position && (position->flags & SWP_SHOWWINDOW))
            OnShow();
        break;
    }
    case WM_MOVE:
        OnMove(x, y);
        break;
    case WM_KILLFOCUS:
        OnKillFocus(reinterpret_cast<HWND>(wParam));
        break;
    case WM_SETFOCUS:
        OnSetFocus(reinterpret_cast<HWND>(wParam));
        break;
    case WM_NOTIFY:
        OnNotify(wParam, lParam);
        break;
    case WM_TIMER:
        OnTimer(wParam);
        break;
    case WM_VSCROLL:
        OnVScroll(wParam, lParam);
        break;
    case WM_HSCROLL:
        OnHScroll(wParam, lParam);
        break;
    case WM_CHAR:
        OnChar(wParam, lParam);
        break;
    case WM_IME_STARTCOMPOSITION:
        return 0;
    case WM_IME_COMPOSITION:
        OnImeComposition(wParam, lParam);
        if (lParam & 0x8)
            DefWindowProcW(m_hWnd, message, wParam, lParam);
        break;
    case WM_ACTIVATE:
        OnActivate(LOWORD(wParam), HIWORD(wParam) != 0, reinterpret_cast<HWND>(lParam));
        break;
    default:
        if (message >= WM_USER)
            return OnUserMessage(message, wParam, lParam);
        return DefWindowProcW(m_hWnd, message, wParam, lParam);
    }
    return 1;
}

void CBaseWindow::OnPaint(HDC) {}
LRESULT CBaseWindow::OnEraseBkgnd(HDC)
{
    return 0;
}
void CBaseWindow::OnKeyDown(WPARAM, LPARAM) {}
void CBaseWindow::OnKeyUp(WPARAM, LPARAM) {}
void CBaseWindow::OnLButtonDown(UINT, int, int) {}
void CBaseWindow::OnLButtonUp(UINT, int, int) {}
void CBaseWindow::OnMouseMove(UINT, int, int) {}
void CBaseWindow::OnLButtonDblClk(UINT, int, int) {}
void CBaseWindow::OnCreate() {}
void CBaseWindow::OnClose() {}
void CBaseWindow::OnDestroy() {}
void CBaseWindow::OnCommand(WORD, WORD) {}
void CBaseWindow::OnShow() {}
void CBaseWindow::OnHide() {}
void CBaseWindow::OnMove(int, int) {}
LRESULT CBaseWindow::OnUserMessage(UINT, WPARAM, LPARAM)
{
    return 0;
}
void CBaseWindow::OnKillFocus(HWND) {}
// The window system here has no keyboard focus to hand to a child window;
// the unit's base gives it to its first enabled child.
void CBaseWindow::OnSetFocus(HWND) {}
void CBaseWindow::OnNotify(WPARAM, LPARAM) {}
void CBaseWindow::OnTimer(UINT_PTR) {}
void CBaseWindow::OnVScroll(WPARAM, LPARAM) {}
void CBaseWindow::OnHScroll(WPARAM, LPARAM) {}
void CBaseWindow::OnChar(WPARAM, LPARAM) {}
void CBaseWindow::OnImeComposition(WPARAM, LPARAM) {}
void CBaseWindow::OnActivate(UINT, BOOL, HWND) {}
