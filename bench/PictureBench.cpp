// Decoding a 1280x720 photo fitted to the unit's 800x480 screen (800x450),
// as JPEG and as PNG, against the codec libraries' own best on the same
// file in the same run: libjpeg decoding straight to the fitted size
// (scale_num / 8), libpng decoding into a buffer allocated once.
//
// Each fit benchmark times the reference and the path under test
// alternately in every iteration, so that both see the same caches and
// machine load. The reported time is the path under test; "ref_ms" is the
// reference and "x_ref" the ratio (goal: at most 1.5).
#include "platform/gfx/Imaging.h"
#include "platform/gfx/Picture.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <vector>

#include <jpeglib.h>
#include <png.h>

namespace {

constexpr int kWidth = 1280, kHeight = 720;
constexpr int kFitWidth = 800, kFitHeight = 450;

// Photo-like pixels: smooth gradients with some texture.
const platform::Picture& PhotoPixels()
{
    static const platform::Picture picture = [] {
        platform::Picture p;
        p.Allocate(kWidth, kHeight);
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                auto r = static_cast<std::uint32_t>(x * 255 / (kWidth - 1));
                auto g = static_cast<std::uint32_t>(y * 255 / (kHeight - 1));
                auto b = static_cast<std::uint32_t>(128 + 127 * std::sin((x + y) * 0.05));
                p.At(x, y) = 0xFF000000u | (r << 16) | (g << 8) | b;
            }
        }
        return p;
    }();
    return picture;
}

const std::vector<BYTE>& PhotoJpeg()
{
    static const std::vector<BYTE> bytes = [] {
        std::vector<BYTE> out;
        platform::EncodeJpeg(PhotoPixels(), 85, out);
        return out;
    }();
    return bytes;
}

const std::vector<BYTE>& PhotoPng()
{
    static const std::vector<BYTE> bytes = [] {
        std::vector<BYTE> rgb(static_cast<size_t>(kWidth) * kHeight * 3);
        const platform::Picture& p = PhotoPixels();
        for (size_t i = 0; i < p.pixels.size(); ++i) {
            rgb[i * 3] = static_cast<BYTE>(p.pixels[i] >> 16);
            rgb[i * 3 + 1] = static_cast<BYTE>(p.pixels[i] >> 8);
            rgb[i * 3 + 2] = static_cast<BYTE>(p.pixels[i]);
        }
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        image.width = kWidth;
        image.height = kHeight;
        image.format = PNG_FORMAT_RGB;
        png_alloc_size_t size = 0;
        png_image_write_to_memory(&image, nullptr, &size, 0, rgb.data(), 0, nullptr);
        std::vector<BYTE> out(size);
        png_image_write_to_memory(&image, out.data(), &size, 0, rgb.data(), 0, nullptr);
        out.resize(size);
        return out;
    }();
    return bytes;
}

// ------------------------------------------------------------ references

struct JpegFail {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

// libjpeg alone: the smallest scale_num / 8 whose output covers the fitted
// size (5/8 gives exactly 800x450 here), into a buffer allocated once.
void PlainLibjpeg(const std::vector<BYTE>& file, std::vector<BYTE>& out)
{
    jpeg_decompress_struct cinfo;
    JpegFail error;
    cinfo.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = [](j_common_ptr c) { std::longjmp(reinterpret_cast<JpegFail*>(c->err)->jump, 1); };
    if (setjmp(error.jump)) {
        jpeg_destroy_decompress(&cinfo);
        std::abort();
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, file.data(), static_cast<unsigned long>(file.size()));
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_EXT_BGRX;
    cinfo.scale_denom = 8;
    for (cinfo.scale_num = 1; cinfo.scale_num < 8; ++cinfo.scale_num) {
        jpeg_calc_output_dimensions(&cinfo);
        if (cinfo.output_width >= static_cast<unsigned>(kFitWidth)
            && cinfo.output_height >= static_cast<unsigned>(kFitHeight))
            break;
    }
    jpeg_start_decompress(&cinfo);
    const size_t stride = static_cast<size_t>(cinfo.output_width) * 4;
    out.resize(stride * cinfo.output_height);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW rows[4];
        for (int i = 0; i < 4; ++i)
            rows[i] = out.data() + stride * std::min(cinfo.output_scanline + i, cinfo.output_height - 1);
        jpeg_read_scanlines(&cinfo, rows, 4);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
}

struct PngSource {
    const std::vector<BYTE>* file;
    size_t at;
};

// libpng alone: the whole picture as R, G, B, A rows into a buffer
// allocated once.
void PlainLibpng(const std::vector<BYTE>& file, std::vector<BYTE>& out, std::vector<png_bytep>& rows)
{
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png)))
        std::abort();
    PngSource source{&file, 0};
    png_set_read_fn(png, &source, [](png_structp p, png_bytep to, png_size_t n) {
        auto* s = static_cast<PngSource*>(png_get_io_ptr(p));
        std::memcpy(to, s->file->data() + s->at, n);
        s->at += n;
    });
    png_read_info(png, info);
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_read_update_info(png, info);
    const png_uint_32 width = png_get_image_width(png, info), height = png_get_image_height(png, info);
    out.resize(static_cast<size_t>(width) * height * 4);
    rows.resize(height);
    for (png_uint_32 y = 0; y < height; ++y)
        rows[y] = out.data() + static_cast<size_t>(y) * width * 4;
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
}

