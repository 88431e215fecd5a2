#include "assets/Drawing.h"

#include <cairo-ft.h>
#include <cairo.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cmath>

namespace assets {
namespace {

FT_Library g_library = nullptr;
FT_Face g_face = nullptr;
cairo_font_face_t* g_cairoFace = nullptr;

void SetColour(cairo_t* cr, unsigned rgb, double alpha = 1.0)
{
    cairo_set_source_rgba(cr, ((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0, (rgb & 0xFF) / 255.0, alpha);
}

void RoundedRectangle(cairo_t* cr, double x, double y, double w, double h, double r)
{
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -M_PI / 2, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, M_PI / 2);
    cairo_arc(cr, x + r, y + h - r, r, M_PI / 2, M_PI);
    cairo_arc(cr, x + r, y + r, r, M_PI, 3 * M_PI / 2);
    cairo_close_path(cr);
}

// Text centred on (cx, baseline y).
void CentredText(cairo_t* cr, const char* text, double size, double cx, double y, unsigned rgb)
{
    if (!g_cairoFace)
        return;
    cairo_set_font_face(cr, g_cairoFace);
    cairo_set_font_size(cr, size);
    cairo_text_extents_t extents;
    cairo_text_extents(cr, text, &extents);
    SetColour(cr, rgb);
    cairo_move_to(cr, cx - extents.width / 2 - extents.x_bearing, y);
    cairo_show_text(cr, text);
}

// The updater's colours. The busy frames are copied opaque onto the panel,
// so they share its body colour.
constexpr unsigned kScreen = 0x000000;
constexpr unsigned kPanelBody = 0x1B2633;
constexpr unsigned kPanelHeader = 0x26384E;
constexpr unsigned kPanelEdge = 0x46627F;
constexpr unsigned kHeaderText = 0xD5E3F0;
constexpr unsigned kSpinnerHead = 0x4FC3F7;
constexpr unsigned kSpinnerTail = 0x2C3E52;

} // namespace

bool LoadTextFace(const char* fontPath)
{
    if (FT_Init_FreeType(&g_library) != 0)
        return false;
    if (FT_New_Face(g_library, fontPath, 0, &g_face) != 0)
        return false;
    g_cairoFace = cairo_ft_font_face_create_for_ft_face(g_face, 0);
    return g_cairoFace != nullptr;
}

void ReleaseTextFace()
{
    if (g_cairoFace)
        cairo_font_face_destroy(g_cairoFace);
    g_cairoFace = nullptr;
    if (g_face)
        FT_Done_Face(g_face);
    g_face = nullptr;
    if (g_library)
        FT_Done_FreeType(g_library);
    g_library = nullptr;
}

void DrawUpdaterPanel(cairo_t* cr, int width, int height, int)
{
    SetColour(cr, kScreen);
    cairo_paint(cr);
    // The panel body with a header band.
    RoundedRectangle(cr, 3, 3, width - 6, height - 6, 14);
    SetColour(cr, kPanelBody);
    cairo_fill_preserve(cr);
    cairo_save(cr);
    cairo_clip(cr);
    cairo_rectangle(cr, 0, 0, width, 40);
    SetColour(cr, kPanelHeader);
    cairo_fill(cr);
    cairo_restore(cr);
    RoundedRectangle(cr, 3, 3, width - 6, height - 6, 14);
    cairo_set_line_width(cr, 2);
    SetColour(cr, kPanelEdge);
    cairo_stroke(cr);
    cairo_move_to(cr, 4, 40.5);
    cairo_line_to(cr, width - 4, 40.5);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    CentredText(cr, "SYSTEM UPDATE", 18, width / 2.0, 27, kHeaderText);
    // The trough of the progress bar (the bar fills 63, 276, 472 x 20).
    cairo_rectangle(cr, 61, 274, 476, 24);
    SetColour(cr, kPanelEdge);
    cairo_fill(cr);
    cairo_rectangle(cr, 63, 276, 472, 20);
    SetColour(cr, kScreen);
    cairo_fill(cr);
}

void DrawUpdaterBusyFrame(cairo_t* cr, int width, int height, int frame)
{
    SetColour(cr, kPanelBody);
    cairo_paint(cr);
    constexpr int kDots = 9;
    const double cx = width / 2.0;
    const double cy = height / 2.0;
    const double radius = std::fmin(width, height) / 2.0 - 14;
    for (int k = 0; k < kDots; ++k) {
        // The head is dot `frame`; the dots behind it fade out.
        const int behind = ((frame - k) % kDots + kDots) % kDots;
        const double t = 1.0 - behind / static_cast<double>(kDots - 1);
        const double angle = -M_PI / 2 + k * 2 * M_PI / kDots;
        const double dot = 5.0 + 4.0 * t;
        const unsigned r
            = static_cast<unsigned>(((kSpinnerTail >> 16) & 0xFF) * (1 - t) + ((kSpinnerHead >> 16) & 0xFF) * t);
        const unsigned g
            = static_cast<unsigned>(((kSpinnerTail >> 8) & 0xFF) * (1 - t) + ((kSpinnerHead >> 8) & 0xFF) * t);
        const unsigned b = static_cast<unsigned>((kSpinnerTail & 0xFF) * (1 - t) + (kSpinnerHead & 0xFF) * t);
        SetColour(cr, (r << 16) | (g << 8) | b);
        cairo_arc(cr, cx + radius * std::cos(angle), cy + radius * std::sin(angle), dot, 0, 2 * M_PI);
        cairo_fill(cr);
    }
}

void DrawUpdaterBar(cairo_t* cr, int width, int height, int)
{
    // Stretched sideways to the percentage: the shading runs top to bottom
    // only, so any width looks the same.
    cairo_pattern_t* shade = cairo_pattern_create_linear(0, 0, 0, height);
    cairo_pattern_add_color_stop_rgb(shade, 0.0, 0x9B / 255.0, 0xE0 / 255.0, 0xFF / 255.0);
    cairo_pattern_add_color_stop_rgb(shade, 0.45, 0x29 / 255.0, 0x9B / 255.0, 0xF0 / 255.0);
    cairo_pattern_add_color_stop_rgb(shade, 1.0, 0x0D / 255.0, 0x5C / 255.0, 0xB0 / 255.0);
    cairo_rectangle(cr, 0, 0, width, height);
    cairo_set_source(cr, shade);
    cairo_fill(cr);
    cairo_pattern_destroy(shade);
}

} // namespace assets
