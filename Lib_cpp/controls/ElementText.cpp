#include "Lib_cpp/controls/ElementText.h"

#include "Lib_cpp/controls/LayoutDC.h"
#include "Lib_cpp/core/Diag.h"
#include "platform/gfx/Gdi.h"

#include <string>

BOOL IxElementText::IsTextProperty(int id)
{
    switch (id) {
    case IXP_TEXTNOW:
    case IXP_TEXTLATER:
    case IXP_TEXTCHARSNOW:
    case IXP_TEXTCHARSLATER:
    case IXP_TEXTRECORDNOW:
    case IXP_TEXTRECORDLATER:
        return TRUE;
    default:
        return FALSE;
    }
}

BOOL IxElementText::PropertyChars(int id, LPARAM value, LPCWSTR* text, int* count)
{
    if (!IsTextProperty(id))
        return FALSE;
    *text = nullptr;
    *count = 0;
    if (id == IXP_TEXTCHARSNOW || id == IXP_TEXTCHARSLATER) {
        if (const auto* chars = reinterpret_cast<const IxArray<WCHAR>*>(value)) {
            *text = chars->Data();
            *count = chars->Data() ? chars->Count() : 0;
        }
        return TRUE;
    }
    if (const auto* string = reinterpret_cast<const IxString*>(value)) {
        *text = string->Text();
        *count = string->Length();
    }
    return TRUE;
}

BOOL IxElementText::SetFromProperty(int id, LPARAM value)
{
    if (!IsTextProperty(id))
        return FALSE;
    if (id == IXP_TEXTCHARSNOW || id == IXP_TEXTCHARSLATER) {
        const auto* chars = reinterpret_cast<const IxArray<WCHAR>*>(value);
        const int count = chars ? chars->Count() : 0;
        if (count == 0) {
            if (m_text.IsEmpty())
                return FALSE;
            m_text.Release();
            return TRUE;
        }
        if (m_text.Length() == count && std::char_traits<WCHAR>::compare(m_text.Text(), chars->Data(), count) == 0)
            return FALSE;
        m_text.AssignChars(chars->Data(), count);
        return TRUE;
    }
    const auto* text = reinterpret_cast<const IxString*>(value);
    if (!text || text->IsEmpty()) {
        if (m_text.IsEmpty())
            return FALSE;
        m_text.Release();
        return TRUE;
    }
    if (m_text.Equals(*text))
        return FALSE;
    m_text.Share(*text);
    return TRUE;
}

void IxElementText::SetFromParams(const IxElementParams* params)
{
    if (!params || !params->lContentValue)
        return;
    switch (params->nContentKind) {
    case IXCONTENT_SHARESTRING:
        m_text.Share(*reinterpret_cast<const IxString*>(params->lContentValue));
        break;
    case IXCONTENT_STRINGDATA:
        m_text.AttachData(reinterpret_cast<IxStringData*>(params->lContentValue));
        break;
    case IXCONTENT_TEXT:
        if (params->nContentLength > 0
            && !m_text.AssignChars(reinterpret_cast<const WCHAR*>(params->lContentValue), params->nContentLength)) {
            m_text.Release();
            IxRecordError(IXERR_NOMEMORY);
        }
        break;
    default:
        break;
    }
}

BOOL IxElementText::Query(int code, LPARAM* out) const
{
    if (code == IXQ_SHARETEXT) {
        if (auto* text = reinterpret_cast<IxString*>(out))
            text->Share(m_text);
        return TRUE;
    }
    if (code == IXQ_APPENDTEXT) {
        if (auto* chars = reinterpret_cast<IxArray<WCHAR>*>(out))
            chars->Insert(chars->Count(), m_text.Text(), m_text.Length());
        return TRUE;
    }
    return FALSE;
}

IxTextMetrics IxElementText::Measure(int font) const
{
    IxTextMetrics metrics{0, 0, 0};
    IxLayoutDC layout;
    IxDC* dc = layout.Get();
    if (!dc)
        return metrics;
    IxSavedFont saved{nullptr, CLR_INVALID};
    if (font != -1)
        saved = dc->SelectFont(font);
    TEXTMETRICW tm{};
    GetTextMetricsW(dc->GetDC(), &tm);
    metrics.nAscent = tm.tmAscent;
    SIZE extent{0, tm.tmAscent + tm.tmDescent};
    if (!m_text.IsEmpty())
        GetTextExtentExPointW(dc->GetDC(), m_text.Text(), m_text.Length(), 0, nullptr, nullptr, &extent);
    metrics.nWidth = extent.cx;
    metrics.nHeight = extent.cy;
    dc->SelectFontAndColor(saved);
    return metrics;
}

BOOL IxElementText::SameFaceAndSize(int a, int b)
{
    if (a == -1 || b == -1)
        return FALSE;
    IxLayoutDC layout;
    const IxFontEntry* first = layout.Font(a);
    const IxFontEntry* second = layout.Font(b);
    return first && second && IxFontEntryEqual(*first, *second);
}
