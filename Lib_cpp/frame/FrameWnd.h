// The frame window: the main window's base, which hosts the kernel frame.
#pragma once

#include "Lib_cpp/core/Window.h"

class IxKernelFrame;

// The frame window that hosts the kernel frame and turns window messages into
// kernel calls; the main window derives from it. Every row of its map does
// nothing while there is no kernel frame.
class IxFrameWnd : public IxWindow {
    IX_DECLARE_MESSAGE_MAP()
public:
    IxFrameWnd();
    ~IxFrameWnd() override;

    void Paint(int mode, HDC dc, const RECT* rect) override;
    BOOL InvokeSoftKey(WCHAR ch, IxTextInput* first, IxTextInput* second) override;

    IxKernelFrame* GetKernelFrame() const { return m_pKernelFrame; }

protected:
    // Makes the kernel frame at WM_CREATE. The application's frame class
    // brings its creation step (IxKernelFrame::Created); the default frame
    // has none.
    virtual IxKernelFrame* NewKernelFrame(HINSTANCE instance);
    LRESULT DoCreate(CREATESTRUCTW* cs, INT_PTR);
    void DoDestroy(INT_PTR, INT_PTR);
    LRESULT OnPaintMessage(WPARAM, LPARAM);
    void OnTimer(WPARAM id, INT_PTR);
    LRESULT OnNotifyAction(WPARAM wParam, LPARAM lParam);
    LRESULT OnRecall(WPARAM wParam, LPARAM lParam);
    LRESULT OnFromExternal(WPARAM wParam, LPARAM lParam);
    void OnMouseMove(WPARAM keys, int x, int y);
    void OnLButtonDblClk(WPARAM keys, int x, int y);
    void OnLButtonDown(WPARAM keys, int x, int y);
    void OnLButtonUp(WPARAM keys, int x, int y);
    void OnKeyDown(WPARAM key, UINT repeat, UINT flags);
    void OnKeyUp(WPARAM key, UINT repeat, UINT flags);
    void OnImeKeyDown(WPARAM key, UINT repeat, UINT flags);
    void OnChar(WPARAM ch, UINT repeat, UINT flags);
    void OnSetFocus(WPARAM, INT_PTR);
    void OnKillFocus(WPARAM, INT_PTR);
    void OnCaptureChanged(INT_PTR, INT_PTR);
    LRESULT OnCommand(WPARAM wParam, LPARAM lParam);
    LRESULT OnCopyData(WPARAM wParam, LPARAM lParam);
    LRESULT OnNotify(NMHDR* header, INT_PTR);
    void OnSize(WPARAM, int, int);
    LRESULT OnDeviceChange(WPARAM event, LPARAM data);

    IxKernelFrame* m_pKernelFrame = nullptr;
    WCHAR m_szSoftKey[2] = {0, 0};
};
