// The framework's reference-counted UTF-16 string.
//
// An IxString is a handle: one pointer to a shared block, or null. Null is the
// empty string. Copying a handle shares the block; assigning text always makes
// a new block. Nothing here throws: when memory runs out the last-error record
// gets {IXERR_NOMEMORY, system error}, the call returns 0 or null and the
// string keeps its previous value.
#pragma once

#include "platform/base/Types.h"

#include <atomic>
#include <cstddef>

// Records a failed allocation: last error {IXERR_NOMEMORY, system error},
// where the system error is ERROR_NOT_ENOUGH_MEMORY as the heap reports it.
void IxRecordNoMemory();

// Shared block of a string: the zero-terminated text and its reference count.
//
// Dynamic blocks own a malloc'ed buffer of m_nSize + 1 characters. Static
// blocks describe a constant text in read-only data; they are declared with
// IX_STATIC_STRING, are handed out like any block, and are never freed.
struct IxStringData {
    LPWSTR m_pszData = nullptr;
    std::atomic<LONG> m_nRefs{1}; // atomic: strings may be handed between threads
    int m_nSize = 0;              // characters the buffer holds before its terminator
    bool m_bStatic = false;

    IxStringData() = default;

    // Static block over a string literal.
    template <std::size_t N>
    constexpr explicit IxStringData(const WCHAR (&text)[N])
        : m_pszData(const_cast<LPWSTR>(text)), m_nRefs(1), m_nSize(static_cast<int>(N - 1)), m_bStatic(true)
    {
    }

    IxStringData(const IxStringData&) = delete;
    IxStringData& operator=(const IxStringData&) = delete;
};

// Declares a static block over a literal, e.g.
//     static IX_STATIC_STRING(kTitle, u"Settings");
//     IxString title(&kTitle);
#define IX_STATIC_STRING(name, literal)                                                                                \
    constinit IxStringData name                                                                                        \
    {                                                                                                                  \
        literal                                                                                                        \
    }

class IxString {
public:
    IxString() noexcept = default;
    // Null text gives the null handle; otherwise a block with a copy of the
    // text (the null handle, with the failure recorded, when memory runs out).
    explicit IxString(LPCWSTR text);
    // A block of length 1.
    explicit IxString(WCHAR ch);
    // Shares the given block (null gives the null handle).
    explicit IxString(IxStringData* block) noexcept;
    IxString(const IxString& other) noexcept : m_pData(other.m_pData) { AddRef(m_pData); }
    IxString(IxString&& other) noexcept : m_pData(other.m_pData) { other.m_pData = nullptr; }
    IxString& operator=(const IxString& other) noexcept;
    IxString& operator=(IxString&& other) noexcept;
    ~IxString() { Release(); }

    // Null text releases the handle and returns 1; otherwise a new block with
    // a copy replaces the old one. 0 when memory runs out.
    BOOL Assign(LPCWSTR text);
    // Exactly count characters and a terminating 0; a count of 0 releases.
    BOOL AssignChars(const WCHAR* chars, int count);
    // Takes the other's block (the new reference is taken before the old one
    // is dropped, so sharing with itself keeps the text).
    void Share(const IxString& other) noexcept;
    void AttachData(IxStringData* block) noexcept;
    // A new block holding the old text followed by n characters.
    BOOL Append(const WCHAR* chars, int n);
    // Replaces the contents by a new unshared block of n characters (first
    // character and terminator zeroed) and returns its buffer for filling.
    LPWSTR AllocBuffer(int n);
    // Writes 0 at character i of the block, shortening every holder's text.
    void Truncate(int i);
    // Drops this handle's reference; the last one frees the block.
    void Release() noexcept
    {
        IxStringData* old = m_pData;
        m_pData = nullptr;
        ReleaseData(old);
    }

    LPCWSTR Text() const noexcept { return m_pData ? m_pData->m_pszData : u""; }
    int Length() const noexcept;
    BOOL IsEmpty() const noexcept { return !m_pData || m_pData->m_pszData[0] == 0; }
    BOOL Equals(const IxString& other) const noexcept;
    BOOL Equals(LPCWSTR text) const noexcept;
    IxStringData* Data() const noexcept { return m_pData; }

private:
    friend class IxStringArray;

    static IxStringData* NewBlock(std::size_t n);
    static IxStringData* CopyBlock(const WCHAR* chars, std::size_t n);
    static void AddRef(IxStringData* block) noexcept
    {
        if (block)
            block->m_nRefs.fetch_add(1, std::memory_order_relaxed);
    }
    static void ReleaseData(IxStringData* block) noexcept
    {
        if (block && block->m_nRefs.fetch_sub(1, std::memory_order_acq_rel) == 1)
            FreeBlock(block);
    }
    // Frees a block whose last reference went (static blocks stay).
    static void FreeBlock(IxStringData* block) noexcept;
    // Drops the old block and keeps the given one (already referenced).
    void Replace(IxStringData* block) noexcept;

    IxStringData* m_pData = nullptr;
};
