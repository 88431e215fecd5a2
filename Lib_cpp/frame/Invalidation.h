// What the frame has to repaint: the rectangle collected outside paint
// (handed to the window at the end of the busy bracket) and the one
// collected while a paint runs (the paint may already have drawn it, so it
// is repainted once afterwards). Window coordinates.
#pragma once

#include "platform/base/Types.h"

class IxInvalidation {
public:
    static bool IsEmpty(const RECT& r) { return r.left >= r.right || r.top >= r.bottom; }
    // Grows into by r (an empty into takes r).
    static void Merge(RECT& into, const RECT& r);

    // Adds the rectangle to the dirty one while painting, else to the
    // pending one.
    void Add(const RECT& r) { Merge(m_bPainting ? m_rcDirty : m_rcPending, r); }
    // The pending rectangle, emptied; false when nothing is pending.
    bool TakePending(RECT* out) { return Take(m_rcPending, RECT{0, 0, 0, 0}, out); }
    void ClearPending() { m_rcPending = RECT{0, 0, 0, 0}; }
    // Adds to the pending rectangle whether a paint runs or not.
    void AddPending(const RECT& r) { Merge(m_rcPending, r); }

    // A paint starts: what it collects from here on is dirty.
    void BeginPaint()
    {
        m_bPainting = true;
        m_rcDirty = kEmptyDirty;
    }
    // The paint ended; true when something became dirty during it.
    bool EndPaint()
    {
        m_bPainting = false;
        return !IsEmpty(m_rcDirty);
    }
    bool IsPainting() const { return m_bPainting; }
    // The rectangle made dirty during the last paint, emptied; false when
    // there is none.
    bool TakeDirty(RECT* out) { return Take(m_rcDirty, kEmptyDirty, out); }

private:
    static constexpr RECT kEmptyDirty{0x7fffffff, 0x7fffffff, static_cast<int>(0x80000001),
                                      static_cast<int>(0x80000001)};
    // Hands over a non-empty rectangle and leaves the empty value.
    static bool Take(RECT& from, const RECT& empty, RECT* out);

    bool m_bPainting = false;
    RECT m_rcPending{0, 0, 0, 0}; // empty: nothing pending
    RECT m_rcDirty = kEmptyDirty;
};
