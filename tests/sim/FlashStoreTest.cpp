#include "sim/FlashStore.h"

#include "platform/base/Error.h"
#include "platform/base/Text.h"
#include "platform/io/Io.h"
#include "platform/io/Store.h"
#include "tests/common/TempUnit.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

class FlashStoreTest : public ::testing::Test {
protected:
    FlashStoreTest() : m_store(sim::CFlashStore::Install()) {}
    ~FlashStoreTest() override { sim::CFlashStore::Uninstall(); }

    STOREINFO Info(HANDLE store)
    {
        STOREINFO info{};
        info.cbSize = sizeof(info);
        EXPECT_TRUE(GetStoreInfo(store, &info));
        return info;
    }

    TempUnit m_unit;
    std::shared_ptr<sim::CFlashStore> m_store;
};

TEST_F(FlashStoreTest, InfoDescribesTheStoreAndItsPartition)
{
    HANDLE store = OpenStore(u"DSK1:");
    ASSERT_NE(INVALID_HANDLE_VALUE, store);
    const STOREINFO info = Info(store);
    EXPECT_EQ(sim::CFlashStore::kDefaultSectors, info.snNumSectors);
    EXPECT_EQ(512u, info.dwBytesPerSector);
    EXPECT_EQ(0u, info.snFreeSectors);
    EXPECT_EQ(1u, info.dwPartitionCount);
    EXPECT_EQ(1u, info.dwMountCount);
    EXPECT_EQ(std::u16string(u"DSK1:"), info.szDeviceName);

    STOREINFO wrongSize{};
    EXPECT_FALSE(GetStoreInfo(store, &wrongSize));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, GetLastError());
    CloseHandle(store);
    EXPECT_EQ(0, m_store->OpenHandles());
}

TEST_F(FlashStoreTest, FormatNeedsADismountedStoreAndEmptiesNand)
{
    std::filesystem::create_directories(m_unit.Host("NAND/Wren/Data"));
    std::ofstream(m_unit.Host("NAND/Wren/Data/a.reg")) << "x";
    std::ofstream(m_unit.Host("HDD.keep")) << "x";
    HANDLE store = OpenStore(u"DSK1:");
    ASSERT_NE(INVALID_HANDLE_VALUE, store);

    EXPECT_FALSE(FormatStore(store));
    EXPECT_EQ(ERROR_BUSY, GetLastError());
    EXPECT_TRUE(std::filesystem::exists(m_unit.Host("NAND/Wren/Data/a.reg")));

    EXPECT_TRUE(DismountStore(store));
    EXPECT_FALSE(m_store->IsMounted());
    EXPECT_TRUE(FormatStore(store));
    EXPECT_EQ(1, m_store->FormatCount());
    EXPECT_TRUE(std::filesystem::is_directory(m_unit.Host("NAND")));
    EXPECT_TRUE(std::filesystem::is_empty(m_unit.Host("NAND")));
    EXPECT_TRUE(std::filesystem::exists(m_unit.Host("HDD.keep")));
    EXPECT_EQ(0u, Info(store).dwPartitionCount);
    CloseHandle(store);
}

TEST_F(FlashStoreTest, PartitionsAreCheckedAgainstNameAndSpace)
{
    HANDLE store = OpenStore(u"DSK1:");
    ASSERT_TRUE(DismountStore(store));
    ASSERT_TRUE(FormatStore(store));
    const ULONGLONG all = Info(store).snNumSectors;
    struct Case {
        const WCHAR* name;
        ULONGLONG sectors;
        BOOL ok;
        DWORD error;
    };
    const Case cases[] = {
        {u"Part00", all + 1, FALSE, ERROR_DISK_FULL},
        {u"", 10, FALSE, ERROR_INVALID_PARAMETER},
        {u"A-name-that-is-far-too-long-for-a-partition", 10, FALSE, ERROR_INVALID_PARAMETER},
        {u"Part00", 0, FALSE, ERROR_INVALID_PARAMETER},
        {u"Part00", all, TRUE, 0},
        {u"Part00", 1, FALSE, ERROR_ALREADY_EXISTS},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(platform::ToUtf8(c.name));
        EXPECT_EQ(c.ok, CreatePartition(store, c.name, c.sectors));
        if (!c.ok) {
            EXPECT_EQ(c.error, GetLastError());
        }
    }
    EXPECT_TRUE(m_store->IsMounted());
    EXPECT_EQ(1u, Info(store).dwMountCount);
    CloseHandle(store);
}

TEST_F(FlashStoreTest, InjectedFailuresAndUnknownCodes)
{
    HANDLE store = OpenStore(u"DSK1:");
    m_store->FailNext(IOCTL_STORE_DISMOUNT, ERROR_IO_DEVICE);
    EXPECT_FALSE(DismountStore(store));
    EXPECT_EQ(ERROR_IO_DEVICE, GetLastError());
    EXPECT_TRUE(DismountStore(store));
    DWORD returned = 0;
    EXPECT_FALSE(DeviceIoControl(store, 0x1234, nullptr, 0, nullptr, 0, &returned, nullptr));
    EXPECT_EQ(ERROR_INVALID_FUNCTION, GetLastError());
    CloseHandle(store);

    m_store->RefuseOpen(ERROR_DEV_NOT_EXIST);
    EXPECT_EQ(INVALID_HANDLE_VALUE, OpenStore(u"DSK1:"));
    sim::CFlashStore::Uninstall();
    EXPECT_EQ(INVALID_HANDLE_VALUE, OpenStore(u"DSK1:"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetLastError());
}

} // namespace
