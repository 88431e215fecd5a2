// The model-center base: arbitration of the zones between models, the audio
// paths, the volumes with their clamp and repeat, the fades of the main
// output, the mute kinds, the hide-video count, ACC and the sources, and the
// model list.
#include "Source/models/ModelCenterBase.h"

#include "tests/wren/ModelFixture.h"

#include <gtest/gtest.h>

namespace {

using namespace modeltest;

// A center whose hardware operations log into the shared log.
class RecordingCenter : public IxModelCenter {
public:
    explicit RecordingCenter(Log* log, int pollInterval = 0) : IxModelCenter(50, 50, pollInterval, 0), log(log) {}

    using IxModelCenter::FadeDown;
    using IxModelCenter::FadeUp;

    bool refuseSwitch = false;

protected:
    void OnLevelZero(BOOL zero) override { log->push_back(Say("level zero ", zero)); }
    BOOL SetSourceMode(int newPath, int oldPath, int zone) override
    {
        log->push_back(Say("switch ", newPath) + Say(" from ", oldPath) + Say(" zone ", zone));
        return !refuseSwitch;
    }
    BOOL PathOff(int path, int zone) override
    {
        log->push_back(Say("path off ", path) + Say(" zone ", zone));
        return TRUE;
    }
    BOOL SetMicomByte(BOOL on, BOOL) override
    {
        log->push_back(Say("amp ", on));
        return TRUE;
    }
    BOOL SetZoneMute(int zone, BOOL on) override
    {
        log->push_back(Say("zone mute ", zone) + Say(" ", on));
        return TRUE;
    }
    BOOL devMute(BOOL on) override
    {
        log->push_back(Say("dev mute ", on));
        return TRUE;
    }
    BOOL ApplyZoneVolume(int zone, int, int level) override
    {
        log->push_back(Say("zone volume ", zone) + Say(" ", level));
        return TRUE;
    }
    BOOL ApplyMainVolume(int, int level) override
    {
        log->push_back(Say("main ", level));
        return TRUE;
    }
    BOOL RequestA(BOOL on) override
    {
        log->push_back(Say("request A ", on));
        return IxModelCenter::RequestA(on);
    }
    BOOL RequestB(BOOL on) override
    {
        log->push_back(Say("request B ", on));
        return IxModelCenter::RequestB(on);
    }
    void PolledValueIs(int value) override { log->push_back(Say("polled ", value)); }
    void Pause(DWORD ms) override { log->push_back(Say("pause ", ms)); }

    Log* log;
};

class ModelCenterBaseTest : public ModelFixture {
protected:
    void SetUp() override
    {
        ModelFixture::SetUp();
        center = std::make_unique<RecordingCenter>(&log);
        m1 = new FakeModel(MODELID_MUSIC, &log);
        m2 = new FakeModel(MODELID_FM, &log);
    }
    void TearDown() override
    {
        m1->Release();
        m2->Release();
        center->ReleaseAllModels();
        center.reset();
        ModelFixture::TearDown();
    }
    // Audio and video owner of a zone as "audio/video" model ids (0 none).
    std::string Owners(int zone) const
    {
        const IxModel* video = center->GetVideoOwner(zone);
        return N(center->GetSourceOwnerId(zone)) + "/" + N(video ? video->GetModelId() : 0);
    }

