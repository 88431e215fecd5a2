// The unit: one root folder (WREN_ROOT, default ./unit) that one process
// owns at a time, through an exclusive lock on <root>/run/unit.lock.
//
// The owner serves a control socket, <root>/run/unit.sock. Other programs
// and tools - a second start of Wren, the board console, end-to-end tests -
// reach the unit's windows through it: find a window by class or title, post
// a message registered by name, bring a window forward. The window system
// registers those commands with SetControlHandler; the socket only carries
// words. One request per connection: a line of words separated by tabs,
// each word escaped (backslash "\\", tab "\t", newline "\n"), answered by
// one line escaped the same way. Lines are at most 64 KiB and every read and
// write is bounded in time, so a misbehaving peer can neither hang nor
// overflow the server.
#pragma once

#include "platform/base/Types.h"

#include <functional>
#include <string>
#include <vector>

namespace platform {

// The absolute root of the open unit, else the one WREN_ROOT names now.
std::string UnitRoot();
// <root>/run: the lock and the control socket.
std::string UnitRunFolder();

// Opens the unit at WREN_ROOT, or at root: creates the folders and takes the
// lock. True when this process owns the unit: it then registers the window
// system's commands and serves the socket. False when another process owns
// it (last error ERROR_ALREADY_EXISTS; this process is then a client of that
// root) or the root cannot be made (other errors). Opening the root this
// process owns again changes nothing; otherwise whatever was open is closed
// first (a client tries again). A process that owns the unit must not fork
// without exec: the child would share its lock and server state.
bool OpenUnit();
bool OpenUnit(const std::string& root);
bool OwnsUnit();
// True when this process opened the unit and another process owns it.
bool UnitOwnedElsewhere();
// Saves the screen to the PNG named by WREN_SCREENSHOT when this process
// owns the unit, stops serving the socket, removes it and releases the lock.
// Harmless when nothing is open. Never call it from a control handler.
void CloseUnit();

// Reply to an unknown (or empty) command.
inline constexpr const char* kUnitUnknownReply = "ERR unknown";

// Handlers by command, the first word; args are all the words, the command
// first. They run on the server thread, so they must be thread-safe and must
// not wait without a time-out for a thread that may be closing the unit. The
// words come from other processes: a handler checks them (one that throws
// answers "ERR failed"). An empty handler removes the command. Handlers stay
// registered across Close/Open.
using ControlHandler = std::function<std::string(const std::vector<std::string>& args)>;
void SetControlHandler(const std::string& command, ControlHandler handler);

// Sends words to the owner of UnitRoot() (or of root) and waits up to
// timeoutMs of real time for its reply. When this process owns that root
// the handler is called directly. False when nobody serves the root
// (ERROR_FILE_NOT_FOUND), on time-out (ERROR_TIMEOUT), or when the request
// does not fit one line (ERROR_INVALID_PARAMETER).
bool UnitRequest(const std::vector<std::string>& words, std::string* reply, DWORD timeoutMs = 2000);
bool UnitRequestAt(const std::string& root, const std::vector<std::string>& words, std::string* reply,
                   DWORD timeoutMs = 2000);

} // namespace platform
