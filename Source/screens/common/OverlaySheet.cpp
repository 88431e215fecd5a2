#include "Source/screens/common/OverlaySheet.h"

#include "Lib_cpp/controls/ElementApi.h"
#include "Lib_cpp/core/Draw.h"
#include "Source/screens/common/SheetCodes.h"
#include "platform/base/Rect.h"

COverlaySheet::COverlaySheet(int autoHide) : m_nAutoHide(autoHide)
{
    m_filter[0] = IxActionWord(ACMD_OVERLAYSHOW, 0);
    // A hold (value on or off) comes as the sheets' indicator event.
    m_filter[1] = IxActionWord(IXA_INDICATOREVENT, 0);
    m_filter[2] = 0;
}

LRESULT COverlaySheet::OnEvent(int code, LPARAM param)
{
    IxKernel* kernel = IxGetKernel();
    switch (code) {
    case IXEV_ATTACHED:
        GetRect(&m_rcHome);
        if (kernel)
            kernel->AddListener(m_filter, this);
        break;
    case IXEV_DETACHED:
        if (kernel)
            kernel->RemoveListener(m_filter, this);
        KillElementTimer(this, 0);
        break;
    case IXEV_TIMER:
        if (static_cast<UINT_PTR>(param) == AutoHideTimerId()) {
            ShowLayer(FALSE);
            return 1;
        }
        break;
    default:
        break;
    }
    return IxFrameView::OnEvent(code, param);
}

int COverlaySheet::ActionIsInvoked(int code, int kind, LPARAM param)
{
    if (kind != AEV_DEFAULT)
        return 0;
    if (code == ACMD_OVERLAYSHOW) {
        if (m_bEnabled)
            ShowLayer(TRUE);
        return 0;
    }
    if (code != IXA_INDICATOREVENT)
        return 0;
    const int page = m_pActivePage ? m_pActivePage->GetId() : 0;
    if (!AcceptsPage(m_nLastAt, page, m_nLastExtra))
        return 0;
    if (param) {
        ++m_nHold;
        KillElementTimer(this, AutoHideTimerId());
        if (m_bEnabled)
            ShowLayer(TRUE);
    } else if (m_nHold > 0 && --m_nHold == 0 && m_nAutoHide > 0 && IsShown()) {
        SetElementTimer(this, AutoHideTimerId(), m_nAutoHide);
    }
    return 0;
}

void COverlaySheet::Draw(IxPaintRecord* record)
{
    if (m_bHiddenForNaviFirst || (m_nHomeX == 0 && m_nHomeY == 0)) {
        IxFrameView::Draw(record);
        return;
    }
    IxOriginShift shift(*record->dc, &record->clip, m_nHomeX, m_nHomeY);
    IxFrameView::Draw(record);
}

BOOL COverlaySheet::AcceptsPage(int, int page, int) const
{
    return page != 0;
}

BOOL COverlaySheet::OsdBarAcceptsPage(int at, int page, int extra)
{
    return at != OVC_START && at != OVC_BACK && page != 0 && extra != OVC_MOVIEVIEW;
}

RECT COverlaySheet::VisibleArea() const
{
    RECT area{0, 0, 0, 0};
    auto* page = dynamic_cast<IxView*>(m_pActivePage);
    if (!page || page->HasFlag(IXF_HIDDEN))
        return area;
    RECT origin{0, 0, 0, 0};
    page->GetRect(&origin);
    for (IxListNode* node = page->Children().Head(); node; node = node->m_pNext) {
        IxElement* child = FromNode(node);
        if (child->HasFlag(IXF_HIDDEN))
            continue;
        RECT rc{0, 0, 0, 0};
        child->GetRect(&rc);
        rc.left += origin.left;
        rc.right += origin.left;
        rc.top += origin.top;
        rc.bottom += origin.top;
        if (rc.right <= rc.left || rc.bottom <= rc.top)
            continue;
        area = platform::IsEmpty(area) ? rc : platform::Union(area, rc);
    }
    return area;
}

void COverlaySheet::SetPage(int at, int page, int extra)
{
    IxElementWatch self(this);
    if (page == 0 || !SetActivePageById(page, TRUE, TRUE))
        SetActivePage(nullptr, TRUE, TRUE);
    if (!self.Alive())
        return;
    m_nLastAt = at;
    m_nLastExtra = extra;
    const RECT area = VisibleArea();
    const BOOL show = AcceptsPage(at, page, extra) && !platform::IsEmpty(area);
    ShowLayer(show);
    m_rcVisible = area;
}

void COverlaySheet::ShowLayer(BOOL on)
{
    if (on && m_nAutoHide > 0 && m_nHold == 0)
        SetElementTimer(this, AutoHideTimerId(), m_nAutoHide);
    else if (!on)
        KillElementTimer(this, AutoHideTimerId());
    // A hold keeps the layer up; it never keeps it from coming up.
    if (m_bHiddenForNaviFirst || (!on && m_nHold > 0) || (on != FALSE) == IsShown())
        return;
    IxElementWatch self(this);
    Show(on, TRUE);
    if (self.Alive())
        IxBroadcast(on ? ACMD_OSDSHOWN : ACMD_OSDHIDDEN, AEV_DEFAULT, m_nId);
}

void COverlaySheet::Disable()
{
    if (!m_bEnabled)
        return;
    IxElementWatch self(this);
    SetActivePage(nullptr, TRUE, TRUE);
    if (!self.Alive())
        return;
    m_nHold = 0;
    ShowLayer(FALSE);
    m_bEnabled = FALSE;
}
