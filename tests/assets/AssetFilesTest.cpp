// Every file of the manifest, as the build drew it, read with the unit's own
// decoders; and every picture and sound path the code names, against the
// manifest.
#include "assets/Manifest.h"
#include "platform/gfx/Picture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using assets::AssetFormat;
using assets::ManifestEntry;

std::vector<ManifestEntry> Manifest()
{
    std::vector<ManifestEntry> entries;
    std::string error;
    EXPECT_TRUE(assets::ReadManifest(WREN_ASSETS_MANIFEST, entries, error)) << error;
    return entries;
}

std::vector<unsigned char> ReadBytes(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::uint32_t Le(const std::vector<unsigned char>& bytes, std::size_t at, int count)
{
    std::uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i)
        value = (value << 8) | bytes[at + i];
    return value;
}

// Mean difference per channel between two frames of a picture.
double FrameDifference(const platform::Picture& picture, int width, int a, int b)
{
    double sum = 0;
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < width; ++x) {
            const std::uint32_t p = picture.At(a * width + x, y);
            const std::uint32_t q = picture.At(b * width + x, y);
            for (int shift = 0; shift < 32; shift += 8)
                sum += std::abs(static_cast<int>((p >> shift) & 0xFF) - static_cast<int>((q >> shift) & 0xFF));
        }
    return sum / (4.0 * width * picture.height);
}

void CheckPicture(const ManifestEntry& entry, const std::vector<unsigned char>& bytes)
{
    platform::PictureInfo info;
    platform::Picture picture;
    ASSERT_EQ(platform::PictureStatus::Ok,
              platform::DecodePicture(bytes.data(), bytes.size(), platform::DecodeOptions{}, info, picture));
    EXPECT_EQ(entry.width * entry.frames, picture.width);
    EXPECT_EQ(entry.height, picture.height);
    switch (entry.format) {
    case AssetFormat::Bmp:
    case AssetFormat::BmpKeyed: {
        ASSERT_EQ(platform::PictureFormat::Bmp, info.format);
        EXPECT_EQ(24u, Le(bytes, 28, 2)) << "bits per pixel";
        EXPECT_EQ(0u, Le(bytes, 30, 4)) << "compression";
        bool keyed = false;
        for (std::uint32_t pixel : picture.pixels)
            keyed = keyed || (pixel & 0xFFFFFF) == 0xFF00FF;
        EXPECT_EQ(entry.format == AssetFormat::BmpKeyed, keyed) << "magenta where transparent, and only there";
        break;
    }
    case AssetFormat::Png:
    case AssetFormat::PngAlpha:
        ASSERT_EQ(platform::PictureFormat::Png, info.format);
        EXPECT_EQ(8u, bytes[24]) << "bit depth";
        EXPECT_EQ(entry.format == AssetFormat::Png ? 2u : 6u, bytes[25]) << "colour type";
        EXPECT_LE(picture.width, 1024);
        EXPECT_LE(picture.height, 1024);
        break;
    case AssetFormat::Wav:
        break;
    }
    // Every state of a multi-frame picture looks different from the others.
    for (int a = 0; a < entry.frames; ++a)
        for (int b = a + 1; b < entry.frames; ++b)
            EXPECT_GT(FrameDifference(picture, entry.width, a, b), 3.0) << "frames " << a << " and " << b;
}

void CheckSound(const ManifestEntry& entry, const std::vector<unsigned char>& bytes)
{
    ASSERT_GE(bytes.size(), 44u);
    EXPECT_EQ("RIFF", std::string(bytes.begin(), bytes.begin() + 4));
    EXPECT_EQ(bytes.size() - 8, Le(bytes, 4, 4));
    EXPECT_EQ("WAVEfmt ", std::string(bytes.begin() + 8, bytes.begin() + 16));
    EXPECT_EQ(1u, Le(bytes, 20, 2)) << "PCM";
    EXPECT_EQ(1u, Le(bytes, 22, 2)) << "channels";
    EXPECT_EQ(static_cast<std::uint32_t>(entry.width), Le(bytes, 24, 4)) << "sample rate";
    EXPECT_EQ(16u, Le(bytes, 34, 2)) << "bits per sample";
    EXPECT_EQ("data", std::string(bytes.begin() + 36, bytes.begin() + 40));
    const std::uint32_t samples = static_cast<std::uint32_t>(entry.width) * entry.height / 1000;
    ASSERT_EQ(samples * 2, Le(bytes, 40, 4));
    ASSERT_EQ(44 + samples * 2, bytes.size());
    // A sound, not silence, ending in silence.
    int peak = 0;
    for (std::uint32_t i = 0; i < samples; ++i)
        peak = std::max(peak, std::abs(static_cast<std::int16_t>(Le(bytes, 44 + 2 * i, 2))));
    EXPECT_GT(peak, 16000);
    EXPECT_LT(std::abs(static_cast<std::int16_t>(Le(bytes, 44 + 2 * (samples - 1), 2))), 64);
}

TEST(AssetFilesTest, EveryFileOfTheManifestDecodesWithItsFormatSizeAndFrames)
{
    const std::vector<ManifestEntry> entries = Manifest();
    ASSERT_FALSE(entries.empty());
    for (const ManifestEntry& entry : entries) {
        SCOPED_TRACE(entry.unitPath);
        const fs::path path = fs::path(WREN_ASSETS_UNIT) / entry.HostRelativePath();
        // The name exactly as written, case and spaces included.
        ASSERT_TRUE(fs::is_regular_file(path)) << path;
        EXPECT_EQ(entry.unitPath.substr(entry.unitPath.rfind('\\') + 1), path.filename().string());
        const std::vector<unsigned char> bytes = ReadBytes(path);
        if (entry.format == AssetFormat::Wav)
            CheckSound(entry, bytes);
        else
            CheckPicture(entry, bytes);
    }
}

