#include "Lib_cpp/controls/MultiLineText.h"

#include "Lib_cpp/controls/ElementApi.h"
#include "Lib_cpp/controls/ElementText.h"
#include "Lib_cpp/controls/SliderBar.h"
#include "Lib_cpp/controls/TextEdit.h"
#include "Lib_cpp/controls/TextMeasure.h"
#include "Lib_cpp/core/Diag.h"
#include "Lib_cpp/core/Window.h"
#include "Lib_cpp/kernel/Kernel.h"
#include "platform/base/Rect.h"
#include "platform/gfx/Gdi.h"
#include "platform/ui/Window.h"

#include <algorithm>

namespace {

bool IsBreak(WCHAR c)
{
    return c == u'\r' || c == u'\n';
}

bool IsBlank(WCHAR c)
{
    return c == u' ' || c == u'\t';
}

BOOL ShiftDown()
{
    return GetKeyState(static_cast<int>(VK_SHIFT)) < 0;
}

int CaretWidth()
{
    IxKernel* kernel = IxGetKernel();
    return kernel ? kernel->GetCaretWidth() : 2;
}

} // namespace

IxMultiLineText::IxMultiLineText(int lineGap, int spacing, int horizontalZone, int verticalZone, int left, int top,
                                 int right, int bottom, int outlineWidth, COLORREF outlineColour)
    : m_nLineGap(lineGap), m_nSpacing(spacing), m_nMarginLeft(left), m_nMarginTop(top), m_nMarginRight(right),
      m_nMarginBottom(bottom), m_nOutlineWidth(outlineWidth), m_crOutline(outlineColour), m_nZoneX(horizontalZone),
      m_nZoneY(verticalZone)
{
}

IxMultiLineText::~IxMultiLineText()
{
    Clear();
    delete m_pBarV;
    delete m_pBarH;
}

// ---------------------------------------------------------------------------
// The line table

IxMultiLineText::Wrap IxMultiLineText::WrapMode() const
{
    if (HasFlag(IXF_CHARWRAP))
        return WRAP_CHAR;
    return (m_dwStyle & IXMLS_WORDWRAP) ? WRAP_WORD : WRAP_NONE;
}

void IxMultiLineText::EnsureMetrics()
{
    if (m_nLineHeight != -1)
        return;
    IxTextMeasure measure(m_nFont);
    m_nAscent = measure.Ascent();
    m_nLineHeight = m_nLineGap + measure.Height();
    m_nAverageWidth = measure.AverageWidth();
}

void IxMultiLineText::Clear()
{
    for (int i = 0; i < m_lines.Count(); ++i)
        delete m_lines[i];
    m_lines.RemoveAll();
}

IxMultiLineText::Line* IxMultiLineText::NewLine(BOOL paragraph)
{
    auto* line = new (std::nothrow) Line;
    if (!line) {
        IxRecordError(IXERR_NOMEMORY);
        return nullptr;
    }
    line->bParagraph = paragraph;
    return line;
}

int IxMultiLineText::WrapWidth() const
{
    RECT bar{0, 0, Width(), 0};
    if (m_pBarV)
        m_pBarV->GetRect(&bar);
    return (m_pBarV ? bar.left : Width()) - m_nMarginRight - m_nMarginLeft;
}

int IxMultiLineText::Break(int index, LPCWSTR text, int count)
{
    EnsureMetrics();
    IxTextMeasure measure(m_nFont);
    const Wrap wrap = WrapMode();
    const int width = WrapWidth();
    IxArray<Line*> made(16);
    Line* current = NewLine(TRUE);
    if (!current)
        return 0;
    for (int i = 0; i < count; ++i) {
        const WCHAR c = text[i];
        if (IsBreak(c)) {
            if (c == u'\r' && i + 1 < count && text[i + 1] == u'\n')
                ++i;
            made.Add(current);
            current = NewLine(TRUE);
            if (!current)
                break;
            continue;
        }
        // Word wrap: blanks at the start of a wrapped line are the break
        // itself and are not kept.
        if (wrap == WRAP_WORD && IsBlank(c) && !current->bParagraph && current->chars.Count() == 0)
            continue;
        const int advance = measure.Width(c) + m_nSpacing;
        if (wrap == WRAP_WORD && IsBlank(c) && current->chars.Count() > 0 && current->nWidth + advance > width) {
            made.Add(current);
            current = NewLine(FALSE);
            if (!current)
                break;
            continue;
        }
        if (wrap != WRAP_NONE && current->chars.Count() > 0 && current->nWidth + advance > width) {
            Line* next = NewLine(FALSE);
            if (!next)
                break;
            int breakAt = -1;
            if (wrap == WRAP_WORD) {
                for (int k = current->chars.Count() - 1; k >= 0 && breakAt < 0; --k) {
                    if (IsBlank(current->chars[k]))
                        breakAt = k;
                }
            }
            int keep = breakAt;
            while (keep > 0 && IsBlank(current->chars[keep - 1]))
                --keep;
            if (breakAt >= 0 && keep > 0) {
                // The words after the last blank go on; the blanks before
                // them end the line unseen.
                MoveTail(current, breakAt + 1, next, 0);
                RemoveChars(current, keep, current->chars.Count() - keep);
            }
            made.Add(current);
            current = next;
            // What moved may itself be wider than the line with the new
            // character: it is then cut before that character.
            if (current->chars.Count() > 0 && current->nWidth + advance > width) {
                made.Add(current);
                current = NewLine(FALSE);
                if (!current)
                    break;
            }
        }
        current->chars.Add(c);
        current->advances.Add(advance);
        current->nWidth += advance;
    }
    if (current && current->chars.Count() > 0)
        made.Add(current);
    else
        delete current;
    index = std::clamp(index, 0, m_lines.Count());
    if (!m_lines.Insert(index, made.Data(), made.Count())) {
        for (int i = 0; i < made.Count(); ++i)
            delete made[i];
        return 0;
    }
    return made.Count();
}

void IxMultiLineText::RemoveChars(Line* line, int from, int count)
{
    count = std::clamp(count, 0, line->chars.Count() - from);
    for (int i = from; i < from + count; ++i)
        line->nWidth -= line->advances[i];
    line->chars.RemoveRange(from, count);
    line->advances.RemoveRange(from, count);
}

BOOL IxMultiLineText::MoveTail(Line* source, int from, Line* target, int at)
{
    const int count = source->chars.Count() - from;
    if (count <= 0)
        return TRUE;
    if (!target->chars.Insert(at, source->chars.Data() + from, count)) {
        IxRecordError(IXERR_NOMEMORY);
        return FALSE;
    }
    if (!target->advances.Insert(at, source->advances.Data() + from, count)) {
        target->chars.RemoveRange(at, count);
        IxRecordError(IXERR_NOMEMORY);
        return FALSE;
    }
    int moved = 0;
    for (int i = from; i < from + count; ++i)
        moved += source->advances[i];
    target->nWidth += moved;
    source->nWidth -= moved;
    source->chars.RemoveRange(from, count);
    source->advances.RemoveRange(from, count);
    return TRUE;
}

