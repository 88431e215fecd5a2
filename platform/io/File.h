// Files on the unit's paths.
//
// A unit path is UTF-16 with '\' separators ('/' is accepted too). "\" is
// the unit's root, the host folder platform::UnitRoot(). Its top-level
// folders that unit paths reach are the unit's drives, and only those:
// "\NAND", "\HDD", "\Storage Card", "\Storage Card2", "\Windows" and the
// updater's work folder "\_MAKE_TEMP_", plain folders under the root; a
// path without a leading '\' starts at the root as well. Anything else at the top, the platform's own state among it
// (config/, registry/, run/), does not exist for unit paths (ERROR_FILE_NOT_FOUND
// or ERROR_PATH_NOT_FOUND; ERROR_ACCESS_DENIED for a new name beside the
// drives) and is never listed. Names are UTF-8 on disk. Each component is looked up by its exact
// name first and otherwise by a case-insensitive scan of its folder (ASCII,
// Latin-1, Greek and Cyrillic letters), so "\nand\data\WREN_MAIN.REG" finds
// "\NAND\DATA\Wren_Main.reg"; new names keep the case they are created with.
// A name on disk that no unit path could open again (not valid UTF-8, or
// holding '\', ':', '*', '?', '|', '<', '>', '"' or a control character) is
// neither listed nor found.
//
// A path never leaves the drives: ".." components and any ':' (drive or
// device forms) are refused with ERROR_BAD_PATHNAME, and a symbolic link
// that points outside the drives (or nowhere) with ERROR_ACCESS_DENIED.
//
// Attributes: FILE_ATTRIBUTE_DIRECTORY from the file type; READONLY of a file
// is its owner write permission; HIDDEN, SYSTEM and ARCHIVE (and READONLY of
// a folder) are kept in the extended attribute "user.wren.attributes". On a
// file system without user extended attributes those bits are not kept (a
// debug line says so once); everything else works. A file that has none of
// them reads as FILE_ATTRIBUTE_NORMAL. A folder whose entries were all
// found without stored bits by a complete names-only listing carries the
// extended attribute "user.wren.plain" (no unit path reaches it); every
// call here that gives an entry stored bits, or moves or copies one in,
// removes it from the entry's folder.
//
// Share modes are enforced between the open handles of this process on the
// same file (which is the whole unit). Deleting or renaming a file that a
// handle holds open without FILE_SHARE_DELETE fails with
// ERROR_SHARING_VIOLATION, as on the unit's file systems.
#pragma once

#include "platform/base/Clock.h"
#include "platform/base/Types.h"
#include "platform/io/Io.h"

#include <cstdint>
#include <ctime>
#include <string>

inline constexpr DWORD MAX_PATH = 260;

inline constexpr DWORD ERROR_NOT_SAME_DEVICE = 17;
inline constexpr DWORD ERROR_FILENAME_EXCED_RANGE = 206;
inline constexpr DWORD ERROR_DIRECTORY = 267;

// 100-nanosecond intervals since 1 January 1601 (UTC unless said otherwise).
struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};

struct WIN32_FIND_DATAW {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwOID;
    WCHAR cFileName[MAX_PATH];
};

union ULARGE_INTEGER {
    struct {
        DWORD LowPart;
        DWORD HighPart;
    };
    ULONGLONG QuadPart;
};

