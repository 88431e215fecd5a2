#include "Lib_cpp/core/Utility.h"

#include "platform/base/Error.h"
#include "platform/base/Text.h"
#include "platform/io/CodePage.h"
#include "platform/io/File.h"
#include "platform/os/Process.h"
#include "platform/os/Sync.h"
#include "platform/unit/Unit.h"

#include "tests/common/TempUnit.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>

namespace {

std::string Utf8(LPCWSTR text)
{
    return text ? platform::ToUtf8(text) : std::string("(null)");
}

std::string Utf8(const IxString& text)
{
    return platform::ToUtf8(text.Text());
}

// ---- Processes ----

// A simulated program that records its command line and ends with 7. Its
// record is shared with the program threads, which may outlive a test case.
class UtilityProcess : public testing::Test {
protected:
    static constexpr const WCHAR* kProgram = u"\\Windows\\UtilityTool.exe";

    struct Record {
        std::mutex lock;
        std::condition_variable ran;
        std::u16string commandLine;
        int runs = 0;
    };

    void SetUp() override
    {
        ASSERT_TRUE(m_unit.IsOpen());
        platform::RegisterProgram(kProgram, [record = m_record](const std::u16string& commandLine) -> DWORD {
            std::lock_guard<std::mutex> guard(record->lock);
            record->commandLine = commandLine;
            ++record->runs;
            record->ran.notify_all();
            return 7;
        });
    }
    void TearDown() override { platform::UnregisterProgram(kProgram); }

    std::u16string CommandLine()
    {
        std::lock_guard<std::mutex> guard(m_record->lock);
        return m_record->commandLine;
    }
    // Waits (a bounded real time) until the program has run n times.
    int WaitForRuns(int n)
    {
        std::unique_lock<std::mutex> guard(m_record->lock);
        m_record->ran.wait_for(guard, std::chrono::seconds(5), [&] { return m_record->runs >= n; });
        return m_record->runs;
    }

    TempUnit m_unit;
    std::shared_ptr<Record> m_record = std::make_shared<Record>();
};

TEST_F(UtilityProcess, LaunchHandsOverTheHandles)
{
    HANDLE process = nullptr;
    HANDLE thread = nullptr;
    ASSERT_TRUE(IxLaunchProcess(kProgram, u"-mode 3", nullptr, &process, &thread));
    ASSERT_NE(process, nullptr);
    ASSERT_NE(thread, nullptr);
    ASSERT_EQ(WaitForSingleObject(process, 5000), WAIT_OBJECT_0);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(process, &code));
    EXPECT_EQ(code, 7u);
    EXPECT_EQ(CommandLine(), u"-mode 3");
    EXPECT_TRUE(CloseHandle(process));
    EXPECT_TRUE(CloseHandle(thread));
}

