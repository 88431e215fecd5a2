// File change notification over inotify.
//
// FindFirstChangeNotificationW watches one folder of the unit (and, with
// watchSubtree, every folder below it, including folders made later). Its
// handle is a kernel object: WaitForSingleObject and WaitForMultipleObjects
// return when a change of the kinds asked for has happened since the last
// FindNextChangeNotification, or while records wait to be read. With
// FILE_NOTIFY_CHANGE_CEGETINFO in the filter each change is also kept as a
// record, read (and removed) with CeGetFileNotificationInfo: records in the
// FILE_NOTIFY_INFORMATION layout, each with the name relative to the watched
// folder ("sub\name.mp3" for a change below it).
//
// Changes reported: with FILE_NOTIFY_CHANGE_FILE_NAME files, with
// FILE_NOTIFY_CHANGE_DIR_NAME folders, that appear (FILE_ACTION_ADDED) or
// vanish (FILE_ACTION_REMOVED); a rename inside the watched tree gives
// FILE_ACTION_RENAMED_OLD_NAME and FILE_ACTION_RENAMED_NEW_NAME, a move into
// or out of it ADDED or REMOVED. Other change kinds of the filter are not
// reported. When the watched folder itself goes away the handle is signalled
// once more and then reports nothing. The temporary names of CopyFileExW
// are never reported.
#pragma once

#include "platform/base/Handle.h"
#include "platform/base/Types.h"

inline constexpr DWORD FILE_NOTIFY_CHANGE_FILE_NAME = 0x00000001;
inline constexpr DWORD FILE_NOTIFY_CHANGE_DIR_NAME = 0x00000002;
inline constexpr DWORD FILE_NOTIFY_CHANGE_ATTRIBUTES = 0x00000004;
inline constexpr DWORD FILE_NOTIFY_CHANGE_SIZE = 0x00000008;
inline constexpr DWORD FILE_NOTIFY_CHANGE_LAST_WRITE = 0x00000010;
inline constexpr DWORD FILE_NOTIFY_CHANGE_CEGETINFO = 0x80000000;

inline constexpr DWORD FILE_ACTION_ADDED = 1;
inline constexpr DWORD FILE_ACTION_REMOVED = 2;
inline constexpr DWORD FILE_ACTION_MODIFIED = 3;
inline constexpr DWORD FILE_ACTION_RENAMED_OLD_NAME = 4;
inline constexpr DWORD FILE_ACTION_RENAMED_NEW_NAME = 5;

// One record as CeGetFileNotificationInfo writes it: 12 bytes, the name
// (FileNameLength bytes, not terminated), padded to a multiple of 4.
// NextEntryOffset is 0 in the last record of a buffer.
struct FILE_NOTIFY_INFORMATION {
    DWORD NextEntryOffset;
    DWORD Action;
    DWORD FileNameLength;
    WCHAR FileName[1];
};

// INVALID_HANDLE_VALUE with the last error set when the path is not a
// folder of the unit (ERROR_PATH_NOT_FOUND, ERROR_DIRECTORY, the path
// errors of the file calls), the filter names neither files nor folders
// (ERROR_INVALID_PARAMETER) or the host refuses the watch.
HANDLE FindFirstChangeNotificationW(LPCWSTR path, BOOL watchSubtree, DWORD filter);
// Re-arms the handle: it stays signalled only while records wait.
BOOL FindNextChangeNotification(HANDLE handle);
BOOL FindCloseChangeNotification(HANDLE handle);
// With a null buffer or a size of 0: *bytesAvailable = bytes of all waiting
// records, TRUE. Otherwise moves as many whole records as fit into the
// buffer (*bytesReturned) and leaves the rest (*bytesAvailable); fails with
// ERROR_INSUFFICIENT_BUFFER when records wait and not even one fits. flags
// must be 0.
BOOL CeGetFileNotificationInfo(HANDLE handle, DWORD flags, LPVOID buffer, DWORD size, DWORD* bytesReturned,
                               DWORD* bytesAvailable);
