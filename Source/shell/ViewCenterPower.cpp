// ViewCenter: ACC, the power key, the intro, the cameras, the power-off
// request to the platform shell, and the navigation program's life cycle.
#include "Lib_cpp/core/ActionCodes.h"
#include "Lib_cpp/core/Diag.h"
#include "Lib_cpp/kernel/ServiceCodes.h"
#include "Source/models/ModelCenter.h"
#include "Source/models/ModelCodes.h"
#include "Source/models/UnitLink.h"
#include "Source/shell/NaviModelLink.h"
#include "Source/shell/OverlayLayer.h"
#include "Source/shell/ShellIds.h"
#include "Source/shell/ViewCenter.h"
#include "platform/base/Clock.h"
#include "platform/base/Debug.h"
#include "platform/os/Sync.h"

#include <cstdlib>

namespace {

constexpr int kCameraFamily = DEVNO_REARCAMERA; // 70 ... 79
constexpr int kDeviceOn = 3;                    // a device's state: present and on

long Now()
{
    return static_cast<long>(GetTickCount());
}

} // namespace

// ---------------------------------------------------------------------------
// Device events

void ViewCenter::DeviceStateIsChanged(int device, int kind)
{
    const BOOL accOn = m_pCenter && m_pCenter->GetState(DEVNO_ACC) == kDeviceOn;
    if (device < kCameraFamily) {
        if (GetCommandGroup(device) == 0)
            return;
        if (m_pCenter)
            m_pCenter->TellAllModels(device, kind);
        return;
    }
    if (device < kCameraFamily + 10) {
        if (!accOn)
            return;
        if (kind == AEV_DEFAULT) {
            NKDbgPrintfW(
                u"[ViewCenter] DeviceStateIsChanged() : CAM-AEV_DEFAULT, dev=[%d], view=[%d], prev-view=[%d], at "
                u"[%ld]\r\n",
                device, device + FID_CAMERA_FROMDEVICE, m_fidCamera, Now());
            if (!m_pCenter || m_pCenter->GetFirstMounted(kCameraFamily) != device)
                return;
            if (m_fidCamera)
                DeactivateCamera(m_fidCamera);
            ActivateCamera(device + FID_CAMERA_FROMDEVICE);
        } else if (kind == AEV_DETACH) {
            NKDbgPrintfW(u"[ViewCenter] DeviceStateIsChanged() : CAM-AEV_DETACH, dev=[%d], at [%ld]\r\n", device,
                         Now());
            if (m_fidCamera == device + FID_CAMERA_FROMDEVICE)
                CheckCamera();
        }
        return;
    }
    if (device == DEVNO_ACC) {
        switch (kind) {
        case AEV_DEFAULT:
            NKDbgPrintfW(u"[DeviceStateIsChanged] devACC  AEV_DEFAULT  \n\r");
            if (!IsIntroShowing())
                ToAccOn();
            if (m_pCenter)
                m_pCenter->AudioOn();
            break;
        case AEV_BEGIN:
            NKDbgPrintfW(u"[DeviceStateIsChanged] devACC  AEV_BEGIN  \n\r");
            OnAccBegin();
            if (m_pCenter)
                m_pCenter->AudioOn();
            break;
        case AEV_COMPLETE:
            NKDbgPrintfW(u"[DeviceStateIsChanged] devACC  AEV_COMPLETE  \n\r");
            if (m_pCenter)
                m_pCenter->AudioOff();
            OnAccComplete();
            break;
        case AEV_DETACH:
            NKDbgPrintfW(u"[DeviceStateIsChanged] devACC  AEV_DETACH  \n\r");
            if (m_pCenter)
                m_pCenter->AudioOff();
            ToAccOff();
            break;
        default:
            break;
        }
        return;
    }
    if (device == DEVNO_PARK && (kind == AEV_DEFAULT || kind == AEV_DETACH))
        PushGlobalAction(ACMD_PARKBRAKE, AEV_DEFAULT, kind == AEV_DEFAULT ? 1 : 0);
}

// ---------------------------------------------------------------------------
// ACC, intro and power key

