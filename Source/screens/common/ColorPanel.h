// A child-window panel on a solid colour: the view keeps its own top-most
// window (so it stands above the video planes and the navigation program)
// and fills it with one colour. Subclasses fill the hooks of attach,
// resume and detach.
#pragma once

#include "Lib_cpp/controls/ChildWindowView.h"
#include "platform/base/Types.h"

class CColorPanel : public IxChildWindowView {
public:
    // kNoBackground: the panel draws no background of its own.
    explicit CColorPanel(COLORREF background) : m_crBackground(background) {}

    LRESULT OnEvent(int code, LPARAM param) override;

    virtual void PanelAttached() {}
    virtual void PanelResumed() {}
    virtual void PanelDetached() {}

    COLORREF GetBackgroundColor() const { return m_crBackground; }

    static constexpr COLORREF kNoBackground = 0x1000000;

private:
    COLORREF m_crBackground;
};
