#include "assets/Drawing.h"

#include "assets/Canvas.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <map>

namespace assets {
namespace {

using namespace theme;

// The state of a frame: its own index in a multi-frame file, else the
// "state" argument.
ButtonState StateOf(const Frame& f)
{
    return f.entry.frames > 1 ? StateOfFrame(f.index) : StateNamed(f.entry.Arg("state"));
}

unsigned Colour(const Frame& f, const std::string& key, unsigned fallback)
{
    const std::string text = f.entry.Arg(key);
    return text.empty() ? fallback : static_cast<unsigned>(std::stoul(text, nullptr, 16));
}

// ---- The updater's pictures (kept as they were drawn first).

constexpr unsigned kUpdScreen = 0x000000;
constexpr unsigned kUpdPanelBody = 0x1B2633;
constexpr unsigned kUpdPanelHeader = 0x26384E;
constexpr unsigned kUpdPanelEdge = 0x46627F;
constexpr unsigned kUpdHeaderText = 0xD5E3F0;
constexpr unsigned kUpdSpinnerHead = 0x4FC3F7;
constexpr unsigned kUpdSpinnerTail = 0x2C3E52;

void UpdaterPanel(cairo_t* cr, const Frame& f)
{
    const int width = f.width;
    const int height = f.height;
    SetColour(cr, kUpdScreen);
    cairo_paint(cr);
    RoundedRectangle(cr, 3, 3, width - 6, height - 6, 14);
    SetColour(cr, kUpdPanelBody);
    cairo_fill_preserve(cr);
    cairo_save(cr);
    cairo_clip(cr);
    cairo_rectangle(cr, 0, 0, width, 40);
    SetColour(cr, kUpdPanelHeader);
    cairo_fill(cr);
    cairo_restore(cr);
    RoundedRectangle(cr, 3, 3, width - 6, height - 6, 14);
    cairo_set_line_width(cr, 2);
    SetColour(cr, kUpdPanelEdge);
    cairo_stroke(cr);
    cairo_move_to(cr, 4, 40.5);
    cairo_line_to(cr, width - 4, 40.5);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    BaselineText(cr, "SYSTEM UPDATE", 18, width / 2.0, 27, kUpdHeaderText);
    // The trough of the progress bar (the bar fills 63, 276, 472 x 20).
    cairo_rectangle(cr, 61, 274, 476, 24);
    SetColour(cr, kUpdPanelEdge);
    cairo_fill(cr);
    cairo_rectangle(cr, 63, 276, 472, 20);
    SetColour(cr, kUpdScreen);
    cairo_fill(cr);
}

void UpdaterBusy(cairo_t* cr, const Frame& f)
{
    const int frame = f.entry.IntArg("frame");
    SetColour(cr, kUpdPanelBody);
    cairo_paint(cr);
    constexpr int kDots = 9;
    const double cx = f.width / 2.0;
    const double cy = f.height / 2.0;
    const double radius = std::fmin(f.width, f.height) / 2.0 - 14;
    for (int k = 0; k < kDots; ++k) {
        // The head is dot `frame`; the dots behind it fade out.
        const int behind = ((frame - k) % kDots + kDots) % kDots;
        const double t = 1.0 - behind / static_cast<double>(kDots - 1);
        const double angle = -M_PI / 2 + k * 2 * M_PI / kDots;
        const double dot = 5.0 + 4.0 * t;
        const unsigned r
            = static_cast<unsigned>(((kUpdSpinnerTail >> 16) & 0xFF) * (1 - t) + ((kUpdSpinnerHead >> 16) & 0xFF) * t);
        const unsigned g
            = static_cast<unsigned>(((kUpdSpinnerTail >> 8) & 0xFF) * (1 - t) + ((kUpdSpinnerHead >> 8) & 0xFF) * t);
        const unsigned b = static_cast<unsigned>((kUpdSpinnerTail & 0xFF) * (1 - t) + (kUpdSpinnerHead & 0xFF) * t);
        SetColour(cr, (r << 16) | (g << 8) | b);
        cairo_arc(cr, cx + radius * std::cos(angle), cy + radius * std::sin(angle), dot, 0, 2 * M_PI);
        cairo_fill(cr);
    }
}

void UpdaterBar(cairo_t* cr, const Frame& f)
{
    // Stretched sideways to the percentage: the shading runs top to bottom
    // only, so any width looks the same.
    cairo_pattern_t* shade = cairo_pattern_create_linear(0, 0, 0, f.height);
    cairo_pattern_add_color_stop_rgb(shade, 0.0, 0x9B / 255.0, 0xE0 / 255.0, 0xFF / 255.0);
    cairo_pattern_add_color_stop_rgb(shade, 0.45, 0x29 / 255.0, 0x9B / 255.0, 0xF0 / 255.0);
    cairo_pattern_add_color_stop_rgb(shade, 1.0, 0x0D / 255.0, 0x5C / 255.0, 0xB0 / 255.0);
    cairo_rectangle(cr, 0, 0, f.width, f.height);
    cairo_set_source(cr, shade);
    cairo_fill(cr);
    cairo_pattern_destroy(shade);
}

// ---- Backgrounds and panels.

// The default background: a deep blue-black with soft arcs of light, quiet
// enough for white text and icons anywhere on it.
void Wallpaper(cairo_t* cr, const Frame& f)
{
    cairo_pattern_t* base
        = cairo_pattern_create_radial(f.width * 0.5, f.height * 1.1, 40, f.width * 0.5, f.height * 0.6, f.width * 0.8);
    cairo_pattern_add_color_stop_rgb(base, 0, 0x16 / 255.0, 0x2C / 255.0, 0x48 / 255.0);
    cairo_pattern_add_color_stop_rgb(base, 1, 0x06 / 255.0, 0x08 / 255.0, 0x0D / 255.0);
    cairo_set_source(cr, base);
    cairo_paint(cr);
    cairo_pattern_destroy(base);
    for (int i = 0; i < 5; ++i) {
        const double r = f.width * (0.55 + 0.12 * i);
        cairo_arc(cr, f.width * 0.5, f.height * 1.55, r, M_PI * 1.08, M_PI * 1.92);
        cairo_set_line_width(cr, 1.5 + i);
        SetColour(cr, Mix(kAccent, 0xFFFFFF, 0.2), 0.10 - 0.015 * i);
        cairo_stroke(cr);
    }
    // A faint horizon line where the main buttons stand.
    cairo_pattern_t* glow = cairo_pattern_create_linear(0, 0, f.width, 0);
    cairo_pattern_add_color_stop_rgba(glow, 0, 0.18, 0.66, 1, 0);
    cairo_pattern_add_color_stop_rgba(glow, 0.5, 0.18, 0.66, 1, 0.35);
    cairo_pattern_add_color_stop_rgba(glow, 1, 0.18, 0.66, 1, 0);
    cairo_rectangle(cr, 0, f.height * 0.70, f.width, 1.5);
    cairo_set_source(cr, glow);
    cairo_fill(cr);
    cairo_pattern_destroy(glow);
}

// A full-screen notice: a big icon over the wallpaper with two lines.
void Notice(cairo_t* cr, const Frame& f)
{
    Wallpaper(cr, f);
    Icon(cr, f.entry.Arg("icon"), f.height * 0.3, f.width / 2.0, f.height * 0.36, kAccent);
    CentredText(cr, f.entry.Arg("text"), f.height * 0.065, f.width / 2.0, f.height * 0.62, kText);
    CentredText(cr, f.entry.Arg("text2"), f.height * 0.04, f.width / 2.0, f.height * 0.72, kTextDim, Weight::Regular);
}

// A panel: a flat face with a light top edge, an optional title band and
// text. "style": bar (a top or bottom bar), panel (framed), well (sunken),
// line (a separator).
void Panel(cairo_t* cr, const Frame& f)
{
    const std::string style = f.entry.Arg("style", "panel");
    const double w = f.width;
    const double h = f.height;
    const unsigned base = Colour(f, "colour", kPanel);
    SetColour(cr, kScreen);
    cairo_paint(cr);
    if (style == "line") {
        SetColour(cr, kEdge);
        cairo_paint(cr);
        return;
    }
    if (style == "bar") {
        SetVerticalGradient(cr, 0, h, Mix(base, 0xFFFFFF, 0.08), Mix(base, 0x000000, 0.35));
        cairo_paint(cr);
        const bool bottom = f.entry.Arg("edge") == "top";
        cairo_rectangle(cr, 0, bottom ? 0 : h - 2, w, 2);
        SetColour(cr, kAccent, 0.8);
        cairo_fill(cr);
    } else if (style == "well") {
        SetColour(cr, kScreen);
        cairo_paint(cr);
        RoundedRectangle(cr, 1.5, 1.5, w - 3, h - 3, std::min(h / 2, 10.0));
        SetVerticalGradient(cr, 0, h, Mix(base, 0x000000, 0.45), Mix(base, 0x000000, 0.2));
        cairo_fill_preserve(cr);
        SetColour(cr, kEdge);
        cairo_set_line_width(cr, 1);
        cairo_stroke(cr);
    } else {
        SetVerticalGradient(cr, 0, h, Mix(base, 0xFFFFFF, 0.05), Mix(base, 0x000000, 0.25));
        cairo_paint(cr);
        cairo_rectangle(cr, 1, 1, w - 2, h - 2);
        SetColour(cr, kEdge);
        cairo_set_line_width(cr, 2);
        cairo_stroke(cr);
    }
    const int band = f.entry.IntArg("band");
    if (band > 0) {
        cairo_rectangle(cr, 2, 2, w - 4, band);
        SetVerticalGradient(cr, 0, band, Mix(kPanelHigh, 0xFFFFFF, 0.08), kPanelHigh);
        cairo_fill(cr);
        cairo_rectangle(cr, 2, band + 1, w - 4, 1.5);
        SetColour(cr, kAccent);
        cairo_fill(cr);
        CentredText(cr, f.entry.Arg("title"), band * 0.6, w / 2, band / 2.0 + 1, kText);
    }
    // Rows of a list, faint, so that the list reads as rows when empty.
    const int rows = f.entry.IntArg("rows");
    for (int r = 1; r < rows; ++r) {
        const double y = band + 2 + (h - band - 4) * r / rows;
        cairo_rectangle(cr, 12, std::floor(y), w - 24, 1);
        SetColour(cr, kEdge, 0.6);
        cairo_fill(cr);
    }
    const std::string icon = f.entry.Arg("icon");
    if (!icon.empty())
        Icon(cr, icon, std::min(w, h - band) * 0.4, w / 2, band + (h - band) / 2.0, kEdge);
    CentredText(cr, f.entry.Arg("text"), std::min(h * 0.3, 22.0), w / 2, h / 2.0, kTextDim, Weight::Regular, w - 16);
}

// ---- Buttons.

struct Look {
    unsigned top, bottom, edge, ink;
    double edgeWidth;
};

Look LookOf(ButtonState state)
{
    switch (state) {
    case ButtonState::Pressed:
        return {kAccent, kAccentDeep, Mix(kAccent, 0xFFFFFF, 0.5), 0xFFFFFF, 2};
    case ButtonState::Disabled:
        return {Mix(kPanel, kScreen, 0.4), Mix(kPanel, kScreen, 0.7), Mix(kEdge, kScreen, 0.5), kDisabled, 1};
    case ButtonState::Selected:
        return {kPanelHigh, kPanel, kSelect, kSelect, 3};
    case ButtonState::SelectedPressed:
        return {kSelect, kSelectDeep, Mix(kSelect, 0xFFFFFF, 0.5), 0x1A1206, 2};
    case ButtonState::Current:
        return {Mix(kPanelHigh, kAccentDeep, 0.35), kPanel, kAccent, Mix(kAccent, 0xFFFFFF, 0.35), 3};
    case ButtonState::Normal:
        break;
    }
    return {kPanelHigh, Mix(kPanel, 0x000000, 0.3), kEdge, kText, 1.5};
}

// A raised button with an icon and/or a label, in every state. "back" is the
// colour around the rounded face (the screen under it), "none" for none.
void Button(cairo_t* cr, const Frame& f)
{
    const Look look = LookOf(StateOf(f));
    const double w = f.width;
    const double h = f.height;
    // "back=none" leaves the corners transparent (for blended pictures).
    if (f.entry.Arg("back") != "none") {
        SetColour(cr, Colour(f, "back", kScreen));
        cairo_paint(cr);
    }
    const double inset = std::max(2.0, std::min(w, h) * 0.04);
    const double radius = std::min(w, h) * 0.16;
    RoundedRectangle(cr, inset, inset, w - 2 * inset, h - 2 * inset, radius);
    SetVerticalGradient(cr, inset, h - inset, look.top, look.bottom);
    cairo_fill_preserve(cr);
    SetColour(cr, look.edge);
    cairo_set_line_width(cr, look.edgeWidth);
    cairo_stroke(cr);
    // A highlight along the top of a raised face.
    if (StateOf(f) == ButtonState::Normal || StateOf(f) == ButtonState::Selected) {
        cairo_move_to(cr, inset + radius, inset + 1.5);
        cairo_line_to(cr, w - inset - radius, inset + 1.5);
        SetColour(cr, 0xFFFFFF, 0.18);
        cairo_set_line_width(cr, 1);
        cairo_stroke(cr);
    }
    const std::string icon = f.entry.Arg("icon");
    const std::string text = f.entry.Arg("text");
    const double inner = std::min(w, h) - 2 * inset;
    if (!icon.empty() && !text.empty() && (h >= 80 || f.entry.Arg("layout") == "stack")) {
        Icon(cr, icon, inner * 0.46, w / 2, h * 0.40, look.ink);
        CentredText(cr, text, std::max(13.0, inner * 0.15), w / 2, h * 0.77, look.ink, Weight::Bold, w - 3 * inset);
    } else if (!icon.empty() && !text.empty()) {
        const double size = h * 0.5;
        Icon(cr, icon, size, inset + h * 0.45, h / 2, look.ink);
        CentredText(cr, text, h * 0.34, (inset + h * 0.8 + w - inset) / 2, h / 2, look.ink, Weight::Bold,
                    w - h * 0.9 - 2 * inset);
    } else if (!icon.empty()) {
        Icon(cr, icon, inner * 0.62, w / 2, h / 2, look.ink);
    } else {
        CentredText(cr, text, std::min(h * 0.38, 26.0), w / 2, h / 2, look.ink, Weight::Bold, w - 3 * inset);
    }
}

// A small indicator icon on the colour of the bar it sits on; keyed bitmaps
// get a clean edge by drawing on the key colour without smoothing.
void Indicator(cairo_t* cr, const Frame& f)
{
    const bool keyed = f.entry.format == AssetFormat::BmpKeyed;
    SetColour(cr, keyed ? kKey : Colour(f, "back", kPanel));
    cairo_paint(cr);
    const unsigned ink = StateOf(f) == ButtonState::Pressed ? kAccent : Colour(f, "colour", kText);
    if (keyed) {
        // A dark disc behind the icon, so that it reads on any screen.
        cairo_arc(cr, f.width / 2.0, f.height / 2.0, std::min(f.width, f.height) / 2.0 - 1, 0, 2 * M_PI);
        SetColour(cr, Mix(kPanel, 0x000000, 0.3));
        cairo_fill_preserve(cr);
        SetColour(cr, ink == kText ? kEdge : ink);
        cairo_set_line_width(cr, 2);
        cairo_stroke(cr);
        Icon(cr, f.entry.Arg("icon"), std::min(f.width, f.height) * 0.6, f.width / 2.0, f.height / 2.0, ink);
        return;
    }
    Icon(cr, f.entry.Arg("icon"), std::min(f.width, f.height) * 0.9, f.width / 2.0, f.height / 2.0, ink);
}

// A title chip: the name of a source on a bar, with its icon.
void Title(cairo_t* cr, const Frame& f)
{
    const double w = f.width;
    const double h = f.height;
    SetVerticalGradient(cr, 0, h, Mix(kPanel, 0xFFFFFF, 0.06), Mix(kPanel, 0x000000, 0.3));
    cairo_paint(cr);
    RoundedRectangle(cr, 0, h * 0.2, 6, h * 0.6, 3);
    SetColour(cr, kAccent);
    cairo_fill(cr);
    const std::string icon = f.entry.Arg("icon");
    double textLeft = 16;
    if (!icon.empty()) {
        Icon(cr, icon, h * 0.55, 16 + h * 0.3, h / 2, kAccent);
        textLeft = 22 + h * 0.6;
    }
    const std::string text = f.entry.Arg("text");
    CentredText(cr, text, h * 0.42, (textLeft + w - 8) / 2, h / 2, kText, Weight::Bold, w - textLeft - 12);
}

// A square of album art that waits for a cover: a disc.
void Artwork(cairo_t* cr, const Frame& f)
{
    const double w = f.width;
    const double h = f.height;
    SetVerticalGradient(cr, 0, h, kPanelHigh, kScreen);
    cairo_paint(cr);
    Icon(cr, f.entry.Arg("icon", "album"), std::min(w, h) * 0.7, w / 2, h / 2, kEdge);
}

// ---- The intro.

// One letter of the unit's name (or the caption); frames 0-3 twinkle ever
// brighter: a growing blue glow and a star of light on the letter.
void Letter(cairo_t* cr, const Frame& f)
{
    const double w = f.width;
    const double h = f.height;
    const int frame = f.entry.frames > 1 ? f.index : f.entry.IntArg("frame");
    const double t = frame / 3.0;
    const std::string text = f.entry.Arg("text");
    const double size = f.entry.IntArg("size", static_cast<int>(h * 0.85));
    // The glow: rings of copies around the letter, fainter further out.
    const int rings = 2 + 2 * frame;
    const double unit = size / 85.0;
    for (int ring = rings; ring >= 1; --ring) {
        const double reach = ring * 1.4 * unit;
        cairo_push_group(cr);
        for (int k = 0; k < 12; ++k) {
            const double a = k * M_PI / 6;
            cairo_save(cr);
            cairo_translate(cr, reach * std::cos(a), reach * std::sin(a));
            CentredText(cr, text, size, w / 2, h / 2, kAccent);
            cairo_restore(cr);
        }
        cairo_pop_group_to_source(cr);
        cairo_paint_with_alpha(cr, (0.10 + 0.12 * t) * (1.0 - 0.5 * ring / rings));
    }
    CentredText(cr, text, size, w / 2, h / 2, Mix(0xC6D8E8, 0xFFFFFF, t));
    if (frame == 0)
        return;
    const double cx = f.entry.IntArg("size") > 0 ? w * 0.9 : w * 0.72;
    const double cy = h * 0.22;
    const double r = std::min(h * 0.12, 3 + 6 * t);
    cairo_pattern_t* star = cairo_pattern_create_radial(cx, cy, 0, cx, cy, r * 1.6);
    cairo_pattern_add_color_stop_rgba(star, 0, 1, 1, 1, 1);
    cairo_pattern_add_color_stop_rgba(star, 1, 0.18, 0.66, 1, 0);
    cairo_set_source(cr, star);
    cairo_arc(cr, cx, cy, r * 1.6, 0, 2 * M_PI);
    cairo_fill(cr);
    cairo_pattern_destroy(star);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.9);
    cairo_set_line_width(cr, 1.4);
    cairo_move_to(cr, cx - 2.6 * r, cy);
    cairo_line_to(cr, cx + 2.6 * r, cy);
    cairo_move_to(cr, cx, cy - 2.6 * r);
    cairo_line_to(cr, cx, cy + 2.6 * r);
    cairo_stroke(cr);
}

// ---- The 3D main menu.

// The face of a main button: a rounded tile with the button's icon.
cairo_surface_t* MainFace(const Frame& f, int w, int h, bool back)
{
    cairo_surface_t* face = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_t* cr = cairo_create(face);
    const unsigned tint = Colour(f, "colour", kAccent);
    RoundedRectangle(cr, 1.5, 1.5, w - 3, h - 3, 18);
    cairo_pattern_t* body = cairo_pattern_create_linear(0, 0, 0, h);
    const unsigned top = back ? Mix(tint, kScreen, 0.35) : Mix(kPanelHigh, tint, 0.25);
    const unsigned bottom = back ? Mix(tint, kScreen, 0.75) : Mix(kScreen, tint, 0.12);
    cairo_pattern_add_color_stop_rgb(body, 0, ((top >> 16) & 0xFF) / 255.0, ((top >> 8) & 0xFF) / 255.0,
                                     (top & 0xFF) / 255.0);
    cairo_pattern_add_color_stop_rgb(body, 1, ((bottom >> 16) & 0xFF) / 255.0, ((bottom >> 8) & 0xFF) / 255.0,
                                     (bottom & 0xFF) / 255.0);
    cairo_set_source(cr, body);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(body);
    SetColour(cr, Mix(tint, 0xFFFFFF, 0.25));
    cairo_set_line_width(cr, 3);
    cairo_stroke(cr);
    // Gloss over the upper half.
    RoundedRectangle(cr, 5, 5, w - 10, h * 0.42, 14);
    SetVerticalGradient(cr, 5, h * 0.45, 0xFFFFFF, 0xFFFFFF, 0.0);
    cairo_pattern_t* gloss = cairo_pattern_create_linear(0, 5, 0, h * 0.47);
    cairo_pattern_add_color_stop_rgba(gloss, 0, 1, 1, 1, 0.22);
    cairo_pattern_add_color_stop_rgba(gloss, 1, 1, 1, 1, 0.0);
    cairo_set_source(cr, gloss);
    cairo_fill(cr);
    cairo_pattern_destroy(gloss);
    Icon(cr, f.entry.Arg("icon"), h * 0.62, w / 2.0, h / 2.0, back ? Mix(tint, 0xFFFFFF, 0.6) : 0xFFFFFF);
    cairo_destroy(cr);
    return face;
}

// A main button turned by `angle` about its upright axis, in perspective:
// the tile is drawn column by column, each column scaled by its depth.
void TurnedTile(cairo_t* cr, const Frame& f, double angle)
{
    const int tileW = f.width - 28;
    const int tileH = f.height - 28;
    const double c = std::cos(angle);
    const double s = std::sin(angle);
    const bool back = c < 0;
    cairo_surface_t* face = MainFace(f, tileW, tileH, back);
    const double cx = f.width / 2.0;
    const double cy = f.height / 2.0;
    const double viewer = tileW * 2.2;
    constexpr int kStrip = 2;
    for (int u = 0; u < tileW; u += kStrip) {
        // Source column u, seen from the front or (mirrored) from the back.
        const double x0 = u - tileW / 2.0;
        const double x1 = x0 + kStrip;
        const double z0 = x0 * s;
        const double z1 = x1 * s;
        const double p0 = viewer / (viewer + z0);
        const double p1 = viewer / (viewer + z1);
        double sx0 = cx + x0 * c * p0;
        double sx1 = cx + x1 * c * p1;
        if (sx1 < sx0)
            std::swap(sx0, sx1);
        const double width = sx1 - sx0;
        if (width < 0.05)
            continue;
        const double scale = (p0 + p1) / 2;
        const int source = back ? tileW - u - kStrip : u;
        cairo_save(cr);
        cairo_rectangle(cr, sx0, cy - tileH * scale / 2, width + 0.35, tileH * scale);
        cairo_clip(cr);
        cairo_translate(cr, sx0, cy - tileH * scale / 2);
        cairo_scale(cr, width / kStrip, scale);
        cairo_set_source_surface(cr, face, -source, 0);
        cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_BILINEAR);
        cairo_paint(cr);
        cairo_restore(cr);
    }
    cairo_surface_destroy(face);
    // Darken the tile as it turns away from the light.
    const double dim = 0.55 * (1 - std::fabs(c));
    if (dim > 0.01) {
        cairo_set_operator(cr, CAIRO_OPERATOR_ATOP);
        cairo_set_source_rgba(cr, 0, 0, 0, dim);
        cairo_paint(cr);
        cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    }
}

