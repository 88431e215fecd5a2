#include "platform/io/File.h"

#include "platform/base/Debug.h"
#include "platform/base/Error.h"
#include "platform/base/Handle.h"
#include "platform/base/Text.h"
#include "platform/unit/Unit.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <memory>
#include <mutex>
#include <string_view>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace platform {
namespace {

constexpr const char* kAttributeName = "user.wren.attributes";
// On a folder: "1" when a listing proved that none of its entries (links
// aside) carries kAttributeName, which spares later listings that read per
// entry. Anything that gives an entry stored bits removes it from the
// entry's folder once the entry with its bits is in place, so an absent
// marker (the state of every folder made before it existed) means "read
// each entry". While a listing proves a folder, the marker holds that
// listing's own token instead, which only that listing turns into "1", and
// only if no writer removed it meanwhile. An extended attribute, not a
// name: no unit path reaches or lists it.
constexpr const char* kPlainMarkerName = "user.wren.plain";
constexpr DWORD kStoredAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;
constexpr DWORD kSettableAttributes = kStoredAttributes | FILE_ATTRIBUTE_READONLY;
constexpr DWORD kGenericAll = 0x10000000;
constexpr std::size_t kMaxNameBytes = 255;
constexpr std::size_t kCopyChunk = 64 * 1024;
constexpr std::uint64_t kTicksPerSecond = 10000000;
constexpr std::int64_t kEpochDelta = 11644473600; // seconds from 1601-01-01 to 1970-01-01
constexpr std::int64_t kEpochDays = 134774;       // days between the same dates

template <class T> T Fail(DWORD error, T result)
{
    SetLastError(error);
    return result;
}

// ---- names ----

// '*' any run, '?' one character; without case.
bool MatchWildcards(std::u16string_view name, std::u16string_view pattern)
{
    std::size_t n = 0, p = 0;
    std::size_t star = std::u16string_view::npos, resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == u'*') {
            star = p++;
            resume = n;
        } else if (p < pattern.size()
                   && (pattern[p] == u'?' || FoldFileNameCase(pattern[p]) == FoldFileNameCase(name[n]))) {
            ++p;
            ++n;
        } else if (star != std::u16string_view::npos) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

// A pattern ending in ".*" also matches names without that extension, so
// that "*.*" matches every name, as on the unit.
bool MatchesPattern(std::u16string_view name, std::u16string_view pattern)
{
    if (MatchWildcards(name, pattern))
        return true;
    return pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == u".*"
        && MatchWildcards(name, pattern.substr(0, pattern.size() - 2));
}

bool HasWildcards(std::u16string_view text)
{
    return text.find_first_of(u"*?") != std::u16string_view::npos;
}

bool IsSeparator(WCHAR c)
{
    return c == u'\\' || c == u'/';
}

struct ParsedPath {
    std::vector<std::string> components; // UTF-8
    std::u16string last;                 // the last component as given
    bool trailingSeparator = false;
};

// Checks the characters of one component: no ':', no character a unit name
// cannot hold, wildcards only when wild is set.
DWORD CheckName(std::u16string_view part, bool wild)
{
    for (std::size_t j = 0; j < part.size(); ++j) {
        const WCHAR c = part[j];
        if (c == u':')
            return ERROR_BAD_PATHNAME;
        if (c < 0x20 || c == u'<' || c == u'>' || c == u'"' || c == u'|')
            return ERROR_INVALID_NAME;
        if ((c == u'*' || c == u'?') && !wild)
            return ERROR_INVALID_NAME;
        if (c >= 0xD800 && c <= 0xDBFF && j + 1 < part.size() && part[j + 1] >= 0xDC00 && part[j + 1] <= 0xDFFF)
            ++j;
        else if (c >= 0xD800 && c <= 0xDFFF)
            return ERROR_INVALID_NAME;
    }
    return ERROR_SUCCESS;
}

// Whether a name on disk can be given back as a unit name that opens the
// same entry again: valid UTF-8 (an invalid byte would read as U+FFFD, the
// name of another file), no separator, nothing CheckName refuses. Other
// names are neither listed nor matched.
bool ListableName(std::string_view name, std::u16string* wide = nullptr)
{
    std::u16string text = FromUtf8(name);
    if (name.empty() || name.size() > kMaxNameBytes || name == "." || name == ".." || ToUtf8(text) != name
        || text.find_first_of(u"\\/") != std::u16string::npos || CheckName(text, false) != ERROR_SUCCESS)
        return false;
    if (wide)
        *wide = std::move(text);
    return true;
}

// The unit's drives: the only top-level folders of the root that unit paths
// reach. The root also holds the platform's own state (config/, registry/,
// run/), which no unit path may name. "\_MAKE_TEMP_" is the updater's work
// folder in the object store, where it puts the parts of an update package.
constexpr std::u16string_view kUnitDrives[]
    = {u"NAND", u"HDD", u"Storage Card", u"Storage Card2", u"Windows", u"_MAKE_TEMP_"};

bool IsUnitDrive(std::u16string_view name)
{
    for (std::u16string_view drive : kUnitDrives) {
        if (EqualsIgnoringCase(name, drive, FoldFileNameCase))
            return true;
    }
    return false;
}

// Splits a unit path into checked components. Wildcards are allowed only in
// the last component, and only when wildcardLast is set.
DWORD ParsePath(LPCWSTR path, bool wildcardLast, ParsedPath& out)
{
    if (!path)
        return ERROR_INVALID_PARAMETER;
    const std::u16string_view text(path);
    out = ParsedPath{};
    out.trailingSeparator = !text.empty() && IsSeparator(text.back());
    std::vector<std::u16string_view> parts;
    for (std::size_t i = 0; i < text.size();) {
        while (i < text.size() && IsSeparator(text[i]))
            ++i;
        const std::size_t start = i;
        while (i < text.size() && !IsSeparator(text[i]))
            ++i;
        if (i > start)
            parts.push_back(text.substr(start, i - start));
    }
    for (std::size_t k = 0; k < parts.size(); ++k) {
        const std::u16string_view part = parts[k];
        if (part == u"..")
            return ERROR_BAD_PATHNAME;
        const bool wild = wildcardLast && k + 1 == parts.size() && !out.trailingSeparator;
        if (const DWORD error = CheckName(part, wild))
            return error;
        if (part == u".")
            continue;
        std::string name = ToUtf8(part);
        if (name.size() > kMaxNameBytes)
            return ERROR_FILENAME_EXCED_RANGE;
        out.components.push_back(std::move(name));
        out.last = part;
    }
    return ERROR_SUCCESS;
}

// ---- host paths ----

std::string Join(const std::string& folder, const std::string& name)
{
    return !folder.empty() && folder.back() == '/' ? folder + name : folder + "/" + name;
}

bool RealPath(const std::string& path, std::string& real)
{
    char* resolved = realpath(path.c_str(), nullptr);
    if (!resolved)
        return false;
    real = resolved;
    std::free(resolved);
    return true;
}

bool Inside(const std::string& path, const std::string& root)
{
    if (root == "/")
        return !path.empty() && path[0] == '/';
    return path.compare(0, root.size(), root) == 0 && (path.size() == root.size() || path[root.size()] == '/');
}

// Whether a real path lies in one of the unit's drives under the root (the
// drive folder itself included).
bool InsideDrive(const std::string& path, const std::string& root)
{
    if (!Inside(path, root))
        return false;
    const std::size_t start = root == "/" ? 1 : root.size() + 1;
    if (start >= path.size())
        return false;
    const std::size_t end = path.find('/', start);
    return IsUnitDrive(FromUtf8(std::string_view(path).substr(start, end == std::string::npos ? end : end - start)));
}

// The name of the folder's entry that is name: the exact one, else the
// first (in byte order) that equals it without case; empty when none. For
// the exact name *st holds its status already (links not followed) and
// *statted is set, which spares the caller a second look-up.
std::string FindEntryName(const std::string& folder, const std::string& name, struct stat* st, bool* statted)
{
    *statted = lstat(Join(folder, name).c_str(), st) == 0;
    if (*statted)
        return name;
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        return {};
    const std::u16string wanted = FromUtf8(name);
    std::string best;
    while (const dirent* entry = readdir(dir)) {
        const std::string_view candidate = entry->d_name;
        if (candidate.size() != name.size() || (!best.empty() && candidate >= best) || !ListableName(candidate))
            continue;
        if (EqualsIgnoringCase(FromUtf8(candidate), wanted, FoldFileNameCase))
            best = candidate;
    }
    closedir(dir);
    return best;
}

struct Resolved {
    std::string root;   // real path of the unit's root
    std::string host;   // real path; for a missing entry its folder + the name as given
    std::string parent; // real path of the folder that holds the entry
    std::string leaf;   // the entry's name there (as found, else as given)
    std::string given;  // the last component as given
    struct stat st {};  // the entry's status, links followed (when it exists)
    bool exists = false;
    bool isRoot = false;
};

DWORD ResolveComponents(const std::vector<std::string>& components, bool mustExist, Resolved& out)
{
    out = Resolved{};
    if (!RealPath(UnitRoot(), out.root))
        return ERROR_PATH_NOT_FOUND;
    std::string current = out.root;
    if (components.empty()) {
        out.host = out.parent = current;
        out.exists = out.isRoot = true;
        stat(current.c_str(), &out.st);
        return ERROR_SUCCESS;
    }
    // Only the unit's drives are reachable at the top: anything else there
    // does not exist for the unit, and nothing new can be made beside them.
    if (!IsUnitDrive(FromUtf8(components[0])))
        return components.size() > 1 ? ERROR_PATH_NOT_FOUND : mustExist ? ERROR_FILE_NOT_FOUND : ERROR_ACCESS_DENIED;
    for (std::size_t i = 0; i < components.size(); ++i) {
        const bool last = i + 1 == components.size();
        struct stat st;
        bool statted = false;
        const std::string name = FindEntryName(current, components[i], &st, &statted);
        if (name.empty()) {
            if (!last)
                return ERROR_PATH_NOT_FOUND;
            if (mustExist)
                return ERROR_FILE_NOT_FOUND;
            out.parent = current;
            out.leaf = out.given = components[i];
            out.host = Join(current, out.leaf);
            return ERROR_SUCCESS;
        }
        const std::string entry = Join(current, name);
        if (!statted && lstat(entry.c_str(), &st) != 0)
            return last ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
        std::string next = entry;
        if (S_ISLNK(st.st_mode)) {
            // A link is followed only when it stays inside the unit's drives;
            // a link that leads nowhere is refused too, since creating
            // through it would create its target.
            if (!RealPath(entry, next) || !InsideDrive(next, out.root) || stat(next.c_str(), &st) != 0)
                return ERROR_ACCESS_DENIED;
        }
        if (!last && !S_ISDIR(st.st_mode))
            return ERROR_PATH_NOT_FOUND;
        if (last) {
            out.parent = current;
            out.leaf = name;
            out.given = components[i];
            out.host = next;
            out.st = st;
            out.exists = true;
        }
        current = next;
    }
    return ERROR_SUCCESS;
}

DWORD Resolve(LPCWSTR path, bool mustExist, Resolved& out)
{
    ParsedPath parsed;
    const DWORD error = ParsePath(path, false, parsed);
    return error ? error : ResolveComponents(parsed.components, mustExist, out);
}

// ---- attributes ----

std::atomic<bool> g_attributesWarned{false};

DWORD ReadStoredAttributes(const std::string& path)
{
    char text[16];
    const ssize_t n = getxattr(path.c_str(), kAttributeName, text, sizeof text - 1);
    if (n <= 0)
        return 0;
    text[n] = 0;
    return static_cast<DWORD>(std::strtoul(text, nullptr, 10));
}

// The same for the entry name of the host folder, open as folderFd. Where the kernel has getxattrat the entry is found
// by its name in that folder, which spares the walk along the whole path that dominates a folder listing; elsewhere the
// path is used.
#if defined(SYS_getxattrat)
constexpr long kGetxattrat = SYS_getxattrat;
#elif defined(__x86_64__) || defined(__i386__) || defined(__aarch64__) || defined(__arm__) || defined(__riscv)
constexpr long kGetxattrat = 464; // the same number on these architectures
#else
constexpr long kGetxattrat = -1;
#endif

struct XattrArgs {
    alignas(8) std::uint64_t value;
    std::uint32_t size;
    std::uint32_t flags;
};

std::atomic<bool> g_noGetxattrat{kGetxattrat < 0};

DWORD ReadStoredAttributesAt(int folderFd, const std::string& folder, const std::string& name)
{
    if (folderFd >= 0 && !g_noGetxattrat.load(std::memory_order_relaxed)) {
        char text[16];
        XattrArgs args{reinterpret_cast<std::uintptr_t>(text), sizeof text - 1, 0};
        const long n
            = syscall(kGetxattrat, folderFd, name.c_str(), AT_SYMLINK_NOFOLLOW, kAttributeName, &args, sizeof args);
        if (n > 0) {
            text[n] = 0;
            return static_cast<DWORD>(std::strtoul(text, nullptr, 10));
        }
        // A kernel without the call (or a filter that refuses it): the path
        // from now on. Any other failure is an entry without the bits.
        if (n == 0 || (errno != ENOSYS && errno != EPERM))
            return 0;
        g_noGetxattrat.store(true, std::memory_order_relaxed);
    }
    return ReadStoredAttributes(Join(folder, name));
}

// Removes the plain marker of the folder that holds the entry at path: the
// entry may carry stored bits now.
void ForgetPlainFolder(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return;
    const std::string folder = slash == 0 ? std::string("/") : path.substr(0, slash);
    removexattr(folder.c_str(), kPlainMarkerName);
}

// Stores the bits (0 removes them) through fd when it is open, else by path.
// A file system without user extended attributes is not an error: the bits
// are then simply not kept.
bool WriteStoredAttributes(int fd, const std::string& path, DWORD bits)
{
    int result;
    if (bits) {
        const std::string text = std::to_string(bits);
        result = fd >= 0 ? fsetxattr(fd, kAttributeName, text.data(), text.size(), 0)
                         : setxattr(path.c_str(), kAttributeName, text.data(), text.size(), 0);
    } else {
        result = fd >= 0 ? fremovexattr(fd, kAttributeName) : removexattr(path.c_str(), kAttributeName);
        if (result != 0 && errno == ENODATA)
            result = 0;
    }
    if (result == 0) {
        if (bits)
            ForgetPlainFolder(path);
        return true;
    }
    if (errno == ENOTSUP) {
        if (bits && !g_attributesWarned.exchange(true))
            NKDbgPrintfW(u"[file] %S keeps no extended attributes: hidden, system and archive are not kept\r\n", path);
        return true;
    }
    return false;
}

DWORD AttributesOf(const struct stat& st, DWORD stored)
{
    if (S_ISDIR(st.st_mode))
        return FILE_ATTRIBUTE_DIRECTORY | (stored & kSettableAttributes);
    DWORD attributes = stored & kStoredAttributes;
    if (!(st.st_mode & S_IWUSR))
        attributes |= FILE_ATTRIBUTE_READONLY;
    return attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
}

bool IsReadOnly(const Resolved& r)
{
    return (AttributesOf(r.st, S_ISDIR(r.st.st_mode) ? ReadStoredAttributes(r.host) : 0) & FILE_ATTRIBUTE_READONLY)
        != 0;
}

// ---- times ----

std::uint64_t Ticks(const FILETIME& time)
{
    return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

FILETIME FromTicks(std::uint64_t ticks)
{
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

struct Times {
    FILETIME creation{}, access{}, write{};
};

Times TimesOf(const struct statx& sx)
{
    auto convert = [](const statx_timestamp& t) {
        return FileTimeFromTimespec(timespec{static_cast<time_t>(t.tv_sec), static_cast<long>(t.tv_nsec)});
    };
    Times times;
    times.access = convert(sx.stx_atime);
    times.write = convert(sx.stx_mtime);
    times.creation = (sx.stx_mask & STATX_BTIME) ? convert(sx.stx_btime) : times.write;
    return times;
}

bool TimesOfPath(const std::string& path, Times& times)
{
    struct statx sx;
    if (statx(AT_FDCWD, path.c_str(), 0, STATX_BASIC_STATS | STATX_BTIME, &sx) != 0)
        return false;
    times = TimesOf(sx);
    return true;
}

// ---- open files and their share modes ----

struct FileKey {
    dev_t device;
    ino_t inode;
    auto operator<=>(const FileKey&) const = default;
};

class FileObject;

// Open file handles of the process by file, for the share-mode checks.
std::mutex g_openLock;
std::map<FileKey, std::vector<const FileObject*>> g_openFiles;

class FileObject : public IoObject {
public:
    FileObject(int fd, DWORD access, DWORD share, FileKey key) : fd(fd), access(access), share(share), key(key) {}
    ~FileObject() override
    {
        {
            std::lock_guard guard(g_openLock);
            auto found = g_openFiles.find(key);
            if (found != g_openFiles.end()) {
                std::erase(found->second, this);
                if (found->second.empty())
                    g_openFiles.erase(found);
            }
        }
        close(fd);
    }

    BOOL Read(void* buffer, DWORD size, DWORD* read) override;
    BOOL Write(const void* data, DWORD size, DWORD* written) override;
    std::int64_t Seek(std::int64_t distance, DWORD method) override;
    std::int64_t Size() override;
    BOOL SetEnd() override;
    BOOL Flush() override;

    const int fd;
    const DWORD access;
    const DWORD share;
    const FileKey key;
};

BOOL FileObject::Read(void* buffer, DWORD size, DWORD* read)
{
    *read = 0;
    if (!(access & GENERIC_READ))
        return Fail(ERROR_ACCESS_DENIED, FALSE);
    DWORD done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, static_cast<char*>(buffer) + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            *read = done;
            return Fail(ErrorFromErrno(errno), FALSE);
        }
        if (n == 0)
            break;
        done += static_cast<DWORD>(n);
    }
    *read = done;
    return TRUE;
}

BOOL FileObject::Write(const void* data, DWORD size, DWORD* written)
{
    *written = 0;
    if (!(access & GENERIC_WRITE))
        return Fail(ERROR_ACCESS_DENIED, FALSE);
    DWORD done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, static_cast<const char*>(data) + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            // A short write reports what did reach the file.
            *written = done;
            return Fail(n == 0 ? ERROR_DISK_FULL : ErrorFromErrno(errno), FALSE);
        }
        done += static_cast<DWORD>(n);
    }
    *written = done;
    return TRUE;
}

