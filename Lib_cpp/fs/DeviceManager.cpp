#include "Lib_cpp/fs/DeviceManager.h"

#include "Lib_cpp/core/Diag.h"
#include "Lib_cpp/core/Notify.h"
#include "Lib_cpp/core/Utility.h"
#include "Lib_cpp/fs/FileThreads.h"
#include "Lib_cpp/kernel/Kernel.h"
#include "platform/base/Text.h"

#include <new>

namespace {

IxDeviceManager* g_pManager = nullptr;
// Set while SetMounted mounts the other waiting devices of an alias's family,
// so that those mounts do not start the same walk again.
bool g_bMountingFamily = false;

// The actions the manager listens to.
const DWORD kListenFilter[] = {
    IxActionWord(IXA_FILENOTICE, 0),  IxActionWord(IXA_DEVICENOTICE, 0),   IxActionWord(IXA_ALIASNOTICE, 0),
    IxActionWord(IXA_FORCENOTICE, 0), IxActionWord(IXA_PLATFORMNOTICE, 0), 0,
};

int FamilyBase(int number)
{
    return number / 10 * 10;
}

UINT_PTR TimerId(int kind, int number)
{
    return (static_cast<UINT_PTR>(kind) << 16) | (static_cast<UINT_PTR>(number) & 0xFFFF);
}

// The timer kind that belongs to a state; 0 for states without a timer.
int TimerKindOf(int state)
{
    switch (state) {
    case IXDS_POLLING:
        return IXDT_POLL;
    case IXDS_DETACHING:
        return IXDT_DETACH;
    case IXDS_FAILED:
        return IXDT_FAILURE;
    default:
        return 0;
    }
}

} // namespace

IxDeviceManager* IxGetDeviceManager()
{
    return g_pManager;
}

IxDeviceManager::IxDeviceManager(BOOL globalNotice) : m_bGlobalNotice(globalNotice)
{
    if (!g_pManager)
        g_pManager = this;
}

IxDeviceManager::~IxDeviceManager()
{
    Stop();
    if (IxKernel* kernel = IxGetKernel())
        kernel->ForgetReceiver(this);
    if (g_pManager == this)
        g_pManager = nullptr;
}

// ---------------------------------------------------------------------------
// Set-up

IxDeviceEntry* IxDeviceManager::AddDevice(int number, LPCWSTR path, int pollInterval, int pollCount, int detachDelay,
                                          int failureWait)
{
    IxDeviceEntry entry;
    entry.nNumber = number;
    if (path && *path) {
        if (!entry.strPath.Assign(path))
            return nullptr;
        entry.strDisplayName = entry.strPath;
    }
    entry.nPollInterval = pollInterval;
    entry.nPollCount = pollCount;
    entry.nDetachDelay = detachDelay;
    entry.nFailureWait = failureWait;
    if (!m_devices.Add(entry))
        return nullptr;
    return &m_devices[m_devices.Count() - 1];
}

IxDeviceAlias* IxDeviceManager::AddAlias(int number, LPCWSTR name, LPCWSTR prefix, DWORD flags)
{
    IxDeviceAlias alias;
    alias.nNumber = number;
    alias.dwFlags = flags;
    if (!alias.strName.Assign(name) || !alias.strPrefix.Assign(prefix))
        return nullptr;
    if (!m_aliases.Add(alias))
        return nullptr;
    return &m_aliases[m_aliases.Count() - 1];
}

BOOL IxDeviceManager::SetDisplayName(int device, LPCWSTR text)
{
    IxDeviceEntry* entry = FindDevice(device);
    return entry ? entry->strDisplayName.Assign(text) : FALSE;
}

BOOL IxDeviceManager::Start(BOOL probeAll, LPCWSTR watchPath)
{
    if (probeAll) {
        for (int i = 0; i < m_devices.Count(); ++i)
            StartDevice(m_devices[i]);
    }
    IxKernel* kernel = IxGetKernel();
    if (!m_bListening && kernel)
        m_bListening = kernel->AddListener(kListenFilter, this);
    if (watchPath)
        WatchPath(watchPath);
    return m_bListening;
}

void IxDeviceManager::Stop()
{
    if (m_pWatcher) {
        delete m_pWatcher;
        m_pWatcher = nullptr;
    }
    if (IxKernel* kernel = IxGetKernel()) {
        if (m_bListening)
            kernel->RemoveListener(kListenFilter, this);
        kernel->KillTimer(this, 0);
    }
    m_bListening = FALSE;
}

