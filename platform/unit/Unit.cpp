#include "platform/unit/Unit.h"

#include "platform/base/Debug.h"
#include "platform/base/Error.h"
#include "platform/gfx/Screen.h"
#include "platform/ui/Window.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <mutex>
#include <poll.h>
#include <string_view>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace platform {
namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr std::size_t kMaxLine = 64 * 1024; // bytes of a line, its '\n' included
constexpr int kServerIoMs = 1000;           // a client writes its request at once
constexpr const char* kLockName = "unit.lock";
constexpr const char* kSocketName = "unit.sock";

// ---- words on the wire ----

std::string Escape(std::string_view word)
{
    std::string out;
    out.reserve(word.size());
    for (char c : word) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        default:
            out += c;
            break;
        }
    }
    return out;
}

std::string EncodeWords(const std::vector<std::string>& words)
{
    std::string line;
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (i)
            line += '\t';
        line += Escape(words[i]);
    }
    return line;
}

// Splits a line (without its '\n') into unescaped words; false on an escape
// we do not write.
bool DecodeWords(std::string_view line, std::vector<std::string>& words)
{
    words.assign(1, std::string());
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '\t') {
            words.emplace_back();
        } else if (c != '\\') {
            words.back() += c;
        } else if (++i == line.size()) {
            return false;
        } else if (line[i] == '\\') {
            words.back() += '\\';
        } else if (line[i] == 't') {
            words.back() += '\t';
        } else if (line[i] == 'n') {
            words.back() += '\n';
        } else {
            return false;
        }
    }
    return true;
}

// ---- bounded socket input and output ----

int RemainingMs(SteadyClock::time_point deadline)
{
    const auto now = SteadyClock::now();
    if (deadline <= now)
        return 0;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
    return left > INT_MAX ? INT_MAX : static_cast<int>(left);
}

// False when the deadline passes first (or poll fails).
bool WaitReady(int fd, short events, SteadyClock::time_point deadline)
{
    for (;;) {
        pollfd p{fd, events, 0};
        const int r = poll(&p, 1, RemainingMs(deadline));
        if (r > 0)
            return true; // errors and hang-ups show in the next read or write
        if (r == 0 || errno != EINTR)
            return false;
    }
}

enum class ReadResult { Line, TooLong, TimedOut, Failed };

// Reads up to the first '\n' on a non-blocking socket. Anything after it is
// ignored (one request or reply per connection).
ReadResult ReadLine(int fd, SteadyClock::time_point deadline, std::string& line)
{
    line.clear();
    char chunk[4096];
    for (;;) {
        if (!WaitReady(fd, POLLIN, deadline))
            return RemainingMs(deadline) == 0 ? ReadResult::TimedOut : ReadResult::Failed;
        const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            return ReadResult::Failed;
        }
        if (n == 0)
            return ReadResult::Failed; // closed before the line ended
        const void* newline = std::memchr(chunk, '\n', static_cast<std::size_t>(n));
        const std::size_t take = newline ? static_cast<std::size_t>(static_cast<const char*>(newline) - chunk)
                                         : static_cast<std::size_t>(n);
        if (line.size() + take + 1 > kMaxLine)
            return ReadResult::TooLong;
        line.append(chunk, take);
        if (newline)
            return ReadResult::Line;
    }
}

bool WriteAll(int fd, std::string_view data, SteadyClock::time_point deadline)
{
    while (!data.empty()) {
        const ssize_t n = send(fd, data.data(), data.size(), MSG_NOSIGNAL);
        if (n > 0) {
            data.remove_prefix(static_cast<std::size_t>(n));
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && errno == EAGAIN) {
            if (!WaitReady(fd, POLLOUT, deadline))
                return false;
        } else {
            return false;
        }
    }
    return true;
}

// The socket's address. A path longer than sun_path allows is reached
// through the run folder's descriptor under /proc/self/fd.
class SocketAddress {
public:
    explicit SocketAddress(const std::string& runFolder)
    {
        std::string path = runFolder + "/" + kSocketName;
        if (path.size() >= sizeof m_addr.sun_path) {
            m_folderFd = open(runFolder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
            if (m_folderFd < 0)
                return;
            path = "/proc/self/fd/" + std::to_string(m_folderFd) + "/" + kSocketName;
        }
        m_addr.sun_family = AF_UNIX;
        std::memcpy(m_addr.sun_path, path.c_str(), path.size() + 1);
        m_length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size() + 1);
    }
    ~SocketAddress()
    {
        if (m_folderFd >= 0)
            close(m_folderFd);
    }
    SocketAddress(const SocketAddress&) = delete;
    SocketAddress& operator=(const SocketAddress&) = delete;

    bool Valid() const { return m_length != 0; }
    const sockaddr* Get() const { return reinterpret_cast<const sockaddr*>(&m_addr); }
    socklen_t Length() const { return m_length; }

private:
    sockaddr_un m_addr{};
    socklen_t m_length = 0;
    int m_folderFd = -1;
};

// ---- handlers ----

std::mutex g_handlerMutex;
std::map<std::string, ControlHandler> g_handlers;

