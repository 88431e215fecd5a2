#include "updater/FileHelpers.h"

#include "platform/base/Debug.h"
#include "platform/base/Error.h"
#include "platform/base/Text.h"
#include "platform/io/File.h"
#include "platform/io/Io.h"
#include "platform/io/Store.h"
#include "sim/FlashStore.h"
#include "tests/common/TempUnit.h"
#include "tests/updater/PackageFixture.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace updatertest;

namespace {

class FileHelpersTest : public ::testing::Test {
protected:
    void Write(const std::string& relative, const std::vector<BYTE>& bytes)
    {
        WriteHostFile(m_unit.Host(relative), bytes);
    }
    static DWORD NaiveSum(const std::vector<BYTE>& bytes)
    {
        DWORD sum = 0;
        for (BYTE b : bytes)
            sum += b;
        return sum;
    }

    TempUnit m_unit;
};

TEST_F(FileHelpersTest, CreateFolderPathMakesParentsAndDropsTrailingBlanksAndBackslashes)
{
    Write("HDD/file.txt", {1});
    struct Case {
        const WCHAR* path;
        BOOL ok;
        const char* made; // host folder that must exist afterwards
    };
    const Case cases[] = {
        {u"", FALSE, nullptr},
        {u"\\", TRUE, nullptr},
        {u"\\NAND\\a\\b\\c", TRUE, "NAND/a/b/c"},
        {u"\\NAND\\x\\y \\\\  ", TRUE, "NAND/x/y"},
        {u"\\NAND\\a\\b\\c", TRUE, "NAND/a/b/c"},
        {u"\\HDD\\file.txt", FALSE, nullptr},
        {u"\\HDD\\file.txt\\sub", FALSE, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(platform::ToUtf8(c.path));
        EXPECT_EQ(c.ok, CreateFolderPath(c.path));
        if (c.made) {
            EXPECT_TRUE(std::filesystem::is_directory(m_unit.Host(c.made)));
        }
    }
    EXPECT_FALSE(std::filesystem::exists(m_unit.Host("NAND/x/y ")));
    EXPECT_FALSE(CreateFolderPath(nullptr));
    EXPECT_TRUE(FileExists(u"\\HDD\\file.txt"));
    EXPECT_FALSE(FileExists(u"\\HDD\\none.txt"));
}

TEST_F(FileHelpersTest, DeleteFolderCountsWhatItRemovedAndLeavesFilesInUse)
{
    Write("NAND/T/a", {1});
    Write("NAND/T/b", {2});
    Write("NAND/T/sub/c", {3});
    Write("NAND/T/sub/deeper/d", {4});
    // Not recursive: the two files only, the folders stay.
    EXPECT_EQ(2, DeleteFolder(u"\\NAND\\T", FALSE, FALSE));
    EXPECT_TRUE(std::filesystem::exists(m_unit.Host("NAND/T/sub/c")));
    // A file held open without delete sharing stays; so does its folder.
    HANDLE held = CreateFileW(u"\\NAND\\T\\sub\\c", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    EXPECT_EQ(2, DeleteFolder(u"\\NAND\\T\\", TRUE, TRUE)); // d and deeper
    EXPECT_TRUE(std::filesystem::exists(m_unit.Host("NAND/T/sub/c")));
    CloseHandle(held);
    EXPECT_EQ(3, DeleteFolder(u"\\NAND\\T", TRUE, TRUE)); // c, sub, T
    EXPECT_FALSE(std::filesystem::exists(m_unit.Host("NAND/T")));
    EXPECT_EQ(0, DeleteFolder(u"\\NAND\\T", TRUE, TRUE));
}

TEST_F(FileHelpersTest, ByteSumsOfBuffersFilesAndTrees)
{
    // Every length and alignment around the eight-byte steps, and a long run
    // of 0xFF that would overflow narrow lanes.
    const std::vector<BYTE> bytes = Pattern(5000, 9);
    for (std::size_t offset : {0u, 1u, 7u}) {
        for (std::size_t length : {0u, 1u, 7u, 8u, 9u, 63u, 2048u, 2049u, 4000u}) {
            const std::vector<BYTE> part(bytes.begin() + offset, bytes.begin() + offset + length);
            EXPECT_EQ(NaiveSum(part) + 5, updater::AddByteSum(5, part.data(), part.size())) << offset << " " << length;
        }
    }
    const std::vector<BYTE> ones(100000, 0xFF);
    EXPECT_EQ(NaiveSum(ones), updater::AddByteSum(0, ones.data(), ones.size()));

    const std::vector<BYTE> a = Pattern(70000, 1), b = Pattern(3, 2), c = Pattern(1001, 3);
    Write("NAND/S/a", a);
    Write("NAND/S/b", b);
    Write("NAND/S/sub/c", c);
    EXPECT_EQ(NaiveSum(a), SumFileBytes(u"\\NAND\\S\\a"));
    EXPECT_EQ(0u, SumFileBytes(u"\\NAND\\S\\missing"));
    EXPECT_EQ(NaiveSum(a) + NaiveSum(b), SumFolderBytes(u"\\NAND\\S", FALSE));
    EXPECT_EQ(NaiveSum(a) + NaiveSum(b) + NaiveSum(c), SumFolderBytes(u"\\NAND\\S\\", TRUE));
    EXPECT_EQ(NaiveSum(a) + NaiveSum(b) + NaiveSum(c), SumFolderBytes(u"\\NAND\\S\\*", TRUE));
    EXPECT_EQ(0u, SumFolderBytes(u"\\NAND\\None", TRUE));
}

TEST_F(FileHelpersTest, CopyFolderFilesCopiesTheFilesButNotTheFolders)
{
    Write("NAND/From/a", Pattern(10, 1));
    Write("NAND/From/b", Pattern(20, 2));
    Write("NAND/From/sub/c", Pattern(30, 3));
    Write("NAND/To/a", Pattern(5, 9));
    EXPECT_TRUE(CopyFolderFiles(u"\\NAND\\From", u"\\NAND\\To"));
    EXPECT_EQ(Pattern(10, 1), ReadHostFile(m_unit.Host("NAND/To/a")));
    EXPECT_EQ(Pattern(20, 2), ReadHostFile(m_unit.Host("NAND/To/b")));
    EXPECT_FALSE(std::filesystem::exists(m_unit.Host("NAND/To/sub")));
}

class FormatNandDiskTest : public FileHelpersTest {
protected:
    FormatNandDiskTest() : m_store(sim::CFlashStore::Install()) {}
    ~FormatNandDiskTest() override { sim::CFlashStore::Uninstall(); }
    std::shared_ptr<sim::CFlashStore> m_store;
};

TEST_F(FormatNandDiskTest, FormatsTheStoreAndMakesOnePartitionOverIt)
{
    Write("NAND/Wren/old.bin", {1, 2, 3});
    platform::DebugCapture log;
    EXPECT_EQ(kFormatDone, FormatNandDisk());
    EXPECT_TRUE(log.Contains("CreatePartition [OK]\r\n"));
    EXPECT_TRUE(log.Contains("Format took ["));
    EXPECT_TRUE(std::filesystem::is_empty(m_unit.Host("NAND")));
    const auto partitions = m_store->Partitions();
    ASSERT_EQ(1u, partitions.size());
    EXPECT_EQ(u"Part00", partitions[0].name);
    EXPECT_EQ(sim::CFlashStore::kDefaultSectors, partitions[0].sectors);
    EXPECT_TRUE(partitions[0].mounted);
    EXPECT_EQ(0, m_store->OpenHandles());
}

TEST_F(FormatNandDiskTest, EachFailingStepIsReportedAndStops)
{
    struct Case {
        DWORD code;
        int skip; // calls of that code that succeed first
        int result;
        const char* line;
    };
    const Case cases[] = {
        {IOCTL_STORE_GET_INFO, 0, kFormatNoStoreInfo, "Format NAND GetStoreInfo failed !!!\r\n"},
        {IOCTL_STORE_DISMOUNT, 0, kFormatFailed, "Format NAND DismountStore failed !!!\r\n"},
        {IOCTL_STORE_FORMAT, 0, kFormatFailed, "Format NAND FormatStore failed !!!\r\n"},
        {IOCTL_STORE_CREATE_PARTITION, 0, kFormatFailed, "Format NAND CreatePartition failed !!!\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        m_store = sim::CFlashStore::Install();
        m_store->FailNext(c.code, ERROR_IO_DEVICE);
        platform::DebugCapture log;
        EXPECT_EQ(c.result, FormatNandDisk());
        EXPECT_TRUE(log.Contains(c.line));
        EXPECT_FALSE(log.Contains("CreatePartition [OK]"));
        EXPECT_EQ(0, m_store->OpenHandles());
    }
    sim::CFlashStore::Uninstall();
    EXPECT_EQ(kFormatFailed, FormatNandDisk());
}

} // namespace
