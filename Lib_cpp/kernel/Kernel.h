// The kernel: the one object through which elements, screens and models
// reach the framework's central services. It holds who listens to which
// actions, who subscribes to a single action id, the timers of all elements,
// the focus and the requests that the end of the outermost busy bracket
// carries out. The kernel frame creates it and owns the data its tables
// point into (action queue, timer table). User-interface thread only.
#pragma once

#include "Lib_cpp/core/Containers.h"
#include "platform/Types.h"

class IxElement;
class IxKernelFrame;

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

// Action kinds.
enum : int {
    AEV_PRESS = 4096,
    AEV_RELEASE = 4097,
    AEV_FAILED = 4098,
    AEV_ABORT = 4099,
    AEV_BEGIN = 4100,
    AEV_COMPLETE = 4102,
    AEV_ATTACH = 4128,
    AEV_DETACH = 4129,
};

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
    const DWORD* pFilter; // owned by the caller
    IxElement* pView;     // null: removed, compacted later
};

struct IxSubscription {
    int nId;
    IxArray<IxElement*> views{5}; // oldest first; null slots are removed views
};

// The interval's sign carries the state: > 0 requested, < 0 running (the
// period is its magnitude), 0 cancelled. A null target marks a free entry.
// The window timer of entry i has the id i + 1.
struct IxTimerEntry {
    IxElement* pTarget;
    int nInterval;
    UINT_PTR uId;
};

// Window requests, carried out at the end of the outermost busy bracket.
enum : int {
    IXWR_NONE = 0,
    IXWR_CLOSE = 1,
    IXWR_SHOW = 2,
    IXWR_HIDE = 3,
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
    IxKernel(IxKernelFrame* frame, IxRing* queue, IxArray<IxTimerEntry>* timers);
    ~IxKernel();
    IxKernel(const IxKernel&) = delete;
    IxKernel& operator=(const IxKernel&) = delete;

    // Appends a listener pair (no duplicate check). 0 when memory runs out.
    BOOL AddListener(const DWORD* filter, IxElement* view);
    // Clears the view of the first pair with both equal; the table shrinks at
    // the end of the outermost busy bracket.
    void RemoveListener(const DWORD* filter, IxElement* view);
    // Appends the view to the subscribers of id (the entry is made when
    // missing). A view subscribed twice is called twice.
    BOOL Subscribe(int id, IxElement* view);
    // Clears the first occurrence of the view among the subscribers of id.
    void Unsubscribe(int id, IxElement* view);

    // Requests the timer (target, id); an existing one is replaced. An
    // interval of 0 or less only cancels.
    BOOL SetTimer(IxElement* target, UINT_PTR id, int intervalMs);
    // id 0 cancels every timer of the target.
    void KillTimer(IxElement* target, UINT_PTR id);
    BOOL IsTimerSet(IxElement* target, UINT_PTR id) const;

    // Synchronous broadcast of the action (service 4).
    void Broadcast(int id, int kind, LPARAM value);

    // Called by the end of the outermost busy bracket: drops removed
    // listeners and subscribers (order kept) and empty subscription entries.
    // Does nothing while a broadcast walks the tables.
    void Compact();
    // Removes every trace of an element that is being deleted.
    void Forget(IxElement* element);

    IxKernelFrame* GetFrame() const { return m_pFrame; }
    IxRing* GetQueue() const { return m_pQueue; }
    IxArray<IxTimerEntry>* GetTimers() const { return m_pTimers; }
    IxElement* GetFocus() const { return m_pFocus; }

    const IxArray<IxListenerPair>& Listeners() const { return m_listeners; }
    const IxArray<IxSubscription*>& Subscriptions() const { return m_subscriptions; }
    IxSubscription* FindSubscription(int id) const;

    // Per-pass state, public like the original's fields: handlers set the
    // requests, the end of the outermost bracket carries them out.
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
    int m_nSoftKeyRequest = 0;
    IxElement* m_pCaptureTarget = nullptr;
    int m_nTuning[3] = {100, 35, 2};
    // Broadcasts in progress; compaction waits until none is.
    int m_nWalks = 0;

private:
    friend class IxKernelFrame;

    IxKernelFrame* m_pFrame;
    IxRing* m_pQueue;
    IxArray<IxTimerEntry>* m_pTimers;
    IxArray<IxListenerPair> m_listeners{8};
    IxArray<IxSubscription*> m_subscriptions{8};
    IxElement* m_pFocus = nullptr;
};

// The process's kernel; null before the kernel frame exists.
IxKernel* IxGetKernel();

// Queues {(id & 0xffff) | kind << 16, value} on the global kernel's action
// queue. Returns the new entry, null when there is no kernel or the queue
// cannot grow (the action is lost).
IxRingEntry* PushGlobalAction(int id, int kind, LPARAM value);
