#include "Source/shell/ViewCenter.h"

#include "Lib_cpp/core/ActionCodes.h"
#include "Lib_cpp/core/Diag.h"
#include "Source/models/ModelCenter.h"
#include "Source/models/ModelCodes.h"
#include "Source/shell/NaviModelLink.h"
#include "Source/shell/OverlayLayer.h"
#include "Source/shell/ShellIds.h"
#include "Source/shell/ViewGroups.h"
#include "platform/base/Clock.h"
#include "platform/base/Debug.h"
#include "platform/io/RawDisk.h"
#include "platform/ui/Window.h"

#include <algorithm>
#include <cstdlib>
#include <new>

namespace {

ViewCenter* g_pViewCenter = nullptr;

constexpr DWORD Row(int code)
{
    return static_cast<DWORD>(code) & 0xFFFF; // kind 0: any kind
}

// The fixed filter. ViewCenter and the kernel application object derived
// from it are one listener with two filters: the application object's own
// (its screen, popup, tilt, navigation and voice commands) and this one, so
// a code may stand in only one of them or it is heard twice. This filter
// therefore holds every code that ViewCenter's dispatcher or the
// application object's central handler acts on, except:
// - the codes of the application object's own filter;
// - the codes that arrive by subscription: 21 and 22 (the application
//   object subscribes to them), 30 (device events) and the navigation
//   model's notifications (its model id);
// - the codes of the key translators and route codes, which the application
//   object registers as listened codes at start.
// Rows are {code, any kind}.
const DWORD kFixedFilter[] = {
    // Close request, daemon count, back, history.
    Row(IXA_ASKCLOSE),
    Row(ACMD_DAEMONLAUNCHED),
    Row(IXA_BACK),
    Row(IXA_VIEWENTERED),
    Row(IXA_PIPVIEWENTERED),
    Row(IXA_VIEWLEFT),
    // View requests and the MODE key.
    Row(ACMD_VIEWKEY),
    Row(ACMD_RUNPERMANENT),
    Row(ACMD_EXECVIEW),
    Row(ACMD_MODE),
    // The OSD layer and the navigation program.
    Row(ACMD_OSDSHOW),
    Row(ACMD_OSDSHOWN),
    Row(ACMD_OSDHIDDEN),
    Row(ACMD_NAVICLOSED),
    Row(ACMD_NAVITERMINATED),
    // Mutes, hold and volume.
    Row(ACMD_MASTERMUTE),
    Row(ACMD_BRIDGEMUTE),
    Row(ACMD_HOLD),
    Row(ACMD_HOLDVIDEO),
    Row(ACMD_ATTENUATE),
    Row(ACMD_SETVOLUME),
    Row(ACMD_STEPVOLUME),
    Row(ACMD_SETSECONDVOLUME),
    Row(ACMD_STEPSECONDVOLUME),
    Row(ACMD_VOLUMEUP),
    Row(ACMD_VOLUMEDOWN),
    // The colour-key cover, the power and AV / navigation keys.
    Row(ACMD_COVERSHOW),
    Row(ACMD_COVERREMOVE),
    Row(ACMD_KEY_POWER),
    Row(ACMD_KEY_MODE),
    Row(3050),
    Row(3051),
    Row(3052),
    Row(3053),
    Row(3054),
    Row(3055),
    // Navigation layout and the toggles between map and main screen.
    Row(3060),
    Row(3061),
    Row(3062),
    Row(3063),
    Row(3064),
    Row(3065),
    Row(3066),
    Row(3067),
    Row(3068),
    Row(ACMD_NAVITOGGLE),
    Row(ACMD_TOMAIN),
    Row(ACMD_TONAVI),
    // Source views (the DVD's sub-screens run as its main screen).
    Row(5101),
    Row(5102),
    Row(5103),
    Row(5104),
    Row(5201),
    Row(5202),
    Row(5203),
    Row(5204),
    Row(5205),
    Row(5206),
    Row(5207),
    Row(5210),
    Row(5211),
    Row(5212),
    Row(5218),
    Row(5219),
    Row(5301),
    Row(5321),
    Row(5322),
    Row(5323),
    Row(5324),
    Row(5341),
    Row(5342),
    Row(5343),
    Row(5344),
    Row(5345),
    Row(5346),
    Row(5347),
    Row(5348),
    Row(5349),
    Row(5350),
    Row(5361),
    // The model center's notifications (the volume pop-up), the intro's end.
    Row(MODELID_CENTER),
    Row(FID_INTRO),
    // The application object's codes missing from its own filter: the
    // tilt's full close (queued by the factory reset), the tilt open/close
    // key, the steering keys it forwards, the Bluetooth key and the mute
    // key.
    Row(13162),
    Row(10154),
    Row(10428),
    Row(10429),
    Row(10431),
    Row(10451),
    0,
};

// The hidden windowless control whose id is a listened code.
class CListenedControl : public IxElement {
public:
    void Draw(IxPaintRecord*) override {}
};

BOOL Contains(const IxArray<int>& list, int value)
{
    return list.IndexOfValue(value) >= 0;
}

} // namespace

// ---------------------------------------------------------------------------
// Construction

ViewCenter::ViewCenter(int defaultMainView, int historyCapacity)
    : m_nHistoryCapacity(std::max(historyCapacity, 0)), m_fidDefaultMain(defaultMainView)
{
    m_nId = 0;
    SetFlags(IXF_HIDDEN, 0);
    g_pViewCenter = this;
}

ViewCenter::~ViewCenter()
{
    delete[] m_pHistory;
    m_pHistory = nullptr;
    if (g_pViewCenter == this)
        g_pViewCenter = nullptr;
}

ViewCenter* ViewCenter::GetInstance()
{
    return g_pViewCenter;
}

const DWORD* ViewCenter::FixedFilter()
{
    return kFixedFilter;
}

BOOL ViewCenter::IsInFixedFilter(int code)
{
    for (const DWORD* row = kFixedFilter; *row; ++row) {
        if (static_cast<int>(*row & 0xFFFF) == (code & 0xFFFF))
            return TRUE;
    }
    return FALSE;
}

BOOL ViewCenter::AddListenedCode(int code)
{
    // Rows may not change while they are registered.
    if (m_bListenedRegistered || code == 0 || IsInFixedFilter(code))
        return FALSE;
    for (int i = 0; i < m_listened.Count(); ++i) {
        if (static_cast<int>(m_listened[i] & 0xFFFF) == (code & 0xFFFF))
            return FALSE;
    }
    return m_listened.Add(Row(code));
}

BOOL ViewCenter::AddListenedControl(int id)
{
    IxKernelFrame* frame = GetKernelFrame();
    if (!frame)
        return FALSE;
    auto* control = new (std::nothrow) CListenedControl;
    if (!control) {
        IxRecordError(IXERR_NOMEMORY);
        return FALSE;
    }
    IxElementParams params;
    params.Clear();
    params.Set(0, 0, 0, 0, id, IXF_HIDDEN);
    control->Create(&params);
    frame->AddChild(control);
    AddListenedCode(id);
    return TRUE;
}

// ---------------------------------------------------------------------------
// Kernel entries

