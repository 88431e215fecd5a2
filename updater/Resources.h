// The updater's pictures, by the resource ids its code uses. They are files
// of the unit under "\Windows\WrenUpdater\", drawn at build time by the
// asset generator and installed with the program.
#pragma once

#include "platform/base/Types.h"
#include "platform/gfx/Gdi.h"

#include <string>

inline constexpr int IDB_PROGRESS_BAR = 128; // stretched to the percentage
inline constexpr int IDB_STATUS_PANEL = 129; // 598 x 354, behind the status texts
inline constexpr int IDB_BUSY_FIRST = 130;   // nine busy frames, 114 x 109 each
inline constexpr int IDB_BUSY_LAST = 138;

namespace updater {
inline constexpr const WCHAR* kPictureFolder = u"\\Windows\\WrenUpdater\\";
// The unit path of a picture; empty for an unknown id.
std::u16string ResourcePicturePath(int id);
} // namespace updater

// Loads the picture of a resource id as a bitmap; null (last error set) when
// the id is unknown or the file cannot be read.
HBITMAP LoadBitmapW(HINSTANCE instance, int id);
