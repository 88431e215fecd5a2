#include "updater/MicomFile.h"
#include "updater/NecmicomControl.h"

#include "platform/io/Io.h"
#include "sim/Micom.h"
#include "tests/updater/FirmwareFixture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

using namespace updatertest;
using State = sim::CMicom::FirmwareState;

namespace {

// One S-record line: type, address of addressBytes bytes, data, checksum.
std::string Record(int type, std::uint32_t address, int addressBytes, const std::vector<std::uint8_t>& data)
{
    std::vector<std::uint8_t> bytes;
    bytes.push_back(static_cast<std::uint8_t>(addressBytes + data.size() + 1));
    for (int i = addressBytes - 1; i >= 0; --i)
        bytes.push_back(static_cast<std::uint8_t>(address >> (8 * i)));
    bytes.insert(bytes.end(), data.begin(), data.end());
    unsigned sum = 0;
    for (std::uint8_t byte : bytes)
        sum += byte;
    bytes.push_back(static_cast<std::uint8_t>(~sum));
    std::string line(1, 'S');
    line += std::to_string(type);
    char hex[3];
    for (std::uint8_t byte : bytes) {
        std::snprintf(hex, sizeof(hex), "%02X", byte);
        line += hex;
    }
    return line;
}

const std::string kHeader = "S0030000FC";
const std::string kEnd = "S70500000000FA";

// Header, data lines of dataBytes bytes each from 0x1000, end; CR LF.
std::string MicomFile(int lines, std::size_t dataBytes, const std::vector<std::string>& extra = {})
{
    std::string file = kHeader + "\r\n";
    for (int i = 0; i < lines; ++i)
        file += Record(3, 0x1000 + static_cast<std::uint32_t>(i * dataBytes), 4,
                       RandomBytes(dataBytes, static_cast<unsigned>(i)))
            + "\r\n";
    for (const std::string& line : extra)
        file += line + "\r\n";
    return file + kEnd + "\r\n";
}

class MicomDownloadTest : public FirmwareTest {
protected:
    MicomDownloadTest() : m_micom(sim::CMicom::Install()) {}
    ~MicomDownloadTest() override
    {
        m_link.Close();
        sim::CMicom::Uninstall();
    }

    void OpenLink() { ASSERT_NE(nullptr, m_link.Open(reinterpret_cast<HWND>(0x4321))); }
    int Download(const std::string& file)
    {
        WriteFile("_MAKE_TEMP_/_MICOM_.REC", file);
        return m_link.UpgradeFromFile(u"\\_MAKE_TEMP_\\_MICOM_.REC", 2000);
    }

