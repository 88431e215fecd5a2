#include "Lib_cpp/core/Draw.h"

#include "Lib_cpp/core/Diag.h"
#include "Lib_cpp/core/Window.h"
#include "platform/base/Rect.h"
#include "platform/base/Text.h"

#include <new>

// ---------------------------------------------------------------------------
// Font table

namespace {

void AddRefFace(IxStringData* face)
{
    if (face)
        face->m_nRefs.fetch_add(1, std::memory_order_relaxed);
}

void ReleaseFace(IxStringData* face)
{
    if (!face)
        return;
    // Hand the row's reference to a handle, whose end drops it (and frees
    // the block when it was the last one).
    IxString owner(face);
    face->m_nRefs.fetch_sub(1, std::memory_order_relaxed);
}

// A copy of entry for storing: its own face reference, no font.
IxFontEntry StoredCopy(const IxFontEntry& entry, DWORD extraStyle)
{
    AddRefFace(entry.pFace);
    return IxFontEntry{entry.dwStyle | extraStyle, entry.nSize, entry.pFace, entry.crText, nullptr};
}

} // namespace

BOOL IxFontEntryEqual(const IxFontEntry& a, const IxFontEntry& b)
{
    return a.dwStyle == b.dwStyle && a.nSize == b.nSize && lstrcmpW(a.FaceText(), b.FaceText()) == 0;
}

IxFontTable::~IxFontTable()
{
    for (int i = 0; i < m_entries.Count(); ++i) {
        ReleaseFont(m_entries[i]);
        ReleaseFace(m_entries[i].pFace);
    }
}

const IxFontEntry* IxFontTable::At(int i) const
{
    return i >= 0 && i < m_entries.Count() ? &m_entries[i] : nullptr;
}

void IxFontTable::ReleaseFont(IxFontEntry& entry)
{
    IxFontHolder* holder = entry.pFont;
    entry.pFont = nullptr;
    if (holder && --holder->nRefs == 0) {
        DeleteObject(holder->hFont);
        delete holder;
    }
}

BOOL IxFontTable::SetEntry(int i, const IxFontEntry& entry)
{
    if (i < 0 || i >= m_entries.Count())
        return FALSE;
    IxFontEntry& row = m_entries[i];
    BOOL changed = FALSE;
    if (!IxFontEntryEqual(row, entry)) {
        ReleaseFont(row);
        changed = TRUE;
    }
    AddRefFace(entry.pFace); // before the old one goes: the block may be the same
    ReleaseFace(row.pFace);
    row.dwStyle = entry.dwStyle | IXFS_STORED;
    row.nSize = entry.nSize;
    row.pFace = entry.pFace;
    row.crText = entry.crText;
    return changed;
}

int IxFontTable::AddUnique(const IxFontEntry& entry)
{
    // A row of another colour is a different entry (its text would be drawn
    // in the wrong colour); the realised font is still shared (Realise).
    for (int i = 0; i < m_entries.Count(); ++i) {
        if (IxFontEntryEqual(m_entries[i], entry) && m_entries[i].crText == entry.crText)
            return i;
    }
    IxFontEntry* slot = m_entries.AppendSlot();
    if (!slot)
        return -1;
    *slot = StoredCopy(entry, 0);
    return m_entries.Count() - 1;
}

int IxFontTable::Add(const IxFontEntry& entry)
{
    IxFontEntry* slot = m_entries.AppendSlot();
    if (!slot)
        return -1;
    *slot = StoredCopy(entry, IXFS_STORED);
    return m_entries.Count() - 1;
}

int IxFontTable::AppendSlot()
{
    return m_entries.AppendSlot() ? m_entries.Count() - 1 : -1;
}

