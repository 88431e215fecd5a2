#include "platform/unit/Unit.h"

#include "platform/base/Error.h"
#include "platform/gfx/Screen.h"

#include "tests/common/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using platform::CloseUnit;
using platform::OpenUnit;
using platform::OwnsUnit;
using platform::SetControlHandler;
using platform::UnitRequest;
using platform::UnitRequestAt;

namespace {

// Shows each word with its length, so that word boundaries are visible.
std::string Echo(const std::vector<std::string>& args)
{
    std::string out;
    for (const std::string& arg : args)
        out += std::to_string(arg.size()) + ":" + arg + ";";
    return out;
}

std::string SocketPath(const std::string& root)
{
    return root + "/run/unit.sock";
}

// Sends raw bytes to a unit's socket and returns everything it answers
// before closing. The socket time-outs only keep a broken server from
// hanging the test.
std::string RawExchange(const std::string& root, const std::string& data)
{
    const std::string path = SocketPath(root);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path)
        return "<path too long>";
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        close(fd);
        return "<no connection>";
    }
    timeval limit{10, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    for (std::size_t sent = 0; sent < data.size();) {
        const ssize_t n = send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            break;
        sent += static_cast<std::size_t>(n);
    }
    shutdown(fd, SHUT_WR);
    std::string answer;
    char chunk[4096];
    ssize_t n;
    while ((n = recv(fd, chunk, sizeof chunk, 0)) > 0)
        answer.append(chunk, static_cast<std::size_t>(n));
    close(fd);
    return answer;
}

// A second process that opens the unit on root, serving "pid" and "echo".
class OtherProcess {
public:
    explicit OtherProcess(const std::string& root)
    {
        int up[2];
        int down[2];
        if (pipe2(up, O_CLOEXEC) != 0 || pipe2(down, O_CLOEXEC) != 0)
            return;
        m_pid = fork();
        if (m_pid == 0) {
            close(up[0]);
            close(down[1]);
            SetControlHandler("pid", [](const std::vector<std::string>&) { return std::to_string(getpid()); });
            SetControlHandler("echo", Echo);
            const char report = OpenUnit(root) ? 'O' : 'C';
            if (write(up[1], &report, 1) != 1)
                _exit(1);
            // Wait for the word to end; a parent that goes away ends us too.
            pollfd wait{down[0], POLLIN, 0};
            poll(&wait, 1, 60000);
            char command = 0;
            if (read(down[0], &command, 1) == 1 && command == 'c')
                CloseUnit();
            _exit(0);
        }
        close(up[1]);
        close(down[0]);
        m_up = up[0];
        m_down = down[1];
    }
    ~OtherProcess() { End(false); }

    pid_t Pid() const { return m_pid; }

    // Whether the child owns the unit, once it has opened it.
    bool Owns()
    {
        char report = 0;
        return m_pid > 0 && read(m_up, &report, 1) == 1 && report == 'O';
    }

    // Ends the child: orderly closes its unit first, otherwise it goes as
    // if it had crashed, leaving its socket file behind.
    void End(bool orderly)
    {
        if (m_pid <= 0)
            return;
        if (orderly && write(m_down, "c", 1) != 1)
            ADD_FAILURE() << "child gone";
        close(m_down);
        int status = 0;
        waitpid(m_pid, &status, 0);
        close(m_up);
        m_pid = -1;
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }

private:
    pid_t m_pid = -1;
    int m_up = -1;
    int m_down = -1;
};

class Unit : public ::testing::Test {
protected:
    void TearDown() override
    {
        CloseUnit();
        SetControlHandler("echo", nullptr);
        SetControlHandler("pid", nullptr);
        unsetenv("WREN_SCREENSHOT");
    }
    TempFolder m_folder;
};

} // namespace

