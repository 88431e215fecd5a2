// The base of the model center: the one registry of models, the arbiter that
// hands the audio and the video of each zone to one model at a time, the
// audio path per zone, the mute requests of every kind, the volume of the
// main and the second zone with the fades of the main output, the hide-video
// count, and forwarders to the storage device manager.
//
// The hardware is reached through virtual operations that do nothing here;
// the application's center (CModelCenter) drives the audio processor and the
// micom through them. Everything runs on the user-interface thread. The
// center queues its notifications (id MODELID_CENTER, MCN_* codes) on the
// kernel's action queue.
#pragma once

#include "Lib_cpp/core/Containers.h"
#include "Lib_cpp/core/String.h"
#include "Lib_cpp/kernel/Receiver.h"
#include "platform/base/Clock.h"
#include "platform/base/Types.h"

class IxDeviceManager;
class IxModel;

class IxModelCenter : public IxReceiver {
public:
    // Volume levels run from 0 to kMaxLevel; a step is kMaxLevel / divisor.
    static constexpr int kMaxLevel = 10000;

    // Becomes the process's center. pollInterval: ms between polls of the
    // models (0 none); pollFlagA: the initial latch of request A.
    IxModelCenter(int mainDivisor, int secondDivisor, int pollInterval, int pollFlagA);
    virtual ~IxModelCenter();
    IxModelCenter(const IxModelCenter&) = delete;
    IxModelCenter& operator=(const IxModelCenter&) = delete;

    // The process's center; null before one exists.
    static IxModelCenter* GetInstance();

    // ---- The kernel's entries ----
    int ActionIsInvoked(int code, int kind, LPARAM param) override;
    LRESULT OnEvent(int code, LPARAM param) override { return MessageIsInvoked(code, param); }
    // The poll timer polls the models; answers 1.
    virtual LRESULT MessageIsInvoked(int message, LPARAM parameter);

    // ---- Settings ----
    void SetPlayerLevel(int level) { m_nPlayerLevel = level; }
    void SetFade(int steps, int stepMs)
    {
        m_nFadeSteps = steps;
        m_nFadeStepTime = stepMs;
    }
    // The user mute and the amplifier mute flag, without touching anything.
    void SetInitialMute(BOOL on);
    void SetDeviceManager(IxDeviceManager* manager) { m_pDeviceManager = manager; }
    IxDeviceManager* GetDeviceManager() const { return m_pDeviceManager; }
    void SetVideoBypass(BOOL bypass) { m_bVideoBypass = bypass; }
    void SetPollBase(int base) { m_nPollBase = base; }

    // ---- Models ----
    // Links the model at the end of the list, which takes a reference (the
    // model's constructor calls it).
    void AddModel(IxModel* model);
    // Unlinks a model that is being deleted and clears the owner slots that
    // name it (the model's destructor calls it).
    void ForgetModel(IxModel* model);
    IxModel* FindModel(int modelId) const;
    int GetModelCount() const { return m_models.Count(); }
    // Two words the application object sets when it starts (both 1); the
    // user-activity step reads the second.
    void SetEnableWords(int first, int second)
    {
        m_nEnable[0] = first;
        m_nEnable[1] = second;
    }
    int GetEnableWord(int index) const { return index == 0 || index == 1 ? m_nEnable[index] : 0; }
    // Drops the list's reference of every model (deleting those no one else
    // holds) and empties the list.
    void ReleaseAllModels();

    // ---- Arbitration ----
    IxModel* GetZoneOwner(int zone) const;
    IxModel* GetVideoOwner(int zone) const;
    int GetSourceOwnerId(int zone) const;
    // The model's whole wish for the zone (MRF_* flags): what it does not ask
    // for and holds is given up, what it asks for is taken once its owner
    // gave it up. A null model empties the zone of what the flags name.
    void RequestSource(IxModel* model, DWORD flags, int zone);
    // Gives back what the model owns of what the flags name.
    void ReleaseSource(IxModel* model, DWORD flags, int zone);

    // ---- Audio paths ----
    // 1 done, 0 the switch was refused (the current path stays).
    BOOL SelectAudioPath(int modelId, int zone);
    void ReleaseAudioPath(int modelId, int zone);
    int GetRequestedPath(int zone) const { return m_requestedPath[ZoneIndex(zone)]; }
    int GetCurrentPath(int zone) const { return m_currentPath[ZoneIndex(zone)]; }

    // ---- Volume ----
    // Refused while mute holders exist; clamped to 0 ... kMaxLevel.
    void SetVolume(int level, BOOL notify = FALSE, BOOL unmute = FALSE);
    void StepVolume(int steps);
    void SetSecondVolume(int zone, int level, BOOL notify);
    void StepSecondVolume(int zone, int steps);
    int GetVolumeStep(int zone) const;
    int GetVolumeLevel() const { return m_nLevel; }
    int GetSecondLevel() const { return m_nSecondLevel; }
    int GetOutputLevel() const { return m_nOutputLevel; }
    int GetPlayerLevel() const;
    // Applies a level in software; only while the player level is below 0.
    int ApplySoftwareLevel(int level);

