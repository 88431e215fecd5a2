#include "Lib_cpp/kernel/DispatchIndex.h"

#include "Lib_cpp/kernel/Kernel.h"

#include <algorithm>
#include <new>

namespace {

// Open addressing over a power-of-two table at most half full.
unsigned ShiftFor(std::size_t keys)
{
    unsigned bits = 3;
    while ((std::size_t{1} << bits) < keys * 2)
        ++bits;
    return 32 - bits;
}

constexpr std::size_t kBitWords = 65536 / 64;

inline void SetBit(std::vector<std::uint64_t>& bits, DWORD value)
{
    bits[value >> 6] |= std::uint64_t{1} << (value & 63);
}

inline bool HasBit(const std::vector<std::uint64_t>& bits, DWORD value)
{
    return (bits[value >> 6] >> (value & 63)) & 1;
}

inline std::size_t Home(std::uint32_t key, unsigned shift)
{
    return static_cast<std::size_t>((key * 0x9E3779B1u) >> shift);
}

} // namespace

BOOL IxListenerIndex::Build(const IxListenerPair* pairs, int count, std::size_t mergedLimit)
{
    m_bValid = FALSE;
    try {
        m_rows.clear();
        for (int i = 0; i < count; ++i) {
            if (!pairs[i].pReceiver || !pairs[i].pFilter)
                continue;
            for (const DWORD* row = pairs[i].pFilter; *row; ++row)
                m_rows.emplace_back(*row, i);
        }
        std::sort(m_rows.begin(), m_rows.end());
        m_rows.erase(std::unique(m_rows.begin(), m_rows.end()), m_rows.end());
        // Where an id and a kind both have rows, the listeners of their word
        // are merged ahead, so that such an action finds one run: a row
        // {id, kind} joins the merged run of its word. Runs are kept as
        // {key, first row, end row} of the sorted rows.
        struct Run {
            DWORD key;
            std::size_t first, end;
        };
        std::vector<Run> ids, kinds;
        std::vector<DWORD> words; // keys of rows {id, kind}
        std::size_t idRows = 0, kindRows = 0;
        const std::size_t rows = m_rows.size();
        for (std::size_t r = 0; r < rows;) {
            const DWORD key = m_rows[r].first;
            std::size_t end = r + 1;
            while (end < rows && m_rows[end].first == key)
                ++end;
            if (!(key >> 16)) {
                ids.push_back(Run{key, r, end});
                idRows += end - r;
            } else if (!(key & 0xFFFF)) {
                kinds.push_back(Run{key, r, end});
                kindRows += end - r;
            } else {
                words.push_back(key);
            }
            r = end;
        }
        // The runs are sorted by key (the rows are).
        auto find = [](const std::vector<Run>& runs, DWORD key) -> const Run* {
            auto at
                = std::lower_bound(runs.begin(), runs.end(), key, [](const Run& run, DWORD k) { return run.key < k; });
            return at != runs.end() && at->key == key ? &*at : nullptr;
        };
        // A word that has rows of its own finds its run first: that run also
        // takes the rows {id, 0} of its id and {0, kind} of its kind.
        std::size_t wordRows = 0;
        for (DWORD word : words) {
            if (const Run* id = find(ids, word & 0xFFFF))
                wordRows += id->end - id->first;
            if (const Run* kind = find(kinds, word & 0xFFFF0000))
                wordRows += kind->end - kind->first;
        }
        const std::size_t extra = idRows * kinds.size() + kindRows * ids.size() + wordRows;
        m_bMerged = extra <= mergedLimit;
        if (m_bMerged) {
            m_rows.reserve(rows + extra);
            for (DWORD word : words) {
                for (const Run* run : {find(ids, word & 0xFFFF), find(kinds, word & 0xFFFF0000)}) {
                    if (!run)
                        continue;
                    for (std::size_t r = run->first; r < run->end; ++r)
                        m_rows.emplace_back(word, m_rows[r].second);
                }
            }
            for (const Run& id : ids) {
                for (const Run& kind : kinds) {
                    const DWORD word = id.key | kind.key;
                    for (std::size_t r = id.first; r < id.end; ++r)
                        m_rows.emplace_back(word, m_rows[r].second);
                    for (std::size_t r = kind.first; r < kind.end; ++r)
                        m_rows.emplace_back(word, m_rows[r].second);
                }
            }
            std::sort(m_rows.begin(), m_rows.end());
            m_rows.erase(std::unique(m_rows.begin(), m_rows.end()), m_rows.end());
        }
        std::size_t keys = 0;
        for (std::size_t r = 0; r < m_rows.size(); ++r)
            keys += r == 0 || m_rows[r].first != m_rows[r - 1].first;
        m_nShift = ShiftFor(keys);
        m_slots.assign(std::size_t{1} << (32 - m_nShift), Slot{0, 0, 0});
        m_indexes.resize(m_rows.size());
        m_idBits.assign(kBitWords, 0);
        m_kindBits.assign(kBitWords, 0);
    } catch (const std::bad_alloc&) {
        return FALSE;
    }
    for (const auto& row : m_rows) {
        if (row.first & 0xFFFF)
            SetBit(m_idBits, row.first & 0xFFFF);
        else
            SetBit(m_kindBits, row.first >> 16);
    }
    const std::size_t mask = m_slots.size() - 1;
    Slot* slot = nullptr;
    for (std::size_t r = 0; r < m_rows.size(); ++r) {
        const DWORD key = m_rows[r].first;
        if (r == 0 || key != m_rows[r - 1].first) {
            std::size_t at = Home(key, m_nShift);
            while (m_slots[at].key)
                at = (at + 1) & mask;
            slot = &m_slots[at];
            *slot = Slot{key, static_cast<int>(r), 0};
        }
        m_indexes[r] = m_rows[r].second;
        ++slot->count;
    }
    m_bValid = TRUE;
    return TRUE;
}

