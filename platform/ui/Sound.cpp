#include "platform/ui/Sound.h"

#include "platform/base/Clock.h"
#include "platform/base/Error.h"
#include "platform/io/File.h"
#include "platform/io/WaveFile.h"
#include "platform/ui/SdlInternal.h"

#include <fstream>
#include <iterator>
#include <mutex>

namespace platform {

namespace {

// The unit's sounds are short; anything larger is not one of them.
constexpr std::size_t kMaxSoundBytes = 16 * 1024 * 1024;

struct SoundState {
    std::mutex lock;
    std::vector<PlayedSound> played;
    bool output = false;    // sounds go to the desktop's audio output
    bool audioOpen = false; // SDL's audio is initialised
    SDL_AudioDeviceID device = 0;
    SDL_AudioSpec spec{}; // the device's format
};

SoundState& State()
{
    static SoundState state;
    return state;
}

// Caller holds the lock.
void CloseDevice(SoundState& state)
{
    if (state.device)
        Sdl().SDL_CloseAudioDevice(state.device);
    state.device = 0;
}

// Caller holds the lock. Plays the samples on the desktop's output, opening
// (or reopening, for another format) the default device; without one the
// sound goes nowhere.
void Output(SoundState& state, const WaveSound& wave)
{
    if (!state.audioOpen) {
        if (!LoadSdl(nullptr) || Sdl().SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
            return;
        state.audioOpen = true;
    }
    SDL_AudioSpec want{};
    want.freq = wave.sampleRate;
    want.format = wave.bitsPerSample == 8 ? AUDIO_U8 : AUDIO_S16LSB;
    want.channels = static_cast<Uint8>(wave.channels);
    want.samples = 2048;
    if (state.device
        && (state.spec.freq != want.freq || state.spec.format != want.format || state.spec.channels != want.channels))
        CloseDevice(state);
    if (state.device) {
        Sdl().SDL_ClearQueuedAudio(state.device);
    } else {
        // SDL converts to whatever the device takes.
        state.device = Sdl().SDL_OpenAudioDevice(nullptr, 0, &want, nullptr, 0);
        state.spec = want;
        if (!state.device)
            return;
    }
    Sdl().SDL_QueueAudio(state.device, wave.samples.data(), static_cast<Uint32>(wave.samples.size()));
    Sdl().SDL_PauseAudioDevice(state.device, 0);
}

bool ReadSound(LPCWSTR unitPath, WaveSound* wave)
{
    DWORD error = 0;
    std::string host = HostPath(unitPath, true, &error);
    if (host.empty()) {
        SetLastError(error ? error : ERROR_FILE_NOT_FOUND);
        return false;
    }
    std::ifstream in(host, std::ios::binary);
    std::vector<std::uint8_t> bytes;
    if (in) {
        in.seekg(0, std::ios::end);
        const std::streamoff size = in.tellg();
        if (size > 0 && static_cast<std::size_t>(size) <= kMaxSoundBytes) {
            bytes.resize(static_cast<std::size_t>(size));
            in.seekg(0);
            in.read(reinterpret_cast<char*>(bytes.data()), size);
            if (!in)
                bytes.clear();
        }
    }
    if (!ParseWave(bytes.data(), bytes.size(), wave)) {
        SetLastError(ERROR_BAD_FORMAT);
        return false;
    }
    return true;
}

} // namespace

std::vector<PlayedSound> PlayedSounds()
{
    std::lock_guard<std::mutex> lock(State().lock);
    return State().played;
}

void ClearPlayedSounds()
{
    std::lock_guard<std::mutex> lock(State().lock);
    State().played.clear();
}

void SetSoundOutput(bool on)
{
    SoundState& state = State();
    std::lock_guard<std::mutex> lock(state.lock);
    state.output = on;
    if (on || !state.audioOpen)
        return;
    CloseDevice(state);
    Sdl().SDL_QuitSubSystem(SDL_INIT_AUDIO);
    state.audioOpen = false;
}

} // namespace platform

BOOL sndPlaySoundW(LPCWSTR sound, UINT flags)
{
    using namespace platform;
    if ((flags & SND_ASYNC) == 0 || (flags & ~(SND_ASYNC | SND_NODEFAULT)) != 0) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
    SoundState& state = State();
    if (!sound) {
        std::lock_guard<std::mutex> lock(state.lock);
        if (state.device)
            Sdl().SDL_ClearQueuedAudio(state.device);
        return TRUE;
    }
    WaveSound wave;
    if (!ReadSound(sound, &wave))
        return FALSE;
    std::lock_guard<std::mutex> lock(state.lock);
    state.played.push_back({sound, GetTickCount(), wave.DurationMs()});
    if (state.output)
        Output(state, wave);
    return TRUE;
}
