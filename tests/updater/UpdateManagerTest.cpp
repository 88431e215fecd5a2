#include "updater/UpdateManager.h"

#include "platform/base/Debug.h"
#include "platform/base/Error.h"
#include "platform/base/Text.h"
#include "platform/io/File.h"
#include "platform/io/Io.h"
#include "tests/common/TempUnit.h"
#include "tests/updater/PackageFixture.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace updater;
using namespace updatertest;

namespace {

class UpdateManagerTest : public ::testing::Test {
protected:
    std::filesystem::path Host(const std::string& relative) const { return m_unit.Host(relative); }
    void WritePackage(const std::vector<BYTE>& bytes) { WriteHostFile(Host("HDD/WrenUpdate.UPD"), bytes); }
    std::filesystem::path Temp(const WCHAR* name) const { return Host("_MAKE_TEMP_") / platform::ToUtf8(name); }
    bool TempIsEmpty() const
    {
        std::error_code error;
        return std::filesystem::is_empty(Host("_MAKE_TEMP_"), error) || error;
    }

    TempUnit m_unit;
    CUpdateManager m_manager;
};

TEST_F(UpdateManagerTest, AccessorsAnswerMinusOneBeforeAnyTrailer)
{
    EXPECT_FALSE(m_manager.HasTrailer());
    EXPECT_EQ(-1, m_manager.HasApplication());
    EXPECT_EQ(-1, m_manager.HasLogo(1));
    EXPECT_EQ(0u, m_manager.GetFirmwareVersion());
}

TEST_F(UpdateManagerTest, MissingPackageFailsWithError2)
{
    EXPECT_FALSE(m_manager.PrepareExtract(nullptr, TRUE));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetLastError());
}

// Trailers that are refused before any part is copied.
struct RefusedCase {
    const char* name;
    std::vector<BYTE> (*make)();
};

std::vector<BYTE> OnlyTrailer()
{
    return Package().Bytes();
}

std::vector<BYTE> BadCrc()
{
    Package package;
    package.AddPart(0, Pattern(10, 1));
    std::vector<BYTE> bytes = package.Bytes();
    bytes[bytes.size() - 100 + 4 * kWordCrc] ^= 1;
    return bytes;
}

std::vector<BYTE> BadSignatureGoodCrc()
{
    Package package;
    package.AddPart(0, Pattern(10, 1));
    package.trailer.words[kWordSignature] = 0x12345678;
    package.trailer.words[kWordCrc] = package.trailer.ComputeCrc();
    return package.Bytes(false);
}

std::vector<BYTE> Shorter()
{
    return std::vector<BYTE>(50, 0);
}

TEST_F(UpdateManagerTest, RefusedTrailersGiveError13AndWriteNothing)
{
    const RefusedCase cases[] = {
        {"exactly 100 bytes", OnlyTrailer},
        {"CRC wrong", BadCrc},
        {"signature wrong, CRC right", BadSignatureGoodCrc},
        {"shorter than a trailer", Shorter},
    };
    for (const RefusedCase& c : cases) {
        SCOPED_TRACE(c.name);
        WritePackage(c.make());
        platform::DebugCapture log;
        EXPECT_FALSE(m_manager.PrepareExtract(nullptr, TRUE));
        EXPECT_EQ(ERROR_INVALID_DATA, GetLastError());
        EXPECT_TRUE(TempIsEmpty());
    }
    WritePackage(BadCrc());
    platform::DebugCapture log;
    m_manager.PrepareExtract(nullptr, TRUE);
    EXPECT_TRUE(log.Contains("Checksum Failed or Invalid Signature...\r\n"));
}

TEST_F(UpdateManagerTest, OneByteBodyWithValidTrailerIsAccepted)
{
    Package package;
    package.body = {0x42};
    package.trailer.words[kWordFirmwareVersion] = PackVersion(1, 2, 3);
    WritePackage(package.Bytes());
    EXPECT_TRUE(m_manager.PrepareExtract(nullptr, TRUE));
    EXPECT_EQ(ERROR_SUCCESS, GetLastError());
    EXPECT_EQ(0x010203u, m_manager.GetFirmwareVersion());
    EXPECT_EQ(0, m_manager.HasApplication());
}

