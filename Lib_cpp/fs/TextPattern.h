// Text patterns: screens show numbers and paths through small patterns
// instead of format code, e.g. a play time as
// "<hour%02d>:<min%02d>:<sec%02d>", a frequency as "</10%10>MHz", a file as
// "<fileext>", a folder as "<dev><dir>".
//
// Grammar: any character other than '<' is copied; "<<" writes one '<'; '<'
// followed by anything else opens a tag that runs up to the next '>' (which
// is consumed) or to the end of the pattern. Tag names are recognised without
// case by prefix: the tag text only has to begin with the name.
//
// The expansion is bounded: at most kIxTimeTextChars - 1 characters for a
// number, kIxPathTextChars - 1 for a path; whatever goes beyond is cut.
// A number tag accepts only integer conversions (d, i, u, x, X, o); a tag
// with any other conversion, or with more than one, writes nothing.
#pragma once

#include "Lib_cpp/core/String.h"
#include "platform/base/Types.h"

#include <string_view>

// Output buffer sizes, terminator included.
inline constexpr int kIxTimeTextChars = 80;
inline constexpr int kIxPathTextChars = 520;

// A bounded writer over a caller's buffer: it never writes past the last
// slot, which is kept for the terminator, and the text is always terminated.
class IxTextCursor {
public:
    // capacity: characters of the buffer, terminator included (at least 1).
    IxTextCursor(LPWSTR buffer, int capacity);

    void Put(WCHAR c);
    void Write(std::u16string_view text);
    // Characters that still fit.
    int Room() const { return static_cast<int>(m_pLast - m_pPos); }
    BOOL IsFull() const { return m_pPos == m_pLast; }
    int Length() const { return static_cast<int>(m_pPos - m_pStart); }
    LPCWSTR Text() const { return m_pStart; }

private:
    LPWSTR m_pStart;
    LPWSTR m_pPos;
    LPWSTR m_pLast; // the terminator's slot
};

// Expands a number pattern for a 32-bit value. An empty (or null) pattern
// gives the value in decimal. 0 only when out cannot be assigned (it then
// keeps its previous value).
BOOL FormatTimeText(LPCWSTR pattern, DWORD value, IxString& out);

// Expands a path pattern for a path. An empty pattern gives the path
// unchanged; an empty path gives the empty text for any other pattern.
// "<dev>" asks the process's device manager for the display name.
BOOL FormatPathText(LPCWSTR pattern, LPCWSTR path, IxString& out);

// The fixed-point writer: the divisor is the leading decimal digits of
// divisorText (0 when none). Writes quotient '.' remainder, the remainder
// zero-padded to the digits of divisor - 1: "%d." for 1, "%d.%01d" for 10,
// "%d.%02d" for 100, "%d.%03d" for 1000 ...; a divisor of 0 writes "0.0".
// Negative values write the truncating quotient and remainder as they are.
void FormatFixedPoint(std::u16string_view divisorText, int value, IxTextCursor& cursor);

// Writes the value with a printf-style format that holds at most one integer
// conversion (flags "-+ 0#", width, precision, length h/hh/l/ll, then d, i,
// u, x, X or o; "%%" writes '%'), or in decimal when the format is empty. A
// format that begins with '+' writes nothing when the value is 0, otherwise
// the '+' is dropped. 0 (nothing written) for any other conversion, a
// conversion that is cut short, or a second conversion.
BOOL FormatIntegerSpec(std::u16string_view format, DWORD value, IxTextCursor& cursor);
