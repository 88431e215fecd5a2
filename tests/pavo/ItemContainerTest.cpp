// The item container and the string list: the click and selection rules,
// moving by items and pages with the companions following, and the string
// list's data, with a screenshot of a string list.
#include "Lib_cpp/controls/ItemContainerView.h"
#include "Lib_cpp/controls/ListView.h"
#include "tests/common/ActionListener.h"
#include "tests/common/FrameScreenshot.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace frametest;

constexpr int kListId = 310;

// An element that keeps the last value of each property it was given.
class Probe : public ColorBox {
public:
    Probe() : ColorBox(0, RECT{0, 0, 10, 10}, kRed) {}
    int SetProperty(int id, LPARAM value) override
    {
        properties[id] = value;
        return 1;
    }
    std::map<int, LPARAM> properties;
};

// Five rows of 60 px; the rows report their clicks to the list directly.
class TestList : public IxItemContainerView {
public:
    explicit TestList(DWORD style) : IxItemContainerView(style)
    {
        m_nId = kListId;
        SetRectNow(RECT{100, 40, 500, 340});
        for (int i = 0; i < 5; ++i) {
            auto* row = new ColorBox(0, RECT{0, i * 60, 400, i * 60 + 60}, kGreen);
            row->SetFlags(IXF_DIRECTNOTIFY, 0);
            AddItemElement(row);
        }
    }
    void Fill(int count)
    {
        SetCount(count);
        Relayout(FALSE);
    }
    void BindItem(IxElement* element, int index) override { bound[element] = index; }
    LRESULT OnEvent(int code, LPARAM param) override
    {
        if (code == IXEV_SELECTIONCHANGED || code == IXEV_RESELECTED) {
            events.emplace_back(code, param);
            return code == IXEV_SELECTIONCHANGED ? takeSelection : 1;
        }
        return IxItemContainerView::OnEvent(code, param);
    }
    IxElement* Row(int position) const { return ElementAt(position); }
    // The item at position reports code as its own notice.
    void Report(int position, int code) { PostElementNotify(Row(position), 0, code, 0); }

    std::map<IxElement*, int> bound;
    std::vector<std::pair<int, LPARAM>> events;
    BOOL takeSelection = FALSE;
};

using Notices = std::vector<std::pair<int, LPARAM>>;

class ItemContainerTest : public FrameScreenshotTest {
protected:
    TestList* Show(DWORD style, int count)
    {
        auto* list = new TestList(style);
        EXPECT_TRUE(frame->PushLayer(list, nullptr, IXLAYER_SCREEN));
        list->Fill(count);
        Repaint();
        return list;
    }
    Notices Heard(ActionListener& listener)
    {
        frame->DrainEventQueue();
        Notices notices;
        for (const auto& heard : listener.heard)
            notices.emplace_back(heard.kind, heard.value);
        listener.heard.clear();
        return notices;
    }
};

