// The link to the navigation program, a separate process whose main window
// is titled "Lumo". Commands go out as WM_COPYDATA whose dwData is the
// command; the program's notifications reach the main window as
// "QMR_MSG_BROADCAST", which the kernel delivers as a forwarded broadcast
// and the navigation model hands to Notify as {sender, code, lParam}.
//
// The bridge lives on the user-interface thread. Commands are sent with a
// time-out: a program that does not answer in kSendTimeoutMs costs the
// user-interface thread no more than that, and the command is dropped (and
// logged). The program's window handle and the navigation hold flag are
// shared with the main window's handlers, under one lock.
#pragma once

#include "Lib_cpp/kernel/Receiver.h"
#include "Source/models/ExtAppBridge.h"
#include "Source/models/LumoOwner.h"
#include "platform/base/Types.h"
#include "platform/io/ProgramLinks.h"
#include "platform/os/Sync.h"

// The map's layout as the bridge asks for it, and as the program reports it.
enum : int {
    LUMO_HIDDEN = -1,
    LUMO_FULL = 0,
    LUMO_PIP = 1,
    LUMO_PIP2 = 2, // the program's second small layout (reported only)
};

class LumoBridge : public IxReceiver, public IxExtAppBridge {
public:
    // How long a command may keep the user-interface thread waiting.
    static constexpr UINT kSendTimeoutMs = 500;

    // Takes a reference to the owner.
    explicit LumoBridge(CLumoOwner* owner);
    ~LumoBridge() override;
    LumoBridge(const LumoBridge&) = delete;
    LumoBridge& operator=(const LumoBridge&) = delete;
    // The navigation model's link factory: a new bridge over the owner, null
    // when memory runs out.
    static IxExtAppBridge* Create(CLumoOwner* owner);

    // Sends the command with its data to the program's window; the
    // program's answer, or 0 without a window, on an error or when the
    // program did not answer in time (the command is then dropped).
    LRESULT SendCommand(NaviCommand command, const void* data, DWORD size);
    // Sends value as the first size bytes (little-endian, at most 4). For
    // KeyState, value is the key kind and parameter the key: kinds other than
    // AEV_ATTACH and AEV_DETACH send nothing; the two words are {1 unless
    // the key is 8218, else 0} and {1 for AEV_ATTACH, 0 for AEV_DETACH}.
    LRESULT SendValue(NaviCommand command, int value, DWORD size, int parameter = 0);

    // Asks for the layout (LUMO_FULL or LUMO_PIP); 1 when the program has
    // it already and nothing was sent.
    LRESULT SendLayout(int layout);
    // Hides the map: the program leaves its small layout. 1 when nothing
    // was sent.
    LRESULT SendHide();
    // Shows the map in the layout. 1 when held and nothing was sent.
    LRESULT SendShow(int layout);
    // Asks the program to close with flag (2: the unit stops, 0: factory
    // reset); before it has started, a close with 2 is delivered 500 ms
    // after its start notice.
    LRESULT RequestClose(int flag);

    // While held, hide, show and layout requests are parked (the newest
    // wins) and run when the hold ends.
    void Hold();
    void ReleaseHold();
    void SetLayoutDeferred(int layout);
    void ShowDeferred(int layout);
    void HideDeferred();
    // Shows (on with a picture-in-picture wish, off with a full-screen wish)
    // and tells the owner.
    void SetVisible(BOOL on, int wish);

    // A notification: event AEV_ARGS with the record {sender, code, lParam}.
    // Other events and codes outside 1001-1027 are ignored; 1 when taken.
    BOOL Notify(int event, const LPARAM* record);

    // ---- The navigation model's operations (IxExtAppBridge) ----
    // The program is started by the kernel application object: 1.
    BOOL AppLaunch() override;
    // A non-zero flag asks the program to close (RequestClose with 2).
    LRESULT AppStop(int flag) override;
    // The layout wish (LUMO_HIDDEN, LUMO_FULL or LUMO_PIP).
    int AppGetLayout() const override;
    // Hold (on) and ReleaseHold (off); the value is not used.
    void AppHold(BOOL on, int value) override;
    // Ends a hold (its parked request runs); without one the wish again:
    // hidden hides, else the wished layout.
    void AppSync() override;
    LRESULT AppSetLayout(int layout) override;
    LRESULT AppShow(int flag, int layout) override;
    // The map shows or is being shown already: 1.
    LRESULT AppShowAgain(int flag) override;
    // The program takes no such value: logged, 1.
    LRESULT AppNotify(int value) override;
    LRESULT AppHide() override;
    // A parked show is dropped, then the map is hidden.
    LRESULT AppCancelShow() override;
    // Notify(kind, record).
    BOOL AppEvent(int kind, LPARAM parameter) override;

    // Kernel timers: the delayed close and the warning's settling time.
    int ActionIsInvoked(int code, int kind, LPARAM param) override;
    LRESULT OnEvent(int code, LPARAM param) override;

    int GetLayoutWish() const { return m_nLayoutWish; }
    int GetProgramLayout() const { return m_nProgramLayout; }
    BOOL IsLayoutSent() const { return m_bLayoutSent; }
    BOOL IsClosePending() const { return m_bClosePending; }
    BOOL IsStarted() const { return m_bStarted; }
    BOOL IsHeld() const { return m_bHold; }
    UINT_PTR CloseTimerId() const;
    UINT_PTR WarningTimerId() const;

    // The program's window (null until its init notice) and the navigation
    // hold flag: shared with the main window.
    static HWND GetNaviWindow();
    static BOOL IsNaviHeld();

private:
    enum Parked : int { PARK_NONE = 0, PARK_HIDE = 1, PARK_SHOW = 2, PARK_LAYOUT = 3 };

    void Tell(LumoNotice notice);
    void OnResize(LPARAM value);
    void OnStart();
    void OnInit();
    void OnWarningClosed();
    void OnDestroy();
    void RunParked(int request, int layout);
    // The status block's guidance word (3 when negative or without a block).
    static int GuidanceWord();

    CLumoOwner* m_pOwner;
    int m_nLayoutWish = LUMO_HIDDEN;
    BOOL m_bLayoutSent = FALSE;
    BOOL m_bClosePending = FALSE;
    BOOL m_bStarted = FALSE;
    BOOL m_bHold = FALSE;
    int m_nParked = PARK_NONE;
    int m_nParkedLayout = LUMO_FULL;
    int m_nProgramLayout = LUMO_FULL;
    // Timer intervals; their addresses identify the timers.
    int m_nCloseDelay = 500;
    int m_nWarningDelay = 100;
};
