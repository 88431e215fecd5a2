// The kernel frame: the root of the user interface inside the main window.
//
// The frame window (IxFrameWnd) creates one at WM_CREATE and routes its
// messages here. This is the frame's outer surface, the calls the frame
// window makes; the kernel's tables, dispatch, paint and input fill it in.
#pragma once

#include "Lib_cpp/core/Window.h"
#include "platform/Types.h"

class IxKernelFrame {
public:
    IxKernelFrame(HINSTANCE instance, IxFrameWnd* window, UINT notifyActionId, UINT recallId, UINT fromExternalId);
    ~IxKernelFrame();
    IxKernelFrame(const IxKernelFrame&) = delete;
    IxKernelFrame& operator=(const IxKernelFrame&) = delete;

    // Sizes the frame to the window's client area; 1 on success.
    BOOL Create(int left, int top, int right, int bottom);

    void OnPaint(HDC dc, const RECT* rect, BOOL partial, BOOL skipLayout);
    void OnTimer(UINT_PTR id);
    void DispatchPosted(WPARAM word, LPARAM value);
    void OnRecall(WPARAM elementId, LPARAM code);
    void DoMouseMove(WPARAM keys, int x, int y, BOOL* startedDrag);
    void DoLButtonDblClk(WPARAM keys, int x, int y);
    void DoLButtonDown(WPARAM keys, int x, int y);
    void DoLButtonUp(WPARAM keys, int x, int y);
    void OnKeyDown(UINT key);
    void OnKeyUp(UINT key);
    void OnKeyRelease(UINT key);
    void OnChar(WCHAR ch);
    void OnTextInput(const IxTextInput* input);
    void ShowCaret(BOOL on);
    void OnCaptureLost();
    void OnCommand(HWND control, UINT value);
    void OnCopyData(WPARAM wParam, LPARAM lParam);
    LRESULT OnNotify(NMHDR* header);

    IxFrameWnd* GetFrameWindow() const { return m_pWindow; }
    const RECT& GetRect() const { return m_rc; }
    UINT NotifyActionId() const { return m_uNotifyAction; }
    UINT RecallId() const { return m_uRecall; }
    UINT FromExternalId() const { return m_uFromExternal; }

private:
    HINSTANCE m_hInstance;
    IxFrameWnd* m_pWindow;
    UINT m_uNotifyAction;
    UINT m_uRecall;
    UINT m_uFromExternal;
    RECT m_rc{0, 0, 0, 0};
};
