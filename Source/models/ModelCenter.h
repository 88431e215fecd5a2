// The application's model center: the one IxModelCenter of Wren. On top of
// the base it keeps the micom's status block (Block0: 140 bytes the micom
// keeps across power cycles, checked by a byte sum) and its 240-byte text
// block, opens the center's own last-status records ("Wren_Main.reg",
// "Wren_Misc.reg"), starts the storage watcher as the center's device
// manager, and drives the hardware: the audio processor's source switches,
// volumes and device mute, and the micom's amplifier mute line.
//
// The kernel application object constructs it, sets the initial mute and
// calls Create once; Destroy undoes Create. The drivers are the main
// window's shared handles (CUnitLink); the center opens "NEC1:" itself when
// it is not open yet.
#pragma once

#include "Source/models/LastStatusFile.h"
#include "Source/models/ModelCenterBase.h"
#include "platform/io/MicomDriver.h"

#include <array>

class IxModel;
class StorageWatcher;

// Fields of Block0 (byte offsets; words are little-endian and may be
// unaligned).
enum : DWORD {
    B0_CLEANUP = 0,       // word: 1 when the unit cleaned up for power off
    B0_VOLUME = 20,       // word: main volume level 0 ... 10000
    B0_SECONDVOLUME = 24, // word: second-zone volume level
    B0_GUIDANCE = 28,     // word: navigation guidance level (negative reads as 3)
    B0_SECONDMUTE = 32,   // word: non-zero when the second zone is muted
    B0_VIEWHISTORY = 40,  // 5 words: the screens' view history, oldest first, 0-ended
    B0_REARVIEW = 64,     // byte: the rear view's guide lines
    B0_NAVIWORD = 65,     // word cleared by the navigation link
    B0_FMPRESET = 77,     // 3 bytes: current preset of each FM band
    B0_FMFREQUENCY = 83,  // 3 words: current frequency of each FM band (10 kHz)
    B0_AMPRESET = 96,     // 3 bytes: current preset of each AM band
    B0_AMFREQUENCY = 102, // 3 words: current frequency of each AM band (kHz)
    B0_DMBMODE = 114,     // byte
    B0_DMBCHANNEL = 115,  // word, -1 none
    B0_DABMODE = 119,     // byte
    B0_DABCHANNEL = 120,  // word, -1 none
    B0_CHECKSUM = kMicomBlock0SumOffset,
};

using CBlock0 = std::array<BYTE, kMicomBlock0Size>;
// The micom's text block: 120 UTF-16 characters, the text and its zero.
inline constexpr int kMicomTextChars = static_cast<int>(kMicomTextBlockSize / 2);

// The header words every record of the unit carries.
inline constexpr DWORD kRecordHeaderA = 0;
inline constexpr DWORD kRecordHeaderB = 8;
inline constexpr const WCHAR* kRecordFolder = u"\\NAND\\DATA\\";
inline constexpr const WCHAR* kMainRecordName = u"Wren_Main.reg";
inline constexpr const WCHAR* kMiscRecordName = u"Wren_Misc.reg";
inline constexpr DWORD kMainRecordSize = 24;
inline constexpr DWORD kMiscRecordSize = 48;

// Fills the factory defaults into a status block; the bytes it does not
// name keep their value, the checksum word is not computed. The micom's
// text block is emptied too.
void DefaultBlock0(BYTE* block);
// The byte sum of the block's first 136 bytes.
DWORD Block0Sum(const BYTE* block);
// Takes a status block as read from the micom: answers the sum when the
// block is accepted (the stored checksum equals a non-zero sum); otherwise
// fills the defaults and answers 0 when the bytes summed to zero, else -1.
int AcceptBlock0(BYTE* block);
// The text block read from the micom as text: the characters up to the
// first zero, at most kMicomTextChars - 1, the rest zeroed. size is the
// number of bytes read (fewer than the block leaves the text empty).
void TakeMicomText(const BYTE* bytes, DWORD size, WCHAR* text);

