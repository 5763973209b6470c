#include "surface/x11/x11_canvas.h"

#include <X11/Xutil.h>

#include <algorithm>
#include <memory>

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
  return true;
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

void X11Canvas::Clear() {
  only_points_ = false;
  LayeredCanvas::Clear();
}
void X11Canvas::Refresh() {
  only_points_ = false;
  LayeredCanvas::Refresh();
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
  only_points_ = false;
  return LayeredCanvas::SetPixelV(x, y, color);
}
void X11Canvas::PSet(float x, float y, ColorRef color) {
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

void X11Canvas::PutRect(const RectI& r) {
  const int32_t w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0 || gc_ == nullptr) return;
  if (indexed_) {
    PutIndexRect(r);
    return;
  }
  const int32_t bytes_per_line = ((w * layout_.bytes_per_pixel + 3) / 4) * 4;
  // A whole screen goes in strips, so the pixels are never held a second
  // time in full.
  const int32_t strip = std::clamp(kStripBytes / bytes_per_line, 1, h);
  pixels_.resize(static_cast<size_t>(bytes_per_line) * static_cast<size_t>(strip));
  row_.resize(static_cast<size_t>(w));
  for (int32_t top = 0; top < h; top += strip) {
    const int32_t rows = std::min(strip, h - top);
    for (int32_t y = 0; y < rows; ++y) {
      ShownRow(r.top + top + y, r.left, r.right, row_.data());
      ConvertXrgbRowToPixels(row_.data(), w, layout_,
                             pixels_.data() + static_cast<ptrdiff_t>(y) * bytes_per_line);
    }
    ImageHeader image =
        MakeImage(display_, visual_, depth_, pixels_.data(), w, rows, bytes_per_line);
    if (!image) return;
    // Our pixels are written in the display's byte order.
    image->byte_order = layout_.msb_first ? MSBFirst : LSBFirst;
    XPutImage(display_, window_, gc_, image.get(), 0, 0, r.left, r.top + top,
              static_cast<unsigned>(w), static_cast<unsigned>(rows));
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
