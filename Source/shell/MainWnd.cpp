#include "Source/shell/MainWnd.h"

#include "Lib_cpp/core/Utility.h"
#include "Lib_cpp/frame/KernelFrame.h"
#include "Lib_cpp/kernel/Kernel.h"
#include "Source/gate/GateUiLayer.h"
#include "Source/models/ModelCenter.h"
#include "Source/models/ModelCodes.h"
#include "Source/models/UnitLink.h"
#include "Source/screens/settings/RearViewSheet.h"
#include "Source/shell/LumoBridge.h"
#include "Source/shell/NaviReport.h"
#include "Source/shell/PlayerFrame.h"
#include "Source/shell/ShellIds.h"
#include "platform/base/Clock.h"
#include "platform/base/Debug.h"
#include "platform/base/Handle.h"
#include "platform/io/AudioDriver.h"
#include "platform/io/ConnectionDriver.h"
#include "platform/io/File.h"
#include "platform/io/MicomDriver.h"
#include "platform/io/RawDisk.h"
#include "platform/io/RemoteDriver.h"
#include "platform/os/Sync.h"
#include "platform/os/Thread.h"

#include <cstring>
#include <iterator>
#include <optional>
#include <string>

// The shell's registered messages, registered before the entry in this
// order (the driver headers name those of the drivers).
namespace {
const UINT s_uQmrBroadcast = RegisterWindowMessageW(kNaviNoticeMessageName);
const UINT s_uFromMain = RegisterWindowMessageW(kFromMainName);
const UINT s_uFromMicom = RegisterWindowMessageW(kMicomMessageName);
const UINT s_uFromBoard = RegisterWindowMessageW(kBoardMessageName);
const UINT s_uFromRemote = RegisterWindowMessageW(kRemoteMessageName);
const UINT s_uTdmbResetChannel = RegisterWindowMessageW(kTdmbResetChannelName);
const UINT s_uTdmbAudioChange = RegisterWindowMessageW(kTdmbAudioChangeName);
const UINT s_uTdmbReconfig = RegisterWindowMessageW(kTdmbReconfigName);
[[maybe_unused]] const UINT s_uMainToDual = RegisterWindowMessageW(kMainToDualName); // registered, not handled
const UINT s_uFromVoice = RegisterWindowMessageW(kVoiceMessageName);
} // namespace

IX_BEGIN_MESSAGE_MAP(CMainWnd, IxFrameWnd)
IX_ON_MESSAGE(WM_PAINT, IxSig_WL, OnPaintMessage)
IX_ON_MESSAGE(WM_SHELL_CAMERAREPORT, IxSig_WL, OnCameraReport)
IX_ON_MESSAGE(WM_COPYDATA, IxSig_WL, DoCopyData)
IX_ON_MESSAGE(WM_MOUSEMOVE, IxSig_Mouse, OnMouseMove)
IX_ON_MESSAGE(WM_LBUTTONDOWN, IxSig_Mouse, DoLButtonDown)
IX_ON_MESSAGE(WM_LBUTTONUP, IxSig_Mouse, DoLButtonUp)
IX_ON_MESSAGE(WM_CREATE, IxSig_Create, DoCreate)
IX_ON_MESSAGE(WM_DESTROY, IxSig_Fixed, DoDestroy)
IX_ON_MESSAGE(WM_TIMER, IxSig_Timer, OnTimer)
IX_ON_MESSAGE(s_uFromMain, IxSig_WL, DoFromMain)
IX_ON_MESSAGE(s_uQmrBroadcast, IxSig_WL, OnQmrBroadcast)
IX_ON_MESSAGE(s_uFromMicom, IxSig_WL, DoFromMicom)
IX_ON_MESSAGE(s_uFromBoard, IxSig_WL, DoFromBSP)
IX_ON_MESSAGE(s_uFromRemote, IxSig_WL, DoFromRemocon)
IX_ON_MESSAGE(WM_SHELL_FORWARD958, IxSig_WL, OnForward958)
IX_ON_MESSAGE(WM_SHELL_FORWARD959, IxSig_WL, OnForward959)
IX_ON_MESSAGE(WM_SHELL_FORWARD960, IxSig_WL, OnForward960)
IX_ON_MESSAGE(s_uFromVoice, IxSig_WL, DoFromVoice)
IX_ON_MESSAGE(s_uTdmbResetChannel, IxSig_WL, OnIgnored)
IX_ON_MESSAGE(s_uTdmbAudioChange, IxSig_WL, OnTdmbAudioChange)
IX_ON_MESSAGE(s_uTdmbReconfig, IxSig_WL, OnIgnored)
IX_END_MESSAGE_MAP()

