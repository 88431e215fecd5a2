#include "Lib_cpp/controls/ItemContainerView.h"

#include "Lib_cpp/controls/ElementApi.h"
#include "Lib_cpp/controls/ElementCodes.h"
#include "Lib_cpp/controls/ListView.h"
#include "Lib_cpp/controls/PressWrapper.h"
#include "Lib_cpp/controls/StateButton.h"
#include "Lib_cpp/controls/TextListWrapper.h"
#include "Lib_cpp/core/Draw.h"
#include "Lib_cpp/image/Image.h"
#include "platform/base/Rect.h"

#include <algorithm>
#include <new>

namespace {

bool IsClickCode(int code)
{
    return code == AEV_CLICK || code == AEV_SHORTPRESS || code == AEV_LONGPRESS;
}

// Where an index lands when the entry at from moves to to.
int AfterMove(int index, int from, int to)
{
    if (index == from)
        return to;
    if (from < to && index > from && index <= to)
        return index - 1;
    if (from > to && index >= to && index < from)
        return index + 1;
    return index;
}

void SortAscending(IxArray<int>* indices)
{
    std::sort(indices->Data(), indices->Data() + indices->Count());
}

int RepeatPeriod()
{
    IxKernel* kernel = IxGetKernel();
    return kernel ? kernel->GetRepeatPeriod() : 0;
}

void PaintCompanion(IxElement* element, IxPaintRecord* record)
{
    if (!element || element->HasFlag(IXF_HIDDEN))
        return;
    RECT rc;
    element->GetRect(&rc);
    if (RectsIntersect(rc, record->clip))
        element->Paint(record);
}

} // namespace

IxItemContainerView::IxItemContainerView(DWORD style) : m_dwStyle(style) {}

IxItemContainerView::~IxItemContainerView()
{
    delete m_pIndicator;
    delete m_pDetail;
    delete m_pUp;
    delete m_pDown;
}

void IxItemContainerView::AddItemElement(IxElement* element)
{
    if (!element)
        return;
    AddChild(element);
    ++m_nVisible;
}

void IxItemContainerView::SetCompanions(IxElement* indicator, IxElement* detail, IxElement* up, IxElement* down)
{
    IxElement* given[] = {indicator, detail, up, down};
    IxElement** slots[] = {&m_pIndicator, &m_pDetail, &m_pUp, &m_pDown};
    for (int i = 0; i < 4; ++i) {
        if (*slots[i] != given[i])
            delete *slots[i];
        *slots[i] = given[i];
        if (given[i])
            given[i]->SetParent(this);
    }
    if (m_nTop != kTopUnset)
        UpdateCompanions();
}

// ---------------------------------------------------------------------------
// Indices and elements

IxElement* IxItemContainerView::ElementAt(int position) const
{
    IxListNode* node = position >= 0 ? m_children.At(position) : nullptr;
    return node ? FromNode(node) : nullptr;
}

int IxItemContainerView::PositionOf(IxElement* element) const
{
    const int position = m_children.IndexOf(element);
    return position < m_nVisible ? position : -1;
}

IxElement* IxItemContainerView::ElementOf(int index) const
{
    if (index < 0 || m_nTop == kTopUnset || index < m_nTop || index - m_nTop >= m_nVisible)
        return nullptr;
    return ElementAt(index - m_nTop);
}

BOOL IxItemContainerView::IsSelected(int index) const
{
    if (!Multi())
        return index >= 0 && index == m_nSelected;
    for (int i = 0; i < m_selection.Count(); ++i) {
        if (m_selection[i] == index)
            return TRUE;
    }
    return FALSE;
}

BOOL IxItemContainerView::Unselect(int index)
{
    for (int i = 0; i < m_selection.Count(); ++i) {
        if (m_selection[i] == index) {
            m_selection.RemoveAt(i);
            return TRUE;
        }
    }
    return FALSE;
}

void IxItemContainerView::ItemsInserted(int index, int count)
{
    for (int i = 0; i < m_selection.Count(); ++i) {
        if (m_selection[i] >= index)
            m_selection[i] += count;
    }
    if (m_nSelected >= index)
        m_nSelected += count;
    if (m_nCurrent >= index)
        m_nCurrent += count;
    SetCount(m_nCount + count);
}

void IxItemContainerView::ItemRemoved(int index)
{
    Unselect(index);
    for (int i = 0; i < m_selection.Count(); ++i) {
        if (m_selection[i] > index)
            --m_selection[i];
    }
    if (m_nSelected == index)
        m_nSelected = -1;
    else if (m_nSelected > index)
        --m_nSelected;
    if (m_nCurrent == index)
        m_nCurrent = -1;
    else if (m_nCurrent > index)
        --m_nCurrent;
    if (m_nTop != kTopUnset && m_nTop > index)
        --m_nTop;
    SetCount(m_nCount - 1);
}

void IxItemContainerView::ItemMoved(int from, int to)
{
    for (int i = 0; i < m_selection.Count(); ++i)
        m_selection[i] = AfterMove(m_selection[i], from, to);
    if (m_nSelected >= 0)
        m_nSelected = AfterMove(m_nSelected, from, to);
    if (m_nCurrent >= 0)
        m_nCurrent = AfterMove(m_nCurrent, from, to);
}

