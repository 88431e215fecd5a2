// CKernelObj's central action handler on the simulated board: which code
// (with its kind, parameter and the state of the unit) reaches which step of
// ViewCenter, which actions it queues, what it sends to the micom, the audio
// processor and the display, and which layers it opens and closes.
#include "Source/models/SettingModel.h"
#include "Source/shell/KernelObj.h"

#include "Lib_cpp/controls/Sheet.h"
#include "Lib_cpp/fs/DeviceManager.h"
#include "Source/models/ModelCodes.h"
#include "Source/models/UnitLink.h"
#include "Source/screens/common/OkPopup.h"
#include "Source/screens/common/SheetCodes.h"
#include "Source/shell/MainWndCodes.h"
#include "Source/shell/ShellIds.h"
#include "platform/io/RawDisk.h"
#include "sim/AudioProcessor.h"
#include "sim/ConnectionStatus.h"
#include "sim/Display.h"
#include "sim/Micom.h"
#include "tests/wren/ModelFixture.h"

#include <gtest/gtest.h>

namespace {

using namespace modeltest;

// CKernelObj with ViewCenter's screen steps logged instead of run.
class ActionsKernelObj : public CKernelObj {
public:
    explicit ActionsKernelObj(Log* log) : log(log) {}
    int RunPermanentAware(int fid) override
    {
        log->push_back(Say("RunPermanentAware ", fid));
        return 1;
    }
    int ViewIsExeced(int fid) override
    {
        log->push_back(Say("ViewIsExeced ", fid));
        return 1;
    }
    void ViewIsBack(int when, int from) override { log->push_back(Say("ViewIsBack ", when) + Say(" ", from)); }
    int SetActivity(int activity, int where, int fid) override
    {
        log->push_back(Say("SetActivity ", activity) + Say(" ", where) + Say(" ", fid));
        return 1;
    }
    void SaveLastStatus(int when) override { log->push_back(Say("SaveLastStatus ", when)); }
    void ShowColorKeyCover() override { log->push_back("ShowColorKeyCover"); }
    void NaviIsTerminated() override { log->push_back("NaviIsTerminated"); }
    void SetMode(int mode) { m_nMode = mode; }
    void SetNaviShown(bool shown) { m_fidNavi = shown ? FID_NAVI : 0; }
    void SetActivityWord(int activity) { m_nActivity = activity; }
    void SetCamera(int fid) { m_fidCamera = fid; }
    void ClearBackToMenu() { m_bBackToMenu = FALSE; }

    Log* log;
};

// A page, or a layer, with children the handler looks for.
class Page : public IxView {
public:
    explicit Page(int id) { m_nId = id; }
    void Child(int id, DWORD flags)
    {
        auto* child = new IxView;
        child->SetId(id);
        child->SetFlags(flags, 0);
        AddChild(child);
    }
};

class KernelObjActionsTest : public ModelFixture {
protected:
    void SetUp() override
    {
        ModelFixture::SetUp();
        micom = sim::CMicom::Install();
        audio = sim::CAudioProcessor::Install();
        connection = sim::CConnectionStatus::Install();
        display = sim::CDisplay::Install();
        GetUnitLink().OpenDevices();
        core = new ActionsKernelObj(&log);
        frame->SetHook(core);
        {
            IxBusyScope busy(frame);
            core->OnEvent(IXEV_ATTACHED, 0);
        }
        Pump();
        core->SetMode(VCMODE_RUN);
        core->SetActivityWord(1);
        core->GetCenter().SetVolume(5000);
        Queued();
        log.clear();
    }
    void TearDown() override
    {
        frame->PopAllLayers();
        frame->SetActivePage(nullptr, 0, 0);
        delete page;
        frame->SetHook(nullptr);
        core->OnEvent(IXEV_DETACHED, 0);
        delete core;
        GetUnitLink().CloseDevices();
        GetUnitLink().ResetStates();
        sim::CDisplay::Uninstall();
        sim::CConnectionStatus::Uninstall();
        sim::CAudioProcessor::Uninstall();
        sim::CMicom::Uninstall();
        ModelFixture::TearDown();
    }
    // The top page (view 0: none), with a child shown or hidden.
    Page* Show(int view)
    {
        frame->SetActivePage(nullptr, 0, 0);
        delete page;
        page = nullptr;
        if (view == 0)
            return nullptr;
        page = new Page(view);
        frame->AddPage(page);
        frame->SetActivePage(page, 0, 0);
        return page;
    }
    void PushLayer(int id)
    {
        auto* layer = new Page(id);
        layer->SetRectNow(RECT{0, 0, 800, 480});
        frame->PushLayer(layer, nullptr, IXLAYER_SCREEN);
    }
    // Called as the kernel calls a listener, outside a message handler: what
    // it queues waits on the queue.
    int Invoke(int code, int kind, LPARAM param) { return core->ActionIsInvoked(code, kind, param); }
    // What is waiting on the kernel's action queue, as "code kind value",
    // taken off it.
    Log Queued()
    {
        Log out;
        IxRingEntry entry{};
        while (kernel->GetQueue()->Pop(&entry))
            out.push_back(N(entry.dwAction & 0xFFFF) + " " + N(entry.dwAction >> 16) + " " + N(entry.lValue));
        return out;
    }

