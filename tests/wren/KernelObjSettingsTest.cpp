// CKernelObj's settings side on the simulated board: the settings push to
// the display driver, the audio processor and the micom for each EQ mode
// and for damaged records; the voice controller's file and the registry
// values; the last status in the Main record and the micom's block; the
// device-event routes and the card that holds the navigation program; the
// defaults and the factory reset with the GPS receiver on "COM4:"; the key
// translators' hold and repeat on the manual clock.
#include "Lib_cpp/core/ActionCodes.h"
#include "Source/models/ModelCenter.h"
#include "Source/models/ModelCodes.h"
#include "Source/models/SettingModel.h"
#include "Source/models/UnitLink.h"
#include "Source/screens/common/WindowedMessagePopup.h"
#include "Source/shell/KernelObj.h"
#include "Source/shell/KeyTranslators.h"
#include "Source/shell/SettingPush.h"
#include "Source/shell/ShellIds.h"
#include "platform/io/Device.h"
#include "platform/io/Io.h"
#include "platform/io/RawDisk.h"
#include "platform/io/Registry.h"
#include "platform/io/Serial.h"
#include "sim/AudioProcessor.h"
#include "sim/Display.h"
#include "sim/GpsReceiver.h"
#include "sim/Micom.h"
#include "tests/wren/ModelFixture.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using namespace modeltest;
namespace fs = std::filesystem;

std::string Hex(const BYTE* bytes, std::size_t size)
{
    std::string out;
    char text[4];
    for (std::size_t i = 0; i < size; ++i) {
        std::snprintf(text, sizeof(text), "%02X", bytes[i]);
        out += text;
    }
    return out;
}