void MainButton(cairo_t* cr, const Frame& f)
{
    // Frame k of 20 has turned k/19 of a full turn: 0 and 19 show the face.
    const int frame = f.entry.IntArg("frame");
    const int of = f.entry.IntArg("of", 20);
    TurnedTile(cr, f, 2 * M_PI * frame / std::max(1, of - 1));
}

// A label under a main button; the selected look glows in the accent.
void MenuLabel(cairo_t* cr, const Frame& f)
{
    const bool selected = StateOf(f) != ButtonState::Normal;
    const double w = f.width;
    const double h = f.height;
    if (selected) {
        cairo_pattern_t* glow = cairo_pattern_create_radial(w / 2, h / 2, 4, w / 2, h / 2, w / 2);
        cairo_pattern_add_color_stop_rgba(glow, 0, 0.18, 0.66, 1, 0.55);
        cairo_pattern_add_color_stop_rgba(glow, 1, 0.18, 0.66, 1, 0);
        cairo_set_source(cr, glow);
        cairo_save(cr);
        cairo_scale(cr, 1, 0.5);
        cairo_translate(cr, 0, h / 2);
        cairo_arc(cr, w / 2, h / 2, w / 2, 0, 2 * M_PI);
        cairo_restore(cr);
        cairo_fill(cr);
        cairo_pattern_destroy(glow);
    }
    // A dark halo keeps the text readable on any background.
    for (int k = 0; k < 8; ++k) {
        cairo_save(cr);
        cairo_translate(cr, 1.6 * std::cos(k * M_PI / 4), 1.6 * std::sin(k * M_PI / 4));
        CentredText(cr, f.entry.Arg("text"), 24, w / 2, h / 2, 0x000000, Weight::Bold, w - 8);
        cairo_restore(cr);
    }
    CentredText(cr, f.entry.Arg("text"), 24, w / 2, h / 2, selected ? 0xFFFFFF : Mix(kText, kTextDim, 0.3),
                Weight::Bold, w - 8);
}