const IxListenerIndex::Slot* IxListenerIndex::Lookup(DWORD key) const
{
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t at = Home(key, m_nShift);; at = (at + 1) & mask) {
        const Slot& slot = m_slots[at];
        if (slot.key == key)
            return &slot;
        if (!slot.key)
            return nullptr;
    }
}

void IxListenerIndex::Find(DWORD word, Runs* runs) const
{
    runs->count = 0;
    const DWORD id = word & 0xFFFF;
    const DWORD kind = word >> 16;
    if (!HasBit(m_idBits, id) && !HasBit(m_kindBits, kind))
        return;
    // A row {id, kind} needs both; {id, 0} matches every kind of the id;
    // {0, kind} every id of the kind. With the merged runs, a word found
    // under its own key has all its listeners there, and otherwise at most
    // one of the id and the kind has any.
    const DWORD keys[3] = {id && kind ? word : 0, id, kind << 16};
    for (DWORD key : keys) {
        if (!key)
            continue;
        if (const Slot* slot = Lookup(key)) {
            const int* first = m_indexes.data() + slot->first;
            runs->begin[runs->count] = first;
            runs->end[runs->count] = first + slot->count;
            ++runs->count;
            if (m_bMerged)
                return;
        }
    }
}

BOOL IxSubscriptionIndex::Build(IxSubscription* const* entries, int count)
{
    m_bValid = FALSE;
    try {
        m_nShift = ShiftFor(static_cast<std::size_t>(count));
        m_slots.assign(std::size_t{1} << (32 - m_nShift), Slot{0, nullptr});
        m_idBits.assign(kBitWords, 0);
    } catch (const std::bad_alloc&) {
        return FALSE;
    }
    const std::size_t mask = m_slots.size() - 1;
    for (int i = 0; i < count; ++i) {
        std::size_t at = Home(static_cast<std::uint32_t>(entries[i]->nId), m_nShift);
        while (m_slots[at].pEntry) {
            // The first entry of an id is the one that receives its actions.
            if (m_slots[at].nId == entries[i]->nId)
                break;
            at = (at + 1) & mask;
        }
        if (!m_slots[at].pEntry)
            m_slots[at] = Slot{entries[i]->nId, entries[i]};
        // Only ids in the range of an action's id are ever asked for.
        if (entries[i]->nId >= -32768 && entries[i]->nId <= 32767)
            SetBit(m_idBits, static_cast<DWORD>(entries[i]->nId) & 0xFFFF);
    }
    m_bValid = TRUE;
    return TRUE;
}

IxSubscription* IxSubscriptionIndex::Find(int id) const
{
    if (id >= -32768 && id <= 32767 && !HasBit(m_idBits, static_cast<DWORD>(id) & 0xFFFF))
        return nullptr;
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t at = Home(static_cast<std::uint32_t>(id), m_nShift);; at = (at + 1) & mask) {
        const Slot& slot = m_slots[at];
        if (!slot.pEntry)
            return nullptr;
        if (slot.nId == id)
            return slot.pEntry;
    }
}
