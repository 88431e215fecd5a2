// CKernelObj: Wren's application core, the one instance of ViewCenter's
// only subclass. The kernel frame holds it as its hook. It owns the model
// center (created with it, destroyed with it), listens to the shell's
// screen, popup, tilt, navigation and voice commands with its own filter,
// subscribes to the system events 21 and 22, runs its own element timers
// (screen saver, tilt, navigation and voice close, alive and ACC checks),
// maps hardware keys to the on-screen buttons they show pressed and takes
// the power, screen-off, mode-popup and tilt-open keys.
//
// User-interface thread only.
#pragma once

#include "Lib_cpp/core/DeviceHandle.h"
#include "Lib_cpp/core/String.h"
#include "Source/models/ModelCenter.h"
#include "Source/shell/ShellIds.h"
#include "Source/shell/ViewCenter.h"
#include "platform/base/Types.h"

class CNaviModelAdapter;
class LumoBridge;

class CKernelObj : public ViewCenter {
public:
    // Rows of the listener filter ({code, kind}; kind 0 any kind).
    static constexpr int kFilterRows = 67;

    // Default last main view FM radio, a history of 5; the model center is
    // created here.
    CKernelObj();
    ~CKernelObj() override;
    CKernelObj(const CKernelObj&) = delete;
    CKernelObj& operator=(const CKernelObj&) = delete;

    // The one instance (null before it exists).
    static CKernelObj* GetInstance();
    // The listener filter, zero-ended (kFilterRows rows).
    static const DWORD* ListenerFilter();

    // ---- The kernel's entries ----
    LRESULT OnEvent(int code, LPARAM param) override;
    // Creation, destruction, view activation and the timers; ViewCenter's
    // event handler is called last with the same arguments.
    LRESULT MessageIsInvoked(int code, LPARAM param);
    int ActionIsInvoked(int code, int kind, LPARAM param) override;
    // The kernel's external-key path: which button to show pressed.
    int KeyToButton(int buttonKey, BOOL press) override;
    // The on-screen button a hardware key shows pressed; 0 for none.
    int MapKeyToButton(int key);
    // The power, screen-off, mode-popup and tilt-open keys; the others go
    // to ViewCenter's step.
    int ExtKeyIsInvoked(int code, int kind) override;

    // ---- ViewCenter's slots ----
    void RecordView(int fid) override;
    int ResolveView(int view, int* selection, BOOL noMenu) override;
    BOOL IsViewDevicePresent(int view) override;
    BOOL IsMediaPlayView(int view) override;
    BOOL IsMenuView(int view) override;
    int MakeFirstScreen() override;
    // A camera view goes: back to the 3D menu first when the back command
    // came over it.
    void DeactivateCamera(int fid) override;
    // The camera view: the rear-view screen (CreateRearView).
    IxElement* MakeCameraView(int fid) override;
    // A new rear-view screen; null when memory runs out.
    static IxElement* CreateRearView();

    // ---- Timers (element timers of this object, by id) ----
    void BeginTimer(int id, int ms);
    void EndTimer(int id);
    BOOL IsTimerRunning(int id) const;

    // The state words of the central handler.
    int GetState8000() const { return m_nState8000; }
    BOOL IsFactoryResetAsked() const { return m_bFactoryReset; }
    BOOL IsParked() const { return m_bPark; }
    BOOL IsTailLampOn() const { return m_bTailLamp; }
    BOOL IsBackToMenu() const { return m_bBackToMenu; }

    CModelCenter& GetCenter() { return m_center; }
    DWORD GetPowerKeyTick() const { return m_dwPowerKeyTick; }
    DWORD GetAccOffTick() const { return m_dwAccOffTick; }
    BOOL IsNaviCloseSent() const { return m_bNaviCloseSent; }

protected:
    void OnTimer(int id);
    void AccCheck();
    void CloseVoiceController();
    // The power and screen-off keys.
    int PowerKey(int code, int kind);
    // Switches the unit off or on again; 1 when done, 0 while the kernel is
    // busy since the last power key.
    int SwitchOff();
    int SwitchOn();
    // Starts the ACC check (ACC is off at start).
    void BeginAccCheck();
    // The top page for the key mapping: through the colour-key layer to the
    // video frame's page; -1 when that has none.
    int KeyView() const;
    BOOL IsElementShown(int id) const;
    BOOL IsElementEnabled(int id) const;
    IxElement* FindById(int id) const;
    // The scan state of a tuner model: 1 tuning, 0 not, -1 the model is
    // missing.
    int TunerState(int modelId) const;
    BOOL InRun() const;

