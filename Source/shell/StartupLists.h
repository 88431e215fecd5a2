// What the kernel frame's creation step hands the framework: the unit's
// fonts for the font table (and the global index array through which the
// screens name them), the indicator and overlay bitmaps for the image
// preloader, and the full-screen pages in their order.
#pragma once

#include "Lib_cpp/core/Containers.h"
#include "Lib_cpp/core/Draw.h"
#include "platform/base/Types.h"

// One font of the unit: the slot of the global index array it fills, its
// character height in pixels, its style (IXFS_ANTIALIAS, IXFS_BOLD) and
// text colour. A separate font always gets a table row of its own.
struct CUnitFont {
    int nSlot;
    int nHeight;
    DWORD dwStyle;
    COLORREF crText;
    BOOL bSeparate;
};

inline constexpr int kUnitFontCount = 62;
// Slots 0 and 26 ... 86 of the index array are filled; 1 ... 25 are not.
inline constexpr int kFontSlots = 87;
inline constexpr int kPreloadCount = 69;
inline constexpr int kStartPageCount = 27;
// The application's start tick is taken after this many pages.
inline constexpr int kStartTickAfterPage = 8;

// The face of every unit font.
extern IxStringData g_UnitFontFace;
// The fonts in the order they are created (the index a shared row gets
// depends on it).
extern const CUnitFont g_UnitFonts[kUnitFontCount];
// The global font index array: slot -> row of the kernel frame's font
// table (0 for the slots not filled).
extern int g_nFontIndex[kFontSlots];
// The view ids of the full-screen pages, in the order they are created.
extern const int g_StartPages[kStartPageCount];

// Adds the unit's fonts to the table in their order and stores each row's
// index at the font's slot. Equal requests share a row; a separate font
// never does.
void FillUnitFonts(IxFontTable& table, int* slots);
// Replaces the array's contents by the preloaded bitmaps' paths, in order.
BOOL BuildPreloadList(IxStringArray* out);
