// The simulated Bluetooth module's line: it hears only 115200 baud with the
// parity of its mode, answers the wake-up and the H4 vendor commands in
// their order, and its loader opens link establishment once the line is at
// even parity. (The download itself is tested with the updater.)
#include "sim/BluetoothModule.h"

#include "platform/io/Io.h"
#include "platform/io/Serial.h"

#include <gtest/gtest.h>

#include <vector>

using sim::CBluetoothModule;

namespace {

using Bytes = std::vector<BYTE>;

class BluetoothModuleTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_port = CreateFileW(u"COM3:", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(m_port, INVALID_HANDLE_VALUE);
        const COMMTIMEOUTS timeouts{MAXDWORD, 0, 0, 0, 0};
        ASSERT_TRUE(SetCommTimeouts(m_port, &timeouts));
    }
    void TearDown() override
    {
        CloseHandle(m_port);
        CBluetoothModule::Uninstall();
    }

    void Line(DWORD baud, BYTE parity)
    {
        DCB dcb{};
        ASSERT_TRUE(GetCommState(m_port, &dcb));
        dcb.BaudRate = baud;
        dcb.Parity = parity;
        ASSERT_TRUE(SetCommState(m_port, &dcb));
    }
    // Writes and returns what the module answered at once.
    Bytes Exchange(const Bytes& out)
    {
        DWORD done = 0;
        EXPECT_TRUE(WriteFile(m_port, out.data(), static_cast<DWORD>(out.size()), &done, nullptr));
        return Take();
    }
    Bytes Take()
    {
        Bytes in(256);
        DWORD got = 0;
        EXPECT_TRUE(ReadFile(m_port, in.data(), static_cast<DWORD>(in.size()), &got, nullptr));
        in.resize(got);
        return in;
    }
    static Bytes Command(BYTE type, BYTE request)
    {
        return {0x01, 0x00, 0xFC, 9, 0xCC, type, request, 0, 0, 0, 0, 0, 0};
    }

    std::shared_ptr<CBluetoothModule> m_module = CBluetoothModule::Install();
    HANDLE m_port = INVALID_HANDLE_VALUE;
};

const Bytes kWakeUp = {0x01, 0xCD, 0xFF, 0xCD, 0x01, 0x7A};
const Bytes kTaken = {0x04, 0x0F, 0x04, 0x00, 0x01, 0x00, 0xFC};
const Bytes kRefused = {0x04, 0x0F, 0x04, 0x01, 0x01, 0x00, 0xFC};

} // namespace

TEST_F(BluetoothModuleTest, HearsOnlyItsLineSettings)
{
    EXPECT_TRUE(Exchange(kWakeUp).empty()); // 9600 baud
    Line(CBR_115200, EVENPARITY);
    EXPECT_TRUE(Exchange(kWakeUp).empty());
    Line(CBR_115200, NOPARITY);
    EXPECT_EQ(Exchange(kWakeUp), (Bytes{0xCD, 0x02, 0xD4, 0x00}));
    EXPECT_EQ(m_module->CurrentStage(), CBluetoothModule::Stage::Awake);
}

TEST_F(BluetoothModuleTest, TakesTheVendorCommandsInOrderAndStartsItsLoaderAtEvenParity)
{
    Line(CBR_115200, NOPARITY);
    EXPECT_TRUE(Exchange(Command(0xC1, 8)).empty()); // asleep
    Exchange(kWakeUp);
    EXPECT_EQ(Exchange(Command(0x41, 7)), kRefused); // not detached yet
    const Bytes info = Exchange(Command(0xC1, 8));
    ASSERT_EQ(info.size(), 3u + 21);
    EXPECT_EQ(Bytes(info.begin(), info.begin() + 4), (Bytes{0x04, 0xFF, 21, 0xCC}));
    EXPECT_EQ(Exchange(Command(0x21, 0)), kTaken);
    EXPECT_EQ(Exchange(Command(0x41, 7)), kTaken);
    EXPECT_EQ(m_module->CurrentStage(), CBluetoothModule::Stage::Loader);
    // The loader waits for even parity, then sends sync.
    EXPECT_TRUE(Take().empty());
    Line(CBR_115200, EVENPARITY);
    EXPECT_EQ(Take(), (Bytes{0xC0, 0x40, 0x41, 0x00, 0x7E, 0xDA, 0xDC, 0xED, 0xED, 0xA9, 0x7A, 0xC0}));
    EXPECT_EQ(m_module->ParityChanges(), 1);
}
