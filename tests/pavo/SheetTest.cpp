// The sheet through the kernel frame on the manual clock: page switching in
// the three groups with the group children following, the indicator table
// sharing its children (blink and animation on timers), and the command
// bindings with their re-arming.
#include "Lib_cpp/controls/Sheet.h"
#include "Lib_cpp/controls/ElementApi.h"
#include "platform/base/Clock.h"
#include "tests/common/ActionListener.h"
#include "tests/common/FrameWindow.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace {

using namespace frametest;

constexpr int kSheetId = 900;

// Records what an indicator puts into it: the text, the frame (each
// IXFRAME_NEXT counts one on) and how often it was set.
class Probe : public IxElement {
public:
    Probe(int id, RECT rc)
    {
        m_nId = id;
        SetRectNow(rc);
        SetFlags(0, IXF_PENDING);
    }
    int SetProperty(int id, LPARAM value) override
    {
        ++sets;
        if (id == IXP_TEXTNOW) {
            text = reinterpret_cast<const IxString*>(value)->Text();
            frame = -100;
        } else if (id == IXP_FRAME) {
            frame = value == IXFRAME_NEXT ? frame + 1 : static_cast<int>(value);
            text.clear();
        }
        return 1;
    }
    void Draw(IxPaintRecord*) override {}
    bool Shown() const { return !HasFlag(IXF_HIDDEN); }

    std::u16string text;
    int frame = -100;
    int sets = 0;
};

class TestSheet : public IxSheet {
public:
    TestSheet()
    {
        m_nId = kSheetId;
        SetRectNow(RECT{0, 0, 800, 480});
        SetFlags(0, IXF_PENDING);
    }
    int ActionIsInvoked(int code, int kind, LPARAM value) override
    {
        commands.push_back({code, GetCurrentCommand()});
        return IxSheet::ActionIsInvoked(code, kind, value);
    }
    struct Command {
        int code;
        int current;
        bool operator==(const Command&) const = default;
    };
    std::vector<Command> commands;
    int pageChanges = 0;

protected:
    void OnPageChanged() override { ++pageChanges; }
};

class SheetTest : public FrameWindowTest {
protected:
    void SetUp() override
    {
        FrameWindowTest::SetUp();
        sheet = new TestSheet;
    }
    void TearDown() override
    {
        if (!frame->IsLayerShown(kSheetId))
            delete sheet;
        FrameWindowTest::TearDown();
    }
    void AddPages(std::initializer_list<int> ids)
    {
        for (int id : ids) {
            auto* page = new Sheet(id, RECT{0, 0, 800, 400});
            sheet->AddPage(page);
        }
    }
    Probe* AddProbe(int id)
    {
        auto* probe = new Probe(id, RECT{10, 410, 60, 460});
        sheet->AddChild(probe);
        return probe;
    }
    void Attach()
    {
        ASSERT_TRUE(frame->PushLayer(sheet, nullptr, IXLAYER_SCREEN));
        Pump();
    }
    void Tick(int ms)
    {
        clock.Advance(static_cast<std::uint64_t>(ms));
        Pump();
    }

    platform::ManualClock clock{100000};
    TestSheet* sheet = nullptr;
};

// ---------------------------------------------------------------------------
// Pages

TEST_F(SheetTest, NextPageStepsThroughEachGroupAndWrapsToItsFirstPage)
{
    AddPages({3300, 3301, 3302, 3303, 3305, 3306, 4000, 4001, 4002});
    Attach();
    struct Case {
        void (*next)(IxSheet*, int);
        int (*current)(const IxSheet*);
        std::vector<int> walk; // pages shown by NextPage(0) from the start
    };
    const Case cases[] = {
        {[](IxSheet* s, int id) { s->NextPageA(id); },
         [](const IxSheet* s) { return s->GetPageA(); },
         {3300, 3301, 3302, 3303, 3300}},
        {[](IxSheet* s, int id) { s->NextPageB(id); },
         [](const IxSheet* s) { return s->GetPageB(); },
         {3305, 3306, 3305}},
        {[](IxSheet* s, int id) { s->NextPageC(id); },
         [](const IxSheet* s) { return s->GetPageC(); },
         {4000, 4001, 4002, 4000}},
    };
    for (const Case& c : cases) {
        for (int expected : c.walk) {
            c.next(sheet, 0);
            EXPECT_EQ(c.current(sheet), expected);
            EXPECT_EQ(sheet->GetActivePageId(), expected);
        }
        // An id given is taken as it is.
        c.next(sheet, 3306);
        EXPECT_EQ(c.current(sheet), 3306);
        EXPECT_EQ(sheet->GetActivePageId(), 3306);
    }
}

