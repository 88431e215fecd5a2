// The debug printf: any format over a fixed set of arguments of every kind.
// The output is bounded, and a buffered format is cut and terminated.
#include "fuzz/FuzzTarget.h"
#include "platform/base/Debug.h"

#include <string>

WREN_FUZZ_TARGET(Format)
{
    std::u16string format;
    for (size_t i = 0; i + 1 < size; i += 2)
        format.push_back(static_cast<WCHAR>(data[i] | (data[i + 1] << 8)));
    static const WCHAR wide[] = u"wide";
    const platform::FormatArg args[]
        = {platform::FormatArg(-7),      platform::FormatArg(0xFFFFFFFFu),    platform::FormatArg(1e300),
           platform::FormatArg(wide),    platform::FormatArg("narrow"),       platform::FormatArg(INT64_MIN),
           platform::FormatArg(nullptr), platform::FormatArg(-2147483647 - 1)};
    const size_t count = size ? data[0] % 9 : 0;
    const std::u16string out = platform::FormatList(format.c_str(), args, count);
    // Each conversion prints at most a few hundred characters.
    FUZZ_CHECK(out.size() <= (format.size() + 1) * 600);
    WCHAR buffer[16];
    const size_t written = platform::FormatInto(buffer, 16, format.c_str(), args, count);
    FUZZ_CHECK(written < 16 && buffer[written] == 0);
    return 0;
}
