#include "Lib_cpp/fs/FileChangeRefresh.h"

#include "Lib_cpp/fs/FileSystem.h"
#include "Lib_cpp/fs/FileThreads.h"
#include "platform/base/Text.h"

#include <new>

IxFileChangeRefresh::~IxFileChangeRefresh()
{
    for (int i = 0; i < m_watchers.Count(); ++i)
        delete m_watchers[i];
}

IxFileChangeRefresh* IxFileChangeRefresh::Of(IxKernelFrame* frame)
{
    if (!frame)
        return nullptr;
    if (auto* refresh = dynamic_cast<IxFileChangeRefresh*>(frame->GetFileChangeHook()))
        return refresh;
    auto* refresh = new (std::nothrow) IxFileChangeRefresh;
    if (refresh)
        frame->SetFileChangeHook(refresh);
    return refresh;
}

BOOL IxFileChangeRefresh::AddWatcher(IxFileWatcher* watcher)
{
    return watcher && m_watchers.Add(watcher);
}

void IxFileChangeRefresh::Refresh()
{
    IxStringArray paths;
    for (int i = 0; i < m_watchers.Count(); ++i) {
        IxFileWatcher* watcher = m_watchers[i];
        IxFileNoticeList* notices = watcher->LockNotices();
        if (notices && notices->Count() > 0) {
            bool known = false;
            for (int j = 0; j < paths.Count() && !known; ++j)
                known = lstrcmpiW(paths.TextAt(j), watcher->GetPath().Text()) == 0;
            if (!known)
                paths.Add(watcher->GetPath());
        }
        watcher->UnlockNotices();
    }
    if (paths.Count() > 0)
        IxFileSystem::GetInstance()->UpdateByNotification(paths);
}
