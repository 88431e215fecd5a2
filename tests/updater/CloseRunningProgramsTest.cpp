#include "updater/CloseRunningPrograms.h"
#include "updater/ProcessList.h"

#include "platform/base/Debug.h"
#include "platform/gfx/Gdi.h"
#include "platform/os/Process.h"
#include "platform/os/Sync.h"
#include "platform/ui/Window.h"
#include "tests/updater/UpdaterScreenFixture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

using namespace updatertest;

namespace {

// A program of the unit with one window. An obedient one ends when its
// window gets WM_DESTROY; a stubborn one ignores it and ends only when the
// test releases it.
struct WindowProgram {
    const WCHAR* path;
    const WCHAR* windowClass;
    const WCHAR* title;
    bool obeys;
};

HANDLE g_release = nullptr;

LRESULT ObedientProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT StubbornProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY)
        return 0;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

DWORD RunWindowProgram(const WindowProgram& program, std::atomic<int>* ready)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = program.obeys ? ObedientProc : StubbornProc;
    wc.lpszClassName = program.windowClass;
    RegisterClassW(&wc);
    HWND hwnd = CreateWindowExW(0, program.windowClass, program.title, WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                nullptr, nullptr);
    ++*ready;
    if (program.obeys) {
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0))
            DispatchMessageW(&msg);
    } else {
        MSG msg;
        while (WaitForSingleObject(g_release, 1) == WAIT_TIMEOUT)
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageW(&msg);
    }
    DestroyWindow(hwnd);
    return 0;
}

class CloseRunningProgramsTest : public UpdaterScreenTest {
protected:
    CloseRunningProgramsTest() { g_release = CreateEventW(nullptr, TRUE, FALSE, nullptr); }
    ~CloseRunningProgramsTest() override
    {
        SetEvent(g_release);
        for (HANDLE process : m_processes) {
            WaitForSingleObject(process, 30000);
            CloseHandle(process);
        }
        CloseHandle(g_release);
    }

    void StartWindowProgram(const WindowProgram& program)
    {
        platform::RegisterProgram(
            program.path, [this, program](const std::u16string&) { return RunWindowProgram(program, &m_ready); });
        Start(program.path);
    }
    void Start(const WCHAR* path, const WCHAR* arguments = nullptr)
    {
        std::u16string line = arguments ? arguments : u"";
        PROCESS_INFORMATION info{};
        ASSERT_TRUE(CreateProcessW(path, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &info));
        CloseHandle(info.hThread);
        m_processes.push_back(info.hProcess);
    }
    bool Run()
    {
        std::atomic<bool> done{false};
        bool result = false;
        std::thread worker([&] {
            result = CloseRunningPrograms();
            done = true;
        });
        EXPECT_TRUE(AdvanceUntil([&] { return done.load(); }));
        worker.join();
        return result;
    }

    std::atomic<int> m_ready{0};
    std::vector<HANDLE> m_processes;
};

TEST_F(CloseRunningProgramsTest, WindowsAreAskedStubbornProgramsTriedFourTimesHostProgramsTerminated)
{
    std::filesystem::create_directories(std::filesystem::path(platform::ProgramMapPath()).parent_path());
    std::ofstream(platform::ProgramMapPath()) << "\\Windows\\TIDEHOST.exe = /bin/sleep\n"
                                              << "\\Windows\\Explorer.exe = /bin/sleep\n";
    platform::SetTerminateGraceMs(100);
    StartWindowProgram({u"\\Storage Card\\Nav\\Lumo_DMU.exe", u"LumoClass", u"Lumo", true});
    StartWindowProgram({u"\\Windows\\Wren.exe", u"PLAYER", u"PLAYER", true});
    StartWindowProgram({u"\\Windows\\VoiceControllerU.exe", u"VCClass", u"VoiceController", false});
    Start(u"\\Windows\\TIDEHOST.exe", u"600");
    Start(u"\\Windows\\Explorer.exe", u"600");
    ASSERT_TRUE(WaitUntil([&] { return m_ready.load() == 3; }));

    platform::DebugCapture log;
    EXPECT_FALSE(Run()); // no font was added
    EXPECT_TRUE(log.Contains("Corvan Font Already removed \n\r"));

    EXPECT_FALSE(CProcessList::FindProcess(u"lumo_dmu.exe"));
    EXPECT_FALSE(CProcessList::FindProcess(u"Wren.exe"));
    EXPECT_TRUE(WaitUntil([] { return !CProcessList::FindProcess(u"Explorer.exe"); }));
    EXPECT_TRUE(log.Contains("Updater : Timeout (KILL TIDEHOST)\r\n"));
    EXPECT_FALSE(log.Contains("Timeout (KILL Lumo)"));
    EXPECT_FALSE(log.Contains("Timeout (KILL Wren)"));

    // The stubborn program cannot be terminated: four tries, then on.
    std::size_t failures = 0;
    for (const std::string& line : log.Lines())
        failures += line.find("Updater : KillProcess Fail  [Error :0x32] (KILL VC) ") == 0 ? 1 : 0;
    EXPECT_EQ(3u, failures);
    EXPECT_TRUE(log.Contains("Updater : Retry OverCount  (KILL VC) \r\n"));
    EXPECT_TRUE(CProcessList::FindProcess(u"VoiceControllerU.exe"));
}

TEST_F(CloseRunningProgramsTest, ProgramsNotRunningAreNeitherAskedNorWaitedForAndTheFontIsUnloaded)
{
    // A window titled like the navigation program, but no such program.
    WNDCLASSW wc{};
    wc.lpfnWndProc = ObedientProc;
    wc.lpszClassName = u"Other";
    RegisterClassW(&wc);
    HWND lookalike = CreateWindowExW(0, u"Other", u"Lumo", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    std::filesystem::create_directories(m_unit.Host("NAND/Wren"));
    std::filesystem::copy_file("/usr/share/fonts/truetype/nanum/NanumGothic.ttf",
                               m_unit.Host("NAND/Wren/Corvan_AVN.ttf"));
    ASSERT_GT(AddFontResourceW(u"\\NAND\\Wren\\Corvan_AVN.ttf"), 0);

    platform::DebugCapture log;
    const std::uint64_t start = m_clock.Now();
    EXPECT_TRUE(Run());
    // Only the two-second grace: nothing was waited for.
    EXPECT_LT(m_clock.Now() - start, 2500u);
    EXPECT_TRUE(log.Contains("Corvan Font remove Success \n\r"));
    for (const char* tag : {"TIDEHOST", "Lumo", "VC", "Wren"})
        EXPECT_TRUE(log.Contains(std::string("TimeTick 0 (KILL ") + tag + ")\r\n")) << tag;
    EXPECT_FALSE(log.Contains("Updater :"));
    Pump();
    EXPECT_TRUE(IsWindow(lookalike));
    DestroyWindow(lookalike);
}

} // namespace
