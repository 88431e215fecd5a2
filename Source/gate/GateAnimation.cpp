#include "Source/gate/GateAnimation.h"

#include "Lib_cpp/core/Diag.h"

#include <GLES/gl.h>

namespace gate {

float EaseOutQuad(float t, float b, float c, float d)
{
    const float u = t / d;
    return b - c * u * (u - 2.0f);
}

float EaseOutQuart(float t, float b, float c, float d)
{
    const float u = t / d - 1.0f;
    return b - c * (u * u * u * u - 1.0f);
}

void GateAnimation::Start()
{
    m_playing = true;
    m_playCursor = 0;
}

void GateAnimation::Stop()
{
    m_playing = false;
    m_playCursor = 0;
}

void GateAnimation::AddOperation(GateAnimOp kind, float a, float b, float c)
{
    if (m_frames.size() >= static_cast<std::size_t>(kMaxFrames)) {
        if (!m_overflowLogged)
            IxTrace(u"[3d gate] Error : more than %d animation frames \r\n", kMaxFrames);
        m_overflowLogged = true;
        return;
    }
    m_building.push_back(GateAnimOperation{kind, a, b, c});
}

void GateAnimation::EndFrame()
{
    if (m_frames.size() >= static_cast<std::size_t>(kMaxFrames))
        return;
    m_frames.push_back(std::move(m_building));
    m_building.clear();
}

void GateAnimation::Apply(const float* point)
{
    if (!m_built)
        Build();
    if (!m_playing)
        return;
    if (m_frames.empty()) {
        IxTrace(u"ERROR : List Empty\r\n");
        m_playing = false;
        return;
    }
    for (const GateAnimOperation& op : m_frames[m_playCursor]) {
        switch (op.kind) {
        case GateAnimOp::Translate:
            glTranslatef(op.a, op.b, op.c);
            break;
        case GateAnimOp::RotateX:
            glRotatef(op.a, 1, 0, 0);
            break;
        case GateAnimOp::RotateY:
            glRotatef(op.a, 0, 1, 0);
            break;
        case GateAnimOp::RotateZ:
            glRotatef(op.a, 0, 0, 1);
            break;
        case GateAnimOp::Scale:
            if (point)
                glTranslatef(-point[0], -point[1], -point[2]);
            glScalef(op.a, op.a, op.a);
            break;
        case GateAnimOp::Alpha:
            glColor4f(1, 1, 1, op.a);
            break;
        default:
            IxTrace(u"[3d gate] Error : Unknown Animation Element \r\n");
            break;
        }
    }
    if (++m_playCursor >= m_frames.size()) {
        m_playCursor = 0;
        m_playing = false;
    }
}

AniObject::AniObject(float startX, float startY, float startZ, float endX, float endY, float endZ, int frames)
    : m_startX(startX), m_startY(startY), m_startZ(startZ), m_endX(endX), m_endY(endY), m_endZ(endZ),
      m_frameCount(frames)
{
    m_hasConfig = true;
}

void AniObject::Build()
{
    if (!m_hasConfig)
        IxTrace(u"[3d gate] Error : AniObject don't have config data \r\n");
    m_built = true;
    const float d = static_cast<float>(m_frameCount);
    for (int i = 0; i < m_frameCount; ++i) {
        const float t = static_cast<float>(i);
        AddOperation(GateAnimOp::Translate, EaseOutQuad(t, m_startX, m_endX - m_startX, d),
                     EaseOutQuad(t, m_startY, m_endY - m_startY, d), 0);
        AddOperation(GateAnimOp::Alpha, EaseOutQuart(t, 0, 1, d), 0, 0);
        EndFrame();
    }
}

} // namespace gate