std::int64_t FileObject::Seek(std::int64_t distance, DWORD method)
{
    std::int64_t base;
    if (method == FILE_BEGIN) {
        base = 0;
    } else if (method == FILE_CURRENT) {
        base = lseek(fd, 0, SEEK_CUR);
    } else if (method == FILE_END) {
        struct stat st;
        base = fstat(fd, &st) == 0 ? st.st_size : -1;
    } else {
        return Fail(ERROR_INVALID_PARAMETER, std::int64_t{-1});
    }
    if (base < 0)
        return Fail(ErrorFromErrno(errno), std::int64_t{-1});
    if (distance < -base)
        return Fail(ERROR_NEGATIVE_SEEK, std::int64_t{-1});
    if (distance > INT64_MAX - base)
        return Fail(ERROR_INVALID_PARAMETER, std::int64_t{-1});
    const off_t position = lseek(fd, base + distance, SEEK_SET);
    if (position < 0)
        return Fail(ErrorFromErrno(errno), std::int64_t{-1});
    return position;
}

std::int64_t FileObject::Size()
{
    struct stat st;
    if (fstat(fd, &st) != 0)
        return Fail(ErrorFromErrno(errno), std::int64_t{-1});
    return st.st_size;
}

BOOL FileObject::SetEnd()
{
    if (!(access & GENERIC_WRITE))
        return Fail(ERROR_ACCESS_DENIED, FALSE);
    const off_t position = lseek(fd, 0, SEEK_CUR);
    if (position < 0 || ftruncate(fd, position) != 0)
        return Fail(ErrorFromErrno(errno), FALSE);
    return TRUE;
}