HFONT IxFontTable::Realise(int i, HDC dc)
{
    if (i < 0 || i >= m_entries.Count())
        return nullptr;
    IxFontEntry& entry = m_entries[i];
    if (entry.pFont)
        return entry.pFont->hFont;

    for (int j = 0; j < m_entries.Count(); ++j) {
        IxFontEntry& other = m_entries[j];
        if (j != i && other.pFont && IxFontEntryEqual(other, entry)) {
            ++other.pFont->nRefs;
            entry.pFont = other.pFont;
            return entry.pFont->hFont;
        }
    }

    LOGFONTW lf{};
    lf.lfHeight = entry.nSize >= 1 ? -IxMulDiv(entry.nSize, GetDeviceCaps(dc, LOGPIXELSY), 72) : entry.nSize;
    lf.lfWeight = (entry.dwStyle & IXFS_BOLD) ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = (entry.dwStyle & IXFS_ITALIC) ? 1 : 0;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
    lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    lf.lfQuality = (entry.dwStyle & IXFS_CLEARTYPE) ? CLEARTYPE_QUALITY
        : (entry.dwStyle & IXFS_ANTIALIAS)          ? ANTIALIASED_QUALITY
                                                    : DEFAULT_QUALITY;
    lf.lfPitchAndFamily = (entry.dwStyle & IXFS_FIXED) ? FIXED_PITCH : DEFAULT_PITCH;
    LPCWSTR face = entry.FaceText();
    for (int k = 0; k < LF_FACESIZE - 1 && face[k]; ++k)
        lf.lfFaceName[k] = face[k];

    HFONT font = CreateFontIndirectW(&lf);
    if (!font)
        return nullptr;
    auto* holder = new (std::nothrow) IxFontHolder{font, 1};
    if (!holder) {
        DeleteObject(font);
        IxRecordNoMemory();
        return nullptr;
    }
    entry.pFont = holder;
    return font;
}

void IxFontTable::ReleaseAll()
{
    for (int i = 0; i < m_entries.Count(); ++i)
        ReleaseFont(m_entries[i]);
}

// ---------------------------------------------------------------------------
// Drawing context

IxDC::IxDC(IxFontTable* fonts, DWORD flags) : m_pFonts(fonts), m_dwFlags(flags) {}

IxDC::~IxDC()
{
    if (m_hTargetDC) {
        HBITMAP bitmap = nullptr;
        EndOffscreenKeep(&bitmap);
        if (bitmap)
            DeleteObject(bitmap);
    } else if (m_hWnd) {
        Release();
    }
}

BOOL IxDC::Attach(const IxWindow* window)
{
    return window ? Attach(window->GetHandle()) : FALSE;
}

BOOL IxDC::Attach(HWND hwnd)
{
    if (!hwnd || m_hDC)
        return FALSE;
    m_hDC = ::GetDC(hwnd);
    if (!m_hDC)
        return FALSE;
    m_hWnd = hwnd;
    if (m_pFonts && m_pFonts->Count() > 0)
        SelectFont(0);
    return TRUE;
}

void IxDC::Release()
{
    RestoreFont();
    if (m_pFonts)
        m_pFonts->ReleaseAll();
    DropClips();
    if (m_hWnd && m_hDC)
        ReleaseDC(m_hWnd, m_hDC);
    m_hDC = nullptr;
    m_hWnd = nullptr;
    m_nOriginX = m_nOriginY = 0;
}

BOOL IxDC::BeginOffscreen(HDC target, const RECT& rect, BOOL offscreen)
{
    m_hTargetDC = target;
    m_rcOffscreen = rect;
    m_hMemDC = nullptr;
    m_hBitmap = nullptr;
    m_hOldBitmap = nullptr;
    if (offscreen) {
        HDC memory = CreateCompatibleDC(target);
        HBITMAP bitmap
            = memory ? CreateCompatibleBitmap(target, rect.right - rect.left, rect.bottom - rect.top) : nullptr;
        if (bitmap) {
            m_hMemDC = memory;
            m_hBitmap = bitmap;
            m_hOldBitmap = SelectObject(memory, bitmap);
        } else if (memory) {
            DeleteDC(memory);
        }
    }
    if (m_hMemDC) {
        m_hDC = m_hMemDC;
        m_nOriginX = -rect.left;
        m_nOriginY = -rect.top;
    } else {
        m_hDC = target;
        m_nOriginX = m_nOriginY = 0;
    }
    SetViewportOrgEx(m_hDC, m_nOriginX, m_nOriginY, &m_ptSavedViewport);
    if (m_pFonts && m_pFonts->Count() > 0)
        SelectFont(0);
    return TRUE;
}

