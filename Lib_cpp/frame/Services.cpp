// The kernel services: the numbered requests that elements send up to the
// root (IxElement::Control) and that code holding only the kernel sends
// through IxKernel::Service. Unknown codes answer 0 and do nothing.
#include "Lib_cpp/frame/KernelFrame.h"

#include "Lib_cpp/core/Diag.h"
#include "platform/gfx/Gdi.h"
#include "platform/os/Thread.h"
#include "platform/ui/Window.h"

#include <new>

namespace {

template <class T> T* RecordOf(LPARAM record)
{
    return reinterpret_cast<T*>(record);
}

} // namespace

IxDC* IxKernelFrame::OpenWindowDC(LPARAM size)
{
    auto* dc = new (std::nothrow) IxDC(&m_fonts, 0);
    if (!dc)
        return nullptr;
    HWND hwnd = GetWindowHandle();
    if (!dc->Attach(hwnd)) {
        delete dc;
        return nullptr;
    }
    int width = static_cast<SHORT>(size & 0xFFFF);
    int height = static_cast<SHORT>((size >> 16) & 0xFFFF);
    if (width > 0 && height > 0)
        dc->BeginOffscreen(dc->GetDC(), RECT{0, 0, width, height}, TRUE);
    SetBkMode(dc->GetDC(), TRANSPARENT);
    SetTextAlign(dc->GetDC(), TA_BASELINE);
    return dc;
}

LRESULT IxKernelFrame::PushFromRecord(LPARAM record, int priority)
{
    DrainEventQueue();
    auto* layer = RecordOf<IxLayerRecord>(record);
    if (layer)
        PushLayer(layer->pView, layer->pOwner, priority);
    return 1;
}

void IxKernelFrame::RemoveModalLayer()
{
    RemoveLayerAt(m_layers.LastWithPriority(IXLAYER_MODAL));
}

BOOL IxKernelFrame::ShowPopup(IxElement* view, IxElement* owner)
{
    if (!view || (m_dwState & IXFS_POPUP) || m_layers.LastWithPriority(IXLAYER_POPUP) >= 0)
        return FALSE;
    m_dwState |= IXFS_POPUP;
    RECT rc;
    view->GetRect(&rc);
    int width = rc.right - rc.left;
    int height = rc.bottom - rc.top;
    int x = (Width() - width) / 2;
    int y = (Height() - height) / 2;
    view->SetRect(x, y, 0, x + width, y + height, 0, FALSE);
    if (!PushLayer(view, owner, IXLAYER_POPUP)) {
        m_dwState &= ~IXFS_POPUP;
        return FALSE;
    }
    return TRUE;
}

