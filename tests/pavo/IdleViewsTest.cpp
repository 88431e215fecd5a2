// The idle views through the frame window on the manual clock: the panel
// of an idle timer view hides after the idle time, taps toggle it and a
// touch held down keeps it; an idle frame view queues its command after the
// idle time or on a tap, and lets the actions of its pass list through
// exactly once.
#include "Lib_cpp/controls/IdleViews.h"
#include "Lib_cpp/kernel/Kernel.h"
#include "platform/base/Clock.h"
#include "tests/common/FrameWindow.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace frametest;

constexpr int kViewId = 300;
constexpr int kCommand = 7100;
constexpr int kPassed = 7200;
constexpr int kSwallowed = 7300;

// Hears the command and the listed actions, in order. When the command
// comes more often than any single action could explain, it stops the loop
// by unsubscribing the view, so that a test of a looping view fails
// instead of hanging.
class Recorder : public IxElement {
public:
    explicit Recorder(IxReceiver* view)
        : filter{IxActionWord(kCommand, 0), IxActionWord(kPassed, 0), IxActionWord(kSwallowed, 0), 0}, view(view)
    {
        IxGetKernel()->AddListener(filter, this);
    }
    ~Recorder() override { IxGetKernel()->RemoveListener(filter, this); }
    int ActionIsInvoked(int code, int kind, LPARAM value) override
    {
        heard.push_back({code, kind, value});
        if (code == kCommand && ++commands > kLoopGuard) {
            IxGetKernel()->Unsubscribe(kPassed, view);
            IxGetKernel()->Unsubscribe(kPassed, view);
        }
        return 0;
    }
    void Draw(IxPaintRecord*) override {}
    struct Heard {
        int code, kind;
        LPARAM value;
        bool operator==(const Heard&) const = default;
    };
    static constexpr int kLoopGuard = 50;
    DWORD filter[4];
    IxReceiver* view;
    int commands = 0;
    std::vector<Heard> heard;
};

class IdleViewsTest : public FrameWindowTest {
protected:
    void SetUp() override { FrameWindowTest::SetUp(); }
    void TearDown() override
    {
        if (screen && !frame->IsLayerShown(100))
            delete screen;
        ReleaseCapture();
        FrameWindowTest::TearDown();
    }
    template <class V> V* Place(V* view, DWORD flags = 0)
    {
        view->SetId(kViewId);
        view->SetRectNow(RECT{100, 100, 500, 400});
        view->SetFlags(flags, IXF_PENDING);
        Screen()->AddChild(view);
        EXPECT_TRUE(frame->PushLayer(Screen(), nullptr, IXLAYER_SCREEN));
        Pump();
        return view;
    }
    void Tick(int ms)
    {
        clock.Advance(static_cast<std::uint64_t>(ms));
        Pump();
    }
    // Runs fn as a handler of the frame: what it asks of the kernel is
    // carried out at the end (timers, repaint).
    template <class F> void Busy(F fn)
    {
        {
            IxBusyScope busy(frame);
            fn();
        }
        Pump();
    }
    void Tap(int x = 300, int y = 300)
    {
        Down(x, y);
        Up(x, y);
    }

    platform::ManualClock clock{100000};
    // The screen layer, made on first use.
    Sheet* Screen()
    {
        if (!screen)
            screen = new Sheet(100, RECT{0, 0, 800, 480});
        return screen;
    }
    Sheet* screen = nullptr;
};

// ---------------------------------------------------------------------------
// IxIdleTimerView

class IdleTimerViewTest : public IdleViewsTest {
protected:
    IxIdleTimerView* MakeView(DWORD flags = 0)
    {
        auto* view = new IxIdleTimerView(-3000); // the magnitude is the time
        panel = new ColorBox(kIxIdlePanelId, RECT{0, 0, 400, 80}, kGreen);
        panel->SetFlags(IXF_HIDDEN, 0);
        view->AddChild(panel);
        return Place(view, flags);
    }
    bool PanelUp() const { return !panel->HasFlag(IXF_HIDDEN); }
    ColorBox* panel = nullptr;
};

TEST_F(IdleTimerViewTest, PanelHidesAfterTheIdleTimeAndTapsToggleIt)
{
    IxIdleTimerView* view = MakeView();
    EXPECT_EQ(IxGetKernel()->GetPointerNoticeView(), view);
    EXPECT_FALSE(view->IsPanelShown());
    Busy([&] { view->RestartTimer(); });
    EXPECT_TRUE(PanelUp());
    Tick(2999);
    EXPECT_TRUE(PanelUp());
    Tick(1);
    EXPECT_FALSE(PanelUp());
    EXPECT_FALSE(IxGetKernel()->IsTimerSet(view, view->TimerId()));

    Tap(); // shows it and starts the time again
    EXPECT_TRUE(PanelUp());
    Tick(2000);
    Tap(); // hides it
    EXPECT_FALSE(PanelUp());
    EXPECT_FALSE(IxGetKernel()->IsTimerSet(view, view->TimerId()));
    Tap();
    Tick(2999);
    EXPECT_TRUE(PanelUp());
    Tick(1);
    EXPECT_FALSE(PanelUp());

    // A press that moved is no tap.
    Down(300, 300);
    Move(340, 300);
    Up(340, 300);
    EXPECT_FALSE(PanelUp());
}

