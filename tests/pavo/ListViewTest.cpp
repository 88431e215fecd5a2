// The list and grid view: recycled binding, paging and wrap, the current
// item and the selection, the notices, pixel scrolling and settling, and a
// screenshot of a list of rows.
#include "Lib_cpp/controls/ListView.h"
#include "Lib_cpp/controls/StateButton.h"
#include "Lib_cpp/image/Image.h"
#include "platform/base/Clock.h"
#include "tests/common/ActionListener.h"
#include "tests/common/FrameScreenshot.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

using namespace frametest;

constexpr int kListId = 300;

// "항목 N · Track N" for data index N.
IxString RowText(int index)
{
    std::u16string number;
    for (int n = index; number.empty() || n > 0; n /= 10)
        number.insert(number.begin(), static_cast<char16_t>(u'0' + n % 10));
    std::u16string text(u"항목 ");
    text.append(number).append(u" · Track ").append(number);
    return IxString(text.c_str());
}

// A recycled list of rows 700 x 70 whose items show the row text of their
// data index.
class RowList : public IxDataListView {
public:
    RowList(DWORD style, int elements, int rows = 6) : IxDataListView(rows, 1, 0, 0, style, 0, 0, 0, 0, 1000, 20, 20)
    {
        m_nId = kListId;
        SetRectNow(RECT{50, 20, 750, 20 + 70 * rows});
        for (int i = 0; i < elements; ++i) {
            auto* row = new IxItemButton(1, 1);
            row->SetRectNow(RECT{0, 0, 700, 70});
            row->SetFlags(IXF_VCENTER, 0);
            RECT text{24, 0, 660, 70};
            row->SetProperty(IXP_TEXTRECT, reinterpret_cast<LPARAM>(&text));
            row->SetProperty(IXP_FONT, 0);
            row->SetProperty(IXP_FONTSELECTED, 1);
            AddItemElement(row);
        }
    }
    ~RowList() override
    {
        for (IxImage* image : stripes)
            image->Release();
    }
    // Everything a row shows follows its data index, its stripe included.
    void BindItem(IxElement* element, int index) override
    {
        bound.push_back(index);
        shows[element] = index;
        IxString text = index < 0 ? IxString(u"") : RowText(index);
        element->SetProperty(IXP_TEXTLATER, reinterpret_cast<LPARAM>(&text));
        IxImage* stripe = stripes[index < 0 ? 0 : index % 2];
        stripe->AddRef();
        element->SetProperty(IXP_BUTTONBACKGROUND, reinterpret_cast<LPARAM>(stripe));
        element->Show(index >= 0, FALSE);
    }
    void Draw(IxPaintRecord* record) override
    {
        clips.push_back(record->clip);
        IxDataListView::Draw(record);
    }
    using IxListView::MaxOffset;
    // Every element shows top + its position, nothing at or past the count.
    ::testing::AssertionResult BoundRight()
    {
        int k = 0;
        for (IxListNode* node = Children().Head(); node; node = node->m_pNext, ++k) {
            const int expected = GetTopIndex() + k < GetCount() ? GetTopIndex() + k : -1;
            if (shows[FromNode(node)] != expected)
                return ::testing::AssertionFailure()
                    << "element " << k << " shows " << shows[FromNode(node)] << " instead of " << expected;
        }
        return ::testing::AssertionSuccess();
    }
    std::vector<int> bound;
    std::map<IxElement*, int> shows;
    std::vector<RECT> clips;
    IxImage* stripes[2] = {new IxImageRef(new IxColorImage(RGB(40, 50, 70), 700, 70), nullptr),
                           new IxImageRef(new IxColorImage(RGB(50, 50, 70), 700, 70), nullptr)};
};

class ListViewTest : public FrameScreenshotTest {
protected:
    void SetUp() override
    {
        FrameScreenshotTest::SetUp();
        static IX_STATIC_STRING(kFace, u"NanumGothic");
        frame->GetFontTable().Add(IxFontEntry{IXFS_ANTIALIAS, -24, &kFace, RGB(255, 255, 255), nullptr});
        frame->GetFontTable().Add(IxFontEntry{IXFS_ANTIALIAS, -24, &kFace, RGB(255, 210, 0), nullptr});
    }
    RowList* ShowList(DWORD style, int count, int elements = 7)
    {
        auto* list = new RowList(style, elements);
        EXPECT_TRUE(frame->PushLayer(list, nullptr, IXLAYER_SCREEN));
        list->SetCount(count, TRUE);
        Repaint();
        return list;
    }
    // Runs the kernel's scroll animation of the list to its end.
    void Animate(IxElement* list)
    {
        for (int i = 0; i < 1000 && list->HasFlag(IXF_GESTURE); ++i) {
            clock.Advance(10);
            Pump();
        }
        EXPECT_FALSE(list->HasFlag(IXF_GESTURE));
    }
    platform::ManualClock clock{100000};
    static std::vector<LPARAM> Values(const ActionListener& listener, int kind)
    {
        std::vector<LPARAM> values;
        for (const auto& heard : listener.heard)
            if (heard.kind == kind)
                values.push_back(heard.value);
        return values;
    }
};