// A sub-button of the menu: a glassy round-cornered tile with icon and name.
void SubButton(cairo_t* cr, const Frame& f)
{
    const bool pressed = StateOf(f) == ButtonState::Pressed;
    const double w = f.width;
    const double h = f.height;
    RoundedRectangle(cr, 3, 3, w - 6, h - 6, 16);
    if (pressed)
        SetVerticalGradient(cr, 0, h, Mix(kAccent, 0xFFFFFF, 0.2), kAccentDeep, 0.95);
    else
        SetVerticalGradient(cr, 0, h, kPanelHigh, Mix(kPanel, 0x000000, 0.4), 0.92);
    cairo_fill_preserve(cr);
    SetColour(cr, pressed ? Mix(kAccent, 0xFFFFFF, 0.6) : Mix(kEdge, kAccent, 0.3));
    cairo_set_line_width(cr, pressed ? 3 : 2);
    cairo_stroke(cr);
    Icon(cr, f.entry.Arg("icon"), h * 0.45, w / 2, h * 0.40, 0xFFFFFF);
    CentredText(cr, f.entry.Arg("text"), 16, w / 2, h * 0.78, pressed ? 0xFFFFFF : kText, Weight::Bold, w - 12);
}

// The additive sparkle particle: a soft white dot.
void Aura(cairo_t* cr, const Frame& f)
{
    const double r = std::min(f.width, f.height) / 2.0;
    cairo_pattern_t* dot
        = cairo_pattern_create_radial(f.width / 2.0, f.height / 2.0, 0, f.width / 2.0, f.height / 2.0, r);
    cairo_pattern_add_color_stop_rgba(dot, 0, 1, 1, 1, 1);
    cairo_pattern_add_color_stop_rgba(dot, 0.25, 1, 1, 1, 0.55);
    cairo_pattern_add_color_stop_rgba(dot, 1, 1, 1, 1, 0);
    cairo_set_source(cr, dot);
    cairo_paint(cr);
    cairo_pattern_destroy(dot);
}

