#include "Lib_cpp/frame/LayerStack.h"

#include "Lib_cpp/controls/Element.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class Plain : public IxElement {
public:
    explicit Plain(int id) { SetId(id); }
    void Draw(IxPaintRecord*) override {}
};

std::vector<int> Ids(const IxLayerStack& stack)
{
    std::vector<int> ids;
    for (int i = 0; i < stack.Count(); ++i)
        ids.push_back(stack[i].pView->GetId());
    return ids;
}

} // namespace

TEST(LayerStack, OrdersByMagnitudeWithLaterPushesOfEqualMagnitudeOnTop)
{
    Plain screen(1), overlay(2), negative(3), popup(4), second(5), top(6);
    IxLayerStack stack;
    EXPECT_EQ(stack.Insert({&overlay, nullptr, IXLAYER_OVERLAY, 0}), 0);
    EXPECT_EQ(stack.Insert({&screen, nullptr, IXLAYER_SCREEN, 0}), 0);
    EXPECT_EQ(stack.Insert({&negative, nullptr, -IXLAYER_POPUP, 0}), 1);
    EXPECT_EQ(stack.Insert({&popup, nullptr, IXLAYER_POPUP, 0}), 2); // same magnitude: above
    EXPECT_EQ(stack.Insert({&top, nullptr, IxTopLayerPriority(1), 0}), 4);
    EXPECT_EQ(stack.Insert({&second, nullptr, IXLAYER_SCREEN, 0}), 1);
    EXPECT_EQ(Ids(stack), (std::vector<int>{1, 5, 3, 4, 2, 6}));
}

TEST(LayerStack, FindsLayersByViewOwnerAndPriority)
{
    Plain a(10), b(20), c(30), owner(99);
    IxLayerStack stack;
    stack.Insert({&a, &owner, IXLAYER_SCREEN, 0});
    stack.Insert({&b, nullptr, IXLAYER_POPUP, 0});
    stack.Insert({&c, &owner, IXLAYER_KEEP, 0});
    const struct {
        int viewId;
        int index;
    } views[] = {{0, 2}, {10, 0}, {20, 1}, {30, 2}, {40, -1}};
    for (const auto& v : views) {
        EXPECT_EQ(stack.IndexOfView(v.viewId), v.index) << v.viewId;
        EXPECT_EQ(stack.FindView(v.viewId), v.index >= 0 ? stack[v.index].pView : nullptr) << v.viewId;
    }
    EXPECT_EQ(stack.LastOwnedBy(&owner), 2);
    EXPECT_EQ(stack.LastOwnedBy(&a), -1);
    EXPECT_EQ(stack.LastWithPriority(IXLAYER_POPUP), 1);
    EXPECT_EQ(stack.LastWithPriority(IXLAYER_DRAG), -1);
    EXPECT_EQ(stack.FirstBelowKept(), 0);
    stack.RemoveAt(0);
    stack.RemoveAt(0);
    EXPECT_EQ(stack.FirstBelowKept(), -1); // only a kept layer is left
    EXPECT_TRUE(IxIsKeptLayer(stack[0].nPriority));
    EXPECT_EQ(IxTopLayerPriority(0), -IXLAYER_TOP);
    EXPECT_EQ(IxTopLayerPriority(-3), -(IXLAYER_TOP - 3));
}
