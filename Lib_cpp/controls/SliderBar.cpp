#include "Lib_cpp/controls/SliderBar.h"

#include "Lib_cpp/controls/ElementApi.h"
#include "Lib_cpp/image/Image.h"
#include "platform/base/Clock.h"
#include "platform/base/Rect.h"

#include <algorithm>
#include <cstdint>

namespace {

// num / den rounded half up (toward +infinity at .5); den > 0.
int RoundHalfUp(std::int64_t num, std::int64_t den)
{
    const std::int64_t twice = 2 * num + den;
    const std::int64_t q = twice / (2 * den);
    return static_cast<int>(twice % (2 * den) < 0 ? q - 1 : q);
}

SIZE ImageSize(IxImage* image)
{
    SIZE size{0, 0};
    if (image)
        image->Query(IXIQ_SIZE, reinterpret_cast<INT_PTR>(&size));
    return size;
}

// The frames of a part's image: normal, pressed, disabled.
enum : int { FRAME_NORMAL = 0, FRAME_PRESSED = 1, FRAME_DISABLED = 2 };

} // namespace

IxSliderBar::IxSliderBar(BOOL vertical, int largestTrackStep, int repeatMs, int accelerationDelayMs, int fastStep)
    : m_bVertical(vertical), m_nRepeatMs(repeatMs), m_nLargestTrackStep(largestTrackStep),
      m_nAccelerationMs(accelerationDelayMs), m_nFastStep(fastStep)
{
}

IxSliderBar::~IxSliderBar()
{
    for (IxImage* image : m_pImage)
        if (image)
            image->Release();
}

int IxSliderBar::PartOf(int index)
{
    static constexpr int kParts[PARTS] = {PART_TRACK, PART_THUMB, PART_INCREASE, PART_DECREASE};
    return kParts[index];
}

int IxSliderBar::IndexOf(int part)
{
    switch (part) {
    case PART_THUMB:
        return THUMB;
    case PART_TRACK:
        return TRACK;
    case PART_INCREASE:
        return INCREASE;
    case PART_DECREASE:
        return DECREASE;
    default:
        return -1;
    }
}

RECT IxSliderBar::ToElement(const RECT& rc) const
{
    return m_bVertical ? rc : RECT{rc.top, rc.left, rc.bottom, rc.right};
}

POINT IxSliderBar::ToAxis(POINT point) const
{
    return m_bVertical ? point : POINT{point.y, point.x};
}

int IxSliderBar::Along() const
{
    return m_bVertical ? Height() : Width();
}

int IxSliderBar::Across() const
{
    return m_bVertical ? Width() : Height();
}

SIZE IxSliderBar::AxisSize(IxImage* image) const
{
    const SIZE size = ImageSize(image);
    return m_bVertical ? size : SIZE{size.cy, size.cx};
}

RECT IxSliderBar::GetPartRect(Part part) const
{
    const int index = IndexOf(part);
    return index < 0 ? RECT{0, 0, 0, 0} : ToElement(m_rcPart[index]);
}

int IxSliderBar::TravelStart() const
{
    return std::max(m_rcPart[TRACK].top, m_rcPart[DECREASE].bottom);
}

int IxSliderBar::TravelEnd() const
{
    const int increase = m_rcPart[INCREASE].bottom - m_rcPart[INCREASE].top;
    return std::min(m_rcPart[TRACK].bottom, Along() - increase);
}

int IxSliderBar::ValueToPixel(int value) const
{
    const int start = TravelStart();
    if (m_nRange <= 0 || !m_pImage[THUMB])
        return start;
    const int travel = std::max(TravelEnd() - start - ThumbLength(), 0);
    return start + RoundHalfUp(static_cast<std::int64_t>(travel) * value, m_nRange);
}

int IxSliderBar::PixelToValue(int pixel) const
{
    const int start = TravelStart();
    const int travel = TravelEnd() - start - ThumbLength();
    if (travel < 1)
        return 0;
    return RoundHalfUp(static_cast<std::int64_t>(pixel - start) * m_nRange, travel);
}

