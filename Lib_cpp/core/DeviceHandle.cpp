#include "Lib_cpp/core/DeviceHandle.h"

#include "platform/base/Error.h"
#include "platform/base/Handle.h"
#include "platform/io/Io.h"
#include "platform/io/Serial.h"
#include "platform/os/Mapping.h"

#include <new>

namespace {

// Baud rates of the flag bits 16 to 29.
constexpr DWORD kBaudRates[] = {CBR_110,   CBR_300,   CBR_600,   CBR_1200,  CBR_2400,   CBR_4800,   CBR_9600,
                                CBR_14400, CBR_19200, CBR_38400, CBR_57600, CBR_115200, CBR_128000, CBR_256000};
constexpr int kFirstBaudBit = 16;

bool IsValid(HANDLE handle)
{
    return handle && handle != INVALID_HANDLE_VALUE;
}

} // namespace

// ---- IxDeviceHandle ----

BOOL IxDeviceHandle::Open(LPCWSTR path)
{
    if (IsOpen())
        return TRUE;
    HANDLE handle
        = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    m_hDevice = IsValid(handle) ? handle : INVALID_HANDLE_VALUE;
    return IsOpen();
}

BOOL IxDeviceHandle::Ioctl(DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize, DWORD* returned)
{
    if (!IsOpen())
        return FALSE;
    return DeviceIoControl(m_hDevice, code, in, inSize, out, outSize, returned, nullptr);
}

BOOL IxDeviceHandle::IoctlIn(DWORD code, LPVOID in, DWORD size)
{
    return Ioctl(code, in, size, nullptr, 0, nullptr);
}

BOOL IxDeviceHandle::IoctlOut(DWORD code, LPVOID out, DWORD size)
{
    return Ioctl(code, nullptr, 0, out, size, nullptr);
}

BOOL IxDeviceHandle::IoctlByte(DWORD code, DWORD value)
{
    BYTE byte = static_cast<BYTE>(value);
    return Ioctl(code, &byte, 1, nullptr, 0, nullptr);
}

void IxDeviceHandle::CloseHandleSafe()
{
    if (m_hDevice != INVALID_HANDLE_VALUE)
        CloseHandle(m_hDevice);
    m_hDevice = INVALID_HANDLE_VALUE;
}

// ---- IxSerialComm ----

DWORD IxSerialComm::BaudFromFlags(DWORD flags)
{
    for (int i = 0; i < static_cast<int>(sizeof kBaudRates / sizeof kBaudRates[0]); ++i) {
        if (flags & (1u << (kFirstBaudBit + i)))
            return kBaudRates[i];
    }
    return 0;
}

BOOL IxSerialComm::Open(LPCWSTR port, DWORD flags)
{
    if (IsOpen())
        return TRUE;
    HANDLE handle = CreateFileW(port, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (!IsValid(handle))
        return FALSE;
    m_hComm = handle;
    DCB dcb = {};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(m_hComm, &dcb)) {
        Close();
        return FALSE;
    }
    if (DWORD baud = BaudFromFlags(flags))
        dcb.BaudRate = baud;
    dcb.fBinary = 1;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    if (!SetCommState(m_hComm, &dcb)) {
        Close();
        return FALSE;
    }
    return TRUE;
}

BOOL IxSerialComm::SetTimeouts(int a, int b)
{
    if (!IsOpen())
        return FALSE;
    COMMTIMEOUTS timeouts = {};
    if (!GetCommTimeouts(m_hComm, &timeouts))
        return FALSE;
    if (a < -1) {
        timeouts.ReadIntervalTimeout = MAXDWORD;
        timeouts.ReadTotalTimeoutMultiplier = 0;
        timeouts.ReadTotalTimeoutConstant = 0;
    } else if (a == -1) {
        timeouts.ReadIntervalTimeout = MAXDWORD;
        timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
        timeouts.ReadTotalTimeoutConstant = static_cast<DWORD>(b);
    } else {
        timeouts.ReadIntervalTimeout = static_cast<DWORD>(a);
        timeouts.ReadTotalTimeoutMultiplier = static_cast<DWORD>(b);
        timeouts.ReadTotalTimeoutConstant = 0;
    }
    return SetCommTimeouts(m_hComm, &timeouts);
}

DWORD IxSerialComm::Read(LPVOID buffer, DWORD size)
{
    if (!IsOpen())
        return 0;
    DWORD read = 0;
    return ReadFile(m_hComm, buffer, size, &read, nullptr) ? read : kFailed;
}

DWORD IxSerialComm::Write(LPCVOID data, DWORD size)
{
    if (!IsOpen())
        return 0;
    DWORD written = 0;
    return WriteFile(m_hComm, data, size, &written, nullptr) ? written : kFailed;
}

void IxSerialComm::Close()
{
    if (m_hComm != INVALID_HANDLE_VALUE)
        CloseHandle(m_hComm);
    m_hComm = INVALID_HANDLE_VALUE;
}

// ---- IxSharedMemory ----

BOOL IxSharedMemory::Create(LPCWSTR name, DWORD size, BOOL* existed)
{
    Release();
    if (existed)
        *existed = FALSE;
    HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size, name);
    if (!mapping)
        return FALSE;
    bool found = GetLastError() == ERROR_ALREADY_EXISTS;
    // Exactly size bytes: an existing block that is smaller is refused
    // instead of handing out a view the caller would overrun.
    LPVOID view = MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, size);
    if (!view) {
        DWORD error = GetLastError();
        CloseHandle(mapping);
        SetLastError(error);
        return FALSE;
    }
    m_hMapping = mapping;
    m_pView = view;
    m_dwSize = size;
    if (existed)
        *existed = found;
    return TRUE;
}

BOOL IxSharedMemory::AttachHandle(HANDLE handle)
{
    if (!m_pHandle) {
        m_pHandle = new (std::nothrow) HANDLE(nullptr);
        if (!m_pHandle) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return FALSE;
        }
    } else if (IsValid(*m_pHandle) && *m_pHandle != handle) {
        CloseHandle(*m_pHandle);
    }
    *m_pHandle = handle;
    return TRUE;
}

void IxSharedMemory::Release()
{
    if (m_pView)
        UnmapViewOfFile(m_pView);
    if (m_hMapping)
        CloseHandle(m_hMapping);
    if (m_pHandle) {
        if (IsValid(*m_pHandle))
            CloseHandle(*m_pHandle);
        delete m_pHandle;
    }
    m_hMapping = nullptr;
    m_pView = nullptr;
    m_pHandle = nullptr;
    m_dwSize = 0;
}
