// A find over one folder of the unit that closes its handle by itself, and
// remembers the folder part of its pattern so that callers can build the
// path of every entry it finds.
#pragma once

#include "platform/base/Types.h"
#include "platform/io/File.h"

#include <string>

class FileFinder {
public:
    FileFinder() = default;
    ~FileFinder() { Close(); }
    FileFinder(const FileFinder&) = delete;
    FileFinder& operator=(const FileFinder&) = delete;

    // Starts a find; the pattern's name part defaults to "*.*". False when
    // nothing matches or the folder is missing.
    bool FindFirst(LPCWSTR pattern);
    bool FindNext();
    void Close();

    // The folder part of the pattern with its trailing separator ("/" when
    // the pattern has none) and the name part.
    const std::u16string& Folder() const { return m_folder; }
    const std::u16string& NamePattern() const { return m_name; }

    // The entry found last.
    LPCWSTR Name() const { return m_data.cFileName; }
    DWORD Attributes() const { return m_data.dwFileAttributes; }
    bool IsFolder() const { return (m_data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
    bool IsDots() const;
    // Folder() + Name().
    std::u16string Path() const { return m_folder + m_data.cFileName; }

private:
    HANDLE m_find = INVALID_HANDLE_VALUE;
    std::u16string m_folder;
    std::u16string m_name;
    WIN32_FIND_DATAW m_data{};
};
