// The settings push over a stored setting record: whatever the record
// holds, the push is the display's two escapes, balance and fader, the
// effect, the micom byte, at most the two button requests, and either the
// SRS switch off with seven bands 1-7 or on with the six SRS values; every
// value is one the audio processor takes. The first input byte picks day or
// night; the rest are patches of the default record, six bytes each: a
// 16-bit offset (taken modulo the payload) and four bytes written there.
#include "Source/shell/SettingPush.h"
#include "Source/models/SettingModel.h"
#include "fuzz/FuzzTarget.h"
#include "platform/io/AudioDriver.h"
#include "platform/io/MicomDriver.h"

#include <algorithm>
#include <cstddef>
#include <vector>

WREN_FUZZ_TARGET(SettingPush)
{
    if (size < 1)
        return 0;
    std::vector<BYTE> payload(kSettingPayloadSize);
    DefaultSettingStatus(payload.data());
    for (std::size_t at = 1; at + 6 <= size; at += 6) {
        const std::size_t offset = (data[at] | data[at + 1] << 8) % (kSettingPayloadSize - 3);
        std::copy(data + at + 2, data + at + 6, payload.begin() + static_cast<std::ptrdiff_t>(offset));
    }
    CSettingRequest requests[kMaxSettingRequests];
    const int count = BuildSettingPush(payload.data(), kSettingPayloadSize, data[0] & 1, requests);
    FUZZ_CHECK(count >= 12 && count <= 15);
    FUZZ_CHECK(requests[0].target == SettingTarget::Display && requests[0].size == 12);
    FUZZ_CHECK(requests[1].target == SettingTarget::Display && requests[1].size == 4);
    int bands = 0;
    int srs = 0;
    int srsSwitch = -1;
    for (int i = 2; i < count; ++i) {
        const CSettingRequest& r = requests[i];
        if (r.target == SettingTarget::Micom) {
            FUZZ_CHECK(r.code == static_cast<DWORD>(MicomIoctl::Setting) && r.size == 1);
            continue;
        }
        FUZZ_CHECK(r.target == SettingTarget::Audio);
        switch (static_cast<AudioIoctl>(r.code)) {
        case AudioIoctl::BalanceFader:
            FUZZ_CHECK(r.size == 2);
            break;
        case AudioIoctl::Effect:
            FUZZ_CHECK(r.size == 1 && r.bytes[0] <= kEffectMax);
            break;
        case AudioIoctl::ButtonType:
            FUZZ_CHECK(r.size == 1);
            break;
        case AudioIoctl::ButtonGain:
            FUZZ_CHECK(r.size == 1 && r.bytes[0] <= kButtonGainMax);
            break;
        case AudioIoctl::SrsOnOff:
            FUZZ_CHECK(r.size == 1 && r.bytes[0] <= 1 && srsSwitch == -1);
            srsSwitch = r.bytes[0];
            break;
        case AudioIoctl::EqBand:
            FUZZ_CHECK(srsSwitch == 0 && r.size == 2 && r.bytes[0] == bands + 1 && r.bytes[1] <= kEqMax);
            ++bands;
            break;
        case AudioIoctl::SrsValue1:
        case AudioIoctl::SrsValue2:
        case AudioIoctl::SrsValue3:
        case AudioIoctl::SrsValue4:
        case AudioIoctl::SrsValue5:
            FUZZ_CHECK(srsSwitch == 1 && r.size == 1 && r.bytes[0] <= kEqMax);
            ++srs;
            break;
        case AudioIoctl::SrsValue6:
            FUZZ_CHECK(srsSwitch == 1 && r.size == 1 && r.bytes[0] <= kSrs6Max && srs == 5);
            ++srs;
            break;
        default:
            FUZZ_CHECK(false);
        }
    }
    FUZZ_CHECK(srsSwitch == 0 ? bands == 7 && srs == 0 : bands == 0 && srs == 6);
    return 0;
}
