// ViewCenter: the one object of Wren that decides which screen runs. The
// kernel frame holds it as its hook; it listens to the view, mode, mute and
// volume actions with a fixed filter, subscribes to the device events, and
// keeps the top-level mode, the navigation program's state and layout, the
// permanent view, a short history of screens (kept in the micom's status
// block, so it survives a restart) and the on-screen-display layer over the
// navigation map.
//
// It switches screens: a screen of Wren full screen (RunMain), the
// navigation map with a view in the OSD layer (RunNavi), the choice between
// them (InvokeView), the requests of screens and keys, the navigation
// layout, AV off and on, and the MODE key's cycle through the sources.
//
// It follows the ignition (ACC), the power key, the intro and the cameras,
// tells the platform shell when to power the unit off, and runs the
// navigation program's life cycle: launch with retries, a watchdog, the
// program's reports and its end (ViewCenterPower.cpp).
//
// The kernel application object derives from it and fills the factories and
// the settings slots. User-interface thread only.
#pragma once

#include "Lib_cpp/core/Containers.h"
#include "Lib_cpp/frame/KernelFrame.h"
#include "Source/models/ModelCodes.h"
#include "platform/base/Types.h"

class IxModelCenter;
class CNaviModelLink;
class COverlayLayer;

// Top-level modes. 3 and 5 are never stored; tests use the ranges.
enum : int {
    VCMODE_NULL = 0,     // created, nothing has run
    VCMODE_STOPPED = 1,  // stopped by ACC off
    VCMODE_NULLNAVI = 2, // navigation-first: the map comes before any screen
    VCMODE_POWEROFF = 4, // screen and sources off
    VCMODE_RUN = 6,      // running
};

// States of the navigation program (navi-mode).
enum : int {
    NAVI_NONE = 0,
    NAVI_DESTROY = 1,   // closing
    NAVI_STARTABLE = 3, // not running, may be launched
    NAVI_LAUNCHING = 4,
    NAVI_LAUNCHED = 5,
    NAVI_READY = 6, // initialised and usable
};

// The at values of a screen change.
enum : int {
    VCAT_START = 1,
    VCAT_ATTACH = 2,
    VCAT_NAVIENDED = 3,
    VCAT_BACK = 4,
    VCAT_AV = 5,
};

// Option bits.
enum : DWORD {
    VCOPT_PERMANENTRUN = 0x1,     // view actions run through the permanent-view-aware path
    VCOPT_ACTIVITYONCLEAR = 0x10, // clearing the permanent view re-applies the layout
    VCOPT_MODESKIPSMENU = 0x1000, // the MODE cycle skips menu views
};

// How the OSD was last set (m_OSD).
enum : int {
    VCOSD_MAIN = 0,
    VCOSD_NAVIASKED = 2,
    VCOSD_NAVIASKEDPAGE = 3,
    VCOSD_BESIDEPERMANENT = 5,
    VCOSD_NAVISHOWN = 6,
};

// How many view ids the micom's status block keeps of the history (at
// B0_VIEWHISTORY: 32-bit little-endian, oldest first, ended by 0 when
// fewer).
inline constexpr int kHistoryBlockSlots = 5;

class ViewCenter : public IxKernelAppPlayer {
public:
    ViewCenter(int defaultMainView, int historyCapacity);
    ~ViewCenter() override;
    ViewCenter(const ViewCenter&) = delete;
    ViewCenter& operator=(const ViewCenter&) = delete;

    // The one instance (null before it exists).
    static ViewCenter* GetInstance();

    // ---- The kernel's entries ----
    // Attach, detach and the own timers.
    LRESULT OnEvent(int code, LPARAM param) override;
    // The dispatcher; 1 = taken.
    int ActionIsInvoked(int code, int kind, LPARAM param) override;
    // The start-up hook: shell mute on, the daemons counted; none → action 23.
    void OnFrameStarted() override;

    // The fixed filter: every code the dispatcher or the kernel application
    // object handles that reaches neither by the object's own filter nor by
    // a subscription (see ViewCenter.cpp); zero-ended rows.
    static const DWORD* FixedFilter();
    static BOOL IsInFixedFilter(int code);
    // Listened codes beside the fixed filter; a code the fixed filter or the
    // list already holds is not added again (it would be heard twice).
    BOOL AddListenedCode(int code);
    // A hidden windowless control with the id, added to the frame, whose id
    // is listened to.
    BOOL AddListenedControl(int id);

