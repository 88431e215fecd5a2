// The storage watcher as the model center starts it: the aliases "Navi" and
// "SD2" follow the navigation program's files on the two cards, the SD card
// events, the USB disk's announcements and give-up, and the probes of the
// main window's state words.
#include "Source/models/StorageWatcher.h"

#include "Source/models/ModelCenter.h"
#include "Source/models/UnitLink.h"
#include "platform/os/Sync.h"
#include "sim/AudioProcessor.h"
#include "sim/ConnectionStatus.h"
#include "sim/Micom.h"
#include "tests/wren/ModelFixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

using namespace modeltest;

class StorageWatcherTest : public ModelFixture {
protected:
    void SetUp() override
    {
        ModelFixture::SetUp();
        sim::CMicom::Install();
        sim::CAudioProcessor::Install();
        connection = sim::CConnectionStatus::Install();
        GetUnitLink().OpenDevices();
        center = std::make_unique<CModelCenter>();
        IxBusyScope busy(frame);
        ASSERT_TRUE(center->Create());
        watcher = center->GetWatcher();
        ASSERT_NE(watcher, nullptr);
        left = OpenEventW(EVENT_ALL_ACCESS, FALSE, kSdLeftEventName);
        right = OpenEventW(EVENT_ALL_ACCESS, FALSE, kSdRightEventName);
        ASSERT_NE(left, nullptr);
        ASSERT_NE(right, nullptr);
    }
    void TearDown() override
    {
        CloseHandle(left);
        CloseHandle(right);
        center->Destroy();
        center.reset();
        GetUnitLink().CloseDevices();
        GetUnitLink().ResetStates();
        sim::CConnectionStatus::Uninstall();
        sim::CAudioProcessor::Uninstall();
        sim::CMicom::Uninstall();
        ModelFixture::TearDown();
    }
    void PutProgram(const char* card)
    {
        const std::string folder = unit.Host(std::string(card) + "/Quickroute_Lumo/Bin");
        std::filesystem::create_directories(folder);
        std::ofstream(folder + "/Lumo_DMU.exe") << "program";
    }
    void Notice(int code, int kind, int number)
    {
        frame->Notify(code, kind, number);
        Pump();
    }
    // Which card events are set now (each read clears it): "L", "R", "LR", "".
    std::string Events()
    {
        std::string out;
        if (WaitForSingleObject(left, 0) == WAIT_OBJECT_0)
            out += "L";
        if (WaitForSingleObject(right, 0) == WAIT_OBJECT_0)
            out += "R";
        return out;
    }

    std::shared_ptr<sim::CConnectionStatus> connection;
    std::unique_ptr<CModelCenter> center;
    StorageWatcher* watcher = nullptr;
    HANDLE left = nullptr;
    HANDLE right = nullptr;
};

TEST_F(StorageWatcherTest, AliasesFollowTheNavigationProgramOnTheCards)
{
    struct Case {
        bool first, second;
        int navi, sd2;
    } cases[] = {
        {true, true, 10, 11},
        {true, false, 10, 11},
        {false, true, 11, 10},
        {false, false, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.first ? "first " : "") + (c.second ? "second" : ""));
        std::filesystem::remove_all(unit.Host("Storage Card"));
        std::filesystem::remove_all(unit.Host("Storage Card2"));
        if (c.first)
            PutProgram("Storage Card");
        if (c.second)
            PutProgram("Storage Card2");
        EXPECT_EQ(watcher->PreferredTarget(DEVNO_SD0), c.navi);
        EXPECT_EQ(watcher->PreferredTarget(DEVNO_SD1), c.sd2);
        EXPECT_EQ(watcher->PreferredTarget(DEVNO_USB), 0);
    }

    // Through the manager: the card attached as "Navi" is the one holding
    // the program, and the model center answers for it.
    std::filesystem::remove_all(unit.Host("Storage Card"));
    PutProgram("Storage Card2");
    Notice(IXA_ALIASNOTICE, AEV_ATTACH, DEVNO_SD0);
    EXPECT_EQ(center->GetAliasTarget(DEVNO_SD0), DEVNO_SD1);
    EXPECT_EQ(center->GetAliasState(DEVNO_SD0), 3);
    EXPECT_EQ(ModelCenterGetAliasState(DEVNO_SD0), 3);
    IxString path;
    ASSERT_TRUE(ModelCenterGetDevicePath(DEVNO_SD0, path));
    EXPECT_EQ(std::u16string(path.Text()), u"\\Storage Card2");
    Events();
}

