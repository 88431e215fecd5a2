// Owners of platform handles: a stream driver ("ASP1:", "NEC1:", "CST1:",
// "RMT1:", "DMB1:", "DVD1:"), a serial port ("COM1:" to "COM4:") and a file
// mapping.
//
// Their point is the failure convention: a closed handle answers every call
// with 0 without reaching the platform, so callers go on without a driver
// that is not there.
#pragma once

#include "platform/base/Types.h"

class IxDeviceHandle {
public:
    IxDeviceHandle() = default;
    ~IxDeviceHandle() { CloseHandleSafe(); }
    IxDeviceHandle(const IxDeviceHandle&) = delete;
    IxDeviceHandle& operator=(const IxDeviceHandle&) = delete;

    // Opens the driver for reading and writing, not shared. 1 at once when
    // already open; otherwise whether it is open now.
    BOOL Open(LPCWSTR path);
    // DeviceIoControl's result; 0 when closed.
    BOOL Ioctl(DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize, DWORD* returned);
    BOOL IoctlIn(DWORD code, LPVOID in, DWORD size);
    BOOL IoctlOut(DWORD code, LPVOID out, DWORD size);
    // Sends one byte, the low byte of value.
    BOOL IoctlByte(DWORD code, DWORD value);
    void CloseHandleSafe();
    BOOL IsOpen() const { return m_hDevice != INVALID_HANDLE_VALUE; }
    HANDLE Handle() const { return m_hDevice; }

private:
    HANDLE m_hDevice = INVALID_HANDLE_VALUE;
};

// Baud rate bits of IxSerialComm::Open's flags; the lowest one set decides.
enum : DWORD {
    IXCOMM_110 = 1u << 16,
    IXCOMM_300 = 1u << 17,
    IXCOMM_600 = 1u << 18,
    IXCOMM_1200 = 1u << 19,
    IXCOMM_2400 = 1u << 20,
    IXCOMM_4800 = 1u << 21,
    IXCOMM_9600 = 1u << 22,
    IXCOMM_14400 = 1u << 23,
    IXCOMM_19200 = 1u << 24,
    IXCOMM_38400 = 1u << 25,
    IXCOMM_57600 = 1u << 26,
    IXCOMM_115200 = 1u << 27,
    IXCOMM_128000 = 1u << 28,
    IXCOMM_256000 = 1u << 29,
};

class IxSerialComm {
public:
    // Result of a Read or Write that failed.
    static constexpr DWORD kFailed = 0xFFFFFFFF;

    IxSerialComm() = default;
    ~IxSerialComm() { Close(); }
    IxSerialComm(const IxSerialComm&) = delete;
    IxSerialComm& operator=(const IxSerialComm&) = delete;

    // Opens the port at the baud rate of the flags (none: the port's current
    // rate), 8 data bits, no parity, one stop bit, binary. 1 at once when
    // already open; 0 when the port cannot be opened or set up, and then it
    // stays closed.
    BOOL Open(LPCWSTR port, DWORD flags);
    // Read time-outs (write time-outs stay):
    //   a < -1: a read returns at once with what is buffered (b unused);
    //   a = -1: a read waits up to b ms for the first byte, then returns
    //           what is there;
    //   a >= 0: interval a ms between bytes, b ms per byte requested.
    // Whether the port took them.
    BOOL SetTimeouts(int a, int b);
    // Bytes moved, or kFailed. A closed port answers 0.
    DWORD Read(LPVOID buffer, DWORD size);
    DWORD Write(LPCVOID data, DWORD size);
    void Close();
    BOOL IsOpen() const { return m_hComm != INVALID_HANDLE_VALUE; }
    HANDLE Handle() const { return m_hComm; }

    // Baud rate for the flags, 0 when no rate bit is set.
    static DWORD BaudFromFlags(DWORD flags);

private:
    HANDLE m_hComm = INVALID_HANDLE_VALUE;
};

// Holder of a shared memory block: the mapping, its view and an owned holder
// of one further handle that belongs with the block (a companion event or
// file), all released together.
class IxSharedMemory {
public:
    IxSharedMemory() = default;
    ~IxSharedMemory() { Release(); }
    IxSharedMemory(const IxSharedMemory&) = delete;
    IxSharedMemory& operator=(const IxSharedMemory&) = delete;

    // Makes, or opens by name, a read-write block of size bytes and maps all
    // of it; *existed tells whether the name was already there. Whatever was
    // held before is released first. 0 on failure (nothing held).
    BOOL Create(LPCWSTR name, DWORD size, BOOL* existed = nullptr);
    // Takes ownership of a handle that is closed with the block.
    BOOL AttachHandle(HANDLE handle);
    // Unmaps the view, closes the mapping, closes the attached handle and
    // deletes its holder.
    void Release();

    LPVOID Data() const { return m_pView; }
    DWORD Size() const { return m_dwSize; }
    HANDLE Mapping() const { return m_hMapping; }
    HANDLE Attached() const { return m_pHandle ? *m_pHandle : nullptr; }

private:
    HANDLE m_hMapping = nullptr;
    LPVOID m_pView = nullptr;
    HANDLE* m_pHandle = nullptr;
    DWORD m_dwSize = 0;
};
