// Child-window views over a real main window: the pop-up window a view owns
// while attached, where it lies on the composed screen, the input it hands
// back to the framework, its paint, and the auto-hide view.
#include "tests/common/FrameWindow.h"
#include "tests/common/Screenshot.h"

#include "Lib_cpp/controls/AutoHideWindowView.h"
#include "Lib_cpp/controls/ChildWindowView.h"
#include "Lib_cpp/core/App.h"
#include "platform/base/Clock.h"
#include "platform/gfx/Screen.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace frametest;

constexpr LPCWSTR kClass = u"ChildWindowViewTestClass";
constexpr COLORREF kKey = RGB(0xF8, 0x00, 0xF8);

class TestApp : public IxApp {
public:
    TestApp() : IxApp(kClass) {}
    HWND InitInstance() override { return nullptr; }
};

// A pressable element that records its input with the point it got.
class Spot : public IxControl {
public:
    Spot(int id, RECT rc)
    {
        m_nId = id;
        SetRectNow(rc);
        SetFlags(IXF_HITCLIENT, IXF_PENDING);
    }
    int OnInput(int code, LPARAM data) override
    {
        inputs.push_back(code);
        if (code == IXIN_DOWN)
            pressedAt = *reinterpret_cast<const POINT*>(data);
        return IxControl::OnInput(code, data);
    }
    void Draw(IxPaintRecord*) override {}
    std::vector<int> inputs;
    POINT pressedAt{-1, -1};
};

template <class V> V* MakeView(V* view, int id, RECT rc)
{
    view->SetId(id);
    view->SetRectNow(rc);
    view->SetFlags(0, IXF_PENDING);
    return view;
}

class ChildWindowViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The application makes the frame window its main window: the
        // child windows take its class and hand their messages to it.
        window = OpenFrameWindow(kClass);
        ASSERT_NE(window, nullptr);
        hwnd = window->GetHandle();
        ASSERT_EQ(IxMainWindow(), hwnd);
        frame = window->GetKernelFrame();
        frame->SetBackgroundColor(kBlue);
        Repaint();
    }
    void TearDown() override
    {
        ReleaseCapture();
        // The main window's object goes with the window.
        CloseFrameWindow(hwnd, kClass);
        platform::Screen::Get().RemoveVideoPlane(0);
    }
    void Pump()
    {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
    }
    void Repaint()
    {
        InvalidateRect(hwnd, nullptr, FALSE);
        Pump();
    }
    void Tick(int ms)
    {
        clock.Advance(static_cast<std::uint64_t>(ms));
        Pump();
    }
    void Touch(int kind, int x, int y)
    {
        EXPECT_TRUE(platform::DeliverPointer(kind, x, y));
        Pump();
    }
    // Pushes the view as a top layer and paints.
    template <class V> V* Push(V* view)
    {
        EXPECT_TRUE(frame->PushTopLayer(view, 1));
        Pump();
        return view;
    }

    platform::ManualClock clock{100000};
    TestApp app;
    IxFrameWnd* window = nullptr;
    HWND hwnd = nullptr;
    IxKernelFrame* frame = nullptr;
};

TEST_F(ChildWindowViewTest, AttachedViewOwnsATopmostWindowAboveTheMainWindow)
{
    auto* view = Push(MakeView(new IxChildWindowView, 500, RECT{100, 50, 400, 250}));
    HWND child = view->GetChildWindow();
    ASSERT_NE(child, nullptr);
    EXPECT_TRUE(IsWindowVisible(child));
    RECT rc;
    GetWindowRect(child, &rc);
    EXPECT_EQ(rc.left, 100);
    EXPECT_EQ(rc.top, 50);
    EXPECT_EQ(rc.right, 400);
    EXPECT_EQ(rc.bottom, 250);
    LONG_PTR ex = GetWindowLongW(child, GWL_EXSTYLE);
    EXPECT_EQ(ex & (WS_EX_TOPMOST | WS_EX_NOACTIVATE), static_cast<LONG_PTR>(WS_EX_TOPMOST | WS_EX_NOACTIVATE));
    WCHAR name[64];
    GetClassNameW(child, name, 64);
    EXPECT_EQ(std::u16string(name), kClass);
    EXPECT_EQ(GetParent(child), hwnd); // owned by the main window
    LPARAM handle = 0;
    EXPECT_EQ(view->Query(IXQ_WINDOW, &handle), 1);
    EXPECT_EQ(reinterpret_cast<HWND>(handle), child);
    EXPECT_NE(GetForegroundWindow(), child);

    // It lies above the main window where it stands, and only there.
    EXPECT_EQ(WindowFromPoint(POINT{150, 100}), child);
    EXPECT_EQ(WindowFromPoint(POINT{50, 20}), hwnd);

    // Its repaints go to its own window, not to the main window.
    Pump();
    view->Redraw();
    RECT update;
    EXPECT_TRUE(GetUpdateRect(child, &update, FALSE));
    EXPECT_FALSE(GetUpdateRect(hwnd, &update, FALSE));

    // Hidden and shown with the view.
    view->Show(FALSE, TRUE);
    EXPECT_FALSE(IsWindowVisible(child));
    view->Show(TRUE, TRUE);
    EXPECT_TRUE(IsWindowVisible(child));

    // Moved with the view.
    view->SetRect(120, 60, 0, 420, 260, 0, TRUE);
    GetWindowRect(child, &rc);
    EXPECT_EQ(rc.left, 120);
    EXPECT_EQ(rc.bottom, 260);

    // Detaching destroys the window.
    frame->PopLayer(500);
    Pump();
    EXPECT_FALSE(IsWindow(child));
    EXPECT_EQ(WindowFromPoint(POINT{150, 100}), hwnd);
}

