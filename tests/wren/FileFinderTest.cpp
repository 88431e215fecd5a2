// The file finder: how a search path splits into directory and pattern, the
// bound on both, and a search over a small folder of the unit.
#include "Source/shell/FileFinder.h"

#include "platform/base/Error.h"
#include "tests/common/TempUnit.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

namespace {

using shell::FileFinder;

std::u16string Repeat(char16_t c, std::size_t n)
{
    return std::u16string(n, c);
}

std::u16string Join(const std::u16string& a, const std::u16string& b)
{
    std::u16string out(a);
    out += b;
    return out;
}

std::string Narrow(LPCWSTR text)
{
    std::string out;
    for (; text && *text; ++text)
        out.push_back(static_cast<char>(*text));
    return out;
}

TEST(FileFinder, SplitsPathsIntoDirectoryAndPattern)
{
    struct Case {
        std::u16string path;
        const char* directory;
        const char* pattern;
    };
    const Case cases[] = {
        {u"\\ScreenSaver\\", "\\ScreenSaver\\", "*.*"},
        {u"\\ScreenSaver\\*.jpg", "\\ScreenSaver\\", "*.jpg"},
        {u"photo.jpg", "/", "photo.jpg"},
        {u"\\a.bmp", "/", "a.bmp"},
        {u"/", "/", "*.*"},
        {u"", "/", "*.*"},
        {u"\\NAND/Wren\\x?.png", "\\NAND/Wren\\", "x?.png"},
        {u"NAND/Pics/", "NAND/Pics/", "*.*"},
    };
    for (const Case& c : cases) {
        WCHAR directory[MAX_PATH];
        WCHAR pattern[MAX_PATH];
        ASSERT_TRUE(FileFinder::SplitPath(c.path.c_str(), directory, pattern)) << Narrow(c.path.c_str());
        EXPECT_EQ(Narrow(directory), c.directory) << Narrow(c.path.c_str());
        EXPECT_EQ(Narrow(pattern), c.pattern) << Narrow(c.path.c_str());
    }
}

TEST(FileFinder, RefusesPathsThatDoNotFit)
{
    // The search path (directory + pattern) must leave room for the zero.
    struct Case {
        std::u16string path;
        bool fits;
    };
    const Case cases[] = {
        {Join(u"\\", Repeat(u'a', MAX_PATH - 2)), true},  // "/" + 258 = 259
        {Join(u"\\", Repeat(u'a', MAX_PATH - 1)), false}, // "/" + 259 = 260
        {Join(Repeat(u'd', MAX_PATH - 5), u"\\"), true},  // 256 + "*.*" = 259
        {Join(Repeat(u'd', MAX_PATH - 4), u"\\"), false}, // 257 + "*.*" = 260
        {Join(Repeat(u'd', 200), Join(u"\\", Repeat(u'n', 59))), false},
        {Join(Repeat(u'd', 200), Join(u"\\", Repeat(u'n', 58))), true},
        {Join(u"\\", Repeat(u'x', 4000)), false},
    };
    for (const Case& c : cases) {
        WCHAR directory[MAX_PATH];
        WCHAR pattern[MAX_PATH];
        SetLastError(0);
        EXPECT_EQ(FileFinder::SplitPath(c.path.c_str(), directory, pattern), c.fits) << c.path.size();
        if (!c.fits) {
            EXPECT_EQ(GetLastError(), ERROR_FILENAME_EXCED_RANGE);
            EXPECT_EQ(directory[0], 0);
            EXPECT_EQ(pattern[0], 0);
        }
    }
    WCHAR directory[MAX_PATH];
    WCHAR pattern[MAX_PATH];
    EXPECT_FALSE(FileFinder::SplitPath(nullptr, directory, pattern));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

    FileFinder finder;
    EXPECT_FALSE(finder.FindFirst(Join(u"\\NAND\\", Repeat(u'x', 4000)).c_str()));
    EXPECT_EQ(finder.GetDirectory(), nullptr);
    EXPECT_FALSE(finder.FindNext());
}

TEST(FileFinder, WalksTheEntriesOfAFolder)
{
    TempUnit unit;
    ASSERT_TRUE(unit.IsOpen());
    std::filesystem::create_directories(unit.Host("NAND/ScreenSaver/sub"));
    for (const char* name : {"a.bmp", "b.jpg", "c.bmp"})
        std::ofstream(unit.Host(std::string("NAND/ScreenSaver/") + name)) << "x";

    FileFinder finder;
    EXPECT_FALSE(finder.FindNext()); // before any search
    EXPECT_EQ(finder.GetFileName(), nullptr);

    ASSERT_TRUE(finder.FindFirst(u"\\NAND\\ScreenSaver\\"));
    EXPECT_EQ(Narrow(finder.GetDirectory()), "\\NAND\\ScreenSaver\\");
    EXPECT_EQ(Narrow(finder.GetPattern()), "*.*");
    std::set<std::string> all;
    std::set<std::string> folders;
    do {
        all.insert(Narrow(finder.GetFileName()));
        if (finder.IsDirectory())
            folders.insert(Narrow(finder.GetFileName()));
    } while (finder.FindNext());
    EXPECT_EQ(all, (std::set<std::string>{"a.bmp", "b.jpg", "c.bmp", "sub"}));
    EXPECT_EQ(folders, std::set<std::string>{"sub"});
    EXPECT_NE(finder.GetDirectory(), nullptr); // open until closed

    ASSERT_TRUE(finder.FindFirst(u"\\NAND\\ScreenSaver\\*.bmp"));
    std::set<std::string> pictures;
    do
        pictures.insert(Narrow(finder.GetFileName()));
    while (finder.FindNext());
    EXPECT_EQ(pictures, (std::set<std::string>{"a.bmp", "c.bmp"}));

    finder.Close();
    EXPECT_EQ(finder.GetDirectory(), nullptr);
    EXPECT_FALSE(finder.FindNext());
    EXPECT_FALSE(finder.FindFirst(u"\\NAND\\ScreenSaver\\*.png"));
    EXPECT_EQ(finder.GetDirectory(), nullptr);
}

} // namespace
