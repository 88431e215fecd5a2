#include "Lib_cpp/kernel/Kernel.h"

#include "Lib_cpp/core/Diag.h"

#include <new>
#include <utility>

namespace {

IxKernel* g_pKernel = nullptr;

} // namespace

BOOL IxMatchesFilter(const DWORD* table, DWORD word)
{
    if (!table)
        return FALSE;
    DWORD id = word & 0xFFFF;
    DWORD kind = word >> 16;
    for (const DWORD* row = table; *row; ++row) {
        DWORD rowId = *row & 0xFFFF;
        DWORD rowKind = *row >> 16;
        if (rowId == id && (rowKind == 0 || rowKind == kind))
            return TRUE;
        if (rowId == 0 && rowKind == kind)
            return TRUE;
    }
    return FALSE;
}

IxKernel* IxGetKernel()
{
    return g_pKernel;
}

void IxBroadcast(WORD id, WORD code, LPARAM value)
{
    if (IxKernel* kernel = IxGetKernel())
        kernel->Broadcast(id, code, value);
}

IxRingEntry* PushGlobalAction(int id, int kind, LPARAM value)
{
    IxKernel* kernel = g_pKernel;
    if (!kernel || !kernel->GetQueue())
        return nullptr;
    IxRingEntry* slot = kernel->GetQueue()->PushSlot();
    if (!slot)
        return nullptr;
    *slot = IxRingEntry{IxActionWord(id, kind), value};
    return slot;
}

IxKernel::IxKernel(IxKernelHost* host, IxRing* queue, IxArray<IxTimerEntry>* timers)
    : m_pHost(host), m_pQueue(queue), m_pTimers(timers)
{
    g_pKernel = this;
}

IxKernel::~IxKernel()
{
    for (int i = 0; i < m_subscriptions.Count(); ++i)
        delete m_subscriptions[i];
    for (int i = 0; i < m_records.Count(); ++i)
        delete m_records[i].pRecord;
    for (int i = 0; i < m_pressObservers.Count(); ++i)
        delete m_pressObservers[i].pObserver;
    if (g_pKernel == this)
        g_pKernel = nullptr;
}

// ---------------------------------------------------------------------------
// Listeners and subscribers

BOOL IxKernel::AddListener(const DWORD* filter, IxReceiver* receiver)
{
    m_listenerIndex.Invalidate();
    return m_listeners.Add(IxListenerPair{filter, receiver});
}

void IxKernel::RemoveListener(const DWORD* filter, IxReceiver* receiver)
{
    for (int i = 0; i < m_listeners.Count(); ++i) {
        IxListenerPair& pair = m_listeners[i];
        if (pair.pFilter == filter && pair.pReceiver == receiver) {
            pair.pReceiver = nullptr;
            m_bCompactListeners = TRUE;
            return;
        }
    }
}

IxSubscription* IxKernel::FindSubscription(int id) const
{
    for (int i = 0; i < m_subscriptions.Count(); ++i) {
        if (m_subscriptions[i]->nId == id)
            return m_subscriptions[i];
    }
    return nullptr;
}

BOOL IxKernel::Subscribe(int id, IxReceiver* receiver)
{
    IxSubscription* entry = FindSubscription(id);
    if (!entry) {
        entry = new (std::nothrow) IxSubscription{id};
        if (!entry) {
            IxRecordError(IXERR_NOMEMORY);
            return FALSE;
        }
        if (!m_subscriptions.Add(entry)) {
            delete entry;
            return FALSE;
        }
        m_subscriptionIndex.Invalidate();
    }
    return entry->receivers.Add(receiver);
}

void IxKernel::Unsubscribe(int id, IxReceiver* receiver)
{
    IxSubscription* entry = FindSubscription(id);
    if (!entry)
        return;
    int i = entry->receivers.IndexOfValue(receiver);
    if (i < 0 || !receiver)
        return;
    entry->receivers[i] = nullptr;
    m_bCompactSubscriptions = TRUE;
}