    Log log;
    std::unique_ptr<RecordingCenter> center;
    FakeModel* m1 = nullptr;
    FakeModel* m2 = nullptr;
};

TEST_F(ModelCenterBaseTest, ModelsJoinTheListAndLeaveItWithTheCenterReference)
{
    EXPECT_EQ(center->FindModel(MODELID_MUSIC), m1);
    EXPECT_EQ(center->FindModel(MODELID_FM), m2);
    EXPECT_EQ(center->FindModel(MODELID_DVD), nullptr);
    EXPECT_EQ(m1->GetRefCount(), 2);

    auto* m3 = new FakeModel(MODELID_DVD, &log);
    EXPECT_EQ(center->GetModelCount(), 3);
    center->TellAllModels(DEVNO_SD0, AEV_ATTACH);
    EXPECT_EQ(Take(log), (Log{"8110 device 10 4128", "8202 device 10 4128", "8070 device 10 4128"}));
    m2->answer = 0;
    EXPECT_EQ(center->AskAllModels(0, 0), 0);
    m2->answer = 1;
    EXPECT_EQ(center->AskAllModels(0, 0), 1);

    // The list's reference goes; a model no one else holds goes with it.
    m3->Release();
    center->RequestSource(m1, MRF_AUDIO, ZONE_MAIN);
    center->ReleaseAllModels();
    EXPECT_EQ(center->GetModelCount(), 0);
    EXPECT_EQ(center->FindModel(MODELID_MUSIC), nullptr);
    EXPECT_EQ(m1->GetRefCount(), 1);
    // A model deleted while it owns a zone leaves no owner behind.
    m1->Release();
    m1 = new FakeModel(MODELID_MUSIC, &log);
    center->RequestSource(m1, MRF_AUDIO | MRF_VIDEO, ZONE_SECOND);
    m1->Release();
    m1->Release();
    EXPECT_EQ(Owners(ZONE_SECOND), "0/0");
    m1 = new FakeModel(MODELID_MUSIC, &log);
}

TEST_F(ModelCenterBaseTest, RequestsHandTheZonesOverGiveUpFirst)
{
    struct Step {
        FakeModel* model;
        DWORD flags;
        int zone;
        Log calls;          // what the models were asked
        std::string owners; // of the zone afterwards
        DWORD status1, status2;
    };
    // Steps run in order, each on the state the one before left.
    const Step steps[] = {
        {m1, MRF_AUDIO | MRF_VIDEO, ZONE_MAIN, {"8110 take 5 zone 0"}, "8110/8110", 0x5, 0},
        // Audio only: the audio moves, the video stays.
        {m2, MRF_AUDIO, ZONE_MAIN, {"8110 release 1 zone 0", "8202 take 1 zone 0"}, "8202/8110", 0x4, 0x1},
        // A request is the whole wish: asking for video only gives the audio up.
        {m2,
         MRF_VIDEO,
         ZONE_MAIN,
         {"8202 release 1 zone 0", "8110 release 4 zone 0", "8202 take 4 zone 0"},
         "0/8202",
         0x0,
         0x4},
        // Taking the video away without taking it.
        {m1, MRF_AUDIO | MRF_TAKEVIDEO, ZONE_MAIN, {"8202 release 4 zone 0", "8110 take 1 zone 0"}, "8110/0", 0x1, 0x0},
        // Zones keep their own owners and status bits.
        {m2, MRF_AUDIO | MRF_VIDEO, ZONE_SECOND, {"8202 take 5 zone 1"}, "8202/8202", 0x1, 0x50},
        {m2, MRF_AUDIO | MRF_VIDEO, ZONE_OTHER, {"8202 take 5 zone 2"}, "8202/8202", 0x1, 0x550},
        // Both held by one model: one give-up call.
        {m1,
         MRF_AUDIO | MRF_VIDEO,
         ZONE_SECOND,
         {"8202 release 5 zone 1", "8110 take 5 zone 1"},
         "8110/8110",
         0x51,
         0x500},
        // A null model empties what the flags name.
        {nullptr, MRF_ALL, ZONE_OTHER, {"8202 release 5 zone 2"}, "0/0", 0x51, 0x0},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(N(s.model ? s.model->GetModelId() : 0) + Say(" flags ", s.flags) + Say(" zone ", s.zone));
        center->RequestSource(s.model, s.flags, s.zone);
        Log calls;
        for (const std::string& line : Take(log)) {
            if (line.find(" take ") != std::string::npos || line.find(" release ") != std::string::npos)
                calls.push_back(line);
        }
        EXPECT_EQ(calls, s.calls);
        EXPECT_EQ(Owners(s.zone), s.owners);
        EXPECT_EQ(m1->GetStatus(), s.status1);
        EXPECT_EQ(m2->GetStatus(), s.status2);
    }
    // Only the main zone's audio owner changes are told.
    EXPECT_EQ(Heard(), (Log{"101 8110", "101 8202", "101 0", "101 8110"}));

    // Everything of the main zone given up at once.
    center->RequestSource(nullptr, MRF_ALL, ZONE_MAIN);
    EXPECT_EQ(Owners(ZONE_MAIN), "0/0");
    EXPECT_EQ(Heard(), (Log{"101 0"}));
    // A release gives back only what the model owns of what it names.
    log.clear();
    center->ReleaseSource(m2, MRF_AUDIO | MRF_VIDEO, ZONE_SECOND);
    EXPECT_EQ(Owners(ZONE_SECOND), "8110/8110");
    center->ReleaseSource(m1, MRF_VIDEO, ZONE_SECOND);
    EXPECT_EQ(Owners(ZONE_SECOND), "8110/0");
    EXPECT_EQ(Take(log), (Log{"8110 release 4 zone 1"}));
}

TEST_F(ModelCenterBaseTest, AnOwnerThatKeepsItsResourceIsNotTakenOver)
{
    center->RequestSource(m1, MRF_AUDIO | MRF_VIDEO, ZONE_MAIN);
    m1->keep = true;
    center->RequestSource(m2, MRF_AUDIO | MRF_VIDEO, ZONE_MAIN);
    EXPECT_EQ(Owners(ZONE_MAIN), "8110/8110");
    EXPECT_EQ(m2->GetStatus(), 0u);
    // With the video bypass the video changes hands without asking anyone.
    log.clear();
    center->SetVideoBypass(TRUE);
    center->RequestSource(m2, MRF_VIDEO, ZONE_MAIN);
    EXPECT_EQ(Owners(ZONE_MAIN), "8110/8202");
    EXPECT_EQ(Take(log), Log{});
    m1->keep = false;
}

TEST_F(ModelCenterBaseTest, TheAudioPathFollowsTheMainZoneOwnerAroundTheFades)
{
    center->SetPlayerLevel(10000);
    center->SetVolume(5000);
    center->AudioOn();
    center->StartSources(); // the source mute holds until a model hands its audio in
    log.clear();
    center->RequestSource(m1, MRF_AUDIO, ZONE_MAIN);
    EXPECT_EQ(Take(log), (Log{"8110 take 1 zone 0", "switch 8110 from -1 zone 0", "main 5000", "dev mute 0"}));
    EXPECT_EQ(center->GetCurrentPath(ZONE_MAIN), MODELID_MUSIC);
    EXPECT_EQ(m1->GetMuteWord(), 0);

    center->RequestSource(m2, MRF_AUDIO, ZONE_MAIN);
    EXPECT_EQ(Take(log),
              (Log{"8110 release 1 zone 0", "dev mute 1", "path off 8110 zone 0", "8202 take 1 zone 0",
                   "switch 8202 from -1 zone 0", "main 5000", "dev mute 0"}));
    EXPECT_EQ(m1->GetMuteWord(), 1);

    // A refused switch keeps the current path.
    center->refuseSwitch = true;
    EXPECT_FALSE(center->SelectAudioPath(MODELID_DVD, ZONE_MAIN));
    EXPECT_EQ(center->GetCurrentPath(ZONE_MAIN), MODELID_FM);
    EXPECT_EQ(center->GetRequestedPath(ZONE_MAIN), MODELID_DVD);
    // Releasing a path that another model asked for last changes nothing.
    log.clear();
    center->ReleaseAudioPath(MODELID_FM, ZONE_MAIN);
    EXPECT_EQ(Take(log), Log{});
    center->refuseSwitch = false;

    // Without sources every main-zone owner gives up and the path goes.
    center->StopSources();
    EXPECT_EQ(Owners(ZONE_MAIN), "0/0");
    EXPECT_EQ(center->GetCurrentPath(ZONE_MAIN), -1);
}

TEST_F(ModelCenterBaseTest, VolumeIsClampedRepeatsAreOnlyToldAndHoldersRefuseIt)
{
    center->SetPlayerLevel(10000);
    struct Case {
        int level;
        Log hardware;
        Log heard;
        int stored;
    } cases[] = {
        {12000, {"level zero 0", "main 10000"}, {"102 50"}, 10000},
        {10000, {}, {"104 50"}, 10000}, // the same value: told, the hardware untouched
        {-5, {"level zero 1", "main 0"}, {"102 0"}, 0},
        {201, {"level zero 0", "main 201"}, {"102 1"}, 201},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.level);
        center->SetVolume(c.level, TRUE, TRUE);
        EXPECT_EQ(Take(log), c.hardware);
        EXPECT_EQ(Heard(), c.heard);
        EXPECT_EQ(center->GetVolumeLevel(), c.stored);
    }
    // Unmuting through the volume tells the mute change first.
    center->SetMute(TRUE, FALSE);
    log.clear();
    center->StepVolume(2);
    EXPECT_EQ(center->GetVolumeLevel(), 601);
    EXPECT_EQ(Heard(), (Log{"106 0", "102 3"}));
    EXPECT_EQ(center->GetVolumeStep(ZONE_MAIN), 3);

