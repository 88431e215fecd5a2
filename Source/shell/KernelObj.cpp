#include "Source/shell/KernelObj.h"

#include "Lib_cpp/core/ActionCodes.h"
#include "Lib_cpp/core/Diag.h"
#include "Source/models/Model.h"
#include "Source/models/ModelCodes.h"
#include "Source/models/UnitLink.h"
#include "Source/screens/settings/RearViewSheet.h"
#include "Source/shell/ShellIds.h"
#include "platform/base/Clock.h"
#include "platform/base/Debug.h"
#include "platform/gfx/Gdi.h"
#include "platform/io/MicomDriver.h"
#include "platform/io/RemoteDriver.h"
#include "platform/ui/Window.h"

#include <new>

namespace {

CKernelObj* g_pKernelObj = nullptr;

constexpr DWORD Row(int code, int kind)
{
    return static_cast<DWORD>(code & 0xFFFF) | (static_cast<DWORD>(kind) << 16);
}

constexpr DWORD Click(int code)
{
    return Row(code, AEV_DEFAULT);
}

constexpr DWORD Any(int code)
{
    return Row(code, 0);
}

// The object's own filter: its screen, popup, tilt, navigation and voice
// commands. ViewCenter's fixed filter holds none of these codes (a code in
// both would be heard twice).
const DWORD kListenerFilter[] = {
    // Voice notice, the popups and the setting screens.
    Click(10001),
    Click(10008),
    Click(10002),
    Click(10011),
    Click(10012),
    Click(10044),
    Click(10041),
    Click(10046),
    Click(10045),
    Click(10047),
    Click(10410),
    Click(FID_TILTSCREEN),
    Click(10056),
    Click(10057),
    Click(FID_FRONTCAMERA),
    Click(FID_REARCAMERA),
    Click(300),
    // The broadcast target of the models.
    Any(IXA_MODELBROADCAST),
    Click(10100),
    Click(10255),
    Click(10152),
    // The volume buttons.
    Any(BTN_VOLUP),
    Any(BTN_VOLDOWN),
    // Screen savers, user activity, popups, the remote's stop, voice.
    Click(FID_PICTURESAVER),
    Click(FID_SPECTRUMSAVER),
    Click(FID_OCCUR_USER_EVENT),
    Click(FID_EXT_SCREENSAVER),
    Click(10063),
    Click(FID_EXT_REMOTESTOP),
    Click(10136),
    Click(10135),
    Click(10350),
    Click(FID_EXT_VC_RECOG),
    // The volume key and the card-removal popup.
    Any(KEY_VOLUP),
    Any(10065),
    // Navigation close, the tilt and disc events, voice, load complete and
    // the micom's notices.
    Click(FID_EXT_VC_SHOWVIEW),
    Click(FID_EXT_TILT_MOVEEND),
    Click(13163),
    Click(13161),
    Click(FID_EXT_TILT_REMOVEDISC),
    Click(13165),
    Click(FID_EXT_TILT_DVDOPER),
    Click(13167),
    Click(FID_EXT_TILT_INSERT),
    Click(FID_EXT_TILT_EXTINSERT),
    Click(FID_EXT_TILT_INSERTDONE),
    Click(FID_EXT_TILT_EXTRELOAD),
    Click(13172),
    Click(13173),
    Click(FID_EXT_VC_SHOW),
    Click(FID_EXT_VC_HIDE),
    Click(FID_EXT_VC_MICMUTE),
    Click(10445),
    Click(FID_EXT_VC_NOCARD),
    Click(FID_EXT_VC_READY),
    Click(FID_EXT_VOICE20409),
    Click(FID_EXT_KEYPRESS),
    Click(FID_EXT_TAIL),
    Click(13350),
    Click(10091),
    Click(FID_ALIVEINVOKE),
    Click(10460),
    Click(FID_EXT_POWEROFF),
    Click(FID_EXT_VC_LOADVOICE),
    Click(FID_EXT_LOADCOMPLETE),
    Click(FID_EXT_VC_NOTREADY),
    Click(FID_EXT_ACC_CHECK),
    0,
};
static_assert(sizeof(kListenerFilter) / sizeof(kListenerFilter[0]) == CKernelObj::kFilterRows + 1);

// The black full-screen layer while the unit is switched off.
class CScreenOffLayer : public IxElement {
public:
    CScreenOffLayer()
    {
        IxElementParams params;
        params.Clear();
        params.Set(0, 0, 800, 480, FID_SCREENOFF, 0);
        Create(&params);
    }
    void Draw(IxPaintRecord* record) override
    {
        RECT all{0, 0, Width(), Height()};
        HBRUSH black = CreateSolidBrush(RGB(0, 0, 0));
        FillRect(record->dc->GetDC(), &all, black);
        DeleteObject(black);
    }
};

constexpr int kAliveMs = 3000;
constexpr int kAccCheckMs = 1000;
constexpr DWORD kAccOffWaitMs = 6001;
constexpr int kVoiceCloseMs = 3000;

} // namespace

