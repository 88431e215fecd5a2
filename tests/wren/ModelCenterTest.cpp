// The application's model center on the simulated board: the micom's status
// block (read, checksum accepted or refused, defaults, send), the text
// block, the audio processor's source switches, volumes and device mute
// with their exact bytes and waits, the amplifier mute line, the second
// zone, the camera audio, the records and the devices it registers.
#include "Source/models/ModelCenter.h"

#include "Lib_cpp/fs/DeviceManager.h"
#include "Source/models/StorageWatcher.h"
#include "Source/models/UnitLink.h"
#include "platform/io/File.h"
#include "platform/io/RawDisk.h"
#include "sim/AudioProcessor.h"
#include "sim/ConnectionStatus.h"
#include "sim/Micom.h"
#include "tests/wren/ModelFixture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

namespace {

using namespace modeltest;
using Bytes = std::vector<BYTE>;

DWORD WordAt(const BYTE* block, DWORD offset)
{
    return platform::GetRawWord(block + offset);
}

sim::CMicom::Block0 WithSum(sim::CMicom::Block0 block)
{
    platform::PutRawWord(block.data() + kMicomBlock0SumOffset, sim::CMicom::Block0Sum(block));
    return block;
}

class ModelCenterTest : public ModelFixture {
protected:
    void SetUp() override
    {
        ModelFixture::SetUp();
        micom = sim::CMicom::Install();
        audio = sim::CAudioProcessor::Install();
        connection = sim::CConnectionStatus::Install();
    }
    void TearDown() override
    {
        if (center) {
            center->Destroy();
            center.reset();
        }
        SetBareModelSource(nullptr);
        GetUnitLink().CloseDevices();
        GetUnitLink().ResetStates();
        sim::CConnectionStatus::Uninstall();
        sim::CAudioProcessor::Uninstall();
        sim::CMicom::Uninstall();
        ModelFixture::TearDown();
    }
    // As the kernel application object does it: the main window's drivers
    // are open, the center starts muted and is created.
    CModelCenter& Create()
    {
        GetUnitLink().OpenDevices();
        center = std::make_unique<CModelCenter>();
        center->SetInitialMute(TRUE);
        EXPECT_TRUE(center->Create());
        return *center;
    }
    // The audio processor's calls since the last look, as "code in-bytes".
    std::vector<std::pair<AudioIoctl, Bytes>> AudioCalls()
    {
        std::vector<std::pair<AudioIoctl, Bytes>> out;
        for (const auto& call : audio->Calls())
            out.emplace_back(static_cast<AudioIoctl>(call.code), call.input);
        audio->ClearRecord();
        return out;
    }

