#include "Lib_cpp/frame/KernelFrame.h"

#include "Lib_cpp/core/App.h"
#include "Lib_cpp/core/Diag.h"
#include "platform/base/Clock.h"
#include "platform/base/Debug.h"
#include "platform/base/Text.h"
#include "platform/gfx/Gdi.h"
#include "platform/os/Thread.h"
#include "platform/ui/Window.h"

#include <new>

// ---------------------------------------------------------------------------
// IxKernelAppPlayer

int IxKernelAppPlayer::ActionIsInvoked(int code, int kind, LPARAM)
{
    if (code == IXA_ASKCLOSE && kind == AEV_DEFAULT) {
        if (m_pFrame)
            m_pFrame->Stop(TRUE);
        return 1;
    }
    return 0;
}

// ---------------------------------------------------------------------------
// Construction

IxKernelFrame::IxKernelFrame(HINSTANCE instance, IxFrameWnd* window, UINT notifyActionId, UINT recallId,
                             UINT fromExternalId)
    : IxWindowView(window), m_hInstance(instance), m_pWindow(window), m_uNotifyAction(notifyActionId),
      m_uRecall(recallId), m_uFromExternal(fromExternalId)
{
    m_pKernel = new (std::nothrow) IxKernel(this, &m_queue, &m_timers);
    if (m_pKernel)
        m_pKernel->SetCaptureTarget(this);
    if (!m_pKernel)
        IxRecordError(IXERR_NOMEMORY);
}

IxKernelFrame::~IxKernelFrame()
{
    HWND hwnd = GetWindowHandle();
    m_caret.Drop();
    m_gesture.EndPointerGesture();
    for (int i = 0; i < m_timers.Count(); ++i) {
        if (m_timers[i].pTarget && m_timers[i].nInterval < 0 && hwnd)
            ::KillTimer(hwnd, static_cast<UINT_PTR>(i) + 1);
    }
    m_timers.RemoveAll();
    SetFileChangeHook(nullptr); // deletes the watchers: ends their threads
    m_dwState |= IXFS_CLOSED | IXFS_STOPPED;
    m_preloader.Stop(3000);
    m_queue.Clear();
    if (HasFlag(IXF_ACTIVE)) {
        if (m_pHook)
            m_pHook->SetState(IXSS_DETACH, 0);
        SetState(IXSS_DETACH, 0);
    }
    for (int budget = m_layers.Count(); budget > 0 && m_layers.Count() > 0; --budget)
        RemoveLayerAt(m_layers.Count() - 1);
    m_layers.RemoveAll(); // layers pushed by owners while the frame closes
    IxKernelAppPlayer* hook = m_pHook;
    m_pHook = nullptr;
    delete hook;
    // Children, pages and attached views are deleted by the view classes
    // after the kernel is gone; they find no kernel to tell.
    delete m_pKernel;
    m_pKernel = nullptr;
    m_invalid.ClearPending();
}

BOOL IxKernelFrame::Create(int left, int top, int right, int bottom)
{
    if (!m_pKernel) {
        IxRecordError(IXERR_NOMEMORY);
        return FALSE;
    }
    {
        IxBusyScope busy(this);
        m_gesture.ClearGesture();
        m_caret.Reset();
        IxElementParams params;
        params.Clear();
        params.Set(left, top, right - left, bottom - top, kIxFrameId, 0);
        if (!IxElement::Create(&params))
            return FALSE;
        IxElement* first = Created();
        SetState(IXSS_BUILD, 0);
        SetState(IXSS_ATTACH, 0);
        if (m_pHook) {
            m_pHook->SetState(IXSS_BUILD, 0);
            m_pHook->SetState(IXSS_ATTACH, reinterpret_cast<LPARAM>(first));
        }
        if (!m_pActivePage && first) {
            if (m_pages.IndexOf(first) >= m_pages.Count())
                AddPage(first);
            SetActivePage(first, 0, 0);
        }
        if (!m_pActivePage)
            m_pKernel->RequestRepaint();
    }
    m_preloader.StartIfPending(7);
    if (m_pHook) {
        if (HWND hwnd = GetWindowHandle())
            PostMessageW(hwnd, m_uRecall, static_cast<WPARAM>(m_nId), IXRECALL_STARTED);
    }
    return TRUE;
}

void IxKernelFrame::SetHook(IxKernelAppPlayer* hook)
{
    m_pHook = hook;
    if (hook)
        hook->m_pFrame = this;
}

