// The background file threads: the folder watcher, the media scan and the
// copy job. Each owns a worker thread (IxThread) and reports through an
// IxNotifyTarget: the main window receives "I_NotifyAction_" with wParam =
// target id | event << 16 and lParam = the thread object, and the kernel
// turns it into the action {target id, event}.
#pragma once

#include "Lib_cpp/core/Containers.h"
#include "Lib_cpp/core/String.h"
#include "Lib_cpp/core/Thread.h"
#include "Lib_cpp/fs/FileSystem.h"
#include "Lib_cpp/fs/VisitedFolders.h"
#include "platform/base/Types.h"
#include "platform/os/Sync.h"

#include <atomic>

// Events of the scans and the watcher (action kinds).
enum : WORD {
    IXFS_EV_PROGRESS = 4096, // scan progress; a watcher's notification
    IXFS_EV_FAILED = 4098,
    IXFS_EV_STOPPED = 4099,
    IXFS_EV_BEGIN = 4100,
    IXFS_EV_COMPLETE = 4102,
};

// Events of the copy job.
enum : WORD {
    IXJOB_EV_START = 8,
    IXJOB_EV_PROGRESS = 9,
    IXJOB_EV_FILE = 10,
    IXJOB_EV_COMPLETE = 12,
    IXJOB_EV_CANCELLED = 13,
    IXJOB_EV_FAILED = 14,
    IXJOB_EV_FOLDERMADE = 15,
    IXJOB_EV_FOLDERREMOVED = 16,
};

// Base of the three: a worker thread with a reference to its owner's target.
class IxFsThread : public IxThread {
public:
    // Takes a reference to the target (which may be null).
    explicit IxFsThread(IxNotifyTarget* target);
    // Drops the reference; derived classes end their thread first.
    ~IxFsThread() override;

    IxNotifyTarget* GetNotifyTarget() const { return m_pNotify; }
    // Posts the event with this thread as the value; 0 without a target.
    BOOL PostEvent(WORD event, LPARAM value) const;
    BOOL PostEvent(WORD event) const { return PostEvent(event, reinterpret_cast<LPARAM>(this)); }

    // Stops the thread (waiting up to timeoutMs) and posts IXFS_EV_STOPPED
    // with the thread to its target. Used by the scans' owners.
    static BOOL Cancel(IxFsThread* thread, DWORD timeoutMs);

protected:
    IxNotifyTarget* m_pNotify;
};

// ---------------------------------------------------------------------------
// The folder watcher.

enum : LONG {
    IXWATCH_FILES = 0,   // file names appear and vanish
    IXWATCH_FOLDERS = 1, // folder names appear and vanish
};

struct IxFileNotice {
    LONG nKind = 0;      // 4 appeared, 3 vanished, 0 the folder changed (no detail)
    LONG nWatchKind = 0; // the watcher's kind
    IxString strPath;    // full path
};
using IxFileNoticeList = IxRecordList<IxFileNotice>;

class IxFileWatcher : public IxFsThread {
public:
    // watchKind: IXWATCH_FILES or IXWATCH_FOLDERS; detail: read the changes
    // one by one (else one notice for the folder as a whole).
    IxFileWatcher(IxNotifyTarget* target, LONG watchKind, BOOL subtree, BOOL detail);
    ~IxFileWatcher() override;

    // Opens the change notification on the folder and starts the thread.
    // 0 (with a warning line) when the notification cannot be made or the
    // thread cannot start.
    BOOL Start(LPCWSTR path, int priority = -1);
    // Ends the thread (3000 ms), closes the notification, drops the path.
    void Stop();

    // The notice list with the notice lock held; read it, then call
    // UnlockNotices, which clears the list and releases the lock.
    IxFileNoticeList* LockNotices();
    void UnlockNotices();

    const IxString& GetPath() const { return m_strPath; }
    LONG GetWatchKind() const { return m_nWatchKind; }

    int Execute() override;

private:
    void MergeNotice(LONG kind, const IxString& path);
    void ReadDetails();

    LONG m_nWatchKind;
    BOOL m_bSubtree;
    BOOL m_bDetail;
    IxString m_strPath;   // as given
    IxString m_strPrefix; // the path with a trailing '\'
    HANDLE m_hNotify = INVALID_HANDLE_VALUE;
    HANDLE m_hStopEvent = nullptr;
    CRITICAL_SECTION m_noticeLock;
    IxFileNoticeList m_notices{8};
};

// ---------------------------------------------------------------------------
// The media scan.

class IxScanThread : public IxFsThread {
public:
    // growth: the result list's growth step; attributeMask: directory
    // entries with one of these attributes are skipped.
    IxScanThread(int growth, IxNotifyTarget* target, DWORD attributeMask);
    ~IxScanThread() override;

    void SetSorted(BOOL sorted) { m_bSorted = sorted; }
    BOOL IsSorted() const { return m_bSorted; }
    // Names must contain the keyword (without case) to match; null or empty:
    // no keyword. Set before the scan starts.
    void SetKeyword(LPCWSTR keyword);

    // Scan(root, extensions, count, -1, priority, maximum).
    BOOL Start(LPCWSTR root, const LPCWSTR* extensions, int count, int priority, int maximum = 0x7FFFFFFF);
    // With a priority of 0 or more: stores the parameters, clears the
    // results and starts the thread (1 when it started). With a negative
    // priority: scans at once on the caller's thread (no events) and answers
    // whether every folder could be listed. depth: -1 unlimited, 0 the root
    // folder only. Extensions are given without the dot (null: every file).
    BOOL Scan(LPCWSTR root, const LPCWSTR* extensions, int count, int depth, int priority, int maximum = 0x7FFFFFFF);

