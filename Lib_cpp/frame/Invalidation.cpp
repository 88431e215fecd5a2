#include "Lib_cpp/frame/Invalidation.h"

void IxInvalidation::Merge(RECT& into, const RECT& r)
{
    if (IsEmpty(r))
        return;
    if (IsEmpty(into)) {
        into = r;
        return;
    }
    into.left = r.left < into.left ? r.left : into.left;
    into.top = r.top < into.top ? r.top : into.top;
    into.right = r.right > into.right ? r.right : into.right;
    into.bottom = r.bottom > into.bottom ? r.bottom : into.bottom;
}

bool IxInvalidation::Take(RECT& from, const RECT& empty, RECT* out)
{
    if (IsEmpty(from))
        return false;
    *out = from;
    from = empty;
    return true;
}
