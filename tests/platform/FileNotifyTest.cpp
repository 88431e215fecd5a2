#include "platform/io/FileNotify.h"

#include "platform/base/Handle.h"
#include "platform/base/Text.h"
#include "platform/io/File.h"
#include "platform/os/Sync.h"

#include "tests/common/TempUnit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr DWORD kGenerousMs = 5000;

struct Change {
    DWORD action;
    std::string name;
    bool operator==(const Change&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Change& c)
{
    return out << "{" << c.action << ", " << c.name << "}";
}

class FileNotifyTest : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(unit.Host("HDD/Music")); }

    void Write(const std::string& relative, std::size_t bytes = 3)
    {
        std::ofstream(unit.Host(relative), std::ios::binary) << std::string(bytes, 'x');
    }

    // Reads records until count have arrived (or a generous time passed).
    std::vector<Change> Collect(HANDLE h, std::size_t count)
    {
        std::vector<Change> out;
        while (out.size() < count && WaitForSingleObject(h, kGenerousMs) == WAIT_OBJECT_0) {
            DWORD returned = 0, available = 0;
            EXPECT_TRUE(CeGetFileNotificationInfo(h, 0, nullptr, 0, &returned, &available));
            std::vector<BYTE> buffer(available + 4);
            EXPECT_TRUE(CeGetFileNotificationInfo(h, 0, buffer.data(), static_cast<DWORD>(buffer.size()), &returned,
                                                  &available));
            for (DWORD at = 0; at < returned;) {
                DWORD next, action, bytes;
                std::memcpy(&next, &buffer[at], 4);
                std::memcpy(&action, &buffer[at + 4], 4);
                std::memcpy(&bytes, &buffer[at + 8], 4);
                std::u16string name(bytes / 2, u'\0');
                std::memcpy(name.data(), &buffer[at + 12], bytes);
                out.push_back({action, platform::ToUtf8(name)});
                if (!next)
                    break;
                at += next;
            }
            FindNextChangeNotification(h);
        }
        return out;
    }

    TempUnit unit{"wren-notify"};
};

