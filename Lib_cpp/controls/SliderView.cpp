#include "Lib_cpp/controls/SliderView.h"

#include "Lib_cpp/controls/ElementApi.h"
#include "Lib_cpp/core/Diag.h"
#include "Lib_cpp/image/Image.h"
#include "platform/base/Rect.h"

#include <algorithm>

namespace {

void Replace(IxImage** slot, IxImage* image)
{
    if (*slot)
        (*slot)->Release();
    *slot = image;
}

int Clamp(int v, int low, int high)
{
    return std::max(low, std::min(v, high));
}

} // namespace

// ---------------------------------------------------------------------------
// IxSliderView

void IxSliderView::SetTrack(int minimum, int maximum)
{
    m_nMin = minimum;
    m_nMax = maximum;
    m_nPixel = minimum - 1;
}

int IxSliderView::ValueToPixel(int value) const
{
    if (m_nRange < 1)
        return m_nMin - 1;
    return m_nMin + IxMulDiv(m_nMax - m_nMin, value, m_nRange);
}

int IxSliderView::PixelToValue(int pixel) const
{
    if (m_nMax == m_nMin)
        return 0;
    return Clamp(IxMulDiv(m_nRange, pixel - m_nMin, m_nMax - m_nMin), 0, std::max(m_nRange, 0));
}

void IxSliderView::SetValue(int value)
{
    if (value < 0) {
        MoveThumb(0);
        m_nPixel = m_nMin - 1;
        return;
    }
    const int pixel = ValueToPixel(value);
    if (pixel != m_nPixel) {
        MoveThumb(pixel);
        m_nPixel = pixel;
    }
}

void IxSliderView::ReportValue(int value)
{
    PostElementNotify(this, m_nId, AEV_CLICK, value);
}

void IxSliderView::InvalidateBand(int a, int b)
{
    RECT band{std::min(a, b), 0, std::max(a, b), Height()};
    InvalidateArea(&band, IXINV_REPAINT);
}

LRESULT IxSliderView::OnEvent(int code, LPARAM param)
{
    if (code == IXEV_ATTACHED)
        m_dwFlags |= IXF_HITCLIENT;
    return IxView::OnEvent(code, param);
}

int IxSliderView::OnInput(int code, LPARAM data)
{
    if (code != IXIN_DOWN || !data)
        return IxView::OnInput(code, data);
    const int x = reinterpret_cast<const POINT*>(data)->x;
    if (x != m_nPixel) {
        MoveThumb(x);
        m_nPixel = x;
    }
    ReportValue(PixelToValue(x));
    return 0;
}

int IxSliderView::Query(int code, LPARAM* out)
{
    if (code == IXQ_SLIDERVALUE) {
        if (out)
            *out = m_nPixel < m_nMin ? -1 : PixelToValue(m_nPixel);
        return 1;
    }
    return IxView::Query(code, out);
}

int IxSliderView::SetProperty(int id, LPARAM value)
{
    switch (id) {
    case IXP_SLIDERRANGEVALUE:
        m_nRange = static_cast<SHORT>(value & 0xFFFF);
        SetValue(static_cast<SHORT>((value >> 16) & 0xFFFF));
        return 1;
    case IXP_SLIDERVALUE:
        if (!m_bDrag)
            SetValue(static_cast<int>(value));
        return 1;
    case IXP_SLIDERNORANGE:
        m_nRange = static_cast<int>(value);
        MoveThumb(0);
        m_nPixel = m_nMin - 1;
        return 1;
    default:
        return IxView::SetProperty(id, value);
    }
}

// ---------------------------------------------------------------------------
// IxImageSliderView

IxImageSliderView::~IxImageSliderView()
{
    for (IxImage* image : {m_pThumb, m_pLowerMarker, m_pUpperMarker, m_pBefore, m_pAfter, m_pFill[0], m_pFill[1]}) {
        if (image)
            image->Release();
    }
}

void IxImageSliderView::SetThumbImage(IxImage* image, int baseline)
{
    Replace(&m_pThumb, image);
    m_nThumbBaseline = baseline;
    SIZE size{0, 0};
    if (m_pThumb)
        m_pThumb->Query(IXIQ_SIZE, reinterpret_cast<INT_PTR>(&size));
    m_nThumbWidth = size.cx;
    m_nThumbHeight = size.cy;
    Redraw();
}

