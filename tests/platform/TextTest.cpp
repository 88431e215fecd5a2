#include "platform/base/Text.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

TEST(Text, ComparisonsIgnoreTheCaseOfAsciiAndLatin1Only)
{
    struct Case {
        std::u16string a;
        std::u16string b;
        bool names;     // FoldCase
        bool fileNames; // FoldFileNameCase
    };
    const Case cases[] = {
        {u"Wren.EXE", u"wren.exe", true, true},
        {u"\u00C4RGER", u"\u00E4rger", true, true},      // Latin-1
        {u"\u00D7", u"\u00F7", false, false},            // the multiplication sign is no capital
        {u"\u0391\u0392", u"\u03B1\u03B2", false, true}, // Greek
        {u"\u0416", u"\u0436", false, true},             // Cyrillic
        {u"\u0401", u"\u0451", false, true},
        {u"abc", u"abcd", false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(platform::EqualsIgnoringCase(c.a, c.b), c.names) << platform::ToUtf8(c.a);
        EXPECT_EQ(platform::EqualsIgnoringCase(c.a, c.b, platform::FoldFileNameCase), c.fileNames)
            << platform::ToUtf8(c.a);
        EXPECT_EQ(lstrcmpiW(c.a.c_str(), c.b.c_str()) == 0, c.names) << platform::ToUtf8(c.a);
    }
}

TEST(Text, PrefixSearchFoldAndOrderWithoutCase)
{
    EXPECT_TRUE(platform::StartsWithIgnoringCase(u"\\Storage Card\\Music", u"\\STORAGE card"));
    EXPECT_FALSE(platform::StartsWithIgnoringCase(u"\\Stor", u"\\Storage"));
    EXPECT_TRUE(platform::StartsWithIgnoringCase(u"x", u""));

    EXPECT_EQ(platform::FindIgnoringCase(u"My Song.MP3", u".mp3"), 7u);
    EXPECT_EQ(platform::FindIgnoringCase(u"My Song.MP3", u"song"), 3u);
    EXPECT_EQ(platform::FindIgnoringCase(u"ab", u"abc"), std::u16string_view::npos);
    EXPECT_EQ(platform::FindIgnoringCase(u"ab", u""), 0u);

    EXPECT_EQ(platform::FoldText(u"HKEY_Local"), u"hkey_local");
    EXPECT_EQ(platform::FoldText(static_cast<LPCWSTR>(nullptr)), u"");

    // Keys that differ only in case are one key, in lstrcmpiW's order.
    std::map<std::u16string, int, platform::IgnoringCaseLess> keys;
    keys[u"Beta"] = 1;
    keys[u"ALPHA"] = 2;
    keys[u"beta"] = 3;
    keys[u"alphabet"] = 4;
    ASSERT_EQ(keys.size(), 3u);
    EXPECT_EQ(keys[u"BETA"], 3);
    auto it = keys.begin();
    EXPECT_EQ(it->first, u"ALPHA");
    EXPECT_EQ((++it)->first, u"alphabet");
    EXPECT_EQ((++it)->first, u"Beta");
}

} // namespace