int IxItemContainerView::StepFrom(int from, int value) const
{
    if (value < IXLI_PREVIOUS)
        return -1;
    if (value != IXLI_NEXT && value != IXLI_PREVIOUS)
        return value;
    if (m_nCount == 0)
        return -1;
    int next = from + (value == IXLI_NEXT ? 1 : -1);
    if (from < 0)
        next = value == IXLI_NEXT ? 0 : m_nCount - 1;
    if (next < 0)
        next = (m_dwStyle & IXICS_WRAP) ? m_nCount - 1 : 0;
    else if (next >= m_nCount)
        next = (m_dwStyle & IXICS_WRAP) ? 0 : m_nCount - 1;
    return next;
}

// ---------------------------------------------------------------------------
// Scrolling

int IxItemContainerView::LimitTop(int index) const
{
    if (m_nCount <= m_nVisible || m_nVisible <= 0)
        return 0;
    int top;
    if (m_dwStyle & IXICS_PAGED) {
        top = (std::max(index, 0) / m_nVisible) * m_nVisible;
        while (top >= m_nCount && top > 0)
            top -= m_nVisible;
    } else {
        top = std::min(index, m_nCount - m_nVisible);
    }
    return std::max(top, 0);
}

BOOL IxItemContainerView::ScrollToTop(int index, BOOL repaint)
{
    const int top = LimitTop(index);
    if (top == m_nTop)
        return FALSE;
    if (HasFlag(IXF_LAYOUTPENDING) || m_nTop == kTopUnset) {
        m_nPendingTop = top;
        return TRUE;
    }
    m_nTop = top;
    Rebind();
    UpdateCompanions();
    if (repaint)
        Invalidate(IXINV_REPAINT, nullptr, this);
    return TRUE;
}

BOOL IxItemContainerView::StepUp()
{
    if (m_nTop == kTopUnset || m_nTop <= 0)
        return FALSE;
    return ScrollToTop(m_nTop - ((m_dwStyle & IXICS_PAGED) ? m_nVisible : 1), TRUE);
}

BOOL IxItemContainerView::StepDown()
{
    if (m_nTop == kTopUnset || m_nCount - m_nTop - m_nVisible < 1)
        return FALSE;
    return ScrollToTop(m_nTop + ((m_dwStyle & IXICS_PAGED) ? m_nVisible : 1), TRUE);
}

int IxItemContainerView::ScrollByItems(int count)
{
    const int top = m_nTop == kTopUnset ? 0 : m_nTop;
    int target = top + count;
    if ((m_dwStyle & IXICS_WRAP) && m_nCount > 0)
        target = ((target % m_nCount) + m_nCount) % m_nCount;
    ScrollToTop(target, TRUE);
    return m_nTop;
}

void IxItemContainerView::Rebind()
{
    if (m_nTop == kTopUnset)
        return;
    const int shown = std::clamp(m_nCount - m_nTop, 0, m_nVisible);
    int position = 0;
    EachChild([&](IxElement* element) {
        if (position >= m_nVisible)
            return;
        const int index = m_nTop + position;
        const bool valid = position < shown;
        BindItem(element, valid ? index : -1);
        element->Enable(valid, 0);
        element->SetSelected(valid && IsSelected(index), 0);
        element->SetCurrent(valid && index == m_nCurrent, 0);
        ++position;
    });
}

void IxItemContainerView::UpdateCompanions()
{
    const int top = m_nTop == kTopUnset ? 0 : m_nTop;
    if (m_pIndicator) {
        int range;
        int position;
        if ((m_dwStyle & IXICS_PAGED) && m_nVisible > 0) {
            const int rounded = (m_nCount + m_nVisible - 1) / m_nVisible * m_nVisible;
            range = rounded / m_nVisible;
            position = top / m_nVisible;
        } else {
            range = std::max(m_nCount - m_nVisible, 0);
            position = top;
        }
        m_pIndicator->SetProperty(
            IXP_INDICATORRANGE,
            static_cast<LPARAM>(static_cast<DWORD>(range & 0xFFFF) | (static_cast<DWORD>(position) << 16)));
    }
    if (m_pUp)
        m_pUp->Enable(top != 0, TRUE);
    if (m_pDown)
        m_pDown->Enable(top < m_nCount - m_nVisible, TRUE);
    if (m_pDetail)
        BindItem(m_pDetail, m_nSelected);
}

void IxItemContainerView::Relayout(BOOL repaint)
{
    if (m_nSelected >= m_nCount)
        m_nSelected = -1;
    if (m_nCurrent >= m_nCount)
        m_nCurrent = -1;
    for (int i = m_selection.Count() - 1; i >= 0; --i) {
        if (m_selection[i] >= m_nCount)
            m_selection.RemoveAt(i);
    }
    int top = m_nTop == kTopUnset ? 0 : m_nTop;
    if (m_dwStyle & IXICS_KEEPINVIEW) {
        const int keep = m_nCurrent >= 0 ? m_nCurrent : m_nSelected;
        if (keep >= 0 && (keep < top || keep >= top + m_nVisible))
            top = keep < top ? keep : keep - m_nVisible + 1;
    }
    if (m_nPendingTop >= 0) {
        top = m_nPendingTop;
        m_nPendingTop = -1;
    }
    m_nTop = LimitTop(top);
    Rebind();
    UpdateCompanions();
    if (repaint)
        Invalidate(IXINV_REPAINT, nullptr, this);
}