BOOL FileObject::Flush()
{
    if (!(access & GENERIC_WRITE))
        return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (fsync(fd) != 0)
        return Fail(ErrorFromErrno(errno), FALSE);
    return TRUE;
}

bool HasDataAccess(DWORD access)
{
    return (access & (GENERIC_READ | GENERIC_WRITE)) != 0;
}

// Whether an open with access and share may not coexist with an open
// handle. Opens without data access take part in no share check.
bool Conflicts(DWORD access, DWORD share, const FileObject& open)
{
    if (!HasDataAccess(access) || !HasDataAccess(open.access))
        return false;
    return ((access & GENERIC_READ) && !(open.share & FILE_SHARE_READ))
        || ((access & GENERIC_WRITE) && !(open.share & FILE_SHARE_WRITE))
        || ((open.access & GENERIC_READ) && !(share & FILE_SHARE_READ))
        || ((open.access & GENERIC_WRITE) && !(share & FILE_SHARE_WRITE));
}

// Whether a handle holds the file open without FILE_SHARE_DELETE. Called
// with g_openLock held.
bool HeldAgainstDelete(const struct stat& st)
{
    auto found = g_openFiles.find(FileKey{st.st_dev, st.st_ino});
    if (found == g_openFiles.end())
        return false;
    return std::any_of(found->second.begin(), found->second.end(),
                       [](const FileObject* open) { return !(open->share & FILE_SHARE_DELETE); });
}

