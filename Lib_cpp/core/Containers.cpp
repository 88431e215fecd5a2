#include "Lib_cpp/core/Containers.h"

#include "platform/base/Text.h"

#include <cstdint>

// ---------------------------------------------------------------------------
// IxList

int IxList::Count() const
{
    int n = 0;
    for (IxListNode* node = m_pHead; node; node = node->m_pNext)
        ++n;
    return n;
}

int IxList::IndexOf(const IxListNode* node) const
{
    int i = 0;
    for (IxListNode* p = m_pHead; p; p = p->m_pNext, ++i) {
        if (p == node)
            return i;
    }
    return i;
}

IxListNode* IxList::At(int i) const
{
    if (i < 0)
        return nullptr;
    IxListNode* node = m_pHead;
    while (node && i-- > 0)
        node = node->m_pNext;
    return node;
}

void IxList::PushFront(IxListNode* node)
{
    node->m_pPrev = nullptr;
    node->m_pNext = m_pHead;
    if (m_pHead)
        m_pHead->m_pPrev = node;
    else
        m_pTail = node;
    m_pHead = node;
}

void IxList::PushBack(IxListNode* node)
{
    node->m_pNext = nullptr;
    node->m_pPrev = m_pTail;
    if (m_pTail)
        m_pTail->m_pNext = node;
    else
        m_pHead = node;
    m_pTail = node;
}

void IxList::InsertBefore(IxListNode* position, IxListNode* node)
{
    if (!position) {
        PushBack(node);
        return;
    }
    if (position == m_pHead) {
        PushFront(node);
        return;
    }
    node->m_pPrev = position->m_pPrev;
    node->m_pNext = position;
    position->m_pPrev->m_pNext = node;
    position->m_pPrev = node;
}

void IxList::InsertAfter(IxListNode* position, IxListNode* node)
{
    if (!position) {
        PushFront(node);
        return;
    }
    if (position == m_pTail) {
        PushBack(node);
        return;
    }
    node->m_pNext = position->m_pNext;
    node->m_pPrev = position;
    position->m_pNext->m_pPrev = node;
    position->m_pNext = node;
}

IxListNode* IxList::PopFront()
{
    IxListNode* node = m_pHead;
    if (!node)
        return nullptr;
    m_pHead = node->m_pNext;
    if (m_pHead)
        m_pHead->m_pPrev = nullptr;
    else
        m_pTail = nullptr;
    node->m_pPrev = node->m_pNext = nullptr;
    return node;
}

IxListNode* IxList::PopBack()
{
    IxListNode* node = m_pTail;
    if (!node)
        return nullptr;
    m_pTail = node->m_pPrev;
    if (m_pTail)
        m_pTail->m_pNext = nullptr;
    else
        m_pHead = nullptr;
    node->m_pPrev = node->m_pNext = nullptr;
    return node;
}

void IxList::Remove(IxListNode* node)
{
    if (!node)
        return;
    if (node == m_pHead) {
        PopFront();
        return;
    }
    if (node == m_pTail) {
        PopBack();
        return;
    }
    // An inner node has both neighbours; a node without them is not listed.
    if (!node->m_pPrev || !node->m_pNext)
        return;
    node->m_pPrev->m_pNext = node->m_pNext;
    node->m_pNext->m_pPrev = node->m_pPrev;
    node->m_pPrev = node->m_pNext = nullptr;
}

// ---------------------------------------------------------------------------
// Growth of the arrays

int IxGrowCapacity(int n, int step)
{
    if (step < 1)
        step = 1;
    if (n < 0)
        n = 0;
    std::int64_t capacity = (static_cast<std::int64_t>(n) / step + 1) * step;
    return capacity > 0x7FFFFFFF ? -1 : static_cast<int>(capacity);
}

void* IxReallocZeroed(void* data, int oldCapacity, int newCapacity, std::size_t elementSize)
{
    if (newCapacity < 0 || static_cast<std::size_t>(newCapacity) > SIZE_MAX / elementSize) {
        IxRecordNoMemory();
        return nullptr;
    }
    void* grown = std::realloc(data, static_cast<std::size_t>(newCapacity) * elementSize);
    if (!grown) {
        IxRecordNoMemory();
        return nullptr;
    }
    if (newCapacity > oldCapacity) {
        std::memset(static_cast<char*>(grown) + static_cast<std::size_t>(oldCapacity) * elementSize, 0,
                    static_cast<std::size_t>(newCapacity - oldCapacity) * elementSize);
    }
    return grown;
}

// ---------------------------------------------------------------------------
// IxStringArray

IxStringArray& IxStringArray::operator=(IxStringArray&& other) noexcept
{
    if (this != &other) {
        Destroy();
        m_items = static_cast<IxArray<IxStringData*>&&>(other.m_items);
    }
    return *this;
}

LPCWSTR IxStringArray::TextAt(int i) const
{
    IxStringData* block = m_items.At(i);
    return block ? block->m_pszData : u"";
}

BOOL IxStringArray::InsertData(int i, IxStringData* block)
{
    IxStringData** slot = m_items.InsertGap(i, 1);
    if (!slot) {
        IxString::ReleaseData(block);
        return FALSE;
    }
    *slot = block;
    return TRUE;
}

BOOL IxStringArray::Add(const IxString& string)
{
    IxString::AddRef(string.m_pData);
    return InsertData(Count(), string.m_pData);
}

