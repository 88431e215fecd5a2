// One-line labels for titles that may be longer than their box (song, file
// and station names, the on-screen display's title).
//
// - IxMarqueeText: a text that fits is drawn aligned; one that does not
//   either scrolls sideways in a loop (start delay, step period, scroll
//   step, gap before the next copy) or, with the element's mark (0x100, the
//   ellipsis flag), is cut after the last whole character that fits and
//   followed by "...". Each character is measured once per text or font
//   change; drawing uses the stored advances. A press reports a click.
// - IxOutlineMarqueeText: the same text with a one-pixel outline in a
//   second colour.
#pragma once

#include "Lib_cpp/controls/Element.h"
#include "Lib_cpp/core/Containers.h"
#include "platform/base/Types.h"

class IxMarqueeText : public IxElement {
public:
    // gap -1: no wrap-around copy. stepPeriodMs <= 0: never scrolls.
    IxMarqueeText(int startDelayMs, int stepPeriodMs, int gap, int scrollStep, int spacing);

    LRESULT OnEvent(int code, LPARAM param) override;
    IxElement* FindTarget(int inputCode, POINT point) override;
    int OnInput(int code, LPARAM data) override;
    int Layout(LPARAM arg) override;
    void Draw(IxPaintRecord* record) override;
    // IXP_FONT and the text properties.
    int SetProperty(int id, LPARAM value) override;
    // Creation contents: the text.
    int OnCreate(const IxElementParams* params) override;

    // Copies the text, measures it and starts over (offset -1). 0 when it
    // equals the current one.
    BOOL SetText(LPCWSTR text, int count);

    int GetFont() const { return m_nFont; }
    int GetTextWidth() const { return m_nTextWidth; }
    // How far the text has moved left; -1 before the first step.
    int GetOffset() const { return m_nOffset; }
    int GetBaseline() const { return m_nBaseline; }
    BOOL IsScrolling() const;
    // Number of characters drawn before "..." (the whole text when it fits
    // or the label scrolls).
    int EllipsisCount() const;

protected:
    // Draws the text at the origin (ellipsis, aligned or scrolled).
    void DrawText(HDC dc);
    void DrawWithFont(IxPaintRecord* record, int extra);

private:
    void Measure();
    BOOL CanScroll() const;
    void StartScroll();
    void StopTimers();
    void Step();
    // Leading characters whose cumulative advance is at most limit; with
    // sum, that advance.
    int FitCount(int limit, int* sum) const;
    int EllipsisWidth() const;

    int m_nStartDelay;
    int m_nStepPeriod;
    int m_nSpacing;
    int m_nGap;
    int m_nScrollStep;
    int m_nFont = -1;
    IxArray<WCHAR> m_chars{8};
    IxArray<int> m_advances{8};
    int m_nTextWidth = 0;
    int m_nOffset = -1;
    int m_nBaseline = -1; // may be negative in a label lower than the font
    BOOL m_bMeasured = FALSE;
};

class IxOutlineMarqueeText : public IxMarqueeText {
public:
    IxOutlineMarqueeText(COLORREF outline, int startDelayMs, int stepPeriodMs, int gap, int scrollStep, int spacing);

    void Draw(IxPaintRecord* record) override;

    COLORREF GetOutlineColor() const { return m_crOutline; }

private:
    int m_nOutlineWidth = 1;
    COLORREF m_crOutline;
};