// The reply that goes out: one that does not fit a line is replaced.
std::string Dispatch(const std::vector<std::string>& words)
{
    ControlHandler handler;
    if (!words.empty()) {
        std::lock_guard lock(g_handlerMutex);
        const auto it = g_handlers.find(words.front());
        if (it != g_handlers.end())
            handler = it->second;
    }
    if (!handler)
        return kUnitUnknownReply;
    // The words come from another process: a handler that throws on one it
    // cannot parse must not take the unit down.
    std::string reply;
    try {
        reply = handler(words);
    } catch (...) {
        return "ERR failed";
    }
    if (Escape(reply).size() + 1 > kMaxLine)
        return "ERR reply too long";
    return reply;
}

// ---- the server ----

void ServeConnection(int fd)
{
    // Only processes of our own user (or the administrator) may drive the unit.
    ucred peer{};
    socklen_t length = sizeof peer;
    if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0 || (peer.uid != geteuid() && peer.uid != 0))
        return;

    std::string line;
    std::string reply;
    switch (ReadLine(fd, SteadyClock::now() + std::chrono::milliseconds(kServerIoMs), line)) {
    case ReadResult::Line: {
        std::vector<std::string> words;
        reply = DecodeWords(line, words) ? Dispatch(words) : "ERR bad request";
        break;
    }
    case ReadResult::TooLong:
        reply = "ERR too long";
        break;
    default:
        return;
    }
    WriteAll(fd, Escape(reply) + '\n', SteadyClock::now() + std::chrono::milliseconds(kServerIoMs));
}

void Serve(int listenFd, int wakeFd)
{
    for (;;) {
        pollfd fds[2] = {{listenFd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[1].revents)
            return;
        if (fds[0].revents & (POLLERR | POLLNVAL))
            return;
        const int fd = accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd >= 0) {
            ServeConnection(fd);
            close(fd);
        } else if (errno != EAGAIN && errno != EINTR && errno != ECONNABORTED) {
            // Out of descriptors or memory: the pending connection stays
            // ready, so pause instead of spinning (the wake still stops us).
            pollfd wake{wakeFd, POLLIN, 0};
            poll(&wake, 1, 100);
        }
    }
}

// ---- the unit's state ----

struct UnitState {
    bool open = false;
    bool owner = false;
    std::string root;
};

std::mutex g_openMutex;  // serialises opening and closing
std::mutex g_stateMutex; // guards g_state, which queries read
UnitState g_state;
// Held by the owner; touched only under g_openMutex.
int g_lockFd = -1;
int g_listenFd = -1;
int g_wakeFds[2] = {-1, -1};
std::thread g_server;

void CloseFd(int& fd)
{
    if (fd >= 0)
        close(fd);
    fd = -1;
}

std::string AbsoluteRoot(const std::string& root)
{
    std::error_code ec;
    std::filesystem::path path = std::filesystem::absolute(root.empty() ? "unit" : root, ec).lexically_normal();
    std::string text = path.string();
    while (text.size() > 1 && text.back() == '/')
        text.pop_back();
    return text;
}

std::string EnvironmentRoot()
{
    const char* root = std::getenv("WREN_ROOT");
    return AbsoluteRoot(root && *root ? root : "./unit");
}

std::string RunFolderOf(const std::string& root)
{
    return root + "/run";
}

bool StartServer(const std::string& runFolder)
{
    const std::string path = runFolder + "/" + kSocketName;
    SocketAddress address(runFolder);
    g_listenFd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    // The file left by an owner that died is stale: we hold the lock now.
    unlink(path.c_str());
    if (!address.Valid() || g_listenFd < 0 || bind(g_listenFd, address.Get(), address.Length()) != 0
        || chmod(path.c_str(), 0600) != 0 || listen(g_listenFd, 16) != 0 || pipe2(g_wakeFds, O_CLOEXEC) != 0) {
        NKDbgPrintfW(u"[unit] control socket %S not served (errno %d)\r\n", path, errno);
        CloseFd(g_listenFd);
        unlink(path.c_str());
        return false;
    }
    g_server = std::thread(Serve, g_listenFd, g_wakeFds[0]);
    return true;
}

void StopServer(const std::string& runFolder)
{
    if (g_server.joinable()) {
        const char stop = 1;
        while (write(g_wakeFds[1], &stop, 1) < 0 && errno == EINTR) {}
        g_server.join();
    }
    CloseFd(g_wakeFds[0]);
    CloseFd(g_wakeFds[1]);
    if (g_listenFd >= 0) {
        CloseFd(g_listenFd);
        unlink((runFolder + "/" + kSocketName).c_str());
    }
}

// Closes whatever is open; the caller holds g_openMutex.
void CloseLocked()
{
    std::string root;
    {
        std::lock_guard lock(g_stateMutex);
        root = g_state.root;
        g_state = UnitState{};
    }
    StopServer(RunFolderOf(root));
    // Last, so that nobody else owns the root while our socket file exists.
    CloseFd(g_lockFd);
}

} // namespace

std::string UnitRoot()
{
    {
        std::lock_guard lock(g_stateMutex);
        if (g_state.open)
            return g_state.root;
    }
    return EnvironmentRoot();
}

