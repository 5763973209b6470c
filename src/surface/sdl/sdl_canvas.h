#pragma once
// The layered canvas shown in a real SDL window. Drawing stays on the CPU
// images; Present() copies the changed rectangles to the window's
// framebuffer (or a streaming texture) and tells the window which changed.
#include <SDL.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "surface/canvas/layered_canvas.h"

namespace zt {

// Writes `count` 0x00RRGGBB pixels into `dest` in the packed format `format`
// (2, 3 or 4 bytes per pixel; 1 byte goes through the format's palette).
void ConvertXrgbRow(const uint32_t* xrgb, int32_t count, const SDL_PixelFormat* format,
                    uint8_t* dest);

struct SdlCanvasOptions {
  // An ordinary window: topmost and the cursor are left alone.
  bool windowed = false;
};

class SdlCanvas : public LayeredCanvas {
 public:
  // `window` must outlive the canvas.
  SdlCanvas(SDL_Window* window, const CanvasConfig& config, TextRasterizer* text,
            SdlCanvasOptions options);
  ~SdlCanvas() override;
  SdlCanvas(const SdlCanvas&) = delete;
  SdlCanvas& operator=(const SdlCanvas&) = delete;

  void SetWindowStateMaximised() override;
  int32_t ShowCursor(bool show) override;
  int32_t SetWindowPosTopmost() override;
  int32_t SetCursorPos(int32_t x, int32_t y) override;
  void ShowWindow() override;

  // Sets up the way pictures reach the window: its surface, else a software
  // renderer with a streaming texture. False with `error` set when neither
  // works (an X server at 8 bits per pixel, for one).
  bool Prepare(std::string& error);
  // Shows what changed since the last call.
  void Present();
  // The window was exposed or resized: show everything at the next Present.
  void Invalidate() { whole_ = true; }
  void Resize(int32_t width, int32_t height) override;

  bool UsesRenderer() const { return renderer_ != nullptr; }
  // Where SetCursorPos last put the pointer, in desktop coordinates. SDL
  // puts the pointer back where it was when a full-screen window goes, so
  // the session warps it here again afterwards.
  const std::optional<SDL_Point>& LastWarp() const { return last_warp_; }
  SDL_Window* Window() const { return window_; }
  bool Windowed() const { return options_.windowed; }

 private:
  struct RendererDeleter {
    void operator()(SDL_Renderer* r) const { SDL_DestroyRenderer(r); }
  };
  struct TextureDeleter {
    void operator()(SDL_Texture* t) const { SDL_DestroyTexture(t); }
  };

  bool PrepareRenderer(std::string& error);
  // Follows the framebuffer through resizes, which replace it.
  void CheckFramebuffer();
  void PresentSurface(const std::vector<RectI>& rects);
  void PresentRenderer(const std::vector<RectI>& rects);

  SDL_Window* window_;
  SdlCanvasOptions options_;
  std::unique_ptr<SDL_Renderer, RendererDeleter> renderer_;
  std::unique_ptr<SDL_Texture, TextureDeleter> texture_;
  std::vector<uint32_t> row_;
  std::vector<uint32_t> block_;
  // The framebuffer the picture was last shown in.
  void* framebuffer_ = nullptr;
  int framebuffer_w_ = 0, framebuffer_h_ = 0;
  bool whole_ = true;
  bool cursor_hidden_ = false;
  std::optional<SDL_Point> last_warp_;
};

}  // namespace zt