namespace platform {

// Host path of a unit path: the real (symbolic-link-free) path of the file
// or folder. With mustExist false the last component may be missing (its
// folder must exist); the path then ends with that name as given. Returns
// an empty string and sets *error (when given) on failure:
// ERROR_BAD_PATHNAME / ERROR_ACCESS_DENIED for a path that would leave the
// root, ERROR_INVALID_NAME for a name with characters a unit name cannot
// hold (wildcards, '<', '>', '"', '|', control characters, unpaired
// surrogates), ERROR_FILENAME_EXCED_RANGE for a name of more than 255 bytes,
// ERROR_FILE_NOT_FOUND (only the last component is missing) or
// ERROR_PATH_NOT_FOUND. The last error is not touched.
std::string HostPath(LPCWSTR unitPath, bool mustExist, DWORD* error = nullptr);

// Device and inode of the real file or folder a unit path names (links
// followed): the same pair means the same entry, whatever the path. False
// (last error set) when the path does not resolve.
bool UnitFileIdentity(LPCWSTR unitPath, std::uint64_t& device, std::uint64_t& inode);

// Unit path ("\NAND\DATA\x") of a host path inside one of the unit's
// drives (symbolic links resolved); "\" for the root itself; empty for a
// path elsewhere.
std::u16string UnitPathOf(const std::string& hostPath);

// The unit's error for a host errno (ENOENT = ERROR_FILE_NOT_FOUND, ENOTDIR
// = ERROR_PATH_NOT_FOUND, ENOSPC, EDQUOT and EFBIG = ERROR_DISK_FULL, ...).
DWORD ErrorFromErrno(int error);

FILETIME FileTimeFromTimespec(const timespec& time);
timespec TimespecFromFileTime(const FILETIME& time);

// Attributes of a host file or folder as the unit reports them;
// INVALID_FILE_ATTRIBUTES (last error set) when it cannot be read.
DWORD HostFileAttributes(const std::string& hostPath);

} // namespace platform

// Searches one folder. The last component of the pattern may hold '*' (any
// run of characters) and '?' (one character), compared without case; a
// pattern ending in ".*" also matches the names without that extension, so
// "*.*" matches every name. "." and ".." are never listed, nor entries that
// are neither files nor folders. Entries come in name order. A pattern that
// ends with '\' finds the folder it names (how the unit probes a folder).
// Fails with ERROR_PATH_NOT_FOUND when the folder is missing,
// ERROR_FILE_NOT_FOUND when nothing matches; FindNextFileW fails with
// ERROR_NO_MORE_FILES at the end. The handle is closed with FindClose.
HANDLE FindFirstFileW(LPCWSTR pattern, WIN32_FIND_DATAW* data);
// The same search for callers that need only the names and the directory,
// hidden, system and archive bits: sizes and times stay 0 and a file's
// FILE_ATTRIBUTE_READONLY is not reported, which spares looking up each
// plain file and folder. The stored bits of a folder's entries are read
// only until a complete listing of it found none.
HANDLE FindFirstFileNamesW(LPCWSTR pattern, WIN32_FIND_DATAW* data);
BOOL FindNextFileW(HANDLE find, WIN32_FIND_DATAW* data);
BOOL FindClose(HANDLE find);

// ERROR_ALREADY_EXISTS when the name exists, ERROR_PATH_NOT_FOUND when its
// folder is missing. The security attributes are ignored.
BOOL CreateDirectoryW(LPCWSTR path, SECURITY_ATTRIBUTES* security);
// ERROR_DIR_NOT_EMPTY, ERROR_DIRECTORY for a file, ERROR_ACCESS_DENIED for
// the root or a read-only folder.
BOOL RemoveDirectoryW(LPCWSTR path);
// ERROR_ACCESS_DENIED for a folder or a read-only file.
BOOL DeleteFileW(LPCWSTR path);
// Renames or moves a file or folder, across folders and file systems (a
// folder only within one: ERROR_NOT_SAME_DEVICE). Fails with
// ERROR_ALREADY_EXISTS when the target exists, except for a change of case
// of the same name.
BOOL MoveFileW(LPCWSTR from, LPCWSTR to);
// Copies a file with its attributes and write time. ERROR_FILE_EXISTS when
// failIfExists is set and the target exists; a copy that fails part-way
// leaves no target behind.
BOOL CopyFileW(LPCWSTR from, LPCWSTR to, BOOL failIfExists);

union LARGE_INTEGER {
    struct {
        DWORD LowPart;
        LONG HighPart;
    };
    LONGLONG QuadPart;
};

