#include "Lib_cpp/controls/ItemDrag.h"

#include "platform/base/Rect.h"

void IxDropHover::Set(IxElement* item)
{
    if (item == m_pItem)
        return;
    if (m_pItem && !m_bWasCurrent)
        m_pItem->SetCurrent(FALSE, TRUE);
    m_pItem = item;
    m_bWasCurrent = item && item->HasFlag(IXF_CURRENT);
    if (item && !m_bWasCurrent)
        item->SetCurrent(TRUE, TRUE);
}

void IxDragAutoScroll::Stop(IxElement* owner)
{
    if (m_bRunning)
        KillElementTimer(owner, TimerId());
    m_bRunning = FALSE;
    m_nDirection = 0;
}

BOOL IxDragAutoScroll::InInnerArea(const IxElement* owner, int edgeWidth, int edgeHeight, POINT point)
{
    const RECT inner{edgeWidth, edgeHeight, owner->Width() - edgeWidth, owner->Height() - edgeHeight};
    return platform::RectContains(inner, point) ? TRUE : FALSE;
}
