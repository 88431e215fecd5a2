#include "updater/SysUpdate.h"

#include "platform/io/Io.h"
#include "platform/io/RawDisk.h"
#include "sim/FlashStore.h"
#include "tests/updater/FirmwareFixture.h"
#include "tests/updater/OsCrc.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

using namespace updatertest;
using Area = sim::CFlashStore::Area;

namespace {

constexpr std::size_t kPage = 0x20000;

void PutWord(std::vector<std::uint8_t>& image, std::size_t word, std::uint32_t value)
{
    for (int b = 0; b < 4; ++b)
        image[4 * word + b] = static_cast<std::uint8_t>(value >> (8 * b));
}

// An OS image of size bytes whose header CRCs hold.
std::vector<std::uint8_t> MakeOsImage(std::size_t size, unsigned seed)
{
    std::vector<std::uint8_t> image = RandomBytes(size, seed);
    PutWord(image, 6, OsCrc(image, size / 4, true));
    PutWord(image, 4, OsCrc(image, 0x8000, false));
    return image;
}

class SysUpdateTest : public FirmwareTest {
protected:
    SysUpdateTest() : m_store(sim::CFlashStore::Install(SmallLayout())) {}
    ~SysUpdateTest() override { sim::CFlashStore::Uninstall(); }

    static sim::FlashLayout SmallLayout()
    {
        sim::FlashLayout layout;
        layout.bootSectors = 256;
        layout.pageSectors = 8 + 16 * 256; // 16 pages of the OS image
        layout.region0Sectors = 4096;
        layout.region1Sectors = 16 * 256;
        return layout;
    }

    // The steps written to the update progress sector, in order.
    static std::vector<int> Steps(const platform::DebugCapture& log)
    {
        std::vector<int> steps;
        for (const std::string& line : log.Lines())
            if (line.rfind("WriteOsUpdateInfo \"", 0) == 0)
                steps.push_back(std::stoi(line.substr(19)));
        return steps;
    }
    int ProgressStep(const sim::CFlashStore& store) const
    {
        return store.ReadArea(Area::Region0, updater::kProgressSector, 1).at(updater::kProgressStepByte);
    }
    std::vector<std::uint8_t> OsArea(const sim::CFlashStore& store, std::size_t bytes) const
    {
        std::vector<std::uint8_t> area
            = store.ReadArea(Area::Pages, updater::kOsFirstSector, static_cast<DWORD>((bytes + 511) / 512));
        area.resize(bytes);
        return area;
    }
    BOOL RunOsStep()
    {
        CSysUpdate writer;
        EXPECT_TRUE(writer.OpenDisk());
        const BOOL ok = writer.UpdateNKBin();
        writer.Close();
        return ok;
    }

    std::shared_ptr<sim::CFlashStore> m_store;
};

TEST_F(SysUpdateTest, OsImageIsWrittenVerifiedAndMarkedDoneWithoutStaleBytesAfterIt)
{
    // Three and a bit pages; the page area holds older bytes everywhere.
    const std::vector<std::uint8_t> image = MakeOsImage(3 * kPage + 1000, 1);
    WriteFile("_MAKE_TEMP_/_NK_.NB0.APZ", image);
    ASSERT_TRUE(m_store->WriteArea(Area::Pages, 0, std::vector<std::uint8_t>(8 * 512 + 4 * kPage, 0xEE)));

    platform::DebugCapture log;
    EXPECT_TRUE(RunOsStep());
    EXPECT_EQ(std::vector<int>({3, 4, 5, 6}), Steps(log));
    EXPECT_EQ(6, ProgressStep(*m_store));
    EXPECT_TRUE(log.Contains("Kernel ReadOsimage_Compare Success..."));
    EXPECT_TRUE(log.Contains("CSysUpdate::UpdateNKBin OK.\r\n"));

    const std::vector<std::uint8_t> pages = m_store->ReadArea(Area::Pages, 8, 4 * 256);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), pages.begin()));
    EXPECT_TRUE(std::all_of(pages.begin() + static_cast<std::ptrdiff_t>(image.size()), pages.end(),
                            [](std::uint8_t byte) { return byte == 0; }));
    // Sectors before the image are not the writer's.
    EXPECT_EQ(0xEE, m_store->ReadArea(Area::Pages, 7, 1).at(0));
}

