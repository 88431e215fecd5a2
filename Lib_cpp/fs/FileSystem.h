// The file-system layer: the process-wide cache of folders and file names
// that the media lists read, kept up to date from change notifications and
// copy jobs, and the small file services around it (the framework file
// handle, the typed data file, the whole-file text reader, the private heap
// and path helpers).
//
// The cache tree, its change list and the list of folders to refresh after a
// job are guarded by one process-wide lock (the file-system lock). The tree
// operations, refreshes and listener calls run on the user-interface thread;
// a job's completion reaches the file system there too, through the job's
// posted action (code 53) delivered by the kernel.
#pragma once

#include "Lib_cpp/core/ActionCodes.h"
#include "Lib_cpp/core/Containers.h"
#include "Lib_cpp/core/String.h"
#include "platform/base/Types.h"
#include "platform/os/Sync.h"

#include <new>

class IxFileJob;
class IxNotifyTarget;
class IxFsJobSubscriber;

// ---------------------------------------------------------------------------
// Path helpers.

// 1 when the folder exists: FindFirstFileW finds "\" + path (the "\" only
// when the path lacks it) + "\". "Storage Card" and "\Storage Card" test the
// same folder; a trailing '\' on the path is accepted.
BOOL IxFolderExists(LPCWSTR path);
// a + b (+ c); null parts are left out.
IxString IxConcat(LPCWSTR a, LPCWSTR b, LPCWSTR c = nullptr);
// The folder with exactly one trailing '\'.
IxString IxWithSeparator(LPCWSTR folder);
// 1 for "." and "..".
BOOL IxIsDotName(LPCWSTR name);
// In an array of paths, the run of neighbours of entry index that lie in the
// same folder (equal text up to and including the last '\'): [*first, *end).
// An index outside the array gives an empty run at the index.
void IxFindFolderRun(const IxStringArray& paths, int index, int* first, int* end);
// 1 when the name's extension (the text after its last '.') equals one of
// the count extensions (without the dot), compared without case; every name
// matches when no list is given (null or count 0).
BOOL IxMatchesExtension(LPCWSTR name, const LPCWSTR* extensions, int count);

// ---------------------------------------------------------------------------
// An owning array of records that hold strings: each record lives on the heap
// and the array holds pointers, so records keep their address while the
// array grows. Nothing throws; a failed allocation records IXERR_NOMEMORY and
// answers 0.

template <class T> class IxRecordList {
public:
    explicit IxRecordList(int step = 8) : m_items(step) {}
    ~IxRecordList() { RemoveAll(); }
    IxRecordList(const IxRecordList&) = delete;
    IxRecordList& operator=(const IxRecordList&) = delete;

    int Count() const { return m_items.Count(); }
    T& operator[](int i) { return *m_items[i]; }
    const T& operator[](int i) const { return *m_items[i]; }

    BOOL Add(const T& record)
    {
        T* copy = new (std::nothrow) T(record);
        if (!copy) {
            IxRecordNoMemory();
            return FALSE;
        }
        if (!m_items.Add(copy)) {
            delete copy;
            return FALSE;
        }
        return TRUE;
    }
    BOOL RemoveAt(int i)
    {
        if (i < 0 || i >= m_items.Count())
            return FALSE;
        delete m_items[i];
        return m_items.RemoveAt(i);
    }
    void RemoveAll()
    {
        for (int i = 0; i < m_items.Count(); ++i)
            delete m_items[i];
        m_items.RemoveAll();
    }

private:
    IxArray<T*> m_items;
};

// ---------------------------------------------------------------------------
// Change records and listeners.

enum : LONG {
    IXFC_VANISHED = 3,
    IXFC_APPEARED = 4,
};

struct IxFileChange {
    LONG nKind = 0;       // IXFC_APPEARED or IXFC_VANISHED
    BOOL bFolder = FALSE; // 1 folder, 0 file
    IxString strPath;     // full path
};
using IxFileChangeList = IxRecordList<IxFileChange>;

// A listener of the file system: told the changes of each refresh, then that
// the refresh is done. Called on the user-interface thread with the
// file-system lock held.
class IxFileListener {
public:
    virtual ~IxFileListener() = default;
    virtual void OnFileChanges(const IxFileChangeList& changes) = 0;
    virtual void OnFileChangesDone() = 0;
};

// ---------------------------------------------------------------------------
// Folder nodes: the cache tree and the clients' trees share this layout.

enum : DWORD {
    IXFN_CACHEWATCHED = 0x1, // a client's node whose cache folder is watched
    IXFN_WATCHED = 0x2,      // the folder is watched
    IXFN_EXPANDED = 0x10,    // children listed from the medium
    IXFN_STALE = 0x1000,     // its root is no longer in the cache
    IXFN_FILLED = 0x2000,    // the file list has been filled
};

