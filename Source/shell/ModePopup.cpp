#include "Source/shell/ModePopup.h"

#include "Lib_cpp/controls/ElementApi.h"
#include "Lib_cpp/controls/ImageElement.h"
#include "Lib_cpp/controls/StateButton.h"
#include "Lib_cpp/image/Image.h"
#include "Source/shell/ShellIds.h"
#include "Source/shell/ViewCenter.h"

namespace {

// The popup's own background and the colour key that lets the navigation
// map show through once it goes over the map.
constexpr COLORREF kBackground = 0x080000;
constexpr COLORREF kColorKey = 0xF800F8;
constexpr int kScreenWidth = 800;
constexpr int kScreenHeight = 480;

bool IsKeyKind(int kind)
{
    return kind == AEV_SHORTPRESS || kind == AEV_LONGRELEASE;
}

} // namespace

const ModeButton CModePopup::kButtons[kButtonCount] = {
    {63, 104, u"\\NAND\\Wren\\Images\\Setting\\modebtn_fm_all.bmp", 13901, FID_FM},
    {198, 104, u"\\NAND\\Wren\\Images\\Setting\\modebtn_dmb_all.bmp", 13902, FID_DMB},
    {333, 104, u"\\NAND\\Wren\\Images\\Setting\\modebtn_video_all.bmp", 13903, FID_MOVIE},
    {468, 104, u"\\NAND\\Wren\\Images\\Setting\\modebtn_dvd_all.bmp", 13904, FID_DVD},
    {603, 104, u"\\NAND\\Wren\\Images\\Setting\\modebtn_bt_all.bmp", 13905, FID_BLUETOOTH},
    {63, 240, u"\\NAND\\Wren\\Images\\Setting\\modebtn_am_all.bmp", 13906, FID_AM},
    {198, 240, u"\\NAND\\Wren\\Images\\Setting\\modebtn_dab_all.bmp", 13907, FID_DAB},
    {333, 240, u"\\NAND\\Wren\\Images\\Setting\\modebtn_audio_all.bmp", 13908, FID_MUSIC},
    {468, 240, u"\\NAND\\Wren\\Images\\Setting\\modebtn_ipod_all.bmp", 13909, FID_IPOD},
    {603, 240, u"\\NAND\\Wren\\Images\\Setting\\modebtn_aux_all.bmp", 13910, FID_AUX},
};

const RECT CModePopup::kFrameRect{52, 93, 52 + 697, 93 + 294};
const WCHAR CModePopup::kFrameImage[] = u"\\NAND\\Wren\\Images\\Setting\\modebtn_remotebg.bmp";

CModePopup::CModePopup()
{
    SetId(FID_MODEPOPUP);
    SetFlags(IXF_CREATEONACTIVATE, 0);
    int row = 0;
    for (const ModeButton& button : kButtons)
        m_filter[row++] = IxActionWord(button.id, AEV_DEFAULT);
    for (int id : {FID_EXT_MODENEXT, FID_EXT_MODETAKE, FID_EXT_MODECLOSE, FID_EXT_NAVIMODEPOPUP})
        m_filter[row++] = IxActionWord(id, AEV_DEFAULT);
    for (int id : {FID_EXT_ENTER, FID_EXT_LEFT, FID_EXT_RIGHT, FID_EXT_ROWDOWN, FID_EXT_ROWUP})
        m_filter[row++] = IxActionWord(id, 0);
    m_filter[row] = 0;
}

int CModePopup::IndexForView(int view)
{
    for (int i = 1; i < kButtonCount; ++i)
        if (kButtons[i].view == view)
            return i;
    return 0;
}

int CModePopup::LastView() const
{
    return GetLastView(TRUE);
}

int CModePopup::NaviState() const
{
    return GetNaviState();
}

BOOL CModePopup::IsTiltShown() const
{
    return IsLayerShown(FID_TILTSCREEN);
}

int CModePopup::OnCreate(const IxElementParams*)
{
    SetBackground(new IxColorImage(kBackground, kScreenWidth, kScreenHeight));

    IxElementParams params{};
    params.Clear();
    params.Set(kFrameRect.left, kFrameRect.top, kFrameRect.right - kFrameRect.left, kFrameRect.bottom - kFrameRect.top,
               0, 0);
    params.nContentKind = IXCONTENT_IMAGE;
    params.lContentValue = reinterpret_cast<LPARAM>(new IxBitmapImage(kFrameImage, IXLM_NOW));
    auto* frame = new IxImageElement;
    frame->Create(&params);
    AddChild(frame);

    for (const ModeButton& button : kButtons) {
        auto* element = new IxStateButton(0, 0);
        IxElementParams bp{};
        bp.Clear();
        bp.Set(button.x, button.y, kButtonWidth, kButtonHeight, button.id, IXF_INVALIDATEALL);
        element->Create(&bp);
        AddChild(element);
        element->SetProperty(IXP_BUTTONBACKGROUND,
                             reinterpret_cast<LPARAM>(IxImageRef::CreateFrames(nullptr, button.image, 3, IXLM_NOW)));
    }

    m_nLastView = LastView();
    m_nInitial = IndexForView(m_nLastView);
    m_nHighlight = m_nInitial;
    return 1;
}

