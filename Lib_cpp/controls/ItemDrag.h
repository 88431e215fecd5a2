// What the lists share for dragging items: the drop target under a dragged
// item, shown as the current item while the item hovers over it, and the
// automatic scrolling while a dragged item is held at an edge of a list.
#pragma once

#include "Lib_cpp/controls/ElementApi.h"
#include "Lib_cpp/kernel/Kernel.h"
#include "platform/base/Types.h"

// The item a dragged item hovers over shows the current state, unless it
// had it already (then it keeps it when the hover moves on).
class IxDropHover {
public:
    // Moves the highlight to the item (null: none).
    void Set(IxElement* item);
    // Forgets the item without touching it (it is being removed).
    void Forget() { m_pItem = nullptr; }
    IxElement* Get() const { return m_pItem; }

private:
    IxElement* m_pItem = nullptr;
    BOOL m_bWasCurrent = FALSE;
};

// Steps a list in a direction while a dragged item is held at one of its
// edges: one step at once, then one per tick of the owner's timer, until a
// step fails or the drag leaves the edge. The timer's id is the address of
// the direction.
class IxDragAutoScroll {
public:
    // Starts scrolling in the direction (IXLD_*): a first step (step(direction)
    // answers whether it moved) and the timer; nothing when it already runs
    // that way. It stops at once when that step fails or the interval is not
    // positive.
    template <class Step> void Start(IxElement* owner, int direction, int intervalMs, Step&& step)
    {
        if (m_bRunning && direction == m_nDirection)
            return;
        m_nDirection = direction;
        m_bRunning = intervalMs > 0 && step(direction) && SetElementTimer(owner, TimerId(), intervalMs);
        if (!m_bRunning)
            Stop(owner);
    }
    // The owner's timer fired: steps again and restarts the timer, or stops
    // when the step fails (or the interval is no longer positive). TRUE when
    // it stepped (the owner then still lives).
    template <class Step> BOOL Tick(IxElement* owner, int intervalMs, Step&& step)
    {
        IxElementWatch self(owner);
        if (intervalMs <= 0 || !step(m_nDirection)) {
            if (self.Alive())
                Stop(owner);
            return FALSE;
        }
        if (!self.Alive())
            return FALSE;
        SetElementTimer(owner, TimerId(), intervalMs);
        return TRUE;
    }
    void Stop(IxElement* owner);

    BOOL IsTimer(LPARAM timerId) const { return static_cast<UINT_PTR>(timerId) == TimerId(); }
    UINT_PTR TimerId() const { return IxTimerId(&m_nDirection); }
    // IXLD_NONE while it does not run.
    int Direction() const { return m_nDirection; }

    // 1 when the point (owner coordinates) lies inside the owner away from
    // its edge zones (edgeWidth at the left and right, edgeHeight at the top
    // and bottom).
    static BOOL InInnerArea(const IxElement* owner, int edgeWidth, int edgeHeight, POINT point);

private:
    int m_nDirection = 0;
    BOOL m_bRunning = FALSE;
};