// ---------------------------------------------------------------------------
// Queries

IxDeviceEntry* IxDeviceManager::FindDevice(int number) const
{
    for (int i = 0; i < m_devices.Count(); ++i) {
        if (m_devices[i].nNumber == number)
            return const_cast<IxDeviceEntry*>(&m_devices[i]);
    }
    return nullptr;
}

IxDeviceAlias* IxDeviceManager::FindAlias(int number) const
{
    for (int i = 0; i < m_aliases.Count(); ++i) {
        if (m_aliases[i].nNumber == number)
            return const_cast<IxDeviceAlias*>(&m_aliases[i]);
    }
    return nullptr;
}

IxDeviceAlias* IxDeviceManager::FindAliasBoundTo(int device) const
{
    if (device == 0)
        return nullptr;
    for (int i = 0; i < m_aliases.Count(); ++i) {
        if (m_aliases[i].nBound == device)
            return const_cast<IxDeviceAlias*>(&m_aliases[i]);
    }
    return nullptr;
}

int IxDeviceManager::GetState(int device) const
{
    const IxDeviceEntry* entry = FindDevice(device);
    if (!entry)
        return 0;
    switch (entry->nState) {
    case IXDS_REGISTERED:
    case IXDS_ABSENT:
        return 1;
    case IXDS_MOUNTED:
        return 3;
    default:
        return 2;
    }
}

int IxDeviceManager::GetAliasState(int number) const
{
    if (const IxDeviceAlias* alias = FindAlias(number))
        return alias->nBound ? GetState(alias->nBound) : 0;
    return GetState(number);
}

int IxDeviceManager::GetAliasTarget(int alias) const
{
    const IxDeviceAlias* entry = FindAlias(alias);
    return entry ? entry->nBound : 0;
}

int IxDeviceManager::ResolveAlias(int device) const
{
    const IxDeviceAlias* alias = FindAliasBoundTo(device);
    return alias ? alias->nNumber : device;
}

BOOL IxDeviceManager::GetPath(int number, IxString& path) const
{
    if (const IxDeviceAlias* alias = FindAlias(number))
        number = alias->nBound;
    const IxDeviceEntry* entry = number ? FindDevice(number) : nullptr;
    if (!entry)
        return FALSE;
    path = entry->strPath;
    return TRUE;
}

int IxDeviceManager::GetDisplayName(const WCHAR* text, int length, IxString& out) const
{
    if (!text || length < 0)
        return 0;
    for (int i = 0; i < m_devices.Count(); ++i) {
        const IxDeviceEntry& entry = m_devices[i];
        if ((entry.strPath.Length() != length || !IxStartsWithNoCase(entry.strPath.Text(), text, length)))
            continue;
        out = entry.strDisplayName;
        if (const IxDeviceAlias* alias = FindAliasBoundTo(entry.nNumber)) {
            out = alias->strName;
            return alias->nNumber;
        }
        return 0;
    }
    return 0;
}

int IxDeviceManager::FindMountedInFamily(int base) const
{
    for (int i = 0; i < m_devices.Count(); ++i) {
        const IxDeviceEntry& entry = m_devices[i];
        if (entry.nNumber >= base && entry.nNumber <= base + 9 && !entry.dwReserved && entry.nState == IXDS_MOUNTED)
            return entry.nNumber;
    }
    return 0;
}

BOOL IxDeviceManager::CollectFamily(int base, IxArray<int>* out, BOOL includeReserved) const
{
    if (!out)
        return TRUE;
    for (int i = 0; i < m_devices.Count(); ++i) {
        const IxDeviceEntry& entry = m_devices[i];
        if (entry.nNumber < base || entry.nNumber > base + 9)
            continue;
        if ((entry.dwReserved && !includeReserved) || entry.nState < 2)
            continue;
        if (!out->Add(entry.nState == IXDS_MOUNTED ? entry.nNumber : -entry.nNumber))
            return FALSE;
    }
    return TRUE;
}

BOOL IxDeviceManager::IsFolderPresent(int index) const
{
    const IxDeviceEntry* entry = FindDevice(IXDF_STORAGE + index);
    return entry && !entry->strPath.IsEmpty() && IxFolderExists(entry->strPath.Text());
}

