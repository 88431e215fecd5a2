// The kernel: the one object through which elements, screens and models
// reach the framework's central services. It holds who listens to which
// actions, who subscribes to a single action id, the timers of all elements,
// the focus and the requests that the end of the outermost busy bracket
// carries out. The kernel frame creates it and owns the data its tables
// point into (action queue, timer table). User-interface thread only.
#pragma once

#include "Lib_cpp/core/ActionCodes.h"
#include "Lib_cpp/core/Containers.h"
#include "Lib_cpp/kernel/DispatchIndex.h"
#include "Lib_cpp/kernel/EventCodes.h"
#include "Lib_cpp/kernel/Receiver.h"
#include "Lib_cpp/kernel/ServiceCodes.h"
#include "platform/base/Types.h"

class IxElement;

// Action word: id in the low 16 bits (a signed 16-bit number), kind in the
// high 16 bits.
inline DWORD IxActionWord(int id, int kind)
{
    return (static_cast<DWORD>(id) & 0xFFFF) | (static_cast<DWORD>(kind) << 16);
}
inline int IxActionId(DWORD word)
{
    return static_cast<SHORT>(word & 0xFFFF);
}
inline int IxActionKind(DWORD word)
{
    return static_cast<int>(word >> 16);
}

// A filter table is a zero-ended list of rows {id low 16 bits, kind high 16
// bits}. A row matches when its id equals the action's and its kind is 0 or
// the action's, or when its id is 0 and its kind is the action's. A null
// table matches nothing.
BOOL IxMatchesFilter(const DWORD* table, DWORD word);

// Timer ids are the address of the member that holds the timer's interval.
inline UINT_PTR IxTimerId(const void* member)
{
    return reinterpret_cast<UINT_PTR>(member);
}

struct IxListenerPair {
    const DWORD* pFilter;  // owned by the caller; its rows stay unchanged while registered
    IxReceiver* pReceiver; // null: removed, compacted later
};

struct IxSubscription {
    int nId;
    IxArray<IxReceiver*> receivers{5}; // oldest first; null slots are removed receivers
};

// The interval's sign carries the state: > 0 requested, < 0 running (the
// period is its magnitude), 0 cancelled. A null target marks a free entry.
// The window timer of entry i has the id i + 1.
struct IxTimerEntry {
    IxReceiver* pTarget;
    int nInterval;
    UINT_PTR uId;
};

// Record of the layer services: the view and the element that owns the
// layer (null: the frame deletes the view when the layer goes).
struct IxLayerRecord {
    IxElement* pView;
    IxElement* pOwner;
};

// Record of service 4.
struct IxActionRecord {
    DWORD dwAction;
    LPARAM lValue;
};

// A keyed record of the kernel: an element id and two arrays whose use is
// the creator's. Key 0 names the element that runs an item drag.
struct IxKeyedRecord {
    int nElementId = 0;
    IxArray<LPARAM> first{8};
    IxArray<LPARAM> second{8};
};
inline constexpr int kIxDragOwnerRecord = 0;

// Where the dragged view was grabbed and its size (the drag image service).
struct IxDragRecord {
    int nGrabX;
    int nGrabY;
    int nWidth;
    int nHeight;
};

// What BeginGesture hands the gesture and animation service (service 30;
// service 31 reads only the element and the distance limits): the element,
// the size of the visible area, the content's offset from it and the
// content's size, and eight values indexed by IXGV_*. The service's number
// argument is the record's mode: 0 free pixel scrolling, otherwise the step
// (in pixels) of stepped scrolling.
struct IxGestureRecord {
    IxElement* pElement;
    int nViewWidth;
    int nViewHeight;
    int nOffsetX;
    int nOffsetY;
    int nContentWidth;
    int nContentHeight;
    int values[8];
};
enum : int {
    IXGV_MAXOFFSETX = 0, // the largest offset (0: the content's start may not pass the area's start)
    IXGV_MAXOFFSETY = 1,
    IXGV_LIMITX = 2, // distance limit of a fling; below 1 unlimited
    IXGV_LIMITY = 3,
    IXGV_VELOCITYX = 4, // non-zero starts a fling at once
    IXGV_VELOCITYY = 5,
    IXGV_SPEEDX = 6, // pixels per fling step; 0 takes the frame's default
    IXGV_SPEEDY = 7,
};

// A touch rectangle of an access gesture in screen pixels, edges inside. A
// record whose left is kIxAccessEnd ends a table.
struct IxAccessRect {
    int left;
    int top;
    int right;
    int bottom;
};
inline constexpr int kIxAccessEnd = static_cast<int>(0x80000001);

