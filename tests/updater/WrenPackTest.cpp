#include "updater/FileHelpers.h"
#include "updater/UpdateManager.h"

#include "tests/common/TempUnit.h"
#include "tests/updater/PackageFixture.h"
#include "tests/updater/ZipFixture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

using namespace updatertest;

namespace {

int RunWrenPack(const std::string& arguments)
{
    return std::system((std::string(WRENPACK_EXE) + " " + arguments + " > /dev/null 2>&1").c_str());
}

// A package built by wrenpack is one the updater takes apart again: the
// parts it found, the versions and the byte sum of the application.
TEST(WrenPack, BuildsPackagesTheUpdaterAccepts)
{
    TempUnit unit;
    const std::string parts = unit.Host("HDD/parts");
    std::filesystem::create_directories(parts);
    const std::vector<BYTE> a = Pattern(3000, 1), b = Pattern(70, 2), boot = Pattern(1 << 20, 3);
    ASSERT_TRUE(WriteZip(parts + "/_PLAYER_.ZIP", {{"Wren/a.bin", a}, {"b.txt", b}}));
    WriteHostFile(parts + "/_BOOT_.NB0", boot);
    WriteHostFile(parts + "/_DVDMICOM_.BIN", Pattern(5, 4));

    ASSERT_EQ(0,
              RunWrenPack("--firmware-version 3.2.1 --player-version 1.0.9 --format " + parts + " "
                          + unit.Host("HDD/WrenUpdate.UPD")));
    EXPECT_EQ(0, RunWrenPack("--info " + unit.Host("HDD/WrenUpdate.UPD")));

    CUpdateManager manager;
    ASSERT_TRUE(manager.PrepareExtract(nullptr, TRUE));
    EXPECT_EQ(0x030201u, manager.GetFirmwareVersion());
    EXPECT_EQ(0x010009u, manager.GetPlayerVersion());
    EXPECT_EQ(1u, manager.GetFormatFlag());
    EXPECT_EQ(1, manager.HasApplication());
    EXPECT_EQ(1, manager.HasBootLoader());
    EXPECT_EQ(1, manager.HasDVDMicom());
    EXPECT_EQ(0, manager.HasOSImage());
    EXPECT_EQ(updater::AddByteSum(updater::AddByteSum(0, a.data(), a.size()), b.data(), b.size()),
              manager.TrailerWord(updater::kWordPlayerByteSum));
    EXPECT_EQ(ReadHostFile(parts + "/_PLAYER_.ZIP"), ReadHostFile(unit.Host("_MAKE_TEMP_/_PLAYER_.ZIP")));
    EXPECT_EQ(boot, ReadHostFile(unit.Host("_MAKE_TEMP_/_BOOT_.NB0")));

    // Bad requests are refused without a package.
    EXPECT_NE(0, RunWrenPack("--firmware-version 1.2 " + parts + " " + unit.Host("HDD/x.UPD")));
    EXPECT_NE(0, RunWrenPack(unit.Host("HDD/none") + " " + unit.Host("HDD/x.UPD")));
    EXPECT_EQ(0, RunWrenPack("--help"));
}

} // namespace
