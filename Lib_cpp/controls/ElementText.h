// The one-line text of a label or a button, with the operations both share:
// the text properties, the creation contents, the text queries, and the
// measuring of one line in a font of the shared font table.
#pragma once

#include "Lib_cpp/controls/Element.h"
#include "Lib_cpp/core/Containers.h"
#include "Lib_cpp/core/String.h"
#include "platform/base/Types.h"

// One line of text as layout measures it: the extent of the text (an empty
// text: width 0, height ascent + descent) and the font's ascent.
struct IxTextMetrics {
    int nWidth;
    int nHeight;
    int nAscent;
};

class IxElementText {
public:
    const IxString& Get() const { return m_text; }
    LPCWSTR Text() const { return m_text.Text(); }
    int Length() const { return m_text.Length(); }
    // No text, or an empty one.
    BOOL IsEmpty() const { return m_text.IsEmpty(); }
    // Present but empty counts as a text for layout (its box has a height).
    BOOL IsPresent() const { return m_text.Data() != nullptr; }

    // The text properties: IXP_TEXTNOW, IXP_TEXTLATER, IXP_TEXTRECORDNOW and
    // IXP_TEXTRECORDLATER carry an IxString* (a text record starts with one),
    // IXP_TEXTCHARSNOW and IXP_TEXTCHARSLATER an IxArray<WCHAR>*; a null or
    // empty value clears the text. 1 when the text changed, 0 when it was
    // equal (or the id is not a text property).
    BOOL SetFromProperty(int id, LPARAM value);
    static BOOL IsTextProperty(int id);
    // The characters a text property carries, without copying them (count
    // 0 for a null or empty value). FALSE when id is not a text property.
    static BOOL PropertyChars(int id, LPARAM value, LPCWSTR* text, int* count);
    // The property repaints at once (not only marks the element).
    static BOOL IsImmediate(int id) { return id == IXP_TEXTNOW || id == IXP_TEXTCHARSNOW || id == IXP_TEXTRECORDNOW; }
    // Creation contents IXCONTENT_SHARESTRING, IXCONTENT_STRINGDATA and
    // IXCONTENT_TEXT (copied; when memory runs out the text stays empty and
    // the last error is IXERR_NOMEMORY).
    void SetFromParams(const IxElementParams* params);
    // Queries IXQ_SHARETEXT (out: IxString*) and IXQ_APPENDTEXT (out:
    // IxArray<WCHAR>*). FALSE for other codes.
    BOOL Query(int code, LPARAM* out) const;

    // Measures the text in the font (-1: the drawing context's own) on a
    // drawing context of the main window. All 0 when there is none.
    IxTextMetrics Measure(int font) const;
    // 1 when both fonts are rows of the font table that differ at most in
    // colour: a change between them needs no new layout.
    static BOOL SameFaceAndSize(int a, int b);

private:
    IxString m_text;
};
