#pragma once
// The layered canvas shown in an X window that someone else owns, such as a
// screen-saver daemon's: drawing stays on the CPU images and Present() puts
// the changed rectangles with XPutImage. The window is never moved, raised
// or given a cursor.
#include <X11/Xlib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "surface/layered_canvas.h"
#include "surface/x11/x11_pixels.h"

namespace zt {

// The visual facts of `visual` at `depth`, read the way XPutImage will
// take the pixels on this display.
VisualFacts DescribeVisual(Display* display, Visual* visual, int depth);

class X11Canvas : public LayeredCanvas {
 public:
  // `display` must outlive the canvas; `window` may vanish at any time.
  X11Canvas(Display* display, Window window, Visual* visual, int depth, const CanvasConfig& config,
            TextRasterizer* text);
  ~X11Canvas() override;
  X11Canvas(const X11Canvas&) = delete;
  X11Canvas& operator=(const X11Canvas&) = delete;

  // Checks the visual and makes the graphics context. False with `error`
  // set when the window's visual cannot be drawn in.
  bool Prepare(std::string& error);
  // Puts what changed since the last call, everything after Invalidate().
  void Present();
  void Invalidate() { whole_ = true; }

  const PixelLayout& Layout() const { return layout_; }

 private:
  void PutRect(const RectI& rect);

  Display* display_;
  Window window_;
  Visual* visual_;
  int depth_;
  GC gc_ = nullptr;
  PixelLayout layout_;
  std::vector<uint32_t> row_;
  std::vector<uint8_t> pixels_;
  bool whole_ = true;
};

}  // namespace zt
