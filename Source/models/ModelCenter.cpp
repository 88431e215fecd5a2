#include "Source/models/ModelCenter.h"

#include "Lib_cpp/core/ActionCodes.h"
#include "Lib_cpp/core/Diag.h"
#include "Lib_cpp/core/Utility.h"
#include "Lib_cpp/kernel/Kernel.h"
#include "Source/models/Model.h"
#include "Source/models/ModelCodes.h"
#include "Source/models/StorageWatcher.h"
#include "Source/models/UnitLink.h"
#include "platform/base/Error.h"
#include "platform/base/Text.h"
#include "platform/io/AudioDriver.h"
#include "platform/io/RawDisk.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

CModelCenter* g_pCenter = nullptr;
int g_nBlock0Check = -1;
WCHAR g_micomText[kMicomTextChars] = {};
BOOL g_bSecondZoneBroadcast = FALSE;
BOOL g_bCameraAudio = FALSE;
int g_nRearCamState = 0;
IxModel* (*g_pfnBareModel)() = nullptr;

// Level to the audio processor's volume step (0 ... 50).
constexpr int kLevelPerStep = IxModelCenter::kMaxLevel / kAudioVolumeSteps;

BYTE StepOf(int level)
{
    return static_cast<BYTE>(std::clamp(level, 0, IxModelCenter::kMaxLevel) / kLevelPerStep);
}

DWORD Code(AudioIoctl code)
{
    return static_cast<DWORD>(code);
}

DWORD Code(MicomIoctl code)
{
    return static_cast<DWORD>(code);
}

// The devices of the unit, registered in this order: number, path,
// poll interval, poll count, detach delay, failure wait.
struct DeviceRow {
    int number;
    const WCHAR* path;
    int interval;
    int count;
    int detachDelay;
    int failureWait;
};

const DeviceRow kFirstDevices[] = {
    {DEVNO_ACC, nullptr, 500, -1, 6000, 0},     {DEVNO_CAMERA71, nullptr, 500, -1, 0, 0},
    {DEVNO_REARCAMERA, nullptr, 500, -1, 0, 0}, {DEVNO_PARK, nullptr, 0, 0, 0, 0},
    {DEVNO_103, nullptr, 0, 0, 0, 0},
};

const DeviceRow kLaterDevices[] = {
    {DEVNO_SD0, u"\\Storage Card", 650, 20, 0, 0}, {DEVNO_SD1, u"\\Storage Card2", 650, 20, 0, 0},
    {DEVNO_IPOD, nullptr, 30000, 1, 0, 0},         {DEVNO_BLUETOOTH, nullptr, 30000, 1, 0, 0},
    {DEVNO_AUX, nullptr, 500, 30, 0, 0},           {DEVNO_CAMERA1, nullptr, 500, 30, 0, 0},
    {DEVNO_CAMERA2, nullptr, 500, 30, 0, 0},       {DEVNO_DVD, nullptr, 60000, 1, 0, 0},
    {DEVNO_USB, u"\\HDD", 200, 10, 0, 0},
};

BOOL RecordPath(const WCHAR* name, IxString& path)
{
    return path.Assign(kRecordFolder) && path.Append(name, lstrlenW(name));
}

} // namespace

// ---------------------------------------------------------------------------
// The status block

void DefaultBlock0(BYTE* block)
{
    std::memset(block, 0, 44); // clean-up mark ... the bytes before 44
    platform::PutRawWord(block + B0_VOLUME, 2500);
    platform::PutRawWord(block + B0_SECONDVOLUME, 5000);
    platform::PutRawWord(block + B0_GUIDANCE, 3);
    block[36] = 1;
    block[B0_REARVIEW] = 1;
    platform::PutRawWord(block + B0_NAVIWORD, 0xFFFFFFFE);
    platform::PutRawWord(block + 69, 0);
    std::memset(block + 76, 0, 124 - 76);
    const DWORD fm[3] = {8910, 8810, 8750};
    const DWORD am[3] = {603, 891, 639};
    for (int band = 0; band < 3; ++band) {
        platform::PutRawWord(block + B0_FMFREQUENCY + 4 * band, fm[band]);
        platform::PutRawWord(block + B0_AMFREQUENCY + 4 * band, am[band]);
    }
    platform::PutRawWord(block + B0_DMBCHANNEL, 0xFFFFFFFF);
    platform::PutRawWord(block + B0_DABCHANNEL, 0xFFFFFFFF);
    // A block without its micom has no text either.
    std::fill(std::begin(g_micomText), std::end(g_micomText), WCHAR(0));
}

DWORD Block0Sum(const BYTE* block)
{
    DWORD sum = 0;
    for (DWORD i = 0; i < B0_CHECKSUM; ++i)
        sum += block[i];
    return sum;
}

