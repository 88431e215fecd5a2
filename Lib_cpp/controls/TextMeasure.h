// Character-by-character text for the fields and labels that keep one
// advance per character: measuring each character alone in a font of the
// shared font table, and drawing a run with its stored advances (plain or
// with an outline of eight offset copies).
#pragma once

#include "Lib_cpp/controls/LayoutDC.h"
#include "Lib_cpp/core/Draw.h"
#include "platform/base/Types.h"

// Measures on a drawing context of the main window with the font selected
// for the holder's lifetime (-1: the context's own font). Without a kernel
// or a window every width and metric is 0.
class IxTextMeasure {
public:
    explicit IxTextMeasure(int font);
    ~IxTextMeasure();
    IxTextMeasure(const IxTextMeasure&) = delete;
    IxTextMeasure& operator=(const IxTextMeasure&) = delete;

    int Ascent() const { return m_nAscent; }
    // Ascent + descent.
    int Height() const { return m_nHeight; }
    int AverageWidth() const { return m_nAverage; }
    // Width of the character alone.
    int Width(WCHAR ch) const;
    // Width of the run as one extent.
    int Extent(LPCWSTR text, int count) const;
    // out[i] = width of text[i] alone + spacing.
    void Advances(LPCWSTR text, int count, int spacing, int* out) const;

private:
    IxLayoutDC m_layout;
    IxSavedFont m_saved{nullptr, CLR_INVALID};
    int m_nAscent = 0;
    int m_nHeight = 0;
    int m_nAverage = 0;
};

// Draws count characters at (x, baseline) with their advances.
void IxDrawRun(HDC dc, int x, int baseline, LPCWSTR text, const int* advances, int count);

// Draws a run with an outline: eight copies in the outline colour at
// (+-width, +-width) around it, (-w,-w), (-w,0), (-w,+w), (0,-w), (0,+w),
// (+w,-w), (+w,0), (+w,+w), then the run in the colour that was in force.
// draw(dx, dy) draws the run moved by (dx, dy).
template <class DrawAt> void IxDrawOutlined(HDC dc, int width, COLORREF outline, DrawAt draw)
{
    if (width > 0) {
        const COLORREF text = SetTextColor(dc, outline);
        for (int dx = -width; dx <= width; dx += width) {
            for (int dy = -width; dy <= width; dy += width) {
                if (dx != 0 || dy != 0)
                    draw(dx, dy);
            }
        }
        SetTextColor(dc, text);
    }
    draw(0, 0);
}
