// CKernelObj's navigation and voice steps against the simulated navigation
// program and voice controller on the simulated first card: the program's
// launch (and the model it brings, joined to ViewCenter), the mode reports
// to the voice controller with their view-to-mode table, a voice controller
// that does not run or hangs, the guard in front of a switch to the map,
// the mode key, the voice key and the other rows of the action handler.
#include "Source/shell/KernelObj.h"

#include "Lib_cpp/core/ActionCodes.h"
#include "Source/models/ModelCodes.h"
#include "Source/models/NaviModel.h"
#include "Source/models/SettingModel.h"
#include "Source/models/UnitLink.h"
#include "Source/screens/common/MessagePopup.h"
#include "Source/screens/common/WindowedMessagePopup.h"
#include "Source/shell/NaviModelLink.h"
#include "Source/shell/ShellIds.h"
#include "platform/base/Debug.h"
#include "platform/os/Process.h"
#include "sim/AudioProcessor.h"
#include "sim/ConnectionStatus.h"
#include "sim/Micom.h"
#include "sim/NaviProgram.h"
#include "sim/VoiceController.h"
#include "tests/wren/ModelFixture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

namespace {

using namespace modeltest;

// CKernelObj with ViewCenter's state at hand and the steps the mode key
// takes recorded.
class NaviCore : public CKernelObj {
public:
    int SetActivity(int activity, int where, int fid) override
    {
        calls.push_back(Say("activity ", activity) + Say(" ", where) + Say(" ", fid));
        return CKernelObj::SetActivity(activity, where, fid);
    }
    void CloseVolumePopup(int value) override
    {
        // Called inside ViewCenter's SetActivity: the flags as they stand then.
        if (value == 0)
            flagsSeen.push_back(Say("av ", IsAvRequested()) + Say(" navi ", IsNaviRequested()));
        CKernelObj::CloseVolumePopup(value);
    }
    void ViewIsBack(int when, int from) override { calls.push_back(Say("back ", when) + Say(" ", from)); }
    void Set(int fidNavi, int naviMode, int activity)
    {
        m_fidNavi = fidNavi;
        m_nNaviMode = naviMode;
        m_nActivity = activity;
    }
    void SetNotLoadNavi(BOOL on) { m_bNotLoadNavi = on; }
    void SetDaemons(int count) { m_nDaemons = count; }
    void SetNaviAtFirst(BOOL on) { m_fNaviAtFirst = on; }

