// Touch, gestures and keys through the frame window: synthetic mouse and key
// messages on the manual clock, and what reaches the elements.
#include "tests/common/ActionListener.h"
#include "tests/common/FrameWindow.h"

#include "Lib_cpp/controls/ElementApi.h"
#include "platform/base/Clock.h"
#include "platform/base/Debug.h"

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace frametest;

// A pressable element that records its input and events. Its answer to the
// press chooses the gesture; the other answers are the control's unless
// given in `answers`.
class Probe : public IxControl {
public:
    Probe(int id, RECT rc, int pressAnswer = 2) : pressAnswer(pressAnswer)
    {
        m_nId = id;
        SetRectNow(rc);
        SetFlags(IXF_HITCLIENT, IXF_PENDING);
    }
    int OnInput(int code, LPARAM data) override
    {
        inputs.push_back(code);
        if (code == 0 && onPress)
            onPress();
        if (auto it = answers.find(code); it != answers.end()) {
            if (it->second.second)
                it->second.second();
            return it->second.first;
        }
        int answer = IxControl::OnInput(code, data);
        return code == 0 ? pressAnswer : answer;
    }
    LRESULT OnEvent(int code, LPARAM param) override
    {
        if (code < 0 || code == 15)
            events.push_back({code, code == 15 ? reinterpret_cast<IxPointerNotice*>(param)->nKind : param});
        return IxControl::OnEvent(code, param);
    }
    int OnKey(int code) override
    {
        keys.push_back(code);
        return 1;
    }
    void Draw(IxPaintRecord*) override {}

    int pressAnswer;
    std::map<int, std::pair<int, std::function<void()>>> answers;
    std::function<void()> onPress;
    std::vector<int> inputs;
    std::vector<std::pair<int, LPARAM>> events;
    std::vector<int> keys;
};

// A scrollable element: it registers with the gesture service at the press
// and records the scroll and fling input.
class Scroller : public IxElement {
public:
    Scroller(RECT rc, int content) : content(content)
    {
        m_nId = 60;
        SetRectNow(rc);
        SetFlags(IXF_HITCLIENT, IXF_PENDING);
    }
    int OnInput(int code, LPARAM data) override
    {
        const auto* pt = reinterpret_cast<const POINT*>(data);
        switch (code) {
        case 34:
            if (answer34 >= 0)
                return answer34;
            return IxElement::OnInput(code, data);
        case 0: {
            int values[9] = {0, 0, 0, 0, 0, 0, 0, 0, 0};
            BeginGesture(this, RECT{0, 0, Width(), Height()}, RECT{0, 0, Width(), content}, values);
            return 7;
        }
        case 29:
            scrolls.push_back(pt->y);
            return 2;
        case 31:
            velocity = pt->y;
            return 7;
        case 32:
            steps.push_back(pt->y);
            return 1;
        case 33:
        case 30:
            ended.push_back(code);
            return 0;
        default:
            return IxElement::OnInput(code, data);
        }
    }
    void Draw(IxPaintRecord*) override {}
    int content;
    int answer34 = -1; // -1: the element's own answer
    int velocity = 0;
    std::vector<int> scrolls, steps, ended;
};

using Listener = ActionListener;

