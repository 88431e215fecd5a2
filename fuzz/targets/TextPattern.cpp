// The text patterns: time, path and number patterns from the data.
#include "Lib_cpp/fs/TextPattern.h"
#include "fuzz/FuzzTarget.h"

#include <string>

WREN_FUZZ_TARGET(TextPattern)
{
    if (size < 4)
        return 0;
    const DWORD value = data[0] | (data[1] << 8) | (data[2] << 16) | (static_cast<DWORD>(data[3]) << 24);
    std::u16string pattern;
    for (size_t i = 4; i + 1 < size; i += 2)
        pattern.push_back(static_cast<WCHAR>(data[i] | (data[i + 1] << 8)));
    IxString out;
    FormatTimeText(pattern.c_str(), value, out);
    FormatPathText(pattern.c_str(), u"\\HDD\\Music\\Album\\Song name.mp3", out);
    FormatPathText(u"%p %n %e %d", pattern.c_str(), out);
    return 0;
}
