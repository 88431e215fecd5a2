// Runs the Wren program itself: its start-up lines (the main window's
// creation on the board among them), a clean end, and the one
// instance per unit rule across processes.
#include "platform/gfx/Screen.h"
#include "platform/unit/Unit.h"

#include "tests/common/TempFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <signal.h>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

class WrenProcess : public ::testing::Test {
protected:
    // Starts Wren on the test's root with the given arguments and extra
    // environment; its standard error goes to errFile.
    pid_t Start(const std::vector<std::string>& args, const std::vector<std::string>& env, const fs::path& errFile)
    {
        std::vector<std::string> envStrings;
        for (char** e = environ; *e; ++e) {
            std::string s = *e;
            if (s.rfind("WREN_", 0) != 0)
                envStrings.push_back(s);
        }
        envStrings.push_back("WREN_ROOT=" + (root / "unit").string());
        for (const auto& e : env)
            envStrings.push_back(e);
        // Tests never open a desktop window, even on a developer's desktop.
        std::vector<std::string> argStrings{WREN_EXE, "--headless"};
        argStrings.insert(argStrings.end(), args.begin(), args.end());

        std::vector<char*> argv, envp;
        for (auto& a : argStrings)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        for (auto& e : envStrings)
            envp.push_back(e.data());
        envp.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        pid_t pid = -1;
        int rc = posix_spawn(&pid, WREN_EXE, &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        EXPECT_EQ(rc, 0);
        return pid;
    }

    // Exit code, or -1 when the program did not end within the limit (it is
    // then killed) or did not exit normally.
    static int Wait(pid_t pid, std::chrono::seconds limit = std::chrono::seconds(20))
    {
        auto end = std::chrono::steady_clock::now() + limit;
        int status = 0;
        while (waitpid(pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > end) {
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
                return -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // Waits until the unit's owner shows a window of class "PLAYER".
    bool WaitForPlayer()
    {
        auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < end) {
            std::string reply;
            if (platform::UnitRequestAt((root / "unit").string(), {"find", "=PLAYER", ""}, &reply, 1000)
                && !reply.empty() && reply != "0")
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    TempFolder m_folder{"wren-process"};
    fs::path root = m_folder.Path();
};

TEST_F(WrenProcess, PrintsTheStartLinesAndEndsCleanly)
{
    fs::path shot = root / "screen.png";
    pid_t pid = Start({"--exit-after", "300"}, {"WREN_SCREENSHOT=" + shot.string()}, root / "err.txt");
    ASSERT_EQ(Wait(pid), 0);
    std::string out = ReadFile(root / "err.txt");
    // The framework's banner, then the main window's creation on the board:
    // the status block, the kernel frame (its creation step with the 3D
    // menu among the pages), the micom's state, the remote and the detach
    // waiter.
    const char* lines[] = {"Pavo : ver ",
                           "<IOEM_TCC89>",
                           "<IOEM_TCC_MULTIDISPLAY>",
                           "<IOEM_TCC_MULTIAUDIO>",
                           "<ICFG_SERVICE>",
                           "<ICFG_SOFTKEY>",
                           "<ICFG_BUSY>",
                           "<ICFG_SUDDENDEATH>",
                           " fid : ",
                           "[IxKernelFrame] Created() CurrentThreadID=",
                           "[CGateSheet] Constructor End",
                           "TIME(DoCreate) = ",
                           "GTIME(WM_CREATE) = ",
                           "Micom Version = [0x10203]",
                           "[BSP] NECMICOM_ACC_STATUS_BIT is on",
                           "[BSP] SD0 is detached",
                           "[CST] Park is detached",
                           "Remote Control Handle reistered successfully",
                           "[CEventDetach_SD0] : Run()"};
    std::size_t at = 0;
    for (const char* line : lines) {
        std::size_t found = out.find(line, at);
        ASSERT_NE(found, std::string::npos) << line << " missing or out of order in:\n" << out;
        at = found;
    }
    int w = 0, h = 0;
    std::vector<std::uint32_t> rgb;
    ASSERT_TRUE(platform::ReadPng(shot.string(), w, h, rgb));
    EXPECT_EQ(w, 800);
    EXPECT_EQ(h, 480);
}

TEST_F(WrenProcess, SecondStartOnTheSameUnitBringsTheFirstForwardAndExits)
{
    pid_t first = Start({}, {}, root / "first.txt");
    ASSERT_TRUE(WaitForPlayer()) << ReadFile(root / "first.txt");

    pid_t second = Start({}, {}, root / "second.txt");
    EXPECT_EQ(Wait(second), 0);
    EXPECT_EQ(ReadFile(root / "second.txt").find("TIME(DoCreate)"), std::string::npos)
        << "the second start must not create a window";

    // Stopped by a signal, the first closes its window and ends with 0.
    kill(first, SIGTERM);
    EXPECT_EQ(Wait(first), 0);
    EXPECT_NE(ReadFile(root / "first.txt").find("[UNIT] window \"PLAYER\" brought to the front by another program"),
              std::string::npos);
}

} // namespace

TEST_F(WrenProcess, ExitAfterFrameEndsOnceTheFirstFrameIsShown)
{
    fs::path shot = root / "screen.png";
    pid_t pid = Start({"--exit-after-frame"}, {"WREN_SCREENSHOT=" + shot.string()}, root / "err.txt");
    ASSERT_EQ(Wait(pid), 0);
    // The main window was created and painted before the program ended.
    EXPECT_NE(ReadFile(root / "err.txt").find("GTIME(WM_CREATE) = "), std::string::npos);
    int w = 0, h = 0;
    std::vector<std::uint32_t> rgb;
    EXPECT_TRUE(platform::ReadPng(shot.string(), w, h, rgb));
}
