// CKernelObj on the simulated board: its listener filter, each of its
// timers on the manual clock (the ACC check among them), the key-to-button
// mapping, the power key and the view slots it overrides.
#include "Source/shell/KernelObj.h"

#include "Source/models/ModelCodes.h"
#include "Source/models/UnitLink.h"
#include "Source/shell/ModePopup.h"
#include "Source/shell/ShellIds.h"
#include "platform/base/Debug.h"
#include "sim/Micom.h"
#include "tests/wren/ModelFixture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

using namespace modeltest;

// CKernelObj with the power and ACC steps logged and every action it hears
// recorded.
class TestKernelObj : public CKernelObj {
public:
    explicit TestKernelObj(Log* log) : log(log) {}
    int ActionIsInvoked(int code, int kind, LPARAM param) override
    {
        heard.push_back(Say("", code) + Say(" ", kind));
        return CKernelObj::ActionIsInvoked(code, kind, param);
    }
    void ToAccOff() override { log->push_back("ToAccOff"); }
    void ToPowerOff() override { log->push_back("ToPowerOff"); }
    void PowerKeyWhileOff() override { log->push_back("PowerKeyWhileOff"); }
    void AvOn() override { log->push_back("AvOn"); }
    void SetMode(int mode) { m_nMode = mode; }
    void SetNaviMode(int mode) { m_nNaviMode = mode; }
    void SetDaemons(int count) { m_nDaemons = count; }
    void SetNaviCloseCode(int code) { m_nNaviCloseCode = code; }
    void SetFactoryReset() { m_bFactoryReset = TRUE; }
    BOOL IsFactoryReset() const { return m_bFactoryReset; }
    BOOL IsNaviAtFirst() const { return m_fNaviAtFirst; }
    int FirstWait() const { return m_nFirstWait; }
    int Retry() const { return m_nRetry; }
    int RetryLimit() const { return m_nRetryLimit; }
    BOOL SecondGate() const { return m_bSecondGate; }
    using CKernelObj::CloseVoiceController;

    Log* log;
    Log heard;
};

// A page with a few children that the key mapping looks at.
class Page : public IxView {
public:
    explicit Page(int id) { m_nId = id; }
    IxElement* Child(int id, DWORD flags)
    {
        auto* child = new IxView;
        child->SetId(id);
        child->SetFlags(flags, 0);
        AddChild(child);
        return child;
    }
};

// The colour-key layer with the video frame's pages.
class VideoFrame : public IxFrameView {
public:
    explicit VideoFrame(int id) { m_nId = id; }
};

class KernelObjTest : public ModelFixture {
protected:
    void SetUp() override
    {
        ModelFixture::SetUp();
        micom = sim::CMicom::Install();
        GetUnitLink().OpenDevices();
        core = new TestKernelObj(&log);
        frame->SetHook(core);
        {
            IxBusyScope busy(frame);
            core->OnEvent(IXEV_ATTACHED, 0);
        }
        Pump();
        core->heard.clear();
        log.clear();
    }
    void TearDown() override
    {
        frame->SetHook(nullptr);
        core->OnEvent(IXEV_DETACHED, 0);
        delete core;
        frame->SetActivePage(nullptr, 0, 0);
        GetUnitLink().CloseDevices();
        GetUnitLink().ResetStates();
        sim::CMicom::Uninstall();
        ModelFixture::TearDown();
    }
    void Drain()
    {
        {
            IxBusyScope busy(frame);
            frame->DrainEventQueue();
        }
        Pump();
    }
    void Start(int id, int ms)
    {
        IxBusyScope busy(frame);
        core->BeginTimer(id, ms);
    }
    void Wait(int ms)
    {
        clock.Advance(static_cast<std::uint64_t>(ms));
        Pump();
        Drain();
    }
    Log Heard()
    {
        Log out;
        out.swap(core->heard);
        return out;
    }
    Page* Show(int view)
    {
        auto* page = new Page(view);
        frame->AddPage(page);
        frame->SetActivePage(page, 0, 0);
        return page;
    }

    std::shared_ptr<sim::CMicom> micom;
    TestKernelObj* core = nullptr;
    Log log;
};