BOOL IxMultiLineText::InsertChars(Line* line, int at, LPCWSTR text, int count)
{
    if (count <= 0)
        return TRUE;
    at = std::clamp(at, 0, line->chars.Count());
    if (!line->chars.Insert(at, text, count))
        return FALSE;
    int* advances = line->advances.InsertGap(at, count);
    if (!advances) {
        line->chars.RemoveRange(at, count);
        return FALSE;
    }
    IxTextMeasure measure(m_nFont);
    measure.Advances(text, count, m_nSpacing, advances);
    for (int i = 0; i < count; ++i)
        line->nWidth += advances[i];
    return TRUE;
}

int IxMultiLineText::Reflow(int line)
{
    if (line < 0 || line >= m_lines.Count())
        return 0;
    int first = line;
    while (first > 0 && !m_lines[first]->bParagraph)
        --first;
    if (WrapMode() != WRAP_CHAR)
        return first;
    const int width = WrapWidth();
    for (int i = first; i < m_lines.Count() && (i == first || !m_lines[i]->bParagraph); ++i) {
        Line* current = m_lines[i];
        // Too wide: the characters that do not fit go to the next line of
        // the paragraph (a new one when there is none); a line keeps one.
        if (current->nWidth > width && current->chars.Count() > 1) {
            int keep = 0, sum = 0;
            while (keep < current->chars.Count() && sum + current->advances[keep] <= width)
                sum += current->advances[keep++];
            keep = std::max(keep, 1);
            Line* next = i + 1 < m_lines.Count() && !m_lines[i + 1]->bParagraph ? m_lines[i + 1] : nullptr;
            if (!next) {
                next = NewLine(FALSE);
                if (!next || !m_lines.Insert(i + 1, &next, 1)) {
                    delete next;
                    return first;
                }
            }
            MoveTail(current, keep, next, 0);
        }
        // Room left: it takes from the start of the next continuation line.
        while (i + 1 < m_lines.Count() && !m_lines[i + 1]->bParagraph) {
            Line* next = m_lines[i + 1];
            int take = 0, sum = current->nWidth;
            while (take < next->chars.Count() && sum + next->advances[take] <= width)
                sum += next->advances[take++];
            if (current->chars.Count() == 0 && take == 0 && next->chars.Count() > 0)
                take = 1;
            if (take > 0) {
                if (!MoveHead(next, take, current))
                    return first;
            }
            if (next->chars.Count() == 0) {
                delete next;
                m_lines.RemoveAt(i + 1);
                continue;
            }
            break;
        }
    }
    return first;
}

BOOL IxMultiLineText::MoveHead(Line* source, int count, Line* target)
{
    count = std::clamp(count, 0, source->chars.Count());
    if (count == 0)
        return TRUE;
    const int at = target->chars.Count();
    if (!target->chars.Insert(at, source->chars.Data(), count)) {
        IxRecordError(IXERR_NOMEMORY);
        return FALSE;
    }
    if (!target->advances.Insert(at, source->advances.Data(), count)) {
        target->chars.RemoveRange(at, count);
        IxRecordError(IXERR_NOMEMORY);
        return FALSE;
    }
    int moved = 0;
    for (int i = 0; i < count; ++i)
        moved += source->advances[i];
    target->nWidth += moved;
    source->nWidth -= moved;
    source->chars.RemoveRange(0, count);
    source->advances.RemoveRange(0, count);
    return TRUE;
}

void IxMultiLineText::Rewrap()
{
    IxArray<WCHAR> text(64);
    GetText(&text);
    const int caret = m_nCaretLine >= 0 ? IndexOf(m_nCaretLine, m_nCaretColumn) : -1;
    const int anchor = m_nAnchorLine >= 0 ? IndexOf(m_nAnchorLine, m_nAnchorColumn) : -1;
    Clear();
    Break(0, text.Data(), text.Count());
    if (caret >= 0)
        PositionOf(caret, &m_nCaretLine, &m_nCaretColumn);
    if (anchor >= 0)
        PositionOf(anchor, &m_nAnchorLine, &m_nAnchorColumn);
}

void IxMultiLineText::GetText(IxArray<WCHAR>* out) const
{
    for (int i = 0; i < m_lines.Count(); ++i) {
        const Line& line = *m_lines[i];
        if (i > 0 && line.bParagraph)
            out->Add(u'\n');
        out->Insert(out->Count(), line.chars.Data(), line.chars.Count());
    }
}

int IxMultiLineText::IndexOf(int line, int column) const
{
    int index = 0;
    line = std::clamp(line, 0, m_lines.Count());
    for (int i = 0; i < line; ++i) {
        index += m_lines[i]->chars.Count();
        if (i + 1 < m_lines.Count() && m_lines[i + 1]->bParagraph)
            ++index;
    }
    if (line < m_lines.Count())
        index += std::clamp(column, 0, m_lines[line]->chars.Count());
    return index;
}

void IxMultiLineText::PositionOf(int index, int* line, int* column) const
{
    for (int i = 0; i < m_lines.Count(); ++i) {
        const int count = m_lines[i]->chars.Count();
        if (index <= count) {
            *line = i;
            *column = std::max(index, 0);
            return;
        }
        index -= count;
        if (i + 1 < m_lines.Count() && m_lines[i + 1]->bParagraph)
            --index;
    }
    *line = std::max(m_lines.Count() - 1, 0);
    *column = m_lines.Count() > 0 ? m_lines[*line]->chars.Count() : 0;
}

int IxMultiLineText::ParagraphEnd(int line) const
{
    if (m_lines.Count() == 0)
        return 0;
    line = std::clamp(line, 0, m_lines.Count() - 1);
    while (line + 1 < m_lines.Count() && !m_lines[line + 1]->bParagraph)
        ++line;
    return IndexOf(line, m_lines[line]->chars.Count());
}

void IxMultiLineText::CharPosition(int index, int* line, int* column) const
{
    PositionOf(index, line, column);
    // A boundary at the end of a wrapped line: the character starts the next.
    if (*line + 1 < m_lines.Count() && *column >= m_lines[*line]->chars.Count()) {
        ++*line;
        *column = 0;
    }
}

int IxMultiLineText::WidestLine() const
{
    int widest = 0;
    for (int i = 0; i < m_lines.Count(); ++i)
        widest = std::max(widest, m_lines[i]->nWidth);
    return widest;
}

// ---------------------------------------------------------------------------
// Text, insertion and deletion

void IxMultiLineText::SetText(LPCWSTR text, int count)
{
    Clear();
    m_nCaretLine = m_nCaretColumn = m_nAnchorLine = m_nAnchorColumn = -1;
    m_nComposition = 0;
    m_nOffsetX = m_nOffsetY = 0;
    Break(0, text, text ? std::max(count, 0) : 0);
    IxKernel* kernel = IxGetKernel();
    if (kernel && kernel->GetFocus() == this && HasFlag(IXF_CARETSHOWN)) {
        m_nCaretLine = m_nCaretColumn = 0;
        PlaceCaret();
    }
    Redraw();
    UpdateScrollBars(TRUE, TRUE);
}

