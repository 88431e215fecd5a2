#include "platform/io/FileNotify.h"

#include "platform/base/Error.h"
#include "platform/base/Text.h"
#include "platform/io/File.h"

#include <cerrno>
#include <cstring>
#include <deque>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <poll.h>
#include <string>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace platform {
namespace {

constexpr uint32_t kFolderMask
    = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR | IN_DONT_FOLLOW;
constexpr DWORD kRecordHeader = 12;

struct Record {
    DWORD action;
    std::u16string name;
};

DWORD RecordSize(const Record& record)
{
    return (kRecordHeader + static_cast<DWORD>(record.name.size() * sizeof(WCHAR)) + 3u) & ~3u;
}

bool IsCopyTemporary(const std::string& name)
{
    return name.compare(0, std::strlen(kCopyTempPrefix), kCopyTempPrefix) == 0;
}

class NotifyObject : public KernelObject {
public:
    NotifyObject(int inotifyFd, int wakeFd, std::string root, bool subtree, DWORD filter)
        : m_inotify(inotifyFd), m_wake(wakeFd), m_root(std::move(root)), m_subtree(subtree), m_filter(filter)
    {
    }
    ~NotifyObject() override
    {
        EndReader();
        close(m_inotify);
        close(m_wake);
    }

    // Sets the watches; the reader starts afterwards.
    bool Begin()
    {
        const int wd = inotify_add_watch(m_inotify, m_root.c_str(), kFolderMask);
        if (wd < 0) {
            SetLastError(ErrorFromErrno(errno));
            return false;
        }
        m_rootWatch = wd;
        m_folders[wd] = "";
        if (m_subtree)
            WatchBelow("", nullptr);
        m_reader = std::thread([this] { ReadLoop(); });
        return true;
    }

    bool IsSignaled() override { return m_changed || !m_records.empty(); }
    void OnHandleClosed() override { EndReader(); }

    // Under the signal lock.
    bool m_changed = false;
    std::deque<Record> m_records;
    bool KeepsRecords() const { return (m_filter & FILE_NOTIFY_CHANGE_CEGETINFO) != 0; }

private:
    void EndReader()
    {
        if (!m_reader.joinable())
            return;
        const std::uint64_t one = 1;
        [[maybe_unused]] ssize_t written = write(m_wake, &one, sizeof one);
        m_reader.join();
    }

    bool Wanted(bool folder) const
    {
        return (m_filter & (folder ? FILE_NOTIFY_CHANGE_DIR_NAME : FILE_NOTIFY_CHANGE_FILE_NAME)) != 0;
    }

    static std::string Child(const std::string& relative, const std::string& name)
    {
        return relative.empty() ? name : relative + "/" + name;
    }

    static std::u16string UnitName(const std::string& relative)
    {
        std::u16string name = FromUtf8(relative);
        for (WCHAR& c : name) {
            if (c == u'/')
                c = u'\\';
        }
        return name;
    }