    Log calls;
    Log flagsSeen;
};

class Page : public IxView {
public:
    explicit Page(int id) { m_nId = id; }
};

class KernelObjNaviTest : public ModelFixture {
protected:
    void SetUp() override
    {
        ModelFixture::SetUp();
        clock.Advance(100000); // tick counts of 0 mean "never"
        app.SetMainWindow(hwnd);
        micom = sim::CMicom::Install();
        sim::CAudioProcessor::Install();
        sim::CConnectionStatus::Install();
        GetUnitLink().OpenDevices();
        navi.Install();
        voice.Install();
        core = new NaviCore;
        frame->SetHook(core);
        {
            IxBusyScope busy(frame);
            core->OnEvent(IXEV_ATTACHED, 0);
        }
        Pump();
        alive = std::make_unique<frametest::ActionListener>(FID_ALIVEINVOKE);
    }
    void TearDown() override
    {
        voice.SetFault(sim::ProgramFault::None);
        navi.SetFault(sim::ProgramFault::None);
        alive.reset();
        // The messages go with their windows.
        for (int id : {FID_SDSLOTPOPUP, FID_VIDEOPHOTOPOPUP, FID_VOICEPREPAREPOPUP})
            frame->PopLayer(id);
        Pump();
        frame->SetHook(nullptr);
        core->OnEvent(IXEV_DETACHED, 0);
        delete core;
        frame->SetActivePage(nullptr, 0, 0);
        navi.Uninstall();
        voice.Uninstall();
        for (HANDLE process : processes)
            CloseHandle(process);
        GetUnitLink().CloseDevices();
        GetUnitLink().ResetStates();
        sim::CConnectionStatus::Uninstall();
        sim::CAudioProcessor::Uninstall();
        sim::CMicom::Uninstall();
        // Still the main window while it closes: its object goes with it.
        ModelFixture::TearDown();
        app.SetMainWindow(nullptr);
    }
    // The first card with the two programs, attached as storage 10.
    void InsertCard(bool withNavi = true)
    {
        std::filesystem::create_directories(unit.Host("Storage Card"));
        if (withNavi)
            navi.PutOnCard(unit.Host("Storage Card"));
        voice.PutOnCard(unit.Host("Storage Card"));
        frame->Notify(IXA_ALIASNOTICE, AEV_ATTACH, DEVNO_SD0);
        Pump();
    }
    void StartVoice()
    {
        PROCESS_INFORMATION info{};
        ASSERT_TRUE(CreateProcessW(u"\\Storage Card\\Quickroute_Lumo\\Bin_Voice\\VoiceControllerU.exe", nullptr,
                                   nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &info));
        CloseHandle(info.hThread);
        processes.push_back(info.hProcess);
        ASSERT_TRUE(voice.WaitUntilRunning(10000));
    }
    void Show(int view)
    {
        auto* page = new Page(view);
        frame->AddPage(page);
        frame->SetActivePage(page, 0, 0);
    }
    // Through the central handler; with handled, the navigation rows alone
    // (handled tells whether they took the code).
    int Act(int code, int kind = AEV_DEFAULT, LPARAM param = 0, BOOL* handled = nullptr)
    {
        const int result = handled ? core->NaviActionIsInvoked(code, kind, param, handled)
                                   : core->ActionIsInvoked(code, kind, param);
        Pump();
        return result;
    }
    IxElement* Popup(int id) const { return frame->IsLayerShown(id); }
    int AliveSignals()
    {
        const int n = static_cast<int>(alive->heard.size());
        alive->heard.clear();
        return n;
    }
    static std::vector<std::uint8_t> Word(std::int32_t value)
    {
        std::vector<std::uint8_t> bytes(4);
        std::memcpy(bytes.data(), &value, 4);
        return bytes;
    }