// The shadow under a main button: a soft dark ellipse.
void Shadow(cairo_t* cr, const Frame& f)
{
    cairo_save(cr);
    cairo_translate(cr, f.width / 2.0, f.height / 2.0);
    cairo_scale(cr, f.width / 2.0, f.height / 2.0);
    cairo_pattern_t* dark = cairo_pattern_create_radial(0, 0, 0, 0, 0, 1);
    cairo_pattern_add_color_stop_rgba(dark, 0, 0, 0, 0, 0.75);
    cairo_pattern_add_color_stop_rgba(dark, 1, 0, 0, 0, 0);
    cairo_set_source(cr, dark);
    cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
    cairo_fill(cr);
    cairo_pattern_destroy(dark);
    cairo_restore(cr);
}

// The menu's title band: translucent dark glass with an accent rule.
void TitleBand(cairo_t* cr, const Frame& f)
{
    SetVerticalGradient(cr, 0, f.height, 0x1A2330, 0x06080C, 0.85);
    cairo_paint(cr);
    cairo_rectangle(cr, 0, f.height - 2, f.width, 2);
    cairo_pattern_t* rule = cairo_pattern_create_linear(0, 0, f.width, 0);
    cairo_pattern_add_color_stop_rgba(rule, 0, 0.18, 0.66, 1, 0.9);
    cairo_pattern_add_color_stop_rgba(rule, 1, 0.18, 0.66, 1, 0.1);
    cairo_set_source(cr, rule);
    cairo_fill(cr);
    cairo_pattern_destroy(rule);
}