class InputTest : public FrameWindowTest {
protected:
    void SetUp() override
    {
        FrameWindowTest::SetUp();
        sheet = new Sheet(100, RECT{0, 0, 800, 480});
        ASSERT_TRUE(frame->PushLayer(sheet, nullptr, IXLAYER_SCREEN));
        Pump();
    }
    void TearDown() override
    {
        ReleaseCapture();
        FrameWindowTest::TearDown();
    }
    template <class T> T* Add(T* element)
    {
        sheet->AddChild(element);
        element->SetFlags(0, IXF_PENDING);
        return element;
    }
    void Key(UINT message, UINT key)
    {
        PostMessageW(hwnd, message, key, 0);
        DispatchOne(message);
    }
    // Handles the one waiting message of this kind (posted messages that it
    // produces stay in the queue).
    void DispatchOne(UINT message)
    {
        MSG msg;
        ASSERT_TRUE(PeekMessageW(&msg, hwnd, message, message, PM_REMOVE));
        DispatchMessageW(&msg);
    }
    void Tick(int ms)
    {
        clock.Advance(static_cast<std::uint64_t>(ms));
        Pump();
    }
    // "I_NotifyAction_" messages waiting in the queue, as {id, kind}.
    std::vector<std::pair<int, int>> Posted()
    {
        std::vector<std::pair<int, int>> out;
        MSG msg;
        while (PeekMessageW(&msg, hwnd, g_uIxNotifyAction, g_uIxNotifyAction, PM_REMOVE))
            out.push_back({IxActionId(static_cast<DWORD>(msg.wParam)), IxActionKind(static_cast<DWORD>(msg.wParam))});
        return out;
    }
    LRESULT Service(int code, void* record = nullptr, LPARAM value = 0)
    {
        return frame->GetKernel()->Service(code, record, value);
    }

    platform::ManualClock clock{100000};
    Sheet* sheet = nullptr;
};

// ---------------------------------------------------------------------------
// Press tracking, taps, long presses, drags

TEST_F(InputTest, TapReachesTheElementAsPressThenQuickTap)
{
    Probe* button = Add(new Probe(10, RECT{100, 100, 200, 160}));
    Down(150, 130);
    EXPECT_TRUE(button->HasFlag(IXF_PRESSED));
    EXPECT_EQ(frame->GetGestureMode(), IXGM_TRACK);
    EXPECT_EQ(GetCapture(), hwnd);
    Up(150, 130);
    EXPECT_EQ(button->inputs, (std::vector<int>{0, 18}));
    EXPECT_FALSE(button->HasFlag(IXF_PRESSED));
    EXPECT_EQ(frame->GetGestureMode(), IXGM_NONE);
    EXPECT_EQ(GetCapture(), nullptr);
    // A press on no element does nothing.
    Down(500, 400);
    Up(500, 400);
    EXPECT_EQ(button->inputs.size(), 2u);
}

TEST_F(InputTest, LongPressFiresAt500Milliseconds)
{
    Probe* item = Add(new Probe(11, RECT{0, 0, 300, 300}, 5));
    Down(50, 50);
    Tick(499);
    EXPECT_TRUE(item->events.empty() || item->events.back().first != -4);
    Tick(1);
    ASSERT_FALSE(item->events.empty());
    EXPECT_EQ(item->events.back(), (std::pair<int, LPARAM>{-4, 0}));
    EXPECT_EQ(frame->GetGestureMode(), IXGM_CANDIDATE);
    Up(50, 50);
    // A drag candidate's release: drag state 0, input 28, then the tap.
    EXPECT_EQ(item->events.back(), (std::pair<int, LPARAM>{-5, 0}));
    EXPECT_EQ(item->inputs, (std::vector<int>{0, 28, 18}));
}

TEST_F(InputTest, LongPressWithoutDelayIsADragCandidateAtOnce)
{
    frame->GestureConstants().nLongPressDelay = 0;
    Add(new Probe(11, RECT{0, 0, 300, 300}, 5));
    Down(50, 50);
    EXPECT_EQ(frame->GetGestureMode(), IXGM_CANDIDATE);
    Up(50, 50);
}

