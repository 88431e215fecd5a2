// Drivers: devices registered by name ("NEC1:", "ASP1:", "DVD1:", ...).
//
// CreateFileW on a driver name (any "XXXn:" but the serial ports) opens the
// device registered under that name, compared ignoring case. Each open asks
// the device (Open) and makes one handle; DeviceIoControl, ReadFile and
// WriteFile on the handle reach the device, and closing the handle calls its
// Close once, after the calls in progress on that handle have returned.
//
// Calls from several threads reach a device at the same time: a device
// guards its own state. A name that is not registered fails to open with
// ERROR_FILE_NOT_FOUND, as CreateFileW reports a stream driver that is not
// loaded. A device unregistered (or replaced) while handles to it are open
// keeps serving those handles until they are closed; only new opens see the
// change.
#pragma once

#include "platform/base/Types.h"

#include <cstddef>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace platform {

class Device {
public:
    Device() = default;
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;
    virtual ~Device();

    // One CreateFileW. False refuses the open; the device sets the last
    // error (ERROR_GEN_FAILURE when it sets none).
    virtual bool Open(DWORD access, DWORD share);
    // DeviceIoControl. *returned is 0 when called; the default answers
    // ERROR_INVALID_FUNCTION.
    virtual BOOL IoControl(DWORD code, const BYTE* in, DWORD inSize, BYTE* out, DWORD outSize, DWORD* returned);
    // ReadFile and WriteFile; the defaults answer ERROR_INVALID_FUNCTION.
    virtual BOOL Read(BYTE* buffer, DWORD size, DWORD* read);
    virtual BOOL Write(const BYTE* data, DWORD size, DWORD* written);
    // The handle of one successful Open was closed.
    virtual void Close();
};

// Registers a device under a driver name, replacing the one registered
// under that name before. A null device unregisters the name. The serial
// port names ("COM1:" ...) are opened as serial ports, never as devices.
void RegisterDevice(LPCWSTR name, std::shared_ptr<Device> device);
void UnregisterDevice(LPCWSTR name);
// The device registered under the name, or null.
std::shared_ptr<Device> FindDevice(LPCWSTR name);

// A device for tests and the simulated board: it answers with scripted
// replies and keeps every call it received.
//
// A control call takes the next reply queued for its code; when none is
// queued, the default reply for that code, else the general default reply
// (success with no output). A reply's output bytes are copied up to the
// caller's out size, and that many are returned. Reads take bytes from the
// scripted read data (what is there, up to the size asked; none is a
// successful read of 0 bytes). Writes are accepted whole unless a write
// reply says otherwise. Every method is thread-safe.
class RecordingDevice : public Device {
public:
    struct Reply {
        std::vector<BYTE> output;
        BOOL result = TRUE;
        DWORD error = 0; // last error set when result is FALSE
    };

    enum class CallKind { Open, IoControl, Read, Write, Close };

    struct Call {
        CallKind kind = CallKind::Open;
        DWORD code = 0;          // control code (IoControl)
        std::vector<BYTE> input; // control input, bytes written
        DWORD outSize = 0;       // control out size, read size
        DWORD access = 0;        // Open
        DWORD share = 0;         // Open
    };

    bool Open(DWORD access, DWORD share) override;
    BOOL IoControl(DWORD code, const BYTE* in, DWORD inSize, BYTE* out, DWORD outSize, DWORD* returned) override;
    BOOL Read(BYTE* buffer, DWORD size, DWORD* read) override;
    BOOL Write(const BYTE* data, DWORD size, DWORD* written) override;
    void Close() override;

    // Scripting.
    void QueueReply(DWORD code, Reply reply);
    void SetDefaultReply(DWORD code, Reply reply);
    void SetDefaultReply(Reply reply);
    void AddReadData(const std::vector<BYTE>& data);
    void SetWriteReply(BOOL result, DWORD error);
    // Later opens fail with the error (0 = they succeed again).
    void RefuseOpen(DWORD error);

    // The record.
    std::vector<Call> Calls() const;
    std::vector<Call> CallsOf(CallKind kind) const;
    std::size_t CountOf(CallKind kind) const;
    void ClearCalls();

private:
    mutable std::mutex m_lock;
    std::vector<Call> m_calls;
    std::unordered_map<DWORD, std::vector<Reply>> m_queued; // front = next
    std::unordered_map<DWORD, Reply> m_codeDefaults;
    Reply m_default;
    std::vector<BYTE> m_readData;
    std::size_t m_readAt = 0;
    BOOL m_writeResult = TRUE;
    DWORD m_writeError = 0;
    DWORD m_openError = 0;
};

} // namespace platform