    std::shared_ptr<sim::CMicom> micom;
    std::shared_ptr<sim::CAudioProcessor> audio;
    std::shared_ptr<sim::CConnectionStatus> connection;
    std::unique_ptr<CModelCenter> center;
    Log log;
};

using Calls = std::vector<std::pair<AudioIoctl, Bytes>>;

TEST_F(ModelCenterTest, StatusBlockIsTakenOnlyWithItsChecksumElseTheDefaultsFillIt)
{
    // A block with every byte 0xAB: what the defaults do not name is kept.
    sim::CMicom::Block0 pattern;
    pattern.fill(0xAB);
    platform::PutRawWord(pattern.data() + B0_VOLUME, 4000);
    const int sum = static_cast<int>(sim::CMicom::Block0Sum(pattern));
    struct Case {
        const char* name;
        sim::CMicom::Block0 stored;
        bool failRead;
        int check;
        bool defaults;
        int volume;
    } cases[] = {
        {"checksum right", WithSum(pattern), false, sum, false, 4000},
        {"checksum wrong", pattern, false, -1, true, 2500},
        {"all zero", sim::CMicom::Block0{}, false, 0, true, 2500},
        {"read fails", WithSum(pattern), true, -1, true, 2500},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        micom->PutBlock0(c.stored);
        if (c.failRead)
            micom->FailNext(static_cast<DWORD>(MicomIoctl::ReadBlock0), ERROR_GEN_FAILURE);
        platform::DebugCapture debug;
        Create();
        EXPECT_EQ(GetBlock0CheckValue(), c.check);
        const BYTE* block = GetBlock0();
        ASSERT_NE(block, nullptr);
        if (!c.defaults) {
            EXPECT_EQ(0, std::memcmp(block, c.stored.data(), kMicomBlock0SumOffset));
            EXPECT_TRUE(debug.Contains(Say("CModelCenter::Create()   CheckSum ", sum) + " \n\r "));
        } else {
            // Nothing read: the kept bytes are those of a new center.
            const BYTE kept = c.failRead ? 0 : c.stored[44];
            if (c.failRead) {
                EXPECT_TRUE(debug.Contains("ERROR : CModelCenter::Create() : Failed read Block0 registry.."));
            }
            // The named fields.
            EXPECT_EQ(WordAt(block, B0_CLEANUP), 0u);
            EXPECT_EQ(WordAt(block, B0_VOLUME), 2500u);
            EXPECT_EQ(WordAt(block, B0_SECONDVOLUME), 5000u);
            EXPECT_EQ(WordAt(block, B0_GUIDANCE), 3u);
            EXPECT_EQ(WordAt(block, B0_SECONDMUTE), 0u);
            EXPECT_EQ(block[36], 1);
            EXPECT_EQ(block[B0_REARVIEW], 1);
            EXPECT_EQ(WordAt(block, B0_NAVIWORD), 0xFFFFFFFEu);
            EXPECT_EQ(WordAt(block, B0_FMFREQUENCY), 8910u);
            EXPECT_EQ(WordAt(block, B0_FMFREQUENCY + 4), 8810u);
            EXPECT_EQ(WordAt(block, B0_FMFREQUENCY + 8), 8750u);
            EXPECT_EQ(WordAt(block, B0_AMFREQUENCY), 603u);
            EXPECT_EQ(WordAt(block, B0_AMFREQUENCY + 4), 891u);
            EXPECT_EQ(WordAt(block, B0_AMFREQUENCY + 8), 639u);
            EXPECT_EQ(WordAt(block, B0_DMBCHANNEL), 0xFFFFFFFFu);
            EXPECT_EQ(WordAt(block, B0_DABCHANNEL), 0xFFFFFFFFu);
            // Every other byte the defaults write is zero; the rest is kept.
            for (DWORD i = 0; i < kMicomBlock0SumOffset; ++i) {
                const bool keptByte = (i >= 44 && i < 64) || (i >= 73 && i < 76) || i >= 124;
                if (keptByte) {
                    EXPECT_EQ(block[i], kept) << i;
                }
            }
            EXPECT_EQ(block[40], 0);
            EXPECT_EQ(block[76], 0);
            EXPECT_EQ(block[B0_DMBMODE], 0);
        }
        // The volumes of the block reach the audio processor.
        EXPECT_EQ(center->GetVolumeLevel(), c.volume);
        EXPECT_EQ(audio->Value(AudioIoctl::MainVolume), c.volume / 200);
        center->Destroy();
        center.reset();
    }
}

TEST_F(ModelCenterTest, SendStoresTheChecksumAndTheMicomKeepsBothBlocks)
{
    GetUnitLink().OpenDevices();
    BYTE text[kMicomTextBlockSize] = {};
    const char16_t kText[] = u"Wren 1.2";
    std::memcpy(text, kText, sizeof(kText));
    text[200] = 0x55; // after the terminator: not part of the text
    ASSERT_TRUE(GetUnitLink().m_hMicom.IoctlIn(static_cast<DWORD>(MicomIoctl::WriteTextBlock), text, sizeof(text)));
    Create();
    EXPECT_EQ(std::u16string(GetMicomText()), u"Wren 1.2");

    GetBlock0()[B0_REARVIEW] = 0;
    micom->ClearRecord();
    SendLastStatus();
    const sim::CMicom::Block0 stored = micom->StoredBlock0();
    EXPECT_EQ(0, std::memcmp(stored.data(), GetBlock0(), kMicomBlock0Size));
    EXPECT_EQ(WordAt(stored.data(), B0_CHECKSUM), sim::CMicom::Block0Sum(stored));
    const sim::CMicom::TextBlock kept = micom->StoredTextBlock();
    EXPECT_EQ(0, std::memcmp(kept.data(), kText, sizeof(kText)));
    EXPECT_EQ(kept[200], 0);
    EXPECT_EQ(micom->Calls().size(), 2u);

    // A failed send is logged and not retried; the block in memory stays.
    micom->FailNext(static_cast<DWORD>(MicomIoctl::WriteBlock0), ERROR_TIMEOUT);
    platform::DebugCapture debug;
    SendLastStatus();
    EXPECT_TRUE(debug.Contains("ERROR: .\\Source\\Model line 1216: CNEC: NecmicomLastStatusSend 00 1460"));
}

TEST_F(ModelCenterTest, TextBlockFallsBackToTheOlderCodeAndIsEmptyWithoutEither)
{
    GetUnitLink().OpenDevices();
    BYTE text[kMicomTextBlockSize] = {'O', 0, 'l', 0, 'd', 0};
    ASSERT_TRUE(GetUnitLink().m_hMicom.IoctlIn(static_cast<DWORD>(MicomIoctl::WriteTextBlock), text, sizeof(text)));
    micom->ClearRecord();
    micom->FailNext(static_cast<DWORD>(MicomIoctl::ReadTextBlock), ERROR_GEN_FAILURE);
    Create();
    EXPECT_EQ(std::u16string(GetMicomText()), u"Old");
    Bytes codes;
    for (const auto& call : micom->Calls())
        codes.push_back(static_cast<BYTE>(call.code & 0xFF));
    EXPECT_EQ(codes, (Bytes{0x34, 0x40, 0x38, 0x2C, 0x30}));
    center->Destroy();
    center.reset();

    // Factory defaults come without a text.
    BYTE block[kMicomBlock0Size] = {};
    DefaultBlock0(block);
    EXPECT_EQ(std::u16string(GetMicomText()), u"");

    Create();
    EXPECT_EQ(std::u16string(GetMicomText()), u"Old");
    center->Destroy();
    center.reset();
    micom->SetSilent(true);
    Create();
    EXPECT_EQ(std::u16string(GetMicomText()), u"");
    EXPECT_EQ(GetBlock0CheckValue(), -1);
}

TEST_F(ModelCenterTest, EachModelSwitchesTheAudioProcessorToItsInput)
{
    Create();
    struct Case {
        int id;
        BYTE input;
    } cases[] = {
        {MODELID_MOVIE, 0},     {MODELID_MUSIC, 0},     {MODELID_PHOTO, 0},
        {MODELID_DMB, 1},       {MODELID_DAB, 1},       {MODELID_DVD, 2},
        {MODELID_FM, 3},        {MODELID_AM, 3},        {8207, 3},
        {MODELID_IPODVIDEO, 4}, {MODELID_IPODAUDIO, 4}, {MODELID_AUX, 5},
        {MODELID_BLUETOOTH, 6}, {MODELID_CAMERA2, 7},   {MODELID_CAMERA1, 8},
        {MODELID_BARE, 9},      {MODELID_NAVI, 9},      {MODELID_SETTING, 9},
    };
    frametest::ActionListener changed(MCA_SOURCECHANGED);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        auto* model = new FakeModel(c.id, &log);
        AudioCalls();
        const std::uint64_t start = platform::NowMs();
        center->RequestSource(model, MRF_AUDIO, ZONE_MAIN);
        // The switch waits 200 ms first; the source mute then fades up.
        Calls switches;
        for (const auto& call : AudioCalls()) {
            if (call.first == AudioIoctl::MainSource)
                switches.push_back(call);
        }
        EXPECT_EQ(switches, (Calls{{AudioIoctl::MainSource, Bytes{c.input}}}));
        EXPECT_GE(platform::NowMs() - start, 200u);
        kernel->DrainQueue();
        ASSERT_FALSE(changed.heard.empty());
        EXPECT_EQ(changed.heard.back().value, c.id);
        model->Release();
        center->ReleaseAllModels();
    }
    // The second zone has its own switch; DMB and DAB there are remembered.
    auto* dmb = new FakeModel(MODELID_DMB, &log);
    AudioCalls();
    center->RequestSource(dmb, MRF_AUDIO, ZONE_SECOND);
    EXPECT_EQ(AudioCalls(), (Calls{{AudioIoctl::SecondSource, Bytes{1}}}));
    EXPECT_TRUE(IsSecondZoneBroadcast());
    dmb->Release();
}

