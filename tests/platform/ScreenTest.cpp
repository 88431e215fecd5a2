#include "platform/gfx/Screen.h"

#include "tests/common/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
using platform::InputEvent;
using platform::Screen;

namespace {

// The names in a folder.
std::vector<std::string> NamesIn(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    return names;
}

// Records what reaches the backend and hands out queued input.
struct FakeBackend : platform::ScreenBackend {
    std::vector<RECT>* presented;
    std::vector<InputEvent> input;
    explicit FakeBackend(std::vector<RECT>* log) : presented(log) {}
    void Present(const std::uint16_t*, int width, int height, const RECT& dirty) override
    {
        EXPECT_EQ(width, 800);
        EXPECT_EQ(height, 480);
        presented->push_back(dirty);
    }
    bool PollInput(InputEvent& event) override
    {
        if (input.empty())
            return false;
        event = input.front();
        input.erase(input.begin());
        return true;
    }
};

} // namespace

TEST(ScreenColour, KnownValues)
{
    struct Case {
        std::uint16_t rgb565;
        std::uint32_t rgb888;
    };
    const Case cases[] = {
        {0x0000, 0x000000}, {0xFFFF, 0xFFFFFF}, {0xF800, 0xFF0000}, {0x07E0, 0x00FF00},
        {0x001F, 0x0000FF}, {0xF81F, 0xFF00FF}, {0x8410, 0x848284}, {0x0841, 0x080808},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(platform::Rgb565ToRgb888(c.rgb565), c.rgb888) << std::hex << c.rgb565;
        EXPECT_EQ(platform::Rgb565(c.rgb888 >> 16, (c.rgb888 >> 8) & 0xFF, c.rgb888 & 0xFF), c.rgb565);
    }
}

TEST(ScreenColour, EveryLevelRoundTrips)
{
    for (std::uint32_t c = 0; c <= 0xFFFF; ++c) {
        const std::uint32_t rgb = platform::Rgb565ToRgb888(static_cast<std::uint16_t>(c));
        ASSERT_EQ(platform::Rgb565(rgb >> 16, (rgb >> 8) & 0xFF, rgb & 0xFF), c);
    }
}

TEST(Screen, SavedPngReadsBackPixelForPixel)
{
    Screen& screen = Screen::Get();
    ASSERT_EQ(screen.Width(), 800);
    ASSERT_EQ(screen.Height(), 480);
    {
        auto lock = screen.Lock();
        std::uint16_t* pixels = screen.Pixels();
        for (int y = 0; y < screen.Height(); ++y)
            for (int x = 0; x < screen.Width(); ++x)
                pixels[y * screen.Width() + x] = static_cast<std::uint16_t>(x * 81 + y * 1237);
    }
    EXPECT_EQ(screen.Pixel(799, 479), static_cast<std::uint16_t>(799 * 81 + 479 * 1237));
    EXPECT_EQ(screen.Pixel(800, 0), 0);

    TempFolder folder;
    const std::string path = (fs::path(folder.Path()) / "shot.png").string();
    std::ofstream(path) << "old contents";
    ASSERT_TRUE(screen.SavePng(path));
    EXPECT_EQ(NamesIn(folder.Path()), std::vector<std::string>{"shot.png"});

    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> rgb;
    ASSERT_TRUE(platform::ReadPng(path, width, height, rgb));
    ASSERT_EQ(width, 800);
    ASSERT_EQ(height, 480);
    const std::uint16_t* pixels = screen.Pixels();
    for (std::size_t i = 0; i < rgb.size(); ++i)
        ASSERT_EQ(rgb[i], platform::Rgb565ToRgb888(pixels[i])) << "pixel " << i;
}

TEST(Screen, FailedSaveLeavesNoFile)
{
    TempFolder folder;
    std::ofstream(fs::path(folder.Path()) / "file") << "x";
    fs::create_directory(fs::path(folder.Path()) / "dir");
    const std::string cases[] = {
        (fs::path(folder.Path()) / "missing" / "shot.png").string(), // no such folder
        (fs::path(folder.Path()) / "file" / "shot.png").string(),    // the folder is a file
        (fs::path(folder.Path()) / "dir").string(),                  // the target is a folder
        (fs::path(folder.Path()) / "").string(),                     // no file name
    };
    for (const std::string& path : cases) {
        EXPECT_FALSE(Screen::Get().SavePng(path)) << path;
        std::vector<std::string> names = NamesIn(folder.Path());
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, (std::vector<std::string>{"dir", "file"})) << path;
        EXPECT_TRUE(fs::is_empty(fs::path(folder.Path()) / "dir"));
    }
}

TEST(Screen, PresentHandsTheClippedRectangleToTheBackend)
{
    std::vector<RECT> presented;
    Screen& screen = Screen::Get();
    screen.SetBackend(std::make_unique<FakeBackend>(&presented));
    screen.Present({10, 20, 30, 40});
    screen.Present({-5, -5, 900, 500});
    screen.Present({700, 400, 700, 480}); // empty
    screen.Present({800, 0, 900, 10});    // outside
    screen.SetBackend(nullptr);
    screen.Present({0, 0, 10, 10}); // headless again

    ASSERT_EQ(presented.size(), 2u);
    const RECT expected[] = {{10, 20, 30, 40}, {0, 0, 800, 480}};
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(presented[i].left, expected[i].left);
        EXPECT_EQ(presented[i].top, expected[i].top);
        EXPECT_EQ(presented[i].right, expected[i].right);
        EXPECT_EQ(presented[i].bottom, expected[i].bottom);
    }
}

TEST(Screen, InjectedInputComesBeforeTheBackendsInOrder)
{
    std::vector<RECT> presented;
    auto backend = std::make_unique<FakeBackend>(&presented);
    backend->input.push_back({InputEvent::Kind::Quit, 0, 0, 0});
    Screen& screen = Screen::Get();
    screen.SetBackend(std::move(backend));
    ASSERT_TRUE(screen.PushInput({InputEvent::Kind::TouchDown, 5, 6, 0}));
    ASSERT_TRUE(screen.PushInput({InputEvent::Kind::KeyUp, 0, 0, 0x1B}));

    InputEvent event;
    ASSERT_TRUE(screen.PollInput(event));
    EXPECT_EQ(event.kind, InputEvent::Kind::TouchDown);
    EXPECT_EQ(event.x, 5);
    EXPECT_EQ(event.y, 6);
    ASSERT_TRUE(screen.PollInput(event));
    EXPECT_EQ(event.kind, InputEvent::Kind::KeyUp);
    EXPECT_EQ(event.key, 0x1Bu);
    ASSERT_TRUE(screen.PollInput(event));
    EXPECT_EQ(event.kind, InputEvent::Kind::Quit);
    EXPECT_FALSE(screen.PollInput(event));
    screen.SetBackend(nullptr);
}

TEST(Screen, InputQueueIsBounded)
{
    Screen& screen = Screen::Get();
    int accepted = 0;
    while (screen.PushInput({InputEvent::Kind::TouchMove, accepted, 0, 0}) && accepted < 100000)
        ++accepted;
    EXPECT_LT(accepted, 100000);
    InputEvent event;
    for (int i = 0; i < accepted; ++i)
        ASSERT_TRUE(screen.PollInput(event));
    EXPECT_EQ(event.x, accepted - 1);
    EXPECT_FALSE(screen.PollInput(event));
}
