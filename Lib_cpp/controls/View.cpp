#include "Lib_cpp/controls/View.h"

#include "Lib_cpp/controls/ElementApi.h"
#include "Lib_cpp/core/Draw.h"
#include "Lib_cpp/image/Image.h"
#include "Lib_cpp/kernel/Kernel.h"

IxView::~IxView()
{
    DeleteAllChildren();
    if (m_pBackground)
        m_pBackground->Release();
}

LRESULT IxView::OnEvent(int code, LPARAM param)
{
    if (m_pBackground && code >= IXEV_ENABLED && code <= IXEV_RELEASED)
        SetImageFrame(this, m_pBackground, PickStateFrame(this, m_pBackground, FALSE), param != 0);
    return IxElement::OnEvent(code, param);
}

void IxView::UnlinkDeleted(IxElement* child)
{
    if (m_children.IndexOf(child) < m_children.Count())
        m_children.Remove(child);
}

IxElement* IxView::TargetIn(IxElement* element, int inputCode, POINT point)
{
    if (!element || element->HasFlag(IXF_HIDDEN | IXF_DISABLED))
        return nullptr;
    RECT rc;
    element->GetRect(&rc);
    if (!PtInRectInclusive(rc, point))
        return nullptr;
    point.x -= rc.left;
    point.y -= rc.top;
    return element->FindTarget(inputCode, point);
}

IxElement* IxView::ChildTargetAt(int inputCode, POINT point)
{
    IxElementWatch self(this);
    for (IxListNode* node = m_children.Tail(); node && self.Alive();) {
        IxElement* prev = node->m_pPrev ? FromNode(node->m_pPrev) : nullptr;
        IxElementWatch prevWatch(prev);
        if (IxElement* target = TargetIn(FromNode(node), inputCode, point))
            return target;
        if (!prevWatch.Alive())
            break;
        node = prev;
    }
    return nullptr;
}

IxElement* IxView::ChildAt(POINT point) const
{
    for (IxListNode* node = m_children.Tail(); node; node = node->m_pPrev) {
        RECT rc;
        FromNode(node)->GetRect(&rc);
        if (PtInRectInclusive(rc, point))
            return FromNode(node);
    }
    return nullptr;
}

IxElement* IxView::FindTarget(int inputCode, POINT point)
{
    if (IxElement* target = ChildTargetAt(inputCode, point))
        return target;
    return HasFlag(IXF_HITCLIENT) ? this : nullptr;
}

int IxView::OnInput(int code, LPARAM data)
{
    if (code == IXIN_TAP && data) {
        POINT point = *reinterpret_cast<POINT*>(data);
        IxElementWatch self(this);
        IxElement* target = ChildTargetAt(IXIN_TAP, point);
        if (target && self.Alive() && target != this && !target->HasFlag(IXF_HIDDEN | IXF_DISABLED)) {
            // Into the target's coordinates: subtract each origin up to this view.
            for (const IxElement* e = target; e && e != this; e = e->GetParent()) {
                RECT rc;
                e->GetRect(&rc);
                point.x -= rc.left;
                point.y -= rc.top;
            }
            if (target->OnInput(IXIN_TAP, reinterpret_cast<LPARAM>(&point)) == 0)
                return 0;
            if (!self.Alive())
                return 0;
        }
    }
    return IxElement::OnInput(code, data);
}

void IxView::Invalidate(int mode, RECT* rect, IxElement* origin)
{
    if (mode == IXINV_LAYOUT && rect)
        GetClientRect(rect);
    IxElement::Invalidate(mode, rect, origin);
}

int IxView::Layout(LPARAM arg)
{
    EachChild([&](IxElement* child) {
        if (child->HasFlag(IXF_PENDING))
            child->ValidateNow(arg);
    });
    return 1;
}

void IxView::Draw(IxPaintRecord* record)
{
    DrawBackground(record);
    PaintChildren(record);
}

void IxView::DrawBackground(IxPaintRecord* record)
{
    if (m_pBackground && record)
        DrawImage(record, m_pBackground);
}

void IxView::SetBackground(IxImage* image)
{
    // The new image goes on showing the state the old one showed.
    AssignImageRef(this, &m_pBackground, image);
}

