// The fixed GL state of the 3D menu, and the lock that keeps its two GL
// threads apart.
//
// The user-interface thread draws with the menu's context; the resource
// loader thread uploads with a second context that shares the textures
// (GateEgl). Decoding, the slow part, runs on the loader without the lock;
// placing an image in the atlas, its upload and the glFinish that makes it
// whole for the other context run under the lock, and so does every frame
// the user-interface thread draws. So a texture page is never written while a
// frame samples it, the atlases' lists have one writer at a time, and each GL
// call is made on a thread whose context is current.
#pragma once

#include <mutex>

namespace gate {

class GateGL {
public:
    // Smooth shading, depth test, face culling and dithering off, 2D
    // textures on with modulation, the 800x480 viewport, an orthographic
    // projection with y growing downwards (depth 1000 in front, -1000 at the
    // back) and the identity modelview. Dithering is off so that a frame is
    // the same on every run.
    static void InitState();

    // Held for every GL call on the menu's textures: uploads and frames.
    static std::unique_lock<std::recursive_mutex> Lock();
};

} // namespace gate
