#include "platform/base/Debug.h"
#include "platform/base/Clock.h"
#include "platform/base/Text.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

namespace {

std::string U8(const std::u16string& s)
{
    return platform::ToUtf8(s);
}

TEST(Format, UnitPrintfConversions)
{
    const WCHAR* nullText = nullptr;
    struct Case {
        std::u16string got;
        const char* want;
    } cases[] = {
        {platform::Format(u"%d|%5d|%-5d|%05d", 42, 42, 42, -42), "42|   42|42   |-0042"},
        {platform::Format(u"%u %x %X %lx", 4000000000u, 255, 255, 0xABCDu), "4000000000 ff FF abcd"},
        // The unit's ints and longs are 32-bit: -1 prints as 32 ones in hex.
        {platform::Format(u"%x %lx %d", -1, -1L, 0xFFFFFFFFu), "ffffffff ffffffff -1"},
        {platform::Format(u"%lld %I64d %I64u", -5LL, std::int64_t{1} << 40, ~std::uint64_t{0}),
         "-5 1099511627776 18446744073709551615"},
        {platform::Format(u"%s/%S/%ls/%hs", u"\uD55C\uAE00", "narrow", u"wide", "h"),
         "\xED\x95\x9C\xEA\xB8\x80/narrow/wide/h"},
        {platform::Format(u"[%6s][%-6s][%.2s]", u"ab", u"ab", u"abcdef"), "[    ab][ab    ][ab]"},
        {platform::Format(u"%c%c%%", u'A', 0xAC00), "A\xEA\xB0\x80%"},
        {platform::Format(u"%.2f %5.1f %g", 3.14159, 2.0, 0.5), "3.14   2.0 0.5"},
        {platform::Format(u"%*d|%-*d|%.*s", 4, 7, 3, 8, 2, u"xyz"), "   7|8  |xy"},
        {platform::Format(u"%s", nullText), "(null)"},
        // Missing arguments print nothing and never read past the list.
        {platform::Format(u"a%db%sc"), "abc"},
        // A conversion cut off at the end prints as written; unknown ones too.
        {platform::Format(u"50%", 1), "50%"},
        {platform::Format(u"%y|%k", 1), "%y|%k"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(U8(c.got), c.want);
}

// Widths and precisions of any length, read from the format or taken from an
// argument, saturate at the 256-character cap: 4294967301 once wrapped to 5.
TEST(Format, HugeWidthsAndPrecisionsSaturate)
{
    const std::string pad256(255, ' ');
    struct Case {
        std::u16string got;
        std::string want;
    } cases[] = {
        {platform::Format(u"%4294967301d", 7), pad256 + "7"},
        {platform::Format(u"%99999999999999999999d", 7), pad256 + "7"},
        {platform::Format(u"%-4294967301d|", 7), "7" + pad256 + "|"},
        {platform::Format(u"%.4294967297s", u"abc"), "abc"},
        {platform::Format(u"%.99999999999999d", 1), std::string(255, '0') + "1"},
        {platform::Format(u"%*d", INT32_MIN, 7), "7" + pad256},
        {platform::Format(u"%d %x", 1e300, -1e300), "9223372036854775807 0"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(U8(c.got), c.want);
}

TEST(Format, IntoBufferCutsAndTerminates)
{
    WCHAR buffer[6];
    platform::FormatArg args[] = {platform::FormatArg(123456789)};
    EXPECT_EQ(platform::FormatInto(buffer, 6, u"%d", args, 1), 5u);
    EXPECT_EQ(std::u16string(buffer), u"12345");
    EXPECT_EQ(platform::FormatInto(buffer, 0, u"%d", args, 1), 0u);
}

TEST(DebugCapture, CollectsLinesFromEveryThreadAndNests)
{
    platform::DebugCapture outer;
    {
        platform::DebugCapture inner;
        OutputDebugStringW(u"first line\r\nsecond ");
        std::thread([] { NKDbgPrintfW(u"part %d\r\n", 2); }).join();
        EXPECT_EQ(inner.Lines(), (std::vector<std::string>{"first line", "second part 2"}));
        EXPECT_TRUE(inner.Contains("part 2"));
    }
    OutputDebugStringW(u"after\n");
    EXPECT_EQ(outer.Lines(), std::vector<std::string>{"after"});
}

TEST(Text, Utf8RoundTripAndRepair)
{
    std::u16string text = u"a\u00E9\uD55C\U0001F600";
    EXPECT_EQ(platform::FromUtf8(platform::ToUtf8(text)), text);
    // A lone surrogate and malformed bytes become U+FFFD.
    EXPECT_EQ(platform::ToUtf8(std::u16string(1, u'\xD800')), "\xEF\xBF\xBD");
    EXPECT_EQ(platform::FromUtf8("a\xC3"), u"a\uFFFD");
    EXPECT_EQ(platform::FromUtf8("\xE0\x80\x80"), u"\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(lstrcmpiW(u"Player", u"PLAYER"), 0);
    EXPECT_LT(lstrcmpW(nullptr, u"a"), 0);
    EXPECT_EQ(lstrcmpW(nullptr, u""), 0);
}

TEST(Clock, ManualClockDrivesTheTickAndWraps)
{
    platform::ManualClock clock(0xFFFFFFF0ull);
    DWORD before = GetTickCount();
    EXPECT_EQ(before, 0xFFFFFFF0u);
    clock.Advance(0x20);
    // The 32-bit tick wraps; differences stay right in unsigned arithmetic.
    EXPECT_EQ(GetTickCount(), 0x10u);
    EXPECT_EQ(GetTickCount() - before, 0x20u);
    EXPECT_EQ(platform::NowMs(), 0x100000010ull);
}

TEST(Clock, SleepUnderAManualClockEndsWhenTheClockMoves)
{
    platform::ManualClock clock(1000);
    std::atomic<bool> woke{false};
    std::atomic<std::uint64_t> slept{0};
    std::thread sleeper([&] {
        std::uint64_t start = platform::NowMs();
        Sleep(500);
        slept = platform::NowMs() - start;
        woke = true;
    });
    // The sleeper wakes only once the clock has moved 500 ms past its start.
    while (!woke) {
        clock.Advance(1);
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    sleeper.join();
    EXPECT_GE(slept.load(), 500u);
}

TEST(Clock, SleepCanMoveTheManualClockItself)
{
    {
        platform::ManualClock clock(1000);
        clock.SetSleepAdvances(true);
        Sleep(40000);
        Sleep(1);
        EXPECT_EQ(clock.Now(), 41001u);
    }
    // A new manual clock waits for others to move it again.
    platform::ManualClock clock(1000);
    std::thread mover([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        clock.Advance(10);
    });
    Sleep(10);
    mover.join();
    EXPECT_EQ(clock.Now(), 1010u);
}

} // namespace
