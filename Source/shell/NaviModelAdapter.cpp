#include "Source/shell/NaviModelAdapter.h"

CNaviModelAdapter::~CNaviModelAdapter()
{
    if (m_pModel)
        m_pModel->Release();
}

int CNaviModelAdapter::GetModelId() const
{
    return m_pModel->GetModelId();
}

int CNaviModelAdapter::Release()
{
    const int left = --m_nRef;
    if (left <= 0)
        delete this;
    return left;
}

BOOL CNaviModelAdapter::Launch()
{
    return m_pModel->Launch();
}

void CNaviModelAdapter::Stop(BOOL closing)
{
    m_pModel->Stop(closing);
}

void CNaviModelAdapter::SetLayout(int layout)
{
    m_pModel->SetLayout(layout);
}

void CNaviModelAdapter::Show(int view)
{
    m_pModel->Show(view);
}

BOOL CNaviModelAdapter::Hide()
{
    return m_pModel->Hide();
}

void CNaviModelAdapter::SyncView()
{
    m_pModel->SyncView();
}

int CNaviModelAdapter::GetLayout()
{
    return m_pModel->GetLayout();
}

void CNaviModelAdapter::PrepareLayout(int layout, int)
{
    m_pModel->HoldView(TRUE, layout);
}

void CNaviModelAdapter::SetPlacing(BOOL on)
{
    m_pModel->HoldView(on, 0);
}
