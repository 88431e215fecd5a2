#include "updater/ZipArchive.h"

#include "platform/base/Error.h"
#include "platform/io/File.h"
#include "platform/io/Io.h"
#include "tests/common/TempUnit.h"
#include "tests/updater/PackageFixture.h"
#include "tests/updater/ZipFixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <utility>

using namespace updatertest;

namespace {

class ZipArchiveTest : public ::testing::Test {
protected:
    void MakeZip(const std::vector<ZipEntry>& entries)
    {
        std::filesystem::create_directories(m_unit.Host("HDD"));
        ASSERT_TRUE(WriteZip(m_unit.Host("HDD/test.zip"), entries));
    }
    // Every file and folder under the root but the platform's own state.
    std::set<std::string> Tree() const
    {
        std::set<std::string> tree;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(m_unit.Root())) {
            const std::string relative = std::filesystem::relative(entry.path(), m_unit.Root()).string();
            if (relative.rfind("run", 0) != 0)
                tree.insert(relative);
        }
        return tree;
    }
    FILETIME WriteTime(const WCHAR* path)
    {
        HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        FILETIME write{};
        EXPECT_TRUE(GetFileTime(file, nullptr, nullptr, &write));
        CloseHandle(file);
        return write;
    }

    TempUnit m_unit;
};

TEST_F(ZipArchiveTest, ExtractsFilesFoldersDatesAndOnlyTheReadOnlyAttribute)
{
    const std::vector<BYTE> a = Pattern(200000, 1);
    const std::vector<BYTE> b = Pattern(10, 2);
    MakeZip({
        {"a.txt", a, (44 << 9) | (1 << 5) | 1, (8 << 11) | (30 << 5) | 0, 0x27}, // archive, system, hidden, read-only
        {"sub/dir/b.bin", b, (43 << 9) | (12 << 5) | 31, (23 << 11) | (59 << 5) | 29, 0x20},
        {"empty/", {}, (43 << 9) | (1 << 5) | 1, 0, 0x10},
    });
    CZipArchive zip(u"\\HDD\\test.zip");
    ASSERT_TRUE(zip.IsOpen());
    EXPECT_EQ(std::u16string(u"\\NAND Disk"), zip.TargetFolder());
    ASSERT_TRUE(zip.SetTargetFolder(u"\\NAND\\Wren"));
    EXPECT_EQ(3u, zip.GetFileCount());
    std::vector<std::pair<DWORD, DWORD>> progress;
    zip.SetProgressCallback([&](DWORD total, DWORD done) { progress.emplace_back(total, done); });
    ASSERT_TRUE(zip.ExtractAll(FALSE));

    EXPECT_EQ(a, ReadHostFile(m_unit.Host("NAND/Wren/a.txt")));
    EXPECT_EQ(b, ReadHostFile(m_unit.Host("NAND/Wren/sub/dir/b.bin")));
    EXPECT_TRUE(std::filesystem::is_directory(m_unit.Host("NAND/Wren/empty")));
    EXPECT_EQ((std::vector<std::pair<DWORD, DWORD>>{{3, 1}, {3, 2}, {3, 3}}), progress);
    EXPECT_EQ(FILE_ATTRIBUTE_READONLY, GetFileAttributesW(u"\\NAND\\Wren\\a.txt"));
    EXPECT_EQ(FILE_ATTRIBUTE_NORMAL, GetFileAttributesW(u"\\NAND\\Wren\\sub\\dir\\b.bin"));

    struct Expected {
        const WCHAR* path;
        SYSTEMTIME local;
    };
    const Expected dates[] = {
        {u"\\NAND\\Wren\\a.txt", {2024, 1, 0, 1, 8, 30, 0, 0}},
        {u"\\NAND\\Wren\\sub\\dir\\b.bin", {2023, 12, 0, 31, 23, 59, 58, 0}},
    };
    for (const Expected& e : dates) {
        FILETIME local{}, utc{};
        ASSERT_TRUE(SystemTimeToFileTime(&e.local, &local));
        ASSERT_TRUE(LocalFileTimeToFileTime(&local, &utc));
        const FILETIME written = WriteTime(e.path);
        EXPECT_EQ(0, CompareFileTime(&utc, &written));
    }
}