namespace {

DWORD Code(MicomIoctl code)
{
    return static_cast<DWORD>(code);
}
DWORD Code(AudioIoctl code)
{
    return static_cast<DWORD>(code);
}

// ---------------------------------------------------------------------------
// The micom's keys

enum class KeyCondition : BYTE {
    None,
    Blocked,  // while keys are blocked: only the colour-key cover goes (ACMD_COVERREMOVE), and stop
    NoCamera, // nothing while a camera view is shown
};

enum class MicomKeyAction : BYTE {
    Key,           // kernel key press and release
    KeyThenPress,  // kernel key; a press also reports a key press
    AvNavi,        // down: to the kernel application object, then the AV/NAVI key
    Voice,         // the voice key
    NotifyOnDown,  // down: the command at once
    EncoderLogged, // the encoder's steps are logged only
};

struct MicomKeyRow {
    MicomKey key;
    const WCHAR* name; // null: a steering key, logged by its code
    MicomKeyAction action;
    int command;
    int button;
    KeyCondition first;
    KeyCondition second;
};

using KC = KeyCondition;
using MKA = MicomKeyAction;

constexpr MicomKeyRow kMicomKeys[] = {
    {MicomKey::Mute, u"NEC_MSG_HK_MUTE", MKA::KeyThenPress, KEY_MUTE, 0, KC::Blocked, KC::None},
    {MicomKey::VolumeDown, u"NEC_MSG_HK_VOL_DOWN", MKA::Key, KEY_VOLDOWN, BTN_VOLDOWN, KC::Blocked, KC::None},
    {MicomKey::VolumeUp, u"NEC_MSG_HK_VOL_UP", MKA::Key, KEY_VOLUP, BTN_VOLUP, KC::Blocked, KC::None},
    {MicomKey::AvNavi, u"NEC_MSG_HK_AV_NAVI", MKA::AvNavi, ACMD_KEY_MODE, 0, KC::Blocked, KC::None},
    {MicomKey::Voice, u"NEC_MSG_HK_VOICE", MKA::Voice, 0, 0, KC::NoCamera, KC::Blocked},
    {MicomKey::Tilt, u"NEC_MSG_HK_TILT", MKA::Key, KEY_TILT, 0, KC::Blocked, KC::NoCamera},
    {MicomKey::RightEncoder, u"NEC_MSG_HK_RIGHT_ENC", MKA::EncoderLogged, 0, 0, KC::None, KC::None},
    {MicomKey::SteeringSeekUp, nullptr, MKA::Key, KEY_SEEKUP, BTN_NEXT, KC::Blocked, KC::None},
    {MicomKey::SteeringSeekDown, nullptr, MKA::Key, KEY_SEEKDOWN, BTN_PREV, KC::Blocked, KC::None},
    {MicomKey::SteeringPhoneOn, nullptr, MKA::Key, KEY_PHONEON, 0, KC::Blocked, KC::None},
    {MicomKey::SteeringMute, nullptr, MKA::Key, KEY_STEERINGMUTE, 0, KC::Blocked, KC::None},
    {MicomKey::SteeringVolumeUp, nullptr, MKA::Key, KEY_VOLUP, BTN_VOLUP, KC::Blocked, KC::None},
    {MicomKey::SteeringVolumeDown, nullptr, MKA::Key, KEY_VOLDOWN, BTN_VOLDOWN, KC::Blocked, KC::None},
    {MicomKey::SteeringPower, nullptr, MKA::KeyThenPress, KEY_POWER, 0, KC::Blocked, KC::None},
    {MicomKey::SteeringVoice, nullptr, MKA::Voice, 0, 0, KC::NoCamera, KC::Blocked},
    {MicomKey::SteeringMode, nullptr, MKA::NotifyOnDown, FID_EXT_STEERINGMODE, 0, KC::Blocked, KC::None},
    {MicomKey::SteeringPhoneOff, nullptr, MKA::Key, KEY_PHONEOFF, 0, KC::NoCamera, KC::Blocked},
};

// ---------------------------------------------------------------------------
// The remote control's keys

enum class RemoteAction : BYTE {
    Key,          // kernel key press and release
    NotifyPress,  // press: the command at once
    PostPress,    // press: the command queued
    KeyModeVoice, // kernel key; a press also stops voice recognition
};

struct RemoteKeyRow {
    RemoteKey key;
    const WCHAR* name; // null: not logged by name
    RemoteAction action;
    int command;
    int button;
    int userValue;      // the value of the user activity
    bool repeatPresses; // a repeat acts as a press
    bool volume;        // a press reports no key press
};

using RA = RemoteAction;

constexpr RemoteKeyRow kRemoteKeys[] = {
    {RemoteKey::Display, u"K22_DISP_AV", RA::Key, KEY_REMOTE_DISPLAY, BTN_DISPLAY, 0, false, false},
    {RemoteKey::Pbc, u"K32_PBC_AV", RA::NotifyPress, FID_EXT_REMOTEPBC, 0, 0, false, false},
    {RemoteKey::MenuPlayPause, u"K16_MENU_PLAY_PAUSE_AV_NAVI", RA::Key, KEY_REMOTE_PLAYPAUSE, BTN_PLAYPAUSE, 0, false,
     false},
    {RemoteKey::Angle, u"K30_ANGLE_AV", RA::Key, KEY_REMOTE_ANGLE, BTN_ANGLE, 0, false, false},
    {RemoteKey::Random, u"K24_RANDOM_AV", RA::Key, KEY_REMOTE_RANDOM, BTN_RANDOM, 0, false, false},
    {RemoteKey::Return, u"K4_RETURN_AV", RA::NotifyPress, FID_EXT_REMOTERETURN, 0, 0, false, false},
    {RemoteKey::UpDown, u"K33_UPDOWN_AV", RA::Key, KEY_REMOTE_UPDOWN, 0, 1, false, false},
    {RemoteKey::JogDown, u"K12_JOG_DOWN_AV_NAVI", RA::Key, KEY_REMOTE_JOGDOWN, BTN_JOGDOWN, 0, false, false},
    {RemoteKey::Power, u"K1_POWER_AV", RA::Key, KEY_POWER, 0, 1, false, false},
    {RemoteKey::Zoom, u"K31_ZOOM_AV", RA::Key, KEY_REMOTE_ZOOM, BTN_ZOOM, 0, false, false},
    {RemoteKey::Key69, nullptr, RA::Key, KEY_REMOTE_69, BTN_REMOTE69, 0, false, false},
    {RemoteKey::VolumeDown, u"K17_VOLUME_DOWN_AV", RA::Key, KEY_VOLDOWN, BTN_VOLDOWN, 1, false, true},
    {RemoteKey::Key89, nullptr, RA::Key, KEY_REMOTE_89, BTN_89, 0, true, false},
    {RemoteKey::AbRepeat, u"K26_AB_RPT_AV", RA::Key, KEY_REMOTE_ABREPEAT, BTN_ABREPEAT, 0, false, false},
    {RemoteKey::Key105, nullptr, RA::Key, KEY_REMOTE_105, BTN_PREV, 0, false, false},
    {RemoteKey::JogRight, u"K14_JOG_RIGHT_AV_NAVI", RA::Key, KEY_REMOTE_JOGRIGHT, BTN_JOGRIGHT, 0, false, false},
    {RemoteKey::Key121, nullptr, RA::NotifyPress, ACMD_KEY_MODE, 0, 0, false, false},
    {RemoteKey::Search, u"K23_SERCH_AV", RA::Key, KEY_REMOTE_SEARCH, BTN_SEARCH, 0, false, false},
    {RemoteKey::VolumeUp, u"K18_VOLUME_UP_AV", RA::Key, KEY_VOLUP, BTN_VOLUP, 1, false, true},
    {RemoteKey::JogLeft, u"K13_JOG_LEFT_AV_NAVI", RA::Key, KEY_REMOTE_JOGLEFT, BTN_JOGLEFT, 0, false, false},
    {RemoteKey::LeftUp, u"K7_LEFT_UP_AV", RA::Key, KEY_REMOTE_LEFTUP, BTN_LEFTUP, 0, true, false},
    {RemoteKey::Menu, u"K25_MENU_AV", RA::Key, KEY_REMOTE_MENU, BTN_MENU, 0, false, false},
    {RemoteKey::RightUp, u"K9_RIGHT_UP_AV", RA::Key, KEY_REMOTE_RIGHTUP, BTN_NEXT, 0, false, false},
    {RemoteKey::Navi, u"K19_BTN_NAVI_AV", RA::Key, KEY_REMOTE_NAVI, BTN_NAVI, 0, false, false},
    {RemoteKey::JogCenter, u"K15_JOG_CENTER_AV_NAVI", RA::Key, KEY_REMOTE_JOGCENTER, BTN_JOGCENTER, 0, false, false},
    {RemoteKey::Stop, u"K6_STOP_AV", RA::PostPress, FID_EXT_REMOTESTOP, 0, 0, false, false},
    {RemoteKey::Audio, u"K28_AUDIO_AV", RA::Key, KEY_REMOTE_AUDIO, BTN_AUDIO, 0, true, false},
    {RemoteKey::JogUp, u"K11_JOG_UP_AV_NAVI", RA::Key, KEY_REMOTE_JOGUP, BTN_JOGUP, 0, false, false},
    {RemoteKey::Mode, u"K5_MODE_AV", RA::KeyModeVoice, KEY_REMOTE_MODE, 0, 1, false, false},
    {RemoteKey::Title, u"K27_TITLE_AV", RA::Key, KEY_REMOTE_TITLE, BTN_TITLE, 0, false, false},
    {RemoteKey::Subtitle, u"K29_SUBTITLE_AV", RA::Key, KEY_REMOTE_SUBTITLE, BTN_SUBTITLE, 0, false, false},
    {RemoteKey::Mute, u"K3_MUTE_AV", RA::Key, KEY_STEERINGMUTE, 0, 1, false, false},
};

// ---------------------------------------------------------------------------
// The voice program's commands

enum class VoiceStep : BYTE {
    View,   // the group's screen, shown once the voice screen hides
    Post,   // the action queued
    Notify, // the action at once
    Search, // the search action queued, then the voice request 1
};

struct VoiceCommandRow {
    int code;
    VoiceStep step;
    int id;
    int kind;
};

constexpr int Cmd(int group, int command)
{
    return group * 100 + command;
}

using VS = VoiceStep;
constexpr int kPress = AEV_DEFAULT;

constexpr VoiceCommandRow kVoiceCommands[] = {
    {Cmd(VOICE_GROUP_DMB, 1), VS::View, FID_DMB, kPress},
    {Cmd(VOICE_GROUP_DMB, 2), VS::Post, BTN_PREV, kPress},
    {Cmd(VOICE_GROUP_DMB, 3), VS::Post, BTN_NEXT, kPress},
    {Cmd(VOICE_GROUP_DMB, 4), VS::Post, FID_EXT_DMBVOICE04, AEV_HOLDSTART},
    {Cmd(VOICE_GROUP_DMB, 5), VS::Search, FID_EXT_VOICEREQUEST1, kPress},
    {Cmd(VOICE_GROUP_DMB, 6), VS::Notify, FID_DMB, kPress},
    {Cmd(VOICE_GROUP_DMB, 7), VS::Notify, FID_DAB, kPress},
    {Cmd(VOICE_GROUP_DMB, 8), VS::Post, FID_EXT_VOICELAST, kPress},
    {Cmd(VOICE_GROUP_MUSIC, 1), VS::View, FID_MUSIC, kPress},
    {Cmd(VOICE_GROUP_MUSIC, 2), VS::Post, BTN_PREV, kPress},
    {Cmd(VOICE_GROUP_MUSIC, 3), VS::Post, BTN_NEXT, kPress},
    {Cmd(VOICE_GROUP_MUSIC, 6), VS::Post, BTN_PLAYPAUSE2, kPress},
    {Cmd(VOICE_GROUP_MUSIC, 7), VS::Post, BTN_PLAYPAUSE, kPress},
    {Cmd(VOICE_GROUP_MUSIC, 8), VS::Post, BTN_REMOTE69, kPress},
    {Cmd(VOICE_GROUP_MUSIC, 9), VS::Post, FID_EXT_VOICE20409, kPress},
    {Cmd(VOICE_GROUP_MUSIC, 10), VS::Post, BTN_NAVI, kPress},
    {Cmd(VOICE_GROUP_MUSIC, 11), VS::Search, FID_EXT_VOICEREQUEST1, kPress},
    {Cmd(VOICE_GROUP_MUSIC, 12), VS::Post, FID_EXT_VOICELAST, kPress},
    {Cmd(VOICE_GROUP_MOVIE, 1), VS::View, FID_MOVIE, kPress},
    {Cmd(VOICE_GROUP_MOVIE, 2), VS::Post, BTN_PREV, kPress},
    {Cmd(VOICE_GROUP_MOVIE, 3), VS::Post, BTN_NEXT, kPress},
    {Cmd(VOICE_GROUP_MOVIE, 6), VS::Post, BTN_PLAYPAUSE2, kPress},
    {Cmd(VOICE_GROUP_MOVIE, 7), VS::Post, BTN_PLAYPAUSE, kPress},
    {Cmd(VOICE_GROUP_MOVIE, 8), VS::Post, BTN_REMOTE69, kPress},
    {Cmd(VOICE_GROUP_MOVIE, 9), VS::Post, FID_EXT_VOICE20409, kPress},
    {Cmd(VOICE_GROUP_MOVIE, 10), VS::Post, BTN_NAVI, kPress},
    {Cmd(VOICE_GROUP_MOVIE, 11), VS::Search, FID_EXT_VOICEREQUEST1, kPress},
    {Cmd(VOICE_GROUP_MOVIE, 12), VS::Post, FID_EXT_VOICELAST, kPress},
    {Cmd(VOICE_GROUP_206, 2), VS::Post, FID_EXT_VOICELAST, kPress},
    {Cmd(VOICE_GROUP_BLUETOOTH, 1), VS::View, FID_BLUETOOTH, kPress},
    {Cmd(VOICE_GROUP_BLUETOOTH, 2), VS::Post, FID_EXT_BTVOICE02, kPress},
    {Cmd(VOICE_GROUP_BLUETOOTH, 3), VS::Post, FID_EXT_BTVOICE03, kPress},
    {Cmd(VOICE_GROUP_BLUETOOTH, 6), VS::Post, FID_EXT_BTVOICE06, kPress},
    {Cmd(VOICE_GROUP_BLUETOOTH, 7), VS::Post, FID_EXT_BTVOICE07, kPress},
    {Cmd(VOICE_GROUP_BLUETOOTH, 9), VS::Post, FID_EXT_BTVOICE09, kPress},
    {Cmd(VOICE_GROUP_BLUETOOTH, 10), VS::Post, FID_EXT_VOICELAST, kPress},
    {Cmd(VOICE_GROUP_PHOTO, 1), VS::View, FID_PHOTO, kPress},
    {Cmd(VOICE_GROUP_PHOTO, 2), VS::Post, BTN_PREV, kPress},
    {Cmd(VOICE_GROUP_PHOTO, 3), VS::Post, BTN_NEXT, kPress},
    {Cmd(VOICE_GROUP_PHOTO, 6), VS::Post, BTN_PLAYPAUSE2, kPress},
    {Cmd(VOICE_GROUP_PHOTO, 7), VS::Post, BTN_PLAYPAUSE, kPress},
    {Cmd(VOICE_GROUP_PHOTO, 11), VS::Search, FID_EXT_VOICEREQUEST1, kPress},
    {Cmd(VOICE_GROUP_DVD, 1), VS::View, FID_DVD, kPress},
    {Cmd(VOICE_GROUP_DVD, 2), VS::Post, BTN_PREV, kPress},
    {Cmd(VOICE_GROUP_DVD, 3), VS::Post, BTN_NEXT, kPress},
    {Cmd(VOICE_GROUP_DVD, 4), VS::Post, BTN_PLAYPAUSE2, kPress},
    {Cmd(VOICE_GROUP_DVD, 5), VS::Post, BTN_PLAYPAUSE, kPress},
    {Cmd(VOICE_GROUP_DVD, 6), VS::Post, BTN_REMOTE69, kPress},
    {Cmd(VOICE_GROUP_DVD, 7), VS::Post, FID_EXT_VOICE20409, kPress},
    {Cmd(VOICE_GROUP_DVD, 8), VS::Post, FID_EXT_DVDVOICE08, kPress},
    {Cmd(VOICE_GROUP_DVD, 9), VS::Post, FID_EXT_VOICELAST, kPress},
    {Cmd(VOICE_GROUP_IPOD, 1), VS::View, FID_IPOD, kPress},
    {Cmd(VOICE_GROUP_IPOD, 2), VS::Post, BTN_PREV, kPress},
    {Cmd(VOICE_GROUP_IPOD, 3), VS::Post, BTN_NEXT, kPress},
    {Cmd(VOICE_GROUP_IPOD, 4), VS::Post, BTN_PLAYPAUSE2, kPress},
    {Cmd(VOICE_GROUP_IPOD, 5), VS::Post, BTN_PLAYPAUSE, kPress},
    {Cmd(VOICE_GROUP_IPOD, 6), VS::Post, FID_EXT_IPODVOICE06, AEV_HOLDSTART},
    {Cmd(VOICE_GROUP_IPOD, 7), VS::Post, FID_EXT_VOICE20409, kPress},
    {Cmd(VOICE_GROUP_IPOD, 8), VS::Post, FID_EXT_IPODVOICE08, kPress},
    {Cmd(VOICE_GROUP_IPOD, 9), VS::Post, FID_EXT_VOICELAST, kPress},
    {Cmd(VOICE_GROUP_FM, 1), VS::View, FID_FM, kPress},
    {Cmd(VOICE_GROUP_FM, 2), VS::Post, BTN_PREV, kPress},
    {Cmd(VOICE_GROUP_FM, 3), VS::Post, BTN_NEXT, kPress},
    {Cmd(VOICE_GROUP_FM, 4), VS::Post, FID_EXT_RADIOVOICE04, kPress},
    {Cmd(VOICE_GROUP_FM, 5), VS::Post, FID_EXT_RADIOVOICE05, kPress},
    {Cmd(VOICE_GROUP_FM, 6), VS::Post, FID_EXT_RADIOVOICE06, kPress},
    {Cmd(VOICE_GROUP_FM, 7), VS::Post, FID_EXT_VOICELAST, kPress},
    {Cmd(VOICE_GROUP_AM, 1), VS::View, FID_AM, kPress},
    {Cmd(VOICE_GROUP_AM, 2), VS::Post, BTN_PREV, kPress},
    {Cmd(VOICE_GROUP_AM, 3), VS::Post, BTN_NEXT, kPress},
    {Cmd(VOICE_GROUP_AM, 4), VS::Post, FID_EXT_RADIOVOICE04, kPress},
    {Cmd(VOICE_GROUP_AM, 5), VS::Post, FID_EXT_RADIOVOICE05, kPress},
    {Cmd(VOICE_GROUP_AM, 6), VS::Post, FID_EXT_RADIOVOICE06, kPress},
    {Cmd(VOICE_GROUP_AM, 7), VS::Post, FID_EXT_VOICELAST, kPress},
    {VOICE_CMD_21700, VS::Post, ACMD_VOLUMEUP, AEV_SHORTPRESS},
    {VOICE_CMD_21800, VS::Post, ACMD_VOLUMEDOWN, AEV_SHORTPRESS},
};

// ---------------------------------------------------------------------------
// Steering-key learning results (values 16 ... 27)

struct LearnRow {
    const WCHAR* name;
    int action;
};

constexpr int kFirstLearnValue = 16;
constexpr LearnRow kLearnResults[] = {
    {u"NEC_D0_SET_SK_SEEK_UP_OK", FID_EXT_LEARN_SEEKUP},
    {u"NEC_D0_SET_SK_SEEK_DOWN_OK", FID_EXT_LEARN_SEEKDOWN},
    {u"NEC_D0_SET_SK_MODE_OK", FID_EXT_LEARN_MODE},
    {u"NEC_D0_SET_SK_MUTE_OK", FID_EXT_LEARN_MUTE},
    {u"NEC_D0_SET_SK_VOLUME_UP_OK", FID_EXT_LEARN_VOLUP},
    {u"NEC_D0_SET_SK_VOLUME_DOWN_OK", FID_EXT_LEARN_VOLDOWN},
    {u"NEC_D0_SET_SK_POWER_OK", FID_EXT_LEARN_POWER},
    {u"NEC_D0_SET_SK_VOICE_ON_OK", FID_EXT_LEARN_VOICEON},
    {u"NEC_D0_SET_SK_PHONE_OFF_OK", FID_EXT_LEARN_PHONEOFF},
    {u"NEC_D0_SET_SK_PHONE_ON_OK", FID_EXT_LEARN_PHONEON},
    {u"NEC_D0_SET_SK_ADD_OK", FID_EXT_LEARN_ADD},
    {u"NEC_D0_SET_SK_ALL_DELETE_OK", FID_EXT_LEARN_ALLDELETE},
};

// ---------------------------------------------------------------------------
// The soft keyboard's jamo and the keys of the two-set Korean keyboard

struct JamoKey {
    WCHAR jamo;
    char key;
};

constexpr int kBackspace = 8;
constexpr JamoKey kJamoKeys[] = {
    {u'\u3131', 'r'}, {u'\u3134', 's'},
    {u'\u3137', 'e'}, {u'\u3139', 'f'},
    {u'\u3141', 'a'}, {u'\u3142', 'q'},
    {u'\u3145', 't'}, {u'\u3147', 'd'},
    {u'\u3148', 'w'}, {u'\u314A', 'c'},
    {u'\u314B', 'z'}, {u'\u314C', 'x'},
    {u'\u314D', 'v'}, {u'\u314E', 'g'},
    {u'\u3132', 'R'}, {u'\u3138', 'E'},
    {u'\u3143', 'Q'}, {u'\u3146', 'T'},
    {u'\u3149', 'W'}, {u'\u314F', 'k'},
    {u'\u3151', 'i'}, {u'\u3153', 'j'},
    {u'\u3155', 'u'}, {u'\u3157', 'h'},
    {u'\u315B', 'y'}, {u'\u315C', 'n'},
    {u'\u3160', 'b'}, {u'\u3161', 'm'},
    {u'\u3163', 'l'}, {u'\u3150', 'o'},
    {u'\u3152', 'O'}, {u'\u3154', 'p'},
    {u'\u3156', 'P'}, {WCHAR(kBackspace), char(kBackspace)},
};

int KeyOfJamo(WCHAR ch)
{
    for (const JamoKey& row : kJamoKeys) {
        if (row.jamo == ch)
            return row.key;
    }
    return 0;
}

bool IsDown(DWORD state)
{
    return state == static_cast<DWORD>(MicomKeyState::Down);
}

} // namespace

