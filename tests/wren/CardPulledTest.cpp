// The card that holds the navigation program, inserted and pulled on the
// simulated board the way the board console does it ("card insert sd1
// FOLDER --navi", "card remove sd1"): the main window hears the connection
// status, the storage watcher reports storage 10, and CKernelObj makes the
// navigation startable, or, pulled while the program runs, shows the
// card-removal popup and ends the navigation.
#include "Lib_cpp/core/ActionCodes.h"
#include "Source/models/ModelCodes.h"
#include "Source/models/UnitLink.h"
#include "Source/screens/common/WindowedMessagePopup.h"
#include "Source/shell/KernelObj.h"
#include "Source/shell/MainWnd.h"
#include "Source/shell/ShellIds.h"
#include "platform/base/Clock.h"
#include "sim/Board.h"
#include "tests/common/ActionListener.h"
#include "tests/common/FrameWindow.h"
#include "tests/common/TempFolder.h"
#include "tests/common/TempUnit.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Log = std::vector<std::string>;

// CKernelObj with the navigation's end logged and its state reachable.
class CardKernelObj : public CKernelObj {
public:
    static inline CardKernelObj* s_last = nullptr;
    static inline Log* s_log = nullptr;
    CardKernelObj() { s_last = this; }
    ~CardKernelObj() override
    {
        if (s_last == this)
            s_last = nullptr;
    }
    void NaviIsFailed(int code) override { s_log->push_back("NaviIsFailed " + std::to_string(code)); }
    void NaviIsClosed() override { s_log->push_back("NaviIsClosed"); }
    void LaunchNaviSafe() override { s_log->push_back("LaunchNaviSafe"); }
    void SetRunning(int naviMode)
    {
        m_nMode = VCMODE_RUN;
        m_nDaemons = 0;
        m_nNaviMode = naviMode;
    }
    void SetNaviAtFirst(BOOL on) { m_fNaviAtFirst = on; }
    int NaviMode() const { return m_nNaviMode; }
};

// The unit's frame without its screens: only the kernel application object.
class CardFrame : public IxKernelFrame {
public:
    CardFrame(HINSTANCE instance, IxFrameWnd* window)
        : IxKernelFrame(instance, window, g_uIxNotifyAction, g_uIxRecall, g_uIxFromExternal)
    {
    }
    IxElement* Created() override
    {
        SetHook(new CardKernelObj);
        return nullptr;
    }
};

class CardWnd : public CMainWnd {
protected:
    IxKernelFrame* NewKernelFrame(HINSTANCE instance) override { return new CardFrame(instance, this); }
};

constexpr const WCHAR* kClass = u"CardPulledClass";

class CardPulled : public ::testing::Test {
protected:
    void SetUp() override
    {
        clock.SetSleepAdvances(true);
        ASSERT_TRUE(unit.IsOpen());
        GetUnitLink().ResetStates();
        CardKernelObj::s_log = &log;
        board = std::make_unique<sim::CBoard>();
        window = frametest::OpenFrameWindow<CardWnd>(kClass);
        ASSERT_NE(window, nullptr);
        hwnd = window->GetHandle();
        Run(100);
        core = CardKernelObj::s_last;
        ASSERT_NE(core, nullptr);
        std::ofstream(folder.Path() + "/song.mp3") << "music";
    }
    void TearDown() override
    {
        // Not an application's main window: the test owns the object.
        if (IsWindow(hwnd))
            DestroyWindow(hwnd);
        delete window;
        window = nullptr;
        frametest::CloseFrameWindow(hwnd, kClass);
        GetUnitLink().CloseDevices();
        GetUnitLink().ResetStates();
        board.reset();
        CardKernelObj::s_log = nullptr;
    }
    // Lets the unit run for a while, 50 ms at a time.
    void Run(int ms)
    {
        for (int done = 0; done <= ms; done += 50) {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageW(&msg);
            clock.Advance(50);
        }
    }
    std::string Board(const std::vector<std::string>& words) { return board->Run(words); }

    platform::ManualClock clock;
    TempUnit unit{"wren-cardpulled"};
    TempFolder folder{"wren-card"};
    std::unique_ptr<sim::CBoard> board;
    CMainWnd* window = nullptr;
    HWND hwnd = nullptr;
    CardKernelObj* core = nullptr;
    Log log;
};