TEST_F(IdleTimerViewTest, TouchHeldInsideKeepsThePanelUntilItIsReleased)
{
    IxIdleTimerView* view = MakeView();
    Busy([&] { view->RestartTimer(); });
    Tick(1000);
    Down(300, 300);
    EXPECT_TRUE(view->IsTouched());
    Move(320, 310);
    Tick(60000);
    EXPECT_TRUE(PanelUp());
    Up(320, 310); // the time starts again at the release
    EXPECT_FALSE(view->IsTouched());
    Tick(2999);
    EXPECT_TRUE(PanelUp());
    Tick(1);
    EXPECT_FALSE(PanelUp());

    // Let go of a hold while a touch is down: the hold stays until the
    // view is let go again after the release.
    Busy([&] { view->RestartTimer(); });
    Down(300, 300);
    Move(320, 310);
    Busy([&] { view->HoldTimer(7); });
    Busy([&] { view->HoldTimer(0); });
    EXPECT_EQ(view->GetHolder(), 7);
    Up(320, 310);
    Tick(5000);
    EXPECT_TRUE(PanelUp());
    Busy([&] { view->HoldTimer(0); });
    Tick(3000);
    EXPECT_FALSE(PanelUp());

    // A touch outside the view changes nothing.
    Busy([&] { view->RestartTimer(); });
    Tick(1000);
    Down(700, 50);
    Tick(2000);
    Up(700, 50);
    EXPECT_FALSE(PanelUp());
}

TEST_F(IdleTimerViewTest, HeldViewKeepsItsPanelAndAPressClicksAtOnceWithClickOnPress)
{
    IxIdleTimerView* view = MakeView(IXF_CLICKONPRESS);
    Busy([&] { view->RestartTimer(); });
    Busy([&] { view->HoldTimer(1); });
    Tick(10000);
    EXPECT_TRUE(PanelUp());
    Busy([&] { view->HoldTimer(0); });
    EXPECT_EQ(view->GetHolder(), 0);
    Tick(3000);
    EXPECT_FALSE(PanelUp());

    Down(300, 300); // toggles at the press
    EXPECT_TRUE(PanelUp());
    Up(300, 300);
    EXPECT_TRUE(PanelUp());
}

// ---------------------------------------------------------------------------
// IxIdleFrameView

TEST_F(IdleViewsTest, IdleFrameViewQueuesItsCommandAfterTheIdleTimeAndOnATap)
{
    auto* view = Place(new IxIdleFrameView(4000, kCommand));
    Recorder recorder(view);
    const std::vector<Recorder::Heard> once{{kCommand, AEV_DEFAULT, kViewId}};
    Busy([&] { view->RestartIdleTimer(); });
    Tick(3999);
    EXPECT_TRUE(recorder.heard.empty());
    Tick(1);
    EXPECT_EQ(recorder.heard, once);
    Tick(10000); // once only
    EXPECT_EQ(recorder.heard, once);

    // A touch held inside stops the time; its release starts it again.
    recorder.heard.clear();
    Busy([&] { view->RestartIdleTimer(); });
    Tick(3000);
    Down(300, 300);
    Move(330, 300);
    Tick(8000);
    EXPECT_TRUE(recorder.heard.empty());
    Up(330, 300);
    Tick(3999);
    EXPECT_TRUE(recorder.heard.empty());
    Tick(1);
    EXPECT_EQ(recorder.heard, once);

    // A tap ends it at once.
    recorder.heard.clear();
    Tap();
    EXPECT_EQ(recorder.heard, once);
    Tick(10000);
    EXPECT_EQ(recorder.heard, once);
}

TEST_F(IdleViewsTest, TapEndsAnIdleFrameViewOnlyWithAPositivePeriodOrClickOnPress)
{
    struct Case {
        int period;
        DWORD flags;
        bool ended;
    };
    const Case cases[] = {{4000, 0, true}, {-4000, 0, false}, {-4000, IXF_CLICKONPRESS, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "period " << c.period << " flags " << c.flags);
        auto* view = Place(new IxIdleFrameView(c.period, kCommand), c.flags);
        Recorder recorder(view);
        Down(300, 300);
        EXPECT_EQ(recorder.heard.size(), (c.flags & IXF_CLICKONPRESS) ? 1u : 0u);
        Up(300, 300);
        EXPECT_EQ(recorder.heard.size(), c.ended ? 1u : 0u);
        frame->PopLayer(100);
        Pump();
        screen = nullptr; // deleted with its layer
    }
}

TEST_F(IdleViewsTest, PassedActionFollowsTheCommandExactlyOnceAndSwallowedOnesVanish)
{
    auto* view = new IxIdleFrameView(4000, kCommand);
    view->PassList().Add(kPassed);
    view->SwallowList().Add(kSwallowed);
    Place(view);
    Recorder recorder(view);
    {
        IxBusyScope busy(frame);
        PushGlobalAction(kPassed, AEV_RELEASE, 55);
        PushGlobalAction(kSwallowed, AEV_DEFAULT, 66);
    }
    // The copy queued again came back to the view while it was still
    // subscribed, and went on without a second command.
    EXPECT_LE(recorder.commands, 1) << "the passed action looped through the view";
    EXPECT_EQ(recorder.heard,
              (std::vector<Recorder::Heard>{{kCommand, AEV_DEFAULT, kViewId}, {kPassed, AEV_RELEASE, 55}}));
    const IxSubscription* subscription = IxGetKernel()->FindSubscription(kPassed);
    ASSERT_NE(subscription, nullptr);
    EXPECT_EQ(subscription->receivers.IndexOfValue(view), 0); // still subscribed

    // The next one is passed the same way.
    recorder.heard.clear();
    {
        IxBusyScope busy(frame);
        PushGlobalAction(kPassed, AEV_DEFAULT, 77);
    }
    EXPECT_EQ(recorder.heard,
              (std::vector<Recorder::Heard>{{kCommand, AEV_DEFAULT, kViewId}, {kPassed, AEV_DEFAULT, 77}}));
}

} // namespace
