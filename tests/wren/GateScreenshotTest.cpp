// The 3D menu's drawing read back into the screen: one textured,
// alpha-blended quad; every image of the menu's table loaded into the atlas
// by the loader thread (the pages shown side by side); and the menu at rest
// drawn from those images.
#include "Source/gate/GateImageTable.h"
#include "tests/common/Screenshot.h"
#include "tests/common/TempUnit.h"
#include "tests/wren/GateFixture.h"

#include "platform/gfx/Screen.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

using namespace gate;

namespace {

class GateScreenshot : public gatetest::GateGlTest {
protected:
    void SetUp() override
    {
        gatetest::GateGlTest::SetUp();
        // Pages as a fresh program has them, whatever ran before here.
        GateTexture::ResetAtlases();
        // The windows let the menu's layer show everywhere.
        platform::Screen::Get().Fill(platform::kColorKey565);
        auto lock = GateGL::Lock();
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
    }

    std::string Images(const std::string& relative) const { return m_unit.Host("NAND/Wren/Images/" + relative); }

    TempUnit m_unit;
};

// A 24-bit BMP checkerboard of two colours, size x size cells of one pixel.
void WriteChecker(const std::string& host, int size)
{
    const int stride = (size * 3 + 3) / 4 * 4;
    std::vector<std::uint8_t> b(54 + static_cast<std::size_t>(stride) * size, 0);
    auto put32 = [&b](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    b[0] = 'B';
    b[1] = 'M';
    put32(2, static_cast<std::uint32_t>(b.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<std::uint32_t>(size));
    put32(22, static_cast<std::uint32_t>(size));
    b[26] = 1;
    b[28] = 24;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            std::uint8_t* p = b.data() + 54 + static_cast<std::size_t>(y) * stride + x * 3;
            const bool dark = (x + y) % 2 == 0;
            p[0] = dark ? 0x50 : 0xC0; // blue
            p[1] = dark ? 0x40 : 0xB0;
            p[2] = dark ? 0x30 : 0xA0;
        }
    std::ofstream(host, std::ios::binary)
        .write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

// Every texture of the menu's elements.
std::vector<GateTexture*> Textures(GateSceneImages& im)
{
    std::vector<GateTexture*> all{&im.background.Background(), &im.title.Image(), &im.aura.Image(), &im.shadow.Image(),
                                  &im.volumeBackground.Image()};
    for (auto& button : im.mainButtons)
        for (GateImage& frame : button)
            all.push_back(&frame.Image());
    auto two = [&all](GateButton& b) {
        all.push_back(&b.Image());
        all.push_back(&b.SecondImage());
    };
    for (GateButton& label : im.labels)
        two(label);
    for (GateButton* b : {&im.titleAvOn, &im.titleAvOff, &im.titleDisplayOff, &im.titleDual, &im.titleClose,
                          &im.volumeMinus, &im.volumePlus, &im.popupOk})
        two(*b);
    for (GateAnimButton& sub : im.subButtons)
        two(sub);
    for (GateImage& bar : im.volumeBars)
        all.push_back(&bar.Image());
    for (GateImage& digit : im.digits)
        all.push_back(&digit.Image());
    for (GateImage& popup : im.popups)
        all.push_back(&popup.Image());
    return all;
}

// Draws a whole texture page unblended into a square on the screen.
void DrawPage(GLuint page, float x, float y, float side)
{
    const float vertices[] = {x, y, 0, x + side, y, 0, x, y + side, 0, x + side, y + side, 0};
    // Page rows run bottom up like the images in them: the top of the square
    // shows the page's last row.
    const float coords[] = {0, 1, 1, 1, 0, 0, 1, 0};
    glDisable(GL_BLEND);
    glColor4f(1, 1, 1, 1);
    glBindTexture(GL_TEXTURE_2D, page);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, vertices);
    glTexCoordPointer(2, GL_FLOAT, 0, coords);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    glBindTexture(GL_TEXTURE_2D, 0);
}

} // namespace

TEST_F(GateScreenshot, TexturedAlphaBlendedQuad)
{
    std::filesystem::create_directories(Images(""));
    WriteChecker(Images("checker.bmp"), 8);
    // Four coloured quarters (red top left, green top right, blue bottom
    // left, white bottom right) fading in from left to right, with an
    // opaque black mark in the top-left corner.
    const int side = 64;
    std::vector<std::uint8_t> rgba(static_cast<std::size_t>(side) * side * 4);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            std::uint8_t* p = rgba.data() + (static_cast<std::size_t>(y) * side + x) * 4;
            const bool right = x >= side / 2, bottom = y >= side / 2;
            p[0] = (!right && !bottom) || (right && bottom) ? 255 : 0;
            p[1] = (right && !bottom) || (right && bottom) ? 255 : 0;
            p[2] = (!right && bottom) || (right && bottom) ? 255 : 0;
            p[3] = static_cast<std::uint8_t>(255 * x / (side - 1));
            if (x >= 4 && x < 12 && y >= 4 && y < 12)
                p[0] = p[1] = p[2] = 0, p[3] = 255;
        }
    ASSERT_TRUE(gatetest::WriteRgbaPng(Images("quad.png"), side, side, rgba));

