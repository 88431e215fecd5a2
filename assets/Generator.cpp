// wrenassets: draws every file of the manifest into a folder that stands for
// the unit root.
//
//   wrenassets MANIFEST OUTPUT_FOLDER [--sheets SHEET_FOLDER]
//       draw everything under OUTPUT_FOLDER; with --sheets also write one
//       contact sheet per folder (every picture with its name) as PNG
//   wrenassets MANIFEST --list
//       print the manifest (unit path, size, frames)
#include "assets/Canvas.h"
#include "assets/Drawing.h"
#include "assets/Manifest.h"
#include "assets/Sound.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace {

using assets::AssetFormat;
using assets::ManifestEntry;

void PutLe(std::vector<unsigned char>& out, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

// A 24-bit bottom-up uncompressed BMP of the surface (opaque pixels).
bool WriteBmp(cairo_surface_t* surface, const std::string& path)
{
    const int width = cairo_image_surface_get_width(surface);
    const int height = cairo_image_surface_get_height(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const int rowBytes = (width * 3 + 3) & ~3;
    std::vector<unsigned char> out;
    out.reserve(54 + static_cast<std::size_t>(rowBytes) * height);
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

// A keyed bitmap: what is mostly transparent becomes the key, the rest opaque.
void ApplyColourKey(cairo_surface_t* surface)
{
    cairo_surface_flush(surface);
    const int width = cairo_image_surface_get_width(surface);
    const int height = cairo_image_surface_get_height(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(data + y * stride);
        for (int x = 0; x < width; ++x) {
            const std::uint32_t alpha = row[x] >> 24;
            if (alpha < 128) {
                row[x] = 0xFF000000u | assets::theme::kKey;
                continue;
            }
            std::uint32_t out = 0xFF000000u;
            for (int shift = 0; shift <= 16; shift += 8)
                out |= std::min<std::uint32_t>(255, ((row[x] >> shift) & 0xFF) * 255 / alpha) << shift;
            row[x] = out;
        }
    }
    cairo_surface_mark_dirty(surface);
}

cairo_surface_t* Draw(const ManifestEntry& entry, assets::Drawing drawing)
{
    const bool alpha = entry.format == AssetFormat::PngAlpha || entry.format == AssetFormat::BmpKeyed;
    cairo_surface_t* surface = cairo_image_surface_create(alpha ? CAIRO_FORMAT_ARGB32 : CAIRO_FORMAT_RGB24,
                                                          entry.width * entry.frames, entry.height);
    cairo_t* cr = cairo_create(surface);
    for (int i = 0; i < entry.frames; ++i) {
        cairo_save(cr);
        cairo_translate(cr, entry.width * i, 0);
        cairo_rectangle(cr, 0, 0, entry.width, entry.height);
        cairo_clip(cr);
        drawing(cr, assets::Frame{entry.width, entry.height, i, entry});
        cairo_restore(cr);
    }
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    if (entry.format == AssetFormat::BmpKeyed)
        ApplyColourKey(surface);
    return surface;
}

struct SheetItem {
    std::string name;
    std::string size;
    cairo_surface_t* picture; // nullptr for a sound
};

// One contact sheet: every picture of a folder on a grey checkerboard (so
// that transparency shows), scaled to fit its tile, with its name and size.
bool WriteSheet(const std::string& folder, const std::vector<SheetItem>& items, const std::string& path)
{
    constexpr int kColumns = 4;
    constexpr int kTileW = 320;
    constexpr int kTileH = 220;
    constexpr int kPictureW = 300;
    constexpr int kPictureH = 170;
    constexpr int kHeader = 44;
    const int rows = static_cast<int>((items.size() + kColumns - 1) / kColumns);
    cairo_surface_t* sheet = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kColumns * kTileW, kHeader + rows * kTileH);
    cairo_t* cr = cairo_create(sheet);
    assets::SetColour(cr, 0x30343A);
    cairo_paint(cr);
    std::string title = folder;
    for (char& c : title)
        c = c == '\\' ? '/' : c;
    assets::BaselineText(cr, title, 20, kColumns * kTileW / 2.0, 30, 0xFFFFFF, assets::Weight::Bold);
    for (std::size_t i = 0; i < items.size(); ++i) {
        const double x = static_cast<double>(i % kColumns) * kTileW;
        const double y = kHeader + static_cast<double>(i / kColumns) * kTileH;
        for (int cy = 0; cy < kPictureH; cy += 10)
            for (int cx = 0; cx < kPictureW; cx += 10) {
                cairo_rectangle(cr, x + 10 + cx, y + 4 + cy, 10, 10);
                assets::SetColour(cr, ((cx + cy) / 10) % 2 ? 0x5A5F66 : 0x484C52);
                cairo_fill(cr);
            }
        if (items[i].picture) {
            const int w = cairo_image_surface_get_width(items[i].picture);
            const int h = cairo_image_surface_get_height(items[i].picture);
            const double scale
                = std::min({2.0, static_cast<double>(kPictureW) / w, static_cast<double>(kPictureH) / h});
            cairo_save(cr);
            cairo_translate(cr, x + 10 + (kPictureW - w * scale) / 2, y + 4 + (kPictureH - h * scale) / 2);
            cairo_scale(cr, scale, scale);
            cairo_set_source_surface(cr, items[i].picture, 0, 0);
            cairo_paint(cr);
            cairo_restore(cr);
        }
        assets::BaselineText(cr, items[i].name, 14, x + kTileW / 2.0, y + kPictureH + 24, 0xFFFFFF);
        assets::BaselineText(cr, items[i].size, 12, x + kTileW / 2.0, y + kPictureH + 41, 0xB0B8C0);
    }
    cairo_destroy(cr);
    const bool ok = cairo_surface_write_to_png(sheet, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(sheet);
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    const bool sheets = argc == 5 && std::strcmp(argv[3], "--sheets") == 0;
    if (argc != 3 && !sheets) {
        std::fprintf(stderr, "usage: wrenassets MANIFEST OUTPUT_FOLDER [--sheets SHEET_FOLDER] | MANIFEST --list\n");
        return 2;
    }
    std::vector<ManifestEntry> entries;
    std::string error;
    if (!assets::ReadManifest(argv[1], entries, error)) {
        std::fprintf(stderr, "wrenassets: %s\n", error.c_str());
        return 1;
    }
    if (std::strcmp(argv[2], "--list") == 0) {
        for (const ManifestEntry& entry : entries)
            std::printf("%s %dx%d x%d\n", entry.unitPath.c_str(), entry.width, entry.height, entry.frames);
        return 0;
    }
    if (!assets::LoadFaces(WREN_ASSET_FONT, WREN_ASSET_FONT_BOLD, WREN_ASSET_ICON_FONT, WREN_ASSET_ICON_NAMES)) {
        std::fprintf(stderr, "wrenassets: cannot load the fonts\n");
        return 1;
    }
    const std::filesystem::path root = argv[2];
    std::map<std::string, std::vector<SheetItem>> folders;
    int failures = 0;
    for (const ManifestEntry& entry : entries) {
        const std::filesystem::path path = root / entry.HostRelativePath();
        std::error_code ignored;
        std::filesystem::create_directories(path.parent_path(), ignored);
        const std::string name = path.string();
        const std::string folder = entry.unitPath.substr(0, entry.unitPath.rfind('\\') + 1);
        const std::string leaf = entry.unitPath.substr(folder.size());
        bool ok = false;
        if (entry.format == AssetFormat::Wav) {
            ok = assets::WriteChime(name, entry.width, entry.height);
            if (sheets)
                folders[folder].push_back({leaf, "sound, " + std::to_string(entry.height) + " ms", nullptr});
        } else {
            const assets::Drawing drawing = assets::FindDrawing(entry.drawing);
            if (!drawing) {
                std::fprintf(stderr, "wrenassets: line %d: no drawing '%s'\n", entry.line, entry.drawing.c_str());
                ++failures;
                continue;
            }
            const std::string icon = entry.Arg("icon");
            if (!icon.empty() && !assets::IconKnown(icon)) {
                std::fprintf(stderr, "wrenassets: line %d: no icon '%s'\n", entry.line, icon.c_str());
                ++failures;
                continue;
            }
            cairo_surface_t* surface = Draw(entry, drawing);
            if (entry.format == AssetFormat::Bmp || entry.format == AssetFormat::BmpKeyed)
                ok = WriteBmp(surface, name);
            else
                ok = cairo_surface_write_to_png(surface, name.c_str()) == CAIRO_STATUS_SUCCESS;
            if (sheets) {
                std::string size = std::to_string(entry.width) + "x" + std::to_string(entry.height);
                if (entry.frames > 1)
                    size += ", " + std::to_string(entry.frames) + " frames";
                folders[folder].push_back({leaf, size, surface});
            } else {
                cairo_surface_destroy(surface);
            }
        }
        if (!ok) {
            std::fprintf(stderr, "wrenassets: cannot write %s\n", name.c_str());
            ++failures;
        }
    }
    if (sheets) {
        std::filesystem::create_directories(argv[4]);
        for (const auto& [folder, items] : folders) {
            std::string file;
            for (char c : folder)
                file += c == '\\' || c == ' ' ? '_' : c;
            file = file.substr(1, file.size() - 2) + ".png";
            if (!WriteSheet(folder, items, (std::filesystem::path(argv[4]) / file).string()))
                ++failures;
            for (const SheetItem& item : items)
                if (item.picture)
                    cairo_surface_destroy(item.picture);
        }
    }
    assets::ReleaseFaces();
    cairo_debug_reset_static_data();
    return failures == 0 ? 0 : 1;
}