TEST_F(Unit, RootIsMadeAbsolute)
{
    const char* saved = std::getenv("WREN_ROOT");
    const std::string savedRoot = saved ? saved : "";
    const std::string cwd = fs::current_path().string();
    struct Case {
        const char* env; // null: unset
        std::string root;
    };
    const Case cases[] = {
        {nullptr, cwd + "/unit"},
        {"", cwd + "/unit"},
        {"some/../other/unit", cwd + "/other/unit"},
        {"/abs/unit/", "/abs/unit"},
    };
    for (const Case& c : cases) {
        if (c.env)
            setenv("WREN_ROOT", c.env, 1);
        else
            unsetenv("WREN_ROOT");
        EXPECT_EQ(platform::UnitRoot(), c.root) << (c.env ? c.env : "(unset)");
        EXPECT_EQ(platform::UnitRunFolder(), c.root + "/run");
    }
    if (saved)
        setenv("WREN_ROOT", savedRoot.c_str(), 1);
    else
        unsetenv("WREN_ROOT");
}

TEST_F(Unit, OpenOwnsAndCloseReleases)
{
    const std::string root = m_folder.Path() + "/a/unit";
    const std::string other = m_folder.Path() + "/b";

    ASSERT_TRUE(OpenUnit(root));
    EXPECT_TRUE(OwnsUnit());
    EXPECT_EQ(platform::UnitRoot(), root);
    EXPECT_TRUE(fs::is_socket(SocketPath(root)));
    EXPECT_TRUE(fs::is_regular_file(root + "/run/unit.lock"));
    EXPECT_TRUE(OpenUnit(root)); // again: nothing changes

    CloseUnit();
    EXPECT_FALSE(OwnsUnit());
    EXPECT_FALSE(fs::exists(SocketPath(root)));
    CloseUnit(); // harmless

    ASSERT_TRUE(OpenUnit(root));
    ASSERT_TRUE(OpenUnit(other)); // another root closes the first
    EXPECT_EQ(platform::UnitRoot(), other);
    EXPECT_FALSE(fs::exists(SocketPath(root)));
    EXPECT_TRUE(fs::is_socket(SocketPath(other)));
}

