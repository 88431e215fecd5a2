// ViewCenter on the simulated board: the MODE cycle, the history across
// back and across a restart (kept in the micom's status block), the view
// groups, AV off and on beside the navigation map, the navigation map and
// the main screen with a fake navigation model, and the fixed filter: every
// code of it reaches its handler.
#include "Source/shell/ViewCenter.h"

#include "Lib_cpp/fs/DeviceManager.h"
#include "Source/models/ModelCenter.h"
#include "Source/models/UnitLink.h"
#include "Source/shell/NaviModelLink.h"
#include "Source/shell/OverlayLayer.h"
#include "Source/shell/ShellIds.h"
#include "Source/shell/ViewGroups.h"
#include "platform/io/RawDisk.h"
#include "sim/AudioProcessor.h"
#include "sim/ConnectionStatus.h"
#include "sim/Micom.h"
#include "tests/wren/ModelFixture.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using namespace modeltest;

// A screen: announces itself (310) when it comes up, as the unit's screens do.
class TestScreen : public IxView {
public:
    explicit TestScreen(int id) { m_nId = id; }
    LRESULT OnEvent(int code, LPARAM param) override
    {
        if (code == IXEV_ATTACHED)
            PushGlobalAction(IXA_VIEWENTERED, AEV_DEFAULT, m_nId);
        return IxView::OnEvent(code, param);
    }
};

// The OSD layer: a page per view asked for.
class TestOverlay : public COverlayLayer {
public:
    explicit TestOverlay(Log* log) : log(log) { SetRectNow(RECT{0, 0, 800, 90}); }
    void SetOverlayPage(int at, int view) override
    {
        log->push_back(Say("osd page ", view) + Say(" at ", at));
        if (view && !SetActivePageById(view, 0, 0)) {
            AddPage(new TestScreen(view));
            SetActivePageById(view, 0, 0);
        }
        if (!view)
            SetActivePage(nullptr, 0, 0);
    }
    void ShowOverlay(BOOL on) override { log->push_back(Say("ShowOverlay ", on)); }
    void Disable() override { m_bEnabled = FALSE; }
    Log* log;
};

class FakeNavi : public CNaviModelLink {
public:
    explicit FakeNavi(Log* log) : log(log) {}
    int GetModelId() const override { return MODELID_NAVI; }
    void AddRef() override { ++refs; }
    int Release() override { return --refs; }
    BOOL Launch() override { return TRUE; }
    void Stop(BOOL closing) override { log->push_back(Say("navi stop ", closing)); }
    void SetLayout(int layout) override { log->push_back(Say("navi layout ", layout)); }
    // The program confirms every show.
    void Show(int view) override
    {
        log->push_back(Say("navi show ", view));
        PushGlobalAction(MODELID_NAVI, NAVIN_SHOWN, 0);
    }
    BOOL Hide() override
    {
        log->push_back("navi hide");
        return TRUE;
    }
    void SyncView() override {}
    int GetLayout() override { return 0; }
    void PrepareLayout(int, int) override {}
    void SetPlacing(BOOL) override {}
    Log* log;
    int refs = 1;
};

