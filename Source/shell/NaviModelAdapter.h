// ViewCenter's view of the navigation model (CNaviModelLink) over the model
// itself: a reference-counted holder of one reference to the model that
// passes ViewCenter's calls on. The layout change and the main window's
// placement hold the link (show, hide and layout requests wait) until the
// following synchronisation, resp. the end of the placement.
#pragma once

#include "Source/models/NaviModel.h"
#include "Source/shell/NaviModelLink.h"

class CNaviModelAdapter : public CNaviModelLink {
public:
    // Takes over one reference to the model; reference count 1.
    explicit CNaviModelAdapter(CNaviModel* model) : m_pModel(model) {}
    CNaviModelAdapter(const CNaviModelAdapter&) = delete;
    CNaviModelAdapter& operator=(const CNaviModelAdapter&) = delete;

    int GetModelId() const override;
    void AddRef() override { ++m_nRef; }
    // Releases the model's reference with the last one.
    int Release() override;

    BOOL Launch() override;
    void Stop(BOOL closing) override;
    void SetLayout(int layout) override;
    void Show(int view) override;
    BOOL Hide() override;
    void SyncView() override;
    int GetLayout() override;
    void PrepareLayout(int layout, int value) override;
    void SetPlacing(BOOL on) override;

    CNaviModel* GetModel() const { return m_pModel; }
    int GetRefCount() const { return m_nRef; }

private:
    ~CNaviModelAdapter() override;

    CNaviModel* m_pModel;
    int m_nRef = 1;
};
