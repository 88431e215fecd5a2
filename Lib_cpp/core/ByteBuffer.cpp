#include "Lib_cpp/core/ByteBuffer.h"

#include "Lib_cpp/core/Diag.h"

#include <cstdlib>
#include <cstring>

ByteBuffer::ByteBuffer(DWORD growthStep) : m_dwStep(growthStep ? growthStep : 1) {}

ByteBuffer::~ByteBuffer()
{
    Free();
}

BYTE* ByteBuffer::Grow(DWORD n)
{
    if (n <= m_dwCapacity && m_pData)
        return m_pData;
    const DWORD capacity = (n / m_dwStep + 1) * m_dwStep;
    if (capacity <= n) { // the size wrapped
        IxRecordError(IXERR_NOMEMORY);
        return nullptr;
    }
    auto* data = static_cast<BYTE*>(std::realloc(m_pData, capacity));
    if (!data) {
        IxRecordError(IXERR_NOMEMORY);
        return nullptr;
    }
    m_pData = data;
    m_dwCapacity = capacity;
    return m_pData;
}

BYTE* ByteBuffer::AppendByte(BYTE value)
{
    if (!Grow(m_dwCount + 1))
        return nullptr;
    m_pData[m_dwCount] = value;
    return m_pData + m_dwCount++;
}

BOOL ByteBuffer::Assign(const BYTE* bytes, DWORD count)
{
    if (!Grow(count))
        return FALSE;
    if (count)
        std::memcpy(m_pData, bytes, count);
    m_dwCount = count;
    return TRUE;
}

BOOL ByteBuffer::AppendText(const char* text)
{
    for (; *text; ++text) {
        if (!AppendByte(static_cast<BYTE>(*text)))
            return FALSE;
    }
    return TRUE;
}

void ByteBuffer::Free()
{
    std::free(m_pData);
    m_pData = nullptr;
    m_dwCapacity = 0;
    m_dwCount = 0;
}
