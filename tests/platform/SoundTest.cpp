// The unit's sounds: which WAV files are taken (every size checked against
// the file), and what sndPlaySoundW keeps of each sound it starts.
#include "platform/ui/Sound.h"
#include "platform/base/Clock.h"
#include "platform/base/Error.h"
#include "platform/io/Io.h"
#include "platform/io/WaveFile.h"
#include "tests/common/TempUnit.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

void Append32(Bytes& out, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void Append16(Bytes& out, std::uint16_t value)
{
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void Chunk(Bytes& out, const char* id, const Bytes& body, std::uint32_t claimed)
{
    out.insert(out.end(), id, id + 4);
    Append32(out, claimed);
    out.insert(out.end(), body.begin(), body.end());
    if (body.size() & 1)
        out.push_back(0);
}

struct WaveSpec {
    std::uint16_t format = 1;
    std::uint16_t channels = 1;
    std::uint32_t rate = 22050;
    std::uint16_t bits = 16;
    std::uint16_t blockAlign = 2;  // 0: channels * bits / 8
    std::size_t dataBytes = 44100; // one second of 16-bit mono at 22050
    std::int64_t dataClaim = -1;   // the data chunk's size field; -1: the bytes
    std::int64_t riffClaim = -1;   // the RIFF size field; -1: the form's
    std::uint32_t formatLength = 16;
    bool listFirst = false;   // an odd-sized chunk before "fmt "
    std::size_t trailing = 0; // bytes after the form
};

Bytes Wave(const WaveSpec& spec)
{
    Bytes form;
    if (spec.listFirst)
        Chunk(form, "LIST", Bytes(5, 'x'), 5);
    Bytes format;
    Append16(format, spec.format);
    Append16(format, spec.channels);
    Append32(format, spec.rate);
    Append32(format, spec.rate * spec.blockAlign);
    Append16(format, spec.blockAlign);
    Append16(format, spec.bits);
    format.resize(spec.formatLength, 0);
    Chunk(form, "fmt ", format, spec.formatLength);
    Bytes samples(spec.dataBytes, 0x40);
    Chunk(form, "data", samples,
          spec.dataClaim < 0 ? static_cast<std::uint32_t>(spec.dataBytes) : static_cast<std::uint32_t>(spec.dataClaim));
    Bytes file{'R', 'I', 'F', 'F'};
    Append32(file,
             spec.riffClaim < 0 ? static_cast<std::uint32_t>(form.size() + 4)
                                : static_cast<std::uint32_t>(spec.riffClaim));
    file.insert(file.end(), {'W', 'A', 'V', 'E'});
    file.insert(file.end(), form.begin(), form.end());
    file.resize(file.size() + spec.trailing, 0xEE);
    return file;
}

TEST(WaveFile, TakesPcmFilesWhoseChunksLieInsideTheFile)
{
    struct Case {
        const char* what;
        WaveSpec spec;
        bool taken;
        std::size_t samples;
        DWORD durationMs;
    };
    const Case cases[] = {
        {"16-bit mono", {}, true, 44100, 2000 / 2},
        {"8-bit stereo", {1, 2, 11025, 8, 2, 11025 * 2}, true, 11025 * 2, 1000},
        {"a chunk of odd size before the format", {.listFirst = true}, true, 44100, 1000},
        {"a partial last frame is dropped", {.dataBytes = 101}, true, 100, 2},
        {"the format chunk may be longer", {.formatLength = 18}, true, 44100, 1000},
        {"trailing bytes after the form", {.dataBytes = 40, .trailing = 7}, true, 40, 0},
        {"a form that ends inside its data", {.riffClaim = 4 + 8 + 16 + 8 + 40}, false, 0, 0},
        {"data claiming more than the file", {.dataClaim = 44102}, false, 0, 0},
        {"data claiming 4 GB", {.dataClaim = 0xFFFFFFFF}, false, 0, 0},
        {"form claiming more than the file", {.riffClaim = 1000000}, false, 0, 0},
        {"not PCM", {.format = 3}, false, 0, 0},
        {"three channels", {.channels = 3, .blockAlign = 6}, false, 0, 0},
        {"24 bits", {.bits = 24, .blockAlign = 3}, false, 0, 0},
        {"a frame size that does not fit", {.blockAlign = 4}, false, 0, 0},
        {"a rate of 0", {.rate = 0}, false, 0, 0},
        {"a format chunk too short", {.formatLength = 14}, false, 0, 0},
    };
    for (const Case& c : cases) {
        Bytes file = Wave(c.spec);
        platform::WaveSound sound;
        EXPECT_EQ(platform::ParseWave(file.data(), file.size(), &sound), c.taken) << c.what;
        if (c.taken) {
            EXPECT_EQ(sound.samples.size(), c.samples) << c.what;
            EXPECT_EQ(sound.DurationMs(), c.durationMs) << c.what;
        }
    }
    // Not a RIFF WAVE form at all, or cut short anywhere.
    Bytes good = Wave({});
    platform::WaveSound sound;
    for (std::size_t cut : {std::size_t{0}, std::size_t{11}, std::size_t{20}, std::size_t{43}, good.size() - 1})
        EXPECT_FALSE(platform::ParseWave(good.data(), cut, &sound)) << "cut at " << cut;
    Bytes avi = good;
    avi[8] = 'A';
    EXPECT_FALSE(platform::ParseWave(avi.data(), avi.size(), &sound));
}

TEST(Sound, KeepsWhatWasPlayedAndWhen)
{
    TempUnit unit("wren-sound");
    platform::ManualClock clock(5000);
    std::filesystem::create_directories(unit.Host("NAND/Wren/wav"));
    Bytes chime = Wave({.dataBytes = 70560}); // 1.6 s
    std::ofstream(unit.Host("NAND/Wren/wav/Intro.wav"), std::ios::binary)
        .write(reinterpret_cast<const char*>(chime.data()), static_cast<std::streamsize>(chime.size()));
    std::ofstream(unit.Host("NAND/Wren/wav/Broken.wav")) << "RIFF, but nothing more";
    platform::ClearPlayedSounds();

    EXPECT_TRUE(sndPlaySoundW(u"\\NAND\\Wren\\wav\\Intro.wav", SND_ASYNC));
    clock.Advance(250);
    EXPECT_TRUE(sndPlaySoundW(u"\\NAND\\Wren\\wav\\Intro.wav", SND_ASYNC | SND_NODEFAULT));
    EXPECT_TRUE(sndPlaySoundW(nullptr, SND_ASYNC)); // stops what plays

    EXPECT_FALSE(sndPlaySoundW(u"\\NAND\\Wren\\wav\\Missing.wav", SND_ASYNC));
    EXPECT_FALSE(sndPlaySoundW(u"\\NAND\\Wren\\wav\\Broken.wav", SND_ASYNC));
    EXPECT_EQ(GetLastError(), ERROR_BAD_FORMAT);
    EXPECT_FALSE(sndPlaySoundW(u"\\NAND\\Wren\\wav\\Intro.wav", 0)); // only asynchronous play
    EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);

    const std::vector<platform::PlayedSound> played = platform::PlayedSounds();
    ASSERT_EQ(played.size(), 2u);
    EXPECT_EQ(played[0].path, u"\\NAND\\Wren\\wav\\Intro.wav");
    EXPECT_EQ(played[0].tick, 5000u);
    EXPECT_EQ(played[0].durationMs, 1600u);
    EXPECT_EQ(played[1].tick, 5250u);
    platform::ClearPlayedSounds();
    EXPECT_TRUE(platform::PlayedSounds().empty());
}

// With the desktop's output on, sounds go through SDL's audio: here its
// dummy driver, which takes them like a device would.
TEST(Sound, PlaysThroughTheDesktopOutputWhenItIsOn)
{
    TempUnit unit("wren-sound-out");
    std::filesystem::create_directories(unit.Host("NAND/Wren/wav"));
    for (const auto& [name, spec] :
         {std::pair{"a.wav", WaveSpec{}}, std::pair{"b.wav", WaveSpec{1, 2, 11025, 8, 2, 2000}}}) {
        Bytes file = Wave(spec);
        std::ofstream(unit.Host(std::string("NAND/Wren/wav/") + name), std::ios::binary)
            .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    }
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    platform::ClearPlayedSounds();
    platform::SetSoundOutput(true);
    EXPECT_TRUE(sndPlaySoundW(u"\\NAND\\Wren\\wav\\a.wav", SND_ASYNC));
    EXPECT_TRUE(sndPlaySoundW(u"\\NAND\\Wren\\wav\\a.wav", SND_ASYNC)); // the same format: the device stays
    EXPECT_TRUE(sndPlaySoundW(u"\\NAND\\Wren\\wav\\b.wav", SND_ASYNC)); // another: it is opened again
    EXPECT_TRUE(sndPlaySoundW(nullptr, SND_ASYNC));
    platform::SetSoundOutput(false);
    EXPECT_TRUE(sndPlaySoundW(u"\\NAND\\Wren\\wav\\a.wav", SND_ASYNC)); // kept, not heard
    unsetenv("SDL_AUDIODRIVER");
    EXPECT_EQ(platform::PlayedSounds().size(), 4u);
}

} // namespace