void ViewCenter::ToAccOn()
{
    NKDbgPrintfW(u"[ViewCenter] ToAccOn() : mode=[%d], init=[%d], navi=[%d], at [%ld]\r\n", m_nMode, m_nInitMode,
                 m_nNaviMode, Now());
    if (m_bStopping) {
        // ACC came back after an ACC-off stop. The platform shell may not
        // have powered the unit off (the key turned back in time, or the
        // power-off event could not be set): the unit starts again instead
        // of staying black.
        NKDbgPrintfW(u"[ViewCenter] ToAccOn() : start again after ACC off, closed=[%d], power-off=[%d], at [%ld]\r\n",
                     m_bNaviClosed, m_bPowerOffSet, Now());
        StopTimer(&m_nCloseWait);
        StopTimer(&m_nPowerOffRetry);
        m_bStopping = FALSE;
        m_bStopDone = FALSE;
        m_bNaviClosed = FALSE;
        m_bPowerOffSet = FALSE;
        if (m_pNaviModel)
            DropNaviModel(); // asked to close; a new one is launched below
        if (m_nNaviMode != NAVI_NONE)
            m_nNaviMode = NAVI_STARTABLE;
        if (m_fidNavi < 0)
            m_fidNavi = 0;
    }
    CheckCamera();
    if (m_nDaemons > 0) {
        NKDbgPrintfW(u"[ViewCenter] ToAccOn() : ignore since all the Daemon is not launched, remained deamon=[%d], at "
                     u"[%ld]\r\n",
                     m_nDaemons, Now());
        if (m_nInitMode == 1 && m_fidCamera == 0 && m_bSecondGate) {
            if (m_pCenter)
                m_pCenter->SetRequestA(TRUE);
            if (m_nMode != VCMODE_POWEROFF)
                RaiseOutputGate();
        }
        return;
    }
    if (!m_bIntroStarted) {
        if (RunIntro())
            return;
        // Without an intro screen the unit starts at once.
        m_bIntroStarted = TRUE;
        EndIntro();
        return;
    }
    if (!m_bIntroEnded)
        return; // EndIntro does the start
    if (m_fNaviAtFirst && m_nNaviMode == NAVI_STARTABLE) {
        PrepareNaviAtFirst();
        return;
    }
    NKDbgPrintfW(u"[ViewCenter] ToAccOn() : call StartToRun(), wait-key=[%d], at [%ld]\r\n", m_fidWaitKey, Now());
    StartToRun(m_fidWaitKey);
    m_fidWaitKey = 0;
    if (!m_fNaviAtFirst)
        LaunchNaviSafe();
}

int ViewCenter::RunIntro()
{
    IxKernelFrame* frame = GetKernelFrame();
    if (!frame || !IsScreen(FID_INTRO))
        return 0;
    NKDbgPrintfW(u"[ViewCenter] RunIntro : run, at [%ld]\r\n", Now());
    m_bIntroStarted = TRUE;
    frame->SetActivePageById(FID_INTRO, 0, 0);
    // The intro waits hidden; showing it starts its sound and letters.
    if (IxElement* intro = frame->GetActivePage(); intro && intro->GetId() == FID_INTRO)
        intro->Show(TRUE, TRUE);
    LowerSecondGate();
    if (!(m_nMode == VCMODE_POWEROFF || (m_nMode < 5 && m_nInitMode == 0)))
        RaiseOutputGate();
    return 1;
}

BOOL ViewCenter::IsIntroShowing() const
{
    return m_nMode > 3 && GetActiveView() == FID_INTRO;
}

void ViewCenter::EndIntro()
{
    if (!m_bNotLoadNavi && m_fNaviAtFirst && m_nNaviMode == NAVI_STARTABLE) {
        NKDbgPrintfW(u" [IxKernelAppPlayer] EndIntro() PrepareNaviAtFirst \r\n");
        PrepareNaviAtFirst();
        return;
    }
    NKDbgPrintfW(u"[ViewCenter] EndIntro() : call StartToRun(), wait-key=[%d], at [%ld]\r\n", m_fidWaitKey, Now());
    if (IxKernelFrame* frame = GetKernelFrame())
        frame->SetActivePage(nullptr, 0, 0);
    StartToRun(m_fidWaitKey);
    m_fidWaitKey = 0;
    // The first screen runs: the main window takes the micom's and the
    // remote's keys from now on.
    GetUnitLink().m_nInitComplete = 1;
    if (!m_fNaviAtFirst)
        LaunchNaviSafe();
    m_bIntroEnded = TRUE;
}

