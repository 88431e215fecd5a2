// The list and grid view: item elements of one size laid out in blocks of
// rows and columns, with a current (cursor) item, single or multiple
// selection, pixel scrolling with settle, paging and wrap-around.
//
// A recycled list (IxDataListView) keeps one page of item elements plus one
// spare line and binds them to data indices as it scrolls: element k shows
// data index top + k. Screens derive from it, give it its item elements,
// bind them (BindItem) and hear its notices: 4096 with the data index of a
// clicked item, 4106 with the scroll position after every change.
#pragma once

#include "Lib_cpp/controls/ItemDrag.h"
#include "Lib_cpp/controls/ListImageTable.h"
#include "Lib_cpp/controls/View.h"
#include "Lib_cpp/core/Containers.h"
#include "platform/base/Types.h"

class IxImage;

// Style bits of a list.
enum : DWORD {
    IXLS_HORIZONTAL = 0x1, // lines are columns, the list scrolls sideways
    IXLS_PAGED = 0x2,
    IXLS_WRAP = 0x4,
    IXLS_HIDEOUTSIDE = 0x8,  // items outside the visible area are marked (flag 0x100)
    IXLS_KEEPINVIEW = 0x10,  // layout and count changes keep the current (else selected) item in view
    IXLS_OWNINPUT = 0x40,    // the list takes every pointer input itself
    IXLS_CURRENTLAST = 0x80, // the current item is painted over the others
    IXLS_MOVEPIXELS = 0x200, // scrolling moves the drawn pixels and paints the uncovered strip
    IXLS_POLL = 0x400,
    IXLS_INDEXED = 0x800, // rebind on attach; presses and releases report data indices
    IXLS_MULTISELECT = 0x1000,
    IXLS_SELECTONRELEASE = 0x4000, // a release selects (or clicks a selected item) instead of clicking
    IXLS_SELECTONREPEAT = 0x8000,  // the same for a double press
    // Item drags: a press on an item drags it at once (0x10000), makes it a
    // drag candidate (0x20000), or arms a long press (0x40000) or a swipe
    // (0x80000) that may become a drag or a scroll.
    IXLS_DRAGNOW = 0x10000,
    IXLS_DRAGCANDIDATE = 0x20000,
    IXLS_DRAGLONGPRESS = 0x40000,
    IXLS_DRAGSWIPE = 0x80000,
    IXLS_DRAGMODES = 0xf0000,
    IXLS_FOREIGNIMAGE = 0x100000,     // a drag from another list gets a drag image made here
    IXLS_REORDER = 0x200000,          // the dragged element moves within the child list
    IXLS_DROPTARGET = 0x400000,       // takes drops; hit only in the item area
    IXLS_DROPREPORT = 0x800000,       // a drop only reports the target item
    IXLS_AUTOSCROLL = 0x1000000,      // auto-scroll zones at the edges while dragging
    IXLS_DRAGOWNER = 0x2000000,       // the kernel's keyed record 0 names the list while it drags
    IXLS_COPYOUT = 0x4000000,         // items dropped on another list stay in this one
    IXLS_SCROLLANYWHERE = 0x10000000, // a press on no item may still start a scroll
    IXLS_ANIMATED = 0x20000000,
};

// Edge zones and step directions.
enum : int {
    IXLD_NONE = 0,
    IXLD_LEFT = 1,
    IXLD_RIGHT = 2,
    IXLD_UP = 3,
    IXLD_DOWN = 4,
};

// Values of the index properties: the next and the previous item, clear and
// select all.
enum : int {
    IXLI_NEXT = -2,
    IXLI_PREVIOUS = -3,
    IXLI_CLEARALL = -4,
    IXLI_SELECTALL = -5,
};

// Which item the item queries ask: besides a position, the last, the
// selected and the current item.
enum : int {
    IXLI_LASTITEM = -1,
    IXLI_SELECTEDITEM = -2,
    IXLI_CURRENTITEM = -3,
};

// Properties and queries of a list.
enum : int {
    IXP_LISTCURRENT = 8,
    IXP_LISTSELECT = 9,
    IXP_LISTTOLINE = 17,
    IXP_LISTBYLINES = 18,
    IXQ_LISTCURRENT = 1,
    IXQ_LISTITEM = 2, // *out: which item (IXLI_* or a position); answer: its query 2
    IXQ_LISTLINECOUNT = 5,
    IXQ_LISTSELECTED = 6,
    IXQ_LISTFIRSTLINE = 7,
    IXQ_LISTITEMVALUE = 8,     // *out: which item; answer: its query 9
    IXQ_LISTSELECTEDVALUE = 9, // the selected item's query 9
};

class IxListView : public IxView {
public:
    IxListView(int rowsPerBlock, int columnsPerBlock, int columnGap, int rowGap, DWORD style, int marginLeft,
               int marginTop, int marginRight, int marginBottom, int autoScrollMs, int edgeWidth, int edgeHeight);
    ~IxListView() override;

