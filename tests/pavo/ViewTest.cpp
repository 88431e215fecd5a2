#include "Lib_cpp/controls/FrameView.h"
#include "Lib_cpp/image/Image.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

std::vector<std::string> g_log;

// A leaf that logs its paints and deaths and answers hit tests with itself.
class Leaf : public IxElement {
public:
    Leaf(std::string name, RECT rc, DWORD flags = 0) : m_name(std::move(name))
    {
        m_rc = rc;
        m_dwFlags = flags;
    }
    ~Leaf() override { g_log.push_back(m_name + " deleted"); }
    void Draw(IxPaintRecord*) override { g_log.push_back(m_name); }
    IxElement* FindTarget(int, POINT) override { return this; }
    LRESULT OnEvent(int code, LPARAM param) override
    {
        if (onEvent && onEvent(code))
            return 0; // the hook deleted this element
        return IxElement::OnEvent(code, param);
    }
    std::string m_name;
    std::function<bool(int)> onEvent;
};

const RECT kFull{0, 0, 100, 100};

IxPaintRecord Record()
{
    return IxPaintRecord{nullptr, kFull};
}

class ViewTest : public ::testing::Test {
protected:
    void SetUp() override { g_log.clear(); }
};

TEST_F(ViewTest, HitTestPicksTopmostAndSkipsHiddenAndDisabled)
{
    struct Case {
        DWORD topFlags;
        POINT point;
        const char* expected; // null: no target
    };
    const Case cases[] = {
        {0, {20, 20}, "top"}, // overlap: the tail wins
        {IXF_HIDDEN, {20, 20}, "bottom"},
        {IXF_DISABLED, {20, 20}, "bottom"},
        {0, {5, 5}, "bottom"}, // only the bottom one holds it
        {0, {50, 50}, "top"},  // edges are inside
        {0, {90, 90}, nullptr},
    };
    for (const Case& c : cases) {
        IxView view;
        view.AddChild(new Leaf("bottom", RECT{0, 0, 40, 40}));
        view.AddChild(new Leaf("top", RECT{10, 10, 50, 50}, c.topFlags));
        auto* hit = static_cast<Leaf*>(view.FindTarget(IXIN_TAP, c.point));
        if (c.expected)
            EXPECT_EQ(hit ? hit->m_name : "none", c.expected) << c.point.x << "," << c.point.y;
        else
            EXPECT_EQ(hit, nullptr);
    }
}

TEST_F(ViewTest, PaintsInListOrderSkippingHiddenAndCurrentLast)
{
    IxView view;
    auto* a = new Leaf("a", RECT{0, 0, 10, 10});
    view.AddChild(a);
    view.AddChild(new Leaf("b", RECT{0, 0, 10, 10}));
    view.AddChild(new Leaf("hidden", RECT{0, 0, 10, 10}, IXF_HIDDEN));
    view.AddChild(new Leaf("outside", RECT{200, 200, 210, 210}));
    IxPaintRecord record = Record();
    view.Draw(&record);
    EXPECT_EQ(g_log, (std::vector<std::string>{"a", "b"}));

    g_log.clear();
    view.SetCurrentChild(a);
    view.PaintChildrenCurrentLast(&record);
    EXPECT_EQ(g_log, (std::vector<std::string>{"b", "a"}));

    g_log.clear();
    EXPECT_EQ(view.SetProperty(IXP_TOFRONT, reinterpret_cast<LPARAM>(a)), 1);
    EXPECT_EQ(view.SetProperty(IXP_TOFRONT, reinterpret_cast<LPARAM>(a)), 0); // already in front
    view.Draw(&record);
    EXPECT_EQ(g_log, (std::vector<std::string>{"b", "a"}));
}

TEST_F(ViewTest, FrameViewShowsOnePageAtATime)
{
    IxFrameView frame;
    auto* p1 = new Leaf("p1", RECT{0, 0, 10, 10});
    auto* p2 = new Leaf("p2", RECT{0, 0, 10, 10});
    p1->SetId(1);
    p2->SetId(2);
    frame.AddPage(p1);
    frame.AddPage(p2);
    frame.SetActivePage(p1, 0, 0); // inactive frame: only stored
    EXPECT_FALSE(p1->HasFlag(IXF_ACTIVE));
    frame.SetActive(TRUE, 0);
    EXPECT_TRUE(p1->HasFlag(IXF_ACTIVE));
    EXPECT_FALSE(p2->HasFlag(IXF_ACTIVE));

    EXPECT_EQ(frame.SetActivePageById(2, 0, 0), 1);
    EXPECT_EQ(frame.SetActivePageById(7, 0, 0), 0);
    EXPECT_FALSE(p1->HasFlag(IXF_ACTIVE));
    EXPECT_TRUE(p2->HasFlag(IXF_ACTIVE));
    IxPaintRecord record = Record();
    frame.Draw(&record);
    EXPECT_EQ(g_log, (std::vector<std::string>{"p2"}));
    EXPECT_EQ(frame.FindTarget(IXIN_TAP, POINT{5, 5}), p2);
    EXPECT_EQ(frame.FindElement(IXFIND_ID, 1, nullptr, nullptr, &frame), nullptr); // inactive page not searched
    EXPECT_EQ(frame.FindElement(IXFIND_ID, 2, nullptr, nullptr, &frame), p2);
}