int AcceptBlock0(BYTE* block)
{
    const DWORD sum = Block0Sum(block);
    if (sum != 0 && platform::GetRawWord(block + B0_CHECKSUM) == sum)
        return static_cast<int>(sum);
    DefaultBlock0(block);
    return sum == 0 ? 0 : -1;
}

void TakeMicomText(const BYTE* bytes, DWORD size, WCHAR* text)
{
    std::fill(text, text + kMicomTextChars, WCHAR(0));
    if (!bytes || size < kMicomTextBlockSize)
        return;
    for (int i = 0; i < kMicomTextChars - 1; ++i) {
        const WCHAR c = static_cast<WCHAR>(bytes[2 * i] | bytes[2 * i + 1] << 8);
        if (c == 0)
            break;
        text[i] = c;
    }
}

BYTE AudioInputOf(int modelId)
{
    switch (modelId) {
    case MODELID_MOVIE:
    case MODELID_MUSIC:
    case MODELID_PHOTO:
        return 0;
    case MODELID_DMB:
    case MODELID_DAB:
        return 1;
    case MODELID_DVD:
        return 2;
    case MODELID_IPODVIDEO:
    case MODELID_IPODAUDIO:
        return 4;
    case MODELID_AUX:
        return 5;
    case MODELID_BLUETOOTH:
        return 6;
    case MODELID_CAMERA2:
        return 7;
    case MODELID_CAMERA1:
        return 8;
    default:
        return modelId >= MODELID_FM && modelId <= MODELID_TUNERLAST ? 3 : kAudioInputCount - 1;
    }
}

// ---------------------------------------------------------------------------
// The center

CModelCenter::CModelCenter()
    : IxModelCenter(50, 50, 0, 0), m_mainRecord(kMainRecordSize, TRUE), m_miscRecord(kMiscRecordSize, TRUE)
{
}

CModelCenter::~CModelCenter()
{
    if (m_pWatcher) {
        SetDeviceManager(nullptr);
        delete m_pWatcher;
        m_pWatcher = nullptr;
    }
    if (g_pCenter == this)
        g_pCenter = nullptr;
}

CModelCenter* CModelCenter::GetCenter()
{
    return g_pCenter;
}

DWORD CModelCenter::Word(DWORD offset) const
{
    return platform::GetRawWord(m_block0.data() + offset);
}

void CModelCenter::SetWord(DWORD offset, DWORD value)
{
    platform::PutRawWord(m_block0.data() + offset, value);
}

void CModelCenter::ReadBlocks()
{
    IxDeviceHandle& micom = GetUnitLink().m_hMicom;
    BYTE block[kMicomBlock0Size] = {};
    DWORD returned = 0;
    if (micom.Ioctl(Code(MicomIoctl::ReadBlock0), nullptr, 0, block, kMicomBlock0Size, &returned)
        && returned == kMicomBlock0Size) {
        std::memcpy(m_block0.data(), block, kMicomBlock0Size);
        IxTrace(u"CModelCenter::Create()   CheckSum %d \n\r ", static_cast<int>(Block0Sum(m_block0.data())));
        g_nBlock0Check = AcceptBlock0(m_block0.data());
    } else {
        IxTrace(u"ERROR : CModelCenter::Create() : Failed read Block0 registry..\r\n");
        DefaultBlock0(m_block0.data());
    }

    BYTE text[kMicomTextBlockSize] = {};
    returned = 0;
    if (!micom.Ioctl(Code(MicomIoctl::ReadTextBlock), nullptr, 0, text, kMicomTextBlockSize, &returned)) {
        returned = 0;
        if (!micom.Ioctl(Code(MicomIoctl::ReadTextBlockOld), nullptr, 0, text, kMicomTextBlockSize, &returned))
            returned = 0;
    }
    TakeMicomText(text, returned, g_micomText);
}

void CModelCenter::RegisterDevices()
{
    auto* watcher = new (std::nothrow) StorageWatcher;
    if (!watcher) {
        IxRecordNoMemory();
        return;
    }
    m_pWatcher = watcher;
    SetDeviceManager(watcher);
    for (const DeviceRow& row : kFirstDevices)
        watcher->AddDevice(row.number, row.path, row.interval, row.count, row.detachDelay, row.failureWait);
    watcher->AddAlias(DEVNO_SD0, u"Navi", u"\\S", 1);
    watcher->AddAlias(DEVNO_SD1, u"SD2", u"\\S", 0);
    for (const DeviceRow& row : kLaterDevices)
        watcher->AddDevice(row.number, row.path, row.interval, row.count, row.detachDelay, row.failureWait);
    watcher->SetDisplayName(DEVNO_USB, u"USB");
    watcher->Start(FALSE, nullptr);
}

