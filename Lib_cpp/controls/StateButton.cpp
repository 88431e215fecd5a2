#include "Lib_cpp/controls/StateButton.h"

#include "Lib_cpp/controls/ElementApi.h"
#include "Lib_cpp/core/Draw.h"
#include "Lib_cpp/image/Image.h"
#include "platform/base/Rect.h"
#include "platform/gfx/Gdi.h"

namespace {

bool IsStateEvent(int code)
{
    return code >= IXEV_ENABLED && code <= IXEV_RELEASED;
}

// {x, y, width, height} to edges.
void ToEdges(RECT* rc)
{
    rc->right += rc->left;
    rc->bottom += rc->top;
}

RECT RectFrom(LPARAM value)
{
    const auto* rc = reinterpret_cast<const RECT*>(value);
    return rc ? *rc : RECT{0, 0, 0, 0};
}

} // namespace

// ---------------------------------------------------------------------------
// IxStateButton

IxStateButton::IxStateButton(int pressShiftX, int pressShiftY) : m_nShiftX(pressShiftX), m_nShiftY(pressShiftY) {}

IxStateButton::~IxStateButton()
{
    for (IxImage* image : m_pImage)
        if (image)
            image->Release();
}

int IxStateButton::StateFont() const
{
    return static_cast<int>(PickStateValue(m_fonts[0], m_fonts[3], m_fonts[1], m_fonts[4], m_fonts[5], m_fonts[2]));
}

BOOL IxStateButton::ChangeFont(int font, BOOL repaint)
{
    if (font == m_nFont)
        return FALSE;
    const int old = m_nFont;
    m_nFont = font;
    if (!IxElementText::SameFaceAndSize(old, font)) {
        RefreshLayout(this, repaint);
        return TRUE;
    }
    if (repaint) {
        // The text box where the text stands now and where it stands while
        // pressed: a press that changes only the colour moves the text too.
        RECT box = platform::Union(m_rcHit, platform::Offset(m_rcHit, m_nShiftX, m_nShiftY));
        InvalidateElementRect(&box);
    }
    return TRUE;
}

BOOL IxStateButton::SetPieceFrame(int piece, int frame, BOOL repaint)
{
    IxImage* image = m_pImage[piece];
    if (!image)
        return FALSE;
    if (piece == BACKGROUND)
        return SetImageFrame(this, image, frame, repaint);
    const BOOL changed
        = frame == IXFRAME_NEXTBACKGROUND ? image->Control(IXIC_NEXTFRAME, 0) : image->Control(IXIC_SETFRAME, frame);
    if (changed && repaint)
        InvalidateElementRect(&PieceRect(piece));
    return changed;
}

LRESULT IxStateButton::OnEvent(int code, LPARAM param)
{
    if (IsStateEvent(code)) {
        const BOOL repaint = static_cast<BOOL>(param);
        ChangeFont(StateFont(), repaint);
        for (int piece : {BACKGROUND, ICON, ICON2})
            if (m_pImage[piece])
                SetPieceFrame(piece, PickStateFrame(this, m_pImage[piece], FALSE), repaint);
        if (m_pImage[OVERLAY])
            SetImageFrameAndLayout(this, m_pImage[OVERLAY], PickStateFrame(this, m_pImage[OVERLAY], FALSE), repaint);
    }
    return IxControl::OnEvent(code, param);
}

IxElement* IxStateButton::FindTarget(int inputCode, POINT point)
{
    if (inputCode == IXIN_NOHIT || HasFlag(IXF_NOTARGET))
        return nullptr;
    if (!HasFlag(IXF_HITCLIENT) && inputCode < IXIN_POINTERCODES) {
        const bool hit = PtInRectInclusive(m_rcHit, point) || (m_pImage[ICON] && PtInRectInclusive(m_rcIcon, point))
            || (m_pImage[ICON2] && PtInRectInclusive(m_rcIcon2, point));
        return hit ? this : nullptr;
    }
    return PtInRectInclusive(RECT{0, 0, Width(), Height()}, point) ? this : nullptr;
}

void IxStateButton::ClickAt(POINT point, BOOL repaint)
{
    int part = CLICK_NONE;
    if (m_pImage[ICON] && PtInRectInclusive(m_rcIcon, point))
        part = CLICK_ICON;
    else if (m_pImage[ICON2] && PtInRectInclusive(m_rcIcon2, point))
        part = CLICK_ICON2;
    else if (PtInRectInclusive(m_rcHit, point))
        part = CLICK_TEXT;
    Click(part, repaint);
}

