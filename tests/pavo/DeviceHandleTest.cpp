#include "Lib_cpp/core/DeviceHandle.h"

#include "platform/base/Error.h"
#include "platform/base/Handle.h"
#include "platform/io/Device.h"
#include "platform/io/Io.h"
#include "platform/io/Serial.h"
#include "platform/os/Mapping.h"
#include "platform/os/Sync.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

namespace {

using platform::RecordingDevice;
using Kind = RecordingDevice::CallKind;

constexpr const WCHAR* kDriver = u"TST1:";
constexpr const WCHAR* kPort = u"COM3:";

// ---- IxDeviceHandle ----

class DeviceHandleTest : public testing::Test {
protected:
    void SetUp() override { platform::RegisterDevice(kDriver, m_device); }
    void TearDown() override { platform::UnregisterDevice(kDriver); }

    std::shared_ptr<RecordingDevice> m_device = std::make_shared<RecordingDevice>();
};

TEST_F(DeviceHandleTest, OpenTwiceKeepsOneHandle)
{
    IxDeviceHandle device;
    EXPECT_FALSE(device.IsOpen());
    ASSERT_TRUE(device.Open(kDriver));
    HANDLE first = device.Handle();
    EXPECT_TRUE(device.Open(kDriver));
    EXPECT_EQ(device.Handle(), first);
    ASSERT_EQ(m_device->CountOf(Kind::Open), 1u);
    RecordingDevice::Call open = m_device->CallsOf(Kind::Open)[0];
    EXPECT_EQ(open.access, GENERIC_READ | GENERIC_WRITE);
    EXPECT_EQ(open.share, 0u);

    device.CloseHandleSafe();
    EXPECT_FALSE(device.IsOpen());
    EXPECT_EQ(m_device->CountOf(Kind::Close), 1u);
    device.CloseHandleSafe(); // closing again does nothing
    EXPECT_EQ(m_device->CountOf(Kind::Close), 1u);
}

TEST_F(DeviceHandleTest, ControlCalls)
{
    m_device->SetDefaultReply(0x20, {{0xAA, 0xBB}, TRUE, 0});
    IxDeviceHandle device;
    ASSERT_TRUE(device.Open(kDriver));

    EXPECT_TRUE(device.IoctlByte(0x10, 0x101));
    BYTE in[3] = {1, 2, 3};
    EXPECT_TRUE(device.IoctlIn(0x11, in, 3));
    BYTE out[2] = {};
    EXPECT_TRUE(device.IoctlOut(0x20, out, 2));
    EXPECT_EQ(out[0], 0xAA);
    EXPECT_EQ(out[1], 0xBB);
    DWORD returned = 0;
    EXPECT_TRUE(device.Ioctl(0x20, in, 1, out, 2, &returned));
    EXPECT_EQ(returned, 2u);

    std::vector<RecordingDevice::Call> calls = m_device->CallsOf(Kind::IoControl);
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].code, 0x10u);
    EXPECT_EQ(calls[0].input, std::vector<BYTE>{0x01}); // the low byte only
    EXPECT_EQ(calls[1].input, (std::vector<BYTE>{1, 2, 3}));
    EXPECT_EQ(calls[1].outSize, 0u);
    EXPECT_TRUE(calls[2].input.empty());
    EXPECT_EQ(calls[2].outSize, 2u);
}

TEST_F(DeviceHandleTest, ClosedHandleAnswersZeroWithoutTheDevice)
{
    IxDeviceHandle never;
    IxDeviceHandle closed;
    ASSERT_TRUE(closed.Open(kDriver));
    closed.CloseHandleSafe();
    m_device->ClearCalls();

    for (IxDeviceHandle* device : {&never, &closed}) {
        BYTE buffer[4] = {};
        DWORD returned = 99;
        EXPECT_FALSE(device->Ioctl(1, buffer, 4, buffer, 4, &returned));
        EXPECT_EQ(returned, 99u); // not even the returned count is touched
        EXPECT_FALSE(device->IoctlIn(1, buffer, 4));
        EXPECT_FALSE(device->IoctlOut(1, buffer, 4));
        EXPECT_FALSE(device->IoctlByte(1, 1));
    }
    EXPECT_TRUE(m_device->Calls().empty());
}

