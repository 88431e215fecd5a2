#include "Lib_cpp/controls/Element.h"

#include "Lib_cpp/controls/ElementApi.h"
#include "Lib_cpp/controls/View.h"
#include "Lib_cpp/core/Draw.h"
#include "Lib_cpp/image/Image.h"
#include "Lib_cpp/kernel/Kernel.h"

#include <atomic>
#include <new>
#include <utility>

namespace {

// Changes one flag bit when it differs and sends the event of the new state.
void ChangeFlag(IxElement* element, DWORD bit, bool set, int eventSet, int eventClear, LPARAM param)
{
    if (element->HasFlag(bit) == set)
        return;
    element->SetFlags(set ? bit : 0, set ? 0 : bit);
    element->OnEvent(set ? eventSet : eventClear, param);
}

} // namespace

int PostElementNotify(IxElement* element, int id, int code, LPARAM value)
{
    if (!element)
        return 0;
    DWORD word = IxActionWord(id, code);
    if (element->HasFlag(IXF_DIRECTNOTIFY)) {
        IxElement* parent = element->GetParent();
        if (!parent)
            return 0;
        IxNoticeRecord record{word, value};
        return parent->OnChildNotify(IXCN_NOTICE, reinterpret_cast<LPARAM>(&record), element, element);
    }
    if (element->GetId() < 1)
        return 0;
    return PushGlobalAction(id, code, value) ? 1 : 0;
}

// ---------------------------------------------------------------------------
// IxElementParams

void IxElementParams::Clear()
{
    nId = 0;
    dwFlags = 0;
    x = y = nWidth = nHeight = 0;
    nContentKind = 0;
    nContentLength = 0;
}

void IxElementParams::Set(int left, int top, int width, int height, int id, DWORD flags)
{
    x = left;
    y = top;
    nWidth = width;
    nHeight = height;
    nId = id;
    dwFlags = flags;
}

// ---------------------------------------------------------------------------
// IxElementWatch

// Watches live on the stack and always unlink themselves in their
// destructor; GCC cannot see that through the inlined constructor.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdangling-pointer"
IxElementWatch::IxElementWatch(IxElement* element) : m_pElement(element)
{
    if (m_pElement) {
        m_pNext = m_pElement->m_pWatches;
        m_pElement->m_pWatches = this;
    }
}
#pragma GCC diagnostic pop

IxElementWatch::~IxElementWatch()
{
    if (!m_pElement)
        return;
    for (IxElementWatch** link = &m_pElement->m_pWatches; *link; link = &(*link)->m_pNext) {
        if (*link == this) {
            *link = m_pNext;
            break;
        }
    }
}

// ---------------------------------------------------------------------------
// IxElement: virtual operations

// ---------------------------------------------------------------------------
// IxElementRef

struct IxElementRef::Link {
    std::atomic<int> nRefs{1};
    IxElement* pElement;
};

IxElementRef::IxElementRef(IxElement* element)
{
    if (!element)
        return;
    if (!element->m_pLink) {
        element->m_pLink = new (std::nothrow) Link{{1}, element}; // the element's own reference
        if (!element->m_pLink)
            return;
    }
    m_pLink = element->m_pLink;
    m_pLink->nRefs.fetch_add(1, std::memory_order_relaxed);
}

IxElementRef::IxElementRef(const IxElementRef& other) : m_pLink(other.m_pLink)
{
    if (m_pLink)
        m_pLink->nRefs.fetch_add(1, std::memory_order_relaxed);
}

IxElementRef& IxElementRef::operator=(const IxElementRef& other)
{
    IxElementRef copy(other);
    std::swap(m_pLink, copy.m_pLink);
    return *this;
}

IxElementRef::~IxElementRef()
{
    if (m_pLink && m_pLink->nRefs.fetch_sub(1, std::memory_order_acq_rel) == 1)
        delete m_pLink;
}

