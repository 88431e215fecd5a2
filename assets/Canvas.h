// What every drawing shares: the theme's colours and state looks, the three
// faces (NanumGothic, its bold cut, the Material Design icon font, found by
// icon name), and shape and text helpers over cairo.
#pragma once

#include <string>

struct _cairo;
typedef struct _cairo cairo_t;

namespace assets {

// The theme: a dark automotive look with high contrast.
namespace theme {
inline constexpr unsigned kScreen = 0x0B0E13;     // behind everything
inline constexpr unsigned kPanel = 0x1A212B;      // panels and bars
inline constexpr unsigned kPanelHigh = 0x27313E;  // the lit top of a raised face
inline constexpr unsigned kEdge = 0x455365;       // outlines
inline constexpr unsigned kText = 0xF2F5F8;       // labels
inline constexpr unsigned kTextDim = 0x9AA6B4;    // secondary labels
inline constexpr unsigned kDisabled = 0x56606C;   // labels and icons that cannot be used
inline constexpr unsigned kAccent = 0x2FA8FF;     // pressed, active
inline constexpr unsigned kAccentDeep = 0x0F5D9E; // the dark end of the accent
inline constexpr unsigned kSelect = 0xFFB82E;     // selected
inline constexpr unsigned kSelectDeep = 0xB86E00;
inline constexpr unsigned kKey = 0xFF00FF; // the colour key of keyed bitmaps
} // namespace theme

// The states of a multi-frame button, in frame order.
enum class ButtonState { Normal, Pressed, Disabled, Selected, SelectedPressed, Current };
ButtonState StateOfFrame(int frame);
// "normal", "pressed" ("touch", "on"), "disabled", "selected" ("select"),
// "selected-pressed", "current"; anything else is Normal.
ButtonState StateNamed(const std::string& name);

bool LoadFaces(const char* regular, const char* bold, const char* icons, const char* iconNames);
void ReleaseFaces();

void SetColour(cairo_t* cr, unsigned rgb, double alpha = 1.0);
unsigned Mix(unsigned from, unsigned to, double t);
void RoundedRectangle(cairo_t* cr, double x, double y, double w, double h, double r);
// A vertical gradient from `top` to `bottom` as the source.
void SetVerticalGradient(cairo_t* cr, double y0, double y1, unsigned top, unsigned bottom, double alpha = 1.0);

enum class Weight { Regular, Bold };
// Text centred on cx with its middle at cy; shrinks to fit maxWidth.
void CentredText(cairo_t* cr, const std::string& text, double size, double cx, double cy, unsigned rgb,
                 Weight weight = Weight::Bold, double maxWidth = 0);
// Text centred on cx with its baseline at y.
void BaselineText(cairo_t* cr, const std::string& text, double size, double cx, double y, unsigned rgb,
                  Weight weight = Weight::Regular);
// A Material Design icon by name, centred on (cx, cy), `size` pixels high.
// False when the name is unknown.
bool Icon(cairo_t* cr, const std::string& name, double size, double cx, double cy, unsigned rgb, double alpha = 1.0);
bool IconKnown(const std::string& name);

} // namespace assets
