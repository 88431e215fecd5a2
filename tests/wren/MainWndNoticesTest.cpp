// The main window's other messages: the micom's and the board's notices,
// the voice program's control notices with the audio processor's calls,
// "FROM MAIN", the forwarded messages, the navigation program's WM_COPYDATA
// and touches while voice recognition runs.
#include "Lib_cpp/kernel/Kernel.h"
#include "Source/models/ModelCenter.h"
#include "platform/base/Debug.h"
#include "platform/io/Io.h"
#include "platform/os/Thread.h"
#include "tests/wren/MainWndFixture.h"

#include <cstring>

namespace {

using namespace mainwndtest;

const UINT kMicomMessage = RegisterWindowMessageW(kMicomMessageName);
const UINT kBoardMessage = RegisterWindowMessageW(kBoardMessageName);
const UINT kVoiceMessage = RegisterWindowMessageW(kVoiceMessageName);

class MainWndNotices : public MainWndFixture {
protected:
    void SetUp() override
    {
        MainWndFixture::SetUp();
        OpenReady();
    }
};

TEST_F(MainWndNotices, MicomNoticesTurnIntoTheirActions)
{
    struct Case {
        DWORD code;
        DWORD value;
        Log heard;
    } cases[] = {
        {100, 0, {"hook 34 4129 100", "hook 10461 4096 0"}},
        {104, 0, {"32 4129 100"}},
        {105, 0, {"32 4128 100"}},
        {115, 1, {"11500 4096 1"}},
        {115, 0, {"11500 4096 0"}},
        {116, 1, {"32 4128 70"}},
        {116, 0, {"32 4129 70"}},
        {121, 1, {"71 args 0 121 1"}},
        {122, 0, {"13160 4096 0"}},
        {123, 16, {"10110 4096 0"}},
        {123, 19, {"10112 4096 0"}},
        {123, 22, {"10118 4096 0"}},
        {123, 27, {"10117 4096 0"}},
        {123, 28, {}},
        {109, 5, {}},
        {101, 0, {}},
        {124, 0, {}},
    };
    CUnitLink& link = GetUnitLink();
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.code) + " " + std::to_string(c.value));
        Send(kMicomMessage, c.code, c.value);
        EXPECT_EQ(Take(), c.heard);
    }
    // Power off and the ACC wait states.
    EXPECT_EQ(link.m_nAccOn, 1);
    Send(kMicomMessage, 104, 0);
    EXPECT_EQ(link.m_nAccOn, 0);
    EXPECT_EQ(micom->RtcSets(), 2);
    Send(kMicomMessage, 100, 0);
    EXPECT_EQ(link.m_nNecPowerOff, 1);
    Send(kMicomMessage, 105, 0);
    EXPECT_EQ(link.m_nNecPowerOff, 0);
    EXPECT_EQ(link.m_nAccOn, 1);
}

TEST_F(MainWndNotices, ReverseGearReleaseResetsTheCameraAndCancelsVoice)
{
    CUnitLink& link = GetUnitLink();
    SetRearCamOn();
    link.m_nRearCamera = 1;
    link.m_nVoiceActive = 1;
    link.m_nInitComplete = 0;
    platform::DebugCapture debug;
    Send(kMicomMessage, 116, 0);
    EXPECT_EQ(Take(), (Log{"10081 4096 0", "32 4129 70"}));
    EXPECT_EQ(link.m_nRearCamera, 0);
    EXPECT_EQ(GetRearCamState(), 0);
    EXPECT_TRUE(debug.Contains("[CMainWnd] Camera View is not Ready \r\n"));
    EXPECT_EQ(GetThreadPriority(GetCurrentThread()), THREAD_PRIORITY_NORMAL);
}

