// CKernelObj: the settings push, the last status, the key translators and
// the registry values, the voice controller's information file, the
// defaults and the factory reset.
#include "Lib_cpp/core/ActionCodes.h"
#include "Lib_cpp/core/ByteBuffer.h"
#include "Lib_cpp/core/Utility.h"
#include "Source/models/ModelCenter.h"
#include "Source/models/ModelCodes.h"
#include "Source/models/SettingModel.h"
#include "Source/models/UnitLink.h"
#include "Source/shell/KernelObj.h"
#include "Source/shell/KeyTranslators.h"
#include "Source/shell/SettingPush.h"
#include "Source/shell/ShellIds.h"
#include "platform/base/Clock.h"
#include "platform/base/Debug.h"
#include "platform/base/Text.h"
#include "platform/gfx/Gdi.h"
#include "platform/io/AudioDriver.h"
#include "platform/io/File.h"
#include "platform/io/Io.h"
#include "platform/io/MicomDriver.h"
#include "platform/io/Registry.h"

#include <cstring>
#include <iterator>

namespace {

// ---- The Main record's payload (8 bytes) ----
// Word 0: the navigation view (0 or 3001 ... 3019). Word 1, byte by byte:
// the init-mode plus one and the Activity plus one (0 in either: nothing
// stored yet, so a new unit starts with the defaults: run, Activity as it
// is), Not Load Navi (0 or 1), and a zero byte.
enum : DWORD {
    MAIN_NAVIVIEW = 0,
    MAIN_INITMODE = 4,
    MAIN_NOTLOADNAVI = 5,
    MAIN_ACTIVITY = 6,
};

constexpr int kMounted = 3;
constexpr int kGpsOpenTries = 5;
constexpr int kFactoryResetMs = 3000;
constexpr DWORD kGpsGrowth = 8;

const WCHAR kVoiceInfoPath[] = u"\\NAND\\VOICEINFO.ENV";
const WCHAR kNaviDrOffFlag[] = u"\\NAND\\NAVIDR_OFF.FLG";
const WCHAR kPhoneBook[] = u"\\PhoneBook\\PhonebookList.reg";
const WCHAR kUserBackground[] = u"\\USER_BG\\User_BG.bmp";
const WCHAR* const kBluetoothRecords[] = {u"\\NAND\\DATA\\BTCallList.reg", u"\\NAND\\DATA\\BTDevice.reg"};

BOOL IsNaviView(int view)
{
    return view >= FID_NAVI_FIRST && view <= FID_NAVI_LAST;
}

DWORD Code(MicomIoctl code)
{
    return static_cast<DWORD>(code);
}

// ---- The voice controller's information file ----

constexpr BYTE kVoiceInfoHeader[16] = {0x00, 0x00, 0x01, 0x00, 0x32, 0x01, 16, 0, 128, 0, 30, 0, 144, 0, 16, 0};
constexpr int kVoiceInfoFlagBlock = 128;
constexpr BYTE kVoiceInfoFlags[] = {0, 1, 3, 5, 7, 11, 15, 17, 21, 27, 29, 31, 32, 33};
constexpr int kVoiceInfoRecordFlags = 16;

struct VoiceInfoRecord {
    WORD count;
    BYTE flags[kVoiceInfoRecordFlags]; // the offsets that hold 1, ended by 0xFF
};

constexpr BYTE kEnd = 0xFF;
constexpr VoiceInfoRecord kVoiceInfoRecords[] = {
    {7, {0, 1, 2, 3, 4, 5, 6, kEnd}},
    {9, {0, 1, 4, 5, 6, 7, 8, 9, 10, kEnd}},
    {9, {0, 1, 4, 5, 6, 7, 8, 9, 10, kEnd}},
    {6, {0, 1, 4, 5, 7, 8, kEnd}},
    {3, {0, 1, 9, kEnd}},
    {8, {0, 1, 2, 3, 4, 5, 6, 7, kEnd}},
    {7, {0, 1, 2, 3, 4, 5, 7, kEnd}},
    {6, {0, 1, 2, 3, 4, 5, kEnd}},
    {6, {0, 1, 2, 3, 4, 5, kEnd}},
};

constexpr DWORD kVoiceInfoSize
    = sizeof(kVoiceInfoHeader) + kVoiceInfoFlagBlock + std::size(kVoiceInfoRecords) * (2 + kVoiceInfoRecordFlags);

// ---- The GPS receiver's sentences ----

// "$" body "*" the two hexadecimal digits of the XOR of the body, CR LF.
BOOL BuildNmeaSentence(ByteBuffer& buffer, const char* body)
{
    static const char kHex[] = "0123456789ABCDEF";
    BYTE sum = 0;
    for (const char* p = body; *p; ++p)
        sum = static_cast<BYTE>(sum ^ static_cast<BYTE>(*p));
    const char tail[] = {'*', kHex[sum >> 4], kHex[sum & 0xF], '\r', '\n', 0};
    return buffer.Assign(reinterpret_cast<const BYTE*>("$"), 1) && buffer.AppendText(body) && buffer.AppendText(tail);
}

BOOL WriteSentence(IxSerialComm& port, const char* body)
{
    ByteBuffer buffer(kGpsGrowth);
    if (!BuildNmeaSentence(buffer, body))
        return FALSE;
    const DWORD written = port.Write(buffer.Data(), buffer.Count());
    return written == buffer.Count();
}

void DeleteOnStorage10(const WCHAR* relative)
{
    IxString path;
    if (ModelCenterGetAliasState(DEVNO_SD0) != kMounted || !ModelCenterGetDevicePath(DEVNO_SD0, path)
        || !path.Append(relative, lstrlenW(relative)))
        return;
    DeleteFileW(path.Text());
}

void SetDword(HKEY key, const WCHAR* name, DWORD value)
{
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

} // namespace

// ---------------------------------------------------------------------------
// The settings push

void CKernelObj::LoadSettingReg()
{
    NKDbgPrintfW(u"[CKernelObj] LoadSettingReg \r\n");
    CSettingModel* model = GetSettingModel();
    BYTE* status = model ? model->GetStatus() : nullptr;
    if (!status) {
        NKDbgPrintfW(u"[CKernelObj] LoadSettingReg  Complete \r\n");
        return;
    }

    // The tail lamps decide between the day and the night brightness.
    DWORD word = 0;
    const BOOL night
        = GetUnitLink().m_hMicom.Ioctl(Code(MicomIoctl::GetStatus), nullptr, 0, &word, sizeof(word), nullptr)
        && (word & static_cast<DWORD>(MicomStatusBit::TailLamp)) != 0;

    // A micom that lost its status block lost the learned remote-control
    // keys with it.
    if (GetBlock0CheckValue() == 0) {
        NKDbgPrintfW(u"Remocon Reset Checksum Zero \r\n");
        PutSettingWord(status, SETTING_REMOTEWORD, 0);
        std::memset(status + SETTING_REMOTELEARNED, 0, 4 * kSettingRemoteLearnedWords);
        model->SaveLastStatus();
    }

    CSettingRequest requests[kMaxSettingRequests];
    const int count = BuildSettingPush(status, kSettingPayloadSize, night, requests);
    HDC screen = GetDC(nullptr);
    for (int i = 0; i < count; ++i) {
        CSettingRequest& request = requests[i];
        BOOL done = FALSE;
        switch (request.target) {
        case SettingTarget::Display:
            done = screen
                && ExtEscape(screen, static_cast<int>(request.code), static_cast<int>(request.size),
                             reinterpret_cast<LPCSTR>(request.bytes), 0, nullptr)
                    > 0;
            break;
        case SettingTarget::Audio:
            if (request.code == static_cast<DWORD>(AudioIoctl::SrsOnOff))
                NKDbgPrintfW(u"TAMRO ASP: IOCTL_AUDIO_SRS_ONOFF : Value : %d \r\n", static_cast<int>(request.bytes[0]));
            done = GetUnitLink().m_hAudio.Ioctl(request.code, request.bytes, request.size, nullptr, 0, nullptr);
            break;
        case SettingTarget::Micom:
            done = GetUnitLink().m_hMicom.Ioctl(request.code, request.bytes, request.size, nullptr, 0, nullptr);
            break;
        }
        if (!done) {
            NKDbgPrintfW(u"ERROR: %s line %d: ", u".\\Source\\Main", __LINE__);
            NKDbgPrintfW(u"TAMRO ASP: %s fail [Error:%d] \r\n", request.name, static_cast<int>(GetLastError()));
        }
    }
    if (screen)
        ReleaseDC(nullptr, screen);
    NKDbgPrintfW(u"[CKernelObj] LoadSettingReg  Complete \r\n");
}

// ---------------------------------------------------------------------------
// The last status

void CKernelObj::LoadLastStatus()
{
    NKDbgPrintfW(u" [CKernelObj] LoadLastStatus() \r\n");
    // The view history is kept in the micom's status block.
    ViewCenter::LoadLastStatus();
    const BYTE* main = m_center.GetMainStatus();
    int naviView = 0;
    int notLoadNavi = 0;
    if (main) {
        const int view = SettingWord(main, MAIN_NAVIVIEW);
        naviView = IsNaviView(view) ? view : 0;
        if (main[MAIN_INITMODE] == 1 || main[MAIN_INITMODE] == 2)
            m_nInitMode = main[MAIN_INITMODE] - 1;
        notLoadNavi = main[MAIN_NOTLOADNAVI] ? 1 : 0;
        const int activity = static_cast<int>(main[MAIN_ACTIVITY]) - 1;
        if (activity >= -1 && activity <= 2)
            m_nActivity = activity;
        m_nSavedInitMode = m_nInitMode;
    }

    LoadSettingReg();

    const BYTE* setting = GetSettingStatus();
    if (setting && SettingWord(setting, SETTING_NAVIEXECUTE) == 0 && !m_bPrepared) {
        NKDbgPrintfW(u" [CKernelObj] GetRegistry_Setting()->m_bNaviExecute FALSE \r\n");
        m_fidNavi = 0;
        m_fidPermanent = 0;
        m_bNotLoadNavi = TRUE;
    } else {
        NKDbgPrintfW(u" [CKernelObj] GetRegistry_Setting()->m_bNaviExecute TRUE %d %d \r\n", naviView, notLoadNavi);
        m_fidNavi = naviView;
        m_fidPermanent = naviView;
        m_bNotLoadNavi = notLoadNavi;
    }
    NKDbgPrintfW(u"[REG] Not Load Navi : [%d]\r\n", static_cast<int>(m_bNotLoadNavi));
}

void CKernelObj::SaveLastStatus(int when)
{
    NKDbgPrintfW(u" [CKernelObj] SaveLastStatus()  when[%d] \r\n", when);
    BYTE* main = m_center.GetMainStatus();
    switch (when) {
    case 0: {
        StoreHistory();
        if (main) {
            int view = IsNaviView(m_fidPermanent) ? m_fidPermanent : m_fidNavi < 0 ? -m_fidNavi : m_fidNavi;
            PutSettingWord(main, MAIN_NAVIVIEW, IsNaviView(view) ? view : 0);
            main[MAIN_INITMODE] = static_cast<BYTE>(m_nInitMode == 1 ? 2 : 1);
            main[MAIN_NOTLOADNAVI] = static_cast<BYTE>(m_bNotLoadNavi ? 1 : 0);
            main[MAIN_ACTIVITY] = static_cast<BYTE>(m_nActivity >= 0 && m_nActivity <= 2 ? m_nActivity + 1 : 0);
            main[MAIN_ACTIVITY + 1] = 0;
            m_center.SaveMainStatus();
        }
        break;
    }
    case 2:
        if (main)
            main[MAIN_INITMODE] = static_cast<BYTE>(m_nInitMode == 1 ? 2 : 1);
        break;
    case 3:
        break;
    default:
        return;
    }
    m_center.NecmicomLastStatusSend();
}

// ---------------------------------------------------------------------------
// Keys, registry values and the voice controller's file

void CKernelObj::LoadRegistryValues()
{
    if (m_bKeysSetUp)
        return;
    m_bKeysSetUp = TRUE;
    SetupKeysAndRegistry();
}

void CKernelObj::SetupKeysAndRegistry()
{
    CKeyTranslator::AddAll(GetKernelFrame());
    AddListenedCode(ACMD_KEY_MODE);

    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\QMR\\Lumo", 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        nullptr, &key, nullptr)
        == ERROR_SUCCESS) {
        SetDword(key, u"MenuType", 3);
        SetDword(key, u"MenuImage", 0);
        SetDword(key, u"MuteBtnType", 0);
        SetDword(key, u"VolumeType", 4);
        SetDword(key, u"GPS_DATA_TYPE", IxFileExists(kNaviDrOffFlag) ? 0 : 1);
        RegCloseKey(key);
    }
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\QMR\\VOICE", 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr)
        == ERROR_SUCCESS) {
        RegSetValueExW(key, u"VOICEINFOPATH", 0, REG_SZ, reinterpret_cast<const BYTE*>(kVoiceInfoPath),
                       sizeof(kVoiceInfoPath));
        SetDword(key, u"DEVICEDISPFULL", 0);
        RegCloseKey(key);
    }

    NaviIsAvailable();
    if (!IxFileExists(kVoiceInfoPath))
        WriteVoiceInfo(kVoiceInfoPath);
}

