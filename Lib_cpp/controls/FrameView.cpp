#include "Lib_cpp/controls/FrameView.h"

#include "Lib_cpp/kernel/Kernel.h"

BOOL ArrayContains(const IxArray<IxElement*>* array, IxElement* value)
{
    return array && array->IndexOfValue(value) >= 0;
}

BOOL ArrayRemoveValue(IxArray<IxElement*>* array, IxElement* value)
{
    return array && array->RemoveAt(array->IndexOfValue(value));
}

// ---------------------------------------------------------------------------
// IxFrameView

IxFrameView::~IxFrameView()
{
    DeleteAllPages();
}

void IxFrameView::UnlinkDeleted(IxElement* child)
{
    if (child == m_pActivePage)
        m_pActivePage = nullptr;
    if (m_pages.IndexOf(child) < m_pages.Count())
        m_pages.Remove(child);
    IxView::UnlinkDeleted(child);
}

IxElement* IxFrameView::FindTarget(int inputCode, POINT point)
{
    IxElementWatch self(this);
    if (IxElement* target = ChildTargetAt(inputCode, point))
        return target;
    if (!self.Alive())
        return nullptr;
    if (IxElement* target = TargetIn(m_pActivePage, inputCode, point))
        return target;
    return self.Alive() && HasFlag(IXF_HITCLIENT) ? this : nullptr;
}

int IxFrameView::Layout(LPARAM arg)
{
    IxElementWatch self(this);
    IxView::Layout(arg);
    if (self.Alive() && m_pActivePage && m_pActivePage->HasFlag(IXF_PENDING))
        m_pActivePage->ValidateNow(arg);
    return 1;
}

void IxFrameView::Draw(IxPaintRecord* record)
{
    if (!record)
        return;
    IxElementWatch self(this);
    DrawBackground(record);
    if (m_pActivePage)
        PaintIfVisible(m_pActivePage, record);
    if (self.Alive())
        PaintChildren(record);
}

IxElement* IxFrameView::FindElement(int kind, int id, IxArray<IxElement*>* out, IxElement* from, IxElement* stop)
{
    // The view's own search climbs last; search the active page before it.
    IxElement* found = IxView::FindElement(kind, id, out, from, this);
    if (found && !out)
        return found;
    if (m_pActivePage && m_pActivePage != from) {
        found = m_pActivePage->FindElement(kind, id, out, nullptr, m_pActivePage);
        if (found && !out)
            return found;
    }
    if (this != stop && from && m_pParent)
        return m_pParent->FindElement(kind, id, out, this, stop);
    return nullptr;
}

void IxFrameView::AddPage(IxElement* page)
{
    if (!page)
        return;
    page->SetParent(this);
    m_pages.PushBack(page);
}

void IxFrameView::SetActivePage(IxElement* page, LPARAM onParam, LPARAM offParam)
{
    IxKernel* kernel = IxGetKernel();
    if (!HasFlag(IXF_ACTIVE)) {
        m_pActivePage = page;
        if (kernel)
            kernel->RequestRepaint();
        return;
    }
    IxElementWatch self(this);
    if (m_pActivePage)
        m_pActivePage->SetActive(FALSE, offParam);
    if (!self.Alive())
        return;
    m_pActivePage = page;
    if (page && kernel)
        kernel->RequestRepaint();
    if (page)
        page->SetActive(TRUE, onParam);
    if (self.Alive())
        InvalidateArea(nullptr, IXINV_UPDATE);
}

int IxFrameView::SetActivePageById(int id, LPARAM onParam, LPARAM offParam)
{
    for (IxListNode* node = m_pages.Head(); node; node = node->m_pNext) {
        if (FromNode(node)->GetId() == id) {
            SetActivePage(FromNode(node), onParam, offParam);
            return 1;
        }
    }
    return 0;
}

void IxFrameView::DeleteAllPages()
{
    m_pActivePage = nullptr;
    while (IxListNode* node = m_pages.PopFront()) {
        IxElement* page = FromNode(node);
        page->SetParent(nullptr);
        delete page;
    }
}

