// The item container: a fixed set of item elements (one per visible row,
// laid out by the screen) rebound to data indices as the list moves by
// whole items, with a current item, a single selection or a set of selected
// items, and four optional companions the screen places beside it: a scroll
// indicator, a detail element bound to the selected item, and an up and a
// down button enabled only while the list can move that way.
//
// IxStringListView adds the data: a string and an image per item, shown by
// item buttons it builds in a grid.
//
// Notices to the owner, posted with the list's id: AEV_ITEMNOTICE (data
// index) before every click handling, the item's own code (AEV_CLICK,
// AEV_SHORTPRESS, AEV_LONGPRESS) when the click rules report it,
// AEV_SELECTIONCHANGED (the cause) and AEV_CURRENTCHANGED (the cause) unless
// the list's own IXEV_SELECTIONCHANGED / IXEV_CURRENTCHANGED takes them.
//
// Item drag and drop (IXICS_PRESSITEMS): a press on an item that may be
// dragged (any item with single selection, a selected one with multiple
// selection, and MayDrag agreeing) arms a drag; the drag carries that item,
// or the whole selection. Dropped within the list (IXICS_DROPTARGET) the
// items move to the drop index (MoveData), the selection goes with them and
// the owner hears AEV_SELECTIONCHANGED (IXIC_CAUSE_DROP) and AEV_CLICK (the
// selected index, -1 with multiple selection). Dropped on another list, that
// list inserts what the drag image carries (InsertDropped) and this one
// removes the items (RemoveData, last to first) and posts AEV_CLICK with -1.
// With IXICS_AUTOSCROLL a dragged item held over the first or last row (or
// in the edge zones) steps the list every repeat period of the kernel.
#pragma once

#include "Lib_cpp/controls/ItemDrag.h"
#include "Lib_cpp/controls/View.h"
#include "Lib_cpp/core/Containers.h"
#include "Lib_cpp/core/String.h"
#include "platform/base/Types.h"

class IxImage;

// Style bits of an item container.
enum : DWORD {
    IXICS_PAGED = 0x2, // the top moves in whole pages of visible count items
    IXICS_WRAP = 0x4,  // stepping past an end continues at the other
    IXICS_KEEPINVIEW = 0x10,
    IXICS_MULTISELECT = 0x1000,
    IXICS_NOSELECT = 0x2000,      // a click does not change the selection
    IXICS_CLICKSELECTED = 0x4000, // a click is reported only on the item already selected
    IXICS_PRESSITEMS = 0x20000,   // the list follows presses on its items itself
    IXICS_DROPTARGET = 0x400000,  // the whole view takes dragged items
    IXICS_AUTOSCROLL = 0x1000000, // steps while a dragged item is held over the first or last row
    IXICS_ITEMFLAGS = 0x21f000,   // what the string list passes on to its items
};

// Causes of the selection and current notices.
enum : int {
    IXIC_CAUSE_CLICK = 6,
    IXIC_CAUSE_PROPERTY = 7,
    IXIC_CAUSE_DROP = 8,
};

// Properties and queries of an item container (the values of IXP_LISTCURRENT
// and IXP_LISTSELECT are those of the list view: IXLI_NEXT, IXLI_PREVIOUS,
// IXLI_CLEARALL, IXLI_SELECTALL).
enum : int {
    IXP_ITEMCURRENT = 8,
    IXP_ITEMSELECT = 9,
    IXP_ITEMTOTOP = 17,
    IXP_ITEMBYITEMS = 18,
    IXP_ITEMINDICATOR = 20,
    IXP_INDICATORRANGE = 42, // to the indicator: range low 16 bits, position high 16 bits
    IXQ_ITEMCURRENT = 1,
    IXQ_ITEMCOUNT = 5,
    IXQ_ITEMSELECTION = 6, // multiple: out IxArray<int>* gets the indices, answer their number
    IXQ_ITEMTOP = 7,
    IXQ_INDICATORVALUE = 15,
};

