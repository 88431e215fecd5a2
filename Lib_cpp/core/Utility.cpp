#include "Lib_cpp/core/Utility.h"

#include "platform/base/Error.h"
#include "platform/base/Handle.h"
#include "platform/base/Text.h"
#include "platform/io/CodePage.h"
#include "platform/io/File.h"
#include "platform/io/Io.h"
#include "platform/os/Process.h"
#include "platform/ui/Window.h"

#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace {

int Length(LPCWSTR text)
{
    int n = 0;
    while (text[n])
        ++n;
    return n;
}

// The last '\' in [begin, end), or null.
LPCWSTR LastSeparator(LPCWSTR begin, LPCWSTR end)
{
    for (LPCWSTR p = end; p > begin; --p) {
        if (p[-1] == u'\\')
            return p - 1;
    }
    return nullptr;
}

// Copies n characters and a terminator into buffer when they fit.
BOOL CopyInto(LPWSTR buffer, int capacity, LPCWSTR chars, int n, bool separator)
{
    int total = n + (separator ? 1 : 0);
    if (!buffer || capacity <= total) {
        if (buffer && capacity > 0)
            buffer[0] = 0;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    for (int i = 0; i < n; ++i)
        buffer[i] = chars[i];
    if (separator)
        buffer[n] = u'\\';
    buffer[total] = 0;
    return TRUE;
}

// Finds the file with FindFirstFileW; false when there is none.
bool FindFile(LPCWSTR path, WIN32_FIND_DATAW* data)
{
    if (!path)
        return false;
    HANDLE find = FindFirstFileW(path, data);
    if (find == INVALID_HANDLE_VALUE)
        return false;
    FindClose(find);
    return true;
}

// Floor division and its non-negative remainder.
std::int64_t Carry(std::int64_t& value, std::int64_t base)
{
    std::int64_t carry = value / base;
    value %= base;
    if (value < 0) {
        value += base;
        --carry;
    }
    return carry;
}

} // namespace

// ---- Processes ----

BOOL IxLaunchProcess(LPCWSTR program, LPCWSTR commandLine, STARTUPINFOW* startInfo, HANDLE* process, HANDLE* thread)
{
    // CreateProcessW may write into the command line, so it gets a copy.
    WCHAR buffer[kIxCommandLineChars] = {};
    if (commandLine && !CopyInto(buffer, kIxCommandLineChars, commandLine, Length(commandLine), false)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(program, buffer, nullptr, nullptr, FALSE, 0, nullptr, nullptr, startInfo, &info))
        return FALSE;
    if (process)
        *process = info.hProcess;
    else
        CloseHandle(info.hProcess);
    if (thread)
        *thread = info.hThread;
    else
        CloseHandle(info.hThread);
    return TRUE;
}

BOOL IxShellExecute(LPCWSTR file, LPCWSTR parameters, BOOL show)
{
    SHELLEXECUTEINFO info = {};
    info.cbSize = kShellExecuteInfoSizeOnUnit;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.hwnd = nullptr;
    info.lpVerb = nullptr;
    info.lpFile = file;
    info.lpParameters = parameters;
    info.lpDirectory = nullptr;
    info.nShow = show ? SW_SHOW : SW_HIDE;
    BOOL result = ShellExecuteEx(&info);
    // Nobody here waits for the program: its handle is not kept.
    if (info.hProcess)
        CloseHandle(info.hProcess);
    return result;
}

// ---- Text ----

int IxCompareNoCase(LPCWSTR a, LPCWSTR b, int length)
{
    for (int i = 0; i < length; ++i) {
        const WCHAR ca = platform::FoldCase(a[i]);
        const WCHAR cb = platform::FoldCase(b[i]);
        if (ca != cb)
            return ca < cb ? -1 : 1;
        if (ca == 0)
            break;
    }
    return 0;
}

BOOL IxMultiByteToString(LPCSTR bytes, int length, IxString& str, UINT codePage)
{
    int count = MultiByteToWideChar(codePage, 0, bytes, length, nullptr, 0);
    if (count <= 0)
        return FALSE;
    IxString converted;
    LPWSTR buffer = converted.AllocBuffer(count);
    if (!buffer)
        return FALSE;
    if (MultiByteToWideChar(codePage, 0, bytes, length, buffer, count) != count)
        return FALSE;
    // A conversion that took the terminator counts it; the string does not.
    if (buffer[count - 1] == 0)
        --count;
    if (!str.AssignChars(buffer, count))
        return FALSE;
    return TRUE;
}

// ---- Paths ----

LPCWSTR IxGetExtension(LPCWSTR path)
{
    if (!path)
        return nullptr;
    LPCWSTR name = IxFileName(path);
    LPCWSTR dot = nullptr;
    for (LPCWSTR p = name; *p; ++p) {
        if (*p == u'.')
            dot = p;
    }
    return dot ? dot + 1 : nullptr;
}

