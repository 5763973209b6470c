#include "surface/x11/x11_session.h"

#include <X11/Xlib.h>

#include <cstdio>

#include "surface/sdl/sdl_clock.h"
#include "surface/sdl/sdl_session.h"
#include "surface/text/font_rasterizer.h"
#include "surface/x11/x11_canvas.h"
#include "surface/x11/x11_events.h"

namespace zt {
namespace {

struct DisplayCloser {
  void operator()(Display* display) const { XCloseDisplay(display); }
};

std::string Hex(uint64_t id) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(id));
  return text;
}

}  // namespace

// Members end in reverse order: the pump and the canvas before the display
// closes, the error trap last.
struct X11Session::Parts {
  X11ErrorTrap trap;
  std::unique_ptr<Display, DisplayCloser> display;
  Window window = 0;
  SdlClock clock;
  FontRasterizer text;
  std::unique_ptr<X11Canvas> canvas;
  std::unique_ptr<X11Events> events;
};

X11Session::X11Session(std::unique_ptr<Parts> parts) : parts_(std::move(parts)) {}

X11Session::~X11Session() = default;

X11Canvas& X11Session::canvas() { return *parts_->canvas; }
X11Events& X11Session::events() { return *parts_->events; }
Clock& X11Session::clock() { return parts_->clock; }
uint64_t X11Session::WindowId() const { return parts_->window; }

std::unique_ptr<X11Session> OpenX11Session(const X11Options& options, std::string& error) {
  auto parts = std::make_unique<X11Session::Parts>();
  parts->display.reset(XOpenDisplay(nullptr));
  Display* display = parts->display.get();
  if (display == nullptr) {
    error = "zolven-taris: cannot open the X display (is DISPLAY set?)";
    return nullptr;
  }
  const Window window =
      options.root ? DefaultRootWindow(display) : static_cast<Window>(options.window);
  parts->window = window;
  XWindowAttributes attributes{};
  if (XGetWindowAttributes(display, window, &attributes) == 0 || attributes.width <= 0 ||
      attributes.height <= 0) {
    error = "zolven-taris: there is no X window " + Hex(window);
    return nullptr;
  }
  // Told when the window goes and when it needs repainting; the window's
  // input stays with its owner.
  XSelectInput(display, window, StructureNotifyMask | ExposureMask);
  XSync(display, False);
  if (X11ErrorTrap::WindowGone(window)) {
    error = "zolven-taris: the X window " + Hex(window) + " went away";
    return nullptr;
  }

  CanvasConfig config;
  config.width = attributes.width;
  config.height = attributes.height;
  Screen* screen = attributes.screen;
  const double mm = WidthMMOfScreen(screen);
  const float dpi = mm > 0 ? static_cast<float>(WidthOfScreen(screen) * 25.4 / mm) : 0.0f;
  config.twips_per_pixel = TwipsPerPixelForDpi(dpi);
  config.bits_per_pixel = options.force_8bit ? 8 : 32;
  parts->canvas = std::make_unique<X11Canvas>(display, window, attributes.visual, attributes.depth,
                                              config, &parts->text);
  std::string why;
  if (!parts->canvas->Prepare(why)) {
    error = "zolven-taris: cannot draw in the X window " + Hex(window) + ": " + why;
    return nullptr;
  }
  parts->events = std::make_unique<X11Events>(display, window, parts->canvas.get(), parts->clock);
  return std::make_unique<X11Session>(std::move(parts));
}

}  // namespace zt
