// wrenassets: draws every picture of the manifest into a folder that stands
// for the unit root.
//
//   wrenassets OUTPUT_FOLDER   draw everything under OUTPUT_FOLDER
//   wrenassets --list          print the manifest (path, width, height)
#include "assets/Drawing.h"
#include "assets/Manifest.h"

#include <cairo.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

void PutLe(std::vector<unsigned char>& out, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

// A 24-bit bottom-up BMP of the surface (which is opaque).
bool WriteBmp(cairo_surface_t* surface, const std::string& path)
{
    const int width = cairo_image_surface_get_width(surface);
    const int height = cairo_image_surface_get_height(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const int rowBytes = (width * 3 + 3) & ~3;
    std::vector<unsigned char> out;
    out.push_back('B');
    out.push_back('M');
    PutLe(out, 54 + rowBytes * height, 4);
    PutLe(out, 0, 4);
    PutLe(out, 54, 4);
    PutLe(out, 40, 4);
    PutLe(out, width, 4);
    PutLe(out, height, 4);
    PutLe(out, 1, 2);
    PutLe(out, 24, 2);
    PutLe(out, 0, 4);
    PutLe(out, rowBytes * height, 4);
    PutLe(out, 2835, 4);
    PutLe(out, 2835, 4);
    PutLe(out, 0, 4);
    PutLe(out, 0, 4);
    for (int y = height - 1; y >= 0; --y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(data + y * stride);
        for (int x = 0; x < width; ++x) {
            out.push_back(static_cast<unsigned char>(row[x]));
            out.push_back(static_cast<unsigned char>(row[x] >> 8));
            out.push_back(static_cast<unsigned char>(row[x] >> 16));
        }
        for (int pad = width * 3; pad < rowBytes; ++pad)
            out.push_back(0);
    }
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
    return static_cast<bool>(file);
}

bool EndsWith(const std::string& text, const char* suffix)
{
    const std::size_t n = std::strlen(suffix);
    return text.size() >= n && text.compare(text.size() - n, n, suffix) == 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2 || std::strcmp(argv[1], "--help") == 0) {
        std::fprintf(stderr, "usage: wrenassets OUTPUT_FOLDER | --list\n");
        return 2;
    }
    if (std::strcmp(argv[1], "--list") == 0) {
        for (std::size_t i = 0; i < assets::kManifestSize; ++i)
            std::printf("%s %dx%d\n", assets::kManifest[i].path, assets::kManifest[i].width,
                        assets::kManifest[i].height);
        return 0;
    }
    if (!assets::LoadTextFace(WREN_ASSET_FONT)) {
        std::fprintf(stderr, "wrenassets: cannot load %s\n", WREN_ASSET_FONT);
        return 1;
    }
    const std::filesystem::path root = argv[1];
    int failures = 0;
    for (std::size_t i = 0; i < assets::kManifestSize; ++i) {
        const assets::AssetEntry& entry = assets::kManifest[i];
        cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, entry.width, entry.height);
        cairo_t* cr = cairo_create(surface);
        entry.draw(cr, entry.width, entry.height, entry.arg);
        cairo_destroy(cr);
        cairo_surface_flush(surface);
        const std::filesystem::path path = root / entry.path;
        std::error_code error;
        std::filesystem::create_directories(path.parent_path(), error);
        const std::string name = path.string();
        bool ok = false;
        if (EndsWith(name, ".bmp"))
            ok = WriteBmp(surface, name);
        else if (EndsWith(name, ".png"))
            ok = cairo_surface_write_to_png(surface, name.c_str()) == CAIRO_STATUS_SUCCESS;
        cairo_surface_destroy(surface);
        if (!ok) {
            std::fprintf(stderr, "wrenassets: cannot write %s\n", name.c_str());
            ++failures;
        }
    }
    assets::ReleaseTextFace();
    cairo_debug_reset_static_data();
    return failures == 0 ? 0 : 1;
}