    std::shared_ptr<sim::CMicom> micom;
    std::shared_ptr<sim::CAudioProcessor> audio;
    std::shared_ptr<sim::CConnectionStatus> connection;
    std::shared_ptr<sim::CDisplay> display;
    ActionsKernelObj* core = nullptr;
    Page* page = nullptr;
    Log log;
};

// The unit's state a case starts from.
struct State {
    int top = 0;        // the top page
    int element = 0;    // a child of the top page, shown
    bool navi = false;  // the navigation map is on screen
    bool voice = false; // voice recognition runs
    bool disc = false;  // a disc is in the tilt's slot
};

struct ActionCase {
    const char* name;
    int code;
    int kind;
    LPARAM param;
    State state;
    Log steps;  // ViewCenter's steps reached
    Log queued; // actions left on the queue
};

void PrintTo(const ActionCase& c, std::ostream* os)
{
    *os << c.name;
}

class ActionTable : public KernelObjActionsTest, public testing::WithParamInterface<ActionCase> {};

TEST_P(ActionTable, CodeReachesItsStepsAndQueuesItsActions)
{
    const ActionCase& c = GetParam();
    if (Page* top = Show(c.state.top); top && c.state.element)
        top->Child(c.state.element, 0);
    core->SetNaviShown(c.state.navi);
    GetUnitLink().m_nVoiceActive = c.state.voice;
    if (c.state.disc)
        connection->SetDisc(BoardDiscValue::Inserted);
    Pump();
    Invoke(c.code, c.kind, c.param);
    EXPECT_EQ(Take(log), c.steps);
    EXPECT_EQ(Queued(), c.queued);
}

constexpr int C = AEV_DEFAULT;

const ActionCase kScreenKeys[] = {
    {"DvdSubScreenIsTheDvdScreen", 5345, C, 0, {}, {"RunPermanentAware 5341"}, {}},
    {"SourceKeyRunsTheSourceSwitch", FID_FM, C, 0, {}, {"RunPermanentAware 5202"}, {}},
    {"FrontCameraRunsTheSourceSwitch", FID_FRONTCAMERA, C, 0, {}, {"RunPermanentAware 10058"}, {}},
    {"DualZoneRunsTheSourceSwitch", FID_DUALZONE, C, 0, {}, {"RunPermanentAware 10410"}, {}},
    {"SettingsPageRuns", FID_SET_DISPLAY, C, 0, {}, {"ViewIsExeced 10041"}, {}},
    {"ScreenSaverRuns", FID_PICTURESAVER, C, 0, {}, {"ViewIsExeced 10043"}, {}},
    {"EngineeringModeRuns", 10056, C, 0, {}, {"ViewIsExeced 10056"}, {}},
    {"DvdSettingsRunWithoutDisc", FID_SET_DVD, C, 0, {}, {"ViewIsExeced 10046"}, {}},
    {"DvdSettingsRefusedWithDisc", FID_SET_DVD, C, 0, {.disc = true}, {}, {"10069 4096 0"}},
    {"MenuKeyOpensTheMenu", FID_EXT_VOICE20100, C, 0, {.top = FID_FM}, {"ViewIsExeced 3101"}, {}},
    {"MenuKeyOverTheMapIsAv", FID_EXT_VOICE20100, C, 0, {.navi = true}, {"SetActivity 1 1 3101"}, {}},
    {"MenuKeyWaitsForTheCallPopup", FID_EXT_VOICE20100, C, 0, {.top = FID_FM, .element = ACMD_BTCALLPOPUP}, {}, {}},
    {"GateKeyOnTheMenuGoesBack", FID_EXT_GATEKEY, C, 0, {.top = FID_GATE}, {"ViewIsBack 4 3101"}, {}},
    {"GateKeyOpensTheMenu",
     FID_EXT_GATEKEY,
     C,
     0,
     {.top = FID_FM, .element = ACMD_BTCALLPOPUP},
     {"ViewIsExeced 3101"},
     {}},
    {"GateKeyOverTheMapIsAv", FID_EXT_GATEKEY, C, 0, {.navi = true}, {"SetActivity 1 1 3101"}, {}},
    {"NaviMenuButtonIsAv", FID_EXT_3DMENU, C, 0, {}, {"SetActivity 1 1 3101"}, {}},
    {"BackKeyQueuesBack", FID_EXT_BACKKEY, C, 0, {}, {}, {"201 4096 0"}},
    {"CoverOnTheMenuGoesBackFirst", ACMD_COVERSHOW, C, 0, {.top = FID_GATE}, {"ShowColorKeyCover"}, {"201 4096 0"}},
    {"CoverElsewhere", ACMD_COVERSHOW, C, 0, {.top = FID_FM}, {"ShowColorKeyCover"}, {}},
    {"BackGoesToTheBase", IXA_BACK, C, FID_FM, {.top = FID_FM}, {"ViewIsBack 4 5202"}, {}},
    {"BackOnTheMenuWithoutCamera", IXA_BACK, C, 0, {.top = FID_GATE}, {"ViewIsBack 4 0"}, {}},
    {"RemoteStopShowsTheVideoControls",
     FID_EXT_REMOTESTOP,
     C,
     0,
     {.top = FID_MOVIE, .element = IXPAGE_C_FIRST},
     {},
     {"3403 4096 0"}},
    {"RemoteStopShowsPageC", FID_EXT_REMOTESTOP, C, 0, {.top = FID_MOVIE}, {}, {"3402 4096 0"}},
    {"RemoteStopOnPhotos", FID_EXT_REMOTESTOP, C, 0, {.top = FID_PHOTO}, {}, {"3402 4096 0"}},
    {"RemoteStopOnPhotosWithAPage",
     FID_EXT_REMOTESTOP,
     C,
     0,
     {.top = FID_PHOTO, .element = IXPAGE_C_FIRST + 1},
     {},
     {}},
    {"RemoteKeyAKeepsItsKind", KEY_SEEKUPHELD, AEV_SHORTPRESS, 0, {}, {}, {"10101 4111 0"}},
    {"RemoteKeyBKeepsItsKind", KEY_SEEKDOWNHELD, AEV_LONGPRESS, 0, {}, {}, {"10102 4113 0"}},
    {"PhoneKeyLong", KEY_PHONEOFFHELD, AEV_LONGPRESS, 0, {}, {}, {"10103 4113 0"}},
    {"PhoneKeyShortEnd", KEY_PHONEOFFHELD, AEV_SHORTEND, 0, {}, {}, {"10103 4112 0"}},
    {"PhoneKeyOtherKind", KEY_PHONEOFFHELD, AEV_SHORTPRESS, 0, {}, {}, {}},
    {"Voice20409OnTheIpod", FID_EXT_VOICE20409, C, 0, {.top = FID_IPOD}, {}, {"10136 4108 0"}},
    {"Voice20409Elsewhere", FID_EXT_VOICE20409, C, 0, {.top = FID_MUSIC}, {}, {"3765 4096 0"}},
};
INSTANTIATE_TEST_SUITE_P(ScreenKeys, ActionTable, testing::ValuesIn(kScreenKeys),
                         [](const testing::TestParamInfo<ActionCase>& info) { return std::string(info.param.name); });

const ActionCase kAudioAndPower[] = {
    {"VolumeUpKeySteps", BTN_VOLUP, AEV_SHORTPRESS, 0, {}, {"SaveLastStatus 3"}, {"8000 102 26"}},
    {"VolumeDownKeyRepeats", BTN_VOLDOWN, AEV_HOLDREPEAT, 0, {}, {"SaveLastStatus 3"}, {"8000 102 24"}},
    {"VolumeKeyPressAlone", BTN_VOLUP, C, 0, {}, {}, {}},
    {"VolumeCommandSteps", ACMD_VOLUMEUP, AEV_LONGPRESS, 0, {}, {"SaveLastStatus 3"}, {"8000 102 26"}},
    {"VolumeCommandPressAlone", ACMD_VOLUMEDOWN, C, 0, {}, {}, {}},
    {"MuteKeyShort", KEY_STEERINGMUTEHELD, AEV_SHORTPRESS, 0, {}, {}, {"400 4096 0"}},
    {"MuteKeyOtherKind", KEY_STEERINGMUTEHELD, C, 0, {}, {}, {}},
    {"BridgeMuteClickIsTheMasterMute", ACMD_BRIDGEMUTE, C, 0, {}, {}, {"8000 106 1"}},
    {"BridgeMuteAttach", ACMD_BRIDGEMUTE, AEV_ATTACH, 0, {}, {}, {"8000 107 0"}},
    {"UserActivityOnASaverGoesBack", FID_OCCUR_USER_EVENT, C, 0, {.top = FID_SPECTRUMSAVER}, {}, {"201 4096 0"}},
    {"UserActivityElsewhere", FID_OCCUR_USER_EVENT, C, 1, {.top = FID_FM}, {}, {}},
    {"NavigationEndKillsTheWait", ACMD_NAVITERMINATED, C, 0, {}, {"NaviIsTerminated"}, {}},
};
INSTANTIATE_TEST_SUITE_P(AudioAndPower, ActionTable, testing::ValuesIn(kAudioAndPower),
                         [](const testing::TestParamInfo<ActionCase>& info) { return std::string(info.param.name); });

TEST_F(KernelObjActionsTest, VoiceRecognitionStopsOnBackAwayFromTheMenu)
{
    struct Recorder : IxElement {
        Recorder() { IxGetKernel()->AddListener(filter, this); }
        ~Recorder() override { IxGetKernel()->RemoveListener(filter, this); }
        int ActionIsInvoked(int, int, LPARAM value) override
        {
            heard.push_back(value);
            return 0;
        }
        void Draw(IxPaintRecord*) override {}
        DWORD filter[2] = {IxActionWord(FID_EXT_VC_RECOG, 0), 0};
        std::vector<LPARAM> heard;
    };
    Recorder recorder;
    GetUnitLink().m_nVoiceActive = 1;
    Show(FID_FM);
    Invoke(IXA_BACK, AEV_DEFAULT, 0);
    EXPECT_EQ(recorder.heard, std::vector<LPARAM>{0});
    Show(FID_GATE);
    Invoke(IXA_BACK, AEV_DEFAULT, 0);
    EXPECT_EQ(recorder.heard.size(), 1u);
}

TEST_F(KernelObjActionsTest, BackOnTheMenuUnderTheRearCameraLeavesTheMenuForTheCameraEnd)
{
    const struct {
        int camera;
        int state;
        bool leaves;
    } cases[] = {{5401, IXDS_MOUNTED, true}, {5401, IXDS_ABSENT, false}, {0, IXDS_MOUNTED, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.camera << " " << c.state);
        Show(FID_GATE);
        core->SetCamera(c.camera);
        core->GetCenter().GetDeviceManager()->FindDevice(DEVNO_REARCAMERA)->nState = c.state;
        Invoke(IXA_BACK, AEV_DEFAULT, 0);
        EXPECT_EQ(core->IsBackToMenu(), c.leaves);
        EXPECT_EQ(frame->GetActivePage() == nullptr, c.leaves);
        EXPECT_EQ(Take(log), c.leaves ? Log{} : Log{"ViewIsBack 4 0"});
        core->SetCamera(0);
        core->ClearBackToMenu();
    }
}

// Sends to the micom, the audio processor and the display.
TEST_F(KernelObjActionsTest, MainSourceStateGoesToTheMicomWhenItChanges)
{
    struct Case {
        int mode;
        int owner;
        std::array<BYTE, 2> state;
        int stored;
    };
    const Case cases[] = {
        {VCMODE_RUN, MODELID_FM, {1, 0}, 1},     {VCMODE_RUN, MODELID_AM, {1, 0}, 1},
        {VCMODE_RUN, MODELID_MUSIC, {2, 0}, 0},  {VCMODE_POWEROFF, MODELID_FM, {2, 0}, 0},
        {VCMODE_STOPPED, MODELID_FM, {2, 0}, 0}, {VCMODE_RUN, MODELID_AM, {1, 0}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << " owner " << c.owner);
        core->SetMode(c.mode);
        Invoke(MODELID_CENTER, MCN_OWNERCHANGED, c.owner);
        EXPECT_EQ(micom->State2(), c.state);
        EXPECT_EQ(core->GetState8000(), c.stored);
    }
}

TEST_F(KernelObjActionsTest, SystemEventsSetTheMicomStateAndTheCleanUpWord)
{
    BYTE* block = GetBlock0();
    ASSERT_NE(block, nullptr);
    platform::PutRawWord(block + B0_CLEANUP, 0);
    struct Case {
        int code;
        LPARAM param;
        std::array<BYTE, 2> state;
        DWORD cleanUp;
        BOOL prepared;
    };
    const Case cases[] = {
        {ACMD_APPPREPARE, 1, {255, 0}, 0, TRUE},
        {ACMD_APPCLEANUP, 1, {0, 0}, 0, TRUE},
        {ACMD_APPCLEANUP, 0, {0, 0}, 1, TRUE},
        {ACMD_APPCLEANUP, 2, {0, 0}, 1, TRUE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.code << " " << c.param);
        // Heard as a subscriber: the others subscribed go on hearing it.
        IxBroadcast(static_cast<WORD>(c.code), AEV_DEFAULT, c.param);
        EXPECT_EQ(micom->State2(), c.state);
        EXPECT_EQ(platform::GetRawWord(block + B0_CLEANUP), c.cleanUp);
        EXPECT_EQ(core->IsPrepared(), c.prepared);
    }
}

TEST_F(KernelObjActionsTest, GuidanceLevelGoesToTheAudioProcessorAsOneByte)
{
    BYTE* block = GetBlock0();
    ASSERT_NE(block, nullptr);
    const struct {
        int word;
        int sent;
    } cases[] = {{7, 7}, {0, 0}, {-1, 3}, {1000, 255}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.word);
        platform::PutRawWord(block + B0_GUIDANCE, static_cast<DWORD>(c.word));
        Invoke(FID_EXT_VC_READY, AEV_DEFAULT, 0);
        EXPECT_EQ(audio->Last(AudioIoctl::GuidanceLevel), std::vector<BYTE>{static_cast<BYTE>(c.sent)});
    }
}

