// A temporary unit root holding the 3D menu's pictures, opened as the unit
// with EGL and the menu's GL state set up, for the whole run of a menu
// benchmark; everything goes when the object goes.
#pragma once

#include "Source/gate/GateEgl.h"
#include "Source/gate/GateGL.h"
#include "platform/unit/Unit.h"

#include <cstdlib>
#include <filesystem>
#include <string>

class MenuUnit {
public:
    explicit MenuUnit(const char* prefix)
    {
        std::string pattern = std::string("/tmp/").append(prefix).append("-XXXXXX");
        if (!mkdtemp(pattern.data()))
            return;
        m_root = pattern;
        const std::string images = m_root + "/NAND/Wren/Images/";
        std::filesystem::create_directories(images);
        for (const char* folder : {"3Dgate", "Basic", "Bluetooth"})
            std::filesystem::copy(std::string(WREN_ASSETS_UNIT) + "/NAND/Wren/Images/" + folder, images + folder,
                                  std::filesystem::copy_options::recursive);
        m_ready = platform::OpenUnit(m_root) && gate::GateEgl::Init();
        if (m_ready)
            gate::GateGL::InitState();
    }
    ~MenuUnit()
    {
        platform::CloseUnit();
        if (!m_root.empty())
            std::filesystem::remove_all(m_root);
    }
    MenuUnit(const MenuUnit&) = delete;
    MenuUnit& operator=(const MenuUnit&) = delete;

    bool Ready() const { return m_ready; }

private:
    std::string m_root;
    bool m_ready = false;
};
