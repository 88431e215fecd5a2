// Element wrappers through the frame window on the manual clock: the
// notices a press wrapper reports, with their times, for each press
// pattern; the key-bound wrapper driven by hardware keys; the plain and the
// text-list wrappers.
#include "tests/common/FrameWindow.h"

#include "Lib_cpp/controls/ElementApi.h"
#include "Lib_cpp/controls/KeyPressWrapper.h"
#include "Lib_cpp/controls/PressWrapper.h"
#include "Lib_cpp/controls/TextListWrapper.h"
#include "platform/base/Clock.h"

#include <ostream>
#include <string>
#include <vector>

namespace {

using namespace frametest;

constexpr int kWrapperId = 40;
constexpr int kKeyWrapperId = 41;
constexpr int kFirstKey = 501;
constexpr int kSecondKey = 502;
constexpr int kThirdKey = 503;
constexpr UINT kFirstVk = VK_F1;
constexpr UINT kSecondVk = VK_F1 + 1;
constexpr UINT kThirdVk = VK_F1 + 2;

// The pressable content: press tracking over its whole area.
class Pad : public IxControl {
public:
    explicit Pad(RECT rc)
    {
        SetRectNow(rc);
        SetFlags(IXF_HITCLIENT, 0);
    }
    void Draw(IxPaintRecord*) override {}
};

// One notice as heard: its kind, value and ms since the script started.
struct Notice {
    int kind;
    LPARAM value;
    int at;
    bool operator==(const Notice&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Notice& n)
{
    return os << "{" << n.kind << ", " << n.value << ", " << n.at << "}";
}

// Hears every action of one id.
class Listener : public IxElement {
public:
    Listener(int id, const DWORD* start) : filter{IxActionWord(id, 0), 0}, start(start)
    {
        IxGetKernel()->AddListener(filter, this);
    }
    int ActionIsInvoked(int, int kind, LPARAM value) override
    {
        heard.push_back({kind, value, static_cast<int>(GetTickCount() - *start)});
        return 0;
    }
    void Draw(IxPaintRecord*) override {}
    DWORD filter[2];
    const DWORD* start;
    std::vector<Notice> heard;
};

// A step of a script: press, move and release at a point; wait; cancel
// (property 58); a key down or up.
struct Step {
    enum Op { Down, Move, Up, Wait, Cancel, KeyDown, KeyUp } op;
    int a = 0;
    int b = 0;
};

class PressWrapperTest : public FrameWindowTest {
protected:
    void SetUp() override
    {
        FrameWindowTest::SetUp();
        sheet = new Sheet(100, RECT{0, 0, 800, 480});
        ASSERT_TRUE(frame->PushLayer(sheet, nullptr, IXLAYER_SCREEN));
        Pump();
        frame->GetKernel()->MapKey(kFirstVk, kFirstKey);
        frame->GetKernel()->MapKey(kSecondVk, kSecondKey);
        frame->GetKernel()->MapKey(kThirdVk, kThirdKey);
    }
    void TearDown() override
    {
        ReleaseCapture();
        delete listener;
        FrameWindowTest::TearDown();
    }
    // A wrapper of a pad at {100, 100, 200, 160}, and a listener for it.
    IxPressWrapper* AddWrapper(int hold, int early, int repeat, int window)
    {
        auto* pad = new Pad(RECT{100, 100, 200, 160});
        pad->SetId(kWrapperId);
        auto* wrapper = new IxPressWrapper(pad, hold, early, repeat, window, nullptr, 0, 0);
        Add(wrapper);
        listener = new Listener(kWrapperId, &start);
        return wrapper;
    }
    IxKeyPressWrapper* AddKeyWrapper(int second, int third, int hold, int repeat, int window, DWORD flags = IXF_HIDDEN)
    {
        auto* wrapper = new IxKeyPressWrapper(kFirstKey, second, hold, repeat, window);
        wrapper->SetId(kKeyWrapperId);
        wrapper->SetThirdCode(third);
        wrapper->SetFlags(flags, 0);
        Add(wrapper);
        listener = new Listener(kKeyWrapperId, &start);
        return wrapper;
    }
    template <class T> T* Add(T* element)
    {
        sheet->AddChild(element);
        element->SetFlags(0, IXF_PENDING);
        return element;
    }
    void Post(UINT message, WPARAM wParam, LPARAM lParam)
    {
        PostMessageW(hwnd, message, wParam, lParam);
        Pump();
    }
    // Runs the script; waits go one ms at a time so that every timer fires
    // at its due time.
    std::vector<Notice> Run(IxElement* wrapper, const std::vector<Step>& script)
    {
        start = GetTickCount();
        for (const Step& s : script) {
            LPARAM point = MAKELPARAM(static_cast<WORD>(s.a), static_cast<WORD>(s.b));
            switch (s.op) {
            case Step::Down:
                Post(WM_LBUTTONDOWN, MK_LBUTTON, point);
                break;
            case Step::Move:
                Post(WM_MOUSEMOVE, MK_LBUTTON, point);
                break;
            case Step::Up:
                Post(WM_LBUTTONUP, 0, point);
                break;
            case Step::Wait:
                for (int i = 0; i < s.a; ++i) {
                    clock.Advance(1);
                    Pump();
                }
                break;
            case Step::Cancel: {
                IxBusyScope busy(frame);
                wrapper->SetProperty(IXP_CANCELGESTURE, 0);
                break;
            }
            case Step::KeyDown:
                Post(WM_KEYDOWN, static_cast<WPARAM>(s.a), 0);
                break;
            case Step::KeyUp:
                Post(WM_KEYUP, static_cast<WPARAM>(s.a), 0);
                break;
            }
        }
        return listener->heard;
    }