TEST_F(KernelObjActionsTest, TailLampSetsTheDisplaysDayMode)
{
    const std::size_t before = display->Calls().size(); // the settings sent at start
    Invoke(FID_EXT_TAIL, AEV_DEFAULT, 1);
    EXPECT_EQ(display->DayMode(), 0);
    EXPECT_TRUE(core->IsTailLampOn());
    Invoke(FID_EXT_TAIL, AEV_DEFAULT, 0);
    EXPECT_EQ(display->DayMode(), 1);
    EXPECT_FALSE(core->IsTailLampOn());
    const auto calls = display->Calls();
    ASSERT_EQ(calls.size(), before + 4);
    EXPECT_EQ(calls[before + 2].code, static_cast<int>(DisplayEscape::DayMode));
    EXPECT_EQ(calls[before + 2].input, (std::vector<unsigned char>{1, 0, 0, 0}));
    // Each change sends the stored level for day or night after it.
    for (int at : {1, 3}) {
        EXPECT_EQ(calls[before + at].code, static_cast<int>(DisplayEscape::Brightness));
        const int expected = SettingGetContrastValue(at == 1 ? 1 : 0);
        EXPECT_EQ(calls[before + at].input,
                  (std::vector<unsigned char>{static_cast<unsigned char>(expected), 0, 0, 0}));
    }
}

