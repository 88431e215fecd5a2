// Stream objects behind CreateFileW: files, drivers and serial ports.
//
// CreateFileW looks at the name: "COM1:" to "COM9:" open a serial port, any
// other "XXXn:" (three letters, a digit, a colon) opens the driver registered
// under that name, everything else is a file on the unit's paths. Each kind
// is an IoObject in the handle table, and ReadFile, WriteFile,
// DeviceIoControl, SetFilePointer, GetFileSize, SetEndOfFile and
// FlushFileBuffers reach it through its virtual operations. An operation an
// object does not support fails with ERROR_INVALID_FUNCTION.
#pragma once

#include "platform/base/Handle.h"
#include "platform/base/Types.h"

#include <memory>
#include <string>

// Access rights.
inline constexpr DWORD GENERIC_READ = 0x80000000;
inline constexpr DWORD GENERIC_WRITE = 0x40000000;
// Share modes.
inline constexpr DWORD FILE_SHARE_READ = 0x00000001;
inline constexpr DWORD FILE_SHARE_WRITE = 0x00000002;
inline constexpr DWORD FILE_SHARE_DELETE = 0x00000004;
// Dispositions.
inline constexpr DWORD CREATE_NEW = 1;
inline constexpr DWORD CREATE_ALWAYS = 2;
inline constexpr DWORD OPEN_EXISTING = 3;
inline constexpr DWORD OPEN_ALWAYS = 4;
inline constexpr DWORD TRUNCATE_EXISTING = 5;
// Attributes.
inline constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x00000001;
inline constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x00000002;
inline constexpr DWORD FILE_ATTRIBUTE_SYSTEM = 0x00000004;
inline constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x00000010;
inline constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x00000020;
inline constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x00000080;
// Flags beside the attributes.
inline constexpr DWORD FILE_FLAG_WRITE_THROUGH = 0x80000000;
inline constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;
// SetFilePointer.
inline constexpr DWORD FILE_BEGIN = 0;
inline constexpr DWORD FILE_CURRENT = 1;
inline constexpr DWORD FILE_END = 2;
inline constexpr DWORD INVALID_SET_FILE_POINTER = 0xFFFFFFFF;
inline constexpr DWORD INVALID_FILE_SIZE = 0xFFFFFFFF;

inline constexpr DWORD ERROR_INVALID_FUNCTION = 1;
inline constexpr DWORD ERROR_TOO_MANY_OPEN_FILES = 4;
inline constexpr DWORD ERROR_WRITE_PROTECT = 19;
inline constexpr DWORD ERROR_NOT_READY = 21;
inline constexpr DWORD ERROR_CRC = 23;
inline constexpr DWORD ERROR_BAD_LENGTH = 24;
inline constexpr DWORD ERROR_SECTOR_NOT_FOUND = 27;
inline constexpr DWORD ERROR_WRITE_FAULT = 29;
inline constexpr DWORD ERROR_READ_FAULT = 30;
inline constexpr DWORD ERROR_DEV_NOT_EXIST = 55;
inline constexpr DWORD ERROR_HANDLE_EOF = 38;
inline constexpr DWORD ERROR_SHARING_VIOLATION = 32;
inline constexpr DWORD ERROR_FILE_EXISTS = 80;
inline constexpr DWORD ERROR_DISK_FULL = 112;
inline constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
inline constexpr DWORD ERROR_INVALID_NAME = 123;
inline constexpr DWORD ERROR_MOD_NOT_FOUND = 126;
inline constexpr DWORD ERROR_NEGATIVE_SEEK = 131;
inline constexpr DWORD ERROR_DIR_NOT_EMPTY = 145;
inline constexpr DWORD ERROR_BAD_PATHNAME = 161;
inline constexpr DWORD ERROR_NO_MORE_FILES = 18;
inline constexpr DWORD ERROR_MORE_DATA = 234;
inline constexpr DWORD ERROR_NOT_SUPPORTED = 50;
inline constexpr DWORD ERROR_GEN_FAILURE = 31;
inline constexpr DWORD ERROR_IO_DEVICE = 1117;
inline constexpr DWORD ERROR_OPERATION_ABORTED = 995;

struct SECURITY_ATTRIBUTES;
struct OVERLAPPED;

namespace platform {

class IoObject : public KernelObject {
public:
    virtual BOOL Read(void* buffer, DWORD size, DWORD* read);
    virtual BOOL Write(const void* data, DWORD size, DWORD* written);
    virtual BOOL Control(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize, DWORD* returned);
    // Moves the position; returns the new position (64-bit) or -1 with the
    // last error set.
    virtual std::int64_t Seek(std::int64_t distance, DWORD method);
    // Size in bytes, or -1 with the last error set.
    virtual std::int64_t Size();
    virtual BOOL SetEnd();
    virtual BOOL Flush();
};

// Openers of the three kinds. Each returns null with the last error set
// when the name cannot be opened. The name is the unit's name as given.
std::shared_ptr<IoObject> OpenFileObject(LPCWSTR path, DWORD access, DWORD share, DWORD disposition, DWORD attributes);
std::shared_ptr<IoObject> OpenDeviceObject(LPCWSTR name, DWORD access, DWORD share);
std::shared_ptr<IoObject> OpenSerialPort(LPCWSTR name, DWORD access, DWORD share);

// "XXXn:" names: three letters, one digit, a colon (any case).
bool IsDeviceName(LPCWSTR name);
bool IsSerialPortName(LPCWSTR name);

} // namespace platform

HANDLE CreateFileW(LPCWSTR name, DWORD access, DWORD share, SECURITY_ATTRIBUTES* security, DWORD disposition,
                   DWORD attributes, HANDLE templateFile);
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD size, DWORD* read, OVERLAPPED* overlapped);
BOOL WriteFile(HANDLE file, LPCVOID data, DWORD size, DWORD* written, OVERLAPPED* overlapped);
BOOL DeviceIoControl(HANDLE device, DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize, DWORD* returned,
                     OVERLAPPED* overlapped);
DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD method);
DWORD GetFileSize(HANDLE file, DWORD* sizeHigh);
BOOL SetEndOfFile(HANDLE file);
BOOL FlushFileBuffers(HANDLE file);
