// The unit's sounds: sndPlaySoundW plays a WAV file from the unit's
// storage. Every sound played is kept with the tick it started at, so that
// tests see what was played and when. While the desktop window is shown the
// sound also goes to the desktop's default audio output through SDL2
// (nowhere when the desktop has none); headless, the unit is silent.
#pragma once

#include "platform/base/Types.h"

#include <string>
#include <vector>

inline constexpr UINT SND_ASYNC = 0x0001;
inline constexpr UINT SND_NODEFAULT = 0x0002;

// Starts the WAV file at the unit path sound (see WaveFile.h for the files
// taken) and returns at once; a sound still playing stops. A null sound
// stops what plays. Only asynchronous play is offered: flags must hold
// SND_ASYNC (and may hold SND_NODEFAULT; there is no default sound). FALSE
// with the last error set when the file cannot be read or is not such a
// WAV file, or the flags ask for more.
BOOL sndPlaySoundW(LPCWSTR sound, UINT flags);

namespace platform {

struct PlayedSound {
    std::u16string path; // as given to sndPlaySoundW
    DWORD tick = 0;      // GetTickCount at the start
    DWORD durationMs = 0;
};

// The sounds started since the last ClearPlayedSounds, in order.
std::vector<PlayedSound> PlayedSounds();
void ClearPlayedSounds();

// Sends the sounds to the desktop's audio output, or stops doing so. The
// desktop window switches it on and off with itself.
void SetSoundOutput(bool on);

} // namespace platform
