// Finds and ends the unit's programs by executable name, each call over a
// fresh process snapshot.
#pragma once

#include "platform/base/Types.h"

class CProcessList {
public:
    // True when a running program's executable name equals name, ignoring
    // case.
    static bool FindProcess(LPCWSTR name);
    // Terminates every program of that name; the result of the last
    // termination, false when none matched (last error set).
    static bool KillProcess(LPCWSTR name);
};