TEST_F(ModelCenterTest, DeviceMuteSendsMuteThenVolumeAndWaitsForTheTuner)
{
    Create();
    center->SetVolume(4200);
    struct Case {
        int owner; // main-zone audio owner
        BOOL tuning;
        BOOL on;
        Calls calls;
        std::uint64_t wait;
    } cases[] = {
        {0, FALSE, TRUE, {{AudioIoctl::Mute, {1}}, {AudioIoctl::MainVolume, {0}}}, 200},
        {0, FALSE, FALSE, {{AudioIoctl::Mute, {0}}, {AudioIoctl::MainVolume, {21}}}, 200},
        {MODELID_FM, TRUE, TRUE, {{AudioIoctl::Mute, {1}}, {AudioIoctl::MainVolume, {0}}}, 50},
        {MODELID_AM, TRUE, FALSE, {{AudioIoctl::Mute, {0}}, {AudioIoctl::MainVolume, {21}}}, 120},
        {MODELID_FM, FALSE, FALSE, {{AudioIoctl::Mute, {0}}, {AudioIoctl::MainVolume, {21}}}, 200},
        {MODELID_DVD, TRUE, TRUE, {{AudioIoctl::Mute, {1}}, {AudioIoctl::MainVolume, {0}}}, 200},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(N(c.owner) + " tuning " + N(c.tuning) + " on " + N(c.on));
        FakeModel* model = nullptr;
        if (c.owner) {
            model = new FakeModel(c.owner, &log);
            model->tuning = c.tuning;
            center->RequestSource(model, MRF_AUDIO, ZONE_MAIN);
        }
        AudioCalls();
        platform::DebugCapture debug;
        const std::uint64_t start = platform::NowMs();
        EXPECT_TRUE(ModelCenterDevMute(c.on));
        EXPECT_EQ(platform::NowMs() - start, c.wait);
        EXPECT_EQ(AudioCalls(), c.calls);
        EXPECT_TRUE(debug.Contains(c.on ? "[ModelCenter] devMute() : mute=[On] \r\n"
                                        : "[ModelCenter] devMute() : mute=[Off] \r\n"));
        if (model) {
            center->RequestSource(nullptr, MRF_ALL, ZONE_MAIN);
            model->Release();
            center->ReleaseAllModels();
        }
    }
}

