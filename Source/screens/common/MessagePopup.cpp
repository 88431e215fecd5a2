#include "Source/screens/common/MessagePopup.h"

#include "Lib_cpp/controls/ElementApi.h"
#include "Lib_cpp/controls/ElementText.h"
#include "Lib_cpp/kernel/Kernel.h"
#include "Lib_cpp/kernel/ServiceCodes.h"
#include "Source/shell/ShellIds.h"

const WCHAR CMessagePopup::kInformationImage[] = u"\\NAND\\Wren\\Images\\Bluetooth\\biginfo_popup.bmp";
const WCHAR CMessagePopup::kQuestionImage[] = u"\\NAND\\Wren\\Images\\Setting\\question_popup.bmp";
const WCHAR CMessagePopup::kOkImage[] = u"\\NAND\\Wren\\Images\\Setting\\popup_two_ok_btn_all.bmp";
const WCHAR CMessagePopup::kCancelImage[] = u"\\NAND\\Wren\\Images\\Setting\\popup_two_cancel_btn_all.bmp";

namespace {

// The buttons' flags: centred caption, the notice straight to the popup,
// the whole button takes the press.
constexpr DWORD kButtonFlags = IXF_HCENTER | IXF_VCENTER | IXF_DIRECTNOTIFY | IXF_HITCLIENT;
constexpr DWORD kRowFlags = IXF_HCENTER | IXF_VCENTER;
// Captions of buttons whose picture is missing.
constexpr WCHAR kOkCaption[] = u"확인";
constexpr WCHAR kCancelCaption[] = u"취소";

} // namespace

CMessagePopup::CMessagePopup(LPCWSTR text, LPCWSTR secondText, int style, int lineCount, int buttons, int timeoutMs)
    : m_text(text ? text : u""), m_nStyle(style), m_nButtons(buttons), m_nLineCount(lineCount),
      m_nTimeout(timeoutMs > 0 ? timeoutMs : 0), m_secondText(secondText ? secondText : u"")
{
    m_dwFlags |= IXF_HITCLIENT;
}

CMessagePopup::CMessagePopup(LPCWSTR text, int style, int lineCount, int buttons, int timeoutMs)
    : CMessagePopup(text, nullptr, style, lineCount, buttons, timeoutMs)
{
}

CMessagePopup::~CMessagePopup()
{
    // No timer of the popup outlives it.
    KillElementTimer(this, 0);
}

BOOL CMessagePopup::HasOk(int buttons)
{
    return buttons == MPB_OK || buttons == MPB_OK2 || (buttons >= MPB_OKCANCEL && buttons <= MPB_OKCANCEL3);
}

BOOL CMessagePopup::HasCancel(int buttons)
{
    return buttons == MPB_CANCEL || buttons == MPB_CANCEL2 || (buttons >= MPB_OKCANCEL && buttons <= MPB_OKCANCEL3);
}

LPCWSTR CMessagePopup::BackgroundFor(int style, LPCWSTR secondText)
{
    switch (style) {
    case MPS_INFORMATION:
        return kInformationImage;
    case MPS_QUESTION:
        return kQuestionImage;
    case MPS_CUSTOM:
        return secondText && *secondText ? secondText : nullptr;
    default:
        return nullptr;
    }
}

BOOL CMessagePopup::Show(IxElement* owner, int id, const RECT& rect, int priority)
{
    IxKernel* kernel = IxGetKernel();
    if (!kernel || id < 1 || m_bShown)
        return FALSE;
    IxElementParams params{};
    params.Clear();
    params.Set(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, id, 0);
    Create(&params);
    m_bShown = TRUE;
    PushLayer(owner, this, priority, owner == nullptr);
    return TRUE;
}

int CMessagePopup::ShowModal(IxElement* owner, int id, const RECT& rect)
{
    IxKernel* kernel = IxGetKernel();
    if (!kernel || id < 1 || m_bShown)
        return -1;
    IxElementParams params{};
    params.Clear();
    params.Set(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, id, 0);
    Create(&params);
    m_bShown = TRUE;
    m_bModal = TRUE;
    IxLayerRecord record{this, owner};
    return static_cast<int>(kernel->Service(IXSVC_MODAL, &record, 0));
}

