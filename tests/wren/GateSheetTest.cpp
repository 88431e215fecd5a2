// The 3D main menu's sheet through the frame window on the manual clock:
// scripted touches, the frames it draws (screenshots of the screen with the
// menu's layer), the actions it queues and the volume it steps.
#include "Source/gate/GateSheet.h"
#include "Lib_cpp/frame/KernelFrame.h"
#include "Source/gate/GateEgl.h"
#include "Source/gate/GateGL.h"
#include "Source/gate/GateUiLayer.h"
#include "Source/models/ModelCenterBase.h"
#include "Source/models/ModelCodes.h"
#include "platform/base/Clock.h"
#include "platform/gfx/Screen.h"
#include "platform/gl/Egl.h"
#include "tests/common/ActionListener.h"
#include "tests/common/FrameWindow.h"
#include "tests/common/Screenshot.h"
#include "tests/common/TempUnit.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

using namespace gate;

namespace {

class FakeShell : public IxGateShell {
public:
    int GetLastSourceView(int) override { return lastView; }
    BOOL IsAvOff() override { return avOff; }
    BOOL IsVolumePopupBlocked() override { return FALSE; }
    std::u16string GetGateBackgroundPath() override { return {}; }
    void GateImagesLoaded() override { ++loaded; }

    int lastView = 0;
    BOOL avOff = FALSE;
    std::atomic<int> loaded{0};
};

// Records every action of the ids given, in order.
class Recorder : public IxElement {
public:
    explicit Recorder(std::vector<int> ids)
    {
        for (int id : ids)
            filter.push_back(IxActionWord(id, 0));
        filter.push_back(0);
        IxGetKernel()->AddListener(filter.data(), this);
    }
    ~Recorder() override { IxGetKernel()->RemoveListener(filter.data(), this); }
    int ActionIsInvoked(int code, int kind, LPARAM value) override
    {
        heard.push_back({code, kind, value});
        return 0;
    }
    void Draw(IxPaintRecord*) override {}

    std::vector<DWORD> filter;
    std::vector<frametest::ActionListener::Heard> heard;
};

using Heard = frametest::ActionListener::Heard;

// The menu's steps of volume: a step is 10000 / 60 of the level.
constexpr int kVolumeDivisor = 60;

class GateSheetTest : public frametest::FrameWindowTest {
protected:
    void SetUp() override
    {
        FrameWindowTest::SetUp();
        const std::string images = m_unit.Host("NAND/Wren/Images/");
        std::filesystem::create_directories(images);
        for (const char* folder : {"3Dgate", "Basic", "Bluetooth"})
            std::filesystem::copy(std::string(WREN_ASSETS_UNIT) + "/NAND/Wren/Images/" + folder, images + folder,
                                  std::filesystem::copy_options::recursive);
        // Texture pages as a fresh program has them, whatever ran before here.
        ASSERT_TRUE(GateEgl::Init());
        {
            auto lock = GateGL::Lock();
            GateTexture::ResetAtlases();
        }
        center = std::make_unique<IxModelCenter>(kVolumeDivisor, kVolumeDivisor, 0, 0);
        recorder = new Recorder({IXA_BACK, 430, 3053, 3062, 5202, 5205, 10410});
    }
    void TearDown() override
    {
        delete recorder;
        ReleaseCapture();
        FrameWindowTest::TearDown();
        center.reset();
        platform::Screen::Get().RemoveVideoPlane(platform::kGateLayerPlane);
    }

    // Creates the sheet, lets its loader finish and shows it: the first
    // frame is drawn.
    void Show()
    {
        sheet = new CGateSheet(&shell);
        sheet->StartLoader();
        for (int group = 1; group <= GateLoaderThread::kGroupCount; ++group)
            ASSERT_TRUE(sheet->Loader().WaitUntilResFinished(group, INFINITE));
        ASSERT_TRUE(frame->PushLayer(sheet, nullptr, IXLAYER_SCREEN));
        Pump();
        Frames(1);
    }
    // Lets n frame ticks pass.
    void Frames(int n)
    {
        for (int i = 0; i < n; ++i)
            Tick(CGateSheet::kFrameMs);
    }
    void Tick(int ms)
    {
        clock.Advance(static_cast<std::uint64_t>(ms));
        Pump();
    }
    // Delivers the action as a handler of the frame would: what it queues
    // goes out when the handler ends.
    void Deliver(int id, int kind, LPARAM value)
    {
        {
            IxBusyScope busy(frame);
            IxBroadcast(static_cast<WORD>(id), static_cast<WORD>(kind), value);
        }
        Pump();
    }
    void Tap(int x, int y)
    {
        Down(x, y);
        Up(x, y);
    }
    std::vector<::Heard> HeardOf(int code) const
    {
        std::vector<::Heard> out;
        for (const ::Heard& h : recorder->heard)
            if (h.code == code)
                out.push_back(h);
        return out;
    }
    int VolumeStep() const { return center->GetVolumeStep(ZONE_MAIN); }

