#include "Source/shell/NaviReport.h"

#include <climits>
#include <cstring>

namespace {

// The field separator is a comma followed by a space.
bool IsSeparatorAt(const BYTE* text, std::size_t length, std::size_t at)
{
    return at + 1 < length && text[at] == ',' && text[at + 1] == ' ';
}

// Just past the next separator at or after from; length when there is none.
std::size_t AfterSeparator(const BYTE* text, std::size_t length, std::size_t from)
{
    for (std::size_t i = from; i < length; ++i) {
        if (IsSeparatorAt(text, length, i))
            return i + 2;
    }
    return length;
}

bool IsWhite(BYTE c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

LONG ReadNumber(const BYTE* text, std::size_t length, std::size_t at)
{
    while (at < length && IsWhite(text[at]))
        ++at;
    bool negative = false;
    if (at < length && (text[at] == '+' || text[at] == '-')) {
        negative = text[at] == '-';
        ++at;
    }
    long long value = 0;
    for (; at < length && text[at] >= '0' && text[at] <= '9'; ++at) {
        value = value * 10 + (text[at] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            value = static_cast<long long>(INT_MAX) + 1; // saturated; keeps growing bounded
    }
    if (negative)
        value = -value;
    if (value > INT_MAX)
        value = INT_MAX;
    return static_cast<LONG>(value);
}

} // namespace

NaviReportValues ParseNaviReport(const BYTE* data, std::size_t size)
{
    NaviReportValues values;
    if (!data)
        return values;
    const void* zero = std::memchr(data, 0, size);
    const std::size_t length = zero ? static_cast<std::size_t>(static_cast<const BYTE*>(zero) - data) : size;
    std::size_t at = 0;
    for (int separators = 0; separators < 6; ++separators) {
        at = AfterSeparator(data, length, at);
        if (at >= length)
            return values; // fewer than six separators, or nothing after the sixth
    }
    values.seventh = ReadNumber(data, length, at);
    at = AfterSeparator(data, length, at);
    if (at < length)
        values.eighth = ReadNumber(data, length, at);
    return values;
}
