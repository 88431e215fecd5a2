#include "platform/os/Process.h"

#include "platform/base/Debug.h"
#include "platform/base/Error.h"
#include "platform/base/Text.h"
#include "platform/io/Io.h"
#include "platform/os/Sync.h"
#include "platform/os/Thread.h"

#include "tests/common/TempRoot.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr DWORD kNoLimit = 30000; // only keeps a broken test from hanging

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Each test gets a unit root of its own.
class Process : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(m_root + "/config");
        fs::create_directories(m_root + "/bin");
        m_handles = platform::OpenHandleCount();
    }

    void TearDown() override
    {
        EXPECT_EQ(platform::OpenHandleCount(), m_handles);
        m_temp.Restore();
    }

    // Writes an executable shell script under <root>/bin.
    std::string Script(const std::string& name, const std::string& body)
    {
        const std::string path = m_root + "/bin/" + name;
        std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
        chmod(path.c_str(), 0755);
        return path;
    }

    void MapPrograms(const std::string& lines) { std::ofstream(m_root + "/config/programs.conf") << lines; }

    // Waits for the end of a started process, closes its handles and returns
    // its exit code.
    static DWORD Finish(PROCESS_INFORMATION& info)
    {
        EXPECT_EQ(WaitForSingleObject(info.hProcess, kNoLimit), WAIT_OBJECT_0);
        EXPECT_EQ(WaitForSingleObject(info.hThread, kNoLimit), WAIT_OBJECT_0);
        DWORD code = 0;
        EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &code));
        EXPECT_TRUE(CloseHandle(info.hProcess));
        EXPECT_TRUE(CloseHandle(info.hThread));
        return code;
    }

    TempRoot m_temp{"wren-process"};
    const std::string& m_root = m_temp.Root();
    std::size_t m_handles = 0;
};

TEST_F(Process, SimulatedProgramRunsWithItsCommandLineAndSignalsItsEnd)
{
    HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::u16string received;
    platform::RegisterProgram(u"\\Storage Card\\Quickroute_Lumo\\Bin\\Lumo_DMU.exe", [&](const std::u16string& line) {
        received = line;
        WaitForSingleObject(go, INFINITE);
        return DWORD{42};
    });

    WCHAR commandLine[] = u"-pip 1";
    PROCESS_INFORMATION info{};
    ASSERT_TRUE(CreateProcessW(u"\\storage card\\QUICKROUTE_LUMO\\bin\\lumo_dmu.EXE", commandLine, nullptr, nullptr,
                               FALSE, 0, nullptr, nullptr, nullptr, &info));
    EXPECT_GE(info.dwProcessId, 0x40000000u);
    EXPECT_NE(info.dwThreadId, 0u);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &code));
    EXPECT_EQ(code, STILL_ACTIVE);
    EXPECT_EQ(WaitForSingleObject(info.hProcess, 0), WAIT_TIMEOUT);
    EXPECT_FALSE(TerminateProcess(info.hProcess, 1)); // simulated programs are never killed
    EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);

    SetEvent(go);
    EXPECT_EQ(Finish(info), 42u);
    EXPECT_EQ(received, u"-pip 1");

    // Without an application name the command line's first word names it.
    WCHAR whole[] = u"\"\\Storage Card\\Quickroute_Lumo\\Bin\\Lumo_DMU.exe\"   a \"b c\"";
    ASSERT_TRUE(CreateProcessW(nullptr, whole, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &info));
    EXPECT_EQ(Finish(info), 42u);
    EXPECT_EQ(received, u"a \"b c\"");

    // A null command line is an empty one.
    ASSERT_TRUE(CreateProcessW(u"\\Storage Card\\Quickroute_Lumo\\Bin\\Lumo_DMU.exe", nullptr, nullptr, nullptr, FALSE,
                               0, nullptr, nullptr, nullptr, &info));
    EXPECT_EQ(Finish(info), 42u);
    EXPECT_EQ(received, u"");

    platform::UnregisterProgram(u"\\Storage Card\\Quickroute_Lumo\\Bin\\Lumo_DMU.exe");
    CloseHandle(go);
}