void IxKernel::Compact()
{
    if (m_nWalks > 0)
        return;
    if (m_bCompactListeners) {
        int kept = 0;
        for (int i = 0; i < m_listeners.Count(); ++i) {
            if (m_listeners[i].pReceiver)
                m_listeners[kept++] = m_listeners[i];
        }
        while (m_listeners.Count() > kept)
            m_listeners.RemoveAt(m_listeners.Count() - 1);
        m_listenerIndex.Invalidate();
    }
    if (m_bCompactSubscriptions) {
        for (int i = 0; i < m_subscriptions.Count();) {
            IxSubscription* entry = m_subscriptions[i];
            int kept = 0;
            for (int j = 0; j < entry->receivers.Count(); ++j) {
                if (entry->receivers[j])
                    entry->receivers[kept++] = entry->receivers[j];
            }
            while (entry->receivers.Count() > kept)
                entry->receivers.RemoveAt(entry->receivers.Count() - 1);
            if (kept == 0) {
                m_subscriptions.RemoveAt(i);
                delete entry;
                m_subscriptionIndex.Invalidate();
            } else {
                ++i;
            }
        }
    }
    m_bCompactListeners = FALSE;
    m_bCompactSubscriptions = FALSE;
}

LRESULT IxKernel::Service(int code, void* record, LPARAM value)
{
    return m_pHost ? m_pHost->Service(code, record, value) : 0;
}

void IxKernel::Broadcast(int id, int kind, LPARAM value)
{
    IxActionRecord record{IxActionWord(id, kind), value};
    Service(IXSVC_BROADCAST, &record, 0);
}

void IxKernel::FlagFrame()
{
    Service(IXSVC_FLAGFRAME, nullptr, 0);
}

void IxKernel::DrainQueue()
{
    Service(IXSVC_DRAIN, nullptr, 0);
}

void IxKernel::PushLayer(IxElement* view, IxElement* owner, int priority)
{
    IxLayerRecord record{view, owner};
    Service(IXSVC_PUSH, &record, priority);
}

void IxKernel::PushTopLayer(IxElement* view, IxElement* owner, int level)
{
    IxLayerRecord record{view, owner};
    Service(IXSVC_PUSHTOP, &record, level);
}

void IxKernel::MarkUpdateAll(IxElement*)
{
    if (IxKernel* kernel = IxGetKernel()) {
        kernel->RequestInvalidateAll();
    }
}

IxKeyedRecord* IxKernel::GetRecord(int key, BOOL create)
{
    for (int i = 0; i < m_records.Count(); ++i) {
        if (m_records[i].nKey == key)
            return m_records[i].pRecord;
    }
    if (!create)
        return nullptr;
    auto* record = new (std::nothrow) IxKeyedRecord;
    if (!record || !m_records.Add(KeyedEntry{key, record})) {
        delete record;
        return nullptr;
    }
    return record;
}

void IxKernel::RemoveRecord(int key)
{
    for (int i = 0; i < m_records.Count(); ++i) {
        if (m_records[i].nKey == key) {
            delete m_records[i].pRecord;
            m_records.RemoveAt(i);
            return;
        }
    }
}

// ---------------------------------------------------------------------------
// Input tables

BOOL IxKernel::AddKeyReceiver(IxElement* element)
{
    if (!element)
        return FALSE;
    if (IsKeyReceiver(element))
        return TRUE;
    return m_keyReceivers.Add(element);
}

void IxKernel::RemoveKeyReceiver(IxElement* element)
{
    int i = m_keyReceivers.IndexOfValue(element);
    if (i >= 0 && element)
        m_keyReceivers.RemoveAt(i);
}

BOOL IxKernel::IsKeyReceiver(const IxElement* element) const
{
    for (int i = 0; i < m_keyReceivers.Count(); ++i) {
        if (m_keyReceivers[i] == element)
            return TRUE;
    }
    return FALSE;
}

BOOL IxKernel::MapKey(UINT key, int command)
{
    for (int i = 0; i < m_keyMap.Count(); ++i) {
        if (m_keyMap[i].uKey == key) {
            m_keyMap[i].nCommand = command;
            return TRUE;
        }
    }
    return m_keyMap.Add(IxKeyMapEntry{key, command});
}

void IxKernel::UnmapKey(UINT key)
{
    for (int i = 0; i < m_keyMap.Count(); ++i) {
        if (m_keyMap[i].uKey == key) {
            m_keyMap.RemoveAt(i);
            return;
        }
    }
}

int IxKernel::MappedCommand(UINT key) const
{
    for (int i = 0; i < m_keyMap.Count(); ++i) {
        if (m_keyMap[i].uKey == key)
            return m_keyMap[i].nCommand;
    }
    return 0;
}