// The volume bar: `level` of 25 segments lit, rising in height.
void VolumeBar(cairo_t* cr, const Frame& f)
{
    const int level = f.entry.IntArg("level");
    SetColour(cr, Mix(kPanel, 0x000000, 0.4));
    cairo_paint(cr);
    constexpr int kSegments = 25;
    const double step = static_cast<double>(f.width) / kSegments;
    for (int i = 0; i < kSegments; ++i) {
        const double barH = 8 + (f.height - 12) * i / (kSegments - 1.0);
        const double x = i * step + 1;
        RoundedRectangle(cr, x, f.height - 2 - barH, step - 3, barH, 1.5);
        if (i < level)
            SetVerticalGradient(cr, 0, f.height, Mix(kAccent, 0xFFFFFF, 0.3), kAccentDeep);
        else
            SetColour(cr, kEdge, 0.55);
        cairo_fill(cr);
    }
}

// A digit of the menu's bitmap font.
void Digit(cairo_t* cr, const Frame& f)
{
    SetColour(cr, Colour(f, "back", kPanel));
    cairo_paint(cr);
    CentredText(cr, f.entry.Arg("text"), f.height * 0.9, f.width / 2.0, f.height / 2.0, kText);
}

// A popup: a framed card with an icon, a message and room for the OK button.
void Popup(cairo_t* cr, const Frame& f)
{
    const double w = f.width;
    const double h = f.height;
    SetColour(cr, kScreen);
    cairo_paint(cr);
    RoundedRectangle(cr, 2, 2, w - 4, h - 4, 16);
    SetVerticalGradient(cr, 0, h, kPanelHigh, Mix(kPanel, 0x000000, 0.3));
    cairo_fill_preserve(cr);
    SetColour(cr, Colour(f, "colour", kAccent));
    cairo_set_line_width(cr, 3);
    cairo_stroke(cr);
    Icon(cr, f.entry.Arg("icon", "info"), 64, w / 2, h * 0.27, Colour(f, "colour", kAccent));
    CentredText(cr, f.entry.Arg("text"), 24, w / 2, h * 0.50, kText, Weight::Bold, w - 40);
    CentredText(cr, f.entry.Arg("text2"), 18, w / 2, h * 0.62, kTextDim, Weight::Regular, w - 40);
}

