// The GPS receiver on "COM4:" answers the unit's start-up and power-down
// sentences and refuses unsound ones; the display driver keeps what its
// escapes set and refuses malformed ones.
#include "sim/Display.h"
#include "sim/GpsReceiver.h"

#include "platform/gfx/Gdi.h"
#include "platform/io/Io.h"
#include "platform/io/Serial.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

TEST(GpsReceiver, AnswersStartUpAndPowerDownAndRejectsUnsoundSentences)
{
    auto gps = sim::CGpsReceiver::Install();
    HANDLE port = CreateFileW(u"COM4:", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, port);
    const COMMTIMEOUTS timeouts{MAXDWORD, 0, 0, 0, 0};
    ASSERT_TRUE(SetCommTimeouts(port, &timeouts));
    const auto exchange = [&](const std::string& out) {
        DWORD done = 0;
        EXPECT_TRUE(WriteFile(port, out.data(), static_cast<DWORD>(out.size()), &done, nullptr));
        std::string in(256, '\0');
        DWORD got = 0;
        EXPECT_TRUE(ReadFile(port, in.data(), static_cast<DWORD>(in.size()), &got, nullptr));
        in.resize(got);
        return in;
    };
    EXPECT_EQ("$PSTMDRINIT*16\r\n", sim::CGpsReceiver::MakeSentence("PSTMDRINIT"));
    EXPECT_EQ(sim::CGpsReceiver::MakeSentence("PSTMDRINITOK"), exchange("$PSTMDRINIT*16\r\n"));
    EXPECT_EQ("", exchange("$PSTMDRINIT*17\r\n")) << "wrong checksum";
    EXPECT_EQ("", exchange("$PSTMDRINIT\r\n")) << "no checksum";
    EXPECT_EQ("", exchange("$" + std::string(100, 'A') + "*00\r\n")) << "too long";
    EXPECT_EQ("", exchange(sim::CGpsReceiver::MakeSentence("GPGGA,1"))) << "not answered";
    // Split across writes, then power down: nothing is answered after it.
    EXPECT_EQ("", exchange("$PSTMP"));
    EXPECT_EQ(sim::CGpsReceiver::MakeSentence("PSTMPWDNOK"), exchange("WDN*17\r\n"));
    EXPECT_EQ("", exchange("$PSTMDRINIT*16\r\n"));
    EXPECT_TRUE(gps->PoweredDown());
    EXPECT_EQ(1, gps->DrInits());
    EXPECT_EQ((std::vector<std::string>{"PSTMDRINIT", "GPGGA,1", "PSTMPWDN", "PSTMDRINIT"}), gps->Sentences());
    EXPECT_EQ(3u, gps->Rejected().size());
    CloseHandle(port);
    sim::CGpsReceiver::Uninstall();
}

TEST(Display, EscapesSetTheDisplayAndMalformedOnesAreRefused)
{
    auto display = sim::CDisplay::Install();
    HDC dc = GetDC(nullptr);
    const auto escape = [&](DisplayEscape code, std::vector<char> in) {
        return ExtEscape(dc, static_cast<int>(code), static_cast<int>(in.size()), in.empty() ? nullptr : in.data(), 0,
                         nullptr);
    };
    const auto word = [](int value) {
        std::vector<char> bytes(4);
        std::memcpy(bytes.data(), &value, 4);
        return bytes;
    };
    struct Case {
        DisplayEscape code;
        std::vector<char> in;
        int result;
    };
    const Case cases[] = {
        {DisplayEscape::GateUiLayer, word(3), 1},
        {DisplayEscape::GateUiLayer, word(0), 1},
        {DisplayEscape::GateUiLayer, word(4), -1},
        {DisplayEscape::GateUiLayer, {3}, -1},
        {DisplayEscape::Settings, std::vector<char>(12, 7), 1},
        {DisplayEscape::Settings, std::vector<char>(11), -1},
        {DisplayEscape::Brightness, word(9), 1},
        {DisplayEscape::Brightness, word(-1), -1},
        {DisplayEscape::DayMode, word(0), 1},
        {DisplayEscape::DayMode, word(2), -1},
        {DisplayEscape::DayMode, {}, -1},
        {static_cast<DisplayEscape>(6600), word(0), 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.result, escape(c.code, c.in)) << static_cast<int>(c.code) << " size " << c.in.size();
    EXPECT_FALSE(display->GateUiLayerEnabled());
    EXPECT_EQ(std::vector<unsigned char>(12, 7), display->Settings());
    EXPECT_EQ(9, display->Brightness());
    EXPECT_EQ(0, display->DayMode());
    EXPECT_EQ(std::size(cases), display->Calls().size());
    ReleaseDC(nullptr, dc);
    sim::CDisplay::Uninstall();
}

} // namespace