TEST_F(InputTest, MovesReachTheGestureOnlyPastTheStartThreshold)
{
    frame->GestureConstants().nStartThreshold = 10;
    Probe* button = Add(new Probe(10, RECT{100, 100, 300, 300}));
    Down(150, 150);
    Move(158, 155);
    EXPECT_EQ(button->inputs, (std::vector<int>{0}));
    EXPECT_EQ(Service(IXSVC_MOVED), 0);
    Move(161, 155);
    EXPECT_EQ(button->inputs, (std::vector<int>{0, 9}));
    EXPECT_EQ(Service(IXSVC_MOVED), 1);
    POINT where{};
    EXPECT_EQ(Service(IXSVC_CURSORPOS, &where), 1);
    EXPECT_EQ(where.x, 161);
    EXPECT_EQ(where.y, 155);
    // Once past, every move counts; a moved press is released, not tapped.
    Move(162, 155);
    Up(162, 155);
    EXPECT_EQ(button->inputs, (std::vector<int>{0, 9, 9, 11}));
}

TEST_F(InputTest, DragAndDropOntoATarget)
{
    auto* dragView = new Probe(90, RECT{0, 0, 40, 40});
    Probe* source = Add(new Probe(20, RECT{0, 0, 100, 100}, 4));
    Probe* target = Add(new Probe(21, RECT{400, 0, 500, 100}));
    source->answers[19] = {3, [&] {
                               IxLayerRecord layer{dragView, nullptr};
                               Service(IXSVC_DRAGLAYER, &layer);
                           }};
    source->answers[23] = {0, nullptr};
    target->answers[23] = {1, nullptr};
    target->answers[21] = {1, nullptr};
    target->answers[24] = {1, nullptr};
    Down(50, 50);
    Move(60, 50);
    EXPECT_EQ(frame->GetGestureMode(), IXGM_DRAG);
    EXPECT_EQ(Service(IXSVC_ISDRAGSOURCE, source), 1);
    EXPECT_EQ(Service(IXSVC_DRAGONSOURCE), 0);
    EXPECT_EQ(source->events.back(), (std::pair<int, LPARAM>{-5, 1}));
    EXPECT_TRUE(dragView->HasFlag(IXF_DISABLED)); // no drop target yet
    Move(450, 50);
    EXPECT_FALSE(dragView->HasFlag(IXF_DISABLED));
    RECT rc;
    dragView->GetRect(&rc);
    EXPECT_EQ(rc.left, 400); // moved with the pointer
    Up(450, 50);
    EXPECT_EQ(target->inputs, (std::vector<int>{23, 21, 20, 24}));
    EXPECT_EQ(source->inputs.back(), 25);
    EXPECT_EQ(Service(IXSVC_DRAGVIEW), 0); // the drag layer is gone
    EXPECT_EQ(Service(IXSVC_ISDRAGSOURCE, source), 0);
}

TEST_F(InputTest, DragLeaveHandlerMayDeleteTheElementUnderThePointer)
{
    auto* dragView = new Probe(90, RECT{0, 0, 40, 40});
    Probe* source = Add(new Probe(20, RECT{0, 0, 100, 100}, 4));
    Probe* doomed = Add(new Probe(21, RECT{400, 0, 500, 100}));
    bool armed = false;
    source->answers[19] = {3, [&] {
                               IxLayerRecord layer{dragView, nullptr};
                               Service(IXSVC_DRAGLAYER, &layer);
                           }};
    source->answers[23] = {1, nullptr};
    source->answers[21] = {1, nullptr};
    // Leaving the source deletes the element the pointer went to.
    source->answers[22] = {1, [&] {
                               if (armed && doomed) {
                                   delete doomed;
                                   doomed = nullptr;
                               }
                           }};
    Down(50, 50);
    Move(60, 50);
    ASSERT_EQ(frame->GetGestureMode(), IXGM_DRAG);
    armed = true;
    Move(450, 50);
    EXPECT_EQ(doomed, nullptr);
    EXPECT_TRUE(dragView->HasFlag(IXF_DISABLED)); // nothing to drop on
    Up(450, 50);
    EXPECT_EQ(source->inputs.back(), 27); // the drop was cancelled
    EXPECT_EQ(Service(IXSVC_DRAGVIEW), 0);
}

