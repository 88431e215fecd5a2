// The overlay layer: the frame view the shell keeps over the navigation
// map (the on-screen display, the picture-in-picture screens). It shows
// itself only while its page has something visible, hides itself after an
// auto-hide time unless a hold keeps it, and tells the shell when it comes
// and goes (ACMD_OSDSHOWN, ACMD_OSDHIDDEN), so that the main window
// can be fitted to it or hidden.
#pragma once

#include "Lib_cpp/controls/FrameView.h"
#include "Lib_cpp/kernel/Kernel.h"
#include "platform/base/Types.h"

class COverlaySheet : public IxFrameView {
public:
    // autoHide: ms the layer stays up after it showed (0 = until hidden).
    explicit COverlaySheet(int autoHide);

    LRESULT OnEvent(int code, LPARAM param) override;
    int ActionIsInvoked(int code, int kind, LPARAM param) override;
    // Draws moved by the home offset (unless hidden for navigation-first).
    void Draw(IxPaintRecord* record) override;

    // Makes the page (0 = none) active for a change that came with at and
    // extra, and shows the layer when the page is accepted and something on
    // it is visible; hides it otherwise.
    void SetPage(int at, int page, int extra);
    // Shows or hides the layer.
    void ShowLayer(BOOL on);
    // When enabled: no page, hidden, disabled (its holds are dropped).
    void Disable();
    void SetEnabled(BOOL on) { m_bEnabled = on; }
    void SetHiddenForNaviFirst(BOOL on) { m_bHiddenForNaviFirst = on; }
    void SetHomeOffset(int x, int y)
    {
        m_nHomeX = x;
        m_nHomeY = y;
    }

    // Whether the page has something to show, for a change that came with
    // at and extra.
    virtual BOOL AcceptsPage(int at, int page, int extra) const;
    // The on-screen display bar's test: every page but none, except a change
    // at the start, at a back, or from the movie screen.
    static BOOL OsdBarAcceptsPage(int at, int page, int extra);

    BOOL IsEnabled() const { return m_bEnabled; }
    BOOL IsShown() const { return !HasFlag(IXF_HIDDEN); }
    int GetHoldCount() const { return m_nHold; }
    const RECT& GetHomeRect() const { return m_rcHome; }
    const RECT& GetVisibleArea() const { return m_rcVisible; }
    UINT_PTR AutoHideTimerId() const { return IxTimerId(&m_nAutoHide); }

private:
    // The union of the active page's visible children, in the layer's
    // coordinates; empty when none is visible.
    RECT VisibleArea() const;

    int m_nAutoHide;
    BOOL m_bEnabled = TRUE;
    BOOL m_bHiddenForNaviFirst = FALSE;
    int m_nHomeX = 0;
    int m_nHomeY = 0;
    RECT m_rcHome{0, 0, 0, 0};
    RECT m_rcVisible{0, 0, 0, 0};
    int m_nHold = 0;
    int m_nLastAt = 0;
    int m_nLastExtra = 0;
    DWORD m_filter[3] = {};
};
