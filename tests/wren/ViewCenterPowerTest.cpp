// ViewCenter's power and navigation life cycle on the simulated board: ACC
// off asks the navigation program to close and then tells the platform
// shell to power off (also when the program never ends, and when the event
// cannot be made at once), ACC on afterwards starts the unit again, reverse
// gear brings the camera view up and takes it away, and the navigation
// program's launch retries and restarts.
#include "Lib_cpp/core/ActionCodes.h"
#include "Lib_cpp/fs/DeviceManager.h"
#include "Source/models/ModelCenter.h"
#include "Source/models/UnitLink.h"
#include "Source/shell/NaviModelLink.h"
#include "Source/shell/ShellIds.h"
#include "Source/shell/ViewCenter.h"
#include "platform/os/Sync.h"
#include "sim/AudioProcessor.h"
#include "sim/ConnectionStatus.h"
#include "sim/Micom.h"
#include "tests/wren/ModelFixture.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

using namespace modeltest;

class Screen : public IxView {
public:
    explicit Screen(int id) { m_nId = id; }
};

// The navigation program's model: reports launched and initialised after
// each launch unless the program is dead on start; the program's end is
// reported by the test.
class FakeNavi : public CNaviModelLink {
public:
    int GetModelId() const override { return MODELID_NAVI; }
    void AddRef() override { ++refs; }
    int Release() override { return --refs; }
    BOOL Launch() override
    {
        if (reports) {
            PushGlobalAction(MODELID_NAVI, NAVIN_LAUNCHED, 0);
            PushGlobalAction(MODELID_NAVI, NAVIN_INITIAL, 0);
        }
        return TRUE;
    }
    void Stop(BOOL closing) override
    {
        if (closing)
            ++closeRequests;
    }
    void SetLayout(int) override {}
    void Show(int) override {}
    BOOL Hide() override { return TRUE; }
    void SyncView() override {}
    int GetLayout() override { return 0; }
    void PrepareLayout(int, int) override {}
    void SetPlacing(BOOL) override {}

    int refs = 1;
    bool reports = true;
    int closeRequests = 0;
};

class PowerViewCenter : public ViewCenter {
public:
    explicit PowerViewCenter(FakeNavi* navi) : ViewCenter(FID_FM, 5), navi(navi) {}
    CNaviModelLink* LaunchNavi() override
    {
        ++launches;
        return launches >= presentFromTry ? navi : nullptr;
    }
    IxElement* MakeCameraView(int fid) override { return new Screen(fid); }
    BOOL SetPowerOffEvent() override
    {
        if (eventFailures > 0) {
            --eventFailures;
            return FALSE;
        }
        return ViewCenter::SetPowerOffEvent();
    }
    void MakeNaviStartable() { m_nNaviMode = NAVI_STARTABLE; }

    FakeNavi* navi;
    int launches = 0;
    int presentFromTry = 1; // the program is on the card from this try on
    int eventFailures = 0;
};