TEST_F(InputTest, DragWhoseOwnerTakesTheDragLayerEndsAsACancelledDropAndLeavesNothingBehind)
{
    auto* dragView = new Probe(90, RECT{0, 0, 40, 40});
    Probe* owner = Add(new Probe(30, RECT{700, 400, 800, 480}));
    Probe* source = Add(new Probe(20, RECT{0, 0, 100, 100}, 4));
    source->answers[19] = {3, [&] {
                               IxLayerRecord layer{dragView, owner};
                               Service(IXSVC_DRAGLAYER, &layer);
                           }};
    Down(50, 50);
    Move(60, 50);
    ASSERT_EQ(frame->GetGestureMode(), IXGM_DRAG);
    Service(IXSVC_REMOVEOWNED, owner);
    EXPECT_EQ(source->inputs.back(), 27);
    EXPECT_EQ(frame->GetGestureMode(), IXGM_NONE);
    EXPECT_EQ(Service(IXSVC_DRAGVIEW), 0);
    EXPECT_EQ(frame->GetState() & (IXFS_DRAGLAYER | IXFS_CAPTURE), 0u);
    EXPECT_EQ(GetCapture(), nullptr);
    Up(60, 50);
    // The next press keeps its own start threshold.
    frame->GestureConstants().nStartThreshold = 10;
    Probe* button = Add(new Probe(10, RECT{200, 200, 300, 300}));
    Down(250, 250);
    Move(255, 250);
    EXPECT_EQ(button->inputs, (std::vector<int>{0}));
    Up(255, 250);
}

// ---------------------------------------------------------------------------
// Strokes, scrolling and flings

class StrokeObserver : public IxPressObserver {
public:
    explicit StrokeObserver(std::vector<std::pair<int, int>>* seen) : seen(seen) {}
    BOOL AcceptStroke(int x, int y) override
    {
        seen->push_back({x, y});
        return TRUE;
    }
    std::vector<std::pair<int, int>>* seen;
};

TEST_F(InputTest, SwipeDirectionReachesThePressObservers)
{
    std::vector<std::pair<int, int>> seen;
    frame->GetKernel()->AddPressObserver(700, 5, new StrokeObserver(&seen));
    Listener listener(700);
    struct Case {
        int dx, dy, signX, signY;
    };
    for (const Case& c :
         {Case{-200, 0, -1, 0}, Case{200, 0, 1, 0}, Case{0, -150, 0, -1}, Case{30, 150, 1, 1}, Case{10, -15, 0, 0}}) {
        seen.clear();
        listener.heard.clear();
        Down(400, 240);
        Tick(50);
        Move(400 + c.dx / 2, 240 + c.dy / 2);
        Tick(50);
        Up(400 + c.dx, 240 + c.dy);
        if (c.signX == 0 && c.signY == 0) {
            EXPECT_TRUE(seen.empty()) << c.dx << "," << c.dy; // shorter than 20 px: no direction
            continue;
        }
        ASSERT_EQ(seen.size(), 1u) << c.dx << "," << c.dy;
        EXPECT_EQ((seen[0].first > 0) - (seen[0].first < 0), c.signX);
        EXPECT_EQ((seen[0].second > 0) - (seen[0].second < 0), c.signY);
        EXPECT_EQ(listener.heard, (std::vector<Listener::Heard>{{700, AEV_PRESS, 5}}));
    }
}

