#include "updater/MainWindow.h"

#include "platform/base/Debug.h"
#include "platform/base/Error.h"
#include "platform/base/Text.h"
#include "platform/gfx/Screen.h"
#include "platform/io/File.h"
#include "platform/io/Io.h"
#include "platform/os/Process.h"
#include "updater/BluetoothDownload.h"
#include "updater/CloseRunningPrograms.h"
#include "updater/DVDMicom.h"
#include "updater/DmbSpi.h"
#include "updater/FileHelpers.h"
#include "updater/MicomFile.h"
#include "updater/ProcessList.h"
#include "updater/Resources.h"
#include "updater/ZipArchive.h"

#include <algorithm>
#include <array>

namespace {

// Single-line text centred both ways in the rectangle.
void DrawCentred(HDC dc, LPCWSTR text, const RECT& rect)
{
    const int length = static_cast<int>(platform::TextLength(text));
    SIZE size{};
    GetTextExtentExPointW(dc, text, length, 0, nullptr, nullptr, &size);
    const int x = rect.left + ((rect.right - rect.left) - size.cx) / 2;
    const int y = rect.top + ((rect.bottom - rect.top) - size.cy) / 2;
    ExtTextOutW(dc, x, y, 0, nullptr, text, static_cast<UINT>(length), nullptr);
}

void DrawLine(HDC dc, LPCWSTR text, const RECT& rect, int height, int weight)
{
    if (!text || !*text)
        return;
    HFONT font = CreateTextFont(u"Tahoma", height, weight, FALSE, 0);
    HGDIOBJ old = SelectObject(dc, font);
    DrawCentred(dc, text, rect);
    SelectObject(dc, old);
    DeleteObject(font);
}

} // namespace

namespace {

constexpr const WCHAR* kRebootNote = u"Wait 5 seconds for Rebooting";
constexpr const WCHAR* kRecoveryNote = u"Wait 5 seconds for Recovery";
constexpr DWORD kTickMs = 500;

constexpr std::array<const WCHAR*, 13> kNaviErrors = {
    u"Folder creation error", u"INI not found",        u"INI read fail",    u"Target volume not exist",
    u"Invalid device",        u"No header file",       u"Header read fail", u"Invalid header",
    u"Invalid size",          u"Data file read error", u"Data setup fail",  u"Data installation fail",
    u"Invalid data(empty)",
};

int Major(DWORD version)
{
    return static_cast<int>((version >> 16) & 0xFF);
}
int Minor(DWORD version)
{
    return static_cast<int>((version >> 8) & 0xFF);
}
int Patch(DWORD version)
{
    return static_cast<int>(version & 0xFF);
}

} // namespace

CMainWIndow::CMainWIndow()
    : m_progressTicker([this](DWORD duration, DWORD elapsed) { UpdateProgress(duration, elapsed); })
{
    NKDbgPrintfW(u"Updex : Built (%S, %S)\r\n", __DATE__, __TIME__);
    NKDbgPrintfW(u"<<< UPDATE >>> [START : %d]\r\n", static_cast<int>(GetTickCount()));
}

CMainWIndow::~CMainWIndow()
{
    m_busyAnimation.Stop();
    m_progressTicker.Close();
    m_nec.Close();
}

BOOL CMainWIndow::Create(HINSTANCE instance)
{
    m_upgradeMessage = RegisterWindowMessageW(updater::kUpgradeMessageName);
    m_attachStatusMessage = RegisterWindowMessageW(updater::kAttachStatusMessageName);
    if (!RegisterClass(instance, u"UPMAINWND", RGB(0, 0, 1)))
        return FALSE;
    return CBaseWindow::CreateEx(0x80, u"UpdateWindow", WS_POPUP | WS_VISIBLE, 0, 0, platform::kScreenWidth,
                                 platform::kScreenHeight, nullptr);
}

void CMainWIndow::OnCreate()
{
    m_progressBar.Init(m_hWnd, IDB_PROGRESS_BAR, 164, 339, 472, 20);
    if (m_nec.Open(m_hWnd))
        Arm(UpdateTimer::Check, 50);
    else
        Arm(UpdateTimer::LinkFailed, 50);
    m_busyAnimation.Start(m_hWnd, nullptr);
}

void CMainWIndow::OnPaint(HDC dc)
{
    RECT client;
    GetClientRect(m_hWnd, &client);
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    if (HBITMAP panel = LoadBitmapW(m_hInstance, IDB_STATUS_PANEL)) {
        HDC memory = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(memory, panel);
        BitBlt(dc, kPanelX, kPanelY, kPanelWidth, kPanelHeight, memory, 0, 0, SRCCOPY);
        SelectObject(memory, old);
        DeleteDC(memory);
        DeleteObject(panel);
    }
}