int CMessagePopup::OnCreate(const IxElementParams* params)
{
    // A text in the creation record replaces the popup's own.
    if (params
        && (params->nContentKind == IXCONTENT_SHARESTRING || params->nContentKind == IXCONTENT_STRINGDATA
            || params->nContentKind == IXCONTENT_TEXT)) {
        IxElementText carried;
        carried.SetFromParams(params);
        m_text = carried.Get();
    }
    const DWORD rowFlags = kRowFlags | (params ? params->dwFlags & IXF_HEND : 0);

    IxStringArray lines;
    const int textLines = SplitPopupLines(m_text.Text(), &lines);
    m_nRows = PopupRowCount(m_nLineCount, textLines);

    const LPCWSTR picture = BackgroundFor(m_nStyle, m_secondText.Text());
    IxImage* image = picture && PopupPictureExists(picture) ? new IxBitmapImage(picture, IXLM_NOW) : nullptr;
    SetBackground(new CPopupBackdrop(kPopupFill, image));

    const BOOL ok = HasOk(m_nButtons);
    const BOOL cancel = HasCancel(m_nButtons);
    const int base = ok || cancel ? kRowBaseWithButtons : kRowBase;
    const int font = PopupFont(FONTSLOT_POPUPTEXT);
    for (int i = 0; i < m_nRows; ++i) {
        const int y = base - 9 * m_nRows + 6 + kRowHeight * i;
        AddPopupRow(this, FID_POPUP_LINE1 + i, RECT{kRowX, y, kRowX + kRowWidth, y + kRowHeight}, rowFlags, font,
                    lines.TextAt(i));
    }

    const int okX = cancel ? kOkX : kSingleX;
    const int cancelX = ok ? kCancelX : kSingleX;
    if (ok)
        AddPopupButton(this, BTN_POPUP_OK, RECT{okX, kButtonY, okX + kButtonWidth, kButtonY + kButtonHeight},
                       kButtonFlags, kOkImage, 2, kOkCaption);
    if (cancel)
        AddPopupButton(this, BTN_POPUP_CANCEL,
                       RECT{cancelX, kButtonY, cancelX + kButtonWidth, kButtonY + kButtonHeight}, kButtonFlags,
                       kCancelImage, 2, kCancelCaption);
    return 1;
}

void CMessagePopup::Answer(int notice)
{
    if (m_bAnswered)
        return;
    m_bAnswered = TRUE;
    KillElementTimer(this, 0);
    if (m_bModal) {
        // The loop removes the modal layer: the popup may be gone after this.
        EndModal(notice == PPN_OK ? 1 : notice == PPN_CANCEL ? 2 : 0);
        return;
    }
    PostElementNotify(this, m_nId, notice, 0);
    PopLayerLater(m_nId);
}

LRESULT CMessagePopup::OnEvent(int code, LPARAM param)
{
    switch (code) {
    case IXEV_PAUSED:
        if (m_nTimeout > 0 && !m_bAnswered)
            SetElementTimer(this, TM_POPUPTIMEOUT, m_nTimeout);
        break;
    case IXEV_TIMER:
        if (static_cast<UINT_PTR>(param) == static_cast<UINT_PTR>(TM_POPUPTIMEOUT)) {
            if (m_bModal && !m_bAnswered)
                PostElementNotify(this, m_nId, PPN_CLOSED, 0);
            Answer(PPN_CLOSED);
            return 1;
        }
        break;
    case IXEV_DETACHED:
        KillElementTimer(this, 0);
        // Taken away before it answered: the owner still hears that it
        // closed. The layer is going already; asking for its removal again
        // could take a newer popup of the same id with it.
        if (!m_bAnswered) {
            m_bAnswered = TRUE;
            PostElementNotify(this, m_nId, PPN_CLOSED, 0);
        }
        break;
    default:
        break;
    }
    return IxView::OnEvent(code, param);
}

int CMessagePopup::ActionIsInvoked(int code, int kind, LPARAM param)
{
    if (kind == AEV_DEFAULT && (code == BTN_POPUP_OK || code == BTN_POPUP_CANCEL)) {
        Answer(code == BTN_POPUP_OK ? PPN_OK : PPN_CANCEL);
        return 1;
    }
    return IxView::ActionIsInvoked(code, kind, param);
}

int CMessagePopup::OnInput(int code, LPARAM data)
{
    if (code == IXIN_DOWN) {
        // A popup without buttons answers a touch anywhere; one with buttons
        // only keeps the press from what lies under it.
        if (!HasOk(m_nButtons) && !HasCancel(m_nButtons))
            Answer(PPN_OK);
        return 0;
    }
    return IxView::OnInput(code, data);
}