TEST_F(InputTest, DragScrollsThenFlingsWithTheSampledVelocity)
{
    Scroller* list = Add(new Scroller(RECT{0, 0, 200, 400}, 4000));
    Down(100, 300);
    for (int y : {280, 260, 240}) {
        Tick(20);
        Move(100, y);
    }
    EXPECT_EQ(list->scrolls, (std::vector<int>{-20, -20, -20}));
    EXPECT_EQ(frame->ScrollRecordOf(list)->offset[1], -60);
    EXPECT_EQ(Service(IXSVC_SCROLLRUNNING, list), 1); // being scrolled
    Up(100, 240);
    // 1 px per ms upward: velocity -100, speed 25 doubled to 50.
    EXPECT_EQ(list->velocity, -100);
    EXPECT_EQ(frame->GetGestureMode(), IXGM_NONE);
    EXPECT_EQ(Service(IXSVC_SCROLLRUNNING, list), 1);
    const IxScrollRecord* r = frame->ScrollRecordOf(list);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->speed[1], 50);
    // The way to the end is 4000 - 400 - 60 = 3540; the slowing phase takes
    // 237 of it, so the first step brings the rest to whole steps of 50.
    EXPECT_EQ(r->total[1], 3540);
    EXPECT_EQ(r->decayStart[1], 3303);
    Tick(20);
    Tick(20);
    EXPECT_EQ(list->steps, (std::vector<int>{-3, -50}));
}

TEST_F(InputTest, FlingStepsFrameByFrameAndSlowsDown)
{
    auto* list = Add(new Scroller(RECT{0, 0, 200, 400}, 4000));
    // Velocity -100 with speed 25 and a distance limit of 537: 300 px at 50
    // per step, then 237 px slowing by 6/7 per step.
    int values[9] = {0, 0, 0, 537, 0, -100, 0, 0, 0};
    frame->BeginBusy(); // the timer starts at the end of the bracket
    BeginGesture(list, RECT{0, 0, 200, 400}, RECT{0, 0, 200, 4000}, values);
    frame->EndBusy();
    EXPECT_EQ(list->velocity, -100);
    const std::vector<int> expected{-50, -50, -50, -50, -50, -50, -42, -36, -30, -25, -21,
                                    -18, -15, -12, -10, -8,  -6,  -5,  -4,  -3,  -2};
    Tick(19);
    EXPECT_TRUE(list->steps.empty());
    for (size_t i = 0; i < expected.size(); ++i) {
        Tick(20 - (i == 0 ? 19 : 0));
        ASSERT_EQ(list->steps.size(), i + 1);
        EXPECT_EQ(list->steps[i], expected[i]) << "step " << i;
    }
    EXPECT_EQ(list->ended, (std::vector<int>{33}));
    EXPECT_EQ(Service(IXSVC_SCROLLRUNNING, list), 0); // the record went with the end
    Tick(100);
    EXPECT_EQ(list->steps.size(), expected.size());
}

TEST_F(InputTest, PressDuringAFlingStopsItAndIgnoresTheRestOfTheStroke)
{
    for (int answer34 : {-1, 1}) { // the element's own stop, or the kernel's
        auto* list = Add(new Scroller(RECT{0, 0, 200, 400}, 4000));
        list->answer34 = answer34;
        int values[9] = {0, 0, 0, 0, 0, -100, 0, 0, 0};
        frame->BeginBusy();
        BeginGesture(list, RECT{0, 0, 200, 400}, RECT{0, 0, 200, 4000}, values);
        frame->EndBusy();
        Tick(20);
        ASSERT_EQ(list->steps.size(), 1u);
        Down(100, 100);
        Tick(20);
        Move(100, 50);
        Tick(20);
        Up(100, 50);
        Tick(100);
        EXPECT_EQ(list->steps.size(), 1u) << answer34;
        EXPECT_TRUE(list->scrolls.empty()) << answer34;
        EXPECT_EQ(frame->GetGestureMode(), IXGM_NONE);
        sheet->RemoveChild(list, FALSE);
    }
}

// ---------------------------------------------------------------------------
// Dropped input

TEST_F(InputTest, PressThatWaitedLongerThanTheBusyLimitIsDroppedAndLogged)
{
    Probe* button = Add(new Probe(10, RECT{0, 0, 200, 200}));
    frame->SetBusyLimit(300);
    platform::DebugCapture log;
    PostMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(50, 60));
    clock.Advance(301);
    Pump();
    EXPECT_TRUE(button->inputs.empty());
    EXPECT_TRUE(log.Contains("[BUSY] DoLButtonDown() : return by Busy, [50,60], at [100301]"));
    // One that waited exactly the limit is taken.
    PostMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(50, 60));
    clock.Advance(300);
    Pump();
    EXPECT_EQ(button->inputs, (std::vector<int>{0}));
    Up(50, 60);
}