// ---------------------------------------------------------------------------
// Probes and hooks

int IxDeviceManager::PreferredTarget(int)
{
    return 0;
}

void IxDeviceManager::OnVolumeNotice(int device, BOOL arrived)
{
    PushGlobalAction(IXA_DEVICENOTICE, arrived ? AEV_ATTACH : AEV_DETACH, device);
}

BOOL IxDeviceManager::ProbeFamily60(int index)
{
    return ProbeFamily60Ready(index, 0);
}

BOOL IxDeviceManager::ProbeStorage(int index)
{
    return ProbeStorageReady(index, 0);
}

BOOL IxDeviceManager::ProbePresence(int number)
{
    int index = number - FamilyBase(number);
    switch (FamilyBase(number)) {
    case IXDF_FAMILY60:
        return ProbeFamily60(index);
    case IXDF_IPOD:
        return ProbeIpod(index);
    case IXDF_FAMILY20:
        return ProbeFamily20(index);
    case IXDF_STORAGE:
        return ProbeStorage(index);
    case IXDF_CAMERA:
        return ProbeCamera(index);
    default:
        return ProbeOther(number);
    }
}

BOOL IxDeviceManager::ProbeReady(const IxDeviceEntry& entry)
{
    int number = entry.nNumber;
    int count = entry.nPollCount;
    int index = number - FamilyBase(number);
    switch (FamilyBase(number)) {
    case IXDF_FAMILY60:
        return ProbeFamily60Ready(index, count);
    case IXDF_IPOD:
        return ProbeIpodReady(index, count);
    case IXDF_FAMILY20:
        return ProbeFamily20Ready(index, count);
    case IXDF_STORAGE:
        return ProbeStorageReady(index, count);
    case IXDF_CAMERA:
        return ProbeCameraReady(index, count);
    default:
        return ProbeOtherReady(number, count);
    }
}

// ---------------------------------------------------------------------------
// Events and timers

void IxDeviceManager::Report(int kind, int number)
{
    PushGlobalAction(IXA_DEVICEEVENT, kind, number);
}

void IxDeviceManager::StartTimer(const IxDeviceEntry& entry, int kind, int interval)
{
    if (IxKernel* kernel = IxGetKernel())
        kernel->SetTimer(this, TimerId(kind, entry.nNumber), interval);
}

void IxDeviceManager::KillTimer(const IxDeviceEntry& entry, int kind)
{
    if (IxKernel* kernel = IxGetKernel())
        kernel->KillTimer(this, TimerId(kind, entry.nNumber));
}

void IxDeviceManager::CancelTimer(const IxDeviceEntry& entry)
{
    if (int kind = TimerKindOf(entry.nState))
        KillTimer(entry, kind);
}

LRESULT IxDeviceManager::OnEvent(int code, LPARAM param)
{
    if (code == IXEV_TIMER)
        OnTimerStep(static_cast<UINT_PTR>(param));
    return 0;
}

void IxDeviceManager::OnTimerStep(UINT_PTR id)
{
    int number = static_cast<int>(id & 0xFFFF);
    int kind = static_cast<int>((id >> 16) & 0xFFFF);
    IxDeviceEntry* entry = FindDevice(number);
    // Only the timer of the entry's current state acts; any other one is
    // stale and only goes.
    if (!entry || kind == 0 || TimerKindOf(entry->nState) != kind) {
        if (IxKernel* kernel = IxGetKernel())
            kernel->KillTimer(this, id);
        return;
    }
    switch (kind) {
    case IXDT_POLL: {
        ++entry->nPollCounter;
        if (entry->nPollCount < 0) {
            // Mounted a fixed number of intervals after becoming present.
            if (entry->nPollCounter >= -entry->nPollCount) {
                KillTimer(*entry, IXDT_POLL);
                SetMounted(*entry, TRUE);
            }
            return;
        }
        if (ProbeReady(*entry)) {
            KillTimer(*entry, IXDT_POLL);
            SetMounted(*entry, TRUE);
        } else if (entry->nPollCounter >= entry->nPollCount) {
            KillTimer(*entry, IXDT_POLL);
            int reported = ResolveAlias(number);
            Report(AEV_ABORT, reported);
            SetAbsent(*entry, TRUE);
            OnMountGaveUp(reported);
        }
        return;
    }
    case IXDT_DETACH:
        KillTimer(*entry, IXDT_DETACH);
        SetAbsent(*entry, TRUE);
        return;
    case IXDT_FAILURE:
        KillTimer(*entry, IXDT_FAILURE);
        if (!ProbePresence(number)) {
            SetAbsent(*entry, TRUE);
            return;
        }
        // Still there: try the mount again from the present state, so that
        // the device does not stay in the failure state for ever.
        entry->nState = IXDS_PRESENT;
        TryMount(number);
        return;
    default:
        return;
    }
}