// ---------------------------------------------------------------------------
// Current item and selection

BOOL IxItemContainerView::SetCurrentIndex(int index, BOOL keepInView)
{
    if (index < -1 || index >= m_nCount || index == m_nCurrent)
        return FALSE;
    if (IxElement* old = ElementOf(m_nCurrent))
        old->SetCurrent(FALSE, TRUE);
    m_nCurrent = index;
    if (keepInView && index >= 0 && m_nTop != kTopUnset && (index < m_nTop || index >= m_nTop + m_nVisible))
        ScrollToTop((m_dwStyle & IXICS_PAGED) || index < m_nTop ? index : index - m_nVisible + 1, TRUE);
    if (IxElement* element = ElementOf(index))
        element->SetCurrent(TRUE, TRUE);
    return TRUE;
}

BOOL IxItemContainerView::Select(int index, BOOL repaint, BOOL keepInView)
{
    if (index < -1 || index >= m_nCount || index == m_nSelected)
        return FALSE;
    if (IxElement* old = ElementOf(m_nSelected))
        old->SetSelected(FALSE, repaint);
    m_nSelected = index;
    if (keepInView && index >= 0 && m_nTop != kTopUnset && (index < m_nTop || index >= m_nTop + m_nVisible))
        ScrollToTop((m_dwStyle & IXICS_PAGED) || index < m_nTop ? index : index - m_nVisible + 1, repaint);
    if (IxElement* element = ElementOf(index))
        element->SetSelected(TRUE, repaint);
    if (m_pDetail)
        BindItem(m_pDetail, index);
    // The cursor follows the selection.
    SetCurrentIndex(index, FALSE);
    return TRUE;
}

void IxItemContainerView::SelectionNotice(int cause)
{
    IxElementWatch self(this);
    if (!OnEvent(IXEV_SELECTIONCHANGED, Multi() ? -1 : m_nSelected) && self.Alive())
        PostElementNotify(this, m_nId, AEV_SELECTIONCHANGED, cause);
}

void IxItemContainerView::CurrentNotice(int cause)
{
    IxElementWatch self(this);
    if (!OnEvent(IXEV_CURRENTCHANGED, m_nCurrent) && self.Alive())
        PostElementNotify(this, m_nId, AEV_CURRENTCHANGED, cause);
}

void IxItemContainerView::HandleClick(int index, int code)
{
    IxElementWatch self(this);
    PostElementNotify(this, m_nId, AEV_ITEMNOTICE, index);
    if (!self.Alive() || index < 0 || index >= m_nCount)
        return;
    if (Multi()) {
        const BOOL removed = Unselect(index);
        if (!removed)
            m_selection.Add(index);
        if (IxElement* element = ElementOf(index))
            element->SetSelected(!removed, TRUE);
        SelectionNotice(IXIC_CAUSE_CLICK);
        if (self.Alive())
            PostElementNotify(this, m_nId, code, index);
        return;
    }
    const BOOL reportSelectedOnly = (m_dwStyle & IXICS_CLICKSELECTED) != 0;
    if (m_dwStyle & IXICS_NOSELECT) {
        if ((index == m_nSelected) == (reportSelectedOnly != 0))
            PostElementNotify(this, m_nId, code, index);
        return;
    }
    if (Select(index, TRUE, FALSE)) {
        SelectionNotice(IXIC_CAUSE_CLICK);
        if (self.Alive() && !reportSelectedOnly)
            PostElementNotify(this, m_nId, code, m_nSelected);
        return;
    }
    OnEvent(IXEV_RESELECTED, m_nSelected);
    if (self.Alive() && reportSelectedOnly)
        PostElementNotify(this, m_nId, code, m_nSelected);
}

// ---------------------------------------------------------------------------
// Element operations

LRESULT IxItemContainerView::OnEvent(int code, LPARAM param)
{
    if (code == IXEV_DETACHED) {
        m_autoScroll.Stop(this);
    } else if (code == IXEV_TIMER && m_autoScroll.IsTimer(param)) {
        IxElement* hover = m_hover.Get();
        if (m_autoScroll.Tick(this, RepeatPeriod(), [this](int d) { return AutoScrollStep(d); }) && hover) {
            // The rows were rebound with their own states: mark the hover again.
            m_hover.Forget();
            m_hover.Set(hover);
        }
        return 1;
    }
    return IxView::OnEvent(code, param);
}