void IxKernelFrame::Stop(BOOL popAll)
{
    if (m_dwState & IXFS_STOPPED)
        return;
    m_dwState |= IXFS_STOPPED;
    if (popAll)
        PopAllLayers();
    m_gesture.EndPointerGesture();
    m_bRepaintNotice = FALSE;
}

int IxKernelFrame::ActionIsInvoked(int code, int kind, LPARAM param)
{
    return m_pHook ? m_pHook->ActionIsInvoked(code, kind, param) : 0;
}

void IxKernelFrame::Invalidate(int mode, RECT* rect, IxElement*)
{
    if (mode == IXINV_UPDATE)
        m_dwFlags |= IXF_UPDATEPENDING;
    else if (mode == IXINV_LAYOUT)
        m_dwFlags |= IXF_LAYOUTPENDING;
    if (!rect || IxInvalidation::IsEmpty(*rect))
        return;
    RECT r = *rect;
    r.left += m_rc.left;
    r.right += m_rc.left;
    r.top += m_rc.top;
    r.bottom += m_rc.top;
    if (m_bInPressHandler)
        m_bPointerUnblocked = FALSE; // until the next paint
    // The paint in progress may already have drawn this part: it is
    // repainted once after the paint (IXRECALL_DIRTY).
    const bool painting = m_invalid.IsPainting();
    m_invalid.Add(r);
    if (!painting && m_nBusy == 0)
        FlushPendingInvalidation();
}

void IxKernelFrame::FlushPendingInvalidation()
{
    RECT r;
    if (!m_invalid.TakePending(&r))
        return;
    if (HWND hwnd = GetWindowHandle())
        InvalidateRect(hwnd, &r, FALSE);
}

void IxKernelFrame::Draw(IxPaintRecord* record)
{
    if (!record || !record->dc)
        return;
    if (HBRUSH brush = CreateSolidBrush(m_crBackground)) {
        RECT all{0, 0, Width(), Height()};
        FillRect(record->dc->GetDC(), &all, brush);
        DeleteObject(brush);
    }
    IxWindowView::Draw(record);
}

void IxKernelFrame::SetPaintLock(BOOL on)
{
    const bool locked = (m_dwState & IXFS_PAINTLOCK) != 0;
    if (on && !locked) {
        m_dwState |= IXFS_PAINTLOCK;
        OutputDebugStringW(u"[KERNEL] Lock Paint\r\n");
    } else if (!on && locked) {
        m_dwState &= ~IXFS_PAINTLOCK;
        OutputDebugStringW(u"[KERNEL] Unlock Paint\r\n");
        // The paints swallowed while locked left the screen stale: the
        // frame's window and the windows of its layers (a layer with a
        // window of its own paints through the frame too).
        if (HWND hwnd = GetWindowHandle())
            InvalidateRect(hwnd, nullptr, FALSE);
        for (int i = 0; i < m_layers.Count(); ++i) {
            HWND child = m_layers[i].pView->GetChildWindow();
            if (child && child != GetWindowHandle())
                InvalidateRect(child, nullptr, FALSE);
        }
    }
}

IxElement* IxKernelFrame::FindElement(int kind, int id, IxArray<IxElement*>* out, IxElement* from, IxElement*)
{
    auto search = [&](IxElement* element) -> IxElement* {
        if (!element || element == from)
            return nullptr;
        return element->FindElement(kind, id, out, nullptr, element);
    };
    for (int i = 0; i < m_attached.Count(); ++i) {
        if (IxElement* found = search(m_attached[i]); found && !out)
            return found;
    }
    for (IxListNode* node = m_children.Head(); node; node = node->m_pNext) {
        if (IxElement* found = search(FromNode(node)); found && !out)
            return found;
    }
    if (IxElement* found = search(m_pActivePage); found && !out)
        return found;
    for (int i = m_layers.Count() - 1; i >= 0; --i) {
        if (IxElement* found = search(m_layers[i].pView); found && !out)
            return found;
    }
    if (kind == IXFIND_ID && m_nId == id) {
        if (!out)
            return this;
        out->Add(this);
    }
    return nullptr;
}

void IxKernelFrame::SetState(int state, LPARAM param)
{
    IxElementWatch self(this);
    // Layers from the top down; a handler may pop layers on its way.
    for (int i = m_layers.Count() - 1; i >= 0 && self.Alive(); --i) {
        if (i < m_layers.Count())
            m_layers[i].pView->SetState(state, param);
    }
    if (self.Alive())
        IxWindowView::SetState(state, param);
}

