// Debug output of the unit: OutputDebugStringW and the kernel's printf-style
// debug print. Lines go to standard error as UTF-8 and, when the environment
// variable WREN_LOG names a file, to that file too. Tests capture them with
// platform::DebugCapture.
//
// Formats are the unit's wide printf formats: %s is a UTF-16 text, %S (or
// %hs) a narrow one, %c a UTF-16 character; 'l' is 32-bit as on the unit,
// 'll' and 'I64' 64-bit, 'z', 'I' and pointer arguments pointer-sized.
// Arguments are passed as typed values, so a format that does not match its
// arguments prints wrongly but never reads past them.
#pragma once

#include "platform/base/Types.h"

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace platform {

// One argument of a formatted print.
struct FormatArg {
    enum class Kind { Signed, Unsigned, Double, WideText, NarrowText, Pointer };
    Kind kind;
    std::uint8_t size = 4; // bytes of an integer argument
    union {
        std::int64_t i;
        std::uint64_t u;
        double d;
        const WCHAR* ws;
        const char* s;
        const void* p;
    };

    template <class T>
    requires(std::is_integral_v<T> || std::is_enum_v<T>) FormatArg(T v) : size(static_cast<std::uint8_t>(sizeof(T)))
    {
        if constexpr (std::is_enum_v<T>) {
            kind = Kind::Signed;
            i = static_cast<std::int64_t>(v);
        } else if constexpr (std::is_signed_v<T>) {
            kind = Kind::Signed;
            i = v;
        } else {
            kind = Kind::Unsigned;
            u = v;
        }
    }
    FormatArg(double v) : kind(Kind::Double), d(v) {}
    FormatArg(float v) : kind(Kind::Double), d(v) {}
    FormatArg(const WCHAR* v) : kind(Kind::WideText), ws(v) {}
    FormatArg(WCHAR* v) : kind(Kind::WideText), ws(v) {}
    FormatArg(const std::u16string& v) : kind(Kind::WideText), ws(v.c_str()) {}
    FormatArg(const char* v) : kind(Kind::NarrowText), s(v) {}
    FormatArg(char* v) : kind(Kind::NarrowText), s(v) {}
    FormatArg(const std::string& v) : kind(Kind::NarrowText), s(v.c_str()) {}
    FormatArg(std::nullptr_t) : kind(Kind::Pointer), size(sizeof(void*)), p(nullptr) {}
    template <class T>
    requires(!std::is_same_v<std::remove_cv_t<T>, WCHAR> && !std::is_same_v<std::remove_cv_t<T>, char>) FormatArg(T* v)
        : kind(Kind::Pointer), size(sizeof(void*)), p(v)
    {
    }
};

// Formats into a string.
std::u16string FormatList(LPCWSTR format, const FormatArg* args, std::size_t count);

// Formats into buffer (capacity in characters, including the terminator);
// the text is cut to fit and always terminated. Returns the characters
// written, without the terminator.
std::size_t FormatInto(WCHAR* buffer, std::size_t capacity, LPCWSTR format, const FormatArg* args, std::size_t count);

template <class... A> std::u16string Format(LPCWSTR format, const A&... args)
{
    const FormatArg list[] = {FormatArg(args)..., FormatArg(0)};
    return FormatList(format, list, sizeof...(A));
}

// Writes text to the debug output as it stands.
void DebugWrite(std::u16string_view text);

// Collects what is written to the debug output while it exists.
class DebugCapture {
public:
    explicit DebugCapture(bool echo = false);
    ~DebugCapture();
    DebugCapture(const DebugCapture&) = delete;
    DebugCapture& operator=(const DebugCapture&) = delete;

    std::string Text() const;               // everything, UTF-8, as written
    std::vector<std::string> Lines() const; // split at line ends, '\r' dropped
    bool Contains(std::string_view part) const;
    void Clear();
    // What was written since the last Take (or the start), removed from the
    // capture: for a reader that follows the output.
    std::string Take();

private:
    friend void DebugWrite(std::u16string_view);
    void Add(const std::string& utf8);
    bool m_echo;
    DebugCapture* m_previous;
    std::string m_text;
};

} // namespace platform

void OutputDebugStringW(LPCWSTR text);

// The kernel's debug print.
template <class... A> void NKDbgPrintfW(LPCWSTR format, const A&... args)
{
    platform::DebugWrite(platform::Format(format, args...));
}
