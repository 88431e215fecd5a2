#include "platform/io/Device.h"

#include "platform/base/Error.h"
#include "platform/io/Io.h"
#include "platform/os/Sync.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

using platform::RecordingDevice;
using CallKind = platform::RecordingDevice::CallKind;

namespace {

// Registers a device for one test and removes it afterwards.
struct Registered {
    Registered(LPCWSTR name, std::shared_ptr<platform::Device> device) : m_name(name)
    {
        platform::RegisterDevice(name, std::move(device));
    }
    ~Registered() { platform::UnregisterDevice(m_name); }
    LPCWSTR m_name;
};

HANDLE Open(LPCWSTR name)
{
    return CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

TEST(Device, UnknownOrRefusingDriversDoNotOpen)
{
    const std::size_t handles = platform::OpenHandleCount();
    SetLastError(0);
    EXPECT_EQ(Open(u"XYZ9:"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);

    auto device = std::make_shared<RecordingDevice>();
    Registered registered(u"DMB1:", device);
    device->RefuseOpen(ERROR_DEV_NOT_EXIST);
    EXPECT_EQ(Open(u"DMB1:"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_DEV_NOT_EXIST);
    EXPECT_EQ(device->CountOf(CallKind::Open), 1u);
    EXPECT_EQ(device->CountOf(CallKind::Close), 0u); // a refused open is not closed
    EXPECT_EQ(platform::OpenHandleCount(), handles);
}

TEST(Device, CallsReachTheDeviceAndItsRecord)
{
    auto device = std::make_shared<RecordingDevice>();
    Registered registered(u"NEC1:", device);
    HANDLE handle = Open(u"nec1:"); // names ignore case
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);

    constexpr DWORD kCode = 0xC1000010;
    device->QueueReply(kCode, {{0x11, 0x22, 0x33}, TRUE, 0});
    device->QueueReply(kCode, {{}, FALSE, ERROR_IO_DEVICE});
    device->SetDefaultReply(kCode, {{0x44}, TRUE, 0});

    struct Expected {
        BOOL result;
        std::vector<BYTE> output;
        DWORD error;
    };
    const Expected expected[] = {
        {TRUE, {0x11, 0x22}, 0}, // cut to the out size
        {FALSE, {}, ERROR_IO_DEVICE},
        {TRUE, {0x44}, 0},
        {TRUE, {0x44}, 0},
    };
    for (const Expected& e : expected) {
        BYTE in[2] = {0x01, 0x02};
        BYTE out[2] = {};
        DWORD returned = 99;
        SetLastError(0);
        EXPECT_EQ(DeviceIoControl(handle, kCode, in, sizeof in, out, sizeof out, &returned, nullptr), e.result);
        EXPECT_EQ(std::vector<BYTE>(out, out + returned), e.output);
        EXPECT_EQ(GetLastError(), e.error);
    }
    // Another code gets the general default: success, no output.
    DWORD returned = 99;
    EXPECT_TRUE(DeviceIoControl(handle, 0xC1000020, nullptr, 0, nullptr, 0, &returned, nullptr));
    EXPECT_EQ(returned, 0u);

    device->AddReadData({1, 2, 3, 4, 5});
    BYTE buffer[3];
    DWORD count = 0;
    EXPECT_TRUE(ReadFile(handle, buffer, 3, &count, nullptr));
    EXPECT_EQ(std::vector<BYTE>(buffer, buffer + count), (std::vector<BYTE>{1, 2, 3}));
    EXPECT_TRUE(ReadFile(handle, buffer, 3, &count, nullptr));
    EXPECT_EQ(std::vector<BYTE>(buffer, buffer + count), (std::vector<BYTE>{4, 5}));
    EXPECT_TRUE(ReadFile(handle, buffer, 3, &count, nullptr));
    EXPECT_EQ(count, 0u);

    const BYTE frame[] = {0xE1, 0x03, 0x10};
    EXPECT_TRUE(WriteFile(handle, frame, sizeof frame, &count, nullptr));
    EXPECT_EQ(count, 3u);
    device->SetWriteReply(FALSE, ERROR_IO_DEVICE);
    EXPECT_FALSE(WriteFile(handle, frame, 1, &count, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_IO_DEVICE);

    EXPECT_TRUE(CloseHandle(handle));

    const std::vector<RecordingDevice::Call> calls = device->Calls();
    std::vector<CallKind> kinds;
    for (const auto& call : calls)
        kinds.push_back(call.kind);
    EXPECT_EQ(kinds,
              (std::vector<CallKind>{CallKind::Open, CallKind::IoControl, CallKind::IoControl, CallKind::IoControl,
                                     CallKind::IoControl, CallKind::IoControl, CallKind::Read, CallKind::Read,
                                     CallKind::Read, CallKind::Write, CallKind::Write, CallKind::Close}));
    EXPECT_EQ(calls[0].access, GENERIC_READ | GENERIC_WRITE);
    EXPECT_EQ(calls[1].code, kCode);
    EXPECT_EQ(calls[1].input, (std::vector<BYTE>{0x01, 0x02}));
    EXPECT_EQ(calls[1].outSize, 2u);
    EXPECT_EQ(calls[5].code, 0xC1000020u);
    EXPECT_EQ(calls[6].outSize, 3u);
    EXPECT_EQ(calls[9].input, (std::vector<BYTE>(frame, frame + 3)));
}

TEST(Device, EachHandleClosesOnceAfterItsLastCall)
{
    // A device whose control call blocks until the test lets it go.
    struct Blocking : platform::Device {
        HANDLE entered = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        std::atomic<int> closes{0};
        ~Blocking() override
        {
            CloseHandle(entered);
            CloseHandle(release);
        }
        BOOL IoControl(DWORD, const BYTE*, DWORD, BYTE*, DWORD, DWORD*) override
        {
            SetEvent(entered);
            WaitForSingleObject(release, INFINITE);
            return TRUE;
        }
        void Close() override { ++closes; }
    };
    auto device = std::make_shared<Blocking>();
    Registered registered(u"DVD1:", device);
    HANDLE first = Open(u"DVD1:");
    HANDLE second = Open(u"DVD1:");
    ASSERT_NE(first, INVALID_HANDLE_VALUE);
    ASSERT_NE(second, INVALID_HANDLE_VALUE);
    EXPECT_NE(first, second);

    EXPECT_TRUE(CloseHandle(second));
    EXPECT_EQ(device->closes, 1);

    std::thread call([&] { DeviceIoControl(first, 1, nullptr, 0, nullptr, 0, nullptr, nullptr); });
    WaitForSingleObject(device->entered, INFINITE);
    EXPECT_TRUE(CloseHandle(first));
    EXPECT_FALSE(CloseHandle(first));
    EXPECT_EQ(device->closes, 1); // the call in progress still holds the handle's device
    SetEvent(device->release);
    call.join();
    EXPECT_EQ(device->closes, 2);
}

TEST(Device, UnregisteredDeviceServesOpenHandlesOnly)
{
    auto device = std::make_shared<RecordingDevice>();
    platform::RegisterDevice(u"CST1:", device);
    HANDLE handle = Open(u"CST1:");
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    platform::UnregisterDevice(u"cst1:");

    EXPECT_EQ(Open(u"CST1:"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(DeviceIoControl(handle, 0xC2000001, nullptr, 0, nullptr, 0, nullptr, nullptr));
    EXPECT_TRUE(CloseHandle(handle));
    EXPECT_EQ(device->CountOf(CallKind::IoControl), 1u);
    EXPECT_EQ(device->CountOf(CallKind::Close), 1u);
}

TEST(Device, CallsFromManyThreadsAreAllRecorded)
{
    auto device = std::make_shared<RecordingDevice>();
    Registered registered(u"ASP1:", device);
    HANDLE handle = Open(u"ASP1:");
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    constexpr int kThreads = 4, kCalls = 200;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kCalls; ++i) {
                BYTE in = static_cast<BYTE>(t);
                DeviceIoControl(handle, 0xC4000000 + t, &in, 1, nullptr, 0, nullptr, nullptr);
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_TRUE(CloseHandle(handle));
    const auto calls = device->CallsOf(CallKind::IoControl);
    ASSERT_EQ(calls.size(), static_cast<std::size_t>(kThreads * kCalls));
    for (const auto& call : calls)
        EXPECT_EQ(call.code, 0xC4000000u + call.input.at(0));
}

TEST(Device, ABareDeviceRefusesWhatItDoesNotImplement)
{
    Registered registered(u"RMT1:", std::make_shared<platform::Device>());
    HANDLE handle = Open(u"RMT1:");
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    BYTE buffer[4];
    DWORD count = 7;
    EXPECT_FALSE(ReadFile(handle, buffer, sizeof buffer, &count, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_FUNCTION);
    EXPECT_EQ(count, 0u);
    EXPECT_FALSE(WriteFile(handle, buffer, sizeof buffer, &count, nullptr));
    EXPECT_FALSE(DeviceIoControl(handle, 1, nullptr, 0, nullptr, 0, &count, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_FUNCTION);
    EXPECT_TRUE(CloseHandle(handle));
}

} // namespace
