// The start-up chime: synthesised, written as a 16-bit PCM mono WAVE file.
#pragma once

#include <string>

namespace assets {

// A chime of `milliseconds` at `sampleRate`; false when the file cannot be
// written.
bool WriteChime(const std::string& path, int sampleRate, int milliseconds);

} // namespace assets