void CMainWIndow::ShowStatus(LPCWSTR title, LPCWSTR text, LPCWSTR note)
{
    HDC dc = GetDC(m_hWnd);
    if (!dc)
        return;
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP canvas = CreateCompatibleBitmap(dc, kPanelWidth, kPanelHeight);
    HGDIOBJ oldCanvas = SelectObject(memory, canvas);
    if (HBITMAP panel = LoadBitmapW(m_hInstance, IDB_STATUS_PANEL)) {
        HDC source = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(source, panel);
        BitBlt(memory, 0, 0, kPanelWidth, kPanelHeight, source, 0, 0, SRCCOPY);
        SelectObject(source, old);
        DeleteDC(source);
        DeleteObject(panel);
    }
    SetBkMode(memory, TRANSPARENT);
    SetTextColor(memory, RGB(255, 255, 255));
    DrawLine(memory, title, RECT{88, 156, 509, 192}, 36, 600);
    DrawLine(memory, text, RECT{53, 211, 545, 237}, 26, 400);
    DrawLine(memory, note, RECT{76, 244, 530, 270}, 26, 400);
    BitBlt(dc, 189, 219, 421, 114, memory, 88, 156, SRCCOPY);
    SelectObject(memory, oldCanvas);
    DeleteObject(canvas);
    DeleteDC(memory);
    ReleaseDC(m_hWnd, dc);
}

void CMainWIndow::UpdateProgress(DWORD total, DWORD done)
{
    if (total == 0 || !m_hWnd)
        return;
    const float percent = static_cast<float>(std::min(total, done)) * 100.0f / static_cast<float>(total);
    m_progressBar.SetPercent(static_cast<UINT>(percent));
}

void CMainWIndow::Arm(UpdateTimer timer, UINT ms)
{
    SetTimer(m_hWnd, static_cast<UINT_PTR>(timer), ms, nullptr);
}

void CMainWIndow::Kill(UpdateTimer timer)
{
    KillTimer(m_hWnd, static_cast<UINT_PTR>(timer));
}