void IxMultiLineText::InsertAtCaret(LPCWSTR text, int count)
{
    if (m_lines.Count() == 0) {
        Line* line = NewLine(TRUE);
        if (!line || !m_lines.Add(line)) {
            delete line;
            return;
        }
    }
    int lineIndex = std::clamp(m_nCaretLine, 0, m_lines.Count() - 1);
    int column = std::clamp(m_nCaretColumn, 0, m_lines[lineIndex]->chars.Count());
    Line* line = m_lines[lineIndex];
    // The rest of the line is held aside and follows the last piece.
    Line* rest = NewLine(FALSE);
    if (!rest)
        return;
    MoveTail(line, column, rest, 0);
    const int firstEdited = lineIndex;
    int start = 0;
    for (int i = 0; i <= count; ++i) {
        if (i < count && !IsBreak(text[i]))
            continue;
        InsertChars(line, line->chars.Count(), text + start, i - start);
        if (i == count)
            break;
        if (text[i] == u'\r' && i + 1 < count && text[i + 1] == u'\n')
            ++i;
        Line* next = NewLine(TRUE);
        if (!next || !m_lines.Insert(lineIndex + 1, &next, 1)) {
            delete next;
            break;
        }
        ++lineIndex;
        line = next;
        start = i + 1;
    }
    const int caret = IndexOf(lineIndex, line->chars.Count());
    MoveHead(rest, rest->chars.Count(), line);
    delete rest;
    if (WrapMode() == WRAP_CHAR) {
        for (int i = lineIndex; i >= firstEdited; --i) {
            const int first = Reflow(i);
            i = first;
        }
    }
    PositionOf(caret, &m_nCaretLine, &m_nCaretColumn);
}

void IxMultiLineText::DeleteRange(int line1, int col1, int line2, int col2)
{
    if (m_lines.Count() == 0)
        return;
    line1 = std::clamp(line1, 0, m_lines.Count() - 1);
    line2 = std::clamp(line2, line1, m_lines.Count() - 1);
    col1 = std::clamp(col1, 0, m_lines[line1]->chars.Count());
    col2 = std::clamp(col2, 0, m_lines[line2]->chars.Count());
    const int caret = IndexOf(line1, col1);
    Line* first = m_lines[line1];
    if (line1 == line2) {
        RemoveChars(first, col1, col2 - col1);
    } else {
        RemoveChars(first, col1, first->chars.Count() - col1);
        Line* last = m_lines[line2];
        RemoveChars(last, 0, col2);
        MoveTail(last, 0, first, first->chars.Count());
        for (int i = line2; i > line1; --i) {
            delete m_lines[i];
            m_lines.RemoveAt(i);
        }
    }
    // An emptied continuation line goes (the paragraph's text moved on).
    if (first->chars.Count() == 0 && !first->bParagraph && m_lines.Count() > 1) {
        delete first;
        m_lines.RemoveAt(line1);
        line1 = std::max(line1 - 1, 0);
    }
    Reflow(std::min(line1, m_lines.Count() - 1));
    PositionOf(caret, &m_nCaretLine, &m_nCaretColumn);
}

BOOL IxMultiLineText::GetSelection(int* l1, int* c1, int* l2, int* c2) const
{
    if (!HasSelection()) {
        *l1 = *l2 = m_nCaretLine;
        *c1 = *c2 = m_nCaretColumn;
        return FALSE;
    }
    const bool caretFirst
        = m_nCaretLine < m_nAnchorLine || (m_nCaretLine == m_nAnchorLine && m_nCaretColumn < m_nAnchorColumn);
    *l1 = caretFirst ? m_nCaretLine : m_nAnchorLine;
    *c1 = caretFirst ? m_nCaretColumn : m_nAnchorColumn;
    *l2 = caretFirst ? m_nAnchorLine : m_nCaretLine;
    *c2 = caretFirst ? m_nAnchorColumn : m_nCaretColumn;
    return TRUE;
}

BOOL IxMultiLineText::HasSelection() const
{
    return m_nAnchorLine >= 0 && m_nCaretLine >= 0
        && (m_nAnchorLine != m_nCaretLine || m_nAnchorColumn != m_nCaretColumn);
}

void IxMultiLineText::DeleteSelection()
{
    int l1 = 0, c1 = 0, l2 = 0, c2 = 0;
    if (!GetSelection(&l1, &c1, &l2, &c2))
        return;
    DeleteRange(l1, c1, l2, c2);
    m_nAnchorLine = m_nAnchorColumn = -1;
}

void IxMultiLineText::InsertText(int line, int column, LPCWSTR text, int count)
{
    if (!text || count <= 0)
        return;
    const int caret = m_nCaretLine >= 0 ? IndexOf(m_nCaretLine, m_nCaretColumn) : -1;
    int at = 0;
    if (line < 0 || line >= m_lines.Count()) {
        line = std::max(m_lines.Count() - 1, 0);
        column = m_lines.Count() > 0 ? m_lines[line]->chars.Count() : 0;
    }
    at = IndexOf(line, column);
    m_nCaretLine = line;
    m_nCaretColumn = column;
    InsertAtCaret(text, count);
    const int after = IndexOf(m_nCaretLine, m_nCaretColumn);
    if (caret >= 0)
        PositionOf(caret >= at ? caret + (after - at) : caret, &m_nCaretLine, &m_nCaretColumn);
    else
        m_nCaretLine = m_nCaretColumn = -1;
    m_nAnchorLine = m_nAnchorColumn = -1;
    if (HasFlag(IXF_VEND)) {
        EnsureMetrics();
        m_nOffsetY = std::max(m_lines.Count() - VisibleLines(), 0) * m_nLineHeight;
    }
    Redraw();
    UpdateScrollBars(TRUE, TRUE);
}

void IxMultiLineText::Changed()
{
    Redraw();
    PlaceCaret();
    UpdateScrollBars(TRUE, TRUE);
    PostElementNotify(this, m_nId, AEV_CLICK, 0);
}