TEST_F(KernelObjActionsTest, CardRemovalPopupsEndResetsTheMicom)
{
    PushLayer(FID_NAVI_DETACH_POPUP);
    Invoke(FID_NAVI_DETACH_POPUP, AEV_DEFAULT, 0);
    EXPECT_TRUE(micom->Resets().empty());
    EXPECT_TRUE(frame->IsLayerShown(FID_NAVI_DETACH_POPUP));
    Invoke(FID_NAVI_DETACH_POPUP, AEV_COMPLETE, 0);
    EXPECT_EQ(micom->Resets(), std::vector<DWORD>{0});
    Pump();
    EXPECT_FALSE(frame->IsLayerShown(FID_NAVI_DETACH_POPUP));
}

TEST_F(KernelObjActionsTest, AliveActionGoesToTheMicomAtOnce)
{
    const int before = micom->Alives();
    Invoke(FID_ALIVEINVOKE, AEV_DEFAULT, 0);
    EXPECT_EQ(micom->Alives(), before + 1);
}

TEST_F(KernelObjActionsTest, BacklightRequestGoesToTheMainWindow)
{
    static std::vector<std::pair<WPARAM, LPARAM>> heard;
    static WNDPROC previous = nullptr;
    heard.clear();
    const UINT fromMain = RegisterWindowMessageW(kFromMainName);
    static UINT s_fromMain = 0;
    s_fromMain = fromMain;
    previous = reinterpret_cast<WNDPROC>(SetWindowLongW(
        hwnd, GWL_WNDPROC,
        reinterpret_cast<LONG_PTR>(+[](HWND window, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
            if (message == s_fromMain)
                heard.emplace_back(wParam, lParam);
            return CallWindowProcW(previous, window, message, wParam, lParam);
        })));
    Invoke(MCA_REQUESTB, AEV_DEFAULT, 1);
    Invoke(MCA_REQUESTB, AEV_DEFAULT, 0);
    SetWindowLongW(hwnd, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
    EXPECT_EQ(heard, (std::vector<std::pair<WPARAM, LPARAM>>{{FROMMAIN_BACKLIGHT, 1}, {FROMMAIN_BACKLIGHT, 0}}));
}

TEST_F(KernelObjActionsTest, ParkSignalForcesTheParkNotice)
{
    struct Case {
        int unused;
        int parked;
        BOOL park;
        const char* queued;
    };
    const Case cases[] = {
        {0, 1, TRUE, "34 4096 102"},
        {0, 0, FALSE, "34 4129 102"},
        {1, 1, FALSE, "34 4129 102"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.unused << " " << c.parked);
        GetUnitLink().m_nParkSignalOff = c.unused;
        GetUnitLink().m_nParked = c.parked;
        Invoke(FID_EXT_PARKSIGNAL, AEV_DEFAULT, 0);
        EXPECT_EQ(core->IsParked(), c.park);
        EXPECT_EQ(Queued(), Log{c.queued});
    }
}

TEST_F(KernelObjActionsTest, UserActivityIsNotCountedUnderItsPopups)
{
    Show(FID_SPECTRUMSAVER);
    for (int popup : {FID_POPUP_NOSAVER1, FID_POPUP_NOSAVER2}) {
        SCOPED_TRACE(popup);
        PushLayer(popup);
        Invoke(FID_OCCUR_USER_EVENT, AEV_DEFAULT, 0);
        EXPECT_EQ(Queued(), Log{});
        frame->PopLayer(popup);
        Pump();
    }
    Invoke(FID_OCCUR_USER_EVENT, AEV_DEFAULT, 0);
    EXPECT_EQ(Queued(), Log{"201 4096 0"});
}

TEST_F(KernelObjActionsTest, BareSourceTakesTheSecondZoneOnPowerOffNotice)
{
    Invoke(FID_EXT_POWEROFF, AEV_DEFAULT, 0); // no model: nothing
    EXPECT_EQ(Take(log), Log{});
    auto* bare = new FakeModel(MODELID_BARE, &log);
    Invoke(FID_EXT_POWEROFF, AEV_DEFAULT, 0);
    EXPECT_EQ(Take(log), Log{"8801 take 5 zone 1"});
    core->GetCenter().ReleaseAllModels();
    delete bare;
}

// Timers, flags and layers.
TEST_F(KernelObjActionsTest, NavigationCloseWaitRunsUntilTheProgramEnds)
{
    Invoke(FID_EXT_WAIT_NAVICLOSE, AEV_DEFAULT, 0);
    EXPECT_TRUE(core->IsTimerRunning(TM_WAITNAVICLOSE));
    Invoke(ACMD_NAVITERMINATED, AEV_DEFAULT, 0);
    EXPECT_FALSE(core->IsTimerRunning(TM_WAITNAVICLOSE));
    EXPECT_EQ(Take(log), Log{"NaviIsTerminated"});
}

TEST_F(KernelObjActionsTest, KeyPressClosesTheVolumeOverlay)
{
    for (int code : {FID_EXT_KEYPRESS, FID_EXT_VOICE20409}) {
        SCOPED_TRACE(code);
        PushLayer(FID_VOLUME);
        Invoke(code, AEV_DEFAULT, 0);
        Pump();
        EXPECT_FALSE(frame->IsLayerShown(FID_VOLUME));
        Queued();
    }
}

TEST_F(KernelObjActionsTest, DualZoneMessageShowsOnceForItsTime)
{
    Invoke(MCA_SECONDZONEMOVED, AEV_DEFAULT, 0);
    Pump();
    auto* popup = dynamic_cast<COkPopup*>(frame->IsLayerShown(FID_DUALZONEPOPUP));
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->GetTimeout(), 5000);
    ASSERT_EQ(popup->GetLines().Count(), 2);
    EXPECT_EQ(std::u16string(popup->GetLines().TextAt(0)), u"AVN의 멀티미디어 모드가 다른 모드로");
    EXPECT_EQ(std::u16string(popup->GetLines().TextAt(1)), u"변경되면 듀얼죤 화면이 오프로 됩니다.");
    RECT rect{};
    popup->GetRect(&rect);
    EXPECT_EQ(rect.right - rect.left, 800);
    EXPECT_EQ(rect.bottom - rect.top, 480);
    const int layers = frame->Layers().Count();
    Invoke(MCA_SECONDZONEMOVED, AEV_DEFAULT, 0);
    Pump();
    EXPECT_EQ(frame->Layers().Count(), layers);
    clock.Advance(5000);
    Pump();
    frame->SyncTimers();
    Pump();
    EXPECT_FALSE(frame->IsLayerShown(FID_DUALZONEPOPUP));
}

