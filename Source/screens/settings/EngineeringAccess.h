// The engineering screen's access gesture: six touches on the corners of the
// screen, in order, open the engineering screen (view 10056). The screen
// registers the table with the kernel while its entry point is set up and
// removes it by the same table when it no longer wants it; the kernel posts
// the action {10056, AEV_DEFAULT} when the whole sequence was touched.
#pragma once

#include "Lib_cpp/kernel/Kernel.h"

inline constexpr int kEngineeringModeViewId = 10056;

// The six touch rectangles (screen pixels, edges inside) and the end record.
extern const IxAccessRect g_EngineeringAccessGesture[7];

// Registers the table with the kernel for view 10056; 0 without a kernel.
BOOL RegisterEngineeringAccessGesture();
void RemoveEngineeringAccessGesture();
