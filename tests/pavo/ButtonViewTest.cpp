// Button views through the frame window: what a press and a tap report in
// each report mode, the children's notices going out as the view's own, the
// state mirrored onto the children, the text button's text and value, and
// the list rows with the image table of their data list.
#include "Lib_cpp/controls/ButtonView.h"
#include "Lib_cpp/controls/ElementApi.h"
#include "Lib_cpp/controls/ImageElement.h"
#include "Lib_cpp/controls/ListView.h"
#include "Lib_cpp/controls/TextLabel.h"
#include "Lib_cpp/image/Image.h"
#include "tests/common/ActionListener.h"
#include "tests/common/FrameWindow.h"
#include "tests/common/ScreenLayerTest.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace frametest;

constexpr int kViewId = 400;
using Heard = ActionListener::Heard;

// A pressable child that reports at once to its parent.
class Key : public IxControl {
public:
    Key(int id, RECT rc)
    {
        m_nId = id;
        SetRectNow(rc);
        SetFlags(IXF_HITCLIENT | IXF_DIRECTNOTIFY, IXF_PENDING);
    }
    void Draw(IxPaintRecord*) override {}
};

class ButtonViewTest : public ScreenLayerTest {
protected:
    ButtonViewTest() : ScreenLayerTest(kViewId) {}
    // Three children side by side at x 0-99, 120-219, 240-339 of a view at
    // (100, 100) of 400 x 100.
    template <class V> V* Place(V* view, DWORD flags, bool keys = false)
    {
        view->SetId(kViewId);
        view->SetRectNow(RECT{100, 100, 500, 200});
        view->SetFlags(flags, IXF_PENDING);
        for (int i = 0; i < 3; ++i) {
            const RECT rc{i * 120, 0, i * 120 + 100, 100};
            if (keys)
                view->AddChild(new Key(11 + i, rc));
            else
                view->AddChild(new ColorBox(11 + i, rc, kGreen));
        }
        Screen()->AddChild(view);
        EXPECT_TRUE(frame->PushLayer(Screen(), nullptr, IXLAYER_SCREEN));
        Pump();
        return view;
    }
    template <class F> void Busy(F fn)
    {
        {
            IxBusyScope busy(frame);
            fn();
        }
        Pump();
    }
};

TEST_F(ButtonViewTest, ClickReportsTheChildUnderThePointByIdOrPosition)
{
    struct Case {
        int mode;
        DWORD flags;
        int x; // in the view
        LPARAM value;
    };
    // Without IXF_HITCLIENT the view is still the target where no child
    // takes the press (these children take none).
    const Case cases[] = {{0, IXF_HITCLIENT, 150, 12},
                          {0, IXF_HITCLIENT, 110, 0},
                          {1, IXF_HITCLIENT, 150, 1},
                          {1, IXF_HITCLIENT, 300, 2},
                          {1, IXF_HITCLIENT, 110, -1},
                          {0, 0, 150, 12},
                          {1, 0, 110, -1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << " flags " << c.flags << " x " << c.x);
        IxButtonView* view = Place(new IxButtonView(c.mode), c.flags);
        listener->heard.clear();
        Down(100 + c.x, 150);
        Up(100 + c.x, 150);
        EXPECT_EQ(listener->heard, (std::vector<Heard>{{kViewId, AEV_PRESSED, 0}, {kViewId, AEV_CLICK, c.value}}));
        EXPECT_FALSE(view->HasFlag(IXF_PRESSED));
        frame->PopLayer(100);
        Pump();
        screen = nullptr; // deleted with its layer
    }
}