    // ---- Screen switching ----
    void StartToRun(int fid);
    void InitialMain(int at, int fid);
    void RunMain(int at, int fidMain, int fidSel);
    void RunNavi(int at, int fidNavi, int fidOSD);
    void InvokeView(int fid, int fidSel, int at);
    virtual int ViewIsExeced(int fid);
    virtual int ViewKeyIsInvoked(int fid);
    virtual void ViewIsBack(int when, int fidFrom);
    virtual void ToMainView(int fid);
    virtual void ToNaviView(int fid);
    virtual void AvOff();
    virtual void AvOn();
    virtual void ModeCycle();
    virtual int RunPermanentAware(int fid);

    // ---- History ----
    // Slot 31: appends unless it is the newest; the group's last view.
    virtual void RecordView(int fid);
    // Action 312: removes fid when it is the newest entry.
    virtual void DropView(int fid);
    int FindLastView(int kind, BOOL noMenu) const;
    int FindLastSourceView(int kind, BOOL noMenu) const;
    // The newest media play view accepted for the kind whose device is
    // present and that the filter list does not hold; 0 when none.
    int FindLastMediaView(int kind, const IxArray<int>* filter) const;
    BOOL IsAvOff() const;
    int GetHistoryCount() const { return m_nHistoryCount; }
    // Newest first: index 0 is the newest entry; 0 past the end.
    int GetHistoryEntry(int newestIndex) const;
    int GetGroupLastView(int group) const;

    // ---- The update bracket ----
    void BeginUpdate();
    void EndUpdate();
    // A save of the last status: 0 everything (deferred inside a bracket),
    // 1 the history, 2 the init-mode.
    void RequestSave(int when);

    // ---- State ----
    int GetMode() const { return m_nMode; }
    int GetInitMode() const { return m_nInitMode; }
    int GetNaviMode() const { return m_nNaviMode; }
    int GetFidNavi() const { return m_fidNavi; }
    int GetPermanent() const { return m_fidPermanent; }
    int GetActivity() const { return m_nActivity; }
    int GetWaitKey() const { return m_fidWaitKey; }
    int GetCameraView() const { return m_fidCamera; }
    BOOL IsColorKeyCoverUp() const { return m_bColorKeyCover; }
    DWORD GetOptions() const { return m_dwOptions; }
    void SetOptions(DWORD options) { m_dwOptions = options; }
    COverlayLayer* GetOsdLayer() const { return m_pOSD; }
    CNaviModelLink* GetNaviModel() const { return m_pNaviModel; }
    IxModelCenter* GetModelCenter() const { return m_pCenter; }
    int GetNaviState() const;
    // The frame's active page id, 0 when none.
    int GetActiveView() const;
    // The frame has a page with the id.
    BOOL IsScreen(int fid) const;

    // ---- The view slots of the view groups ----
    virtual int ResolveView(int view, int* selection, BOOL noMenu);
    virtual BOOL IsViewDevicePresent(int view);
    virtual void ExclusiveRefused(int, int) {}
    virtual int GetDefaultView(int kind, int group);
    virtual int GetSwitchView(int, int) { return 0; }
    virtual BOOL IsMediaPlayView(int view);
    virtual BOOL IsMenuView(int view);
    virtual BOOL MayBecomePermanent(int) { return FALSE; }
    virtual BOOL IsHistoryView(int view, int kind);
    virtual BOOL IsViewInGroup(int view, int group);
    virtual int GetViewGroup(int view);
    virtual void GetExclusiveViews(int, IxArray<int>*) {}
    // The views a key names: the view itself unless a subclass widens it.
    virtual void GetKeyCandidates(int fid, IxArray<int>* out) { out->Add(fid); }
    virtual void GetKeyCycle(int, IxArray<int>*) {}
    virtual int GetNextSourceView(int view);
    virtual int GetMainView(int view);
    virtual int GetCommandGroup(int device);
    virtual int GetCommandBase(int groupOrView);

