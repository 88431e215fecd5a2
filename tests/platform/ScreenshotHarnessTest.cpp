// The screenshot harness itself: exact to one level of one channel of one
// pixel, the actual and diff images kept and named on a mismatch, the
// reference written on purpose only.
#include "platform/gfx/Screen.h"
#include "tests/common/Screenshot.h"
#include "tests/common/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using screenshot::Image;

std::vector<char> Bytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class ScreenshotHarness : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(folder.Path().empty());
        shot.suite = "Harness";
        shot.name = "Scene";
        shot.referenceRoot = fs::path(folder.Path()) / "data";
        shot.outputRoot = fs::path(folder.Path()) / "out";
        PaintScene();
    }

    // Every channel varies across the screen, so that no level change
    // can hide in a flat area.
    static void PaintScene()
    {
        platform::Screen& screen = platform::Screen::Get();
        auto lock = screen.Lock();
        for (int y = 0; y < screen.Height(); ++y)
            for (int x = 0; x < screen.Width(); ++x)
                screen.Pixels()[y * screen.Width() + x] = platform::Rgb565(
                    static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y * 2), static_cast<std::uint8_t>(x ^ y));
        screen.SetInverted({});
    }

    // Writes the screen as the reference the way a developer does on purpose.
    void Record()
    {
        screenshot::Shot update = shot;
        update.update = true;
        ASSERT_TRUE(screenshot::Matches(screenshot::CaptureScreen(), update));
    }

    TempFolder folder{"wren-shot"};
    screenshot::Shot shot;
};

TEST_F(ScreenshotHarness, UpdateModeWritesTheReferenceThatThenMatches)
{
    Record();
    ASSERT_TRUE(fs::exists(shot.Reference()));
    Image written;
    ASSERT_TRUE(screenshot::ReadPng(shot.Reference(), written));
    EXPECT_EQ(written, screenshot::CaptureScreen());

    EXPECT_TRUE(screenshot::Matches(screenshot::CaptureScreen(), shot));
    EXPECT_FALSE(fs::exists(shot.Actual()));
    EXPECT_FALSE(fs::exists(shot.Diff()));

    // Update mode over a different image rewrites the reference.
    platform::Screen::Get().Fill(platform::Rgb565(10, 200, 30));
    Record();
    ASSERT_TRUE(screenshot::ReadPng(shot.Reference(), written));
    EXPECT_EQ(written, screenshot::CaptureScreen());
}

struct PixelChange {
    const char* what;
    int x, y;
    std::uint16_t bit; // the lowest bit of one RGB565 channel: one level
};

// Names the case in test listings instead of its bytes.
void PrintTo(const PixelChange& change, std::ostream* out)
{
    *out << change.what;
}

class ScreenshotOnePixel : public ScreenshotHarness, public ::testing::WithParamInterface<PixelChange> {};

TEST_P(ScreenshotOnePixel, OneLevelOfOneChannelFailsAndKeepsTheImages)
{
    const PixelChange change = GetParam();
    Record();
    platform::Screen& screen = platform::Screen::Get();
    screen.Pixels()[change.y * screen.Width() + change.x] ^= change.bit;
    const Image changed = screenshot::CaptureScreen();

    const ::testing::AssertionResult result = screenshot::Matches(changed, shot);
    ASSERT_FALSE(result);
    const std::string message = result.message();
    const std::string box = "bounding box x " + std::to_string(change.x) + ".." + std::to_string(change.x) + ", y "
        + std::to_string(change.y) + ".." + std::to_string(change.y) + " (1x1)";
    EXPECT_NE(message.find("1 pixel differs, " + box), std::string::npos) << message;
    EXPECT_NE(message.find(shot.Actual().string()), std::string::npos) << message;
    EXPECT_NE(message.find(shot.Diff().string()), std::string::npos) << message;
    EXPECT_NE(message.find(shot.Reference().string()), std::string::npos) << message;
    EXPECT_NE(message.find("WREN_UPDATE_SCREENSHOTS=1"), std::string::npos) << message;

    // The actual image is the changed screen; the diff marks that pixel
    // alone and leaves the reference alone.
    Image actual, diff, reference;
    ASSERT_TRUE(screenshot::ReadPng(shot.Actual(), actual));
    EXPECT_EQ(actual, changed);
    ASSERT_TRUE(screenshot::ReadPng(shot.Diff(), diff));
    ASSERT_EQ(diff.width, changed.width);
    ASSERT_EQ(diff.height, changed.height);
    int marked = 0;
    for (std::uint32_t p : diff.pixels)
        marked += p == 0xFF00FF;
    EXPECT_EQ(marked, 1);
    EXPECT_EQ(diff.At(change.x, change.y), 0xFF00FFu);
    ASSERT_TRUE(screenshot::ReadPng(shot.Reference(), reference));
    EXPECT_NE(reference, changed);

    // Put back, it matches again and the images of the failure go.
    screen.Pixels()[change.y * screen.Width() + change.x] ^= change.bit;
    EXPECT_TRUE(screenshot::Matches(screenshot::CaptureScreen(), shot));
    EXPECT_FALSE(fs::exists(shot.Actual()));
    EXPECT_FALSE(fs::exists(shot.Diff()));
    EXPECT_TRUE(fs::exists(shot.Reference()));
}

INSTANTIATE_TEST_SUITE_P(, ScreenshotOnePixel,
                         ::testing::Values(PixelChange{"RedTopLeft", 0, 0, 0x0800},
                                           PixelChange{"GreenMiddle", 400, 240, 0x0020},
                                           PixelChange{"BlueBottomRight", 799, 479, 0x0001},
                                           PixelChange{"RedRightEdge", 799, 17, 0x0800}),
                         [](const auto& info) { return std::string(info.param.what); });