std::shared_ptr<FileObject> OpenResolved(const Resolved& r, DWORD access, DWORD share, DWORD disposition,
                                         DWORD attributes)
{
    if (disposition < CREATE_NEW || disposition > TRUNCATE_EXISTING)
        return Fail(ERROR_INVALID_PARAMETER, nullptr);
    if (access & kGenericAll)
        access |= GENERIC_READ | GENERIC_WRITE;
    const bool existed = r.exists;
    if (existed) {
        if (!S_ISREG(r.st.st_mode))
            return Fail(ERROR_ACCESS_DENIED, nullptr); // folders and anything that is not a file
        if (disposition == CREATE_NEW)
            return Fail(ERROR_FILE_EXISTS, nullptr);
        if (IsReadOnly(r)
            && ((access & GENERIC_WRITE) || disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING))
            return Fail(ERROR_ACCESS_DENIED, nullptr);
    } else if (disposition == OPEN_EXISTING || disposition == TRUNCATE_EXISTING) {
        return Fail(ERROR_FILE_NOT_FOUND, nullptr);
    }

    // O_NONBLOCK keeps a FIFO put under the root from blocking the open; it
    // is refused below like any other entry that is not a file.
    int flags = O_CLOEXEC | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK;
    if ((access & GENERIC_READ) && (access & GENERIC_WRITE))
        flags |= O_RDWR;
    else if (access & GENERIC_WRITE)
        flags |= O_WRONLY;
    if (!existed)
        flags |= disposition == CREATE_NEW ? O_CREAT | O_EXCL : O_CREAT;
    int fd;
    while ((fd = open(r.host.c_str(), flags, 0666)) < 0 && errno == EINTR) {}
    if (fd < 0) {
        const int e = errno;
        return Fail(e == EEXIST ? ERROR_FILE_EXISTS : e == ENOENT ? ERROR_PATH_NOT_FOUND : ErrorFromErrno(e), nullptr);
    }
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return Fail(ERROR_ACCESS_DENIED, nullptr);
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);

    const FileKey key{st.st_dev, st.st_ino};
    std::unique_lock guard(g_openLock);
    auto failClosed = [&](DWORD error) {
        guard.unlock();
        close(fd);
        return Fail(error, std::shared_ptr<FileObject>());
    };
    if (auto found = g_openFiles.find(key); found != g_openFiles.end()) {
        for (const FileObject* open : found->second) {
            if (Conflicts(access, share, *open))
                return failClosed(ERROR_SHARING_VIOLATION);
        }
    }
    // Truncation comes after the share check, so that a refused open leaves
    // the file as it was.
    if (existed && (disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING)) {
        const int result = (access & GENERIC_WRITE) ? ftruncate(fd, 0) : truncate(r.host.c_str(), 0);
        if (result != 0)
            return failClosed(ErrorFromErrno(errno));
    }
    if (!existed || disposition == CREATE_ALWAYS) {
        // The attribute first: a file that is already read-only may refuse it.
        const DWORD stored = attributes & kStoredAttributes;
        if (stored || existed)
            WriteStoredAttributes(fd, r.host, stored);
        if (attributes & FILE_ATTRIBUTE_READONLY)
            fchmod(fd, st.st_mode & 07555);
    }
    auto object = std::make_shared<FileObject>(fd, access, share, key);
    g_openFiles[key].push_back(object.get());
    guard.unlock();
    SetLastError(existed && (disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS) ? ERROR_ALREADY_EXISTS
                                                                                         : ERROR_SUCCESS);
    return object;
}

// Copies a file; the target keeps the source's attributes and write time. A
// copy that fails part-way removes the target. Returns the error.
DWORD CopyResolved(const Resolved& from, const Resolved& to, bool failIfExists)
{
    if (from.isRoot || !S_ISREG(from.st.st_mode))
        return ERROR_ACCESS_DENIED;
    std::shared_ptr<FileObject> source = OpenResolved(from, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, 0);
    if (!source)
        return GetLastError();
    const DWORD attributes = AttributesOf(from.st, ReadStoredAttributes(from.host)) & kSettableAttributes;
    std::shared_ptr<FileObject> target
        = OpenResolved(to, GENERIC_WRITE, 0, failIfExists ? CREATE_NEW : CREATE_ALWAYS, attributes);
    if (!target)
        return GetLastError();
    std::vector<char> buffer(kCopyChunk);
    DWORD error = ERROR_SUCCESS;
    for (;;) {
        DWORD got = 0, put = 0;
        if (!source->Read(buffer.data(), kCopyChunk, &got)) {
            error = GetLastError();
            break;
        }
        if (got == 0)
            break;
        if (!target->Write(buffer.data(), got, &put)) {
            error = GetLastError();
            break;
        }
    }
    if (error == ERROR_SUCCESS) {
        const timespec times[2] = {from.st.st_atim, from.st.st_mtim};
        futimens(target->fd, times);
        return ERROR_SUCCESS;
    }
    target.reset();
    unlink(to.host.c_str());
    return error;
}

int RenameNoReplace(const std::string& from, const std::string& to)
{
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        return -1;
    // A file system without the flag (or a folder moved into itself, which
    // rename refuses again).
    struct stat st;
    if (lstat(to.c_str(), &st) == 0) {
        errno = EEXIST;
        return -1;
    }
    return rename(from.c_str(), to.c_str());
}

// ---- search ----

class FindObject : public KernelObject {
public:
    struct Entry {
        std::string name; // UTF-8, as on disk
        std::u16string wide;
        unsigned char type = DT_UNKNOWN; // as the folder listing gave it
    };

    ~FindObject() override { CloseFolder(); }

    // Fills data with the next entry that still exists and is a file or a
    // folder inside the root. The folder is let go once the last entry has
    // been read, so an unclosed search keeps no descriptor.
    bool Next(WIN32_FIND_DATAW* data)
    {
        std::lock_guard guard(lock);
        bool found = false;
        while (!found && next < entries.size()) {
            found = Fill(entries[next++], data);
            // An entry that could not be read may carry bits.
            provedPlain = provedPlain && found;
        }
        if (next >= entries.size()) {
            if (!proofToken.empty() && provedPlain)
                ConfirmPlain();
            CloseFolder();
        }
        return found;
    }

    std::string root;
    std::string folder;
    // The folder, open: its entries are looked up by name in it rather than
    // along the whole path (-1: by path).
    int folderFd = -1;
    std::vector<Entry> entries;
    // Names and attribute bits only: no sizes, no times, no read-only bit
    // of a file; plain files and folders typed by the listing are not
    // looked up.
    bool namesOnly = false;
    // The folder's plain marker was set: no entry's stored bits are read.
    bool plain = false;
    // This listing's token in the plain marker (empty: not proving), and
    // whether every entry so far was read and had no stored bits.
    std::string proofToken;
    bool provedPlain = true;

private:
    // Turns this listing's token into the plain marker, unless a writer
    // removed the token since the listing began (the replace then fails).
    void ConfirmPlain()
    {
        char value[64];
        const ssize_t n = fgetxattr(folderFd, kPlainMarkerName, value, sizeof value);
        if (n == static_cast<ssize_t>(proofToken.size()) && proofToken.compare(0, proofToken.size(), value, n) == 0)
            fsetxattr(folderFd, kPlainMarkerName, "1", 1, XATTR_REPLACE);
    }

    void CloseFolder()
    {
        if (folderFd >= 0)
            close(folderFd);
        folderFd = -1;
    }

    DWORD StoredOf(const Entry& entry)
    {
        if (plain)
            return 0;
        const DWORD stored = ReadStoredAttributesAt(folderFd, folder, entry.name);
        if (stored)
            provedPlain = false;
        return stored;
    }

