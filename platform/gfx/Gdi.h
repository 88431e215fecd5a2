// Drawing: device contexts, bitmaps, regions, brushes, pens and blits.
//
// A window DC draws straight onto the screen's framebuffer at the window's
// screen position, clipped to the window and its visible parents and kept
// off the top-level windows in front of it, so that the screen shows the
// windows in z-order whatever order they paint in; a memory
// DC draws into the bitmap selected into it. Coordinates given to the
// drawing calls are logical: the viewport origin is added to reach device
// coordinates. Clip regions are in device coordinates (the viewport origin
// does not move them). Every drawing call is clipped to the clip region and
// to the target's bounds, and a blit also to its source's bounds: no call
// reads or writes outside a surface.
//
// GDI handles (bitmaps, brushes, pens, fonts, regions, DCs) are table slots
// with a generation, never addresses; a deleted handle is recognised as
// stale. Text calls (fonts, ExtTextOutW, metrics) are declared here with the
// rest and implemented in platform/gfx/Font.cpp.
#pragma once

#include "platform/base/Types.h"
#include "platform/gfx/Color.h"

#include <functional>

using HGDIOBJ = void*;
struct HBITMAP__;
using HBITMAP = HBITMAP__*;
struct HFONT__;
using HFONT = HFONT__*;
struct HPEN__;
using HPEN = HPEN__*;
struct HRGN__;
using HRGN = HRGN__*;

inline constexpr COLORREF CLR_INVALID = 0xFFFFFFFFu;

// Raster operations.
inline constexpr DWORD SRCCOPY = 0x00CC0020;
inline constexpr DWORD SRCPAINT = 0x00EE0086;
inline constexpr DWORD SRCAND = 0x008800C6;
inline constexpr DWORD SRCINVERT = 0x00660046;
inline constexpr DWORD NOTSRCCOPY = 0x00330008;
inline constexpr DWORD DSTINVERT = 0x00550009;
inline constexpr DWORD PATCOPY = 0x00F00021;
inline constexpr DWORD PATINVERT = 0x005A0049;
inline constexpr DWORD BLACKNESS = 0x00000042;
inline constexpr DWORD WHITENESS = 0x00FF0062;

// Object types (GetObjectType values).
inline constexpr int OBJ_PEN = 1;
inline constexpr int OBJ_BRUSH = 2;
inline constexpr int OBJ_DC = 3;
inline constexpr int OBJ_FONT = 6;
inline constexpr int OBJ_BITMAP = 7;
inline constexpr int OBJ_REGION = 8;
inline constexpr int OBJ_MEMDC = 10;

// Stock objects.
inline constexpr int WHITE_BRUSH = 0;
inline constexpr int LTGRAY_BRUSH = 1;
inline constexpr int GRAY_BRUSH = 2;
inline constexpr int DKGRAY_BRUSH = 3;
inline constexpr int BLACK_BRUSH = 4;
inline constexpr int NULL_BRUSH = 5;
inline constexpr int HOLLOW_BRUSH = NULL_BRUSH;
inline constexpr int WHITE_PEN = 6;
inline constexpr int BLACK_PEN = 7;
inline constexpr int NULL_PEN = 8;
inline constexpr int SYSTEM_FONT = 13;

// Pen styles.
inline constexpr int PS_SOLID = 0;
inline constexpr int PS_DASH = 1;
inline constexpr int PS_NULL = 5;

// Background modes.
inline constexpr int TRANSPARENT = 1;
inline constexpr int OPAQUE = 2;

// Text alignment.
inline constexpr UINT TA_NOUPDATECP = 0;
inline constexpr UINT TA_UPDATECP = 1;
inline constexpr UINT TA_LEFT = 0;
inline constexpr UINT TA_RIGHT = 2;
inline constexpr UINT TA_CENTER = 6;
inline constexpr UINT TA_TOP = 0;
inline constexpr UINT TA_BOTTOM = 8;
inline constexpr UINT TA_BASELINE = 24;

// Region results and combine modes.
inline constexpr int ERROR = 0;
inline constexpr int NULLREGION = 1;
inline constexpr int SIMPLEREGION = 2;
inline constexpr int COMPLEXREGION = 3;
inline constexpr int RGN_AND = 1;
inline constexpr int RGN_OR = 2;
inline constexpr int RGN_XOR = 3;
inline constexpr int RGN_DIFF = 4;
inline constexpr int RGN_COPY = 5;

// Bitmap formats.
inline constexpr DWORD BI_RGB = 0;
inline constexpr DWORD BI_BITFIELDS = 3;
inline constexpr UINT DIB_RGB_COLORS = 0;

