#include "Lib_cpp/controls/TextEdit.h"

#include "Lib_cpp/controls/ElementApi.h"
#include "Lib_cpp/controls/ElementText.h"
#include "Lib_cpp/controls/TextMeasure.h"
#include "Lib_cpp/core/Diag.h"
#include "Lib_cpp/core/Window.h"
#include "Lib_cpp/kernel/Kernel.h"
#include "platform/base/Rect.h"
#include "platform/gfx/Gdi.h"
#include "platform/ui/Window.h"

#include <algorithm>
#include <string>

namespace {

BOOL ShiftDown()
{
    return GetKeyState(static_cast<int>(VK_SHIFT)) < 0;
}

} // namespace

IxTextEdit::IxTextEdit(int edgeZone) : m_nEdgeZone(edgeZone) {}

// ---------------------------------------------------------------------------
// Text and measuring

void IxTextEdit::EnsureMetrics()
{
    if (m_nLineHeight != -1)
        return;
    IxTextMeasure measure(m_nFont);
    m_nAscent = measure.Ascent();
    m_nLineHeight = measure.Height();
    measure.Advances(m_chars.Data(), m_chars.Count(), m_nSpacing, m_advances.Data());
}

int IxTextEdit::SumAdvances(int from, int to) const
{
    int sum = 0;
    for (int i = std::max(from, 0); i < to && i < m_advances.Count(); ++i)
        sum += m_advances[i];
    return sum;
}

int IxTextEdit::TextWidth() const
{
    return SumAdvances(0, m_advances.Count());
}

void IxTextEdit::UpdateBox()
{
    AlignRect(TextWidth(), std::max(m_nLineHeight, 0), &m_rcText);
}

int IxTextEdit::Layout(LPARAM)
{
    EnsureMetrics();
    UpdateBox();
    return 1;
}

BOOL IxTextEdit::Splice(int at, int count, LPCWSTR text, int length)
{
    at = std::clamp(at, 0, m_chars.Count());
    count = std::clamp(count, 0, m_chars.Count() - at);
    if (length < 0 || (length > 0 && !text))
        length = 0;
    if (length > count) {
        // Grow both arrays first so that a failure changes nothing.
        if (!m_chars.Reserve(m_chars.Count() + length - count)
            || !m_advances.Reserve(m_chars.Count() + length - count)) {
            IxRecordError(IXERR_NOMEMORY);
            return FALSE;
        }
    }
    m_chars.RemoveRange(at, count);
    m_advances.RemoveRange(at, count);
    m_chars.Insert(at, text, length);
    m_advances.InsertGap(at, length);
    if (length > 0) {
        IxTextMeasure measure(m_nFont);
        measure.Advances(m_chars.Data() + at, length, m_nSpacing, m_advances.Data() + at);
    }
    return TRUE;
}

BOOL IxTextEdit::SetText(LPCWSTR text, int count)
{
    if (!text || count < 0)
        count = 0;
    if (count == m_chars.Count()
        && (count == 0 || std::char_traits<WCHAR>::compare(text, m_chars.Data(), static_cast<size_t>(count)) == 0))
        return FALSE;
    if (!Splice(0, m_chars.Count(), text, count))
        return FALSE;
    InvalidateArea(nullptr, IXINV_REPAINT);
    RefreshLayout(this, TRUE);
    if (IsFocused()) {
        m_nCaret = 0;
        m_nAnchor = -1;
        m_nComposition = 0;
    } else {
        // A kept caret (element mark) stays inside the new text.
        if (m_nCaret > count)
            m_nCaret = count;
        if (m_nAnchor > count)
            m_nAnchor = count;
        m_nComposition = 0;
    }
    m_nScroll = 0;
    return TRUE;
}

void IxTextEdit::SetSpacing(int spacing)
{
    m_nSpacing = spacing;
    m_nLineHeight = -1;
    RefreshLayout(this, TRUE);
}