// The input of the audio processor that a model's source uses (0 ... 9).
BYTE AudioInputOf(int modelId);

class CModelCenter : public IxModelCenter {
public:
    CModelCenter();
    ~CModelCenter() override;

    // Start-up: the status block, the records, the storage watcher, the
    // volumes. Answers 1.
    BOOL Create();
    // Releases every model and stops and deletes the storage watcher.
    void Destroy();

    // The process's application center; null before Create.
    static CModelCenter* GetCenter();

    // Sends the status block (with its checksum computed now) and the text
    // block to the micom.
    void NecmicomLastStatusSend();
    BOOL SaveMainStatus() { return m_mainRecord.Save(); }
    // The Main record's payload and the status block back to their defaults
    // (nothing is written or sent).
    void DefaultStatus();
    BOOL SaveMiscStatus() { return m_miscRecord.Save(); }
    BYTE* GetMainStatus() const { return m_mainRecord.GetPayload(); }
    BYTE* GetMiscStatus() const { return m_miscRecord.GetPayload(); }
    // The camera's audio path of the audio processor; with on, after it
    // switched, request B is wanted.
    BOOL SetCameraAudioMode(BOOL on);

    BYTE* GetBlock0() { return m_block0.data(); }
    StorageWatcher* GetWatcher() const { return m_pWatcher; }

    // The device mute of the main output: the audio processor's mute and
    // volume, then the wait the hardware needs.
    BOOL devMute(BOOL on) override;

protected:
    void OnLevelZero(BOOL zero) override;
    BOOL SetSourceMode(int newPath, int oldPath, int zone) override;
    BOOL SetMicomByte(BOOL on, BOOL flag) override;
    BOOL SetZoneMute(int zone, BOOL on) override;
    BOOL ApplyZoneVolume(int zone, int path, int level) override;
    BOOL ApplyMainVolume(int path, int level) override;

private:
    void ReadBlocks();
    void RegisterDevices();
    DWORD Word(DWORD offset) const;
    void SetWord(DWORD offset, DWORD value);

    CBlock0 m_block0{};
    LastStatusFile m_mainRecord;
    LastStatusFile m_miscRecord;
    StorageWatcher* m_pWatcher = nullptr;
};

// ---- The process-wide state beside the center ----
// The status block of the center (null without one).
BYTE* GetBlock0();
// -1 not known or refused, 0 the block summed to zero, else the accepted sum.
int GetBlock0CheckValue();
// The micom's text block as text (kMicomTextChars characters).
const WCHAR* GetMicomText();
// 1 when the second zone was last switched to DMB or DAB.
BOOL IsSecondZoneBroadcast();
BOOL GetCameraAudioMode();
// CModelCenter::NecmicomLastStatusSend on the center; nothing without one.
void SendLastStatus();
// The center's device mute; 0 without a center.
BOOL ModelCenterDevMute(BOOL on);
// CModelCenter::SetCameraAudioMode on the center; 0 without one.
BOOL SetCameraAudioMode(BOOL on);
// Counts a request to hide (1) or to release (0) the current source's
// video on the center (the first hide hides it, the last release shows it);
// nothing without a center.
void ModelCenterHideVideo(BOOL hide);
// The Misc record's payload and its save (null and 0 without a center).
BYTE* GetMiscStatus();
BOOL SaveMiscStatus();
// The device's root path; 0 when the device is unknown or there is no center.
BOOL ModelCenterGetDevicePath(int device, IxString& path);
// The state of a device or alias (3 mounted); 0 without a center.
int ModelCenterGetAliasState(int device);
// The bare model the second zone falls to when the main zone leaves the
// movie while the movie plays there; null: the zone is only emptied.
void SetBareModelSource(IxModel* (*source)());

// The rear camera: 1 on, 0 off, -1 detached.
void SetRearCamOn();
void ResetRearCamState();
void MarkRearCamDetached();
BOOL IsRearCamOn();
int GetRearCamState();
