#include "platform/io/Device.h"

#include "platform/base/Error.h"
#include "platform/base/Text.h"
#include "platform/io/Io.h"

#include <algorithm>
#include <map>
#include <string>
#include <utility>

namespace platform {
namespace {

struct Devices {
    std::mutex lock;
    std::map<std::u16string, std::shared_ptr<Device>, IgnoringCaseLess> byName;
};

// Never destroyed: detached threads may still open devices while the
// process exits.
Devices& GetDevices()
{
    static Devices* devices = new Devices;
    return *devices;
}

// One open handle to a device. The handle table and every call in progress
// hold it, so Close runs once, after the last call on the handle.
class DeviceObject final : public IoObject {
public:
    explicit DeviceObject(std::shared_ptr<Device> device) : m_device(std::move(device)) {}
    ~DeviceObject() override { m_device->Close(); }

    BOOL Read(void* buffer, DWORD size, DWORD* read) override
    {
        return m_device->Read(static_cast<BYTE*>(buffer), size, read);
    }
    BOOL Write(const void* data, DWORD size, DWORD* written) override
    {
        return m_device->Write(static_cast<const BYTE*>(data), size, written);
    }
    BOOL Control(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize, DWORD* returned) override
    {
        return m_device->IoControl(code, static_cast<const BYTE*>(in), inSize, static_cast<BYTE*>(out), outSize,
                                   returned);
    }

private:
    std::shared_ptr<Device> m_device;
};

} // namespace

Device::~Device() = default;

bool Device::Open(DWORD, DWORD)
{
    return true;
}

BOOL Device::IoControl(DWORD, const BYTE*, DWORD, BYTE*, DWORD, DWORD*)
{
    SetLastError(ERROR_INVALID_FUNCTION);
    return FALSE;
}

BOOL Device::Read(BYTE*, DWORD, DWORD*)
{
    SetLastError(ERROR_INVALID_FUNCTION);
    return FALSE;
}

BOOL Device::Write(const BYTE*, DWORD, DWORD*)
{
    SetLastError(ERROR_INVALID_FUNCTION);
    return FALSE;
}

void Device::Close() {}

void RegisterDevice(LPCWSTR name, std::shared_ptr<Device> device)
{
    if (!name)
        return;
    Devices& devices = GetDevices();
    std::shared_ptr<Device> previous; // released outside the lock
    std::lock_guard<std::mutex> guard(devices.lock);
    auto it = devices.byName.find(name);
    if (it != devices.byName.end()) {
        previous = std::move(it->second);
        devices.byName.erase(it);
    }
    if (device)
        devices.byName.emplace(name, std::move(device));
}

void UnregisterDevice(LPCWSTR name)
{
    RegisterDevice(name, nullptr);
}

std::shared_ptr<Device> FindDevice(LPCWSTR name)
{
    if (!name)
        return nullptr;
    Devices& devices = GetDevices();
    std::lock_guard<std::mutex> guard(devices.lock);
    auto it = devices.byName.find(name);
    return it != devices.byName.end() ? it->second : nullptr;
}

std::shared_ptr<IoObject> OpenDeviceObject(LPCWSTR name, DWORD access, DWORD share)
{
    std::shared_ptr<Device> device = FindDevice(name);
    if (!device) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    SetLastError(ERROR_SUCCESS);
    if (!device->Open(access, share)) {
        if (GetLastError() == ERROR_SUCCESS)
            SetLastError(ERROR_GEN_FAILURE);
        return nullptr;
    }
    return std::make_shared<DeviceObject>(std::move(device));
}

// ---- RecordingDevice ----

namespace {

RecordingDevice::Call NewCall(RecordingDevice::CallKind kind)
{
    RecordingDevice::Call call;
    call.kind = kind;
    return call;
}

} // namespace

bool RecordingDevice::Open(DWORD access, DWORD share)
{
    std::lock_guard<std::mutex> guard(m_lock);
    Call call = NewCall(CallKind::Open);
    call.access = access;
    call.share = share;
    m_calls.push_back(std::move(call));
    if (m_openError) {
        SetLastError(m_openError);
        return false;
    }
    return true;
}

BOOL RecordingDevice::IoControl(DWORD code, const BYTE* in, DWORD inSize, BYTE* out, DWORD outSize, DWORD* returned)
{
    Reply reply;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        Call call = NewCall(CallKind::IoControl);
        call.code = code;
        if (in)
            call.input.assign(in, in + inSize);
        call.outSize = outSize;
        m_calls.push_back(std::move(call));
        auto queued = m_queued.find(code);
        auto codeDefault = m_codeDefaults.find(code);
        if (queued != m_queued.end() && !queued->second.empty()) {
            reply = std::move(queued->second.front());
            queued->second.erase(queued->second.begin());
        } else if (codeDefault != m_codeDefaults.end()) {
            reply = codeDefault->second;
        } else {
            reply = m_default;
        }
    }
    DWORD copied = out ? std::min<DWORD>(outSize, static_cast<DWORD>(reply.output.size())) : 0;
    std::copy_n(reply.output.begin(), copied, out);
    if (returned)
        *returned = copied;
    if (!reply.result)
        SetLastError(reply.error);
    return reply.result;
}

