#include "surface/dpi/dpi.h"

#include <X11/Xlib.h>
#include <X11/Xresource.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <memory>

namespace zt {

double TwipsPerPixelForDpi(double dpi) {
  if (!std::isfinite(dpi) || dpi < 30.0 || dpi > 1000.0) return 15;
  return std::nearbyint(1440.0 / dpi);
}

double TwipsPerPixelFromServer(std::optional<std::string_view> xft_dpi, int32_t width_px,
                               int32_t width_mm) {
  if (xft_dpi) {
    std::string_view text = *xft_dpi;
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    double dpi = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), dpi);
    if (!text.empty() && ec == std::errc() && ptr == text.data() + text.size() &&
        std::isfinite(dpi) && dpi >= 30.0 && dpi <= 1000.0) {
      return std::nearbyint(1440.0 / dpi);
    }
  }
  if (width_px > 0 && width_mm > 0) return TwipsPerPixelForDpi(width_px * 25.4 / width_mm);
  return 15;
}

std::optional<double> XServerTwipsPerPixel(int screen) {
  struct Closer {
    void operator()(Display* d) const { XCloseDisplay(d); }
  };
  std::unique_ptr<Display, Closer> display(XOpenDisplay(nullptr));
  if (!display) return std::nullopt;
  return TwipsPerPixelOfScreen(display.get(), screen);
}

double TwipsPerPixelOfScreen(Display* d, int screen) {
  if (screen < 0 || screen >= ScreenCount(d)) screen = DefaultScreen(d);
  std::optional<std::string_view> xft_dpi;
  std::string value;
  // The resources the desktop loaded into the server (xrdb), as every Xft
  // program reads them.
  if (const char* resources = XResourceManagerString(d)) {
    XrmInitialize();
    if (XrmDatabase db = XrmGetStringDatabase(resources)) {
      char* type = nullptr;
      XrmValue found{};
      if (XrmGetResource(db, "Xft.dpi", "Xft.Dpi", &type, &found) && found.addr != nullptr) {
        value.assign(found.addr, strnlen(found.addr, found.size));
        xft_dpi = value;
      }
      XrmDestroyDatabase(db);
    }
  }
  return TwipsPerPixelFromServer(xft_dpi, DisplayWidth(d, screen), DisplayWidthMM(d, screen));
}

}  // namespace zt