IxElement* IxItemContainerView::FindTarget(int inputCode, POINT point)
{
    if ((inputCode == IXIN_DRAGOVER || inputCode == IXIN_HOVERQUERY) && (m_dwStyle & IXICS_DROPTARGET))
        return this;
    for (IxElement* companion : {m_pIndicator, m_pDetail, m_pUp, m_pDown}) {
        if (!companion || companion->HasFlag(IXF_DISABLED | IXF_HIDDEN))
            continue;
        RECT rc;
        companion->GetRect(&rc);
        if (!platform::RectContains(rc, point))
            continue;
        if (IxElement* target = companion->FindTarget(inputCode, POINT{point.x - rc.left, point.y - rc.top}))
            return target;
    }
    IxElement* item = IxView::FindTarget(inputCode, point);
    // The list follows presses on its items itself.
    if (item && (m_dwStyle & IXICS_PRESSITEMS) && item != this)
        return this;
    return item ? item : (platform::RectContains(RECT{0, 0, Width(), Height()}, point) ? this : nullptr);
}

IxElement* IxItemContainerView::ItemAt(POINT point) const
{
    IxElement* child = ChildAt(point);
    if (!child || PositionOf(child) < 0 || child->HasFlag(IXF_DISABLED | IXF_HIDDEN))
        return nullptr;
    return child;
}

int IxItemContainerView::OnInput(int code, LPARAM data)
{
    const auto* given = reinterpret_cast<const POINT*>(data);
    const POINT point = given ? *given : POINT{0, 0};
    switch (code) {
    case IXIN_DOWN:
        if (!(m_dwStyle & IXICS_PRESSITEMS))
            break;
        if (HasFlag(IXF_DISABLED | IXF_NOINPUT))
            return 0;
        return PressItem(ItemAt(point));
    case IXIN_UP:
    case IXIN_TAP: {
        if (!(m_dwStyle & IXICS_PRESSITEMS))
            break;
        IxElement* pressed = m_pPressed;
        m_pPressed = nullptr;
        if (!pressed)
            return 7;
        IxElementWatch self(this);
        pressed->SetPressed(FALSE, TRUE);
        // A press that moved away (a drag that did not start) clicks nothing.
        if (!self.Alive() || (code == IXIN_UP && PointerHasMoved()))
            return 0;
        const int index = m_nTop + PositionOf(pressed);
        if (ItemAt(point) != pressed || index >= m_nCount)
            return 7;
        HandleClick(index, AEV_CLICK);
        return 0;
    }
    case IXIN_DRAGSTART:
        return BeginItemDrag(point);
    case IXIN_DRAGOVER:
        DragOver(point);
        return 1;
    case IXIN_DROPQUERY:
        return MayDrop(GetDragImageRect(this, nullptr)) ? 1 : 0;
    case IXIN_DRAGLEAVE:
        return DragLeave(point);
    case IXIN_HOVERQUERY:
        return (m_dwStyle & IXICS_DROPTARGET) && MayDrop(-1) ? 1 : 0;
    case IXIN_DROP:
        return Drop(point);
    case IXIN_DROPACCEPTED:
    case IXIN_DROPREFUSED:
    case IXIN_DROPCANCELLED:
        // Refused (26) is the kernel's "ended with a drop": the target took it.
        DragEnded(code == IXIN_DROPREFUSED);
        return 0;
    default:
        break;
    }
    return IxView::OnInput(code, data);
}

// ---------------------------------------------------------------------------
// Item drag and drop

int IxItemContainerView::PressItem(IxElement* item)
{
    if (!item)
        return 0;
    const int index = m_nTop + PositionOf(item);
    if (index >= m_nCount)
        return 0;
    IxElementWatch self(this);
    const BOOL draggable = (!Multi() || IsSelected(index)) && MayDrag(index);
    if (!self.Alive() || item->GetParent() != this)
        return 0;
    m_pPressed = item;
    item->SetPressed(TRUE, TRUE);
    return draggable ? IXGM_CANDIDATE : IXGM_TRACK;
}

void IxItemContainerView::DraggedIndices(IxArray<int>* out) const
{
    out->RemoveAll();
    if (Multi()) {
        for (int i = 0; i < m_selection.Count(); ++i)
            out->Add(m_selection[i]);
        SortAscending(out);
    } else if (m_nDragged >= 0) {
        out->Add(m_nDragged);
    }
}

int IxItemContainerView::BeginItemDrag(POINT point)
{
    IxElement* item = m_pPressed;
    if (!item || m_nTop == kTopUnset)
        return 0;
    const int index = m_nTop + PositionOf(item);
    if (index >= m_nCount)
        return 0;
    // With single selection the drag carries the pressed item, whether or
    // not it is the selected one.
    m_nDragged = index;
    IxArray<int> dragged;
    DraggedIndices(&dragged);
    IxElement* image = dragged.Count() > 0 ? MakeDragImage(dragged, item) : nullptr;
    if (!image) {
        m_nDragged = -1;
        return 0;
    }
    // The pressed row stays pressed until the drag ends.
    StartDragImage(this, image, point);
    return IXGM_DRAG;
}

int IxItemContainerView::EdgeZoneAt(POINT point) const
{
    if (m_nTop == kTopUnset || m_nVisible <= 0)
        return IXLD_NONE;
    IxElement* item = ItemAt(point);
    const int position = item ? PositionOf(item) : -1;
    if (m_nTop > 0 && (position == 0 || (m_nEdgeHeight > 0 && point.y < m_nEdgeHeight)))
        return IXLD_UP;
    if (m_nCount - m_nTop - m_nVisible >= 1
        && (position == m_nVisible - 1 || (m_nEdgeHeight > 0 && point.y >= Height() - m_nEdgeHeight)))
        return IXLD_DOWN;
    return IXLD_NONE;
}

