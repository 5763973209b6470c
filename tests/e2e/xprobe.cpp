// Looks at an X display from outside, for the end-to-end tests: pixels,
// pointer, windows, screenshots.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xfixes.h>
#include <X11/extensions/Xrandr.h>
#include <png.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

struct DisplayCloser {
  void operator()(Display* d) const { XCloseDisplay(d); }
};
struct ImageDestroyer {
  void operator()(XImage* i) const { XDestroyImage(i); }
};
using ImagePtr = std::unique_ptr<XImage, ImageDestroyer>;

int Usage() {
  std::fprintf(
      stderr,
      "usage: zt_xprobe pixel X Y | count R G B [x0 y0 x1 y1] | nonblack x0 y0 x1 y1 |\n"
      "       notblue x0 y0 x1 y1 |\n"
      "       pointer | windows NAME | wait-window NAME TIMEOUT_MS | shot FILE.ppm |\n"
      "       geometry NAME | depth | hash x0 y0 x1 y1 | wm-state NAME |\n"
      "       cursor-visible | make-window W H X Y | destroy-window ID | close NAME |\n"
      "       palette-miss FILE.png x0 y0 x1 y1 | click-exit PID | set-monitors WxH+X+Y... |\n"
      "       screen-size W H\n");
  return 2;
}

struct Rgb {
  int r, g, b;
};

// The colour of a pixel of an image of the root window, whatever the visual.
// Indexed pixels are read through the installed colormap: with one colormap
// installed at a time (as on Xvfb and most 8-bit hardware) that is exactly
// the colour on the screen.
class Shot {
 public:
  Shot(Display* display, int x, int y, int w, int h) : display_(display) {
    const Window root = DefaultRootWindow(display);
    image_.reset(XGetImage(display, root, x, y, static_cast<unsigned>(w), static_cast<unsigned>(h),
                           AllPlanes, ZPixmap));
    XWindowAttributes attributes{};
    XGetWindowAttributes(display, root, &attributes);
    visual_ = attributes.visual;
    colormap_ = attributes.colormap;
    // What the screen shows goes through the installed colormap, which a
    // window with its own colormap may have put in place of the default.
    int count = 0;
    if (Colormap* installed = XListInstalledColormaps(display, root, &count)) {
      if (count > 0) colormap_ = installed[0];
      XFree(installed);
    }
  }
  bool ok() const { return image_ != nullptr; }
  int width() const { return image_->width; }
  int height() const { return image_->height; }

  Rgb At(int x, int y) {
    const unsigned long pixel = XGetPixel(image_.get(), x, y);
    if (visual_->c_class == TrueColor || visual_->c_class == DirectColor) {
      return Rgb{Channel(pixel, visual_->red_mask), Channel(pixel, visual_->green_mask),
                 Channel(pixel, visual_->blue_mask)};
    }
    // Indexed visuals: ask the colormap, remembering the answers.
    if (colors_.empty()) {
      const int n = visual_->map_entries;
      std::vector<XColor> all(static_cast<size_t>(n));
      for (int i = 0; i < n; ++i) all[static_cast<size_t>(i)].pixel = static_cast<unsigned long>(i);
      XQueryColors(display_, colormap_, all.data(), n);
      for (const XColor& c : all) colors_.push_back(Rgb{c.red >> 8, c.green >> 8, c.blue >> 8});
    }
    return pixel < colors_.size() ? colors_[pixel] : Rgb{0, 0, 0};
  }

 private:
  static int Channel(unsigned long pixel, unsigned long mask) {
    if (mask == 0) return 0;
    int shift = 0;
    while (((mask >> shift) & 1) == 0) ++shift;
    const unsigned long max = mask >> shift;
    const unsigned long value = (pixel & mask) >> shift;
    return static_cast<int>((value * 255 + max / 2) / max);
  }

  Display* display_;
  ImagePtr image_;
  Visual* visual_ = nullptr;
  Colormap colormap_ = 0;
  std::vector<Rgb> colors_;
};

