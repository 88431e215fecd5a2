// The external program's model over a recording link: its state table
// (launch, the ready report, show, hide and the cancelled show in each
// state, the picture shown), the video on and off reports with the status
// bits, the reports of a foreign sender, the forwarded broadcasts; and the
// navigation model's get-or-create with its failure path.
#include "Source/models/ExtAppModel.h"

#include "Lib_cpp/core/ActionCodes.h"
#include "Lib_cpp/core/Diag.h"
#include "Source/models/ModelCenterBase.h"
#include "Source/models/NaviModel.h"
#include "Source/models/SettingModel.h"
#include "platform/base/Debug.h"
#include "tests/wren/ModelFixture.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using namespace modeltest;

// A link that writes each call into the log.
class RecordingLink : public IxExtAppBridge {
public:
    explicit RecordingLink(Log* log) : log(log) {}
    ~RecordingLink() override { log->push_back("deleted"); }
    BOOL AppLaunch() override { return Put("launch"); }
    LRESULT AppStop(int flag) override { return Put(Say("stop ", flag)); }
    int AppGetLayout() const override { return layout; }
    void AppHold(BOOL on, int value) override { Put(Say("hold ", on) + Say(" ", value)); }
    void AppSync() override { Put("sync"); }
    LRESULT AppSetLayout(int value) override { return Put(Say("layout ", value)); }
    LRESULT AppShow(int flag, int value) override { return Put(Say("show ", flag) + Say(" ", value)); }
    LRESULT AppShowAgain(int flag) override { return Put(Say("again ", flag)); }
    LRESULT AppNotify(int value) override { return Put(Say("notify ", value)); }
    LRESULT AppHide() override { return Put("hide"); }
    LRESULT AppCancelShow() override { return Put("cancel"); }
    BOOL AppEvent(int kind, LPARAM parameter) override
    {
        return Put(Say("event ", kind) + Say(" ", static_cast<long long>(parameter)));
    }

    int Put(const std::string& call) const
    {
        log->push_back(call);
        return 7; // what a link answers, passed on by some operations
    }

    Log* log;
    int layout = 1;
};

class TestModel : public ExtAppModel {
public:
    TestModel(RecordingLink* link) : ExtAppModel(MODELID_NAVI, link) {}
    void Force(int state, DWORD status = 0)
    {
        m_nState = state;
        m_dwStatus = status;
    }
};

class ExtAppModelTest : public ModelFixture {
protected:
    void SetUp() override
    {
        ModelFixture::SetUp();
        link = new RecordingLink(&log);
        model = new TestModel(link);
        heard = std::make_unique<frametest::ActionListener>(MODELID_NAVI);
    }
    void TearDown() override
    {
        heard.reset();
        if (model)
            model->Release();
        ModelFixture::TearDown();
    }
    // The model's notifications since the last call, by code.
    std::vector<int> Notices()
    {
        kernel->DrainQueue();
        std::vector<int> out;
        for (const auto& h : heard->heard)
            out.push_back(h.kind);
        heard->heard.clear();
        return out;
    }
    int Report(LumoNotice notice, const void* sender)
    {
        return model->ActionIsInvoked(MLA_EXTAPPREPORT, static_cast<int>(notice), reinterpret_cast<LPARAM>(sender));
    }

    Log log;
    RecordingLink* link = nullptr;
    TestModel* model = nullptr;
    std::unique_ptr<frametest::ActionListener> heard;
};

struct StepCase {
    const char* what;
    int from;
    int op; // below
    Log calls;
    int to;
    long long result; // -1: not checked
    std::vector<int> notices;
};

enum { OP_LAUNCH, OP_READY, OP_SHOW, OP_HIDE, OP_LAYOUT, OP_VIDEOREADY, OP_STOP };