    platform::ManualClock clock{100000};
    TempUnit m_unit;
    FakeShell shell;
    std::unique_ptr<IxModelCenter> center;
    Recorder* recorder = nullptr;
    CGateSheet* sheet = nullptr;
};

// Where the main buttons and the sub-button columns are touched.
constexpr int kMainY = 400;
const int kMainX[] = {100, 240, 390, 535, 685};
constexpr int kSubY = 150;

} // namespace

TEST(GateSheetViews, ViewsMapOntoButtonsAndModes)
{
    struct Case {
        int view;
        GateButtonId button;
        GateMode mode;
    };
    const Case cases[] = {
        {3001, GateButtonId::Navigation, GateMode::Navigation},
        {3019, GateButtonId::Navigation, GateMode::Navigation},
        {5202, GateButtonId::Fm, GateMode::Broadcasting},
        {5207, GateButtonId::Am, GateMode::Broadcasting},
        {5210, GateButtonId::None, GateMode::Broadcasting},
        {5218, GateButtonId::Dmb, GateMode::Broadcasting},
        {5219, GateButtonId::Dab, GateMode::Broadcasting},
        {5102, GateButtonId::Video, GateMode::Multimedia},
        {5104, GateButtonId::Photo, GateMode::Multimedia},
        {5350, GateButtonId::Dvd, GateMode::Multimedia},
        {10060, GateButtonId::Camera, GateMode::Devices},
        {5325, GateButtonId::Ipod, GateMode::Devices},
        {5301, GateButtonId::Aux, GateMode::Devices},
        {5370, GateButtonId::Bluetooth, GateMode::Devices},
        {0, GateButtonId::None, GateMode::Settings},
        {10041, GateButtonId::None, GateMode::Settings},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.button, CGateSheet::ViewToButton(c.view)) << c.view;
        EXPECT_EQ(c.mode, CGateSheet::ModeForView(c.view)) << c.view;
    }
}

