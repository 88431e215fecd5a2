// Slider views through the frame window: value and pixel arithmetic, the
// slider properties, a press on the plain slider, and dragging the thumb
// and the range handles of the image slider.
#include "Lib_cpp/controls/SliderView.h"
#include "Lib_cpp/image/Image.h"
#include "tests/common/ActionListener.h"
#include "tests/common/FrameWindow.h"
#include "tests/common/ScreenLayerTest.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace frametest;

constexpr int kSliderId = 450;
using Heard = ActionListener::Heard;

class SliderViewTest : public ScreenLayerTest {
protected:
    SliderViewTest() : ScreenLayerTest(kSliderId) {}
    // A slider at (100, 200), 400 x 60, its thumb travelling over x 0 .. 400.
    template <class V> V* Place(V* slider)
    {
        slider->SetId(kSliderId);
        slider->SetRectNow(RECT{100, 200, 500, 260});
        slider->SetFlags(0, IXF_PENDING);
        slider->SetTrack(0, 400);
        Screen()->AddChild(slider);
        EXPECT_TRUE(frame->PushLayer(Screen(), nullptr, IXLAYER_SCREEN));
        Pump();
        return slider;
    }
};

TEST(SliderViewArithmetic, ValueAndPixelConvertWithRoundingAndLimits)
{
    IxSliderView slider;
    slider.SetTrack(10, 110);
    struct Case {
        int range, value, pixel;
    };
    for (const Case& c : {Case{3, 1, 43}, Case{3, 2, 77}, Case{8, 1, 23}, Case{8, 3, 48}, Case{100, 100, 110},
                          Case{0, 5, 9}, Case{-2, 1, 9}}) {
        slider.SetRange(c.range);
        EXPECT_EQ(slider.ValueToPixel(c.value), c.pixel) << c.range << " " << c.value;
    }
    struct Back {
        int range, pixel, value;
    };
    for (const Back& b :
         {Back{3, 43, 1}, Back{3, 27, 1}, Back{3, 26, 0}, Back{8, 110, 8}, Back{8, 300, 8}, Back{8, 0, 0}}) {
        slider.SetRange(b.range);
        EXPECT_EQ(slider.PixelToValue(b.pixel), b.value) << b.range << " " << b.pixel;
    }
}

TEST(SliderViewArithmetic, PropertiesSetRangeValueAndTheMissingThumb)
{
    IxSliderView slider;
    slider.SetTrack(0, 100);
    EXPECT_EQ(slider.SetProperty(IXP_SLIDERRANGEVALUE, (2 << 16) | 5), 1);
    EXPECT_EQ(slider.GetRange(), 5);
    EXPECT_EQ(slider.GetPixel(), 40);
    slider.SetValue(-1); // no thumb
    EXPECT_EQ(slider.GetPixel(), -1);
    LPARAM value = 0;
    slider.Query(IXQ_SLIDERVALUE, &value);
    EXPECT_EQ(value, -1);
    slider.SetProperty(IXP_SLIDERVALUE, 5); // shown again
    EXPECT_EQ(slider.GetPixel(), 100);
    slider.SetProperty(IXP_SLIDERRANGEVALUE, static_cast<LPARAM>((0xFFFFu << 16) | 4)); // negative value
    EXPECT_EQ(slider.GetRange(), 4);
    EXPECT_EQ(slider.GetPixel(), -1);
    slider.SetProperty(IXP_SLIDERNORANGE, 9);
    EXPECT_EQ(slider.GetRange(), 9);
    EXPECT_EQ(slider.GetPixel(), -1);
}

TEST_F(SliderViewTest, PressMovesThePlainSliderAndReportsTheValue)
{
    IxSliderView* slider = Place(new IxSliderView);
    slider->SetRange(4);
    Down(300, 230); // x 200 of 400: value 2
    Up(300, 230);
    EXPECT_EQ(slider->GetPixel(), 200);
    Down(110, 220);
    Up(110, 220);
    EXPECT_EQ(listener->heard, (std::vector<Heard>{{kSliderId, AEV_CLICK, 2}, {kSliderId, AEV_CLICK, 0}}));
}

TEST_F(SliderViewTest, ThumbDragStaysBetweenTheHandlesWhichKeepTheirDistance)
{
    auto* slider = new IxImageSliderView;
    slider->SetThumbImage(new IxColorImage(kRed, 20, 30), 45);
    slider->SetMarkerImages(new IxColorImage(kYellow, 10, 10), new IxColorImage(kYellow, 10, 10), 55, 10, 10, 5, 5);
    Place(slider);
    slider->SetRange(400);
    slider->SetHandles(100, 300);
    slider->SetMinimalDistance(20);
    slider->SetProperty(IXP_SLIDERVALUE, 200);
    Pump();

    // The thumb, grabbed 4 px right of its centre, dragged far left and right.
    Down(304, 220);
    EXPECT_TRUE(slider->IsDragging());
    slider->SetProperty(IXP_SLIDERVALUE, 50); // ignored while dragging
    EXPECT_EQ(slider->GetPixel(), 200);
    Move(104, 220);
    EXPECT_EQ(slider->GetPixel(), 100);
    Move(600, 220);
    EXPECT_EQ(slider->GetPixel(), 300);
    Up(354, 220);
    EXPECT_EQ(slider->GetPixel(), 250);
    EXPECT_FALSE(slider->IsDragging());
    EXPECT_EQ(listener->heard,
              (std::vector<Heard>{{kSliderId, AEV_BEGIN, 200},
                                  {kSliderId, AEV_PROGRESS, 100},
                                  {kSliderId, AEV_PROGRESS, 300},
                                  {kSliderId, AEV_PROGRESS, 250},
                                  {kSliderId, AEV_COMPLETE, 250}}));

    // The lower handle (its marker spans 95 .. 104) stops 20 px before the
    // upper one; the handles report nothing.
    listener->heard.clear();
    Down(197, 250);
    Move(500, 250);
    Up(500, 250);
    EXPECT_EQ(slider->GetLowerHandle(), 280);
    Down(397, 250); // the upper handle stops 20 px after the lower one
    Move(100, 250);
    Up(100, 250);
    EXPECT_EQ(slider->GetUpperHandle(), 300);
    EXPECT_TRUE(listener->heard.empty());
}

} // namespace