int IxTextEdit::OnCreate(const IxElementParams* params)
{
    IxElementText text;
    text.SetFromParams(params);
    Splice(0, m_chars.Count(), text.Text(), text.Length());
    return 1;
}

int IxTextEdit::SetProperty(int id, LPARAM value)
{
    switch (id) {
    case IXP_FONT:
        m_nFont = static_cast<int>(value);
        m_nLineHeight = -1;
        RefreshLayout(this, TRUE);
        return 1;
    case IXP_TEXTINSERT: {
        const auto* record = reinterpret_cast<const IxTextInsertRecord*>(value);
        if (!record || record->text.IsEmpty())
            return 0;
        const int at = std::clamp(record->nPosition, 0, m_chars.Count());
        if (m_chars.Count() + record->text.Length() > m_nLimit || !Accepts(record->text.Text(), record->text.Length()))
            return 0;
        if (!Splice(at, 0, record->text.Text(), record->text.Length()))
            return 0;
        if (m_nCaret >= at)
            m_nCaret += record->text.Length();
        if (m_nAnchor >= at)
            m_nAnchor += record->text.Length();
        UpdateBox();
        Redraw();
        return 1;
    }
    case IXP_SELECTION: {
        const int start = static_cast<SHORT>(value & 0xFFFF);
        const int end = static_cast<SHORT>((value >> 16) & 0xFFFF);
        if (start < 0 && end < 0) {
            m_nCaret = m_nAnchor = -1;
            m_nComposition = 0;
            Redraw();
            return 1;
        }
        SetSelection(start, end);
        return 1;
    }
    case IXP_SELECTIONRECORD: {
        const auto* range = reinterpret_cast<const IxTextRange*>(value);
        if (!range)
            return 0;
        SetSelection(range->nStart, range->nEnd);
        return 1;
    }
    default:
        break;
    }
    LPCWSTR text = nullptr;
    int count = 0;
    if (!IxElementText::PropertyChars(id, value, &text, &count))
        return 0;
    return SetText(text, count);
}

int IxTextEdit::Query(int code, LPARAM* out)
{
    switch (code) {
    case IXQ_SHARETEXT:
        if (auto* text = reinterpret_cast<IxString*>(out)) {
            if (m_chars.Count() == 0)
                text->Release();
            else
                text->AssignChars(m_chars.Data(), m_chars.Count());
        }
        return 1;
    case IXQ_APPENDTEXT:
        if (auto* chars = reinterpret_cast<IxArray<WCHAR>*>(out))
            chars->Insert(chars->Count(), m_chars.Data(), m_chars.Count());
        return 1;
    case IXQ_SELECTEDTEXT: {
        auto* text = reinterpret_cast<IxString*>(out);
        int start = 0, end = 0;
        if (!text)
            return 0;
        if (!GetSelection(&start, &end)) {
            text->Release();
            return 0;
        }
        text->AssignChars(m_chars.Data() + start, end - start);
        return 1;
    }
    case IXQ_SELECTION:
    case IXQ_SELECTION2: {
        auto* range = reinterpret_cast<IxTextRange*>(out);
        int start = 0, end = 0;
        const BOOL selected = GetSelection(&start, &end);
        if (range)
            *range = IxTextRange{-1, start, -1, end};
        return selected ? 1 : 0;
    }
    default:
        return IxElement::Query(code, out);
    }
}

// ---------------------------------------------------------------------------
// Caret and selection

BOOL IxTextEdit::IsFocused() const
{
    IxKernel* kernel = IxGetKernel();
    return kernel && kernel->GetFocus() == this;
}

BOOL IxTextEdit::GetSelection(int* start, int* end) const
{
    if (!HasSelection()) {
        *start = *end = m_nCaret;
        return FALSE;
    }
    *start = std::min(m_nCaret, m_nAnchor);
    *end = std::max(m_nCaret, m_nAnchor);
    return TRUE;
}

