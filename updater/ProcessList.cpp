#include "updater/ProcessList.h"

#include "platform/base/Error.h"
#include "platform/base/Handle.h"
#include "platform/base/Text.h"
#include "platform/os/Process.h"

#include <vector>

namespace {

std::vector<DWORD> IdsOf(LPCWSTR name)
{
    std::vector<DWORD> ids;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return ids;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        if (lstrcmpiW(entry.szExeFile, name) == 0)
            ids.push_back(entry.th32ProcessID);
    }
    CloseToolhelp32Snapshot(snapshot);
    return ids;
}

} // namespace

bool CProcessList::FindProcess(LPCWSTR name)
{
    return !IdsOf(name).empty();
}

bool CProcessList::KillProcess(LPCWSTR name)
{
    bool result = false;
    SetLastError(ERROR_FILE_NOT_FOUND);
    for (DWORD id : IdsOf(name)) {
        HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, id);
        if (!process) {
            result = false;
            continue;
        }
        DWORD exitCode = 0;
        GetExitCodeProcess(process, &exitCode);
        result = TerminateProcess(process, exitCode) != FALSE;
        const DWORD error = GetLastError();
        CloseHandle(process);
        SetLastError(error);
    }
    return result;
}