TEST_F(UtilityProcess, LaunchClosesHandlesNobodyTakes)
{
    std::size_t before = platform::OpenHandleCount();
    ASSERT_TRUE(IxLaunchProcess(kProgram, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(platform::OpenHandleCount(), before);
    ASSERT_TRUE(IxShellExecute(kProgram, u"x", TRUE));
    EXPECT_EQ(platform::OpenHandleCount(), before);
    EXPECT_EQ(WaitForRuns(2), 2);
}

TEST_F(UtilityProcess, LaunchFailures)
{
    // 259 characters fit the buffer; 260 would be cut, so they are refused.
    std::u16string longest(kIxCommandLineChars - 1, u'a');
    HANDLE process = nullptr;
    ASSERT_TRUE(IxLaunchProcess(kProgram, longest.c_str(), nullptr, &process, nullptr));
    ASSERT_EQ(WaitForSingleObject(process, 5000), WAIT_OBJECT_0);
    CloseHandle(process);
    EXPECT_EQ(CommandLine(), longest);

    std::u16string tooLong(kIxCommandLineChars, u'a');
    EXPECT_FALSE(IxLaunchProcess(kProgram, tooLong.c_str(), nullptr, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(WaitForRuns(1), 1);

    process = reinterpret_cast<HANDLE>(1);
    EXPECT_FALSE(IxLaunchProcess(u"\\Windows\\NoSuchTool.exe", u"", nullptr, &process, nullptr));
    EXPECT_EQ(process, reinterpret_cast<HANDLE>(1)); // nothing handed out
    EXPECT_FALSE(IxShellExecute(u"\\Windows\\NoSuchTool.exe", nullptr, FALSE));
}

// ---- Text ----

TEST(UtilityText, MultiByteToString)
{
    struct Case {
        const char* what;
        const char* bytes;
        int length;
        UINT codePage;
        std::u16string expected;
    };
    const Case cases[] = {
        {"UTF-8, terminated", "h\xC3\xA9llo", -1, CP_UTF8, u"h\u00E9llo"},
        {"UTF-8, counted", "abcdef", 3, CP_UTF8, u"abc"},
        {"code page 949", "\xC7\xD1\xB1\xDB", -1, CP_ACP, u"\uD55C\uAE00"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        IxString s;
        EXPECT_TRUE(IxMultiByteToString(c.bytes, c.length, s, c.codePage));
        EXPECT_EQ(std::u16string(s.Text()), c.expected);
        EXPECT_EQ(s.Length(), static_cast<int>(c.expected.size()));
    }
    IxString kept(u"kept");
    EXPECT_FALSE(IxMultiByteToString("abc", 3, kept, 12345)); // unknown code page
    EXPECT_EQ(std::u16string(kept.Text()), u"kept");
}

TEST(UtilityText, CompareNoCaseStopsAtTheLengthOrTheEnd)
{
    struct Case {
        const char16_t* a;
        const char16_t* b;
        int length;
        int sign;
    };
    const Case cases[] = {
        {u"\\Storage Card\\Map", u"\\STORAGE CARD", 13, 0}, // a prefix, without case
        {u"abc", u"ABD", 2, 0},
        {u"abc", u"ABD", 3, -1},
        {u"ab", u"abc", 3, -1}, // the shorter text ends first
        {u"abc", u"ab", 3, 1},
        {u"ab", u"AB", 10, 0},                      // both end within the length
        {u"\u00C9t\u00E9", u"\u00E9T\u00C9", 3, 0}, // Latin-1 letters fold too
        {u"x", u"y", 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(&c - cases));
        int r = IxCompareNoCase(c.a, c.b, c.length);
        EXPECT_EQ((r > 0) - (r < 0), c.sign);
        EXPECT_EQ(IxStartsWithNoCase(c.a, c.b, c.length), c.sign == 0);
    }
}

// ---- Paths ----

TEST(UtilityPath, PointerHelpers)
{
    struct Case {
        LPCWSTR path;
        LPCWSTR extension; // null: none
        LPCWSTR fileName;
        LPCWSTR afterFirst; // what IxSkipFirstComponent leaves
        bool single;
    };
    const Case cases[] = {
        {u"\\HDD\\music\\song.mp3", u"mp3", u"song.mp3", u"\\music\\song.mp3", false},
        {u"\\HDD\\a.b\\file", nullptr, u"file", u"\\a.b\\file", false},
        {u"\\HDD\\a.b\\x.tar.gz", u"gz", u"x.tar.gz", u"\\a.b\\x.tar.gz", false},
        {u"\\HDD\\dir\\", nullptr, u"", u"\\dir\\", false},
        {u"\\HDD\\", nullptr, u"", u"\\", true},
        {u"\\HDD", nullptr, u"HDD", u"", true},
        {u"name.", u"", u"name.", u"", true},
        {u"plain", nullptr, u"plain", u"", true},
        {u"", nullptr, u"", u"", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Utf8(c.path));
        EXPECT_EQ(Utf8(IxGetExtension(c.path)), Utf8(c.extension));
        EXPECT_EQ(Utf8(IxFileName(c.path)), Utf8(c.fileName));
        EXPECT_EQ(Utf8(IxSkipFirstComponent(c.path)), Utf8(c.afterFirst));
        EXPECT_EQ(IxIsSingleComponent(c.path) != FALSE, c.single);
    }
}

TEST(UtilityPath, StringHelpers)
{
    struct Case {
        LPCWSTR path;
        LPCWSTR title;
        LPCWSTR lastFolder;
        bool wentOn;
        LPCWSTR folderPart;
        LPCWSTR parent; // null: no parent
        LPCWSTR first;
        LPCWSTR firstWithSeparator;
    };
    const Case cases[] = {
        {u"\\HDD\\music\\song.mp3", u"song", u"song.mp3", false, u"\\HDD\\music\\", u"\\HDD\\music\\", u"\\HDD",
         u"\\HDD\\"},
        {u"\\HDD\\a.b\\file", u"file", u"file", false, u"\\HDD\\a.b\\", u"\\HDD\\a.b\\", u"\\HDD", u"\\HDD\\"},
        {u"\\HDD\\A\\B\\", u"", u"B", true, u"\\HDD\\A\\B\\", u"\\HDD\\A\\", u"\\HDD", u"\\HDD\\"},
        {u"\\HDD", u"HDD", u"HDD", false, u"\\", u"\\", u"\\HDD", u"\\HDD\\"},
        {u"\\", u"", u"", true, u"\\", nullptr, u"\\", u"\\\\"},
        {u"a.txt", u"a", u"a.txt", false, u"", nullptr, u"a.txt", u"a.txt\\"},
        {u"NAND\\x", u"x", u"x", false, u"NAND\\", u"NAND\\", u"NAND", u"NAND\\"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Utf8(c.path));
        IxString s;
        EXPECT_TRUE(IxGetFileTitle(c.path, s));
        EXPECT_EQ(Utf8(s), Utf8(c.title));
        EXPECT_EQ(IxGetLastFolder(c.path, s) != FALSE, c.wentOn);
        EXPECT_EQ(Utf8(s), Utf8(c.lastFolder));
        EXPECT_TRUE(IxGetFolderPart(c.path, s));
        EXPECT_EQ(Utf8(s), Utf8(c.folderPart));
        EXPECT_EQ(IxGetParentFolder(c.path, s) != FALSE, c.parent != nullptr);
        EXPECT_EQ(Utf8(s), c.parent ? Utf8(c.parent) : "");
        EXPECT_TRUE(IxFirstComponent(c.path, s, FALSE));
        EXPECT_EQ(Utf8(s), Utf8(c.first));
        EXPECT_TRUE(IxFirstComponent(c.path, s, TRUE));
        EXPECT_EQ(Utf8(s), Utf8(c.firstWithSeparator));

        WCHAR buffer[64];
        EXPECT_TRUE(IxCopyFirstComponent(c.path, buffer, 64, TRUE));
        EXPECT_EQ(Utf8(buffer), Utf8(c.firstWithSeparator));
        LPCWSTR name = IxSplitPath(c.path, buffer, 64);
        EXPECT_EQ(Utf8(buffer), Utf8(c.folderPart));
        LPCWSTR expected = IxFileName(c.path);
        EXPECT_EQ(name, *expected ? expected : nullptr);
    }
}

TEST(UtilityPath, BuffersNeverOverflow)
{
    // A canary past the stated capacity stays untouched.
    WCHAR buffer[8];
    for (WCHAR& ch : buffer)
        ch = u'#';
    SetLastError(0);
    EXPECT_FALSE(IxCopyFirstComponent(u"\\HDD\\x", buffer, 5, TRUE)); // "\HDD\" needs 6
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(buffer[0], 0);
    EXPECT_EQ(buffer[5], u'#');
    EXPECT_TRUE(IxCopyFirstComponent(u"\\HDD\\x", buffer, 6, TRUE));
    EXPECT_EQ(Utf8(buffer), "\\HDD\\");

    for (WCHAR& ch : buffer)
        ch = u'#';
    EXPECT_EQ(IxSplitPath(u"\\HDD\\abc\\f", buffer, 4), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(buffer[0], 0);
    EXPECT_EQ(buffer[4], u'#');
    buffer[0] = u'#';
    EXPECT_EQ(IxSplitPath(u"\\HDD\\f", buffer, 0), nullptr);
    EXPECT_EQ(buffer[0], u'#'); // capacity 0: nothing written
}

// ---- Geometry ----

TEST(UtilityGeometry, CompassAngles)
{
    struct Case {
        int x1, y1, degrees;
    };
    const Case cases[] = {
        {100, 50, 0}, {150, 100, 90}, {100, 150, 180}, {50, 100, 270}, {150, 50, 45}, {50, 50, 315}, {100, 100, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "to (" << c.x1 << ", " << c.y1 << ")");
        EXPECT_EQ(IxAngleDegrees(100, 100, c.x1, c.y1), c.degrees);
    }
    EXPECT_DOUBLE_EQ(IxAngle(3, 3, 3, 3), -1.0);
    EXPECT_NEAR(IxAngle(100, 100, 100, 150), M_PI, 1e-9);
    // Straight down must not give asin of just over 1 (NaN).
    EXPECT_FALSE(std::isnan(IxAngle(7, 3, 7, 100003)));
}

TEST(UtilityGeometry, AngleDeltaTakesTheShorterTurn)
{
    struct Case {
        int a, b, delta;
    };
    const Case cases[] = {
        {350, 10, 20}, {10, 350, -20}, {90, 90, 0},     {0, 180, -180}, {180, 0, 180},
        {10, 100, 90}, {100, 10, -90}, {270, 200, -70}, {200, 270, 70},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IxAngleDelta(c.a, c.b), c.delta) << c.a << " -> " << c.b;
}

TEST(UtilityGeometry, FitAspect)
{
    struct Case {
        int w, h, boxW, boxH, outW, outH;
    };
    const Case cases[] = {
        {800, 600, 400, 400, 400, 300},                               // scaled down
        {300, 200, 400, 400, 300, 200},                               // fits: unchanged
        {600, 800, 400, 400, 300, 400},                               // taller than wide
        {800, 600, -400, -400, 400, 300},                             // the box's absolute sides
        {300, 200, -400, 400, 300, 200},  {0, 600, 400, 400, 0, 600}, // zero size: unchanged
        {-80, 60, 400, 400, -80, 60},                                 // negative size: unchanged
        {800, 600, 0, 400, 800, 600},                                 // zero box side: unchanged
        {1000, 333, 100, 100, 100, 33},                               // rounded to nearest
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << " in " << c.boxW << "x" << c.boxH);
        int w = c.boxW, h = c.boxH;
        IxFitAspect(c.w, c.h, w, h);
        EXPECT_EQ(w, c.outW);
        EXPECT_EQ(h, c.outH);
    }
}

// ---- Random ----

TEST(UtilityRandom, StaysInRange)
{
    IxSeedRandom();
    IxSeedRandom(); // later calls do not reseed
    for (int i = 0; i < 200; ++i) {
        int r = IxRandom(-3, 4);
        EXPECT_GE(r, -3);
        EXPECT_LE(r, 4);
    }
    EXPECT_EQ(IxRandom(7, 7), 7);
    EXPECT_EQ(IxRandom(9, 2), 9); // empty range: low, no division by zero
    int wide = IxRandom(INT32_MIN, INT32_MAX);
    (void)wide; // the whole int range does not overflow
}

// ---- Calendar ----

TEST(UtilityCalendar, DaysInMonth)
{
    struct Case {
        int year, month, days;
    };
    const Case cases[] = {
        {2000, 2, 29}, {1900, 2, 28}, {2024, 2, 29}, {2023, 2, 28},  {2023, 1, 31},
        {2023, 4, 30}, {2023, 6, 30}, {2023, 9, 30}, {2023, 11, 30}, {2023, 12, 31},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IxDaysInMonth(c.year, c.month), c.days) << c.year << "-" << c.month;
}

TEST(UtilityCalendar, AddMillisecondsCarries)
{
    struct Case {
        const char* what;
        SYSTEMTIME from;
        LONG ms;
        SYSTEMTIME to;
    };
    // {year, month, day of week, day, hour, minute, second, ms}
    const Case cases[] = {
        {"year carry", {2023, 12, 0, 31, 23, 59, 59, 500}, 1000, {2024, 1, 0, 1, 0, 0, 0, 500}},
        {"no carry", {2023, 5, 3, 10, 8, 0, 0, 0}, 999, {2023, 5, 3, 10, 8, 0, 0, 999}},
        {"leap day", {2024, 2, 3, 28, 23, 59, 59, 999}, 1, {2024, 2, 3, 29, 0, 0, 0, 0}},
        {"end of February", {2023, 2, 2, 28, 23, 59, 59, 999}, 1, {2023, 3, 2, 1, 0, 0, 0, 0}},
        {"several days", {2023, 1, 0, 30, 12, 0, 0, 0}, 3 * 86400000, {2023, 2, 0, 2, 12, 0, 0, 0}},
        {"back over a year", {2024, 1, 1, 1, 0, 0, 0, 0}, -1, {2023, 12, 1, 31, 23, 59, 59, 999}},
        {"back into February", {2024, 3, 5, 1, 0, 0, 0, 500}, -86400000, {2024, 2, 5, 29, 0, 0, 0, 500}},
        {"largest step", {2023, 1, 0, 1, 0, 0, 0, 0}, INT32_MAX, {2023, 1, 0, 25, 20, 31, 23, 647}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SYSTEMTIME t = c.from;
        IxAddMilliseconds(t, c.ms);
        EXPECT_EQ(t.wYear, c.to.wYear);
        EXPECT_EQ(t.wMonth, c.to.wMonth);
        EXPECT_EQ(t.wDayOfWeek, c.to.wDayOfWeek);
        EXPECT_EQ(t.wDay, c.to.wDay);
        EXPECT_EQ(t.wHour, c.to.wHour);
        EXPECT_EQ(t.wMinute, c.to.wMinute);
        EXPECT_EQ(t.wSecond, c.to.wSecond);
        EXPECT_EQ(t.wMilliseconds, c.to.wMilliseconds);
    }
}

// ---- Files ----

class UtilityFiles : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_unit.IsOpen());
        ASSERT_TRUE(CreateDirectoryW(u"\\HDD", nullptr));
    }

    TempUnit m_unit;
    const std::string& m_root = m_unit.Root();
};

TEST_F(UtilityFiles, CreateDirectoryPathMakesEachFolder)
{
    EXPECT_TRUE(IxCreateDirectoryPath(u"\\HDD\\A\\B\\"));
    EXPECT_TRUE(std::filesystem::is_directory(m_root + "/HDD/A"));
    EXPECT_TRUE(std::filesystem::is_directory(m_root + "/HDD/A/B"));
    // Existing folders count as made.
    EXPECT_TRUE(IxCreateDirectoryPath(u"\\HDD\\A\\B\\C\\"));
    EXPECT_TRUE(std::filesystem::is_directory(m_root + "/HDD/A/B/C"));
    // The last component without '\' names a file and is not created.
    EXPECT_TRUE(IxCreateDirectoryPath(u"\\HDD\\D\\file.txt"));
    EXPECT_TRUE(std::filesystem::is_directory(m_root + "/HDD/D"));
    EXPECT_FALSE(std::filesystem::exists(m_root + "/HDD/D/file.txt"));
}

TEST_F(UtilityFiles, CreateDirectoryPathFailsOnOtherErrors)
{
    // The volume folder is taken as existing; without it nothing can be made.
    EXPECT_FALSE(IxCreateDirectoryPath(u"\\NoSuchVolume\\A\\"));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_FALSE(std::filesystem::exists(m_root + "/NoSuchVolume"));
}

TEST_F(UtilityFiles, SizeAndTime)
{
    HANDLE file
        = CreateFileW(u"\\HDD\\data.bin", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    const char bytes[] = "0123456789";
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file, bytes, 10, &written, nullptr));
    FILETIME created = {};
    ASSERT_TRUE(GetFileTime(file, &created, nullptr, nullptr));
    CloseHandle(file);

    EXPECT_TRUE(IxFileExists(u"\\HDD\\data.bin"));
    EXPECT_FALSE(IxFileExists(u"\\HDD\\missing.bin"));
    IxFileSizeTime st = IxGetFileSizeTime(u"\\HDD\\data.bin");
    EXPECT_EQ(st.dwSize, 10u);
    EXPECT_EQ(st.dwTime, created.dwLowDateTime);
    EXPECT_TRUE(IxFileMatches(u"\\HDD\\data.bin", 10, created.dwLowDateTime));
    EXPECT_FALSE(IxFileMatches(u"\\HDD\\data.bin", 11, created.dwLowDateTime));
    EXPECT_EQ(IxGetFileSize64(u"\\HDD\\data.bin"), 10u);

    IxFileSizeTime absent = IxGetFileSizeTime(u"\\HDD\\missing.bin");
    EXPECT_EQ(absent.dwSize, 0u);
    EXPECT_EQ(absent.dwTime, 0u);
    EXPECT_EQ(IxGetFileSize64(u"\\HDD\\missing.bin"), 0u);
}

} // namespace
