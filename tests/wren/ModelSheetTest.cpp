// The model-bound source sheet against a fake source model: each model
// notification and the sheet's reaction, taking the source, the device
// cycle, the child commands, the message timer on the manual clock, and the
// standard children a concrete sheet may lack.
#include "Source/screens/common/ModelSheet.h"
#include "Source/screens/common/SheetCodes.h"
#include "tests/common/ActionListener.h"
#include "tests/wren/SourceSheetFixture.h"

#include <functional>

namespace {

using namespace sheettest;

class ModelSheetTest : public SourceSheetFixture {
protected:
    void Pop()
    {
        frame->PopLayer(kSheetId);
        Pump();
        sheet = nullptr;
        bar = nullptr;
    }
    // A child's click notice, as the queue delivers it.
    void Click(int id)
    {
        PushGlobalAction(id, AEV_CLICK, 0);
        IxGetKernel()->DrainQueue();
        frame->SyncTimers();
    }
    std::string Field(const std::string& name)
    {
        if (name == "panels")
            return Panels();
        if (name == "status")
            return std::to_string(sheet->GetStatusState());
        if (name == "buttons")
            return std::string(Visible(MSC_PLAY) ? "play" : "") + (Visible(MSC_PAUSE) ? "pause" : "");
        static const std::pair<const char*, int> kTexts[] = {
            {"position", MSC_POSITION},  {"length", MSC_LENGTH}, {"total", MSC_TRACKTOTAL},
            {"number", MSC_TRACKNUMBER}, {"info1", MSC_INFO1},   {"info2", MSC_INFO2},
        };
        for (const auto& [text, id] : kTexts)
            if (name == text)
                return TextOf(id);
        return "?";
    }
};

struct NoticeRow {
    const char* name;
    std::function<void(FakeSource::State&)> before;
    int kind;
    LPARAM value;
    Log calls;
    std::vector<std::pair<std::string, std::string>> shows;
};

TEST_F(ModelSheetTest, EachNotificationOfTheModelHasItsReaction)
{
    auto none = [](FakeSource::State&) {};
    const NoticeRow rows[] = {
        {"connection failed", none, SMN_FAILED, SMF_CONNECTION, {}, {{"panels", "11"}}},
        {"refresh failed", none, SMN_FAILED, SMF_REFRESH, {}, {{"panels", "13"}, {"status", "0"}}},
        {"node without media", none, SMN_NODECOMPLETE, 0, {}, {{"panels", "2"}, {"status", "2"}}},
        {"node complete after an error",
         [](auto& s) { s.error = TRUE; },
         SMN_NODECOMPLETE,
         1,
         {},
         {{"panels", "12"}, {"status", "0"}}},
        {"device connected",
         [](auto& s) { s.root = TRUE; },
         SMN_CONNECTION,
         SMC_CONNECTED,
         {"select current", "follow node", "start"},
         {}},
        {"device attached", none, SMN_CONNECTION, SMC_ATTACHED, {"connect"}, {}},
        {"device detached",
         [](auto& s) { s.position = 5; },
         SMN_CONNECTION,
         SMC_DETACHED,
         {},
         {{"panels", ""}, {"position", "00:00:05"}}},
        {"seekable asks for the list", [](auto& s) { s.hasList = TRUE; }, SMN_SEEKABLE, 0, {"list"}, {}},
        {"a target started",
         [](auto& s) {
             s.playState = SPS_PLAYING;
             s.info1 = u"DVD";
             s.info2 = u"Chapter 3";
         },
         SMN_PLAYOUTCOME,
         1,
         {},
         {{"info1", "DVD"}, {"info2", "Chapter 3"}, {"buttons", "pause"}}},
        {"length at start", none, SMN_LENGTH, 3725, {}, {{"length", "01:02:05"}, {"buttons", "play"}}},
        {"playing", [](auto& s) { s.playState = SPS_PLAYING; }, SMN_PLAYING, 0, {}, {{"buttons", "pause"}}},
        {"paused", [](auto& s) { s.playState = SPS_PAUSED; }, SMN_PAUSED, 0, {}, {{"buttons", "play"}}},
        {"position", [](auto& s) { s.length = 3725; }, SMN_POSITION, 65, {}, {{"position", "00:01:05"}}},
        {"position beyond the length", [](auto& s) { s.length = 60; }, SMN_POSITION, 65, {}, {{"position", ""}}},
        {"video visible", none, SMN_VIDEOVISIBLE, 0, {"video 1"}, {}},
        {"video suspended", none, SMN_VIDEOSUSPENDED, 1, {"video 0"}, {}},
        {"video hidden", none, SMN_VIDEOHIDDEN, 0, {"video 0"}, {}},
        {"video shown again without video", none, SMN_VIDEOSHOWN, 0, {}, {}},
        {"video on the main page needs a ready device", [](auto& s) { s.ready = FALSE; }, SMN_VIDEOVISIBLE, 0, {}, {}},
        {"title", [](auto& s) { s.info2 = u"Track 7"; }, SMN_TITLE, 0, {}, {{"info2", "Track 7"}}},
        {"length changed",
         [](auto& s) { s.position = 30; },
         SMN_LENGTHCHANGED,
         100,
         {},
         {{"length", "00:01:40"}, {"position", "00:00:30"}}},
        {"track total",
         [](auto& s) {
             s.total = 12;
             s.number = 2;
         },
         SMN_TRACKTOTAL,
         12,
         {},
         {{"total", "12"}, {"number", "3"}}},
        {"track number", [](auto& s) { s.number = 0; }, SMN_TRACKNUMBER, 0, {}, {{"number", "1"}}},
        {"play mode", [](auto& s) { s.playMode = SPM_MODE26; }, SMN_PLAYMODE, 1, {}, {{"panels", "7"}}},
        {"order mode", [](auto& s) { s.orderMode = SPM_ORDER29; }, SMN_ORDERMODE, 1, {}, {{"panels", "8"}}},
    };
    for (const NoticeRow& row : rows) {
        SCOPED_TRACE(row.name);
        model->s = {};
        MakeSheet();
        Push();
        row.before(model->s);
        Take();
        Post(row.kind, row.value);
        EXPECT_EQ(Take(), row.calls);
        for (const auto& [field, value] : row.shows)
            EXPECT_EQ(Field(field), value) << field;
        Pop();
    }
}

TEST_F(ModelSheetTest, ShowingTakesTheSourceWithTheModelsFlagsAndStartsIt)
{
    // The sheet asks for audio (unless the source is silent) and for the
    // video (a video layout) or only for the video to be taken away; the
    // center hands over what it can give.
    struct Row {
        BOOL videoLayout;
        DWORD status;
        const char* take; // null: nothing to hand over
    };
    const Row rows[] = {
        {FALSE, 0, "take 1 zone 0"},
        {TRUE, 0, "take 5 zone 0"},
        {FALSE, SMS_SILENT, nullptr},
        {TRUE, SMS_SILENT, "take 4 zone 0"},
    };
    frametest::ActionListener entered(IXA_VIEWENTERED);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.take ? row.take : "none");
        model->s = {};
        model->s.videoLayout = row.videoLayout;
        model->SetStatusBits(row.status);
        MakeSheet();
        Push();
        // An update interval left at 0 gives the model 500 ms.
        Log expected{"interval 500", "first show 1"};
        if (row.take)
            expected.push_back(row.take);
        for (const char* step : {"resume 0", "pause screen 0", "play selection", "start"})
            expected.push_back(step);
        EXPECT_EQ(Take(), expected);
        ASSERT_FALSE(entered.heard.empty());
        EXPECT_EQ(entered.heard.back().value, kSheetId);
        sheet->LeaveSource();
        const Log back = Take();
        EXPECT_EQ(back.size(), row.take ? 1u : 0u);
        Pop();
        EXPECT_EQ(Take(), Log{"detach"});
        model->SetStatusBits(0);
    }
}