// ---------------------------------------------------------------------------
// Construction

CKernelObj::CKernelObj() : ViewCenter(FID_FM, 5)
{
    g_pKernelObj = this;
    m_center.SetEnableWords(1, 1);
    m_center.Create();
    // Navigation first, waiting for the program's report rather than a
    // timer; a failed launch is tried again 3 times, 1000 ms apart.
    m_bSecondGate = FALSE;
    m_fNaviAtFirst = TRUE;
    m_nFirstWait = -1;
    m_nRetry = 1000;
    m_nRetryLimit = 3;
    m_dwOptions |= VCOPT_PERMANENTRUN;
}

CKernelObj::~CKernelObj()
{
    ReleaseNaviLink();
    m_center.Destroy();
    if (g_pKernelObj == this)
        g_pKernelObj = nullptr;
}

CKernelObj* CKernelObj::GetInstance()
{
    return g_pKernelObj;
}

const DWORD* CKernelObj::ListenerFilter()
{
    return kListenerFilter;
}

// ---------------------------------------------------------------------------
// Events and timers

LRESULT CKernelObj::OnEvent(int code, LPARAM param)
{
    return MessageIsInvoked(code, param);
}

LRESULT CKernelObj::MessageIsInvoked(int code, LPARAM param)
{
    IxKernel* kernel = IxGetKernel();
    switch (code) {
    case IXEV_ATTACHED:
        if (kernel && !m_bListenerAdded) {
            m_bListenerAdded = kernel->AddListener(kListenerFilter, this);
            kernel->Subscribe(ACMD_APPCLEANUP, this);
            kernel->Subscribe(ACMD_APPPREPARE, this);
            BeginTimer(TM_ALIVECHECK, kAliveMs);
        }
        break;
    case IXEV_DETACHED:
        if (kernel && m_bListenerAdded) {
            kernel->RemoveListener(kListenerFilter, this);
            kernel->Unsubscribe(ACMD_APPCLEANUP, this);
            kernel->Unsubscribe(ACMD_APPPREPARE, this);
            EndTimer(TM_ALIVECHECK);
            kernel->KillTimer(this, 0);
            m_bListenerAdded = FALSE;
        }
        break;
    case IXEV_TIMER:
        OnTimer(static_cast<int>(param));
        break;
    default:
        // The view-activated step (event 25) belongs to the deferred steps
        // of the bridges, which run here once they exist.
        break;
    }
    return ViewCenter::OnEvent(code, param);
}

void CKernelObj::BeginTimer(int id, int ms)
{
    if (IxKernel* kernel = IxGetKernel())
        kernel->SetTimer(this, static_cast<UINT_PTR>(id), ms);
}

void CKernelObj::EndTimer(int id)
{
    if (IxKernel* kernel = IxGetKernel())
        kernel->KillTimer(this, static_cast<UINT_PTR>(id));
}

BOOL CKernelObj::IsTimerRunning(int id) const
{
    IxKernel* kernel = IxGetKernel();
    return kernel && kernel->IsTimerSet(const_cast<CKernelObj*>(this), static_cast<UINT_PTR>(id));
}

void CKernelObj::OnTimer(int id)
{
    switch (id) {
    case TM_SCREENSAVER:
        EndTimer(id);
        PushGlobalAction(FID_EXT_SCREENSAVER, AEV_DEFAULT, 0);
        break;
    case TM_FACTORYRESET:
        EndTimer(id);
        FactoryResetEnd();
        break;
    case TM_TILTSETTLE:
    case TM_DVDEXTRELOAD:
        // The tilt's angle commands and the disc model's reload run here
        // once the tilt device and the DVD model exist.
        EndTimer(id);
        break;
    case TM_NAVICLOSE:
        EndTimer(id);
        m_bNaviCloseSent = TRUE;
        if (m_nNaviCloseCode == FID_TILTSCREEN)
            PushGlobalAction(13165, AEV_DEFAULT, 0);
        else
            PushGlobalAction(m_nNaviCloseCode & 0xFFFF, AEV_DEFAULT, 0);
        break;
    case TM_WAITNAVICLOSE:
        EndTimer(id);
        NKDbgPrintfW(u"\n\r[TM_WAITNAVICLOSE] TerminateNavi() at [%d] \n\r", static_cast<int>(GetTickCount()));
        // ViewCenter's TerminateNavi follows here with the navigation life
        // cycle.
        break;
    case TM_ALIVECHECK:
        if (!GetUnitLink().m_hMicom.Ioctl(static_cast<DWORD>(MicomIoctl::Alive), nullptr, 0, nullptr, 0, nullptr))
            NKDbgPrintfW(u"[TM_ALIVECHECK] IOCTL_DEVICE_NECMICOM_SEND_ALIVE fail \n");
        break;
    case TM_WAIT_VCCLOSE:
        EndTimer(id);
        CloseVoiceController();
        break;
    case TM_ACCCHECK:
        AccCheck();
        break;
    default:
        break;
    }
}

