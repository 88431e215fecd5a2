// The parts bound to a model beside the sheet: the progress bar (range,
// thumb, drag), the video panel (current panel, the hold of its controls by
// the model's notifications) and the overlay layer (shown and hidden with
// the shell's broadcasts, auto-hide and holds on the manual clock).
#include "Source/screens/common/ColorPanel.h"
#include "Source/screens/common/OverlaySheet.h"
#include "Source/screens/common/SheetCodes.h"
#include "Source/screens/common/VideoPanel.h"
#include "tests/common/ActionListener.h"
#include "tests/wren/SourceSheetFixture.h"

#include <memory>

namespace {

using namespace sheettest;

using ModelProgressBarTest = SourceSheetFixture;

TEST_F(ModelProgressBarTest, ThumbFollowsThePositionAndNoneBeyondTheLength)
{
    struct Row {
        int length;
        int position;
        int range;
        int pixel; // -1 + track start: no thumb
    };
    const Row rows[] = {
        {100, 50, 100, 8 + 242}, {100, 0, 100, 8}, {100, -1, 100, 7}, // unknown position: no thumb
        {60, 65, 0, 7},                                               // beyond the length: no range, no thumb
        {0, -1, 0, 7},
    };
    MakeSheet();
    Push();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.position);
        model->s.length = row.length;
        model->s.position = row.position;
        Post(SMN_LENGTH, row.length);
        EXPECT_EQ(bar->GetRange(), row.range);
        EXPECT_EQ(bar->GetPixel(), row.pixel);
    }
    // A position notification moves the thumb by its value.
    model->s.length = 100;
    Post(SMN_LENGTH, 100);
    Post(SMN_POSITION, 25);
    EXPECT_EQ(bar->GetPixel(), 8 + 121);
}

TEST_F(ModelProgressBarTest, DraggingTheThumbPausesSeeksAndPlaysOn)
{
    model->s.length = 100;
    model->s.position = 50;
    MakeSheet();
    Push();
    Take();
    // The thumb stands at 150 + 250 on screen.
    Down(400, 341);
    Move(450, 341);
    Up(450, 341);
    EXPECT_EQ(Take(), (Log{"pause", "seek 60", "seek 60", "play"}));
}

class VideoPanelTest : public SourceSheetFixture {
protected:
    CVideoPanel* AddPanel()
    {
        auto* panel = Place(sheet, new CVideoPanel(3000, model, nullptr, nullptr), 3500, RECT{0, 100, 800, 320});
        Place(panel, new frametest::ColorBox(0, RECT{}, frametest::kRed), kIxIdlePanelId, RECT{0, 0, 800, 40});
        return panel;
    }
};

TEST_F(VideoPanelTest, IsTheCurrentPanelWhileAttached)
{
    MakeSheet();
    CVideoPanel* panel = AddPanel();
    EXPECT_EQ(CVideoPanel::GetCurrent(), nullptr);
    Push();
    EXPECT_EQ(CVideoPanel::GetCurrent(), panel);
    frame->PopLayer(kSheetId);
    Pump();
    sheet = nullptr;
    EXPECT_EQ(CVideoPanel::GetCurrent(), nullptr);
}

TEST_F(VideoPanelTest, TheModelsNotificationsHoldAndReleaseTheControls)
{
    struct Row {
        int kind;
        LPARAM value;
        BOOL showsVideo;
        bool held;
    };
    const Row rows[] = {
        {SMN_VIDEOSUSPENDED, 1, TRUE, true}, {SMN_VIDEOVISIBLE, 0, TRUE, false},   {SMN_PANELHOLD, 0, TRUE, true},
        {SMN_PANELRELEASE, 0, FALSE, true}, // no video: stays held
        {SMN_PANELRELEASE, 0, TRUE, false},  {SMN_PANELHOLDIF, 0, TRUE, false},    {SMN_PANELHOLDIF, 1, TRUE, true},
        {SMN_PANELRELEASEIF, 0, TRUE, true}, {SMN_PANELRELEASEIF, 1, TRUE, false}, {SMN_PANELHOLD2, 0, TRUE, true},
        {SMN_PANELRELEASE2, 0, TRUE, false}, {SMN_PANELHOLD, 0, TRUE, true},       {SMN_PANELRELEASE3, 0, TRUE, false},
    };
    MakeSheet();
    CVideoPanel* panel = AddPanel();
    Push();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.kind);
        model->SetStatusBits(row.showsVideo ? DWORD{SMS_VIDEOON} : DWORD{0});
        Post(row.kind, row.value);
        EXPECT_EQ(panel->GetHolder() != 0, row.held);
    }
    // Released, the controls go after the idle time; held, they stay.
    Post(SMN_PANELHOLD, 0);
    Tick(3000);
    EXPECT_TRUE(panel->IsPanelShown());
    model->SetStatusBits(SMS_VIDEOON);
    Post(SMN_PANELRELEASE, 0);
    Tick(3000);
    EXPECT_FALSE(panel->IsPanelShown());
    model->SetStatusBits(0);
}

