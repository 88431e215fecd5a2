#include "platform/io/File.h"

#include "platform/base/Error.h"
#include "platform/base/Handle.h"
#include "platform/base/Text.h"
#include "platform/io/Io.h"
#include "platform/unit/Unit.h"

#include "tests/common/TempUnit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Each test works on its own unit root with the usual top-level folders.
class FileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* folder : {"NAND", "HDD", "Storage Card"})
            fs::create_directory(Host(folder));
    }

    std::string Host(const std::string& relative) const { return unit.Host(relative); }

    TempUnit unit{"wren-file"};
    const std::string& root = unit.Root();
};

// An open handle that closes itself.
struct File {
    HANDLE handle;
    explicit File(LPCWSTR path, DWORD access = GENERIC_READ | GENERIC_WRITE, DWORD share = 0,
                  DWORD disposition = OPEN_ALWAYS, DWORD attributes = FILE_ATTRIBUTE_NORMAL)
        : handle(CreateFileW(path, access, share, nullptr, disposition, attributes, nullptr))
    {
    }
    ~File()
    {
        if (Ok())
            CloseHandle(handle);
    }
    bool Ok() const { return handle != INVALID_HANDLE_VALUE; }
};

bool WriteText(LPCWSTR path, const std::string& text, DWORD attributes = FILE_ATTRIBUTE_NORMAL)
{
    File file(path, GENERIC_WRITE, 0, CREATE_ALWAYS, attributes);
    DWORD written = 0;
    return file.Ok() && WriteFile(file.handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr)
        && written == text.size();
}

std::optional<std::string> ReadText(LPCWSTR path)
{
    File file(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    if (!file.Ok())
        return std::nullopt;
    std::string text(GetFileSize(file.handle, nullptr), '\0');
    DWORD read = 0;
    if (!ReadFile(file.handle, text.data(), static_cast<DWORD>(text.size()), &read, nullptr) || read != text.size())
        return std::nullopt;
    return text;
}

std::string HostText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Names found by a pattern, in the order given; error code of the first call
// when nothing is found.
std::vector<std::string> List(LPCWSTR pattern, DWORD* error = nullptr)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(pattern, &data);
    if (find == INVALID_HANDLE_VALUE) {
        if (error)
            *error = GetLastError();
        return names;
    }
    do
        names.push_back(platform::ToUtf8(data.cFileName));
    while (FindNextFileW(find, &data));
    EXPECT_EQ(ERROR_NO_MORE_FILES, GetLastError());
    EXPECT_TRUE(FindClose(find));
    return names;
}

std::optional<WIN32_FIND_DATAW> FindOne(LPCWSTR path)
{
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(path, &data);
    if (find == INVALID_HANDLE_VALUE)
        return std::nullopt;
    FindClose(find);
    return data;
}

TEST_F(FileTest, LookupIgnoresCaseAndKeepsTheCreatedCase)
{
    ASSERT_TRUE(CreateDirectoryW(u"\\NAND\\DATA", nullptr));
    ASSERT_TRUE(WriteText(u"\\NAND\\DATA\\Wren_Main.reg", "first"));
    EXPECT_EQ("first", ReadText(u"\\nand\\data\\WREN_MAIN.REG"));
    EXPECT_EQ("first", ReadText(u"/NAND/DATA/wren_main.reg"));
    EXPECT_EQ("first", ReadText(u"nand\\Data\\Wren_Main.reg")); // no leading '\': from the root too

    // Writing through another case replaces the same file, under its name.
    ASSERT_TRUE(WriteText(u"\\NAND\\data\\wren_main.REG", "second"));
    EXPECT_EQ(std::vector<std::string>{"Wren_Main.reg"}, List(u"\\NAND\\DATA\\*"));
    EXPECT_EQ("second", HostText(Host("NAND/DATA/Wren_Main.reg")));

    ASSERT_TRUE(WriteText(u"\\NAND\\Ärger Ölfeld.txt", "latin"));
    EXPECT_EQ("latin", ReadText(u"\\nand\\äRGER öLFELD.TXT"));

    DWORD error = 0;
    const std::string host = platform::HostPath(u"\\nand\\data\\wren_main.reg", true, &error);
    EXPECT_EQ(Host("NAND/DATA/Wren_Main.reg"), host);
    EXPECT_EQ(u"\\NAND\\DATA\\Wren_Main.reg", platform::UnitPathOf(host));
    EXPECT_EQ(Host("NAND/DATA/New.bin"), platform::HostPath(u"\\nand\\DATA\\New.bin", false, &error));
    EXPECT_EQ("", platform::HostPath(u"\\nand\\DATA\\New.bin", true, &error));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, error);
    EXPECT_EQ(u"\\", platform::UnitPathOf(root));
    EXPECT_EQ(u"", platform::UnitPathOf("/etc/passwd"));
}