LRESULT ViewCenter::OnEvent(int code, LPARAM param)
{
    IxKernel* kernel = IxGetKernel();
    switch (code) {
    case IXEV_ATTACHED:
        SetFlags(0, IXF_LAYOUTPENDING);
        if (m_bListening)
            return 1;
        m_pCenter = IxModelCenter::GetInstance();
        LoadRegistryValues();
        LoadLastStatus();
        if (kernel) {
            kernel->AddListener(kFixedFilter, this);
            kernel->Subscribe(IXA_DEVICEEVENT, this);
            if (m_listened.Count() > 0 && m_listened.Add(0)) {
                m_bListenedRegistered = TRUE;
                kernel->AddListener(m_listened.Data(), this);
            }
        }
        m_bListening = TRUE;
        return 1;
    case IXEV_DETACHED:
        if (!m_bListening)
            return 1;
        if (m_nMode > VCMODE_STOPPED)
            ToAccOff();
        if (m_pOSD) {
            if (IxKernelFrame* frame = GetKernelFrame())
                frame->DetachView(m_pOSD);
            ReleaseLayerView(m_pOSD);
            m_pOSD = nullptr;
        }
        SaveRegistryValues();
        if (kernel) {
            kernel->RemoveListener(kFixedFilter, this);
            if (m_bListenedRegistered)
                kernel->RemoveListener(m_listened.Data(), this);
            kernel->Unsubscribe(IXA_DEVICEEVENT, this);
            kernel->KillTimer(this, 0);
        }
        m_bListening = FALSE;
        if (m_pNaviModel) {
            CNaviModelLink* model = m_pNaviModel;
            m_pNaviModel = nullptr;
            model->Stop(TRUE);
            if (kernel)
                kernel->Unsubscribe(model->GetModelId(), this);
            model->Release();
        }
        return 1;
    case IXEV_TIMER: {
        const auto id = static_cast<UINT_PTR>(param);
        if (id == IxTimerId(&m_nTimerA)) {
            StopTimer(&m_nTimerA);
            if (IxElement* layer = MakeTimerALayer()) {
                if (kernel)
                    kernel->PushTopLayer(layer, nullptr, 1);
            }
        } else if (id == IxTimerId(&m_nFirstWait)) {
            FirstWaitIsOver();
        } else if (id == IxTimerId(&m_nRetry)) {
            LaunchNaviRetry();
        } else if (id == IxTimerId(&m_nWatchdog)) {
            StopTimer(&m_nWatchdog);
            RestartNavi(1);
        } else if (id == IxTimerId(&m_nCloseWait)) {
            NaviCloseIsOverdue();
        } else if (id == IxTimerId(&m_nPowerOffRetry)) {
            RequestPowerOff();
        }
        return 1;
    }
    default:
        return IxElement::OnEvent(code, param);
    }
}

void ViewCenter::OnFrameStarted()
{
    if (m_pCenter)
        m_pCenter->SetExternalMute(TRUE);
    m_nDaemons = CountDaemons();
    if (m_nDaemons <= 0)
        PushGlobalAction(ACMD_DAEMONLAUNCHED, AEV_DEFAULT, -1);
}

int ViewCenter::ActionIsInvoked(int code, int kind, LPARAM param)
{
    const int value = static_cast<int>(param);
    if (m_pNaviModel && code == m_pNaviModel->GetModelId()) {
        switch (kind) {
        case NAVIN_INITIAL:
            NaviIsInitial();
            break;
        case NAVIN_PREPARED:
            NaviIsPrepared();
            break;
        case NAVIN_LAUNCHED:
            NaviIsLaunched();
            break;
        case NAVIN_SHOWN:
            NaviIsShown();
            break;
        default:
            break;
        }
        return 0;
    }
    if (code == IXA_DEVICEEVENT) {
        if ((value >= 70 && value <= 79) || value >= 80 || (m_nMode != VCMODE_NULL && m_nDaemons == 0))
            DeviceStateIsChanged(value, kind);
        else
            OtherDeviceEvent(value, kind);
        return 0;
    }
    const BOOL run = InRunModes();
    switch (code) {
    case ACMD_POWER:
        if (m_nMode < 5)
            PowerKeyWhileOff();
        else
            ToPowerOff();
        return 1;
    case ACMD_NAVITERMINATED:
        NaviIsTerminated();
        return 1;
    case ACMD_NAVICLOSED:
        NaviIsClosed();
        return 1;
    case ACMD_MODE:
        ModeCycle();
        return 1;
    case ACMD_OSDSHOW:
        if (m_pOSD)
            m_pOSD->ShowOverlay(value != 0);
        return 1;
    case ACMD_OSDSHOWN:
        if (m_nSuppress == 0 && m_pOSD)
            FitMainWindowToOsd();
        return 1;
    case ACMD_OSDHIDDEN:
        if (m_nSuppress == 0 && m_pOSD)
            HideMainWindow();
        return 1;
    case ACMD_EXECVIEW:
        ViewIsExeced(value);
        return 1;
    case ACMD_RUNPERMANENT:
        RunPermanentAware(value);
        return 1;
    case IXA_VIEWENTERED:
    case IXA_PIPVIEWENTERED:
        RecordView(value);
        return 1;
    case IXA_VIEWLEFT:
        DropView(value);
        return 1;
    case ACMD_VIEWKEY:
        ViewKeyIsInvoked(value);
        return 1;
    case IXA_ASKCLOSE:
        CloseOsdLayer();
        ToAccOff();
        return 1;
    case ACMD_DAEMONLAUNCHED:
        m_nDaemons = value < 0 ? 0 : std::max(m_nDaemons - 1, 0);
        if (m_nMode == VCMODE_NULL && m_nDaemons == 0)
            DaemonIsLaunched();
        return 1;
    case IXA_BACK:
        ViewIsBack(VCAT_BACK, value);
        return 1;
    case ACMD_COVERSHOW:
        ShowColorKeyCover();
        return 1;
    case ACMD_COVERREMOVE:
        RemoveColorKeyCover();
        return 1;
    case ACMD_MASTERMUTE:
        if (run && m_pCenter) {
            if (kind == AEV_DEFAULT)
                m_pCenter->SetMute(!m_pCenter->GetMute(), TRUE);
            else if (kind == AEV_ATTACH || kind == AEV_DETACH)
                m_pCenter->SetMute(kind == AEV_ATTACH, TRUE);
        }
        return 1;
    case ACMD_BRIDGEMUTE:
        if (run && m_pCenter) {
            if (kind == AEV_DEFAULT)
                m_pCenter->SetBridgeMute(!m_pCenter->GetBridgeMute());
            else if (kind == AEV_ATTACH || kind == AEV_DETACH)
                m_pCenter->SetBridgeMute(kind == AEV_ATTACH);
        }
        return 1;
    case ACMD_HOLD:
    case ACMD_HOLDVIDEO:
        if (m_pCenter) {
            m_pCenter->SetMuteHolder(value, kind == AEV_ATTACH);
            if (code == ACMD_HOLDVIDEO)
                m_pCenter->HideVideo(kind == AEV_ATTACH);
        }
        return 1;
    case ACMD_ATTENUATE:
        // The toggle goes against the attenuation itself.
        if (run && m_pCenter) {
            if (kind == AEV_DEFAULT)
                m_pCenter->SetSecondMute(value, !m_pCenter->GetSecondMute());
            else if (kind == AEV_ATTACH || kind == AEV_DETACH)
                m_pCenter->SetSecondMute(value, kind == AEV_ATTACH);
        }
        return 1;
    case ACMD_SETVOLUME:
        if (run && m_pCenter)
            m_pCenter->SetVolume(value, TRUE);
        return 1;
    case ACMD_STEPVOLUME:
        if (run && m_pCenter)
            m_pCenter->StepVolume(value);
        return 1;
    case ACMD_SETSECONDVOLUME:
        if (run && m_pCenter)
            m_pCenter->SetSecondVolume(ZONE_SECOND, value, TRUE);
        return 1;
    case ACMD_STEPSECONDVOLUME:
        if (run && m_pCenter)
            m_pCenter->StepSecondVolume(ZONE_SECOND, value);
        return 1;
    case ACMD_VOLUMEUP:
    case ACMD_VOLUMEDOWN:
        if (run && m_pCenter && (kind == AEV_SHORTPRESS || kind == AEV_LONGPRESS || kind == AEV_HOLDREPEAT))
            m_pCenter->StepVolume(code == ACMD_VOLUMEUP ? 1 : -1);
        return 1;
    case ACMD_POWEROFF:
        if (m_nMode >= VCMODE_RUN)
            ToPowerOff();
        return 1;
    case ACMD_POWEROFF2:
        if (m_nMode <= VCMODE_POWEROFF)
            ToPowerOff();
        return 1;
    case ACMD_AVTOGGLE:
        if (m_nMode >= VCMODE_RUN) {
            if (IsAvOff())
                AvOn();
            else if (m_nNaviMode >= NAVI_LAUNCHED)
                AvOff();
            else
                ToPowerOff();
        }
        return 1;
    case ACMD_AVOFF:
        if (m_nMode >= VCMODE_RUN && IsAvOff()) {
            if (m_nNaviMode >= NAVI_LAUNCHED)
                AvOff();
            else
                ToPowerOff();
        }
        return 1;
    case ACMD_AVON:
        if (m_nMode >= VCMODE_RUN && IsAvOff())
            AvOn();
        return 1;
    case ACMD_NAVITOGGLE:
        if (m_fidNavi != 0)
            ToMainView(0);
        else
            ToNaviView(0);
        return 1;
    case ACMD_TOMAIN:
        if (m_fidNavi != 0)
            ToMainView(0);
        return 1;
    case ACMD_TONAVI:
        if (m_fidNavi == 0)
            ToNaviView(0);
        return 1;
    case MODELID_CENTER:
        if (m_fidCamera == 0 && m_nMode == VCMODE_RUN
            && (kind == MCN_VOLUME || kind == MCN_VOLUMESAME || kind == MCN_MUTE || kind == MCN_HOLDERADDED)) {
            IxKernelFrame* frame = GetKernelFrame();
            if (frame && !frame->IsLayerShown(FID_VOLUME)) {
                if (IxElement* popup = MakeVolumePopup(m_nActivity))
                    frame->GetKernel()->PushTopLayer(popup, nullptr, 1);
            }
        }
        return 1;
    case FID_INTRO:
        EndIntro();
        return 1;
    default:
        break;
    }
    if (code >= ACMD_ACTIVITY0 && code <= ACMD_ACTIVITYLAST) {
        const int wheres[3] = {value, 1, -1};
        SetActivity((code - ACMD_ACTIVITY0) / 3, wheres[(code - ACMD_ACTIVITY0) % 3], 0);
        return 1;
    }
    const BOOL viewCode = (code >= 5101 && code <= 5104) || (code >= 5201 && code <= 5207)
        || (code >= 5210 && code <= 5212) || code == 5218 || code == 5219 || code == 5301
        || (code >= 5321 && code <= 5324) || code == 5341 || code == 5361;
    if (viewCode) {
        if (m_dwOptions & VCOPT_PERMANENTRUN)
            RunPermanentAware(code);
        else
            ViewIsExeced(code);
        return 1;
    }
    if (m_nMode >= 0 && m_nDaemons == 0
        && (kind == AEV_DEFAULT || kind == AEV_SHORTPRESS || kind == AEV_LONGPRESS || kind == AEV_HOLDREPEAT
            || kind == AEV_LONGRELEASE)) {
        ExtKeyIsInvoked(code, kind);
        return 1;
    }
    return 0;
}

