// WAV files from the unit's storage: a file is taken only as PCM of 8 or
// 16 bits, mono or stereo, at a rate in range, with whole frames that lie
// inside the file.
#include "platform/io/WaveFile.h"
#include "fuzz/FuzzTarget.h"

WREN_FUZZ_TARGET(WaveFile)
{
    platform::WaveSound sound;
    if (!platform::ParseWave(data, size, &sound))
        return 0;
    FUZZ_CHECK(sound.channels == 1 || sound.channels == 2);
    FUZZ_CHECK(sound.bitsPerSample == 8 || sound.bitsPerSample == 16);
    FUZZ_CHECK(sound.sampleRate >= platform::kWaveMinRate && sound.sampleRate <= platform::kWaveMaxRate);
    const std::size_t frameBytes = static_cast<std::size_t>(sound.channels) * (sound.bitsPerSample / 8);
    FUZZ_CHECK(sound.samples.size() % frameBytes == 0);
    FUZZ_CHECK(sound.samples.size() + 44 <= size);
    return 0;
}