    center->SetMuteHolder(77, TRUE);
    log.clear();
    center->SetVolume(3000, TRUE, TRUE);
    EXPECT_EQ(center->GetVolumeLevel(), 601);
    EXPECT_EQ(Take(log), Log{});
    EXPECT_EQ(Heard(), (Log{"109 77"}));

    // The second zone: clamped, unmuted by a change, told as asked.
    center->SetSecondMute(ZONE_SECOND, TRUE);
    log.clear();
    center->SetSecondVolume(ZONE_SECOND, 20000, TRUE);
    center->SetSecondVolume(ZONE_SECOND, 20000, TRUE);
    center->StepSecondVolume(ZONE_SECOND, -3);
    EXPECT_EQ(Take(log), (Log{"zone mute 1 0", "zone volume 1 10000", "zone volume 1 9400"}));
    EXPECT_EQ(Heard(), (Log{"111 0", "112 0", "103 50", "105 50", "103 47"}));
    EXPECT_EQ(center->GetVolumeStep(ZONE_SECOND), 47);
}

TEST_F(ModelCenterBaseTest, FadesRampInStepsWithTheirWaitsAndRestoreTheLevelBehindTheMute)
{
    center->SetPlayerLevel(10000);
    center->SetVolume(10000);
    center->SetFade(5, 25);
    center->AudioOn();
    log.clear();
    center->SetSourceMute(TRUE, TRUE);
    EXPECT_EQ(Take(log),
              (Log{"main 8000", "pause 25", "main 6000", "pause 25", "main 4000", "pause 25", "main 2000", "pause 25",
                   "main 0", "dev mute 1", "pause 25", "main 10000"}));
    EXPECT_TRUE(center->IsFadedDown());
    EXPECT_EQ(center->GetPlayerLevel(), 10000);
    // Only a change of the faded-down state fades.
    center->SetSourceMute(TRUE, TRUE);
    EXPECT_EQ(Take(log), Log{});
    center->SetSourceMute(FALSE, TRUE);
    EXPECT_EQ(Take(log),
              (Log{"main 0", "pause 25", "dev mute 0", "main 2000", "pause 25", "main 4000", "pause 25", "main 6000",
                   "pause 25", "main 8000", "pause 25", "main 10000"}));
    // Without a ramp only the device mute moves.
    center->SetSourceMute(TRUE, FALSE);
    center->SetSourceMute(FALSE, FALSE);
    EXPECT_EQ(Take(log), (Log{"dev mute 1", "dev mute 0"}));

    // In software the audio owner's level follows.
    center->RequestSource(m1, MRF_AUDIO, ZONE_MAIN);
    center->SetPlayerLevel(-1);
    log.clear();
    center->FadeDown(TRUE);
    EXPECT_EQ(center->GetPlayerLevel(), 0);
    center->FadeUp(TRUE);
    EXPECT_EQ(Take(log), (Log{"8110 volume 0", "8110 volume 10000"}));
}