TEST_F(FileTest, PathsThatLeaveTheRootAreRefused)
{
    const fs::path outside = fs::temp_directory_path();
    fs::create_directory_symlink(outside, Host("NAND/tmp"));
    fs::create_symlink(Host("NAND/nothing"), Host("NAND/dangling"));
    fs::create_directory_symlink(Host("HDD"), Host("NAND/inside"));

    struct Case {
        const char16_t* path;
        DWORD error;
    };
    const Case cases[] = {
        {u"..\\escape.txt", ERROR_BAD_PATHNAME},
        {u"\\NAND\\..\\..\\escape.txt", ERROR_BAD_PATHNAME},
        {u"C:\\escape.txt", ERROR_BAD_PATHNAME},
        {u"\\NAND\\a:b", ERROR_BAD_PATHNAME},
        {u"\\NAND\\tmp\\wren-file-escape.txt", ERROR_ACCESS_DENIED},
        {u"\\NAND\\TMP", ERROR_ACCESS_DENIED},
        {u"\\NAND\\dangling", ERROR_ACCESS_DENIED},
        {u"\\NAND\\bad*name", ERROR_INVALID_NAME},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(platform::ToUtf8(c.path));
        File file(c.path, GENERIC_WRITE, 0, CREATE_ALWAYS);
        EXPECT_FALSE(file.Ok());
        EXPECT_EQ(c.error, GetLastError());
        DWORD error = 0;
        EXPECT_EQ("", platform::HostPath(c.path, false, &error));
        EXPECT_EQ(c.error, error);
    }
    EXPECT_FALSE(fs::exists(outside / "wren-file-escape.txt"));
    EXPECT_FALSE(fs::exists(Host("NAND/nothing")));
    EXPECT_FALSE(CreateDirectoryW(u"\\NAND\\tmp\\wren-file-escape", nullptr));
    WIN32_FIND_DATAW data;
    EXPECT_EQ(INVALID_HANDLE_VALUE, FindFirstFileW(u"\\NAND\\tmp\\*", &data));
    EXPECT_EQ(ERROR_ACCESS_DENIED, GetLastError());

    // Neither a writer nor a reader waits on a FIFO: it is no file.
    ASSERT_EQ(0, mkfifo(Host("NAND/pipe").c_str(), 0666));
    for (DWORD access : {GENERIC_READ, GENERIC_WRITE}) {
        EXPECT_FALSE(File(u"\\NAND\\pipe", access, 0, OPEN_EXISTING).Ok());
        EXPECT_EQ(ERROR_ACCESS_DENIED, GetLastError());
    }

    // A link that stays inside the root works; listings skip the other links
    // and whatever is not a file or a folder.
    ASSERT_TRUE(WriteText(u"\\NAND\\inside\\through.txt", "ok"));
    EXPECT_EQ("ok", HostText(Host("HDD/through.txt")));
    EXPECT_EQ(std::vector<std::string>{"inside"}, List(u"\\NAND\\*.*"));
}

// The root's own state (configuration, registry, lock) and anything else
// beside the unit's drives is out of reach of every route: by its path, in
// any case, with '/' separators, and through links inside a drive.
TEST_F(FileTest, ThePlatformsOwnStateIsOutOfReach)
{
    const char* stateFiles[] = {"config/programs.conf", "config/serial.conf", "registry/HKLM", "run/unit.lock"};
    for (const char* file : stateFiles) {
        fs::create_directories(fs::path(Host(file)).parent_path());
        std::ofstream(Host(file)) << "original";
    }
    fs::create_directory_symlink(root, Host("NAND/up"));
    fs::create_directory_symlink(Host("config"), Host("NAND/cfg"));
    ASSERT_TRUE(WriteText(u"\\NAND\\x.txt", "x"));

    const char16_t* paths[] = {
        u"\\config\\programs.conf",
        u"\\CONFIG\\Programs.conf",
        u"config\\serial.conf",
        u"/registry/HKLM",
        u"\\run\\unit.lock",
        u"\\NAND\\up\\config\\programs.conf",
        u"\\NAND\\cfg\\serial.conf",
        u"\\run",
        u"\\config",
        u"\\NAND\\up",
        u"\\evil.txt",
    };
    WIN32_FIND_DATAW data;
    for (const char16_t* path : paths) {
        SCOPED_TRACE(platform::ToUtf8(path));
        EXPECT_FALSE(File(path, GENERIC_WRITE, 0, CREATE_ALWAYS).Ok());
        EXPECT_FALSE(File(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING).Ok());
        EXPECT_FALSE(DeleteFileW(path));
        EXPECT_FALSE(RemoveDirectoryW(path));
        EXPECT_FALSE(CreateDirectoryW(path, nullptr));
        EXPECT_FALSE(MoveFileW(path, u"\\NAND\\moved"));
        EXPECT_FALSE(MoveFileW(u"\\NAND\\x.txt", path));
        EXPECT_FALSE(CopyFileW(path, u"\\NAND\\copied", FALSE));
        EXPECT_FALSE(CopyFileW(u"\\NAND\\x.txt", path, FALSE));
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(path));
        EXPECT_FALSE(SetFileAttributesW(path, FILE_ATTRIBUTE_HIDDEN));
        EXPECT_EQ(INVALID_HANDLE_VALUE, FindFirstFileW(path, &data));
        EXPECT_EQ(INVALID_HANDLE_VALUE, FindFirstFileW((std::u16string(path) + u"\\*").c_str(), &data));
        EXPECT_EQ("", platform::HostPath(path, false));
    }
    for (const char* file : stateFiles)
        EXPECT_EQ("original", HostText(Host(file))) << file;
    EXPECT_FALSE(fs::exists(Host("NAND/moved")));
    EXPECT_FALSE(fs::exists(Host("NAND/copied")));
    EXPECT_FALSE(fs::exists(Host("evil.txt")));
    EXPECT_EQ("x", HostText(Host("NAND/x.txt")));
    EXPECT_EQ(std::u16string(), platform::UnitPathOf(Host("config/programs.conf")));

    // Listings show the drives at the top and skip the links that lead out
    // of them.
    EXPECT_EQ((std::vector<std::string>{"HDD", "NAND", "Storage Card"}), List(u"\\*"));
    EXPECT_EQ((std::vector<std::string>{"HDD", "NAND", "Storage Card"}), List(u"*.*"));
    EXPECT_EQ(std::vector<std::string>{"x.txt"}, List(u"\\NAND\\*"));
    // The drives themselves work as before.
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(u"\\nand"));
    EXPECT_TRUE(CopyFileW(u"\\NAND\\x.txt", u"\\Storage Card\\x.txt", FALSE));
}