int IxStateButton::Layout(LPARAM)
{
    if (!m_bLaidOut) {
        ToEdges(&m_rcIcon);
        ToEdges(&m_rcIcon2);
        ToEdges(&m_rcText);
        m_bLaidOut = true;
    }
    // A text rectangle without width lies between the icons; without height
    // it takes the element's.
    if (m_rcText.right - m_rcText.left < 1) {
        m_rcText.left = m_rcIcon.right;
        m_rcText.right = m_rcIcon2.right - m_rcIcon2.left >= 1 ? m_rcIcon2.left : Width();
    }
    if (m_rcText.bottom - m_rcText.top < 1) {
        m_rcText.top = 0;
        m_rcText.bottom = Height();
    }
    if (m_text.IsPresent()) {
        const IxTextMetrics metrics = m_text.Measure(m_nFont);
        AlignRectIn(this, m_rcText, metrics.nWidth, metrics.nHeight, &m_rcHit);
        m_nBaseline = m_rcHit.top + metrics.nAscent;
    } else if (IxImage* overlay = m_pImage[OVERLAY]) {
        SIZE size{0, 0};
        overlay->Query(IXIQ_SIZE, reinterpret_cast<INT_PTR>(&size));
        AlignRectIn(this, m_rcText, size.cx, size.cy, &m_rcHit);
    } else {
        const int x = (m_rcText.left + m_rcText.right) / 2;
        const int y = (m_rcText.top + m_rcText.bottom) / 2;
        m_rcHit = RECT{x, y, x, y};
    }
    return 1;
}

void IxStateButton::Draw(IxPaintRecord* record)
{
    DrawPieces(record, (1u << PIECES) - 1, true);
}

void IxStateButton::DrawPieces(IxPaintRecord* record, unsigned pieces, bool text)
{
    if (!record)
        return;
    auto wanted = [&](int piece) { return (pieces & (1u << piece)) && m_pImage[piece]; };
    IxDC* dc = record->dc;
    if (wanted(BACKGROUND))
        DrawImage(record, m_pImage[BACKGROUND]);
    for (int piece : {ICON, ICON2})
        if (wanted(piece) && platform::RectsOverlap(PieceRect(piece), record->clip))
            m_pImage[piece]->Draw(dc, PieceRect(piece), &record->clip);

    RECT box = m_rcHit;
    int baseline = m_nBaseline;
    if (HasFlag(IXF_PRESSED)) {
        box = platform::Offset(box, m_nShiftX, m_nShiftY);
        baseline += m_nShiftY;
    }
    const bool clip = box.left < m_rcText.left || box.right > m_rcText.right;
    if (clip)
        dc->PushClip(platform::Intersect(m_rcText, record->clip));
    if (wanted(OVERLAY) && platform::RectsOverlap(box, record->clip))
        m_pImage[OVERLAY]->Draw(dc, box, &record->clip);
    if (text && !m_text.IsEmpty()) {
        IxSavedFont saved{nullptr, CLR_INVALID};
        if (m_nFont != -1)
            saved = dc->SelectFont(m_nFont);
        ExtTextOutW(dc->GetDC(), box.left, baseline, 0, nullptr, m_text.Text(), m_text.Length(), nullptr);
        dc->SelectFontAndColor(saved);
    }
    if (clip)
        dc->PopClip();
}

int IxStateButton::Query(int code, LPARAM* out)
{
    if (m_text.Query(code, out))
        return 1;
    return IxElement::Query(code, out);
}

int IxStateButton::SetProperty(int id, LPARAM value)
{
    if (IxElementText::IsTextProperty(id)) {
        if (!m_text.SetFromProperty(id, value))
            return 0;
        // 21, 23 and 28 lay out again; 22, 24 and 29 only repaint.
        if (id == IXP_TEXTNOW || id == IXP_TEXTCHARSNOW || id == IXP_TEXTRECORDNOW)
            RefreshLayout(this, TRUE);
        else
            Redraw();
        return 1;
    }
    auto* image = reinterpret_cast<IxImage*>(value);
    switch (id) {
    case IXP_BACKGROUND:
    case IXP_BUTTONBACKGROUND:
        AssignImageRef(this, &m_pImage[BACKGROUND], image);
        Redraw();
        return 1;
    case IXP_FONT:
        m_fonts[0] = static_cast<int>(value);
        if (HasFlag(IXF_LAYOUTPENDING))
            m_nFont = m_fonts[0];
        else
            ChangeFont(m_fonts[0], TRUE);
        return 1;
    case IXP_FONTDISABLED:
    case IXP_FONTCURRENT:
    case IXP_FONTPRESSED:
    case IXP_FONTSELECTED:
    case IXP_FONTSELECTEDPRESSED:
        m_fonts[id - IXP_FONT] = static_cast<int>(value);
        return 1;
    case IXP_FRAME:
        if (m_pImage[OVERLAY])
            SetImageFrameAndLayout(this, m_pImage[OVERLAY], static_cast<int>(value), TRUE);
        else
            SetPieceFrame(ICON, static_cast<int>(value), TRUE);
        return 1;
    case IXP_IMAGENOW:
        AssignImageRef(this, &m_pImage[OVERLAY], image);
        RefreshLayout(this, TRUE);
        return 1;
    case IXP_IMAGELATER:
        AssignImageRef(this, &m_pImage[OVERLAY], image);
        Redraw();
        return 1;
    case IXP_TEXTRECT:
        m_rcText = RectFrom(value);
        RefreshLayout(this, TRUE);
        return 1;
    case IXP_ICON:
    case IXP_ICON2:
        AssignImageRef(this, &m_pImage[id == IXP_ICON ? ICON : ICON2], image);
        RefreshLayout(this, TRUE);
        return 1;
    case IXP_ICONRECT:
    case IXP_ICON2RECT:
        (id == IXP_ICONRECT ? m_rcIcon : m_rcIcon2) = RectFrom(value);
        RefreshLayout(this, TRUE);
        return 1;
    case IXP_ICONFRAME:
    case IXP_ICON2FRAME:
        SetImageFrameAndLayout(this, m_pImage[id == IXP_ICONFRAME ? ICON : ICON2], static_cast<int>(value), TRUE);
        return 1;
    default:
        return 0;
    }
}

