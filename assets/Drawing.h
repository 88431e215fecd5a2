// The drawing functions the manifest names, and the text helper they share.
#pragma once

#include "assets/Manifest.h"

namespace assets {

// Loads the text face (NanumGothic) for the drawings; false when missing.
bool LoadTextFace(const char* fontPath);
void ReleaseTextFace();

// The updater's pictures.
void DrawUpdaterPanel(cairo_t* cr, int width, int height, int arg);
void DrawUpdaterBusyFrame(cairo_t* cr, int width, int height, int frame);
void DrawUpdaterBar(cairo_t* cr, int width, int height, int arg);

} // namespace assets