    LRESULT OnEvent(int code, LPARAM param) override;
    IxElement* FindTarget(int inputCode, POINT point) override;
    int OnInput(int code, LPARAM data) override;
    void Invalidate(int mode, RECT* rect, IxElement* origin) override;
    void Paint(IxPaintRecord* record) override;
    int Layout(LPARAM arg) override;
    void Draw(IxPaintRecord* record) override;
    int Query(int code, LPARAM* out) override;
    int OnChildNotify(int kind, LPARAM data, IxElement* sender, IxElement* origin) override;
    int SetProperty(int id, LPARAM value) override;

    // Adds item elements as children (the list owns them). A recycled list
    // then shows all but one line of them at once.
    void AddItemElements(IxElement* const* elements, int count);
    void AddItemElement(IxElement* element) { AddItemElements(&element, 1); }

    // Binds an item element to a data index (-1: nothing to show).
    virtual void BindItem(IxElement*, int) {}
    // Lays the items out again.
    virtual void Relayout(BOOL repaint);
    // Sends the scroll notice 4106.
    virtual void SendScrollNotice();
    // Steps one line left (1), right (2), up (3) or down (4).
    virtual int Step(int direction);
    // axis 0 x, 1 y.
    virtual int ScrollByLines(int axis, int count, BOOL wrap, BOOL animate, BOOL repaint);
    // x kIxListReset: both offsets to 0; a negative value keeps that axis.
    virtual int ScrollTo(int x, int y, BOOL animate, BOOL repaint);
    virtual void ScrollIntoView(const RECT& item);
    virtual int ScrollByDelta(int dx, int dy);
    // Moves the offsets to the nearest line boundaries within the content
    // (dx, dy: the direction the finger last moved). 0 when nothing moves.
    virtual int Settle(int dx, int dy);
    virtual int BeginScroll();

    // Removes item elements (the list deletes them) as far as the hooks
    // allow, lays the rest out again, repaints and clamps the offsets.
    virtual void RemoveItemElements(IxElement* const* elements, int count);
    // Item drags. A list makes the picture that follows the pointer
    // (MakeDragImage: index -1 when no item is dragged from here) and, for
    // items dropped from another list, the new item element; the default
    // makes none, so nothing is dragged. draggedId is the id of the drag
    // image (the kernel's drag record).
    virtual IxElement* MakeDragImage(int index, const RECT& rect, POINT point);
    virtual BOOL MayDrag(IxElement*) { return TRUE; }
    virtual BOOL MayDrop(int /*draggedId*/) { return TRUE; }
    virtual IxElement* MakeDroppedItem(int draggedId, const RECT& rect, POINT point);
    // A drop from another list: the target's data index (-1 none), the
    // dragged id, and whether an element was inserted for it (its index is
    // then given).
    virtual void ItemDropped(int /*index*/, int /*draggedId*/, BOOL /*inserted*/) {}
    virtual BOOL MayMoveItem(IxElement*) { return TRUE; }
    // Item elements were moved in the child list by a drop.
    virtual void ItemsMoved() {}
    virtual BOOL MayRemoveItems() { return TRUE; }
    virtual BOOL MayRemoveItem(IxElement*) { return TRUE; }
    virtual void ItemsRemoved() {}
    // The auto-scroll zone (IXLD_*) under a point in view coordinates; a
    // zone counts only while the list can still scroll that way.
    virtual int EdgeZoneAt(POINT point);

    // The number of data items; stops a running scroll, drops what lies
    // beyond the count and rebinds.
    void SetCount(int count, BOOL repaint);
    void SetCurrentIndex(int index, BOOL keepInView, BOOL repaint);
    void SetSelectedIndex(int index, BOOL keepInView, BOOL repaint);

    int GetCount() const { return m_bRecycled ? m_nCount : m_children.Count(); }
    int GetTopIndex() const { return m_nTop; }
    int GetCurrentIndex() const { return m_nCurrent; }
    int GetSelectedIndex() const { return m_nSelected; }
    int GetVisibleCount() const { return m_nVisible; }
    POINT GetScrollOffset() const { return POINT{m_nScrollX, m_nScrollY}; }
    // The item area: the view less its margins.
    RECT GetContentRect() const;
    void SetOverscrollImage(IxImage* image);
    DWORD GetStyle() const { return m_dwStyle; }
    // The exact position the scroll notice reports: the top index (first
    // visible line) and its largest value (line count). The notice packs
    // them in 16 bits each; see SendScrollNotice.
    void GetScrollRange(int* position, int* range) const;
    int GetAutoScrollDirection() const { return m_autoScroll.Direction(); }
    IxElement* GetDraggedElement() const { return m_pDragged; }