TEST_F(Process, ProgramOnACardStartsOnlyWhileItsFileIsThere)
{
    const char16_t* path = u"\\Storage Card\\Quickroute_Lumo\\Bin\\Lumo_DMU.exe";
    platform::RegisterProgram(
        path, [](const std::u16string&) { return DWORD{7}; }, platform::ProgramFile::Needed);
    PROCESS_INFORMATION info{};
    EXPECT_FALSE(CreateProcessW(path, nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &info));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);

    // A folder of that name is not the program either.
    fs::create_directories(m_root + "/Storage Card/Quickroute_Lumo/Bin/Lumo_DMU.exe");
    EXPECT_FALSE(CreateProcessW(path, nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &info));
    fs::remove(m_root + "/Storage Card/Quickroute_Lumo/Bin/Lumo_DMU.exe");

    std::ofstream(m_root + "/Storage Card/Quickroute_Lumo/Bin/Lumo_DMU.exe") << "MZ";
    ASSERT_TRUE(CreateProcessW(path, nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &info));
    EXPECT_EQ(Finish(info), 7u);
    platform::UnregisterProgram(path);
}

TEST_F(Process, SuspendedProgramStartsOnResume)
{
    std::atomic<bool> ran{false};
    platform::RegisterProgram(u"\\NAND\\VoiceControllerU.exe", [&](const std::u16string&) {
        ran = true;
        return DWORD{0};
    });
    PROCESS_INFORMATION info{};
    ASSERT_TRUE(CreateProcessW(u"\\NAND\\VoiceControllerU.exe", nullptr, nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                               nullptr, nullptr, nullptr, &info));
    EXPECT_FALSE(ran);
    EXPECT_EQ(ResumeThread(info.hThread), 1u);
    EXPECT_EQ(Finish(info), 0u);
    EXPECT_TRUE(ran);
    platform::UnregisterProgram(u"\\NAND\\VoiceControllerU.exe");
}

TEST_F(Process, UnknownProgramFailsWithoutHandles)
{
    MapPrograms("\\Windows\\Other.exe = /bin/true\n");
    PROCESS_INFORMATION info{};
    SetLastError(0);
    EXPECT_FALSE(CreateProcessW(u"\\Windows\\Calibrate.exe", nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                nullptr, &info));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(info.hProcess, nullptr);
    EXPECT_EQ(info.hThread, nullptr);

    // A mapped executable that does not exist fails the same way.
    MapPrograms("\\Windows\\Calibrate.exe = bin/missing\n");
    EXPECT_FALSE(CreateProcessW(u"\\Windows\\Calibrate.exe", nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                nullptr, &info));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(Process, HostProgramsReportTheirExitCode)
{
    Script("exit3", "exit 3");
    MapPrograms("# programs of the unit\n"
                "\n"
                "not a mapping line\n"
                "\\HDD\\WrenUpdater.exe = bin/exit3\n"
                "  \\Windows\\True.exe=/bin/true  \n"
                "\\Windows\\False.exe = /bin/false\n");
    const struct {
        LPCWSTR program;
        DWORD code;
    } cases[] = {{u"\\hdd\\wrenupdater.exe", 3}, {u"\\Windows\\True.exe", 0}, {u"\\Windows\\False.exe", 1}};
    for (const auto& c : cases) {
        PROCESS_INFORMATION info{};
        ASSERT_TRUE(CreateProcessW(c.program, nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &info));
        EXPECT_GT(info.dwProcessId, 0u);
        EXPECT_LT(info.dwProcessId, 0x40000000u);
        EXPECT_EQ(Finish(info), c.code);
    }
}

TEST_F(Process, HostProgramGetsItsArgumentsAndTheUnitRoot)
{
    Script("args", "for a in \"$@\"; do echo \"[$a]\"; done > \"$WREN_ROOT/args.txt\"");
    MapPrograms("\\Windows\\Args.exe = " + m_root + "/bin/args\n");
    WCHAR commandLine[] = u"one \"two words\"  \"\" \\Storage Card\\x \uD55C";
    PROCESS_INFORMATION info{};
    ASSERT_TRUE(CreateProcessW(u"\\Windows\\Args.exe", commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               nullptr, &info));
    EXPECT_EQ(Finish(info), 0u);
    EXPECT_EQ(ReadAll(m_root + "/args.txt"), "[one]\n[two words]\n[]\n[\\Storage]\n[Card\\x]\n[\xED\x95\x9C]\n");
}

TEST_F(Process, ShellExecuteKeepsTheProcessHandleOnRequest)
{
    MapPrograms("\\HDD\\WrenUpdater.exe = /bin/false\n");
    SHELLEXECUTEINFO request{};
    request.cbSize = kShellExecuteInfoSizeOnUnit;
    request.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    request.lpFile = u"\\HDD\\WrenUpdater.exe";
    request.nShow = 5;
    ASSERT_TRUE(ShellExecuteEx(&request));
    EXPECT_GT(reinterpret_cast<INT_PTR>(request.hInstApp), 32);
    ASSERT_NE(request.hProcess, nullptr);
    EXPECT_EQ(WaitForSingleObject(request.hProcess, kNoLimit), WAIT_OBJECT_0);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(request.hProcess, &code));
    EXPECT_EQ(code, 1u);
    EXPECT_TRUE(CloseHandle(request.hProcess));

    request.fMask = SEE_MASK_FLAG_NO_UI;
    ASSERT_TRUE(ShellExecuteEx(&request));
    EXPECT_EQ(request.hProcess, nullptr);

    request.lpFile = u"\\HDD\\Nothing.exe";
    EXPECT_FALSE(ShellExecuteEx(&request));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(reinterpret_cast<INT_PTR>(request.hInstApp), SE_ERR_FNF);
}

