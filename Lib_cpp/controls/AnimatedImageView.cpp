#include "Lib_cpp/controls/AnimatedImageView.h"

#include "Lib_cpp/controls/ElementApi.h"
#include "Lib_cpp/image/Image.h"
#include "platform/base/Rect.h"

IxAnimatedImageView::~IxAnimatedImageView()
{
    if (m_pImage)
        m_pImage->Release();
}

void IxAnimatedImageView::SetImage(IxImage* image)
{
    if (m_pImage)
        m_pImage->Release();
    m_pImage = image;
}

LRESULT IxAnimatedImageView::OnEvent(int code, LPARAM param)
{
    switch (code) {
    case IXEV_ATTACHED:
        if (m_pImage && m_pImage->Query(IXIQ_FRAMECOUNT, 0) >= 2 && m_nPeriod > 0) {
            SIZE size{0, 0};
            m_pImage->Query(IXIQ_SIZE, reinterpret_cast<INT_PTR>(&size));
            const int left = (Width() - size.cx) / 2;
            const int top = (Height() - size.cy) / 2;
            m_rcImage = RECT{left, top, left + size.cx, top + size.cy};
            SetElementTimer(this, TimerId(), m_nPeriod);
        }
        break;
    case IXEV_TIMER:
        if (static_cast<UINT_PTR>(param) == TimerId()) {
            if (m_pImage) {
                m_pImage->Control(IXIC_NEXTFRAME, 0);
                InvalidateArea(&m_rcImage, IXINV_REPAINT);
            }
            return 1;
        }
        break;
    case IXEV_DETACHED:
        KillElementTimer(this, 0);
        break;
    default:
        break;
    }
    return IxView::OnEvent(code, param);
}

void IxAnimatedImageView::Draw(IxPaintRecord* record)
{
    IxView::Draw(record);
    if (record && m_pImage && platform::RectsOverlap(m_rcImage, record->clip))
        m_pImage->Draw(record->dc, m_rcImage, &record->clip);
}