int IxKernelFrame::OnChildNotify(int kind, LPARAM data, IxElement* sender, IxElement* origin)
{
    // A layer's notices belong to the element that owns the layer.
    for (int i = 0; i < m_layers.Count(); ++i) {
        if (m_layers[i].pView == sender)
            return m_layers[i].pOwner ? m_layers[i].pOwner->OnChildNotify(kind, data, sender, origin) : 0;
    }
    return IxWindowView::OnChildNotify(kind, data, sender, origin);
}

// ---------------------------------------------------------------------------
// Busy bracket

void IxKernelFrame::BeginBusy()
{
    if (++m_nBusy != 1 || !m_pKernel)
        return;
    m_pKernel->BeginPass();
    m_pKernel->SetCaptureTarget(GetGestureElement() ? GetGestureElement() : this);
}

void IxKernelFrame::EndBusy()
{
    if (m_nBusy > 1 || !m_pKernel) {
        --m_nBusy;
        return;
    }
    IxKernel& k = *m_pKernel;
    // 1, 2: deferred work, then every queued action, including those that
    // the handlers it calls queue.
    if (k.HasDeferredWork())
        FlushDeferredWork();
    DrainEventQueue();
    // 3: the whole frame is to be redrawn.
    if (k.TakeInvalidateAll()) {
        ActionIsInvoked(IXA_INVALIDATEALL, AEV_DEFAULT, 0);
    }
    // 4
    ApplyCaretRequest();
    // 5: a soft key for the focused text control.
    if (k.GetSoftKeyRequest() > 1) {
        PostAction(IXA_WINDOWNOTICE, IXNOTICE_SOFTKEY, k.GetSoftKeyRequest());
        k.ClearSoftKeyRequest();
    }
    // 6
    k.Compact();
    // 7: the gesture lost its target.
    if (!k.GetCaptureTarget() && GetGestureElement())
        m_gesture.EndPointerGesture();
    // 8: the layers changed: the whole frame is due for repaint.
    if (k.IsRepaintRequested() && !(m_dwFlags & IXF_INVALIDATEALL)) {
        m_dwFlags |= IXF_INVALIDATEALL;
        m_invalid.AddPending(m_rc);
    }
    // 9, 10
    SyncTimers();
    CarryOutWindowRequest();
    // 11: actions posted while a handler ran go behind everything waiting.
    HWND hwnd = GetWindowHandle();
    for (int i = 0; i < m_deferred.Count(); ++i) {
        if (hwnd)
            PostMessageW(hwnd, m_uNotifyAction, m_deferred[i].dwAction, m_deferred[i].lValue);
    }
    m_deferred.RemoveAll();
    // 12
    FlushPendingInvalidation();
    // 13
    if (m_bRepaintNotice && k.IsRepaintRequested() && hwnd)
        PostMessageW(hwnd, m_uRecall, static_cast<WPARAM>(m_nId), IXRECALL_REPAINTNOTICE);
    // Actions queued after the drain (by the hook's notices and consents)
    // are drained by a recall instead of waiting for an unrelated message.
    if (m_queue.Count() > 0 && hwnd)
        PostMessageW(hwnd, m_uRecall, static_cast<WPARAM>(m_nId), IXRECALL_DRAIN);
    // 14
    m_bInPressHandler = FALSE;
    --m_nBusy;
}

void IxKernelFrame::CarryOutWindowRequest()
{
    int request = m_pKernel->TakeWindowRequest();
    HWND hwnd = GetWindowHandle();
    if (!hwnd)
        return;
    switch (request) {
    case IXWR_CLOSE:
        // Closed through the window's queue: the frame and the handlers on
        // the stack must not be deleted under their feet.
        if (!m_pHook || ActionIsInvoked(IXA_ASKCLOSE, AEV_DEFAULT, 0))
            PostMessageW(hwnd, WM_CLOSE, 0, 0);
        break;
    case IXWR_SHOW:
        if (!IsWindowVisible(hwnd) && (!m_pHook || ActionIsInvoked(IXA_ASKSHOW, AEV_DEFAULT, 0)))
            ShowWindow(hwnd, SW_SHOW);
        break;
    case IXWR_HIDE:
        if (IsWindowVisible(hwnd) && (!m_pHook || ActionIsInvoked(IXA_ASKHIDE, AEV_DEFAULT, 0)))
            ShowWindow(hwnd, SW_HIDE);
        break;
    default:
        break;
    }
}