// ---------------------------------------------------------------------------
// Listener entry

int IxDeviceManager::ActionIsInvoked(int code, int kind, LPARAM param)
{
    int number = static_cast<int>(param);
    switch (code) {
    case IXA_PLATFORMNOTICE:
        if (m_bGlobalNotice) {
            if (kind == AEV_ATTACH)
                RescanAttach();
            else if (kind == AEV_DETACH)
                RescanDetach();
        }
        return 1;
    case IXA_DEVICENOTICE:
        OnDeviceNotice(number, kind, TRUE);
        return 1;
    case IXA_ALIASNOTICE:
        if (kind == AEV_ATTACH) {
            BindResult bound = BindAlias(number);
            OnDeviceNotice(bound.nDevice, kind, bound.bMount);
        } else if (const IxDeviceAlias* alias = FindAlias(number)) {
            OnDeviceNotice(alias->nBound, kind, TRUE);
        }
        return 1;
    case IXA_FORCENOTICE:
        if (kind == AEV_DEFAULT)
            ForceMounted(number);
        else if (kind == AEV_ATTACH)
            ForcePresent(number);
        else
            OnDeviceNotice(number, kind, TRUE);
        return 1;
    case IXA_FILENOTICE:
        ProcessFileNotices();
        return 1;
    default:
        return 0;
    }
}

void IxDeviceManager::OnDeviceNotice(int device, int kind, BOOL mount)
{
    if (device == 0)
        return;
    switch (kind) {
    case AEV_DEFAULT:
        OnReady(device);
        break;
    case AEV_FAILED:
        OnFailed(device);
        break;
    case AEV_ATTACH:
        if (OnPresentNotice(device, TRUE) && mount)
            TryMount(device);
        break;
    case AEV_DETACH:
        BeginDetach(device, TRUE);
        break;
    default:
        break;
    }
}

// ---------------------------------------------------------------------------
// Life cycle

BOOL IxDeviceManager::OnPresentNotice(int device, BOOL notify)
{
    IxDeviceEntry* entry = FindDevice(device);
    if (!entry)
        return FALSE;
    switch (entry->nState) {
    case IXDS_REGISTERED:
    case IXDS_ABSENT:
        entry->nState = IXDS_PRESENT;
        if (notify)
            Report(AEV_ATTACH, ResolveAlias(device));
        return TRUE;
    case IXDS_DETACHING:
    case IXDS_FAILED:
        CancelTimer(*entry);
        entry->nState = IXDS_MOUNTED;
        Report(AEV_BEGIN, ResolveAlias(device));
        return TRUE;
    default:
        return FALSE;
    }
}

BOOL IxDeviceManager::TryMount(int device)
{
    IxDeviceEntry* entry = FindDevice(device);
    if (!entry || entry->nState < 5)
        return FALSE;
    if (entry->nState != IXDS_PRESENT)
        return TRUE;
    OnPresent(ResolveAlias(device));
    // The hook may have changed the table's view of the device; go on only
    // from the present state.
    entry = FindDevice(device);
    if (!entry || entry->nState != IXDS_PRESENT)
        return TRUE;
    if (entry->nPollCount == 0) {
        SetMounted(*entry, TRUE);
        return TRUE;
    }
    if (entry->nPollInterval <= 0)
        return TRUE;
    if (entry->nPollCount > 0 && ProbeReady(*entry)) {
        SetMounted(*entry, TRUE);
        return TRUE;
    }
    entry->nState = IXDS_POLLING;
    entry->nPollCounter = 0;
    StartTimer(*entry, IXDT_POLL, entry->nPollInterval);
    return TRUE;
}

