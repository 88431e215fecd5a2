#include "Source/screens/common/CapturePopup.h"

#include "Lib_cpp/controls/ElementApi.h"
#include "Lib_cpp/controls/ImageElement.h"
#include "Source/screens/common/PopupParts.h"

const WCHAR CCapturePopup::kDefaultImage[] = u"\\NAND\\Wren\\Images\\DVD\\dvd_capture_popup.bmp";

CCapturePopup::CCapturePopup(LPCWSTR imagePath, int displayMs)
    : m_nDisplay(displayMs > 0 ? displayMs : 0), m_path(imagePath && *imagePath ? imagePath : kDefaultImage)
{
}

CCapturePopup::~CCapturePopup()
{
    KillElementTimer(this, 0);
}

BOOL CCapturePopup::Show(IxElement* owner, int id, const RECT& rect, int priority)
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

int CCapturePopup::OnCreate(const IxElementParams*)
{
    IxImage* picture = PopupPictureExists(m_path.Text()) ? new IxBitmapImage(m_path.Text(), IXLM_NOW) : nullptr;
    auto* image = new IxStaticImage;
    IxElementParams params{};
    params.Clear();
    params.Set(0, 0, Width(), Height(), 0, 0);
    params.nContentKind = IXCONTENT_IMAGE;
    params.lContentValue = reinterpret_cast<LPARAM>(new CPopupBackdrop(kPopupFill, picture));
    image->Create(&params);
    AddChild(image);
    return 1;
}

LRESULT CCapturePopup::OnEvent(int code, LPARAM param)
{
    switch (code) {
    case IXEV_ATTACHED:
        if (m_nDisplay > 0)
            SetElementTimer(this, TimerId(), m_nDisplay);
        break;
    case IXEV_TIMER:
        if (static_cast<UINT_PTR>(param) == TimerId()) {
            KillElementTimer(this, TimerId());
            PopLayerLater(m_nId);
            return 1;
        }
        break;
    case IXEV_DETACHED:
        KillElementTimer(this, 0);
        break;
    default:
        break;
    }
    return IxView::OnEvent(code, param);
}