// Registrations of the access-gesture and key-sequence matchers: the caller's
// table (not owned), the view id posted as {view id, 4096} when the whole
// sequence matched, and the index of the record to match next.
struct IxAccessGesture {
    const IxAccessRect* pTable;
    int nViewId;
    int nProgress;
};
struct IxKeySequence {
    const UINT* pTable; // zero-ended key codes
    int nViewId;
    int nProgress;
};

// A row of the key map: a virtual key and the command it stands for.
struct IxKeyMapEntry {
    UINT uKey;
    int nCommand;
};

// Follows the strokes of the pointer: the press point, every move point
// while the button is down, and at release, for a stroke with a direction,
// whether it takes the stroke. Points are in frame coordinates; the
// direction is the swipe class per axis (negative left or up, positive
// right or down, 0 none).
class IxPressObserver {
public:
    virtual ~IxPressObserver() = default;
    virtual void OnPress(POINT) {}
    virtual void OnMove(POINT) {}
    virtual BOOL AcceptStroke(int directionX, int directionY) = 0;
};
struct IxPressObserverEntry {
    int nActionId;
    LPARAM lValue;
    IxPressObserver* pObserver; // owned by the kernel
};

// Record of pointer notice event 15 (to the kernel's pointer-notice view):
// kind 0 press, 11 release; the point in frame coordinates.
struct IxPointerNotice {
    int nKind;
    POINT pt;
};

// Width of the caret request that means "no request".
inline constexpr int kIxNoCaret = static_cast<int>(0x80000001);

// A caret rectangle as position and size.
struct IxCaretRect {
    int x;
    int y;
    int width; // kIxNoCaret: no request
    int height;
};

class IxKernel {
public:
    IxKernel(IxKernelHost* host, IxRing* queue, IxArray<IxTimerEntry>* timers);
    ~IxKernel();
    IxKernel(const IxKernel&) = delete;
    IxKernel& operator=(const IxKernel&) = delete;

    // Appends a listener pair (no duplicate check). 0 when memory runs out.
    // The filter's rows must not change while the pair is registered: the
    // kernel indexes them.
    BOOL AddListener(const DWORD* filter, IxReceiver* receiver);
    // Clears the view of the first pair with both equal; the table shrinks at
    // the end of the outermost busy bracket.
    void RemoveListener(const DWORD* filter, IxReceiver* receiver);
    // Appends the view to the subscribers of id (the entry is made when
    // missing). A view subscribed twice is called twice.
    BOOL Subscribe(int id, IxReceiver* receiver);
    // Clears the first occurrence of the view among the subscribers of id.
    void Unsubscribe(int id, IxReceiver* receiver);

    // Requests the timer (target, id); an existing one is replaced. An
    // interval of 0 or less only cancels.
    BOOL SetTimer(IxReceiver* target, UINT_PTR id, int intervalMs);
    // id 0 cancels every timer of the target.
    void KillTimer(IxReceiver* target, UINT_PTR id);
    BOOL IsTimerSet(IxReceiver* target, UINT_PTR id) const;

    // Key receivers: elements that take characters and text records (an
    // element is added once).
    BOOL AddKeyReceiver(IxElement* element);
    void RemoveKeyReceiver(IxElement* element);
    BOOL IsKeyReceiver(const IxElement* element) const;
    const IxArray<IxElement*>& KeyReceivers() const { return m_keyReceivers; }
    // Key map: a mapped key reaches the program as its command (a hardware
    // key). Mapping a key again replaces its command.
    BOOL MapKey(UINT key, int command);
    void UnmapKey(UINT key);
    // 0 when the key is not mapped.
    int MappedCommand(UINT key) const;
    // Access gestures: registering a table again replaces its view id and
    // starts it over; removal is by table.
    BOOL AddAccessGesture(const IxAccessRect* table, int viewId);
    void RemoveAccessGesture(const IxAccessRect* table);
    IxArray<IxAccessGesture>& AccessGestures() { return m_accessGestures; }
    // Key sequences, as the access gestures.
    BOOL AddKeySequence(const UINT* table, int viewId);
    void RemoveKeySequence(const UINT* table);
    IxArray<IxKeySequence>& KeySequences() { return m_keySequences; }
    // Press observers: the kernel owns the observer from here on (also when
    // the table cannot grow: it is deleted then). Removal deletes it.
    BOOL AddPressObserver(int actionId, LPARAM value, IxPressObserver* observer);
    void RemovePressObserver(IxPressObserver* observer);
    const IxArray<IxPressObserverEntry>& PressObservers() const { return m_pressObservers; }