BOOL IxItemContainerView::AutoScrollStep(int direction)
{
    if (direction == IXLD_UP)
        return StepUp();
    if (direction == IXLD_DOWN)
        return StepDown();
    return FALSE;
}

void IxItemContainerView::DragOver(POINT point)
{
    if (m_dwStyle & IXICS_AUTOSCROLL) {
        const int zone = RepeatPeriod() > 0 ? EdgeZoneAt(point) : IXLD_NONE;
        if (zone != IXLD_NONE) {
            IxElement* hover = m_hover.Get();
            const int before = m_nTop;
            m_autoScroll.Start(this, zone, RepeatPeriod(), [this](int d) { return AutoScrollStep(d); });
            if (hover && m_nTop != before) {
                m_hover.Forget();
                m_hover.Set(hover);
            }
        } else {
            m_autoScroll.Stop(this);
        }
    }
    // The hover follows the pointer over the items that may take the drop.
    IxElement* item = ItemAt(point);
    if (!item || item->HasFlag(IXF_SELECTED | IXF_NOINPUT) || m_nTop + PositionOf(item) >= m_nCount)
        return;
    m_hover.Set(item);
}

int IxItemContainerView::DragLeave(POINT point)
{
    if ((m_dwStyle & IXICS_AUTOSCROLL) && IxDragAutoScroll::InInnerArea(this, m_nEdgeWidth, m_nEdgeHeight, point))
        return 0;
    m_autoScroll.Stop(this);
    m_hover.Set(nullptr);
    return 1;
}

int IxItemContainerView::Drop(POINT point)
{
    m_autoScroll.Stop(this);
    m_hover.Set(nullptr);
    if (m_nTop == kTopUnset)
        return 0;
    IxElementWatch self(this);
    if (!MayDrop(GetDragImageRect(this, nullptr)) || !self.Alive())
        return 0;
    const BOOL fromHere = IsDragSource(this);
    IxElement* item = ItemAt(point);
    int index = item ? m_nTop + PositionOf(item) : -1;
    if (index >= m_nCount)
        index = -1;
    // Items from another list may also land after the last one (on an empty
    // row, or anywhere on an empty list).
    if (index < 0 && !fromHere && platform::RectContains(RECT{0, 0, Width(), Height()}, point))
        index = m_nCount;
    if (index < 0 || !MayDropAt(index) || !self.Alive())
        return 0;
    if (!fromHere) {
        const int inserted = InsertDropped(index, GetDragImage());
        if (!self.Alive())
            return 0;
        if (inserted <= 0)
            return 0; // nothing taken: the source keeps its items
        ItemsInserted(index, inserted);
        Relayout(TRUE);
        return IXGM_DRAG;
    }
    if (MoveDraggedTo(index) && self.Alive()) {
        Rebind();
        if (m_pDetail)
            BindItem(m_pDetail, m_nSelected);
        Invalidate(IXINV_REPAINT, nullptr, this);
        SelectionNotice(IXIC_CAUSE_DROP);
        if (self.Alive())
            PostElementNotify(this, m_nId, AEV_CLICK, Multi() ? -1 : m_nSelected);
    }
    return self.Alive() ? IXGM_DRAG : 0;
}

BOOL IxItemContainerView::MoveDraggedTo(int index)
{
    if (!Multi()) {
        const int from = m_nDragged;
        if (from < 0 || from == index || !MoveData(from, index))
            return FALSE;
        ItemMoved(from, index);
        m_nDragged = index;
        // The moved item is the selected one, and the cursor follows it as
        // it follows every selection.
        m_nSelected = index;
        m_nCurrent = index;
        return TRUE;
    }
    IxArray<int> moving;
    DraggedIndices(&moving);
    BOOL moved = FALSE;
    auto move = [&](int k, int to) {
        const int from = moving[k];
        if (from == to || !MoveData(from, to))
            return;
        ItemMoved(from, to);
        for (int i = k + 1; i < moving.Count(); ++i)
            moving[i] = AfterMove(moving[i], from, to);
        moved = TRUE;
    };
    // The selected items before the drop index go there in ascending order,
    // each pushing the ones before it up; the rest follow after it.
    int next = index + 1;
    for (int k = 0; k < moving.Count(); ++k) {
        if (moving[k] <= index)
            move(k, index);
        else
            move(k, next++);
    }
    return moved;
}