HDC IxDC::EndOffscreen()
{
    return FinishOffscreen(true, nullptr);
}

HDC IxDC::EndOffscreenKeep(HBITMAP* bitmap)
{
    return FinishOffscreen(false, bitmap);
}

HDC IxDC::FinishOffscreen(bool copy, HBITMAP* kept)
{
    RestoreFont();
    if (m_pFonts)
        m_pFonts->ReleaseAll();
    DropClips();
    HDC result;
    if (!m_hMemDC) {
        SetViewportOrgEx(m_hDC, m_ptSavedViewport.x, m_ptSavedViewport.y, nullptr);
        result = m_hDC;
        if (kept)
            *kept = nullptr;
    } else {
        SetViewportOrgEx(m_hMemDC, 0, 0, nullptr);
        if (copy) {
            BitBlt(m_hTargetDC, m_rcOffscreen.left, m_rcOffscreen.top, m_rcOffscreen.right - m_rcOffscreen.left,
                   m_rcOffscreen.bottom - m_rcOffscreen.top, m_hMemDC, 0, 0, SRCCOPY);
        }
        SelectObject(m_hMemDC, m_hOldBitmap);
        if (kept)
            *kept = m_hBitmap;
        else
            DeleteObject(m_hBitmap);
        DeleteDC(m_hMemDC);
        result = m_hTargetDC;
    }
    m_hDC = nullptr;
    m_hMemDC = nullptr;
    m_hTargetDC = nullptr;
    m_hBitmap = nullptr;
    m_hOldBitmap = nullptr;
    m_nOriginX = m_nOriginY = 0;
    return result;
}

IxSavedFont IxDC::SelectFont(int i)
{
    HFONT font = m_pFonts && m_hDC ? m_pFonts->Realise(i, m_hDC) : nullptr;
    if (!font)
        return IxSavedFont{nullptr, CLR_INVALID};
    IxSavedFont previous;
    previous.hFont = static_cast<HFONT>(SelectObject(m_hDC, font));
    previous.crText = SetTextColor(m_hDC, m_pFonts->At(i)->crText);
    if (!m_bFontSaved) {
        m_saved = previous;
        m_bFontSaved = true;
    }
    return previous;
}

void IxDC::SelectFontAndColor(const IxSavedFont& saved)
{
    if (!m_hDC)
        return;
    if (saved.hFont)
        SelectObject(m_hDC, saved.hFont);
    if (saved.crText != CLR_INVALID)
        SetTextColor(m_hDC, saved.crText);
}

void IxDC::RestoreFont()
{
    // A DC that had no font before keeps the last one selected; it is not
    // used after the end of the paint.
    if (m_bFontSaved)
        SelectFontAndColor(m_saved);
    m_saved = IxSavedFont{nullptr, CLR_INVALID};
    m_bFontSaved = false;
}

BOOL IxDC::PushClip(const RECT& rect)
{
    HRGN region = CreateRectRgn(rect.left + m_nOriginX, rect.top + m_nOriginY, rect.right + m_nOriginX,
                                rect.bottom + m_nOriginY);
    if (!region)
        return FALSE;
    if (!m_clips.Add(region)) {
        DeleteObject(region);
        return FALSE;
    }
    SelectClipRgn(m_hDC, region);
    return TRUE;
}