TEST_F(DeviceHandleTest, FailedOpenStaysClosedAndDestructorCloses)
{
    IxDeviceHandle missing;
    EXPECT_FALSE(missing.Open(u"NON1:"));
    EXPECT_FALSE(missing.IsOpen());
    EXPECT_EQ(missing.Handle(), INVALID_HANDLE_VALUE);

    std::size_t handles = platform::OpenHandleCount();
    {
        IxDeviceHandle device;
        ASSERT_TRUE(device.Open(kDriver));
    }
    EXPECT_EQ(m_device->CountOf(Kind::Close), 1u);
    EXPECT_EQ(platform::OpenHandleCount(), handles);
}

// ---- IxSerialComm ----

// A serial peer that keeps what the unit wrote.
class EchoPeer : public platform::SerialPeer {
public:
    void OnReceive(const BYTE* data, std::size_t size) override
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_received.insert(m_received.end(), data, data + size);
    }
    std::vector<BYTE> Received()
    {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_received;
    }

private:
    std::mutex m_lock;
    std::vector<BYTE> m_received;
};

class SerialCommTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(platform::RegisterSerialPeer(kPort, m_peer)); }
    void TearDown() override { platform::RegisterSerialPeer(kPort, nullptr); }

    std::shared_ptr<EchoPeer> m_peer = std::make_shared<EchoPeer>();
};

TEST_F(SerialCommTest, LowestBaudBitDecides)
{
    struct Case {
        DWORD flags;
        DWORD baud;
    };
    const Case cases[] = {
        {IXCOMM_9600 | IXCOMM_115200, 9600}, {IXCOMM_115200, 115200},
        {IXCOMM_110 | IXCOMM_256000, 110},   {IXCOMM_256000, 256000},
        {IXCOMM_57600 | 0xFFFF, 57600}, // bits below 16 are not rates
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.flags);
        EXPECT_EQ(IxSerialComm::BaudFromFlags(c.flags), c.baud);
        IxSerialComm comm;
        ASSERT_TRUE(comm.Open(kPort, c.flags));
        DCB dcb = {};
        ASSERT_TRUE(GetCommState(comm.Handle(), &dcb));
        EXPECT_EQ(dcb.BaudRate, c.baud);
        EXPECT_EQ(dcb.ByteSize, 8);
        EXPECT_EQ(dcb.Parity, NOPARITY);
        EXPECT_EQ(dcb.StopBits, ONESTOPBIT);
        EXPECT_EQ(dcb.fBinary, 1u);
    }
    EXPECT_EQ(IxSerialComm::BaudFromFlags(0xC000FFFF), 0u); // no rate bit
}

TEST_F(SerialCommTest, NoRateBitKeepsThePortsRateAndOpenTwiceChangesNothing)
{
    IxSerialComm comm;
    ASSERT_TRUE(comm.Open(kPort, 0));
    DCB dcb = {};
    ASSERT_TRUE(GetCommState(comm.Handle(), &dcb));
    EXPECT_EQ(dcb.BaudRate, 9600u); // a new port's rate
    HANDLE handle = comm.Handle();
    dcb.BaudRate = 38400;
    ASSERT_TRUE(SetCommState(comm.Handle(), &dcb));

    EXPECT_TRUE(comm.Open(kPort, IXCOMM_115200));
    EXPECT_EQ(comm.Handle(), handle);
    ASSERT_TRUE(GetCommState(comm.Handle(), &dcb));
    EXPECT_EQ(dcb.BaudRate, 38400u);
}

TEST_F(SerialCommTest, Timeouts)
{
    struct Case {
        int a, b;
        DWORD interval, multiplier, constant;
    };
    const Case cases[] = {
        {-2, 500, MAXDWORD, 0, 0}, // return at once; b ignored
        {-1000, 7, MAXDWORD, 0, 0},
        {-1, 250, MAXDWORD, MAXDWORD, 250}, // wait up to b for the first byte
        {0, 3, 0, 3, 0},
        {20, 5, 20, 5, 0},
    };
    IxSerialComm comm;
    ASSERT_TRUE(comm.Open(kPort, IXCOMM_9600));
    COMMTIMEOUTS write = {1, 2, 3, 44, 55};
    ASSERT_TRUE(SetCommTimeouts(comm.Handle(), &write));
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.a << ", " << c.b);
        ASSERT_TRUE(comm.SetTimeouts(c.a, c.b));
        COMMTIMEOUTS t = {};
        ASSERT_TRUE(GetCommTimeouts(comm.Handle(), &t));
        EXPECT_EQ(t.ReadIntervalTimeout, c.interval);
        EXPECT_EQ(t.ReadTotalTimeoutMultiplier, c.multiplier);
        EXPECT_EQ(t.ReadTotalTimeoutConstant, c.constant);
        EXPECT_EQ(t.WriteTotalTimeoutMultiplier, 44u); // write time-outs stay
        EXPECT_EQ(t.WriteTotalTimeoutConstant, 55u);
    }
}