BOOL IxTextEdit::SetFocus()
{
    if (!IsFocused() && !IxElement::SetFocus())
        return FALSE;
    if (m_nCaret < 0) {
        m_nCaret = HasFlag(IXF_HEND) ? m_chars.Count() : 0;
        m_nAnchor = -1;
        PlaceCaret();
    }
    return TRUE;
}

void IxTextEdit::SetSelection(int start, int end)
{
    if (!IsFocused() && !SetFocus())
        return;
    const int length = m_chars.Count();
    if (start < 0)
        start = 0;
    if (start > length)
        start = length;
    if (end < 0 || end > length)
        end = length;
    m_nComposition = 0;
    m_nCaret = start;
    m_nAnchor = start == end ? -1 : end;
    Redraw();
    PlaceCaret();
}

int IxTextEdit::XOf(int index) const
{
    return m_rcText.left - m_nScroll + SumAdvances(0, index);
}

int IxTextEdit::IndexAt(int x) const
{
    int remaining = x + m_nScroll - m_rcText.left;
    int i = 0;
    while (i < m_advances.Count() && remaining >= (m_advances[i] + 1) / 2) {
        remaining -= m_advances[i];
        ++i;
    }
    return i;
}

RECT IxTextEdit::RangeRect(int from, int to) const
{
    const int x = XOf(from);
    int width = SumAdvances(from, to);
    if (from == to) {
        IxKernel* kernel = IxGetKernel();
        width = kernel ? kernel->GetCaretWidth() : 2;
    }
    RECT rc{x, m_rcText.top, x + width, m_rcText.top + std::max(m_nLineHeight, 0)};
    return platform::Intersect(rc, RECT{0, 0, Width(), Height()});
}

void IxTextEdit::MoveCaret(int index, BOOL extend)
{
    index = std::clamp(index, 0, m_chars.Count());
    if (extend) {
        if (m_nAnchor < 0)
            m_nAnchor = m_nCaret;
    } else {
        if (HasSelection())
            Redraw();
        m_nAnchor = -1;
    }
    m_nCaret = index;
    m_nComposition = 0;
    if (extend)
        Redraw();
    PlaceCaret();
}

void IxTextEdit::PlaceCaret()
{
    if (m_nCaret < 0)
        return;
    EnsureMetrics();
    // The caret or the run being composed comes into view.
    const int from = m_nCaret;
    const int to = std::min(m_nCaret + m_nComposition, m_chars.Count());
    const int left = XOf(from);
    int right = XOf(to);
    if (from == to) {
        IxKernel* kernel = IxGetKernel();
        right += kernel ? kernel->GetCaretWidth() : 2;
    }
    const int old = m_nScroll;
    if (left < 0)
        m_nScroll += left;
    else if (right > Width())
        m_nScroll += right - Width();
    if (m_nScroll != old)
        Redraw();
    RequestCaret();
}

void IxTextEdit::RequestCaret()
{
    IxKernel* kernel = IxGetKernel();
    if (!kernel || !HasFlag(IXF_CARETSHOWN) || !IsFocused() || m_nCaret < 0 || HasSelection())
        return;
    RECT rc = RangeRect(m_nCaret, m_nCaret);
    if (platform::IsEmpty(rc)) {
        kernel->RequestCaret(IxCaretRect{0, 0, 0, 0});
        return;
    }
    LocalToScreenRect(&rc);
    kernel->RequestCaret(IxCaretRect{rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top});
}

void IxTextEdit::CorrectScrollAfterDelete()
{
    if (m_nScroll == 0)
        return;
    const int end = XOf(m_chars.Count());
    if (end >= Width())
        return;
    m_nScroll = std::max(m_nScroll - (Width() - end), 0);
    Redraw();
}

void IxTextEdit::NotifyLength()
{
    const int length = m_chars.Count();
    PostElementNotify(this, m_nId, AEV_CLICK, length >= m_nLimit ? -length : length);
}

void IxTextEdit::DeleteSelection()
{
    int start = 0, end = 0;
    if (!GetSelection(&start, &end))
        return;
    Splice(start, end - start, nullptr, 0);
    m_nCaret = start;
    m_nAnchor = -1;
}

