// Texture pages of the 3D menu: each image is a rectangle in a 1024x1024
// OpenGL ES texture of its pixel depth, found first fit over a list of free
// rectangles; a new page opens when nothing fits. Calls GL: the caller holds
// the GL lock with a context current (GateGL.h).
#pragma once

#include <GLES/gl.h>

#include <cstdint>
#include <list>
#include <vector>

namespace gate {

struct GateAtlasEntry {
    GLuint texture = 0;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

class GateTextureAtlas {
public:
    static constexpr int kPageWidth = 1024;
    static constexpr int kPageHeight = 1024;

    GateTextureAtlas() = default;
    GateTextureAtlas(const GateTextureAtlas&) = delete;
    GateTextureAtlas& operator=(const GateTextureAtlas&) = delete;

    // Places the image (rows packed, bottom first, depth 16, 24 or 32 bits)
    // and uploads it. Null, after logging why, for an empty image, one larger
    // than a page, a depth other than 16, 24 or 32, or one other than the
    // atlas's: nothing is ever written outside a page. The entry stays valid
    // until Reset.
    const GateAtlasEntry* Allocate(int width, int height, const void* pixels, int depth);
    // Deletes the pages, forgets every entry and the depth (the background's
    // atlas before a reload).
    void Reset();

    int Depth() const { return m_depth; }
    const std::vector<GLuint>& Pages() const { return m_pages; }
    std::size_t FreeCount() const { return m_free.size(); }

private:
    // Opens a page of depth and adds its free rectangle after the free
    // cursor; 0 when the depth is refused.
    GLuint NewPage(int depth);

    int m_depth = 0;
    std::list<GateAtlasEntry> m_used;
    std::list<GateAtlasEntry> m_free;
    std::list<GateAtlasEntry>::iterator m_freeCursor = m_free.end();
    std::vector<GLuint> m_pages;
};

} // namespace gate