TEST_F(ExtAppModelTest, StateTable)
{
    const StepCase cases[] = {
        {"launch when idle", EXTAPP_IDLE, OP_LAUNCH, {"launch"}, EXTAPP_LAUNCHING, 1, {}},
        {"launch again", EXTAPP_LAUNCHING, OP_LAUNCH, {}, EXTAPP_LAUNCHING, 0, {}},
        {"launch when ready", EXTAPP_READY, OP_LAUNCH, {}, EXTAPP_READY, 0, {}},
        {"ready when idle", EXTAPP_IDLE, OP_READY, {}, EXTAPP_READY, 1, {NAVIN_LAUNCHED}},
        {"ready when launching", EXTAPP_LAUNCHING, OP_READY, {}, EXTAPP_READY, 1, {NAVIN_LAUNCHED}},
        {"ready when ready", EXTAPP_READY, OP_READY, {}, EXTAPP_READY, 1, {}},
        {"ready when shown", EXTAPP_SHOWN, OP_READY, {}, EXTAPP_SHOWN, 1, {}},
        {"show when idle", EXTAPP_IDLE, OP_SHOW, {"show 3001 0"}, EXTAPP_SHOWING, 1, {}},
        {"show when ready", EXTAPP_READY, OP_SHOW, {"show 3001 0"}, EXTAPP_SHOWING, 1, {}},
        {"show when hidden", EXTAPP_HIDDEN, OP_SHOW, {"show 3001 0"}, EXTAPP_SHOWING, 1, {}},
        {"show when showing", EXTAPP_SHOWING, OP_SHOW, {"again 3001"}, EXTAPP_SHOWING, 7, {}},
        {"show when shown", EXTAPP_SHOWN, OP_SHOW, {"again 3001"}, EXTAPP_SHOWN, 7, {}},
        {"hide when idle", EXTAPP_IDLE, OP_HIDE, {}, EXTAPP_IDLE, 0, {}},
        {"hide when launching", EXTAPP_LAUNCHING, OP_HIDE, {}, EXTAPP_LAUNCHING, 0, {}},
        {"hide when ready", EXTAPP_READY, OP_HIDE, {}, EXTAPP_READY, 0, {}},
        {"hide when hidden", EXTAPP_HIDDEN, OP_HIDE, {}, EXTAPP_HIDDEN, 0, {}},
        {"hide when showing: the show is withdrawn", EXTAPP_SHOWING, OP_HIDE, {"cancel"}, EXTAPP_HIDDEN, 1, {}},
        {"hide when shown", EXTAPP_SHOWN, OP_HIDE, {"hide"}, EXTAPP_HIDDEN, 1, {}},
        {"layout when ready: kept", EXTAPP_READY, OP_LAYOUT, {}, EXTAPP_READY, -1, {}},
        {"layout when showing", EXTAPP_SHOWING, OP_LAYOUT, {"layout 1"}, EXTAPP_SHOWING, -1, {}},
        {"layout when shown", EXTAPP_SHOWN, OP_LAYOUT, {"layout 1"}, EXTAPP_SHOWN, -1, {}},
        {"video ready when launching", EXTAPP_LAUNCHING, OP_VIDEOREADY, {}, EXTAPP_LAUNCHING, 1, {}},
        {"video ready when ready", EXTAPP_READY, OP_VIDEOREADY, {}, EXTAPP_SHOWN, 1, {NAVIN_SHOWN}},
        {"video ready when hidden", EXTAPP_HIDDEN, OP_VIDEOREADY, {}, EXTAPP_HIDDEN, 1, {}},
        {"video ready when showing", EXTAPP_SHOWING, OP_VIDEOREADY, {}, EXTAPP_SHOWN, 1, {NAVIN_SHOWN}},
        {"video ready when shown", EXTAPP_SHOWN, OP_VIDEOREADY, {}, EXTAPP_SHOWN, 1, {NAVIN_SHOWN}},
        {"stop", EXTAPP_SHOWN, OP_STOP, {"stop 1"}, EXTAPP_IDLE, 7, {}},
    };
    for (const StepCase& c : cases) {
        SCOPED_TRACE(c.what);
        model->Force(c.from);
        model->SetLayout(0);
        log.clear();
        long long result = -1;
        switch (c.op) {
        case OP_LAUNCH:
            result = model->Launch();
            break;
        case OP_READY:
            result = Report(LumoNotice::Started, link);
            break;
        case OP_SHOW:
            result = model->Show(3001);
            break;
        case OP_HIDE:
            result = model->Hide();
            break;
        case OP_LAYOUT:
            model->SetLayout(1);
            break;
        case OP_VIDEOREADY:
            result = Report(LumoNotice::LayoutChanged, link);
            break;
        case OP_STOP:
            model->SetLayout(1);
            log.clear();
            result = model->Stop(1);
            break;
        }
        EXPECT_EQ(log, c.calls);
        EXPECT_EQ(model->GetState(), c.to);
        if (c.result >= 0) {
            EXPECT_EQ(result, c.result);
        }
        EXPECT_EQ(Notices(), c.notices);
    }
    EXPECT_EQ(model->GetStoredLayout(), 0); // the stop cleared it
}

