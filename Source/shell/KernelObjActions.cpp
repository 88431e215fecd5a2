// CKernelObj's central action handler: the codes the object hears as a
// listener (its own filter and ViewCenter's) and as a subscriber of the
// system events 21 and 22. Each code turns into a screen change, a device
// request, a further queued action or a popup; whatever is not taken here
// goes on to ViewCenter's dispatcher with the same arguments.
//
// Pieces of the unit that do not exist yet are reached only where they
// exist: the tilt device and the DVD and Bluetooth models come with their
// subsystems.
#include "Source/shell/KernelObj.h"

#include "Lib_cpp/controls/Sheet.h"
#include "Lib_cpp/core/ActionCodes.h"
#include "Source/models/Model.h"
#include "Source/models/ModelCodes.h"
#include "Source/models/SettingModel.h"
#include "Source/models/UnitLink.h"
#include "Source/screens/common/OkPopup.h"
#include "Source/screens/common/SheetCodes.h"
#include "Source/shell/LumoBridge.h"
#include "Source/shell/MainWndCodes.h"
#include "Source/shell/ModePopup.h"
#include "platform/base/Clock.h"
#include "platform/base/Debug.h"
#include "platform/gfx/DisplayDriver.h"
#include "platform/gfx/Gdi.h"
#include "platform/io/AudioDriver.h"
#include "platform/io/ConnectionDriver.h"
#include "platform/io/MicomDriver.h"
#include "platform/io/RawDisk.h"
#include "platform/ui/Window.h"

#include <algorithm>
#include <new>

namespace {

constexpr int kWaitNaviCloseMs = 2000;
constexpr int kNoBranch = -1;
constexpr int kDeviceOn = 3; // a device's state: present and on

bool IsKeyStep(int kind)
{
    return kind == AEV_SHORTPRESS || kind == AEV_LONGPRESS || kind == AEV_HOLDREPEAT;
}

bool IsSaverView(int view)
{
    return view == FID_SPECTRUMSAVER || view == FID_PICTURESAVER;
}

bool IsMenuGroupView(int view)
{
    return view >= FID_MENU_FIRST && view <= FID_MENU_LAST;
}

DWORD Code(MicomIoctl code)
{
    return static_cast<DWORD>(code);
}

} // namespace

int CKernelObj::ActionIsInvoked(int code, int kind, LPARAM param)
{
    // The DVD's sub-screens are the DVD screen for the base.
    if (code > FID_DVD && code <= FID_DVD_LAST)
        return ViewCenter::ActionIsInvoked(FID_DVD, kind, param);
    if (code == ACMD_APPPREPARE || code == ACMD_APPCLEANUP)
        return SystemEventIsInvoked(code, param);
    BOOL handled = FALSE;
    int result = NaviActionIsInvoked(code, kind, param, &handled);
    if (handled)
        return result;
    result = ScreenKeyIsInvoked(code, kind, param);
    if (result == kNoBranch)
        result = AudioKeyIsInvoked(code, kind, param);
    if (result == kNoBranch)
        result = NoticeIsInvoked(code, kind, param);
    if (result == kNoBranch)
        result = ViewCenter::ActionIsInvoked(code, kind, param);
    return result;
}

// ---------------------------------------------------------------------------
// Source and screen keys

