// The display driver behind ExtEscape: keeps what the escapes set (the 3D
// menu's UI layer, the display settings, the brightness, day or night) and
// records every escape with its bytes. A malformed escape (wrong size, a
// value the driver does not take) answers -1 and changes nothing.
#pragma once

#include "platform/gfx/DisplayDriver.h"

#include <array>
#include <memory>
#include <mutex>
#include <vector>

namespace sim {

class CDisplay {
public:
    struct Call {
        int code = 0;
        std::vector<unsigned char> input;
        int result = 0;
    };

    // Makes a new display the platform's escape handler and returns it.
    static std::shared_ptr<CDisplay> Install();
    static void Uninstall();

    int Escape(int code, const void* in, int inSize);

    std::vector<Call> Calls() const;
    bool GateUiLayerEnabled() const;
    std::vector<unsigned char> Settings() const; // empty: never set
    int Brightness() const;                      // -1: never set
    int DayMode() const;                         // -1: never set

private:
    mutable std::mutex m_lock;
    std::vector<Call> m_calls;
    bool m_gateUiLayer = true;
    std::vector<unsigned char> m_settings;
    int m_brightness = -1;
    int m_dayMode = -1;
};

} // namespace sim
