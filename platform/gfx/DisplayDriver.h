// The escapes of the display driver (ExtEscape on the screen's DC). Each
// takes exactly the input size given; the driver answers 1 when it took the
// escape, -1 for a malformed one, 0 for a code it does not know.
#pragma once

enum class DisplayEscape : int {
    GateUiLayer = 6606, // 4 bytes: 3 disables the 3D menu's UI layer, 2 enables it, 0 precedes its EGL set-up
    Settings = 6617,    // kDisplaySettingsSize bytes: the stored display settings
    Brightness = 6620,  // 4 bytes: the backlight level
    DayMode = 6621,     // 4 bytes: 1 tail lamp off (day), 0 on (night)
};

inline constexpr int kDisplaySettingsSize = 12;
