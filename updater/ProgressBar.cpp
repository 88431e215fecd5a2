#include "updater/ProgressBar.h"

#include "platform/gfx/Gdi.h"
#include "platform/ui/Window.h"
#include "updater/Resources.h"

void CProgressBar::Init(HWND window, int bitmapId, int x, int y, int width, int height)
{
    m_hWnd = window;
    m_bitmapId = bitmapId;
    m_x = x;
    m_y = y;
    m_width = width;
    m_height = height;
}

void CProgressBar::SetPercent(UINT percent)
{
    if (!m_hWnd || !m_bitmapId || percent > 100 || m_width == 0 || m_height == 0)
        return;
    HDC dc = GetDC(m_hWnd);
    if (!dc)
        return;
    if (percent == 0) {
        const RECT bar{m_x, m_y, m_x + m_width, m_y + m_height};
        FillRect(dc, &bar, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    } else if (HBITMAP bitmap = LoadBitmapW(nullptr, m_bitmapId)) {
        BITMAP info{};
        GetObjectW(bitmap, sizeof(info), &info);
        HDC memory = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(memory, bitmap);
        const int width = static_cast<int>(m_width * percent * 0.01);
        StretchBlt(dc, m_x, m_y, width, m_height, memory, 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
        SelectObject(memory, old);
        DeleteDC(memory);
        DeleteObject(bitmap);
    }
    ReleaseDC(m_hWnd, dc);
}