TEST_F(ButtonViewTest, PressTrackingReportsLeavingAndReleasingOutside)
{
    IxButtonView* view = Place(new IxButtonView(0), IXF_HITCLIENT);
    Down(150, 150);
    EXPECT_TRUE(view->HasFlag(IXF_PRESSED));
    EXPECT_TRUE(IxElement::FromNode(view->Children().Head())->HasFlag(IXF_PRESSED)); // mirrored
    Move(600, 150);
    Move(160, 150);
    Move(600, 300);
    Up(600, 300);
    EXPECT_EQ(listener->heard,
              (std::vector<Heard>{{kViewId, AEV_PRESSED, 0},
                                  {kViewId, AEV_LEFT, 0},
                                  {kViewId, AEV_REENTERED, 0},
                                  {kViewId, AEV_LEFT, 0},
                                  {kViewId, AEV_RELEASEDIDLE, 0}}));
    // The enter key clicks the view as a whole.
    listener->heard.clear();
    Busy([&] { EXPECT_EQ(view->OnKey(IXNAV_ENTER), 1); });
    EXPECT_EQ(view->OnKey(IXNAV_ESCAPE), 0);
    EXPECT_EQ(listener->heard, (std::vector<Heard>{{kViewId, AEV_CLICK, -1}}));
}

TEST_F(ButtonViewTest, ChildNoticesGoOutAsTheViewsOwn)
{
    for (int mode : {0, 1}) {
        SCOPED_TRACE(mode);
        Place(new IxButtonView(mode), 0, true);
        listener->heard.clear();
        Down(380, 150); // the third key
        Up(380, 150);
        const LPARAM value = mode ? 2 : 13;
        EXPECT_EQ(listener->heard, (std::vector<Heard>{{kViewId, AEV_PRESSED, value}, {kViewId, AEV_CLICK, value}}));
        frame->PopLayer(100);
        Pump();
        screen = nullptr; // deleted with its layer
    }
}

TEST_F(ButtonViewTest, StateOfTheViewIsMirroredOntoEveryChild)
{
    IxButtonView* view = Place(new IxButtonView(0), IXF_HITCLIENT);
    struct Case {
        void (IxElement::*set)(BOOL, LPARAM);
        BOOL on;
        DWORD flag;
        bool childHasFlag;
    };
    const Case cases[] = {
        {&IxElement::SetSelected, TRUE, IXF_SELECTED, true},     {&IxElement::SetSelected, FALSE, IXF_SELECTED, false},
        {&IxElement::Enable, FALSE, IXF_DISABLED, true},         {&IxElement::Enable, TRUE, IXF_DISABLED, false},
        {&IxElement::SetInputAllowed, FALSE, IXF_NOINPUT, true}, {&IxElement::SetCurrent, TRUE, IXF_CURRENT, true},
    };
    for (const Case& c : cases) {
        Busy([&] { (view->*c.set)(c.on, 1); });
        for (IxListNode* node = view->Children().Head(); node; node = node->m_pNext)
            EXPECT_EQ(IxElement::FromNode(node)->HasFlag(c.flag), c.childHasFlag);
    }
}

TEST_F(ButtonViewTest, SelectOrClickClicksTheSelectedChildAndSelectsAnother)
{
    class Recorded : public IxButtonView {
    public:
        Recorded() : IxButtonView(0) {}
        LRESULT OnEvent(int code, LPARAM param) override
        {
            if (code == IXEV_RESELECTED)
                reselected.push_back(param);
            return IxButtonView::OnEvent(code, param);
        }
        std::vector<LPARAM> reselected;
    };
    auto* view = Place(new Recorded, 0, true);
    IxElement* second = IxElement::FromNode(view->Children().Head()->m_pNext);
    Busy([&] { view->SelectOrClickAt(POINT{150, 50}, 10, FALSE); });
    EXPECT_TRUE(second->HasFlag(IXF_SELECTED));
    EXPECT_TRUE(view->reselected.empty());
    Busy([&] { view->SelectOrClick(second, 10, FALSE); });
    Busy([&] { view->SelectOrClick(second, -1, FALSE); });
    EXPECT_EQ(view->reselected, (std::vector<LPARAM>{11, 12}));
    Busy([&] { view->SelectOrClick(second, 10, TRUE); }); // toggles
    EXPECT_FALSE(second->HasFlag(IXF_SELECTED));
}