int ViewCenter::ExtKeyIsInvoked(int code, int kind)
{
    if (code == ACMD_KEY_POWER && (kind == AEV_DEFAULT || kind == AEV_SHORTPRESS || kind == AEV_LONGPRESS)) {
        if (m_nMode < 5)
            PowerKeyWhileOff();
        else if (IsAvOff() && kind == AEV_SHORTPRESS)
            AvOn();
        else if (!IsAvOff() && kind == AEV_SHORTPRESS && m_nNaviMode >= NAVI_LAUNCHED)
            AvOff();
        else
            ToPowerOff();
        return 1;
    }
    if (code == ACMD_KEY_MODE && kind == AEV_DEFAULT) {
        ActionIsInvoked(ACMD_NAVITOGGLE, AEV_DEFAULT, 0);
        return 1;
    }
    return 0;
}

// ---------------------------------------------------------------------------
// Update bracket and saves

void ViewCenter::BeginUpdate()
{
    if (m_nUpdateDepth++ == 0)
        m_bSavePending = FALSE;
}

void ViewCenter::EndUpdate()
{
    if (m_nUpdateDepth <= 0 || --m_nUpdateDepth > 0)
        return;
    if (m_bSavePending) {
        m_bSavePending = FALSE;
        SaveLastStatus(0);
    }
    if (m_nInitMode != m_nSavedInitMode) {
        SaveLastStatus(2);
        m_nSavedInitMode = m_nInitMode;
    }
}

void ViewCenter::RequestSave(int when)
{
    if (when == 0 && m_nUpdateDepth > 0)
        m_bSavePending = TRUE;
    else
        SaveLastStatus(when);
}

void ViewCenter::SaveLastStatus(int when)
{
    if ((when == 0 || when == 1) && StoreHistory())
        SendLastStatus();
}

BOOL ViewCenter::StoreHistory()
{
    BYTE* block = GetBlock0();
    if (!block)
        return FALSE;
    // The newest entries that fit, oldest first, then zeros.
    const int kept = std::min(m_nHistoryCount, kHistoryBlockSlots);
    BYTE bytes[kHistoryBlockSlots * 4] = {};
    for (int i = 0; i < kept; ++i)
        platform::PutRawWord(bytes + 4 * i, static_cast<DWORD>(GetHistoryEntry(kept - 1 - i)));
    BYTE* history = block + B0_VIEWHISTORY;
    if (std::equal(bytes, bytes + sizeof(bytes), history))
        return FALSE;
    std::copy(bytes, bytes + sizeof(bytes), history);
    return TRUE;
}

void ViewCenter::LoadLastStatus()
{
    m_nHistoryCount = 0;
    m_nHistoryOldest = 0;
    m_nHistoryNext = 0;
    // A block refused by its checksum keeps these bytes from the bad block:
    // they are no history then.
    const BYTE* block = GetBlock0();
    if (!block || GetBlock0CheckValue() <= 0)
        return;
    for (int i = 0; i < kHistoryBlockSlots; ++i) {
        const DWORD v = platform::GetRawWord(block + B0_VIEWHISTORY + 4 * i);
        if (v == 0 || v > 0x7FFF)
            break;
        int fid = static_cast<int>(v);
        if (!m_pHistory) {
            m_pHistory = new (std::nothrow) int[static_cast<size_t>(std::max(m_nHistoryCapacity, 1))];
            if (!m_pHistory) {
                IxRecordError(IXERR_NOMEMORY);
                return;
            }
        }
        if (m_nHistoryCapacity == 0)
            return;
        m_pHistory[m_nHistoryNext] = fid;
        m_nHistoryNext = (m_nHistoryNext + 1) % m_nHistoryCapacity;
        if (m_nHistoryCount == m_nHistoryCapacity)
            m_nHistoryOldest = m_nHistoryNext;
        else
            ++m_nHistoryCount;
    }
}

// ---------------------------------------------------------------------------
// History

void ViewCenter::RecordView(int fid)
{
    if (m_nHistoryCapacity > 0 && (m_nHistoryCount == 0 || GetHistoryEntry(0) != fid)) {
        if (!m_pHistory)
            m_pHistory = new (std::nothrow) int[static_cast<size_t>(m_nHistoryCapacity)];
        if (!m_pHistory) {
            IxRecordError(IXERR_NOMEMORY);
        } else {
            m_pHistory[m_nHistoryNext] = fid;
            m_nHistoryNext = (m_nHistoryNext + 1) % m_nHistoryCapacity;
            if (m_nHistoryCount == m_nHistoryCapacity)
                m_nHistoryOldest = m_nHistoryNext;
            else
                ++m_nHistoryCount;
            RequestSave(1);
        }
    }
    const CViewGroup* groups = ViewGroupTable();
    for (int i = 0; i < kViewGroupCount; ++i) {
        if (fid >= groups[i].nFirst && fid <= groups[i].nLast)
            m_groupLastView[i] = fid;
    }
}

void ViewCenter::DropView(int fid)
{
    if (m_nHistoryCount == 0 || GetHistoryEntry(0) != fid)
        return;
    m_nHistoryNext = (m_nHistoryNext - 1 + m_nHistoryCapacity) % m_nHistoryCapacity;
    --m_nHistoryCount;
    RequestSave(1);
}

int ViewCenter::GetHistoryEntry(int newestIndex) const
{
    if (newestIndex < 0 || newestIndex >= m_nHistoryCount || !m_pHistory)
        return 0;
    const int at = (m_nHistoryNext - 1 - newestIndex + 2 * m_nHistoryCapacity) % m_nHistoryCapacity;
    return m_pHistory[at];
}

int ViewCenter::GetGroupLastView(int group) const
{
    const CViewGroup* groups = ViewGroupTable();
    for (int i = 0; i < kViewGroupCount; ++i) {
        if (groups[i].nGroup == group)
            return m_groupLastView[i];
    }
    return 0;
}

int ViewCenter::FindLastView(int kind, BOOL noMenu) const
{
    auto* self = const_cast<ViewCenter*>(this);
    for (int i = 0; i < m_nHistoryCount; ++i) {
        const int v = GetHistoryEntry(i);
        if (!self->IsHistoryView(v, kind) || (noMenu && self->IsMenuView(v)))
            continue;
        return v;
    }
    return 0;
}

int ViewCenter::FindLastSourceView(int kind, BOOL noMenu) const
{
    auto* self = const_cast<ViewCenter*>(this);
    for (int i = 0; i < m_nHistoryCount; ++i) {
        const int v = GetHistoryEntry(i);
        if (v <= FID_SOURCE_BASE || !self->IsHistoryView(v, kind) || (noMenu && self->IsMenuView(v)))
            continue;
        return v;
    }
    return 0;
}