TEST_F(UpdateManagerTest, EveryPresentPartIsCopiedWithItsBytes)
{
    Package package;
    std::vector<std::vector<BYTE>> parts;
    for (std::size_t i = 0; i < kPackagePartCount; ++i) {
        parts.push_back(Pattern(1000 + 37 * i, static_cast<unsigned>(i)));
        package.AddPart(i, parts.back());
    }
    WritePackage(package.Bytes());
    platform::DebugCapture log;
    ASSERT_TRUE(m_manager.PrepareExtract(nullptr, TRUE));
    for (std::size_t i = 0; i < kPackagePartCount; ++i)
        EXPECT_EQ(parts[i], ReadHostFile(Temp(kPackageParts[i].fileName))) << i;
    EXPECT_EQ(1, m_manager.HasApplication());
    EXPECT_EQ(1, m_manager.HasBootLoader());
    EXPECT_EQ(1, m_manager.HasOSImage());
    EXPECT_EQ(1, m_manager.HasLogo(0));
    EXPECT_EQ(1, m_manager.HasLogo(1));
    EXPECT_EQ(1, m_manager.HasDMB());
    EXPECT_EQ(1, m_manager.HasBluetooth());
    EXPECT_EQ(1, m_manager.HasDVDMicom());
    EXPECT_EQ(1, m_manager.HasMicom());
    EXPECT_TRUE(log.Contains("PrepareExtract(\\_MAKE_TEMP_\\_PLAYER_.ZIP) -- before\r\n"));
    EXPECT_TRUE(log.Contains("CUpdateManager::CopyToFolder(\\_MAKE_TEMP_\\_MICOM_.REC) [OK]\r\n"));
    EXPECT_TRUE(log.Contains("CUpdateManager::PrepareExtract(OK)"));
}

TEST_F(UpdateManagerTest, PartsOfWholeMebibytesAreCopiedWhole)
{
    for (std::size_t mib : {1u, 2u}) {
        SCOPED_TRACE(mib);
        Package package;
        const std::vector<BYTE> player = Pattern(mib * kCopyChunk, 7);
        const std::vector<BYTE> boot = Pattern(kCopyChunk + 1, 8);
        package.AddPart(0, player);
        package.AddPart(1, boot);
        WritePackage(package.Bytes());
        ASSERT_TRUE(m_manager.PrepareExtract(nullptr, TRUE));
        EXPECT_EQ(player, ReadHostFile(Temp(u"_PLAYER_.ZIP")));
        EXPECT_EQ(boot, ReadHostFile(Temp(u"_BOOT_.NB0")));
    }
}

// A part that reaches past the body (into the trailer or past the end)
// fails the whole preparation before the first file is written, even when
// the parts before it are sound.
TEST_F(UpdateManagerTest, EachPartOutOfRangeRefusesThePackageBeforeAnyCopy)
{
    for (std::size_t bad = 0; bad < kPackagePartCount; ++bad) {
        for (int way = 0; way < 3; ++way) {
            SCOPED_TRACE(testing::Message() << "part " << bad << " way " << way);
            Package package;
            for (std::size_t i = 0; i < kPackagePartCount; ++i)
                package.AddPart(i, Pattern(64, static_cast<unsigned>(i)));
            const PackagePart& part = kPackageParts[bad];
            const DWORD body = static_cast<DWORD>(package.body.size());
            if (way == 0) // into the trailer
                package.trailer.words[part.sizeWord] += 1 + static_cast<DWORD>(body - 64 * (bad + 1));
            else if (way == 1) // far past the end
                package.trailer.words[part.offsetWord] = 0x7FFFFFF0;
            else // offset + size wraps at 32 bits
                package.trailer.words[part.offsetWord] = 0xFFFFFFF0, package.trailer.words[part.sizeWord] = 0x20;
            WritePackage(package.Bytes());
            std::filesystem::remove_all(Host("_MAKE_TEMP_"));
            EXPECT_FALSE(m_manager.PrepareExtract(nullptr, TRUE));
            EXPECT_EQ(ERROR_INVALID_DATA, GetLastError());
            EXPECT_TRUE(TempIsEmpty());
        }
    }
}

TEST_F(UpdateManagerTest, CopyToFolderFailsOnAShortReadAndLeavesNoFile)
{
    WriteHostFile(Host("HDD/part.bin"), Pattern(3000, 1));
    CreateDirectoryW(kMakeTempFolder, nullptr);
    HANDLE package = CreateFileW(u"\\HDD\\part.bin", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, package);
    EXPECT_FALSE(m_manager.CopyToFolder(package, u"\\_MAKE_TEMP_\\x.bin", 1000, 2001));
    EXPECT_EQ(ERROR_READ_FAULT, GetLastError());
    EXPECT_FALSE(std::filesystem::exists(Host("_MAKE_TEMP_/x.bin")));

    EXPECT_TRUE(m_manager.CopyToFolder(package, u"\\_MAKE_TEMP_\\x.bin", 1000, 2000));
    EXPECT_EQ(ERROR_SUCCESS, GetLastError());
    const std::vector<BYTE> all = Pattern(3000, 1);
    EXPECT_EQ(std::vector<BYTE>(all.begin() + 1000, all.end()), ReadHostFile(Host("_MAKE_TEMP_/x.bin")));

    EXPECT_FALSE(m_manager.CopyToFolder(package, u"\\NoSuchFolder\\x.bin", 0, 10));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetLastError());
    CloseHandle(package);
}

} // namespace
