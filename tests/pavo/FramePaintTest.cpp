#include "tests/common/FrameWindow.h"

#include "platform/base/Debug.h"

#include <utility>
#include <vector>

namespace {

using namespace frametest;
using FramePaintTest = FrameWindowTest;

TEST_F(FramePaintTest, LayersPaintBottomToTopOverTheFrame)
{
    EXPECT_EQ(At(400, 240), Px(kBlue)); // the frame's own background

    auto* sheet = new Sheet(10, RECT{0, 0, 800, 480});
    sheet->Add(11, RECT{100, 100, 300, 200}, kRed);
    sheet->Add(12, RECT{400, 100, 600, 200}, kGreen);
    ASSERT_TRUE(frame->PushLayer(sheet, nullptr, IXLAYER_SCREEN));
    Repaint();
    EXPECT_EQ(At(150, 150), Px(kRed));
    EXPECT_EQ(At(299, 199), Px(kRed));
    EXPECT_EQ(At(450, 150), Px(kGreen));

    // A popup over the right half of the red box.
    auto* popup = new Sheet(20, RECT{200, 50, 500, 150});
    popup->Add(21, RECT{0, 0, 300, 100}, kYellow);
    ASSERT_TRUE(frame->PushLayer(popup, nullptr, IXLAYER_POPUP));
    Repaint();
    EXPECT_EQ(At(250, 120), Px(kYellow));
    EXPECT_EQ(At(450, 120), Px(kYellow));
    EXPECT_EQ(At(150, 150), Px(kRed));
    EXPECT_EQ(At(250, 170), Px(kRed));
    EXPECT_EQ(At(450, 170), Px(kGreen));

    frame->PopLayer(20);
    Repaint();
    EXPECT_EQ(frame->Layers().Count(), 1);
    EXPECT_EQ(At(250, 120), Px(kRed));
    EXPECT_EQ(At(450, 120), Px(kGreen));
}

TEST_F(FramePaintTest, OpaqueOverlayPaintsOnlyTheTopLayer)
{
    auto* sheet = new Sheet(10, RECT{0, 0, 800, 480});
    ColorBox* under = sheet->Add(11, RECT{100, 100, 200, 200}, kRed);
    ASSERT_TRUE(frame->PushLayer(sheet, nullptr, IXLAYER_SCREEN));
    auto* overlay = new Sheet(20, RECT{0, 0, 800, 480});
    overlay->Add(21, RECT{300, 300, 400, 400}, kGreen);
    ASSERT_TRUE(frame->PushLayer(overlay, nullptr, IXLAYER_OVERLAY));
    Repaint();
    EXPECT_EQ(under->draws, 0);
    EXPECT_EQ(At(350, 350), Px(kGreen));
    // Neither the layer below nor the frame's background.
    EXPECT_NE(At(150, 150), Px(kRed));
    EXPECT_NE(At(150, 150), Px(kBlue));
}

TEST_F(FramePaintTest, InvalidationDuringPaintIsRecalledOnce)
{
    auto* sheet = new Sheet(10, RECT{0, 0, 800, 480});
    ColorBox* box = sheet->Add(11, RECT{100, 100, 200, 200}, kRed);
    ASSERT_TRUE(frame->PushLayer(sheet, nullptr, IXLAYER_SCREEN));
    Repaint();
    ASSERT_EQ(box->draws, 1);

    // The first draw changes its colour and asks for itself again.
    box->color = kGreen;
    box->onDraw = [&] {
        box->onDraw = nullptr;
        box->color = kYellow;
        RECT rc{100, 100, 200, 200};
        frame->Invalidate(0, &rc, box);
    };
    InvalidateRect(hwnd, nullptr, FALSE);
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, hwnd, 0, 0, PM_REMOVE));
    ASSERT_EQ(msg.message, WM_PAINT);
    DispatchMessageW(&msg);
    EXPECT_EQ(box->draws, 2);
    // Merged while painting: the window is clean and one recall is waiting.
    ASSERT_TRUE(PeekMessageW(&msg, hwnd, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, g_uIxRecall);
    EXPECT_EQ(msg.lParam, 3);
    DispatchMessageW(&msg);
    Pump();
    EXPECT_EQ(box->draws, 3);
    EXPECT_EQ(At(150, 150), Px(kYellow));
}

