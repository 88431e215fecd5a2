// A full-screen sheet of its own top-most window whose background is the
// colour key: the display shows the video plane beneath it wherever nothing
// else is drawn (the camera's picture under the rear view). Subclasses hear
// attach, resume and detach through OnAttach, OnResume and OnDetach, after
// the background has been made on attach and before the window goes on
// detach.
#pragma once

#include "Source/screens/common/ColorPanel.h"

class CColorKeySheet : public CColorPanel {
public:
    // The display's colour key: where a window draws it, the video shows.
    static constexpr COLORREF kColorKey = 0xF800F8;

    // kNoBackground: no background of its own.
    explicit CColorKeySheet(COLORREF key = kColorKey) : CColorPanel(key) {}

    virtual void OnAttach() {}
    virtual void OnResume() {}
    virtual void OnDetach() {}

private:
    void PanelAttached() final { OnAttach(); }
    void PanelResumed() final { OnResume(); }
    void PanelDetached() final { OnDetach(); }
};