// ---------------------------------------------------------------------------
// Construction and creation

CMainWnd::CMainWnd()
{
    m_hShellStart = CreateEventW(nullptr, FALSE, FALSE, kShellStartEvent);
    m_hShellPowerOff = CreateEventW(nullptr, FALSE, FALSE, kShellPowerOffEvent);
}

CMainWnd::~CMainWnd()
{
    m_detachSd0.Stop(3000);
    if (m_hShellPowerOff)
        CloseHandle(m_hShellPowerOff);
    if (m_hShellStart)
        CloseHandle(m_hShellStart);
}

IxKernelFrame* CMainWnd::NewKernelFrame(HINSTANCE instance)
{
    return new (std::nothrow) CPlayerFrame(instance, this);
}

LRESULT CMainWnd::DoCreate(CREATESTRUCTW* cs, INT_PTR arg)
{
    CUnitLink& link = GetUnitLink();
    link.m_nAccOn = 1;
    link.m_nRearCamera = 0;
    link.m_nParkBrake = 0;
    link.m_hAudio.Open(u"ASP1:");
    if (GetFileAttributesW(kParkSignalOffFlag) != INVALID_FILE_ATTRIBUTES)
        link.m_nParkSignalOff = 1;
    if (link.m_hMicom.Open(u"NEC1:"))
        CheckStatusBlock();

    if (IxFrameWnd::DoCreate(cs, arg) == -1)
        return -1;

    m_szSpare.fill(0);
    m_szComposing.fill(0);
    m_szOutput.fill(0);
    m_nDeletePending = 0;
    m_nPrevKey = 0;
    if (m_pHangul)
        m_pHangul->Reset();
    if (link.m_hMicom.IsOpen())
        ReportMicomState();
    if (link.m_hConnection.Open(u"CST1:"))
        ReportConnectionState();
    if (link.m_hRemote.Open(u"RMT1:")) {
        HWND self = m_hWnd;
        if (link.m_hRemote.IoctlIn(static_cast<DWORD>(RemoteIoctl::Register), &self, sizeof(self)))
            NKDbgPrintfW(u"Remote Control Handle reistered successfully \r\n");
    }
    link.m_hDmb.Open(u"DMB1:");
    if (m_hShellStart)
        SetEvent(m_hShellStart);
    m_detachSd0.Run();
    return 0;
}