int IxMultiLineText::TakeTextInput(const IxTextInput* input)
{
    if (!input || HasFlag(IXF_READONLY) || input->kind == IxTextInput::None || input->kind == IxTextInput::Command)
        return 0;
    const int count = input->text ? std::max(input->length, 0) : 0;
    if (m_nCaretLine < 0)
        m_nCaretLine = m_nCaretColumn = 0;
    if (m_lines.Count() > 0) {
        m_nCaretLine = std::clamp(m_nCaretLine, 0, m_lines.Count() - 1);
        m_nCaretColumn = std::clamp(m_nCaretColumn, 0, m_lines[m_nCaretLine]->chars.Count());
    } else {
        m_nCaretLine = m_nCaretColumn = 0;
    }
    switch (input->kind) {
    case IxTextInput::ReplaceComposing: {
        // Writes over the characters from the caret on; those beyond the end
        // of the paragraph go in as new characters.
        const int caret = IndexOf(m_nCaretLine, m_nCaretColumn);
        const int over = m_lines.Count() > 0 ? std::min(count, ParagraphEnd(m_nCaretLine) - caret) : 0;
        if (std::any_of(input->text, input->text + count, IsBreak)) {
            // Line breaks are never stored in a line: the run is replaced
            // as an insertion, which breaks the lines.
            int line = 0, column = 0;
            PositionOf(caret + over, &line, &column);
            DeleteRange(m_nCaretLine, m_nCaretColumn, line, column);
            InsertAtCaret(input->text, count);
            PositionOf(caret, &m_nCaretLine, &m_nCaretColumn);
            break;
        }
        IxTextMeasure measure(m_nFont);
        for (int i = 0; i < over; ++i) {
            int lineIndex = 0, column = 0;
            CharPosition(caret + i, &lineIndex, &column);
            Line* line = m_lines[lineIndex];
            line->nWidth -= line->advances[column];
            line->chars[column] = input->text[i];
            line->advances[column] = measure.Width(input->text[i]) + m_nSpacing;
            line->nWidth += line->advances[column];
        }
        if (count > over) {
            PositionOf(caret + over, &m_nCaretLine, &m_nCaretColumn);
            InsertAtCaret(input->text + over, count - over);
        } else if (m_lines.Count() > 0) {
            Reflow(m_nCaretLine);
        }
        PositionOf(caret, &m_nCaretLine, &m_nCaretColumn);
        break;
    }
    case IxTextInput::RemoveComposing: {
        if (m_lines.Count() > 0) {
            const int caret = IndexOf(m_nCaretLine, m_nCaretColumn);
            int line = 0, column = 0;
            PositionOf(caret + m_nComposition, &line, &column);
            DeleteRange(m_nCaretLine, m_nCaretColumn, line, column);
        }
        m_nComposition = 0;
        break;
    }
    default: {
        DeleteSelection();
        const int caret = IndexOf(m_nCaretLine, m_nCaretColumn);
        if (input->replace > 0 && m_lines.Count() > 0) {
            // At most the rest of the paragraph is replaced.
            int line = 0, column = 0;
            PositionOf(caret + std::min(input->replace, ParagraphEnd(m_nCaretLine) - caret), &line, &column);
            DeleteRange(m_nCaretLine, m_nCaretColumn, line, column);
        }
        InsertAtCaret(input->text, count);
        if (input->kind == IxTextInput::Plain || input->kind == IxTextInput::CommitComposing)
            m_nComposition = 0;
        else {
            PositionOf(caret, &m_nCaretLine, &m_nCaretColumn);
            m_nComposition = count;
        }
        break;
    }
    }
    m_nAnchorLine = m_nAnchorColumn = -1;
    Changed();
    return 1;
}

// ---------------------------------------------------------------------------
// Geometry, caret and selection

int IxMultiLineText::VisibleRight() const
{
    RECT bar{0, 0, Width(), 0};
    if (m_pBarV)
        m_pBarV->GetRect(&bar);
    return (m_pBarV ? bar.left : Width()) - m_nMarginRight;
}

int IxMultiLineText::VisibleBottom() const
{
    RECT bar{0, 0, 0, Height()};
    if (m_pBarH)
        m_pBarH->GetRect(&bar);
    return (m_pBarH ? bar.top : Height()) - m_nMarginBottom;
}

int IxMultiLineText::VisibleLines() const
{
    if (m_nLineHeight <= 0)
        return 1;
    const int height = VisibleBottom() - m_nMarginTop;
    int lines = height / m_nLineHeight;
    if (height % m_nLineHeight >= m_nLineHeight - m_nLineGap)
        ++lines;
    return std::max(lines, 1);
}

int IxMultiLineText::LineX(const Line& line) const
{
    const int area = VisibleRight();
    int x = m_nMarginLeft;
    if (HasFlag(IXF_HEND))
        x = area - line.nWidth;
    else if (HasFlag(IXF_HCENTER))
        x = m_nMarginLeft + (area - m_nMarginLeft - line.nWidth) / 2;
    return x - m_nOffsetX;
}

int IxMultiLineText::FirstLineTop() const
{
    int top = m_nMarginTop - m_nOffsetY;
    const int textHeight = m_lines.Count() * m_nLineHeight - m_nLineGap;
    const int area = VisibleBottom() - m_nMarginTop;
    if (textHeight < area) {
        if (HasFlag(IXF_VEND))
            top = VisibleBottom() - textHeight;
        else if (HasFlag(IXF_VCENTER))
            top = m_nMarginTop + (area - textHeight) / 2;
    }
    return top;
}

RECT IxMultiLineText::CaretRect(int line, int column, int count) const
{
    int x = m_nMarginLeft - m_nOffsetX;
    int width = CaretWidth();
    if (line >= 0 && line < m_lines.Count()) {
        const Line& l = *m_lines[line];
        for (int i = 0; i < column && i < l.advances.Count(); ++i)
            x += l.advances[i];
        if (count > 0) {
            width = 0;
            for (int i = column; i < column + count && i < l.advances.Count(); ++i)
                width += l.advances[i];
        }
    }
    const int y = line * m_nLineHeight - m_nOffsetY + m_nMarginTop;
    return RECT{x, y, x + width, y + m_nLineHeight - m_nLineGap};
}

int IxMultiLineText::LineAtY(int y) const
{
    if (m_lines.Count() == 0 || m_nLineHeight <= 0)
        return 0;
    return std::clamp((y + m_nOffsetY - m_nMarginTop) / m_nLineHeight, 0, m_lines.Count() - 1);
}

int IxMultiLineText::ColumnAt(int line, int textX) const
{
    if (line < 0 || line >= m_lines.Count())
        return 0;
    const Line& l = *m_lines[line];
    int column = 0;
    while (column < l.advances.Count() && textX >= (l.advances[column] + 1) / 2) {
        textX -= l.advances[column];
        ++column;
    }
    return column;
}

void IxMultiLineText::PositionAt(POINT point, int* line, int* column) const
{
    *line = LineAtY(point.y);
    *column = ColumnAt(*line, point.x - m_nMarginLeft + m_nOffsetX);
}

void IxMultiLineText::SetSelection(int startLine, int startColumn, int endLine, int endColumn)
{
    IxKernel* kernel = IxGetKernel();
    if (kernel && kernel->GetFocus() != this)
        IxElement::SetFocus();
    if (m_lines.Count() == 0) {
        m_nCaretLine = m_nCaretColumn = 0;
        m_nAnchorLine = m_nAnchorColumn = -1;
        PlaceCaret();
        return;
    }
    auto clampPosition = [&](int* line, int* column) {
        if (*line < 0 || *line >= m_lines.Count()) {
            *line = m_lines.Count() - 1;
            *column = m_lines[*line]->chars.Count();
        }
        *column = std::clamp(*column, 0, m_lines[*line]->chars.Count());
    };
    clampPosition(&startLine, &startColumn);
    clampPosition(&endLine, &endColumn);
    m_nComposition = 0;
    m_nCaretLine = startLine;
    m_nCaretColumn = startColumn;
    if (startLine == endLine && startColumn == endColumn)
        m_nAnchorLine = m_nAnchorColumn = -1;
    else {
        m_nAnchorLine = endLine;
        m_nAnchorColumn = endColumn;
    }
    Redraw();
    PlaceCaret();
}