BOOL IxKernelFrame::IsBusy(DWORD tick) const
{
    IxApp* app = IxGetApp();
    // The application's loops keep the stamp; without them, the stamp of the
    // message this thread retrieved last.
    DWORD stamp = app ? app->GetLastMessageTime() : static_cast<DWORD>(GetMessageTime());
    if (tick == 0)
        return GetTickCount() - stamp > m_dwBusyLimit;
    return static_cast<int>(stamp - tick) < 0;
}

void IxKernelFrame::FlushDeferredWork()
{
    if (!m_pKernel)
        return;
    IxKernel& k = *m_pKernel;
    k.TakeDeferredWork();
    if (k.TakeInvalidateAll()) {
        ActionIsInvoked(IXA_INVALIDATEALL, AEV_DEFAULT, 0);
    }
    // Removals may queue further removals; each batch is taken whole.
    for (IxArray<int> batch = k.TakePopLater(); batch.Count() > 0; batch = k.TakePopLater()) {
        for (int i = 0; i < batch.Count(); ++i)
            PopLayer(batch[i]);
    }
    if (k.TakeUpdateNow()) {
        if (HWND hwnd = GetWindowHandle())
            UpdateWindow(hwnd);
    }
}

// ---------------------------------------------------------------------------
// Dispatch

void IxKernelFrame::DispatchEvent(DWORD word, LPARAM value)
{
    if (m_dwState & IXFS_CLOSED)
        return;
    int id = IxActionId(word);
    if ((m_dwState & IXFS_STOPPED) && (id < IXA_FIRSTSYSTEM || id > IXA_LASTSYSTEM)) {
        if (m_pHook) {
            IxBusyScope busy(this);
            m_pHook->ActionIsInvoked(id, IxActionKind(word), value);
        }
        return;
    }
    IxBusyScope busy(this);
    Deliver(word, value);
}

void IxKernelFrame::Deliver(DWORD word, LPARAM value)
{
    if (!m_pKernel)
        return;
    IxKernel& k = *m_pKernel;
    int id = IxActionId(word);
    int kind = IxActionKind(word);
    if (id == IXA_FILECHANGETIMER) {
        if (kind == 1)
            k.KillTimer(this, IxTimerId(&m_nFileChangeDelay));
        return;
    }
    k.Deliver(word, value);
}

void IxKernelFrame::DispatchPosted(WPARAM word, LPARAM value)
{
    DWORD action = static_cast<DWORD>(word);
    if (m_nBusy >= 1) {
        m_deferred.Add(IxRingEntry{action, value});
        return;
    }
    switch (IxActionId(action)) {
    case IXA_FILECHANGE:
        if (m_nFileChangeDelay != 0 && m_pKernel) {
            // Restarted by every notice: a burst is refreshed once, after it.
            IxBusyScope busy(this);
            m_pKernel->SetTimer(this, IxTimerId(&m_nFileChangeDelay), m_nFileChangeDelay);
        } else {
            RefreshFileChanges();
        }
        return;
    case IXA_PICTUREREADY: {
        // The value is a weak reference to the requesting control: only a
        // control that still exists hears that its picture is ready.
        IxElementRef ref = IxElementRef::Adopt(value);
        if (IxElement* control = ref.Get()) {
            IxBusyScope busy(this);
            control->OnEvent(IXEV_PICTUREREADY, 0);
        }
        return;
    }
    default:
        DispatchEvent(action, value);
        return;
    }
}

void IxKernelFrame::SetFileChangeHook(IxFileChangeHook* hook)
{
    if (hook == m_pFileChangeHook)
        return;
    delete m_pFileChangeHook;
    m_pFileChangeHook = hook;
}

void IxKernelFrame::RefreshFileChanges()
{
    if (!(m_dwState & IXFS_STOPPED) && m_pFileChangeHook)
        m_pFileChangeHook->Refresh();
}

LRESULT IxKernelFrame::OnEvent(int code, LPARAM param)
{
    switch (code) {
    case IXEV_TIMER:
        if (static_cast<UINT_PTR>(param) == IxTimerId(&m_nFileChangeDelay)) {
            if (m_pKernel)
                m_pKernel->KillTimer(this, IxTimerId(&m_nFileChangeDelay));
            RefreshFileChanges();
            return 0;
        }
        // The held key's timer, else those of the gesture engine.
        if (m_pKernel && !m_keys.OnTimer(static_cast<UINT_PTR>(param)))
            m_gesture.OnTimer(static_cast<UINT_PTR>(param));
        return 0;
    case IXEV_DETACHED:
        if (m_pKernel)
            m_pKernel->KillTimer(this, 0);
        if (m_pHook)
            m_pHook->OnEvent(code, param);
        return 1;
    case IXEV_ATTACHED:
        if (m_pHook)
            m_pHook->OnEvent(code, param);
        return 1;
    default:
        return m_pHook ? m_pHook->OnEvent(code, param) : 0;
    }
}