class ViewCenterPowerTest : public ModelFixture {
protected:
    void SetUp() override
    {
        ModelFixture::SetUp();
        audio = sim::CAudioProcessor::Install();
        connection = sim::CConnectionStatus::Install();
        micom = sim::CMicom::Install(unit.Host("NEC1.state"));
        GetUnitLink().OpenDevices();
        center = std::make_unique<CModelCenter>();
        ASSERT_TRUE(center->Create());
        for (int id : {FID_FM, FID_INTRO})
            frame->AddPage(new Screen(id));
        // The platform shell's end of the power-off event.
        powerOff = CreateEventW(nullptr, FALSE, FALSE, u"SYSTEM_SHELL_POWER_OFF");
        ASSERT_NE(powerOff, nullptr);
        vc = new PowerViewCenter(&navi);
    }
    void TearDown() override
    {
        frame->SetHook(nullptr);
        vc->OnEvent(IXEV_DETACHED, 0);
        delete vc;
        CloseHandle(powerOff);
        frame->SetActivePage(nullptr, 0, 0);
        center->Destroy();
        center.reset();
        GetUnitLink().CloseDevices();
        GetUnitLink().ResetStates();
        sim::CMicom::Uninstall();
        sim::CConnectionStatus::Uninstall();
        sim::CAudioProcessor::Uninstall();
        ModelFixture::TearDown();
    }
    // ACC on at start: the intro, then (at its end) the FM screen and the
    // navigation program's launch.
    void Start()
    {
        SetDevice(DEVNO_ACC, IXDS_MOUNTED);
        frame->SetHook(vc);
        vc->OnEvent(IXEV_ATTACHED, 0);
        vc->MakeNaviStartable();
        vc->OnFrameStarted();
        Drain();
        ASSERT_EQ(vc->GetActiveView(), FID_INTRO);
        AccOn();         // the micom's report: the model center wakes
        Send(FID_INTRO); // the intro ended
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
    void Device(int device, int state, int kind)
    {
        SetDevice(device, state);
        Send(IXA_DEVICEEVENT, kind, device);
    }
    void AccOff() { Device(DEVNO_ACC, IXDS_ABSENT, AEV_DETACH); }
    void AccOn() { Device(DEVNO_ACC, IXDS_MOUNTED, AEV_DEFAULT); }
    void SetDevice(int device, int state) { center->GetDeviceManager()->FindDevice(device)->nState = state; }
    void Wait(std::uint64_t ms)
    {
        clock.Advance(ms);
        Pump();
        Drain();
    }
    bool PowerOffSet() { return WaitForSingleObject(powerOff, 0) == WAIT_OBJECT_0; }
    // The program reports that it closes and has ended.
    void ProgramEnds()
    {
        Send(ACMD_NAVICLOSED);
        Send(ACMD_NAVITERMINATED);
    }

    std::shared_ptr<sim::CMicom> micom;
    std::shared_ptr<sim::CAudioProcessor> audio;
    std::shared_ptr<sim::CConnectionStatus> connection;
    std::unique_ptr<CModelCenter> center;
    HANDLE powerOff = nullptr;
    FakeNavi navi;
    PowerViewCenter* vc = nullptr;
};

TEST_F(ViewCenterPowerTest, AccOffAsksTheProgramToCloseAndPowersOffOnceItEnded)
{
    Start();
    ASSERT_EQ(vc->GetMode(), VCMODE_RUN);
    ASSERT_EQ(vc->GetNaviMode(), NAVI_READY);
    AccOff();
    EXPECT_EQ(navi.closeRequests, 1);
    EXPECT_EQ(vc->GetMode(), VCMODE_STOPPED);
    EXPECT_FALSE(PowerOffSet());
    ProgramEnds();
    EXPECT_TRUE(PowerOffSet());
    // Set once only: the time-out that follows finds the program ended.
    Wait(5000);
    EXPECT_FALSE(PowerOffSet());
}

TEST_F(ViewCenterPowerTest, ProgramThatNeverEndsDelaysThePowerOffOnlyUntilTheTimeOut)
{
    Start();
    AccOff();
    ASSERT_EQ(navi.closeRequests, 1);
    Wait(1999);
    EXPECT_FALSE(PowerOffSet());
    Wait(1);
    EXPECT_TRUE(PowerOffSet());
    // Its late end does not set the event a second time.
    ProgramEnds();
    EXPECT_FALSE(PowerOffSet());
}

TEST_F(ViewCenterPowerTest, AccOffWithoutTheProgramPowersOffAfterASecondRetryingTheEvent)
{
    vc->presentFromTry = 100;      // no program on the card
    vc->SetNaviTimers(0, 0, 0, 0); // and no retries to wait for
    Start();
    vc->eventFailures = 2;
    const std::uint64_t before = clock.Now();
    AccOff();
    EXPECT_GE(clock.Now() - before, 1000u); // the wait of the stop (the audio fades too)
    EXPECT_FALSE(PowerOffSet());
    Wait(1000);
    EXPECT_FALSE(PowerOffSet());
    Wait(1000);
    EXPECT_TRUE(PowerOffSet());
    EXPECT_TRUE(vc->IsPowerOffRequested());
}

TEST_F(ViewCenterPowerTest, AccOnAfterAnAccOffStartsTheUnitAgain)
{
    Start();
    AccOff();
    Wait(2000); // the program hung; the unit asked to be powered off
    ASSERT_TRUE(PowerOffSet());
    ASSERT_EQ(vc->GetActiveView(), 0);
    AccOn();
    EXPECT_FALSE(vc->IsStopping());
    EXPECT_EQ(vc->GetMode(), VCMODE_RUN);
    EXPECT_EQ(vc->GetActiveView(), FID_FM);
    EXPECT_TRUE(center->GetRequestB()); // screen output on
    // A new program was launched and reported ready.
    EXPECT_EQ(vc->launches, 2);
    EXPECT_EQ(vc->GetNaviMode(), NAVI_READY);
    // And the next ACC off powers off again.
    AccOff();
    ProgramEnds();
    EXPECT_TRUE(PowerOffSet());
}

TEST_F(ViewCenterPowerTest, ReverseGearBringsTheCameraViewUpAndTheScreenBack)
{
    Start();
    ASSERT_EQ(vc->GetActiveView(), FID_FM);
    const int cameraView = static_cast<int>(DEVNO_REARCAMERA) + FID_CAMERA_FROMDEVICE; // 5401
    Device(DEVNO_REARCAMERA, IXDS_MOUNTED, AEV_DEFAULT);
    EXPECT_EQ(vc->GetCameraView(), cameraView);
    EXPECT_NE(frame->IsLayerShown(cameraView), nullptr);
    EXPECT_TRUE(center->GetRequestB());
    Device(DEVNO_REARCAMERA, IXDS_ABSENT, AEV_DETACH);
    EXPECT_EQ(vc->GetCameraView(), 0);
    EXPECT_EQ(frame->IsLayerShown(cameraView), nullptr);
    EXPECT_EQ(vc->GetActiveView(), FID_FM);
    EXPECT_TRUE(center->GetRequestB());
}

// The launch with the program on the card from the given try on: the tries
// made in six seconds and the navigation mode reached.
class ViewCenterLaunchTest : public ViewCenterPowerTest,
                             public ::testing::WithParamInterface<std::tuple<int, int, int>> {};

TEST_P(ViewCenterLaunchTest, IsTriedOnceAndThenThreeTimesASecondApart)
{
    const auto [presentFrom, tries, naviMode] = GetParam();
    vc->presentFromTry = presentFrom;
    Start();
    EXPECT_EQ(vc->launches, 1);
    for (int i = 0; i < 6; ++i)
        Wait(1000);
    EXPECT_EQ(vc->launches, tries);
    EXPECT_EQ(vc->GetNaviMode(), naviMode);
    EXPECT_EQ(vc->GetActiveView(), FID_FM);
}

INSTANTIATE_TEST_SUITE_P(Tries, ViewCenterLaunchTest,
                         ::testing::Values(std::make_tuple(100, 4, static_cast<int>(NAVI_STARTABLE)),
                                           std::make_tuple(4, 4, static_cast<int>(NAVI_READY)),
                                           std::make_tuple(2, 2, static_cast<int>(NAVI_READY))));

TEST_F(ViewCenterPowerTest, WatchdogRestartsAProgramThatDiedAndGivesUpAfterTheLimit)
{
    navi.reports = false; // dies before it reports
    vc->SetNaviTimers(1000, 3, 5000, 0);
    Start();
    ASSERT_EQ(vc->GetNaviMode(), NAVI_LAUNCHING);
    Wait(5000);
    EXPECT_EQ(vc->launches, 2);
    EXPECT_EQ(vc->GetNaviMode(), NAVI_LAUNCHING);
    navi.reports = true; // this time it comes up
    Wait(5000);
    EXPECT_EQ(vc->launches, 3);
    EXPECT_EQ(vc->GetNaviMode(), NAVI_READY);
    // It dies while running: started again at once.
    Send(ACMD_NAVITERMINATED);
    EXPECT_EQ(vc->launches, 4);
    EXPECT_EQ(vc->GetNaviMode(), NAVI_READY);
    // A program that never comes up is restarted three times, then given up.
    navi.reports = false;
    Send(ACMD_NAVITERMINATED);
    EXPECT_EQ(vc->launches, 5);
    for (int i = 0; i < 5; ++i)
        Wait(5000);
    EXPECT_EQ(vc->launches, 7);
    EXPECT_EQ(vc->GetNaviMode(), NAVI_NONE);
    EXPECT_EQ(vc->GetActiveView(), FID_FM);
}

} // namespace