TEST_F(KernelObjTest, ConstructionSetsTheNavigationFirstStartAndTheLaunchRetries)
{
    EXPECT_EQ(CKernelObj::GetInstance(), core);
    EXPECT_TRUE(core->IsNaviAtFirst());
    EXPECT_EQ(core->FirstWait(), -1);
    EXPECT_EQ(core->Retry(), 1000);
    EXPECT_EQ(core->RetryLimit(), 3);
    EXPECT_FALSE(core->SecondGate());
    EXPECT_TRUE(core->GetOptions() & VCOPT_PERMANENTRUN);
    EXPECT_EQ(core->GetCenter().GetEnableWord(0), 1);
    EXPECT_EQ(core->GetCenter().GetEnableWord(1), 1);
    EXPECT_EQ(CModelCenter::GetCenter(), &core->GetCenter());
}

TEST_F(KernelObjTest, ListenerFilterHasItsRowsInOrder)
{
    constexpr int C = AEV_DEFAULT; // a click
    constexpr int A = 0;           // any kind
    const int rows[][2] = {
        {10001, C}, {10008, C}, {10002, C}, {10011, C}, {10012, C}, {10044, C}, {10041, C}, {10046, C}, {10045, C},
        {10047, C}, {10410, C}, {10411, C}, {10056, C}, {10057, C}, {10058, C}, {10060, C}, {300, C},   {13401, A},
        {10100, C}, {10255, C}, {10152, C}, {10071, A}, {10072, A}, {10043, C}, {10042, C}, {10256, C}, {10257, C},
        {10063, C}, {10427, C}, {10136, C}, {10135, C}, {10350, C}, {10081, C}, {480, A},   {10065, A}, {10090, C},
        {13160, C}, {13163, C}, {13161, C}, {13164, C}, {13165, C}, {13166, C}, {13167, C}, {13168, C}, {13169, C},
        {13170, C}, {13171, C}, {13172, C}, {13173, C}, {10441, C}, {10442, C}, {10444, C}, {10445, C}, {10085, C},
        {10446, C}, {20409, C}, {13601, C}, {11500, C}, {13350, C}, {10091, C}, {10092, C}, {10460, C}, {10461, C},
        {10463, C}, {8999, C},  {10464, C}, {10465, C},
    };
    static_assert(std::size(rows) == CKernelObj::kFilterRows);
    const DWORD* filter = CKernelObj::ListenerFilter();
    for (int i = 0; i < CKernelObj::kFilterRows; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(filter[i], IxActionWord(rows[i][0], rows[i][1]));
        // No row of ViewCenter's fixed filter: a code in both is heard twice.
        EXPECT_FALSE(ViewCenter::IsInFixedFilter(rows[i][0]));
    }
    EXPECT_EQ(filter[CKernelObj::kFilterRows], 0u);
}

