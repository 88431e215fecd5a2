#include "platform/io/CodePage.h"

#include "platform/base/Error.h"
#include "platform/io/Io.h" // error codes

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <iconv.h>
#include <string>
#include <string_view>

namespace {

constexpr UINT kAnsiCodePage = 949;
const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);
constexpr std::size_t kFailed = static_cast<std::size_t>(-1);

enum Code { kKorean, kUtf8, kUtf7, kCodeCount };

bool CodeOf(UINT codePage, Code& code)
{
    switch (codePage) {
    case CP_ACP:
    case CP_OEMCP:
    case CP_THREAD_ACP:
    case kAnsiCodePage:
        code = kKorean;
        return true;
    case CP_UTF8:
        code = kUtf8;
        return true;
    case CP_UTF7:
        code = kUtf7;
        return true;
    default:
        return false;
    }
}

// iconv descriptors are not shareable between threads: each thread opens
// its own, once per code and direction, and closes them when it ends.
class Converters {
public:
    ~Converters()
    {
        for (auto& pair : m_cd) {
            for (iconv_t cd : pair) {
                if (cd != kNoConverter)
                    iconv_close(cd);
            }
        }
    }

    // A converter in its initial state, or kNoConverter.
    iconv_t Get(Code code, bool toWide)
    {
        static const char* const names[kCodeCount] = {"CP949", "UTF-8", "UTF-7"};
        iconv_t& cd = m_cd[code][toWide ? 1 : 0];
        if (cd == kNoConverter)
            cd = toWide ? iconv_open("UTF-16LE", names[code]) : iconv_open(names[code], "UTF-16LE");
        if (cd != kNoConverter)
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        return cd;
    }

private:
    iconv_t m_cd[kCodeCount][2]
        = {{kNoConverter, kNoConverter}, {kNoConverter, kNoConverter}, {kNoConverter, kNoConverter}};
};

thread_local Converters t_converters;

bool IsHigh(WCHAR c)
{
    return c >= 0xD800 && c <= 0xDBFF;
}

bool IsLow(WCHAR c)
{
    return c >= 0xDC00 && c <= 0xDFFF;
}

void AppendUtf16(std::u16string& out, const char* bytes, std::size_t size)
{
    for (std::size_t i = 0; i + 1 < size; i += 2)
        out.push_back(
            static_cast<WCHAR>(static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8)));
}

// Whether the bytes convert on their own, from the initial state (a final
// incomplete character aside).
bool ConvertsCleanly(iconv_t cd, const char* bytes, std::size_t size)
{
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(bytes);
    std::size_t left = size;
    char buffer[4096];
    for (;;) {
        char* out = buffer;
        std::size_t room = sizeof buffer;
        if (iconv(cd, &in, &left, &out, &room) != kFailed)
            return true;
        if (errno != E2BIG)
            return errno != EILSEQ;
    }
}

// Runs the converter over the input (and its final flush), appending the
// output. At each input position it cannot convert it calls onError(input,
// left), which appends a replacement and returns how many input bytes to
// skip, or 0 to give up.
//
// Some of the C library's converters (code page 949's two-byte codes that
// have no character) step past the code before they report it. Each report
// is therefore checked: when the bytes converted since the last report do not
// convert on their own, the bad code lies at their end and was consumed, so
// the conversion resumes where the converter stopped and skips nothing.
template <class Out, class OnError> bool Run(iconv_t cd, std::string_view input, Out append, OnError onError)
{
    char* in = const_cast<char*>(input.data());
    std::size_t left = input.size();
    const char* clean = in; // where the converter last started from its initial state
    char buffer[4096];
    for (;;) {
        char* out = buffer;
        std::size_t room = sizeof buffer;
        const bool flushing = left == 0;
        const std::size_t result
            = flushing ? iconv(cd, nullptr, nullptr, &out, &room) : iconv(cd, &in, &left, &out, &room);
        const int error = errno;
        append(buffer, static_cast<std::size_t>(out - buffer));
        if (result != kFailed) {
            if (flushing)
                return true;
            continue;
        }
        if (error == E2BIG)
            continue;
        if ((error != EILSEQ && error != EINVAL) || flushing)
            return false;
        const bool consumed
            = error == EILSEQ && in != clean && !ConvertsCleanly(cd, clean, static_cast<std::size_t>(in - clean));
        const std::size_t skip = onError(in, left);
        if (skip == 0)
            return false;
        if (!consumed) {
            in += std::min(skip, left);
            left -= std::min(skip, left);
        }
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        clean = in;
    }
}