TEST_F(MainWndNotices, BoardNoticesTurnIntoTheirActions)
{
    struct Case {
        BoardNotice code;
        DWORD value;
        Log heard;
        const char* log;
    } cases[] = {
        {BoardNotice::Sd0, 1, {"33 4128 10"}, "[BSP] SD0 is attached"},
        {BoardNotice::Sd0, 0, {"33 4129 10"}, "[BSP] SD0 is detached"},
        {BoardNotice::Sd1, 1, {"33 4128 11"}, "[BSP] SD1 is attached"},
        {BoardNotice::Usb, 1, {"32 4128 12"}, "[BSP] USB is attached"},
        {BoardNotice::Usb, 0, {"32 4129 12"}, "[BSP] USB is detached"},
        {BoardNotice::Ipod, 1, {"34 4128 30"}, "[BSP] iPod is attached"},
        {BoardNotice::Ipod, 2, {"34 4129 30"}, "[BSP] iPod is detached"},
        {BoardNotice::Park, 0, {"32 4128 102"}, "[BSP] Park is detached"},
        {BoardNotice::Park, 1, {"32 4129 102"}, "[BSP] Park is attached"},
        {BoardNotice::AuxSignal, 1, {"72 args 5301 7 1", "10440 4096 1"}, "[BSP] Aux is signal"},
        {BoardNotice::IpodVideoSignal, 0, {"72 args 5321 8 0"}, "[BSP] iPod is no signal"},
        {BoardNotice::FrontCameraSignal, 1, {"72 args 10058 9 1"}, "[BSP] front camera is signal"},
        {BoardNotice::RearCameraSignal, 1, {"72 args 10060 10 1"}, "[BSP] rear camera is signal"},
        {BoardNotice::MicPath, 3, {}, "[BSP] MicPath Notification  wParam[12] lParam[3]"},
        {BoardNotice::VoiceCancel, 0, {"10081 4096 0"}, "[BSP] WPARAM_CUSTOMER_VOICE_CANCLE_REQ"},
        {BoardNotice::Disc, 0, {"13164 4096 0"}, "[BSP] Disk is detached"},
        // No camera screen up: the disc goes in from outside.
        {BoardNotice::Disc, 1, {"13169 4096 0"}, "[BSP] Disk is attached"},
        {BoardNotice::Disc, 2, {"13171 4096 0"}, "[BSP] Disk is reload"},
        {BoardNotice::Disc, 3, {"13166 4096 1"}, "[BSP] Disk Operation  3"},
        {BoardNotice::Disc, 4, {"13166 4096 0"}, "[BSP] Disk Operation  4"},
        {BoardNotice::Disc, 5, {"13166 4096 5"}, "[BSP] Disk Openning  5"},
        {BoardNotice::Disc, 6, {"13166 4096 6"}, "[BSP] Disk Opened  6"},
        {BoardNotice::Disc, 7, {}, nullptr},
        {static_cast<BoardNotice>(5), 1, {}, nullptr},
        {static_cast<BoardNotice>(11), 1, {}, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(static_cast<int>(c.code)) + " " + std::to_string(c.value));
        platform::DebugCapture debug;
        Send(kBoardMessage, static_cast<WPARAM>(c.code), c.value);
        EXPECT_EQ(Take(), c.heard);
        if (c.log) {
            EXPECT_TRUE(debug.Contains(c.log));
        }
    }
    EXPECT_EQ(GetUnitLink().m_nDiscState, 6);
}

TEST_F(MainWndNotices, ParkSignalSwitchedOffByItsFlagIsAlwaysReportedAway)
{
    CUnitLink& link = GetUnitLink();
    link.m_nParkSignalOff = 1;
    for (DWORD value : {0u, 1u}) {
        platform::DebugCapture debug;
        Send(kBoardMessage, static_cast<WPARAM>(BoardNotice::Park), value);
        EXPECT_EQ(Take(), Log{"32 4129 102"});
        EXPECT_EQ(link.m_nParkBrake, 0);
        EXPECT_EQ(link.m_nParked, value ? 0 : 1);
        EXPECT_TRUE(debug.Contains("[BSP] Unused Park Signal \r\n"));
    }
}