TEST_F(KernelObjTest, FilterRowsReachTheObjectByTheirKind)
{
    struct Case {
        int code;
        int kind;
        bool heard;
    };
    const Case cases[] = {
        {10001, AEV_DEFAULT, true},    {10001, AEV_SHORTPRESS, false}, {13401, AEV_SHORTPRESS, true},
        {480, AEV_LONGPRESS, true},    {10065, AEV_ATTACH, true},      {10464, AEV_DEFAULT, true},
        {10464, AEV_LONGPRESS, false}, {10999, AEV_DEFAULT, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        PushGlobalAction(c.code, c.kind, 0);
        Drain();
        const Log heard = Heard();
        EXPECT_EQ(heard.size(), c.heard ? 1u : 0u);
        if (c.heard && !heard.empty()) {
            EXPECT_EQ(heard[0], Say("", c.code) + Say(" ", c.kind));
        }
    }
    // The voice program's message (10464) is a popup on a window of its
    // own: it goes before the frame does.
    frame->PopLayer(FID_VOICEPREPAREPOPUP);
    Drain();
}

TEST_F(KernelObjTest, AliveCheckGoesToTheMicomEveryThreeSecondsFromCreation)
{
    const int before = micom->Alives();
    Wait(2999);
    EXPECT_EQ(micom->Alives(), before);
    Wait(1);
    EXPECT_EQ(micom->Alives(), before + 1);
    Wait(3000);
    EXPECT_EQ(micom->Alives(), before + 2);
    // Detached, the object stops it.
    core->OnEvent(IXEV_DETACHED, 0);
    Wait(6000);
    EXPECT_EQ(micom->Alives(), before + 2);
    EXPECT_FALSE(core->IsTimerRunning(TM_ALIVECHECK));
}

TEST_F(KernelObjTest, OneShotTimersFireOnceAtTheirInterval)
{
    struct Case {
        int id;
        int ms;
    };
    const Case cases[] = {{TM_SCREENSAVER, 30000},  {TM_FACTORYRESET, 3000}, {TM_TILTSETTLE, 10000},
                          {TM_DVDEXTRELOAD, 15000}, {TM_NAVICLOSE, 200},     {TM_WAITNAVICLOSE, 2000}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        Start(c.id, c.ms);
        Wait(c.ms - 1);
        EXPECT_TRUE(core->IsTimerRunning(c.id));
        Wait(1);
        EXPECT_FALSE(core->IsTimerRunning(c.id));
    }
}

TEST_F(KernelObjTest, ScreenSaverTimerQueuesTheScreenSaverStart)
{
    Start(TM_SCREENSAVER, 5000);
    Wait(4999);
    EXPECT_EQ(Heard(), Log{});
    Wait(1);
    EXPECT_EQ(Heard(), Log{"10257 4096"});
    Wait(10000);
    EXPECT_EQ(Heard(), Log{});
}

TEST_F(KernelObjTest, FactoryResetTimerClearsTheResetFlag)
{
    core->SetFactoryReset();
    Start(TM_FACTORYRESET, 3000);
    Wait(3000);
    EXPECT_FALSE(core->IsFactoryReset());
}

TEST_F(KernelObjTest, NavigationCloseStepQueuesTheStoredCode)
{
    struct Case {
        int stored;
        const char* queued;
    };
    const Case cases[] = {{FID_FM, "5202 4096"}, {FID_TILTSCREEN, "13165 4096"}, {0x20000 | FID_DVD, "5341 4096"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        core->SetNaviCloseCode(c.stored);
        Start(TM_NAVICLOSE, 200);
        Wait(200);
        EXPECT_EQ(Heard(), Log{c.queued});
        EXPECT_TRUE(core->IsNaviCloseSent());
    }
}

TEST_F(KernelObjTest, DiscReloadWaitStartsWithTheInsertAndEndsWithTheLoad)
{
    PushGlobalAction(FID_EXT_TILT_INSERT, AEV_DEFAULT, 0);
    Drain();
    EXPECT_TRUE(core->IsTimerRunning(TM_DVDEXTRELOAD));
    Wait(14999);
    PushGlobalAction(FID_EXT_TILT_INSERTDONE, AEV_DEFAULT, 0);
    Drain();
    EXPECT_FALSE(core->IsTimerRunning(TM_DVDEXTRELOAD));
}

TEST_F(KernelObjTest, AccCheckPollsUntilAccReturnsOrTheWaitIsOver)
{
    struct Case {
        const char* name;
        int accOn;
        int powerOff;
        int accOnAt; // ms after the start when ACC comes back, 0 never
        int stopsAfter;
        Log steps;
    };
    const Case cases[] = {
        {"ACC already on stops at the first tick", 1, 0, 0, 1000, {}},
        {"micom power off", 0, 1, 0, 1000, {"ToAccOff"}},
        {"ACC back after 3 s", 0, 0, 3000, 3000, {}},
        {"ACC stays off: 6001 ms", 0, 0, 0, 7000, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CUnitLink& link = GetUnitLink();
        link.m_nAccOn = c.accOn;
        link.m_nNecPowerOff = c.powerOff;
        PushGlobalAction(FID_EXT_ACC_CHECK, AEV_DEFAULT, 1);
        Drain();
        EXPECT_EQ(core->GetAccOffTick(), GetTickCount());
        int elapsed = 0;
        while (core->IsTimerRunning(TM_ACCCHECK) && elapsed < 20000) {
            Wait(1000);
            elapsed += 1000;
            if (c.accOnAt && elapsed >= c.accOnAt - 1000)
                link.m_nAccOn = 1;
        }
        EXPECT_EQ(elapsed, c.stopsAfter);
        EXPECT_EQ(Take(log), c.steps);
    }
}

// A voice controller that stops taking messages holds the close request
// at most the programs' send time-out, and the wait goes on.
TEST_F(KernelObjTest, AHungVoiceControllerHoldsTheCloseAtMostTheSendTimeOut)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.lpszClassName = u"KernelObjTestHungVoice";
    RegisterClassW(&wc);
    std::atomic<HWND> voice{nullptr};
    std::atomic<bool> release{false};
    std::thread program([&] {
        voice = CreateWindowExW(0, u"KernelObjTestHungVoice", u"VoiceController", 0, 0, 0, 10, 10, nullptr, nullptr,
                                nullptr, nullptr);
        while (!release) // never looks at its messages
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        DestroyWindow(voice);
    });
    while (!voice)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    // The clock moves 2 ms per real millisecond while the send waits.
    std::atomic<bool> done{false};
    std::thread ticker([&] {
        while (!done) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            clock.Advance(2);
        }
    });
    platform::DebugCapture log;
    const std::uint64_t before = clock.Now();
    core->CloseVoiceController();
    const std::uint64_t spent = clock.Now() - before;
    done = true;
    ticker.join();
    release = true;
    program.join();
    EXPECT_GE(spent, CKernelObj::kProgramSendTimeoutMs);
    EXPECT_LE(spent, CKernelObj::kProgramSendTimeoutMs + 100);
    EXPECT_TRUE(log.Contains("VC Close not answered in 500 ms"));
    EXPECT_TRUE(core->IsTimerRunning(TM_WAIT_VCCLOSE));
    UnregisterClassW(u"KernelObjTestHungVoice", nullptr);
}

TEST_F(KernelObjTest, VoiceControllerCloseRepeatsWhileItsWindowIsThere)
{
    static int closes = 0;
    closes = 0;
    WNDCLASSW wc{};
    wc.lpfnWndProc = [](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
        if (message == WM_CLOSE) {
            ++closes; // refuses to close
            return 0;
        }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    };
    wc.lpszClassName = u"KernelObjTestVoice";
    RegisterClassW(&wc);
    HWND voice = CreateWindowExW(0, u"KernelObjTestVoice", u"VoiceController", 0, 0, 0, 10, 10, nullptr, nullptr,
                                 nullptr, nullptr);
    ASSERT_NE(voice, nullptr);
    Start(TM_WAIT_VCCLOSE, 3000);
    Wait(3000);
    EXPECT_EQ(closes, 1);
    Wait(3000);
    EXPECT_EQ(closes, 2);
    EXPECT_TRUE(core->IsTimerRunning(TM_WAIT_VCCLOSE));
    DestroyWindow(voice);
    Wait(3000);
    EXPECT_FALSE(core->IsTimerRunning(TM_WAIT_VCCLOSE));
    Wait(3000);
    EXPECT_EQ(closes, 2);
    UnregisterClassW(u"KernelObjTestVoice", nullptr);
}

TEST_F(KernelObjTest, KeysMapToTheButtonsOfTheScreen)
{
    enum Setup { None, Jog, PlayShown, PlayHidden2, DvdPanel, FmTuning, FmIdle };
    struct Case {
        int view;
        Setup setup;
        int key;
        int button;
    };
    const Case cases[] = {
        {5202, None, BTN_LEFTUP, 0},
        {FID_PHOTO, None, BTN_LEFTUP, BTN_NEXT},
        {FID_PHOTO, None, BTN_89, BTN_PREV},
        {FID_DMB, None, BTN_LEFTUP, BTN_PREV},
        {FID_DAB, None, BTN_89, BTN_NEXT},
        {FID_MUSIC, None, BTN_LEFTUP, BTN_LEFTUP},
        {FID_MUSIC, Jog, BTN_NEXT, BTN_JOGLEFT},
        {FID_MUSIC, Jog, BTN_PREV, BTN_JOGRIGHT},
        {5202, None, BTN_NEXT, 0},
        {FID_DMB, None, BTN_NEXT, BTN_PREV},
        {FID_MUSIC, None, BTN_PREV, BTN_PREV},
        {FID_MUSIC, PlayShown, BTN_PLAYPAUSE, BTN_PLAYPAUSE},
        {FID_MUSIC, PlayHidden2, BTN_PLAYPAUSE, BTN_PLAYPAUSE2},
        {FID_MUSIC, None, BTN_PLAYPAUSE, 0},
        {5202, FmTuning, BTN_NAVI, 3832},
        {5203, FmIdle, BTN_NAVI, 3831},
        {5205, None, BTN_NAVI, 0}, // no AM model
        {5341, None, BTN_NAVI, FID_EXT_DVDVOICE08},
        {FID_MUSIC, None, BTN_NAVI, BTN_NAVI},
        {5342, DvdPanel, BTN_RANDOM, 12663},
        {5342, None, BTN_RANDOM, BTN_RANDOM},
        {5361, None, BTN_JOGLEFT, 0},
        {5341, DvdPanel, BTN_JOGLEFT, 12650},
        {5341, DvdPanel, BTN_JOGRIGHT, 12651},
        {FID_MUSIC, None, BTN_JOGRIGHT, BTN_JOGRIGHT},
        {5341, DvdPanel, BTN_ZOOM, BTN_ZOOM},
        {5341, None, BTN_JOGUP, 0},
        {FID_MUSIC, None, 3999, 3999},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "view " << c.view << " key " << c.key);
        Page* page = Show(c.view);
        FakeModel* fm = nullptr;
        switch (c.setup) {
        case Jog:
            page->Child(BTN_JOGLEFT, 0);
            page->Child(BTN_JOGRIGHT, 0);
            break;
        case PlayShown:
            page->Child(BTN_PLAYPAUSE, 0);
            break;
        case PlayHidden2:
            page->Child(BTN_PLAYPAUSE, IXF_HIDDEN);
            page->Child(BTN_PLAYPAUSE2, 0);
            break;
        case DvdPanel:
            page->Child(12705, 0);
            break;
        case FmTuning:
        case FmIdle:
            fm = new FakeModel(MODELID_FM, &log);
            fm->tuning = c.setup == FmTuning;
            break;
        case None:
            break;
        }
        EXPECT_EQ(core->MapKeyToButton(c.key), c.button);
        EXPECT_EQ(core->KeyToButton(c.key, TRUE), c.button);
        if (fm) {
            core->GetCenter().ReleaseAllModels();
            delete fm;
        }
        frame->SetActivePage(nullptr, 0, 0);
        delete page;
    }
}

