// Unpacks the application archive ("_PLAYER_.ZIP") into a folder of the
// unit, over minizip. The archive is read through the unit's file calls, so
// its path is a unit path like every other.
//
// Every entry name is checked before anything is written: a name that is
// rooted, holds a drive or device colon, a ".." or empty component, control
// characters, or is longer than a unit path may be, is refused, and
// ExtractAll refuses the whole archive when any entry is such, writing
// nothing. Each file's folder must also resolve, links and all, inside the
// target folder. Of an entry's attributes only read-only is applied; its
// data must match its CRC.
#pragma once

#include "platform/base/Types.h"
#include "platform/io/File.h"

#include <functional>
#include <memory>
#include <string>

// What the archive says of its current entry.
struct ZipEntryInfo {
    std::string name; // 8-bit, '/' turned into '\'
    std::string comment;
    DWORD versionMadeBy = 0;
    DWORD versionNeeded = 0;
    DWORD flags = 0;
    DWORD compressionMethod = 0;
    WORD dosDate = 0;
    WORD dosTime = 0;
    DWORD crc = 0;
    ULONGLONG compressedSize = 0;
    ULONGLONG uncompressedSize = 0;
    DWORD internalAttributes = 0;
    DWORD externalAttributes = 0;
    bool isFolder = false; // external attributes bit 4
};

inline constexpr DWORD kZipBufferSize = 64 * 1024;

class CZipArchive {
public:
    // (entry count, entries done) after each entry.
    using ProgressCallback = std::function<void(DWORD total, DWORD done)>;

    CZipArchive();
    explicit CZipArchive(LPCWSTR path);
    ~CZipArchive();
    CZipArchive(const CZipArchive&) = delete;
    CZipArchive& operator=(const CZipArchive&) = delete;

    // Closes any open archive and opens this one; the target folder becomes
    // "\NAND Disk".
    BOOL Open(LPCWSTR path);
    BOOL Close();
    bool IsOpen() const { return m_zip != nullptr; }
    DWORD GetFileCount();
    // Fails when the path names a file; creates the folder with its parents.
    BOOL SetTargetFolder(LPCWSTR path);
    const std::u16string& TargetFolder() const { return m_target; }
    void SetProgressCallback(ProgressCallback callback) { m_progress = std::move(callback); }

    // Selects the first (next) entry, with an extension given the first
    // (next) whose name after its last '.' equals it, ignoring case.
    BOOL GoToFirstFile(LPCWSTR extension = nullptr);
    BOOL GoToNextFile(LPCWSTR extension = nullptr);
    BOOL GetCurrentFileInfo(ZipEntryInfo* info);

    // Extracts the current entry into folder (null: the target folder);
    // with dropPaths only the part of the name after its last '\' is used.
    BOOL ExtractCurrentFile(LPCWSTR folder, BOOL dropPaths);
    // Extracts every entry into the target folder, after checking every
    // name; stops at the first entry that fails.
    BOOL ExtractAll(BOOL dropPaths);

private:
    BOOL MatchExtension(LPCWSTR extension);
    // The entry's path under folder, or empty when the name is refused.
    std::u16string EntryPath(const std::u16string& folder, const ZipEntryInfo& info, BOOL dropPaths);
    BOOL CheckAllNames(BOOL dropPaths);

    void* m_zip = nullptr; // unzFile
    std::u16string m_target;
    DWORD m_count = 0;
    ProgressCallback m_progress;
    std::unique_ptr<BYTE[]> m_buffer;
};

namespace updater {
// Whether an archive's entry name (8-bit, '\' separated) stays inside the
// folder it is extracted to: relative, no drive or device colon, no "." or
// ".." or empty component, no control characters. A folder entry may end
// with '\'.
bool IsSafeEntryName(const std::string& name, bool isFolder);
// A DOS date and time as a FILETIME in UTC (taken as local time); false and
// last error ERROR_INVALID_PARAMETER when a field is out of range.
bool DosDateTimeToFileTime(WORD date, WORD time, FILETIME* utc);
} // namespace updater
