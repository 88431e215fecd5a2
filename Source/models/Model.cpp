#include "Source/models/Model.h"

#include "Lib_cpp/kernel/Kernel.h"
#include "Source/models/ModelCenterBase.h"
#include "Source/models/ModelCodes.h"

namespace {

// The status bits of the flags in a zone.
DWORD StatusBits(DWORD flags, int zone)
{
    if (zone == ZONE_DEFAULT || zone == ZONE_MAIN)
        return flags;
    DWORD bits = 0;
    const bool second = zone == ZONE_SECOND;
    if (flags & MRF_AUDIO)
        bits |= second ? MSB_AUDIO1 : MSB_AUDIO2;
    if (flags & MRF_VIDEO)
        bits |= second ? MSB_VIDEO1 : MSB_VIDEO2;
    return bits;
}

} // namespace

IxModel::IxModel(int modelId) : m_nModelId(modelId)
{
    if (IxModelCenter* center = IxModelCenter::GetInstance())
        center->AddModel(this);
}

IxModel::~IxModel()
{
    if (IxModelCenter* center = IxModelCenter::GetInstance())
        center->ForgetModel(this);
    if (IxKernel* kernel = IxGetKernel())
        kernel->ForgetReceiver(this);
}

int IxModel::Release()
{
    const int left = --m_nRef;
    if (left <= 0)
        delete this;
    return left;
}

int IxModel::ActionIsInvoked(int, int, LPARAM)
{
    return 0;
}

LRESULT IxModel::MessageIsInvoked(int, LPARAM)
{
    return 0;
}

DWORD IxModel::TakeSource(DWORD* granted, DWORD flags, int zone)
{
    if (flags & MRF_AUDIO)
        SourceIsChanged(TRUE, zone);
    m_dwStatus |= StatusBits(flags, zone);
    if (granted)
        *granted = flags;
    return flags;
}

DWORD IxModel::ReleaseSource(DWORD* granted, DWORD flags, int zone)
{
    if (flags & MRF_AUDIO)
        SourceIsChanged(FALSE, zone);
    m_dwStatus &= ~StatusBits(flags, zone);
    if (granted)
        *granted = flags;
    return flags;
}

void IxModel::HideVideo(BOOL) {}

int IxModel::PlayToggle(int, int)
{
    return 1;
}

int IxModel::PolledValue()
{
    return 0;
}

int IxModel::SetVolume(int)
{
    return 0;
}

int IxModel::QueryAll(int, int)
{
    return 1;
}

void IxModel::DeviceStateIsChanged(int, int) {}

void IxModel::SourceIsChanged(BOOL on, int zone)
{
    IxModelCenter* center = IxModelCenter::GetInstance();
    if (!center)
        return;
    const int pathZone = zone == ZONE_DEFAULT ? ZONE_MAIN : zone;
    if (on) {
        center->SelectAudioPath(m_nModelId, pathZone);
        if (pathZone == ZONE_MAIN) {
            m_nMute = 0;
            center->SetSourceMute(FALSE, FALSE);
        }
        return;
    }
    if (pathZone == ZONE_MAIN) {
        m_nMute = 1;
        center->SetSourceMute(TRUE, FALSE);
    }
    center->ReleaseAudioPath(m_nModelId, pathZone);
}

BOOL IxModel::IsTunerTuning() const
{
    return FALSE;
}

void IxModel::MuteClear(BOOL fade)
{
    m_nMute = 0;
    if (IxModelCenter* center = IxModelCenter::GetInstance())
        center->SetSourceMute(FALSE, fade);
}

void IxModel::MuteSet(BOOL fade)
{
    m_nMute = 1;
    if (IxModelCenter* center = IxModelCenter::GetInstance())
        center->SetSourceMute(TRUE, fade);
}

void IxModel::MuteCountDown()
{
    if (--m_nMute >= 1)
        return;
    m_nMute = 0;
    if (IxModelCenter* center = IxModelCenter::GetInstance())
        center->SetSourceMute(FALSE, FALSE);
}

void IxModel::MuteCountUp()
{
    if (m_nMute++ != 0)
        return;
    if (IxModelCenter* center = IxModelCenter::GetInstance())
        center->SetSourceMute(TRUE, FALSE);
}

BOOL IxModel::Notify(int code, LPARAM value) const
{
    return PushGlobalAction(m_nModelId, code, value) != nullptr;
}