    // Watches every folder below relative; with records, each entry found
    // there is reported as added (it appeared before its folder's watch).
    void WatchBelow(const std::string& relative, std::vector<Record>* added)
    {
        const std::string host = relative.empty() ? m_root : m_root + "/" + relative;
        DIR* dir = opendir(host.c_str());
        if (!dir)
            return;
        std::vector<std::pair<std::string, bool>> entries;
        while (const dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name == "." || name == ".." || IsCopyTemporary(name))
                continue;
            struct stat st;
            if (fstatat(dirfd(dir), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            if (S_ISDIR(st.st_mode) || S_ISREG(st.st_mode))
                entries.emplace_back(name, S_ISDIR(st.st_mode));
        }
        closedir(dir);
        for (const auto& [name, folder] : entries) {
            const std::string child = Child(relative, name);
            if (added && Wanted(folder))
                added->push_back({FILE_ACTION_ADDED, UnitName(child)});
            if (folder) {
                const int wd = inotify_add_watch(m_inotify, (m_root + "/" + child).c_str(), kFolderMask);
                if (wd >= 0) {
                    m_folders[wd] = child;
                    WatchBelow(child, added);
                }
            }
        }
    }

    // A folder moved away or renamed: its watches and those below it.
    void ForgetBelow(const std::string& relative)
    {
        for (auto it = m_folders.begin(); it != m_folders.end();) {
            const std::string& path = it->second;
            if (path == relative || path.compare(0, relative.size() + 1, relative + "/") == 0) {
                inotify_rm_watch(m_inotify, it->first);
                it = m_folders.erase(it);
            } else {
                ++it;
            }
        }
    }

    void RenameBelow(const std::string& from, const std::string& to)
    {
        for (auto& [wd, path] : m_folders) {
            if (path == from)
                path = to;
            else if (path.compare(0, from.size() + 1, from + "/") == 0)
                path = to + path.substr(from.size());
        }
    }

    void ReadLoop()
    {
        alignas(inotify_event) char buffer[64 * 1024];
        for (;;) {
            pollfd fds[2] = {{m_inotify, POLLIN, 0}, {m_wake, POLLIN, 0}};
            if (poll(fds, 2, -1) < 0) {
                if (errno == EINTR)
                    continue;
                return;
            }
            if (fds[1].revents)
                return;
            const ssize_t got = read(m_inotify, buffer, sizeof buffer);
            if (got <= 0) {
                if (got < 0 && (errno == EINTR || errno == EAGAIN))
                    continue;
                return;
            }
            std::vector<Record> batch;
            bool changed = false;
            Handle(buffer, static_cast<std::size_t>(got), batch, changed);
            if (!changed && batch.empty())
                continue;
            const bool keep = KeepsRecords();
            UpdateSignalState([&] {
                m_changed = true;
                if (keep) {
                    for (Record& record : batch)
                        m_records.push_back(std::move(record));
                }
            });
        }
    }

    struct Moved {
        std::string relative;
        bool folder;
    };

    void Handle(const char* buffer, std::size_t size, std::vector<Record>& batch, bool& changed)
    {
        std::map<uint32_t, Moved> movedFrom;
        for (std::size_t at = 0; at + sizeof(inotify_event) <= size;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += sizeof(inotify_event) + event->len;
            if (event->mask & IN_Q_OVERFLOW) {
                changed = true;
                continue;
            }
            auto folderIt = m_folders.find(event->wd);
            if (event->mask & IN_IGNORED) {
                if (folderIt != m_folders.end())
                    m_folders.erase(folderIt);
                continue;
            }
            if (folderIt == m_folders.end())
                continue;
            if (event->mask & (IN_DELETE_SELF | IN_MOVE_SELF)) {
                // The watched folder itself went: one last signal.
                if (event->wd == m_rootWatch)
                    changed = true;
                continue;
            }
            if (event->len == 0)
                continue;
            const std::string name = event->name;
            if (IsCopyTemporary(name))
                continue;
            const bool folder = (event->mask & IN_ISDIR) != 0;
            const std::string relative = Child(folderIt->second, name);
            if (event->mask & IN_CREATE) {
                if (Wanted(folder))
                    batch.push_back({FILE_ACTION_ADDED, UnitName(relative)});
                if (folder && m_subtree)
                    WatchNew(relative, batch);
            } else if (event->mask & IN_DELETE) {
                if (Wanted(folder))
                    batch.push_back({FILE_ACTION_REMOVED, UnitName(relative)});
            } else if (event->mask & IN_MOVED_FROM) {
                movedFrom[event->cookie] = {relative, folder};
            } else if (event->mask & IN_MOVED_TO) {
                auto from = movedFrom.find(event->cookie);
                if (from != movedFrom.end()) {
                    if (Wanted(folder)) {
                        batch.push_back({FILE_ACTION_RENAMED_OLD_NAME, UnitName(from->second.relative)});
                        batch.push_back({FILE_ACTION_RENAMED_NEW_NAME, UnitName(relative)});
                    }
                    if (folder && m_subtree)
                        RenameBelow(from->second.relative, relative);
                    movedFrom.erase(from);
                } else {
                    if (Wanted(folder))
                        batch.push_back({FILE_ACTION_ADDED, UnitName(relative)});
                    if (folder && m_subtree)
                        WatchNew(relative, batch);
                }
            }
        }
        // Moved out of the watched tree.
        for (const auto& [cookie, moved] : movedFrom) {
            if (Wanted(moved.folder))
                batch.push_back({FILE_ACTION_REMOVED, UnitName(moved.relative)});
            if (moved.folder && m_subtree)
                ForgetBelow(moved.relative);
        }
        if (!batch.empty())
            changed = true;
    }

    void WatchNew(const std::string& relative, std::vector<Record>& batch)
    {
        const int wd = inotify_add_watch(m_inotify, (m_root + "/" + relative).c_str(), kFolderMask);
        if (wd < 0)
            return;
        m_folders[wd] = relative;
        WatchBelow(relative, &batch);
    }

    const int m_inotify;
    const int m_wake;
    const std::string m_root;
    const bool m_subtree;
    const DWORD m_filter;
    int m_rootWatch = -1;
    // Reader thread (and Begin, before it starts) only.
    std::map<int, std::string> m_folders; // watch -> folder relative to the root ("" the root)
    std::thread m_reader;
};

} // namespace
} // namespace platform

