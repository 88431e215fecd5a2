#include "Lib_cpp/fs/FileThreads.h"

#include "Lib_cpp/core/Diag.h"
#include "Lib_cpp/core/Notify.h"
#include "Lib_cpp/core/Utility.h"
#include "platform/base/Clock.h"
#include "platform/base/Text.h"
#include "platform/io/File.h"
#include "platform/io/FileNotify.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr DWORD kStopWaitMs = 3000;
constexpr DWORD kScanProgressMs = 500;

// Whether needle occurs in the first length characters of text, without case.
BOOL ContainsNoCase(LPCWSTR text, int length, LPCWSTR needle, int needleLength)
{
    for (int i = 0; i + needleLength <= length; ++i) {
        if (IxStartsWithNoCase(text + i, needle, needleLength))
            return TRUE;
    }
    return FALSE;
}

// Inserts the name before the first entry that compares greater, so equal
// names keep their arrival order.
BOOL InsertSorted(IxStringArray& names, LPCWSTR name)
{
    int low = 0, high = names.Count();
    while (low < high) {
        const int mid = (low + high) / 2;
        if (lstrcmpW(names.TextAt(mid), name) > 0)
            high = mid;
        else
            low = mid + 1;
    }
    return names.InsertText(low, name);
}

} // namespace

// ---------------------------------------------------------------------------

IxFsThread::IxFsThread(IxNotifyTarget* target) : m_pNotify(target)
{
    if (m_pNotify)
        m_pNotify->AddRef();
}

IxFsThread::~IxFsThread()
{
    EndThread();
    if (m_pNotify)
        m_pNotify->Release();
}

BOOL IxFsThread::PostEvent(WORD event, LPARAM value) const
{
    return m_pNotify ? m_pNotify->Post(event, value) : FALSE;
}

BOOL IxFsThread::Cancel(IxFsThread* thread, DWORD timeoutMs)
{
    if (!thread)
        return FALSE;
    const BOOL stopped = thread->Stop(timeoutMs);
    thread->PostEvent(AEV_ABORT);
    return stopped;
}

// ---------------------------------------------------------------------------
// The folder watcher.

IxFileWatcher::IxFileWatcher(IxNotifyTarget* target, LONG watchKind, BOOL subtree, BOOL detail)
    : IxFsThread(target), m_nWatchKind(watchKind), m_bSubtree(subtree), m_bDetail(detail)
{
    m_hStopEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    InitializeCriticalSection(&m_noticeLock);
}

IxFileWatcher::~IxFileWatcher()
{
    Stop();
    if (m_hStopEvent)
        SetEvent(m_hStopEvent);
    EndThread();
    if (m_hNotify != INVALID_HANDLE_VALUE)
        FindCloseChangeNotification(m_hNotify);
    if (m_hStopEvent)
        CloseHandle(m_hStopEvent);
    DeleteCriticalSection(&m_noticeLock);
}

BOOL IxFileWatcher::Start(LPCWSTR path, int priority)
{
    if (!path || IsRunning())
        return FALSE;
    const DWORD filter = (m_nWatchKind ? FILE_NOTIFY_CHANGE_DIR_NAME : FILE_NOTIFY_CHANGE_FILE_NAME)
        | (m_bDetail ? FILE_NOTIFY_CHANGE_CEGETINFO : 0);
    m_hNotify = FindFirstChangeNotificationW(path, m_bSubtree, filter);
    if (m_hNotify == INVALID_HANDLE_VALUE) {
        IxTrace(u"!!! Warning [%s:0x%lx] : failed to initialize FILE Change Notification, path=[%s]\n", u"",
                reinterpret_cast<UINT_PTR>(this), path);
        return FALSE;
    }
    m_strPath.Assign(path);
    m_strPrefix = IxWithSeparator(path);
    ResetEvent(m_hStopEvent);
    if (!IxThread::Start(priority)) {
        m_strPath.Release();
        m_strPrefix.Release();
        FindCloseChangeNotification(m_hNotify);
        m_hNotify = INVALID_HANDLE_VALUE;
        return FALSE;
    }
    return TRUE;
}