class OverlaySheetTest : public frametest::FrameScreenshotTest {
protected:
    static constexpr int kOverlayId = 3030;
    static constexpr int kPage = 3031;
    // The overlay with one page holding one child (hidden when asked).
    COverlaySheet* Make(int autoHide, bool childVisible)
    {
        overlay = new COverlaySheet(autoHide);
        overlay->SetId(kOverlayId);
        overlay->SetRectNow(RECT{0, 380, 800, 480});
        overlay->SetFlags(IXF_HIDDEN, IXF_PENDING);
        auto* page = new frametest::Sheet(kPage, RECT{0, 0, 800, 100});
        page->Add(1, RECT{100, 20, 300, 80}, frametest::kGreen)
            ->SetFlags(childVisible ? DWORD{0} : DWORD{IXF_HIDDEN}, 0);
        overlay->AddPage(page);
        EXPECT_TRUE(frame->PushLayer(overlay, nullptr, IXLAYER_OVERLAY));
        Pump();
        return overlay;
    }
    void Tick(int ms)
    {
        clock.Advance(static_cast<std::uint64_t>(ms));
        Pump();
    }
    // The shell's broadcasts heard, as "330 331 ...".
    std::string Heard()
    {
        std::string out;
        for (auto* l : {shown.get(), hidden.get()})
            for (const auto& h : l->heard) {
                EXPECT_EQ(h.kind, AEV_DEFAULT);
                EXPECT_EQ(h.value, kOverlayId);
            }
        for (std::size_t i = 0; i < shown->heard.size(); ++i)
            out += "330 ";
        for (std::size_t i = 0; i < hidden->heard.size(); ++i)
            out += "331 ";
        shown->heard.clear();
        hidden->heard.clear();
        return out;
    }
    void Hold(BOOL on) { Queue(IXA_INDICATOREVENT, on); }
    // Queues the action and delivers it, with the timers it set.
    void Queue(int id, LPARAM value)
    {
        PushGlobalAction(id, AEV_DEFAULT, value);
        IxGetKernel()->DrainQueue();
        frame->SyncTimers();
    }
    void SetPage(int at, int page)
    {
        overlay->SetPage(at, page, 0);
        frame->SyncTimers();
    }

    platform::ManualClock clock{100000};
    void SetUp() override
    {
        FrameScreenshotTest::SetUp();
        shown = std::make_unique<frametest::ActionListener>(ACMD_OSDSHOWN);
        hidden = std::make_unique<frametest::ActionListener>(ACMD_OSDHIDDEN);
    }
    void TearDown() override
    {
        shown.reset();
        hidden.reset();
        FrameScreenshotTest::TearDown();
    }

    std::unique_ptr<frametest::ActionListener> shown;
    std::unique_ptr<frametest::ActionListener> hidden;
    COverlaySheet* overlay = nullptr;
};

TEST_F(OverlaySheetTest, ShowsItsPageAndHidesAfterItsTime)
{
    Make(5000, true);
    SetPage(2, kPage);
    EXPECT_TRUE(overlay->IsShown());
    EXPECT_EQ(Heard(), "330 ");
    EXPECT_EQ(overlay->GetVisibleArea().left, 100);
    EXPECT_EQ(overlay->GetVisibleArea().right, 300);
    Tick(4999);
    EXPECT_TRUE(overlay->IsShown());
    Tick(1);
    EXPECT_FALSE(overlay->IsShown());
    EXPECT_EQ(Heard(), "331 ");
    // Shown again by the shell's show action.
    Queue(ACMD_OVERLAYSHOW, 0);
    EXPECT_EQ(Heard(), "330 ");
}