// ---- The rear-view camera screen: drawn over the camera's picture, on the
// colour key (keyed bitmaps) wherever the picture should show.

// One parking guide line ("side" left or right, "shape" 0-9): a curve from
// the near end at the bottom to the far end at the top, red near the car,
// then yellow, then green, with a distance mark pointing inward at the end
// of each part. Shape 3 is straight; lower shapes bow inward, higher ones
// ever more outward. The right line is the left one mirrored.
void GuideLine(cairo_t* cr, const Frame& f)
{
    const double w = f.width;
    const double h = f.height;
    if (f.entry.Arg("side") == "right") {
        cairo_translate(cr, w, 0);
        cairo_scale(cr, -1, 1);
    }
    const double bend = (f.entry.IntArg("shape") - 3) * 0.055 * w;
    const double x0 = w * 0.12, y0 = h - 6, x2 = w * 0.70, y2 = 8;
    const double x1 = (x0 + x2) / 2 - bend, y1 = (y0 + y2) / 2;
    auto at = [&](double t, double* x, double* y) {
        const double u = 1 - t;
        *x = u * u * x0 + 2 * u * t * x1 + t * t * x2;
        *y = u * u * y0 + 2 * u * t * y1 + t * t * y2;
    };
    struct Part {
        double from, to;
        unsigned colour;
    };
    const Part parts[] = {{0.0, 0.25, 0xFF3B30}, {0.25, 0.55, 0xFFD60A}, {0.55, 1.0, 0x34C759}};
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    // A dark edge first, so that the line reads on a bright picture too.
    for (int pass = 0; pass < 2; ++pass) {
        for (const Part& part : parts) {
            constexpr int kSteps = 24;
            for (int i = 0; i < kSteps; ++i) {
                const double t0 = part.from + (part.to - part.from) * i / kSteps;
                const double t1 = part.from + (part.to - part.from) * (i + 1) / kSteps;
                double ax, ay, bx, by;
                at(t0, &ax, &ay);
                at(t1, &bx, &by);
                // Thinner further away.
                const double width = 9.0 - 4.0 * (t0 + t1) / 2;
                cairo_move_to(cr, ax, ay);
                cairo_line_to(cr, bx, by);
                cairo_set_line_width(cr, pass == 0 ? width + 4 : width);
                SetColour(cr, pass == 0 ? 0x101010 : part.colour);
                cairo_stroke(cr);
            }
            double mx, my;
            at(part.to, &mx, &my);
            const double reach = w * (0.16 - 0.06 * part.to);
            cairo_move_to(cr, mx, my);
            cairo_line_to(cr, mx + reach, my);
            cairo_set_line_width(cr, pass == 0 ? 10 - 3 * part.to : 6 - 3 * part.to);
            SetColour(cr, pass == 0 ? 0x101010 : part.colour);
            cairo_stroke(cr);
        }
    }
}

