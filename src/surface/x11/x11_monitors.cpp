#include "surface/x11/x11_monitors.h"

#include <X11/extensions/Xinerama.h>
#include <X11/extensions/Xrandr.h>
#include <dlfcn.h>

#include <algorithm>

namespace zt {
namespace {

// The extension libraries are loaded when there, so the program needs
// neither to start. They stay mapped: once used on a display they leave
// close hooks in it that XCloseDisplay calls later.
class Library {
 public:
  explicit Library(const char* name)
      : handle_(dlopen(name, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE)) {}
  ~Library() {
    if (handle_ != nullptr) dlclose(handle_);
  }
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;
  template <typename F>
  F Get(const char* symbol) const {
    return handle_ != nullptr ? reinterpret_cast<F>(dlsym(handle_, symbol)) : nullptr;
  }

 private:
  void* handle_;
};

void Add(std::vector<RectI>& out, RectI r, int screen_w, int screen_h, bool first) {
  r.left = std::max(r.left, 0);
  r.top = std::max(r.top, 0);
  r.right = std::min(r.right, screen_w);
  r.bottom = std::min(r.bottom, screen_h);
  if (r.right - r.left < 16 || r.bottom - r.top < 16) return;
  if (std::find(out.begin(), out.end(), r) != out.end()) return;
  out.insert(first ? out.begin() : out.end(), r);
}

}  // namespace

std::vector<RectI> ListMonitors(Display* display, int screen) {
  const int screen_w = DisplayWidth(display, screen), screen_h = DisplayHeight(display, screen);
  std::vector<RectI> monitors;
  Library randr("libXrandr.so.2");
  using GetMonitors = XRRMonitorInfo* (*)(Display*, Window, Bool, int*);
  using FreeMonitors = void (*)(XRRMonitorInfo*);
  using QueryVersion = int (*)(Display*, int*, int*);
  const auto get = randr.Get<GetMonitors>("XRRGetMonitors");
  const auto release = randr.Get<FreeMonitors>("XRRFreeMonitors");
  const auto version = randr.Get<QueryVersion>("XRRQueryVersion");
  int major = 0, minor = 0;
  if (get != nullptr && release != nullptr && version != nullptr &&
      version(display, &major, &minor) != 0 && (major > 1 || (major == 1 && minor >= 5))) {
    int count = 0;
    if (XRRMonitorInfo* list = get(display, RootWindow(display, screen), True, &count)) {
      for (int i = 0; i < count; ++i) {
        const XRRMonitorInfo& m = list[i];
        // The primary monitor first: it gets the music and the pointer.
        Add(monitors, RectI{m.x, m.y, m.x + m.width, m.y + m.height}, screen_w, screen_h,
            m.primary != 0);
      }
      release(list);
    }
  }
  if (monitors.empty() && screen == DefaultScreen(display)) {
    Library xinerama("libXinerama.so.1");
    using IsActive = Bool (*)(Display*);
    using QueryScreens = XineramaScreenInfo* (*)(Display*, int*);
    const auto active = xinerama.Get<IsActive>("XineramaIsActive");
    const auto query = xinerama.Get<QueryScreens>("XineramaQueryScreens");
    int count = 0;
    if (active != nullptr && query != nullptr && active(display)) {
      if (XineramaScreenInfo* heads = query(display, &count)) {
        for (int i = 0; i < count; ++i) {
          const XineramaScreenInfo& h = heads[i];
          Add(monitors, RectI{h.x_org, h.y_org, h.x_org + h.width, h.y_org + h.height}, screen_w,
              screen_h, false);
        }
        XFree(heads);
      }
    }
  }
  if (monitors.empty()) monitors.push_back(RectI{0, 0, screen_w, screen_h});
  return monitors;
}

}  // namespace zt