void IxItemContainerView::DragEnded(BOOL dropped)
{
    m_autoScroll.Stop(this);
    m_hover.Set(nullptr);
    IxElementWatch self(this);
    if (dropped && !IsDropOnSource()) {
        IxArray<int> leaving;
        DraggedIndices(&leaving);
        BOOL removed = FALSE;
        for (int i = leaving.Count() - 1; i >= 0 && self.Alive(); --i) {
            if (RemoveData(leaving[i]) && self.Alive()) {
                ItemRemoved(leaving[i]);
                removed = TRUE;
            }
        }
        if (!self.Alive())
            return;
        if (removed) {
            Relayout(TRUE);
            PostElementNotify(this, m_nId, AEV_CLICK, -1);
            if (!self.Alive())
                return;
        }
    }
    m_nDragged = -1;
    if (IxElement* pressed = m_pPressed) {
        m_pPressed = nullptr;
        pressed->SetPressed(FALSE, TRUE);
    }
}

int IxItemContainerView::Layout(LPARAM arg)
{
    if (HasFlag(IXF_LAYOUTPENDING) || m_nTop == kTopUnset)
        Relayout(FALSE);
    const int answer = IxView::Layout(arg);
    for (IxElement* companion : {m_pIndicator, m_pDetail, m_pUp, m_pDown}) {
        if (companion)
            companion->Layout(arg);
    }
    return answer;
}

void IxItemContainerView::Draw(IxPaintRecord* record)
{
    IxView::Draw(record);
    if (!record)
        return;
    for (IxElement* companion : {m_pDetail, m_pUp, m_pDown, m_pIndicator})
        PaintCompanion(companion, record);
}

int IxItemContainerView::Query(int code, LPARAM* out)
{
    switch (code) {
    case IXQ_ITEMCURRENT:
        return m_nCurrent;
    case IXQ_ITEMCOUNT:
        return m_nCount;
    case IXQ_ITEMSELECTION:
        if (Multi()) {
            if (auto* indices = reinterpret_cast<IxArray<int>*>(out)) {
                for (int i = 0; i < m_selection.Count(); ++i)
                    indices->Add(m_selection[i]);
            }
            return m_selection.Count();
        }
        return m_nSelected;
    case IXQ_ITEMTOP:
        return m_nTop == kTopUnset ? 0 : m_nTop;
    default:
        return IxView::Query(code, out);
    }
}

int IxItemContainerView::OnChildNotify(int kind, LPARAM data, IxElement* sender, IxElement* origin)
{
    if (kind != IXCN_NOTICE || !data || !sender)
        return IxView::OnChildNotify(kind, data, sender, origin);
    const auto* record = reinterpret_cast<const IxNoticeRecord*>(data);
    const int code = IxActionKind(record->dwWord);
    if ((sender == m_pUp || sender == m_pDown) && IsClickCode(code)) {
        if (sender == m_pUp)
            StepUp();
        else
            StepDown();
        return 1;
    }
    if (sender == m_pIndicator) {
        ScrollToTop(m_pIndicator->Query(IXQ_INDICATORVALUE, nullptr), TRUE);
        return 1;
    }
    const int position = sender->GetParent() == this ? PositionOf(sender) : -1;
    // Notices of an item's descendants go the usual way (event 20, then
    // ActionIsInvoked).
    if (position < 0 || origin != sender || m_nTop == kTopUnset)
        return IxView::OnChildNotify(kind, data, sender, origin);
    const int index = m_nTop + position;
    if (IsClickCode(code)) {
        HandleClick(index, code);
        return 1;
    }
    if (code == AEV_REPEAT) {
        PostElementNotify(this, m_nId, AEV_REPEAT, index);
        return 1;
    }
    return IxView::OnChildNotify(kind, data, sender, origin);
}

int IxItemContainerView::SetProperty(int id, LPARAM value)
{
    const int v = static_cast<int>(value);
    switch (id) {
    case IXP_ITEMCURRENT:
        if (SetCurrentIndex(StepFrom(m_nCurrent, v), (m_dwStyle & IXICS_KEEPINVIEW) != 0))
            CurrentNotice(IXIC_CAUSE_PROPERTY);
        return 1;
    case IXP_ITEMSELECT:
        if (!Multi()) {
            if (Select(StepFrom(m_nSelected, v), TRUE, (m_dwStyle & IXICS_KEEPINVIEW) != 0))
                SelectionNotice(IXIC_CAUSE_PROPERTY);
            return 1;
        }
        if (v == IXLI_SELECTALL || v == IXLI_CLEARALL) {
            m_selection.RemoveAll();
            if (v == IXLI_SELECTALL) {
                for (int i = 0; i < m_nCount; ++i)
                    m_selection.Add(i);
            }
        } else if (v >= 0 && v < m_nCount && !IsSelected(v)) {
            m_selection.Add(v);
        } else {
            return 1;
        }
        Rebind();
        SelectionNotice(IXIC_CAUSE_PROPERTY);
        Invalidate(IXINV_REPAINT, nullptr, this);
        return 1;
    case IXP_ITEMTOTOP:
        return ScrollToTop(v, TRUE);
    case IXP_ITEMBYITEMS:
        return ScrollByItems(v);
    case IXP_ITEMINDICATOR: {
        auto* indicator = reinterpret_cast<IxElement*>(value);
        SetCompanions(indicator, m_pDetail, m_pUp, m_pDown);
        return 1;
    }
    default:
        return IxView::SetProperty(id, value);
    }
}

// ---------------------------------------------------------------------------
// IxStringListView

