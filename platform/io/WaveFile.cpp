#include "platform/io/WaveFile.h"

#include <cstring>

namespace platform {

namespace {

std::uint32_t Word32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8
        | static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::uint16_t Word16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

constexpr std::uint16_t kFormatPcm = 1;
constexpr std::size_t kFormatSize = 16; // the PCM fields of the "fmt " chunk

} // namespace

DWORD WaveSound::DurationMs() const
{
    const std::size_t frameBytes = static_cast<std::size_t>(channels) * (bitsPerSample / 8);
    if (frameBytes == 0 || sampleRate <= 0)
        return 0;
    return static_cast<DWORD>(samples.size() / frameBytes * 1000 / static_cast<std::size_t>(sampleRate));
}

bool ParseWave(const std::uint8_t* data, std::size_t size, WaveSound* sound)
{
    if (!data || size < 12 || std::memcmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "WAVE", 4) != 0)
        return false;
    // The RIFF size may claim less than the file (trailing bytes are not
    // the form's), never more.
    const std::uint64_t formEnd = std::uint64_t{Word32(data + 4)} + 8;
    if (formEnd > size)
        return false;
    const std::uint8_t* format = nullptr;
    const std::uint8_t* samples = nullptr;
    std::size_t sampleBytes = 0;
    for (std::uint64_t at = 12; at + 8 <= formEnd;) {
        const std::uint8_t* chunk = data + at;
        const std::uint64_t length = Word32(chunk + 4);
        if (at + 8 + length > formEnd)
            return false;
        if (std::memcmp(chunk, "fmt ", 4) == 0 && !format) {
            if (length < kFormatSize)
                return false;
            format = chunk + 8;
        } else if (std::memcmp(chunk, "data", 4) == 0 && !samples) {
            samples = chunk + 8;
            sampleBytes = static_cast<std::size_t>(length);
        }
        at += 8 + length + (length & 1); // chunks are padded to an even size
    }
    if (!format || !samples || Word16(format) != kFormatPcm)
        return false;
    const int channels = Word16(format + 2);
    const std::uint32_t rate = Word32(format + 4);
    const int bits = Word16(format + 14);
    if ((channels != 1 && channels != 2) || (bits != 8 && bits != 16) || rate < kWaveMinRate || rate > kWaveMaxRate)
        return false;
    const std::size_t frameBytes = static_cast<std::size_t>(channels) * (bits / 8);
    if (Word16(format + 12) != frameBytes)
        return false;
    sound->channels = channels;
    sound->sampleRate = static_cast<int>(rate);
    sound->bitsPerSample = bits;
    sound->samples.assign(samples, samples + sampleBytes / frameBytes * frameBytes);
    return true;
}

} // namespace platform