int Fail(DWORD error)
{
    SetLastError(error);
    return 0;
}

// Hands the result to the caller: its size when asked, else the result when
// it fits. Nothing is written when it does not.
template <class Char, class Text> int Deliver(const Text& text, Char* buffer, int capacity)
{
    if (text.size() > static_cast<std::size_t>(INT_MAX))
        return Fail(ERROR_NOT_ENOUGH_MEMORY);
    const int size = static_cast<int>(text.size());
    if (capacity == 0)
        return size;
    if (size > capacity)
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    std::copy(text.begin(), text.end(), buffer);
    return size;
}

} // namespace

UINT GetACP()
{
    return kAnsiCodePage;
}

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR bytes, int byteCount, LPWSTR wide, int wideCount)
{
    Code code;
    if (!CodeOf(codePage, code) || !bytes || byteCount == 0 || byteCount < -1 || wideCount < 0
        || (wideCount > 0 && !wide))
        return Fail(ERROR_INVALID_PARAMETER);
    const bool terminated = byteCount == -1;
    const std::string_view input(bytes, terminated ? std::strlen(bytes) : static_cast<std::size_t>(byteCount));
    iconv_t cd = t_converters.Get(code, true);
    if (cd == kNoConverter)
        return Fail(ERROR_INVALID_PARAMETER);

    const bool strict = (flags & MB_ERR_INVALID_CHARS) != 0;
    std::u16string text;
    const bool done = Run(
        cd, input, [&](const char* out, std::size_t size) { AppendUtf16(text, out, size); },
        [&](const char*, std::size_t) -> std::size_t {
            if (strict)
                return 0;
            text.push_back(u'\uFFFD');
            return 1;
        });
    if (!done)
        return Fail(strict ? ERROR_NO_UNICODE_TRANSLATION : ERROR_GEN_FAILURE);
    if (terminated)
        text.push_back(0);
    return Deliver(text, wide, wideCount);
}

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int wideCount, LPSTR bytes, int byteCount,
                        LPCSTR defaultChar, BOOL* usedDefault)
{
    Code code;
    if (!CodeOf(codePage, code) || !wide || wideCount == 0 || wideCount < -1 || byteCount < 0
        || (byteCount > 0 && !bytes))
        return Fail(ERROR_INVALID_PARAMETER);
    const bool terminated = wideCount == -1;
    std::size_t length = 0;
    if (terminated) {
        while (wide[length])
            ++length;
    } else {
        length = static_cast<std::size_t>(wideCount);
    }

    // Unpaired surrogates are refused or replaced before conversion, so that
    // the converter only stops at characters the code page lacks.
    std::string input;
    input.reserve(length * 2);
    for (std::size_t i = 0; i < length; ++i) {
        WCHAR c = wide[i];
        if (IsHigh(c) && i + 1 < length && IsLow(wide[i + 1])) {
            input += static_cast<char>(c & 0xFF);
            input += static_cast<char>(c >> 8);
            c = wide[++i];
        } else if (IsHigh(c) || IsLow(c)) {
            if (flags & WC_ERR_INVALID_CHARS)
                return Fail(ERROR_NO_UNICODE_TRANSLATION);
            c = 0xFFFD;
        }
        input += static_cast<char>(c & 0xFF);
        input += static_cast<char>(c >> 8);
    }
    iconv_t cd = t_converters.Get(code, false);
    if (cd == kNoConverter)
        return Fail(ERROR_INVALID_PARAMETER);

    std::string_view replacement = "?";
    if (defaultChar && *defaultChar)
        replacement = std::string_view(defaultChar, std::min<std::size_t>(std::strlen(defaultChar), 2));
    bool replaced = false;
    std::string text;
    const bool done = Run(
        cd, input, [&](const char* out, std::size_t size) { text.append(out, size); },
        [&](const char* at, std::size_t left) -> std::size_t {
            text.append(replacement.data(), replacement.size());
            replaced = true;
            const bool pair = left >= 4
                && IsHigh(static_cast<WCHAR>(static_cast<unsigned char>(at[0])
                                             | (static_cast<unsigned char>(at[1]) << 8)));
            return std::min<std::size_t>(pair ? 4 : 2, left);
        });
    if (!done)
        return Fail(ERROR_GEN_FAILURE);
    if (terminated)
        text.push_back(0);
    if (usedDefault)
        *usedDefault = code == kKorean && replaced;
    return Deliver(text, bytes, byteCount);
}
