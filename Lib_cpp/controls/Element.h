// The element: root class of everything shown on the screen.
//
// An element has an id, a word of state flags, a rectangle in its parent's
// coordinates and a parent; the kernel drives it through the virtual
// operations below. IxView adds a list of children.
#pragma once

#include "Lib_cpp/controls/ElementCodes.h"
#include "Lib_cpp/core/Containers.h"
#include "Lib_cpp/kernel/Receiver.h"
#include "platform/base/Types.h"

class IxDC;
class IxElement;
class IxImage;
struct IxTextInput;

// What Paint draws with: the drawing context and the clip rectangle in the
// element's coordinates.
struct IxPaintRecord {
    IxDC* dc;
    RECT clip;
};

// Creation record read by Create and by the OnCreate of the subclasses;
// subclasses append their own words.
struct IxElementParams {
    int nId;
    DWORD dwFlags;
    int x;
    int y;
    int nWidth;
    int nHeight;
    int nContentKind;
    LPARAM lContentValue; // read only together with a content kind
    int nContentLength;

    // Zeroes every word except the content value.
    void Clear();
    void Set(int left, int top, int width, int height, int id, DWORD flags);
};

// A notice handed at once up the parent chain (OnChildNotify kind 1).
struct IxNoticeRecord {
    DWORD dwWord;
    LPARAM lValue;
};

// Record of event 20: a notice from a descendant.
struct IxChildNoticeEvent {
    DWORD dwWord;
    LPARAM lValue;
    IxElement* pSender;
    IxElement* pOrigin;
    LPARAM lReserved;
};

// Record of events 21 to 24.
struct IxChildDataEvent {
    LPARAM lData;
    IxElement* pSender;
    IxElement* pOrigin;
};

// Watches an element across calls that may delete it: Alive() turns false
// when the element's destructor runs. Walks that call out into handlers
// (events, notices, input) hold one and stop touching the element once it
// is gone. Lives on the stack; user-interface thread only.
class IxElementWatch {
public:
    explicit IxElementWatch(IxElement* element);
    ~IxElementWatch();
    IxElementWatch(const IxElementWatch&) = delete;
    IxElementWatch& operator=(const IxElementWatch&) = delete;

    bool Alive() const { return m_pElement != nullptr; }
    IxElement* Get() const { return m_pElement; }

private:
    friend class IxElement;
    IxElement* m_pElement;
    IxElementWatch* m_pNext = nullptr;
};

// A weak reference to an element that may live on the heap and cross
// threads: Get() turns null once the element's destructor has run. The
// shared link is reference-counted (any thread); the element itself is only
// read on the user-interface thread. A worker that must report back to an
// element (a picture request) keeps one and posts it with Detach; the
// user-interface thread takes it back with Adopt.
class IxElementRef {
public:
    IxElementRef() = default;
    explicit IxElementRef(IxElement* element);
    IxElementRef(const IxElementRef& other);
    IxElementRef& operator=(const IxElementRef& other);
    ~IxElementRef();

    IxElement* Get() const;
    // Hands the reference over as a message word (0 for an empty one);
    // this object is empty afterwards.
    LPARAM Detach();
    // Takes back a reference handed over by Detach.
    static IxElementRef Adopt(LPARAM word);

private:
    friend class IxElement;
    struct Link;
    explicit IxElementRef(Link* link) : m_pLink(link) {}
    Link* m_pLink = nullptr;
};

// The node is the link in the parent's child list; the receiver side takes
// the kernel's actions and timers.
class IxElement : public IxListNode, public IxReceiver {
public:
    IxElement();
    // Tells the kernel to forget the element (focus, timers, listeners,
    // subscriptions, layers), unlinks it from its parent's child list when it
    // is still linked, and tells every watch that it is gone.
    virtual ~IxElement();
    IxElement(const IxElement&) = delete;
    IxElement& operator=(const IxElement&) = delete;

