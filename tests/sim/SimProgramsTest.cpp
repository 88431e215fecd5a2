// The navigation program and the voice controller as the unit sees them:
// started from a card only while the card holds them, their reports to the
// main window "PLAYER", their answers to the unit's commands, and the
// faults a test can give them.
#include "platform/io/ProgramLinks.h"
#include "platform/os/Process.h"
#include "platform/os/Sync.h"
#include "sim/NaviProgram.h"
#include "sim/VoiceController.h"
#include "tests/common/TempUnit.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr DWORD kNoLimit = 10000; // only keeps a broken test from hanging

struct Report {
    std::u16string message; // the registered message's name
    WPARAM code;
    LPARAM value;
    bool operator==(const Report&) const = default;
};

// The unit's main window on the test's thread: keeps the programs' reports
// and position texts, and acknowledges each position as the unit does.
class Player {
public:
    Player()
    {
        s_player = this;
        WNDCLASSW wc{};
        wc.lpfnWndProc = &Player::Proc;
        wc.lpszClassName = u"PLAYER";
        RegisterClassW(&wc);
        m_hwnd = CreateWindowExW(0, u"PLAYER", u"PLAYER", 0, 0, 0, 800, 480, nullptr, nullptr, nullptr, nullptr);
    }
    ~Player()
    {
        DestroyWindow(m_hwnd);
        s_player = nullptr;
    }

    // Runs the test thread's messages until done() holds.
    bool PumpUntil(const std::function<bool()>& done)
    {
        auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(kNoLimit);
        while (!done()) {
            if (std::chrono::steady_clock::now() > limit)
                return false;
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageW(&msg);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }
    bool PumpUntilReports(std::size_t count)
    {
        return PumpUntil([&] { return reports.size() >= count; });
    }

    std::vector<Report> reports;
    std::vector<std::string> positions;
    HWND positionSender = nullptr;

private:
    static LRESULT Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        for (const WCHAR* name : {kNaviNoticeMessageName, kVoiceMessageName}) {
            if (message == RegisterWindowMessageW(name)) {
                s_player->reports.push_back({name, wParam, lParam});
                return 0;
            }
        }
        if (message == WM_COPYDATA) {
            const auto* copy = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
            s_player->positions.emplace_back(static_cast<const char*>(copy->lpData), copy->cbData);
            s_player->positionSender = reinterpret_cast<HWND>(wParam);
            COPYDATASTRUCT ack{kNaviPositionAck, 0, nullptr};
            SendMessageW(FindWindowW(nullptr, kNaviWindowTitle), WM_COPYDATA, reinterpret_cast<WPARAM>(hwnd),
                         reinterpret_cast<LPARAM>(&ack));
            return 1;
        }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }

    static inline Player* s_player = nullptr;
    HWND m_hwnd = nullptr;
};

Report Navi(NaviNotice notice, LPARAM value = 0)
{
    return {kNaviNoticeMessageName, static_cast<WPARAM>(notice), value};
}

Report Voice(VoiceNotice notice, LPARAM value = 0)
{
    return {kVoiceMessageName, static_cast<WPARAM>(notice), value};
}

std::u16string OnCard(const WCHAR* path)
{
    return std::u16string(u"\\Storage Card").append(path);
}

// Starts a program by its path on the first card; its process handle, or
// null when it cannot start.
HANDLE Start(const WCHAR* path)
{
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(OnCard(path).c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &info))
        return nullptr;
    CloseHandle(info.hThread);
    return info.hProcess;
}

DWORD Finish(HANDLE process)
{
    EXPECT_EQ(WaitForSingleObject(process, kNoLimit), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    CloseHandle(process);
    return code;
}

LRESULT Send(HWND window, ULONG_PTR data, std::vector<std::uint8_t> bytes = {})
{
    COPYDATASTRUCT copy{data, static_cast<DWORD>(bytes.size()), bytes.empty() ? nullptr : bytes.data()};
    return SendMessageW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy));
}

LRESULT Send(HWND window, NaviCommand command, std::vector<std::uint8_t> bytes = {})
{
    return Send(window, static_cast<ULONG_PTR>(command), std::move(bytes));
}

std::vector<std::uint8_t> Word(std::int32_t value)
{
    std::vector<std::uint8_t> bytes(4);
    std::memcpy(bytes.data(), &value, 4);
    return bytes;
}

