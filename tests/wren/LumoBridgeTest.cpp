// The link to the navigation program against the simulated program: the
// bytes of each command as the program receives them, the effect of each
// notification, the hold, the delayed close after the start, and a hung
// program that costs the user-interface thread no more than the time-out.
#include "Source/shell/LumoBridge.h"

#include "Lib_cpp/kernel/Kernel.h"
#include "Source/models/UnitLink.h"
#include "Source/shell/ShellIds.h"
#include "platform/base/Clock.h"
#include "platform/base/Debug.h"
#include "platform/os/Process.h"
#include "sim/AudioProcessor.h"
#include "sim/NaviProgram.h"
#include "tests/common/FrameWindow.h"
#include "tests/common/TempUnit.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Sent {
    ULONG_PTR data;
    Bytes bytes;
    bool operator==(const Sent&) const = default;
};

class Owner : public CLumoOwner {
public:
    void AddRef() override { ++refs; }
    int Release() override { return --refs; }
    void OnLumoNotice(LumoNotice notice) override { notices.push_back(static_cast<int>(notice)); }
    BOOL IsNaviEnabled() const override { return enabled; }
    BOOL IsCallActive() const override { return call; }
    BOOL IsGuidanceAllowed() const override { return guidance; }

    int refs = 1;
    BOOL enabled = TRUE;
    BOOL guidance = TRUE;
    BOOL call = FALSE;
    std::vector<int> notices;
};

// Hears every plain action, broadcast or queued.
class Recorder : public IxElement {
public:
    Recorder() { IxGetKernel()->AddListener(filter, this); }
    ~Recorder() override
    {
        if (IxKernel* kernel = IxGetKernel())
            kernel->RemoveListener(filter, this);
    }
    int ActionIsInvoked(int code, int, LPARAM) override
    {
        heard.push_back(code);
        return 0;
    }
    void Draw(IxPaintRecord*) override {}
    int Count(int code) const { return static_cast<int>(std::count(heard.begin(), heard.end(), code)); }

    DWORD filter[2]{IxActionWord(0, AEV_DEFAULT), 0};
    std::vector<int> heard;
};

class LumoBridgeTest : public frametest::FrameWindowTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(unit.IsOpen());
        FrameWindowTest::SetUp();
        recorder = std::make_unique<Recorder>();
        navi.Install();
        navi.PutOnCard(unit.Host("Storage Card"));
        PROCESS_INFORMATION info{};
        ASSERT_TRUE(CreateProcessW(u"\\Storage Card\\Quickroute_Lumo\\Bin\\Lumo_DMU.exe", nullptr, nullptr, nullptr,
                                   FALSE, 0, nullptr, nullptr, nullptr, &info));
        CloseHandle(info.hThread);
        process = info.hProcess;
        ASSERT_TRUE(navi.WaitUntilRunning(10000));
        bridge = std::make_unique<LumoBridge>(&owner);
        // What an earlier bridge of the process left behind goes.
        Notice(NaviNotice::Destroy);
        Notice(NaviNotice::HoldOff);
        owner.notices.clear();
        recorder->heard.clear();
    }
    void TearDown() override
    {
        navi.SetFault(sim::ProgramFault::None);
        Notice(NaviNotice::Destroy);
        Notice(NaviNotice::HoldOff);
        bridge.reset();
        navi.Uninstall();
        if (process)
            CloseHandle(process);
        recorder.reset();
        FrameWindowTest::TearDown();
    }
    BOOL Notice(NaviNotice code, LPARAM value = 0)
    {
        const LPARAM record[3] = {0, static_cast<LPARAM>(code), value};
        const BOOL taken = bridge->Notify(AEV_ARGS, record);
        IxGetKernel()->DrainQueue();
        frame->SyncTimers();
        return taken;
    }
    // Init and start, as the program reports them.
    void Connect()
    {
        Notice(NaviNotice::Init);
        Notice(NaviNotice::Start);
        ASSERT_EQ(LumoBridge::GetNaviWindow(), navi.Window());
        owner.notices.clear();
    }
    void Tick(int ms)
    {
        clock.Advance(static_cast<std::uint64_t>(ms));
        Pump();
        frame->SyncTimers();
        Pump();
    }
    // The commands the program received since the last call.
    std::vector<Sent> NewCommands()
    {
        std::vector<Sent> out;
        const auto all = navi.Commands();
        for (std::size_t i = seen; i < all.size(); ++i)
            out.push_back({all[i].data, all[i].bytes});
        seen = all.size();
        return out;
    }

    TempUnit unit{"wren-lumo"};
    platform::ManualClock clock{100000};
    sim::CNaviProgram navi;
    HANDLE process = nullptr;
    Owner owner;
    std::unique_ptr<Recorder> recorder;
    std::unique_ptr<LumoBridge> bridge;
    std::size_t seen = 0;
};