// GetDeviceCaps indices and answers.
inline constexpr int TECHNOLOGY = 2;
inline constexpr int HORZRES = 8;
inline constexpr int VERTRES = 10;
inline constexpr int BITSPIXEL = 12;
inline constexpr int PLANES = 14;
inline constexpr int NUMCOLORS = 24;
inline constexpr int RASTERCAPS = 38;
inline constexpr int LOGPIXELSX = 88;
inline constexpr int LOGPIXELSY = 90;
inline constexpr int DT_RASDISPLAY = 1;
inline constexpr int RC_BITBLT = 0x0001;
inline constexpr int RC_BITMAP64 = 0x0008;
inline constexpr int RC_DI_BITMAP = 0x0080;
inline constexpr int RC_DIBTODEV = 0x0200;
inline constexpr int RC_STRETCHBLT = 0x0800;
inline constexpr int RC_STRETCHDIB = 0x2000;

// AlphaBlend.
inline constexpr BYTE AC_SRC_OVER = 0x00;
inline constexpr BYTE AC_SRC_ALPHA = 0x01;

// Fonts (the text calls use these).
inline constexpr LONG FW_NORMAL = 400;
inline constexpr LONG FW_BOLD = 700;
inline constexpr BYTE DEFAULT_CHARSET = 1;
inline constexpr BYTE OUT_DEFAULT_PRECIS = 0;
inline constexpr BYTE CLIP_DEFAULT_PRECIS = 0;
inline constexpr BYTE DEFAULT_QUALITY = 0;
inline constexpr BYTE NONANTIALIASED_QUALITY = 3;
inline constexpr BYTE ANTIALIASED_QUALITY = 4;
inline constexpr BYTE CLEARTYPE_QUALITY = 5;
inline constexpr BYTE DEFAULT_PITCH = 0;
inline constexpr BYTE FIXED_PITCH = 1;
inline constexpr BYTE VARIABLE_PITCH = 2;
inline constexpr int LF_FACESIZE = 32;
inline constexpr UINT ETO_OPAQUE = 0x0002;
inline constexpr UINT ETO_CLIPPED = 0x0004;

struct BITMAP {
    LONG bmType;
    LONG bmWidth;
    LONG bmHeight;
    LONG bmWidthBytes;
    WORD bmPlanes;
    WORD bmBitsPixel;
    LPVOID bmBits;
};

struct BITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};

struct RGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
};

// For BI_BITFIELDS the three colour masks (red, green, blue) follow the
// header in bmiColors, as DWORDs.
struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[3];
};

struct DIBSECTION {
    BITMAP dsBm;
    BITMAPINFOHEADER dsBmih;
    DWORD dsBitfields[3];
    HANDLE dshSection;
    DWORD dsOffset;
};

struct BLENDFUNCTION {
    BYTE BlendOp;
    BYTE BlendFlags;
    BYTE SourceConstantAlpha;
    BYTE AlphaFormat;
};

struct LOGFONTW {
    LONG lfHeight;
    LONG lfWidth;
    LONG lfEscapement;
    LONG lfOrientation;
    LONG lfWeight;
    BYTE lfItalic;
    BYTE lfUnderline;
    BYTE lfStrikeOut;
    BYTE lfCharSet;
    BYTE lfOutPrecision;
    BYTE lfClipPrecision;
    BYTE lfQuality;
    BYTE lfPitchAndFamily;
    WCHAR lfFaceName[LF_FACESIZE];
};

struct TEXTMETRICW {
    LONG tmHeight;
    LONG tmAscent;
    LONG tmDescent;
    LONG tmInternalLeading;
    LONG tmExternalLeading;
    LONG tmAveCharWidth;
    LONG tmMaxCharWidth;
    LONG tmWeight;
    LONG tmOverhang;
    LONG tmDigitizedAspectX;
    LONG tmDigitizedAspectY;
    WCHAR tmFirstChar;
    WCHAR tmLastChar;
    WCHAR tmDefaultChar;
    WCHAR tmBreakChar;
    BYTE tmItalic;
    BYTE tmUnderlined;
    BYTE tmStruckOut;
    BYTE tmPitchAndFamily;
    BYTE tmCharSet;
};

// Device contexts.
HDC GetDC(HWND hwnd); // null: the whole screen
int ReleaseDC(HWND hwnd, HDC dc);
HDC CreateCompatibleDC(HDC dc);
// The window whose DC this is; null for a memory DC or the screen's.
HWND WindowFromDC(HDC dc);
BOOL DeleteDC(HDC dc);
int GetDeviceCaps(HDC dc, int index);
int ExtEscape(HDC dc, int code, int inSize, LPCSTR in, int outSize, LPSTR out);