void CKernelObj::AccCheck()
{
    NKDbgPrintfW(u"[TM_ACCCHECK]  -------  \r\n");
    const CUnitLink& link = GetUnitLink();
    if (link.m_nNecPowerOff) {
        NKDbgPrintfW(u"[TM_ACCCHECK]  s_fNecPowerOff[TRUE] \r\n");
        ToAccOff();
        EndTimer(TM_ACCCHECK);
        return;
    }
    if (!link.m_nAccOn && GetTickCount() - m_dwAccOffTick < kAccOffWaitMs)
        return; // keep polling
    EndTimer(TM_ACCCHECK);
}

void CKernelObj::BeginAccCheck()
{
    NKDbgPrintfW(u"[CKernelObj] ActionIsInvoked() FID_EXT_ACC_CHECK \r\n");
    NKDbgPrintfW(u"[CKernelObj] ActionIsInvoked() FID_EXT_ACC_CHECK s_fAccOn[FALSE] \r\n");
    m_dwAccOffTick = GetTickCount();
    BeginTimer(TM_ACCCHECK, kAccCheckMs);
}

void CKernelObj::CloseVoiceController()
{
    NKDbgPrintfW(u"\n\r[TM_WAIT_VCCLOSE] CloseVC at [%d] \n\r", static_cast<int>(GetTickCount()));
    HWND voice = FindWindowW(nullptr, u"VoiceController");
    if (!voice)
        return; // gone: the wait ends
    NKDbgPrintfW(u"[CKernelObj] Send VC Close \n\r");
    // A hung voice controller must not hold the user-interface thread: the
    // close request waits at most the programs' send time-out, and the wait
    // below asks again while the window stays.
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(voice, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, kProgramSendTimeoutMs, &result))
        NKDbgPrintfW(u"[CKernelObj] VC Close not answered in %d ms\r\n", static_cast<int>(kProgramSendTimeoutMs));
    NKDbgPrintfW(u"[CKernelObj] return  VC Close \n\r");
    BeginTimer(TM_WAIT_VCCLOSE, kVoiceCloseMs);
}

// ---------------------------------------------------------------------------
// Keys

BOOL CKernelObj::InRun() const
{
    return m_nMode != VCMODE_POWEROFF && (m_nMode >= 5 || InRunModes());
}

int CKernelObj::ExtKeyIsInvoked(int code, int kind)
{
    const BOOL pressKind = kind == AEV_DEFAULT || kind == AEV_SHORTPRESS || kind == AEV_LONGPRESS;
    if (pressKind && (code == ACMD_KEY_POWER || code == ACMD_KEY_SCREENOFF))
        return PowerKey(code, kind);
    if (pressKind && code == FID_EXT_MODEKEY)
        return ModeKey(kind);
    // The tilt open key and the audio processor's request of key 14 are
    // taken here once the tilt device and the audio word of the settings
    // exist.
    return ViewCenter::ExtKeyIsInvoked(code, kind);
}

int CKernelObj::PowerKey(int code, int kind)
{
    const BOOL power = code == ACMD_KEY_POWER;
    if (power && m_nNaviMode == NAVI_DESTROY)
        return 1;
    if (!InRun())
        return SwitchOn();
    // Kind 4111 mutes (power key) or, with AV off, switches AV on again.
    if (kind == AEV_SHORTPRESS) {
        if (IsAvOff())
            AvOn();
        if (power)
            PushGlobalAction(ACMD_MASTERMUTE, AEV_DEFAULT, 0);
        return 1;
    }
    return SwitchOff();
}

