// A frame window test whose elements stand on one screen view (id 100, the
// whole screen, made on first use and pushed by the test), with a listener
// on the actions of the element id under test.
#pragma once

#include "tests/common/ActionListener.h"
#include "tests/common/FrameWindow.h"

namespace frametest {

class ScreenLayerTest : public FrameWindowTest {
protected:
    explicit ScreenLayerTest(int listenedId) : m_nListenedId(listenedId) {}
    void SetUp() override
    {
        FrameWindowTest::SetUp();
        listener = new ActionListener(m_nListenedId);
    }
    void TearDown() override
    {
        if (screen && !frame->IsLayerShown(kScreenId))
            delete screen;
        ReleaseCapture();
        IxGetKernel()->RemoveListener(listener->filter, listener);
        delete listener;
        FrameWindowTest::TearDown();
    }
    Sheet* Screen()
    {
        if (!screen)
            screen = new Sheet(kScreenId, RECT{0, 0, 800, 480});
        return screen;
    }

    static constexpr int kScreenId = 100;
    Sheet* screen = nullptr;
    ActionListener* listener = nullptr;

private:
    int m_nListenedId;
};

} // namespace frametest