// Builds two children each time it is activated.
class OnDemand : public IxView {
public:
    OnDemand() { m_dwFlags |= IXF_CREATEONACTIVATE; }
    int OnCreate(const IxElementParams*) override
    {
        AddChild(new Leaf(std::string("c") + std::to_string(++built), RECT{0, 0, 10, 10}));
        AddChild(new Leaf(std::string("c") + std::to_string(++built), RECT{0, 0, 10, 10}));
        return 1;
    }
    int built = 0;
};

TEST_F(ViewTest, CreatedOnActivationBuildsAndDropsChildren)
{
    OnDemand view;
    EXPECT_EQ(view.Children().Count(), 0);
    view.SetActive(TRUE, 0);
    ASSERT_EQ(view.Children().Count(), 2);
    EXPECT_TRUE(IxElement::FromNode(view.Children().Head())->HasFlag(IXF_ACTIVE));
    view.SetActive(FALSE, 0);
    EXPECT_EQ(view.Children().Count(), 0);
    EXPECT_EQ(g_log, (std::vector<std::string>{"c1 deleted", "c2 deleted"}));
    view.SetActive(TRUE, 0);
    EXPECT_EQ(view.Children().Count(), 2);
    EXPECT_EQ(view.built, 4);
}

TEST_F(ViewTest, AttachAndDetachSetAndClearTheParent)
{
    IxWindowView window;
    window.SetActive(TRUE, 0);
    auto* attached = new Leaf("attached", RECT{0, 0, 100, 100});
    ASSERT_TRUE(window.AttachView(attached));
    EXPECT_EQ(attached->GetParent(), &window);
    EXPECT_TRUE(attached->HasFlag(IXF_ACTIVE));
    window.AddChild(new Leaf("child", RECT{0, 0, 100, 100}));
    EXPECT_EQ(window.FindTarget(IXIN_TAP, POINT{5, 5}), attached); // attached views are hit first
    IxPaintRecord record = Record();
    window.Draw(&record);
    EXPECT_EQ(g_log, (std::vector<std::string>{"child", "attached"}));

    window.DetachView(attached);
    EXPECT_EQ(attached->GetParent(), nullptr);
    EXPECT_FALSE(attached->HasFlag(IXF_ACTIVE));
    EXPECT_EQ(window.Attached().Count(), 0);
    EXPECT_FALSE(window.AttachView(nullptr));
    delete attached;
}

TEST_F(ViewTest, ChildDeletingItselfDuringAWalkIsSafe)
{
    IxView view;
    auto* first = new Leaf("first", RECT{0, 0, 10, 10});
    auto* doomed = new Leaf("doomed", RECT{0, 0, 10, 10});
    auto* last = new Leaf("last", RECT{0, 0, 10, 10});
    doomed->onEvent = [doomed](int code) {
        if (code != IXEV_ATTACHED)
            return false;
        delete doomed;
        return true;
    };
    view.AddChild(first);
    view.AddChild(doomed);
    view.AddChild(last);
    view.SetActive(TRUE, 0);
    EXPECT_EQ(view.Children().Count(), 2);
    EXPECT_TRUE(last->HasFlag(IXF_ACTIVE));
    view.RemoveChild(first, FALSE);
    EXPECT_EQ(view.Children().Count(), 1);
}

TEST_F(ViewTest, SelectionReports)
{
    IxView view;
    auto* a = new Leaf("a", RECT{0, 0, 10, 10});
    auto* b = new Leaf("b", RECT{0, 0, 10, 10});
    b->SetId(5);
    view.AddChild(a);
    view.AddChild(b);
    view.SelectChild(a, FALSE);
    view.SelectChildById(5, FALSE);
    EXPECT_EQ(view.CountSelected(), 1);
    EXPECT_EQ(view.FirstSelectedChild(), b);
    EXPECT_EQ(view.IndexOfFirstSelected(), 1);
    view.SelectChild(a, TRUE);
    IxArray<int> indexes;
    view.SelectedIndexes(&indexes);
    ASSERT_EQ(indexes.Count(), 2);
    EXPECT_EQ(indexes[0], 0);
    EXPECT_EQ(view.IndexOfId(5), 1);
    EXPECT_EQ(view.IndexOfFirstCurrent(), -1);
}

// An image with the normal and pressed state frames that logs the frame it
// is asked to show and its release.
class StateImage : public IxImage {
public:
    BOOL Draw(IxDC*, const RECT&, const RECT*) override { return FALSE; }
    INT_PTR Query(int what, INT_PTR argument) override
    {
        if (what == IXIQ_HASFRAME)
            return argument == IXSTATE_NORMAL || argument == IXSTATE_PRESSED;
        return what == IXIQ_CURFRAME ? current : 0;
    }
    BOOL Control(int command, INT_PTR argument) override
    {
        if (command != IXIC_SETFRAME || argument == current)
            return FALSE;
        current = static_cast<int>(argument);
        return TRUE;
    }
    void Destroy() override { g_log.push_back("image released"); }
    int current = IXSTATE_NORMAL;
};

TEST_F(ViewTest, BackgroundImageFollowsTheViewsState)
{
    StateImage image;
    image.AddRef(); // the test's own reference outlives the view's
    {
        IxView view;
        view.SetBackground(&image);
        view.SetPressed(TRUE, 0);
        EXPECT_EQ(image.current, IXSTATE_PRESSED);
        view.SetPressed(FALSE, 0);
        EXPECT_EQ(image.current, IXSTATE_NORMAL);
    }
    EXPECT_EQ(image.GetRefCount(), 1);
    image.Release();
    EXPECT_EQ(g_log, (std::vector<std::string>{"image released"}));
}

} // namespace
