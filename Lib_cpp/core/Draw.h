// The drawing layer under every element: the shared font table, the drawing
// context IxDC (a DC with an origin, a clip stack, an optional offscreen
// bitmap and the current font), the blit helpers, the GDI holders and the
// rectangle tests.
//
// Fonts are realised on first use and shared between equal table entries;
// they live only while a drawing context uses them: the end of every paint
// releases all of them, so the next paint realises them again.
//
// Everything here is used on the user-interface thread only.
#pragma once

#include "Lib_cpp/core/Containers.h"
#include "Lib_cpp/core/String.h"
#include "platform/base/Types.h"
#include "platform/gfx/Gdi.h"

class IxWindow;

// ---------------------------------------------------------------------------
// Font table

// Style word bits of a font entry.
enum : DWORD {
    IXFS_BOLD = 0x00000001, // weight 700, else 400
    IXFS_ITALIC = 0x00000010,
    IXFS_ANTIALIAS = 0x00010000, // quality 4
    IXFS_CLEARTYPE = 0x00020000, // quality 5; wins over IXFS_ANTIALIAS
    IXFS_FIXED = 0x01000000,     // fixed pitch
    IXFS_STORED = 0x10000000,    // set by the table when the entry is stored
};

// A realised font shared by the equal entries that use it.
struct IxFontHolder {
    HFONT hFont;
    LONG nRefs;
};

// One row of the font table. The face is a string block; a row stored in the
// table holds its own reference to it (a row built by a caller only lends
// its block for the call).
struct IxFontEntry {
    DWORD dwStyle;
    int nSize;           // points when 1 or more; else the font height as is
    IxStringData* pFace; // null reads as ""
    COLORREF crText;
    IxFontHolder* pFont; // null until realised

    LPCWSTR FaceText() const { return pFace ? pFace->m_pszData : u""; }
};

// Same style word, same size and equal face names. The colour is not compared.
BOOL IxFontEntryEqual(const IxFontEntry& a, const IxFontEntry& b);

class IxFontTable {
public:
    IxFontTable() = default;
    ~IxFontTable();
    IxFontTable(const IxFontTable&) = delete;
    IxFontTable& operator=(const IxFontTable&) = delete;

    int Count() const { return m_entries.Count(); }
    // Row i, or null outside the table.
    const IxFontEntry* At(int i) const;

    // Stores entry into row i (style gets IXFS_STORED). When the new entry is
    // not equal to the old one, the old realised font is released and the
    // result is 1; else 0. A row outside the table is left alone (0).
    BOOL SetEntry(int i, const IxFontEntry& entry);
    // Index of an equal row of the same text colour, else appends a copy
    // (style as given) and returns its index. -1 when memory runs out.
    int AddUnique(const IxFontEntry& entry);
    // Appends a copy with IXFS_STORED set; the new index, -1 when memory runs out.
    int Add(const IxFontEntry& entry);
    // Appends a zeroed row; its index, -1 when memory runs out.
    int AppendSlot();

    // The font of row i: the row's own when realised, else the font of
    // another realised equal row (shared), else a new one made for dc.
    // Null when the font cannot be made or i is outside the table.
    HFONT Realise(int i, HDC dc);
    // Releases the realised font of every row.
    void ReleaseAll();

private:
    void ReleaseFont(IxFontEntry& entry);

    IxArray<IxFontEntry> m_entries{8};
};

// ---------------------------------------------------------------------------
// Drawing context

// A font and text colour as they were selected before a selection.
struct IxSavedFont {
    HFONT hFont;
    COLORREF crText;
};

class IxDC {
public:
    // flags is kept for the creator and not interpreted here.
    IxDC(IxFontTable* fonts, DWORD flags);
    // Ends an unfinished offscreen paint (without the copy) or releases an
    // attached DC.
    ~IxDC();
    IxDC(const IxDC&) = delete;
    IxDC& operator=(const IxDC&) = delete;

    // Takes the window's DC and selects font 0 when the table has rows.
    // FALSE when the window has no handle or no DC is obtained.
    BOOL Attach(const IxWindow* window);
    BOOL Attach(HWND hwnd);
    // Restores the font and colour, releases every realised font and the DC.
    void Release();

    // Starts a paint of rect into target. When offscreen is wanted a memory
    // DC with a compatible bitmap of the rectangle's size is drawn into, at
    // origin (-left, -top); when either cannot be made, or offscreen is not
    // wanted, drawing goes straight to target at origin (0, 0). Returns 1.
    BOOL BeginOffscreen(HDC target, const RECT& rect, BOOL offscreen);
    // Ends the paint: offscreen, the bitmap is copied to the target at the
    // rectangle's top-left. Returns the target DC.
    HDC EndOffscreen();
    // Ends the paint without the copy and hands the bitmap to the caller
    // (null when the paint went straight to the target). Returns the target DC.
    HDC EndOffscreenKeep(HBITMAP* bitmap);

    // Realises row i when needed, selects it and sets its text colour.
    // Returns what was selected before ({null, CLR_INVALID} when the font
    // cannot be had; nothing is changed then).
    IxSavedFont SelectFont(int i);
    void SelectFontAndColor(const IxSavedFont& saved);