class IxFolderNode {
public:
    // name: one component, or the root path for a top-level node. step: the
    // growth step of the file list.
    IxFolderNode(LPCWSTR name, IxFolderNode* parent, int step = 16);
    // Deletes the children.
    ~IxFolderNode();
    IxFolderNode(const IxFolderNode&) = delete;
    IxFolderNode& operator=(const IxFolderNode&) = delete;

    // Appends a new child (null when memory runs out).
    IxFolderNode* AppendChild(LPCWSTR name);
    // Inserts a new child before the given one (null: append).
    IxFolderNode* InsertChildBefore(IxFolderNode* before, LPCWSTR name);
    // Unlinks the child without deleting it.
    void UnlinkChild(IxFolderNode* child);
    // Unlinks and deletes the child.
    void DeleteChild(IxFolderNode* child);
    void DeleteChildren();
    // The child with exactly this name (case-sensitive), or null.
    IxFolderNode* FindChild(LPCWSTR name) const;

    IxFolderNode* m_pNext = nullptr;
    IxFolderNode* m_pParent = nullptr;
    IxFolderNode* m_pFirstChild = nullptr;
    int m_nChildren = 0;
    DWORD m_dwFlags = 0;
    IxString m_strName;
    IxStringArray m_arrFiles;
    // Top-level nodes: who registered the root and the growth value given.
    void* m_pOwner = nullptr;
    int m_nGrowth = 16;
};

// ---------------------------------------------------------------------------
// The file-system manager.

enum : int {
    IXJOB_COPY = 1,
    IXJOB_MOVE = 2,
    IXJOB_DELETE = 3,
};

class IxFileSystem {
public:
    static IxFileSystem* GetInstance();

    IxFileSystem();
    ~IxFileSystem();
    IxFileSystem(const IxFileSystem&) = delete;
    IxFileSystem& operator=(const IxFileSystem&) = delete;

    // The file-system lock (recursive).
    void Lock() { EnterCriticalSection(&m_lock); }
    void Unlock() { LeaveCriticalSection(&m_lock); }

    // Directory entries with any of these attributes are skipped by
    // listings.
    void SetAttributeMask(DWORD mask) { m_dwAttributeMask = mask; }
    DWORD GetAttributeMask() const { return m_dwAttributeMask; }

    // ---- The tree ----

    // Appends a top-level node for the root path; its file lists grow by
    // growth. Null when memory runs out.
    IxFolderNode* AddRoot(void* owner, LPCWSTR rootPath, int growth = 16);
    // Removes and deletes a top-level node (and its subtree).
    void RemoveRoot(IxFolderNode* root);
    IxFolderNode* FirstRoot() const { return m_pRoots; }
    // The node of a path: the top-level node whose name equals the path's
    // first components (without case), then each child by exact name. A
    // trailing '\' is ignored. Null when there is none.
    IxFolderNode* FindNode(LPCWSTR path) const;
    // The components from the top-level node down joined by '\', with a
    // trailing '\' when asked.
    static BOOL GetNodePath(const IxFolderNode* node, BOOL trailing, IxString& path);
    // Drops the node's children and files and lists the folder again.
    BOOL ListChildren(IxFolderNode* node);
    // Lists the node's children unless already done, then theirs down to
    // depth levels.
    void Expand(IxFolderNode* node, int depth);
    // A client's node from the cache tree (see the file list filter of
    // IxMatchesExtension). Skipped for watched nodes.
    BOOL FillFiles(IxFolderNode* node, const LPCWSTR* extensions, int count);
    // FillFiles of every node below node not yet filled, down depth levels;
    // stale nodes are skipped with their subtree.
    void FillSubtree(IxFolderNode* node, const LPCWSTR* extensions, int count, int depth);
    BOOL AddFile(IxFolderNode* node, LPCWSTR name);
    BOOL AddFiles(IxFolderNode* node, const IxStringArray& names);
    BOOL RemoveFile(IxFolderNode* node, LPCWSTR name);
    // Removes every file name longer than path that begins with it (without
    // case). Returns how many went.
    int RemoveFilesUnder(IxFolderNode* node, LPCWSTR path);
    void ClearFiles(IxFolderNode* node);
    // Whether the node's stale flag changed (watched nodes are left alone).
    BOOL MarkStale(IxFolderNode* node);
    void CollectWatched(IxFolderNode* node, IxStringArray& paths);
    void CollectChildren(IxFolderNode* node, IxArray<IxFolderNode*>& nodes);
    void CollectExisting(IxFolderNode* node, IxStringArray& names);

    // Lists the folder again and merges the listing into the node, recording
    // the changes.
    void RefreshFolder(IxFolderNode* node);

    // ---- Listeners and changes ----

    BOOL AddListener(IxFileListener* listener);
    void RemoveListener(IxFileListener* listener);
    const IxFileChangeList& GetChanges() const { return m_changes; }
    // Listeners get the pending changes, the list is cleared, then every
    // listener is told the refresh is done.
    void NotifyListeners();