TEST_F(SysUpdateTest, ImagesShorterThanTheFirstCheckAreCoveredAndTooShortOnesRefused)
{
    for (const std::size_t size : {std::size_t(1000), std::size_t(28)}) {
        WriteFile("_MAKE_TEMP_/_NK_.NB0.APZ", MakeOsImage(size, 2));
        EXPECT_TRUE(RunOsStep()) << size;
        EXPECT_EQ(MakeOsImage(size, 2), OsArea(*m_store, size)) << size;
    }
    // No header: an empty file, or one without word 6.
    for (const std::size_t size : {std::size_t(0), std::size_t(27)}) {
        WriteFile("_MAKE_TEMP_/_NK_.NB0.APZ", std::vector<std::uint8_t>(size, 0));
        platform::DebugCapture log;
        EXPECT_FALSE(RunOsStep()) << size;
        EXPECT_EQ(std::vector<int>({3}), Steps(log)) << size;
    }
}

TEST_F(SysUpdateTest, ReadBackFailuresArePassesAndOnlyAVerifiedImageIsReportedGood)
{
    const std::vector<std::uint8_t> image = MakeOsImage(kPage + 512, 3);
    WriteFile("_MAKE_TEMP_/_NK_.NB0.APZ", image);
    struct Case {
        int corruptReads;
        bool ok;
        std::vector<int> steps;
    };
    for (const Case& c :
         {Case{1, true, {3, 4, 5, 5, 6}}, Case{2, true, {3, 4, 5, 5, 5, 6}}, Case{3, false, {3, 4, 5, 5, 5}}}) {
        m_store->CorruptNextReads(c.corruptReads);
        platform::DebugCapture log;
        const std::uint64_t start = m_clock.Now();
        EXPECT_EQ(c.ok, RunOsStep() != FALSE) << c.corruptReads;
        EXPECT_EQ(c.steps, Steps(log)) << c.corruptReads;
        EXPECT_EQ(c.corruptReads, CountLines(log, "Kernel ReadOsimage_Compare Fail... "));
        EXPECT_EQ(c.corruptReads, CountLines(log, "Recompare CRC Check Failed ...  "));
        EXPECT_EQ(1000u * c.corruptReads, m_clock.Now() - start);
        // The flash never says done for an image that was not read back.
        EXPECT_EQ(c.ok ? 6 : 5, ProgressStep(*m_store)) << c.corruptReads;
    }
}

TEST_F(SysUpdateTest, AFailedPageWriteEndsThePassAndTheNextPassWritesAgain)
{
    const std::vector<std::uint8_t> image = MakeOsImage(2 * kPage, 4);
    WriteFile("_MAKE_TEMP_/_NK_.NB0.APZ", image);
    m_store->FailNext(static_cast<DWORD>(RawDiskIoctl::PageWrite), ERROR_WRITE_FAULT);
    platform::DebugCapture log;
    EXPECT_TRUE(RunOsStep());
    EXPECT_TRUE(log.Contains("Nand_HDWritePage Error : pageaddr:8, buf:"));
    EXPECT_EQ(std::vector<int>({3, 4, 5, 5, 6}), Steps(log));
    EXPECT_EQ(image, OsArea(*m_store, image.size()));
}

TEST_F(SysUpdateTest, AnImageWhoseCrcsDoNotHoldIsNeverWritten)
{
    struct Case {
        std::size_t byte;
        const char* logged;
        const char* notLogged;
    };
    // Word 4 is checked first; a change past 128 KiB only breaks the CRC
    // over the whole image.
    for (const Case& c : {Case{16, "VerifyROMFile 128kbyte CRC Error \n", "Second CRC Check"},
                          Case{100, "VerifyROMFile 128kbyte CRC Error \n", "Second CRC Check"},
                          Case{kPage + 7, "VerifyROMFile FULL OS IMAGE CRC Error \n", "128kbyte"}}) {
        std::vector<std::uint8_t> image = MakeOsImage(2 * kPage, 5);
        image[c.byte] ^= 1;
        WriteFile("_MAKE_TEMP_/_NK_.NB0.APZ", image);
        const std::uint64_t written = m_store->BytesWritten();
        platform::DebugCapture log;
        EXPECT_FALSE(RunOsStep());
        EXPECT_TRUE(log.Contains(c.logged)) << c.byte;
        EXPECT_FALSE(log.Contains(c.notLogged)) << c.byte;
        EXPECT_EQ(std::vector<int>({3}), Steps(log));
        EXPECT_EQ(512u, m_store->BytesWritten() - written) << "only the progress sector";
    }
}

