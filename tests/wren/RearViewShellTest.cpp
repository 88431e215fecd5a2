// The rear view in the running shell: the unit's main window with its
// kernel frame and CKernelObj on the simulated board, driven the way the
// board console drives it ("reverse on", "reverse off"). The gear's message
// makes the camera present; the device table mounts it one settle interval
// (500 ms) later, and the drain that follows brings the rear-view screen up
// as the top layer. The gear out takes it away again at once, with the
// screen before it back.
#include "Lib_cpp/frame/KernelFrame.h"
#include "Source/models/UnitLink.h"
#include "Source/screens/settings/RearViewSheet.h"
#include "Source/shell/KernelObj.h"
#include "Source/shell/MainWnd.h"
#include "Source/shell/ShellIds.h"
#include "platform/base/Clock.h"
#include "platform/gfx/Screen.h"
#include "sim/Board.h"
#include "tests/common/FrameWindow.h"
#include "tests/common/TempUnit.h"
#include "tests/wren/ShellStandIn.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

namespace {

constexpr int kCameraView = 5401;
constexpr int kSettleMs = 500; // the camera's row of the device table

using shellstandin::ShellApp;
using shellstandin::ShellWnd;

constexpr const WCHAR* kClass = u"RearViewShellClass";

class RearViewShell : public ::testing::Test {
protected:
    void SetUp() override
    {
        clock.SetSleepAdvances(true);
        ASSERT_TRUE(unit.IsOpen());
        std::filesystem::copy(std::filesystem::path(WREN_ASSETS_UNIT) / "NAND", unit.Host("NAND"),
                              std::filesystem::copy_options::recursive);
        GetUnitLink().ResetStates();
        board = std::make_unique<sim::CBoard>();
        window = frametest::OpenFrameWindow<ShellWnd>(kClass);
        ASSERT_NE(window, nullptr);
        hwnd = window->GetHandle();
        frame = window->GetKernelFrame();
        ASSERT_NE(frame, nullptr);
        // The intro runs to its end and the unit runs.
        Run(8000);
        core = CKernelObj::GetInstance();
        ASSERT_NE(core, nullptr);
        ASSERT_EQ(core->GetMode(), VCMODE_RUN);
    }
    void TearDown() override
    {
        frametest::CloseFrameWindow(hwnd, kClass);
        GetUnitLink().CloseDevices();
        GetUnitLink().ResetStates();
        board.reset();
        CRearViewSheet::Restore();
    }
    void Pump()
    {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
    }
    // Lets the unit run for a while, 50 ms at a time.
    void Run(int ms)
    {
        for (int done = 0; done <= ms; done += 50) {
            Pump();
            clock.Advance(50);
        }
    }
    // The board's message handled, then one drain of the kernel's queue.
    void Gear(const char* state)
    {
        ASSERT_EQ(board->Run({"reverse", state}), "OK");
        Pump();
        Drain();
    }
    void Drain()
    {
        IxBusyScope busy(frame);
        frame->DrainEventQueue();
    }
    // The manual clock moved on to the end of the camera's settle interval;
    // the timers' messages handled, then one drain.
    void Settle(int ms)
    {
        clock.Advance(static_cast<std::uint64_t>(ms));
        Pump();
        Drain();
    }
    IxElement* TopLayer() const
    {
        const IxArray<IxLayerEntry>& layers = frame->Layers();
        return layers.Count() > 0 ? layers[layers.Count() - 1].pView : nullptr;
    }

    platform::ManualClock clock;
    TempUnit unit{"wren-rearshell"};
    ShellApp app;
    std::unique_ptr<sim::CBoard> board;
    CMainWnd* window = nullptr;
    HWND hwnd = nullptr;
    IxKernelFrame* frame = nullptr;
    CKernelObj* core = nullptr;
};

TEST_F(RearViewShell, ReverseGearBringsTheRearViewUpAndTakesItAway)
{
    const int before = core->GetActiveView();
    const IxElement* beforeTop = TopLayer();
    // Twice: the second camera view is painted whole as well.
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        Gear("on");
        Settle(kSettleMs - 10);
        EXPECT_EQ(frame->IsLayerShown(kCameraView), nullptr);
        Settle(10);
        IxElement* top = TopLayer();
        ASSERT_NE(top, nullptr);
        EXPECT_EQ(top->GetId(), kCameraView);
        EXPECT_NE(dynamic_cast<CRearViewSheet*>(top), nullptr);
        EXPECT_EQ(core->GetCameraView(), kCameraView);
        // Painted through its own window: the caption over the colour key,
        // through which the camera's picture shows.
        Pump();
        EXPECT_TRUE(platform::Screen::Get().HasVideoPlane(sim::CBoard::kCameraPlane));
        const std::uint16_t picture = platform::Screen::Get().Pixel(400, 300);
        EXPECT_NE(picture, platform::kColorKey565);
        const std::uint16_t caption = platform::Screen::Get().Pixel(135, 23);
        EXPECT_NE(caption, platform::kColorKey565);
        EXPECT_NE(caption, picture);

        Gear("off");
        EXPECT_FALSE(platform::Screen::Get().HasVideoPlane(sim::CBoard::kCameraPlane));
        EXPECT_EQ(frame->IsLayerShown(kCameraView), nullptr);
        EXPECT_EQ(core->GetCameraView(), 0);
        EXPECT_EQ(core->GetActiveView(), before);
        EXPECT_EQ(TopLayer(), beforeTop);
        CRearViewSheet::Leave(); // no navigation program: its restoration waits
    }
}

TEST_F(RearViewShell, ExternalNoticeFinishesAPendingRestoration)
{
    Gear("on");
    Settle(kSettleMs);
    ASSERT_NE(frame->IsLayerShown(kCameraView), nullptr);
    Gear("off");
    // No navigation program: the restoration waits for its window.
    ASSERT_TRUE(CRearViewSheet::IsActive());
    ASSERT_EQ(core->GetCenter().GetHideVideoCount(), 1);
    SendMessageW(hwnd, g_uIxNotifyAction, static_cast<WPARAM>(IXA_WINDOWNOTICE | IXNOTICE_EXTERNAL << 16), 0);
    EXPECT_FALSE(CRearViewSheet::IsActive());
    EXPECT_EQ(core->GetCenter().GetHideVideoCount(), 0);
}

} // namespace
