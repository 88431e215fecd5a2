#include "assets/Canvas.h"

#include <cairo-ft.h>
#include <cairo.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <charconv>
#include <cmath>
#include <fstream>
#include <map>

namespace assets {
namespace {

FT_Library g_library = nullptr;
struct Face {
    FT_Face ft = nullptr;
    cairo_font_face_t* cairo = nullptr;
};
Face g_regular;
Face g_bold;
Face g_icons;
std::map<std::string, unsigned> g_iconCodes;

bool LoadFace(const char* path, Face& face)
{
    if (FT_New_Face(g_library, path, 0, &face.ft) != 0)
        return false;
    face.cairo = cairo_ft_font_face_create_for_ft_face(face.ft, 0);
    return face.cairo != nullptr;
}

void ReleaseFace(Face& face)
{
    if (face.cairo)
        cairo_font_face_destroy(face.cairo);
    if (face.ft)
        FT_Done_Face(face.ft);
    face = Face{};
}

// The icon font's names come from its stylesheet variables, one a line:
//   "name": e03e,
bool LoadIconNames(const char* path)
{
    std::ifstream file(path);
    if (!file)
        return false;
    std::string line;
    while (std::getline(file, line)) {
        const auto open = line.find('"');
        const auto close = open == std::string::npos ? open : line.find('"', open + 1);
        const auto colon = close == std::string::npos ? close : line.find(':', close);
        if (colon == std::string::npos)
            continue;
        const char* first = line.c_str() + colon + 1;
        while (*first == ' ' || *first == '\t')
            ++first;
        unsigned code = 0;
        const auto result = std::from_chars(first, line.c_str() + line.size(), code, 16);
        if (result.ec == std::errc() && result.ptr - first >= 4)
            g_iconCodes.emplace(line.substr(open + 1, close - open - 1), code);
    }
    return !g_iconCodes.empty();
}

std::string Utf8(unsigned code)
{
    std::string out;
    if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    }
    out += static_cast<char>(0x80 | (code & 0x3F));
    return out;
}

} // namespace

ButtonState StateOfFrame(int frame)
{
    return frame >= 0 && frame <= 5 ? static_cast<ButtonState>(frame) : ButtonState::Normal;
}

ButtonState StateNamed(const std::string& name)
{
    static const std::map<std::string, ButtonState> kNames = {
        {"pressed", ButtonState::Pressed},
        {"touch", ButtonState::Pressed},
        {"on", ButtonState::Pressed},
        {"disabled", ButtonState::Disabled},
        {"selected", ButtonState::Selected},
        {"select", ButtonState::Selected},
        {"selected-pressed", ButtonState::SelectedPressed},
        {"current", ButtonState::Current},
    };
    const auto found = kNames.find(name);
    return found == kNames.end() ? ButtonState::Normal : found->second;
}

bool LoadFaces(const char* regular, const char* bold, const char* icons, const char* iconNames)
{
    if (FT_Init_FreeType(&g_library) != 0)
        return false;
    return LoadFace(regular, g_regular) && LoadFace(bold, g_bold) && LoadFace(icons, g_icons)
        && LoadIconNames(iconNames);
}

void ReleaseFaces()
{
    ReleaseFace(g_regular);
    ReleaseFace(g_bold);
    ReleaseFace(g_icons);
    if (g_library)
        FT_Done_FreeType(g_library);
    g_library = nullptr;
    g_iconCodes.clear();
}

void SetColour(cairo_t* cr, unsigned rgb, double alpha)
{
    cairo_set_source_rgba(cr, ((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0, (rgb & 0xFF) / 255.0, alpha);
}

unsigned Mix(unsigned from, unsigned to, double t)
{
    unsigned out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const double a = (from >> shift) & 0xFF;
        const double b = (to >> shift) & 0xFF;
        out |= static_cast<unsigned>(std::lround(a + (b - a) * t)) << shift;
    }
    return out;
}

void RoundedRectangle(cairo_t* cr, double x, double y, double w, double h, double r)
{
    r = std::fmin(r, std::fmin(w, h) / 2);
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -M_PI / 2, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, M_PI / 2);
    cairo_arc(cr, x + r, y + h - r, r, M_PI / 2, M_PI);
    cairo_arc(cr, x + r, y + r, r, M_PI, 3 * M_PI / 2);
    cairo_close_path(cr);
}

void SetVerticalGradient(cairo_t* cr, double y0, double y1, unsigned top, unsigned bottom, double alpha)
{
    cairo_pattern_t* pattern = cairo_pattern_create_linear(0, y0, 0, y1);
    cairo_pattern_add_color_stop_rgba(pattern, 0, ((top >> 16) & 0xFF) / 255.0, ((top >> 8) & 0xFF) / 255.0,
                                      (top & 0xFF) / 255.0, alpha);
    cairo_pattern_add_color_stop_rgba(pattern, 1, ((bottom >> 16) & 0xFF) / 255.0, ((bottom >> 8) & 0xFF) / 255.0,
                                      (bottom & 0xFF) / 255.0, alpha);
    cairo_set_source(cr, pattern);
    cairo_pattern_destroy(pattern);
}

void CentredText(cairo_t* cr, const std::string& text, double size, double cx, double cy, unsigned rgb, Weight weight,
                 double maxWidth)
{
    const Face& face = weight == Weight::Bold ? g_bold : g_regular;
    if (!face.cairo || text.empty())
        return;
    cairo_set_font_face(cr, face.cairo);
    cairo_set_font_size(cr, size);
    cairo_text_extents_t extents;
    cairo_text_extents(cr, text.c_str(), &extents);
    if (maxWidth > 0 && extents.width > maxWidth) {
        size *= maxWidth / extents.width;
        cairo_set_font_size(cr, size);
        cairo_text_extents(cr, text.c_str(), &extents);
    }
    // Centre on the cap height so that Latin and Hangul sit alike.
    SetColour(cr, rgb);
    cairo_move_to(cr, cx - extents.width / 2 - extents.x_bearing, cy + size * 0.36);
    cairo_show_text(cr, text.c_str());
}

void BaselineText(cairo_t* cr, const std::string& text, double size, double cx, double y, unsigned rgb, Weight weight)
{
    const Face& face = weight == Weight::Bold ? g_bold : g_regular;
    if (!face.cairo || text.empty())
        return;
    cairo_set_font_face(cr, face.cairo);
    cairo_set_font_size(cr, size);
    cairo_text_extents_t extents;
    cairo_text_extents(cr, text.c_str(), &extents);
    SetColour(cr, rgb);
    cairo_move_to(cr, cx - extents.width / 2 - extents.x_bearing, y);
    cairo_show_text(cr, text.c_str());
}

bool IconKnown(const std::string& name)
{
    return g_iconCodes.count(name) != 0;
}

bool Icon(cairo_t* cr, const std::string& name, double size, double cx, double cy, unsigned rgb, double alpha)
{
    const auto found = g_iconCodes.find(name);
    if (found == g_iconCodes.end() || !g_icons.cairo)
        return false;
    const std::string glyph = Utf8(found->second);
    cairo_set_font_face(cr, g_icons.cairo);
    cairo_set_font_size(cr, size);
    // The icons fill an em square: its top is `size` above the baseline.
    SetColour(cr, rgb, alpha);
    cairo_move_to(cr, cx - size / 2, cy + size / 2);
    cairo_show_text(cr, glyph.c_str());
    return true;
}

} // namespace assets
