// Rectangles and points. Right and bottom are exclusive edges: a rectangle
// {0, 0, 2, 2} holds the pixels (0, 0) to (1, 1). The framework's hit tests
// count the right and bottom edges as inside; RectContainsInclusive is that
// test, so that it is written once.
#pragma once

#include "platform/base/Types.h"

#include <algorithm>
#include <vector>

// The point is inside the rectangle, right and bottom edges excluded; false
// for a null rectangle.
BOOL PtInRect(const RECT* rect, POINT point);

namespace platform {

inline bool IsEmpty(const RECT& r)
{
    return r.left >= r.right || r.top >= r.bottom;
}

// The common part of a and b; {0, 0, 0, 0} when they do not overlap.
inline RECT Intersect(const RECT& a, const RECT& b)
{
    RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
    return IsEmpty(r) ? RECT{0, 0, 0, 0} : r;
}

// The smallest rectangle holding both (empty ones included as they are).
inline RECT Union(const RECT& a, const RECT& b)
{
    return RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                std::max(a.bottom, b.bottom)};
}

inline RECT Offset(RECT r, int dx, int dy)
{
    return RECT{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}

// The rectangles share at least one pixel (right and bottom exclusive).
inline bool RectsOverlap(const RECT& a, const RECT& b)
{
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

// The point is inside, right and bottom edges excluded.
inline bool RectContains(const RECT& r, POINT p)
{
    return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

// The point is inside, right and bottom edges included: the framework's
// hit test for elements, views and touch areas.
inline bool RectContainsInclusive(const RECT& r, POINT p)
{
    return p.x >= r.left && p.x <= r.right && p.y >= r.top && p.y <= r.bottom;
}

// a minus b, as up to four disjoint pieces added to out.
void Subtract(const RECT& a, const RECT& b, std::vector<RECT>& out);

} // namespace platform
