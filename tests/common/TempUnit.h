// A unit root of its own for one test: a fresh temporary folder opened as
// the unit (so nothing touches ./unit), closed and removed at the end.
#pragma once

#include "platform/unit/Unit.h"
#include "tests/common/TempFolder.h"

#include <gtest/gtest.h>

#include <string>

class TempUnit {
public:
    explicit TempUnit(const char* prefix = "wren-test") : m_folder(prefix)
    {
        m_open = !Root().empty() && platform::OpenUnit(Root());
        EXPECT_TRUE(m_open) << Root();
    }
    // Closed before the folder goes.
    ~TempUnit() { platform::CloseUnit(); }
    TempUnit(const TempUnit&) = delete;
    TempUnit& operator=(const TempUnit&) = delete;

    bool IsOpen() const { return m_open; }
    const std::string& Root() const { return m_folder.Path(); }
    // The host path of a path under the root ("NAND/Wren/Images").
    std::string Host(const std::string& relative) const { return Root() + "/" + relative; }

private:
    TempFolder m_folder;
    bool m_open = false;
};