    // Virtual operations, in the order of the element's table.
    LRESULT OnEvent(int code, LPARAM param) override;
    int ActionIsInvoked(int code, int kind, LPARAM param) override;
    virtual void GetRect(RECT* out) const;
    virtual BOOL SetFocus();
    // Keyboard navigation travels up to the root (which answers 0). An
    // answer of 1 means done; another non-zero answer is the element that
    // performs the code (its OnKey).
    virtual LRESULT NotifyParent(int code, IxElement* source);
    // Performs a navigation code (IXNAV_*). Non-zero when done.
    virtual int OnKey(int code);
    // Takes a text record (a character or the soft keyboard's input).
    // Non-zero when taken.
    virtual int TakeTextInput(const IxTextInput* input);
    virtual IxElement* FindTarget(int inputCode, POINT point);
    virtual int OnInput(int code, LPARAM data);
    virtual void Move(int left, int top, int nearZ, int right, int bottom, int farZ, BOOL redraw);
    // Modes: 0 repaint rect (null = whole element), 1 mark update pending,
    // 2 mark layout pending. rect is moved in place into the parent's
    // coordinates on its way up.
    virtual void Invalidate(int mode, RECT* rect, IxElement* origin);
    virtual void Paint(IxPaintRecord* record);
    virtual int Layout(LPARAM arg);
    virtual void Draw(IxPaintRecord* record) = 0;
    virtual int Query(int code, LPARAM* out);
    // Kind 1: data is an IxNoticeRecord*; kinds 4..7: any data.
    virtual int OnChildNotify(int kind, LPARAM data, IxElement* sender, IxElement* origin);
    // 1 build, 2 attach, 3 resume, 4 pause, 5 detach.
    virtual void SetState(int state, LPARAM param);
    // Kernel requests travel up to the root; code 20 carries the asking element in a.
    virtual LRESULT Control(int code, LPARAM a, LPARAM b);
    // Kind 1: by id. Returns the element found; with out, appends every match.
    // from = this, stop = null searches outward; stop = this only the subtree.
    virtual IxElement* FindElement(int kind, int id, IxArray<IxElement*>* out, IxElement* from, IxElement* stop);
    virtual int SetProperty(int id, LPARAM value);
    virtual int OnCreate(const IxElementParams* params);
    // The platform window of a child-window view; null for drawn elements.
    virtual HWND GetChildWindow() const { return nullptr; }

    // Sets id, flags and rectangle from the record, then OnCreate unless the
    // element is created on activation (then 1).
    int Create(const IxElementParams* params);

    int GetId() const { return m_nId; }
    void SetId(int id) { m_nId = id; }
    DWORD GetFlags() const { return m_dwFlags; }
    bool HasFlag(DWORD flag) const { return (m_dwFlags & flag) != 0; }
    void SetFlags(DWORD set, DWORD clear) { m_dwFlags = (m_dwFlags & ~clear) | set; }
    // Hidden or layout pending: not repainted by rectangle.
    bool IsHiddenOrLaidOut() const { return HasFlag(IXF_HIDDEN | IXF_LAYOUTPENDING); }
    IxElement* GetParent() const { return m_pParent; }
    void SetParent(IxElement* parent) { m_pParent = parent; }
    int Width() const { return m_rc.right - m_rc.left; }
    int Height() const { return m_rc.bottom - m_rc.top; }
    void SetRectNow(const RECT& rc) { m_rc = rc; }

    // Coordinates. The screen is the root's coordinate space: the origins of
    // the element and of each ancestor that has a parent are counted.
    void ScreenToLocal(POINT* point) const;
    void ScreenToLocalRect(RECT* rect) const;
    // Return the root.
    IxElement* LocalToScreen(POINT* point) const;
    IxElement* LocalToScreenRect(RECT* rect) const;
    // 1 when other is this element or one of its descendants.
    BOOL IsAncestorOf(const IxElement* other) const;
    void GetClientRect(RECT* out) const;
    // Moves only when left, top, right or bottom changes; no redraw while hidden.
    void SetRect(int left, int top, int nearZ, int right, int bottom, int farZ, BOOL redraw);
    void MoveTo(int x, int y, BOOL redraw);
    // Last pointer position (kernel service 10) in element coordinates.
    BOOL GetCursorPos(POINT* out);

    // Alignment by the flags: end gives box - content, centre half of it
    // (toward zero), start 0. The horizontal offset is never negative.
    int HorizontalOffset(int content, int box) const;
    int VerticalOffset(int content, int box) const;
    void AlignRect(int contentWidth, int contentHeight, RECT* out) const;

    // Activates (IXSS_BUILD and IXSS_ATTACH, repaint due) or deactivates
    // (IXSS_DETACH).
    void SetActive(BOOL on, LPARAM param);

