#include "Lib_cpp/core/Diag.h"

#include "platform/base/Clock.h"
#include "platform/base/Error.h"

#include <cmath>
#include <mutex>

namespace {

std::mutex g_errorLock;
IxLastError g_lastError{0, 0};
DWORD g_tickBase = 0;

constexpr std::size_t kTraceBuffer = 2048;

} // namespace

void IxSetLastError(const IxLastError& record)
{
    std::lock_guard<std::mutex> lock(g_errorLock);
    g_lastError = record;
}

void IxGetLastError(IxLastError* record)
{
    if (!record)
        return;
    std::lock_guard<std::mutex> lock(g_errorLock);
    *record = g_lastError;
}

void IxRecordError(DWORD kind)
{
    IxSetLastError({kind, GetLastError()});
}

void IxTraceList(LPCWSTR format, const platform::FormatArg* args, std::size_t count)
{
    WCHAR buffer[kTraceBuffer];
    platform::FormatInto(buffer, kTraceBuffer, format, args, count);
    OutputDebugStringW(buffer);
}

void IxPrintBanner()
{
    NKDbgPrintfW(u"Pavo : ver %s:%d.%d.%d.%d, built at %S\r\n", u"Wren", kPavoVersion[0], kPavoVersion[1],
                 kPavoVersion[2], kPavoVersion[3], __DATE__);
}

void IxStartTickBase()
{
    g_tickBase = GetTickCount();
}

DWORD IxGetTickBase()
{
    return g_tickBase;
}

void IxTraceTime(LPCWSTR label)
{
    NKDbgPrintfW(u"GTIME(%s) = %ld[ms]\n", label, GetTickCount() - g_tickBase);
}

int IxMulDiv(int a, int b, int c)
{
    if (c == 0)
        return 0;
    long long product = static_cast<long long>(a) * b;
    double q = std::floor(static_cast<double>(product) / c + 0.5);
    if (q > 2147483647.0)
        return 2147483647;
    if (q < -2147483648.0)
        return -2147483647 - 1;
    return static_cast<int>(q);
}