LPCWSTR IxFileName(LPCWSTR path)
{
    if (!path)
        return nullptr;
    LPCWSTR separator = LastSeparator(path, path + Length(path));
    return separator ? separator + 1 : path;
}

BOOL IxGetFileTitle(LPCWSTR path, IxString& title)
{
    if (!path)
        return title.AssignChars(nullptr, 0);
    LPCWSTR name = IxFileName(path);
    LPCWSTR extension = IxGetExtension(path);
    int n = extension ? static_cast<int>(extension - 1 - name) : Length(name);
    return title.AssignChars(name, n);
}

BOOL IxGetLastFolder(LPCWSTR path, IxString& folder)
{
    if (!path || !*path) {
        folder.Release();
        return FALSE;
    }
    LPCWSTR end = path + Length(path);
    bool trailing = end[-1] == u'\\';
    if (trailing)
        --end;
    LPCWSTR separator = LastSeparator(path, end);
    LPCWSTR start = separator ? separator + 1 : path;
    folder.AssignChars(start, static_cast<int>(end - start));
    return trailing;
}

BOOL IxGetFolderPart(LPCWSTR path, IxString& folder)
{
    if (!path)
        return folder.AssignChars(nullptr, 0);
    LPCWSTR name = IxFileName(path);
    return folder.AssignChars(path, static_cast<int>(name - path));
}

LPCWSTR IxSplitPath(LPCWSTR path, LPWSTR buffer, int capacity)
{
    if (!path)
        path = u"";
    LPCWSTR name = IxFileName(path);
    if (!CopyInto(buffer, capacity, path, static_cast<int>(name - path), false))
        return nullptr;
    return *name ? name : nullptr;
}

BOOL IxGetParentFolder(LPCWSTR path, IxString& parent)
{
    LPCWSTR end = path ? path + Length(path) : nullptr;
    if (end && end > path && end[-1] == u'\\')
        --end;
    LPCWSTR separator = path ? LastSeparator(path, end) : nullptr;
    if (!separator) {
        parent.Release();
        return FALSE;
    }
    return parent.AssignChars(path, static_cast<int>(separator + 1 - path));
}

LPCWSTR IxSkipFirstComponent(LPCWSTR path)
{
    if (!path)
        return nullptr;
    LPCWSTR p = path;
    if (*p == u'\\')
        ++p;
    while (*p && *p != u'\\')
        ++p;
    return p;
}

BOOL IxCopyFirstComponent(LPCWSTR path, LPWSTR buffer, int capacity, BOOL withSeparator)
{
    if (!path)
        path = u"";
    LPCWSTR end = IxSkipFirstComponent(path);
    return CopyInto(buffer, capacity, path, static_cast<int>(end - path), withSeparator != FALSE);
}

BOOL IxFirstComponent(LPCWSTR path, IxString& component, BOOL withSeparator)
{
    if (!path)
        path = u"";
    LPCWSTR end = IxSkipFirstComponent(path);
    int n = static_cast<int>(end - path);
    if (!component.AssignChars(path, n))
        return FALSE;
    return withSeparator ? component.Append(u"\\", 1) : TRUE;
}

BOOL IxIsSingleComponent(LPCWSTR path)
{
    if (!path)
        return TRUE;
    LPCWSTR p = IxSkipFirstComponent(path);
    return *p == 0 || (*p == u'\\' && p[1] == 0);
}

// ---- Files ----

BOOL IxFileExists(LPCWSTR path)
{
    WIN32_FIND_DATAW data;
    return FindFile(path, &data);
}

IxFileSizeTime IxGetFileSizeTime(LPCWSTR path)
{
    WIN32_FIND_DATAW data;
    if (!FindFile(path, &data))
        return {0, 0};
    return {data.nFileSizeLow, data.ftCreationTime.dwLowDateTime};
}

BOOL IxFileMatches(LPCWSTR path, DWORD size, DWORD time)
{
    IxFileSizeTime found = IxGetFileSizeTime(path);
    return found.dwSize == size && found.dwTime == time;
}