TEST_F(SheetTest, ShowPageChangesOnlyToAnotherExistingPageAndTellsTheSheet)
{
    AddPages({3300, 3301, 4000});
    Attach();
    sheet->ShowPage(3300);
    EXPECT_EQ(sheet->GetActivePageId(), 3300);
    EXPECT_EQ(sheet->pageChanges, 1);
    sheet->ShowPage(3300); // already up
    sheet->ShowPage(3999); // no such page
    EXPECT_EQ(sheet->pageChanges, 1);
    EXPECT_EQ(sheet->GetActivePageId(), 3300);

    // Group C remembers the page to come back to; its page string lives
    // only while group C is up.
    sheet->NextPageC(0);
    EXPECT_EQ(sheet->GetActivePageId(), 4000);
    EXPECT_EQ(sheet->GetPageBeforeC(), 3300);
    sheet->PageString().Assign(u"detail");
    sheet->ShowPageC(); // from C itself: the page before stays
    EXPECT_EQ(sheet->GetPageBeforeC(), 3300);
    EXPECT_FALSE(sheet->PageString().IsEmpty());
    sheet->ShowPage(sheet->GetPageBeforeC());
    EXPECT_EQ(sheet->GetActivePageId(), 3300);
    EXPECT_TRUE(sheet->PageString().IsEmpty());
    EXPECT_EQ(sheet->pageChanges, 3);

    // While the sheet's layout is pending the page changes silently.
    sheet->SetFlags(IXF_LAYOUTPENDING, 0);
    sheet->ShowPage(3301);
    EXPECT_EQ(sheet->GetActivePageId(), 3301);
    EXPECT_EQ(sheet->pageChanges, 3);
}

TEST_F(SheetTest, SwitchingGroupsShowsTheGroupsPageAndItsChild)
{
    Probe* upB = AddProbe(IXID_GROUPB_SHOWN);
    Probe* upA = AddProbe(IXID_GROUPA_SHOWN);
    // Group A's page is 3301 and group B's 3306 (each only when listed);
    // 3310 is up before the switch and stays when nothing is shown.
    struct Case {
        std::vector<int> pages;
        BOOL toB;
        int page;
        int shown;
    };
    const Case cases[] = {
        {{3301, 3306}, TRUE, 0, 3306},     {{3301, 3306}, TRUE, 3300, 3306},  {{3301}, TRUE, 3302, 3301},
        {{3306, 4001}, TRUE, 4002, 3306},  {{3301}, TRUE, 4002, 3310},        {{}, TRUE, 0, 3310},
        {{3306, 3320}, TRUE, 3320, 3320},  {{3301, 3306}, FALSE, 0, 3301},    {{3301, 3306}, FALSE, 4001, 3301},
        {{3306}, FALSE, 4001, 3306},       {{3301, 3306}, FALSE, 3302, 3301}, {{3306}, FALSE, 3302, 3310},
        {{3306, 3320}, FALSE, 3320, 3320},
    };
    Attach();
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "to B " << c.toB << " page " << c.page);
        sheet->DeleteAllPages();
        AddPages({3310});
        for (int id : c.pages)
            AddPages({id});
        sheet->NextPageA(3301);
        sheet->NextPageB(3306);
        sheet->ShowPage(3310);
        sheet->SwitchPageGroup(c.toB, c.page);
        EXPECT_EQ(sheet->GetActivePageId(), c.shown);
        EXPECT_EQ(upB->Shown(), c.toB != FALSE);
        EXPECT_EQ(upA->Shown(), c.toB == FALSE);
    }
}

TEST_F(SheetTest, DefaultPageIsGroupAsElseGroupBsAndPutsGroupAUp)
{
    Probe* upB = AddProbe(IXID_GROUPB_SHOWN);
    Probe* upA = AddProbe(IXID_GROUPA_SHOWN);
    AddPages({3306, 3320});
    Attach();
    sheet->NextPageB(3306);
    sheet->SwitchPageGroup(TRUE, 0);
    EXPECT_TRUE(upB->Shown());
    sheet->ShowPage(3320);
    sheet->ShowDefaultPage(0); // no page of group A: group B's
    EXPECT_EQ(sheet->GetActivePageId(), 3306);
    EXPECT_FALSE(upB->Shown());
    EXPECT_TRUE(upA->Shown());
    sheet->ShowDefaultPage(3320);
    EXPECT_EQ(sheet->GetActivePageId(), 3320);
    sheet->AddPage(new Sheet(3302, RECT{0, 0, 800, 400}));
    sheet->NextPageA(3302);
    sheet->ShowPage(3320);
    sheet->ShowDefaultPage(3301);
    EXPECT_EQ(sheet->GetActivePageId(), 3302);
}

