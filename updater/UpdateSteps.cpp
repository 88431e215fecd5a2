// The steps of the update sequence, one per part of the package. Each
// shows its progress, runs the ticker over its expected time, calls the
// writer of its part and returns whether the part was written.
#include "platform/base/Debug.h"
#include "platform/base/Error.h"
#include "platform/io/File.h"
#include "platform/io/Io.h"
#include "updater/BluetoothDownload.h"
#include "updater/DVDMicom.h"
#include "updater/DmbSpi.h"
#include "updater/FileHelpers.h"
#include "updater/MainWindow.h"
#include "updater/MicomFile.h"
#include "updater/ProcessList.h"
#include "updater/ZipArchive.h"

namespace {

constexpr DWORD kTickMs = 500;
constexpr const WCHAR* kWrenFolder = u"\\NAND\\Wren";
constexpr const WCHAR* kFontFile = u"\\NAND\\Wren\\Corvan_AVN.ttf";
constexpr const WCHAR* kFontMoved = u"\\NAND\\Wren\\Corvan_AVN.tt2";
constexpr const WCHAR* kWrenProgram = u"\\NAND\\Wren\\Wren.exe";
constexpr DWORD kNandWaitMs = 5000;
constexpr DWORD kNandPollMs = 250;

} // namespace

BOOL CMainWIndow::UpdateSystem()
{
    if (!m_updateManager.HasTrailer())
        return FALSE;
    // The micom's upgrade start puts its loader in charge: a unit whose
    // package brings no micom firmware would be reset into a half-loaded
    // micom, so it is sent only when the micom step will load it.
    const bool micomLoad = m_updateManager.HasMicom() == 1 && m_nec.NecmicomUpgradeStart();
    const auto endMicomLoad = [this, micomLoad] {
        if (micomLoad)
            m_nec.NecmicomUpgradeEnd();
    };
    const auto placed = [this](int present, int offsetWord) {
        return present == 1 && m_updateManager.TrailerWord(offsetWord) != 0xFFFFFFFFu;
    };
    const bool boot = placed(m_updateManager.HasBootLoader(), updater::kWordBootOffset);
    const bool os = placed(m_updateManager.HasOSImage(), updater::kWordOsOffset);
    const bool logo = placed(m_updateManager.HasLogo(0), updater::kWordLogo1Offset);
    if (!m_sysUpdate.OpenDisk()) {
        m_sysUpdate.Close();
        // A part that is there but cannot be written is a failed step, never
        // a finished one: the unit would report an update it did not get.
        if (boot || os || logo) {
            endMicomLoad();
            NKDbgPrintfW(u"<<< UPDATE >> UpdateSystem(FAILED)\r\n");
            return FALSE;
        }
        NKDbgPrintfW(u"<<< UPDATE >> UpdateSystem(OK)\r\n");
        return TRUE;
    }
    const DWORD start = GetTickCount();
    const auto fail = [this, &endMicomLoad](LPCWSTR title, LPCWSTR text) {
        ShowStatus(title, text, nullptr);
        m_progressTicker.Stop();
        m_sysUpdate.Close();
        endMicomLoad();
        NKDbgPrintfW(u"<<< UPDATE >> UpdateSystem(FAILED)\r\n");
        return FALSE;
    };
    if (boot) {
        ShowStatus(u"Update Bootloader...", u"start...", nullptr);
        m_progressTicker.Start(3000, kTickMs);
        if (!m_sysUpdate.UpdateEboot())
            return fail(u"Update Bootloader...", u"FAILED...");
        ShowStatus(u"Update Bootloader...", u"OK...", nullptr);
        DeleteFileW(updater::kBootLoaderFile);
    }
    if (os) {
        ShowStatus(u"Update OS...", u"start...", nullptr);
        m_progressTicker.Start(5000, kTickMs);
        if (!m_sysUpdate.UpdateNKBin())
            return fail(u"Update OS...", u"FAIL...");
        ShowStatus(u"Update OS...", u"OK...", nullptr);
        DeleteFileW(updater::kOsImageFile);
    }
    if (logo) {
        ShowStatus(u"Update BootLogo...", u"start...", nullptr);
        m_progressTicker.Start(5000, kTickMs);
        if (!m_sysUpdate.UpdateBootLogo())
            return fail(u"Update Logo...", u"FAIL...");
        ShowStatus(u"Update BootLogo...", u"OK...", nullptr);
    }
    m_progressTicker.Stop();
    NKDbgPrintfW(u" EBoot Time %d \n\r", static_cast<int>(GetTickCount() - start));
    m_sysUpdate.Close();
    NKDbgPrintfW(u"<<< UPDATE >> UpdateSystem(OK)\r\n");
    return TRUE;
}

