#include "Lib_cpp/frame/VelocitySampler.h"

#include "platform/base/Clock.h"

#include <cstdlib>

void IxVelocitySampler::Start(POINT point)
{
    m_nCount[0] = m_nCount[1] = 0;
    m_ptOrigin = point;
    m_dwTime = GetTickCount();
}

void IxVelocitySampler::Sample(POINT point, const IxGestureConstants& constants)
{
    const int window = constants.nSampleWindow;
    if (window < 10 || m_ptOrigin.x == kNoOrigin)
        return;
    const DWORD now = GetTickCount();
    const DWORD elapsed = now - m_dwTime;
    const DWORD slice = static_cast<DWORD>(window / kSamples);
    const int dx = point.x - m_ptOrigin.x;
    const int dy = point.y - m_ptOrigin.y;
    const bool moved = std::abs(dx) > constants.nStartThreshold || std::abs(dy) > constants.nStartThreshold;
    if (elapsed <= slice || !moved)
        return;
    DWORD clamped = elapsed < static_cast<DWORD>(window) ? elapsed : static_cast<DWORD>(window);
    int pushes = static_cast<int>(clamped / slice);
    const int thresholds[2] = {constants.nSampleThresholdX, constants.nSampleThresholdY};
    const int moves[2] = {dx, dy};
    for (int axis = 0; axis < 2; ++axis) {
        if (thresholds[axis] == 0)
            continue;
        double v = static_cast<double>(moves[axis]) / static_cast<double>(elapsed);
        double* ring = m_samples[axis];
        int& count = m_nCount[axis];
        // A change of direction starts the axis over.
        if (count > 0 && Sign(v) != 0 && Sign(ring[count - 1]) == -Sign(v))
            count = 0;
        for (int k = 0; k < pushes; ++k) {
            if (count == kSamples) {
                for (int j = 1; j < kSamples; ++j)
                    ring[j - 1] = ring[j];
                --count;
            }
            ring[count++] = v;
        }
    }
    m_dwTime = now;
    m_ptOrigin = point;
}

double IxVelocitySampler::Mean(int axis) const
{
    const int count = m_nCount[axis];
    if (count == 0)
        return 0;
    double sum = 0;
    for (int k = 0; k < count; ++k)
        sum += m_samples[axis][k];
    return sum / count;
}