TEST_F(LumoBridgeTest, EachCommandReachesTheProgramWithItsBytes)
{
    Connect();
    const struct {
        const char* what;
        std::function<void()> act;
        std::vector<Sent> sent;
    } cases[] = {
        {"layout pip", [&] { bridge->SendLayout(LUMO_PIP); }, {{1036, {}}}},
        {"layout pip again, the program has it",
         [&] {
             Notice(NaviNotice::Resize, 0);
             bridge->SendLayout(LUMO_PIP);
         },
         {}},
        {"hide from pip", [&] { bridge->SendHide(); }, {{1038, {}}}},
        {"layout full from pip", [&] { bridge->SendLayout(LUMO_FULL); }, {{1038, {}}}},
        {"show full, the program has it",
         [&] {
             Notice(NaviNotice::Resize, 2);
             bridge->SendShow(LUMO_FULL);
         },
         {{1325, {}}}},
        {"hide while full", [&] { bridge->SendHide(); }, {}},
        {"navigation keys",
         [&] {
             bridge->SendCommand(NaviCommand::KeyA, nullptr, 0);
             bridge->SendCommand(NaviCommand::KeyB, nullptr, 0);
         },
         {{1041, {}}, {1042, {}}}},
        {"warning value", [&] { bridge->SendValue(NaviCommand::WarningValue, 0x01020304, 4); }, {{1069, {4, 3, 2, 1}}}},
        {"key attached",
         [&] { bridge->SendValue(NaviCommand::KeyState, AEV_ATTACH, 0, 10135); },
         {{1088, {1, 0, 0, 0, 1, 0, 0, 0}}}},
        {"key 8218 detached",
         [&] { bridge->SendValue(NaviCommand::KeyState, AEV_DETACH, 0, 8218); },
         {{1088, {0, 0, 0, 0, 0, 0, 0, 0}}}},
        {"key with another kind", [&] { bridge->SendValue(NaviCommand::KeyState, AEV_DEFAULT, 0, 10135); }, {}},
        {"activated", [&] { Notice(NaviNotice::Activate, 1); }, {{1325, {}}}},
        {"activate with another value", [&] { Notice(NaviNotice::Activate, 0); }, {}},
        {"warning closed: the guidance word (3 without a block)",
         [&] { Notice(NaviNotice::WarningClosed); },
         {{1069, {3, 0, 0, 0}}}},
        {"factory reset close", [&] { bridge->RequestClose(0); }, {{1035, {0, 0, 0, 0}}}},
    };
    for (const auto& c : cases) {
        c.act();
        EXPECT_EQ(NewCommands(), c.sent) << c.what;
    }
}

TEST_F(LumoBridgeTest, BeforeInitNothingIsSentButTheAliveSignalGoesOut)
{
    EXPECT_EQ(bridge->SendCommand(NaviCommand::UpdateScreen, nullptr, 0), 0);
    EXPECT_EQ(bridge->SendShow(LUMO_PIP), 0);
    EXPECT_TRUE(NewCommands().empty());
    EXPECT_EQ(recorder->Count(FID_ALIVEINVOKE), 6); // two per command
    Connect();
    EXPECT_EQ(bridge->SendCommand(NaviCommand::UpdateScreen, nullptr, 0), 1);
    EXPECT_EQ(NewCommands(), (std::vector<Sent>{{1325, {}}}));
}

