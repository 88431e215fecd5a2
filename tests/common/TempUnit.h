// A unit root of its own for one test: a fresh temporary folder opened as
// the unit (so nothing touches ./unit), closed and removed at the end.
#pragma once

#include "platform/unit/Unit.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

class TempUnit {
public:
    explicit TempUnit(const char* prefix = "wren-test")
    {
        std::string pattern = (std::filesystem::temp_directory_path() / (std::string(prefix) + "-XXXXXX")).string();
        if (mkdtemp(pattern.data()))
            m_root = pattern;
        EXPECT_FALSE(m_root.empty()) << "no temporary folder";
        m_open = !m_root.empty() && platform::OpenUnit(m_root);
        EXPECT_TRUE(m_open) << m_root;
    }
    ~TempUnit()
    {
        platform::CloseUnit();
        std::error_code ignored;
        if (!m_root.empty())
            std::filesystem::remove_all(m_root, ignored);
    }
    TempUnit(const TempUnit&) = delete;
    TempUnit& operator=(const TempUnit&) = delete;

    bool IsOpen() const { return m_open; }
    const std::string& Root() const { return m_root; }
    // The host path of a path under the root ("NAND/Wren/Images").
    std::string Host(const std::string& relative) const { return m_root + "/" + relative; }

private:
    std::string m_root;
    bool m_open = false;
};
