// The navigation program's report as the main window reads it: whatever
// the bytes, nothing past the received length is read (the input is exactly
// as long as the data), a zero byte ends the text, and the two fields are
// those a plain split of the text at ", " and strtol give, within the range
// of a 32-bit number.
#include "Source/shell/NaviReport.h"
#include "fuzz/FuzzTarget.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

LONG Clamped(const char* text)
{
    const long long v = std::strtoll(text, nullptr, 10);
    return static_cast<LONG>(v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : v);
}

NaviReportValues Split(const std::string& text)
{
    NaviReportValues values;
    std::size_t at = 0;
    for (int i = 0; i < 6; ++i) {
        const std::size_t found = text.find(", ", at);
        if (found == std::string::npos)
            return values;
        at = found + 2;
    }
    values.seventh = Clamped(text.c_str() + at);
    const std::size_t next = text.find(", ", at);
    if (next != std::string::npos)
        values.eighth = Clamped(text.c_str() + next + 2);
    return values;
}

} // namespace

WREN_FUZZ_TARGET(NaviReport)
{
    const NaviReportValues values = ParseNaviReport(data, size);
    const void* zero = std::memchr(data, 0, size);
    const std::size_t length = zero ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - data) : size;
    const NaviReportValues expected = Split(std::string(reinterpret_cast<const char*>(data), length));
    FUZZ_CHECK(values.seventh == expected.seventh);
    FUZZ_CHECK(values.eighth == expected.eighth);
    // What follows the first zero byte changes nothing.
    FUZZ_CHECK(ParseNaviReport(data, length).seventh == values.seventh);
    FUZZ_CHECK(ParseNaviReport(data, length).eighth == values.eighth);
    return 0;
}