void IxKernelFrame::DrainEventQueue()
{
    IxRingEntry entry;
    while (m_queue.Pop(&entry))
        Deliver(entry.dwAction, entry.lValue);
}

void IxKernelFrame::FlushAndUpdate()
{
    DrainEventQueue();
    if (HWND hwnd = GetWindowHandle())
        UpdateWindow(hwnd);
}

void IxKernelFrame::Notify(int id, int kind, LPARAM value)
{
    DispatchEvent(IxActionWord(id, kind), value);
}

void IxKernelFrame::PostAction(int id, int kind, LPARAM value)
{
    if (HWND hwnd = GetWindowHandle())
        PostMessageW(hwnd, m_uNotifyAction, IxActionWord(id, kind), value);
}

// ---------------------------------------------------------------------------
// Timers

void IxKernelFrame::SyncTimers()
{
    HWND hwnd = GetWindowHandle();
    for (int i = 0; i < m_timers.Count(); ++i) {
        IxTimerEntry& entry = m_timers[i];
        if (!entry.pTarget)
            continue;
        UINT_PTR windowId = static_cast<UINT_PTR>(i) + 1;
        if (entry.nInterval > 0) {
            if (hwnd)
                ::SetTimer(hwnd, windowId, static_cast<UINT>(entry.nInterval), nullptr);
            entry.nInterval = -entry.nInterval;
        } else if (entry.nInterval == 0) {
            if (hwnd)
                ::KillTimer(hwnd, windowId);
            entry.pTarget = nullptr;
        }
    }
}

void IxKernelFrame::OnTimer(UINT_PTR id)
{
    if (id == 0 || id > static_cast<UINT_PTR>(m_timers.Count()))
        return;
    IxTimerEntry entry = m_timers[static_cast<int>(id - 1)];
    if (!entry.pTarget || entry.nInterval >= 0)
        return;
    IxBusyScope busy(this);
    entry.pTarget->OnEvent(IXEV_TIMER, static_cast<LPARAM>(entry.uId));
}

// ---------------------------------------------------------------------------
// Layers

BOOL IxKernelFrame::PushLayer(IxElement* view, IxElement* owner, int priority)
{
    if (!view)
        return FALSE;
    DWORD m = IxLayerMagnitude(priority);
    if (m_pHook && m < static_cast<DWORD>(IXLAYER_KEEP))
        m_pHook->OnLayerChanged(1, reinterpret_cast<LPARAM>(owner));
    IxElement* focus = m_pKernel ? m_pKernel->GetFocus() : nullptr;
    bool saveFocus = priority != IXLAYER_DRAG && priority != IXLAYER_POPUP;
    if (m_layers.Insert(IxLayerEntry{view, owner, priority, saveFocus && focus ? focus->GetId() : 0}) < 0)
        return FALSE;
    view->SetParent(this);
    if (saveFocus && focus)
        SetFocus(nullptr);
    if (HasFlag(IXF_ACTIVE)) {
        view->SetActive(TRUE, 0);
        if (m_pKernel)
            m_pKernel->RequestRepaint();
    }
    if (!HasFlag(IXF_LAYOUTPENDING) && !view->HasFlag(IXF_HIDDEN)) {
        RECT rc;
        view->GetRect(&rc);
        Invalidate(IXINV_REPAINT, &rc, view);
    }
    if (!HasFlag(IXF_PENDING))
        Redraw();
    if (priority == IXLAYER_SCREEN)
        m_dwState |= IXFS_SCREEN;
    else if (m == static_cast<DWORD>(IXLAYER_OVERLAY) || m == static_cast<DWORD>(IXLAYER_OVERLAY2))
        m_dwState |= IXFS_OVERLAY;
    m_bPointerUnblocked = TRUE;
    return TRUE;
}

BOOL IxKernelFrame::PushTopLayer(IxElement* view, int n)
{
    return PushLayer(view, nullptr, IxTopLayerPriority(n));
}

void IxKernelFrame::UpdateStateBitsOnRemoval(int priority)
{
    if (priority == IXLAYER_POPUP)
        m_dwState &= ~IXFS_POPUP;
    else if (priority == IXLAYER_SCREEN)
        m_dwState &= ~IXFS_SCREEN;
    else if (priority == IXLAYER_OVERLAY || priority == IXLAYER_OVERLAY2)
        m_dwState &= ~IXFS_OVERLAY;
}