// ---------------------------------------------------------------------------
// Text records

BOOL IxTextEdit::Accepts(LPCWSTR text, int length) const
{
    if (m_nFilter == FILTER_ANY)
        return TRUE;
    if (m_nFilter != FILTER_DIGITS)
        return FALSE;
    for (int i = 0; i < length; ++i) {
        if (text[i] < u'0' || text[i] > u'9')
            return FALSE;
    }
    return TRUE;
}

int IxTextEdit::TakeTextInput(const IxTextInput* input)
{
    if (!input || HasFlag(IXF_READONLY))
        return 0;
    const int count = input->text ? std::max(input->length, 0) : 0;
    const int length = m_chars.Count();
    if (m_nCaret < 0 || m_nCaret > length)
        m_nCaret = length;
    switch (input->kind) {
    case IxTextInput::None:
    case IxTextInput::Command:
        return 0;
    case IxTextInput::ReplaceComposing: {
        // Writes over the characters from the caret on; what stands beyond
        // the end of the text goes in as new characters, within the limit.
        const int over = std::min(count, length - m_nCaret);
        if (length + (count - over) > m_nLimit || !Accepts(input->text, count))
            return 0;
        if (!Splice(m_nCaret, over, input->text, count))
            return 0;
        m_nComposition = count;
        break;
    }
    case IxTextInput::RemoveComposing:
        Splice(m_nCaret, m_nComposition, nullptr, 0);
        m_nComposition = 0;
        break;
    default: {
        // Insert: the selection goes, then the text replaces up to the
        // replace count of characters after the caret.
        int start = m_nCaret, end = m_nCaret;
        GetSelection(&start, &end);
        const int after = length - (end - start) - start;
        const int replaced = std::clamp(input->replace, 0, after);
        const int result = length - (end - start) - replaced + count;
        // Refused when the text would grow past the limit (a record is not
        // cut to fit); replacing within the limit stays possible.
        if ((result > m_nLimit && result > length) || !Accepts(input->text, count))
            return 0;
        if (HasSelection())
            DeleteSelection();
        if (!Splice(m_nCaret, replaced, input->text, count))
            return 0;
        if (input->kind == IxTextInput::Plain || input->kind == IxTextInput::CommitComposing) {
            m_nCaret += count;
            m_nComposition = 0;
        } else {
            m_nComposition = count;
        }
        break;
    }
    }
    m_nAnchor = -1;
    UpdateBox();
    CorrectScrollAfterDelete();
    Redraw();
    PlaceCaret();
    NotifyLength();
    return 1;
}

// ---------------------------------------------------------------------------
// Keys

LRESULT IxTextEdit::NotifyParent(int code, IxElement* source)
{
    // The field performs its own editing keys while it holds the focus.
    if (!source && IsFocused()) {
        switch (code) {
        case IXNAV_RIGHT:
        case IXNAV_LEFT:
        case IXNAV_HOME:
        case IXNAV_END:
        case IXNAV_DELETE:
        case IXNAV_BACKSPACE:
            return reinterpret_cast<LRESULT>(this);
        default:
            break;
        }
    }
    return IxElement::NotifyParent(code, source);
}