// What a power cut leaves on the flash, as the boot loader would judge it.
enum class FlashVerdict { OldIntact, NewGood, RecoveryNeeded, Broken };

TEST_F(SysUpdateTest, APowerCutAtAnyWriteOfTheOsStepLeavesAFlashThatTellsTheTruth)
{
    const std::size_t size = 3 * kPage;
    const std::vector<std::uint8_t> oldImage = MakeOsImage(size, 6);
    const std::vector<std::uint8_t> newImage = MakeOsImage(size, 7);
    WriteFile("_MAKE_TEMP_/_NK_.NB0.APZ", newImage);

    // The writes of the step, in bytes: steps 3 and 4, three pages, step 5,
    // step 6. A cut at each boundary and half-way through each write.
    std::vector<std::uint64_t> writes = {512, 512, kPage, kPage, kPage, 512, 512};
    std::vector<std::uint64_t> cuts;
    std::uint64_t at = 0;
    for (std::uint64_t write : writes) {
        cuts.push_back(at);
        cuts.push_back(at + write / 2);
        cuts.push_back(at + write - 1);
        at += write;
    }
    cuts.push_back(at); // every write landed

    std::set<FlashVerdict> seen;
    for (const std::uint64_t cut : cuts) {
        std::vector<std::uint8_t> done(512, 0);
        done[updater::kProgressStepByte] = 6;
        ASSERT_TRUE(m_store->WriteArea(Area::Pages, updater::kOsFirstSector, oldImage));
        ASSERT_TRUE(m_store->WriteArea(Area::Region0, updater::kProgressSector, done));
        m_store->CutPowerAfter(cut);
        const bool reported = RunOsStep() != FALSE;
        EXPECT_EQ(cut < at, m_store->PoweredOff()) << cut;

        // Power back: a new store finds what reached the flash file.
        sim::CFlashStore after;
        const int step = ProgressStep(after);
        const std::vector<std::uint8_t> os = OsArea(after, size);
        FlashVerdict verdict = FlashVerdict::Broken;
        if (step >= 3 && step <= 5)
            verdict = FlashVerdict::RecoveryNeeded;
        else if (os == oldImage)
            verdict = FlashVerdict::OldIntact;
        else if (os == newImage && step == 6)
            verdict = FlashVerdict::NewGood;
        EXPECT_NE(FlashVerdict::Broken, verdict) << "cut after " << cut << " step " << step;
        if (reported) {
            EXPECT_EQ(FlashVerdict::NewGood, verdict) << cut;
        }
        seen.insert(verdict);
        m_store->PowerOn();
    }
    EXPECT_EQ(std::set<FlashVerdict>({FlashVerdict::OldIntact, FlashVerdict::NewGood, FlashVerdict::RecoveryNeeded}),
              seen);
}

TEST_F(SysUpdateTest, BootLoaderIsWrittenByTheDriverAndMarkedDoneOnlyWhenTaken)
{
    const std::vector<std::uint8_t> loader = RandomBytes(70000, 8);
    WriteFile("_MAKE_TEMP_/_BOOT_.NB0", loader);
    {
        platform::DebugCapture log;
        CSysUpdate writer;
        ASSERT_TRUE(writer.OpenDisk());
        EXPECT_TRUE(writer.UpdateEboot());
        EXPECT_EQ(std::vector<int>({1, 2}), Steps(log));
        EXPECT_TRUE(log.Contains("CSysUpdate::UpdateEboot OK.\r\n"));
        EXPECT_EQ(loader, m_store->BootLoader());
    }
    std::filesystem::remove(m_unit.Host("_MAKE_TEMP_/_BOOT_.NB0"));
    platform::DebugCapture log;
    CSysUpdate writer;
    ASSERT_TRUE(writer.OpenDisk());
    EXPECT_FALSE(writer.UpdateEboot());
    EXPECT_EQ(std::vector<int>({1}), Steps(log));
    EXPECT_TRUE(log.Contains("CSysUpdate::UpdateEboot FAIL.\r\n"));
    EXPECT_EQ(1, ProgressStep(*m_store));
}

