#include "Source/screens/common/PopupParts.h"

#include "Lib_cpp/controls/ElementApi.h"
#include "Lib_cpp/controls/StateButton.h"
#include "Lib_cpp/controls/TextLabel.h"
#include "Lib_cpp/core/Draw.h"
#include "Source/shell/StartupLists.h"
#include "platform/io/File.h"

CPopupBackdrop::CPopupBackdrop(COLORREF fill, IxImage* picture) : IxImageProxy(picture), m_crFill(fill) {}

BOOL CPopupBackdrop::Draw(IxDC* dc, const RECT& dst, const RECT* clip)
{
    if (!dc)
        return FALSE;
    RECT area = dst;
    if (clip) {
        area.left = dst.left > clip->left ? dst.left : clip->left;
        area.top = dst.top > clip->top ? dst.top : clip->top;
        area.right = dst.right < clip->right ? dst.right : clip->right;
        area.bottom = dst.bottom < clip->bottom ? dst.bottom : clip->bottom;
        if (area.left >= area.right || area.top >= area.bottom)
            return TRUE;
    }
    if (HBRUSH brush = CreateSolidBrush(m_crFill)) {
        FillRect(dc->GetDC(), &area, brush);
        DeleteObject(brush);
    }
    IxImageProxy::Draw(dc, dst, clip);
    return TRUE;
}

BOOL PopupPictureExists(LPCWSTR path)
{
    if (!path || !*path)
        return FALSE;
    const DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

int PopupFont(int slot)
{
    return slot >= 0 && slot < kFontSlots ? g_nFontIndex[slot] : -1;
}

int SplitPopupLines(LPCWSTR text, IxStringArray* lines)
{
    if (lines)
        lines->RemoveAll();
    if (!text || !*text)
        return 0;
    int count = 0;
    const WCHAR* start = text;
    const WCHAR* p = text;
    for (;;) {
        if (*p == 0 || *p == u'\r' || *p == u'\n') {
            // The text's end right after a break adds no line.
            if (*p != 0 || p != start || count == 0) {
                if (lines) {
                    IxString line;
                    line.AssignChars(start, static_cast<int>(p - start));
                    lines->Add(line);
                }
                ++count;
            }
            if (*p == 0)
                break;
            if (*p == u'\r' && p[1] == u'\n')
                ++p;
            start = p + 1;
        }
        ++p;
    }
    return count;
}

int PopupRowCount(int given, int textLines)
{
    if (given >= 1 && given <= 3)
        return given;
    if (textLines <= 1)
        return 1;
    return textLines >= 3 ? 3 : textLines;
}

IxStaticText* AddPopupRow(IxView* view, int id, const RECT& box, DWORD flags, int font, LPCWSTR text)
{
    if (!view)
        return nullptr;
    auto* row = new IxStaticText;
    IxElementParams params{};
    params.Clear();
    params.Set(box.left, box.top, box.right - box.left, box.bottom - box.top, id, flags);
    row->Create(&params);
    view->AddChild(row);
    row->SetProperty(IXP_FONT, font);
    IxString line(text ? text : u"");
    row->SetProperty(IXP_TEXTLATER, reinterpret_cast<LPARAM>(&line));
    return row;
}

namespace {

IxStateButton* AddButton(IxView* view, int id, const RECT& box, DWORD flags, IxImageRef* picture, BOOL present,
                         LPCWSTR caption)
{
    auto* button = new IxStateButton(0, 0);
    IxElementParams params{};
    params.Clear();
    params.Set(box.left, box.top, box.right - box.left, box.bottom - box.top, id, flags);
    button->Create(&params);
    view->AddChild(button);
    button->SetProperty(IXP_BUTTONBACKGROUND, reinterpret_cast<LPARAM>(new CPopupBackdrop(kPopupButtonFill, picture)));
    if (!present && caption) {
        button->SetProperty(IXP_FONT, PopupFont(FONTSLOT_POPUPTEXT));
        IxString text(caption);
        button->SetProperty(IXP_TEXTLATER, reinterpret_cast<LPARAM>(&text));
    }
    return button;
}

} // namespace

IxStateButton* AddPopupButton(IxView* view, int id, const RECT& box, DWORD flags, LPCWSTR picture, int frames,
                              LPCWSTR caption)
{
    if (!view)
        return nullptr;
    const BOOL present = PopupPictureExists(picture);
    IxImageRef* image = present ? IxImageRef::CreateFrames(nullptr, picture, frames, IXLM_NOW) : nullptr;
    return AddButton(view, id, box, flags, image, present, caption);
}

IxStateButton* AddPopupButtonFromList(IxView* view, int id, const RECT& box, DWORD flags, LPCWSTR normal,
                                      LPCWSTR pressed, LPCWSTR caption)
{
    if (!view)
        return nullptr;
    const BOOL present = PopupPictureExists(normal) && PopupPictureExists(pressed);
    IxImageRef* image = nullptr;
    if (present) {
        IxStringArray paths;
        paths.AddText(normal);
        paths.AddText(pressed);
        image = IxImageRef::CreateFromList(nullptr, paths, IXLM_NOW);
    }
    return AddButton(view, id, box, flags, image, present, caption);
}