BOOL CMainWIndow::UpdateBackupSystem()
{
    if (m_sysUpdate.OpenDisk()) {
        const DWORD start = GetTickCount();
        ShowStatus(u"Update Backup OS...", u"start...", nullptr);
        m_progressTicker.Start(5000, kTickMs);
        if (!m_sysUpdate.UpdateNKBackUp()) {
            ShowStatus(u"Update Backup OS...", u"FAIL...", nullptr);
            m_progressTicker.Stop();
            m_sysUpdate.Close();
            NKDbgPrintfW(u"<<< UPDATE >> UpdateBackupSystem(FAILED)\r\n");
            return FALSE;
        }
        m_progressTicker.Stop();
        NKDbgPrintfW(u" Backup OS Update Time %d \n\r", static_cast<int>(GetTickCount() - start));
        ShowStatus(u"Update Backup OS...", u"OK...", nullptr);
        DeleteFileW(updater::kBackupOsFile);
    }
    m_sysUpdate.Close();
    NKDbgPrintfW(u"<<< UPDATE >> UpdateBackupSystem(OK)\r\n");
    return TRUE;
}

BOOL CMainWIndow::InitializeDisk()
{
    if (!MediumPresent()) {
        ShowError(updater::kMediumLost);
        return FALSE;
    }
    if (!m_updateManager.HasTrailer())
        return FALSE;
    ShowStatus(u"DISK Initializing...", u"start...", nullptr);
    m_progressTicker.Start(70000, kTickMs);
    const auto fail = [this](LPCWSTR why) {
        NKDbgPrintfW(u"[NAND Disk] %s\r\n", why);
        m_progressTicker.Stop();
        return FALSE;
    };
    // Nothing is deleted while the program that uses these files runs.
    if (CProcessList::FindProcess(u"Wren.exe"))
        return fail(u"Wren.exe still runs");
    CreateFolderPath(kWrenFolder);
    if (DeleteFolder(kWrenFolder, TRUE, TRUE) == 0)
        return fail(u"nothing removed");

    NKDbgPrintfW(u"Check Font File...\r\n");
    if (FileExists(kFontFile)) {
        if (MoveFileW(kFontFile, kFontMoved))
            NKDbgPrintfW(u"Font File Move  Success...\r\n");
        else
            NKDbgPrintfW(u"Font File Move  Fail... Error[%d]\r\n", static_cast<int>(GetLastError()));
    } else {
        NKDbgPrintfW(u"Font File Already Removed...\r\n");
    }
    NKDbgPrintfW(u"Check Wren File...\r\n");
    if (FileExists(kWrenProgram)) {
        NKDbgPrintfW(u"wren File Delete  Fail... Error[%d]\r\n", static_cast<int>(GetLastError()));
        m_progressTicker.Stop();
        return FALSE;
    }
    NKDbgPrintfW(u"wren File Already Removed...\r\n");

    // The user's data goes to the medium and is checked there before the
    // store is formatted, and comes back only from a checked copy.
    if (!m_dataBackup.Save())
        return fail(u"user data could not be kept, not formatted");
    if (FormatNandDisk() != kFormatDone) {
        NKDbgPrintfW(u"[NAND Disk] format failed...\r\n");
        m_progressTicker.Stop();
        return FALSE;
    }
    NKDbgPrintfW(u"[NAND Disk] format OK...\r\n");
    if (!m_dataBackup.Restore())
        return fail(u"user data not restored");
    m_progressTicker.Stop();
    return UpdateApplication();
}

BOOL CMainWIndow::UpdateApplication()
{
    if (!MediumPresent()) {
        ShowError(updater::kMediumLost);
        return FALSE;
    }
    m_zipPath = updater::kPlayerZip;
    const DWORD start = GetTickCount();
    while (GetFileAttributesW(u"\\NAND") == INVALID_FILE_ATTRIBUTES) {
        if (GetTickCount() - start >= kNandWaitMs) {
            NKDbgPrintfW(u"[NAND Disk] not mounted\r\n");
            return FALSE;
        }
        Sleep(kNandPollMs);
    }
    ShowStatus(u"Update Application...", u"start...", nullptr);
    Sleep(100);
    const DWORD unzipStart = GetTickCount();
    CZipArchive zip;
    BOOL ok = FALSE;
    if (zip.Open(m_zipPath.c_str()) && zip.SetTargetFolder(u"\\NAND")) {
        zip.SetProgressCallback([this](DWORD total, DWORD done) { UpdateProgress(total, done); });
        ok = zip.ExtractAll(FALSE);
    }
    zip.Close();
    NKDbgPrintfW(u" UnZipTime =[%d] \n\r ", static_cast<int>(GetTickCount() - unzipStart));
    ShowStatus(u"Update Application...", ok ? u"OK" : u"FAILED...", nullptr);
    DeleteFileW(m_zipPath.c_str());
    return ok;
}

