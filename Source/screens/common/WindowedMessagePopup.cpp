#include "Source/screens/common/WindowedMessagePopup.h"

#include "Lib_cpp/controls/ElementApi.h"
#include "Lib_cpp/controls/ElementText.h"
#include "Lib_cpp/kernel/Kernel.h"
#include "Source/shell/ShellIds.h"
#include "Source/shell/ViewCenter.h"

const WCHAR CWindowedMessagePopup::kWarningImage[] = u"\\NAND\\Wren\\Images\\PIP\\HD_Warning.bmp";

namespace {

constexpr DWORD kButtonFlags = IXF_HCENTER | IXF_VCENTER | IXF_DIRECTNOTIFY | IXF_HITCLIENT;
constexpr DWORD kRowFlags = IXF_HCENTER | IXF_VCENTER;
constexpr WCHAR kOkCaption[] = u"확인";
constexpr WCHAR kCancelCaption[] = u"취소";
// What lets the navigation map show through.
constexpr COLORREF kColorKey = 0xF800F8;
// Navigation states the popup acts on when it is taken away.
constexpr int kNaviFull = 2;
constexpr int kNaviBeside = 3;

} // namespace

CWindowedMessagePopup::CWindowedMessagePopup(LPCWSTR text, int style, int lineCount, int buttons, int timeoutMs)
    : m_text(text ? text : u""), m_nStyle(style), m_nButtons(buttons), m_nLineCount(lineCount),
      m_nTimeout(timeoutMs > 0 ? timeoutMs : 0)
{
    m_dwFlags |= IXF_HITCLIENT;
}

CWindowedMessagePopup::~CWindowedMessagePopup()
{
    KillElementTimer(this, 0);
}

int CWindowedMessagePopup::NaviState() const
{
    return GetNaviState();
}

BOOL CWindowedMessagePopup::Show(IxElement* owner, int id, const RECT& rect, int level)
{
    if (!IxGetKernel() || id < 1 || m_bShown)
        return FALSE;
    IxElementParams params{};
    params.Clear();
    params.Set(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, id, 0);
    Create(&params);
    m_bShown = TRUE;
    PushTopLayer(owner, this, level > 0 ? level : 1, owner == nullptr);
    return TRUE;
}

int CWindowedMessagePopup::OnCreate(const IxElementParams* params)
{
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

    const BOOL warning = m_nStyle == MPS_HDDWARNING;
    const LPCWSTR picture = warning ? kWarningImage : CMessagePopup::BackgroundFor(m_nStyle, nullptr);
    IxImage* image = picture && PopupPictureExists(picture) ? new IxBitmapImage(picture, IXLM_NOW) : nullptr;
    SetBackground(new CPopupBackdrop(kPopupFill, image));

    const BOOL ok = CMessagePopup::HasOk(m_nButtons);
    const BOOL cancel = CMessagePopup::HasCancel(m_nButtons);
    const int base
        = warning ? kWarningRowBase : (ok || cancel ? CMessagePopup::kRowBaseWithButtons : CMessagePopup::kRowBase);
    const int width = warning ? kWarningRowWidth : CMessagePopup::kRowWidth;
    const int font = PopupFont(warning ? FONTSLOT_POPUPWARNING : FONTSLOT_POPUPTEXT);
    for (int i = 0; i < m_nRows; ++i) {
        const int y = base - 9 * m_nRows + 6 + CMessagePopup::kRowHeight * i;
        AddPopupRow(this, FID_POPUP_LINE1 + i,
                    RECT{CMessagePopup::kRowX, y, CMessagePopup::kRowX + width, y + CMessagePopup::kRowHeight},
                    rowFlags, font, lines.TextAt(i));
    }

    const int top = CMessagePopup::kButtonY;
    const int bottom = top + CMessagePopup::kButtonHeight;
    const int okX = cancel ? CMessagePopup::kOkX : CMessagePopup::kSingleX;
    const int cancelX = ok ? CMessagePopup::kCancelX : CMessagePopup::kSingleX;
    if (ok)
        AddPopupButton(this, BTN_POPUP_OK, RECT{okX, top, okX + CMessagePopup::kButtonWidth, bottom}, kButtonFlags,
                       CMessagePopup::kOkImage, 2, kOkCaption);
    if (cancel)
        AddPopupButton(this, BTN_POPUP_CANCEL, RECT{cancelX, top, cancelX + CMessagePopup::kButtonWidth, bottom},
                       kButtonFlags, CMessagePopup::kCancelImage, 2, kCancelCaption);
    return 1;
}

void CWindowedMessagePopup::Answer(int notice)
{
    if (m_bAnswered)
        return;
    m_bAnswered = TRUE;
    KillElementTimer(this, 0);
    if (m_bModal) {
        EndModal(notice == PPN_OK ? 1 : notice == PPN_CANCEL ? 2 : 0);
        return;
    }
    PostElementNotify(this, m_nId, notice, 0);
    PopLayerLater(m_nId);
}

void CWindowedMessagePopup::LeaveOverNavigation()
{
    switch (NaviState()) {
    case kNaviFull:
        // The map shows through where the popup was until its window goes.
        for (int id = FID_POPUP_LINE1; id <= FID_POPUP_LINE3; ++id)
            SetChildVisibleInside(this, id, FALSE, FALSE);
        SetChildVisibleInside(this, BTN_POPUP_OK, FALSE, FALSE);
        SetChildVisibleInside(this, BTN_POPUP_CANCEL, FALSE, FALSE);
        SetBackground(new IxColorImage(kColorKey, Width(), Height()));
        Invalidate(IXINV_REPAINT, nullptr, nullptr);
        UpdateWindow();
        break;
    case kNaviBeside:
        PushGlobalAction(FID_EXT_VC_SHOWVIEW, AEV_DEFAULT, 0);
        break;
    default:
        break;
    }
}

LRESULT CWindowedMessagePopup::OnEvent(int code, LPARAM param)
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
        m_bAnswered = TRUE;
        // Before the base destroys the window.
        LeaveOverNavigation();
        break;
    default:
        break;
    }
    return IxChildWindowView::OnEvent(code, param);
}

int CWindowedMessagePopup::ActionIsInvoked(int code, int kind, LPARAM param)
{
    if (kind == AEV_DEFAULT && (code == BTN_POPUP_OK || code == BTN_POPUP_CANCEL)) {
        Answer(code == BTN_POPUP_OK ? PPN_OK : PPN_CANCEL);
        return 1;
    }
    return IxChildWindowView::ActionIsInvoked(code, kind, param);
}

int CWindowedMessagePopup::OnInput(int code, LPARAM data)
{
    if (code == IXIN_DOWN) {
        if (!CMessagePopup::HasOk(m_nButtons) && !CMessagePopup::HasCancel(m_nButtons))
            Answer(PPN_OK);
        return 0;
    }
    return IxChildWindowView::OnInput(code, data);
}
