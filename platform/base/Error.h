// The calling thread's last system error.
#pragma once

#include "platform/base/Types.h"

DWORD GetLastError();
void SetLastError(DWORD error);
