#include "Source/gate/GateImage.h"

#include <cstring>

namespace gate {
namespace {

const GLubyte kIndices[4] = {0, 1, 3, 2};
// Unit texture coordinates of the four vertices: pixels are stored bottom
// row first, so the top of the quad shows the top of the image.
const float kUnitCoords[8] = {1, 1, 0, 1, 0, 0, 1, 0};

} // namespace

void GateQuad::SetRect(float x, float y, float w, float h, float z)
{
    const float v[12] = {x + w, y, z, x, y, z, x, y + h, z, x + w, y + h, z};
    std::memcpy(m_vertices, v, sizeof v);
    m_pivot[0] = x + w / 2;
    m_pivot[1] = y + h / 2;
    m_pivot[2] = z;
}

void GateQuad::DrawQuad()
{
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, m_vertices);
    glDrawElements(GL_TRIANGLE_STRIP, 4, GL_UNSIGNED_BYTE, kIndices);
    glDisableClientState(GL_VERTEX_ARRAY);
    glGetFloatv(GL_MODELVIEW_MATRIX, m_matrix);
    if (!m_keepMatrix)
        std::memcpy(m_firstMatrix, m_matrix, sizeof m_matrix);
}

void GateQuad::Draw()
{
    DrawQuad();
}

BOOL GateImage::Load(const std::string& path, int x, int y, int w, int h, int depth)
{
    SetRect(static_cast<float>(x), static_cast<float>(y), static_cast<float>(w), static_cast<float>(h),
            static_cast<float>(depth));
    return m_image.AddTexture(path, FALSE);
}

void GateImage::SetBlend(bool on, GLenum src, GLenum dst)
{
    m_blend = on;
    m_src = src;
    m_dst = dst;
}

void GateImage::SetColor(float r, float g, float b, float a)
{
    m_color[0] = r;
    m_color[1] = g;
    m_color[2] = b;
    m_color[3] = a;
}

void GateImage::BeginDraw()
{
    if (m_blend) {
        glBlendFunc(m_src, m_dst);
        glDisable(GL_DEPTH_TEST);
        glEnable(GL_BLEND);
    } else {
        glDisable(GL_BLEND);
    }
    Current().Bind(kUnitCoords, 4);
    glColor4f(m_color[0], m_color[1], m_color[2], m_color[3]);
}

void GateImage::EndDraw(GateTexture& texture)
{
    texture.Unbind();
    glDisable(GL_BLEND);
}

void GateImage::Draw()
{
    GateTexture& texture = Current();
    BeginDraw();
    glPushMatrix();
    DrawQuad();
    glPopMatrix();
    EndDraw(texture);
}

BOOL GateButton::SetSecondImage(const std::string& path)
{
    return m_second.AddTexture(path, FALSE);
}

void GateAnimButton::SetAnimations(std::unique_ptr<GateAnimation> show, std::unique_ptr<GateAnimation> hide)
{
    m_show = std::move(show);
    m_hide = std::move(hide);
    if (m_show)
        m_show->Build();
    if (m_hide)
        m_hide->Build();
}

void GateAnimButton::SetState(GateAnimRequest request)
{
    switch (request) {
    case GateAnimRequest::Show:
        m_state = GateAnimState::Showing;
        if (m_show)
            m_show->Start();
        break;
    case GateAnimRequest::SetShown:
        m_state = GateAnimState::Shown;
        if (m_show)
            m_show->Stop();
        break;
    case GateAnimRequest::SetHidden:
        m_state = GateAnimState::Hidden;
        if (m_show)
            m_show->Stop();
        if (m_hide)
            m_hide->Stop();
        break;
    case GateAnimRequest::Hide:
        if (m_state != GateAnimState::Hidden) {
            m_state = GateAnimState::Hiding;
            if (m_hide)
                m_hide->Start();
        }
        break;
    }
}

void GateAnimButton::Draw()
{
    if (m_state == GateAnimState::Hidden)
        return;
    if (m_state == GateAnimState::Hiding && (!m_hide || !m_hide->IsPlaying())) {
        m_state = GateAnimState::Hidden;
        return;
    }
    GateTexture& texture = Current();
    BeginDraw();
    glPushMatrix();
    glTranslatef(m_pivot[0], m_pivot[1], m_pivot[2]);
    if (m_state == GateAnimState::Showing && m_show)
        m_show->Apply(m_pivot);
    else if (m_state == GateAnimState::Hiding && m_hide)
        m_hide->Apply(m_pivot);
    glTranslatef(-m_pivot[0], -m_pivot[1], -m_pivot[2]);
    DrawQuad();
    glPopMatrix();
    EndDraw(texture);
}

BOOL GateBackground::Load(const std::string& path, int x, int y, int w, int h, int depth, BOOL absolute)
{
    SetRect(static_cast<float>(x), static_cast<float>(y), static_cast<float>(w), static_cast<float>(h),
            static_cast<float>(depth));
    return m_background.AddTexture(path, absolute);
}

} // namespace gate
