// The board console's words: what is taken, and why the rest is refused.
#include "platform/io/ProgramLinks.h"
#include "platform/os/Process.h"
#include "platform/os/Sync.h"
#include "sim/Board.h"

#include "tests/common/TempRoot.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

TEST(BoardCommand, TakesKnownCommandsWithArgumentsInRangeOnly)
{
    struct Case {
        std::vector<std::string> words;
        const char* error; // nullptr: taken
    };
    const Case cases[] = {
        {{"acc", "on"}, nullptr},
        {{"park", "off"}, nullptr},
        {{"acc"}, "acc: give on or off"},
        {{"tail", "1"}, "tail: give on or off"},
        {{"key", "sw-power"}, nullptr},
        {{"key", "enc-down"}, nullptr},
        {{"key", "mute", "--hold", "10000"}, nullptr},
        {{"key", "mute", "--hold", "10001"}, "key: the hold is 0 to 10000 ms"},
        {{"key", "mute", "--hold", "-1"}, "key: the hold is 0 to 10000 ms"},
        {{"key", "mute", "--hold", "5x"}, "key: the hold is 0 to 10000 ms"},
        {{"key", "mute", "--hold"}, "key: give NAME [--hold MS]"},
        {{"key", "eject"}, "key: unknown key \"eject\""},
        {{"remote", "jog-up", "--repeat", "50"}, nullptr},
        {{"remote", "jog-up", "--repeat", "51"}, "remote: the repeats are 0 to 50"},
        {{"remote", "K9"}, "remote: unknown key \"K9\""},
        {{"card", "insert", "usb", "/tmp/x"}, nullptr},
        {{"card", "insert", "usb", "tmp/x"}, "card: the folder must be an absolute path"},
        {{"card", "insert", "sd3", "/tmp/x"}, "card: give insert"},
        {{"card", "remove", "sd2"}, nullptr},
        {{"card", "remove", "sd2", "/tmp/x"}, "card: give insert"},
        {{"card", "insert", "sd1", "/tmp/x", "--navi"}, nullptr},
        {{"card", "insert", "usb", "/tmp/x", "--navi"}, "card: the navigation programs start from sd1 or sd2"},
        {{"card", "insert", "sd1", "/tmp/x", "--nav"}, "card: give insert"},
        {{"voice", "20100"}, nullptr},
        {{"voice", "15006", "-3"}, nullptr},
        {{"voice", "100000"}, "voice: give CODE (0-99999) [VALUE]"},
        {{"voice", "fault", "hang"}, nullptr},
        {{"voice", "fault", "sulk"}, "voice fault: give none, hang, crash or refuse-close"},
        {{"navi", "fault", "refuse-close"}, nullptr},
        {{"navi", "position", "127000000", "37000000"}, nullptr},
        {{"navi", "position", "-1", "0"}, "navi: give position X Y"},
        {{"navi", "go"}, "navi: give position X Y"},
        {{"tap", "799", "479"}, nullptr},
        {{"tap", "800", "0"}, "tap: give X (0-799) and Y (0-479)"},
        {{"swipe", "0", "0", "10"}, "swipe: give X1 Y1 X2 Y2"},
        {{"screenshot", "/tmp/a.png"}, nullptr},
        {{"screenshot", "a.png"}, "screenshot: give the absolute path"},
        {{"status", "now"}, "status: takes no arguments"},
        {{"calls", "DVD1:"}, "calls: give NEC1:, ASP1:, CST1: or RMT1:"},
        {{"fly"}, "unknown command \"fly\""},
        {{}, "no command"},
    };
    for (const Case& c : cases) {
        sim::BoardCommand command;
        std::string error;
        const bool taken = sim::ParseBoardCommand(c.words, &command, &error);
        const std::string line = c.words.empty() ? "(nothing)" : c.words[0];
        EXPECT_EQ(c.error == nullptr, taken) << line << ": " << error;
        if (c.error) {
            EXPECT_EQ(0u, error.find(c.error)) << line << ": " << error;
        }
    }
}

TEST(Board, RunsCommandsAgainstItsDevicesAndAnswersWhatItHolds)
{
    TempRoot root("board");
    sim::CBoard board;
    EXPECT_EQ("OK", board.Run({"reverse", "on"}));
    EXPECT_EQ("OK", board.Run({"park", "off"}));
    EXPECT_EQ("OK", board.Run({"remote", "mute", "--repeat", "1"}));
    EXPECT_EQ("ERR no folder /nowhere/card", board.Run({"card", "insert", "sd2", "/nowhere/card"}));
    EXPECT_EQ("ERR this unit does not keep its debug output", board.Run({"log"}));
    EXPECT_EQ("ERR the voice controller does not run", board.Run({"voice", "20100"}));
    EXPECT_EQ("ERR the navigation program does not run", board.Run({"navi", "position", "1", "2"}));
    EXPECT_EQ("OK\nacc on\ngear reverse\ntail off\npark off\nview none\nvolume unset mute off\nstorage none\n"
              "navi off\nvoice off\n",
              board.Run({"status"}));
    EXPECT_EQ("OK\n"
              "AP_MSG_NEC_2_SHELL 116 1 undelivered\n"
              "AP_MSG_CHNAGE_STATE_2_APP 6 1 undelivered\n"
              "AP_MSG_RF_REMOCON_2_APP 0 249 undelivered\n"
              "AP_MSG_RF_REMOCON_2_APP 1 249 undelivered\n"
              "AP_MSG_RF_REMOCON_2_APP 2 249 undelivered\n",
              board.Run({"posts"}));
}

TEST(Board, ACardWithTheNavigationProgramsStartsThemUntilItIsPulled)
{
    TempRoot root("board-navi");
    sim::CBoard board;
    const std::string folder = root.Root() + "/card-files";
    std::filesystem::create_directories(folder);
    const std::u16string navi = std::u16string(u"\\Storage Card").append(kNaviProgramPath);
    PROCESS_INFORMATION info{};
    EXPECT_FALSE(CreateProcessW(navi.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &info));

    ASSERT_EQ("OK", board.Run({"card", "insert", "sd1", folder, "--navi"}));
    ASSERT_TRUE(CreateProcessW(navi.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &info));
    ASSERT_TRUE(board.Navi().WaitUntilRunning(10000));
    EXPECT_NE(std::string::npos, board.Run({"status"}).find("navi running\nvoice off\n"));
    EXPECT_EQ("OK", board.Run({"navi", "fault", "crash"}));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(info.hProcess, 10000));
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);

    ASSERT_EQ("OK", board.Run({"card", "remove", "sd1"}));
    EXPECT_FALSE(CreateProcessW(navi.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &info));
}

} // namespace
