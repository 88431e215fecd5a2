#include "Lib_cpp/fs/TextPattern.h"

#include "Lib_cpp/core/Utility.h"
#include "Lib_cpp/fs/DeviceManager.h"
#include "platform/base/Text.h"

#include <climits>
#include <cstdint>

IxTextCursor::IxTextCursor(LPWSTR buffer, int capacity)
    : m_pStart(buffer), m_pPos(buffer), m_pLast(buffer + (capacity > 0 ? capacity - 1 : 0))
{
    *m_pPos = 0;
}

void IxTextCursor::Put(WCHAR c)
{
    if (m_pPos == m_pLast)
        return;
    *m_pPos++ = c;
    *m_pPos = 0;
}

void IxTextCursor::Write(std::u16string_view text)
{
    std::size_t n = text.size();
    if (n > static_cast<std::size_t>(Room()))
        n = static_cast<std::size_t>(Room());
    for (std::size_t i = 0; i < n; ++i)
        *m_pPos++ = text[i];
    *m_pPos = 0;
}

namespace {

// Numbers in formats are clamped here: nothing longer fits any buffer anyway.
constexpr int kMaxField = 100000;

bool IsDigit(WCHAR c)
{
    return c >= u'0' && c <= u'9';
}

// Leading decimal digits of text as a number (saturating at INT_MAX); the
// number of digits read goes to *used.
int ParseDigits(std::u16string_view text, std::size_t* used)
{
    std::size_t i = 0;
    std::int64_t n = 0;
    while (i < text.size() && IsDigit(text[i])) {
        if (n < INT_MAX)
            n = n * 10 + (text[i] - u'0');
        ++i;
    }
    if (used)
        *used = i;
    return n > INT_MAX ? INT_MAX : static_cast<int>(n);
}

// Whether text begins with name, ASCII letters compared without case.
bool StartsWithName(std::u16string_view text, std::u16string_view name)
{
    return text.size() >= name.size() && IxStartsWithNoCase(text.data(), name.data(), static_cast<int>(name.size()));
}

void Repeat(IxTextCursor& cursor, WCHAR c, int n)
{
    for (int i = 0; i < n && !cursor.IsFull(); ++i)
        cursor.Put(c);
}

// One parsed integer conversion.
struct Conversion {
    bool minus = false;
    bool plus = false;
    bool space = false;
    bool zero = false;
    bool hash = false;
    int width = 0;
    int precision = -1;
    int length = 0; // -2 hh, -1 h, 0 none, 1 l, 2 ll
    WCHAR type = u'd';
};

// Parses the conversion after a '%' at format[*pos]; *pos ends past it.
bool ParseConversion(std::u16string_view format, std::size_t* pos, Conversion* conv)
{
    std::size_t i = *pos;
    for (; i < format.size(); ++i) {
        WCHAR c = format[i];
        if (c == u'-')
            conv->minus = true;
        else if (c == u'+')
            conv->plus = true;
        else if (c == u' ')
            conv->space = true;
        else if (c == u'0')
            conv->zero = true;
        else if (c == u'#')
            conv->hash = true;
        else
            break;
    }
    std::size_t used = 0;
    conv->width = ParseDigits(format.substr(i), &used);
    i += used;
    if (i < format.size() && format[i] == u'.') {
        ++i;
        conv->precision = ParseDigits(format.substr(i), &used);
        i += used;
    }
    if (conv->width > kMaxField)
        conv->width = kMaxField;
    if (conv->precision > kMaxField)
        conv->precision = kMaxField;
    if (i < format.size() && format[i] == u'h') {
        conv->length = -1;
        if (++i < format.size() && format[i] == u'h') {
            conv->length = -2;
            ++i;
        }
    } else if (i < format.size() && format[i] == u'l') {
        conv->length = 1;
        if (++i < format.size() && format[i] == u'l') {
            conv->length = 2;
            ++i;
        }
    }
    if (i >= format.size())
        return false;
    WCHAR t = format[i];
    if (t != u'd' && t != u'i' && t != u'u' && t != u'x' && t != u'X' && t != u'o')
        return false;
    conv->type = t;
    *pos = i + 1;
    return true;
}

void WriteConversion(const Conversion& conv, DWORD value, IxTextCursor& cursor)
{
    bool isSigned = conv.type == u'd' || conv.type == u'i';
    unsigned base = conv.type == u'o' ? 8 : (conv.type == u'x' || conv.type == u'X' ? 16 : 10);
    const char* digitsOf = conv.type == u'X' ? "0123456789ABCDEF" : "0123456789abcdef";

    bool negative = false;
    std::uint32_t magnitude;
    if (isSigned) {
        std::int32_t v = static_cast<std::int32_t>(value);
        if (conv.length == -1)
            v = static_cast<std::int16_t>(v);
        else if (conv.length == -2)
            v = static_cast<std::int8_t>(v);
        negative = v < 0;
        magnitude = negative ? 0u - static_cast<std::uint32_t>(v) : static_cast<std::uint32_t>(v);
    } else {
        magnitude = value;
        if (conv.length == -1)
            magnitude = static_cast<std::uint16_t>(magnitude);
        else if (conv.length == -2)
            magnitude = static_cast<std::uint8_t>(magnitude);
    }

    WCHAR digits[16];
    int n = 0;
    for (std::uint32_t m = magnitude; m; m /= base)
        digits[n++] = static_cast<WCHAR>(digitsOf[m % base]);
    // The digits proper: at least the precision (1 without one; none for a
    // zero value with precision 0).
    int minDigits = conv.precision >= 0 ? conv.precision : 1;
    if (conv.hash && conv.type == u'o' && minDigits <= n)
        minDigits = n + 1; // octal with '#' starts with 0

    WCHAR prefix[2] = {};
    int prefixLength = 0;
    if (isSigned) {
        if (negative)
            prefix[prefixLength++] = u'-';
        else if (conv.plus)
            prefix[prefixLength++] = u'+';
        else if (conv.space)
            prefix[prefixLength++] = u' ';
    } else if (conv.hash && base == 16 && magnitude) {
        prefix[prefixLength++] = u'0';
        prefix[prefixLength++] = conv.type;
    }

    int zeros = minDigits > n ? minDigits - n : 0;
    int body = prefixLength + zeros + n;
    int pad = conv.width > body ? conv.width - body : 0;
    bool zeroPad = conv.zero && !conv.minus && conv.precision < 0;
    if (!conv.minus && !zeroPad)
        Repeat(cursor, u' ', pad);
    cursor.Write(std::u16string_view(prefix, static_cast<std::size_t>(prefixLength)));
    if (zeroPad)
        Repeat(cursor, u'0', pad);
    Repeat(cursor, u'0', zeros);
    while (n > 0 && !cursor.IsFull())
        cursor.Put(digits[--n]);
    if (conv.minus)
        Repeat(cursor, u' ', pad);
}

void WriteSigned(int value, int width, IxTextCursor& cursor)
{
    Conversion conv;
    conv.zero = width > 0;
    conv.width = width;
    WriteConversion(conv, static_cast<DWORD>(value), cursor);
}

// Number of decimal digits of n (n >= 0; 1 for 0).
int DecimalDigits(int n)
{
    int d = 1;
    while (n >= 10) {
        n /= 10;
        ++d;
    }
    return d;
}

// ---- Number tags ----

void ExpandNumberTag(std::u16string_view tag, DWORD value, IxTextCursor& cursor)
{
    if (StartsWithName(tag, u"hour")) {
        FormatIntegerSpec(tag.substr(4), value / 3600, cursor);
    } else if (StartsWithName(tag, u"min")) {
        FormatIntegerSpec(tag.substr(3), (value / 60) % 60, cursor);
    } else if (StartsWithName(tag, u"sec")) {
        FormatIntegerSpec(tag.substr(3), value % 60, cursor);
    } else if (StartsWithName(tag, u"/")) {
        std::u16string_view rest = tag.substr(1);
        std::size_t used = 0;
        int divisor = ParseDigits(rest, &used);
        int v = static_cast<int>(value);
        if (divisor != 0)
            v /= divisor;
        if (used < rest.size() && rest[used] == u'%')
            FormatFixedPoint(rest.substr(used + 1), v, cursor);
        else
            WriteSigned(v, 0, cursor);
    } else if (StartsWithName(tag, u"%")) {
        FormatFixedPoint(tag.substr(1), static_cast<int>(value), cursor);
    } else {
        // Any other name of three characters followed by a format prints the
        // value itself.
        FormatIntegerSpec(tag.size() > 3 ? tag.substr(3) : std::u16string_view(), value, cursor);
    }
}

// ---- Path tags ----

struct PathParts {
    std::u16string_view path;
    std::size_t firstStart = 0; // after the leading '\'
    std::size_t firstEnd = 0;   // the '\' that ends the first component, or the end
    std::size_t fileStart = 0;  // after the last '\'
    std::size_t lastSep = std::u16string_view::npos;
    std::size_t extDot = std::u16string_view::npos; // the '.' of the extension
};

PathParts SplitPath(std::u16string_view path)
{
    PathParts p;
    p.path = path;
    p.firstStart = !path.empty() && path[0] == u'\\' ? 1 : 0;
    p.firstEnd = path.find(u'\\', p.firstStart);
    if (p.firstEnd == std::u16string_view::npos)
        p.firstEnd = path.size();
    p.lastSep = path.rfind(u'\\');
    p.fileStart = p.lastSep == std::u16string_view::npos ? 0 : p.lastSep + 1;
    std::size_t dot = path.rfind(u'.');
    if (dot != std::u16string_view::npos && dot >= p.fileStart)
        p.extDot = dot;
    return p;
}

void WriteDeviceName(const PathParts& p, IxTextCursor& cursor)
{
    IxDeviceManager* manager = IxGetDeviceManager();
    if (!manager)
        return;
    IxString name;
    manager->GetDisplayName(p.path.data(), static_cast<int>(p.firstEnd), name);
    cursor.Write(name.Text());
}

void ExpandPathTag(std::u16string_view tag, const PathParts& p, IxTextCursor& cursor)
{
    std::u16string_view path = p.path;
    bool hasExt = p.extDot != std::u16string_view::npos;
    if (StartsWithName(tag, u"fileext")) {
        cursor.Write(path.substr(p.fileStart));
    } else if (StartsWithName(tag, u"file")) {
        if (hasExt)
            cursor.Write(path.substr(p.fileStart, p.extDot - p.fileStart));
    } else if (StartsWithName(tag, u"ext")) {
        if (hasExt)
            cursor.Write(path.substr(p.extDot + 1));
    } else if (StartsWithName(tag, u"dir")) {
        // From the '\' after the first component up to the '\' before the
        // file name (the last '\').
        if (p.firstEnd < path.size() && p.lastSep != std::u16string_view::npos && p.lastSep > p.firstEnd)
            cursor.Write(path.substr(p.firstEnd, p.lastSep - p.firstEnd));
    } else if (StartsWithName(tag, u"root")) {
        cursor.Write(path.substr(p.firstStart, p.firstEnd - p.firstStart));
    } else if (StartsWithName(tag, u"last")) {
        IxString last;
        IxGetLastFolder(path.data(), last);
        cursor.Write(last.Text());
    } else if (StartsWithName(tag, u"dev")) {
        WriteDeviceName(p, cursor);
    }
}

// Walks the pattern: plain text is copied, "<<" gives '<', every tag goes to
// expand with its text.
template <class Expand> void ExpandPattern(std::u16string_view pattern, IxTextCursor& cursor, Expand expand)
{
    std::size_t i = 0;
    while (i < pattern.size() && !cursor.IsFull()) {
        WCHAR c = pattern[i++];
        if (c != u'<') {
            cursor.Put(c);
            continue;
        }
        if (i < pattern.size() && pattern[i] == u'<') {
            cursor.Put(u'<');
            ++i;
            continue;
        }
        std::size_t close = pattern.find(u'>', i);
        std::size_t end = close == std::u16string_view::npos ? pattern.size() : close;
        expand(pattern.substr(i, end - i));
        i = close == std::u16string_view::npos ? pattern.size() : close + 1;
    }
}

std::u16string_view View(LPCWSTR text)
{
    return text ? std::u16string_view(text) : std::u16string_view();
}

} // namespace