BOOL CKernelObj::WriteVoiceInfo(LPCWSTR path)
{
    BYTE bytes[kVoiceInfoSize] = {};
    std::memcpy(bytes, kVoiceInfoHeader, sizeof(kVoiceInfoHeader));
    BYTE* flags = bytes + sizeof(kVoiceInfoHeader);
    for (BYTE offset : kVoiceInfoFlags)
        flags[offset] = 1;
    BYTE* record = flags + kVoiceInfoFlagBlock;
    for (const VoiceInfoRecord& row : kVoiceInfoRecords) {
        record[0] = static_cast<BYTE>(row.count & 0xFF);
        record[1] = static_cast<BYTE>(row.count >> 8);
        for (BYTE offset : row.flags) {
            if (offset == kEnd)
                break;
            record[2 + offset] = 1;
        }
        record += 2 + kVoiceInfoRecordFlags;
    }
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return FALSE;
    DWORD written = 0;
    const BOOL done = WriteFile(file, bytes, kVoiceInfoSize, &written, nullptr) && written == kVoiceInfoSize;
    CloseHandle(file);
    return done;
}

// ---------------------------------------------------------------------------
// Defaults and the factory reset

void CKernelObj::WriteDefaultRegistry()
{
    m_center.DefaultStatus();
    if (CSettingModel* setting = GetSettingModel()) {
        setting->ResetToDefaults();
        setting->SaveLastStatus();
    }
    DeleteOnStorage10(kPhoneBook);
    for (const WCHAR* record : kBluetoothRecords)
        DeleteFileW(record);
    DeleteOnStorage10(kUserBackground);
    m_center.NecmicomLastStatusSend();
    m_center.SaveMainStatus();
    m_center.SetEnableWords(1, 1);
    LoadLastStatus();
    NKDbgPrintfW(u"[CKernelObj] WriteDefaultRegistry() Complete  \n\r");
}