void CMainWnd::CheckStatusBlock()
{
    IxDeviceHandle& micom = GetUnitLink().m_hMicom;
    BYTE block[kMicomBlock0Size] = {};
    DWORD read = 0;
    bool ok = micom.Ioctl(Code(MicomIoctl::ReadBlock0Checked), nullptr, 0, block, kMicomBlock0Size, &read)
        && read == kMicomBlock0Size;
    if (!ok) {
        std::memset(block, 0, sizeof(block));
        read = 0;
        ok = micom.Ioctl(Code(MicomIoctl::ReadBlock0), nullptr, 0, block, kMicomBlock0Size, &read)
            && read == kMicomBlock0Size;
        NKDbgPrintfW(u"CModelCenter::Create()   CheckSum %d", static_cast<int>(Block0Sum(block)));
    }
    const DWORD sum = Block0Sum(block);
    if (!ok || sum == 0 || platform::GetRawWord(block + kMicomBlock0SumOffset) != sum) {
        // Nothing of a refused block is trusted: the decisions below are
        // made on the factory defaults alone.
        std::memset(block, 0, sizeof(block));
        DefaultBlock0(block);
    }
    int lastView = 0;
    for (int offset = B0_VIEWHISTORY + 16; offset >= static_cast<int>(B0_VIEWHISTORY) && lastView == 0; offset -= 4)
        lastView = static_cast<int>(platform::GetRawWord(block + offset));
    const int movieStorage = block[73];
    const int musicStorage = block[74];
    NKDbgPrintfW(u" fid : %d,  Movie Storage: %d, Music Storage: %d \r\n", lastView, movieStorage, musicStorage);
    if ((lastView == FID_MOVIE && movieStorage == DEVNO_SD1) || (lastView == FID_MUSIC && musicStorage == DEVNO_SD1)) {
        if (HANDLE firstSd = CreateEventW(nullptr, FALSE, FALSE, kFirstSdEvent)) {
            SetEvent(firstSd);
            CloseHandle(firstSd);
        }
        NKDbgPrintfW(u" fid : %d, DEVICE_FIRST_SD..\r\n", lastView);
    }
}

void CMainWnd::ReportMicomState()
{
    CUnitLink& link = GetUnitLink();
    IxDeviceHandle& micom = link.m_hMicom;
    HWND self = m_hWnd;
    DWORD version = 0;
    DWORD returned = 0;
    if (micom.Ioctl(Code(MicomIoctl::RegisterWindow), &self, sizeof(self), &version, sizeof(version), &returned))
        NKDbgPrintfW(u"Micom Version = [0x%lx]\r\n", version);
    DWORD status = 0;
    if (!micom.IoctlOut(Code(MicomIoctl::GetStatus), &status, sizeof(status)))
        status = 0;
    auto has = [status](MicomStatusBit bit) { return (status & static_cast<DWORD>(bit)) != 0; };
    IxKernelFrame* frame = GetKernelFrame();

    if (has(MicomStatusBit::Acc)) {
        NKDbgPrintfW(u"[BSP] NECMICOM_ACC_STATUS_BIT is on \r\n");
        link.m_nAccOn = 1;
        if (frame)
            frame->NotifyDeviceCheck(AEV_DEFAULT, DEVNO_ACC);
    } else {
        NKDbgPrintfW(u"[DoCreate] ACC Status  ACCOn = FALSE\n\r");
        link.m_nAccOn = 0;
        Notify(FID_EXT_ACC_CHECK, AEV_DEFAULT, 1);
    }
    if (has(MicomStatusBit::RearCamera)) {
        NKDbgPrintfW(u"[BSP] Rear Cam is on\r\n");
        SetRearCamOn();
        if (frame)
            frame->NotifyDeviceCheck(AEV_DEFAULT, DEVNO_REARCAMERA);
    } else {
        NKDbgPrintfW(u"[CMainWnd] IOCTL_DEVICE_NECMICOM_BACKLIGHT_CONTROL Off at [%ld]\r\n", GetTickCount());
        micom.IoctlByte(Code(MicomIoctl::Backlight), 0);
    }
    if (has(MicomStatusBit::TailLamp)) {
        NKDbgPrintfW(u"[BSP] Tail is on \r\n");
        Notify(FID_EXT_TAIL, AEV_DEFAULT, 1);
    } else {
        NKDbgPrintfW(u"[BSP] Tail is off \r\n");
        Notify(FID_EXT_TAIL, AEV_DEFAULT, 0);
    }
    if (has(MicomStatusBit::Starting))
        NKDbgPrintfW(u"[BSP] STARTING_STATUS is on\r\n");
    if (has(MicomStatusBit::AutoLight))
        NKDbgPrintfW(u"[BSP] Auto Light is on\r\n");
}

void CMainWnd::ReportConnectionState()
{
    CUnitLink& link = GetUnitLink();
    HWND self = m_hWnd;
    DWORD words[kConnectionWords] = {};
    DWORD returned = 0;
    if (!link.m_hConnection.Ioctl(static_cast<DWORD>(ConnectionIoctl::Register), &self, sizeof(self), words,
                                  sizeof(words), &returned)
        || returned != sizeof(words))
        return;
    IxKernelFrame* frame = GetKernelFrame();
    auto word = [&words](ConnectionWord w) { return words[static_cast<DWORD>(w)]; };

    const bool sd0 = word(ConnectionWord::Sd0) != 0;
    NKDbgPrintfW(sd0 ? u"[BSP] SD0 is attached\r\n" : u"[BSP] SD0 is detached\r\n");
    if (frame)
        frame->NotifyDeviceAlias(sd0 ? AEV_ATTACH : AEV_DETACH, DEVNO_SD0);
    const bool sd1 = word(ConnectionWord::Sd1) != 0;
    NKDbgPrintfW(sd1 ? u"[BSP] SD1 is attached\r\n" : u"[BSP] SD1 is detached\r\n");
    if (frame)
        frame->NotifyDeviceAlias(sd1 ? AEV_ATTACH : AEV_DETACH, DEVNO_SD1);
    const bool ipod = word(ConnectionWord::Ipod) != 0;
    NKDbgPrintfW(ipod ? u"[BSP] iPod is attached\r\n" : u"[BSP] iPod is detached\r\n");
    if (frame)
        frame->NotifyDeviceCheck(ipod ? AEV_ATTACH : AEV_DETACH, DEVNO_IPOD);
    DoPark(word(ConnectionWord::Park), u"CST");
}

// ---------------------------------------------------------------------------
// Destruction

void CMainWnd::DoDestroy(INT_PTR second, INT_PTR first)
{
    IxFrameWnd::DoDestroy(second, first);
    CUnitLink& link = GetUnitLink();
    link.m_hConnection.CloseHandleSafe();
    link.m_hAudio.CloseHandleSafe();
    link.m_hMicom.CloseHandleSafe();
    link.m_hRemote.CloseHandleSafe();
    m_detachSd0.Stop(3000);
    m_szSpare.fill(0);
    m_szComposing.fill(0);
    m_szOutput.fill(0);
}

// ---------------------------------------------------------------------------
// Handing actions on

void CMainWnd::Post(int id, int kind, LPARAM value)
{
    if (IxKernelFrame* frame = GetKernelFrame()) {
        // The bracket delivers what was queued when it ends, unless a
        // handler holds an outer one.
        IxBusyScope busy(frame);
        IxPostAction(frame->GetQueue(), static_cast<WORD>(id), static_cast<WORD>(kind), value);
    }
}

