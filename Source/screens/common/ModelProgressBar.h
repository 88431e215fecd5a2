// The progress bar of a source: an image slider whose range is the model's
// length and whose thumb follows the play position. Dragging the thumb
// pauses the model, seeks it at every step and plays on at the release.
#pragma once

#include "Lib_cpp/controls/SliderView.h"
#include "Source/screens/common/SourceModel.h"

class CModelProgressBar : public IxImageSliderView {
public:
    // The model (may be null) is held until the bar goes.
    explicit CModelProgressBar(IxSourceModel* model);
    ~CModelProgressBar() override;

    LRESULT OnEvent(int code, LPARAM param) override;
    int ActionIsInvoked(int code, int kind, LPARAM param) override;

    // Range and position from the model.
    void Refresh();
    // The thumb at the position (no thumb beyond the length).
    void ShowPosition(int position);

protected:
    void DragBegun(int mode, int value) override;
    void Dragged(int mode, int value) override;
    void DragEnded(int mode, int value) override;

private:
    IxSourceModel* m_pModel;
};
