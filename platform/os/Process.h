// Processes: starting the unit's programs by their unit path.
//
// A program path ("\Windows\WrenUpdater.exe", "\Storage Card\...\Lumo_DMU.exe")
// is matched ignoring case against two kinds of program, in this order:
//  - simulated programs, registered in this process by RegisterProgram: the
//    program's main function runs on a thread of its own (a thread of the
//    platform, CreateThread) with the command line; the process ends with
//    the function's result as exit code;
//  - host programs mapped by the unit's configuration, <root>/config/
//    programs.conf, one "<unit path> = <host executable>" per line (lines
//    starting with '#' and blank lines are skipped; a relative host path is
//    taken from the unit root). The executable is started with posix_spawn
//    in a process group of its own, with the environment of this process
//    and WREN_ROOT set to the unit root, no other open files than standard
//    input, output and error, and the arguments split from the command line
//    as the unit does (separated by blanks, double quotes group and are
//    dropped, backslashes are plain characters).
// A path that is neither fails with ERROR_FILE_NOT_FOUND and gives no
// handles.
//
// A process handle is signalled when the program ends; GetExitCodeProcess
// tells STILL_ACTIVE until then, its exit code after. The thread handle of a
// simulated program is the thread that runs its main function; that of a
// host program is a waitable object signalled with the process (not a
// thread: the thread functions refuse it). The caller closes both.
//
// Simulated programs are never killed: TerminateProcess refuses them
// (ERROR_NOT_SUPPORTED), they end by returning from main. A host program is
// asked to end with SIGTERM and killed with SIGKILL when it has not ended
// after a grace time (real time, 3 s by default); its exit code is then
// the one TerminateProcess was given.
//
// Process ids: a host program has its host process id, a simulated one an
// id above 0x40000000, above every host id. GetCurrentProcessId is the id
// of this host process, the unit, for all code that runs in it.
#pragma once

#include "platform/base/Handle.h"
#include "platform/base/Types.h"
#include "platform/io/Registry.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

struct STARTUPINFOW {
    DWORD cb;
    LPWSTR lpReserved;
    LPWSTR lpDesktop;
    LPWSTR lpTitle;
    DWORD dwX;
    DWORD dwY;
    DWORD dwXSize;
    DWORD dwYSize;
    DWORD dwXCountChars;
    DWORD dwYCountChars;
    DWORD dwFillAttribute;
    DWORD dwFlags;
    WORD wShowWindow;
    WORD cbReserved2;
    BYTE* lpReserved2;
    HANDLE hStdInput;
    HANDLE hStdOutput;
    HANDLE hStdError;
};

struct PROCESS_INFORMATION {
    HANDLE hProcess;
    HANDLE hThread;
    DWORD dwProcessId;
    DWORD dwThreadId;
};

// The request of ShellExecuteEx. The unit's callers give cbSize 60 (its
// size on the unit); sizeof(SHELLEXECUTEINFO) is accepted as well.
struct SHELLEXECUTEINFO {
    DWORD cbSize;
    ULONG fMask;
    HWND hwnd;
    LPCWSTR lpVerb;
    LPCWSTR lpFile;
    LPCWSTR lpParameters;
    LPCWSTR lpDirectory;
    int nShow;
    HINSTANCE hInstApp;
    LPVOID lpIDList;
    LPCWSTR lpClass;
    HKEY hkeyClass;
    DWORD dwHotKey;
    HANDLE hIcon;
    HANDLE hProcess;
};

inline constexpr ULONG SEE_MASK_NOCLOSEPROCESS = 0x00000040;
inline constexpr ULONG SEE_MASK_FLAG_NO_UI = 0x00000400;
inline constexpr DWORD kShellExecuteInfoSizeOnUnit = 60;

// hInstApp after ShellExecuteEx: above 32 on success, else one of these.
inline constexpr INT_PTR SE_ERR_FNF = 2;
inline constexpr INT_PTR SE_ERR_ACCESSDENIED = 5;
inline constexpr INT_PTR SE_ERR_OOM = 8;
inline constexpr INT_PTR SE_ERR_NOASSOC = 31;

inline constexpr DWORD ERROR_BAD_EXE_FORMAT = 193;
inline constexpr DWORD ERROR_NO_ASSOCIATION = 1155;