int ViewCenter::FindLastMediaView(int kind, const IxArray<int>* filter) const
{
    auto* self = const_cast<ViewCenter*>(this);
    for (int i = 0; i < m_nHistoryCount; ++i) {
        const int v = GetHistoryEntry(i);
        if (!self->IsHistoryView(v, kind) || !self->IsMediaPlayView(v))
            continue;
        if (filter && Contains(*filter, v))
            continue;
        if (!self->IsViewDevicePresent(v))
            continue;
        return v;
    }
    return 0;
}

BOOL ViewCenter::IsAvOff() const
{
    return m_nHistoryCount > 0 && GetHistoryEntry(0) == FID_AVOFF;
}

// ---------------------------------------------------------------------------
// State queries

int ViewCenter::GetNaviState() const
{
    switch (m_nNaviMode) {
    case NAVI_NONE:
    case NAVI_DESTROY:
    case NAVI_STARTABLE:
        return 0;
    case NAVI_LAUNCHING:
    case NAVI_LAUNCHED:
        return 1;
    default:
        if (m_fidNavi < 1)
            return 4;
        return m_nActivity == 0 ? 2 : 3;
    }
}

int ViewCenter::GetActiveView() const
{
    IxKernelFrame* frame = GetKernelFrame();
    IxElement* page = frame ? frame->GetActivePage() : nullptr;
    return page ? page->GetId() : 0;
}

BOOL ViewCenter::IsScreen(int fid) const
{
    IxKernelFrame* frame = GetKernelFrame();
    if (!frame || fid == 0)
        return FALSE;
    for (IxListNode* node = frame->Pages().Head(); node; node = node->m_pNext) {
        if (IxElement::FromNode(node)->GetId() == fid)
            return TRUE;
    }
    return FALSE;
}

// ---------------------------------------------------------------------------
// View slots

int ViewCenter::ResolveView(int view, int* selection, BOOL noMenu)
{
    int sel = 0;
    if (FindViewGroup(view)) {
        int found = 0;
        for (int i = 0; i < m_nHistoryCount && !found; ++i) {
            const int v = GetHistoryEntry(i);
            if (IsViewInGroup(v, view) && IsHistoryView(v, 0))
                found = v;
        }
        view = found ? found : GetDefaultView(0, view);
    }
    int result = view;
    if (const int base = GetCommandBase(view)) {
        IxArray<int> family{8};
        if (m_pCenter)
            m_pCenter->CollectFamily(base, &family, FALSE);
        BOOL mounted = FALSE;
        BOOL present = FALSE;
        for (int i = 0; i < family.Count(); ++i) {
            mounted = mounted || family[i] > 0;
            present = present || family[i] < 0;
        }
        if (mounted) {
            result = view;
        } else if (present) {
            result = GetMainView(view);
            sel = result == view ? 0 : view;
        } else {
            result = 0;
        }
    }
    if (noMenu && result && IsMenuView(result)) {
        result = 0;
        sel = 0;
    }
    if (selection)
        *selection = sel;
    return result;
}

BOOL ViewCenter::IsViewDevicePresent(int view)
{
    const int base = GetCommandBase(view);
    if (!base)
        return TRUE;
    IxArray<int> family{8};
    if (m_pCenter)
        m_pCenter->CollectFamily(base, &family, FALSE);
    for (int i = 0; i < family.Count(); ++i) {
        if (family[i] > 0)
            return TRUE;
    }
    return FALSE;
}

int ViewCenter::GetDefaultView(int, int group)
{
    return DefaultViewOfGroup(group, m_fidDefaultMain);
}

BOOL ViewCenter::IsMediaPlayView(int view)
{
    return IsMediaPlayViewId(view);
}

BOOL ViewCenter::IsMenuView(int view)
{
    return IsMenuViewId(view);
}

BOOL ViewCenter::IsHistoryView(int view, int kind)
{
    return (kind == 3 || kind == 4) ? !IsMenuView(view) : TRUE;
}

BOOL ViewCenter::IsViewInGroup(int view, int group)
{
    return IsViewInViewGroup(view, group);
}

int ViewCenter::GetViewGroup(int view)
{
    return ViewGroupOf(view);
}

int ViewCenter::GetNextSourceView(int view)
{
    return NextSourceViewOf(view);
}

int ViewCenter::GetMainView(int view)
{
    return MainViewOf(view);
}

int ViewCenter::GetCommandGroup(int device)
{
    return CommandGroupOf(device);
}

int ViewCenter::GetCommandBase(int groupOrView)
{
    return CommandBaseOf(groupOrView);
}

// ---------------------------------------------------------------------------
// Slots with ViewCenter's own bodies

void ViewCenter::ReleaseLayerView(IxElement* view)
{
    delete view;
}

void ViewCenter::ShowColorKeyPage(BOOL on)
{
    IxKernelFrame* frame = GetKernelFrame();
    if (!frame)
        return;
    if (on) {
        if (GetActiveView() != FID_COLORKEY)
            frame->SetActivePageById(FID_COLORKEY, 0, 0);
    } else {
        frame->SetActivePage(nullptr, 0, 0);
    }
    RepaintNow();
}

void ViewCenter::ShowNavi(int fid)
{
    if (!m_pNaviModel || m_fidNavi > 0)
        return;
    m_fidNavi = -fid;
    m_pNaviModel->SetLayout(std::max(m_nActivity, 0));
    m_pNaviModel->Show(fid);
}

void ViewCenter::NaviIsShown()
{
    if (m_nMode == VCMODE_NULLNAVI && m_fNaviAtFirst)
        return;
    if (m_fidNavi < 0) {
        BOOL wasOff = FALSE;
        if (m_nMode < 3) {
            if (m_pOSD)
                m_pOSD->SetEnabled(TRUE);
            m_nMode = VCMODE_RUN;
            wasOff = TRUE;
        }
        m_fidNavi = -m_fidNavi;
        m_fidPermanent = m_fidNavi;
        if (m_pNaviModel)
            m_pNaviModel->SetPlacing(TRUE);
        BOOL suppressed = FALSE;
        if (m_fidOSD == FID_AVOFF || m_nMode < VCMODE_RUN) {
            HideMainWindow();
        } else {
            ShowColorKeyPage(TRUE);
            m_bShowPending = TRUE;
            ++m_nSuppress;
            suppressed = TRUE;
        }
        if (m_pOSD) {
            const RECT& home = m_pOSD->GetHomeRect();
            if (home.right > home.left)
                m_pOSD->SetRectNow(home);
        }
        SetOsdPage(m_atOSD, m_fidOSD);
        if (suppressed) {
            --m_nSuppress;
            RepaintNow();
        }
        if (m_pNaviModel)
            m_pNaviModel->SetPlacing(FALSE);
        if (m_bShowPending) {
            FitMainWindowToOsd();
            m_bShowPending = FALSE;
        }
        if (wasOff) {
            LowerSecondGate();
            if (!(m_nMode == VCMODE_POWEROFF || m_nInitMode == 0))
                RaiseOutputGate();
        }
    } else if (m_fidNavi > 0 && m_pNaviModel) {
        const int layout = std::max(m_pNaviModel->GetLayout(), 0);
        if (layout != m_nActivity) {
            m_nActivity = layout;
            RebuildOsdLayer();
            HideMainWindow();
            m_OSD = VCOSD_NAVISHOWN;
            m_atOSD = VCAT_START;
            m_fidOSD = ChooseOsdView(VCAT_AV);
            SetOsdPage(m_atOSD, m_fidOSD);
        }
    }
}

int ViewCenter::CloseOsdLayer()
{
    if (m_pOSD) {
        if (IxKernelFrame* frame = GetKernelFrame())
            frame->DetachView(m_pOSD);
        ReleaseLayerView(m_pOSD);
        m_pOSD = nullptr;
    }
    return 1;
}

void ViewCenter::CloseVolumePopup(int value)
{
    IxKernelFrame* frame = GetKernelFrame();
    if (value >= 0 && frame && frame->IsLayerShown(FID_VOLUME))
        frame->PopLayer(FID_VOLUME);
}

