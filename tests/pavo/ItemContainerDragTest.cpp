// Item drag and drop of the item container, through the string list: what a
// press arms, moving items within a list, dropping them on another list,
// and the auto-scroll while an item is held over the first or last row.
#include "Lib_cpp/controls/ItemContainerView.h"
#include "Lib_cpp/controls/ListView.h"
#include "platform/base/Clock.h"
#include "tests/common/ActionListener.h"
#include "tests/common/FrameScreenshot.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using namespace frametest;

constexpr int kRowHeight = 60;
constexpr int kTop = 20;
constexpr DWORD kDrag = IXICS_PRESSITEMS | IXICS_DROPTARGET;

// A string list of five rows of 60 px whose strings are letters from first
// on. It records what its drag hooks are asked and may refuse.
class Letters : public IxStringListView {
public:
    Letters(int id, int x, DWORD style, int count, char16_t first) : IxStringListView(5, 1, 0, 0, style, 0)
    {
        SetId(id);
        SetRectNow(RECT{x, kTop, x + 300, kTop + 5 * kRowHeight});
        SetFlags(IXF_HITCLIENT, 0); // passed on to the rows: the whole row takes the press
        IxStringArray strings;
        for (int i = 0; i < count; ++i)
            strings.AddText(std::u16string(1, static_cast<char16_t>(first + i)).c_str());
        CreateItems(&strings);
    }
    BOOL MayDrag(int index) override
    {
        askedDrag.push_back(index);
        return allowDrag;
    }
    BOOL MayDropAt(int) override { return allowDrop; }
    BOOL RemoveData(int index) override
    {
        removed.push_back(index);
        return IxStringListView::RemoveData(index);
    }
    // Every string in order, as one text.
    std::u16string Data() const
    {
        std::u16string data;
        for (int i = 0; i < GetStringCount(); ++i)
            data += GetString(i).Text();
        return data;
    }
    IxElement* Row(int position) const { return ElementAt(position); }

    BOOL allowDrag = TRUE;
    BOOL allowDrop = TRUE;
    std::vector<int> askedDrag;
    std::vector<int> removed;
};

using Notices = std::vector<std::pair<int, LPARAM>>;

