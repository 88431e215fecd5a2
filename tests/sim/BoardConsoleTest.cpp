// The board console drives a running unit: Wren started as its own process
// on a fresh root, wrenctl run against it, and what the board recorded read
// back through the console.
#include "platform/gfx/Screen.h"
#include "platform/unit/Unit.h"
#include "tests/common/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
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
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class BoardConsole : public ::testing::Test {
protected:
    ~BoardConsole() override
    {
        if (m_wren > 0) {
            kill(m_wren, SIGKILL);
            waitpid(m_wren, nullptr, 0);
        }
    }

    pid_t Spawn(const char* program, std::vector<std::string> args, const fs::path& output)
    {
        std::vector<std::string> environment;
        for (char** e = environ; *e; ++e)
            if (std::string(*e).rfind("WREN_", 0) != 0)
                environment.push_back(*e);
        environment.push_back("WREN_ROOT=" + Root());
        args.insert(args.begin(), program);
        std::vector<char*> argv, envp;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        for (auto& e : environment)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        pid_t pid = -1;
        EXPECT_EQ(0, posix_spawn(&pid, program, &actions, nullptr, argv.data(), envp.data()));
        posix_spawn_file_actions_destroy(&actions);
        return pid;
    }

    static int Wait(pid_t pid)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
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

    // Runs wrenctl with the arguments; its exit code, and its output.
    int Console(std::vector<std::string> args, std::string* output = nullptr)
    {
        const fs::path file = m_folder.Path() + "/console.txt";
        const int result = Wait(Spawn(WRENCTL_EXE, std::move(args), file));
        if (output)
            *output = ReadFile(file);
        return result;
    }

    void StartWren()
    {
        m_wren = Spawn(WREN_EXE, {"--headless"}, m_folder.Path() + "/wren.txt");
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < end) {
            std::string reply;
            if (platform::UnitRequestAt(Root(), {"find", "=PLAYER", ""}, &reply, 1000) && !reply.empty()
                && reply != "0")
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        FAIL() << "Wren did not show its main window";
    }

    std::string Root() const { return m_folder.Path() + "/unit"; }

    // Waits until the unit's debug output holds the text.
    bool WaitForLog(const std::string& text)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < end) {
            if (ReadFile(m_folder.Path() + "/wren.txt").find(text) != std::string::npos)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    // The screen as the console saves it (0x00RRGGBB, row by row).
    std::vector<std::uint32_t> Screenshot(const std::string& name)
    {
        const std::string path = m_folder.Path() + "/" + name;
        std::vector<std::uint32_t> rgb;
        int width = 0, height = 0;
        EXPECT_EQ(0, Console({"screenshot", path}));
        EXPECT_TRUE(platform::ReadPng(path, width, height, rgb));
        EXPECT_EQ(800 * 480, width * height);
        return rgb;
    }

    TempFolder m_folder{"board-console"};
    pid_t m_wren = -1;
};