void IxKernelFrame::RemoveLayerAt(int index)
{
    if (index < 0 || index >= m_layers.Count())
        return;
    IxLayerEntry entry = m_layers[index];
    m_layers.RemoveAt(index);
    if (HasFlag(IXF_ACTIVE))
        entry.pView->SetActive(FALSE, 0);
    UpdateStateBitsOnRemoval(entry.nPriority);
    entry.pView->SetParent(nullptr);
    if (entry.pOwner) {
        bool ownsAnother = m_layers.LastOwnedBy(entry.pOwner) >= 0;
        entry.pOwner->OnEvent(ownsAnother ? IXEV_HANDBACK : IXEV_LAYERCLOSED, reinterpret_cast<LPARAM>(entry.pView));
    } else {
        delete entry.pView;
    }
    Redraw();
    if (entry.nSavedFocusId && m_pKernel && !m_pKernel->GetFocus()) {
        IxElement* element = FindElement(IXFIND_ID, entry.nSavedFocusId, nullptr, nullptr, this);
        if (element && element->HasFlag(IXF_ACTIVE))
            SetFocus(element);
    }
    m_bPointerUnblocked = TRUE;
}

void IxKernelFrame::PopLayer(int viewId)
{
    int index = m_layers.IndexOfView(viewId);
    if (index < 0)
        return;
    DWORD m = IxLayerMagnitude(m_layers[index].nPriority);
    RemoveLayerAt(index);
    if (m_pHook && m < static_cast<DWORD>(IXLAYER_KEEP))
        m_pHook->OnLayerChanged(0, static_cast<LPARAM>(m));
}

void IxKernelFrame::PopAllLayers()
{
    // Bottom to top. Bounded by the layers present at the start, so that
    // owners that push again on removal cannot keep the loop going.
    for (int budget = m_layers.Count(); budget > 0; --budget) {
        int index = m_layers.FirstBelowKept();
        if (index < 0)
            break;
        RemoveLayerAt(index);
    }
}

void IxKernelFrame::RemoveLayersOwnedBy(IxElement* owner)
{
    // One more round than layers: a drag layer takes two.
    for (int budget = m_layers.Count() + 1; budget > 0; --budget) {
        int index = m_layers.LastOwnedBy(owner);
        if (index < 0)
            break;
        int priority = m_layers[index].nPriority;
        if (priority == IXLAYER_MODAL && m_modal.IsRunning()) {
            EndModalLoop(-1); // removes the layer
            continue;
        }
        // The drag loses its image: the dragged element hears that the drop
        // was cancelled, and the gesture ends; the handler may have changed
        // the stack.
        if (priority == IXLAYER_DRAG && m_gesture.CancelDrag())
            continue;
        RemoveLayerAt(index);
    }
}

IxElement* IxKernelFrame::IsLayerShown(int viewId) const
{
    return m_layers.FindView(viewId);
}

void IxKernelFrame::ForgetElement(IxElement* element)
{
    if (m_pHook == element)
        m_pHook = nullptr;
    m_gesture.ForgetElement(element);
    for (int i = m_layers.Count() - 1; i >= 0; --i) {
        if (m_layers[i].pView == element || m_layers[i].pOwner == element) {
            UpdateStateBitsOnRemoval(m_layers[i].nPriority);
            if (m_layers[i].pView->GetParent() == this)
                m_layers[i].pView->SetParent(nullptr);
            m_layers.RemoveAt(i);
        }
    }
}

// ---------------------------------------------------------------------------
// Focus

void IxKernelFrame::SetFocus(IxElement* element)
{
    if (!m_pKernel || m_pKernel->GetFocus() == element)
        return;
    if (IxElement* old = m_pKernel->GetFocus()) {
        old->OnEvent(IXEV_FOCUSOUT, reinterpret_cast<LPARAM>(element));
        PostAction(IXA_WINDOWNOTICE, IXNOTICE_SOFTKEY_FINISH, 0);
    }
    m_pKernel->SetFocusElement(element);
    if (element)
        element->OnEvent(IXEV_FOCUSIN, reinterpret_cast<LPARAM>(element));
}

// ---------------------------------------------------------------------------
// Entry points of the frame window that belong to paint and input.

