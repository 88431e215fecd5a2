#include "Source/screens/common/VideoPanel.h"

#include "Lib_cpp/image/Image.h"
#include "Lib_cpp/kernel/Kernel.h"
#include "Source/screens/common/SheetCodes.h"

namespace {

CVideoPanel* g_pCurrent = nullptr;

} // namespace

CVideoPanel::CVideoPanel(int period, IxSourceModel* model, IxImage* frame, IxImage* fill)
    : IxIdleTimerView(period), m_pModel(model), m_pFrame(frame), m_pFill(fill)
{
    if (m_pModel)
        m_pModel->AddRef();
    m_filter[0] = IxActionWord(ACMD_PARKBRAKE, 0);
}

CVideoPanel::~CVideoPanel()
{
    if (g_pCurrent == this)
        g_pCurrent = nullptr;
    if (m_pFrame)
        m_pFrame->Release();
    if (m_pFill)
        m_pFill->Release();
    if (m_pModel)
        m_pModel->Release();
}

CVideoPanel* CVideoPanel::GetCurrent()
{
    return g_pCurrent;
}

LRESULT CVideoPanel::OnEvent(int code, LPARAM param)
{
    IxKernel* kernel = IxGetKernel();
    switch (code) {
    case IXEV_ATTACHED:
        if (kernel) {
            kernel->AddListener(m_filter, this);
            if (m_pModel)
                kernel->Subscribe(m_pModel->GetModelId(), this);
        }
        g_pCurrent = this;
        Redraw();
        break;
    case IXEV_DETACHED:
        if (kernel) {
            kernel->RemoveListener(m_filter, this);
            if (m_pModel)
                kernel->Unsubscribe(m_pModel->GetModelId(), this);
        }
        if (g_pCurrent == this)
            g_pCurrent = nullptr;
        break;
    default:
        break;
    }
    return IxIdleTimerView::OnEvent(code, param);
}

void CVideoPanel::RedrawVideo()
{
    if (m_pFrame)
        Redraw();
}

void CVideoPanel::Hold(BOOL on)
{
    HoldTimer(on ? reinterpret_cast<LPARAM>(this) : 0);
}

int CVideoPanel::ActionIsInvoked(int code, int kind, LPARAM param)
{
    if (code == ACMD_PARKBRAKE && kind == AEV_DEFAULT) {
        RedrawVideo();
        return 0;
    }
    if (!m_pModel || code != IxActionId(static_cast<DWORD>(m_pModel->GetModelId())))
        return IxIdleTimerView::ActionIsInvoked(code, kind, param);
    switch (kind) {
    case SMN_PLAYOUTCOME:
    case SMN_VIDEOSHOWN:
    case SMN_VIDEOHIDDEN:
        RedrawVideo();
        break;
    case SMN_VIDEOSUSPENDED:
        RedrawVideo();
        Hold(TRUE);
        break;
    case SMN_PANELHOLD:
    case SMN_PANELHOLD2:
        Hold(TRUE);
        break;
    case SMN_PANELHOLDIF:
        if (param)
            Hold(TRUE);
        break;
    case SMN_VIDEOVISIBLE:
        RedrawVideo();
        if (m_pModel->ShowsVideo())
            Hold(FALSE);
        break;
    case SMN_PANELRELEASE:
    case SMN_PANELRELEASE2:
    case SMN_PANELRELEASE3:
        if (m_pModel->ShowsVideo())
            Hold(FALSE);
        break;
    case SMN_PANELRELEASEIF:
        if (param && m_pModel->ShowsVideo())
            Hold(FALSE);
        break;
    default:
        break;
    }
    return 0;
}

void CVideoPanel::Draw(IxPaintRecord* record)
{
    RECT video{0, 0, 0, 0};
    m_bNoVideoRect = !(m_pModel && m_pModel->GetVideoRect(&video));
    if (m_pFrame && !m_bNoVideoRect) {
        ScreenToLocalRect(&video);
        DrawFramed(record, m_pFill, video, m_pFrame);
    } else if (m_pFrame) {
        DrawImage(record, m_pFrame);
    }
    PaintChildren(record);
}
