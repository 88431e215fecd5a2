#include "Source/gate/GateTexture.h"

#include "Lib_cpp/core/Diag.h"
#include "Source/gate/GateDecoder.h"
#include "Source/gate/GateGL.h"
#include "platform/base/Text.h"
#include "platform/io/File.h"
#include "platform/io/Io.h"

#include <EGL/egl.h>

namespace gate {
namespace {

// The largest file read: an uncompressed 1024x1024 image of 32 bits with
// room for its headers, or a PNG of the same.
constexpr std::size_t kMaxFileSize = 8u * 1024 * 1024;

const std::string kUnitFolder = "\\NAND\\Wren";
const std::string kUserBackground = "\\User_BG.bmp";

struct SharedAtlases {
    GateTextureAtlas depth16, depth24, depth32;
};

SharedAtlases& Shared()
{
    static SharedAtlases atlases;
    return atlases;
}

bool ContextCurrent()
{
    return eglGetCurrentContext() != EGL_NO_CONTEXT;
}

} // namespace

bool GateReadFile(const std::string& unitPath, std::vector<std::uint8_t>& bytes)
{
    bytes.clear();
    const std::u16string wide = platform::FromUtf8(unitPath);
    HANDLE file = CreateFileW(reinterpret_cast<LPCWSTR>(wide.c_str()), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD high = 0;
    const DWORD low = GetFileSize(file, &high);
    bool ok = high == 0 && low != INVALID_FILE_SIZE && low <= kMaxFileSize;
    if (ok) {
        bytes.resize(low);
        DWORD read = 0;
        ok = low == 0 || (ReadFile(file, bytes.data(), low, &read, nullptr) && read == low);
    }
    CloseHandle(file);
    if (!ok)
        bytes.clear();
    return ok;
}

GateTextureAtlas* GateTexture::Atlas(int depth)
{
    switch (depth) {
    case 16:
        return &Shared().depth16;
    case 24:
        return &Shared().depth24;
    case 32:
        return &Shared().depth32;
    default:
        return nullptr;
    }
}

void GateTexture::ResetAtlases()
{
    auto lock = GateGL::Lock();
    Shared().depth16.Reset();
    Shared().depth24.Reset();
    Shared().depth32.Reset();
}

BOOL GateTexture::AddTexture(const std::string& path, BOOL absolute)
{
    if (!m_path.empty() && m_path == path && m_path.compare(0, kUnitFolder.size(), kUnitFolder) == 0) {
        IxTrace(u"[3dGate] Warning : already this function was called \r\n");
        return FALSE;
    }
    std::string resolved = absolute ? path : kUnitFolder + "\\";
    if (!absolute)
        resolved.append(path);
    m_path = resolved;
    const std::u16string shown = platform::FromUtf8(resolved);
    bool hasDot = false;
    const GateImageFormat format = GateFormatOf(path, &hasDot);
    if (!hasDot) {
        IxTrace(u"[3dGate] Error : Can not find dot of  Image File \r\n");
        return FALSE;
    }
    if (format == GateImageFormat::Unknown) {
        IxTrace(u"[3dGate] Error : Unknown Image File Format \r\n");
        IxTrace(u"[3dGate] Error : Image File Open Fail (%s) \r\n", shown);
        return FALSE;
    }
    std::vector<std::uint8_t> bytes;
    GateImageData image;
    if (!GateReadFile(resolved, bytes) || !GateDecode(format, bytes.data(), bytes.size(), image)) {
        IxTrace(u"[3dGate] Error : Image File Open Fail (%s) \r\n", shown);
        return FALSE;
    }
    bytes.clear();
    m_bpp = image.bpp;
    const BOOL uploaded = Upload(image.pixels.data(), image.width, image.height);
    m_bpp = 0;
    return uploaded;
}

BOOL GateTexture::Upload(const std::uint8_t* pixels, int width, int height)
{
    GateTextureAtlas* atlas = Atlas(m_bpp);
    if (!atlas) {
        IxTrace(u"[3Dgate Error] do not support Texture Depth\n");
        return FALSE;
    }
    auto lock = GateGL::Lock();
    if (!ContextCurrent()) {
        IxTrace(u"[3Dgate Error] no GL context for (%s)\n", platform::FromUtf8(m_path));
        return FALSE;
    }
    m_entry = atlas->Allocate(width, height, pixels, m_bpp);
    // Whole before another context draws with it.
    glFinish();
    return m_entry ? TRUE : FALSE;
}

void GateTexture::Bind(const float* unitCoords, int count)
{
    if (!m_entry) {
        IxTrace(u"[3Dgate Error] No Image : (%s) \r\n", platform::FromUtf8(m_path));
        return;
    }
    m_coords.resize(static_cast<std::size_t>(count) * 2);
    for (int i = 0; i < count; ++i) {
        const float cu = unitCoords[i * 2];
        const float cv = unitCoords[i * 2 + 1];
        m_coords[i * 2] = (static_cast<float>(m_entry->x) + static_cast<float>(m_entry->width) * cu)
            / static_cast<float>(GateTextureAtlas::kPageWidth);
        m_coords[i * 2 + 1] = (static_cast<float>(m_entry->y) + static_cast<float>(m_entry->height) * cv)
            / static_cast<float>(GateTextureAtlas::kPageHeight);
    }
    glBindTexture(GL_TEXTURE_2D, m_entry->texture);
    glTexCoordPointer(2, GL_FLOAT, 0, m_coords.data());
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
}

void GateTexture::Unbind()
{
    if (!m_entry)
        return;
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glBindTexture(GL_TEXTURE_2D, 0);
}

BOOL GateBackgroundTexture::Upload(const std::uint8_t* pixels, int width, int height)
{
    if (m_bpp != 16 && m_bpp != 24 && m_bpp != 32) {
        IxTrace(u"[3Dgate Error] do not support Texture Depth\n");
        return FALSE;
    }
    auto lock = GateGL::Lock();
    if (!ContextCurrent()) {
        IxTrace(u"[3Dgate Error] no GL context for (%s)\n", platform::FromUtf8(m_path));
        return FALSE;
    }
    m_entry = m_atlas.Allocate(width, height, pixels, m_bpp);
    glFinish();
    return m_entry ? TRUE : FALSE;
}

BOOL GateBackgroundTexture::BackgroundChanged(const std::string& path)
{
    if (m_path.empty() || m_path != path)
        return TRUE;
    if (path.size() < kUserBackground.size()
        || path.compare(path.size() - kUserBackground.size(), kUserBackground.size(), kUserBackground) != 0)
        return FALSE;
    const std::u16string wide = platform::FromUtf8(path);
    HANDLE file = CreateFileW(reinterpret_cast<LPCWSTR>(wide.c_str()), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        IxTrace(u"!!! [3d gate] warning  : failed to open file\r\n");
        return FALSE;
    }
    FILETIME written{};
    const BOOL fetched = GetFileTime(file, nullptr, nullptr, &written);
    CloseHandle(file);
    if (!m_seenTime) {
        if (!fetched)
            return FALSE;
        m_seenTime = true;
        m_fileTime = written;
        return TRUE;
    }
    if (!fetched || CompareFileTime(&written, &m_fileTime) == 0)
        return FALSE;
    m_fileTime = written;
    return TRUE;
}

BOOL GateBackgroundTexture::ReloadBackground(const std::string& path)
{
    if (path.empty() || !BackgroundChanged(path))
        return FALSE;
    {
        auto lock = GateGL::Lock();
        if (ContextCurrent())
            m_atlas.Reset();
        m_entry = nullptr;
    }
    AddTexture(path, TRUE);
    return TRUE;
}

} // namespace gate
