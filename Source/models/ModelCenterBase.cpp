#include "Source/models/ModelCenterBase.h"

#include "Lib_cpp/core/ActionCodes.h"
#include "Lib_cpp/fs/DeviceManager.h"
#include "Lib_cpp/kernel/Kernel.h"
#include "Source/models/Model.h"
#include "Source/models/ModelCodes.h"

#include <algorithm>

namespace {

IxModelCenter* g_pCenter = nullptr;

IxModel* ModelOf(IxListNode* node)
{
    return static_cast<IxModel*>(node);
}

int Clamp(int level)
{
    return std::clamp(level, 0, IxModelCenter::kMaxLevel);
}

} // namespace

IxModelCenter::IxModelCenter(int mainDivisor, int secondDivisor, int pollInterval, int pollFlagA)
    : m_nStepSize(kMaxLevel / (mainDivisor > 0 ? mainDivisor : 1)),
      m_nSecondStepSize(kMaxLevel / (secondDivisor > 0 ? secondDivisor : 1)), m_bPollFlagA(pollFlagA),
      m_nPollInterval(pollInterval)
{
    g_pCenter = this;
}

IxModelCenter::~IxModelCenter()
{
    if (IxKernel* kernel = IxGetKernel())
        kernel->ForgetReceiver(this);
    // Models that outlive the center leave its list behind.
    while (IxListNode* node = m_models.PopFront())
        (void)node;
    if (g_pCenter == this)
        g_pCenter = nullptr;
}

IxModelCenter* IxModelCenter::GetInstance()
{
    return g_pCenter;
}

int IxModelCenter::ZoneIndex(int zone)
{
    if (zone == ZONE_DEFAULT || zone == ZONE_MAIN)
        return 0;
    return zone == ZONE_SECOND ? 1 : 2;
}

int IxModelCenter::ActionIsInvoked(int, int, LPARAM)
{
    return 0;
}

LRESULT IxModelCenter::MessageIsInvoked(int message, LPARAM parameter)
{
    if (message == IXEV_TIMER && static_cast<UINT_PTR>(parameter) == IxTimerId(&m_nPollInterval))
        PollModels(FALSE);
    return 1;
}

void IxModelCenter::SetInitialMute(BOOL on)
{
    m_nAmpMute = on;
    m_nMute = on;
}

BOOL IxModelCenter::Notify(int code, LPARAM value)
{
    return PushGlobalAction(MODELID_CENTER, code, value) != nullptr;
}

// ---------------------------------------------------------------------------
// Models

void IxModelCenter::AddModel(IxModel* model)
{
    model->AddRef();
    m_models.PushBack(model);
}

void IxModelCenter::ForgetModel(IxModel* model)
{
    if (m_models.IndexOf(model) < m_models.Count())
        m_models.Remove(model);
    for (Owners& owners : m_owners) {
        if (owners.pAudio == model)
            owners.pAudio = nullptr;
        if (owners.pVideo == model)
            owners.pVideo = nullptr;
    }
}

IxModel* IxModelCenter::FindModel(int modelId) const
{
    for (IxListNode* node = m_models.Head(); node; node = node->m_pNext) {
        if (ModelOf(node)->GetModelId() == modelId)
            return ModelOf(node);
    }
    return nullptr;
}

void IxModelCenter::ReleaseAllModels()
{
    // Unlinked first, so that a model deleted by its release finds itself
    // out of the list.
    while (IxListNode* node = m_models.PopFront())
        ModelOf(node)->Release();
}

// ---------------------------------------------------------------------------
// Arbitration

IxModel* IxModelCenter::GetZoneOwner(int zone) const
{
    return m_owners[ZoneIndex(zone)].pAudio;
}

IxModel* IxModelCenter::GetVideoOwner(int zone) const
{
    return m_owners[ZoneIndex(zone)].pVideo;
}

int IxModelCenter::GetSourceOwnerId(int zone) const
{
    const IxModel* owner = GetZoneOwner(zone);
    return owner ? owner->GetModelId() : 0;
}

