// Decoding a 1280x720 photo fitted to the unit's 800x480 screen (800x450).
#include "platform/gfx/Picture.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace {

// A photo-like 1280x720 JPEG: smooth gradients with some texture.
const std::vector<BYTE>& Photo()
{
    static const std::vector<BYTE> bytes = [] {
        platform::Picture picture;
        picture.Allocate(1280, 720);
        for (int y = 0; y < 720; ++y) {
            for (int x = 0; x < 1280; ++x) {
                auto r = static_cast<std::uint32_t>(x * 255 / 1279);
                auto g = static_cast<std::uint32_t>(y * 255 / 719);
                auto b = static_cast<std::uint32_t>(128 + 127 * std::sin((x + y) * 0.05));
                picture.At(x, y) = 0xFF000000u | (r << 16) | (g << 8) | b;
            }
        }
        std::vector<BYTE> out;
        platform::EncodeJpeg(picture, 85, out);
        return out;
    }();
    return bytes;
}

void BM_DecodeJpeg1280x720To800x480(benchmark::State& state)
{
    const std::vector<BYTE>& jpeg = Photo();
    platform::DecodeOptions options;
    options.minWidth = 800;
    options.minHeight = 480;
    for (auto _ : state) {
        platform::PictureInfo info;
        platform::Picture decoded;
        platform::Picture scaled;
        platform::DecodePicture(jpeg.data(), jpeg.size(), options, info, decoded);
        platform::ScalePicture(decoded, 800, 450, scaled);
        benchmark::DoNotOptimize(scaled.pixels.data());
    }
}
BENCHMARK(BM_DecodeJpeg1280x720To800x480)->Unit(benchmark::kMillisecond);

} // namespace

namespace {

void BM_DecodeJpeg1280x720(benchmark::State& state)
{
    const std::vector<BYTE>& jpeg = Photo();
    for (auto _ : state) {
        platform::PictureInfo info;
        platform::Picture decoded;
        platform::DecodePicture(jpeg.data(), jpeg.size(), platform::DecodeOptions{}, info, decoded);
        benchmark::DoNotOptimize(decoded.pixels.data());
    }
}
BENCHMARK(BM_DecodeJpeg1280x720)->Unit(benchmark::kMillisecond);

void BM_Scale1280x720To800x450(benchmark::State& state)
{
    platform::PictureInfo info;
    platform::Picture decoded;
    platform::DecodePicture(Photo().data(), Photo().size(), platform::DecodeOptions{}, info, decoded);
    for (auto _ : state) {
        platform::Picture scaled;
        platform::ScalePicture(decoded, 800, 450, scaled);
        benchmark::DoNotOptimize(scaled.pixels.data());
    }
}
BENCHMARK(BM_Scale1280x720To800x450)->Unit(benchmark::kMillisecond);

} // namespace
