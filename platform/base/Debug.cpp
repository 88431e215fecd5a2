#include "platform/base/Debug.h"

#include "platform/base/Text.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace platform {
namespace {

std::mutex g_outputLock;
DebugCapture* g_capture = nullptr;

std::FILE* LogFile()
{
    static std::FILE* file = [] {
        const char* path = std::getenv("WREN_LOG");
        return (path && *path) ? std::fopen(path, "a") : nullptr;
    }();
    return file;
}

struct Spec {
    std::string flags;
    int width = -1;
    int precision = -1;
    int lengthBytes = 0; // 0 = none given
    bool narrowText = false;
    bool wideText = false;
    WCHAR conversion = 0;
};

std::uint64_t Mask(std::uint64_t v, int bytes)
{
    return bytes >= 8 ? v : (v & ((std::uint64_t{1} << (bytes * 8)) - 1));
}

std::int64_t SignExtend(std::uint64_t v, int bytes)
{
    if (bytes >= 8)
        return static_cast<std::int64_t>(v);
    int shift = 64 - bytes * 8;
    return static_cast<std::int64_t>(v << shift) >> shift;
}

// Widths and precisions beyond this are cut: a hostile format cannot ask
// for huge padding.
constexpr int kMaxWidth = 256;

// Reads the decimal digits at p into count, saturating at kMaxWidth so that
// no number of digits overflows; returns the position after the digits.
const WCHAR* ReadCount(const WCHAR* p, int& count)
{
    count = 0;
    while (*p >= u'0' && *p <= u'9') {
        count = std::min(count * 10 + (*p - u'0'), kMaxWidth + 1);
        ++p;
    }
    return p;
}

// A double as a 64-bit integer, saturated (and NaN as 0): the plain cast of
// an out-of-range double is undefined.
std::int64_t Truncate(double d)
{
    if (!(d == d))
        return 0;
    if (d >= 9223372036854775807.0)
        return INT64_MAX;
    if (d <= -9223372036854775808.0)
        return INT64_MIN;
    return static_cast<std::int64_t>(d);
}

std::uint64_t RawBits(const FormatArg& a)
{
    switch (a.kind) {
    case FormatArg::Kind::Signed:
        return static_cast<std::uint64_t>(a.i);
    case FormatArg::Kind::Unsigned:
        return a.u;
    case FormatArg::Kind::Double:
        return static_cast<std::uint64_t>(Truncate(a.d));
    case FormatArg::Kind::Pointer:
        return reinterpret_cast<std::uintptr_t>(a.p);
    case FormatArg::Kind::WideText:
        return reinterpret_cast<std::uintptr_t>(a.ws);
    case FormatArg::Kind::NarrowText:
        return reinterpret_cast<std::uintptr_t>(a.s);
    }
    return 0;
}

void Pad(std::u16string& out, std::u16string_view body, const Spec& spec)
{
    bool left = spec.flags.find('-') != std::string::npos;
    std::size_t width = spec.width > 0 ? static_cast<std::size_t>(spec.width) : 0;
    std::size_t fill = width > body.size() ? width - body.size() : 0;
    if (!left)
        out.append(fill, u' ');
    out.append(body);
    if (left)
        out.append(fill, u' ');
}

void AppendNumber(std::u16string& out, const Spec& spec, const FormatArg& arg)
{
    std::string fmt = "%" + spec.flags;
    if (spec.width >= 0)
        fmt += std::to_string(spec.width);
    if (spec.precision >= 0)
        fmt.append(".").append(std::to_string(spec.precision));
    char buf[512];
    char conv = static_cast<char>(spec.conversion);
    // Integer width: the length modifier's, else the unit's 32-bit int;
    // pointers keep their full width.
    int bytes = spec.lengthBytes ? spec.lengthBytes : 4;
    if (arg.kind == FormatArg::Kind::Pointer)
        bytes = sizeof(void*);
    switch (conv) {
    case 'd':
    case 'i': {
        long long v = arg.kind == FormatArg::Kind::Double ? Truncate(arg.d) : SignExtend(RawBits(arg), bytes);
        std::snprintf(buf, sizeof buf, (fmt + "lld").c_str(), v);
        break;
    }
    case 'u':
    case 'x':
    case 'X':
    case 'o': {
        unsigned long long v = Mask(RawBits(arg), bytes);
        std::snprintf(buf, sizeof buf, (fmt + "ll" + conv).c_str(), v);
        break;
    }
    case 'p':
        std::snprintf(buf, sizeof buf, "%0*llX", static_cast<int>(2 * sizeof(void*)),
                      static_cast<unsigned long long>(RawBits(arg)));
        break;
    default: { // e, E, f, F, g, G
        double v = arg.kind == FormatArg::Kind::Double ? arg.d
            : arg.kind == FormatArg::Kind::Signed      ? static_cast<double>(arg.i)
            : arg.kind == FormatArg::Kind::Unsigned    ? static_cast<double>(arg.u)
                                                       : 0.0;
        std::snprintf(buf, sizeof buf, (fmt + conv).c_str(), v);
        break;
    }
    }
    for (const char* c = buf; *c; ++c)
        out += static_cast<WCHAR>(static_cast<unsigned char>(*c));
}

} // namespace