TEST_F(ZipArchiveTest, DosDatesOutOfRangeAreRefusedWithError87)
{
    struct Case {
        WORD date;
        WORD time;
        bool ok;
    };
    const Case cases[] = {
        {(0 << 9) | (1 << 5) | 1, 0, true},          // 1 January 1980, midnight
        {(127 << 9) | (12 << 5) | 31, 0xBF7D, true}, // 31 December 2107, 23:59:58
        {(43 << 9) | (13 << 5) | 1, 0, false},       // month 13
        {(43 << 9) | (0 << 5) | 1, 0, false},        // month 0
        {(43 << 9) | (1 << 5) | 0, 0, false},        // day 0
        {(43 << 9) | (2 << 5) | 30, 0, false},       // 30 February
        {(43 << 9) | (1 << 5) | 1, 24 << 11, false}, // hour 24
        {(43 << 9) | (1 << 5) | 1, 60 << 5, false},  // minute 60
        {(43 << 9) | (1 << 5) | 1, 30, false},       // second 60
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.date << " " << c.time);
        FILETIME time{};
        SetLastError(0);
        EXPECT_EQ(c.ok, updater::DosDateTimeToFileTime(c.date, c.time, &time));
        EXPECT_EQ(c.ok ? 0u : ERROR_INVALID_PARAMETER, GetLastError());
    }
}

TEST_F(ZipArchiveTest, AnEntryWithABadDateKeepsItsOwnTimeAndExtractionGoesOn)
{
    MakeZip({{"bad.txt", Pattern(10, 1), (43 << 9) | (13 << 5) | 1, 0, 0x20}, {"next.txt", Pattern(5, 2)}});
    CZipArchive zip(u"\\HDD\\test.zip");
    ASSERT_TRUE(zip.SetTargetFolder(u"\\NAND"));
    ASSERT_TRUE(zip.ExtractAll(FALSE));
    FILETIME year2000{}, written = WriteTime(u"\\NAND\\bad.txt");
    const SYSTEMTIME st{2000, 1, 0, 1, 0, 0, 0, 0};
    SystemTimeToFileTime(&st, &year2000);
    EXPECT_GT(CompareFileTime(&written, &year2000), 0);
    EXPECT_TRUE(std::filesystem::exists(m_unit.Host("NAND/next.txt")));
}

// A crafted archive must not write outside the folder it is unpacked to:
// the whole archive is refused before its first entry is written.
TEST_F(ZipArchiveTest, EscapingNamesRefuseTheArchiveAndWriteNothing)
{
    const char* names[] = {
        "../WrenRecovery.exe",
        "a/../../Windows/WrenRecovery.exe",
        "/Windows/WrenRecovery.exe",
        "\\Windows\\WrenRecovery.exe",
        "C:/Windows/WrenRecovery.exe",
        "C:WrenRecovery.exe",
        "DSK1:",
        "a//b.txt",
        "a/./b.txt",
        "..",
        "a\x01.txt",
    };
    std::filesystem::create_directories(m_unit.Host("Windows"));
    std::filesystem::create_directories(m_unit.Host("NAND"));
    for (const char* name : names) {
        SCOPED_TRACE(name);
        MakeZip({{"good.txt", Pattern(10, 1)}, {name, Pattern(10, 2)}});
        std::set<std::string> before = Tree();
        before.erase("NAND/Target");
        CZipArchive zip(u"\\HDD\\test.zip");
        ASSERT_TRUE(zip.IsOpen());
        ASSERT_TRUE(zip.SetTargetFolder(u"\\NAND\\Target"));
        EXPECT_FALSE(zip.ExtractAll(FALSE));
        EXPECT_EQ(ERROR_BAD_PATHNAME, GetLastError());
        std::set<std::string> after = Tree();
        after.erase("NAND/Target");
        EXPECT_EQ(before, after);
    }
}

TEST_F(ZipArchiveTest, NamesAndPathsTooLongForTheUnitAreRefused)
{
    std::filesystem::create_directories(m_unit.Host("NAND"));
    for (std::size_t length : {250u, 300u, 600u}) {
        SCOPED_TRACE(length);
        MakeZip({{std::string(length, 'n'), Pattern(10, 1)}});
        CZipArchive zip(u"\\HDD\\test.zip");
        ASSERT_TRUE(zip.SetTargetFolder(u"\\NAND\\Target"));
        EXPECT_FALSE(zip.ExtractAll(FALSE));
        EXPECT_TRUE(std::filesystem::is_empty(m_unit.Host("NAND/Target")));
    }
}