TEST_F(Process, TerminateEndsAHostProgramWithTheGivenCode)
{
    // Each script tells through a pipe when it is ready for the signal; the
    // stubborn one ignores SIGTERM and must be killed after the grace time.
    const std::string ready = m_root + "/ready";
    ASSERT_EQ(mkfifo(ready.c_str(), 0600), 0);
    Script("sleeper", "echo ready > \"$WREN_ROOT/ready\"\nexec sleep 30");
    Script("stubborn", "trap '' TERM\necho ready > \"$WREN_ROOT/ready\"\nwhile :; do sleep 30; done");
    MapPrograms("\\Windows\\Sleeper.exe = bin/sleeper\n\\Windows\\Stubborn.exe = bin/stubborn\n");
    platform::SetTerminateGraceMs(50);
    for (LPCWSTR program : {u"\\Windows\\Sleeper.exe", u"\\Windows\\Stubborn.exe"}) {
        const bool stubborn = lstrcmpW(program, u"\\Windows\\Stubborn.exe") == 0;
        platform::DebugCapture capture(true);
        PROCESS_INFORMATION info{};
        ASSERT_TRUE(CreateProcessW(program, nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &info));
        EXPECT_EQ(ReadAll(ready), "ready\n");
        EXPECT_TRUE(TerminateProcess(info.hProcess, 7));
        EXPECT_EQ(WaitForSingleObject(info.hProcess, kNoLimit), WAIT_OBJECT_0);
        EXPECT_FALSE(TerminateProcess(info.hProcess, 8));
        EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
        EXPECT_EQ(Finish(info), 7u);
        EXPECT_EQ(capture.Contains("still runs after SIGTERM, killed"), stubborn);
    }
}

TEST(ProcessCommandLine, SplitsAtBlanksAndGroupsQuotes)
{
    const struct {
        std::u16string line;
        std::vector<std::u16string> words;
    } cases[] = {
        {u"", {}},
        {u"  \t ", {}},
        {u"a  b\tc", {u"a", u"b", u"c"}},
        {u"\"\\Storage Card\\a b.txt\" x", {u"\\Storage Card\\a b.txt", u"x"}},
        {u"pre\"fix mid\"post", {u"prefix midpost"}},
        {u"\"\" \"", {u"", u""}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(platform::SplitCommandLine(c.line), c.words) << platform::SplitCommandLine(c.line).size();
}

TEST(ProcessId, IsThisHostProcess)
{
    EXPECT_EQ(GetCurrentProcessId(), static_cast<DWORD>(getpid()));
}

} // namespace
