#include "platform/io/CodePage.h"

#include "platform/base/Error.h"
#include "platform/io/Io.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace {

// Converts with a size query first, as the program does.
std::u16string ToWide(UINT codePage, const std::string& bytes, DWORD flags = 0)
{
    const int size = MultiByteToWideChar(codePage, flags, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (size <= 0)
        return u"<failed>";
    std::u16string text(static_cast<std::size_t>(size), u'\0');
    EXPECT_EQ(size,
              MultiByteToWideChar(codePage, flags, bytes.data(), static_cast<int>(bytes.size()), text.data(), size));
    return text;
}

std::string ToBytes(UINT codePage, const std::u16string& text, BOOL* usedDefault = nullptr,
                    LPCSTR defaultChar = nullptr, DWORD flags = 0)
{
    const int length = static_cast<int>(text.size());
    const int size = WideCharToMultiByte(codePage, flags, text.data(), length, nullptr, 0, defaultChar, usedDefault);
    if (size <= 0)
        return "<failed>";
    std::string bytes(static_cast<std::size_t>(size), '\0');
    EXPECT_EQ(size,
              WideCharToMultiByte(codePage, flags, text.data(), length, bytes.data(), size, defaultChar, usedDefault));
    return bytes;
}

const std::u16string kKorean = u"가나 ABC 한글";

struct KoreanCase {
    UINT codePage;
    std::string bytes; // empty: only the round trip is checked
};

TEST(CodePageTest, KoreanTextBothWays)
{
    const std::string cp949 = "\xB0\xA1\xB3\xAA ABC \xC7\xD1\xB1\xDB";
    const std::string utf8 = "\xEA\xB0\x80\xEB\x82\x98 ABC \xED\x95\x9C\xEA\xB8\x80";
    const KoreanCase cases[] = {{CP_ACP, cp949}, {949, cp949}, {CP_UTF8, utf8}, {CP_UTF7, ""}};
    for (const KoreanCase& c : cases) {
        SCOPED_TRACE(c.codePage);
        const std::string bytes = ToBytes(c.codePage, kKorean);
        if (!c.bytes.empty()) {
            EXPECT_EQ(c.bytes, bytes);
        }
        EXPECT_EQ(kKorean, ToWide(c.codePage, bytes));
    }
    // UTF-7 as written elsewhere: "가나" in one base64 run.
    EXPECT_EQ(u"가나!", ToWide(CP_UTF7, "+rACwmA-!"));
}

TEST(CodePageTest, TerminatedInputIncludesTheTerminator)
{
    WCHAR wide[4] = {1, 1, 1, 1};
    EXPECT_EQ(2, MultiByteToWideChar(949, 0, "\xB0\xA1", -1, nullptr, 0));
    EXPECT_EQ(2, MultiByteToWideChar(949, 0, "\xB0\xA1", -1, wide, 4));
    EXPECT_EQ(u'가', wide[0]);
    EXPECT_EQ(0, wide[1]);
    EXPECT_EQ(1, wide[2]);

    char bytes[8] = {};
    EXPECT_EQ(7, WideCharToMultiByte(CP_UTF8, 0, u"가나", -1, nullptr, 0, nullptr, nullptr));
    EXPECT_EQ(7, WideCharToMultiByte(CP_UTF8, 0, u"가나", -1, bytes, 8, nullptr, nullptr));
    EXPECT_STREQ("\xEA\xB0\x80\xEB\x82\x98", bytes);
}

TEST(CodePageTest, ByteOrderMarkIsKept)
{
    EXPECT_EQ(u"\uFEFFAB",
              ToWide(CP_UTF8,
                     "\xEF\xBB\xBF"
                     "AB"));
    EXPECT_EQ(u"\uFEFFAB", ToWide(CP_UTF7, "+/v8-AB"));
}

struct InvalidCase {
    UINT codePage;
    std::string bytes;
    std::u16string replaced;
};

TEST(CodePageTest, InvalidInputFailsOrIsReplaced)
{
    const InvalidCase cases[] = {
        {CP_UTF8,
         "A\xFF"
         "B",
         u"A\uFFFDB"},
        {CP_UTF8, "A\xED\xA0\x80", u"A\uFFFD\uFFFD\uFFFD"}, // an encoded surrogate
        {949,
         "A\x80"
         "B",
         u"A\uFFFDB"},
        {CP_ACP, "A\xB0", u"A\uFFFD"}, // a lead byte without its trail byte
    };
    for (const InvalidCase& c : cases) {
        SCOPED_TRACE(c.codePage);
        const int length = static_cast<int>(c.bytes.size());
        SetLastError(0);
        EXPECT_EQ(0, MultiByteToWideChar(c.codePage, MB_ERR_INVALID_CHARS, c.bytes.data(), length, nullptr, 0));
        EXPECT_EQ(ERROR_NO_UNICODE_TRANSLATION, GetLastError());
        EXPECT_EQ(c.replaced, ToWide(c.codePage, c.bytes));
    }
}

TEST(CodePageTest, UnmappableAndUnpairedCharacters)
{
    BOOL usedDefault = FALSE;
    EXPECT_EQ("A?B", ToBytes(949, u"A\U0001F600B", &usedDefault));
    EXPECT_TRUE(usedDefault);
    EXPECT_EQ("A*B", ToBytes(949, u"A\U0001F600B", &usedDefault, "*"));
    EXPECT_EQ("\xB0\xA1", ToBytes(949, u"가", &usedDefault));
    EXPECT_FALSE(usedDefault);

    const std::u16string lone = {u'A', 0xD800, u'B'};
    EXPECT_EQ("A\xEF\xBF\xBD"
              "B",
              ToBytes(CP_UTF8, lone));
    EXPECT_EQ("<failed>", ToBytes(CP_UTF8, lone, nullptr, nullptr, WC_ERR_INVALID_CHARS));
    EXPECT_EQ(ERROR_NO_UNICODE_TRANSLATION, GetLastError());
}

TEST(CodePageTest, SmallBufferIsLeftUntouched)
{
    WCHAR wide[2] = {u'x', u'x'};
    SetLastError(0);
    EXPECT_EQ(0, MultiByteToWideChar(949, 0, "\xB0\xA1\xB3\xAA\xB4\xD9", 6, wide, 2));
    EXPECT_EQ(ERROR_INSUFFICIENT_BUFFER, GetLastError());
    EXPECT_EQ(u'x', wide[0]);

    char bytes[3] = {'x', 'x', 'x'};
    SetLastError(0);
    EXPECT_EQ(0, WideCharToMultiByte(CP_UTF8, 0, u"가", 1, bytes, 2, nullptr, nullptr));
    EXPECT_EQ(ERROR_INSUFFICIENT_BUFFER, GetLastError());
    EXPECT_EQ('x', bytes[0]);
    EXPECT_EQ(3, WideCharToMultiByte(CP_UTF8, 0, u"가", 1, bytes, 3, nullptr, nullptr));
}

TEST(CodePageTest, BadArgumentsAreRefused)
{
    WCHAR wide[4];
    char bytes[4];
    const std::pair<const char*, std::function<int()>> calls[] = {
        {"code page 1252", [&] { return MultiByteToWideChar(1252, 0, "A", 1, wide, 4); }},
        {"code page 1252 back", [&] { return WideCharToMultiByte(1252, 0, u"A", 1, bytes, 4, nullptr, nullptr); }},
        {"no bytes", [&] { return MultiByteToWideChar(949, 0, "A", 0, wide, 4); }},
        {"null input", [&] { return MultiByteToWideChar(949, 0, nullptr, 1, wide, 4); }},
        {"null output", [&] { return MultiByteToWideChar(949, 0, "A", 1, nullptr, 4); }},
        {"negative output", [&] { return WideCharToMultiByte(949, 0, u"A", 1, bytes, -1, nullptr, nullptr); }},
    };
    for (const auto& [what, call] : calls) {
        SCOPED_TRACE(what);
        SetLastError(0);
        EXPECT_EQ(0, call());
        EXPECT_EQ(ERROR_INVALID_PARAMETER, GetLastError());
    }
    EXPECT_EQ(949u, GetACP());
}

} // namespace