int CKernelObj::ScreenKeyIsInvoked(int code, int kind, LPARAM param)
{
    IxKernelFrame* frame = GetKernelFrame();
    switch (code) {
    case FID_CAMERA_FIRST:
    case FID_FRONTCAMERA:
    case FID_REARCAMERA:
    case FID_DUALZONE:
        // The switch the base runs for the source views.
        if (m_dwOptions & VCOPT_PERMANENTRUN)
            RunPermanentAware(code);
        else
            ViewIsExeced(code);
        return 0;
    case FID_SET_DISPLAY:
    case FID_SPECTRUMSAVER:
    case FID_PICTURESAVER:
    case FID_SET_AUDIO:
    case FID_SET_SYSTEM:
    case FID_SET_BUTTONLIGHT:
    case 10056: // the engineering mode
        ViewIsExeced(code);
        return 0;
    case FID_SET_DVD: {
        // The DVD settings cannot open while a disc is in the tilt's slot.
        BYTE status[kTiltStatusSize] = {};
        DWORD got = 0;
        const BOOL read = GetUnitLink().m_hConnection.Ioctl(static_cast<DWORD>(ConnectionIoctl::TiltStatus), nullptr, 0,
                                                            status, sizeof(status), &got);
        if (read && got >= kTiltDiscWordOffset + 4 && platform::GetRawWord(status + kTiltDiscWordOffset) != 0)
            PushGlobalAction(ACMD_TILTWITHDISC, AEV_DEFAULT, 0);
        else
            ViewIsExeced(code);
        return 0;
    }
    case FID_EXT_VOICE20100:
        if (IsElementShown(ACMD_BTCALLPOPUP) || IsElementShown(FID_BTCALLSMALL))
            return 0;
        if (!IsNaviShown())
            ViewIsExeced(FID_GATE);
        else
            SetActivity(m_nActivity, 1, FID_GATE);
        return 0;
    case FID_EXT_GATEKEY:
        if (IsOnGate())
            ViewIsBack(VCAT_BACK, FID_GATE);
        else if (!IsNaviShown())
            ViewIsExeced(FID_GATE);
        else
            SetActivity(m_nActivity, 1, FID_GATE);
        return 0;
    case FID_EXT_3DMENU:
        SetActivity(m_nActivity, 1, FID_GATE);
        return 0;
    case FID_EXT_BACKKEY:
        PushGlobalAction(IXA_BACK, AEV_DEFAULT, 0);
        return 0;
    case ACMD_COVERSHOW:
        if (IsOnGate())
            PushGlobalAction(IXA_BACK, AEV_DEFAULT, 0);
        return ViewCenter::ActionIsInvoked(code, kind, param);
    case IXA_BACK:
        return BackIsInvoked(code, kind, param);
    case FID_EXT_MODEPOPUP:
    case FID_EXT_NAVIMODEPOPUP:
        return ModePopupIsAsked(code);
    case FID_EXT_REMOTESTOP: {
        IxKernel::MarkUpdateAll(this);
        const BOOL pageShown = IsElementShown(IXPAGE_C_FIRST);
        if (GetActiveView() != FID_PHOTO)
            PushGlobalAction(pageShown ? MSC_VIDEOCONTROLS : MSC_SHOWPAGEC, AEV_DEFAULT, 0);
        else if (!pageShown && !IsElementShown(IXPAGE_C_FIRST + 1))
            PushGlobalAction(MSC_SHOWPAGEC, AEV_DEFAULT, 0);
        return 0;
    }
    case KEY_SEEKUPHELD:
        PushGlobalAction(FID_EXT_SEEKUPHELD, kind, 0);
        return 0;
    case KEY_SEEKDOWNHELD:
        PushGlobalAction(FID_EXT_SEEKDOWNHELD, kind, 0);
        return 0;
    case KEY_PHONEOFFHELD:
        // The Bluetooth screen and the module's command come with the
        // Bluetooth model; the key itself always goes on.
        if (kind == AEV_SHORTEND || kind == AEV_LONGPRESS)
            PushGlobalAction(FID_EXT_PHONEOFFHELD, kind, 0);
        return 0;
    case FID_EXT_VOICE20409:
        if (GetActiveView() == FID_IPOD)
            PushGlobalAction(KEY_REMOTE_RANDOMHELD, AEV_HOLDSTART, 0);
        else
            PushGlobalAction(BTN_RANDOM, AEV_DEFAULT, 0);
        [[fallthrough]];
    case FID_EXT_KEYPRESS:
        if (frame && frame->IsLayerShown(FID_VOLUME))
            frame->PopLayer(FID_VOLUME);
        return 0;
    default:
        return kNoBranch;
    }
}

int CKernelObj::BackIsInvoked(int code, int kind, LPARAM param)
{
    NKDbgPrintfW(u"[ActionIsInvoked] ACMD_BACK \r\n");
    const int top = GetActiveView();
    if (GetUnitLink().m_nVoiceActive && top != FID_GATE)
        IxBroadcast(FID_EXT_VC_RECOG, AEV_DEFAULT, 0);
    if (top != FID_GATE)
        return ViewCenter::ActionIsInvoked(code, kind, param);
    // Over the 3D menu while the rear camera is up: the menu's page goes and
    // the camera's end brings the menu back.
    if (m_fidCamera != 0 && m_pCenter && m_pCenter->GetState(DEVNO_REARCAMERA) == kDeviceOn) {
        if (IxKernelFrame* frame = GetKernelFrame())
            frame->SetActivePage(nullptr, 0, 0);
        m_bBackToMenu = TRUE;
        return 0;
    }
    return ViewCenter::ActionIsInvoked(code, kind, param);
}

