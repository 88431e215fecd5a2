#include "Source/gate/GateTextureAtlas.h"

#include "Lib_cpp/core/Diag.h"

namespace gate {
namespace {

struct PixelFormat {
    GLenum format;
    GLenum type;
    GLint alignment;
};

bool FormatOf(int depth, PixelFormat& out)
{
    switch (depth) {
    case 16:
        out = {GL_RGB, GL_UNSIGNED_SHORT_5_6_5, 2};
        return true;
    case 24:
        out = {GL_RGB, GL_UNSIGNED_BYTE, 1};
        return true;
    case 32:
        out = {GL_RGBA, GL_UNSIGNED_BYTE, 4};
        return true;
    default:
        return false;
    }
}

} // namespace

GLuint GateTextureAtlas::NewPage(int depth)
{
    PixelFormat format{};
    if (!FormatOf(depth, format)) {
        IxTrace(u"[3dGate Error]  Do not Support Bitcount in texture manager \n");
        return 0;
    }
    if (m_depth == 0)
        m_depth = depth;
    else if (m_depth != depth) {
        IxTrace(u"[3dGate Error]  unconsistent bpp management ! \n");
        return 0;
    }
    GLuint texture = 0;
    glGenTextures(1, &texture);
    if (texture == 0)
        return 0;
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    // A new page is cleared (transparent black), so that its free parts
    // hold the same pixels on every run.
    const std::vector<std::uint8_t> clear(static_cast<std::size_t>(kPageWidth) * kPageHeight * (depth / 8), 0);
    glPixelStorei(GL_UNPACK_ALIGNMENT, format.alignment);
    glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(format.format), kPageWidth, kPageHeight, 0, format.format,
                 format.type, clear.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    m_pages.push_back(texture);
    const auto after = m_freeCursor == m_free.end() ? m_free.end() : std::next(m_freeCursor);
    m_freeCursor = m_free.insert(after, GateAtlasEntry{texture, 0, 0, kPageWidth, kPageHeight});
    return texture;
}

const GateAtlasEntry* GateTextureAtlas::Allocate(int width, int height, const void* pixels, int depth)
{
    PixelFormat format{};
    if (width <= 0 || height <= 0 || width > kPageWidth || height > kPageHeight || !pixels) {
        IxTrace(u"[3dGate Error]  image of %dx%d does not fit a texture page \n", width, height);
        return nullptr;
    }
    if (!FormatOf(depth, format) || (m_depth != 0 && depth != m_depth)) {
        IxTrace(u"[3dGate Error]  unconsistent bpp management ! \n");
        return nullptr;
    }
    // First fit, from the cursor round to where the search began.
    auto found = m_free.end();
    if (!m_free.empty()) {
        auto it = m_freeCursor == m_free.end() ? m_free.begin() : m_freeCursor;
        const auto start = it;
        do {
            if (it->width >= width && it->height >= height) {
                found = it;
                break;
            }
            if (++it == m_free.end())
                it = m_free.begin();
        } while (it != start);
    }
    if (found == m_free.end()) {
        if (NewPage(depth) == 0)
            return nullptr;
        found = m_freeCursor;
    }
    const GateAtlasEntry f = *found;
    // The rest of the free rectangle: right of the image (the image's height)
    // and below it (the full width). Empty rests are not kept.
    if (f.width > width)
        m_free.insert(found, GateAtlasEntry{f.texture, f.x + width, f.y, f.width - width, height});
    if (f.height > height)
        m_free.insert(found, GateAtlasEntry{f.texture, f.x, f.y + height, f.width, f.height - height});
    auto next = m_free.erase(found);
    if (next == m_free.end() && !m_free.empty())
        next = std::prev(m_free.end());
    m_freeCursor = next;
    m_used.push_back(GateAtlasEntry{f.texture, f.x, f.y, width, height});

    glPixelStorei(GL_UNPACK_ALIGNMENT, format.alignment);
    glBindTexture(GL_TEXTURE_2D, f.texture);
    glTexSubImage2D(GL_TEXTURE_2D, 0, f.x, f.y, width, height, format.format, format.type, pixels);
    glBindTexture(GL_TEXTURE_2D, 0);
    return &m_used.back();
}

void GateTextureAtlas::Reset()
{
    if (!m_pages.empty())
        glDeleteTextures(static_cast<GLsizei>(m_pages.size()), m_pages.data());
    m_pages.clear();
    m_used.clear();
    m_free.clear();
    m_freeCursor = m_free.end();
    m_depth = 0;
}

} // namespace gate
