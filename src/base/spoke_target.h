#pragma once
#include <cstdint>

#include "base/types.h"

namespace zt {

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
