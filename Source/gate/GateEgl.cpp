#include "Source/gate/GateEgl.h"

#include "Lib_cpp/core/Diag.h"
#include "platform/gfx/DisplayDriver.h"
#include "platform/gfx/Gdi.h"

#include <mutex>

namespace gate {
namespace {

struct EglState {
    std::mutex mutex;
    bool tried = false;
    bool ready = false;
    EGLDisplay display = EGL_NO_DISPLAY;
    EGLConfig config = nullptr;
    EGLSurface surface = EGL_NO_SURFACE;
    EGLContext context = EGL_NO_CONTEXT;
};

EglState& State()
{
    static EglState state;
    return state;
}

// RGB565 without alpha or multisampling, for OpenGL ES 1.x on the screen.
// clang-format off
const EGLint kConfigAttributes[] = {
    EGL_RED_SIZE, 5,
    EGL_GREEN_SIZE, 6,
    EGL_BLUE_SIZE, 5,
    EGL_ALPHA_SIZE, 0,
    EGL_RENDERABLE_TYPE, EGL_OPENGL_ES_BIT,
    EGL_SURFACE_TYPE, EGL_WINDOW_BIT,
    EGL_SAMPLE_BUFFERS, 0,
    EGL_NONE,
};
// clang-format on
const EGLint kContextAttributes[] = {EGL_CONTEXT_CLIENT_VERSION, 1, EGL_NONE};

thread_local EGLContext t_loaderContext = EGL_NO_CONTEXT;

BOOL Fail(const char16_t* message)
{
    IxTrace(u"%s\r\n", message);
    return FALSE;
}

BOOL SetUp(EglState& s)
{
    // The driver hears of the set-up before the display is taken.
    HDC dc = GetDC(nullptr);
    if (dc) {
        const int value = 0;
        ExtEscape(dc, static_cast<int>(DisplayEscape::GateUiLayer), sizeof(value), reinterpret_cast<LPCSTR>(&value), 0,
                  nullptr);
    }
    s.display = platform::EglGetDisplay(dc);
    if (dc)
        ReleaseDC(nullptr, dc);
    if (s.display == EGL_NO_DISPLAY)
        return Fail(u"Unable to create EGL display");
    if (!eglInitialize(s.display, nullptr, nullptr))
        return Fail(u"Unable to initialize EGL");
    EGLint count = 0;
    if (!platform::EglChooseConfig(s.display, kConfigAttributes, &s.config, 1, &count) || count < 1)
        return Fail(u"Unable to find a suitable EGL configuration");
    s.surface = platform::EglCreateWindowSurface(s.display, s.config, nullptr, nullptr);
    if (s.surface == EGL_NO_SURFACE)
        return Fail(u"Unable to create an EGL surface");
    if (!eglBindAPI(EGL_OPENGL_ES_API))
        return Fail(u"Unable to create an EGL context");
    s.context = eglCreateContext(s.display, s.config, EGL_NO_CONTEXT, kContextAttributes);
    if (s.context == EGL_NO_CONTEXT)
        return Fail(u"Unable to create an EGL context");
    if (!eglMakeCurrent(s.display, s.surface, s.surface, s.context))
        return Fail(u"Unable to set the EGL context current");
    return TRUE;
}

} // namespace

BOOL GateEgl::Init()
{
    EglState& s = State();
    std::lock_guard<std::mutex> guard(s.mutex);
    if (!s.tried) {
        s.tried = true;
        s.ready = SetUp(s) != FALSE;
    }
    return s.ready ? TRUE : FALSE;
}

BOOL GateEgl::MakeCurrent()
{
    EglState& s = State();
    std::lock_guard<std::mutex> guard(s.mutex);
    if (!s.tried) {
        s.tried = true;
        s.ready = SetUp(s) != FALSE;
        return s.ready ? TRUE : FALSE;
    }
    if (!s.ready)
        return FALSE;
    if (eglGetCurrentContext() == s.context)
        return TRUE;
    if (!eglMakeCurrent(s.display, s.surface, s.surface, s.context))
        return Fail(u"Unable to set the EGL context current");
    return TRUE;
}

BOOL GateEgl::Swap()
{
    EglState& s = State();
    EGLDisplay display;
    EGLSurface surface;
    {
        std::lock_guard<std::mutex> guard(s.mutex);
        display = s.display;
        surface = s.surface;
    }
    return platform::EglSwapBuffers(display, surface) ? TRUE : FALSE;
}

BOOL GateEgl::MakeLoaderCurrent()
{
    EglState& s = State();
    std::lock_guard<std::mutex> guard(s.mutex);
    if (!s.tried) {
        // Set up here, so that the user-interface thread does not wait for
        // the driver: the menu's context is let go at once, for that thread
        // to take when it first draws.
        s.tried = true;
        s.ready = SetUp(s) != FALSE;
        eglMakeCurrent(s.display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    }
    if (!s.ready)
        return FALSE;
    if (t_loaderContext == EGL_NO_CONTEXT) {
        eglBindAPI(EGL_OPENGL_ES_API);
        t_loaderContext = eglCreateContext(s.display, s.config, s.context, kContextAttributes);
        if (t_loaderContext == EGL_NO_CONTEXT)
            return Fail(u"Unable to create the loader's EGL context");
    }
    if (!eglMakeCurrent(s.display, EGL_NO_SURFACE, EGL_NO_SURFACE, t_loaderContext))
        return Fail(u"Unable to set the loader's EGL context current");
    return TRUE;
}

void GateEgl::ReleaseLoader()
{
    EglState& s = State();
    std::lock_guard<std::mutex> guard(s.mutex);
    if (t_loaderContext != EGL_NO_CONTEXT) {
        eglMakeCurrent(s.display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        eglDestroyContext(s.display, t_loaderContext);
        t_loaderContext = EGL_NO_CONTEXT;
    }
    // The thread's own EGL state goes now, while the thread is still known
    // to be running: left to the thread's end it would be freed at an
    // unknown time, and at the program's end that can meet EGL's own
    // clean-up of the same state.
    eglReleaseThread();
}

bool GateEgl::IsReady()
{
    EglState& s = State();
    std::lock_guard<std::mutex> guard(s.mutex);
    return s.ready;
}

} // namespace gate