BOOL CModelCenter::Create()
{
    g_pCenter = this;
    IxCreateDirectoryPath(kRecordFolder);

    g_nBlock0Check = -1;
    if (GetUnitLink().m_hMicom.Open(u"NEC1:"))
        ReadBlocks();

    IxString path;
    if (RecordPath(kMainRecordName, path))
        m_mainRecord.Load(path.Text(), kRecordHeaderA, kRecordHeaderB);
    if (RecordPath(kMiscRecordName, path))
        m_miscRecord.Load(path.Text(), kRecordHeaderA, kRecordHeaderB);

    RegisterDevices();

    SetPlayerLevel(kMaxLevel);
    SetVolume(static_cast<int>(Word(B0_VOLUME)));
    const int second = Word(B0_SECONDMUTE) ? 0 : static_cast<int>(Word(B0_SECONDVOLUME));
    SetSecondVolume(ZONE_SECOND, second, FALSE);
    SetFade(5, 25);
    return TRUE;
}

void CModelCenter::DefaultStatus()
{
    m_mainRecord.SetDefaults(kRecordHeaderA, kRecordHeaderB);
    DefaultBlock0(m_block0.data());
}

void CModelCenter::Destroy()
{
    ReleaseAllModels();
    if (m_pWatcher) {
        m_pWatcher->Stop();
        SetDeviceManager(nullptr);
        delete m_pWatcher;
        m_pWatcher = nullptr;
    }
}

void CModelCenter::NecmicomLastStatusSend()
{
    IxDeviceHandle& micom = GetUnitLink().m_hMicom;
    SetWord(B0_CHECKSUM, Block0Sum(m_block0.data()));
    if (!micom.Ioctl(Code(MicomIoctl::WriteBlock0), m_block0.data(), kMicomBlock0Size, nullptr, 0, nullptr)) {
        const DWORD error = GetLastError();
        IxTrace(u"ERROR: %s line %d: ", u".\\Source\\Model", 1216);
        IxTrace(u"CNEC: NecmicomLastStatusSend 00 %d\r\n", error);
    }
    BYTE text[kMicomTextBlockSize] = {};
    for (int i = 0; i < kMicomTextChars; ++i) {
        text[2 * i] = static_cast<BYTE>(g_micomText[i]);
        text[2 * i + 1] = static_cast<BYTE>(g_micomText[i] >> 8);
    }
    if (!micom.Ioctl(Code(MicomIoctl::WriteTextBlock), text, kMicomTextBlockSize, nullptr, 0, nullptr)) {
        const DWORD error = GetLastError();
        IxTrace(u"ERROR: %s line %d: ", u".\\Source\\Model", 1220);
        IxTrace(u"CNEC: NecmicomLastStatusSend 01 %d\r\n", error);
    }
}

BOOL CModelCenter::SetCameraAudioMode(BOOL on)
{
    g_bCameraAudio = on;
    const BOOL result = GetUnitLink().m_hAudio.IoctlByte(Code(AudioIoctl::CameraAudio), on ? 1 : 0);
    if (result && on) {
        Pause(200);
        WantRequestB();
    }
    return result;
}

// ---------------------------------------------------------------------------
// The hardware

void CModelCenter::OnLevelZero(BOOL zero)
{
    SetMicomByte(zero, zero);
}

BOOL CModelCenter::SetSourceMode(int newPath, int, int zone)
{
    const BYTE input = AudioInputOf(newPath);
    if (zone == ZONE_MAIN && newPath != -1 && newPath != MODELID_MOVIE) {
        const IxModel* second = GetZoneOwner(ZONE_SECOND);
        if (second && second->GetModelId() == MODELID_MOVIE) {
            IxModel* bare = g_pfnBareModel ? g_pfnBareModel() : FindModel(MODELID_BARE);
            RequestSource(bare, MRF_AUDIO | MRF_VIDEO, ZONE_SECOND);
            PushGlobalAction(MCA_SECONDZONEMOVED, AEV_DEFAULT, 0);
        }
    }
    Pause(200);
    const AudioIoctl code = zone == ZONE_MAIN ? AudioIoctl::MainSource : AudioIoctl::SecondSource;
    const BOOL result = GetUnitLink().m_hAudio.IoctlByte(Code(code), input);
    PushGlobalAction(MCA_SOURCECHANGED, AEV_DEFAULT, newPath);
    if (zone != ZONE_MAIN)
        g_bSecondZoneBroadcast = newPath == MODELID_DMB || newPath == MODELID_DAB;
    return result;
}

