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
    IXLS_HIDEOUTSIDE = 0x8, // items outside the visible area are marked (flag 0x100)
    IXLS_KEEPINVIEW = 0x10, // layout and count changes keep the current (else selected) item in view
    IXLS_OWNINPUT = 0x40,   // the list takes every pointer input itself
    IXLS_MOVEPIXELS = 0x200,
    IXLS_POLL = 0x400,
    IXLS_INDEXED = 0x800, // rebind on attach; presses and releases report data indices
    IXLS_MULTISELECT = 0x1000,
    IXLS_CLICKONRELEASE = 0x4000,
    IXLS_CLICKONPRESS = 0x8000,
    IXLS_DRAGMODES = 0xf0000,
    IXLS_SCROLLANYWHERE = 0x10000000, // a press on no item may still start a scroll
    IXLS_ANIMATED = 0x20000000,
};

// Values of the index properties: the next and the previous item, clear and
// select all.
enum : int {
    IXLI_NEXT = -2,
    IXLI_PREVIOUS = -3,
    IXLI_CLEARALL = -4,
    IXLI_SELECTALL = -5,
};

// Properties and queries of a list.
enum : int {
    IXP_LISTCURRENT = 8,
    IXP_LISTSELECT = 9,
    IXP_LISTTOLINE = 17,
    IXP_LISTBYLINES = 18,
    IXQ_LISTCURRENT = 1,
    IXQ_LISTLINECOUNT = 5,
    IXQ_LISTSELECTED = 6,
    IXQ_LISTFIRSTLINE = 7,
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
    void ClickAt(POINT point);

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
    IxElement* m_pPressed = nullptr;
    int m_nAutoScrollMs;
    int m_nEdgeWidth;
    int m_nEdgeHeight;
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