void CMainWnd::Notify(int id, int kind, LPARAM value)
{
    if (IxKernelFrame* frame = GetKernelFrame())
        frame->Notify(id, kind, value);
}

void CMainWnd::Hook(int id, int kind, LPARAM value)
{
    IxKernelFrame* frame = GetKernelFrame();
    if (!frame || !frame->GetHook())
        return;
    IxBusyScope busy(frame);
    frame->GetHook()->ActionIsInvoked(id, kind, value);
}

void CMainWnd::Args(int id, LPARAM a, LPARAM b, LPARAM c)
{
    if (IxKernelFrame* frame = GetKernelFrame())
        frame->DeliverWithArgs(id, a, b, c);
}

void CMainWnd::Key(int command, int button, BOOL press)
{
    if (IxKernelFrame* frame = GetKernelFrame())
        frame->NotifyExtKey(command, button, press, press ? IXKEY_BUSYTEST | IXKEY_HELD : IXKEY_HELD);
}

// ---------------------------------------------------------------------------
// Plain forwards

LRESULT CMainWnd::OnCameraReport(WPARAM wParam, LPARAM lParam)
{
    Args(IXA_TARGETARGS, FID_CAMERAGUIDE, static_cast<LPARAM>(wParam), lParam);
    return 0;
}

LRESULT CMainWnd::OnForward958(WPARAM wParam, LPARAM lParam)
{
    Args(IXA_TARGETARGS, ARGTARGET_958, static_cast<LPARAM>(wParam), lParam);
    return 0;
}

LRESULT CMainWnd::OnForward959(WPARAM wParam, LPARAM lParam)
{
    Args(IXA_TARGETARGS, ARGTARGET_959, static_cast<LPARAM>(wParam), lParam);
    return 0;
}

LRESULT CMainWnd::OnForward960(WPARAM wParam, LPARAM lParam)
{
    Args(IXA_TARGETARGS, ARGTARGET_960, static_cast<LPARAM>(wParam), lParam);
    return 0;
}

LRESULT CMainWnd::OnQmrBroadcast(WPARAM wParam, LPARAM lParam)
{
    if (IxKernelFrame* frame = GetKernelFrame())
        frame->ForwardBroadcast(0, static_cast<LPARAM>(wParam), lParam);
    return 0;
}

LRESULT CMainWnd::OnTdmbAudioChange(WPARAM wParam, LPARAM)
{
    Hook(FID_EXT_DMBAUDIOCHANGE, AEV_DEFAULT, static_cast<LPARAM>(wParam));
    return 0;
}

LRESULT CMainWnd::OnIgnored(WPARAM, LPARAM)
{
    return 0;
}

void CMainWnd::OnExternalNotice(WPARAM, LPARAM)
{
    // Another program's window takes the screen: the 3D menu's layer goes,
    // and a rear-view screen's pending restoration runs.
    if (gate::GetGateUILayerFlag())
        gate::SetGateUILayer(1);
    if (CRearViewSheet::IsActive())
        CRearViewSheet::Leave();
}

// ---------------------------------------------------------------------------
// "FROM MAIN"

LRESULT CMainWnd::DoFromMain(WPARAM wParam, LPARAM lParam)
{
    NKDbgPrintfW(u"[CMainWnd] DoFromMain() \r\n");
    if (wParam == FROMMAIN_BACKLIGHT)
        GetUnitLink().m_hMicom.IoctlByte(Code(MicomIoctl::Backlight), lParam ? 1 : 0);
    return 0;
}

// ---------------------------------------------------------------------------
// The micom

LRESULT CMainWnd::DoFromMicom(WPARAM wParam, LPARAM lParam)
{
    NKDbgPrintfW(u"[CMainWnd] DoFromMicom() \r\n");
    IxKernelFrame* frame = GetKernelFrame();
    std::optional<IxBusyScope> busy;
    if (frame)
        busy.emplace(frame);
    CUnitLink& link = GetUnitLink();
    const DWORD value = static_cast<DWORD>(lParam);
    switch (static_cast<MicomNotice>(wParam)) {
    case MicomNotice::PowerOff:
        NKDbgPrintfW(u"SHELL: WPARAM_NECMICOM_POWER_OFF 0x%x 0x%x at %ld \r\n", value, link.m_nAccOn, GetTickCount());
        if (frame) {
            link.m_nNecPowerOff = 1;
            link.m_nAccOn = 0;
            Hook(IXA_FORCENOTICE, AEV_DETACH, DEVNO_ACC);
            Hook(FID_EXT_POWEROFF, AEV_DEFAULT, 0);
        }
        break;
    case MicomNotice::AccOffWaitOn:
        NKDbgPrintfW(u"SHELL: WPARAM_NECMICOM_ACCOFF_WAITON 0x%x  0x%x \r\n", value, link.m_nAccOn);
        if (!link.m_hMicom.Ioctl(Code(MicomIoctl::SetRtc), nullptr, 0, nullptr, 0, nullptr))
            NKDbgPrintfW(u"SHELL: IOCTL_DEVICE_NECMICOM_SET_RTC is failed..\r\n");
        link.m_nAccOn = 0;
        if (frame)
            frame->NotifyDevice(AEV_DETACH, DEVNO_ACC);
        break;
    case MicomNotice::AccOffWaitOff:
        NKDbgPrintfW(u"SHELL: WPARAM_NECMICOM_ACCOFF_WAITOFF 0x%x  0x%x \r\n", value, link.m_nAccOn);
        link.m_nNecPowerOff = 0;
        link.m_nAccOn = 1;
        if (frame)
            frame->NotifyDevice(AEV_ATTACH, DEVNO_ACC);
        break;
    case MicomNotice::Key:
        _doKeyFromBSP(value);
        break;
    case MicomNotice::AccOffOff:
        NKDbgPrintfW(u"SHELL: WPARAM_NECMICOM_ACCOFF_OFF 0x%x\r\n", value);
        if (m_hShellPowerOff)
            SetEvent(m_hShellPowerOff);
        break;
    case MicomNotice::DiranaCommandEnd:
        NKDbgPrintfW(u"SHELL: WPARAM_NECMICOM_DIRANA_COMMAND_END 0x%08X\r\n", value);
        break;
    case MicomNotice::DiranaInitStatus:
        NKDbgPrintfW(u"SHELL: WPARAM_NECMICOM_DIRANA_INIT_STATUS 0x%08X\r\n", value);
        break;
    case MicomNotice::Speed:
        NKDbgPrintfW(u"SHELL: WPARAM_NECMICOM_SPEED %d\r\n", static_cast<int>(value));
        break;
    case MicomNotice::TailStatus:
        NKDbgPrintfW(value ? u"SHELL: WPARAM_NECMICOM_TAIL_STATUS ON\r\n"
                           : u"SHELL: WPARAM_NECMICOM_TAIL_STATUS OFF\r\n");
        Notify(FID_EXT_TAIL, AEV_DEFAULT, value ? 1 : 0);
        break;
    case MicomNotice::BackGearStatus:
        DoReverseGear(value);
        break;
    case MicomNotice::StartingStatus:
        NKDbgPrintfW(value ? u"SHELL: WPARAM_NECMICOM_STARTING_STATUS ON\r\n"
                           : u"SHELL: WPARAM_NECMICOM_STARTING_STATUS OFF\r\n");
        break;
    case MicomNotice::TelMuteStatus:
        NKDbgPrintfW(value ? u"SHELL: WPARAM_NECMICOM_TEL_MUTE_STATUS ON\r\n"
                           : u"SHELL: WPARAM_NECMICOM_TEL_MUTE_STATUS OFF\r\n");
        break;
    case MicomNotice::RadioStMono:
        NKDbgPrintfW(u"SHELL: WPARAM_NECMICOM_RADIO_ST_MONO %d \r\n", static_cast<int>(value));
        Args(IXA_MICOMARGS, 0, static_cast<LPARAM>(MicomNotice::RadioStMono), static_cast<LPARAM>(value));
        break;
    case MicomNotice::TiltMoveEnd:
        NKDbgPrintfW(u"SHELL: WPARAM_NECMICOM_TILT_MOVE_NED 0x%x\r\n", value);
        // The tilt device's moved flag is cleared here (CExDeviceTilt::
        // NormalizeState, then SetMoved(0)) once the tilt device exists.
        Notify(FID_EXT_TILT_MOVEEND, AEV_DEFAULT, 0);
        break;
    case MicomNotice::HandleSetOk:
        if (value >= kFirstLearnValue && value < kFirstLearnValue + std::size(kLearnResults)) {
            const LearnRow& row = kLearnResults[value - kFirstLearnValue];
            NKDbgPrintfW(u"SHELL: WPARAM_NECMICOM_HANDLE_SET_OK : %s", row.name);
            Notify(row.action, AEV_DEFAULT, 0);
        }
        break;
    default:
        break;
    }
    return 0;
}

