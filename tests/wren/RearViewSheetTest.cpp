// The rear-view camera screen on the manual clock, with the model center
// over the simulated micom and audio processor and the unit's generated
// pictures: the guide-line geometry as loaded, stepped, cut and stored, the
// touch that switches the lines (kept in the micom's block), the caption's
// hold into the adjustment mode, the codes it swallows, what it closes and
// switches when it comes up and what it restores when it goes, and exact
// screenshots over a test picture in the video plane.
#include "Source/screens/settings/RearViewSheet.h"

#include "Lib_cpp/controls/ElementApi.h"
#include "Lib_cpp/image/Image.h"
#include "Source/gate/GateUiLayer.h"
#include "Source/models/ModelCenter.h"
#include "Source/models/UnitLink.h"
#include "Source/shell/ShellIds.h"
#include "platform/gfx/Screen.h"
#include "platform/io/AudioDriver.h"
#include "sim/AudioProcessor.h"
#include "sim/Micom.h"
#include "tests/common/Screenshot.h"
#include "tests/wren/ModelFixture.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using namespace modeltest;
using RV = CRearViewSheet;

constexpr int kCameraView = 5401;
constexpr int kLineHeight = 250; // the generated guide lines are 300 x 250

// The navigation state the screen reads when it goes, and what it held then.
class TestRearView : public CRearViewSheet {
public:
    static inline int s_naviState = 0;
    static inline bool s_hadNaviPicture = false;
    static inline bool s_hadLines = false;
    int NaviState() const override { return s_naviState; }
    void OnDetach() override
    {
        CRearViewSheet::OnDetach();
        s_hadNaviPicture = GetNaviPicture() != nullptr;
        s_hadLines = GetLineImage(SIDE_LEFT) || GetLineImage(SIDE_RIGHT);
    }
};

// A plain layer of an id, to be closed or kept.
class Layer : public IxView {
public:
    explicit Layer(int id) { m_nId = id; }
};

// An older subscriber of the codes the screen takes first.
class Subscriber : public IxElement {
public:
    explicit Subscriber(std::vector<int> codes) : codes(std::move(codes))
    {
        for (int code : this->codes)
            IxGetKernel()->Subscribe(code, this);
    }
    ~Subscriber() override
    {
        for (int code : codes)
            IxGetKernel()->Unsubscribe(code, this);
    }
    int ActionIsInvoked(int code, int, LPARAM) override
    {
        heard.push_back(code);
        return 1;
    }
    void Draw(IxPaintRecord*) override {}
    std::vector<int> codes;
    std::vector<int> heard;
};

// Eight colour bars over a grey ramp: the camera's picture.
std::vector<std::uint16_t> TestPattern()
{
    static const COLORREF kBars[] = {RGB(200, 200, 200), RGB(190, 190, 0), RGB(0, 190, 190), RGB(0, 190, 0),
                                     RGB(190, 0, 190),   RGB(190, 0, 0),   RGB(0, 0, 190),   RGB(16, 16, 16)};
    std::vector<std::uint16_t> pixels(800 * 480);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 800; ++x) {
            COLORREF c = kBars[x / 100];
            if (y >= 360) {
                const int v = x * 255 / 799;
                c = RGB(v, v, v);
            }
            pixels[static_cast<std::size_t>(y) * 800 + static_cast<std::size_t>(x)] = frametest::Px(c);
        }
    return pixels;
}

std::array<BYTE, 32> Payload(const std::array<int, 8>& words)
{
    std::array<BYTE, 32> bytes{};
    for (int i = 0; i < 8; ++i)
        for (int b = 0; b < 4; ++b)
            bytes[4 * i + b] = static_cast<BYTE>(static_cast<DWORD>(words[i]) >> (8 * b));
    return bytes;
}

