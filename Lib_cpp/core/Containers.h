// The framework's containers: the intrusive doubly linked list, the growable
// arrays of plain elements and of strings, and the ring behind the kernel's
// action queue.
//
// None of them throws. When memory runs out the last-error record gets
// {IXERR_NOMEMORY, system error}, the call returns 0 or null and the
// container keeps its previous contents.
#pragma once

#include "Lib_cpp/core/String.h"
#include "platform/base/Types.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <type_traits>

// ---------------------------------------------------------------------------
// Intrusive doubly linked list. A listable object derives from IxListNode;
// the list links and unlinks nodes but never allocates or frees them.

struct IxListNode {
    IxListNode* m_pPrev = nullptr;
    IxListNode* m_pNext = nullptr;
};

class IxList {
public:
    IxList() = default;
    IxList(const IxList&) = delete;
    IxList& operator=(const IxList&) = delete;

    IxListNode* Head() const { return m_pHead; }
    IxListNode* Tail() const { return m_pTail; }
    BOOL IsEmpty() const { return m_pHead == nullptr; }

    int Count() const;
    // Position of the node; the count when it is not in the list.
    int IndexOf(const IxListNode* node) const;
    // Node at position i; null beyond the end.
    IxListNode* At(int i) const;

    void PushFront(IxListNode* node);
    void PushBack(IxListNode* node);
    // Links the node before position; a null position appends.
    void InsertBefore(IxListNode* position, IxListNode* node);
    // Links the node after position; a null position prepends.
    void InsertAfter(IxListNode* position, IxListNode* node);
    // Unlink and return the end node (links cleared); null when empty.
    IxListNode* PopFront();
    IxListNode* PopBack();
    void Remove(IxListNode* node);

private:
    IxListNode* m_pHead = nullptr;
    IxListNode* m_pTail = nullptr;
};

// ---------------------------------------------------------------------------
// Growable arrays.

// Capacity for a request of n elements: the next multiple of step strictly
// above n, ((n / step) + 1) * step; -1 when that is not representable.
int IxGrowCapacity(int n, int step);
// Reallocates data from oldCapacity to newCapacity elements and zeroes the
// new ones. On failure (including a negative newCapacity) records it and
// returns null; data is then untouched.
void* IxReallocZeroed(void* data, int oldCapacity, int newCapacity, std::size_t elementSize);