TEST_F(KernelObjTest, KeyOverTheColourKeyLayerCountsTheVideoPage)
{
    auto* layer = new VideoFrame(FID_COLORKEY);
    frame->AddPage(layer);
    frame->SetActivePage(layer, 0, 0);
    EXPECT_EQ(core->MapKeyToButton(BTN_LEFTUP), BTN_LEFTUP); // no video page: -1, no screen's rule
    auto* video = new Page(FID_PHOTO);
    layer->AddPage(video);
    layer->SetActivePage(video, 0, 0);
    EXPECT_EQ(core->MapKeyToButton(BTN_LEFTUP), BTN_NEXT);
}

TEST_F(KernelObjTest, PowerKeyInRunMutesOnItsShortKindAndSwitchesOffOnTheOthers)
{
    // The keys come as the main window's posted actions, as from the micom.
    auto key = [this](int kind, DWORD stamp = 0) {
        app.SetLastMessageTime(stamp ? stamp : GetTickCount()); // the application's loop stamps each message
        frame->PostAction(ACMD_KEY_POWER, kind, 0);
        Pump();
        Drain();
    };
    auto heard = [this](int code) {
        Log out;
        for (const std::string& h : Heard()) {
            if (h.rfind(Say("", code) + " ", 0) == 0)
                out.push_back(h);
        }
        return out;
    };
    core->SetDaemons(0); // keys reach the key hook once no daemon is awaited
    core->SetMode(VCMODE_RUN);
    key(AEV_SHORTPRESS);
    EXPECT_EQ(heard(ACMD_MASTERMUTE), Log{"400 4096"});
    EXPECT_EQ(frame->IsLayerShown(FID_SCREENOFF), nullptr);
    EXPECT_EQ(Take(log), Log{});

    clock.Advance(500);
    key(AEV_LONGPRESS);
    EXPECT_NE(frame->IsLayerShown(FID_SCREENOFF), nullptr);
    EXPECT_EQ(Take(log), Log{"ToPowerOff"});
    EXPECT_EQ(core->GetPowerKeyTick(), GetTickCount());
    EXPECT_EQ(heard(ACMD_MASTERMUTE), Log{});

    // Out of the run modes the key switches the unit on again.
    core->SetMode(VCMODE_POWEROFF);
    clock.Advance(500);
    key(AEV_DEFAULT);
    EXPECT_EQ(frame->IsLayerShown(FID_SCREENOFF), nullptr);
    EXPECT_EQ(Take(log), Log{"PowerKeyWhileOff"});

    // A key that waited while the last one was handled is dropped.
    core->SetMode(VCMODE_RUN);
    key(AEV_LONGPRESS, core->GetPowerKeyTick() - 1);
    EXPECT_EQ(frame->IsLayerShown(FID_SCREENOFF), nullptr);
    EXPECT_EQ(Take(log), Log{});
}

