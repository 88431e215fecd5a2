// The manifest: every picture the unit reads, by its path under the unit
// root, its size and how it is drawn. Adding a picture is adding a row.
#pragma once

#include <cstddef>

struct _cairo;
typedef struct _cairo cairo_t;

namespace assets {

// Draws a picture of width x height; arg selects a variant (a frame).
using DrawFunction = void (*)(cairo_t* cr, int width, int height, int arg);

struct AssetEntry {
    const char* path; // under the unit root, '/' separated; ".bmp" or ".png"
    int width;
    int height;
    DrawFunction draw;
    int arg;
};

extern const AssetEntry kManifest[];
extern const std::size_t kManifestSize;

} // namespace assets
