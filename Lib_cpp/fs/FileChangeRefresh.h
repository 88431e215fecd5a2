// The kernel frame's file-change refresh: the folder watchers whose notices
// (action 51) refresh the file system's tree. Registered with the frame as
// its file-change hook; the frame owns it, and it owns the watchers.
#pragma once

#include "Lib_cpp/core/Containers.h"
#include "Lib_cpp/frame/KernelFrame.h"

class IxFileWatcher;

class IxFileChangeRefresh final : public IxFileChangeHook {
public:
    IxFileChangeRefresh() = default;
    // Deletes the watchers, which ends their threads.
    ~IxFileChangeRefresh() override;

    // The frame's refresh, made and registered on first use; null when
    // memory runs out.
    static IxFileChangeRefresh* Of(IxKernelFrame* frame);
    // The refresh owns the watcher from here on; 0 when the list cannot grow.
    BOOL AddWatcher(IxFileWatcher* watcher);
    // Hands the distinct paths (compared ignoring case) of the watchers that
    // hold notices to the file system and clears their notices.
    void Refresh() override;

private:
    IxArray<IxFileWatcher*> m_watchers{8};
};