// ---------------------------------------------------------------------------
// IxTextButtonView

class TextButton : public IxTextButtonView {
public:
    void Draw(IxPaintRecord* record) override
    {
        ++draws;
        IxTextButtonView::Draw(record);
    }
    int draws = 0;
    std::vector<std::pair<std::u16string, LPARAM>> shown;

protected:
    void ShowTextValue(const IxString& text, LPARAM value) override { shown.push_back({text.Text(), value}); }
};

TEST_F(ButtonViewTest, TextButtonTakesTextAndValueAndIsDisabledWithoutEither)
{
    TextButton* view = Place(new TextButton, 0);
    EXPECT_TRUE(view->HasFlag(IXF_DISABLED)); // nothing yet
    EXPECT_TRUE(view->Children().Head() && IxElement::FromNode(view->Children().Head())->HasFlag(IXF_HIDDEN));
    EXPECT_EQ(view->shown.back(), (std::pair<std::u16string, LPARAM>{u"", -6}));

    struct Case {
        int property;
        const char16_t* text; // null: no record
        LPARAM value;
        int answer;
        bool repainted;
        bool disabled;
        LPARAM valueAfter;
    };
    const Case cases[] = {
        {IXP_TEXTRECORDNOW, u"Radio", 5, 1, true, false, 5},
        {IXP_TEXTRECORDNOW, u"Radio", 5, 0, false, false, 5}, // the same: nothing
        {IXP_TEXTRECORDLATER, u"Music", 5, 1, false, false, 5},
        {IXP_TEXTBUTTONRECORD, u"Video", 6, 1, true, false, 6},
        {IXP_TEXTRECORDNOW, u"", 9, 1, true, true, 0}, // an empty text: value 0, disabled
        {IXP_TEXTRECORDNOW, nullptr, 0, 0, false, true, 0},
        {IXP_TEXTRECORDLATER, u"", 3, 1, false, true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "property " << c.property << " value " << c.value);
        Pump();
        const int draws = view->draws;
        IxTextPropertyRecord record{IxString(c.text), c.value, kIxTextRecordMarker};
        int answer = 0;
        Busy([&] { answer = view->SetProperty(c.property, c.text ? reinterpret_cast<LPARAM>(&record) : 0); });
        EXPECT_EQ(answer, c.answer);
        EXPECT_EQ(view->draws > draws, c.repainted);
        EXPECT_EQ(view->HasFlag(IXF_DISABLED), c.disabled);
        LPARAM value = -1;
        EXPECT_EQ(view->Query(IXQ_BUTTONVALUE, &value), 1);
        EXPECT_EQ(value, c.valueAfter);
        const bool hidden = IxElement::FromNode(view->Children().Head())->HasFlag(IXF_HIDDEN);
        EXPECT_EQ(hidden, c.disabled);
    }
    Busy([&] { SetElementText(view, IxString(u"Phone"), 2, TRUE); });
    IxString text;
    view->Query(IXQ_SHARETEXT, reinterpret_cast<LPARAM*>(&text));
    EXPECT_TRUE(text.Equals(u"Phone"));
    EXPECT_EQ(view->shown.back(), (std::pair<std::u16string, LPARAM>{u"Phone", 2}));
}

// ---------------------------------------------------------------------------
// List rows and the data list's image table

class Row : public IxListRowView {
public:
    Row()
    {
        SetRectNow(RECT{0, 0, 400, 60});
        SetFlags(0, IXF_PENDING);
        text = AddLabel(IXID_ROWTEXT);
        detail = AddLabel(IXID_ROWDETAIL);
        icon = new IxImageElement;
        icon->SetId(IXID_ROWICON);
        AddChild(icon);
    }
    int icon_index = -1;
    IxStaticText* text;
    IxStaticText* detail;
    IxImageElement* icon;

protected:
    int RowIconIndex(const IxString&, int) override { return icon_index; }
    int RowIconFrame(int a, int, int) override { return a; }

private:
    IxStaticText* AddLabel(int id)
    {
        auto* label = new IxStaticText;
        label->SetId(id);
        AddChild(label);
        return label;
    }
};