void ViewCenter::ToAccOff()
{
    NKDbgPrintfW(u"[ViewCenter] ToAccOff() : mode=[%d], init=[%d], navi=[%d], at [%ld]\r\n", m_nMode, m_nInitMode,
                 m_nNaviMode, Now());
    NKDbgPrintfW(u"[ViewCenter] ToAccOff() : call StopFromRun(), at [%ld]\r\n", Now());
    StopFromRun(VCMODE_STOPPED);
}

void ViewCenter::ToPowerOff()
{
    if (m_bColorKeyCover) {
        RemoveColorKeyCover();
        return;
    }
    if (IsIntroShowing()) {
        NKDbgPrintfW(u"[ViewCenter] ToPowerOff() : InitWait \r\n");
        m_nInitMode = 0;
        LowerOutputGate();
        RequestSave(2);
        return;
    }
    if (m_fNaviAtFirst && m_nMode == VCMODE_NULLNAVI) {
        NKDbgPrintfW(u"[ViewCenter] ToPowerOff() : NaviLaunchingAtFirst \r\n");
        m_nInitMode = 0;
        LowerOutputGate();
        RequestSave(2);
        if (m_pCenter)
            m_pCenter->SetExternalMute(TRUE);
        if (m_pOSD)
            m_pOSD->Disable();
        if (m_pCenter)
            m_pCenter->StopSources();
        Broadcast(ACMD_APPCLEANUP, 1);
        return;
    }
    StopFromRun(VCMODE_POWEROFF);
}

void ViewCenter::StopFromRun(int mode)
{
    NKDbgPrintfW(u"=> StopFromRun(Mode=[%d]) : mode=[%d], navi-mode=[%d], init-mode=[%d], permanent=[%d], active=[%d], "
                 u"osd=[%d], at [%ld]\r\n",
                 mode, m_nMode, m_nNaviMode, m_nInitMode, m_fidPermanent, GetActiveView(),
                 m_pOSD ? m_pOSD->GetOverlayPage() : -1, Now());
    IxKernelFrame* frame = GetKernelFrame();
    {
        CViewUpdate update(this);
        if (mode == VCMODE_POWEROFF) {
            if (m_fidCamera == 0)
                LowerOutputGate();
            if (m_pCenter)
                m_pCenter->SetExternalMute(TRUE);
            if (m_pOSD)
                m_pOSD->Disable();
            if (m_fidNavi != 0 && m_nNaviMode >= NAVI_LAUNCHED) {
                const int kept = m_fidNavi; // shown again at the next start
                HideNavi();
                m_fidNavi = kept;
            }
            if (frame)
                frame->SetActivePage(nullptr, 0, 0);
            m_nMode = VCMODE_POWEROFF;
            StopTimer(&m_nTimerA);
            Broadcast(ACMD_APPCLEANUP, 1);
        } else {
            m_bStopping = TRUE;
            m_bStopDone = FALSE;
            if (m_pCenter) {
                m_pCenter->SetExternalMute(TRUE);
                m_pCenter->SetSecondVolume(ZONE_SECOND, 0, FALSE);
            }
            if (m_nMode == VCMODE_POWEROFF)
                m_nInitMode = 0;
            else if (m_nMode == VCMODE_RUN)
                m_nInitMode = 1;
            if (m_pOSD) {
                m_pOSD->Disable();
                CloseOsdLayer();
            }
            if (frame) {
                frame->SetActivePage(nullptr, 0, 0);
                if (m_fidCamera)
                    frame->PopLayer(m_fidCamera);
            }
            m_fidCamera = 0;
            if (m_nNaviMode < NAVI_LAUNCHING || !m_pNaviModel) {
                m_bNaviClosed = TRUE;
                Sleep(1000);
            } else {
                // The program is asked to end; its end completes the stop.
                // A program that never ends does not keep the unit up: the
                // wait below ends the stop without it.
                m_bNaviClosed = FALSE;
                m_pNaviModel->Stop(TRUE);
                StartTimer(&m_nCloseWait);
            }
            LowerOutputGate();
            LowerSecondGate();
            m_nActivity = -1;
            m_fidNavi = -1;
            m_nMode = VCMODE_STOPPED;
            Broadcast(ACMD_APPCLEANUP, 0);
            StopTimer(&m_nTimerA);
            m_bStopDone = TRUE;
        }
        if (m_pCenter)
            m_pCenter->StopSources();
    }
    if (m_nMode == VCMODE_STOPPED && m_bNaviClosed && m_bStopDone) {
        NKDbgPrintfW(u"[IxKernelAppPlayer] StopFromRun() EventAppTerminate \n\r ");
        RequestPowerOff();
    } else {
        NKDbgPrintfW(u"[IxKernelAppPlayer] StopFromRun() EventAppTerminate Fail %d %d  \n\r ", m_bNaviClosed,
                     m_bStopDone, m_nMode);
    }
    NKDbgPrintfW(u"[ViewCenter] <= StopFromRun() : mode=[%d], navi-mode=[%d], init-mode=[%d], permanent=[%d], "
                 u"active=[%d], osd=[%d], at [%ld]\r\n",
                 m_nMode, m_nNaviMode, m_nInitMode, m_fidPermanent, GetActiveView(),
                 m_pOSD ? m_pOSD->GetOverlayPage() : -1, Now());
}

