// The 3D menu's EGL objects: one display, configuration, full-screen surface
// and context, set up once by whichever thread comes first (the resource
// loader, as the unit starts); the user-interface thread makes the context
// current, draws every frame and swaps; a second context that shares their
// textures is current on the loader thread so that its uploads have a
// context of their own (GateGL.h says how the two are kept apart).
#pragma once

#include "platform/base/Types.h"
#include "platform/gl/Egl.h"

namespace gate {

class GateEgl {
public:
    // Sends the display driver's gate-layer escape with 0, then sets up the
    // display, RGB565 configuration, surface and context and makes them
    // current on this thread. 1 when the context is current, else 0 after
    // logging the step that failed. Later calls answer whether the first
    // succeeded.
    static BOOL Init();
    // Before drawing on the user-interface thread: sets up as Init does
    // when nothing has yet, else makes the menu's context current on this
    // thread (the loader thread may have set it up). 1 when current.
    static BOOL MakeCurrent();
    // Shows the frame drawn since the last swap; eglSwapBuffers' answer.
    static BOOL Swap();

    // On the loader thread: makes a context that shares the menu's textures
    // current without a surface, setting the display up first when nothing
    // has yet. 1 when it is current, 0 when the set-up failed or EGL refuses.
    static BOOL MakeLoaderCurrent();
    // On the loader thread, once it is done with EGL (whether or not its
    // context was made): releases and destroys that context and the
    // thread's EGL state.
    static void ReleaseLoader();

    static bool IsReady();
};

} // namespace gate