int IxTextEdit::OnKey(int code)
{
    const BOOL shift = ShiftDown();
    const int length = m_chars.Count();
    if (m_nCaret < 0)
        m_nCaret = HasFlag(IXF_HEND) ? length : 0;
    int start = 0, end = 0;
    const BOOL selected = GetSelection(&start, &end);
    switch (code) {
    case IXNAV_RIGHT:
        if (shift)
            MoveCaret(m_nCaret + 1, TRUE);
        else if (selected)
            MoveCaret(end, FALSE);
        else if (m_nCaret < length)
            MoveCaret(m_nCaret + 1, FALSE);
        return 1;
    case IXNAV_LEFT:
        if (shift)
            MoveCaret(m_nCaret - 1, TRUE);
        else if (selected)
            MoveCaret(start, FALSE);
        else if (m_nCaret > 0)
            MoveCaret(m_nCaret - 1, FALSE);
        return 1;
    case IXNAV_HOME:
        MoveCaret(0, shift);
        return 1;
    case IXNAV_END:
        MoveCaret(length, shift);
        return 1;
    case IXNAV_DELETE:
    case IXNAV_BACKSPACE:
        if (HasFlag(IXF_READONLY))
            return 1;
        if (selected) {
            DeleteSelection();
        } else if (code == IXNAV_DELETE && m_nCaret < length) {
            Splice(m_nCaret, 1, nullptr, 0);
        } else if (code == IXNAV_BACKSPACE && m_nCaret > 0) {
            Splice(--m_nCaret, 1, nullptr, 0);
        } else {
            return 1;
        }
        m_nComposition = 0;
        UpdateBox();
        CorrectScrollAfterDelete();
        Redraw();
        PlaceCaret();
        NotifyLength();
        return 1;
    default:
        return 0;
    }
}

// ---------------------------------------------------------------------------
// Touch

IxElement* IxTextEdit::FindTarget(int inputCode, POINT point)
{
    if (inputCode == IXIN_NOHIT)
        return nullptr;
    return platform::RectContainsInclusive(RECT{0, 0, Width(), Height()}, point) ? this : nullptr;
}

void IxTextEdit::StopAutoScroll()
{
    KillElementTimer(this, IxTimerId(&m_nScrollDirection));
}

void IxTextEdit::AutoScrollStep()
{
    if (m_nScrollDirection == 1)
        MoveCaret(std::min(IndexAt(Width()) + 1, m_chars.Count()), TRUE);
    else
        MoveCaret(std::max(IndexAt(0) - 1, 0), TRUE);
}

int IxTextEdit::OnInput(int code, LPARAM data)
{
    const auto* given = reinterpret_cast<const POINT*>(data);
    const POINT point = given ? *given : POINT{0, 0};
    switch (code) {
    case IXIN_DOWN: {
        if (HasFlag(IXF_DISABLED | IXF_NOINPUT))
            return 0;
        if (HasFlag(IXF_READONLY) && !HasFlag(IXF_CARETSHOWN))
            return TextWidth() > Width() ? IXGM_TRACK : IXGM_NONE;
        IxElementWatch self(this);
        m_nComposition = 0;
        if (HasFlag(IXF_FOCUSONCLICK))
            SetFocus();
        if (!self.Alive())
            return 0;
        const int index = IndexAt(point.x);
        int start = 0, end = 0;
        if (GetSelection(&start, &end) && index >= start && index <= end)
            OnEvent(IXEV_SELECTIONOFFERED, 0);
        else if (self.Alive())
            MoveCaret(index, FALSE);
        return self.Alive() ? IXGM_TRACK : IXGM_NONE;
    }
    case IXIN_REPEAT: {
        if (!IsFocused() || m_chars.Count() == 0)
            return 0;
        // The character under the point, not the nearest boundary.
        int sum = XOf(0);
        int index = 0;
        while (index < m_chars.Count() - 1 && sum + m_advances[index] <= point.x)
            sum += m_advances[index++];
        if (m_chars[index] == u' ')
            return 0;
        int start = index, end = index;
        while (start > 0 && m_chars[start - 1] != u' ')
            --start;
        while (end < m_chars.Count() && m_chars[end] != u' ')
            ++end;
        m_nComposition = 0;
        m_nCaret = start;
        m_nAnchor = end;
        Redraw();
        PlaceCaret();
        return 0;
    }
    case IXIN_MOVE: {
        if (!IsFocused())
            return 0;
        IxKernel* kernel = IxGetKernel();
        if (kernel && kernel->GetRepeatPeriod() > 0 && m_nEdgeZone >= 0
            && (point.x > Width() - m_nEdgeZone || point.x < m_nEdgeZone)) {
            const int direction = point.x > Width() - m_nEdgeZone ? 1 : 0;
            if (direction != m_nScrollDirection || !kernel->IsTimerSet(this, IxTimerId(&m_nScrollDirection))) {
                m_nScrollDirection = direction;
                SetElementTimer(this, IxTimerId(&m_nScrollDirection), kernel->GetRepeatPeriod());
            }
            return 1;
        }
        StopAutoScroll();
        MoveCaret(IndexAt(point.x), TRUE);
        return 1;
    }
    case IXIN_UP:
    case IXIN_TAP:
        StopAutoScroll();
        return 0;
    case IXIN_SCROLLBY:
    case IXIN_FLINGSTEP:
        if (!given)
            return 0;
        m_nScroll -= point.x;
        Redraw();
        return IXGM_SCROLL;
    default:
        return IxElement::OnInput(code, data);
    }
}