TEST_F(ItemContainerTest, ClickAndSelectionRules)
{
    constexpr DWORD kMulti = IXICS_MULTISELECT, kNoSelect = IXICS_NOSELECT, kSelectedOnly = IXICS_CLICKSELECTED;
    constexpr int kClick = AEV_CLICK, kItem = AEV_ITEMNOTICE, kSel = AEV_SELECTIONCHANGED;
    struct Case {
        const char* name;
        DWORD style;
        int selected; // selected before (single), or clicked once before (multiple)
        int clicked;  // position; top is 0
        int code;
        Notices notices;
        int selectedAfter;
        std::vector<std::pair<int, LPARAM>> events;
    };
    const std::vector<Case> cases = {
        {"select", 0, -1, 2, kClick, {{kItem, 2}, {kSel, 6}, {kClick, 2}}, 2, {{32, 2}}},
        {"reselect", 0, 2, 2, kClick, {{kItem, 2}}, 2, {{33, 2}}},
        {"short press", 0, -1, 1, AEV_SHORTPRESS, {{kItem, 1}, {kSel, 6}, {AEV_SHORTPRESS, 1}}, 1, {{32, 1}}},
        {"selected only: new", kSelectedOnly, -1, 2, kClick, {{kItem, 2}, {kSel, 6}}, 2, {{32, 2}}},
        {"selected only: again", kSelectedOnly, 2, 2, kClick, {{kItem, 2}, {kClick, 2}}, 2, {{33, 2}}},
        {"no select: other", kNoSelect, -1, 3, kClick, {{kItem, 3}, {kClick, 3}}, -1, {}},
        {"no select: selected", kNoSelect, 3, 3, kClick, {{kItem, 3}}, 3, {}},
        {"no select, selected only: selected",
         kNoSelect | kSelectedOnly,
         3,
         3,
         kClick,
         {{kItem, 3}, {kClick, 3}},
         3,
         {}},
        {"no select, selected only: other", kNoSelect | kSelectedOnly, 3, 1, kClick, {{kItem, 1}}, 3, {}},
        {"multiple: add", kMulti, -1, 4, kClick, {{kItem, 4}, {kSel, 6}, {kClick, 4}}, -1, {{32, -1}}},
        {"multiple: remove", kMulti, 4, 4, kClick, {{kItem, 4}, {kSel, 6}, {kClick, 4}}, -1, {{32, -1}}},
        {"beyond the count", 0, -1, 4, kClick, {{kItem, 4}}, -1, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestList* list = Show(c.style, std::string(c.name) == "beyond the count" ? 4 : 12);
        if (c.selected >= 0) {
            if (c.style & kMulti)
                list->Report(c.selected, kClick);
            else
                list->SetProperty(IXP_ITEMSELECT, c.selected);
        }
        ActionListener listener(kListId);
        frame->DrainEventQueue();
        listener.heard.clear();
        list->events.clear();

        list->Report(c.clicked, c.code);
        EXPECT_EQ(Heard(listener), c.notices);
        EXPECT_EQ(list->GetSelectedIndex(), c.selectedAfter);
        EXPECT_EQ(list->events, c.events);
        const bool shownSelected = (c.style & kMulti) ? list->IsSelected(c.clicked) : c.selectedAfter == c.clicked;
        EXPECT_EQ(list->Row(c.clicked)->HasFlag(IXF_SELECTED), shownSelected);
        frame->PopLayer(kListId);
    }
}

TEST_F(ItemContainerTest, ASelectionTheListTakesItselfIsNotPosted)
{
    TestList* list = Show(0, 12);
    list->takeSelection = TRUE;
    ActionListener listener(kListId);
    list->Report(1, AEV_CLICK);
    EXPECT_EQ(Heard(listener), (Notices{{AEV_ITEMNOTICE, 1}, {AEV_CLICK, 1}}));
}

TEST_F(ItemContainerTest, MovingByItemsAndPagesWithTheCompanions)
{
    struct Case {
        DWORD style;
        int property;
        int value;
        int top;
        LPARAM indicator;
        bool up, down;
    };
    const Case cases[] = {
        {0, IXP_ITEMTOTOP, 9, 7, 7 | 7 << 16, true, false},
        {0, IXP_ITEMTOTOP, -4, 0, 7, false, true},
        {IXICS_PAGED, IXP_ITEMTOTOP, 9, 5, 3 | 1 << 16, true, true},
        {IXICS_PAGED, IXP_ITEMTOTOP, 14, 10, 3 | 2 << 16, true, false},
        {0, IXP_ITEMBYITEMS, 3, 3, 7 | 3 << 16, true, true},
        {IXICS_WRAP, IXP_ITEMBYITEMS, -1, 7, 7 | 7 << 16, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.style) + " " + std::to_string(c.property) + " " + std::to_string(c.value));
        TestList* list = Show(c.style, 12);
        auto* indicator = new Probe;
        auto* up = new Probe;
        auto* down = new Probe;
        list->SetCompanions(indicator, nullptr, up, down);
        list->SetProperty(c.property, c.value);
        EXPECT_EQ(list->GetTopIndex(), c.top);
        EXPECT_EQ(list->Query(IXQ_ITEMTOP, nullptr), c.top);
        EXPECT_EQ(indicator->properties[IXP_INDICATORRANGE], c.indicator);
        EXPECT_EQ(!up->HasFlag(IXF_DISABLED), c.up);
        EXPECT_EQ(!down->HasFlag(IXF_DISABLED), c.down);
        // Element k shows top + k; rows past the count are empty and disabled.
        for (int k = 0; k < 5; ++k)
            EXPECT_EQ(list->bound[list->Row(k)], c.top + k < 12 ? c.top + k : -1);
        frame->PopLayer(kListId);
    }
}

