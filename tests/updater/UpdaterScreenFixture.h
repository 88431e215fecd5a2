// A unit root with the updater's pictures installed, a manual clock, and
// helpers to drive the updater's window and threads.
#pragma once

#include "platform/base/Clock.h"
#include "platform/gfx/Screen.h"
#include "platform/ui/Window.h"
#include "tests/common/TempUnit.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

namespace updatertest {

class UpdaterScreenTest : public ::testing::Test {
protected:
    UpdaterScreenTest()
    {
        // Only the updater's own pictures: the unit's others are not needed.
        std::filesystem::copy(std::filesystem::path(WREN_ASSETS_UNIT) / "Windows",
                              std::filesystem::path(m_unit.Root()) / "Windows",
                              std::filesystem::copy_options::recursive);
        platform::Screen::Get().Fill(0);
    }

    static void Pump()
    {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
    }

    // Moves the manual clock on in small steps until the condition holds (the
    // threads see each step); false when it never does.
    bool AdvanceUntil(const std::function<bool()>& done, std::uint64_t limitMs = 600000)
    {
        for (std::uint64_t moved = 0; !done(); moved += 10) {
            if (moved > limitMs)
                return false;
            m_clock.Advance(10);
            std::this_thread::sleep_for(std::chrono::microseconds(300));
        }
        return true;
    }

    // Waits in real time (bounded) for a thread to get somewhere.
    static bool WaitUntil(const std::function<bool()>& done)
    {
        for (int i = 0; i < 5000 && !done(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return done();
    }

    TempUnit m_unit;
    platform::ManualClock m_clock;
};

} // namespace updatertest