TEST_F(InputTest, PressDuringAnUnpaintedScreenChangeIsDroppedAndLogged)
{
    Probe* first = Add(new Probe(10, RECT{0, 0, 200, 200}, 0));
    Probe* second = Add(new Probe(11, RECT{300, 0, 500, 200}));
    first->onPress = [&] { sheet->Redraw(); }; // the press changes the screen
    platform::DebugCapture log;
    PostMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(50, 50));
    DispatchOne(WM_LBUTTONDOWN);
    PostMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(350, 50));
    DispatchOne(WM_LBUTTONDOWN);
    EXPECT_TRUE(second->inputs.empty());
    EXPECT_TRUE(log.Contains("[BUSY] DoLButtonDown() : return by Block Mouse, [350,50]"));
    Pump(); // paints
    Down(350, 50);
    Up(350, 50);
    EXPECT_EQ(second->inputs, (std::vector<int>{0, 18}));
}

// ---------------------------------------------------------------------------
// Keys

TEST_F(InputTest, HardwareKeyShowsTheTopViewsButtonAndReportsPressAndRelease)
{
    Probe* button = Add(new Probe(700, RECT{600, 400, 700, 460}));
    Pump();
    Posted();
    frame->NotifyExtKey(1234, 700, TRUE, IXKEY_HELD);
    EXPECT_TRUE(button->HasFlag(IXF_PRESSED));
    EXPECT_EQ(frame->GetHeldKey(), 1234);
    frame->NotifyExtKey(1234, 700, TRUE, IXKEY_HELD); // repeats while held
    frame->NotifyExtKey(1234, 700, FALSE, IXKEY_HELD);
    EXPECT_FALSE(button->HasFlag(IXF_PRESSED));
    EXPECT_EQ(Posted(), (std::vector<std::pair<int, int>>{{1234, AEV_PRESS}, {1234, AEV_RELEASE}}));
    EXPECT_TRUE(button->inputs.empty()); // no touch input

    // Pressing another key while one is held releases the held one first;
    // a release of a key that is not held is ignored.
    frame->NotifyExtKey(1, 0, TRUE, IXKEY_HELD);
    frame->NotifyExtKey(2, 0, TRUE, IXKEY_HELD);
    frame->NotifyExtKey(1, 0, FALSE, IXKEY_HELD);
    EXPECT_EQ(Posted(),
              (std::vector<std::pair<int, int>>{{1, AEV_PRESS}, {1, AEV_RELEASE}, {2, AEV_PRESS}, {2, AEV_RELEASE}}));
    EXPECT_EQ(frame->GetHeldKey(), 0);
}

TEST_F(InputTest, HardwareKeyOfAButtonUnderAnotherScreenShowsNothing)
{
    Probe* button = Add(new Probe(700, RECT{600, 400, 700, 460}));
    auto* cover = new Sheet(101, RECT{0, 0, 800, 480});
    cover->SetFlags(IXF_HITCLIENT, 0);
    frame->PushLayer(cover, nullptr, IXLAYER_SCREEN);
    frame->NotifyExtKey(1234, 700, TRUE, 0);
    EXPECT_FALSE(button->HasFlag(IXF_PRESSED));
    EXPECT_EQ(Posted(), (std::vector<std::pair<int, int>>{{1234, AEV_PRESS}}));
}