void IxMultiLineText::MoveCaret(int line, int column, BOOL extend)
{
    if (extend) {
        if (m_nAnchorLine < 0) {
            m_nAnchorLine = m_nCaretLine;
            m_nAnchorColumn = m_nCaretColumn;
        }
    } else {
        m_nAnchorLine = m_nAnchorColumn = -1;
    }
    m_nCaretLine = line;
    m_nCaretColumn = column;
    m_nComposition = 0;
    Redraw();
    PlaceCaret();
}

void IxMultiLineText::PlaceCaret()
{
    if (m_nCaretLine < 0)
        return;
    EnsureMetrics();
    const RECT rc = CaretRect(m_nCaretLine, m_nCaretColumn, m_nComposition);
    const int oldX = m_nOffsetX, oldY = m_nOffsetY;
    if (rc.left < m_nMarginLeft)
        m_nOffsetX = std::max(m_nOffsetX - (m_nMarginLeft - rc.left), 0);
    else if (rc.right > VisibleRight())
        m_nOffsetX += rc.right - VisibleRight();
    // Vertically by whole lines, as the scroll bar counts them.
    if (m_nLineHeight > 0 && rc.top < m_nMarginTop) {
        m_nOffsetY = m_nCaretLine * m_nLineHeight;
    } else if (m_nLineHeight > 0 && rc.bottom > VisibleBottom()) {
        const int needed = (m_nCaretLine + 1) * m_nLineHeight - m_nLineGap - (VisibleBottom() - m_nMarginTop);
        m_nOffsetY = (needed + m_nLineHeight - 1) / m_nLineHeight * m_nLineHeight;
    }
    if (oldX != m_nOffsetX || oldY != m_nOffsetY) {
        Redraw();
        UpdateScrollBars(oldX != m_nOffsetX, oldY != m_nOffsetY);
    }
    RequestCaret();
}

void IxMultiLineText::RequestCaret()
{
    IxKernel* kernel = IxGetKernel();
    if (!kernel || kernel->GetFocus() != this || !HasFlag(IXF_CARETSHOWN) || (m_dwStyle & IXMLS_NOCARET)
        || m_nCaretLine < 0 || HasSelection())
        return;
    RECT rc = platform::Intersect(CaretRect(m_nCaretLine, m_nCaretColumn, m_nComposition),
                                  RECT{0, 0, VisibleRight(), VisibleBottom()});
    if (platform::IsEmpty(rc)) {
        kernel->RequestCaret(IxCaretRect{0, 0, 0, 0});
        return;
    }
    LocalToScreenRect(&rc);
    kernel->RequestCaret(IxCaretRect{rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top});
}

BOOL IxMultiLineText::SetFocus()
{
    IxKernel* kernel = IxGetKernel();
    if (!kernel)
        return FALSE;
    if (kernel->GetFocus() != this)
        IxElement::SetFocus();
    if (m_nCaretLine < 0) {
        m_nCaretLine = m_nCaretColumn = 0;
        m_nAnchorLine = m_nAnchorColumn = -1;
        PlaceCaret();
    }
    return TRUE;
}

// ---------------------------------------------------------------------------
// Scroll bars

void IxMultiLineText::AttachBar(IxSliderBar** slot, IxSliderBar* bar)
{
    if (*slot == bar)
        return;
    delete *slot;
    *slot = bar;
    if (bar) {
        bar->SetParent(this);
        // Its notices come straight to this view.
        bar->SetFlags(IXF_DIRECTNOTIFY, 0);
        if (HasFlag(IXF_ACTIVE))
            bar->SetActive(TRUE, 0);
    }
}

void IxMultiLineText::UpdateScrollBars(BOOL horizontal, BOOL vertical)
{
    if (m_dwStyle & IXMLS_NOSCROLLBARS)
        return;
    EnsureMetrics();
    if (vertical && m_pBarV) {
        const int range = std::max(m_lines.Count() - VisibleLines(), 0);
        const int first = m_nLineHeight > 0 ? m_nOffsetY / m_nLineHeight : 0;
        m_pBarV->SetProperty(IXP_SLIDERRANGEVALUE, static_cast<LPARAM>((range & 0xFFFF) | (first << 16)));
    }
    if (horizontal && m_pBarH) {
        const int range = std::max(WidestLine() + m_nMarginLeft - VisibleRight(), 0);
        m_pBarH->SetProperty(IXP_SLIDERRANGEVALUE, static_cast<LPARAM>((range & 0xFFFF) | (m_nOffsetX << 16)));
    }
}

int IxMultiLineText::OnChildNotify(int kind, LPARAM data, IxElement* sender, IxElement* origin)
{
    const auto* notice = reinterpret_cast<const IxNoticeRecord*>(data);
    if (kind == IXCN_NOTICE && notice && IxActionKind(notice->dwWord) == AEV_CLICK && sender
        && (sender == m_pBarV || sender == m_pBarH) && !(m_dwStyle & IXMLS_NOSCROLLBARS)) {
        const int position = sender->Query(IXQ_SLIDERVALUE, nullptr);
        if (sender == m_pBarV) {
            EnsureMetrics();
            m_nOffsetY = std::max(position, 0) * m_nLineHeight;
        } else {
            m_nOffsetX = std::max(position, 0);
        }
        Redraw();
        return 1;
    }
    return IxElement::OnChildNotify(kind, data, sender, origin);
}

// ---------------------------------------------------------------------------
// Keys

LRESULT IxMultiLineText::NotifyParent(int code, IxElement* source)
{
    IxKernel* kernel = IxGetKernel();
    if (!source && kernel && kernel->GetFocus() == this) {
        switch (code) {
        case IXNAV_RIGHT:
        case IXNAV_LEFT:
        case IXNAV_UP:
        case IXNAV_DOWN:
        case IXNAV_HOME:
        case IXNAV_END:
        case IXNAV_ENTER:
        case IXNAV_DELETE:
        case IXNAV_BACKSPACE:
            return reinterpret_cast<LRESULT>(this);
        default:
            break;
        }
    }
    return IxElement::NotifyParent(code, source);
}

