// The multi-line text view (and the base of the movie player's subtitle
// view): a text held as a table of display lines, broken at line feeds and,
// by choice, wrapped at word or character boundaries to the width left of
// its vertical scroll bar. It scrolls both ways, drives and follows two
// scroll bars (IxSliderBar children it owns), and edits like the one-line
// field, positions being (line, column).
//
// Wrapping: no wrap (lines end only at CR LF, CR or LF), word wrap (style
// IXMLS_WORDWRAP: a line that would overflow ends at its last blank) or
// character wrap (element flag IXF_CHARWRAP: at the overflowing character).
// In character-wrap mode every edit flows its paragraph again.
#pragma once

#include "Lib_cpp/controls/Element.h"
#include "Lib_cpp/core/Containers.h"
#include "platform/base/Types.h"

class IxSliderBar;

// Style bits of the multi-line view.
enum : DWORD {
    IXMLS_WORDWRAP = 0x1,
    IXMLS_NOCARET = 0x10,      // the caret is not handed to the kernel
    IXMLS_NOSCROLLBARS = 0x20, // the view does not drive its scroll bars
};

class IxMultiLineText : public IxElement {
public:
    // One display line: its characters with their advances (width +
    // spacing), its width, and whether it starts a paragraph (after a line
    // break or at the start of the text) or continues a wrapped one.
    struct Line {
        IxArray<WCHAR> chars{10};
        IxArray<int> advances{10};
        int nWidth = 0;
        BOOL bParagraph = TRUE;
    };
    // Directions of the automatic scrolling while a selection is dragged.
    enum Direction : int { DIR_NONE = 0, DIR_LEFT = 1, DIR_RIGHT = 2, DIR_UP = 3, DIR_DOWN = 4 };

    IxMultiLineText(int lineGap, int spacing, int horizontalZone, int verticalZone, int left, int top, int right,
                    int bottom, int outlineWidth, COLORREF outlineColour);
    ~IxMultiLineText() override;

    LRESULT OnEvent(int code, LPARAM param) override;
    BOOL SetFocus() override;
    LRESULT NotifyParent(int code, IxElement* source) override;
    int OnKey(int code) override;
    int TakeTextInput(const IxTextInput* input) override;
    IxElement* FindTarget(int inputCode, POINT point) override;
    int OnInput(int code, LPARAM data) override;
    int Layout(LPARAM arg) override;
    void Draw(IxPaintRecord* record) override;
    int Query(int code, LPARAM* out) override;
    int OnChildNotify(int kind, LPARAM data, IxElement* sender, IxElement* origin) override;
    void SetState(int state, LPARAM param) override;
    IxElement* FindElement(int kind, int id, IxArray<IxElement*>* out, IxElement* from, IxElement* stop) override;
    int SetProperty(int id, LPARAM value) override;
    int OnCreate(const IxElementParams* params) override;

    void SetStyle(DWORD style) { m_dwStyle = style; }
    DWORD GetStyle() const { return m_dwStyle; }
    // Lines first..last (inclusive) are drawn in the colour; -1, -1 none.
    void SetHighlight(int first, int last, COLORREF colour);
    // Replaces the text: caret and selection go; a focused view with the
    // caret shown gets its caret at (0, 0).
    void SetText(LPCWSTR text, int count);
    // Inserts at (line, column); a negative line: at the end.
    void InsertText(int line, int column, LPCWSTR text, int count);
    // Selection from (line, column) to (line, column); equal ends only
    // place the caret.
    void SetSelection(int startLine, int startColumn, int endLine, int endColumn);

