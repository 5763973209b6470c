#include "surface/sdl/sdl_session.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <string_view>

#include "surface/events/quit_signals.h"
#include "surface/os/system_clock.h"
#include "surface/dpi/dpi.h"
#include "surface/sdl/display_guard.h"
#include "surface/xlib/x_connection.h"
#include "surface/sdl/sdl_canvas.h"
#include "surface/sdl/sdl_events.h"
#include "surface/text/font_rasterizer.h"

namespace zt {
namespace {

class VideoLibrary {
 public:
  VideoLibrary() : ok_(SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) {}
  ~VideoLibrary() {
    if (ok_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }
  VideoLibrary(const VideoLibrary&) = delete;
  VideoLibrary& operator=(const VideoLibrary&) = delete;
  bool ok() const { return ok_; }

 private:
  bool ok_;
};

struct WindowDeleter {
  void operator()(SDL_Window* w) const { SDL_DestroyWindow(w); }
};

void SetHints() {
  // A plain window surface: the accelerated path costs a core's worth of
  // CPU and much memory on a machine without a GPU, for nothing here.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  // The desktop's own power saving stays in charge.
  SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
  // Signals are ours to handle; a lost focus must not minimise the window.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
  SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
}

}  // namespace

// Declared in destruction order last to first.
struct SdlSession::Parts {
  VideoLibrary video;
  SystemClock clock;
  std::unique_ptr<FontRasterizer> own_text;
  std::unique_ptr<SDL_Window, WindowDeleter> window;
  std::unique_ptr<SdlCanvas> canvas;
  std::unique_ptr<SdlEvents> events;
  QuitSignals signals;
  int32_t desktop_bpp = 0;
};

SdlSession::SdlSession(std::unique_ptr<Parts> parts) : parts_(std::move(parts)) {}

SdlSession::~SdlSession() {
  if (!parts_) return;
  std::optional<SDL_Point> warp;
  if (parts_->canvas) warp = parts_->canvas->LastWarp();
  parts_->events.reset();
  parts_->canvas.reset();
  parts_->window.reset();
  // The pointer stays where the program last put it, not where it was
  // before the full-screen window came.
  if (warp) SDL_WarpMouseGlobal(warp->x, warp->y);
}

SdlCanvas& SdlSession::canvas() { return *parts_->canvas; }
SdlEvents& SdlSession::events() { return *parts_->events; }
Clock& SdlSession::clock() { return parts_->clock; }
int32_t SdlSession::DesktopBitsPerPixel() const { return parts_->desktop_bpp; }

std::unique_ptr<SdlSession> OpenSdlSession(const SdlOptions& options, std::string& error) {
  auto fail = [&error](const std::string& why) {
    error = "zolven-taris: cannot open a display (" + why + ")";
    return nullptr;
  };
  SetHints();
  auto parts = std::make_unique<SdlSession::Parts>();
  if (!parts->video.ok()) return fail(SDL_GetError());
  if (std::string why = UnseenVideoDriver(); !why.empty()) return fail(why);
  InstallXConnectionLossHandler();

  int display = options.display_index;
  if (display < 0 || display >= SDL_GetNumVideoDisplays()) display = 0;
  SDL_DisplayMode mode{};
  if (SDL_GetDesktopDisplayMode(display, &mode) != 0) return fail(SDL_GetError());
  parts->desktop_bpp = static_cast<int32_t>(SDL_BITSPERPIXEL(mode.format));
  SDL_Rect bounds{};
  if (SDL_GetDisplayBounds(display, &bounds) != 0) {
    bounds = SDL_Rect{0, 0, mode.w, mode.h};
  }
  float hdpi = 0;
  if (SDL_GetDisplayDPI(display, nullptr, &hdpi, nullptr) != 0) hdpi = 0;

  CanvasConfig config;
  // On X the server's word, as the other modes take it; elsewhere SDL's.
  const char* driver = SDL_GetCurrentVideoDriver();
  std::optional<double> x_twips;
  if (driver != nullptr && std::string_view(driver) == "x11") x_twips = XServerTwipsPerPixel();
  config.twips_per_pixel = x_twips ? *x_twips : TwipsPerPixelForDpi(hdpi);
  config.bits_per_pixel = options.force_8bit ? 8 : parts->desktop_bpp;
  Uint32 flags = SDL_WINDOW_HIDDEN;
  if (options.windowed) {
    // Resizable and maximisable; the scene follows the size.
    flags |= SDL_WINDOW_RESIZABLE;
    config.width = std::max(options.window_width, 1);
    config.height = std::max(options.window_height, 1);
    parts->window.reset(SDL_CreateWindow("Zolven Taris", SDL_WINDOWPOS_CENTERED_DISPLAY(display),
                                         SDL_WINDOWPOS_CENTERED_DISPLAY(display), config.width,
                                         config.height, flags));
  } else {
    flags |= SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_BORDERLESS;
    config.width = mode.w;
    config.height = mode.h;
    parts->window.reset(
        SDL_CreateWindow("Zolven Taris", bounds.x, bounds.y, mode.w, mode.h, flags));
  }
  if (!parts->window) return fail(SDL_GetError());
  if (!options.windowed) {
    // The size the system really gave the window, should it differ.
    int w = 0, h = 0;
    SDL_GetWindowSize(parts->window.get(), &w, &h);
    if (w > 0 && h > 0) {
      config.width = w;
      config.height = h;
    }
  }

  TextRasterizer* text = options.text;
  if (text == nullptr) {
    parts->own_text = std::make_unique<FontRasterizer>();
    text = parts->own_text.get();
  }
  parts->canvas = std::make_unique<SdlCanvas>(parts->window.get(), config, text,
                                              SdlCanvasOptions{options.windowed});
  std::string why;
  if (!parts->canvas->Prepare(why)) {
    if (parts->desktop_bpp <= 8) why += "; displays of 8 bits per pixel are not supported";
    return fail(why);
  }
  parts->events = std::make_unique<SdlEvents>(parts->canvas.get(), parts->clock);
  return std::make_unique<SdlSession>(std::move(parts));
}

}  // namespace zt
