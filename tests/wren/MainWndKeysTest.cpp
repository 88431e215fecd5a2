// The main window's keys as the board sends them: every row of the micom's
// key table (down and up), every row of the remote's (press, repeat,
// release), the conditions that hold keys back, and every voice command,
// each turned into the kernel actions it stands for.
//
// Actions read "id kind value"; "hook ..." was handed to the kernel
// application object at once; "button id press" is the on-screen button a
// key shows.
#include "platform/base/Debug.h"
#include "tests/wren/MainWndFixture.h"

namespace {

using namespace mainwndtest;

const UINT kMicomMessage = RegisterWindowMessageW(kMicomMessageName);
const UINT kRemoteMessage = RegisterWindowMessageW(kRemoteMessageName);
const UINT kVoiceMessage = RegisterWindowMessageW(kVoiceMessageName);

const std::string U0 = "10256 4096 0"; // user activity
const std::string U1 = "10256 4096 1";
const std::string KP = "13601 4096 0"; // a key went down

std::string Press(int id)
{
    return std::to_string(id) + " 4096 0";
}
std::string Release(int id)
{
    return std::to_string(id) + " 4097 0";
}
std::string Button(int id, bool press)
{
    return "button " + std::to_string(id) + (press ? " 1" : " 0");
}

class MainWndKeys : public MainWndFixture {
protected:
    void SetUp() override
    {
        MainWndFixture::SetUp();
        OpenReady();
    }
    Log MicomKey(DWORD key, MicomKeyState state)
    {
        Send(kMicomMessage, static_cast<WPARAM>(MicomNotice::Key),
             static_cast<LPARAM>(key << 16 | static_cast<DWORD>(state)));
        return Take();
    }
    Log RemoteKey(DWORD key, RemoteKeyState state)
    {
        Send(kRemoteMessage, static_cast<WPARAM>(state), static_cast<LPARAM>(key));
        return Take();
    }
};

TEST_F(MainWndKeys, EveryMicomKeyTurnsIntoItsActions)
{
    struct Case {
        DWORD key;
        Log down;
        Log up;
    } cases[] = {
        {16, {U1, KP, KP, Press(455)}, {U0, Release(455)}},
        {17, {U1, Press(482), Button(10072, true)}, {U0, Release(482), Button(10072, false)}},
        {18, {U1, Press(480), Button(10071, true)}, {U0, Release(480), Button(10071, false)}},
        // No voice program window and no card: the voice program cannot start.
        {23, {"10085 4096 0", U1, KP}, {U0}},
        {26, {U1, KP, Press(13180)}, {U0, Release(13180)}},
        {29, {U1, KP}, {U0}}, // its steps are 0x32 and 0x33, logged only
        {119, {U1, KP, Press(10425), Button(3741, true)}, {U0, Release(10425), Button(3741, false)}},
        {120, {U1, KP, Press(10426), Button(3740, true)}, {U0, Release(10426), Button(3740, false)}},
        {121, {U1, KP, Press(10420)}, {U0, Release(10420)}},
        {122, {U1, KP, Press(10450)}, {U0, Release(10450)}},
        {123, {U1, Press(480), Button(10071, true)}, {U0, Release(480), Button(10071, false)}},
        {124, {U1, Press(482), Button(10072, true)}, {U0, Release(482), Button(10072, false)}},
        {125, {U1, KP, KP, Press(10432)}, {U0, Release(10432)}},
        {126, {"10085 4096 0", U1, KP}, {U0}},
        {127, {"10104 4096 0", U1, KP}, {U0}},
        {128, {U1, KP, Press(10430)}, {U0, Release(10430)}},
        {50, {U1, KP}, {U0}}, // not a key of the table
        // Held by the kernel until the next key: last.
        {22, {U0, KP, Press(461), "hook 10092 4096 0"}, {U0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        EXPECT_EQ(MicomKey(c.key, MicomKeyState::Down), c.down);
        EXPECT_EQ(MicomKey(c.key, MicomKeyState::Up), c.up);
    }
}

TEST_F(MainWndKeys, TheEncoderAndSteeringKeysLogTheirSteps)
{
    platform::DebugCapture debug;
    MicomKey(29, MicomKeyState::EncoderUp);
    MicomKey(29, MicomKeyState::EncoderDown);
    MicomKey(119, MicomKeyState::Down);
    MicomKey(18, MicomKeyState::Down);
    EXPECT_TRUE(debug.Contains("SHELL: NEC_MSG_HK_RIGHT_ENC UP\r\n"));
    EXPECT_TRUE(debug.Contains("SHELL: NEC_MSG_HK_RIGHT_ENC DOWN\r\n"));
    EXPECT_TRUE(debug.Contains("SHELL: SKey down 0x77\r\n"));
    EXPECT_TRUE(debug.Contains("NEC_MSG_HK_VOL_UP = NEC_D0_KEYDOWN\r\n"));
}

TEST_F(MainWndKeys, MicomKeysWaitForTheShellAndGiveWayToPowerOffBlockingAndCameras)
{
    CUnitLink& link = GetUnitLink();
    link.m_nInitComplete = 0;
    EXPECT_EQ(MicomKey(18, MicomKeyState::Down), Log{});
    link.m_nInitComplete = 1;

    link.m_nPowerOffState = 1;
    EXPECT_EQ(MicomKey(18, MicomKeyState::Down), Log{});
    EXPECT_EQ(MicomKey(16, MicomKeyState::Down), (Log{U1, KP, KP, Press(455)}));
    EXPECT_EQ(MicomKey(125, MicomKeyState::Down), (Log{U1, KP, KP, Release(455), Press(10432)}));
    link.m_nPowerOffState = 0;
    MicomKey(125, MicomKeyState::Up);

    link.m_nKeyBlock = 1;
    EXPECT_EQ(MicomKey(18, MicomKeyState::Down), (Log{U1, "431 4096 0"}));
    EXPECT_EQ(MicomKey(18, MicomKeyState::Up), (Log{U0, "431 4096 0"}));
    link.m_nCameraView = 1;
    // The camera is asked first for these keys, the block first for the tilt.
    EXPECT_EQ(MicomKey(23, MicomKeyState::Down), (Log{U1, KP}));
    EXPECT_EQ(MicomKey(128, MicomKeyState::Down), (Log{U1, KP}));
    EXPECT_EQ(MicomKey(26, MicomKeyState::Down), (Log{U1, KP, "431 4096 0"}));
    link.m_nKeyBlock = 0;
    EXPECT_EQ(MicomKey(26, MicomKeyState::Down), (Log{U1, KP}));
    link.m_nCameraView = 0;

    // Voice recognition is cancelled by any other key going down.
    link.m_nVoiceActive = 1;
    EXPECT_EQ(MicomKey(17, MicomKeyState::Down), (Log{"10081 4096 0", U1, Press(482), Button(10072, true)}));
    link.m_nVoiceActive = 0;
    MicomKey(17, MicomKeyState::Up);

    // While the navigation program starts the voice key does nothing.
    link.m_nNaviState = 1;
    EXPECT_EQ(MicomKey(23, MicomKeyState::Down), (Log{U1, KP}));
}

TEST_F(MainWndKeys, TheVoiceKeyStartsAndStopsRecognitionOnceTheProgramIsReady)
{
    CUnitLink& link = GetUnitLink();
    // A window of the voice program.
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.lpszClassName = u"VoiceControllerTest";
    RegisterClassW(&wc);
    HWND voice = CreateWindowExW(0, u"VoiceControllerTest", kVoiceWindowTitle, 0, 0, 0, 10, 10, nullptr, nullptr,
                                 nullptr, nullptr);
    ASSERT_NE(voice, nullptr);
    EXPECT_EQ(MicomKey(23, MicomKeyState::Down), (Log{U1, KP, "10464 4096 0"}));
    link.m_nVoiceReady = 1;
    EXPECT_EQ(MicomKey(126, MicomKeyState::Down), (Log{U1, KP, "hook 10081 4096 1"}));
    link.m_nVoiceActive = 1;
    EXPECT_EQ(MicomKey(23, MicomKeyState::Down), (Log{U1, KP, "hook 10081 4096 0"}));
    DestroyWindow(voice);
    UnregisterClassW(u"VoiceControllerTest", nullptr);
}

TEST_F(MainWndKeys, EveryRemoteKeyTurnsIntoItsActionsOnPressRepeatAndRelease)
{
    struct Case {
        DWORD key;
        Log press;
        Log repeat;
        Log release;
    } cases[] = {
        {1, {KP, U0, Press(10182), Button(12661, true)}, {}, {Release(10182), Button(12661, false)}},
        {5, {"10153 4096 0", KP, U0}, {}, {}},
        {9, {KP, U0, Press(10190), Button(3730, true)}, {}, {Release(10190), Button(3730, false)}},
        {25, {KP, U0, Press(10193), Button(12669, true)}, {}, {Release(10193), Button(12669, false)}},
        {33, {KP, U0, Press(10184), Button(3765, true)}, {}, {Release(10184), Button(3765, false)}},
        {37, {"10151 4096 0", KP, U0}, {}, {}},
        {41, {KP, U1, Press(10198)}, {}, {Release(10198)}},
        {49, {KP, U0, Press(10175), Button(12653, true)}, {}, {Release(10175), Button(12653, false)}},
        {57, {KP, U1, Press(10432)}, {}, {Release(10432)}},
        {65, {KP, U0, Press(10195), Button(12660, true)}, {}, {Release(10195), Button(12660, false)}},
        {69, {KP, U0, Press(10196), Button(3760, true)}, {}, {Release(10196), Button(3760, false)}},
        {73, {U1, Press(482), Button(10072, true)}, {}, {Release(482), Button(10072, false)}},
        // A repeat acts as a press: user activity; the kernel holds the key.
        {89, {KP, U0, Press(10171), Button(3751, true)}, {U0}, {Release(10171), Button(3751, false)}},
        {97, {KP, U0, Press(10186), Button(12665, true)}, {}, {Release(10186), Button(12665, false)}},
        {105, {KP, U0, Press(10173), Button(3740, true)}, {}, {Release(10173), Button(3740, false)}},
        {113, {KP, U0, Press(10177), Button(10006, true)}, {}, {Release(10177), Button(10006, false)}},
        {121, {"461 4096 0", KP, U0}, {}, {}},
        {129, {KP, U0, Press(10183), Button(12662, true)}, {}, {Release(10183), Button(12662, false)}},
        {137, {U1, Press(480), Button(10071, true)}, {}, {Release(480), Button(10071, false)}},
        {145, {KP, U0, Press(10176), Button(10005, true)}, {}, {Release(10176), Button(10005, false)}},
        {153, {KP, U0, Press(10170), Button(3750, true)}, {U0}, {Release(10170), Button(3750, false)}},
        {161, {KP, U0, Press(10185), Button(12664, true)}, {}, {Release(10185), Button(12664, false)}},
        {169, {KP, U0, Press(10172), Button(3741, true)}, {}, {Release(10172), Button(3741, false)}},
        {185, {KP, U0, Press(10191), Button(3754, true)}, {}, {Release(10191), Button(3754, false)}},
        {193, {KP, U0, Press(10178), Button(12654, true)}, {}, {Release(10178), Button(12654, false)}},
        {197, {KP, U0, "10427 4096 0"}, {}, {}},
        {201, {KP, U0, Press(10188), Button(12667, true)}, {U0}, {Release(10188), Button(12667, false)}},
        {209, {KP, U0, Press(10174), Button(12652, true)}, {}, {Release(10174), Button(12652, false)}},
        {217, {KP, U1, Press(10197)}, {}, {Release(10197)}},
        {225, {KP, U0, Press(10187), Button(12666, true)}, {}, {Release(10187), Button(12666, false)}},
        {233, {KP, U0, Press(10189), Button(12668, true)}, {}, {Release(10189), Button(12668, false)}},
        {249, {KP, U1, Press(10450)}, {}, {Release(10450)}},
        {2, {KP}, {}, {}}, // not a key of the table
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        EXPECT_EQ(RemoteKey(c.key, RemoteKeyState::Down), c.press);
        EXPECT_EQ(RemoteKey(c.key, RemoteKeyState::Repeat), c.repeat);
        EXPECT_EQ(RemoteKey(c.key, RemoteKeyState::Up), c.release);
    }
}

TEST_F(MainWndKeys, RemoteKeysWaitForTheShellAndGiveWayToPowerOffBlockingAndVoice)
{
    CUnitLink& link = GetUnitLink();
    link.m_nInitComplete = 0;
    EXPECT_EQ(RemoteKey(1, RemoteKeyState::Down), Log{});
    link.m_nInitComplete = 1;
    link.m_nPowerOffState = 1;
    EXPECT_EQ(RemoteKey(1, RemoteKeyState::Down), Log{});
    EXPECT_EQ(RemoteKey(57, RemoteKeyState::Down), (Log{KP, U1, Press(10432)}));
    EXPECT_EQ(RemoteKey(57, RemoteKeyState::Up), (Log{Release(10432)}));
    link.m_nPowerOffState = 0;
    link.m_nKeyBlock = 1;
    EXPECT_EQ(RemoteKey(1, RemoteKeyState::Down), (Log{KP, "431 4096 0"}));
    EXPECT_EQ(RemoteKey(137, RemoteKeyState::Repeat), (Log{"431 4096 0"}));
    link.m_nKeyBlock = 0;
    link.m_nVoiceActive = 1;
    EXPECT_EQ(RemoteKey(217, RemoteKeyState::Down), (Log{"10081 4096 0", "10081 4096 0", KP, U1, Press(10197)}));
    EXPECT_EQ(RemoteKey(217, RemoteKeyState::Up), (Log{Release(10197)}));
    EXPECT_EQ(RemoteKey(1, RemoteKeyState::Down), (Log{"10081 4096 0", KP, U0, Press(10182), Button(12661, true)}));
    EXPECT_EQ(RemoteKey(1, static_cast<RemoteKeyState>(3)), Log{});
}

TEST_F(MainWndKeys, EveryVoiceCommandTurnsIntoItsActions)
{
    const std::string search = "3402 4096 0";
    const std::string request = "10082 4096 1";
    struct Case {
        int code;
        Log heard; // empty: command 01, the screen to show when the voice screen hides
        int view;
    } cases[] = {
        {20301, {}, 5218},
        {20302, {"3740 4096 0"}, 0},
        {20303, {"3741 4096 0"}, 0},
        {20304, {"10164 4108 0"}, 0},
        {20305, {search, request}, 0},
        {20306, {"5218 4096 0"}, 0},
        {20307, {"5219 4096 0"}, 0},
        {20308, {"3065 4096 0"}, 0},
        {20309, {}, 0},
        {20401, {}, 5103},
        {20402, {"3740 4096 0"}, 0},
        {20403, {"3741 4096 0"}, 0},
        {20404, {}, 0},
        {20406, {"3731 4096 0"}, 0},
        {20407, {"3730 4096 0"}, 0},
        {20408, {"3760 4096 0"}, 0},
        {20409, {"20409 4096 0"}, 0},
        {20410, {"3754 4096 0"}, 0},
        {20411, {search, request}, 0},
        {20412, {"3065 4096 0"}, 0},
        {20501, {}, 5102},
        {20502, {"3740 4096 0"}, 0},
        {20503, {"3741 4096 0"}, 0},
        {20506, {"3731 4096 0"}, 0},
        {20507, {"3730 4096 0"}, 0},
        {20508, {"3760 4096 0"}, 0},
        {20509, {"20409 4096 0"}, 0},
        {20510, {"3754 4096 0"}, 0},
        {20511, {search, request}, 0},
        {20512, {"3065 4096 0"}, 0},
        {20601, {}, 0},
        {20602, {"3065 4096 0"}, 0},
        {20701, {}, 5361},
        {20702, {"12404 4096 0"}, 0},
        {20703, {"12405 4096 0"}, 0},
        {20706, {"12102 4096 0"}, 0},
        {20707, {"12103 4096 0"}, 0},
        {20708, {}, 0},
        {20709, {"12403 4096 0"}, 0},
        {20710, {"3065 4096 0"}, 0},
        {20901, {}, 5104},
        {20902, {"3740 4096 0"}, 0},
        {20903, {"3741 4096 0"}, 0},
        {20906, {"3731 4096 0"}, 0},
        {20907, {"3730 4096 0"}, 0},
        {20911, {search, request}, 0},
        {20912, {}, 0},
        {21001, {}, 5341},
        {21002, {"3740 4096 0"}, 0},
        {21003, {"3741 4096 0"}, 0},
        {21004, {"3731 4096 0"}, 0},
        {21005, {"3730 4096 0"}, 0},
        {21006, {"3760 4096 0"}, 0},
        {21007, {"20409 4096 0"}, 0},
        {21008, {"12619 4096 0"}, 0},
        {21009, {"3065 4096 0"}, 0},
        {21201, {}, 5321},
        {21202, {"3740 4096 0"}, 0},
        {21203, {"3741 4096 0"}, 0},
        {21204, {"3731 4096 0"}, 0},
        {21205, {"3730 4096 0"}, 0},
        {21206, {"10165 4108 0"}, 0},
        {21207, {"20409 4096 0"}, 0},
        {21208, {"12913 4096 0"}, 0},
        {21209, {"3065 4096 0"}, 0},
        {21501, {}, 5202},
        {21502, {"3740 4096 0"}, 0},
        {21503, {"3741 4096 0"}, 0},
        {21504, {"11604 4096 0"}, 0},
        {21505, {"11603 4096 0"}, 0},
        {21506, {"3831 4096 0"}, 0},
        {21507, {"3065 4096 0"}, 0},
        {21601, {}, 5205},
        {21602, {"3740 4096 0"}, 0},
        {21603, {"3741 4096 0"}, 0},
        {21604, {"11604 4096 0"}, 0},
        {21605, {"11603 4096 0"}, 0},
        {21606, {"3831 4096 0"}, 0},
        {21607, {"3065 4096 0"}, 0},
        {21700, {"481 4111 0"}, 0},
        {21800, {"483 4111 0"}, 0},
        {21900, {"400 4096 0"}, 0},
        {20100, {"10001 4096 0"}, 0},
        {20201, {"3062 4096 0"}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        Send(kVoiceMessage, static_cast<WPARAM>(c.code), 0);
        EXPECT_EQ(Take(), c.heard);
        EXPECT_EQ(window->GetPendingVoiceView(), c.view);
        // The voice screen hides: the screen named by the command is shown.
        Send(kVoiceMessage, static_cast<WPARAM>(VoiceNotice::Hide), 0);
        Log hide{"10442 4096 0"};
        if (c.view)
            hide.push_back("10090 4096 " + std::to_string(c.view));
        EXPECT_EQ(Take(), hide);
        EXPECT_EQ(window->GetPendingVoiceView(), 0);
    }
    // The screen-off command waits half a second first.
    const DWORD before = GetTickCount();
    Send(kVoiceMessage, VOICE_CMD_21900, 0);
    EXPECT_EQ(GetTickCount() - before, 500u);
}

} // namespace