using namespace platform;

HANDLE FindFirstChangeNotificationW(LPCWSTR path, BOOL watchSubtree, DWORD filter)
{
    if (!path || !(filter & (FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    DWORD error = ERROR_SUCCESS;
    const std::string host = HostPath(path, true, &error);
    if (host.empty()) {
        SetLastError(error == ERROR_FILE_NOT_FOUND ? ERROR_PATH_NOT_FOUND : error);
        return INVALID_HANDLE_VALUE;
    }
    struct stat st;
    if (stat(host.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        SetLastError(ERROR_DIRECTORY);
        return INVALID_HANDLE_VALUE;
    }
    const int inotifyFd = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    if (inotifyFd < 0) {
        SetLastError(ErrorFromErrno(errno));
        return INVALID_HANDLE_VALUE;
    }
    const int wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd < 0) {
        SetLastError(ErrorFromErrno(errno));
        close(inotifyFd);
        return INVALID_HANDLE_VALUE;
    }
    auto object = std::make_shared<NotifyObject>(inotifyFd, wakeFd, host, watchSubtree != FALSE, filter);
    if (!object->Begin())
        return INVALID_HANDLE_VALUE;
    HANDLE handle = RegisterObject(object);
    return handle ? handle : INVALID_HANDLE_VALUE;
}

BOOL FindNextChangeNotification(HANDLE handle)
{
    auto object = LookupObjectAs<NotifyObject>(handle);
    if (!object)
        return FALSE;
    UpdateSignalState([&] { object->m_changed = false; });
    return TRUE;
}

BOOL FindCloseChangeNotification(HANDLE handle)
{
    return LookupObjectAs<NotifyObject>(handle) ? CloseHandle(handle) : FALSE;
}

BOOL CeGetFileNotificationInfo(HANDLE handle, DWORD flags, LPVOID buffer, DWORD size, DWORD* bytesReturned,
                               DWORD* bytesAvailable)
{
    auto object = LookupObjectAs<NotifyObject>(handle);
    if (!object)
        return FALSE;
    if (flags != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    DWORD returned = 0, available = 0;
    bool tooSmall = false;
    UpdateSignalState([&] {
        auto* out = static_cast<BYTE*>(buffer);
        DWORD lastOffset = 0;
        bool any = false;
        while (buffer && size && !object->m_records.empty()) {
            const Record& record = object->m_records.front();
            const DWORD need = RecordSize(record);
            if (need > size - returned)
                break;
            BYTE* at = out + returned;
            std::memset(at, 0, need);
            const DWORD action = record.action;
            const DWORD nameBytes = static_cast<DWORD>(record.name.size() * sizeof(WCHAR));
            std::memcpy(at + 4, &action, 4);
            std::memcpy(at + 8, &nameBytes, 4);
            std::memcpy(at + kRecordHeader, record.name.data(), nameBytes);
            if (any) {
                const DWORD next = returned - lastOffset;
                std::memcpy(out + lastOffset, &next, 4);
            }
            lastOffset = returned;
            any = true;
            returned += need;
            object->m_records.pop_front();
        }
        for (const Record& record : object->m_records)
            available += RecordSize(record);
        tooSmall = buffer && size && returned == 0 && available > 0;
    });
    if (bytesReturned)
        *bytesReturned = returned;
    if (bytesAvailable)
        *bytesAvailable = available;
    if (tooSmall) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    return TRUE;
}