TEST_F(ModelCenterTest, VolumesReachTheAudioProcessorAndTheBlock)
{
    Create();
    AudioCalls();
    center->SetVolume(12000, TRUE, TRUE);
    EXPECT_EQ(AudioCalls(), (Calls{{AudioIoctl::MainVolume, {50}}}));
    EXPECT_EQ(WordAt(GetBlock0(), B0_VOLUME), 10000u);
    center->StepVolume(-3);
    EXPECT_EQ(audio->Value(AudioIoctl::MainVolume), 47);
    EXPECT_EQ(WordAt(GetBlock0(), B0_VOLUME), 9400u);

    // The second zone's level is kept and sent only for a non-zero step.
    micom->ClearRecord();
    center->SetSecondVolume(ZONE_SECOND, 150, FALSE);
    EXPECT_EQ(audio->Value(AudioIoctl::SecondVolume), 0);
    EXPECT_EQ(WordAt(GetBlock0(), B0_SECONDVOLUME), 5000u);
    EXPECT_TRUE(micom->Calls().empty());
    center->SetSecondVolume(ZONE_SECOND, 3000, FALSE);
    EXPECT_EQ(audio->Value(AudioIoctl::SecondVolume), 15);
    EXPECT_EQ(WordAt(micom->StoredBlock0().data(), B0_SECONDVOLUME), 3000u);
    // Its mute goes to the audio processor as a level of zero, and back.
    center->SetSecondMute(ZONE_SECOND, TRUE);
    EXPECT_EQ(audio->Value(AudioIoctl::SecondVolume), 0);
    EXPECT_EQ(WordAt(GetBlock0(), B0_SECONDMUTE), 1u);
    center->SetSecondMute(ZONE_SECOND, FALSE);
    EXPECT_EQ(audio->Value(AudioIoctl::SecondVolume), 15);
}