TEST_F(ModelSheetTest, DeviceWaitEndsWhenTheDeviceIsReadyOrFailedAtItsTime)
{
    for (BOOL fails : {FALSE, TRUE}) {
        SCOPED_TRACE(fails ? "fails" : "ready");
        model->s = {};
        model->s.ready = FALSE;
        MakeSheet();
        Push();
        EXPECT_EQ(sheet->GetStatusState(), MSS_WAITDEVICE);
        EXPECT_EQ(Panels(), "1");
        EXPECT_EQ(Take().back(), "connect");
        // A report while the device-wait timer runs waits for its time.
        Post(SMN_CONNECTION, SMC_CONNECTED);
        EXPECT_EQ(Take(), Log{});
        model->s.ready = !fails;
        model->s.failed = fails;
        Tick(999);
        EXPECT_EQ(Panels(), "1");
        Tick(1);
        EXPECT_EQ(Panels(), fails ? "11" : "");
        EXPECT_EQ(Take(), fails ? Log{} : (Log{"select current", "start"}));
        Pop();
        Take();
    }
}

TEST_F(ModelSheetTest, StatusPopupForNoMediaClosesAtThePopupTimeAfterTheNodeCame)
{
    model->s.root = TRUE;
    model->s.listLoaded = FALSE;
    MakeSheet();
    Push();
    EXPECT_EQ(sheet->GetStatusState(), MSS_NOMEDIA);
    EXPECT_EQ(sheet->GetPopupState(), MSU_PANEL);
    EXPECT_EQ(Panels(), "2");
    const Log calls = Take();
    EXPECT_EQ(Log(calls.end() - 2, calls.end()), (Log{"follow node", "start"}));
    Post(SMN_NODECOMPLETE, 1);
    EXPECT_EQ(sheet->GetStatusState(), MSS_CLOSING);
    EXPECT_EQ(Panels(), "2");
    Tick(1000);
    EXPECT_EQ(sheet->GetStatusState(), MSS_IDLE);
    EXPECT_EQ(sheet->GetPopupState(), MSU_NONE);
    EXPECT_EQ(Panels(), "");
}