TEST_F(ModelCenterBaseTest, BaseSleepsOnlyTheFadeWaits)
{
    // The base's own wait is the platform's sleep: a ramp takes fade steps
    // × step time each way and not a millisecond more.
    IxModelCenter plain(50, 50, 0, 0);
    plain.SetPlayerLevel(10000);
    plain.SetVolume(10000);
    plain.SetFade(5, 25);
    plain.AudioOn();
    const std::uint64_t start = platform::NowMs();
    plain.SetSourceMute(TRUE, TRUE);
    EXPECT_EQ(platform::NowMs() - start, 125u);
    plain.SetSourceMute(FALSE, TRUE);
    EXPECT_EQ(platform::NowMs() - start, 250u);
}

TEST_F(ModelCenterBaseTest, MuteKindsDriveTheAmplifierAndTheFades)
{
    center->SetPlayerLevel(10000);
    center->SetVolume(4000);
    center->SetInitialMute(TRUE);
    log.clear();

    center->AudioOn(); // muted by the user: the amplifier stays held
    center->AudioOn();
    EXPECT_EQ(Take(log), Log{});
    center->SetMute(FALSE, TRUE);
    center->SetExternalMute(TRUE);
    center->SetMute(TRUE, TRUE);
    center->SetExternalMute(FALSE);
    center->ForceMute(FALSE);
    EXPECT_EQ(Take(log), (Log{"amp 0", "amp 1", "amp 0"}));
    EXPECT_EQ(Heard(), (Log{"106 0", "106 1"}));

    // Bridge mute and holders fade without a ramp and are told.
    center->SetBridgeMute(TRUE);
    center->SetMuteHolder(5, TRUE);
    center->SetMuteHolder(5, TRUE);
    center->SetBridgeMute(FALSE);
    center->SetMuteHolder(9, FALSE);
    center->SetMuteHolder(5, FALSE);
    EXPECT_EQ(Take(log), (Log{"dev mute 1", "dev mute 0"}));
    EXPECT_EQ(Heard(), (Log{"107 0", "109 5", "108 1", "110 5"}));
    IxArray<int> holders;
    EXPECT_FALSE(center->GetMuteHolders(&holders));

    // ACC off fades down and holds the amplifier; it stays held.
    center->AudioOff();
    center->AudioOff();
    EXPECT_EQ(Take(log), (Log{"dev mute 1", "amp 1"}));
    EXPECT_TRUE(center->IsAmpMuted());
    // A user unmute at volume zero leaves the amplifier held.
    center->AudioOn();
    center->SetVolume(0);
    center->SetMute(TRUE, FALSE);
    center->SetMute(FALSE, FALSE);
    EXPECT_TRUE(center->IsAmpMuted());
}