TEST_F(LumoBridgeTest, ResizeAndVisibilityNotices)
{
    Connect();
    const struct {
        int wish; // LUMO_HIDDEN, or the layout asked for before
        NaviNotice code;
        LPARAM value;
        std::vector<int> notices;
        int programLayout;
        int wishAfter;
    } cases[] = {
        {LUMO_HIDDEN, NaviNotice::Resize, 0, {}, LUMO_PIP, LUMO_HIDDEN},
        {LUMO_FULL, NaviNotice::Resize, 0, {34}, LUMO_PIP, LUMO_PIP},
        {LUMO_PIP, NaviNotice::Resize, 2, {34}, LUMO_FULL, LUMO_FULL},
        {LUMO_HIDDEN, NaviNotice::Resize, 2, {}, LUMO_FULL, LUMO_HIDDEN},
        {LUMO_PIP, NaviNotice::Resize, 1, {}, LUMO_PIP2, LUMO_PIP},
        {LUMO_PIP, NaviNotice::Resize, -1, {}, LUMO_FULL, LUMO_PIP},
        {LUMO_PIP, NaviNotice::Resize, 7, {}, LUMO_FULL, LUMO_PIP}, // unlisted: full, nobody told
        {LUMO_PIP, NaviNotice::Hide, 0, {36}, LUMO_FULL, LUMO_HIDDEN},
        {LUMO_FULL, NaviNotice::Topmost, 0, {34}, LUMO_FULL, LUMO_FULL},
    };
    for (const auto& c : cases) {
        Notice(NaviNotice::Resize, -1); // the program full screen
        if (c.wish == LUMO_HIDDEN)
            bridge->SendHide();
        else
            bridge->SendLayout(c.wish);
        owner.notices.clear();
        Notice(c.code, c.value);
        EXPECT_EQ(owner.notices, c.notices) << static_cast<int>(c.code) << " " << c.value;
        EXPECT_EQ(bridge->GetProgramLayout(), c.programLayout) << static_cast<int>(c.code) << " " << c.value;
        EXPECT_EQ(bridge->GetLayoutWish(), c.wishAfter) << static_cast<int>(c.code) << " " << c.value;
    }
    EXPECT_FALSE(Notice(static_cast<NaviNotice>(1000)));
    EXPECT_FALSE(Notice(static_cast<NaviNotice>(1028)));
    const LPARAM record[3] = {0, 1013, 0};
    EXPECT_FALSE(bridge->Notify(AEV_DEFAULT, record)); // only forwarded broadcasts
}

TEST_F(LumoBridgeTest, LifeCycleNotices)
{
    platform::DebugCapture log;
    // Init finds the window; with navigation disabled it is forgotten again.
    owner.enabled = FALSE;
    Notice(NaviNotice::Init);
    EXPECT_EQ(LumoBridge::GetNaviWindow(), nullptr);
    owner.enabled = TRUE;
    Notice(NaviNotice::Init);
    EXPECT_EQ(LumoBridge::GetNaviWindow(), navi.Window());
    Notice(NaviNotice::Start);
    EXPECT_TRUE(bridge->IsStarted());
    EXPECT_EQ(owner.notices, (std::vector<int>{12, 13, 34}));
    EXPECT_TRUE(log.Contains("[LumoBridge] BM_NOTIFY_START : at [100000]"));

    // The program's menu button: the 3D menu, or the call screen during a call.
    Notice(NaviNotice::MainMenuCall);
    owner.call = TRUE;
    Notice(NaviNotice::MainMenuCall);
    EXPECT_EQ(recorder->Count(FID_EXT_3DMENU), 1);
    EXPECT_EQ(recorder->Count(FID_BLUETOOTH), 1);

    // The warning: the value at once, the owner and the broadcast 100 ms later.
    owner.notices.clear();
    Notice(NaviNotice::WarningClosed);
    EXPECT_EQ(NewCommands(), (std::vector<Sent>{{1069, {3, 0, 0, 0}}}));
    Tick(99);
    EXPECT_TRUE(owner.notices.empty());
    Tick(1);
    EXPECT_EQ(owner.notices, std::vector<int>{10});
    EXPECT_EQ(recorder->Count(ACMD_NAVIWARNINGCLOSED), 1);

    // The navigation hold: show and hide send nothing while it is set.
    Notice(NaviNotice::Resize, 0);
    Notice(NaviNotice::HoldOn);
    EXPECT_TRUE(LumoBridge::IsNaviHeld());
    EXPECT_EQ(bridge->SendShow(LUMO_FULL), 1);
    EXPECT_EQ(bridge->SendHide(), 1);
    EXPECT_TRUE(NewCommands().empty());
    Notice(NaviNotice::HoldOff);
    bridge->SendHide();
    EXPECT_EQ(NewCommands(), (std::vector<Sent>{{1038, {}}}));

    // Destroy forgets the window and the start; destroy end is queued.
    Notice(NaviNotice::HoldOn);
    Notice(NaviNotice::Destroy);
    EXPECT_EQ(LumoBridge::GetNaviWindow(), nullptr);
    EXPECT_FALSE(bridge->IsStarted());
    EXPECT_EQ(bridge->GetProgramLayout(), LUMO_FULL);
    EXPECT_EQ(recorder->Count(ACMD_NAVICLOSED), 1);
    Notice(NaviNotice::DestroyEnd);
    EXPECT_FALSE(LumoBridge::IsNaviHeld());
    EXPECT_EQ(recorder->Count(ACMD_NAVITERMINATED), 1);
}