bool CMainWIndow::MediumPresent()
{
    const DWORD attributes = GetFileAttributesW(u"\\HDD");
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

void CMainWIndow::OnClose()
{
    if (m_nec.IsOpen()) {
        m_nec.NecmicomReset();
        m_nec.Close();
    }
    Kill(UpdateTimer::Watchdog);
    m_progressTicker.Close();
    m_busyAnimation.Stop();
    DestroyWindow(m_hWnd);
}

void CMainWIndow::OnDestroy()
{
    Kill(UpdateTimer::Watchdog);
    m_progressTicker.Close();
    m_busyAnimation.Stop();
    NKDbgPrintfW(u"<<< UPDATER >>> QUIT\r\n");
    PostQuitMessage(0);
}

void CMainWIndow::OnTimer(UINT_PTR id)
{
    const auto timer = static_cast<UpdateTimer>(id);
    if (timer != UpdateTimer::Watchdog)
        KillTimer(m_hWnd, id);
    if (m_ended && timer != UpdateTimer::Quit)
        return;
    m_stepRunning = true;
    switch (timer) {
    case UpdateTimer::Check:
        OnCheck();
        break;
    case UpdateTimer::Prepare:
        OnPrepare();
        break;
    case UpdateTimer::Dmb:
        OnDmb();
        break;
    case UpdateTimer::Bluetooth:
        OnBluetooth();
        break;
    case UpdateTimer::DvdMicom:
        OnDvdMicom();
        break;
    case UpdateTimer::Micom:
        OnMicom();
        break;
    case UpdateTimer::Finish:
        OnFinish();
        break;
    case UpdateTimer::LinkFailed:
        OnLinkFailed();
        break;
    case UpdateTimer::Quit:
        Kill(UpdateTimer::Watchdog);
        DestroyWindow(m_hWnd);
        break;
    case UpdateTimer::Watchdog:
        OnWatchdog();
        break;
    }
    m_stepRunning = false;
}

void CMainWIndow::FailAndClose(LPCWSTR title, LPCWSTR text)
{
    m_ended = true;
    ShowStatus(title, text, kRebootNote);
    m_progressTicker.Start(5000, kTickMs);
    Sleep(7000);
    PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
}

void CMainWIndow::OnCheck()
{
    ShowStatus(u"update Check...", nullptr, nullptr);
    CloseRunningPrograms();
    Arm(UpdateTimer::Prepare, 500);
}

void CMainWIndow::OnPrepare()
{
    Kill(UpdateTimer::Watchdog);
    Arm(UpdateTimer::Watchdog, 200000);
    ShowStatus(u"Prepare update...", nullptr, nullptr);
    m_progressTicker.Start(4000, kTickMs);
    if (!m_updateManager.PrepareExtract(updater::kPackagePath, TRUE)) {
        FailAndClose(u"Prepare", u"Failed...");
        return;
    }
    m_progressTicker.Stop();
    DeleteFileW(updater::kRecoveryFlag);
    ShowStatus(u"Prepare update...", u"completed...", nullptr);
    DumpUpdateInfo();

    // The three parts are each tried whatever happened before; a failure
    // is noted and, once all three had their turn, hands the unit to the
    // recovery program (a half-written system is not rebooted into).
    LPCWSTR failed = nullptr;
    if (m_updateManager.HasBootLoader() == 1 || m_updateManager.HasOSImage() == 1 || m_updateManager.HasLogo(0) == 1
        || m_updateManager.HasLogo(1) == 1) {
        if (!UpdateSystem()) {
            CreateErrorFile(u"\\HDD\\OSUpdate.err");
            failed = u"Upgrade System";
        }
    }
    if (!m_ended && m_updateManager.HasApplication() == 1) {
        if (InitializeDisk()) {
            ShowStatus(u"Compare Application", u"Checking...", nullptr);
            m_progressTicker.Start(30000, kTickMs);
            const DWORD sum = SumFolderBytes(u"\\NAND\\Wren", TRUE);
            m_progressTicker.Stop();
            const DWORD expected = m_updateManager.TrailerWord(updater::kWordPlayerByteSum);
            NKDbgPrintfW(u"<<< ACS >>> [NAND: %u DESK: %u ]\r\n", sum, expected);
            if (sum != expected) {
                CreateErrorFile(u"\\HDD\\APPUpdate.err");
                FailToRecovery(u"Upgrade Application", u"Failed...", kRecoveryNote);
            }
        } else {
            CreateErrorFile(u"\\HDD\\APPUpdate.err");
            failed = u"Upgrade Application";
        }
    }
    // Once the run has reached an end (the recovery program started)
    // nothing more is written.
    if (!m_ended && FileExists(updater::kBackupOsFile)) {
        if (!UpdateBackupSystem()) {
            CreateErrorFile(u"\\HDD\\BackupOS.err");
            failed = failed ? failed : u"Upgrade Backup OS";
        }
    }
    if (failed)
        FailToRecovery(failed, u"Failed...", kRecoveryNote);
    if (m_ended)
        return;
    m_waitingForInstaller = true;
    Arm(UpdateTimer::Dmb, 200);
}

void CMainWIndow::OnDmb()
{
    m_waitingForInstaller = false;
    Kill(UpdateTimer::Watchdog);
    Arm(UpdateTimer::Watchdog, 400000);
    if (m_updateManager.HasDMB() == 1 && !UpdateDMB()) {
        CreateErrorFile(u"\\HDD\\DMBUpdate.err");
        FailToRecovery(u"DMB Upgrade", u"Failed...", kRecoveryNote);
        return;
    }
    Arm(UpdateTimer::Bluetooth, 200);
}

void CMainWIndow::OnBluetooth()
{
    Kill(UpdateTimer::Watchdog);
    Arm(UpdateTimer::Watchdog, 150000);
    if (m_updateManager.HasBluetooth() == 1 && !UpdateBT()) {
        CreateErrorFile(u"\\HDD\\BTUpdate.err");
        FailToRecovery(u"BT Upgrade", u"Failed...", kRecoveryNote);
        return;
    }
    Arm(UpdateTimer::DvdMicom, 200);
}

void CMainWIndow::OnDvdMicom()
{
    Kill(UpdateTimer::Watchdog);
    Arm(UpdateTimer::Watchdog, 30000);
    if (m_updateManager.HasDVDMicom() == 1) {
        NKDbgPrintfW(u"<<< UPDATE >>> [DVDMICOM START : %d]\r\n", static_cast<int>(GetTickCount()));
        if (!UpdateDVDMicom()) {
            CreateErrorFile(u"\\HDD\\DVDMicomUpdate.err");
            FailToRecovery(u"DVDMICOM Upgrade", u"Failed...", kRecoveryNote);
            return;
        }
    }
    Arm(UpdateTimer::Micom, 200);
}

void CMainWIndow::OnMicom()
{
    Kill(UpdateTimer::Watchdog);
    if (m_updateManager.HasMicom() != 1) {
        Arm(UpdateTimer::Finish, 200);
        return;
    }
    if (!UpdateMicom()) {
        CreateErrorFile(u"\\HDD\\MicomUpdate.err");
        FailToRecovery(u"MICOM Upgrade", u"Failed...", kRecoveryNote);
    }
}

void CMainWIndow::OnFinish()
{
    Kill(UpdateTimer::Watchdog);
    ShowStatus(u"UPDATE COMPLETE...", u"System will be restarted...", nullptr);
    // The ticker's stop empties the bar: it goes first, so that the bar
    // shows the finished update.
    m_progressTicker.Stop();
    m_progressBar.SetPercent(100);
    CreateRecoveryFlag();
    DeleteFolder(updater::kMakeTempFolder, TRUE, TRUE);
    DeleteFileW(updater::kUpdateFlag);
    Sleep(3000);
    m_ended = true;
    PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
}

void CMainWIndow::OnLinkFailed()
{
    Kill(UpdateTimer::Watchdog);
    ShowStatus(u"Cannot Upgrade...", u"MICOM Open Error...", u"Check update file...");
    Arm(UpdateTimer::Quit, 2000);
}

void CMainWIndow::OnWatchdog()
{
    ShowStatus(u"Upgrade Timeout", u"Failed...", kRebootNote);
    m_progressTicker.Start(5000, kTickMs);
    Sleep(7000);
    m_ended = true;
    PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
}

void CMainWIndow::FailToRecovery(LPCWSTR title, LPCWSTR text, LPCWSTR note)
{
    if (m_ended)
        return;
    m_ended = true;
    m_waitingForInstaller = false;
    for (UpdateTimer timer : {UpdateTimer::Check, UpdateTimer::Prepare, UpdateTimer::Dmb, UpdateTimer::Bluetooth,
                              UpdateTimer::DvdMicom, UpdateTimer::Micom, UpdateTimer::Finish})
        Kill(timer);
    ShowStatus(title, text, note);
    Sleep(4500);
    m_busyAnimation.Stop();
    m_progressTicker.Close();
    if (!FileExists(updater::kRecoveryProgram)) {
        // Without a recovery program the unit is not left on a frozen text:
        // the close resets it through the micom.
        NKDbgPrintfW(u"<<< UPDATER >>> No recovery program, reset\r\n");
        PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
        return;
    }
    NKDbgPrintfW(u"<<< UPDATER >>> Launch [%s]\r\n", updater::kRecoveryProgram);
    const bool linkWasOpen = m_nec.IsOpen();
    if (linkWasOpen)
        m_nec.Close();
    PROCESS_INFORMATION info{};
    if (CreateProcessW(updater::kRecoveryProgram, nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr,
                       &info)) {
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
        DestroyWindow(m_hWnd);
        return;
    }
    NKDbgPrintfW(u"<<< UPDATER >>> Launch failed (%d), reset\r\n", static_cast<int>(GetLastError()));
    if (linkWasOpen)
        m_nec.Open(m_hWnd);
    PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
}

std::u16string CMainWIndow::ErrorText(DWORD code)
{
    switch (code) {
    case 2:
        return u"Missing File...";
    case 3:
        return u"USB Memory not found...";
    case 5:
        return u"Access is denied...";
    case 13:
        return u"Wrong Data File...";
    case 14:
        return u"Out Of Memory...";
    case 29:
        return u"Write Failed...";
    case 30:
        return u"Read Failed...";
    case 50:
    case 1617:
        return u"USB Memory Read Failed...";
    default:
        return platform::Format(u"Unknown Error(%d)", static_cast<int>(code));
    }
}

void CMainWIndow::ShowError(DWORD code)
{
    const std::u16string text = ErrorText(code);
    FailToRecovery(u"Error !!!", text.c_str(), u"Wait 5 seconds for Recovery mode");
}

std::u16string CMainWIndow::NaviErrorText(WORD code)
{
    if (code == 0)
        return u"Unknown Error";
    if (code < 20000)
        return platform::Format(u"System Error(%d)", static_cast<int>(code));
    const unsigned k = code - 20001u;
    if (code >= 20001 && k < kNaviErrors.size())
        return kNaviErrors[k];
    return u"";
}

LRESULT CMainWIndow::OnUserMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == m_upgradeMessage && m_upgradeMessage != 0)
        return OnNaviUpgradeMessage(wParam, lParam);
    if (message == m_attachStatusMessage && m_attachStatusMessage != 0)
        return OnAttachStatus();
    return 0;
}

