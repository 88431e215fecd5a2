#include "Lib_cpp/core/Diag.h"

#include "platform/base/Clock.h"
#include "platform/base/Error.h"

#include <gtest/gtest.h>

namespace {

TEST(IxMulDiv, RoundsHalfUpWithoutOverflow)
{
    struct Case {
        int a, b, c, want;
    } cases[] = {
        {9, 96, 72, 12},
        {-9, 96, 72, -12}, // floor(-11.5)
        {10, 96, 72, 13},  // 13.33
        {7, 3, 2, 11},     // 10.5 rounds up
        {-7, 3, 2, -10},   // -10.5 rounds up too
        // The product needs more than 32 bits.
        {100000, 100000, 1000, 10000000},
        {2147483647, 2, 2, 2147483647},
        {5, 5, 0, 0}, // no divisor: 0 instead of a crash
    };
    for (const Case& c : cases)
        EXPECT_EQ(IxMulDiv(c.a, c.b, c.c), c.want) << c.a << "*" << c.b << "/" << c.c;
}

TEST(IxLastError, LaterFailureReplacesTheEarlierOne)
{
    SetLastError(ERROR_ACCESS_DENIED);
    IxRecordError(IXERR_THREAD);
    IxSetLastError({IXERR_NOMEMORY, 8});
    IxLastError record{};
    IxGetLastError(&record);
    EXPECT_EQ(record.kind, static_cast<DWORD>(IXERR_NOMEMORY));
    EXPECT_EQ(record.error, 8u);
}

TEST(IxTrace, BannerAndTimingLines)
{
    platform::ManualClock clock(5000);
    platform::DebugCapture capture;
    IxPrintBanner();
    IxStartTickBase();
    clock.Advance(1234);
    IxTraceTime(u"WM_CREATE");
    IxTrace(u"%s=%d\r\n", u"x", 3);
    auto lines = capture.Lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].rfind("Pavo : ver Wren:2.1.3.0, built at ", 0), 0u) << lines[0];
    EXPECT_EQ(lines[1], "GTIME(WM_CREATE) = 1234[ms]");
    EXPECT_EQ(lines[2], "x=3");
}

TEST(IxTrace, LongLinesAreCutToTheBuffer)
{
    platform::DebugCapture capture;
    std::u16string longText(5000, u'x');
    IxTrace(u"%s", longText.c_str());
    EXPECT_EQ(capture.Text().size(), 2047u);
}

} // namespace