TEST_F(ModelSheetTest, ChildCommandsReachTheModel)
{
    struct Row {
        int id;
        std::function<void(FakeSource::State&)> before;
        Log calls;
    };
    auto none = [](FakeSource::State&) {};
    const Row rows[] = {
        {MSC_PLAY, none, {"play"}},
        {MSC_PAUSE, [](auto& s) { s.playState = SPS_PLAYING; }, {"pause"}},
        {MSC_PAUSE, [](auto& s) { s.playState = SPS_PAUSED; }, {"play"}},
        {MSC_PREVIOUS, none, {"skip 0"}},
        {MSC_NEXT, none, {"skip 1"}},
        {MSC_SEARCHBACK, none, {"search 0"}},
        {MSC_SEARCHFORWARD, [](auto& s) { s.search = 1; }, {"play"}}, // the running search ends
        {MSC_SEARCHFORWARD, [](auto& s) { s.search = 0; }, {"search 1"}},
        {MSC_MODE27, none, {"mode 27"}},
        {MSC_MODE27, [](auto& s) { s.playMode = SPM_MODE27; }, {"mode 28"}}, // toggled off
        {MSC_MODE25, [](auto& s) { s.playMode = SPM_MODE26; }, {"mode 25"}},
        {MSC_ORDER30, none, {"mode 30"}},
        {MSC_ORDER29, [](auto& s) { s.orderMode = SPM_ORDER29; }, {"mode 31"}},
    };
    MakeSheet();
    Push();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.id);
        model->s = {};
        row.before(model->s);
        Take();
        Click(row.id);
        EXPECT_EQ(Take(), row.calls);
    }
}

TEST_F(ModelSheetTest, ABindingTurnsTheNextPressIntoTheEndOfTheRunningSearch)
{
    MakeSheet();
    sheet->BindCommand(MSC_NEXT, MSC_SEARCHFORWARD, 0, 0, 0, 0);
    Push();
    model->s.search = 1;
    Take();
    Click(MSC_NEXT);
    EXPECT_EQ(Take(), Log{"play"});
}

TEST_F(ModelSheetTest, MessageTimerClosesTheMessageOnTheManualClock)
{
    struct Row {
        int messageTime;
        int code;
        int panel;
        bool closesView;
    };
    const Row rows[] = {
        {4000, MSG_DEVICEFAILED, MSP_MESSAGE8, true}, // closes the screen after its time
        {4000, MSG_MODELERROR, MSP_MESSAGE10, true},
        {4000, 5, MSP_MESSAGE, false}, // other messages stay until closed
    };
    frametest::ActionListener closed(IXA_CLOSEVIEW);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.code);
        closed.heard.clear();
        MakeSheet(row.messageTime);
        Push();
        sheet->ShowMessage(row.code);
        frame->SyncTimers();
        EXPECT_EQ(Panels(), std::to_string(row.panel));
        Tick(3999);
        EXPECT_EQ(Panels(), std::to_string(row.panel));
        Tick(1);
        IxGetKernel()->DrainQueue();
        EXPECT_EQ(Panels(), row.closesView ? "" : std::to_string(row.panel));
        EXPECT_EQ(closed.heard.size(), row.closesView ? 1u : 0u);
        // The close button ends a message that stays, without closing the screen.
        Click(MSC_MESSAGECLOSE1);
        EXPECT_EQ(Panels(), "");
        EXPECT_EQ(closed.heard.size(), row.closesView ? 1u : 0u);
        Pop();
    }
}

TEST_F(ModelSheetTest, AScreenThatGoesTakesItsRunningMessageAlong)
{
    frametest::ActionListener closed(IXA_CLOSEVIEW);
    MakeSheet(4000);
    Push();
    sheet->ShowMessage(MSG_DEVICEFAILED);
    frame->SyncTimers();
    Pop();
    Tick(5000);
    IxGetKernel()->DrainQueue();
    EXPECT_TRUE(closed.heard.empty());
}

