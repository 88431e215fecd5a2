// wrenctl: the board console. Drives the simulated board of a running unit
// (the one at WREN_ROOT, or --root) through the unit's control socket: the
// ignition, the gear, keys, the remote control, cards, touches, and reads
// back the screen, the unit's state and its debug output.
#include "platform/base/Error.h"
#include "platform/unit/Unit.h"
#include "sim/BoardCommand.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

volatile std::sig_atomic_t g_stop = 0;

void PrintNames(const char* title, const std::vector<std::string>& names)
{
    std::printf("\n%s\n ", title);
    std::size_t column = 1;
    for (const std::string& name : names) {
        if (column + name.size() + 1 > 78) {
            std::printf("\n ");
            column = 1;
        }
        std::printf(" %s", name.c_str());
        column += name.size() + 1;
    }
    std::printf("\n");
}

void PrintUsage()
{
    std::printf("usage: wrenctl [--root FOLDER] COMMAND [ARGUMENTS]\n\n"
                "Drives the board of the unit running at FOLDER (default: WREN_ROOT, else ./unit).\n\n%s",
                sim::BoardCommandUsage().c_str());
    PrintNames("Keys (key NAME):", sim::BoardKeyNames());
    PrintNames("Remote-control keys (remote KEY):", sim::RemoteKeyNames());
}

// Sends the command; prints what it answered. Exit code.
int Send(const std::string& root, const std::vector<std::string>& words, DWORD timeoutMs, bool quiet = false,
         std::string* text = nullptr)
{
    std::vector<std::string> request{"board"};
    request.insert(request.end(), words.begin(), words.end());
    std::string reply;
    if (!platform::UnitRequestAt(root, request, &reply, timeoutMs)) {
        if (GetLastError() == ERROR_TIMEOUT)
            std::fprintf(stderr, "wrenctl: the unit at %s does not answer\n", root.c_str());
        else
            std::fprintf(stderr, "wrenctl: no unit is running at %s (start one with tools/dev.sh run)\n", root.c_str());
        return 1;
    }
    if (reply == platform::kUnitUnknownReply) {
        std::fprintf(stderr, "wrenctl: the unit at %s runs without a board\n", root.c_str());
        return 1;
    }
    if (reply.rfind("ERR", 0) == 0) {
        std::fprintf(stderr, "wrenctl: %s\n", reply.size() > 4 ? reply.c_str() + 4 : "failed");
        return 1;
    }
    const std::string body = reply.size() > 3 ? reply.substr(3) : std::string();
    if (text)
        *text = body;
    if (!quiet)
        std::fputs(body.c_str(), stdout);
    return 0;
}

// Prints the unit's debug output until the unit ends or Ctrl-C.
int FollowLog(const std::string& root)
{
    std::signal(SIGINT, [](int) { g_stop = 1; });
    std::signal(SIGTERM, [](int) { g_stop = 1; });
    std::string text;
    if (int result = Send(root, {"log"}, 5000, true); result != 0)
        return result;
    while (!g_stop) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        std::vector<std::string> request{"board", "log"};
        std::string reply;
        if (!platform::UnitRequestAt(root, request, &reply, 5000)) {
            std::fprintf(stderr, "wrenctl: the unit at %s ended\n", root.c_str());
            return 0;
        }
        if (reply.size() > 3) {
            std::fputs(reply.c_str() + 3, stdout);
            std::fflush(stdout);
        }
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    std::string root;
    std::vector<std::string> words;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            PrintUsage();
            return 0;
        }
        if (words.empty() && std::strcmp(argv[i], "--root") == 0 && i + 1 < argc) {
            root = argv[++i];
            continue;
        }
        words.push_back(argv[i]);
    }
    if (words.empty()) {
        PrintUsage();
        return 2;
    }
    // Host paths travel absolute: the unit runs in another folder.
    std::error_code error;
    if (words.size() == 4 && words[0] == "card" && words[1] == "insert")
        words[3] = std::filesystem::absolute(words[3], error).lexically_normal().string();
    if (words.size() == 2 && words[0] == "screenshot")
        words[1] = std::filesystem::absolute(words[1], error).lexically_normal().string();
    sim::BoardCommand command;
    std::string problem;
    if (!sim::ParseBoardCommand(words, &command, &problem)) {
        std::fprintf(stderr, "wrenctl: %s (wrenctl --help lists the commands)\n", problem.c_str());
        return 2;
    }
    if (root.empty()) {
        const char* environment = std::getenv("WREN_ROOT");
        root = environment && *environment ? environment : "unit";
    }
    root = std::filesystem::absolute(root, error).lexically_normal().string();
    if (command.kind == sim::BoardCommand::Kind::Log)
        return FollowLog(root);
    DWORD timeout = 5000;
    if (command.kind == sim::BoardCommand::Kind::Key)
        timeout += command.holdMs;
    return Send(root, words, timeout);
}