IxElement* IxElementRef::Get() const
{
    return m_pLink ? m_pLink->pElement : nullptr;
}

LPARAM IxElementRef::Detach()
{
    return reinterpret_cast<LPARAM>(std::exchange(m_pLink, nullptr));
}

IxElementRef IxElementRef::Adopt(LPARAM word)
{
    return IxElementRef(reinterpret_cast<Link*>(word));
}

// ---------------------------------------------------------------------------
// IxElement

IxElement::IxElement() = default;

IxElement::~IxElement()
{
    for (IxElementWatch* watch = m_pWatches; watch; watch = watch->m_pNext)
        watch->m_pElement = nullptr;
    m_pWatches = nullptr;
    if (m_pLink) {
        m_pLink->pElement = nullptr;
        IxElementRef dropOwn(m_pLink); // releases the element's own reference
    }
    if (IxKernel* kernel = IxGetKernel()) {
        kernel->ForgetReceiver(this);
        kernel->ForgetElement(this);
    }
    // A child deleted by someone other than its view (a handler deleting its
    // own element) must not stay linked in the view's list.
    if (auto* view = dynamic_cast<IxView*>(m_pParent)) {
        view->UnlinkDeleted(this);
    }
}

LRESULT IxElement::OnEvent(int code, LPARAM param)
{
    switch (code) {
    case IXEV_SELECTIONOFFERED:
    case IXEV_RESELECTED:
        if (HasFlag(IXF_CURRENT))
            PostElementNotify(this, m_nId, AEV_OWNEVENT, code);
        return 1;
    case IXEV_DETACHED: {
        IxKernel* kernel = IxGetKernel();
        if (kernel && kernel->GetFocus() == this)
            kernel->Service(IXSVC_FOCUS, nullptr, 0);
        return 0;
    }
    case IXEV_LAYERCLOSED:
        m_dwFlags &= ~IXF_OWNSLAYER;
        delete reinterpret_cast<IxElement*>(param);
        return 0;
    case IXEV_HANDBACK:
        delete reinterpret_cast<IxElement*>(param);
        return 0;
    case IXEV_GESTUREENDED:
        EndGesture();
        if (HasFlag(IXF_CURRENT))
            PostElementNotify(this, m_nId, AEV_OWNEVENT, IXEV_GESTUREENDED);
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
        kernel->Service(IXSVC_FOCUS, this, 0);
    return TRUE;
}

LRESULT IxElement::NotifyParent(int code, IxElement*)
{
    return m_pParent ? m_pParent->NotifyParent(code, this) : 0;
}

int IxElement::OnKey(int)
{
    return 0;
}

int IxElement::TakeTextInput(const IxTextInput*)
{
    return 0;
}

IxElement* IxElement::FindTarget(int inputCode, POINT)
{
    if (inputCode == IXIN_NOHIT)
        return nullptr;
    if (inputCode == IXIN_DRAGOVER || inputCode == IXIN_SCROLLBY)
        return this;
    return HasFlag(IXF_HITCLIENT) ? this : nullptr;
}

int IxElement::OnInput(int code, LPARAM data)
{
    switch (code) {
    case IXIN_DOWN: {
        if (HasFlag(IXF_DISABLED | IXF_NOINPUT))
            return 0;
        IxElementWatch self(this);
        if (HasFlag(IXF_FOCUSONCLICK))
            SetFocus();
        if (self.Alive())
            PostElementNotify(this, m_nId, AEV_CLICK, 0);
        if (self.Alive() && HasFlag(IXF_CURRENT))
            PostElementNotify(this, m_nId, AEV_OWNEVENT, IXEV_CLICKED);
        return 0;
    }
    case IXIN_REPEAT:
        if (HasFlag(IXF_CURRENT))
            PostElementNotify(this, m_nId, AEV_OWNEVENT, IXEV_REPRESSED);
        return 0;
    case IXIN_MOVE:
    case IXIN_DRAGOVER:
    case IXIN_DRAGLEAVE:
        return 1;
    case IXIN_TAKESREPEAT:
        return static_cast<int>(m_dwFlags & IXF_REPEAT);
    case IXIN_TAP:
    case IXIN_SCROLLENDED:
    case IXIN_FLINGVELOCITY:
        return 7;
    case IXIN_GESTUREGOESON: {
        const auto* pt = reinterpret_cast<const POINT*>(data);
        if (pt && PtInRectInclusive(RECT{0, 0, Width(), Height()}, *pt)) {
            EndGesture();
            return 0;
        }
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
    if (Width() != oldWidth || Height() != oldHeight) {
        IxElementWatch self(this);
        OnEvent(IXEV_SIZECHANGED, 0);
        if (!self.Alive())
            return;
    }
    if (redraw)
        Redraw();
}

void IxElement::Invalidate(int mode, RECT* rect, IxElement*)
{
    if (IsHiddenOrLaidOut()) {
        if (mode == IXINV_REPAINT)
            return;
        rect = nullptr;
    }
    if (mode == IXINV_UPDATE) {
        if (!HasFlag(IXF_PENDING))
            m_dwFlags |= IXF_UPDATEPENDING;
        else
            mode = IXINV_REPAINT;
    } else if (mode > IXINV_UPDATE) {
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
    if (record->dc) {
        IxOriginShift shift(*record->dc, &record->clip, m_rc.left, m_rc.top);
        Draw(record);
        return;
    }
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
        IxElementWatch self(this);
        LRESULT taken = 0;
        if (kind == IXCN_NOTICE && data) {
            const auto* record = reinterpret_cast<const IxNoticeRecord*>(data);
            IxChildNoticeEvent event{record->dwWord, record->lValue, sender, origin, 0};
            taken = OnEvent(IXEV_CHILDNOTICE, reinterpret_cast<LPARAM>(&event));
            if (!taken && self.Alive())
                taken = ActionIsInvoked(IxActionId(record->dwWord), IxActionKind(record->dwWord), record->lValue);
        } else if (kind >= IXCN_DATA4 && kind <= IXCN_DATA7) {
            IxChildDataEvent event{data, sender, origin};
            taken = OnEvent(IXEV_CHILDDATA4 + kind - IXCN_DATA4, reinterpret_cast<LPARAM>(&event));
        }
        // A receiver that deleted itself ends the walk: the notice is spent.
        if (taken || !self.Alive())
            return 1;
    }
    return m_pParent ? m_pParent->OnChildNotify(kind, data, this, origin) : 0;
}

void IxElement::SetState(int state, LPARAM param)
{
    switch (state) {
    case IXSS_ATTACH: {
        IxElementWatch self(this);
        OnEvent(IXEV_ATTACHED, param);
        if (self.Alive())
            m_dwFlags |= IXF_ACTIVE | IXF_RUNNING;
        break;
    }
    case IXSS_RESUME:
        if (HasFlag(IXF_RUNNING))
            OnEvent(IXEV_RESUMED, param);
        break;
    case IXSS_PAUSE:
        if (HasFlag(IXF_RUNNING)) {
            m_dwFlags &= ~IXF_RUNNING;
            OnEvent(IXEV_PAUSED, param);
        }
        break;
    case IXSS_DETACH: {
        m_dwFlags &= ~(IXF_ACTIVE | IXF_RUNNING);
        IxElementWatch self(this);
        OnEvent(IXEV_DETACHED, param);
        if (!self.Alive())
            break;
        IxKernel* kernel = IxGetKernel();
        if (HasFlag(IXF_OWNSLAYER | IXF_GESTURE | IXF_DETACHCHECK)) {
            if (HasFlag(IXF_OWNSLAYER) && kernel)
                kernel->Service(IXSVC_REMOVEOWNED, this, 0);
            EndGesture();
        }
        if (kernel)
            kernel->ReleaseCapture(this);
        break;
    }
    default:
        break;
    }
}

LRESULT IxElement::Control(int code, LPARAM a, LPARAM b)
{
    if (code == IXSVC_SETCURRENTCHILD)
        a = reinterpret_cast<LPARAM>(this);
    return m_pParent ? m_pParent->Control(code, a, b) : 0;
}

IxElement* IxElement::FindElement(int kind, int id, IxArray<IxElement*>* out, IxElement* from, IxElement* stop)
{
    if (kind == IXFIND_ID && m_nId == id) {
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

int IxElement::OnCreate(const IxElementParams*)
{
    return 1;
}

int IxElement::Create(const IxElementParams* params)
{
    if (!params)
        return 0;
    m_nId = params->nId;
    m_dwFlags |= params->dwFlags;
    m_rc = RECT{params->x, params->y, params->x + params->nWidth, params->y + params->nHeight};
    if (HasFlag(IXF_CREATEONACTIVATE))
        return 1;
    return OnCreate(params);
}

// ---------------------------------------------------------------------------
// IxElement: coordinates and alignment

void IxElement::ScreenToLocal(POINT* point) const
{
    if (!point)
        return;
    for (const IxElement* e = this; e->m_pParent; e = e->m_pParent) {
        point->x -= e->m_rc.left;
        point->y -= e->m_rc.top;
    }
}

void IxElement::ScreenToLocalRect(RECT* rect) const
{
    if (!rect)
        return;
    for (const IxElement* e = this; e->m_pParent; e = e->m_pParent) {
        rect->left -= e->m_rc.left;
        rect->right -= e->m_rc.left;
        rect->top -= e->m_rc.top;
        rect->bottom -= e->m_rc.top;
    }
}

IxElement* IxElement::LocalToScreen(POINT* point) const
{
    const IxElement* e = this;
    for (; e->m_pParent; e = e->m_pParent) {
        if (point) {
            point->x += e->m_rc.left;
            point->y += e->m_rc.top;
        }
    }
    return const_cast<IxElement*>(e);
}

IxElement* IxElement::LocalToScreenRect(RECT* rect) const
{
    const IxElement* e = this;
    for (; e->m_pParent; e = e->m_pParent) {
        if (rect) {
            rect->left += e->m_rc.left;
            rect->right += e->m_rc.left;
            rect->top += e->m_rc.top;
            rect->bottom += e->m_rc.top;
        }
    }
    return const_cast<IxElement*>(e);
}

BOOL IxElement::IsAncestorOf(const IxElement* other) const
{
    for (const IxElement* e = other; e; e = e->m_pParent) {
        if (e == this)
            return TRUE;
    }
    return FALSE;
}

void IxElement::GetClientRect(RECT* out) const
{
    if (out)
        *out = RECT{0, 0, Width(), Height()};
}

void IxElement::SetRect(int left, int top, int nearZ, int right, int bottom, int farZ, BOOL redraw)
{
    if (left == m_rc.left && top == m_rc.top && right == m_rc.right && bottom == m_rc.bottom)
        return;
    Move(left, top, nearZ, right, bottom, farZ, HasFlag(IXF_HIDDEN) ? FALSE : redraw);
}

void IxElement::MoveTo(int x, int y, BOOL redraw)
{
    SetRect(x, y, 0, x + Width(), y + Height(), 0, redraw);
}

BOOL IxElement::GetCursorPos(POINT* out)
{
    POINT pt{0, 0};
    LRESULT answer = Control(IXSVC_CURSORPOS, reinterpret_cast<LPARAM>(&pt), 0);
    ScreenToLocal(&pt);
    if (out)
        *out = pt;
    return answer ? TRUE : FALSE;
}

int IxElement::HorizontalOffset(int content, int box) const
{
    int offset = 0;
    if (HasFlag(IXF_HEND))
        offset = box - content;
    else if (HasFlag(IXF_HCENTER))
        offset = (box - content) / 2;
    return offset < 0 ? 0 : offset;
}

int IxElement::VerticalOffset(int content, int box) const
{
    if (HasFlag(IXF_VEND))
        return box - content;
    if (HasFlag(IXF_VCENTER))
        return (box - content) / 2;
    return 0;
}

void IxElement::AlignRect(int contentWidth, int contentHeight, RECT* out) const
{
    if (!out)
        return;
    int x = HorizontalOffset(contentWidth, Width());
    int y = VerticalOffset(contentHeight, Height());
    *out = RECT{x, y, x + contentWidth, y + contentHeight};
}

// ---------------------------------------------------------------------------
// IxElement: state

void IxElement::SetActive(BOOL on, LPARAM param)
{
    if (on && !HasFlag(IXF_ACTIVE)) {
        if (IxKernel* kernel = IxGetKernel())
            kernel->RequestRepaint();
        IxElementWatch self(this);
        SetState(IXSS_BUILD, param);
        if (self.Alive())
            SetState(IXSS_ATTACH, param);
    } else if (!on && HasFlag(IXF_ACTIVE)) {
        SetState(IXSS_DETACH, param);
    }
}

void IxElement::Enable(BOOL enable, LPARAM param)
{
    ChangeFlag(this, IXF_DISABLED, !enable, IXEV_DISABLED, IXEV_ENABLED, param);
}

void IxElement::SetInputAllowed(BOOL allow, LPARAM param)
{
    ChangeFlag(this, IXF_NOINPUT, !allow, IXEV_INPUTREFUSED, IXEV_INPUTALLOWED, param);
}

void IxElement::Show(BOOL show, BOOL repaint)
{
    if (show) {
        if (!HasFlag(IXF_HIDDEN))
            return;
        m_dwFlags &= ~IXF_HIDDEN;
        IxElementWatch self(this);
        OnEvent(IXEV_SHOWN, 0);
        if (repaint && self.Alive())
            Redraw();
    } else {
        if (HasFlag(IXF_HIDDEN))
            return;
        if (repaint)
            Redraw();
        m_dwFlags |= IXF_HIDDEN;
        OnEvent(IXEV_HIDDEN, 0);
    }
}

void IxElement::SetSelected(BOOL on, LPARAM param)
{
    ChangeFlag(this, IXF_SELECTED, on != 0, IXEV_SELECTED, IXEV_UNSELECTED, param);
}

void IxElement::SetCurrent(BOOL on, LPARAM param)
{
    ChangeFlag(this, IXF_CURRENT, on != 0, IXEV_CURRENT, IXEV_NOTCURRENT, param);
}

void IxElement::SetPressed(BOOL on, LPARAM param)
{
    ChangeFlag(this, IXF_PRESSED, on != 0, IXEV_PRESSED, IXEV_RELEASED, param);
}

void IxElement::SetUnmarked(BOOL unmarked, LPARAM param)
{
    ChangeFlag(this, IXF_MARKED, !unmarked, IXEV_MARKED, IXEV_UNMARKED, param);
}

void IxElement::SendValue(LPARAM value)
{
    OnEvent(IXEV_VALUE, value);
}

void IxElement::SetProperties(LPARAM p2, LPARAM p5, LPARAM p3, LPARAM p6, LPARAM p7, LPARAM p4)
{
    const struct {
        int id;
        LPARAM value;
    } props[] = {{IXP_IMAGENORMAL, p2},   {IXP_IMAGEPRESSED, p5},         {IXP_IMAGEDISABLED, p3},
                 {IXP_IMAGESELECTED, p6}, {IXP_IMAGESELECTEDPRESSED, p7}, {IXP_IMAGECURRENT, p4}};
    IxElementWatch self(this);
    for (const auto& prop : props) {
        if (!self.Alive())
            return;
        if (prop.value != -1)
            SetProperty(prop.id, prop.value);
    }
}

LPARAM IxElement::PickStateValue(LPARAM normal, LPARAM pressed, LPARAM disabled, LPARAM selected,
                                 LPARAM selectedPressed, LPARAM current) const
{
    if (HasFlag(IXF_DISABLED | IXF_NOINPUT) && disabled != -1)
        return disabled;
    if (HasFlag(IXF_CURRENT) && current >= 0)
        return current;
    if (HasFlag(IXF_SELECTED)) {
        if (HasFlag(IXF_PRESSED) && selectedPressed != -1)
            return selectedPressed;
        if (selected != -1)
            return selected;
    }
    if (!HasFlag(IXF_PRESSED))
        return normal;
    return pressed != -1 ? pressed : normal;
}

void IxElement::EndGesture()
{
    if (!HasFlag(IXF_GESTURE))
        return;
    m_dwFlags &= ~IXF_GESTURE;
    Control(IXSVC_ENDGESTURE, reinterpret_cast<LPARAM>(this), 0);
}

// ---------------------------------------------------------------------------
// IxElement: image painters

void IxElement::DrawImage(IxPaintRecord* record, IxImage* image) const
{
    if (!record || !image)
        return;
    image->Draw(record->dc, RECT{0, 0, Width(), Height()}, &record->clip);
}

void IxElement::DrawFramed(IxPaintRecord* record, IxImage* innerImage, const RECT& inner, IxImage* border) const
{
    if (!record)
        return;
    const RECT& clip = record->clip;
    int w = Width();
    int h = Height();
    if (border) {
        // The right strip reaches down to h: the corner below the inner
        // rectangle's right end belongs to both the right and bottom strips.
        const RECT strips[] = {
            {0, 0, w, inner.top},
            {inner.right, inner.top, w, h},
            {0, inner.bottom, w, h},
            {0, inner.top, inner.left, inner.bottom},
        };
        for (int i = 0; i < 4; ++i) {
            const RECT& s = strips[i];
            bool empty = i % 2 == 0 ? s.bottom - s.top <= 0 : s.right - s.left <= 0;
            bool overlaps = s.left < clip.right && clip.left < s.right && s.top < clip.bottom && clip.top < s.bottom;
            if (!empty && overlaps)
                border->Draw(record->dc, s, &clip);
        }
    }
    if (innerImage)
        innerImage->Draw(record->dc, inner, &clip);
}

// ---------------------------------------------------------------------------
// IxElement: repaint

void IxElement::Redraw()
{
    if (IsHiddenOrLaidOut())
        return;
    RECT rc{0, 0, Width(), Height()};
    Invalidate(IXINV_REPAINT, &rc, nullptr);
}

void IxElement::InvalidateArea(const RECT* rect, int mode)
{
    if (IsHiddenOrLaidOut()) {
        if (HasFlag(IXF_HIDDEN) && !HasFlag(IXF_PENDING))
            Invalidate(mode, nullptr, nullptr);
        return;
    }
    RECT rc = rect ? *rect : RECT{0, 0, Width(), Height()};
    Invalidate(mode, &rc, nullptr);
}

void IxElement::InvalidateElementRect(const RECT* rect)
{
    if (IsHiddenOrLaidOut() || !rect)
        return;
    RECT rc = *rect;
    Invalidate(IXINV_REPAINT, &rc, nullptr);
}

void IxElement::InvalidateClamped(int mode, RECT* rect, IxElement* origin)
{
    if (!rect) {
        Invalidate(mode, nullptr, origin);
        return;
    }
    if (rect->left < 0)
        rect->left = 0;
    if (rect->top < 0)
        rect->top = 0;
    if (rect->right > Width())
        rect->right = Width();
    if (rect->bottom > Height())
        rect->bottom = Height();
    RECT rc = *rect;
    Invalidate(mode, &rc, origin);
}

void IxElement::MarkUpdate()
{
    if (IsHiddenOrLaidOut())
        return;
    if (IxKernel* kernel = IxGetKernel()) {
        kernel->RequestUpdateNow();
    }
}

int IxElement::ValidateNow(LPARAM arg)
{
    Layout(arg);
    m_dwFlags &= ~IXF_PENDING;
    return 1;
}

// ---------------------------------------------------------------------------
// IxControl

bool IxControl::HitTest(POINT point) const
{
    return PtInRectInclusive(HasFlag(IXF_HITCLIENT) ? RECT{0, 0, Width(), Height()} : m_rcHit, point);
}

IxElement* IxControl::FindTarget(int inputCode, POINT point)
{
    if (HasFlag(IXF_NOTARGET))
        return nullptr;
    if (!HasFlag(IXF_HITCLIENT) && inputCode == IXIN_NOHIT)
        return nullptr;
    return HitTest(point) ? this : nullptr;
}

int IxElement::TrackPressMove(bool inside)
{
    IxElementWatch self(this);
    if (inside && !HasFlag(IXF_PRESSED)) {
        SetPressed(TRUE, TRUE);
        if (self.Alive())
            PostElementNotify(this, m_nId, AEV_REENTERED, 0);
    } else if (!inside && HasFlag(IXF_PRESSED)) {
        SetPressed(FALSE, TRUE);
        if (self.Alive())
            PostElementNotify(this, m_nId, AEV_LEFT, 0);
    }
    return self.Alive() ? 1 : 0;
}

BOOL IxElement::TrackPressRelease()
{
    if (!HasFlag(IXF_PRESSED)) {
        PostElementNotify(this, m_nId, AEV_RELEASEDIDLE, 0);
        return FALSE;
    }
    IxElementWatch self(this);
    SetPressed(FALSE, TRUE);
    if (self.Alive())
        PostElementNotify(this, m_nId, AEV_RELEASEDINSIDE, 0);
    return self.Alive() ? TRUE : FALSE;
}

int IxControl::OnInput(int code, LPARAM data)
{
    IxElementWatch self(this);
    switch (code) {
    case IXIN_DOWN:
        if (HasFlag(IXF_DISABLED | IXF_NOINPUT))
            return 0;
        if (HasFlag(IXF_FOCUSONCLICK))
            SetFocus();
        if (self.Alive())
            SetPressed(TRUE, TRUE);
        if (self.Alive())
            PostElementNotify(this, m_nId, AEV_PRESSED, 0);
        if (self.Alive() && HasFlag(IXF_CLICKONPRESS))
            Click(0, TRUE);
        // A control deleted by its own press is not followed.
        return self.Alive() ? 2 : 0;
    case IXIN_MOVE: {
        const auto* pt = reinterpret_cast<const POINT*>(data);
        return TrackPressMove(pt && HitTest(*pt));
    }
    case IXIN_UP:
        if (TrackPressRelease() && !HasFlag(IXF_CLICKONPRESS))
            Click(0, TRUE);
        return 0;
    case IXIN_TAP:
        if (HasFlag(IXF_PRESSED)) {
            SetPressed(FALSE, TRUE);
            if (self.Alive())
                Click(0, TRUE);
        } else {
            Click(0, FALSE);
        }
        return 0;
    case IXIN_REPEAT:
        PostElementNotify(this, m_nId, AEV_REPEAT, 0);
        return self.Alive() ? IxElement::OnInput(code, data) : 0;
    default:
        return IxElement::OnInput(code, data);
    }
}

void IxControl::Click(LPARAM value, BOOL redraw)
{
    if (redraw)
        MarkUpdate();
    IxElementWatch self(this);
    PostElementNotify(this, m_nId, AEV_CLICK, value);
    if (!self.Alive() || !HasFlag(IXF_INVALIDATEALL))
        return;
    if (IxKernel* kernel = IxGetKernel()) {
        kernel->RequestInvalidateAll();
    }
}