TEST_F(SerialCommTest, ReadAndWrite)
{
    IxSerialComm comm;
    ASSERT_TRUE(comm.Open(kPort, IXCOMM_115200));
    ASSERT_TRUE(comm.SetTimeouts(-2, 0));
    const BYTE frame[] = {0x02, 0x10, 0x03};
    EXPECT_EQ(comm.Write(frame, 3), 3u);
    EXPECT_EQ(m_peer->Received(), (std::vector<BYTE>{0x02, 0x10, 0x03}));

    BYTE buffer[8] = {};
    EXPECT_EQ(comm.Read(buffer, 8), 0u); // nothing buffered: at once
    const BYTE reply[] = {0x06, 0x07};
    ASSERT_EQ(m_peer->Send(reply, 2), 2u);
    EXPECT_EQ(comm.Read(buffer, 8), 2u);
    EXPECT_EQ(buffer[0], 0x06);
    EXPECT_EQ(buffer[1], 0x07);

    // A failing platform call reports 0xFFFFFFFF.
    CloseHandle(comm.Handle());
    EXPECT_EQ(comm.Read(buffer, 8), IxSerialComm::kFailed);
    EXPECT_EQ(comm.Write(frame, 3), IxSerialComm::kFailed);
}

TEST_F(SerialCommTest, FailedOpenLeavesItClosed)
{
    IxSerialComm missing;
    EXPECT_FALSE(missing.Open(u"COM7:", IXCOMM_9600)); // no peer, no device
    EXPECT_FALSE(missing.IsOpen());

    IxSerialComm first;
    ASSERT_TRUE(first.Open(kPort, IXCOMM_9600));
    IxSerialComm second;
    EXPECT_FALSE(second.Open(kPort, IXCOMM_9600)); // one handle per port
    EXPECT_FALSE(second.IsOpen());

    // A closed port answers 0 without reaching the platform.
    BYTE buffer[2] = {};
    EXPECT_EQ(second.Read(buffer, 2), 0u);
    EXPECT_EQ(second.Write(buffer, 2), 0u);
    EXPECT_FALSE(second.SetTimeouts(-2, 0));

    first.Close();
    EXPECT_FALSE(first.IsOpen());
    EXPECT_FALSE(m_peer->IsOpen());
    EXPECT_TRUE(second.Open(kPort, IXCOMM_9600));
}

// ---- IxSharedMemory ----

TEST(SharedMemoryTest, CreateShareAndRelease)
{
    std::size_t handles = platform::OpenHandleCount();
    std::size_t views = platform::MappedViewCount();
    {
        IxSharedMemory first;
        BOOL existed = TRUE;
        ASSERT_TRUE(first.Create(u"DeviceHandleTest.Block", 256, &existed));
        EXPECT_FALSE(existed);
        EXPECT_EQ(first.Size(), 256u);
        std::strcpy(static_cast<char*>(first.Data()), "status");

        IxSharedMemory second;
        ASSERT_TRUE(second.Create(u"DeviceHandleTest.Block", 256, &existed));
        EXPECT_TRUE(existed);
        EXPECT_STREQ(static_cast<const char*>(second.Data()), "status");
        // A larger view of the same block would overrun it: refused.
        IxSharedMemory larger;
        EXPECT_FALSE(larger.Create(u"DeviceHandleTest.Block", 4096, &existed));
        EXPECT_EQ(larger.Data(), nullptr);

        HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        ASSERT_TRUE(second.AttachHandle(event));
        EXPECT_EQ(second.Attached(), event);
        second.Release();
        EXPECT_EQ(second.Data(), nullptr);
        EXPECT_EQ(second.Mapping(), nullptr);
        EXPECT_EQ(second.Attached(), nullptr);
        EXPECT_EQ(second.Size(), 0u);
        EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_FAILED); // the attached handle is closed
        second.Release();                                      // twice is harmless

        // The first holder still sees the block.
        EXPECT_STREQ(static_cast<const char*>(first.Data()), "status");
    } // destructors release
    EXPECT_EQ(platform::OpenHandleCount(), handles);
    EXPECT_EQ(platform::MappedViewCount(), views);
}

} // namespace
