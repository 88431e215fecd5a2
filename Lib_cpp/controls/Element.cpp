#include "Lib_cpp/controls/Element.h"

#include "Lib_cpp/kernel/Kernel.h"
#include "Lib_cpp/kernel/KernelFrame.h"

namespace {

// Notice codes the base element sends.
constexpr int kNoticeClick = 4096;
constexpr int kNoticeOwnEvent = 4103;

// Record of a notice handed at once up the parent chain.
struct IxNoticeRecord {
    DWORD dwWord;
    LPARAM lValue;
};

// Record of event 20: a notice from a descendant.
struct IxChildNoticeEvent {
    DWORD dwWord;
    LPARAM lValue;
    IxElement* pSender;
    IxElement* pOrigin;
    LPARAM lReserved;
};

// Record of events 21 to 24.
struct IxChildDataEvent {
    LPARAM lData;
    IxElement* pSender;
    IxElement* pOrigin;
};

} // namespace

// Reports an element's notice to its owner: at once up the parent chain with
// direct notices, else through the action queue when the element has an id.
static void PostElementNotify(IxElement* element, int id, int code, LPARAM value)
{
    DWORD word = IxActionWord(id, code);
    if (element->HasFlag(IXF_DIRECTNOTIFY)) {
        if (IxElement* parent = element->GetParent()) {
            IxNoticeRecord record{word, value};
            parent->OnChildNotify(1, reinterpret_cast<LPARAM>(&record), element, element);
        }
        return;
    }
    if (element->GetId() >= 1)
        PushGlobalAction(id, code, value);
}

IxElement::IxElement() = default;

IxElement::~IxElement()
{
    if (IxKernel* kernel = IxGetKernel())
        kernel->Forget(this);
}

LRESULT IxElement::OnEvent(int code, LPARAM param)
{
    switch (code) {
    case 5:
    case 33:
        if (HasFlag(IXF_CURRENT))
            PostElementNotify(this, m_nId, kNoticeOwnEvent, code);
        return 1;
    case IXEV_DETACHED: {
        IxKernel* kernel = IxGetKernel();
        if (kernel && kernel->GetFocus() == this)
            kernel->GetFrame()->SetFocus(nullptr);
        return 0;
    }
    case IXEV_LAYERCLOSED:
        m_dwFlags &= ~IXF_OWNSLAYER;
        delete reinterpret_cast<IxElement*>(param);
        return 0;
    case IXEV_HANDBACK:
        delete reinterpret_cast<IxElement*>(param);
        return 0;
    case -3:
        if (HasFlag(IXF_CURRENT))
            PostElementNotify(this, m_nId, kNoticeOwnEvent, -3);
        return 0;
    default:
        return 0;
    }
}

int IxElement::ActionIsInvoked(int, int, LPARAM)
{
    return 0;
}

void IxElement::GetRect(RECT* out) const
{
    if (out)
        *out = m_rc;
}

BOOL IxElement::SetFocus()
{
    IxKernel* kernel = IxGetKernel();
    if (!kernel)
        return FALSE;
    if (kernel->GetFocus() != this)
        kernel->GetFrame()->SetFocus(this);
    return TRUE;
}

int IxElement::NotifyParent(int code, IxElement*)
{
    return m_pParent ? m_pParent->NotifyParent(code, this) : 0;
}

IxElement* IxElement::FindTarget(int inputCode, POINT)
{
    if (inputCode == 35)
        return nullptr;
    if (inputCode == 20 || inputCode == 29)
        return this;
    return HasFlag(IXF_HITCLIENT) ? this : nullptr;
}

