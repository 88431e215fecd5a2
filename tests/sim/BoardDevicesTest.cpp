// The run-time drivers of the board: every control code with its sizes and
// ranges, the micom's status block across a restart, and the messages the
// drivers post to the main window.
#include "sim/AudioProcessor.h"
#include "sim/ConnectionStatus.h"
#include "sim/Micom.h"
#include "sim/RemoteControl.h"

#include "platform/base/Error.h"
#include "platform/io/Io.h"
#include "platform/io/RawDisk.h"
#include "platform/ui/Window.h"
#include "tests/common/TempFolder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

HANDLE Open(LPCWSTR name)
{
    return CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

// The result of one call: 0 on success, else the last error.
DWORD Call(HANDLE device, DWORD code, std::vector<BYTE> in, DWORD outSize, std::vector<BYTE>* out = nullptr)
{
    std::vector<BYTE> buffer(outSize);
    DWORD returned = 0;
    const BOOL ok = DeviceIoControl(device, code, in.empty() ? nullptr : in.data(), static_cast<DWORD>(in.size()),
                                    buffer.empty() ? nullptr : buffer.data(), outSize, &returned, nullptr);
    if (out)
        *out = std::vector<BYTE>(buffer.begin(), buffer.begin() + returned);
    return ok ? 0 : GetLastError();
}

std::vector<BYTE> Bytes(DWORD size, BYTE value = 0)
{
    return std::vector<BYTE>(size, value);
}

struct Case {
    DWORD code;
    std::vector<BYTE> in;
    DWORD outSize;
    DWORD error; // 0: taken
};

void RunCases(LPCWSTR driver, const std::vector<Case>& cases)
{
    HANDLE device = Open(driver);
    ASSERT_NE(INVALID_HANDLE_VALUE, device);
    for (const Case& c : cases)
        EXPECT_EQ(c.error, Call(device, c.code, c.in, c.outSize))
            << std::hex << "code 0x" << c.code << std::dec << " in " << c.in.size() << " out " << c.outSize;
    CloseHandle(device);
}

// The main window the drivers post to, and what reached it.
class PlayerWindow {
public:
    PlayerWindow()
    {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.lpszClassName = u"PLAYER";
        RegisterClassW(&wc);
        m_hwnd = CreateWindowExW(0, u"PLAYER", u"PLAYER", 0, 0, 0, 800, 480, nullptr, nullptr, nullptr, nullptr);
    }
    ~PlayerWindow() { DestroyWindow(m_hwnd); }
    HWND Handle() const { return m_hwnd; }

    struct Message {
        UINT message;
        WPARAM code;
        LPARAM value;
        bool operator==(const Message&) const = default;
    };
    std::vector<Message> Take()
    {
        std::vector<Message> seen;
        MSG msg;
        while (PeekMessageW(&msg, m_hwnd, 0, 0, PM_REMOVE))
            seen.push_back({msg.message, msg.wParam, msg.lParam});
        return seen;
    }

private:
    HWND m_hwnd = nullptr;
};

std::vector<BYTE> HandleBytes(HWND hwnd)
{
    std::vector<BYTE> bytes(sizeof(HWND));
    std::memcpy(bytes.data(), &hwnd, sizeof(HWND));
    return bytes;
}

DWORD Code(MicomIoctl code)
{
    return static_cast<DWORD>(code);
}

TEST(MicomRunTime, EveryCodeTakesItsSizesOnly)
{
    sim::CMicom::Install();
    const DWORD block = kMicomBlock0Size, text = kMicomTextBlockSize;
    const std::vector<Case> cases = {
        {Code(MicomIoctl::RegisterWindow), Bytes(sizeof(HWND)), 4, 0},
        {Code(MicomIoctl::RegisterWindow), Bytes(4), 4, sizeof(HWND) == 4 ? 0u : ERROR_INVALID_PARAMETER},
        {Code(MicomIoctl::RegisterWindow), Bytes(sizeof(HWND)), 3, ERROR_INVALID_PARAMETER},
        {Code(MicomIoctl::GetStatus), {}, 4, 0},
        {Code(MicomIoctl::GetStatus), {}, 3, ERROR_INVALID_PARAMETER},
        {Code(MicomIoctl::GetStatus), Bytes(1), 4, ERROR_INVALID_PARAMETER},
        {Code(MicomIoctl::SetRtc), {}, 0, 0},
        {Code(MicomIoctl::SetRtc), Bytes(4), 0, ERROR_INVALID_PARAMETER},
        {Code(MicomIoctl::Alive), {}, 0, 0},
        {Code(MicomIoctl::Alive), Bytes(1), 0, ERROR_INVALID_PARAMETER},
        {Code(MicomIoctl::Init), {}, 0, 0},
        {Code(MicomIoctl::Backlight), Bytes(1, 1), 0, 0},
        {Code(MicomIoctl::Backlight), {}, 0, ERROR_INVALID_PARAMETER},
        {Code(MicomIoctl::Backlight), Bytes(2), 0, ERROR_INVALID_PARAMETER},
        {Code(MicomIoctl::AmpMute), Bytes(1), 0, 0},
        {Code(MicomIoctl::AmpMute), Bytes(4), 0, ERROR_INVALID_PARAMETER},
        {Code(MicomIoctl::Setting), Bytes(1), 0, 0},
        {Code(MicomIoctl::Intro), Bytes(1), 0, 0},
        {Code(MicomIoctl::Intro), {}, 0, ERROR_INVALID_PARAMETER},
        {Code(MicomIoctl::SetState), {255, 0}, 0, 0},
        {Code(MicomIoctl::SetState), Bytes(1), 0, ERROR_INVALID_PARAMETER},
        {Code(MicomIoctl::SetState), Bytes(3), 0, ERROR_INVALID_PARAMETER},
        {Code(MicomIoctl::ReadBlock0), {}, block, 0},
        {Code(MicomIoctl::ReadBlock0), {}, block - 1, ERROR_INVALID_PARAMETER},
        {Code(MicomIoctl::ReadBlock0Checked), {}, block, ERROR_CRC}, // nothing kept yet
        {Code(MicomIoctl::ReadTextBlock), {}, text, 0},
        {Code(MicomIoctl::ReadTextBlockOld), {}, text, 0},
        {Code(MicomIoctl::ReadTextBlock), {}, text - 1, ERROR_INVALID_PARAMETER},
        {Code(MicomIoctl::WriteBlock0), Bytes(block), 0, 0}, // zero block, zero sum
        {Code(MicomIoctl::WriteBlock0), Bytes(block - 1), 0, ERROR_INVALID_PARAMETER},
        {Code(MicomIoctl::WriteBlock0), Bytes(block + 1), 0, ERROR_INVALID_PARAMETER},
        {Code(MicomIoctl::WriteBlock0), Bytes(block, 1), 0, ERROR_CRC},
        {Code(MicomIoctl::WriteTextBlock), Bytes(text), 0, 0},
        {Code(MicomIoctl::WriteTextBlock), Bytes(text - 2), 0, ERROR_INVALID_PARAMETER},
        {0xC1000FFC, {}, 0, ERROR_INVALID_FUNCTION},
    };
    RunCases(u"NEC1:", cases);
}

TEST(MicomRunTime, KeepsItsBlocksAcrossARestartAndChecksTheSum)
{
    TempFolder folder("micom-state");
    const std::string stateFile = folder.Path() + "/board/NEC1.state";
    sim::CMicom::Block0 block{};
    block[20] = 0xC4; // main volume 2500
    block[21] = 0x09;
    block[64] = 1;
    platform::PutRawWord(&block[kMicomBlock0SumOffset], sim::CMicom::Block0Sum(block));
    EXPECT_EQ(0xC4u + 0x09u + 1u, sim::CMicom::Block0Sum(block));
    std::vector<BYTE> textBlock(kMicomTextBlockSize);
    textBlock[0] = 'W';
    {
        auto micom = sim::CMicom::Install(stateFile);
        HANDLE nec = Open(u"NEC1:");
        EXPECT_EQ(0u, Call(nec, Code(MicomIoctl::WriteBlock0), std::vector<BYTE>(block.begin(), block.end()), 0));
        EXPECT_EQ(0u, Call(nec, Code(MicomIoctl::WriteTextBlock), textBlock, 0));
        // A block with a wrong sum is refused and the kept one stays.
        std::vector<BYTE> wrong(block.begin(), block.end());
        wrong[20] = 0;
        EXPECT_EQ(ERROR_CRC, Call(nec, Code(MicomIoctl::WriteBlock0), wrong, 0));
        EXPECT_EQ(block, micom->StoredBlock0());
        CloseHandle(nec);
    }
    // A new micom on the same state file: the unit restarted.
    sim::CMicom::Install(stateFile);
    HANDLE nec = Open(u"NEC1:");
    std::vector<BYTE> read;
    for (MicomIoctl code : {MicomIoctl::ReadBlock0Checked, MicomIoctl::ReadBlock0}) {
        EXPECT_EQ(0u, Call(nec, Code(code), {}, kMicomBlock0Size, &read));
        EXPECT_EQ(std::vector<BYTE>(block.begin(), block.end()), read);
    }
    for (MicomIoctl code : {MicomIoctl::ReadTextBlock, MicomIoctl::ReadTextBlockOld}) {
        EXPECT_EQ(0u, Call(nec, Code(code), {}, kMicomTextBlockSize, &read));
        EXPECT_EQ(textBlock, read);
    }
    CloseHandle(nec);
}

TEST(MicomRunTime, StatusWordAndNoticesFollowTheBoard)
{
    PlayerWindow player;
    auto micom = sim::CMicom::Install();
    HANDLE nec = Open(u"NEC1:");
    std::vector<BYTE> out;
    const auto status = [&] {
        EXPECT_EQ(0u, Call(nec, Code(MicomIoctl::GetStatus), {}, 4, &out));
        return platform::GetRawWord(out.data());
    };
    EXPECT_EQ(static_cast<DWORD>(MicomStatusBit::Acc), status()) << "the board starts with ACC on";
    EXPECT_EQ(0u, Call(nec, Code(MicomIoctl::RegisterWindow), HandleBytes(player.Handle()), 4, &out));
    EXPECT_EQ(sim::CMicom::kDefaultDriverVersion, platform::GetRawWord(out.data()));

    micom->SetAcc(false);
    micom->SetAcc(false); // no change, no notice
    micom->SetReverseGear(true);
    micom->SetTailLamp(true);
    EXPECT_EQ(static_cast<DWORD>(MicomStatusBit::RearCamera) | static_cast<DWORD>(MicomStatusBit::TailLamp), status());
    micom->SetAcc(true);
    micom->KeyDown(MicomKey::VolumeUp);
    micom->KeyUp(MicomKey::VolumeUp);
    micom->Encoder(false);
    micom->TiltMoveEnd(6);

    const UINT id = RegisterWindowMessageW(kMicomMessageName);
    const std::vector<PlayerWindow::Message> expected = {
        {id, 104, 0},
        {id, 116, 1},
        {id, 115, 1},
        {id, 105, 0},
        {id, 107, 18 << 16 | 0x31},
        {id, 107, 18 << 16 | 0x30},
        {id, 107, 29 << 16 | 0x33},
        {id, 122, 6},
    };
    EXPECT_EQ(expected, player.Take());
    ASSERT_EQ(expected.size(), micom->Posts().size());
    EXPECT_TRUE(micom->Posts()[0].delivered);
    CloseHandle(nec);
}

TEST(MicomRunTime, PostsToTheMainWindowBeforeAnyRegistrationAndRecordsUndelivered)
{
    auto micom = sim::CMicom::Install();
    micom->SetTailLamp(true); // no window at all
    PlayerWindow player;
    micom->SetTailLamp(false);
    const UINT id = RegisterWindowMessageW(kMicomMessageName);
    EXPECT_EQ((std::vector<PlayerWindow::Message>{{id, 115, 0}}), player.Take());
    ASSERT_EQ(2u, micom->Posts().size());
    EXPECT_FALSE(micom->Posts()[0].delivered);
    EXPECT_TRUE(micom->Posts()[1].delivered);
}

TEST(MicomRunTime, RecordsEveryCallAndFailsOnDemand)
{
    auto micom = sim::CMicom::Install();
    HANDLE nec = Open(u"NEC1:");
    micom->FailNext(Code(MicomIoctl::ReadBlock0Checked), ERROR_TIMEOUT);
    EXPECT_EQ(ERROR_TIMEOUT, Call(nec, Code(MicomIoctl::ReadBlock0Checked), {}, kMicomBlock0Size));
    EXPECT_EQ(0u, Call(nec, Code(MicomIoctl::Backlight), {0}, 0));
    EXPECT_EQ(0u, Call(nec, Code(MicomIoctl::SetState), {1, 0}, 0));
    const auto calls = micom->Calls();
    ASSERT_EQ(3u, calls.size());
    EXPECT_EQ(ERROR_TIMEOUT, calls[0].error);
    EXPECT_EQ(Code(MicomIoctl::SetState), calls[2].code);
    EXPECT_EQ((std::vector<BYTE>{1, 0}), calls[2].input);
    EXPECT_EQ(0, micom->Backlight());
    EXPECT_EQ((std::array<BYTE, 2>{1, 0}), micom->State2());
    CloseHandle(nec);
}

DWORD Code(AudioIoctl code)
{
    return static_cast<DWORD>(code);
}

TEST(AudioProcessor, EveryCodeTakesItsSizeAndRange)
{
    auto asp = sim::CAudioProcessor::Install();
    std::vector<Case> cases;
    // {code, highest value of the first byte (second for two-byte codes)}.
    const std::vector<std::pair<AudioIoctl, int>> oneByte = {
        {AudioIoctl::SecondVolume, 50}, {AudioIoctl::SecondSource, 9},
        {AudioIoctl::MainSource, 9},    {AudioIoctl::MainVolume, 50},
        {AudioIoctl::CameraAudio, 1},   {AudioIoctl::Microphone, 1},
        {AudioIoctl::Intro, 5},         {AudioIoctl::Mute, 1},
        {AudioIoctl::AudioValue, 255},  {AudioIoctl::SrsOnOff, 1},
        {AudioIoctl::SrsValue6, 7},     {AudioIoctl::SrsValue1, 20},
        {AudioIoctl::SrsValue2, 20},    {AudioIoctl::SrsValue3, 20},
        {AudioIoctl::SrsValue4, 20},    {AudioIoctl::SrsValue5, 20},
        {AudioIoctl::ButtonGain, 4},    {AudioIoctl::Effect, 3},
        {AudioIoctl::GuidanceAudio, 1}, {AudioIoctl::GuidanceLevel, 255},
        {AudioIoctl::VoicePath, 1},     {AudioIoctl::MicMute, 1},
        {AudioIoctl::ButtonType, 255},  {AudioIoctl::CallAudio, 1},
    };
    for (const auto& [code, max] : oneByte) {
        cases.push_back({Code(code), {static_cast<BYTE>(max)}, 0, 0});
        if (max < 255)
            cases.push_back({Code(code), {static_cast<BYTE>(max + 1)}, 0, ERROR_INVALID_PARAMETER});
        cases.push_back({Code(code), {}, 0, ERROR_INVALID_PARAMETER});
        cases.push_back({Code(code), {0, 0}, 0, ERROR_INVALID_PARAMETER});
    }
    cases.push_back({Code(AudioIoctl::EqBand), {7, 20}, 0, 0});
    cases.push_back({Code(AudioIoctl::EqBand), {1, 3}, 0, 0});
    cases.push_back({Code(AudioIoctl::EqBand), {0, 3}, 0, ERROR_INVALID_PARAMETER});
    cases.push_back({Code(AudioIoctl::EqBand), {8, 3}, 0, ERROR_INVALID_PARAMETER});
    cases.push_back({Code(AudioIoctl::EqBand), {1, 21}, 0, ERROR_INVALID_PARAMETER});
    cases.push_back({Code(AudioIoctl::EqBand), {1}, 0, ERROR_INVALID_PARAMETER});
    cases.push_back({Code(AudioIoctl::BalanceFader), {3, 250}, 0, 0});
    cases.push_back({Code(AudioIoctl::BalanceFader), {3, 250, 1}, 0, ERROR_INVALID_PARAMETER});
    cases.push_back({0xC4000FFC, {0}, 0, ERROR_INVALID_FUNCTION});
    RunCases(u"ASP1:", cases);

    EXPECT_EQ(20, asp->EqBand(7));
    EXPECT_EQ(3, asp->EqBand(1));
    EXPECT_EQ(-1, asp->EqBand(2));
    EXPECT_EQ((std::vector<BYTE>{3, 250}), asp->Last(AudioIoctl::BalanceFader));
    EXPECT_EQ(9, asp->Value(AudioIoctl::MainSource)) << "a refused request changes nothing";
    EXPECT_EQ((std::vector<BYTE>{5}), asp->IntroSteps());
}

DWORD Code(ConnectionIoctl code)
{
    return static_cast<DWORD>(code);
}

TEST(ConnectionStatus, EveryCodeTakesItsSizes)
{
    auto cst = sim::CConnectionStatus::Install();
    const std::vector<Case> cases = {
        {Code(ConnectionIoctl::Register), Bytes(sizeof(HWND)), 24, 0},
        {Code(ConnectionIoctl::Register), Bytes(sizeof(HWND)), 23, ERROR_INVALID_PARAMETER},
        {Code(ConnectionIoctl::Register), Bytes(sizeof(HWND) + 1), 24, ERROR_INVALID_PARAMETER},
        {Code(ConnectionIoctl::TiltStatus), {}, 24, 0},
        {Code(ConnectionIoctl::TiltStatus), {}, 23, ERROR_INVALID_PARAMETER},
        {Code(ConnectionIoctl::VideoControl), {1}, 0, 0},
        {Code(ConnectionIoctl::VideoControl), {1, 0, 0, 0}, 0, 0},
        {Code(ConnectionIoctl::VideoControl), {1, 0}, 0, ERROR_INVALID_PARAMETER},
        {Code(ConnectionIoctl::VideoControl), {2}, 0, ERROR_INVALID_PARAMETER},
        {Code(ConnectionIoctl::TunerFilter), {0}, 0, 0},
        {Code(ConnectionIoctl::TunerFilter), {}, 0, ERROR_INVALID_PARAMETER},
        {Code(ConnectionIoctl::GiveUp), {}, 0, 0},
        {Code(ConnectionIoctl::GiveUp), {0}, 0, ERROR_INVALID_PARAMETER},
        {0xC2000FFC, {}, 0, ERROR_INVALID_FUNCTION},
    };
    RunCases(u"CST1:", cases);
    EXPECT_EQ(1, cst->VideoControl());
    EXPECT_EQ(0, cst->TunerFilter());
    EXPECT_EQ(1, cst->GiveUps());
}

TEST(ConnectionStatus, WordsTiltRecordAndNoticesFollowTheBoard)
{
    PlayerWindow player;
    auto cst = sim::CConnectionStatus::Install();
    cst->SetSd1(true);
    cst->SetParked(true);
    cst->SetIpod(true);
    cst->SetDisc(BoardDiscValue::Inserted);
    HANDLE device = Open(u"CST1:");
    std::vector<BYTE> out;
    ASSERT_EQ(0u, Call(device, Code(ConnectionIoctl::Register), HandleBytes(player.Handle()), 24, &out));
    ASSERT_EQ(24u, out.size());
    const std::vector<DWORD> words
        = {platform::GetRawWord(&out[0]),  platform::GetRawWord(&out[4]),  platform::GetRawWord(&out[8]),
           platform::GetRawWord(&out[12]), platform::GetRawWord(&out[16]), platform::GetRawWord(&out[20])};
    EXPECT_EQ((std::vector<DWORD>{0, 1, 0, 1, 1, 0}), words) << "SD1, disc, iPod; park signal low when parked";
    ASSERT_EQ(0u, Call(device, Code(ConnectionIoctl::TiltStatus), {}, 24, &out));
    EXPECT_EQ(1u, platform::GetRawWord(&out[kTiltDiscWordOffset]));

    player.Take();
    cst->SetDisc(BoardDiscValue::Removed);
    cst->SetSd1(false);
    cst->SetUsb(true);
    cst->SetUsb(true); // no change
    cst->SetParked(false);
    ASSERT_EQ(0u, Call(device, Code(ConnectionIoctl::TiltStatus), {}, 24, &out));
    EXPECT_EQ(0u, platform::GetRawWord(&out[kTiltDiscWordOffset]));
    const UINT id = RegisterWindowMessageW(kBoardMessageName);
    EXPECT_EQ((std::vector<PlayerWindow::Message>{{id, 2, 0}, {id, 1, 0}, {id, 3, 1}, {id, 6, 1}}), player.Take());
    CloseHandle(device);
}

TEST(RemoteControl, PostsPressRepeatsAndReleaseToTheRegisteredWindow)
{
    PlayerWindow player;
    auto remote = sim::CRemoteControl::Install();
    HANDLE device = Open(u"RMT1:");
    EXPECT_EQ(ERROR_INVALID_PARAMETER, Call(device, static_cast<DWORD>(RemoteIoctl::Register), Bytes(2), 0));
    EXPECT_EQ(0u, Call(device, static_cast<DWORD>(RemoteIoctl::Register), HandleBytes(player.Handle()), 0));
    EXPECT_EQ(player.Handle(), remote->Window());
    remote->Press(RemoteKey::VolumeUp, 2);
    remote->Send(RemoteKeyState::Down, RemoteKey::Mute);
    EXPECT_EQ(249u, remote->HeldKey());
    EXPECT_EQ(ERROR_INVALID_PARAMETER, Call(device, static_cast<DWORD>(RemoteIoctl::Clean), Bytes(1), 0));
    EXPECT_EQ(0u, Call(device, static_cast<DWORD>(RemoteIoctl::Clean), {}, 0));
    EXPECT_EQ(0u, remote->HeldKey());
    EXPECT_EQ(1, remote->Cleans());
    const UINT id = RegisterWindowMessageW(kRemoteMessageName);
    EXPECT_EQ(
        (std::vector<PlayerWindow::Message>{{id, 0, 137}, {id, 1, 137}, {id, 1, 137}, {id, 2, 137}, {id, 0, 249}}),
        player.Take());
    CloseHandle(device);
}

} // namespace
