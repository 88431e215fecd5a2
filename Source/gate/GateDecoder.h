// The 3D menu's image decoders: TGA (uncompressed true colour), BMP and PNG
// files to pixel buffers for the texture atlas. Each works on the file's
// bytes, bounds every size by them and by the largest side a texture page
// holds, and answers false (after logging why) for anything it cannot read
// whole.
//
// A buffer holds its rows packed without gaps, bottom row first (BMP and PNG;
// TGA rows stay in the file's order, which for these files is bottom first):
// 16 bits per pixel as RGB 5-6-5 words, 24 as R, G, B bytes, 32 as R, G, B,
// A bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace gate {

// The side of a texture page: no image may be larger in either direction.
inline constexpr int kGateMaxImageSide = 1024;

struct GateImageData {
    std::vector<std::uint8_t> pixels;
    int bpp = 0;
    int width = 0;
    int height = 0;
};

enum class GateImageFormat { Unknown, Tga, Bmp, Png };

// The format named by the extension after the last '.' of the path (".tga",
// ".TGA", ".bmp", ".BMP", ".png", ".PNG"); Unknown otherwise.
GateImageFormat GateFormatOf(const std::string& path, bool* hasDot = nullptr);

bool GateDecodeTga(const std::uint8_t* data, std::size_t size, GateImageData& out);
bool GateDecodeBmp(const std::uint8_t* data, std::size_t size, GateImageData& out);
bool GateDecodePng(const std::uint8_t* data, std::size_t size, GateImageData& out);
bool GateDecode(GateImageFormat format, const std::uint8_t* data, std::size_t size, GateImageData& out);

} // namespace gate
