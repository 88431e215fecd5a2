#include "Lib_cpp/controls/MarqueeText.h"

#include "Lib_cpp/controls/ElementApi.h"
#include "Lib_cpp/controls/ElementText.h"
#include "Lib_cpp/controls/TextMeasure.h"
#include "Lib_cpp/core/Diag.h"
#include "Lib_cpp/kernel/Kernel.h"
#include "platform/base/Rect.h"
#include "platform/gfx/Gdi.h"

#include <algorithm>
#include <string>

namespace {

constexpr WCHAR kEllipsis[] = u"...";
constexpr int kEllipsisLength = 3;

} // namespace

// ---------------------------------------------------------------------------
// IxMarqueeText

IxMarqueeText::IxMarqueeText(int startDelayMs, int stepPeriodMs, int gap, int scrollStep, int spacing)
    : m_nStartDelay(startDelayMs), m_nStepPeriod(stepPeriodMs), m_nSpacing(spacing), m_nGap(gap),
      m_nScrollStep(scrollStep)
{
}

BOOL IxMarqueeText::SetText(LPCWSTR text, int count)
{
    if (!text || count < 0)
        count = 0;
    if (count == m_chars.Count()
        && (count == 0 || std::char_traits<WCHAR>::compare(text, m_chars.Data(), static_cast<size_t>(count)) == 0))
        return FALSE;
    StopTimers();
    m_chars.RemoveAll();
    if (!m_chars.Insert(0, text, count)) {
        m_chars.RemoveAll();
        IxRecordError(IXERR_NOMEMORY);
    }
    Measure();
    m_nOffset = -1;
    StartScroll();
    Redraw();
    return TRUE;
}

int IxMarqueeText::SetProperty(int id, LPARAM value)
{
    if (id == IXP_FONT) {
        const int font = static_cast<int>(value);
        if (!HasFlag(IXF_LAYOUTPENDING) && font != m_nFont) {
            if (IxElementText::SameFaceAndSize(m_nFont, font)) {
                m_nFont = font;
                Redraw();
            } else {
                m_nFont = font;
                RefreshLayout(this, TRUE);
            }
        }
        m_nFont = font;
        return 1;
    }
    LPCWSTR text = nullptr;
    int count = 0;
    if (!IxElementText::PropertyChars(id, value, &text, &count))
        return 0;
    return SetText(text, count);
}

int IxMarqueeText::OnCreate(const IxElementParams* params)
{
    IxElementText text;
    text.SetFromParams(params);
    m_chars.RemoveAll();
    if (!m_chars.Insert(0, text.Text(), text.Length()))
        IxRecordError(IXERR_NOMEMORY);
    return 1;
}

void IxMarqueeText::Measure()
{
    IxTextMeasure measure(m_nFont);
    m_nBaseline = measure.Ascent() + VerticalOffset(measure.Height(), Height());
    m_bMeasured = TRUE;
    const int count = m_chars.Count();
    m_advances.RemoveAll();
    m_nTextWidth = 0;
    if (count == 0)
        return;
    if (!m_advances.InsertGap(0, count)) {
        IxRecordError(IXERR_NOMEMORY);
        m_chars.RemoveAll();
        return;
    }
    measure.Advances(m_chars.Data(), count, m_nSpacing, m_advances.Data());
    for (int i = 0; i < count; ++i)
        m_nTextWidth += m_advances[i];
}

int IxMarqueeText::Layout(LPARAM)
{
    StopTimers();
    Measure();
    m_nOffset = -1;
    StartScroll();
    return 1;
}

BOOL IxMarqueeText::CanScroll() const
{
    return m_bMeasured && HasFlag(IXF_ACTIVE) && !HasFlag(IXF_MARKED | IXF_HIDDEN) && m_nStepPeriod > 0
        && m_nTextWidth > Width();
}

BOOL IxMarqueeText::IsScrolling() const
{
    IxKernel* kernel = IxGetKernel();
    return kernel
        && (kernel->IsTimerSet(const_cast<IxMarqueeText*>(this), IxTimerId(&m_nStartDelay))
            || kernel->IsTimerSet(const_cast<IxMarqueeText*>(this), IxTimerId(&m_nStepPeriod)));
}

void IxMarqueeText::StartScroll()
{
    if (!CanScroll())
        return;
    if (m_nOffset == -1 && m_nStartDelay != 0)
        SetElementTimer(this, IxTimerId(&m_nStartDelay), m_nStartDelay);
    else
        SetElementTimer(this, IxTimerId(&m_nStepPeriod), m_nStepPeriod);
}

void IxMarqueeText::StopTimers()
{
    KillElementTimer(this, IxTimerId(&m_nStartDelay));
    KillElementTimer(this, IxTimerId(&m_nStepPeriod));
}

void IxMarqueeText::Step()
{
    if (m_nOffset == -1)
        m_nOffset = 0;
    const int cycle = m_nTextWidth + std::max(m_nGap, 0);
    if (m_nOffset >= cycle)
        m_nOffset = 0;
    else
        m_nOffset += m_nScrollStep;
    Redraw();
}

