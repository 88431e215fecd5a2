#include "platform/os/Process.h"

#include "platform/base/Debug.h"
#include "platform/base/Error.h"
#include "platform/base/Text.h"
#include "platform/io/File.h"
#include "platform/io/Io.h"
#include "platform/os/Thread.h"
#include "platform/unit/Unit.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>

extern char** environ;

namespace platform {
namespace {

constexpr DWORD kFirstSimulatedId = 0x40000001;

struct RegisteredProgram {
    ProgramMain main;
    ProgramFile file = ProgramFile::NotNeeded;
};

struct Programs {
    std::mutex lock;
    std::map<std::u16string, RegisteredProgram, IgnoringCaseLess> byPath;
};

// Never destroyed: program threads may still start programs while the
// process exits.
Programs& GetPrograms()
{
    static Programs* programs = new Programs;
    return *programs;
}

std::atomic<DWORD> g_nextSimulatedId{kFirstSimulatedId};
std::atomic<DWORD> g_graceMs{3000};

class ProcessObject final : public KernelObject {
public:
    bool IsSignaled() override { return m_ended.load(); }

    // Records the end: the handles become signalled.
    void End(DWORD code)
    {
        UpdateSignalState([&] {
            m_exitCode.store(code);
            m_ended.store(true);
        });
    }

    std::u16string m_path;
    std::atomic<DWORD> m_id{0};
    std::atomic<bool> m_ended{false};
    std::atomic<DWORD> m_exitCode{STILL_ACTIVE};