// Properties of the string list.
enum : int {
    IXP_STRINGLISTIMAGES = 12, // IxArray<IxImage*>* (references pass; null = clear)
    IXP_STRINGLISTREMOVE = 13, // index; -1 or out of range: the last; below -1: the selected
    IXP_STRINGLISTCLEAR = 14,
    IXP_STRINGLISTSTRINGS = 25, // IxStringArray* (null = clear)
    IXP_STRINGLISTREPLACE = 26, // IxStringListEntry*
    IXP_STRINGLISTINSERT = 27,  // IxStringListEntry*; out of range: appended
};

struct IxStringListEntry {
    int nIndex;
    IxString text;
};

class IxItemContainerView : public IxView {
public:
    explicit IxItemContainerView(DWORD style);
    // Deletes the companions.
    ~IxItemContainerView() override;

    // Detach stops the auto-scroll; its timer steps the list.
    LRESULT OnEvent(int code, LPARAM param) override;
    IxElement* FindTarget(int inputCode, POINT point) override;
    int OnInput(int code, LPARAM data) override;
    int Layout(LPARAM arg) override;
    void Draw(IxPaintRecord* record) override;
    int Query(int code, LPARAM* out) override;
    int OnChildNotify(int kind, LPARAM data, IxElement* sender, IxElement* origin) override;
    int SetProperty(int id, LPARAM value) override;

    // Adds an item element (the list owns it); each one is a visible row.
    void AddItemElement(IxElement* element);
    // The companions (owned; each may be null). The indicator's parent is
    // the list.
    void SetCompanions(IxElement* indicator, IxElement* detail, IxElement* up, IxElement* down);

    // Binds an item element to a data index (-1: empty).
    virtual void BindItem(IxElement*, int) {}

    // Item drag and drop, supplied by the list that holds the data. Whether
    // the item at a data index may be dragged; whether a dragged element (its
    // id, -1: any) may be dropped here; whether it may land at a data index.
    virtual BOOL MayDrag(int) { return TRUE; }
    virtual BOOL MayDrop(int) { return TRUE; }
    virtual BOOL MayDropAt(int) { return TRUE; }
    // The element that follows the pointer while the items at the data
    // indices (ascending) are dragged; row is the pressed item element. The
    // default makes none, so nothing is dragged.
    virtual IxElement* MakeDragImage(const IxArray<int>&, IxElement*) { return nullptr; }
    // Moves the data of the item at from to index to (the items between move
    // by one); TRUE when it moved.
    virtual BOOL MoveData(int, int) { return FALSE; }
    // Inserts at a data index what an element dragged from another list
    // carries; the number of items inserted.
    virtual int InsertDropped(int, IxElement*) { return 0; }
    // Removes the data of the item at the index (it was dropped on another
    // list); TRUE when it was removed.
    virtual BOOL RemoveData(int) { return FALSE; }

    // Scrolls so that index is the top (paged: its page); 1 when it moved.
    BOOL ScrollToTop(int index, BOOL repaint);
    BOOL StepUp();
    BOOL StepDown();
    // Moves the top by count items (wrapping with IXICS_WRAP); the new top.
    int ScrollByItems(int count);
    // Single selection: selects index (-1 none); 1 when it changed.
    BOOL Select(int index, BOOL repaint, BOOL keepInView);
    // Sets the current index; 1 when it changed.
    BOOL SetCurrentIndex(int index, BOOL keepInView);
    // The data changed: indices out of range dropped, the top limited, all
    // rebound.
    void Relayout(BOOL repaint);

    int GetCount() const { return m_nCount; }
    int GetTopIndex() const { return m_nTop; }
    int GetSelectedIndex() const { return m_nSelected; }
    int GetCurrentIndex() const { return m_nCurrent; }
    int GetVisibleCount() const { return m_nVisible; }
    BOOL IsSelected(int index) const;
    const IxArray<int>& GetSelection() const { return m_selection; }