TEST_F(ModelCenterBaseTest, HideVideoCountsRequestsOnTheVideoOwnerElseTheAudioOwner)
{
    center->RequestSource(m1, MRF_AUDIO, ZONE_MAIN);
    log.clear();
    center->HideVideo(TRUE);
    center->HideVideo(TRUE);
    center->HideVideo(FALSE);
    center->HideVideo(FALSE);
    center->HideVideo(FALSE);
    EXPECT_EQ(Take(log), (Log{"8110 hide 1", "8110 hide 1", "8110 hide 0", "8110 hide 0"}));
    EXPECT_EQ(center->GetHideVideoCount(), 0);

    center->RequestSource(m2, MRF_VIDEO, ZONE_MAIN);
    EXPECT_EQ(Owners(ZONE_MAIN), "8110/8202");
    log.clear();
    center->HideVideo(TRUE);
    EXPECT_EQ(Take(log), (Log{"8202 hide 1"}));
}

TEST_F(ModelCenterBaseTest, RequestsAreLatchedAndRequestBWaitsForAcc)
{
    frametest::ActionListener requestB(MCA_REQUESTB);
    frametest::ActionListener requestA(MCA_REQUESTA);
    center->WantRequestB(); // not running: only marked
    center->SetRequestA(TRUE);
    center->SetRequestA(TRUE);
    center->AudioOn();
    center->AudioOff();
    center->AudioOn();
    center->UnwantRequestB();
    center->SetRequestA(FALSE);
    Log requests;
    for (const std::string& line : Take(log)) {
        if (line.rfind("request", 0) == 0)
            requests.push_back(line);
    }
    EXPECT_EQ(requests,
              (Log{"request A 1", "request B 1", "request B 0", "request B 1", "request B 0", "request A 0"}));
    // Delivered at once, in the call.
    using H = frametest::ActionListener::Heard;
    EXPECT_EQ(requestA.heard, (std::vector<H>{{MCA_REQUESTA, AEV_DEFAULT, 1}, {MCA_REQUESTA, AEV_DEFAULT, 0}}));
    EXPECT_EQ(requestB.heard.size(), 4u);
}

TEST_F(ModelCenterBaseTest, SourcesPollTheModelsOnTheKernelTimer)
{
    m1->Release();
    m2->Release();
    center->ReleaseAllModels();
    center = std::make_unique<RecordingCenter>(&log, 1000);
    m1 = new FakeModel(MODELID_MUSIC, &log);
    m2 = new FakeModel(MODELID_FM, &log);
    center->SetPollBase(3);
    m1->polled = 7;
    {
        // Kernel timers start at the end of the handler that set them.
        IxBusyScope busy(frame);
        center->StartSources();
        center->StartSources();
    }
    log.clear();
    clock.Advance(1000);
    Pump();
    m1->polled = 1;
    clock.Advance(1000);
    Pump();
    center->StopSources();
    clock.Advance(3000);
    Pump();
    EXPECT_EQ(Take(log), (Log{"polled 7", "polled 3"}));
    EXPECT_FALSE(center->AreSourcesStarted());
}

} // namespace