TEST_F(Unit, OwnerCallsItsHandlersDirectly)
{
    ASSERT_TRUE(OpenUnit(m_folder.Path()));
    SetControlHandler("echo", Echo);
    SetControlHandler("big", [](const std::vector<std::string>&) { return std::string(70000, 'x'); });
    SetControlHandler("bad",
                      [](const std::vector<std::string>& args) { return std::to_string(std::stoi(args.at(1))); });

    struct Case {
        std::vector<std::string> words;
        std::string reply;
    };
    const Case cases[] = {
        {{"echo", "a\tb", ""}, "4:echo;3:a\tb;0:;"},
        {{"echo"}, "4:echo;"},
        {{"nothing", "x"}, "ERR unknown"},
        {{}, "ERR unknown"},
        {{"big"}, "ERR reply too long"},
        {{"bad", "12"}, "12"},
        {{"bad", "x"}, "ERR failed"},
    };
    for (const Case& c : cases) {
        std::string reply;
        ASSERT_TRUE(UnitRequest(c.words, &reply));
        EXPECT_EQ(reply, c.reply);
    }

    SetControlHandler("big", nullptr);
    SetControlHandler("bad", nullptr);
    std::string reply;
    ASSERT_TRUE(UnitRequest({"big"}, &reply));
    EXPECT_EQ(reply, "ERR unknown");

    SetLastError(0);
    EXPECT_FALSE(UnitRequest({"echo", std::string(70000, 'y')}, &reply));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(Unit, ServerAnswersEachLineAndSurvivesBadOnes)
{
    ASSERT_TRUE(OpenUnit(m_folder.Path()));
    SetControlHandler("echo", Echo);
    struct Case {
        std::string sent;
        std::string answer;
    };
    const Case cases[] = {
        {"echo\ta\\tb\t\\\\c\\nd\n", "4:echo;3:a\\tb;4:\\\\c\\nd;\n"},
        {"echo\tx\nignored after the line\n", "4:echo;1:x;\n"},
        {"nothing\n", "ERR unknown\n"},
        {"\n", "ERR unknown\n"},
        {"echo\t\\x\n", "ERR bad request\n"},
        {"echo\tend\\\n", "ERR bad request\n"},
        {std::string(70000, 'a') + "\n", "ERR too long\n"},
        {"echo\tno line end", ""},
        {"", ""},
        {"echo\tstill serving\n", "4:echo;13:still serving;\n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(RawExchange(m_folder.Path(), c.sent), c.answer) << c.sent.substr(0, 40);
}

TEST_F(Unit, NobodyServesAnEmptyRoot)
{
    SetLastError(0);
    std::string reply = "unchanged";
    EXPECT_FALSE(UnitRequestAt(m_folder.Path(), {"echo"}, &reply));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(reply, "unchanged");
}

TEST_F(Unit, SecondProcessIsAClientOfTheOwner)
{
    const std::string root = m_folder.Path() + "/unit";
    OtherProcess owner(root);
    ASSERT_TRUE(owner.Owns());

    SetLastError(0);
    EXPECT_FALSE(OpenUnit(root));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_FALSE(OwnsUnit());
    EXPECT_EQ(platform::UnitRoot(), root);

    std::string reply;
    ASSERT_TRUE(UnitRequest({"pid"}, &reply));
    EXPECT_EQ(reply, std::to_string(owner.Pid()));
    ASSERT_TRUE(UnitRequest({"unknown", "x"}, &reply));
    EXPECT_EQ(reply, "ERR unknown");

    const std::vector<std::vector<std::string>> argLists = {
        {"plain"},
        {"tab\there", "new\nline", "back\\slash"},
        {"\\t", "\\\\n", "trailing\\"},
        {"", "", ""},
        {"한글 텍스트", "Grüße", "😀"},
        {std::string(20000, '\t')},
    };
    for (const auto& args : argLists) {
        std::vector<std::string> words{"echo"};
        words.insert(words.end(), args.begin(), args.end());
        ASSERT_TRUE(UnitRequest(words, &reply));
        EXPECT_EQ(reply, Echo(words));
    }

    // Only the owner leaves a screenshot.
    const std::string shot = m_folder.Path() + "/shot.png";
    setenv("WREN_SCREENSHOT", shot.c_str(), 1);
    CloseUnit();
    EXPECT_FALSE(fs::exists(shot));
}

TEST_F(Unit, OwnerThatWentAwayIsReplaced)
{
    for (const bool orderly : {true, false}) {
        SCOPED_TRACE(orderly ? "closed" : "crashed");
        {
            OtherProcess owner(m_folder.Path());
            ASSERT_TRUE(owner.Owns());
            owner.End(orderly);
        }
        EXPECT_EQ(fs::exists(SocketPath(m_folder.Path())), !orderly);
        SetLastError(0);
        EXPECT_FALSE(UnitRequestAt(m_folder.Path(), {"pid"}, nullptr));
        EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);

        SetControlHandler("pid", [](const std::vector<std::string>&) { return std::to_string(getpid()); });
        ASSERT_TRUE(OpenUnit(m_folder.Path()));
        EXPECT_EQ(RawExchange(m_folder.Path(), "pid\n"), std::to_string(getpid()) + "\n");
        // Closed again before the next child is forked from this process.
        CloseUnit();
    }
}

TEST_F(Unit, RootLongerThanASocketAddress)
{
    std::string root = m_folder.Path();
    while (root.size() < 200)
        root += "/long-folder-name";
    OtherProcess owner(root);
    ASSERT_TRUE(owner.Owns());
    EXPECT_TRUE(fs::is_socket(SocketPath(root)));
    std::string reply;
    ASSERT_TRUE(UnitRequestAt(root, {"pid"}, &reply));
    EXPECT_EQ(reply, std::to_string(owner.Pid()));
}

TEST_F(Unit, CloseSavesTheScreenshot)
{
    const std::string shot = m_folder.Path() + "/shot.png";
    setenv("WREN_SCREENSHOT", shot.c_str(), 1);
    ASSERT_TRUE(OpenUnit(m_folder.Path() + "/unit"));
    platform::Screen::Get().Fill(platform::Rgb565(0, 0, 255));
    CloseUnit();

    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> rgb;
    ASSERT_TRUE(platform::ReadPng(shot, width, height, rgb));
    EXPECT_EQ(width, 800);
    EXPECT_EQ(height, 480);
    EXPECT_EQ(std::count(rgb.begin(), rgb.end(), 0x0000FFu), 800 * 480);
}
