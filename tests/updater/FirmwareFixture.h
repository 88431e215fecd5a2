// A unit root with the updater's work folder, a manual clock that the
// downloads' own waits move (so waits of seconds take none), and helpers to
// write firmware files and read the debug log.
#pragma once

#include "platform/base/Clock.h"
#include "platform/base/Debug.h"
#include "tests/common/TempUnit.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace updatertest {

inline std::vector<std::uint8_t> RandomBytes(std::size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    std::vector<std::uint8_t> bytes(size);
    for (std::uint8_t& byte : bytes)
        byte = static_cast<std::uint8_t>(random());
    return bytes;
}

class FirmwareTest : public ::testing::Test {
protected:
    FirmwareTest()
    {
        m_clock.SetSleepAdvances(true);
        std::filesystem::create_directories(m_unit.Host("_MAKE_TEMP_"));
        std::filesystem::create_directories(m_unit.Host("HDD"));
    }

    // Writes a file under the root ("_MAKE_TEMP_/_DMB_.BIN").
    void WriteFile(const std::string& relative, const std::vector<std::uint8_t>& bytes)
    {
        std::ofstream out(m_unit.Host(relative), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    void WriteFile(const std::string& relative, const std::string& text)
    {
        WriteFile(relative, std::vector<std::uint8_t>(text.begin(), text.end()));
    }

    // The lines of the log that start with prefix.
    static int CountLines(const platform::DebugCapture& log, const std::string& prefix)
    {
        int count = 0;
        for (const std::string& line : log.Lines())
            count += line.rfind(prefix, 0) == 0 ? 1 : 0;
        return count;
    }

    TempUnit m_unit;
    platform::ManualClock m_clock;
};

} // namespace updatertest