void ViewCenter::NaviCloseIsOverdue()
{
    StopTimer(&m_nCloseWait);
    if (!m_bStopping || m_bNaviClosed)
        return;
    NKDbgPrintfW(u"[ViewCenter] NaviCloseIsOverdue() : the navigation program did not end within [%d] ms, at [%ld]\r\n",
                 m_nCloseWait, Now());
    m_bNaviClosed = TRUE;
    if (m_bStopDone && m_nMode == VCMODE_STOPPED)
        RequestPowerOff();
}

void ViewCenter::RequestPowerOff()
{
    StopTimer(&m_nPowerOffRetry);
    if (!m_bStopping)
        return;
    if (SetPowerOffEvent()) {
        m_bPowerOffSet = TRUE;
        return;
    }
    NKDbgPrintfW(u"[IxKernelAppPlayer] StopFromRun() EventAppTerminate create Fail  \n\r ");
    StartTimer(&m_nPowerOffRetry);
}

BOOL ViewCenter::SetPowerOffEvent()
{
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, u"SYSTEM_SHELL_POWER_OFF");
    if (!event)
        return FALSE;
    EventModify(event, EVENT_SET);
    CloseHandle(event);
    return TRUE;
}

void ViewCenter::PowerKeyWhileOff()
{
    if (m_bColorKeyCover) {
        RemoveColorKeyCover();
        return;
    }
    if (IsIntroShowing()) {
        m_nInitMode = 1;
        RaiseOutputGate();
        RequestSave(2);
        return;
    }
    if (m_fNaviAtFirst && m_nMode == VCMODE_NULLNAVI) {
        if (IxKernelFrame* frame = GetKernelFrame())
            frame->Control(IXSVC_REPAINTNOTICE, 0, 0);
        if (m_pCenter)
            m_pCenter->StartSources();
        if (!m_pOSD) {
            const int old = m_nActivity;
            m_nActivity = 0;
            RebuildOsdLayer();
            m_nActivity = old;
        }
        if (m_pOSD) {
            m_pOSD->SetEnabled(TRUE);
            if (!m_pOSD->IsNaviFirstHidden()) {
                m_pOSD->ShowOverlay(FALSE);
                m_pOSD->SetNaviFirstHidden(TRUE);
            }
        }
        SetOsdPage(VCAT_AV, ChooseOsdView(VCAT_AV));
        if (m_pCenter)
            m_pCenter->SetExternalMute(FALSE);
        m_nInitMode = 1;
        if (!m_bFirstWaitOn)
            RaiseOutputGate();
        RequestSave(2);
        Broadcast(ACMD_APPPREPARE, 1);
        return;
    }
    StartToRun(0);
}

// ---------------------------------------------------------------------------
// Cameras

