#include "tests/common/Screenshot.h"

#include "platform/gfx/Screen.h"

#include <png.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <iostream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace screenshot {

namespace fs = std::filesystem;

namespace {

constexpr std::uint32_t kHighlight = 0xFF00FF; // a differing pixel
constexpr std::uint32_t kOutline = 0xFFFF00;   // around the differing pixels
constexpr int kOutlineGap = 3;                 // pixels between the box and its outline

// Encodes the rows as an 8-bit RGB PNG. Everything with a destructor lives
// in the caller: libpng reports errors by a long jump back into this frame.
bool EncodeRgb(FILE* file, int width, int height, png_bytep* rows)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    // The best zlib level with the filter chosen row by row: references
    // stay small in the repository.
    png_set_compression_level(png, 9);
    png_set_compression_mem_level(png, 9);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_ALL_FILTERS);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

std::string Hex(std::uint32_t rgb)
{
    char text[8];
    std::snprintf(text, sizeof text, "#%06x", static_cast<unsigned>(rgb & 0xFFFFFF));
    return text;
}

std::string Size(const Image& image)
{
    return std::to_string(image.width) + "x" + std::to_string(image.height);
}

// The path of a written image for a message, or why it is missing.
std::string WrittenAs(bool written, const fs::path& path)
{
    return written ? path.string() : "could not be written to " + path.string();
}

// One path component made of letters, digits, '_', '-' and '.', not
// starting with a dot.
std::string FileSafe(std::string text)
{
    for (char& c : text) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'
            || c == '-' || c == '.';
        if (!plain)
            c = '_';
    }
    if (text.empty() || text[0] == '.')
        text.insert(text.begin(), '_');
    return text;
}

bool UpdateRequested()
{
    const char* value = std::getenv("WREN_UPDATE_SCREENSHOTS");
    return value && *value && std::string(value) != "0";
}

fs::path OutputRoot()
{
    const char* value = std::getenv("WREN_SCREENSHOT_OUT");
    return value && *value ? fs::path(value) : fs::path(WREN_SCREENSHOT_OUT_DEFAULT);
}

// The pixel at (x, y) and whether the image has one there.
std::uint32_t PixelOr(const Image& image, int x, int y, bool& inside)
{
    inside = x < image.width && y < image.height;
    return inside ? image.At(x, y) : 0;
}

} // namespace

Image::Image(int w, int h, std::uint32_t fill)
    : width(w), height(h), pixels(static_cast<std::size_t>(std::max(w, 0)) * std::max(h, 0), fill)
{
}

Image CaptureScreen()
{
    platform::Screen& screen = platform::Screen::Get();
    Image image(screen.Width(), screen.Height());
    std::vector<std::uint16_t> shown(image.pixels.size());
    screen.CopyShown(RECT{0, 0, screen.Width(), screen.Height()}, shown.data(), screen.Width());
    std::transform(shown.begin(), shown.end(), image.pixels.begin(), platform::Rgb565ToRgb888);
    return image;
}

bool ReadPng(const fs::path& path, Image& image)
{
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels;
    if (!platform::ReadPng(path.string(), width, height, pixels))
        return false;
    image.width = width;
    image.height = height;
    image.pixels = std::move(pixels);
    return true;
}

bool WritePng(const fs::path& path, const Image& image)
{
    if (image.width <= 0 || image.height <= 0
        || image.pixels.size() != static_cast<std::size_t>(image.width) * image.height)
        return false;
    std::vector<png_byte> rgb(image.pixels.size() * 3);
    png_byte* out = rgb.data();
    for (std::uint32_t c : image.pixels) {
        *out++ = static_cast<png_byte>(c >> 16);
        *out++ = static_cast<png_byte>(c >> 8);
        *out++ = static_cast<png_byte>(c);
    }
    std::vector<png_bytep> rows(static_cast<std::size_t>(image.height));
    for (std::size_t y = 0; y < rows.size(); ++y)
        rows[y] = rgb.data() + y * image.width * 3;

    std::error_code error;
    if (path.has_parent_path())
        fs::create_directories(path.parent_path(), error);
    // A hidden temporary beside the target, renamed over it: a reader sees
    // the old file or the whole new one.
    std::string name = path.filename().string();
    name.insert(0, 1, '.').append(".XXXXXX");
    std::string temp = (path.parent_path() / name).string();
    const int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    fchmod(fd, 0644);
    FILE* file = fdopen(fd, "wb");
    if (!file) {
        close(fd);
        unlink(temp.c_str());
        return false;
    }
    const bool encoded = EncodeRgb(file, image.width, image.height, rows.data());
    const bool closed = std::fclose(file) == 0;
    if (encoded && closed && std::rename(temp.c_str(), path.c_str()) == 0)
        return true;
    unlink(temp.c_str());
    return false;
}

Difference Compare(const Image& actual, const Image& reference)
{
    Difference d;
    const int width = std::max(actual.width, reference.width);
    const int height = std::max(actual.height, reference.height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            bool inActual = false, inReference = false;
            const std::uint32_t a = PixelOr(actual, x, y, inActual);
            const std::uint32_t r = PixelOr(reference, x, y, inReference);
            if (inActual && inReference && a == r)
                continue;
            if (d.count++ == 0) {
                d.box = RECT{x, y, x + 1, y + 1};
                d.firstX = x;
                d.firstY = y;
                d.actual = a;
                d.reference = r;
            }
            d.box.left = std::min<LONG>(d.box.left, x);
            d.box.right = std::max<LONG>(d.box.right, x + 1);
            d.box.bottom = y + 1;
        }
    }
    return d;
}

