// CKernelObj's side of the two programs that live on the first SD card (the
// storage 10): the navigation program's start, the guard in front of every
// switch to the navigation map, the mode reports to the voice controller,
// and the navigation and voice commands of the action handler.
//
// Every message to a program goes out with a time-out: a program that hangs
// costs the user-interface thread kProgramSendTimeoutMs, and the message is
// dropped with a log line.
#include "Lib_cpp/core/ActionCodes.h"
#include "Lib_cpp/core/Diag.h"
#include "Lib_cpp/core/Utility.h"
#include "Lib_cpp/kernel/Kernel.h"
#include "Source/models/ModelCodes.h"
#include "Source/models/NaviModel.h"
#include "Source/screens/common/MessagePopup.h"
#include "Source/screens/common/WindowedMessagePopup.h"
#include "Source/shell/KernelObj.h"
#include "Source/shell/LumoBridge.h"
#include "Source/shell/NaviModelAdapter.h"
#include "Source/shell/ShellIds.h"
#include "platform/base/Clock.h"
#include "platform/base/Debug.h"
#include "platform/base/Error.h"
#include "platform/io/File.h"
#include "platform/io/ProgramLinks.h"
#include "platform/ui/Window.h"

#include <algorithm>
#include <new>
#include <string>

namespace {

// The messages about the programs on the first card.
constexpr const WCHAR* kNaviCardText = u"SD 1번 슬롯이 비어 있거나 파일이 없습니다.\n내비게이션 프로그램은 \nSD 1번 "
                                       u"슬롯에서만 실행될수 있습니다.";
constexpr const WCHAR* kVoiceCardText
    = u"SD 1번 슬롯이 비어 있습니다.\n 음성인식 프로그램은 \nSD 1번 슬롯에서만 실행될수 있습니다.";
constexpr const WCHAR* kVoicePrepareText = u"음성인식 실행 준비중에 있습니다. \n잠시 후에 시도를 해주십시오.";
constexpr const WCHAR* kVideoPhotoText = u"비디오 모드 실행 중에는 포토를 \n실행할 수 없습니다.";

constexpr int kMessageMs = 3000;
// The video and photo message stands left of the standard box.
constexpr RECT kVideoPhotoBox{78, 83, 78 + 524, 83 + 314};
constexpr int kPrepareMs = 2000;
constexpr int kNaviCloseStepMs = 200;
// The states of storage 10 and the global navigation state that matter
// here.
constexpr int kMounted = 3;
constexpr int kNaviShownFull = 2;
constexpr int kNaviShownBeside = 3;

long Now()
{
    return static_cast<long>(GetTickCount());
}

HWND FindProgram(LPCWSTR title)
{
    return FindWindowW(nullptr, title);
}

BOOL FileExists(const IxString& path)
{
    return GetFileAttributesW(path.Text()) != INVALID_FILE_ATTRIBUTES;
}

BOOL IsSaverView(int view)
{
    return view == FID_SPECTRUMSAVER || view == FID_PICTURESAVER;
}

} // namespace

// ---------------------------------------------------------------------------
// Paths and sends

BOOL CKernelObj::ProgramPath(LPCWSTR relative, IxString& path)
{
    IxString root;
    if (!ModelCenterGetDevicePath(DEVNO_SD0, root) || root.IsEmpty())
        return FALSE;
    path = root;
    return path.Append(relative, static_cast<int>(std::char_traits<char16_t>::length(relative)));
}

BOOL CKernelObj::IsNaviOnCard()
{
    IxString path;
    return ModelCenterGetAliasState(DEVNO_SD0) == kMounted && ProgramPath(kNaviProgramPath, path) && FileExists(path);
}

