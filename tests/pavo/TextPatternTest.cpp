#include "Lib_cpp/fs/TextPattern.h"
#include "Lib_cpp/fs/DeviceManager.h"
#include "platform/base/Text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Utf8(const IxString& s)
{
    return platform::ToUtf8(s.Text());
}

std::string Time(LPCWSTR pattern, DWORD value)
{
    IxString out;
    EXPECT_TRUE(FormatTimeText(pattern, value, out));
    return Utf8(out);
}

std::string Path(LPCWSTR pattern, LPCWSTR path)
{
    IxString out;
    EXPECT_TRUE(FormatPathText(pattern, path, out));
    return Utf8(out);
}

TEST(TextPattern, NumberPatterns)
{
    struct Case {
        LPCWSTR pattern;
        DWORD value;
        const char* expected;
    } cases[] = {
        {u"<hour%02d>:<min%02d>:<sec%02d>", 3725, "01:02:05"},
        {u" / <hour%02d>:<min%02d>:<sec%02d>", 3725, " / 01:02:05"},
        {u"[TotalTitleTime]<hour%02d>:<min%02d>:<sec%02d>", 7322, "[TotalTitleTime]02:02:02"},
        {u"[TotlaChapterTime]<hour%02d>:<min%02d>:<sec%02d>", 61, "[TotlaChapterTime]00:01:01"},
        {u"</10%10>MHz", 10790, "107.9MHz"},
        {u"</10%10>", 8750, "87.5"},
        {u"</1>kHz", 1440, "1440kHz"},
        {u"</1>", 531, "531"},
        {u"<%100>Mhz", 10790, "107.90Mhz"},
        {u"<%100>Khz", 153, "1.53Khz"},
        {u"<min%02d>:<sec%02d>", 59, "00:59"},
        {u"<hour+%d:><min%02d>", 3600, "1:00"},
        {u"<hour+%d:><min%02d>", 59, "00"},
        {u"<%100>", 5, "0.05"},
        {u"</1%1>", 7, "7."},
        {u"<<hour>", 3725, "<hour>"},
        // Tag names by prefix and without case.
        {u"<HOUR%02d>", 7200, "02"},
        {u"<hours%02d>", 7200, "s02"},
        {u"<Sec>", 61, "1"},
        // Any other tag: the raw value with the format after three characters.
        {u"<val%05d>", 42, "00042"},
        {u"<raw>", 42, "42"},
        {u"<ab>", 42, "42"},
        {u"<val%x>-<val%#X>-<val%o>", 255, "ff-0XFF-377"},
        {u"<val%-4d>|<val%+d>|<val% d>|<val%.3d>|<val%4.3u>", 7, "7   |+7| 7|007| 007"},
        {u"<val100%%>", 1, "100%"},
        {u"<val%hd>", 0x10005, "5"},
        {u"<val%d>", 0xFFFFFFFF, "-1"},
        {u"<val%u>", 0xFFFFFFFF, "4294967295"},
        // The fixed-point writer pads the remainder to the divisor's digits.
        {u"<%1000>", 1005, "1.005"},
        {u"<%60>", 65, "1.05"},
        {u"<%0>", 1234, "0.0"},
        {u"<%>", 1234, "0.0"},
        {u"</0>", 12, "12"},
        {u"</%10>", 123, "12.3"},
        // Negative values keep the sign of quotient and remainder.
        {u"<%100>", static_cast<DWORD>(-105), "-1.-5"},
        {u"</10>", static_cast<DWORD>(-105), "-10"},
        // A missing '>' ends the tag at the end of the pattern.
        {u"at <sec%02d", 5, "at 05"},
        {u"x<", 5, "x5"},
        {u"<>", 5, "5"},
        // An empty pattern gives the value in decimal.
        {u"", 4000000000u, "4000000000"},
        {nullptr, 12, "12"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Time(c.pattern, c.value), c.expected) << (c.pattern ? platform::ToUtf8(c.pattern) : "(null)");
}

TEST(TextPattern, OnlyOneIntegerConversionIsAccepted)
{
    struct Case {
        LPCWSTR pattern;
        const char* expected;
    } cases[] = {
        {u"[<val%s>]", "[]"},   {u"[<val%n>]", "[]"},
        {u"[<val%f>]", "[]"},   {u"[<val%*d>]", "[]"},
        {u"[<val%d%d>]", "[]"}, {u"[<val%>]", "[]"},
        {u"[<val%ld>]", "[9]"}, {u"[<hour%p>]", "[]"},
        {u"[<min%lls>]", "[]"}, {u"[<val no conversion>]", "[ no conversion]"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Time(c.pattern, 9), c.expected) << platform::ToUtf8(c.pattern);
}

TEST(TextPattern, OverlongExpansionsAreCut)
{
    // Widths far beyond the buffer, long literal text, many tags.
    std::u16string wide = u"<val%999999999d>";
    EXPECT_EQ(Time(wide.c_str(), 1).size(), static_cast<std::size_t>(kIxTimeTextChars - 1));
    std::string padded = Time(u"<val%-100000d>", 1);
    EXPECT_EQ(padded.size(), static_cast<std::size_t>(kIxTimeTextChars - 1));
    EXPECT_EQ(padded[0], '1');
    std::u16string many;
    for (int i = 0; i < 100; ++i)
        many += u"<hour%02d>:";
    std::string out = Time(many.c_str(), 3725);
    ASSERT_EQ(out.size(), static_cast<std::size_t>(kIxTimeTextChars - 1));
    EXPECT_EQ(out.substr(0, 6), "01:01:");
    EXPECT_EQ(Time(u"<%99999999999999999999>", 5), "0.0000000005");

    std::u16string longPath = u"\\HDD\\" + std::u16string(2000, u'a') + u".mp3";
    EXPECT_EQ(Path(u"<fileext>", longPath.c_str()).size(), static_cast<std::size_t>(kIxPathTextChars - 1));
    std::u16string repeated;
    for (int i = 0; i < 300; ++i)
        repeated += u"<root>";
    EXPECT_EQ(Path(repeated.c_str(), u"\\HDD\\x").size(), static_cast<std::size_t>(kIxPathTextChars - 1));
    // An empty pattern hands the path back whole.
    EXPECT_EQ(Path(u"", longPath.c_str()).size(), longPath.size());
}

TEST(TextPattern, CursorNeverWritesPastItsBuffer)
{
    WCHAR buffer[6] = {u'#', u'#', u'#', u'#', u'#', u'#'};
    IxTextCursor cursor(buffer, 5);
    cursor.Write(u"abcdefgh");
    cursor.Put(u'z');
    EXPECT_EQ(cursor.Length(), 4);
    EXPECT_EQ(std::u16string(buffer), u"abcd");
    EXPECT_EQ(buffer[5], u'#');

    WCHAR small[8];
    IxTextCursor fixed(small, 8);
    FormatFixedPoint(u"100abc", 12345, fixed);
    EXPECT_EQ(std::u16string(small), u"123.45");
    IxTextCursor format(small, 8);
    EXPECT_TRUE(FormatIntegerSpec(u"+%d", 0, format));
    EXPECT_EQ(format.Length(), 0);
    EXPECT_FALSE(FormatIntegerSpec(u"%s", 1, format));
    EXPECT_EQ(format.Length(), 0);
}

class TextPatternPath : public ::testing::Test {
protected:
    // Alias 10 "Navi" binds to the second card, as when the navigation
    // program sits in the second slot.
    class Manager : public IxDeviceManager {
    public:
        Manager() : IxDeviceManager(FALSE) {}
        int PreferredTarget(int alias) override { return alias == 10 ? 11 : 0; }
    };

    void SetUp() override
    {
        ASSERT_EQ(IxGetDeviceManager(), &manager);
        manager.AddAlias(10, u"Navi", u"\\S", 1);
        manager.AddDevice(10, u"\\Storage Card", 650, 20, 0, 0);
        manager.AddDevice(11, u"\\Storage Card2", 0, 0, 0, 0);
        manager.AddDevice(12, u"\\HDD", 200, 10, 0, 0);
        manager.SetDisplayName(12, u"USB");
        manager.ActionIsInvoked(IXA_ALIASNOTICE, AEV_ATTACH, 10);
        ASSERT_EQ(manager.GetAliasTarget(10), 11);
    }

    Manager manager;
};

TEST_F(TextPatternPath, PathPatterns)
{
    struct Case {
        LPCWSTR pattern;
        LPCWSTR path;
        const char* expected;
    } cases[] = {
        {u"<fileext>", u"\\HDD\\Music\\song.mp3", "song.mp3"},
        {u"<file>", u"\\HDD\\Music\\song.mp3", "song"},
        {u"<ext>", u"\\HDD\\Music\\song.mp3", "mp3"},
        {u"<root>", u"\\HDD\\Music\\song.mp3", "HDD"},
        {u"<dev><dir>", u"\\HDD\\Music\\song.mp3", "USB\\Music"},
        {u"<last>", u"\\HDD\\Music\\song.mp3", "song.mp3"},
        {u"<last>", u"\\HDD\\Music\\", "Music"},
        {u"<file>", u"\\HDD\\README", ""},
        {u"<ext>", u"\\HDD\\README", ""},
        {u"<fileext>", u"\\HDD\\README", "README"},
        {u"<file>", u"\\HDD\\v1.2\\a.b.c", "a.b"},
        {u"<ext>", u"\\HDD\\v1.2\\README", ""},
        {u"<dir>", u"\\Storage Card\\Music\\a.mp3", "\\Music"},
        {u"<dir>", u"\\Storage Card\\Music\\Live\\a.mp3", "\\Music\\Live"},
        {u"<dir>", u"\\Storage Card\\a.mp3", ""},
        {u"<dir>", u"\\Storage Card\\Music\\", "\\Music"},
        {u"<dir>", u"\\Storage Card", ""},
        {u"<root>", u"\\Storage Card\\a.mp3", "Storage Card"},
        {u"<dev>", u"\\Storage Card2\\a.mp3", "Navi"},
        {u"<dev>", u"\\STORAGE CARD\\a.mp3", "\\Storage Card"},
        {u"<dev>", u"\\Nowhere\\a.mp3", ""},
        {u"<dev>", u"\\HD", ""},
        {u"<DEV>: <FileExt>", u"\\HDD\\x.txt", "USB: x.txt"},
        {u"<<fileext>", u"\\HDD\\x.txt", "<fileext>"},
        {u"[<unknown>]", u"\\HDD\\x.txt", "[]"},
        {u"<fileext", u"\\HDD\\x.txt", "x.txt"},
        {u"", u"\\HDD\\x.txt", "\\HDD\\x.txt"},
        {u"<fileext>", u"", ""},
        {u"text", nullptr, ""},
        {u"<fileext>", u"plain.txt", "plain.txt"},
        {u"<root>/<dir>", u"HDD\\a\\b.txt", "HDD/\\a"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Path(c.pattern, c.path), c.expected)
            << platform::ToUtf8(c.pattern) << " on " << (c.path ? platform::ToUtf8(c.path) : "(null)");
}

TEST_F(TextPatternPath, DisplayNameLookupMatchesTheWholePathWithoutCase)
{
    IxString name;
    EXPECT_EQ(manager.GetDisplayName(u"\\storage card2\\x", 14, name), 10);
    EXPECT_EQ(Utf8(name), "Navi");
    name.Assign(u"keep");
    EXPECT_EQ(manager.GetDisplayName(u"\\HDD", 4, name), 0);
    EXPECT_EQ(Utf8(name), "USB");
    name.Assign(u"keep");
    EXPECT_EQ(manager.GetDisplayName(u"\\Storage Card2", 13, name), 0); // "\Storage Card"
    EXPECT_EQ(Utf8(name), "\\Storage Card");
    name.Assign(u"keep");
    EXPECT_EQ(manager.GetDisplayName(u"\\HDDX", 5, name), 0);
    EXPECT_EQ(Utf8(name), "keep");
}

TEST(TextPatternNoManager, DeviceTagWritesNothingWithoutAManager)
{
    ASSERT_EQ(IxGetDeviceManager(), nullptr);
    EXPECT_EQ(Path(u"[<dev>]<dir>", u"\\HDD\\Music\\a.mp3"), "[]\\Music");
}

} // namespace