void ViewCenter::ActivateCamera(int fid)
{
    NKDbgPrintfW(u"[ViewCenter] ActivateCamera() : fid=[%d]\r\n", fid);
    IxKernelFrame* frame = GetKernelFrame();
    if (!frame)
        return;
    if (frame->IsLayerShown(FID_VOLUME))
        frame->PopLayer(FID_VOLUME);
    IxElement* view = MakeCameraView(fid);
    if (!view)
        return;
    IxElementParams params;
    params.Clear();
    const RECT& rc = frame->GetRect();
    params.Set(rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, fid, 0);
    view->Create(&params);
    frame->GetKernel()->PushTopLayer(view, nullptr, 1);
    LowerSecondGate();
    m_fidCamera = fid;
}

void ViewCenter::DeactivateCamera(int fid)
{
    NKDbgPrintfW(u"[ViewCenter] DeactivateCamera() : fid=[%d]\r\n", fid);
    BOOL keep = FALSE;
    if (!m_bColorKeyCover && m_pCenter && m_pCenter->GetState(DEVNO_ACC) == kDeviceOn) {
        if (m_nMode < 2 && m_nInitMode == 1 && m_bSecondGate) {
            m_pCenter->SetRequestA(TRUE);
            keep = TRUE;
        } else if (m_nMode < 2 && m_nInitMode == 1 && GetActiveView() == FID_INTRO) {
            keep = TRUE;
        } else if (m_nMode != VCMODE_POWEROFF && (m_nMode > 4 || m_nInitMode == 1)) {
            keep = TRUE;
        }
    }
    if (!keep)
        LowerOutputGate();
    if (IxKernelFrame* frame = GetKernelFrame())
        frame->PopLayer(m_fidCamera ? m_fidCamera : fid);
    m_fidCamera = 0;
}

void ViewCenter::CheckCamera()
{
    const int device = m_pCenter ? m_pCenter->GetFirstMounted(kCameraFamily) : 0;
    if (!device) {
        if (m_fidCamera)
            DeactivateCamera(m_fidCamera);
        return;
    }
    const int view = device + FID_CAMERA_FROMDEVICE;
    if (view == m_fidCamera)
        return;
    if (m_fidCamera)
        DeactivateCamera(m_fidCamera);
    ActivateCamera(view);
}

// ---------------------------------------------------------------------------
// The navigation program's launch

void ViewCenter::LaunchNaviSafe()
{
    NKDbgPrintfW(u"[ViewCenter] LaunchNaviSafe() retry, elapse=[%u], count=[%d/%d], at [%ld]\r\n",
                 static_cast<unsigned>(m_nRetry), m_nRetryCount, m_nRetryLimit, Now());
    if (m_nNaviMode != NAVI_STARTABLE || m_pNaviModel)
        return;
    if (CNaviModelLink* model = LaunchNavi()) {
        BeginNaviLaunch(model);
        return;
    }
    if (m_nRetry <= 0 || m_nRetryLimit < 1) {
        NKDbgPrintfW(u"[ViewCenter] LaunchNaviSafe() : failed to lauch Navi, end, at [%ld]\r\n", Now());
        NaviIsFailed(0);
        return;
    }
    m_nRetryCount = 0;
    NKDbgPrintfW(u"[ViewCenter] LaunchNaviSafe() : failed to lauch Navi, retry, elapse=[%u], count=[%d/%d], at "
                 u"[%ld]\r\n",
                 static_cast<unsigned>(m_nRetry), m_nRetryCount, m_nRetryLimit, Now());
    StartTimer(&m_nRetry);
}

void ViewCenter::LaunchNaviRetry()
{
    if (m_nNaviMode != NAVI_STARTABLE || m_pNaviModel) {
        StopTimer(&m_nRetry);
        return;
    }
    if (CNaviModelLink* model = LaunchNavi()) {
        StopTimer(&m_nRetry);
        BeginNaviLaunch(model);
        return;
    }
    // The retry limit counts the tries after the first one.
    ++m_nRetryCount;
    if (m_nRetryCount < m_nRetryLimit) {
        NKDbgPrintfW(u"[ViewCenter] LaunchNaviRetry() : failed to lauch Navi, retry, elapse=[%u], count=[%d/%d], at "
                     u"[%ld]\r\n",
                     static_cast<unsigned>(m_nRetry), m_nRetryCount, m_nRetryLimit, Now());
        return;
    }
    NKDbgPrintfW(u"[ViewCenter] LaunchNaviRetry() : failed to lauch Navi, end, elapse=[%u], count=[%d/%d], at "
                 u"[%ld]\r\n",
                 static_cast<unsigned>(m_nRetry), m_nRetryCount, m_nRetryLimit, Now());
    StopTimer(&m_nRetry);
    NaviIsFailed(0);
}