void IxModelCenter::GiveUp(Owners& owners, DWORD flags, int zone)
{
    const DWORD both = MRF_AUDIO | MRF_VIDEO;
    DWORD granted = 0;
    if ((flags & both) == both && owners.pAudio == owners.pVideo) {
        owners.pAudio->ReleaseSource(&granted, both, zone);
        if (granted & MRF_AUDIO)
            owners.pAudio = nullptr;
        if (granted & MRF_VIDEO)
            owners.pVideo = nullptr;
        return;
    }
    if ((flags & MRF_AUDIO) && owners.pAudio) {
        granted = 0;
        owners.pAudio->ReleaseSource(&granted, MRF_AUDIO, zone);
        if (granted & MRF_AUDIO)
            owners.pAudio = nullptr;
    }
    if ((flags & MRF_VIDEO) && owners.pVideo) {
        granted = 0;
        owners.pVideo->ReleaseSource(&granted, MRF_VIDEO, zone);
        if (granted & MRF_VIDEO)
            owners.pVideo = nullptr;
    }
}

void IxModelCenter::RequestSource(IxModel* model, DWORD flags, int zone)
{
    Owners& owners = m_owners[ZoneIndex(zone)];
    IxModel* const audioBefore = owners.pAudio;
    const bool wantsVideo = (flags & (MRF_VIDEO | MRF_TAKEVIDEO)) != 0;

    DWORD release = 0;
    if (flags & MRF_AUDIO) {
        if (owners.pAudio && owners.pAudio != model)
            release |= MRF_AUDIO;
    } else if (owners.pAudio && owners.pAudio == model) {
        release |= MRF_AUDIO;
    }
    if (wantsVideo) {
        if (owners.pVideo && owners.pVideo != model)
            release |= MRF_VIDEO;
    } else if (owners.pVideo && owners.pVideo == model) {
        release |= MRF_VIDEO;
    }

    DWORD take = 0;
    if ((flags & MRF_VIDEO) && model && owners.pVideo != model)
        take |= MRF_VIDEO;
    if ((flags & MRF_AUDIO) && model && owners.pAudio != model)
        take |= MRF_AUDIO;

    if (m_bVideoBypass && (release & MRF_VIDEO)) {
        release &= ~static_cast<DWORD>(MRF_VIDEO);
        owners.pVideo = nullptr;
    }
    GiveUp(owners, release, zone);

    if (owners.pVideo)
        take &= ~static_cast<DWORD>(MRF_VIDEO);
    if (owners.pAudio)
        take &= ~static_cast<DWORD>(MRF_AUDIO);
    if (m_bVideoBypass && (take & MRF_VIDEO)) {
        take &= ~static_cast<DWORD>(MRF_VIDEO);
        owners.pVideo = model;
    }
    if (take && model) {
        DWORD granted = 0;
        model->TakeSource(&granted, take, zone);
        if (granted & MRF_VIDEO)
            owners.pVideo = model;
        if (granted & MRF_AUDIO)
            owners.pAudio = model;
    }

    if (ZoneIndex(zone) == 0 && owners.pAudio != audioBefore)
        Notify(MCN_OWNERCHANGED, owners.pAudio ? owners.pAudio->GetModelId() : 0);
}

void IxModelCenter::ReleaseSource(IxModel* model, DWORD flags, int zone)
{
    Owners& owners = m_owners[ZoneIndex(zone)];
    IxModel* const audioBefore = owners.pAudio;
    DWORD release = 0;
    if ((flags & MRF_AUDIO) && model && owners.pAudio == model)
        release |= MRF_AUDIO;
    if ((flags & (MRF_VIDEO | MRF_TAKEVIDEO)) && model && owners.pVideo == model)
        release |= MRF_VIDEO;
    if (m_bVideoBypass && (release & MRF_VIDEO)) {
        release &= ~static_cast<DWORD>(MRF_VIDEO);
        owners.pVideo = nullptr;
    }
    GiveUp(owners, release, zone);
    if (ZoneIndex(zone) == 0 && owners.pAudio != audioBefore)
        Notify(MCN_OWNERCHANGED, owners.pAudio ? owners.pAudio->GetModelId() : 0);
}

// ---------------------------------------------------------------------------
// Audio paths