class RowList : public IxDataListView {
public:
    RowList() : IxDataListView(2, 1, 0, 0, 0, 0, 0, 0, 0, 1000, 20, 20)
    {
        SetRectNow(RECT{0, 0, 400, 120});
        SetFlags(0, IXF_PENDING);
    }
};

IxImage* Swatch(COLORREF c)
{
    return new IxColorImage(c, 20, 20);
}

TEST_F(ButtonViewTest, RowsTakeTheirIconsAndTextsFromTheListsImageTable)
{
    auto* list = new RowList;
    auto* row = new Row;
    list->AddItemElement(row);
    IxImage* folder = Swatch(kYellow);
    IxImage* second = Swatch(kRed);
    folder->AddRef();
    second->AddRef();
    EXPECT_TRUE(list->SetItemData(IXLIMG_FOLDER, folder));
    EXPECT_TRUE(list->SetItemData(3, second)); // grows the table with empty entries
    EXPECT_FALSE(list->SetItemData(-4, Swatch(kBlue)));
    EXPECT_EQ(list->Images().Count(), 4);

    struct Ask {
        int index;
        IxImage* image;
    };
    for (const Ask& a : {Ask{3, second}, Ask{0, nullptr}, Ask{4, nullptr}, Ask{IXLIMG_FOLDER, folder},
                         Ask{IXLIMG_CURRENT, nullptr}, Ask{-4, nullptr}, Ask{-6, nullptr}})
        EXPECT_EQ(reinterpret_cast<IxImage*>(row->Control(IXSVC_LISTIMAGE, 0, a.index)), a.image) << a.index;

    // A path with an icon of the table: the row holds a reference of its own.
    row->icon_index = 3;
    row->SetRowPath(IxString(u"\\HDD\\Music\\song.mp3"), 0, FALSE);
    EXPECT_EQ(row->text->GetText().Text(), std::u16string(u"\\HDD\\Music\\song.mp3"));
    EXPECT_EQ(row->icon->GetImage(), second);
    EXPECT_EQ(second->GetRefCount(), 3);
    row->icon_index = -4;
    row->SetRowPath(IxString(u"\\HDD\\a.mp3"), 1, FALSE);
    EXPECT_TRUE(row->icon->HasFlag(IXF_HIDDEN));
    row->SetRowPath(IxString(), 1, FALSE);
    EXPECT_TRUE(row->text->GetText().IsEmpty());
    row->SetRowPath(IxString(u"\\HDD"), IXLIMG_FOLDER, FALSE);
    EXPECT_EQ(row->icon->GetImage(), folder);
    EXPECT_FALSE(row->icon->HasFlag(IXF_HIDDEN));

    row->SetRowFolder(IxString(u"\\HDD\\Music\\Pop"), 0, FALSE);
    EXPECT_EQ(row->text->GetText().Text(), std::u16string(u"Pop"));
    row->SetRowFolder(IxString(), 0, FALSE);
    EXPECT_TRUE(row->text->GetText().IsEmpty());
    EXPECT_TRUE(row->detail->GetText().IsEmpty());

    row->SetRowIcon(-4, 0, 0);
    EXPECT_TRUE(row->icon->HasFlag(IXF_HIDDEN));

    delete list; // releases the table's references and the row's
    EXPECT_EQ(folder->GetRefCount(), 1);
    EXPECT_EQ(second->GetRefCount(), 1);
    folder->Release();
    second->Release();
}

