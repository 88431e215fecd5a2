#include "Lib_cpp/fs/DeviceManager.h"
#include "Lib_cpp/core/App.h"
#include "Lib_cpp/core/Utility.h"
#include "Lib_cpp/core/Window.h"
#include "Lib_cpp/frame/KernelFrame.h"
#include "Lib_cpp/kernel/Kernel.h"
#include "platform/base/Clock.h"
#include "platform/ui/Window.h"
#include "tests/common/FrameWindow.h"
#include "tests/common/TempUnit.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using Log = std::vector<std::string>;

class TestApp : public IxApp {
public:
    explicit TestApp(LPCWSTR cls) : IxApp(cls) {}
    HWND InitInstance() override { return nullptr; }
};

std::string KindName(int kind)
{
    switch (kind) {
    case AEV_ATTACH:
        return "ATTACH";
    case AEV_DEFAULT:
        return "DEFAULT";
    case AEV_BEGIN:
        return "BEGIN";
    case AEV_COMPLETE:
        return "COMPLETE";
    case AEV_ABORT:
        return "ABORT";
    case AEV_DETACH:
        return "DETACH";
    default:
        return std::to_string(kind);
    }
}

// Records the manager's device events as "KIND number @ms".
class Recorder : public IxElement {
public:
    int ActionIsInvoked(int code, int kind, LPARAM value) override
    {
        if (code == IXA_DEVICEEVENT)
            log.push_back(KindName(kind) + " " + std::to_string(value) + " @"
                          + std::to_string(platform::NowMs() - origin));
        return 0;
    }
    void Draw(IxPaintRecord*) override {}
    Log Take()
    {
        Log out;
        out.swap(log);
        return out;
    }
    Log log;
    std::uint64_t origin = 0;
};

// The least of the model center's storage watcher that the tests need: the
// navigation card preference of the aliases, and probes that the test sets.
class Watcher : public IxDeviceManager {
public:
    explicit Watcher(BOOL globalNotice = FALSE) : IxDeviceManager(globalNotice) {}

    int PreferredTarget(int alias) override
    {
        BOOL first = IxFileExists(u"\\Storage Card\\Quickroute_Lumo\\Bin\\Lumo_DMU.exe");
        BOOL second = IxFileExists(u"\\Storage Card2\\Quickroute_Lumo\\Bin\\Lumo_DMU.exe");
        if (alias == 10)
            return first ? 10 : (second ? 11 : 0);
        if (alias == 11)
            return first ? 11 : (second ? 10 : 0);
        return 0;
    }
    void OnPresent(int n) override { hooks.push_back("present " + std::to_string(n)); }
    void OnAbsent(int n) override { hooks.push_back("absent " + std::to_string(n)); }
    void OnMountGaveUp(int n) override { hooks.push_back("gave up " + std::to_string(n)); }

    BOOL ProbeIpod(int i) override { return Present(30 + i); }
    BOOL ProbeFamily20(int i) override { return Present(20 + i); }
    BOOL ProbeCamera(int i) override { return Present(70 + i); }
    BOOL ProbeOther(int n) override { return Present(n); }
    BOOL ProbeIpodReady(int i, int) override { return Ready(30 + i); }
    BOOL ProbeFamily20Ready(int i, int) override { return Ready(20 + i); }
    BOOL ProbeCameraReady(int i, int) override { return Ready(70 + i); }
    BOOL ProbeOtherReady(int n, int) override { return Ready(n); }

    BOOL Present(int n) const { return present.count(n) && present.at(n); }
    BOOL Ready(int n) const { return readyAt.count(n) && platform::NowMs() >= readyAt.at(n); }

    std::map<int, bool> present;
    std::map<int, std::uint64_t> readyAt; // the device answers ready from this time on
    Log hooks;
};

