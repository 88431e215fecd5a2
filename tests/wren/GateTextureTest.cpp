// Image textures: the load guard, the background reload by file time, and
// uploads refused where no GL context is current.
#include "Source/gate/GateTexture.h"
#include "tests/common/TempUnit.h"
#include "tests/wren/GateFixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

using namespace gate;

namespace {

// A 24-bit BMP of one colour.
void WriteBmp(const std::string& host, int width, int height, std::uint8_t shade)
{
    const int stride = (width * 3 + 3) / 4 * 4;
    std::vector<std::uint8_t> b(54 + static_cast<std::size_t>(stride) * height, shade);
    auto put32 = [&b](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    std::fill(b.begin(), b.begin() + 54, 0);
    b[0] = 'B';
    b[1] = 'M';
    put32(2, static_cast<std::uint32_t>(b.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<std::uint32_t>(width));
    put32(22, static_cast<std::uint32_t>(height));
    b[26] = 1;
    b[28] = 24;
    std::filesystem::create_directories(std::filesystem::path(host).parent_path());
    std::ofstream(host, std::ios::binary)
        .write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

class GateTextureLoad : public gatetest::GateGlTest {
protected:
    TempUnit m_unit;
};

} // namespace

TEST_F(GateTextureLoad, TheSameUnitPathIsNotLoadedTwice)
{
    WriteBmp(m_unit.Host("NAND/Wren/Images/3Dgate/type07.bmp"), 8, 4, 0x40);
    GateTexture texture;
    ASSERT_TRUE(texture.AddTexture("\\NAND\\Wren\\Images\\3Dgate\\type07.bmp", TRUE));
    const GateAtlasEntry* first = texture.Entry();
    ASSERT_NE(nullptr, first);
    EXPECT_FALSE(texture.AddTexture("\\NAND\\Wren\\Images\\3Dgate\\type07.bmp", TRUE));
    EXPECT_EQ(first, texture.Entry());

    // The guard compares the resolved path with the given one: a relative
    // path is decoded and placed again.
    GateTexture relative;
    ASSERT_TRUE(relative.AddTexture("Images\\3Dgate\\type07.bmp", FALSE));
    const GateAtlasEntry* placed = relative.Entry();
    ASSERT_TRUE(relative.AddTexture("Images\\3Dgate\\type07.bmp", FALSE));
    EXPECT_NE(placed, relative.Entry());
    EXPECT_EQ("\\NAND\\Wren\\Images\\3Dgate\\type07.bmp", relative.Path());
}

TEST_F(GateTextureLoad, RefusedFilesLeaveNoRegion)
{
    WriteBmp(m_unit.Host("NAND/Wren/Images/a.gif"), 2, 2, 1);
    const char* refused[] = {"Images\\a.gif", "Images\\noextension", "Images\\missing.png"};
    for (const char* path : refused) {
        GateTexture texture;
        EXPECT_FALSE(texture.AddTexture(path, FALSE)) << path;
        EXPECT_EQ(nullptr, texture.Entry()) << path;
    }
}

TEST_F(GateTextureLoad, NoUploadWithoutACurrentContext)
{
    WriteBmp(m_unit.Host("NAND/Wren/Images/x.bmp"), 2, 2, 1);
    GateTexture texture;
    BOOL loaded = TRUE;
    std::thread([&] { loaded = texture.AddTexture("Images\\x.bmp", FALSE); }).join();
    EXPECT_FALSE(loaded);
    EXPECT_EQ(nullptr, texture.Entry());
}

TEST_F(GateTextureLoad, TheUserBackgroundReloadsWhenItsFileChanges)
{
    const std::string host = m_unit.Host("Storage Card/USER_BG/User_BG.bmp");
    WriteBmp(host, 16, 8, 0x10);
    const std::string path = "\\Storage Card\\USER_BG\\User_BG.bmp";
    GateBackgroundTexture background;
    ASSERT_TRUE(background.ReloadBackground(path));
    ASSERT_NE(nullptr, background.Entry());
    // The first look at the file's time takes it as a change; after that
    // only a new time is one.
    EXPECT_TRUE(background.ReloadBackground(path));
    EXPECT_FALSE(background.ReloadBackground(path));

    WriteBmp(host, 16, 8, 0x20);
    std::filesystem::last_write_time(host, std::filesystem::last_write_time(host) + std::chrono::seconds(5));
    ASSERT_TRUE(background.ReloadBackground(path));
    ASSERT_NE(nullptr, background.Entry());
    EXPECT_EQ(1u, background.Atlas().Pages().size());

    std::filesystem::remove(host);
    EXPECT_FALSE(background.BackgroundChanged(path));
    EXPECT_FALSE(background.ReloadBackground(""));
}

TEST_F(GateTextureLoad, ABackgroundOtherThanTheUsersReloadsOnlyForAnotherPath)
{
    WriteBmp(m_unit.Host("NAND/Wren/Images/3Dgate/type07.bmp"), 8, 8, 0x30);
    WriteBmp(m_unit.Host("NAND/Wren/Images/3Dgate/type08.bmp"), 8, 8, 0x50);
    GateBackgroundTexture background;
    ASSERT_TRUE(background.ReloadBackground("\\NAND\\Wren\\Images\\3Dgate\\type07.bmp"));
    EXPECT_FALSE(background.ReloadBackground("\\NAND\\Wren\\Images\\3Dgate\\type07.bmp"));
    EXPECT_TRUE(background.ReloadBackground("\\NAND\\Wren\\Images\\3Dgate\\type08.bmp"));
    EXPECT_NE(nullptr, background.Entry());
}