    // The results are read under the result lock.
    void LockResults() { EnterCriticalSection(&m_resultLock); }
    void UnlockResults() { LeaveCriticalSection(&m_resultLock); }
    const IxStringArray& GetResults() const { return m_arrResults; }
    // 1 when the last scan met a folder it could not list.
    BOOL HasFailed() const { return m_bFailed; }

    int Execute() override;

private:
    BOOL RunScan();
    void WalkUnsorted(const IxString& folder, int depth);
    void WalkSorted(const IxString& folder, int depth);
    BOOL Matches(LPCWSTR name) const;
    BOOL ReachedMaximum();
    void AddResult(const IxString& path);
    void ThrottledProgress();
    BOOL ShouldGoOn() const;
    void Fail();

    DWORD m_dwAttributeMask;
    DWORD m_dwLastProgress = 0;
    BOOL m_bSorted = FALSE;
    IxStringArray m_arrResults;
    IxString m_strKeyword;
    int m_nKeywordLength = 0;
    CRITICAL_SECTION m_resultLock;
    IxString m_strRoot;
    int m_nMaximum = 0x7FFFFFFF;
    IxStringArray m_arrExtensions{8};
    int m_nExtensions = 0;
    int m_nDepth = -1;
    BOOL m_bOnThread = FALSE;
    IxVisitedFolders m_visited; // the real folders this scan has entered
    std::atomic<BOOL> m_bFailed{FALSE};
    BOOL m_bAbort = FALSE;
};

// ---------------------------------------------------------------------------
// The copy job: copies, moves or deletes a prepared list of steps.

enum : LONG {
    IXJOBSTATE_FAILED = 0,
    IXJOBSTATE_RUNNING = 1,
    IXJOBSTATE_ENDED = -1, // finished or cancelled
};

class IxFileJob : public IxFsThread {
public:
    explicit IxFileJob(IxNotifyTarget* target);
    // Cancels a running job (3000 ms) and ends the thread.
    ~IxFileJob() override;

    // Clears the steps and counters for a new job of the mode.
    void Reset(int mode);
    // Step pairs: {file, file} copies, moves or deletes (delete: both the
    // same), {empty, folder\} creates a folder, {folder\, empty} removes one.
    BOOL AddStep(LPCWSTR source, LPCWSTR destination);
    // Adds a file step and counts the file and its bytes.
    BOOL AddFile(LPCWSTR source, LPCWSTR destination, ULONGLONG size);
    // Adds a folder removal and counts the folder.
    BOOL AddFolderRemoval(LPCWSTR folder);
    void SetNoOverwrite(BOOL on) { m_bNoOverwrite = on; }
    // The file system whose folders are refreshed when the job ends.
    void SetFileSystem(IxFileSystem* fileSystem) { m_pFileSystem = fileSystem; }

    // progressMs: at most one progress event per interval (0: no start or
    // progress events). Starts the thread.
    BOOL Start(DWORD progressMs, int priority = -1);
    // Unless already cancelled: state ended, cancel flag set, thread
    // stopped, then the file system refreshes the job's folders. Call it on
    // the user-interface thread.
    void Cancel(DWORD timeoutMs);

    int GetMode() const { return m_nMode; }
    LONG GetState() const { return m_nJobState; }
    DWORD GetError() const { return m_dwError.load(); }
    int GetStepCount() const { return m_arrSources.Count(); }
    const IxStringArray& GetSources() const { return m_arrSources; }
    const IxStringArray& GetDestinations() const { return m_arrDestinations; }
    int GetFileCount() const { return m_nFiles; }
    int GetFolderCount() const { return m_nFolders; }
    int GetFilesDone() const { return m_nFilesDone; }
    int GetFoldersRemoved() const { return m_nFoldersRemoved; }
    ULONGLONG GetTotalBytes() const { return m_ullTotal; }
    ULONGLONG GetBytesDone() const { return m_ullDone.load(); }
    BOOL HasWork() const { return m_arrSources.Count() > 0; }

    // One step; 0 when the job has ended.
    int Step();
    int Execute() override;

private:
    static DWORD Progress(ULONGLONG total, ULONGLONG transferred, ULONGLONG streamSize, ULONGLONG streamTransferred,
                          DWORD streamNumber, DWORD reason, HANDLE source, HANDLE destination, LPVOID data);
    LPARAM Counts(int files, int folders) const;
    // Posts the job's one end event (complete, cancelled or failed).
    void End(WORD event, LPARAM value, LONG state);
    void ThrottledProgress();
    BOOL IsCancelled() const;

    IxFileSystem* m_pFileSystem = nullptr;
    DWORD m_dwInterval = 0;
    DWORD m_dwLastProgress = 0;
    std::atomic<LONG> m_nJobState{IXJOBSTATE_ENDED};
    int m_nMode = IXJOB_COPY;
    std::atomic<DWORD> m_dwError{0};
    std::atomic<BOOL> m_bEnded{TRUE};
    BOOL m_bNoOverwrite = FALSE;
    BOOL m_bCancel = FALSE; // handed to CopyFileExW
    std::atomic<int> m_nIndex{0};
    ULONGLONG m_ullTotal = 0;
    ULONGLONG m_ullBefore = 0;
    std::atomic<ULONGLONG> m_ullDone{0};
    int m_nFiles = 0;
    std::atomic<int> m_nFilesProcessed{0};
    std::atomic<int> m_nFilesDone{0};
    int m_nFolders = 0;
    std::atomic<int> m_nFoldersProcessed{0};
    std::atomic<int> m_nFoldersRemoved{0};
    IxStringArray m_arrSources{8};
    IxStringArray m_arrDestinations{8};
};
