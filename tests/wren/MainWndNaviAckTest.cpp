// The main window's acknowledgement of the navigation program's position
// report: sent to the simulated program, and given up after the time-out
// when the program stopped answering, so that the user-interface thread
// goes on.
#include "Source/shell/LumoBridge.h"
#include "platform/base/Debug.h"
#include "platform/io/ProgramLinks.h"
#include "platform/os/Process.h"
#include "sim/NaviProgram.h"
#include "tests/wren/MainWndFixture.h"

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

namespace {

using namespace mainwndtest;

class MainWndNaviAck : public MainWndFixture {
protected:
    void SetUp() override
    {
        MainWndFixture::SetUp();
        OpenReady();
        navi.Install();
        navi.PutOnCard(unit.Host("Storage Card"));
        PROCESS_INFORMATION info{};
        ASSERT_TRUE(CreateProcessW(u"\\Storage Card\\Quickroute_Lumo\\Bin\\Lumo_DMU.exe", nullptr, nullptr, nullptr,
                                   FALSE, 0, nullptr, nullptr, nullptr, &info));
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
        ASSERT_TRUE(navi.WaitUntilRunning(10000));
    }
    void TearDown() override
    {
        navi.SetFault(sim::ProgramFault::None);
        navi.Uninstall();
        MainWndFixture::TearDown();
    }
    // The report as the program sends it, from the test (the unit's) thread.
    void Report()
    {
        std::string text = sim::CNaviProgram::PositionText(1, 2);
        COPYDATASTRUCT copy{kNaviPositionReport, static_cast<DWORD>(text.size()), text.data()};
        Send(WM_COPYDATA, reinterpret_cast<WPARAM>(navi.Window()), reinterpret_cast<LPARAM>(&copy));
    }
    int Acks()
    {
        int n = 0;
        for (const auto& command : navi.Commands())
            n += command.data == kNaviPositionAck ? 1 : 0;
        return n;
    }

    sim::CNaviProgram navi;
};

TEST_F(MainWndNaviAck, AHungProgramCostsTheMainWindowAtMostTheTimeOut)
{
    Report();
    EXPECT_EQ(Acks(), 1);

    platform::DebugCapture log;
    navi.SetFault(sim::ProgramFault::Hang);
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
    Report();
    const std::uint64_t spent = clock.Now() - before;
    done = true;
    ticker.join();
    EXPECT_GE(spent, LumoBridge::kSendTimeoutMs);
    EXPECT_LE(spent, LumoBridge::kSendTimeoutMs + kSlack);
    EXPECT_TRUE(log.Contains("acknowledgement dropped: error 1460"));
}

} // namespace
