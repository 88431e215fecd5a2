// The Bluetooth module's firmware download against the simulated module on
// "COM3:". Every wait of the download and of the module runs on a manual
// clock, which a pump thread moves on in small steps while the download
// runs on the test's thread.
#include "updater/BluetoothDownload.h"

#include "platform/base/Clock.h"
#include "platform/base/Debug.h"
#include "platform/io/Serial.h"
#include "sim/BluetoothModule.h"
#include "tests/common/TempUnit.h"
#include "tests/updater/PackageFixture.h"
#include "updater/DfuFile.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace updatertest;
using sim::CBluetoothModule;

namespace {

using Bytes = std::vector<BYTE>;

// CRC-32 bit by bit: reflected IEEE 802.3 polynomial, initial all ones, no
// final complement.
DWORD ReferenceCrc32(const Bytes& data, std::size_t size)
{
    DWORD crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (crc & 1 ? 0xEDB88320u : 0);
    }
    return crc;
}

void PutLe(Bytes& out, DWORD value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<BYTE>(value >> (8 * i)));
}

// A DFU file: image, suffix (device 0x0123, product 0x0001, vendor 0x0A12,
// DFU 1.0, "UFD", 16) and its CRC.
Bytes MakeDfuFile(const Bytes& image)
{
    Bytes file = image;
    PutLe(file, 0x0123, 2);
    PutLe(file, 0x0001, 2);
    PutLe(file, 0x0A12, 2);
    PutLe(file, 0x0100, 2);
    file.insert(file.end(), {'U', 'F', 'D', 16});
    PutLe(file, ReferenceCrc32(file, file.size()), 4);
    return file;
}

// An image with every byte value, the SLIP delimiter and escape among them.
Bytes MakeImage(std::size_t size)
{
    Bytes image(size);
    DWORD x = 12345;
    for (BYTE& b : image) {
        x = x * 1103515245u + 12345u;
        b = static_cast<BYTE>(x >> 16);
    }
    return image;
}

// Moves the manual clock on by step ms about every 50 us of real time.
class ClockPump {
public:
    ClockPump(platform::ManualClock& clock, std::uint64_t step)
        : m_thread([this, &clock, step] {
              while (!m_stop) {
                  clock.Advance(step);
                  std::this_thread::sleep_for(std::chrono::microseconds(50));
              }
          })
    {
    }
    ~ClockPump()
    {
        m_stop = true;
        m_thread.join();
    }

private:
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

constexpr LPCWSTR kDfuPath = u"\\_MAKE_TEMP_\\_BT_.DFU";

class BluetoothDownloadTest : public ::testing::Test {
protected:
    void TearDown() override { CBluetoothModule::Uninstall(); }

    void WriteFile(const Bytes& file) { WriteHostFile(m_unit.Host("_MAKE_TEMP_/_BT_.DFU"), file); }

    // Runs the download with the pump moving the clock; the clock time it
    // took is kept in m_elapsed.
    BOOL Download(std::uint64_t step = 1, DWORD timeoutMs = kBtDownloadTimeoutMs)
    {
        const std::uint64_t start = m_clock.Now();
        ClockPump pump(m_clock, step);
        CBtDfuDownload download(timeoutMs);
        const BOOL ok = download.DfuDownload(kDfuPath);
        m_elapsed = m_clock.Now() - start;
        m_dropped = download.DroppedFrames();
        m_retransmitted = download.Retransmissions();
        return ok;
    }

    // The complete exchange for an image of blocks data blocks.
    static std::vector<BYTE> CompleteRequests(int blocks)
    {
        std::vector<BYTE> requests = {8, 9, 3}; // vendor, transfer size, status
        for (int i = 0; i < blocks; ++i)
            requests.insert(requests.end(), {1, 3});   // block, status
        requests.insert(requests.end(), {1, 3, 3, 7}); // end, manifestation, idle, finish
        return requests;
    }

