// A view that shows an image of several frames stepping on a timer: while
// attached, the image stands centred in the view at its own size and shows
// its next frame every period.
#pragma once

#include "Lib_cpp/controls/View.h"
#include "Lib_cpp/kernel/Kernel.h"
#include "platform/base/Types.h"

class IxImage;

class IxAnimatedImageView : public IxView {
public:
    IxAnimatedImageView() = default;
    ~IxAnimatedImageView() override;

    // 1 places the image and starts the timer (two frames or more and a
    // period); 36 steps; 17 stops every timer of the view.
    LRESULT OnEvent(int code, LPARAM param) override;
    void Draw(IxPaintRecord* record) override;

    // The image's reference passes to the view; read when attached.
    void SetImage(IxImage* image);
    // ms; 0: no animation.
    void SetPeriod(int period) { m_nPeriod = period; }

    IxImage* GetImage() const { return m_pImage; }
    const RECT& GetImageRect() const { return m_rcImage; }
    UINT_PTR TimerId() const { return IxTimerId(&m_nPeriod); }

private:
    IxImage* m_pImage = nullptr;
    int m_nPeriod = 0;
    RECT m_rcImage{0, 0, 0, 0};
};