int IxSliderBar::Layout(LPARAM)
{
    SIZE size[PARTS];
    for (int i = 0; i < PARTS; ++i)
        size[i] = AxisSize(m_pImage[i]);
    if (Width() < 0 || Height() < 0) {
        int across = 0;
        for (const SIZE& s : size)
            across = std::max<int>(across, s.cx);
        const int along = size[TRACK].cy + size[INCREASE].cy + size[DECREASE].cy;
        const int width = m_bVertical ? across : along;
        const int height = m_bVertical ? along : across;
        if (Width() < 0)
            m_rc.right = m_rc.left + width;
        if (Height() < 0)
            m_rc.bottom = m_rc.top + height;
    }
    const int length = Along();
    const int breadth = Across();
    auto centred = [breadth](const SIZE& s, int along) {
        const int x = (breadth - s.cx) / 2;
        return RECT{x, along, x + s.cx, along + s.cy};
    };
    m_rcPart[TRACK]
        = m_pImage[TRACK] ? centred(size[TRACK], (length - size[TRACK].cy) / 2) : RECT{0, 0, breadth, length};
    m_rcPart[DECREASE] = m_pImage[DECREASE] ? centred(size[DECREASE], 0) : RECT{0, 0, 0, 0};
    m_rcPart[INCREASE] = m_pImage[INCREASE] ? centred(size[INCREASE], length - size[INCREASE].cy) : RECT{0, 0, 0, 0};
    m_rcPart[THUMB] = m_pImage[THUMB] ? centred(size[THUMB], 0) : RECT{0, 0, 0, 0};
    const int thumb = ValueToPixel(m_nValue);
    m_rcPart[THUMB].top += thumb;
    m_rcPart[THUMB].bottom += thumb;
    return 1;
}

void IxSliderBar::Draw(IxPaintRecord* record)
{
    if (!record)
        return;
    for (int i : {TRACK, THUMB, INCREASE, DECREASE}) {
        if (!m_pImage[i] || (i == THUMB && m_nRange <= 0))
            continue;
        const RECT rc = ToElement(m_rcPart[i]);
        if (platform::RectsOverlap(rc, record->clip))
            m_pImage[i]->Draw(record->dc, rc, &record->clip);
    }
}

void IxSliderBar::RepaintPart(int index)
{
    const RECT rc = ToElement(m_rcPart[index]);
    InvalidateElementRect(&rc);
}

BOOL IxSliderBar::SetPartFrame(int index, int frame)
{
    return m_pImage[index] && m_pImage[index]->Control(IXIC_SETFRAME, frame);
}

void IxSliderBar::MoveThumbTo(int along)
{
    const int delta = along - m_rcPart[THUMB].top;
    if (delta == 0)
        return;
    const RECT before = ToElement(m_rcPart[THUMB]);
    m_rcPart[THUMB].top += delta;
    m_rcPart[THUMB].bottom += delta;
    const RECT both = platform::Union(before, ToElement(m_rcPart[THUMB]));
    InvalidateElementRect(&both);
}

void IxSliderBar::PlaceThumb()
{
    MoveThumbTo(ValueToPixel(m_nValue));
}

void IxSliderBar::Step(int delta, LPARAM noticeValue)
{
    if (delta == 0)
        return;
    if (delta < 0) {
        if (m_nValue < 1)
            return;
        m_nValue = std::max(m_nValue + delta, 0);
    } else {
        if (m_nValue >= m_nRange)
            return;
        m_nValue = std::min(m_nValue + delta, m_nRange);
    }
    IxElementWatch self(this);
    PostElementNotify(this, m_nId, AEV_CLICK, noticeValue);
    if (self.Alive())
        PlaceThumb();
}

void IxSliderBar::OnStepTimer(int index)
{
    if (index == DECREASE || index == INCREASE) {
        // Tick difference with wrap-around: the press may straddle it.
        if (!m_bFast && m_nAccelerationMs != -1
            && GetTickCount() - m_dwPressTick > static_cast<DWORD>(m_nAccelerationMs))
            m_bFast = TRUE;
        const int step = m_bFast ? m_nFastStep : 1;
        Step(index == DECREASE ? -step : step, index == DECREASE ? STEP_DOWN : STEP_UP);
        return;
    }
    // The track: toward the pointer, at most the largest track step.
    const int p = m_ptLast.y;
    if (p < m_rcPart[THUMB].top) {
        const int target = PixelToValue(std::max(p, TravelStart()));
        Step(-std::min(std::max(m_nValue - target, 0), m_nLargestTrackStep), STEP_BYTRACK);
    } else if (p > m_rcPart[THUMB].bottom) {
        const int target = PixelToValue(std::min(TravelEnd(), p) - ThumbLength());
        Step(std::min(std::max(target - m_nValue, 0), m_nLargestTrackStep), STEP_BYTRACK);
    }
}

LRESULT IxSliderBar::OnEvent(int code, LPARAM param)
{
    switch (code) {
    case IXEV_TIMER:
        for (int i : {DECREASE, INCREASE, TRACK}) {
            if (static_cast<UINT_PTR>(param) == TimerOf(i)) {
                OnStepTimer(i);
                return 1;
            }
        }
        break;
    case IXEV_DISABLED:
    case IXEV_INPUTREFUSED:
    case IXEV_ENABLED:
    case IXEV_INPUTALLOWED: {
        const int frame = code == IXEV_DISABLED || code == IXEV_INPUTREFUSED ? FRAME_DISABLED : FRAME_NORMAL;
        for (int i = 0; i < PARTS; ++i)
            SetPartFrame(i, frame);
        if (param)
            Redraw();
        break;
    }
    case IXEV_DETACHED:
        KillElementTimer(this, 0);
        break;
    default:
        break;
    }
    return IxElement::OnEvent(code, param);
}

