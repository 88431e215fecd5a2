#include "platform/gl/Egl.h"

#include "platform/gfx/Screen.h"
#include "platform/gl/GlInternal.h"

#include <EGL/eglext.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

namespace platform {
namespace gl {

State& GetState()
{
    static State state;
    return state;
}

namespace {

EGLint Attribute(EGLDisplay display, EGLConfig config, EGLint name)
{
    EGLint value = 0;
    eglGetConfigAttrib(display, config, name, &value);
    return value;
}

// Whether config has exactly what attributes ask (see EglChooseConfig).
bool Matches(EGLDisplay display, EGLConfig config, const EGLint* attributes)
{
    for (const EGLint* a = attributes; a && a[0] != EGL_NONE; a += 2) {
        const EGLint name = a[0];
        EGLint wanted = a[1];
        const EGLint has = Attribute(display, config, name);
        switch (name) {
        case EGL_RENDERABLE_TYPE:
            if ((has & wanted) != wanted)
                return false;
            break;
        case EGL_SURFACE_TYPE:
            if (wanted & EGL_WINDOW_BIT)
                wanted = (wanted & ~EGL_WINDOW_BIT) | EGL_PBUFFER_BIT;
            if ((has & wanted) != wanted)
                return false;
            break;
        default:
            if (has != wanted)
                return false;
            break;
        }
    }
    return true;
}

} // namespace
} // namespace gl

EGLDisplay EglGetDisplay(HDC)
{
    gl::State& state = gl::GetState();
    std::lock_guard<std::mutex> guard(state.mutex);
    if (state.display == EGL_NO_DISPLAY)
        state.display = eglGetPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    return state.display;
}

EGLBoolean EglChooseConfig(EGLDisplay display, const EGLint* attributes, EGLConfig* configs, EGLint size, EGLint* count)
{
    if (!count)
        return EGL_FALSE;
    *count = 0;
    EGLint total = 0;
    if (!eglGetConfigs(display, nullptr, 0, &total))
        return EGL_FALSE;
    std::vector<EGLConfig> all(static_cast<std::size_t>(std::max(total, 0)));
    if (total > 0 && !eglGetConfigs(display, all.data(), total, &total))
        return EGL_FALSE;
    all.resize(static_cast<std::size_t>(std::max(total, 0)));
    std::vector<EGLConfig> matching;
    for (EGLConfig config : all)
        if (gl::Matches(display, config, attributes))
            matching.push_back(config);
    const auto extra = [display](EGLConfig c) {
        return gl::Attribute(display, c, EGL_DEPTH_SIZE) + gl::Attribute(display, c, EGL_STENCIL_SIZE);
    };
    std::stable_sort(matching.begin(), matching.end(),
                     [&extra](EGLConfig a, EGLConfig b) { return extra(a) < extra(b); });
    if (!configs) {
        *count = static_cast<EGLint>(matching.size());
        return EGL_TRUE;
    }
    const std::size_t n = std::min(matching.size(), static_cast<std::size_t>(std::max(size, 0)));
    std::copy_n(matching.begin(), n, configs);
    *count = static_cast<EGLint>(n);
    return EGL_TRUE;
}

EGLSurface EglCreateWindowSurface(EGLDisplay display, EGLConfig config, void*, const EGLint*)
{
    const EGLint size[] = {EGL_WIDTH, kScreenWidth, EGL_HEIGHT, kScreenHeight, EGL_NONE};
    EGLSurface surface = eglCreatePbufferSurface(display, config, size);
    if (surface == EGL_NO_SURFACE)
        return surface;
    gl::State& state = gl::GetState();
    std::lock_guard<std::mutex> guard(state.mutex);
    state.windows.push_back({display, surface, kScreenWidth, kScreenHeight});
    return surface;
}

EGLBoolean EglSwapBuffers(EGLDisplay display, EGLSurface surface)
{
    gl::WindowSurface window;
    {
        gl::State& state = gl::GetState();
        std::lock_guard<std::mutex> guard(state.mutex);
        for (const gl::WindowSurface& w : state.windows)
            if (w.display == display && w.surface == surface)
                window = w;
    }
    if (window.surface == EGL_NO_SURFACE)
        return eglSwapBuffers(display, surface);
    if (eglGetCurrentSurface(EGL_DRAW) != surface || eglGetCurrentDisplay() != display)
        return EGL_FALSE;
    const std::size_t count = static_cast<std::size_t>(window.width) * static_cast<std::size_t>(window.height);
    // Kept from frame to frame: a frame every 50 ms should not fault in and
    // clear fresh buffers each time.
    thread_local std::vector<std::uint8_t> read;
    thread_local std::vector<std::uint16_t> frame;
    frame.resize(count);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    // GL's rows run bottom up, the screen's top down.
    GLint format = 0, type = 0;
    glGetIntegerv(GL_IMPLEMENTATION_COLOR_READ_FORMAT_OES, &format);
    glGetIntegerv(GL_IMPLEMENTATION_COLOR_READ_TYPE_OES, &type);
    if (format == GL_RGB && type == GL_UNSIGNED_SHORT_5_6_5 && window.width % 2 == 0) {
        // The colour buffer's own format: read as it is.
        read.resize(count * 2);
        glReadPixels(0, 0, window.width, window.height, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, read.data());
        const std::size_t rowBytes = static_cast<std::size_t>(window.width) * 2;
        for (int y = 0; y < window.height; ++y)
            std::memcpy(frame.data() + static_cast<std::size_t>(y) * window.width,
                        read.data() + static_cast<std::size_t>(window.height - 1 - y) * rowBytes, rowBytes);
    } else {
        // The colour buffer is RGB565: each 8-bit channel read back is the
        // 5- or 6-bit value widened, so narrowing it again is exact.
        read.resize(count * 4);
        glReadPixels(0, 0, window.width, window.height, GL_RGBA, GL_UNSIGNED_BYTE, read.data());
        for (int y = 0; y < window.height; ++y) {
            const std::uint8_t* in = read.data() + static_cast<std::size_t>(window.height - 1 - y) * window.width * 4;
            std::uint16_t* out = frame.data() + static_cast<std::size_t>(y) * window.width;
            for (int x = 0; x < window.width; ++x, in += 4)
                out[x] = static_cast<std::uint16_t>(((in[0] >> 3) << 11) | ((in[1] >> 2) << 5) | (in[2] >> 3));
        }
    }
    const EGLBoolean swapped = eglSwapBuffers(display, surface);
    Screen& screen = Screen::Get();
    const RECT area{0, 0, window.width, window.height};
    screen.SetVideoPlane(kGateLayerPlane, area, frame.data(), window.width);
    screen.Present(area);
    return swapped;
}

} // namespace platform