TEST(GateSceneVolume, BarsAndDigitsStayWithinTheImagesThatExist)
{
    const int cases[][3] = {{0, 0, 0}, {9, 4, 9}, {51, 25, 51}, {52, 25, 52}, {120, 25, 99}, {-3, 0, 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(c[1], CGateScene::VolumeBarIndex(c[0])) << c[0];
        EXPECT_EQ(c[2], CGateScene::VolumeNumber(c[0])) << c[0];
    }
}

TEST_F(GateSheetTest, EachModeShowsItsRowOfSubButtons)
{
    Show();
    EXPECT_TRUE(GetGateUILayerFlag());
    EXPECT_EQ(1, shell.loaded.load());
    const char* names[] = {"Navigation", "Broadcasting", "Multimedia", "Devices", "Settings"};
    for (int mode = 5; mode >= 1; --mode) {
        Tap(kMainX[mode - 1], kMainY);
        EXPECT_EQ(static_cast<GateMode>(mode), sheet->Scene().GetMode());
        Frames(16); // the row flies in over 14 frames
        EXPECT_TRUE(screenshot::ScreenMatchesReference(names[mode - 1])) << names[mode - 1];
    }
    // Navigation without a ready SD card: the program is asked for and
    // Popup01 says the card is missing; a tap on OK closes it.
    EXPECT_EQ((std::vector<::Heard>{{3062, AEV_DEFAULT, 0}}), HeardOf(3062));
    EXPECT_TRUE(sheet->Scene().IsPopup1Shown());
    Tap(400, 360);
    EXPECT_FALSE(sheet->Scene().IsPopup1Shown());
}

TEST_F(GateSheetTest, TheLastSourceOpensWithItsButtonSelected)
{
    shell.lastView = 5205; // AM
    Show();
    EXPECT_EQ(GateMode::Broadcasting, sheet->Scene().GetMode());
    EXPECT_TRUE(sheet->Scene().Images().SubButton(11).Selected());
    EXPECT_TRUE(screenshot::ScreenMatchesReference("AmSelected"));
    // Halfway through the flip of the active main button (frames 2-20, a
    // step every second frame).
    Frames(21);
    EXPECT_EQ(11, sheet->Scene().GetFlipFrame());
    EXPECT_TRUE(screenshot::ScreenMatchesReference("MidFlip"));
}

TEST_F(GateSheetTest, AnFmTapOpensTheFmScreenAfter300Ms)
{
    Show();
    Tap(kMainX[1], kMainY);
    Frames(1);
    Tap(230, kSubY);
    EXPECT_TRUE(sheet->Scene().Images().SubButton(10).Selected());
    Tick(299);
    EXPECT_TRUE(HeardOf(5202).empty());
    Tick(1);
    EXPECT_EQ((std::vector<::Heard>{{5202, AEV_DEFAULT, 0}}), HeardOf(5202));
    Tick(1000);
    EXPECT_EQ(1u, HeardOf(5202).size());
}

TEST_F(GateSheetTest, FmReleasedOffTheButtonOpensNothing)
{
    Show();
    Tap(kMainX[1], kMainY);
    const POINT releases[] = {{340, kSubY}, {291, kSubY}, {230, 250}, {230, 30}};
    for (POINT up : releases) {
        Down(230, kSubY);
        EXPECT_TRUE(sheet->Scene().Images().SubButton(10).Pressed());
        Move(up.x, up.y);
        Up(up.x, up.y);
        EXPECT_FALSE(sheet->Scene().Images().SubButton(10).Pressed()) << up.x << "," << up.y;
        EXPECT_FALSE(sheet->Scene().Images().SubButton(10).Selected());
        EXPECT_EQ(-1, sheet->GetNextView());
    }
    Tick(1000);
    EXPECT_TRUE(HeardOf(5202).empty());
    EXPECT_TRUE(HeardOf(5205).empty());
    // A release on FM after a press elsewhere selects nothing either, though
    // FM was the last sub-button pressed.
    Down(230, 250);
    Up(230, kSubY);
    Tick(1000);
    EXPECT_TRUE(HeardOf(5202).empty());
}

TEST_F(GateSheetTest, TheVolumePopupShowsStep51)
{
    center->SetVolume(51 * (IxModelCenter::kMaxLevel / kVolumeDivisor));
    ASSERT_EQ(51, VolumeStep());
    Show();
    Deliver(481, AEV_SHORTPRESS, 0);
    Frames(1);
    EXPECT_TRUE(sheet->Scene().IsVolumeShown());
    EXPECT_EQ(51, sheet->Scene().GetVolume());
    EXPECT_TRUE(screenshot::ScreenMatchesReference());
    // A touch beside the popup closes it.
    Tap(700, 420);
    EXPECT_FALSE(sheet->Scene().IsVolumeShown());
    EXPECT_FALSE(sheet->IsVolumeMode());
}

TEST_F(GateSheetTest, HeldVolumeRepeatsAfter800MsThenEvery100Ms)
{
    center->SetVolume(20 * (IxModelCenter::kMaxLevel / kVolumeDivisor));
    Show();
    Deliver(481, AEV_SHORTPRESS, 0);
    Down(570, 220); // plus
    EXPECT_TRUE(sheet->Scene().Images().volumePlus.Pressed());
    struct Step {
        int ms;
        int step;
    };
    const Step steps[] = {{799, 20}, {1, 21}, {99, 21}, {1, 22}, {100, 23}, {100, 24}};
    for (const Step& s : steps) {
        Tick(s.ms);
        EXPECT_EQ(s.step, VolumeStep()) << s.ms;
    }
    Up(570, 220); // the release adds one more step, then the repeat ends
    EXPECT_EQ(25, VolumeStep());
    EXPECT_FALSE(sheet->Scene().Images().volumePlus.Pressed());
    Tick(1000);
    EXPECT_EQ(25, VolumeStep());
    EXPECT_EQ(25, sheet->Scene().GetVolume());
    // A tap on minus is one step down.
    Tap(220, 220);
    Tick(1000);
    EXPECT_EQ(24, VolumeStep());
}

TEST_F(GateSheetTest, FiveSecondsWithoutATouchSendTheBackCommand)
{
    Show();
    Tick(4000);
    Tap(kMainX[2], kMainY); // a touch starts the idle time again
    Tick(4999);
    EXPECT_TRUE(HeardOf(IXA_BACK).empty());
    Tick(1);
    EXPECT_EQ((std::vector<::Heard>{{IXA_BACK, AEV_DEFAULT, 3101}}), HeardOf(IXA_BACK));
}

TEST_F(GateSheetTest, LeavingSuspendsRenderingButKeepsTheLayerEnabled)
{
    Show();
    frame->PopLayer(3101);
    Pump();
    EXPECT_TRUE(IsGateRenderingSuspended());
    EXPECT_TRUE(GetGateUILayerFlag()); // the rear-view screen reads this one
    SetGateUILayer(1);
    EXPECT_FALSE(GetGateUILayerFlag());
    EXPECT_FALSE(IsGateRenderingSuspended());
}

// The rear-view camera switches the layer off while the menu stays under
// it: the windows paint again until the layer is back.
TEST_F(GateSheetTest, ALayerSwitchedOffUnderTheMenuLetsTheWindowsPaint)
{
    Show();
    Frames(1);
    EXPECT_TRUE(frame->GetState() & IXFS_PAINTLOCK);
    SetGateUILayer(1);
    Frames(1);
    EXPECT_FALSE(frame->GetState() & IXFS_PAINTLOCK);
    SetGateUILayer(0);
    Frames(1);
    EXPECT_TRUE(frame->GetState() & IXFS_PAINTLOCK);
}

TEST_F(GateSheetTest, TitleButtonsActOnTheirOwnRelease)
{
    Show();
    struct Case {
        int x;
        int code;
        LPARAM value;
    };
    const Case cases[] = {{50, 3053, 0}, {150, 430, 0}, {250, 10410, 0}, {700, IXA_BACK, 3101}};
    for (const Case& c : cases) {
        Tap(c.x, 30);
        EXPECT_EQ((std::vector<::Heard>{{c.code, AEV_DEFAULT, c.value}}), HeardOf(c.code)) << c.x;
    }
    EXPECT_TRUE(sheet->Scene().GetAvFlag()); // AV on/off turned the AV-on image in
    // Pressed on one title button and released on another: nothing.
    Down(150, 30);
    Up(250, 30);
    EXPECT_EQ(1u, HeardOf(430).size());
    EXPECT_EQ(1u, HeardOf(10410).size());
}

TEST_F(GateSheetTest, DeviceEventsAndCallsLeaveTheMenuAndADiscShowsPopup02)
{
    Show();
    Deliver(IXA_DEVICEEVENT, AEV_DEFAULT, 71);
    EXPECT_TRUE(HeardOf(IXA_BACK).empty());
    IxBroadcast(IXA_DEVICEEVENT, AEV_DEFAULT, 70); // delivered at once, not after the message
    EXPECT_EQ(1u, HeardOf(IXA_BACK).size());
    Deliver(10012, AEV_DEFAULT, 0);
    EXPECT_EQ((std::vector<::Heard>(2, {IXA_BACK, AEV_DEFAULT, 3101})), HeardOf(IXA_BACK));

    Deliver(10069, AEV_DEFAULT, 0);
    Frames(1);
    EXPECT_TRUE(sheet->Scene().IsPopup2Shown());
    EXPECT_TRUE(screenshot::ScreenMatchesReference("Popup02"));
    Down(400, 360); // OK pressed
    EXPECT_TRUE(sheet->Scene().Images().popupOk.Pressed());
    Up(400, 360);
    EXPECT_FALSE(sheet->Scene().IsPopup2Shown());
    EXPECT_FALSE(sheet->Scene().Images().popupOk.Pressed());
}

TEST_F(GateSheetTest, ComingUpRemovesTheVolumeOverlayAndFollowsTheAvState)
{
    ASSERT_TRUE(frame->PushLayer(new frametest::Sheet(3040, RECT{168, 158, 632, 322}), nullptr, IXLAYER_SCREEN));
    Pump();
    shell.avOff = TRUE;
    Show();
    EXPECT_FALSE(frame->IsLayerShown(3040));
    EXPECT_TRUE(frame->IsLayerShown(3101));
    EXPECT_TRUE(sheet->Scene().GetAvFlag());
}