TEST_F(MainWndNotices, VoiceNoticesSwitchTheMicrophoneAndTellTheKernel)
{
    CUnitLink& link = GetUnitLink();
    auto audioCalls = [this] {
        Log out;
        for (const auto& call : audio->Calls())
            out.push_back(Hex(call.code) + " " + std::to_string(call.input.empty() ? -1 : call.input[0]));
        audio->ClearRecord();
        return out;
    };
    audio->ClearRecord();
    Send(kVoiceMessage, static_cast<WPARAM>(VoiceNotice::Show), 0);
    EXPECT_EQ(Take(), Log{"10441 4096 0"});
    EXPECT_EQ(link.m_nVoiceShown, 1);
    Send(kVoiceMessage, static_cast<WPARAM>(VoiceNotice::Ready), 0);
    EXPECT_EQ(Take(), Log{"10446 4096 0"});
    EXPECT_EQ(link.m_nVoiceReady, 1);
    Send(kVoiceMessage, static_cast<WPARAM>(VoiceNotice::Request), 7);
    EXPECT_EQ(Take(), Log{"10082 4096 7"});
    Send(kVoiceMessage, static_cast<WPARAM>(VoiceNotice::Result), 9);
    EXPECT_EQ(Take(), Log{"10083 4096 9"});

    const DWORD start = GetTickCount();
    Send(kVoiceMessage, static_cast<WPARAM>(VoiceNotice::Active), 0);
    EXPECT_EQ(Take(), Log{"10443 4096 1"});
    EXPECT_EQ(audioCalls(), (Log{"C4000094 1", "C4000044 1"}));
    EXPECT_EQ(GetTickCount() - start, 100u);
    EXPECT_EQ(link.m_nVoiceActive, 1);
    Send(kVoiceMessage, static_cast<WPARAM>(VoiceNotice::MicMute), 1);
    EXPECT_EQ(Take(), Log{"10444 4096 1"});
    EXPECT_EQ(audioCalls(), Log{"C400009C 0"});
    Send(kVoiceMessage, static_cast<WPARAM>(VoiceNotice::Inactive), 0);
    EXPECT_EQ(Take(), Log{"10443 4096 0"});
    EXPECT_EQ(audioCalls(), (Log{"C4000044 0", "C4000094 0"}));
    EXPECT_EQ(link.m_nVoiceActive, 0);

    // A failed call is logged with its name; the microphone that did not go
    // off leaves the voice path as it is.
    audio->FailNext(static_cast<DWORD>(AudioIoctl::Microphone), ERROR_GEN_FAILURE);
    platform::DebugCapture debug;
    Send(kVoiceMessage, static_cast<WPARAM>(VoiceNotice::Inactive), 0);
    EXPECT_EQ(audioCalls(), Log{"C4000044 0"});
    EXPECT_TRUE(debug.Contains("ERROR: .\\Source\\MainWnd line "));
    EXPECT_TRUE(debug.Contains("TAMRO ASP: DeviceIoControl IOCTL_MIC_OFF [Error:31] \r\n"));
    audio->FailNext(static_cast<DWORD>(AudioIoctl::MicMute), ERROR_GEN_FAILURE);
    Take();
    Send(kVoiceMessage, static_cast<WPARAM>(VoiceNotice::MicMute), 0);
    EXPECT_EQ(Take(), Log{});
    EXPECT_TRUE(debug.Contains("TAMRO ASP: DeviceIoControl IOCTL_MIC_SOUND_CONTROL [Error:31] \r\n"));
}