BOOL IxKernel::AddAccessGesture(const IxAccessRect* table, int viewId)
{
    if (!table)
        return FALSE;
    for (int i = 0; i < m_accessGestures.Count(); ++i) {
        if (m_accessGestures[i].pTable == table) {
            m_accessGestures[i].nViewId = viewId;
            m_accessGestures[i].nProgress = 0;
            return TRUE;
        }
    }
    return m_accessGestures.Add(IxAccessGesture{table, viewId, 0});
}

void IxKernel::RemoveAccessGesture(const IxAccessRect* table)
{
    for (int i = 0; i < m_accessGestures.Count(); ++i) {
        if (m_accessGestures[i].pTable == table) {
            m_accessGestures.RemoveAt(i);
            return;
        }
    }
}

BOOL IxKernel::AddKeySequence(const UINT* table, int viewId)
{
    if (!table)
        return FALSE;
    for (int i = 0; i < m_keySequences.Count(); ++i) {
        if (m_keySequences[i].pTable == table) {
            m_keySequences[i].nViewId = viewId;
            m_keySequences[i].nProgress = 0;
            return TRUE;
        }
    }
    return m_keySequences.Add(IxKeySequence{table, viewId, 0});
}

void IxKernel::RemoveKeySequence(const UINT* table)
{
    for (int i = 0; i < m_keySequences.Count(); ++i) {
        if (m_keySequences[i].pTable == table) {
            m_keySequences.RemoveAt(i);
            return;
        }
    }
}

BOOL IxKernel::AddPressObserver(int actionId, LPARAM value, IxPressObserver* observer)
{
    if (!observer)
        return FALSE;
    if (!m_pressObservers.Add(IxPressObserverEntry{actionId, value, observer})) {
        delete observer;
        return FALSE;
    }
    return TRUE;
}

void IxKernel::RemovePressObserver(IxPressObserver* observer)
{
    for (int i = 0; i < m_pressObservers.Count(); ++i) {
        if (m_pressObservers[i].pObserver == observer) {
            m_pressObservers.RemoveAt(i);
            delete observer;
            return;
        }
    }
}

// ---------------------------------------------------------------------------
// Timers

BOOL IxKernel::SetTimer(IxReceiver* target, UINT_PTR id, int intervalMs)
{
    if (!target || !m_pTimers)
        return FALSE;
    IxArray<IxTimerEntry>& timers = *m_pTimers;
    bool placed = intervalMs <= 0; // a non-positive interval only cancels
    for (int i = 0; i < timers.Count(); ++i) {
        IxTimerEntry& entry = timers[i];
        if (!entry.pTarget) {
            if (!placed) {
                entry = IxTimerEntry{target, intervalMs, id};
                placed = true;
            }
            continue;
        }
        if (entry.pTarget == target && entry.uId == id && entry.nInterval != 0) {
            if (entry.nInterval > 0)
                entry.pTarget = nullptr; // never started: free at once
            else
                entry.nInterval = 0; // running: killed at the next synchronisation
        }
    }
    if (!placed)
        return timers.Add(IxTimerEntry{target, intervalMs, id});
    return TRUE;
}

void IxKernel::KillTimer(IxReceiver* target, UINT_PTR id)
{
    if (!target || !m_pTimers)
        return;
    IxArray<IxTimerEntry>& timers = *m_pTimers;
    for (int i = 0; i < timers.Count(); ++i) {
        IxTimerEntry& entry = timers[i];
        if (entry.pTarget != target || entry.nInterval == 0 || (id != 0 && entry.uId != id))
            continue;
        if (entry.nInterval > 0)
            entry.pTarget = nullptr;
        else
            entry.nInterval = 0;
        if (id != 0)
            return;
    }
}

BOOL IxKernel::IsTimerSet(IxReceiver* target, UINT_PTR id) const
{
    if (!target || !m_pTimers)
        return FALSE;
    const IxArray<IxTimerEntry>& timers = *m_pTimers;
    for (int i = 0; i < timers.Count(); ++i) {
        const IxTimerEntry& entry = timers[i];
        if (entry.pTarget == target && entry.uId == id && entry.nInterval != 0)
            return TRUE;
    }
    return FALSE;
}

// ---------------------------------------------------------------------------