TEST_F(SysUpdateTest, LogoGoesInWholeChunksPaddedWithZerosAndNeverReachesTheProgressSector)
{
    const std::vector<std::uint8_t> logo = RandomBytes(4097, 9);
    WriteFile("_MAKE_TEMP_/_LOGO_1.ROM", logo);
    ASSERT_TRUE(m_store->WriteArea(Area::Region0, 0, std::vector<std::uint8_t>(32 * 512, 0xEE)));
    CSysUpdate writer;
    ASSERT_TRUE(writer.OpenDisk());
    EXPECT_TRUE(writer.UpdateBootLogo());
    const std::vector<std::uint8_t> region = m_store->ReadArea(Area::Region0, 0, 17);
    EXPECT_TRUE(std::equal(logo.begin(), logo.end(), region.begin()));
    EXPECT_TRUE(std::all_of(region.begin() + 4097, region.begin() + 8192, [](std::uint8_t b) { return b == 0; }));
    EXPECT_EQ(0xEE, region[16 * 512]) << "two chunks of 8 sectors";

    // The logo goes in whole chunks: 387 of them end before the progress
    // sector; a logo that needs one more is refused before anything is
    // written, and the progress sector keeps its step.
    std::vector<std::uint8_t> progress(512, 0);
    progress[updater::kProgressStepByte] = 6;
    ASSERT_TRUE(m_store->WriteArea(Area::Region0, updater::kProgressSector, progress));
    for (const std::size_t size : {std::size_t(387 * 4096), std::size_t(387 * 4096 + 1)}) {
        WriteFile("_MAKE_TEMP_/_LOGO_1.ROM", std::vector<std::uint8_t>(size, 0x11));
        const std::uint64_t written = m_store->BytesWritten();
        EXPECT_EQ(size == 387 * 4096, writer.UpdateBootLogo() != FALSE) << size;
        EXPECT_EQ(size == 387 * 4096 ? size : 0, m_store->BytesWritten() - written);
        EXPECT_EQ(6, ProgressStep(*m_store));
    }
}

TEST_F(SysUpdateTest, BackupImageGoesToRegionOneAndAFailedChunkFailsTheStep)
{
    const std::vector<std::uint8_t> backup = RandomBytes(kPage + 3, 10);
    WriteFile("HDD/nk_backup.rom", backup);
    CSysUpdate writer;
    ASSERT_TRUE(writer.OpenDisk());
    EXPECT_FALSE(writer.OpenDisk()) << "already open";
    {
        platform::DebugCapture log;
        EXPECT_TRUE(writer.UpdateNKBackUp());
        EXPECT_TRUE(log.Contains("SaveBackupProgram  FileSize:131075 PageCount:2 (1 3)  \r\n"));
        EXPECT_TRUE(log.Contains("CSysUpdate::UpdateNKBackUp OK.\r\n"));
    }
    std::vector<std::uint8_t> region = m_store->ReadArea(Area::Region1, 0, 512);
    EXPECT_TRUE(std::equal(backup.begin(), backup.end(), region.begin()));
    EXPECT_TRUE(std::all_of(region.begin() + kPage + 3, region.end(), [](std::uint8_t b) { return b == 0; }));

    m_store->FailNext(static_cast<DWORD>(RawDiskIoctl::RegionWrite), ERROR_WRITE_FAULT);
    platform::DebugCapture log;
    EXPECT_FALSE(writer.UpdateNKBackUp());
    EXPECT_TRUE(log.Contains("Nand_HDWritePage Error : pageaddr:0, buf:"));
    EXPECT_TRUE(log.Contains("CSysUpdate::UpdateNKBackUp FAIL.\r\n"));
    EXPECT_TRUE(writer.Close());
    EXPECT_EQ(0, m_store->OpenHandles());
}

} // namespace
