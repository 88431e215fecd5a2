// The list and grid view: recycled binding, paging and wrap, the current
// item and the selection, the notices, pixel scrolling and settling, and a
// screenshot of a list of rows.
#include "Lib_cpp/controls/ListView.h"
#include "Lib_cpp/controls/StateButton.h"
#include "Lib_cpp/image/Image.h"
#include "tests/common/ActionListener.h"
#include "tests/common/FrameScreenshot.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace frametest;

constexpr int kListId = 300;

// A recycled list of rows 700 x 70 whose items show "항목 N" for data
// index N.
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
            row->SetProperty(IXP_BUTTONBACKGROUND,
                             reinterpret_cast<LPARAM>(
                                 new IxImageRef(new IxColorImage(RGB(40 + 10 * (i % 2), 50, 70), 700, 70), nullptr)));
            RECT text{24, 0, 660, 70};
            row->SetProperty(IXP_TEXTRECT, reinterpret_cast<LPARAM>(&text));
            row->SetProperty(IXP_FONT, 0);
            row->SetProperty(IXP_FONTSELECTED, 1);
            AddItemElement(row);
        }
    }
    void BindItem(IxElement* element, int index) override
    {
        bound.push_back(index);
        IxString text(
            index < 0
                ? u""
                : (u"항목 " + std::u16string(1, u'0' + index / 10) + std::u16string(1, u'0' + index % 10)).c_str());
        element->SetProperty(IXP_TEXTLATER, reinterpret_cast<LPARAM>(&text));
        element->Show(index >= 0, FALSE);
    }
    using IxListView::MaxOffset;
    std::vector<int> bound;
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