TEST_F(ExtAppModelTest, ReadyIsLoggedOnlyWhenItChangesTheState)
{
    platform::DebugCapture capture;
    Report(LumoNotice::Started, link);
    Report(LumoNotice::Started, link);
    const std::string text = capture.Text();
    const std::string line = "[ExtAppModel] mmnReady : prepare to ready, state=[0]";
    EXPECT_NE(text.find(line), std::string::npos);
    EXPECT_EQ(text.find("mmnReady", text.find(line) + line.size()), std::string::npos);
}

TEST_F(ExtAppModelTest, ALayoutSetBeforeTheShowGoesWithIt)
{
    Report(LumoNotice::Started, link);
    model->SetLayout(1);
    EXPECT_TRUE(log.empty());
    model->Show(3001);
    EXPECT_EQ(log, (Log{"show 3001 1"}));
    model->Force(EXTAPP_SHOWING);
    Report(LumoNotice::LayoutChanged, link);
    EXPECT_TRUE(model->GetStatus() & MSB_VIDEOREADY);
}

TEST_F(ExtAppModelTest, VideoOnAndOffFollowTheStatusBits)
{
    const struct {
        DWORD status;
        LumoNotice report;
        DWORD after;
        std::vector<int> notices;
    } cases[] = {
        {0, LumoNotice::VisibleSet, MSB_VIDEOON, {NAVIN_VIDEOON}},
        {MSB_VIDEOON, LumoNotice::VisibleSet, MSB_VIDEOON, {}},
        {MSB_VIDEOON | MSB_VIDEOHIDDEN, LumoNotice::VisibleSet, MSB_VIDEOON | MSB_VIDEOHIDDEN, {NAVIN_VIDEOON}},
        {MSB_VIDEOON | MSB_VIDEOOFFWAIT, LumoNotice::VisibleSet, MSB_VIDEOON | MSB_VIDEOOFFWAIT, {NAVIN_VIDEOON}},
        {MSB_VIDEOON, LumoNotice::Hidden, 0, {NAVIN_VIDEOOFF}},
        {0, LumoNotice::Hidden, 0, {}},
        {MSB_VIDEOON | MSB_VIDEOHIDDEN, LumoNotice::Hidden, MSB_VIDEOON | MSB_VIDEOHIDDEN, {}},
        {MSB_VIDEOON | MSB_VIDEOOFFWAIT, LumoNotice::Hidden, MSB_VIDEOON | MSB_VIDEOOFFWAIT, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Say("status ", c.status) + Say(" report ", static_cast<int>(c.report)));
        model->Force(EXTAPP_SHOWN, c.status);
        EXPECT_EQ(Report(c.report, link), 1);
        EXPECT_EQ(model->GetStatus(), c.after);
        EXPECT_EQ(Notices(), c.notices);
    }
}

TEST_F(ExtAppModelTest, OtherSendersAndOtherReportsAreIgnored)
{
    RecordingLink stranger(&log);
    for (LumoNotice report : {LumoNotice::Started, LumoNotice::LayoutChanged, LumoNotice::WarningClosed}) {
        EXPECT_EQ(Report(report, &stranger), 0);
        EXPECT_EQ(Report(report, nullptr), 0);
    }
    EXPECT_EQ(model->GetState(), EXTAPP_IDLE);
    EXPECT_TRUE(Notices().empty());
    // The link's own reports: warning closed and window known pass on.
    EXPECT_EQ(Report(LumoNotice::WarningClosed, link), 1);
    EXPECT_EQ(Report(LumoNotice::WindowKnown, link), 1);
    EXPECT_EQ(Report(static_cast<LumoNotice>(99), link), 1);
    EXPECT_EQ(Notices(), (std::vector<int>{NAVIN_INITIAL, NAVIN_PREPARED}));
    EXPECT_EQ(model->ActionIsInvoked(MODELID_NAVI, 13, reinterpret_cast<LPARAM>(link)), 0);
    EXPECT_TRUE(log.empty());
}

TEST_F(ExtAppModelTest, ForwardedBroadcastsAndTheOtherOperationsReachTheLink)
{
    const LPARAM record[3] = {0, 1013, 0};
    EXPECT_EQ(model->ActionIsInvoked(IXA_BROADCASTMESSAGE, AEV_ARGS, reinterpret_cast<LPARAM>(record)), 1);
    model->HoldView(TRUE, 1);
    model->SyncView();
    EXPECT_EQ(model->Notify(5), 1);
    EXPECT_EQ(model->GetLayout(), 1);
    EXPECT_EQ(log, (Log{Say("event 4135 ", reinterpret_cast<LPARAM>(record)), "hold 1 1", "sync", "notify 5"}));
    model->Release();
    model = nullptr;
    EXPECT_EQ(log.back(), "deleted"); // the link goes with the model
}