void IxDeviceManager::SetMounted(IxDeviceEntry& entry, BOOL notify)
{
    entry.nState = IXDS_MOUNTED;
    int number = entry.nNumber;
    IxDeviceAlias* alias = FindAliasBoundTo(number);
    if (!alias) {
        if (notify)
            Report(AEV_DEFAULT, number);
        return;
    }
    if (notify)
        Report(AEV_DEFAULT, alias->nNumber);
    if (g_bMountingFamily)
        return;
    // The alias has its device: the other waiting devices of the family that
    // its binding held back may mount now.
    IxString prefix = alias->strPrefix;
    g_bMountingFamily = true;
    int base = FamilyBase(number);
    for (int n = base; n <= base + 9; ++n) {
        IxDeviceEntry* other = FindDevice(n);
        if (!other || other->nState != IXDS_PRESENT
            || !IxStartsWithNoCase(other->strPath.Text(), prefix.Text(), prefix.Length()))
            continue;
        TryMount(n);
        other = FindDevice(n);
        if (other && other->nState == IXDS_POLLING)
            break;
    }
    g_bMountingFamily = false;
}

void IxDeviceManager::SetAbsent(IxDeviceEntry& entry, BOOL notify)
{
    entry.nState = IXDS_ABSENT;
    entry.dwReserved = 0;
    int number = entry.nNumber;
    if (IxDeviceAlias* alias = FindAliasBoundTo(number)) {
        int aliasNumber = alias->nNumber;
        OnAbsent(aliasNumber);
        alias = FindAlias(aliasNumber);
        if (alias && alias->nBound == number)
            alias->nBound = 0;
        if (notify)
            Report(AEV_DETACH, aliasNumber);
        return;
    }
    OnAbsent(number);
    if (notify)
        Report(AEV_DETACH, number);
}

void IxDeviceManager::BeginDetach(int device, BOOL notify)
{
    IxDeviceEntry* entry = FindDevice(device);
    if (!entry || entry->nState < IXDS_DETACHING)
        return;
    // A detach already under way goes on as it is: a repeated notice neither
    // restarts the delay nor reports again.
    if (entry->nState == IXDS_DETACHING)
        return;
    CancelTimer(*entry);
    if (entry->nDetachDelay > 0) {
        entry->nState = IXDS_DETACHING;
        Report(AEV_COMPLETE, ResolveAlias(device));
        StartTimer(*entry, IXDT_DETACH, entry->nDetachDelay);
        return;
    }
    SetAbsent(*entry, notify);
}

void IxDeviceManager::OnFailed(int device)
{
    IxDeviceEntry* entry = FindDevice(device);
    if (!entry || entry->nState < IXDS_PRESENT)
        return;
    CancelTimer(*entry);
    if (entry->nFailureWait > 0) {
        entry->nState = IXDS_FAILED;
        StartTimer(*entry, IXDT_FAILURE, entry->nFailureWait);
        return;
    }
    SetAbsent(*entry, TRUE);
}

void IxDeviceManager::OnReady(int device)
{
    IxDeviceEntry* entry = FindDevice(device);
    if (!entry || entry->nState != IXDS_POLLING)
        return;
    CancelTimer(*entry);
    SetMounted(*entry, TRUE);
}

void IxDeviceManager::ForcePresent(int device)
{
    IxDeviceEntry* entry = FindDevice(device);
    if (!entry)
        return;
    // Whatever timer the current state runs (poll, detach delay, failure
    // wait) would otherwise act on a device that is now present.
    CancelTimer(*entry);
    if (entry->nState == IXDS_PRESENT)
        return;
    entry->nState = IXDS_PRESENT;
    Report(AEV_ATTACH, ResolveAlias(device));
}

void IxDeviceManager::ForceMounted(int device)
{
    IxDeviceEntry* entry = FindDevice(device);
    if (!entry)
        return;
    CancelTimer(*entry);
    if (entry->nState == IXDS_MOUNTED)
        return;
    SetMounted(*entry, TRUE);
}