    bool Fill(const Entry& entry, WIN32_FIND_DATAW* data)
    {
        if (namesOnly && (entry.type == DT_REG || entry.type == DT_DIR)) {
            const DWORD stored = StoredOf(entry);
            *data = WIN32_FIND_DATAW{};
            if (entry.type == DT_DIR)
                data->dwFileAttributes = FILE_ATTRIBUTE_DIRECTORY | (stored & kSettableAttributes);
            else
                data->dwFileAttributes
                    = (stored & kStoredAttributes) ? (stored & kStoredAttributes) : FILE_ATTRIBUTE_NORMAL;
            CopyName(entry, data);
            return true;
        }
        // One statx gives the type, size and times of a plain entry; only a
        // link needs more.
        struct statx sx;
        const int rc = folderFd >= 0
            ? statx(folderFd, entry.name.c_str(), AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS | STATX_BTIME, &sx)
            : statx(AT_FDCWD, Join(folder, entry.name).c_str(), AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS | STATX_BTIME,
                    &sx);
        if (rc != 0)
            return false;
        struct stat st {};
        st.st_mode = sx.stx_mode;
        st.st_size = static_cast<off_t>(sx.stx_size);
        Times times = TimesOf(sx);
        DWORD stored = 0;
        if (S_ISLNK(st.st_mode)) {
            std::string real;
            if (!RealPath(Join(folder, entry.name), real) || !InsideDrive(real, root) || stat(real.c_str(), &st) != 0)
                return false;
            if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode))
                return false;
            if (!TimesOfPath(real, times))
                return false;
            stored = ReadStoredAttributes(real);
        } else {
            if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode))
                return false;
            stored = namesOnly ? StoredOf(entry) : ReadStoredAttributesAt(folderFd, folder, entry.name);
        }
        *data = WIN32_FIND_DATAW{};
        data->dwFileAttributes = AttributesOf(st, stored);
        data->ftCreationTime = times.creation;
        data->ftLastAccessTime = times.access;
        data->ftLastWriteTime = times.write;
        if (S_ISREG(st.st_mode)) {
            const auto size = static_cast<std::uint64_t>(st.st_size);
            data->nFileSizeHigh = static_cast<DWORD>(size >> 32);
            data->nFileSizeLow = static_cast<DWORD>(size);
        }
        CopyName(entry, data);
        if (namesOnly) {
            // A looked-up entry gives what a typed one would.
            const DWORD attributes = data->dwFileAttributes;
            *data = WIN32_FIND_DATAW{};
            data->dwFileAttributes = (attributes & FILE_ATTRIBUTE_DIRECTORY) ? attributes
                : (attributes & kStoredAttributes)                           ? (attributes & kStoredAttributes)
                                                                             : FILE_ATTRIBUTE_NORMAL;
            CopyName(entry, data);
        }
        return true;
    }

    static void CopyName(const Entry& entry, WIN32_FIND_DATAW* data)
    {
        const std::size_t length = std::min<std::size_t>(entry.wide.size(), MAX_PATH - 1);
        std::copy_n(entry.wide.begin(), length, data->cFileName);
    }

    std::mutex lock;
    std::size_t next = 0;
};

// ---- calendar ----

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d)
{
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2);
}

unsigned DaysInMonth(unsigned year, unsigned month)
{
    static const unsigned days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

// Offset of local time from UTC, in seconds, at a moment given in seconds
// since 1970.
std::int64_t LocalOffset(std::int64_t unixSeconds)
{
    const auto t = static_cast<time_t>(unixSeconds);
    std::tm local{};
    return localtime_r(&t, &local) ? local.tm_gmtoff : 0;
}

BOOL ShiftFileTime(const FILETIME* in, FILETIME* out, std::int64_t seconds)
{
    const std::uint64_t ticks = Ticks(*in);
    const std::int64_t delta = seconds * static_cast<std::int64_t>(kTicksPerSecond);
    if ((delta < 0 && ticks < static_cast<std::uint64_t>(-delta))
        || (delta > 0 && ticks > 0x7FFFFFFFFFFFFFFFull - static_cast<std::uint64_t>(delta)))
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    *out = FromTicks(ticks + static_cast<std::uint64_t>(delta));
    return TRUE;
}

std::int64_t UnixSecondsOf(const FILETIME& time)
{
    return static_cast<std::int64_t>(Ticks(time) / kTicksPerSecond) - kEpochDelta;
}

} // namespace

// ---- public helpers ----

std::string HostPath(LPCWSTR unitPath, bool mustExist, DWORD* error)
{
    Resolved r;
    const DWORD result = Resolve(unitPath, mustExist, r);
    if (error)
        *error = result;
    return result ? std::string() : r.host;
}

bool UnitFileIdentity(LPCWSTR unitPath, std::uint64_t& device, std::uint64_t& inode)
{
    Resolved r;
    if (const DWORD error = Resolve(unitPath, true, r)) {
        SetLastError(error);
        return false;
    }
    device = static_cast<std::uint64_t>(r.st.st_dev);
    inode = static_cast<std::uint64_t>(r.st.st_ino);
    return true;
}

std::u16string UnitPathOf(const std::string& hostPath)
{
    std::string root, real;
    if (!RealPath(UnitRoot(), root))
        return {};
    if (!RealPath(hostPath, real)) {
        // A name that does not exist yet: resolve its folder.
        const std::size_t slash = hostPath.find_last_of('/');
        if (slash == std::string::npos || !RealPath(slash ? hostPath.substr(0, slash) : "/", real))
            return {};
        real = Join(real, hostPath.substr(slash + 1));
    }
    if (real != root && !InsideDrive(real, root))
        return {};
    std::u16string unit = FromUtf8(real.substr(root == "/" ? 0 : root.size()));
    std::replace(unit.begin(), unit.end(), u'/', u'\\');
    return unit.empty() ? u"\\" : unit;
}

DWORD ErrorFromErrno(int error)
{
    switch (error) {
    case 0:
        return ERROR_SUCCESS;
    case ENOENT:
        return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
        return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
    case ELOOP:
    case ENXIO:
    case EBUSY:
    case ETXTBSY:
        return ERROR_ACCESS_DENIED;
    case EROFS:
        return ERROR_WRITE_PROTECT;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return ERROR_DISK_FULL;
    case EEXIST:
        return ERROR_ALREADY_EXISTS;
    case ENOTEMPTY:
        return ERROR_DIR_NOT_EMPTY;
    case EMFILE:
    case ENFILE:
        return ERROR_TOO_MANY_OPEN_FILES;
    case ENAMETOOLONG:
        return ERROR_FILENAME_EXCED_RANGE;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case EXDEV:
        return ERROR_NOT_SAME_DEVICE;
    case EINVAL:
        return ERROR_INVALID_PARAMETER;
    case EBADF:
        return ERROR_INVALID_HANDLE;
    case EIO:
        return ERROR_IO_DEVICE;
    default:
        return ERROR_GEN_FAILURE;
    }
}

FILETIME FileTimeFromTimespec(const timespec& time)
{
    const std::int64_t seconds = static_cast<std::int64_t>(time.tv_sec) + kEpochDelta;
    if (seconds < 0)
        return FILETIME{0, 0};
    return FromTicks(static_cast<std::uint64_t>(seconds) * kTicksPerSecond
                     + static_cast<std::uint64_t>(time.tv_nsec) / 100);
}

timespec TimespecFromFileTime(const FILETIME& time)
{
    const std::uint64_t ticks = Ticks(time);
    timespec result{};
    result.tv_sec = static_cast<time_t>(static_cast<std::int64_t>(ticks / kTicksPerSecond) - kEpochDelta);
    result.tv_nsec = static_cast<long>(ticks % kTicksPerSecond) * 100;
    return result;
}

DWORD HostFileAttributes(const std::string& hostPath)
{
    struct stat st;
    if (stat(hostPath.c_str(), &st) != 0)
        return Fail(ErrorFromErrno(errno), INVALID_FILE_ATTRIBUTES);
    return AttributesOf(st, ReadStoredAttributes(hostPath));
}

std::shared_ptr<IoObject> OpenFileObject(LPCWSTR path, DWORD access, DWORD share, DWORD disposition, DWORD attributes)
{
    Resolved r;
    if (const DWORD error = Resolve(path, false, r))
        return Fail(error, nullptr);
    return OpenResolved(r, access, share, disposition, attributes);
}

} // namespace platform

