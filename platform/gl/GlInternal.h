// The state behind platform/gl/Egl.h: the surfaces made as window surfaces
// (each the size of the screen) and the buffer a swap reads into.
#pragma once

#include <EGL/egl.h>

#include <cstdint>
#include <mutex>
#include <vector>

namespace platform::gl {

struct WindowSurface {
    EGLDisplay display = EGL_NO_DISPLAY;
    EGLSurface surface = EGL_NO_SURFACE;
    int width = 0;
    int height = 0;
};

struct State {
    std::mutex mutex;
    EGLDisplay display = EGL_NO_DISPLAY;
    std::vector<WindowSurface> windows;
};

State& GetState();

} // namespace platform::gl
