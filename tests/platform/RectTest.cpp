#include "platform/base/Rect.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

bool operator==(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

TEST(Rect, PointTestsDifferOnlyOnTheRightAndBottomEdges)
{
    const RECT r{10, 20, 30, 40};
    struct Case {
        POINT p;
        bool exclusive;
        bool inclusive;
    };
    const Case cases[] = {
        {{10, 20}, true, true},   {{29, 39}, true, true},   {{30, 25}, false, true},
        {{15, 40}, false, true},  {{30, 40}, false, true},  {{9, 25}, false, false},
        {{15, 19}, false, false}, {{31, 25}, false, false}, {{15, 41}, false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(platform::RectContains(r, c.p), c.exclusive) << c.p.x << "," << c.p.y;
        EXPECT_EQ(PtInRect(&r, c.p) != FALSE, c.exclusive) << c.p.x << "," << c.p.y;
        EXPECT_EQ(platform::RectContainsInclusive(r, c.p), c.inclusive) << c.p.x << "," << c.p.y;
    }
    EXPECT_FALSE(PtInRect(nullptr, POINT{0, 0}));
}

TEST(Rect, IntersectionUnionOverlapAndDifference)
{
    const RECT a{0, 0, 10, 10};
    EXPECT_TRUE(platform::Intersect(a, RECT{5, 5, 20, 20}) == (RECT{5, 5, 10, 10}));
    // Touching edges share no pixel.
    EXPECT_TRUE(platform::Intersect(a, RECT{10, 0, 20, 10}) == (RECT{0, 0, 0, 0}));
    EXPECT_FALSE(platform::RectsOverlap(a, RECT{10, 0, 20, 10}));
    EXPECT_TRUE(platform::RectsOverlap(a, RECT{9, 9, 20, 20}));
    EXPECT_TRUE(platform::Union(a, RECT{5, -5, 20, 8}) == (RECT{0, -5, 20, 10}));
    EXPECT_TRUE(platform::Offset(a, 3, -2) == (RECT{3, -2, 13, 8}));
    EXPECT_TRUE(platform::IsEmpty(RECT{5, 5, 5, 10}));

    // A hole in the middle leaves four pieces that cover the rest exactly.
    std::vector<RECT> pieces;
    platform::Subtract(a, RECT{3, 3, 6, 6}, pieces);
    ASSERT_EQ(pieces.size(), 4u);
    int area = 0;
    for (const RECT& p : pieces) {
        EXPECT_FALSE(platform::RectsOverlap(p, RECT{3, 3, 6, 6}));
        area += (p.right - p.left) * (p.bottom - p.top);
    }
    EXPECT_EQ(area, 100 - 9);
    pieces.clear();
    platform::Subtract(a, RECT{20, 20, 30, 30}, pieces);
    ASSERT_EQ(pieces.size(), 1u);
    EXPECT_TRUE(pieces[0] == a);
}

} // namespace