    // The kernel hands the distinct watched paths whose watchers had
    // notices. Nothing is done while a job's refresh is pending.
    void UpdateByNotification(const IxStringArray& paths);
    // After a job: refreshes the folders of the refresh list, notifies and
    // clears the list. Runs on the user-interface thread.
    void RefreshAfterJob();
    const IxStringArray& GetRefreshList() const { return m_arrRefresh; }

    // ---- Jobs ----

    // Prepares the copy job (creating it and its target on first use): the
    // files and the sub-folders (recursively) of the source folder, filtered
    // by extension. 1 when there is work; the source and destination are
    // then listed for refresh. 0 (last error kind 2) when memory runs out,
    // 0 when there is nothing to do or a job is running.
    BOOL StartJob(int mode, LPCWSTR source, const IxStringArray* folders, const IxStringArray* files,
                  LPCWSTR destination, const LPCWSTR* extensions, int count);
    IxFileJob* GetJob() const { return m_pJob; }
    IxNotifyTarget* GetJobTarget() const { return m_pJobTarget; }
    // A job event as the kernel delivers it (action 53): the end of a job
    // (complete, cancelled or failed) refreshes the listed folders.
    void OnJobEvent(int kind, LPARAM value);
    // Deletes the job and its target (the job is cancelled first).
    void DeleteJob();

private:
    friend class IxFsJobSubscriber;

    BOOL ListFolder(const IxString& folderPath, IxStringArray& files, IxStringArray& folders, BOOL* failed);
    void RecordChange(LONG kind, BOOL folder, LPCWSTR path);
    void SubscribeJobEvents();

    IxFolderNode* m_pRoots = nullptr;
    DWORD m_dwAttributeMask = 0;
    IxFileChangeList m_changes{8};
    IxArray<IxFileListener*> m_listeners{8};
    IxNotifyTarget* m_pJobTarget = nullptr;
    IxFileJob* m_pJob = nullptr;
    IxStringArray m_arrRefresh{8};
    IxFsJobSubscriber* m_pSubscriber = nullptr;
    int m_nNotifying = 0; // listener calls in progress
    CRITICAL_SECTION m_lock;
};

// ---------------------------------------------------------------------------
// The private heap. Acquire and release are use-counted: the heap exists
// while the count is above 0. IxFsAlloc uses it when it exists, else the C
// heap; IxFsFree frees from wherever the buffer came.

void IxFsHeapAcquire();
void IxFsHeapRelease();
void* IxFsAlloc(std::size_t size);
void IxFsFree(void* buffer);

// ---------------------------------------------------------------------------
// The framework file handle.

enum : DWORD {
    IXFILE_CREATE = 0x1,       // create always (else open existing)
    IXFILE_OPENEXISTING = 0x2, // with write access: never create
    IXFILE_READ = 0x10,
    IXFILE_WRITE = 0x20,
    IXFILE_NOSHAREREAD = 0x100000,
    IXFILE_NOSHAREWRITE = 0x200000,
    IXFILE_TEXT = IXFILE_READ | IXFILE_NOSHAREWRITE, // how text files are opened
};

// Header of the typed data file: size word + 16 bytes.
inline constexpr DWORD kIxDataFileHeader = 20;

class IxFile {
public:
    IxFile() = default;
    ~IxFile() { Close(); }
    IxFile(const IxFile&) = delete;
    IxFile& operator=(const IxFile&) = delete;

    // Opens path with the IXFILE_ flags (any handle held is closed first).
    BOOL Open(LPCWSTR path, DWORD flags);
    void Close();
    BOOL IsOpen() const { return m_hFile != INVALID_HANDLE_VALUE; }
    HANDLE GetHandle() const { return m_hFile; }

    // Writes the typed data file, hidden: the size word, the header {16, 1,
    // type, version} and the payload (none for a length of 0). The handle
    // stays open in this object.
    BOOL WriteDataFile(LPCWSTR path, const void* payload, DWORD length, DWORD type, DWORD version);
    // The payload of a typed data file, from the private heap (IxFsFree), or
    // null when the file is missing, truncated, foreign (size word, header,
    // type or version differ) or the memory runs out (last error kind 2).
    // An empty payload reads back as a valid buffer of length 0.
    void* ReadDataFile(LPCWSTR path, DWORD type, DWORD version, DWORD* length);
    // Reads the open file as text by its byte-order mark: FF FE UTF-16LE,
    // EF BB BF UTF-8 (the mark kept as U+FEFF), "+/v" UTF-7, else the ANSI
    // code page (949). Returns a zero-terminated text from the private heap
    // (IxFsFree) and its length in characters, or null for a file below 4
    // bytes or a failed read or conversion.
    LPWSTR ReadText(DWORD* length);

private:
    HANDLE m_hFile = INVALID_HANDLE_VALUE;
};
