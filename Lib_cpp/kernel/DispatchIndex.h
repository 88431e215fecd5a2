// Look-up tables that let a broadcast go straight to its receivers instead
// of testing every listener's filter and every subscription's id. Both are
// built from the kernel's tables at a moment when no broadcast walks them
// and are only read afterwards, so a walk can hold on to what it found while
// handlers change the tables; the kernel marks them stale on every change
// and walks the tables themselves until it can build them again.
#pragma once

#include "platform/base/Types.h"

#include <cstdint>
#include <utility>
#include <vector>

struct IxListenerPair;
struct IxSubscription;

// The listeners whose filter matches an action word, in table order. A
// filter row {id, kind} with both set is found under its own word, a row
// {id, 0} under the id, a row {0, kind} under the kind; an action therefore
// has at most three sorted runs of listener indexes, which may overlap.
// Unless that would take too much memory, the words of every id and kind
// that both have rows get a run of their own, so that every action finds
// one run.
class IxListenerIndex {
public:
    struct Runs {
        const int* begin[3];
        const int* end[3];
        int count;
    };

    // Most listener indexes that the merged runs of ids with kinds may add.
    static constexpr std::size_t kMergedLimit = 1 << 16;

    // Indexes the pairs (null filters and removed pairs have no rows). False
    // when memory ran out: the index then stays stale.
    BOOL Build(const IxListenerPair* pairs, int count, std::size_t mergedLimit = kMergedLimit);
    void Invalidate() { m_bValid = FALSE; }
    BOOL IsValid() const { return m_bValid; }
    // The runs of listener indexes whose filter matches word. They stay
    // readable until the next Build.
    void Find(DWORD word, Runs* runs) const;

private:
    struct Slot {
        DWORD key; // 0: free (a zero row ends a filter, so it is never a key)
        int first;
        int count;
    };
    const Slot* Lookup(DWORD key) const;

    BOOL m_bValid = FALSE;
    BOOL m_bMerged = FALSE; // every word of an id and a kind with rows has its own run
    // One bit per 16-bit id that some row names, and per kind of a {0, kind}
    // row: most actions that nobody listens for need no look-up.
    std::vector<std::uint64_t> m_idBits;
    std::vector<std::uint64_t> m_kindBits;
    unsigned m_nShift = 32;
    std::vector<Slot> m_slots;
    std::vector<int> m_indexes;
    std::vector<std::pair<DWORD, int>> m_rows; // scratch of Build, kept for its capacity
};

// Takes the next listener index of the runs in ascending order, each index
// once; false when the runs are exhausted.
inline bool IxNextListener(IxListenerIndex::Runs& runs, int* index)
{
    if (runs.count == 1) {
        if (runs.begin[0] == runs.end[0])
            return false;
        *index = *runs.begin[0]++;
        return true;
    }
    int next = -1;
    for (int k = 0; k < runs.count; ++k) {
        if (runs.begin[k] != runs.end[k] && (next < 0 || *runs.begin[k] < next))
            next = *runs.begin[k];
    }
    if (next < 0)
        return false;
    for (int k = 0; k < runs.count; ++k) {
        if (runs.begin[k] != runs.end[k] && *runs.begin[k] == next)
            ++runs.begin[k];
    }
    *index = next;
    return true;
}

// The subscription entry of each id (there is at most one per id).
class IxSubscriptionIndex {
public:
    BOOL Build(IxSubscription* const* entries, int count);
    void Invalidate() { m_bValid = FALSE; }
    BOOL IsValid() const { return m_bValid; }
    // Null when nobody subscribed to id.
    IxSubscription* Find(int id) const;

private:
    struct Slot {
        int nId;
        IxSubscription* pEntry; // null: free
    };

    BOOL m_bValid = FALSE;
    // One bit per 16-bit id (an action's id, sign-extended) that has an entry.
    std::vector<std::uint64_t> m_idBits;
    unsigned m_nShift = 32;
    std::vector<Slot> m_slots;
};
