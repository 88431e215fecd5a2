#include "Lib_cpp/fs/FileSystem.h"

#include "Lib_cpp/core/Diag.h"
#include "Lib_cpp/core/Notify.h"
#include "Lib_cpp/fs/FileThreads.h"
#include "Lib_cpp/kernel/Kernel.h"
#include "platform/base/Clock.h"
#include "platform/base/Text.h"
#include "platform/io/CodePage.h"
#include "platform/io/File.h"
#include "platform/io/Io.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace {

BOOL StartsWithNoCase(LPCWSTR text, LPCWSTR prefix, int prefixLength)
{
    for (int i = 0; i < prefixLength; ++i) {
        if (!text[i] || platform::FoldCase(text[i]) != platform::FoldCase(prefix[i]))
            return FALSE;
    }
    return TRUE;
}

// Length without one trailing '\'.
int TrimmedLength(LPCWSTR text)
{
    int n = lstrlenW(text);
    if (n > 0 && text[n - 1] == u'\\')
        --n;
    return n;
}

// Index of the folder part's end (one past the last '\'), 0 without one.
int FolderPartLength(LPCWSTR path)
{
    int end = 0;
    for (int i = 0; path[i]; ++i) {
        if (path[i] == u'\\')
            end = i + 1;
    }
    return end;
}

BOOL SameFolderPart(LPCWSTR a, int length, LPCWSTR b)
{
    return FolderPartLength(b) == length && std::memcmp(a, b, sizeof(WCHAR) * static_cast<std::size_t>(length)) == 0;
}

} // namespace

IxString IxConcat(LPCWSTR a, LPCWSTR b, LPCWSTR c)
{
    IxString out(a);
    if (b)
        out.Append(b, lstrlenW(b));
    if (c)
        out.Append(c, lstrlenW(c));
    return out;
}

IxString IxWithSeparator(LPCWSTR folder)
{
    IxString out(folder);
    const int n = lstrlenW(folder);
    if (n == 0 || folder[n - 1] != u'\\')
        out.Append(u"\\", 1);
    return out;
}

// ---------------------------------------------------------------------------
// Path helpers.

