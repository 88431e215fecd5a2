// The base of every model (a source of the unit: files, radio, discs,
// Bluetooth, the iPod, the inputs, navigation, settings): its reference
// count, its model id, its place in the model center's list, the status
// word that records which resources it holds in which zone, its mute word,
// and the operations every model answers. User-interface thread only.
#pragma once

#include "Lib_cpp/core/Containers.h"
#include "Lib_cpp/kernel/Receiver.h"
#include "platform/base/Types.h"

class IxModel : public IxListNode, public IxReceiver {
public:
    // Reference count 1; when the model center exists the model joins the
    // end of its list, which holds a second reference.
    explicit IxModel(int modelId);
    virtual ~IxModel();
    IxModel(const IxModel&) = delete;
    IxModel& operator=(const IxModel&) = delete;

    void AddRef() { ++m_nRef; }
    // Deletes the model when the last reference goes; answers the count left.
    int Release();

    int GetModelId() const { return m_nModelId; }
    DWORD GetStatus() const { return m_dwStatus; }
    int GetMuteWord() const { return m_nMute; }
    int GetRefCount() const { return m_nRef; }

    // The kernel's entries: events reach MessageIsInvoked (a kernel timer is
    // IXEV_TIMER with the address of the word that armed it).
    int ActionIsInvoked(int code, int kind, LPARAM param) override;
    LRESULT OnEvent(int code, LPARAM param) override { return MessageIsInvoked(code, param); }
    virtual LRESULT MessageIsInvoked(int message, LPARAM parameter);

    // The center hands a zone's resources over (MRF_* flags). The base grants
    // everything asked: audio first hands the path over (SourceIsChanged),
    // then the status bits follow. *granted and the result are what was
    // granted (given up).
    virtual DWORD TakeSource(DWORD* granted, DWORD flags, int zone);
    virtual DWORD ReleaseSource(DWORD* granted, DWORD flags, int zone);
    // The center's hide-video count reached 1 (on) or 0 (off).
    virtual void HideVideo(BOOL on);
    virtual int PlayToggle(int a, int b);
    // A value the center polls; it takes the largest over all models.
    virtual int PolledValue();
    // The volume applied in software (the center's player level below 0).
    virtual int SetVolume(int level);
    // A question put to every model; the center's answer is 1 only when
    // every model answers non-zero.
    virtual int QueryAll(int a, int b);
    // A device came, went or changed (device number, action kind).
    virtual void DeviceStateIsChanged(int device, int kind);
    // The zone's audio is handed to the model (on) or taken away: selects or
    // releases the model's path, and in the main zone clears or sets the
    // source mute.
    virtual void SourceIsChanged(BOOL on, int zone);
    // True while a tuner model waits for a tune to be confirmed (the device
    // mute waits less then).
    virtual BOOL IsTunerTuning() const;

    // The mute word, each followed by the center's source mute.
    void MuteClear(BOOL fade);
    void MuteSet(BOOL fade);
    void MuteCountDown();
    void MuteCountUp();

    // Queues the model's notification {model id, code} with the value on the
    // kernel's action queue; 0 when it cannot be queued.
    BOOL Notify(int code, LPARAM value) const;

protected:
    int m_nRef = 1;
    int m_nModelId;
    DWORD m_dwStatus = 0;
    int m_nMute = 0;
};
