// A file search that keeps the directory and the pattern of the path it was
// started on, so that callers can build the full path of each entry found
// (the picture screen saver enumerates its pictures with it).
//
// The directory (with its trailing separator) and the pattern each fit in
// MAX_PATH characters with the terminating zero, and so does the search
// path made of both: a longer path is refused, never cut.
//
// In the shell's namespace: the updater, linked beside the shell into the
// fuzz programs, has a finder class of the same name.
#pragma once

#include "platform/base/Types.h"
#include "platform/io/File.h"

namespace shell {

class FileFinder {
public:
    FileFinder();
    ~FileFinder();
    FileFinder(const FileFinder&) = delete;
    FileFinder& operator=(const FileFinder&) = delete;

    // Splits the path at its last '\' or '/': the directory is everything up
    // to and including it ("/" when there is none or it is the first
    // character), the pattern the rest ("*.*" when empty). False (last
    // error ERROR_INVALID_PARAMETER for a null path,
    // ERROR_FILENAME_EXCED_RANGE when the search path would not fit in
    // MAX_PATH) leaves both outputs empty.
    static bool SplitPath(LPCWSTR path, WCHAR (&directory)[MAX_PATH], WCHAR (&pattern)[MAX_PATH]);

    // Closes a search still open, splits the path and starts the search on
    // directory + pattern; true when an entry was found. A refused path
    // opens nothing.
    bool FindFirst(LPCWSTR path);
    // The next entry; false when no search is open or no entry is left.
    bool FindNext();
    // The directory bit of the current entry.
    bool IsDirectory() const;
    // The directory with its separator, or null when no search is open.
    LPCWSTR GetDirectory() const;
    // The pattern searched, or null when no search is open.
    LPCWSTR GetPattern() const;
    // The current entry's name, or null when no search is open.
    LPCWSTR GetFileName() const;
    // Closes the search when one is open and clears directory, pattern and
    // entry.
    void Close();

private:
    bool IsOpen() const { return m_hFind != INVALID_HANDLE_VALUE; }

    WCHAR m_szDirectory[MAX_PATH]{};
    WCHAR m_szPattern[MAX_PATH]{};
    HANDLE m_hFind;
    WIN32_FIND_DATAW m_data{};
};

} // namespace shell