BOOL IxFolderExists(LPCWSTR path)
{
    if (!path)
        return FALSE;
    IxString probe;
    if (path[0] != u'\\')
        probe.Assign(u"\\");
    probe.Append(path, lstrlenW(path));
    const int n = probe.Length();
    if (n == 0 || probe.Text()[n - 1] != u'\\')
        probe.Append(u"\\", 1);
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(probe.Text(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return FALSE;
    FindClose(find);
    return TRUE;
}

BOOL IxIsDotName(LPCWSTR name)
{
    return name && name[0] == u'.' && (name[1] == 0 || (name[1] == u'.' && name[2] == 0));
}

void IxFindFolderRun(const IxStringArray& paths, int index, int* first, int* end)
{
    int from = index, to = index;
    if (index >= 0 && index < paths.Count()) {
        LPCWSTR path = paths.TextAt(index);
        const int length = FolderPartLength(path);
        to = index + 1;
        while (to < paths.Count() && SameFolderPart(path, length, paths.TextAt(to)))
            ++to;
        while (from > 0 && SameFolderPart(path, length, paths.TextAt(from - 1)))
            --from;
    }
    if (first)
        *first = from;
    if (end)
        *end = to;
}

BOOL IxMatchesExtension(LPCWSTR name, const LPCWSTR* extensions, int count)
{
    if (!extensions || count <= 0)
        return TRUE;
    LPCWSTR dot = nullptr;
    for (LPCWSTR p = name; *p; ++p) {
        if (*p == u'.')
            dot = p;
    }
    if (!dot)
        return FALSE;
    for (int i = 0; i < count; ++i) {
        if (extensions[i] && lstrcmpiW(dot + 1, extensions[i]) == 0)
            return TRUE;
    }
    return FALSE;
}

// ---------------------------------------------------------------------------
// Folder nodes.

IxFolderNode::IxFolderNode(LPCWSTR name, IxFolderNode* parent, int step)
    : m_pParent(parent), m_strName(name), m_arrFiles(step), m_nGrowth(step)
{
}

IxFolderNode::~IxFolderNode()
{
    DeleteChildren();
}

IxFolderNode* IxFolderNode::InsertChildBefore(IxFolderNode* before, LPCWSTR name)
{
    auto* child = new (std::nothrow) IxFolderNode(name, this, 16);
    if (!child) {
        IxRecordNoMemory();
        return nullptr;
    }
    IxFolderNode** link = &m_pFirstChild;
    while (*link && *link != before)
        link = &(*link)->m_pNext;
    child->m_pNext = *link;
    *link = child;
    ++m_nChildren;
    return child;
}

IxFolderNode* IxFolderNode::AppendChild(LPCWSTR name)
{
    return InsertChildBefore(nullptr, name);
}

void IxFolderNode::UnlinkChild(IxFolderNode* child)
{
    for (IxFolderNode** link = &m_pFirstChild; *link; link = &(*link)->m_pNext) {
        if (*link == child) {
            *link = child->m_pNext;
            child->m_pNext = nullptr;
            --m_nChildren;
            return;
        }
    }
}

void IxFolderNode::DeleteChild(IxFolderNode* child)
{
    UnlinkChild(child);
    delete child;
}

void IxFolderNode::DeleteChildren()
{
    while (IxFolderNode* child = m_pFirstChild) {
        m_pFirstChild = child->m_pNext;
        delete child;
    }
    m_nChildren = 0;
}

IxFolderNode* IxFolderNode::FindChild(LPCWSTR name) const
{
    for (IxFolderNode* child = m_pFirstChild; child; child = child->m_pNext) {
        if (lstrcmpW(child->m_strName.Text(), name) == 0)
            return child;
    }
    return nullptr;
}

// ---------------------------------------------------------------------------
// The element that receives the job's actions on the user-interface thread.

class IxFsJobSubscriber final : public IxReceiver {
public:
    explicit IxFsJobSubscriber(IxFileSystem* owner) : m_pOwner(owner) {}
    ~IxFsJobSubscriber()
    {
        if (IxKernel* kernel = IxGetKernel())
            kernel->ForgetReceiver(this);
    }
    int ActionIsInvoked(int code, int kind, LPARAM value) override
    {
        if (code == IX_FILEJOB_TARGET)
            m_pOwner->OnJobEvent(kind, value);
        return 0; // the listeners get the action too
    }
    LRESULT OnEvent(int, LPARAM) override { return 0; }

private:
    IxFileSystem* m_pOwner;
};

// ---------------------------------------------------------------------------
// The manager.

IxFileSystem* IxFileSystem::GetInstance()
{
    // Lives for the whole program.
    static IxFileSystem* instance = new IxFileSystem;
    return instance;
}

IxFileSystem::IxFileSystem()
{
    InitializeCriticalSection(&m_lock);
}

IxFileSystem::~IxFileSystem()
{
    DeleteJob();
    while (m_pRoots)
        RemoveRoot(m_pRoots);
    DeleteCriticalSection(&m_lock);
}

IxFolderNode* IxFileSystem::AddRoot(void* owner, LPCWSTR rootPath, int growth)
{
    auto* node = new (std::nothrow) IxFolderNode(rootPath, nullptr, growth > 0 ? growth : 16);
    if (!node) {
        IxRecordNoMemory();
        return nullptr;
    }
    node->m_pOwner = owner;
    Lock();
    IxFolderNode** link = &m_pRoots;
    while (*link)
        link = &(*link)->m_pNext;
    *link = node;
    Unlock();
    return node;
}

void IxFileSystem::RemoveRoot(IxFolderNode* root)
{
    Lock();
    for (IxFolderNode** link = &m_pRoots; *link; link = &(*link)->m_pNext) {
        if (*link == root) {
            *link = root->m_pNext;
            delete root;
            break;
        }
    }
    Unlock();
}

IxFolderNode* IxFileSystem::FindNode(LPCWSTR path) const
{
    if (!path)
        return nullptr;
    IxFolderNode* best = nullptr;
    int bestLength = -1;
    for (IxFolderNode* root = m_pRoots; root; root = root->m_pNext) {
        const int length = TrimmedLength(root->m_strName.Text());
        if (length > bestLength && StartsWithNoCase(path, root->m_strName.Text(), length)
            && (path[length] == 0 || path[length] == u'\\')) {
            best = root;
            bestLength = length;
        }
    }
    if (!best)
        return nullptr;
    IxFolderNode* node = best;
    LPCWSTR p = path + bestLength;
    IxString component;
    while (*p) {
        while (*p == u'\\')
            ++p;
        LPCWSTR start = p;
        while (*p && *p != u'\\')
            ++p;
        if (p == start)
            break;
        component.AssignChars(start, static_cast<int>(p - start));
        node = node->FindChild(component.Text());
        if (!node)
            return nullptr;
    }
    return node;
}

BOOL IxFileSystem::GetNodePath(const IxFolderNode* node, BOOL trailing, IxString& path)
{
    if (!node) {
        path.Release();
        return FALSE;
    }
    const IxFolderNode* chain[256];
    int depth = 0;
    for (const IxFolderNode* n = node; n && depth < 256; n = n->m_pParent)
        chain[depth++] = n;
    IxString out;
    for (int i = depth - 1; i >= 0; --i) {
        LPCWSTR name = chain[i]->m_strName.Text();
        int length = i == depth - 1 ? TrimmedLength(name) : lstrlenW(name);
        if (i != depth - 1 && !out.Append(u"\\", 1))
            return FALSE;
        if (length && !out.Append(name, length))
            return FALSE;
    }
    if (trailing && !out.Append(u"\\", 1))
        return FALSE;
    path = out;
    return TRUE;
}

BOOL IxFileSystem::ListFolder(const IxString& folderPath, IxStringArray& files, IxStringArray& folders, BOOL* failed)
{
    *failed = FALSE;
    IxString pattern = IxConcat(IxWithSeparator(folderPath.Text()).Text(), u"*.*");
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(pattern.Text(), &data);
    if (find == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        *failed = error != ERROR_FILE_NOT_FOUND && error != ERROR_NO_MORE_FILES;
        return !*failed;
    }
    do {
        if (data.dwFileAttributes & m_dwAttributeMask)
            continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (!IxIsDotName(data.cFileName))
                folders.AddText(data.cFileName);
        } else {
            files.AddText(data.cFileName);
        }
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return TRUE;
}

BOOL IxFileSystem::ListChildren(IxFolderNode* node)
{
    if (!node)
        return FALSE;
    Lock();
    node->DeleteChildren();
    node->m_arrFiles.RemoveAll();
    IxString path;
    GetNodePath(node, FALSE, path);
    IxStringArray files(16), folders(8);
    BOOL failed = FALSE;
    ListFolder(path, files, folders, &failed);
    for (int i = 0; i < files.Count(); ++i)
        node->m_arrFiles.Add(files.At(i));
    for (int i = 0; i < folders.Count(); ++i)
        node->AppendChild(folders.TextAt(i));
    Unlock();
    return !failed;
}

void IxFileSystem::Expand(IxFolderNode* node, int depth)
{
    if (!node || depth <= 0)
        return;
    Lock();
    if (!(node->m_dwFlags & IXFN_EXPANDED)) {
        ListChildren(node);
        node->m_dwFlags |= IXFN_EXPANDED;
    }
    if (depth > 1) {
        for (IxFolderNode* child = node->m_pFirstChild; child; child = child->m_pNext)
            Expand(child, depth - 1);
    }
    Unlock();
}

BOOL IxFileSystem::FillFiles(IxFolderNode* node, const LPCWSTR* extensions, int count)
{
    if (!node || (node->m_dwFlags & IXFN_WATCHED))
        return FALSE;
    Lock();
    IxString path;
    GetNodePath(node, FALSE, path);
    IxFolderNode* cache = FindNode(path.Text());
    if (!cache) {
        Unlock();
        return FALSE;
    }
    Expand(cache, 1);
    node->m_arrFiles.RemoveAll();
    for (int i = 0; i < cache->m_arrFiles.Count(); ++i) {
        if (IxMatchesExtension(cache->m_arrFiles.TextAt(i), extensions, count))
            node->m_arrFiles.Add(cache->m_arrFiles.At(i));
    }
    // Children in the cache's order; a child the client already has keeps
    // its subtree.
    IxFolderNode* kept = node->m_pFirstChild;
    node->m_pFirstChild = nullptr;
    node->m_nChildren = 0;
    IxFolderNode** tail = &node->m_pFirstChild;
    for (IxFolderNode* source = cache->m_pFirstChild; source; source = source->m_pNext) {
        IxFolderNode* child = nullptr;
        for (IxFolderNode** link = &kept; *link; link = &(*link)->m_pNext) {
            if (lstrcmpW((*link)->m_strName.Text(), source->m_strName.Text()) == 0) {
                child = *link;
                *link = child->m_pNext;
                break;
            }
        }
        if (!child) {
            child = new (std::nothrow) IxFolderNode(source->m_strName.Text(), node, 16);
            if (!child) {
                IxRecordNoMemory();
                continue;
            }
        }
        child->m_pNext = nullptr;
        if (source->m_dwFlags & IXFN_WATCHED)
            child->m_dwFlags |= IXFN_CACHEWATCHED;
        else
            child->m_dwFlags &= ~IXFN_CACHEWATCHED;
        *tail = child;
        tail = &child->m_pNext;
        ++node->m_nChildren;
    }
    while (kept) {
        IxFolderNode* next = kept->m_pNext;
        delete kept;
        kept = next;
    }
    node->m_dwFlags |= IXFN_FILLED;
    Unlock();
    return TRUE;
}

void IxFileSystem::FillSubtree(IxFolderNode* node, const LPCWSTR* extensions, int count, int depth)
{
    if (!node || (node->m_dwFlags & IXFN_STALE))
        return;
    Lock();
    if (!(node->m_dwFlags & IXFN_FILLED))
        FillFiles(node, extensions, count);
    if (depth > 0) {
        for (IxFolderNode* child = node->m_pFirstChild; child; child = child->m_pNext)
            FillSubtree(child, extensions, count, depth - 1);
    }
    Unlock();
}

BOOL IxFileSystem::AddFile(IxFolderNode* node, LPCWSTR name)
{
    if (!node || !name)
        return FALSE;
    Lock();
    BOOL ok = TRUE;
    int i = 0;
    while (i < node->m_arrFiles.Count() && lstrcmpiW(node->m_arrFiles.TextAt(i), name) != 0)
        ++i;
    if (i == node->m_arrFiles.Count())
        ok = node->m_arrFiles.AddText(name);
    node->m_dwFlags |= IXFN_FILLED;
    Unlock();
    return ok;
}

BOOL IxFileSystem::AddFiles(IxFolderNode* node, const IxStringArray& names)
{
    BOOL ok = TRUE;
    for (int i = 0; i < names.Count(); ++i)
        ok = AddFile(node, names.TextAt(i)) && ok;
    return ok;
}

BOOL IxFileSystem::RemoveFile(IxFolderNode* node, LPCWSTR name)
{
    if (!node || !name)
        return FALSE;
    Lock();
    BOOL removed = FALSE;
    for (int i = 0; i < node->m_arrFiles.Count(); ++i) {
        if (lstrcmpiW(node->m_arrFiles.TextAt(i), name) == 0) {
            node->m_arrFiles.RemoveAt(i);
            removed = TRUE;
            break;
        }
    }
    Unlock();
    return removed;
}

int IxFileSystem::RemoveFilesUnder(IxFolderNode* node, LPCWSTR path)
{
    if (!node || !path)
        return 0;
    const int length = lstrlenW(path);
    int removed = 0;
    Lock();
    for (int i = node->m_arrFiles.Count() - 1; i >= 0; --i) {
        LPCWSTR name = node->m_arrFiles.TextAt(i);
        if (lstrlenW(name) > length && StartsWithNoCase(name, path, length)) {
            node->m_arrFiles.RemoveAt(i);
            ++removed;
        }
    }
    Unlock();
    return removed;
}

void IxFileSystem::ClearFiles(IxFolderNode* node)
{
    if (!node)
        return;
    Lock();
    node->m_arrFiles.RemoveAll();
    node->m_dwFlags &= ~IXFN_FILLED;
    Unlock();
}

BOOL IxFileSystem::MarkStale(IxFolderNode* node)
{
    if (!node || (node->m_dwFlags & IXFN_WATCHED))
        return FALSE;
    Lock();
    IxString path;
    GetNodePath(node, FALSE, path);
    const IxFolderNode* cache = FindNode(path.Text());
    const BOOL stale = !cache || (cache->m_dwFlags & IXFN_CACHEWATCHED);
    const BOOL was = (node->m_dwFlags & IXFN_STALE) != 0;
    if (stale)
        node->m_dwFlags |= IXFN_STALE;
    else
        node->m_dwFlags &= ~IXFN_STALE;
    Unlock();
    return stale != was;
}

void IxFileSystem::CollectWatched(IxFolderNode* node, IxStringArray& paths)
{
    if (!node)
        return;
    Lock();
    for (IxFolderNode* child = node->m_pFirstChild; child; child = child->m_pNext) {
        if (child->m_dwFlags & IXFN_WATCHED) {
            IxString path;
            GetNodePath(child, FALSE, path);
            paths.Add(path);
        }
        CollectWatched(child, paths);
    }
    Unlock();
}

void IxFileSystem::CollectChildren(IxFolderNode* node, IxArray<IxFolderNode*>& nodes)
{
    if (!node)
        return;
    Lock();
    for (IxFolderNode* child = node->m_pFirstChild; child; child = child->m_pNext) {
        nodes.Add(child);
        CollectChildren(child, nodes);
    }
    Unlock();
}

void IxFileSystem::CollectExisting(IxFolderNode* node, IxStringArray& names)
{
    if (!node)
        return;
    Lock();
    for (IxFolderNode* child = node->m_pFirstChild; child; child = child->m_pNext) {
        if (child->m_dwFlags & IXFN_CACHEWATCHED)
            names.Add(child->m_strName);
    }
    Unlock();
}

void IxFileSystem::RecordChange(LONG kind, BOOL folder, LPCWSTR path)
{
    IxFileChange change;
    change.nKind = kind;
    change.bFolder = folder;
    change.strPath.Assign(path);
    m_changes.Add(change);
}

void IxFileSystem::RefreshFolder(IxFolderNode* node)
{
    if (!node || !(node->m_dwFlags & IXFN_EXPANDED))
        return;
    Lock();
    IxString path;
    GetNodePath(node, FALSE, path);
    const IxString prefix = IxWithSeparator(path.Text());
    IxStringArray files(16), folders(8);
    BOOL failed = FALSE;
    ListFolder(path, files, folders, &failed);

    // Files: the cached list follows the listing, recording what differs.
    IxStringArray& cached = node->m_arrFiles;
    int cursor = 0;
    for (int i = 0; i < files.Count(); ++i) {
        LPCWSTR name = files.TextAt(i);
        if (cursor < cached.Count() && lstrcmpW(cached.TextAt(cursor), name) == 0) {
            ++cursor;
            continue;
        }
        int later = cursor + 1;
        while (later < cached.Count() && lstrcmpW(cached.TextAt(later), name) != 0)
            ++later;
        if (later < cached.Count()) {
            IxString moved = cached.At(later);
            cached.RemoveAt(later);
            cached.InsertText(cursor, moved.Text());
        } else {
            RecordChange(IXFC_APPEARED, FALSE, IxConcat(prefix.Text(), name).Text());
            cached.InsertText(cursor, name);
        }
        ++cursor;
    }
    while (cached.Count() > cursor) {
        RecordChange(IXFC_VANISHED, FALSE, IxConcat(prefix.Text(), cached.TextAt(cursor)).Text());
        cached.RemoveAt(cursor);
    }

    // Folders: the same merge over the children; equal children are
    // refreshed in turn.
    IxFolderNode* at = node->m_pFirstChild;
    for (int i = 0; i < folders.Count(); ++i) {
        LPCWSTR name = folders.TextAt(i);
        if (at && lstrcmpW(at->m_strName.Text(), name) == 0) {
            RefreshFolder(at);
            at = at->m_pNext;
            continue;
        }
        IxFolderNode* later = at ? at->m_pNext : nullptr;
        while (later && lstrcmpW(later->m_strName.Text(), name) != 0)
            later = later->m_pNext;
        if (later) {
            node->UnlinkChild(later);
            // Relink before the cursor.
            IxFolderNode** link = &node->m_pFirstChild;
            while (*link != at)
                link = &(*link)->m_pNext;
            later->m_pNext = at;
            *link = later;
            ++node->m_nChildren;
            RefreshFolder(later);
        } else if (node->InsertChildBefore(at, name)) {
            RecordChange(IXFC_APPEARED, TRUE, IxConcat(prefix.Text(), name).Text());
        }
    }
    while (at) {
        IxFolderNode* next = at->m_pNext;
        RecordChange(IXFC_VANISHED, TRUE, IxConcat(prefix.Text(), at->m_strName.Text()).Text());
        node->DeleteChild(at);
        at = next;
    }
    Unlock();
}

BOOL IxFileSystem::AddListener(IxFileListener* listener)
{
    if (!listener)
        return FALSE;
    Lock();
    const BOOL ok = m_listeners.Add(listener);
    Unlock();
    return ok;
}

void IxFileSystem::RemoveListener(IxFileListener* listener)
{
    Lock();
    const int i = m_listeners.IndexOfValue(listener);
    if (i >= 0) {
        // A listener may leave while the others are being told: its slot is
        // emptied now and dropped afterwards.
        if (m_nNotifying > 0)
            m_listeners[i] = nullptr;
        else
            m_listeners.RemoveAt(i);
    }
    Unlock();
}

void IxFileSystem::NotifyListeners()
{
    Lock();
    ++m_nNotifying;
    if (m_changes.Count() > 0) {
        for (int i = 0; i < m_listeners.Count(); ++i) {
            if (m_listeners[i])
                m_listeners[i]->OnFileChanges(m_changes);
        }
    }
    m_changes.RemoveAll();
    for (int i = 0; i < m_listeners.Count(); ++i) {
        if (m_listeners[i])
            m_listeners[i]->OnFileChangesDone();
    }
    if (--m_nNotifying == 0) {
        for (int i = m_listeners.Count() - 1; i >= 0; --i) {
            if (!m_listeners[i])
                m_listeners.RemoveAt(i);
        }
    }
    Unlock();
}

void IxFileSystem::UpdateByNotification(const IxStringArray& paths)
{
    Lock();
    if (m_arrRefresh.Count() > 0) {
        Unlock();
        return;
    }
    IxTrace(u"[FILESYS] : try to update Files by Notification, at [%ld]\r\n", GetTickCount());
    for (int i = 0; i < paths.Count(); ++i)
        RefreshFolder(FindNode(paths.TextAt(i)));
    IxTrace(u"[FILESYS] : end to update Files by Notification, at [%ld]\r\n", GetTickCount());
    IxTrace(u"[FILESYS] : try to notify File Change, at [%ld]\r\n", GetTickCount());
    NotifyListeners();
    IxTrace(u"[FILESYS] : end to notify File Change, at [%ld]\r\n", GetTickCount());
    Unlock();
}

void IxFileSystem::RefreshAfterJob()
{
    Lock();
    if (m_arrRefresh.Count() > 0) {
        for (int i = 0; i < m_arrRefresh.Count(); ++i)
            RefreshFolder(FindNode(m_arrRefresh.TextAt(i)));
        NotifyListeners();
        m_arrRefresh.RemoveAll();
    }
    Unlock();
}

void IxFileSystem::OnJobEvent(int kind, LPARAM)
{
    // Complete and cancelled end the job; so does a failed step, and its
    // folders must be refreshed and the list cleared as well, or every
    // later watcher notice would be ignored.
    if (kind == IXJOB_EV_COMPLETE || kind == IXJOB_EV_CANCELLED || kind == IXJOB_EV_FAILED)
        RefreshAfterJob();
}

void IxFileSystem::SubscribeJobEvents()
{
    IxKernel* kernel = IxGetKernel();
    if (!kernel)
        return;
    if (!m_pSubscriber) {
        m_pSubscriber = new (std::nothrow) IxFsJobSubscriber(this);
        if (!m_pSubscriber) {
            IxRecordNoMemory();
            return;
        }
    }
    // The kernel may be a new one since the last job.
    if (IxSubscription* subscription = kernel->FindSubscription(IX_FILEJOB_TARGET)) {
        for (int i = 0; i < subscription->receivers.Count(); ++i) {
            if (subscription->receivers[i] == m_pSubscriber)
                return;
        }
    }
    kernel->Subscribe(IX_FILEJOB_TARGET, m_pSubscriber);
}

void IxFileSystem::DeleteJob()
{
    if (m_pJob) {
        m_pJob->Cancel(3000);
        delete m_pJob;
        m_pJob = nullptr;
    }
    if (m_pJobTarget) {
        m_pJobTarget->Release();
        m_pJobTarget = nullptr;
    }
    delete m_pSubscriber;
    m_pSubscriber = nullptr;
    Lock();
    m_arrRefresh.RemoveAll();
    Unlock();
}

namespace {

struct JobPlan {
    IxFileJob* job;
    int mode;
    const LPCWSTR* extensions;
    int count;
    const IxStringArray* excluded; // watched folders, with a trailing '\'
    IxVisitedFolders* visited;     // the real folders collected so far
};

BOOL IsExcluded(const JobPlan& plan, LPCWSTR folder)
{
    for (int i = 0; i < plan.excluded->Count(); ++i) {
        if (lstrcmpiW(plan.excluded->TextAt(i), folder) == 0)
            return TRUE;
    }
    return FALSE;
}

// source and destination end with '\'; destination is empty for a delete.
BOOL CollectFolder(const JobPlan& plan, const IxString& source, const IxString& destination)
{
    // A folder reached again through a link is neither copied nor removed
    // twice (nor without end).
    if (!plan.visited->Enter(source.Text()))
        return TRUE;
    IxStringArray folders(8);
    IxString pattern = IxConcat(source.Text(), u"*.*");
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(pattern.Text(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                if (!IxIsDotName(data.cFileName) && !folders.AddText(data.cFileName)) {
                    FindClose(find);
                    return FALSE;
                }
                continue;
            }
            if (!IxMatchesExtension(data.cFileName, plan.extensions, plan.count))
                continue;
            const IxString from = IxConcat(source.Text(), data.cFileName);
            const IxString to = destination.IsEmpty() ? from : IxConcat(destination.Text(), data.cFileName);
            const ULONGLONG size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
            if (!plan.job->AddFile(from.Text(), to.Text(), size)) {
                FindClose(find);
                return FALSE;
            }
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    for (int i = 0; i < folders.Count(); ++i) {
        const IxString from = IxConcat(source.Text(), folders.TextAt(i), u"\\");
        IxString to;
        if (!destination.IsEmpty()) {
            to = IxConcat(destination.Text(), folders.TextAt(i), u"\\");
            if (!plan.job->AddStep(nullptr, to.Text()))
                return FALSE;
        }
        if (!CollectFolder(plan, from, to))
            return FALSE;
    }
    if ((plan.mode == IXJOB_MOVE || plan.mode == IXJOB_DELETE) && !IsExcluded(plan, source.Text()))
        return plan.job->AddFolderRemoval(source.Text());
    return TRUE;
}

} // namespace

BOOL IxFileSystem::StartJob(int mode, LPCWSTR source, const IxStringArray* folders, const IxStringArray* files,
                            LPCWSTR destination, const LPCWSTR* extensions, int count)
{
    if (!source || mode < IXJOB_COPY || mode > IXJOB_DELETE) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (m_pJob && m_pJob->GetState() == IXJOBSTATE_RUNNING && m_pJob->IsRunning()) {
        SetLastError(ERROR_BUSY);
        return FALSE;
    }
    if (!m_pJobTarget) {
        m_pJobTarget = new (std::nothrow) IxNotifyTarget(IX_FILEJOB_TARGET);
        if (!m_pJobTarget) {
            IxRecordNoMemory();
            return FALSE;
        }
    }
    if (!m_pJob) {
        m_pJob = new (std::nothrow) IxFileJob(m_pJobTarget);
        if (!m_pJob) {
            IxRecordNoMemory();
            return FALSE;
        }
        m_pJob->SetFileSystem(this);
    }
    SubscribeJobEvents();

    const BOOL hasDestination = mode != IXJOB_DELETE && destination && destination[0];
    if (mode != IXJOB_DELETE && !hasDestination) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const IxString sourceFolder = IxWithSeparator(source);
    const IxString destinationFolder = hasDestination ? IxWithSeparator(destination) : IxString();

    // Watched folders under the source are never removed.
    IxStringArray watched(8), excluded(8);
    Lock();
    IxString sourcePath(source);
    sourcePath.AssignChars(source, TrimmedLength(source));
    CollectWatched(FindNode(sourcePath.Text()), watched);
    Unlock();
    for (int i = 0; i < watched.Count(); ++i)
        excluded.Add(IxWithSeparator(watched.TextAt(i)));

    IxFileJob* job = m_pJob;
    job->Reset(mode);
    IxVisitedFolders visited;
    const JobPlan plan{job, mode, extensions, count, &excluded, &visited};
    BOOL ok = TRUE;
    for (int i = 0; ok && files && i < files->Count(); ++i) {
        const IxString from = IxConcat(sourceFolder.Text(), files->TextAt(i));
        const IxString to = hasDestination ? IxConcat(destinationFolder.Text(), files->TextAt(i)) : from;
        WIN32_FIND_DATAW data;
        ULONGLONG size = 0;
        HANDLE find = FindFirstFileW(from.Text(), &data);
        if (find != INVALID_HANDLE_VALUE) {
            size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
            FindClose(find);
        }
        ok = job->AddFile(from.Text(), to.Text(), size);
    }
    for (int i = 0; ok && folders && i < folders->Count(); ++i) {
        const IxString from = IxConcat(sourceFolder.Text(), folders->TextAt(i), u"\\");
        IxString to;
        if (hasDestination) {
            to = IxConcat(destinationFolder.Text(), folders->TextAt(i), u"\\");
            ok = job->AddStep(nullptr, to.Text());
        }
        ok = ok && CollectFolder(plan, from, to);
    }
    if (!ok) {
        job->Reset(mode);
        IxRecordNoMemory();
        return FALSE;
    }
    if (!job->HasWork())
        return FALSE;

    Lock();
    auto listOnce = [this](LPCWSTR folder) {
        IxString path;
        path.AssignChars(folder, TrimmedLength(folder));
        for (int i = 0; i < m_arrRefresh.Count(); ++i) {
            if (lstrcmpiW(m_arrRefresh.TextAt(i), path.Text()) == 0)
                return;
        }
        m_arrRefresh.Add(path);
    };
    listOnce(source);
    if (hasDestination)
        listOnce(destination);
    Unlock();
    return TRUE;
}

// ---------------------------------------------------------------------------
// The private heap. The unit's heap calls map onto the C heap here, so a
// buffer is freed the same way whether or not the heap existed when it was
// allocated; the use count is kept for the callers that pair acquire and
// release.

namespace {
std::atomic<int> g_heapUsers{0};
} // namespace

void IxFsHeapAcquire()
{
    g_heapUsers.fetch_add(1);
}

void IxFsHeapRelease()
{
    int users = g_heapUsers.load();
    while (users > 0 && !g_heapUsers.compare_exchange_weak(users, users - 1)) {}
}

void* IxFsAlloc(std::size_t size)
{
    void* buffer = std::malloc(size ? size : 1);
    if (!buffer) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        IxRecordError(IXERR_NOMEMORY);
    }
    return buffer;
}

void IxFsFree(void* buffer)
{
    std::free(buffer);
}

// ---------------------------------------------------------------------------
// The file handle.

BOOL IxFile::Open(LPCWSTR path, DWORD flags)
{
    Close();
    DWORD access = 0;
    if (flags & IXFILE_READ)
        access |= GENERIC_READ;
    if (flags & IXFILE_WRITE)
        access |= GENERIC_WRITE;
    DWORD disposition = OPEN_EXISTING;
    if (flags & IXFILE_CREATE)
        disposition = CREATE_ALWAYS;
    else if ((flags & IXFILE_WRITE) && !(flags & IXFILE_OPENEXISTING))
        disposition = OPEN_ALWAYS;
    DWORD share = 0;
    if (!(flags & IXFILE_NOSHAREREAD))
        share |= FILE_SHARE_READ;
    if (!(flags & IXFILE_NOSHAREWRITE))
        share |= FILE_SHARE_WRITE;
    m_hFile = CreateFileW(path, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    return m_hFile != INVALID_HANDLE_VALUE;
}

void IxFile::Close()
{
    if (m_hFile != INVALID_HANDLE_VALUE) {
        CloseHandle(m_hFile);
        m_hFile = INVALID_HANDLE_VALUE;
    }
}

namespace {

void PutWord(BYTE* at, DWORD value)
{
    at[0] = static_cast<BYTE>(value);
    at[1] = static_cast<BYTE>(value >> 8);
    at[2] = static_cast<BYTE>(value >> 16);
    at[3] = static_cast<BYTE>(value >> 24);
}

DWORD GetWord(const BYTE* at)
{
    return static_cast<DWORD>(at[0]) | (static_cast<DWORD>(at[1]) << 8) | (static_cast<DWORD>(at[2]) << 16)
        | (static_cast<DWORD>(at[3]) << 24);
}

BOOL ReadAll(HANDLE file, void* buffer, DWORD size)
{
    DWORD got = 0;
    return ReadFile(file, buffer, size, &got, nullptr) && got == size;
}

BOOL WriteAll(HANDLE file, const void* data, DWORD size)
{
    DWORD put = 0;
    return WriteFile(file, data, size, &put, nullptr) && put == size;
}

} // namespace

BOOL IxFile::WriteDataFile(LPCWSTR path, const void* payload, DWORD length, DWORD type, DWORD version)
{
    if (length > 0xFFFFFFFFu - kIxDataFileHeader || (length && !payload)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Close();
    m_hFile = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_HIDDEN, nullptr);
    if (m_hFile == INVALID_HANDLE_VALUE)
        return FALSE;
    BYTE header[kIxDataFileHeader];
    PutWord(header, length + kIxDataFileHeader);
    PutWord(header + 4, 16);
    PutWord(header + 8, 1);
    PutWord(header + 12, type);
    PutWord(header + 16, version);
    if (!WriteAll(m_hFile, header, sizeof header))
        return FALSE;
    return length == 0 || WriteAll(m_hFile, payload, length);
}

void* IxFile::ReadDataFile(LPCWSTR path, DWORD type, DWORD version, DWORD* length)
{
    if (length)
        *length = 0;
    Close();
    m_hFile = CreateFileW(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_HIDDEN, nullptr);
    if (m_hFile == INVALID_HANDLE_VALUE)
        return nullptr;
    void* payload = nullptr;
    BYTE header[kIxDataFileHeader];
    DWORD high = 0;
    const DWORD size = GetFileSize(m_hFile, &high);
    if (size != INVALID_FILE_SIZE && high == 0 && size >= kIxDataFileHeader && ReadAll(m_hFile, header, sizeof header)
        && GetWord(header) == size && GetWord(header + 4) == 16 && GetWord(header + 8) == 1
        && GetWord(header + 12) == type && GetWord(header + 16) == version) {
        const DWORD bytes = size - kIxDataFileHeader;
        payload = IxFsAlloc(bytes);
        if (payload && bytes && !ReadAll(m_hFile, payload, bytes)) {
            IxFsFree(payload);
            payload = nullptr;
        }
        if (payload && length)
            *length = bytes;
    }
    Close();
    return payload;
}

LPWSTR IxFile::ReadText(DWORD* length)
{
    if (length)
        *length = 0;
    if (m_hFile == INVALID_HANDLE_VALUE)
        return nullptr;
    DWORD high = 0;
    const DWORD size = GetFileSize(m_hFile, &high);
    if (size == INVALID_FILE_SIZE || high != 0 || size < 4 || size > 0x7FFFFFF0u)
        return nullptr;
    BYTE head[3];
    if (SetFilePointer(m_hFile, 0, nullptr, FILE_BEGIN) != 0 || !ReadAll(m_hFile, head, 3))
        return nullptr;

    if (head[0] == 0xFF && head[1] == 0xFE) {
        // UTF-16LE after the mark; an odd last byte is not a character.
        const DWORD chars = (size - 2) / 2;
        auto* text = static_cast<LPWSTR>(IxFsAlloc((static_cast<std::size_t>(chars) + 1) * sizeof(WCHAR)));
        if (!text)
            return nullptr;
        if (SetFilePointer(m_hFile, 2, nullptr, FILE_BEGIN) != 2
            || !ReadAll(m_hFile, text, chars * static_cast<DWORD>(sizeof(WCHAR)))) {
            IxFsFree(text);
            return nullptr;
        }
        text[chars] = 0;
        if (length)
            *length = chars;
        return text;
    }

    UINT codePage = CP_ACP;
    if (head[0] == 0xEF && head[1] == 0xBB && head[2] == 0xBF)
        codePage = CP_UTF8;
    else if (head[0] == '+' && head[1] == '/' && head[2] == 'v')
        codePage = CP_UTF7;
    auto* bytes = static_cast<char*>(IxFsAlloc(size));
    if (!bytes)
        return nullptr;
    LPWSTR text = nullptr;
    if (SetFilePointer(m_hFile, 0, nullptr, FILE_BEGIN) == 0 && ReadAll(m_hFile, bytes, size)) {
        const int chars = MultiByteToWideChar(codePage, 0, bytes, static_cast<int>(size), nullptr, 0);
        if (chars > 0) {
            text = static_cast<LPWSTR>(IxFsAlloc((static_cast<std::size_t>(chars) + 1) * sizeof(WCHAR)));
            if (text && MultiByteToWideChar(codePage, 0, bytes, static_cast<int>(size), text, chars) == chars) {
                text[chars] = 0;
                if (length)
                    *length = static_cast<DWORD>(chars);
            } else if (text) {
                IxFsFree(text);
                text = nullptr;
            }
        }
    }
    IxFsFree(bytes);
    return text;
}