LRESULT CMainWIndow::OnAttachStatus()
{
    if (m_ended)
        return 0;
    if (MediumPresent()) {
        NKDbgPrintfW(u"<<< UPDATER >>> Attach status: update medium still there\r\n");
        return 0;
    }
    if (m_stepRunning) {
        // A step that writes is never cut short; it meets the missing
        // medium itself and ends the run at a safe point.
        NKDbgPrintfW(u"<<< UPDATER >>> Attach status: medium gone during a step\r\n");
        return 0;
    }
    ShowError(updater::kMediumLost);
    return 0;
}

LRESULT CMainWIndow::OnNaviUpgradeMessage(WPARAM wParam, LPARAM lParam)
{
    if (wParam != updater::kNaviUpgradeRequest)
        return 1;
    if (!m_waitingForInstaller || m_ended) {
        NKDbgPrintfW(u"<<< UPDATER >>> NAVI message while not waiting for it, ignored\r\n");
        return 1;
    }
    const WORD kind = LOWORD(static_cast<DWORD>(lParam));
    const WORD value = HIWORD(static_cast<DWORD>(lParam));
    PostMessageW(HWND_BROADCAST, m_upgradeMessage, updater::kNaviUpgradeAnswer, 0);
    if (kind == static_cast<WORD>(NaviUpgradeKind::StepTotal)) {
        m_naviTotal = value;
        Kill(UpdateTimer::Dmb); // the chain goes on once the installer is done
    } else if (kind <= static_cast<WORD>(NaviUpgradeKind::LastStep)) {
        Kill(UpdateTimer::Dmb);
        m_naviStep = kind;
        m_progressBar.SetPercent(std::min<UINT>(100, value));
        const std::u16string step = platform::Format(u"STEP : %d/%d", m_naviStep, m_naviTotal);
        ShowStatus(u"NAVI Upgrade...", step.c_str(), nullptr);
    } else if (kind == static_cast<WORD>(NaviUpgradeKind::Error)) {
        const std::u16string text = NaviErrorText(value);
        FailToRecovery(u"NAVI Upgrade...", u"Error", text.c_str());
    } else {
        m_progressBar.SetPercent(100);
        ShowStatus(u"NAVI Upgrade...", u"COMPLETE", nullptr);
        Arm(UpdateTimer::Dmb, 200);
    }
    return 1;
}