TEST_F(OverlaySheetTest, WithNothingVisibleItNeverShowsNorBroadcasts)
{
    Make(5000, false);
    SetPage(2, kPage);
    SetPage(2, 0);
    EXPECT_FALSE(overlay->IsShown());
    EXPECT_EQ(Heard(), "");
}

TEST_F(OverlaySheetTest, HoldsKeepItPastItsTimeUntilTheLastIsReleased)
{
    Make(5000, true);
    SetPage(2, kPage);
    Heard();
    Hold(TRUE);
    Hold(TRUE);
    Tick(6000);
    EXPECT_TRUE(overlay->IsShown());
    Hold(FALSE);
    Tick(6000);
    EXPECT_TRUE(overlay->IsShown());
    Hold(FALSE); // the last: the time starts again
    Tick(4999);
    EXPECT_TRUE(overlay->IsShown());
    Tick(1);
    EXPECT_FALSE(overlay->IsShown());
    EXPECT_EQ(Heard(), "331 ");
}

TEST_F(OverlaySheetTest, AHoldShowsAHiddenOverlayAndDisableDropsTheHolds)
{
    Make(5000, true);
    SetPage(2, kPage);
    Tick(5000);
    Heard();
    Hold(TRUE);
    EXPECT_TRUE(overlay->IsShown());
    EXPECT_EQ(Heard(), "330 ");
    overlay->Disable();
    EXPECT_FALSE(overlay->IsShown());
    EXPECT_EQ(overlay->GetHoldCount(), 0);
    EXPECT_EQ(Heard(), "331 ");
    Queue(ACMD_OVERLAYSHOW, 0);
    EXPECT_EQ(Heard(), "");
}

TEST_F(OverlaySheetTest, HiddenForNavigationFirstItStaysHidden)
{
    Make(5000, true);
    overlay->SetHiddenForNaviFirst(TRUE);
    SetPage(2, kPage);
    EXPECT_FALSE(overlay->IsShown());
    EXPECT_EQ(Heard(), "");
}

TEST(OverlayBarPageTest, EveryPageButAtStartBackOrFromTheMovieScreen)
{
    struct Row {
        int at, page, extra;
        BOOL shown;
    };
    const Row rows[] = {
        {2, 3031, 0, TRUE}, {OVC_START, 3031, 0, FALSE},     {OVC_BACK, 3031, 0, FALSE},
        {2, 0, 0, FALSE},   {2, 3031, OVC_MOVIEVIEW, FALSE},
    };
    for (const Row& row : rows)
        EXPECT_EQ(COverlaySheet::OsdBarAcceptsPage(row.at, row.page, row.extra), row.shown)
            << row.at << " " << row.extra;
}

// A colour panel with hooks that count.
class CountingPanel : public CColorPanel {
public:
    using CColorPanel::CColorPanel;
    void PanelAttached() override { log += "attached "; }
    void PanelResumed() override { log += "resumed "; }
    void PanelDetached() override { log += "detached "; }
    std::string log;
};

using ColorPanelTest = frametest::FrameScreenshotTest;

TEST_F(ColorPanelTest, MakesItsBackgroundOnceAndRunsItsHooks)
{
    for (COLORREF colour : {RGB(40, 120, 200), CColorPanel::kNoBackground}) {
        auto* panel = new CountingPanel(colour);
        panel->SetId(600);
        panel->SetRectNow(RECT{100, 100, 300, 200});
        panel->SetFlags(0, IXF_PENDING);
        ASSERT_TRUE(frame->PushLayer(panel, nullptr, IXLAYER_SCREEN));
        Repaint();
        // The background is made once, at the panel's size.
        IxImage* background = panel->GetBackground();
        EXPECT_EQ(background != nullptr, colour != CColorPanel::kNoBackground);
        if (background) {
            SIZE size{0, 0};
            background->Query(IXIQ_SIZE, reinterpret_cast<INT_PTR>(&size));
            EXPECT_EQ(size.cx, 200);
            EXPECT_EQ(size.cy, 100);
        }
        EXPECT_EQ(panel->log, "attached resumed ");
        frame->PopLayer(600);
        Pump();
    }
}

} // namespace