class RearViewTest : public ModelFixture {
protected:
    void SetUp() override
    {
        namespace fs = std::filesystem;
        const fs::path from = fs::path(WREN_ASSETS_UNIT) / "NAND" / "Wren" / "Images" / "Rear view";
        const fs::path to = fs::path(unit.Root()) / "NAND" / "Wren" / "Images" / "Rear view";
        fs::create_directories(to);
        fs::copy(from, to, fs::copy_options::recursive);
        ModelFixture::SetUp();
        audio = sim::CAudioProcessor::Install();
        micom = sim::CMicom::Install(unit.Host("NEC1.state"));
        GetUnitLink().OpenDevices();
        center = std::make_unique<CModelCenter>();
        ASSERT_TRUE(center->Create());
        TestRearView::s_naviState = 0;
        RV::Restore();
    }
    void TearDown() override
    {
        frame->PopAllLayers();
        Pump();
        RV::Restore();
        platform::Screen::Get().RemoveVideoPlane(0);
        center->Destroy();
        center.reset();
        GetUnitLink().CloseDevices();
        GetUnitLink().ResetStates();
        sim::CMicom::Uninstall();
        sim::CAudioProcessor::Uninstall();
        ModelFixture::TearDown();
    }
    // What the shell does for the camera: the screen made at the frame's
    // size and pushed as a top layer.
    TestRearView* Show()
    {
        auto* view = new TestRearView;
        IxElementParams params{};
        params.Clear();
        params.Set(0, 0, 800, 480, kCameraView, 0);
        view->Create(&params);
        {
            IxBusyScope busy(frame);
            frame->GetKernel()->PushTopLayer(view, nullptr, 1);
        }
        Settle();
        Wait(10); // the camera's audio switch after the paint
        return view;
    }
    void Hide()
    {
        frame->PopLayer(kCameraView);
        Settle();
    }
    // The queue drained in a busy bracket (whose end runs the deferred
    // work), then the window's messages.
    void Settle()
    {
        for (int i = 0; i < 2; ++i) {
            {
                IxBusyScope busy(frame);
                frame->DrainEventQueue();
            }
            Pump();
        }
    }
    void Act(int code, int kind = AEV_DEFAULT)
    {
        PushGlobalAction(code, kind, 0);
        Settle();
    }
    // Waits ms on the manual clock, 10 ms at a time.
    void Wait(int ms)
    {
        for (int done = 0; done < ms; done += 10) {
            clock.Advance(10);
            Pump();
        }
    }
    void Hold(int x, int y, int ms)
    {
        PostMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
        Pump();
        Wait(ms);
        PostMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
        Settle();
    }
    void Tap(int x, int y) { Hold(x, y, 50); }
    void StoreMisc(const std::array<int, 8>& words)
    {
        const std::array<BYTE, 32> bytes = Payload(words);
        std::copy(bytes.begin(), bytes.end(), GetMiscStatus());
    }
    std::array<int, 8> Geometry(const RV* view)
    {
        std::array<int, 8> out{};
        for (int i = 0; i < 8; ++i)
            out[i] = view->GetGeometry(i);
        return out;
    }
    int HideCount() const { return center->GetHideVideoCount(); }

    std::shared_ptr<sim::CAudioProcessor> audio;
    std::shared_ptr<sim::CMicom> micom;
    std::unique_ptr<CModelCenter> center;
};

