#include "Lib_cpp/frame/LayerStack.h"

#include "Lib_cpp/controls/Element.h"

int IxLayerStack::Insert(const IxLayerEntry& entry)
{
    const DWORD m = IxLayerMagnitude(entry.nPriority);
    int index = m_entries.Count();
    for (int i = 0; i < m_entries.Count(); ++i) {
        if (IxLayerMagnitude(m_entries[i].nPriority) > m) {
            index = i;
            break;
        }
    }
    IxLayerEntry* slot = m_entries.InsertGap(index, 1);
    if (!slot)
        return -1;
    *slot = entry;
    return index;
}

int IxLayerStack::IndexOfView(int viewId) const
{
    if (viewId == 0)
        return m_entries.Count() - 1;
    for (int i = 0; i < m_entries.Count(); ++i) {
        if (m_entries[i].pView->GetId() == viewId)
            return i;
    }
    return -1;
}

IxElement* IxLayerStack::FindView(int viewId) const
{
    int index = IndexOfView(viewId);
    return index >= 0 ? m_entries[index].pView : nullptr;
}

int IxLayerStack::LastOwnedBy(const IxElement* owner) const
{
    for (int i = m_entries.Count() - 1; i >= 0; --i) {
        if (m_entries[i].pOwner == owner)
            return i;
    }
    return -1;
}

int IxLayerStack::LastWithPriority(int priority) const
{
    for (int i = m_entries.Count() - 1; i >= 0; --i) {
        if (m_entries[i].nPriority == priority)
            return i;
    }
    return -1;
}

int IxLayerStack::FirstBelowKept() const
{
    for (int i = 0; i < m_entries.Count(); ++i) {
        if (IxLayerMagnitude(m_entries[i].nPriority) < static_cast<DWORD>(IXLAYER_KEEP))
            return i;
    }
    return -1;
}
