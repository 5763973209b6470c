#pragma once
// The render mode's canvas: the layered canvas in memory, whose window cells
// the spokes write themselves.
#include <array>
#include <cstdint>

#include "raster/plot_segment.h"
#include "surface/canvas/layered_canvas.h"

namespace zt {

class RenderCanvas final : public LayeredCanvas, private SpokeTarget {
 public:
  using LayeredCanvas::LayeredCanvas;

  // Only direct colour in the window layer: a palette index is matched to
  // the palette realised at each write, and persistent drawing changes the
  // backing image.
  SpokeTarget* SpokeCells() override {
    return Persistent() || PaletteMode() ? nullptr : static_cast<SpokeTarget*>(this);
  }

 private:
  static_assert(kBlockSize == kWindowBlock);
  uint32_t* BlockFor(int32_t x, int32_t y) override {
    uint32_t* cells = WindowBlockFor(x, y);
    return cells != nullptr ? cells : scratch_.data();
  }
  uint32_t CellOf(ColorRef color) override { return XrgbFromColorRef(color); }
  bool Holds(int32_t x, int32_t y) const override {
    return static_cast<uint32_t>(x) < static_cast<uint32_t>(Width()) &&
           static_cast<uint32_t>(y) < static_cast<uint32_t>(Height());
  }

  std::array<uint32_t, kBlockSize * kBlockSize> scratch_{};
};

}  // namespace zt