int IxSliderBar::OnInput(int code, LPARAM data)
{
    const auto* point = reinterpret_cast<const POINT*>(data);
    switch (code) {
    case IXIN_DOWN: {
        if (HasFlag(IXF_DISABLED | IXF_NOINPUT))
            return 0;
        IxElementWatch self(this);
        PostElementNotify(this, m_nId, AEV_PRESSED, 0);
        if (!self.Alive())
            return 0;
        if (point)
            m_ptLast = ToAxis(*point);
        // The buttons lie over the track's ends: they are tested first.
        const int* hit = nullptr;
        static constexpr int kOrder[] = {DECREASE, INCREASE, THUMB, TRACK};
        for (const int& index : kOrder) {
            if (platform::RectContainsInclusive(m_rcPart[index], m_ptLast)) {
                hit = &index;
                break;
            }
        }
        if (!hit)
            return 0;
        const int index = *hit;
        m_nPressed = PartOf(index);
        if (SetPartFrame(index, FRAME_PRESSED) || index != TRACK)
            RepaintPart(index);
        if (index == THUMB)
            return IXGM_TRACK;
        if (index != TRACK && m_nAccelerationMs == 0)
            m_bFast = TRUE;
        m_dwPressTick = GetTickCount();
        // The first step at once, the next ones from the timer.
        OnEvent(IXEV_TIMER, static_cast<LPARAM>(TimerOf(index)));
        if (self.Alive())
            SetElementTimer(this, TimerOf(index), m_nRepeatMs);
        return self.Alive() ? IXGM_TRACK : 0;
    }
    case IXIN_MOVE: {
        if (!point)
            return 1;
        const POINT axis = ToAxis(*point);
        const int moved = axis.y - m_ptLast.y;
        m_ptLast = axis;
        if (m_nPressed != PART_THUMB || m_nRange < 1)
            return 1;
        // The thumb follows the pointer without leaving the travel.
        const int top = m_rcPart[THUMB].top;
        const int start = TravelStart();
        const int along = std::clamp(top + moved, start, std::max(start, TravelEnd() - ThumbLength()));
        if (along == top)
            return 1;
        MoveThumbTo(along);
        const int value = PixelToValue(along);
        if (value != m_nValue) {
            m_nValue = value;
            PostElementNotify(this, m_nId, AEV_CLICK, 0);
        }
        return 1;
    }
    case IXIN_UP:
    case IXIN_TAP: {
        // A quick tap ends the press like a release: the step's repeat stops.
        const int index = IndexOf(m_nPressed);
        if (index >= 0) {
            KillElementTimer(this, TimerOf(index));
            if (SetPartFrame(index, FRAME_NORMAL))
                RepaintPart(index);
        }
        m_nPressed = PART_NONE;
        m_bFast = FALSE;
        PostElementNotify(this, m_nId, AEV_RELEASEDINSIDE, 0);
        return 0;
    }
    default:
        return IxElement::OnInput(code, data);
    }
}

int IxSliderBar::Query(int code, LPARAM* out)
{
    if (code == IXQ_SLIDERVALUE)
        return m_nValue;
    return IxElement::Query(code, out);
}

void IxSliderBar::SetRangeAndValue(int range, int value)
{
    range = std::max(range, 0);
    value = std::max(value, 0);
    if (range == m_nRange && value == m_nValue)
        return;
    m_nRange = range;
    m_nValue = value;
    if (!HasFlag(IXF_LAYOUTPENDING))
        PlaceThumb();
}

int IxSliderBar::SetProperty(int id, LPARAM value)
{
    switch (id) {
    case IXP_BACKGROUND:
    case IXP_SLIDERTRACK:
    case IXP_SLIDERTHUMB:
    case IXP_SLIDERINCREASE:
    case IXP_SLIDERDECREASE: {
        const int index = id == IXP_SLIDERTHUMB ? THUMB
            : id == IXP_SLIDERINCREASE          ? INCREASE
            : id == IXP_SLIDERDECREASE          ? DECREASE
                                                : TRACK;
        AssignImageRef(this, &m_pImage[index], reinterpret_cast<IxImage*>(value));
        RefreshLayout(this, TRUE);
        return 1;
    }
    case IXP_SLIDERRANGEVALUE:
        SetRangeAndValue(static_cast<SHORT>(value & 0xFFFF), static_cast<SHORT>((value >> 16) & 0xFFFF));
        return 1;
    case IXP_SLIDERVALUE:
        SetRangeAndValue(m_nRange, static_cast<int>(value));
        return 1;
    case IXP_SLIDERNORANGE:
        SetRangeAndValue(0, static_cast<int>(value));
        return 1;
    default:
        return IxElement::SetProperty(id, value);
    }
}