int CKernelObj::ModePopupIsAsked(int code)
{
    IxKernelFrame* frame = GetKernelFrame();
    if (!frame)
        return 1;
    // The navigation program's call waits while the program holds the unit.
    if (code == FID_EXT_NAVIMODEPOPUP && LumoBridge::IsNaviHeld())
        return 0;
    if (IsMenuGroupView(GetActiveView()))
        frame->PostAction(IXA_BACK, AEV_DEFAULT, 0);
    if (frame->IsLayerShown(FID_MODEPOPUP)) {
        if (code == FID_EXT_NAVIMODEPOPUP)
            PushGlobalAction(FID_EXT_MODECLOSE, AEV_DEFAULT, 0);
        return 1;
    }
    PushModePopup();
    return 1;
}

void CKernelObj::PushModePopup()
{
    IxKernelFrame* frame = GetKernelFrame();
    auto* popup = frame ? new (std::nothrow) CModePopup : nullptr;
    if (!popup)
        return;
    popup->SetRectNow(RECT{0, 0, 800, 480});
    frame->GetKernel()->PushTopLayer(popup, nullptr, 1);
}

int CKernelObj::ModeKey(int kind)
{
    IxKernelFrame* frame = GetKernelFrame();
    // While the navigation program starts, its window takes the screen.
    if (!frame || m_nNaviMode == NAVI_LAUNCHING)
        return 1;
    if (IsMenuGroupView(GetActiveView()))
        frame->PostAction(IXA_BACK, AEV_DEFAULT, 0);
    if (LumoBridge::IsNaviHeld())
        return 1;
    // During a Bluetooth call the key goes to ViewCenter (the Bluetooth
    // model comes with its subsystem).
    if (!frame->IsLayerShown(FID_MODEPOPUP)) {
        if (kind == AEV_SHORTPRESS)
            PushModePopup();
        else
            PushGlobalAction(FID_EXT_MODETAKE, AEV_DEFAULT, 0);
    } else {
        PushGlobalAction(kind == AEV_SHORTPRESS ? FID_EXT_MODENEXT : FID_EXT_MODETAKE, AEV_DEFAULT, 0);
    }
    return 1;
}

// ---------------------------------------------------------------------------
// Volume and audio, display and lighting

int CKernelObj::AudioKeyIsInvoked(int code, int kind, LPARAM param)
{
    switch (code) {
    case BTN_VOLUP:
    case BTN_VOLDOWN:
        if (IsKeyStep(kind)) {
            m_center.StepVolume(code == BTN_VOLUP ? 1 : -1);
            SaveLastStatus(3);
        }
        return 0;
    case ACMD_VOLUMEUP:
    case ACMD_VOLUMEDOWN: {
        const int result = ViewCenter::ActionIsInvoked(code, kind, param);
        if (IxKernelFrame* frame = GetKernelFrame(); frame && frame->IsLayerShown(FID_MODEPOPUP))
            frame->PopLayer(FID_MODEPOPUP);
        if (IsKeyStep(kind))
            SaveLastStatus(3);
        return result;
    }
    case ACMD_BRIDGEMUTE:
        if (kind != AEV_DEFAULT)
            return kNoBranch;
        return ViewCenter::ActionIsInvoked(ACMD_MASTERMUTE, kind, param);
    case KEY_STEERINGMUTEHELD:
        if (kind == AEV_SHORTPRESS)
            PushGlobalAction(ACMD_MASTERMUTE, AEV_DEFAULT, 0);
        return 0;
    case FID_EXT_POWEROFF:
        if (IxModel* bare = m_center.FindModel(MODELID_BARE))
            m_center.RequestSource(bare, 5, 1);
        return 0;
    case FID_EXT_VC_READY: {
        // The guidance level the navigation program left in the status
        // block; unset (negative) reads as 3, and the processor takes a byte.
        int level = 3;
        if (const BYTE* block = GetBlock0()) {
            const int word = static_cast<int>(platform::GetRawWord(block + B0_GUIDANCE));
            level = word < 0 ? 3 : std::min(word, 255);
        }
        GetUnitLink().m_hAudio.IoctlByte(static_cast<DWORD>(AudioIoctl::GuidanceLevel), static_cast<DWORD>(level));
        SendCommandToVC(m_fidNavi > 0 ? FID_NAVI : GetActiveView());
        return 0;
    }
    case MODELID_CENTER:
        if (kind != MCN_OWNERCHANGED)
            return kNoBranch;
        SourceStateIsChanged(static_cast<int>(param));
        return 0;
    case FID_EXT_TAIL:
        TailLampIsChanged(param != 0);
        return 0;
    case MCA_REQUESTB:
        if (IxKernelFrame* frame = GetKernelFrame(); frame && frame->GetWindowHandle()) {
            static const UINT s_uFromMain = RegisterWindowMessageW(kFromMainName);
            SendMessageW(frame->GetWindowHandle(), s_uFromMain, FROMMAIN_BACKLIGHT, param);
        }
        return 0;
    default:
        return kNoBranch;
    }
}

