#pragma once
// One rule for the size of a pixel in twips, whichever binding shows the
// window: what the X server says, else the usual 15.
#include <cstdint>
#include <optional>
#include <string_view>

namespace zt {

// Twips per pixel for a display of `dpi` dots per inch: 1440 / dpi rounded,
// 15 when the value is not believable (below 30 or above 1000 dpi).
double TwipsPerPixelForDpi(double dpi);

// The X server's word: the Xft.dpi resource when it is set and believable,
// else the screen's width in pixels and millimetres, else 15.
double TwipsPerPixelFromServer(std::optional<std::string_view> xft_dpi, int32_t width_px,
                               int32_t width_mm);

// The rule applied to the X display DISPLAY names, screen `screen` (-1:
// its default screen); nothing when no X server answers there.
std::optional<double> XServerTwipsPerPixel(int screen = -1);

}  // namespace zt

// The same on a display already open.
typedef struct _XDisplay Display;
namespace zt {
double TwipsPerPixelOfScreen(Display* display, int screen);

}  // namespace zt
