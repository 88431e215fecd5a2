#include "Source/screens/common/CaptureFile.h"

#include "platform/io/File.h"

namespace {

// Appends the number in decimal with at least minDigits digits.
void AppendNumber(IxString* out, int value, int minDigits)
{
    WCHAR digits[16];
    int n = 0;
    unsigned v = value < 0 ? 0u - static_cast<unsigned>(value) : static_cast<unsigned>(value);
    do {
        digits[n++] = static_cast<WCHAR>(u'0' + v % 10);
        v /= 10;
    } while (v && n < 15);
    while (n < minDigits && n < 15)
        digits[n++] = u'0';
    if (value < 0)
        out->Append(u"-", 1);
    for (int i = n - 1; i >= 0; --i)
        out->Append(&digits[i], 1);
}

void AppendText(IxString* out, LPCWSTR text)
{
    if (text) {
        int n = 0;
        while (text[n])
            ++n;
        out->Append(text, n);
    }
}

// prefix yyyymmdd_hhmmss [_suffix] . extension
void FormName(const SYSTEMTIME& t, LPCWSTR prefix, LPCWSTR extension, int suffix, IxString* out)
{
    out->Assign(u"");
    AppendText(out, prefix);
    AppendNumber(out, t.wYear, 2);
    AppendNumber(out, t.wMonth, 2);
    AppendNumber(out, t.wDay, 2);
    out->Append(u"_", 1);
    AppendNumber(out, t.wHour, 2);
    AppendNumber(out, t.wMinute, 2);
    AppendNumber(out, t.wSecond, 2);
    if (suffix > 0) {
        out->Append(u"_", 1);
        AppendNumber(out, suffix, 1);
    }
    out->Append(u".", 1);
    AppendText(out, extension);
}

BOOL Exists(const IxString& path)
{
    return GetFileAttributesW(path.Text()) != INVALID_FILE_ATTRIBUTES;
}

} // namespace

void MakeCaptureFileNameAt(const SYSTEMTIME& time, LPCWSTR prefix, LPCWSTR extension, IxString* result)
{
    if (!result)
        return;
    IxString name;
    FormName(time, prefix, extension, 0, &name);
    for (int suffix = 1; suffix <= kCaptureMaxSuffix && Exists(name); ++suffix)
        FormName(time, prefix, extension, suffix, &name);
    *result = name;
}

void MakeCaptureFileName(LPCWSTR prefix, LPCWSTR extension, IxString* result)
{
    SYSTEMTIME now{};
    GetLocalTime(&now);
    MakeCaptureFileNameAt(now, prefix, extension, result);
}

BOOL IsFreeSpaceEnough(ULONGLONG freeBytes, int megabytes)
{
    if (megabytes <= 0)
        return TRUE;
    return (freeBytes >> 20) >= static_cast<ULONGLONG>(megabytes);
}

BOOL HasFreeDiskSpace(LPCWSTR path, int megabytes)
{
    if (!path || GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES)
        return FALSE;
    ULARGE_INTEGER freeToCaller{};
    ULARGE_INTEGER total{};
    ULARGE_INTEGER totalFree{};
    if (!GetDiskFreeSpaceExW(path, &freeToCaller, &total, &totalFree))
        return FALSE;
    return IsFreeSpaceEnough(totalFree.QuadPart, megabytes);
}
