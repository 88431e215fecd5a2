// The drawables of the 3D menu: textured quads with a rectangle, a depth,
// blending and colour, one or two images and, for the sub-buttons, a show
// and a hide animation. Draw runs on the user-interface thread with the GL
// lock held (GateGL.h); Load runs on the resource loader.
#pragma once

#include "Source/gate/GateAnimation.h"
#include "Source/gate/GateTexture.h"

#include <GLES/gl.h>

#include <memory>
#include <string>

namespace gate {

class GateQuad {
public:
    GateQuad() = default;
    GateQuad(const GateQuad&) = delete;
    GateQuad& operator=(const GateQuad&) = delete;
    virtual ~GateQuad() = default;

    // Vertices (x + w, y, z), (x, y, z), (x, y + h, z), (x + w, y + h, z);
    // the pivot is the centre.
    void SetRect(float x, float y, float w, float h, float z);
    // Draws the quad as a triangle strip and keeps the modelview matrix it
    // was drawn with (and, until the keep flag is set, a copy of it).
    virtual void Draw();
    virtual BOOL Load(const std::string&, int, int, int, int, int) { return FALSE; }

    const float* Vertices() const { return m_vertices; }
    const float* Pivot() const { return m_pivot; }
    const float* Matrix() const { return m_matrix; }
    const float* FirstMatrix() const { return m_firstMatrix; }
    void SetKeepMatrix(bool keep) { m_keepMatrix = keep; }

protected:
    void DrawQuad();

    float m_vertices[12] = {};
    float m_pivot[3] = {};
    float m_matrix[16] = {};
    float m_firstMatrix[16] = {};
    bool m_keepMatrix = false;
};

class GateImage : public GateQuad {
public:
    // SetRect, then the image below "\NAND\Wren\".
    BOOL Load(const std::string& path, int x, int y, int w, int h, int depth) override;
    void Draw() override;

    void SetBlend(bool on, GLenum src, GLenum dst);
    void SetOpaque() { m_blend = false; }
    void SetColor(float r, float g, float b, float a);

    GateTexture& Image() { return m_image; }
    bool Blending() const { return m_blend; }

protected:
    // The texture shown now.
    virtual GateTexture& Current() { return m_image; }
    void BeginDraw();
    void EndDraw(GateTexture& texture);

    GateTexture m_image;
    bool m_blend = true;
    GLenum m_src = GL_SRC_ALPHA;
    GLenum m_dst = GL_ONE_MINUS_SRC_ALPHA;
    float m_color[4] = {1, 1, 1, 1};
};

class GateButton : public GateImage {
public:
    // The pressed or selected look, below "\NAND\Wren\".
    BOOL SetSecondImage(const std::string& path);
    void SetPressed(bool pressed) { m_pressed = pressed; }
    void SetSelected(bool selected) { m_selected = selected; }
    bool Pressed() const { return m_pressed; }
    bool Selected() const { return m_selected; }
    GateTexture& SecondImage() { return m_second; }

protected:
    GateTexture& Current() override { return m_pressed || m_selected ? m_second : m_image; }

    GateTexture m_second;
    bool m_pressed = false;
    bool m_selected = false;
};

enum class GateAnimState : int { Hidden = 0, Shown = 1, Showing = 2, Hiding = 3 };
// What SetState is asked: hide (with the hide animation), show (with the show
// animation), be shown at once, be hidden at once.
enum class GateAnimRequest : int { Hide = 0, Show = 1, SetShown = 2, SetHidden = 3 };

class GateAnimButton : public GateButton {
public:
    // Owns both; hide may be null. Builds each.
    void SetAnimations(std::unique_ptr<GateAnimation> show, std::unique_ptr<GateAnimation> hide);
    void SetState(GateAnimRequest request);
    GateAnimState State() const { return m_state; }
    void Draw() override;

    GateAnimation* ShowAnimation() const { return m_show.get(); }

private:
    GateAnimState m_state = GateAnimState::Hidden;
    std::unique_ptr<GateAnimation> m_show;
    std::unique_ptr<GateAnimation> m_hide;
};

class GateBackground : public GateImage {
public:
    // SetRect, then the image at path, below "\NAND\Wren\" unless absolute.
    BOOL Load(const std::string& path, int x, int y, int w, int h, int depth, BOOL absolute);
    BOOL Load(const std::string& path, int x, int y, int w, int h, int depth) override
    {
        return Load(path, x, y, w, h, depth, FALSE);
    }
    GateBackgroundTexture& Background() { return m_background; }

protected:
    GateTexture& Current() override { return m_background; }

private:
    GateBackgroundTexture m_background;
};

} // namespace gate