// The picture and sound paths written out in C++ literals, unescaped: the
// text u"\\NAND\\Wren\\Images\\Basic\\x.bmp" gives \NAND\Wren\Images\Basic\x.bmp.
std::set<std::string> NamedPaths(const std::string& source)
{
    auto lower = [](std::string text) {
        for (char& c : text)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return text;
    };
    const std::string folded = lower(source);
    const std::string root = R"(\\nand\\wren\\)";
    std::set<std::string> paths;
    for (std::size_t at = folded.find(root); at != std::string::npos; at = folded.find(root, at + 1)) {
        const std::size_t rest = at + root.size();
        if (folded.compare(rest, 8, R"(images\\)") != 0 && folded.compare(rest, 5, R"(wav\\)") != 0)
            continue;
        // Up to the literal's end, the last picture or sound extension.
        const std::size_t quote = std::min(folded.find('"', rest), folded.size());
        std::size_t end = std::string::npos;
        for (const char* extension : {".bmp", ".png", ".wav"}) {
            const std::size_t found = folded.rfind(extension, quote - 4);
            if (found != std::string::npos && found >= rest && (end == std::string::npos || found + 4 > end))
                end = found + 4;
        }
        if (end == std::string::npos)
            continue;
        const std::string text = source.substr(at, end - at);
        std::string path;
        for (std::size_t i = 0; i < text.size(); ++i) {
            path += text[i];
            if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == '\\')
                ++i;
        }
        paths.insert(path);
        at = end - 1;
    }
    return paths;
}

TEST(AssetFilesTest, EveryPicturePathTheCodeNamesIsInTheManifest)
{
    // The search itself finds what it should.
    const std::set<std::string> sample = NamedPaths(
        R"(Show(u"\\NAND\\Wren\\Images\\Multi media\\back_all.bmp"); Play(L"\\NAND\\Wren\\wav\\Intro.wav");)"
        R"( Folder("\\NAND\\Wren\\Images\\Basic\\");)");
    ASSERT_EQ((std::set<std::string>{R"(\NAND\Wren\Images\Multi media\back_all.bmp)", R"(\NAND\Wren\wav\Intro.wav)"}),
              sample);

    std::set<std::string> listed;
    for (const ManifestEntry& entry : Manifest())
        listed.insert(entry.unitPath);
    for (const char* folder : {"Source", "Lib_cpp", "platform", "updater", "sim"}) {
        for (const auto& file : fs::recursive_directory_iterator(fs::path(WREN_SOURCE_DIR) / folder)) {
            const std::string extension = file.path().extension().string();
            if (extension != ".cpp" && extension != ".h")
                continue;
            std::ifstream in(file.path(), std::ios::binary);
            std::stringstream text;
            text << in.rdbuf();
            for (const std::string& path : NamedPaths(text.str()))
                EXPECT_TRUE(listed.count(path))
                    << path << " (named in " << file.path().string() << ") is missing from assets/manifest.txt";
        }
    }
}

TEST(AssetFilesTest, ManifestLinesThatDoNotFitAreRefusedWithTheirLine)
{
    const std::string good = R"(\NAND\Wren\Images\a b\x.bmp | 10 | 20 | 2 | bmp | button | icon=add; text=A | what)";
    std::vector<ManifestEntry> entries;
    std::string error;
    ASSERT_TRUE(assets::ParseManifest("# comment\n\n" + good + "\n", "m", entries, error)) << error;
    ASSERT_EQ(1u, entries.size());
    EXPECT_EQ("NAND/Wren/Images/a b/x.bmp", entries[0].HostRelativePath());
    EXPECT_EQ(20, entries[0].height);
    EXPECT_EQ(2, entries[0].frames);
    EXPECT_EQ("A", entries[0].Arg("text"));

    const struct {
        const char* line;
        const char* reason;
    } kBad[] = {
        {R"(\NAND\a.bmp | 10 | 20 | 1 | bmp | button | | what | more)", "8 fields"},
        {R"(NAND\a.bmp | 10 | 20 | 1 | bmp | button | | what)", "absolute unit path"},
        {R"(\NAND\..\a.bmp | 10 | 20 | 1 | bmp | button | | what)", "absolute unit path"},
        {R"(\NAND\a.bmp | 10 | 20 | 1 | gif | button | | what)", "unknown format"},
        {R"(\NAND\a.png | 10 | 20 | 1 | bmp | button | | what)", "extension"},
        {R"(\NAND\a.bmp | 0 | 20 | 1 | bmp | button | | what)", "bad width"},
        {R"(\NAND\a.bmp | 10 | 20x | 1 | bmp | button | | what)", "bad width"},
        {R"(\NAND\a.bmp | 10 | 20 | 1 | bmp | button | icon | what)", "key=value"},
        {R"(\NAND\Wren\Images\a b\x.bmp | 10 | 20 | 1 | bmp | button | | again)", "twice"},
    };
    for (const auto& bad : kBad) {
        SCOPED_TRACE(bad.line);
        entries.clear();
        error.clear();
        EXPECT_FALSE(assets::ParseManifest(good + "\n" + bad.line + "\n", "m", entries, error));
        EXPECT_EQ(0u, error.rfind("m:2: ", 0)) << error;
        EXPECT_NE(std::string::npos, error.find(bad.reason)) << error;
    }
}

} // namespace