int IxMultiLineText::OnKey(int code)
{
    const BOOL shift = ShiftDown();
    if (m_lines.Count() == 0) {
        if (code != IXNAV_ENTER)
            return code >= IXNAV_RIGHT && code <= IXNAV_END ? 1 : (code == IXNAV_DELETE || code == IXNAV_BACKSPACE);
    }
    if (m_nCaretLine < 0)
        m_nCaretLine = m_nCaretColumn = 0;
    const int lastLine = m_lines.Count() - 1;
    auto lengthOf = [&](int line) { return line >= 0 && line <= lastLine ? m_lines[line]->chars.Count() : 0; };
    int l1 = 0, c1 = 0, l2 = 0, c2 = 0;
    const BOOL selected = GetSelection(&l1, &c1, &l2, &c2);
    const int line = m_nCaretLine, column = m_nCaretColumn;
    switch (code) {
    case IXNAV_RIGHT:
        if (!shift && selected)
            MoveCaret(l2, c2, FALSE);
        else if (column < lengthOf(line))
            MoveCaret(line, column + 1, shift);
        else if (line < lastLine)
            MoveCaret(line + 1, 0, shift);
        return 1;
    case IXNAV_LEFT:
        if (!shift && selected)
            MoveCaret(l1, c1, FALSE);
        else if (column > 0)
            MoveCaret(line, column - 1, shift);
        else if (line > 0)
            MoveCaret(line - 1, lengthOf(line - 1), shift);
        return 1;
    case IXNAV_UP:
        if (line > 0)
            MoveCaret(line - 1, std::min(column, lengthOf(line - 1)), shift);
        else if (column > 0)
            MoveCaret(0, 0, shift);
        return 1;
    case IXNAV_DOWN:
        if (line < lastLine)
            MoveCaret(line + 1, std::min(column, lengthOf(line + 1)), shift);
        else if (column < lengthOf(line))
            MoveCaret(line, lengthOf(line), shift);
        return 1;
    case IXNAV_HOME:
        MoveCaret(line, 0, shift);
        return 1;
    case IXNAV_END:
        MoveCaret(line, lengthOf(line), shift);
        return 1;
    default:
        break;
    }
    if (code != IXNAV_ENTER && code != IXNAV_DELETE && code != IXNAV_BACKSPACE)
        return 0;
    if (HasFlag(IXF_READONLY))
        return 1;
    m_nComposition = 0;
    if (code == IXNAV_ENTER) {
        DeleteSelection();
        static constexpr WCHAR kLineFeed[] = {u'\n'};
        InsertAtCaret(kLineFeed, 1);
    } else if (selected) {
        DeleteSelection();
    } else if (code == IXNAV_DELETE) {
        if (column < lengthOf(line))
            DeleteRange(line, column, line, column + 1);
        else if (line < lastLine && !m_lines[line + 1]->bParagraph)
            DeleteRange(line + 1, 0, line + 1, 1); // the next character of the paragraph
        else if (line < lastLine)
            DeleteRange(line, column, line + 1, 0);
        else
            return 1;
    } else {
        if (column > 0)
            DeleteRange(line, column - 1, line, column);
        else if (line > 0 && !m_lines[line]->bParagraph)
            DeleteRange(line - 1, lengthOf(line - 1) - 1, line - 1, lengthOf(line - 1));
        else if (line > 0)
            DeleteRange(line - 1, lengthOf(line - 1), line, 0);
        else
            return 1;
    }
    m_nAnchorLine = m_nAnchorColumn = -1;
    Changed();
    return 1;
}

// ---------------------------------------------------------------------------
// Touch and automatic scrolling

IxElement* IxMultiLineText::FindTarget(int inputCode, POINT point)
{
    if (inputCode == IXIN_NOHIT)
        return nullptr;
    for (IxSliderBar* bar : {m_pBarV, m_pBarH}) {
        if (!bar || bar->HasFlag(IXF_HIDDEN))
            continue;
        RECT rc;
        bar->GetRect(&rc);
        if (!platform::RectContains(rc, point))
            continue;
        if (IxElement* target = bar->FindTarget(inputCode, POINT{point.x - rc.left, point.y - rc.top}))
            return target;
    }
    RECT rc;
    if (m_pBarV) {
        m_pBarV->GetRect(&rc);
        if (point.x >= rc.left)
            return nullptr;
    }
    if (m_pBarH) {
        m_pBarH->GetRect(&rc);
        if (point.y >= rc.top)
            return nullptr;
    }
    return platform::RectContains(RECT{0, 0, Width(), Height()}, point) ? this : nullptr;
}

void IxMultiLineText::StopAutoScroll()
{
    KillElementTimer(this, IxTimerId(this));
}

void IxMultiLineText::StartAutoScroll(int direction)
{
    IxKernel* kernel = IxGetKernel();
    if (!kernel)
        return;
    if (direction == m_nDragDirection && kernel->IsTimerSet(this, IxTimerId(this)))
        return;
    m_nDragDirection = direction;
    AutoScrollStep();
    SetElementTimer(this, IxTimerId(this), kernel->GetRepeatPeriod());
}

void IxMultiLineText::AutoScrollStep()
{
    EnsureMetrics();
    const int direction = m_nDragDirection;
    const bool horizontal = direction == DIR_RIGHT || direction == DIR_LEFT;
    int amount = 0;
    switch (direction) {
    case DIR_RIGHT:
        amount = std::min(2 * m_nAverageWidth, WidestLine() + m_nMarginLeft - VisibleRight() - m_nOffsetX);
        if (amount > 0)
            m_nOffsetX += amount;
        break;
    case DIR_LEFT:
        amount = std::min(2 * m_nAverageWidth, m_nOffsetX);
        if (amount > 0)
            m_nOffsetX -= amount;
        break;
    case DIR_DOWN:
        amount = std::min(m_nLineHeight,
                          m_nLineHeight * m_lines.Count() - m_nLineGap + m_nMarginTop - VisibleBottom() - m_nOffsetY);
        if (amount > 0)
            m_nOffsetY += amount;
        break;
    default:
        amount = std::min(m_nLineHeight, m_nOffsetY);
        if (amount > 0)
            m_nOffsetY -= amount;
        break;
    }
    if (amount > 0)
        Redraw();
    POINT pointer{0, 0};
    GetCursorPos(&pointer);
    int line = 0, column = 0;
    switch (direction) {
    case DIR_RIGHT:
        line = LineAtY(pointer.y);
        column = ColumnAt(line, VisibleRight() - m_nMarginLeft + m_nOffsetX);
        break;
    case DIR_LEFT:
        line = LineAtY(pointer.y);
        column = ColumnAt(line, m_nOffsetX);
        break;
    case DIR_DOWN:
        line = LineAtY(VisibleBottom());
        column = ColumnAt(line, pointer.x - m_nMarginLeft + m_nOffsetX);
        break;
    default:
        line = LineAtY(0);
        column = ColumnAt(line, pointer.x - m_nMarginLeft + m_nOffsetX);
        break;
    }
    if (m_lines.Count() > 0) {
        if (m_nAnchorLine < 0) {
            m_nAnchorLine = m_nCaretLine;
            m_nAnchorColumn = m_nCaretColumn;
        }
        m_nCaretLine = line;
        m_nCaretColumn = column;
        Redraw();
        if (amount <= 0) {
            // Brought into view, but never scrolled past the end of the
            // widest line: the selection's end lies on the edge.
            PlaceCaret();
            m_nOffsetX = std::min(m_nOffsetX, std::max(WidestLine() + m_nMarginLeft - VisibleRight(), 0));
        }
    }
    UpdateScrollBars(horizontal, !horizontal);
}

