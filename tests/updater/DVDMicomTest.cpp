#include "updater/DVDMicom.h"

#include "platform/io/Io.h"
#include "sim/DvdDeck.h"
#include "tests/updater/FirmwareFixture.h"

#include <gtest/gtest.h>

#include <vector>

using namespace updatertest;
using State = sim::CDvdDeck::FirmwareState;

namespace {

class DVDMicomTest : public FirmwareTest {
protected:
    DVDMicomTest() : m_deck(sim::CDvdDeck::Install()) {}
    ~DVDMicomTest() override { sim::CDvdDeck::Uninstall(); }

    int Download(const std::vector<std::uint8_t>& image)
    {
        WriteFile("_MAKE_TEMP_/_DVDMICOM_.BIN", image);
        CDVDMicom dvd;
        return dvd.DVDmicomUpgrade(updater::kDvdMicomFile, 2000);
    }

    std::shared_ptr<sim::CDvdDeck> m_deck;
};

TEST_F(DVDMicomTest, OnlyAnImageOfExactly6144BytesIsSentAndAWrongSizeHasItsOwnResult)
{
    for (const std::size_t size :
         {std::size_t(0), std::size_t(20), std::size_t(6143), std::size_t(6144), std::size_t(6145)}) {
        platform::DebugCapture log;
        const std::uint64_t start = m_clock.Now();
        const int starts = m_deck->Starts();
        const int result = Download(RandomBytes(size, static_cast<unsigned>(size)));
        if (size == 6144) {
            EXPECT_EQ(0, result);
            EXPECT_EQ(2500u, m_clock.Now() - start) << "500 ms after the start, 2000 before the end";
            EXPECT_EQ(RandomBytes(size, 6144), m_deck->Firmware());
            EXPECT_EQ(State::Updated, m_deck->State());
            EXPECT_EQ(96u, m_deck->Blocks().size());
            EXPECT_TRUE(log.Contains("DVD: DVDmicomUpgrade TRUE [0]\r\n"));
            continue;
        }
        // Never 0 (success) nor 20 (a block failed), whatever the size.
        EXPECT_EQ(kDvdMicomImageSizeError, result) << size;
        EXPECT_TRUE(log.Contains("DVD: DVD_TOTAL_BYTE Size Error\r\n")) << size;
        EXPECT_EQ(starts, m_deck->Starts()) << size;
    }
}

TEST_F(DVDMicomTest, EachBlockIsResentOnceAndASecondFailureEndsTheDownload)
{
    const std::vector<std::uint8_t> image = RandomBytes(6144, 1);
    struct Case {
        std::vector<std::pair<int, int>> refusals; // block, times
        int result;
        const char* line;
    };
    for (const Case& c : {Case{{{5, 1}}, 0, "DVD: DVDmicomUpgrade TRUE [1]\r\n"},
                          Case{{{0, 1}, {95, 1}}, 0, "DVD: DVDmicomUpgrade TRUE [2]\r\n"},
                          Case{{{7, 1}, {40, 2}}, kDvdMicomResendFailed, "DVD: DVDmicomUpgrade FASLE [3]\r\n"}}) {
        sim::CDvdDeck::Uninstall();
        m_deck = sim::CDvdDeck::Install();
        for (const auto& [block, times] : c.refusals)
            m_deck->RefuseBlock(block, times);
        platform::DebugCapture log;
        EXPECT_EQ(c.result, Download(image));
        EXPECT_TRUE(log.Contains(c.line)) << c.line;
        if (c.result == 0) {
            EXPECT_EQ(image, m_deck->Firmware());
            EXPECT_EQ(96u + c.refusals.size(), m_deck->Blocks().size());
        } else {
            EXPECT_TRUE(log.Contains("DVD: retry DVDmicomUpgrade deData Error(1117)\r\n"));
            EXPECT_EQ(0, m_deck->Ends());
            EXPECT_EQ(40, m_deck->Blocks().back());
            EXPECT_TRUE(m_deck->Firmware().empty());
        }
    }
}

TEST_F(DVDMicomTest, FailedCommandsAndMissingFilesAreTheirErrors)
{
    m_deck->RefuseStart(ERROR_BUSY);
    platform::DebugCapture log;
    EXPECT_EQ(static_cast<int>(ERROR_BUSY), Download(RandomBytes(6144, 2)));
    EXPECT_TRUE(log.Contains("DVD: DVDmicomUpgrade Start FALSE 170\r\n"));
    EXPECT_TRUE(m_deck->Blocks().empty());

    CDVDMicom dvd;
    EXPECT_EQ(static_cast<int>(ERROR_FILE_NOT_FOUND), dvd.DVDmicomUpgrade(u"\\_MAKE_TEMP_\\none.bin", 0));
    EXPECT_TRUE(log.Contains("DVD: CreateFile Error(2)\r\n"));

    // No deck driver: the start fails on the handle that did not open.
    sim::CDvdDeck::Uninstall();
    CDVDMicom missing;
    WriteFile("_MAKE_TEMP_/_DVDMICOM_.BIN", RandomBytes(6144, 3));
    EXPECT_NE(0, missing.DVDmicomUpgrade(updater::kDvdMicomFile, 0));
}

} // namespace
