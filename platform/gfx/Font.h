// Fonts and text: font files, logical fonts, metrics and drawing.
//
// The calls declared in Gdi.h (AddFontResourceW, CreateFontIndirectW,
// GetTextMetricsW, GetTextExtentExPointW, ExtTextOutW, ...) are implemented
// in Font.cpp over FreeType; this header adds the rest of the text calls.
// The font object of the GDI table is internal (FontInternal.h).
//
// Face names: AddFontResourceW registers every family name of the file's
// faces (the English one and the localised ones of its name table). A face
// name nobody added - the empty one included - falls back to the unit's font
// "\NAND\Wren\Corvan_AVN.ttf" when it is there, else to the system's
// NanumGothic, so text always renders. A bold request uses the family's bold
// face when one is added, else FreeType emboldens; italic is FreeType's
// oblique slant unless the family has an italic face.
//
// Sizes: lfHeight < 0 is the em size in pixels, > 0 the cell height
// (ascent + descent), 0 a 16-pixel cell. Quality NONANTIALIASED draws
// monochrome; every other quality draws grey-scale antialiased coverage.
//
// A character the font lacks is drawn as the font's missing-glyph box;
// surrogate pairs are decoded to one character, an unpaired surrogate is a
// missing character.
#pragma once

#include "platform/base/Types.h"
#include "platform/gfx/Gdi.h"

// DrawTextW formats.
inline constexpr UINT DT_TOP = 0x0000;
inline constexpr UINT DT_LEFT = 0x0000;
inline constexpr UINT DT_CENTER = 0x0001;
inline constexpr UINT DT_RIGHT = 0x0002;
inline constexpr UINT DT_VCENTER = 0x0004;
inline constexpr UINT DT_BOTTOM = 0x0008;
inline constexpr UINT DT_SINGLELINE = 0x0020;
inline constexpr UINT DT_NOCLIP = 0x0100;
inline constexpr UINT DT_CALCRECT = 0x0400;

// tmPitchAndFamily bits (TMPF_FIXED_PITCH set means a variable-pitch font).
inline constexpr BYTE TMPF_FIXED_PITCH = 0x01;
inline constexpr BYTE TMPF_VECTOR = 0x02;
inline constexpr BYTE TMPF_TRUETYPE = 0x04;
inline constexpr BYTE ANSI_CHARSET = 0;
inline constexpr BYTE HANGUL_CHARSET = 129;

BOOL GetTextExtentPoint32W(HDC dc, LPCWSTR text, int count, SIZE* size);
// Single line, or lines split at '\n' without DT_SINGLELINE; no word wrap.
// Returns the height of the text (0 on failure); DT_CALCRECT only sets
// rect's right and bottom to fit the text.
int DrawTextW(HDC dc, LPCWSTR text, int count, RECT* rect, UINT format);

namespace platform {

// Copies /usr/share/fonts/truetype/nanum/NanumGothic.ttf to the unit's font
// file "\NAND\Wren\Corvan_AVN.ttf" when that is missing, creating the
// folders. True when the file is there afterwards.
bool InstallUnitFonts();

// Characters of text (count < 0: zero-terminated) that the font has no glyph
// for; -1 for a handle that is not a font.
int CountMissingGlyphs(HFONT font, LPCWSTR text, int count = -1);

} // namespace platform