Image DiffImage(const Image& actual, const Image& reference)
{
    Image diff(std::max(actual.width, reference.width), std::max(actual.height, reference.height));
    const Difference d = Compare(actual, reference);
    for (int y = 0; y < diff.height; ++y) {
        for (int x = 0; x < diff.width; ++x) {
            bool inActual = false, inReference = false;
            const std::uint32_t a = PixelOr(actual, x, y, inActual);
            const std::uint32_t r = PixelOr(reference, x, y, inReference);
            if (!inActual || !inReference || a != r) {
                diff.At(x, y) = kHighlight;
                continue;
            }
            // Grey at a third of the brightness: the scene stays readable
            // and the highlight stands out on any content.
            const std::uint32_t luma = (((a >> 16) & 0xFF) * 30 + ((a >> 8) & 0xFF) * 59 + (a & 0xFF) * 11) / 300;
            const bool onOutline = !d.Empty() && x >= d.box.left - kOutlineGap && x < d.box.right + kOutlineGap
                && y >= d.box.top - kOutlineGap && y < d.box.bottom + kOutlineGap
                && (x == d.box.left - kOutlineGap || x == d.box.right + kOutlineGap - 1 || y == d.box.top - kOutlineGap
                    || y == d.box.bottom + kOutlineGap - 1);
            diff.At(x, y) = onOutline ? kOutline : (luma << 16) | (luma << 8) | luma;
        }
    }
    return diff;
}

Shot Shot::ForCurrentTest(const std::string& name, const std::string& suite)
{
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    Shot shot;
    shot.suite = FileSafe(!suite.empty() ? suite : test ? test->test_suite_name() : "NoTest");
    shot.name = FileSafe(!name.empty() ? name : test ? test->name() : "NoTest");
    shot.referenceRoot = WREN_TEST_DATA;
    shot.outputRoot = OutputRoot();
    shot.update = UpdateRequested();
    return shot;
}

fs::path Shot::Reference() const
{
    return referenceRoot / suite / (name + ".png");
}

fs::path Shot::Actual() const
{
    return outputRoot / suite / (name + ".actual.png");
}

fs::path Shot::Diff() const
{
    return outputRoot / suite / (name + ".diff.png");
}

::testing::AssertionResult Matches(const Image& actual, const Shot& shot)
{
    const std::string id = shot.suite + "/" + shot.name;
    const fs::path reference = shot.Reference();
    Image expected;
    const bool haveReference = ReadPng(reference, expected);
    const bool equal = haveReference && expected == actual;

    // The images a failed run left tell nothing true once the reference
    // matches or is rewritten, and a new failure writes its own.
    std::error_code ignored;
    fs::remove(shot.Actual(), ignored);
    fs::remove(shot.Diff(), ignored);

    if (shot.update) {
        if (equal) {
            std::cout << "[ SCREENSHOT ] " << id << ": reference unchanged, " << reference.string() << "\n";
            return ::testing::AssertionSuccess();
        }
        if (!WritePng(reference, actual))
            return ::testing::AssertionFailure()
                << "screenshot " << id << ": cannot write the reference " << reference.string();
        std::cout << "[ SCREENSHOT ] " << id << ": reference " << (haveReference ? "rewritten" : "created") << ", "
                  << reference.string() << " (" << Size(actual) << "); look at it before committing it\n";
        return ::testing::AssertionSuccess();
    }
    if (equal)
        return ::testing::AssertionSuccess();

    const std::string actualFile = WrittenAs(WritePng(shot.Actual(), actual), shot.Actual());
    std::ostringstream message;
    message << "screenshot " << id;
    if (!haveReference) {
        message << ": no reference at " << reference.string()
                << (fs::exists(reference, ignored) ? " (the file is not a readable PNG)" : "") << "\n"
                << "  actual: " << actualFile << " (" << Size(actual) << ")\n"
                << "  To create the reference, run the test with WREN_UPDATE_SCREENSHOTS=1 and look at the image "
                   "before committing it.";
        return ::testing::AssertionFailure() << message.str();
    }

    const Difference d = Compare(actual, expected);
    const std::string diffFile = WrittenAs(WritePng(shot.Diff(), DiffImage(actual, expected)), shot.Diff());
    message << " differs from its reference\n"
            << "  reference: " << reference.string() << " (" << Size(expected) << ")\n"
            << "  actual:    " << actualFile << " (" << Size(actual) << ")\n"
            << "  diff:      " << diffFile << "\n"
            << "  " << d.count << (d.count == 1 ? " pixel differs" : " pixels differ") << ", bounding box x "
            << d.box.left << ".." << d.box.right - 1 << ", y " << d.box.top << ".." << d.box.bottom - 1 << " ("
            << d.box.right - d.box.left << "x" << d.box.bottom - d.box.top << "); first at (" << d.firstX << ", "
            << d.firstY << "): actual " << Hex(d.actual) << ", reference " << Hex(d.reference) << "\n"
            << "  If the new image is meant, rewrite the reference with WREN_UPDATE_SCREENSHOTS=1 (ctest -R or "
               "--gtest_filter for just this test) and look at it before committing it.";
    return ::testing::AssertionFailure() << message.str();
}

::testing::AssertionResult MatchesReference(const Image& actual, const std::string& name, const std::string& suite)
{
    return Matches(actual, Shot::ForCurrentTest(name, suite));
}

::testing::AssertionResult ScreenMatchesReference(const std::string& name, const std::string& suite)
{
    return Matches(CaptureScreen(), Shot::ForCurrentTest(name, suite));
}

} // namespace screenshot
