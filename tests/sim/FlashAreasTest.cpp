#include "sim/FlashStore.h"

#include "platform/base/Error.h"
#include "platform/io/Io.h"
#include "platform/io/RawDisk.h"
#include "tests/common/TempUnit.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

namespace {

using Area = sim::CFlashStore::Area;

class FlashAreasTest : public ::testing::Test {
protected:
    FlashAreasTest() : m_store(sim::CFlashStore::Install(Layout()))
    {
        m_disk = CreateFileW(u"DSK1:", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
        EXPECT_NE(INVALID_HANDLE_VALUE, m_disk);
    }
    ~FlashAreasTest() override
    {
        CloseHandle(m_disk);
        sim::CFlashStore::Uninstall();
    }
    static sim::FlashLayout Layout()
    {
        sim::FlashLayout layout;
        layout.bootSectors = 8;
        layout.pageSectors = 64;
        layout.region0Sectors = 16;
        layout.region1Sectors = 32;
        return layout;
    }

    BOOL Write(RawDiskIoctl code, DWORD region, DWORD start, DWORD count, BYTE* buffer)
    {
        BYTE record[kRegionRequestBytes];
        const RawDiskRequest request{region, start, count, buffer};
        if (code == RawDiskIoctl::RegionWrite)
            platform::EncodeRegionRequest(request, record);
        else
            platform::EncodeSectorRequest(request, record);
        DWORD returned = 0;
        return DeviceIoControl(m_disk, static_cast<DWORD>(code), record,
                               code == RawDiskIoctl::RegionWrite ? kRegionRequestBytes : kSectorRequestBytes, nullptr,
                               0, &returned, nullptr);
    }
    BOOL Read(DWORD start, DWORD count, BYTE* buffer)
    {
        BYTE record[kSectorRequestBytes];
        platform::EncodeSectorRequest({0, start, count, buffer}, record);
        DWORD returned = 0;
        return DeviceIoControl(m_disk, static_cast<DWORD>(RawDiskIoctl::ImageRead), nullptr, 0, record, sizeof(record),
                               &returned, nullptr);
    }

    TempUnit m_unit;
    std::shared_ptr<sim::CFlashStore> m_store;
    HANDLE m_disk = INVALID_HANDLE_VALUE;
};

TEST_F(FlashAreasTest, AreasAreSeparateBoundedAndOutlastTheStore)
{
    std::vector<BYTE> pages(2 * 512, 0x11);
    std::vector<BYTE> region0(512, 0x22);
    std::vector<BYTE> region1(512, 0x33);
    EXPECT_TRUE(Write(RawDiskIoctl::PageWrite, 0, 62, 2, pages.data()));
    EXPECT_TRUE(Write(RawDiskIoctl::RegionWrite, 0, 15, 1, region0.data()));
    EXPECT_TRUE(Write(RawDiskIoctl::RegionWrite, 1, 0, 1, region1.data()));
    // Past an area, another region, no sectors, no buffer.
    EXPECT_FALSE(Write(RawDiskIoctl::PageWrite, 0, 63, 2, pages.data()));
    EXPECT_EQ(ERROR_SECTOR_NOT_FOUND, GetLastError());
    EXPECT_FALSE(Write(RawDiskIoctl::RegionWrite, 0, 16, 1, region0.data()));
    EXPECT_FALSE(Write(RawDiskIoctl::RegionWrite, 2, 0, 1, region0.data()));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, GetLastError());
    EXPECT_FALSE(Write(RawDiskIoctl::PageWrite, 0, 0, 0, pages.data()));
    EXPECT_FALSE(Write(RawDiskIoctl::PageWrite, 0, 0, 1, nullptr));
    EXPECT_EQ(4u * 512, m_store->BytesWritten());

    std::vector<BYTE> back(2 * 512);
    EXPECT_TRUE(Read(62, 2, back.data()));
    EXPECT_EQ(pages, back);
    EXPECT_FALSE(Read(63, 2, back.data()));