bool NameMatches(Display* display, Window w, const char* name) {
  char* wm_name = nullptr;
  bool found = false;
  if (XFetchName(display, w, &wm_name) && wm_name != nullptr) {
    found = std::strstr(wm_name, name) != nullptr;
    XFree(wm_name);
  }
  XClassHint hint{};
  if (!found && XGetClassHint(display, w, &hint)) {
    found = (hint.res_name && std::strstr(hint.res_name, name)) ||
            (hint.res_class && std::strstr(hint.res_class, name));
  }
  if (hint.res_name) XFree(hint.res_name);
  if (hint.res_class) XFree(hint.res_class);
  return found;
}

// Top-level windows (children of the root, or their direct children under
// a window manager's frames) whose name or class contains `name`.
std::vector<Window> FindWindows(Display* display, const char* name, bool mapped_only) {
  std::vector<Window> result;
  Window root_return = 0, parent = 0;
  Window* children = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(display, DefaultRootWindow(display), &root_return, &parent, &children, &count)) {
    return result;
  }
  for (unsigned int i = 0; i < count; ++i) {
    std::vector<Window> candidates{children[i]};
    Window* inner = nullptr;
    unsigned int inner_count = 0;
    if (XQueryTree(display, children[i], &root_return, &parent, &inner, &inner_count)) {
      for (unsigned int j = 0; j < inner_count; ++j) candidates.push_back(inner[j]);
      if (inner) XFree(inner);
    }
    for (Window w : candidates) {
      if (!NameMatches(display, w, name)) continue;
      XWindowAttributes attributes{};
      if (mapped_only &&
          (!XGetWindowAttributes(display, w, &attributes) || attributes.map_state != IsViewable)) {
        continue;
      }
      result.push_back(w);
    }
  }
  if (children) XFree(children);
  return result;
}