// ---------------------------------------------------------------------------
// GetNaviModel

Log* g_madeLog = nullptr;
CLumoOwner* g_lastOwner = nullptr;

IxExtAppBridge* MakeRecordingLink(CLumoOwner* owner)
{
    owner->AddRef();
    g_lastOwner = owner;
    return new RecordingLink(g_madeLog);
}

IxExtAppBridge* MakeNothing(CLumoOwner*)
{
    return nullptr;
}

class GetNaviModelTest : public ModelFixture {
protected:
    void SetUp() override
    {
        ModelFixture::SetUp();
        app.SetMainWindow(hwnd);
        g_madeLog = &log;
        center = std::make_unique<IxModelCenter>(50, 50, 0, 0);
    }
    void TearDown() override
    {
        SetNaviLinkFactory(nullptr);
        center->ReleaseAllModels();
        center.reset();
        if (g_lastOwner)
            g_lastOwner->Release();
        g_lastOwner = nullptr;
        // Still the main window while it closes: its object goes with it.
        ModelFixture::TearDown();
        app.SetMainWindow(nullptr);
    }

    Log log;
    std::unique_ptr<IxModelCenter> center;
    std::unique_ptr<frametest::ActionListener> heard;
};

// The program's guidance is mixed in unless the settings switch it off.
TEST_F(GetNaviModelTest, GuidanceIsHeldBackOnlyWhenTheSettingsSaySo)
{
    CNaviLinkOwner* owner = CNaviLinkOwner::Create();
    ASSERT_NE(owner, nullptr);
    EXPECT_TRUE(owner->IsGuidanceAllowed()); // no setting model yet
    CSettingModel* model = GetSettingModel();
    ASSERT_NE(model, nullptr);
    BYTE* setting = model->GetStatus();
    ASSERT_NE(setting, nullptr);
    EXPECT_TRUE(owner->IsGuidanceAllowed()); // the default
    PutSettingWord(setting, SETTING_GUIDANCE, 0);
    EXPECT_FALSE(owner->IsGuidanceAllowed());
    PutSettingWord(setting, SETTING_GUIDANCE, 2);
    EXPECT_TRUE(owner->IsGuidanceAllowed());
    owner->Release();
}

TEST_F(GetNaviModelTest, FindsTheModelOrMakesItWithItsLink)
{
    SetNaviLinkFactory(&MakeRecordingLink);
    CNaviModel* first = GetNaviModel();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->GetModelId(), MODELID_NAVI);
    EXPECT_EQ(first->GetRefCount(), 2); // the caller's and the center's
    EXPECT_EQ(center->FindModel(MODELID_NAVI), first);
    CNaviModel* second = GetNaviModel();
    EXPECT_EQ(second, first);
    EXPECT_EQ(first->GetRefCount(), 3);
    second->Release();
    // The link's reports come back as the model's action, from the link.
    heard = std::make_unique<frametest::ActionListener>(MODELID_NAVI);
    g_lastOwner->OnLumoNotice(LumoNotice::Started);
    Pump();
    kernel->DrainQueue();
    EXPECT_EQ(first->GetState(), EXTAPP_READY);
    ASSERT_EQ(heard->heard.size(), 1u);
    EXPECT_EQ(heard->heard[0].kind, NAVIN_LAUNCHED);
    heard.reset();
    first->Release();
}

TEST_F(GetNaviModelTest, WithoutALinkThereIsNoModelAndTheLastErrorSaysOutOfMemory)
{
    for (NaviLinkFactory factory : {static_cast<NaviLinkFactory>(nullptr), &MakeNothing}) {
        SetNaviLinkFactory(factory);
        IxSetLastError({0, 0});
        EXPECT_EQ(GetNaviModel(), nullptr);
        IxLastError error{};
        IxGetLastError(&error);
        EXPECT_EQ(error.kind, IXERR_NOMEMORY);
        EXPECT_EQ(center->FindModel(MODELID_NAVI), nullptr);
    }
}

TEST_F(GetNaviModelTest, AForeignModelOfTheIdIsNotTakenForTheNavigationModel)
{
    auto* other = new FakeModel(MODELID_NAVI, &log);
    EXPECT_EQ(GetNaviModel(), nullptr);
    other->Release();
}

} // namespace