TEST_F(MainWndNotices, ForwardedMessagesAndTheBacklight)
{
    Send(0x0497, 3, 4);
    Send(0x03BE, 1, 2);
    Send(0x03BF, 1, 2);
    Send(0x03C0, 1, 2);
    Send(RegisterWindowMessageW(kNaviNoticeMessageName), 5, 6);
    Send(RegisterWindowMessageW(kTdmbAudioChangeName), 2, 0);
    Send(RegisterWindowMessageW(kTdmbResetChannelName), 2, 0);
    Send(RegisterWindowMessageW(kTdmbReconfigName), 2, 0);
    Send(RegisterWindowMessageW(kMainToDualName), 2, 0);
    EXPECT_EQ(Take(),
              (Log{"72 args 10059 3 4", "72 args 958 1 2", "72 args 959 1 2", "72 args 960 1 2", "74 args 0 5 6",
                   "hook 90 4096 2"}));
    const UINT fromMain = RegisterWindowMessageW(kFromMainName);
    Send(fromMain, 1, 1);
    EXPECT_EQ(micom->Backlight(), 1);
    Send(fromMain, 1, 0);
    EXPECT_EQ(micom->Backlight(), 0);
    Send(fromMain, 2, 1);
    EXPECT_EQ(micom->Backlight(), 0);
}

// A window titled "Lumo" that keeps the copy-data codes it is sent.
std::vector<ULONG_PTR> g_naviAcks;
HWND g_naviAckSender = nullptr;
LRESULT NaviProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COPYDATA) {
        g_naviAcks.push_back(reinterpret_cast<const COPYDATASTRUCT*>(lParam)->dwData);
        g_naviAckSender = reinterpret_cast<HWND>(wParam);
        return 1;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

TEST_F(MainWndNotices, NavigationReportsAreAcknowledgedAndReadWithinTheirLength)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = NaviProc;
    wc.lpszClassName = u"LumoTest";
    RegisterClassW(&wc);
    HWND navi = CreateWindowExW(0, u"LumoTest", kNaviWindowTitle, 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(navi, nullptr);
    g_naviAcks.clear();

    // Digits after the received length are there in memory, not in the data.
    const char text[] = "GPS, 1, 2, 3, 4, 5,   -37, 1234x, 9, 99999";
    struct Case {
        const char* name;
        ULONG_PTR code;
        DWORD length;
        const char* data;
        Log heard;
    } cases[] = {
        {"good", 1181, sizeof(text), text, {"72 args 10059 -37 1234"}},
        {"unterminated, cut inside the eighth field", 1181, 29, text, {"72 args 10059 -37 12"}},
        {"cut before the seventh", 1181, 21, text, {"72 args 10059 0 0"}},
        {"short", 1181, 8, "1, 2, 3", {"72 args 10059 0 0"}},
        {"no data", 1181, 0, nullptr, {}},
        {"another code", 1180, sizeof(text), text, {}},
    };
    size_t acks = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<BYTE> copy;
        if (c.data)
            copy.assign(c.data, c.data + std::strlen(c.data) + 1);
        COPYDATASTRUCT cds{c.code, c.length, c.data ? copy.data() : nullptr};
        EXPECT_EQ(SendMessageW(hwnd, WM_COPYDATA, reinterpret_cast<WPARAM>(navi), reinterpret_cast<LPARAM>(&cds)), 0);
        Pump();
        EXPECT_EQ(Take(), c.heard);
        acks += c.heard.empty() ? 0 : 1;
        EXPECT_EQ(g_naviAcks.size(), acks);
    }
    EXPECT_EQ(g_naviAcks.back(), 1094u);
    EXPECT_EQ(g_naviAckSender, hwnd);
    DestroyWindow(navi);
    UnregisterClassW(u"LumoTest", nullptr);
}

TEST_F(MainWndNotices, TouchesAreDroppedWhileVoiceRecognitionRuns)
{
    const LPARAM at = MAKELPARAM(400, 240);
    PostMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(hwnd, WM_LBUTTONUP, 0, at);
    Pump();
    EXPECT_EQ(Take(), Log{"10256 4096 0"});
    GetUnitLink().m_nVoiceActive = 1;
    platform::DebugCapture debug;
    PostMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(hwnd, WM_LBUTTONUP, 0, at);
    Pump();
    EXPECT_EQ(Take(), Log{});
    EXPECT_TRUE(debug.Contains("CMainWnd::DoLButtonDown  return \n\r"));
    EXPECT_TRUE(debug.Contains("CMainWnd::DoLButtonUp  return \n\r"));
}

} // namespace