BOOL CMainWIndow::CreateErrorFile(LPCWSTR path)
{
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return FALSE;
    CloseHandle(file);
    return TRUE;
}

BOOL CMainWIndow::CreateRecoveryFlag()
{
    return CreateErrorFile(updater::kRecoveryFlag);
}

void CMainWIndow::DumpUpdateInfo()
{
    auto part = [](int present) { return present == 1 ? u"UPDATE" : u"NONE"; };
    const DWORD firmware = m_updateManager.GetFirmwareVersion();
    const DWORD player = m_updateManager.GetPlayerVersion();
    NKDbgPrintfW(u"--- DUMP UPDATE INFORMATION ---\r\n");
    NKDbgPrintfW(u"Firmware Version   : %d.%d.%d\r\n", Major(firmware), Minor(firmware), Patch(firmware));
    NKDbgPrintfW(u"Player Version     : %d.%d.%d\r\n", Major(player), Minor(player), Patch(player));
    NKDbgPrintfW(u"Bootlogo Update    : %s\r\n", part(m_updateManager.HasLogo(0)));
    NKDbgPrintfW(u"Updatelogo Update  : %s\r\n", part(m_updateManager.HasLogo(1)));
    NKDbgPrintfW(u"Bootloader Update  : %s\r\n", part(m_updateManager.HasBootLoader()));
    NKDbgPrintfW(u"OS Image Update    : %s\r\n", part(m_updateManager.HasOSImage()));
    NKDbgPrintfW(u"Application Update : %s\r\n", part(m_updateManager.HasApplication()));
    NKDbgPrintfW(u"DMB Update         : %s\r\n", part(m_updateManager.HasDMB()));
    NKDbgPrintfW(u"BT Update          : %s\r\n", part(m_updateManager.HasBluetooth()));
    NKDbgPrintfW(u"DVDMICOM Update    : %s\r\n", part(m_updateManager.HasDVDMicom()));
    NKDbgPrintfW(u"MICOM Update       : %s\r\n", part(m_updateManager.HasMicom()));
    NKDbgPrintfW(u"Format Disk        : %s\r\n", m_updateManager.GetFormatFlag() ? u"YES" : u"NO");
}
