#include "platform/base/Rect.h"

BOOL PtInRect(const RECT* rect, POINT point)
{
    return rect && platform::RectContains(*rect, point) ? TRUE : FALSE;
}

namespace platform {

void Subtract(const RECT& a, const RECT& b, std::vector<RECT>& out)
{
    RECT i = Intersect(a, b);
    if (IsEmpty(i)) {
        out.push_back(a);
        return;
    }
    if (a.top < i.top)
        out.push_back(RECT{a.left, a.top, a.right, i.top});
    if (i.bottom < a.bottom)
        out.push_back(RECT{a.left, i.bottom, a.right, a.bottom});
    if (a.left < i.left)
        out.push_back(RECT{a.left, i.top, i.left, i.bottom});
    if (i.right < a.right)
        out.push_back(RECT{i.right, i.top, a.right, i.bottom});
}

} // namespace platform