// ---------------------------------------------------------------------------
// Events and drawing

LRESULT IxTextEdit::OnEvent(int code, LPARAM param)
{
    IxKernel* kernel = IxGetKernel();
    switch (code) {
    case IXEV_ATTACHED:
        if (kernel && !HasFlag(IXF_READONLY))
            kernel->AddKeyReceiver(this);
        break;
    case IXEV_FOCUSOUT:
        if (HasFlag(IXF_MARKED)) {
            m_nCaret = std::min(m_nCaret + m_nComposition, m_chars.Count());
            m_nComposition = 0;
        } else {
            m_nCaret = m_nAnchor = -1;
            m_nComposition = 0;
        }
        Redraw();
        break;
    case IXEV_HIDDEN:
        if (kernel)
            kernel->RequestCaret(IxCaretRect{0, 0, 0, 0});
        break;
    case IXEV_DETACHED:
        if (kernel)
            kernel->RemoveKeyReceiver(this);
        StopAutoScroll();
        break;
    case IXEV_UNMARKED:
        if (!IsFocused()) {
            m_nCaret = m_nAnchor = -1;
            m_nComposition = 0;
        }
        break;
    case IXEV_TIMER:
        if (static_cast<UINT_PTR>(param) == IxTimerId(&m_nScrollDirection))
            AutoScrollStep();
        break;
    default:
        break;
    }
    return IxElement::OnEvent(code, param);
}

void IxTextEdit::Draw(IxPaintRecord* record)
{
    if (!record || !record->dc)
        return;
    EnsureMetrics();
    IxDC* dc = record->dc;
    HDC hdc = dc->GetDC();
    const RECT client{0, 0, Width(), Height()};
    const int textWidth = TextWidth();
    const bool clip = m_nScroll != 0 || m_rcText.left < 0 || m_rcText.top < 0 || m_rcText.left + textWidth > Width()
        || m_rcText.bottom > Height();
    if (clip)
        dc->PushClip(platform::Intersect(client, record->clip));
    IxSavedFont saved{nullptr, CLR_INVALID};
    if (m_nFont >= 0)
        saved = dc->SelectFont(m_nFont);
    // Only the characters that meet the field are drawn.
    const int first = std::max(IndexAt(0) - 1, 0);
    const int last = std::min(IndexAt(Width()) + 1, m_chars.Count());
    const int x = XOf(first);
    const int baseline = m_rcText.top + m_nAscent;
    IxDrawOutlined(hdc, m_nOutlineWidth, m_crOutline, [&](int dx, int dy) {
        IxDrawRun(hdc, x + dx, baseline + dy, m_chars.Data() + first, m_advances.Data() + first, last - first);
    });
    dc->SelectFontAndColor(saved);
    if (HasFlag(IXF_CARETSHOWN) && m_nCaret >= 0) {
        int start = 0, end = 0;
        if (GetSelection(&start, &end)) {
            const RECT rc = platform::Intersect(RangeRect(start, end), record->clip);
            if (!platform::IsEmpty(rc))
                PatBlt(hdc, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, DSTINVERT);
        } else {
            RequestCaret();
        }
    }
    if (clip)
        dc->PopClip();
}
