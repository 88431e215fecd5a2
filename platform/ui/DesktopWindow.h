// The unit's screen on a desktop: an SDL2 window that shows the framebuffer
// and turns the mouse into the touch screen and the keyboard into keys.
#pragma once

#include <string>

namespace platform {

inline constexpr int kMaxScale = 8;

// Opens the window titled "Wren", 800x480 times scale, and makes it the
// screen's backend. SDL runs on a thread of its own. False (and the screen
// stays headless) when no display can be opened or a window is already open;
// error, when given, then tells why.
bool StartDesktopWindow(int scale = 1, std::string* error = nullptr);
// Closes the window, ends its thread and puts the headless backend back.
void StopDesktopWindow();

} // namespace platform
