#include "surface/x11/x11_session.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "surface/dpi/dpi.h"
#include "surface/events/quit_signals.h"
#include "surface/os/system_clock.h"
#include "surface/x11/x11_canvas.h"
#include "surface/x11/x11_events.h"
#include "surface/x11/x11_monitors.h"

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

// The program's own window and its colormap, gone before the display closes.
struct OwnedWindow {
  OwnedWindow() = default;
  OwnedWindow(const OwnedWindow&) = delete;
  OwnedWindow& operator=(const OwnedWindow&) = delete;
  ~OwnedWindow() {
    if (display == nullptr) return;
    if (window != 0) {
      XUngrabKeyboard(display, CurrentTime);
      XDestroyWindow(display, window);
    }
    for (const Window cover : covers) XDestroyWindow(display, cover);
    if (lent_to != 0) {
      // The daemon's window (or the root) gets its colormap back first.
      XSetWindowColormap(display, lent_to, lent_from);
      XInstallColormap(display, lent_from);
    }
    // Freeing an installed colormap puts the screen's default one back.
    if (colormap != 0) XFreeColormap(display, colormap);
    XSync(display, False);
  }
  Display* display = nullptr;
  Window window = 0;
  Colormap colormap = 0;
  std::vector<Window> covers;
  // A window of someone else's that was given `colormap`, and its own.
  Window lent_to = 0;
  Colormap lent_from = 0;
};

void SetNames(Display* display, Window window) {
  static const char kTitle[] = "Zolven Taris";
  XStoreName(display, window, kTitle);
  const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
  XChangeProperty(display, window, XInternAtom(display, "_NET_WM_NAME", False), utf8, 8,
                  PropModeReplace, reinterpret_cast<const unsigned char*>(kTitle),
                  static_cast<int>(sizeof kTitle - 1));
  char res_name[] = "zolven-taris";
  char res_class[] = "Zolven Taris";
  XClassHint hint{res_name, res_class};
  XSetClassHint(display, window, &hint);
}

}  // namespace

// Members end in reverse order: the pump and the canvas before the window,
// the window before the display closes, the error trap last.
struct X11Session::Parts {
  X11ErrorTrap trap;
  std::unique_ptr<Display, DisplayCloser> display;
  std::optional<QuitSignals> signals;
  OwnedWindow own;
  Window window = 0;
  SystemClock clock;
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
  config.twips_per_pixel = TwipsPerPixelOfScreen(display, XScreenNumberOfScreen(attributes.screen));
  config.bits_per_pixel = options.force_8bit ? 8 : 32;
  X11CanvasOptions canvas_options;
  std::string why;
  if (ShowsPaletteIndexes(DescribeVisual(display, attributes.visual, attributes.depth), why)) {
    // An 8-bit PseudoColor window gets a colormap of ours holding the
    // palette, as a hack started with -install does; its own comes back at
    // the end.
    const Colormap colormap = XCreateColormap(display, window, attributes.visual, AllocAll);
    parts->own.display = display;
    parts->own.colormap = colormap;
    XSetWindowColormap(display, window, colormap);
    XInstallColormap(display, colormap);
    XSync(display, False);
    if (X11ErrorTrap::ErrorCount() > 0) {
      error = "zolven-taris: the X window " + Hex(window) + " cannot take a colormap of its own";
      return nullptr;
    }
    parts->own.lent_to = window;
    parts->own.lent_from = attributes.colormap;
    config.bits_per_pixel = 8;
    canvas_options.colormap = colormap;
  }
  parts->canvas = std::make_unique<X11Canvas>(display, window, attributes.visual, attributes.depth,
                                              config, options.text, canvas_options);
  if (!parts->canvas->Prepare(why)) {
    error = "zolven-taris: cannot draw in the X window " + Hex(window) + ": " + why;
    return nullptr;
  }
  parts->events = std::make_unique<X11Events>(display, window, parts->canvas.get(), parts->clock);
  return std::make_unique<X11Session>(std::move(parts));
}

ScreenBinding ProbeScreenBinding(std::string& error) {
  // A video driver asked of SDL by name, its X11 one included, is SDL's.
  const char* driver = std::getenv("SDL_VIDEODRIVER");
  if (driver != nullptr && *driver != '\0') return ScreenBinding::kSdl;
  std::unique_ptr<Display, DisplayCloser> display(XOpenDisplay(nullptr));
  // No X display: SDL looks for another and reports its own failure.
  if (!display) return ScreenBinding::kSdl;
  Display* d = display.get();
  const int screen = DefaultScreen(d);
  std::string why;
  const ScreenBinding binding = ChooseScreenBinding(
      DescribeVisual(d, DefaultVisual(d, screen), DefaultDepth(d, screen)), why);
  if (binding == ScreenBinding::kUnsupported) {
    error = "zolven-taris: cannot open a display (" + why + ")";
  }
  return binding;
}

bool ProbeScreens(int& screen, std::vector<RectI>& monitors) {
  std::unique_ptr<Display, DisplayCloser> display(XOpenDisplay(nullptr));
  if (!display) return false;
  screen = DefaultScreen(display.get());
  monitors = ListMonitors(display.get(), screen);
  return true;
}

