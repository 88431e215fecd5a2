// The layer that ViewCenter keeps over the navigation map: a frame view
// whose active page is the view shown beside the map (the on-screen-display
// bar or the picture-in-picture panel), which shows or hides itself after
// each page change. ViewCenter owns it; the concrete layers derive from it.
#pragma once

#include "Lib_cpp/controls/FrameView.h"

class COverlayLayer : public IxFrameView {
public:
    // Makes the view the active page (0: none) with the at of the change;
    // the layer then shows itself when it has something to show, else hides.
    virtual void SetOverlayPage(int at, int view) = 0;
    // Shows or hides the layer (the shown and hidden broadcasts 330 and 331
    // follow a change).
    virtual void ShowOverlay(BOOL on) = 0;
    // When enabled: the page is cleared, the layer hidden and not enabled.
    virtual void Disable() = 0;

    // The page shown, 0 when none.
    int GetOverlayPage() const { return m_pActivePage ? m_pActivePage->GetId() : 0; }
    BOOL IsEnabled() const { return m_bEnabled; }
    void SetEnabled(BOOL on) { m_bEnabled = on; }
    // Hidden once for navigation-first start: stays hidden until cleared.
    BOOL IsNaviFirstHidden() const { return m_bNaviFirstHidden; }
    void SetNaviFirstHidden(BOOL on) { m_bNaviFirstHidden = on; }
    // While suppressed the layer stays hidden whatever its page.
    BOOL IsSuppressed() const { return m_bSuppressed; }
    void SetSuppressed(BOOL on) { m_bSuppressed = on; }
    // The rectangle the layer has on the screen while it shows over the map.
    const RECT& GetHomeRect() const { return m_rcHome; }
    void SetHomeRect(const RECT& rc) { m_rcHome = rc; }

protected:
    BOOL m_bEnabled = FALSE;
    BOOL m_bNaviFirstHidden = FALSE;
    BOOL m_bSuppressed = FALSE;
    RECT m_rcHome{0, 0, 0, 0};
};
