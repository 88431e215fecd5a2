#include "Source/shell/SettingPush.h"

#include "Source/models/SettingModel.h"
#include "platform/gfx/DisplayDriver.h"
#include "platform/io/AudioDriver.h"
#include "platform/io/MicomDriver.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int kPresets[kEqPresetCount][kSettingEqBands] = {
    {10, 10, 10, 10, 10, 10, 10}, {8, 12, 15, 13, 15, 14, 20}, {15, 15, 9, 13, 15, 14, 20},
    {15, 15, 10, 6, 10, 15, 16},  {10, 10, 10, 11, 10, 6, 2},
};

// The SRS values 1-5 and their requests; value 6 has its own range.
constexpr AudioIoctl kSrsRequests[kSettingSrsValues - 1] = {
    AudioIoctl::SrsValue1, AudioIoctl::SrsValue2, AudioIoctl::SrsValue3, AudioIoctl::SrsValue4, AudioIoctl::SrsValue5,
};
constexpr const WCHAR* kSrsNames[kSettingSrsValues - 1] = {
    u"IOCTL_AUDIO_SRS_VALUE1", u"IOCTL_AUDIO_SRS_VALUE2", u"IOCTL_AUDIO_SRS_VALUE3",
    u"IOCTL_AUDIO_SRS_VALUE4", u"IOCTL_AUDIO_SRS_VALUE5",
};

BYTE Clamp(int value, int high)
{
    return static_cast<BYTE>(std::clamp(value, 0, high));
}

class Builder {
public:
    explicit Builder(CSettingRequest* out) : m_out(out) {}
    void Add(SettingTarget target, DWORD code, const WCHAR* name, const BYTE* bytes, DWORD size)
    {
        if (m_count >= kMaxSettingRequests)
            return;
        CSettingRequest& request = m_out[m_count++];
        request.target = target;
        request.code = code;
        request.name = name;
        request.size = size;
        std::memset(request.bytes, 0, sizeof(request.bytes));
        std::memcpy(request.bytes, bytes, size);
    }
    void Audio(AudioIoctl code, const WCHAR* name, BYTE a)
    {
        Add(SettingTarget::Audio, static_cast<DWORD>(code), name, &a, 1);
    }
    void Audio(AudioIoctl code, const WCHAR* name, BYTE a, BYTE b)
    {
        const BYTE bytes[2] = {a, b};
        Add(SettingTarget::Audio, static_cast<DWORD>(code), name, bytes, 2);
    }
    int Count() const { return m_count; }

private:
    CSettingRequest* m_out;
    int m_count = 0;
};

// The seven band values of the record's EQ: the mode's preset, or in the
// user mode the chosen user set; flat when the mode or the set is out of
// range.
void EqBands(const BYTE* payload, int* bands)
{
    int mode = SettingWord(payload, SETTING_EQMODE);
    if (mode < 0 || mode > kEqUserMode)
        mode = 0;
    if (mode < kEqPresetCount) {
        std::copy(kPresets[mode], kPresets[mode] + kSettingEqBands, bands);
        return;
    }
    const int set = SettingWord(payload, SETTING_USERPRESET);
    if (set < 0 || set >= kSettingUserEqSets) {
        std::copy(kPresets[0], kPresets[0] + kSettingEqBands, bands);
        return;
    }
    for (int band = 0; band < kSettingEqBands; ++band)
        bands[band] = SettingWord(payload, SETTING_USEREQ + static_cast<DWORD>(set * 28 + band * 4));
}

} // namespace

const int* EqPreset(int mode)
{
    return mode >= 0 && mode < kEqPresetCount ? kPresets[mode] : nullptr;
}

int BuildSettingPush(const BYTE* payload, DWORD size, BOOL night, CSettingRequest* out)
{
    if (!payload || size < kSettingPayloadSize)
        return 0;
    Builder push(out);

    // Display: the driver's settings, then the brightness of day or night.
    push.Add(SettingTarget::Display, static_cast<DWORD>(DisplayEscape::Settings), u"DISPLAY_SETTINGS",
             payload + SETTING_DISPLAY, kDisplaySettingsSize);
    const int brightness = SettingWord(payload, night ? SETTING_CONTRAST1 : SETTING_CONTRAST0);
    BYTE word[4];
    for (int i = 0; i < 4; ++i)
        word[i] = static_cast<BYTE>(static_cast<DWORD>(brightness) >> (8 * i));
    push.Add(SettingTarget::Display, static_cast<DWORD>(DisplayEscape::Brightness), u"DISPLAY_BRIGHTNESS", word, 4);

    // Balance and fader: the low byte of each level.
    push.Audio(AudioIoctl::BalanceFader, u"IOCTL_AUDIO_BALANCE_FADER",
               static_cast<BYTE>(SettingWord(payload, SETTING_LEVEL0)),
               static_cast<BYTE>(SettingWord(payload, SETTING_LEVEL1)));

    const int effect = SettingWord(payload, SETTING_EFFECT);
    push.Audio(AudioIoctl::Effect, u"IOCTL_AUDIO_EFFECT",
               static_cast<BYTE>(effect >= 0 && effect <= kEffectMax ? effect : 0));

    const BYTE micom = payload[SETTING_MICOMBYTE];
    push.Add(SettingTarget::Micom, static_cast<DWORD>(MicomIoctl::Setting), u"IOCTL_DEVICE_NECMICOM_SETTING", &micom,
             1);

    const int type = SettingWord(payload, SETTING_BUTTONTYPE);
    if (type != -1)
        push.Audio(AudioIoctl::ButtonType, u"IOCTL_AUDIO_BUTTON_TYPE", static_cast<BYTE>(type));
    const int gain = SettingWord(payload, SETTING_BUTTONGAIN);
    if (gain != 0) {
        // The stored gain counts from 1; the processor's from 0. A gain
        // outside the processor's range (any stored word) sends 0.
        const BOOL inRange = gain >= 1 && gain <= kButtonGainMax + 1;
        push.Audio(AudioIoctl::ButtonGain, u"IOCTL_AUDIO_BUTTON_GAIN", static_cast<BYTE>(inRange ? gain - 1 : 0));
    }

    const BOOL srsOn = (payload[SETTING_SRSON] | payload[SETTING_SRSON + 1]) != 0;
    if (!srsOn) {
        push.Audio(AudioIoctl::SrsOnOff, u"IOCTL_AUDIO_SRS_ONOFF", 0);
        int bands[kSettingEqBands];
        EqBands(payload, bands);
        for (int band = 0; band < kSettingEqBands; ++band)
            push.Audio(AudioIoctl::EqBand, u"IOCTL_AUDIO_EQ_BAND", static_cast<BYTE>(band + 1),
                       Clamp(bands[band], kEqMax));
    } else {
        push.Audio(AudioIoctl::SrsOnOff, u"IOCTL_AUDIO_SRS_ONOFF", 1);
        for (int i = 0; i < kSettingSrsValues - 1; ++i)
            push.Audio(kSrsRequests[i], kSrsNames[i],
                       Clamp(SettingWord(payload, SETTING_SRS + static_cast<DWORD>(4 * i)), kEqMax));
        push.Audio(AudioIoctl::SrsValue6, u"IOCTL_AUDIO_SRS_VALUE6",
                   Clamp(SettingWord(payload, SETTING_SRS + 4 * (kSettingSrsValues - 1)), kSrs6Max));
    }
    return push.Count();
}