void IxFileWatcher::Stop()
{
    if (m_hStopEvent)
        SetEvent(m_hStopEvent);
    // The thread uses the notification until it has ended.
    if (!IxThread::Stop(kStopWaitMs))
        return;
    if (m_hNotify != INVALID_HANDLE_VALUE) {
        FindCloseChangeNotification(m_hNotify);
        m_hNotify = INVALID_HANDLE_VALUE;
    }
    m_strPath.Release();
    m_strPrefix.Release();
}

IxFileNoticeList* IxFileWatcher::LockNotices()
{
    EnterCriticalSection(&m_noticeLock);
    return &m_notices;
}

void IxFileWatcher::UnlockNotices()
{
    m_notices.RemoveAll();
    LeaveCriticalSection(&m_noticeLock);
}

int IxFileWatcher::Execute()
{
    while (!IsStopRequested()) {
        const HANDLE handles[2] = {m_hStopEvent, m_hNotify};
        if (WaitForMultipleObjects(2, handles, FALSE, INFINITE) != WAIT_OBJECT_0 + 1)
            break;
        if (m_bDetail) {
            ReadDetails();
        } else {
            EnterCriticalSection(&m_noticeLock);
            if (m_notices.Count() == 0) {
                IxFileNotice notice;
                notice.nKind = 0;
                notice.nWatchKind = m_nWatchKind;
                notice.strPath = m_strPath;
                m_notices.Add(notice);
            }
            LeaveCriticalSection(&m_noticeLock);
        }
        // One post per notification, however many records it carried.
        PostEvent(AEV_DEFAULT);
        FindNextChangeNotification(m_hNotify);
    }
    return 0;
}

void IxFileWatcher::ReadDetails()
{
    DWORD returned = 0, available = 0;
    if (!CeGetFileNotificationInfo(m_hNotify, 0, nullptr, 0, &returned, &available) || available == 0)
        return;
    auto* buffer = static_cast<BYTE*>(std::malloc(available));
    if (!buffer) {
        IxRecordNoMemory();
        return;
    }
    if (CeGetFileNotificationInfo(m_hNotify, 0, buffer, available, &returned, &available)) {
        IxString name;
        for (DWORD at = 0; at + 12 <= returned;) {
            DWORD next = 0, action = 0, nameBytes = 0;
            std::memcpy(&next, buffer + at, 4);
            std::memcpy(&action, buffer + at + 4, 4);
            std::memcpy(&nameBytes, buffer + at + 8, 4);
            if (nameBytes > returned - at - 12)
                break;
            LONG kind = 0;
            if (action == FILE_ACTION_ADDED || action == FILE_ACTION_RENAMED_NEW_NAME)
                kind = IXFC_APPEARED;
            else if (action == FILE_ACTION_REMOVED || action == FILE_ACTION_RENAMED_OLD_NAME)
                kind = IXFC_VANISHED;
            if (kind) {
                const int chars = static_cast<int>(nameBytes / sizeof(WCHAR));
                LPWSTR text = name.AllocBuffer(chars);
                if (text) {
                    std::memcpy(text, buffer + at + 12, static_cast<std::size_t>(chars) * sizeof(WCHAR));
                    text[chars] = 0;
                    MergeNotice(kind, IxConcat(m_strPrefix.Text(), name.Text()));
                }
            }
            if (next == 0)
                break;
            at += next;
        }
    }
    std::free(buffer);
}

void IxFileWatcher::MergeNotice(LONG kind, const IxString& path)
{
    EnterCriticalSection(&m_noticeLock);
    int i = m_notices.Count() - 1;
    while (i >= 0 && lstrcmpiW(m_notices[i].strPath.Text(), path.Text()) != 0)
        --i;
    if (i >= 0) {
        // An appearance and a disappearance of the same path cancel.
        if (m_notices[i].nKind != kind)
            m_notices.RemoveAt(i);
    } else {
        IxFileNotice notice;
        notice.nKind = kind;
        notice.nWatchKind = m_nWatchKind;
        notice.strPath = path;
        m_notices.Add(notice);
    }
    LeaveCriticalSection(&m_noticeLock);
}