using namespace platform;

namespace platform {
namespace {

// Reads the names of the open folder that match the pattern ("." and "..",
// names that no unit path could open again, and at the root everything but
// the unit's drives never). A read that fails part-way ends the list, as the end of the
// folder would.
// *all tells whether every listable name matched.
void ListFolder(int fd, std::u16string_view pattern, bool drivesOnly, std::vector<FindObject::Entry>& entries,
                bool* all)
{
    *all = true;
    alignas(8) char buffer[32 * 1024];
    for (;;) {
        const ssize_t n = getdents64(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        for (ssize_t at = 0; at < n;) {
            const auto* entry = reinterpret_cast<const dirent64*>(buffer + at);
            at += entry->d_reclen;
            const std::string_view name = entry->d_name;
            std::u16string wide;
            if (entry->d_ino == 0 || !ListableName(name, &wide) || (drivesOnly && !IsUnitDrive(wide)))
                continue;
            if (MatchesPattern(wide, pattern))
                entries.push_back({std::string(name), std::move(wide), entry->d_type});
            else
                *all = false;
        }
    }
}

} // namespace
} // namespace platform

namespace platform {
namespace {

// A token no other listing holds at the same time: the process and a count.
std::string NewProofToken()
{
    static std::atomic<unsigned long> count{0};
    return "p" + std::to_string(getpid()) + "." + std::to_string(++count);
}

HANDLE FindFirst(LPCWSTR pattern, WIN32_FIND_DATAW* data, bool namesOnly)
{
    if (!pattern || !data)
        return Fail(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
    ParsedPath parsed;
    if (const DWORD error = ParsePath(pattern, true, parsed))
        return Fail(error, INVALID_HANDLE_VALUE);
    auto find = std::make_shared<FindObject>();
    Resolved r;
    if (parsed.components.empty() || parsed.trailingSeparator || !HasWildcards(parsed.last)) {
        // One name (or, with a trailing '\', the folder that the path names).
        if (const DWORD error = ResolveComponents(parsed.components, true, r))
            return Fail(error, INVALID_HANDLE_VALUE);
        if (r.isRoot || (parsed.trailingSeparator && !S_ISDIR(r.st.st_mode)))
            return Fail(ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);
        find->folder = r.parent;
        find->folderFd = open(r.parent.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        find->entries.push_back({r.leaf, FromUtf8(r.leaf)});
    } else {
        std::vector<std::string> folder(parsed.components.begin(), parsed.components.end() - 1);
        const DWORD error = ResolveComponents(folder, true, r);
        if (error && error != ERROR_FILE_NOT_FOUND)
            return Fail(error, INVALID_HANDLE_VALUE);
        if (error || !S_ISDIR(r.st.st_mode))
            return Fail(ERROR_PATH_NOT_FOUND, INVALID_HANDLE_VALUE);
        // The folder is opened once: its names are read from it and its
        // entries looked up in it.
        find->folderFd = open(r.host.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (find->folderFd < 0)
            return Fail(ErrorFromErrno(errno), INVALID_HANDLE_VALUE);
        find->namesOnly = namesOnly;
        if (namesOnly) {
            // The marker is read, or this listing's token put in its place,
            // before the names are read: a writer that gives an entry bits
            // after this point removes it.
            char value[64];
            const ssize_t n = fgetxattr(find->folderFd, kPlainMarkerName, value, sizeof value);
            find->plain = n == 1 && value[0] == '1';
            if (!find->plain) {
                std::string token = NewProofToken();
                if (fsetxattr(find->folderFd, kPlainMarkerName, token.data(), token.size(), 0) == 0)
                    find->proofToken = std::move(token);
            }
        }
        bool all = true;
        ListFolder(find->folderFd, parsed.last, folder.empty(), find->entries, &all);
        if (!all)
            find->proofToken.clear(); // what was not listed was not read
        std::sort(find->entries.begin(), find->entries.end(),
                  [](const FindObject::Entry& a, const FindObject::Entry& b) { return a.name < b.name; });
        find->folder = r.host;
    }
    find->root = r.root;
    if (!find->Next(data))
        return Fail(ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);
    HANDLE handle = RegisterObject(find);
    return handle ? handle : INVALID_HANDLE_VALUE;
}

} // namespace
} // namespace platform

HANDLE FindFirstFileW(LPCWSTR pattern, WIN32_FIND_DATAW* data)
{
    return FindFirst(pattern, data, false);
}

HANDLE FindFirstFileNamesW(LPCWSTR pattern, WIN32_FIND_DATAW* data)
{
    return FindFirst(pattern, data, true);
}

BOOL FindNextFileW(HANDLE find, WIN32_FIND_DATAW* data)
{
    auto object = LookupObjectAs<FindObject>(find);
    if (!object)
        return FALSE;
    if (!data)
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    return object->Next(data) ? TRUE : Fail(ERROR_NO_MORE_FILES, FALSE);
}

BOOL FindClose(HANDLE find)
{
    return LookupObjectAs<FindObject>(find) ? CloseHandle(find) : FALSE;
}

BOOL CreateDirectoryW(LPCWSTR path, SECURITY_ATTRIBUTES*)
{
    Resolved r;
    if (const DWORD error = Resolve(path, false, r))
        return Fail(error, FALSE);
    if (r.exists)
        return Fail(ERROR_ALREADY_EXISTS, FALSE);
    if (mkdir(r.host.c_str(), 0777) != 0) {
        const int e = errno;
        return Fail(e == ENOENT ? ERROR_PATH_NOT_FOUND : ErrorFromErrno(e), FALSE);
    }
    return TRUE;
}

BOOL RemoveDirectoryW(LPCWSTR path)
{
    Resolved r;
    if (const DWORD error = Resolve(path, true, r))
        return Fail(error, FALSE);
    if (r.isRoot || IsReadOnly(r))
        return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (!S_ISDIR(r.st.st_mode))
        return Fail(ERROR_DIRECTORY, FALSE);
    if (rmdir(Join(r.parent, r.leaf).c_str()) != 0) {
        const int e = errno;
        return Fail(e == EEXIST || e == ENOTEMPTY ? ERROR_DIR_NOT_EMPTY
                        : e == ENOTDIR            ? ERROR_DIRECTORY
                                                  : ErrorFromErrno(e),
                    FALSE);
    }
    return TRUE;
}

BOOL DeleteFileW(LPCWSTR path)
{
    Resolved r;
    if (const DWORD error = Resolve(path, true, r))
        return Fail(error, FALSE);
    if (r.isRoot || S_ISDIR(r.st.st_mode) || IsReadOnly(r))
        return Fail(ERROR_ACCESS_DENIED, FALSE);
    std::lock_guard guard(g_openLock);
    if (HeldAgainstDelete(r.st))
        return Fail(ERROR_SHARING_VIOLATION, FALSE);
    if (unlink(Join(r.parent, r.leaf).c_str()) != 0)
        return Fail(ErrorFromErrno(errno), FALSE);
    return TRUE;
}

BOOL MoveFileW(LPCWSTR from, LPCWSTR to)
{
    Resolved source, target;
    if (const DWORD error = Resolve(from, true, source))
        return Fail(error, FALSE);
    if (const DWORD error = Resolve(to, false, target))
        return Fail(error, FALSE);
    if (source.isRoot)
        return Fail(ERROR_ACCESS_DENIED, FALSE);
    const std::string sourceEntry = Join(source.parent, source.leaf);
    const std::string targetEntry = Join(target.parent, target.given);
    // The same entry under another case of its name is a rename of the case.
    const bool caseChange = target.exists && target.parent == source.parent && target.leaf == source.leaf;
    if (target.exists && !caseChange)
        return Fail(ERROR_ALREADY_EXISTS, FALSE);
    if (caseChange && target.given == source.leaf)
        return TRUE;
    {
        std::lock_guard guard(g_openLock);
        if (S_ISREG(source.st.st_mode) && HeldAgainstDelete(source.st))
            return Fail(ERROR_SHARING_VIOLATION, FALSE);
        const int result
            = caseChange ? rename(sourceEntry.c_str(), targetEntry.c_str()) : RenameNoReplace(sourceEntry, targetEntry);
        if (result == 0) {
            // The entry may bring its stored bits into the target folder.
            ForgetPlainFolder(targetEntry);
            return TRUE;
        }
        const int e = errno;
        if (e != EXDEV || !S_ISREG(source.st.st_mode)) {
            return Fail(e == EEXIST || e == ENOTEMPTY ? ERROR_ALREADY_EXISTS
                            : e == EINVAL             ? ERROR_ACCESS_DENIED
                                                      : ErrorFromErrno(e),
                        FALSE);
        }
    }
    // Another file system: copy the file, then remove the original.
    if (const DWORD error = CopyResolved(source, target, true))
        return Fail(error, FALSE);
    if (unlink(sourceEntry.c_str()) != 0) {
        const DWORD error = ErrorFromErrno(errno);
        unlink(target.host.c_str());
        return Fail(error, FALSE);
    }
    return TRUE;
}

BOOL CopyFileW(LPCWSTR from, LPCWSTR to, BOOL failIfExists)
{
    Resolved source, target;
    if (const DWORD error = Resolve(from, true, source))
        return Fail(error, FALSE);
    if (const DWORD error = Resolve(to, false, target))
        return Fail(error, FALSE);
    if (const DWORD error = CopyResolved(source, target, failIfExists != FALSE))
        return Fail(error, FALSE);
    return TRUE;
}

namespace platform {
namespace {

std::atomic<unsigned> g_copyCounter{0};

LARGE_INTEGER Large(std::uint64_t value)
{
    LARGE_INTEGER large;
    large.QuadPart = static_cast<LONGLONG>(value);
    return large;
}

bool Cancelled(BOOL* cancel)
{
    return cancel && std::atomic_ref<BOOL>(*cancel).load(std::memory_order_relaxed) != FALSE;
}

// Copies the bytes of source into fd with the progress calls. Returns the
// error (ERROR_REQUEST_ABORTED when the caller ended it).
DWORD CopyBytes(FileObject& source, int fd, std::uint64_t total, LPPROGRESS_ROUTINE progress, LPVOID data, BOOL* cancel)
{
    std::vector<char> buffer(kCopyChunk);
    std::uint64_t done = 0;
    auto report = [&](DWORD reason) {
        if (!progress)
            return ERROR_SUCCESS;
        const DWORD answer
            = progress(Large(total), Large(done), Large(total), Large(done), 1, reason, nullptr, nullptr, data);
        if (answer == PROGRESS_CANCEL || answer == PROGRESS_STOP)
            return ERROR_REQUEST_ABORTED;
        if (answer == PROGRESS_QUIET)
            progress = nullptr;
        return ERROR_SUCCESS;
    };
    if (const DWORD error = report(CALLBACK_STREAM_SWITCH))
        return error;
    for (;;) {
        if (Cancelled(cancel))
            return ERROR_REQUEST_ABORTED;
        DWORD got = 0;
        if (!source.Read(buffer.data(), kCopyChunk, &got))
            return GetLastError();
        if (got == 0)
            return ERROR_SUCCESS;
        for (DWORD put = 0; put < got;) {
            const ssize_t n = write(fd, buffer.data() + put, got - put);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                return ErrorFromErrno(errno);
            }
            put += static_cast<DWORD>(n);
        }
        done += got;
        if (const DWORD error = report(CALLBACK_CHUNK_FINISHED))
            return error;
    }
}

std::string CopyTempName(const std::string& folder)
{
    return Join(folder,
                std::string(kCopyTempPrefix) + std::to_string(getpid()) + "."
                    + std::to_string(g_copyCounter.fetch_add(1)));
}

} // namespace
} // namespace platform

BOOL CopyFileExW(LPCWSTR from, LPCWSTR to, LPPROGRESS_ROUTINE progress, LPVOID data, BOOL* cancel, DWORD flags)
{
    Resolved source, target;
    if (const DWORD error = Resolve(from, true, source))
        return Fail(error, FALSE);
    if (const DWORD error = Resolve(to, false, target))
        return Fail(error, FALSE);
    if (source.isRoot || !S_ISREG(source.st.st_mode) || target.isRoot)
        return Fail(ERROR_ACCESS_DENIED, FALSE);
    const bool failIfExists = (flags & COPY_FILE_FAIL_IF_EXISTS) != 0;
    if (target.exists) {
        if (failIfExists)
            return Fail(ERROR_FILE_EXISTS, FALSE);
        if (!S_ISREG(target.st.st_mode) || IsReadOnly(target))
            return Fail(ERROR_ACCESS_DENIED, FALSE);
        if (target.st.st_dev == source.st.st_dev && target.st.st_ino == source.st.st_ino)
            return Fail(ERROR_SHARING_VIOLATION, FALSE);
        std::lock_guard guard(g_openLock);
        if (HeldAgainstDelete(target.st))
            return Fail(ERROR_SHARING_VIOLATION, FALSE);
    }
    std::shared_ptr<FileObject> input = OpenResolved(source, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, 0);
    if (!input)
        return FALSE;
    const std::string targetEntry = Join(target.parent, target.exists ? target.leaf : target.given);

    // The copy is built without a name where the file system allows it, else
    // under a hidden temporary one.
    std::string tempName;
    int fd = open(target.parent.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd < 0) {
        tempName = CopyTempName(target.parent);
        fd = open(tempName.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd < 0)
            return Fail(ErrorFromErrno(errno), FALSE);
    }
    auto discard = [&](DWORD error) {
        close(fd);
        if (!tempName.empty())
            unlink(tempName.c_str());
        return Fail(error, FALSE);
    };
    DWORD error = CopyBytes(*input, fd, static_cast<std::uint64_t>(source.st.st_size), progress, data, cancel);
    input.reset();
    if (error)
        return discard(error);
    const DWORD attributes = AttributesOf(source.st, ReadStoredAttributes(source.host)) & kSettableAttributes;
    if (attributes & kStoredAttributes)
        WriteStoredAttributes(fd, targetEntry, attributes & kStoredAttributes);
    const timespec times[2] = {source.st.st_atim, source.st.st_mtim};
    futimens(fd, times);
    if (attributes & FILE_ATTRIBUTE_READONLY)
        fchmod(fd, 0444);
    if (tempName.empty()) {
        const std::string self = "/proc/self/fd/" + std::to_string(fd);
        if (!target.exists) {
            if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, targetEntry.c_str(), AT_SYMLINK_FOLLOW) != 0)
                return discard(errno == EEXIST ? ERROR_FILE_EXISTS : ErrorFromErrno(errno));
            close(fd);
            if (attributes & kStoredAttributes)
                ForgetPlainFolder(targetEntry); // now that the copy is in place
            return TRUE;
        }
        tempName = CopyTempName(target.parent);
        if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, tempName.c_str(), AT_SYMLINK_FOLLOW) != 0) {
            const DWORD linkError = ErrorFromErrno(errno);
            tempName.clear();
            return discard(linkError);
        }
    }
    close(fd);
    fd = -1;
    const int result
        = target.exists ? rename(tempName.c_str(), targetEntry.c_str()) : RenameNoReplace(tempName, targetEntry);
    if (result != 0) {
        error = errno == EEXIST ? ERROR_FILE_EXISTS : ErrorFromErrno(errno);
        unlink(tempName.c_str());
        return Fail(error, FALSE);
    }
    if (attributes & kStoredAttributes)
        ForgetPlainFolder(targetEntry);
    return TRUE;
}

