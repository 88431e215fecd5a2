// A last-status record file: what one owner (the model center, a model)
// keeps across power cycles, one fixed-size binary record per file under
// "\NAND\DATA\". The file is exactly the record: a 16-byte header of four
// little-endian words {16, 1, A, B}, A and B given by the owner, then the
// owner's payload.
//
// A file is taken only when its size is the record size and its header is
// the owner's; anything else leaves the owner's defaults in the buffer, and
// the file is replaced at the next save. A save never rewrites the record
// in place: it writes the whole record to "<file>.tmp", syncs it, closes it
// and only then puts it in the record's place, so that a power cut at any
// point leaves either the old or the new record; a load that finds the
// record gone but a complete "<file>.tmp" (the cut fell between the two
// names) takes that one. User-interface thread only.
#pragma once

#include "Lib_cpp/core/String.h"
#include "platform/base/Types.h"

// The file operations of a save, one call per step (create the temporary
// file, write, sync, close, remove the old record, rename). The platform's
// by default; a test replaces them to fail or cut the power at any step.
class IxRecordFileOps {
public:
    virtual ~IxRecordFileOps() = default;
    // CREATE_ALWAYS, hidden; INVALID_HANDLE_VALUE on failure.
    virtual HANDLE Create(LPCWSTR path);
    virtual BOOL Write(HANDLE file, const BYTE* data, DWORD size, DWORD* written);
    virtual BOOL Flush(HANDLE file);
    virtual BOOL Close(HANDLE file);
    virtual BOOL Delete(LPCWSTR path);
    virtual BOOL Move(LPCWSTR from, LPCWSTR to);

    static IxRecordFileOps& Platform();
};

class LastStatusFile {
public:
    static constexpr DWORD kHeaderSize = 16;
    static constexpr DWORD kHeaderWord = 16;
    static constexpr DWORD kFormatVersion = 1;

    // recordSize includes the header. flush: the record is synced to the
    // medium before it takes the place of the old one.
    LastStatusFile(DWORD recordSize, BOOL flush);
    virtual ~LastStatusFile();
    LastStatusFile(const LastStatusFile&) = delete;
    LastStatusFile& operator=(const LastStatusFile&) = delete;

    // Remembers the path and reads the record. 1 when the file was taken; 0
    // when the defaults are in the buffer, or no buffer could be made (then
    // the last-error record holds IXERR_NOMEMORY).
    BOOL Load(LPCWSTR path, DWORD a, DWORD b);
    // Writes the whole buffer as the record (see above). 1 when the new
    // record is in place; 0 when any step failed or wrote short (the buffer
    // keeps its content, the next save tries again).
    BOOL Save();
    // The header {16, 1, a, b} and the owner's default payload.
    void SetDefaults(DWORD a, DWORD b);

    BYTE* GetRecord() const { return m_pBuffer; }
    BYTE* GetPayload() const { return m_pBuffer ? m_pBuffer + kHeaderSize : nullptr; }
    DWORD GetRecordSize() const { return m_dwRecordSize; }
    DWORD GetPayloadSize() const { return m_dwRecordSize - kHeaderSize; }
    const IxString& GetPath() const { return m_strPath; }
    // The file operations of the saves; null: the platform's.
    void SetFileOps(IxRecordFileOps* ops) { m_pOps = ops; }

    // Whether the bytes are a record of that size with the header {16, 1, a, b}.
    static BOOL IsRecordValid(const BYTE* data, DWORD size, DWORD recordSize, DWORD a, DWORD b);
    // The temporary file of a record file.
    static BOOL TempPathOf(LPCWSTR path, IxString& temp);

protected:
    // The owner's default payload; zero here.
    virtual void DefaultPayload(BYTE* payload, DWORD size);

private:
    // Reads the file into the buffer; whether it is a valid record.
    BOOL ReadRecord(LPCWSTR path, DWORD a, DWORD b);
    IxRecordFileOps& Ops() const { return m_pOps ? *m_pOps : IxRecordFileOps::Platform(); }

    IxString m_strPath;
    IxString m_strTemp;
    BYTE* m_pBuffer = nullptr;
    DWORD m_dwRecordSize;
    BOOL m_bFlush;
    IxRecordFileOps* m_pOps = nullptr;
};
