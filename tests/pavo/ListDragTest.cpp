// Item drag and drop in and between lists, auto-scroll at the edges, the
// select-or-click release, the poll timer and the removal of items.
#include "Lib_cpp/controls/ElementApi.h"
#include "Lib_cpp/controls/ListView.h"
#include "platform/base/Clock.h"
#include "tests/common/ActionListener.h"
#include "tests/common/FrameWindow.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace frametest;

constexpr int kItemHeight = 60;
constexpr int kDragImageBase = 1000;

// A list of boxes 300 x 60 whose ids are their data. A dragged box is
// followed by a copy of it (id 1000 + data); a box dropped from another list
// becomes a new box here.
class BoxList : public IxListView {
public:
    BoxList(int id, int x, DWORD style, const std::vector<int>& items)
        : IxListView(1, 1, 0, 0, style, 0, 0, 0, 0, 1000, 0, 20)
    {
        m_nId = id;
        SetRectNow(RECT{x, 20, x + 300, 20 + kItemHeight * 6});
        for (int value : items)
            AddItemElement(Box(value));
    }
    static IxElement* Box(int value)
    {
        return new ColorBox(value, RECT{0, 0, 300, kItemHeight}, RGB(20 * (value % 10), 90, 160));
    }
    IxElement* MakeDragImage(int index, const RECT& rect, POINT) override
    {
        IxElement* item = ElementOf(index);
        if (!item)
            return nullptr;
        auto* image = Box(kDragImageBase + item->GetId());
        image->SetRectNow(rect);
        return image;
    }
    IxElement* MakeDroppedItem(int draggedId, const RECT&, POINT) override { return Box(draggedId - kDragImageBase); }
    void ItemDropped(int index, int draggedId, BOOL inserted) override
    {
        dropped.push_back({index, draggedId, inserted});
    }
    void ItemsMoved() override { ++moves; }
    void ItemsRemoved() override { ++removals; }
    LRESULT OnEvent(int code, LPARAM param) override
    {
        if (code == IXEV_RESELECTED)
            reselected.push_back(static_cast<int>(param));
        return IxListView::OnEvent(code, param);
    }
    using IxListView::ElementAt;
    std::vector<int> Data() const
    {
        std::vector<int> data;
        for (IxListNode* node = Children().Head(); node; node = node->m_pNext)
            data.push_back(FromNode(node)->GetId());
        return data;
    }
    struct Drop {
        int index, draggedId;
        BOOL inserted;
        bool operator==(const Drop&) const = default;
    };
    std::vector<Drop> dropped;
    std::vector<int> reselected;
    int moves = 0;
    int removals = 0;
};