    int LineCount() const { return m_lines.Count(); }
    const Line& GetLine(int i) const { return *m_lines[i]; }
    int GetLineHeight() const { return m_nLineHeight; }
    int VisibleLines() const;
    int GetCaretLine() const { return m_nCaretLine; }
    int GetCaretColumn() const { return m_nCaretColumn; }
    int GetAnchorLine() const { return m_nAnchorLine; }
    int GetAnchorColumn() const { return m_nAnchorColumn; }
    int GetCompositionLength() const { return m_nComposition; }
    int GetHorizontalOffset() const { return m_nOffsetX; }
    int GetVerticalOffset() const { return m_nOffsetY; }
    IxSliderBar* GetVerticalBar() const { return m_pBarV; }
    IxSliderBar* GetHorizontalBar() const { return m_pBarH; }
    // The available width that lines wrap to.
    int WrapWidth() const;
    int WidestLine() const;
    // The whole text, lines joined by line feeds before every line that
    // starts a paragraph (except the first).
    void GetText(IxArray<WCHAR>* out) const;
    // (line, column) nearest to a point in view coordinates.
    void PositionAt(POINT point, int* line, int* column) const;

private:
    enum Wrap : int { WRAP_NONE, WRAP_WORD, WRAP_CHAR };
    Wrap WrapMode() const;
    void EnsureMetrics();
    void Clear();
    // Breaks the text into new lines inserted at index; returns their count.
    int Break(int index, LPCWSTR text, int count);
    // Flows the paragraph holding line again to the wrap width (character
    // wrap only); returns the first line of the paragraph.
    int Reflow(int line);
    void Rewrap();
    Line* NewLine(BOOL paragraph);
    // Moves the characters [from, end) of a line to the start of another.
    static BOOL MoveTail(Line* source, int from, Line* target, int at);
    // Moves the first count characters of a line to the end of another.
    static BOOL MoveHead(Line* source, int count, Line* target);
    static void RemoveChars(Line* line, int from, int count);
    BOOL InsertChars(Line* line, int at, LPCWSTR text, int count);
    // Text index of a position (a line break counts one) and back.
    int IndexOf(int line, int column) const;
    void PositionOf(int index, int* line, int* column) const;
    // The position of the character at a text index (not a boundary: the
    // end of a wrapped line is the start of the next).
    void CharPosition(int index, int* line, int* column) const;
    // Text index of the end of the paragraph that holds the line.
    int ParagraphEnd(int line) const;
    // Inserts at the caret (line breaks included); the caret ends after it.
    void InsertAtCaret(LPCWSTR text, int count);
    // Deletes between two ordered positions.
    void DeleteRange(int line1, int col1, int line2, int col2);
    BOOL HasSelection() const;
    BOOL GetSelection(int* l1, int* c1, int* l2, int* c2) const;
    void DeleteSelection();
    void MoveCaret(int line, int column, BOOL extend);
    void PlaceCaret();
    void RequestCaret();
    RECT CaretRect(int line, int column, int count) const;
    int LineX(const Line& line) const;
    int FirstLineTop() const;
    int VisibleRight() const;
    int VisibleBottom() const;
    int ColumnAt(int line, int textX) const;
    int LineAtY(int y) const;
    void UpdateScrollBars(BOOL horizontal, BOOL vertical);
    void AttachBar(IxSliderBar** slot, IxSliderBar* bar);
    void StartAutoScroll(int direction);
    void StopAutoScroll();
    void AutoScrollStep();
    void Changed();
    void DrawLines(HDC dc, int first, int last, int top, BOOL outline);

    DWORD m_dwStyle = 0;
    int m_nFont = -1;
    int m_nLineGap;
    int m_nSpacing;
    int m_nMarginLeft, m_nMarginTop, m_nMarginRight, m_nMarginBottom;
    int m_nOutlineWidth;
    COLORREF m_crOutline;
    int m_nLineHeight = -1;
    int m_nAscent = 0;
    int m_nCaretLine = -1, m_nCaretColumn = -1;
    int m_nAnchorLine = -1, m_nAnchorColumn = -1;
    int m_nComposition = 0;
    int m_nHighlightFirst = -1, m_nHighlightLast = -1;
    COLORREF m_crHighlight = 0;
    int m_nOffsetX = 0, m_nOffsetY = 0;
    IxSliderBar* m_pBarV = nullptr;
    IxSliderBar* m_pBarH = nullptr;
    IxArray<Line*> m_lines{8};
    int m_nZoneX, m_nZoneY;
    int m_nDragDirection = DIR_NONE;
    int m_nAverageWidth = 0;
};