LRESULT CKernelObj::SendToProgram(HWND window, ULONG_PTR command, const void* data, DWORD size)
{
    COPYDATASTRUCT copy{command, size, const_cast<void*>(data)};
    DWORD_PTR result = 0;
    if (SendMessageTimeoutW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy), SMTO_ABORTIFHUNG,
                            kProgramSendTimeoutMs, &result))
        return static_cast<LRESULT>(result);
    if (GetLastError() == ERROR_TIMEOUT)
        NKDbgPrintfW(u"[CKernelObj] WM_COPYDATA [%d] dropped: no answer in %d ms, at [%ld]\r\n",
                     static_cast<int>(command), static_cast<int>(kProgramSendTimeoutMs), Now());
    else
        NKDbgPrintfW(u"[CKernelObj] WM_COPYDATA [%d] failed: the window is gone\r\n", static_cast<int>(command));
    return 0;
}

int CKernelObj::VoiceModeOf(int view)
{
    VoiceMode mode = VoiceMode::None;
    if (view >= FID_NAVI_FIRST && view <= FID_NAVI_LAST)
        mode = VoiceMode::Navi;
    else if (view == FID_GATE)
        mode = VoiceMode::Menu;
    else if (view == FID_MOVIE)
        mode = VoiceMode::Video;
    else if (view == FID_MUSIC)
        mode = VoiceMode::Audio;
    else if (view == FID_PHOTO)
        mode = VoiceMode::Photo;
    else if (view == FID_FM)
        mode = VoiceMode::Fm;
    else if (view == FID_AM)
        mode = VoiceMode::Am;
    else if (view == FID_DMB || view == FID_DAB)
        mode = VoiceMode::Tv;
    else if (view == FID_IPOD)
        mode = VoiceMode::Ipod;
    else if (view == FID_DVD)
        mode = VoiceMode::Dvd;
    else if (view == FID_BLUETOOTH)
        mode = VoiceMode::Bluetooth;
    return static_cast<int>(mode);
}

void CKernelObj::SendCommandToVC(int view)
{
    IxBroadcast(FID_ALIVEINVOKE, AEV_DEFAULT, 0);
    HWND voice = FindProgram(kVoiceWindowTitle);
    if (!voice) {
        NKDbgPrintfW(u"SendCommandToVC  No Ececute VC \n\r");
        return;
    }
    const int mode = VoiceModeOf(view);
    if (mode == 0) {
        // A view the controller has no mode for: it keeps the last one.
        NKDbgPrintfW(u"SendCommandToVC - no mode for view [%d]\n", view);
        return;
    }
    BYTE bytes[4];
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<BYTE>(static_cast<DWORD>(mode) >> (8 * i));
    SendToProgram(voice, static_cast<ULONG_PTR>(VoiceCommand::ExternalMode), bytes, sizeof bytes);
    IxBroadcast(FID_ALIVEINVOKE, AEV_DEFAULT, 0);
    NKDbgPrintfW(u"SendCommandToVC - dwData:WM_USER_EXTERNAL_MODE lpData: %d\n", mode);
}

// ---------------------------------------------------------------------------
// The navigation program's start

CNaviModelLink* CKernelObj::LaunchNavi()
{
    NKDbgPrintfW(u"[CKernelObj]LaunchNavi()  \n\r");
    IxString path;
    if (!ProgramPath(kNaviProgramPath, path))
        return nullptr;
    if (!IxLaunchProcess(path.Text(), nullptr, nullptr, nullptr, nullptr))
        return nullptr;
    SendCommandToVC(FID_NAVI);
    EndTimer(TM_SCREENSAVER);
    if (!m_pNaviLink) {
        SetNaviLinkFactory(&LumoBridge::Create);
        CNaviModel* model = ::GetNaviModel();
        if (!model)
            return nullptr;
        m_pNaviLink = new (std::nothrow) CNaviModelAdapter(model);
        if (!m_pNaviLink) {
            model->Release();
            IxRecordError(IXERR_NOMEMORY);
            return nullptr;
        }
    }
    return m_pNaviLink;
}

void CKernelObj::ReleaseNaviLink()
{
    if (m_pNaviLink) {
        m_pNaviLink->Release();
        m_pNaviLink = nullptr;
    }
}