    TempUnit m_unit{"wren-bt"};
    platform::ManualClock m_clock;
    platform::DebugCapture m_log;
    std::shared_ptr<CBluetoothModule> m_module = CBluetoothModule::Install();
    const Bytes m_image = MakeImage(5000);
    std::uint64_t m_elapsed = 0;
    int m_dropped = 0;
    int m_retransmitted = 0;
};

TEST(DfuFile, Crc32AndSuffixFollowTheFileRules)
{
    const Bytes file = MakeDfuFile(MakeImage(777));
    EXPECT_EQ(dfu::Crc32(0xFFFFFFFFu, file.data(), file.size() - 4), ReferenceCrc32(file, file.size() - 4));
    EXPECT_EQ(dfu::Crc32(0xFFFFFFFFu, nullptr, 0), 0xFFFFFFFFu);
    const dfu::Suffix suffix = dfu::ReadSuffix(file.data(), file.size());
    EXPECT_EQ(suffix.bcdDevice, 0x0123);
    EXPECT_EQ(suffix.idProduct, 0x0001);
    EXPECT_EQ(suffix.idVendor, 0x0A12);
    EXPECT_EQ(suffix.bcdDFU, 0x0100);
    EXPECT_EQ(suffix.ucDfuSignature, dfu::kSignature);
    EXPECT_EQ(suffix.bLength, 16);
    EXPECT_EQ(suffix.dwCRC, ReferenceCrc32(file, file.size() - 4));
}

TEST_F(BluetoothDownloadTest, CompletesWhicheverWayTheModuleWakesUp)
{
    const std::array<BYTE, 8> h4[] = {
        {0xC1, 8, 0, 0, 0, 0, 12, 0},
        {0xC1, 9, 0, 0, 0, 0, 12, 0},
        {0x21, 0, 0x88, 0x13, 0, 0, 0, 0}, // DFU_DETACH, 5000 ms
        {0x41, 7, 0, 0, 0, 0, 0, 0},
    };
    const struct {
        CBluetoothModule::WakeAnswer answer;
        const char* line;
    } cases[] = {
        {CBluetoothModule::WakeAnswer::Ready, "RES CD02D400"},
        {CBluetoothModule::WakeAnswer::TaggedReady, "RES CD02D400"},
        {CBluetoothModule::WakeAnswer::TaggedStatus, "RES 040F0400"},
        {CBluetoothModule::WakeAnswer::Split, "IND 040F0400"},
    };
    WriteFile(MakeDfuFile(m_image));
    for (const auto& c : cases) {
        m_module = CBluetoothModule::Install();
        m_module->SetWakeAnswer(c.answer);
        m_module->SetBusyPolls(1);
        m_log.Clear();
        ASSERT_TRUE(Download()) << c.line << "\n" << m_log.Text();
        EXPECT_TRUE(m_log.Contains(c.line)) << c.line;
        EXPECT_EQ(m_module->Image(), m_image);
        EXPECT_TRUE(m_module->Finished());
        const std::vector<std::array<BYTE, 8>> expected(std::begin(h4), std::end(h4));
        EXPECT_EQ(m_module->H4Requests(), expected);
        // 1023-byte blocks: five; each is followed by one busy status.
        std::vector<BYTE> requests = {8, 9, 3};
        for (int i = 0; i < 5; ++i)
            requests.insert(requests.end(), {1, 3, 3});
        requests.insert(requests.end(), {1, 3, 3, 7}); // manifestation, then idle
        EXPECT_EQ(m_module->DfuRequests(), requests);
        // Even parity for BCSP, none again at the end.
        EXPECT_EQ(m_module->ParityChanges(), 2);
        EXPECT_EQ(m_module->LineParity(), NOPARITY);
        EXPECT_TRUE(m_log.Contains("CRC match, DFU file is good!"));
        EXPECT_TRUE(m_log.Contains("Downloaded Size = 0x1388"));
        EXPECT_TRUE(m_log.Contains("DFU Download Complete!!!"));
    }
}

TEST_F(BluetoothDownloadTest, CompletesThroughLossCorruptionAndDelay)
{
    WriteFile(MakeDfuFile(m_image));
    CBluetoothModule::Faults faults;
    faults.dropReceived = 7;
    faults.dropSent = 5;
    faults.corruptSent = 6;
    faults.delaySent = 11;
    faults.delayMs = 400;
    m_module->SetFaults(faults);
    m_module->SetTransferSize(700);
    ASSERT_TRUE(Download()) << m_log.Text();
    EXPECT_EQ(m_module->Image(), m_image);
    EXPECT_TRUE(m_module->Finished());
    // Each request was taken once, whatever came twice.
    EXPECT_EQ(m_module->DfuRequests(), CompleteRequests(8));
    // Both sides sent again what was lost; the damaged frames were caught.
    EXPECT_GT(m_module->Retransmissions(), 0);
    EXPECT_GT(m_retransmitted, 0);
    EXPECT_GT(m_dropped, 0);
    EXPECT_TRUE(m_log.Contains("DFU Download Complete!!!"));
}

TEST_F(BluetoothDownloadTest, DfuErrorIsClearedAndTheBlockSentAgain)
{
    WriteFile(MakeDfuFile(m_image));
    m_module->FailBlock(2, 2);
    ASSERT_TRUE(Download()) << m_log.Text();
    EXPECT_EQ(m_module->Image(), m_image);
    std::vector<BYTE> requests = {8, 9, 3, 1, 3, 1, 3};
    for (int i = 0; i < 2; ++i)
        requests.insert(requests.end(), {1, 3, 4, 3}); // block 2, dfuERROR, CLRSTATUS, dfuIDLE
    for (int i = 2; i < 5; ++i)
        requests.insert(requests.end(), {1, 3});
    requests.insert(requests.end(), {1, 3, 3, 7});
    EXPECT_EQ(m_module->DfuRequests(), requests);
    EXPECT_TRUE(m_log.Contains("BCSP_DFU_CLR_STATUS_Request"));
}

TEST_F(BluetoothDownloadTest, AModuleThatKeepsFailingEndsTheDownload)
{
    WriteFile(MakeDfuFile(m_image));
    m_module->FailBlock(1, 1000);
    EXPECT_FALSE(Download());
    EXPECT_FALSE(m_module->Finished());
    EXPECT_TRUE(m_log.Contains("DFU Download Error"));
    EXPECT_LT(m_elapsed, kBtDownloadTimeoutMs);
}

TEST_F(BluetoothDownloadTest, TransferSizeFromTheModuleIsChecked)
{
    WriteFile(MakeDfuFile(m_image));
    for (WORD size : {0, 4088, 0xFFFF}) {
        m_module = CBluetoothModule::Install();
        m_module->SetTransferSize(size);
        m_log.Clear();
        EXPECT_FALSE(Download()) << size;
        EXPECT_TRUE(m_log.Contains("ERROR: Invalid transfer size")) << size;
        EXPECT_TRUE(m_module->Image().empty());
    }
    m_module = CBluetoothModule::Install();
    m_module->SetTransferSize(4087);
    ASSERT_TRUE(Download());
    EXPECT_EQ(m_module->Image(), m_image);
    EXPECT_EQ(m_module->DfuRequests(), CompleteRequests(2));
}

TEST_F(BluetoothDownloadTest, UnsoundFilesAreRefusedBeforeThePortOpens)
{
    const Bytes good = MakeDfuFile(m_image);
    const auto changed = [&](std::size_t at) {
        Bytes file = good;
        file[at] ^= 0x01;
        return file;
    };
    const struct {
        Bytes file;
        const char* line;
    } cases[] = {
        {changed(100), "ERROR: CRC-32 Fail"},                            // image
        {changed(good.size() - 1), "ERROR: CRC-32 Fail"},                // the CRC
        {changed(good.size() - 8), "ERROR: Invalid DFU suffix"},         // signature
        {changed(good.size() - 5), "ERROR: Invalid DFU suffix"},         // suffix length
        {Bytes(good.end() - 16, good.end()), "ERROR: Invalid DFU file"}, // suffix alone
        {Bytes{}, "ERROR: Invalid DFU file"},
    };
    for (const auto& c : cases) {
        WriteFile(c.file);
        m_log.Clear();
        EXPECT_FALSE(Download()) << c.line;
        EXPECT_TRUE(m_log.Contains(c.line)) << c.line << "\n" << m_log.Text();
    }
    m_log.Clear();
    EXPECT_FALSE(DfuDownload(u"\\_MAKE_TEMP_\\missing.DFU"));
    EXPECT_TRUE(m_log.Contains("ERROR: Can not open the file"));
    EXPECT_EQ(m_module->Opens(), 0);
}

TEST_F(BluetoothDownloadTest, ASilentModuleFailsWithinTheBound)
{
    WriteFile(MakeDfuFile(m_image));
    const struct {
        CBluetoothModule::Stage stage; // Asleep: silent from the start
        int block;
        const char* line;
    } cases[] = {
        {CBluetoothModule::Stage::Asleep, -1, "RES FAIL"},
        {CBluetoothModule::Stage::Awake, -1, "DFU H4 Connection Error"},
        {CBluetoothModule::Stage::Loader, -1, "DFU BCSP Sync Error"},
        {CBluetoothModule::Stage::Finished, 2, "DFU BCSP Connection Error"},
    };
    for (const auto& c : cases) {
        m_module = CBluetoothModule::Install();
        if (c.stage == CBluetoothModule::Stage::Asleep)
            m_module->SetSilent(true);
        else if (c.block >= 0)
            m_module->SilenceAfterBlock(c.block);
        else
            m_module->SilenceAt(c.stage);
        m_log.Clear();
        EXPECT_FALSE(Download(50)) << c.line;
        EXPECT_TRUE(m_log.Contains(c.line)) << c.line;
        // The wake-up gives up after its own tries; later silences wait out
        // the bound. The pump runs the clock a thousand times faster than
        // real time while the threads end, and a loaded machine may take a
        // while for that: the upper check only proves the download gave up.
        if (c.stage != CBluetoothModule::Stage::Asleep) {
            EXPECT_TRUE(m_log.Contains("DFU Download Timeout")) << c.line;
            EXPECT_GE(m_elapsed, kBtDownloadTimeoutMs) << c.line;
        }
        EXPECT_LT(m_elapsed, 2 * kBtDownloadTimeoutMs) << c.line;
        EXPECT_FALSE(m_module->Finished());
    }
}

} // namespace