TEST_F(RearViewTest, GeometryLoadsWithItsRangesCheckedAndZerosWithoutAPayload)
{
    struct Case {
        const char* name;
        std::array<int, 8> stored;
        std::array<int, 8> loaded;
    };
    const Case cases[] = {
        {"in range", {9, 0, 9, 3, 0, 9, 6, 2}, {9, 0, 9, 3, 0, 9, 6, 2}},
        {"an x step of 12", {1, 2, 12, 3, 4, 5, 6, 0}, {1, 2, 0, 3, 4, 5, 6, 0}},
        {"negative and too large", {-1, 10, 3, -5, 10, 4, 7, 6}, {0, 0, 3, 0, 0, 4, 0, 6}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::array<int, 8> geometry{};
        RV::LoadGeometry(Payload(c.stored).data(), geometry.data());
        EXPECT_EQ(geometry, c.loaded);
    }
    std::array<int, 8> geometry{1, 1, 1, 1, 1, 1, 1, 1};
    RV::LoadGeometry(nullptr, geometry.data());
    EXPECT_EQ(geometry, (std::array<int, 8>{}));

    // The screen reads the Misc payload when it is made.
    StoreMisc({4, 7, 12, 2, 3, 1, 6, 9});
    RV* view = Show();
    EXPECT_EQ(Geometry(view), (std::array<int, 8>{4, 7, 0, 2, 3, 1, 6, 0}));
}

TEST_F(RearViewTest, UpAndDownStepEachModeWithinItsLimitsAndTheShapesGoRound)
{
    struct Case {
        int mode;
        BOOL up;
        int index; // the left side's value
        int before;
        int after; // == before: refused
    };
    const Case cases[] = {
        {RV::MODE_X, TRUE, RV::G_X, 0, 1},         {RV::MODE_X, TRUE, RV::G_X, 9, 9},
        {RV::MODE_X, FALSE, RV::G_X, 0, 0},        {RV::MODE_X, FALSE, RV::G_X, 5, 4},
        {RV::MODE_Y, TRUE, RV::G_Y, 5, 4},         {RV::MODE_Y, TRUE, RV::G_Y, 0, 0},
        {RV::MODE_Y, FALSE, RV::G_Y, 9, 9},        {RV::MODE_Y, FALSE, RV::G_Y, 8, 9},
        {RV::MODE_SHAPE, TRUE, RV::G_SHAPE, 9, 0}, {RV::MODE_SHAPE, FALSE, RV::G_SHAPE, 0, 9},
        {RV::MODE_SHAPE, TRUE, RV::G_SHAPE, 4, 5}, {RV::MODE_CUT, TRUE, RV::G_CUT, 3, 2},
        {RV::MODE_CUT, TRUE, RV::G_CUT, 0, 0},     {RV::MODE_CUT, FALSE, RV::G_CUT, 6, 6},
        {RV::MODE_CUT, FALSE, RV::G_CUT, 5, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << (c.up ? " up from " : " down from ") << c.before);
        std::array<int, 8> geometry{};
        geometry[c.index] = c.before;
        geometry[c.index + 1] = 3; // the other side stays
        EXPECT_EQ(RV::StepGeometry(geometry.data(), RV::SIDE_LEFT, c.mode, c.up), c.after != c.before);
        EXPECT_EQ(geometry[c.index], c.after);
        EXPECT_EQ(geometry[c.index + 1], 3);
    }

    // Through the buttons: the right selector twice (shape mode), then up
    // shows the next shape's picture; the left side keeps its x mode.
    RV* view = Show();
    Hold(300, 20, RV::kCaptionHoldMs + 20);
    ASSERT_TRUE(view->IsAdjusting());
    Act(RV::ID_RIGHTMODE);
    Act(RV::ID_RIGHTMODE);
    Act(RV::ID_RIGHTUP);
    Act(RV::ID_LEFTUP);
    EXPECT_EQ(Geometry(view), (std::array<int, 8>{0, 1, 1, 0, 0, 0, 0, 0}));
    EXPECT_NE(view->GetLineImage(RV::SIDE_RIGHT), nullptr);
}

TEST_F(RearViewTest, LineRectanglesFollowTheStepsAndACutOfSixTakesTwelvePercentOffTheTop)
{
    StoreMisc({0, 0, 3, 9, 2, 0, 6, 0});
    RV* view = Show();
    const RECT left = view->LineRect(RV::SIDE_LEFT);
    const RECT right = view->LineRect(RV::SIDE_RIGHT);
    EXPECT_EQ(left.left, 1 + 30);
    EXPECT_EQ(left.right, 31 + 300);
    EXPECT_EQ(left.bottom, 179 + 10 + kLineHeight);
    EXPECT_EQ(left.top, 179 + 10 + kLineHeight * 12 / 100);
    EXPECT_EQ(right.right, 799 - 90);
    EXPECT_EQ(right.left, 709 - 300);
    EXPECT_EQ(right.top, 179);
    EXPECT_EQ(right.bottom, 179 + kLineHeight);
}

TEST_F(RearViewTest, StoreWritesTheEightValuesIntoTheMiscRecordAndUnstoredStepsAreLost)
{
    RV* view = Show();
    Hold(300, 20, RV::kCaptionHoldMs + 20);
    ASSERT_TRUE(view->IsAdjusting());
    Act(RV::ID_LEFTUP); // left x 1
    Act(RV::ID_RIGHTMODE);
    Act(RV::ID_RIGHTDOWN); // right y 1
    Act(RV::ID_LEFTMODE);
    Act(RV::ID_LEFTMODE);
    Act(RV::ID_LEFTMODE);
    Act(RV::ID_LEFTDOWN); // left cut 1
    Act(RV::ID_STORE);
    const std::array<BYTE, 32> expected = Payload({0, 0, 1, 0, 0, 1, 1, 0});
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), GetMiscStatus()));
    std::ifstream file(unit.Host("NAND/DATA/Wren_Misc.reg"), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    ASSERT_EQ(bytes.size(), 48u);
    EXPECT_EQ(bytes.substr(16), std::string(expected.begin(), expected.end()));

    // Not stored: gone with the screen.
    Act(RV::ID_LEFTUP);
    EXPECT_EQ(view->GetGeometry(RV::G_CUT), 0);
    Hide();
    view = Show();
    EXPECT_EQ(Geometry(view), (std::array<int, 8>{0, 0, 1, 0, 0, 1, 1, 0}));
}

