// The velocity sampler of the pointer engine: while the pointer moves, the
// speed per axis (px per ms) goes into a ring of ten samples, a slice of the
// sampling window per sample; a change of direction starts an axis over.
// Flings take their speed from the mean of the samples.
#pragma once

#include "Lib_cpp/frame/FrameCodes.h"
#include "platform/base/Types.h"

class IxVelocitySampler {
public:
    static int Sign(double v) { return v > 0 ? 1 : (v < 0 ? -1 : 0); }

    // Starts over from the point (the press), now.
    void Start(POINT point);
    // Samples the move to the point, once more than a slice of the window
    // has passed and the pointer moved past the start threshold.
    void Sample(POINT point, const IxGestureConstants& constants);
    // No origin: nothing is sampled until the next Start.
    void Forget() { m_ptOrigin.x = kNoOrigin; }
    bool HasOrigin() const { return m_ptOrigin.x != kNoOrigin; }
    int Count(int axis) const { return m_nCount[axis]; }
    // The sign of the newest sample of the axis, 0 when there is none.
    int LastDirection(int axis) const { return m_nCount[axis] > 0 ? Sign(m_samples[axis][m_nCount[axis] - 1]) : 0; }
    // The mean of the samples of the axis (0 when there is none).
    double Mean(int axis) const;

private:
    static constexpr int kNoOrigin = static_cast<int>(0x80000001);
    static constexpr int kSamples = 10;

    double m_samples[2][kSamples] = {}; // oldest first
    int m_nCount[2] = {0, 0};
    DWORD m_dwTime = 0;
    POINT m_ptOrigin{kNoOrigin, 0};
};