void IxDC::PopClip()
{
    const int count = m_clips.Count();
    if (count == 0)
        return;
    HRGN top = m_clips[count - 1];
    m_clips.RemoveAt(count - 1);
    SelectClipRgn(m_hDC, count > 1 ? m_clips[count - 2] : nullptr);
    DeleteObject(top);
}

void IxDC::DropClips()
{
    if (m_clips.Count() == 0)
        return;
    if (m_hDC)
        SelectClipRgn(m_hDC, nullptr);
    for (int i = 0; i < m_clips.Count(); ++i)
        DeleteObject(m_clips[i]);
    m_clips.RemoveAll();
}

void IxDC::SetOrigin(int x, int y)
{
    m_nOriginX = x;
    m_nOriginY = y;
    if (m_hDC)
        SetViewportOrgEx(m_hDC, x, y, nullptr);
}

IxOriginShift::IxOriginShift(IxDC& dc, RECT* rect, int dx, int dy) : m_dc(dc), m_pRect(rect), m_nDx(dx), m_nDy(dy)
{
    m_dc.SetOrigin(m_dc.GetOriginX() + dx, m_dc.GetOriginY() + dy);
    if (m_pRect) {
        m_pRect->left -= dx;
        m_pRect->right -= dx;
        m_pRect->top -= dy;
        m_pRect->bottom -= dy;
    }
}

IxOriginShift::~IxOriginShift()
{
    m_dc.SetOrigin(m_dc.GetOriginX() - m_nDx, m_dc.GetOriginY() - m_nDy);
    if (m_pRect) {
        m_pRect->left += m_nDx;
        m_pRect->right += m_nDx;
        m_pRect->top += m_nDy;
        m_pRect->bottom += m_nDy;
    }
}

// ---------------------------------------------------------------------------
// Blit helpers

namespace {

// Runs blit with a temporary DC holding bitmap; 0 when the DC cannot be made.
template <class F> BOOL WithBitmapDc(HDC dc, HBITMAP bitmap, F blit)
{
    HDC source = CreateCompatibleDC(dc);
    if (!source)
        return FALSE;
    HGDIOBJ old = SelectObject(source, bitmap);
    BOOL result = blit(source);
    if (old)
        SelectObject(source, old);
    DeleteDC(source);
    return result;
}

} // namespace

BOOL IxBitBlt(HDC dc, HBITMAP bitmap, int x, int y, int w, int h, int sx, int sy, DWORD rop)
{
    return WithBitmapDc(dc, bitmap, [&](HDC source) { return BitBlt(dc, x, y, w, h, source, sx, sy, rop); });
}

BOOL IxStretchBlt(HDC dc, HBITMAP bitmap, int x, int y, int w, int h, int sx, int sy, int sw, int sh, DWORD rop)
{
    return WithBitmapDc(dc, bitmap,
                        [&](HDC source) { return StretchBlt(dc, x, y, w, h, source, sx, sy, sw, sh, rop); });
}

BOOL IxAlphaBlend(HDC dc, HBITMAP bitmap, int x, int y, int w, int h, int sx, int sy, int sw, int sh, BYTE alpha)
{
    const BLENDFUNCTION blend{AC_SRC_OVER, 0, alpha, 0};
    return WithBitmapDc(dc, bitmap,
                        [&](HDC source) { return AlphaBlend(dc, x, y, w, h, source, sx, sy, sw, sh, blend); });
}

// ---------------------------------------------------------------------------
// Rectangle tests

BOOL RectsDiffer(const RECT& a, const RECT& b)
{
    return a.left != b.left || a.top != b.top || a.right != b.right || a.bottom != b.bottom;
}

BOOL RectsIntersect(const RECT& a, const RECT& b)
{
    return platform::RectsOverlap(a, b);
}

BOOL PtInRectInclusive(const RECT& rect, POINT point)
{
    return platform::RectContainsInclusive(rect, point);
}