void ViewCenter::BeginNaviLaunch(CNaviModelLink* model)
{
    model->AddRef();
    m_pNaviModel = model;
    if (IxKernel* kernel = IxGetKernel())
        kernel->Subscribe(model->GetModelId(), this);
    m_nNaviMode = NAVI_LAUNCHING;
    model->Launch();
    if (m_nWatchdog > 0)
        StartTimer(&m_nWatchdog);
}

void ViewCenter::DropNaviModel()
{
    CNaviModelLink* model = m_pNaviModel;
    if (!model)
        return;
    m_pNaviModel = nullptr;
    if (IxKernel* kernel = IxGetKernel())
        kernel->Unsubscribe(model->GetModelId(), this);
    model->Release();
}

void ViewCenter::NaviIsFailed(int code)
{
    NKDbgPrintfW(u"[ViewCenter] NaviIsFailed(%d) : mode=[%d], init-mode=[%d], navi-mode=[%d], at [%ld]\r\n", code,
                 m_nMode, m_nInitMode, m_nNaviMode, Now());
    StopTimer(&m_nRetry);
    StopTimer(&m_nWatchdog);
    StopTimer(&m_nFirstWait);
    m_bFirstWaitOn = FALSE;
    m_nNaviMode = NAVI_NONE;
    ClearNaviViews();
    if (m_pCenter && m_pCenter->GetState(DEVNO_ACC) == kDeviceOn) {
        SetActivity(0, 0, 0);
        if (m_nMode < 3) {
            m_nMode = VCMODE_NULL;
            StartToRun(0);
        }
        if (code == 0)
            m_nNaviMode = NAVI_STARTABLE;
    } else {
        NKDbgPrintfW(u"[ViewCenter] NaviIsFailed() : do nothing by ACC Off, at [%ld]\r\n", Now());
    }
}

void ViewCenter::RestartNavi(int code)
{
    StopTimer(&m_nWatchdog);
    NKDbgPrintfW(u"[ViewCenter] RestartNavi(%d) : the navigation program stopped unasked, navi-mode=[%d], "
                 u"restarts=[%d/%d], at [%ld]\r\n",
                 code, m_nNaviMode, m_nRestartCount, m_nRetryLimit, Now());
    if (m_pNaviModel) {
        m_pNaviModel->Stop(TRUE);
        DropNaviModel();
    }
    const BOOL shown = m_fidNavi > 0;
    ClearNaviViews();
    if (shown && m_nMode >= VCMODE_RUN)
        InitialMain(VCAT_NAVIENDED, 0);
    PushGlobalAction(IXA_FORCENOTICE, AEV_DETACH, DEVNO_103);
    if (!m_pCenter || m_pCenter->GetState(DEVNO_ACC) != kDeviceOn || m_nRestartCount >= m_nRetryLimit) {
        NaviIsFailed(code);
        return;
    }
    ++m_nRestartCount;
    m_nNaviMode = NAVI_STARTABLE;
    LaunchNaviSafe();
}

// ---------------------------------------------------------------------------
// Navigation first