void IxFrameView::PassStateDown(int state, LPARAM param)
{
    IxElementWatch self(this);
    if (m_pActivePage)
        m_pActivePage->SetState(state, param);
    if (self.Alive())
        IxView::PassStateDown(state, param);
}

void IxFrameView::DropCreated()
{
    IxView::DropCreated();
    DeleteAllPages();
    m_dwFlags |= IXF_UPDATEPENDING;
}

// ---------------------------------------------------------------------------
// IxWindowView

IxWindowView::~IxWindowView()
{
    while (m_attached.Count() > 0) {
        IxElement* view = m_attached[m_attached.Count() - 1];
        m_attached.RemoveAt(m_attached.Count() - 1);
        view->SetParent(nullptr);
        delete view;
    }
    m_attached.Free();
}

void IxWindowView::UnlinkDeleted(IxElement* child)
{
    ArrayRemoveValue(&m_attached, child);
    IxFrameView::UnlinkDeleted(child);
}

IxElement* IxWindowView::FindTarget(int inputCode, POINT point)
{
    IxElementWatch self(this);
    for (int i = 0; i < m_attached.Count() && self.Alive(); ++i) {
        if (IxElement* target = TargetIn(m_attached[i], inputCode, point))
            return target;
    }
    return self.Alive() ? IxFrameView::FindTarget(inputCode, point) : nullptr;
}

int IxWindowView::Layout(LPARAM arg)
{
    IxElementWatch self(this);
    IxFrameView::Layout(arg);
    // Index walk: a handler may detach or delete attached views.
    for (int i = 0; self.Alive() && i < m_attached.Count(); ++i) {
        if (m_attached[i]->HasFlag(IXF_PENDING))
            m_attached[i]->ValidateNow(arg);
    }
    return 1;
}

void IxWindowView::Draw(IxPaintRecord* record)
{
    if (!record)
        return;
    IxElementWatch self(this);
    IxFrameView::Draw(record);
    for (int i = 0; self.Alive() && i < m_attached.Count(); ++i)
        PaintIfVisible(m_attached[i], record);
}

void IxWindowView::SetState(int state, LPARAM param)
{
    IxElementWatch self(this);
    auto eachAttached = [&]() {
        for (int i = 0; self.Alive() && i < m_attached.Count(); ++i)
            m_attached[i]->SetState(state, param);
    };
    if (state == IXSS_ATTACH) {
        IxFrameView::SetState(IXSS_ATTACH, param);
        eachAttached();
        if (self.Alive())
            OnEvent(IXEV_CHILDRENATTACHED, param);
        return;
    }
    eachAttached();
    if (self.Alive())
        IxFrameView::SetState(state, param);
}

IxElement* IxWindowView::FindElement(int kind, int id, IxArray<IxElement*>* out, IxElement* from, IxElement* stop)
{
    IxElement* found = IxFrameView::FindElement(kind, id, out, from, this);
    if (found && !out)
        return found;
    for (int i = 0; i < m_attached.Count(); ++i) {
        IxElement* view = m_attached[i];
        if (view == from)
            continue;
        found = view->FindElement(kind, id, out, nullptr, view);
        if (found && !out)
            return found;
    }
    if (this != stop && from && m_pParent)
        return m_pParent->FindElement(kind, id, out, this, stop);
    return nullptr;
}

BOOL IxWindowView::AttachView(IxElement* view)
{
    if (!view)
        return FALSE;
    // The parent is set only once the view is really attached, so a failed
    // attach leaves no view pointing at a parent that does not know it.
    if (!m_attached.Add(view))
        return FALSE;
    view->SetParent(this);
    if (HasFlag(IXF_ACTIVE)) {
        IxElementWatch self(this);
        view->SetActive(TRUE, 0);
        if (self.Alive() && !HasFlag(IXF_LAYOUTPENDING))
            InvalidateArea(nullptr, IXINV_UPDATE);
    }
    return TRUE;
}

void IxWindowView::DetachView(IxElement* view)
{
    if (!ArrayRemoveValue(&m_attached, view))
        return;
    IxElementWatch watch(view);
    view->SetActive(FALSE, 0);
    if (watch.Alive())
        view->SetParent(nullptr);
}
