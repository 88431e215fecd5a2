// A source screen as the driver sees it, by exact screenshot: info texts,
// track number and total, the play button, the position and length around
// the progress bar, and the video panel whose colour-key window lets a test
// pattern on the video plane show through.
#include "Source/screens/common/VideoPanel.h"
#include "tests/wren/SourceSheetFixture.h"

#include <cstdint>
#include <vector>

namespace {

using namespace sheettest;

using SourceSheetScreenshot = SourceSheetFixture;

// Eight colour bars over a grey ramp: a picture whose every part is easy to
// tell from the screen around it.
std::vector<std::uint16_t> TestPattern(int width, int height)
{
    static const COLORREF kBars[] = {RGB(255, 255, 255), RGB(255, 255, 0), RGB(0, 255, 255), RGB(0, 255, 0),
                                     RGB(255, 0, 255),   RGB(255, 0, 0),   RGB(0, 0, 255),   RGB(16, 16, 16)};
    std::vector<std::uint16_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            COLORREF c = kBars[x * 8 / width];
            if (y >= height * 3 / 4) {
                const int v = x * 255 / (width - 1);
                c = RGB(v, v, v);
            }
            pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)]
                = frametest::Px(c);
        }
    return pixels;
}

TEST_F(SourceSheetScreenshot, PlayingWithVideoThroughTheColourKey)
{
    const RECT video{200, 110, 600, 320};
    const std::vector<std::uint16_t> pattern = TestPattern(400, 210);
    ASSERT_TRUE(platform::Screen::Get().SetVideoPlane(0, video, pattern.data(), 400));

    model->s.length = 5025;
    model->s.position = 1932;
    model->s.total = 12;
    model->s.number = 2;
    model->s.playState = SPS_PAUSED;
    model->s.info1 = u"DVD 비디오";
    model->s.info2 = u"챕터 3 · 바다의 노래";
    model->s.video = video;
    model->SetStatusBits(SMS_VIDEOON);
    MakeSheet();
    // The video panel: a dark frame around the colour-key window.
    Place(sheet,
          new CVideoPanel(0, model, new IxColorImage(RGB(8, 8, 10), 800, 216), new IxColorImage(0xF800F8, 400, 210)),
          3500, RECT{0, 108, 800, 322});
    Push();
    EXPECT_TRUE(screenshot::ScreenMatchesReference());
    platform::Screen::Get().RemoveVideoPlane(0);
}

} // namespace
