// The updater's window base: registers a window class and turns the
// messages of its window into virtual operations. The object is handed to
// the window as its creation parameter and kept in the window's user data.
#pragma once

#include "platform/base/Types.h"
#include "platform/gfx/Gdi.h"
#include "platform/ui/Window.h"

#include <string>

// Messages the base dispatches that the window system does not name.
inline constexpr UINT WM_WINDOWPOSCHANGED = 0x0047;
inline constexpr UINT WM_HSCROLL = 0x0114;
inline constexpr UINT WM_VSCROLL = 0x0115;
inline constexpr UINT WM_IME_STARTCOMPOSITION = 0x010D;
inline constexpr UINT WM_IME_COMPOSITION = 0x010F;

// The lParam of WM_WINDOWPOSCHANGED.
struct WINDOWPOS {
    HWND hwnd;
    HWND hwndInsertAfter;
    int x;
    int y;
    int cx;
    int cy;
    UINT flags;
};

class CBaseWindow {
public:
    CBaseWindow() = default;
    virtual ~CBaseWindow();
    CBaseWindow(const CBaseWindow&) = delete;
    CBaseWindow& operator=(const CBaseWindow&) = delete;

    // Creates the background brush, keeps the instance and class name and
    // registers the class (styles 11) with the static window procedure.
    BOOL RegisterClass(HINSTANCE instance, LPCWSTR className, COLORREF background);
    virtual BOOL Create(LPCWSTR title, DWORD style, int x, int y, int width, int height, HWND parent);
    virtual BOOL CreateEx(DWORD exStyle, LPCWSTR title, DWORD style, int x, int y, int width, int height, HWND parent);
    virtual void Invalidate();
    virtual LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);

    virtual void OnPaint(HDC dc);
    virtual LRESULT OnEraseBkgnd(HDC dc);
    virtual void OnKeyDown(WPARAM key, LPARAM flags);
    virtual void OnKeyUp(WPARAM key, LPARAM flags);
    virtual void OnLButtonDown(UINT keys, int x, int y);
    virtual void OnLButtonUp(UINT keys, int x, int y);
    virtual void OnMouseMove(UINT keys, int x, int y);
    virtual void OnLButtonDblClk(UINT keys, int x, int y);
    virtual void OnCreate();
    virtual void OnClose();
    virtual void OnDestroy();
    virtual void OnCommand(WORD id, WORD code);
    virtual void OnShow();
    virtual void OnHide();
    virtual void OnMove(int x, int y);
    virtual LRESULT OnUserMessage(UINT message, WPARAM wParam, LPARAM lParam);
    virtual void OnKillFocus(HWND next);
    virtual void OnSetFocus(HWND previous);
    virtual void OnNotify(WPARAM id, LPARAM header);
    virtual void OnTimer(UINT_PTR id);
    virtual void OnVScroll(WPARAM code, LPARAM bar);
    virtual void OnHScroll(WPARAM code, LPARAM bar);
    virtual void OnChar(WPARAM ch, LPARAM flags);
    virtual void OnImeComposition(WPARAM ch, LPARAM flags);
    virtual void OnActivate(UINT state, BOOL minimised, HWND other);

    HWND GetHwnd() const { return m_hWnd; }

    static LRESULT WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

protected:
    HWND m_hWnd = nullptr;
    HINSTANCE m_hInstance = nullptr;
    std::u16string m_className;
    HBRUSH m_hbrBackground = nullptr;
};