// ---------------------------------------------------------------------------
// The media scan.

IxScanThread::IxScanThread(int growth, IxNotifyTarget* target, DWORD attributeMask)
    : IxFsThread(target), m_dwAttributeMask(attributeMask), m_arrResults(growth > 0 ? growth : 8)
{
    InitializeCriticalSection(&m_resultLock);
}

IxScanThread::~IxScanThread()
{
    EndThread();
    DeleteCriticalSection(&m_resultLock);
}

void IxScanThread::SetKeyword(LPCWSTR keyword)
{
    m_strKeyword.Assign(keyword && keyword[0] ? keyword : nullptr);
    m_nKeywordLength = m_strKeyword.Length();
}

BOOL IxScanThread::Start(LPCWSTR root, const LPCWSTR* extensions, int count, int priority, int maximum)
{
    return Scan(root, extensions, count, -1, priority, maximum);
}

BOOL IxScanThread::Scan(LPCWSTR root, const LPCWSTR* extensions, int count, int depth, int priority, int maximum)
{
    if (!root)
        return FALSE;
    // A previous scan ends first: its thread reads the parameters.
    if (IsRunning() && !IxThread::Stop(kStopWaitMs))
        return FALSE;
    m_strRoot.Assign(root);
    m_arrExtensions.RemoveAll();
    for (int i = 0; extensions && i < count; ++i)
        m_arrExtensions.AddText(extensions[i]);
    m_nExtensions = extensions ? count : 0;
    m_nDepth = depth;
    m_nMaximum = maximum;
    m_bFailed = FALSE;
    m_bAbort = FALSE;
    LockResults();
    m_arrResults.RemoveAll();
    UnlockResults();
    if (priority >= 0) {
        m_bOnThread = TRUE;
        return IxThread::Start(priority);
    }
    m_bOnThread = FALSE;
    return RunScan();
}

int IxScanThread::Execute()
{
    RunScan();
    // The scan thread ends with its work.
    RequestStop();
    return 0;
}

BOOL IxScanThread::RunScan()
{
    const IxString root = IxWithSeparator(m_strRoot.Text());
    m_dwLastProgress = GetTickCount();
    if (m_bOnThread)
        PostEvent(AEV_BEGIN);
    m_visited.Clear();
    if (m_bSorted)
        WalkSorted(root, m_nDepth);
    else
        WalkUnsorted(root, m_nDepth);
    // A scan cancelled by its owner is reported by the cancel.
    if (m_bOnThread && (m_bFailed || !IsStopRequested()))
        PostEvent(AEV_COMPLETE);
    return !m_bFailed;
}

BOOL IxScanThread::ShouldGoOn() const
{
    return !m_bAbort && !(m_bOnThread && IsStopRequested());
}

void IxScanThread::Fail()
{
    m_bFailed = TRUE;
    m_bAbort = TRUE;
    if (m_bOnThread) {
        RequestStop();
        PostEvent(AEV_FAILED);
    }
}

BOOL IxScanThread::Matches(LPCWSTR name) const
{
    const LPCWSTR* extensions = nullptr;
    LPCWSTR list[64];
    int count = 0;
    if (m_nExtensions > 0) {
        count = m_nExtensions < 64 ? m_nExtensions : 64;
        for (int i = 0; i < count; ++i)
            list[i] = m_arrExtensions.TextAt(i);
        extensions = list;
    }
    if (!IxMatchesExtension(name, extensions, count))
        return FALSE;
    if (m_nKeywordLength == 0)
        return TRUE;
    int titleLength = lstrlenW(name);
    for (int i = titleLength - 1; i >= 0; --i) {
        if (name[i] == u'.') {
            titleLength = i;
            break;
        }
    }
    return ContainsNoCase(name, titleLength, m_strKeyword.Text(), m_nKeywordLength);
}

BOOL IxScanThread::ReachedMaximum()
{
    LockResults();
    const BOOL reached = m_arrResults.Count() >= m_nMaximum;
    UnlockResults();
    return reached;
}

void IxScanThread::AddResult(const IxString& path)
{
    LockResults();
    if (m_arrResults.Count() < m_nMaximum)
        m_arrResults.Add(path);
    UnlockResults();
}