class ItemContainerDragTest : public FrameScreenshotTest {
protected:
    void SetUp() override
    {
        FrameScreenshotTest::SetUp();
        static IX_STATIC_STRING(kFace, u"NanumGothic");
        frame->GetFontTable().Add(IxFontEntry{IXFS_ANTIALIAS, -24, &kFace, RGB(255, 255, 255), nullptr});
        frame->GetFontTable().Add(IxFontEntry{IXFS_ANTIALIAS, -24, &kFace, RGB(255, 210, 0), nullptr});
        screen = new IxView;
        screen->SetRectNow(RECT{0, 0, 800, 480});
        ASSERT_TRUE(frame->PushLayer(screen, nullptr, IXLAYER_SCREEN));
    }
    Letters* Show(int id, int x, DWORD style, int count, char16_t first = u'a')
    {
        auto* list = new Letters(id, x, style, count, first);
        RECT text{24, 0, 260, kRowHeight};
        list->SetProperty(IXP_TEXTRECT, reinterpret_cast<LPARAM>(&text));
        list->SetProperty(IXP_FONT, 0);
        list->SetProperty(IXP_FONTSELECTED, 1);
        list->SetProperty(IXP_FONTCURRENT, 1);
        screen->AddChild(list);
        Repaint();
        return list;
    }
    void Clear()
    {
        screen->DeleteAllChildren();
        Repaint();
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
    // The window point of row `row` of a list at x.
    static POINT RowPoint(int x, int row) { return POINT{x + 150, kTop + kRowHeight * row + kRowHeight / 2}; }
    // Presses at from, moves in four steps to to and (unless hold) releases.
    void Drag(POINT from, POINT to, bool release = true)
    {
        Down(from.x, from.y);
        for (int step = 1; step <= 4; ++step) {
            clock.Advance(20);
            Move(from.x + (to.x - from.x) * step / 4, from.y + (to.y - from.y) * step / 4);
        }
        if (release)
            Up(to.x, to.y);
    }

    platform::ManualClock clock{100000};
    IxView* screen = nullptr;
};

TEST_F(ItemContainerDragTest, APressArmsADragOnlyForAnItemThatMayBeDragged)
{
    struct Case {
        const char* name;
        DWORD style;
        int selected; // an index selected before, or -1
        BOOL allowDrag;
        int row;
        int answer;
        std::vector<int> asked; // what MayDrag was asked (the top is 2)
    };
    const Case cases[] = {
        {"single: any item", kDrag, -1, TRUE, 1, IXGM_CANDIDATE, {3}},
        {"single: refused", kDrag, -1, FALSE, 1, IXGM_TRACK, {3}},
        {"multiple: selected", kDrag | IXICS_MULTISELECT, 4, TRUE, 2, IXGM_CANDIDATE, {4}},
        {"multiple: not selected", kDrag | IXICS_MULTISELECT, 4, TRUE, 1, IXGM_TRACK, {}},
        {"multiple: refused", kDrag | IXICS_MULTISELECT, 4, FALSE, 2, IXGM_TRACK, {4}},
        {"empty row", kDrag, -1, TRUE, 4, 0, {}}, // four items
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Letters* list = Show(1, 0, c.style, std::string(c.name) == "empty row" ? 4 : 12);
        list->SetProperty(IXP_ITEMTOTOP, 2);
        if (c.selected >= 0)
            list->SetProperty(IXP_ITEMSELECT, c.selected);
        list->allowDrag = c.allowDrag;
        POINT local{150, kRowHeight * c.row + kRowHeight / 2};
        EXPECT_EQ(list->OnInput(IXIN_DOWN, reinterpret_cast<LPARAM>(&local)), c.answer);
        EXPECT_EQ(list->askedDrag, c.asked);
        EXPECT_EQ(list->Row(c.row)->HasFlag(IXF_PRESSED), c.answer != 0);
        Clear();
    }
}

TEST_F(ItemContainerDragTest, ADropWithinTheListMovesTheDraggedItems)
{
    struct Case {
        const char* name;
        DWORD style;
        std::vector<int> selected;
        int from, to; // rows; the top is 0
        std::u16string data;
        std::vector<int> selectedAfter; // the selected index, or the selection
        Notices notices;
    };
    constexpr int kSel = AEV_SELECTIONCHANGED, kClick = AEV_CLICK;
    const Case cases[] = {
        {"down", kDrag, {}, 1, 3, u"acdbefgh", {3}, {{kSel, IXIC_CAUSE_DROP}, {kClick, 3}}},
        {"up, not the selected item", kDrag, {2}, 4, 0, u"eabcdfgh", {0}, {{kSel, IXIC_CAUSE_DROP}, {kClick, 0}}},
        // a and c go to the drop index in turn, g follows right after it.
        {"multiple",
         kDrag | IXICS_MULTISELECT,
         {6, 0, 2},
         0,
         3,
         u"bdacgefh",
         {2, 3, 4},
         {{kSel, IXIC_CAUSE_DROP}, {kClick, -1}}},
        {"multiple, only after the drop index",
         kDrag | IXICS_MULTISELECT,
         {4, 6},
         4,
         1,
         u"abegcdfh",
         {2, 3},
         {{kSel, IXIC_CAUSE_DROP}, {kClick, -1}}},
        {"onto itself", kDrag, {}, 2, 2, u"abcdefgh", {-1}, {}},
        {"multiple, onto a selected item",
         kDrag | IXICS_MULTISELECT,
         {1, 3},
         1,
         3,
         u"acbdefgh",
         {2, 3},
         {{kSel, IXIC_CAUSE_DROP}, {kClick, -1}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Letters* list = Show(1, 0, c.style, 8);
        for (int index : c.selected)
            list->SetProperty(IXP_ITEMSELECT, index);
        ActionListener listener(1);
        Heard(listener);
        const POINT to = RowPoint(0, c.to);
        Drag(RowPoint(0, c.from), POINT{to.x + 60, to.y});
        EXPECT_EQ(list->Data(), c.data);
        if (c.style & IXICS_MULTISELECT) {
            std::vector<int> selection;
            for (int index = 0; index < list->GetCount(); ++index)
                if (list->IsSelected(index))
                    selection.push_back(index);
            EXPECT_EQ(selection, c.selectedAfter);
        } else {
            EXPECT_EQ(list->GetSelectedIndex(), c.selectedAfter[0]);
        }
        EXPECT_EQ(Heard(listener), c.notices);
        // The rows show the selection and the current item, and no press.
        for (int row = 0; row < 5; ++row) {
            EXPECT_EQ(list->Row(row)->HasFlag(IXF_SELECTED), list->IsSelected(row)) << row;
            EXPECT_EQ(list->Row(row)->HasFlag(IXF_CURRENT), row == list->GetCurrentIndex()) << row;
            EXPECT_FALSE(list->Row(row)->HasFlag(IXF_PRESSED)) << row;
        }
        EXPECT_EQ(GetDragImageRect(list, nullptr), -1);
        Clear();
    }
}

TEST_F(ItemContainerDragTest, ADropOnAnotherListMovesTheStringsThere)
{
    struct Case {
        const char* name;
        DWORD source;
        std::vector<int> selected;
        int fromRow;
        POINT to;
        BOOL targetTakes;
        std::u16string left, right;
        std::vector<int> removed;
        int rightSelected; // y was selected
    };
    const Case cases[] = {
        {"one item", kDrag, {}, 1, RowPoint(400, 1), TRUE, u"acd", u"xbyz", {1}, 2},
        {"the selection", kDrag | IXICS_MULTISELECT, {0, 2}, 2, RowPoint(400, 0), TRUE, u"bd", u"acxyz", {2, 0}, 3},
        {"after the last", kDrag, {}, 3, RowPoint(400, 4), TRUE, u"abc", u"xyzd", {3}, 1},
        {"refused", kDrag, {}, 1, RowPoint(400, 1), FALSE, u"abcd", u"xyz", {}, 1},
        {"released outside", kDrag, {}, 1, POINT{360, 450}, TRUE, u"abcd", u"xyz", {}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Letters* left = Show(1, 0, c.source, 4);
        Letters* right = Show(2, 400, kDrag, 3, u'x');
        for (int index : c.selected)
            left->SetProperty(IXP_ITEMSELECT, index);
        right->SetProperty(IXP_ITEMSELECT, 1);
        right->allowDrop = c.targetTakes;
        ActionListener listener(1);
        Heard(listener);
        Drag(RowPoint(0, c.fromRow), c.to);
        EXPECT_EQ(left->Data(), c.left);
        EXPECT_EQ(right->Data(), c.right);
        EXPECT_EQ(left->removed, c.removed);
        EXPECT_EQ(left->GetCount(), static_cast<int>(c.left.size()));
        EXPECT_EQ(right->GetCount(), static_cast<int>(c.right.size()));
        EXPECT_EQ(right->GetSelectedIndex(), c.rightSelected);
        EXPECT_EQ(Heard(listener), (c.removed.empty() ? Notices{} : Notices{{AEV_CLICK, -1}}));
        if (c.source & IXICS_MULTISELECT) {
            EXPECT_EQ(left->Query(IXQ_ITEMSELECTION, nullptr), 0); // the selected items left
        }
        EXPECT_FALSE(left->Row(c.fromRow)->HasFlag(IXF_PRESSED));
        Clear();
    }
}

TEST_F(ItemContainerDragTest, AnItemHeldOverTheLastRowScrollsTheListEveryRepeatPeriod)
{
    IxGetKernel()->SetRepeatPeriod(200);
    Letters* list = Show(1, 0, kDrag | IXICS_AUTOSCROLL, 12);
    // Over the last row the list steps at once, then every 200 ms until it
    // cannot go further.
    Drag(RowPoint(0, 1), RowPoint(0, 4), false);
    std::vector<int> tops{list->GetTopIndex()};
    for (int i = 0; i < 7; ++i) {
        clock.Advance(200);
        Pump();
        tops.push_back(list->GetTopIndex());
    }
    EXPECT_EQ(tops, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 7}));
    // Over the first row it steps up; in the middle it stops.
    clock.Advance(20);
    Move(RowPoint(0, 0).x, RowPoint(0, 0).y);
    EXPECT_EQ(list->GetTopIndex(), 6);
    clock.Advance(20);
    Move(RowPoint(0, 2).x, RowPoint(0, 2).y);
    clock.Advance(1000);
    Pump();
    EXPECT_EQ(list->GetTopIndex(), 6);
    // The dragged item (b) lands on the row under the pointer: index 8.
    Up(RowPoint(0, 2).x, RowPoint(0, 2).y);
    EXPECT_EQ(list->Data(), u"acdefghibjkl");
    EXPECT_EQ(list->GetSelectedIndex(), 8);
}

TEST_F(ItemContainerDragTest, TheDraggedRowFollowsThePointerOverTheOtherList)
{
    Show(1, 0, kDrag, 4);
    Show(2, 400, kDrag, 3, u'x');
    // Row b of the left list held over row 1 of the right one, a little
    // lower: the left row shows pressed, the hovered row y as the current
    // item, and the dragged b follows the pointer.
    const POINT over{RowPoint(400, 1).x + 40, RowPoint(400, 1).y + 20};
    Drag(RowPoint(0, 1), over, false);
    Repaint();
    EXPECT_TRUE(screenshot::ScreenMatchesReference());
    Up(over.x, over.y);
}

} // namespace
