// The manifest: every file of the unit's pictures and sounds, one line each,
// in assets/manifest.txt. A line holds, separated by '|':
//   unit path | width | height | frames | format | drawing | arguments | what it shows
// The unit path is written as the programs name it ("\NAND\Wren\Images\...").
// Width and height are those of one frame; a file of N frames holds them
// side by side (N * width x height). Blank lines and lines starting with
// '#' are comments.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace assets {

enum class AssetFormat {
    Bmp,      // 24-bit uncompressed BMP, opaque
    BmpKeyed, // 24-bit BMP with magenta 0xFF00FF where the picture is transparent
    Png,      // 8-bit RGB PNG
    PngAlpha, // 8-bit RGBA PNG
    Wav,      // 16-bit PCM WAVE, mono; width is the sample rate, height the length in ms
};

struct ManifestEntry {
    std::string unitPath;
    int width = 0;
    int height = 0;
    int frames = 1;
    AssetFormat format = AssetFormat::Bmp;
    std::string drawing;
    std::map<std::string, std::string> args; // "key=value;key=value"
    std::string description;
    int line = 0;

    // The path under the unit root with '/' separators ("NAND/Wren/...").
    std::string HostRelativePath() const;
    // The argument, or `fallback` when the line does not give it.
    std::string Arg(const std::string& key, const std::string& fallback = "") const;
    int IntArg(const std::string& key, int fallback = 0) const;
};

// Reads a manifest. False, with the reason in `error` (file:line: what), on
// the first line that does not parse or repeats a path.
bool ReadManifest(const std::string& path, std::vector<ManifestEntry>& entries, std::string& error);
bool ParseManifest(const std::string& text, const std::string& name, std::vector<ManifestEntry>& entries,
                   std::string& error);

} // namespace assets