void CMainWnd::DoReverseGear(DWORD value)
{
    CUnitLink& link = GetUnitLink();
    NKDbgPrintfW(u"SHELL: WPARAM_NECMICOM_BACK_GEAR_STATUS 0x%x\r\n", value);
    if (link.m_nVoiceActive)
        Notify(FID_EXT_VC_RECOG, AEV_DEFAULT, 0);
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
    IxKernelFrame* frame = GetKernelFrame();
    if (value) {
        NKDbgPrintfW(u"[BSP] R-Cam is attached\r\n");
        if (frame)
            frame->NotifyDevice(AEV_ATTACH, DEVNO_REARCAMERA);
    } else {
        NKDbgPrintfW(u"[BSP] R-Cam is detached\r\n");
        link.m_nRearCamera = 0;
        MarkRearCamDetached();
        NKDbgPrintfW(u"[CMainWnd] Invoke  Detach Cam \r\n");
        if (frame)
            frame->NotifyDevice(AEV_DETACH, DEVNO_REARCAMERA);
        IxElement* cameraView = frame ? frame->IsLayerShown(FID_CAMERAREADY) : nullptr;
        if (!link.m_nInitComplete && (!cameraView || cameraView->HasFlag(IXF_HIDDEN))) {
            NKDbgPrintfW(u"[CMainWnd] Camera View is not Ready \r\n");
            SetCameraAudioMode(FALSE);
        }
        ResetRearCamState();
    }
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_NORMAL);
}

void CMainWnd::_doKeyFromBSP(DWORD value)
{
    NKDbgPrintfW(u"[CMainWnd] _doKeyFromBSP() \r\n");
    CUnitLink& link = GetUnitLink();
    const DWORD key = value >> 16;
    const DWORD state = value & 0xFFFF;
    const bool down = IsDown(state);
    if (!link.m_nInitComplete) {
        NKDbgPrintfW(u"[CMainWnd] _doKeyFromBSP() Is Not InitComplete \r\n");
        return;
    }
    if (link.m_nPowerOffState && key != static_cast<DWORD>(MicomKey::Mute)
        && key != static_cast<DWORD>(MicomKey::SteeringPower)) {
        NKDbgPrintfW(u"[CMainWnd] _doKeyFromBSP()  PowerOff return  \r\n");
        return;
    }
    NKDbgPrintfW(u"[CMainWnd] : OccurUserEvent() \r\n");
    Post(FID_OCCUR_USER_EVENT, AEV_DEFAULT, down && key != static_cast<DWORD>(MicomKey::AvNavi) ? 1 : 0);
    const bool volumeKey = key == static_cast<DWORD>(MicomKey::VolumeDown)
        || key == static_cast<DWORD>(MicomKey::VolumeUp) || key == static_cast<DWORD>(MicomKey::SteeringVolumeUp)
        || key == static_cast<DWORD>(MicomKey::SteeringVolumeDown);
    if (down && !volumeKey)
        Post(FID_EXT_KEYPRESS, AEV_DEFAULT, 0);
    if (link.m_nVoiceActive && down && key != static_cast<DWORD>(MicomKey::Voice))
        Notify(FID_EXT_VC_RECOG, AEV_DEFAULT, 0);

    const MicomKeyRow* row = nullptr;
    for (const MicomKeyRow& r : kMicomKeys) {
        if (static_cast<DWORD>(r.key) == key)
            row = &r;
    }
    if (!row)
        return;
    if (row->action == MicomKeyAction::EncoderLogged) {
        if (state == static_cast<DWORD>(MicomKeyState::EncoderUp))
            NKDbgPrintfW(u"SHELL: NEC_MSG_HK_RIGHT_ENC UP\r\n");
        else if (state == static_cast<DWORD>(MicomKeyState::EncoderDown))
            NKDbgPrintfW(u"SHELL: NEC_MSG_HK_RIGHT_ENC DOWN\r\n");
        return;
    }
    if (!down && state != static_cast<DWORD>(MicomKeyState::Up))
        return;
    if (row->action != MicomKeyAction::Voice) {
        if (!row->name)
            NKDbgPrintfW(down ? u"SHELL: SKey down 0x%x\r\n" : u"SHELL: SKey up 0x%x\r\n", key);
        else
            NKDbgPrintfW(down ? u"%s = NEC_D0_KEYDOWN\r\n" : u"%s = NEC_D0_KEYUP\r\n", row->name);
    }
    for (KeyCondition condition : {row->first, row->second}) {
        if (condition == KeyCondition::Blocked && link.m_nKeyBlock) {
            Post(ACMD_COVERREMOVE, AEV_DEFAULT, 0);
            return;
        }
        if (condition == KeyCondition::NoCamera && link.m_nCameraView)
            return;
    }
    switch (row->action) {
    case MicomKeyAction::Key:
        Key(row->command, row->button, down);
        break;
    case MicomKeyAction::KeyThenPress:
        Key(row->command, row->button, down);
        if (down)
            Post(FID_EXT_KEYPRESS, AEV_DEFAULT, 0);
        break;
    case MicomKeyAction::AvNavi:
        if (down) {
            Hook(FID_ALIVEINVOKE, AEV_DEFAULT, 0);
            if (IxKernelFrame* frame = GetKernelFrame())
                frame->NotifyExtKey(row->command, 0, -1, IXKEY_BUSYTEST | IXKEY_HELD);
        }
        break;
    case MicomKeyAction::Voice:
        DoVoiceKey(down);
        break;
    case MicomKeyAction::NotifyOnDown:
        if (down)
            Notify(row->command, AEV_DEFAULT, 0);
        break;
    case MicomKeyAction::EncoderLogged:
        break;
    }
}

void CMainWnd::DoVoiceKey(BOOL down)
{
    CUnitLink& link = GetUnitLink();
    if (link.m_nNaviState == 1) {
        NKDbgPrintfW(u"[CMainWnd] NEC_MSG_HK_VOICE  Cancel NaviLaunch...  \n");
        return;
    }
    if (!down)
        return;
    NKDbgPrintfW(u"SHELL: NEC_MSG_HK_VOICE = NEC_D0_KEYDOWN \r\n");
    if (FindWindowW(nullptr, kVoiceWindowTitle)) {
        if (!link.m_nVoiceReady) {
            NKDbgPrintfW(u"[MainWnd] Voice Is not Ready \n\r");
            Post(FID_EXT_VC_NOTREADY, AEV_DEFAULT, 0);
        } else {
            Hook(FID_EXT_VC_RECOG, AEV_DEFAULT, link.m_nVoiceActive ? 0 : 1);
        }
        return;
    }
    if (ModelCenterGetAliasState(DEVNO_SD0) > 1) {
        IxString folder;
        ModelCenterGetDevicePath(DEVNO_SD0, folder);
        std::u16string program(folder.Text());
        program += kVoiceProgramPath;
        IxLaunchProcess(program.c_str(), nullptr, nullptr, nullptr, nullptr);
    } else {
        Notify(FID_EXT_VC_NOCARD, AEV_DEFAULT, 0);
    }
}

// ---------------------------------------------------------------------------
// The remote control

LRESULT CMainWnd::DoFromRemocon(WPARAM wParam, LPARAM lParam)
{
    NKDbgPrintfW(u"[CMainWnd] DoFromRemocon() \r\n");
    CUnitLink& link = GetUnitLink();
    const DWORD key = static_cast<DWORD>(lParam);
    const auto state = static_cast<RemoteKeyState>(wParam);
    if (state != RemoteKeyState::Down && state != RemoteKeyState::Repeat && state != RemoteKeyState::Up)
        return 0;
    if (!link.m_nInitComplete)
        return 0;
    if (link.m_nPowerOffState && key != static_cast<DWORD>(RemoteKey::Power))
        return 0;
    IxKernelFrame* frame = GetKernelFrame();
    std::optional<IxBusyScope> busy;
    if (frame)
        busy.emplace(frame);
    const RemoteKeyRow* row = nullptr;
    for (const RemoteKeyRow& r : kRemoteKeys) {
        if (static_cast<DWORD>(r.key) == key)
            row = &r;
    }
    const bool press = state == RemoteKeyState::Down;
    if (press && !(row && row->volume))
        Post(FID_EXT_KEYPRESS, AEV_DEFAULT, 0);
    if (link.m_nKeyBlock) {
        Post(ACMD_COVERREMOVE, AEV_DEFAULT, 0);
        return 0;
    }
    if (link.m_nVoiceActive && press)
        Notify(FID_EXT_VC_RECOG, AEV_DEFAULT, 0);
    if (!row)
        return 0;
    const bool actsAsPress = press || (state == RemoteKeyState::Repeat && row->repeatPresses);
    if (actsAsPress) {
        if (row->name)
            NKDbgPrintfW(u"%s = WPARAM_REMOCON_DOWN\r\n", row->name);
        NKDbgPrintfW(u"[CMainWnd] : OccurUserEvent() \r\n");
        Post(FID_OCCUR_USER_EVENT, AEV_DEFAULT, row->userValue);
        switch (row->action) {
        case RemoteAction::Key:
            Key(row->command, row->button, TRUE);
            break;
        case RemoteAction::KeyModeVoice:
            if (link.m_nVoiceActive)
                Notify(FID_EXT_VC_RECOG, AEV_DEFAULT, 0);
            Key(row->command, row->button, TRUE);
            break;
        case RemoteAction::NotifyPress:
            Notify(row->command, AEV_DEFAULT, 0);
            break;
        case RemoteAction::PostPress:
            Post(row->command, AEV_DEFAULT, 0);
            break;
        }
    } else if (state == RemoteKeyState::Up
               && (row->action == RemoteAction::Key || row->action == RemoteAction::KeyModeVoice)) {
        Key(row->command, row->button, FALSE);
    }
    return 0;
}

// ---------------------------------------------------------------------------
// The board