void ViewCenter::RebuildOsdLayer()
{
    IxKernelFrame* frame = GetKernelFrame();
    if (m_pOSD) {
        if (frame)
            frame->DetachView(m_pOSD);
        ReleaseLayerView(m_pOSD);
        m_pOSD = nullptr;
    }
    m_pOSD = MakeOsdLayer(std::max(m_nActivity, 0));
    if (!m_pOSD)
        return;
    if (frame && !frame->AttachView(m_pOSD)) {
        ReleaseLayerView(m_pOSD);
        m_pOSD = nullptr;
        return;
    }
    if (m_nMode == VCMODE_RUN)
        m_pOSD->SetEnabled(TRUE);
}

int ViewCenter::SetActivity(int activity, int where, int fid)
{
    if (m_bColorKeyCover) {
        RemoveColorKeyCover();
        return 0;
    }
    if (activity == m_nActivity && (where == 0 || (where == 1 && m_fidNavi == 0) || (where == -1 && m_fidNavi != 0))) {
        if (where < 0 && m_nActivity != 0)
            RaiseMainWindow();
        return 1;
    }
    if (m_nNaviMode >= NAVI_LAUNCHED || where >= 0) {
        CViewUpdate update(this);
        if (m_pNaviModel)
            m_pNaviModel->PrepareLayout(activity, 0);
        CloseVolumePopup(0);
        if (activity != m_nActivity) {
            NKDbgPrintfW(u"[ViewCenter] SetActivity() : Activity is changed from [%d] to [%d], mode=[%d], at [%ld]\r\n",
                         m_nActivity, activity, m_nMode, static_cast<long>(GetTickCount()));
            m_nActivity = activity;
            RebuildOsdLayer();
            if (m_pNaviModel)
                m_pNaviModel->SetLayout(activity);
        }
        if (where > 0 && m_fidNavi != 0)
            ToMainView(fid);
        else if (where < 0)
            ToNaviView(fid);
        if (m_pNaviModel)
            m_pNaviModel->SyncView();
        return 1;
    }
    if (m_fNaviAtFirst && m_nNaviMode >= NAVI_STARTABLE) {
        m_fidNavi = FID_NAVI;
        m_fidPermanent = FID_NAVI;
        m_nActivity = activity;
        PrepareNaviAtFirst();
    } else {
        NKDbgPrintfW(u"[ViewCenter] SetActivity() : cannot change Activity since cannot go to Navi mode, "
                     u"Activity=[%d], mode=[%d], navi-mode=[%d], at [%ld]\r\n",
                     m_nActivity, m_nMode, m_nNaviMode, static_cast<long>(GetTickCount()));
    }
    return 0;
}

// ---------------------------------------------------------------------------
// Start of running

void ViewCenter::StartToRun(int fid)
{
    NKDbgPrintfW(u"[ViewCenter] => StartToRun(fid=[%d]) : mode=[%d], navi-mode=[%d], init-mode=[%d], permanent=[%d], "
                 u"active=[%d], osd=[%d], at [%ld]\r\n",
                 fid, m_nMode, m_nNaviMode, m_nInitMode, m_fidPermanent, GetActiveView(),
                 m_pOSD ? m_pOSD->GetOverlayPage() : -1, static_cast<long>(GetTickCount()));
    CViewUpdate update(this);
    if (m_pCenter)
        m_pCenter->StartSources();
    if (m_nMode <= VCMODE_STOPPED) {
        LoadLastStatus();
        const int old = m_nActivity;
        m_nActivity = -1;
        SetActivity(std::max(old, 0), 0, 0);
        if (m_nNaviMode < 2) {
            m_fidNavi = 0;
            if (IsNaviViewId(m_fidPermanent))
                m_fidPermanent = 0;
            m_atOSD = 0;
            m_fidOSD = 0;
            m_OSD = VCOSD_MAIN;
        }
        Broadcast(ACMD_APPPREPARE, 0);
        if (fid != 0)
            m_nInitMode = 1;
        BOOL run = TRUE;
        if (fid > FID_MENU_FIRST) {
            NKDbgPrintfW(u"[ViewCenter] StartToRun(modeNull : to Main) : modeRun\r\n");
            InitialMain(VCAT_START, fid);
        } else if (fid == 0 && m_nInitMode != 1) {
            run = FALSE;
        } else if (fid == 0 && !IsNaviViewId(m_fidPermanent)) {
            NKDbgPrintfW(u"[ViewCenter] StartToRun(modeNull : to Main) : modeRun\r\n");
            InitialMain(VCAT_START, 0);
        } else if (m_nNaviMode < NAVI_LAUNCHED) {
            NKDbgPrintfW(u"[ViewCenter] StartToRun(modeNull) : modePowerOff\r\n");
            run = FALSE;
        } else {
            const int magnitude = std::abs(m_fidNavi);
            m_fidNavi = 0;
            RunNavi(VCAT_START, fid ? fid : magnitude, IsAvOff() ? FID_AVOFF : 0);
            LowerSecondGate();
            if (m_fidCamera == 0 && m_pCenter && !m_pCenter->GetRequestB()) {
                RepaintNow();
                RaiseOutputGate();
            }
        }
        if (run) {
            m_nMode = VCMODE_RUN;
            if (m_pCenter)
                m_pCenter->SetExternalMute(FALSE);
            if (m_pOSD)
                m_pOSD->SetEnabled(TRUE);
            RepaintNow();
            if (m_fidCamera == 0) {
                LowerSecondGate();
                RaiseOutputGate();
            }
        } else {
            m_nMode = VCMODE_POWEROFF;
            if (m_pCenter)
                m_pCenter->SetExternalMute(TRUE);
            if (m_fidCamera == 0)
                LowerOutputGate();
            else
                RaiseOutputGate();
        }
        if (m_nMode > 5 && m_nTimerA > 0)
            StartTimer(&m_nTimerA);
    } else if (m_nMode == VCMODE_NULLNAVI) {
        if (fid > FID_MENU_FIRST) {
            if (m_pCenter)
                m_pCenter->SetExternalMute(FALSE);
            NKDbgPrintfW(u"[ViewCenter] StartToRun(modeNullNavi : to Main) : modeRun\r\n");
            InitialMain(VCAT_START, fid);
            m_nMode = VCMODE_RUN;
        }
    } else if (m_nMode <= VCMODE_POWEROFF) {
        Broadcast(ACMD_APPPREPARE, 1);
        BOOL toMain;
        if (fid != 0) {
            m_nInitMode = 1;
            toMain = fid > FID_MENU_FIRST;
        } else {
            toMain = !IsNaviViewId(m_fidPermanent);
        }
        if (m_pOSD && !m_pOSD->IsEnabled())
            m_pOSD->SetEnabled(TRUE);
        if (toMain) {
            NKDbgPrintfW(u"[ViewCenter] StartToRun(modePowerOff : to Main) : modeRun\r\n");
            InitialMain(VCAT_START, fid);
            m_nMode = VCMODE_RUN;
            m_nInitMode = 1;
            RepaintNow();
        } else if (m_nNaviMode < NAVI_LAUNCHED) {
            if (m_nNaviMode < NAVI_LAUNCHING)
                LaunchNaviSafe();
            m_nMode = VCMODE_NULLNAVI;
        } else {
            const int magnitude = std::abs(m_fidNavi);
            m_fidNavi = 0;
            if (IxKernelFrame* frame = GetKernelFrame()) {
                if (HWND hwnd = frame->GetWindowHandle())
                    InvalidateRect(hwnd, nullptr, FALSE);
            }
            ShowColorKeyPage(TRUE);
            RunNavi(VCAT_START, fid ? fid : magnitude, IsAvOff() ? FID_AVOFF : 0);
            LowerSecondGate();
            if (m_fidCamera == 0 && m_pCenter && !m_pCenter->GetRequestB()) {
                RepaintNow();
                RaiseOutputGate();
            }
            m_nMode = VCMODE_RUN;
        }
        if (m_pCenter)
            m_pCenter->SetExternalMute(FALSE);
        if (m_nMode > 5 && m_nTimerA > 0)
            StartTimer(&m_nTimerA);
        RaiseOutputGate();
    }
    NKDbgPrintfW(u"[ViewCenter] <= StartToRun(fid=[%d]) : mode=[%d], navi-mode=[%d], init-mode=[%d], permanent=[%d], "
                 u"active=[%d], osd=[%d], at [%ld]\r\n",
                 fid, m_nMode, m_nNaviMode, m_nInitMode, m_fidPermanent, GetActiveView(),
                 m_pOSD ? m_pOSD->GetOverlayPage() : -1, static_cast<long>(GetTickCount()));
}