TEST_F(StorageWatcherTest, SdCardChangesSetTheirEventsAndTheUsbDiskNone)
{
    std::filesystem::create_directories(unit.Host("Storage Card"));
    std::filesystem::create_directories(unit.Host("Storage Card2"));
    std::filesystem::create_directories(unit.Host("HDD"));
    EXPECT_EQ(Events(), "");
    struct Step {
        int device;
        int kind;
        const char* events;
    } steps[] = {
        {DEVNO_SD1, AEV_ATTACH, "R"}, {DEVNO_SD1, AEV_DETACH, "R"}, {DEVNO_SD0, AEV_ATTACH, "L"},
        {DEVNO_SD0, AEV_DETACH, "L"}, {DEVNO_USB, AEV_ATTACH, ""},  {DEVNO_USB, AEV_DETACH, ""},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(N(s.device) + " " + N(s.kind));
        Notice(IXA_DEVICENOTICE, s.kind, s.device);
        EXPECT_EQ(center->GetState(s.device), s.kind == AEV_ATTACH ? 3 : 1);
        EXPECT_EQ(Events(), s.events);
    }
}

TEST_F(StorageWatcherTest, OnlyTheUsbDiskIsAnnouncedFromTheFolderWatch)
{
    frametest::ActionListener announced(IXA_DEVICENOTICE);
    watcher->OnVolumeNotice(DEVNO_SD0, TRUE);
    watcher->OnVolumeNotice(DEVNO_SD1, FALSE);
    watcher->OnVolumeNotice(DEVNO_USB, TRUE);
    watcher->OnVolumeNotice(DEVNO_USB, FALSE);
    kernel->DrainQueue();
    using H = frametest::ActionListener::Heard;
    EXPECT_EQ(announced.heard,
              (std::vector<H>{{IXA_DEVICENOTICE, AEV_ATTACH, DEVNO_USB}, {IXA_DEVICENOTICE, AEV_DETACH, DEVNO_USB}}));
}

TEST_F(StorageWatcherTest, AUsbDiskThatNeverMountsIsPowerCycledThroughTheConnectionDriver)
{
    std::filesystem::remove_all(unit.Host("HDD"));
    Notice(IXA_DEVICENOTICE, AEV_ATTACH, DEVNO_USB);
    for (int t = 0; t < 10; ++t) {
        EXPECT_EQ(connection->GiveUps(), 0);
        clock.Advance(200);
        Pump();
    }
    EXPECT_EQ(connection->GiveUps(), 1);
    EXPECT_EQ(center->GetState(DEVNO_USB), 1);
    // A card that gives up asks nothing of the driver.
    std::filesystem::remove_all(unit.Host("Storage Card2"));
    Notice(IXA_DEVICENOTICE, AEV_ATTACH, DEVNO_SD1);
    clock.Advance(650 * 21);
    Pump();
    EXPECT_EQ(connection->GiveUps(), 1);
    Events();
}

TEST_F(StorageWatcherTest, ProbesAnswerFromTheMainWindowsStateWords)
{
    CUnitLink& link = GetUnitLink();
    EXPECT_FALSE(watcher->ProbeStorage(0));
    EXPECT_FALSE(watcher->ProbeOther(DEVNO_ACC));
    link.m_nFirstSdCard = 1;
    link.m_nRearCamera = 1;
    link.m_nAccOn = 1;
    link.m_nParkBrake = 1;
    EXPECT_TRUE(watcher->ProbeStorage(0));
    EXPECT_FALSE(watcher->ProbeStorage(1));
    EXPECT_TRUE(watcher->ProbeCamera(0));
    EXPECT_FALSE(watcher->ProbeCamera(1));
    EXPECT_TRUE(watcher->ProbeCameraReady(0, 5));
    EXPECT_TRUE(watcher->ProbeOther(DEVNO_ACC));
    EXPECT_TRUE(watcher->ProbeOtherReady(DEVNO_PARK, -1));
    EXPECT_FALSE(watcher->ProbeOther(DEVNO_101));
    EXPECT_FALSE(watcher->ProbeOther(DEVNO_103));
    link.m_nCamera71 = 1;
    link.m_nDevice101 = 1;
    EXPECT_TRUE(watcher->ProbeCamera(1));
    EXPECT_TRUE(watcher->ProbeOther(DEVNO_101));

    // The park brake mounts at once; ACC after its poll interval; ACC's
    // detach waits out its delay.
    Notice(IXA_DEVICENOTICE, AEV_ATTACH, DEVNO_PARK);
    EXPECT_TRUE(center->IsDeviceMounted102());
    Notice(IXA_DEVICENOTICE, AEV_ATTACH, DEVNO_ACC);
    EXPECT_EQ(center->GetState(DEVNO_ACC), 2);
    clock.Advance(500);
    Pump();
    EXPECT_EQ(center->GetState(DEVNO_ACC), 3);
    Notice(IXA_DEVICENOTICE, AEV_DETACH, DEVNO_ACC);
    clock.Advance(5999);
    Pump();
    EXPECT_EQ(center->GetState(DEVNO_ACC), 2);
    clock.Advance(1);
    Pump();
    EXPECT_EQ(center->GetState(DEVNO_ACC), 1);
}

} // namespace