std::vector<BYTE> ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<BYTE>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::string& text)
{
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

// Notes every control call of a driver as "NAME CODE BYTES", in order.
class Tracer : public platform::Device {
public:
    Tracer(std::string name, std::shared_ptr<platform::Device> inner, Log* log)
        : m_name(std::move(name)), m_inner(std::move(inner)), m_log(log)
    {
    }
    bool Open(DWORD access, DWORD share) override { return m_inner->Open(access, share); }
    BOOL IoControl(DWORD code, const BYTE* in, DWORD inSize, BYTE* out, DWORD outSize, DWORD* returned) override
    {
        char text[16];
        std::snprintf(text, sizeof(text), " %08X ", code);
        m_log->push_back(m_name + text + Hex(in, in ? inSize : 0));
        return m_inner->IoControl(code, in, inSize, out, outSize, returned);
    }
    void Close() override { m_inner->Close(); }

private:
    std::string m_name;
    std::shared_ptr<platform::Device> m_inner;
    Log* m_log;
};

// The GPS receiver, also noting the raw bytes and the baud rate it was set to.
class GpsLine : public sim::CGpsReceiver {
public:
    void OnReceive(const BYTE* data, std::size_t size) override
    {
        raw.append(reinterpret_cast<const char*>(data), size);
        sim::CGpsReceiver::OnReceive(data, size);
    }
    void OnStateChange(const DCB& dcb) override { baud = dcb.BaudRate; }
    void OnClose() override { ++closes; }

    std::string raw;
    DWORD baud = 0;
    int closes = 0;
};

// CKernelObj with the navigation steps it calls logged and its state
// reachable.
class TestKernelObj : public CKernelObj {
public:
    explicit TestKernelObj(Log* log) : log(log) {}
    void NaviIsFailed(int code) override { log->push_back(Say("NaviIsFailed ", code)); }
    void NaviIsClosed() override { log->push_back("NaviIsClosed"); }
    void LaunchNaviSafe() override { log->push_back("LaunchNaviSafe"); }
    void SetMode(int mode) { m_nMode = mode; }
    void SetNaviMode(int mode) { m_nNaviMode = mode; }
    void SetNaviAtFirst(BOOL on) { m_fNaviAtFirst = on; }
    void SetDaemons(int count) { m_nDaemons = count; }
    void SetNaviWords(int fidNavi, int permanent, int initMode, BOOL notLoad, int activity)
    {
        m_fidNavi = fidNavi;
        m_fidPermanent = permanent;
        m_nInitMode = initMode;
        m_bNotLoadNavi = notLoad;
        m_nActivity = activity;
    }
    void SetPrepared(BOOL on) { m_bPrepared = on; }
    void SetFactoryResetFlag() { m_bFactoryReset = TRUE; }
    int NaviMode() const { return m_nNaviMode; }
    int FidNavi() const { return m_fidNavi; }
    int InitMode() const { return m_nInitMode; }
    BOOL NotLoadNavi() const { return m_bNotLoadNavi; }
    int Activity() const { return m_nActivity; }

    Log* log;
};

class KernelObjSettings : public ModelFixture {
protected:
    void SetUp() override
    {
        ModelFixture::SetUp();
        micom = sim::CMicom::Install();
        audio = sim::CAudioProcessor::Install();
        display = sim::CDisplay::Install();
        fs::create_directories(unit.Host("NAND"));
        PrepareBoard();
        platform::RegisterDevice(u"NEC1:", std::make_shared<Tracer>("NEC1", micom, &calls));
        platform::RegisterDevice(u"ASP1:", std::make_shared<Tracer>("ASP1", audio, &calls));
        GetUnitLink().OpenDevices();
        core = new TestKernelObj(&log);
        frame->SetHook(core);
        {
            IxBusyScope busy(frame);
            core->OnEvent(IXEV_ATTACHED, 0);
        }
        Pump();
        Drain();
        calls.clear();
        log.clear();
    }
    void TearDown() override
    {
        frame->SetHook(nullptr);
        core->OnEvent(IXEV_DETACHED, 0);
        delete core;
        frame->SetActivePage(nullptr, 0, 0);
        GetUnitLink().CloseDevices();
        GetUnitLink().ResetStates();
        platform::RegisterSerialPeer(u"COM4:", nullptr);
        sim::CDisplay::Uninstall();
        sim::CAudioProcessor::Uninstall();
        sim::CMicom::Uninstall();
        ModelFixture::TearDown();
    }
    // What the board holds before the unit starts.
    virtual void PrepareBoard() {}
    void Drain()
    {
        {
            IxBusyScope busy(frame);
            frame->DrainEventQueue();
        }
        Pump();
    }
    void Wait(int ms)
    {
        for (int done = 0; done < ms; done += 100) {
            clock.Advance(static_cast<std::uint64_t>(std::min(100, ms - done)));
            Pump();
            Drain();
        }
    }
    // The driver calls of the push, without the status questions.
    Log Pushed()
    {
        Log out;
        for (const std::string& call : calls)
            if (call.rfind("NEC1 C1000070", 0) != 0 && call.rfind("NEC1 C100010C", 0) != 0)
                out.push_back(call);
        calls.clear();
        return out;
    }
    BYTE* Setting() { return GetSettingStatus(); }
    // The card-removal popup's text; empty when it is not up.
    std::u16string CardPopupText()
    {
        auto* popup = dynamic_cast<CWindowedMessagePopup*>(frame->IsLayerShown(FID_NAVI_DETACH_POPUP));
        return popup ? std::u16string(popup->GetText().Text()) : std::u16string();
    }
    void ClosePopup()
    {
        IxBusyScope busy(frame);
        frame->PopLayer(FID_NAVI_DETACH_POPUP);
    }

    std::shared_ptr<sim::CMicom> micom;
    std::shared_ptr<sim::CAudioProcessor> audio;
    std::shared_ptr<sim::CDisplay> display;
    TestKernelObj* core = nullptr;
    Log calls;
    Log log;
};

// ---------------------------------------------------------------------------
// The settings push

// The bands of an EQ request: "ASP1 C4000040 0B" + value.
Log Bands(std::vector<int> values)
{
    Log out{"ASP1 C4000060 00"};
    for (int band = 0; band < 7; ++band) {
        const BYTE bytes[2] = {static_cast<BYTE>(band + 1), static_cast<BYTE>(values[static_cast<std::size_t>(band)])};
        out.push_back("ASP1 C4000040 " + Hex(bytes, 2));
    }
    return out;
}

// What goes out before the EQ with the default record: balance and fader
// 15 and 15, effect 0, the micom byte 4, button type 0, gain 3 (sent as 2).
const Log kHead{"ASP1 C4000034 0F0F", "ASP1 C4000088 00", "NEC1 C1000100 04", "ASP1 C40000A0 00", "ASP1 C4000084 02"};

Log Join(const Log& a, const Log& b)
{
    Log out(a);
    out.insert(out.end(), b.begin(), b.end());
    return out;
}

TEST_F(KernelObjSettings, PushSendsTheRequestsOfEachEqModeInOrder)
{
    struct Case {
        const char* name;
        int mode;
        int userSet;
        std::vector<int> user; // the user set's seven values, when given
        Log expected;
    };
    const std::vector<int> flat{10, 10, 10, 10, 10, 10, 10};
    const Case cases[] = {
        {"mode 0, flat", 0, 0, {}, Join(kHead, Bands(flat))},
        {"mode 1", 1, 0, {}, Join(kHead, Bands({8, 12, 15, 13, 15, 14, 20}))},
        {"mode 2", 2, 0, {}, Join(kHead, Bands({15, 15, 9, 13, 15, 14, 20}))},
        {"mode 3", 3, 0, {}, Join(kHead, Bands({15, 15, 10, 6, 10, 15, 16}))},
        {"mode 4", 4, 0, {}, Join(kHead, Bands({10, 10, 10, 11, 10, 6, 2}))},
        {"mode 5, user set 2, clamped",
         5,
         2,
         {25, -3, 0, 20, 7, 10, 21},
         Join(kHead, Bands({20, 0, 0, 20, 7, 10, 20}))},
        {"mode 5, user set 0", 5, 0, {1, 2, 3, 4, 5, 6, 7}, Join(kHead, Bands({1, 2, 3, 4, 5, 6, 7}))},
        {"damaged: user set 7", 5, 7, {}, Join(kHead, Bands(flat))},
        {"damaged: user set -1", 5, -1, {}, Join(kHead, Bands(flat))},
        {"damaged: mode -1", -1, 0, {}, Join(kHead, Bands(flat))},
        {"damaged: mode 6", 6, 0, {}, Join(kHead, Bands(flat))},
        {"damaged: mode 0x7FFFFFFF", 0x7FFFFFFF, 0, {}, Join(kHead, Bands(flat))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BYTE* setting = Setting();
        ASSERT_NE(setting, nullptr);
        DefaultSettingStatus(setting);
        PutSettingWord(setting, SETTING_EQMODE, c.mode);
        PutSettingWord(setting, SETTING_USERPRESET, c.userSet);
        for (std::size_t band = 0; band < c.user.size(); ++band)
            PutSettingWord(setting, static_cast<DWORD>(SETTING_USEREQ + c.userSet * 28 + 4 * static_cast<int>(band)),
                           c.user[band]);
        audio->ClearRecord();
        core->LoadSettingReg();
        EXPECT_EQ(Pushed(), c.expected);
        for (const auto& call : audio->Calls())
            EXPECT_TRUE(call.result) << call.code;
    }
}

TEST_F(KernelObjSettings, PushWithSrsOnSendsTheSixSrsValuesClamped)
{
    BYTE* setting = Setting();
    ASSERT_NE(setting, nullptr);
    PutSettingWord(setting, SETTING_SRSON, 1);
    const int srs[6] = {25, 10, -4, 4, 9, 9};
    for (int i = 0; i < 6; ++i)
        PutSettingWord(setting, static_cast<DWORD>(SETTING_SRS + 4 * i), srs[i]);
    core->LoadSettingReg();
    EXPECT_EQ(Pushed(),
              Join(kHead,
                   {"ASP1 C4000060 01", "ASP1 C4000068 14", "ASP1 C400006C 0A", "ASP1 C4000070 00", "ASP1 C4000074 04",
                    "ASP1 C4000078 09", "ASP1 C4000064 07"}));
    EXPECT_EQ(audio->Value(AudioIoctl::SrsValue6), 7);
}

TEST_F(KernelObjSettings, PushOfTheButtonSoundAndTheEffect)
{
    struct Case {
        const char* name;
        int type;
        int gain;
        int effect;
        Log head;
    };
    const Case cases[] = {
        {"neither set, effect 7 sent as 0", -1, 0, 7, {"ASP1 C4000034 0F0F", "ASP1 C4000088 00", "NEC1 C1000100 04"}},
        {"gain 1 sends 0",
         2,
         1,
         3,
         {"ASP1 C4000034 0F0F", "ASP1 C4000088 03", "NEC1 C1000100 04", "ASP1 C40000A0 02", "ASP1 C4000084 00"}},
        {"gain 5 sends 4",
         2,
         5,
         0,
         {"ASP1 C4000034 0F0F", "ASP1 C4000088 00", "NEC1 C1000100 04", "ASP1 C40000A0 02", "ASP1 C4000084 04"}},
        {"gain 6 sends 0",
         2,
         6,
         0,
         {"ASP1 C4000034 0F0F", "ASP1 C4000088 00", "NEC1 C1000100 04", "ASP1 C40000A0 02", "ASP1 C4000084 00"}},
        {"gain -5 sends 0",
         2,
         -5,
         -1,
         {"ASP1 C4000034 0F0F", "ASP1 C4000088 00", "NEC1 C1000100 04", "ASP1 C40000A0 02", "ASP1 C4000084 00"}},
        {"the lowest word sends 0",
         2,
         INT_MIN,
         -1,
         {"ASP1 C4000034 0F0F", "ASP1 C4000088 00", "NEC1 C1000100 04", "ASP1 C40000A0 02", "ASP1 C4000084 00"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BYTE* setting = Setting();
        DefaultSettingStatus(setting);
        PutSettingWord(setting, SETTING_BUTTONTYPE, c.type);
        PutSettingWord(setting, SETTING_BUTTONGAIN, c.gain);
        PutSettingWord(setting, SETTING_EFFECT, c.effect);
        core->LoadSettingReg();
        Log pushed = Pushed();
        pushed.resize(c.head.size());
        EXPECT_EQ(pushed, c.head);
    }
}

TEST_F(KernelObjSettings, PushGivesTheDisplayItsBytesAndTheBrightnessOfDayOrNight)
{
    BYTE* setting = Setting();
    for (int i = 0; i < 12; ++i)
        setting[SETTING_DISPLAY + i] = static_cast<BYTE>(i + 1);
    PutSettingWord(setting, SETTING_CONTRAST0, 7);
    PutSettingWord(setting, SETTING_CONTRAST1, 3);
    for (bool night : {false, true}) {
        SCOPED_TRACE(night ? "night" : "day");
        micom->SetStatusBit(MicomStatusBit::TailLamp, night);
        const std::size_t before = display->Calls().size();
        core->LoadSettingReg();
        const auto all = display->Calls();
        ASSERT_EQ(all.size(), before + 2);
        EXPECT_EQ(all[before].code, 6617);
        EXPECT_EQ(all[before].input, (std::vector<unsigned char>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
        EXPECT_EQ(all[before + 1].code, 6620);
        EXPECT_EQ(all[before + 1].input,
                  (std::vector<unsigned char>{static_cast<unsigned char>(night ? 3 : 7), 0, 0, 0}));
    }
}

TEST_F(KernelObjSettings, FailedRequestIsLoggedAndThePushGoesOn)
{
    audio->FailNext(static_cast<DWORD>(AudioIoctl::Effect), 31);
    platform::DebugCapture capture;
    core->LoadSettingReg();
    EXPECT_EQ(Pushed(), Join(kHead, Bands({10, 10, 10, 10, 10, 10, 10})));
    const std::string out = capture.Take();
    EXPECT_NE(out.find("TAMRO ASP: IOCTL_AUDIO_EFFECT fail"), std::string::npos);
    EXPECT_NE(out.find("[CKernelObj] LoadSettingReg  Complete"), std::string::npos);
}

// A micom that has kept a sound block, and one that lost it: the learned
// remote-control keys are cleared only with the block.
class KeptBlock : public KernelObjSettings, public ::testing::WithParamInterface<bool> {
protected:
    void PrepareBoard() override
    {
        if (!GetParam())
            return;
        sim::CMicom::Block0 block{};
        block[0] = 1;
        platform::PutRawWord(&block[kMicomBlock0SumOffset], sim::CMicom::Block0Sum(block));
        micom->PutBlock0(block);
    }
};

TEST_P(KeptBlock, LearnedRemoteKeysGoOnlyWithTheMicomsBlock)
{
    BYTE* setting = Setting();
    PutSettingWord(setting, SETTING_REMOTEWORD, 5);
    for (int i = 0; i < kSettingRemoteLearnedWords; ++i)
        PutSettingWord(setting, static_cast<DWORD>(SETTING_REMOTELEARNED + 4 * i), 100 + i);
    core->LoadSettingReg();
    const bool kept = GetParam();
    EXPECT_EQ(SettingWord(setting, SETTING_REMOTEWORD), kept ? 5 : 0);
    for (int i = 0; i < kSettingRemoteLearnedWords; ++i)
        EXPECT_EQ(SettingWord(setting, static_cast<DWORD>(SETTING_REMOTELEARNED + 4 * i)), kept ? 100 + i : 0);
    EXPECT_EQ(SettingWord(setting, SETTING_INTROMICOM), 1); // between the two parts
}

INSTANTIATE_TEST_SUITE_P(Micom, KeptBlock, ::testing::Bool());

// ---------------------------------------------------------------------------
// The voice controller's file and the registry values

// The file as its layout gives it.
std::vector<BYTE> VoiceInfoBytes()
{
    std::vector<BYTE> out{0x00, 0x00, 0x01, 0x00, 0x32, 0x01};
    for (int v : {16, 128, 30, 144, 16}) {
        out.push_back(static_cast<BYTE>(v & 0xFF));
        out.push_back(static_cast<BYTE>(v >> 8));
    }
    std::vector<BYTE> flags(128, 0);
    for (int at : {0, 1, 3, 5, 7, 11, 15, 17, 21, 27, 29, 31, 32, 33})
        flags[static_cast<std::size_t>(at)] = 1;
    out.insert(out.end(), flags.begin(), flags.end());
    const std::vector<std::pair<int, std::vector<int>>> records = {
        {7, {0, 1, 2, 3, 4, 5, 6}},
        {9, {0, 1, 4, 5, 6, 7, 8, 9, 10}},
        {9, {0, 1, 4, 5, 6, 7, 8, 9, 10}},
        {6, {0, 1, 4, 5, 7, 8}},
        {3, {0, 1, 9}},
        {8, {0, 1, 2, 3, 4, 5, 6, 7}},
        {7, {0, 1, 2, 3, 4, 5, 7}},
        {6, {0, 1, 2, 3, 4, 5}},
        {6, {0, 1, 2, 3, 4, 5}},
    };
    for (const auto& [count, ones] : records) {
        out.push_back(static_cast<BYTE>(count));
        out.push_back(0);
        std::vector<BYTE> record(16, 0);
        for (int at : ones)
            record[static_cast<std::size_t>(at)] = 1;
        out.insert(out.end(), record.begin(), record.end());
    }
    return out;
}

TEST_F(KernelObjSettings, VoiceInfoFileIsWrittenByteForByteOnlyWhenMissing)
{
    const std::string path = unit.Host("NAND/VOICEINFO.ENV");
    const std::vector<BYTE> expected = VoiceInfoBytes();
    ASSERT_EQ(expected.size(), 306u);
    EXPECT_EQ(ReadFile(path), expected);

    WriteFile(path, "kept");
    core->SetupKeysAndRegistry();
    EXPECT_EQ(ReadFile(path), (std::vector<BYTE>{'k', 'e', 'p', 't'}));
    fs::remove(path);
    core->SetupKeysAndRegistry();
    EXPECT_EQ(ReadFile(path), expected);
}

DWORD QueryDword(const WCHAR* key, const WCHAR* name)
{
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return 0xDEAD;
    DWORD value = 0xDEAD;
    DWORD type = 0;
    DWORD size = sizeof(value);
    const LONG result = RegQueryValueExW(handle, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(handle);
    return result == ERROR_SUCCESS && type == REG_DWORD ? value : 0xDEAD;
}

TEST_F(KernelObjSettings, RegistryValuesForTheNavigationAndVoicePrograms)
{
    const WCHAR* lumo = u"SOFTWARE\\QMR\\Lumo";
    EXPECT_EQ(QueryDword(lumo, u"MenuType"), 3u);
    EXPECT_EQ(QueryDword(lumo, u"MenuImage"), 0u);
    EXPECT_EQ(QueryDword(lumo, u"MuteBtnType"), 0u);
    EXPECT_EQ(QueryDword(lumo, u"VolumeType"), 4u);
    EXPECT_EQ(QueryDword(lumo, u"GPS_DATA_TYPE"), 1u);
    EXPECT_EQ(QueryDword(u"SOFTWARE\\QMR\\VOICE", u"DEVICEDISPFULL"), 0u);
    HKEY voice = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\QMR\\VOICE", 0, KEY_READ, &voice), ERROR_SUCCESS);
    WCHAR text[64] = {};
    DWORD type = 0;
    DWORD size = sizeof(text);
    EXPECT_EQ(RegQueryValueExW(voice, u"VOICEINFOPATH", nullptr, &type, reinterpret_cast<BYTE*>(text), &size),
              ERROR_SUCCESS);
    RegCloseKey(voice);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(std::u16string(text), u"\\NAND\\VOICEINFO.ENV");

    // Without dead reckoning the navigation program takes plain GPS data.
    WriteFile(unit.Host("NAND/NAVIDR_OFF.FLG"), "");
    core->SetupKeysAndRegistry();
    EXPECT_EQ(QueryDword(lumo, u"GPS_DATA_TYPE"), 0u);
}

TEST(KeyTranslatorTable, HoldsEveryRowInOrder)
{
    const std::vector<std::array<int, 3>> expected = {
        {10420, 10421, 0},   {455, 456, 0},       {10450, 10451, 0},   {13180, 13181, 500}, {10432, 10433, 0},
        {480, 481, 100},     {482, 483, 100},     {10425, 10428, 500}, {10426, 10429, 500}, {10430, 10431, 500},
        {10170, 10131, 500}, {10171, 10132, 500}, {10172, 10161, 500}, {10173, 10162, 500}, {10174, 10155, 500},
        {10175, 10156, 500}, {10176, 10157, 500}, {10177, 10158, 500}, {10178, 10159, 500}, {10181, 481, 500},
        {10180, 483, 500},   {10182, 10134, 500}, {10183, 10135, 500}, {10184, 10136, 500}, {10185, 10137, 500},
        {10186, 10138, 500}, {10187, 10139, 500}, {10188, 10140, 500}, {10189, 10141, 500}, {10190, 10163, 0},
        {10191, 10164, 0},   {10196, 10165, 0},   {10193, 10142, 0},   {10195, 10133, 0},   {10197, 10421, 0},
        {10198, 10154, 500},
    };
    int count = 0;
    const CKeyTranslation* table = CKeyTranslator::Table(&count);
    std::vector<std::array<int, 3>> rows;
    for (int i = 0; i < count; ++i)
        rows.push_back({table[i].nSource, table[i].nEmitted, table[i].nRepeat});
    EXPECT_EQ(rows, expected);
}

// ---------------------------------------------------------------------------
// The last status

TEST_F(KernelObjSettings, LastStatusGoesToTheMainRecordAndTheMicom)
{
    const std::string path = unit.Host("NAND/DATA/Wren_Main.reg");
    const std::size_t sends = micom->CallsOf(static_cast<DWORD>(MicomIoctl::WriteBlock0)).size();
    core->SetNaviWords(-3005, 0, 0, TRUE, 1);
    core->SaveLastStatus(0);
    const std::vector<BYTE> record = ReadFile(path);
    ASSERT_EQ(record.size(), 24u);
    EXPECT_EQ(Hex(record.data() + 16, 8), "BD0B000001010200");
    EXPECT_EQ(micom->CallsOf(static_cast<DWORD>(MicomIoctl::WriteBlock0)).size(), sends + 1);

    // 2 keeps the init-mode in the record's buffer, 3 only sends; 1 and
    // others do nothing.
    core->SetNaviWords(0, 0, 1, TRUE, 1);
    core->SaveLastStatus(2);
    EXPECT_EQ(core->GetCenter().GetMainStatus()[4], 2);
    core->SaveLastStatus(3);
    EXPECT_EQ(ReadFile(path), record);
    EXPECT_EQ(micom->CallsOf(static_cast<DWORD>(MicomIoctl::WriteBlock0)).size(), sends + 3);
    core->SaveLastStatus(1);
    core->SaveLastStatus(7);
    EXPECT_EQ(micom->CallsOf(static_cast<DWORD>(MicomIoctl::WriteBlock0)).size(), sends + 3);
}

TEST_F(KernelObjSettings, LoadLastStatusRestoresTheNavigationUnlessItMayNotStart)
{
    core->SetNaviWords(3005, 3005, 0, FALSE, 2);
    core->SaveLastStatus(0);
    struct Case {
        const char* name;
        int execute;
        BOOL prepared;
        int fidNavi;
        BOOL notLoad;
    };
    const Case cases[] = {
        {"start the navigation at power-on", 1, FALSE, 3005, FALSE},
        {"do not start it", 0, FALSE, 0, TRUE},
        {"do not start it, but the unit ran already", 0, TRUE, 3005, FALSE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PutSettingWord(Setting(), SETTING_NAVIEXECUTE, c.execute);
        core->SetNaviWords(0, 0, 1, TRUE, -1);
        core->SetPrepared(c.prepared);
        core->LoadLastStatus();
        EXPECT_EQ(core->FidNavi(), c.fidNavi);
        EXPECT_EQ(core->GetPermanent(), c.fidNavi);
        EXPECT_EQ(core->NotLoadNavi(), c.notLoad);
        EXPECT_EQ(core->InitMode(), 0);
        EXPECT_EQ(core->Activity(), 2);
    }
}

TEST_F(KernelObjSettings, DamagedMainRecordValuesAreNotTaken)
{
    BYTE* main = core->GetCenter().GetMainStatus();
    PutSettingWord(main, 0, 5202); // not a navigation view
    main[4] = 7;
    main[6] = 9;
    core->SetNaviWords(0, 0, 1, FALSE, -1);
    core->LoadLastStatus();
    EXPECT_EQ(core->FidNavi(), 0);
    EXPECT_EQ(core->InitMode(), 1);
    EXPECT_EQ(core->Activity(), -1);
}

TEST_F(KernelObjSettings, ANewUnitsEmptyMainRecordLeavesTheUnitToRun)
{
    BYTE* main = core->GetCenter().GetMainStatus();
    std::fill(main, main + 8, BYTE{0});
    core->SetNaviWords(0, 0, 1, FALSE, -1);
    core->LoadLastStatus();
    EXPECT_EQ(core->InitMode(), 1);
    EXPECT_EQ(core->Activity(), -1);
}

// ---------------------------------------------------------------------------
// Device events and the card with the navigation program

TEST_F(KernelObjSettings, DeviceEventsGoToTheirModelsOrToViewCenter)
{
    Log models;
    auto* ipodAudio = new FakeModel(MODELID_IPODAUDIO, &models);
    auto* ipodVideo = new FakeModel(MODELID_IPODVIDEO, &models);
    auto* dvd = new FakeModel(MODELID_DVD, &models);
    auto* bluetooth = new FakeModel(MODELID_BLUETOOTH, &models);
    core->SetMode(VCMODE_RUN);
    struct Case {
        int device;
        int kind;
        int discState;
        Log expected;
    };
    const Case cases[] = {
        {31, AEV_DEFAULT, 0, {"8052 device 31 4096", "8051 device 31 4096"}},
        {42, AEV_DETACH, 0, {"8070 device 42 4129"}},
        {55, AEV_DEFAULT, 0, {"8080 device 55 4096"}},
        // Other storages reach every model through ViewCenter.
        {11,
         AEV_DETACH,
         0,
         {"8052 device 11 4129", "8051 device 11 4129", "8070 device 11 4129", "8080 device 11 4129"}},
        // ACC going off tells the DVD model only while the deck works.
        {DEVNO_ACC, AEV_COMPLETE, 4, {"8070 device 100 4102"}},
        {DEVNO_ACC, AEV_COMPLETE, 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.device);
        GetUnitLink().m_nDiscState = c.discState;
        core->DeviceStateIsChanged(c.device, c.kind);
        EXPECT_EQ(Take(models), c.expected);
    }
    GetUnitLink().m_nDiscState = 0;
    for (FakeModel* model : {ipodAudio, ipodVideo, dvd, bluetooth})
        model->Release();
}

TEST_F(KernelObjSettings, CardPulledEndsTheNavigationByTheMode)
{
    const std::u16string mapText
        = u"루모3D 맵을 종료하지 않고 SD CARD를 제거하여\n안전한 동작을 위하여 5초 뒤 재부팅 합니다.";
    struct Case {
        const char* name;
        int mode;
        int naviMode;
        Log log;
        bool popup;
    };
    const Case cases[] = {
        {"running", VCMODE_RUN, NAVI_READY, {"NaviIsClosed"}, true},
        {"navigation first", VCMODE_NULLNAVI, NAVI_LAUNCHING, {"NaviIsFailed 1"}, true},
        {"startable only", VCMODE_RUN, NAVI_STARTABLE, {"NaviIsClosed"}, false},
        {"none", VCMODE_RUN, NAVI_NONE, {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        core->SetMode(c.mode);
        core->SetNaviMode(c.naviMode);
        {
            IxBusyScope busy(frame);
            core->CardIsPulled(DEVNO_SD0, AEV_DETACH);
        }
        EXPECT_EQ(Take(log), c.log);
        EXPECT_EQ(core->NaviMode(), NAVI_NONE);
        EXPECT_EQ(CardPopupText(), c.popup ? mapText : std::u16string());
        ClosePopup();
    }
    // Other devices are not the card.
    core->SetNaviMode(NAVI_READY);
    core->CardIsPulled(DEVNO_SD1, AEV_DETACH);
    EXPECT_EQ(core->NaviMode(), NAVI_READY);
}

TEST_F(KernelObjSettings, CardPulledWhileTheVoiceControllerRunsAsksItToClose)
{
    static int closes = 0;
    closes = 0;
    WNDCLASSW wc{};
    wc.lpfnWndProc = [](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
        if (message == WM_CLOSE)
            ++closes;
        return DefWindowProcW(hwnd, message, wParam, lParam);
    };
    wc.lpszClassName = u"CardPulledVoice";
    RegisterClassW(&wc);
    HWND voice = CreateWindowExW(0, u"CardPulledVoice", u"VoiceController", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                                 nullptr);
    ASSERT_NE(voice, nullptr);
    core->SetMode(VCMODE_RUN);
    core->SetNaviMode(NAVI_NONE);
    {
        IxBusyScope busy(frame);
        core->CardIsPulled(DEVNO_SD0, AEV_DETACH);
    }
    EXPECT_EQ(closes, 1);
    EXPECT_TRUE(Take(log).empty());
    EXPECT_EQ(CardPopupText(),
              u"음성인식을 종료하지 않고 SD CARD를 제거하여\n안전한 동작을 위하여 5초 뒤 재부팅 합니다.");
    ClosePopup();
    if (IsWindow(voice))
        DestroyWindow(voice);
    UnregisterClassW(u"CardPulledVoice", nullptr);
}

TEST_F(KernelObjSettings, CardPulledEndsThePictureScreenSaver)
{
    frametest::ActionListener back(IXA_BACK);
    for (bool saverUp : {false, true}) {
        SCOPED_TRACE(saverUp ? "the saver is up" : "another screen");
        auto* page = new IxView;
        page->SetId(saverUp ? FID_PICTURESAVER : FID_FM);
        frame->AddPage(page);
        frame->SetActivePage(page, 0, 0);
        PutSettingWord(Setting(), SETTING_SAVERTYPE, 1);
        core->CardIsPulled(DEVNO_SD0, AEV_DETACH);
        kernel->DrainQueue();
        EXPECT_EQ(SettingWord(Setting(), SETTING_SAVERTYPE), 0);
        EXPECT_EQ(back.heard.size(), saverUp ? 1u : 0u);
        back.heard.clear();
    }
}

// ---------------------------------------------------------------------------
// Defaults and the factory reset

TEST_F(KernelObjSettings, FactoryResetRestoresTheDefaultsAndRestartsTheGpsAndTheUnit)
{
    auto gps = std::make_shared<GpsLine>();
    ASSERT_TRUE(platform::RegisterSerialPeer(u"COM4:", gps));
    frametest::ActionListener tilt(ACMD_TILT_CLOSEFULL);
    // A unit in use: its own settings, a navigation view, Bluetooth records.
    PutSettingWord(Setting(), SETTING_EQMODE, 3);
    GetSettingModel()->SaveLastStatus();
    core->SetNaviWords(3002, 3002, 1, FALSE, 0);
    core->SaveLastStatus(0);
    WriteFile(unit.Host("NAND/DATA/BTCallList.reg"), "calls");
    WriteFile(unit.Host("NAND/DATA/BTDevice.reg"), "devices");
    core->SetFactoryResetFlag();

    {
        IxBusyScope busy(frame); // as from its action
        core->FactoryReset();
    }
    kernel->DrainQueue();

    // The records and the micom's block hold their defaults.
    std::vector<BYTE> settingDefaults(kSettingPayloadSize);
    DefaultSettingStatus(settingDefaults.data());
    const std::vector<BYTE> setting = ReadFile(unit.Host("NAND/DATA/Wren_Setting.reg"));
    ASSERT_EQ(setting.size(), kSettingRecordSize);
    EXPECT_TRUE(std::equal(settingDefaults.begin(), settingDefaults.end(), setting.begin() + 16));
    EXPECT_EQ(Hex(ReadFile(unit.Host("NAND/DATA/Wren_Main.reg")).data() + 16, 8), "0000000000000000");
    EXPECT_FALSE(fs::exists(unit.Host("NAND/DATA/BTCallList.reg")));
    EXPECT_FALSE(fs::exists(unit.Host("NAND/DATA/BTDevice.reg")));
    BYTE defaults[kMicomBlock0Size] = {};
    std::copy(GetBlock0(), GetBlock0() + kMicomBlock0Size, defaults);
    DefaultBlock0(defaults);
    platform::PutRawWord(defaults + kMicomBlock0SumOffset, Block0Sum(defaults));
    const auto stored = micom->StoredBlock0();
    EXPECT_TRUE(std::equal(stored.begin(), stored.end(), defaults));
    // The tilt closes, the receiver starts its dead reckoning over at
    // 57600 baud, the micom initialises.
    EXPECT_EQ(tilt.heard.size(), 1u);
    EXPECT_EQ(gps->baud, 57600u);
    EXPECT_EQ(gps->raw, "$PSTMDRINIT*16\r\n");
    EXPECT_EQ(gps->Sentences(), (std::vector<std::string>{"PSTMDRINIT"}));
    EXPECT_TRUE(gps->Rejected().empty());
    EXPECT_EQ(micom->Inits(), 1);
    EXPECT_TRUE(core->IsTimerRunning(TM_FACTORYRESET));

    // 3000 ms later the receiver powers down and the micom restarts the unit.
    Wait(2900);
    EXPECT_TRUE(micom->Resets().empty());
    EXPECT_EQ(gps->closes, 0);
    Wait(100);
    EXPECT_EQ(gps->raw, "$PSTMDRINIT*16\r\n$PSTMPWDN*17\r\n");
    EXPECT_TRUE(gps->PoweredDown());
    EXPECT_EQ(gps->closes, 1);
    EXPECT_EQ(micom->Resets(), (std::vector<DWORD>{0}));
    EXPECT_FALSE(core->IsFactoryResetAsked());
    EXPECT_FALSE(core->IsTimerRunning(TM_FACTORYRESET));
}

// The request (10255) resets at once while the navigation program is not
// running, else once the program's end (396) comes.
TEST_F(KernelObjSettings, FactoryResetRequestRunsAtOnceOrAfterTheNavigationProgramsEnd)
{
    auto gps = std::make_shared<GpsLine>();
    ASSERT_TRUE(platform::RegisterSerialPeer(u"COM4:", gps));
    for (int naviMode : {NAVI_NONE, NAVI_READY}) {
        SCOPED_TRACE(naviMode);
        const int inits = micom->Inits();
        core->SetNaviMode(naviMode);
        {
            IxBusyScope busy(frame);
            core->ActionIsInvoked(FID_EXT_FACTORYRESET, AEV_DEFAULT, 0);
        }
        EXPECT_TRUE(core->IsFactoryResetAsked());
        if (naviMode == NAVI_READY) {
            EXPECT_EQ(micom->Inits(), inits);
            IxBusyScope busy(frame);
            core->ActionIsInvoked(ACMD_NAVITERMINATED, AEV_DEFAULT, 0);
        }
        EXPECT_EQ(micom->Inits(), inits + 1);
        Wait(3000); // the reset's end
        EXPECT_FALSE(core->IsFactoryResetAsked());
    }
}

TEST_F(KernelObjSettings, FactoryResetEndsAfterTheDefaultsWhenTheGpsPortCannotBeOpened)
{
    auto gps = std::make_shared<GpsLine>();
    ASSERT_TRUE(platform::RegisterSerialPeer(u"COM4:", gps));
    // Someone else holds the port: each of the five opens is refused.
    HANDLE held = CreateFileW(u"COM4:", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    PutSettingWord(Setting(), SETTING_EQMODE, 3);
    platform::DebugCapture capture;
    {
        IxBusyScope busy(frame);
        core->ActionIsInvoked(FID_EXT_FACTORYRESET, AEV_DEFAULT, 0);
    }
    EXPECT_EQ(SettingWord(Setting(), SETTING_EQMODE), 0);
    EXPECT_TRUE(gps->raw.empty());
    EXPECT_EQ(micom->Inits(), 0);
    EXPECT_FALSE(core->IsTimerRunning(TM_FACTORYRESET));
    EXPECT_FALSE(core->IsFactoryResetAsked()); // a later end of the navigation program runs nothing
    EXPECT_NE(capture.Take().find("COM4: cannot be opened"), std::string::npos);
    CloseHandle(held);
}

// ---------------------------------------------------------------------------
// The key translators

class KeyTranslators : public ModelFixture {
protected:
    void Drain()
    {
        {
            IxBusyScope busy(frame);
            frame->DrainEventQueue();
        }
        Pump();
    }
    void Wait(int ms)
    {
        for (int done = 0; done < ms; done += 100) {
            clock.Advance(100);
            Pump();
            Drain();
        }
    }
    void Key(int code, int kind)
    {
        PushGlobalAction(code, kind, 0);
        Drain();
    }
};

TEST_F(KeyTranslators, HeldKeysBecomeTheirCodesAfter800MsAndRepeatByTheirRow)
{
    // Rows of the table: the key, what it becomes, its repeat.
    struct Row {
        int source;
        int emitted;
        int repeat;
    };
    const Row rows[] = {
        {10420, 10421, 0},   {455, 456, 0},       {10450, 10451, 0},   {13180, 13181, 500}, {10432, 10433, 0},
        {480, 481, 100},     {482, 483, 100},     {10425, 10428, 500}, {10426, 10429, 500}, {10430, 10431, 500},
        {10170, 10131, 500}, {10171, 10132, 500}, {10172, 10161, 500}, {10173, 10162, 500}, {10174, 10155, 500},
        {10175, 10156, 500}, {10176, 10157, 500}, {10177, 10158, 500}, {10178, 10159, 500}, {10181, 481, 500},
        {10180, 483, 500},   {10182, 10134, 500}, {10183, 10135, 500}, {10184, 10136, 500}, {10185, 10137, 500},
        {10186, 10138, 500}, {10187, 10139, 500}, {10188, 10140, 500}, {10189, 10141, 500}, {10190, 10163, 0},
        {10191, 10164, 0},   {10196, 10165, 0},   {10193, 10142, 0},   {10195, 10133, 0},   {10197, 10421, 0},
        {10198, 10154, 500},
    };
    int count = 0;
    CKeyTranslator::Table(&count);
    EXPECT_EQ(CKeyTranslator::AddAll(frame), count);
    Drain();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.source);
        frametest::ActionListener heard(row.emitted);
        // A tap of 300 ms is a short press.
        Key(row.source, AEV_PRESS);
        Wait(300);
        Key(row.source, AEV_RELEASE);
        std::vector<int> kinds;
        for (const auto& h : heard.heard)
            kinds.push_back(h.kind);
        EXPECT_EQ(kinds,
                  (std::vector<int>{AEV_PRESSED, AEV_HOLDSTART, AEV_RELEASEDINSIDE, AEV_SHORTPRESS, AEV_SHORTEND}));
        heard.heard.clear();

        // Held for 1400 ms: the long press at 800 ms, then the repeats.
        const DWORD start = GetTickCount();
        Key(row.source, AEV_PRESS);
        Pump();
        Drain();
        ASSERT_EQ(heard.heard.size(), 2u);
        EXPECT_EQ(heard.heard[0].kind, AEV_PRESSED);
        EXPECT_EQ(heard.heard[1].kind, AEV_HOLDSTART);
        heard.heard.clear();
        std::vector<std::pair<int, int>> timed;
        for (int t = 0; t < 1400; t += 100) {
            Wait(100);
            for (const auto& h : heard.heard)
                timed.push_back({h.kind, static_cast<int>(GetTickCount() - start)});
            heard.heard.clear();
        }
        Key(row.source, AEV_RELEASE);
        for (const auto& h : heard.heard)
            timed.push_back({h.kind, static_cast<int>(GetTickCount() - start)});
        std::vector<std::pair<int, int>> expected{{AEV_LONGPRESS, 800}};
        for (int at = 800 + row.repeat; row.repeat && at <= 1400; at += row.repeat)
            expected.push_back({AEV_HOLDREPEAT, at});
        expected.push_back({AEV_RELEASEDINSIDE, 1400});
        expected.push_back({AEV_LONGRELEASE, 1400});
        expected.push_back({AEV_LONGEND, 1400});
        EXPECT_EQ(timed, expected);
    }
}

} // namespace