BOOL RecordingDevice::Read(BYTE* buffer, DWORD size, DWORD* read)
{
    std::lock_guard<std::mutex> guard(m_lock);
    Call call = NewCall(CallKind::Read);
    call.outSize = size;
    m_calls.push_back(std::move(call));
    DWORD count = buffer ? std::min<DWORD>(size, static_cast<DWORD>(m_readData.size() - m_readAt)) : 0;
    std::copy_n(m_readData.begin() + static_cast<std::ptrdiff_t>(m_readAt), count, buffer);
    m_readAt += count;
    if (m_readAt == m_readData.size()) {
        m_readData.clear();
        m_readAt = 0;
    }
    if (read)
        *read = count;
    return TRUE;
}

BOOL RecordingDevice::Write(const BYTE* data, DWORD size, DWORD* written)
{
    std::lock_guard<std::mutex> guard(m_lock);
    Call call = NewCall(CallKind::Write);
    if (data)
        call.input.assign(data, data + size);
    m_calls.push_back(std::move(call));
    if (!m_writeResult) {
        SetLastError(m_writeError);
        return FALSE;
    }
    if (written)
        *written = size;
    return TRUE;
}

void RecordingDevice::Close()
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_calls.push_back(NewCall(CallKind::Close));
}

void RecordingDevice::QueueReply(DWORD code, Reply reply)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_queued[code].push_back(std::move(reply));
}

void RecordingDevice::SetDefaultReply(DWORD code, Reply reply)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_codeDefaults[code] = std::move(reply);
}

void RecordingDevice::SetDefaultReply(Reply reply)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_default = std::move(reply);
}

void RecordingDevice::AddReadData(const std::vector<BYTE>& data)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_readData.insert(m_readData.end(), data.begin(), data.end());
}

void RecordingDevice::SetWriteReply(BOOL result, DWORD error)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_writeResult = result;
    m_writeError = error;
}

void RecordingDevice::RefuseOpen(DWORD error)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_openError = error;
}

std::vector<RecordingDevice::Call> RecordingDevice::Calls() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_calls;
}

std::vector<RecordingDevice::Call> RecordingDevice::CallsOf(CallKind kind) const
{
    std::lock_guard<std::mutex> guard(m_lock);
    std::vector<Call> calls;
    for (const Call& call : m_calls) {
        if (call.kind == kind)
            calls.push_back(call);
    }
    return calls;
}

std::size_t RecordingDevice::CountOf(CallKind kind) const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return static_cast<std::size_t>(
        std::count_if(m_calls.begin(), m_calls.end(), [kind](const Call& call) { return call.kind == kind; }));
}

void RecordingDevice::ClearCalls()
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_calls.clear();
}

} // namespace platform