TEST_F(ScreenshotHarness, AnInvertedCaretIsPartOfTheShot)
{
    Record();
    platform::Screen::Get().SetInverted({RECT{10, 20, 12, 40}});
    const ::testing::AssertionResult result = screenshot::Matches(screenshot::CaptureScreen(), shot);
    platform::Screen::Get().SetInverted({});
    ASSERT_FALSE(result);
    EXPECT_NE(std::string(result.message()).find("40 pixels differ, bounding box x 10..11, y 20..39 (2x20)"),
              std::string::npos)
        << result.message();
}

TEST_F(ScreenshotHarness, MissingReferenceFailsSayingHowToCreateIt)
{
    const ::testing::AssertionResult result = screenshot::Matches(screenshot::CaptureScreen(), shot);
    ASSERT_FALSE(result);
    const std::string message = result.message();
    EXPECT_NE(message.find("no reference at " + shot.Reference().string()), std::string::npos) << message;
    EXPECT_NE(message.find("WREN_UPDATE_SCREENSHOTS=1"), std::string::npos) << message;
    EXPECT_NE(message.find(shot.Actual().string()), std::string::npos) << message;
    EXPECT_FALSE(fs::exists(shot.Reference()));
    EXPECT_TRUE(fs::exists(shot.Actual()));

    // A file that is not a PNG is no reference either.
    fs::create_directories(shot.Reference().parent_path());
    std::ofstream(shot.Reference()) << "not a picture";
    const ::testing::AssertionResult broken = screenshot::Matches(screenshot::CaptureScreen(), shot);
    ASSERT_FALSE(broken);
    EXPECT_NE(std::string(broken.message()).find("not a readable PNG"), std::string::npos) << broken.message();
}

TEST_F(ScreenshotHarness, AnotherSizeFails)
{
    Record();
    const Image small(16, 8, 0x123456);
    const ::testing::AssertionResult result = screenshot::Matches(small, shot);
    ASSERT_FALSE(result);
    const std::string message = result.message();
    EXPECT_NE(message.find("(800x480)"), std::string::npos) << message;
    EXPECT_NE(message.find("(16x8)"), std::string::npos) << message;
    EXPECT_NE(message.find("bounding box x 0..799, y 0..479"), std::string::npos) << message;
}

TEST_F(ScreenshotHarness, PngsAreEightBitRgbAndTheSameBytesEveryTime)
{
    const fs::path first = fs::path(folder.Path()) / "first.png";
    const fs::path second = fs::path(folder.Path()) / "deeper" / "second.png";
    const Image image = screenshot::CaptureScreen();
    ASSERT_TRUE(screenshot::WritePng(first, image));
    ASSERT_TRUE(screenshot::WritePng(second, image));
    const std::vector<char> bytes = Bytes(first);
    EXPECT_EQ(bytes, Bytes(second));
    ASSERT_GT(bytes.size(), 26u);
    // IHDR: bit depth 8, colour type 2 (RGB).
    EXPECT_EQ(std::string(bytes.begin() + 12, bytes.begin() + 16), "IHDR");
    EXPECT_EQ(bytes[24], 8);
    EXPECT_EQ(bytes[25], 2);
    for (const char* chunk : {"tIME", "tEXt", "zTXt", "iTXt"})
        EXPECT_EQ(std::string(bytes.begin(), bytes.end()).find(chunk), std::string::npos) << chunk;

    EXPECT_FALSE(screenshot::WritePng(fs::path(folder.Path()) / "empty.png", Image()));
    EXPECT_FALSE(fs::exists(fs::path(folder.Path()) / "empty.png"));
}

TEST(ScreenshotShot, NamesComeFromTheTestAndStayInTheirFolder)
{
    screenshot::Shot shot = screenshot::Shot::ForCurrentTest();
    EXPECT_EQ(shot.suite, "ScreenshotShot");
    EXPECT_EQ(shot.name, "NamesComeFromTheTestAndStayInTheirFolder");
    EXPECT_EQ(shot.Reference(),
              fs::path(WREN_TEST_DATA) / "ScreenshotShot" / "NamesComeFromTheTestAndStayInTheirFolder.png");

    shot = screenshot::Shot::ForCurrentTest("../../escape", "..");
    EXPECT_EQ(shot.suite, "_..");
    EXPECT_EQ(shot.name, "_.._.._escape");
    EXPECT_EQ(shot.Reference().parent_path().parent_path(), fs::path(WREN_TEST_DATA));
    EXPECT_EQ(shot.Actual().parent_path().parent_path(), shot.outputRoot);
}

TEST(ScreenshotShot, EnvironmentChoosesUpdateModeAndOutputFolder)
{
    struct Case {
        const char* update;
        bool expected;
    };
    for (const Case c : {Case{nullptr, false}, Case{"", false}, Case{"0", false}, Case{"1", true}}) {
        if (c.update)
            setenv("WREN_UPDATE_SCREENSHOTS", c.update, 1);
        else
            unsetenv("WREN_UPDATE_SCREENSHOTS");
        EXPECT_EQ(screenshot::Shot::ForCurrentTest().update, c.expected) << (c.update ? c.update : "unset");
    }
    unsetenv("WREN_UPDATE_SCREENSHOTS");

    setenv("WREN_SCREENSHOT_OUT", "/tmp/elsewhere", 1);
    EXPECT_EQ(screenshot::Shot::ForCurrentTest().Actual(),
              fs::path("/tmp/elsewhere/ScreenshotShot/EnvironmentChoosesUpdateModeAndOutputFolder.actual.png"));
    unsetenv("WREN_SCREENSHOT_OUT");
    EXPECT_NE(screenshot::Shot::ForCurrentTest().outputRoot, fs::path("/tmp/elsewhere"));
}

} // namespace
