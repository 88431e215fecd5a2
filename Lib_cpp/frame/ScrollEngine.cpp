#include "Lib_cpp/frame/ScrollEngine.h"

#include "Lib_cpp/frame/KernelFrame.h"
#include "Lib_cpp/frame/VelocitySampler.h"

#include <cmath>
#include <cstdlib>

namespace {

UINT_PTR FlingTimer(const IxElement* element)
{
    return reinterpret_cast<UINT_PTR>(element);
}

} // namespace

int IxScrollEngine::Find(const IxElement* element) const
{
    if (!element)
        return -1;
    for (int i = 0; i < m_scrolls.Count(); ++i) {
        if (m_scrolls[i].pElement == element)
            return i;
    }
    return -1;
}

const IxScrollRecord* IxScrollEngine::RecordOf(const IxElement* element) const
{
    int i = Find(element);
    return i >= 0 ? &m_scrolls[i] : nullptr;
}

void IxScrollEngine::Remove(IxElement* element)
{
    int i = Find(element);
    if (i < 0)
        return;
    if (IxKernel* kernel = m_frame.GetKernel())
        kernel->KillTimer(&m_frame, FlingTimer(element));
    m_scrolls.RemoveAt(i);
}

BOOL IxScrollEngine::IsFlingRunning(IxElement* element)
{
    IxKernel* kernel = m_frame.GetKernel();
    return kernel && Find(element) >= 0 && kernel->IsTimerSet(&m_frame, FlingTimer(element));
}

void IxScrollEngine::StopFling(IxElement* element)
{
    if (IxKernel* kernel = m_frame.GetKernel())
        kernel->KillTimer(&m_frame, FlingTimer(element));
}

// ---------------------------------------------------------------------------
// Services

void IxScrollEngine::Register(const IxGestureRecord* g, int mode)
{
    if (!g || !g->pElement)
        return;
    int i = Find(g->pElement);
    if (i < 0) {
        IxScrollRecord fresh{};
        fresh.pElement = g->pElement;
        if (!m_scrolls.Add(fresh))
            return;
        i = m_scrolls.Count() - 1;
    }
    IxScrollRecord& r = m_scrolls[i];
    r.nMode = mode;
    r.viewport[0] = g->nViewWidth;
    r.viewport[1] = g->nViewHeight;
    r.offset[0] = g->nOffsetX;
    r.offset[1] = g->nOffsetY;
    r.content[0] = g->nContentWidth;
    r.content[1] = g->nContentHeight;
    r.maxOffset[0] = g->values[IXGV_MAXOFFSETX];
    r.maxOffset[1] = g->values[IXGV_MAXOFFSETY];
    r.limit[0] = g->values[IXGV_LIMITX];
    r.limit[1] = g->values[IXGV_LIMITY];
    r.baseSpeed[0] = g->values[IXGV_SPEEDX] > 0 ? g->values[IXGV_SPEEDX] : m_gc.nFlingSpeedX;
    r.baseSpeed[1] = g->values[IXGV_SPEEDY] > 0 ? g->values[IXGV_SPEEDY] : m_gc.nFlingSpeedY;
    if (!IsFlingRunning(g->pElement)) {
        r.speed[0] = r.baseSpeed[0];
        r.speed[1] = r.baseSpeed[1];
    }
    if (g->values[IXGV_VELOCITYX] || g->values[IXGV_VELOCITYY]) {
        r.velocity[0] = g->values[IXGV_VELOCITYX];
        r.velocity[1] = g->values[IXGV_VELOCITYY];
        Fling(g->pElement, nullptr);
    }
}

void IxScrollEngine::SetLimits(const IxGestureRecord* g)
{
    int i = g ? Find(g->pElement) : -1;
    if (i >= 0) {
        m_scrolls[i].limit[0] = g->values[IXGV_LIMITX];
        m_scrolls[i].limit[1] = g->values[IXGV_LIMITY];
    }
}

// ---------------------------------------------------------------------------
// Pointer scrolling

BOOL IxScrollEngine::PressDuringFling(POINT point)
{
    IxKernel* kernel = m_frame.GetKernel();
    if (m_scrolls.Count() == 0 || !kernel)
        return FALSE;
    IxArray<IxElement*> flinging(8);
    for (int i = 0; i < m_scrolls.Count(); ++i) {
        if (kernel->IsTimerSet(&m_frame, FlingTimer(m_scrolls[i].pElement)))
            flinging.Add(m_scrolls[i].pElement);
    }
    bool consumed = false;
    for (int i = 0; i < flinging.Count(); ++i) {
        // Skip elements that an earlier answer removed.
        if (Find(flinging[i]) < 0)
            continue;
        POINT local = point;
        flinging[i]->ScreenToLocal(&local);
        if (flinging[i]->OnInput(IXIN_GESTUREGOESON, reinterpret_cast<LPARAM>(&local)) == 0)
            consumed = true;
    }
    return consumed;
}