void ViewCenter::InitialMain(int at, int fid)
{
    NKDbgPrintfW(u"[ViewCenter] InitialMain(fid=[%d]) : mode=[%d], navi-mode=[%d], permanent=[%d], active=[%d], "
                 u"osd=[%d], at [%ld]\r\n",
                 fid, m_nMode, m_nNaviMode, m_fidPermanent, GetActiveView(), m_pOSD ? m_pOSD->GetOverlayPage() : -1,
                 static_cast<long>(GetTickCount()));
    if (fid == 0 && MayBecomePermanent(m_fidPermanent))
        fid = m_fidPermanent;
    if (fid > FID_MENU_FIRST) {
        if (MayBecomePermanent(fid))
            m_fidPermanent = fid;
        else
            ClearPermanent();
    }
    int view = 0;
    int sel = 0;
    if (fid != 0) {
        IxArray<int> candidates{8};
        GetKeyCandidates(fid, &candidates);
        for (int i = 0; i < candidates.Count() && !view; ++i) {
            const int v = ResolveView(candidates[i], &sel, FALSE);
            if (v && IsScreen(v))
                view = v;
        }
    }
    for (int i = 0; i < m_nHistoryCount && !view; ++i) {
        const int entry = GetHistoryEntry(i);
        if (entry == FID_AVOFF || !IsHistoryView(entry, at))
            continue;
        const int v = ResolveView(entry, &sel, FALSE);
        if (v && IsScreen(v))
            view = v;
    }
    if (!view) {
        view = GetDefaultView(at, 0);
        sel = 0;
    }
    RunMain(at, view, sel);
    LowerSecondGate();
    if (m_fidCamera == 0 && m_pCenter && !m_pCenter->GetRequestB()) {
        RepaintNow();
        RaiseOutputGate();
    }
}

// ---------------------------------------------------------------------------
// Screen switching

void ViewCenter::RunMain(int at, int fidMain, int fidSel)
{
    // A screen that the frame lacks (its page could not be made) would leave
    // the unit dark: the 3D menu is always there.
    if (!IsScreen(fidMain) && IsScreen(FID_GATE)) {
        NKDbgPrintfW(u"[ViewCenter] RunMain() : no screen for fid=[%d], the 3D menu instead\r\n", fidMain);
        fidMain = FID_GATE;
        fidSel = 0;
    }
    NKDbgPrintfW(u"[ViewCenter] RunMain(at=[%d], fidMain=[%d], fidSel=[%d]) : mode=[%d], navi-mode=[%d], "
                 u"permanent=[%d], active=[%d], osd=[%d], at [%ld]\r\n",
                 at, fidMain, fidSel, m_nMode, m_nNaviMode, m_fidPermanent, GetActiveView(),
                 m_pOSD ? m_pOSD->GetOverlayPage() : -1, static_cast<long>(GetTickCount()));
    const BOOL displayed = m_fidNavi > 0 || m_bNaviInitial;
    if (m_pOSD) {
        m_pOSD->SetSuppressed(TRUE);
        m_pOSD->ShowOverlay(FALSE);
    }
    if (!IsMenuView(fidMain) && !IsMediaPlayView(fidMain)) {
        int osd = FindLastMediaView(at, nullptr);
        if (!osd)
            osd = GetDefaultView(VCAT_AV, 0);
        if (osd && IsMediaPlayView(osd)) {
            m_OSD = VCOSD_MAIN;
            m_atOSD = at;
            m_fidOSD = osd;
            SetOsdPage(at, osd);
        }
    }
    IxKernelFrame* frame = GetKernelFrame();
    if (frame && GetActiveView() != fidMain)
        frame->SetActivePageById(fidMain, static_cast<LPARAM>(fidSel), 0);
    CloseVolumePopup(1);
    if (displayed)
        HideNavi();
    RestoreMainWindow();
    RequestSave(0);
}

void ViewCenter::RunNavi(int at, int fidNavi, int fidOSD)
{
    NKDbgPrintfW(u"[ViewCenter] RunNavi(at=[%d], fidNavi=[%d], fidOSD=[%d]) : mode=[%d], navi-mode=[%d], "
                 u"permanent=[%d], active=[%d], osd=[%d], at [%ld]\r\n",
                 at, fidNavi, fidOSD, m_nMode, m_nNaviMode, m_fidPermanent, GetActiveView(),
                 m_pOSD ? m_pOSD->GetOverlayPage() : -1, static_cast<long>(GetTickCount()));
    if (m_pOSD)
        m_pOSD->SetSuppressed(FALSE);
    if (m_fidNavi == 0 && !m_bNaviInitial) {
        if (!fidNavi)
            fidNavi = FID_NAVI;
        if (!fidOSD)
            fidOSD = ChooseOsdView(at);
        m_OSD = (m_pOSD && !m_pOSD->GetActivePage()) ? VCOSD_NAVIASKED : VCOSD_NAVIASKEDPAGE;
        m_atOSD = at;
        m_fidOSD = fidOSD;
        ShowNavi(fidNavi);
        CloseVolumePopup(-1);
        RequestSave(0);
        return;
    }
    if (m_bNaviInitial)
        m_fidNavi = FID_NAVI;
    if (m_pNaviModel) {
        m_pNaviModel->SetLayout(std::max(m_nActivity, 0));
        m_pNaviModel->Show(fidNavi ? fidNavi : std::abs(m_fidNavi));
        m_pNaviModel->SyncView();
    }
    if (!fidOSD)
        fidOSD = ChooseOsdView(at);
    BOOL suppressed = FALSE;
    if (m_fidOSD != FID_AVOFF && m_nMode >= VCMODE_RUN) {
        ++m_nSuppress;
        m_bShowPending = TRUE;
        suppressed = TRUE;
    }
    ShowColorKeyPage(TRUE);
    m_OSD = VCOSD_NAVISHOWN;
    m_atOSD = at;
    m_fidOSD = fidOSD;
    SetOsdPage(at, fidOSD);
    if (fidNavi)
        m_fidNavi = m_fidNavi <= 0 ? -fidNavi : fidNavi;
    RepaintNow();
    if (m_bShowPending) {
        FitMainWindowToOsd();
        m_bShowPending = FALSE;
    }
    // The shown and hidden notices of this change are queued: they find the
    // depth back at rest.
    if (suppressed)
        --m_nSuppress;
    RequestSave(0);
}

void ViewCenter::InvokeView(int fid, int fidSel, int at)
{
    int where = 0;
    if (IsNaviViewId(fid)) {
        where = -fid;
    } else if (IsMediaPlayView(fid) && !IsMenuView(fid)) {
        if (MayBecomePermanent(fid))
            where = fid;
        else if (IsNaviViewId(m_fidPermanent))
            where = m_fidNavi > 0 ? -1 : -m_fidPermanent;
        else if (m_fidPermanent != 0)
            where = m_fidPermanent;
    }
    NKDbgPrintfW(u"[ViewCenter] InvokeView(fid=[%d], fidSel=[%d]) : WhereToGo=[%d], mode=[%d], navi-mode=[%d], "
                 u"permanent=[%d], active=[%d], osd=[%d], at [%ld]\r\n",
                 fid, fidSel, where, m_nMode, m_nNaviMode, m_fidPermanent, GetActiveView(),
                 m_pOSD ? m_pOSD->GetOverlayPage() : -1, static_cast<long>(GetTickCount()));
    CViewUpdate update(this);
    const BOOL avOff = IsAvOff();
    if (where < 0) {
        if (m_nNaviMode < NAVI_LAUNCHED)
            return;
        if (where == -1) {
            if (avOff)
                PrepareAv();
            m_OSD = VCOSD_NAVISHOWN;
            m_atOSD = at;
            m_fidOSD = fid;
            SetOsdPage(at, fid);
        } else if (IsNaviViewId(fid)) {
            RunNavi(at, fid, 0);
        } else {
            if (avOff && fid)
                PrepareAv();
            RunNavi(at, 0, fid);
        }
        return;
    }
    if (avOff && fid != FID_GATE)
        PrepareAv();
    if (where == 0) {
        RunMain(at, fid, fidSel);
    } else {
        m_OSD = VCOSD_BESIDEPERMANENT;
        m_atOSD = at;
        m_fidOSD = fid;
        SetOsdPage(at, fid);
    }
}