IxStringListView::IxStringListView(int rows, int columns, int columnGap, int rowGap, DWORD style, int holdDelay)
    : IxItemContainerView(style), m_nRows(rows), m_nColumns(columns), m_nColumnGap(columnGap), m_nRowGap(rowGap),
      m_nHoldDelay(holdDelay)
{
}

IxStringListView::~IxStringListView()
{
    ReleaseImages();
}

void IxStringListView::ReleaseImages()
{
    for (int i = 0; i < m_images.Count(); ++i) {
        if (m_images[i])
            m_images[i]->Release();
    }
    m_images.RemoveAll();
}

BOOL IxStringListView::CreateItems(const IxStringArray* strings)
{
    const int given = strings ? strings->Count() : 0;
    for (int i = 0; i < given; ++i)
        m_strings.Add(strings->At(i));
    UpdateCount();
    const int rows = m_nRows == 0 ? std::max(given, 1) : std::abs(m_nRows);
    const int columns = m_nColumns == 0 ? std::max(given, 1) : std::abs(m_nColumns);
    const int width = m_nColumns == 0 && given == 0 ? Width() : (Width() - (columns - 1) * m_nColumnGap) / columns;
    const int height = m_nRows == 0 && given == 0 ? Height() : (Height() - (rows - 1) * m_nRowGap) / rows;
    const DWORD flags = (GetFlags() & IXICS_ITEMFLAGS) | IXF_DIRECTNOTIFY;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            auto* button = new (std::nothrow) IxItemButton(1, 1);
            if (!button)
                return FALSE;
            IxElement* item = button;
            if (m_nHoldDelay > 0) {
                auto* wrapper = new (std::nothrow) IxPressWrapper(button, m_nHoldDelay, 0);
                if (!wrapper) {
                    delete button;
                    return FALSE;
                }
                item = wrapper;
            }
            const int x = c * (width + m_nColumnGap);
            const int y = r * (height + m_nRowGap);
            item->SetRectNow(RECT{x, y, x + width, y + height});
            if (item != button)
                button->SetRectNow(RECT{0, 0, width, height});
            item->SetFlags(flags, 0);
            AddItemElement(item);
        }
    }
    return TRUE;
}

int IxStringListView::UpdateCount()
{
    SetCount(std::max(m_strings.Count(), m_images.Count()));
    return m_nCount;
}

void IxStringListView::Reset()
{
    m_nCurrent = -1;
    m_nSelected = -1;
    m_selection.RemoveAll();
    m_nTop = m_nTop == kTopUnset ? kTopUnset : 0;
    m_nPendingTop = -1;
    Relayout(TRUE);
}

void IxStringListView::RemoveAll()
{
    m_strings.RemoveAll();
    ReleaseImages();
    SetCount(0);
    Reset();
}

BOOL IxStringListView::RemoveStringAndImage(int index)
{
    if (index < 0 || index >= m_nCount)
        return FALSE;
    if (index < m_strings.Count())
        m_strings.RemoveAt(index);
    if (index < m_images.Count()) {
        if (m_images[index])
            m_images[index]->Release();
        m_images.RemoveAt(index);
    }
    return TRUE;
}

void IxStringListView::RemoveItem(int index)
{
    if (!RemoveStringAndImage(index))
        return;
    ItemRemoved(index);
    UpdateCount();
}

BOOL IxStringListView::InsertString(int index, const IxString& text)
{
    if (!m_strings.InsertText(index, text.Text()))
        return FALSE;
    if (index < m_images.Count()) {
        IxImage* none = nullptr;
        if (!m_images.Insert(index, &none, 1)) {
            m_strings.RemoveAt(index);
            return FALSE;
        }
    }
    return TRUE;
}

IxElement* IxStringListView::MakeDragImage(const IxArray<int>& indices, IxElement* row)
{
    if (!row || indices.Count() == 0)
        return nullptr;
    IxStringArray strings;
    for (int i = 0; i < indices.Count(); ++i) {
        if (!strings.Add(m_strings.At(indices[i])))
            return nullptr;
    }
    auto* face = new (std::nothrow) IxStateButton(0, 0);
    if (!face)
        return nullptr;
    RECT rc;
    row->GetRect(&rc);
    face->SetRectNow(rc);
    // The look of the pressed row's text: its font and text rectangle.
    auto* wrapper = dynamic_cast<IxElementWrapper*>(row);
    if (const auto* button = dynamic_cast<const IxStateButton*>(wrapper ? wrapper->GetContent() : row)) {
        const RECT& text = button->GetTextRect();
        RECT given{text.left, text.top, text.right - text.left, text.bottom - text.top};
        face->SetProperty(IXP_TEXTRECT, reinterpret_cast<LPARAM>(&given));
        face->SetProperty(IXP_FONT, button->GetFont());
    }
    IxString first = strings.At(0);
    face->SetProperty(IXP_TEXTLATER, reinterpret_cast<LPARAM>(&first));
    auto* image = new (std::nothrow) IxTextListWrapper(face, &strings);
    if (!image)
        delete face;
    return image;
}