    std::shared_ptr<sim::CMicom> m_micom;
    CNEC m_link;
};

TEST_F(MicomDownloadTest, LinkRegistersTheWindowReadsTheVersionAndUnregistersOnClose)
{
    platform::DebugCapture log;
    OpenLink();
    EXPECT_EQ(sim::CMicom::kDefaultDriverVersion, m_link.Version());
    EXPECT_TRUE(log.Contains("CNEC: Necmicom D/D Version [0x10203]\r\n"));
    EXPECT_EQ(reinterpret_cast<HWND>(0x4321), m_micom->Window());
    m_link.Close();
    EXPECT_EQ(nullptr, m_micom->Window());
    EXPECT_EQ(0, m_micom->OpenHandles());

    sim::CMicom::Uninstall();
    EXPECT_EQ(nullptr, m_link.Open(nullptr));
    EXPECT_TRUE(log.Contains("ERROR: MICOM\\NecmicomControl line "));
    EXPECT_TRUE(log.Contains("CNEC: CreateFile 2\r\n"));
}

TEST_F(MicomDownloadTest, ResetSendsItsValueOnlyWhenThereIsOne)
{
    OpenLink();
    EXPECT_TRUE(m_link.NecmicomReset());
    EXPECT_TRUE(m_link.NecmicomReset(5));
    EXPECT_EQ(std::vector<DWORD>({0, 5}), m_micom->Resets());
}

TEST_F(MicomDownloadTest, ASoundFileIsSentLineByLineAndEndedAfterTheWait)
{
    OpenLink();
    // 250 data lines: progress lines at the 1st, 101st and 201st line; the
    // longest record a line may hold (126 characters).
    const std::string longest = Record(3, 0x9000, 4, RandomBytes(56, 99));
    ASSERT_EQ(126u, longest.size());
    const std::string file = MicomFile(250, 16, {longest});
    platform::DebugCapture log;
    const std::uint64_t start = m_clock.Now();
    EXPECT_EQ(0, Download(file));
    EXPECT_EQ(2000u, m_clock.Now() - start);
    EXPECT_EQ(State::Updated, m_micom->State());
    EXPECT_EQ(1, m_micom->UpgradeStarts());
    EXPECT_EQ(1, m_micom->UpgradeEnds());
    EXPECT_EQ(253u, m_micom->Lines().size());
    EXPECT_EQ(longest, m_micom->Lines()[251]);
    EXPECT_EQ(3, CountLines(log, "CNEC: UPGRADE "));
    EXPECT_TRUE(log.Contains("CNEC: UPGRADE 0\r\n"));
    EXPECT_TRUE(log.Contains("CNEC: Necmicom Upgrade file write OK 0\r\n"));
    EXPECT_TRUE(log.Contains("CNEC: Necmicom Upgrade TRUE 0\r\n"));
    // The micom holds the data of every record.
    const std::map<DWORD, BYTE> firmware = m_micom->Firmware();
    EXPECT_EQ(250u * 16 + 56, firmware.size());
    EXPECT_EQ(RandomBytes(16, 7)[3], firmware.at(0x1000 + 7 * 16 + 3));
    EXPECT_EQ(RandomBytes(56, 99)[55], firmware.at(0x9000 + 55));
}

TEST_F(MicomDownloadTest, AFileThatCouldStopHalfWayIsRefusedBeforeTheMicomStarts)
{
    OpenLink();
    std::string badChecksum = Record(1, 0x2000, 2, {1, 2, 3});
    badChecksum.back() = badChecksum.back() == '0' ? '1' : '0';
    std::string wrongCount = Record(1, 0x2000, 2, {1, 2, 3});
    wrongCount[3] = '7';
    const std::string good = MicomFile(2, 8);
    std::string lfOnly = good;
    for (std::size_t at; (at = lfOnly.find("\r\n")) != std::string::npos;)
        lfOnly.erase(at, 1);
    std::string oneLfLine = good;
    oneLfLine.erase(oneLfLine.find("\r\n", 12), 1); // the first data line ends in LF alone
    struct Case {
        const char* name;
        std::string file;
        MicomFileFault fault;
        int result;
    };
    const Case cases[] = {
        {"128 characters", MicomFile(1, 57), MicomFileFault::LineTooLong, kMicomLineTooLong},
        {"127 characters", MicomFile(0, 0, {Record(3, 0x9000, 4, RandomBytes(56, 1)) + "F"}), MicomFileFault::BadRecord,
         kMicomFileRefused},
        {"bad checksum", MicomFile(3, 8, {badChecksum}), MicomFileFault::BadChecksum, kMicomFileRefused},
        {"count not its length", MicomFile(3, 8, {wrongCount}), MicomFileFault::BadRecord, kMicomFileRefused},
        {"not hex", MicomFile(1, 8, {"S1050000XY00FA"}), MicomFileFault::BadRecord, kMicomFileRefused},
        {"no S7", good.substr(0, good.size() - kEnd.size() - 2), MicomFileFault::MissingEnd, kMicomFileRefused},
        {"S7 not last", good + Record(1, 0x3000, 2, {9}) + "\r\n", MicomFileFault::EndNotLast, kMicomFileRefused},
        {"text after S7", good + "S1", MicomFileFault::EndNotLast, kMicomFileRefused},
        {"other S7", MicomFile(1, 8).replace(MicomFile(1, 8).find(kEnd), kEnd.size(), Record(7, 0x100, 4, {})),
         MicomFileFault::BadEnd, kMicomFileRefused},
        {"S9 end", MicomFile(1, 8, {Record(9, 0, 2, {})}), MicomFileFault::UnexpectedType, kMicomFileRefused},
        {"bad header", "S0030001FB\r\n" + good.substr(12), MicomFileFault::BadHeader, kMicomFileRefused},
        {"empty line", MicomFile(1, 8, {""}), MicomFileFault::NotARecord, kMicomFileRefused},
        {"LF line ends", lfOnly, MicomFileFault::NotCrTerminated, kMicomFileRefused},
        {"one LF line end", oneLfLine, MicomFileFault::NotCrTerminated, kMicomFileRefused},
        {"unterminated last line", good.substr(0, good.size() - 2), MicomFileFault::NotCrTerminated, kMicomFileRefused},
        {"no CR at all", "S0030000FC", MicomFileFault::NotCrTerminated, kMicomFileRefused},
        {"empty file", "", MicomFileFault::NoLine, kMicomFileRefused},
    };
    for (const Case& c : cases) {
        const auto* bytes = reinterpret_cast<const BYTE*>(c.file.data());
        EXPECT_EQ(c.fault, updater::CheckMicomRecords(bytes, c.file.size())) << c.name;
        WriteFile("_MAKE_TEMP_/_MICOM_.REC", c.file);
        platform::DebugCapture log;
        EXPECT_FALSE(CheckMICOM()) << c.name;
        EXPECT_TRUE(log.Contains("CMainWIndow::CheckMICOM(BROKEN)\r\n")) << c.name;
        EXPECT_EQ(c.result, Download(c.file)) << c.name;
        EXPECT_EQ(0, m_micom->UpgradeStarts()) << c.name;
        EXPECT_TRUE(m_micom->Lines().empty()) << c.name;
    }
    WriteFile("_MAKE_TEMP_/_MICOM_.REC", good);
    platform::DebugCapture log;
    EXPECT_TRUE(CheckMICOM());
    EXPECT_TRUE(log.Contains("CMainWIndow::CheckMICOM(OK)\r\n"));
    std::filesystem::remove(m_unit.Host("_MAKE_TEMP_/_MICOM_.REC"));
    EXPECT_FALSE(CheckMICOM());
}

TEST_F(MicomDownloadTest, AFailingLineEndsThePassAndTheFileIsSentAgainFromItsStart)
{
    OpenLink();
    const std::string file = MicomFile(4, 8);
    m_micom->RefuseLine(3, ERROR_IO_DEVICE);
    platform::DebugCapture log;
    EXPECT_EQ(0, Download(file));
    EXPECT_TRUE(log.Contains("CNEC: NecmicomUpgradeData Error(1117)\r\n"));
    EXPECT_TRUE(log.Contains("CNEC: Necmicom Upgrade file write OK 2\r\n"));
    EXPECT_EQ(3u + 6u, m_micom->Lines().size());
    EXPECT_EQ(kHeader, m_micom->Lines()[3]);
    EXPECT_EQ(State::Updated, m_micom->State());
}

TEST_F(MicomDownloadTest, ALineThatAlwaysFailsEndsAfterFivePassesWithoutTheEndCommand)
{
    OpenLink();
    for (int pass = 0; pass < 5; ++pass)
        m_micom->RefuseLine(2 + 2 * pass, ERROR_IO_DEVICE);
    platform::DebugCapture log;
    EXPECT_EQ(kMicomDownloadFailed, Download(MicomFile(4, 8)));
    EXPECT_EQ(5, CountLines(log, "CNEC: NecmicomUpgradeData Error("));
    EXPECT_TRUE(log.Contains("CNEC: Necmicom Upgrade FASLE 10\r\n"));
    EXPECT_EQ(0, m_micom->UpgradeEnds());
    EXPECT_EQ(State::Downloading, m_micom->State());
}

TEST_F(MicomDownloadTest, StartFailuresAndMissingFilesAreTheirErrorsNeverSuccess)
{
    OpenLink();
    m_micom->RefuseStart(ERROR_BUSY);
    platform::DebugCapture log;
    EXPECT_EQ(static_cast<int>(ERROR_BUSY), Download(MicomFile(1, 8)));
    EXPECT_TRUE(log.Contains("CNEC: NecmicomUpgradeStart FALSE 170\r\n"));
    EXPECT_TRUE(m_micom->Lines().empty());

    // A silent micom.
    m_micom->RefuseStart(0);
    m_micom->SetSilent(true);
    EXPECT_EQ(static_cast<int>(ERROR_TIMEOUT), Download(MicomFile(1, 8)));
    m_micom->SetSilent(false);

    EXPECT_EQ(static_cast<int>(ERROR_FILE_NOT_FOUND), m_link.UpgradeFromFile(u"\\_MAKE_TEMP_\\none.rec", 0));
    EXPECT_TRUE(log.Contains("CNEC: CreateFile Error(2)\r\n"));
}

} // namespace
