// What the serial ports share with their tests: the reading of a host
// device's line-error counts as ClearCommError flags.
#pragma once

#include "platform/base/Types.h"

namespace platform {

// The error counts a host serial driver keeps for a line, only ever growing.
struct LineErrorCounts {
    unsigned long frame = 0;
    unsigned long parity = 0;
    unsigned long overrun = 0;       // the device's receive buffer
    unsigned long bufferOverrun = 0; // the driver's receive queue
    unsigned long breaks = 0;
};

// The CE_* flags for the errors counted between two readings: CE_FRAME,
// CE_RXPARITY, CE_OVERRUN, CE_RXOVER and CE_BREAK for each count that grew.
DWORD CommErrorsBetween(const LineErrorCounts& before, const LineErrorCounts& now);

} // namespace platform
