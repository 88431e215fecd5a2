#include "platform/os/Process.h"

#include "platform/base/Error.h"
#include "platform/base/Text.h"
#include "platform/io/Io.h"
#include "platform/os/Sync.h"
#include "tests/common/TempUnit.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::pair<DWORD, std::u16string>> Snapshot()
{
    std::vector<std::pair<DWORD, std::u16string>> list;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    EXPECT_NE(INVALID_HANDLE_VALUE, snapshot);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
        list.emplace_back(entry.th32ProcessID, entry.szExeFile);
    EXPECT_EQ(ERROR_NO_MORE_FILES, GetLastError());
    EXPECT_TRUE(CloseToolhelp32Snapshot(snapshot));
    return list;
}

TEST(ProcessSnapshot, ListsTheRunningProgramsThisProcessStarted)
{
    TempUnit unit;
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    platform::RegisterProgram(u"\\Storage Card\\Nav\\Lumo_DMU.exe", [release](const std::u16string&) -> DWORD {
        WaitForSingleObject(release, 30000);
        return 3;
    });
    EXPECT_TRUE(Snapshot().empty());

    PROCESS_INFORMATION info{};
    ASSERT_TRUE(CreateProcessW(u"\\storage card\\nav\\LUMO_DMU.EXE", nullptr, nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, nullptr, &info));
    const auto list = Snapshot();
    ASSERT_EQ(1u, list.size());
    EXPECT_EQ(info.dwProcessId, list[0].first);
    EXPECT_EQ(u"LUMO_DMU.EXE", list[0].second);

    HANDLE opened = OpenProcess(PROCESS_TERMINATE, FALSE, info.dwProcessId);
    ASSERT_NE(nullptr, opened);
    SetEvent(release);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(opened, 30000));
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(opened, &code));
    EXPECT_EQ(3u, code);
    EXPECT_TRUE(Snapshot().empty());
    EXPECT_EQ(nullptr, OpenProcess(PROCESS_TERMINATE, FALSE, info.dwProcessId));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, GetLastError());

    EXPECT_EQ(INVALID_HANDLE_VALUE, CreateToolhelp32Snapshot(0, 0));
    PROCESSENTRY32W entry{};
    EXPECT_FALSE(Process32FirstW(opened, &entry)); // not a snapshot
    for (HANDLE h : {opened, info.hProcess, info.hThread, release})
        CloseHandle(h);
    platform::UnregisterProgram(u"\\Storage Card\\Nav\\Lumo_DMU.exe");
}

} // namespace
