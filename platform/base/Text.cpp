#include "platform/base/Text.h"

#include <algorithm>

namespace platform {

std::string ToUtf8(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::u16string FromUtf8(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        unsigned char b = static_cast<unsigned char>(text[i]);
        char32_t c;
        std::size_t extra;
        if (b < 0x80) {
            c = b;
            extra = 0;
        } else if ((b & 0xE0) == 0xC0) {
            c = b & 0x1F;
            extra = 1;
        } else if ((b & 0xF0) == 0xE0) {
            c = b & 0x0F;
            extra = 2;
        } else if ((b & 0xF8) == 0xF0) {
            c = b & 0x07;
            extra = 3;
        } else {
            out += u'\uFFFD';
            ++i;
            continue;
        }
        bool ok = true;
        for (std::size_t k = 1; k <= extra; ++k) {
            if (i + k >= text.size() || (static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        }
        static constexpr char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
        if (!ok || c < kMin[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            out += u'\uFFFD';
            ++i;
            continue;
        }
        i += extra + 1;
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

std::size_t TextLength(LPCWSTR text)
{
    if (!text)
        return 0;
    std::size_t n = 0;
    while (text[n])
        ++n;
    return n;
}

WCHAR FoldCase(WCHAR c)
{
    if ((c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7))
        return static_cast<WCHAR>(c + 32);
    return c;
}

WCHAR FoldFileNameCase(WCHAR c)
{
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) // Greek
        return static_cast<WCHAR>(c + 0x20);
    if (c >= 0x410 && c <= 0x42F) // Cyrillic
        return static_cast<WCHAR>(c + 0x20);
    if (c >= 0x400 && c <= 0x40F)
        return static_cast<WCHAR>(c + 0x50);
    return FoldCase(c); // ASCII, Latin-1
}

std::u16string FoldText(std::u16string_view text)
{
    std::u16string folded(text);
    for (WCHAR& c : folded)
        c = FoldCase(c);
    return folded;
}

bool EqualsIgnoringCase(std::u16string_view a, std::u16string_view b, WCHAR (*fold)(WCHAR))
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (fold(a[i]) != fold(b[i]))
            return false;
    }
    return true;
}

bool StartsWithIgnoringCase(std::u16string_view text, std::u16string_view prefix)
{
    return text.size() >= prefix.size() && EqualsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

std::size_t FindIgnoringCase(std::u16string_view text, std::u16string_view needle)
{
    for (std::size_t i = 0; i + needle.size() <= text.size(); ++i) {
        if (EqualsIgnoringCase(text.substr(i, needle.size()), needle))
            return i;
    }
    return std::u16string_view::npos;
}

bool IgnoringCaseLess::operator()(std::u16string_view a, std::u16string_view b) const
{
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const WCHAR x = FoldCase(a[i]), y = FoldCase(b[i]);
        if (x != y)
            return x < y;
    }
    return a.size() < b.size();
}

} // namespace platform

using platform::FoldCase;

int lstrcmpW(LPCWSTR a, LPCWSTR b)
{
    if (!a)
        a = u"";
    if (!b)
        b = u"";
    while (*a && *a == *b) {
        ++a;
        ++b;
    }
    return *a < *b ? -1 : (*a > *b ? 1 : 0);
}

int lstrcmpiW(LPCWSTR a, LPCWSTR b)
{
    if (!a)
        a = u"";
    if (!b)
        b = u"";
    while (*a && FoldCase(*a) == FoldCase(*b)) {
        ++a;
        ++b;
    }
    WCHAR x = FoldCase(*a), y = FoldCase(*b);
    return x < y ? -1 : (x > y ? 1 : 0);
}

int lstrlenW(LPCWSTR text)
{
    return static_cast<int>(platform::TextLength(text));
}
