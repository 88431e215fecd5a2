#include "platform/io/Io.h"

#include "platform/base/Error.h"

namespace platform {

BOOL IoObject::Read(void*, DWORD, DWORD* read)
{
    if (read)
        *read = 0;
    SetLastError(ERROR_INVALID_FUNCTION);
    return FALSE;
}

BOOL IoObject::Write(const void*, DWORD, DWORD* written)
{
    if (written)
        *written = 0;
    SetLastError(ERROR_INVALID_FUNCTION);
    return FALSE;
}

BOOL IoObject::Control(DWORD, const void*, DWORD, void*, DWORD, DWORD* returned)
{
    if (returned)
        *returned = 0;
    SetLastError(ERROR_INVALID_FUNCTION);
    return FALSE;
}

std::int64_t IoObject::Seek(std::int64_t, DWORD)
{
    SetLastError(ERROR_INVALID_FUNCTION);
    return -1;
}

std::int64_t IoObject::Size()
{
    SetLastError(ERROR_INVALID_FUNCTION);
    return -1;
}

BOOL IoObject::SetEnd()
{
    SetLastError(ERROR_INVALID_FUNCTION);
    return FALSE;
}

BOOL IoObject::Flush()
{
    return TRUE;
}

namespace {

bool IsLetter(WCHAR c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

} // namespace

bool IsDeviceName(LPCWSTR name)
{
    return name && IsLetter(name[0]) && IsLetter(name[1]) && IsLetter(name[2]) && name[3] >= u'0' && name[3] <= u'9'
        && name[4] == u':' && name[5] == 0;
}

bool IsSerialPortName(LPCWSTR name)
{
    return IsDeviceName(name) && (name[0] | 0x20) == u'c' && (name[1] | 0x20) == u'o' && (name[2] | 0x20) == u'm';
}

} // namespace platform

HANDLE CreateFileW(LPCWSTR name, DWORD access, DWORD share, SECURITY_ATTRIBUTES*, DWORD disposition, DWORD attributes,
                   HANDLE)
{
    using namespace platform;
    if (!name || !*name) {
        SetLastError(ERROR_INVALID_NAME);
        return INVALID_HANDLE_VALUE;
    }
    std::shared_ptr<IoObject> object;
    if (IsSerialPortName(name))
        object = OpenSerialPort(name, access, share);
    else if (IsDeviceName(name))
        object = OpenDeviceObject(name, access, share);
    else
        object = OpenFileObject(name, access, share, disposition, attributes);
    if (!object)
        return INVALID_HANDLE_VALUE;
    HANDLE handle = RegisterObject(object);
    return handle ? handle : INVALID_HANDLE_VALUE;
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD size, DWORD* read, OVERLAPPED*)
{
    if (read)
        *read = 0;
    auto object = platform::LookupObjectAs<platform::IoObject>(file);
    if (!object)
        return FALSE;
    if (!buffer && size) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    DWORD done = 0;
    BOOL ok = object->Read(buffer, size, &done);
    if (read)
        *read = done;
    return ok;
}

BOOL WriteFile(HANDLE file, LPCVOID data, DWORD size, DWORD* written, OVERLAPPED*)
{
    if (written)
        *written = 0;
    auto object = platform::LookupObjectAs<platform::IoObject>(file);
    if (!object)
        return FALSE;
    if (!data && size) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    DWORD done = 0;
    BOOL ok = object->Write(data, size, &done);
    if (written)
        *written = done;
    return ok;
}

BOOL DeviceIoControl(HANDLE device, DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize, DWORD* returned,
                     OVERLAPPED*)
{
    if (returned)
        *returned = 0;
    auto object = platform::LookupObjectAs<platform::IoObject>(device);
    if (!object)
        return FALSE;
    if ((!in && inSize) || (!out && outSize)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    DWORD done = 0;
    BOOL ok = object->Control(code, in, inSize, out, outSize, &done);
    if (returned)
        *returned = done;
    return ok;
}

DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD method)
{
    auto object = platform::LookupObjectAs<platform::IoObject>(file);
    if (!object)
        return INVALID_SET_FILE_POINTER;
    std::int64_t move = distanceHigh
        ? (static_cast<std::int64_t>(*distanceHigh) << 32) | static_cast<std::uint32_t>(distance)
        : static_cast<std::int64_t>(distance);
    std::int64_t position = object->Seek(move, method);
    if (position < 0)
        return INVALID_SET_FILE_POINTER;
    if (distanceHigh)
        *distanceHigh = static_cast<LONG>(position >> 32);
    else if (position > 0xFFFFFFFE) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(position);
}

DWORD GetFileSize(HANDLE file, DWORD* sizeHigh)
{
    auto object = platform::LookupObjectAs<platform::IoObject>(file);
    if (!object)
        return INVALID_FILE_SIZE;
    std::int64_t size = object->Size();
    if (size < 0)
        return INVALID_FILE_SIZE;
    if (sizeHigh)
        *sizeHigh = static_cast<DWORD>(size >> 32);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(size);
}

BOOL SetEndOfFile(HANDLE file)
{
    auto object = platform::LookupObjectAs<platform::IoObject>(file);
    return object ? object->SetEnd() : FALSE;
}

BOOL FlushFileBuffers(HANDLE file)
{
    auto object = platform::LookupObjectAs<platform::IoObject>(file);
    return object ? object->Flush() : FALSE;
}