TEST_F(InputTest, HardwareKeyDuringATouchOrAfterTheBusyLimitIsDroppedAndLogged)
{
    Add(new Probe(10, RECT{0, 0, 200, 200}));
    platform::DebugCapture log;
    Down(50, 50);
    frame->NotifyExtKey(5, 0, TRUE, 0);
    EXPECT_TRUE(log.Contains("[BUSY] NotifyExtKey() : return by Mouse, cmd=[5], fpress=[1]"));
    Up(50, 50);
    frame->GetKernel()->MapKey(VK_F1, 5);
    frame->SetBusyLimit(100);
    PostMessageW(hwnd, WM_KEYDOWN, VK_F1, 0);
    clock.Advance(101);
    DispatchOne(WM_KEYDOWN);
    EXPECT_TRUE(log.Contains("[BUSY] NotifyExtKey() : return by Busy, cmd=[5], fpress=[1]"));
    EXPECT_TRUE(Posted().empty());
}

TEST_F(InputTest, MappedKeysAreHardwareKeysAndNavigationKeysReachTheFocus)
{
    frame->GetKernel()->MapKey(VK_F1, 4321);
    Key(WM_KEYDOWN, VK_F1);
    Key(WM_KEYDOWN, VK_F1); // auto-repeat of the held key
    Key(WM_KEYUP, VK_F1);
    EXPECT_EQ(Posted(), (std::vector<std::pair<int, int>>{{4321, AEV_PRESS}, {4321, AEV_RELEASE}}));

    Probe* field = Add(new Probe(30, RECT{0, 0, 100, 50}));
    frame->SetFocus(field);
    for (UINT key : {VK_RIGHT, VK_LEFT, VK_HOME, VK_END, VK_DELETE, VK_BACK, VK_RETURN})
        Key(WM_KEYDOWN, key);
    Key(WM_IME_KEYDOWN, VK_RETURN);
    EXPECT_EQ(field->keys, (std::vector<int>{2, 3, 6, 7, 17, 18, 14, 20}));
}

TEST_F(InputTest, KeySequenceIsConsumedAndPostsItsView)
{
    static const UINT sequence[] = {VK_UP, VK_UP, VK_DOWN, 0};
    frame->GetKernel()->AddKeySequence(sequence, 888);
    Probe* field = Add(new Probe(30, RECT{0, 0, 100, 50}));
    frame->SetFocus(field);
    for (UINT key : {VK_UP, VK_DOWN, VK_UP, VK_UP, VK_DOWN})
        Key(WM_KEYDOWN, key);
    // The miss (Down after one Up) went on to the screen; the rest matched.
    EXPECT_EQ(field->keys, (std::vector<int>{5}));
    EXPECT_EQ(Posted(), (std::vector<std::pair<int, int>>{{888, AEV_PRESS}}));
}

// A text field: records the text records it takes.
class TextField : public IxElement {
public:
    explicit TextField(int id)
    {
        m_nId = id;
        SetRectNow(RECT{0, 0, 100, 30});
        SetFlags(0, IXF_PENDING);
    }
    int TakeTextInput(const IxTextInput* input) override
    {
        text.append(input->text, static_cast<size_t>(input->length));
        return 1;
    }
    void Draw(IxPaintRecord*) override {}
    std::u16string text;
};

TEST_F(InputTest, CharactersReachOnlyTheFocusedTextField)
{
    TextField* older = Add(new TextField(40));
    TextField* newer = Add(new TextField(41));
    IxKernel* k = frame->GetKernel();
    k->AddKeyReceiver(older);
    k->AddKeyReceiver(newer);
    k->AddKeyReceiver(older); // once only
    EXPECT_EQ(k->KeyReceivers().Count(), 2);
    frame->SetFocus(older);
    Key(WM_CHAR, 'a');
    EXPECT_EQ(older->text, u"a");
    EXPECT_EQ(newer->text, u"");
    // Without a focused receiver the newest enabled one takes the focus.
    frame->SetFocus(nullptr);
    newer->Enable(FALSE, 0);
    Key(WM_CHAR, 'b');
    EXPECT_EQ(older->text, u"ab");
    EXPECT_EQ(k->GetFocus(), older);
    newer->Enable(TRUE, 0);
    frame->SetFocus(nullptr);
    Key(WM_CHAR, 'c');
    EXPECT_EQ(newer->text, u"c");
    EXPECT_EQ(k->GetFocus(), newer);
}