// The rear view's caption: a dark band with a camera and the warning text.
void CameraCaption(cairo_t* cr, const Frame& f)
{
    const double w = f.width;
    const double h = f.height;
    RoundedRectangle(cr, 1, 1, w - 2, h - 2, h * 0.3);
    SetColour(cr, Mix(kPanel, 0x000000, 0.35));
    cairo_fill_preserve(cr);
    SetColour(cr, kSelect);
    cairo_set_line_width(cr, 1.5);
    cairo_stroke(cr);
    Icon(cr, "videocam", h * 0.7, h * 0.75, h / 2, kSelect);
    CentredText(cr, f.entry.Arg("text"), h * 0.5, (h * 1.4 + w) / 2, h / 2, kText, Weight::Bold, w - h * 2);
}

const std::map<std::string, Drawing>& Drawings()
{
    static const std::map<std::string, Drawing> kDrawings = {
        {"updater-panel", UpdaterPanel},
        {"updater-busy", UpdaterBusy},
        {"updater-bar", UpdaterBar},
        {"wallpaper", Wallpaper},
        {"notice", Notice},
        {"panel", Panel},
        {"button", Button},
        {"indicator", Indicator},
        {"title", Title},
        {"artwork", Artwork},
        {"letter", Letter},
        {"main-button", MainButton},
        {"menu-label", MenuLabel},
        {"sub-button", SubButton},
        {"aura", Aura},
        {"shadow", Shadow},
        {"title-band", TitleBand},
        {"volume-bar", VolumeBar},
        {"digit", Digit},
        {"popup", Popup},
        {"guide-line", GuideLine},
        {"camera-caption", CameraCaption},
    };
    return kDrawings;
}

} // namespace

Drawing FindDrawing(const std::string& name)
{
    const auto found = Drawings().find(name);
    return found == Drawings().end() ? nullptr : found->second;
}

} // namespace assets