TEST_F(ChildWindowViewTest, TapOnTheWindowReachesTheRightChildWithTheOffsetsApplied)
{
    auto* view = MakeView(new IxChildWindowView, 500, RECT{100, 50, 400, 250});
    auto* left = new Spot(1, RECT{5, 10, 100, 100});
    auto* right = new Spot(2, RECT{150, 10, 250, 100});
    view->AddChild(left);
    view->AddChild(right);
    Push(view);
    HWND child = view->GetChildWindow();
    ASSERT_NE(child, nullptr);

    // Screen (110, 70) is (10, 20) in the window: the main window gets
    // (110, 70), the view (10, 20), the element (5, 10).
    Touch(platform::kPointerDown, 110, 70);
    EXPECT_EQ(frame->GetPointerPos().x, 110);
    EXPECT_EQ(frame->GetPointerPos().y, 70);
    EXPECT_EQ(left->pressedAt.x, 5);
    EXPECT_EQ(left->pressedAt.y, 10);
    EXPECT_EQ(GetCapture(), child); // the press is followed through the window
    Touch(platform::kPointerUp, 110, 70);
    EXPECT_EQ(left->inputs, (std::vector<int>{IXIN_DOWN, IXIN_TAP}));
    EXPECT_TRUE(right->inputs.empty());

    Touch(platform::kPointerDown, 300, 100);
    Touch(platform::kPointerUp, 300, 100);
    EXPECT_EQ(right->pressedAt.x, 50);
    EXPECT_EQ(right->pressedAt.y, 40);
    EXPECT_EQ(left->inputs.size(), 2u);
    // The window never takes the activation.
    EXPECT_NE(GetForegroundWindow(), child);
}

TEST_F(ChildWindowViewTest, OnlyAClickActivationRestacksTheLayersWindows)
{
    auto* view = Push(MakeView(new IxChildWindowView, 500, RECT{100, 50, 400, 250}));
    HWND child = view->GetChildWindow();
    // Another topmost window comes in front of it.
    HWND other = CreateWindowExW(WS_EX_TOPMOST, kClass, u"", WS_POPUP | WS_VISIBLE, 0, 0, 800, 480, nullptr, nullptr,
                                 nullptr, nullptr);
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(WindowFromPoint(POINT{150, 100}), other);
    SendMessageW(child, WM_ACTIVATE, WA_ACTIVE, 0);
    EXPECT_EQ(WindowFromPoint(POINT{150, 100}), other);
    SendMessageW(child, WM_ACTIVATE, WA_CLICKACTIVE, 0);
    EXPECT_EQ(WindowFromPoint(POINT{150, 100}), child);
    DestroyWindow(other);
}

// A video-plane test pattern: eight vertical bars and a diagonal stripe.
void ShowTestPattern()
{
    static const std::uint16_t bars[8] = {0xFFFF, 0xFFE0, 0x07FF, 0x07E0, 0xF81E, 0xF800, 0x001F, 0x0000};
    std::vector<std::uint16_t> pixels(800 * 480);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 800; ++x)
            pixels[static_cast<std::size_t>(y) * 800 + x] = ((x - y + 480) / 8) % 6 == 0 ? 0x8410 : bars[x / 100];
    ASSERT_TRUE(platform::Screen::Get().SetVideoPlane(0, RECT{0, 0, 800, 480}, pixels.data(), 800));
}