    static constexpr int kIxListReset = 0x7fffffff;

protected:
    bool Horizontal() const { return (m_dwStyle & IXLS_HORIZONTAL) != 0; }
    bool Paged() const { return (m_dwStyle & IXLS_PAGED) != 0; }
    bool Wraps() const { return (m_dwStyle & IXLS_WRAP) != 0; }
    // Items per line (per page when paged).
    int LineSize() const;
    int RoundedCount() const;
    int ViewportWidth() const;
    int ViewportHeight() const;
    int ContentWidth() const;
    int ContentHeight() const;
    int ScrollPosition(int axis) const;
    int MaxOffset(int axis) const;
    int LineCount() const;
    int FirstVisibleLine() const;
    int Pitch(int axis) const;
    // The item element at a position of the child list.
    IxElement* ElementAt(int position) const;
    // The data index an element shows (recycled), else its position.
    int IndexOf(IxElement* element) const;
    // The element that shows the index, null when none does.
    IxElement* ElementOf(int index) const;
    // An item element by position, or the current, the selected or (any
    // other negative value) the last one.
    IxElement* PickElement(int which) const;
    // The enabled item under a point in content coordinates.
    IxElement* ItemAt(POINT point) const;
    void Rebind();
    BOOL KeepInView(int index);
    // Keeps the index in view; when the top moved, rebinds, notifies and
    // repaints, and answers 1.
    BOOL BringIntoView(int index, BOOL repaint);
    int StepIndex(int from, int step) const;
    BOOL MoveTop(int lines);
    bool IsSelected(int index) const;
    void UpdateItemStates(IxElement* element, int index);
    // Style IXLS_HIDEOUTSIDE: marks the items outside the visible area.
    void MarkOutside();
    // After the offsets changed: hidden items, repaint and the notice.
    void Scrolled(BOOL repaint);
    // The click of a release (repeat: of a double press) at a point.
    void ClickAt(POINT point, BOOL repeat);
    // The pixel-moving repaint of style IXLS_MOVEPIXELS: only while nothing
    // is drawn over the list; MovePixels answers FALSE when the move is too
    // large and the whole list must be drawn.
    BOOL CanMovePixels() const;
    BOOL MovePixels(int dx, int dy);
    // Animated scrolling: the kernel's animation moves the offsets by the
    // deltas, reporting back as fling steps.
    BOOL Animate(int dx, int dy);
    // Brings the list's selection state in line with its elements' flags.
    void SyncSelection();

    // Item drag and drop.
    int PressForDrag(POINT point, IxElement* item);
    int BeginItemDrag(POINT point);
    void DragOver(POINT point);
    int DragEnter(POINT point);
    int DragLeave(POINT point);
    int Drop(POINT point);
    void DragEnded(BOOL dropped);
    void DragCancelled();
    void ClearDrag();
    // The enabled item under the point that takes a drop highlight.
    IxElement* DropItemAt(POINT point) const;
    // The elements a drag carries: the selection with multiple selection,
    // else the dragged element.
    void DraggedElements(IxArray<IxElement*>* out) const;
    void StartAutoScroll(int direction);
    void StopAutoScroll();
    void AutoScrollTick();
    void PollTick();
    static UINT_PTR PollTimer();
    static int& PollInterval();

    DWORD m_dwStyle;
    int m_nMargin[4];
    int m_nColumnGap;
    int m_nRowGap;
    int m_nRows;
    int m_nColumns;
    int m_nItemWidth = 0;
    int m_nItemHeight = 0;
    BOOL m_bRecycled = FALSE;
    int m_nCount = 0;
    int m_nVisible = 0;
    int m_nTop = 0;
    int m_nSelected = -1;
    IxArray<int> m_selection{8};
    int m_nCurrent = -1;
    IxElement* m_pAnchor = nullptr;  // the element before the dragged one when the drag began
    IxElement* m_pDragged = nullptr; // the dragged element, or the placeholder of a foreign one
    IxDropHover m_hover;             // the drop target item shown as current
    IxElement* m_pPressed = nullptr;
    int m_nAutoScrollMs;
    int m_nEdgeWidth;
    int m_nEdgeHeight;
    IxDragAutoScroll m_autoScroll;
    BOOL m_bSettling = FALSE;
    BOOL m_bQuietRebind = FALSE;
    IxImage* m_pOverscroll = nullptr;
    int m_nScrollX = 0;
    int m_nScrollY = 0;
    RECT m_rcContent{0, 0, 0, 0};
};

// The recycled list screens derive from.
class IxDataListView : public IxListView {
public:
    IxDataListView(int rowsPerBlock, int columnsPerBlock, int columnGap, int rowGap, DWORD style, int marginLeft,
                   int marginTop, int marginRight, int marginBottom, int autoScrollMs, int edgeWidth, int edgeHeight);

    // Request IXSVC_LISTIMAGE answers an image of the table.
    LRESULT Control(int code, LPARAM a, LPARAM b) override;
    // A click on an element inside an item queues {that element's id,
    // AEV_SELECTIONCHANGED} with the item's position.
    int OnChildNotify(int kind, LPARAM data, IxElement* sender, IxElement* origin) override;

    // Stores the image (the caller's reference passes) at an index of the
    // image table, or as one of the special images (IXLIMG_*).
    BOOL SetItemData(int index, IxImage* image) { return m_images.Set(index, image); }
    const IxListImageTable& Images() const { return m_images; }

private:
    IxListImageTable m_images;
};
