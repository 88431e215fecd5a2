// Ends the programs that could hold files on the NAND store or the USB
// memory before an update touches them: asks the navigation program, the
// voice controller, the traffic information shell and Wren to close through
// their windows, ends the shell, then waits ten seconds for each and
// terminates what still runs (at most four tries each). Only programs the
// unit runs are looked at. Blocks the calling thread for at least two
// seconds, and about eleven more for each program that does not end by
// itself. Finally unloads the unit's font so that its file can be moved.
#pragma once

#include "platform/base/Types.h"

// True when the font was unloaded (the update goes on either way).
bool CloseRunningPrograms();
