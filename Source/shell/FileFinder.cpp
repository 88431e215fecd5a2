#include "Source/shell/FileFinder.h"

#include "platform/base/Error.h"
#include "platform/io/Io.h"

#include <cstring>

namespace {

constexpr WCHAR kAllFiles[] = u"*.*";
constexpr WCHAR kRoot[] = u"/";

std::size_t Length(LPCWSTR text)
{
    std::size_t n = 0;
    while (text[n])
        ++n;
    return n;
}

void CopyInto(WCHAR* out, LPCWSTR from, std::size_t count)
{
    std::memcpy(out, from, count * sizeof(WCHAR));
    out[count] = 0;
}

} // namespace

namespace shell {

FileFinder::FileFinder() : m_hFind(INVALID_HANDLE_VALUE) {}

FileFinder::~FileFinder()
{
    Close();
}

bool FileFinder::SplitPath(LPCWSTR path, WCHAR (&directory)[MAX_PATH], WCHAR (&pattern)[MAX_PATH])
{
    directory[0] = 0;
    pattern[0] = 0;
    if (!path) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    const std::size_t length = Length(path);
    std::size_t split = length; // the separator's index, length when there is none
    for (std::size_t i = length; i-- > 0;)
        if (path[i] == u'\\' || path[i] == u'/') {
            split = i;
            break;
        }
    LPCWSTR dir = path;
    std::size_t dirLength = split + 1;
    if (split == length || split == 0) {
        dir = kRoot;
        dirLength = 1;
    }
    LPCWSTR name = split == length ? path : path + split + 1;
    std::size_t nameLength = split == length ? length : length - split - 1;
    if (nameLength == 0) {
        name = kAllFiles;
        nameLength = Length(kAllFiles);
    }
    // The search path is both together: each part then fits on its own.
    if (dirLength + nameLength >= MAX_PATH) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    CopyInto(directory, dir, dirLength);
    CopyInto(pattern, name, nameLength);
    return true;
}

bool FileFinder::FindFirst(LPCWSTR path)
{
    Close();
    if (!SplitPath(path, m_szDirectory, m_szPattern))
        return false;
    WCHAR search[MAX_PATH];
    const std::size_t dirLength = Length(m_szDirectory);
    CopyInto(search, m_szDirectory, dirLength);
    CopyInto(search + dirLength, m_szPattern, Length(m_szPattern));
    m_hFind = FindFirstFileW(search, &m_data);
    if (!IsOpen()) {
        const DWORD error = GetLastError();
        Close();
        SetLastError(error);
        return false;
    }
    return true;
}

bool FileFinder::FindNext()
{
    return IsOpen() && FindNextFileW(m_hFind, &m_data);
}

bool FileFinder::IsDirectory() const
{
    return (m_data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

LPCWSTR FileFinder::GetDirectory() const
{
    return IsOpen() ? m_szDirectory : nullptr;
}

LPCWSTR FileFinder::GetPattern() const
{
    return IsOpen() ? m_szPattern : nullptr;
}

LPCWSTR FileFinder::GetFileName() const
{
    return IsOpen() ? m_data.cFileName : nullptr;
}

void FileFinder::Close()
{
    if (IsOpen())
        FindClose(m_hFind);
    m_hFind = INVALID_HANDLE_VALUE;
    m_szDirectory[0] = 0;
    m_szPattern[0] = 0;
    m_data = WIN32_FIND_DATAW{};
}

} // namespace shell
