// The storage and device manager: one table of the unit's attachable devices
// (storage cards, the USB disk, the iPod, the DVD deck, Bluetooth, the
// cameras, ACC, the park brake ...), each known by its device number, and the
// life cycle that turns raw presence notices into orderly device events:
// present, mount polling, mounted, delayed detach, failure wait, absent.
//
// Every change is queued on the kernel's action queue as action 30 whose
// kind says what happened (AEV_ATTACH, AEV_DEFAULT, AEV_BEGIN, AEV_COMPLETE,
// AEV_ABORT, AEV_DETACH) and whose value is the device number, or the number
// of the alias bound to the device. Aliases ("Navi", "SD2") bind at run time
// to one device of a family, so that the application can speak of the card
// that holds the navigation program whichever slot it sits in.
//
// The manager is a kernel listener (actions 31 to 35) and times its work
// with kernel timers; it runs on the user-interface thread only. A subclass
// supplies the presence and readiness probes and the hooks.
#pragma once

#include "Lib_cpp/core/Containers.h"
#include "Lib_cpp/core/String.h"
#include "Lib_cpp/fs/FileSystem.h"
#include "Lib_cpp/kernel/Kernel.h"
#include "platform/base/Types.h"

class IxFileWatcher;

// Device families: a number n belongs to the family 10 * (n / 10); the
// family chooses the probes.
enum : int {
    IXDF_STORAGE = 10,  // 10 first SD card, 11 second SD card, 12 USB disk
    IXDF_FAMILY20 = 20, // no device of the unit
    IXDF_IPOD = 30,
    IXDF_DVD = 40,
    IXDF_BLUETOOTH = 50,
    IXDF_FAMILY60 = 60, // no device of the unit
    IXDF_CAMERA = 70,   // 70 rear camera
};

// Device states.
enum : int {
    IXDS_REGISTERED = 0, // never probed
    IXDS_ABSENT = 1,
    IXDS_DETACHING = 3, // waiting out the detach delay
    IXDS_FAILED = 4,    // waiting out the failure wait
    IXDS_PRESENT = 6,   // present, not yet mounted
    IXDS_POLLING = 7,   // mount polling
    IXDS_MOUNTED = 9,
};

// Kinds of the manager's kernel timers: timer id = kind << 16 | (number & 0xFFFF).
enum : int {
    IXDT_DETACH = 3,
    IXDT_FAILURE = 4,
    IXDT_POLL = 8,
};

struct IxDeviceEntry {
    int nNumber = 0;
    IxString strPath;        // empty: no file-system root
    IxString strDisplayName; // a copy of the path unless replaced
    DWORD dwReserved = 0;    // the flag word of the alias that bound the device
    int nState = IXDS_REGISTERED;
    int nDetachDelay = 0;  // ms; 0: a detach takes effect at once
    int nFailureWait = 0;  // ms; 0: a failure makes the device absent at once
    int nPollInterval = 0; // ms; 0 or less: never poll
    // 0: mounted as soon as present; -N: mounted N poll intervals after
    // becoming present, without probing; N > 0: probed at once and then once
    // per interval, at most N ticks, before giving up.
    int nPollCount = 0;
    int nPollCounter = 0; // ticks since polling began
};

struct IxDeviceAlias {
    int nNumber = 0;    // may equal a device number
    DWORD dwFlags = 0;  // copied into the bound device's reserved flag
    IxString strName;   // "Navi"
    IxString strPrefix; // the candidates' paths start with it ("\S")
    int nBound = 0;     // bound device number, 0 = unbound
};

class IxDeviceManager : public IxReceiver {
public:
    // globalNotice: when non-zero the manager reacts to action 31. The first
    // manager made becomes the process's manager (IxGetDeviceManager).
    explicit IxDeviceManager(BOOL globalNotice);
    virtual ~IxDeviceManager();

    // Kernel timer events (36) run the timer step; other events are ignored.
    LRESULT OnEvent(int code, LPARAM param) override;
    // The listener entry; 1 for actions 31 to 35, else 0.
    int ActionIsInvoked(int code, int kind, LPARAM param) override;

    // The device an alias should bind to, or 0 to let the manager choose.
    virtual int PreferredTarget(int alias);
    // A folder of a device's path appeared or vanished: queues action 32 with
    // kind 4128 (arrived) or 4129 and the device number.
    virtual void OnVolumeNotice(int device, BOOL arrived);
    // Hooks: a mount attempt begins, the device became absent, mount polling
    // gave up. The number is the reported one (the alias when bound).
    virtual void OnPresent(int) {}
    virtual void OnAbsent(int) {}
    virtual void OnMountGaveUp(int) {}
    // Presence probes (is the device there now): by family, with the index
    // within the family, or the whole number for the rest. The storage and
    // family 60 probes ask the readiness probe of their family. The unit
    // names them after the family bases: ProbeFamily60, ProbeFamily30 (iPod),
    // ProbeFamily20, ProbeFamily10 (storage), ProbeFamily70 (camera), and
    // the readiness probes ProbeCountFamily60 ... ProbeCountOther.
    virtual BOOL ProbeFamily60(int index);
    virtual BOOL ProbeIpod(int) { return FALSE; }
    virtual BOOL ProbeFamily20(int) { return FALSE; }
    virtual BOOL ProbeStorage(int index);
    virtual BOOL ProbeCamera(int) { return FALSE; }
    virtual BOOL ProbeOther(int) { return FALSE; }
    // Readiness probes (is the device mounted now); count is the entry's
    // poll count. Storage answers whether its folder exists.
    virtual BOOL ProbeFamily60Ready(int, int) { return FALSE; }
    virtual BOOL ProbeIpodReady(int, int) { return FALSE; }
    virtual BOOL ProbeFamily20Ready(int, int) { return FALSE; }
    virtual BOOL ProbeStorageReady(int index, int) { return IsFolderPresent(index); }
    virtual BOOL ProbeCameraReady(int, int) { return FALSE; }
    virtual BOOL ProbeOtherReady(int, int) { return FALSE; }