TEST_F(FileNotifyTest, ReportsAddedAndRemovedNamesOfTheKindAskedFor)
{
    HANDLE files = FindFirstChangeNotificationW(u"\\hdd\\music", FALSE,
                                                FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_CEGETINFO);
    HANDLE folders = FindFirstChangeNotificationW(u"\\HDD\\Music\\", FALSE,
                                                  FILE_NOTIFY_CHANGE_DIR_NAME | FILE_NOTIFY_CHANGE_CEGETINFO);
    ASSERT_NE(files, INVALID_HANDLE_VALUE);
    ASSERT_NE(folders, INVALID_HANDLE_VALUE);
    Write("HDD/Music/a.mp3");
    fs::create_directory(unit.Host("HDD/Music/Album"));
    fs::remove(unit.Host("HDD/Music/a.mp3"));
    fs::remove(unit.Host("HDD/Music/Album"));

    EXPECT_EQ(Collect(files, 2), (std::vector<Change>{{FILE_ACTION_ADDED, "a.mp3"}, {FILE_ACTION_REMOVED, "a.mp3"}}));
    EXPECT_EQ(Collect(folders, 2), (std::vector<Change>{{FILE_ACTION_ADDED, "Album"}, {FILE_ACTION_REMOVED, "Album"}}));
    // Everything read and re-armed: nothing signalled.
    EXPECT_EQ(WaitForSingleObject(files, 0), WAIT_TIMEOUT);
    EXPECT_TRUE(FindCloseChangeNotification(files));
    EXPECT_TRUE(FindCloseChangeNotification(folders));
    EXPECT_FALSE(FindNextChangeNotification(files));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(FileNotifyTest, SubtreeNamesAreRelativeAndNewFoldersAreWatched)
{
    HANDLE h = FindFirstChangeNotificationW(
        u"\\HDD", TRUE, FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME | FILE_NOTIFY_CHANGE_CEGETINFO);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    Write("HDD/Music/b.mp3");
    EXPECT_EQ(Collect(h, 1), (std::vector<Change>{{FILE_ACTION_ADDED, "Music\\b.mp3"}}));
    fs::create_directory(unit.Host("HDD/New"));
    EXPECT_EQ(Collect(h, 1), (std::vector<Change>{{FILE_ACTION_ADDED, "New"}}));
    Write("HDD/New/c.mp3");
    EXPECT_EQ(Collect(h, 1), (std::vector<Change>{{FILE_ACTION_ADDED, "New\\c.mp3"}}));
    fs::rename(unit.Host("HDD/New/c.mp3"), unit.Host("HDD/New/d.mp3"));
    EXPECT_EQ(Collect(h, 2),
              (std::vector<Change>{{FILE_ACTION_RENAMED_OLD_NAME, "New\\c.mp3"},
                                   {FILE_ACTION_RENAMED_NEW_NAME, "New\\d.mp3"}}));
    CloseHandle(h);
}

TEST_F(FileNotifyTest, WithoutRecordsTheHandleOnlySignalsUntilReArmed)
{
    HANDLE h = FindFirstChangeNotificationW(u"\\HDD\\Music", FALSE, FILE_NOTIFY_CHANGE_FILE_NAME);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    HANDLE stop = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    Write("HDD/Music/x.wav");
    const HANDLE both[2] = {stop, h};
    EXPECT_EQ(WaitForMultipleObjects(2, both, FALSE, kGenerousMs), WAIT_OBJECT_0 + 1);
    EXPECT_EQ(WaitForSingleObject(h, 0), WAIT_OBJECT_0); // a wait does not consume it
    DWORD returned = 1, available = 1;
    EXPECT_TRUE(CeGetFileNotificationInfo(h, 0, nullptr, 0, &returned, &available));
    EXPECT_EQ(available, 0u);
    EXPECT_TRUE(FindNextChangeNotification(h));
    EXPECT_EQ(WaitForSingleObject(h, 0), WAIT_TIMEOUT);
    SetEvent(stop);
    EXPECT_EQ(WaitForMultipleObjects(2, both, FALSE, 0), WAIT_OBJECT_0);
    CloseHandle(stop);
    CloseHandle(h);
}

TEST_F(FileNotifyTest, RefusesWhatIsNotAFolderOfTheUnit)
{
    Write("HDD/file.txt");
    struct Case {
        LPCWSTR path;
        DWORD filter;
        DWORD error;
    } cases[] = {
        {u"\\HDD\\Missing", FILE_NOTIFY_CHANGE_FILE_NAME, ERROR_PATH_NOT_FOUND},
        {u"\\HDD\\file.txt", FILE_NOTIFY_CHANGE_FILE_NAME, ERROR_DIRECTORY},
        {u"\\HDD\\..\\..", FILE_NOTIFY_CHANGE_FILE_NAME, ERROR_BAD_PATHNAME},
        {u"\\HDD", FILE_NOTIFY_CHANGE_LAST_WRITE, ERROR_INVALID_PARAMETER},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FindFirstChangeNotificationW(c.path, FALSE, c.filter), INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), c.error) << platform::ToUtf8(c.path);
    }
}

