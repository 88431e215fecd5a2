#include "Source/screens/common/ColorPanel.h"

#include "Lib_cpp/image/Image.h"

LRESULT CColorPanel::OnEvent(int code, LPARAM param)
{
    IxElementWatch self(this);
    switch (code) {
    case IXEV_ATTACHED:
        if (m_crBackground != kNoBackground && !GetBackground())
            SetBackground(new IxColorImage(m_crBackground, Width(), Height()));
        PanelAttached();
        break;
    case IXEV_RESUMED:
        PanelResumed();
        break;
    case IXEV_DETACHED:
        PanelDetached();
        break;
    default:
        break;
    }
    if (!self.Alive())
        return 0;
    return IxChildWindowView::OnEvent(code, param);
}