// Names on disk that no unit path could open again are not listed: bytes
// that are not UTF-8 (which would read as U+FFFD, the name of another file),
// a '\\' (which would read as a separator), and characters unit names cannot
// hold. Every name listed opens the entry of exactly that name, and deleting
// it deletes that entry only.
TEST_F(FileTest, ListedNamesOpenTheSameFileAgain)
{
    const std::pair<std::string, std::string> disk[] = {
        {"\xFF.txt", "ff"}, {"\xFE.txt", "fe"},   {"\xEF\xBF\xBD.txt", "real"}, {"x\\y", "backslash"},
        {"a:b", "colon"},   {"star*", "star"},    {"q?", "question"},           {"p|q", "bar"},
        {"lt<", "less"},    {"quote\"", "quote"}, {"ctl\x01", "control"},       {"Plain.txt", "plain"},
    };
    for (const auto& [name, text] : disk)
        std::ofstream(Host("NAND/" + name)) << text;
    fs::create_directory(Host("NAND/x"));
    std::ofstream(Host("NAND/x/y")) << "nested";

    const std::vector<std::string> listed = List(u"\\NAND\\*");
    EXPECT_EQ((std::vector<std::string>{"Plain.txt", "x", "\xEF\xBF\xBD.txt"}), listed);
    for (const std::string& name : listed) {
        if (name == "x")
            continue;
        const std::u16string path = u"\\NAND\\" + platform::FromUtf8(name);
        EXPECT_EQ(HostText(Host("NAND/" + name)), ReadText(path.c_str()).value_or("<none>")) << name;
    }
    EXPECT_TRUE(DeleteFileW(u"\\NAND\\\uFFFD.txt"));
    EXPECT_FALSE(fs::exists(Host("NAND/\xEF\xBF\xBD.txt")));
    // With the real U+FFFD file gone, its name finds nothing else.
    EXPECT_FALSE(DeleteFileW(u"\\NAND\\\uFFFD.txt"));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(u"\\NAND\\\uFFFD.TXT"));
    EXPECT_TRUE(DeleteFileW(u"\\NAND\\x\\y"));
    for (const auto& [name, text] : disk) {
        if (name != "\xEF\xBF\xBD.txt") {
            EXPECT_EQ(text, HostText(Host("NAND/" + name))) << name;
        }
    }
}

struct DispositionCase {
    DWORD disposition;
    bool existing;
    bool opens;
    DWORD error;         // last error after the call
    const char* content; // the file afterwards; null: no file
};

TEST_F(FileTest, DispositionsAndTheirErrors)
{
    const DispositionCase cases[] = {
        {CREATE_NEW, false, true, ERROR_SUCCESS, ""},
        {CREATE_NEW, true, false, ERROR_FILE_EXISTS, "old"},
        {CREATE_ALWAYS, false, true, ERROR_SUCCESS, ""},
        {CREATE_ALWAYS, true, true, ERROR_ALREADY_EXISTS, ""},
        {OPEN_EXISTING, false, false, ERROR_FILE_NOT_FOUND, nullptr},
        {OPEN_EXISTING, true, true, ERROR_SUCCESS, "old"},
        {OPEN_ALWAYS, false, true, ERROR_SUCCESS, ""},
        {OPEN_ALWAYS, true, true, ERROR_ALREADY_EXISTS, "old"},
        {TRUNCATE_EXISTING, false, false, ERROR_FILE_NOT_FOUND, nullptr},
        {TRUNCATE_EXISTING, true, true, ERROR_SUCCESS, ""},
        {7, true, false, ERROR_INVALID_PARAMETER, "old"},
    };
    int index = 0;
    for (const DispositionCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "disposition " << c.disposition << (c.existing ? " existing" : " new"));
        const std::u16string path = u"\\HDD\\case" + platform::FromUtf8(std::to_string(index++));
        if (c.existing) {
            ASSERT_TRUE(WriteText(path.c_str(), "old"));
        }
        SetLastError(12345);
        {
            File file(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, c.disposition);
            EXPECT_EQ(c.opens, file.Ok());
            EXPECT_EQ(c.error, GetLastError());
        }
        if (c.content) {
            EXPECT_EQ(c.content, ReadText(path.c_str()));
        } else {
            EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(path.c_str()));
        }
    }

    struct Refusal {
        const char16_t* path;
        DWORD disposition;
        DWORD error;
    };
    const Refusal refusals[] = {
        {u"\\HDD\\missing\\x.txt", OPEN_EXISTING, ERROR_PATH_NOT_FOUND},
        {u"\\HDD\\missing\\x.txt", CREATE_ALWAYS, ERROR_PATH_NOT_FOUND},
        {u"\\NAND", OPEN_EXISTING, ERROR_ACCESS_DENIED},
        {u"\\NAND\\", OPEN_ALWAYS, ERROR_ACCESS_DENIED},
        {u"\\", OPEN_EXISTING, ERROR_ACCESS_DENIED},
    };
    for (const Refusal& r : refusals) {
        SCOPED_TRACE(platform::ToUtf8(r.path));
        File file(r.path, GENERIC_READ, 0, r.disposition);
        EXPECT_FALSE(file.Ok());
        EXPECT_EQ(r.error, GetLastError());
    }
}

struct ShareCase {
    DWORD firstAccess, firstShare, secondAccess, secondShare;
    bool secondOpens;
};

TEST_F(FileTest, ShareModesBetweenHandles)
{
    constexpr DWORD R = GENERIC_READ, W = GENERIC_WRITE, SR = FILE_SHARE_READ, SW = FILE_SHARE_WRITE;
    const ShareCase cases[] = {
        {R, SR, R, SR, true},
        {R, SR, W, SR, false}, // the first does not share writing
        {R, SR | SW, W, SR, true},
        {W, 0, R, SR | SW, false}, // the first shares nothing
        {R, SR, R, 0, false},      // the second would not share the first's reading
        {0, 0, R | W, 0, true},    // no data access takes no part
        {R | W, SR | SW, R | W, SR | SW, true},
    };
    ASSERT_TRUE(WriteText(u"\\NAND\\shared.bin", "content"));
    for (const ShareCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.firstAccess << "/" << c.firstShare << " then " << c.secondAccess << "/"
                                        << c.secondShare);
        File first(u"\\NAND\\shared.bin", c.firstAccess, c.firstShare, OPEN_EXISTING);
        ASSERT_TRUE(first.Ok());
        File second(u"\\nand\\SHARED.bin", c.secondAccess, c.secondShare, OPEN_EXISTING);
        EXPECT_EQ(c.secondOpens, second.Ok());
        if (!c.secondOpens) {
            EXPECT_EQ(ERROR_SHARING_VIOLATION, GetLastError());
        }
    }

    {
        File reader(u"\\NAND\\shared.bin", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
        // A refused CREATE_ALWAYS leaves the file as it was.
        File writer(u"\\NAND\\shared.bin", GENERIC_WRITE, 0, CREATE_ALWAYS);
        EXPECT_FALSE(writer.Ok());
        EXPECT_EQ(ERROR_SHARING_VIOLATION, GetLastError());
        EXPECT_FALSE(DeleteFileW(u"\\NAND\\shared.bin"));
        EXPECT_EQ(ERROR_SHARING_VIOLATION, GetLastError());
        EXPECT_FALSE(MoveFileW(u"\\NAND\\shared.bin", u"\\NAND\\moved.bin"));
        EXPECT_EQ(ERROR_SHARING_VIOLATION, GetLastError());
    }
    EXPECT_EQ("content", ReadText(u"\\NAND\\shared.bin"));
    {
        File reader(u"\\NAND\\shared.bin", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, OPEN_EXISTING);
        EXPECT_TRUE(DeleteFileW(u"\\NAND\\shared.bin"));
    }
}

