#include "updater/FileFinder.h"

#include "platform/base/Text.h"

bool FileFinder::FindFirst(LPCWSTR pattern)
{
    Close();
    const std::u16string text = pattern ? pattern : u"";
    const std::size_t split = text.find_last_of(u"\\/");
    if (split == std::u16string::npos) {
        m_folder = u"/";
        m_name = text;
    } else {
        m_folder = text.substr(0, split + 1);
        m_name = text.substr(split + 1);
    }
    if (m_name.empty())
        m_name = u"*.*";
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
