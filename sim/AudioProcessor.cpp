#include "sim/AudioProcessor.h"

#include "platform/base/Error.h"
#include "platform/io/Io.h"

namespace sim {
namespace {

// What a request takes: its size and the highest value of each byte.
struct Request {
    AudioIoctl code;
    DWORD size;
    BYTE max0;
    BYTE max1;
};

constexpr BYTE kAny = 0xFF;
constexpr BYTE kSwitch = 1;
constexpr BYTE kLevel = 20;

constexpr Request kRequests[] = {
    {AudioIoctl::SecondVolume, 1, kAudioVolumeSteps, 0},
    {AudioIoctl::SecondSource, 1, kAudioInputCount - 1, 0},
    {AudioIoctl::MainSource, 1, kAudioInputCount - 1, 0},
    {AudioIoctl::MainVolume, 1, kAudioVolumeSteps, 0},
    {AudioIoctl::BalanceFader, 2, kAny, kAny},
    {AudioIoctl::CameraAudio, 1, kSwitch, 0},
    {AudioIoctl::EqBand, 2, kAudioEqBands, kLevel},
    {AudioIoctl::Microphone, 1, kSwitch, 0},
    {AudioIoctl::Intro, 1, 5, 0},
    {AudioIoctl::Mute, 1, kSwitch, 0},
    {AudioIoctl::AudioValue, 1, kAny, 0},
    {AudioIoctl::SrsOnOff, 1, kSwitch, 0},
    {AudioIoctl::SrsValue6, 1, 7, 0},
    {AudioIoctl::SrsValue1, 1, kLevel, 0},
    {AudioIoctl::SrsValue2, 1, kLevel, 0},
    {AudioIoctl::SrsValue3, 1, kLevel, 0},
    {AudioIoctl::SrsValue4, 1, kLevel, 0},
    {AudioIoctl::SrsValue5, 1, kLevel, 0},
    {AudioIoctl::ButtonGain, 1, 4, 0},
    {AudioIoctl::Effect, 1, 3, 0},
    {AudioIoctl::GuidanceAudio, 1, kSwitch, 0},
    {AudioIoctl::GuidanceLevel, 1, kAny, 0},
    {AudioIoctl::VoicePath, 1, kSwitch, 0},
    {AudioIoctl::MicMute, 1, kSwitch, 0},
    {AudioIoctl::ButtonType, 1, kAny, 0},
    {AudioIoctl::CallAudio, 1, kSwitch, 0},
};

} // namespace

std::shared_ptr<CAudioProcessor> CAudioProcessor::Install()
{
    auto processor = std::make_shared<CAudioProcessor>();
    platform::RegisterDevice(u"ASP1:", processor);
    return processor;
}

void CAudioProcessor::Uninstall()
{
    platform::UnregisterDevice(u"ASP1:");
}

BOOL CAudioProcessor::Control(DWORD code, const BYTE* in, DWORD inSize, BYTE*, DWORD, DWORD*)
{
    for (const Request& request : kRequests) {
        if (static_cast<DWORD>(request.code) != code)
            continue;
        if (!InputIs(in, inSize, request.size))
            return FALSE;
        if (in[0] > request.max0 || (request.size > 1 && in[1] > request.max1))
            return Fail(ERROR_INVALID_PARAMETER);
        if (request.code == AudioIoctl::EqBand && in[0] == 0)
            return Fail(ERROR_INVALID_PARAMETER);
        std::lock_guard<std::mutex> guard(m_lock);
        m_last[request.code].assign(in, in + inSize);
        if (request.code == AudioIoctl::EqBand)
            m_eq[in[0] - 1] = in[1];
        if (request.code == AudioIoctl::Intro)
            m_intro.push_back(in[0]);
        return TRUE;
    }
    return Fail(ERROR_INVALID_FUNCTION);
}

std::vector<BYTE> CAudioProcessor::Last(AudioIoctl code) const
{
    std::lock_guard<std::mutex> guard(m_lock);
    auto found = m_last.find(code);
    return found == m_last.end() ? std::vector<BYTE>() : found->second;
}

int CAudioProcessor::Value(AudioIoctl code) const
{
    std::vector<BYTE> last = Last(code);
    return last.empty() ? -1 : last[0];
}

int CAudioProcessor::EqBand(int band) const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return band >= 1 && band <= kAudioEqBands ? m_eq[band - 1] : -1;
}

std::vector<BYTE> CAudioProcessor::IntroSteps() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_intro;
}

} // namespace sim
