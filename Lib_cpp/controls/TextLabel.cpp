#include "Lib_cpp/controls/TextLabel.h"

#include "Lib_cpp/controls/ElementApi.h"
#include "Lib_cpp/core/Draw.h"
#include "platform/base/Rect.h"
#include "platform/gfx/Gdi.h"

// ---------------------------------------------------------------------------
// IxTextLabel

int IxTextLabel::Layout(LPARAM)
{
    const IxTextMetrics metrics = m_text.Measure(m_nFont);
    AlignRect(metrics.nWidth, metrics.nHeight, &m_rcHit);
    m_nBaseline = m_rcHit.top + metrics.nAscent;
    return 1;
}

void IxTextLabel::Draw(IxPaintRecord* record)
{
    if (!record || m_text.IsEmpty())
        return;
    IxDC* dc = record->dc;
    IxSavedFont saved{nullptr, CLR_INVALID};
    if (m_nFont != -1)
        saved = dc->SelectFont(m_nFont);
    // A text wider or taller than the label is cut at the label's edges.
    const RECT client{0, 0, Width(), Height()};
    const bool clip = m_rcHit.left < client.left || m_rcHit.top < client.top || m_rcHit.right > client.right
        || m_rcHit.bottom > client.bottom;
    if (clip)
        dc->PushClip(platform::Intersect(client, record->clip));
    ExtTextOutW(dc->GetDC(), m_rcHit.left, m_nBaseline, 0, nullptr, m_text.Text(), m_text.Length(), nullptr);
    if (clip)
        dc->PopClip();
    dc->SelectFontAndColor(saved);
}

int IxTextLabel::Query(int code, LPARAM* out)
{
    if (m_text.Query(code, out))
        return 1;
    return IxElement::Query(code, out);
}

int IxTextLabel::SetProperty(int id, LPARAM value)
{
    if (id == IXP_FONT) {
        if (HasFlag(IXF_LAYOUTPENDING))
            m_nFont = static_cast<int>(value);
        else
            ChangeFont(static_cast<int>(value), TRUE);
        return 1;
    }
    if (!IxElementText::IsTextProperty(id))
        return IxControl::SetProperty(id, value);
    if (!m_text.SetFromProperty(id, value))
        return 0;
    RefreshLayout(this, IxElementText::IsImmediate(id));
    return 1;
}

int IxTextLabel::OnCreate(const IxElementParams* params)
{
    m_text.SetFromParams(params);
    return 1;
}

void IxTextLabel::ChangeFont(int font, BOOL repaint)
{
    if (font == m_nFont)
        return;
    const int old = m_nFont;
    m_nFont = font;
    if (IxElementText::SameFaceAndSize(old, font)) {
        if (repaint) {
            RECT box = m_rcHit;
            InvalidateClamped(IXINV_REPAINT, &box, nullptr);
        }
        return;
    }
    RefreshLayout(this, repaint);
}

// ---------------------------------------------------------------------------
// IxStateTextLabel

int IxStateTextLabel::StateFont() const
{
    // PickStateValue takes normal, pressed, disabled, selected, selected and
    // pressed, current.
    return static_cast<int>(PickStateValue(m_fonts[0], m_fonts[3], m_fonts[1], m_fonts[4], m_fonts[5], m_fonts[2]));
}

LRESULT IxStateTextLabel::OnEvent(int code, LPARAM param)
{
    if (code >= IXEV_ENABLED && code <= IXEV_RELEASED)
        ChangeFont(StateFont(), static_cast<BOOL>(param));
    return IxTextLabel::OnEvent(code, param);
}

int IxStateTextLabel::Layout(LPARAM arg)
{
    if (HasFlag(IXF_LAYOUTPENDING))
        m_nFont = StateFont();
    return IxTextLabel::Layout(arg);
}

int IxStateTextLabel::SetProperty(int id, LPARAM value)
{
    if (id < IXP_FONT || id > IXP_FONTSELECTEDPRESSED)
        return IxTextLabel::SetProperty(id, value);
    m_fonts[id - IXP_FONT] = static_cast<int>(value);
    if (id == IXP_FONT)
        m_nFont = static_cast<int>(value);
    return 1;
}
