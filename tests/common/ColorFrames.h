// A test picture of several frames of one size: frame n fills its
// rectangle with colours[n] inside a darker border of 2 px. Frames are
// selected, counted and stepped like the frames of a bitmap strip.
#pragma once

#include "Lib_cpp/core/Draw.h"
#include "Lib_cpp/image/Image.h"
#include "platform/base/Rect.h"
#include "platform/gfx/Gdi.h"

#include <utility>
#include <vector>

namespace frametest {

class ColorFrames : public IxImage {
public:
    ColorFrames(int width, int height, std::vector<COLORREF> colours)
        : m_width(width), m_height(height), m_colours(std::move(colours))
    {
    }
    BOOL Draw(IxDC* dc, const RECT& dst, const RECT* clip) override
    {
        if (m_current < 0 || m_current >= Count())
            return FALSE;
        const COLORREF c = m_colours[static_cast<std::size_t>(m_current)];
        Fill(dc, dst, clip, RGB(GetRValue(c) / 3, GetGValue(c) / 3, GetBValue(c) / 3));
        Fill(dc, RECT{dst.left + 2, dst.top + 2, dst.right - 2, dst.bottom - 2}, clip, c);
        return TRUE;
    }
    INT_PTR Query(int what, INT_PTR argument) override
    {
        switch (what) {
        case IXIQ_HASFRAME:
            return argument == IXI_CURRENT ? m_current >= 0 : argument >= 0 && argument < Count();
        case IXIQ_FRAMECOUNT:
            return Count();
        case IXIQ_CURFRAME:
            return m_current;
        case IXIQ_SIZE:
            *reinterpret_cast<SIZE*>(argument) = SIZE{m_width, m_height};
            return 0;
        default:
            return 0;
        }
    }
    BOOL Control(int command, INT_PTR argument) override
    {
        switch (command) {
        case IXIC_SETFRAME: {
            if (argument < -1 || argument >= Count())
                return FALSE;
            const bool changed = argument != m_current;
            m_current = static_cast<int>(argument);
            return changed;
        }
        case IXIC_NEXTFRAME:
            if (Count() < 2)
                return FALSE;
            m_current = (m_current + 1) % Count();
            return TRUE;
        default:
            return FALSE;
        }
    }
    int Current() const { return m_current; }

private:
    int Count() const { return static_cast<int>(m_colours.size()); }
    static void Fill(IxDC* dc, RECT rc, const RECT* clip, COLORREF colour)
    {
        if (clip)
            rc = platform::Intersect(rc, *clip);
        HBRUSH brush = CreateSolidBrush(colour);
        FillRect(dc->GetDC(), &rc, brush);
        DeleteObject(brush);
    }

    int m_width, m_height;
    std::vector<COLORREF> m_colours;
    int m_current = 0;
};

} // namespace frametest
