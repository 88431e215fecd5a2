// The updater's window and its update sequence: a chain of one-shot timers,
// each running one blocking step on the window thread (prepare the package,
// the system images, the application and the user's data, the DMB module,
// the Bluetooth module, the DVD deck micom, the main micom), with a watchdog
// timer over the long steps. A failed step leaves its marker in "\HDD" and
// hands the unit to the recovery program; the run ends by a micom reset.
#pragma once

#include "updater/BaseWindow.h"
#include "updater/BusyAnimation.h"
#include "updater/DataBackup.h"
#include "updater/NecmicomControl.h"
#include "updater/ProgressBar.h"
#include "updater/ProgressTicker.h"
#include "updater/SysUpdate.h"
#include "updater/UpdateManager.h"

#include <string>

// The timers of the update sequence, in the order a full run arms them.
enum class UpdateTimer : UINT_PTR {
    Check = 9,      // close the running programs
    Prepare = 2,    // unpack the package; system, application, backup OS
    Dmb = 3,        // DMB module
    Bluetooth = 8,  // Bluetooth module
    DvdMicom = 10,  // DVD deck micom
    Micom = 4,      // main micom
    Finish = 5,     // complete without a micom update
    LinkFailed = 6, // the micom link did not open
    Quit = 7,       // end of the program
    Watchdog = 20,  // a long step did not end in time
};

// The kinds of the navigation-data installer's message (low word of lParam).
enum class NaviUpgradeKind : WORD {
    StepTotal = 0,
    LastStep = 253,
    Error = 254,
    Complete = 255,
};

namespace updater {
inline constexpr const WCHAR* kUpgradeMessageName = u"__UPGRADE_MSG_NAME__";
inline constexpr const WCHAR* kAttachStatusMessageName = u"WM_AUXIPOD_ATTACH_STATUS";
inline constexpr WPARAM kNaviUpgradeRequest = 170;
inline constexpr WPARAM kNaviUpgradeAnswer = 85;
inline constexpr const WCHAR* kRecoveryProgram = u"\\Windows\\WrenRecovery.exe";
inline constexpr const WCHAR* kRecoveryFlag = u"\\NAND\\WrenRecovery.flg";
inline constexpr const WCHAR* kUpdateFlag = u"\\NAND\\WrenUpdate.flg";
inline constexpr const WCHAR* kPlayerZip = u"\\_MAKE_TEMP_\\_PLAYER_.ZIP";
inline constexpr const WCHAR* kBtFile = u"\\_MAKE_TEMP_\\_BT_.DFU";
// The error code of a missing update medium.
inline constexpr DWORD kMediumLost = 1617;
} // namespace updater

class CMainWIndow : public CBaseWindow {
public:
    static constexpr int kPanelX = 101;
    static constexpr int kPanelY = 63;
    static constexpr int kPanelWidth = 598;
    static constexpr int kPanelHeight = 354;

    CMainWIndow();
    ~CMainWIndow() override;

    // Registers the two messages and the class "UPMAINWND" and makes the
    // full-screen window "UpdateWindow".
    virtual BOOL Create(HINSTANCE instance);

    // Draws the title, text and note (each when given and not empty) on a
    // fresh copy of the panel and shows the part that holds them.
    void ShowStatus(LPCWSTR title, LPCWSTR text, LPCWSTR note);
    // Moves the bar to min(total, done) / total.
    void UpdateProgress(DWORD total, DWORD done);

    // The failure path: shows the texts, then starts the recovery program
    // and ends; without a recovery program the unit is reset instead.
    void FailToRecovery(LPCWSTR title, LPCWSTR text, LPCWSTR note);
    // The text of an error code, then FailToRecovery.
    void ShowError(DWORD code);
    static std::u16string ErrorText(DWORD code);
    // The text of the navigation installer's error code.
    static std::u16string NaviErrorText(WORD code);

    // The steps.
    BOOL UpdateSystem();
    BOOL UpdateBackupSystem();
    BOOL InitializeDisk();
    BOOL UpdateApplication();
    BOOL UpdateDMB();
    BOOL UpdateBT();
    BOOL UpdateDVDMicom();
    BOOL UpdateMicom();

    static BOOL CreateErrorFile(LPCWSTR path);
    static BOOL CreateRecoveryFlag();
    void DumpUpdateInfo();

    CProgressBar& ProgressBar() { return m_progressBar; }
    CBusyAnimation& BusyAnimation() { return m_busyAnimation; }
    CProgressTicker& ProgressTicker() { return m_progressTicker; }
    CNEC& Micom() { return m_nec; }
    UINT UpgradeMessage() const { return m_upgradeMessage; }
    UINT AttachStatusMessage() const { return m_attachStatusMessage; }
    // The navigation installer may report: the chain waits for it.
    bool WaitingForInstaller() const { return m_waitingForInstaller; }

    void OnPaint(HDC dc) override;
    void OnCreate() override;
    void OnClose() override;
    void OnDestroy() override;
    void OnTimer(UINT_PTR id) override;
    LRESULT OnUserMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    LRESULT OnNaviUpgradeMessage(WPARAM wParam, LPARAM lParam);
    LRESULT OnAttachStatus();

private:
    void Arm(UpdateTimer timer, UINT ms);
    void Kill(UpdateTimer timer);
    // A failure text, then the micom reset after 7 seconds.
    void FailAndClose(LPCWSTR title, LPCWSTR text);
    void OnCheck();
    void OnPrepare();
    void OnDmb();
    void OnBluetooth();
    void OnDvdMicom();
    void OnMicom();
    void OnFinish();
    void OnLinkFailed();
    void OnWatchdog();
    static bool MediumPresent();

    CNEC m_nec;
    CBusyAnimation m_busyAnimation;
    CProgressBar m_progressBar;
    CUpdateManager m_updateManager;
    CSysUpdate m_sysUpdate;
    CProgressTicker m_progressTicker;
    CDataBackup m_dataBackup;
    UINT m_upgradeMessage = 0;
    UINT m_attachStatusMessage = 0;
    int m_naviTotal = 0;
    int m_naviStep = 0;
    std::u16string m_zipPath;
    bool m_waitingForInstaller = false;
    bool m_stepRunning = false; // a step (they write) is under way
    bool m_ended = false;       // the run has reached one of its ends
};
