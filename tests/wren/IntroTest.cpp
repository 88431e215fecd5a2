// The intro on the manual clock, as the shell runs it: a page of the kernel
// frame made active and shown, over the unit's generated pictures and
// sounds, with the simulated audio processor behind "ASP1:".
#include "Source/shell/Intro.h"

#include "Lib_cpp/controls/ElementApi.h"
#include "Source/models/UnitLink.h"
#include "Source/shell/ShellIds.h"
#include "platform/base/Clock.h"
#include "platform/ui/Sound.h"
#include "sim/AudioProcessor.h"
#include "tests/common/ActionListener.h"
#include "tests/common/FrameScreenshot.h"
#include "tests/common/TempUnit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

namespace {

using namespace frametest;

// The unit's pictures and sounds the intro reads, copied into a unit of the
// test's own before the frame window opens.
class IntroUnit {
public:
    IntroUnit()
    {
        namespace fs = std::filesystem;
        const fs::path assets = fs::path(WREN_ASSETS_UNIT) / "NAND" / "Wren";
        const fs::path wren = fs::path(unit.Root()) / "NAND" / "Wren";
        fs::create_directories(wren / "Images" / "3Dgate");
        fs::create_directories(wren / "wav");
        fs::copy(assets / "Images" / "logo", wren / "Images" / "logo", fs::copy_options::recursive);
        fs::copy_file(assets / "Images" / "3Dgate" / "type07.bmp", wren / "Images" / "3Dgate" / "type07.bmp");
        fs::copy_file(assets / "wav" / "Intro.wav", wren / "wav" / "Intro.wav");
    }
    TempUnit unit{"wren-intro"};
};

class IntroTest : public FrameScreenshotTest {
protected:
    void SetUp() override
    {
        FrameScreenshotTest::SetUp();
        audio = sim::CAudioProcessor::Install();
        ASSERT_TRUE(GetUnitLink().m_hAudio.Open(u"ASP1:"));
        ends = std::make_unique<ActionListener>(FID_INTRO);
        platform::ClearPlayedSounds();
    }
    void TearDown() override
    {
        ends.reset();
        FrameScreenshotTest::TearDown();
        GetUnitLink().CloseDevices();
        sim::CAudioProcessor::Uninstall();
    }
    // What the shell does to run the intro: the page made active (the
    // intro's creation, t = 0), then shown.
    void RunIntro()
    {
        intro = new CIntro;
        frame->AddPage(intro);
        start = clock.Now();
        frame->SetActivePage(intro, 0, 0);
        intro->Show(TRUE, TRUE);
        Pump();
    }
    // Moves the clock to t ms after the intro's creation, stopping at every
    // multiple of 5 ms so that each timer fires on its tick.
    void RunTo(int t)
    {
        const std::uint64_t until = start + static_cast<std::uint64_t>(t);
        while (clock.Now() < until) {
            const std::uint64_t next = start + ((clock.Now() - start) / 5 + 1) * 5;
            clock.Set(std::min(next, until));
            Pump();
        }
    }
    CIntroLetter* Letter(int id) { return dynamic_cast<CIntroLetter*>(intro->FindChildDeep(id)); }
    int EndsQueued() const { return static_cast<int>(ends->heard.size()); }