DWORD GetFileAttributesW(LPCWSTR path)
{
    Resolved r;
    if (const DWORD error = Resolve(path, true, r))
        return Fail(error, INVALID_FILE_ATTRIBUTES);
    return AttributesOf(r.st, ReadStoredAttributes(r.host));
}

BOOL SetFileAttributesW(LPCWSTR path, DWORD attributes)
{
    Resolved r;
    if (const DWORD error = Resolve(path, true, r))
        return Fail(error, FALSE);
    if (r.isRoot)
        return Fail(ERROR_ACCESS_DENIED, FALSE);
    const DWORD wanted = attributes & kSettableAttributes;
    if (S_ISDIR(r.st.st_mode))
        return WriteStoredAttributes(-1, r.host, wanted) ? TRUE : Fail(ErrorFromErrno(errno), FALSE);
    // A read-only file may refuse its extended attribute: make it writable
    // first, and read-only again last.
    const mode_t mode = r.st.st_mode & 07777;
    if (!(mode & S_IWUSR) && chmod(r.host.c_str(), mode | S_IWUSR) != 0)
        return Fail(ErrorFromErrno(errno), FALSE);
    if (!WriteStoredAttributes(-1, r.host, wanted & kStoredAttributes)) {
        const DWORD error = ErrorFromErrno(errno);
        chmod(r.host.c_str(), mode);
        return Fail(error, FALSE);
    }
    if ((wanted & FILE_ATTRIBUTE_READONLY) && chmod(r.host.c_str(), mode & 07555) != 0)
        return Fail(ErrorFromErrno(errno), FALSE);
    return TRUE;
}