LumoBridge* CKernelObj::NaviBridge() const
{
    CNaviModel* model = m_pNaviLink ? m_pNaviLink->GetModel() : nullptr;
    return model ? dynamic_cast<LumoBridge*>(model->GetBridge()) : nullptr;
}

void CKernelObj::NaviIsAvailable()
{
    if (!IsNaviOnCard())
        return;
    // Only a program that does not run yet becomes startable: the card
    // coming again while it runs leaves its state alone.
    if (m_nNaviMode == NAVI_NONE)
        m_nNaviMode = NAVI_STARTABLE;
    if (m_nNaviMode == NAVI_STARTABLE && m_nDaemons <= 0 && !m_fNaviAtFirst)
        LaunchNaviSafe();
}

// ---------------------------------------------------------------------------
// ViewCenter's steps

int CKernelObj::SetActivity(int activity, int where, int fid)
{
    const BOOL shown = m_fidNavi > 0;
    if (activity == 0 && where == 1 && shown) {
        m_bAvRequested = TRUE;
    } else if (activity == 0 && where == -1 && !shown) {
        m_bNaviRequested = TRUE;
    } else if (activity == 1 && where == -1 && !shown) {
        if (!IsNaviOnCard()) {
            ShowMessage(FID_SDSLOTPOPUP, kNaviCardText, MPS_QUESTION, MPB_OK, kMessageMs, FALSE, kMessageBox);
            return 0;
        }
        if (m_bNotLoadNavi)
            activity = 0;
    }
    const int result = ViewCenter::SetActivity(activity, where, fid);
    m_bAvRequested = FALSE;
    m_bNaviRequested = FALSE;
    return result;
}

void CKernelObj::CloseVolumePopup(int value)
{
    if (value == 1) {
        SendCommandToVC(GetActiveView());
        RestartScreenSaver();
    } else if (value == -1) {
        SendCommandToVC(FID_NAVI);
        EndTimer(TM_SCREENSAVER);
    }
    ViewCenter::CloseVolumePopup(value);
}

void CKernelObj::NaviIsShown()
{
    ViewCenter::NaviIsShown();
    m_dwModeKeyTick = GetTickCount();
}

void CKernelObj::SwitchVideoPhoto(int view, int source)
{
    IxKernelFrame* frame = GetKernelFrame();
    if (source != FID_MOVIE) {
        if (frame && GetActiveView() != view)
            frame->SetActivePageById(view, 0, 0);
        return;
    }
    // The photo screen was asked for while the video plays: the video stays.
    const int state = GetNaviState();
    if (state == kNaviShownBeside) {
        SendCommandToVC(FID_NAVI);
    } else if (state == kNaviShownFull) {
        SetActivity(m_nActivity, 1, 0);
    } else if (frame && GetActiveView() != FID_MOVIE) {
        frame->SetActivePageById(FID_MOVIE, 0, 0);
    }
    SendCommandToVC(state == kNaviShownBeside ? FID_NAVI : FID_MOVIE);
    ShowMessage(FID_VIDEOPHOTOPOPUP, kVideoPhotoText, MPS_QUESTION, MPB_CANCEL, kMessageMs, FALSE, kVideoPhotoBox);
}

// ---------------------------------------------------------------------------
// The action handler's navigation and voice rows

BOOL CKernelObj::IsDvdWithoutSource() const
{
    return GetActiveView() == FID_DVD && m_center.GetSourceOwnerId(ZONE_MAIN) != MODELID_DVD;
}

void CKernelObj::StartVoiceController(LPCWSTR tag)
{
    if (FindProgram(kVoiceWindowTitle))
        return;
    IxString path;
    if (!ProgramPath(kVoiceProgramPath, path)) {
        NKDbgPrintfW(u"%s Make NaviPath Fail \n", tag);
        return;
    }
    NKDbgPrintfW(u"%s create voice control process \n", tag);
    IxLaunchProcess(path.Text(), nullptr, nullptr, nullptr, nullptr);
}

