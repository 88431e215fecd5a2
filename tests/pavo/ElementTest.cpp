#include "Lib_cpp/controls/Element.h"
#include "Lib_cpp/frame/KernelFrame.h"
#include "Lib_cpp/image/Image.h"
#include "Lib_cpp/kernel/Kernel.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

std::vector<std::string> g_log;

std::string Str(const RECT& rc)
{
    return std::to_string(rc.left) + "," + std::to_string(rc.top) + "," + std::to_string(rc.right) + ","
        + std::to_string(rc.bottom);
}

// A view that logs events, child notices, actions and invalidations that
// reach it; hooks let a test act inside a handler.
class Node : public IxView {
public:
    Node(int id, std::string name) : m_name(std::move(name)) { m_nId = id; }
    LRESULT OnEvent(int code, LPARAM param) override
    {
        events.push_back(code);
        params.push_back(param);
        if (code == IXEV_CHILDNOTICE) {
            const auto* e = reinterpret_cast<const IxChildNoticeEvent*>(param);
            g_log.push_back(m_name + " " + std::to_string(IxActionId(e->dwWord)) + "/"
                            + std::to_string(IxActionKind(e->dwWord)));
        } else if (code == IXEV_SHOWN || code == IXEV_HIDDEN) {
            g_log.push_back(m_name + " ev" + std::to_string(code));
        }
        if (onEvent && onEvent(code))
            return 0; // the hook deleted this element: touch nothing
        return IxView::OnEvent(code, param);
    }
    int ActionIsInvoked(int code, int kind, LPARAM) override
    {
        g_log.push_back(m_name + " action " + std::to_string(code) + "/" + std::to_string(kind));
        return 0;
    }
    void Invalidate(int mode, RECT* rect, IxElement* origin) override
    {
        if (logInvalidate)
            g_log.push_back(m_name + " inv" + std::to_string(mode) + " " + (rect ? Str(*rect) : "null"));
        IxView::Invalidate(mode, rect, origin);
    }
    std::string m_name;
    std::vector<int> events;
    std::vector<LPARAM> params;
    bool logInvalidate = false;
    std::function<bool(int)> onEvent; // returns true when it deleted the element
};

class Button : public IxControl {
public:
    explicit Button(int id, DWORD flags = 0)
    {
        m_nId = id;
        m_dwFlags |= flags;
        m_rc = RECT{10, 10, 60, 30};
        m_rcHit = RECT{0, 0, 50, 20};
    }
    void Draw(IxPaintRecord*) override {}
    LRESULT OnEvent(int code, LPARAM param) override
    {
        if (onEvent && onEvent(code))
            return 0;
        return IxControl::OnEvent(code, param);
    }
    std::function<bool(int)> onEvent;
};

// Shown and laid out: repaint requests pass.
template <class T> T* Ready(T* element)
{
    element->ValidateNow(0);
    return element;
}