TEST_F(ListViewTest, RecycledRowsShowOnePageAndStepByLinesOrPages)
{
    RowList* list = ShowList(0x250, 20);
    EXPECT_EQ(list->GetVisibleCount(), 6);
    EXPECT_TRUE(screenshot::MatchesReference(screenshot::CaptureScreen()));
    // Without wrap the top stops at the last full page, 14.
    for (int i = 0; i < 20; ++i)
        list->SetProperty(IXP_LISTBYLINES, 1);
    EXPECT_EQ(list->GetTopIndex(), 14);
    list->SetProperty(IXP_LISTBYLINES, -100);
    EXPECT_EQ(list->GetTopIndex(), 0);

    // Paged: 0, 6, 12, 18 (rounded count 24), then with wrap back to 0.
    RowList* paged = ShowList(0x256, 20);
    std::vector<int> tops;
    for (int i = 0; i < 4; ++i) {
        paged->SetProperty(IXP_LISTTOLINE, -1);
        tops.push_back(paged->GetTopIndex());
    }
    EXPECT_EQ(tops, (std::vector<int>{6, 12, 18, 0}));
    // Past the end the elements are bound to nothing.
    paged->SetProperty(IXP_LISTBYLINES, -1);
    EXPECT_EQ(paged->GetTopIndex(), 18);
    paged->bound.clear();
    paged->SetCount(20, FALSE);
    EXPECT_EQ(paged->bound, (std::vector<int>{18, 19, -1, -1, -1, -1, -1}));
}

TEST_F(ListViewTest, CurrentItemStepsWrapOrStopAndStayInView)
{
    struct Case {
        DWORD style;
        int from, value, expected, top;
    } cases[] = {
        {0x254, 19, IXLI_NEXT, 0, 0},
        {0x250, 19, IXLI_NEXT, 19, 14},
        {0x254, 0, IXLI_PREVIOUS, 19, 14},
        {0x250, -1, IXLI_NEXT, -1, 0},
        {0x250, -1, IXLI_PREVIOUS, -1, 0},
        {0x250, 3, 9, 9, 4},
        {0x252, 3, 13, 13, 12},
        {0x250, 3, 20, -1, 0},
    };
    for (const Case& c : cases) {
        RowList* list = ShowList(c.style, 20);
        if (c.from >= 0)
            list->SetProperty(IXP_LISTCURRENT, c.from);
        list->SetProperty(IXP_LISTBYLINES, -100);
        list->SetProperty(IXP_LISTCURRENT, c.value);
        EXPECT_EQ(list->GetCurrentIndex(), c.expected) << std::hex << c.style << " " << c.from << " " << c.value;
        if (c.expected >= 0) {
            EXPECT_EQ(list->GetTopIndex(), c.top) << c.from << " " << c.value;
        }
        frame->PopLayer(kListId);
    }
}

TEST_F(ListViewTest, ClicksReportDataIndicesAndTheScrollNoticeThePosition)
{
    RowList* list = ShowList(0x250, 20);
    ActionListener listener(kListId);
    for (int i = 0; i < 10; ++i)
        list->SetProperty(IXP_LISTBYLINES, 1);
    EXPECT_EQ(list->GetTopIndex(), 10);
    // The element shown at position 2 is data index 12.
    Down(300, 20 + 2 * 70 + 30);
    Up(300, 20 + 2 * 70 + 30);
    EXPECT_EQ(Values(listener, AEV_CLICK), (std::vector<LPARAM>{12}));
    list->SetProperty(IXP_LISTSELECT, 12);

    listener.heard.clear();
    list->SetProperty(IXP_LISTBYLINES, -6);
    frame->DrainEventQueue();
    EXPECT_EQ(Values(listener, AEV_LISTSCROLL), (std::vector<LPARAM>{4 | 14 << 16}));
    EXPECT_EQ(list->Query(IXQ_LISTSELECTED, nullptr), 8); // position of index 12
    EXPECT_EQ(list->Query(IXQ_LISTLINECOUNT, nullptr), 20);
    EXPECT_EQ(list->Query(IXQ_LISTFIRSTLINE, nullptr), 4);
}