std::u16string FormatList(LPCWSTR format, const FormatArg* args, std::size_t count)
{
    std::u16string out;
    if (!format)
        return out;
    std::size_t next = 0;
    auto take = [&]() -> const FormatArg* { return next < count ? &args[next++] : nullptr; };
    for (const WCHAR* p = format; *p; ++p) {
        if (*p != u'%') {
            out += *p;
            continue;
        }
        const WCHAR* start = p++;
        if (*p == u'%') {
            out += u'%';
            continue;
        }
        Spec spec;
        while (*p == u'-' || *p == u'+' || *p == u' ' || *p == u'#' || *p == u'0')
            spec.flags += static_cast<char>(*p++);
        if (*p == u'*') {
            const FormatArg* a = take();
            const std::int64_t width = a ? SignExtend(RawBits(*a), 4) : 0;
            if (width < 0)
                spec.flags += '-';
            spec.width = static_cast<int>(std::min<std::int64_t>(width < 0 ? -width : width, kMaxWidth));
            ++p;
        } else {
            p = ReadCount(p, spec.width);
        }
        if (*p == u'.') {
            ++p;
            spec.precision = 0;
            if (*p == u'*') {
                const FormatArg* a = take();
                spec.precision = a ? static_cast<int>(SignExtend(RawBits(*a), 4)) : 0;
                if (spec.precision < 0)
                    spec.precision = -1;
                ++p;
            } else {
                p = ReadCount(p, spec.precision);
            }
        }
        // Cap widths so that a hostile format cannot ask for huge padding.
        spec.width = std::min(spec.width, kMaxWidth);
        spec.precision = std::min(spec.precision, kMaxWidth);
        for (;;) {
            if (*p == u'h') {
                spec.lengthBytes = spec.lengthBytes == 2 ? 1 : 2;
                spec.narrowText = true;
                ++p;
            } else if (*p == u'l') {
                spec.lengthBytes = spec.lengthBytes == 4 ? 8 : 4;
                spec.wideText = true;
                ++p;
            } else if (*p == u'w') {
                spec.wideText = true;
                ++p;
            } else if (*p == u'L' || *p == u'q' || *p == u'j' || *p == u'z' || *p == u't') {
                spec.lengthBytes = 8;
                ++p;
            } else if (*p == u'I') {
                ++p;
                if (p[0] == u'6' && p[1] == u'4') {
                    spec.lengthBytes = 8;
                    p += 2;
                } else if (p[0] == u'3' && p[1] == u'2') {
                    spec.lengthBytes = 4;
                    p += 2;
                } else {
                    spec.lengthBytes = sizeof(void*);
                }
            } else {
                break;
            }
        }
        spec.conversion = *p;
        switch (*p) {
        case u'd':
        case u'i':
        case u'u':
        case u'x':
        case u'X':
        case u'o':
        case u'p':
        case u'e':
        case u'E':
        case u'f':
        case u'F':
        case u'g':
        case u'G': {
            const FormatArg* a = take();
            if (a)
                AppendNumber(out, spec, *a);
            break;
        }
        case u'c':
        case u'C': {
            const FormatArg* a = take();
            WCHAR c = a ? static_cast<WCHAR>(RawBits(*a)) : u'\0';
            if (c)
                Pad(out, std::u16string_view(&c, 1), spec);
            break;
        }
        case u's':
        case u'S': {
            const FormatArg* a = take();
            std::u16string text;
            if (a && a->kind == FormatArg::Kind::WideText) {
                text = a->ws ? std::u16string(a->ws) : std::u16string(u"(null)");
            } else if (a && a->kind == FormatArg::Kind::NarrowText) {
                text = a->s ? FromUtf8(a->s) : std::u16string(u"(null)");
            } else if (a) {
                text = u"(null)";
            }
            if (spec.precision >= 0 && text.size() > static_cast<std::size_t>(spec.precision))
                text.resize(static_cast<std::size_t>(spec.precision));
            Pad(out, text, spec);
            break;
        }
        case 0:
            // A format that ends inside a conversion prints what it had.
            out.append(start, p);
            return out;
        default:
            out.append(start, p + 1);
            break;
        }
    }
    return out;
}