TEST(ElementTest, FlagSettersSendTheirEventsOnlyOnChange)
{
    struct Case {
        const char* name;
        void (*change)(IxElement*, BOOL);
        DWORD startFlags;
        BOOL arg;
        int event; // 0: none
        LPARAM param;
        DWORD bit;
        bool bitAfter;
    };
    const Case cases[] = {
        {"disable", [](IxElement* e, BOOL a) { e->Enable(a, 7); }, 0, 0, IXEV_DISABLED, 7, IXF_DISABLED, true},
        {"enable", [](IxElement* e, BOOL a) { e->Enable(a, 7); }, IXF_DISABLED, 1, IXEV_ENABLED, 7, IXF_DISABLED,
         false},
        {"enable twice", [](IxElement* e, BOOL a) { e->Enable(a, 7); }, 0, 1, 0, 0, IXF_DISABLED, false},
        {"refuse input", [](IxElement* e, BOOL a) { e->SetInputAllowed(a, 7); }, 0, 0, IXEV_INPUTREFUSED, 7,
         IXF_NOINPUT, true},
        {"allow input", [](IxElement* e, BOOL a) { e->SetInputAllowed(a, 7); }, IXF_NOINPUT, 1, IXEV_INPUTALLOWED, 7,
         IXF_NOINPUT, false},
        {"select", [](IxElement* e, BOOL a) { e->SetSelected(a, 7); }, 0, 1, IXEV_SELECTED, 7, IXF_SELECTED, true},
        {"unselect", [](IxElement* e, BOOL a) { e->SetSelected(a, 7); }, IXF_SELECTED, 0, IXEV_UNSELECTED, 7,
         IXF_SELECTED, false},
        {"current", [](IxElement* e, BOOL a) { e->SetCurrent(a, 7); }, 0, 1, IXEV_CURRENT, 7, IXF_CURRENT, true},
        {"not current", [](IxElement* e, BOOL a) { e->SetCurrent(a, 7); }, IXF_CURRENT, 0, IXEV_NOTCURRENT, 7,
         IXF_CURRENT, false},
        {"press", [](IxElement* e, BOOL a) { e->SetPressed(a, 7); }, 0, 1, IXEV_PRESSED, 7, IXF_PRESSED, true},
        {"release", [](IxElement* e, BOOL a) { e->SetPressed(a, 7); }, IXF_PRESSED, 0, IXEV_RELEASED, 7, IXF_PRESSED,
         false},
        {"mark", [](IxElement* e, BOOL a) { e->SetUnmarked(a, 7); }, 0, 0, IXEV_MARKED, 7, IXF_MARKED, true},
        {"unmark", [](IxElement* e, BOOL a) { e->SetUnmarked(a, 7); }, IXF_MARKED, 1, IXEV_UNMARKED, 7, IXF_MARKED,
         false},
        {"hide", [](IxElement* e, BOOL a) { e->Show(a, 7); }, 0, 0, IXEV_HIDDEN, 0, IXF_HIDDEN, true},
        {"show", [](IxElement* e, BOOL a) { e->Show(a, 7); }, IXF_HIDDEN, 1, IXEV_SHOWN, 0, IXF_HIDDEN, false},
        {"show shown", [](IxElement* e, BOOL a) { e->Show(a, 7); }, 0, 1, 0, 0, IXF_HIDDEN, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Node node(1, "n");
        node.SetFlags(c.startFlags, 0);
        c.change(&node, c.arg);
        EXPECT_EQ(node.HasFlag(c.bit), c.bitAfter);
        if (c.event == 0) {
            EXPECT_TRUE(node.events.empty());
        } else {
            ASSERT_EQ(node.events, std::vector<int>{c.event});
            EXPECT_EQ(node.params[0], c.param);
        }
    }
}

TEST(ElementTest, ShowRedrawsAfterShowingAndBeforeHiding)
{
    Node root(1, "root");
    root.logInvalidate = true;
    auto* child = Ready(new Node(2, "child"));
    child->SetRectNow(RECT{5, 5, 15, 15});
    root.AddChild(child);
    g_log.clear();
    child->Show(FALSE, TRUE);
    child->Show(TRUE, TRUE);
    EXPECT_EQ(g_log,
              (std::vector<std::string>{"root inv0 5,5,15,15", "child ev12", "child ev30", "root inv0 5,5,15,15"}));
}

TEST(ElementTest, InvalidationStopsAtHiddenOrPendingElements)
{
    struct Case {
        const char* name;
        DWORD childFlags;
        DWORD parentFlags;
        int mode;
        std::vector<std::string> root;
        bool childUpdatePending;
    };
    const Case cases[] = {
        {"shown", 0, 0, 0, {"root inv0 103,104,105,106"}, false},
        {"hidden", IXF_HIDDEN, 0, 0, {}, false},
        {"inside a hidden parent", 0, IXF_HIDDEN, 0, {}, false},
        {"layout pending", IXF_LAYOUTPENDING, 0, 0, {}, false},
        {"only update pending", IXF_UPDATEPENDING, 0, 0, {"root inv0 103,104,105,106"}, true},
        {"hidden, mark update", IXF_HIDDEN, 0, 1, {"root inv1 null"}, true},
        {"already marked", IXF_UPDATEPENDING, 0, 1, {"root inv0 103,104,105,106"}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Node root(1, "root");
        root.logInvalidate = true;
        auto* parent = Ready(new Node(2, "parent"));
        parent->SetRectNow(RECT{100, 100, 200, 200});
        auto* child = Ready(new Node(3, "child"));
        root.AddChild(parent);
        parent->AddChild(child);
        parent->SetFlags(c.parentFlags, 0);
        child->SetFlags(c.childFlags, 0);
        g_log.clear();
        RECT rc{1, 2, 3, 4};
        child->SetRectNow(RECT{2, 2, 10, 10});
        child->Invalidate(c.mode, &rc, nullptr);
        EXPECT_EQ(g_log, c.root);
        EXPECT_EQ(child->HasFlag(IXF_UPDATEPENDING), c.childUpdatePending);
    }
}

TEST(ElementTest, InvalidateClampedClampsToTheClientRectangle)
{
    Node root(1, "root");
    root.logInvalidate = true;
    auto* child = Ready(new Node(2, "child"));
    child->SetRectNow(RECT{0, 0, 30, 20});
    root.AddChild(child);
    g_log.clear();
    RECT rc{-5, -5, 40, 30};
    child->InvalidateClamped(0, &rc, nullptr);
    EXPECT_EQ(Str(rc), "0,0,30,20");
    EXPECT_EQ(g_log, std::vector<std::string>{"root inv0 0,0,30,20"});
}

TEST(ElementTest, AlignmentOffsets)
{
    struct Case {
        DWORD flags;
        int content, box, h, v;
    };
    const Case cases[] = {
        {0, 10, 30, 0, 0},
        {IXF_HEND | IXF_VEND, 10, 30, 20, 20},
        {IXF_HCENTER | IXF_VCENTER, 11, 30, 9, 9},
        {IXF_HCENTER | IXF_VCENTER, 45, 30, 0, -7}, // larger content: toward zero, never left of 0
    };
    for (const Case& c : cases) {
        Node node(1, "n");
        node.SetFlags(c.flags, 0);
        EXPECT_EQ(node.HorizontalOffset(c.content, c.box), c.h);
        EXPECT_EQ(node.VerticalOffset(c.content, c.box), c.v);
    }
}

TEST(ElementTest, FindElementSearchesTheSubtreeThenOutward)
{
    // root(1) -> a(2) -> {a1(5), a2(6)}; b(3) -> {b1(5), b2(7)}
    Node root(1, "root");
    auto* a = new Node(2, "a");
    auto* b = new Node(3, "b");
    auto* a1 = new Node(5, "a1");
    auto* a2 = new Node(6, "a2");
    auto* b1 = new Node(5, "b1");
    auto* b2 = new Node(7, "b2");
    root.AddChild(a);
    root.AddChild(b);
    a->AddChild(a1);
    a->AddChild(a2);
    b->AddChild(b1);
    b->AddChild(b2);
    struct Case {
        IxElement* start;
        int id;
        bool subtreeOnly;
        IxElement* found;
    };
    const Case cases[] = {
        {a2, 5, false, a1}, {b2, 5, false, b1},    {a2, 7, false, b2}, {a2, 7, true, nullptr},
        {a, 5, true, a1},   {a, 7, true, nullptr}, {a2, 6, false, a2}, {a1, 9, false, nullptr},
    };
    for (const Case& c : cases) {
        IxElement* stop = c.subtreeOnly ? c.start : nullptr;
        EXPECT_EQ(c.start->FindElement(IXFIND_ID, c.id, nullptr, c.start, stop), c.found) << c.id;
    }
    IxArray<IxElement*> all(4);
    root.FindElement(IXFIND_ID, 5, &all, &root, &root);
    ASSERT_EQ(all.Count(), 2);
    EXPECT_EQ(all[0], a1);
    EXPECT_EQ(all[1], b1);
}

TEST(ElementTest, PressTrackingAndClick)
{
    struct Step {
        int code;
        POINT pt;
    };
    struct Case {
        const char* name;
        DWORD flags;
        std::vector<Step> steps;
        std::vector<std::string> notices;
        int downAnswer;
    };
    const POINT in{5, 5};
    const POINT out{80, 5};
    const Case cases[] = {
        {"released inside",
         0,
         {{IXIN_DOWN, in}, {IXIN_MOVE, in}, {IXIN_UP, in}},
         {"p 9/4130", "p 9/4133", "p 9/4096"},
         2},
        {"released outside",
         0,
         {{IXIN_DOWN, in}, {IXIN_MOVE, out}, {IXIN_UP, out}},
         {"p 9/4130", "p 9/4131", "p 9/4134"},
         2},
        {"left and came back",
         0,
         {{IXIN_DOWN, in}, {IXIN_MOVE, out}, {IXIN_MOVE, in}, {IXIN_UP, in}},
         {"p 9/4130", "p 9/4131", "p 9/4132", "p 9/4133", "p 9/4096"},
         2},
        {"click on press", IXF_CLICKONPRESS, {{IXIN_DOWN, in}, {IXIN_UP, in}}, {"p 9/4130", "p 9/4096", "p 9/4133"}, 2},
        {"disabled", IXF_DISABLED, {{IXIN_DOWN, in}}, {}, 0},
        {"input refused", IXF_NOINPUT, {{IXIN_DOWN, in}}, {}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Node parent(1, "p");
        auto* button = new Button(9, IXF_DIRECTNOTIFY | c.flags);
        parent.AddChild(button);
        g_log.clear();
        for (const Step& s : c.steps) {
            POINT pt = s.pt;
            int answer = button->OnInput(s.code, reinterpret_cast<LPARAM>(&pt));
            if (s.code == IXIN_DOWN) {
                EXPECT_EQ(answer, c.downAnswer);
            }
        }
        std::vector<std::string> notices;
        for (const std::string& line : g_log) {
            if (line.find("action") == std::string::npos)
                notices.push_back(line);
        }
        EXPECT_EQ(notices, c.notices);
        EXPECT_FALSE(button->HasFlag(IXF_PRESSED));
    }
}

TEST(ElementTest, HitTestUsesTheHitRectangleEdgesIncluded)
{
    Button button(1);
    EXPECT_EQ(button.FindTarget(0, POINT{50, 20}), &button);
    EXPECT_EQ(button.FindTarget(0, POINT{51, 20}), nullptr);
    EXPECT_EQ(button.FindTarget(IXIN_NOHIT, POINT{1, 1}), nullptr);
    button.SetFlags(IXF_NOTARGET, 0);
    EXPECT_EQ(button.FindTarget(0, POINT{1, 1}), nullptr);
}

// Queued notices wait for the end of the busy bracket; direct ones climb the
// parent chain at once, nearest receiver first.
TEST(ElementTest, QueuedAndDirectNoticesReachTheirReceiversInOrder)
{
    IxKernelFrame frame(nullptr, nullptr, 0, 0, 0);
    ASSERT_TRUE(frame.Create(0, 0, 800, 480));
    IxKernel* kernel = frame.GetKernel();
    auto* outer = new Node(10, "outer");
    auto* inner = new Node(11, "inner");
    auto* subscriber = new Node(12, "sub");
    frame.AddChild(outer);
    frame.AddChild(subscriber);
    outer->AddChild(inner);
    auto* direct = new Button(21, IXF_DIRECTNOTIFY);
    auto* queued = new Button(22);
    auto* anonymous = new Button(0);
    inner->AddChild(direct);
    inner->AddChild(queued);
    inner->AddChild(anonymous);
    ASSERT_TRUE(kernel->Subscribe(22, subscriber));
    ASSERT_TRUE(kernel->Subscribe(0, subscriber));
    g_log.clear();

    frame.BeginBusy();
    queued->Click(5, FALSE);
    direct->Click(6, FALSE);
    anonymous->Click(7, FALSE); // id 0 without direct notices: lost
    g_log.push_back("end of handler");
    frame.EndBusy();
    EXPECT_EQ(g_log,
              (std::vector<std::string>{"inner 21/4096", "inner action 21/4096", "outer 21/4096",
                                        "outer action 21/4096", "end of handler", "sub action 22/4096"}));
}

// Handlers that delete elements while the framework walks them.
TEST(ElementTest, DeletingAnElementInsideItsOwnHandlerIsSafe)
{
    struct Case {
        const char* name;
        // Arms the deletion; returns the control that gets the press.
        std::function<Button*(Node* root, Node* parent)> arm;
    };
    const Case cases[] = {
        {"the control deletes itself when pressed",
         [](Node*, Node* parent) {
             auto* b = new Button(1, IXF_DIRECTNOTIFY);
             parent->AddChild(b);
             b->onEvent = [b](int code) {
                 if (code != IXEV_PRESSED)
                     return false;
                 delete b;
                 return true;
             };
             return b;
         }},
        {"the parent deletes the control on its notice",
         [](Node*, Node* parent) {
             auto* b = new Button(1, IXF_DIRECTNOTIFY);
             parent->AddChild(b);
             parent->onEvent = [b](int code) {
                 if (code == IXEV_CHILDNOTICE)
                     delete b;
                 return false;
             };
             return b;
         }},
        {"the parent deletes itself with the control",
         [](Node*, Node* parent) {
             auto* b = new Button(1, IXF_DIRECTNOTIFY);
             parent->AddChild(b);
             parent->onEvent = [parent](int code) {
                 if (code != IXEV_CHILDNOTICE)
                     return false;
                 delete parent;
                 return true;
             };
             return b;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Node root(100, "root");
        auto* parent = new Node(2, "parent");
        root.AddChild(parent);
        Button* button = c.arm(&root, parent);
        IxElementWatch watch(button);
        POINT pt{1, 1};
        EXPECT_EQ(button->OnInput(IXIN_DOWN, reinterpret_cast<LPARAM>(&pt)), 0);
        EXPECT_FALSE(watch.Alive());
        // The tree is still sound: the root walks and deletes what is left.
        EXPECT_EQ(root.FindElement(IXFIND_ID, 1, nullptr, nullptr, &root), nullptr);
    }
}

TEST(ElementTest, AChildDeletingItselfOnDetachDoesNotStopTheOthers)
{
    Node root(1, "root");
    root.SetActive(TRUE, 0);
    auto* first = new Node(2, "first");
    auto* second = new Node(3, "second");
    root.AddChild(first);
    root.AddChild(second);
    first->onEvent = [first](int code) {
        if (code != IXEV_DETACHED)
            return false;
        delete first;
        return true;
    };
    root.SetActive(FALSE, 0);
    EXPECT_EQ(root.Children().Count(), 1);
    EXPECT_FALSE(second->HasFlag(IXF_ACTIVE));
    EXPECT_EQ(second->events.back(), IXEV_DETACHED);
}

} // namespace

namespace {

// An image that records where it is asked to draw.
class ProbeImage : public IxImage {
public:
    ~ProbeImage() override = default;
    BOOL Draw(IxDC*, const RECT& dst, const RECT*) override
    {
        drawn.push_back(Str(dst));
        return TRUE;
    }
    INT_PTR Query(int, INT_PTR) override { return 0; }
    BOOL Control(int, INT_PTR) override { return 0; }
    std::vector<std::string> drawn;
};

TEST(ElementTest, DrawFramedDrawsTheVisibleStripsThenTheInnerImage)
{
    struct Case {
        const char* name;
        RECT inner;
        RECT clip;
        std::vector<std::string> border;
    };
    const Case cases[] = {
        {"all strips", {10, 10, 90, 40}, {0, 0, 100, 50}, {"0,0,100,10", "90,10,100,50", "0,40,100,50", "0,10,10,40"}},
        {"clip over the top strip only", {10, 10, 90, 40}, {20, 0, 80, 10}, {"0,0,100,10"}},
        {"inner fills the element", {0, 0, 100, 50}, {0, 0, 100, 50}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Node node(1, "n");
        node.SetRectNow(RECT{0, 0, 100, 50});
        ProbeImage inner;
        ProbeImage border;
        IxPaintRecord record{nullptr, c.clip};
        node.DrawFramed(&record, &inner, c.inner, &border);
        EXPECT_EQ(border.drawn, c.border);
        EXPECT_EQ(inner.drawn, std::vector<std::string>{Str(c.inner)});
    }
}

} // namespace