void CModePopup::Highlight(int index, BOOL repaint)
{
    m_nHighlight = index;
    for (int i = 0; i < kButtonCount; ++i)
        SetChildPressed(this, kButtons[i].id, i == index, repaint);
}

void CModePopup::RestartCloseTimer()
{
    SetElementTimer(this, CloseTimerId(), m_nCloseInterval);
}

void CModePopup::Close()
{
    PopLayer(m_nId);
}

LRESULT CModePopup::OnEvent(int code, LPARAM param)
{
    IxKernel* kernel = IxGetKernel();
    switch (code) {
    case IXEV_ATTACHED:
        if (kernel && !m_bListening)
            m_bListening = kernel->AddListener(m_filter, this);
        RestartCloseTimer();
        break;
    case IXEV_CHILDRENATTACHED:
        Highlight(m_nHighlight, FALSE);
        break;
    case IXEV_TIMER:
        if (static_cast<UINT_PTR>(param) == CloseTimerId()) {
            KillElementTimer(this, CloseTimerId());
            Close();
            return 1;
        }
        break;
    case IXEV_DETACHED:
        if (kernel && m_bListening)
            kernel->RemoveListener(m_filter, this);
        m_bListening = FALSE;
        KillElementTimer(this, CloseTimerId());
        CloseStep();
        break;
    default:
        break;
    }
    return IxFrameView::OnEvent(code, param);
}

int CModePopup::ActionIsInvoked(int code, int kind, LPARAM)
{
    KillElementTimer(this, CloseTimerId());
    if (code >= KEY_ACTION_FIRST && code <= KEY_ACTION_LAST
        && (kind == AEV_HOLDSTART || kind == AEV_LONGPRESS || kind == AEV_DEFAULT))
        IxKernel::MarkUpdateAll(this);

    if (code >= BTN_MODE_FIRST && code <= BTN_MODE_LAST) {
        const int index = code - BTN_MODE_FIRST;
        Highlight(index, TRUE);
        if (kButtons[index].view != m_nLastView) {
            m_bChange = TRUE;
            m_nChosenView = kButtons[index].view;
        }
        Close();
        return 1;
    }
    switch (code) {
    case FID_EXT_MODECLOSE:
        Close();
        return 1;
    case FID_EXT_MODEKEY:
        if (kind == AEV_SHORTPRESS)
            PushGlobalAction(FID_EXT_MODENEXT, AEV_DEFAULT, 0);
        else if (kind == AEV_DEFAULT || kind == AEV_LONGPRESS)
            PushGlobalAction(FID_EXT_MODETAKE, AEV_DEFAULT, 0);
        break;
    case FID_EXT_MODENEXT:
        Highlight((m_nHighlight + 1) % kButtonCount, TRUE);
        break;
    case FID_EXT_MODETAKE:
        IxKernel::MarkUpdateAll(this);
        PushGlobalAction(kButtons[m_nHighlight].id, AEV_DEFAULT, 0);
        break;
    case FID_EXT_ROWUP:
    case FID_EXT_ROWDOWN:
        if (IsKeyKind(kind))
            Highlight((m_nHighlight + kColumns) % kButtonCount, TRUE);
        break;
    case FID_EXT_LEFT:
        if (IsKeyKind(kind))
            Highlight(m_nHighlight == 0 ? kButtonCount - 1 : m_nHighlight - 1, TRUE);
        break;
    case FID_EXT_RIGHT:
        if (IsKeyKind(kind))
            Highlight(m_nHighlight == kButtonCount - 1 ? 0 : m_nHighlight + 1, TRUE);
        break;
    case FID_EXT_ENTER:
        if (IsKeyKind(kind))
            PushGlobalAction(kButtons[m_nHighlight].id, AEV_DEFAULT, 0);
        break;
    default:
        break;
    }
    RestartCloseTimer();
    return 1;
}

void CModePopup::CloseStep()
{
    if (IsTiltShown())
        return;
    switch (NaviState()) {
    case 2:
        // The map shows through where the popup was.
        SetBackground(new IxColorImage(kColorKey, kScreenWidth, kScreenHeight));
        IxKernel::MarkUpdateAll(this);
        break;
    case 3:
        // The navigation program updates first; the view follows later.
        PushGlobalAction(FID_EXT_VC_SHOWVIEW, AEV_DEFAULT, m_bChange ? m_nChosenView : 0);
        break;
    default:
        if (m_bChange)
            PushGlobalAction(m_nChosenView, AEV_DEFAULT, 0);
        break;
    }
}