    // ---- Mutes ----
    void SetMute(BOOL on, BOOL notify);
    // Applies the user mute even when it does not change, without notice.
    void ForceMute(BOOL on);
    int GetMute() const { return m_nMute; }
    int GetBridgeMute() const { return m_nBridgeMute; }
    int GetSecondMute() const { return m_nSecondMute; }
    int GetExternalMute() const { return m_nExternalMute; }
    int GetSourceMute() const { return m_nSourceMute; }
    BOOL IsAmpMuted() const { return m_nAmpMute; }
    BOOL IsFadedDown() const { return m_bFadedDown; }
    void SetExternalMute(BOOL on);
    void SetBridgeMute(BOOL on);
    void SetSecondMute(int zone, BOOL on);
    void SetMuteHolder(int holderId, BOOL add);
    // Appends every holder id to out (when given); whether holders exist.
    BOOL GetMuteHolders(IxArray<int>* out) const;
    void SetSourceMute(BOOL on, BOOL fade);
    BOOL IsMuteRequested() const;

    // ---- Video ----
    void HideVideo(BOOL add);
    int GetHideVideoCount() const { return m_nHideVideo; }

    // ---- ACC and sources ----
    void AudioOn();
    void AudioOff();
    BOOL IsRunning() const { return m_bRunning; }
    void StartSources();
    void StopSources();
    BOOL AreSourcesStarted() const { return m_bSourcesStarted; }
    void SetRequestA(BOOL on);
    void SetRequestB(BOOL on);
    void WantRequestB();
    void UnwantRequestB();
    BOOL GetRequestA() const { return m_bPollFlagA; }
    BOOL GetRequestB() const { return m_bPollFlagB; }

    // ---- Models at large ----
    void PollModels(BOOL rearm = TRUE);
    int AskAllModels(int a, int b);
    void TellAllModels(int device, int kind);

    // ---- The storage device manager (0 without one) ----
    int ResolveAlias(int id) const;
    int GetAliasTarget(int alias) const;
    BOOL GetPath(int id, IxString& path) const;
    int GetState(int id) const;
    int GetAliasState(int id) const;
    BOOL CollectFamily(int family, IxArray<int>* out, BOOL flag) const;
    int GetFirstMounted(int family) const;
    int GetDisplayName(const WCHAR* text, int length, IxString& out) const;
    BOOL IsDeviceMounted102() const;

    static void GetLocalTimeNow(SYSTEMTIME* time);

    // The zone's index in the per-zone tables: 0 main (also -1), 1 second,
    // 2 every other.
    static int ZoneIndex(int zone);

protected:
    // ---- The hardware, replaced by the application's center ----
    // The volume became zero (zero) or left zero.
    virtual void OnLevelZero(BOOL zero);
    // The path of a model in a zone (the model id itself).
    virtual int GetModelPath(int modelId, int zone);
    // Switches the zone from the old path to the new; 0 refuses.
    virtual BOOL SetSourceMode(int newPath, int oldPath, int zone);
    // Switches the path off; 0 keeps it recorded as current.
    virtual BOOL PathOff(int path, int zone);
    // The amplifier mute line.
    virtual BOOL SetMicomByte(BOOL on, BOOL flag);
    // The second zone's mute.
    virtual BOOL SetZoneMute(int zone, BOOL on);
    // The device mute of the main output.
    virtual BOOL devMute(BOOL on);
    // The level the hardware gets for a path, a step and a level.
    virtual int ConvertLevel(int path, int step, int level);
    virtual BOOL ApplyZoneVolume(int zone, int path, int level);
    virtual BOOL ApplyMainVolume(int path, int level);
    // The level applied in software through the model.
    virtual int ApplyModelLevel(IxModel* model, int level);
    // Requests A and B: delivered at once as MCA_REQUESTA and MCA_REQUESTB.
    virtual BOOL RequestA(BOOL on);
    virtual BOOL RequestB(BOOL on);
    // The polled value.
    virtual void PolledValueIs(int value);
    // The hardware's waits (the source switch, the mute line, the fades).
    virtual void Pause(DWORD ms);

    // Queues the center's notification.
    static BOOL Notify(int code, LPARAM value);
    void ApplyVolume();
    void FadeDown(BOOL ramp);
    void FadeUp(BOOL ramp);

private:
    struct Owners {
        IxModel* pAudio = nullptr;
        IxModel* pVideo = nullptr;
    };

    void GiveUp(Owners& owners, DWORD flags, int zone);
    void AfterBridgeMute();
    void UpdateAmpMute(BOOL forUserMute);
    void HoldAmpMute();

protected:
    int m_nPlayerLevel = -1;
    int m_nEnable[2] = {};
    int m_nFadeSteps = 0;
    int m_nFadeStepTime = 0;
    IxList m_models;
    Owners m_owners[3];
    int m_requestedPath[3] = {-1, -1, -1};
    int m_currentPath[3] = {-1, -1, -1};
    BOOL m_bVideoBypass = FALSE;
    int m_nStepSize;
    int m_nLevel = 0;
    int m_nSecondStepSize;
    int m_nSecondLevel = 0;
    int m_nOutputLevel = 0;
    BOOL m_nAmpMute = FALSE;
    BOOL m_bFadedDown = FALSE;
    int m_nHideVideo = 0;
    int m_nExternalMute = 0;
    int m_nMute = 0;
    int m_nBridgeMute = 0;
    int m_nSecondMute = 0;
    int m_nSourceMute = 0;
    IxArray<int> m_holders{8};
    int m_nLastPolled = -1;
    BOOL m_bPollFlagA;
    BOOL m_bPollFlagB = FALSE;
    BOOL m_bRequestBWanted = FALSE;
    BOOL m_bRunning = FALSE;
    BOOL m_bSourcesStarted = FALSE;
    int m_nPollInterval; // its address is the poll timer's id
    int m_nPollBase = 0;
    IxDeviceManager* m_pDeviceManager = nullptr;
};
