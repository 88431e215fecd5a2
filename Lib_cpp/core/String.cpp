#include "Lib_cpp/core/String.h"

#include "Lib_cpp/core/Diag.h"
#include "platform/base/Error.h"
#include "platform/base/Text.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

void IxRecordNoMemory()
{
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    IxRecordError(IXERR_NOMEMORY);
}

IxStringData* IxString::NewBlock(std::size_t n)
{
    // Lengths are int-sized; anything beyond cannot be held.
    if (n > static_cast<std::size_t>(std::numeric_limits<int>::max() - 1)) {
        IxRecordNoMemory();
        return nullptr;
    }
    auto* block = new (std::nothrow) IxStringData;
    if (!block) {
        IxRecordNoMemory();
        return nullptr;
    }
    block->m_pszData = static_cast<LPWSTR>(std::malloc((n + 1) * sizeof(WCHAR)));
    if (!block->m_pszData) {
        delete block;
        IxRecordNoMemory();
        return nullptr;
    }
    block->m_nSize = static_cast<int>(n);
    block->m_pszData[n] = 0;
    return block;
}

IxStringData* IxString::CopyBlock(const WCHAR* chars, std::size_t n)
{
    IxStringData* block = NewBlock(n);
    if (block && n)
        std::memcpy(block->m_pszData, chars, n * sizeof(WCHAR));
    return block;
}

void IxString::FreeBlock(IxStringData* block) noexcept
{
    if (block->m_bStatic)
        return;
    std::free(block->m_pszData);
    delete block;
}

void IxString::Replace(IxStringData* block) noexcept
{
    IxStringData* old = m_pData;
    m_pData = block;
    ReleaseData(old);
}

IxString::IxString(LPCWSTR text)
{
    if (text)
        m_pData = CopyBlock(text, platform::TextLength(text));
}

IxString::IxString(WCHAR ch)
{
    m_pData = CopyBlock(&ch, 1);
}

IxString::IxString(IxStringData* block) noexcept : m_pData(block)
{
    AddRef(block);
}

IxString& IxString::operator=(const IxString& other) noexcept
{
    Share(other);
    return *this;
}

IxString& IxString::operator=(IxString&& other) noexcept
{
    if (this != &other) {
        IxStringData* block = other.m_pData;
        other.m_pData = nullptr;
        Replace(block);
    }
    return *this;
}

BOOL IxString::Assign(LPCWSTR text)
{
    if (!text) {
        Release();
        return TRUE;
    }
    IxStringData* block = CopyBlock(text, platform::TextLength(text));
    if (!block)
        return FALSE;
    Replace(block);
    return TRUE;
}

BOOL IxString::AssignChars(const WCHAR* chars, int count)
{
    if (count <= 0 || !chars) {
        Release();
        return TRUE;
    }
    IxStringData* block = CopyBlock(chars, static_cast<std::size_t>(count));
    if (!block)
        return FALSE;
    Replace(block);
    return TRUE;
}

void IxString::Share(const IxString& other) noexcept
{
    AttachData(other.m_pData);
}

void IxString::AttachData(IxStringData* block) noexcept
{
    AddRef(block);
    Replace(block);
}

BOOL IxString::Append(const WCHAR* chars, int n)
{
    if (!chars || n < 0)
        n = 0;
    std::size_t old = static_cast<std::size_t>(Length());
    IxStringData* block = NewBlock(old + static_cast<std::size_t>(n));
    if (!block)
        return FALSE;
    if (old)
        std::memcpy(block->m_pszData, Text(), old * sizeof(WCHAR));
    if (n)
        std::memcpy(block->m_pszData + old, chars, static_cast<std::size_t>(n) * sizeof(WCHAR));
    Replace(block);
    return TRUE;
}

LPWSTR IxString::AllocBuffer(int n)
{
    IxStringData* block = NewBlock(n > 0 ? static_cast<std::size_t>(n) : 0);
    if (!block)
        return nullptr;
    block->m_pszData[0] = 0;
    Replace(block);
    return block->m_pszData;
}

void IxString::Truncate(int i)
{
    if (!m_pData || i < 0 || i > m_pData->m_nSize)
        return;
    if (m_pData->m_bStatic) {
        // A static text lives in read-only data: this handle gets its own
        // shortened copy instead.
        if (i < Length()) {
            if (IxStringData* block = CopyBlock(m_pData->m_pszData, static_cast<std::size_t>(i)))
                Replace(block);
        }
        return;
    }
    m_pData->m_pszData[i] = 0;
}

int IxString::Length() const noexcept
{
    return m_pData ? static_cast<int>(platform::TextLength(m_pData->m_pszData)) : 0;
}

BOOL IxString::Equals(const IxString& other) const noexcept
{
    return m_pData == other.m_pData || lstrcmpW(Text(), other.Text()) == 0;
}

BOOL IxString::Equals(LPCWSTR text) const noexcept
{
    return lstrcmpW(Text(), text) == 0;
}