    // Flag setters: each changes its bit only when it differs and then sends
    // its event with param. Enable, SetInputAllowed, Show and SetUnmarked take
    // the positive sense (1 clears the bit).
    void Enable(BOOL enable, LPARAM param);
    void SetInputAllowed(BOOL allow, LPARAM param);
    // IXEV_SHOWN and IXEV_HIDDEN go with 0; repaint redraws after showing,
    // before hiding.
    void Show(BOOL show, BOOL repaint);
    void SetSelected(BOOL on, LPARAM param);
    // The current item (IXF_CURRENT): it reports its own events to its owner.
    void SetCurrent(BOOL on, LPARAM param);
    void SetPressed(BOOL on, LPARAM param);
    void SetUnmarked(BOOL unmarked, LPARAM param);
    // Sends the value event (IXEV_VALUE).
    void SendValue(LPARAM value);
    // The unit's own names of these setters, after the bit or event each
    // one drives, for code written from the unit's documents.
    void SetReportEvents(BOOL on, LPARAM param) { SetCurrent(on, param); }
    void SetFlag40(BOOL on, LPARAM param) { SetPressed(on, param); }
    void SetFlag100(BOOL unmarked, LPARAM param) { SetUnmarked(unmarked, param); }
    void SendEvent27(LPARAM value) { SendValue(value); }

    // Sets the state image properties (IXP_IMAGENORMAL, ...PRESSED, ...DISABLED,
    // ...SELECTED, ...SELECTEDPRESSED, ...CURRENT) in this order; -1 skips.
    void SetProperties(LPARAM p2, LPARAM p5, LPARAM p3, LPARAM p6, LPARAM p7, LPARAM p4);
    // One of six per-state values by the flags; -1 means not given.
    LPARAM PickStateValue(LPARAM normal, LPARAM pressed, LPARAM disabled, LPARAM selected, LPARAM selectedPressed,
                          LPARAM current) const;

    // Draws the image over the client rectangle, within the paint clip.
    void DrawImage(IxPaintRecord* record, IxImage* image) const;
    // Draws the border image into the four strips around inner (top, right,
    // bottom, left; empty strips and strips outside the clip are skipped),
    // then the inner image into inner.
    void DrawFramed(IxPaintRecord* record, IxImage* innerImage, const RECT& inner, IxImage* border) const;

    // Repaints the whole element unless it is hidden or layout pending.
    void Redraw();
    // rect null: the whole element. The caller's rectangle is not changed.
    void InvalidateArea(const RECT* rect, int mode);
    void InvalidateElementRect(const RECT* rect);
    // Clamps rect in place to the client rectangle, then invalidates it.
    void InvalidateClamped(int mode, RECT* rect, IxElement* origin);
    // Marks the element for an immediate window update at the next
    // deferred-work flush.
    void MarkUpdate();
    // Layout, then both pending bits cleared. Returns 1.
    int ValidateNow(LPARAM arg);

    // The element from its sibling node.
    static IxElement* FromNode(IxListNode* node) { return static_cast<IxElement*>(node); }

protected:
    // Ends the element's gesture registration (kernel service 32).
    void EndGesture();
    // Press tracking. A move: the pressed state follows whether the pointer
    // is inside, with the notices re-entered and left; answers 1, or 0 when
    // the element went away. A release: without the pressed state only the
    // idle-release notice; else the state is cleared and released-inside
    // posted; TRUE when the press ends here and the element lives (the
    // caller's click follows).
    int TrackPressMove(bool inside);
    BOOL TrackPressRelease();

    int m_nId = 0;
    DWORD m_dwFlags = IXF_LAYOUTPENDING;
    RECT m_rc{0, 0, 0, 0};
    IxElement* m_pParent = nullptr;

private:
    friend class IxElementWatch;
    friend class IxElementRef;
    IxElementWatch* m_pWatches = nullptr;
    IxElementRef::Link* m_pLink = nullptr; // made by the first IxElementRef
};

// Reports an element's notice to its owner: the word (id & 0xffff) | code <<
// 16 goes at once up the parent chain with flag 0x100000, else on the
// kernel's action queue when the element's own id is 1 or more. Returns the
// parent's answer, 1 when queued, 0 when lost.
int PostElementNotify(IxElement* element, int id, int code, LPARAM value);

// The pressable element: hit rectangle, press tracking and Click.
class IxControl : public IxElement {
public:
    IxElement* FindTarget(int inputCode, POINT point) override;
    int OnInput(int code, LPARAM data) override;
    // With redraw MarkUpdate; notice 4096 with value; a 0x20000 element asks
    // for the whole frame to be redrawn.
    virtual void Click(LPARAM value, BOOL redraw);

    const RECT& GetHitRect() const { return m_rcHit; }
    void SetHitRect(const RECT& rc) { m_rcHit = rc; }

protected:
    // The point against the client rectangle (flag 0x200000) or the hit
    // rectangle; edges are inside.
    bool HitTest(POINT point) const;

    RECT m_rcHit{0, 0, 0, 0};
};
