// The board console's commands, as words: what `wrenctl` sends over the
// unit's control socket and the board reads back. The words come from
// another program, so every one is checked: names from the tables, numbers
// within their ranges; anything else is refused with a message that says
// why.
#pragma once

#include "platform/io/MicomDriver.h"
#include "platform/io/RemoteDriver.h"
#include "sim/SimProgram.h"

#include <string>
#include <vector>

namespace sim {

enum class BoardCard { Sd1, Sd2, Usb };

struct BoardCommand {
    enum class Kind {
        Acc,        // acc on|off
        Reverse,    // reverse on|off
        Tail,       // tail on|off
        Park,       // park on|off
        Key,        // key NAME [--hold MS]
        Remote,     // remote KEY [--repeat N]
        CardInsert, // card insert sd1|sd2|usb FOLDER [--navi]
        CardRemove, // card remove sd1|sd2|usb
        Tap,        // tap X Y
        Swipe,      // swipe X1 Y1 X2 Y2
        Screenshot, // screenshot FILE
        Status,     // status
        Log,        // log: the debug output since the last log
        Calls,      // calls DRIVER: the control calls the driver received
        Posts,      // posts: the messages the board posted
        Voice,      // voice CODE [VALUE]: the voice controller speaks
        Fault,      // navi|voice fault none|hang|crash|refuse-close
        Position,   // navi position X Y: the navigation program's report
    };
    Kind kind = Kind::Status;
    bool on = false;
    MicomKey key = MicomKey::Mute;
    bool encoder = false; // key enc-up / enc-down: one encoder step
    bool encoderUp = false;
    DWORD holdMs = 100;
    RemoteKey remote = RemoteKey::Power;
    int repeats = 0;
    BoardCard card = BoardCard::Sd1;
    std::string path;  // absolute host path
    bool navi = false; // card insert: the card holds the navigation programs; fault: of the navigation program
    DWORD code = 0;
    long value = 0; // voice: the code's value; position: x
    long y = 0;
    ProgramFault fault = ProgramFault::None;
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    std::string driver; // "NEC1:", "ASP1:", "CST1:", "RMT1:"
};

inline constexpr DWORD kBoardMaxHoldMs = 10000;
inline constexpr int kBoardMaxRepeats = 50;
inline constexpr long kBoardMaxVoiceCode = 99999;
inline constexpr long kBoardMaxPosition = 999999999;

// words: the command and its arguments. False with *error set when they do
// not make a command.
bool ParseBoardCommand(const std::vector<std::string>& words, BoardCommand* command, std::string* error);

// The names `key` and `remote` take.
std::vector<std::string> BoardKeyNames();
std::vector<std::string> RemoteKeyNames();
// Every command with its arguments, one per line.
std::string BoardCommandUsage();

} // namespace sim