LRESULT IxMarqueeText::OnEvent(int code, LPARAM param)
{
    switch (code) {
    case IXEV_PAUSED:
    case IXEV_UNMARKED:
        StartScroll();
        if (param)
            Redraw();
        break;
    case IXEV_HIDDEN:
    case IXEV_DETACHED:
        StopTimers();
        if (param)
            Redraw();
        break;
    case IXEV_VALUE:
        StopTimers();
        m_nOffset = -1;
        StartScroll();
        if (param)
            Redraw();
        break;
    case IXEV_SHOWN:
        StartScroll();
        break;
    case IXEV_MARKED:
        m_nOffset = 0;
        StopTimers();
        if (param)
            Redraw();
        break;
    case IXEV_TIMER:
        if (static_cast<UINT_PTR>(param) == IxTimerId(&m_nStartDelay)) {
            KillElementTimer(this, IxTimerId(&m_nStartDelay));
            Step();
            SetElementTimer(this, IxTimerId(&m_nStepPeriod), m_nStepPeriod);
        } else if (static_cast<UINT_PTR>(param) == IxTimerId(&m_nStepPeriod)) {
            Step();
        }
        break;
    default:
        break;
    }
    return IxElement::OnEvent(code, param);
}

IxElement* IxMarqueeText::FindTarget(int, POINT)
{
    return HasFlag(IXF_NOTARGET) ? nullptr : this;
}

int IxMarqueeText::OnInput(int code, LPARAM data)
{
    if (code != IXIN_DOWN)
        return IxElement::OnInput(code, data);
    if (HasFlag(IXF_DISABLED | IXF_NOINPUT))
        return 0;
    IxElementWatch self(this);
    PostElementNotify(this, m_nId, AEV_CLICK, 0);
    if (self.Alive() && HasFlag(IXF_INVALIDATEALL))
        IxKernel::MarkUpdateAll(this);
    return 0;
}

int IxMarqueeText::FitCount(int limit, int* sum) const
{
    int total = 0;
    int n = 0;
    while (n < m_advances.Count() && total + m_advances[n] <= limit)
        total += m_advances[n++];
    if (sum)
        *sum = total;
    return n;
}

int IxMarqueeText::EllipsisWidth() const
{
    IxTextMeasure measure(m_nFont);
    return measure.Extent(kEllipsis, kEllipsisLength);
}

int IxMarqueeText::EllipsisCount() const
{
    if (m_nTextWidth <= Width() || !HasFlag(IXF_MARKED))
        return m_chars.Count();
    return FitCount(Width() - EllipsisWidth(), nullptr);
}

void IxMarqueeText::DrawText(HDC dc)
{
    const int width = Width();
    const int count = m_chars.Count();
    const WCHAR* chars = m_chars.Data();
    const int* advances = m_advances.Data();
    if (m_nTextWidth <= width) {
        IxDrawRun(dc, HorizontalOffset(m_nTextWidth, width), m_nBaseline, chars, advances, count);
        return;
    }
    if (HasFlag(IXF_MARKED)) {
        SIZE dots{0, 0};
        GetTextExtentExPointW(dc, kEllipsis, kEllipsisLength, 0, nullptr, nullptr, &dots);
        int sum = 0;
        const int n = FitCount(width - dots.cx, &sum);
        IxDrawRun(dc, 0, m_nBaseline, chars, advances, n);
        ExtTextOutW(dc, sum, m_nBaseline, 0, nullptr, kEllipsis, kEllipsisLength, nullptr);
        return;
    }
    const int offset = std::max(m_nOffset, 0);
    int before = 0;
    const int k = FitCount(offset, &before);
    IxDrawRun(dc, before - offset, m_nBaseline, chars + k, advances + k, count - k);
    if (m_nGap < 0)
        return;
    const int x2 = m_nTextWidth - offset + m_nGap;
    if (x2 >= width)
        return;
    // The copy that follows: every character that starts inside the label.
    const int m = FitCount(width - x2, nullptr);
    IxDrawRun(dc, x2, m_nBaseline, chars, advances, std::min(m + 1, count));
}

void IxMarqueeText::DrawWithFont(IxPaintRecord* record, int extra)
{
    if (!record || !record->dc || m_chars.Count() == 0)
        return;
    IxDC* dc = record->dc;
    const bool clip = m_nTextWidth + extra > Width();
    if (clip)
        dc->PushClip(platform::Intersect(RECT{0, 0, Width(), Height()}, record->clip));
    IxSavedFont saved{nullptr, CLR_INVALID};
    if (m_nFont >= 0)
        saved = dc->SelectFont(m_nFont);
    DrawText(dc->GetDC());
    dc->SelectFontAndColor(saved);
    if (clip)
        dc->PopClip();
}

void IxMarqueeText::Draw(IxPaintRecord* record)
{
    DrawWithFont(record, 0);
}

// ---------------------------------------------------------------------------
// IxOutlineMarqueeText

IxOutlineMarqueeText::IxOutlineMarqueeText(COLORREF outline, int startDelayMs, int stepPeriodMs, int gap,
                                           int scrollStep, int spacing)
    : IxMarqueeText(startDelayMs, stepPeriodMs, gap, scrollStep, spacing), m_crOutline(outline)
{
}

void IxOutlineMarqueeText::Draw(IxPaintRecord* record)
{
    if (!record || !record->dc || GetTextWidth() == 0)
        return;
    IxDC* dc = record->dc;
    const bool clip = GetTextWidth() + 2 > Width();
    if (clip)
        dc->PushClip(platform::Intersect(RECT{0, 0, Width(), Height()}, record->clip));
    IxSavedFont saved{nullptr, CLR_INVALID};
    if (GetFont() >= 0)
        saved = dc->SelectFont(GetFont());
    HDC hdc = dc->GetDC();
    IxDrawOutlined(hdc, m_nOutlineWidth, m_crOutline, [&](int dx, int dy) {
        POINT old{0, 0};
        OffsetViewportOrgEx(hdc, dx, dy, &old);
        DrawText(hdc);
        SetViewportOrgEx(hdc, old.x, old.y, nullptr);
    });
    dc->SelectFontAndColor(saved);
    if (clip)
        dc->PopClip();
}
