// The 3D menu's display layer: the display driver switches it on and off
// (escape 6606 with 2 or 3), and the menu draws into it only while it is on
// and its rendering is not suspended. Two flags, kept apart:
//
// - "enabled": the layer is switched on. The shell and the rear-view screen
//   read it (GetGateUILayerFlag) to know whether the menu covers the screen.
// - "rendering suspended": the menu's sheet left the screen; its frame
//   timer draws nothing until the layer is switched again.
//
// Here the layer is the screen's gate plane, beneath the windows, showing
// where they draw the colour key; switching it off takes the menu's last
// frame off the screen. User-interface thread only.
#pragma once

#include "platform/base/Types.h"

namespace gate {

// TRUE while the layer is switched on (it starts off).
BOOL GetGateUILayerFlag();
// disable 1 switches the layer off ("[GATE] Disable Gate UI Layer"), any
// other value on ("[GATE] Enable Gate UI Layer"), through the display
// driver's escape on the screen's DC; then rendering is no longer
// suspended. Without a screen DC nothing is sent and nothing changes.
void SetGateUILayer(int disable);

BOOL IsGateRenderingSuspended();
// Suspending also takes the menu's frame off the screen.
void SuspendGateRendering();

} // namespace gate