// ---------------------------------------------------------------------------
// Indicators

TEST_F(SheetTest, EntriesSharingAChildShowTheFirstThatIsOn)
{
    Probe* probe = AddProbe(50);
    static IX_STATIC_STRING(kUsb, u"USB");
    static IX_STATIC_STRING(kCard, u"SD");
    sheet->AddTextIndicator(1, 50, IxString(&kUsb), 0);
    sheet->AddTextIndicator(2, 50, IxString(&kCard), 0);
    sheet->AddTextIndicator(3, 50, IxString(), 0); // no text: its icon index
    Attach();
    EXPECT_FALSE(probe->Shown());

    sheet->SetIndicator(2, TRUE);
    EXPECT_TRUE(probe->Shown());
    EXPECT_EQ(probe->text, u"SD");
    sheet->SetIndicator(1, TRUE); // earlier: takes the child
    EXPECT_EQ(probe->text, u"USB");
    sheet->SetIndicator(2, FALSE); // later: nothing changes on the screen
    const int sets = probe->sets;
    sheet->SetIndicator(2, TRUE);
    EXPECT_EQ(probe->sets, sets);  // the earlier one still shows
    sheet->SetIndicator(1, FALSE); // the later one comes up
    EXPECT_EQ(probe->text, u"SD");
    EXPECT_TRUE(probe->Shown());
    sheet->SetIndicator(2, FALSE);
    EXPECT_FALSE(probe->Shown());

    sheet->SetIndicator(3, TRUE);
    EXPECT_EQ(probe->frame, 0);
    sheet->SetIndicator(99, TRUE); // no such key
    EXPECT_EQ(sheet->FindIndicator(99), -1);
    EXPECT_EQ(sheet->FindIndicator(3), 2);

    // Both on: a refresh shows the first of them, as switching did.
    sheet->SetIndicator(1, TRUE);
    sheet->RefreshIndicators();
    EXPECT_EQ(probe->text, u"USB");
    EXPECT_TRUE(probe->Shown());

    // Attaching again switches every entry off and hides the child.
    frame->PopLayer(kSheetId);
    Pump();
    sheet = new TestSheet;
    probe = AddProbe(50);
    sheet->AddIconIndicator(1, 50, 4, 0);
    sheet->SetIndicator(1, TRUE);
    EXPECT_TRUE(probe->Shown());
    Attach();
    EXPECT_FALSE(probe->Shown());
    EXPECT_FALSE(sheet->Indicators()[0]->bOn);
    sheet->SetIndicator(1, TRUE);
    EXPECT_EQ(probe->frame, 4);
    EXPECT_TRUE(probe->Shown());
}

TEST_F(SheetTest, TimedEntriesBlinkOrAnimateWhileShown)
{
    Probe* blink = AddProbe(50);
    Probe* spin = AddProbe(51);
    Probe* stepped = AddProbe(52);
    sheet->AddIconIndicator(1, 50, 2, 500);  // blinks
    sheet->AddIconIndicator(2, 51, -1, 200); // animates
    sheet->AddIconIndicator(3, 52, -1, -1);  // steps with the sheet's own steps
    sheet->AddIconIndicator(4, 52, -1, -1);  // behind entry 3 on the same child
    EXPECT_EQ(sheet->GetNegativePeriodCount(), 2);
    Attach();
    sheet->SetIndicator(1, TRUE);
    sheet->SetIndicator(2, TRUE);
    sheet->SetIndicator(3, TRUE);
    sheet->SetIndicator(4, TRUE);
    EXPECT_EQ(spin->frame, 0);
    Pump();

    Tick(200);
    EXPECT_EQ(spin->frame, 1);
    EXPECT_TRUE(blink->Shown());
    Tick(200);
    EXPECT_EQ(spin->frame, 2);
    Tick(100);
    EXPECT_FALSE(blink->Shown());
    Tick(500);
    EXPECT_TRUE(blink->Shown());

    // Off: the timer goes with the entry.
    sheet->SetIndicator(1, FALSE);
    Pump();
    EXPECT_FALSE(blink->Shown());
    Tick(1000);
    EXPECT_FALSE(blink->Shown());

    // The untimed entry steps only when the sheet steps its indicators.
    EXPECT_EQ(stepped->frame, 0);
    sheet->StepIndicators();
    EXPECT_EQ(stepped->frame, 1); // one step: the entry behind does not step it
    EXPECT_EQ(sheet->RefreshIndicator(12345), 0);
}

