// Diagnostics of the framework: the formatted debug print, the start-up
// banner, the process time base with its timing lines, the last-error record
// and the rounding multiply-divide.
#pragma once

#include "platform/base/Debug.h"
#include "platform/base/Types.h"

// Kinds of the last-error record.
enum : DWORD {
    IXERR_NOMEMORY = 2,
    IXERR_REGISTERCLASS = 3,
    IXERR_CREATEWINDOW = 101,
    IXERR_LOADBITMAP = 102,
    IXERR_THREAD = 103,
    IXERR_COM = 106,
};

// The framework's last failure: what failed and the system error of the
// moment. One per process; a later failure overwrites an earlier one.
struct IxLastError {
    DWORD kind;
    DWORD error;
};

void IxSetLastError(const IxLastError& record);
void IxGetLastError(IxLastError* record);
// Records {kind, GetLastError()}.
void IxRecordError(DWORD kind);

// Formats into a buffer of 2048 characters and writes it to the debug output.
void IxTraceList(LPCWSTR format, const platform::FormatArg* args, std::size_t count);
template <class... A> void IxTrace(LPCWSTR format, const A&... args)
{
    const platform::FormatArg list[] = {platform::FormatArg(args)..., platform::FormatArg(0)};
    IxTraceList(format, list, sizeof...(A));
}

// "Pavo : ver ..." with the application id and the build date.
void IxPrintBanner();
// Remembers the current tick as the process time base.
void IxStartTickBase();
DWORD IxGetTickBase();
// "GTIME(label) = N[ms]": milliseconds since the time base.
void IxTraceTime(LPCWSTR label);

// Half-up rounding of a * b / c. The product is formed in 64 bits, so large
// scale factors do not overflow.
int IxMulDiv(int a, int b, int c);

// Framework version shown in the banner.
inline constexpr int kPavoVersion[4] = {2, 1, 3, 0};
