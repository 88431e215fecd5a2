// Keyframe animations of the 3D menu: a precomputed list of frames, each a
// short list of matrix and colour operations, played one frame per drawn
// frame. AniObject fills the frames from a start point, an end point and a
// frame count with ease-out curves (a sub-button flying out of its main
// button while it fades in).
#pragma once

#include "platform/base/Types.h"

#include <cstddef>
#include <vector>

namespace gate {

enum class GateAnimOp : int {
    Translate = 1, // by (a, b, c)
    RotateX = 2,   // a degrees about the x axis
    RotateY = 3,
    RotateZ = 4,
    Scale = 5, // by a in x, y and z (about the point Apply is given)
    Alpha = 6, // colour (1, 1, 1, a)
};

struct GateAnimOperation {
    GateAnimOp kind;
    float a;
    float b;
    float c;
};

// Ease-out curves for time t, start b, change c and duration d.
float EaseOutQuad(float t, float b, float c, float d);
float EaseOutQuart(float t, float b, float c, float d);

class GateAnimation {
public:
    static constexpr int kMaxFrames = 60;

    GateAnimation() = default;
    virtual ~GateAnimation() = default;

    virtual void Build() {}
    virtual void Start();
    virtual void Stop();
    BOOL IsPlaying() const { return m_playing ? TRUE : FALSE; }

    // Appends to the frame being built; EndFrame closes it. Frames past the
    // sixtieth are dropped (and logged).
    void AddOperation(GateAnimOp kind, float a, float b, float c);
    void EndFrame();

    // Applies the current frame's operations to the GL matrix and colour and
    // moves on (GL current); builds first when not built; does nothing when
    // not playing. point (x, y, z, or null) is the centre of a scale.
    void Apply(const float* point);

    const std::vector<std::vector<GateAnimOperation>>& Frames() const { return m_frames; }
    std::size_t PlayCursor() const { return m_playCursor; }

protected:
    bool m_playing = false;
    bool m_built = false;
    bool m_hasConfig = false;

private:
    std::vector<std::vector<GateAnimOperation>> m_frames; // in play order
    std::vector<GateAnimOperation> m_building;
    std::size_t m_playCursor = 0;
    bool m_overflowLogged = false;
};

class AniObject : public GateAnimation {
public:
    AniObject(float startX, float startY, float startZ, float endX, float endY, float endZ, int frames);

    // Frame i translates by the ease-out-quad point at time i (z 0) and sets
    // the alpha to the ease-out-quart value at i, for i from 0 to frames - 1.
    void Build() override;

private:
    float m_startX, m_startY, m_startZ;
    float m_endX, m_endY, m_endZ;
    int m_frameCount;
};

} // namespace gate