BOOL IxStringListView::MoveData(int from, int to)
{
    if (from < 0 || from >= m_nCount || to < 0 || to >= m_nCount)
        return FALSE;
    // Items without an image of their own get none, so that the images
    // move with their strings.
    if (m_images.Count() > 0 && m_images.Count() < m_nCount) {
        if (!m_images.InsertGap(m_images.Count(), m_nCount - m_images.Count()))
            return FALSE;
    }
    if (m_strings.Count() < m_nCount && !m_strings.SetAt(m_nCount - 1, IxString()))
        return FALSE;
    m_strings.MoveEntry(from, to);
    m_images.MoveEntry(from, to);
    return TRUE;
}

int IxStringListView::InsertDropped(int index, IxElement* dragged)
{
    if (!dragged || m_nCount != m_strings.Count() || index < 0 || index > m_nCount)
        return 0;
    IxStringArray strings;
    dragged->Query(IXQ_STRINGS, reinterpret_cast<LPARAM*>(&strings));
    int inserted = 0;
    while (inserted < strings.Count() && InsertString(index + inserted, strings.At(inserted)))
        ++inserted;
    return inserted;
}

BOOL IxStringListView::RemoveData(int index)
{
    return m_nCount == m_strings.Count() && RemoveStringAndImage(index);
}

void IxStringListView::BindItem(IxElement* element, int index)
{
    if (!element)
        return;
    IxString text;
    IxImage* image = nullptr;
    if (index >= 0) {
        text = m_strings.At(index);
        image = m_images.At(index);
        if (image)
            image->AddRef();
    }
    element->SetProperty(IXP_TEXTNOW, reinterpret_cast<LPARAM>(&text));
    element->SetProperty(IXP_IMAGENOW, reinterpret_cast<LPARAM>(image));
}

int IxStringListView::SetProperty(int id, LPARAM value)
{
    switch (id) {
    case IXP_STRINGLISTIMAGES: {
        const auto* images = reinterpret_cast<const IxArray<IxImage*>*>(value);
        if (!images)
            return SetProperty(IXP_STRINGLISTCLEAR, 0);
        ReleaseImages();
        for (int i = 0; i < images->Count(); ++i)
            m_images.Add((*images)[i]);
        UpdateCount();
        Reset();
        return 1;
    }
    case IXP_STRINGLISTREMOVE: {
        const int v = static_cast<int>(value);
        if (v < -1) {
            if (Multi()) {
                // From the last to the first, so that the others keep their index.
                while (m_selection.Count() > 0) {
                    int highest = m_selection[0];
                    for (int i = 1; i < m_selection.Count(); ++i)
                        highest = std::max(highest, m_selection[i]);
                    RemoveItem(highest);
                }
            } else {
                RemoveItem(m_nSelected);
            }
        } else {
            RemoveItem(v == -1 || v >= m_nCount ? m_nCount - 1 : v);
        }
        Relayout(TRUE);
        return 1;
    }
    case IXP_STRINGLISTCLEAR:
        RemoveAll();
        return 1;
    case IXP_STRINGLISTSTRINGS: {
        const auto* strings = reinterpret_cast<const IxStringArray*>(value);
        if (!strings)
            return SetProperty(IXP_STRINGLISTCLEAR, 0);
        m_strings.RemoveAll();
        for (int i = 0; i < strings->Count(); ++i)
            m_strings.Add(strings->At(i));
        UpdateCount();
        Reset();
        return 1;
    }
    case IXP_STRINGLISTREPLACE: {
        const auto* entry = reinterpret_cast<const IxStringListEntry*>(value);
        if (!entry || entry->nIndex < 0 || entry->nIndex >= m_strings.Count())
            return 0;
        m_strings.SetAt(entry->nIndex, entry->text);
        if (IxElement* element = ElementOf(entry->nIndex))
            BindItem(element, entry->nIndex);
        return 1;
    }
    case IXP_STRINGLISTINSERT: {
        const auto* entry = reinterpret_cast<const IxStringListEntry*>(value);
        if (!entry)
            return 0;
        const int at = entry->nIndex < 0 || entry->nIndex > m_strings.Count() ? m_strings.Count() : entry->nIndex;
        if (!InsertString(at, entry->text))
            return 0;
        ItemsInserted(at, 1);
        UpdateCount();
        Relayout(TRUE);
        return 1;
    }
    case IXP_BACKGROUND:
    case IXP_IMAGENORMAL:
    case IXP_IMAGEDISABLED:
    case IXP_IMAGECURRENT:
    case IXP_IMAGEPRESSED:
    case IXP_IMAGESELECTED:
    case IXP_IMAGESELECTEDPRESSED:
    case IXP_IMAGENOW:
    case IXP_IMAGELATER:
    case IXP_BUTTONBACKGROUND:
    case IXP_TEXTRECT:
    case IXP_ICON:
    case IXP_ICONRECT:
    case IXP_ICONFRAME:
    case IXP_ICON2:
    case IXP_ICON2RECT: {
        // Every row takes the same look.
        int position = 0;
        EachChild([&](IxElement* element) {
            if (position++ < m_nVisible)
                element->SetProperty(id, value);
        });
        return 1;
    }
    default:
        return IxItemContainerView::SetProperty(id, value);
    }
}