    static constexpr int kTopUnset = static_cast<int>(0x80000001);

protected:
    void SetCount(int count) { m_nCount = count < 0 ? 0 : count; }
    bool Multi() const { return (m_dwStyle & IXICS_MULTISELECT) != 0; }
    IxElement* ElementAt(int position) const;
    int PositionOf(IxElement* element) const;
    IxElement* ElementOf(int index) const;
    // The top a scroll to index gives.
    int LimitTop(int index) const;
    void Rebind();
    void UpdateCompanions();
    // The selection notice: IXEV_SELECTIONCHANGED first, else AEV_SELECTIONCHANGED.
    void SelectionNotice(int cause);
    void CurrentNotice(int cause);
    // An item at data index reported code (AEV_CLICK, AEV_SHORTPRESS,
    // AEV_LONGPRESS).
    void HandleClick(int index, int code);
    int StepFrom(int from, int value) const;
    // Removes index from the selection; 1 when it was there.
    BOOL Unselect(int index);
    // Index bookkeeping after the data changed: the selection, the selected
    // and current indices (and, on removal, the top) follow their items, and
    // the count changes with the data.
    void ItemsInserted(int index, int count);
    void ItemRemoved(int index);
    void ItemMoved(int from, int to);

    // Item drag and drop.
    int PressItem(IxElement* item);
    // The data indices a drag carries, ascending.
    void DraggedIndices(IxArray<int>* out) const;
    int BeginItemDrag(POINT point);
    void DragOver(POINT point);
    int DragLeave(POINT point);
    int Drop(POINT point);
    // A drop within the list: the dragged items move to the index.
    BOOL MoveDraggedTo(int index);
    void DragEnded(BOOL dropped);
    // IXLD_UP over the first row or in the top zone when the list can move
    // up, IXLD_DOWN likewise at the bottom, else IXLD_NONE.
    int EdgeZoneAt(POINT point) const;
    BOOL AutoScrollStep(int direction);
    // The enabled item element under a point, or null.
    IxElement* ItemAt(POINT point) const;

    IxElement* m_pIndicator = nullptr;
    IxElement* m_pDetail = nullptr;
    IxElement* m_pUp = nullptr;
    IxElement* m_pDown = nullptr;
    DWORD m_dwStyle;
    int m_nCount = 0;
    int m_nVisible = 0;
    int m_nPendingTop = -1;
    int m_nTop = kTopUnset;
    int m_nSelected = -1;
    IxArray<int> m_selection{8};
    int m_nCurrent = -1;
    IxElement* m_pPressed = nullptr;
    int m_nDragged = -1; // the data index the drag began on
    IxDropHover m_hover;
    // Sizes of the auto-scroll zones at the edges (0: none; the first and
    // last rows always count).
    int m_nEdgeHeight = 0;
    int m_nEdgeWidth = 0;
    IxDragAutoScroll m_autoScroll;
};

class IxStringListView : public IxItemContainerView {
public:
    // rows or columns 0: one per string given at creation; negative: its
    // magnitude. holdDelay 0: plain items, else each in a press wrapper.
    IxStringListView(int rows, int columns, int columnGap, int rowGap, DWORD style, int holdDelay);
    ~IxStringListView() override;

    int SetProperty(int id, LPARAM value) override;
    void BindItem(IxElement* element, int index) override;
    // The drag image: a button with the first dragged string in the pressed
    // row's font, wrapped in an IxTextListWrapper that carries every dragged
    // string (query IXQ_STRINGS).
    IxElement* MakeDragImage(const IxArray<int>& indices, IxElement* row) override;
    // A string and its image.
    BOOL MoveData(int from, int to) override;
    // The strings of the dragged element (query IXQ_STRINGS); only while
    // every item has its string.
    int InsertDropped(int index, IxElement* dragged) override;
    // Only while every item has its string.
    BOOL RemoveData(int index) override;

    // Shares the strings and builds the item elements from the view's size.
    BOOL CreateItems(const IxStringArray* strings);
    int GetStringCount() const { return m_strings.Count(); }
    IxString GetString(int index) const { return m_strings.At(index); }

private:
    void Reset();
    void RemoveItem(int index);
    BOOL RemoveStringAndImage(int index);
    BOOL InsertString(int index, const IxString& text);
    void RemoveAll();
    void ReleaseImages();
    int UpdateCount();

    IxStringArray m_strings{8};
    IxArray<IxImage*> m_images{8};
    int m_nRows;
    int m_nColumns;
    int m_nColumnGap;
    int m_nRowGap;
    int m_nHoldDelay;
};