// Array of trivially copyable elements, moved with realloc and memmove.
// Every growth reallocates to IxGrowCapacity of the requested count.
template <class T> class IxArray {
    static_assert(std::is_trivially_copyable_v<T>, "IxArray moves its elements as bytes");

public:
    explicit IxArray(int step = 8) : m_nStep(step > 0 ? step : 1) {}
    ~IxArray() { Free(); }
    IxArray(const IxArray&) = delete;
    IxArray& operator=(const IxArray&) = delete;
    IxArray(IxArray&& other) noexcept
        : m_pData(other.m_pData), m_nCapacity(other.m_nCapacity), m_nCount(other.m_nCount), m_nStep(other.m_nStep)
    {
        other.m_pData = nullptr;
        other.m_nCapacity = other.m_nCount = 0;
    }
    IxArray& operator=(IxArray&& other) noexcept
    {
        if (this != &other) {
            Free();
            m_pData = other.m_pData;
            m_nCapacity = other.m_nCapacity;
            m_nCount = other.m_nCount;
            m_nStep = other.m_nStep;
            other.m_pData = nullptr;
            other.m_nCapacity = other.m_nCount = 0;
        }
        return *this;
    }

    T* Data() { return m_pData; }
    const T* Data() const { return m_pData; }
    int Count() const { return m_nCount; }
    int Capacity() const { return m_nCapacity; }
    int Step() const { return m_nStep; }
    T& operator[](int i) { return m_pData[i]; }
    const T& operator[](int i) const { return m_pData[i]; }
    // Element i, or a zero element outside the array.
    T At(int i) const { return i >= 0 && i < m_nCount ? m_pData[i] : T{}; }
    // First element, or a zero element when empty.
    T First() const { return At(0); }

    // Reallocates to the growth rule's capacity for n elements (never fewer
    // than the count). Returns the data, null on failure.
    T* Grow(int n)
    {
        if (n < m_nCount)
            n = m_nCount;
        int capacity = IxGrowCapacity(n, m_nStep);
        void* data = IxReallocZeroed(m_pData, m_nCapacity, capacity, sizeof(T));
        if (!data)
            return nullptr;
        m_pData = static_cast<T*>(data);
        m_nCapacity = capacity;
        return m_pData;
    }
    // Grows when n exceeds the capacity. Returns the data (null on failure).
    T* Reserve(int n) { return n > m_nCapacity ? Grow(n) : m_pData; }

    // Count + 1; returns the new zeroed slot, null on failure.
    T* AppendSlot() { return InsertGap(m_nCount, 1); }
    BOOL Add(const T& value)
    {
        T* slot = AppendSlot();
        if (!slot)
            return FALSE;
        *slot = value;
        return TRUE;
    }
    // Moves elements i.. up by n and zeroes the gap; i is clamped to
    // [0, count]. Returns the gap, null on failure.
    T* InsertGap(int i, int n)
    {
        if (i < 0)
            i = 0;
        if (i > m_nCount)
            i = m_nCount;
        if (n <= 0)
            return m_pData + i;
        if (n > kMaxCount - m_nCount) {
            IxRecordNoMemory();
            return nullptr;
        }
        if (!Reserve(m_nCount + n))
            return nullptr;
        std::memmove(static_cast<void*>(m_pData + i + n), m_pData + i,
                     sizeof(T) * static_cast<std::size_t>(m_nCount - i));
        std::memset(static_cast<void*>(m_pData + i), 0, sizeof(T) * static_cast<std::size_t>(n));
        m_nCount += n;
        return m_pData + i;
    }
    // Inserts n elements at i (elements may lie inside this array).
    BOOL Insert(int i, const T* elements, int n)
    {
        if (n <= 0)
            return TRUE;
        if (!elements)
            return FALSE;
        std::less<const T*> before;
        if (m_pData && !before(elements, m_pData) && before(elements, m_pData + m_nCapacity)) {
            IxArray copy(n);
            return copy.Insert(0, elements, n) && Insert(i, copy.Data(), n);
        }
        T* gap = InsertGap(i, n);
        if (!gap)
            return FALSE;
        std::memcpy(static_cast<void*>(gap), elements, sizeof(T) * static_cast<std::size_t>(n));
        return TRUE;
    }
    BOOL RemoveAt(int i)
    {
        if (i < 0 || i >= m_nCount)
            return FALSE;
        std::memmove(static_cast<void*>(m_pData + i), m_pData + i + 1,
                     sizeof(T) * static_cast<std::size_t>(m_nCount - i - 1));
        --m_nCount;
        return TRUE;
    }
    // Moves element from to position to, shifting the elements between the
    // two by one; a target out of range means the last position. FALSE when
    // from is out of range.
    BOOL MoveEntry(int from, int to)
    {
        if (from < 0 || from >= m_nCount)
            return FALSE;
        if (to < 0 || to >= m_nCount)
            to = m_nCount - 1;
        if (to == from)
            return TRUE;
        T moving = m_pData[from];
        if (to > from)
            std::memmove(static_cast<void*>(m_pData + from), m_pData + from + 1,
                         sizeof(T) * static_cast<std::size_t>(to - from));
        else
            std::memmove(static_cast<void*>(m_pData + to + 1), m_pData + to,
                         sizeof(T) * static_cast<std::size_t>(from - to));
        m_pData[to] = moving;
        return TRUE;
    }
    // Removes n elements from i on (the range is clamped to the array).
    void RemoveRange(int i, int n)
    {
        if (i < 0)
            i = 0;
        if (n > m_nCount - i)
            n = m_nCount - i;
        if (n <= 0)
            return;
        std::memmove(static_cast<void*>(m_pData + i), m_pData + i + n,
                     sizeof(T) * static_cast<std::size_t>(m_nCount - i - n));
        m_nCount -= n;
    }
    // Index of the first element equal to v; -1 when absent.
    int IndexOfValue(const T& v) const
    {
        for (int i = 0; i < m_nCount; ++i) {
            if (m_pData[i] == v)
                return i;
        }
        return -1;
    }
    // Count 0, buffer kept.
    void RemoveAll() { m_nCount = 0; }
    // Frees the buffer.
    void Free()
    {
        std::free(m_pData);
        m_pData = nullptr;
        m_nCapacity = m_nCount = 0;
    }

private:
    static constexpr int kMaxCount = 0x7FFFFFFF;

    T* m_pData = nullptr;
    int m_nCapacity = 0;
    int m_nCount = 0;
    int m_nStep;
};