void CMainWnd::DoPark(DWORD value, const WCHAR* prefix)
{
    CUnitLink& link = GetUnitLink();
    int kind = AEV_DETACH;
    if (link.m_nParkSignalOff) {
        NKDbgPrintfW(value ? u"[%s] Park is attached\r\n" : u"[%s] Park is detached\r\n", prefix);
        NKDbgPrintfW(std::u16string_view(prefix) == u"CST" ? u"[CST] Unused Parking Signal \r\n"
                                                           : u"[BSP] Unused Park Signal \r\n");
        link.m_nParked = value ? 0 : 1;
        link.m_nParkBrake = 0;
    } else if (value) {
        NKDbgPrintfW(u"[%s] Park is attached\r\n", prefix);
        link.m_nParkBrake = 0;
        link.m_nParked = 0;
    } else {
        NKDbgPrintfW(u"[%s] Park is detached\r\n", prefix);
        link.m_nParkBrake = 1;
        link.m_nParked = 1;
        kind = AEV_ATTACH;
    }
    if (IxKernelFrame* frame = GetKernelFrame())
        frame->NotifyDevice(kind, DEVNO_PARK);
}

void CMainWnd::DoDisc(DWORD value)
{
    CUnitLink& link = GetUnitLink();
    switch (static_cast<BoardDiscValue>(value)) {
    case BoardDiscValue::Removed:
        NKDbgPrintfW(u"[BSP] Disk is detached\r\n");
        Notify(FID_EXT_TILT_REMOVEDISC, AEV_DEFAULT, 0);
        break;
    case BoardDiscValue::Inserted: {
        NKDbgPrintfW(u"[BSP] Disk is attached\r\n");
        IxKernelFrame* frame = GetKernelFrame();
        IxElement* view = frame ? frame->IsLayerShown(FID_CAMERAREADY) : nullptr;
        Post(!view || view->HasFlag(IXF_HIDDEN) ? FID_EXT_TILT_EXTINSERT : FID_EXT_TILT_INSERT, AEV_DEFAULT, 0);
        break;
    }
    case BoardDiscValue::Reload:
        NKDbgPrintfW(u"[BSP] Disk is reload \r\n");
        Post(FID_EXT_TILT_EXTRELOAD, AEV_DEFAULT, 0);
        break;
    case BoardDiscValue::Operation:
        NKDbgPrintfW(u"[BSP] Disk Operation  3 \r\n");
        link.m_nDiscState = 3;
        Post(FID_EXT_TILT_DVDOPER, AEV_DEFAULT, 1);
        break;
    case BoardDiscValue::OperationEnd:
        NKDbgPrintfW(u"[BSP] Disk Operation  4 \r\n");
        link.m_nDiscState = 4;
        Post(FID_EXT_TILT_DVDOPER, AEV_DEFAULT, 0);
        break;
    case BoardDiscValue::Opening:
        NKDbgPrintfW(u"[BSP] Disk Openning  5 \r\n");
        Post(FID_EXT_TILT_DVDOPER, AEV_DEFAULT, 5);
        link.m_nDiscState = 5;
        break;
    case BoardDiscValue::Opened:
        NKDbgPrintfW(u"[BSP] Disk Opened  6 \r\n");
        Post(FID_EXT_TILT_DVDOPER, AEV_DEFAULT, 6);
        link.m_nDiscState = 6;
        break;
    default:
        break;
    }
}

LRESULT CMainWnd::DoFromBSP(WPARAM wParam, LPARAM lParam)
{
    NKDbgPrintfW(u"[CMainWnd] DoFromBSP() \r\n");
    IxKernelFrame* frame = GetKernelFrame();
    std::optional<IxBusyScope> busy;
    if (frame)
        busy.emplace(frame);
    const DWORD value = static_cast<DWORD>(lParam);
    const bool on = value != 0;
    switch (static_cast<BoardNotice>(wParam)) {
    case BoardNotice::Sd0:
        NKDbgPrintfW(on ? u"[BSP] SD0 is attached\r\n" : u"[BSP] SD0 is detached\r\n");
        if (frame)
            frame->NotifyDeviceAlias(on ? AEV_ATTACH : AEV_DETACH, DEVNO_SD0);
        break;
    case BoardNotice::Sd1:
        NKDbgPrintfW(on ? u"[BSP] SD1 is attached\r\n" : u"[BSP] SD1 is detached\r\n");
        if (frame)
            frame->NotifyDeviceAlias(on ? AEV_ATTACH : AEV_DETACH, DEVNO_SD1);
        break;
    case BoardNotice::Disc:
        DoDisc(value);
        break;
    case BoardNotice::Usb:
        NKDbgPrintfW(on ? u"[BSP] USB is attached\r\n" : u"[BSP] USB is detached\r\n");
        if (frame)
            frame->NotifyDevice(on ? AEV_ATTACH : AEV_DETACH, DEVNO_USB);
        break;
    case BoardNotice::Ipod:
        NKDbgPrintfW(value == 1 ? u"[BSP] iPod is attached\r\n" : u"[BSP] iPod is detached\r\n");
        if (frame)
            frame->NotifyDeviceCheck(value == 1 ? AEV_ATTACH : AEV_DETACH, DEVNO_IPOD);
        break;
    case BoardNotice::Park:
        DoPark(value, u"BSP");
        break;
    case BoardNotice::AuxSignal:
        Args(IXA_TARGETARGS, FID_AUX, static_cast<LPARAM>(BoardNotice::AuxSignal), static_cast<LPARAM>(value));
        Notify(FID_EXT_AUXSIGNAL, AEV_DEFAULT, static_cast<LPARAM>(value));
        NKDbgPrintfW(on ? u"[BSP] Aux is signal \r\n" : u"[BSP] Aux is no signal \r\n");
        break;
    case BoardNotice::IpodVideoSignal:
        Args(IXA_TARGETARGS, FID_IPOD, static_cast<LPARAM>(BoardNotice::IpodVideoSignal), static_cast<LPARAM>(value));
        NKDbgPrintfW(on ? u"[BSP] iPod is signal \r\n" : u"[BSP] iPod is no signal \r\n");
        break;
    case BoardNotice::FrontCameraSignal:
        Args(IXA_TARGETARGS, FID_FRONTCAMERA, static_cast<LPARAM>(BoardNotice::FrontCameraSignal),
             static_cast<LPARAM>(value));
        NKDbgPrintfW(on ? u"[BSP] front camera is signal \r\n" : u"[BSP] front camera is no signal \r\n");
        break;
    case BoardNotice::RearCameraSignal:
        Args(IXA_TARGETARGS, FID_REARCAMERA, static_cast<LPARAM>(BoardNotice::RearCameraSignal),
             static_cast<LPARAM>(value));
        NKDbgPrintfW(on ? u"[BSP] rear camera is signal \r\n" : u"[BSP] rear camera is no signal \r\n");
        break;
    case BoardNotice::MicPath:
    case BoardNotice::MicPath2:
        NKDbgPrintfW(u"[BSP] MicPath Notification  wParam[%d] lParam[%d] \r\n", static_cast<int>(wParam),
                     static_cast<int>(value));
        break;
    case BoardNotice::VoiceCancel:
        NKDbgPrintfW(u"[BSP] WPARAM_CUSTOMER_VOICE_CANCLE_REQ  \r\n");
        Notify(FID_EXT_VC_RECOG, AEV_DEFAULT, 0);
        break;
    default:
        break;
    }
    return 0;
}

// ---------------------------------------------------------------------------
// The voice program

void CMainWnd::AudioCall(DWORD code, DWORD value, const WCHAR* name, int line, BOOL* ok)
{
    const BOOL result = GetUnitLink().m_hAudio.IoctlByte(code, value);
    if (!result && name) {
        const DWORD error = GetLastError();
        NKDbgPrintfW(u"ERROR: %s line %d: ", u".\\Source\\MainWnd", line);
        NKDbgPrintfW(name, error);
    }
    if (ok)
        *ok = result;
}