void IxImageSliderView::SetBarImages(IxImage* before, IxImage* after, IxImage* firstFill, IxImage* secondFill,
                                     int baseline)
{
    Replace(&m_pBefore, before);
    Replace(&m_pAfter, after);
    Replace(&m_pFill[0], firstFill);
    Replace(&m_pFill[1], secondFill);
    m_nBarBaseline = baseline;
    Redraw();
}

void IxImageSliderView::SetMarkerImages(IxImage* lower, IxImage* upper, int baseline, int width, int height,
                                        int lowerOffset, int upperOffset)
{
    Replace(&m_pLowerMarker, lower);
    Replace(&m_pUpperMarker, upper);
    m_nMarkerBaseline = baseline;
    m_nMarkerWidth = width;
    m_nMarkerHeight = height;
    m_nLowerOffset = lowerOffset;
    m_nUpperOffset = upperOffset;
    Redraw();
}

void IxImageSliderView::SetHandles(int lower, int upper)
{
    m_nLower = lower;
    m_nUpper = upper;
    Redraw();
}

int IxImageSliderView::Layout(LPARAM arg)
{
    SIZE size{0, 0};
    if (m_pThumb)
        m_pThumb->Query(IXIQ_SIZE, reinterpret_cast<INT_PTR>(&size));
    m_nThumbWidth = size.cx;
    m_nThumbHeight = size.cy;
    return IxSliderView::Layout(arg);
}

RECT IxImageSliderView::BarRect(IxImage* image, int from, int to) const
{
    SIZE size{0, 0};
    image->Query(IXIQ_SIZE, reinterpret_cast<INT_PTR>(&size));
    return RECT{from, m_nBarBaseline - size.cy, to, m_nBarBaseline};
}

RECT IxImageSliderView::MarkerRect(int handle, int offset) const
{
    const int left = handle - offset;
    return RECT{left, m_nMarkerBaseline - m_nMarkerHeight, left + m_nMarkerWidth, m_nMarkerBaseline};
}

RECT IxImageSliderView::ThumbRect() const
{
    const int left = m_nPixel - m_nThumbWidth / 2;
    return RECT{left, m_nThumbBaseline - m_nThumbHeight, left + m_nThumbWidth, m_nThumbBaseline};
}

void IxImageSliderView::Draw(IxPaintRecord* record)
{
    IxSliderView::Draw(record);
    if (!record)
        return;
    auto piece = [record](IxImage* image, const RECT& rc) {
        if (image && rc.right > rc.left && rc.bottom > rc.top && platform::RectsOverlap(rc, record->clip))
            image->Draw(record->dc, rc, &record->clip);
    };
    const int thumbLeft = m_nPixel - m_nThumbWidth / 2;
    const int thumbRight = m_nPixel + m_nThumbWidth / 2;
    if (m_nLower >= 0 && (m_pFill[0] || m_pFill[1])) {
        if (m_pAfter) {
            piece(m_pAfter, BarRect(m_pAfter, m_nMin, m_nLower));
            piece(m_pAfter, BarRect(m_pAfter, m_nUpper, m_nMax));
        }
        // The second fill covers the range behind the first, which is drawn
        // over it up to the thumb.
        if (m_pFill[1])
            piece(m_pFill[1], BarRect(m_pFill[1], m_pFill[0] ? m_nLower : thumbRight, m_nUpper));
        if (m_pFill[0])
            piece(m_pFill[0], BarRect(m_pFill[0], m_nLower, thumbLeft));
    } else {
        // The bar after the thumb lies behind the bar before it.
        if (m_pAfter)
            piece(m_pAfter, BarRect(m_pAfter, m_pBefore ? m_nMin : std::max(m_nPixel, 0) + m_nThumbWidth / 2, m_nMax));
        if (m_pBefore && m_nPixel >= 1)
            piece(m_pBefore, BarRect(m_pBefore, m_nMin, thumbLeft));
    }
    if (m_nLower >= 0)
        piece(m_pLowerMarker, MarkerRect(m_nLower, m_nLowerOffset));
    if (m_nUpper >= 0)
        piece(m_pUpperMarker, MarkerRect(m_nUpper, m_nUpperOffset));
    if (m_nPixel >= m_nMin)
        piece(m_pThumb, ThumbRect());
}

void IxImageSliderView::MoveThumb(int pixel)
{
    const int half = m_nThumbWidth / 2 + 1;
    const int from = m_nPixel < m_nMin ? pixel : m_nPixel;
    InvalidateBand(std::min(from, pixel) - half, std::max(from, pixel) + half);
    if (m_nPixel >= m_nMin)
        InvalidateBand(m_nPixel - half, m_nPixel + half);
}

