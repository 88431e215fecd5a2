#include "assets/Sound.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <vector>

namespace assets {
namespace {

void PutLe(std::vector<unsigned char>& out, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

} // namespace

bool WriteChime(const std::string& path, int sampleRate, int milliseconds)
{
    const int count = static_cast<int>(static_cast<long long>(sampleRate) * milliseconds / 1000);
    std::vector<double> mix(static_cast<std::size_t>(count), 0.0);
    // A rising major arpeggio (C5, E5, G5, C6), each note a bell: a sine with
    // two soft overtones, a quick attack and an exponential decay.
    const double notes[] = {523.25, 659.25, 783.99, 1046.5};
    for (int n = 0; n < 4; ++n) {
        const int start = static_cast<int>(sampleRate * 0.16 * n);
        const double decay = n == 3 ? 2.2 : 3.5;
        for (int i = start; i < count; ++i) {
            const double t = static_cast<double>(i - start) / sampleRate;
            const double envelope = std::min(1.0, t / 0.006) * std::exp(-decay * t);
            const double phase = 2 * M_PI * notes[n] * t;
            mix[static_cast<std::size_t>(i)]
                += envelope * (std::sin(phase) + 0.35 * std::sin(2 * phase) + 0.12 * std::sin(3.01 * phase));
        }
    }
    // Fade out the last 80 ms so that the file ends in silence.
    const int fade = std::min(count, sampleRate * 80 / 1000);
    for (int i = 0; i < fade; ++i)
        mix[static_cast<std::size_t>(count - 1 - i)] *= static_cast<double>(i) / fade;
    double peak = 1e-9;
    for (double v : mix)
        peak = std::max(peak, std::fabs(v));
    std::vector<unsigned char> out;
    const std::uint32_t dataBytes = static_cast<std::uint32_t>(count) * 2;
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    PutLe(out, 36 + dataBytes, 4);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    PutLe(out, 16, 4);
    PutLe(out, 1, 2); // PCM
    PutLe(out, 1, 2); // mono
    PutLe(out, static_cast<std::uint32_t>(sampleRate), 4);
    PutLe(out, static_cast<std::uint32_t>(sampleRate) * 2, 4);
    PutLe(out, 2, 2);
    PutLe(out, 16, 2);
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    PutLe(out, dataBytes, 4);
    for (double v : mix) {
        const auto sample = static_cast<std::int16_t>(std::lround(v / peak * 0.7 * 32767));
        PutLe(out, static_cast<std::uint16_t>(sample), 2);
    }
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
    return static_cast<bool>(file);
}

} // namespace assets
