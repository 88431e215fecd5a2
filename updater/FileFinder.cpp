#include "updater/FileFinder.h"

#include "platform/base/Text.h"

bool FileFinder::FindFirst(LPCWSTR pattern)
{
    Close();
    const std::u16string text = pattern ? pattern : u"";
    const std::size_t split = text.find_last_of(u"\\/");
    // Built as new strings and moved in: GCC 12 at -O3 reports a false
    // overlap for a literal assigned over a member's old contents.
    const bool hasFolder = split != std::u16string::npos;
    std::u16string name = hasFolder ? text.substr(split + 1) : text;
    m_folder = hasFolder ? text.substr(0, split + 1) : std::u16string(1, u'/');
    m_name = name.empty() ? std::u16string(u"*.*") : std::move(name);
    const std::u16string full = m_folder + m_name;
    m_find = FindFirstFileW(full.c_str(), &m_data);
    return m_find != INVALID_HANDLE_VALUE;
}

bool FileFinder::FindNext()
{
    return m_find != INVALID_HANDLE_VALUE && FindNextFileW(m_find, &m_data);
}

void FileFinder::Close()
{
    if (m_find != INVALID_HANDLE_VALUE) {
        FindClose(m_find);
        m_find = INVALID_HANDLE_VALUE;
    }
}

bool FileFinder::IsDots() const
{
    return lstrcmpW(m_data.cFileName, u".") == 0 || lstrcmpW(m_data.cFileName, u"..") == 0;
}
