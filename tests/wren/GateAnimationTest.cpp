// Easing, the keyframes of AniObject, playing them, and the show and hide
// states of the sub-buttons.
#include "Source/gate/GateAnimation.h"
#include "Source/gate/GateImage.h"
#include "tests/wren/GateFixture.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace gate;

TEST(GateEasing, ValuesAtFixedPoints)
{
    const struct {
        float t, b, c, d;
        float quad, quart;
    } cases[] = {
        {0, 5, 10, 2, 5, 5},
        {1, 0, 1, 2, 0.75f, 0.9375f},
        {2, 0, 1, 2, 1, 1},
        {7, 0, 100, 14, 75, 93.75f},
        {13, 327, -327, 14, 1.6683674f, 0.0085117f},
        {13, 0, 1, 14, 0.9948980f, 0.9999740f},
    };
    for (const auto& c : cases) {
        EXPECT_NEAR(c.quad, EaseOutQuad(c.t, c.b, c.c, c.d), 1e-4f) << c.t << " " << c.b << " " << c.c << " " << c.d;
        EXPECT_NEAR(c.quart, EaseOutQuart(c.t, c.b, c.c, c.d), 1e-5f) << c.t << " " << c.b << " " << c.c << " " << c.d;
    }
}

TEST(GateAniObject, FramesEaseFromTheStartTowardsTheEnd)
{
    AniObject animation(327, 100, 0, 0, 0, 0, 14);
    animation.Build();
    const auto& frames = animation.Frames();
    ASSERT_EQ(14u, frames.size());
    for (const auto& frame : frames) {
        ASSERT_EQ(2u, frame.size());
        EXPECT_EQ(GateAnimOp::Translate, frame[0].kind);
        EXPECT_EQ(GateAnimOp::Alpha, frame[1].kind);
        EXPECT_EQ(0, frame[0].c);
    }
    EXPECT_FLOAT_EQ(327, frames[0][0].a);
    EXPECT_FLOAT_EQ(100, frames[0][0].b);
    EXPECT_FLOAT_EQ(0, frames[0][1].a);
    // The last frame stops just short of the end point.
    EXPECT_NEAR(1.668f, frames[13][0].a, 0.001f);
    EXPECT_NEAR(0.510f, frames[13][0].b, 0.001f);
    EXPECT_GT(frames[13][1].a, 0.9999f);
    EXPECT_LT(frames[13][1].a, 1.0f);
}

TEST(GateAniObject, FramesPastTheLimitAreDropped)
{
    AniObject animation(0, 0, 0, 10, 10, 0, 100);
    animation.Build();
    EXPECT_EQ(static_cast<std::size_t>(GateAnimation::kMaxFrames), animation.Frames().size());
}

using GateAnimationPlay = gatetest::GateGlTest;

TEST_F(GateAnimationPlay, AppliesOneFramePerCallUntilTheLast)
{
    AniObject animation(327, 100, 0, 0, 0, 0, 14);
    float before[16], after[16];
    glLoadIdentity();
    glGetFloatv(GL_MODELVIEW_MATRIX, before);
    animation.Apply(nullptr); // not playing: builds, changes nothing
    glGetFloatv(GL_MODELVIEW_MATRIX, after);
    EXPECT_EQ(0, std::memcmp(before, after, sizeof before));
    EXPECT_EQ(14u, animation.Frames().size());

    animation.Start();
    for (int frame = 0; frame < 14; ++frame) {
        ASSERT_TRUE(animation.IsPlaying()) << frame;
        glLoadIdentity();
        animation.Apply(nullptr);
        glGetFloatv(GL_MODELVIEW_MATRIX, after);
        EXPECT_FLOAT_EQ(animation.Frames()[static_cast<std::size_t>(frame)][0].a, after[12]) << frame;
        EXPECT_FLOAT_EQ(animation.Frames()[static_cast<std::size_t>(frame)][0].b, after[13]) << frame;
        float color[4];
        glGetFloatv(GL_CURRENT_COLOR, color);
        EXPECT_FLOAT_EQ(animation.Frames()[static_cast<std::size_t>(frame)][1].a, color[3]) << frame;
    }
    EXPECT_FALSE(animation.IsPlaying());
    glLoadIdentity();
    animation.Apply(nullptr);
    glGetFloatv(GL_MODELVIEW_MATRIX, after);
    EXPECT_EQ(0, std::memcmp(before, after, sizeof before));
}

TEST_F(GateAnimationPlay, ScaleAboutAPoint)
{
    GateAnimation animation;
    animation.AddOperation(GateAnimOp::Scale, 2, 0, 0);
    animation.EndFrame();
    animation.Start();
    const float point[3] = {10, 20, 0};
    glLoadIdentity();
    animation.Apply(point);
    float m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    EXPECT_FLOAT_EQ(2, m[0]);
    EXPECT_FLOAT_EQ(-10, m[12]);
    EXPECT_FLOAT_EQ(-20, m[13]);
}

namespace {

// A sub-button whose drawn image can be asked.
class ProbeButton : public GateAnimButton {
public:
    GateTexture& Shown() { return Current(); }
};

} // namespace

TEST(GateAnimButton, StatesFollowTheRequests)
{
    ProbeButton button;
    button.SetAnimations(std::make_unique<AniObject>(-109, 100, 0, 0, 0, 0, 14), nullptr);
    EXPECT_EQ(GateAnimState::Hidden, button.State());
    button.SetState(GateAnimRequest::Hide); // already hidden: stays so
    EXPECT_EQ(GateAnimState::Hidden, button.State());

    button.SetState(GateAnimRequest::Show);
    EXPECT_EQ(GateAnimState::Showing, button.State());
    EXPECT_TRUE(button.ShowAnimation()->IsPlaying());
    button.SetState(GateAnimRequest::SetShown);
    EXPECT_EQ(GateAnimState::Shown, button.State());
    EXPECT_FALSE(button.ShowAnimation()->IsPlaying());

    // Without a hide animation a hiding button is gone at its next draw.
    button.SetState(GateAnimRequest::Hide);
    EXPECT_EQ(GateAnimState::Hiding, button.State());
    button.Draw();
    EXPECT_EQ(GateAnimState::Hidden, button.State());

    button.SetState(GateAnimRequest::Show);
    button.SetState(GateAnimRequest::SetHidden);
    EXPECT_EQ(GateAnimState::Hidden, button.State());
    EXPECT_FALSE(button.ShowAnimation()->IsPlaying());
}

TEST(GateAnimButton, SelectedOrPressedShowsTheSecondImage)
{
    ProbeButton button;
    EXPECT_EQ(&button.Image(), &button.Shown());
    button.SetSelected(true);
    EXPECT_EQ(&button.SecondImage(), &button.Shown());
    button.SetSelected(false);
    button.SetPressed(true);
    EXPECT_EQ(&button.SecondImage(), &button.Shown());
}