    // ---- The central handler's branches (KernelObjActions.cpp) ----
    // The source and screen keys, volume and audio, display and lighting,
    // power and park; each answers the handler's result, -1 for a code it
    // does not take.
    int ScreenKeyIsInvoked(int code, int kind, LPARAM param);
    int AudioKeyIsInvoked(int code, int kind, LPARAM param);
    int NoticeIsInvoked(int code, int kind, LPARAM param);
    // The system events 21 and 22 (heard as a subscriber).
    int SystemEventIsInvoked(int code, LPARAM param);
    // The mode popup (10100 and, from the navigation program, 10152).
    int ModePopupIsAsked(int code);
    // The mode key (10421): opens the mode popup (kind 4111), or moves its
    // highlight (4111) and takes it (4096, 4113) while it is up.
    int ModeKey(int kind);
    void PushModePopup();
    // The back command's own steps before ViewCenter's.
    int BackIsInvoked(int code, int kind, LPARAM param);
    // The user's activity and the park input.
    void UserActivity(LPARAM param);
    // Restarts the screen-saver timer (20000) with the delay the setting
    // record holds (seconds); a delay of 0 or less, or no record, leaves it
    // stopped.
    void RestartScreenSaver();
    void ParkSignal();
    // The micom's state request of the main source: 1 a tuner, 0 else.
    void SourceStateIsChanged(int modelId);
    void TailLampIsChanged(BOOL on);
    // The navigation program's map is on screen.
    BOOL IsNaviShown() const { return m_fidNavi > 0; }
    BOOL IsOnGate() const { return GetActiveView() == FID_GATE; }
    BOOL IsLayerUp(int id) const;
    void SendMicomState(BYTE first, BYTE second);

    CModelCenter m_center;
    // Own words (cleared at construction).
    BOOL m_bBackToMenu = FALSE;
    int m_nState8000 = 0;
    DWORD m_dwModeKeyTick = 0;
    DWORD m_dwPowerKeyTick = 0;
    BOOL m_bFactoryReset = FALSE;
    // The application's words of the timers.
    DWORD m_dwAccOffTick = 0;
    int m_nNaviCloseCode = 0;
    BOOL m_bNaviCloseSent = FALSE;
    BOOL m_bListenerAdded = FALSE;
    BOOL m_bPrepared = FALSE; // the intro has ended and the unit runs
    BOOL m_bPark = FALSE;     // the park input says parked
    BOOL m_bTailLamp = FALSE; // the tail lamps are on (night)

    // ---- Device events, the settings push, the last status, the key
    // translators and registry values, the defaults and the factory reset
    // (KernelObjDevices.cpp, KernelObjSettings.cpp) ----
public:
    // The device-event router: storage 10 to CardIsPulled, the iPod, DVD
    // and Bluetooth families to their models, then ViewCenter's step.
    void DeviceStateIsChanged(int device, int kind) override;
    // Device events that come before the unit runs.
    void OtherDeviceEvent(int device, int kind) override;
    // Storage 10 (the card with the navigation and voice programs) came or
    // went.
    void CardIsPulled(int device, int kind);
    // Pushes the stored audio and display settings to the audio processor,
    // the display driver and the micom.
    void LoadSettingReg();
    void LoadLastStatus() override;
    // 0 the Main record and the micom's block, 2 the init-mode, 3 only the
    // micom's block; 1 nothing.
    void SaveLastStatus(int when) override;
    // Runs SetupKeysAndRegistry once.
    void LoadRegistryValues() override;
    void SetupKeysAndRegistry();
    void WriteDefaultRegistry();
    void FactoryReset();
    // Writes the voice controller's default information file (create
    // always); 0 when it cannot be written.
    static BOOL WriteVoiceInfo(LPCWSTR path);

protected:
    // The card that holds the navigation program is gone.
    void NaviCardIsPulled();
    // The popup of a card pulled while its program ran.
    void ShowCardPulledPopup(const WCHAR* text);
    // Timer 30000: the GPS receiver powers down and the micom restarts the
    // unit.
    void FactoryResetEnd();
    // Whether storage 10 holds the navigation program.