std::string UnitRunFolder()
{
    return RunFolderOf(UnitRoot());
}

bool OpenUnit()
{
    return OpenUnit(EnvironmentRoot());
}

bool OpenUnit(const std::string& root)
{
    std::lock_guard openLock(g_openMutex);
    const std::string absolute = AbsoluteRoot(root);
    {
        std::lock_guard lock(g_stateMutex);
        if (g_state.open && g_state.owner && g_state.root == absolute)
            return true;
    }
    CloseLocked();

    const std::string runFolder = RunFolderOf(absolute);
    std::error_code ec;
    std::filesystem::create_directories(runFolder, ec);
    if (ec) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    const int fd = open((runFolder + "/" + kLockName).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    int locked;
    while ((locked = flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {}
    const int lockError = errno;
    if (locked != 0) {
        close(fd);
        if (lockError != EWOULDBLOCK) {
            SetLastError(ERROR_ACCESS_DENIED);
            return false;
        }
        std::lock_guard lock(g_stateMutex);
        g_state = UnitState{true, false, absolute};
        SetLastError(ERROR_ALREADY_EXISTS);
        return false;
    }

    g_lockFd = fd;
    RegisterWindowControlCommands();
    // Without its socket the unit still runs; only other programs cannot
    // reach it (StartServer says so in the debug output).
    StartServer(runFolder);
    std::lock_guard lock(g_stateMutex);
    g_state = UnitState{true, true, absolute};
    return true;
}

bool OwnsUnit()
{
    std::lock_guard lock(g_stateMutex);
    return g_state.open && g_state.owner;
}

bool UnitOwnedElsewhere()
{
    std::lock_guard lock(g_stateMutex);
    return g_state.open && !g_state.owner;
}

void CloseUnit()
{
    std::lock_guard openLock(g_openMutex);
    const char* screenshot = std::getenv("WREN_SCREENSHOT");
    if (screenshot && *screenshot && OwnsUnit() && !Screen::Get().SavePng(screenshot))
        NKDbgPrintfW(u"[unit] screenshot %S not saved (error %u)\r\n", screenshot, GetLastError());
    CloseLocked();
}

void SetControlHandler(const std::string& command, ControlHandler handler)
{
    std::lock_guard lock(g_handlerMutex);
    if (handler)
        g_handlers[command] = std::move(handler);
    else
        g_handlers.erase(command);
}

bool UnitRequest(const std::vector<std::string>& words, std::string* reply, DWORD timeoutMs)
{
    return UnitRequestAt(UnitRoot(), words, reply, timeoutMs);
}

bool UnitRequestAt(const std::string& root, const std::vector<std::string>& words, std::string* reply, DWORD timeoutMs)
{
    std::string line = EncodeWords(words);
    if (line.size() + 1 > kMaxLine) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    const std::string absolute = AbsoluteRoot(root);
    {
        std::lock_guard lock(g_stateMutex);
        if (g_state.open && g_state.owner && g_state.root == absolute) {
            std::string answer = Dispatch(words);
            if (reply)
                *reply = std::move(answer);
            return true;
        }
    }

    // Real time, not the unit's clock: a test's manual clock must not stop
    // a request from timing out.
    const auto deadline = timeoutMs == INFINITE ? SteadyClock::time_point::max()
                                                : SteadyClock::now() + std::chrono::milliseconds(timeoutMs);
    SocketAddress address(RunFolderOf(absolute));
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0 || !address.Valid()) {
        if (fd >= 0)
            close(fd);
        SetLastError(ERROR_FILE_NOT_FOUND);
        return false;
    }
    // A full backlog answers EAGAIN on a non-blocking local socket: retry
    // until the deadline.
    int connected;
    while ((connected = connect(fd, address.Get(), address.Length())) != 0 && errno == EAGAIN
           && RemainingMs(deadline) > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (connected != 0) {
        const bool busy = errno == EAGAIN;
        close(fd);
        SetLastError(busy ? ERROR_TIMEOUT : ERROR_FILE_NOT_FOUND);
        return false;
    }

    line += '\n';
    std::string answer;
    DWORD error = ERROR_SUCCESS;
    if (!WriteAll(fd, line, deadline)) {
        error = RemainingMs(deadline) == 0 ? ERROR_TIMEOUT : ERROR_FILE_NOT_FOUND;
    } else {
        shutdown(fd, SHUT_WR);
        std::string escaped;
        std::vector<std::string> decoded;
        switch (ReadLine(fd, deadline, escaped)) {
        case ReadResult::Line:
            if (DecodeWords(escaped, decoded) && decoded.size() == 1)
                answer = std::move(decoded.front());
            else
                error = ERROR_INVALID_PARAMETER;
            break;
        case ReadResult::TimedOut:
            error = ERROR_TIMEOUT;
            break;
        case ReadResult::TooLong:
            error = ERROR_INVALID_PARAMETER;
            break;
        case ReadResult::Failed:
            error = ERROR_FILE_NOT_FOUND;
            break;
        }
    }
    close(fd);
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return false;
    }
    if (reply)
        *reply = std::move(answer);
    return true;
}

} // namespace platform
