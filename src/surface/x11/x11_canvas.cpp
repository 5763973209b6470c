#include "surface/x11/x11_canvas.h"

#include <X11/Xutil.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "surface/x11/x11_events.h"

namespace zt {
namespace {

const char* ClassName(int c_class) {
  switch (c_class) {
    case StaticGray:
      return "StaticGray";
    case GrayScale:
      return "GrayScale";
    case StaticColor:
      return "StaticColor";
    case PseudoColor:
      return "PseudoColor";
    case TrueColor:
      return "TrueColor";
    case DirectColor:
      return "DirectColor";
    default:
      return "unknown";
  }
}

// An XImage header over our own pixels: the pixels are not Xlib's to free.
struct ImageHeaderDeleter {
  void operator()(XImage* image) const {
    image->data = nullptr;
    XDestroyImage(image);
  }
};
using ImageHeader = std::unique_ptr<XImage, ImageHeaderDeleter>;

ImageHeader MakeImage(Display* display, Visual* visual, int depth, uint8_t* pixels, int32_t w,
                      int32_t h, int32_t bytes_per_line) {
  return ImageHeader(XCreateImage(display, visual, static_cast<unsigned>(depth), ZPixmap, 0,
                                  reinterpret_cast<char*>(pixels), static_cast<unsigned>(w),
                                  static_cast<unsigned>(h), 32, bytes_per_line));
}

// A pixel of a layout of 8 bits a channel as 0x00RRGGBB again.
uint32_t UnpackPixel(const PixelLayout& layout, unsigned long pixel) {
  const auto channel = [pixel](const ChannelLayout& c) {
    return static_cast<uint32_t>(pixel >> c.shift) & 0xFFu;
  };
  return (channel(layout.red) << 16) | (channel(layout.green) << 8) | channel(layout.blue);
}

bool Empty(const RectI& r) { return r.right <= r.left || r.bottom <= r.top; }

bool Meet(const RectI& a, const RectI& b) {
  return !Empty(a) && !Empty(b) && a.left < b.right && b.left < a.right && a.top < b.bottom &&
         b.top < a.bottom;
}

}  // namespace

VisualFacts DescribeVisual(Display* display, Visual* visual, int depth) {
  VisualFacts facts;
  facts.true_color = visual->c_class == TrueColor;
  facts.pseudo_color = visual->c_class == PseudoColor;
  facts.direct_color = visual->c_class == DirectColor;
  facts.class_name = ClassName(visual->c_class);
  facts.depth = depth;
  facts.red_mask = static_cast<uint32_t>(visual->red_mask);
  facts.green_mask = static_cast<uint32_t>(visual->green_mask);
  facts.blue_mask = static_cast<uint32_t>(visual->blue_mask);
  facts.msb_first = ImageByteOrder(display) == MSBFirst;
  facts.bits_per_pixel = 0;
  int count = 0;
  if (XPixmapFormatValues* formats = XListPixmapFormats(display, &count)) {
    for (int i = 0; i < count; ++i) {
      if (formats[i].depth == depth) facts.bits_per_pixel = formats[i].bits_per_pixel;
    }
    XFree(formats);
  }
  return facts;
}

X11Canvas::X11Canvas(Display* display, Window window, Visual* visual, int depth,
                     const CanvasConfig& config, TextRasterizer* text, X11CanvasOptions options)
    : LayeredCanvas(config, text),
      display_(display),
      window_(window),
      visual_(visual),
      depth_(depth),
      options_(options) {}

X11Canvas::~X11Canvas() {
  FreePixmaps();
  if (gc_ != nullptr) XFreeGC(display_, gc_);
  if (blank_cursor_ != 0) {
    XUndefineCursor(display_, window_);
    XFreeCursor(display_, blank_cursor_);
  }
}

bool X11Canvas::Prepare(std::string& error) {
  const VisualFacts facts = DescribeVisual(display_, visual_, depth_);
  if (options_.colormap != 0) {
    if (!PaletteMode()) {
      error = "a window with its own colormap needs 8 bits per pixel";
      return false;
    }
    if (!ShowsPaletteIndexes(facts, error)) return false;
    indexed_ = true;
    // The cells start as the realised palette (black) rather than whatever
    // a fresh colormap holds.
    StoreColormap();
  } else {
    const auto layout = MakePixelLayout(facts, error);
    if (!layout) return false;
    layout_ = *layout;
  }
  // Made on the window itself, so it matches the window's depth.
  gc_ = XCreateGC(display_, window_, 0, nullptr);
  if (gc_ == nullptr) {
    error = "cannot make a graphics context for the window";
    return false;
  }
  // Copies from the pixmaps are never clipped by other windows: no
  // GraphicsExpose or NoExpose events for the pump to read.
  XSetGraphicsExposures(display_, gc_, False);
  // Readable back exactly: the colours a caption is blended over.
  const bool full_channels =
      layout_.red.width == 8 && layout_.green.width == 8 && layout_.blue.width == 8;
  can_hold_ = !indexed_ && !PaletteMode() && full_channels;
  // The own window makes them once it is mapped, so they do not hold up
  // the first frame.
  if (can_hold_ && !options_.own_window) held_ = MakePixmaps();
  return true;
}

bool X11Canvas::MakePixmaps() {
  const int64_t errors = X11ErrorTrap::ErrorCount();
  const auto w = static_cast<unsigned>(Width()), h = static_cast<unsigned>(Height());
  const auto depth = static_cast<unsigned>(depth_);
  backing_pixmap_ = XCreatePixmap(display_, window_, w, h, depth);
  picture_pixmap_ = XCreatePixmap(display_, window_, w, h, depth);
  XSetForeground(display_, gc_, PackPixel(layout_, 0));
  XFillRectangle(display_, backing_pixmap_, gc_, 0, 0, w, h);
  XFillRectangle(display_, picture_pixmap_, gc_, 0, 0, w, h);
  // A server short of memory refuses them: the CPU images serve instead.
  XSync(display_, False);
  if (X11ErrorTrap::ErrorCount() != errors) {
    FreePixmaps();
    return false;
  }
  drawn_x_ = (Width() + kDrawnBlock - 1) / kDrawnBlock;
  drawn_.assign(static_cast<size_t>(drawn_x_) *
                    static_cast<size_t>((Height() + kDrawnBlock - 1) / kDrawnBlock),
                0);
  any_drawn_ = false;
  composed_ = RectI{};
  overlay_stale_ = true;
  return true;
}

void X11Canvas::FreePixmaps() {
  if (backing_pixmap_ != 0) XFreePixmap(display_, backing_pixmap_);
  if (picture_pixmap_ != 0) XFreePixmap(display_, picture_pixmap_);
  backing_pixmap_ = picture_pixmap_ = 0;
}

void X11Canvas::Resize(int32_t width, int32_t height) {
  LayeredCanvas::Resize(width, height);
  whole_ = true;
  if (!held_) return;
  FreePixmaps();
  held_ = MakePixmaps();
}

Cursor X11Canvas::BlankCursor() {
  if (blank_cursor_ != 0) return blank_cursor_;
  // A 1x1 cursor whose only pixel is masked out: nothing shows.
  const char bits[1] = {0};
  const Pixmap empty = XCreateBitmapFromData(display_, window_, bits, 1, 1);
  if (empty == 0) return 0;
  XColor black{};
  blank_cursor_ = XCreatePixmapCursor(display_, empty, empty, &black, &black, 0, 0);
  XFreePixmap(display_, empty);
  return blank_cursor_;
}

int32_t X11Canvas::ShowCursor(bool show) {
  const int32_t count = LayeredCanvas::ShowCursor(show);
  if (FullScreen()) {
    if (count < 0) {
      if (const Cursor blank = BlankCursor(); blank != 0) XDefineCursor(display_, window_, blank);
    } else {
      XUndefineCursor(display_, window_);
    }
    XFlush(display_);
  }
  return count;
}

int32_t X11Canvas::SetWindowPosTopmost() {
  const int32_t result = LayeredCanvas::SetWindowPosTopmost();
  if (FullScreen()) XRaiseWindow(display_, window_);
  return result;
}

int32_t X11Canvas::SetCursorPos(int32_t x, int32_t y) {
  LayeredCanvas::SetCursorPos(x, y);
  if (!FullScreen() || !options_.warp_pointer) return 1;
  // In the window's coordinates: it may cover one monitor of several.
  XWarpPointer(display_, None, window_, 0, 0, 0, 0, x, y);
  XFlush(display_);
  return 1;
}

void X11Canvas::ShowWindow() {
  LayeredCanvas::ShowWindow();
  if (!options_.own_window) return;
  if (FullScreen()) {
    XMapRaised(display_, window_);
  } else {
    XMapWindow(display_, window_);
  }
  InstallColormap();
  if (FullScreen()) {
    // The override-redirect window is viewable once the server has the map;
    // no window manager hands it the keyboard, so it takes it.
    XSync(display_, False);
    if (XGrabKeyboard(display_, window_, True, GrabModeAsync, GrabModeAsync, CurrentTime) !=
        GrabSuccess) {
      XSetInputFocus(display_, window_, RevertToPointerRoot, CurrentTime);
    }
  }
  // Nothing drawn yet, both layers still black: the server can take over.
  if (can_hold_ && !held_ && !synced_ && WindowBlocksHeld() == 0) held_ = MakePixmaps();
  whole_ = true;
  Present();
  XFlush(display_);
}

void X11Canvas::InstallColormap() {
  // A window manager installs a managed window's colormap when it gets the
  // focus; an override-redirect window has none to do it. Installing it
  // here also covers a desktop without a window manager.
  if (indexed_) XInstallColormap(display_, options_.colormap);
}

void X11Canvas::ColormapLost() {
  if (FullScreen()) InstallColormap();
}

int32_t X11Canvas::RealizePalette() {
  only_points_ = false;
  const int32_t changed = LayeredCanvas::RealizePalette();
  if (indexed_) StoreColormap();
  return changed;
}

void X11Canvas::StoreColormap() {
  const std::array<ColorCell, 256> cells = PaletteCells(RealizedPalette());
  std::array<XColor, 256> colors{};
  for (size_t i = 0; i < cells.size(); ++i) {
    colors[i].pixel = i;
    colors[i].red = cells[i].red;
    colors[i].green = cells[i].green;
    colors[i].blue = cells[i].blue;
    colors[i].flags = DoRed | DoGreen | DoBlue;
  }
  XStoreColors(display_, options_.colormap, colors.data(), static_cast<int>(colors.size()));
}

int32_t X11Canvas::SetPixelsV(std::span<const PointI> points, ColorRef color, int32_t none) {
  if (held_ && !Persistent()) {
    if (points.empty()) return none;
    int32_t result = none;
    points_.clear();
    for (const PointI& p : points) {
      if (p.x < 0 || p.y < 0 || p.x >= Width() || p.y >= Height()) {
        result = 0;
        continue;
      }
      points_.push_back(XPoint{static_cast<short>(p.x), static_cast<short>(p.y)});
      result = 1;
    }
    DrawHeldPoints(color);
    return result;
  }
  const int32_t result = LayeredCanvas::SetPixelsV(points, color, none);
  // Only on the window layer in direct colour, and where no line of text is
  // laid over what is shown.
  if (!only_points_ || Persistent() || PaletteMode() || indexed_ || HasOverlay() ||
      gc_ == nullptr) {
    only_points_ = false;
    return result;
  }
  points_.clear();
  for (const PointI& p : points) {
    if (p.x < 0 || p.y < 0 || p.x >= Width() || p.y >= Height()) continue;
    points_.push_back(XPoint{static_cast<short>(p.x), static_cast<short>(p.y)});
  }
  if (points_.empty()) return result;
  XSetForeground(display_, gc_, PackPixel(layout_, XrgbFromColorRef(color)));
  XDrawPoints(display_, window_, gc_, points_.data(), static_cast<int>(points_.size()),
              CoordModeOrigin);
  return result;
}

void X11Canvas::DrawHeldPoints(ColorRef color) {
  if (points_.empty()) return;
  // Points under the overlay reach the window when it is laid again.
  const RectI box = HasOverlay() ? OverlayBox() : RectI{};
  const bool covered = !Empty(box) || !Empty(composed_);
  auto under = [](const RectI& r, const XPoint& p) {
    return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
  };
  outside_.clear();
  for (const XPoint& p : points_) {
    drawn_[static_cast<size_t>(p.y / kDrawnBlock) * static_cast<size_t>(drawn_x_) +
           static_cast<size_t>(p.x / kDrawnBlock)] = 1;
    if (!covered) continue;
    if (under(box, p) || under(composed_, p)) {
      overlay_stale_ = true;
    } else {
      outside_.push_back(p);
    }
  }
  any_drawn_ = true;
  XSetForeground(display_, gc_, PackPixel(layout_, XrgbFromColorRef(color)));
  XDrawPoints(display_, picture_pixmap_, gc_, points_.data(), static_cast<int>(points_.size()),
              CoordModeOrigin);
  const std::vector<XPoint>& shown = covered ? outside_ : points_;
  if (shown.empty()) return;
  XDrawPoints(display_, window_, gc_, const_cast<XPoint*>(shown.data()),
              static_cast<int>(shown.size()), CoordModeOrigin);
}

void X11Canvas::MarkDrawn(const RectI& r) {
  if (Empty(r)) return;
  for (int32_t by = r.top / kDrawnBlock; by <= (r.bottom - 1) / kDrawnBlock; ++by) {
    uint8_t* row = drawn_.data() + static_cast<size_t>(by) * static_cast<size_t>(drawn_x_);
    std::fill(row + r.left / kDrawnBlock, row + (r.right - 1) / kDrawnBlock + 1, uint8_t{1});
  }
  any_drawn_ = true;
}

void X11Canvas::TouchOverlay(const RectI& r) {
  if (Meet(r, composed_) || (HasOverlay() && Meet(r, OverlayBox()))) overlay_stale_ = true;
}

void X11Canvas::CopyHeld(Drawable from, Drawable to, const RectI& r) {
  XCopyArea(display_, from, to, gc_, r.left, r.top, static_cast<unsigned>(r.right - r.left),
            static_cast<unsigned>(r.bottom - r.top), r.left, r.top);
}

void X11Canvas::SyncHeld() {
  // What the backing image gained since the last clear goes up first,
  // strip by strip to the window too, so a new backdrop shows as soon as
  // it did when the window was all there was...
  for (const RectI& r : TakeDirtyRects()) {
    PutXrgb(r, {window_, backing_pixmap_},
            [this, &r](int32_t y, uint32_t* out) { WindowCellRow(y, r.left, r.right, out); });
    CopyHeld(backing_pixmap_, picture_pixmap_, r);
    TouchOverlay(r);
  }
  // ...then whatever was drawn over it goes.
  if (!any_drawn_) return;
  any_drawn_ = false;
  for (const RectI& r : TakeFlaggedRects(drawn_, drawn_x_, kDrawnBlock, Width(), Height())) {
    CopyHeld(backing_pixmap_, picture_pixmap_, r);
    CopyHeld(backing_pixmap_, window_, r);
    TouchOverlay(r);
  }
}

void X11Canvas::ReadPicture(const RectI& r, std::vector<uint32_t>& out) const {
  const int32_t w = r.right - r.left, h = r.bottom - r.top;
  out.resize(static_cast<size_t>(w) * static_cast<size_t>(h));
  bool drawn = false;
  for (int32_t by = r.top / kDrawnBlock; by <= (r.bottom - 1) / kDrawnBlock && !drawn; ++by) {
    const uint8_t* row = drawn_.data() + static_cast<size_t>(by) * static_cast<size_t>(drawn_x_);
    drawn = std::any_of(row + r.left / kDrawnBlock, row + (r.right - 1) / kDrawnBlock + 1,
                        [](uint8_t f) { return f != 0; });
  }
  XImage* image = nullptr;
  // Drawn on since the last clear: only the server has those pixels.
  if (drawn) {
    image = XGetImage(display_, picture_pixmap_, r.left, r.top, static_cast<unsigned>(w),
                      static_cast<unsigned>(h), AllPlanes, ZPixmap);
  }
  for (int32_t y = 0; y < h; ++y) {
    uint32_t* row = out.data() + static_cast<size_t>(y) * static_cast<size_t>(w);
    if (image == nullptr) {
      WindowCellRow(r.top + y, r.left, r.right, row);
      continue;
    }
    for (int32_t x = 0; x < w; ++x) row[x] = UnpackPixel(layout_, XGetPixel(image, x, y));
  }
  if (image != nullptr) XDestroyImage(image);
}

void X11Canvas::FillWindow(int32_t left, int32_t top, int32_t right, int32_t bottom,
                           uint32_t cell) {
  if (!held_) {
    LayeredCanvas::FillWindow(left, top, right, bottom, cell);
    return;
  }
  const auto w = static_cast<unsigned>(right - left), h = static_cast<unsigned>(bottom - top);
  XSetForeground(display_, gc_, PackPixel(layout_, cell));
  XFillRectangle(display_, picture_pixmap_, gc_, left, top, w, h);
  XFillRectangle(display_, window_, gc_, left, top, w, h);
  const RectI r{left, top, right, bottom};
  MarkDrawn(r);
  TouchOverlay(r);
}

void X11Canvas::InkWindow(const CoverageMask& mask, int32_t x0, int32_t y0, ColorRef fore) {
  if (!held_) {
    LayeredCanvas::InkWindow(mask, x0, y0, fore);
    return;
  }
  const RectI box = InkBox(mask, x0, y0);
  if (Empty(box)) return;
  std::vector<uint32_t> cells;
  ReadPicture(box, cells);
  const auto w = static_cast<size_t>(box.right - box.left);
  InkCells(mask, x0, y0, fore, [&](int32_t x, int32_t y) -> uint32_t& {
    return cells[static_cast<size_t>(y - box.top) * w + static_cast<size_t>(x - box.left)];
  });
  PutXrgb(box, {picture_pixmap_, window_}, [&](int32_t y, uint32_t* out) {
    const auto from = cells.begin() + static_cast<ptrdiff_t>(static_cast<size_t>(y - box.top) * w);
    std::copy(from, from + static_cast<ptrdiff_t>(w), out);
  });
  MarkDrawn(box);
  TouchOverlay(box);
}

void X11Canvas::Clear() {
  only_points_ = false;
  synced_ = synced_ || !Persistent();
  LayeredCanvas::Clear();
  if (held_ && !Persistent()) SyncHeld();
}
void X11Canvas::Refresh() {
  only_points_ = false;
  synced_ = true;
  LayeredCanvas::Refresh();
  if (held_) SyncHeld();
}
int32_t X11Canvas::FillRect(const RectI& rect, BrushHandle brush) {
  only_points_ = false;
  return LayeredCanvas::FillRect(rect, brush);
}
void X11Canvas::FillBox(float x1, float y1, float x2, float y2, ColorRef color) {
  only_points_ = false;
  LayeredCanvas::FillBox(x1, y1, x2, y2, color);
}
int32_t X11Canvas::SetPixelV(int32_t x, int32_t y, ColorRef color) {
  if (held_ && !Persistent()) {
    if (x < 0 || y < 0 || x >= Width() || y >= Height()) return 0;
    points_.assign(1, XPoint{static_cast<short>(x), static_cast<short>(y)});
    DrawHeldPoints(color);
    return 1;
  }
  only_points_ = false;
  return LayeredCanvas::SetPixelV(x, y, color);
}
void X11Canvas::PSet(float x, float y, ColorRef color) {
  if (held_ && !Persistent()) {
    if (!std::isfinite(x) || !std::isfinite(y)) return;
    const double fx = std::floor(x), fy = std::floor(y);
    if (fx < 0 || fy < 0 || fx >= Width() || fy >= Height()) return;
    points_.assign(1, XPoint{static_cast<short>(fx), static_cast<short>(fy)});
    DrawHeldPoints(color);
    return;
  }
  only_points_ = false;
  LayeredCanvas::PSet(x, y, color);
}
void X11Canvas::Print(std::string_view text) {
  only_points_ = false;
  LayeredCanvas::Print(text);
}
int32_t X11Canvas::SetPaletteEntries(int32_t start, int32_t count, const PaletteEntry* entries) {
  only_points_ = false;
  return LayeredCanvas::SetPaletteEntries(start, count, entries);
}

void X11Canvas::Present() {
  // The own window draws nothing before it is shown; it is whole then.
  if (options_.own_window && !Shown()) return;
  if (held_) {
    PresentHeld();
    return;
  }
  std::vector<RectI> rects = TakeDirtyRects();
  if (whole_) {
    whole_ = false;
    rects.assign(1, RectI{0, 0, Width(), Height()});
  } else if (only_points_ && !HasOverlay() && !had_overlay_) {
    // The window already has every change.
    rects.clear();
  }
  only_points_ = true;
  had_overlay_ = HasOverlay();
  for (const RectI& r : rects) PutRect(r);
}

void X11Canvas::PresentHeld() {
  // The window layer's only changes marked for showing: the overlay's.
  if (!TakeDirtyRects().empty()) overlay_stale_ = true;
  if (whole_) {
    whole_ = false;
    CopyHeld(picture_pixmap_, window_, RectI{0, 0, Width(), Height()});
    composed_ = RectI{};
    overlay_stale_ = true;
  }
  if (!overlay_stale_) return;
  overlay_stale_ = false;
  const RectI box = HasOverlay() ? OverlayBox() : RectI{};
  if (!Empty(composed_) && !(composed_ == box)) CopyHeld(picture_pixmap_, window_, composed_);
  composed_ = box;
  if (Empty(box)) return;
  std::vector<uint32_t> cells;
  ReadPicture(box, cells);
  const auto w = static_cast<size_t>(box.right - box.left);
  PutXrgb(box, {window_}, [&](int32_t y, uint32_t* out) {
    const auto from = cells.begin() + static_cast<ptrdiff_t>(static_cast<size_t>(y - box.top) * w);
    std::copy(from, from + static_cast<ptrdiff_t>(w), out);
    CompositeOverlay(y, box.left, box.right, out);
  });
}

void X11Canvas::PutRect(const RectI& r) {
  if (r.right <= r.left || r.bottom <= r.top || gc_ == nullptr) return;
  if (indexed_) {
    PutIndexRect(r);
    return;
  }
  PutXrgb(r, {window_},
          [this, &r](int32_t y, uint32_t* out) { ShownRow(y, r.left, r.right, out); });
}

template <typename Row>
void X11Canvas::PutXrgb(const RectI& r, std::initializer_list<Drawable> to, Row row) {
  const int32_t w = r.right - r.left, h = r.bottom - r.top;
  const int32_t bytes_per_line = ((w * layout_.bytes_per_pixel + 3) / 4) * 4;
  // A whole screen goes in strips, so the pixels are never held a second
  // time in full.
  const int32_t strip = std::clamp(kStripBytes / bytes_per_line, 1, h);
  pixels_.resize(static_cast<size_t>(bytes_per_line) * static_cast<size_t>(strip));
  row_.resize(static_cast<size_t>(w));
  for (int32_t top = 0; top < h; top += strip) {
    const int32_t rows = std::min(strip, h - top);
    for (int32_t y = 0; y < rows; ++y) {
      row(r.top + top + y, row_.data());
      ConvertXrgbRowToPixels(row_.data(), w, layout_,
                             pixels_.data() + static_cast<ptrdiff_t>(y) * bytes_per_line);
    }
    ImageHeader image =
        MakeImage(display_, visual_, depth_, pixels_.data(), w, rows, bytes_per_line);
    if (!image) return;
    // Our pixels are written in the display's byte order.
    image->byte_order = layout_.msb_first ? MSBFirst : LSBFirst;
    for (const Drawable d : to) {
      XPutImage(display_, d, gc_, image.get(), 0, 0, r.left, r.top + top, static_cast<unsigned>(w),
                static_cast<unsigned>(rows));
    }
  }
}

void X11Canvas::PutIndexRect(const RectI& r) {
  const int32_t w = r.right - r.left, h = r.bottom - r.top;
  const int32_t bytes_per_line = ((w + 3) / 4) * 4;
  pixels_.resize(static_cast<size_t>(bytes_per_line) * static_cast<size_t>(h));
  row_.resize(static_cast<size_t>(w));
  for (int32_t y = 0; y < h; ++y) {
    WindowCellRow(r.top + y, r.left, r.right, row_.data());
    uint8_t* to = pixels_.data() + static_cast<ptrdiff_t>(y) * bytes_per_line;
    for (int32_t x = 0; x < w; ++x) to[x] = static_cast<uint8_t>(row_[x]);
  }
  ImageHeader image = MakeImage(display_, visual_, depth_, pixels_.data(), w, h, bytes_per_line);
  if (!image) return;
  XPutImage(display_, window_, gc_, image.get(), 0, 0, r.left, r.top, static_cast<unsigned>(w),
            static_cast<unsigned>(h));
}

}  // namespace zt