TEST_F(ModelCenterTest, VolumesOutOfRangeInTheBlockAreClampedBeforeTheAudioProcessor)
{
    sim::CMicom::Block0 block{};
    platform::PutRawWord(block.data() + B0_VOLUME, 60000);
    platform::PutRawWord(block.data() + B0_SECONDVOLUME, 0xFFFFFF00);
    micom->PutBlock0(WithSum(block));
    Create();
    EXPECT_EQ(audio->Value(AudioIoctl::MainVolume), 50);
    EXPECT_EQ(center->GetSecondLevel(), 0);
    // The device mute takes the level of the block, clamped too.
    platform::PutRawWord(GetBlock0() + B0_VOLUME, 0x7FFFFFFF);
    ModelCenterDevMute(FALSE);
    EXPECT_EQ(audio->Value(AudioIoctl::MainVolume), 50);
}

TEST_F(ModelCenterTest, AmplifierMuteLineWaitsAroundItsSwitch)
{
    Create();
    EXPECT_EQ(micom->AmpMute(), -1); // the unit starts muted without a call
    center->AudioOn();
    std::uint64_t start = platform::NowMs();
    center->SetMute(FALSE, TRUE);
    EXPECT_EQ(micom->AmpMute(), 0);
    EXPECT_EQ(platform::NowMs() - start, 150u);
    start = platform::NowMs();
    center->SetMute(TRUE, TRUE);
    EXPECT_EQ(micom->AmpMute(), 1);
    EXPECT_EQ(platform::NowMs() - start, 100u);
    // A volume of zero holds the line too.
    center->SetMute(FALSE, TRUE);
    center->SetVolume(0, TRUE, TRUE);
    EXPECT_EQ(micom->AmpMute(), 1);
}

TEST_F(ModelCenterTest, LeavingTheMovieInTheMainZoneMovesTheSecondZoneToTheBareModel)
{
    Create();
    auto* movie = new FakeModel(MODELID_MOVIE, &log);
    auto* bare = new FakeModel(MODELID_BARE, &log);
    auto* fm = new FakeModel(MODELID_FM, &log);
    frametest::ActionListener moved(MCA_SECONDZONEMOVED);
    center->RequestSource(movie, MRF_AUDIO | MRF_VIDEO, ZONE_SECOND);
    center->RequestSource(movie, MRF_AUDIO, ZONE_MAIN); // the movie itself: nothing moves
    EXPECT_EQ(center->GetSourceOwnerId(ZONE_SECOND), MODELID_MOVIE);
    center->RequestSource(fm, MRF_AUDIO, ZONE_MAIN);
    EXPECT_EQ(center->GetSourceOwnerId(ZONE_SECOND), MODELID_BARE);
    EXPECT_EQ(center->GetVideoOwner(ZONE_SECOND), bare);
    EXPECT_EQ(center->GetSourceOwnerId(ZONE_MAIN), MODELID_FM);
    kernel->DrainQueue();
    EXPECT_EQ(moved.heard.size(), 1u);
    center->RequestSource(nullptr, MRF_ALL, ZONE_MAIN);
    center->RequestSource(nullptr, MRF_ALL, ZONE_SECOND);
    movie->Release();
    bare->Release();
    fm->Release();
}

TEST_F(ModelCenterTest, CameraAudioSwitchesAndThenWantsRequestB)
{
    Create();
    center->AudioOn();
    frametest::ActionListener requestB(MCA_REQUESTB);
    const std::uint64_t start = platform::NowMs();
    EXPECT_TRUE(SetCameraAudioMode(TRUE));
    EXPECT_EQ(platform::NowMs() - start, 200u);
    EXPECT_EQ(audio->Value(AudioIoctl::CameraAudio), 1);
    EXPECT_TRUE(GetCameraAudioMode());
    EXPECT_EQ(requestB.heard.size(), 1u);
    // A refused switch wants nothing.
    center->UnwantRequestB();
    audio->FailNext(static_cast<DWORD>(AudioIoctl::CameraAudio), ERROR_GEN_FAILURE);
    EXPECT_FALSE(SetCameraAudioMode(TRUE));
    EXPECT_FALSE(center->GetRequestB());
}

TEST_F(ModelCenterTest, RearCameraStateMovesOnlyAlongItsSteps)
{
    SetRearCamOn();
    EXPECT_TRUE(IsRearCamOn());
    ResetRearCamState(); // only -1 becomes 0
    EXPECT_EQ(GetRearCamState(), 1);
    MarkRearCamDetached();
    EXPECT_EQ(GetRearCamState(), -1);
    MarkRearCamDetached();
    EXPECT_EQ(GetRearCamState(), -1);
    ResetRearCamState();
    EXPECT_EQ(GetRearCamState(), 0);
    MarkRearCamDetached();
    EXPECT_EQ(GetRearCamState(), 0);
}