TEST_F(KernelObjTest, ScreenOffKeyWithAvOffOnlyTurnsAvOn)
{
    core->SetMode(VCMODE_RUN);
    core->RecordView(FID_AVOFF);
    ASSERT_TRUE(core->IsAvOff());
    EXPECT_EQ(core->ExtKeyIsInvoked(ACMD_KEY_SCREENOFF, AEV_SHORTPRESS), 1);
    Drain();
    EXPECT_EQ(Heard(), Log{});
    EXPECT_EQ(Take(log), Log{"AvOn"});
}

// The mode key opens the mode popup on a short press, then moves its
// highlight; a long press takes the highlighted source; while the
// navigation program starts the key does nothing.
TEST_F(KernelObjTest, ModeKeyOpensTheModePopupAndMovesItsHighlight)
{
    core->SetMode(VCMODE_RUN);
    core->SetNaviMode(NAVI_LAUNCHING);
    EXPECT_EQ(core->ExtKeyIsInvoked(FID_EXT_MODEKEY, AEV_SHORTPRESS), 1);
    Drain();
    EXPECT_EQ(frame->IsLayerShown(FID_MODEPOPUP), nullptr);

    core->SetNaviMode(NAVI_NONE);
    EXPECT_EQ(core->ExtKeyIsInvoked(FID_EXT_MODEKEY, AEV_SHORTPRESS), 1);
    Drain();
    auto* popup = dynamic_cast<CModePopup*>(frame->IsLayerShown(FID_MODEPOPUP));
    ASSERT_NE(popup, nullptr);
    const int first = popup->GetHighlight();
    core->ExtKeyIsInvoked(FID_EXT_MODEKEY, AEV_SHORTPRESS);
    Drain();
    EXPECT_EQ(popup->GetHighlight(), (first + 1) % CModePopup::kButtonCount);
    core->ExtKeyIsInvoked(FID_EXT_MODEKEY, AEV_LONGPRESS);
    Drain();
    EXPECT_EQ(frame->IsLayerShown(FID_MODEPOPUP), nullptr); // taken: the popup closed
}

