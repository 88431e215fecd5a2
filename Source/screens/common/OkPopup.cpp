#include "Source/screens/common/OkPopup.h"

#include "Lib_cpp/controls/ElementApi.h"
#include "Lib_cpp/controls/ImageElement.h"
#include "Source/screens/common/PopupParts.h"
#include "Source/shell/ShellIds.h"

const WCHAR COkPopup::kPicture[] = u"\\NAND\\Wren\\Images\\Bluetooth\\biginfo_popup.bmp";
const WCHAR COkPopup::kOkNormal[] = u"\\NAND\\Wren\\Images\\Bluetooth\\popup_ok_btn_nor.bmp";
const WCHAR COkPopup::kOkPressed[] = u"\\NAND\\Wren\\Images\\Bluetooth\\popup_ok_btn_sel.bmp";

namespace {

constexpr DWORD kRowFlags = IXF_HCENTER | IXF_VCENTER;
// The whole button takes the press; its click goes out as an action.
constexpr DWORD kOkFlags = IXF_INVALIDATEALL | IXF_HITCLIENT | IXF_HCENTER | IXF_VCENTER;
constexpr WCHAR kOkCaption[] = u"확인";

} // namespace

COkPopup::COkPopup(const IxStringArray& lines, int timeoutMs) : m_nTimeout(timeoutMs > 0 ? timeoutMs : 0)
{
    for (int i = 0; i < lines.Count(); ++i)
        m_lines.Add(lines.At(i));
    m_filter[0] = IxActionWord(BTN_POPUP_OK, AEV_DEFAULT);
}

COkPopup::COkPopup(std::initializer_list<LPCWSTR> lines, int timeoutMs) : m_nTimeout(timeoutMs > 0 ? timeoutMs : 0)
{
    for (LPCWSTR line : lines)
        m_lines.AddText(line ? line : u"");
    m_filter[0] = IxActionWord(BTN_POPUP_OK, AEV_DEFAULT);
}

COkPopup::~COkPopup()
{
    if (IxKernel* kernel = IxGetKernel()) {
        if (m_bListening)
            kernel->RemoveListener(m_filter, this);
        kernel->KillTimer(this, 0);
    }
}

BOOL COkPopup::Show(IxElement* owner, int id, const RECT& rect, int priority)
{
    if (!IxGetKernel() || id < 1 || m_bShown)
        return FALSE;
    IxElementParams params{};
    params.Clear();
    params.Set(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, id, 0);
    Create(&params);
    m_bShown = TRUE;
    PushLayer(owner, this, priority, owner == nullptr);
    return TRUE;
}

int COkPopup::OnCreate(const IxElementParams*)
{
    SetBackground(new IxColorImage(kScreenFill, Width(), Height()));

    IxImage* picture = PopupPictureExists(kPicture) ? new IxBitmapImage(kPicture, IXLM_NOW) : nullptr;
    auto* card = new IxStaticImage;
    IxElementParams params{};
    params.Clear();
    params.Set(kPictureRect.left, kPictureRect.top, kPictureRect.right - kPictureRect.left,
               kPictureRect.bottom - kPictureRect.top, 0, 0);
    params.nContentKind = IXCONTENT_IMAGE;
    params.lContentValue = reinterpret_cast<LPARAM>(new CPopupBackdrop(kPopupFill, picture));
    card->Create(&params);
    AddChild(card);

    // No lines: no rows (the rows share their height by the count).
    const int count = m_lines.Count();
    if (count > 0) {
        const int height = kRowsHeight / count;
        const int font = PopupFont(FONTSLOT_OKPOPUP);
        for (int i = 0; i < count; ++i) {
            const int y = kRowY + i * height;
            AddPopupRow(this, 0, RECT{kRowX, y, kRowX + kRowWidth, y + height}, kRowFlags, font, m_lines.TextAt(i));
        }
    }
    AddPopupButtonFromList(this, BTN_POPUP_OK, kOkRect, kOkFlags, kOkNormal, kOkPressed, kOkCaption);
    return 1;
}

void COkPopup::Close()
{
    if (m_bClosing)
        return;
    m_bClosing = TRUE;
    KillElementTimer(this, 0);
    PopLayerLater(m_nId);
}

LRESULT COkPopup::OnEvent(int code, LPARAM param)
{
    IxKernel* kernel = IxGetKernel();
    switch (code) {
    case IXEV_ATTACHED:
        if (kernel && !m_bListening)
            m_bListening = kernel->AddListener(m_filter, this);
        break;
    case IXEV_PAUSED:
        if (m_nTimeout > 0 && !m_bClosing)
            SetElementTimer(this, TimerId(), m_nTimeout);
        break;
    case IXEV_TIMER:
        if (static_cast<UINT_PTR>(param) == TimerId()) {
            Close();
            return 1;
        }
        break;
    case IXEV_DETACHED:
        if (kernel && m_bListening)
            kernel->RemoveListener(m_filter, this);
        m_bListening = FALSE;
        KillElementTimer(this, 0);
        break;
    default:
        break;
    }
    return IxView::OnEvent(code, param);
}

int COkPopup::ActionIsInvoked(int code, int kind, LPARAM param)
{
    if (code == BTN_POPUP_OK && kind == AEV_DEFAULT) {
        Close();
        return 1;
    }
    return IxView::ActionIsInvoked(code, kind, param);
}
