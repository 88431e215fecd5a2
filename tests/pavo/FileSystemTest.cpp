#include "Lib_cpp/fs/FileSystem.h"

#include "platform/base/Text.h"
#include "platform/io/File.h"

#include "tests/common/TempUnit.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

class FileSystemTest : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(unit.Host("HDD/Music")); }

    void Write(const std::string& relative, const std::string& bytes = "x")
    {
        std::ofstream(unit.Host(relative), std::ios::binary) << bytes;
    }
    std::string Read(const std::string& relative)
    {
        std::ifstream in(unit.Host(relative), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    TempUnit unit{"wren-fs"};
};

std::string Utf8(LPCWSTR text)
{
    return platform::ToUtf8(text ? text : u"");
}

struct Listener : IxFileListener {
    void OnFileChanges(const IxFileChangeList& changes) override
    {
        for (int i = 0; i < changes.Count(); ++i)
            seen.push_back(std::to_string(changes[i].nKind) + (changes[i].bFolder ? " dir " : " file ")
                           + Utf8(changes[i].strPath.Text()));
    }
    void OnFileChangesDone() override { ++done; }
    std::vector<std::string> seen;
    int done = 0;
};

// ---- path helpers ----

TEST_F(FileSystemTest, FolderExistsWithOrWithoutSeparators)
{
    Write("HDD/file.mp3");
    struct Case {
        LPCWSTR path;
        BOOL exists;
    } cases[] = {{u"HDD", TRUE},
                 {u"\\HDD", TRUE},
                 {u"\\hdd\\music\\", TRUE},
                 {u"HDD\\Missing", FALSE},
                 {u"\\HDD\\file.mp3", FALSE},
                 {nullptr, FALSE}};
    for (const Case& c : cases)
        EXPECT_EQ(IxFolderExists(c.path), c.exists) << Utf8(c.path);
}

TEST(FsPathHelpers, DotNamesAndFolderRuns)
{
    EXPECT_TRUE(IxIsDotName(u"."));
    EXPECT_TRUE(IxIsDotName(u".."));
    EXPECT_FALSE(IxIsDotName(u"..."));
    EXPECT_FALSE(IxIsDotName(u".a"));

    IxStringArray paths;
    for (LPCWSTR p : {u"\\a\\1.mp3", u"\\a\\2.mp3", u"\\b\\3.mp3", u"\\b\\4.mp3", u"\\a\\5.mp3"})
        paths.AddText(p);
    struct Case {
        int index, first, end;
    } cases[] = {{1, 0, 2}, {0, 0, 2}, {2, 2, 4}, {3, 2, 4}, {4, 4, 5}, {7, 7, 7}};
    for (const Case& c : cases) {
        int first = -1, end = -1;
        IxFindFolderRun(paths, c.index, &first, &end);
        EXPECT_EQ(first, c.first) << c.index;
        EXPECT_EQ(end, c.end) << c.index;
    }
    const LPCWSTR exts[] = {u"mp3", u"WMA"};
    EXPECT_TRUE(IxMatchesExtension(u"x.MP3", exts, 2));
    EXPECT_TRUE(IxMatchesExtension(u"a.b.wma", exts, 2));
    EXPECT_FALSE(IxMatchesExtension(u"mp3", exts, 2));
    EXPECT_TRUE(IxMatchesExtension(u"mp3", nullptr, 0));
}

// ---- typed data files ----

TEST_F(FileSystemTest, DataFileRoundTripsWithItsHeaderAndHiddenAttribute)
{
    for (const std::string& payload : {std::string("hello"), std::string()}) {
        {
            IxFile file;
            ASSERT_TRUE(
                file.WriteDataFile(u"\\HDD\\store.dat", payload.data(), static_cast<DWORD>(payload.size()), 0x42, 7));
            EXPECT_TRUE(file.IsOpen());
        }
        const std::string bytes = Read("HDD/store.dat");
        ASSERT_EQ(bytes.size(), 20 + payload.size());
        const unsigned char header[20] = {static_cast<unsigned char>(20 + payload.size()),
                                          0,
                                          0,
                                          0,
                                          16,
                                          0,
                                          0,
                                          0,
                                          1,
                                          0,
                                          0,
                                          0,
                                          0x42,
                                          0,
                                          0,
                                          0,
                                          7,
                                          0,
                                          0,
                                          0};
        EXPECT_EQ(bytes.substr(0, 20), std::string(reinterpret_cast<const char*>(header), 20));
        EXPECT_TRUE(GetFileAttributesW(u"\\HDD\\store.dat") & FILE_ATTRIBUTE_HIDDEN);

        IxFile reader;
        DWORD length = 99;
        void* data = reader.ReadDataFile(u"\\HDD\\store.dat", 0x42, 7, &length);
        ASSERT_NE(data, nullptr) << "payload of " << payload.size();
        EXPECT_EQ(length, payload.size());
        EXPECT_EQ(std::string(static_cast<char*>(data), length), payload);
        IxFsFree(data);
    }
}

TEST_F(FileSystemTest, DataFileThatIsTruncatedOrForeignIsRefused)
{
    {
        IxFile file;
        ASSERT_TRUE(file.WriteDataFile(u"\\HDD\\store.dat", "payload", 7, 3, 1));
    }
    const std::string good = Read("HDD/store.dat");
    struct Case {
        const char* what;
        std::string bytes;
        DWORD type, version;
    } cases[] = {
        {"type differs", good, 4, 1},
        {"version differs", good, 3, 2},
        {"truncated", good.substr(0, good.size() - 1), 3, 1},
        {"longer than its size word", good + "!", 3, 1},
        {"header length differs", good.substr(0, 4) + '\x0f' + good.substr(5), 3, 1},
        {"shorter than a header", good.substr(0, 12), 3, 1},
        {"empty", "", 3, 1},
    };
    for (const Case& c : cases) {
        Write("HDD/bad.dat", c.bytes);
        IxFile file;
        DWORD length = 5;
        EXPECT_EQ(file.ReadDataFile(u"\\HDD\\bad.dat", c.type, c.version, &length), nullptr) << c.what;
        EXPECT_EQ(length, 0u);
    }
    IxFile file;
    EXPECT_EQ(file.ReadDataFile(u"\\HDD\\none.dat", 3, 1, nullptr), nullptr);
}

// ---- text by byte-order mark ----

TEST_F(FileSystemTest, ReadTextByByteOrderMark)
{
    struct Case {
        const char* what;
        std::string bytes;
        std::u16string text; // empty with null expected
        bool null;
    } cases[] = {
        {"UTF-16LE",
         std::string("\xFF\xFE"
                     "A\0B\0",
                     6),
         u"AB", false},
        {"UTF-16LE odd size",
         std::string("\xFF\xFE"
                     "A\0B",
                     5),
         u"A", false},
        {"UTF-8 keeps its mark",
         "\xEF\xBB\xBF"
         "AB",
         u"\uFEFFAB", false},
        {"UTF-7", "+/v8-AB", u"\uFEFFAB", false},
        {"ANSI", "ABCD", u"ABCD", false},
        {"code page 949",
         "\xB0\xA1"
         "AB",
         u"\uAC00AB", false},
        {"three bytes", "ABC", u"", true},
        {"two bytes of mark", "\xFF\xFE", u"", true},
        {"one byte", "A", u"", true},
    };
    for (const Case& c : cases) {
        Write("HDD/t.txt", c.bytes);
        IxFile file;
        ASSERT_TRUE(file.Open(u"\\HDD\\t.txt", IXFILE_TEXT)) << c.what;
        DWORD length = 77;
        LPWSTR text = file.ReadText(&length);
        if (c.null) {
            EXPECT_EQ(text, nullptr) << c.what;
            EXPECT_EQ(length, 0u);
            continue;
        }
        ASSERT_NE(text, nullptr) << c.what;
        EXPECT_EQ(std::u16string(text, length), c.text) << c.what;
        EXPECT_EQ(text[length], 0) << c.what << ": terminated";
        IxFsFree(text);
    }
}

TEST_F(FileSystemTest, OpenFlagsGiveAccessAndSharing)
{
    Write("HDD/a.txt", "abcd");
    IxFile text;
    ASSERT_TRUE(text.Open(u"\\HDD\\a.txt", IXFILE_TEXT));
    IxFile writer;
    EXPECT_FALSE(writer.Open(u"\\HDD\\a.txt", IXFILE_WRITE)); // text files are shared for reading only
    IxFile reader;
    EXPECT_TRUE(reader.Open(u"\\HDD\\a.txt", IXFILE_READ));
    IxFile created;
    EXPECT_FALSE(created.Open(u"\\HDD\\new.txt", IXFILE_READ));
    EXPECT_TRUE(created.Open(u"\\HDD\\new.txt", IXFILE_READ | IXFILE_WRITE));
    EXPECT_TRUE(fs::exists(unit.Host("HDD/new.txt")));
}

// ---- the tree ----

TEST_F(FileSystemTest, TreeListsFindsAndFillsClientNodes)
{
    Write("HDD/Music/b.mp3");
    Write("HDD/Music/a.MP3");
    Write("HDD/Music/c.txt");
    Write("HDD/Music/h.mp3");
    SetFileAttributesW(u"\\HDD\\Music\\h.mp3", FILE_ATTRIBUTE_HIDDEN);
    fs::create_directories(unit.Host("HDD/Music/Album/Deep"));
    IxFileSystem files;
    files.SetAttributeMask(FILE_ATTRIBUTE_HIDDEN);
    IxFolderNode* root = files.AddRoot(nullptr, u"\\HDD");
    files.Expand(root, 3);
    IxFolderNode* music = files.FindNode(u"\\hdd\\Music\\");
    ASSERT_NE(music, nullptr);
    EXPECT_EQ(music->m_arrFiles.Count(), 3);
    EXPECT_EQ(files.FindNode(u"\\HDD\\music"), nullptr); // children by exact name
    IxFolderNode* deep = files.FindNode(u"\\HDD\\Music\\Album\\Deep");
    ASSERT_NE(deep, nullptr);
    IxString path;
    IxFileSystem::GetNodePath(deep, TRUE, path);
    EXPECT_EQ(Utf8(path.Text()), "\\HDD\\Music\\Album\\Deep\\");

    files.FindNode(u"\\HDD\\Music\\Album")->m_dwFlags |= IXFN_WATCHED;
    IxFolderNode client(u"\\HDD", nullptr);
    IxFolderNode* clientMusic = client.AppendChild(u"Music");
    const LPCWSTR exts[] = {u"mp3"};
    ASSERT_TRUE(files.FillFiles(clientMusic, exts, 1));
    EXPECT_EQ(clientMusic->m_arrFiles.Count(), 2);
    EXPECT_TRUE(clientMusic->m_dwFlags & IXFN_FILLED);
    ASSERT_EQ(clientMusic->m_nChildren, 1);
    EXPECT_TRUE(clientMusic->m_pFirstChild->m_dwFlags & IXFN_CACHEWATCHED);
    IxStringArray existing, watched;
    files.CollectExisting(clientMusic, existing);
    files.CollectWatched(root, watched);
    ASSERT_EQ(existing.Count(), 1);
    EXPECT_EQ(Utf8(existing.TextAt(0)), "Album");
    ASSERT_EQ(watched.Count(), 1);
    EXPECT_EQ(Utf8(watched.TextAt(0)), "\\HDD\\Music\\Album");

    // A client root the cache does not know is stale until it appears.
    IxFolderNode other(u"\\Storage Card", nullptr);
    EXPECT_TRUE(files.MarkStale(&other));
    EXPECT_FALSE(files.MarkStale(&other));
    EXPECT_TRUE(other.m_dwFlags & IXFN_STALE);
    files.AddRoot(nullptr, u"\\Storage Card");
    EXPECT_TRUE(files.MarkStale(&other));
    EXPECT_FALSE(other.m_dwFlags & IXFN_STALE);

    EXPECT_TRUE(files.AddFile(clientMusic, u"Z.mp3"));
    EXPECT_TRUE(files.AddFile(clientMusic, u"z.MP3"));
    EXPECT_EQ(clientMusic->m_arrFiles.Count(), 3);
    EXPECT_TRUE(files.RemoveFile(clientMusic, u"z.mp3"));
    EXPECT_EQ(clientMusic->m_arrFiles.Count(), 2);
}

TEST_F(FileSystemTest, RefreshRecordsWhatAppearedAndVanishedOnce)
{
    Write("HDD/Music/a.mp3");
    Write("HDD/Music/b.mp3");
    fs::create_directory(unit.Host("HDD/Music/Old"));
    IxFileSystem files;
    Listener listener;
    files.AddListener(&listener);
    IxFolderNode* root = files.AddRoot(nullptr, u"\\HDD");
    files.Expand(root, 2);

    fs::rename(unit.Host("HDD/Music/a.mp3"), unit.Host("HDD/Music/c.mp3"));
    fs::remove(unit.Host("HDD/Music/Old"));
    fs::create_directory(unit.Host("HDD/Music/New"));
    IxStringArray paths;
    paths.AddText(u"\\HDD\\Music");
    files.UpdateByNotification(paths);
    // Appearances in listing order as the merge meets them, what is left over
    // at the end vanished.
    EXPECT_EQ(listener.seen,
              (std::vector<std::string>{"4 file \\HDD\\Music\\c.mp3", "3 file \\HDD\\Music\\a.mp3",
                                        "4 dir \\HDD\\Music\\New", "3 dir \\HDD\\Music\\Old"}));
    EXPECT_EQ(listener.done, 1);
    EXPECT_EQ(files.GetChanges().Count(), 0);
    IxFolderNode* music = files.FindNode(u"\\HDD\\Music");
    ASSERT_EQ(music->m_arrFiles.Count(), 2);
    EXPECT_EQ(Utf8(music->m_arrFiles.TextAt(0)), "b.mp3");
    EXPECT_EQ(Utf8(music->m_arrFiles.TextAt(1)), "c.mp3");

    // Nothing changed: nothing recorded, the listeners still hear the end.
    listener.seen.clear();
    files.UpdateByNotification(paths);
    EXPECT_TRUE(listener.seen.empty());
    EXPECT_EQ(listener.done, 2);

    // The folder gone: everything it held vanished.
    fs::remove_all(unit.Host("HDD/Music"));
    files.UpdateByNotification(paths);
    EXPECT_EQ(listener.seen,
              (std::vector<std::string>{"3 file \\HDD\\Music\\b.mp3", "3 file \\HDD\\Music\\c.mp3",
                                        "3 dir \\HDD\\Music\\New"}));
    files.RemoveListener(&listener);
}

} // namespace
