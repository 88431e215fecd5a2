// The animated image view through the frame window on the manual clock: its
// image stands centred and shows the next frame every period while the view
// is attached.
#include "Lib_cpp/controls/AnimatedImageView.h"
#include "platform/base/Clock.h"
#include "tests/common/ColorFrames.h"
#include "tests/common/FrameWindow.h"

#include <gtest/gtest.h>

namespace {

using namespace frametest;

class AnimatedImageViewTest : public FrameWindowTest {
protected:
    void Tick(int ms)
    {
        clock.Advance(static_cast<std::uint64_t>(ms));
        Pump();
    }
    platform::ManualClock clock{100000};
};

TEST_F(AnimatedImageViewTest, ImageStepsItsFramesOnTheTimerWhileAttached)
{
    auto* screen = new Sheet(100, RECT{0, 0, 800, 480});
    auto* view = new IxAnimatedImageView;
    view->SetRectNow(RECT{200, 100, 400, 300});
    view->SetFlags(0, IXF_PENDING);
    auto* image = new ColorFrames(60, 40, {kRed, kGreen, kYellow});
    view->SetImage(image);
    view->SetPeriod(250);
    screen->AddChild(view);
    ASSERT_TRUE(frame->PushLayer(screen, nullptr, IXLAYER_SCREEN));
    Pump();
    // Centred at its own size: (70, 80) .. (130, 120) in the view.
    EXPECT_EQ(view->GetImageRect().left, 70);
    EXPECT_EQ(view->GetImageRect().bottom, 120);
    EXPECT_EQ(At(300, 200), Px(kRed));
    EXPECT_EQ(At(268, 200), At(210, 110)); // outside the image: as the rest of the view

    const COLORREF expected[] = {kGreen, kYellow, kRed, kGreen};
    Tick(249);
    EXPECT_EQ(At(300, 200), Px(kRed));
    for (COLORREF c : expected) {
        Tick(250);
        EXPECT_EQ(At(300, 200), Px(c));
    }
    EXPECT_TRUE(IxGetKernel()->IsTimerSet(view, view->TimerId()));

    // Detached: the timer goes.
    image->AddRef();
    frame->PopLayer(100);
    Pump();
    const int shown = image->Current();
    Tick(1000);
    EXPECT_EQ(image->Current(), shown);
    image->Release();
}

TEST_F(AnimatedImageViewTest, SingleFrameOrNoPeriodStartsNoTimer)
{
    for (int period : {0, 250}) {
        auto* screen = new Sheet(100, RECT{0, 0, 800, 480});
        auto* view = new IxAnimatedImageView;
        view->SetRectNow(RECT{200, 100, 400, 300});
        view->SetFlags(0, IXF_PENDING);
        view->SetImage(
            new ColorFrames(60, 40, period ? std::vector<COLORREF>{kRed} : std::vector<COLORREF>{kRed, kGreen}));
        view->SetPeriod(period);
        screen->AddChild(view);
        ASSERT_TRUE(frame->PushLayer(screen, nullptr, IXLAYER_SCREEN));
        Pump();
        EXPECT_FALSE(IxGetKernel()->IsTimerSet(view, view->TimerId()));
        frame->PopLayer(100);
        Pump();
    }
}

} // namespace