int CKernelObj::ModeKey()
{
    NKDbgPrintfW(u">>>>>>>>> ACMD_KEY_MODE  AV/MAIN \r\n");
    IxKernelFrame* frame = GetKernelFrame();
    const BOOL busy = frame && m_dwModeKeyTick && frame->IsBusy(m_dwModeKeyTick);
    if (IsAvOff()) {
        IxKernel::MarkUpdateAll(this);
        if (GetActiveView() == FID_GATE)
            ViewIsBack(VCAT_BACK, FID_GATE);
        else
            SetActivity(m_nActivity, 1, FID_GATE);
        return 0;
    }
    if (m_fidNavi > 0) {
        if (busy)
            return 0;
        IxKernel::MarkUpdateAll(this);
        SetActivity(m_nActivity, 1, 0);
        m_dwModeKeyTick = GetTickCount();
        return 0;
    }
    if (busy || IsDvdWithoutSource())
        return 0;
    IxKernel::MarkUpdateAll(this);
    if (IsNaviOnCard()) {
        if (m_nNaviMode == NAVI_NONE)
            m_nNaviMode = NAVI_STARTABLE;
        SetActivity(std::max(m_nActivity, 0), -1, 0);
        m_dwModeKeyTick = GetTickCount();
        SendCommandToVC(FID_NAVI);
    } else if (GetActiveView() != FID_GATE) {
        ShowMessage(FID_SDSLOTPOPUP, kNaviCardText, MPS_QUESTION, MPB_OK, kMessageMs, FALSE, kMessageBox);
    }
    return 0;
}

int CKernelObj::VoiceKey(LPARAM param)
{
    NKDbgPrintfW(u"[CKernelObj] ACMD_VOICE_RECOGNITION  Hint[%d]  \n", static_cast<int>(param));
    if (IsSaverView(GetActiveView())) {
        NKDbgPrintfW(u"[CKernelObj] ACMD_VOICE_RECOGNITION  SlideCancel   \n");
        PushGlobalAction(IXA_BACK, AEV_DEFAULT, 0);
        return 1;
    }
    if (IsDvdWithoutSource())
        return 0;
    const BOOL start = param == 1;
    // A call keeps the microphone: no recognition during it. The call state
    // comes with the Bluetooth model.
    if (!FindProgram(kVoiceWindowTitle) && start) {
        IxString path;
        if (!ProgramPath(kVoiceProgramPath, path)
            || !IxLaunchProcess(path.Text(), nullptr, nullptr, nullptr, nullptr)) {
            ShowMessage(FID_SDSLOTPOPUP, kVoiceCardText, MPS_QUESTION, MPB_OK, kMessageMs, FALSE, kMessageBox);
            return 1;
        }
    }
    if (GetActiveView() == FID_GATE && start)
        IxBroadcast(IXA_BACK, AEV_DEFAULT, 0);
    if (HWND voice = FindProgram(kVoiceWindowTitle)) {
        const VoiceCommand command = start ? VoiceCommand::RecognitionStart : VoiceCommand::RecognitionStop;
        SendToProgram(voice, static_cast<ULONG_PTR>(command), nullptr, 0);
    }
    return 0;
}