TEST_F(ListViewTest, SelectionSingleOrMultiple)
{
    RowList* single = ShowList(0x250, 20);
    single->SetProperty(IXP_LISTSELECT, 3);
    single->SetProperty(IXP_LISTSELECT, IXLI_NEXT);
    EXPECT_EQ(single->GetSelectedIndex(), 4);
    frame->PopLayer(kListId);

    RowList* multi = ShowList(0x1250, 20);
    for (int index : {1, 3, 5, 3})
        multi->SetProperty(IXP_LISTSELECT, index);
    IxArray<int> positions;
    EXPECT_EQ(multi->Query(IXQ_LISTSELECTED, reinterpret_cast<LPARAM*>(&positions)), 2);
    EXPECT_EQ(positions[0], 1);
    EXPECT_EQ(positions[1], 5);
    multi->SetProperty(IXP_LISTSELECT, IXLI_SELECTALL);
    EXPECT_EQ(multi->Query(IXQ_LISTSELECTED, nullptr), 20);
    multi->SetProperty(IXP_LISTSELECT, IXLI_CLEARALL);
    EXPECT_EQ(multi->Query(IXQ_LISTSELECTED, nullptr), 0);
    // A count below the selection drops what lies beyond it.
    for (int index : {2, 15})
        multi->SetProperty(IXP_LISTSELECT, index);
    multi->SetCount(10, FALSE);
    EXPECT_EQ(multi->Query(IXQ_LISTSELECTED, nullptr), 1);
}

// A grid of 3 x 3 items 200 x 60 with gaps 12 and 4 (pitch 64 down) that
// scrolls by pixels.
class Grid : public IxListView {
public:
    Grid() : IxListView(3, 3, 12, 10, IXLS_HIDEOUTSIDE, 12, 2, 12, 2, 1000, 20, 20)
    {
        SetRectNow(RECT{0, 0, 648, 214});
        for (int i = 0; i < 30; ++i) {
            auto* item = new ColorBox(0, RECT{0, 0, 200, 60}, RGB(30 * (i % 8), 80, 160));
            AddItemElement(item);
        }
    }
    using IxListView::MaxOffset;
};

TEST_F(ListViewTest, PixelScrollingStepsSettlesAndResets)
{
    auto* grid = new Grid;
    ASSERT_TRUE(frame->PushLayer(grid, nullptr, IXLAYER_SCREEN));
    Repaint();
    // Ten rows of 70 px pitch (690 px), three of them visible (200 px).
    EXPECT_EQ(grid->MaxOffset(1), 490);
    EXPECT_EQ(grid->ScrollByLines(1, 2, FALSE, FALSE, TRUE), 1);
    EXPECT_EQ(grid->GetScrollOffset().y, 140);
    // Rows 2 to 4 are in view, the others marked.
    int position = 0;
    for (IxListNode* node = grid->Children().Head(); node; node = node->m_pNext, ++position)
        EXPECT_EQ(IxElement::FromNode(node)->HasFlag(IXF_MARKED), position / 3 < 2 || position / 3 > 4) << position;
    // {offset, direction, settled}
    const int cases[][3] = {{30, 0, 0}, {40, 0, 70}, {40, 1, 0}, {100, -1, 140}, {-20, 0, 0}, {900, 0, 490}};
    for (const auto& c : cases) {
        grid->ScrollTo(0, 0, FALSE, FALSE);
        grid->ScrollByDelta(0, -c[0]);
        grid->Settle(0, c[1]);
        Animate(grid);
        EXPECT_EQ(grid->GetScrollOffset().y, c[2]) << c[0] << " " << c[1];
    }
    grid->ScrollTo(IxListView::kIxListReset, 5, FALSE, TRUE);
    EXPECT_EQ(grid->GetScrollOffset().y, 0);
    // Forwards from inside a gap goes one line more.
    grid->ScrollTo(-1, 65, FALSE, FALSE);
    grid->ScrollByLines(1, 1, FALSE, FALSE, FALSE);
    EXPECT_EQ(grid->GetScrollOffset().y, 140);
}

} // namespace