void IxKernelFrame::RestackTopLayers()
{
    // The stack is sorted by magnitude: walking it bottom up raises the
    // lowest priority first, so the highest ends in front.
    for (int i = 0; i < m_layers.Count(); ++i) {
        DWORD m = IxLayerMagnitude(m_layers[i].nPriority);
        IxElement* view = m_layers[i].pView;
        if (m < static_cast<DWORD>(IXLAYER_KEEP) || m > static_cast<DWORD>(IXLAYER_TOP) || view->HasFlag(IXF_HIDDEN))
            continue;
        if (HWND child = view->GetChildWindow())
            SetWindowPos(child, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    }
}

LRESULT IxKernelFrame::Control(int code, LPARAM record, LPARAM value)
{
    IxKernel* k = m_pKernel;
    HWND hwnd = GetWindowHandle();
    switch (code) {
    case IXSVC_NOP:
        return 1;
    case IXSVC_CHILDWINDOWSHOWN:
    case IXSVC_RESTACK:
        RestackTopLayers();
        return 1;
    case IXSVC_BROADCAST:
        if (auto* action = RecordOf<IxActionRecord>(record))
            Deliver(action->dwAction, action->lValue);
        return 1;
    case IXSVC_KEYEDEVENT:
        if (IxKeyedRecord* keyed = k ? k->GetRecord(kIxDragOwnerRecord, FALSE) : nullptr) {
            if (IxElement* element = FindElement(IXFIND_ID, keyed->nElementId, nullptr, nullptr, nullptr))
                element->OnEvent(IXEV_KEYEDEVENT, value);
        }
        return 1;
    case IXSVC_OPENDC:
    case IXSVC_OPENDC2:
        return reinterpret_cast<LRESULT>(OpenWindowDC(value));
    case IXSVC_CURSORPOS:
        if (auto* point = RecordOf<POINT>(record))
            *point = GetPointerPos();
        return 1;
    case IXSVC_ENDDCKEEP: {
        auto* dc = RecordOf<IxDC>(record);
        HBITMAP bitmap = nullptr;
        if (dc) {
            dc->EndOffscreenKeep(&bitmap);
            dc->Release();
            delete dc;
        }
        return reinterpret_cast<LRESULT>(bitmap);
    }
    case IXSVC_ENDDC:
        if (auto* dc = RecordOf<IxDC>(record)) {
            if (dc->IsOffscreen())
                dc->EndOffscreen();
            dc->Release();
            delete dc;
        }
        return 1;
    case IXSVC_FLAGFRAME:
        m_dwFlags |= IXF_INVALIDATEALL;
        return 1;
    case IXSVC_DRAGONSOURCE:
        return m_gesture.IsDragOnSource();
    case IXSVC_ISDRAGSOURCE:
        return m_gesture.IsDragSource(RecordOf<IxElement>(record));
    case IXSVC_REPAINTNOTICE:
        m_bRepaintNotice = TRUE;
        PostAction(IXA_WINDOWNOTICE, IXNOTICE_EXTERNAL, 0);
        return 1;
    case IXSVC_NOTICE1:
    case IXSVC_NOTICE2:
    case IXSVC_NOTICE3:
        // Framework notices 1, 2 and 3 to the frame window.
        PostAction(IXA_WINDOWNOTICE, code - IXSVC_NOTICE1 + IXNOTICE_SERVICE1, code == IXSVC_NOTICE1 ? value : 0);
        return 1;
    case IXSVC_FOCUS:
        SetFocus(RecordOf<IxElement>(record));
        return 1;
    case IXSVC_NODEFAULTDRAW:
        if (value)
            m_dwState |= IXFS_NODEFAULTDRAW;
        else
            m_dwState &= ~IXFS_NODEFAULTDRAW;
        return 1;
    case IXSVC_GETFONT: {
        auto* out = RecordOf<IxFontEntry>(record);
        const IxFontEntry* entry = m_fonts.At(static_cast<int>(value));
        if (out && entry) {
            out->dwStyle = entry->dwStyle;
            out->nSize = entry->nSize;
            out->pFace = entry->pFace;
            out->crText = entry->crText;
        }
        return 1;
    }
    case IXSVC_SETFONT: {
        auto* entry = RecordOf<IxFontEntry>(record);
        int index = static_cast<int>(value);
        if (entry && m_fonts.At(index)) {
            BOOL changed = m_fonts.SetEntry(index, *entry);
            PushGlobalAction(changed ? IXA_FONTCHANGED : IXA_FONTCOLORCHANGED, AEV_DEFAULT, index);
        }
        return value;
    }
    case IXSVC_BEGINGESTURE:
    case IXSVC_SCROLLLIMITS:
    case IXSVC_ENDGESTURE:
    case IXSVC_SCROLLRUNNING:
        return m_gesture.ScrollService(code, RecordOf<void>(record), value);
    case IXSVC_DRAGLAYER:
        DrainEventQueue();
        RemoveLayerAt(m_layers.LastWithPriority(IXLAYER_DRAG));
        if (auto* layer = RecordOf<IxLayerRecord>(record))
            PushLayer(layer->pView, layer->pOwner, IXLAYER_DRAG);
        return 1;
    case IXSVC_DRAGVIEW:
        return reinterpret_cast<LRESULT>(DragView());
    case IXSVC_PAINTLOCK:
        SetPaintLock(value != 0);
        return 1;
    case IXSVC_MODAL: {
        auto* layer = RecordOf<IxLayerRecord>(record);
        if (!layer || !PushLayer(layer->pView, layer->pOwner, value ? static_cast<int>(value) : IXLAYER_MODAL))
            return -1;
        return RunModalLoop();
    }
    case IXSVC_ENDMODAL:
        EndModalLoop(static_cast<int>(value));
        return 1;
    case IXSVC_MOVED:
        return m_gesture.HasMoved();
    case IXSVC_PUSH:
        return PushFromRecord(record, static_cast<int>(value));
    case IXSVC_PUSHSCREEN:
        return PushFromRecord(record, IXLAYER_SCREEN);
    case IXSVC_PUSHOVERLAY:
        return PushFromRecord(record, IXLAYER_OVERLAY);
    case IXSVC_PUSHTOP:
        return PushFromRecord(record, IxTopLayerPriority(static_cast<int>(value)));
    case IXSVC_POP:
        DrainEventQueue();
        PopLayer(static_cast<int>(value));
        return 1;
    case IXSVC_REMOVEOWNED:
        RemoveLayersOwnedBy(RecordOf<IxElement>(record));
        return 1;
    case IXSVC_ISSHOWN:
        return reinterpret_cast<LRESULT>(IsLayerShown(static_cast<int>(value)));
    case IXSVC_DRAIN:
        DrainEventQueue();
        return 1;
    case IXSVC_ATTACH:
        AttachView(RecordOf<IxElement>(record));
        return 1;
    case IXSVC_DETACH:
        for (int i = 0; i < m_attached.Count(); ++i) {
            IxElement* view = m_attached[i];
            if (view->GetId() == static_cast<int>(value)) {
                DetachView(view);
                delete view;
                break;
            }
        }
        return 1;
    case IXSVC_REPAINTNOW:
        if (value)
            DrainEventQueue();
        if (m_bRepaintNotice && k && k->IsRepaintRequested())
            OnRecall(static_cast<WPARAM>(m_nId), IXRECALL_REPAINTNOTICE);
        if (hwnd) {
            FlushPendingInvalidation();
            UpdateWindow(hwnd);
        }
        return 1;
    case IXSVC_POPUP:
        if (auto* layer = RecordOf<IxLayerRecord>(record))
            return ShowPopup(layer->pView, layer->pOwner);
        return 0;
    case IXSVC_CLOSEPOPUP:
        RemoveLayerAt(m_layers.LastWithPriority(IXLAYER_POPUP));
        return 1;
    default:
        return 0;
    }
}