// Starts the program application with commandLine (its arguments; null is
// none). With application null, the first word of commandLine names the
// program and the rest are its arguments. The security, inheritance,
// environment, folder and start information arguments are ignored; of the
// flags only CREATE_SUSPENDED is honoured, for simulated programs
// (ResumeThread on hThread starts them). On success *processInfo holds two
// new handles and the ids.
BOOL CreateProcessW(LPCWSTR application, LPWSTR commandLine, SECURITY_ATTRIBUTES* processSecurity,
                    SECURITY_ATTRIBUTES* threadSecurity, BOOL inheritHandles, DWORD flags, LPVOID environment,
                    LPCWSTR currentDirectory, STARTUPINFOW* startupInfo, PROCESS_INFORMATION* processInfo);

// Starts lpFile (a program path, optionally in double quotes) with
// lpParameters. The verb must be null, empty or "open" (else
// ERROR_NO_ASSOCIATION). With SEE_MASK_NOCLOSEPROCESS, hProcess receives
// the process handle for the caller to close; otherwise it is null. The
// window, show command, folder and the other fields are ignored.
BOOL ShellExecuteEx(SHELLEXECUTEINFO* info);

BOOL GetExitCodeProcess(HANDLE process, DWORD* exitCode);
// Host programs only; see above. FALSE with ERROR_ACCESS_DENIED once the
// process has ended.
BOOL TerminateProcess(HANDLE process, UINT exitCode);
DWORD GetCurrentProcessId();

// Snapshots of the running programs: the programs this process started
// (simulated or host) that have not ended, in the order they were started.
// The unit's own process is not listed, nor anything that the unit did not
// start. szExeFile is the last component of the program's unit path
// ("Lumo_DMU.exe"); only dwSize, th32ProcessID and szExeFile are filled.
inline constexpr DWORD TH32CS_SNAPPROCESS = 0x00000002;
struct PROCESSENTRY32W {
    DWORD dwSize;
    DWORD cntUsage;
    DWORD th32ProcessID;
    DWORD th32DefaultHeapID;
    DWORD th32ModuleID;
    DWORD cntThreads;
    DWORD th32ParentProcessID;
    LONG pcPriClassBase;
    DWORD dwFlags;
    WCHAR szExeFile[260];
};
// flags must hold TH32CS_SNAPPROCESS (else ERROR_INVALID_PARAMETER); the
// process id is ignored. Closed with CloseToolhelp32Snapshot or CloseHandle.
HANDLE CreateToolhelp32Snapshot(DWORD flags, DWORD processId);
// ERROR_NO_MORE_FILES after the last entry.
BOOL Process32FirstW(HANDLE snapshot, PROCESSENTRY32W* entry);
BOOL Process32NextW(HANDLE snapshot, PROCESSENTRY32W* entry);
BOOL CloseToolhelp32Snapshot(HANDLE snapshot);

inline constexpr DWORD PROCESS_TERMINATE = 0x0001;
inline constexpr DWORD PROCESS_ALL_ACCESS = 0x001F0FFF;
// A new handle to a running program this process started;
// ERROR_INVALID_PARAMETER for any other id. Access is not checked.
HANDLE OpenProcess(DWORD access, BOOL inherit, DWORD processId);

namespace platform {

using ProgramMain = std::function<DWORD(const std::u16string& commandLine)>;

// Whether a simulated program starts only while a file stands at its unit
// path: a program that lives on a card is there only with the card's files.
enum class ProgramFile { NotNeeded, Needed };

// Registers a simulated program under its unit path, replacing the one
// registered there before. Running instances are not affected by later
// changes.
void RegisterProgram(LPCWSTR unitPath, ProgramMain main, ProgramFile file = ProgramFile::NotNeeded);
void UnregisterProgram(LPCWSTR unitPath);

// Host path of the program map (<root>/config/programs.conf).
std::string ProgramMapPath();

// Real time between the SIGTERM and the SIGKILL of TerminateProcess.
void SetTerminateGraceMs(DWORD ms);

// The arguments of a command line, as host programs receive them.
std::vector<std::u16string> SplitCommandLine(std::u16string_view commandLine);

} // namespace platform
