// WAV files: the RIFF "WAVE" form holding plain PCM, as the unit's sounds
// are stored. The file comes from the unit's storage, so every chunk's size
// is checked against the file before it is read.
#pragma once

#include "platform/base/Types.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace platform {

struct WaveSound {
    int channels = 0;                  // 1 or 2
    int sampleRate = 0;                // frames per second
    int bitsPerSample = 0;             // 8 (unsigned) or 16 (signed, little-endian)
    std::vector<std::uint8_t> samples; // whole frames, interleaved

    // The playing time, rounded down.
    DWORD DurationMs() const;
};

inline constexpr int kWaveMinRate = 1000;
inline constexpr int kWaveMaxRate = 192000;

// Reads a RIFF WAVE file of PCM samples: 8 or 16 bits, mono or stereo, at
// kWaveMinRate to kWaveMaxRate. False when the data is not such a file or
// a chunk claims more bytes than the file holds; a data chunk that ends in
// a part of a frame loses that part.
bool ParseWave(const std::uint8_t* data, std::size_t size, WaveSound* sound);

} // namespace platform