void CKernelObj::FactoryReset()
{
    NKDbgPrintfW(u"[CKernelObj] FactoryReset() \r\n");
    WriteDefaultRegistry();
    PushGlobalAction(ACMD_TILT_CLOSEFULL, AEV_DEFAULT, 0);

    m_gpsPort.Close();
    BOOL open = FALSE;
    for (int i = 0; i < kGpsOpenTries && !open; ++i)
        open = m_gpsPort.Open(u"COM4:", IXCOMM_57600);
    if (!open) {
        NKDbgPrintfW(u"[CKernelObj] FactoryReset() COM4: cannot be opened \r\n");
        // No end step follows: the reset is over, so a later end of the
        // navigation program must not run it again.
        m_bFactoryReset = FALSE;
        return;
    }
    if (!WriteSentence(m_gpsPort, "PSTMDRINIT"))
        NKDbgPrintfW(u"[CKernelObj] FactoryReset() $PSTMDRINIT not written \r\n");

    if (!GetUnitLink().m_hMicom.Ioctl(Code(MicomIoctl::Init), nullptr, 0, nullptr, 0, nullptr)) {
        NKDbgPrintfW(u"ERROR: %s line %d: ", u".\\Source\\Main", __LINE__);
        NKDbgPrintfW(u"CNEC: IOCTL_DEVICE_NECMICOM_MICOM_INIT %d\r\n", static_cast<int>(GetLastError()));
    }
    BeginTimer(TM_FACTORYRESET, kFactoryResetMs);
}

void CKernelObj::FactoryResetEnd()
{
    m_bFactoryReset = FALSE;
    if (m_gpsPort.IsOpen()) {
        if (!WriteSentence(m_gpsPort, "PSTMPWDN"))
            NKDbgPrintfW(u"[CKernelObj] FactoryReset() $PSTMPWDN not written \r\n");
        m_gpsPort.Close();
    }
    if (!GetUnitLink().m_hMicom.Ioctl(Code(MicomIoctl::Reset), nullptr, 0, nullptr, 0, nullptr)) {
        NKDbgPrintfW(u"ERROR: %s line %d: ", u".\\Source\\Main", __LINE__);
        NKDbgPrintfW(u"CNEC: IOCTL_DEVICE_NECMICOM_RESET %d\r\n", static_cast<int>(GetLastError()));
    }
}