BOOL CMainWIndow::UpdateDMB()
{
    if (!MediumPresent()) {
        ShowError(updater::kMediumLost);
        return FALSE;
    }
    if (m_updateManager.HasDMB() != 1) {
        m_progressTicker.Stop();
        NKDbgPrintfW(u"<<< UPDATE >>> [DMB END : %d]\r\n", static_cast<int>(GetTickCount()));
        return TRUE;
    }
    const DWORD start = GetTickCount();
    NKDbgPrintfW(u"<<< UPDATE >>> [DMB START : %d]\r\n", static_cast<int>(start));
    ShowStatus(u"DMB Upgrade...", u"start...", nullptr);
    m_progressTicker.Start(200000, kTickMs);
    CDmbSpi dmb;
    const BOOL ok = dmb.Download(updater::kDmbFile);
    dmb.CloseDmbSpi();
    m_progressTicker.Stop();
    if (!ok) {
        NKDbgPrintfW(u"[DMBSPI] : Fail! update file. \r\n");
        NKDbgPrintfW(u"ERROR: %s line %d: ", u"MainWindow", __LINE__);
        NKDbgPrintfW(u"<<< UPDATE >>> IOCTL_VELL_DMB_UPGRADE Failed...\r\n");
        return FALSE;
    }
    NKDbgPrintfW(u"[DMBSPI] : OK! update file. \r\n");
    NKDbgPrintfW(u"[DMBSPI] : Total Time = %d\n", static_cast<int>((GetTickCount() - start) / 1000));
    ShowStatus(u"DMB Upgrade...", u"COMPLETE...", nullptr);
    NKDbgPrintfW(u"<<< UPDATE >>> [DMB END : %d]\r\n", static_cast<int>(GetTickCount()));
    return TRUE;
}

BOOL CMainWIndow::UpdateBT()
{
    if (!MediumPresent()) {
        ShowError(updater::kMediumLost);
        return FALSE;
    }
    if (m_updateManager.HasBluetooth() != 1)
        return FALSE;
    NKDbgPrintfW(u"<<< UPDATE >>> [BT START : %d]\r\n", static_cast<int>(GetTickCount()));
    ShowStatus(u"BT Upgrade...", u"start...", nullptr);
    m_progressTicker.Start(100000, kTickMs);
    const BOOL ok = DfuDownload(updater::kBtFile);
    m_progressTicker.Stop();
    return ok;
}

BOOL CMainWIndow::UpdateDVDMicom()
{
    if (!MediumPresent()) {
        ShowError(updater::kMediumLost);
        return FALSE;
    }
    ShowStatus(u"DVDMICOM Upgrade...", u"start...", nullptr);
    m_progressTicker.Start(10000, kTickMs);
    CDVDMicom deck;
    const int result = deck.DVDmicomUpgrade(updater::kDvdMicomFile, 2000);
    m_progressTicker.Stop();
    NKDbgPrintfW(u"<<< UPDATE >>> [DVDMICOM : %d]\r\n", result);
    return result == 0;
}

BOOL CMainWIndow::UpdateMicom()
{
    if (m_updateManager.HasMicom() != 1) {
        Arm(UpdateTimer::Finish, 200);
        return FALSE;
    }
    if (!CheckMICOM(updater::kMicomFile)) {
        ShowStatus(u"MICOM is not valid...", u"cannot update...", nullptr);
        return FALSE;
    }
    if (!m_nec.IsOpen())
        return FALSE;
    NKDbgPrintfW(u"<<< UPDATE >>> [MICOM START : %d]\r\n", static_cast<int>(GetTickCount()));
    ShowStatus(u"MICOM Upgrade...", u"start...", nullptr);
    Sleep(500);
    m_progressTicker.Start(70000, kTickMs);
    if (m_nec.UpgradeFromFile(updater::kMicomFile, 2000) != 0) {
        ShowStatus(u"MICOM Upgrade...", u"FAILED...", nullptr);
        m_progressTicker.Stop();
        return FALSE;
    }
    CreateRecoveryFlag();
    DeleteFileW(updater::kUpdateFlag);
    // The micom restarts the unit: the package's parts in the temporary
    // folder are not left behind.
    DeleteFolder(updater::kMakeTempFolder, TRUE, TRUE);
    ShowStatus(u"MICOM Upgrade...", u"COMPLETE...", nullptr);
    m_progressTicker.Stop();
    m_nec.NecmicomReset();
    m_nec.Close();
    m_ended = true;
    Arm(UpdateTimer::Quit, 3000);
    NKDbgPrintfW(u"<<< UPDATE >>> [MICOM END : %d]\r\n", static_cast<int>(GetTickCount()));
    return TRUE;
}
