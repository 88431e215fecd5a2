// The board console's words, as they arrive over the control socket (tab
// separated): the reader takes only commands it knows with arguments in
// their ranges, and the board runs every command without side effects on
// the host (cards and screenshots are not run here) and answers OK or ERR.
#include "fuzz/FuzzTarget.h"
#include "sim/Board.h"

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

sim::CBoard& Board()
{
    static sim::CBoard* board = [] {
        namespace fs = std::filesystem;
        std::string pattern = (fs::temp_directory_path() / "wren-fuzz-board-XXXXXX").string();
        setenv("WREN_ROOT", mkdtemp(pattern.data()), 1);
        std::atexit([] {
            std::error_code ignored;
            fs::remove_all(std::getenv("WREN_ROOT"), ignored);
        });
        return new sim::CBoard(false);
    }();
    return *board;
}

} // namespace

WREN_FUZZ_TARGET(BoardCommand)
{
    std::vector<std::string> words(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == '\t')
            words.emplace_back();
        else
            words.back() += static_cast<char>(data[i]);
    }
    sim::BoardCommand command;
    std::string error;
    const bool parsed = sim::ParseBoardCommand(words, &command, &error);
    FUZZ_CHECK(parsed == error.empty());
    if (!parsed)
        return 0;
    using Kind = sim::BoardCommand::Kind;
    FUZZ_CHECK(command.x1 >= 0 && command.x1 < 800 && command.x2 >= 0 && command.x2 < 800);
    FUZZ_CHECK(command.y1 >= 0 && command.y1 < 480 && command.y2 >= 0 && command.y2 < 480);
    FUZZ_CHECK(command.holdMs <= sim::kBoardMaxHoldMs);
    FUZZ_CHECK(command.repeats >= 0 && command.repeats <= sim::kBoardMaxRepeats);
    FUZZ_CHECK(command.code <= sim::kBoardMaxVoiceCode);
    if (command.kind == Kind::CardInsert || command.kind == Kind::Screenshot)
        FUZZ_CHECK(!command.path.empty() && command.path[0] == '/');
    if (command.kind == Kind::CardInsert || command.kind == Kind::CardRemove || command.kind == Kind::Screenshot
        || (command.kind == Kind::Key && command.holdMs > 0))
        return 0;
    const std::string reply = Board().Run(words);
    FUZZ_CHECK(reply.rfind("OK", 0) == 0 || reply.rfind("ERR", 0) == 0);
    Board().Micom().ClearRecord();
    Board().Connection().ClearRecord();
    Board().Remote().ClearRecord();
    return 0;
}
