#include "surface/sdl/sdl_canvas.h"

#include <SDL_syswm.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace zt {

namespace {

bool IsXrgb8888(const SDL_PixelFormat* format) {
  return format->BytesPerPixel == 4 && format->Rmask == 0xFF0000 && format->Gmask == 0xFF00 &&
         format->Bmask == 0xFF && format->Amask == 0;
}

// Takes a full-screen X11 window off the screen at once. Leaving full screen
// while the window is mapped makes SDL wait up to 100 ms for a window manager
// to move and resize it, which never happens to a window already the size
// of the desktop; an unmapped window skips that wait.
void UnmapX11Window(SDL_Window* window) {
#if defined(SDL_VIDEO_DRIVER_X11)
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (SDL_GetWindowWMInfo(window, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11) return;
  XUnmapWindow(info.info.x11.display, info.info.x11.window);
  XSync(info.info.x11.display, False);
  // SDL reads the unmap notice and drops full screen without the wait.
  SDL_PumpEvents();
#else
  (void)window;
#endif
}

}  // namespace

void ConvertXrgbRow(const uint32_t* xrgb, int32_t count, const SDL_PixelFormat* format,
                    uint8_t* dest) {
  const int bytes = format->BytesPerPixel;
  if (bytes == 4 && format->Rmask == 0xFF0000 && format->Gmask == 0xFF00 && format->Bmask == 0xFF) {
    const uint32_t alpha = format->Amask;
    auto* out = reinterpret_cast<uint32_t*>(dest);
    if (alpha == 0) {
      std::memcpy(out, xrgb, static_cast<size_t>(count) * 4);
    } else {
      for (int32_t i = 0; i < count; ++i) out[i] = xrgb[i] | alpha;
    }
    return;
  }
  if (bytes == 1) {
    for (int32_t i = 0; i < count; ++i) {
      const uint32_t c = xrgb[i];
      dest[i] =
          static_cast<uint8_t>(SDL_MapRGB(format, (c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF));
    }
    return;
  }
  for (int32_t i = 0; i < count; ++i) {
    const uint32_t c = xrgb[i];
    const uint32_t value = ((((c >> 16) & 0xFF) >> format->Rloss) << format->Rshift) |
                           ((((c >> 8) & 0xFF) >> format->Gloss) << format->Gshift) |
                           (((c & 0xFF) >> format->Bloss) << format->Bshift) | format->Amask;
    uint8_t* at = dest + static_cast<ptrdiff_t>(i) * bytes;
    if (bytes == 4) {
      std::memcpy(at, &value, 4);
    } else if (bytes == 2) {
      const auto v16 = static_cast<uint16_t>(value);
      std::memcpy(at, &v16, 2);
    } else {
      // Three bytes in the machine's byte order, as SDL packs them.
#if SDL_BYTEORDER == SDL_LIL_ENDIAN
      at[0] = static_cast<uint8_t>(value);
      at[1] = static_cast<uint8_t>(value >> 8);
      at[2] = static_cast<uint8_t>(value >> 16);
#else
      at[0] = static_cast<uint8_t>(value >> 16);
      at[1] = static_cast<uint8_t>(value >> 8);
      at[2] = static_cast<uint8_t>(value);
#endif
    }
  }
}

SdlCanvas::SdlCanvas(SDL_Window* window, const CanvasConfig& config, TextRasterizer* text,
                     SdlCanvasOptions options)
    : LayeredCanvas(config, text), window_(window), options_(options) {}

SdlCanvas::~SdlCanvas() {
  // Leave the pointer as it was found, whatever the exit path.
  if (cursor_hidden_) SDL_ShowCursor(SDL_ENABLE);
  // The window goes right after this; gone from the screen now, it goes
  // without SDL's wait for a window manager, so the exit is prompt.
  if (!options_.windowed && Shown()) UnmapX11Window(window_);
}

void SdlCanvas::SetWindowStateMaximised() {
  LayeredCanvas::SetWindowStateMaximised();
  // The full-screen window already covers the display; the --window one
  // keeps the size asked for, which is the size the scene is laid out for.
}

int32_t SdlCanvas::ShowCursor(bool show) {
  const int32_t count = LayeredCanvas::ShowCursor(show);
  if (!options_.windowed) {
    cursor_hidden_ = count < 0;
    SDL_ShowCursor(cursor_hidden_ ? SDL_DISABLE : SDL_ENABLE);
  }
  return count;
}

int32_t SdlCanvas::SetWindowPosTopmost() {
  const int32_t result = LayeredCanvas::SetWindowPosTopmost();
  if (!options_.windowed) {
    SDL_SetWindowAlwaysOnTop(window_, SDL_TRUE);
    SDL_RaiseWindow(window_);
  }
  return result;
}

int32_t SdlCanvas::SetCursorPos(int32_t x, int32_t y) {
  LayeredCanvas::SetCursorPos(x, y);
  if (options_.windowed) return 1;
  // Window coordinates equal the display's: the window covers it from its origin.
  SDL_Rect bounds{};
  const int display = SDL_GetWindowDisplayIndex(window_);
  if (display < 0 || SDL_GetDisplayBounds(display, &bounds) != 0) bounds = SDL_Rect{};
  last_warp_ = SDL_Point{bounds.x + x, bounds.y + y};
  if (SDL_WarpMouseGlobal(last_warp_->x, last_warp_->y) != 0) SDL_WarpMouseInWindow(window_, x, y);
  return 1;
}

void SdlCanvas::ShowWindow() {
  LayeredCanvas::ShowWindow();
  SDL_ShowWindow(window_);
  if (Topmost() && !options_.windowed) SDL_RaiseWindow(window_);
  whole_ = true;
  Present();
}

bool SdlCanvas::Prepare(std::string& error) {
  SDL_Surface* surface = SDL_GetWindowSurface(window_);
  if (surface != nullptr && surface->format->BytesPerPixel >= 1 &&
      surface->format->BytesPerPixel <= 4) {
    return true;
  }
  const std::string surface_error = SDL_GetError();
  if (PrepareRenderer(error)) return true;
  error = "the window cannot show pictures (" + surface_error + "; " + error + ")";
  return false;
}

bool SdlCanvas::PrepareRenderer(std::string& error) {
  renderer_.reset(SDL_CreateRenderer(window_, -1, 0));
  if (!renderer_) {
    error = SDL_GetError();
    return false;
  }
  texture_.reset(SDL_CreateTexture(renderer_.get(), SDL_PIXELFORMAT_RGB888,
                                   SDL_TEXTUREACCESS_STREAMING, Width(), Height()));
  if (!texture_) {
    error = SDL_GetError();
    renderer_.reset();
    return false;
  }
  return true;
}

void SdlCanvas::Resize(int32_t width, int32_t height) {
  LayeredCanvas::Resize(width, height);
  if (renderer_) {
    texture_.reset(SDL_CreateTexture(renderer_.get(), SDL_PIXELFORMAT_RGB888,
                                     SDL_TEXTUREACCESS_STREAMING, Width(), Height()));
  }
  whole_ = true;
}

void SdlCanvas::CheckFramebuffer() {
  // A resize, or the system, gives the window a new framebuffer, which holds
  // nothing of the picture yet.
  SDL_Surface* surface = SDL_GetWindowSurface(window_);
  if (surface == nullptr) return;
  if (surface->pixels != framebuffer_ || surface->w != framebuffer_w_ ||
      surface->h != framebuffer_h_) {
    framebuffer_ = surface->pixels;
    framebuffer_w_ = surface->w;
    framebuffer_h_ = surface->h;
    whole_ = true;
  }
}

void SdlCanvas::Present() {
  if (!Shown()) return;
  if (!renderer_) CheckFramebuffer();
  std::vector<RectI> rects = TakeDirtyRects();
  if (whole_) {
    rects.assign(1, RectI{0, 0, Width(), Height()});
  } else if (rects.empty()) {
    return;
  }
  if (renderer_) {
    if (!texture_) return;
    PresentRenderer(rects);
  } else {
    PresentSurface(rects);
  }
}

void SdlCanvas::PresentSurface(const std::vector<RectI>& rects) {
  SDL_Surface* surface = SDL_GetWindowSurface(window_);
  if (surface == nullptr) return;  // keep `whole_` for the next try
  const bool whole = whole_;
  whole_ = false;
  if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0) return;
  std::vector<SDL_Rect> updates;
  updates.reserve(rects.size() + 1);
  if (whole && (surface->w > Width() || surface->h > Height())) {
    // A window larger than the canvas shows black beyond it.
    SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 0, 0, 0));
    updates.push_back(SDL_Rect{0, 0, surface->w, surface->h});
  }
  const int bytes = surface->format->BytesPerPixel;
  // The usual window format takes the shown colours as they are, straight
  // into the window's pixels; others go through one row of conversion.
  const bool direct = IsXrgb8888(surface->format);
  for (const RectI& r : rects) {
    const int32_t right = std::min(r.right, surface->w);
    const int32_t bottom = std::min(r.bottom, surface->h);
    if (r.left >= right || r.top >= bottom) continue;
    if (!direct) row_.resize(static_cast<size_t>(right - r.left));
    for (int32_t y = r.top; y < bottom; ++y) {
      uint8_t* dest = static_cast<uint8_t*>(surface->pixels) +
                      static_cast<ptrdiff_t>(y) * surface->pitch +
                      static_cast<ptrdiff_t>(r.left) * bytes;
      if (direct) {
        uint32_t* out = reinterpret_cast<uint32_t*>(dest);
        ShownRow(y, r.left, right, out);
        continue;
      }
      ShownRow(y, r.left, right, row_.data());
      ConvertXrgbRow(row_.data(), right - r.left, surface->format, dest);
    }
    updates.push_back(SDL_Rect{r.left, r.top, right - r.left, bottom - r.top});
  }
  if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
  if (!updates.empty()) {
    SDL_UpdateWindowSurfaceRects(window_, updates.data(), static_cast<int>(updates.size()));
  }
}

void SdlCanvas::PresentRenderer(const std::vector<RectI>& rects) {
  whole_ = false;
  for (const RectI& r : rects) {
    const int32_t w = r.right - r.left;
    const int32_t h = r.bottom - r.top;
    if (w <= 0 || h <= 0) continue;
    block_.resize(static_cast<size_t>(w) * static_cast<size_t>(h));
    for (int32_t y = 0; y < h; ++y) {
      ShownRow(r.top + y, r.left, r.right, block_.data() + static_cast<size_t>(y) * w);
    }
    const SDL_Rect area{r.left, r.top, w, h};
    SDL_UpdateTexture(texture_.get(), &area, block_.data(), w * 4);
  }
  SDL_SetRenderDrawColor(renderer_.get(), 0, 0, 0, 255);
  SDL_RenderClear(renderer_.get());
  const SDL_Rect whole{0, 0, Width(), Height()};
  SDL_RenderCopy(renderer_.get(), texture_.get(), nullptr, &whole);
  SDL_RenderPresent(renderer_.get());
}

}  // namespace zt