int IxMultiLineText::OnInput(int code, LPARAM data)
{
    const auto* given = reinterpret_cast<const POINT*>(data);
    const POINT point = given ? *given : POINT{0, 0};
    IxKernel* kernel = IxGetKernel();
    const BOOL focused = kernel && kernel->GetFocus() == this;
    switch (code) {
    case IXIN_DOWN: {
        if (HasFlag(IXF_DISABLED | IXF_NOINPUT))
            return 0;
        if (!HasFlag(IXF_FOCUSONCLICK)) {
            EnsureMetrics();
            const bool larger = WidestLine() + m_nMarginLeft > VisibleRight()
                || m_lines.Count() * m_nLineHeight + m_nMarginTop > VisibleBottom();
            return larger ? IXGM_TRACK : IXGM_NONE;
        }
        IxElementWatch self(this);
        m_nComposition = 0;
        SetFocus();
        if (!self.Alive())
            return 0;
        int line = 0, column = 0;
        PositionAt(point, &line, &column);
        MoveCaret(line, column, FALSE);
        return IXGM_TRACK;
    }
    case IXIN_REPEAT: {
        if (!focused || m_lines.Count() == 0)
            return 0;
        const int line = LineAtY(point.y);
        const Line& l = *m_lines[line];
        if (l.chars.Count() == 0)
            return 0;
        int x = point.x - m_nMarginLeft + m_nOffsetX, index = 0;
        while (index < l.chars.Count() - 1 && x >= l.advances[index])
            x -= l.advances[index++];
        if (l.chars[index] == u' ')
            return 0;
        int start = index, end = index;
        while (start > 0 && l.chars[start - 1] != u' ')
            --start;
        while (end < l.chars.Count() && l.chars[end] != u' ')
            ++end;
        SetSelection(line, start, line, end);
        return 0;
    }
    case IXIN_MOVE: {
        if (!focused) {
            // Content larger than the view follows the pointer.
            return 1;
        }
        if (kernel->GetRepeatPeriod() != 0) {
            int direction = DIR_NONE;
            if (m_nZoneX >= 0 && point.x > VisibleRight() - m_nZoneX)
                direction = DIR_RIGHT;
            else if (m_nZoneX >= 0 && point.x < m_nZoneX)
                direction = DIR_LEFT;
            else if (m_nZoneY >= 0 && point.y > VisibleBottom() - m_nZoneY)
                direction = DIR_DOWN;
            else if (m_nZoneY >= 0 && point.y < m_nZoneY)
                direction = DIR_UP;
            if (direction != DIR_NONE) {
                StartAutoScroll(direction);
                return 1;
            }
        }
        StopAutoScroll();
        EnsureMetrics();
        const int line = m_nLineHeight > 0 ? std::max((point.y - m_nMarginTop + m_nOffsetY) / m_nLineHeight, 0) : 0;
        if (line >= m_lines.Count())
            return 1;
        MoveCaret(line, ColumnAt(line, point.x - m_nMarginLeft + m_nOffsetX), TRUE);
        return 1;
    }
    case IXIN_UP:
    case IXIN_TAP:
        StopAutoScroll();
        return 0;
    case IXIN_SCROLLBY:
    case IXIN_FLINGSTEP: {
        if (!given)
            return 0;
        EnsureMetrics();
        const int maxX = std::max(WidestLine() + m_nMarginLeft - VisibleRight(), 0);
        const int maxY = std::max(m_lines.Count() * m_nLineHeight - m_nLineGap + m_nMarginTop - VisibleBottom(), 0);
        m_nOffsetX = std::clamp(m_nOffsetX - point.x, 0, maxX);
        m_nOffsetY = std::clamp(m_nOffsetY - point.y, 0, maxY);
        Redraw();
        UpdateScrollBars(TRUE, TRUE);
        return IXGM_SCROLL;
    }
    default:
        return IxElement::OnInput(code, data);
    }
}

// ---------------------------------------------------------------------------
// Events, state and properties

LRESULT IxMultiLineText::OnEvent(int code, LPARAM param)
{
    IxKernel* kernel = IxGetKernel();
    switch (code) {
    case IXEV_ATTACHED:
    case IXEV_SHOWN:
        if (kernel)
            kernel->AddKeyReceiver(this);
        break;
    case IXEV_HIDDEN:
    case IXEV_DETACHED:
        if (kernel) {
            kernel->RemoveKeyReceiver(this);
            if (code == IXEV_HIDDEN)
                kernel->RequestCaret(IxCaretRect{0, 0, 0, 0});
        }
        if (code == IXEV_DETACHED)
            StopAutoScroll();
        break;
    case IXEV_FOCUSOUT:
        if (HasSelection())
            Redraw();
        m_nAnchorLine = m_nAnchorColumn = -1;
        if (m_nComposition > 0 && m_nCaretLine >= 0) {
            PositionOf(IndexOf(m_nCaretLine, m_nCaretColumn) + m_nComposition, &m_nCaretLine, &m_nCaretColumn);
            m_nComposition = 0;
        }
        break;
    case IXEV_UNMARKED:
        if (HasSelection())
            Redraw();
        m_nAnchorLine = m_nAnchorColumn = -1;
        break;
    case IXEV_TIMER:
        if (static_cast<UINT_PTR>(param) == IxTimerId(this))
            AutoScrollStep();
        break;
    default:
        break;
    }
    return IxElement::OnEvent(code, param);
}

void IxMultiLineText::SetState(int state, LPARAM param)
{
    IxElementWatch self(this);
    IxElement::SetState(state, param);
    for (IxSliderBar* bar : {m_pBarV, m_pBarH}) {
        if (self.Alive() && bar)
            bar->SetState(state, param);
    }
}

IxElement* IxMultiLineText::FindElement(int kind, int id, IxArray<IxElement*>* out, IxElement* from, IxElement* stop)
{
    IxElement* found = IxElement::FindElement(kind, id, out, from, stop);
    if (found && !out)
        return found;
    for (IxSliderBar* bar : {m_pBarV, m_pBarH}) {
        if (!bar)
            continue;
        if (IxElement* match = bar->FindElement(kind, id, out, bar, bar)) {
            if (!out)
                return match;
            found = found ? found : match;
        }
    }
    return found;
}

void IxMultiLineText::SetHighlight(int first, int last, COLORREF colour)
{
    m_nHighlightFirst = first;
    m_nHighlightLast = last;
    m_crHighlight = colour;
    Redraw();
}

int IxMultiLineText::Layout(LPARAM arg)
{
    EnsureMetrics();
    // The bars are this view's own: no view above lays them out.
    for (IxSliderBar* bar : {m_pBarV, m_pBarH}) {
        if (bar && bar->HasFlag(IXF_PENDING))
            bar->ValidateNow(arg);
    }
    return 1;
}

int IxMultiLineText::OnCreate(const IxElementParams* params)
{
    IxElementText text;
    text.SetFromParams(params);
    Clear();
    Break(0, text.Text(), text.Length());
    return 1;
}