int CKernelObj::SwitchOff()
{
    IxKernelFrame* frame = GetKernelFrame();
    if (frame && m_dwPowerKeyTick && frame->IsBusy(m_dwPowerKeyTick))
        return 1;
    if (IxKernel* kernel = IxGetKernel()) {
        if (auto* layer = new (std::nothrow) CScreenOffLayer)
            kernel->PushLayer(layer, nullptr, 1);
    }
    ToPowerOff();
    if (GetActiveView() == FID_GATE)
        PushGlobalAction(IXA_BACK, AEV_DEFAULT, 0);
    m_dwPowerKeyTick = GetTickCount();
    return 1;
}

int CKernelObj::SwitchOn()
{
    IxKernelFrame* frame = GetKernelFrame();
    if (frame && m_dwPowerKeyTick && frame->IsBusy(m_dwPowerKeyTick))
        return 1;
    if (GetUnitLink().m_hRemote.IsOpen()
        && !GetUnitLink().m_hRemote.Ioctl(static_cast<DWORD>(RemoteIoctl::Clean), nullptr, 0, nullptr, 0, nullptr)) {
        NKDbgPrintfW(u"ERROR: %s line %d: ", u".\\Source\\Main", __LINE__);
        NKDbgPrintfW(u"TAMRO ASP: DeviceIoControl IOCTL_RMT_DEVICE_CLEAN [Error:%d] \r\n",
                     static_cast<int>(GetLastError()));
    }
    if (frame)
        frame->PopLayer(FID_SCREENOFF);
    PowerKeyWhileOff();
    m_dwPowerKeyTick = GetTickCount();
    return 1;
}

int CKernelObj::KeyToButton(int buttonKey, BOOL)
{
    return MapKeyToButton(buttonKey);
}

IxElement* CKernelObj::FindById(int id) const
{
    IxKernelFrame* frame = GetKernelFrame();
    return frame ? frame->FindElement(IXFIND_ID, id, nullptr, nullptr, nullptr) : nullptr;
}

BOOL CKernelObj::IsElementShown(int id) const
{
    IxElement* element = FindById(id);
    return element && !element->HasFlag(IXF_HIDDEN);
}

BOOL CKernelObj::IsElementEnabled(int id) const
{
    IxElement* element = FindById(id);
    return element && !element->HasFlag(IXF_DISABLED);
}

int CKernelObj::KeyView() const
{
    IxKernelFrame* frame = GetKernelFrame();
    IxElement* page = frame ? frame->GetActivePage() : nullptr;
    if (!page)
        return 0;
    if (page->GetId() != FID_COLORKEY)
        return page->GetId();
    auto* video = dynamic_cast<IxFrameView*>(page);
    IxElement* inner = video ? video->GetActivePage() : nullptr;
    return inner ? inner->GetId() : -1;
}

int CKernelObj::TunerState(int modelId) const
{
    IxModel* model = m_pCenter ? m_pCenter->FindModel(modelId) : nullptr;
    if (!model)
        return -1;
    return model->IsTunerTuning() ? 1 : 0;
}

int CKernelObj::MapKeyToButton(int key)
{
    const int view = KeyView();
    const BOOL radio = view >= FID_RADIO_FIRST && view <= FID_RADIO_LAST;
    const BOOL broadcast = view == FID_DMB || view == FID_DAB;
    const BOOL dvd = view >= FID_DVD_FIRST && view <= FID_DVD_LAST;
    const BOOL bluetooth = view >= FID_BLUETOOTH_FIRST && view <= FID_BLUETOOTH_LAST;
    const BOOL photo = view == FID_PHOTO;
    // The DVD's on-screen control panel.
    constexpr int kDvdPanel = 12705;
    switch (key) {
    case BTN_LEFTUP:
        return radio ? 0 : photo ? BTN_NEXT : broadcast ? BTN_PREV : BTN_LEFTUP;
    case BTN_89:
        return radio ? 0 : photo ? BTN_PREV : broadcast ? BTN_NEXT : BTN_89;
    case BTN_NEXT:
        if (IsElementEnabled(BTN_JOGLEFT))
            return BTN_JOGLEFT;
        return radio ? 0 : broadcast ? BTN_PREV : BTN_NEXT;
    case BTN_PREV:
        if (IsElementEnabled(BTN_JOGRIGHT))
            return BTN_JOGRIGHT;
        return radio ? 0 : broadcast ? BTN_NEXT : BTN_PREV;
    case BTN_PLAYPAUSE:
        return IsElementShown(BTN_PLAYPAUSE) ? BTN_PLAYPAUSE : IsElementEnabled(BTN_PLAYPAUSE2) ? BTN_PLAYPAUSE2 : 0;
    case BTN_NAVI: {
        int state = -2;
        int tuning = 0;
        int idle = 0;
        if (view >= FID_FM && view <= 5204) {
            state = TunerState(MODELID_FM);
            tuning = 3832;
            idle = 3831;
        } else if (view >= FID_AM && view <= 5209) {
            state = TunerState(MODELID_AM);
            tuning = 3832;
            idle = 3831;
        } else if (view == FID_DMB) {
            state = TunerState(MODELID_DMB);
            tuning = 3502;
            idle = 3501;
        } else if (view == FID_DAB) {
            state = TunerState(MODELID_DAB);
            tuning = 3502;
            idle = 3501;
        } else if (dvd) {
            return FID_EXT_DVDVOICE08;
        } else {
            return BTN_NAVI;
        }
        return state < 0 ? 0 : state ? tuning : idle;
    }
    case BTN_RANDOM:
        return dvd && IsElementShown(kDvdPanel) ? 12663 : BTN_RANDOM;
    case BTN_JOGLEFT:
        return bluetooth ? 0 : dvd && IsElementShown(kDvdPanel) ? 12650 : BTN_JOGLEFT;
    case BTN_JOGRIGHT:
        return bluetooth ? 0 : dvd && IsElementShown(kDvdPanel) ? 12651 : BTN_JOGRIGHT;
    default:
        if ((key >= BTN_JOGUP && key <= BTN_JOGCENTER) || (key >= BTN_ZOOM && key <= BTN_ANGLE))
            return IsElementShown(kDvdPanel) ? key : 0;
        return key;
    }
}