// ---------------------------------------------------------------------------
// Array of string handles. Each slot holds its own reference.

class IxStringArray {
public:
    explicit IxStringArray(int step = 8) : m_items(step) {}
    ~IxStringArray() { Destroy(); }
    IxStringArray(const IxStringArray&) = delete;
    IxStringArray& operator=(const IxStringArray&) = delete;
    IxStringArray(IxStringArray&& other) noexcept = default;
    IxStringArray& operator=(IxStringArray&& other) noexcept;

    int Count() const { return m_items.Count(); }
    // The string at i (a shared handle); the null string outside the array.
    IxString At(int i) const { return IxString(m_items.At(i)); }
    IxString operator[](int i) const { return At(i); }
    // Text at i without taking a reference; the empty text outside the array.
    LPCWSTR TextAt(int i) const;

    // Appends a shared copy of the string. 1 on success.
    BOOL Add(const IxString& string);
    // Appends a copy of the text (a null text appends the null string).
    BOOL AddText(LPCWSTR text);
    // Inserts a copy of the text at i (clamped to [0, count]).
    BOOL InsertText(int i, LPCWSTR text);
    // Grows so that index i exists (new slots hold the null string) and
    // shares the string into slot i.
    BOOL SetAt(int i, const IxString& string);
    BOOL RemoveAt(int i);
    // Moves the string at from to position to (IxArray::MoveEntry).
    BOOL MoveEntry(int from, int to) { return m_items.MoveEntry(from, to); }
    // Releases every string; count 0, buffer kept.
    void RemoveAll();
    // Releases every string and frees the buffer.
    void Destroy();

private:
    BOOL InsertData(int i, IxStringData* block);

    IxArray<IxStringData*> m_items;
};

// ---------------------------------------------------------------------------
// Ring of action entries: the kernel's action queue.

struct IxRingEntry {
    DWORD dwAction; // code in the low 16 bits, kind in the high 16 bits
    LPARAM lValue;  // pointer-sized: values may carry object pointers
};

class IxRing {
public:
    explicit IxRing(int step = 8) : m_entries(step) {}

    int Count() const { return m_nCount; }
    // Slot at the write index for a new entry, growing the ring when it is
    // full (the held entries keep their order). Null on memory failure.
    IxRingEntry* PushSlot();
    // Takes the oldest entry; FALSE when empty. entry may be null.
    BOOL Pop(IxRingEntry* entry);
    void Clear();

private:
    IxArray<IxRingEntry> m_entries; // its capacity is the ring's size
    int m_nRead = 0;
    int m_nWrite = 0;
    int m_nCount = 0;
};

// Queues {(code & 0xFFFF) | kind << 16, value}. 0 when memory runs out.
BOOL IxPostAction(IxRing& ring, WORD code, WORD kind, LPARAM value);

// ---------------------------------------------------------------------------
// Companions on arrays of 32-bit integers.

// Inserts every value of source into target, keeping target ascending: each
// value goes before the first larger element. 0 when memory runs out.
BOOL IxInsertSorted(IxArray<int>& target, const IxArray<int>& source);

// For every path that starts with prefix: when the rest contains a '\', the
// part before it names a subfolder and the path's index is appended to
// folders for the first path of each distinct subfolder name; otherwise the
// index is appended to files. 0 when memory runs out.
BOOL IxSplitChildren(const IxStringArray& paths, LPCWSTR prefix, IxArray<int>& folders, IxArray<int>& files);