inline constexpr DWORD COPY_FILE_FAIL_IF_EXISTS = 0x00000001;
inline constexpr DWORD ERROR_REQUEST_ABORTED = 1235;
// Answers of a progress routine.
inline constexpr DWORD PROGRESS_CONTINUE = 0;
inline constexpr DWORD PROGRESS_CANCEL = 1;
inline constexpr DWORD PROGRESS_STOP = 2;
inline constexpr DWORD PROGRESS_QUIET = 3;
// Reasons of a progress call.
inline constexpr DWORD CALLBACK_CHUNK_FINISHED = 0;
inline constexpr DWORD CALLBACK_STREAM_SWITCH = 1;

using LPPROGRESS_ROUTINE = DWORD (*)(LARGE_INTEGER totalSize, LARGE_INTEGER transferred, LARGE_INTEGER streamSize,
                                     LARGE_INTEGER streamTransferred, DWORD streamNumber, DWORD reason, HANDLE source,
                                     HANDLE destination, LPVOID data);

namespace platform {
// Names under which CopyFileExW builds a copy before it takes the target's
// name; change notification never reports them.
inline constexpr const char* kCopyTempPrefix = ".~wren-copy.";
} // namespace platform

// CopyFileW with progress and cancel. The routine (when given) is called
// once with CALLBACK_STREAM_SWITCH before the first byte and after every
// chunk with CALLBACK_CHUNK_FINISHED; PROGRESS_CANCEL or PROGRESS_STOP ends
// the copy, PROGRESS_QUIET stops the calls. *cancel (when given) is read
// before every chunk, atomically, so another thread may set it. The copy is
// built under a hidden name and takes the target's name only when complete:
// a cancelled (ERROR_REQUEST_ABORTED) or failed copy leaves no target, and
// an existing target is replaced only by a whole copy. The routine gets no
// handles (null). Flags: COPY_FILE_FAIL_IF_EXISTS (ERROR_FILE_EXISTS); other
// bits are ignored.
BOOL CopyFileExW(LPCWSTR from, LPCWSTR to, LPPROGRESS_ROUTINE progress, LPVOID data, BOOL* cancel, DWORD flags);
DWORD GetFileAttributesW(LPCWSTR path);
// Sets READONLY, HIDDEN, SYSTEM and ARCHIVE (FILE_ATTRIBUTE_NORMAL alone
// clears them); other bits are ignored.
BOOL SetFileAttributesW(LPCWSTR path, DWORD attributes);
// Times of an open file. The creation time is the file's birth time where
// the file system keeps one, else its write time; SetFileTime cannot change
// it (ignored) and needs a handle with GENERIC_WRITE.
BOOL GetFileTime(HANDLE file, FILETIME* creation, FILETIME* lastAccess, FILETIME* lastWrite);
BOOL SetFileTime(HANDLE file, const FILETIME* creation, const FILETIME* lastAccess, const FILETIME* lastWrite);
// Space of the file system that holds the folder (null: the root).
BOOL GetDiskFreeSpaceExW(LPCWSTR folder, ULARGE_INTEGER* freeToCaller, ULARGE_INTEGER* total,
                         ULARGE_INTEGER* totalFree);

// Calendar conversion (years 1601 to 30827; ERROR_INVALID_PARAMETER outside
// or for an invalid date). SystemTimeToFileTime ignores wDayOfWeek.
BOOL FileTimeToSystemTime(const FILETIME* fileTime, SYSTEMTIME* systemTime);
BOOL SystemTimeToFileTime(const SYSTEMTIME* systemTime, FILETIME* fileTime);
// UTC <-> local time by the host's time zone at that moment.
BOOL FileTimeToLocalFileTime(const FILETIME* utc, FILETIME* local);
BOOL LocalFileTimeToFileTime(const FILETIME* local, FILETIME* utc);
// -1, 0 or 1.
LONG CompareFileTime(const FILETIME* a, const FILETIME* b);