TEST_F(LumoBridgeTest, GuidanceFollowsTheProgramUnlessACallRuns)
{
    std::shared_ptr<sim::CAudioProcessor> audio = sim::CAudioProcessor::Install();
    ASSERT_TRUE(GetUnitLink().m_hAudio.Open(u"ASP1:"));
    const struct {
        const char* what;
        BOOL call;
        BOOL allowed;
        NaviNotice code;
        LPARAM value;
        int mixing; // the guidance mixing the audio processor has afterwards
        int level;
    } cases[] = {
        {"guidance on", FALSE, TRUE, NaviNotice::GuidanceOn, 0, 1, -1},
        {"guidance off", FALSE, TRUE, NaviNotice::GuidanceOff, 0, 0, -1},
        {"on during a call", TRUE, TRUE, NaviNotice::GuidanceOn, 0, 0, -1},
        {"on, switched off in the settings", FALSE, FALSE, NaviNotice::GuidanceOn, 0, 0, -1},
        {"the program's level, low byte", FALSE, TRUE, NaviNotice::GuidanceVolume, 0x1207, 0, 7},
        {"warning closed: the stored level (3 without a block)", FALSE, TRUE, NaviNotice::WarningClosed, 0, 0, 3},
    };
    for (const auto& c : cases) {
        owner.call = c.call;
        owner.guidance = c.allowed;
        Notice(c.code, c.value);
        EXPECT_EQ(audio->Value(AudioIoctl::GuidanceAudio), c.mixing) << c.what;
        EXPECT_EQ(audio->Value(AudioIoctl::GuidanceLevel), c.level) << c.what;
    }
    GetUnitLink().m_hAudio.CloseHandleSafe();
    sim::CAudioProcessor::Uninstall();
}

TEST_F(LumoBridgeTest, SetVisibleShowsAndTellsTheOwner)
{
    Connect();
    bridge->SetVisible(TRUE, LUMO_PIP);
    EXPECT_EQ(NewCommands(), (std::vector<Sent>{{1036, {}}, {1325, {}}}));
    bridge->SetVisible(TRUE, LUMO_FULL);
    EXPECT_TRUE(NewCommands().empty());
    EXPECT_EQ(owner.notices, (std::vector<int>{35, 35}));
}

TEST_F(LumoBridgeTest, HeldRequestsRunWhenTheHoldEnds)
{
    Connect();
    bridge->Hold();
    bridge->ShowDeferred(LUMO_PIP);
    bridge->HideDeferred();
    bridge->SetLayoutDeferred(LUMO_PIP);
    EXPECT_TRUE(NewCommands().empty());
    bridge->ReleaseHold();
    EXPECT_EQ(NewCommands(), (std::vector<Sent>{{1036, {}}})); // only the newest
    bridge->ReleaseHold();
    EXPECT_TRUE(NewCommands().empty());
}

TEST_F(LumoBridgeTest, ACloseBeforeTheStartIsDeliveredOnce500msAfterIt)
{
    Notice(NaviNotice::Init);
    EXPECT_EQ(bridge->RequestClose(2), 0);
    EXPECT_TRUE(bridge->IsClosePending());
    EXPECT_TRUE(NewCommands().empty());
    Notice(NaviNotice::Start);
    EXPECT_FALSE(bridge->IsClosePending());
    EXPECT_EQ(owner.notices, std::vector<int>{12}); // no start notices: it is closing
    Tick(499);
    EXPECT_TRUE(NewCommands().empty());
    Tick(1);
    EXPECT_EQ(NewCommands(), (std::vector<Sent>{{1035, {2, 0, 0, 0}}}));
    Tick(2000);
    EXPECT_TRUE(NewCommands().empty());
}