int IxStateButton::OnCreate(const IxElementParams* params)
{
    if (params && params->nContentKind == IXCONTENT_IMAGE)
        AssignImageRef(this, &m_pImage[OVERLAY], reinterpret_cast<IxImage*>(params->lContentValue));
    else
        m_text.SetFromParams(params);
    return 1;
}

// ---------------------------------------------------------------------------
// IxItemButton

BOOL IxItemButton::StoreFrame(int piece, int frame)
{
    if (m_frames[piece] == frame)
        return FALSE;
    m_frames[piece] = frame;
    return TRUE;
}

LRESULT IxItemButton::OnEvent(int code, LPARAM param)
{
    if (!IsStateEvent(code))
        return IxStateButton::OnEvent(code, param);
    const int font = StateFont();
    const bool fontChanged = font != m_nFont;
    if (fontChanged) {
        const int old = m_nFont;
        m_nFont = font;
        if (!IxElementText::SameFaceAndSize(old, font))
            RefreshLayout(this, FALSE);
    }
    unsigned changed = 0;
    for (int piece = 0; piece < PIECES; ++piece)
        if (m_pImage[piece] && StoreFrame(piece, PickStateFrame(this, m_pImage[piece], FALSE)))
            changed |= 1u << piece;
    if (param) {
        const bool pressChange = code == IXEV_PRESSED || code == IXEV_RELEASED;
        if (pressChange || fontChanged || (changed & ((1u << BACKGROUND) | (1u << OVERLAY)))) {
            Redraw();
        } else {
            for (int piece : {ICON, ICON2})
                if (changed & (1u << piece))
                    InvalidateElementRect(&PieceRect(piece));
        }
    }
    return IxControl::OnEvent(code, param);
}

int IxItemButton::Layout(LPARAM arg)
{
    if (!m_bLaidOut) {
        for (int piece = 0; piece < PIECES; ++piece)
            if (m_pImage[piece] && m_frames[piece] == 0)
                m_frames[piece] = m_pImage[piece]->Query(IXIQ_HASFRAME, IXSTATE_NORMAL) ? IXSTATE_NORMAL : 0;
    }
    return IxStateButton::Layout(arg);
}

void IxItemButton::Draw(IxPaintRecord* record)
{
    // A disabled row shows no images; a row that refuses input no text.
    unsigned pieces = 0;
    if (!HasFlag(IXF_DISABLED)) {
        for (int piece = 0; piece < PIECES; ++piece) {
            if (m_pImage[piece] && m_frames[piece] != -1) {
                m_pImage[piece]->Control(IXIC_SETFRAME, m_frames[piece]);
                pieces |= 1u << piece;
            }
        }
    }
    DrawPieces(record, pieces, !HasFlag(IXF_DISABLED | IXF_NOINPUT));
}

int IxItemButton::SetProperty(int id, LPARAM value)
{
    const int frame = static_cast<int>(value);
    switch (id) {
    case IXP_FRAME:
        if (m_pImage[OVERLAY]) {
            if (StoreFrame(OVERLAY, frame))
                Redraw();
            return 1;
        }
        [[fallthrough]];
    case IXP_ICONFRAME:
        if (StoreFrame(ICON, frame))
            InvalidateElementRect(&m_rcIcon);
        return 1;
    case IXP_ICON2FRAME:
        if (StoreFrame(ICON2, frame))
            InvalidateElementRect(&m_rcIcon2);
        return 1;
    default:
        return IxStateButton::SetProperty(id, value);
    }
}