// ---------------------------------------------------------------------------
// ViewCenter's slots

void CKernelObj::RecordView(int fid)
{
    if (fid >= FID_DVD_FIRST && fid <= FID_DVD_LAST) {
        ViewCenter::RecordView(FID_DVD);
        return;
    }
    if (fid == 0 || fid == 5322 || fid == 5323 || (fid >= 10041 && fid <= 10047) || fid == 10410
        || fid == FID_TILTSCREEN || fid == FID_PHOTO)
        return;
    ViewCenter::RecordView(fid);
}

int CKernelObj::ResolveView(int view, int* selection, BOOL)
{
    if (selection)
        *selection = 0;
    if (view >= FID_GROUP_RADIO && view <= FID_GROUP_BLUETOOTH)
        return GetGroupLastView(view);
    return view;
}

BOOL CKernelObj::IsViewDevicePresent(int)
{
    return TRUE;
}

BOOL CKernelObj::IsMediaPlayView(int view)
{
    if (view >= 10041 && view <= 10047)
        return FALSE;
    return view > FID_SOURCE_BASE && view != FID_FILES && view != FID_PHOTO;
}

BOOL CKernelObj::IsMenuView(int view)
{
    return ViewCenter::IsMenuView(view) || (view >= 10041 && view <= 10047);
}

int CKernelObj::MakeFirstScreen()
{
    IxKernelFrame* frame = GetKernelFrame();
    if (frame && GetActiveView() != FID_NAVISTART)
        frame->SetActivePageById(FID_NAVISTART, 0, 0);
    return 1;
}

void CKernelObj::DeactivateCamera(int fid)
{
    if (m_bBackToMenu)
        ViewIsBack(VCAT_BACK, FID_GATE);
    m_bBackToMenu = FALSE;
    ViewCenter::DeactivateCamera(fid);
}

// The other slots of this object come with their subsystems: the pending-
// video and view-activated steps (the DMB, iPod, filter and DVD bridges and
// the movie player), the navigation display toggle, the registry values and
// the last status, the volume pop-up's mode report, the navigation check of
// SetActivity, the navigation launch, the device events and the card pull,
// the video and photo switch, the list swap, and the factories of the OSD
// layer (COSDMain, CPIPMain), the volume pop-up (CVolumeOSD) and the
// colour-key cover (CColorKeyView).

IxElement* CKernelObj::MakeCameraView(int)
{
    return CreateRearView();
}

IxElement* CKernelObj::CreateRearView()
{
    return new (std::nothrow) CRearViewSheet;
}

void CKernelObj::EndIntro()
{
    NKDbgPrintfW(u"[CKernelObj] EndIntro  \r\n");
    if (GetUnitLink().m_nNecPowerOff) {
        NKDbgPrintfW(u"[CKernelObj] EndIntro s_fNecPowerOff[TRUE] \r\n");
        ViewCenter::ToAccOff();
        return;
    }
    // With ACC on and the unit running the tilt goes back to its last angle
    // here (CExDeviceTilt: not built yet).
    ViewCenter::EndIntro();
    // The Bluetooth model is made sure of and the media model's start step
    // runs here (both come with their models).
    m_bPrepared = TRUE;
    NKDbgPrintfW(u"[CKernelObj] EndIntro Complete \r\n");
}