TEST_F(RearViewTest, TouchSwitchesTheLinesIntoTheMicomsBlockButNotWhileAdjusting)
{
    GetBlock0()[B0_REARVIEW] = 1;
    RV* view = Show();
    ASSERT_TRUE(view->AreLinesVisible());
    Tap(400, 300);
    EXPECT_FALSE(view->AreLinesVisible());
    EXPECT_EQ(GetBlock0()[B0_REARVIEW], 0);
    EXPECT_EQ(micom->StoredBlock0()[B0_REARVIEW], 0);
    Tap(400, 300);
    EXPECT_TRUE(view->AreLinesVisible());
    EXPECT_EQ(micom->StoredBlock0()[B0_REARVIEW], 1);

    // Adjusting: touches on the free area change nothing.
    Hold(300, 20, RV::kCaptionHoldMs + 20);
    ASSERT_TRUE(view->IsAdjusting());
    Tap(400, 300);
    EXPECT_TRUE(view->AreLinesVisible());
    EXPECT_EQ(micom->StoredBlock0()[B0_REARVIEW], 1);

    // A screen made later starts with the stored choice.
    GetBlock0()[B0_REARVIEW] = 0;
    Hide();
    EXPECT_FALSE(Show()->AreLinesVisible());
}

TEST_F(RearViewTest, HoldingTheCaptionASecondSwitchesTheAdjustmentButtons)
{
    RV* view = Show();
    Hold(300, 20, RV::kCaptionHoldMs - 100);
    EXPECT_FALSE(view->IsAdjusting());
    Hold(300, 20, RV::kCaptionHoldMs + 20);
    EXPECT_TRUE(view->IsAdjusting());
    for (int id = RV::ID_STORE; id <= RV::ID_RIGHTDOWN; ++id)
        EXPECT_NE(view->FindChildDeep(id), nullptr) << id;
    Hold(300, 20, RV::kCaptionHoldMs + 20);
    EXPECT_FALSE(view->IsAdjusting());
    for (int id = RV::ID_STORE; id <= RV::ID_RIGHTDOWN; ++id)
        EXPECT_EQ(view->FindChildDeep(id), nullptr) << id;
}

TEST_F(RearViewTest, WhileUpTheScreenTakesTheModeAndTiltCodesBeforeOlderSubscribers)
{
    const std::vector<int> codes{ACMD_KEY_MODE,        FID_EXT_MODEPOPUP,      FID_EXT_SEEKUPHELD,
                                 FID_EXT_SEEKDOWNHELD, KEY_REMOTE_RIGHTUPHELD, KEY_REMOTE_105HELD};
    Subscriber older(codes);
    Show();
    for (int code : codes)
        Act(code, AEV_HOLDSTART);
    EXPECT_TRUE(older.heard.empty());
    Hide();
    for (int code : codes)
        Act(code, AEV_HOLDSTART);
    EXPECT_EQ(older.heard, codes);
}

TEST_F(RearViewTest, ComingUpClosesThePopupLayersAndTheMenuLayerAndTakesVideoAndAudio)
{
    const std::vector<int> closed{FID_VOLUME, FID_MODEPOPUP, FID_BTCALLSMALL, 3320, 11375};
    for (int id : closed)
        frame->PushLayer(new Layer(id), nullptr, IXLAYER_POPUP - 1);
    frame->PushLayer(new Layer(5555), nullptr, IXLAYER_POPUP - 1);
    gate::SetGateUILayer(0);
    ASSERT_TRUE(gate::GetGateUILayerFlag());
    Show();
    for (int id : closed)
        EXPECT_EQ(frame->IsLayerShown(id), nullptr) << id;
    EXPECT_NE(frame->IsLayerShown(5555), nullptr);
    EXPECT_EQ(RV::GetClosedCallScreen(), RV::CALL_SMALL);
    EXPECT_FALSE(gate::GetGateUILayerFlag());
    EXPECT_TRUE(GetCameraAudioMode());
    EXPECT_EQ(HideCount(), 1);
    EXPECT_FALSE(RV::IsActive());
    // The menu that showed under the camera gets its layer back.
    Hide();
    EXPECT_TRUE(gate::GetGateUILayerFlag());
}

// What the display was handed while the camera's audio path was still off.
class AudioWatch : public platform::ScreenBackend {
public:
    explicit AudioWatch(sim::CAudioProcessor* audio) : audio(audio) {}
    void Present(const std::uint16_t*, int, int, const RECT& dirty) override
    {
        if (audio->Value(AudioIoctl::CameraAudio) != 1 && dirty.top <= 20 && dirty.bottom > 20)
            ++beforeAudio;
    }
    bool PollInput(platform::InputEvent&) override { return false; }
    sim::CAudioProcessor* audio;
    int beforeAudio = 0;
};