namespace {

TEST_F(ListViewTest, BindingFollowsScrollingByLinesPagesAndPixels)
{
    using Scroll = void (*)(RowList*);
    struct Case {
        const char* what;
        DWORD style;
        Scroll scroll;
        int top, offset;
    } cases[] = {
        {"three lines", 0x250, [](RowList* l) { l->SetProperty(IXP_LISTBYLINES, 3); }, 3, 0},
        {"a page", 0x252, [](RowList* l) { l->SetProperty(IXP_LISTTOLINE, -1); }, 6, 0},
        {"pixels forward", 0x250, [](RowList* l) { l->ScrollByDelta(0, -175); }, 2, 35},
        {"pixels back", 0x250,
         [](RowList* l) {
             l->ScrollByDelta(0, -175);
             l->ScrollByDelta(0, 140);
         },
         0, 35},
        {"past the start", 0x250, [](RowList* l) { l->ScrollByDelta(0, 40); }, 0, -40},
        {"far past the end", 0x250, [](RowList* l) { l->ScrollByDelta(0, -5000); }, 14, 5000 - 14 * 70},
        {"the last line", 0x250, [](RowList* l) { l->SetProperty(IXP_LISTCURRENT, 19); }, 14, 0},
    };
    for (const Case& c : cases) {
        RowList* list = ShowList(c.style, 20);
        c.scroll(list);
        EXPECT_EQ(list->GetTopIndex(), c.top) << c.what;
        EXPECT_EQ(list->GetScrollOffset().y, c.offset) << c.what;
        EXPECT_TRUE(list->BoundRight()) << c.what;
        frame->PopLayer(kListId);
    }
}

TEST_F(ListViewTest, FlingSettlesOnARowBoundary)
{
    RowList* list = ShowList(IXLS_SCROLLANYWHERE | 0x250, 1000);
    // A quick upward swipe, then the fling and the settle run out.
    Down(300, 400);
    for (int y = 380; y >= 100; y -= 40) {
        clock.Advance(10);
        Move(300, y);
    }
    clock.Advance(10);
    Up(300, 100);
    Animate(list);
    EXPECT_GT(list->GetTopIndex(), 0);
    EXPECT_EQ(list->GetScrollOffset().y, 0);
    EXPECT_TRUE(list->BoundRight());
    // Dragged back past the start, it springs back to the first row.
    list->SetProperty(IXP_LISTBYLINES, -1000);
    Down(300, 100);
    for (int y = 130; y <= 250; y += 30) {
        clock.Advance(50);
        Move(300, y);
    }
    clock.Advance(400);
    Up(300, 250);
    Animate(list);
    EXPECT_EQ(list->GetTopIndex(), 0);
    EXPECT_EQ(list->GetScrollOffset().y, 0);
}

TEST_F(ListViewTest, ScrollNoticeKeepsItsProportionBeyondSixteenBits)
{
    struct Case {
        int count, top;
        LPARAM notice;
        int range;
    } cases[] = {
        {20, 4, 0xE0004, 14},
        {65541, 65535, 0xFFFFFFFF, 65535},
        {100000, 49997, 0xFFFF7FFF, 99994},
        {100000, 99994, 0xFFFFFFFF, 99994},
    };
    for (const Case& c : cases) {
        RowList* list = ShowList(0x250, c.count);
        list->SetProperty(IXP_LISTCURRENT, c.top);
        list->SetProperty(IXP_LISTBYLINES, c.top - list->GetTopIndex());
        ASSERT_EQ(list->GetTopIndex(), c.top);
        frame->DrainEventQueue();
        ActionListener listener(kListId);
        list->SendScrollNotice();
        frame->DrainEventQueue();
        EXPECT_EQ(Values(listener, AEV_LISTSCROLL), (std::vector<LPARAM>{c.notice})) << c.count;
        int position = 0, range = 0;
        list->GetScrollRange(&position, &range);
        EXPECT_EQ(position, c.top);
        EXPECT_EQ(range, c.range);
        frame->PopLayer(kListId);
    }
}

TEST_F(ListViewTest, TenThousandRowsScrolledToTheMiddle)
{
    RowList* list = ShowList(0x250, 10000);
    list->SetProperty(IXP_LISTCURRENT, 5002);
    list->SetProperty(IXP_LISTSELECT, 5001);
    list->ScrollByDelta(0, -35);
    Repaint();
    EXPECT_EQ(list->GetTopIndex(), 4997);
    EXPECT_TRUE(screenshot::MatchesReference(screenshot::CaptureScreen()));
}

TEST_F(ListViewTest, MovingPixelsDrawsWhatAFullRepaintDraws)
{
    RowList* list = ShowList(IXLS_MOVEPIXELS | 0x250, 200);
    for (int dy : {-35, -50, 20, -140, -3}) {
        list->clips.clear();
        list->ScrollByDelta(0, dy);
        Pump();
        // Only the uncovered strip was drawn.
        ASSERT_EQ(list->clips.size(), 1u) << dy;
        EXPECT_EQ(list->clips[0].bottom - list->clips[0].top, std::abs(dy)) << dy;
        const auto moved = screenshot::CaptureScreen();
        Repaint();
        const auto full = screenshot::CaptureScreen();
        const auto diff = screenshot::Compare(moved, full);
        EXPECT_TRUE(diff.Empty()) << dy << " " << diff.count << " at " << diff.firstX << "," << diff.firstY << " box "
                                  << diff.box.left << "," << diff.box.top << "," << diff.box.right << ","
                                  << diff.box.bottom;
    }
}

} // namespace