void IxScrollEngine::AnchorSteps(IxElement* element, POINT point)
{
    int i = Find(element);
    if (i >= 0) {
        m_scrolls[i].firstStep[0] = point.x;
        m_scrolls[i].firstStep[1] = point.y;
    }
}

BOOL IxScrollEngine::ScrollBy(IxElement* element, POINT point, POINT last)
{
    int i = Find(element);
    if (i < 0)
        return TRUE;
    IxScrollRecord& r = m_scrolls[i];
    const int coords[2] = {point.x, point.y};
    const int moved[2] = {point.x - last.x, point.y - last.y};
    int next[2];
    for (int axis = 0; axis < 2; ++axis) {
        if (r.nMode == 0) {
            next[axis] = r.offset[axis] + moved[axis];
        } else {
            // Stepped: whole steps of the pointer's way from the anchor.
            int step = std::abs(r.nMode);
            int steps = (coords[axis] - r.firstStep[axis]) / step;
            next[axis] = r.offset[axis] + steps * step;
            r.firstStep[axis] += steps * step;
        }
        int low = r.content[axis] > r.viewport[axis] ? r.viewport[axis] - r.content[axis] : 0;
        int high = r.maxOffset[axis] > low ? r.maxOffset[axis] : low;
        next[axis] = next[axis] < low ? low : (next[axis] > high ? high : next[axis]);
    }
    POINT delta{next[0] - r.offset[0], next[1] - r.offset[1]};
    if (delta.x == 0 && delta.y == 0)
        return TRUE;
    IxElementWatch watch(element);
    int answer = element->OnInput(IXIN_SCROLLBY, reinterpret_cast<LPARAM>(&delta));
    if (!watch.Alive())
        return TRUE;
    if (answer == 0)
        return FALSE;
    if (answer != 1 && (i = Find(element)) >= 0) {
        m_scrolls[i].offset[0] = next[0];
        m_scrolls[i].offset[1] = next[1];
    }
    return TRUE;
}

// ---------------------------------------------------------------------------
// Flings

void IxScrollEngine::Fling(IxElement* element, const IxVelocitySampler* samples)
{
    int i = Find(element);
    if (i < 0 || !m_frame.GetKernel())
        return;
    IxElementWatch watch(element);
    int direction[2] = {0, 0};
    if (samples) {
        const int window = m_gc.nSampleWindow;
        const int thresholds[2] = {m_gc.nSampleThresholdX, m_gc.nSampleThresholdY};
        int velocity[2] = {0, 0};
        for (int axis = 0; axis < 2; ++axis) {
            direction[axis] = samples->LastDirection(axis);
            if (samples->Count(axis) <= 3 || window <= 0)
                continue;
            double mean = samples->Mean(axis);
            if (std::fabs(mean) >= static_cast<double>(thresholds[axis]) / window)
                velocity[axis] = static_cast<int>(std::floor(mean * window + 0.5));
        }
        if (m_scrolls[i].nMode == 0) {
            m_scrolls[i].velocity[0] = velocity[0];
            m_scrolls[i].velocity[1] = velocity[1];
        }
    } else {
        direction[0] = IxVelocitySampler::Sign(m_scrolls[i].velocity[0]);
        direction[1] = IxVelocitySampler::Sign(m_scrolls[i].velocity[1]);
    }
    POINT velocity{m_scrolls[i].velocity[0], m_scrolls[i].velocity[1]};
    element->OnInput(IXIN_FLINGVELOCITY, reinterpret_cast<LPARAM>(&velocity));
    if (!watch.Alive() || (i = Find(element)) < 0)
        return;
    IxScrollRecord& r = m_scrolls[i];
    r.velocity[0] = velocity.x;
    r.velocity[1] = velocity.y;
    bool any = false;
    for (int axis = 0; axis < 2; ++axis) {
        int v = r.velocity[axis];
        int speed = r.baseSpeed[axis];
        if (std::abs(v) > 50)
            speed = (speed * std::abs(v) + 25) / 50;
        int distance = 0;
        if (v > 0)
            distance = -r.offset[axis];
        else if (v < 0)
            distance = r.content[axis] - r.viewport[axis] + r.offset[axis];
        if (r.limit[axis] >= 1 && distance > r.limit[axis])
            distance = r.limit[axis];
        if (distance < 0)
            distance = 0;
        r.speed[axis] = speed;
        r.travelled[axis] = 0;
        r.decaySteps[axis] = 1;
        if (speed <= 0 || distance == 0) {
            r.total[axis] = 0;
            r.decayStart[axis] = 0;
            r.firstStep[axis] = 0;
            continue;
        }
        // The slowing phase: up to 15 decaying steps, cut short once the
        // step has stayed at 1 twice.
        int sum = 0;
        int step = speed;
        int ones = 0;
        for (int k = 0; k < 15; ++k) {
            step = step * m_gc.nDecayNumerator / (m_gc.nDecayDivisor > 0 ? m_gc.nDecayDivisor : 1);
            if (step < 1)
                step = 1;
            sum += step;
            if (step == 1 && ++ones == 2)
                break;
        }
        int decayStart = distance - sum;
        if (decayStart < 0)
            decayStart = 0;
        r.total[axis] = distance;
        r.decayStart[axis] = decayStart;
        // The constant-speed phase ends exactly at the decay start.
        r.firstStep[axis] = decayStart >= 1 ? decayStart % speed : 0;
        any = true;
    }
    if (any) {
        m_frame.GetKernel()->SetTimer(&m_frame, FlingTimer(element), m_gc.nFlingPeriod);
        return;
    }
    r.velocity[0] = r.velocity[1] = 0;
    element->OnEvent(IXEV_GESTUREENDED, 0);
    if (watch.Alive()) {
        POINT dir{direction[0], direction[1]};
        element->OnInput(IXIN_SCROLLENDED, reinterpret_cast<LPARAM>(&dir));
    }
}