    // A new store on the same root, with other sizes asked, finds the file's.
    CloseHandle(m_disk);
    m_disk = INVALID_HANDLE_VALUE;
    ASSERT_TRUE(std::filesystem::exists(sim::CFlashStore::FlashFilePath()));
    sim::CFlashStore again;
    EXPECT_EQ(pages, again.ReadArea(Area::Pages, 62, 2));
    EXPECT_EQ(64u, again.AreaLayout().pageSectors);
    EXPECT_EQ(region0, again.ReadArea(Area::Region0, 15, 1));
    EXPECT_EQ(region1, again.ReadArea(Area::Region1, 0, 1));
    EXPECT_EQ(std::vector<BYTE>(512, 0), again.ReadArea(Area::Region1, 1, 1)) << "erased";
}

TEST_F(FlashAreasTest, APowerCutLandsTheWriteOnlyUpToItsByteAndStopsTheStore)
{
    std::vector<BYTE> data(512, 0x5A);
    m_store->CutPowerAfter(512 + 100);
    EXPECT_TRUE(Write(RawDiskIoctl::PageWrite, 0, 0, 1, data.data()));
    EXPECT_FALSE(Write(RawDiskIoctl::PageWrite, 0, 1, 1, data.data()));
    EXPECT_EQ(ERROR_NOT_READY, GetLastError());
    EXPECT_TRUE(m_store->PoweredOff());
    EXPECT_FALSE(Write(RawDiskIoctl::RegionWrite, 0, 0, 1, data.data()));
    EXPECT_EQ(INVALID_HANDLE_VALUE, CreateFileW(u"DSK1:", GENERIC_READ, 0, nullptr, OPEN_ALWAYS, 0, nullptr));

    m_store->PowerOn();
    const std::vector<BYTE> second = m_store->ReadArea(Area::Pages, 1, 1);
    EXPECT_EQ(std::vector<BYTE>(100, 0x5A), std::vector<BYTE>(second.begin(), second.begin() + 100));
    EXPECT_EQ(std::vector<BYTE>(412, 0), std::vector<BYTE>(second.begin() + 100, second.end()));
    EXPECT_TRUE(Write(RawDiskIoctl::PageWrite, 0, 1, 1, data.data()));
}

TEST_F(FlashAreasTest, CorruptedReadsChangeWhatIsReturnedNotTheFlash)
{
    std::vector<BYTE> data(512, 0x42);
    ASSERT_TRUE(Write(RawDiskIoctl::PageWrite, 0, 3, 1, data.data()));
    m_store->CorruptNextReads(1);
    std::vector<BYTE> back(512);
    EXPECT_TRUE(Read(3, 1, back.data()));
    EXPECT_NE(data, back);
    EXPECT_TRUE(Read(3, 1, back.data()));
    EXPECT_EQ(data, back);
}

TEST_F(FlashAreasTest, TheBootLoaderIsReadByTheDriverFromTheUnitPath)
{
    std::filesystem::create_directories(m_unit.Host("_MAKE_TEMP_"));
    const std::vector<BYTE> loader(3000, 0x7E);
    {
        std::ofstream out(m_unit.Host("_MAKE_TEMP_/_BOOT_.NB0"), std::ios::binary);
        out.write(reinterpret_cast<const char*>(loader.data()), static_cast<std::streamsize>(loader.size()));
    }
    const WCHAR path[] = u"\\_MAKE_TEMP_\\_BOOT_.NB0";
    BYTE record[kBootLoaderRequestBytes];
    platform::EncodeBootLoaderRequest(path, record);
    DWORD returned = 0;
    EXPECT_TRUE(DeviceIoControl(m_disk, static_cast<DWORD>(RawDiskIoctl::BootLoaderUpdate), record, sizeof(record),
                                nullptr, 0, &returned, nullptr));
    EXPECT_EQ(loader, m_store->BootLoader());

    // Larger than its area: refused, the old one stays.
    {
        std::ofstream out(m_unit.Host("_MAKE_TEMP_/_BOOT_.NB0"), std::ios::binary);
        out << std::string(8 * 512 + 1, 'x');
    }
    EXPECT_FALSE(DeviceIoControl(m_disk, static_cast<DWORD>(RawDiskIoctl::BootLoaderUpdate), record, sizeof(record),
                                 nullptr, 0, &returned, nullptr));
    EXPECT_EQ(ERROR_DISK_FULL, GetLastError());
    EXPECT_EQ(loader, m_store->BootLoader());
}

} // namespace
