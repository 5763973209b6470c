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
                     const CanvasConfig& config, TextRasterizer* text)
    : LayeredCanvas(config, text),
      display_(display),
      window_(window),
      visual_(visual),
      depth_(depth) {}

X11Canvas::~X11Canvas() {
  if (gc_ != nullptr) XFreeGC(display_, gc_);
}

bool X11Canvas::Prepare(std::string& error) {
  const auto layout = MakePixelLayout(DescribeVisual(display_, visual_, depth_), error);
  if (!layout) return false;
  layout_ = *layout;
  // Made on the window itself, so it matches the window's depth.
  gc_ = XCreateGC(display_, window_, 0, nullptr);
  if (gc_ == nullptr) {
    error = "cannot make a graphics context for the window";
    return false;
  }
  return true;
}

void X11Canvas::Present() {
  std::vector<RectI> rects = TakeDirtyRects();
  if (whole_) {
    whole_ = false;
    rects.assign(1, RectI{0, 0, Width(), Height()});
  }
  for (const RectI& r : rects) PutRect(r);
}

void X11Canvas::PutRect(const RectI& r) {
  const int32_t w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0 || gc_ == nullptr) return;
  const int32_t bytes_per_line = ((w * layout_.bytes_per_pixel + 3) / 4) * 4;
  pixels_.resize(static_cast<size_t>(bytes_per_line) * static_cast<size_t>(h));
  row_.resize(static_cast<size_t>(w));
  for (int32_t y = 0; y < h; ++y) {
    ShownRow(r.top + y, r.left, r.right, row_.data());
    ConvertXrgbRowToPixels(row_.data(), w, layout_,
                           pixels_.data() + static_cast<ptrdiff_t>(y) * bytes_per_line);
  }
  ImageHeader image = MakeImage(display_, visual_, depth_, pixels_.data(), w, h, bytes_per_line);
  if (!image) return;
  // Our pixels are written in the display's byte order.
  image->byte_order = layout_.msb_first ? MSBFirst : LSBFirst;
  XPutImage(display_, window_, gc_, image.get(), 0, 0, r.left, r.top, static_cast<unsigned>(w),
            static_cast<unsigned>(h));
}

}  // namespace zt
