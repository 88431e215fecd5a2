#include "platform/io/Registry.h"

#include "platform/base/Debug.h"
#include "platform/base/Text.h"
#include "platform/io/Io.h"
#include "platform/io/RegistryInternal.h"

#include "tests/common/TempRoot.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::vector<BYTE> Bytes(std::u16string_view text, bool terminated = true)
{
    std::vector<BYTE> bytes;
    for (char16_t c : text) {
        bytes.push_back(static_cast<BYTE>(c & 0xFF));
        bytes.push_back(static_cast<BYTE>(c >> 8));
    }
    if (terminated)
        bytes.insert(bytes.end(), {0, 0});
    return bytes;
}

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteAll(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// Each test gets a unit root of its own and a store read from it.
class Registry : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::SetRegistrySaveFault(platform::RegistrySaveFault::None);
        platform::ReloadRegistry();
        m_openKeys = platform::OpenRegistryKeyCount();
    }

    void TearDown() override
    {
        platform::SetRegistrySaveFault(platform::RegistrySaveFault::None);
        EXPECT_EQ(platform::OpenRegistryKeyCount(), m_openKeys);
        m_temp.Restore();
        platform::ReloadRegistry();
    }

    HKEY Create(LPCWSTR path, DWORD* disposition = nullptr)
    {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, disposition),
                  ERROR_SUCCESS);
        return key;
    }

    LONG SetDword(HKEY key, LPCWSTR name, DWORD value)
    {
        return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    }

    DWORD GetDword(HKEY key, LPCWSTR name)
    {
        DWORD value = 0, type = 0, size = sizeof value;
        EXPECT_EQ(RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size), ERROR_SUCCESS);
        EXPECT_EQ(type, REG_DWORD);
        return value;
    }

    TempRoot m_temp{"wren-registry"};
    const std::string& m_root = m_temp.Root();
    std::size_t m_openKeys = 0;
};