void IxScrollEngine::FlingStep(IxElement* element)
{
    int i = Find(element);
    if (i < 0 || !m_frame.GetKernel()) {
        StopFling(element);
        return;
    }
    IxScrollRecord& r = m_scrolls[i];
    POINT delta{0, 0};
    int* out[2] = {&delta.x, &delta.y};
    bool left = false;
    for (int axis = 0; axis < 2; ++axis) {
        int remaining = r.total[axis] - r.travelled[axis];
        if (remaining <= 0)
            continue;
        if (r.travelled[axis] >= r.decayStart[axis]) {
            int slowed = r.speed[axis] * m_gc.nDecayNumerator / (m_gc.nDecayDivisor > 0 ? m_gc.nDecayDivisor : 1);
            r.speed[axis] = slowed < 1 ? 1 : slowed;
        }
        // A first step of 0 (the decay start is a whole number of steps
        // away) is skipped rather than spent as an empty tick.
        int step = (r.decaySteps[axis] == 1 && r.firstStep[axis] > 0) ? r.firstStep[axis] : r.speed[axis];
        ++r.decaySteps[axis];
        if (step > remaining)
            step = remaining;
        int signedStep = r.velocity[axis] < 0 ? -step : step;
        r.offset[axis] += signedStep;
        r.travelled[axis] += step;
        *out[axis] = signedStep;
        if (r.total[axis] > r.travelled[axis])
            left = true;
    }
    IxElementWatch watch(element);
    int answer = element->OnInput(IXIN_FLINGSTEP, reinterpret_cast<LPARAM>(&delta));
    if (!watch.Alive() || !m_frame.GetKernel())
        return;
    if (answer != 0 && left && Find(element) >= 0)
        return;
    if ((i = Find(element)) >= 0)
        m_scrolls[i].velocity[0] = m_scrolls[i].velocity[1] = 0;
    element->OnEvent(IXEV_GESTUREENDED, 0);
    StopFling(element);
    if (watch.Alive()) {
        POINT none{0, 0};
        element->OnInput(IXIN_FLINGENDED, reinterpret_cast<LPARAM>(&none));
    }
}

void IxScrollEngine::OnTimer(UINT_PTR id)
{
    for (int i = 0; i < m_scrolls.Count(); ++i) {
        if (FlingTimer(m_scrolls[i].pElement) == id) {
            FlingStep(m_scrolls[i].pElement);
            return;
        }
    }
    if (IxKernel* kernel = m_frame.GetKernel())
        kernel->KillTimer(&m_frame, id); // a fling whose record is gone
}
