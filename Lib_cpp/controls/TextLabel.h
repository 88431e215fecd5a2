// Text labels: one line of text in a font of the shared font table, aligned
// in the element by its alignment flags.
//
// - IxTextLabel: the pressable label.
// - IxStaticText: without press tracking.
// - IxStateTextLabel: its font (and so its colour) follows the element's
//   state, from six per-state fonts.
#pragma once

#include "Lib_cpp/controls/Element.h"
#include "Lib_cpp/controls/ElementText.h"
#include "platform/base/Types.h"

class IxTextLabel : public IxControl {
public:
    int Layout(LPARAM arg) override;
    void Draw(IxPaintRecord* record) override;
    int Query(int code, LPARAM* out) override;
    // IXP_FONT and the text properties.
    int SetProperty(int id, LPARAM value) override;
    // Creation contents: the text (shared, attached or copied).
    int OnCreate(const IxElementParams* params) override;

    int GetFont() const { return m_nFont; }
    const IxString& GetText() const { return m_text.Get(); }
    // The text's box inside the element, as laid out.
    const RECT& GetTextRect() const { return m_rcHit; }
    int GetBaseline() const { return m_nBaseline; }

protected:
    // Changes the font in use. A font that differs only in colour repaints
    // the text box alone (with repaint); another lays the label out again.
    void ChangeFont(int font, BOOL repaint);

    int m_nFont = -1;
    IxElementText m_text;
    int m_nBaseline = 0;
};

class IxStaticText : public IxTextLabel {
public:
    IxElement* FindTarget(int inputCode, POINT point) override { return IxElement::FindTarget(inputCode, point); }
    int OnInput(int code, LPARAM data) override { return IxElement::OnInput(code, data); }
};

class IxStateTextLabel : public IxTextLabel {
public:
    // State events: the font of the new state.
    LRESULT OnEvent(int code, LPARAM param) override;
    int Layout(LPARAM arg) override;
    // IXP_FONT (normal, also the font in use) and IXP_FONTDISABLED ...
    // IXP_FONTSELECTEDPRESSED only store their font.
    int SetProperty(int id, LPARAM value) override;

private:
    int StateFont() const;

    // By property: normal, disabled, current, pressed, selected, selected
    // and pressed (IXP_FONT ... IXP_FONTSELECTEDPRESSED); -1 not given.
    int m_fonts[6]{-1, -1, -1, -1, -1, -1};
};