void FormatFixedPoint(std::u16string_view divisorText, int value, IxTextCursor& cursor)
{
    int divisor = ParseDigits(divisorText, nullptr);
    if (divisor == 0) {
        cursor.Write(u"0.0");
        return;
    }
    WriteSigned(value / divisor, 0, cursor);
    cursor.Put(u'.');
    if (divisor > 1)
        WriteSigned(value % divisor, DecimalDigits(divisor - 1), cursor);
}

BOOL FormatIntegerSpec(std::u16string_view format, DWORD value, IxTextCursor& cursor)
{
    if (format.empty()) {
        WriteSigned(static_cast<int>(value), 0, cursor);
        return TRUE;
    }
    if (format[0] == u'+') {
        if (value == 0)
            return TRUE;
        format.remove_prefix(1);
    }
    // Check the whole format before writing anything.
    Conversion conv;
    bool found = false;
    for (std::size_t i = 0; i < format.size();) {
        if (format[i++] != u'%')
            continue;
        if (i < format.size() && format[i] == u'%') {
            ++i;
            continue;
        }
        if (found || !ParseConversion(format, &i, &conv))
            return FALSE;
        found = true;
    }
    for (std::size_t i = 0; i < format.size() && !cursor.IsFull();) {
        WCHAR c = format[i++];
        if (c != u'%') {
            cursor.Put(c);
        } else if (i < format.size() && format[i] == u'%') {
            cursor.Put(u'%');
            ++i;
        } else {
            Conversion parsed;
            ParseConversion(format, &i, &parsed);
            WriteConversion(parsed, value, cursor);
        }
    }
    return TRUE;
}

BOOL FormatTimeText(LPCWSTR pattern, DWORD value, IxString& out)
{
    WCHAR buffer[kIxTimeTextChars];
    IxTextCursor cursor(buffer, kIxTimeTextChars);
    std::u16string_view text = View(pattern);
    if (text.empty()) {
        Conversion conv;
        conv.type = u'u';
        WriteConversion(conv, value, cursor);
    } else {
        ExpandPattern(text, cursor, [&](std::u16string_view tag) { ExpandNumberTag(tag, value, cursor); });
    }
    return out.Assign(buffer);
}

BOOL FormatPathText(LPCWSTR pattern, LPCWSTR path, IxString& out)
{
    std::u16string_view text = View(pattern);
    std::u16string_view source = View(path);
    if (text.empty())
        return out.Assign(path ? path : u"");
    if (source.empty())
        return out.Assign(u"");
    WCHAR buffer[kIxPathTextChars];
    IxTextCursor cursor(buffer, kIxPathTextChars);
    PathParts parts = SplitPath(source);
    ExpandPattern(text, cursor, [&](std::u16string_view tag) { ExpandPathTag(tag, parts, cursor); });
    return out.Assign(buffer);
}