// Every two-byte code, at the end of the input and followed by a character
// that cannot continue it: the conversion never reads past the input, never
// drops the character after a bad code, and a code that converts on its own
// converts the same in the middle of a text. (Code page 949's unmapped codes
// such as A2 E8 are stepped past by the C library before it reports them.)
TEST(CodePageTest, EveryTwoByteCodeAtTheEndAndInTheMiddle)
{
    for (UINT codePage : {949u, CP_UTF8}) {
        for (int lead = 0x80; lead <= 0xFF; ++lead) {
            for (int trail = 0x01; trail <= 0xFF; ++trail) {
                const std::string code = {static_cast<char>(lead), static_cast<char>(trail)};
                SCOPED_TRACE(testing::Message() << codePage << " " << std::hex << lead << " " << trail);
                const std::u16string alone = ToWide(codePage, code);
                ASSERT_EQ(u"A" + alone, ToWide(codePage, "A" + code));
                const std::u16string middle = ToWide(codePage, "A" + code + " ");
                ASSERT_TRUE(middle.size() >= 3 && middle.front() == u'A' && middle.back() == u' ') << middle.size();
                const int strict = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, code.data(), 2, nullptr, 0);
                if (strict > 0) {
                    ASSERT_EQ(u"A" + alone + u" ", middle);
                    ASSERT_EQ(code, ToBytes(codePage, alone));
                }
            }
        }
    }
}

// The other way: every UTF-16 code unit between two characters; the one
// after it is always kept.
TEST(CodePageTest, EveryCodeUnitInTheMiddle)
{
    for (UINT codePage : {949u, CP_UTF8, CP_UTF7}) {
        for (int unit = 1; unit <= 0xFFFF; ++unit) {
            SCOPED_TRACE(testing::Message() << codePage << " " << std::hex << unit);
            const std::u16string text = {u'A', static_cast<WCHAR>(unit), u'Z'};
            const std::string bytes = ToBytes(codePage, text);
            ASSERT_TRUE(bytes.size() >= 3 && bytes.front() == 'A' && bytes.back() == 'Z');
        }
    }
}
