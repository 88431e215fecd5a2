// EGL and OpenGL ES 1.x for the 3D menu: Mesa's own EGL and GLESv1_CM, with
// the few calls that meet the unit's display wrapped here. The unit has no
// window system for EGL: the display is Mesa's surfaceless platform, a
// "window" surface is an 800x480 pbuffer, and a swap reads the frame back
// into the gate layer of the screen (a plane beneath the windows that shows
// wherever they draw the colour key), so it appears in screenshots and in the
// desktop window. Every other EGL and GL call is Mesa's, used directly.
#pragma once

#include "platform/base/Types.h"

#include <EGL/egl.h>
#include <GLES/gl.h>

namespace platform {

// The screen plane the menu's frames are read back into; above every video
// plane.
inline constexpr int kGateLayerPlane = 1000;

// The unit's EGL display (the device context is only where the unit would
// find its display; every call answers the same one). EGL_NO_DISPLAY when
// Mesa's surfaceless platform is not there.
EGLDisplay EglGetDisplay(HDC dc);

// eglChooseConfig with exact matching: a colour, alpha or sample-buffer size
// given must equal the config's (EGL's own call takes them as minimums and
// would answer a 32-bit config first); the renderable and surface type bits
// given must all be set, where a window surface is a pbuffer here. Of the
// configs that match, those with the fewest depth and stencil bits come first.
EGLBoolean EglChooseConfig(EGLDisplay display, const EGLint* attributes, EGLConfig* configs, EGLint size,
                           EGLint* count);

// A full-screen surface for the config: an 800x480 pbuffer whose frames a swap
// shows. The native window is not used (the unit has one screen).
EGLSurface EglCreateWindowSurface(EGLDisplay display, EGLConfig config, void* window, const EGLint* attributes);

// Finishes the frame of the context current on this thread, which draws into
// surface, reads it back into the gate layer and presents it. A surface not
// made by EglCreateWindowSurface is only swapped. Answers eglSwapBuffers' result
// (EGL_FALSE, and nothing shown, when the surface is not current here).
EGLBoolean EglSwapBuffers(EGLDisplay display, EGLSurface surface);

} // namespace platform
