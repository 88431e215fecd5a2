// A growable byte array for the frames the unit sends to its devices: the
// data, its capacity, the bytes in use and the growth step. Growing to n
// bytes makes the capacity the next multiple of the step above n; when that
// fails the last-error record gets IXERR_NOMEMORY and the call answers null
// (the content stays as it was).
#pragma once

#include "platform/base/Types.h"

class ByteBuffer {
public:
    explicit ByteBuffer(DWORD growthStep);
    ~ByteBuffer();
    ByteBuffer(const ByteBuffer&) = delete;
    ByteBuffer& operator=(const ByteBuffer&) = delete;

    // Room for n bytes; the data, or null when it could not grow.
    BYTE* Grow(DWORD n);
    // One byte more; a pointer to the new last byte, null when out of memory.
    BYTE* AppendByte(BYTE value);
    // The content becomes the bytes; 0 when out of memory.
    BOOL Assign(const BYTE* bytes, DWORD count);
    // Appends the characters of a narrow text; 0 when out of memory.
    BOOL AppendText(const char* text);
    // Frees the data.
    void Free();

    const BYTE* Data() const { return m_pData; }
    DWORD Count() const { return m_dwCount; }
    DWORD Capacity() const { return m_dwCapacity; }

private:
    BYTE* m_pData = nullptr;
    DWORD m_dwCapacity = 0;
    DWORD m_dwCount = 0;
    DWORD m_dwStep;
};
