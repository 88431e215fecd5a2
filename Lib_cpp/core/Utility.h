// Free helpers of the framework: starting programs, UTF-16 paths with '\'
// separators, files, angles and aspect fitting for gestures and pictures,
// random numbers and calendar arithmetic. Only the random seed flag is state.
#pragma once

#include "Lib_cpp/core/String.h"
#include "platform/base/Clock.h"
#include "platform/base/Types.h"

struct STARTUPINFOW; // platform/os/Process.h

// ---- Processes ----

// Starts program with a copy of commandLine (empty when null) in a buffer of
// kIxCommandLineChars characters; a longer command line is refused
// (ERROR_INVALID_PARAMETER) rather than cut. Each handle of the new process
// goes to the caller when its out pointer is given, else it is closed.
// 0 on failure.
inline constexpr int kIxCommandLineChars = 260;
BOOL IxLaunchProcess(LPCWSTR program, LPCWSTR commandLine, STARTUPINFOW* startInfo, HANDLE* process, HANDLE* thread);
// Opens file with parameters through the shell, shown (SW_SHOW) when show is
// non-zero, else hidden; the shell's result.
BOOL IxShellExecute(LPCWSTR file, LPCWSTR parameters, BOOL show);

// ---- Text ----

// Converts length bytes (-1: up to and including the terminating 0) of the
// code page into str, exactly as many characters as the conversion gives.
// 0 when the conversion fails or the string cannot be made (str unchanged).
BOOL IxMultiByteToString(LPCSTR bytes, int length, IxString& str, UINT codePage);
// Compares at most length characters without case (the unit's case folding,
// as lstrcmpiW), stopping after a terminator: below 0, 0 or above 0.
int IxCompareNoCase(LPCWSTR a, LPCWSTR b, int length);
// Whether text starts with the first length characters of prefix, without case.
inline bool IxStartsWithNoCase(LPCWSTR text, LPCWSTR prefix, int length)
{
    return IxCompareNoCase(text, prefix, length) == 0;
}

// ---- Paths ----
// A path is UTF-16 text with '\' between components; a leading '\' marks the
// root. Pointers returned point into the given path.

// Just past the last '.' of the file name; null when the name has none.
LPCWSTR IxGetExtension(LPCWSTR path);
// Just past the last '\' (the whole path when there is none).
LPCWSTR IxFileName(LPCWSTR path);
// The file name without its extension.
BOOL IxGetFileTitle(LPCWSTR path, IxString& title);
// The last component, a trailing '\' ignored. Returns whether the path went
// on after it (that is, ended with '\').
BOOL IxGetLastFolder(LPCWSTR path, IxString& folder);
// The path up to and including its last '\' (empty when there is none).
BOOL IxGetFolderPart(LPCWSTR path, IxString& folder);
// The same into buffer (capacity characters with the terminator). Returns
// the file name, or null when the path ends with '\'. When the folder part
// does not fit, buffer becomes empty, the last error is
// ERROR_INSUFFICIENT_BUFFER and the result is null.
LPCWSTR IxSplitPath(LPCWSTR path, LPWSTR buffer, int capacity);
// The path up to and including the '\' before its last component (a
// trailing '\' ignored); 0 (parent emptied) when there is no parent.
BOOL IxGetParentFolder(LPCWSTR path, IxString& parent);
// The end of the first component, after an optional leading '\'.
LPCWSTR IxSkipFirstComponent(LPCWSTR path);
// The first component with its leading '\', followed by a '\' when
// withSeparator is set (\HDD\a gives \HDD or \HDD\). IxCopyFirstComponent
// writes into buffer of capacity characters with the terminator; when it
// does not fit, buffer becomes empty and it returns 0
// (ERROR_INSUFFICIENT_BUFFER).
BOOL IxCopyFirstComponent(LPCWSTR path, LPWSTR buffer, int capacity, BOOL withSeparator);
BOOL IxFirstComponent(LPCWSTR path, IxString& component, BOOL withSeparator);
// True when nothing but one trailing '\' follows the first component.
BOOL IxIsSingleComponent(LPCWSTR path);

// ---- Files ----

BOOL IxFileExists(LPCWSTR path);
// The low 32 bits of a file's size and of its creation time.
struct IxFileSizeTime {
    DWORD dwSize;
    DWORD dwTime;
};
// {0, 0} when the file is absent.
IxFileSizeTime IxGetFileSizeTime(LPCWSTR path);
// Whether the file's size and time words are these.
BOOL IxFileMatches(LPCWSTR path, DWORD size, DWORD time);
// 0 when the file is absent.
ULONGLONG IxGetFileSize64(LPCWSTR path);
// Creates, in turn, every folder of path that ends with a '\' after its
// first component (the volume folder, such as \HDD\, is taken as existing):
// \HDD\A\B\ creates \HDD\A\ and then \HDD\A\B\. A last component without
// a '\' names a file and is not created. A folder that already exists is
// fine. 1 when every folder exists, 0 on any other failure.
BOOL IxCreateDirectoryPath(LPCWSTR path);

// ---- Geometry ----

// Direction from (x0, y0) to (x1, y1) in radians, clockwise from straight up
// (y grows downwards): 0 up, pi/2 right, pi down, 3pi/2 left; -1.0 for equal
// points.
double IxAngle(int x0, int y0, int x1, int y1);
// The same in whole degrees rounded half up; -1 for equal points.
int IxAngleDegrees(int x0, int y0, int x1, int y1);
// Signed turn in degrees from a to b (both 0-359), the shorter way round.
int IxAngleDelta(int a, int b);
// Fits width x height into the box, keeping the aspect ratio; the result is
// written into the box. A size within the box (absolute sides) is kept;
// a larger one is scaled down until it fits. Zero or negative sizes, or a
// zero box side, give the size unchanged.
void IxFitAspect(int width, int height, int& boxWidth, int& boxHeight);

// ---- Random ----

// Seeds rand() once per process from the tick and the local time.
void IxSeedRandom();
// A number from low to high inclusive; low when high < low.
int IxRandom(int low, int high);

// ---- Calendar ----

// Days of the month (1-12) in the Gregorian year; 31 for months outside
// 1-12.
int IxDaysInMonth(int year, int month);
// Adds ms to the time and carries into seconds, minutes, hours, days,
// months and years. A negative ms moves back, borrowing the same way. Fields
// out of range on entry are normalised by the carry. The day of the week is
// left as it was.
void IxAddMilliseconds(SYSTEMTIME& time, LONG ms);
