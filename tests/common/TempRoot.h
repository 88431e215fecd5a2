// A fresh temporary folder made the unit's root through WREN_ROOT for one
// test, without opening the unit: for the platform services that find their
// files under the root (registry, configuration, programs). The previous
// WREN_ROOT comes back with Restore or at the end, then the folder goes.
#pragma once

#include "tests/common/TempFolder.h"

#include <cstdlib>
#include <optional>
#include <string>

class TempRoot {
public:
    explicit TempRoot(const char* prefix = "wren-test") : m_folder(prefix)
    {
        if (const char* previous = std::getenv("WREN_ROOT"))
            m_previous = previous;
        setenv("WREN_ROOT", Root().c_str(), 1);
    }
    ~TempRoot() { Restore(); }
    TempRoot(const TempRoot&) = delete;
    TempRoot& operator=(const TempRoot&) = delete;

    const std::string& Root() const { return m_folder.Path(); }

    // Puts the previous WREN_ROOT back (the folder stays until the end).
    void Restore()
    {
        if (m_restored)
            return;
        m_restored = true;
        if (m_previous)
            setenv("WREN_ROOT", m_previous->c_str(), 1);
        else
            unsetenv("WREN_ROOT");
    }

private:
    TempFolder m_folder;
    std::optional<std::string> m_previous;
    bool m_restored = false;
};