class SimPrograms : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_navi.Install();
        m_voice.Install();
    }

    TempUnit m_unit{"wren-programs"};
    Player m_player;
    sim::CNaviProgram m_navi;
    sim::CVoiceController m_voice;
};

TEST_F(SimPrograms, NavigationRunsFromTheCardThatHoldsItAndFollowsTheUnitsCommands)
{
    EXPECT_EQ(Start(kNaviProgramPath), nullptr); // the card does not hold it
    m_navi.PutOnCard(m_unit.Host("Storage Card"));
    HANDLE process = Start(kNaviProgramPath);
    ASSERT_NE(process, nullptr);
    ASSERT_TRUE(m_player.PumpUntilReports(2));
    EXPECT_EQ(m_player.reports, (std::vector<Report>{Navi(NaviNotice::Start), Navi(NaviNotice::Init)}));
    HWND lumo = FindWindowW(nullptr, kNaviWindowTitle);
    ASSERT_EQ(lumo, m_navi.Window());

    // Layout commands are answered with the new layout; showing puts the map on top.
    EXPECT_EQ(Send(lumo, NaviCommand::LayoutPip), 1);
    EXPECT_EQ(m_navi.Layout(), 1);
    EXPECT_EQ(Send(lumo, NaviCommand::LayoutFull), 1);
    EXPECT_EQ(Send(lumo, NaviCommand::UpdateScreen), 1);
    EXPECT_TRUE(m_navi.Shown());
    EXPECT_EQ(Send(lumo, NaviCommand::WarningValue, Word(3)), 1);
    EXPECT_EQ(Send(lumo, 1999), 0); // not a command of the program
    ASSERT_TRUE(m_player.PumpUntilReports(5));
    EXPECT_EQ(
        std::vector<Report>(m_player.reports.begin() + 2, m_player.reports.end()),
        (std::vector<Report>{Navi(NaviNotice::Resize, 0), Navi(NaviNotice::Resize, 2), Navi(NaviNotice::Topmost)}));

    // The position report travels without a terminating zero and is acknowledged.
    ASSERT_TRUE(m_navi.ReportPosition(127123456, 37512345));
    ASSERT_TRUE(m_player.PumpUntil([&] { return !m_player.positions.empty(); }));
    EXPECT_EQ(m_player.positions[0], "$LUMO, POS, 1, 0, 0, 0, 127123456, 37512345");
    EXPECT_EQ(m_player.positionSender, lumo);

    // The close request: "destroy", the end, "destroy end".
    m_player.reports.clear();
    EXPECT_EQ(Send(lumo, NaviCommand::Close, Word(2)), 1);
    EXPECT_EQ(Finish(process), 0u);
    EXPECT_FALSE(IsWindow(lumo));
    ASSERT_TRUE(m_player.PumpUntilReports(2));
    EXPECT_EQ(m_player.reports, (std::vector<Report>{Navi(NaviNotice::Destroy), Navi(NaviNotice::DestroyEnd)}));

    std::vector<ULONG_PTR> commands;
    for (const auto& command : m_navi.Commands())
        commands.push_back(command.data);
    EXPECT_EQ(commands, (std::vector<ULONG_PTR>{1036, 1038, 1325, 1069, 1999, kNaviPositionAck, 1035}));
    EXPECT_EQ(m_navi.Commands()[3].bytes, Word(3));
}

