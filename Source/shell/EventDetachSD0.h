// The SD-card detach waiter: a thread that waits on the named event
// "APP_EVENT_DETACH_SD0", which the platform sets when the first SD card is
// pulled, and logs each time it is set. The main window starts it at
// creation and stops it when it is destroyed.
#pragma once

#include "Lib_cpp/core/Thread.h"

class CEventDetach_SD0 : public IxWaitThread {
public:
    // Starts waiting (no interval, default priority); whether it waits.
    BOOL Run();
    // On the waiter's thread, once per signal: logs and waits again.
    int Do() override;
};