void IxScanThread::ThrottledProgress()
{
    if (!m_bOnThread || !m_pNotify)
        return;
    const DWORD now = GetTickCount();
    if (now - m_dwLastProgress > kScanProgressMs) {
        PostEvent(AEV_DEFAULT);
        m_dwLastProgress = now;
    }
}

namespace {

// Opens folder\*.*; INVALID_HANDLE_VALUE and *failed when the folder cannot
// be listed for a reason other than being empty. A walk reads only the
// names and the attribute bits; unless its mask tests the read-only bit,
// the listing need not look up each entry for it.
HANDLE OpenListing(const IxString& folder, DWORD attributeMask, WIN32_FIND_DATAW* data, BOOL* failed)
{
    *failed = FALSE;
    const IxString pattern = IxConcat(folder.Text(), u"*.*");
    HANDLE find = (attributeMask & FILE_ATTRIBUTE_READONLY) ? FindFirstFileW(pattern.Text(), data)
                                                            : FindFirstFileNamesW(pattern.Text(), data);
    if (find == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        // An empty folder answers "not found" or "no more files".
        *failed = error != ERROR_FILE_NOT_FOUND && error != ERROR_NO_MORE_FILES && error != ERROR_INVALID_DATA
            && error != ERROR_INVALID_ACCESS;
    }
    return find;
}

} // namespace

void IxScanThread::WalkUnsorted(const IxString& folder, int depth)
{
    if (!ShouldGoOn() || ReachedMaximum())
        return;
    // A folder reached again through a link is not walked twice.
    if (!m_visited.Enter(folder.Text()))
        return;
    WIN32_FIND_DATAW data;
    BOOL failed = FALSE;
    IxStringArray folders(8);
    HANDLE find = OpenListing(folder, m_dwAttributeMask, &data, &failed);
    if (failed) {
        Fail();
        return;
    }
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (data.dwFileAttributes & m_dwAttributeMask)
                continue;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                if (!IxIsDotName(data.cFileName))
                    folders.AddText(data.cFileName);
                continue;
            }
            if (Matches(data.cFileName)) {
                AddResult(IxConcat(folder.Text(), data.cFileName));
                if (ReachedMaximum())
                    break;
            }
        } while (ShouldGoOn() && FindNextFileW(find, &data));
        FindClose(find);
    }
    ThrottledProgress();
    if (depth == 0)
        return;
    for (int i = 0; i < folders.Count() && ShouldGoOn() && !ReachedMaximum(); ++i)
        WalkUnsorted(IxConcat(folder.Text(), folders.TextAt(i), u"\\"), depth - 1);
}

void IxScanThread::WalkSorted(const IxString& folder, int depth)
{
    if (!ShouldGoOn() || ReachedMaximum())
        return;
    if (!m_visited.Enter(folder.Text()))
        return;
    WIN32_FIND_DATAW data;
    BOOL failed = FALSE;
    IxStringArray files(64), folders(16);
    HANDLE find = OpenListing(folder, m_dwAttributeMask, &data, &failed);
    if (failed) {
        Fail();
        return;
    }
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (data.dwFileAttributes & m_dwAttributeMask)
                continue;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                if (!IxIsDotName(data.cFileName))
                    InsertSorted(folders, data.cFileName);
            } else if (Matches(data.cFileName)) {
                InsertSorted(files, data.cFileName);
            }
        } while (ShouldGoOn() && FindNextFileW(find, &data));
        FindClose(find);
    }
    if (files.Count() > 0) {
        LockResults();
        for (int i = 0; i < files.Count() && m_arrResults.Count() < m_nMaximum; ++i)
            m_arrResults.Add(IxConcat(folder.Text(), files.TextAt(i)));
        UnlockResults();
    }
    ThrottledProgress();
    if (depth == 0)
        return;
    for (int i = 0; i < folders.Count() && ShouldGoOn() && !ReachedMaximum(); ++i)
        WalkSorted(IxConcat(folder.Text(), folders.TextAt(i), u"\\"), depth - 1);
}