std::size_t FormatInto(WCHAR* buffer, std::size_t capacity, LPCWSTR format, const FormatArg* args, std::size_t count)
{
    if (!buffer || capacity == 0)
        return 0;
    std::u16string text = FormatList(format, args, count);
    std::size_t n = text.size() < capacity ? text.size() : capacity - 1;
    text.copy(buffer, n);
    buffer[n] = 0;
    return n;
}

void DebugWrite(std::u16string_view text)
{
    std::string utf8 = ToUtf8(text);
    std::lock_guard<std::mutex> lock(g_outputLock);
    if (g_capture) {
        g_capture->Add(utf8);
        if (!g_capture->m_echo)
            return;
    }
    std::string plain;
    plain.reserve(utf8.size());
    for (char c : utf8)
        if (c != '\r')
            plain += c;
    std::fwrite(plain.data(), 1, plain.size(), stderr);
    if (std::FILE* log = LogFile()) {
        std::fwrite(plain.data(), 1, plain.size(), log);
        std::fflush(log);
    }
}

DebugCapture::DebugCapture(bool echo) : m_echo(echo)
{
    std::lock_guard<std::mutex> lock(g_outputLock);
    m_previous = g_capture;
    g_capture = this;
}

DebugCapture::~DebugCapture()
{
    std::lock_guard<std::mutex> lock(g_outputLock);
    g_capture = m_previous;
}

void DebugCapture::Add(const std::string& utf8)
{
    m_text += utf8;
}

std::string DebugCapture::Text() const
{
    std::lock_guard<std::mutex> lock(g_outputLock);
    return m_text;
}

std::vector<std::string> DebugCapture::Lines() const
{
    std::vector<std::string> lines;
    std::string current;
    for (char c : Text()) {
        if (c == '\r')
            continue;
        if (c == '\n') {
            lines.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.empty())
        lines.push_back(current);
    return lines;
}

bool DebugCapture::Contains(std::string_view part) const
{
    return Text().find(part) != std::string::npos;
}

std::string DebugCapture::Take()
{
    std::lock_guard<std::mutex> lock(g_outputLock);
    std::string text;
    text.swap(m_text);
    return text;
}

void DebugCapture::Clear()
{
    std::lock_guard<std::mutex> lock(g_outputLock);
    m_text.clear();
}

} // namespace platform

void OutputDebugStringW(LPCWSTR text)
{
    if (text)
        platform::DebugWrite(text);
}