TEST_F(ButtonViewTest, ClickInsideAnItemIsReportedWithTheItemsPosition)
{
    auto* list = new RowList;
    for (int i = 0; i < 3; ++i) {
        auto* item = new Sheet(0, RECT{0, i * 40, 400, i * 40 + 40});
        item->AddChild(new Key(i == 2 ? 0 : 77, RECT{300, 0, 340, 40}));
        list->AddItemElement(item);
    }
    Screen()->AddChild(list);
    ASSERT_TRUE(frame->PushLayer(Screen(), nullptr, IXLAYER_SCREEN));
    Pump();
    ActionListener clicks(77);
    auto keyOf = [&](int i) {
        IxListNode* node = list->Children().Head();
        while (i-- > 0)
            node = node->m_pNext;
        return static_cast<IxControl*>(
            IxElement::FromNode(static_cast<IxView*>(IxElement::FromNode(node))->Children().Head()));
    };
    Busy([&] { keyOf(1)->Click(0, FALSE); });
    Busy([&] { keyOf(2)->Click(0, FALSE); }); // an element without an id: nothing
    EXPECT_EQ(clicks.heard, (std::vector<Heard>{{77, AEV_SELECTIONCHANGED, 1}}));
    IxGetKernel()->RemoveListener(clicks.filter, &clicks);
}

TEST_F(ButtonViewTest, FolderRowShowsItsFolderAndMirrorsItsMarkOntoTheDetail)
{
    auto* row = new IxFolderRowView;
    row->SetRectNow(RECT{0, 0, 400, 60});
    for (int id : {IXID_ROWTEXT, IXID_ROWDETAIL}) {
        auto* label = new IxStaticText;
        label->SetId(id);
        row->AddChild(label);
    }
    Screen()->AddChild(row);
    ASSERT_TRUE(frame->PushLayer(Screen(), nullptr, IXLAYER_SCREEN));
    Pump();
    auto* text = static_cast<IxStaticText*>(row->FindChildDeep(IXID_ROWTEXT));
    IxElement* detail = row->FindChildDeep(IXID_ROWDETAIL);
    Busy([&] { SetElementText(row, IxString(u"\\HDD\\Music\\Pop"), 5, TRUE); });
    EXPECT_EQ(text->GetText().Text(), std::u16string(u"Pop"));
    Busy([&] { row->SetUnmarked(FALSE, 0); });
    EXPECT_TRUE(detail->HasFlag(IXF_MARKED));
    Busy([&] { row->SetUnmarked(TRUE, 0); });
    EXPECT_FALSE(detail->HasFlag(IXF_MARKED));
}

TEST_F(ButtonViewTest, CurrentTextButtonIsCoveredByTheListsCurrentImage)
{
    auto* list = new RowList;
    auto* row = new TextButton;
    row->SetRectNow(RECT{0, 0, 400, 60});
    row->SetFlags(0, IXF_PENDING);
    row->SetBackground(new IxColorImage(RGB(70, 80, 96), 400, 60));
    list->AddItemElement(row);
    list->SetItemData(IXLIMG_CURRENT, new IxColorImage(kRed, 400, 60));
    list->SetRectNow(RECT{100, 100, 500, 220});
    Screen()->AddChild(list);
    ASSERT_TRUE(frame->PushLayer(Screen(), nullptr, IXLAYER_SCREEN));
    Busy([&] { SetElementText(row, IxString(u"Row"), 1, TRUE); });
    POINT centre{200, 30};
    row->LocalToScreen(&centre);
    const auto before = At(centre.x, centre.y);
    EXPECT_NE(before, Px(kRed));
    const int draws = row->draws;
    Busy([&] { row->SetCurrent(TRUE, 1); });
    EXPECT_TRUE(row->HasFlag(IXF_CURRENT));
    EXPECT_GT(row->draws, draws);
    EXPECT_NE(row->Control(IXSVC_LISTIMAGE, 0, IXLIMG_CURRENT), 0);
    EXPECT_EQ(At(centre.x, centre.y), Px(kRed));
    Busy([&] { row->SetCurrent(FALSE, 1); });
    EXPECT_EQ(At(centre.x, centre.y), before);
}

} // namespace