// Objects.
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
BOOL DeleteObject(HGDIOBJ object);
HGDIOBJ GetStockObject(int index);
HGDIOBJ GetCurrentObject(HDC dc, UINT type);
DWORD GetObjectType(HGDIOBJ object);
int GetObjectW(HGDIOBJ object, int size, LPVOID out);
inline int GetObject(HGDIOBJ object, int size, LPVOID out)
{
    return GetObjectW(object, size, out);
}

// Bitmaps.
HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section, DWORD offset);
HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits);

// Regions and clipping.
HRGN CreateRectRgn(int left, int top, int right, int bottom);
HRGN CreateRectRgnIndirect(const RECT* rect);
int CombineRgn(HRGN dest, HRGN a, HRGN b, int mode);
int GetRgnBox(HRGN rgn, RECT* rect);
int SelectClipRgn(HDC dc, HRGN rgn);
int GetClipBox(HDC dc, RECT* rect);
int IntersectClipRect(HDC dc, int left, int top, int right, int bottom);

// Coordinates.
BOOL SetViewportOrgEx(HDC dc, int x, int y, POINT* old);
BOOL GetViewportOrgEx(HDC dc, POINT* origin);
BOOL OffsetViewportOrgEx(HDC dc, int dx, int dy, POINT* old);

// Attributes.
COLORREF SetTextColor(HDC dc, COLORREF color);
COLORREF GetTextColor(HDC dc);
COLORREF SetBkColor(HDC dc, COLORREF color);
COLORREF GetBkColor(HDC dc);
int SetBkMode(HDC dc, int mode);
int GetBkMode(HDC dc);
UINT SetTextAlign(HDC dc, UINT align);
UINT GetTextAlign(HDC dc);

// Brushes, pens, fills and lines.
HBRUSH CreateSolidBrush(COLORREF color);
HPEN CreatePen(int style, int width, COLORREF color);
int FillRect(HDC dc, const RECT* rect, HBRUSH brush);
BOOL Rectangle(HDC dc, int left, int top, int right, int bottom);
BOOL PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop);
BOOL MoveToEx(HDC dc, int x, int y, POINT* old);
BOOL LineTo(HDC dc, int x, int y);
BOOL Polyline(HDC dc, const POINT* points, int count);
COLORREF SetPixel(HDC dc, int x, int y, COLORREF color);
COLORREF GetPixel(HDC dc, int x, int y);

// Blits.
BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int sx, int sy, DWORD rop);
BOOL StretchBlt(HDC dst, int x, int y, int width, int height, HDC src, int sx, int sy, int sw, int sh, DWORD rop);
BOOL AlphaBlend(HDC dst, int x, int y, int width, int height, HDC src, int sx, int sy, int sw, int sh,
                BLENDFUNCTION blend);
// The source is a DC or a bitmap. Source pixels equal to the key are left out.
BOOL TransparentImage(HDC dst, int x, int y, int width, int height, HANDLE src, int sx, int sy, int sw, int sh,
                      COLORREF key);
BOOL TransparentBlt(HDC dst, int x, int y, int width, int height, HDC src, int sx, int sy, int sw, int sh, UINT key);

// Text (platform/gfx/Font.cpp).
int AddFontResourceW(LPCWSTR path);
BOOL RemoveFontResourceW(LPCWSTR path);
// Calls proc once for each family name of the added font files (family null:
// every family; else only the one named, compared without case), with the
// name in lfFaceName and TRUETYPE_FONTTYPE; stops when proc returns 0. The
// last value proc returned, 1 when it was not called.
inline constexpr DWORD TRUETYPE_FONTTYPE = 0x0004;
using FONTENUMPROCW = int (*)(const LOGFONTW* font, const TEXTMETRICW* metrics, DWORD type, LPARAM param);
int EnumFontFamiliesW(HDC dc, LPCWSTR family, FONTENUMPROCW proc, LPARAM param);
HFONT CreateFontIndirectW(const LOGFONTW* font);
BOOL GetTextMetricsW(HDC dc, TEXTMETRICW* metrics);
BOOL GetTextExtentExPointW(HDC dc, LPCWSTR text, int count, int maxExtent, int* fit, int* dx, SIZE* size);
BOOL ExtTextOutW(HDC dc, int x, int y, UINT options, const RECT* rect, LPCWSTR text, UINT count, const int* dx);

namespace platform {

// The display device behind ExtEscape (the simulated board installs one).
// Returns what ExtEscape returns; no handler means every code is
// unsupported (0). Null removes the handler.
using DisplayEscapeHandler = std::function<int(int code, const void* in, int inSize, void* out, int outSize)>;
void SetDisplayEscapeHandler(DisplayEscapeHandler handler);

} // namespace platform