TEST_F(ChildWindowViewTest, ScreenshotOverAVideoPlane)
{
    ShowTestPattern();
    // The screen lets the plane show through a colour-key area.
    auto* screen = new Sheet(100, RECT{0, 0, 800, 480});
    screen->Add(5, RECT{0, 0, 800, 480}, kBlue);
    screen->Add(1, RECT{40, 40, 760, 440}, kKey);
    ASSERT_TRUE(frame->PushLayer(screen, nullptr, IXLAYER_SCREEN));
    // The child-window view above it, with a colour-key hole of its own.
    auto* view = MakeView(new IxChildWindowView, 500, RECT{200, 120, 600, 360});
    auto* panel = new ColorBox(2, RECT{0, 0, 400, 240}, kYellow);
    view->AddChild(panel);
    view->AddChild(new ColorBox(3, RECT{20, 20, 120, 60}, kGreen));
    view->AddChild(new ColorBox(4, RECT{150, 80, 250, 160}, kKey));
    Push(view);
    Repaint();
    EXPECT_GT(panel->draws, 0);
    EXPECT_TRUE(screenshot::ScreenMatchesReference());

    // Detached: the main window paints what the window covered.
    frame->PopLayer(500);
    Pump();
    EXPECT_TRUE(screenshot::ScreenMatchesReference("Detached"));
}

TEST_F(ChildWindowViewTest, AutoHideViewHidesAfterItsTime)
{
    auto* view = Push(MakeView(new IxAutoHideWindowView(5000, FALSE), 600, RECT{100, 50, 400, 250}));
    HWND child = view->GetChildWindow();
    ASSERT_NE(child, nullptr);
    Tick(4999);
    EXPECT_NE(frame->IsLayerShown(600), nullptr);
    EXPECT_TRUE(IsWindowVisible(child));
    Tick(1);
    EXPECT_EQ(frame->IsLayerShown(600), nullptr);
    EXPECT_FALSE(IsWindow(child));
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(ChildWindowViewTest, AutoHideViewHidesOnAPressOutsideItsChildren)
{
    auto* view = MakeView(new IxAutoHideWindowView(0, TRUE), 600, RECT{100, 50, 400, 250});
    auto* spot = new Spot(1, RECT{10, 10, 60, 60});
    view->AddChild(spot);
    Push(view);
    HWND child = view->GetChildWindow();
    ASSERT_NE(child, nullptr);
    // Once painted the view holds the pointer through its window.
    EXPECT_EQ(GetCapture(), child);

    // A press on a child is the child's.
    Touch(platform::kPointerDown, 130, 80);
    Touch(platform::kPointerUp, 130, 80);
    EXPECT_EQ(spot->inputs, (std::vector<int>{IXIN_DOWN, IXIN_TAP}));
    EXPECT_NE(frame->IsLayerShown(600), nullptr);

    // Anywhere else on the view, it hides.
    Touch(platform::kPointerDown, 300, 200);
    EXPECT_EQ(frame->IsLayerShown(600), nullptr);
    EXPECT_FALSE(IsWindow(child));
    Touch(platform::kPointerUp, 300, 200);
}

} // namespace

namespace {

// Records the requests it is given.
class RequestedView : public IxListeningAutoHideView {
public:
    RequestedView() : IxListeningAutoHideView(5000, FALSE) {}
    std::vector<std::pair<LPARAM, int>> requests;

protected:
    void OnRequest(LPARAM value, int kind) override { requests.push_back({value, kind}); }
};

TEST_F(ChildWindowViewTest, ListeningAutoHideViewIsKeptUpByItsRequests)
{
    auto* view = Push(MakeView(new RequestedView, 600, RECT{100, 50, 400, 250}));
    auto queue = [&](int kind, LPARAM value) {
        {
            IxBusyScope busy(frame);
            PushGlobalAction(IXA_AUTOHIDEREQUEST, kind, value);
        }
        Pump();
    };
    Tick(4000);
    queue(IXAH_REQUESTFIRST, 9); // the hide time starts again
    Tick(4000);
    queue(AEV_DEFAULT, 1); // another kind: taken, changes nothing
    queue(IXAH_REQUESTSECOND, 3);
    EXPECT_EQ(view->requests, (std::vector<std::pair<LPARAM, int>>{{9, IXAH_REQUESTFIRST}, {3, IXAH_REQUESTSECOND}}));
    Tick(4999);
    EXPECT_NE(frame->IsLayerShown(600), nullptr);
    Tick(1);
    EXPECT_EQ(frame->IsLayerShown(600), nullptr);
    // Gone with its layer, and no longer listening.
    for (int i = 0; i < frame->GetKernel()->Listeners().Count(); ++i)
        EXPECT_NE(frame->GetKernel()->Listeners()[i].pReceiver, static_cast<IxReceiver*>(view));
}

} // namespace