TEST_F(ModelCenterTest, WithoutACenterTheGlobalFormsAnswerZero)
{
    EXPECT_EQ(GetBlock0(), nullptr);
    EXPECT_FALSE(SetCameraAudioMode(TRUE));
    EXPECT_FALSE(ModelCenterDevMute(TRUE));
    EXPECT_EQ(GetMiscStatus(), nullptr);
    EXPECT_FALSE(SaveMiscStatus());
    IxString path;
    EXPECT_FALSE(ModelCenterGetDevicePath(DEVNO_SD0, path));
    EXPECT_EQ(ModelCenterGetAliasState(DEVNO_SD0), 0);
    EXPECT_TRUE(audio->Calls().empty());
}

TEST_F(ModelCenterTest, CreateOpensTheCentersRecordsAndRegistersTheUnitsDevices)
{
    // A Main record left by an earlier run.
    std::filesystem::create_directories(unit.Host("NAND/DATA"));
    {
        std::ofstream file(unit.Host("NAND/DATA/Wren_Main.reg"), std::ios::binary);
        const BYTE record[24] = {16, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 8, 0, 0, 0, 0xBD, 0x0B, 0, 0, 7, 0, 0, 0};
        file.write(reinterpret_cast<const char*>(record), sizeof(record));
    }
    Create();
    EXPECT_EQ(WordAt(center->GetMainStatus(), 0), 3005u);
    EXPECT_EQ(WordAt(center->GetMainStatus(), 4), 7u);
    // No Misc record: zero in memory; saved whole with its header.
    ASSERT_NE(GetMiscStatus(), nullptr);
    EXPECT_EQ(WordAt(GetMiscStatus(), 28), 0u);
    platform::PutRawWord(GetMiscStatus() + 24, 5);
    ASSERT_TRUE(SaveMiscStatus());
    std::ifstream misc(unit.Host("NAND/DATA/Wren_Misc.reg"), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(misc)), std::istreambuf_iterator<char>());
    ASSERT_EQ(bytes.size(), 48u);
    EXPECT_EQ(bytes.substr(0, 16), std::string("\x10\0\0\0\x01\0\0\0\0\0\0\0\x08\0\0\0", 16));
    EXPECT_EQ(bytes[16 + 24], 5);

    // The devices and aliases of the unit.
    IxDeviceManager* manager = center->GetDeviceManager();
    ASSERT_NE(manager, nullptr);
    std::vector<int> numbers;
    for (int i = 0; i < manager->Devices().Count(); ++i) {
        const IxDeviceEntry& e = manager->Devices()[i];
        numbers.push_back(e.nNumber);
    }
    EXPECT_EQ(numbers, (std::vector<int>{100, 71, 70, 102, 103, 10, 11, 30, 50, 20, 21, 22, 40, 12}));
    EXPECT_EQ(manager->FindDevice(DEVNO_ACC)->nDetachDelay, 6000);
    EXPECT_EQ(manager->FindDevice(DEVNO_USB)->nPollInterval, 200);
    EXPECT_EQ(std::u16string(manager->FindDevice(DEVNO_USB)->strDisplayName.Text()), u"USB");
    EXPECT_EQ(std::u16string(manager->FindAlias(DEVNO_SD0)->strName.Text()), u"Navi");
    EXPECT_EQ(manager->FindAlias(DEVNO_SD0)->dwFlags, 1u);
    EXPECT_EQ(std::u16string(manager->FindAlias(DEVNO_SD1)->strName.Text()), u"SD2");
    IxString path;
    ASSERT_TRUE(ModelCenterGetDevicePath(DEVNO_USB, path));
    EXPECT_EQ(std::u16string(path.Text()), u"\\HDD");
    EXPECT_EQ(center->GetState(DEVNO_USB), 1);
    // Destroy stops the watcher and takes it away.
    center->Destroy();
    EXPECT_EQ(center->GetDeviceManager(), nullptr);
    EXPECT_EQ(center->GetState(DEVNO_USB), 0);
}

} // namespace