    std::shared_ptr<sim::CMicom> micom;
    sim::CNaviProgram navi;
    sim::CVoiceController voice;
    std::vector<HANDLE> processes;
    NaviCore* core = nullptr;
    std::unique_ptr<frametest::ActionListener> alive;
};

TEST_F(KernelObjNaviTest, LaunchStartsTheProgramReportsTheMapAndStopsTheScreenSaver)
{
    InsertCard();
    StartVoice();
    core->BeginTimer(TM_SCREENSAVER, 60000);
    CNaviModelLink* model = core->LaunchNavi();
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(model->GetModelId(), MODELID_NAVI);
    EXPECT_TRUE(navi.WaitUntilRunning(10000));
    EXPECT_EQ(navi.Starts(), 1);
    EXPECT_EQ(voice.Mode(), static_cast<int>(VoiceMode::Navi));
    EXPECT_FALSE(core->IsTimerRunning(TM_SCREENSAVER));
    EXPECT_EQ(AliveSignals(), 2);
    // The model is the model center's navigation model.
    CNaviModel* found = GetNaviModel();
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(core->GetCenter().FindModel(MODELID_NAVI), found);
    EXPECT_EQ(found->GetRefCount(), 3); // the center's, this object's holder's and ours
    found->Release();
}

TEST_F(KernelObjNaviTest, WithoutTheCardNothingStarts)
{
    EXPECT_EQ(core->LaunchNavi(), nullptr);
    InsertCard(false); // a card without the program
    EXPECT_EQ(core->LaunchNavi(), nullptr);
    EXPECT_EQ(navi.Starts(), 0);
    EXPECT_EQ(core->GetCenter().FindModel(MODELID_NAVI), nullptr);
}

TEST_F(KernelObjNaviTest, TheProgramsReportsReachViewCenterThroughTheModel)
{
    InsertCard();
    core->NaviIsAvailable(); // the start waits: navigation first
    EXPECT_EQ(core->GetNaviMode(), NAVI_STARTABLE);
    EXPECT_EQ(navi.Starts(), 0);
    core->SetNaviAtFirst(FALSE);
    core->SetDaemons(0);
    core->NaviIsAvailable();
    EXPECT_EQ(core->GetNaviMode(), NAVI_LAUNCHING);
    ASSERT_TRUE(navi.WaitUntilRunning(10000));
    // The program's start and init, as the main window forwards them.
    for (NaviNotice notice : {NaviNotice::Init, NaviNotice::Start}) {
        IxBusyScope busy(frame);
        frame->ForwardBroadcast(0, static_cast<LPARAM>(notice), 0);
    }
    for (int i = 0; i < 3; ++i) {
        Pump();
        kernel->DrainQueue();
    }
    // Ready: launched (ACC is off, so it stays there).
    EXPECT_EQ(core->GetNaviMode(), NAVI_LAUNCHED);
    auto* model = dynamic_cast<CNaviModel*>(core->GetCenter().FindModel(MODELID_NAVI));
    ASSERT_NE(model, nullptr);
    // The start told the model that the map is up; ViewCenter's hide and
    // show requests reach the program.
    EXPECT_EQ(model->GetState(), EXTAPP_SHOWN);
    core->HideNavi();
    EXPECT_EQ(model->GetState(), EXTAPP_HIDDEN);
    core->ShowNavi(FID_NAVI);
    EXPECT_EQ(model->GetState(), EXTAPP_SHOWING);
    for (int i = 0; i < 50 && !navi.Shown(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_TRUE(navi.Shown());
}

TEST_F(KernelObjNaviTest, EachViewReportsItsModeToTheVoiceController)
{
    InsertCard();
    StartVoice();
    const struct {
        int view;
        VoiceMode mode;
    } cases[] = {
        {FID_NAVI, VoiceMode::Navi},
        {FID_NAVI_LAST, VoiceMode::Navi},
        {FID_GATE, VoiceMode::Menu},
        {FID_MOVIE, VoiceMode::Video},
        {FID_MUSIC, VoiceMode::Audio},
        {FID_PHOTO, VoiceMode::Photo},
        {FID_FM, VoiceMode::Fm},
        {FID_AM, VoiceMode::Am},
        {FID_DMB, VoiceMode::Tv},
        {FID_DAB, VoiceMode::Tv},
        {FID_IPOD, VoiceMode::Ipod},
        {FID_DVD, VoiceMode::Dvd},
        {FID_BLUETOOTH, VoiceMode::Bluetooth},
    };
    for (const auto& c : cases) {
        core->SendCommandToVC(c.view);
        EXPECT_EQ(voice.Mode(), static_cast<int>(c.mode)) << c.view;
        EXPECT_EQ(AliveSignals(), 2) << c.view;
    }
    // A view without a mode sends nothing: the controller keeps the last.
    const std::size_t sent = voice.Commands().size();
    core->SendCommandToVC(FID_SET_DISPLAY);
    EXPECT_EQ(voice.Commands().size(), sent);
    // The bytes: the 32-bit value, little-endian.
    core->SendCommandToVC(FID_FM);
    const auto commands = voice.Commands();
    EXPECT_EQ(commands.back().data, static_cast<ULONG_PTR>(VoiceCommand::ExternalMode));
    EXPECT_EQ(commands.back().bytes, Word(21501));
    // The voice controller's ready notice has it told the screen on top.
    Show(FID_MUSIC);
    Act(FID_EXT_VC_READY);
    EXPECT_EQ(voice.Mode(), static_cast<int>(VoiceMode::Audio));
}

TEST_F(KernelObjNaviTest, TheScreenShownIsReportedWhenTheDisplayChanges)
{
    InsertCard();
    StartVoice();
    Show(FID_MUSIC);
    ASSERT_NE(GetSettingStatus(), nullptr);
    PutSettingWord(GetSettingStatus(), SETTING_SAVERDELAY, 30);
    core->CloseVolumePopup(1); // AV shown
    EXPECT_EQ(voice.Mode(), static_cast<int>(VoiceMode::Audio));
    EXPECT_TRUE(core->IsTimerRunning(TM_SCREENSAVER));
    core->CloseVolumePopup(-1); // navigation shown
    EXPECT_EQ(voice.Mode(), static_cast<int>(VoiceMode::Navi));
    EXPECT_FALSE(core->IsTimerRunning(TM_SCREENSAVER));
    const std::size_t sent = voice.Commands().size();
    core->CloseVolumePopup(0); // a layout change reports nothing
    EXPECT_EQ(voice.Commands().size(), sent);
}

TEST_F(KernelObjNaviTest, WithoutAVoiceControllerOnlyTheAliveSignalGoesOut)
{
    platform::DebugCapture log;
    core->SendCommandToVC(FID_FM);
    EXPECT_TRUE(log.Contains("SendCommandToVC  No Ececute VC"));
    EXPECT_EQ(AliveSignals(), 1);
    EXPECT_EQ(voice.Starts(), 0);
}

TEST_F(KernelObjNaviTest, AHungVoiceControllerCostsAtMostTheTimeOut)
{
    InsertCard();
    StartVoice();
    platform::DebugCapture log;
    voice.SetFault(sim::ProgramFault::Hang);
    // Another thread moves the clock on in steps while the send waits.
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
    core->SendCommandToVC(FID_MOVIE);
    const std::uint64_t spent = clock.Now() - before;
    done = true;
    ticker.join();
    EXPECT_GE(spent, CKernelObj::kProgramSendTimeoutMs);
    EXPECT_LE(spent, CKernelObj::kProgramSendTimeoutMs + kSlack);
    EXPECT_TRUE(log.Contains("WM_COPYDATA [1054] dropped: no answer in 500 ms"));
    voice.SetFault(sim::ProgramFault::None);
}

struct ActivityCase {
    const char* what;
    int fidNavi;
    bool card;
    BOOL notLoad;
    int activity, where;
    int result;
    const char* flags; // what ViewCenter's step saw, "" when it did not run
    int activityAfter;
    bool message;
};

TEST_F(KernelObjNaviTest, SwitchesToTheMapNeedTheProgramOnTheCard)
{
    const ActivityCase cases[] = {
        {"AV asked while the map shows", FID_NAVI, true, FALSE, 0, 1, 1, "av 1 navi 0", 0, false},
        {"map asked while it does not show", 0, true, FALSE, 0, -1, 1, "av 0 navi 1", 0, false},
        {"map beside, program on the card", 0, true, FALSE, 1, -1, 1, "av 0 navi 0", 1, false},
        {"map beside while its start is off: full", 0, true, TRUE, 1, -1, 1, "av 0 navi 0", 0, false},
        {"map beside without the program", 0, false, FALSE, 1, -1, 0, "", 2, true},
        {"map beside while it shows", FID_NAVI, false, FALSE, 1, -1, 1, "av 0 navi 0", 1, false},
        {"layout only", 0, false, FALSE, 1, 0, 1, "av 0 navi 0", 1, false},
    };
    bool inserted = false;
    for (const ActivityCase& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.card && !inserted) {
            InsertCard();
            inserted = true;
        }
        if (!c.card && inserted) {
            std::filesystem::remove_all(unit.Host("Storage Card/Quickroute_Lumo/Bin"));
            inserted = false;
        }
        core->Set(c.fidNavi, NAVI_READY, 2);
        core->SetNotLoadNavi(c.notLoad);
        core->flagsSeen.clear();
        platform::DebugCapture log;
        EXPECT_EQ(core->SetActivity(c.activity, c.where, 0), c.result);
        EXPECT_EQ(core->flagsSeen, c.flags[0] ? Log{c.flags} : Log{});
        EXPECT_EQ(core->GetActivity(), c.activityAfter);
        EXPECT_EQ(Popup(FID_SDSLOTPOPUP) != nullptr, c.message);
        frame->PopLayer(FID_SDSLOTPOPUP);
        EXPECT_FALSE(core->IsAvRequested());
        EXPECT_FALSE(core->IsNaviRequested());
    }
}

struct ModeKeyCase {
    const char* what;
    bool avOff;
    int top;
    int fidNavi;
    bool card;
    Log calls;
    int naviModeAfter;
    bool message;
    bool tickStored;
};

class ModeKeyTest : public KernelObjNaviTest, public ::testing::WithParamInterface<ModeKeyCase> {};

TEST_P(ModeKeyTest, TheModeKeyTogglesBetweenTheMapAndAV)
{
    const ModeKeyCase& c = GetParam();
    if (c.card) {
        InsertCard();
        StartVoice();
    }
    if (c.avOff)
        core->RecordView(FID_AVOFF);
    if (c.top)
        Show(c.top);
    core->Set(c.fidNavi, NAVI_NONE, 1);
    platform::DebugCapture log;
    Act(ACMD_KEY_MODE);
    EXPECT_EQ(core->calls, c.calls);
    EXPECT_EQ(core->GetNaviMode(), c.naviModeAfter);
    EXPECT_EQ(Popup(FID_SDSLOTPOPUP) != nullptr, c.message);
    EXPECT_EQ(core->GetModeKeyTick() != 0, c.tickStored);
    if (c.naviModeAfter != NAVI_NONE) {
        EXPECT_EQ(voice.Mode(), static_cast<int>(VoiceMode::Navi));
    }
    // A second key while the kernel is busy since the first one is dropped.
    if (c.tickStored) {
        core->calls.clear();
        Act(ACMD_KEY_MODE);
        EXPECT_TRUE(core->calls.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ModeKeyTest,
    ::testing::Values(
        ModeKeyCase{"AV off: AV on with the 3D menu",
                    true,
                    FID_FM,
                    0,
                    true,
                    {"activity 1 1 3101"},
                    NAVI_NONE,
                    false,
                    false},
        ModeKeyCase{"AV off on the 3D menu: back", true, FID_GATE, 0, true, {"back 4 3101"}, NAVI_NONE, false, false},
        // Made startable, the map's request starts the program (navigation first).
        ModeKeyCase{"to the map", false, FID_FM, 0, true, {"activity 1 -1 0"}, NAVI_LAUNCHING, false, true},
        ModeKeyCase{"to the map without the card", false, FID_FM, 0, false, {}, NAVI_NONE, true, false},
        ModeKeyCase{"no card on the 3D menu: no message", false, FID_GATE, 0, false, {}, NAVI_NONE, false, false},
        ModeKeyCase{"DVD screen without the DVD source", false, FID_DVD, 0, true, {}, NAVI_NONE, false, false},
        ModeKeyCase{"the map shows: AV", false, FID_FM, FID_NAVI, true, {"activity 1 1 0"}, NAVI_NONE, false, true}),
    [](const ::testing::TestParamInfo<ModeKeyCase>& info) { return "Case" + std::to_string(info.index); });

TEST_F(KernelObjNaviTest, TheVoiceKey)
{
    // No controller and no card: the slot-1 message.
    platform::DebugCapture log;
    EXPECT_EQ(Act(FID_EXT_VC_RECOG, AEV_DEFAULT, 1), 1);
    auto* slot = dynamic_cast<CMessagePopup*>(Popup(FID_SDSLOTPOPUP));
    ASSERT_NE(slot, nullptr);
    EXPECT_EQ(slot->GetTimeout(), 3000);
    EXPECT_EQ(slot->GetRowCount(), 3);
    frame->PopLayer(FID_SDSLOTPOPUP);
    // With the card the controller is started; once it runs it listens.
    InsertCard();
    Act(FID_EXT_VC_RECOG, AEV_DEFAULT, 1);
    ASSERT_TRUE(voice.WaitUntilRunning(10000));
    EXPECT_EQ(voice.Starts(), 1);
    Act(FID_EXT_VC_RECOG, AEV_DEFAULT, 1);
    EXPECT_TRUE(voice.Listening());
    Act(FID_EXT_VC_RECOG, AEV_DEFAULT, 0);
    EXPECT_FALSE(voice.Listening());
    EXPECT_EQ(voice.Starts(), 1);
    // On a screen saver it only takes the saver away.
    Show(FID_SPECTRUMSAVER);
    frametest::ActionListener back(IXA_BACK);
    EXPECT_EQ(Act(FID_EXT_VC_RECOG, AEV_DEFAULT, 1), 1);
    kernel->DrainQueue();
    EXPECT_EQ(back.heard.size(), 1u);
    EXPECT_FALSE(voice.Listening());
}

TEST_F(KernelObjNaviTest, TheOtherRowsOfTheHandler)
{
    InsertCard();
    BOOL handled = FALSE;
    // The 3D menu's load complete starts the voice controller once.
    Act(FID_EXT_LOADCOMPLETE, AEV_DEFAULT, FID_EXT_VC_LOADVOICE, &handled);
    EXPECT_TRUE(handled);
    ASSERT_TRUE(voice.WaitUntilRunning(10000));
    Act(ACMD_NAVIWARNINGCLOSED, AEV_DEFAULT, 0, &handled);
    EXPECT_TRUE(handled);
    EXPECT_EQ(voice.Starts(), 1);
    Act(FID_EXT_LOADCOMPLETE, AEV_DEFAULT, 0, &handled);
    EXPECT_FALSE(handled);
    Act(FID_ALIVEINVOKE, AEV_DEFAULT, 0, &handled);
    EXPECT_FALSE(handled);
    // The microphone state to the controller.
    Act(FID_EXT_VC_MICMUTE, AEV_DEFAULT, 5);
    Act(FID_EXT_VC_MICMUTE, AEV_DEFAULT, 0);
    const auto commands = voice.Commands();
    ASSERT_GE(commands.size(), 2u);
    EXPECT_EQ(commands[commands.size() - 2].data, static_cast<ULONG_PTR>(VoiceCommand::MicMute));
    EXPECT_EQ(commands[commands.size() - 2].bytes, Word(1));
    EXPECT_EQ(commands.back().bytes, Word(0));
    // Show the map after the voice screen, and the view 200 ms later.
    PROCESS_INFORMATION info{};
    ASSERT_TRUE(CreateProcessW(u"\\Storage Card\\Quickroute_Lumo\\Bin\\Lumo_DMU.exe", nullptr, nullptr, nullptr, FALSE,
                               0, nullptr, nullptr, nullptr, &info));
    CloseHandle(info.hThread);
    processes.push_back(info.hProcess);
    ASSERT_TRUE(navi.WaitUntilRunning(10000));
    Act(FID_EXT_VC_SHOWVIEW, AEV_DEFAULT, FID_FM);
    EXPECT_EQ(navi.Commands().back().data, static_cast<ULONG_PTR>(NaviCommand::UpdateScreen));
    EXPECT_TRUE(core->IsTimerRunning(TM_NAVICLOSE));
    // The voice screen over the main window: it leaves the top band unless
    // the full map shows.
    core->Set(FID_NAVI, NAVI_READY, 0);
    platform::DebugCapture log;
    Act(FID_EXT_VC_SHOW, AEV_DEFAULT, 0);
    EXPECT_TRUE(log.Contains("[CKernelObj] FID_EXT_VC_SHOW Not Processing"));
    core->Set(FID_NAVI, NAVI_READY, 1);
    Act(FID_EXT_VC_HIDE, AEV_DEFAULT, 0);
    EXPECT_FALSE(log.Contains("FID_EXT_VC_HIDE Not Processing"));
    // Messages of the voice program.
    Act(FID_EXT_VC_NOCARD);
    Act(FID_EXT_VC_NOTREADY);
    EXPECT_NE(Popup(FID_SDSLOTPOPUP), nullptr);
    auto* prepare = dynamic_cast<CWindowedMessagePopup*>(Popup(FID_VOICEPREPAREPOPUP));
    ASSERT_NE(prepare, nullptr);
    EXPECT_EQ(prepare->GetStyle(), MPS_INFORMATION);
    // A second notice replaces the message.
    Act(FID_EXT_VC_NOTREADY);
    EXPECT_NE(Popup(FID_VOICEPREPAREPOPUP), nullptr);
}

} // namespace