    // Calls the frame's service dispatcher; 0 without a frame.
    LRESULT Service(int code, void* record, LPARAM value);
    // Synchronous broadcast of the action (service 4).
    void Broadcast(int id, int kind, LPARAM value);
    // Sets the frame's update pending flag (service 13).
    void FlagFrame();
    // Broadcasts every queued action now (service 47).
    void DrainQueue();
    // Drains the queue, then pushes the view at the priority (service 40).
    void PushLayer(IxElement* view, IxElement* owner, int priority);
    // Drains the queue, then pushes the view as top layer of the level
    // (service 43).
    void PushTopLayer(IxElement* view, IxElement* owner, int level);

    // Sets the invalidate-all and deferred-work flags: the whole frame is
    // redrawn once the current message has been handled. The element is
    // not used.
    static void MarkUpdateAll(IxElement* element);

    // The record under key, made when create is set (null when memory runs
    // out or it is missing); RemoveRecord deletes it.
    IxKeyedRecord* GetRecord(int key, BOOL create);
    void RemoveRecord(int key);

    // Called by the end of the outermost busy bracket: drops removed
    // listeners and subscribers (order kept) and empty subscription entries.
    // Does nothing while a broadcast walks the tables.
    void Compact();
    // Removes every trace of a receiver that is being deleted: its
    // listeners, subscriptions and timers.
    void ForgetReceiver(IxReceiver* receiver);
    // Removes what the kernel and its frame hold of an element that is being
    // deleted (focus, capture, key input, layers); its receiver side goes
    // through ForgetReceiver.
    void ForgetElement(IxElement* element);
    // Posts {id, kind} with value to the frame window's queue.
    void PostAction(int id, int kind, LPARAM value);

    IxKernelHost* GetHost() const { return m_pHost; }
    IxRing* GetQueue() const { return m_pQueue; }
    IxArray<IxTimerEntry>* GetTimers() const { return m_pTimers; }
    IxElement* GetFocus() const { return m_pFocus; }

    const IxArray<IxListenerPair>& Listeners() const { return m_listeners; }
    const IxArray<IxSubscription*>& Subscriptions() const { return m_subscriptions; }
    IxSubscription* FindSubscription(int id) const;

    // Delivers the action to the subscribers of its id (newest first; one
    // that takes it ends the delivery) or, when none takes it, to every
    // listener whose filter matches, in registration order. Receivers added
    // during the walk do not hear this action; removed ones are skipped
    // (the tables are compacted only once no walk runs). Pending deferred
    // work is handed to the host after the subscriber that took the action
    // and after each listener.
    void Deliver(DWORD word, LPARAM value);
    // Walks over the tables in progress; compaction waits until none is.
    void BeginWalk() { ++m_nWalks; }
    void EndWalk() { --m_nWalks; }

    // ---- Requests of one pass ----
    // Handlers make them; the end of the outermost busy bracket carries them
    // out (the frame takes each one, which clears it).
    // Clears the requests of the previous pass (the bracket's start).
    void BeginPass();
    // The whole frame is redrawn once the current message has been handled.
    void RequestInvalidateAll()
    {
        m_bInvalidateAll = TRUE;
        m_bDeferredWork = TRUE;
    }
    BOOL TakeInvalidateAll() { return Take(m_bInvalidateAll); }
    // The main window is updated at the next deferred-work flush.
    void RequestUpdateNow()
    {
        m_bUpdateNow = TRUE;
        m_bDeferredWork = TRUE;
    }
    BOOL TakeUpdateNow() { return Take(m_bUpdateNow); }
    // The layer of the view id goes at the next deferred-work flush.
    void RequestPopLater(int viewId)
    {
        m_bDeferredWork = TRUE;
        m_popLater.Add(viewId);
    }
    // The view ids whose layers go now (the list starts empty again).
    IxArray<int> TakePopLater();
    BOOL HasDeferredWork() const { return m_bDeferredWork; }
    BOOL TakeDeferredWork() { return Take(m_bDeferredWork); }
    BOOL IsInvalidateAllRequested() const { return m_bInvalidateAll; }
    // IXWR_*; the last request of a pass wins.
    void RequestWindow(int request) { m_nWindowRequest = request; }
    int TakeWindowRequest();
    // The layers changed: the whole frame is due for repaint.
    void RequestRepaint() { m_bRepaint = TRUE; }
    BOOL IsRepaintRequested() const { return m_bRepaint; }
    BOOL TakeRepaint() { return Take(m_bRepaint); }
    // A soft key for the focused text control (a character above 1).
    void RequestSoftKey(int key) { m_nSoftKeyRequest = key; }
    int GetSoftKeyRequest() const { return m_nSoftKeyRequest; }
    void ClearSoftKeyRequest() { m_nSoftKeyRequest = 0; }
    // A caret rectangle for the main window; width kIxNoCaret is none.
    void RequestCaret(const IxCaretRect& caret) { m_caretRequest = caret; }
    BOOL HasCaretRequest() const { return m_caretRequest.width != kIxNoCaret; }
    // The request, cleared; false when there is none.
    BOOL TakeCaretRequest(IxCaretRect* out);
    void ClearCaretRequest() { m_caretRequest.width = kIxNoCaret; }
    // The period in ms of the timers that repeat while the pointer is held
    // (automatic scrolling of the text fields); 0 turns them off.
    int GetRepeatPeriod() const { return m_nTuning[0]; }
    void SetRepeatPeriod(int ms) { m_nTuning[0] = ms; }
    // The width in px of the caret that the text fields request.
    int GetCaretWidth() const { return m_nTuning[2]; }