    // Host programs. The child is reaped only after m_exited is set under
    // m_lock, so a signal sent under m_lock while m_exited is false always
    // reaches our child, never a process that took its id later.
    bool m_host = false;
    pid_t m_pid = 0;
    std::mutex m_lock;
    std::condition_variable m_exitedChanged;
    bool m_exited = false;
    bool m_terminating = false;
    DWORD m_terminateCode = 0;
};

// The thread handle of a host program: signalled with the process.
class ProcessThreadObject final : public KernelObject {
public:
    explicit ProcessThreadObject(std::shared_ptr<ProcessObject> process) : m_process(std::move(process)) {}
    bool IsSignaled() override { return m_process->IsSignaled(); }

private:
    std::shared_ptr<ProcessObject> m_process;
};

// ---- the programs started by this process, for snapshots ----

struct Started {
    std::mutex lock;
    std::vector<std::weak_ptr<ProcessObject>> list;
};

Started& GetStarted()
{
    static Started* started = new Started;
    return *started;
}

void RecordStarted(const std::shared_ptr<ProcessObject>& process)
{
    Started& started = GetStarted();
    std::lock_guard<std::mutex> guard(started.lock);
    // Drop the ended ones as we go.
    std::erase_if(started.list, [](const std::weak_ptr<ProcessObject>& p) {
        auto alive = p.lock();
        return !alive || alive->m_ended.load();
    });
    started.list.push_back(process);
}

std::vector<std::shared_ptr<ProcessObject>> RunningStarted()
{
    Started& started = GetStarted();
    std::lock_guard<std::mutex> guard(started.lock);
    std::vector<std::shared_ptr<ProcessObject>> running;
    for (const auto& weak : started.list)
        if (auto process = weak.lock(); process && !process->m_ended.load())
            running.push_back(process);
    return running;
}

class SnapshotObject final : public KernelObject {
public:
    struct Entry {
        DWORD id;
        std::u16string name;
    };
    std::vector<Entry> entries;
    std::size_t next = 0;
};

// ---- simulated programs ----

ProgramMain FindProgram(const std::u16string& path)
{
    RegisteredProgram program;
    {
        Programs& programs = GetPrograms();
        std::lock_guard<std::mutex> guard(programs.lock);
        auto it = programs.byPath.find(path);
        if (it == programs.byPath.end())
            return ProgramMain();
        program = it->second;
    }
    if (program.file == ProgramFile::Needed) {
        DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
            return ProgramMain();
    }
    return program.main;
}

struct ProgramStart {
    ProgramMain main;
    std::u16string commandLine;
    std::shared_ptr<ProcessObject> process;
};

DWORD RunProgram(LPVOID parameter)
{
    std::unique_ptr<ProgramStart> start(static_cast<ProgramStart*>(parameter));
    DWORD code;
    try {
        code = start->main(start->commandLine);
    } catch (...) {
        NKDbgPrintfW(u"[process] %s ended by an exception\r\n", start->process->m_path);
        code = 0xFFFFFFFFu;
    }
    start->process->End(code);
    return code;
}

BOOL StartSimulated(ProgramMain main, const std::u16string& path, const std::u16string& commandLine, DWORD flags,
                    PROCESS_INFORMATION* info)
{
    auto process = std::make_shared<ProcessObject>();
    process->m_path = path;
    process->m_id = g_nextSimulatedId.fetch_add(1);
    HANDLE processHandle = RegisterObject(process);
    if (!processHandle)
        return FALSE;
    auto start = std::make_unique<ProgramStart>(ProgramStart{std::move(main), commandLine, process});
    DWORD threadId = 0;
    HANDLE threadHandle = CreateThread(nullptr, 0, RunProgram, start.get(), flags & CREATE_SUSPENDED, &threadId);
    if (!threadHandle) {
        const DWORD error = GetLastError();
        CloseHandle(processHandle);
        SetLastError(error);
        return FALSE;
    }
    start.release(); // the thread owns it now
    RecordStarted(process);
    *info = {processHandle, threadHandle, process->m_id.load(), threadId};
    return TRUE;
}

// ---- host programs ----

std::string Trim(const std::string& text)
{
    const char* blanks = " \t\r";
    std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos)
        return std::string();
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// The host executable mapped to a unit path, or "".
std::string FindHostProgram(const std::u16string& path)
{
    std::ifstream file(ProgramMapPath());
    std::string line;
    for (int number = 1; std::getline(file, line); ++number) {
        line = Trim(line);
        if (line.empty() || line[0] == '#')
            continue;
        std::size_t equals = line.find('=');
        std::string unitPath = equals == std::string::npos ? std::string() : Trim(line.substr(0, equals));
        std::string hostPath = equals == std::string::npos ? std::string() : Trim(line.substr(equals + 1));
        if (unitPath.empty() || hostPath.empty()) {
            NKDbgPrintfW(u"[process] %S:%d: not \"<unit path> = <host program>\", ignored\r\n", ProgramMapPath(),
                         number);
            continue;
        }
        if (lstrcmpiW(FromUtf8(unitPath).c_str(), path.c_str()) == 0)
            return hostPath[0] == '/' ? hostPath : UnitRoot() + "/" + hostPath;
    }
    return std::string();
}

DWORD ErrorOfSpawn(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return ERROR_FILE_NOT_FOUND;
    case EACCES:
    case EPERM:
        return ERROR_ACCESS_DENIED;
    case ENOEXEC:
        return ERROR_BAD_EXE_FORMAT;
    case ENOMEM:
    case EAGAIN:
        return ERROR_NOT_ENOUGH_MEMORY;
    default:
        return ERROR_GEN_FAILURE;
    }
}

// Sends a signal to the child's process group (or the child alone, when it
// has left its group). Call with m_lock held and the child not reaped.
void SignalChild(ProcessObject& process, int signal)
{
    if (kill(-process.m_pid, signal) != 0)
        kill(process.m_pid, signal);
}

// Waits for the child to end, records its exit code, then reaps it.
void WatchChild(const std::shared_ptr<ProcessObject>& process)
{
    siginfo_t info{};
    int result;
    do {
        result = waitid(P_PID, static_cast<id_t>(process->m_pid), &info, WEXITED | WNOWAIT);
    } while (result != 0 && errno == EINTR);
    DWORD code;
    {
        std::lock_guard<std::mutex> guard(process->m_lock);
        process->m_exited = true;
        if (process->m_terminating)
            code = process->m_terminateCode;
        else if (result != 0)
            code = 0xFFFFFFFFu; // reaped by someone else: the code is lost
        else if (info.si_code == CLD_EXITED)
            code = static_cast<DWORD>(info.si_status);
        else
            code = 128u + static_cast<DWORD>(info.si_status); // ended by a signal, as a shell reports it
    }
    process->m_exitedChanged.notify_all();
    if (result == 0) {
        int status;
        while (waitpid(process->m_pid, &status, 0) < 0 && errno == EINTR) {}
    } else {
        NKDbgPrintfW(u"[process] %s (pid %d) was reaped elsewhere\r\n", process->m_path, process->m_pid);
    }
    process->End(code);
}

// Kills the child when it has not ended after the grace time.
void KillAfterGrace(const std::shared_ptr<ProcessObject>& process)
{
    std::unique_lock<std::mutex> lock(process->m_lock);
    if (!process->m_exitedChanged.wait_for(lock, std::chrono::milliseconds(g_graceMs.load()),
                                           [&] { return process->m_exited; })) {
        NKDbgPrintfW(u"[process] %s (pid %d) still runs after SIGTERM, killed\r\n", process->m_path, process->m_pid);
        SignalChild(*process, SIGKILL);
    }
}

// The environment of this process with WREN_ROOT set to the unit root.
std::vector<std::string> ChildEnvironment()
{
    std::vector<std::string> environment;
    for (char** entry = environ; entry && *entry; ++entry) {
        if (std::strncmp(*entry, "WREN_ROOT=", 10) != 0)
            environment.emplace_back(*entry);
    }
    environment.push_back("WREN_ROOT=" + UnitRoot());
    return environment;
}

std::vector<char*> Pointers(std::vector<std::string>& strings)
{
    std::vector<char*> pointers;
    for (std::string& s : strings)
        pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

// Starts the executable; returns 0 or an errno value.
int Spawn(const std::string& executable, const std::u16string& commandLine, pid_t* pid)
{
    std::vector<std::string> arguments{executable};
    for (const std::u16string& argument : SplitCommandLine(commandLine))
        arguments.push_back(ToUtf8(argument));
    std::vector<std::string> environment = ChildEnvironment();
    std::vector<char*> argv = Pointers(arguments);
    std::vector<char*> envp = Pointers(environment);

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    // Our files, sockets and the unit's lock stay ours.
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigfillset(&defaults);
    sigdelset(&defaults, SIGKILL);
    sigdelset(&defaults, SIGSTOP);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
    int error = posix_spawn(pid, executable.c_str(), &actions, &attributes, argv.data(), envp.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return error;
}

BOOL StartHost(const std::string& executable, const std::u16string& path, const std::u16string& commandLine,
               PROCESS_INFORMATION* info)
{
    auto process = std::make_shared<ProcessObject>();
    process->m_path = path;
    process->m_host = true;
    HANDLE processHandle = RegisterObject(process);
    HANDLE threadHandle = processHandle ? RegisterObject(std::make_shared<ProcessThreadObject>(process)) : nullptr;
    if (!threadHandle) {
        if (processHandle)
            CloseHandle(processHandle);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    pid_t pid = 0;
    int error = Spawn(executable, commandLine, &pid);
    if (error == 0) {
        {
            std::lock_guard<std::mutex> guard(process->m_lock);
            process->m_pid = pid;
        }
        process->m_id = static_cast<DWORD>(pid);
        try {
            std::thread([process] { WatchChild(process); }).detach();
        } catch (...) {
            // Without a watcher nobody would reap the child: end it now.
            kill(-pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            error = ENOMEM;
        }
    }
    if (error != 0) {
        NKDbgPrintfW(u"[process] %s: cannot start %S (%S)\r\n", path, executable, std::strerror(error));
        CloseHandle(threadHandle);
        CloseHandle(processHandle);
        SetLastError(ErrorOfSpawn(error));
        return FALSE;
    }
    RecordStarted(process);
    NKDbgPrintfW(u"[process] %s started as %S (pid %d)\r\n", path, executable, pid);
    *info = {processHandle, threadHandle, process->m_id.load(), static_cast<DWORD>(pid)};
    return TRUE;
}

BOOL Start(const std::u16string& path, const std::u16string& commandLine, DWORD flags, PROCESS_INFORMATION* info)
{
    if (ProgramMain main = FindProgram(path))
        return StartSimulated(std::move(main), path, commandLine, flags, info);
    std::string executable = FindHostProgram(path);
    if (!executable.empty())
        return StartHost(executable, path, commandLine, info);
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
}

bool IsBlank(char16_t c)
{
    return c == u' ' || c == u'\t';
}

} // namespace

void RegisterProgram(LPCWSTR unitPath, ProgramMain main, ProgramFile file)
{
    if (!unitPath || !*unitPath)
        return;
    Programs& programs = GetPrograms();
    std::lock_guard<std::mutex> guard(programs.lock);
    programs.byPath.erase(unitPath);
    if (main)
        programs.byPath.emplace(unitPath, RegisteredProgram{std::move(main), file});
}

void UnregisterProgram(LPCWSTR unitPath)
{
    RegisterProgram(unitPath, ProgramMain());
}

std::string ProgramMapPath()
{
    return UnitRoot() + "/config/programs.conf";
}

void SetTerminateGraceMs(DWORD ms)
{
    g_graceMs.store(ms);
}

std::vector<std::u16string> SplitCommandLine(std::u16string_view commandLine)
{
    std::vector<std::u16string> arguments;
    std::u16string argument;
    bool inArgument = false, quoted = false;
    for (char16_t c : commandLine) {
        if (c == u'"') {
            quoted = !quoted;
            inArgument = true;
        } else if (IsBlank(c) && !quoted) {
            if (inArgument)
                arguments.push_back(std::move(argument));
            argument.clear();
            inArgument = false;
        } else {
            argument += c;
            inArgument = true;
        }
    }
    if (inArgument)
        arguments.push_back(std::move(argument));
    return arguments;
}

} // namespace platform

BOOL CreateProcessW(LPCWSTR application, LPWSTR commandLine, SECURITY_ATTRIBUTES*, SECURITY_ATTRIBUTES*, BOOL,
                    DWORD flags, LPVOID, LPCWSTR, STARTUPINFOW*, PROCESS_INFORMATION* processInfo)
{
    if (!processInfo) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *processInfo = {};
    std::u16string path, arguments = commandLine ? commandLine : u"";
    if (application && *application) {
        path = application;
    } else {
        // The program is the first word of the command line, quoted or not.
        std::vector<std::u16string> words = platform::SplitCommandLine(arguments);
        if (words.empty()) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        path = words.front();
        std::size_t at = arguments.find_first_not_of(u" \t");
        bool quoted = false;
        for (; at < arguments.size() && (quoted || !platform::IsBlank(arguments[at])); ++at) {
            if (arguments[at] == u'"')
                quoted = !quoted;
        }
        at = arguments.find_first_not_of(u" \t", at);
        arguments = at == std::u16string::npos ? std::u16string() : arguments.substr(at);
    }
    return platform::Start(path, arguments, flags, processInfo);
}

BOOL ShellExecuteEx(SHELLEXECUTEINFO* info)
{
    if (!info || (info->cbSize != kShellExecuteInfoSizeOnUnit && info->cbSize != sizeof(SHELLEXECUTEINFO))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    info->hProcess = nullptr;
    auto fail = [info](DWORD error, INT_PTR code) {
        info->hInstApp = reinterpret_cast<HINSTANCE>(code);
        SetLastError(error);
        return FALSE;
    };
    if (info->lpVerb && *info->lpVerb && lstrcmpiW(info->lpVerb, u"open") != 0)
        return fail(ERROR_NO_ASSOCIATION, SE_ERR_NOASSOC);
    std::u16string file = info->lpFile ? info->lpFile : u"";
    if (file.size() >= 2 && file.front() == u'"' && file.back() == u'"')
        file = file.substr(1, file.size() - 2);
    PROCESS_INFORMATION process{};
    if (file.empty() || !platform::Start(file, info->lpParameters ? info->lpParameters : u"", 0, &process)) {
        const DWORD error = file.empty() ? ERROR_FILE_NOT_FOUND : GetLastError();
        return fail(error,
                    error == ERROR_FILE_NOT_FOUND          ? SE_ERR_FNF
                        : error == ERROR_ACCESS_DENIED     ? SE_ERR_ACCESSDENIED
                        : error == ERROR_NOT_ENOUGH_MEMORY ? SE_ERR_OOM
                                                           : SE_ERR_FNF);
    }
    CloseHandle(process.hThread);
    if (info->fMask & SEE_MASK_NOCLOSEPROCESS)
        info->hProcess = process.hProcess;
    else
        CloseHandle(process.hProcess);
    info->hInstApp = reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(33));
    return TRUE;
}

BOOL GetExitCodeProcess(HANDLE handle, DWORD* exitCode)
{
    auto process = platform::LookupObjectAs<platform::ProcessObject>(handle);
    if (!process)
        return FALSE;
    if (!exitCode) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *exitCode = process->m_exitCode.load();
    return TRUE;
}

BOOL TerminateProcess(HANDLE handle, UINT exitCode)
{
    auto process = platform::LookupObjectAs<platform::ProcessObject>(handle);
    if (!process)
        return FALSE;
    if (!process->m_host) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
    std::lock_guard<std::mutex> guard(process->m_lock);
    if (process->m_exited) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (process->m_terminating)
        return TRUE;
    process->m_terminating = true;
    process->m_terminateCode = exitCode;
    platform::SignalChild(*process, SIGTERM);
    try {
        std::thread([process] { platform::KillAfterGrace(process); }).detach();
    } catch (...) {
        platform::SignalChild(*process, SIGKILL);
    }
    return TRUE;
}

DWORD GetCurrentProcessId()
{
    return static_cast<DWORD>(getpid());
}

HANDLE CreateToolhelp32Snapshot(DWORD flags, DWORD)
{
    if (!(flags & TH32CS_SNAPPROCESS)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    auto snapshot = std::make_shared<platform::SnapshotObject>();
    for (const auto& process : platform::RunningStarted()) {
        const std::size_t split = process->m_path.find_last_of(u"\\/");
        snapshot->entries.push_back(
            {process->m_id.load(),
             split == std::u16string::npos ? process->m_path : process->m_path.substr(split + 1)});
    }
    HANDLE handle = platform::RegisterObject(snapshot);
    return handle ? handle : INVALID_HANDLE_VALUE;
}

namespace {

BOOL NextProcessEntry(HANDLE handle, PROCESSENTRY32W* entry, bool first)
{
    auto snapshot = platform::LookupObjectAs<platform::SnapshotObject>(handle);
    if (!snapshot)
        return FALSE;
    if (!entry || entry->dwSize < sizeof(PROCESSENTRY32W)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (first)
        snapshot->next = 0;
    if (snapshot->next >= snapshot->entries.size()) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    const platform::SnapshotObject::Entry& found = snapshot->entries[snapshot->next++];
    const DWORD size = entry->dwSize;
    *entry = {};
    entry->dwSize = size;
    entry->th32ProcessID = found.id;
    const std::size_t length = std::min<std::size_t>(found.name.size(), 259);
    std::copy_n(found.name.data(), length, entry->szExeFile);
    return TRUE;
}

} // namespace

BOOL Process32FirstW(HANDLE snapshot, PROCESSENTRY32W* entry)
{
    return NextProcessEntry(snapshot, entry, true);
}

BOOL Process32NextW(HANDLE snapshot, PROCESSENTRY32W* entry)
{
    return NextProcessEntry(snapshot, entry, false);
}

BOOL CloseToolhelp32Snapshot(HANDLE snapshot)
{
    if (!platform::LookupObjectAs<platform::SnapshotObject>(snapshot))
        return FALSE;
    return CloseHandle(snapshot);
}

HANDLE OpenProcess(DWORD, BOOL, DWORD processId)
{
    for (const auto& process : platform::RunningStarted()) {
        if (process->m_id.load() == processId)
            return platform::RegisterObject(process);
    }
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
}
