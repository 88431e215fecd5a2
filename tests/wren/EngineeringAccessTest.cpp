// The engineering screen's access gesture: its six corner touches, matched by
// the kernel, post the engineering screen's view id.
#include "tests/common/FrameWindow.h"

#include "Source/screens/settings/EngineeringAccess.h"

#include <vector>

namespace {

using namespace frametest;

class ViewRequests : public IxElement {
public:
    ViewRequests() { IxGetKernel()->AddListener(filter, this); }
    int ActionIsInvoked(int code, int kind, LPARAM) override
    {
        heard.push_back({code, kind});
        return 0;
    }
    void Draw(IxPaintRecord*) override {}
    const DWORD filter[2] = {IxActionWord(kEngineeringModeViewId, AEV_PRESS), 0};
    std::vector<std::pair<int, int>> heard;
};

class EngineeringAccessTest : public FrameWindowTest {
protected:
    void Touch(POINT p)
    {
        LPARAM at = MAKELPARAM(static_cast<WORD>(p.x), static_cast<WORD>(p.y));
        PostMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, at);
        PostMessageW(hwnd, WM_LBUTTONUP, 0, at);
        Pump();
    }
};

TEST_F(EngineeringAccessTest, SixCornerTouchesOpenTheEngineeringScreen)
{
    ViewRequests requests;
    ASSERT_TRUE(RegisterEngineeringAccessGesture());
    const std::vector<POINT> corners{{5, 5}, {795, 5}, {795, 475}, {5, 475}, {5, 5}, {795, 475}};
    for (size_t i = 0; i + 1 < corners.size(); ++i)
        Touch(corners[i]);
    EXPECT_TRUE(requests.heard.empty());
    Touch(corners.back());
    EXPECT_EQ(requests.heard, (std::vector<std::pair<int, int>>{{kEngineeringModeViewId, AEV_PRESS}}));

    // Out of order: the sequence starts over.
    for (POINT p : {corners[0], corners[2], corners[1], corners[2], corners[3], corners[4], corners[5]})
        Touch(p);
    EXPECT_EQ(requests.heard.size(), 1u);

    RemoveEngineeringAccessGesture();
    EXPECT_EQ(IxGetKernel()->AccessGestures().Count(), 0);
}

} // namespace