int IxElement::OnInput(int code, LPARAM data)
{
    switch (code) {
    case 0:
        if (HasFlag(IXF_DISABLED | IXF_NOINPUT))
            return 0;
        if (HasFlag(IXF_FOCUSONCLICK))
            SetFocus();
        PostElementNotify(this, m_nId, kNoticeClick, 0);
        if (HasFlag(IXF_CURRENT))
            PostElementNotify(this, m_nId, kNoticeOwnEvent, 49);
        return 0;
    case 2:
        if (HasFlag(IXF_CURRENT))
            PostElementNotify(this, m_nId, kNoticeOwnEvent, 50);
        return 0;
    case 9:
    case 20:
    case 22:
        return 1;
    case 16:
        return static_cast<int>(m_dwFlags & IXF_REPEAT);
    case 18:
    case 30:
    case 31:
        return 7;
    case 34: {
        const auto* pt = reinterpret_cast<const POINT*>(data);
        if (pt && pt->x >= 0 && pt->x <= Width() && pt->y >= 0 && pt->y <= Height())
            return 0;
        return 1;
    }
    default:
        return 0;
    }
}

void IxElement::Move(int left, int top, int, int right, int bottom, int, BOOL redraw)
{
    if (redraw)
        Redraw();
    int oldWidth = Width();
    int oldHeight = Height();
    m_rc = RECT{left, top, right, bottom};
    if (Width() != oldWidth || Height() != oldHeight)
        OnEvent(29, 0);
    if (redraw)
        Redraw();
}

void IxElement::Invalidate(int mode, RECT* rect, IxElement*)
{
    if (HasFlag(IXF_HIDDEN | IXF_LAYOUTPENDING)) {
        if (mode == 0)
            return;
        rect = nullptr;
    }
    if (mode == 1) {
        if (!HasFlag(IXF_PENDING))
            m_dwFlags |= IXF_UPDATEPENDING;
        else
            mode = 0;
    } else if (mode > 1) {
        if (HasFlag(IXF_LAYOUTPENDING))
            mode = 0;
        else
            m_dwFlags |= IXF_LAYOUTPENDING;
    }
    if (rect) {
        rect->left += m_rc.left;
        rect->right += m_rc.left;
        rect->top += m_rc.top;
        rect->bottom += m_rc.top;
    }
    if (m_pParent)
        m_pParent->Invalidate(mode, rect, this);
}

void IxElement::Paint(IxPaintRecord* record)
{
    if (!record)
        return;
    RECT saved = record->clip;
    record->clip.left -= m_rc.left;
    record->clip.right -= m_rc.left;
    record->clip.top -= m_rc.top;
    record->clip.bottom -= m_rc.top;
    Draw(record);
    record->clip = saved;
}

int IxElement::Layout(LPARAM)
{
    return 1;
}

int IxElement::Query(int code, LPARAM*)
{
    return code == 3 || code == 4 || code == 6 || code == 7 ? -1 : 0;
}

int IxElement::OnChildNotify(int kind, LPARAM data, IxElement* sender, IxElement* origin)
{
    if (sender && sender != this) {
        LRESULT taken = 0;
        if (kind == 1) {
            const auto* record = reinterpret_cast<const IxNoticeRecord*>(data);
            IxChildNoticeEvent event{record->dwWord, record->lValue, sender, origin, 0};
            taken = OnEvent(20, reinterpret_cast<LPARAM>(&event));
            if (!taken)
                taken = ActionIsInvoked(IxActionId(record->dwWord), IxActionKind(record->dwWord), record->lValue);
        } else if (kind >= 4 && kind <= 7) {
            IxChildDataEvent event{data, sender, origin};
            taken = OnEvent(20 + kind - 3, reinterpret_cast<LPARAM>(&event));
        }
        if (taken)
            return 1;
    }
    return m_pParent ? m_pParent->OnChildNotify(kind, data, this, origin) : 0;
}

void IxElement::SetState(int state, LPARAM param)
{
    switch (state) {
    case 2:
        OnEvent(IXEV_ATTACHED, param);
        m_dwFlags |= IXF_ACTIVE | IXF_RUNNING;
        break;
    case 3:
        if (HasFlag(IXF_RUNNING))
            OnEvent(3, param);
        break;
    case 4:
        if (HasFlag(IXF_RUNNING)) {
            m_dwFlags &= ~IXF_RUNNING;
            OnEvent(4, param);
        }
        break;
    case 5: {
        m_dwFlags &= ~(IXF_ACTIVE | IXF_RUNNING);
        OnEvent(IXEV_DETACHED, param);
        IxKernel* kernel = IxGetKernel();
        if (HasFlag(IXF_OWNSLAYER) && kernel)
            kernel->GetFrame()->RemoveLayersOwnedBy(this);
        if (kernel && kernel->m_pCaptureTarget == this)
            kernel->m_pCaptureTarget = nullptr;
        break;
    }
    default:
        break;
    }
}