TEST_F(LumoBridgeTest, AHungProgramCostsAtMostTheTimeOut)
{
    Connect();
    platform::DebugCapture log;
    navi.SetFault(sim::ProgramFault::Hang);
    // Another thread moves the clock on in steps while the send waits.
    // The clock moves 2 ms per real millisecond; what the thread does
    // around the send may take a few real milliseconds more.
    constexpr std::uint64_t kStep = 2;
    constexpr std::uint64_t kSlack = 100;
    std::atomic<bool> done{false};
    std::thread ticker([&] {
        while (!done) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            clock.Advance(kStep);
        }
    });
    const std::uint64_t before = clock.Now();
    const LRESULT answer = bridge->SendShow(LUMO_PIP);
    const std::uint64_t spent = clock.Now() - before;
    done = true;
    ticker.join();
    EXPECT_EQ(answer, 0);
    // Two commands (layout and show), each given up after the time-out.
    EXPECT_GE(spent, 2 * LumoBridge::kSendTimeoutMs);
    EXPECT_LE(spent, 2 * (LumoBridge::kSendTimeoutMs + kSlack));
    EXPECT_TRUE(log.Contains("CMD[WMUSER + 12] dropped: no answer in 500 ms"));
    EXPECT_TRUE(log.Contains("CMD[WMUSER + 301] dropped: no answer in 500 ms"));
    navi.SetFault(sim::ProgramFault::None);
    // The program had taken the first command before it stopped answering
    // and handles it once it goes on; the second was withdrawn unseen.
    EXPECT_EQ(bridge->SendCommand(NaviCommand::KeyA, nullptr, 0), 1);
    EXPECT_EQ(NewCommands(), (std::vector<Sent>{{1036, {}}, {1041, {}}}));
}

} // namespace

namespace {

TEST_F(LumoBridgeTest, TheNavigationModelsOperations)
{
    Connect();
    IxExtAppBridge& link = *bridge;
    const LPARAM topmost[3] = {0, static_cast<LPARAM>(NaviNotice::Topmost), 0};
    const struct {
        const char* what;
        std::function<void()> act;
        std::vector<Sent> sent;
    } cases[] = {
        {"launch: the program is started elsewhere", [&] { EXPECT_EQ(link.AppLaunch(), 1); }, {}},
        {"show in picture-in-picture", [&] { link.AppShow(FID_NAVI, LUMO_PIP); }, {{1036, {}}, {1325, {}}}},
        {"sync: the wish again, the program has the layout",
         [&] {
             Notice(NaviNotice::Resize, 0);
             link.AppSync();
         },
         {}},
        {"held: show and layout wait",
         [&] {
             link.AppHold(TRUE, 0);
             link.AppSetLayout(LUMO_FULL);
             link.AppShow(FID_NAVI, LUMO_FULL);
         },
         {}},
        {"sync ends the hold: the newest request runs", [&] { link.AppSync(); }, {{1038, {}}, {1325, {}}}},
        {"a withdrawn show hides",
         [&] {
             Notice(NaviNotice::Resize, 0);
             link.AppHold(TRUE, 0);
             link.AppShow(FID_NAVI, LUMO_PIP);
             link.AppCancelShow();
             link.AppHold(FALSE, 0);
         },
         {{1038, {}}}},
        {"hide from full: nothing to send",
         [&] {
             Notice(NaviNotice::Resize, 2);
             link.AppHide();
         },
         {}},
        {"stop without closing", [&] { EXPECT_EQ(link.AppStop(0), 1); }, {}},
        {"stop closing", [&] { link.AppStop(1); }, {{1035, {2, 0, 0, 0}}}},
    };
    for (const auto& c : cases) {
        c.act();
        EXPECT_EQ(NewCommands(), c.sent) << c.what;
    }
    EXPECT_EQ(link.AppGetLayout(), LUMO_HIDDEN);
    link.AppSetLayout(LUMO_PIP);
    EXPECT_EQ(link.AppGetLayout(), LUMO_PIP);
    owner.notices.clear();
    EXPECT_TRUE(link.AppEvent(AEV_ARGS, reinterpret_cast<LPARAM>(topmost)));
    EXPECT_EQ(owner.notices, (std::vector<int>{34}));
}

} // namespace