void IxImageSliderView::MoveHandle(int from, int to, int marker)
{
    const int offset = marker == GRAB_LOWER ? m_nLowerOffset : m_nUpperOffset;
    (marker == GRAB_LOWER ? m_nLower : m_nUpper) = to;
    InvalidateBand(std::min(from, to) - offset - 1, std::max(from, to) - offset + m_nMarkerWidth + 1);
}

void IxImageSliderView::DragBegun(int mode, int value)
{
    if (mode == GRAB_THUMB)
        PostElementNotify(this, m_nId, AEV_BEGIN, value);
}

void IxImageSliderView::Dragged(int mode, int value)
{
    if (mode == GRAB_THUMB)
        PostElementNotify(this, m_nId, AEV_PROGRESS, value);
}

void IxImageSliderView::DragEnded(int mode, int value)
{
    if (mode == GRAB_THUMB)
        PostElementNotify(this, m_nId, AEV_COMPLETE, value);
}

void IxImageSliderView::DragTo(int x)
{
    switch (m_nDragMode) {
    case GRAB_THUMB: {
        const bool limited = HandlesInOrder();
        const int pixel = Clamp(x - m_nGrab, limited ? m_nLower : m_nMin, limited ? m_nUpper : m_nMax);
        if (pixel != m_nPixel) {
            MoveThumb(pixel);
            m_nPixel = pixel;
            Dragged(GRAB_THUMB, PixelToValue(pixel));
        }
        break;
    }
    case GRAB_LOWER: {
        const int pixel = Clamp(x - m_nGrab, m_nMin, (m_nUpper >= 0 ? m_nUpper : m_nMax) - m_nMinDistance);
        if (pixel != m_nLower) {
            MoveHandle(m_nLower, pixel, GRAB_LOWER);
            Dragged(GRAB_LOWER, PixelToValue(pixel));
        }
        break;
    }
    case GRAB_UPPER: {
        const int pixel = Clamp(x - m_nGrab, (m_nLower >= 0 ? m_nLower : m_nMin) + m_nMinDistance, m_nMax);
        if (pixel != m_nUpper) {
            MoveHandle(m_nUpper, pixel, GRAB_UPPER);
            Dragged(GRAB_UPPER, PixelToValue(pixel));
        }
        break;
    }
    default:
        break;
    }
}

int IxImageSliderView::OnInput(int code, LPARAM data)
{
    if ((code != IXIN_DOWN && code != IXIN_MOVE && code != IXIN_UP) || !data)
        return IxView::OnInput(code, data);
    const int x = reinterpret_cast<const POINT*>(data)->x;
    if (code == IXIN_DOWN) {
        int mode = GRAB_NONE;
        int anchor = 0;
        if (m_nPixel >= m_nMin && Within(x, m_nPixel - m_nThumbWidth / 2, m_nThumbWidth)) {
            mode = GRAB_THUMB;
            anchor = m_nPixel;
        } else if (m_nLower >= 0 && Within(x, m_nLower - m_nLowerOffset, m_nMarkerWidth)) {
            mode = GRAB_LOWER;
            anchor = m_nLower;
        } else if (m_nUpper >= 0 && Within(x, m_nUpper - m_nUpperOffset, m_nMarkerWidth)) {
            mode = GRAB_UPPER;
            anchor = m_nUpper;
        }
        if (mode != GRAB_NONE) {
            m_nDragMode = mode;
            m_nGrab = x - anchor;
            m_bDrag = TRUE;
            DragBegun(mode, PixelToValue(anchor));
            return IXGM_TRACK;
        }
        const bool limited = HandlesInOrder();
        if (x >= (limited ? m_nLower : m_nMin) && x <= (limited ? m_nUpper : m_nMax) && x != m_nPixel)
            DragBegun(GRAB_NONE, PixelToValue(x));
        return 0;
    }
    if (m_nDragMode == GRAB_NONE)
        return code == IXIN_MOVE ? 1 : 0;
    IxElementWatch self(this);
    DragTo(x);
    if (code == IXIN_MOVE || !self.Alive())
        return 1;
    const int mode = m_nDragMode;
    const int pixel = mode == GRAB_THUMB ? m_nPixel : (mode == GRAB_LOWER ? m_nLower : m_nUpper);
    DragEnded(mode, PixelToValue(pixel));
    if (self.Alive()) {
        m_nDragMode = GRAB_NONE;
        m_bDrag = FALSE;
    }
    return 0;
}