TEST_F(SimPrograms, FaultsHangCrashAndRefuseToClose)
{
    m_navi.PutOnCard(m_unit.Host("Storage Card"));

    // Refusing to close: neither the command nor WM_CLOSE ends it, until the fault is cleared.
    HANDLE process = Start(kNaviProgramPath);
    ASSERT_NE(process, nullptr);
    ASSERT_TRUE(m_navi.WaitUntilRunning(kNoLimit));
    m_navi.SetFault(sim::ProgramFault::RefuseClose);
    EXPECT_EQ(Send(m_navi.Window(), NaviCommand::Close, Word(2)), 1);
    SendMessageW(m_navi.Window(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(m_navi.IsRunning());
    m_navi.SetFault(sim::ProgramFault::None);
    SendMessageW(m_navi.Window(), WM_CLOSE, 0, 0);
    EXPECT_EQ(Finish(process), 0u);

    // A hang holds the unit's send until the hang ends.
    process = Start(kNaviProgramPath);
    ASSERT_NE(process, nullptr);
    ASSERT_TRUE(m_navi.WaitUntilRunning(kNoLimit));
    HWND lumo = m_navi.Window();
    m_navi.SetFault(sim::ProgramFault::Hang);
    std::atomic<bool> answered{false};
    std::thread unit([&] {
        Send(lumo, NaviCommand::UpdateScreen);
        answered = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(answered);
    EXPECT_FALSE(m_navi.Shown());
    m_navi.SetFault(sim::ProgramFault::None);
    unit.join();
    EXPECT_TRUE(m_navi.Shown());

    // A crash ends it at once, its window gone, without a word to the unit.
    m_player.PumpUntil([] { return true; });
    m_player.reports.clear();
    m_navi.SetFault(sim::ProgramFault::Crash);
    EXPECT_EQ(Finish(process), 0xC0000005u);
    EXPECT_FALSE(IsWindow(lumo));
    m_player.PumpUntil([] { return true; });
    for (const Report& report : m_player.reports)
        EXPECT_NE(report.code, static_cast<WPARAM>(NaviNotice::Destroy));
    // The crash is spent: the next start runs.
    process = Start(kNaviProgramPath);
    ASSERT_TRUE(m_navi.WaitUntilRunning(kNoLimit));
    EXPECT_EQ(m_navi.Fault(), sim::ProgramFault::None);
    EXPECT_EQ(m_navi.Starts(), 3);
    SendMessageW(m_navi.Window(), WM_CLOSE, 0, 0);
    EXPECT_EQ(Finish(process), 0u);
}

TEST_F(SimPrograms, VoiceControllerKeepsTheModeListensAndSpeaks)
{
    EXPECT_FALSE(m_voice.Speak(20100)); // not running
    m_voice.PutOnCard(m_unit.Host("Storage Card"));
    HANDLE process = Start(kVoiceProgramPath);
    ASSERT_NE(process, nullptr);
    ASSERT_TRUE(m_player.PumpUntilReports(1));
    EXPECT_EQ(m_player.reports[0], Voice(VoiceNotice::Ready));
    HWND controller = FindWindowW(nullptr, kVoiceWindowTitle);
    ASSERT_EQ(controller, m_voice.Window());
    EXPECT_FALSE(IsWindowVisible(controller));

    EXPECT_EQ(Send(controller, static_cast<ULONG_PTR>(VoiceCommand::ExternalMode), Word(21501)), 1);
    EXPECT_EQ(m_voice.Mode(), 21501);
    EXPECT_EQ(Send(controller, static_cast<ULONG_PTR>(VoiceCommand::ExternalMode), {1, 2}), 0); // too short
    EXPECT_EQ(m_voice.Mode(), 21501);

    EXPECT_EQ(Send(controller, static_cast<ULONG_PTR>(VoiceCommand::RecognitionStart)), 1);
    EXPECT_TRUE(m_voice.Listening());
    EXPECT_EQ(Send(controller, static_cast<ULONG_PTR>(VoiceCommand::RecognitionStop)), 1);
    EXPECT_FALSE(m_voice.Listening());
    EXPECT_TRUE(m_voice.Speak(21502, 7));
    ASSERT_TRUE(m_player.PumpUntilReports(6));
    EXPECT_EQ(std::vector<Report>(m_player.reports.begin() + 1, m_player.reports.end()),
              (std::vector<Report>{Voice(VoiceNotice::Show), Voice(VoiceNotice::Active), Voice(VoiceNotice::Inactive),
                                   Voice(VoiceNotice::Hide), Report{kVoiceMessageName, 21502, 7}}));

    SendMessageW(controller, WM_CLOSE, 0, 0);
    EXPECT_EQ(Finish(process), 0u);
}

TEST_F(SimPrograms, AProgramStillRunningWhenItsObjectGoesIsEnded)
{
    auto navi = std::make_unique<sim::CNaviProgram>();
    navi->Install();
    navi->PutOnCard(m_unit.Host("Storage Card"));
    HANDLE process = Start(kNaviProgramPath);
    ASSERT_NE(process, nullptr);
    ASSERT_TRUE(navi->WaitUntilRunning(kNoLimit));
    navi->SetFault(sim::ProgramFault::Hang);
    navi.reset();
    Finish(process);
    EXPECT_EQ(Start(kNaviProgramPath), nullptr); // its going uninstalled it
}

} // namespace
