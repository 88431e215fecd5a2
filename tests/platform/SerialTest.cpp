#include "platform/io/Serial.h"

#include "platform/base/Clock.h"
#include "platform/base/Error.h"
#include "platform/io/Io.h"
#include "platform/io/SerialInternal.h"

#include "tests/common/TempRoot.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <poll.h>
#include <pty.h>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using platform::RegisterSerialPeer;

namespace {

// Keeps everything the unit did to it.
class RecordingPeer : public platform::SerialPeer {
public:
    void OnOpen() override { ++opens; }
    void OnClose() override { ++closes; }
    void OnReceive(const BYTE* data, std::size_t size) override
    {
        std::lock_guard guard(lock);
        received.append(reinterpret_cast<const char*>(data), size);
    }
    void OnStateChange(const DCB& dcb) override { lastState = dcb; }
    void OnEscape(DWORD function) override { escapes.push_back(function); }

    std::size_t Send(const std::string& text)
    {
        return SerialPeer::Send(reinterpret_cast<const BYTE*>(text.data()), text.size());
    }
    std::string Received()
    {
        std::lock_guard guard(lock);
        return received;
    }

    std::atomic<int> opens{0};
    std::atomic<int> closes{0};
    DCB lastState{};
    std::vector<DWORD> escapes;

private:
    std::mutex lock;
    std::string received;
};

// Spins until pred holds. The real-time bound only keeps a broken build
// from hanging; it is never what the test waits for.
bool Eventually(const std::function<bool()>& pred)
{
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > giveUp)
            return false;
        std::this_thread::yield();
    }
    return true;
}

HANDLE OpenPort(LPCWSTR name)
{
    return CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

void SetTimeouts(HANDLE port, DWORD interval, DWORD multiplier, DWORD constant)
{
    COMMTIMEOUTS t{interval, multiplier, constant, 0, 0};
    ASSERT_TRUE(SetCommTimeouts(port, &t));
}

DWORD InQueue(HANDLE port)
{
    COMSTAT stat{};
    DWORD errors = 0;
    EXPECT_TRUE(ClearCommError(port, &errors, &stat));
    return stat.cbInQue;
}

// A ReadFile on its own thread. A read that never ends fails the test
// instead of hanging it: its thread is then left behind.
class Reader {
public:
    Reader(HANDLE port, DWORD size) : m_state(std::make_shared<State>())
    {
        m_thread = std::thread([state = m_state, port, size] {
            std::vector<BYTE> data(size);
            DWORD got = 0;
            state->ok = ReadFile(port, data.data(), size, &got, nullptr);
            state->data.assign(data.begin(), data.begin() + got);
            state->done = true;
        });
    }
    ~Reader() { Stop(); }
    std::string Finish()
    {
        if (!Stop()) {
            ADD_FAILURE() << "the read is still waiting";
            return "<waiting>";
        }
        EXPECT_TRUE(m_state->ok);
        return m_state->data;
    }
    // For a read expected to fail: false when it is still waiting.
    bool Failed(std::string* data)
    {
        if (!Stop())
            return false;
        *data = m_state->data;
        return !m_state->ok;
    }

private:
    struct State {
        std::atomic<bool> done{false};
        BOOL ok = FALSE;
        std::string data;
    };

    bool Stop()
    {
        if (!m_thread.joinable())
            return m_state->done;
        if (!Eventually([this] { return m_state->done.load(); })) {
            m_thread.detach();
            return false;
        }
        m_thread.join();
        return true;
    }

    std::shared_ptr<State> m_state;
    std::thread m_thread;
};

// A read expected to end without help from the test.
std::string ReadNow(HANDLE port, DWORD size)
{
    return Reader(port, size).Finish();
}

bool WriteText(HANDLE port, const std::string& text)
{
    DWORD written = 0;
    return WriteFile(port, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) && written == text.size();
}

void AwaitBlockedReader()
{
    ASSERT_TRUE(Eventually([] { return platform::BlockedSerialReaderCount() == 1; }));
}

// A unit root of its own, with the peer on COM1: and no configuration.
class SerialTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(RegisterSerialPeer(u"COM1:", peer)); }
    void TearDown() override
    {
        for (LPCWSTR name : {u"COM1:", u"COM3:"})
            RegisterSerialPeer(name, nullptr);
        m_temp.Restore();
    }

    void Configure(const std::string& text)
    {
        fs::create_directories(m_root + "/config");
        std::ofstream(m_root + "/config/serial.conf") << text;
    }

    std::shared_ptr<RecordingPeer> peer = std::make_shared<RecordingPeer>();