TEST_F(KernelObjActionsTest, ModePopupOpensOnceAndTheVolumeKeyClosesIt)
{
    Show(FID_FM);
    EXPECT_EQ(Invoke(FID_EXT_MODEPOPUP, AEV_DEFAULT, 0), 1);
    Pump();
    ASSERT_TRUE(frame->IsLayerShown(FID_MODEPOPUP));
    const int layers = frame->Layers().Count();
    // Shown: 10100 takes it and opens nothing; 10152 asks it to close.
    EXPECT_EQ(Invoke(FID_EXT_MODEPOPUP, AEV_DEFAULT, 0), 1);
    EXPECT_EQ(Queued(), Log{});
    EXPECT_EQ(Invoke(FID_EXT_NAVIMODEPOPUP, AEV_DEFAULT, 0), 1);
    EXPECT_EQ(Queued(), Log{"10424 4096 0"});
    Pump();
    EXPECT_EQ(frame->Layers().Count(), layers);
    Invoke(ACMD_VOLUMEUP, AEV_SHORTPRESS, 0);
    Pump();
    EXPECT_FALSE(frame->IsLayerShown(FID_MODEPOPUP));
}

TEST_F(KernelObjActionsTest, ModePopupOverTheMenuPostsTheBackCommandFirst)
{
    Show(FID_GATE);
    EXPECT_EQ(Invoke(FID_EXT_NAVIMODEPOPUP, AEV_DEFAULT, 0), 1);
    Pump();
    EXPECT_TRUE(frame->IsLayerShown(FID_MODEPOPUP));
    // The posted back command reaches ViewCenter's back step.
    EXPECT_EQ(Take(log), Log{"ViewIsBack 4 0"});
}

} // namespace