// ---------------------------------------------------------------------------
// The copy job.

IxFileJob::IxFileJob(IxNotifyTarget* target) : IxFsThread(target) {}

IxFileJob::~IxFileJob()
{
    if (m_nJobState == IXJOBSTATE_RUNNING)
        Cancel(kStopWaitMs);
    EndThread();
}

void IxFileJob::Reset(int mode)
{
    m_nMode = mode;
    m_dwError = 0;
    std::atomic_ref<BOOL>(m_bCancel).store(FALSE);
    m_nIndex = 0;
    m_ullTotal = 0;
    m_ullBefore = 0;
    m_ullDone = 0;
    m_nFiles = m_nFolders = 0;
    m_nFilesProcessed = m_nFilesDone = 0;
    m_nFoldersProcessed = m_nFoldersRemoved = 0;
    m_arrSources.RemoveAll();
    m_arrDestinations.RemoveAll();
}

BOOL IxFileJob::AddStep(LPCWSTR source, LPCWSTR destination)
{
    if (!m_arrSources.AddText(source && source[0] ? source : nullptr))
        return FALSE;
    if (!m_arrDestinations.AddText(destination && destination[0] ? destination : nullptr)) {
        m_arrSources.RemoveAt(m_arrSources.Count() - 1);
        return FALSE;
    }
    return TRUE;
}

BOOL IxFileJob::AddFile(LPCWSTR source, LPCWSTR destination, ULONGLONG size)
{
    if (!AddStep(source, destination))
        return FALSE;
    ++m_nFiles;
    m_ullTotal += size;
    return TRUE;
}

BOOL IxFileJob::AddFolderRemoval(LPCWSTR folder)
{
    if (!AddStep(folder, nullptr))
        return FALSE;
    ++m_nFolders;
    return TRUE;
}

BOOL IxFileJob::Start(DWORD progressMs, int priority)
{
    // The thread of the previous job has ended, or ends now.
    if (IsRunning() && !IxThread::Stop(kStopWaitMs))
        return FALSE;
    m_dwInterval = progressMs;
    m_dwLastProgress = GetTickCount();
    std::atomic_ref<BOOL>(m_bCancel).store(FALSE);
    m_bEnded = FALSE;
    m_nJobState = IXJOBSTATE_RUNNING;
    if (m_dwInterval)
        PostEvent(IXJOB_EV_START, Counts(m_nFiles, m_nFolders));
    if (!IxThread::Start(priority)) {
        m_nJobState = IXJOBSTATE_FAILED;
        m_bEnded = TRUE;
        return FALSE;
    }
    return TRUE;
}

BOOL IxFileJob::IsCancelled() const
{
    return std::atomic_ref<BOOL>(const_cast<BOOL&>(m_bCancel)).load() != FALSE;
}

void IxFileJob::Cancel(DWORD timeoutMs)
{
    if (IsCancelled())
        return;
    m_nJobState = IXJOBSTATE_ENDED;
    std::atomic_ref<BOOL>(m_bCancel).store(TRUE);
    IxThread::Stop(timeoutMs);
    // Stopped between two steps, the thread reported nothing: the cancel
    // does, so every job ends with one end event.
    End(IXJOB_EV_CANCELLED, Counts(m_nFilesDone, m_nFoldersRemoved), IXJOBSTATE_ENDED);
    if (m_pFileSystem)
        m_pFileSystem->RefreshAfterJob();
}

LPARAM IxFileJob::Counts(int files, int folders) const
{
    return static_cast<LPARAM>(MAKELONG(static_cast<WORD>(files), static_cast<WORD>(folders)));
}

void IxFileJob::End(WORD event, LPARAM value, LONG state)
{
    if (m_bEnded.exchange(TRUE))
        return;
    m_nJobState = state;
    PostEvent(event, value);
}

void IxFileJob::ThrottledProgress()
{
    if (m_dwInterval == 0)
        return;
    const DWORD now = GetTickCount();
    if (now - m_dwLastProgress >= m_dwInterval) {
        m_dwLastProgress = now;
        PostEvent(IXJOB_EV_PROGRESS, Counts(m_nFilesProcessed, m_nFoldersProcessed));
    }
}