TEST_F(ZipArchiveTest, AFolderThatLinksOutOfTheTargetIsRefused)
{
    std::filesystem::create_directories(m_unit.Host("NAND/Target"));
    std::filesystem::create_directories(m_unit.Host("Windows"));
    std::filesystem::create_directory_symlink(m_unit.Host("Windows"), m_unit.Host("NAND/Target/link"));
    MakeZip({{"link/WrenRecovery.exe", Pattern(10, 1)}});
    CZipArchive zip(u"\\HDD\\test.zip");
    ASSERT_TRUE(zip.SetTargetFolder(u"\\NAND\\Target"));
    EXPECT_FALSE(zip.ExtractAll(FALSE));
    EXPECT_FALSE(std::filesystem::exists(m_unit.Host("Windows/WrenRecovery.exe")));
}

TEST_F(ZipArchiveTest, DataThatFailsItsCrcFailsTheEntryAndLeavesNoFile)
{
    const std::vector<BYTE> data = Pattern(1000, 3);
    MakeZip({{"first.txt", Pattern(10, 1)}, {"stored.bin", data, (43 << 9) | (1 << 5) | 1, 0, 0x20, true}});
    std::vector<BYTE> bytes = ReadHostFile(m_unit.Host("HDD/test.zip"));
    // The stored data follows its local header; flip one byte of it.
    auto at = std::search(bytes.begin(), bytes.end(), data.begin(), data.begin() + 16);
    ASSERT_NE(bytes.end(), at);
    at[500] ^= 0xFF;
    WriteHostFile(m_unit.Host("HDD/test.zip"), bytes);
    CZipArchive zip(u"\\HDD\\test.zip");
    ASSERT_TRUE(zip.SetTargetFolder(u"\\NAND"));
    EXPECT_FALSE(zip.ExtractAll(FALSE));
    EXPECT_TRUE(std::filesystem::exists(m_unit.Host("NAND/first.txt")));
    EXPECT_FALSE(std::filesystem::exists(m_unit.Host("NAND/stored.bin")));
}

TEST_F(ZipArchiveTest, SelectionByExtensionAndDroppedPaths)
{
    MakeZip({{"a.txt", Pattern(1, 1)},
             {"x/b.EXE", Pattern(2, 2)},
             {"c.exe.bak", Pattern(3, 3)},
             {"y/d.exe", Pattern(4, 4)}});
    CZipArchive zip(u"\\HDD\\test.zip");
    ASSERT_TRUE(zip.SetTargetFolder(u"\\NAND\\Flat"));
    std::vector<std::string> found;
    ZipEntryInfo info;
    for (BOOL ok = zip.GoToFirstFile(u"exe"); ok; ok = zip.GoToNextFile(u"exe")) {
        ASSERT_TRUE(zip.GetCurrentFileInfo(&info));
        found.push_back(info.name);
        EXPECT_TRUE(zip.ExtractCurrentFile(nullptr, TRUE));
    }
    EXPECT_EQ((std::vector<std::string>{"x\\b.EXE", "y\\d.exe"}), found);
    EXPECT_EQ(Pattern(2, 2), ReadHostFile(m_unit.Host("NAND/Flat/b.EXE")));
    EXPECT_EQ(Pattern(4, 4), ReadHostFile(m_unit.Host("NAND/Flat/d.exe")));
    EXPECT_FALSE(std::filesystem::exists(m_unit.Host("NAND/Flat/x")));
}

TEST_F(ZipArchiveTest, OpenAndTargetFailures)
{
    CZipArchive zip;
    EXPECT_FALSE(zip.Open(u""));
    EXPECT_FALSE(zip.Open(u"\\HDD\\missing.zip"));
    EXPECT_FALSE(zip.ExtractAll(FALSE));
    std::filesystem::create_directories(m_unit.Host("HDD"));
    WriteHostFile(m_unit.Host("HDD/not.zip"), Pattern(500, 1));
    EXPECT_FALSE(zip.Open(u"\\HDD\\not.zip"));
    MakeZip({{"a.txt", Pattern(1, 1)}});
    ASSERT_TRUE(zip.Open(u"\\HDD\\test.zip"));
    EXPECT_FALSE(zip.SetTargetFolder(u"\\HDD\\test.zip"));
    EXPECT_TRUE(zip.Close());
    EXPECT_FALSE(zip.Close());
}

} // namespace
