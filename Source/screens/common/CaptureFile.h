// The capture files of the screens: the unique, time-stamped name of a new
// capture ("CAPTURE_20100305_141522.jpg", then "..._1.jpg" and on within the
// same second), and whether a volume has room for one.
#pragma once

#include "Lib_cpp/core/String.h"
#include "platform/base/Clock.h"
#include "platform/base/Types.h"

// The prefix and extension the capturing screens use, and the room they ask
// "\HDD\" for.
inline constexpr WCHAR kCapturePrefix[] = u"\\HDD\\CAPTURE\\CAPTURE_";
inline constexpr WCHAR kCaptureExtension[] = u"jpg";
inline constexpr WCHAR kCaptureFolder[] = u"\\HDD\\CAPTURE\\";
inline constexpr WCHAR kCaptureVolume[] = u"\\HDD\\";
inline constexpr int kCaptureFreeMegabytes = 100;
// The highest suffix tried; it is taken even when that file exists.
inline constexpr int kCaptureMaxSuffix = 99;

// prefix + yyyymmdd_hhmmss + "." + extension at the local time, with "_n"
// before the extension (n = 1 ... 99) while the name is taken. Never fails.
void MakeCaptureFileName(LPCWSTR prefix, LPCWSTR extension, IxString* result);
// The same at the given time.
void MakeCaptureFileNameAt(const SYSTEMTIME& time, LPCWSTR prefix, LPCWSTR extension, IxString* result);
// 1 when the path exists and its volume has at least that many whole
// megabytes free.
BOOL HasFreeDiskSpace(LPCWSTR path, int megabytes);
// 1 when the free bytes make at least that many whole megabytes.
BOOL IsFreeSpaceEnough(ULONGLONG freeBytes, int megabytes);