void IxKernelFrame::OnPaint(HDC dc, const RECT* rect, BOOL partial, BOOL skipLayout)
{
    m_bPointerUnblocked = TRUE;
    HWND hwnd = GetWindowHandle();
    if (m_dwState & IXFS_PAINTLOCK) {
        if (hwnd)
            ValidateRect(hwnd, nullptr);
        if (m_pKernel && m_pKernel->TakeRepaint()) {
            SetState(IXSS_RESUME, 0);
            SetState(IXSS_PAUSE, 0);
        }
        FinishPaint();
        return;
    }
    if (!dc || !rect || IxInvalidation::IsEmpty(*rect)) {
        FinishPaint();
        return;
    }
    m_invalid.BeginPaint();
    BOOL full = FALSE;
    if (m_pKernel) {
        full = m_pKernel->TakeRepaint();
        m_pKernel->ClearCaretRequest();
    }
    m_dwFlags &= ~IXF_INVALIDATEALL;

    IxDC paint(&m_fonts, 0);
    paint.BeginOffscreen(dc, *rect, !(m_dwState & IXFS_DIRECTPAINT));
    HDC drawDC = paint.GetDC();
    int oldMode = SetBkMode(drawDC, TRANSPARENT);
    UINT oldAlign = SetTextAlign(drawDC, TA_BASELINE);

    if ((full || HasFlag(IXF_PENDING)) && !skipLayout) {
        for (int i = 0; i < m_layers.Count(); ++i) {
            if (m_layers[i].pView->HasFlag(IXF_PENDING))
                m_layers[i].pView->ValidateNow(0);
        }
        ValidateNow(0);
    }

    // Everything below draws within the paint rectangle (window coordinates).
    IxPaintRecord record{&paint, *rect};
    paint.PushClip(*rect);
    if (!(m_dwState & (IXFS_SCREEN | IXFS_OVERLAY)) && !partial)
        Paint(&record);
    {
        // Layers are laid out in frame coordinates.
        IxOriginShift shift(paint, &record.clip, m_rc.left, m_rc.top);
        auto paintLayer = [&](int i) {
            IxElement* view = m_layers[i].pView;
            RECT rc;
            view->GetRect(&rc);
            if (!view->HasFlag(IXF_HIDDEN) && rc.left < record.clip.right && record.clip.left < rc.right
                && rc.top < record.clip.bottom && record.clip.top < rc.bottom)
                view->Paint(&record);
        };
        if (!partial) {
            if (!(m_dwState & IXFS_SINGLELAYER)) {
                if ((m_dwState & IXFS_OVERLAY) && m_layers.Count() > 0)
                    paintLayer(m_layers.Count() - 1);
                else
                    for (int i = 0; i < m_layers.Count(); ++i)
                        paintLayer(i);
            }
            if ((m_dwState & IXFS_HOOKPAINTS) && m_pHook)
                m_pHook->Paint(&record);
        } else {
            for (int i = 0; i < m_layers.Count(); ++i) {
                int p = m_layers[i].nPriority;
                int magnitude = p < 0 ? -p : p;
                if (magnitude >= IXLAYER_KEEP && magnitude <= IXLAYER_TOP)
                    paintLayer(i);
            }
        }
    }
    paint.PopClip();
    SetTextAlign(drawDC, oldAlign);
    SetBkMode(drawDC, oldMode);
    paint.EndOffscreen();
    if (full)
        SetState(IXSS_RESUME, 0);
    if (m_pHook)
        m_pHook->AfterPaint();
    paint.Release();
    if (m_pHook)
        m_pHook->AfterPaintRelease();
    if (m_dwState & IXFS_DIRECTPAINTREQUEST)
        m_dwState |= IXFS_DIRECTPAINT;
    else
        m_dwState &= ~IXFS_DIRECTPAINT;
    if (full)
        SetState(IXSS_PAUSE, 0);
    FinishPaint();
    if (m_invalid.EndPaint() && hwnd)
        PostMessageW(hwnd, m_uRecall, static_cast<WPARAM>(m_nId), IXRECALL_DIRTY);
}

void IxKernelFrame::FinishPaint()
{
    // Paint ends by starting the timers its handlers requested and by
    // handing over what they asked for.
    ApplyCaretRequest();
    SyncTimers();
    HWND hwnd = GetWindowHandle();
    if (m_pKernel && m_pKernel->TakeInvalidateAll()) {
        ActionIsInvoked(IXA_INVALIDATEALL, AEV_DEFAULT, 0);
    }
    if (m_queue.Count() > 0 && hwnd)
        PostMessageW(hwnd, m_uRecall, static_cast<WPARAM>(m_nId), IXRECALL_DRAIN);
    FlushPendingInvalidation();
}

