// The frame's layer stack: the views shown over each other, ordered by the
// magnitude of their priorities (a later push of an equal magnitude goes
// above the earlier ones), each with the element that owns it and the focus
// it saved. The stack only keeps the order; the frame activates, deletes and
// reports the views.
#pragma once

#include "Lib_cpp/core/Containers.h"
#include "Lib_cpp/kernel/ServiceCodes.h"
#include "platform/base/Types.h"

#include <cstdint>

class IxElement;

struct IxLayerEntry {
    IxElement* pView;
    IxElement* pOwner; // may be null: the frame deletes the view when the layer goes
    int nPriority;
    int nSavedFocusId; // id of the element that had the focus at the push, or 0
};

// The stack is sorted by the magnitude of the priorities.
inline DWORD IxLayerMagnitude(int priority)
{
    return priority < 0 ? 0u - static_cast<DWORD>(priority) : static_cast<DWORD>(priority);
}

// Priority of the top layer of level n: IXLAYER_TOP - n above 0, the
// negative magnitude for 0 and below.
inline int IxTopLayerPriority(int level)
{
    if (level > 0)
        return IXLAYER_TOP - level;
    int magnitude = level == INT32_MIN ? INT32_MAX : -level;
    return -(IXLAYER_TOP - magnitude);
}

// Whether the priority is one of the kept top layers (IXLAYER_KEEP to
// IXLAYER_TOP by magnitude), which the hook does not hear of.
inline bool IxIsKeptLayer(int priority)
{
    DWORD m = IxLayerMagnitude(priority);
    return m >= static_cast<DWORD>(IXLAYER_KEEP) && m <= static_cast<DWORD>(IXLAYER_TOP);
}

class IxLayerStack {
public:
    int Count() const { return m_entries.Count(); }
    const IxLayerEntry& operator[](int index) const { return m_entries[index]; }
    const IxArray<IxLayerEntry>& Entries() const { return m_entries; }

    // Inserts above every entry of the same or a lower magnitude; the index
    // of the new entry, -1 when the stack cannot grow.
    int Insert(const IxLayerEntry& entry);
    void RemoveAt(int index) { m_entries.RemoveAt(index); }
    void RemoveAll() { m_entries.RemoveAll(); }

    // The index of the layer of the view id (0: the top one), -1 when none.
    int IndexOfView(int viewId) const;
    // The view of that layer, or null.
    IxElement* FindView(int viewId) const;
    // The topmost layer that the element owns, -1 when none.
    int LastOwnedBy(const IxElement* owner) const;
    // The topmost layer of the priority, -1 when none.
    int LastWithPriority(int priority) const;
    // The lowest layer below the kept top layers, -1 when none.
    int FirstBelowKept() const;

private:
    IxArray<IxLayerEntry> m_entries{8};
};