TEST_F(KernelObjTest, ViewSlots)
{
    // Recorded views.
    const int recorded[] = {5342, 0, 5322, 10044, 10410, FID_TILTSCREEN, FID_PHOTO, FID_MUSIC};
    for (int view : recorded)
        core->RecordView(view);
    EXPECT_EQ(core->GetHistoryCount(), 2);
    EXPECT_EQ(core->GetHistoryEntry(0), FID_MUSIC);
    EXPECT_EQ(core->GetHistoryEntry(1), FID_DVD);

    int selection = 7;
    EXPECT_EQ(core->ResolveView(FID_GROUP_FILES, &selection, FALSE), FID_MUSIC);
    EXPECT_EQ(selection, 0);
    EXPECT_EQ(core->ResolveView(FID_AM, &selection, TRUE), FID_AM);

    struct Case {
        int view;
        BOOL mediaPlay;
        BOOL menu;
    };
    const Case cases[]
        = {{FID_FILES, FALSE, TRUE}, {FID_PHOTO, FALSE, FALSE}, {FID_MOVIE, TRUE, FALSE}, {FID_FM, TRUE, FALSE},
           {10041, FALSE, TRUE},     {10047, FALSE, TRUE},      {FID_GATE, FALSE, TRUE},  {5100, FALSE, FALSE}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.view);
        EXPECT_EQ(core->IsMediaPlayView(c.view), c.mediaPlay);
        EXPECT_EQ(core->IsMenuView(c.view), c.menu);
        EXPECT_TRUE(core->IsViewDevicePresent(c.view));
    }
}

} // namespace