    GateImage checker;
    checker.SetOpaque();
    ASSERT_TRUE(checker.Load("Images\\checker.bmp", 0, 0, 800, 480, 500));
    GateImage quad;
    ASSERT_TRUE(quad.Load("Images\\quad.png", 272, 112, 256, 256, 10));
    ASSERT_TRUE(quad.Blending());
    {
        auto lock = GateGL::Lock();
        checker.Draw();
        quad.Draw();
    }
    ASSERT_TRUE(GateEgl::Swap());
    EXPECT_TRUE(screenshot::ScreenMatchesReference());
}

TEST_F(GateScreenshot, EveryMenuImageInTheAtlas)
{
    std::filesystem::create_directories(Images(""));
    for (const char* folder : {"3Dgate", "Basic", "Bluetooth"})
        std::filesystem::copy(std::string(WREN_ASSETS_UNIT) + "/NAND/Wren/Images/" + folder, Images(folder),
                              std::filesystem::copy_options::recursive);
    GateSceneImages images;
    GateImageTable table(images);
    GateLoaderThread loader(table);
    ASSERT_TRUE(loader.Start(7));
    for (int group = 1; group <= GateLoaderThread::kGroupCount; ++group)
        ASSERT_TRUE(loader.WaitUntilResFinished(group, INFINITE)) << group;
    ASSERT_TRUE(loader.Stop(INFINITE));
    for (GateTexture* texture : Textures(images))
        EXPECT_NE(nullptr, texture->Entry()) << texture->Path();

    std::vector<GLuint> pages;
    for (int depth : {32, 24, 16})
        for (GLuint page : GateTexture::Atlas(depth)->Pages())
            pages.push_back(page);
    for (GLuint page : images.background.Background().Atlas().Pages())
        pages.push_back(page);
    ASSERT_LE(pages.size(), 8u);
    {
        auto lock = GateGL::Lock();
        for (std::size_t i = 0; i < pages.size(); ++i)
            DrawPage(pages[i], 4.0f + 199.0f * static_cast<float>(i % 4), 40.0f + 220.0f * static_cast<float>(i / 4),
                     195.0f);
    }
    ASSERT_TRUE(GateEgl::Swap());
    EXPECT_TRUE(screenshot::ScreenMatchesReference());

    // The menu at rest over the default background, the multimedia label
    // selected and its sub-buttons shown; then the same row halfway through
    // its show animation.
    auto drawMenu = [&images](bool animating) {
        auto lock = GateGL::Lock();
        glClear(GL_COLOR_BUFFER_BIT);
        images.background.Draw();
        images.title.Draw();
        for (auto& button : images.mainButtons)
            button[0].Draw();
        images.labels[static_cast<std::size_t>(GateMainButton::Multimedia)].SetSelected(true);
        for (GateButton& label : images.labels)
            label.Draw();
        for (GateButton* b : {&images.titleAvOn, &images.titleDisplayOff, &images.titleDual, &images.titleClose})
            b->Draw();
        for (int id = 14; id <= 17; ++id) {
            if (animating) {
                images.SubButton(id).SetState(GateAnimRequest::Show);
                for (int frame = 0; frame < 4; ++frame)
                    images.SubButton(id).Draw(); // frames 0-3 drawn, cleared below
                glClear(GL_COLOR_BUFFER_BIT);
            } else {
                images.SubButton(id).SetState(GateAnimRequest::SetShown);
            }
        }
        if (animating) {
            images.background.Draw();
            images.title.Draw();
            for (auto& button : images.mainButtons)
                button[0].Draw();
            for (GateButton& label : images.labels)
                label.Draw();
            for (GateButton* b : {&images.titleAvOn, &images.titleDisplayOff, &images.titleDual, &images.titleClose})
                b->Draw();
        }
        for (int id = 14; id <= 17; ++id)
            images.SubButton(id).Draw();
    };
    drawMenu(false);
    ASSERT_TRUE(GateEgl::Swap());
    EXPECT_TRUE(screenshot::ScreenMatchesReference("MenuAtRest"));
    drawMenu(true);
    ASSERT_TRUE(GateEgl::Swap());
    EXPECT_TRUE(screenshot::ScreenMatchesReference("SubButtonsShowing"));
}

