#include "Lib_cpp/kernel/KernelFrame.h"

IxKernelFrame::IxKernelFrame(HINSTANCE instance, IxFrameWnd* window, UINT notifyActionId, UINT recallId,
                             UINT fromExternalId)
    : m_hInstance(instance), m_pWindow(window), m_uNotifyAction(notifyActionId), m_uRecall(recallId),
      m_uFromExternal(fromExternalId)
{
}

IxKernelFrame::~IxKernelFrame() = default;

BOOL IxKernelFrame::Create(int left, int top, int right, int bottom)
{
    m_rc = RECT{left, top, right, bottom};
    return TRUE;
}

// The kernel's paint, timers, dispatch and input come with the kernel tables;
// until then the frame takes the routed messages and does nothing with them.
void IxKernelFrame::OnPaint(HDC, const RECT*, BOOL, BOOL) {}
void IxKernelFrame::OnTimer(UINT_PTR) {}
void IxKernelFrame::DispatchPosted(WPARAM, LPARAM) {}
void IxKernelFrame::OnRecall(WPARAM, LPARAM) {}
void IxKernelFrame::DoMouseMove(WPARAM, int, int, BOOL* startedDrag)
{
    if (startedDrag)
        *startedDrag = FALSE;
}
void IxKernelFrame::DoLButtonDblClk(WPARAM, int, int) {}
void IxKernelFrame::DoLButtonDown(WPARAM, int, int) {}
void IxKernelFrame::DoLButtonUp(WPARAM, int, int) {}
void IxKernelFrame::OnKeyDown(UINT) {}
void IxKernelFrame::OnKeyUp(UINT) {}
void IxKernelFrame::OnKeyRelease(UINT) {}
void IxKernelFrame::OnChar(WCHAR) {}
void IxKernelFrame::OnTextInput(const IxTextInput*) {}
void IxKernelFrame::ShowCaret(BOOL) {}
void IxKernelFrame::OnCaptureLost() {}
void IxKernelFrame::OnCommand(HWND, UINT) {}
void IxKernelFrame::OnCopyData(WPARAM, LPARAM) {}
LRESULT IxKernelFrame::OnNotify(NMHDR*)
{
    return 0;
}
