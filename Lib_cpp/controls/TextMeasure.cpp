#include "Lib_cpp/controls/TextMeasure.h"

#include "platform/gfx/Gdi.h"

IxTextMeasure::IxTextMeasure(int font)
{
    IxDC* dc = m_layout.Get();
    if (!dc)
        return;
    if (font != -1)
        m_saved = dc->SelectFont(font);
    TEXTMETRICW tm{};
    if (GetTextMetricsW(dc->GetDC(), &tm)) {
        m_nAscent = tm.tmAscent;
        m_nHeight = tm.tmAscent + tm.tmDescent;
        m_nAverage = tm.tmAveCharWidth;
    }
}

IxTextMeasure::~IxTextMeasure()
{
    if (IxDC* dc = m_layout.Get())
        dc->SelectFontAndColor(m_saved);
}

int IxTextMeasure::Width(WCHAR ch) const
{
    return Extent(&ch, 1);
}

int IxTextMeasure::Extent(LPCWSTR text, int count) const
{
    IxDC* dc = m_layout.Get();
    if (!dc || count <= 0)
        return 0;
    SIZE size{0, 0};
    if (!GetTextExtentExPointW(dc->GetDC(), text, count, 0, nullptr, nullptr, &size))
        return 0;
    return size.cx;
}

void IxTextMeasure::Advances(LPCWSTR text, int count, int spacing, int* out) const
{
    for (int i = 0; i < count; ++i)
        out[i] = Width(text[i]) + spacing;
}

void IxDrawRun(HDC dc, int x, int baseline, LPCWSTR text, const int* advances, int count)
{
    if (count > 0)
        ExtTextOutW(dc, x, baseline, 0, nullptr, text, static_cast<UINT>(count), advances);
}