class ListDragTest : public FrameWindowTest {
protected:
    void SetUp() override
    {
        FrameWindowTest::SetUp();
        screen = new IxView;
        screen->SetRectNow(RECT{0, 0, 800, 480});
        ASSERT_TRUE(frame->PushLayer(screen, nullptr, IXLAYER_SCREEN));
    }
    BoxList* Show(int id, int x, DWORD style, const std::vector<int>& items)
    {
        auto* list = new BoxList(id, x, style, items);
        list->SetFlags(IXF_HITCLIENT, 0);
        screen->AddChild(list);
        Repaint();
        return list;
    }
    void Clear()
    {
        screen->DeleteAllChildren();
        Repaint();
    }
    // The window point of item `position` of a list at x (first line at y 20).
    static POINT ItemPoint(int x, int position) { return POINT{x + 150, 20 + kItemHeight * position + 30}; }
    // Presses at from, moves in steps to to and (unless hold) releases there.
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

constexpr DWORD kDrag = IXLS_DRAGCANDIDATE | IXLS_DROPTARGET;

TEST_F(ListDragTest, DragMovesAnItemWithinTheList)
{
    for (DWORD style : {kDrag, kDrag | IXLS_REORDER}) {
        BoxList* list = Show(1, 0, style, {0, 1, 2, 3, 4, 5});
        Drag(ItemPoint(0, 1), ItemPoint(0, 4));
        EXPECT_EQ(list->Data(), (std::vector<int>{0, 2, 3, 4, 1, 5})) << std::hex << style;
        EXPECT_EQ(list->moves, 1);
        EXPECT_EQ(list->removals, 0);
        EXPECT_EQ(list->GetDraggedElement(), nullptr);
        // The moved item is shown and the drag image is gone.
        for (IxListNode* node = list->Children().Head(); node; node = node->m_pNext)
            EXPECT_FALSE(IxElement::FromNode(node)->HasFlag(IXF_HIDDEN | IXF_CURRENT));
        EXPECT_EQ(GetDragImageRect(list, nullptr), -1);
        Clear();
    }
}

TEST_F(ListDragTest, CancelledReorderPutsTheItemBack)
{
    BoxList* list = Show(1, 0, kDrag | IXLS_REORDER, {0, 1, 2, 3, 4, 5});
    // Over item 4 the dragged item already stands there; released outside
    // every list, it goes back.
    Drag(ItemPoint(0, 1), ItemPoint(0, 4), false);
    EXPECT_EQ(list->Data(), (std::vector<int>{0, 2, 3, 4, 1, 5}));
    clock.Advance(20);
    Move(600, 300);
    Up(600, 300);
    EXPECT_EQ(list->Data(), (std::vector<int>{0, 1, 2, 3, 4, 5}));
    EXPECT_FALSE(IxElement::FromNode(list->Children().Head()->m_pNext)->HasFlag(IXF_HIDDEN));
    EXPECT_EQ(list->moves, 0);
}

TEST_F(ListDragTest, DragToAnotherListMovesCopiesOrReportsTheItem)
{
    struct Case {
        DWORD source, target;
        std::vector<int> left, right;
        BoxList::Drop drop;
    } cases[] = {
        {kDrag, kDrag, {10, 11, 13}, {20, 21, 12, 22}, {2, 1012, TRUE}},
        {kDrag | IXLS_COPYOUT, kDrag, {10, 11, 12, 13}, {20, 21, 12, 22}, {2, 1012, TRUE}},
        {kDrag, kDrag | IXLS_DROPREPORT, {10, 11, 13}, {20, 21, 22}, {1, 1012, FALSE}},
    };
    for (const Case& c : cases) {
        BoxList* left = Show(1, 0, c.source, {10, 11, 12, 13});
        BoxList* right = Show(2, 400, c.target, {20, 21, 22});
        Drag(ItemPoint(0, 2), ItemPoint(400, 1));
        EXPECT_EQ(left->Data(), c.left);
        EXPECT_EQ(right->Data(), c.right);
        EXPECT_EQ(right->dropped, (std::vector<BoxList::Drop>{c.drop}));
        EXPECT_EQ(left->removals, c.left.size() < 4 ? 1 : 0);
        Clear();
    }
}

TEST_F(ListDragTest, AutoScrollStepsWhileTheItemIsHeldAtAnEdge)
{
    std::vector<int> items;
    for (int i = 0; i < 9; ++i)
        items.push_back(i);
    BoxList* list = Show(1, 0, kDrag | IXLS_AUTOSCROLL, items);
    // Held in the bottom zone (the last 20 pixels) the list steps a line at
    // once and then every second, until it cannot go further.
    Drag(ItemPoint(0, 1), POINT{150, 20 + 6 * kItemHeight - 5}, false);
    std::vector<int> offsets{list->GetScrollOffset().y};
    for (int i = 0; i < 3; ++i) {
        clock.Advance(1000);
        Pump();
        offsets.push_back(list->GetScrollOffset().y);
    }
    EXPECT_EQ(offsets, (std::vector<int>{60, 120, 180, 180}));
    EXPECT_EQ(list->GetAutoScrollDirection(), IXLD_NONE);
    // Up again at the top zone, then out of it: one step, then it stops.
    clock.Advance(20);
    Move(150, 25);
    EXPECT_EQ(list->GetScrollOffset().y, 120);
    EXPECT_EQ(list->GetAutoScrollDirection(), IXLD_UP);
    Move(150, 200);
    EXPECT_EQ(list->GetAutoScrollDirection(), IXLD_NONE);
    clock.Advance(3000);
    Pump();
    EXPECT_EQ(list->GetScrollOffset().y, 120);
    Up(150, 200);
}

TEST_F(ListDragTest, ReleaseSelectsThenClicksTheSelectedItem)
{
    BoxList* list = Show(1, 0, IXLS_INDEXED | IXLS_SELECTONRELEASE, {0, 1, 2, 3});
    ActionListener listener(1);
    const POINT at = ItemPoint(0, 2);
    Down(at.x, at.y);
    Up(at.x, at.y);
    frame->DrainEventQueue();
    EXPECT_EQ(list->GetSelectedIndex(), 2);
    EXPECT_TRUE(list->reselected.empty());
    Down(at.x, at.y);
    Up(at.x, at.y);
    frame->DrainEventQueue();
    EXPECT_EQ(list->reselected, (std::vector<int>{2}));
    std::vector<LPARAM> clicks;
    for (const auto& heard : listener.heard)
        if (heard.kind == AEV_CLICK)
            clicks.push_back(heard.value);
    EXPECT_EQ(clicks, (std::vector<LPARAM>{2}));
}

// An item that stays busy for a number of polls.
class BusyBox : public ColorBox {
public:
    explicit BusyBox(int polls) : ColorBox(0, RECT{0, 0, 300, kItemHeight}, kGreen), left(polls) {}
    LRESULT OnEvent(int code, LPARAM param) override
    {
        if (code == IXEV_POLL) {
            ++asked;
            return left > 0 ? left-- : 0;
        }
        return ColorBox::OnEvent(code, param);
    }
    int left;
    int asked = 0;
};

TEST_F(ListDragTest, PollTimerAsksTheItemsUntilNoneIsBusy)
{
    auto* list = new IxListView(1, 1, 0, 0, IXLS_POLL, 0, 0, 0, 0, 0, 0, 0);
    list->SetRectNow(RECT{0, 0, 300, 360});
    auto* first = new BusyBox(2);
    auto* second = new BusyBox(3);
    list->AddItemElement(first);
    list->AddItemElement(second);
    ASSERT_TRUE(frame->PushLayer(list, nullptr, IXLAYER_SCREEN));
    Repaint();
    // Each tick asks the items in turn until one answers busy.
    for (int i = 0; i < 10; ++i) {
        clock.Advance(10);
        Pump();
    }
    EXPECT_EQ(first->asked, 6);
    EXPECT_EQ(second->asked, 4);
}

TEST_F(ListDragTest, RemovingItemsClampsTheOffsets)
{
    std::vector<int> items;
    for (int i = 0; i < 12; ++i)
        items.push_back(i);
    BoxList* list = Show(1, 0, 0, items);
    list->ScrollTo(-1, 360, FALSE, TRUE);
    ASSERT_EQ(list->GetScrollOffset().y, 360);
    IxElement* last[4];
    for (int i = 0; i < 4; ++i)
        last[i] = list->ElementAt(8 + i);
    list->RemoveItemElements(last, 4);
    EXPECT_EQ(list->Data(), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(list->GetScrollOffset().y, 120);
    EXPECT_EQ(list->removals, 1);
}

} // namespace

namespace {

// A box that answers query 2 with its id and query 9 with ten times it.
class ValueBox : public ColorBox {
public:
    explicit ValueBox(int id) : ColorBox(id, RECT{0, 0, 300, kItemHeight}, kYellow) {}
    int Query(int code, LPARAM* out) override
    {
        return code == 2 ? GetId() : (code == 9 ? GetId() * 10 : ColorBox::Query(code, out));
    }
};

TEST_F(ListDragTest, ItemQueriesReachTheChosenItem)
{
    auto* list = new IxListView(1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
    list->SetRectNow(RECT{0, 0, 300, 360});
    for (int id = 1; id <= 4; ++id)
        list->AddItemElement(new ValueBox(id));
    screen->AddChild(list);
    list->SetProperty(IXP_LISTSELECT, 2);
    list->SetProperty(IXP_LISTCURRENT, 0);
    struct Case {
        int code;
        LPARAM which;
        int answer;
    } cases[] = {
        {IXQ_LISTITEM, 1, 2},
        {IXQ_LISTITEM, IXLI_LASTITEM, 4},
        {IXQ_LISTITEMVALUE, IXLI_SELECTEDITEM, 30},
        {IXQ_LISTITEMVALUE, IXLI_CURRENTITEM, 10},
        {IXQ_LISTSELECTEDVALUE, 0, 30},
        {IXQ_LISTITEM, 9, 0},
    };
    for (Case c : cases)
        EXPECT_EQ(list->Query(c.code, &c.which), c.answer) << c.code << " " << c.which;
}

} // namespace