void ViewCenter::PrepareNaviAtFirst()
{
    NKDbgPrintfW(u"[ViewCenter] PrepareNaviAtFirst() : at [%ld]\r\n", Now());
    if (!m_fNaviAtFirst || !(m_nMode == VCMODE_RUN || m_nNaviMode == NAVI_STARTABLE))
        return;
    IxKernelFrame* frame = GetKernelFrame();
    m_nFirstScreen = 0;
    if (m_nMode == VCMODE_RUN) {
        NKDbgPrintfW(u"[ViewCenter] PrepareNaviAtFirst() 1 : at [%ld]\r\n", Now());
        m_nFirstScreen = MakeFirstScreen();
        RepaintNow();
        if (!m_nFirstScreen) {
            if (m_fidCamera == 0)
                LowerOutputGate();
            if (frame)
                frame->SetActivePage(nullptr, 0, 0);
        }
    } else {
        NKDbgPrintfW(u"[ViewCenter] PrepareNaviAtFirst() 2 : at [%ld]\r\n", Now());
        if (m_pCenter)
            m_pCenter->StartSources();
    }
    if (frame)
        frame->Control(IXSVC_REPAINTNOTICE, 0, 0);
    if (!m_pOSD) {
        const int old = m_nActivity;
        m_nActivity = 0;
        RebuildOsdLayer();
        m_nActivity = old;
    }
    if (m_pOSD) {
        if (m_nMode != VCMODE_RUN)
            m_pOSD->SetEnabled(TRUE);
        if (!m_pOSD->IsNaviFirstHidden()) {
            m_pOSD->ShowOverlay(FALSE);
            m_pOSD->SetNaviFirstHidden(TRUE);
        }
    }
    SetOsdPage(VCAT_AV, ChooseOsdView(VCAT_AV));
    if (m_nMode == VCMODE_RUN) {
        RequestSave(0);
        RequestSave(1);
        if (!m_nFirstScreen)
            HideMainWindow();
    }
    LaunchNaviSafe();
    m_nMode = VCMODE_NULLNAVI;
    m_bNotLoadNavi = FALSE;
    RequestSave(0);
    if (m_nFirstWait == 0) {
        if (m_nInitMode == 1)
            RaiseOutputGate();
    } else if (m_nFirstWait > 0) {
        m_bFirstWaitOn = TRUE;
        StartTimer(&m_nFirstWait);
    }
}

void ViewCenter::FirstWaitIsOver()
{
    StopTimer(&m_nFirstWait);
    m_bFirstWaitOn = FALSE;
    if (!m_pCenter || m_pCenter->GetState(DEVNO_ACC) != kDeviceOn)
        return;
    if (IxKernelFrame* frame = GetKernelFrame())
        frame->SetActivePage(nullptr, 0, 0);
    LowerSecondGate();
    if (m_nMode > 5 || m_nInitMode == 1 || m_fidCamera != 0) {
        if (!m_nFirstScreen)
            RaiseOutputGate();
        else
            HideMainWindow();
    }
}

// ---------------------------------------------------------------------------
// The program's reports

void ViewCenter::NaviIsPrepared()
{
    NKDbgPrintfW(u"[ViewCenter] NaviIsPrepared()  at [%ld]\r\n", Now());
    if (!m_fNaviAtFirst)
        return;
    NKDbgPrintfW(u"[ViewCenter] NaviIsPrepared() m_fNaviAtFirst  at [%ld]\r\n", Now());
    if (IxKernelFrame* frame = GetKernelFrame())
        frame->SetActivePage(nullptr, 0, 0);
    if (m_nMode == VCMODE_NULLNAVI && m_nFirstWait < 0 && m_nInitMode == 1) {
        if (m_nFirstScreen)
            HideMainWindow();
        else
            RaiseOutputGate();
    }
}

void ViewCenter::NaviIsLaunched()
{
    NKDbgPrintfW(u"[ViewCenter] NaviIsLaunched() : mode=[%d], init=[%d], navi=[%d], at [%ld]\r\n", m_nMode, m_nInitMode,
                 m_nNaviMode, Now());
    m_nNaviMode = NAVI_LAUNCHED;
    StopTimer(&m_nRetry);
    StopTimer(&m_nWatchdog);
    m_nRestartCount = 0;
    if (m_fNaviAtFirst && m_nMode == VCMODE_NULLNAVI) {
        if (m_bFirstWaitOn || m_nFirstWait < 0) {
            StopTimer(&m_nFirstWait);
            m_bFirstWaitOn = FALSE;
            if (!(m_nMode == VCMODE_POWEROFF || m_nInitMode == 0))
                RaiseOutputGate();
        }
        NKDbgPrintfW(u"[ViewCenter] NaviIsLaunched() : do nothing by Navi At First, at [%ld]\r\n", Now());
        return;
    }
    if (!m_pCenter || m_pCenter->GetState(DEVNO_ACC) != kDeviceOn) {
        NKDbgPrintfW(u"[ViewCenter] NaviIsLaunched() : do nothing by ACC Off, at [%ld]\r\n", Now());
        return;
    }
    m_nNaviMode = NAVI_READY;
    PushGlobalAction(IXA_FORCENOTICE, AEV_DEFAULT, DEVNO_103);
    if (m_nMode < 3) {
        const int magnitude = std::abs(m_fidNavi);
        m_fidNavi = 0;
        RunNavi(VCAT_START, magnitude, IsAvOff() ? FID_AVOFF : 0);
    }
}

