#include "Source/models/NaviModel.h"

#include "Lib_cpp/core/ActionCodes.h"
#include "Lib_cpp/core/Diag.h"
#include "Lib_cpp/core/Notify.h"
#include "Lib_cpp/kernel/Kernel.h"
#include "Source/models/ModelCenterBase.h"
#include "Source/models/ModelCodes.h"
#include "Source/models/SettingModel.h"

#include <new>

namespace {

constexpr DWORD AnyKind(int code)
{
    return static_cast<DWORD>(code & 0xFFFF);
}

// The link's reports and the forwarded broadcasts, of any kind.
const DWORD kListenerFilter[] = {AnyKind(MLA_EXTAPPREPORT), AnyKind(IXA_BROADCASTMESSAGE), 0};

NaviLinkFactory g_linkFactory = nullptr;

} // namespace

// ---------------------------------------------------------------------------
// CNaviModel

CNaviModel::CNaviModel(IxExtAppBridge* bridge) : ExtAppModel(MODELID_NAVI, bridge)
{
    if (IxKernel* kernel = IxGetKernel())
        m_bListening = kernel->AddListener(kListenerFilter, this);
}

CNaviModel::~CNaviModel()
{
    if (m_bListening) {
        if (IxKernel* kernel = IxGetKernel())
            kernel->RemoveListener(kListenerFilter, this);
    }
}

const DWORD* CNaviModel::ListenerFilter()
{
    return kListenerFilter;
}

// ---------------------------------------------------------------------------
// CNaviLinkOwner

CNaviLinkOwner* CNaviLinkOwner::Create()
{
    auto* target = new (std::nothrow) IxNotifyTarget(static_cast<WORD>(MLA_EXTAPPREPORT));
    if (!target)
        return nullptr;
    auto* owner = new (std::nothrow) CNaviLinkOwner(target);
    if (!owner)
        target->Release();
    return owner;
}

CNaviLinkOwner::~CNaviLinkOwner()
{
    m_pTarget->Release();
}

int CNaviLinkOwner::Release()
{
    const int left = --m_nRef;
    if (left <= 0)
        delete this;
    return left;
}

void CNaviLinkOwner::OnLumoNotice(LumoNotice notice)
{
    m_pTarget->Post(static_cast<WORD>(notice), reinterpret_cast<LPARAM>(m_pSender));
}

BOOL CNaviLinkOwner::IsNaviEnabled() const
{
    const IxModelCenter* center = IxModelCenter::GetInstance();
    return !center || center->GetEnableWord(0) != 0;
}

BOOL CNaviLinkOwner::IsCallActive() const
{
    return FALSE;
}

BOOL CNaviLinkOwner::IsGuidanceAllowed() const
{
    // Without the setting model the guidance is not held back.
    const CSettingModel* setting = FindSettingModel();
    const BYTE* status = setting ? setting->GetStatus() : nullptr;
    return !status || SettingWord(status, SETTING_GUIDANCE) != 0;
}

// ---------------------------------------------------------------------------
// Get or create

void SetNaviLinkFactory(NaviLinkFactory factory)
{
    g_linkFactory = factory;
}

CNaviModel* GetNaviModel()
{
    if (IxModelCenter* center = IxModelCenter::GetInstance()) {
        if (IxModel* found = center->FindModel(MODELID_NAVI)) {
            auto* model = dynamic_cast<CNaviModel*>(found);
            if (model)
                model->AddRef();
            return model;
        }
    }
    CNaviLinkOwner* owner = CNaviLinkOwner::Create();
    IxExtAppBridge* link = owner && g_linkFactory ? g_linkFactory(owner) : nullptr;
    CNaviModel* model = link ? new (std::nothrow) CNaviModel(link) : nullptr;
    if (owner) {
        if (model)
            owner->SetSender(link);
        owner->Release(); // the link holds its own reference
    }
    if (!model) {
        delete link;
        IxRecordError(IXERR_NOMEMORY);
        return nullptr;
    }
    return model;
}