TEST_F(RearViewTest, TheScreenIsShownBeforeTheAudioWaitsForTheCameraPath)
{
    auto watch = std::make_unique<AudioWatch>(audio.get());
    AudioWatch* seen = watch.get();
    platform::Screen::Get().SetBackend(std::move(watch));
    Show();
    const int before = seen->beforeAudio;
    platform::Screen::Get().SetBackend(nullptr);
    EXPECT_GE(before, 1);
    EXPECT_EQ(audio->Value(AudioIoctl::CameraAudio), 1);
}

TEST_F(RearViewTest, GoingAwayRestoresAtOnceOrLeavesItPendingByTheNavigationState)
{
    struct Case {
        int naviState;
        bool pending;
        bool naviPicture;
    };
    const Case cases[] = {{1, false, true}, {2, false, false}, {3, true, false}, {0, true, false}, {4, true, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.naviState);
        Show();
        TestRearView::s_naviState = c.naviState;
        Hide();
        TestRearView::s_naviState = 0;
        EXPECT_EQ(RV::IsActive(), c.pending);
        EXPECT_EQ(TestRearView::s_hadNaviPicture, c.naviPicture);
        EXPECT_FALSE(TestRearView::s_hadLines);
        EXPECT_EQ(HideCount(), c.pending ? 1 : 0);
        EXPECT_EQ(GetCameraAudioMode(), c.pending);
        // Leave finishes a pending restoration.
        RV::Leave();
        EXPECT_FALSE(RV::IsActive());
        EXPECT_EQ(HideCount(), 0);
        EXPECT_FALSE(GetCameraAudioMode());
    }
}

TEST_F(RearViewTest, CameraBackBeforeAPendingRestorationKeepsOneHideOfTheVideo)
{
    Show();
    Hide(); // navigation state 0: pending
    ASSERT_TRUE(RV::IsActive());
    Show();
    EXPECT_FALSE(RV::IsActive());
    EXPECT_EQ(HideCount(), 1);
    TestRearView::s_naviState = 2;
    Hide();
    EXPECT_EQ(HideCount(), 0);
    EXPECT_FALSE(GetCameraAudioMode());
}

TEST_F(RearViewTest, WithoutTheModelCenterNothingIsReadOrWritten)
{
    center->Destroy();
    center.reset();
    ASSERT_EQ(GetBlock0(), nullptr);
    ASSERT_EQ(GetMiscStatus(), nullptr);
    RV* view = Show();
    EXPECT_TRUE(view->AreLinesVisible());
    EXPECT_EQ(Geometry(view), (std::array<int, 8>{}));
    Tap(400, 300);
    EXPECT_FALSE(view->AreLinesVisible());
    Hold(300, 20, RV::kCaptionHoldMs + 20);
    Act(RV::ID_LEFTUP);
    Act(RV::ID_STORE);
    EXPECT_EQ(view->GetGeometry(RV::G_X), 1);
    Hide();
    center = std::make_unique<CModelCenter>();
    ASSERT_TRUE(center->Create());
}

// ---------------------------------------------------------------------------
// Screenshots

using RearViewScreenshot = RearViewTest;

TEST_F(RearViewScreenshot, GuideLinesOverTheCameraPicture)
{
    const std::vector<std::uint16_t> pattern = TestPattern();
    ASSERT_TRUE(platform::Screen::Get().SetVideoPlane(0, RECT{0, 0, 800, 480}, pattern.data(), 800));
    StoreMisc({0, 9, 2, 2, 0, 0, 0, 0});
    Show();
    Pump();
    EXPECT_TRUE(screenshot::ScreenMatchesReference());
}

TEST_F(RearViewScreenshot, AdjustmentModeWithItsSevenButtons)
{
    const std::vector<std::uint16_t> pattern = TestPattern();
    ASSERT_TRUE(platform::Screen::Get().SetVideoPlane(0, RECT{0, 0, 800, 480}, pattern.data(), 800));
    GetBlock0()[B0_REARVIEW] = 0; // the lines show while adjusting anyway
    RV* view = Show();
    Hold(300, 20, RV::kCaptionHoldMs + 20);
    ASSERT_TRUE(view->IsAdjusting());
    Act(RV::ID_LEFTMODE);
    Act(RV::ID_LEFTMODE); // the left side in shape mode
    Act(RV::ID_LEFTUP);
    Act(RV::ID_LEFTUP);
    Act(RV::ID_RIGHTUP); // the right line 10 px inward
    Pump();
    EXPECT_TRUE(screenshot::ScreenMatchesReference());
}

} // namespace