BOOL IxModelCenter::SelectAudioPath(int modelId, int zone)
{
    const int z = ZoneIndex(zone);
    m_requestedPath[z] = modelId;
    const int path = modelId >= 0 ? GetModelPath(modelId, z) : modelId;
    if (path == m_currentPath[z])
        return TRUE;
    if (!SetSourceMode(path, m_currentPath[z], z))
        return FALSE;
    m_currentPath[z] = path;
    if (z == 0)
        ApplyVolume();
    return TRUE;
}

void IxModelCenter::ReleaseAudioPath(int modelId, int zone)
{
    const int z = ZoneIndex(zone);
    if (m_requestedPath[z] != modelId)
        return;
    m_requestedPath[z] = -1;
    if (m_currentPath[z] != -1 && PathOff(m_currentPath[z], z))
        m_currentPath[z] = -1;
}

void IxModelCenter::ApplyVolume()
{
    m_nOutputLevel = ConvertLevel(m_currentPath[0], m_nLevel / m_nStepSize, m_nLevel);
    if (m_nPlayerLevel >= 0)
        ApplyMainVolume(m_currentPath[0], m_nOutputLevel);
    else if (IxModel* owner = m_owners[0].pAudio)
        ApplyModelLevel(owner, m_nOutputLevel);
}

// ---------------------------------------------------------------------------
// Volume

void IxModelCenter::SetVolume(int level, BOOL notify, BOOL unmute)
{
    if (m_holders.Count() > 0)
        return;
    level = Clamp(level);
    if (level == m_nLevel) {
        if (notify)
            Notify(MCN_VOLUMESAME, level / m_nStepSize);
        return;
    }
    if (unmute) {
        SetMute(FALSE, TRUE);
        if ((m_nLevel == 0) != (level == 0))
            OnLevelZero(level == 0);
    }
    m_nLevel = level;
    ApplyVolume();
    if (notify)
        Notify(MCN_VOLUME, level / m_nStepSize);
}

void IxModelCenter::StepVolume(int steps)
{
    SetVolume(m_nLevel + steps * m_nStepSize, TRUE, TRUE);
}

void IxModelCenter::SetSecondVolume(int zone, int level, BOOL notify)
{
    level = Clamp(level);
    if (level != m_nSecondLevel) {
        SetSecondMute(zone, FALSE);
        m_nSecondLevel = level;
        ApplyZoneVolume(ZONE_SECOND, m_currentPath[1], level);
        if (notify)
            Notify(MCN_SECONDVOLUME, level / m_nSecondStepSize);
        return;
    }
    if (notify)
        Notify(MCN_SECONDVOLUMESAME, level / m_nSecondStepSize);
}

void IxModelCenter::StepSecondVolume(int zone, int steps)
{
    SetSecondVolume(zone, m_nSecondLevel + steps * m_nSecondStepSize, TRUE);
}

int IxModelCenter::GetVolumeStep(int zone) const
{
    return zone == ZONE_MAIN ? m_nLevel / m_nStepSize : m_nSecondLevel / m_nSecondStepSize;
}

int IxModelCenter::GetPlayerLevel() const
{
    if (m_nPlayerLevel >= 0)
        return m_nPlayerLevel;
    return m_bFadedDown ? 0 : m_nOutputLevel;
}

int IxModelCenter::ApplySoftwareLevel(int level)
{
    if (m_nPlayerLevel >= 0)
        return 0;
    return ApplyMainVolume(m_currentPath[0], level);
}

// ---------------------------------------------------------------------------
// Fades of the main output. Each acts only on a change of the faded-down
// flag; a ramp sleeps at most fade steps × step time on the way.

void IxModelCenter::FadeDown(BOOL ramp)
{
    if (m_bFadedDown)
        return;
    m_bFadedDown = TRUE;
    if (m_nPlayerLevel < 0) {
        if (IxModel* owner = m_owners[0].pAudio)
            ApplyModelLevel(owner, 0);
        return;
    }
    if (!ramp || m_nFadeSteps < 1) {
        devMute(TRUE);
        return;
    }
    const int path = m_currentPath[0];
    const int decrement = m_nOutputLevel / m_nFadeSteps;
    if (decrement > 0) {
        int level = m_nOutputLevel;
        for (int i = 1; i < m_nFadeSteps; ++i) {
            level -= decrement;
            if (level < 1)
                break;
            ApplyMainVolume(path, level);
            Pause(static_cast<DWORD>(std::max(m_nFadeStepTime, 0)));
        }
    }
    ApplyMainVolume(path, 0);
    devMute(TRUE);
    Pause(static_cast<DWORD>(std::max(m_nFadeStepTime, 0)));
    // The level comes back behind the mute.
    ApplyMainVolume(path, m_nOutputLevel);
}

