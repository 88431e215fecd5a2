#include "Lib_cpp/controls/ListView.h"

#include "Lib_cpp/controls/ElementApi.h"
#include "Lib_cpp/core/Draw.h"
#include "Lib_cpp/image/Image.h"
#include "platform/base/Rect.h"
#include "platform/ui/Window.h"

#include <algorithm>

namespace {

int CeilDiv(int a, int b)
{
    return b > 0 ? (a + b - 1) / b : 0;
}

int FloorDiv(int a, int b)
{
    const int q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

} // namespace

IxListView::IxListView(int rowsPerBlock, int columnsPerBlock, int columnGap, int rowGap, DWORD style, int marginLeft,
                       int marginTop, int marginRight, int marginBottom, int autoScrollMs, int edgeWidth,
                       int edgeHeight)
    : m_dwStyle(style), m_nMargin{marginLeft, marginTop, marginRight, marginBottom}, m_nColumnGap(columnGap),
      m_nRowGap(rowGap), m_nRows(std::max(rowsPerBlock, 1)), m_nColumns(std::max(columnsPerBlock, 1)),
      m_nAutoScrollMs(autoScrollMs), m_nEdgeWidth(edgeWidth), m_nEdgeHeight(edgeHeight)
{
}

IxListView::~IxListView()
{
    if (m_pOverscroll)
        m_pOverscroll->Release();
}

IxDataListView::IxDataListView(int rowsPerBlock, int columnsPerBlock, int columnGap, int rowGap, DWORD style,
                               int marginLeft, int marginTop, int marginRight, int marginBottom, int autoScrollMs,
                               int edgeWidth, int edgeHeight)
    : IxListView(rowsPerBlock, columnsPerBlock, columnGap, rowGap, style | IXLS_INDEXED, marginLeft, marginTop,
                 marginRight, marginBottom, autoScrollMs, edgeWidth, edgeHeight)
{
    m_bRecycled = TRUE;
}

LRESULT IxDataListView::Control(int code, LPARAM a, LPARAM b)
{
    if (code == IXSVC_LISTIMAGE)
        return reinterpret_cast<LRESULT>(m_images.Get(static_cast<int>(b)));
    return IxListView::Control(code, a, b);
}

int IxDataListView::OnChildNotify(int kind, LPARAM data, IxElement* sender, IxElement* origin)
{
    if (kind == IXCN_NOTICE && data && sender && origin && sender != origin && sender->GetParent() == this
        && IxActionKind(reinterpret_cast<const IxNoticeRecord*>(data)->dwWord) == AEV_CLICK) {
        if (origin->GetId() >= 1)
            PushGlobalAction(origin->GetId(), AEV_SELECTIONCHANGED, m_children.IndexOf(sender));
        return 1;
    }
    return IxListView::OnChildNotify(kind, data, sender, origin);
}

void IxListView::SetOverscrollImage(IxImage* image)
{
    AssignImageRef(this, &m_pOverscroll, image);
}

// ---------------------------------------------------------------------------
// Geometry

RECT IxListView::GetContentRect() const
{
    return RECT{m_nMargin[0], m_nMargin[1], Width() - m_nMargin[2], Height() - m_nMargin[3]};
}

int IxListView::LineSize() const
{
    if (Paged())
        return std::max(m_nVisible, 1);
    return Horizontal() ? m_nRows : m_nColumns;
}

int IxListView::RoundedCount() const
{
    return CeilDiv(GetCount(), LineSize()) * LineSize();
}

int IxListView::ViewportWidth() const
{
    if (!Horizontal())
        return Width() - m_nMargin[0] - m_nMargin[2];
    const int c = m_nVisible / m_nRows;
    return c * m_nItemWidth + std::max(c - 1, 0) * m_nColumnGap;
}

int IxListView::ViewportHeight() const
{
    if (Horizontal())
        return Height() - m_nMargin[1] - m_nMargin[3];
    const int r = m_nVisible / m_nColumns;
    return r * m_nItemHeight + std::max(r - 1, 0) * m_nRowGap;
}

int IxListView::ContentWidth() const
{
    if (m_bRecycled && Horizontal()) {
        const int c = RoundedCount() / m_nRows;
        return c * m_nItemWidth + std::max(c - 1, 0) * m_nColumnGap;
    }
    return m_rcContent.right - m_rcContent.left;
}

int IxListView::ContentHeight() const
{
    if (m_bRecycled && !Horizontal()) {
        const int r = RoundedCount() / m_nColumns;
        return r * m_nItemHeight + std::max(r - 1, 0) * m_nRowGap;
    }
    return m_rcContent.bottom - m_rcContent.top;
}

int IxListView::ScrollPosition(int axis) const
{
    if (axis == 0)
        return m_nScrollX + (m_bRecycled && Horizontal() ? (m_nTop / m_nRows) * (m_nItemWidth + m_nColumnGap) : 0);
    return m_nScrollY + (m_bRecycled && !Horizontal() ? (m_nTop / m_nColumns) * (m_nItemHeight + m_nRowGap) : 0);
}

int IxListView::MaxOffset(int axis) const
{
    return axis == 0 ? std::max(ContentWidth() - ViewportWidth(), 0) : std::max(ContentHeight() - ViewportHeight(), 0);
}

int IxListView::Pitch(int axis) const
{
    const int pitch = axis == 0 ? m_nItemWidth + m_nColumnGap : m_nItemHeight + m_nRowGap;
    if (!Paged())
        return pitch;
    // A page is as many lines as the view shows along that axis.
    const int lines = axis == 0 ? std::max(m_nVisible / m_nRows, 1) : std::max(m_nVisible / m_nColumns, 1);
    return pitch * lines;
}

int IxListView::LineCount() const
{
    const int count = GetCount();
    if (Paged())
        return CeilDiv(count, m_nRows * m_nColumns);
    return CeilDiv(count, Horizontal() ? m_nRows : m_nColumns);
}

int IxListView::FirstVisibleLine() const
{
    const int divisor = Paged() ? m_nRows * m_nColumns : (Horizontal() ? m_nRows : m_nColumns);
    if (m_bRecycled)
        return CeilDiv(m_nTop, divisor);
    // The first element that lies (partly) in the visible range.
    int position = 0;
    const int axis = Horizontal() ? 0 : 1;
    const int offset = axis == 0 ? m_nScrollX : m_nScrollY;
    for (IxListNode* node = m_children.Head(); node; node = node->m_pNext, ++position) {
        RECT rc;
        FromNode(node)->GetRect(&rc);
        if ((axis == 0 ? rc.right - m_nMargin[0] : rc.bottom - m_nMargin[1]) > offset)
            break;
    }
    return CeilDiv(position + 1, divisor) - 1;
}

IxElement* IxListView::ElementAt(int position) const
{
    IxListNode* node = m_children.Head();
    for (int i = 0; node && i < position; ++i)
        node = node->m_pNext;
    return node ? FromNode(node) : nullptr;
}

int IxListView::IndexOf(IxElement* element) const
{
    const int position = m_children.IndexOf(element);
    return position < 0 ? -1 : (m_bRecycled ? m_nTop + position : position);
}

IxElement* IxListView::ElementOf(int index) const
{
    if (index < 0)
        return nullptr;
    const int position = m_bRecycled ? index - m_nTop : index;
    return position >= 0 ? ElementAt(position) : nullptr;
}

IxElement* IxListView::PickElement(int which) const
{
    if (which == IXLI_CURRENTITEM)
        return ElementOf(m_nCurrent);
    if (which == IXLI_SELECTEDITEM)
        return m_bRecycled ? ElementOf(m_nSelected) : FirstSelectedChild();
    if (which < 0)
        return m_children.Tail() ? FromNode(m_children.Tail()) : nullptr;
    return ElementAt(which);
}

IxElement* IxListView::ItemAt(POINT point) const
{
    // Items are hit with the gaps around them counted in.
    IxElement* found = nullptr;
    int position = 0;
    for (IxListNode* node = m_children.Head(); node; node = node->m_pNext, ++position) {
        IxElement* element = FromNode(node);
        RECT rc;
        element->GetRect(&rc);
        rc.right += m_nColumnGap;
        rc.bottom += m_nRowGap;
        if (platform::RectContains(rc, point)) {
            found = element;
            break;
        }
    }
    if (!found || found->HasFlag(IXF_HIDDEN) || (m_bRecycled && m_nTop + position >= m_nCount))
        return nullptr;
    return found->HasFlag(IXF_DISABLED | IXF_NOINPUT) ? nullptr : found;
}

// ---------------------------------------------------------------------------
// Items, layout and binding

void IxListView::AddItemElements(IxElement* const* elements, int count)
{
    for (int i = 0; i < count; ++i)
        if (elements[i])
            AddChild(elements[i]);
    if (m_bRecycled)
        m_nVisible = std::max(m_children.Count() - (Horizontal() ? m_nRows : m_nColumns), 0);
}

void IxListView::Relayout(BOOL repaint)
{
    m_rcContent = RECT{0, 0, 0, 0};
    IxElement* first = ElementAt(0);
    if (!first)
        return;
    m_nItemWidth = first->Width();
    m_nItemHeight = first->Height();
    const int perBlock = m_nRows * m_nColumns;
    const int blockWidth = m_nColumns * (m_nItemWidth + m_nColumnGap);
    const int blockHeight = m_nRows * (m_nItemHeight + m_nRowGap);
    int position = 0;
    bool any = false;
    for (IxListNode* node = m_children.Head(); node; node = node->m_pNext, ++position) {
        const int block = position / perBlock;
        const int inBlock = position % perBlock;
        const int bx = m_nMargin[0] + (Horizontal() ? block * blockWidth : 0);
        const int by = m_nMargin[1] + (Horizontal() ? 0 : block * blockHeight);
        const int x = bx + (inBlock % m_nColumns) * (m_nItemWidth + m_nColumnGap);
        const int y = by + (inBlock / m_nColumns) * (m_nItemHeight + m_nRowGap);
        FromNode(node)->MoveTo(x, y, repaint);
        // A paged list's blocks count whole: a short block is padded.
        RECT cover = Paged() ? RECT{bx, by, bx + blockWidth - m_nColumnGap, by + blockHeight - m_nRowGap}
                             : RECT{x, y, x + m_nItemWidth, y + m_nItemHeight};
        m_rcContent = any ? platform::Union(m_rcContent, cover) : cover;
        any = true;
    }
    if (!m_bRecycled) {
        // The items that fit along the flow axis of the item area.
        const RECT area = GetContentRect();
        const int along = Horizontal() ? area.right - area.left : area.bottom - area.top;
        const int pitch = Horizontal() ? m_nItemWidth + m_nColumnGap : m_nItemHeight + m_nRowGap;
        m_nVisible = CeilDiv(along, pitch) * (Horizontal() ? m_nRows : m_nColumns);
    }
    MarkOutside();
}

bool IxListView::IsSelected(int index) const
{
    if (m_dwStyle & IXLS_MULTISELECT) {
        for (int i = 0; i < m_selection.Count(); ++i)
            if (m_selection[i] == index)
                return true;
        return false;
    }
    return index >= 0 && index == m_nSelected;
}

void IxListView::UpdateItemStates(IxElement* element, int index)
{
    if (!element)
        return;
    element->SetSelected(index >= 0 && IsSelected(index), 0);
    element->SetCurrent(index >= 0 && index == m_nCurrent, 0);
}

void IxListView::MarkOutside()
{
    if (!(m_dwStyle & IXLS_HIDEOUTSIDE))
        return;
    const RECT area = GetContentRect();
    const RECT visible{area.left + m_nScrollX, area.top + m_nScrollY, area.left + m_nScrollX + ViewportWidth(),
                       area.top + m_nScrollY + ViewportHeight()};
    for (IxListNode* node = m_children.Head(); node; node = node->m_pNext) {
        IxElement* element = FromNode(node);
        RECT rc;
        element->GetRect(&rc);
        element->SetUnmarked(platform::RectsOverlap(rc, visible), FALSE);
    }
}

void IxListView::Scrolled(BOOL repaint)
{
    MarkOutside();
    if (repaint)
        Redraw();
    SendScrollNotice();
}

void IxListView::Rebind()
{
    if (!m_bRecycled)
        return;
    int k = 0;
    for (IxListNode* node = m_children.Head(); node; node = node->m_pNext, ++k) {
        const int index = m_nTop + k < m_nCount ? m_nTop + k : -1;
        IxElement* element = FromNode(node);
        BindItem(element, index);
        UpdateItemStates(element, index);
    }
}

BOOL IxListView::KeepInView(int index)
{
    if (!m_bRecycled || index < 0 || m_nVisible < 1)
        return FALSE;
    const int old = m_nTop;
    if (Paged()) {
        if (index < m_nTop || index >= m_nTop + m_nVisible)
            m_nTop = (index / m_nVisible) * m_nVisible;
    } else if (index < m_nTop) {
        m_nTop = index;
    } else if (index >= m_nTop + m_nVisible) {
        m_nTop = index - m_nVisible + 1;
    }
    return m_nTop != old;
}

BOOL IxListView::BringIntoView(int index, BOOL repaint)
{
    if (!KeepInView(index))
        return FALSE;
    Rebind();
    SendScrollNotice();
    if (repaint)
        Redraw();
    return TRUE;
}

int IxListView::StepIndex(int from, int step) const
{
    const int count = GetCount();
    if (from < 0 || count < 1)
        return -1;
    int to = from + step;
    if (to < 0 || to >= count)
        to = Wraps() ? (to + count) % count : from;
    return to;
}

void IxListView::SetCurrentIndex(int index, BOOL keepInView, BOOL repaint)
{
    if (index < -1 || index >= GetCount())
        index = -1;
    if (IxElement* old = ElementOf(m_nCurrent))
        old->SetCurrent(FALSE, repaint);
    m_nCurrent = index;
    if (!m_bRecycled) {
        IxElement* element = ElementOf(index);
        SetCurrentChild(element);
        if (element && keepInView) {
            RECT rc;
            element->GetRect(&rc);
            ScrollIntoView(rc);
        }
        return;
    }
    if (keepInView && BringIntoView(index, repaint))
        return;
    if (IxElement* element = ElementOf(index))
        element->SetCurrent(TRUE, repaint);
}

void IxListView::SetSelectedIndex(int index, BOOL keepInView, BOOL repaint)
{
    const int count = GetCount();
    if (m_dwStyle & IXLS_MULTISELECT) {
        if (index < 0 || index >= count)
            return;
        bool removed = false;
        for (int i = 0; i < m_selection.Count(); ++i) {
            if (m_selection[i] == index) {
                m_selection.RemoveAt(i);
                removed = true;
                break;
            }
        }
        if (!removed)
            m_selection.Add(index);
        if (IxElement* element = ElementOf(index))
            element->SetSelected(!removed, repaint);
        return;
    }
    if (index < -1 || index >= count)
        index = -1;
    if (IxElement* old = ElementOf(m_nSelected))
        old->SetSelected(FALSE, repaint);
    m_nSelected = index;
    if (keepInView && BringIntoView(index, repaint))
        return;
    if (IxElement* element = ElementOf(index))
        element->SetSelected(TRUE, repaint);
}

void IxListView::SetCount(int count, BOOL repaint)
{
    ::EndGesture(this);
    m_nCount = std::max(count, 0);
    if (HasFlag(IXF_ACTIVE)) {
        const int total = GetCount();
        if (m_nCurrent >= total)
            m_nCurrent = -1;
        if (m_nSelected >= total)
            m_nSelected = -1;
        for (int i = m_selection.Count() - 1; i >= 0; --i)
            if (m_selection[i] >= total)
                m_selection.RemoveAt(i);
        if ((m_dwStyle & IXLS_KEEPINVIEW) && total > m_nVisible) {
            const int keep = m_nCurrent >= 0                                ? m_nCurrent
                : (m_dwStyle & IXLS_MULTISELECT) && m_selection.Count() > 0 ? m_selection[m_selection.Count() - 1]
                                                                            : m_nSelected;
            KeepInView(keep);
        }
        Rebind();
    }
    if (repaint)
        Redraw();
}

BOOL IxListView::MoveTop(int lines)
{
    const int count = GetCount();
    if (!m_bRecycled || count < m_nVisible || lines == 0)
        return FALSE;
    const int step = LineSize();
    const int rounded = RoundedCount();
    const int last = rounded - m_nVisible;
    int top = m_nTop + lines * step;
    if (top < 0) {
        if (Wraps()) {
            while (top < 0)
                top += rounded;
            top = (top / step) * step;
        } else {
            top = 0;
        }
    } else if (top > last) {
        if (Wraps()) {
            while (top >= count)
                top -= count;
            top = (top / step) * step;
        } else {
            top = last;
        }
    }
    if (top == m_nTop)
        return FALSE;
    m_nTop = top;
    Rebind();
    SendScrollNotice();
    Redraw();
    return TRUE;
}

int IxListView::Layout(LPARAM arg)
{
    IxView::Layout(arg);
    if (!m_bRecycled) {
        Relayout(FALSE);
        if ((m_dwStyle & IXLS_KEEPINVIEW) && m_nCurrent >= 0)
            if (IxElement* element = ElementOf(m_nCurrent)) {
                RECT rc;
                element->GetRect(&rc);
                ScrollIntoView(rc);
            }
    }
    SendScrollNotice();
    if (m_dwStyle & IXLS_POLL)
        SetElementTimer(this, PollTimer(), PollInterval());
    return 1;
}

void IxListView::GetScrollRange(int* position, int* range) const
{
    if (position)
        *position = m_bRecycled ? m_nTop : FirstVisibleLine();
    if (range)
        *range = m_bRecycled ? std::max(m_nCount - m_nVisible, 0) : LineCount();
}

void IxListView::SendScrollNotice()
{
    // Position in the low half, range in the high half. A range too large
    // for 16 bits is scaled down to 0xFFFF and the position with it, so that
    // a scroll bar reading the halves still gets the right proportion (cut
    // to 16 bits they would wrap around); GetScrollRange has the exact values.
    int position = 0;
    int range = 0;
    GetScrollRange(&position, &range);
    if (range > 0xFFFF) {
        position = static_cast<int>(static_cast<long long>(position) * 0xFFFF / range);
        range = 0xFFFF;
    }
    position = std::clamp(position, 0, 0xFFFF);
    PostElementNotify(this, m_nId, AEV_LISTSCROLL, static_cast<LPARAM>(position) | static_cast<LPARAM>(range) << 16);
}

// ---------------------------------------------------------------------------
// Pixel scrolling

int IxListView::Step(int direction)
{
    if (m_nItemWidth == 0 || m_nItemHeight == 0)
        return 0;
    const int axis = direction <= 2 ? 0 : 1;
    const bool back = direction == 1 || direction == 3;
    if (m_bRecycled && axis == (Horizontal() ? 0 : 1))
        return MoveTop(back ? -1 : 1);
    if (!Paged()) {
        if (back && ScrollPosition(axis) <= 0)
            return 0;
        if (!back && MaxOffset(axis) - ScrollPosition(axis) < 1)
            return 0;
    }
    return ScrollByLines(axis, back ? -1 : 1, Wraps(), (m_dwStyle & IXLS_ANIMATED) != 0, TRUE);
}

int IxListView::ScrollByLines(int axis, int count, BOOL wrap, BOOL animate, BOOL repaint)
{
    const int pitch = Pitch(axis);
    if (pitch <= 0)
        return 0;
    const int gap = axis == 0 ? m_nColumnGap : m_nRowGap;
    const int offset = axis == 0 ? m_nScrollX : m_nScrollY;
    const int max = MaxOffset(axis);
    int target;
    if (count <= 0) {
        if (offset < 1) {
            if (!wrap)
                return 0;
            target = max;
        } else {
            target = std::max((CeilDiv(offset, pitch) + count) * pitch, 0);
        }
    } else {
        if (offset >= max) {
            if (!wrap)
                return 0;
            target = 0;
        } else {
            int lines = FloorDiv(offset, pitch) + count;
            if (offset % pitch >= pitch - gap)
                ++lines;
            target = std::min(lines * pitch, max);
        }
    }
    return axis == 0 ? ScrollTo(target, -1, animate, repaint) : ScrollTo(-1, target, animate, repaint);
}

int IxListView::ScrollTo(int x, int y, BOOL animate, BOOL repaint)
{
    if (x == kIxListReset) {
        x = 0;
        y = 0;
    }
    const int nx = x < 0 ? m_nScrollX : std::clamp(x, 0, MaxOffset(0));
    const int ny = y < 0 ? m_nScrollY : std::clamp(y, 0, MaxOffset(1));
    if (nx == m_nScrollX && ny == m_nScrollY)
        return 0;
    if (animate && repaint && Animate(nx - m_nScrollX, ny - m_nScrollY))
        return 1;
    m_nScrollX = nx;
    m_nScrollY = ny;
    Scrolled(repaint);
    return 1;
}

void IxListView::ScrollIntoView(const RECT& item)
{
    int offset[2] = {m_nScrollX, m_nScrollY};
    const int lo[2] = {item.left - m_nMargin[0], item.top - m_nMargin[1]};
    const int hi[2] = {item.right - m_nMargin[0], item.bottom - m_nMargin[1]};
    const int view[2] = {ViewportWidth(), ViewportHeight()};
    for (int axis = 0; axis < 2; ++axis) {
        if (hi[axis] > offset[axis] && lo[axis] < offset[axis] + view[axis])
            continue;
        const int pitch = Pitch(axis);
        if (pitch <= 0)
            continue;
        int to = Paged() ? FloorDiv(lo[axis], pitch) * pitch
                         : (lo[axis] < offset[axis] ? lo[axis] : hi[axis] - view[axis]);
        offset[axis] = std::clamp(to, 0, MaxOffset(axis));
    }
    ScrollTo(offset[0], offset[1], FALSE, TRUE);
}

BOOL IxListView::Animate(int dx, int dy)
{
    if (!HasFlag(IXF_ACTIVE) || (dx == 0 && dy == 0))
        return FALSE;
    // The kernel's animation travels the distance limit of each axis towards
    // the direction of its velocity and reports every step as a fling step.
    const int viewW = ViewportWidth(), viewH = ViewportHeight();
    const int x = ScrollPosition(0), y = ScrollPosition(1);
    const RECT visible{0, 0, viewW, viewH};
    const RECT content{-x, -y, std::max(ContentWidth(), viewW) - x, std::max(ContentHeight(), viewH) - y};
    int values[9] = {};
    values[IXGV_LIMITX] = std::abs(dx);
    values[IXGV_LIMITY] = std::abs(dy);
    values[IXGV_VELOCITYX] = dx > 0 ? -1 : (dx < 0 ? 1 : 0);
    values[IXGV_VELOCITYY] = dy > 0 ? -1 : (dy < 0 ? 1 : 0);
    ::EndGesture(this);
    return BeginGesture(this, visible, content, values) ? TRUE : FALSE;
}

BOOL IxListView::CanMovePixels() const
{
    return (m_dwStyle & IXLS_MOVEPIXELS) && HasFlag(IXF_ACTIVE) && !HasFlag(IXF_HIDDEN | IXF_PENDING) && WindowOf(this)
        && IsUncovered(this);
}

BOOL IxListView::MovePixels(int dx, int dy)
{
    HWND window = WindowOf(this);
    const RECT area = GetContentRect();
    if (!window || std::abs(dx) >= area.right - area.left || std::abs(dy) >= area.bottom - area.top)
        return FALSE;
    RECT strip = area;
    if (dx != 0) {
        ScrollWindowRectH(this, window, &strip, dx);
        InvalidateRect(window, &strip, FALSE);
        strip = area;
    }
    if (dy != 0) {
        ScrollWindowRectV(this, window, &strip, dy);
        InvalidateRect(window, &strip, FALSE);
    }
    RepaintNow(FALSE);
    return TRUE;
}

int IxListView::ScrollByDelta(int dx, int dy)
{
    // Pixels about to move must show what is drawn now.
    const BOOL movePixels = CanMovePixels();
    if (movePixels)
        RepaintNow(FALSE);
    const int oldX = m_nScrollX, oldY = m_nScrollY, oldTop = m_nTop;
    const int oldPosition[2] = {ScrollPosition(0), ScrollPosition(1)};
    m_nScrollX -= dx;
    m_nScrollY -= dy;
    if (m_bRecycled) {
        // Whole pitches of the flow axis move the top by a line each.
        int& offset = Horizontal() ? m_nScrollX : m_nScrollY;
        const int pitch = Horizontal() ? m_nItemWidth + m_nColumnGap : m_nItemHeight + m_nRowGap;
        const int line = Horizontal() ? m_nRows : m_nColumns;
        const int last = std::max(RoundedCount() - m_nVisible, 0);
        if (pitch > 0) {
            const int lines = FloorDiv(offset, pitch);
            int top = std::max(m_nTop + lines * line, 0);
            offset -= (top - m_nTop) / line * pitch;
            if (top > last) {
                offset += (top - last) / line * pitch;
                top = last;
            }
            m_nTop = top;
        }
        if (m_nTop != oldTop) {
            // When the pixels move, each element takes over what the
            // element one line on showed at the same place on the screen:
            // nothing a rebind draws is new there.
            m_bQuietRebind = movePixels;
            Rebind();
            m_bQuietRebind = FALSE;
        }
    }
    if (m_nScrollX == oldX && m_nScrollY == oldY && m_nTop == oldTop)
        return 0;
    if (movePixels && MovePixels(oldPosition[0] - ScrollPosition(0), oldPosition[1] - ScrollPosition(1))) {
        MarkOutside();
        SendScrollNotice();
        return 1;
    }
    Scrolled(TRUE);
    return 1;
}

int IxListView::Settle(int dx, int dy)
{
    int target[2] = {m_nScrollX, m_nScrollY};
    const int direction[2] = {dx, dy};
    for (int axis = 0; axis < 2; ++axis) {
        const int offset = target[axis];
        const int max = m_bRecycled && axis == (Horizontal() ? 0 : 1)
            ? std::max(MaxOffset(axis) - ScrollPosition(axis) + offset, 0)
            : MaxOffset(axis);
        const int pitch = axis == 0 ? m_nItemWidth + m_nColumnGap : m_nItemHeight + m_nRowGap;
        if (offset > max) {
            target[axis] = max;
        } else if (offset < 0) {
            target[axis] = 0;
        } else if (pitch > 0) {
            const int rest = offset % pitch;
            if (rest != 0) {
                const bool back = direction[axis] > 0 || (direction[axis] == 0 && rest < pitch / 2.0);
                target[axis] = back ? offset - rest : std::min(offset - rest + pitch, max);
            }
        }
    }
    if (target[0] == m_nScrollX && target[1] == m_nScrollY)
        return 0;
    // An animation that cannot run ends at once and comes back here: then
    // the offsets are set directly.
    if (!m_bSettling) {
        m_bSettling = TRUE;
        const BOOL started = Animate(target[0] - m_nScrollX, target[1] - m_nScrollY);
        m_bSettling = FALSE;
        if (started)
            return 1;
    }
    m_nScrollX = target[0];
    m_nScrollY = target[1];
    Scrolled(TRUE);
    return 1;
}

int IxListView::BeginScroll()
{
    const int viewW = ViewportWidth(), viewH = ViewportHeight();
    const bool flowFits = Horizontal() ? ContentWidth() <= viewW : ContentHeight() <= viewH;
    const bool crossFits = Horizontal() ? ContentHeight() <= viewH : ContentWidth() <= viewW;
    if (flowFits && crossFits)
        return 0;
    const RECT visible{0, 0, viewW, viewH};
    const int x = ScrollPosition(0), y = ScrollPosition(1);
    const RECT content{-x, -y, ContentWidth() - x, ContentHeight() - y};
    int values[9] = {0, 0, 0, 0, 0, 0, 0, 0, Horizontal() ? m_nItemWidth / 2 : m_nItemHeight / 2};
    return BeginGesture(this, visible, content, values) ? 1 : 0;
}

// ---------------------------------------------------------------------------
// Element operations

int& IxListView::PollInterval()
{
    static int s_nPollIntervalMs = 10;
    return s_nPollIntervalMs;
}

UINT_PTR IxListView::PollTimer()
{
    // One poll timer for every list: its id is the address of its interval.
    return reinterpret_cast<UINT_PTR>(&PollInterval());
}

LRESULT IxListView::OnEvent(int code, LPARAM param)
{
    switch (code) {
    case IXEV_LONGPRESS:
        if (m_pPressed)
            m_pPressed->SetPressed(TRUE, TRUE);
        break;
    case IXEV_ATTACHED:
        if (m_bRecycled) {
            m_dwStyle |= IXLS_INDEXED;
            Relayout(FALSE);
            Rebind();
        }
        break;
    case IXEV_DETACHED:
        StopAutoScroll();
        KillElementTimer(this, PollTimer());
        break;
    case IXEV_TIMER:
        if (m_autoScroll.IsTimer(param)) {
            AutoScrollTick();
            return 1;
        }
        if (static_cast<UINT_PTR>(param) == PollTimer()) {
            PollTick();
            return 1;
        }
        break;
    case IXEV_SELECTIONCHANGED:
        SyncSelection();
        break;
    default:
        break;
    }
    return IxView::OnEvent(code, param);
}

void IxListView::PollTick()
{
    // The items are asked in turn until one is still busy.
    bool busy = false;
    EachChild([&](IxElement* item) {
        if (!busy && item->OnEvent(IXEV_POLL, 0) != 0)
            busy = true;
    });
    if (!busy)
        KillElementTimer(this, PollTimer());
}

void IxListView::SyncSelection()
{
    int k = 0;
    for (IxListNode* node = m_children.Head(); node; node = node->m_pNext, ++k) {
        const int index = m_bRecycled ? m_nTop + k : k;
        if (index >= GetCount())
            break;
        const bool flagged = FromNode(node)->HasFlag(IXF_SELECTED);
        if (flagged == IsSelected(index))
            continue;
        if (m_dwStyle & IXLS_MULTISELECT) {
            if (flagged) {
                m_selection.Add(index);
            } else {
                for (int i = 0; i < m_selection.Count(); ++i)
                    if (m_selection[i] == index) {
                        m_selection.RemoveAt(i);
                        break;
                    }
            }
        } else if (flagged) {
            m_nSelected = index;
        } else if (m_nSelected == index) {
            m_nSelected = -1;
        }
    }
}

IxElement* IxListView::FindTarget(int inputCode, POINT point)
{
    // A drop target is the list itself, within its item area.
    if ((inputCode == IXIN_DRAGOVER || inputCode == IXIN_HOVERQUERY) && (m_dwStyle & IXLS_DROPTARGET))
        return platform::RectContains(GetContentRect(), point) ? this : nullptr;
    if (inputCode == IXIN_SCROLLBY && HasFlag(IXF_GESTURE))
        return this;
    if (m_dwStyle & IXLS_OWNINPUT)
        return platform::RectContainsInclusive(RECT{0, 0, Width(), Height()}, point) ? this : nullptr;
    POINT content{point.x + m_nScrollX, point.y + m_nScrollY};
    // With an item drag mode the list takes the press itself.
    if (inputCode == IXIN_DOWN && (m_dwStyle & IXLS_DRAGMODES))
        return platform::RectContainsInclusive(RECT{0, 0, Width(), Height()}, point) ? this : nullptr;
    return IxView::FindTarget(inputCode, content);
}

void IxListView::ClickAt(POINT point, BOOL repeat)
{
    const int base = (m_dwStyle & IXLS_INDEXED) ? m_nTop : -1;
    if (m_dwStyle & (repeat ? IXLS_SELECTONREPEAT : IXLS_SELECTONRELEASE))
        SelectOrClickAt(point, base, (m_dwStyle & IXLS_MULTISELECT) ? TRUE : FALSE);
    else
        ClickChildAt(point, base);
}

int IxListView::PressForDrag(POINT point, IxElement* item)
{
    const BOOL scrolls = (m_dwStyle & (IXLS_DRAGLONGPRESS | IXLS_DRAGSWIPE)) != 0;
    if (item && ((m_dwStyle & IXLS_MULTISELECT) == 0 || item->HasFlag(IXF_SELECTED)) && MayDrag(item)) {
        m_pPressed = item;
        item->SetPressed(TRUE, TRUE);
        if (m_dwStyle & IXLS_DRAGCANDIDATE)
            return IXGM_CANDIDATE;
        if (scrolls) {
            BeginScroll();
            return (m_dwStyle & IXLS_DRAGLONGPRESS) ? IXGM_LONGPRESS : IXGM_SWIPE;
        }
        return BeginItemDrag(point);
    }
    if (scrolls) {
        m_pPressed = ItemAt(point);
        if (m_pPressed)
            m_pPressed->SetPressed(TRUE, TRUE);
        BeginScroll();
        return IXGM_SCROLL;
    }
    return -1;
}

int IxListView::OnInput(int code, LPARAM data)
{
    const auto* given = reinterpret_cast<const POINT*>(data);
    const POINT point = given ? POINT{given->x + m_nScrollX, given->y + m_nScrollY} : POINT{0, 0};
    IxElementWatch self(this);
    switch (code) {
    case IXIN_DOWN: {
        if (HasFlag(IXF_DISABLED | IXF_NOINPUT))
            return 0;
        if (m_dwStyle & IXLS_DRAGMODES) {
            const int answer = PressForDrag(point, ItemAt(point));
            if (answer >= 0)
                return self.Alive() ? answer : 0;
        }
        m_pPressed = ItemAt(point);
        int answer = 0;
        if ((m_dwStyle & IXLS_SCROLLANYWHERE) && BeginScroll())
            answer = IXGM_SCROLL;
        if (m_pPressed) {
            m_pPressed->SetPressed(TRUE, TRUE);
            if (answer == 0)
                answer = IXGM_TRACK;
        }
        return self.Alive() ? answer : 0;
    }
    case IXIN_MOVE:
        if (m_pPressed)
            m_pPressed->SetPressed(ItemAt(point) == m_pPressed, TRUE);
        return 1;
    case IXIN_UP:
    case IXIN_TAP: {
        IxElement* pressed = m_pPressed;
        m_pPressed = nullptr;
        if (pressed)
            pressed->SetPressed(FALSE, TRUE);
        if (!self.Alive())
            return 0;
        if (code == IXIN_UP && (m_dwStyle & (IXLS_DRAGMODES | IXLS_SCROLLANYWHERE)) && PointerHasMoved())
            return 0;
        if (!pressed || ItemAt(point) != pressed)
            return 0;
        if (!(m_dwStyle & IXLS_OWNINPUT)) {
            RECT rc;
            pressed->GetRect(&rc);
            POINT local{point.x - rc.left, point.y - rc.top};
            if (pressed->OnInput(IXIN_TAP, reinterpret_cast<LPARAM>(&local)) == 0 || !self.Alive())
                return 0;
        }
        ClickAt(point, FALSE);
        return 0;
    }
    case IXIN_REPEAT:
        ClickAt(point, TRUE);
        return self.Alive() ? IxView::OnInput(code, data) : 0;
    case IXIN_DRAGSTART:
        return BeginItemDrag(point);
    case IXIN_DRAGOVER:
        if (given)
            DragOver(*given);
        return 1;
    case IXIN_DROPQUERY:
        return DragEnter(point);
    case IXIN_DRAGLEAVE:
        return DragLeave(given ? *given : POINT{0, 0});
    case IXIN_HOVERQUERY:
        return (m_dwStyle & IXLS_DROPTARGET) && MayDrop(GetDragImageRect(this, nullptr)) ? 1 : 0;
    case IXIN_DROP:
        return Drop(point);
    case IXIN_DROPACCEPTED:
    case IXIN_DROPREFUSED:
        DragEnded(code == IXIN_DROPREFUSED);
        return 0;
    case IXIN_DROPCANCELLED:
        DragCancelled();
        return 0;
    case IXIN_CANDIDATEUP:
        if (m_pPressed) {
            m_pPressed->SetPressed(FALSE, TRUE);
            m_pPressed = nullptr;
        }
        m_pAnchor = nullptr;
        m_pDragged = nullptr;
        if (m_dwStyle & IXLS_DRAGOWNER)
            ForgetDragOwner();
        return 0;
    case IXIN_SCROLLBY:
    case IXIN_FLINGSTEP: {
        if (m_pPressed) {
            m_pPressed->SetPressed(FALSE, TRUE);
            m_pPressed = nullptr;
        }
        return given && ScrollByDelta(given->x, given->y) ? IXGM_SCROLL : 0;
    }
    case IXIN_SCROLLENDED:
    case IXIN_FLINGENDED:
        if (!Settle(given ? given->x : 0, given ? given->y : 0) && self.Alive())
            OnEvent(IXEV_GESTUREENDED, 0);
        return 0;
    case IXIN_GESTUREGOESON: {
        const int answer = IxView::OnInput(code, data);
        if (answer == 0 && self.Alive() && !Settle(0, 0) && self.Alive())
            OnEvent(IXEV_GESTUREENDED, 0);
        return answer;
    }
    default:
        return IxView::OnInput(code, data);
    }
}

// ---------------------------------------------------------------------------
// Item drag and drop

IxElement* IxListView::MakeDragImage(int, const RECT&, POINT)
{
    return nullptr;
}

IxElement* IxListView::MakeDroppedItem(int, const RECT& rect, POINT point)
{
    return MakeDragImage(-1, rect, point);
}

IxElement* IxListView::DropItemAt(POINT point) const
{
    IxElement* item = ItemAt(point);
    return item && !item->HasFlag(IXF_SELECTED) ? item : nullptr;
}

void IxListView::DraggedElements(IxArray<IxElement*>* out) const
{
    out->RemoveAll();
    if ((m_dwStyle & IXLS_MULTISELECT) && !m_bRecycled) {
        for (IxListNode* node = m_children.Head(); node; node = node->m_pNext)
            if (FromNode(node)->HasFlag(IXF_SELECTED) || FromNode(node) == m_pDragged)
                out->Add(FromNode(node));
    } else if (m_pDragged) {
        out->Add(m_pDragged);
    }
}

int IxListView::BeginItemDrag(POINT point)
{
    IxElement* item = m_pPressed;
    if (!item)
        return 0;
    m_pPressed = nullptr;
    IxElementWatch self(this);
    item->SetPressed(FALSE, TRUE);
    if (!self.Alive())
        return 0;
    RECT rc;
    item->GetRect(&rc);
    rc = platform::Offset(rc, -m_nScrollX, -m_nScrollY);
    const POINT at{point.x - m_nScrollX, point.y - m_nScrollY};
    IxElement* image = MakeDragImage(IndexOf(item), rc, at);
    if (!image)
        return 0;
    m_pAnchor = item->m_pPrev ? FromNode(item->m_pPrev) : nullptr;
    m_pDragged = item;
    if (m_dwStyle & IXLS_REORDER) {
        item->Show(FALSE, TRUE);
    } else if (!item->HasFlag(IXF_SELECTED)) {
        SetSelectedIndex(IndexOf(item), FALSE, TRUE);
    }
    StartDragImage(this, image, at);
    if (m_dwStyle & IXLS_DRAGOWNER)
        RecordDragOwner(this);
    return IXGM_DRAG;
}

void IxListView::DragOver(POINT local)
{
    if (m_dwStyle & IXLS_AUTOSCROLL) {
        const int zone = EdgeZoneAt(local);
        if (zone != IXLD_NONE)
            StartAutoScroll(zone);
        else
            StopAutoScroll();
    }
    const POINT point{local.x + m_nScrollX, local.y + m_nScrollY};
    IxElement* item = DropItemAt(point);
    if (!item || item == m_hover.Get())
        return;
    m_hover.Set(item);
    // Reordering moves the (hidden) dragged element to the target's place,
    // opening a gap where it will land.
    if ((m_dwStyle & IXLS_REORDER) && m_pDragged && m_pDragged->GetParent() == this) {
        const int from = m_children.IndexOf(m_pDragged);
        const int to = m_children.IndexOf(item);
        IxElement* after = to > from ? item : (item->m_pPrev ? FromNode(item->m_pPrev) : nullptr);
        if (MoveChildAfter(m_pDragged, after)) {
            Relayout(FALSE);
            Redraw();
        }
    }
}

int IxListView::DragEnter(POINT point)
{
    RECT image;
    const int draggedId = GetDragImageRect(this, &image);
    if (!MayDrop(draggedId))
        return 0;
    const BOOL source = IsDragSource(this);
    const POINT at{point.x - m_nScrollX, point.y - m_nScrollY};
    if (!source && (m_dwStyle & IXLS_REORDER) && !m_pDragged) {
        // A placeholder for the foreign item takes part in the reordering.
        if (IxElement* placeholder = MakeDroppedItem(draggedId, image, at)) {
            placeholder->SetFlags(IXF_HIDDEN, 0);
            AddChild(placeholder);
            m_pDragged = placeholder;
            Relayout(FALSE);
        }
    }
    if (source || (m_dwStyle & IXLS_FOREIGNIMAGE))
        if (IxElement* view = MakeDragImage(-1, image, at))
            StartDragImage(this, view, at);
    return 1;
}

int IxListView::DragLeave(POINT local)
{
    if ((m_dwStyle & IXLS_AUTOSCROLL) && IxDragAutoScroll::InInnerArea(this, m_nEdgeWidth, m_nEdgeHeight, local))
        return 0;
    StopAutoScroll();
    if (!IsDragSource(this) && m_pDragged) {
        IxElement* placeholder = m_pDragged;
        m_pDragged = nullptr;
        RemoveItemElements(&placeholder, 1);
    }
    m_hover.Set(nullptr);
    return 1;
}

int IxListView::Drop(POINT point)
{
    StopAutoScroll();
    RECT image;
    const int draggedId = GetDragImageRect(this, &image);
    if (!MayDrop(draggedId))
        return 0;
    m_hover.Set(nullptr);
    IxElement* target = ItemAt(point);
    IxElementWatch self(this);
    if (IsDragSource(this)) {
        if (m_dwStyle & IXLS_REORDER) {
            if (m_pDragged) {
                m_pDragged->Show(TRUE, TRUE);
                if ((m_pDragged->m_pPrev ? FromNode(m_pDragged->m_pPrev) : nullptr) != m_pAnchor)
                    ItemsMoved();
            }
        } else if (target) {
            IxArray<IxElement*> moving;
            DraggedElements(&moving);
            BOOL moved = FALSE;
            for (int i = 0; i < moving.Count(); ++i) {
                IxElement* element = moving[i];
                if (element == target || !MayMoveItem(element))
                    continue;
                const bool down = m_children.IndexOf(target) > m_children.IndexOf(element);
                IxElement* after = down ? target : (target->m_pPrev ? FromNode(target->m_pPrev) : nullptr);
                moved |= MoveChildAfter(element, after);
                if (down)
                    target = element; // the next one follows this one
            }
            if (moved) {
                ItemsMoved();
                if (!self.Alive())
                    return 0;
                Relayout(FALSE);
                Redraw();
                SendScrollNotice();
            }
        }
    } else {
        if (m_pDragged) {
            IxElement* placeholder = m_pDragged;
            m_pDragged = nullptr;
            if (placeholder == target)
                target = nullptr;
            RemoveItemElements(&placeholder, 1);
        }
        if (m_dwStyle & IXLS_DROPREPORT) {
            ItemDropped(target ? IndexOf(target) : -1, draggedId, FALSE);
        } else if (IxElement* element
                   = MakeDroppedItem(draggedId, image, POINT{point.x - m_nScrollX, point.y - m_nScrollY})) {
            InsertChildAfter(target, element, FALSE);
            ItemDropped(IndexOf(element), draggedId, TRUE);
            if (!self.Alive())
                return 0;
            Relayout(FALSE);
            Redraw();
            SendScrollNotice();
        }
    }
    if (self.Alive())
        Settle(0, 0);
    return IXGM_DRAG;
}

void IxListView::ClearDrag()
{
    m_hover.Set(nullptr);
    m_pAnchor = nullptr;
    m_pDragged = nullptr;
    if (m_dwStyle & IXLS_DRAGOWNER)
        ForgetDragOwner();
}

void IxListView::DragEnded(BOOL dropped)
{
    StopAutoScroll();
    if (dropped && !IsDropOnSource() && !(m_dwStyle & IXLS_COPYOUT)) {
        IxArray<IxElement*> leaving;
        DraggedElements(&leaving);
        m_pDragged = nullptr;
        m_hover.Forget();
        if (leaving.Count() > 0)
            RemoveItemElements(&leaving[0], leaving.Count());
    }
    ClearDrag();
}

void IxListView::DragCancelled()
{
    StopAutoScroll();
    if ((m_dwStyle & IXLS_REORDER) && m_pDragged && m_pDragged->GetParent() == this) {
        if ((m_pDragged->m_pPrev ? FromNode(m_pDragged->m_pPrev) : nullptr) != m_pAnchor) {
            MoveChildAfter(m_pDragged, m_pAnchor);
            Relayout(FALSE);
            Redraw();
            SendScrollNotice();
        }
        m_pDragged->Show(TRUE, TRUE);
    }
    ClearDrag();
}

void IxListView::RemoveItemElements(IxElement* const* elements, int count)
{
    if (!MayRemoveItems())
        return;
    for (int i = 0; i < count; ++i) {
        IxElement* element = elements[i];
        if (!element || element->GetParent() != this || !MayRemoveItem(element))
            continue;
        if (m_hover.Get() == element)
            m_hover.Forget();
        for (IxElement** state : {&m_pPressed, &m_pDragged, &m_pAnchor})
            if (*state == element)
                *state = state == &m_pAnchor && element->m_pPrev ? FromNode(element->m_pPrev) : nullptr;
        RemoveChild(element, FALSE);
    }
    ItemsRemoved();
    Relayout(FALSE);
    Redraw();
    m_nScrollX = std::clamp(m_nScrollX, 0, MaxOffset(0));
    m_nScrollY = std::clamp(m_nScrollY, 0, MaxOffset(1));
}

// ---------------------------------------------------------------------------
// Auto-scroll while dragging

int IxListView::EdgeZoneAt(POINT point)
{
    if (m_nAutoScrollMs <= 0)
        return IXLD_NONE;
    const bool back[2] = {ScrollPosition(0) > 0, ScrollPosition(1) > 0};
    const bool on[2] = {MaxOffset(0) - ScrollPosition(0) >= 1, MaxOffset(1) - ScrollPosition(1) >= 1};
    if (m_nEdgeWidth > 0) {
        if (point.x < m_nEdgeWidth && back[0])
            return IXLD_LEFT;
        if (point.x >= Width() - m_nEdgeWidth && on[0])
            return IXLD_RIGHT;
    }
    if (m_nEdgeHeight > 0) {
        if (point.y < m_nEdgeHeight && back[1])
            return IXLD_UP;
        if (point.y >= Height() - m_nEdgeHeight && on[1])
            return IXLD_DOWN;
    }
    return IXLD_NONE;
}

void IxListView::StartAutoScroll(int direction)
{
    m_autoScroll.Start(this, direction, m_nAutoScrollMs, [this](int d) { return Step(d); });
}

void IxListView::StopAutoScroll()
{
    m_autoScroll.Stop(this);
}

void IxListView::AutoScrollTick()
{
    if (!m_autoScroll.Tick(this, m_nAutoScrollMs, [this](int d) { return Step(d); }))
        return;
    // The drop target follows the content moving under the pointer.
    POINT local;
    if (GetCursorPos(&local))
        if (IxElement* item = DropItemAt(POINT{local.x + m_nScrollX, local.y + m_nScrollY}))
            m_hover.Set(item);
}

void IxListView::Invalidate(int mode, RECT* rect, IxElement* origin)
{
    if (m_bQuietRebind && origin != this)
        return;
    if (rect && origin && origin != this) {
        // A child's rectangle is in content coordinates.
        *rect = platform::Offset(*rect, -m_nScrollX, -m_nScrollY);
        rect->left = std::max<LONG>(rect->left, 0);
        rect->top = std::max<LONG>(rect->top, 0);
        rect->right = std::min<LONG>(rect->right, Width());
        rect->bottom = std::min<LONG>(rect->bottom, Height());
    }
    IxView::Invalidate(mode, rect, origin);
}

void IxListView::Paint(IxPaintRecord* record)
{
    if (!record)
        return;
    IxOriginShift shift(*record->dc, &record->clip, m_rc.left, m_rc.top);
    DrawBackground(record);
    const RECT area = platform::Intersect(GetContentRect(), record->clip);
    if (platform::IsEmpty(area))
        return;
    const RECT saved = record->clip;
    record->clip = area;
    record->dc->PushClip(area);
    Draw(record);
    record->dc->PopClip();
    record->clip = saved;
}

void IxListView::Draw(IxPaintRecord* record)
{
    // Content dragged past either end uncovers tiles of the overscroll image.
    if (m_pOverscroll && m_nItemWidth > 0 && m_nItemHeight > 0) {
        const int axis = Horizontal() ? 0 : 1;
        const int offset = axis == 0 ? m_nScrollX : m_nScrollY;
        const int pitch = axis == 0 ? m_nItemWidth + m_nColumnGap : m_nItemHeight + m_nRowGap;
        const RECT area = GetContentRect();
        auto tile = [&](int from, int to) {
            for (int at = from; at < to; at += pitch) {
                const RECT rc = axis == 0 ? RECT{at, area.top, at + m_nItemWidth, area.bottom}
                                          : RECT{area.left, at, area.right, at + m_nItemHeight};
                m_pOverscroll->Draw(record->dc, rc, &record->clip);
            }
        };
        const int start = axis == 0 ? area.left : area.top;
        if (offset < 0)
            tile(start, start - offset);
        const int beyond = offset - MaxOffset(axis);
        if (beyond > 0) {
            const int end = start + (axis == 0 ? ViewportWidth() : ViewportHeight());
            tile(end - beyond, end);
        }
    }
    IxOriginShift shift(*record->dc, &record->clip, -m_nScrollX, -m_nScrollY);
    PaintChildren(record);
}

int IxListView::Query(int code, LPARAM* out)
{
    switch (code) {
    case IXQ_LISTCURRENT:
        return m_nCurrent;
    case IXQ_LISTLINECOUNT:
        return LineCount();
    case IXQ_LISTFIRSTLINE:
        return FirstVisibleLine();
    case IXQ_LISTITEM:
    case IXQ_LISTITEMVALUE:
        if (IxElement* item = PickElement(out ? static_cast<int>(*out) : IXLI_LASTITEM))
            return item->Query(code == IXQ_LISTITEM ? 2 : 9, out);
        return 0;
    case IXQ_LISTSELECTEDVALUE:
        if (IxElement* item = PickElement(IXLI_SELECTEDITEM))
            return item->Query(9, out);
        return 0;
    case IXQ_LISTSELECTED:
        if (m_dwStyle & IXLS_MULTISELECT) {
            if (auto* positions = reinterpret_cast<IxArray<int>*>(out)) {
                positions->RemoveAll();
                for (int i = 0; i < m_selection.Count(); ++i)
                    positions->Add(m_bRecycled ? m_selection[i] - m_nTop : m_selection[i]);
            }
            return m_selection.Count();
        }
        return m_bRecycled ? (m_nSelected < 0 ? -1 : m_nSelected - m_nTop) : IndexOfFirstSelected();
    default:
        return IxView::Query(code, out);
    }
}

int IxListView::OnChildNotify(int kind, LPARAM data, IxElement* sender, IxElement* origin)
{
    if (kind == IXCN_NOTICE && data && sender && sender->GetParent() == this) {
        const auto* record = reinterpret_cast<const IxNoticeRecord*>(data);
        const int code = IxActionKind(record->dwWord);
        if (code == AEV_CLICK || code == AEV_LONGPRESS || code == AEV_SHORTPRESS) {
            const int index = IndexOf(sender);
            if (m_dwStyle & IXLS_MULTISELECT)
                SetSelectedIndex(index, FALSE, TRUE);
            else if (index != m_nSelected)
                SetSelectedIndex(index, FALSE, TRUE);
            if (code == AEV_CLICK)
                PostElementNotify(this, m_nId, AEV_CLICK, index);
            return 1;
        }
    }
    return IxView::OnChildNotify(kind, data, sender, origin);
}

int IxListView::SetProperty(int id, LPARAM value)
{
    const int v = static_cast<int>(value);
    switch (id) {
    case IXP_LISTCURRENT:
        if (v == IXLI_NEXT || v == IXLI_PREVIOUS)
            SetCurrentIndex(StepIndex(m_nCurrent, v == IXLI_NEXT ? 1 : -1), TRUE, TRUE);
        else
            SetCurrentIndex(v, TRUE, TRUE);
        return 1;
    case IXP_LISTSELECT:
        if (v == IXLI_SELECTALL || v == IXLI_CLEARALL) {
            m_selection.RemoveAll();
            m_nSelected = -1;
            if (v == IXLI_SELECTALL && (m_dwStyle & IXLS_MULTISELECT))
                for (int i = 0; i < GetCount(); ++i)
                    m_selection.Add(i);
            if (m_bRecycled)
                Rebind();
            else
                SelectAllChildren(v == IXLI_SELECTALL, TRUE);
            Redraw();
        } else if (!(m_dwStyle & IXLS_MULTISELECT) && (v == IXLI_NEXT || v == IXLI_PREVIOUS)) {
            SetSelectedIndex(StepIndex(m_nSelected, v == IXLI_NEXT ? 1 : -1), TRUE, TRUE);
        } else {
            SetSelectedIndex(v, TRUE, TRUE);
        }
        return 1;
    case IXP_LISTTOLINE:
    case IXP_LISTBYLINES: {
        if (HasFlag(IXF_GESTURE)) {
            OnEvent(IXEV_GESTUREENDED, 0);
            Settle(0, 0);
            return 1;
        }
        const int axis = Horizontal() ? 0 : 1;
        int lines = id == IXP_LISTBYLINES ? v : (v >= 0 ? v - FirstVisibleLine() : 1);
        if (m_bRecycled) {
            if (Paged())
                lines = lines > 0 ? 1 : (lines < 0 ? -1 : 0);
            return MoveTop(lines);
        }
        return ScrollByLines(axis, lines, Wraps(), FALSE, TRUE);
    }
    default:
        return IxView::SetProperty(id, value);
    }
}