int CKernelObj::NaviActionIsInvoked(int code, int kind, LPARAM param, BOOL* handled)
{
    BOOL mine = TRUE;
    int result = 0;
    switch (code) {
    case FID_EXT_LOADCOMPLETE:
        if (param == FID_EXT_VC_LOADVOICE)
            StartVoiceController(u"[FID_EXT_LOADCOMPLETE]");
        else
            mine = FALSE;
        break;
    case ACMD_NAVIWARNINGCLOSED:
        StartVoiceController(u"[FID_NAVI_WARNNINGCLOSE]");
        break;
    case FID_EXT_VC_RECOG:
        result = VoiceKey(param);
        break;
    case FID_EXT_VC_NOCARD:
        ShowMessage(FID_SDSLOTPOPUP, kVoiceCardText, MPS_QUESTION, MPB_OK, kMessageMs, FALSE, kMessageBox);
        break;
    case FID_EXT_VC_NOTREADY:
        if (IxKernelFrame* frame = GetKernelFrame()) {
            if (frame->IsLayerShown(FID_VOICEPREPAREPOPUP))
                frame->PopLayer(FID_VOICEPREPAREPOPUP);
        }
        ShowMessage(FID_VOICEPREPAREPOPUP, kVoicePrepareText, MPS_INFORMATION, MPB_CANCEL, kPrepareMs, TRUE,
                    kMessageBox);
        break;
    case FID_EXT_VC_SHOW:
    case FID_EXT_VC_HIDE: {
        const BOOL show = code == FID_EXT_VC_SHOW;
        NKDbgPrintfW(show ? u"[CKernelObj] FID_EXT_VC_SHOW %d %d  \n\r" : u"[CKernelObj] FID_EXT_VC_HIDE %d %d  \n\r",
                     kind, static_cast<int>(param));
        if (m_fidNavi > 0 && m_nActivity != 1) {
            NKDbgPrintfW(show ? u"[CKernelObj] FID_EXT_VC_SHOW Not Processing \n\r"
                              : u"[CKernelObj] FID_EXT_VC_HIDE Not Processing \n\r");
            break;
        }
        IxKernelFrame* frame = GetKernelFrame();
        if (HWND hwnd = frame ? frame->GetWindowHandle() : nullptr) {
            // The voice screen comes over the main window while it shows.
            SetWindowPos(hwnd, show ? HWND_NOTOPMOST : HWND_TOPMOST, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
            frame->FlushAndUpdate();
        }
        break;
    }
    case FID_EXT_VC_MICMUTE:
        if (HWND voice = FindProgram(kVoiceWindowTitle)) {
            const BYTE bytes[4] = {static_cast<BYTE>(param ? 1 : 0), 0, 0, 0};
            SendToProgram(voice, static_cast<ULONG_PTR>(VoiceCommand::MicMute), bytes, sizeof bytes);
        }
        break;
    case FID_EXT_VC_SHOWVIEW:
        if (HWND navi = FindProgram(kNaviWindowTitle))
            SendToProgram(navi, static_cast<ULONG_PTR>(NaviCommand::UpdateScreen), nullptr, 0);
        if (param) {
            m_nNaviCloseCode = static_cast<int>(param);
            BeginTimer(TM_NAVICLOSE, kNaviCloseStepMs);
        }
        break;
    case KEY_REMOTE_SEARCHHELD:
    case KEY_REMOTE_RANDOMHELD:
        if (kind == AEV_HOLDSTART && m_fidNavi > 0) {
            if (LumoBridge* bridge = NaviBridge())
                bridge->SendCommand(code == KEY_REMOTE_SEARCHHELD ? NaviCommand::KeyA : NaviCommand::KeyB, nullptr, 0);
        }
        break;
    case IXA_MODELBROADCAST:
        if (LumoBridge* bridge = NaviBridge())
            bridge->SendValue(NaviCommand::KeyState, kind, 0, static_cast<int>(param));
        break;
    case ACMD_KEY_MODE:
        result = ModeKey();
        break;
    default:
        mine = FALSE;
        break;
    }
    if (handled)
        *handled = mine;
    return result;
}

// ---------------------------------------------------------------------------
// Messages

void CKernelObj::ShowMessage(int id, LPCWSTR text, int style, int buttons, int ms, BOOL windowed, const RECT& rect)
{
    // The windowed popup stands over the navigation program's window.
    if (windowed) {
        auto* popup = new (std::nothrow) CWindowedMessagePopup(text, style, 0, buttons, ms);
        if (popup && !popup->Show(this, id, rect, 1))
            delete popup;
        return;
    }
    auto* popup = new (std::nothrow) CMessagePopup(text, style, 0, buttons, ms);
    if (popup && !popup->Show(this, id, rect, -1))
        delete popup;
}