    // ---- Slots the application object fills ----
    virtual void OnAccBegin() {}
    virtual void OnAccComplete() {}
    virtual void ReleaseLayerView(IxElement* view);
    virtual void ShowColorKeyPage(BOOL on);
    // Slot 36: asks the navigation program to show fid.
    virtual void ShowNavi(int fid);
    // Slot 34: the program confirmed that the map shows.
    virtual void NaviIsShown();
    virtual int CloseOsdLayer();
    virtual void LoadRegistryValues() {}
    virtual void SaveRegistryValues() {}
    // Slot 41: the history from the micom's status block.
    virtual void LoadLastStatus();
    // Slot 42: 0 and 1 write the history into the status block and send it.
    virtual void SaveLastStatus(int when);
    // Writes the history into the micom's status block; whether it changed.
    BOOL StoreHistory();
    virtual void CloseVolumePopup(int value);
    virtual int SetActivity(int activity, int where, int fid);
    virtual void RebuildOsdLayer();
    virtual int CountDaemons() { return 0; }
    virtual CNaviModelLink* LaunchNavi() { return nullptr; }
    virtual void OtherDeviceEvent(int, int) {}
    virtual COverlayLayer* MakeOsdLayer(int) { return nullptr; }
    virtual IxElement* MakeVolumePopup(int) { return nullptr; }
    virtual IxElement* MakeCameraView(int) { return nullptr; }
    virtual IxElement* MakeColorKeyCover() { return nullptr; }
    virtual IxElement* MakeTimerALayer() { return nullptr; }
    virtual int MakeFirstScreen() { return 0; }
    // Slot 76: the power key and the AV / navigation key.
    virtual int ExtKeyIsInvoked(int code, int kind);

    // ---- The power, ACC, camera and navigation life cycle ----
    // Slot 48: a device event (ACC, cameras, park brake, storage families).
    virtual void DeviceStateIsChanged(int device, int kind);
    // Slot 30: the intro ended; the first start.
    virtual void EndIntro();
    // Slot 37: the camera view goes; the screen under it shows again.
    virtual void DeactivateCamera(int fid);
    // Slot 35: 0 the launch failed, 1 the watchdog or the card pulled.
    virtual void NaviIsFailed(int code);
    virtual void ToAccOn();
    virtual void ToAccOff();
    virtual void ToPowerOff();
    // Mode 4: the unit blanks (the navigation keeps running); mode 1: ACC
    // off, everything stops and the unit powers off.
    void StopFromRun(int mode);
    // The power key while not running.
    virtual void PowerKeyWhileOff();
    // 1 when the intro started.
    int RunIntro();
    BOOL IsIntroShowing() const;
    void ActivateCamera(int fid);
    // The first mounted camera decides which camera view is up.
    void CheckCamera();
    virtual void NaviIsInitial();
    virtual void NaviIsPrepared();
    virtual void NaviIsLaunched();
    virtual void NaviIsTerminated();
    virtual void LaunchNaviSafe();
    virtual void LaunchNaviRetry();
    virtual void PrepareNaviAtFirst();
    virtual void FirstWaitIsOver();
    // The navigation program did not end within the wait after the close
    // request of an ACC-off stop: the unit powers off without it.
    void NaviCloseIsOverdue();
    // Tells the platform shell to power the unit off; until the named event
    // can be set, it is tried again every second.
    void RequestPowerOff();
    BOOL IsStopping() const { return m_bStopping; }
    BOOL IsPowerOffRequested() const { return m_bPowerOffSet; }
    int GetRetryCount() const { return m_nRetryCount; }
    void SetNaviTimers(int retryMs, int retryLimit, int watchdogMs, int firstWaitMs)
    {
        m_nRetry = retryMs;
        m_nRetryLimit = retryLimit;
        m_nWatchdog = watchdogMs;
        m_nFirstWait = firstWaitMs;
    }
    virtual void NaviIsClosed();
    virtual void DaemonIsLaunched();
    virtual void ShowColorKeyCover();
    virtual void RemoveColorKeyCover();
    // Hides the navigation map: a shown map gives the main window back.
    void HideNavi();

    // ---- The model center's output gates ----
    void RaiseOutputGate();
    void LowerOutputGate();
    // Only while the second-gate flag is set.
    void LowerSecondGate();

    // ---- The main window's placement over the navigation map ----
    virtual void FitMainWindowToOsd();
    virtual void HideMainWindow();
    virtual void RestoreMainWindow();
    virtual void RaiseMainWindow();

protected:
    // The OSD layer's page for the at (recorded when not 0).
    void SetOsdPage(int at, int view);
    // The view for the OSD: 3054 with AV off, else the newest media view,
    // else the default view for AV.
    int ChooseOsdView(int at) const;
    // The AV-on step of InvokeView: an application switch begins.
    void PrepareAv();
    void RepaintNow();
    BOOL InRunModes() const { return m_nMode >= VCMODE_RUN || (m_nMode == VCMODE_NULLNAVI && m_fNaviAtFirst); }
    void Broadcast(int code, LPARAM value);
    void StartTimer(int* member);
    void StopTimer(int* member);
    void ClearNaviViews();
    void ClearPermanent();
    // Sets "SYSTEM_SHELL_POWER_OFF" (created when missing); 0 when the
    // event cannot be created.
    virtual BOOL SetPowerOffEvent();
    // Lets go of the navigation model (unsubscribed and released).
    void DropNaviModel();
    // Starts the held model after a successful launch.
    void BeginNaviLaunch(CNaviModelLink* model);
    // The program ended or stopped reporting without being asked to close:
    // it is started again while retries remain.
    void RestartNavi(int code);