TEST_F(SheetTest, IndicatorEventIsQueuedOnlyForAKnownKey)
{
    sheet->AddIconIndicator(7, 50, 0, 0);
    Attach();
    ActionListener listener(IXA_INDICATOREVENT);
    {
        IxBusyScope busy(frame);
        sheet->PostIndicatorEvent(7, 77);
        sheet->PostIndicatorEvent(8, 88);
    }
    EXPECT_EQ(listener.heard, (std::vector<ActionListener::Heard>{{IXA_INDICATOREVENT, AEV_DEFAULT, 77}}));
    IxGetKernel()->RemoveListener(listener.filter, &listener);
}

// ---------------------------------------------------------------------------
// Command bindings

TEST_F(SheetTest, BindingsResolveNoticesAndReArmAfterTheRelease)
{
    constexpr int kChild = 60;
    constexpr int kClick = 7001;
    constexpr int kShort = 7002;
    constexpr int kLongA = 7003;
    constexpr int kLongB = 7005;
    sheet->BindCommand(kChild, kClick, kShort, kLongA, 0, 0);
    sheet->BindCommand(kChild, 0, 0, 0, 0, 0); // zeros keep what is bound
    sheet->BindCommand(61, kClick, 0, kLongA, 0, kLongB);
    sheet->BindCommand(62, 1, 2, 0, 0, 0); // small commands
    const IxCommandBinding* bound = sheet->FindBinding(kChild);
    ASSERT_NE(bound, nullptr);
    EXPECT_EQ(bound->nShortPress, kShort);
    Attach();

    const int list[] = {0, 1, kShort}; // 0 is no command and matches none
    struct Step {
        int child;
        int code;
        bool withList;
        int answer;
        std::vector<TestSheet::Command> delivered;
    };
    const Step steps[] = {
        {99, AEV_CLICK, false, 0, {}},                     // no binding
        {kChild, AEV_CLICK, false, 1, {{kClick, kClick}}}, // the click command
        {kChild, AEV_SHORTPRESS, false, 1, {{kShort, kShort}}},
        {kChild, AEV_SHORTPRESS, true, 1, {{kShort, -kShort}}}, // from the list, stays armed
        {kChild, AEV_CLICK, true, 1, {{kShort, -kShort}}},      // from the list: disarmed
        {kChild, AEV_CLICK, true, 1, {}},                       // taken, nothing delivered
        {kChild, AEV_LONGPRESS, false, 1, {}},
        {kChild, AEV_RELEASEDINSIDE, false, 1, {}},            // re-armed
        {kChild, AEV_RELEASEDINSIDE, false, 0, {}},            // armed: not the sheet's concern
        {kChild, AEV_LONGPRESS, false, 1, {{kLongA, kLongA}}}, // no value B: value A
        {kChild, AEV_LONGRELEASE, false, 0, {}},               // and nothing after the hold
        {kChild, AEV_ABORT, false, 0, {}},
        {61, AEV_LONGPRESS, false, 1, {{kLongB, kLongB}}},
        {61, AEV_LONGRELEASE, false, 1, {{kLongB, -kLongB}}},
        {61, AEV_ABORT, false, 1, {{kLongB, -kLongB}}},
        {62, AEV_CLICK, true, 1, {{1, -1}}}, // command 1 from the list is delivered
        {62, AEV_CLICK, true, 1, {}},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(testing::Message() << "child " << s.child << " notice " << s.code);
        sheet->commands.clear();
        EXPECT_EQ(sheet->DispatchChildNotice(s.child, s.code, s.withList ? list : nullptr, s.withList ? 3 : 0),
                  s.answer);
        EXPECT_EQ(sheet->commands, s.delivered);
        EXPECT_EQ(sheet->GetCurrentCommand(), 0);
    }

    // Disarmed again, then attached again: every binding is armed.
    sheet->DispatchChildNotice(kChild, AEV_CLICK, list, 3);
    EXPECT_FALSE(sheet->FindBinding(kChild)->bArmed);
    {
        IxBusyScope busy(frame);
        sheet->SetActive(FALSE, 0);
        sheet->SetActive(TRUE, 0);
    }
    EXPECT_TRUE(sheet->FindBinding(kChild)->bArmed);
}

} // namespace