TEST_F(FileTest, ReadWriteSeekSizeAndTruncate)
{
    File file(u"\\HDD\\data.bin", GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS);
    ASSERT_TRUE(file.Ok());
    DWORD done = 0;
    ASSERT_TRUE(WriteFile(file.handle, "Hello, unit!", 12, &done, nullptr));
    EXPECT_EQ(12u, done);
    EXPECT_EQ(12u, GetFileSize(file.handle, nullptr));

    char buffer[16] = {};
    EXPECT_EQ(0u, SetFilePointer(file.handle, 0, nullptr, FILE_BEGIN));
    ASSERT_TRUE(ReadFile(file.handle, buffer, 5, &done, nullptr));
    EXPECT_EQ("Hello", std::string(buffer, done));
    EXPECT_EQ(7u, SetFilePointer(file.handle, -5, nullptr, FILE_END));
    ASSERT_TRUE(ReadFile(file.handle, buffer, sizeof buffer, &done, nullptr));
    EXPECT_EQ("unit!", std::string(buffer, done));
    // At the end: nothing read, and success.
    EXPECT_TRUE(ReadFile(file.handle, buffer, sizeof buffer, &done, nullptr));
    EXPECT_EQ(0u, done);

    EXPECT_EQ(INVALID_SET_FILE_POINTER, SetFilePointer(file.handle, -20, nullptr, FILE_CURRENT));
    EXPECT_EQ(ERROR_NEGATIVE_SEEK, GetLastError());
    EXPECT_EQ(INVALID_SET_FILE_POINTER, SetFilePointer(file.handle, 0, nullptr, 9));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, GetLastError());

    // Writing past the end fills the gap with zeros.
    EXPECT_EQ(14u, SetFilePointer(file.handle, 2, nullptr, FILE_END));
    ASSERT_TRUE(WriteFile(file.handle, "!", 1, &done, nullptr));
    EXPECT_EQ(15u, GetFileSize(file.handle, nullptr));
    EXPECT_EQ(5u, SetFilePointer(file.handle, 5, nullptr, FILE_BEGIN));
    EXPECT_TRUE(SetEndOfFile(file.handle));
    EXPECT_EQ(5u, GetFileSize(file.handle, nullptr));
    EXPECT_TRUE(FlushFileBuffers(file.handle));
    EXPECT_EQ("Hello", HostText(Host("HDD/data.bin")));

    File reader(u"\\HDD\\other.bin", GENERIC_READ, 0, OPEN_ALWAYS);
    EXPECT_FALSE(WriteFile(reader.handle, "x", 1, &done, nullptr));
    EXPECT_EQ(ERROR_ACCESS_DENIED, GetLastError());
    EXPECT_FALSE(SetEndOfFile(reader.handle));
    EXPECT_EQ(ERROR_ACCESS_DENIED, GetLastError());
    File writer(u"\\HDD\\third.bin", GENERIC_WRITE, 0, OPEN_ALWAYS);
    EXPECT_FALSE(ReadFile(writer.handle, buffer, 1, &done, nullptr));
    EXPECT_EQ(ERROR_ACCESS_DENIED, GetLastError());
}

TEST_F(FileTest, FileTimesRoundTrip)
{
    SYSTEMTIME when{2011, 7, 0, 15, 9, 30, 15, 250};
    FILETIME written;
    ASSERT_TRUE(SystemTimeToFileTime(&when, &written));
    {
        File file(u"\\HDD\\timed.txt", GENERIC_WRITE, 0, CREATE_ALWAYS);
        ASSERT_TRUE(SetFileTime(file.handle, nullptr, nullptr, &written));
        FILETIME creation, access, write;
        ASSERT_TRUE(GetFileTime(file.handle, &creation, &access, &write));
        EXPECT_EQ(0, CompareFileTime(&written, &write));
    }
    const auto found = FindOne(u"\\HDD\\timed.txt");
    ASSERT_TRUE(found);
    SYSTEMTIME back;
    ASSERT_TRUE(FileTimeToSystemTime(&found->ftLastWriteTime, &back));
    EXPECT_EQ(2011, back.wYear);
    EXPECT_EQ(15, back.wDay);
    EXPECT_EQ(30, back.wMinute);
    EXPECT_EQ(250, back.wMilliseconds);
    EXPECT_EQ(5, back.wDayOfWeek); // a Friday
}