std::unique_ptr<X11Session> OpenX11ScreenSession(const X11ScreenOptions& options,
                                                 std::string& error) {
  auto fail = [&error](const std::string& why) {
    error = "zolven-taris: cannot open a display (" + why + ")";
    return nullptr;
  };
  auto parts = std::make_unique<X11Session::Parts>();
  // First, so a SIGTERM during start-up is a clean end too.
  parts->signals.emplace();
  parts->display.reset(XOpenDisplay(nullptr));
  Display* display = parts->display.get();
  if (display == nullptr) return fail("cannot open the X display");
  const int screen = DefaultScreen(display);
  Visual* visual = DefaultVisual(display, screen);
  const int depth = DefaultDepth(display, screen);
  std::string why;
  // An 8-bit PseudoColor screen shows the palette indexes as they are;
  // any other gets colours, which the canvas checks it can write.
  const bool indexed = ShowsPaletteIndexes(DescribeVisual(display, visual, depth), why);

  const Window root = RootWindow(display, screen);
  RectI area = options.area;
  if (area.right <= area.left || area.bottom <= area.top) {
    area = RectI{0, 0, DisplayWidth(display, screen), DisplayHeight(display, screen)};
  }
  const int screen_w = area.right - area.left;
  const int screen_h = area.bottom - area.top;
  CanvasConfig config;
  config.width = options.windowed ? std::max(options.window_width, 1) : screen_w;
  config.height = options.windowed ? std::max(options.window_height, 1) : screen_h;
  config.twips_per_pixel = TwipsPerPixelOfScreen(display, screen);
  config.bits_per_pixel = indexed || options.force_8bit ? 8 : 32;

  // All 256 cells writable: the window's logical palette lives there.
  const Colormap colormap =
      indexed ? XCreateColormap(display, root, visual, AllocAll) : DefaultColormap(display, screen);
  parts->own.display = display;
  if (indexed) parts->own.colormap = colormap;
  XSetWindowAttributes attributes{};
  attributes.background_pixel = 0;  // palette entry 0, black
  attributes.border_pixel = 0;
  attributes.colormap = colormap;
  // The full-screen window stays out of the window manager's hands: no
  // frame, no placement, above the desktop.
  attributes.override_redirect = options.windowed ? False : True;
  attributes.event_mask =
      ExposureMask | StructureNotifyMask | KeyPressMask | ButtonPressMask | ColormapChangeMask;
  const int x = area.left + (options.windowed ? std::max((screen_w - config.width) / 2, 0) : 0);
  const int y = area.top + (options.windowed ? std::max((screen_h - config.height) / 2, 0) : 0);
  const Window window = XCreateWindow(
      display, root, x, y, static_cast<unsigned>(config.width),
      static_cast<unsigned>(config.height), 0, depth, InputOutput, visual,
      CWBackPixel | CWBorderPixel | CWColormap | CWOverrideRedirect | CWEventMask, &attributes);
  parts->own.window = window;
  parts->window = window;
  SetNames(display, window);
  Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
  Atom delete_window = XInternAtom(display, "WM_DELETE_WINDOW", False);
  XSetWMProtocols(display, window, &delete_window, 1);
  if (indexed) {
    Window colormap_windows[] = {window};
    XSetWMColormapWindows(display, window, colormap_windows, 1);
  }
  if (!options.windowed) {
    // The other monitors stay black, and a click or key there ends it too.
    XSetWindowAttributes black{};
    black.background_pixel = BlackPixel(display, screen);
    black.override_redirect = True;
    black.event_mask = KeyPressMask | ButtonPressMask;
    for (const RectI& r : options.covers) {
      if (r.right <= r.left || r.bottom <= r.top) continue;
      const Window cover =
          XCreateWindow(display, root, r.left, r.top, static_cast<unsigned>(r.right - r.left),
                        static_cast<unsigned>(r.bottom - r.top), 0, CopyFromParent, InputOutput,
                        CopyFromParent, CWBackPixel | CWOverrideRedirect | CWEventMask, &black);
      parts->own.covers.push_back(cover);
      XMapRaised(display, cover);
    }
  }
  if (options.windowed) {
    // Any size from 64x64: the scene starts over at each.
    XSizeHints hints{};
    hints.flags = PPosition | PMinSize;
    hints.x = x;
    hints.y = y;
    hints.min_width = 64;
    hints.min_height = 64;
    XSetWMNormalHints(display, window, &hints);
  }
  XSync(display, False);
  if (X11ErrorTrap::ErrorCount() > 0) return fail("the X server refused the window");

  parts->canvas = std::make_unique<X11Canvas>(
      display, window, visual, depth, config, options.text,
      X11CanvasOptions{true, options.windowed, indexed ? colormap : 0, options.warp_pointer});
  if (!parts->canvas->Prepare(why)) return fail(why);
  parts->events = std::make_unique<X11Events>(display, window, parts->canvas.get(), parts->clock);
  parts->events->AcceptCloseRequests(protocols, delete_window);
  const bool whole_screen =
      options.area.right <= options.area.left || options.area.bottom <= options.area.top;
  if (!options.windowed && whole_screen) parts->events->FollowScreen(root);
  return std::make_unique<X11Session>(std::move(parts));
}

}  // namespace zt