void IxModelCenter::FadeUp(BOOL ramp)
{
    if (!m_bFadedDown)
        return;
    m_bFadedDown = FALSE;
    if (m_nPlayerLevel < 0) {
        if (IxModel* owner = m_owners[0].pAudio)
            ApplyModelLevel(owner, m_nOutputLevel);
        return;
    }
    if (!ramp || m_nFadeSteps < 1) {
        devMute(FALSE);
        return;
    }
    const int path = m_currentPath[0];
    const DWORD wait = static_cast<DWORD>(std::max(m_nFadeStepTime, 0));
    ApplyMainVolume(path, 0);
    Pause(wait);
    devMute(FALSE);
    const int increment = m_nOutputLevel / m_nFadeSteps;
    for (int i = 1; i < m_nFadeSteps; ++i) {
        ApplyMainVolume(path, i * increment);
        Pause(wait);
    }
    ApplyMainVolume(path, m_nOutputLevel);
}

// ---------------------------------------------------------------------------
// Mutes

BOOL IxModelCenter::IsMuteRequested() const
{
    return m_nSourceMute || m_nBridgeMute || m_holders.Count() > 0;
}

void IxModelCenter::SetSourceMute(BOOL on, BOOL fade)
{
    if ((on != 0) != (m_nSourceMute != 0))
        m_nSourceMute = on ? 1 : 0;
    if (IsMuteRequested())
        FadeDown(fade);
    else if (m_bRunning)
        FadeUp(fade);
}

void IxModelCenter::AfterBridgeMute()
{
    if (IsMuteRequested())
        FadeDown(FALSE);
    else if (m_bRunning)
        FadeUp(FALSE);
}

void IxModelCenter::SetBridgeMute(BOOL on)
{
    on = on ? 1 : 0;
    if (on != m_nBridgeMute) {
        m_nBridgeMute = on;
        Notify(on ? MCN_BRIDGEMUTEON : MCN_BRIDGEMUTEOFF, m_holders.Count() > 0 ? 1 : 0);
    }
    AfterBridgeMute();
}

void IxModelCenter::SetMuteHolder(int holderId, BOOL add)
{
    const int at = m_holders.IndexOfValue(holderId);
    if (add) {
        if (at >= 0 || !m_holders.Add(holderId))
            return;
        Notify(MCN_HOLDERADDED, holderId);
    } else {
        if (at < 0)
            return;
        m_holders.RemoveAt(at);
        Notify(MCN_HOLDERREMOVED, holderId);
    }
    AfterBridgeMute();
}

BOOL IxModelCenter::GetMuteHolders(IxArray<int>* out) const
{
    if (out)
        out->Insert(out->Count(), m_holders.Data(), m_holders.Count());
    return m_holders.Count() > 0;
}

void IxModelCenter::HoldAmpMute()
{
    if (m_nAmpMute)
        return;
    m_nAmpMute = TRUE;
    SetMicomByte(TRUE, TRUE);
}

void IxModelCenter::UpdateAmpMute(BOOL forUserMute)
{
    if (m_nMute || m_nExternalMute) {
        HoldAmpMute();
        return;
    }
    if (m_bRunning && m_nAmpMute && (!forUserMute || m_nLevel != 0)) {
        m_nAmpMute = FALSE;
        SetMicomByte(FALSE, FALSE);
    }
}

void IxModelCenter::SetMute(BOOL on, BOOL notify)
{
    on = on ? 1 : 0;
    if (on == m_nMute)
        return;
    m_nMute = on;
    if (notify)
        Notify(MCN_MUTE, on);
    UpdateAmpMute(TRUE);
}