TEST_F(CardPulled, CardWithTheNavigationProgramMakesItStartable)
{
    struct Case {
        const char* name;
        int naviMode;
        BOOL naviFirst;
        int naviModeAfter;
        Log log;
    };
    const Case cases[] = {
        {"navigation first: the start waits for the unit's start-up", NAVI_NONE, TRUE, NAVI_STARTABLE, {}},
        {"started at once", NAVI_NONE, FALSE, NAVI_STARTABLE, {"LaunchNaviSafe"}},
        {"already running: left alone", NAVI_READY, FALSE, NAVI_READY, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        core->SetRunning(c.naviMode);
        core->SetNaviAtFirst(c.naviFirst);
        ASSERT_EQ(Board({"card", "insert", "sd1", folder.Path(), "--navi"}), "OK");
        Run(3000);
        EXPECT_EQ(core->NaviMode(), c.naviModeAfter);
        EXPECT_EQ(log, c.log);
        ASSERT_EQ(Board({"card", "remove", "sd1"}), "OK");
        core->SetRunning(NAVI_NONE);
        Run(3000);
        log.clear();
    }
}

TEST_F(CardPulled, CardPulledWhileTheNavigationRunsEndsIt)
{
    ASSERT_EQ(Board({"card", "insert", "sd1", folder.Path(), "--navi"}), "OK");
    Run(3000);
    core->SetRunning(NAVI_READY);
    log.clear();
    frametest::ActionListener answer(FID_NAVI_DETACH_POPUP);
    ASSERT_EQ(Board({"card", "remove", "sd1"}), "OK");
    Run(1000);
    EXPECT_EQ(log, (Log{"NaviIsClosed"}));
    EXPECT_EQ(core->NaviMode(), NAVI_NONE);
    IxKernelFrame* frame = window->GetKernelFrame();
    auto* popup = dynamic_cast<CWindowedMessagePopup*>(frame->IsLayerShown(FID_NAVI_DETACH_POPUP));
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(std::u16string(popup->GetText().Text()),
              u"루모3D 맵을 종료하지 않고 SD CARD를 제거하여\n안전한 동작을 위하여 5초 뒤 재부팅 합니다.");
    EXPECT_EQ(popup->GetStyle(), MPS_INFORMATION);
    EXPECT_EQ(popup->GetButtons(), MPB_CANCEL);
    EXPECT_TRUE(answer.heard.empty());
    // 5000 ms after it came up it closes with its answer, which the unit's
    // reset step takes.
    Run(5000);
    ASSERT_EQ(answer.heard.size(), 1u);
    EXPECT_EQ(answer.heard[0].kind, AEV_COMPLETE);
    EXPECT_EQ(frame->IsLayerShown(FID_NAVI_DETACH_POPUP), nullptr);
}

TEST_F(CardPulled, CardWithoutTheProgramComesAndGoesQuietly)
{
    core->SetRunning(NAVI_NONE);
    ASSERT_EQ(Board({"card", "insert", "sd1", folder.Path()}), "OK");
    Run(3000);
    EXPECT_EQ(core->NaviMode(), NAVI_NONE);
    ASSERT_EQ(Board({"card", "remove", "sd1"}), "OK");
    Run(3000);
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(core->NaviMode(), NAVI_NONE);
    EXPECT_EQ(window->GetKernelFrame()->IsLayerShown(FID_NAVI_DETACH_POPUP), nullptr);
}

TEST_F(CardPulled, FactoryResetOnTheBoardClearsTheUsersFilesAndRestartsTheUnit)
{
    namespace fs = std::filesystem;
    fs::create_directories(folder.Path() + "/PhoneBook");
    fs::create_directories(folder.Path() + "/USER_BG");
    std::ofstream(folder.Path() + "/PhoneBook/PhonebookList.reg") << "numbers";
    std::ofstream(folder.Path() + "/USER_BG/User_BG.bmp") << "picture";
    ASSERT_EQ(Board({"card", "insert", "sd1", folder.Path(), "--navi"}), "OK");
    Run(3000);
    const std::string card = sim::CBoard::CardFolder(sim::BoardCard::Sd1);
    ASSERT_TRUE(fs::exists(card + "/PhoneBook/PhonebookList.reg"));
    const int inits = board->Micom().Inits();
    {
        IxBusyScope busy(window->GetKernelFrame());
        core->FactoryReset();
    }
    Run(100);
    EXPECT_FALSE(fs::exists(card + "/PhoneBook/PhonebookList.reg"));
    EXPECT_FALSE(fs::exists(card + "/USER_BG/User_BG.bmp"));
    EXPECT_TRUE(fs::exists(card + "/song.mp3"));
    EXPECT_EQ(board->Gps().Sentences(), (std::vector<std::string>{"PSTMDRINIT"}));
    EXPECT_EQ(board->Micom().Inits(), inits + 1);
    EXPECT_TRUE(board->Micom().Resets().empty());
    Run(3000);
    EXPECT_EQ(board->Gps().Sentences(), (std::vector<std::string>{"PSTMDRINIT", "PSTMPWDN"}));
    EXPECT_TRUE(board->Gps().PoweredDown());
    EXPECT_EQ(board->Micom().Resets(), (std::vector<DWORD>{0}));
}

} // namespace