TEST_F(FileNotifyTest, SmallBufferTakesWholeRecordsOnly)
{
    HANDLE h = FindFirstChangeNotificationW(u"\\HDD\\Music", FALSE,
                                            FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_CEGETINFO);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    Write("HDD/Music/one.mp3");
    Write("HDD/Music/two.mp3");
    DWORD returned = 0, available = 0;
    // Both records (12 + 14 bytes of name, padded to 28) are waiting.
    for (int i = 0; i < 200 && available < 56; ++i) {
        WaitForSingleObject(h, kGenerousMs);
        CeGetFileNotificationInfo(h, 0, nullptr, 0, &returned, &available);
        if (available < 56)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_EQ(available, 56u);
    BYTE buffer[40];
    EXPECT_FALSE(CeGetFileNotificationInfo(h, 0, buffer, 20, &returned, &available));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_TRUE(CeGetFileNotificationInfo(h, 0, buffer, sizeof buffer, &returned, &available));
    EXPECT_EQ(returned, 28u);
    EXPECT_EQ(available, 28u);
    DWORD next = 1;
    std::memcpy(&next, buffer, 4);
    EXPECT_EQ(next, 0u);
    CloseHandle(h);
}

// ---- CopyFileExW ----

struct CopyProbe {
    std::vector<std::pair<LONGLONG, DWORD>> calls; // transferred, reason
    int cancelAfterChunks = -1;
    BOOL* flag = nullptr; // set instead of answering cancel
};

DWORD Record(LARGE_INTEGER, LARGE_INTEGER transferred, LARGE_INTEGER, LARGE_INTEGER, DWORD, DWORD reason, HANDLE,
             HANDLE, LPVOID data)
{
    auto* probe = static_cast<CopyProbe*>(data);
    probe->calls.emplace_back(transferred.QuadPart, reason);
    if (probe->cancelAfterChunks >= 0 && static_cast<int>(probe->calls.size()) > probe->cancelAfterChunks) {
        if (!probe->flag)
            return PROGRESS_CANCEL;
        *probe->flag = TRUE;
    }
    return PROGRESS_CONTINUE;
}

TEST_F(FileNotifyTest, CopyReportsProgressAndKeepsAttributes)
{
    Write("HDD/Music/big.bin", 200 * 1024);
    ASSERT_TRUE(SetFileAttributesW(u"\\HDD\\Music\\big.bin", FILE_ATTRIBUTE_HIDDEN));
    CopyProbe probe;
    ASSERT_TRUE(CopyFileExW(u"\\HDD\\Music\\big.bin", u"\\HDD\\copy.bin", Record, &probe, nullptr, 0));
    ASSERT_EQ(probe.calls.size(), 5u); // the stream switch, then four chunks of 64 KiB
    EXPECT_EQ(probe.calls.front(), (std::pair<LONGLONG, DWORD>{0, CALLBACK_STREAM_SWITCH}));
    EXPECT_EQ(probe.calls.back(), (std::pair<LONGLONG, DWORD>{200 * 1024, CALLBACK_CHUNK_FINISHED}));
    EXPECT_EQ(fs::file_size(unit.Host("HDD/copy.bin")), 200u * 1024);
    EXPECT_EQ(GetFileAttributesW(u"\\HDD\\copy.bin") & FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_HIDDEN);
    EXPECT_FALSE(
        CopyFileExW(u"\\HDD\\Music\\big.bin", u"\\HDD\\copy.bin", nullptr, nullptr, nullptr, COPY_FILE_FAIL_IF_EXISTS));
    EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
    EXPECT_FALSE(CopyFileExW(u"\\HDD\\Music\\big.bin", u"\\..\\x", nullptr, nullptr, nullptr, 0));
    EXPECT_EQ(GetLastError(), ERROR_BAD_PATHNAME);
}

TEST_F(FileNotifyTest, CancelledCopyLeavesNoTargetAndTheOldTargetWhole)
{
    Write("HDD/Music/big.bin", 300 * 1024);
    Write("HDD/old.bin", 7);
    HANDLE h
        = FindFirstChangeNotificationW(u"\\HDD", FALSE, FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_CEGETINFO);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    BOOL cancel = FALSE;
    struct Case {
        LPCWSTR target;
        bool byFlag;
    } cases[] = {{u"\\HDD\\new.bin", false}, {u"\\HDD\\new.bin", true}, {u"\\HDD\\old.bin", true}};
    for (const Case& c : cases) {
        cancel = FALSE;
        CopyProbe probe;
        probe.cancelAfterChunks = 2;
        probe.flag = c.byFlag ? &cancel : nullptr;
        EXPECT_FALSE(CopyFileExW(u"\\HDD\\Music\\big.bin", c.target, Record, &probe, &cancel, 0));
        EXPECT_EQ(GetLastError(), ERROR_REQUEST_ABORTED);
    }
    EXPECT_FALSE(fs::exists(unit.Host("HDD/new.bin")));
    EXPECT_EQ(fs::file_size(unit.Host("HDD/old.bin")), 7u);
    // Only whole files took a name: the listing and the watcher saw no other.
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(unit.Host("HDD")))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Music", "old.bin"}));
    cancel = FALSE;
    ASSERT_TRUE(CopyFileExW(u"\\HDD\\Music\\big.bin", u"\\HDD\\old.bin", nullptr, nullptr, &cancel, 0));
    EXPECT_EQ(fs::file_size(unit.Host("HDD/old.bin")), 300u * 1024);
    Write("HDD/marker");
    std::vector<Change> seen = Collect(h, 2);
    for (const Change& c : seen)
        EXPECT_TRUE(c.name == "old.bin" || c.name == "marker") << c;
    CloseHandle(h);
}

} // namespace