    // Members (the at-construction values are the original's).
    int m_nActivity = -1;
    int m_nMode = VCMODE_NULL;
    int m_nInitMode = 1;
    int m_nNaviMode = NAVI_NONE;
    int m_fidNavi = 0;
    int m_fidPermanent = 0;
    BOOL m_bSecondGate = TRUE;
    BOOL m_bIntroStarted = FALSE;
    BOOL m_bIntroEnded = FALSE;
    BOOL m_bColorKeyCover = FALSE;
    int m_nTimerA = 0; // the member's address is the timer's id
    int m_nUpdateDepth = 0;
    BOOL m_bSavePending = FALSE;
    int m_nSavedInitMode = 1;
    DWORD m_dwOptions = 0;
    int m_nDaemons = -1;
    BOOL m_bNaviInitial = FALSE;
    int m_fidWaitKey = 0;
    int* m_pHistory = nullptr;
    int m_nHistoryCapacity;
    int m_nHistoryCount = 0;
    int m_nHistoryOldest = 0;
    int m_nHistoryNext = 0;
    int m_groupLastView[7] = {};
    int m_fidDefaultMain;
    COverlayLayer* m_pOSD = nullptr;
    BOOL m_bShowPending = FALSE;
    int m_nSuppress = 0;
    CNaviModelLink* m_pNaviModel = nullptr;
    BOOL m_bNotLoadNavi = FALSE;
    BOOL m_fNaviAtFirst = FALSE;
    int m_nFirstScreen = 0;
    int m_nFirstWait = 0;
    int m_nRetry = 1000;
    int m_nRetryLimit = 3;
    int m_nRetryCount = 0;
    int m_nWatchdog = 0;
    int m_atOSD = 0;
    int m_fidOSD = 0;
    int m_OSD = VCOSD_MAIN;
    int m_fidCamera = 0;
    // The ACC-off stop: stopping (from the stop until an ACC on), its work
    // done, the navigation program gone, the power-off event set.
    BOOL m_bStopping = FALSE;
    BOOL m_bStopDone = FALSE;
    BOOL m_bNaviClosed = FALSE;
    BOOL m_bPowerOffSet = FALSE;
    int m_nCloseWait = 2000;     // the wait for the program's end after the close request
    int m_nPowerOffRetry = 1000; // the next try to set the power-off event
    BOOL m_bFirstWaitOn = FALSE;
    int m_nRestartCount = 0;      // restarts of a program that stopped unasked
    IxArray<DWORD> m_listened{8}; // zero-ended while registered
    BOOL m_bListenedRegistered = FALSE;
    BOOL m_bListening = FALSE;
    IxModelCenter* m_pCenter = nullptr;
};

// Holds one level of ViewCenter's update bracket for a scope.
class CViewUpdate {
public:
    explicit CViewUpdate(ViewCenter* center) : m_center(center) { m_center->BeginUpdate(); }
    ~CViewUpdate() { m_center->EndUpdate(); }
    CViewUpdate(const CViewUpdate&) = delete;
    CViewUpdate& operator=(const CViewUpdate&) = delete;

private:
    ViewCenter* m_center;
};

// ---- What screens ask of ViewCenter (0 without one) ----
int GetLastView(BOOL noMenu);
int GetLastSourceView(BOOL noMenu);
int GetNaviState();
BOOL IsColorKeyCoverUp();
// Mode 4, or below 5 with init-mode 0.
BOOL IsPoweredOff();
BOOL IsCameraUp();
// 1 unless the newest history entry is the AV-off mark.
BOOL IsAvOn();
// Forwarders for the application object.
BOOL IsAccOn();
int ViewCenterDeviceState(int device);
int ViewCenterAliasState(int device);
void ViewCenterLowerSecondGate();
void ViewCenterRaiseOutputGate();