BOOL GetFileTime(HANDLE file, FILETIME* creation, FILETIME* lastAccess, FILETIME* lastWrite)
{
    auto object = LookupObjectAs<FileObject>(file);
    if (!object)
        return FALSE;
    struct statx sx;
    if (statx(object->fd, "", AT_EMPTY_PATH, STATX_BASIC_STATS | STATX_BTIME, &sx) != 0)
        return Fail(ErrorFromErrno(errno), FALSE);
    const Times times = TimesOf(sx);
    if (creation)
        *creation = times.creation;
    if (lastAccess)
        *lastAccess = times.access;
    if (lastWrite)
        *lastWrite = times.write;
    return TRUE;
}

BOOL SetFileTime(HANDLE file, const FILETIME*, const FILETIME* lastAccess, const FILETIME* lastWrite)
{
    auto object = LookupObjectAs<FileObject>(file);
    if (!object)
        return FALSE;
    if (!(object->access & GENERIC_WRITE))
        return Fail(ERROR_ACCESS_DENIED, FALSE);
    timespec times[2];
    times[0] = lastAccess ? TimespecFromFileTime(*lastAccess) : timespec{0, UTIME_OMIT};
    times[1] = lastWrite ? TimespecFromFileTime(*lastWrite) : timespec{0, UTIME_OMIT};
    if (futimens(object->fd, times) != 0)
        return Fail(ErrorFromErrno(errno), FALSE);
    return TRUE;
}

BOOL GetDiskFreeSpaceExW(LPCWSTR folder, ULARGE_INTEGER* freeToCaller, ULARGE_INTEGER* total, ULARGE_INTEGER* totalFree)
{
    Resolved r;
    if (const DWORD error = Resolve(folder ? folder : u"\\", true, r))
        return Fail(error == ERROR_FILE_NOT_FOUND ? ERROR_PATH_NOT_FOUND : error, FALSE);
    struct statvfs vfs;
    if (statvfs(r.host.c_str(), &vfs) != 0)
        return Fail(ErrorFromErrno(errno), FALSE);
    const std::uint64_t unit = vfs.f_frsize ? vfs.f_frsize : vfs.f_bsize;
    if (freeToCaller)
        freeToCaller->QuadPart = static_cast<std::uint64_t>(vfs.f_bavail) * unit;
    if (total)
        total->QuadPart = static_cast<std::uint64_t>(vfs.f_blocks) * unit;
    if (totalFree)
        totalFree->QuadPart = static_cast<std::uint64_t>(vfs.f_bfree) * unit;
    return TRUE;
}

BOOL FileTimeToSystemTime(const FILETIME* fileTime, SYSTEMTIME* systemTime)
{
    if (!fileTime || !systemTime || Ticks(*fileTime) > 0x7FFFFFFFFFFFFFFFull)
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    const std::uint64_t ticks = Ticks(*fileTime);
    const std::uint64_t seconds = ticks / kTicksPerSecond;
    const auto days = static_cast<std::int64_t>(seconds / 86400);
    const std::uint64_t secondOfDay = seconds % 86400;
    std::int64_t year;
    unsigned month, day;
    CivilFromDays(days - kEpochDays, year, month, day);
    systemTime->wYear = static_cast<WORD>(year);
    systemTime->wMonth = static_cast<WORD>(month);
    systemTime->wDayOfWeek = static_cast<WORD>((days + 1) % 7); // 1 January 1601 was a Monday
    systemTime->wDay = static_cast<WORD>(day);
    systemTime->wHour = static_cast<WORD>(secondOfDay / 3600);
    systemTime->wMinute = static_cast<WORD>(secondOfDay / 60 % 60);
    systemTime->wSecond = static_cast<WORD>(secondOfDay % 60);
    systemTime->wMilliseconds = static_cast<WORD>(ticks % kTicksPerSecond / 10000);
    return TRUE;
}

BOOL SystemTimeToFileTime(const SYSTEMTIME* st, FILETIME* fileTime)
{
    if (!st || !fileTime || st->wYear < 1601 || st->wYear > 30827 || st->wMonth < 1 || st->wMonth > 12 || st->wDay < 1
        || st->wDay > DaysInMonth(st->wYear, st->wMonth) || st->wHour > 23 || st->wMinute > 59 || st->wSecond > 59
        || st->wMilliseconds > 999)
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    const std::int64_t days = DaysFromCivil(st->wYear, st->wMonth, st->wDay) + kEpochDays;
    const std::uint64_t seconds
        = static_cast<std::uint64_t>(days) * 86400 + st->wHour * 3600u + st->wMinute * 60u + st->wSecond;
    *fileTime = FromTicks(seconds * kTicksPerSecond + st->wMilliseconds * 10000ull);
    return TRUE;
}

BOOL FileTimeToLocalFileTime(const FILETIME* utc, FILETIME* local)
{
    if (!utc || !local)
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    return ShiftFileTime(utc, local, LocalOffset(UnixSecondsOf(*utc)));
}

BOOL LocalFileTimeToFileTime(const FILETIME* local, FILETIME* utc)
{
    if (!local || !utc)
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    // The offset of the moment itself: first guessed from the local reading,
    // then taken at the guess.
    const std::int64_t seconds = UnixSecondsOf(*local);
    return ShiftFileTime(local, utc, -LocalOffset(seconds - LocalOffset(seconds)));
}

LONG CompareFileTime(const FILETIME* a, const FILETIME* b)
{
    const std::uint64_t x = Ticks(*a), y = Ticks(*b);
    return x < y ? -1 : (x > y ? 1 : 0);
}
