#pragma once
#include <cstdint>

#include "base/scene_state.h"
#include "surface/platform.h"

namespace zt {
// One spoke with the depth test: direct colour through SetPixelV, or into
// the window's cells where the canvas lets it.
void PlotSegment(SceneState& s, Canvas& canvas);
// The same spoke through the window's own pixel write (256-colour mode).
void PlotSegmentPalette(SceneState& s, Canvas& canvas);

// A spoke as the line stepper takes it: both ends (the figure offset added),
// its depth key, its colour, and the cells it may touch: rows 1..rows and
// columns 0..columns-1.
struct SpokeLine {
  int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  int16_t key = 0;
  uint32_t rows = 0, columns = 0;
  ColorRef color = 0;
};
SpokeLine SpokeLineOf(const SceneState& s);

// The window's cells as a canvas lets a spoke write them itself, which
// spares a call and a second pass per pixel: square blocks of cells, row
// after row. What it writes must be what SetPixelV of each pixel that won
// its cell, in step order, would leave.
class SpokeTarget {
 public:
  static constexpr int32_t kBlockSize = 16;
  // The block holding (x, y), taken for writing, at its top-left cell; where
  // the window has no cells, a block of scratch cells. Cells of the block
  // outside the window may be written and are never read.
  virtual uint32_t* BlockFor(int32_t x, int32_t y) = 0;
  // The cell a colour is stored as.
  virtual uint32_t CellOf(ColorRef color) = 0;
  // Whether (x, y) lies in the window, as SetPixelV's result tells.
  virtual bool Holds(int32_t x, int32_t y) const = 0;

 protected:
  ~SpokeTarget() = default;
};
}  // namespace zt