DWORD IxFileJob::Progress(ULONGLONG, ULONGLONG transferred, ULONGLONG, ULONGLONG, DWORD, DWORD, HANDLE, HANDLE,
                          LPVOID data)
{
    auto* job = static_cast<IxFileJob*>(data);
    job->m_ullDone = job->m_ullBefore + transferred;
    job->ThrottledProgress();
    return job->IsCancelled() ? PROGRESS_CANCEL : PROGRESS_CONTINUE;
}

int IxFileJob::Step()
{
    const int index = m_nIndex;
    const int count = m_arrSources.Count();
    if (index >= count) {
        if (count > 0)
            End(IXJOB_EV_COMPLETE, Counts(m_nFilesDone, m_nFoldersRemoved), IXJOBSTATE_ENDED);
        return 0;
    }
    const IxString source = m_arrSources.At(index);
    const IxString destination = m_arrDestinations.At(index);
    if (source.IsEmpty()) {
        ++m_nFoldersProcessed;
        if (CreateDirectoryW(destination.Text(), nullptr))
            PostEvent(IXJOB_EV_FOLDERMADE, Counts(m_nFilesProcessed, m_nFoldersProcessed));
    } else if (!destination.IsEmpty()) {
        PostEvent(IXJOB_EV_FILE, Counts(m_nFilesProcessed, m_nFoldersProcessed));
        if (m_nMode == IXJOB_DELETE) {
            if (!DeleteFileW(source.Text())) {
                m_dwError = GetLastError();
                End(IXJOB_EV_FAILED, static_cast<LPARAM>(m_dwError.load()), IXJOBSTATE_FAILED);
                return 0;
            }
            ++m_nFilesDone;
            ThrottledProgress();
        } else {
            m_ullBefore = m_ullDone;
            auto routine = [](LARGE_INTEGER total, LARGE_INTEGER transferred, LARGE_INTEGER streamSize,
                              LARGE_INTEGER streamTransferred, DWORD stream, DWORD reason, HANDLE from, HANDLE to,
                              LPVOID data) -> DWORD {
                return Progress(static_cast<ULONGLONG>(total.QuadPart), static_cast<ULONGLONG>(transferred.QuadPart),
                                static_cast<ULONGLONG>(streamSize.QuadPart),
                                static_cast<ULONGLONG>(streamTransferred.QuadPart), stream, reason, from, to, data);
            };
            if (!CopyFileExW(source.Text(), destination.Text(), routine, this, &m_bCancel,
                             m_bNoOverwrite ? COPY_FILE_FAIL_IF_EXISTS : 0)) {
                const DWORD error = GetLastError();
                if (IsCancelled()) {
                    End(IXJOB_EV_CANCELLED, Counts(m_nFilesDone, m_nFoldersRemoved), IXJOBSTATE_ENDED);
                } else {
                    m_dwError = error;
                    End(IXJOB_EV_FAILED, static_cast<LPARAM>(error), IXJOBSTATE_FAILED);
                }
                return 0;
            }
            ++m_nFilesDone;
            if (m_nMode == IXJOB_MOVE)
                DeleteFileW(source.Text());
        }
        ++m_nFilesProcessed;
    } else {
        ++m_nFoldersProcessed;
        if (RemoveDirectoryW(source.Text())) {
            ++m_nFoldersRemoved;
            PostEvent(IXJOB_EV_FOLDERREMOVED, Counts(m_nFilesProcessed, m_nFoldersProcessed));
        }
    }
    if (IsCancelled()) {
        End(IXJOB_EV_CANCELLED, Counts(m_nFilesDone, m_nFoldersRemoved), IXJOBSTATE_ENDED);
        return 0;
    }
    m_nIndex = index + 1;
    if (index + 1 < count)
        return 1;
    End(IXJOB_EV_COMPLETE, Counts(m_nFilesDone, m_nFoldersRemoved), IXJOBSTATE_ENDED);
    return 0;
}

int IxFileJob::Execute()
{
    const int more = Step();
    if (!more)
        RequestStop(); // the job's thread ends with the job
    return more;
}
