// The video panel: the part of a source screen through which the model's
// video shows. It draws its fill image (the colour key) at the model's video
// rectangle inside its frame image, and hides its controls after an idle
// time unless the model's state holds them up. While attached it is the
// current video panel.
#pragma once

#include "Lib_cpp/controls/IdleViews.h"
#include "Source/screens/common/SourceModel.h"

class IxImage;

class CVideoPanel : public IxIdleTimerView {
public:
    // The model (may be null) is held until the panel goes; the images'
    // references pass to the panel (either may be null).
    CVideoPanel(int period, IxSourceModel* model, IxImage* frame, IxImage* fill);
    ~CVideoPanel() override;

    LRESULT OnEvent(int code, LPARAM param) override;
    int ActionIsInvoked(int code, int kind, LPARAM param) override;
    void Draw(IxPaintRecord* record) override;

    // The panel attached now; null when none is.
    static CVideoPanel* GetCurrent();
    BOOL HasNoVideoRect() const { return m_bNoVideoRect; }

private:
    void RedrawVideo();
    void Hold(BOOL on);

    IxSourceModel* m_pModel;
    IxImage* m_pFrame;
    IxImage* m_pFill;
    BOOL m_bNoVideoRect = TRUE;
    DWORD m_filter[2] = {};
};