    IntroUnit files;
    platform::ManualClock clock{50000};
    std::shared_ptr<sim::CAudioProcessor> audio;
    std::unique_ptr<ActionListener> ends;
    CIntro* intro = nullptr;
    std::uint64_t start = 0;
};

// Where a letter stands, whether it is seen and the frame it shows.
struct LetterAt {
    int t;
    int id;
    bool shown;
    int x, y, frame;
};

TEST_F(IntroTest, LettersSlideTwinkleAndTwinkleAgainOnTheirTimes)
{
    RunIntro();
    const int V = FID_INTRO_LETTER_V, O = FID_INTRO_LETTER_O, L = FID_INTRO_LETTER_L, C = FID_INTRO_CAPTION;
    const LetterAt table[] = {
        {0, V, false, 720, 172, 0},    // every letter waits, hidden, at its start
        {0, C, false, 276, 460, 0},    //
        {100, V, true, 641, 172, 0},   // V slides at once: two 50 ms steps
        {299, O, false, 800, 172, 0},  // O waits 300 ms
        {350, O, true, 744, 172, 0},   // then steps like V
        {700, V, true, 167, 172, 0},   // V's 14th and last step
        {1050, V, true, 167, 172, 3},  // its twinkle: three frames up ...
        {1350, V, true, 167, 172, 0},  // ... and three down
        {1400, C, true, 276, 460, 0},  // the caption appears after 1400 ms
        {1400, L, true, 720, 172, 0},  //
        {2300, C, true, 276, 279, 0},  // and has risen in 18 steps
        {2300, L, true, 553, 172, 1},  // L is still twinkling ...
        {2350, L, true, 553, 172, 0},  // ... when all start twinkling again
        {2650, V, true, 167, 172, 3},  // together: up ...
        {2650, L, true, 553, 172, 3},  //
        {2650, C, true, 276, 279, 3},  //
        {2950, C, true, 276, 279, 0},  // ... and down
        {2950, L, true, 553, 172, 0},  //
        {10500, O, true, 239, 172, 0}, // where they stay
    };
    for (const LetterAt& row : table) {
        RunTo(row.t);
        CIntroLetter* letter = Letter(row.id);
        ASSERT_NE(letter, nullptr) << row.id;
        RECT rc;
        letter->GetRect(&rc);
        LPARAM unused = 0;
        EXPECT_EQ(!letter->HasFlag(IXF_HIDDEN), row.shown) << row.t << " " << row.id;
        EXPECT_EQ(rc.left, row.x) << row.t << " " << row.id;
        EXPECT_EQ(rc.top, row.y) << row.t << " " << row.id;
        EXPECT_EQ(QueryChild(letter, FID_INTRO_IMAGE, IXQ_CURFRAME, &unused), row.frame) << row.t << " " << row.id;
    }
}

TEST_F(IntroTest, ShownPlaysTheChimeOnceAndSendsTheSixIntroSteps)
{
    RunIntro();
    RunTo(3500);
    const auto played = platform::PlayedSounds();
    ASSERT_EQ(played.size(), 1u);
    EXPECT_EQ(played[0].path, u"\\NAND\\Wren\\wav\\Intro.wav");
    EXPECT_EQ(played[0].tick, static_cast<DWORD>(start));
    EXPECT_EQ(audio->IntroSteps(), (std::vector<BYTE>{0, 1, 2, 3, 4, 5}));
}

TEST_F(IntroTest, ModeKeyAndModePopupGoNoFurtherWhileTheIntroIsUp)
{
    ActionListener key(ACMD_KEY_MODE);
    ActionListener popup(FID_EXT_MODEPOPUP);
    RunIntro();
    IxBroadcast(ACMD_KEY_MODE, AEV_PRESS, 0);
    IxBroadcast(FID_EXT_MODEPOPUP, AEV_DEFAULT, 0);
    EXPECT_TRUE(key.heard.empty());
    EXPECT_TRUE(popup.heard.empty());

    // Once the intro has gone, they reach the shell again.
    frame->SetActivePage(nullptr, 0, 0);
    Pump();
    IxBroadcast(ACMD_KEY_MODE, AEV_PRESS, 0);
    IxBroadcast(FID_EXT_MODEPOPUP, AEV_DEFAULT, 0);
    EXPECT_EQ(key.heard.size(), 1u);
    EXPECT_EQ(popup.heard.size(), 1u);
}

TEST_F(IntroTest, TheCaptionEndsTheIntroOnceAndTheEndTimerAddsNothing)
{
    RunIntro();
    RunTo(3045);
    EXPECT_EQ(EndsQueued(), 0);
    RunTo(3050); // the caption's second twinkle is over
    EXPECT_EQ(EndsQueued(), 1);
    EXPECT_EQ(CIntro::TimedLengthMs(), 3050);
    RunTo(10500);
    EXPECT_EQ(EndsQueued(), 1);
    EXPECT_EQ(ends->heard[0], (ActionListener::Heard{FID_INTRO, AEV_DEFAULT, 0}));
}

TEST_F(IntroTest, StalledLettersEndTheIntroAfterTenSecondsOnce)
{
    RunIntro();
    // The caption's timers stall before it has arrived.
    RunTo(1000);
    KillElementTimer(Letter(FID_INTRO_CAPTION), 0);
    RunTo(9995);
    EXPECT_EQ(EndsQueued(), 0);
    RunTo(10000);
    EXPECT_EQ(EndsQueued(), 1);
    // The caption finishes late: the end is not queued again.
    IxGetKernel()->PostAction(ACMD_INTRO_RETWINKLE, AEV_DEFAULT, 0);
    RunTo(11000);
    EXPECT_FALSE(IxGetKernel()->IsTimerSet(Letter(FID_INTRO_CAPTION), TMID_RE_TWINKLE));
    EXPECT_EQ(EndsQueued(), 1);
}

TEST_F(IntroTest, BackgroundIsTheNamedPictureWhenItExistsElseTheWallpaper)
{
    const std::u16string wallpaper = u"\\NAND\\Wren\\Images\\3Dgate\\type07.bmp";
    EXPECT_EQ(CIntro::BackgroundPath(nullptr), wallpaper);
    EXPECT_EQ(CIntro::BackgroundPath(u""), wallpaper);
    EXPECT_EQ(CIntro::BackgroundPath(u"\\NAND\\Wren\\Images\\3Dgate\\missing.bmp"), wallpaper);
    EXPECT_EQ(CIntro::BackgroundPath(u"\\NAND\\Wren\\Images\\logo\\ani_v_1.png"),
              u"\\NAND\\Wren\\Images\\logo\\ani_v_1.png");
}

TEST_F(IntroTest, Screens)
{
    RunIntro();
    RunTo(750); // V has arrived, O is on its way
    Repaint();
    EXPECT_TRUE(screenshot::ScreenMatchesReference());
    RunTo(1600); // the caption rises under the name
    Repaint();
    EXPECT_TRUE(screenshot::ScreenMatchesReference("Caption"));
    RunTo(2650); // all of it, twinkling together
    Repaint();
    EXPECT_TRUE(screenshot::ScreenMatchesReference("Twinkle"));
}

} // namespace
