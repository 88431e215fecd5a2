#include "updater/DmbSpi.h"

#include "platform/io/Device.h"
#include "platform/io/Io.h"
#include "sim/DmbModule.h"
#include "tests/updater/FirmwareFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace updatertest;
using Fault = sim::CDmbModule::Fault;

namespace {

constexpr std::size_t k12KiB = 12 * 1024;

class DmbSpiTest : public FirmwareTest {
protected:
    DmbSpiTest() : m_module(sim::CDmbModule::Install()) {}
    ~DmbSpiTest() override { sim::CDmbModule::Uninstall(); }

    BOOL Download(const std::vector<std::uint8_t>& image)
    {
        WriteFile("_MAKE_TEMP_/_DMB_.BIN", image);
        CDmbSpi spi;
        const BOOL ok = spi.Download(updater::kDmbFile);
        m_resends = spi.Resends();
        return ok;
    }

    std::shared_ptr<sim::CDmbModule> m_module;
    DWORD m_resends = 0;
};

TEST_F(DmbSpiTest, ImagesOfWholeWordsAreSentCheckedAndWrittenToTheirLastByte)
{
    struct Case {
        std::size_t size;
        const char* end;
    };
    for (const Case& c : {Case{k12KiB, "\r\nCompleted. SendSize = 12288 Bytes\r\n"},
                          Case{k12KiB + 4, "\r\nCompleted! SendSize = 12292 Bytes\r\n"},
                          Case{k12KiB + 8, "\r\nCompleted! SendSize = 12296 Bytes\r\n"}}) {
        sim::CDmbModule::Uninstall();
        m_module = sim::CDmbModule::Install();
        const std::vector<std::uint8_t> image = RandomBytes(c.size, static_cast<unsigned>(c.size));
        platform::DebugCapture log;
        const std::uint64_t start = m_clock.Now();
        EXPECT_TRUE(Download(image)) << c.size;
        EXPECT_TRUE(log.Contains(c.end)) << c.size;
        EXPECT_EQ(image, m_module->Flash()) << c.size;
        EXPECT_EQ(static_cast<int>((c.size + 11) / 12), m_module->FramesOf(DmbCommand::ImageData));
        EXPECT_EQ(1, m_module->FramesOf(DmbCommand::ImageCheck));
        EXPECT_EQ(1, m_module->FramesOf(DmbCommand::ImageWrite));
        EXPECT_EQ(0u, m_resends);
        EXPECT_TRUE(log.Contains("[DMBSPI] : Completed Reboot Merrow\r\n"));
        EXPECT_TRUE(log.Contains("Download Image is ok! \r\n"));
        EXPECT_TRUE(log.Contains("Write Image is ok! \r\n"));
        EXPECT_TRUE(log.Contains("[DMBSPI] : OK! update file. \r\n"));
        // One dot per percent between the start and the end of the blocks;
        // the waits of the check and write alone take more than 41 s.
        const std::string text = log.Text();
        const std::size_t first = text.find("Start Update Firmware");
        const std::size_t last = text.find("D!", first);
        ASSERT_NE(std::string::npos, last);
        EXPECT_EQ(100, std::count(text.begin() + first, text.begin() + last, '.'));
        EXPECT_GT(m_clock.Now() - start, 51000u);
        EXPECT_EQ(0, m_module->OpenHandles());
    }
}

TEST_F(DmbSpiTest, AnImageThatIsNotWholeWordsOrEmptyIsRefusedBeforeTheModuleIsTouched)
{
    for (const std::size_t extra :
         {std::size_t(5), std::size_t(6), std::size_t(7), std::size_t(9), std::size_t(10), std::size_t(11)}) {
        platform::DebugCapture log;
        EXPECT_FALSE(Download(RandomBytes(k12KiB + extra, 1))) << extra;
        EXPECT_TRUE(log.Contains("[DMBSPI] : FileSize is not a multiple of 4 [")) << extra;
    }
    platform::DebugCapture log;
    EXPECT_FALSE(Download({}));
    EXPECT_TRUE(log.Contains("[DMBSPI] : FileSize is Zero\r\n"));
    EXPECT_EQ(sim::CDmbModule::Mode::Application, m_module->CurrentMode());
    EXPECT_EQ(0, m_module->FramesOf(DmbCommand::Reboot));
}

TEST_F(DmbSpiTest, BadAcknowledgementsAreResentAndCountedAndNoBlockIsStoredTwice)
{
    const std::vector<std::uint8_t> image = RandomBytes(k12KiB, 2);
    struct Case {
        Fault fault;
        int count;
        const char* logged;
        int duplicates; // the module had stored the block before its answer went wrong
    };
    for (const Case& c :
         {Case{Fault::WrongSequence, 3, "CMDCNT_MASK error. ", 3}, Case{Fault::WrongId, 2, "CMDID_MASK error. ", 2},
          Case{Fault::WrongType, 4, "CMDTYPE_MASK error. ", 4}, Case{Fault::Garbled, 5, "CMDTYPE_MASK error. ", 0},
          Case{Fault::Silence, 2, "r", 0}}) {
        sim::CDmbModule::Uninstall();
        m_module = sim::CDmbModule::Install();
        m_module->Misbehave(DmbCommand::ImageData, c.fault, c.count);
        platform::DebugCapture log;
        EXPECT_TRUE(Download(image)) << c.logged;
        EXPECT_EQ(static_cast<DWORD>(c.count), m_resends) << c.logged;
        EXPECT_TRUE(log.Contains("Completed Download Firmware. Retransmit Count : " + std::to_string(c.count)))
            << c.logged;
        EXPECT_TRUE(log.Contains(c.logged));
        EXPECT_TRUE(log.Contains("\r\n Error Case \r\n"));
        EXPECT_EQ(c.duplicates, m_module->Duplicates()) << c.logged;
        EXPECT_EQ(image, m_module->Flash()) << c.logged;
    }
}

TEST_F(DmbSpiTest, AModuleThatNeverAcknowledgesEndsTheDownloadAfter2000Resends)
{
    m_module->Misbehave(DmbCommand::ImageData, Fault::Silence, 5000);
    platform::DebugCapture log;
    EXPECT_FALSE(Download(RandomBytes(k12KiB, 3)));
    EXPECT_EQ(CDmbSpi::kMaxResends, m_resends);
    EXPECT_EQ(1 + 2000, m_module->FramesOf(DmbCommand::ImageData));
    EXPECT_TRUE(log.Contains("[DMBSPI] : Fail! update file. \r\n"));
    EXPECT_TRUE(log.Contains("<<< UPDATE >>> IOCTL_VELL_DMB_UPGRADE Failed...\r\n"));
    EXPECT_EQ(0, m_module->FramesOf(DmbCommand::ImageCheck));
    EXPECT_TRUE(m_module->Flash().empty());
}

TEST_F(DmbSpiTest, BootCheckAnswersWithAWrongSequenceIdOrTypeAreRefused)
{
    for (const Fault fault : {Fault::WrongSequence, Fault::WrongId, Fault::WrongType, Fault::Silence}) {
        for (const int bad : {4, 5}) {
            sim::CDmbModule::Uninstall();
            m_module = sim::CDmbModule::Install();
            m_module->Misbehave(DmbCommand::BootCheck, fault, bad);
            platform::DebugCapture log;
            // Four bad answers leave the fifth try; five are a time-out.
            EXPECT_EQ(bad == 4, Download(RandomBytes(120, 4)) != FALSE);
            EXPECT_EQ(5, m_module->FramesOf(DmbCommand::BootCheck));
            EXPECT_EQ(bad == 5, log.Contains("[DMBSPI] : Response. Time Out! \r\n"));
            EXPECT_EQ(bad == 4 ? 10 : 0, m_module->FramesOf(DmbCommand::ImageData));
        }
    }
}

TEST_F(DmbSpiTest, RebootIsTriedElevenTimes)
{
    for (const int bad : {10, 11}) {
        sim::CDmbModule::Uninstall();
        m_module = sim::CDmbModule::Install();
        m_module->Misbehave(DmbCommand::Reboot, Fault::WrongType, bad);
        platform::DebugCapture log;
        EXPECT_EQ(bad == 10, Download(RandomBytes(24, 5)) != FALSE);
        EXPECT_EQ(11, m_module->FramesOf(DmbCommand::Reboot));
        EXPECT_EQ(bad == 11, log.Contains("Check Boot Fail. \r\n"));
    }
}

TEST_F(DmbSpiTest, AnImageTheModuleReportsBadIsNeverWritten)
{
    m_module->FailImageCheck(true);
    platform::DebugCapture log;
    EXPECT_FALSE(Download(RandomBytes(k12KiB, 6)));
    EXPECT_EQ(CDmbSpi::kImageCheckTries, m_module->FramesOf(DmbCommand::ImageCheck));
    EXPECT_EQ(0, m_module->FramesOf(DmbCommand::ImageWrite));
    EXPECT_TRUE(m_module->Flash().empty());
    EXPECT_TRUE(log.Contains("Error! Download Image is not ok... \r\n"));
    EXPECT_FALSE(log.Contains("!!!!!! "));

    // A check answered late is still taken; a silent module ends at once.
    sim::CDmbModule::Uninstall();
    m_module = sim::CDmbModule::Install();
    m_module->Misbehave(DmbCommand::ImageCheck, Fault::WrongSequence, 24);
    EXPECT_TRUE(Download(RandomBytes(48, 7)));
    sim::CDmbModule::Uninstall();
    m_module = sim::CDmbModule::Install();
    m_module->Misbehave(DmbCommand::ImageCheck, Fault::Silence, 1);
    EXPECT_FALSE(Download(RandomBytes(48, 7)));
    EXPECT_EQ(1, m_module->FramesOf(DmbCommand::ImageCheck));
}

TEST_F(DmbSpiTest, ImageWriteIsTriedTwentyFiveTimes)
{
    for (const int bad : {24, 25}) {
        sim::CDmbModule::Uninstall();
        m_module = sim::CDmbModule::Install();
        m_module->Misbehave(DmbCommand::ImageWrite, Fault::WrongId, bad);
        platform::DebugCapture log;
        EXPECT_EQ(bad == 24, Download(RandomBytes(48, 8)) != FALSE);
        EXPECT_EQ(25, m_module->FramesOf(DmbCommand::ImageWrite));
        EXPECT_EQ(bad == 25, log.Contains("Error! Downlaod file is not Merrow Firmware... \r\n"));
    }
}

TEST_F(DmbSpiTest, CommandWordsCarryTypeSequenceIdAndCountAndTheSequenceWraps)
{
    // A recording peer answers nothing: the frames are what was written.
    auto peer = std::make_shared<platform::RecordingDevice>();
    platform::RegisterDevice(u"DMB1:", peer);
    CDmbSpi spi;
    ASSERT_TRUE(spi.OpenDmbSpi());
    const DWORD size = 0x3000;
    for (int i = 0; i < 17; ++i)
        spi.DmbSpiSendCommand(DmbFrameType::Command, DmbCommand::BootCheck, 1, &size);
    const auto writes = peer->CallsOf(platform::RecordingDevice::CallKind::Write);
    ASSERT_EQ(17u, writes.size());
    EXPECT_EQ(std::vector<BYTE>({0x01, 0x00, 0x90, 0x11, 0x00, 0x30, 0x00, 0x00}), writes[0].input);
    EXPECT_EQ(0x1F90000Fu >> 24, writes[14].input[3]);
    EXPECT_EQ(0x10u, writes[15].input[3]) << "15 wraps to 0";
    EXPECT_EQ(0x11u, writes[16].input[3]);
    spi.CloseDmbSpi();
}

} // namespace