private:
    TempRoot m_temp{"wren-serial"};
    const std::string& m_root = m_temp.Root();
};

TEST_F(SerialTest, OpensOnePeerPortAtATime)
{
    SetLastError(0);
    EXPECT_EQ(OpenPort(u"COM2:"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(peer->Send("lost"), 0u); // nobody listens yet

    HANDLE port = OpenPort(u"com1:");
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    EXPECT_EQ(peer->opens, 1);
    EXPECT_TRUE(peer->IsOpen());
    EXPECT_EQ(OpenPort(u"COM1:"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);

    EXPECT_TRUE(WriteText(port, "AT\r"));
    EXPECT_EQ(peer->Received(), "AT\r");
    EXPECT_TRUE(peer->Dtr() && peer->Rts());
    EXPECT_TRUE(EscapeCommFunction(port, CLRDTR));
    EXPECT_FALSE(peer->Dtr());
    EXPECT_TRUE(peer->Rts());
    EXPECT_EQ(peer->escapes, std::vector<DWORD>{CLRDTR});

    EXPECT_TRUE(CloseHandle(port));
    EXPECT_EQ(peer->closes, 1);
    EXPECT_FALSE(peer->IsOpen());
    port = OpenPort(u"COM1:");
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    EXPECT_EQ(peer->opens, 2);
    CloseHandle(port);
}

TEST_F(SerialTest, CommStateStartsAt9600EightNOneAndRoundTrips)
{
    HANDLE port = OpenPort(u"COM1:");
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    DCB dcb{};
    ASSERT_TRUE(GetCommState(port, &dcb));
    EXPECT_EQ(dcb.BaudRate, CBR_9600);
    EXPECT_EQ(dcb.ByteSize, 8);
    EXPECT_EQ(dcb.Parity, NOPARITY);
    EXPECT_EQ(dcb.StopBits, ONESTOPBIT);
    EXPECT_EQ(dcb.fBinary, 1u);
    COMMTIMEOUTS t{1, 1, 1, 1, 1};
    ASSERT_TRUE(GetCommTimeouts(port, &t));
    EXPECT_EQ(t.ReadIntervalTimeout | t.ReadTotalTimeoutMultiplier | t.ReadTotalTimeoutConstant
                  | t.WriteTotalTimeoutMultiplier | t.WriteTotalTimeoutConstant,
              0u);

    dcb.BaudRate = CBR_115200;
    dcb.ByteSize = 7;
    dcb.Parity = EVENPARITY;
    dcb.StopBits = TWOSTOPBITS;
    ASSERT_TRUE(SetCommState(port, &dcb));
    EXPECT_EQ(peer->lastState.BaudRate, CBR_115200);
    DCB back{};
    ASSERT_TRUE(GetCommState(port, &back));
    EXPECT_EQ(back.BaudRate, CBR_115200);
    EXPECT_EQ(back.ByteSize, 7);
    EXPECT_EQ(back.Parity, EVENPARITY);
    EXPECT_EQ(back.StopBits, TWOSTOPBITS);

    struct Case {
        const char* what;
        std::function<void(DCB&)> spoil;
    };
    const Case cases[] = {
        {"mark parity", [](DCB& d) { d.Parity = 3; }},   {"1.5 stop bits", [](DCB& d) { d.StopBits = 1; }},
        {"9 data bits", [](DCB& d) { d.ByteSize = 9; }}, {"4 data bits", [](DCB& d) { d.ByteSize = 4; }},
        {"baud 0", [](DCB& d) { d.BaudRate = 0; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DCB bad = back;
        c.spoil(bad);
        SetLastError(0);
        EXPECT_FALSE(SetCommState(port, &bad));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
        DCB kept{};
        GetCommState(port, &kept);
        EXPECT_EQ(kept.BaudRate, CBR_115200);
        EXPECT_EQ(kept.ByteSize, 7);
    }
    CloseHandle(port);
}

TEST_F(SerialTest, ReturnAtOnceGivesWhatIsBuffered)
{
    platform::ManualClock clock;
    HANDLE port = OpenPort(u"COM1:");
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    SetTimeouts(port, MAXDWORD, 0, 0);
    EXPECT_EQ(ReadNow(port, 10), "");
    peer->Send("abc");
    EXPECT_EQ(ReadNow(port, 10), "abc");
    peer->Send("defg");
    EXPECT_EQ(ReadNow(port, 2), "de");
    EXPECT_EQ(ReadNow(port, 10), "fg");
    CloseHandle(port);
}

TEST_F(SerialTest, WaitForFirstByteReturnsWhenItComesOrTheConstantRunsOut)
{
    platform::ManualClock clock;
    HANDLE port = OpenPort(u"COM1:");
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    SetTimeouts(port, MAXDWORD, MAXDWORD, 3000);

    peer->Send("xy"); // buffered bytes come back at once
    EXPECT_EQ(ReadNow(port, 10), "xy");

    {
        Reader reader(port, 10);
        AwaitBlockedReader();
        clock.Advance(2999);
        peer->Send("AB");
        EXPECT_EQ(reader.Finish(), "AB");
    }
    {
        Reader reader(port, 10);
        AwaitBlockedReader();
        clock.Advance(3000);
        EXPECT_EQ(reader.Finish(), "");
    }
    CloseHandle(port);
}

TEST_F(SerialTest, IntervalRestartsWithEachByteUntilTheTotalRunsOut)
{
    platform::ManualClock clock;
    HANDLE port = OpenPort(u"COM1:");
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    SetTimeouts(port, 50, 10, 100); // total 10 x 10 + 100 = 200 ms

    Reader reader(port, 10);
    AwaitBlockedReader();
    peer->Send("12");
    ASSERT_TRUE(Eventually([&] { return InQueue(port) == 0; }));
    // Each byte comes 49 ms after the last, inside the interval; the total
    // still ends the read at 200 ms.
    for (const char* next : {"3", "4", "5", "6"}) {
        clock.Advance(49);
        peer->Send(next);
        ASSERT_TRUE(Eventually([&] { return InQueue(port) == 0; }));
    }
    clock.Advance(3); // 199 ms
    peer->Send("7");
    ASSERT_TRUE(Eventually([&] { return InQueue(port) == 0; }));
    clock.Advance(1);
    EXPECT_EQ(reader.Finish(), "1234567");
    CloseHandle(port);
}

TEST_F(SerialTest, IntervalCountsOnlyOnceBytesHaveCome)
{
    platform::ManualClock clock;
    HANDLE port = OpenPort(u"COM1:");
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    SetTimeouts(port, 100, 0, 0); // no total

    Reader reader(port, 8);
    AwaitBlockedReader();
    clock.Advance(100000);
    peer->Send("ab");
    ASSERT_TRUE(Eventually([&] { return InQueue(port) == 0; }));
    clock.Advance(99);
    peer->Send("c");
    ASSERT_TRUE(Eventually([&] { return InQueue(port) == 0; }));
    clock.Advance(100);
    EXPECT_EQ(reader.Finish(), "abc");
    CloseHandle(port);
}

TEST_F(SerialTest, DefaultTimeoutsWaitForTheFullCount)
{
    platform::ManualClock clock;
    HANDLE port = OpenPort(u"COM1:");
    ASSERT_NE(port, INVALID_HANDLE_VALUE);

    Reader reader(port, 5);
    AwaitBlockedReader();
    peer->Send("ab");
    ASSERT_TRUE(Eventually([&] { return InQueue(port) == 0; }));
    clock.Advance(24 * 3600 * 1000);
    peer->Send("cdefg"); // more than asked: the rest stays queued
    EXPECT_EQ(reader.Finish(), "abcde");
    EXPECT_EQ(InQueue(port), 2u);
    CloseHandle(port);
}

TEST_F(SerialTest, ClosingThePortEndsABlockedRead)
{
    HANDLE port = OpenPort(u"COM1:");
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    Reader reader(port, 5); // default time-outs: waits for all five
    AwaitBlockedReader();
    peer->Send("ab");
    ASSERT_TRUE(Eventually([&] { return InQueue(port) == 0; }));
    CloseHandle(port);
    std::string data;
    EXPECT_TRUE(reader.Failed(&data));
    EXPECT_EQ(data, "ab");
    // The port is free again.
    HANDLE again = OpenPort(u"COM1:");
    EXPECT_NE(again, INVALID_HANDLE_VALUE);
    CloseHandle(again);
}

TEST_F(SerialTest, QueueIsBoundedPurgedAndReportsOverflow)
{
    HANDLE port = OpenPort(u"COM1:");
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    const std::string flood(64 * 1024 + 10, 'z');
    EXPECT_EQ(peer->Send(flood), 64u * 1024);
    COMSTAT stat{};
    DWORD errors = 0;
    ASSERT_TRUE(ClearCommError(port, &errors, &stat));
    EXPECT_EQ(errors, CE_RXOVER);
    EXPECT_EQ(stat.cbInQue, 64u * 1024);
    ASSERT_TRUE(ClearCommError(port, &errors, &stat));
    EXPECT_EQ(errors, 0u);

    ASSERT_TRUE(PurgeComm(port, PURGE_RXCLEAR | PURGE_TXCLEAR));
    EXPECT_EQ(InQueue(port), 0u);
    ASSERT_TRUE(SetupComm(port, 128 * 1024, 0));
    EXPECT_EQ(peer->Send(flood), flood.size());
    CloseHandle(port);
}

// ---- host devices ----

struct Pty {
    int master = -1;
    int slave = -1;
    std::string name;
    Pty()
    {
        char path[128] = {};
        if (openpty(&master, &slave, path, nullptr, nullptr) == 0)
            name = path;
    }
    ~Pty()
    {
        close(master);
        close(slave);
    }
    speed_t Speed() const
    {
        termios t{};
        tcgetattr(master, &t);
        return cfgetospeed(&t);
    }
    std::string Take(std::size_t size) const
    {
        std::string data;
        while (data.size() < size) {
            pollfd p{master, POLLIN, 0};
            if (poll(&p, 1, 10000) <= 0) // bounded so that a fault fails instead of hanging
                break;
            char buffer[64];
            const ssize_t n = read(master, buffer, std::min(sizeof buffer, size - data.size()));
            if (n <= 0)
                break;
            data.append(buffer, static_cast<std::size_t>(n));
        }
        return data;
    }
    void Put(const std::string& data) const
    {
        ASSERT_EQ(write(master, data.data(), data.size()), ssize_t(data.size()));
    }
};

// COM3: bound to a pseudo-terminal of its own, and opened.
class PtySerialTest : public SerialTest {
protected:
    void SetUp() override
    {
        SerialTest::SetUp();
        ASSERT_FALSE(pty.name.empty());
        Configure("COM3: " + pty.name + "\n");
        port = OpenPort(u"COM3:");
        ASSERT_NE(port, INVALID_HANDLE_VALUE) << GetLastError();
    }

    Pty pty;
    HANDLE port = INVALID_HANDLE_VALUE;
};

TEST_F(SerialTest, ConfiguredDeviceWinsOverAPeer)
{
    RegisterSerialPeer(u"COM3:", peer);
    Configure("# real modules\n\nCOM3:   /nonexistent/ttyUSB9   # gone\n");
    EXPECT_EQ(OpenPort(u"COM3:"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(peer->opens, 0);
}

TEST_F(PtySerialTest, CarriesBytesBothWaysAtTheSetRate)
{
    EXPECT_EQ(pty.Speed(), B9600);

    DCB dcb{};
    ASSERT_TRUE(GetCommState(port, &dcb));
    dcb.BaudRate = CBR_115200;
    ASSERT_TRUE(SetCommState(port, &dcb));
    EXPECT_EQ(pty.Speed(), B115200);
    dcb.BaudRate = CBR_14400; // no such termios rate
    EXPECT_FALSE(SetCommState(port, &dcb));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(pty.Speed(), B115200);

    // Raw bytes, no line discipline in the way.
    const std::string out("\x02\r\n\x03\x7f\x11", 6);
    EXPECT_TRUE(WriteText(port, out));
    EXPECT_EQ(pty.Take(out.size()), out);
    const std::string in("\x00\r\x1a\x13ok", 6);
    pty.Put(in);
    EXPECT_EQ(ReadNow(port, 6), in);

    {
        platform::ManualClock clock;
        SetTimeouts(port, MAXDWORD, MAXDWORD, 500);
        {
            Reader reader(port, 10);
            AwaitBlockedReader();
            clock.Advance(499);
            pty.Put("Q");
            EXPECT_EQ(reader.Finish(), "Q");
        }
        Reader reader(port, 10);
        AwaitBlockedReader();
        clock.Advance(500);
        EXPECT_EQ(reader.Finish(), "");
    }
    // A read without time-outs ends when the handle is closed.
    SetTimeouts(port, 0, 0, 0);
    Reader reader(port, 10);
    AwaitBlockedReader();
    CloseHandle(port);
    std::string data;
    EXPECT_TRUE(reader.Failed(&data));
}

TEST_F(PtySerialTest, CountsItsQueueAndHasNoLineErrors)
{
    pty.Put("hello");
    COMSTAT stat{};
    DWORD errors = 0xFFFF;
    ASSERT_TRUE(Eventually([&] { return ClearCommError(port, &errors, &stat) && stat.cbInQue == 5; }));
    // A pseudo-terminal keeps no line-error counts: nothing to report.
    EXPECT_EQ(errors, 0u);
    EXPECT_EQ(ReadNow(port, 5), "hello");
    EXPECT_TRUE(ClearCommError(port, nullptr, &stat));
    EXPECT_EQ(stat.cbInQue, 0u);
    CloseHandle(port);
}

TEST(SerialLineErrors, CountsThatGrewSinceTheLastReadingBecomeTheirFlags)
{
    using platform::LineErrorCounts;
    const LineErrorCounts before{3, 1, 0, 7, 2};
    struct Case {
        LineErrorCounts now;
        DWORD flags;
    };
    const Case cases[] = {
        {{3, 1, 0, 7, 2}, 0},
        {{4, 1, 0, 7, 2}, CE_FRAME},
        {{3, 2, 0, 7, 2}, CE_RXPARITY},
        {{3, 1, 1, 7, 2}, CE_OVERRUN},
        {{3, 1, 0, 9, 2}, CE_RXOVER},
        {{3, 1, 0, 7, 3}, CE_BREAK},
        {{5, 2, 1, 8, 3}, CE_FRAME | CE_RXPARITY | CE_OVERRUN | CE_RXOVER | CE_BREAK},
    };
    for (const Case& c : cases)
        EXPECT_EQ(platform::CommErrorsBetween(before, c.now), c.flags)
            << c.now.frame << " " << c.now.parity << " " << c.now.overrun << " " << c.now.bufferOverrun << " "
            << c.now.breaks;
}

} // namespace

// ---- comm events ----

namespace {

// A WaitCommEvent on its own thread; like Reader, a wait that never ends
// fails the test instead of hanging it.
class EventWaiter {
public:
    explicit EventWaiter(HANDLE port) : m_state(std::make_shared<State>())
    {
        m_thread = std::thread([state = m_state, port] {
            state->ok = WaitCommEvent(port, &state->event, nullptr);
            state->error = GetLastError();
            state->done = true;
        });
    }
    ~EventWaiter()
    {
        if (!Finish())
            m_thread.detach();
    }
    // False when the wait is still under way.
    bool Finish()
    {
        if (!m_thread.joinable())
            return m_state->done;
        if (!Eventually([this] { return m_state->done.load(); }))
            return false;
        m_thread.join();
        return true;
    }
    BOOL Ok() const { return m_state->ok; }
    DWORD Event() const { return m_state->event; }
    DWORD Error() const { return m_state->error; }

private:
    struct State {
        std::atomic<bool> done{false};
        BOOL ok = FALSE;
        DWORD event = 0xFFFF;
        DWORD error = 0;
    };
    std::shared_ptr<State> m_state;
    std::thread m_thread;
};

// What every port does with the received-character event: bytes that are
// there (whenever they came) are reported, a wait sleeps until more come,
// and a mask change ends a wait without an event.
void ExpectReceivedCharacterEvents(HANDLE port, const std::function<void(const std::string&)>& put)
{
    DWORD mask = 0xFFFF;
    DWORD event = 0;
    ASSERT_TRUE(GetCommMask(port, &mask));
    EXPECT_EQ(mask, 0u);
    EXPECT_FALSE(WaitCommEvent(port, &event, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

    ASSERT_TRUE(SetCommMask(port, EV_RXCHAR));
    ASSERT_TRUE(GetCommMask(port, &mask));
    EXPECT_EQ(mask, EV_RXCHAR);
    put("early");
    ASSERT_TRUE(Eventually([&] { return InQueue(port) == 5; }));
    EXPECT_TRUE(WaitCommEvent(port, &event, nullptr));
    EXPECT_EQ(event, EV_RXCHAR);
    SetTimeouts(port, MAXDWORD, 0, 0);
    EXPECT_EQ(ReadNow(port, 64), "early");
    {
        EventWaiter waiter(port);
        AwaitBlockedReader();
        put("x");
        ASSERT_TRUE(waiter.Finish());
        EXPECT_TRUE(waiter.Ok());
        EXPECT_EQ(waiter.Event(), EV_RXCHAR);
    }
    EXPECT_EQ(ReadNow(port, 64), "x");
    EventWaiter waiter(port);
    AwaitBlockedReader();
    ASSERT_TRUE(SetCommMask(port, 0));
    ASSERT_TRUE(waiter.Finish());
    EXPECT_TRUE(waiter.Ok());
    EXPECT_EQ(waiter.Event(), 0u);
}

} // namespace

TEST_F(SerialTest, ReceivedCharacterEventsOfAPeerPort)
{
    HANDLE port = OpenPort(u"COM1:");
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    ExpectReceivedCharacterEvents(port, [&](const std::string& text) { peer->Send(text); });
    // Closing the handle ends a wait.
    ASSERT_TRUE(SetCommMask(port, EV_RXCHAR));
    EventWaiter waiter(port);
    AwaitBlockedReader();
    CloseHandle(port);
    ASSERT_TRUE(waiter.Finish());
    EXPECT_FALSE(waiter.Ok());
    EXPECT_EQ(waiter.Error(), ERROR_OPERATION_ABORTED);
}

TEST_F(PtySerialTest, ReceivedCharacterEventsOfAHostDevice)
{
    ExpectReceivedCharacterEvents(port, [&](const std::string& text) { pty.Put(text); });
    CloseHandle(port);
}