TEST_F(FramePaintTest, PaintLockValidatesWithoutDrawingAndUnlockRepaints)
{
    auto* sheet = new Sheet(10, RECT{0, 0, 800, 480});
    ColorBox* box = sheet->Add(11, RECT{100, 100, 200, 200}, kRed);
    ASSERT_TRUE(frame->PushLayer(sheet, nullptr, IXLAYER_SCREEN));
    Repaint();
    ASSERT_EQ(At(150, 150), Px(kRed));

    platform::DebugCapture log;
    frame->SetPaintLock(TRUE);
    frame->SetPaintLock(TRUE);
    box->color = kGreen;
    Repaint();
    EXPECT_EQ(box->draws, 1);
    EXPECT_EQ(At(150, 150), Px(kRed));
    RECT update;
    EXPECT_FALSE(GetUpdateRect(hwnd, &update, FALSE));

    frame->SetPaintLock(FALSE);
    frame->SetPaintLock(FALSE);
    Pump();
    EXPECT_EQ(box->draws, 2);
    EXPECT_EQ(At(150, 150), Px(kGreen));
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{"[KERNEL] Lock Paint", "[KERNEL] Unlock Paint"}));
}

TEST_F(FramePaintTest, ModalLoopEndsByItsServiceOrByQuit)
{
    auto* sheet = new Sheet(10, RECT{0, 0, 800, 480});
    ColorBox* box = sheet->Add(11, RECT{100, 100, 200, 200}, kRed);
    ASSERT_TRUE(frame->PushLayer(sheet, nullptr, IXLAYER_SCREEN));
    Pump();

    // Ended from a handler that runs inside the loop.
    box->onDraw = [&] {
        box->onDraw = nullptr;
        frame->EndModalLoop(7);
    };
    InvalidateRect(hwnd, nullptr, FALSE);
    frame->BeginBusy();
    EXPECT_EQ(frame->RunModalLoop(), 7);
    EXPECT_EQ(frame->GetBusyDepth(), 1);
    frame->EndBusy();
    EXPECT_FALSE(frame->IsModalRunning());

    // WM_QUIT ends the loop with -1 and is posted again for the outer loop.
    PostQuitMessage(0);
    EXPECT_EQ(frame->RunModalLoop(), -1);
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_QUIT);
}

} // namespace

namespace {

using namespace frametest;

// An application's frame: its creation step makes the hook and the first
// screen, which the frame shows as its page.
class StartHook : public IxKernelAppPlayer {
public:
    void SetState(int state, LPARAM param) override
    {
        states.push_back({state, param});
        IxKernelAppPlayer::SetState(state, param);
    }
    void OnFrameStarted() override { ++started; }
    std::vector<std::pair<int, LPARAM>> states;
    int started = 0;
};

class AppFrame : public IxKernelFrame {
public:
    using IxKernelFrame::IxKernelFrame;
    IxElement* Created() override
    {
        hook = new StartHook;
        SetHook(hook);
        first = new Sheet(30, RECT{0, 0, 800, 480});
        first->Add(31, RECT{10, 10, 110, 110}, kGreen);
        return first;
    }
    StartHook* hook = nullptr;
    Sheet* first = nullptr;
};

class AppWindow : public IxFrameWnd {
protected:
    IxKernelFrame* NewKernelFrame(HINSTANCE instance) override
    {
        return new AppFrame(instance, this, g_uIxNotifyAction, g_uIxRecall, g_uIxFromExternal);
    }
};

TEST(FrameCreation, TheCreationStepGivesTheHookAndTheFirstPage)
{
    AppWindow* window = OpenFrameWindow<AppWindow>(u"FrameCreationClass");
    ASSERT_NE(window, nullptr);
    auto* frame = static_cast<AppFrame*>(window->GetKernelFrame());
    ASSERT_NE(frame->hook, nullptr);
    EXPECT_EQ(frame->GetActivePage(), frame->first);
    EXPECT_TRUE(frame->first->HasFlag(IXF_ACTIVE));
    using S = std::pair<int, LPARAM>;
    EXPECT_EQ(frame->hook->states, (std::vector<S>{{1, 0}, {2, reinterpret_cast<LPARAM>(frame->first)}}));
    EXPECT_EQ(frame->hook->started, 0); // told by a recall, once the window exists

    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&msg);
    EXPECT_EQ(frame->hook->started, 1);
    UpdateWindow(window->GetHandle());
    EXPECT_EQ(platform::Screen::Get().Pixel(50, 50), Px(kGreen));

    HWND hwnd = window->GetHandle();
    DestroyWindow(hwnd);
    delete window;
    CloseFrameWindow(hwnd, u"FrameCreationClass");
}

} // namespace
