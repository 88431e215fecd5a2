// An image of the 3D menu as a region of a texture page: AddTexture reads
// the file, decodes it (GateDecoder.h) and uploads the pixels into the atlas
// of their depth; Bind and Unbind set the region's texture coordinates for a
// draw. The background texture has an atlas of its own, so that it can be
// emptied and filled again when the user's background picture changes.
#pragma once

#include "Source/gate/GateTextureAtlas.h"
#include "platform/base/Types.h"
#include "platform/io/File.h"

#include <cstdint>
#include <string>
#include <vector>

namespace gate {

class GateTexture {
public:
    GateTexture() = default;
    GateTexture(const GateTexture&) = delete;
    GateTexture& operator=(const GateTexture&) = delete;
    virtual ~GateTexture() = default;

    // Loads the image file: path is below "\NAND\Wren\" unless absolute.
    // 1 on success; 0 after logging why (the texture then has no region).
    // Loading the path it already holds from "\NAND\Wren" again is refused.
    BOOL AddTexture(const std::string& path, BOOL absolute);
    // Places the decoded pixels (m_bpp bits each) and keeps their region.
    virtual BOOL Upload(const std::uint8_t* pixels, int width, int height);

    // Texture coordinates of count vertices from their unit coordinates
    // (u, v pairs), the page bound and the coordinate array on. Logs and
    // does nothing without a region.
    void Bind(const float* unitCoords, int count);
    void Unbind();

    const std::string& Path() const { return m_path; }
    const GateAtlasEntry* Entry() const { return m_entry; }

    // The shared atlas of a depth (16, 24 or 32), null for another.
    static GateTextureAtlas* Atlas(int depth);
    // Empties the shared atlases (GL lock held, context current): every
    // texture loaded into them must be forgotten first.
    static void ResetAtlases();

protected:
    std::string m_path; // resolved
    int m_bpp = 0;      // of the pixels being loaded
    const GateAtlasEntry* m_entry = nullptr;
    std::vector<float> m_coords;
};

class GateBackgroundTexture : public GateTexture {
public:
    BOOL Upload(const std::uint8_t* pixels, int width, int height) override;
    // Reloads the picture when BackgroundChanged says so: 1 when it did.
    BOOL ReloadBackground(const std::string& path);
    // Whether path needs loading: another path than the held one, or the
    // held user background ("\User_BG.bmp") written since it was last seen.
    BOOL BackgroundChanged(const std::string& path);

    GateTextureAtlas& Atlas() { return m_atlas; }

private:
    GateTextureAtlas m_atlas;
    FILETIME m_fileTime{};
    bool m_seenTime = false;
};

// The file's bytes through the unit's paths; false when it cannot be read
// or is larger than any image the menu takes.
bool GateReadFile(const std::string& unitPath, std::vector<std::uint8_t>& bytes);

} // namespace gate