TEST_F(ModelSheetTest, MissingChildrenAreLeftAloneAndTheNumberCarriesTheTotal)
{
    model->s.total = 12;
    model->s.number = 2;
    model->s.length = 100;
    model->s.position = 50;
    MakeSheet(4000, 1000, {MSC_PROGRESS, MSC_TRACKTOTAL, MSC_PLAY, MSC_PAUSE});
    Push();
    EXPECT_EQ(sheet->GetMissingChildren(), MSM_PROGRESS | MSM_TRACKTOTAL | MSM_PLAYBUTTONS);
    EXPECT_EQ(TextOf(MSC_TRACKNUMBER), "3/12");
    Post(SMN_PLAYOUTCOME, 1);
    Post(SMN_TRACKNUMBER, 2);
    EXPECT_EQ(TextOf(MSC_TRACKNUMBER), "3/12");
}

TEST_F(ModelSheetTest, ASheetWithoutAModelClosesItselfAtItsPause)
{
    frametest::ActionListener closed(IXA_CLOSEVIEW);
    sheet = new TestSheet(0, 0, nullptr, &log);
    sheet->SetId(kSheetId);
    sheet->SetRectNow(RECT{0, 0, 800, 480});
    sheet->SetFlags(0, IXF_PENDING);
    Push();
    IxGetKernel()->DrainQueue();
    ASSERT_EQ(closed.heard.size(), 1u);
    EXPECT_EQ(closed.heard[0].value, kSheetId);
}

TEST_F(ModelSheetTest, VariantsEnterAndLeaveTheirOwnWay)
{
    frametest::ActionListener entered(IXA_VIEWENTERED);
    frametest::ActionListener pipEntered(IXA_PIPVIEWENTERED);
    auto show = [&](CModelSheet* variant) {
        variant->SetId(kSheetId);
        variant->SetRectNow(RECT{0, 0, 800, 480});
        variant->SetFlags(0, IXF_PENDING);
        EXPECT_TRUE(frame->PushLayer(variant, nullptr, IXLAYER_SCREEN));
        Repaint();
        return Take();
    };

    // Picture in picture: says so instead of the full screen, and takes the source.
    show(new CPIPSourceView(0, 0, model));
    EXPECT_TRUE(entered.heard.empty());
    ASSERT_EQ(pipEntered.heard.size(), 1u);
    EXPECT_EQ(pipEntered.heard[0].value, kSheetId);
    EXPECT_TRUE(IxModelCenter::GetInstance()->GetZoneOwner(ZONE_MAIN) == model);
    Pop();
    center->RequestSource(nullptr, MRF_ALL, ZONE_MAIN);
    Take();

    // The on-screen display takes nothing, shows with 0 and gives back only
    // the audio.
    center->RequestSource(model, MRF_AUDIO | MRF_VIDEO, ZONE_MAIN);
    Take();
    auto* osd = new COSDSourceView(model);
    EXPECT_EQ(show(osd),
              (Log{"interval 500", "first show 0", "resume 0", "pause screen 0", "play selection", "start"}));
    osd->LeaveSource();
    EXPECT_EQ(Take(), Log{"give back 1 zone 0"});
    Pop();
    Take();

    // A dual-zone panel runs in its zone and starts nothing by itself.
    auto* zone = new CZoneSourcePanel(ZONE_SECOND, model);
    EXPECT_EQ(show(zone), (Log{"interval 500", "resume 1", "pause screen 1"}));
    EXPECT_EQ(zone->GetZone(), ZONE_SECOND);
    Pop();
}

TEST_F(ModelSheetTest, VideoWhileDrivingShowsGroupBAndParkedOrWithoutVideoGroupA)
{
    // No park-brake device is known here: the brake counts as released.
    for (DWORD status : {DWORD{0}, DWORD{SMS_VIDEOON}, DWORD{SMS_VIDEOON | SMS_VIDEOHIDDEN}}) {
        SCOPED_TRACE(status);
        model->SetStatusBits(status);
        MakeSheet();
        for (int id : {IXPAGE_A_FIRST, IXPAGE_B_FIRST}) {
            auto* page = new frametest::Sheet(id, RECT{0, 0, 800, 480});
            sheet->AddPage(page);
        }
        Push();
        EXPECT_EQ(sheet->GetActivePageId(), status == SMS_VIDEOON ? IXPAGE_B_FIRST : IXPAGE_A_FIRST);
        Pop();
    }
    model->SetStatusBits(0);
}

} // namespace