LRESULT IxElement::Control(int code, LPARAM a, LPARAM b)
{
    if (code == 20)
        a = reinterpret_cast<LPARAM>(this);
    return m_pParent ? m_pParent->Control(code, a, b) : 0;
}

IxElement* IxElement::FindElement(int kind, int id, IxArray<IxElement*>* out, IxElement* from, IxElement* stop)
{
    if (kind == 1 && m_nId == id) {
        if (!out)
            return this;
        out->Add(this);
    }
    if (this != stop && from && m_pParent)
        return m_pParent->FindElement(kind, id, out, this, stop);
    return nullptr;
}

int IxElement::SetProperty(int, LPARAM)
{
    return 0;
}

int IxElement::OnCreate(const void*)
{
    return 1;
}

void IxElement::SetActive(BOOL on, LPARAM param)
{
    if (on && !HasFlag(IXF_ACTIVE)) {
        if (IxKernel* kernel = IxGetKernel())
            kernel->m_bRepaint = TRUE;
        SetState(1, param);
        SetState(2, param);
    } else if (!on && HasFlag(IXF_ACTIVE)) {
        SetState(5, param);
    }
}

void IxElement::Redraw()
{
    if (HasFlag(IXF_HIDDEN | IXF_LAYOUTPENDING))
        return;
    RECT rc{0, 0, Width(), Height()};
    Invalidate(0, &rc, nullptr);
}

void IxElement::MarkUpdate()
{
    if (HasFlag(IXF_HIDDEN | IXF_LAYOUTPENDING))
        return;
    if (IxKernel* kernel = IxGetKernel()) {
        kernel->m_bDeferredWork = TRUE;
        kernel->m_bUpdateNow = TRUE;
    }
}

// ---------------------------------------------------------------------------
// IxView

IxView::~IxView()
{
    while (IxListNode* node = m_children.PopFront()) {
        IxElement* child = FromNode(node);
        child->SetParent(nullptr);
        delete child;
    }
}

IxElement* IxView::FindElement(int kind, int id, IxArray<IxElement*>* out, IxElement* from, IxElement* stop)
{
    if (kind == 1 && m_nId == id) {
        if (!out)
            return this;
        out->Add(this);
    }
    for (IxListNode* node = m_children.Head(); node; node = node->m_pNext) {
        IxElement* child = FromNode(node);
        if (child == from)
            continue;
        IxElement* found = child->FindElement(kind, id, out, nullptr, child);
        if (found && !out)
            return found;
    }
    if (this != stop && from && m_pParent)
        return m_pParent->FindElement(kind, id, out, this, stop);
    return nullptr;
}

void IxView::SetState(int state, LPARAM param)
{
    auto eachChild = [&](int s) {
        for (IxListNode* node = m_children.Head(); node;) {
            IxListNode* next = node->m_pNext;
            FromNode(node)->SetState(s, param);
            node = next;
        }
    };
    switch (state) {
    case 2:
        IxElement::SetState(2, param);
        eachChild(2);
        OnEvent(2, param);
        break;
    case 5:
        eachChild(5);
        IxElement::SetState(5, param);
        break;
    default:
        IxElement::SetState(state, param);
        eachChild(state);
        break;
    }
}

void IxView::AddChild(IxElement* child)
{
    if (!child)
        return;
    m_children.PushBack(child);
    child->SetParent(this);
    if (HasFlag(IXF_ACTIVE))
        child->SetActive(TRUE, 0);
}

void IxView::RemoveChild(IxElement* child)
{
    if (!child || child->GetParent() != this)
        return;
    if (HasFlag(IXF_ACTIVE) && child->HasFlag(IXF_ACTIVE))
        child->SetActive(FALSE, 0);
    m_children.Remove(child);
    child->SetParent(nullptr);
}