ULONGLONG IxGetFileSize64(LPCWSTR path)
{
    WIN32_FIND_DATAW data;
    if (!FindFile(path, &data))
        return 0;
    return (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

BOOL IxCreateDirectoryPath(LPCWSTR path)
{
    if (!path)
        return FALSE;
    // The volume folder is taken as existing; each later '\' ends a folder.
    LPCWSTR p = IxSkipFirstComponent(path);
    if (*p == u'\\')
        ++p;
    LPCWSTR start = p;
    IxString prefix;
    for (; *p; ++p) {
        if (*p != u'\\')
            continue;
        if (p > start) { // not an empty component ("\\")
            if (!prefix.AssignChars(path, static_cast<int>(p + 1 - path)))
                return FALSE;
            if (!CreateDirectoryW(prefix.Text(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
                return FALSE;
        }
        start = p + 1;
    }
    return TRUE;
}

// ---- Geometry ----

double IxAngle(int x0, int y0, int x1, int y1)
{
    if (x0 == x1 && y0 == y1)
        return -1.0;
    double dx = static_cast<double>(x1) - x0;
    double dy = static_cast<double>(y1) - y0;
    double d = std::sqrt(dx * dx + dy * dy);
    // c is the chord from straight up (at distance d) to the point.
    double c = std::sqrt((dy + d) * (dy + d) + dx * dx);
    double half = c / (2.0 * d);
    if (half > 1.0) // rounding straight down
        half = 1.0;
    double angle = 2.0 * std::asin(half);
    if (x0 > x1)
        angle = 6.283185307 - angle;
    return angle;
}

int IxAngleDegrees(int x0, int y0, int x1, int y1)
{
    double angle = IxAngle(x0, y0, x1, y1);
    if (angle == -1.0)
        return -1;
    return static_cast<int>(std::floor(angle * 180.0 * 0.31830988619288864 + 0.5));
}

int IxAngleDelta(int a, int b)
{
    if (a == b)
        return 0;
    int d = b - a;
    if (a >= 180) {
        if (b <= a - 180)
            return d + 360;
    } else if (b >= a + 180) {
        return d - 360;
    }
    return d;
}

void IxFitAspect(int width, int height, int& boxWidth, int& boxHeight)
{
    if (width <= 0 || height <= 0 || boxWidth == 0 || boxHeight == 0) {
        boxWidth = width;
        boxHeight = height;
        return;
    }
    double bw = std::fabs(static_cast<double>(boxWidth));
    double bh = std::fabs(static_cast<double>(boxHeight));
    if (width <= bw && height <= bh) {
        boxWidth = width;
        boxHeight = height;
        return;
    }
    double s = std::fmax(width / bw, height / bh);
    boxWidth = static_cast<int>(std::floor(width / s + 0.5));
    boxHeight = static_cast<int>(std::floor(height / s + 0.5));
}

// ---- Random ----

void IxSeedRandom()
{
    static std::atomic<bool> seeded{false};
    if (seeded.exchange(true))
        return;
    SYSTEMTIME now;
    GetLocalTime(&now);
    unsigned seed = GetTickCount() + now.wYear + now.wDay + now.wHour + now.wMinute + now.wSecond + now.wMilliseconds;
    std::srand(seed);
}

int IxRandom(int low, int high)
{
    if (high < low)
        return low;
    // In 64 bits: the full int range has 2^32 values.
    std::int64_t range = static_cast<std::int64_t>(high) - low + 1;
    return static_cast<int>(low + std::rand() % range);
}

// ---- Calendar ----

int IxDaysInMonth(int year, int month)
{
    switch (month) {
    case 2:
        if (year % 400 == 0)
            return 29;
        return (year % 4 != 0 || year % 100 == 0) ? 28 : 29;
    case 4:
    case 6:
    case 9:
    case 11:
        return 30;
    default:
        return 31;
    }
}

void IxAddMilliseconds(SYSTEMTIME& time, LONG ms)
{
    // Every field is carried in 64 bits, so neither a large ms nor fields
    // out of range on entry can overflow a WORD on the way.
    std::int64_t milliseconds = static_cast<std::int64_t>(time.wMilliseconds) + ms;
    std::int64_t seconds = time.wSecond + Carry(milliseconds, 1000);
    std::int64_t minutes = time.wMinute + Carry(seconds, 60);
    std::int64_t hours = time.wHour + Carry(minutes, 60);
    std::int64_t day = time.wDay + Carry(hours, 24);
    int month = time.wMonth;
    int year = time.wYear;
    if (month < 1 || month > 12) {
        std::int64_t m = month - 1;
        year += static_cast<int>(Carry(m, 12));
        month = static_cast<int>(m) + 1;
    }
    while (day > IxDaysInMonth(year, month)) {
        day -= IxDaysInMonth(year, month);
        if (++month == 13) {
            month = 1;
            ++year;
        }
    }
    while (day < 1) {
        if (--month == 0) {
            month = 12;
            --year;
        }
        day += IxDaysInMonth(year, month);
    }
    time.wMilliseconds = static_cast<WORD>(milliseconds);
    time.wSecond = static_cast<WORD>(seconds);
    time.wMinute = static_cast<WORD>(minutes);
    time.wHour = static_cast<WORD>(hours);
    time.wDay = static_cast<WORD>(day);
    time.wMonth = static_cast<WORD>(month);
    time.wYear = static_cast<WORD>(year);
}