void IxView::PaintIfVisible(IxElement* element, IxPaintRecord* record)
{
    RECT rc;
    element->GetRect(&rc);
    if (!element->HasFlag(IXF_HIDDEN) && RectsIntersect(rc, record->clip))
        element->Paint(record);
}

void IxView::PaintChildren(IxPaintRecord* record)
{
    if (!record)
        return;
    EachChild([&](IxElement* child) { PaintIfVisible(child, record); });
}

void IxView::PaintChildrenCurrentLast(IxPaintRecord* record)
{
    if (!record)
        return;
    IxElement* current = nullptr;
    for (IxListNode* node = m_children.Head(); node; node = node->m_pNext) {
        if (FromNode(node)->HasFlag(IXF_CURRENT))
            current = FromNode(node);
    }
    IxElementWatch currentWatch(current);
    if (EachChild([&](IxElement* child) {
            if (child != current)
                PaintIfVisible(child, record);
        })
        && currentWatch.Alive())
        PaintIfVisible(current, record);
}

int IxView::OnChildNotify(int kind, LPARAM data, IxElement* sender, IxElement* origin)
{
    if (kind == 2 || kind == 3)
        return 0;
    return IxElement::OnChildNotify(kind, data, sender, origin);
}

void IxView::PassStateDown(int state, LPARAM param)
{
    EachChild([&](IxElement* child) { child->SetState(state, param); });
}

void IxView::DropCreated()
{
    DeleteAllChildren();
}

void IxView::SetState(int state, LPARAM param)
{
    // A child's handler may delete that child, a sibling or this view.
    IxElementWatch self(this);
    if (state == IXSS_BUILD && HasFlag(IXF_CREATEONACTIVATE)) {
        m_dwFlags |= IXF_LAYOUTPENDING;
        OnCreate(nullptr);
        if (!self.Alive())
            return;
        OnEvent(IXEV_BUILT, param);
        if (!self.Alive())
            return;
    }
    if (state == IXSS_ATTACH) {
        IxElement::SetState(IXSS_ATTACH, param);
        if (!self.Alive())
            return;
    }
    PassStateDown(state, param);
    if (!self.Alive())
        return;
    if (state == IXSS_ATTACH)
        OnEvent(IXEV_CHILDRENATTACHED, param);
    else
        IxElement::SetState(state, param);
    if (!self.Alive())
        return;
    if (state == IXSS_DETACH && HasFlag(IXF_CREATEONACTIVATE)) {
        OnEvent(IXEV_UNBUILDING, param);
        if (self.Alive())
            DropCreated();
    }
}

LRESULT IxView::Control(int code, LPARAM a, LPARAM b)
{
    if (code == IXSVC_SETCURRENTCHILD) {
        SetCurrentChild(reinterpret_cast<IxElement*>(a));
        return 1;
    }
    return IxElement::Control(code, a, b);
}

IxElement* IxView::FindElement(int kind, int id, IxArray<IxElement*>* out, IxElement* from, IxElement* stop)
{
    if (kind == IXFIND_ID && m_nId == id) {
        if (!out)
            return this;
        out->Add(this);
    }
    for (IxListNode* node = m_children.Head(); node; node = node->m_pNext) {
        IxElement* child = FromNode(node);
        if (child == from)
            continue;
        IxElement* found = child->FindElement(kind, id, out, nullptr, stop ? stop : child);
        if (found && !out)
            return found;
    }
    if (this != stop && from && m_pParent)
        return m_pParent->FindElement(kind, id, out, this, stop);
    return nullptr;
}

int IxView::SetProperty(int id, LPARAM value)
{
    if (id == IXP_BACKGROUND) {
        SetBackground(reinterpret_cast<IxImage*>(value));
        Redraw();
        return 1;
    }
    auto* child = reinterpret_cast<IxElement*>(value);
    if ((id != IXP_TOFRONT && id != IXP_TOBACK) || !child || child->GetParent() != this
        || m_children.IndexOf(child) >= m_children.Count())
        return 0;
    if (id == IXP_TOFRONT) {
        if (m_children.Tail() == child)
            return 0;
        m_children.Remove(child);
        m_children.PushBack(child);
    } else {
        if (m_children.Head() == child)
            return 0;
        m_children.Remove(child);
        m_children.PushFront(child);
    }
    return 1;
}