    // Clips to rect (logical coordinates: moved by the origin). FALSE when
    // the region cannot be made.
    BOOL PushClip(const RECT& rect);
    // Drops the top region and clips to the one below, or to nothing when
    // the stack is empty afterwards.
    void PopClip();
    int ClipDepth() const { return m_clips.Count(); }

    // Sets the origin and the viewport of the DC drawn into.
    void SetOrigin(int x, int y);

    HDC GetDC() const { return m_hDC; }
    HDC GetTargetDC() const { return m_hTargetDC; }
    BOOL IsOffscreen() const { return m_hMemDC != nullptr; }
    int GetOriginX() const { return m_nOriginX; }
    int GetOriginY() const { return m_nOriginY; }
    IxFontTable* GetFontTable() const { return m_pFonts; }
    DWORD GetFlags() const { return m_dwFlags; }

private:
    void RestoreFont();
    void DropClips();
    HDC FinishOffscreen(bool copy, HBITMAP* kept);

    HDC m_hDC = nullptr;
    IxFontTable* m_pFonts;
    int m_nOriginX = 0;
    int m_nOriginY = 0;
    POINT m_ptSavedViewport{0, 0};
    IxSavedFont m_saved{nullptr, CLR_INVALID};
    bool m_bFontSaved = false;
    IxArray<HRGN> m_clips{8};
    HDC m_hMemDC = nullptr;
    HDC m_hTargetDC = nullptr;
    RECT m_rcOffscreen{0, 0, 0, 0};
    HBITMAP m_hBitmap = nullptr;
    HGDIOBJ m_hOldBitmap = nullptr;
    DWORD m_dwFlags;
    HWND m_hWnd = nullptr; // the window whose DC Attach took
};

// Moves the drawing context's origin and viewport by (dx, dy) and the
// rectangle (may be null) by (-dx, -dy) for its lifetime.
class IxOriginShift {
public:
    IxOriginShift(IxDC& dc, RECT* rect, int dx, int dy);
    ~IxOriginShift();
    IxOriginShift(const IxOriginShift&) = delete;
    IxOriginShift& operator=(const IxOriginShift&) = delete;

private:
    IxDC& m_dc;
    RECT* m_pRect;
    int m_nDx;
    int m_nDy;
};

// ---------------------------------------------------------------------------
// Blit helpers: each selects the bitmap into its own temporary compatible DC.
// 0 when that DC cannot be made.

BOOL IxBitBlt(HDC dc, HBITMAP bitmap, int x, int y, int w, int h, int sx, int sy, DWORD rop);
BOOL IxStretchBlt(HDC dc, HBITMAP bitmap, int x, int y, int w, int h, int sx, int sy, int sw, int sh, DWORD rop);
// Source-over with the constant alpha, no per-pixel alpha.
BOOL IxAlphaBlend(HDC dc, HBITMAP bitmap, int x, int y, int w, int h, int sx, int sy, int sw, int sh, BYTE alpha);

// ---------------------------------------------------------------------------
// GDI holders

// Deletes its object when destroyed (nothing for null).
class IxGdiHolder {
public:
    explicit IxGdiHolder(HGDIOBJ object = nullptr) : m_hObject(object) {}
    ~IxGdiHolder()
    {
        if (m_hObject)
            DeleteObject(m_hObject);
    }
    IxGdiHolder(const IxGdiHolder&) = delete;
    IxGdiHolder& operator=(const IxGdiHolder&) = delete;

    HGDIOBJ Get() const { return m_hObject; }
    // Gives the object up without deleting it.
    HGDIOBJ Detach()
    {
        HGDIOBJ object = m_hObject;
        m_hObject = nullptr;
        return object;
    }

private:
    HGDIOBJ m_hObject;
};

// Selects an object into a DC and selects the previous one back when destroyed.
class IxSelectHolder {
public:
    IxSelectHolder(HDC dc, HGDIOBJ object) : m_hDC(dc), m_hOld(SelectObject(dc, object)) {}
    ~IxSelectHolder()
    {
        if (m_hOld)
            SelectObject(m_hDC, m_hOld);
    }
    IxSelectHolder(const IxSelectHolder&) = delete;
    IxSelectHolder& operator=(const IxSelectHolder&) = delete;

    HGDIOBJ Previous() const { return m_hOld; }

private:
    HDC m_hDC;
    HGDIOBJ m_hOld;
};

// The same for a stock object.
class IxStockSelectHolder : public IxSelectHolder {
public:
    IxStockSelectHolder(HDC dc, int stockIndex) : IxSelectHolder(dc, GetStockObject(stockIndex)) {}
};

// ---------------------------------------------------------------------------
// Rectangle tests

BOOL RectsDiffer(const RECT& a, const RECT& b);
// True when they overlap; right and bottom edges are outside.
BOOL RectsIntersect(const RECT& a, const RECT& b);
// The right and bottom edges count as inside.
BOOL PtInRectInclusive(const RECT& rect, POINT point);