TEST_F(ItemContainerTest, StepsStopAtTheEndsAndTheButtonsStep)
{
    TestList* list = Show(0, 12);
    auto* up = new Probe;
    auto* down = new Probe;
    down->SetFlags(IXF_DIRECTNOTIFY, 0);
    up->SetFlags(IXF_DIRECTNOTIFY, 0);
    list->SetCompanions(nullptr, nullptr, up, down);
    int steps = 0;
    while (list->StepDown())
        ++steps;
    EXPECT_EQ(steps, 7);
    EXPECT_EQ(list->GetTopIndex(), 7);
    PostElementNotify(up, 0, AEV_CLICK, 0);
    EXPECT_EQ(list->GetTopIndex(), 6);
    PostElementNotify(down, 0, AEV_LONGPRESS, 0);
    EXPECT_EQ(list->GetTopIndex(), 7);
    EXPECT_FALSE(list->StepDown());
}

TEST_F(ItemContainerTest, CurrentAndSelectionStepAndKeepInView)
{
    TestList* list = Show(IXICS_KEEPINVIEW | IXICS_WRAP, 12);
    ActionListener listener(kListId);
    list->SetProperty(IXP_ITEMSELECT, 6);
    EXPECT_EQ(list->GetSelectedIndex(), 6);
    EXPECT_EQ(list->GetTopIndex(), 2); // the selected row is the last one shown
    EXPECT_TRUE(list->Row(4)->HasFlag(IXF_SELECTED));
    list->SetProperty(IXP_ITEMCURRENT, IXLI_PREVIOUS);
    EXPECT_EQ(list->GetCurrentIndex(), 5);
    list->SetProperty(IXP_ITEMSELECT, -9); // below -3: none
    EXPECT_EQ(list->GetSelectedIndex(), -1);
    list->SetProperty(IXP_ITEMSELECT, IXLI_PREVIOUS); // from none: the last
    EXPECT_EQ(list->GetSelectedIndex(), 11);
    list->SetProperty(IXP_ITEMSELECT, IXLI_NEXT); // wraps
    EXPECT_EQ(list->GetSelectedIndex(), 0);
    EXPECT_EQ(list->GetTopIndex(), 0);
    const Notices heard = Heard(listener);
    EXPECT_EQ(std::count(heard.begin(), heard.end(), std::make_pair(int(AEV_SELECTIONCHANGED), LPARAM(7))), 4);
    EXPECT_EQ(std::count(heard.begin(), heard.end(), std::make_pair(int(AEV_CURRENTCHANGED), LPARAM(7))), 1);
}

TEST_F(ItemContainerTest, MultipleSelectionAllAndNone)
{
    TestList* list = Show(IXICS_MULTISELECT, 7);
    list->SetProperty(IXP_ITEMSELECT, IXLI_SELECTALL);
    IxArray<int> selection;
    EXPECT_EQ(list->Query(IXQ_ITEMSELECTION, reinterpret_cast<LPARAM*>(&selection)), 7);
    EXPECT_TRUE(list->Row(4)->HasFlag(IXF_SELECTED));
    list->SetProperty(IXP_ITEMSELECT, IXLI_CLEARALL);
    EXPECT_EQ(list->Query(IXQ_ITEMSELECTION, nullptr), 0);
    EXPECT_FALSE(list->Row(4)->HasFlag(IXF_SELECTED));
}

// ---------------------------------------------------------------------------
// The string list