// ViewCenter with the life-cycle steps and the dispatch targets logged.
class TestViewCenter : public ViewCenter {
public:
    explicit TestViewCenter(Log* log) : ViewCenter(FID_FM, 5), log(log) {}
    int ActionIsInvoked(int code, int kind, LPARAM param) override
    {
        heard.push_back(code);
        return ViewCenter::ActionIsInvoked(code, kind, param);
    }
#define VC_LOGGED(name)                                                                                                \
    void name() override                                                                                               \
    {                                                                                                                  \
        log->push_back(#name);                                                                                         \
    }
    VC_LOGGED(EndIntro)
    VC_LOGGED(ToAccOn)
    VC_LOGGED(ToAccOff)
    VC_LOGGED(ToPowerOff)
    VC_LOGGED(PowerKeyWhileOff)
    VC_LOGGED(NaviIsInitial)
    VC_LOGGED(NaviIsPrepared)
    VC_LOGGED(NaviIsLaunched)
    VC_LOGGED(NaviIsTerminated)
    VC_LOGGED(LaunchNaviSafe)
    VC_LOGGED(LaunchNaviRetry)
    VC_LOGGED(PrepareNaviAtFirst)
    VC_LOGGED(FirstWaitIsOver)
#undef VC_LOGGED
#define VC_PASSED(name)                                                                                                \
    void name() override                                                                                               \
    {                                                                                                                  \
        log->push_back(#name);                                                                                         \
        ViewCenter::name();                                                                                            \
    }
    VC_PASSED(AvOff)
    VC_PASSED(AvOn)
    VC_PASSED(ModeCycle)
    VC_PASSED(NaviIsClosed)
    VC_PASSED(DaemonIsLaunched)
    VC_PASSED(ShowColorKeyCover)
    VC_PASSED(RemoveColorKeyCover)
    VC_PASSED(FitMainWindowToOsd)
    VC_PASSED(HideMainWindow)
#undef VC_PASSED
    void DeviceStateIsChanged(int, int) override
    {
        log->push_back("DeviceStateIsChanged");
    }
    void DeactivateCamera(int) override
    {
        log->push_back("DeactivateCamera");
    }
    void NaviIsFailed(int) override
    {
        log->push_back("NaviIsFailed");
    }
    int ViewIsExeced(int fid) override
    {
        log->push_back("ViewIsExeced");
        return ViewCenter::ViewIsExeced(fid);
    }
    int ViewKeyIsInvoked(int fid) override
    {
        log->push_back("ViewKeyIsInvoked");
        return ViewCenter::ViewKeyIsInvoked(fid);
    }
    int RunPermanentAware(int fid) override
    {
        log->push_back("RunPermanentAware");
        return ViewCenter::RunPermanentAware(fid);
    }
    void ViewIsBack(int when, int from) override
    {
        log->push_back("ViewIsBack");
        ViewCenter::ViewIsBack(when, from);
    }
    void ToMainView(int fid) override
    {
        log->push_back("ToMainView");
        ViewCenter::ToMainView(fid);
    }
    void ToNaviView(int fid) override
    {
        log->push_back("ToNaviView");
        ViewCenter::ToNaviView(fid);
    }
    void RecordView(int fid) override
    {
        log->push_back("RecordView");
        ViewCenter::RecordView(fid);
    }
    void DropView(int fid) override
    {
        log->push_back("DropView");
        ViewCenter::DropView(fid);
    }
    int SetActivity(int activity, int where, int fid) override
    {
        log->push_back("SetActivity");
        return ViewCenter::SetActivity(activity, where, fid);
    }
    int ExtKeyIsInvoked(int code, int kind) override
    {
        log->push_back("ExtKeyIsInvoked");
        return ViewCenter::ExtKeyIsInvoked(code, kind);
    }
    int CloseOsdLayer() override
    {
        log->push_back("CloseOsdLayer");
        return ViewCenter::CloseOsdLayer();
    }
    COverlayLayer* MakeOsdLayer(int) override
    {
        return new TestOverlay(log);
    }
    IxElement* MakeVolumePopup(int) override
    {
        log->push_back("MakeVolumePopup");
        return nullptr;
    }

    // The navigation program launched and initialised, its model held.
    void HoldNavi(FakeNavi* navi)
    {
        m_pNaviModel = navi;
        m_nNaviMode = NAVI_READY;
        IxGetKernel()->Subscribe(navi->GetModelId(), this);
    }
    void SetMode(int mode)
    {
        m_nMode = mode;
    }
    void SetInitMode(int initMode)
    {
        m_nInitMode = initMode;
    }
    void SetFidNavi(int fid)
    {
        m_fidNavi = fid;
    }

    Log* log;
    std::vector<int> heard;
};

constexpr int kScreens[] = {3101, 5101, 5102, 5103, 5104, 5202, 5205, 5218, 5219, 5301, 5321, 5341, 5361, 9000};

class ViewCenterTest : public ModelFixture {
protected:
    void SetUp() override
    {
        ModelFixture::SetUp();
        stateFile = unit.Host("NEC1.state");
        audio = sim::CAudioProcessor::Install();
        connection = sim::CConnectionStatus::Install();
        for (int id : kScreens)
            frame->AddPage(new TestScreen(id));
        Boot();
    }
    void TearDown() override
    {
        Shutdown();
        sim::CConnectionStatus::Uninstall();
        sim::CAudioProcessor::Uninstall();
        ModelFixture::TearDown();
    }
    // As the unit starts: the micom (its blocks kept in a file), the model
    // center, ViewCenter as the frame's hook, attached and started.
    void Boot()
    {
        micom = sim::CMicom::Install(stateFile);
        GetUnitLink().OpenDevices();
        center = std::make_unique<CModelCenter>();
        center->SetInitialMute(TRUE);
        ASSERT_TRUE(center->Create());
        vc = new TestViewCenter(&log);
        frame->SetHook(vc);
        vc->OnEvent(IXEV_ATTACHED, 0);
        vc->OnFrameStarted();
        Drain();
    }
    void Shutdown()
    {
        if (vc) {
            frame->SetHook(nullptr);
            vc->OnEvent(IXEV_DETACHED, 0);
            delete vc;
            vc = nullptr;
        }
        frame->SetActivePage(nullptr, 0, 0);
        if (center) {
            center->Destroy();
            center.reset();
        }
        GetUnitLink().CloseDevices();
        GetUnitLink().ResetStates();
        sim::CMicom::Uninstall();
    }
    void Drain()
    {
        {
            IxBusyScope busy(frame);
            frame->DrainEventQueue();
        }
        Pump();
    }
    void Send(int code, int kind = AEV_DEFAULT, LPARAM value = 0)
    {
        PushGlobalAction(code, kind, value);
        Drain();
    }
    void SetDevice(int device, int state) { center->GetDeviceManager()->FindDevice(device)->nState = state; }
    int Active() const { return vc->GetActiveView(); }
    // Runs the last screen (the default FM screen when there is none).
    void Run()
    {
        vc->StartToRun(0);
        Drain();
    }

    std::string stateFile;
    std::shared_ptr<sim::CMicom> micom;
    std::shared_ptr<sim::CAudioProcessor> audio;
    std::shared_ptr<sim::CConnectionStatus> connection;
    std::unique_ptr<CModelCenter> center;
    TestViewCenter* vc = nullptr;
    Log log;
    FakeNavi navi{&log};
};

TEST_F(ViewCenterTest, ModeCycleFollowsItsOrderSkippingSourcesWithoutScreenOrDevice)
{
    // Storage mounted; AUX and iPod absent; of the radio only FM and AM have
    // screens.
    SetDevice(DEVNO_SD0, IXDS_MOUNTED);
    Run();
    ASSERT_EQ(Active(), FID_FM);
    std::vector<int> shown;
    for (int i = 0; i < 5; ++i) {
        Send(ACMD_MODE);
        shown.push_back(Active());
    }
    EXPECT_EQ(shown, (std::vector<int>{5205, 5218, 5219, 5101, 5202}));

    // With the iPod there it comes after the files (AUX still absent).
    SetDevice(DEVNO_IPOD, IXDS_MOUNTED);
    Send(ACMD_EXECVIEW, AEV_DEFAULT, 5102);
    ASSERT_EQ(Active(), 5102);
    Send(ACMD_MODE);
    EXPECT_EQ(Active(), FID_IPOD);
    // Outside the cycle (DVD) the key does nothing.
    SetDevice(DEVNO_DVD, IXDS_MOUNTED);
    Send(ACMD_EXECVIEW, AEV_DEFAULT, FID_DVD);
    ASSERT_EQ(Active(), FID_DVD);
    Send(ACMD_MODE);
    EXPECT_EQ(Active(), FID_DVD);
}

TEST_F(ViewCenterTest, HistoryKeepsFiveDistinctViewsAndBackWalksIt)
{
    Run();
    for (int fid : {5205, 5205, 5218, 5219})
        Send(ACMD_EXECVIEW, AEV_DEFAULT, fid);
    // The same view twice is one entry.
    std::vector<int> history;
    for (int i = 0; i < vc->GetHistoryCount(); ++i)
        history.push_back(vc->GetHistoryEntry(i));
    EXPECT_EQ(history, (std::vector<int>{5219, 5218, 5205, 5202}));

    // A screen that goes back announces that it left, then asks for back.
    Send(IXA_VIEWLEFT, AEV_DEFAULT, 5219);
    Send(IXA_BACK, AEV_DEFAULT, 5219);
    EXPECT_EQ(Active(), 5218);
    // Without the announcement the screen being left is still no target.
    Send(IXA_BACK, AEV_DEFAULT, 5218);
    EXPECT_EQ(Active(), 5205);
    // Dropping an id that is not the newest changes nothing.
    Send(IXA_VIEWLEFT, AEV_DEFAULT, 5219);
    EXPECT_EQ(vc->GetHistoryEntry(0), 5205);

    // A sixth distinct view drops the oldest.
    for (int fid : {5101, 5301, 5321, 5361, 3101})
        vc->RecordView(fid);
    history.clear();
    for (int i = 0; i < vc->GetHistoryCount(); ++i)
        history.push_back(vc->GetHistoryEntry(i));
    EXPECT_EQ(history, (std::vector<int>{3101, 5361, 5321, 5301, 5101}));
    // Back skips the menu views (and views whose device is gone).
    SetDevice(DEVNO_BLUETOOTH, IXDS_MOUNTED);
    Send(IXA_BACK, AEV_DEFAULT, 3101);
    EXPECT_EQ(Active(), 5361);
}

TEST_F(ViewCenterTest, BackWithAnEmptyHistoryRunsTheDefaultView)
{
    Run();
    ASSERT_EQ(Active(), FID_FM);
    Send(ACMD_EXECVIEW, AEV_DEFAULT, FID_AM);
    while (vc->GetHistoryCount() > 0)
        vc->DropView(vc->GetHistoryEntry(0));
    Send(IXA_BACK, AEV_DEFAULT, FID_AM);
    EXPECT_EQ(Active(), FID_FM);
}

TEST_F(ViewCenterTest, GroupsResolveToTheirNewestViewElseTheirDefaultAsTheirDevicesAllow)
{
    for (int device : {DEVNO_SD0, DEVNO_AUX, DEVNO_IPOD, DEVNO_DVD, DEVNO_BLUETOOTH})
        SetDevice(device, IXDS_MOUNTED);
    struct Case {
        int group, view;
    } defaults[] = {{5001, 5202}, {5002, 5218}, {5003, 5101}, {5004, 5321}, {5005, 5301}, {5006, 5341}, {5007, 5361}};
    for (const Case& c : defaults) {
        int sel = -1;
        EXPECT_EQ(vc->ResolveView(c.group, &sel, FALSE), c.view) << c.group;
        EXPECT_EQ(sel, 0);
    }
    // The newest view of the group wins over its default.
    vc->RecordView(5205);
    vc->RecordView(5102);
    EXPECT_EQ(vc->ResolveView(FID_GROUP_RADIO, nullptr, FALSE), 5205);
    EXPECT_EQ(vc->ResolveView(FID_GROUP_FILES, nullptr, FALSE), 5102);

    // Storage only present: the main view, with the asked view as selection.
    SetDevice(DEVNO_SD0, IXDS_PRESENT);
    int sel = 0;
    EXPECT_EQ(vc->ResolveView(FID_GROUP_FILES, &sel, FALSE), FID_FILES);
    EXPECT_EQ(sel, 5102);
    EXPECT_EQ(vc->ResolveView(FID_FILES, &sel, FALSE), FID_FILES);
    EXPECT_EQ(sel, 0);
    // No device: nothing; no-menu refuses the files' main view.
    SetDevice(DEVNO_SD0, IXDS_ABSENT);
    EXPECT_EQ(vc->ResolveView(FID_GROUP_FILES, nullptr, FALSE), 0);
    SetDevice(DEVNO_SD0, IXDS_MOUNTED);
    EXPECT_EQ(vc->ResolveView(FID_FILES, nullptr, TRUE), 0);

    // The view tests of the groups.
    EXPECT_TRUE(vc->IsViewInGroup(5212, 5001));
    EXPECT_FALSE(vc->IsViewInGroup(5213, 5001));
    EXPECT_TRUE(vc->IsViewInGroup(5310, 5005));
    EXPECT_FALSE(vc->IsViewInGroup(5311, 5005));
    EXPECT_TRUE(vc->IsViewInGroup(5104, 5003));
    EXPECT_FALSE(vc->IsViewInGroup(5105, 5003));
    EXPECT_EQ(vc->GetNextSourceView(5207), 5210);
    EXPECT_EQ(vc->GetNextSourceView(5341), 0);
    EXPECT_EQ(vc->GetDefaultView(2, 3101), 3101);
    EXPECT_EQ(vc->GetCommandGroup(47), FID_GROUP_DVD);
}

TEST_F(ViewCenterTest, NavigationMapAndMainScreenWithTheNavigationModel)
{
    Run();
    vc->HoldNavi(&navi);
    log.clear();
    // The map is asked for and shown once the program confirms; the FM
    // screen goes into the OSD layer.
    Send(ACMD_TONAVI);
    EXPECT_EQ(vc->GetFidNavi(), FID_NAVI);
    EXPECT_EQ(vc->GetPermanent(), FID_NAVI);
    EXPECT_EQ(Active(), FID_COLORKEY);
    ASSERT_NE(vc->GetOsdLayer(), nullptr);
    EXPECT_EQ(vc->GetOsdLayer()->GetOverlayPage(), FID_FM);
    EXPECT_NE(std::find(log.begin(), log.end(), "navi show 3001"), log.end());

    // A media view asked for goes into the OSD layer beside the map.
    Send(ACMD_EXECVIEW, AEV_DEFAULT, FID_AM);
    EXPECT_EQ(vc->GetFidNavi(), FID_NAVI);
    EXPECT_EQ(vc->GetOsdLayer()->GetOverlayPage(), FID_AM);

    // Back to the main screen: the map is hidden, AM runs full screen.
    log.clear();
    Send(ACMD_NAVITOGGLE);
    EXPECT_EQ(vc->GetFidNavi(), 0);
    EXPECT_EQ(vc->GetPermanent(), 0);
    EXPECT_EQ(Active(), FID_AM);
    EXPECT_NE(std::find(log.begin(), log.end(), "navi hide"), log.end());
}

TEST_F(ViewCenterTest, AvOffBesideTheMapAndBackRestoresTheScreen)
{
    Run();
    Send(ACMD_EXECVIEW, AEV_DEFAULT, FID_AM);
    vc->HoldNavi(&navi);
    Send(ACMD_TONAVI);
    ASSERT_EQ(vc->GetOsdLayer()->GetOverlayPage(), FID_AM);

    Send(ACMD_AVTOGGLE);
    EXPECT_TRUE(vc->IsAvOff());
    EXPECT_FALSE(IsAvOn());
    EXPECT_EQ(vc->GetOsdLayer()->GetOverlayPage(), FID_AVOFF);

    Send(ACMD_AVTOGGLE);
    EXPECT_FALSE(vc->IsAvOff());
    EXPECT_EQ(vc->GetOsdLayer()->GetOverlayPage(), FID_AM);
    EXPECT_EQ(vc->GetMode(), VCMODE_RUN);
    // 3054 acts only while AV is off; 3055 brings it back.
    log.clear();
    Send(ACMD_AVOFF);
    EXPECT_EQ(std::find(log.begin(), log.end(), "AvOff"), log.end());
    Send(ACMD_AVTOGGLE);
    Send(ACMD_AVON);
    EXPECT_EQ(vc->GetOsdLayer()->GetOverlayPage(), FID_AM);
}

TEST_F(ViewCenterTest, HistorySurvivesARestartThroughTheMicomsStatusBlock)
{
    Run();
    for (int fid : {5205, 5218, 5219, 5218})
        Send(ACMD_EXECVIEW, AEV_DEFAULT, fid);
    const sim::CMicom::Block0 stored = micom->StoredBlock0();
    EXPECT_EQ(platform::GetRawWord(stored.data() + B0_VIEWHISTORY + 16), 5218u);

    Shutdown();
    Boot();
    std::vector<int> history;
    for (int i = 0; i < vc->GetHistoryCount(); ++i)
        history.push_back(vc->GetHistoryEntry(i));
    EXPECT_EQ(history, (std::vector<int>{5218, 5219, 5218, 5205, 5202}));
    // The first start runs the newest screen.
    frame->SetActivePage(nullptr, 0, 0);
    Run();
    EXPECT_EQ(Active(), 5218);
}

TEST_F(ViewCenterTest, RefusedStatusBlockGivesNoHistory)
{
    Run();
    Send(ACMD_EXECVIEW, AEV_DEFAULT, 5205);
    Shutdown();
    // The kept block no longer matches its checksum.
    sim::CMicom::Block0 block;
    {
        auto kept = sim::CMicom(stateFile).StoredBlock0();
        block = kept;
    }
    block[kMicomBlock0SumOffset] ^= 0x5A;
    sim::CMicom(stateFile).PutBlock0(block);
    Boot();
    EXPECT_EQ(vc->GetHistoryCount(), 0);
}

TEST_F(ViewCenterTest, StartToRunLandsByTheInitModeAndAViewKeyBeforeRunningWaits)
{
    // Powered off when ACC went off: the next start lands in power-off.
    vc->SetInitMode(0);
    Run();
    EXPECT_EQ(vc->GetMode(), VCMODE_POWEROFF);
    EXPECT_TRUE(IsPoweredOff());
    EXPECT_EQ(Active(), 0);
    // Volume and mute codes are ignored there; the hold list is not.
    Heard();
    Send(ACMD_STEPVOLUME, AEV_DEFAULT, 1);
    Send(ACMD_MASTERMUTE);
    EXPECT_EQ(Heard(), Log{});
    Send(ACMD_HOLD, AEV_ATTACH, 9);
    EXPECT_EQ(Heard(), Log{"109 9"});

    // A view key before running is remembered; the start runs it.
    Send(ACMD_VIEWKEY, AEV_DEFAULT, FID_AM);
    EXPECT_EQ(vc->GetWaitKey(), FID_AM);
    EXPECT_EQ(Active(), 0);
    vc->StartToRun(vc->GetWaitKey());
    Drain();
    EXPECT_EQ(vc->GetMode(), VCMODE_RUN);
    EXPECT_EQ(vc->GetInitMode(), 1);
    EXPECT_EQ(Active(), FID_AM);
}

TEST_F(ViewCenterTest, AViewSwitchWritesTheStatusBlockOnce)
{
    Run();
    micom->ClearRecord();
    Send(ACMD_EXECVIEW, AEV_DEFAULT, FID_AM);
    const auto calls = micom->Calls();
    EXPECT_EQ(std::count_if(calls.begin(), calls.end(),
                            [](const auto& call) { return call.code == static_cast<DWORD>(MicomIoctl::WriteBlock0); }),
              1);
    // The same screen again changes nothing and writes nothing.
    micom->ClearRecord();
    Send(ACMD_EXECVIEW, AEV_DEFAULT, FID_AM);
    EXPECT_TRUE(micom->Calls().empty());
}

// The CKernelObj listener filter of its own (the other filter of the same
// listener): the fixed filter may hold none of these.
constexpr int kOwnFilter[] = {
    10001, 10008, 10002, 10011, 10012, 10044, 10041, 10046, 10045, 10047, 10410, 10411, 10056, 10057,
    10058, 10060, 300,   13401, 10100, 10255, 10152, 10071, 10072, 10043, 10042, 10256, 10257, 10063,
    10427, 10136, 10135, 10350, 10081, 480,   10065, 10090, 13160, 13163, 13161, 13164, 13165, 13166,
    13167, 13168, 13169, 13170, 13171, 13172, 13173, 10441, 10442, 10444, 10445, 10085, 10446, 20409,
    13601, 11500, 13350, 10091, 10092, 10460, 10461, 10463, 8999,  10464, 10465,
};

TEST_F(ViewCenterTest, FixedFilterAvoidsTheOwnFilterAndTheSubscriptions)
{
    EXPECT_EQ(std::size(kOwnFilter), 67u);
    for (int code : kOwnFilter)
        EXPECT_FALSE(ViewCenter::IsInFixedFilter(code)) << code;
    for (int code : {static_cast<int>(ACMD_APPPREPARE), static_cast<int>(ACMD_APPCLEANUP),
                     static_cast<int>(IXA_DEVICEEVENT), static_cast<int>(MODELID_NAVI)})
        EXPECT_FALSE(ViewCenter::IsInFixedFilter(code)) << code;
    // A listened code the fixed filter holds is not added twice.
    EXPECT_FALSE(vc->AddListenedCode(ACMD_VOLUMEUP));
    EXPECT_TRUE(vc->AddListenedCode(10421));
    EXPECT_FALSE(vc->AddListenedCode(10421));
}

TEST_F(ViewCenterTest, EveryCodeOfTheFixedFilterReachesItsHandler)
{
    Run();
    struct Case {
        int code;
        int kind;
        int value;
        const char* setup; // "" running; "off" power-off mode; "avoff"; "navi" the map shown
        const char* handler;
    } cases[] = {
        {ACMD_DAEMONLAUNCHED, AEV_DEFAULT, 0, "null", "DaemonIsLaunched"},
        {IXA_BACK, AEV_DEFAULT, 0, "", "ViewIsBack"},
        {IXA_VIEWENTERED, AEV_DEFAULT, 5205, "", "RecordView"},
        {IXA_PIPVIEWENTERED, AEV_DEFAULT, 5205, "", "RecordView"},
        {IXA_VIEWLEFT, AEV_DEFAULT, 5205, "", "DropView"},
        {ACMD_VIEWKEY, AEV_DEFAULT, 5205, "", "ViewKeyIsInvoked"},
        {ACMD_RUNPERMANENT, AEV_DEFAULT, 5205, "", "RunPermanentAware"},
        {ACMD_EXECVIEW, AEV_DEFAULT, 5205, "", "ViewIsExeced"},
        {ACMD_MODE, AEV_DEFAULT, 0, "", "ModeCycle"},
        {ACMD_OSDSHOW, AEV_DEFAULT, 1, "", "ShowOverlay 1"},
        {ACMD_OSDSHOWN, AEV_DEFAULT, 0, "", "FitMainWindowToOsd"},
        {ACMD_OSDHIDDEN, AEV_DEFAULT, 0, "", "HideMainWindow"},
        {ACMD_NAVICLOSED, AEV_DEFAULT, 0, "", "NaviIsClosed"},
        {ACMD_NAVITERMINATED, AEV_DEFAULT, 0, "", "NaviIsTerminated"},
        {ACMD_MASTERMUTE, AEV_DEFAULT, 0, "", "center 106"},
        {ACMD_BRIDGEMUTE, AEV_ATTACH, 0, "", "center 107"},
        {ACMD_ATTENUATE, AEV_ATTACH, 1, "", "center 111"},
        {ACMD_SETVOLUME, AEV_DEFAULT, 4000, "", "center 102"},
        {ACMD_STEPVOLUME, AEV_DEFAULT, 1, "", "center 102"},
        {ACMD_SETSECONDVOLUME, AEV_DEFAULT, 1000, "", "center 103"},
        {ACMD_STEPSECONDVOLUME, AEV_DEFAULT, -1, "", "center 103"},
        {ACMD_VOLUMEUP, AEV_SHORTPRESS, 0, "", "center 102"},
        {ACMD_VOLUMEDOWN, AEV_HOLDREPEAT, 0, "", "center 102"},
        {ACMD_COVERSHOW, AEV_DEFAULT, 0, "", "ShowColorKeyCover"},
        {ACMD_COVERREMOVE, AEV_DEFAULT, 0, "", "RemoveColorKeyCover"},
        {ACMD_KEY_POWER, AEV_DEFAULT, 0, "", "ToPowerOff"},
        {ACMD_KEY_MODE, AEV_DEFAULT, 0, "", "ToNaviView"},
        {ACMD_POWER, AEV_DEFAULT, 0, "", "ToPowerOff"},
        {ACMD_POWER, AEV_DEFAULT, 0, "off", "PowerKeyWhileOff"},
        {ACMD_POWEROFF, AEV_DEFAULT, 0, "", "ToPowerOff"},
        {ACMD_POWEROFF2, AEV_DEFAULT, 0, "off", "ToPowerOff"},
        {ACMD_AVTOGGLE, AEV_DEFAULT, 0, "", "ToPowerOff"},
        {ACMD_AVOFF, AEV_DEFAULT, 0, "avoff", "ToPowerOff"},
        {ACMD_AVON, AEV_DEFAULT, 0, "avoff", "AvOn"},
        {3060, AEV_DEFAULT, 0, "", "SetActivity"},
        {3061, AEV_DEFAULT, 0, "", "SetActivity"},
        {3062, AEV_DEFAULT, 0, "", "SetActivity"},
        {3063, AEV_DEFAULT, 0, "", "SetActivity"},
        {3064, AEV_DEFAULT, 0, "", "SetActivity"},
        {3065, AEV_DEFAULT, 0, "", "SetActivity"},
        {3066, AEV_DEFAULT, 0, "", "SetActivity"},
        {3067, AEV_DEFAULT, 0, "", "SetActivity"},
        {3068, AEV_DEFAULT, 0, "", "SetActivity"},
        {ACMD_NAVITOGGLE, AEV_DEFAULT, 0, "", "ToNaviView"},
        {ACMD_TOMAIN, AEV_DEFAULT, 0, "navi", "ToMainView"},
        {ACMD_TONAVI, AEV_DEFAULT, 0, "", "ToNaviView"},
        {MODELID_CENTER, MCN_VOLUME, 5, "", "MakeVolumePopup"},
        {FID_INTRO, AEV_DEFAULT, 0, "", "EndIntro"},
        // Last: holders refuse volume changes, and the close drops the OSD layer.
        {ACMD_HOLD, AEV_ATTACH, 7, "off", "center 109"},
        {ACMD_HOLDVIDEO, AEV_ATTACH, 8, "off", "center 109"},
        {IXA_ASKCLOSE, AEV_DEFAULT, 0, "", "ToAccOff"},
    };
    std::vector<int> covered;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        const std::string setup = c.setup;
        vc->SetMode(setup == "off" ? VCMODE_POWEROFF : setup == "null" ? VCMODE_NULL : VCMODE_RUN);
        vc->SetFidNavi(setup == "navi" ? FID_NAVI : 0);
        if (setup == "avoff")
            vc->RecordView(FID_AVOFF);
        Heard();
        log.clear();
        vc->heard.clear();
        Send(c.code, c.kind, c.value);
        for (const std::string& h : Heard()) {
            std::string line("center ");
            line += h.substr(0, h.find(' '));
            log.push_back(line);
        }
        EXPECT_EQ(std::count(vc->heard.begin(), vc->heard.end(), c.code), 1);
        EXPECT_NE(std::find(log.begin(), log.end(), c.handler), log.end()) << c.handler;
        if (setup == "avoff")
            vc->DropView(FID_AVOFF);
        covered.push_back(c.code);
    }
    // The view codes run the view; the object's own codes reach its handler
    // (here the key hook after the dispatcher's table).
    vc->SetMode(VCMODE_RUN);
    vc->SetFidNavi(0);
    for (const DWORD* row = ViewCenter::FixedFilter(); *row; ++row) {
        const int code = static_cast<int>(*row & 0xFFFF);
        if (std::find(covered.begin(), covered.end(), code) != covered.end())
            continue;
        SCOPED_TRACE(code);
        log.clear();
        vc->heard.clear();
        Send(code, AEV_DEFAULT, 0);
        EXPECT_EQ(std::count(vc->heard.begin(), vc->heard.end(), code), 1);
        const bool view = code >= 5101 && code <= 5361 && !(code >= 5342 && code <= 5350);
        EXPECT_NE(std::find(log.begin(), log.end(), view ? "ViewIsExeced" : "ExtKeyIsInvoked"), log.end())
            << ::testing::PrintToString(log);
    }
}

} // namespace