bool CMainWnd::DoVoiceNotice(int code, int value)
{
    CUnitLink& link = GetUnitLink();
    BOOL ok = TRUE;
    switch (static_cast<VoiceNotice>(code)) {
    case VoiceNotice::Show:
        NKDbgPrintfW(u"[CMainWnd] DoFromVoice()  BM_NOTIFY_SHOW \n\r");
        link.m_nVoiceShown = 1;
        Notify(FID_EXT_VC_SHOW, AEV_DEFAULT, 0);
        return true;
    case VoiceNotice::Hide:
        NKDbgPrintfW(u"[CMainWnd] DoFromVoice()  BM_NOTIFY_HIDE \n\r");
        link.m_nVoiceShown = 0;
        Notify(FID_EXT_VC_HIDE, AEV_DEFAULT, 0);
        if (m_nPendingVoiceView >= 1) {
            const int view = m_nPendingVoiceView;
            m_nPendingVoiceView = 0;
            Notify(FID_EXT_VC_SHOWVIEW, AEV_DEFAULT, view);
        }
        return true;
    case VoiceNotice::Ready:
        link.m_nVoiceReady = 1;
        Notify(FID_EXT_VC_READY, AEV_DEFAULT, 0);
        return true;
    case VoiceNotice::Request:
        Post(FID_EXT_VC_REQUEST, AEV_DEFAULT, value);
        return true;
    case VoiceNotice::Active:
        link.m_nVoiceActive = 1;
        AudioCall(Code(AudioIoctl::VoicePath), 1, nullptr, __LINE__, nullptr);
        Sleep(100);
        IxBroadcast(FID_EXT_VC_ACTIVE, AEV_DEFAULT, 1);
        AudioCall(Code(AudioIoctl::Microphone), 1, u"TAMRO ASP: DeviceIoControl IOCTL_MIC_ON [Error:%d] \r\n", __LINE__,
                  nullptr);
        return true;
    case VoiceNotice::Inactive:
        link.m_nVoiceActive = 0;
        IxBroadcast(FID_EXT_VC_ACTIVE, AEV_DEFAULT, 0);
        AudioCall(Code(AudioIoctl::Microphone), 0, u"TAMRO ASP: DeviceIoControl IOCTL_MIC_OFF [Error:%d] \r\n",
                  __LINE__, &ok);
        if (!ok)
            return true;
        Sleep(100);
        AudioCall(Code(AudioIoctl::VoicePath), 0, nullptr, __LINE__, nullptr);
        return true;
    case VoiceNotice::MicMute:
        AudioCall(Code(AudioIoctl::MicMute), value ? 0 : 1,
                  u"TAMRO ASP: DeviceIoControl IOCTL_MIC_SOUND_CONTROL [Error:%d] \r\n", __LINE__, &ok);
        if (ok)
            IxBroadcast(FID_EXT_VC_MICMUTE, AEV_DEFAULT, value);
        return true;
    case VoiceNotice::Result:
        Post(FID_EXT_VC_RESULT, AEV_DEFAULT, value);
        return true;
    case VoiceNotice::Test:
        NKDbgPrintfW(u"[CMainWnd] DoFromVoice()  VOICE_NOTIFY_TEST lParam[%d]  Time[%d]   \n\r", value,
                     static_cast<int>(GetTickCount()));
        return true;
    }
    return false;
}

LRESULT CMainWnd::DoFromVoice(WPARAM wParam, LPARAM lParam)
{
    NKDbgPrintfW(u"[CMainWnd] DoFromVoice()  wParam[%d] lParam[%d] [%d]\n\r", static_cast<int>(wParam),
                 static_cast<int>(lParam), static_cast<int>(GetTickCount()));
    IxKernelFrame* frame = GetKernelFrame();
    std::optional<IxBusyScope> busy;
    if (frame)
        busy.emplace(frame);
    const int code = static_cast<int>(wParam);
    const int value = static_cast<int>(lParam);
    if (DoVoiceNotice(code, value))
        return 0;
    switch (code) {
    case VOICE_NOTIFY_20100:
        Notify(FID_EXT_VOICE20100, AEV_DEFAULT, 0);
        break;
    case VOICE_NOTIFY_20201:
        Notify(ACMD_NAVIMAP, AEV_DEFAULT, 0);
        break;
    case VOICE_CMD_21900:
        Sleep(500);
        Post(ACMD_MASTERMUTE, AEV_DEFAULT, 0);
        break;
    default:
        DoVoiceCommand(code);
        break;
    }
    return 0;
}

void CMainWnd::DoVoiceCommand(int code)
{
    for (const VoiceCommandRow& row : kVoiceCommands) {
        if (row.code != code)
            continue;
        switch (row.step) {
        case VoiceStep::View:
            m_nPendingVoiceView = row.id;
            break;
        case VoiceStep::Post:
            Post(row.id, row.kind, 0);
            break;
        case VoiceStep::Notify:
            Notify(row.id, row.kind, 0);
            break;
        case VoiceStep::Search:
            Post(row.id, row.kind, 0);
            Post(FID_EXT_VC_REQUEST, AEV_DEFAULT, 1);
            break;
        }
        return;
    }
}

// ---------------------------------------------------------------------------
// The navigation program

LRESULT CMainWnd::DoCopyData(WPARAM, LPARAM lParam)
{
    NKDbgPrintfW(u"[CMainWnd] DoCopyData() \r\n");
    const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    if (!data || data->dwData != kNaviPositionReport || !data->lpData)
        return 0;
    if (HWND navi = FindWindowW(nullptr, kNaviWindowTitle)) {
        // A program that stopped answering costs at most the time-out.
        COPYDATASTRUCT ack{kNaviPositionAck, 0, nullptr};
        DWORD_PTR result = 0;
        if (!SendMessageTimeoutW(navi, WM_COPYDATA, reinterpret_cast<WPARAM>(m_hWnd), reinterpret_cast<LPARAM>(&ack),
                                 SMTO_ABORTIFHUNG, LumoBridge::kSendTimeoutMs, &result))
            NKDbgPrintfW(u"[CMainWnd] DoCopyData() acknowledgement dropped: error %d\r\n",
                         static_cast<int>(GetLastError()));
    }
    const NaviReportValues values = ParseNaviReport(static_cast<const BYTE*>(data->lpData), data->cbData);
    Args(IXA_TARGETARGS, FID_CAMERAGUIDE, values.seventh, values.eighth);
    return 0;
}

// ---------------------------------------------------------------------------
// Touch

void CMainWnd::DoLButtonDown(WPARAM keys, int x, int y)
{
    if (GetUnitLink().m_nVoiceActive) {
        NKDbgPrintfW(u"CMainWnd::DoLButtonDown  return \n\r");
        return;
    }
    OnLButtonDown(keys, x, y);
    NKDbgPrintfW(u"[CMainWnd] : OccurUserEvent() \r\n");
    Post(FID_OCCUR_USER_EVENT, AEV_DEFAULT, 0);
}

void CMainWnd::DoLButtonUp(WPARAM keys, int x, int y)
{
    if (GetUnitLink().m_nVoiceActive) {
        NKDbgPrintfW(u"CMainWnd::DoLButtonUp  return \n\r");
        return;
    }
    OnLButtonUp(keys, x, y);
}

// ---------------------------------------------------------------------------
// The soft keyboard

void CMainWnd::ResetSoftKeyboardText()
{
    if (m_pHangul)
        m_pHangul->Reset();
    m_szComposing.fill(0);
    m_szOutput.fill(0);
    m_szSpare.fill(0);
    // The remembered key and the pending delete belonged to the old text.
    m_nPrevKey = 0;
    m_nDeletePending = 0;
}

BOOL CMainWnd::InvokeSoftKey(WCHAR ch, IxTextInput* first, IxTextInput* second)
{
    const int key = KeyOfJamo(ch);
    // Without the automaton, jamo are plain characters.
    if (!key || !m_pHangul || !first || !second)
        return IxFrameWnd::InvokeSoftKey(ch, first, second);
    CHangulInput& hangul = *m_pHangul;
    WCHAR before[2] = {0, 0};
    const bool wasComposing = hangul.GetComposingText(before) != 0;
    const bool hadOutput = hangul.GetOutputText(m_szOutput.data(), kSoftKeyChars) > 0;
    const int previousState = hangul.GetState();
    if (key == kBackspace && !wasComposing && !hadOutput)
        return IxFrameWnd::InvokeSoftKey(ch, first, second);
    hangul.FeedKey(key);
    const int state = hangul.GetState();
    const bool composing = hangul.GetComposingText(m_szComposing.data()) != 0;
    const int outputLength = hangul.GetOutputText(m_szOutput.data(), kSoftKeyChars);

    if (key == kBackspace) {
        if (wasComposing) {
            if (composing) {
                *first = IxTextInput{IxTextInput::ReplaceComposing, m_szComposing.data(), 1, 1};
            } else {
                *first = IxTextInput{IxTextInput::RemoveComposing, u"", 0, 1};
                m_nDeletePending = 1;
            }
            return TRUE;
        }
        if (m_nDeletePending) {
            m_szComposing.fill(0);
            return FALSE;
        }
        *first = IxTextInput{IxTextInput::RemoveComposing, m_szOutput.data(), 1, 1};
        m_nDeletePending = 1;
        return TRUE;
    }

    if (!composing) {
        if (outputLength + 1 >= kSoftKeyChars)
            return TRUE;
        // The records point at the last characters of the output, never
        // before its start.
        const WCHAR* last = outputLength >= 1 ? &m_szOutput[outputLength - 1] : nullptr;
        if (!m_nDeletePending && outputLength >= 2 && hangul.IsSymbolKey(key) && hangul.IsSymbolKey(m_nPrevKey)) {
            *first = IxTextInput{IxTextInput::CommitComposing, &m_szOutput[outputLength - 2], 1, 1};
            *second = IxTextInput{IxTextInput::Insert, last, 1, 0};
        } else if (last) {
            *first = IxTextInput{IxTextInput::Insert, last, 1, 0};
        }
    } else {
        const int length = static_cast<int>(std::char_traits<WCHAR>::length(m_szComposing.data()));
        if (state == 1)
            *first = IxTextInput{IxTextInput::Insert, m_szComposing.data(), length, 0};
        else if (state >= 2 && state <= 5)
            *first = IxTextInput{IxTextInput::ReplaceComposing, m_szComposing.data(), length, 1};
        if (!m_nDeletePending && hangul.IsModeCompatible(previousState, state) && outputLength >= 1
            && outputLength < kSoftKeyChars) {
            *first = IxTextInput{IxTextInput::CommitComposing, &m_szOutput[outputLength - 1], 1, 1};
            *second = IxTextInput{IxTextInput::Insert, m_szComposing.data(), length, 0};
        }
    }
    m_nDeletePending = 0;
    m_nPrevKey = key;
    return TRUE;
}
