#include "Source/models/LastStatusFile.h"

#include "Lib_cpp/core/Diag.h"
#include "Lib_cpp/fs/FileSystem.h"
#include "platform/io/File.h"
#include "platform/io/Io.h"
#include "platform/io/RawDisk.h"

#include <cstring>

namespace {

const WCHAR kTempSuffix[] = u".tmp";

} // namespace

// ---------------------------------------------------------------------------
// The platform's file operations

HANDLE IxRecordFileOps::Create(LPCWSTR path)
{
    return CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_HIDDEN, nullptr);
}

BOOL IxRecordFileOps::Write(HANDLE file, const BYTE* data, DWORD size, DWORD* written)
{
    return WriteFile(file, data, size, written, nullptr);
}

BOOL IxRecordFileOps::Flush(HANDLE file)
{
    return FlushFileBuffers(file);
}

BOOL IxRecordFileOps::Close(HANDLE file)
{
    return CloseHandle(file);
}

BOOL IxRecordFileOps::Delete(LPCWSTR path)
{
    return DeleteFileW(path);
}

BOOL IxRecordFileOps::Move(LPCWSTR from, LPCWSTR to)
{
    return MoveFileW(from, to);
}

IxRecordFileOps& IxRecordFileOps::Platform()
{
    static IxRecordFileOps ops;
    return ops;
}

// ---------------------------------------------------------------------------
// The record

LastStatusFile::LastStatusFile(DWORD recordSize, BOOL flush) : m_dwRecordSize(recordSize), m_bFlush(flush) {}

LastStatusFile::~LastStatusFile()
{
    IxFsFree(m_pBuffer);
}

BOOL LastStatusFile::IsRecordValid(const BYTE* data, DWORD size, DWORD recordSize, DWORD a, DWORD b)
{
    if (!data || recordSize < kHeaderSize || size != recordSize)
        return FALSE;
    return platform::GetRawWord(data) == kHeaderWord && platform::GetRawWord(data + 4) == kFormatVersion
        && platform::GetRawWord(data + 8) == a && platform::GetRawWord(data + 12) == b;
}

BOOL LastStatusFile::TempPathOf(LPCWSTR path, IxString& temp)
{
    IxString result(path);
    if (!path || result.IsEmpty() || !result.Append(kTempSuffix, static_cast<int>(std::size(kTempSuffix) - 1)))
        return FALSE;
    temp = result;
    return TRUE;
}

void LastStatusFile::DefaultPayload(BYTE* payload, DWORD size)
{
    std::memset(payload, 0, size);
}

void LastStatusFile::SetDefaults(DWORD a, DWORD b)
{
    if (!m_pBuffer)
        return;
    std::memset(m_pBuffer, 0, m_dwRecordSize);
    platform::PutRawWord(m_pBuffer, kHeaderWord);
    platform::PutRawWord(m_pBuffer + 4, kFormatVersion);
    platform::PutRawWord(m_pBuffer + 8, a);
    platform::PutRawWord(m_pBuffer + 12, b);
    DefaultPayload(GetPayload(), GetPayloadSize());
}

BOOL LastStatusFile::ReadRecord(LPCWSTR path, DWORD a, DWORD b)
{
    HANDLE file = CreateFileW(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_HIDDEN, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return FALSE;
    DWORD high = 0;
    const DWORD size = GetFileSize(file, &high);
    DWORD read = 0;
    const BOOL ok = high == 0 && size == m_dwRecordSize && ReadFile(file, m_pBuffer, m_dwRecordSize, &read, nullptr)
        && IsRecordValid(m_pBuffer, read, m_dwRecordSize, a, b);
    CloseHandle(file);
    return ok;
}

BOOL LastStatusFile::Load(LPCWSTR path, DWORD a, DWORD b)
{
    m_strPath.Assign(path);
    if (!TempPathOf(path, m_strTemp))
        m_strTemp.Release();
    if (m_dwRecordSize < kHeaderSize)
        return FALSE;
    if (!m_pBuffer) {
        m_pBuffer = static_cast<BYTE*>(IxFsAlloc(m_dwRecordSize));
        if (!m_pBuffer) {
            IxRecordError(IXERR_NOMEMORY);
            return FALSE;
        }
    }
    if (!m_strPath.IsEmpty() && ReadRecord(m_strPath.Text(), a, b))
        return TRUE;
    // A save cut between removing the old record and renaming the new one
    // left the new one, whole, under the temporary name.
    if (!m_strTemp.IsEmpty() && ReadRecord(m_strTemp.Text(), a, b)) {
        IxRecordFileOps& ops = Ops();
        ops.Delete(m_strPath.Text());
        ops.Move(m_strTemp.Text(), m_strPath.Text());
        return TRUE;
    }
    SetDefaults(a, b);
    return FALSE;
}

BOOL LastStatusFile::Save()
{
    if (!m_pBuffer || m_strPath.IsEmpty() || m_strTemp.IsEmpty())
        return FALSE;
    IxRecordFileOps& ops = Ops();
    HANDLE file = ops.Create(m_strTemp.Text());
    if (file == INVALID_HANDLE_VALUE || !file)
        return FALSE;
    DWORD written = 0;
    BOOL ok = ops.Write(file, m_pBuffer, m_dwRecordSize, &written) && written == m_dwRecordSize;
    if (ok && m_bFlush)
        ok = ops.Flush(file);
    ok = ops.Close(file) && ok;
    if (!ok) {
        ops.Delete(m_strTemp.Text());
        return FALSE;
    }
    // The old record goes only now that the new one is whole on the medium.
    ops.Delete(m_strPath.Text());
    return ops.Move(m_strTemp.Text(), m_strPath.Text());
}