TEST_F(BoardConsole, DrivesARunningUnitAndReadsBackWhatTheBoardDid)
{
    std::string output;
    EXPECT_EQ(1, Console({"status"}, &output)) << "no unit yet";
    EXPECT_NE(std::string::npos, output.find("no unit is running")) << output;

    StartWren();
    EXPECT_EQ(0, Console({"status"}, &output));
    EXPECT_NE(std::string::npos, output.find("acc on\ngear drive\n")) << output;
    EXPECT_NE(std::string::npos, output.find("storage none")) << output;

    const fs::path card = m_folder.Path() + "/card";
    fs::create_directories(card / "Music");
    std::ofstream(card / "Music" / "song.mp3") << "ID3";

    EXPECT_EQ(0, Console({"acc", "off"}));
    EXPECT_EQ(0, Console({"acc", "on"}));
    EXPECT_EQ(0, Console({"key", "vol-up", "--hold", "20"}));
    EXPECT_EQ(0, Console({"card", "insert", "sd1", card.string()}));
    EXPECT_TRUE(fs::exists(Root() + "/Storage Card/Music/song.mp3"));
    EXPECT_EQ(0, Console({"status"}, &output));
    EXPECT_NE(std::string::npos, output.find("storage sd1")) << output;

    // Every notice reached the main window "PLAYER", in order.
    EXPECT_EQ(0, Console({"posts"}, &output));
    EXPECT_EQ("AP_MSG_NEC_2_SHELL 104 0\n"
              "AP_MSG_NEC_2_SHELL 105 0\n"
              "AP_MSG_NEC_2_SHELL 107 "
                  + std::to_string(18 << 16 | 0x31)
                  + "\n"
                    "AP_MSG_NEC_2_SHELL 107 "
                  + std::to_string(18 << 16 | 0x30)
                  + "\n"
                    "AP_MSG_CHNAGE_STATE_2_APP 0 1\n",
              output);
    // The driver calls are readable (the shell makes them once it is there).
    EXPECT_EQ(0, Console({"calls", "NEC1:"}));

    EXPECT_EQ(0, Console({"card", "remove", "sd1"}));
    EXPECT_FALSE(fs::exists(Root() + "/Storage Card/Music"));

    EXPECT_EQ(2, Console({"reverse", "maybe"}, &output));
    EXPECT_NE(std::string::npos, output.find("reverse: give on or off")) << output;
    EXPECT_EQ(2, Console({"fly"}, &output));
    EXPECT_NE(std::string::npos, output.find("unknown command \"fly\"")) << output;

    kill(m_wren, SIGTERM);
    EXPECT_EQ(0, Wait(m_wren));
    m_wren = -1;
    // The unit's main window took the micom's notices and the key (which it
    // holds back until the intro has run).
    const std::string log = ReadFile(m_folder.Path() + "/wren.txt");
    for (const char* line : {"SHELL: WPARAM_NECMICOM_ACCOFF_WAITON", "SHELL: WPARAM_NECMICOM_ACCOFF_WAITOFF",
                             "[CMainWnd] _doKeyFromBSP() Is Not InitComplete", "[BSP] SD0 is attached"}) {
        EXPECT_NE(std::string::npos, log.find(line)) << line;
    }
}

// Cuts a band of rows out of a screen.
std::vector<std::uint32_t> Rows(const std::vector<std::uint32_t>& screen, int top, int bottom)
{
    if (screen.size() < static_cast<std::size_t>(bottom) * 800)
        return {};
    return std::vector<std::uint32_t>(screen.begin() + top * 800, screen.begin() + bottom * 800);
}

TEST_F(BoardConsole, TheUnitStartsThroughItsIntroIntoTheMenuAndTakesTouches)
{
    // The unit's pictures and sounds, as the run command puts them.
    fs::copy(WREN_ASSETS_UNIT, Root(), fs::copy_options::recursive);
    StartWren();
    ASSERT_TRUE(WaitForLog("[ViewCenter] RunIntro : run")) << ReadFile(m_folder.Path() + "/wren.txt");
    ASSERT_TRUE(WaitForLog("fidMain=[3101]")) << "the intro must end in the 3D menu";

    // The menu is drawn: once its first frame is there, the colour key of
    // the windows above it shows nowhere.
    std::vector<std::uint32_t> settings;
    for (int tries = 0; tries < 100; ++tries) {
        settings = Screenshot("settings.png");
        if (!settings.empty() && std::count(settings.begin(), settings.end(), 0xFF00FFu) == 0)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ASSERT_FALSE(settings.empty());
    EXPECT_EQ(std::count(settings.begin(), settings.end(), 0xFF00FFu), 0);

    // Broadcasting: its row of sub-buttons takes the settings' place.
    EXPECT_EQ(0, Console({"tap", "243", "410"}));
    std::this_thread::sleep_for(std::chrono::milliseconds(1500)); // the flip
    const std::vector<std::uint32_t> broadcasting = Screenshot("broadcasting.png");
    EXPECT_NE(Rows(settings, 90, 200), Rows(broadcasting, 90, 200));

    // FM, its first sub-button, asks the shell for the FM screen after its
    // delay (the FM screen itself is not part of this program yet).
    EXPECT_EQ(0, Console({"tap", "237", "145"}));
    ASSERT_TRUE(WaitForLog("[3dGate] Selection : btnFM"));
    EXPECT_TRUE(WaitForLog("ViewIsExeced() : no screen for fid=[5202]"));
    const std::string log = ReadFile(m_folder.Path() + "/wren.txt");
    const std::size_t selected = log.find("[3dGate] Selection : btnFM");
    const std::size_t asked = log.find("ViewIsExeced() : no screen for fid=[5202]", selected);
    ASSERT_NE(asked, std::string::npos);
    // Asked by the tap, not by the menu's idle back (which goes to FM too).
    EXPECT_GT(log.find("[ActionIsInvoked] ACMD_BACK", selected), asked);
}

} // namespace
