#include "Lib_cpp/controls/ElementWrapper.h"

#include "Lib_cpp/core/Draw.h"
#include "Lib_cpp/kernel/Kernel.h"

namespace {

// State bits the wrapper and its content share.
constexpr DWORD kMirroredFlags
    = IXF_SELECTED | IXF_CURRENT | IXF_PRESSED | IXF_MARKED | IXF_HIDDEN | IXF_DISABLED | IXF_NOINPUT;

} // namespace

void IxPaintOwned(IxElement* element, IxPaintRecord* record)
{
    if (!element || !record || element->HasFlag(IXF_HIDDEN))
        return;
    RECT rc;
    element->GetRect(&rc);
    if (RectsIntersect(rc, record->clip))
        element->Paint(record);
}

IxElementWrapper::IxElementWrapper(IxElement* content)
{
    if (!content)
        return;
    RECT rc;
    content->GetRect(&rc);
    m_rc = rc;
    m_nId = content->GetId();
    m_dwFlags |= content->GetFlags() & kMirroredFlags;
    content->SetId(0);
    content->SetRectNow(RECT{0, 0, rc.right - rc.left, rc.bottom - rc.top});
    SetContent(content);
}

IxElementWrapper::~IxElementWrapper()
{
    delete m_pContent;
}

void IxElementWrapper::SetContent(IxElement* content)
{
    if (m_pContent == content)
        return;
    delete m_pContent;
    m_pContent = content;
    if (content) {
        content->SetParent(this);
        content->SetFlags(IXF_DIRECTNOTIFY, 0);
    }
}

LRESULT IxElementWrapper::OnEvent(int code, LPARAM param)
{
    IxElement* c = m_pContent;
    if (!c)
        return IxElement::OnEvent(code, param);
    switch (code) {
    case IXEV_HIDDEN:
    case IXEV_SHOWN:
        // The wrapper redraws its own area; the content only follows.
        c->Show(code == IXEV_SHOWN, FALSE);
        return 0;
    case IXEV_VALUE:
        c->SendValue(param);
        return 0;
    case IXEV_UNMARKED:
    case IXEV_MARKED:
        c->SetUnmarked(code == IXEV_UNMARKED, param);
        return 0;
    case IXEV_SIZECHANGED:
        c->SetRect(0, 0, 0, Width(), Height(), 0, FALSE);
        return 0;
    case IXEV_ENABLED:
    case IXEV_DISABLED:
        c->Enable(code == IXEV_ENABLED, param);
        return 0;
    case IXEV_INPUTALLOWED:
    case IXEV_INPUTREFUSED:
        c->SetInputAllowed(code == IXEV_INPUTALLOWED, param);
        return 0;
    case IXEV_SELECTED:
    case IXEV_UNSELECTED:
        c->SetSelected(code == IXEV_SELECTED, param);
        return 0;
    case IXEV_CURRENT:
    case IXEV_NOTCURRENT:
        c->SetCurrent(code == IXEV_CURRENT, param);
        return 0;
    case IXEV_PRESSED:
    case IXEV_RELEASED:
        c->SetPressed(code == IXEV_PRESSED, param);
        return 0;
    default:
        return IxElement::OnEvent(code, param);
    }
}

BOOL IxElementWrapper::SetFocus()
{
    return m_pContent ? m_pContent->SetFocus() : IxElement::SetFocus();
}

IxElement* IxElementWrapper::FindTarget(int inputCode, POINT point)
{
    if (!m_pContent || m_pContent->HasFlag(IXF_HIDDEN | IXF_DISABLED))
        return nullptr;
    RECT rc;
    m_pContent->GetRect(&rc);
    point.x -= rc.left;
    point.y -= rc.top;
    return m_pContent->FindTarget(inputCode, point);
}

int IxElementWrapper::Layout(LPARAM arg)
{
    if (m_pContent && m_pContent->HasFlag(IXF_PENDING))
        m_pContent->ValidateNow(arg);
    return 1;
}

void IxElementWrapper::Draw(IxPaintRecord* record)
{
    IxPaintOwned(m_pContent, record);
}

int IxElementWrapper::Query(int code, LPARAM* out)
{
    return m_pContent ? m_pContent->Query(code, out) : IxElement::Query(code, out);
}

int IxElementWrapper::Repost(const IxNoticeRecord* record)
{
    int code = IxActionKind(record->dwWord);
    IxElementWatch self(this);
    int answer = PostElementNotify(this, m_nId, code, record->lValue);
    if (self.Alive() && code == AEV_CLICK && HasFlag(IXF_INVALIDATEALL))
        IxKernel::MarkUpdateAll(this);
    return answer;
}

int IxElementWrapper::OnChildNotify(int kind, LPARAM data, IxElement* sender, IxElement* origin)
{
    if (kind == IXCN_NOTICE && data && sender == m_pContent && sender)
        return Repost(reinterpret_cast<const IxNoticeRecord*>(data));
    return m_pParent ? m_pParent->OnChildNotify(kind, data, this, origin) : 0;
}

void IxElementWrapper::SetState(int state, LPARAM param)
{
    IxElementWatch self(this);
    if (state == IXSS_BUILD && HasFlag(IXF_CREATEONACTIVATE)) {
        m_dwFlags |= IXF_LAYOUTPENDING;
        OnCreate(nullptr);
        if (!self.Alive())
            return;
        OnEvent(IXEV_BUILT, 0);
        if (!self.Alive())
            return;
    }
    if (state == IXSS_ATTACH) {
        IxElement::SetState(state, param);
        if (self.Alive() && m_pContent)
            m_pContent->SetState(state, param);
        return;
    }
    if (m_pContent)
        m_pContent->SetState(state, param);
    if (!self.Alive())
        return;
    IxElement::SetState(state, param);
    if (self.Alive() && state == IXSS_DETACH && HasFlag(IXF_CREATEONACTIVATE)) {
        OnEvent(IXEV_UNBUILDING, 0);
        if (self.Alive())
            SetContent(nullptr);
    }
}

IxElement* IxElementWrapper::FindElement(int kind, int id, IxArray<IxElement*>* out, IxElement* from, IxElement* stop)
{
    if (kind == IXFIND_ID && m_nId == id) {
        if (!out)
            return this;
        out->Add(this);
    }
    if (IxElement* found = SearchOwned(kind, id, out, from, stop); found && !out)
        return found;
    if (this != stop && from && m_pParent)
        return m_pParent->FindElement(kind, id, out, this, stop);
    return nullptr;
}

IxElement* IxElementWrapper::SearchOwned(int kind, int id, IxArray<IxElement*>* out, IxElement* from, IxElement* stop)
{
    if (!m_pContent || m_pContent == from)
        return nullptr;
    return m_pContent->FindElement(kind, id, out, nullptr, stop);
}

int IxElementWrapper::SetProperty(int id, LPARAM value)
{
    return m_pContent ? m_pContent->SetProperty(id, value) : 0;
}

int IxElementWrapper::OnCreate(const IxElementParams* params)
{
    if (!params || !m_pContent)
        return 1;
    IxElementParams record = *params;
    record.nId = 0;
    record.x = 0;
    record.y = 0;
    record.dwFlags |= IXF_DIRECTNOTIFY;
    return m_pContent->Create(&record);
}
