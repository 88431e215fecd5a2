// UTF-8 <-> UTF-16 conversion and small helpers on UTF-16 text.
#pragma once

#include "platform/base/Types.h"

#include <string>
#include <string_view>

namespace platform {

// Unpaired surrogates and malformed UTF-8 become U+FFFD.
std::string ToUtf8(std::u16string_view text);
std::u16string FromUtf8(std::string_view text);

// The value of a hexadecimal digit (either case), -1 for anything else.
inline int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Length of a zero-terminated UTF-16 text (0 for null).
std::size_t TextLength(LPCWSTR text);

// The unit's case folding for names: ASCII and Latin-1 capitals to small.
WCHAR FoldCase(WCHAR c);
// The folding of the unit's file systems: as FoldCase, and Greek and
// Cyrillic capitals to small. Every pair keeps its UTF-8 length.
WCHAR FoldFileNameCase(WCHAR c);

// The text with every character folded by FoldCase (null: empty).
std::u16string FoldText(std::u16string_view text);
inline std::u16string FoldText(LPCWSTR text)
{
    return FoldText(text ? std::u16string_view(text) : std::u16string_view());
}

// Comparisons without case (FoldCase unless another folding is given).
bool EqualsIgnoringCase(std::u16string_view a, std::u16string_view b, WCHAR (*fold)(WCHAR) = FoldCase);
bool StartsWithIgnoringCase(std::u16string_view text, std::u16string_view prefix);
// Where needle first occurs in text, or npos (an empty needle: at 0).
std::size_t FindIgnoringCase(std::u16string_view text, std::u16string_view needle);

// Orders texts as lstrcmpiW does: a map key compared without case.
struct IgnoringCaseLess {
    bool operator()(std::u16string_view a, std::u16string_view b) const;
};

} // namespace platform

// Ordinal comparison of two zero-terminated texts (null reads as empty).
int lstrcmpW(LPCWSTR a, LPCWSTR b);
// Comparison ignoring the case of ASCII and Latin letters.
int lstrcmpiW(LPCWSTR a, LPCWSTR b);
int lstrlenW(LPCWSTR text);
