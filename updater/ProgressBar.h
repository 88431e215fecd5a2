// The progress bar: its picture stretched over a part of its rectangle that
// grows with the percentage.
#pragma once

#include "platform/base/Types.h"

class CProgressBar {
public:
    void Init(HWND window, int bitmapId, int x, int y, int width, int height);
    // Nothing happens without a window or picture, above 100 or for an empty
    // rectangle; 0 blanks the bar in black.
    void SetPercent(UINT percent);

private:
    int m_bitmapId = 0;
    HWND m_hWnd = nullptr;
    int m_x = 0;
    int m_y = 0;
    int m_width = 0;
    int m_height = 0;
};
