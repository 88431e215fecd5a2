// The one-line text field of the input screens (phonebook search, dialling,
// names): a text with a caret, a selection, a composition run (the soft
// keyboard's syllable being composed), a character filter and a length
// limit, drawn in one font (optionally outlined) and scrolled sideways so
// that the caret stays visible.
//
// Characters arrive as text records from the soft keyboard (TakeTextInput);
// cursor and delete keys as navigation codes while the field holds the
// kernel's focus; a touch places the caret, a double tap selects a word and
// a drag selects, scrolling by itself at the edges. Every change of the
// text is reported as notice 4096 with the new length, negated once the
// length has reached the limit.
#pragma once

#include "Lib_cpp/controls/Element.h"
#include "Lib_cpp/core/Containers.h"
#include "Lib_cpp/core/String.h"
#include "platform/base/Types.h"

// A range of text positions, as the text fields fill it (queries
// IXQ_SELECTION and IXQ_SELECTION2) and take it (IXP_SELECTIONRECORD). The
// one-line field uses -1 for both lines.
struct IxTextRange {
    int nStartLine;
    int nStart;
    int nEndLine;
    int nEnd;
};

// Record of IXP_TEXTINSERT: the text goes in at (line, position); the
// one-line field reads only the position.
struct IxTextInsertRecord {
    int nLine;
    int nPosition;
    IxString text;
};

class IxTextEdit : public IxElement {
public:
    // Character filters.
    enum Filter : int {
        FILTER_ANY = 0,
        FILTER_DIGITS = 1, // decimal digits only; any other value refuses everything
    };
    static constexpr int kNoLimit = 0x7FFFFFFF;

    // edgeZone: width in px of the bands at the left and right edges where a
    // drag scrolls by itself; -1 none.
    explicit IxTextEdit(int edgeZone);

    LRESULT OnEvent(int code, LPARAM param) override;
    BOOL SetFocus() override;
    LRESULT NotifyParent(int code, IxElement* source) override;
    // The editing keys: IXNAV_RIGHT, LEFT, HOME, END, DELETE, BACKSPACE; the
    // shift key extends the selection.
    int OnKey(int code) override;
    int TakeTextInput(const IxTextInput* input) override;
    IxElement* FindTarget(int inputCode, POINT point) override;
    int OnInput(int code, LPARAM data) override;
    int Layout(LPARAM arg) override;
    void Draw(IxPaintRecord* record) override;
    int Query(int code, LPARAM* out) override;
    int SetProperty(int id, LPARAM value) override;
    int OnCreate(const IxElementParams* params) override;

    // Replaces the text; 0 when it is equal. A focused field puts its caret
    // at 0 with nothing selected.
    BOOL SetText(LPCWSTR text, int count);
    // Takes the focus when needed; see the class comment for the clamping.
    void SetSelection(int start, int end);
    void SetLimit(int limit) { m_nLimit = limit; }
    void SetFilter(int filter) { m_nFilter = filter; }
    // Added to every character's width (measured again).
    void SetSpacing(int spacing);
    void SetOutline(int width, COLORREF colour)
    {
        m_nOutlineWidth = width;
        m_crOutline = colour;
    }

    int Length() const { return m_chars.Count(); }
    LPCWSTR Chars() const { return m_chars.Data(); }
    int GetCaret() const { return m_nCaret; }
    int GetAnchor() const { return m_nAnchor; }
    int GetCompositionLength() const { return m_nComposition; }
    int GetScrollOffset() const { return m_nScroll; }
    const RECT& GetTextBox() const { return m_rcText; }
    // Ordered selection; FALSE (both the caret) when nothing is selected.
    BOOL GetSelection(int* start, int* end) const;
    // The character boundary nearest to x (element coordinates).
    int IndexAt(int x) const;
    // x of the boundary before character i, in element coordinates.
    int XOf(int index) const;

private:
    void EnsureMetrics();
    void UpdateBox();
    int TextWidth() const;
    int SumAdvances(int from, int to) const;
    // Replaces count characters at at by the new ones (measured). FALSE
    // when memory runs out (nothing changed).
    BOOL Splice(int at, int count, LPCWSTR text, int length);
    BOOL Accepts(LPCWSTR text, int length) const;
    BOOL HasSelection() const { return m_nAnchor >= 0 && m_nAnchor != m_nCaret; }
    void DeleteSelection();
    // Moves the caret (extend: keeps or starts the selection).
    void MoveCaret(int index, BOOL extend);
    // Scrolls the caret (or the composition run) into view and hands the
    // caret to the kernel.
    void PlaceCaret();
    void RequestCaret();
    void CorrectScrollAfterDelete();
    void NotifyLength();
    void StopAutoScroll();
    void AutoScrollStep();
    RECT RangeRect(int from, int to) const;
    BOOL IsFocused() const;

    RECT m_rcText{0, 0, 0, 0};
    int m_nFont = -1;
    IxArray<WCHAR> m_chars{8};
    IxArray<int> m_advances{8};
    int m_nLimit = kNoLimit;
    int m_nFilter = FILTER_ANY;
    int m_nSpacing = 0;
    int m_nOutlineWidth = 0;
    COLORREF m_crOutline = 0;
    int m_nAscent = -1;
    int m_nLineHeight = -1;
    int m_nScroll = 0;
    int m_nCaret = -1;
    int m_nAnchor = -1;
    int m_nComposition = 0;
    int m_nEdgeZone;
    int m_nScrollDirection = 0; // 1 right, 0 left; the automatic-scroll timer's id
};