    IxSerialComm m_gpsPort; // "COM4:" during the factory reset
    BOOL m_bKeysSetUp = FALSE;

public:
    // The end of the intro: the power-off path when the micom reported power
    // off, else ViewCenter's start of running.
    void EndIntro() override;
    BOOL IsPrepared() const { return m_bPrepared; }

    // ---- The navigation program and the voice controller (KernelObjNavi.cpp) ----
    // How long a command may keep the user-interface thread waiting for the
    // voice controller or the navigation program; it is dropped after that.
    static constexpr UINT kProgramSendTimeoutMs = 500;
    // Starts the navigation program from the card of storage 10; on success
    // its model (this object keeps one reference; the caller adds its own).
    CNaviModelLink* LaunchNavi() override;
    // Tells the voice controller the mode of the view now shown (with the
    // micom's alive signal before and after).
    void SendCommandToVC(int view);
    // The voice controller's mode value of a view; 0 for a view it has none.
    static int VoiceModeOf(int view);
    // A switch to the navigation map needs the program on the card: without
    // it the slot-1 message shows and nothing changes (0).
    int SetActivity(int activity, int where, int fid) override;
    // The mode report: AV shown (1) or navigation shown (-1) goes to the
    // voice controller, with the screen saver's timer; then ViewCenter's
    // step.
    void CloseVolumePopup(int value) override;
    // ViewCenter's step; the switch's time is kept as the last mode key's.
    void NaviIsShown() override;
    // Storage 10 came (or the unit starts): with the navigation program on
    // it, the program may be started (and is, unless the start waits).
    void NaviIsAvailable();
    // A screen asks for its page; the photo screen asked for while the video
    // plays (source FID_MOVIE) stays out with a message.
    void SwitchVideoPhoto(int view, int source);
    // The navigation and voice rows of the action handler; *handled tells
    // whether the code was one of them.
    int NaviActionIsInvoked(int code, int kind, LPARAM param, BOOL* handled);
    // Lets go of the navigation model's holder (before the model center
    // goes).
    void ReleaseNaviLink();
    // The path of a program below storage 10's root; 0 without a path.
    static BOOL ProgramPath(LPCWSTR relative, IxString& path);
    // Storage 10 is mounted and holds the navigation program.
    static BOOL IsNaviOnCard();
    BOOL IsAvRequested() const { return m_bAvRequested; }
    BOOL IsNaviRequested() const { return m_bNaviRequested; }
    DWORD GetModeKeyTick() const { return m_dwModeKeyTick; }
    // The screen-saver delay in ms (0: the timer is not restarted).

protected:
    int ModeKey();
    int VoiceKey(LPARAM param);
    // Starts the voice controller unless its window exists; the two log
    // lines name the caller.
    void StartVoiceController(LPCWSTR tag);
    // WM_COPYDATA to a program's window with the time-out; the answer, or 0
    // when dropped.
    static LRESULT SendToProgram(HWND window, ULONG_PTR command, const void* data, DWORD size);
    // The model center's zone-0 source is not the DVD while the DVD screen
    // is on top: the mode and voice keys are ignored then.
    BOOL IsDvdWithoutSource() const;
    // Shows one of the message popups (the standard box).
    void ShowMessage(int id, LPCWSTR text, int style, int buttons, int ms, BOOL windowed, const RECT& rect);
    LumoBridge* NaviBridge() const;

    CNaviModelAdapter* m_pNaviLink = nullptr;
    BOOL m_bAvRequested = FALSE;
    BOOL m_bNaviRequested = FALSE;
};