    // ---- Pointer state ----
    // The element that keeps the pointer (the gesture's element or the
    // frame); null when it was deleted or detached.
    IxElement* GetCaptureTarget() const { return m_pCaptureTarget; }
    void SetCaptureTarget(IxElement* element) { m_pCaptureTarget = element; }
    // Clears the capture target when it is the element.
    void ReleaseCapture(const IxElement* element)
    {
        if (m_pCaptureTarget == element)
            m_pCaptureTarget = nullptr;
    }
    // Gets IXEV_POINTERNOTICE with every press and release (an idle-timer
    // view).
    IxElement* GetPointerNoticeView() const { return m_pPointerNoticeView; }
    void SetPointerNoticeView(IxElement* view) { m_pPointerNoticeView = view; }
    // Where the dragged view was grabbed and its size.
    IxDragRecord* GetDragRecord() { return &m_drag; }
    // Sets the focused element (the frame's focus service sends the events).
    void SetFocusElement(IxElement* element) { m_pFocus = element; }

private:
    static BOOL Take(BOOL& flag)
    {
        BOOL was = flag;
        flag = FALSE;
        return was;
    }

    int m_nLead = 1;
    BOOL m_bInvalidateAll = FALSE;
    int m_nWindowRequest = IXWR_NONE;
    BOOL m_bDeferredWork = FALSE;
    BOOL m_bUpdateNow = FALSE;
    IxArray<int> m_popLater{8}; // view ids whose layers go at the next flush
    BOOL m_bRepaint = FALSE;
    BOOL m_bCompactListeners = FALSE;
    BOOL m_bCompactSubscriptions = FALSE;
    IxCaretRect m_caretRequest{0, 0, kIxNoCaret, 0};
    IxDragRecord m_drag{0, 0, 0, 0};
    int m_nSoftKeyRequest = 0;
    IxElement* m_pCaptureTarget = nullptr;
    IxElement* m_pPointerNoticeView = nullptr;
    // Repeat period, (unused), caret width.
    int m_nTuning[3] = {100, 35, 2};
    int m_nWalks = 0; // broadcasts in progress

    IxKernelHost* m_pHost;
    IxRing* m_pQueue;
    IxArray<IxTimerEntry>* m_pTimers;
    IxArray<IxListenerPair> m_listeners{8};
    IxArray<IxSubscription*> m_subscriptions{8};
    IxListenerIndex m_listenerIndex;         // stale after any change of m_listeners
    IxSubscriptionIndex m_subscriptionIndex; // stale when an entry comes or goes
    IxArray<IxElement*> m_keyReceivers{8};
    IxArray<IxKeyMapEntry> m_keyMap{8};
    IxArray<IxAccessGesture> m_accessGestures{8};
    IxArray<IxKeySequence> m_keySequences{8};
    IxArray<IxPressObserverEntry> m_pressObservers{8};
    IxElement* m_pFocus = nullptr;
    struct KeyedEntry {
        int nKey;
        IxKeyedRecord* pRecord;
    };
    IxArray<KeyedEntry> m_records{8};
};

// The process's kernel; null before the kernel frame exists.
IxKernel* IxGetKernel();

// Delivers {id, code} with value through the kernel at once, on the calling
// (user-interface) thread. Does nothing before the kernel exists.
void IxBroadcast(WORD id, WORD code, LPARAM value);

// Queues {(id & 0xffff) | kind << 16, value} on the global kernel's action
// queue. Returns the new entry, null when there is no kernel or the queue
// cannot grow (the action is lost).
IxRingEntry* PushGlobalAction(int id, int kind, LPARAM value);