void ViewCenter::NaviIsInitial()
{
    NKDbgPrintfW(u"[ViewCenter] NaviIsInitial() : call StartToRun(), wait-key=[%d], at [%ld]\r\n", m_fidWaitKey, Now());
    m_nNaviMode = NAVI_READY;
    PushGlobalAction(IXA_FORCENOTICE, AEV_DEFAULT, DEVNO_103);
    if (!(m_fNaviAtFirst && m_nMode == VCMODE_NULLNAVI))
        return;
    m_nMode = VCMODE_NULL;
    if (!m_pCenter || m_pCenter->GetState(DEVNO_ACC) != kDeviceOn) {
        NKDbgPrintfW(u"[ViewCenter] NaviIsInitial() : do nothing by ACC Off, at [%ld]\r\n", Now());
        return;
    }
    m_bNaviInitial = TRUE;
    if (m_pOSD)
        m_pOSD->SetNaviFirstHidden(FALSE);
    StartToRun(m_fidWaitKey);
    m_bNaviInitial = FALSE;
    m_fidWaitKey = 0;
}

void ViewCenter::NaviIsTerminated()
{
    NKDbgPrintfW(u"[IxKernelAppPlayer] NaviIsTerminated() Mode:%d  NaviMode:%d  NaviModel:0x%x  fidNavi:%d  \n\r ",
                 m_nMode, m_nNaviMode, static_cast<unsigned>(reinterpret_cast<UINT_PTR>(m_pNaviModel)), m_fidNavi);
    if (m_bStopping && m_bStopDone) {
        StopTimer(&m_nCloseWait);
        if (m_bNaviClosed)
            return; // the wait ran out before: the power-off was asked for already
        Sleep(500);
        NKDbgPrintfW(u"[IxKernelAppPlayer] NaviIsTerminated() EventAppTerminate APPClose : %d \n\r ", m_bNaviClosed);
        m_bNaviClosed = TRUE;
        RequestPowerOff();
        return;
    }
    if (m_nNaviMode != NAVI_DESTROY) {
        NKDbgPrintfW(u"[IxKernelAppPlayer] NaviIsTerminated() NaviMode is Not naviDestroy \n\r ");
        // Not asked to close: the program died. It is started again.
        if (m_pNaviModel && m_nNaviMode >= NAVI_LAUNCHING)
            RestartNavi(1);
        return;
    }
    if (m_nMode == VCMODE_POWEROFF)
        return;
    if (!m_pNaviModel) {
        NKDbgPrintfW(u"[IxKernelAppPlayer] NaviIsTerminated() NaviModel is NULL \n\r ");
        return;
    }
    if (m_fidNavi > 0) {
        m_fidPermanent = 0;
        InitialMain(VCAT_NAVIENDED, 0);
        m_nMode = VCMODE_RUN;
    }
    if (m_pOSD) {
        m_pOSD->ShowOverlay(FALSE);
        m_pOSD->SetNaviFirstHidden(FALSE);
    }
    StopTimer(&m_nRetry);
    StopTimer(&m_nWatchdog);
    StopTimer(&m_nFirstWait);
    m_bFirstWaitOn = FALSE;
    ClearNaviViews();
    m_bNotLoadNavi = TRUE;
    RequestSave(0);
    m_pNaviModel->Stop(FALSE);
    DropNaviModel();
    m_nNaviMode = NAVI_STARTABLE;
    PushGlobalAction(IXA_FORCENOTICE, AEV_DETACH, DEVNO_103);
}