void CKernelObj::SourceStateIsChanged(int modelId)
{
    if (!InRun())
        return;
    const int state = modelId == MODELID_FM || modelId == MODELID_AM ? 1 : 0;
    if (state == m_nState8000)
        return;
    m_nState8000 = state;
    SendMicomState(state == 1 ? 1 : 2, 0);
}

void CKernelObj::SendMicomState(BYTE first, BYTE second)
{
    BYTE bytes[2] = {first, second};
    GetUnitLink().m_hMicom.IoctlIn(Code(MicomIoctl::SetState), bytes, sizeof(bytes));
}

void CKernelObj::TailLampIsChanged(BOOL on)
{
    m_bTailLamp = on;
    HDC dc = GetDC(nullptr);
    if (!dc)
        return;
    // Day mode while the lamps are off, then the stored level for day or
    // night.
    BYTE day[4] = {};
    platform::PutRawWord(day, on ? 0 : 1);
    ExtEscape(dc, static_cast<int>(DisplayEscape::DayMode), sizeof(day), reinterpret_cast<LPCSTR>(day), 0, nullptr);
    BYTE level[4] = {};
    platform::PutRawWord(level, static_cast<DWORD>(SettingGetContrastValue(on ? 1 : 0)));
    ExtEscape(dc, static_cast<int>(DisplayEscape::Brightness), sizeof(level), reinterpret_cast<LPCSTR>(level), 0,
              nullptr);
    ReleaseDC(nullptr, dc);
}

// ---------------------------------------------------------------------------
// The system events

int CKernelObj::SystemEventIsInvoked(int code, LPARAM param)
{
    // The tilt's angle commands around these events come with the tilt
    // device, the DVD model's disconnect with the DVD model.
    if (code == ACMD_APPPREPARE) {
        if (param == 0)
            NKDbgPrintfW(u"[CKernelObj] ACMD_APPPREPARE \n\r");
        else if (param == 1)
            SendMicomState(255, 0);
        if (param == 0 || param == 1)
            m_bPrepared = TRUE;
        return 0;
    }
    if (param == 0) {
        if (BYTE* block = GetBlock0())
            platform::PutRawWord(block + B0_CLEANUP, 1);
    } else if (param == 1) {
        NKDbgPrintfW(u"+++++++++++++++++++ ACMD_APPCLEANUP POWEROFF \b\r");
        SendMicomState(0, 0);
    }
    return 0;
}

// ---------------------------------------------------------------------------
// Power, ACC, park, screen saver and the navigation program's end