    // ---- Set-up, before Start ----
    // Appends a device in state 0 (path null or empty: no file-system root).
    // Null with last error IXERR_NOMEMORY when the table cannot grow.
    IxDeviceEntry* AddDevice(int number, LPCWSTR path, int pollInterval, int pollCount, int detachDelay,
                             int failureWait);
    // Appends an unbound alias; null when the table cannot grow.
    IxDeviceAlias* AddAlias(int number, LPCWSTR name, LPCWSTR prefix, DWORD flags);
    BOOL SetDisplayName(int device, LPCWSTR text);
    // With probeAll every device is probed (and mounted when present, without
    // an attach event); then the manager listens to actions 31 to 35 and,
    // with a watch path, watches the folder names there. 0 only when the
    // listener cannot be registered (no kernel).
    BOOL Start(BOOL probeAll, LPCWSTR watchPath);
    // Deletes the watcher, stops listening and kills every timer.
    void Stop();

    // ---- Queries ----
    // 1 registered or absent, 2 present but not mounted, 3 mounted, 0 not registered.
    int GetState(int device) const;
    // The state of an alias's bound device (0 when unbound), or of the number
    // itself when it is no alias.
    int GetAliasState(int number) const;
    int GetAliasTarget(int alias) const;
    // The alias bound to the device, else the device number.
    int ResolveAlias(int device) const;
    // 1 and the path; an alias is first mapped to its bound device.
    BOOL GetPath(int number, IxString& path) const;
    // The first device whose path is exactly the first length characters of
    // text (without case): out = its display name, or the alias name when an
    // alias is bound to it, and the result is that alias's number (else 0).
    // 0 with out unchanged when no device matches.
    int GetDisplayName(const WCHAR* text, int length, IxString& out) const;
    // First mounted, unreserved device of [base, base + 9] in table order; 0 when none.
    int FindMountedInFamily(int base) const;
    // Appends for every present device of [base, base + 9] its number when
    // mounted, its negated number when only present. 0 when memory runs out.
    BOOL CollectFamily(int base, IxArray<int>* out, BOOL includeReserved) const;
    // The storage device base + index has a path that names an existing folder.
    BOOL IsFolderPresent(int index) const;

    // Watches folder names under path; their appearance and vanishing become
    // volume notices. 0 (no watcher) when the watch cannot be set.
    BOOL WatchPath(LPCWSTR path);
    // Hands the watcher's notices to OnVolumeNotice.
    void ProcessFileNotices();

    IxDeviceEntry* FindDevice(int number) const;
    IxDeviceAlias* FindAlias(int number) const;
    const IxRecordList<IxDeviceEntry>& Devices() const { return m_devices; }
    const IxRecordList<IxDeviceAlias>& Aliases() const { return m_aliases; }
    IxFileWatcher* GetWatcher() const { return m_pWatcher; }
    BOOL IsGlobalNotice() const { return m_bGlobalNotice; }

private:
    struct BindResult {
        int nDevice;
        BOOL bMount;
    };

    IxDeviceAlias* FindAliasBoundTo(int device) const;
    BOOL ProbePresence(int number);
    BOOL ProbeReady(const IxDeviceEntry& entry);
    void Report(int kind, int number);
    void StartTimer(const IxDeviceEntry& entry, int kind, int interval);
    void KillTimer(const IxDeviceEntry& entry, int kind);
    void CancelTimer(const IxDeviceEntry& entry);

    void OnTimerStep(UINT_PTR id);
    BOOL OnPresentNotice(int device, BOOL notify);
    BOOL TryMount(int device);
    void SetMounted(IxDeviceEntry& entry, BOOL notify);
    void SetAbsent(IxDeviceEntry& entry, BOOL notify);
    void BeginDetach(int device, BOOL notify);
    void OnFailed(int device);
    void OnReady(int device);
    void ForcePresent(int device);
    void ForceMounted(int device);
    BindResult BindAlias(int alias);
    void StartDevice(IxDeviceEntry& entry);
    void RescanAttach();
    void RescanDetach();
    void OnDeviceNotice(int device, int kind, BOOL mount);

    IxRecordList<IxDeviceEntry> m_devices{8};
    IxRecordList<IxDeviceAlias> m_aliases{8};
    BOOL m_bGlobalNotice;
    IxFileWatcher* m_pWatcher = nullptr;
    BOOL m_bListening = FALSE;
};

// The process's device manager (the first one made and still alive); null
// when there is none.
IxDeviceManager* IxGetDeviceManager();