int ViewCenter::ViewIsExeced(int fid)
{
    if (!(m_nMode == VCMODE_NULLNAVI || m_nMode >= VCMODE_RUN))
        return 0;
    if (IsNaviViewId(fid) && m_nNaviMode < NAVI_LAUNCHED) {
        if (m_fNaviAtFirst && m_nNaviMode > 2)
            PrepareNaviAtFirst();
        return 0;
    }
    if (const int last = FindLastView(0, FALSE)) {
        IxArray<int> exclusive{8};
        GetExclusiveViews(last, &exclusive);
        if (Contains(exclusive, fid)) {
            NKDbgPrintfW(u"[ViewCenter] ViewIsExeced() : canNOT run View since Exclusive, mode=[%d], fid=[%d], "
                         u"fidActive=[%d], at [%ld]\r\n",
                         m_nMode, fid, GetActiveView(), static_cast<long>(GetTickCount()));
            ExclusiveRefused(fid, GetActiveView());
            return 0;
        }
    }
    if (m_nMode >= VCMODE_RUN) {
        int sel = 0;
        const int view = ResolveView(fid, &sel, FALSE);
        if (!view || !(IsScreen(view) || IsNaviViewId(view))) {
            NKDbgPrintfW(u"[ViewCenter] ViewIsExeced() : no screen for fid=[%d], at [%ld]\r\n", fid,
                         static_cast<long>(GetTickCount()));
            return 0;
        }
        InvokeView(view, sel, 0);
        return 1;
    }
    StartToRun(fid);
    return 1;
}

int ViewCenter::ViewKeyIsInvoked(int fid)
{
    const BOOL navi = IsNaviViewId(fid);
    if (!(m_nMode == VCMODE_NULLNAVI || m_nMode >= VCMODE_RUN) || (navi && m_nNaviMode < NAVI_LAUNCHED)) {
        if (navi && m_fNaviAtFirst && m_nNaviMode > 2 && m_nNaviMode < NAVI_LAUNCHED)
            PrepareNaviAtFirst();
        m_fidWaitKey = fid;
        return 0;
    }
    IxArray<int> candidates{8};
    GetKeyCandidates(fid, &candidates);
    IxArray<int> cycle{8};
    GetKeyCycle(fid, &cycle);
    const int active = GetActiveView();
    const int activeGroup = GetViewGroup(active);
    if (activeGroup && Contains(candidates, activeGroup) && cycle.Count() > 0) {
        int start = cycle.IndexOfValue(active);
        if (start < 0)
            start = cycle.IndexOfValue(activeGroup);
        const int n = cycle.Count();
        for (int k = 1; k <= n; ++k) {
            const int entry = cycle[((start < 0 ? -1 : start) + k) % n];
            int sel = 0;
            const int v = ResolveView(entry, &sel, FALSE);
            if (v && IsScreen(v)) {
                InvokeView(v, sel, 0);
                return 1;
            }
        }
        return 0;
    }
    if (m_nMode == VCMODE_NULLNAVI) {
        StartToRun(fid);
        return 1;
    }
    for (int i = 0; i < candidates.Count(); ++i) {
        int sel = 0;
        const int v = ResolveView(candidates[i], &sel, FALSE);
        if (!v || !(IsScreen(v) || IsNaviViewId(v)))
            continue;
        if (v > FID_MENU_FIRST && MayBecomePermanent(v))
            m_fidPermanent = v;
        else if (!IsMenuView(v))
            ClearPermanent();
        InvokeView(v, sel, 0);
        return 1;
    }
    return 0;
}

void ViewCenter::ViewIsBack(int when, int fidFrom)
{
    NKDbgPrintfW(u"[ViewCenter] ViewIsBack() : mode=[%d], when=[%d], fid-from=[%d], permanent=[%d], at [%ld]\r\n",
                 m_nMode, when, fidFrom, m_fidPermanent, static_cast<long>(GetTickCount()));
    if (IsAvOff()) {
        RunNavi(VCAT_BACK, 0, FID_AVOFF);
        return;
    }
    int view = 0;
    int sel = 0;
    // The screen being left is no target even when it did not announce that
    // it left.
    for (int i = 0; i < m_nHistoryCount && !view; ++i) {
        const int entry = GetHistoryEntry(i);
        if ((fidFrom != 0 && entry == fidFrom) || !IsHistoryView(entry, when))
            continue;
        const int v = ResolveView(entry, &sel, FALSE);
        if (v && (IsScreen(v) || IsNaviViewId(v)))
            view = v;
    }
    if (!view) {
        view = GetDefaultView(when, 0);
        sel = 0;
    }
    InvokeView(view, sel, when);
}

void ViewCenter::ToMainView(int fid)
{
    if (m_bColorKeyCover) {
        RemoveColorKeyCover();
        return;
    }
    if (m_nMode < VCMODE_RUN)
        return;
    ++m_nSuppress;
    if (!fid)
        fid = FindLastView(0, FALSE);
    if (!fid)
        fid = GetDefaultView(VCAT_START, 0);
    if (!IsMenuView(fid))
        ClearPermanent();
    InvokeView(fid, 0, 0);
    --m_nSuppress;
}

void ViewCenter::ToNaviView(int fid)
{
    if (m_bColorKeyCover) {
        RemoveColorKeyCover();
        return;
    }
    if (m_nMode < VCMODE_RUN || m_nNaviMode < NAVI_LAUNCHED)
        return;
    if (!fid)
        fid = FID_NAVI;
    m_fidPermanent = fid;
    InvokeView(fid, 0, 0);
}

void ViewCenter::AvOff()
{
    if (m_bColorKeyCover) {
        RemoveColorKeyCover();
        return;
    }
    CViewUpdate update(this);
    if (m_pCenter)
        m_pCenter->RequestSource(nullptr, MRF_ALL, ZONE_MAIN);
    // The mark first, so that every way below shows it.
    RecordView(FID_AVOFF);
    if (m_nNaviMode < NAVI_LAUNCHED) {
        m_nMode = VCMODE_NULLNAVI;
    } else if (m_nActivity == 0) {
        RunNavi(VCAT_AV, 0, FID_AVOFF);
        LowerSecondGate();
        if (m_fidCamera == 0 && m_pCenter && !m_pCenter->GetRequestB()) {
            RepaintNow();
            RaiseOutputGate();
        }
    } else {
        SetActivity(0, -1, 0);
    }
    if (m_pCenter)
        m_pCenter->StopSources();
    Broadcast(ACMD_APPCLEANUP, 2);
}

void ViewCenter::AvOn()
{
    if (m_bColorKeyCover) {
        RemoveColorKeyCover();
        return;
    }
    CViewUpdate update(this);
    PrepareAv();
    // The mark goes, so that the view before it comes back.
    while (IsAvOff())
        DropView(FID_AVOFF);
    RunNavi(VCAT_AV, 0, 0);
    m_nMode = VCMODE_RUN;
}

void ViewCenter::ModeCycle()
{
    if (m_nMode != VCMODE_RUN)
        return;
    const int start = GetHistoryEntry(0);
    // The cycle holds the files, AUX and iPod views as their groups.
    int startEntry = start;
    const int startGroup = ViewGroupOf(start);
    if (startGroup == FID_GROUP_FILES || startGroup == FID_GROUP_AUX || startGroup == FID_GROUP_IPOD)
        startEntry = startGroup;
    const BOOL noMenu = (m_dwOptions & VCOPT_MODESKIPSMENU) != 0;
    int current = start;
    for (int step = 0; step < 32; ++step) {
        const int next = GetNextSourceView(current);
        if (!next || next == start || next == startEntry)
            return;
        int sel = 0;
        const int view = ResolveView(next, &sel, noMenu);
        if (view && IsScreen(view)) {
            InvokeView(view, sel, 0);
            return;
        }
        current = next;
    }
}

int ViewCenter::RunPermanentAware(int fid)
{
    if (!(m_nMode == VCMODE_NULLNAVI || m_nMode >= VCMODE_RUN))
        return 0;
    if (fid > FID_MENU_FIRST && MayBecomePermanent(fid))
        m_fidPermanent = fid;
    else
        ClearPermanent();
    return ViewIsExeced(fid);
}

// ---------------------------------------------------------------------------
// Navigation and cover steps used by the dispatcher

void ViewCenter::NaviIsClosed()
{
    NKDbgPrintfW(u"[IxKernelAppPlayer] NaviIsClosed() Mode:%d  NaviMode:%d  NaviModel:0x%x  fidNavi:%d  \n\r ", m_nMode,
                 m_nNaviMode, static_cast<unsigned>(reinterpret_cast<UINT_PTR>(m_pNaviModel)), m_fidNavi);
    if (m_nMode != VCMODE_STOPPED)
        m_nNaviMode = NAVI_DESTROY;
}