int CKernelObj::NoticeIsInvoked(int code, int kind, LPARAM param)
{
    IxKernelFrame* frame = GetKernelFrame();
    switch (code) {
    case FID_EXT_ACC_CHECK:
        BeginAccCheck();
        return 1;
    case FID_EXT_TILT_INSERT:
        BeginTimer(TM_DVDEXTRELOAD, 15000);
        return 1;
    case FID_EXT_TILT_INSERTDONE:
        EndTimer(TM_DVDEXTRELOAD);
        return 1;
    case FID_EXT_PARKSIGNAL:
        ParkSignal();
        return 0;
    case MCA_SECONDZONEMOVED:
        if (kind != AEV_DEFAULT)
            return kNoBranch;
        // The dual-zone screen goes off with the multimedia mode: said once.
        if (!IsLayerUp(FID_DUALZONEPOPUP)) {
            auto* popup = new (std::nothrow)
                COkPopup({u"AVN의 멀티미디어 모드가 다른 모드로", u"변경되면 듀얼죤 화면이 오프로 됩니다."}, 5000);
            if (popup && !popup->Show(nullptr, FID_DUALZONEPOPUP, RECT{0, 0, 800, 480}, -1))
                delete popup;
        }
        return 0;
    case FID_OCCUR_USER_EVENT:
        UserActivity(param);
        return 0;
    case FID_EXT_WAIT_NAVICLOSE:
        NKDbgPrintfW(u"[FID_EXT_WAIT_NAVICLOSE] BeginTimer [TM_WAITNAVICLOSE] \n");
        BeginTimer(TM_WAITNAVICLOSE, kWaitNaviCloseMs);
        return 0;
    case ACMD_NAVITERMINATED: {
        EndTimer(TM_WAITNAVICLOSE);
        const int result = ViewCenter::ActionIsInvoked(code, kind, param);
        // A factory reset asked for while the navigation program ran waited
        // for this end.
        if (m_bFactoryReset)
            FactoryReset();
        return result;
    }
    case FID_EXT_FACTORYRESET:
        m_bFactoryReset = TRUE;
        if (m_nNaviMode < NAVI_LAUNCHED) {
            FactoryReset();
        } else if (LumoBridge* bridge = NaviBridge()) {
            // The program is asked to close; its end (396) runs the reset.
            bridge->SendValue(NaviCommand::WarningValue, 3, 4);
            bridge->SendValue(NaviCommand::Close, 0, 4);
        }
        return 0;
    case FID_NAVI_DETACH_POPUP:
        if (kind != AEV_COMPLETE)
            return 0;
        NKDbgPrintfW(u"[CkernelObj] FID_NAVI_DETACH_POPUP Reset \n\r");
        if (frame)
            frame->PopLayer(FID_NAVI_DETACH_POPUP);
        GetUnitLink().m_hMicom.Ioctl(Code(MicomIoctl::Reset), nullptr, 0, nullptr, 0, nullptr);
        return 0;
    case FID_ALIVEINVOKE:
        if (!GetUnitLink().m_hMicom.Ioctl(Code(MicomIoctl::Alive), nullptr, 0, nullptr, 0, nullptr))
            NKDbgPrintfW(u"[FID_ALIVEINVOKE] IOCTL_DEVICE_NECMICOM_SEND_ALIVE fail \n");
        return 0;
    case FID_EXT_LOOPBACK:
        NKDbgPrintfW(u"[CKernelObj] FID_EXT_LOOPBACK [%d] \n\r", static_cast<int>(GetTickCount()));
        return 0;
    default:
        return kNoBranch;
    }
}

void CKernelObj::ParkSignal()
{
    const CUnitLink& link = GetUnitLink();
    if (link.m_nParkSignalOff) {
        NKDbgPrintfW(u"[BSP] Unused Park Signal \r\n");
        m_bPark = FALSE;
    } else {
        m_bPark = link.m_nParked != 0;
    }
    PushGlobalAction(IXA_FORCENOTICE, m_bPark ? AEV_DEFAULT : AEV_DETACH, DEVNO_PARK);
}

void CKernelObj::UserActivity(LPARAM param)
{
    if (IsLayerUp(FID_POPUP_NOSAVER1) || IsLayerUp(FID_POPUP_NOSAVER2))
        return;
    if (IsSaverView(GetActiveView()))
        PushGlobalAction(IXA_BACK, AEV_DEFAULT, 0);
    if (param == 1 && m_center.GetEnableWord(1) == 0)
        IxKernel::MarkUpdateAll(this);
    const int navi = GetNaviState();
    if (navi != 2 && navi != 3) // the navigation map is not shown
        RestartScreenSaver();
}

void CKernelObj::RestartScreenSaver()
{
    EndTimer(TM_SCREENSAVER);
    const BYTE* setting = GetSettingStatus();
    const int seconds = setting ? SettingWord(setting, SETTING_SAVERDELAY) : 0;
    // At most a day: a damaged record must not overflow the milliseconds.
    if (seconds > 0 && seconds <= 24 * 60 * 60)
        BeginTimer(TM_SCREENSAVER, seconds * 1000);
}

BOOL CKernelObj::IsLayerUp(int id) const
{
    IxKernelFrame* frame = GetKernelFrame();
    return frame && frame->IsLayerShown(id);
}