int IxMultiLineText::SetProperty(int id, LPARAM value)
{
    switch (id) {
    case IXP_FONT:
        m_nFont = static_cast<int>(value);
        m_nLineHeight = -1;
        Rewrap(); // every advance is measured again
        Redraw();
        UpdateScrollBars(TRUE, TRUE);
        return 1;
    case IXP_SCROLLBARH:
    case IXP_SCROLLBARV: {
        auto* bar = reinterpret_cast<IxSliderBar*>(value);
        AttachBar(id == IXP_SCROLLBARV ? &m_pBarV : &m_pBarH, bar);
        if (id == IXP_SCROLLBARV && WrapMode() != WRAP_NONE)
            Rewrap();
        Redraw();
        UpdateScrollBars(TRUE, TRUE);
        return 1;
    }
    case IXP_TEXTINSERT: {
        const auto* record = reinterpret_cast<const IxTextInsertRecord*>(value);
        if (!record)
            return 0;
        InsertText(record->nLine, record->nPosition, record->text.Text(), record->text.Length());
        return 1;
    }
    case IXP_SELECTION: {
        const int start = static_cast<SHORT>(value & 0xFFFF);
        const int end = static_cast<SHORT>((value >> 16) & 0xFFFF);
        if (start < 0 && end < 0) {
            m_nCaretLine = m_nCaretColumn = m_nAnchorLine = m_nAnchorColumn = -1;
            m_nComposition = 0;
            Redraw();
            return 1;
        }
        int l1 = 0, c1 = 0, l2 = 0, c2 = 0;
        PositionOf(std::max(start, 0), &l1, &c1);
        PositionOf(end < 0 ? 0x7FFFFFFF : end, &l2, &c2);
        SetSelection(l1, c1, l2, c2);
        return 1;
    }
    case IXP_SELECTIONRECORD: {
        const auto* range = reinterpret_cast<const IxTextRange*>(value);
        if (!range)
            return 0;
        SetSelection(range->nStartLine, range->nStart, range->nEndLine, range->nEnd);
        return 1;
    }
    default:
        break;
    }
    LPCWSTR text = nullptr;
    int count = 0;
    if (!IxElementText::PropertyChars(id, value, &text, &count))
        return 0;
    SetText(text, count);
    return 1;
}

int IxMultiLineText::Query(int code, LPARAM* out)
{
    switch (code) {
    case IXQ_SHARETEXT:
    case IXQ_APPENDTEXT: {
        IxArray<WCHAR> text(64);
        GetText(&text);
        if (code == IXQ_APPENDTEXT) {
            if (auto* chars = reinterpret_cast<IxArray<WCHAR>*>(out))
                chars->Insert(chars->Count(), text.Data(), text.Count());
        } else if (auto* string = reinterpret_cast<IxString*>(out)) {
            if (text.Count() == 0)
                string->Release();
            else
                string->AssignChars(text.Data(), text.Count());
        }
        return 1;
    }
    case IXQ_SELECTEDTEXT: {
        auto* string = reinterpret_cast<IxString*>(out);
        int l1 = 0, c1 = 0, l2 = 0, c2 = 0;
        if (!string)
            return 0;
        if (!GetSelection(&l1, &c1, &l2, &c2)) {
            string->Release();
            return 0;
        }
        IxArray<WCHAR> text(64);
        GetText(&text);
        const int from = IndexOf(l1, c1), to = IndexOf(l2, c2);
        string->AssignChars(text.Data() + from, to - from);
        return 1;
    }
    case IXQ_SELECTION:
    case IXQ_SELECTION2: {
        auto* range = reinterpret_cast<IxTextRange*>(out);
        int l1 = 0, c1 = 0, l2 = 0, c2 = 0;
        const BOOL selected = GetSelection(&l1, &c1, &l2, &c2);
        if (range)
            *range = IxTextRange{l1, c1, l2, c2};
        return selected ? 1 : 0;
    }
    default:
        return IxElement::Query(code, out);
    }
}

// ---------------------------------------------------------------------------
// Drawing

void IxMultiLineText::DrawLines(HDC dc, int first, int last, int top, BOOL outline)
{
    const COLORREF normal = GetTextColor(dc);
    for (int i = first; i <= last; ++i) {
        const Line& line = *m_lines[i];
        const int x = LineX(line);
        const int baseline = top + i * m_nLineHeight + m_nAscent;
        if (outline) {
            IxDrawOutlined(dc, m_nOutlineWidth, m_crOutline, [&](int dx, int dy) {
                if (dx != 0 || dy != 0)
                    IxDrawRun(dc, x + dx, baseline + dy, line.chars.Data(), line.advances.Data(), line.chars.Count());
            });
            continue;
        }
        const bool highlighted = i >= m_nHighlightFirst && i <= m_nHighlightLast && m_nHighlightFirst >= 0;
        if (highlighted)
            SetTextColor(dc, m_crHighlight);
        IxDrawRun(dc, x, baseline, line.chars.Data(), line.advances.Data(), line.chars.Count());
        if (highlighted)
            SetTextColor(dc, normal);
    }
}

void IxMultiLineText::Draw(IxPaintRecord* record)
{
    if (!record || !record->dc)
        return;
    EnsureMetrics();
    IxDC* dc = record->dc;
    HDC hdc = dc->GetDC();
    const RECT area{m_nMarginLeft, m_nMarginTop, VisibleRight(), VisibleBottom()};
    const int top = FirstLineTop();
    int first = 0, last = m_lines.Count() - 1;
    if (m_nLineHeight > 0) {
        first = std::max((std::max(record->clip.top, area.top) - top) / m_nLineHeight, 0);
        last = std::min((std::min(record->clip.bottom, area.bottom) - top) / m_nLineHeight, m_lines.Count() - 1);
    }
    int widest = 0;
    for (int i = first; i <= last; ++i)
        widest = std::max(widest, m_lines[i]->nWidth);
    const bool clip = m_nOffsetX != 0 || m_nOffsetY != 0 || widest > area.right - area.left
        || m_lines.Count() * m_nLineHeight - m_nLineGap > area.bottom - area.top;
    if (clip)
        dc->PushClip(platform::Intersect(area, record->clip));
    IxSavedFont saved{nullptr, CLR_INVALID};
    if (m_nFont >= 0)
        saved = dc->SelectFont(m_nFont);
    if (first <= last) {
        if (m_nOutlineWidth > 0)
            DrawLines(hdc, first, last, top, TRUE);
        DrawLines(hdc, first, last, top, FALSE);
    }
    dc->SelectFontAndColor(saved);
    // The selection: inverted line by line.
    int l1 = 0, c1 = 0, l2 = 0, c2 = 0;
    if (GetSelection(&l1, &c1, &l2, &c2)) {
        for (int i = std::max(l1, first); i <= std::min(l2, last); ++i) {
            const Line& line = *m_lines[i];
            const int from = i == l1 ? c1 : 0;
            const int to = i == l2 ? c2 : line.chars.Count();
            RECT rc = CaretRect(i, from, std::max(to - from, 0));
            if (to == from)
                rc.right = rc.left;
            const int shift = LineX(line) - (m_nMarginLeft - m_nOffsetX);
            rc.left += shift;
            rc.right += shift;
            rc.top = top + i * m_nLineHeight;
            rc.bottom = rc.top + m_nLineHeight - m_nLineGap;
            rc = platform::Intersect(rc, platform::Intersect(area, record->clip));
            if (!platform::IsEmpty(rc))
                PatBlt(hdc, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, DSTINVERT);
        }
    } else if (HasFlag(IXF_CARETSHOWN)) {
        RequestCaret();
    }
    if (clip)
        dc->PopClip();
    for (IxSliderBar* bar : {m_pBarV, m_pBarH}) {
        if (!bar || bar->HasFlag(IXF_HIDDEN))
            continue;
        RECT rc;
        bar->GetRect(&rc);
        if (RectsIntersect(rc, record->clip))
            bar->Paint(record);
    }
}