bool WritePpm(Shot& shot, const char* file) {
  // Plain PPM: enough to look at a failure, and any converter reads it.
  std::FILE* out = std::fopen(file, "wb");
  if (!out) return false;
  std::fprintf(out, "P6\n%d %d\n255\n", shot.width(), shot.height());
  for (int y = 0; y < shot.height(); ++y) {
    for (int x = 0; x < shot.width(); ++x) {
      const Rgb c = shot.At(x, y);
      const unsigned char bytes[3] = {static_cast<unsigned char>(c.r),
                                      static_cast<unsigned char>(c.g),
                                      static_cast<unsigned char>(c.b)};
      std::fwrite(bytes, 1, 3, out);
    }
  }
  return std::fclose(out) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  std::unique_ptr<Display, DisplayCloser> display(XOpenDisplay(nullptr));
  if (!display) {
    std::fprintf(stderr, "zt_xprobe: cannot open the display\n");
    return 1;
  }
  Display* d = display.get();
  const int screen_w = DisplayWidth(d, DefaultScreen(d));
  const int screen_h = DisplayHeight(d, DefaultScreen(d));
  const std::string command = argv[1];
  auto arg = [&](int i) { return std::atoi(argv[i]); };

  if (command == "pixel" && argc == 4) {
    Shot shot(d, arg(2), arg(3), 1, 1);
    if (!shot.ok()) return 1;
    const Rgb c = shot.At(0, 0);
    std::printf("%d %d %d\n", c.r, c.g, c.b);
    return 0;
  }
  if ((command == "count" && (argc == 5 || argc == 9)) ||
      ((command == "nonblack" || command == "notblue") && argc == 6)) {
    const bool nonblack = command == "nonblack";
    const bool notblue = command == "notblue";
    const int first = nonblack || notblue ? 2 : 5;
    int x0 = 0, y0 = 0, x1 = screen_w, y1 = screen_h;
    if (argc > first) {
      x0 = arg(first);
      y0 = arg(first + 1);
      x1 = arg(first + 2);
      y1 = arg(first + 3);
    }
    if (x1 <= x0 || y1 <= y0) return Usage();
    Shot shot(d, x0, y0, x1 - x0, y1 - y0);
    if (!shot.ok()) return 1;
    long count = 0;
    for (int y = 0; y < shot.height(); ++y) {
      for (int x = 0; x < shot.width(); ++x) {
        const Rgb c = shot.At(x, y);
        if (notblue    ? (c.r | c.g) != 0
            : nonblack ? (c.r | c.g | c.b) != 0
                       : (c.r == arg(2) && c.g == arg(3) && c.b == arg(4))) {
          ++count;
        }
      }
    }
    std::printf("%ld\n", count);
    return 0;
  }
  // Pixels of a region whose colour is not in the palette of an indexed PNG.
  if (command == "palette-miss" && argc == 7) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, argv[2]) || image.colormap_entries == 0) {
      std::fprintf(stderr, "zt_xprobe: no palette in %s\n", argv[2]);
      png_image_free(&image);
      return 1;
    }
    image.format = PNG_FORMAT_RGB_COLORMAP;
    std::vector<png_byte> pixels(PNG_IMAGE_SIZE(image));
    std::vector<png_byte> colormap(PNG_IMAGE_COLORMAP_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, colormap.data())) return 1;
    std::vector<bool> known(1 << 24);
    for (size_t i = 0; i + 2 < colormap.size() && i / 3 < image.colormap_entries; i += 3) {
      known[(colormap[i] << 16) | (colormap[i + 1] << 8) | colormap[i + 2]] = true;
    }
    const int x0 = arg(3), y0 = arg(4), x1 = arg(5), y1 = arg(6);
    if (x1 <= x0 || y1 <= y0) return Usage();
    Shot shot(d, x0, y0, x1 - x0, y1 - y0);
    if (!shot.ok()) return 1;
    long misses = 0;
    for (int y = 0; y < shot.height(); ++y) {
      for (int x = 0; x < shot.width(); ++x) {
        const Rgb c = shot.At(x, y);
        if (!known[(c.r << 16) | (c.g << 8) | c.b]) ++misses;
      }
    }
    std::printf("%ld\n", misses);
    return 0;
  }
  // Clicks through XTest and reports the milliseconds until process PID is
  // gone (exited or a zombie), or -1 after five seconds.
  if (command == "click-exit" && argc == 3) {
    const std::string stat = std::string("/proc/") + argv[2] + "/stat";
    auto gone = [&stat] {
      FILE* f = std::fopen(stat.c_str(), "r");
      if (f == nullptr) return true;
      char buffer[512] = {};
      const size_t n = std::fread(buffer, 1, sizeof buffer - 1, f);
      std::fclose(f);
      const char* close_paren = std::strrchr(buffer, ')');
      return n == 0 || close_paren == nullptr || close_paren[2] == 'Z' || close_paren[2] == 'X';
    };
    XTestFakeButtonEvent(d, 1, True, CurrentTime);
    XTestFakeButtonEvent(d, 1, False, CurrentTime);
    XSync(d, False);
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
      const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::steady_clock::now() - start)
                          .count();
      if (gone()) {
        std::printf("%lld\n", static_cast<long long>(ms));
        return 0;
      }
      if (ms > 5000) {
        std::printf("-1\n");
        return 0;
      }
      std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
  }
  if (command == "pointer" && argc == 2) {
    Window root = 0, child = 0;
    int rx = 0, ry = 0, wx = 0, wy = 0;
    unsigned int mask = 0;
    XQueryPointer(d, DefaultRootWindow(d), &root, &child, &rx, &ry, &wx, &wy, &mask);
    std::printf("%d %d\n", rx, ry);
    return 0;
  }
  if (command == "windows" && argc == 3) {
    std::printf("%zu\n", FindWindows(d, argv[2], true).size());
    return 0;
  }
  if (command == "geometry" && argc == 3) {
    // x y width height of the first mapped window, in root coordinates.
    const std::vector<Window> found = FindWindows(d, argv[2], true);
    if (found.empty()) return 1;
    XWindowAttributes attributes{};
    XGetWindowAttributes(d, found[0], &attributes);
    int x = 0, y = 0;
    Window child = 0;
    XTranslateCoordinates(d, found[0], DefaultRootWindow(d), 0, 0, &x, &y, &child);
    std::printf("%d %d %d %d\n", x, y, attributes.width, attributes.height);
    return 0;
  }
  if (command == "wait-window" && argc == 4) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(arg(3));
    for (;;) {
      if (!FindWindows(d, argv[2], true).empty()) return 0;
      if (std::chrono::steady_clock::now() >= deadline) return 1;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  if (command == "depth" && argc == 2) {
    std::printf("%d\n", DefaultDepth(d, DefaultScreen(d)));
    return 0;
  }
  if (command == "shot" && argc == 3) {
    Shot shot(d, 0, 0, screen_w, screen_h);
    return shot.ok() && WritePpm(shot, argv[2]) ? 0 : 1;
  }
  if (command == "hash" && argc == 6) {
    // A fingerprint of a region, to tell whether anything drew there.
    if (arg(4) <= arg(2) || arg(5) <= arg(3)) return Usage();
    Shot shot(d, arg(2), arg(3), arg(4) - arg(2), arg(5) - arg(3));
    if (!shot.ok()) return 1;
    unsigned long long h = 1469598103934665603ull;
    for (int y = 0; y < shot.height(); ++y) {
      for (int x = 0; x < shot.width(); ++x) {
        const Rgb c = shot.At(x, y);
        h = (h ^ static_cast<unsigned long long>((c.r << 16) | (c.g << 8) | c.b)) *
            1099511628211ull;
      }
    }
    std::printf("%016llx\n", h);
    return 0;
  }
  if (command == "wm-state" && argc == 3) {
    // The names in _NET_WM_STATE of the first mapped window, one a line.
    const std::vector<Window> found = FindWindows(d, argv[2], true);
    if (found.empty()) return 1;
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    const Atom state = XInternAtom(d, "_NET_WM_STATE", False);
    if (XGetWindowProperty(d, found[0], state, 0, 64, False, XA_ATOM, &type, &format, &count,
                           &after, &data) == Success &&
        data != nullptr) {
      const Atom* atoms = reinterpret_cast<const Atom*>(data);
      for (unsigned long i = 0; i < count; ++i) {
        char* name = XGetAtomName(d, atoms[i]);
        if (name) {
          std::printf("%s\n", name);
          XFree(name);
        }
      }
      XFree(data);
    }
    return 0;
  }
  if (command == "cursor-visible" && argc == 2) {
    // 1 when the pointer's current image has any visible pixel.
    int event_base = 0, error_base = 0;
    if (!XFixesQueryExtension(d, &event_base, &error_base)) return 1;
    XFixesCursorImage* image = XFixesGetCursorImage(d);
    if (image == nullptr) return 1;
    bool visible = false;
    for (int i = 0; i < image->width * image->height; ++i) {
      if ((image->pixels[i] >> 24) != 0) visible = true;
    }
    XFree(image);
    std::printf("%d\n", visible ? 1 : 0);
    return 0;
  }
  if (command == "set-monitors" && argc >= 3) {
    // RandR monitors side by side on the one output, as a desktop of
    // several monitors reports them; the first takes the output.
    const Window root = DefaultRootWindow(d);
    XRRScreenResources* resources = XRRGetScreenResources(d, root);
    if (resources == nullptr || resources->noutput < 1) return 1;
    RROutput output = resources->outputs[0];
    for (int i = 2; i < argc; ++i) {
      int w = 0, h = 0, x = 0, y = 0;
      if (std::sscanf(argv[i], "%dx%d+%d+%d", &w, &h, &x, &y) != 4) return Usage();
      XRRMonitorInfo monitor{};
      monitor.name = XInternAtom(d, ("ZT-" + std::to_string(i - 1)).c_str(), False);
      monitor.primary = i == 2;
      monitor.x = x;
      monitor.y = y;
      monitor.width = w;
      monitor.height = h;
      monitor.mwidth = w * 254 / 960;
      monitor.mheight = h * 254 / 960;
      monitor.noutput = i == 2 ? 1 : 0;
      monitor.outputs = i == 2 ? &output : nullptr;
      XRRSetMonitor(d, root, &monitor);
    }
    XRRFreeScreenResources(resources);
    XSync(d, False);
    return 0;
  }
  if (command == "screen-size" && argc == 4) {
    // A new monitor mode: the output switches to a mode of that size and the
    // screen takes the size, as a desktop's display settings do.
    const Window root = DefaultRootWindow(d);
    const int w = arg(2), h = arg(3);
    XRRScreenResources* resources = XRRGetScreenResources(d, root);
    if (resources == nullptr || resources->noutput < 1 || resources->ncrtc < 1) return 1;
    std::string name = std::to_string(w) + "x" + std::to_string(h) + "-zt";
    XRRModeInfo mode{};
    mode.name = name.data();
    mode.nameLength = static_cast<unsigned>(name.size());
    mode.width = static_cast<unsigned>(w);
    mode.height = static_cast<unsigned>(h);
    mode.hTotal = mode.width;
    mode.vTotal = mode.height;
    mode.dotClock = 60ul * mode.hTotal * mode.vTotal;
    const RRMode id = XRRCreateMode(d, root, &mode);
    XRRAddOutputMode(d, resources->outputs[0], id);
    XRRFreeScreenResources(resources);
    resources = XRRGetScreenResources(d, root);
    // A larger screen first, then the mode; a smaller mode first, then the screen.
    if (w > DisplayWidth(d, 0) || h > DisplayHeight(d, 0)) {
      XRRSetScreenSize(d, root, w, h, w * 254 / 960, h * 254 / 960);
    }
    const Status status = XRRSetCrtcConfig(d, resources, resources->crtcs[0], CurrentTime, 0, 0, id,
                                           RR_Rotate_0, resources->outputs, 1);
    XRRSetScreenSize(d, root, w, h, w * 254 / 960, h * 254 / 960);
    XRRFreeScreenResources(resources);
    XSync(d, False);
    return status == RRSetConfigSuccess ? 0 : 1;
  }
  if (command == "make-window" && argc == 6) {
    // A plain mapped window for a program to draw into: prints its id and
    // lives until killed, when the server destroys the window with it.
    const Window w =
        XCreateSimpleWindow(d, DefaultRootWindow(d), arg(4), arg(5), static_cast<unsigned>(arg(2)),
                            static_cast<unsigned>(arg(3)), 0, 0, BlackPixel(d, DefaultScreen(d)));
    XStoreName(d, w, "zt-probe-window");
    XSelectInput(d, w, StructureNotifyMask);
    XMapWindow(d, w);
    for (;;) {
      XEvent event;
      XNextEvent(d, &event);
      if (event.type == MapNotify) break;
    }
    std::printf("0x%lx\n", w);
    std::fflush(stdout);
    for (;;) {
      XEvent event;
      XNextEvent(d, &event);
      if (event.type == DestroyNotify) return 0;
    }
  }
  if (command == "close" && argc == 3) {
    // What a window manager's close button sends: WM_DELETE_WINDOW.
    const std::vector<Window> found = FindWindows(d, argv[2], true);
    if (found.empty()) return 1;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = found[0];
    event.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(d, found[0], False, NoEventMask, &event);
    XSync(d, False);
    return 0;
  }
  if (command == "destroy-window" && argc == 3) {
    XDestroyWindow(d, static_cast<Window>(std::strtoul(argv[2], nullptr, 0)));
    XSync(d, False);
    return 0;
  }
  return Usage();
}
