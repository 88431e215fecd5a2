// The setting model (model id 8999): the owner of the unit's settings record
// "Wren_Setting.reg" under "\NAND\DATA\" (781 bytes of payload behind the
// record header), which every screen reads through GetSettingStatus. The
// payload is packed and little-endian: several 32-bit fields start at odd
// offsets, so they are read and written byte by byte (SettingWord,
// PutSettingWord).
//
// What is built here is the record and the accessors the shell uses: the
// defaults, the display (contrast) values, the two audio levels (balance and
// fader), and the save. User-interface thread only.
#pragma once

#include "Source/models/LastStatusFile.h"
#include "Source/models/Model.h"

// Byte offsets of the fields of the setting record's payload.
enum : DWORD {
    SETTING_GATEBG = 0,          // 260 UTF-16 characters: the 3D menu's background picture
    SETTING_EQMODE = 520,        // EQ mode: 0-4 the fixed presets, 5 the user's values
    SETTING_USERPRESET = 524,    // which user value set (0-3) mode 5 uses
    SETTING_USEREQ = 528,        // four sets of seven bands, 32-bit each (set x 28 + band x 4)
    SETTING_SRS = 640,           // six SRS values, 32-bit each
    SETTING_SRSON = 664,         // non-zero: SRS on
    SETTING_OPTION1 = 668,       // option flag selected by 1
    SETTING_OPTION0 = 672,       // option flag selected by 0
    SETTING_MICOMBYTE = 676,     // one byte the micom keeps
    SETTING_BUTTONGAIN = 677,    // button sound gain, 0 = not set
    SETTING_BUTTONTYPE = 681,    // button sound type, -1 = not set
    SETTING_DISPLAY = 685,       // the display driver's twelve bytes
    SETTING_CONTRAST0 = 697,     // display value for day
    SETTING_CONTRAST1 = 701,     // display value for night
    SETTING_SAVERTYPE = 705,     // screen-saver type (1 pictures)
    SETTING_SAVERDELAY = 709,    // screen-saver delay in seconds
    SETTING_LEVEL1 = 713,        // audio level selected by 1: the fader
    SETTING_LEVEL0 = 717,        // audio level selected by 0: the balance
    SETTING_REMOTEWORD = 721,    // learned remote-control data (first word)
    SETTING_INTROMICOM = 725,    // the intro's micom word
    SETTING_REMOTELEARNED = 729, // learned remote-control data (ten words)
    SETTING_EFFECT = 769,        // sound effect 0-3
    SETTING_GUIDANCE = 773,      // the navigation link acts on the program's reports when non-zero
    SETTING_NAVIEXECUTE = 777,   // start the navigation program at power-on
};

inline constexpr DWORD kSettingPayloadSize = 781;
inline constexpr DWORD kSettingRecordSize = 797;
inline constexpr int kSettingRemoteLearnedWords = 10;
inline constexpr int kSettingSrsValues = 6;
inline constexpr int kSettingUserEqSets = 4;
inline constexpr int kSettingEqBands = 7;
inline constexpr const WCHAR* kSettingRecordName = u"Wren_Setting.reg";
inline constexpr const WCHAR* kDefaultGateBackground = u"\\NAND\\Wren\\Images\\3Dgate\\type07.bmp";

// A 32-bit little-endian field of the payload at any offset.
int SettingWord(const BYTE* payload, DWORD offset);
void PutSettingWord(BYTE* payload, DWORD offset, int value);
// Writes every byte of the payload with its default.
void DefaultSettingStatus(BYTE* payload);

class CSettingModel : public IxModel {
public:
    // Loads the record (defaults when it is missing or damaged).
    CSettingModel();
    ~CSettingModel() override;

    BYTE* GetStatus() const { return m_record.GetPayload(); }
    // Writes the record file.
    BOOL SaveLastStatus() { return m_record.Save(); }
    // Every field back to its default (the file is written at the next save).
    void ResetToDefaults();

private:
    class CRecord : public LastStatusFile {
    public:
        CRecord() : LastStatusFile(kSettingRecordSize, TRUE) {}

    protected:
        void DefaultPayload(BYTE* payload, DWORD size) override;
    };

    CRecord m_record;
};

// The setting model of the model center, created on first use (the center's
// list holds it); null without a model center.
CSettingModel* GetSettingModel();
// The setting model when it exists, else null (nothing is created).
CSettingModel* FindSettingModel();
// The payload of the setting record; null without the setting model.
BYTE* GetSettingStatus();
// The display value for day (0) or night (1); 0 without the setting model.
int SettingGetContrastValue(int which);
// The audio level selected by which (1 the fader at 713, else the balance
// at 717); 0 without the setting model.
int SettingGetLevel(int which);
