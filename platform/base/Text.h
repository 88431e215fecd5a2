// UTF-8 <-> UTF-16 conversion and small helpers on UTF-16 text.
#pragma once

#include "platform/base/Types.h"

#include <string>
#include <string_view>

namespace platform {

// Unpaired surrogates and malformed UTF-8 become U+FFFD.
std::string ToUtf8(std::u16string_view text);
std::u16string FromUtf8(std::string_view text);

// Length of a zero-terminated UTF-16 text (0 for null).
std::size_t TextLength(LPCWSTR text);

// The unit's case folding for names: ASCII and Latin-1 capitals to small.
WCHAR FoldCase(WCHAR c);

} // namespace platform

// Ordinal comparison of two zero-terminated texts (null reads as empty).
int lstrcmpW(LPCWSTR a, LPCWSTR b);
// Comparison ignoring the case of ASCII and Latin letters.
int lstrcmpiW(LPCWSTR a, LPCWSTR b);
int lstrlenW(LPCWSTR text);