class StringListTest : public ItemContainerTest {
protected:
    void SetUp() override
    {
        ItemContainerTest::SetUp();
        static IX_STATIC_STRING(kFace, u"NanumGothic");
        frame->GetFontTable().Add(IxFontEntry{IXFS_ANTIALIAS, -24, &kFace, RGB(255, 255, 255), nullptr});
        frame->GetFontTable().Add(IxFontEntry{IXFS_ANTIALIAS, -24, &kFace, RGB(255, 210, 0), nullptr});
    }
    IxStringListView* ShowStrings(std::initializer_list<const char16_t*> texts, DWORD style = 0x30)
    {
        auto* list = new IxStringListView(5, 1, 0, 0, style, 0);
        list->SetId(kListId);
        list->SetRectNow(RECT{150, 40, 650, 440});
        list->SetFlags(IXF_HITCLIENT, 0); // passed on to the rows: the whole row takes the press
        IxStringArray strings;
        for (const char16_t* text : texts)
            strings.AddText(text);
        EXPECT_TRUE(list->CreateItems(&strings));
        RECT text{24, 0, 480, 80};
        list->SetProperty(IXP_TEXTRECT, reinterpret_cast<LPARAM>(&text));
        list->SetProperty(IXP_FONT, 0);
        list->SetProperty(IXP_FONTSELECTED, 1);
        EXPECT_TRUE(frame->PushLayer(list, nullptr, IXLAYER_SCREEN));
        Repaint();
        return list;
    }
    static std::vector<std::u16string> Shown(IxStringListView* list)
    {
        std::vector<std::u16string> texts;
        for (int i = 0; i < list->GetStringCount(); ++i)
            texts.emplace_back(list->GetString(i).Text());
        return texts;
    }
};

TEST_F(StringListTest, RemovingTheLastAndEverything)
{
    IxStringListView* list = ShowStrings({u"하나", u"둘", u"셋", u"넷"});
    EXPECT_EQ(list->GetCount(), 4);
    list->SetProperty(IXP_STRINGLISTREMOVE, -1);
    EXPECT_EQ(Shown(list), (std::vector<std::u16string>{u"하나", u"둘", u"셋"}));
    list->SetProperty(IXP_ITEMSELECT, 1);
    list->SetProperty(IXP_STRINGLISTREMOVE, -2); // the selected one
    EXPECT_EQ(Shown(list), (std::vector<std::u16string>{u"하나", u"셋"}));
    EXPECT_EQ(list->GetSelectedIndex(), -1);
    list->SetProperty(IXP_STRINGLISTCLEAR, 0);
    EXPECT_EQ(list->GetCount(), 0);
    EXPECT_EQ(list->GetTopIndex(), 0);
    EXPECT_EQ(list->GetSelectedIndex(), -1);
    EXPECT_EQ(list->GetCurrentIndex(), -1);
}

TEST_F(StringListTest, InsertingKeepsTheSelectionOnItsItem)
{
    IxStringListView* list = ShowStrings({u"a", u"b", u"c"});
    list->SetProperty(IXP_ITEMSELECT, 1);
    IxStringListEntry entry{0, IxString(u"first")};
    list->SetProperty(IXP_STRINGLISTINSERT, reinterpret_cast<LPARAM>(&entry));
    IxStringListEntry last{99, IxString(u"last")};
    list->SetProperty(IXP_STRINGLISTINSERT, reinterpret_cast<LPARAM>(&last));
    EXPECT_EQ(Shown(list), (std::vector<std::u16string>{u"first", u"a", u"b", u"c", u"last"}));
    EXPECT_EQ(list->GetSelectedIndex(), 2);
    IxStringListEntry replace{2, IxString(u"B")};
    list->SetProperty(IXP_STRINGLISTREPLACE, reinterpret_cast<LPARAM>(&replace));
    EXPECT_EQ(Shown(list)[2], u"B");
}

TEST_F(StringListTest, RowsShowTheirStringsAndTheSelection)
{
    IxStringListView* list = ShowStrings({u"라디오", u"USB 음악", u"블루투스 오디오", u"DMB", u"설정", u"전화"});
    list->SetProperty(IXP_ITEMSELECT, 2);
    // A tap on the fourth row selects it.
    Down(300, 40 + 3 * 80 + 40);
    Up(300, 40 + 3 * 80 + 40);
    EXPECT_EQ(list->GetSelectedIndex(), 3);
    list->SetProperty(IXP_ITEMBYITEMS, 1);
    Repaint();
    EXPECT_TRUE(screenshot::ScreenMatchesReference());
}

} // namespace
