// The element: root class of everything shown on the screen.
//
// An element has an id, a word of state flags, a rectangle in its parent's
// coordinates and a parent; the kernel drives it through the virtual
// operations below. IxView adds a list of children.
#pragma once

#include "Lib_cpp/core/Containers.h"
#include "platform/Types.h"

class IxDC;

// Flag word of an element.
enum : DWORD {
    IXF_REPEAT = 0x1,                    // takes the repeated press (input 2)
    IXF_SELECTED = 0x10,
    IXF_CURRENT = 0x20,                  // current item: reports its own events as notice 4103
    IXF_PRESSED = 0x40,
    IXF_MARKED = 0x100,
    IXF_HIDDEN = 0x200,
    IXF_DISABLED = 0x400,
    IXF_NOINPUT = 0x800,
    IXF_HCENTER = 0x1000,
    IXF_HEND = 0x2000,
    IXF_VCENTER = 0x4000,
    IXF_VEND = 0x8000,
    IXF_CLICKONPRESS = 0x10000,
    IXF_INVALIDATEALL = 0x20000,         // a click redraws the whole frame; on the frame: update pending
    IXF_STRETCH = 0x40000,
    IXF_NOTARGET = 0x80000,
    IXF_DIRECTNOTIFY = 0x100000,
    IXF_HITCLIENT = 0x200000,
    IXF_FOCUSONCLICK = 0x400000,
    IXF_RUNNING = 0x1000000,
    IXF_OWNSLAYER = 0x2000000,
    IXF_GESTURE = 0x4000000,
    IXF_DETACHCHECK = 0x8000000,
    IXF_ACTIVE = 0x10000000,
    IXF_CREATEONACTIVATE = 0x20000000,
    IXF_LAYOUTPENDING = 0x40000000,
    IXF_UPDATEPENDING = 0x80000000,
    IXF_PENDING = IXF_LAYOUTPENDING | IXF_UPDATEPENDING,
};

// Element events (OnEvent codes) used by the kernel.
enum : int {
    IXEV_ATTACHED = 1,
    IXEV_FOCUSIN = 10,
    IXEV_FOCUSOUT = 11,
    IXEV_DETACHED = 17,
    IXEV_TIMER = 36,
    IXEV_LAYERCLOSED = -1,
    IXEV_HANDBACK = -2,
};

// What Paint draws with: the drawing context and the clip rectangle in the
// element's coordinates.
struct IxPaintRecord {
    IxDC* dc;
    RECT clip;
};

class IxElement : public IxListNode { // the node is the link in the parent's child list
public:
    IxElement();
    // Tells the kernel to forget the element (focus, timers, listeners,
    // subscriptions, layers), so that nothing in it points to a dead element.
    virtual ~IxElement();
    IxElement(const IxElement&) = delete;
    IxElement& operator=(const IxElement&) = delete;

    // Virtual operations, in the order of the element's table.
    virtual LRESULT OnEvent(int code, LPARAM param);
    virtual int ActionIsInvoked(int code, int kind, LPARAM param);
    virtual void GetRect(RECT* out) const;
    virtual BOOL SetFocus();
    virtual int NotifyParent(int code, IxElement* source);
    virtual IxElement* FindTarget(int inputCode, POINT point);
    virtual int OnInput(int code, LPARAM data);
    virtual void Move(int left, int top, int nearZ, int right, int bottom, int farZ, BOOL redraw);
    virtual void Invalidate(int mode, RECT* rect, IxElement* origin);
    virtual void Paint(IxPaintRecord* record);
    virtual int Layout(LPARAM arg);
    virtual void Draw(IxPaintRecord* record) = 0;
    virtual int Query(int code, LPARAM* out);
    virtual int OnChildNotify(int kind, LPARAM data, IxElement* sender, IxElement* origin);
    virtual void SetState(int state, LPARAM param);
    virtual LRESULT Control(int code, LPARAM a, LPARAM b);
    // Kind 1: by id. Returns the element found; with out, appends every match.
    virtual IxElement* FindElement(int kind, int id, IxArray<IxElement*>* out, IxElement* from, IxElement* stop);
    virtual int SetProperty(int id, LPARAM value);
    virtual int OnCreate(const void* params);

    int GetId() const { return m_nId; }
    void SetId(int id) { m_nId = id; }
    DWORD GetFlags() const { return m_dwFlags; }
    bool HasFlag(DWORD flag) const { return (m_dwFlags & flag) != 0; }
    void SetFlags(DWORD set, DWORD clear) { m_dwFlags = (m_dwFlags & ~clear) | set; }
    IxElement* GetParent() const { return m_pParent; }
    void SetParent(IxElement* parent) { m_pParent = parent; }
    int Width() const { return m_rc.right - m_rc.left; }
    int Height() const { return m_rc.bottom - m_rc.top; }
    void SetRectNow(const RECT& rc) { m_rc = rc; }

    // Activates (states 1 and 2, repaint due) or deactivates (state 5).
    void SetActive(BOOL on, LPARAM param);
    // Repaints the whole element unless it is hidden or layout pending.
    void Redraw();
    // Marks the element for an immediate window update at the next
    // deferred-work flush.
    void MarkUpdate();

    // The element from its sibling node.
    static IxElement* FromNode(IxListNode* node) { return static_cast<IxElement*>(node); }

protected:
    int m_nId = 0;
    DWORD m_dwFlags = IXF_LAYOUTPENDING;
    RECT m_rc{0, 0, 0, 0};
    IxElement* m_pParent = nullptr;
};

// An element with children. It owns them and deletes them with itself.
class IxView : public IxElement {
public:
    IxView() = default;
    ~IxView() override;

    void Draw(IxPaintRecord*) override {}
    IxElement* FindElement(int kind, int id, IxArray<IxElement*>* out, IxElement* from, IxElement* stop) override;
    void SetState(int state, LPARAM param) override;

    // Links the child at the end and makes this view its parent; a running
    // view activates the child.
    void AddChild(IxElement* child);
    // Unlinks the child (deactivating it when both are active); not deleted.
    void RemoveChild(IxElement* child);
    const IxList& Children() const { return m_children; }

protected:
    IxList m_children;
};