void IxView::AddChild(IxElement* child)
{
    if (!child)
        return;
    child->SetParent(this);
    m_children.PushBack(child);
    if (HasFlag(IXF_ACTIVE)) {
        IxElementWatch self(this);
        child->SetActive(TRUE, 0);
        if (self.Alive() && !HasFlag(IXF_LAYOUTPENDING))
            InvalidateArea(nullptr, IXINV_UPDATE);
    }
}

void IxView::InsertChildAfter(IxElement* after, IxElement* child, BOOL repaint)
{
    if (!child)
        return;
    child->SetParent(this);
    m_children.InsertAfter(after, child);
    if (HasFlag(IXF_ACTIVE)) {
        IxElementWatch watch(child);
        child->SetActive(TRUE, 0);
        if (repaint && watch.Alive())
            child->Redraw();
    }
}

void IxView::RemoveChild(IxElement* child, BOOL repaint)
{
    if (!child || child->GetParent() != this)
        return;
    if (repaint)
        child->Redraw();
    UnlinkDeleted(child);
    IxElementWatch watch(child);
    if (HasFlag(IXF_ACTIVE) && child->HasFlag(IXF_ACTIVE))
        child->SetActive(FALSE, 0);
    if (watch.Alive()) {
        child->SetParent(nullptr);
        delete child;
    }
}

void IxView::DeleteChild(IxElement* child)
{
    if (!child || child->GetParent() != this)
        return;
    UnlinkDeleted(child);
    child->SetParent(nullptr);
    delete child;
}

void IxView::DeleteAllChildren()
{
    while (IxListNode* node = m_children.PopFront()) {
        IxElement* child = FromNode(node);
        child->SetParent(nullptr);
        delete child;
    }
}

int IxView::MoveChildAfter(IxElement* child, IxElement* after)
{
    if (!child || child == after || (after && after->m_pNext == child) || (!after && m_children.Head() == child))
        return 0;
    m_children.Remove(child);
    m_children.InsertAfter(after, child);
    return 1;
}

IxElement* IxView::FindChildDeep(int id)
{
    for (IxListNode* node = m_children.Head(); node; node = node->m_pNext) {
        IxElement* child = FromNode(node);
        if (child->FindElement(IXFIND_ID, id, nullptr, nullptr, child))
            return child;
    }
    return nullptr;
}

void IxView::SetChildrenState(int state, LPARAM param)
{
    EachChild([&](IxElement* child) { child->SetState(state, param); });
}

void IxView::SetChainVisible(IxElement* first, BOOL show, BOOL repaint)
{
    for (IxListNode* node = first; node;) {
        IxElement* next = node->m_pNext ? FromNode(node->m_pNext) : nullptr;
        IxElementWatch nextWatch(next);
        FromNode(node)->Show(show, repaint);
        if (!nextWatch.Alive())
            break;
        node = next;
    }
}

IxElement* IxView::FindInChain(IxElement* first, int id)
{
    for (IxListNode* node = first; node; node = node->m_pNext) {
        if (FromNode(node)->GetId() == id)
            return FromNode(node);
    }
    return nullptr;
}

void IxView::SelectAllChildren(BOOL on, LPARAM repaint)
{
    EachChild([&](IxElement* child) {
        if (!child->HasFlag(IXF_DISABLED))
            child->SetSelected(on, repaint);
    });
}

namespace {

template <class F> int IndexWhere(const IxList& list, F test)
{
    int i = 0;
    for (IxListNode* node = list.Head(); node; node = node->m_pNext, ++i) {
        if (test(IxElement::FromNode(node)))
            return i;
    }
    return -1;
}

} // namespace

int IxView::CountSelected() const
{
    int n = 0;
    for (IxListNode* node = m_children.Head(); node; node = node->m_pNext)
        n += FromNode(node)->HasFlag(IXF_SELECTED) ? 1 : 0;
    return n;
}

int IxView::IndexOfFirstSelected() const
{
    return IndexWhere(m_children, [](IxElement* e) { return e->HasFlag(IXF_SELECTED); });
}

int IxView::IndexOfFirstCurrent() const
{
    return IndexWhere(m_children, [](IxElement* e) { return e->HasFlag(IXF_CURRENT); });
}