void IxModelCenter::ForceMute(BOOL on)
{
    m_nMute = on ? 1 : 0;
    UpdateAmpMute(TRUE);
}

void IxModelCenter::SetExternalMute(BOOL on)
{
    on = on ? 1 : 0;
    if (on == m_nExternalMute)
        return;
    m_nExternalMute = on;
    UpdateAmpMute(FALSE);
}

void IxModelCenter::SetSecondMute(int zone, BOOL on)
{
    on = on ? 1 : 0;
    if (on == m_nSecondMute)
        return;
    m_nSecondMute = on;
    Notify(on ? MCN_SECONDMUTEON : MCN_SECONDMUTEOFF, 0);
    SetZoneMute(zone, on);
}

// ---------------------------------------------------------------------------
// Video

void IxModelCenter::HideVideo(BOOL add)
{
    if (add)
        ++m_nHideVideo;
    else if (m_nHideVideo > 0)
        --m_nHideVideo;
    IxModel* target = m_owners[0].pVideo ? m_owners[0].pVideo : m_owners[0].pAudio;
    if (!target)
        return;
    if (m_nHideVideo == 1)
        target->HideVideo(TRUE);
    else if (m_nHideVideo == 0)
        target->HideVideo(FALSE);
}

// ---------------------------------------------------------------------------
// ACC and sources

void IxModelCenter::AudioOn()
{
    if (m_bRunning)
        return;
    m_bRunning = TRUE;
    if (!m_nMute && !m_nExternalMute && m_nAmpMute) {
        m_nAmpMute = FALSE;
        SetMicomByte(FALSE, FALSE);
    }
    if (!IsMuteRequested())
        FadeUp(FALSE);
    if (m_bRequestBWanted)
        SetRequestB(TRUE);
}

void IxModelCenter::AudioOff()
{
    if (!m_bRunning)
        return;
    m_bRunning = FALSE;
    SetRequestB(FALSE);
    FadeDown(FALSE);
    HoldAmpMute();
}

void IxModelCenter::StartSources()
{
    if (m_bSourcesStarted)
        return;
    m_bVideoBypass = FALSE;
    m_bSourcesStarted = TRUE;
    SetSourceMute(TRUE, FALSE);
    if (m_nPollInterval != 0) {
        if (IxKernel* kernel = IxGetKernel())
            kernel->SetTimer(this, IxTimerId(&m_nPollInterval), m_nPollInterval);
    }
}

void IxModelCenter::StopSources()
{
    if (!m_bSourcesStarted)
        return;
    if (m_nPollInterval != 0) {
        if (IxKernel* kernel = IxGetKernel())
            kernel->KillTimer(this, IxTimerId(&m_nPollInterval));
    }
    RequestSource(nullptr, MRF_ALL, ZONE_MAIN);
    SelectAudioPath(-1, ZONE_MAIN);
    m_bSourcesStarted = FALSE;
}

void IxModelCenter::SetRequestA(BOOL on)
{
    if (on && !m_bPollFlagA) {
        if (RequestA(TRUE))
            m_bPollFlagA = TRUE;
    } else if (!on && m_bPollFlagA) {
        if (RequestA(FALSE))
            m_bPollFlagA = FALSE;
    }
}

void IxModelCenter::SetRequestB(BOOL on)
{
    if (on && !m_bPollFlagB) {
        if (RequestB(TRUE))
            m_bPollFlagB = TRUE;
    } else if (!on && m_bPollFlagB) {
        if (RequestB(FALSE))
            m_bPollFlagB = FALSE;
    }
}

void IxModelCenter::WantRequestB()
{
    m_bRequestBWanted = TRUE;
    if (m_bRunning)
        SetRequestB(TRUE);
}

void IxModelCenter::UnwantRequestB()
{
    m_bRequestBWanted = FALSE;
    SetRequestB(FALSE);
}

// ---------------------------------------------------------------------------
// Models at large

