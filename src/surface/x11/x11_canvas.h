#pragma once
// The layered canvas shown in an X window. On a direct-colour visual of 8
// bits a channel the X server holds the picture: the persistent layer is
// kept (as the CPU's shared rows) and uploaded to a pixmap of the server's,
// the window layer is drawn straight into the window and into a second
// pixmap that repairs it after an Expose, and a clear is a copy between
// them; the process holds no image of the window. Otherwise (palette
// indexes, narrower channels, a server that cannot hold the pixmaps)
// drawing stays on the CPU images and Present() puts the changed
// rectangles. In a window someone else owns, such as a screen-saver
// daemon's, the window is never moved, raised or given a cursor. In the
// program's own window on an 8-bit PseudoColor screen the palette indexes
// go straight into the image and the realised palette is stored in the
// window's private colormap.
#include <X11/Xlib.h>

#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "surface/canvas/layered_canvas.h"
#include "surface/x11/x11_pixels.h"

namespace zt {

// The visual facts of `visual` at `depth`, read the way XPutImage will
// take the pixels on this display.
VisualFacts DescribeVisual(Display* display, Visual* visual, int depth);

struct X11CanvasOptions {
  // The program's own window: the cursor, stacking and focus are ours.
  bool own_window = false;
  // An ordinary window of the desktop: topmost and the cursor are left alone.
  bool windowed = false;
  // The own window's private colormap of 256 writable cells, 0 for none.
  // With it the canvas keeps palette indexes and shows them through it.
  Colormap colormap = 0;
  // SetCursorPos moves the pointer (the full-screen window only).
  bool warp_pointer = true;
};

class X11Canvas : public LayeredCanvas {
 public:
  // `display` must outlive the canvas; `window` may vanish at any time.
  X11Canvas(Display* display, Window window, Visual* visual, int depth, const CanvasConfig& config,
            TextRasterizer* text, X11CanvasOptions options = {});
  ~X11Canvas() override;
  X11Canvas(const X11Canvas&) = delete;
  X11Canvas& operator=(const X11Canvas&) = delete;

  int32_t ShowCursor(bool show) override;
  int32_t SetWindowPosTopmost() override;
  int32_t SetCursorPos(int32_t x, int32_t y) override;
  void ShowWindow() override;
  int32_t RealizePalette() override;

  // Spokes go to the window as they are, a few bytes a pixel, rather than
  // as the blocks around them.
  int32_t SetPixelsV(std::span<const PointI> points, ColorRef color, int32_t none) override;
  void Clear() override;
  void Refresh() override;
  int32_t FillRect(const RectI& rect, BrushHandle brush) override;
  void FillBox(float x1, float y1, float x2, float y2, ColorRef color) override;
  int32_t SetPixelV(int32_t x, int32_t y, ColorRef color) override;
  void PSet(float x, float y, ColorRef color) override;
  void Print(std::string_view text) override;
  int32_t SetPaletteEntries(int32_t start, int32_t count, const PaletteEntry* entries) override;

  // Checks the visual and makes the graphics context. False with `error`
  // set when the window's visual cannot be drawn in.
  bool Prepare(std::string& error);
  // Puts what changed since the last call, everything after Invalidate().
  void Present();
  void Invalidate() { whole_ = true; }
  void Resize(int32_t width, int32_t height) override;
  // Another colormap replaced the private one: the full-screen window,
  // which covers everything, takes it back.
  void ColormapLost();

  const PixelLayout& Layout() const { return layout_; }
  // The connection it draws through.
  Display* XDisplay() const { return display_; }
  bool ShowsIndexes() const { return indexed_; }
  // The X server holds the picture (see above). ShownColor and ShownRow
  // then give the backing image as of the last clear, not the window.
  bool ServerHeld() const { return held_; }

 protected:
  void FillWindow(int32_t left, int32_t top, int32_t right, int32_t bottom, uint32_t cell) override;
  void InkWindow(const CoverageMask& mask, int32_t x0, int32_t y0, ColorRef fore) override;

 private:
  // The full-screen window: cursor, stacking and pointer are ours to set.
  bool FullScreen() const { return options_.own_window && !options_.windowed; }
  void PutRect(const RectI& rect);
  // Palette indexes of the window image, one byte a pixel.
  void PutIndexRect(const RectI& rect);
  void StoreColormap();
  void InstallColormap();
  Cursor BlankCursor();

  // The picture held by the server.
  bool MakePixmaps();
  void FreePixmaps();
  // The window layer becomes the backing image, as a clear does.
  void SyncHeld();
  // Points on the canvas, already checked, into both the window and the
  // picture.
  void DrawHeldPoints(ColorRef color);
  void MarkDrawn(const RectI& r);
  // The picture's colours in `r`, row after row: the CPU's copy of the
  // backing where nothing was drawn since the last clear, else read back
  // from the server (text over spokes, the overlay over them).
  void ReadPicture(const RectI& r, std::vector<uint32_t>& out) const;
  // Puts 0x00RRGGBB rows that `row` fills into the drawables.
  template <typename Row>
  void PutXrgb(const RectI& r, std::initializer_list<Drawable> to, Row row);
  void CopyHeld(Drawable from, Drawable to, const RectI& r);
  void PresentHeld();
  void TouchOverlay(const RectI& r);

  static constexpr int32_t kStripBytes = 256 * 1024;
  Display* display_;
  Window window_;
  Visual* visual_;
  int depth_;
  X11CanvasOptions options_;
  GC gc_ = nullptr;
  Cursor blank_cursor_ = 0;
  bool indexed_ = false;
  PixelLayout layout_;
  std::vector<uint32_t> row_;
  std::vector<uint8_t> pixels_;
  std::vector<XPoint> points_;
  bool whole_ = true;
  // Nothing but spokes drawn since the last Present, all of them sent.
  bool only_points_ = true;
  bool had_overlay_ = false;  // at the last Present

  bool can_hold_ = false;  // the visual allows it
  bool held_ = false;
  bool synced_ = false;  // the window layer was made the backing image
  Pixmap backing_pixmap_ = 0;
  Pixmap picture_pixmap_ = 0;
  // Per 16x16 block: the picture differs from the backing image as of the
  // last clear (and from the CPU's copy of it).
  static constexpr int32_t kDrawnBlock = 16;
  int32_t drawn_x_ = 0;
  std::vector<uint8_t> drawn_;
  bool any_drawn_ = false;
  std::vector<XPoint> outside_;  // points the overlay does not cover
  RectI composed_{};             // the overlay box as last laid on the window
  bool overlay_stale_ = false;
};

}  // namespace zt
