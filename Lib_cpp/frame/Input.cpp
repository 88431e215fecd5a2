// Kernel input: the frame turns the main window's pointer and key messages
// into element input. Pointer messages go to the gesture engine
// (GestureEngine.cpp), which accepts or drops presses, dispatches them and
// follows the gesture the element chose until the release; the frame keeps
// the hit test over its layers and the hook's share of the input. Keys and
// characters go to the key router (KeyRouter.cpp). User-interface thread
// only; every entry runs inside one busy bracket.
#include "Lib_cpp/frame/KernelFrame.h"

// ---------------------------------------------------------------------------
// Hit testing

IxElement* IxKernelFrame::FindTarget(int inputCode, POINT point)
{
    return TargetAt(inputCode, point, TRUE);
}

IxElement* IxKernelFrame::TargetAt(int inputCode, POINT point, BOOL closeOutside)
{
    m_hCaptureWnd = nullptr;
    for (int i = m_layers.Count() - 1; i >= 0; --i) {
        IxLayerEntry entry = m_layers[i];
        // The dragged view follows the pointer: it is never what lies under it.
        if (entry.nPriority == IXLAYER_DRAG)
            continue;
        RECT rc;
        entry.pView->GetRect(&rc);
        bool inside = PtInRectInclusive(rc, point);
        if (IxIsKeptLayer(entry.nPriority)) {
            if (!inside)
                continue;
        } else if (!inside) {
            // A touch outside a popup-like layer closes it; a negative
            // priority only swallows the touch.
            if (closeOutside && entry.nPriority >= 0) {
                DWORD m = IxLayerMagnitude(entry.nPriority);
                RemoveLayerAt(i);
                if (m_pHook && m < static_cast<DWORD>(IXLAYER_KEEP))
                    m_pHook->OnLayerChanged(0, static_cast<LPARAM>(m));
            }
            return nullptr;
        }
        if (entry.pView->HasFlag(IXF_HIDDEN | IXF_DISABLED))
            return nullptr;
        POINT local{point.x - rc.left, point.y - rc.top};
        IxElement* target = entry.pView->FindTarget(inputCode, local);
        if (target)
            m_hCaptureWnd = entry.pView->GetChildWindow();
        return target;
    }
    return IxWindowView::FindTarget(inputCode, point);
}

BOOL IxKernelFrame::InVisibleTopLayer(POINT point) const
{
    for (int i = 0; i < m_layers.Count(); ++i) {
        if (!IxIsKeptLayer(m_layers[i].nPriority) || m_layers[i].pView->HasFlag(IXF_HIDDEN))
            continue;
        RECT rc;
        m_layers[i].pView->GetRect(&rc);
        if (PtInRectInclusive(rc, point))
            return TRUE;
    }
    return FALSE;
}

IxElement* IxKernelFrame::DragView() const
{
    int i = m_layers.LastWithPriority(IXLAYER_DRAG);
    return i >= 0 ? m_layers[i].pView : nullptr;
}

// ---------------------------------------------------------------------------
// Pointer messages

BOOL IxKernelFrame::PointerToHook(int code, POINT point, BOOL heldKeyToo)
{
    bool stopped = (m_dwState & IXFS_STOPPED) != 0;
    bool toHook = stopped || (m_dwState & IXFS_POPUP) || (heldKeyToo && m_keys.GetHeldKey() != 0);
    if (!toHook)
        return FALSE;
    // Without a hook a stopped frame drops the input; a popup or a held key
    // leaves it to the screen.
    if (!m_pHook)
        return stopped ? TRUE : FALSE;
    IxBusyScope busy(this);
    POINT local = point;
    m_pHook->OnInput(code, reinterpret_cast<LPARAM>(&local));
    return TRUE;
}

void IxKernelFrame::DoLButtonDown(WPARAM keys, int x, int y)
{
    m_gesture.DoLButtonDown(keys, x, y);
}

void IxKernelFrame::DoMouseMove(WPARAM keys, int x, int y, BOOL* startedDrag)
{
    m_gesture.DoMouseMove(keys, x, y, startedDrag);
}

void IxKernelFrame::DoLButtonUp(WPARAM keys, int x, int y)
{
    m_gesture.DoLButtonUp(keys, x, y);
}

void IxKernelFrame::DoLButtonDblClk(WPARAM keys, int x, int y)
{
    m_gesture.DoLButtonDblClk(keys, x, y);
}

void IxKernelFrame::OnCaptureLost()
{
    m_gesture.OnCaptureLost();
}

// ---------------------------------------------------------------------------
// Keys and characters: the key router

void IxKernelFrame::NotifyExtKey(int command, int buttonKey, BOOL press, DWORD flags)
{
    m_keys.NotifyExtKey(command, buttonKey, press, flags);
}

void IxKernelFrame::OnKeyDown(UINT key)
{
    m_keys.OnKeyDown(key);
}

void IxKernelFrame::OnKeyUp(UINT key)
{
    m_keys.OnKeyUp(key);
}

void IxKernelFrame::OnKeyRelease(UINT key)
{
    m_keys.OnKeyRelease(key);
}

void IxKernelFrame::OnChar(WCHAR ch)
{
    m_keys.OnChar(ch);
}

void IxKernelFrame::OnTextInput(const IxTextInput* input)
{
    m_keys.OnTextInput(input);
}