void IxModelCenter::PollModels(BOOL rearm)
{
    int value = m_nPollBase;
    for (IxListNode* node = m_models.Head(); node; node = node->m_pNext)
        value = std::max(value, ModelOf(node)->PolledValue());
    if (m_nPollInterval != 0 || value != m_nLastPolled) {
        m_nLastPolled = value;
        PolledValueIs(value);
    }
    if (rearm && m_nPollInterval != 0) {
        if (IxKernel* kernel = IxGetKernel())
            kernel->SetTimer(this, IxTimerId(&m_nPollInterval), m_nPollInterval);
    }
}

int IxModelCenter::AskAllModels(int a, int b)
{
    for (IxListNode* node = m_models.Head(); node; node = node->m_pNext) {
        if (!ModelOf(node)->QueryAll(a, b))
            return 0;
    }
    return 1;
}

void IxModelCenter::TellAllModels(int device, int kind)
{
    for (IxListNode* node = m_models.Head(); node; node = node->m_pNext)
        ModelOf(node)->DeviceStateIsChanged(device, kind);
}

// ---------------------------------------------------------------------------
// The storage device manager

int IxModelCenter::ResolveAlias(int id) const
{
    return m_pDeviceManager ? m_pDeviceManager->ResolveAlias(id) : 0;
}

int IxModelCenter::GetAliasTarget(int alias) const
{
    return m_pDeviceManager ? m_pDeviceManager->GetAliasTarget(alias) : 0;
}

BOOL IxModelCenter::GetPath(int id, IxString& path) const
{
    return m_pDeviceManager ? m_pDeviceManager->GetPath(id, path) : FALSE;
}

int IxModelCenter::GetState(int id) const
{
    return m_pDeviceManager ? m_pDeviceManager->GetState(id) : 0;
}

int IxModelCenter::GetAliasState(int id) const
{
    return m_pDeviceManager ? m_pDeviceManager->GetAliasState(id) : 0;
}

BOOL IxModelCenter::CollectFamily(int family, IxArray<int>* out, BOOL flag) const
{
    return m_pDeviceManager ? m_pDeviceManager->CollectFamily(family, out, flag) : FALSE;
}

int IxModelCenter::GetFirstMounted(int family) const
{
    return m_pDeviceManager ? m_pDeviceManager->FindMountedInFamily(family) : 0;
}

int IxModelCenter::GetDisplayName(const WCHAR* text, int length, IxString& out) const
{
    return m_pDeviceManager ? m_pDeviceManager->GetDisplayName(text, length, out) : 0;
}

BOOL IxModelCenter::IsDeviceMounted102() const
{
    return GetState(DEVNO_PARK) == 3;
}

void IxModelCenter::GetLocalTimeNow(SYSTEMTIME* time)
{
    GetLocalTime(time);
}

// ---------------------------------------------------------------------------
// The hardware: nothing here

void IxModelCenter::OnLevelZero(BOOL) {}

int IxModelCenter::GetModelPath(int modelId, int)
{
    return modelId;
}

BOOL IxModelCenter::SetSourceMode(int, int, int)
{
    return TRUE;
}

BOOL IxModelCenter::PathOff(int, int)
{
    return FALSE;
}

BOOL IxModelCenter::SetMicomByte(BOOL, BOOL)
{
    return FALSE;
}

BOOL IxModelCenter::SetZoneMute(int, BOOL)
{
    return FALSE;
}

BOOL IxModelCenter::devMute(BOOL)
{
    return FALSE;
}

int IxModelCenter::ConvertLevel(int, int, int level)
{
    return level;
}

BOOL IxModelCenter::ApplyZoneVolume(int, int, int)
{
    return FALSE;
}

BOOL IxModelCenter::ApplyMainVolume(int, int)
{
    return FALSE;
}

int IxModelCenter::ApplyModelLevel(IxModel* model, int level)
{
    return model ? model->SetVolume(level) : 0;
}

BOOL IxModelCenter::RequestA(BOOL on)
{
    IxBroadcast(MCA_REQUESTA, AEV_DEFAULT, on);
    return TRUE;
}

BOOL IxModelCenter::RequestB(BOOL on)
{
    IxBroadcast(MCA_REQUESTB, AEV_DEFAULT, on);
    return TRUE;
}

void IxModelCenter::PolledValueIs(int) {}

void IxModelCenter::Pause(DWORD ms)
{
    if (ms > 0)
        Sleep(ms);
}