TEST(GateImageTable, EntriesUseTheUnitsPictureFiles)
{
    GateSceneImages images;
    GateImageTable table(images);
    const auto& entries = table.Entries();
    ASSERT_EQ(145u, entries.size());
    int perGroup[GateLoaderThread::kGroupCount] = {};
    int lastGroup = 0;
    std::vector<std::string> files = GateImageTable::AlwaysShownFiles();
    for (const auto& entry : entries) {
        ASSERT_GE(entry.group, lastGroup); // group by group
        lastGroup = entry.group;
        ++perGroup[entry.group - 1];
        files.insert(files.end(), entry.files.begin(), entry.files.end());
    }
    EXPECT_EQ((std::vector<int>{20, 28, 28, 30, 30, 8, 1}), std::vector<int>(perGroup, perGroup + 7));
    // 100 frames, 36 sub-button images, the volume popup's 41 and the
    // popups' 4; 28 always shown.
    EXPECT_EQ(181u + 28u, files.size());
    // Every name exactly as the unit's files carry it (a case-sensitive file
    // system finds nothing else).
    for (std::string file : files) {
        for (char& c : file)
            if (c == '\\')
                c = '/';
        EXPECT_TRUE(std::filesystem::is_regular_file(std::string(WREN_ASSETS_UNIT) + "/NAND/Wren/" + file)) << file;
    }
    EXPECT_EQ("Images\\3Dgate\\subButton\\main_sub_dab_touuch.png", entries[47].files[0]);
}

TEST(GateImageTable, TheBackgroundFallsBackToTheDefault)
{
    TempUnit unit;
    GateSceneImages images;
    EXPECT_EQ(GateImageTable::kDefaultBackground, GateImageTable(images).BackgroundPath());
    EXPECT_EQ(GateImageTable::kDefaultBackground,
              GateImageTable(images, [] { return std::u16string(); }).BackgroundPath());
    EXPECT_EQ(GateImageTable::kDefaultBackground, GateImageTable(images, [] {
                                                      return std::u16string(u"\\Storage Card\\USER_BG\\User_BG.bmp");
                                                  }).BackgroundPath());
    std::filesystem::create_directories(unit.Host("Storage Card/USER_BG"));
    std::ofstream(unit.Host("Storage Card/USER_BG/User_BG.bmp")) << "x";
    EXPECT_EQ("\\Storage Card\\USER_BG\\User_BG.bmp",
              GateImageTable(images, [] {
                  return std::u16string(u"\\Storage Card\\USER_BG\\User_BG.bmp");
              }).BackgroundPath());
}