BOOL IxStringArray::AddText(LPCWSTR text)
{
    return InsertText(Count(), text);
}

BOOL IxStringArray::InsertText(int i, LPCWSTR text)
{
    IxStringData* block = nullptr;
    if (text) {
        block = IxString::CopyBlock(text, platform::TextLength(text));
        if (!block)
            return FALSE;
    }
    return InsertData(i, block);
}

BOOL IxStringArray::SetAt(int i, const IxString& string)
{
    if (i < 0)
        return FALSE;
    if (i >= Count() && !m_items.InsertGap(Count(), i + 1 - Count()))
        return FALSE;
    IxString::AddRef(string.m_pData);
    IxStringData* old = m_items[i];
    m_items[i] = string.m_pData;
    IxString::ReleaseData(old);
    return TRUE;
}

BOOL IxStringArray::RemoveAt(int i)
{
    if (i < 0 || i >= Count())
        return FALSE;
    IxStringData* old = m_items[i];
    m_items.RemoveAt(i);
    IxString::ReleaseData(old);
    return TRUE;
}

void IxStringArray::RemoveAll()
{
    for (int i = 0; i < Count(); ++i)
        IxString::ReleaseData(m_items[i]);
    m_items.RemoveAll();
}

void IxStringArray::Destroy()
{
    RemoveAll();
    m_items.Free();
}

// ---------------------------------------------------------------------------
// IxRing

IxRingEntry* IxRing::PushSlot()
{
    int size = m_entries.Capacity();
    if (m_nCount == size) {
        if (!m_entries.Reserve(size + 1))
            return nullptr;
        int grown = m_entries.Capacity();
        if (m_nCount == 0 || m_nRead == 0) {
            // Held in order at 0..count-1: the new slots follow them.
            m_nRead = 0;
            m_nWrite = m_nCount;
        } else {
            // Wrapped: the older part (read..end) moves to the end of the
            // grown buffer so that it still runs on into 0..write-1.
            IxRingEntry* data = m_entries.Data();
            int older = size - m_nRead;
            std::memmove(data + grown - older, data + m_nRead, sizeof(IxRingEntry) * static_cast<std::size_t>(older));
            m_nRead = grown - older;
        }
    }
    IxRingEntry* slot = m_entries.Data() + m_nWrite;
    *slot = IxRingEntry{0, 0};
    m_nWrite = (m_nWrite + 1) % m_entries.Capacity();
    ++m_nCount;
    return slot;
}

BOOL IxRing::Pop(IxRingEntry* entry)
{
    if (m_nCount == 0)
        return FALSE;
    if (entry)
        *entry = m_entries.Data()[m_nRead];
    m_nRead = (m_nRead + 1) % m_entries.Capacity();
    --m_nCount;
    return TRUE;
}

void IxRing::Clear()
{
    m_nRead = m_nWrite = m_nCount = 0;
}

BOOL IxPostAction(IxRing& ring, WORD code, WORD kind, LPARAM value)
{
    IxRingEntry* slot = ring.PushSlot();
    if (!slot)
        return FALSE;
    slot->dwAction = (static_cast<DWORD>(code) & 0xFFFF) | (static_cast<DWORD>(kind) << 16);
    slot->lValue = value;
    return TRUE;
}

// ---------------------------------------------------------------------------
// Companions on integer arrays

BOOL IxInsertSorted(IxArray<int>& target, const IxArray<int>& source)
{
    if (&target == &source) {
        IxArray<int> copy;
        return copy.Insert(0, source.Data(), source.Count()) && IxInsertSorted(target, copy);
    }
    for (int s = 0; s < source.Count(); ++s) {
        int value = source[s];
        int i = 0;
        while (i < target.Count() && target[i] <= value)
            ++i;
        if (!target.Insert(i, &value, 1))
            return FALSE;
    }
    return TRUE;
}

namespace {

// Length of the subfolder name at the start of rest; -1 when rest names a file.
int FolderNameLength(LPCWSTR rest)
{
    for (int n = 0; rest[n]; ++n) {
        if (rest[n] == u'\\')
            return n;
    }
    return -1;
}

} // namespace

BOOL IxSplitChildren(const IxStringArray& paths, LPCWSTR prefix, IxArray<int>& folders, IxArray<int>& files)
{
    if (!prefix)
        prefix = u"";
    const std::size_t prefixLength = platform::TextLength(prefix);
    const int firstFolder = folders.Count();
    for (int i = 0; i < paths.Count(); ++i) {
        LPCWSTR path = paths.TextAt(i);
        if (platform::TextLength(path) < prefixLength || std::memcmp(path, prefix, prefixLength * sizeof(WCHAR)) != 0)
            continue;
        LPCWSTR rest = path + prefixLength;
        int nameLength = FolderNameLength(rest);
        if (nameLength < 0) {
            if (!files.Add(i))
                return FALSE;
            continue;
        }
        // Only the first path of each subfolder name stands for it.
        bool seen = false;
        for (int f = firstFolder; f < folders.Count() && !seen; ++f) {
            LPCWSTR other = paths.TextAt(folders[f]) + prefixLength;
            seen = FolderNameLength(other) == nameLength
                && std::memcmp(other, rest, static_cast<std::size_t>(nameLength) * sizeof(WCHAR)) == 0;
        }
        if (!seen && !folders.Add(i))
            return FALSE;
    }
    return TRUE;
}