void ViewCenter::DaemonIsLaunched()
{
    NKDbgPrintfW(u"[ViewCenter] DaemonIsLaunched() : mode=[%d], init=[%d], navi=[%d], at [%ld]\r\n", m_nMode,
                 m_nInitMode, m_nNaviMode, static_cast<long>(GetTickCount()));
    ToAccOn();
}

void ViewCenter::ShowColorKeyCover()
{
    if (m_bColorKeyCover)
        return;
    IxKernelFrame* frame = GetKernelFrame();
    if (IxElement* cover = MakeColorKeyCover()) {
        IxElementParams params;
        params.Clear();
        const RECT& rc = frame ? frame->GetRect() : RECT{0, 0, 800, 480};
        params.Set(rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, FID_COLORKEYCOVER, 0);
        cover->Create(&params);
        if (frame)
            frame->GetKernel()->PushTopLayer(cover, nullptr, 1);
        else
            ReleaseLayerView(cover);
    }
    if (m_fidCamera == 0)
        LowerOutputGate();
    m_bColorKeyCover = TRUE;
}

void ViewCenter::RemoveColorKeyCover()
{
    if (IxKernelFrame* frame = GetKernelFrame())
        frame->PopLayer(FID_COLORKEYCOVER);
    RepaintNow();
    m_bColorKeyCover = FALSE;
    if (!(m_nMode == VCMODE_POWEROFF || (m_nMode < 5 && m_nInitMode == 0)))
        RaiseOutputGate();
}

void ViewCenter::HideNavi()
{
    if (m_pNaviModel) {
        if (m_fidNavi > 0)
            RestoreMainWindow();
        m_pNaviModel->Hide();
    }
    m_fidNavi = 0;
}

// ---------------------------------------------------------------------------
// Window placement

void ViewCenter::FitMainWindowToOsd()
{
    IxKernelFrame* frame = GetKernelFrame();
    HWND hwnd = frame ? frame->GetWindowHandle() : nullptr;
    if (!hwnd || !m_pOSD)
        return;
    RECT home = m_pOSD->GetHomeRect();
    if (home.right <= home.left)
        m_pOSD->GetRect(&home);
    SetWindowPos(hwnd, HWND_TOPMOST, home.left, home.top, home.right - home.left, home.bottom - home.top,
                 SWP_SHOWWINDOW);
    m_pOSD->SetRectNow(RECT{0, 0, home.right - home.left, home.bottom - home.top});
}

void ViewCenter::HideMainWindow()
{
    IxKernelFrame* frame = GetKernelFrame();
    if (!frame)
        return;
    ShowColorKeyPage(TRUE);
    frame->Control(IXSVC_REPAINTNOTICE, 0, 0);
    frame->PopAllLayers();
    if (HWND hwnd = frame->GetWindowHandle()) {
        SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_HIDEWINDOW | SWP_NOOWNERZORDER);
        ShowWindow(hwnd, SW_HIDE);
    }
}

void ViewCenter::RestoreMainWindow()
{
    IxKernelFrame* frame = GetKernelFrame();
    if (!frame)
        return;
    if (HWND hwnd = frame->GetWindowHandle()) {
        const RECT& rc = frame->GetRect();
        SetWindowPos(hwnd, HWND_TOPMOST, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, SWP_SHOWWINDOW);
    }
    frame->FlushAndUpdate();
}

void ViewCenter::RaiseMainWindow()
{
    IxKernelFrame* frame = GetKernelFrame();
    if (HWND hwnd = frame ? frame->GetWindowHandle() : nullptr)
        SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_SHOWWINDOW);
}

// ---------------------------------------------------------------------------
// Helpers

void ViewCenter::SetOsdPage(int at, int view)
{
    if (m_pOSD)
        m_pOSD->SetOverlayPage(at, view);
    if (view)
        RecordView(view);
}

int ViewCenter::ChooseOsdView(int at) const
{
    if (IsAvOff())
        return FID_AVOFF;
    if (const int media = FindLastMediaView(at, nullptr))
        return media;
    return const_cast<ViewCenter*>(this)->GetDefaultView(VCAT_AV, 0);
}

void ViewCenter::PrepareAv()
{
    if (m_pCenter)
        m_pCenter->StartSources();
    Broadcast(ACMD_APPPREPARE, 2);
}

void ViewCenter::RepaintNow()
{
    if (IxKernel* kernel = IxGetKernel())
        kernel->Service(IXSVC_REPAINTNOW, nullptr, 1);
}

void ViewCenter::RaiseOutputGate()
{
    if (m_pCenter)
        m_pCenter->WantRequestB();
}

void ViewCenter::LowerOutputGate()
{
    if (m_pCenter)
        m_pCenter->UnwantRequestB();
}

void ViewCenter::LowerSecondGate()
{
    if (m_bSecondGate && m_pCenter)
        m_pCenter->SetRequestA(FALSE);
}

void ViewCenter::Broadcast(int code, LPARAM value)
{
    if (IxKernel* kernel = IxGetKernel())
        kernel->Broadcast(code, AEV_DEFAULT, value);
}

void ViewCenter::StartTimer(int* member)
{
    if (IxKernel* kernel = IxGetKernel())
        kernel->SetTimer(this, IxTimerId(member), *member);
}

void ViewCenter::StopTimer(int* member)
{
    if (IxKernel* kernel = IxGetKernel())
        kernel->KillTimer(this, IxTimerId(member));
}

void ViewCenter::ClearNaviViews()
{
    if (IsNaviViewId(m_fidPermanent))
        m_fidPermanent = 0;
    m_fidNavi = 0;
    m_atOSD = 0;
    m_fidOSD = 0;
    m_OSD = VCOSD_MAIN;
}

void ViewCenter::ClearPermanent()
{
    m_fidPermanent = 0;
    if ((m_dwOptions & VCOPT_ACTIVITYONCLEAR) && m_nActivity > 0) {
        const int old = m_nActivity;
        m_nActivity = -1;
        SetActivity(old, 0, 0);
    }
}

// ---------------------------------------------------------------------------
// What screens ask

int GetLastView(BOOL noMenu)
{
    ViewCenter* vc = ViewCenter::GetInstance();
    return vc ? vc->FindLastView(0, noMenu) : 0;
}

int GetLastSourceView(BOOL noMenu)
{
    ViewCenter* vc = ViewCenter::GetInstance();
    return vc ? vc->FindLastSourceView(0, noMenu) : 0;
}

int GetNaviState()
{
    ViewCenter* vc = ViewCenter::GetInstance();
    return vc ? vc->GetNaviState() : 0;
}

BOOL IsColorKeyCoverUp()
{
    ViewCenter* vc = ViewCenter::GetInstance();
    return vc && vc->IsColorKeyCoverUp();
}

BOOL IsPoweredOff()
{
    ViewCenter* vc = ViewCenter::GetInstance();
    return vc && (vc->GetMode() == VCMODE_POWEROFF || (vc->GetMode() < 5 && vc->GetInitMode() == 0));
}

BOOL IsCameraUp()
{
    ViewCenter* vc = ViewCenter::GetInstance();
    return vc && vc->GetCameraView() != 0;
}

BOOL IsAvOn()
{
    ViewCenter* vc = ViewCenter::GetInstance();
    return !vc || !vc->IsAvOff();
}

BOOL IsAccOn()
{
    return ViewCenterDeviceState(DEVNO_ACC) == 3;
}

int ViewCenterDeviceState(int device)
{
    ViewCenter* vc = ViewCenter::GetInstance();
    IxModelCenter* center = vc ? vc->GetModelCenter() : nullptr;
    return center ? center->GetState(device) : 0;
}

int ViewCenterAliasState(int device)
{
    ViewCenter* vc = ViewCenter::GetInstance();
    IxModelCenter* center = vc ? vc->GetModelCenter() : nullptr;
    return center ? center->GetAliasState(device) : 0;
}

void ViewCenterLowerSecondGate()
{
    if (ViewCenter* vc = ViewCenter::GetInstance())
        vc->LowerSecondGate();
}

void ViewCenterRaiseOutputGate()
{
    if (ViewCenter* vc = ViewCenter::GetInstance())
        vc->RaiseOutputGate();
}