void IxKernel::ForgetReceiver(IxReceiver* receiver)
{
    if (!receiver)
        return;
    for (int i = 0; i < m_listeners.Count(); ++i) {
        if (m_listeners[i].pReceiver == receiver) {
            m_listeners[i].pReceiver = nullptr;
            m_bCompactListeners = TRUE;
        }
    }
    for (int i = 0; i < m_subscriptions.Count(); ++i) {
        IxArray<IxReceiver*>& receivers = m_subscriptions[i]->receivers;
        for (int j = 0; j < receivers.Count(); ++j) {
            if (receivers[j] == receiver) {
                receivers[j] = nullptr;
                m_bCompactSubscriptions = TRUE;
            }
        }
    }
    // A cancelled running entry keeps its target until the next
    // synchronisation; it is never delivered to and never dereferenced.
    KillTimer(receiver, 0);
}

void IxKernel::ForgetElement(IxElement* element)
{
    if (!element)
        return;
    if (m_pFocus == element)
        m_pFocus = nullptr;
    if (m_pCaptureTarget == element)
        m_pCaptureTarget = nullptr;
    RemoveKeyReceiver(element);
    if (m_pPointerNoticeView == element)
        m_pPointerNoticeView = nullptr;
    if (m_pHost)
        m_pHost->ForgetElement(element);
}

void IxKernel::PostAction(int id, int kind, LPARAM value)
{
    if (m_pHost)
        m_pHost->PostAction(id, kind, value);
}

void IxKernel::Deliver(DWORD word, LPARAM value)
{
    int id = IxActionId(word);
    int kind = IxActionKind(word);
    // The indexes are rebuilt only between walks: a walk in progress may be
    // reading them.
    if (m_nWalks == 0) {
        if (!m_listenerIndex.IsValid())
            m_listenerIndex.Build(m_listeners.Data(), m_listeners.Count());
        if (!m_subscriptionIndex.IsValid())
            m_subscriptionIndex.Build(m_subscriptions.Data(), m_subscriptions.Count());
    }
    // The tables only grow during the walk: removals clear slots and the
    // compaction waits until no walk runs. Entries added during the walk do
    // not receive the action that is being delivered.
    BeginWalk();
    bool accepted = false;
    // There is at most one entry per id.
    if (IxSubscription* entry = m_subscriptionIndex.IsValid() ? m_subscriptionIndex.Find(id) : FindSubscription(id)) {
        for (int j = entry->receivers.Count() - 1; j >= 0; --j) {
            IxReceiver* view = entry->receivers[j];
            if (view && view->ActionIsInvoked(id, kind, value)) {
                accepted = true;
                break;
            }
        }
    }
    if (accepted) {
        if (m_bDeferredWork && m_pHost)
            m_pHost->FlushDeferredWork();
    } else if (m_listenerIndex.IsValid()) {
        // Only listeners of the table as indexed, that is, as it stood when
        // this walk began; a listener removed meanwhile has a null view.
        IxListenerIndex::Runs runs;
        m_listenerIndex.Find(word, &runs);
        int i;
        while (IxNextListener(runs, &i)) {
            IxReceiver* receiver = m_listeners[i].pReceiver;
            if (!receiver)
                continue;
            receiver->ActionIsInvoked(id, kind, value);
            if (m_bDeferredWork && m_pHost)
                m_pHost->FlushDeferredWork();
        }
    } else {
        int count = m_listeners.Count();
        for (int i = 0; i < count; ++i) {
            IxListenerPair pair = m_listeners[i];
            if (!pair.pReceiver || !IxMatchesFilter(pair.pFilter, word))
                continue;
            pair.pReceiver->ActionIsInvoked(id, kind, value);
            if (m_bDeferredWork && m_pHost)
                m_pHost->FlushDeferredWork();
        }
    }
    EndWalk();
}

void IxKernel::BeginPass()
{
    m_bInvalidateAll = FALSE;
    m_nWindowRequest = IXWR_NONE;
    m_caretRequest.width = kIxNoCaret;
    m_nSoftKeyRequest = 0;
}

IxArray<int> IxKernel::TakePopLater()
{
    IxArray<int> batch(std::move(m_popLater));
    m_popLater = IxArray<int>(8);
    return batch;
}

int IxKernel::TakeWindowRequest()
{
    int request = m_nWindowRequest;
    m_nWindowRequest = IXWR_NONE;
    return request;
}

BOOL IxKernel::TakeCaretRequest(IxCaretRect* out)
{
    if (m_caretRequest.width == kIxNoCaret)
        return FALSE;
    *out = m_caretRequest;
    m_caretRequest.width = kIxNoCaret;
    return TRUE;
}