BOOL CModelCenter::SetMicomByte(BOOL on, BOOL)
{
    if (on)
        Pause(100);
    const BOOL result = GetUnitLink().m_hMicom.IoctlByte(Code(MicomIoctl::AmpMute), on ? 1 : 0);
    if (!on)
        Pause(150);
    return result;
}

BOOL CModelCenter::SetZoneMute(int zone, BOOL on)
{
    const DWORD value = on ? 1 : 0;
    if (Word(B0_SECONDMUTE) == value)
        return TRUE;
    SetWord(B0_SECONDMUTE, value);
    return ApplyZoneVolume(zone, 1, on ? 0 : static_cast<int>(Word(B0_SECONDVOLUME)));
}

BOOL CModelCenter::devMute(BOOL on)
{
    BOOL tuning = FALSE;
    if (const IxModel* owner = GetZoneOwner(ZONE_MAIN)) {
        const int id = owner->GetModelId();
        if (id == MODELID_FM || id == MODELID_AM) {
            if (const IxModel* tuner = FindModel(id))
                tuning = tuner->IsTunerTuning();
        }
    }
    IxTrace(u"[ModelCenter] devMute() : mute=[%s] \r\n", on ? u"On" : u"Off");
    IxDeviceHandle& audio = GetUnitLink().m_hAudio;
    audio.IoctlByte(Code(AudioIoctl::Mute), on ? 1 : 0);
    const BOOL result
        = audio.IoctlByte(Code(AudioIoctl::MainVolume), on ? 0 : StepOf(static_cast<int>(Word(B0_VOLUME))));
    Pause(tuning ? (on ? 50 : 120) : 200);
    return result;
}

BOOL CModelCenter::ApplyZoneVolume(int zone, int, int level)
{
    if (zone != ZONE_SECOND)
        return TRUE;
    level = std::clamp(level, 0, kMaxLevel);
    const BYTE step = StepOf(level);
    const BOOL result = GetUnitLink().m_hAudio.IoctlByte(Code(AudioIoctl::SecondVolume), step);
    if (step != 0) {
        SetWord(B0_SECONDVOLUME, static_cast<DWORD>(level));
        NecmicomLastStatusSend();
    }
    return result;
}

BOOL CModelCenter::ApplyMainVolume(int, int level)
{
    level = std::clamp(level, 0, kMaxLevel);
    const BOOL result = GetUnitLink().m_hAudio.IoctlByte(Code(AudioIoctl::MainVolume), StepOf(level));
    SetWord(B0_VOLUME, static_cast<DWORD>(level));
    return result;
}

// ---------------------------------------------------------------------------
// The process-wide state

BYTE* GetBlock0()
{
    return g_pCenter ? g_pCenter->GetBlock0() : nullptr;
}

int GetBlock0CheckValue()
{
    return g_nBlock0Check;
}

const WCHAR* GetMicomText()
{
    return g_micomText;
}

BOOL IsSecondZoneBroadcast()
{
    return g_bSecondZoneBroadcast;
}

BOOL GetCameraAudioMode()
{
    return g_bCameraAudio;
}

void SendLastStatus()
{
    if (g_pCenter)
        g_pCenter->NecmicomLastStatusSend();
}

BOOL ModelCenterDevMute(BOOL on)
{
    return g_pCenter ? g_pCenter->devMute(on) : FALSE;
}

BOOL SetCameraAudioMode(BOOL on)
{
    return g_pCenter ? g_pCenter->SetCameraAudioMode(on) : FALSE;
}

void ModelCenterHideVideo(BOOL hide)
{
    if (g_pCenter)
        g_pCenter->HideVideo(hide);
}

BYTE* GetMiscStatus()
{
    return g_pCenter ? g_pCenter->GetMiscStatus() : nullptr;
}

BOOL SaveMiscStatus()
{
    return g_pCenter ? g_pCenter->SaveMiscStatus() : FALSE;
}

BOOL ModelCenterGetDevicePath(int device, IxString& path)
{
    return g_pCenter ? g_pCenter->GetPath(device, path) : FALSE;
}

int ModelCenterGetAliasState(int device)
{
    return g_pCenter ? g_pCenter->GetAliasState(device) : 0;
}

void SetBareModelSource(IxModel* (*source)())
{
    g_pfnBareModel = source;
}

void SetRearCamOn()
{
    g_nRearCamState = 1;
}

void ResetRearCamState()
{
    if (g_nRearCamState == -1)
        g_nRearCamState = 0;
}

void MarkRearCamDetached()
{
    if (g_nRearCamState == 1)
        g_nRearCamState = -1;
}

BOOL IsRearCamOn()
{
    return g_nRearCamState == 1;
}

int GetRearCamState()
{
    return g_nRearCamState;
}