// The unit's configuration, registered as the model center does at start.
void RegisterSystemTable(IxDeviceManager& m)
{
    ASSERT_TRUE(m.AddDevice(100, nullptr, 500, -1, 6000, 0));
    ASSERT_TRUE(m.AddDevice(71, nullptr, 500, -1, 0, 0));
    ASSERT_TRUE(m.AddDevice(70, nullptr, 500, -1, 0, 0));
    ASSERT_TRUE(m.AddDevice(102, nullptr, 0, 0, 0, 0));
    ASSERT_TRUE(m.AddDevice(103, nullptr, 0, 0, 0, 0));
    ASSERT_TRUE(m.AddAlias(10, u"Navi", u"\\S", 1));
    ASSERT_TRUE(m.AddAlias(11, u"SD2", u"\\S", 0));
    ASSERT_TRUE(m.AddDevice(10, u"\\Storage Card", 650, 20, 0, 0));
    ASSERT_TRUE(m.AddDevice(11, u"\\Storage Card2", 650, 20, 0, 0));
    ASSERT_TRUE(m.AddDevice(30, nullptr, 30000, 1, 0, 0));
    ASSERT_TRUE(m.AddDevice(50, nullptr, 30000, 1, 0, 0));
    ASSERT_TRUE(m.AddDevice(20, nullptr, 500, 30, 0, 0));
    ASSERT_TRUE(m.AddDevice(21, nullptr, 500, 30, 0, 0));
    ASSERT_TRUE(m.AddDevice(22, nullptr, 500, 30, 0, 0));
    ASSERT_TRUE(m.AddDevice(40, nullptr, 60000, 1, 0, 0));
    ASSERT_TRUE(m.AddDevice(12, u"\\HDD", 200, 10, 0, 0));
    ASSERT_TRUE(m.SetDisplayName(12, u"USB"));
}

const DWORD kEventFilter[] = {IxActionWord(IXA_DEVICEEVENT, 0), 0};

constexpr std::uint64_t kStep = 50; // every interval of the table is a multiple

class DeviceManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(unit.IsOpen());
        IxFrameWnd* window = frametest::OpenFrameWindow(u"DeviceManagerTestClass");
        ASSERT_NE(window, nullptr);
        hwnd = window->GetHandle();
        frame = window->GetKernelFrame();
        ASSERT_NE(frame, nullptr);
        kernel = IxGetKernel();
        ASSERT_NE(kernel, nullptr);
        Pump();
        kernel->AddListener(kEventFilter, &recorder);
        Mark();
    }
    void TearDown() override
    {
        manager.reset();
        frametest::CloseFrameWindow(hwnd, u"DeviceManagerTestClass");
        EXPECT_EQ(IxGetKernel(), nullptr);
        EXPECT_EQ(IxGetDeviceManager(), nullptr);
    }
    void Pump()
    {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
    }
    // The unit's table, started as the model center starts it.
    Watcher& StartSystem(BOOL globalNotice = FALSE)
    {
        manager = std::make_unique<Watcher>(globalNotice);
        RegisterSystemTable(*manager);
        frame->BeginBusy();
        EXPECT_TRUE(manager->Start(FALSE, nullptr));
        frame->EndBusy();
        return *manager;
    }
    // Event times count from here.
    void Mark() { recorder.origin = platform::NowMs(); }
    void Notice(int code, int kind, int number) { frame->Notify(code, kind, number); }
    // Moves the clock in steps, handling the timers due at each one; before
    // each step `each` may change the world.
    template <class F> void Run(std::uint64_t ms, F each)
    {
        for (std::uint64_t t = 0; t < ms; t += kStep) {
            clock.Advance(kStep);
            each();
            Pump();
        }
    }
    void Run(std::uint64_t ms)
    {
        Run(ms, [] {});
    }
    // Waits in real time (up to 10 s) for the watcher thread's reports.
    bool PumpUntil(const std::function<bool()>& done)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!done()) {
            if (std::chrono::steady_clock::now() > end)
                return false;
            Pump();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }
    void MakeFolder(const std::string& relative) { std::filesystem::create_directories(unit.Host(relative)); }
    void RemoveFolder(const std::string& relative) { std::filesystem::remove_all(unit.Host(relative)); }

    platform::ManualClock clock;
    TempUnit unit{"wren-devmgr"};
    TestApp app{u"DeviceManagerTestClass"};
    HWND hwnd = nullptr;
    IxKernelFrame* frame = nullptr;
    IxKernel* kernel = nullptr;
    Recorder recorder;
    std::unique_ptr<Watcher> manager;
};