    platform::ManualClock clock{100000};
    Sheet* sheet = nullptr;
    Listener* listener = nullptr;
    DWORD start = 0;
};

Step PressAt(int x = 150, int y = 130)
{
    return {Step::Down, x, y};
}
Step MoveTo(int x, int y)
{
    return {Step::Move, x, y};
}
Step ReleaseAt(int x = 150, int y = 130)
{
    return {Step::Up, x, y};
}
Step Wait(int ms)
{
    return {Step::Wait, ms};
}
Step KeyDown(UINT vk)
{
    return {Step::KeyDown, static_cast<int>(vk)};
}
Step KeyUp(UINT vk)
{
    return {Step::KeyUp, static_cast<int>(vk)};
}
const Step kCancel{Step::Cancel};

// The content's own press notices are passed on with its value (0); the
// gesture's carry whether the pointer is over the content.
TEST_F(PressWrapperTest, EachPressPatternGivesItsNoticesAtTheirTimes)
{
    struct Case {
        const char* name;
        int hold, early, repeat, window;
        std::vector<Step> script;
        std::vector<Notice> expected;
    };
    const Case cases[] = {
        {"short press",
         800,
         0,
         0,
         0,
         {PressAt(), Wait(200), ReleaseAt()},
         {{4130, 0, 0}, {4108, 1, 0}, {4111, 1, 200}, {4112, 1, 200}}},
        {"hold",
         800,
         0,
         0,
         0,
         {PressAt(), Wait(1000), ReleaseAt()},
         {{4130, 0, 0}, {4108, 1, 0}, {4113, 1, 800}, {4116, 1, 1000}, {4117, 1, 1000}}},
        {"hold with repeats",
         800,
         0,
         150,
         0,
         {PressAt(), Wait(1200), ReleaseAt()},
         {{4130, 0, 0},
          {4108, 1, 0},
          {4113, 1, 800},
          {4115, 1, 950},
          {4115, 1, 1100},
          {4116, 1, 1200},
          {4117, 1, 1200}}},
        {"early repeats before the hold delay",
         800,
         0 + 300,
         0,
         0,
         {PressAt(), Wait(700), ReleaseAt()},
         {{4130, 0, 0}, {4108, 1, 0}, {4110, 1, 300}, {4110, 1, 600}, {4111, 1, 700}, {4112, 1, 700}}},
        {"repeat without hold delay",
         0,
         0,
         100,
         0,
         {PressAt(), Wait(250), ReleaseAt()},
         {{4130, 0, 0}, {4113, 1, 0}, {4115, 1, 100}, {4115, 1, 200}, {4116, 1, 250}, {4117, 1, 250}}},
        {"double press",
         800,
         0,
         0,
         300,
         {PressAt(), Wait(100), ReleaseAt(), Wait(100), PressAt(), Wait(100), ReleaseAt(), Wait(400)},
         {{4130, 0, 0}, {4108, 1, 0}, {4111, 1, 100}, {4130, 0, 200}, {4109, 1, 200}, {4111, 1, 300}, {4112, 1, 600}}},
        {"second press after a long press",
         800,
         0,
         150,
         300,
         {PressAt(), Wait(900), ReleaseAt(), Wait(100), PressAt(), Wait(100), ReleaseAt(), Wait(400)},
         {{4130, 0, 0},
          {4108, 1, 0},
          {4113, 1, 800},
          {4116, 1, 900},
          {4130, 0, 1000},
          {4114, 1, 1000},
          {4116, 1, 1100},
          {4117, 1, 1400}}},
        {"press then move out",
         800,
         0,
         0,
         0,
         {PressAt(), Wait(100), MoveTo(300, 300), Wait(100), ReleaseAt(300, 300)},
         {{4130, 0, 0}, {4108, 1, 0}, {4131, 0, 100}, {4134, 0, 200}, {4111, 0, 200}, {4112, 0, 200}}},
        {"out and back in",
         800,
         0,
         0,
         0,
         {PressAt(), MoveTo(300, 300), MoveTo(160, 130), Wait(100), ReleaseAt(160, 130)},
         {{4130, 0, 0}, {4108, 1, 0}, {4131, 0, 0}, {4132, 0, 0}, {4133, 0, 100}, {4111, 1, 100}, {4112, 1, 100}}},
        {"cancel while held",
         800,
         0,
         150,
         0,
         {PressAt(), Wait(900), kCancel, Wait(300), ReleaseAt(), Wait(500)},
         {{4130, 0, 0}, {4108, 1, 0}, {4113, 1, 800}, {4099, 0, 900}}},
        {"no intervals: a plain wrapper",
         0,
         0,
         0,
         300,
         {PressAt(), Wait(100), ReleaseAt()},
         {{4130, 0, 0}, {4096, 0, 100}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        IxPressWrapper* wrapper = AddWrapper(c.hold, c.early, c.repeat, c.window);
        EXPECT_EQ(Run(wrapper, c.script), c.expected);
        EXPECT_FALSE(wrapper->IsTracking());
        EXPECT_FALSE(wrapper->IsArmed());
        sheet->RemoveChild(wrapper, FALSE);
        delete listener;
        listener = nullptr;
    }
}

TEST_F(PressWrapperTest, DetachWhileHeldCancelsOnceAndForgetsThePress)
{
    IxPressWrapper* wrapper = AddWrapper(800, 0, 150, 0);
    Run(wrapper, {PressAt(), Wait(100)});
    ASSERT_TRUE(wrapper->IsTracking());
    {
        IxBusyScope busy(frame);
        wrapper->SetActive(FALSE, 0);
    }
    Run(wrapper, {Wait(1000), ReleaseAt()});
    EXPECT_EQ(listener->heard, (std::vector<Notice>{{4130, 0, 0}, {4108, 1, 0}, {4099, 0, 100}}));
    EXPECT_FALSE(wrapper->IsTracking());
}

TEST_F(PressWrapperTest, DisabledOrMarkedWrapperFollowsNoPress)
{
    for (DWORD flag : {IXF_DISABLED, IXF_MARKED}) {
        IxPressWrapper* wrapper = AddWrapper(800, 0, 0, 0);
        if (flag == IXF_DISABLED)
            wrapper->Enable(FALSE, 0);
        else
            wrapper->SetUnmarked(FALSE, 0);
        Run(wrapper, {PressAt(), Wait(1000), ReleaseAt()});
        EXPECT_TRUE(listener->heard.empty()) << flag;
        sheet->RemoveChild(wrapper, FALSE);
        delete listener;
        listener = nullptr;
    }
}

TEST_F(PressWrapperTest, WrapperStandsInForItsContent)
{
    auto* pad = new Pad(RECT{10, 20, 60, 50});
    pad->SetId(7);
    auto* wrapper = new IxElementWrapper(pad);
    EXPECT_EQ(wrapper->GetId(), 7);
    RECT rc;
    wrapper->GetRect(&rc);
    EXPECT_EQ(rc.left, 10);
    EXPECT_EQ(rc.bottom, 50);
    pad->GetRect(&rc);
    EXPECT_EQ(rc.left, 0);
    EXPECT_EQ(rc.right, 50);
    EXPECT_EQ(pad->GetId(), 0);
    Add(wrapper);
    EXPECT_TRUE(pad->HasFlag(IXF_ACTIVE));

    // State changes reach the content.
    struct Change {
        void (*apply)(IxElement*);
        DWORD flag;
    };
    const Change changes[] = {
        {[](IxElement* e) { e->Enable(FALSE, 0); }, IXF_DISABLED},
        {[](IxElement* e) { e->SetInputAllowed(FALSE, 0); }, IXF_NOINPUT},
        {[](IxElement* e) { e->SetSelected(TRUE, 0); }, IXF_SELECTED},
        {[](IxElement* e) { e->SetCurrent(TRUE, 0); }, IXF_CURRENT},
        {[](IxElement* e) { e->SetPressed(TRUE, 0); }, IXF_PRESSED},
        {[](IxElement* e) { e->SetUnmarked(FALSE, 0); }, IXF_MARKED},
        {[](IxElement* e) { e->Show(FALSE, FALSE); }, IXF_HIDDEN},
    };
    for (const Change& change : changes) {
        change.apply(wrapper);
        EXPECT_TRUE(pad->HasFlag(change.flag)) << change.flag;
    }
    wrapper->SetRect(10, 20, 0, 110, 70, 0, FALSE);
    pad->GetRect(&rc);
    EXPECT_EQ(rc.right, 100);
    EXPECT_EQ(rc.bottom, 50);

    // The search finds the wrapper by its id, and the content's subtree.
    EXPECT_EQ(sheet->FindElement(IXFIND_ID, 7, nullptr, sheet, nullptr), wrapper);
    EXPECT_EQ(wrapper->FindElement(IXFIND_ID, 0, nullptr, nullptr, wrapper), pad);
}

TEST_F(PressWrapperTest, PlainWrapperPostsTheContentsClickUnderItsOwnId)
{
    auto* pad = new Pad(RECT{100, 100, 200, 160});
    pad->SetId(kWrapperId);
    Add(new IxElementWrapper(pad));
    listener = new Listener(kWrapperId, &start);
    Run(nullptr, {PressAt(), ReleaseAt()});
    EXPECT_EQ(listener->heard, (std::vector<Notice>{{4130, 0, 0}, {4096, 0, 0}}));
}

TEST_F(PressWrapperTest, OverlayShowsPressedAndShiftedWhileHeld)
{
    auto* pad = new Pad(RECT{100, 100, 200, 160});
    pad->SetId(kWrapperId);
    auto* overlay = new Pad(RECT{5, 5, 25, 25});
    auto* wrapper = new IxPressWrapper(pad, 800, 0, 0, 0, overlay, 2, 3);
    Add(wrapper);
    listener = new Listener(kWrapperId, &start);
    RECT rc;
    Run(wrapper, {PressAt()});
    overlay->GetRect(&rc);
    EXPECT_TRUE(overlay->HasFlag(IXF_PRESSED));
    EXPECT_EQ(rc.left, 7);
    EXPECT_EQ(rc.top, 8);
    Run(wrapper, {MoveTo(400, 400)});
    overlay->GetRect(&rc);
    EXPECT_FALSE(overlay->HasFlag(IXF_PRESSED));
    EXPECT_EQ(rc.left, 5);
    Run(wrapper, {MoveTo(150, 130)});
    EXPECT_TRUE(overlay->HasFlag(IXF_PRESSED));
    Run(wrapper, {ReleaseAt()});
    overlay->GetRect(&rc);
    EXPECT_FALSE(overlay->HasFlag(IXF_PRESSED));
    EXPECT_EQ(rc.left, 5);
    EXPECT_EQ(rc.top, 5);

    // Disabled and enabled again, the overlay follows both ways.
    wrapper->Enable(FALSE, 0);
    EXPECT_TRUE(overlay->HasFlag(IXF_DISABLED));
    wrapper->Enable(TRUE, 0);
    EXPECT_FALSE(overlay->HasFlag(IXF_DISABLED));
}

TEST_F(PressWrapperTest, TextListWrapperHandsOutSharedStrings)
{
    IxStringArray strings;
    strings.AddText(u"FM");
    strings.AddText(u"AM");
    IxTextListWrapper wrapper(new Pad(RECT{0, 0, 10, 10}), &strings);
    IxStringArray out;
    EXPECT_EQ(wrapper.Query(IXQ_STRINGS, reinterpret_cast<LPARAM*>(&out)), 1);
    ASSERT_EQ(out.Count(), 2);
    EXPECT_EQ(std::u16string(out.TextAt(1)), u"AM");
    EXPECT_EQ(out.At(0).Data(), strings.At(0).Data()); // shared, not copied
    EXPECT_EQ(wrapper.Query(3, nullptr), -1);          // other queries: the content's
}

// ---------------------------------------------------------------------------
// The key-bound wrapper

TEST_F(PressWrapperTest, HardKeysDriveTheGestureOfTheKeyBoundWrapper)
{
    struct Case {
        const char* name;
        int second;
        std::vector<Step> script;
        std::vector<Notice> expected;
    };
    const Case cases[] = {
        {"one key, short",
         0,
         {KeyDown(kFirstVk), Wait(300), KeyUp(kFirstVk)},
         {{4130, 0, 0}, {4108, 1, 0}, {4133, 0, 300}, {4111, 1, 300}, {4112, 1, 300}}},
        {"one key, held",
         0,
         {KeyDown(kFirstVk), Wait(1000), KeyUp(kFirstVk)},
         {{4130, 0, 0},
          {4108, 1, 0},
          {4113, 1, 800},
          {4115, 1, 900},
          {4115, 1, 1000},
          {4133, 0, 1000},
          {4116, 1, 1000},
          {4117, 1, 1000}}},
        {"two keys: the second releases",
         kSecondKey,
         {KeyDown(kFirstVk), KeyUp(kFirstVk), Wait(850), KeyDown(kSecondVk), KeyUp(kSecondVk)},
         {{4130, 0, 0}, {4108, 1, 0}, {4113, 1, 800}, {4133, 0, 850}, {4116, 1, 850}, {4117, 1, 850}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        IxKeyPressWrapper* wrapper = AddKeyWrapper(c.second, 0, 800, 100, 0);
        EXPECT_TRUE(wrapper->IsSubscribed());
        EXPECT_EQ(Run(wrapper, c.script), c.expected);
        sheet->RemoveChild(wrapper, FALSE);
        delete listener;
        listener = nullptr;
    }
}

TEST_F(PressWrapperTest, HardKeysStepTheKeyBoundWrapperWithAThirdKey)
{
    struct Case {
        const char* name;
        std::vector<Step> script;
        std::vector<Notice> expected;
    };
    const Case cases[] = {
        {"three steps forward, then the time-out",
         {KeyDown(kFirstVk), KeyUp(kFirstVk), Wait(100), KeyDown(kFirstVk), KeyUp(kFirstVk), Wait(100),
          KeyDown(kFirstVk), KeyUp(kFirstVk), Wait(500)},
         {{4120, 0, 0}, {4122, 0, 0}, {4122, 0, 100}, {4122, 0, 200}, {4124, 0, 600}}},
        {"back, then stopped",
         {KeyDown(kSecondVk), KeyUp(kSecondVk), Wait(100), KeyDown(kThirdVk), KeyUp(kThirdVk), Wait(500)},
         {{4120, 0, 0}, {4121, 0, 0}, {4123, 0, 100}}},
        {"a series after the time-out begins anew",
         {KeyDown(kFirstVk), KeyUp(kFirstVk), Wait(450), KeyDown(kSecondVk), KeyUp(kSecondVk), Wait(400)},
         {{4120, 0, 0}, {4122, 0, 0}, {4124, 0, 400}, {4120, 0, 450}, {4121, 0, 450}, {4124, 0, 850}}},
        {"stop without a series", {KeyDown(kThirdVk), KeyUp(kThirdVk), Wait(500)}, {}},
        {"cancelled series",
         {KeyDown(kFirstVk), KeyUp(kFirstVk), Wait(100), kCancel, Wait(500)},
         {{4120, 0, 0}, {4122, 0, 0}, {4099, 0, 100}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        IxKeyPressWrapper* wrapper = AddKeyWrapper(kSecondKey, kThirdKey, 0, 0, 400);
        EXPECT_EQ(Run(wrapper, c.script), c.expected);
        sheet->RemoveChild(wrapper, FALSE);
        delete listener;
        listener = nullptr;
    }
}

TEST_F(PressWrapperTest, DisabledKeyWrapperNeitherListensNorActsUntilEnabled)
{
    IxKeyPressWrapper* wrapper = AddKeyWrapper(0, 0, 800, 0, 0, IXF_HIDDEN | IXF_DISABLED);
    EXPECT_FALSE(wrapper->IsSubscribed());
    EXPECT_EQ(frame->GetKernel()->FindSubscription(kFirstKey), nullptr);
    EXPECT_TRUE(Run(wrapper, {KeyDown(kFirstVk), Wait(100), KeyUp(kFirstVk)}).empty());

    wrapper->Enable(TRUE, 0);
    EXPECT_TRUE(wrapper->IsSubscribed());
    EXPECT_EQ(Run(wrapper, {KeyDown(kFirstVk), Wait(100), KeyUp(kFirstVk)}),
              (std::vector<Notice>{{4130, 0, 0}, {4108, 1, 0}, {4133, 0, 100}, {4111, 1, 100}, {4112, 1, 100}}));

    // Disabled while the key is held: the press is dropped for good.
    listener->heard.clear();
    Run(wrapper, {KeyDown(kFirstVk), Wait(100)});
    wrapper->Enable(FALSE, 0);
    EXPECT_FALSE(wrapper->IsSubscribed());
    {
        IxBusyScope busy(frame);
        wrapper->SetProperty(IXP_CANCELGESTURE, 0);
    }
    EXPECT_FALSE(wrapper->IsTracking());
    EXPECT_TRUE(wrapper->HasFlag(IXF_DISABLED));
    Run(wrapper, {KeyUp(kFirstVk), Wait(1000)});
    EXPECT_EQ(listener->heard, (std::vector<Notice>{{4130, 0, 0}, {4108, 1, 0}, {4099, 0, 100}, {4133, 0, 100}}));

    // Detached, it listens no more.
    sheet->RemoveChild(wrapper, FALSE);
    IxKernel* kernel = frame->GetKernel();
    IxSubscription* left = kernel->FindSubscription(kFirstKey);
    for (int i = 0; left && i < left->receivers.Count(); ++i)
        EXPECT_EQ(left->receivers[i], nullptr);
}

} // namespace
