// The drawings the manifest names, by name. A drawing paints one frame of
// width x height at the origin; the generator places the frames side by side.
#pragma once

#include "assets/Manifest.h"

#include <string>

struct _cairo;
typedef struct _cairo cairo_t;

namespace assets {

struct Frame {
    int width;
    int height;
    int index; // 0 .. entry.frames - 1
    const ManifestEntry& entry;
};

using Drawing = void (*)(cairo_t* cr, const Frame& frame);

// The drawing of that name, or nullptr.
Drawing FindDrawing(const std::string& name);

} // namespace assets