TEST_F(DeviceManagerTest, EachDeviceKindOfTheTableAttachesMountsOrGivesUpAndDetaches)
{
    constexpr std::uint64_t kNever = UINT64_MAX;
    struct Case {
        int number;
        std::uint64_t readyAfter; // ms after the attach; storage: when its folder appears
        const char* folder;       // storage folder under the root, or null
        Log attach;               // events of the attach, within `horizon`
        std::uint64_t horizon;
        Log detach; // events of a detach right afterwards (within 7000 ms)
        Log hooks;
    } cases[] = {
        {100,
         0,
         nullptr,
         {"ATTACH 100 @0", "DEFAULT 100 @500"},
         1000,
         {"COMPLETE 100 @0", "DETACH 100 @6000"},
         {"present 100", "absent 100"}},
        {70, 0, nullptr, {"ATTACH 70 @0", "DEFAULT 70 @500"}, 1000, {"DETACH 70 @0"}, {"present 70", "absent 70"}},
        {71, kNever, nullptr, {"ATTACH 71 @0", "DEFAULT 71 @500"}, 1000, {"DETACH 71 @0"}, {"present 71", "absent 71"}},
        {102,
         kNever,
         nullptr,
         {"ATTACH 102 @0", "DEFAULT 102 @0"},
         100,
         {"DETACH 102 @0"},
         {"present 102", "absent 102"}},
        {103,
         kNever,
         nullptr,
         {"ATTACH 103 @0", "DEFAULT 103 @0"},
         100,
         {"DETACH 103 @0"},
         {"present 103", "absent 103"}},
        // Storage: mounted at once when the folder is there, else polled.
        {10, 0, "Storage Card", {"ATTACH 10 @0", "DEFAULT 10 @0"}, 1000, {"DETACH 10 @0"}, {"present 10", "absent 10"}},
        {11,
         2000,
         "Storage Card2",
         {"ATTACH 11 @0", "DEFAULT 11 @2600"},
         5000,
         {"DETACH 11 @0"},
         {"present 11", "absent 11"}},
        {10,
         kNever,
         "Storage Card",
         {"ATTACH 10 @0", "ABORT 10 @13000", "DETACH 10 @13000"},
         20000,
         {},
         {"present 10", "absent 10", "gave up 10"}},
        {12, 0, "HDD", {"ATTACH 12 @0", "DEFAULT 12 @0"}, 500, {"DETACH 12 @0"}, {"present 12", "absent 12"}},
        {12,
         kNever,
         "HDD",
         {"ATTACH 12 @0", "ABORT 12 @2000", "DETACH 12 @2000"},
         3000,
         {},
         {"present 12", "absent 12", "gave up 12"}},
        // Probed at once, then once per interval up to the poll count.
        {30, 0, nullptr, {"ATTACH 30 @0", "DEFAULT 30 @0"}, 100, {"DETACH 30 @0"}, {"present 30", "absent 30"}},
        {30,
         kNever,
         nullptr,
         {"ATTACH 30 @0", "ABORT 30 @30000", "DETACH 30 @30000"},
         31000,
         {},
         {"present 30", "absent 30", "gave up 30"}},
        {50, 100, nullptr, {"ATTACH 50 @0", "DEFAULT 50 @30000"}, 31000, {"DETACH 50 @0"}, {"present 50", "absent 50"}},
        {40,
         59000,
         nullptr,
         {"ATTACH 40 @0", "DEFAULT 40 @60000"},
         61000,
         {"DETACH 40 @0"},
         {"present 40", "absent 40"}},
        {20, 900, nullptr, {"ATTACH 20 @0", "DEFAULT 20 @1000"}, 2000, {"DETACH 20 @0"}, {"present 20", "absent 20"}},
        {22,
         kNever,
         nullptr,
         {"ATTACH 22 @0", "ABORT 22 @15000", "DETACH 22 @15000"},
         16000,
         {},
         {"present 22", "absent 22", "gave up 22"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("device " + std::to_string(c.number) + " ready after "
                     + (c.readyAfter == kNever ? std::string("never") : std::to_string(c.readyAfter)));
        Watcher& m = StartSystem();
        if (c.folder)
            RemoveFolder(c.folder);
        Mark();
        if (c.readyAfter != kNever) {
            m.readyAt[c.number] = platform::NowMs() + c.readyAfter;
            if (c.folder && c.readyAfter == 0)
                MakeFolder(c.folder);
        }
        Notice(IXA_DEVICENOTICE, AEV_ATTACH, c.number);
        bool mountedAtOnce = c.attach.size() > 1 && c.attach[1] == "DEFAULT " + std::to_string(c.number) + " @0";
        EXPECT_EQ(m.GetState(c.number), mountedAtOnce ? 3 : 2);
        Run(c.horizon, [&] {
            if (c.folder && c.readyAfter != kNever && platform::NowMs() >= recorder.origin + c.readyAfter)
                MakeFolder(c.folder);
        });
        EXPECT_EQ(recorder.Take(), c.attach);
        if (!c.detach.empty()) {
            EXPECT_EQ(m.GetState(c.number), 3);
            Mark();
            Notice(IXA_DEVICENOTICE, AEV_DETACH, c.number);
            Run(7000);
            EXPECT_EQ(recorder.Take(), c.detach);
        }
        EXPECT_EQ(m.GetState(c.number), 1);
        EXPECT_EQ(m.hooks, c.hooks);
        // Nothing of the device is left running.
        for (int i = 0; i < frame->GetTimers().Count(); ++i)
            EXPECT_EQ(frame->GetTimers()[i].pTarget, nullptr);
        if (c.folder)
            RemoveFolder(c.folder);
        manager.reset();
    }
}

TEST_F(DeviceManagerTest, AccOffIsReportedOnlyAfterItsDetachDelayAndCancelledWhenAccReturns)
{
    Watcher& m = StartSystem();
    Notice(IXA_DEVICENOTICE, AEV_ATTACH, 100);
    Run(500);
    recorder.Take();

    Mark();
    Notice(IXA_DEVICENOTICE, AEV_DETACH, 100);
    EXPECT_EQ(m.GetState(100), 2);
    Run(3000);
    Notice(IXA_DEVICENOTICE, AEV_DETACH, 100); // a repeated off changes nothing
    Run(2000);
    Notice(IXA_DEVICENOTICE, AEV_ATTACH, 100);
    EXPECT_EQ(m.GetState(100), 3);
    Run(10000);
    EXPECT_EQ(recorder.Take(), (Log{"COMPLETE 100 @0", "BEGIN 100 @5000"}));

    // Forced present during the delay also ends it.
    Mark();
    Notice(IXA_DEVICENOTICE, AEV_DETACH, 100);
    Run(1000);
    Notice(IXA_FORCENOTICE, AEV_ATTACH, 100);
    Run(10000);
    EXPECT_EQ(recorder.Take(), (Log{"COMPLETE 100 @0", "ATTACH 100 @1000"}));
    EXPECT_EQ(m.GetState(100), 2);
}

TEST_F(DeviceManagerTest, AliasesFollowTheNavigationCardFromSlotToSlot)
{
    Watcher& m = StartSystem();
    // The navigation program on the second card, another card in the first.
    MakeFolder("Storage Card");
    MakeFolder("Storage Card2/Quickroute_Lumo/Bin");
    std::filesystem::path exe = unit.Host("Storage Card2/Quickroute_Lumo/Bin/Lumo_DMU.exe");
    {
        std::FILE* f = std::fopen(exe.c_str(), "wb");
        ASSERT_TRUE(f);
        std::fclose(f);
    }
    Mark();
    Notice(IXA_ALIASNOTICE, AEV_ATTACH, 10);
    Notice(IXA_ALIASNOTICE, AEV_ATTACH, 11);
    Notice(IXA_ALIASNOTICE, AEV_ATTACH, 10); // bound: dropped
    EXPECT_EQ(recorder.Take(), (Log{"ATTACH 10 @0", "DEFAULT 10 @0", "ATTACH 11 @0", "DEFAULT 11 @0"}));
    EXPECT_EQ(m.GetAliasTarget(10), 11);
    EXPECT_EQ(m.GetAliasTarget(11), 10);
    EXPECT_EQ(m.ResolveAlias(11), 10);
    EXPECT_EQ(m.GetAliasState(10), 3);
    IxString text;
    ASSERT_TRUE(m.GetPath(10, text));
    EXPECT_EQ(std::u16string(text.Text()), u"\\Storage Card2");
    EXPECT_EQ(m.GetDisplayName(u"\\Storage Card2", 14, text), 10);
    EXPECT_EQ(std::u16string(text.Text()), u"Navi");
    EXPECT_EQ(m.GetDisplayName(u"\\Storage Card", 13, text), 11);
    EXPECT_EQ(std::u16string(text.Text()), u"SD2");
    EXPECT_EQ(m.FindMountedInFamily(10), 10); // the other card holds no reserving alias
    IxArray<int> family;
    ASSERT_TRUE(m.CollectFamily(10, &family, FALSE));
    EXPECT_EQ(family.Count(), 1);
    ASSERT_TRUE(m.CollectFamily(10, &family, TRUE));
    EXPECT_EQ(family.Count(), 3);

    // Both cards out; the navigation card goes into the first slot.
    Mark();
    Notice(IXA_ALIASNOTICE, AEV_DETACH, 10);
    Notice(IXA_ALIASNOTICE, AEV_DETACH, 11);
    Notice(IXA_ALIASNOTICE, AEV_DETACH, 11); // unbound: dropped
    EXPECT_EQ(recorder.Take(), (Log{"DETACH 10 @0", "DETACH 11 @0"}));
    EXPECT_EQ(m.GetAliasTarget(10), 0);
    EXPECT_EQ(m.GetAliasState(10), 0);
    EXPECT_FALSE(m.GetPath(10, text));
    EXPECT_EQ(m.hooks, (Log{"present 10", "present 11", "absent 10", "absent 11"}));
    RemoveFolder("Storage Card2");
    MakeFolder("Storage Card/Quickroute_Lumo/Bin");
    {
        std::FILE* f = std::fopen(unit.Host("Storage Card/Quickroute_Lumo/Bin/Lumo_DMU.exe").c_str(), "wb");
        ASSERT_TRUE(f);
        std::fclose(f);
    }
    MakeFolder("Storage Card2");
    Notice(IXA_ALIASNOTICE, AEV_ATTACH, 10);
    Notice(IXA_ALIASNOTICE, AEV_ATTACH, 11);
    EXPECT_EQ(recorder.Take(), (Log{"ATTACH 10 @0", "DEFAULT 10 @0", "ATTACH 11 @0", "DEFAULT 11 @0"}));
    EXPECT_EQ(m.GetAliasTarget(10), 10);
    EXPECT_EQ(m.GetAliasTarget(11), 11);
    EXPECT_EQ(m.GetDisplayName(u"\\Storage Card", 13, text), 10);
    EXPECT_EQ(std::u16string(text.Text()), u"Navi");
}

TEST_F(DeviceManagerTest, WithoutPreferenceAnAliasTakesAnExistingFolderAndOneCardPollsAtATime)
{
    Watcher& m = StartSystem();
    // No folder yet: alias 10 falls back to the first card, which polls; the
    // second card waits while the first one polls.
    Mark();
    Notice(IXA_ALIASNOTICE, AEV_ATTACH, 10);
    Notice(IXA_ALIASNOTICE, AEV_ATTACH, 11);
    EXPECT_EQ(recorder.Take(), (Log{"ATTACH 10 @0", "ATTACH 11 @0"}));
    EXPECT_EQ(m.GetAliasTarget(10), 10);
    EXPECT_EQ(m.GetAliasTarget(11), 11);
    EXPECT_EQ(m.GetState(11), 2);
    EXPECT_EQ(m.hooks, (Log{"present 10"}));
    // The first card's mount lets the waiting one try.
    MakeFolder("Storage Card");
    MakeFolder("Storage Card2");
    Run(1000);
    EXPECT_EQ(recorder.Take(), (Log{"DEFAULT 10 @650", "DEFAULT 11 @650"}));
    EXPECT_EQ(m.hooks, (Log{"present 10", "present 11"}));

    // Only the second card's folder exists: it is preferred to the first
    // absent card.
    Notice(IXA_ALIASNOTICE, AEV_DETACH, 10);
    Notice(IXA_ALIASNOTICE, AEV_DETACH, 11);
    RemoveFolder("Storage Card");
    Notice(IXA_ALIASNOTICE, AEV_ATTACH, 10);
    EXPECT_EQ(m.GetAliasTarget(10), 11);
    EXPECT_EQ(m.GetAliasState(10), 3);
}

TEST_F(DeviceManagerTest, FailureWaitEndsInAMountWhenTheDeviceIsStillThereElseInADetach)
{
    struct Case {
        bool stillPresent;
        Log events;
        int finalState;
    } cases[] = {
        {true, {"DEFAULT 22 @1000"}, 3},
        {false, {"DETACH 22 @1000"}, 1},
    };
    for (const Case& c : cases) {
        manager = std::make_unique<Watcher>(FALSE);
        Watcher& m = *manager;
        ASSERT_TRUE(m.AddDevice(22, nullptr, 500, 3, 0, 1000));
        ASSERT_TRUE(m.AddDevice(23, nullptr, 500, 3, 0, 0));
        m.Start(FALSE, nullptr);
        for (int n : {22, 23}) {
            m.present[n] = true;
            m.readyAt[n] = 0;
            Notice(IXA_DEVICENOTICE, AEV_ATTACH, n);
        }
        recorder.Take();
        Mark();
        Notice(IXA_DEVICENOTICE, AEV_FAILED, 23); // no failure wait: absent at once
        EXPECT_EQ(recorder.Take(), (Log{"DETACH 23 @0"}));
        Notice(IXA_DEVICENOTICE, AEV_FAILED, 22);
        EXPECT_EQ(m.GetState(22), 2);
        m.present[22] = c.stillPresent;
        Run(3000);
        EXPECT_EQ(recorder.Take(), c.events);
        EXPECT_EQ(m.GetState(22), c.finalState);
        manager.reset();
    }
}

TEST_F(DeviceManagerTest, NoticesThatDoNotFitTheStateChangeNothing)
{
    Watcher& m = StartSystem();
    EXPECT_EQ(m.GetState(999), 0);
    EXPECT_EQ(m.GetState(102), 1); // registered, never probed
    EXPECT_EQ(m.GetAliasState(11), 0);
    Notice(IXA_DEVICENOTICE, AEV_DETACH, 102);  // absent already
    Notice(IXA_DEVICENOTICE, AEV_DEFAULT, 102); // ready outside polling
    Notice(IXA_DEVICENOTICE, AEV_FAILED, 102);
    Notice(IXA_DEVICENOTICE, AEV_ATTACH, 999);
    Notice(IXA_ALIASNOTICE, AEV_DETACH, 10);
    Notice(IXA_PLATFORMNOTICE, AEV_ATTACH, 0); // no global notices for this manager
    EXPECT_TRUE(recorder.Take().empty());
    Mark();
    Notice(IXA_DEVICENOTICE, AEV_ATTACH, 102);
    Notice(IXA_DEVICENOTICE, AEV_ATTACH, 102);
    Notice(IXA_FORCENOTICE, AEV_DEFAULT, 102);
    EXPECT_EQ(recorder.Take(), (Log{"ATTACH 102 @0", "DEFAULT 102 @0"}));
    EXPECT_EQ(m.hooks, (Log{"present 102"}));
}

TEST_F(DeviceManagerTest, GlobalNoticesRescanEveryDeviceAndStartProbesWithoutAttachEvents)
{
    manager = std::make_unique<Watcher>(TRUE);
    Watcher& m = *manager;
    RegisterSystemTable(m);
    MakeFolder("HDD");
    m.present[102] = true;
    frame->BeginBusy();
    m.Start(TRUE, nullptr);
    frame->EndBusy();
    EXPECT_EQ(recorder.Take(), (Log{"DEFAULT 102 @0", "DEFAULT 12 @0"}));
    EXPECT_EQ(m.GetState(10), 1);

    Mark();
    m.present[30] = true;
    m.readyAt[30] = 0;
    MakeFolder("Storage Card");
    Notice(IXA_PLATFORMNOTICE, AEV_ATTACH, 0);
    EXPECT_EQ(recorder.Take(), (Log{"ATTACH 10 @0", "DEFAULT 10 @0", "ATTACH 30 @0", "DEFAULT 30 @0"}));
    m.present[30] = false;
    RemoveFolder("HDD");
    Notice(IXA_PLATFORMNOTICE, AEV_DETACH, 0);
    EXPECT_EQ(recorder.Take(), (Log{"DETACH 30 @0", "DETACH 12 @0"}));
    EXPECT_EQ(m.GetState(10), 3);
}

TEST_F(DeviceManagerTest, WatchedVolumeFoldersAttachAndDetachTheirDevices)
{
    manager = std::make_unique<Watcher>(FALSE);
    Watcher& m = *manager;
    RegisterSystemTable(m);
    EXPECT_FALSE(m.WatchPath(u"\\Missing"));
    EXPECT_EQ(m.GetWatcher(), nullptr);
    frame->BeginBusy();
    ASSERT_TRUE(m.Start(FALSE, u"\\"));
    frame->EndBusy();
    ASSERT_NE(m.GetWatcher(), nullptr);

    MakeFolder("hdd");
    ASSERT_TRUE(PumpUntil([&] { return m.GetState(12) == 3; }));
    EXPECT_EQ(recorder.Take(), (Log{"ATTACH 12 @0", "DEFAULT 12 @0"}));
    RemoveFolder("hdd");
    ASSERT_TRUE(PumpUntil([&] { return m.GetState(12) == 1; }));
    EXPECT_EQ(recorder.Take(), (Log{"DETACH 12 @0"}));
    m.Stop();
    EXPECT_EQ(m.GetWatcher(), nullptr);
}

// A volume hook may end the watch: the watcher goes while its notices are
// being handled.
class StopOnNotice : public Watcher {
public:
    void OnVolumeNotice(int device, BOOL arrived) override
    {
        Watcher::OnVolumeNotice(device, arrived);
        ++notices;
        Stop();
    }
    int notices = 0;
};

TEST_F(DeviceManagerTest, VolumeHookMayStopTheWatch)
{
    auto owned = std::make_unique<StopOnNotice>();
    StopOnNotice& m = *owned;
    manager = std::move(owned);
    RegisterSystemTable(m);
    frame->BeginBusy();
    ASSERT_TRUE(m.Start(FALSE, u"\\"));
    frame->EndBusy();
    MakeFolder("hdd");
    ASSERT_TRUE(PumpUntil([&] { return m.notices > 0; }));
    EXPECT_EQ(m.notices, 1);
    EXPECT_EQ(m.GetWatcher(), nullptr);
}

TEST_F(DeviceManagerTest, NegativePollCountMountsThatManyIntervalsAfterPresenceWithoutProbing)
{
    manager = std::make_unique<Watcher>(FALSE);
    Watcher& m = *manager;
    ASSERT_TRUE(m.AddDevice(23, nullptr, 500, -3, 0, 0));
    m.Start(FALSE, nullptr);
    Notice(IXA_DEVICENOTICE, AEV_ATTACH, 23); // never answers ready
    Run(3000);
    EXPECT_EQ(recorder.Take(), (Log{"ATTACH 23 @0", "DEFAULT 23 @1500"}));
}

TEST_F(DeviceManagerTest, AnAliasWithNothingToBindStaysUnbound)
{
    manager = std::make_unique<Watcher>(FALSE);
    Watcher& m = *manager;
    ASSERT_TRUE(m.AddAlias(15, u"Spare", u"\\Z", 0));
    ASSERT_TRUE(m.AddDevice(10, u"\\Storage Card", 650, 20, 0, 0));
    m.Start(FALSE, nullptr);
    Notice(IXA_ALIASNOTICE, AEV_ATTACH, 15);
    EXPECT_EQ(m.GetAliasTarget(15), 0);
    // A device registered later can still be bound.
    ASSERT_TRUE(m.AddDevice(15, u"\\Zip", 0, 0, 0, 0));
    Notice(IXA_ALIASNOTICE, AEV_ATTACH, 15);
    EXPECT_EQ(m.GetAliasTarget(15), 15);
    EXPECT_EQ(m.GetAliasState(15), 3);
}

TEST_F(DeviceManagerTest, StopLeavesNoListenerOrTimer)
{
    Watcher& m = StartSystem();
    Notice(IXA_DEVICENOTICE, AEV_ATTACH, 10); // polling
    ASSERT_EQ(m.GetState(10), 2);
    m.Stop();
    Run(2000);
    Notice(IXA_DEVICENOTICE, AEV_ATTACH, 102);
    EXPECT_EQ(recorder.Take(), (Log{"ATTACH 10 @0"}));
    EXPECT_EQ(m.GetState(10), 2);
    EXPECT_EQ(m.GetState(102), 1);
}

} // namespace