TEST_F(FileTest, HiddenAndReadOnlyAttributes)
{
    ASSERT_TRUE(WriteText(u"\\NAND\\secret.reg", "data", FILE_ATTRIBUTE_HIDDEN));
    auto found = FindOne(u"\\NAND\\SECRET.REG");
    ASSERT_TRUE(found);
    EXPECT_EQ(FILE_ATTRIBUTE_HIDDEN, found->dwFileAttributes);
    EXPECT_EQ(4u, found->nFileSizeLow);
    EXPECT_EQ(FILE_ATTRIBUTE_HIDDEN, GetFileAttributesW(u"\\NAND\\secret.reg"));

    ASSERT_TRUE(SetFileAttributesW(u"\\NAND\\secret.reg", FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(FILE_ATTRIBUTE_NORMAL, FindOne(u"\\NAND\\secret.reg")->dwFileAttributes);

    ASSERT_TRUE(SetFileAttributesW(u"\\NAND\\secret.reg", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN, GetFileAttributesW(u"\\NAND\\secret.reg"));
    EXPECT_FALSE(File(u"\\NAND\\secret.reg", GENERIC_WRITE, 0, OPEN_EXISTING).Ok());
    EXPECT_EQ(ERROR_ACCESS_DENIED, GetLastError());
    EXPECT_FALSE(DeleteFileW(u"\\NAND\\secret.reg"));
    EXPECT_EQ(ERROR_ACCESS_DENIED, GetLastError());
    EXPECT_EQ("data", ReadText(u"\\NAND\\secret.reg"));
    ASSERT_TRUE(SetFileAttributesW(u"\\NAND\\secret.reg", FILE_ATTRIBUTE_NORMAL));
    EXPECT_TRUE(DeleteFileW(u"\\NAND\\secret.reg"));

    // Read-only on creation binds later opens, not the creating handle.
    {
        File file(u"\\NAND\\fixed.bin", GENERIC_WRITE, 0, CREATE_NEW, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
        DWORD done = 0;
        EXPECT_TRUE(WriteFile(file.handle, "x", 1, &done, nullptr));
    }
    EXPECT_EQ(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN, GetFileAttributesW(u"\\NAND\\fixed.bin"));

    ASSERT_TRUE(CreateDirectoryW(u"\\NAND\\Hidden Folder", nullptr));
    ASSERT_TRUE(SetFileAttributesW(u"\\NAND\\Hidden Folder", FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN, FindOne(u"\\NAND\\hidden folder")->dwFileAttributes);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(u"\\NAND\\none"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetLastError());
}

struct PatternCase {
    const char16_t* pattern;
    std::vector<std::string> names;
    DWORD error; // when nothing is found
};

TEST_F(FileTest, FindPatterns)
{
    ASSERT_TRUE(CreateDirectoryW(u"\\NAND\\Dir", nullptr));
    for (const char16_t* name : {u"\\NAND\\Dir\\a.txt", u"\\NAND\\Dir\\B.TXT", u"\\NAND\\Dir\\c.doc",
                                 u"\\NAND\\Dir\\noext", u"\\NAND\\Dir\\abc.tx"})
        ASSERT_TRUE(WriteText(name, "12345"));
    ASSERT_TRUE(CreateDirectoryW(u"\\NAND\\Dir\\Sub", nullptr));

    const std::vector<std::string> all = {"B.TXT", "Sub", "a.txt", "abc.tx", "c.doc", "noext"};
    const PatternCase cases[] = {
        {u"\\NAND\\Dir\\*.*", all, 0},
        {u"\\NAND\\dir\\*", all, 0},
        {u"\\NAND\\Dir\\*.txt", {"B.TXT", "a.txt"}, 0},
        {u"\\NAND\\Dir\\?.TXT", {"B.TXT", "a.txt"}, 0},
        {u"\\NAND\\Dir\\a*", {"a.txt", "abc.tx"}, 0},
        {u"\\NAND\\Dir\\*.tx?", {"B.TXT", "a.txt"}, 0},
        {u"\\NAND\\Dir\\noext.*", {"noext"}, 0},
        {u"\\NAND\\Dir\\A.txt", {"a.txt"}, 0},
        {u"\\NAND\\Dir\\", {"Dir"}, 0}, // a trailing '\' finds the folder itself
        {u"\\Storage Card\\", {"Storage Card"}, 0},
        {u"\\NAND\\Dir\\zz*", {}, ERROR_FILE_NOT_FOUND},
        {u"\\NAND\\Dir\\zz", {}, ERROR_FILE_NOT_FOUND},
        {u"\\NAND\\Dir\\a.txt\\", {}, ERROR_FILE_NOT_FOUND},
        {u"\\NAND\\None\\*", {}, ERROR_PATH_NOT_FOUND},
        {u"\\NAND\\None\\x.txt", {}, ERROR_PATH_NOT_FOUND},
    };
    const std::size_t handles = platform::OpenHandleCount();
    for (const PatternCase& c : cases) {
        SCOPED_TRACE(platform::ToUtf8(c.pattern));
        DWORD error = 0;
        EXPECT_EQ(c.names, List(c.pattern, &error));
        EXPECT_EQ(c.error, error);
    }
    EXPECT_EQ(handles, platform::OpenHandleCount());

    const auto file = FindOne(u"\\NAND\\Dir\\a.txt");
    ASSERT_TRUE(file);
    EXPECT_EQ(FILE_ATTRIBUTE_NORMAL, file->dwFileAttributes);
    EXPECT_EQ(5u, file->nFileSizeLow);
    EXPECT_EQ(0u, file->nFileSizeHigh);
    FILETIME now;
    timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    now = platform::FileTimeFromTimespec(ts);
    const auto ticks = [](const FILETIME& t) { return (std::uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime; };
    EXPECT_LE(ticks(file->ftLastWriteTime), ticks(now));
    EXPECT_GT(ticks(file->ftLastWriteTime), ticks(now) - 600ull * 10000000);
    EXPECT_EQ(FILE_ATTRIBUTE_DIRECTORY, FindOne(u"\\NAND\\Dir\\Sub")->dwFileAttributes);

    EXPECT_FALSE(FindClose(INVALID_HANDLE_VALUE));
    EXPECT_EQ(ERROR_INVALID_HANDLE, GetLastError());
}

struct Listed {
    std::string name;
    DWORD attributes;
    DWORD size;
    bool operator==(const Listed&) const = default;
};

// Names and attribute bits of a pattern, read to the end, through the full
// or the names-only search.
std::vector<Listed> ListBits(LPCWSTR pattern, bool namesOnly)
{
    std::vector<Listed> found;
    WIN32_FIND_DATAW data;
    HANDLE find = namesOnly ? FindFirstFileNamesW(pattern, &data) : FindFirstFileW(pattern, &data);
    if (find == INVALID_HANDLE_VALUE)
        return found;
    do
        found.push_back({platform::ToUtf8(data.cFileName), data.dwFileAttributes, data.nFileSizeLow});
    while (FindNextFileW(find, &data));
    FindClose(find);
    return found;
}

// What the names-only search gives for entries of the full one.
std::vector<Listed> NamesOnlyView(std::vector<Listed> full)
{
    for (Listed& entry : full) {
        // No sizes, and no read-only bit of a file.
        entry.size = 0;
        if (!(entry.attributes & FILE_ATTRIBUTE_DIRECTORY))
            entry.attributes &= ~FILE_ATTRIBUTE_READONLY;
        if (!entry.attributes)
            entry.attributes = FILE_ATTRIBUTE_NORMAL;
    }
    return full;
}

// The plain marker of a host folder ("" when it has none).
std::string PlainMarker(const std::string& folder)
{
    char value[64];
    const ssize_t n = getxattr(folder.c_str(), "user.wren.plain", value, sizeof value);
    return n > 0 ? std::string(value, static_cast<std::size_t>(n)) : std::string();
}

TEST_F(FileTest, NamesOnlySearchGivesTheNamesAndBitsOfTheFullOne)
{
    ASSERT_TRUE(CreateDirectoryW(u"\\NAND\\Mix", nullptr));
    ASSERT_TRUE(WriteText(u"\\NAND\\Mix\\plain.mp3", "123"));
    ASSERT_TRUE(WriteText(u"\\NAND\\Mix\\hidden.mp3", "123", FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(WriteText(u"\\NAND\\Mix\\fixed.mp3", "123", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
    ASSERT_TRUE(CreateDirectoryW(u"\\NAND\\Mix\\Sys", nullptr));
    ASSERT_TRUE(SetFileAttributesW(u"\\NAND\\Mix\\Sys", FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY));
    fs::create_symlink("hidden.mp3", Host("NAND/Mix/link.mp3"));
    // Bits stored on the host before any listing kept a marker.
    std::ofstream(Host("NAND/Mix/old.mp3")) << "123";
    ASSERT_EQ(0, setxattr(Host("NAND/Mix/old.mp3").c_str(), "user.wren.attributes", "2", 1, 0));

    const std::vector<Listed> full = ListBits(u"\\NAND\\Mix\\*.*", false);
    ASSERT_EQ(6u, full.size());
    const std::vector<Listed> expected = NamesOnlyView(full);
    EXPECT_EQ(expected[1], (Listed{"fixed.mp3", FILE_ATTRIBUTE_ARCHIVE, 0}));
    EXPECT_EQ(expected[4], (Listed{"old.mp3", FILE_ATTRIBUTE_HIDDEN, 0}));
    EXPECT_EQ(expected, ListBits(u"\\NAND\\Mix\\*.*", true));
    EXPECT_EQ(expected, ListBits(u"\\NAND\\Mix\\*.*", true)); // no marker here: read again
    EXPECT_EQ("p", PlainMarker(Host("NAND/Mix")).substr(0, 1));
}

// A complete names-only listing that finds no stored bits marks the folder
// plain; whatever gives an entry bits drops the mark, so the next listing
// reads them. A listing of part of the folder, or one during which a writer
// struck, marks nothing; a mark other than the plain one is not trusted.
TEST_F(FileTest, PlainMarkerComesFromACompleteListingAndGoesWithEveryWriterOfBits)
{
    ASSERT_TRUE(WriteText(u"\\HDD\\hidden.mp3", "x", FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(WriteText(u"\\HDD\\source.mp3", "x", FILE_ATTRIBUTE_HIDDEN));
    struct Case {
        const char* name;
        std::function<bool()> write;
        Listed expected;
    };
    const Case cases[] = {
        {"set on a file",
         [] { return SetFileAttributesW(u"\\NAND\\P\\a.mp3", FILE_ATTRIBUTE_HIDDEN) != 0; },
         {"a.mp3", FILE_ATTRIBUTE_HIDDEN, 0}},
        {"set on a folder",
         [] { return SetFileAttributesW(u"\\NAND\\P\\Sub", FILE_ATTRIBUTE_SYSTEM) != 0; },
         {"Sub", FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_SYSTEM, 0}},
        {"created with bits",
         [] { return WriteText(u"\\NAND\\P\\a.mp3", "y", FILE_ATTRIBUTE_SYSTEM); },
         {"a.mp3", FILE_ATTRIBUTE_SYSTEM, 0}},
        {"moved in",
         [] { return MoveFileW(u"\\HDD\\hidden.mp3", u"\\NAND\\P\\c.mp3") != 0; },
         {"c.mp3", FILE_ATTRIBUTE_HIDDEN, 0}},
        {"copied in",
         [] { return CopyFileW(u"\\HDD\\source.mp3", u"\\NAND\\P\\d.mp3", TRUE) != 0; },
         {"d.mp3", FILE_ATTRIBUTE_HIDDEN, 0}},
    };
    ASSERT_TRUE(CreateDirectoryW(u"\\NAND\\P", nullptr));
    ASSERT_TRUE(CreateDirectoryW(u"\\NAND\\P\\Sub", nullptr));
    const std::string host = Host("NAND/P");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Back to plain entries only.
        for (const char16_t* name : {u"\\NAND\\P\\c.mp3", u"\\NAND\\P\\d.mp3"})
            DeleteFileW(name);
        ASSERT_TRUE(WriteText(u"\\NAND\\P\\a.mp3", "x"));
        ASSERT_TRUE(WriteText(u"\\NAND\\P\\b.mp3", "x"));
        ASSERT_TRUE(SetFileAttributesW(u"\\NAND\\P\\Sub", FILE_ATTRIBUTE_NORMAL));
        ListBits(u"\\NAND\\P\\*.mp3", true); // part of the folder
        EXPECT_NE("1", PlainMarker(host));
        ListBits(u"\\NAND\\P\\*.*", true);
        EXPECT_EQ("1", PlainMarker(host));
        ASSERT_TRUE(c.write());
        EXPECT_EQ("", PlainMarker(host));
        const auto after = ListBits(u"\\NAND\\P\\*.*", true);
        EXPECT_NE(std::find(after.begin(), after.end(), c.expected), after.end());
        EXPECT_EQ(NamesOnlyView(ListBits(u"\\NAND\\P\\*.*", false)), after);
    }

    // A writer during a listing: the bits go on an entry already given out.
    ASSERT_TRUE(CreateDirectoryW(u"\\NAND\\Q", nullptr));
    ASSERT_TRUE(WriteText(u"\\NAND\\Q\\a.mp3", "x"));
    ASSERT_TRUE(WriteText(u"\\NAND\\Q\\b.mp3", "x"));
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileNamesW(u"\\NAND\\Q\\*", &data);
    ASSERT_NE(INVALID_HANDLE_VALUE, find);
    EXPECT_EQ(FILE_ATTRIBUTE_NORMAL, data.dwFileAttributes);
    ASSERT_TRUE(SetFileAttributesW(u"\\NAND\\Q\\a.mp3", FILE_ATTRIBUTE_HIDDEN));
    while (FindNextFileW(find, &data)) {}
    FindClose(find);
    EXPECT_NE("1", PlainMarker(Host("NAND/Q")));
    EXPECT_EQ((Listed{"a.mp3", FILE_ATTRIBUTE_HIDDEN, 0}), ListBits(u"\\NAND\\Q\\*", true).front());

    // Bits stored on the host behind a stale token are still read.
    ASSERT_TRUE(SetFileAttributesW(u"\\NAND\\Q\\a.mp3", FILE_ATTRIBUTE_NORMAL));
    ASSERT_EQ(0, setxattr(Host("NAND/Q").c_str(), "user.wren.plain", "p1.1", 4, 0));
    ASSERT_EQ(0, setxattr(Host("NAND/Q/b.mp3").c_str(), "user.wren.attributes", "4", 1, 0));
    EXPECT_EQ((Listed{"b.mp3", FILE_ATTRIBUTE_SYSTEM, 0}), ListBits(u"\\NAND\\Q\\*", true).back());
}

TEST_F(FileTest, DirectoryCreationAndRemoval)
{
    EXPECT_TRUE(CreateDirectoryW(u"\\HDD\\A", nullptr));
    EXPECT_FALSE(CreateDirectoryW(u"\\hdd\\a", nullptr));
    EXPECT_EQ(ERROR_ALREADY_EXISTS, GetLastError());
    EXPECT_FALSE(CreateDirectoryW(u"\\HDD\\X\\Y", nullptr));
    EXPECT_EQ(ERROR_PATH_NOT_FOUND, GetLastError());
    EXPECT_TRUE(CreateDirectoryW(u"\\HDD\\A\\B\\", nullptr));
    EXPECT_TRUE(fs::is_directory(Host("HDD/A/B")));
    ASSERT_TRUE(WriteText(u"\\HDD\\A\\file.txt", "x"));

    struct Case {
        BOOL (*call)(LPCWSTR);
        const char16_t* path;
        DWORD error;
    };
    const Case failures[] = {
        {RemoveDirectoryW, u"\\HDD\\A", ERROR_DIR_NOT_EMPTY},
        {RemoveDirectoryW, u"\\HDD\\A\\file.txt", ERROR_DIRECTORY},
        {RemoveDirectoryW, u"\\HDD\\none", ERROR_FILE_NOT_FOUND},
        {RemoveDirectoryW, u"\\", ERROR_ACCESS_DENIED},
        {DeleteFileW, u"\\HDD\\A\\B", ERROR_ACCESS_DENIED},
        {DeleteFileW, u"\\HDD\\A\\none.txt", ERROR_FILE_NOT_FOUND},
        {DeleteFileW, u"\\HDD\\none\\none.txt", ERROR_PATH_NOT_FOUND},
    };
    for (const Case& c : failures) {
        SCOPED_TRACE(platform::ToUtf8(c.path));
        EXPECT_FALSE(c.call(c.path));
        EXPECT_EQ(c.error, GetLastError());
    }
    EXPECT_TRUE(DeleteFileW(u"\\hdd\\a\\FILE.TXT"));
    EXPECT_TRUE(RemoveDirectoryW(u"\\HDD\\A\\B"));
    EXPECT_TRUE(RemoveDirectoryW(u"\\HDD\\A\\"));
    EXPECT_FALSE(fs::exists(Host("HDD/A")));
}

TEST_F(FileTest, MoveAndCopy)
{
    ASSERT_TRUE(WriteText(u"\\NAND\\a.txt", "alpha", FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(WriteText(u"\\HDD\\taken.txt", "taken"));

    EXPECT_TRUE(MoveFileW(u"\\nand\\A.TXT", u"\\HDD\\b.txt"));
    EXPECT_FALSE(fs::exists(Host("NAND/a.txt")));
    EXPECT_EQ("alpha", ReadText(u"\\HDD\\b.txt"));
    EXPECT_FALSE(MoveFileW(u"\\HDD\\b.txt", u"\\HDD\\TAKEN.TXT"));
    EXPECT_EQ(ERROR_ALREADY_EXISTS, GetLastError());
    EXPECT_EQ("taken", ReadText(u"\\HDD\\taken.txt"));
    EXPECT_FALSE(MoveFileW(u"\\HDD\\none.txt", u"\\HDD\\c.txt"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetLastError());
    // A change of case renames the same file.
    EXPECT_TRUE(MoveFileW(u"\\HDD\\b.txt", u"\\HDD\\B.TXT"));
    EXPECT_EQ((std::vector<std::string>{"B.TXT", "taken.txt"}), List(u"\\HDD\\*"));
    // Folders move with their contents.
    ASSERT_TRUE(CreateDirectoryW(u"\\HDD\\Folder", nullptr));
    ASSERT_TRUE(WriteText(u"\\HDD\\Folder\\inner.txt", "inner"));
    EXPECT_TRUE(MoveFileW(u"\\HDD\\Folder", u"\\Storage Card\\Moved"));
    EXPECT_EQ("inner", ReadText(u"\\Storage Card\\Moved\\inner.txt"));
    EXPECT_FALSE(MoveFileW(u"\\Storage Card\\Moved", u"\\Storage Card\\Moved\\Inside"));

    EXPECT_TRUE(CopyFileW(u"\\HDD\\B.TXT", u"\\NAND\\copy.txt", TRUE));
    EXPECT_EQ("alpha", ReadText(u"\\NAND\\copy.txt"));
    EXPECT_EQ(FILE_ATTRIBUTE_HIDDEN, GetFileAttributesW(u"\\NAND\\copy.txt"));
    EXPECT_FALSE(CopyFileW(u"\\HDD\\taken.txt", u"\\NAND\\COPY.TXT", TRUE));
    EXPECT_EQ(ERROR_FILE_EXISTS, GetLastError());
    EXPECT_TRUE(CopyFileW(u"\\HDD\\taken.txt", u"\\NAND\\COPY.TXT", FALSE));
    EXPECT_EQ("taken", ReadText(u"\\NAND\\copy.txt"));
    EXPECT_EQ(FILE_ATTRIBUTE_NORMAL, GetFileAttributesW(u"\\NAND\\copy.txt"));

    struct Refusal {
        const char16_t* from;
        const char16_t* to;
        DWORD error;
    };
    const Refusal refusals[] = {
        {u"\\NAND\\copy.txt", u"\\nand\\copy.txt", ERROR_SHARING_VIOLATION}, // onto itself
        {u"\\NAND", u"\\HDD\\nand", ERROR_ACCESS_DENIED},
        {u"\\NAND\\copy.txt", u"\\HDD\\none\\copy.txt", ERROR_PATH_NOT_FOUND},
        {u"\\NAND\\none.txt", u"\\HDD\\none.txt", ERROR_FILE_NOT_FOUND},
    };
    for (const Refusal& r : refusals) {
        SCOPED_TRACE(platform::ToUtf8(r.from));
        EXPECT_FALSE(CopyFileW(r.from, r.to, FALSE));
        EXPECT_EQ(r.error, GetLastError());
    }
    EXPECT_EQ("taken", ReadText(u"\\NAND\\copy.txt"));
}

// The file-size limit stands in for a full disk: writes stop where it is.
TEST_F(FileTest, FullDiskGivesAShortWriteAndNoPartialCopy)
{
    const std::string big(8192, 'x');
    ASSERT_TRUE(WriteText(u"\\HDD\\big.bin", big));
    rlimit saved;
    ASSERT_EQ(0, getrlimit(RLIMIT_FSIZE, &saved));
    auto* previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = 4096;
    ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &limited));

    DWORD written = 0, error = 0;
    BOOL ok;
    {
        File file(u"\\HDD\\full.bin", GENERIC_WRITE, 0, CREATE_ALWAYS);
        ok = WriteFile(file.handle, big.data(), static_cast<DWORD>(big.size()), &written, nullptr);
        error = GetLastError();
    }
    const BOOL copied = CopyFileW(u"\\HDD\\big.bin", u"\\HDD\\copy.bin", FALSE);
    const DWORD copyError = GetLastError();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);

    EXPECT_FALSE(ok);
    EXPECT_EQ(4096u, written);
    EXPECT_EQ(ERROR_DISK_FULL, error);
    EXPECT_FALSE(copied);
    EXPECT_EQ(ERROR_DISK_FULL, copyError);
    EXPECT_FALSE(fs::exists(Host("HDD/copy.bin")));
}

TEST_F(FileTest, DiskFreeSpace)
{
    ULARGE_INTEGER available, total, free;
    ASSERT_TRUE(GetDiskFreeSpaceExW(u"\\Storage Card", &available, &total, &free));
    EXPECT_GT(total.QuadPart, 0u);
    EXPECT_LE(available.QuadPart, free.QuadPart);
    EXPECT_LE(free.QuadPart, total.QuadPart);
    EXPECT_TRUE(GetDiskFreeSpaceExW(nullptr, &available, nullptr, nullptr));
    EXPECT_FALSE(GetDiskFreeSpaceExW(u"\\Storage Card2", &available, &total, &free));
    EXPECT_EQ(ERROR_PATH_NOT_FOUND, GetLastError());
}

TEST(FileTimeTest, CalendarConversions)
{
    const SYSTEMTIME leap{2024, 2, 0, 29, 23, 59, 58, 999};
    FILETIME time;
    ASSERT_TRUE(SystemTimeToFileTime(&leap, &time));
    SYSTEMTIME back;
    ASSERT_TRUE(FileTimeToSystemTime(&time, &back));
    EXPECT_EQ(2024, back.wYear);
    EXPECT_EQ(2, back.wMonth);
    EXPECT_EQ(29, back.wDay);
    EXPECT_EQ(4, back.wDayOfWeek); // a Thursday
    EXPECT_EQ(23, back.wHour);
    EXPECT_EQ(59, back.wMinute);
    EXPECT_EQ(58, back.wSecond);
    EXPECT_EQ(999, back.wMilliseconds);

    const SYSTEMTIME epoch{1601, 1, 0, 1, 0, 0, 0, 0};
    ASSERT_TRUE(SystemTimeToFileTime(&epoch, &time));
    EXPECT_EQ(0u, time.dwLowDateTime | time.dwHighDateTime);
    const FILETIME unixEpoch = platform::FileTimeFromTimespec(timespec{0, 0});
    EXPECT_EQ(116444736000000000ull, (std::uint64_t{unixEpoch.dwHighDateTime} << 32) | unixEpoch.dwLowDateTime);
    EXPECT_EQ(1234, platform::TimespecFromFileTime(platform::FileTimeFromTimespec(timespec{1234, 500})).tv_sec);

    for (const SYSTEMTIME& bad : {SYSTEMTIME{2023, 2, 0, 29, 0, 0, 0, 0}, SYSTEMTIME{2023, 13, 0, 1, 0, 0, 0, 0},
                                  SYSTEMTIME{1600, 12, 0, 31, 0, 0, 0, 0}, SYSTEMTIME{2023, 1, 0, 1, 24, 0, 0, 0}}) {
        SetLastError(0);
        EXPECT_FALSE(SystemTimeToFileTime(&bad, &time));
        EXPECT_EQ(ERROR_INVALID_PARAMETER, GetLastError());
    }
}

TEST(FileTimeTest, LocalTimeFollowsTheTimeZone)
{
    const char* saved = std::getenv("TZ");
    const std::string previous = saved ? saved : "";
    setenv("TZ", "KST-9", 1);
    tzset();
    const SYSTEMTIME utc{2020, 12, 0, 31, 20, 0, 0, 0};
    FILETIME time, local, again;
    ASSERT_TRUE(SystemTimeToFileTime(&utc, &time));
    ASSERT_TRUE(FileTimeToLocalFileTime(&time, &local));
    ASSERT_TRUE(LocalFileTimeToFileTime(&local, &again));
    if (saved)
        setenv("TZ", previous.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();

    SYSTEMTIME shown;
    ASSERT_TRUE(FileTimeToSystemTime(&local, &shown));
    EXPECT_EQ(2021, shown.wYear);
    EXPECT_EQ(1, shown.wMonth);
    EXPECT_EQ(1, shown.wDay);
    EXPECT_EQ(5, shown.wHour);
    EXPECT_EQ(0, CompareFileTime(&time, &again));
}

} // namespace