TEST_F(Registry, CreatesKeysOnTheWayAndOpensThemIgnoringCase)
{
    DWORD disposition = 0;
    HKEY lumo = Create(u"SOFTWARE\\QMR\\Lumo", &disposition);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    HKEY again = Create(u"software\\qmr\\LUMO", &disposition);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);

    HKEY qmr = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Qmr", 0, KEY_READ, &qmr), ERROR_SUCCESS);
    HKEY voice = reinterpret_cast<HKEY>(1);
    EXPECT_EQ(RegOpenKeyExW(qmr, u"VOICE", 0, KEY_READ, &voice), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(voice, nullptr);

    // Below an open key, and the key itself again.
    HKEY child = nullptr;
    EXPECT_EQ(RegCreateKeyExW(qmr, u"VOICE", 0, nullptr, 0, 0, nullptr, &child, &disposition), ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    HKEY same = nullptr;
    EXPECT_EQ(RegOpenKeyExW(lumo, nullptr, 0, 0, &same), ERROR_SUCCESS);
    EXPECT_EQ(SetDword(same, u"MenuType", 2), ERROR_SUCCESS);
    EXPECT_EQ(GetDword(again, u"MENUTYPE"), 2u);

    // A name keeps the case it was created with.
    const std::string file = ReadAll(platform::RegistryFilePath());
    EXPECT_NE(file.find("\"SOFTWARE\\\\QMR\\\\VOICE\""), std::string::npos) << file;

    for (HKEY key : {lumo, again, qmr, child, same})
        EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

TEST_F(Registry, ValuesComeBackExactlyAfterARestart)
{
    struct Case {
        LPCWSTR name;
        DWORD type;
        std::vector<BYTE> data;
    };
    const std::vector<Case> cases = {
        {u"MenuType", REG_DWORD, {1, 0, 0, 0}},
        {u"VOICEINFOPATH", REG_SZ, Bytes(u"\\NAND\\VOICEINFO.ENV")},
        {u"Korean \"quoted\"", REG_SZ, Bytes(u"\uB124\uBE44 \"a\\b\"\r\n\t\U0001F600")},
        {u"", REG_SZ, Bytes(u"default value")},
        {u"Unterminated", REG_SZ, Bytes(u"abc", false)},
        {u"Odd", REG_SZ, {0x41, 0x00, 0x42}},
        {u"Lone surrogate", REG_SZ, Bytes(u"\xD800x")},
        {u"Blob", REG_BINARY, {0x00, 0xFF, 0x10, 0x00}},
        {u"Empty", REG_BINARY, {}},
        {u"Multi", REG_MULTI_SZ, Bytes(std::u16string(u"a\0b\0", 4))},
    };
    HKEY key = Create(u"Drivers\\Halyard\\CONFIG");
    for (const Case& c : cases)
        EXPECT_EQ(RegSetValueExW(key, c.name, 0, c.type, c.data.data(), static_cast<DWORD>(c.data.size())),
                  ERROR_SUCCESS);

    platform::ReloadRegistry();

    for (const Case& c : cases) {
        SCOPED_TRACE(platform::ToUtf8(c.name));
        std::vector<BYTE> data(64, 0xCC);
        DWORD type = 0, size = static_cast<DWORD>(data.size());
        ASSERT_EQ(RegQueryValueExW(key, c.name, nullptr, &type, data.data(), &size), ERROR_SUCCESS);
        data.resize(size);
        EXPECT_EQ(type, c.type);
        EXPECT_EQ(data, c.data);
    }
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

TEST_F(Registry, QueryTellsTheSizeAndRefusesShortBuffers)
{
    HKEY key = Create(u"SOFTWARE\\QMR\\VOICE");
    const std::vector<BYTE> text = Bytes(u"\\Storage Card");
    ASSERT_EQ(RegSetValueExW(key, u"VOICEINFOPATH", 0, REG_SZ, text.data(), static_cast<DWORD>(text.size())),
              ERROR_SUCCESS);

    DWORD type = 0, size = 0;
    EXPECT_EQ(RegQueryValueExW(key, u"voiceinfopath", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, text.size());

    std::vector<BYTE> small(4, 0xCC);
    size = static_cast<DWORD>(small.size());
    EXPECT_EQ(RegQueryValueExW(key, u"VOICEINFOPATH", nullptr, &type, small.data(), &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, text.size());
    EXPECT_EQ(small, std::vector<BYTE>(4, 0xCC));

    std::vector<BYTE> exact(text.size());
    EXPECT_EQ(RegQueryValueExW(key, u"VOICEINFOPATH", nullptr, nullptr, exact.data(), &size), ERROR_SUCCESS);
    EXPECT_EQ(exact, text);

    EXPECT_EQ(RegQueryValueExW(key, u"DEVICEDISPFULL", nullptr, &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegQueryValueExW(key, u"VOICEINFOPATH", nullptr, nullptr, exact.data(), nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

TEST_F(Registry, ValueNamesIgnoreCaseAndDeletedValuesStayDeleted)
{
    HKEY key = Create(u"SOFTWARE\\QMR\\Lumo");
    EXPECT_EQ(SetDword(key, u"GPS_DATA_TYPE", 1), ERROR_SUCCESS);
    EXPECT_EQ(SetDword(key, u"gps_data_type", 2), ERROR_SUCCESS); // the same value
    EXPECT_EQ(SetDword(key, u"VolumeType", 3), ERROR_SUCCESS);
    EXPECT_EQ(GetDword(key, u"Gps_Data_Type"), 2u);

    EXPECT_EQ(RegDeleteValueW(key, u"VOLUMETYPE"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueW(key, u"VolumeType"), ERROR_FILE_NOT_FOUND);
    platform::ReloadRegistry();
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExW(key, u"VolumeType", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(GetDword(key, u"GPS_DATA_TYPE"), 2u);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

TEST_F(Registry, BadHandlesAndArgumentsAreRefused)
{
    HKEY key = Create(u"SOFTWARE");
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(SetDword(key, u"x", 1), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(nullptr), ERROR_INVALID_HANDLE);

    const BYTE three[3] = {1, 2, 3};
    EXPECT_EQ(RegSetValueExW(HKEY_LOCAL_MACHINE, u"x", 0, REG_DWORD, three, 3), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegSetValueExW(HKEY_LOCAL_MACHINE, u"x", 0, REG_BINARY, nullptr, 3), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"a", 0, nullptr, 0, 0, nullptr, nullptr, nullptr),
              ERROR_INVALID_PARAMETER);
}

// A power cut while saving: the temporary file is half written, or written
// but not yet renamed over the store.
TEST_F(Registry, ACrashDuringSaveKeepsThePreviousContent)
{
    for (auto fault : {platform::RegistrySaveFault::HalfWritten, platform::RegistrySaveFault::BeforeRename}) {
        SCOPED_TRACE(static_cast<int>(fault));
        HKEY key = Create(u"SOFTWARE\\QMR\\Lumo");
        ASSERT_EQ(SetDword(key, u"MenuImage", 1), ERROR_SUCCESS);

        platform::SetRegistrySaveFault(fault);
        EXPECT_EQ(SetDword(key, u"MenuImage", 2), ERROR_GEN_FAILURE);
        EXPECT_EQ(GetDword(key, u"MenuImage"), 1u); // a change that was not saved is not kept
        EXPECT_TRUE(fs::exists(platform::RegistryFilePath() + ".tmp"));

        platform::SetRegistrySaveFault(platform::RegistrySaveFault::None);
        platform::ReloadRegistry();
        EXPECT_EQ(GetDword(key, u"MenuImage"), 1u);

        // The next save goes through over the left-over temporary file.
        EXPECT_EQ(SetDword(key, u"MenuImage", 3), ERROR_SUCCESS);
        platform::ReloadRegistry();
        EXPECT_EQ(GetDword(key, u"MenuImage"), 3u);
        EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    }
}

// The unit sets the same values at every start: a value set to what it
// holds writes nothing (a save that would fail is never tried).
TEST_F(Registry, AChangeThatChangesNothingIsNotWritten)
{
    HKEY key = Create(u"SOFTWARE\\QMR\\Lumo");
    ASSERT_EQ(SetDword(key, u"MenuImage", 1), ERROR_SUCCESS);
    platform::SetRegistrySaveFault(platform::RegistrySaveFault::HalfWritten);
    EXPECT_EQ(SetDword(key, u"MenuImage", 1), ERROR_SUCCESS);
    EXPECT_FALSE(fs::exists(platform::RegistryFilePath() + ".tmp"));
    EXPECT_EQ(SetDword(key, u"MenuImage", 2), ERROR_GEN_FAILURE); // a real change still is
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

TEST_F(Registry, ADamagedOrForeignFileIsSetAsideAndTheStoreStartsEmpty)
{
    struct Case {
        const char* what;
        std::string (*damage)(std::string);
    };
    const Case cases[] = {
        {"garbage", [](std::string) { return std::string("\x01\x02\xff garbage\n"); }},
        {"empty", [](std::string) { return std::string(); }},
        {"cut short", [](std::string s) { return s.substr(0, s.size() / 2); }},
        {"one byte changed",
         [](std::string s) {
             s[s.find("0x") + 9] ^= 1;
             return s;
         }},
        {"foreign header", [](std::string s) { return "REGEDIT4" + s.substr(s.find('\n')); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        HKEY key = Create(u"Drivers\\Halyard\\CONFIG");
        ASSERT_EQ(SetDword(key, u"CODEC_BASE", 0x1234), ERROR_SUCCESS);
        ASSERT_EQ(RegCloseKey(key), ERROR_SUCCESS);

        const std::string path = platform::RegistryFilePath();
        const std::string damaged = c.damage(ReadAll(path));
        WriteAll(path, damaged);
        platform::DebugCapture capture;
        platform::ReloadRegistry();

        EXPECT_EQ(capture.Lines().size(), 1u);
        EXPECT_TRUE(capture.Contains("[registry]"));
        EXPECT_EQ(ReadAll(path + ".bad"), damaged);
        EXPECT_FALSE(fs::exists(path));
        EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Drivers\\Halyard\\CONFIG", 0, 0, &key), ERROR_FILE_NOT_FOUND);
    }
}

// A well-formed file whose values the writer never writes: a DWORD that is
// not 4 bytes would be reported with its short size and leave the rest of
// the caller's buffer unchanged. The file is refused as a whole.
TEST_F(Registry, StoredValuesThatDoNotFitTheirTypeAreRefused)
{
    const std::string body = "WrenRegistry 1\nkey \"\"\nkey \"Drivers\"\n";
    const std::string big = "hex 3 \"Big\" " + std::string(2 * (platform::kMaxRegistryValueBytes + 1), '0') + "\n";
    const std::string lines[] = {"hex 4 \"Short\" 01\n", "hex 4 \"Long\" 0102030405\n", "hex 4 \"Empty\" \n", big};
    for (const std::string& line : lines) {
        SCOPED_TRACE(line.substr(0, 20));
        std::string file = body + line;
        char crc[16];
        std::snprintf(crc, sizeof crc, "end %08x\n", platform::RegistryChecksum(file));
        file += crc;
        std::string rewritten;
        const char* reason = "";
        EXPECT_FALSE(platform::RewriteRegistryStore(file, &rewritten, &reason));

        fs::create_directories(fs::path(platform::RegistryFilePath()).parent_path());
        WriteAll(platform::RegistryFilePath(), file);
        platform::DebugCapture capture;
        platform::ReloadRegistry();
        EXPECT_TRUE(capture.Contains("bad record"));
        HKEY key = nullptr;
        EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Drivers", 0, 0, &key), ERROR_FILE_NOT_FOUND);
    }
    // The same file with a 4-byte DWORD in hex loads.
    std::string file = body + "hex 4 \"Fits\" 01000000\n";
    char crc[16];
    std::snprintf(crc, sizeof crc, "end %08x\n", platform::RegistryChecksum(file));
    WriteAll(platform::RegistryFilePath(), file + crc);
    platform::ReloadRegistry();
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Drivers", 0, 0, &key), ERROR_SUCCESS);
    EXPECT_EQ(GetDword(key, u"Fits"), 1u);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

} // namespace