void IxKernelFrame::OnRecall(WPARAM elementId, LPARAM code)
{
    if (static_cast<int>(elementId) != m_nId) {
        IxBusyScope busy(this);
        if (IxElement* element = FindElement(IXFIND_ID, static_cast<int>(elementId), nullptr, nullptr, nullptr))
            element->OnEvent(IXEV_RECALL, code);
        return;
    }
    switch (code) {
    case IXRECALL_DIRTY:
        if (RECT r; m_invalid.TakeDirty(&r)) {
            if (HWND hwnd = GetWindowHandle())
                InvalidateRect(hwnd, &r, FALSE);
        }
        break;
    case IXRECALL_REPAINTNOTICE:
        if (m_bRepaintNotice && m_pKernel && m_pKernel->IsRepaintRequested()) {
            m_pKernel->TakeRepaint();
            SetState(IXSS_RESUME, 0);
            SetState(IXSS_PAUSE, 0);
        }
        break;
    case IXRECALL_DRAIN: {
        IxBusyScope busy(this); // its end drains the queue
        break;
    }
    case IXRECALL_STARTED: {
        IxBusyScope busy(this);
        if (m_pHook)
            m_pHook->OnFrameStarted();
        break;
    }
    default: {
        IxBusyScope busy(this);
        if (m_pHook)
            m_pHook->OnEvent(IXEV_RECALL, code);
        break;
    }
    }
}

int IxKernelFrame::RunModalLoop()
{
    return m_modal.Run(*this);
}

void IxKernelFrame::EndModalLoop(int result)
{
    if (!m_modal.End(result))
        return;
    RemoveLayerAt(m_layers.LastWithPriority(IXLAYER_MODAL));
    m_modal.Wake();
}

// ---------------------------------------------------------------------------
// Caret

void IxKernelFrame::ApplyCaretRequest()
{
    IxCaretRect request;
    if (!m_pKernel || !m_pKernel->TakeCaretRequest(&request))
        return;
    request.x += m_rc.left;
    request.y += m_rc.top;
    m_caret.Apply(request, GetWindowHandle());
}

void IxKernelFrame::ShowCaret(BOOL on)
{
    m_caret.Show(on, GetWindowHandle());
}

// ---------------------------------------------------------------------------
// Window notices turned into actions

void IxKernelFrame::NotifyDevice(int kind, int device)
{
    Notify(IXA_DEVICENOTICE, kind, device);
}

void IxKernelFrame::NotifyDeviceAlias(int kind, int alias)
{
    Notify(IXA_ALIASNOTICE, kind, alias);
}

void IxKernelFrame::NotifyDeviceCheck(int kind, int device)
{
    Notify(IXA_FORCENOTICE, kind, device);
}

void IxKernelFrame::DeliverWithArgs(int id, LPARAM a, LPARAM b, LPARAM c)
{
    LPARAM args[3] = {a, b, c};
    IxBusyScope busy(this);
    Deliver(IxActionWord(id, AEV_ARGS), reinterpret_cast<LPARAM>(args));
}

void IxKernelFrame::ForwardBroadcast(LPARAM a, LPARAM b, LPARAM c)
{
    DeliverWithArgs(IXA_BROADCASTMESSAGE, a, b, c);
}

void IxKernelFrame::OnControlNotice(HWND sender, int code)
{
    // Controls are child windows whose control id is their element id.
    int id = sender ? static_cast<int>(GetWindowLongW(sender, GWL_ID)) : IXA_NOSENDER;
    if (m_nBusy == 0)
        Notify(id, code, reinterpret_cast<LPARAM>(sender));
    else
        PostAction(id, code, reinterpret_cast<LPARAM>(sender));
}

void IxKernelFrame::OnCommand(HWND control, UINT value)
{
    OnControlNotice(control, static_cast<int>(value));
}

void IxKernelFrame::OnCopyData(WPARAM wParam, LPARAM lParam)
{
    LPARAM pair[2] = {static_cast<LPARAM>(wParam), lParam};
    IxBusyScope busy(this);
    Deliver(IxActionWord(IXA_COPYDATA, AEV_DEFAULT), reinterpret_cast<LPARAM>(pair));
}

LRESULT IxKernelFrame::OnNotify(NMHDR* header)
{
    if (header)
        OnControlNotice(header->hwndFrom, static_cast<int>(header->code));
    return 0;
}