IxDeviceManager::BindResult IxDeviceManager::BindAlias(int number)
{
    IxDeviceAlias* alias = FindAlias(number);
    if (!alias)
        return {number, TRUE};
    if (alias->nBound)
        return {0, TRUE};
    int preferred = PreferredTarget(number);
    alias = FindAlias(number);
    if (!alias)
        return {0, TRUE};

    BOOL mount = TRUE;
    int fallback = 0;
    int candidate = 0;
    int base = FamilyBase(number);
    for (int n = base; n <= base + 9; ++n) {
        IxDeviceEntry* entry = FindDevice(n);
        if (!entry)
            break;
        if (!IxStartsWithNoCase(entry->strPath.Text(), alias->strPrefix.Text(), alias->strPrefix.Length()))
            continue;
        if (!preferred && (entry->nState == IXDS_REGISTERED || entry->nState == IXDS_ABSENT)) {
            if (!fallback)
                fallback = n;
            if (base == IXDF_STORAGE && !candidate && !entry->strPath.IsEmpty()
                && IxFolderExists(entry->strPath.Text()))
                candidate = n;
        }
        if (entry->nState == IXDS_PRESENT || entry->nState == IXDS_POLLING)
            mount = FALSE;
    }

    int chosen = preferred ? preferred : (candidate ? candidate : (fallback ? fallback : number));
    IxDeviceEntry* device = FindDevice(chosen);
    // Only a registered device is bound: an alias bound to nothing would
    // refuse every later attach.
    if (!device)
        return {number, mount};
    alias->nBound = chosen;
    device->dwReserved = alias->dwFlags;
    return {chosen, mount};
}

void IxDeviceManager::StartDevice(IxDeviceEntry& entry)
{
    int number = entry.nNumber;
    if (entry.nState == IXDS_REGISTERED)
        entry.nState = ProbePresence(number) ? IXDS_PRESENT : IXDS_ABSENT;
    IxDeviceEntry* current = FindDevice(number);
    if (current && current->nState == IXDS_PRESENT)
        TryMount(number);
}

void IxDeviceManager::RescanAttach()
{
    for (int i = 0; i < m_devices.Count(); ++i) {
        int number = m_devices[i].nNumber;
        if (m_devices[i].nState >= 5 || !ProbePresence(number))
            continue;
        OnPresentNotice(number, TRUE);
        IxDeviceEntry* entry = FindDevice(number);
        if (entry && entry->nState == IXDS_PRESENT)
            TryMount(number);
    }
}

void IxDeviceManager::RescanDetach()
{
    for (int i = 0; i < m_devices.Count(); ++i) {
        int number = m_devices[i].nNumber;
        if (m_devices[i].nState >= IXDS_PRESENT && !ProbePresence(number))
            BeginDetach(number, TRUE);
    }
}

// ---------------------------------------------------------------------------
// Folder watch

BOOL IxDeviceManager::WatchPath(LPCWSTR path)
{
    if (m_pWatcher) {
        delete m_pWatcher;
        m_pWatcher = nullptr;
    }
    auto* target = new (std::nothrow) IxNotifyTarget(IXA_FILENOTICE);
    if (!target) {
        IxRecordNoMemory();
        return FALSE;
    }
    auto* watcher = new (std::nothrow) IxFileWatcher(target, IXWATCH_FOLDERS, FALSE, TRUE);
    target->Release(); // the watcher holds its own reference
    if (!watcher) {
        IxRecordNoMemory();
        return FALSE;
    }
    if (!watcher->Start(path)) {
        delete watcher;
        return FALSE;
    }
    m_pWatcher = watcher;
    return TRUE;
}

void IxDeviceManager::ProcessFileNotices()
{
    if (!m_pWatcher)
        return;
    // The devices are told after the watcher's lock is let go: the hook may
    // do anything, stopping the watch included, and the watcher's thread
    // waits on that lock.
    struct Hit {
        int nDevice;
        BOOL bArrived;
    };
    IxArray<Hit> hits(8);
    IxFileNoticeList* notices = m_pWatcher->LockNotices();
    if (notices) {
        for (int i = 0; i < notices->Count(); ++i) {
            const IxFileNotice& notice = (*notices)[i];
            for (int d = 0; d < m_devices.Count(); ++d) {
                const IxDeviceEntry& entry = m_devices[d];
                if (!entry.strPath.IsEmpty() && lstrcmpiW(entry.strPath.Text(), notice.strPath.Text()) == 0) {
                    hits.Add(Hit{entry.nNumber, notice.nKind == IXFC_APPEARED});
                    break;
                }
            }
        }
    }
    m_pWatcher->UnlockNotices();
    for (int i = 0; i < hits.Count(); ++i)
        OnVolumeNotice(hits[i].nDevice, hits[i].bArrived);
}