int IxView::IndexOfId(int id) const
{
    return IndexWhere(m_children, [id](IxElement* e) { return e->GetId() == id; });
}

IxElement* IxView::FirstSelectedChild() const
{
    return FromNode(m_children.At(IndexOfFirstSelected()));
}

IxElement* IxView::FirstCurrentChild() const
{
    return FromNode(m_children.At(IndexOfFirstCurrent()));
}

void IxView::SelectedIndexes(IxArray<int>* out) const
{
    int i = 0;
    for (IxListNode* node = m_children.Head(); node && out; node = node->m_pNext, ++i) {
        if (FromNode(node)->HasFlag(IXF_SELECTED))
            out->Add(i);
    }
}

void IxView::SelectedChildren(IxArray<IxElement*>* out) const
{
    for (IxListNode* node = m_children.Head(); node && out; node = node->m_pNext) {
        if (FromNode(node)->HasFlag(IXF_SELECTED))
            out->Add(FromNode(node));
    }
}

void IxView::ClickChild(IxElement* child, int base)
{
    if (!child)
        return;
    if (base >= 0) {
        PostElementNotify(this, m_nId, AEV_CLICK, m_children.IndexOf(child) + base);
    } else if (child->GetId() > 0) {
        if (IxKernel* kernel = IxGetKernel())
            kernel->PostAction(child->GetId(), AEV_CLICK, 0);
    }
}

void IxView::ClickChildAt(POINT point, int base)
{
    IxElement* child = ChildAt(point);
    if (child && !child->HasFlag(IXF_HIDDEN | IXF_DISABLED))
        ClickChild(child, base);
}

void IxView::SelectChild(IxElement* child, BOOL toggle)
{
    if (!child)
        return;
    IxElementWatch self(this);
    bool changed = false;
    if (toggle) {
        child->SetSelected(!child->HasFlag(IXF_SELECTED), 0);
        changed = true;
    } else {
        if (!child->HasFlag(IXF_SELECTED)) {
            child->SetSelected(TRUE, 0);
            changed = true;
        }
        EachChild([&](IxElement* other) {
            if (other != child && other->HasFlag(IXF_SELECTED)) {
                other->SetSelected(FALSE, 0);
                changed = true;
            }
        });
    }
    if (changed && self.Alive() && OnEvent(IXEV_SELECTIONCHANGED, -1) == 0 && self.Alive())
        PostElementNotify(this, m_nId, AEV_SELECTIONCHANGED, 0);
}

void IxView::SelectOrClick(IxElement* child, int base, BOOL toggle)
{
    if (!child)
        return;
    if (!toggle && child->HasFlag(IXF_SELECTED) && !child->HasFlag(IXF_CLICKONPRESS)) {
        IxElementWatch self(this);
        IxElementWatch watch(child);
        OnEvent(IXEV_RESELECTED, base >= 0 ? m_children.IndexOf(child) + base : child->GetId());
        if (self.Alive() && watch.Alive())
            ClickChild(child, base);
        return;
    }
    SelectChild(child, toggle);
}

void IxView::SelectOrClickAt(POINT point, int base, BOOL toggle)
{
    IxElement* child = ChildAt(point);
    if (child && !child->HasFlag(IXF_HIDDEN | IXF_DISABLED))
        SelectOrClick(child, base, toggle);
}

void IxView::SelectChildById(int id, BOOL toggle)
{
    IxElement* head = m_children.Head() ? FromNode(m_children.Head()) : nullptr;
    SelectChild(FindInChain(head, id), toggle);
}

void IxView::SetCurrentChild(IxElement* child)
{
    IxElementWatch self(this);
    bool changed = false;
    for (IxListNode* node = m_children.Head(); node; node = node->m_pNext) {
        IxElement* other = FromNode(node);
        if (other != child && other->HasFlag(IXF_CURRENT)) {
            other->SetFlags(0, IXF_CURRENT);
            changed = true;
        }
    }
    if (child && !child->HasFlag(IXF_CURRENT)) {
        child->SetFlags(IXF_CURRENT, 0);
        changed = true;
    }
    if (changed && OnEvent(IXEV_CURRENTCHANGED, -1) == 0 && self.Alive())
        PostElementNotify(this, m_nId, AEV_CURRENTCHANGED, 0);
}