// ------------------------------------------------------------ paths

// What a caller that wants a fitted picture does: decode at least the
// fitted size, then scale to it exactly.
void DecodeAndFit(const std::vector<BYTE>& file)
{
    platform::DecodeOptions options;
    options.minWidth = kFitWidth;
    options.minHeight = kFitHeight;
    platform::PictureInfo info;
    platform::Picture picture;
    if (platform::DecodePicture(file.data(), file.size(), options, info, picture) != platform::PictureStatus::Ok
        || !platform::ScalePicture(picture, kFitWidth, kFitHeight, picture))
        std::abort();
    benchmark::DoNotOptimize(picture.pixels.data());
}

// The picture caches' fitted image: an Imaging image over the file's bytes
// and a 24-bit bitmap of the fitted size made from it.
void FittedBitmap(const std::vector<BYTE>& file)
{
    static IImagingFactory* factory = platform::CreateImagingFactory();
    IImage* image = nullptr;
    IBitmapImage* bitmap = nullptr;
    if (factory->CreateImageFromBuffer(file.data(), static_cast<UINT>(file.size()), BufferDisposalFlagNone, &image)
            != S_OK
        || factory->CreateBitmapFromImage(image, kFitWidth, kFitHeight, PixelFormat24bppRGB, InterpolationHintDefault,
                                          &bitmap)
            != S_OK)
        std::abort();
    bitmap->Release();
    image->Release();
}

template <class Reference, class Path> void Compare(benchmark::State& state, Reference reference, Path path)
{
    using Clock = std::chrono::steady_clock;
    double referenceSeconds = 0, pathSeconds = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        reference();
        const auto t1 = Clock::now();
        path();
        const auto t2 = Clock::now();
        referenceSeconds += std::chrono::duration<double>(t1 - t0).count();
        const double seconds = std::chrono::duration<double>(t2 - t1).count();
        pathSeconds += seconds;
        state.SetIterationTime(seconds);
    }
    state.counters["ref_ms"] = referenceSeconds * 1e3 / static_cast<double>(state.iterations());
    state.counters["x_ref"] = referenceSeconds > 0 ? pathSeconds / referenceSeconds : 0;
}

void BM_JpegDecodeAndFit(benchmark::State& state)
{
    std::vector<BYTE> buffer;
    Compare(
        state, [&] { PlainLibjpeg(PhotoJpeg(), buffer); }, [] { DecodeAndFit(PhotoJpeg()); });
}
BENCHMARK(BM_JpegDecodeAndFit)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_JpegFittedBitmap(benchmark::State& state)
{
    std::vector<BYTE> buffer;
    Compare(
        state, [&] { PlainLibjpeg(PhotoJpeg(), buffer); }, [] { FittedBitmap(PhotoJpeg()); });
}
BENCHMARK(BM_JpegFittedBitmap)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_PngDecodeAndFit(benchmark::State& state)
{
    std::vector<BYTE> buffer;
    std::vector<png_bytep> rows;
    Compare(
        state, [&] { PlainLibpng(PhotoPng(), buffer, rows); }, [] { DecodeAndFit(PhotoPng()); });
}
BENCHMARK(BM_PngDecodeAndFit)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_PngFittedBitmap(benchmark::State& state)
{
    std::vector<BYTE> buffer;
    std::vector<png_bytep> rows;
    Compare(
        state, [&] { PlainLibpng(PhotoPng(), buffer, rows); }, [] { FittedBitmap(PhotoPng()); });
}
BENCHMARK(BM_PngFittedBitmap)->UseManualTime()->Unit(benchmark::kMillisecond);

// The parts on their own: a full-size decode, and the software fit.
void BM_DecodeJpeg1280x720(benchmark::State& state)
{
    for (auto _ : state) {
        platform::PictureInfo info;
        platform::Picture decoded;
        platform::DecodePicture(PhotoJpeg().data(), PhotoJpeg().size(), platform::DecodeOptions{}, info, decoded);
        benchmark::DoNotOptimize(decoded.pixels.data());
    }
}
BENCHMARK(BM_DecodeJpeg1280x720)->Unit(benchmark::kMillisecond);

void BM_Scale1280x720To800x450(benchmark::State& state)
{
    for (auto _ : state) {
        platform::Picture scaled;
        platform::ScalePicture(PhotoPixels(), kFitWidth, kFitHeight, scaled);
        benchmark::DoNotOptimize(scaled.pixels.data());
    }
}
BENCHMARK(BM_Scale1280x720To800x450)->Unit(benchmark::kMillisecond);

} // namespace
