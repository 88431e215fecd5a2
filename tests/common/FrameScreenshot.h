// Screenshots of element trees painted by the kernel frame: a frame window
// over the whole screen (FrameWindowTest) that shows a tree as a layer,
// paints it and takes the screen for an exact comparison with its reference.
//
//     TEST_F(MyViewScreenshot, Idle)
//     {
//         EXPECT_TRUE(screenshot::MatchesReference(Render(new MyView(...))));
//     }
//
// or, after the test drove the frame itself:
//
//     Repaint();
//     EXPECT_TRUE(screenshot::ScreenMatchesReference("AfterTap"));
#pragma once

#include "tests/common/FrameWindow.h"
#include "tests/common/Screenshot.h"

namespace frametest {

class FrameScreenshotTest : public FrameWindowTest {
protected:
    // Shows root as a layer of the frame (which owns it from here on),
    // paints everything pending and takes the screen as shown. On a refused
    // layer the test fails, root is deleted and the image is empty.
    screenshot::Image Render(IxElement* root, int priority = IXLAYER_SCREEN)
    {
        if (!frame->PushLayer(root, nullptr, priority)) {
            ADD_FAILURE() << "the frame refused the layer";
            delete root;
            return {};
        }
        return Capture();
    }
    // Paints the whole window again and takes the screen as shown.
    screenshot::Image Capture()
    {
        Repaint();
        return screenshot::CaptureScreen();
    }
};

} // namespace frametest
