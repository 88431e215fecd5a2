#include "Source/screens/common/ModelProgressBar.h"

#include "Lib_cpp/kernel/Kernel.h"
#include "Source/screens/common/SheetCodes.h"

CModelProgressBar::CModelProgressBar(IxSourceModel* model) : m_pModel(model)
{
    if (m_pModel)
        m_pModel->AddRef();
}

CModelProgressBar::~CModelProgressBar()
{
    if (m_pModel)
        m_pModel->Release();
}

LRESULT CModelProgressBar::OnEvent(int code, LPARAM param)
{
    IxKernel* kernel = IxGetKernel();
    if (code == IXEV_ATTACHED && m_pModel) {
        if (kernel)
            kernel->Subscribe(m_pModel->GetModelId(), this);
        SetReportEvents(TRUE, 0);
        Refresh();
    } else if (code == IXEV_DETACHED && m_pModel && kernel) {
        kernel->Unsubscribe(m_pModel->GetModelId(), this);
    }
    return IxImageSliderView::OnEvent(code, param);
}

int CModelProgressBar::ActionIsInvoked(int code, int kind, LPARAM param)
{
    if (!m_pModel || code != IxActionId(static_cast<DWORD>(m_pModel->GetModelId())))
        return IxImageSliderView::ActionIsInvoked(code, kind, param);
    switch (kind) {
    case SMN_PLAYOUTCOME:
    case SMN_LENGTH:
        Refresh();
        break;
    case SMN_PLAYING:
        ShowPosition(m_pModel->GetPlayPosition());
        break;
    case SMN_POSITION:
    case SMN_SEEKPOSITION:
        ShowPosition(static_cast<int>(param));
        break;
    case SMN_POSITIONNOW:
    case SMN_SEEKPOSITIONNOW:
        ShowPosition(static_cast<int>(param));
        MarkUpdate();
        break;
    default:
        break;
    }
    return 0; // the model's other screens hear it too
}

void CModelProgressBar::Refresh()
{
    if (!m_pModel)
        return;
    ShowPosition(m_pModel->GetPlayPosition());
}

void CModelProgressBar::ShowPosition(int position)
{
    if (!m_pModel || IsDragging())
        return;
    const int length = m_pModel->GetLength() > 0 ? m_pModel->GetLength() : 0;
    if (length < position) {
        SetRange(0);
        SetValue(-1);
        Redraw();
        return;
    }
    if (GetRange() != length) {
        SetRange(length);
        m_nPixel = m_nMin - 1; // the thumb is placed anew
    }
    const int before = GetPixel();
    SetValue(position < 0 ? -1 : position);
    if (GetPixel() != before)
        Redraw();
}

void CModelProgressBar::DragBegun(int mode, int value)
{
    if (mode == GRAB_THUMB && m_pModel)
        m_pModel->RequestPause();
    IxImageSliderView::DragBegun(mode, value);
}

void CModelProgressBar::Dragged(int mode, int value)
{
    if (mode == GRAB_THUMB && m_pModel)
        m_pModel->SetPlayPosition(value);
    IxImageSliderView::Dragged(mode, value);
}

void CModelProgressBar::DragEnded(int mode, int value)
{
    if (mode == GRAB_THUMB && m_pModel) {
        m_pModel->SetPlayPosition(value);
        m_pModel->PlayCurrent();
    }
    IxImageSliderView::DragEnded(mode, value);
}
