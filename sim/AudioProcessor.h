// The audio processor behind the driver "ASP1:": source switches of the two
// zones, volumes, mute, balance and fader, EQ bands, SRS, effects, the
// microphone and voice paths, camera, call and guidance audio, the button
// sound, and the intro sound steps.
//
// Every request carries the bytes its code expects, each within the range
// the processor takes (a source 0-9, a volume step 0-50, an EQ band 1-7 with
// a level 0-20, a switch 0 or 1, ...); anything else is refused with
// ERROR_INVALID_PARAMETER and changes nothing.
#pragma once

#include "platform/io/AudioDriver.h"
#include "sim/BoardDevice.h"

#include <array>
#include <map>
#include <memory>
#include <vector>

namespace sim {

class CAudioProcessor : public CBoardDevice {
public:
    static std::shared_ptr<CAudioProcessor> Install();
    static void Uninstall();

    // The bytes of the last accepted request of the code (empty: none yet).
    std::vector<BYTE> Last(AudioIoctl code) const;
    // Last(code)[0], or -1 when none was accepted.
    int Value(AudioIoctl code) const;
    // EQ level of band 1-7, -1 when never set.
    int EqBand(int band) const;
    // The intro sound steps, in order.
    std::vector<BYTE> IntroSteps() const;

protected:
    BOOL Control(DWORD code, const BYTE* in, DWORD inSize, BYTE* out, DWORD outSize, DWORD* returned) override;

private:
    mutable std::mutex m_lock;
    std::map<AudioIoctl, std::vector<BYTE>> m_last;
    std::array<int, kAudioEqBands> m_eq{-1, -1, -1, -1, -1, -1, -1};
    std::vector<BYTE> m_intro;
};

} // namespace sim