// ---------------------------------------------------------------------------
// Access gestures

TEST_F(InputTest, AccessGestureMatchesItsTableAndSwallowsItsTouches)
{
    static const IxAccessRect table[] = {{0, 0, 50, 50}, {750, 0, 799, 50}, {0, 430, 50, 479}, {kIxAccessEnd, 0, 0, 0}};
    Probe* under = Add(new Probe(10, RECT{0, 0, 800, 480}, 0));
    frame->GetKernel()->AddAccessGesture(table, 777);
    Listener listener(777);
    auto touch = [&](int x, int y) {
        Down(x, y);
        Up(x, y);
    };
    touch(10, 10);
    touch(400, 240); // a miss: starts over and reaches the screen
    EXPECT_EQ(under->inputs, (std::vector<int>{0}));
    touch(10, 10);
    touch(799, 50); // edges are inside
    EXPECT_TRUE(listener.heard.empty());
    touch(20, 450);
    EXPECT_EQ(listener.heard, (std::vector<Listener::Heard>{{777, AEV_PRESS, 0}}));
    EXPECT_EQ(under->inputs, (std::vector<int>{0}));

    // A touch inside a visible top layer is never matched.
    auto* top = new Sheet(102, RECT{0, 0, 100, 100});
    frame->PushTopLayer(top, 1);
    touch(10, 10);
    EXPECT_EQ(frame->GetKernel()->AccessGestures()[0].nProgress, 0);
    frame->GetKernel()->RemoveAccessGesture(table);
    EXPECT_EQ(frame->GetKernel()->AccessGestures().Count(), 0);
}

// ---------------------------------------------------------------------------
// Services of the pointer engine

TEST_F(InputTest, ScrollServicesRegisterUpdateQueryAndRemove)
{
    auto* element = Add(new Scroller(RECT{0, 0, 200, 400}, 4000));
    IxGestureRecord g{element, 200, 400, 0, -30, 200, 4000, {0, 0, 0, 0, 0, 0, 0, 12}};
    EXPECT_EQ(Service(IXSVC_SCROLLRUNNING, element), 0); // no record
    EXPECT_EQ(Service(IXSVC_BEGINGESTURE, &g, 3), 1);
    const IxScrollRecord* r = frame->ScrollRecordOf(element);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->nMode, 3);
    EXPECT_EQ(r->offset[1], -30);
    EXPECT_EQ(r->content[1], 4000);
    EXPECT_EQ(r->speed[0], 25); // default
    EXPECT_EQ(r->speed[1], 12);
    g.values[IXGV_LIMITX] = 7;
    g.values[IXGV_LIMITY] = 9;
    EXPECT_EQ(Service(IXSVC_SCROLLLIMITS, &g), 1);
    EXPECT_EQ(frame->ScrollRecordOf(element)->limit[1], 9);
    EXPECT_EQ(Service(IXSVC_SCROLLRUNNING, element), 0); // registered, not moving
    // A velocity starts the fling; removal stops it.
    g.values[IXGV_VELOCITYY] = 1;
    Service(IXSVC_BEGINGESTURE, &g, 0);
    frame->SyncTimers();
    EXPECT_EQ(Service(IXSVC_SCROLLRUNNING, element), 1);
    EXPECT_EQ(Service(IXSVC_ENDGESTURE, element), 1);
    EXPECT_EQ(frame->ScrollRecordOf(element), nullptr);
    EXPECT_EQ(Service(IXSVC_SCROLLRUNNING, element), 0);
    Tick(100);
    EXPECT_TRUE(element->steps.empty());
    // Services 31 to 33 of an element without a record do nothing.
    EXPECT_EQ(Service(IXSVC_SCROLLLIMITS, &g), 1);
    EXPECT_EQ(Service(IXSVC_ENDGESTURE, element), 1);
}

} // namespace
